#include "platform/strings.h"

#include <cstring>

char* DuplicateString(const char* text) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

const char* FileExtension(const char* name) {
    if (!name) return nullptr;
    const char* dot = std::strrchr(name, '.');
    return dot ? dot + 1 : nullptr;
}

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
}  // namespace

bool HasExtension(const char* name, const char* extension) {
    const char* own = FileExtension(name);
    if (!own || !extension) return false;
    // Compared in place: extensions of any length are handled without a copy.
    for (; *own && *extension; ++own, ++extension)
        if (Upper(*own) != Upper(*extension)) return false;
    return *own == '\0' && *extension == '\0';
}

bool IsBlank(const char* text) {
    if (!text) return true;
    for (; *text; ++text) {
        const char c = *text;
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ') return false;
    }
    return true;
}

#include "demo/ini_file.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/report.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, got);
    std::fclose(f);
    return content;
}

// Calls visit(name, value) for each key line of the first section named section,
// in file order, until visit returns true.
template <class Visit>
void ForEachKey(const std::string& path, const char* section, Visit visit) {
    if (!section) return;
    const auto content = ReadWholeFile(path);
    if (!content) return;
    std::string_view rest(*content);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);  // UTF-8 byte-order mark

    enum { Before, Inside, After } where = Before;
    while (!rest.empty() && where != After) {
        const size_t eol = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, eol));
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            if (where == Inside)
                where = After;  // only the first matching section is searched
            else if (SameName(name, section))
                where = Inside;
            continue;
        }
        if (where != Inside) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (visit(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)))) return;
    }
}

// The value of key in section, or nothing when the file, section or key is missing.
std::optional<std::string> LookUp(const std::string& path, const char* section, const char* key) {
    if (!key) return std::nullopt;
    std::optional<std::string> found;
    ForEachKey(path, section, [&](std::string_view name, std::string_view value) {
        if (!SameName(name, key)) return false;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        found = std::string(value);
        return true;
    });
    return found;
}

int CopyCut(std::string_view text, char* out, int outSize) {
    if (!out || outSize <= 0) return 0;
    const int n = static_cast<int>(std::min<size_t>(text.size(), size_t(outSize - 1)));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return n;
}

}  // namespace

int IniFile::getString(const char* section, const char* key, char* out, const char* defaultValue,
                       int outSize) const {
    if (const auto value = LookUp(path_, section, key)) return CopyCut(*value, out, outSize);
    std::string_view fallback(defaultValue ? defaultValue : "");
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return CopyCut(fallback, out, outSize);
}

std::vector<std::string> IniFile::keys(const char* section) const {
    std::vector<std::string> names;
    ForEachKey(path_, section, [&](std::string_view name, std::string_view) {
        bool seen = false;  // a repeated key reads as its first line: listed once
        for (const std::string& n : names) seen = seen || SameName(name, n.c_str());
        if (!seen) names.emplace_back(name);
        return false;
    });
    return names;
}

int IniFile::getInt(const char* section, const char* key, int& out, int defaultValue) const {
    char fallback[16];
    std::snprintf(fallback, sizeof fallback, "%d", defaultValue);
    char text[kValueBufferSize];
    getString(section, key, text, fallback, sizeof text);
    out = ParseInt(text);
    return out;
}

void IniFile::getFloat(const char* section, const char* key, float& out, float defaultValue) const {
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "%.10g", static_cast<double>(defaultValue));
    char text[kValueBufferSize];
    getString(section, key, text, fallback, sizeof text);
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    while (end && IsSpace(*end)) ++end;
    // A value that is not (all) a number reads as far as it goes, as it always
    // has; one no float can hold would turn timings into infinities, so the
    // default stands in for it. Both are told: a typo here changes the show.
    if (!end || end == text || *end) {
        LogError("[Load] \"%s\" in section \"%s\" is \"%s\", not a number : it reads as %g", key, section, text,
                 value);
    }
    if (!std::isfinite(static_cast<float>(value))) {
        LogError("[Load] \"%s\" in section \"%s\" is \"%s\", out of range : its default %g is used", key, section,
                 text, static_cast<double>(defaultValue));
        out = defaultValue;
        return;
    }
    out = static_cast<float>(value);
}

int ParseInt(const char* text) {
    while (IsSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX + 1LL) value = INT_MAX + 1LL;  // saturate instead of overflowing
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

void parseFloatList(char* text, float* out, int& count) {
    count = 0;
    char* item = text;
    while (true) {
        char* space = std::strchr(item, ' ');
        if (space) *space = '\0';
        if (count < kFloatListCapacity) {
            float value = 0.0f;
            if (std::sscanf(item, "%f", &value) != 1) value = 0.0f;
            out[count++] = value;
        }
        if (!space) break;
        item = space + 1;
    }
}

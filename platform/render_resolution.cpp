// Reading a rendering resolution from the command line; the rest of
// render_resolution.h is the GL context's.
#include "platform/render_resolution.h"

#include <charconv>

namespace platform {

namespace {

// A whole number 1 .. kMaxRenderSide filling all of text.
bool ParseSide(std::string_view text, int* side) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxRenderSide) return false;
    *side = value;
    return true;
}

}  // namespace

bool ParseResolution(const std::string& text, RenderResolution* out, std::string* error) {
    if (text == "native") {
        out->native = true;
        out->width = out->height = 0;
        return true;
    }
    const size_t x = text.find_first_of("xX");
    int width = 0, height = 0;
    if (x == std::string::npos || !ParseSide(std::string_view(text).substr(0, x), &width) ||
        !ParseSide(std::string_view(text).substr(x + 1), &height)) {
        if (error)
            *error = "resolution \"" + text + "\" is not WxH (each side 1 to " + std::to_string(kMaxRenderSide) +
                     ") or native";
        return false;
    }
    out->native = false;
    out->width = width;
    out->height = height;
    return true;
}

}  // namespace platform

// fontbuild: makes the engine's bitmap font (.vft metrics and DDS glyph page)
// from a TrueType font.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/font/font_builder.h"
#include "tools/image/png_writer.h"

namespace {

const char kUsage[] =
    "usage: fontbuild [options] OUT.vft OUT.dds\n"
    "\n"
    "Renders character codes 0-255 of a TrueType font into a glyph page (white,\n"
    "coverage in alpha) and writes its metrics: line height, one rectangle per\n"
    "code in page coordinates, advance widths in pixels.\n"
    "\n"
    "  --font FILE        TrueType font (default " /* keep the default visible */
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf)\n"
    "  --size PX          pixel size (default 32)\n"
    "  --format F         page format: a8r8g8b8 (default) or a4r4g4b4\n"
    "  --padding N        empty texels between glyph cells (default 2)\n"
    "  --encoding E       latin1 (default) or cp1252 for codes 128-159\n"
    "  --preview FILE.png also write the page as PNG\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    font::FontOptions options;
    font::PageFormat format = font::PageFormat::A8R8G8B8;
    std::string preview;
    const char* vft = nullptr;
    const char* dds = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--font" && hasValue) {
            options.fontPath = argv[++i];
        } else if (arg == "--size" && hasValue) {
            options.pixelSize = std::atoi(argv[++i]);
        } else if (arg == "--padding" && hasValue) {
            options.padding = std::atoi(argv[++i]);
        } else if (arg == "--format" && hasValue) {
            const std::string f = argv[++i];
            if (f == "a8r8g8b8") format = font::PageFormat::A8R8G8B8;
            else if (f == "a4r4g4b4") format = font::PageFormat::A4R4G4B4;
            else return Usage();
        } else if (arg == "--encoding" && hasValue) {
            const std::string e = argv[++i];
            if (e == "latin1") options.encoding = font::Encoding::Latin1;
            else if (e == "cp1252") options.encoding = font::Encoding::Windows1252;
            else return Usage();
        } else if (arg == "--preview" && hasValue) {
            preview = argv[++i];
        } else if (arg[0] == '-') {
            return Usage();
        } else if (!vft) {
            vft = argv[i];
        } else if (!dds) {
            dds = argv[i];
        } else {
            return Usage();
        }
    }
    if (!vft || !dds) return Usage();

    font::BuiltFont built;
    std::string error;
    if (!font::BuildFont(options, built, &error) || !font::SaveFont(built, vft, dds, format, &error) ||
        (!preview.empty() && !image::SavePng(built.page, preview, &error))) {
        std::fprintf(stderr, "fontbuild: %s\n", error.c_str());
        return 1;
    }
    std::printf("fontbuild: %dx%d page, line height %g", built.page.width(), built.page.height(),
                built.metrics.height);
    if (built.clippedPixels) std::printf(", %d ink texels clipped at cell edges", built.clippedPixels);
    if (built.missingGlyphs) std::printf(", %d characters missing from the font", built.missingGlyphs);
    std::printf("\n");
    return 0;
}

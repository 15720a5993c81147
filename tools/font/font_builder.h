// Builds a bitmap font for the engine from a TrueType font: the .vft metrics
// file (5124 bytes) and its glyph page, written as a DDS with the glyph coverage
// in alpha over white.
//
// Usage:
//   font::FontOptions options;          // DejaVu Sans Bold, 32 pixels, Latin-1
//   font::BuiltFont built;
//   std::string error;
//   if (!font::BuildFont(options, built, &error) ||
//       !font::SaveFont(built, "data/font.vft", "data/font.dds", font::PageFormat::A8R8G8B8, &error)) ...
//
// Layout: every character code 0–255 gets a cell exactly as wide as its advance
// width and as tall as the line height (ascender + descender), so quads drawn at
// pen positions advanced by the width touch; the glyph's ink sits in the cell at
// its bearing on a common baseline. Cells are packed in code order into rows of
// the smallest power-of-two page (wider than tall when not square) that holds
// them, with padding texels between cells so filtering never picks up a
// neighbour. Glyph records are u left, v top, u right, v bottom in 0–1 page
// coordinates; widths and height are screen pixels at scale 1.
//
// No kerning: the engine places characters by advance width alone.
//
// Gotchas: codes without a glyph (control codes, or characters the font lacks)
// get width 0 and an empty rectangle. Ink that reaches outside its advance
// (a few italic or kerned shapes) is clipped to the cell and counted in
// BuiltFont::clippedPixels.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"

namespace font {

constexpr size_t kVftSize = 5124;
constexpr const char* kDefaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct GlyphRect {
    float uLeft = 0, vTop = 0, uRight = 0, vBottom = 0;
    friend bool operator==(const GlyphRect&, const GlyphRect&) = default;
};

struct FontMetrics {
    float height = 0;
    std::array<GlyphRect, 256> glyphs{};
    std::array<float, 256> widths{};
    friend bool operator==(const FontMetrics&, const FontMetrics&) = default;
};

// How codes 128–159 map to characters: Latin-1 leaves them as control codes;
// Windows-1252 gives them its printable characters (euro sign, quotes, dashes).
enum class Encoding { Latin1, Windows1252 };

enum class PageFormat { A8R8G8B8, A4R4G4B4 };

struct FontOptions {
    std::string fontPath = kDefaultFontPath;
    int pixelSize = 32;  // nominal em size in pixels
    int padding = 2;     // empty texels between cells
    Encoding encoding = Encoding::Latin1;
};

struct BuiltFont {
    FontMetrics metrics;
    image::Image page;       // white, coverage in alpha
    int clippedPixels = 0;   // ink texels cut off at cell edges
    int missingGlyphs = 0;   // printable codes the font has no glyph for
};

bool BuildFont(const FontOptions& options, BuiltFont& out, std::string* error = nullptr);

// The 5124-byte .vft file: height, 256 glyph records, 256 widths (little-endian floats).
std::vector<uint8_t> EncodeVft(const FontMetrics& metrics);
// Reads a .vft back; false unless the data is exactly 5124 bytes.
bool DecodeVft(const std::vector<uint8_t>& bytes, FontMetrics& out);

bool SaveFont(const BuiltFont& font, const std::string& vftPath, const std::string& ddsPath, PageFormat format,
              std::string* error = nullptr);

}  // namespace font

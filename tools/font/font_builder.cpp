// Font page and metrics through FreeType: hinted rendering at a pixel size, so
// advances are whole pixels and glyph cells map texel for pixel at scale 1.
#include "tools/font/font_builder.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <bit>
#include <cstdio>
#include <memory>

#include "tools/image/dds_writer.h"

namespace font {
namespace {

struct LibraryDeleter {
    void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

// Characters of Windows-1252 codes 0x80–0x9F (0 where the code page has none).
constexpr uint32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character a code stands for, or 0 for a control code.
uint32_t CodePoint(int code, Encoding encoding) {
    if (code < 0x20 || code == 0x7F) return 0;
    if (code >= 0x80 && code < 0xA0) return encoding == Encoding::Windows1252 ? kCp1252High[code - 0x80] : 0;
    return uint32_t(code);
}

struct Glyph {
    int advance = 0;
    int left = 0, top = 0;  // bitmap bearing
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage;  // rows × width
};

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Shelf packing in code order; true when every cell fits in width × height.
bool Pack(const std::array<int, 256>& widths, int lineHeight, int padding, int width, int height,
          std::array<int, 256>& xs, std::array<int, 256>& ys) {
    int x = padding, y = padding;
    for (int c = 0; c < 256; ++c) {
        if (widths[c] == 0) {
            xs[c] = ys[c] = 0;
            continue;
        }
        if (x + widths[c] + padding > width) {
            x = padding;
            y += lineHeight + padding;
        }
        if (x + widths[c] + padding > width || y + lineHeight + padding > height) return false;
        xs[c] = x;
        ys[c] = y;
        x += widths[c] + padding;
    }
    return true;
}

}  // namespace

bool BuildFont(const FontOptions& options, BuiltFont& out, std::string* error) {
    if (options.pixelSize < 4 || options.pixelSize > 512) return Fail(error, "pixel size must be 4 to 512");
    if (options.padding < 0 || options.padding > 64) return Fail(error, "padding must be 0 to 64");
    FT_Library rawLib = nullptr;
    if (FT_Init_FreeType(&rawLib)) return Fail(error, "cannot start FreeType");
    LibraryPtr lib(rawLib);
    FT_Face rawFace = nullptr;
    if (FT_New_Face(lib.get(), options.fontPath.c_str(), 0, &rawFace))
        return Fail(error, "cannot open font \"" + options.fontPath + "\"");
    FacePtr face(rawFace);
    if (!FT_IS_SCALABLE(face.get()) || FT_Set_Pixel_Sizes(face.get(), 0, FT_UInt(options.pixelSize)))
        return Fail(error, "cannot size font \"" + options.fontPath + "\"");
    if (FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE))
        return Fail(error, "font \"" + options.fontPath + "\" has no Unicode character map");

    const FT_Size_Metrics& sm = face->size->metrics;
    const int ascender = int((sm.ascender + 63) >> 6);
    const int descender = int((-sm.descender + 63) >> 6);
    const int lineHeight = std::max(1, ascender + descender);

    BuiltFont built;
    std::array<Glyph, 256> glyphs;
    std::array<int, 256> advances{};
    for (int code = 0; code < 256; ++code) {
        const uint32_t cp = CodePoint(code, options.encoding);
        if (cp == 0) continue;
        const FT_UInt index = FT_Get_Char_Index(face.get(), cp);
        if (index == 0 || FT_Load_Glyph(face.get(), index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) {
            ++built.missingGlyphs;
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        Glyph& g = glyphs[size_t(code)];
        g.advance = int((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.width > 0 && bm.rows > 0) {
            g.width = int(bm.width);
            g.rows = int(bm.rows);
            g.coverage.resize(size_t(g.width) * size_t(g.rows));
            for (int y = 0; y < g.rows; ++y)
                for (int x = 0; x < g.width; ++x)
                    g.coverage[size_t(y) * size_t(g.width) + size_t(x)] = bm.buffer[y * bm.pitch + x];
        }
        advances[size_t(code)] = std::max(0, g.advance);
    }

    // The smallest power-of-two page, square or twice as wide as tall.
    std::array<int, 256> xs{}, ys{};
    int pageW = 0, pageH = 0;
    for (int size = 32; size <= 8192 && !pageW; size *= 2)
        for (const int h : {size / 2, size})
            if (!pageW && Pack(advances, lineHeight, options.padding, size, h, xs, ys)) {
                pageW = size;
                pageH = h;
            }
    if (!pageW) return Fail(error, "glyphs do not fit a 8192 × 8192 page");

    built.page = image::Image(pageW, pageH, {255, 255, 255, 0});
    built.metrics.height = float(lineHeight);
    for (int code = 0; code < 256; ++code) {
        const Glyph& g = glyphs[size_t(code)];
        const int adv = advances[size_t(code)];
        built.metrics.widths[size_t(code)] = float(adv);
        if (adv == 0) continue;
        const int cx = xs[size_t(code)], cy = ys[size_t(code)];
        built.metrics.glyphs[size_t(code)] = {float(cx) / float(pageW), float(cy) / float(pageH),
                                              float(cx + adv) / float(pageW), float(cy + lineHeight) / float(pageH)};
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                const uint8_t cov = g.coverage[size_t(y) * size_t(g.width) + size_t(x)];
                if (!cov) continue;
                const int px = g.left + x, py = ascender - g.top + y;
                if (px < 0 || px >= adv || py < 0 || py >= lineHeight) {
                    ++built.clippedPixels;
                    continue;
                }
                built.page.at(cx + px, cy + py).a = cov;
            }
    }
    out = std::move(built);
    return true;
}

std::vector<uint8_t> EncodeVft(const FontMetrics& m) {
    std::vector<uint8_t> out;
    out.reserve(kVftSize);
    auto put = [&](float f) {
        const uint32_t v = std::bit_cast<uint32_t>(f);
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    put(m.height);
    for (const GlyphRect& g : m.glyphs) {
        put(g.uLeft);
        put(g.vTop);
        put(g.uRight);
        put(g.vBottom);
    }
    for (float w : m.widths) put(w);
    return out;
}

bool DecodeVft(const std::vector<uint8_t>& bytes, FontMetrics& out) {
    if (bytes.size() != kVftSize) return false;
    size_t pos = 0;
    auto get = [&]() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(bytes[pos + size_t(i)]) << (8 * i);
        pos += 4;
        return std::bit_cast<float>(v);
    };
    FontMetrics m;
    m.height = get();
    for (GlyphRect& g : m.glyphs) {
        g.uLeft = get();
        g.vTop = get();
        g.uRight = get();
        g.vBottom = get();
    }
    for (float& w : m.widths) w = get();
    out = m;
    return true;
}

bool SaveFont(const BuiltFont& font, const std::string& vftPath, const std::string& ddsPath, PageFormat format,
              std::string* error) {
    const std::vector<uint8_t> vft = EncodeVft(font.metrics);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(vftPath.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + vftPath + "\"");
    if (std::fwrite(vft.data(), 1, vft.size(), file.get()) != vft.size() || std::fclose(file.release()) != 0)
        return Fail(error, "cannot write \"" + vftPath + "\"");
    const image::DdsFormat dds = format == PageFormat::A4R4G4B4 ? image::DdsFormat::A4R4G4B4 : image::DdsFormat::A8R8G8B8;
    return image::SaveDds(font.page, {dds, false}, ddsPath, error);
}

}  // namespace font

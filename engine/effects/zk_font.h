// The bitmap font: glyph rectangles on one page texture and advance widths from
// a 5124-byte .vft file. Characters become screen-space textured quads collected
// in one vertex array between Begin and Flush, and Flush draws them all in a
// single call.
//
// A .vft file: height (float), 256 glyph records (u left, v top, u right,
// v bottom, floats) and 256 advance widths (floats), all indexed by character
// code 0-255, little-endian.
// Not here: render states (the caller sets them between the characters and
// Flush) and the page's image loading (the texture list does it).
// Gotcha: the batch holds at most `capacity` characters; AddChar drops any
// character beyond that (reported once per font) instead of drawing early,
// because the caller's render states for the batch are only set after the
// characters have been added.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/effects/effect_vertices.h"
#include "engine/core/math.h"

namespace ZK3D {

class Texture;

// A position or scale on screen, in pixels or as factors.
struct Vector2 {
    float x = 0, y = 0;
};

// Horizontal alignment codes: 1 and 4 centred, 2 right edge at the position,
// anything else left edge. Vertical: 1 and 4 centred, 5 bottom edge, anything
// else top edge.
enum FontAlignment : int32_t { kAlignStart = 0, kAlignCentre = 1, kAlignRight = 2, kAlignBottom = 5 };

class zkFontBase {
public:
    virtual ~zkFontBase() = default;
    // Starts a new batch.
    virtual void Begin() {}
    // Draws the batch.
    virtual void Flush() {}
    // Adds the quad of character code c; returns the vertices in the batch.
    virtual int32_t AddChar(unsigned char c, Vector2 position, Vector2 scale, const Color& colour, int32_t h,
                            int32_t v) = 0;
    virtual float CharWidth(unsigned char c, Vector2 scale) const = 0;
    // Sum of the widths up to the terminating NUL (0 for no text).
    virtual float TextWidth(const char* text, Vector2 scale) const = 0;
    // Sum of the widths of the characters first ... last (inclusive); indices
    // outside the text (before 0, at or past its NUL) add nothing.
    virtual float SubTextWidth(const char* text, int32_t first, int32_t last, Vector2 scale) const = 0;
    virtual float LineHeight(Vector2 scale) const = 0;
};

struct GlyphRecord {
    float uLeft = 0, vTop = 0, uRight = 0, vBottom = 0;
};
static_assert(sizeof(GlyphRecord) == 16);

class zkFont final : public zkFontBase {
public:
    static constexpr uint32_t kFileSize = 5124;
    // Larger capacities are cut down to this (12 MB of vertices).
    static constexpr int32_t kMaxCapacity = 65536;

    // Reads the metrics and takes the page through the texture list; a missing or
    // short metrics file is reported and leaves a font that draws nothing.
    zkFont(const char* metricsPath, const char* pagePath, int32_t capacity);
    ~zkFont() override;

    void Begin() override { vertexCount = 0; }
    // Sets the page on stage 0 and draws the batch as one triangle list.
    void Flush() override;
    int32_t AddChar(unsigned char c, Vector2 position, Vector2 scale, const Color& colour, int32_t h,
                    int32_t v) override;
    float CharWidth(unsigned char c, Vector2 scale) const override { return widths[c] * scale.x; }
    float TextWidth(const char* text, Vector2 scale) const override;
    float SubTextWidth(const char* text, int32_t first, int32_t last, Vector2 scale) const override;
    float LineHeight(Vector2 scale) const override { return height * scale.y; }

    // Characters the batch can hold (0 when the font could not be read).
    int32_t capacity() const { return capacity_; }
    const ScreenVertex* batch() const { return vertices.get(); }

    float height = 0;
    GlyphRecord glyphs[256] = {};
    float widths[256] = {};
    Texture* texture = nullptr;              // the page; owned by the texture list
    std::unique_ptr<ScreenVertex[]> vertices;  // capacity x 6
    int32_t vertexCount = 0;

private:
    int32_t capacity_ = 0;
    bool overflowReported_ = false;
};

// A font read from metricsPath with its page at pagePath and room for capacity
// characters a batch. The name is not used.
std::unique_ptr<zkFont> zkCreateFont(const char* name, const char* metricsPath, const char* pagePath,
                                     int32_t capacity);

}  // namespace ZK3D

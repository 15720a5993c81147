// Reading .vft metrics, building character quads and drawing a batch.
#include "engine/effects/zk_font.h"

#include <cstring>

#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/core/render_flags.h"
#include "engine/render/texture.h"
#include "engine/scene/world.h"
#include "platform/assert.h"
#include "platform/report.h"

namespace ZK3D {

zkFont::zkFont(const char* metricsPath, const char* pagePath, int32_t capacity) {
    std::unique_ptr<zkFile> file = metricsPath ? zkOpenFile(metricsPath, DiskFirst) : nullptr;
    if (!file) {
        LogError("[FT] Cannot load VTF : \"%s\"", metricsPath ? metricsPath : "");
        return;
    }
    uint8_t bytes[kFileSize];
    const uint32_t read = file->Read(bytes, 1, kFileSize);
    if (read != kFileSize) {
        LogError("[FT] VTF \"%s\" is too short : %u of %u bytes", metricsPath, read, kFileSize);
        return;
    }
    std::memcpy(&height, bytes, 4);
    std::memcpy(glyphs, bytes + 4, sizeof glyphs);
    std::memcpy(widths, bytes + 4 + sizeof glyphs, sizeof widths);
    texture = pagePath ? GetTexture(pagePath) : nullptr;
    if (capacity > kMaxCapacity) {
        LogError("[FT] Capacity %d is too large : %d characters kept", capacity, kMaxCapacity);
        capacity = kMaxCapacity;
    }
    if (capacity > 0) {
        capacity_ = capacity;
        vertices = std::make_unique<ScreenVertex[]>(static_cast<size_t>(capacity) * 6);
    }
}

zkFont::~zkFont() = default;

int32_t zkFont::AddChar(unsigned char c, Vector2 position, Vector2 scale, const Color& colour, int32_t h, int32_t v) {
    if (!vertices) return vertexCount;
    if (vertexCount + 6 > capacity_ * 6) {
        if (!overflowReported_) {
            LogError("[FT] Batch full : characters beyond %d are dropped", capacity_);
            overflowReported_ = true;
        }
        return vertexCount;
    }

    ScreenVertex* q = vertices.get() + vertexCount;
    ScreenVertex base;
    base.z = 1.0f;
    base.rhw = 1.0f;
    base.diffuse = PackColor(colour);
    base.specular = 0;

    const float w = CharWidth(c, scale);
    float left, right;
    if (h == 1 || h == 4) {
        left = position.x - w / 2;
        right = position.x + w / 2;
    } else if (h == 2) {
        left = position.x - w;
        right = position.x;
    } else {
        left = position.x;
        right = position.x + w;
    }
    const float ht = LineHeight(scale);
    float top, bottom;
    if (v == 1 || v == 4) {
        top = position.y - ht / 2;
        bottom = position.y + ht / 2;
    } else if (v == 5) {
        top = position.y - ht;
        bottom = position.y;
    } else {
        top = position.y;
        bottom = position.y + ht;
    }

    const GlyphRecord& g = glyphs[c];
    auto corner = [&](ScreenVertex& out, float x, float y, float u, float vv) {
        out = base;
        out.x = x;
        out.y = y;
        out.u = u;
        out.v = vv;
    };
    corner(q[0], left, top, g.uLeft, g.vTop);
    corner(q[1], left, bottom, g.uLeft, g.vBottom);
    corner(q[2], right, top, g.uRight, g.vTop);
    corner(q[3], right, top, g.uRight, g.vTop);
    corner(q[4], left, bottom, g.uLeft, g.vBottom);
    corner(q[5], right, bottom, g.uRight, g.vBottom);
    vertexCount += 6;
    return vertexCount;
}

float zkFont::TextWidth(const char* text, Vector2 scale) const {
    float sum = 0;
    if (!text) return sum;
    for (const char* p = text; *p; ++p) sum += CharWidth(static_cast<unsigned char>(*p), scale);
    return sum;
}

float zkFont::SubTextWidth(const char* text, int32_t first, int32_t last, Vector2 scale) const {
    float sum = 0;
    if (!text || first > last) return sum;
    // Walk from the start so that no index past the NUL is ever read.
    for (int32_t i = 0; i <= last && text[i]; ++i)
        if (i >= first) sum += CharWidth(static_cast<unsigned char>(text[i]), scale);
    return sum;
}

void zkFont::Flush() {
    if (!vertices) return;
    Context* context = CurrentContext();
    ZK_ASSERT(context, "text is drawn with no current world or render context");
    IDirect3DDevice7* device = context ? context->device() : nullptr;
    if (!device) return;
    Texture::Bind(0, texture);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kScreenVertexFormat, vertices.get(), static_cast<DWORD>(vertexCount),
                          D3DDP_WAIT);
}

std::unique_ptr<zkFont> zkCreateFont(const char* /*name*/, const char* metricsPath, const char* pagePath,
                                     int32_t capacity) {
    return std::make_unique<zkFont>(metricsPath, pagePath, capacity);
}

}  // namespace ZK3D

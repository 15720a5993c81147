// The render-state word every drawing object keeps, and the colour packing rule.
//
// A RenderFlags word packs the fixed-function states the engine switches into 32
// bits; the render context turns each field into its render state(s) and sends
// only the fields that changed. The helpers below name the fields and give the
// device values each field stands for, so no caller repeats a bit position.
//
// Not here: sending the states (Context::ApplyFlags does that) and any state the
// word does not carry (fog, ambient, texture stages).
// Gotcha: bit 17 (sorted drawing) maps to no render state at all; it only tells a
// mesh to queue its faces for back-to-front drawing.
#pragma once

#include <cstdint>

#include "engine/core/math.h"
#include "platform/d3d7.h"

namespace ZK3D {

using RenderFlags = uint32_t;

// Depth test, dithering, lighting, clipping and normalised normals on; cull CW;
// opaque; depth written and compared LESSEQUAL.
constexpr RenderFlags kDefaultRenderFlags = 0x000000D3;

namespace flags {

constexpr RenderFlags kDepthTest = 1u << 0;
constexpr RenderFlags kDither = 1u << 1;
constexpr RenderFlags kAlphaBlend = 1u << 2;
constexpr RenderFlags kAlphaTest = 1u << 3;
constexpr RenderFlags kLighting = 1u << 4;
constexpr RenderFlags kSpecular = 1u << 5;
constexpr RenderFlags kClipping = 1u << 6;
constexpr RenderFlags kNormalizeNormals = 1u << 7;
constexpr RenderFlags kWireframe = 1u << 16;
constexpr RenderFlags kSorted = 1u << 17;

constexpr int kCullShift = 20;
constexpr RenderFlags kCullMask = 0x3u << kCullShift;
constexpr int kBlendShift = 22;
constexpr RenderFlags kBlendMask = 0xFu << kBlendShift;
constexpr int kDepthShift = 26;
constexpr RenderFlags kDepthMask = 0x3u << kDepthShift;

// Cull field values.
enum CullMode : uint32_t { kCullCW = 0, kCullCCW = 1, kCullNone = 2 };
// Blend field values; 0 and 4-15 are opaque.
enum BlendMode : uint32_t { kBlendOpaque = 0, kBlendAdditive = 1, kBlendTransparent = 2, kBlendAlphaAdditive = 3 };
// Depth field values.
enum DepthMode : uint32_t { kDepthWrite = 0, kDepthReadOnly = 1, kDepthAlways = 2 };

constexpr uint32_t CullField(RenderFlags f) { return (f & kCullMask) >> kCullShift; }
constexpr uint32_t BlendField(RenderFlags f) { return (f & kBlendMask) >> kBlendShift; }
constexpr uint32_t DepthField(RenderFlags f) { return (f & kDepthMask) >> kDepthShift; }

constexpr RenderFlags WithCull(RenderFlags f, uint32_t mode) {
    return (f & ~kCullMask) | ((mode << kCullShift) & kCullMask);
}
constexpr RenderFlags WithBlend(RenderFlags f, uint32_t mode) {
    return (f & ~kBlendMask) | ((mode << kBlendShift) & kBlendMask);
}
constexpr RenderFlags WithDepth(RenderFlags f, uint32_t mode) {
    return (f & ~kDepthMask) | ((mode << kDepthShift) & kDepthMask);
}
constexpr RenderFlags WithBit(RenderFlags f, RenderFlags bit, bool on) { return on ? (f | bit) : (f & ~bit); }

// Device values of the fields.
constexpr DWORD CullState(uint32_t field) {
    switch (field & 3) {
        case kCullCW: return D3DCULL_CW;
        case kCullNone: return D3DCULL_NONE;
        default: return D3DCULL_CCW;  // 1, and 3 as well
    }
}
constexpr DWORD SrcBlendState(uint32_t field) {
    switch (field) {
        case kBlendAdditive: return D3DBLEND_ONE;
        case kBlendTransparent:
        case kBlendAlphaAdditive: return D3DBLEND_SRCALPHA;
        default: return D3DBLEND_ONE;
    }
}
constexpr DWORD DestBlendState(uint32_t field) {
    switch (field) {
        case kBlendAdditive: return D3DBLEND_ONE;
        case kBlendTransparent: return D3DBLEND_INVSRCALPHA;
        case kBlendAlphaAdditive: return D3DBLEND_ONE;
        default: return D3DBLEND_ZERO;
    }
}
constexpr DWORD ZWriteState(uint32_t field) { return (field & 3) == kDepthReadOnly ? FALSE : TRUE; }
constexpr DWORD ZFuncState(uint32_t field) { return (field & 3) == kDepthAlways ? D3DCMP_ALWAYS : D3DCMP_LESSEQUAL; }

}  // namespace flags

// One float channel as a byte: 255 from 1 up, rounded (0.5 added, then truncated)
// above 0, else 0 (NaN included).
inline uint32_t PackChannel(float c) {
    if (c >= 1.0f) return 255;
    if (c > 0.0f) return static_cast<uint32_t>(c * 255.0f + 0.5f);
    return 0;
}

// A colour as the device's packed word: A in the top byte, then R, G, B.
inline D3DCOLOR PackColor(const Color& c) {
    return PackChannel(c.a) << 24 | PackChannel(c.r) << 16 | PackChannel(c.g) << 8 | PackChannel(c.b);
}

}  // namespace ZK3D

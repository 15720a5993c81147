// The two vertex layouts the effects hand to the device, 32 bytes each:
// ScreenVertex, already transformed to pixels (format 452: XYZRHW, diffuse,
// specular, one coordinate pair), used by the font and the lens flares; and
// LitVertex, a world-space point with its own colours (format 482: XYZ, a
// reserved word, diffuse, specular, one coordinate pair), used by particles.
//
// Not here: any drawing.
// Gotcha: the layouts must match the format codes byte for byte; the asserts
// below keep them honest.
#pragma once

#include <cstddef>

#include "platform/d3d7.h"

namespace ZK3D {

struct ScreenVertex {
    float x = 0, y = 0, z = 0, rhw = 0;
    D3DCOLOR diffuse = 0;
    D3DCOLOR specular = 0;
    float u = 0, v = 0;
};
constexpr DWORD kScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
static_assert(kScreenVertexFormat == 452);
static_assert(sizeof(ScreenVertex) == 32 && offsetof(ScreenVertex, diffuse) == 16 && offsetof(ScreenVertex, u) == 24);

struct LitVertex {
    float x = 0, y = 0, z = 0;
    DWORD reserved = 0;
    D3DCOLOR diffuse = 0;
    D3DCOLOR specular = 0;
    float u = 0, v = 0;
};
constexpr DWORD kLitVertexFormat = D3DFVF_XYZ | D3DFVF_RESERVED1 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
static_assert(kLitVertexFormat == 482);
static_assert(sizeof(LitVertex) == 32 && offsetof(LitVertex, diffuse) == 16 && offsetof(LitVertex, u) == 24);

}  // namespace ZK3D

// Pure translations from the platform's state values to GL settings and shader
// uniform values: blend factors, cull winding, depth compare, sampler settings,
// colour unpacking and the matrices and constants the shaders take. No GL calls:
// unit-tested on their own.
//
// Every render target keeps the platform's top row at GL row 0, so the cull
// mapping is the one for a y-flipped target: CULLMODE CCW keeps GL's
// counter-clockwise triangles.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d7.h"

namespace platform::gl {

struct BlendSetting {
    GLenum source, destination;
};
// SRCBLEND / DESTBLEND to GL factors; BOTHSRCALPHA and BOTHINVSRCALPHA set both.
BlendSetting MapBlend(DWORD sourceBlend, DWORD destinationBlend);

struct CullSetting {
    bool enabled;
    GLenum frontFace;  // with glCullFace(GL_BACK)
};
CullSetting MapCull(DWORD cullMode);

// D3DCMP to GL (GL_NEVER + value - 1); out-of-range values give fallback.
GLenum MapCompare(DWORD func, GLenum fallback);

struct SamplerSetting {
    GLenum minFilter, magFilter, wrapS, wrapT;
    float borderColor[4];  // r, g, b, a
    float lodBias, minLod;
    float anisotropy;  // 1 = off
};
// From one stage's states (indexed by D3DTEXTURESTAGESTATETYPE).
SamplerSetting MapSampler(const DWORD* stageStates);

// D3DCOLOR to r, g, b, a in [0, 1].
void UnpackColor(D3DCOLOR color, float out[4]);

// The inverse of the upper 3 x 3 of m, row-major (zero when it is singular):
// normals transform as n x inverse-transpose, so the shader multiplies by this
// inverse uploaded transposed.
void NormalMatrix(const D3DMATRIX& m, float out[9]);

// Shader constants that place pre-transformed vertices and shift every vertex
// by (slightly under) half a GL pixel: rect = (X, Y, 2 / W, 2 / H), offset in
// clip units per w. The viewport is in logical pixels; scaleX and scaleY are the
// target's GL pixels per logical pixel.
void ViewportUniforms(const D3DVIEWPORT7& viewport, double scaleX, double scaleY, float rect[4],
                      float pixelOffset[2]);

}  // namespace platform::gl

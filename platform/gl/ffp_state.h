// The fixed-function state of the device as the application sets it (render
// states, texture-stage states, transforms, lights, material, viewport) with the
// values a new device starts with, and the compact key derived from it that
// selects a generated shader program.
//
// Pure CPU code. The key holds only what changes the generated GLSL (which lights
// of which type, stage operations and arguments after the unbound-texture rule,
// coordinate sources, fog source, alpha-test function, vertex-format inputs);
// numbers that only feed uniforms (colours, matrices, fog distances, the alpha
// reference) stay out of it, so changing them never costs a new program. Fields
// that cannot matter for a draw are zeroed so equal pipelines share one program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/d3d7.h"
#include "platform/gl/fvf_layout.h"

namespace platform::gl {

constexpr int kRenderStateCount = 256;
constexpr int kStageStateCount = 32;
constexpr int kLightSlots = 64;  // light indices the device stores; at most kMaxLights enabled

// Extra render states the device tracks beyond the ones d3d7.h names.
constexpr DWORD kRenderStateClipPlaneEnable = 152;

struct FfpState {
    DWORD render[kRenderStateCount];
    DWORD stage[kMaxTextureStages][kStageStateCount];
    D3DMATRIX world, view, projection;
    D3DMATRIX texture[kMaxTextureStages];
    D3DLIGHT7 lights[kLightSlots];
    bool lightEnabled[kLightSlots];
    D3DMATERIAL7 material;
    D3DVIEWPORT7 viewport;

    // The values of a new device whose render target is width x height and has
    // (or lacks) an attached depth buffer.
    void SetDefaults(DWORD width, DWORD height, bool hasDepth);
};

// Generated texture-coordinate sources in FfpStageKey::coordSource's high nibble.
enum CoordGen : uint8_t { kGenPassThrough = 0, kGenNormal = 1, kGenPosition = 2, kGenReflection = 3 };
constexpr uint8_t kNoCoordSet = 0x0F;  // the stage reads a set the vertex lacks: (0, 0, 0, 1)

// Fog sources in FfpKey::fog.
enum FogSource : uint8_t {
    kFogOff = 0,
    kFogVertexLinear = 1,
    kFogVertexExp = 2,
    kFogVertexExp2 = 3,
    kFogSpecularAlpha = 4,  // pre-transformed vertices, or no vertex fog mode: specular alpha is f
    kFogTableLinear = 5,
    kFogTableExp = 6,
    kFogTableExp2 = 7,
};

struct FfpStageKey {
    uint8_t colorOp, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg1, alphaArg2;
    uint8_t coordSource;  // low nibble: set index or kNoCoordSet; high nibble: CoordGen
    uint8_t transform;    // low 3 bits: D3DTTFF count (0 none), bit 3: projected
    uint8_t sampled;      // 1 when the stage reads its texture
};

struct FfpKey {
    uint8_t pretransformed, hasNormal, hasDiffuse, hasSpecular;
    uint8_t texSetCount;
    uint8_t texSetSize[8];
    uint8_t lighting;
    uint8_t lightType[kMaxLights];  // D3DLIGHTTYPE of the n-th enabled light, 0 past the last
    uint8_t localViewer, normalizeNormals, specularEnable;
    uint8_t diffuseSource, specularSource, ambientSource, emissiveSource;  // D3DMCS after vertex checks
    uint8_t flatShade;
    uint8_t fog;  // FogSource
    uint8_t rangeFog;
    uint8_t alphaFunc;  // 0 = no alpha test, else D3DCMPFUNC
    uint8_t stageCount;  // stages before the first disabled one
    FfpStageKey stages[kMaxTextureStages];

    bool operator==(const FfpKey& other) const;
};

struct FfpKeyHash {
    size_t operator()(const FfpKey& key) const;
};

// Derives the key of a draw: the state, the vertex layout, and which stages have
// a texture bound (bit k for stage k).
FfpKey DeriveKey(const FfpState& state, const FvfLayout& layout, uint32_t boundTextures);

// Indices of the enabled lights in the order their types appear in the key.
int ActiveLights(const FfpState& state, int out[kMaxLights]);

}  // namespace platform::gl

// Counters and diagnostics of the OpenGL device, for benchmarks, tests, tools and
// a stats overlay: what a frame cost in GL work, which driver renders, the
// window's pixels after presenting, and a switch that makes the device pose as
// one with texture-size restrictions.
//
// Works only on the objects platform/gl makes; for any other device (a recording
// test device) the calls report nothing. Includes no GL header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx.h"

namespace platform {

// How fragments are counted when counting is on: the fragment-shader invocations
// of the pipeline-statistics query (every fragment rasterised, whatever its depth
// test does), or, where the driver lacks it, the samples that passed.
enum class FragmentCounter { kNone, kShaderInvocations, kSamplesPassed };

struct GlStats {
    uint64_t drawCalls = 0;          // GL draw calls issued
    uint64_t triangles = 0;          // triangles those draws submitted (lists, strips and fans)
    uint64_t fragments = 0;          // fragments counted while counting was on (see CountGlFragments)
    uint64_t textureBinds = 0;       // texture bindings changed
    uint64_t programSwitches = 0;    // shader programs changed
    uint64_t stateChanges = 0;       // GL state calls issued (enables, blend / depth / cull settings, bindings)
    uint64_t uniformUploads = 0;     // groups of shader constants sent
    uint64_t shaderCacheMisses = 0;  // pipelines whose shaders had to be generated and compiled
    uint64_t textureUploads = 0;     // texture levels sent to GL
    uint64_t bufferUploads = 0;      // vertex-buffer contents sent to GL
    uint64_t frames = 0;             // UpdateFrame calls
};

// The counters of a GL device since its creation or the last reset; false for
// any other device.
bool GetGlStats(IDirect3DDevice7* device, GlStats* stats);
void ResetGlStats(IDirect3DDevice7* device);

// Starts (on) or stops counting the fragments every frame shades, with a GL
// query around each frame's draws; results arrive in GlStats::fragments once
// the driver has them (at the latest a few frames later). Returns how they are
// counted; kNone for any other device.
FragmentCounter CountGlFragments(IDirect3DDevice7* device, bool on);

// Makes the GL device report the D3DPTEXTURECAPS_POW2 and / or SQUAREONLY bits
// of textureCaps (0 lifts them again), so texture creation sizes as it would
// for such a device; false for any other device.
bool SetGlTextureRestrictions(IDirect3DDevice7* device, DWORD textureCaps);

// The GL renderer of the device (for example "llvmpipe (LLVM 15.0.6, 256 bits)");
// empty for any other device.
std::string GlRenderer(IDirect3DDevice7* device);

// For a context made on a window: the window's framebuffer as UpdateFrame
// presents it (the back buffer scaled into it, black bars included), as ARGB
// (0xAARRGGBB), top row first. False for an offscreen context or when the
// window cannot be read.
bool ReadPresentedFrame(ID3DXContext* context, std::vector<uint32_t>* pixels, int* width, int* height);

}  // namespace platform

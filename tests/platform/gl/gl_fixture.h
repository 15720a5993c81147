// Shared set-up for the GL device's image tests: one offscreen context for the
// whole test binary (making one costs far more than a test), device state put
// back to the values of a new device before every test, small render targets,
// pixel read-back through Lock, and vertex records of the formats the engine
// draws with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "tests/support/log_capture.h"

namespace gltest {

struct TLVertex {  // D3DFVF_TLVERTEX, 0x1C4
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};

struct LVertex {  // D3DFVF_LVERTEX, 0x1E2
    float x, y, z;
    DWORD reserved;
    D3DCOLOR diffuse, specular;
    float u, v;
};

struct NVertex {  // D3DFVF_VERTEX, 0x112
    float x, y, z, nx, ny, nz, u, v;
};

struct NDVertex {  // XYZ | NORMAL | DIFFUSE | SPECULAR, 0x0D2
    float x, y, z, nx, ny, nz;
    D3DCOLOR diffuse, specular;
};
constexpr DWORD kFvfNormalDiffuseSpecular = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

D3DMATRIX Identity();
D3DMATRIX Scale(float x, float y, float z);
D3DMATRIX Translation(float x, float y, float z);
// View space (x, y) = target pixel (x right, y down), z in [0, depth] to depth 0..1:
// untransformed points then land on known pixels.
D3DMATRIX PixelOrtho(int width, int height, float depth);
// A left-handed perspective projection.
D3DMATRIX Perspective(float fovY, float aspect, float zNear, float zFar);

int Channel(uint32_t argb, int shift);
// True when every channel differs by at most tolerance; otherwise the message
// names both colours.
::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance);
uint32_t Argb(int a, int r, int g, int b);
// Rounds a 0..1 channel to 0..255 as a target stores it.
int To8(double v);

class GlTest : public ::testing::Test {
public:
    // Releases the shared context (after the last test).
    static void ReleaseShared();

protected:
    // Whether the tests run on the software rasteriser (the default).
    static bool Software();
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A render target (with a depth buffer when asked), made current.
    IDirectDrawSurface7* UseTarget(int width, int height, bool depth = true, bool withAlpha = false);
    // Makes an existing target current with a full viewport.
    void Use(IDirectDrawSurface7* target);
    std::vector<uint32_t> Read(IDirectDrawSurface7* surface);
    uint32_t Pixel(int x, int y);  // of the current target
    float DepthAt(int x, int y);   // of the current target's depth buffer, 0..1

    // A texture of the format with the level-0 texels given as ARGB (converted
    // on the CPU with the platform's encoder) or as raw bytes.
    IDirectDrawSurface7* MakeTexture(int width, int height, DWORD fourccOrZero, const DDPIXELFORMAT* format,
                                     const std::vector<uint32_t>& argb, int levels = 1);
    IDirectDrawSurface7* MakeTextureRaw(int width, int height, const DDPIXELFORMAT& format,
                                        const std::vector<uint8_t>& bytes);

    // Draws a pre-transformed quad (strip TL, TR, BL, BR) over the rectangle.
    void Quad(float left, float top, float right, float bottom, D3DCOLOR diffuse, float z = 0.5f,
              D3DCOLOR specular = 0xFF000000, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1);
    // Pre-lit state for texture-stage tests: no lighting, no culling, no depth.
    void Unlit();

    static ID3DXContext* context_;
    static IDirect3DDevice7* device_;
    static IDirectDraw7* ddraw_;
    static IDirect3D7* d3d_;

    IDirectDrawSurface7* target_ = nullptr;
    std::vector<IUnknownLike*> owned_;  // released after the test
    testing_support::LogCapture log_;  // GL errors the device reports fail the test
};

}  // namespace gltest

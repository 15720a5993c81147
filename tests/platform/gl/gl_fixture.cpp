#include "tests/platform/gl/gl_fixture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gl/ffp_state.h"
#include "platform/gl/pixel_format.h"
#include "platform/gl_stats.h"

namespace gltest {

ID3DXContext* GlTest::context_ = nullptr;
IDirect3DDevice7* GlTest::device_ = nullptr;
IDirectDraw7* GlTest::ddraw_ = nullptr;
IDirect3D7* GlTest::d3d_ = nullptr;

namespace {

// Releases the shared context when the binary's tests are done.
class ContextEnvironment : public ::testing::Environment {
public:
    void TearDown() override { GlTest::ReleaseShared(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ContextEnvironment);

}  // namespace

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

D3DMATRIX Scale(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._11 = x;
    m._22 = y;
    m._33 = z;
    return m;
}

D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX PixelOrtho(int width, int height, float depth) {
    D3DMATRIX m{};
    m._11 = 2.0f / float(width);
    m._41 = -1.0f;
    m._22 = -2.0f / float(height);
    m._42 = 1.0f;
    m._33 = 1.0f / depth;
    m._44 = 1.0f;
    return m;
}

D3DMATRIX Perspective(float fovY, float aspect, float zNear, float zFar) {
    const float h = 1.0f / std::tan(fovY / 2), w = h / aspect;
    D3DMATRIX m{};
    m._11 = w;
    m._22 = h;
    m._33 = zFar / (zFar - zNear);
    m._34 = 1.0f;
    m._43 = -zNear * zFar / (zFar - zNear);
    return m;
}

int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

uint32_t Argb(int a, int r, int g, int b) { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

int To8(double v) { return int(std::lround(std::fmin(1.0, std::fmax(0.0, v)) * 255.0)); }

::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
            char text[96];
            std::snprintf(text, sizeof text, "colour %08X, expected %08X (tolerance %d)", actual, expected, tolerance);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

void GlTest::ReleaseShared() {
    if (device_) device_->Release();
    if (ddraw_) ddraw_->Release();
    if (d3d_) d3d_->Release();
    if (context_) context_->Release();
    device_ = nullptr;
    ddraw_ = nullptr;
    d3d_ = nullptr;
    context_ = nullptr;
}

bool GlTest::Software() {
    // VELMOOR_GL_TEST_DEVICE=default runs the image tests on the hardware driver.
    const char* device = std::getenv("VELMOOR_GL_TEST_DEVICE");
    return !device || std::string(device) != "default";
}

void GlTest::SetUpTestSuite() {
    if (context_) return;
    ASSERT_EQ(D3DXCreateContext(Software() ? D3DX_HWLEVEL_2D : D3DX_DEFAULT, 0, nullptr, 64, 64, &context_), D3D_OK);
    device_ = context_->GetD3DDevice();
    ddraw_ = context_->GetDD();
    d3d_ = context_->GetD3D();
}

void GlTest::SetUp() {
    ASSERT_NE(device_, nullptr);
    // Everything back to the values of a new device.
    platform::gl::FfpState defaults;
    defaults.SetDefaults(64, 64, true);
    for (DWORD s = 0; s < DWORD(platform::gl::kRenderStateCount); ++s)
        device_->SetRenderState(D3DRENDERSTATETYPE(s), defaults.render[s]);
    for (DWORD stage = 0; stage < kMaxTextureStages; ++stage) {
        device_->SetTexture(stage, nullptr);
        for (DWORD s = 1; s < DWORD(platform::gl::kStageStateCount); ++s)
            if (s != D3DTSS_ADDRESS)
                device_->SetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(s), defaults.stage[stage][s]);
        D3DMATRIX id = Identity();
        device_->SetTransform(D3DTRANSFORMSTATETYPE(D3DTRANSFORMSTATE_TEXTURE0 + stage), &id);
    }
    D3DMATRIX id = Identity();
    device_->SetTransform(D3DTRANSFORMSTATE_WORLD, &id);
    device_->SetTransform(D3DTRANSFORMSTATE_VIEW, &id);
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &id);
    for (DWORD i = 0; i < DWORD(platform::gl::kLightSlots); ++i) device_->LightEnable(i, FALSE);
    D3DMATERIAL7 material{};
    device_->SetMaterial(&material);
    platform::SetGlTextureRestrictions(device_, 0);
    IDirectDrawSurface7* back = context_->GetBackBuffer(0);
    device_->SetRenderTarget(back, 0);
    back->Release();
}

void GlTest::TearDown() {
    if (device_) {
        IDirectDrawSurface7* back = context_->GetBackBuffer(0);
        device_->SetRenderTarget(back, 0);
        back->Release();
        for (DWORD stage = 0; stage < kMaxTextureStages; ++stage) device_->SetTexture(stage, nullptr);
    }
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->Release();
    owned_.clear();
    for (const std::string& error : log_.errors()) ADD_FAILURE() << "reported: " << error;
}

IDirectDrawSurface7* GlTest::UseTarget(int width, int height, bool depth, bool withAlpha) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddpfPixelFormat =
        platform::gl::PixelFormatOf(withAlpha ? platform::gl::Format::A8R8G8B8 : platform::gl::Format::X8R8G8B8);
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    IDirectDrawSurface7* target = nullptr;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &target, nullptr), DD_OK);
    if (!target) return nullptr;
    owned_.push_back(target);
    if (depth) {
        desc.ddpfPixelFormat = platform::gl::PixelFormatOf(platform::gl::Format::Depth24);
        desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        IDirectDrawSurface7* z = nullptr;
        EXPECT_EQ(ddraw_->CreateSurface(&desc, &z, nullptr), DD_OK);
        EXPECT_EQ(target->AddAttachedSurface(z), DD_OK);
        z->Release();  // the target holds it
    }
    Use(target);
    return target;
}

void GlTest::Use(IDirectDrawSurface7* target) {
    target_ = target;
    EXPECT_EQ(device_->SetRenderTarget(target, 0), D3D_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    target->GetSurfaceDesc(&desc);
    D3DVIEWPORT7 viewport{0, 0, desc.dwWidth, desc.dwHeight, 0, 1};
    EXPECT_EQ(device_->SetViewport(&viewport), D3D_OK);
}

std::vector<uint32_t> GlTest::Read(IDirectDrawSurface7* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    std::vector<uint32_t> out;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) {
        ADD_FAILURE() << "cannot lock the surface";
        return out;
    }
    out.resize(size_t(desc.dwWidth) * desc.dwHeight);
    for (DWORD y = 0; y < desc.dwHeight; ++y)
        std::memcpy(&out[y * desc.dwWidth], static_cast<uint8_t*>(desc.lpSurface) + y * size_t(desc.lPitch),
                    desc.dwWidth * 4);
    surface->Unlock(nullptr);
    return out;
}

uint32_t GlTest::Pixel(int x, int y) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    target_->GetSurfaceDesc(&desc);
    const std::vector<uint32_t> all = Read(target_);
    return all.empty() ? 0 : all[size_t(y) * desc.dwWidth + size_t(x)];
}

float GlTest::DepthAt(int x, int y) {
    DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface7* z = nullptr;
    if (target_->GetAttachedSurface(&caps, &z) != DD_OK) return -1;
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    float value = -1;
    if (z->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK) {
        const DWORD mask = desc.ddpfPixelFormat.dwGBitMask;
        uint32_t word;
        std::memcpy(&word,
                    static_cast<uint8_t*>(desc.lpSurface) + size_t(y) * size_t(desc.lPitch) +
                        size_t(x) * desc.ddpfPixelFormat.dwRGBBitCount / 8,
                    4);
        value = float(word & mask) / float(mask);
        z->Unlock(nullptr);
    }
    z->Release();
    return value;
}

IDirectDrawSurface7* GlTest::MakeTexture(int width, int height, DWORD fourcc, const DDPIXELFORMAT* format,
                                         const std::vector<uint32_t>& argb, int levels) {
    DDPIXELFORMAT pf = format ? *format : DDPIXELFORMAT{};
    if (fourcc) {
        pf = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_FOURCC, fourcc, 0, 0, 0, 0, 0};
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddpfPixelFormat = pf;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (levels > 1) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = DWORD(levels);
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    IDirectDrawSurface7* texture = nullptr;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &texture, nullptr), DD_OK);
    if (!texture) return nullptr;
    owned_.push_back(texture);
    DDSURFACEDESC2 locked{};
    locked.dwSize = 124;
    EXPECT_EQ(texture->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    platform::gl::EncodeLevel(platform::gl::FormatOf(locked.ddpfPixelFormat), argb.data(), width, height,
                              static_cast<uint8_t*>(locked.lpSurface), size_t(locked.lPitch));
    texture->Unlock(nullptr);
    return texture;
}

IDirectDrawSurface7* GlTest::MakeTextureRaw(int width, int height, const DDPIXELFORMAT& format,
                                            const std::vector<uint8_t>& bytes) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddpfPixelFormat = format;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    IDirectDrawSurface7* texture = nullptr;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &texture, nullptr), DD_OK);
    if (!texture) return nullptr;
    owned_.push_back(texture);
    DDSURFACEDESC2 locked{};
    locked.dwSize = 124;
    EXPECT_EQ(texture->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    const size_t size = (locked.dwFlags & DDSD_LINEARSIZE) ? locked.dwLinearSize
                                                           : size_t(locked.lPitch) * locked.dwHeight;
    EXPECT_EQ(size, bytes.size());
    std::memcpy(locked.lpSurface, bytes.data(), std::min(size, bytes.size()));
    texture->Unlock(nullptr);
    return texture;
}

void GlTest::Quad(float l, float t, float r, float b, D3DCOLOR diffuse, float z, D3DCOLOR specular, float u0,
                  float v0, float u1, float v1) {
    TLVertex q[4] = {{l, t, z, 1, diffuse, specular, u0, v0},
                     {r, t, z, 1, diffuse, specular, u1, v0},
                     {l, b, z, 1, diffuse, specular, u0, v1},
                     {r, b, z, 1, diffuse, specular, u1, v1}};
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, q, 4, D3DDP_WAIT), D3D_OK);
}

void GlTest::Unlit() {
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
}

}  // namespace gltest

// Contexts, surfaces, vertex buffers, resource creation from a second thread,
// and the utility library's texture creation and loading on the GL device.
#include <stb_image_write.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dds_header.h"
#include "platform/gl/pixel_format.h"
#include "platform/gl_stats.h"
#include "tests/platform/gl/gl_fixture.h"

namespace gltest {
namespace {

using platform::gl::Format;
using platform::gl::PixelFormatOf;

DDSURFACEDESC2 TextureDesc(DWORD width, DWORD height, Format format, DWORD caps = DDSCAPS_TEXTURE) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = PixelFormatOf(format);
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

class Resources : public GlTest {};

TEST_F(Resources, ContextsFailCleanlyAndHandOutTheirObjects) {
    ID3DXContext* bad = reinterpret_cast<ID3DXContext*>(1);
    EXPECT_EQ(D3DXCreateContext(0x1234, 0, nullptr, 64, 64, &bad), D3DXERR_INVALIDD3DXDEVICEINDEX);
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(D3DXCreateContext(D3DX_HWLEVEL_NULL, 0, nullptr, 64, 64, &bad), D3DXERR_INVALIDD3DXDEVICEINDEX);
    EXPECT_EQ(D3DXCreateContext(D3DX_DEFAULT, 0, nullptr, 64, 64, nullptr), D3DXERR_NULLPOINTER);
    EXPECT_LT(D3DXCreateContext(D3DX_DEFAULT, 0, nullptr, 100000, 64, &bad), 0);

    // The shared context asked for the software rasteriser (unless told otherwise).
    const std::string renderer = platform::GlRenderer(device_);
    if (Software()) {
        EXPECT_TRUE(renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos)
            << renderer;
    }
    IDirectDrawSurface7* back = context_->GetBackBuffer(0);
    owned_.push_back(back);
    EXPECT_EQ(context_->GetBackBuffer(1), nullptr);
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    ASSERT_EQ(back->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 64u);
    EXPECT_EQ(desc.dwHeight, 64u);
    EXPECT_EQ(platform::gl::FormatOf(desc.ddpfPixelFormat), Format::X8R8G8B8);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_3DDEVICE);
    DDSCAPS2 zcaps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface7* attached = nullptr;
    ASSERT_EQ(back->GetAttachedSurface(&zcaps, &attached), DD_OK);
    IDirectDrawSurface7* z = context_->GetZBuffer();
    EXPECT_EQ(attached, z);
    attached->Release();
    z->Release();

    // A second context with default sizes works beside the first: each reads its
    // own targets back whichever is current, and neither takes the other's surfaces.
    IDirectDrawSurface7* first = UseTarget(8, 8, false);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1, 0), D3D_OK);
    ID3DXContext* second = nullptr;
    ASSERT_EQ(D3DXCreateContext(D3DX_DEFAULT, 0, nullptr, 0, 0, &second), D3D_OK);
    IDirectDrawSurface7* secondBack = second->GetBackBuffer(0);
    secondBack->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    IDirect3DDevice7* secondDevice = second->GetD3DDevice();
    EXPECT_EQ(secondDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0), D3D_OK);
    EXPECT_EQ(Read(first)[9], 0xFFFF0000u);
    EXPECT_EQ(Read(secondBack)[640 * 240 + 320], 0xFF00FF00u);
    EXPECT_EQ(device_->SetTexture(0, secondBack), DDERR_DEVICEDOESNTOWNSURFACE);
    EXPECT_EQ(device_->SetRenderTarget(secondBack, 0), DDERR_DEVICEDOESNTOWNSURFACE);
    EXPECT_EQ(second->UpdateFrame(0), D3D_OK);
    secondDevice->Release();
    secondBack->Release();
    EXPECT_EQ(second->Release(), 0u);

    UseTarget(8, 8, false);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1, 0), D3D_OK);
    EXPECT_EQ(Pixel(3, 3), 0xFF0000FFu);
    EXPECT_EQ(context_->UpdateFrame(D3DX_UPDATE_NOVSYNC), D3D_OK);
}

TEST_F(Resources, SurfaceCreationChecksItsDescription) {
    IDirectDrawSurface7* s = nullptr;
    DDSURFACEDESC2 desc = TextureDesc(8, 8, Format::R5G6B5);
    desc.dwFlags |= DDSD_PITCH;  // a pitch without client memory
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);
    desc = TextureDesc(8, 8, Format::R5G6B5);
    desc.ddsCaps.dwCaps2 = DDSCAPS2_CUBEMAP;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDCAPS);
    desc = TextureDesc(8, 8, Format::R5G6B5);
    desc.ddpfPixelFormat.dwRBitMask = 0x1234;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    desc = TextureDesc(0, 8, Format::R5G6B5);
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);
    desc = TextureDesc(100000, 8, Format::R5G6B5);
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_TOOBIGWIDTH);
    desc = TextureDesc(8, 8, Format::DXT1, DDSCAPS_3DDEVICE);
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    desc = TextureDesc(8, 8, Format::X8R8G8B8, DDSCAPS_ZBUFFER);
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    // The FourCC code and its flag must agree, either way round.
    desc = TextureDesc(8, 8, Format::DXT1);
    desc.ddpfPixelFormat.dwFlags &= ~DWORD(DDPF_FOURCC);
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    desc = TextureDesc(8, 8, Format::R5G6B5);
    desc.ddpfPixelFormat.dwFourCC = FOURCC_DXT1;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(s, nullptr);

    // A mip chain without a count runs down to 1 x 1; compressed levels lock with
    // their linear size.
    desc = TextureDesc(256, 64, Format::DXT1, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
    ASSERT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DD_OK);
    const size_t expected[9] = {8192, 2048, 512, 128, 32, 16, 8, 8, 8};
    IDirectDrawSurface7* level = s;
    for (int i = 0; i < 9; ++i) {
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        ASSERT_EQ(level->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK) << "level " << i;
        EXPECT_TRUE(d.dwFlags & DDSD_LINEARSIZE);
        EXPECT_EQ(d.dwLinearSize, expected[i]) << "level " << i;
        EXPECT_EQ(d.dwWidth, std::max(1u, 256u >> i));
        EXPECT_EQ(level->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
        EXPECT_EQ(level->Unlock(nullptr), DD_OK);
        EXPECT_EQ(level->Unlock(nullptr), DDERR_NOTLOCKED);
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 0, 0, 0};
        IDirectDrawSurface7* next = nullptr;
        const HRESULT hr = level->GetAttachedSurface(&caps, &next);
        if (level != s) level->Release();
        if (i == 8) {
            EXPECT_EQ(hr, DDERR_NOTFOUND);
        } else {
            ASSERT_EQ(hr, DD_OK);
            level = next;
        }
    }
    EXPECT_EQ(s->Release(), 0u);

    // A description as a DDS file carries it: caps and format filled in but not
    // flagged, the mip count flagged.
    desc = TextureDesc(16, 16, Format::A4R4G4B4, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_MIPMAPCOUNT;
    desc.dwMipMapCount = 2;
    ASSERT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    s->GetSurfaceDesc(&d);
    EXPECT_EQ(platform::gl::FormatOf(d.ddpfPixelFormat), Format::A4R4G4B4);
    EXPECT_EQ(d.dwMipMapCount, 2u);
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(Resources, BltCopiesLevelsAndScales) {
    const DDPIXELFORMAT pf = PixelFormatOf(Format::A8R8G8B8);
    IDirectDrawSurface7* source = MakeTexture(2, 2, 0, &pf, {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC});
    DDSURFACEDESC2 desc = TextureDesc(4, 4, Format::R5G6B5, DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface7* scaled = nullptr;
    ASSERT_EQ(ddraw_->CreateSurface(&desc, &scaled, nullptr), DD_OK);
    owned_.push_back(scaled);
    ASSERT_EQ(scaled->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    ASSERT_EQ(scaled->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    const auto at = [&](int x, int y) {
        uint16_t w;
        std::memcpy(&w, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + 2 * x, 2);
        return w;
    };
    EXPECT_EQ(at(0, 0), platform::gl::Pack565(0xFF112233));
    EXPECT_EQ(at(1, 1), platform::gl::Pack565(0xFF112233));
    EXPECT_EQ(at(3, 0), platform::gl::Pack565(0xFF445566));
    EXPECT_EQ(at(2, 3), platform::gl::Pack565(0xFFAABBCC));
    scaled->Unlock(nullptr);

    // Same format and size: the bytes as they are, blocks included.
    const std::vector<uint8_t> block = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x55, 0xAA};
    IDirectDrawSurface7* compressed = MakeTextureRaw(4, 4, PixelFormatOf(Format::DXT1), block);
    desc = TextureDesc(4, 4, Format::DXT1);
    IDirectDrawSurface7* copy = nullptr;
    ASSERT_EQ(ddraw_->CreateSurface(&desc, &copy, nullptr), DD_OK);
    owned_.push_back(copy);
    ASSERT_EQ(copy->Blt(nullptr, compressed, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(copy->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    EXPECT_EQ(std::memcmp(d.lpSurface, block.data(), 8), 0);
    copy->Unlock(nullptr);
    RECT outside{0, 0, 5, 5};
    EXPECT_EQ(copy->Blt(&outside, compressed, nullptr, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(copy->Blt(nullptr, nullptr, nullptr, 0, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(Resources, VertexBuffersDrawFromTheirStartAndRejectOutOfRangeIndices) {
    UseTarget(16, 16, false);
    Unlit();
    D3DVERTEXBUFFERDESC desc{sizeof(D3DVERTEXBUFFERDESC), D3DVBCAPS_SYSTEMMEMORY, D3DFVF_TLVERTEX, 8};
    IDirect3DVertexBuffer7* vb = nullptr;
    ASSERT_EQ(d3d_->CreateVertexBuffer(&desc, &vb, 0), D3D_OK);
    owned_.push_back(vb);
    D3DVERTEXBUFFERDESC bad{sizeof(D3DVERTEXBUFFERDESC), 0, D3DFVF_DIFFUSE, 8};
    IDirect3DVertexBuffer7* none = nullptr;
    EXPECT_LT(d3d_->CreateVertexBuffer(&bad, &none, 0), 0);
    EXPECT_EQ(none, nullptr);

    void* data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(vb->Lock(DDLOCK_WRITEONLY, &data, &size), D3D_OK);
    EXPECT_EQ(size, 8u * 32u);
    auto* v = static_cast<TLVertex*>(data);
    const TLVertex left[4] = {{0, 0, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                              {8, 0, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                              {0, 16, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                              {8, 16, 0.5f, 1, 0xFFFF0000, 0, 0, 0}};
    std::memcpy(v, left, sizeof left);
    for (int i = 0; i < 4; ++i) {
        v[4 + i] = left[i];
        v[4 + i].x += 8;
        v[4 + i].diffuse = 0xFF00FF00;
    }
    EXPECT_EQ(device_->DrawPrimitiveVB(D3DPT_TRIANGLESTRIP, vb, 0, 4, 0), D3DERR_VERTEXBUFFERLOCKED);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    ASSERT_EQ(device_->DrawPrimitiveVB(D3DPT_TRIANGLESTRIP, vb, 0, 4, 0), D3D_OK);
    WORD indices[6] = {0, 1, 2, 2, 1, 3};  // relative to the start vertex
    ASSERT_EQ(device_->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 4, 4, indices, 6, 0), D3D_OK);
    EXPECT_EQ(Pixel(4, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(12, 8), 0xFF00FF00u);

    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    WORD past[6] = {0, 1, 2, 2, 1, 4};
    EXPECT_EQ(device_->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 4, 4, past, 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 5, 4, indices, 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->DrawPrimitiveVB(D3DPT_TRIANGLESTRIP, vb, 6, 4, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Pixel(12, 8), 0xFF000000u);

    // Changed contents reach the next draw.
    ASSERT_EQ(vb->Lock(0, &data, nullptr), D3D_OK);
    for (int i = 0; i < 4; ++i) static_cast<TLVertex*>(data)[i].diffuse = 0xFF0000FF;
    vb->Unlock();
    device_->DrawPrimitiveVB(D3DPT_TRIANGLESTRIP, vb, 0, 4, 0);
    EXPECT_EQ(Pixel(4, 8), 0xFF0000FFu);
}

TEST_F(Resources, ResourcesMadeOnASecondThreadWhileDrawing) {
    constexpr int kCount = 24;
    IDirectDrawSurface7* textures[kCount] = {};
    IDirect3DVertexBuffer7* buffers[kCount] = {};
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread loader([&] {
        for (int i = 0; i < kCount; ++i) {
            DDSURFACEDESC2 desc = TextureDesc(8, 8, Format::R5G6B5, DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
            if (ddraw_->CreateSurface(&desc, &textures[i], nullptr) != DD_OK) {
                ++failures;
                continue;
            }
            DDSURFACEDESC2 d{};
            d.dwSize = 124;
            if (textures[i]->Lock(nullptr, &d, DDLOCK_WRITEONLY, nullptr) != DD_OK) {
                ++failures;
                continue;
            }
            const uint16_t color = platform::gl::Pack565(Argb(255, 10 * i, 255 - 10 * i, 128));
            for (DWORD y = 0; y < 8; ++y)
                for (DWORD x = 0; x < 8; ++x)
                    std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + 2 * x, &color, 2);
            textures[i]->Unlock(nullptr);
            D3DVERTEXBUFFERDESC vdesc{sizeof(D3DVERTEXBUFFERDESC), D3DVBCAPS_SYSTEMMEMORY, D3DFVF_TLVERTEX, 4};
            if (d3d_->CreateVertexBuffer(&vdesc, &buffers[i], 0) != D3D_OK) {
                ++failures;
                continue;
            }
            void* data = nullptr;
            buffers[i]->Lock(DDLOCK_WRITEONLY, &data, nullptr);
            const TLVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                                      {16, 0, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0},
                                      {0, 16, 0.5f, 1, 0xFFFFFFFF, 0, 0, 1},
                                      {16, 16, 0.5f, 1, 0xFFFFFFFF, 0, 1, 1}};
            std::memcpy(data, quad, sizeof quad);
            buffers[i]->Unlock();
        }
        done = true;
    });
    // Meanwhile the main thread keeps drawing with resources of its own.
    IDirectDrawSurface7* target = UseTarget(16, 16, true);
    Unlit();
    int frames = 0;
    while (!done || frames < 3) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        Quad(0, 0, 16, 16, 0xFF808080);
        context_->UpdateFrame(D3DX_UPDATE_NOVSYNC);
        ++frames;
    }
    loader.join();
    ASSERT_EQ(failures, 0);
    // Each resource draws with the contents the loader wrote.
    for (int i = 0; i < kCount; ++i) {
        device_->SetTexture(0, textures[i]);
        ASSERT_EQ(device_->DrawPrimitiveVB(D3DPT_TRIANGLESTRIP, buffers[i], 0, 4, 0), D3D_OK);
        const uint32_t expected = platform::gl::Expand565(platform::gl::Pack565(Argb(255, 10 * i, 255 - 10 * i, 128)));
        EXPECT_TRUE(ColorNear(Pixel(8, 8), expected, 1)) << "resource " << i;
    }
    device_->SetTexture(0, nullptr);
    for (int i = 0; i < kCount; ++i) {
        textures[i]->Release();
        buffers[i]->Release();
    }
    // A render target drawn into can only be read back on the drawing thread.
    Quad(0, 0, 16, 16, 0xFF808080);
    HRESULT elsewhere = DD_OK;
    std::thread reader([&] {
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        elsewhere = target->Lock(nullptr, &d, DDLOCK_READONLY, nullptr);
        if (elsewhere == DD_OK) target->Unlock(nullptr);
    });
    reader.join();
    EXPECT_EQ(elsewhere, DDERR_SURFACEBUSY);
    EXPECT_EQ(Pixel(8, 8), 0xFF808080u);
}

// ---------------------------------------------------------------- utility-library textures

class TextureFiles : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        dir_ = std::filesystem::temp_directory_path() /
               ("velmoor_gl_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        GlTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(Path(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<uint8_t> ReadBytes(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A DDS file with the given pixel format, caps and level data.
    void WriteDds(const std::string& name, DWORD width, DWORD height, DDPIXELFORMAT pf, DWORD levels,
                  const std::vector<uint8_t>& data, DWORD caps2 = 0) const {
        DDSURFACEDESC2 desc{};
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | (levels > 1 ? DDSD_MIPMAPCOUNT : 0);
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.dwMipMapCount = levels;
        desc.ddpfPixelFormat = pf;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (levels > 1 ? DDSCAPS_MIPMAP | DDSCAPS_COMPLEX : 0);
        desc.ddsCaps.dwCaps2 = caps2;
        std::vector<uint8_t> bytes = {'D', 'D', 'S', ' '};
        uint8_t header[platform::kDdsHeaderBytes];
        platform::WriteDdsHeader(desc, header);
        bytes.insert(bytes.end(), header, header + sizeof header);
        bytes.insert(bytes.end(), data.begin(), data.end());
        WriteBytes(name, bytes);
    }
    HRESULT Load(const std::string& name, D3DX_SURFACEFORMAT format, DWORD flags, IDirectDrawSurface7** out,
                 DWORD* width = nullptr, DWORD* height = nullptr, DWORD* mips = nullptr,
                 D3DX_FILTERTYPE filter = D3DX_FT_LINEAR) {
        DWORD w = 0, h = 0, m = 0;
        const HRESULT hr = D3DXCreateTextureFromFile(device_, &flags, &w, &h, &format, nullptr, out, &m,
                                                     Path(name).c_str(), filter);
        if (*out) owned_.push_back(*out);
        if (width) *width = w;
        if (height) *height = h;
        if (mips) *mips = m;
        return hr;
    }
    static std::vector<uint32_t> Level(IDirectDrawSurface7* surface) {
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        std::vector<uint32_t> out;
        if (surface->Lock(nullptr, &d, DDLOCK_READONLY, nullptr) != DD_OK) return out;
        out.resize(size_t(d.dwWidth) * d.dwHeight);
        platform::gl::DecodeLevel(platform::gl::FormatOf(d.ddpfPixelFormat), static_cast<uint8_t*>(d.lpSurface),
                                  size_t(d.lPitch), int(d.dwWidth), int(d.dwHeight), out.data());
        surface->Unlock(nullptr);
        return out;
    }
    std::filesystem::path dir_;
};

TEST_F(TextureFiles, CreateTextureSizesByTheDeviceCaps) {
    // GL takes any size: the caps name no restriction and a real largest side.
    D3DDEVICEDESC7 caps{};
    ASSERT_EQ(device_->GetCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.dpcTriCaps.dwTextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY), 0u);
    EXPECT_GE(caps.dwMaxTextureWidth, 1024u);
    EXPECT_EQ(caps.wMaxSimultaneousTextures, kMaxTextureStages);
    EXPECT_EQ(device_->GetCaps(nullptr), DDERR_INVALIDPARAMS);
    const DWORD pow2 = D3DPTEXTURECAPS_POW2, square = D3DPTEXTURECAPS_SQUAREONLY;
    const struct {
        DWORD restrictions, width, height, wantWidth, wantHeight, mips;
    } cases[] = {
        {0, 100, 60, 100, 60, 7},  // 100 50 25 12 6 3 1
        {0, 493, 58, 493, 58, 9},
        {0, 1, 7, 1, 7, 3},
        {pow2, 100, 60, 128, 64, 8},
        {pow2 | D3DPTEXTURECAPS_ALPHA, 64, 64, 64, 64, 7},  // only the size bits are posed
        {square, 100, 60, 100, 100, 7},
        {pow2 | square, 100, 60, 128, 128, 8},
        {0, 1u << 20, 2, caps.dwMaxTextureWidth, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << ", restrictions " << c.restrictions);
        ASSERT_TRUE(platform::SetGlTextureRestrictions(device_, c.restrictions));
        D3DDEVICEDESC7 posed{};
        device_->GetCaps(&posed);
        EXPECT_EQ(posed.dpcTriCaps.dwTextureCaps & (pow2 | square), c.restrictions & (pow2 | square));
        DWORD flags = 0, width = c.width, height = c.height, mips = 0;
        D3DX_SURFACEFORMAT format = D3DX_SF_R5G6B5;
        IDirectDrawSurface7* t = nullptr;
        ASSERT_EQ(D3DXCreateTexture(device_, &flags, &width, &height, &format, nullptr, &t, &mips), D3D_OK);
        owned_.push_back(t);
        EXPECT_EQ(width, c.wantWidth);
        EXPECT_EQ(height, c.wantHeight);
        if (c.mips) {
            EXPECT_EQ(mips, c.mips);
        }
        DDSURFACEDESC2 desc{};
        desc.dwSize = 124;
        t->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.dwWidth, c.wantWidth);
        EXPECT_EQ(desc.dwHeight, c.wantHeight);
    }
    platform::SetGlTextureRestrictions(device_, 0);

    DWORD flags = D3DX_TEXTURE_NOMIPMAP, width = 100, height = 60, mips = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_R8G8B8;  // not listed: the nearest that is
    IDirectDrawSurface7* t = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, &flags, &width, &height, &format, nullptr, &t, &mips), D3D_OK);
    owned_.push_back(t);
    EXPECT_EQ(format, D3DX_SF_X8R8G8B8);
    EXPECT_EQ(mips, 1u);
    DDSCAPS2 chain{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
    IDirectDrawSurface7* next = nullptr;
    EXPECT_EQ(t->GetAttachedSurface(&chain, &next), DDERR_NOTFOUND);
    flags = 0;
    mips = 3;  // asks for fewer levels
    ASSERT_EQ(D3DXCreateTexture(device_, &flags, &width, &height, &format, nullptr, &t, &mips), D3D_OK);
    owned_.push_back(t);
    EXPECT_EQ(mips, 3u);
    EXPECT_EQ(D3DXCreateTexture(nullptr, &flags, &width, &height, &format, nullptr, &t, &mips), D3DXERR_NULLPOINTER);
}

TEST_F(TextureFiles, ImageFilesLoadConvertAndBuildMipLevels) {
    // 4 x 4 RGBA: left half opaque red, right half half-transparent blue.
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool left = x < 2;
            rgba.insert(rgba.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255), uint8_t(left ? 255 : 128)});
        }
    ASSERT_TRUE(stbi_write_png(Path("a.png").c_str(), 4, 4, 4, rgba.data(), 16));
    ASSERT_TRUE(stbi_write_tga(Path("a.tga").c_str(), 4, 4, 4, rgba.data()));
    ASSERT_TRUE(stbi_write_bmp(Path("a.bmp").c_str(), 4, 4, 4, rgba.data()));
    for (const char* name : {"a.png", "a.tga"}) {
        IDirectDrawSurface7* t = nullptr;
        DWORD w, h, mips;
        ASSERT_EQ(Load(name, D3DX_SF_UNKNOWN, 0, &t, &w, &h, &mips), D3D_OK) << name;
        EXPECT_EQ(w, 4u);
        EXPECT_EQ(mips, 3u);
        std::vector<uint32_t> top = Level(t);
        EXPECT_EQ(top[0], 0xFFFF0000u) << name;
        EXPECT_EQ(top[15], 0x800000FFu) << name;
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
        IDirectDrawSurface7* level1 = nullptr;
        ASSERT_EQ(t->GetAttachedSurface(&caps, &level1), DD_OK);
        const std::vector<uint32_t> half = Level(level1);
        EXPECT_EQ(half[0], 0xFFFF0000u);
        EXPECT_EQ(half[1], 0x800000FFu);
        IDirectDrawSurface7* level2 = nullptr;
        ASSERT_EQ(level1->GetAttachedSurface(&caps, &level2), DD_OK);
        EXPECT_TRUE(ColorNear(Level(level2)[0], Argb(192, 128, 0, 128), 1));  // the box average
        level2->Release();
        level1->Release();
    }
    // The engine's choice for image files: R5G6B5, alpha dropped; BMP has no alpha.
    IDirectDrawSurface7* t = nullptr;
    ASSERT_EQ(Load("a.bmp", D3DX_SF_R5G6B5, D3DX_TEXTURE_NOMIPMAP, &t), D3D_OK);
    EXPECT_EQ(Level(t)[3], 0xFF0000FFu);
    // Sizes that are not powers of two stay as they are, every texel kept; a
    // power-of-two device gets them stretched, corners kept.
    std::vector<uint8_t> rgb(3 * 3 * 3, 0);
    rgb[0] = 255;                  // top-left red
    rgb[3 * 3 * 3 - 1] = 255;      // bottom-right blue
    ASSERT_TRUE(stbi_write_png(Path("odd.png").c_str(), 3, 3, 3, rgb.data(), 9));
    for (DWORD restrictions : {DWORD(0), D3DPTEXTURECAPS_POW2}) {
        platform::SetGlTextureRestrictions(device_, restrictions);
        const DWORD side = restrictions ? 4 : 3;
        DWORD w, h, mips;
        ASSERT_EQ(Load("odd.png", D3DX_SF_X8R8G8B8, 0, &t, &w, &h, &mips), D3D_OK);
        EXPECT_EQ(w, side);
        EXPECT_EQ(h, side);
        EXPECT_EQ(mips, restrictions ? 3u : 2u);
        const std::vector<uint32_t> texels = Level(t);
        ASSERT_EQ(texels.size(), size_t(side * side));
        EXPECT_EQ(texels[0], 0xFFFF0000u);
        EXPECT_EQ(texels[side * side - 1], 0xFF0000FFu);
        if (!restrictions) {
            EXPECT_EQ(texels[4], 0xFF000000u);  // the black middle, not a blend
        }
    }
    platform::SetGlTextureRestrictions(device_, 0);
    // Names with '\' between directories.
    std::string backslashed = Path("a.png");
    backslashed.replace(backslashed.rfind('/'), 1, "\\");
    DWORD flags = 0, ww = 0, hh = 0, mm = 0;
    D3DX_SURFACEFORMAT f = D3DX_SF_UNKNOWN;
    IDirectDrawSurface7* viaBackslash = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFile(device_, &flags, &ww, &hh, &f, nullptr, &viaBackslash, &mm,
                                        backslashed.c_str(), D3DX_FT_LINEAR),
              D3D_OK);
    viaBackslash->Release();
}

TEST_F(TextureFiles, DdsFilesLoadDirectlyOrConverted) {
    // Two DXT1 levels of a 4 x 4 image (the second 2 x 2 still a whole block).
    const std::vector<uint8_t> blocks = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4,
                                         0xE0, 0x07, 0xE0, 0x07, 0x00, 0x00, 0x00, 0x00};
    WriteDds("a.dds", 4, 4, PixelFormatOf(Format::DXT1), 2, blocks);
    IDirectDrawSurface7* t = nullptr;
    DWORD mips = 0;
    ASSERT_EQ(Load("a.dds", D3DX_SF_DXT1, 0, &t, nullptr, nullptr, &mips), D3D_OK);
    EXPECT_EQ(mips, 3u);
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    ASSERT_EQ(t->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    EXPECT_EQ(std::memcmp(d.lpSurface, blocks.data(), 8), 0);
    t->Unlock(nullptr);
    // The engine asks for A4R4G4B4: decoded and converted.
    ASSERT_EQ(Load("a.dds", D3DX_SF_A4R4G4B4, D3DX_TEXTURE_NOMIPMAP, &t), D3D_OK);
    const std::vector<uint32_t> texels = Level(t);
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[1], 0xFF0000FFu);
    // Sides that are not multiples of 4: 6 x 5 is two by two blocks, each one
    // colour, copied as they are; the chain goes on to 3 x 2 and 1 x 1, and the
    // device samples every texel where the file put it.
    const std::vector<uint8_t> odd = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0, 0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0,
                                      0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    WriteDds("odd.dds", 6, 5, PixelFormatOf(Format::DXT1), 1, odd);
    DWORD w = 0, h = 0;
    ASSERT_EQ(Load("odd.dds", D3DX_SF_DXT1, 0, &t, &w, &h, &mips), D3D_OK);
    EXPECT_EQ(w, 6u);
    EXPECT_EQ(h, 5u);
    EXPECT_EQ(mips, 3u);
    ASSERT_EQ(t->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    EXPECT_EQ(d.dwLinearSize, odd.size());
    EXPECT_EQ(std::memcmp(d.lpSurface, odd.data(), odd.size()), 0);
    t->Unlock(nullptr);
    DDSCAPS2 chain{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
    IDirectDrawSurface7* level1 = nullptr;
    ASSERT_EQ(t->GetAttachedSurface(&chain, &level1), DD_OK);
    const std::vector<uint32_t> half = Level(level1);
    level1->Release();
    ASSERT_EQ(half.size(), 6u);
    EXPECT_TRUE(ColorNear(half[0], 0xFFFF0000, 8));
    EXPECT_TRUE(ColorNear(half[5], 0xFF00FF00, 8));
    UseTarget(24, 20, false);
    Unlit();
    device_->SetTexture(0, t);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Quad(0, 0, 24, 20, 0xFFFFFFFF);  // each texel four pixels wide and tall
    EXPECT_EQ(Pixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(Pixel(14, 14), 0xFFFF0000u);
    EXPECT_EQ(Pixel(18, 2), 0xFF00FF00u);
    EXPECT_EQ(Pixel(22, 14), 0xFF00FF00u);
    EXPECT_EQ(Pixel(2, 18), 0xFF0000FFu);
    EXPECT_EQ(Pixel(22, 18), 0xFFFFFFFFu);
    device_->SetTexture(0, nullptr);

    // 24-bit RGB, a layout the device does not list.
    DDPIXELFORMAT rgb24{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
    WriteDds("rgb.dds", 2, 1, rgb24, 1, {0x33, 0x22, 0x11, 0xCC, 0xBB, 0xAA});
    ASSERT_EQ(Load("rgb.dds", D3DX_SF_X8R8G8B8, D3DX_TEXTURE_NOMIPMAP, &t), D3D_OK);
    EXPECT_EQ(Level(t)[0], 0xFF112233u);
    EXPECT_EQ(Level(t)[1], 0xFFAABBCCu);
}

TEST_F(TextureFiles, BrokenFilesFailWithoutASurface) {
    IDirectDrawSurface7* t = nullptr;
    EXPECT_EQ(Load("missing.png", D3DX_SF_R5G6B5, 0, &t), D3DXERR_INVALIDPARAMETER);
    WriteBytes("empty.png", {});
    EXPECT_EQ(Load("empty.png", D3DX_SF_R5G6B5, 0, &t), D3DXERR_UNSUPPORTEDFILEFORMAT);
    WriteBytes("noise.bin", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(Load("noise.bin", D3DX_SF_R5G6B5, 0, &t), D3DXERR_UNSUPPORTEDFILEFORMAT);
    // A PNG cut short after its header.
    std::vector<uint8_t> pixels(64 * 64 * 3, 0x5A);
    ASSERT_TRUE(stbi_write_png(Path("whole.png").c_str(), 64, 64, 3, pixels.data(), 64 * 3));
    std::vector<uint8_t> png = ReadBytes("whole.png");
    png.resize(png.size() / 2);
    WriteBytes("cut.png", png);
    EXPECT_EQ(Load("cut.png", D3DX_SF_R5G6B5, 0, &t), D3DXERR_INVALIDFILEFORMAT);
    // DDS: cube maps are refused, a top level cut short is broken.
    WriteDds("cube.dds", 4, 4, PixelFormatOf(Format::DXT1), 1, std::vector<uint8_t>(48, 0), 0x200 | 0xFC00);
    EXPECT_EQ(Load("cube.dds", D3DX_SF_DXT1, 0, &t), D3DXERR_UNSUPPORTEDFILEFORMAT);
    WriteDds("short.dds", 8, 8, PixelFormatOf(Format::DXT1), 1, std::vector<uint8_t>(20, 0));
    EXPECT_EQ(Load("short.dds", D3DX_SF_DXT1, 0, &t), D3DXERR_INVALIDFILEFORMAT);
    DDPIXELFORMAT dx10{sizeof(DDPIXELFORMAT), DDPF_FOURCC, MakeFourCC('D', 'X', '1', '0'), 0, 0, 0, 0, 0};
    WriteDds("dx10.dds", 4, 4, dx10, 1, std::vector<uint8_t>(64, 0));
    EXPECT_EQ(Load("dx10.dds", D3DX_SF_DXT1, 0, &t), D3DXERR_UNSUPPORTEDFILEFORMAT);
    EXPECT_EQ(t, nullptr);
}

}  // namespace
}  // namespace gltest

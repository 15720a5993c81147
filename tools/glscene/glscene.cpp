// glscene: a small test scene drawn through the device API alone.
//
//   glscene [--capture FILE.png] [--screenshot FILE.png] [--frames N] [--window WxH] [--software] [-v]
//
// --capture renders headless (no window) and writes the back buffer, read with
// Lock, as a PNG. Without it the scene opens a window (640 x 480 unless --window
// says otherwise; the back buffer stays 640 x 480 and is scaled into it);
// --screenshot writes what the window shows after the last presented frame
// (--frames, 1 by default then); without either the window stays until closed
// or Escape.
//
// The scene: a checkered ground under a directional light with linear vertex
// fog into a sky of the fog colour, a textured and specular-lit box with an
// environment stage, and a half-transparent pre-transformed strip on top. It
// does not animate, so every frame, windowed or headless, is the same image.
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl_stats.h"
#include "platform/report.h"
#include "platform/window.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr D3DCOLOR kSky = 0xFF6080A0;  // also the fog colour

bool g_verbose = false;

const char* Sink(int level, int32_t, const char* format, va_list* args) {
    static thread_local char text[2048];
    std::vsnprintf(text, sizeof text, format, *args);
    if (level == 1 || g_verbose) std::fprintf(stderr, "%s\n", text);
    return text;
}

struct Vec3 {
    float x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalize(Vec3 a) {
    const float l = std::sqrt(Dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

D3DMATRIX LookAt(Vec3 eye, Vec3 at, Vec3 up) {
    const Vec3 z = Normalize(Sub(at, eye)), x = Normalize(Cross(up, z)), y = Cross(z, x);
    D3DMATRIX m = Identity();
    m._11 = x.x, m._21 = x.y, m._31 = x.z, m._41 = -Dot(x, eye);
    m._12 = y.x, m._22 = y.y, m._32 = y.z, m._42 = -Dot(y, eye);
    m._13 = z.x, m._23 = z.y, m._33 = z.z, m._43 = -Dot(z, eye);
    return m;
}

D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf) {
    const float h = 1.0f / std::tan(fovY / 2);
    D3DMATRIX m{};
    m._11 = h / aspect;
    m._22 = h;
    m._33 = zf / (zf - zn);
    m._34 = 1;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

D3DMATRIX RotationY(float a) {
    D3DMATRIX m = Identity();
    m._11 = std::cos(a), m._13 = -std::sin(a), m._31 = std::sin(a), m._33 = std::cos(a);
    return m;
}

struct Vertex {  // D3DFVF_VERTEX
    float x, y, z, nx, ny, nz, u, v;
};
struct ScreenVertex {  // D3DFVF_TLVERTEX
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};

// A texture filled by a function of the texel, every level of its chain.
IDirectDrawSurface7* MakeTexture(IDirect3DDevice7* device, DWORD size, D3DCOLOR (*texel)(DWORD x, DWORD y, DWORD size)) {
    DWORD flags = 0, width = size, height = size, mips = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_X8R8G8B8;
    IDirectDrawSurface7* texture = nullptr;
    if (FAILED(D3DXCreateTexture(device, &flags, &width, &height, &format, nullptr, &texture, &mips))) return nullptr;
    IDirectDrawSurface7* level = texture;
    level->AddRef();
    while (level) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (level->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) == DD_OK) {
            for (DWORD y = 0; y < desc.dwHeight; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * size_t(desc.lPitch));
                for (DWORD x = 0; x < desc.dwWidth; ++x)
                    row[x] = texel(x * (size / desc.dwWidth), y * (size / desc.dwHeight), size);
            }
            level->Unlock(nullptr);
        }
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 0, 0, 0};
        IDirectDrawSurface7* next = nullptr;
        level->GetAttachedSurface(&caps, &next);
        level->Release();
        level = next;
    }
    return texture;
}

D3DCOLOR Checker(DWORD x, DWORD y, DWORD size) {
    return ((x / (size / 8)) + (y / (size / 8))) % 2 ? 0xFF2E6B2E : 0xFF9CC470;
}
D3DCOLOR Bricks(DWORD x, DWORD y, DWORD size) {
    const DWORD row = y / (size / 8), offset = row % 2 ? size / 8 : 0;
    const bool mortar = y % (size / 8) == 0 || (x + offset) % (size / 4) == 0;
    return mortar ? 0xFFD8D0C0 : 0xFFB04030;
}
D3DCOLOR Glow(DWORD x, DWORD y, DWORD size) {
    const float dx = (float(x) + 0.5f) / float(size) - 0.5f, dy = (float(y) + 0.5f) / float(size) - 0.5f;
    const float g = std::fmax(0.0f, 1.0f - 2.5f * std::sqrt(dx * dx + dy * dy));
    const auto c = DWORD(g * g * 96);
    return 0xFF000000 | c << 16 | c << 8 | c;
}

class Scene {
public:
    bool Create(IDirect3DDevice7* device) {
        device_ = device;
        ground_ = MakeTexture(device, 64, Checker);
        bricks_ = MakeTexture(device, 64, Bricks);
        glow_ = MakeTexture(device, 32, Glow);
        if (!ground_ || !bricks_ || !glow_) return false;
        // The ground: a 20 x 20 grid (vertex fog and lighting are per vertex).
        constexpr int n = 20;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                const float x = -50 + 100.0f * i / n, z = -10 + 100.0f * j / n;
                groundVertices_.push_back({x, 0, z, 0, 1, 0, x / 4, z / 4});
            }
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const WORD a = WORD(j * (n + 1) + i), b = WORD(a + 1), c = WORD(a + n + 1), d = WORD(c + 1);
                groundIndices_.insert(groundIndices_.end(), {a, c, b, b, c, d});
            }
        // The box: six faces of four vertices.
        const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
        for (const Vec3& nrm : normals) {
            const Vec3 up = std::fabs(nrm.y) > 0.5f ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
            const Vec3 right = Cross(nrm, up);  // clockwise seen from outside
            const WORD base = WORD(boxVertices_.size());
            for (int k = 0; k < 4; ++k) {
                const float su = k & 1 ? 1.0f : -1.0f, sv = k & 2 ? -1.0f : 1.0f;
                boxVertices_.push_back({nrm.x + su * right.x + sv * up.x, nrm.y + su * right.y + sv * up.y,
                                        nrm.z + su * right.z + sv * up.z, nrm.x, nrm.y, nrm.z, k & 1 ? 1.0f : 0.0f,
                                        k & 2 ? 1.0f : 0.0f});
            }
            boxIndices_.insert(boxIndices_.end(), {base, WORD(base + 1), WORD(base + 2), WORD(base + 2),
                                                   WORD(base + 1), WORD(base + 3)});
        }
        return true;
    }

    ~Scene() {
        for (IDirectDrawSurface7* t : {ground_, bricks_, glow_})
            if (t) t->Release();
    }

    void Draw() {
        IDirect3DDevice7* d = device_;
        D3DMATRIX view = LookAt({0, 4, -9}, {0, 1.2f, 6}, {0, 1, 0});
        D3DMATRIX projection = Perspective(0.9f, float(kWidth) / kHeight, 0.5f, 200);
        d->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        d->BeginScene();
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSky, 1.0f, 0);

        d->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFF303030);
        d->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        d->SetRenderState(D3DRENDERSTATE_FOGCOLOR, kSky);
        d->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(12.0f));
        d->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(55.0f));
        D3DLIGHT7 sun{};
        sun.dltType = D3DLIGHT_DIRECTIONAL;
        sun.dcvDiffuse = {0.9f, 0.85f, 0.75f, 1};
        sun.dcvSpecular = {1, 1, 1, 1};
        sun.dvDirection = {-0.4f, -1.0f, 0.6f};
        D3DLIGHT7 lamp{};
        lamp.dltType = D3DLIGHT_POINT;
        lamp.dcvDiffuse = {0.6f, 0.5f, 0.2f, 1};
        lamp.dcvSpecular = {0.8f, 0.8f, 0.6f, 1};
        lamp.dvPosition = {-3, 3, -1};
        lamp.dvRange = 20;
        lamp.dvAttenuation0 = 0.5f;
        lamp.dvAttenuation1 = 0.1f;
        d->SetLight(0, &sun);
        d->SetLight(1, &lamp);
        d->LightEnable(0, TRUE);
        d->LightEnable(1, TRUE);

        // Ground: texture x lit colour, tiled and mip-mapped.
        D3DMATERIAL7 matte{};
        matte.dcvDiffuse = matte.dcvAmbient = {1, 1, 1, 1};
        d->SetMaterial(&matte);
        d->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        d->SetTexture(0, ground_);
        SetFilters(0);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        D3DMATRIX world = Identity();
        d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, groundVertices_.data(), DWORD(groundVertices_.size()),
                                groundIndices_.data(), DWORD(groundIndices_.size()), D3DDP_WAIT);

        // Box: bricks, specular highlights, a glow added from the camera-space normal.
        D3DMATERIAL7 shiny = matte;
        shiny.dcvSpecular = {0.7f, 0.7f, 0.7f, 1};
        shiny.dvPower = 12;
        d->SetMaterial(&shiny);
        d->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
        d->SetTexture(0, bricks_);
        d->SetTexture(1, glow_);
        SetFilters(1);
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
        d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
        d->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        d->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        D3DMATRIX env = Identity();
        env._11 = env._22 = 0.5f;
        env._41 = env._42 = 0.5f;
        d->SetTransform(D3DTRANSFORMSTATETYPE(D3DTRANSFORMSTATE_TEXTURE0 + 1), &env);
        world = RotationY(0.5f);
        world._41 = 0.5f, world._42 = 1.0f, world._43 = 2.0f;
        d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, boxVertices_.data(), DWORD(boxVertices_.size()),
                                boxIndices_.data(), DWORD(boxIndices_.size()), D3DDP_WAIT);
        d->SetTexture(1, nullptr);
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        d->EndScene();

        // A half-transparent strip over everything, as overlays are drawn.
        d->BeginScene();
        d->SetTexture(0, nullptr);
        d->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
        d->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
        d->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        const D3DCOLOR strip = 0x80FFFFFF;
        ScreenVertex quad[4] = {{20, 20, 0, 1, strip, 0, 0, 0},
                                {220, 20, 0, 1, strip, 0, 1, 0},
                                {20, 52, 0, 1, strip, 0, 0, 1},
                                {220, 52, 0, 1, strip, 0, 1, 1}};
        d->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, D3DDP_WAIT);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        d->EndScene();
    }

private:
    void SetFilters(DWORD stage) {
        device_->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        device_->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        device_->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
    }

    IDirect3DDevice7* device_ = nullptr;
    IDirectDrawSurface7* ground_ = nullptr;
    IDirectDrawSurface7* bricks_ = nullptr;
    IDirectDrawSurface7* glow_ = nullptr;
    std::vector<Vertex> groundVertices_, boxVertices_;
    std::vector<WORD> groundIndices_, boxIndices_;
};

bool WritePng(const std::string& path, const std::vector<uint32_t>& argb, int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < argb.size(); ++i) {
        rgb[3 * i] = uint8_t(argb[i] >> 16);
        rgb[3 * i + 1] = uint8_t(argb[i] >> 8);
        rgb[3 * i + 2] = uint8_t(argb[i]);
    }
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

// The back buffer as the platform reads it back: Lock, X8R8G8B8, top row first.
bool ReadBackBuffer(ID3DXContext* context, std::vector<uint32_t>* argb) {
    IDirectDrawSurface7* back = context->GetBackBuffer(0);
    if (!back) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const bool locked = back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK;
    if (locked) {
        argb->resize(size_t(desc.dwWidth) * desc.dwHeight);
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            std::memcpy(&(*argb)[y * size_t(desc.dwWidth)],
                        static_cast<uint8_t*>(desc.lpSurface) + y * size_t(desc.lPitch), desc.dwWidth * 4);
        back->Unlock(nullptr);
    }
    back->Release();
    return locked;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: glscene [--capture FILE.png] [--screenshot FILE.png] [--frames N] [--window WxH] "
                 "[--software] [-v]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string capture, screenshot;
    int frames = 0, windowWidth = kWidth, windowHeight = kHeight;
    bool software = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--capture" && i + 1 < argc)
            capture = argv[++i];
        else if (arg == "--screenshot" && i + 1 < argc)
            screenshot = argv[++i];
        else if (arg == "--frames" && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (arg == "--window" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &windowWidth, &windowHeight) != 2 || windowWidth <= 0 ||
                windowHeight <= 0)
                return Usage();
        } else if (arg == "--software")
            software = true;
        else if (arg == "-v")
            g_verbose = true;
        else
            return Usage();
    }
    LogSetCallback(Sink, kReportError, kReportWarning, kReportPlain);
    const bool headless = !capture.empty();
    if (frames <= 0) frames = headless || !screenshot.empty() ? 1 : -1;

    std::unique_ptr<platform::Window> window;
    if (!headless) {
        std::string error;
        window = platform::Window::Create({"glscene", windowWidth, windowHeight, false}, &error);
        if (!window) {
            std::fprintf(stderr, "glscene: no window (%s); use --capture to render without one\n", error.c_str());
            return 1;
        }
    }
    D3DXInitialize();
    ID3DXContext* context = nullptr;
    const HRESULT hr = D3DXCreateContext(software ? D3DX_HWLEVEL_2D : D3DX_HWLEVEL_RASTER, 0, window.get(), kWidth,
                                         kHeight, &context);
    if (FAILED(hr)) {
        std::fprintf(stderr, "glscene: no device (%s)\n", D3DXResultText(hr) ? D3DXResultText(hr) : "unknown error");
        return 1;
    }
    IDirect3DDevice7* device = context->GetD3DDevice();
    int status = 0;
    {
        Scene scene;
        if (!scene.Create(device)) {
            std::fprintf(stderr, "glscene: cannot create the scene's textures\n");
            status = 1;
        }
        bool running = status == 0;
        for (int frame = 0; running && (frames < 0 || frame < frames); ++frame) {
            platform::Event event;
            while (window && window->PollEvent(&event)) {
                if (event.kind == platform::EventKind::CloseWindow || event.kind == platform::EventKind::Quit ||
                    (event.kind == platform::EventKind::KeyDown && event.key == platform::VK_ESCAPE))
                    running = false;
            }
            scene.Draw();
            if (frame + 1 == frames && headless) {
                std::vector<uint32_t> pixels;
                if (!ReadBackBuffer(context, &pixels) || !WritePng(capture, pixels, kWidth, kHeight)) {
                    std::fprintf(stderr, "glscene: cannot write %s\n", capture.c_str());
                    status = 1;
                }
            }
            context->UpdateFrame(0);
        }
        if (status == 0 && !screenshot.empty()) {
            std::vector<uint32_t> pixels;
            int width = 0, height = 0;
            if (!platform::ReadPresentedFrame(context, &pixels, &width, &height) ||
                !WritePng(screenshot, pixels, width, height)) {
                std::fprintf(stderr, "glscene: cannot read the window into %s\n", screenshot.c_str());
                status = 1;
            }
        }
        platform::GlStats stats;
        if (g_verbose && platform::GetGlStats(device, &stats))
            std::fprintf(stderr, "glscene: %llu draws, %llu state changes, %llu programs\n",
                         static_cast<unsigned long long>(stats.drawCalls),
                         static_cast<unsigned long long>(stats.stateChanges),
                         static_cast<unsigned long long>(stats.shaderCacheMisses));
    }
    device->Release();
    context->Release();
    D3DXUninitialize();
    window.reset();
    return status;
}

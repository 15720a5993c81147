// Frame costs of the GL device through the device API, headless on the software
// rasteriser (D3DX_HWLEVEL_2D) at 640 x 480. One iteration is one frame: clear,
// draws, UpdateFrame (which finishes the frame, so the time includes the
// rasterisation). Times are wall-clock: llvmpipe rasterises on worker threads.
//
//   BM_Fill/N         N full-screen textured, alpha-blended quads per frame
//   BM_DrawCalls      2000 small textured indexed draws from a vertex buffer,
//                     a new world matrix each, texture and blend state switched
//                     every 10 draws
//   BM_WarmPipelines  the two frames above in turn; counts the shader programs
//                     compiled after the first frames (must stay 0)
//
// Counters per frame: draws, GL state calls, shader-constant groups sent.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl_stats.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kDraws = 2000;

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};
struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};

class Bench {
public:
    static Bench& Get() {
        static Bench bench;
        return bench;
    }
    bool Ready() const { return device_ != nullptr; }

    void FillFrame(int quads) {
        IDirect3DDevice7* d = device_;
        d->BeginScene();
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        d->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
        d->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetTexture(0, textures_[0]);
        Linear();
        for (int i = 0; i < quads; ++i) {
            const D3DCOLOR c = 0x80FFFFFF;
            const float s = float(i) / 64;  // each quad a little shifted, as blur copies are
            ScreenVertex q[4] = {{0, 0, 0, 1, c, 0, s, s},
                                 {kWidth, 0, 0, 1, c, 0, 1 - s, s},
                                 {0, kHeight, 0, 1, c, 0, s, 1 - s},
                                 {kWidth, kHeight, 0, 1, c, 0, 1 - s, 1 - s}};
            d->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, q, 4, D3DDP_WAIT);
        }
        d->EndScene();
        context_->UpdateFrame(D3DX_UPDATE_NOVSYNC);
    }

    void DrawCallFrame() {
        IDirect3DDevice7* d = device_;
        d->BeginScene();
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        d->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
        d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        d->SetTransform(D3DTRANSFORMSTATE_VIEW, &view_);
        d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection_);
        Linear();
        for (int i = 0; i < kDraws; ++i) {
            if (i % 10 == 0) {
                d->SetTexture(0, textures_[(i / 10) % 2]);
                d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, (i / 10) % 2);
            }
            D3DMATRIX world{};
            world._11 = world._22 = world._33 = world._44 = 1;
            world._41 = float(i % 50) - 25;
            world._42 = float(i / 50) * 0.5f - 10;
            d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
            d->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, quads_, 0, 4, indices_, 6, D3DDP_WAIT);
        }
        d->EndScene();
        context_->UpdateFrame(D3DX_UPDATE_NOVSYNC);
    }

    IDirect3DDevice7* Device() { return device_; }

private:
    Bench() {
        if (FAILED(D3DXCreateContext(D3DX_HWLEVEL_2D, 0, nullptr, kWidth, kHeight, &context_))) return;
        IDirect3DDevice7* device = context_->GetD3DDevice();
        for (int t = 0; t < 2; ++t) textures_[t] = Texture(t);
        IDirect3D7* d3d = context_->GetD3D();
        D3DVERTEXBUFFERDESC desc{sizeof desc, D3DVBCAPS_SYSTEMMEMORY, D3DFVF_VERTEX, 4};
        d3d->CreateVertexBuffer(&desc, &quads_, 0);
        d3d->Release();
        void* data = nullptr;
        quads_->Lock(DDLOCK_WRITEONLY, &data, nullptr);
        const Vertex quad[4] = {{-0.4f, 0.4f, 0, 0, 0, -1, 0, 0},
                                {0.4f, 0.4f, 0, 0, 0, -1, 1, 0},
                                {-0.4f, -0.4f, 0, 0, 0, -1, 0, 1},
                                {0.4f, -0.4f, 0, 0, 0, -1, 1, 1}};
        std::memcpy(data, quad, sizeof quad);
        quads_->Unlock();
        view_ = {};
        view_._11 = view_._22 = view_._33 = view_._44 = 1;
        view_._43 = 30;
        const float h = 1.0f / std::tan(0.5f), zn = 1, zf = 100;
        projection_ = {};
        projection_._11 = h * kHeight / kWidth;
        projection_._22 = h;
        projection_._33 = zf / (zf - zn);
        projection_._34 = 1;
        projection_._43 = -zn * zf / (zf - zn);
        D3DLIGHT7 light{};
        light.dltType = D3DLIGHT_DIRECTIONAL;
        light.dcvDiffuse = {1, 1, 1, 1};
        light.dvDirection = {0, 0, 1};
        device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        D3DMATERIAL7 material{};
        material.dcvDiffuse = {1, 1, 1, 1};
        device->SetMaterial(&material);
        device_ = device;
    }

    IDirectDrawSurface7* Texture(int seed) {
        DWORD flags = 0, width = 256, height = 256, mips = 0;
        D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
        IDirectDrawSurface7* texture = nullptr;
        if (FAILED(D3DXCreateTexture(device_ ? device_ : context_->GetD3DDevice(), &flags, &width, &height, &format,
                                     nullptr, &texture, &mips)))
            return nullptr;
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        texture->Lock(nullptr, &d, DDLOCK_WRITEONLY, nullptr);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(d.lpSurface) + y * size_t(d.lPitch))[x] =
                    0x80000000u | ((x ^ y ^ DWORD(seed * 0x55)) & 0xFF) * 0x010101u;
        texture->Unlock(nullptr);
        return texture;
    }

    void Linear() {
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    }

    ID3DXContext* context_ = nullptr;
    IDirect3DDevice7* device_ = nullptr;
    IDirectDrawSurface7* textures_[2] = {};
    IDirect3DVertexBuffer7* quads_ = nullptr;
    WORD indices_[6] = {0, 1, 2, 2, 1, 3};
    D3DMATRIX view_, projection_;
};

void Count(benchmark::State& state, const platform::GlStats& before, const platform::GlStats& after) {
    const double frames = double(after.frames - before.frames);
    if (frames <= 0) return;
    state.counters["draws/frame"] = double(after.drawCalls - before.drawCalls) / frames;
    state.counters["gl_state_calls/frame"] = double(after.stateChanges - before.stateChanges) / frames;
    state.counters["constant_groups/frame"] = double(after.uniformUploads - before.uniformUploads) / frames;
    state.counters["shader_cache_misses"] = double(after.shaderCacheMisses - before.shaderCacheMisses);
}

void BM_Fill(benchmark::State& state) {
    Bench& b = Bench::Get();
    if (!b.Ready()) return state.SkipWithError("no GL context");
    const int quads = int(state.range(0));
    b.FillFrame(quads);  // warm-up: programs and textures
    platform::GlStats before{}, after{};
    platform::GetGlStats(b.Device(), &before);
    for (auto _ : state) b.FillFrame(quads);
    platform::GetGlStats(b.Device(), &after);
    Count(state, before, after);
    state.counters["Mpixels/s"] =
        benchmark::Counter(double(kWidth) * kHeight * quads / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Fill)->Arg(1)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawCalls(benchmark::State& state) {
    Bench& b = Bench::Get();
    if (!b.Ready()) return state.SkipWithError("no GL context");
    b.DrawCallFrame();
    platform::GlStats before{}, after{};
    platform::GetGlStats(b.Device(), &before);
    for (auto _ : state) b.DrawCallFrame();
    platform::GetGlStats(b.Device(), &after);
    Count(state, before, after);
}
BENCHMARK(BM_DrawCalls)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WarmPipelines(benchmark::State& state) {
    Bench& b = Bench::Get();
    if (!b.Ready()) return state.SkipWithError("no GL context");
    b.FillFrame(1);
    b.DrawCallFrame();
    platform::GlStats before{}, after{};
    platform::GetGlStats(b.Device(), &before);
    for (auto _ : state) {
        b.FillFrame(1);
        b.DrawCallFrame();
    }
    platform::GetGlStats(b.Device(), &after);
    Count(state, before, after);
    if (after.shaderCacheMisses != before.shaderCacheMisses)
        state.SkipWithError("shader programs were compiled after warm-up");
}
BENCHMARK(BM_WarmPipelines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

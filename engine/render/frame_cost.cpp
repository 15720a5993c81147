// Frame counters, the fill-rate floor and the cost table (see frame_cost.h).
#include "engine/render/frame_cost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/render/context.h"
#include "platform/ref_ptr.h"

namespace ZK3D {

FrameCounters& FrameCounters::operator+=(const FrameCounters& o) {
    frames += o.frames;
    drawCalls += o.drawCalls;
    triangles += o.triangles;
    fragments += o.fragments;
    textureBinds += o.textureBinds;
    programSwitches += o.programSwitches;
    return *this;
}

// ---------------------------------------------------------------- meter

FrameCostMeter::FrameCostMeter(Context& context) : context_(context) {
    counter_ = platform::CountGlFragments(context_.device(), true);
    platform::GetGlStats(context_.device(), &last_);
}

FrameCostMeter::~FrameCostMeter() { platform::CountGlFragments(context_.device(), false); }

FrameCounters FrameCostMeter::Take() {
    platform::GlStats now;
    if (!platform::GetGlStats(context_.device(), &now)) return {1, 0, 0, 0, 0, 0};
    const platform::GlStats& was = last_;
    const FrameCounters frame = {1,
                                 now.drawCalls - was.drawCalls,
                                 now.triangles - was.triangles,
                                 now.fragments - was.fragments,
                                 now.textureBinds - was.textureBinds,
                                 now.programSwitches - was.programSwitches};
    last_ = now;
    return frame;
}

// ---------------------------------------------------------------- floor

namespace {

struct FloorVertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr DWORD kFloorFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

// Stage-0 states the floor pass sets, saved and put back around it.
constexpr D3DTEXTURESTAGESTATETYPE kStageStates[] = {
    D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP,  D3DTSS_ALPHAARG1,
    D3DTSS_ALPHAARG2, D3DTSS_MAGFILTER, D3DTSS_MINFILTER, D3DTSS_MIPFILTER, D3DTSS_TEXCOORDINDEX};

}  // namespace

double MeasureFillFloor(Context& context, int frames) {
    IDirect3DDevice7* device = context.device();
    platform::GlStats probe;
    if (!device || frames <= 0 || !platform::GetGlStats(device, &probe)) return 0;

    DWORD flags = D3DX_TEXTURE_NOMIPMAP, side = 256;
    platform::RefPtr<IDirectDrawSurface7> texture;
    if (FAILED(D3DXCreateTexture(device, &flags, &side, &side, nullptr, nullptr, texture.put(), nullptr))) return 0;

    DWORD saved[std::size(kStageStates)];
    for (size_t i = 0; i < std::size(kStageStates); ++i) device->GetTextureStageState(0, kStageStates[i], &saved[i]);
    DWORD fog = FALSE;
    device->GetRenderState(D3DRENDERSTATE_FOGENABLE, &fog);

    context.PushFlags();
    RenderFlags f = kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithCull(f, flags::kCullNone);
    context.SetFlags(flags::WithBlend(f, flags::kBlendOpaque));
    context.ReapplyFlags();
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
    device->SetTexture(0, texture.get());
    context.SetColorStage(0, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1);
    context.SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1);
    context.SetStageFilters(0, D3DTFG_POINT, D3DTFN_POINT, D3DTFP_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);

    const float w = float(context.width()), h = float(context.height());
    FloorVertex quad[4] = {{0, 0, 0.5f, 1, 0, 0}, {w, 0, 0.5f, 1, 1, 0}, {0, h, 0.5f, 1, 0, 1}, {w, h, 0.5f, 1, 1, 1}};
    std::vector<double> times;
    using Clock = std::chrono::steady_clock;
    // Two frames first, so that shader compilation and the texture upload are not timed.
    for (int i = -2; i < frames; ++i) {
        const auto begin = Clock::now();
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFloorFvf, quad, 4, D3DDP_WAIT);
        device->EndScene();
        context.Present();
        if (i >= 0) times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
    }

    device->SetTexture(0, nullptr);
    for (size_t i = 0; i < std::size(kStageStates); ++i) device->SetTextureStageState(0, kStageStates[i], saved[i]);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, fog);
    context.PopFlags();
    context.ReapplyFlags();
    return Median(std::move(times));
}

// ---------------------------------------------------------------- table

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Percentile95(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * 0.95))];
}

std::string FrameCostHeader() {
    return "part        frames   median ms   p95 ms  x floor   draws  triangles  fragments  overdraw  binds  "
           "programs\n";
}

std::string FrameCostRow(const char* name, std::vector<double> ms, const FrameCounters& sum, double floorMs,
                         int width, int height) {
    const double n = sum.frames ? double(sum.frames) : 1.0;
    const double median = Median(ms);
    const double screen = double(width) * double(height);
    char line[256];
    std::snprintf(line, sizeof line, "%-10s %7zu %11.2f %8.2f %8.2f %7.1f %10.0f %10.0f %9.2f %6.1f %9.1f\n", name,
                  ms.size(), median, Percentile95(ms), floorMs > 0 ? median / floorMs : 0.0, double(sum.drawCalls) / n,
                  double(sum.triangles) / n, double(sum.fragments) / n,
                  screen > 0 ? double(sum.fragments) / n / screen : 0.0, double(sum.textureBinds) / n,
                  double(sum.programSwitches) / n);
    return line;
}

std::string FrameCostFloorLine(double floorMs, platform::FragmentCounter counter) {
    const char* how = counter == platform::FragmentCounter::kShaderInvocations ? "fragment-shader invocations"
                      : counter == platform::FragmentCounter::kSamplesPassed   ? "samples passed"
                                                                               : "not counted";
    char line[160];
    std::snprintf(line, sizeof line, "fill-rate floor %.2f ms (one textured pass over the screen); fragments: %s\n",
                  floorMs, how);
    return line;
}

}  // namespace ZK3D

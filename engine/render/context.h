// The render context: the one object through which the engine talks to the
// device. It owns the utility-library context (and through it the device and its
// buffers), the render-state word cache and its stack, the transform cache, the
// current render target, the light slots and the matrix stack of the draw pass.
//
// Render states are sent only when their field of the RenderFlags word changes:
// drawing objects set their word on top of the flag stack and reapply it, so
// repeated draws with the same word cost no device call.
//
// Not here: the window (platform/window.h), display-mode choice (mode_selection.h)
// and anything about what is drawn.
// Gotcha: Create(window) uses the platform's utility library and is built in
// context_platform.cpp; Create(window, library) runs the very same steps with the
// entry points it is given, which is how tests build a context on a recording
// device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/render_flags.h"
#include "engine/render/render_surface.h"
#include "engine/render/transform_cache.h"
#include "engine/core/math.h"
#include "platform/d3dx.h"
#include "platform/ref_ptr.h"

namespace ZK3D {

// A scene's fog mode as stored in its file; any other value means no fog.
enum FogMode : int32_t { kFogNone = 0, kFogLinear = 1, kFogExponential = 2, kFogExponential2 = 3 };

// A scene's fog as stored in its file (mode: a FogMode); end is the density of
// the exponential modes.
struct FogRecord {
    int32_t mode = 0;
    Color color;
    float start = 0;
    float end = 0;
    uint32_t unused = 0;
};
static_assert(sizeof(FogRecord) == 32);

// The utility-library entry points a context is made with.
struct UtilityLibrary {
    std::function<HRESULT()> initialize;
    std::function<HRESULT()> uninitialize;
    std::function<HRESULT(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                          ID3DXContext** context)>
        createContext;
    std::function<HRESULT(DWORD flags, ID3DXMatrixStack** stack)> createMatrixStack;
};

class Context {
public:
    static constexpr int kFlagStackCapacity = 100;  // grows beyond this when pushed deeper

    // Makes the device for the window (null: offscreen) at the selected mode's
    // size, full screen when the mode selection says so. Returns null, after
    // reporting the utility library's result, when no context can be made.
    static std::unique_ptr<Context> Create(HWND window);
    static std::unique_ptr<Context> Create(HWND window, const UtilityLibrary& library);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Clears target and depth (colour: the clear colour, depth 1.0) in rect, or
    // in the whole mode.
    void Clear(const D3DRECT* rect = nullptr);
    void SetClearColor(const Color& color) { clearColor_ = color; }
    const Color& ClearColor() const { return clearColor_; }
    // Presents the back buffer, after the before-present hook has drawn.
    void Present();
    // Called by Present with the finished frame still in the back buffer, so the
    // owner can draw over every frame (a stats display) without the drawing code
    // knowing; none: nothing is called.
    void SetBeforePresent(std::function<void()> hook) { beforePresent_ = std::move(hook); }

    // Each sends the matrix (none: identity) and keeps it in the transform cache.
    void SetWorldMatrix(const Matrix* m);
    void SetViewMatrix(const Matrix* m);
    void SetProjectionMatrix(const Matrix* m);
    void SetWorldMatrix(const Matrix& m) { SetWorldMatrix(&m); }
    void SetViewMatrix(const Matrix& m) { SetViewMatrix(&m); }
    void SetProjectionMatrix(const Matrix& m) { SetProjectionMatrix(&m); }

    // The base word drawing objects copy when they are created (the default word).
    RenderFlags CurrentFlags() const { return kDefaultRenderFlags; }
    // The word last sent to the device.
    RenderFlags AppliedFlags() const { return appliedFlags_; }
    // A new top word (a copy of the one below; callers set it).
    void PushFlags();
    void SetFlags(RenderFlags flags) { flagStack_[top_] = flags; }
    // Drops the top word; the bottom word is never popped (reported instead).
    void PopFlags();
    RenderFlags TopFlags() const { return flagStack_[top_]; }
    int FlagDepth() const { return top_; }
    // Sends the render states of the fields that differ from the applied word.
    void ApplyFlags(RenderFlags flags);
    void ReapplyFlags() { ApplyFlags(TopFlags()); }
    // Sends every render state of the top word.
    void ForceFlags();

    void SetColorStage(DWORD stage, DWORD arg1, DWORD arg2, DWORD op);
    void SetAlphaStage(DWORD stage, DWORD arg1, DWORD arg2, DWORD op);
    void SetStageFilters(DWORD stage, DWORD mag, DWORD min, DWORD mip);
    // No texture; stage 0 modulates texture and lit colour and takes alpha from the
    // texture; other stages are disabled.
    void ResetStage(DWORD stage);
    void ResetAllStages();

    void SetFog(bool enable, const FogRecord* fog);
    void SetAmbient(const Color& color);
    // Sets the light in the next free slot and enables it.
    void AddLight(const D3DLIGHT7& light);
    // Disables slots 0 ... the highest slot used so far; the next light takes slot 0.
    void ClearLights();
    void SetDefaultMaterial();

    void SetRenderSurface(RenderSurface* surface);
    RenderSurface* CurrentSurface() const { return currentSurface_; }
    // A point through view x projection to pixels of the current surface's
    // viewport (its offsets not added); w is 1. A point in the eye's plane (w = 0)
    // gives non-finite coordinates: check them before turning them into pixels.
    Vector4 ProjectToScreen(Vector3 point);
    // Selected mode height / width (0.75 at 640 x 480).
    float AspectRatio() const;

    HWND window() const { return window_; }
    ID3DXContext* d3dx() const { return d3dx_.get(); }
    ID3DXMatrixStack* matrixStack() const { return matrixStack_.get(); }
    IDirect3D7* d3d() const { return d3d_.get(); }
    IDirect3DDevice7* device() const { return device_.get(); }
    IDirectDraw7* ddraw() const { return ddraw_.get(); }
    IDirectDrawSurface7* zbuffer() const { return zbuffer_.get(); }
    TransformCache& transforms() { return transforms_; }
    const std::vector<DDPIXELFORMAT>& textureFormats() const { return textureFormats_; }
    int maxLightIndex() const { return maxLightIndex_; }
    int nextLight() const { return nextLight_; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t debugWord() const { return debugWord_; }

private:
    explicit Context(HWND window) : window_(window) {}
    static HRESULT CollectFormat(DDPIXELFORMAT* format, void* context);

    HWND window_ = nullptr;
    std::function<HRESULT()> uninitialize_;
    std::function<void()> beforePresent_;
    // The destructor releases these in its own order, not in member order.
    platform::RefPtr<ID3DXContext> d3dx_;
    platform::RefPtr<ID3DXMatrixStack> matrixStack_;
    platform::RefPtr<IDirect3D7> d3d_;
    platform::RefPtr<IDirect3DDevice7> device_;
    platform::RefPtr<IDirectDraw7> ddraw_;
    platform::RefPtr<IDirectDrawSurface7> zbuffer_;
    // A word for diagnostic switches of the renderer. It stays in the context's
    // record, but nothing in the program sets it: no debug drawing is built in,
    // so it is always 0.
    uint32_t debugWord_ = 0;
    RenderFlags appliedFlags_ = 0;
    std::vector<RenderFlags> flagStack_ = std::vector<RenderFlags>(kFlagStackCapacity, kDefaultRenderFlags);
    int top_ = 0;
    TransformCache transforms_;
    RenderSurface* currentSurface_ = nullptr;
    std::unique_ptr<RenderSurface> targetSurface_;   // the wrapper of the device's own render target
    platform::RefPtr<IDirectDrawSurface7> renderTarget_;  // reference taken by GetRenderTarget
    Color clearColor_;
    int maxLightIndex_ = 0;
    int nextLight_ = 0;
    std::vector<DDPIXELFORMAT> textureFormats_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace ZK3D

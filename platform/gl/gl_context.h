// The utility library's context: owns the GL context (an SDL window context, or
// an EGL context on Mesa's surfaceless platform when there is no window), the
// DirectDraw / Direct3D objects, the device, and the back and depth buffers.
//
// The back buffer is always an offscreen colour + depth target of the requested
// size; UpdateFrame copies it into the window scaled with its aspect kept and
// swaps (offscreen it only finishes the frame). Releasing the context tears the
// GL context down: platform objects still referenced elsewhere stay valid C++
// objects, but their GL work stops (draws fail, released GL names are dropped).
#pragma once

#include <epoxy/egl.h>

#include <memory>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_resources.h"
#include "platform/ref_counted.h"
#include "platform/render_resolution.h"

namespace platform::gl {

class Context final : public RefCounted<ID3DXContext> {
public:
    static HRESULT Create(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height, Context** out);

    IDirectDraw7* GetDD() override;
    IDirect3D7* GetD3D() override;
    IDirect3DDevice7* GetD3DDevice() override;
    IDirectDrawSurface7* GetZBuffer() override;
    IDirectDrawSurface7* GetBackBuffer(DWORD index) override;
    HRESULT UpdateFrame(DWORD flags) override;

    // The window's framebuffer as UpdateFrame presents it (the letterboxed back
    // buffer), as ARGB, top row first; windowed contexts only.
    bool ReadWindow(std::vector<uint32_t>* pixels, int* width, int* height);

    // See render_resolution.h.
    bool SetResolution(const RenderResolution& resolution);
    void RenderedSize(int* width, int* height);
    bool ReadRendered(std::vector<uint32_t>* pixels, int* width, int* height);
    bool SwapIntervalAccepted() const { return swapAccepted_; }

private:
    Context() = default;
    ~Context() override;
    bool MakeCurrent();
    HRESULT MakeEglContext(bool software);
    HRESULT MakeWindowContext(HWND window, bool fullscreen, bool software);
    // Sizes the back buffer to the largest rectangle of its logical aspect that
    // fits in width x height (and the GL limits); false when it had to be smaller.
    bool FitBackBuffer(int width, int height, int samples);

    // Offscreen.
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext eglContext_ = EGL_NO_CONTEXT;
    // Windowed.
    HWND window_ = nullptr;
    void* sdlWindow_ = nullptr;   // SDL_Window*
    void* sdlContext_ = nullptr;  // SDL_GLContext
    int swapInterval_ = -2;
    bool swapAccepted_ = false;
    RenderResolution resolution_;
    int renderWidth_ = 0, renderHeight_ = 0;  // the back buffer in GL pixels

    std::shared_ptr<ResourceHub> hub_;
    DirectDraw* ddraw_ = nullptr;
    Direct3D* d3d_ = nullptr;
    Device* device_ = nullptr;
    Surface* backBuffer_ = nullptr;
    Surface* zbuffer_ = nullptr;
};

}  // namespace platform::gl

// The utility library's context and start-up calls (see gl_context.h).
#include "platform/gl/gl_context.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "platform/gl/window_drawable.h"
#include "platform/render_resolution.h"
#include "platform/report.h"
#include "platform/window.h"

namespace platform::gl {

namespace {

// Whether the current context renders on the CPU.
bool IsSoftwareRenderer() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer) return false;
    for (const char* name : {"llvmpipe", "softpipe", "swrast"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

constexpr DWORD kDefaultWidth = 640;
constexpr DWORD kDefaultHeight = 480;
constexpr DWORD kMaxContextSide = 8192;

std::atomic<int> g_d3dxStarted{0};

// The context this thread last made current. Asking EGL or SDL for the current
// context costs a library dispatch (and a process-id check) on every draw; the
// program makes no GL context current but through this file.
thread_local const Context* t_current = nullptr;

// EGL keeps one display per platform and device, initialised once for the whole
// process; contexts share it and the last one out terminates it.
struct DisplayUsers {
    std::mutex mutex;
    std::vector<std::pair<EGLDisplay, int>> users;
};

DisplayUsers& Displays() {
    static DisplayUsers displays;
    return displays;
}

bool AcquireDisplay(EGLDisplay display) {
    DisplayUsers& d = Displays();
    std::lock_guard lock(d.mutex);
    for (auto& [dpy, count] : d.users) {
        if (dpy == display) {
            ++count;
            return true;
        }
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return false;
    d.users.emplace_back(display, 1);
    return true;
}

void ReleaseDisplay(EGLDisplay display) {
    DisplayUsers& d = Displays();
    std::lock_guard lock(d.mutex);
    for (size_t i = 0; i < d.users.size(); ++i) {
        if (d.users[i].first != display) continue;
        if (--d.users[i].second == 0) {
            eglTerminate(display);
            d.users.erase(d.users.begin() + long(i));
        }
        return;
    }
}

// An EGL device display: the software rasteriser's device, or the first other one.
EGLDisplay DeviceDisplay(bool software) {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration") ||
        !epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_device"))
        return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!eglQueryDevicesEXT(16, devices, &count)) return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        const char* extensions = eglQueryDeviceStringEXT(devices[i], EGL_EXTENSIONS);
        const bool isSoftware = extensions && std::strstr(extensions, "EGL_MESA_device_software");
        if (isSoftware == software) return eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
    }
    return EGL_NO_DISPLAY;
}

EGLDisplay SurfacelessDisplay() {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) return EGL_NO_DISPLAY;
    return eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value, bool active) : name_(name), active_(active) {
        if (!active_) return;
        if (const char* old = std::getenv(name)) {
            hadOld_ = true;
            old_ = old;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (!active_) return;
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool active_;
    bool hadOld_ = false;
    std::string old_;
};

}  // namespace

// ---------------------------------------------------------------- creation

HRESULT Context::Create(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height, Context** out) {
    bool software;
    switch (deviceIndex) {
        case D3DX_DEFAULT:
        case D3DX_HWLEVEL_RASTER:
        case D3DX_HWLEVEL_TL:
        case 0: software = false; break;
        case D3DX_HWLEVEL_2D:
        case D3DX_HWLEVEL_REFERENCE: software = true; break;
        default:
            LogMessage("[GL] Device index 0x%08X names no device", unsigned(deviceIndex));
            return D3DXERR_INVALIDD3DXDEVICEINDEX;
    }
    if (width == 0 || width == D3DX_DEFAULT) width = kDefaultWidth;
    if (height == 0 || height == D3DX_DEFAULT) height = kDefaultHeight;
    if (width > kMaxContextSide || height > kMaxContextSide) return D3DXERR_INVALIDPARAMETER;

    std::unique_ptr<Context, void (*)(Context*)> context(new (std::nothrow) Context, [](Context* c) { c->Release(); });
    if (!context) return D3DXERR_NOMEMORY;
    const bool offscreen = !window || (flags & D3DX_CONTEXT_OFFSCREEN);
    const HRESULT made = offscreen ? context->MakeEglContext(software)
                                   : context->MakeWindowContext(window, flags & D3DX_CONTEXT_FULLSCREEN, software);
    if (FAILED(made)) return made;
    if (epoxy_gl_version() < 33) {
        LogMessage("[GL] OpenGL 3.3 is needed; the driver offers %d.%d", epoxy_gl_version() / 10,
                   epoxy_gl_version() % 10);
        return D3DXERR_CAPSNOTSUPPORTED;
    }

    Context& c = *context;
    Context* self = &c;
    c.hub_ = std::make_shared<ResourceHub>(std::this_thread::get_id());
    c.hub_->SetMakeCurrent([self] { return self->MakeCurrent(); });
    // A software rasteriser decodes DXT blocks on every sample, several times
    // slower than plain 8-bit texels: there they are decoded once, at upload.
    c.hub_->s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc") && !IsSoftwareRenderer();
    c.backBuffer_ = Surface::CreateInternal(c.hub_, SurfaceKind::RenderTarget, Format::X8R8G8B8,
                                            DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM,
                                            int(width), int(height));
    c.zbuffer_ = Surface::CreateInternal(c.hub_, SurfaceKind::Depth, Format::Depth24,
                                         DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM, int(width), int(height));
    if (!c.backBuffer_ || !c.zbuffer_) return D3DXERR_NOBACKBUFFERAVAILABLE;
    c.renderWidth_ = int(width);
    c.renderHeight_ = int(height);
    if (FAILED(c.backBuffer_->AddAttachedSurface(c.zbuffer_))) return D3DXERR_NOZBUFFER;
    c.device_ = new (std::nothrow) Device(c.hub_, c.backBuffer_, [self] { return self->MakeCurrent(); });
    c.ddraw_ = new (std::nothrow) DirectDraw(c.hub_);
    c.d3d_ = new (std::nothrow) Direct3D(c.hub_);
    if (!c.device_ || !c.ddraw_ || !c.d3d_) return D3DXERR_NOMEMORY;
    std::string error;
    if (!c.device_->Initialize(&error)) {
        LogMessage("[GL] %s", error.c_str());
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    const std::string& renderer = c.device_->Renderer();
    if (software && renderer.find("llvmpipe") == std::string::npos && renderer.find("softpipe") == std::string::npos &&
        renderer.find("swrast") == std::string::npos)
        LogMessage("[GL] No software rasteriser is installed; drawing with the driver there is");
    LogMessage("[GL] %s, OpenGL %s, %ux%u %s", renderer.c_str(),
               reinterpret_cast<const char*>(glGetString(GL_VERSION)), unsigned(width), unsigned(height),
               offscreen ? "offscreen" : "windowed");
    *out = context.release();
    return D3D_OK;
}

HRESULT Context::MakeEglContext(bool software) {
    // The software rasteriser: Mesa's software device when EGL lists one, else
    // the surfaceless platform told to use software. The default: a hardware
    // device, else whatever the surfaceless platform picks.
    ScopedEnv forceSoftware("LIBGL_ALWAYS_SOFTWARE", "1", software);
    EGLDisplay display = DeviceDisplay(software);
    if (display == EGL_NO_DISPLAY) display = SurfacelessDisplay();
    if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !AcquireDisplay(display)) {
        LogMessage("[GL] No EGL display (error 0x%04X)", unsigned(eglGetError()));
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        LogMessage("[GL] EGL cannot bind OpenGL");
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    EGLConfig config = EGL_NO_CONFIG_KHR;
    if (!epoxy_has_egl_extension(display, "EGL_KHR_no_config_context")) {
        const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(display, attributes, &config, 1, &count) || count == 0) {
            LogMessage("[GL] No EGL configuration for OpenGL");
            return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
        }
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    eglContext_ = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
    if (eglContext_ == EGL_NO_CONTEXT) {
        LogMessage("[GL] No OpenGL 3.3 core context (EGL error 0x%04X)", unsigned(eglGetError()));
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext_)) {
        LogMessage("[GL] Cannot make the context current (EGL error 0x%04X)", unsigned(eglGetError()));
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    t_current = this;
    return D3D_OK;
}

HRESULT Context::MakeWindowContext(HWND window, bool fullscreen, bool software) {
    auto* sdlWindow = static_cast<SDL_Window*>(window->NativeHandle());
    if (!sdlWindow) return D3DXERR_INVALIDPARAMETER;
    // The driver is chosen when the display connection is opened; this reaches it
    // only if no GL context was made in the process before.
    ScopedEnv forceSoftware("LIBGL_ALWAYS_SOFTWARE", "1", software);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (!context) {
        LogMessage("[GL] No OpenGL 3.3 core context for the window: %s", SDL_GetError());
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    window_ = window;
    sdlWindow_ = sdlWindow;
    sdlContext_ = context;
    t_current = this;  // SDL_GL_CreateContext makes it current
    if (fullscreen && !window->Fullscreen()) window->SetFullscreen(true);
    return D3D_OK;
}

Context::~Context() {
    const bool current = MakeCurrent();
    // Drop the context's own references, then let the device delete every GL
    // object it still knows while the context can still take the calls.
    if (backBuffer_) backBuffer_->Release();
    if (zbuffer_) zbuffer_->Release();
    if (device_) {
        device_->Shutdown(current);
        device_->Release();
    }
    if (hub_) hub_->MarkContextLost();
    if (ddraw_) ddraw_->Release();
    if (d3d_) d3d_->Release();
    if (t_current == this) t_current = nullptr;
    if (eglContext_ != EGL_NO_CONTEXT) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, eglContext_);
    }
    if (display_ != EGL_NO_DISPLAY) ReleaseDisplay(display_);
    if (sdlContext_) {
        SDL_GL_MakeCurrent(static_cast<SDL_Window*>(sdlWindow_), nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(sdlContext_));
    }
}

bool Context::MakeCurrent() {
    if (t_current == this) return true;
    bool made = false;
    if (eglContext_ != EGL_NO_CONTEXT)
        made = eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext_);
    else if (sdlContext_)
        made = SDL_GL_MakeCurrent(static_cast<SDL_Window*>(sdlWindow_), sdlContext_) == 0;
    if (made) t_current = this;
    return made;
}

// ---------------------------------------------------------------- interface

IDirectDraw7* Context::GetDD() {
    if (ddraw_) ddraw_->AddRef();
    return ddraw_;
}

IDirect3D7* Context::GetD3D() {
    if (d3d_) d3d_->AddRef();
    return d3d_;
}

IDirect3DDevice7* Context::GetD3DDevice() {
    if (device_) device_->AddRef();
    return device_;
}

IDirectDrawSurface7* Context::GetZBuffer() {
    if (zbuffer_) zbuffer_->AddRef();
    return zbuffer_;
}

IDirectDrawSurface7* Context::GetBackBuffer(DWORD index) {
    if (index != 0 || !backBuffer_) return nullptr;
    backBuffer_->AddRef();
    return backBuffer_;
}

HRESULT Context::UpdateFrame(DWORD flags) {
    if (!device_ || !MakeCurrent()) return D3DXERR_BADD3DXCONTEXT;
    device_->FinishFrameCounting();  // the present is not the frame's work
    if (sdlContext_) {
        auto* window = static_cast<SDL_Window*>(sdlWindow_);
        // Asked every frame: the window can change size, or go full screen, at any time.
        int width = 0, height = 0;
        CurrentDrawableSize(window, &width, &height);
        if (!device_->Present(backBuffer_, width, height)) return D3DXERR_BADD3DXCONTEXT;
        const int interval = (flags & D3DX_UPDATE_NOVSYNC) ? 0 : 1;
        if (interval != swapInterval_) {
            // May be refused; presenting goes on either way (callers pace themselves).
            swapAccepted_ = SDL_GL_SetSwapInterval(interval) == 0;
            swapInterval_ = interval;
        }
        SDL_GL_SwapWindow(window);
        // Following the window: the next frame renders at the drawable's size.
        if (resolution_.native) FitBackBuffer(width, height, resolution_.samples);
    } else {
        glFinish();
    }
    device_->EndFrame();
    return D3D_OK;
}

bool Context::ReadWindow(std::vector<uint32_t>* pixels, int* width, int* height) {
    if (!sdlContext_ || !pixels || !device_ || !MakeCurrent()) return false;
    int w = 0, h = 0;
    CurrentDrawableSize(sdlWindow_, &w, &h);
    if (w <= 0 || h <= 0) return false;
    // The window's framebuffer as UpdateFrame fills it, read from the back buffer
    // before any swap: front buffers cannot be read back on every X server.
    if (!device_->Present(backBuffer_, w, h)) return false;
    std::vector<uint32_t> bottomUp(size_t(w) * size_t(h));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, bottomUp.data());
    if (glGetError() != GL_NO_ERROR) return false;
    pixels->resize(bottomUp.size());
    for (int y = 0; y < h; ++y)
        std::memcpy(&(*pixels)[size_t(y) * size_t(w)], &bottomUp[size_t(h - 1 - y) * size_t(w)], size_t(w) * 4);
    *width = w;
    *height = h;
    return true;
}

// ---------------------------------------------------------------- resolution

bool Context::FitBackBuffer(int width, int height, int samples) {
    if (!backBuffer_ || width <= 0 || height <= 0) return false;
    const int lw = backBuffer_->Width(), lh = backBuffer_->Height();
    GLint maxTexture = 0, maxRenderbuffer = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
    const int limit = std::min({kMaxRenderSide, int(maxTexture), samples > 1 ? int(maxRenderbuffer) : kMaxRenderSide});
    const int fitWidth = std::min(width, limit), fitHeight = std::min(height, limit);
    const double scale = std::min(double(fitWidth) / lw, double(fitHeight) / lh);
    const int w = ScaledSide(lw, scale), h = ScaledSide(lh, scale);
    if (w != renderWidth_ || h != renderHeight_ || samples != hub_->Scale().samples) {
        hub_->SetRenderScale(double(w) / lw, double(h) / lh, samples);
        LogMessage("[GL] Rendering at %dx%d%s", w, h,
                   samples > 1 ? (", " + std::to_string(samples) + " samples per pixel").c_str() : "");
        renderWidth_ = w;
        renderHeight_ = h;
    }
    return fitWidth == width && fitHeight == height;
}

bool Context::SetResolution(const RenderResolution& r) {
    const bool sizeValid = (r.width == 0 && r.height == 0) ||
                           (r.width >= 1 && r.width <= kMaxRenderSide && r.height >= 1 && r.height <= kMaxRenderSide);
    const bool samplesValid = r.samples >= 1 && r.samples <= 8 && (r.samples & (r.samples - 1)) == 0;
    if (!sizeValid || !samplesValid || !device_ || !MakeCurrent()) return false;
    GLint maxSamples = 1;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    RenderResolution wanted = r;
    // The driver's counts are powers of two up to its maximum.
    while (wanted.samples > std::max(1, int(maxSamples))) wanted.samples /= 2;
    resolution_ = wanted;
    int width = r.width ? r.width : backBuffer_->Width(), height = r.height ? r.height : backBuffer_->Height();
    if (r.native && sdlContext_) CurrentDrawableSize(sdlWindow_, &width, &height);
    const bool fitted = FitBackBuffer(width, height, wanted.samples);
    if (wanted.samples != r.samples)
        LogMessage("[GL] %d samples per pixel asked, the driver gives %d", r.samples, wanted.samples);
    return fitted && wanted.samples == r.samples;
}

void Context::RenderedSize(int* width, int* height) {
    const ResourceHub::RenderScale scale = hub_->Scale();
    *width = ScaledSide(backBuffer_->Width(), scale.x);
    *height = ScaledSide(backBuffer_->Height(), scale.y);
}

bool Context::ReadRendered(std::vector<uint32_t>* pixels, int* width, int* height) {
    return device_ && MakeCurrent() && device_->ReadGlPixels(backBuffer_, pixels, width, height);
}

}  // namespace platform::gl

// ---------------------------------------------------------------- entry points

HRESULT D3DXInitialize() {
    ++platform::gl::g_d3dxStarted;
    return D3D_OK;
}

HRESULT D3DXUninitialize() {
    int started = platform::gl::g_d3dxStarted.load();
    while (started > 0 && !platform::gl::g_d3dxStarted.compare_exchange_weak(started, started - 1)) {
    }
    return D3D_OK;
}

HRESULT D3DXCreateContext(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                          ID3DXContext** context) {
    if (!context) return D3DXERR_NULLPOINTER;
    *context = nullptr;
    platform::gl::Context* created = nullptr;
    const HRESULT result = platform::gl::Context::Create(deviceIndex, flags, window, width, height, &created);
    if (SUCCEEDED(result)) *context = created;
    return result;
}

namespace platform {

bool GetGlStats(IDirect3DDevice7* device, GlStats* stats) {
    gl::Device* d = gl::AsDevice(device);
    if (!d || !stats) return false;
    *stats = d->Stats();
    return true;
}

void ResetGlStats(IDirect3DDevice7* device) {
    if (gl::Device* d = gl::AsDevice(device)) d->ResetStats();
}

FragmentCounter CountGlFragments(IDirect3DDevice7* device, bool on) {
    gl::Device* d = gl::AsDevice(device);
    return d ? d->CountFragments(on) : FragmentCounter::kNone;
}

bool SetGlTextureRestrictions(IDirect3DDevice7* device, DWORD textureCaps) {
    gl::Device* d = gl::AsDevice(device);
    if (d) d->SetTextureRestrictions(textureCaps);
    return d != nullptr;
}

std::string GlRenderer(IDirect3DDevice7* device) {
    gl::Device* d = gl::AsDevice(device);
    return d ? d->Renderer() : std::string();
}

bool ReadPresentedFrame(ID3DXContext* context, std::vector<uint32_t>* pixels, int* width, int* height) {
    auto* c = dynamic_cast<gl::Context*>(context);
    return c && width && height && c->ReadWindow(pixels, width, height);
}

bool SetRenderResolution(ID3DXContext* context, const RenderResolution& resolution) {
    auto* c = dynamic_cast<gl::Context*>(context);
    return c && c->SetResolution(resolution);
}

bool RenderedSize(ID3DXContext* context, int* width, int* height) {
    auto* c = dynamic_cast<gl::Context*>(context);
    if (!c || !width || !height) return false;
    c->RenderedSize(width, height);
    return true;
}

bool ReadRenderedFrame(ID3DXContext* context, std::vector<uint32_t>* pixels, int* width, int* height) {
    auto* c = dynamic_cast<gl::Context*>(context);
    return c && pixels && width && height && c->ReadRendered(pixels, width, height);
}

bool SwapIntervalAccepted(ID3DXContext* context) {
    auto* c = dynamic_cast<gl::Context*>(context);
    return c && c->SwapIntervalAccepted();
}

}  // namespace platform

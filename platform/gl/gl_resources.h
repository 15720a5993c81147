// Device resources: surfaces (textures with their mip chains, render targets,
// depth buffers), vertex buffers, and the DirectDraw / Direct3D objects that
// create them.
//
// Creation and Lock / Unlock may come from the scene-loader thread while the main
// thread draws, so a resource is CPU memory first: creation allocates it under a
// lock and touches no GL. GL objects are made, filled and deleted only on the
// thread that owns the GL context (the device's), when a resource is next used;
// a resource released elsewhere hands its GL names to the ResourceHub, and the
// device deletes them at its next call.
//
// Render targets and depth buffers are the exception to "CPU memory first": once
// drawn into, their GL copy is newer, and Lock reads it back, which only the GL
// thread can do (elsewhere Lock fails with DDERR_SURFACEBUSY).
#pragma once

#include <epoxy/gl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/d3d7.h"
#include "platform/gl/gl_state_cache.h"
#include "platform/gl/pixel_format.h"
#include "platform/ref_counted.h"

namespace platform::gl {

// The widest and tallest surface CreateSurface makes.
constexpr int kMaxSurfaceSide = 8192;

// The GL side of a render target's logical side at a render scale.
int ScaledSide(int side, double scale);

// Shared by the device and every resource; outlives whichever goes last.
class ResourceHub {
public:
    explicit ResourceHub(std::thread::id glThread) : glThread_(glThread) {}

    bool OnGlThread() const { return std::this_thread::get_id() == glThread_; }

    // GL names of a released resource, deleted by the device on the GL thread.
    void RetireTexture(GLuint name);
    void RetireBuffer(GLuint name);
    void RetireFramebuffer(GLuint name);
    void RetireRenderbuffer(GLuint name);

    struct Retired {
        std::vector<GLuint> textures, buffers, framebuffers, renderbuffers;
    };
    // Takes the names waiting for deletion (GL thread).
    Retired TakeRetired();

    // After the GL context is gone, released names are simply dropped.
    void MarkContextLost();
    bool ContextLost();

    // How the owning context is made current (set once, before any resource
    // exists); resources that read back call it before touching GL.
    void SetMakeCurrent(std::function<bool()> makeCurrent) { makeCurrent_ = std::move(makeCurrent); }
    // GL thread: makes the owning context current; false once it is gone.
    bool MakeCurrent();

    // How render targets and depth buffers map the size the engine asks for
    // (logical pixels) onto GL pixels: a target w x h logical is
    // round(w * x) x round(h * y) in GL, and the back buffer takes `samples`
    // samples per pixel. Each change moves `generation`; targets take the new
    // size when the GL thread next uses them.
    struct RenderScale {
        double x = 1, y = 1;
        int samples = 1;
        uint32_t generation = 0;
    };
    void SetRenderScale(double x, double y, int samples);
    RenderScale Scale();
    // Cheap check for the GL thread: whether the scale moved since `generation`.
    bool ScaleChangedSince(uint32_t generation) const {
        return scaleGeneration_.load(std::memory_order_acquire) != generation;
    }

    // Whether DXT blocks go to GL as they are (the S3TC extension is there and
    // the renderer samples them fast); otherwise they are decoded at upload.
    std::atomic<bool> s3tc{false};

private:
    std::thread::id glThread_;
    std::function<bool()> makeCurrent_;
    std::mutex mutex_;
    bool contextLost_ = false;
    Retired retired_;
    RenderScale scale_;
    std::atomic<uint32_t> scaleGeneration_{0};
};

enum class SurfaceKind : uint8_t {
    Plain,         // texture or offscreen: system memory, uploaded when bound
    RenderTarget,  // 3DDEVICE: a colour texture in a framebuffer (also bindable as a texture)
    Depth,         // ZBUFFER: a depth texture
};

// The memory and GL objects of one surface and its mip levels.
struct SurfaceStorage {
    struct Level {
        int width = 0, height = 0;
        size_t pitch = 0;
        std::vector<uint8_t> bytes;
        bool dirty = true;    // CPU copy newer than the GL one
        bool locked = false;  // an application pointer is out
        bool readOnlyLock = false;
    };

    SurfaceStorage(std::shared_ptr<ResourceHub> hub, SurfaceKind kind, Format format, DWORD caps);
    ~SurfaceStorage();

    std::shared_ptr<ResourceHub> hub;
    const SurfaceKind kind;
    const Format format;
    const DWORD caps;
    std::vector<Level> levels;

    // Guards the Level flags (not the bytes: those belong to whoever holds a lock)
    // and the GL names below.
    std::mutex mutex;
    GLuint texture = 0;
    GLuint framebuffer = 0;      // render targets: colour + attached depth
    GLuint readFramebuffer = 0;  // depth buffers: for reading the depth back
    GLuint framebufferDepth = 0; // depth texture the framebuffer has attached now
    bool gpuNewer = false;       // drawn into since the last read-back

    // Render targets and depth buffers: the size of their GL storage (the logical
    // size times the render scale) and the scale generation it follows.
    int glWidth = 0, glHeight = 0;
    uint32_t scaleGeneration = ~0u;
    // A multisampled render target (the back buffer with multisampling on) draws
    // into renderbuffers of its own and is resolved into `framebuffer` before
    // anything reads it.
    int samples = 1;
    GLuint msFramebuffer = 0, msColor = 0, msDepth = 0;
    bool needsResolve = false;
    // Depth buffers attached to a multisampled target: that target, whose
    // resolve brings this buffer's depth up to date.
    std::weak_ptr<SurfaceStorage> resolvedBy;
};

class Surface final : public RefCounted<IDirectDrawSurface7> {
public:
    // A new surface (and, for a mip chain, its sub-levels); null on failure with
    // the result in *result.
    static Surface* Create(const std::shared_ptr<ResourceHub>& hub, const DDSURFACEDESC2& desc, HRESULT* result);
    // The context's own back buffer and depth buffer.
    static Surface* CreateInternal(const std::shared_ptr<ResourceHub>& hub, SurfaceKind kind, Format format,
                                   DWORD caps, int width, int height);

    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** attached) override;
    HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
    HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;

    SurfaceStorage& Storage() const { return *storage_; }
    const std::shared_ptr<SurfaceStorage>& SharedStorage() const { return storage_; }
    int LevelIndex() const { return level_; }
    int Width() const { return storage_->levels[size_t(level_)].width; }
    int Height() const { return storage_->levels[size_t(level_)].height; }
    // The depth surface attached to this render target, or null (not referenced).
    Surface* AttachedDepth() const;
    // Size of the GL storage of a render target or depth buffer (the logical size
    // times the render scale, once the GL thread has used it); of a plain surface,
    // its size.
    int GlWidth() const;
    int GlHeight() const;

    // GL thread: makes the surface's GL texture current with its CPU levels and
    // returns it (0 for depth buffers, or when it cannot be made). uploads counts
    // the levels sent.
    GLuint EnsureTexture(GlStateCache& cache, uint64_t* uploads);
    // GL thread: the framebuffer of a render target with its attached depth;
    // uploads CPU changes first. 0 when the surface is not a render target.
    GLuint EnsureFramebuffer(GlStateCache& cache, uint64_t* uploads);
    // GL thread: like EnsureFramebuffer, but for reading: a multisampled target
    // is resolved first and its single-sample framebuffer returned.
    GLuint EnsureResolvedFramebuffer(GlStateCache& cache, uint64_t* uploads);
    // The device drew into this render target (and its depth buffer).
    void MarkDrawn();

private:
    Surface(std::shared_ptr<SurfaceStorage> storage, int level) : storage_(std::move(storage)), level_(level) {}
    ~Surface();
    // Brings the CPU copy up to date before it is read or written (false when that
    // needs the GL thread and this is not it). With a rect only that part of the
    // CPU copy is refreshed, and the rest stays marked as older than the GPU's.
    bool SyncForCpu(const RECT* rect = nullptr);
    // GL thread, storage mutex held: copies the GL contents of a render target or
    // depth buffer, or of the rect (x, y, width, height) of one, into the CPU level.
    void ReadBackLocked(int x, int y, int width, int height);
    GLuint EnsureDepthTextureLocked(GlStateCache& cache, uint64_t* uploads);
    // GL thread, storage mutex held: gives a render target or depth buffer the GL
    // size and sample count of the current render scale. When they change, the
    // contents are read back first (so they survive, at the logical size) and
    // the GL objects are dropped, to be made again at the new size.
    void FollowScaleLocked();
    // GL thread, storage mutex held: the colour texture of a render target or
    // the texture of a plain surface, made and brought up to date.
    GLuint EnsureTextureLocked(GlStateCache& cache, uint64_t* uploads);

    std::shared_ptr<SurfaceStorage> storage_;
    int level_;
    Surface* next_ = nullptr;   // next mip level, one reference held
    Surface* depth_ = nullptr;  // attached depth buffer, one reference held
};

class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer7> {
public:
    static VertexBuffer* Create(const std::shared_ptr<ResourceHub>& hub, const D3DVERTEXBUFFERDESC& desc,
                                HRESULT* result);

    HRESULT Lock(DWORD flags, void** data, DWORD* size) override;
    HRESULT Unlock() override;
    HRESULT GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) override;

    DWORD Fvf() const { return desc_.dwFVF; }
    bool OwnedBy(const std::shared_ptr<ResourceHub>& hub) const { return hub_ == hub; }
    DWORD VertexCount() const { return desc_.dwNumVertices; }
    bool Locked();
    // GL thread: the buffer object holding the current vertices (0 on failure).
    GLuint EnsureBuffer(GlStateCache& cache, uint64_t* uploads);

private:
    VertexBuffer(std::shared_ptr<ResourceHub> hub, const D3DVERTEXBUFFERDESC& desc, std::vector<uint8_t> bytes)
        : hub_(std::move(hub)), desc_(desc), bytes_(std::move(bytes)) {}
    ~VertexBuffer();

    std::shared_ptr<ResourceHub> hub_;
    D3DVERTEXBUFFERDESC desc_;
    std::vector<uint8_t> bytes_;
    std::mutex mutex_;
    bool locked_ = false;
    bool dirty_ = true;
    GLuint buffer_ = 0;
};

class DirectDraw final : public RefCounted<IDirectDraw7> {
public:
    explicit DirectDraw(std::shared_ptr<ResourceHub> hub) : hub_(std::move(hub)) {}
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, void* outer) override;

private:
    ~DirectDraw() = default;
    std::shared_ptr<ResourceHub> hub_;
};

class Direct3D final : public RefCounted<IDirect3D7> {
public:
    explicit Direct3D(std::shared_ptr<ResourceHub> hub) : hub_(std::move(hub)) {}
    HRESULT CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer, DWORD flags) override;

private:
    ~Direct3D() = default;
    std::shared_ptr<ResourceHub> hub_;
};

// Casts that accept only this device's own objects (null for any other).
Surface* AsSurface(IDirectDrawSurface7* surface);
VertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer7* buffer);

}  // namespace platform::gl

// A recording stand-in for the graphics platform: utility-library context,
// DirectDraw, Direct3D, the device, system-memory surfaces (with attached depth
// buffers and mip chains), vertex buffers and the matrix stack.
//
// Every call the engine makes is appended, in order, to one shared log as text:
// device calls as "SetRenderState(7,1)", calls on other objects prefixed with the
// object's name ("vb1.Lock(16)", "stack.Push()", "d3dx.UpdateFrame(0)"). Integers
// are written in decimal, floats with %g, objects by name ("null" for none),
// matrices as {16 values} (FormatMatrix). AddRef and Release are not logged;
// reference counts are kept so tests can check that nothing is left referenced.
//
// The device also keeps the state it was given (render and stage states,
// transforms, lights, material, textures, viewport, target) and one DrawRecord
// per draw with a snapshot of that state, so tests can ask what a draw used.
// ComputeSphereVisibility classifies with the CPU routine of the platform and the
// recorded world, view and projection.
//
// Not here: any rasterisation. Objects are owned by the RecordingPlatform and live
// as long as it does, whatever their reference counts say.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/context.h"
#include "platform/d3d7.h"
#include "platform/d3dx.h"
#include "platform/ref_counted.h"
#include "platform/ref_ptr.h"

namespace testing_support {

std::string FormatFloat(float v);
std::string FormatMatrix(const float* m16);
std::string FormatMatrix(const D3DMATRIX& m);

class CallLog {
public:
    void add(std::string call) {
        if (enabled) calls_.push_back(std::move(call));
    }
    const std::vector<std::string>& calls() const { return calls_; }
    size_t mark() const { return calls_.size(); }
    std::vector<std::string> since(size_t mark) const;
    // The calls that start with prefix, in order.
    std::vector<std::string> starting(const std::string& prefix) const;
    int count(const std::string& call) const;
    void clear() { calls_.clear(); }

    // When false nothing is formatted or kept (benchmarks).
    bool enabled = true;

private:
    std::vector<std::string> calls_;
};

class RecordingPlatform;

// What every recording object answers whatever interface it stands in for: its
// name in the log and its reference count.
class Counted {
public:
    explicit Counted(std::string name) : name_(std::move(name)) {}
    virtual ~Counted() = default;
    const std::string& name() const { return name_; }
    virtual long refs() const = 0;

private:
    std::string name_;
};

// The platform's reference counting without deletion: the RecordingPlatform owns
// the objects, so the last Release leaves them in place. An extra Release wraps
// the count, which refs() and Unreleased() then show.
template <class Interface>
class Recorded : public platform::RefCounted<Interface>, public Counted {
public:
    using Counted::Counted;
    long refs() const override { return static_cast<long>(this->RefCount()); }

protected:
    void LastReleased() override {}
};

class RecordingSurface final : public Recorded<IDirectDrawSurface7> {
public:
    RecordingSurface(RecordingPlatform& platform, std::string name, const DDSURFACEDESC2& desc);

    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** attached) override;
    HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
    HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;

    const DDSURFACEDESC2& desc() const { return desc_; }
    std::vector<uint8_t>& memory() { return memory_; }
    int pitch() const { return pitch_; }
    bool locked() const { return locked_; }
    // The depth surface attached to this one (null when none).
    RecordingSurface* attachedDepth() const;
    const std::vector<RecordingSurface*>& attached() const { return attached_; }

    // Depth surfaces: writes the raw word of a pixel (its depth bits, little-endian).
    void SetDepthWord(int x, int y, uint32_t word);
    // Fills every pixel's raw word.
    void FillDepthWord(uint32_t word);
    // Colour surfaces of 16 or 32 bits: writes the raw pixel.
    void SetPixelWord(int x, int y, uint32_t word);

    // When set, Lock fails with this result.
    HRESULT lockResult = DD_OK;

private:
    // Drops the references to the attached surfaces.
    void LastReleased() override;

    RecordingPlatform& platform_;
    DDSURFACEDESC2 desc_{};
    std::vector<uint8_t> memory_;
    int pitch_ = 0;
    bool locked_ = false;
    std::vector<RecordingSurface*> attached_;
};

class RecordingVertexBuffer final : public Recorded<IDirect3DVertexBuffer7> {
public:
    RecordingVertexBuffer(RecordingPlatform& platform, std::string name, const D3DVERTEXBUFFERDESC& desc);

    HRESULT Lock(DWORD flags, void** data, DWORD* size) override;
    HRESULT Unlock() override;
    HRESULT GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) override;

    const D3DVERTEXBUFFERDESC& desc() const { return desc_; }
    DWORD stride() const { return stride_; }
    std::vector<uint8_t>& memory() { return memory_; }
    // Float k of vertex i (k counts 4-byte fields from the start of the vertex).
    float Field(int vertex, int k) const;
    bool locked() const { return locked_; }

    HRESULT lockResult = D3D_OK;

private:
    RecordingPlatform& platform_;
    D3DVERTEXBUFFERDESC desc_{};
    DWORD stride_ = 0;
    std::vector<uint8_t> memory_;
    bool locked_ = false;
};

// What one draw call used.
struct DrawRecord {
    std::string call;  // as logged
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    RecordingVertexBuffer* buffer = nullptr;  // the VB draws
    DWORD fvf = 0;
    DWORD startVertex = 0;
    DWORD vertexCount = 0;
    std::vector<WORD> indices;
    std::vector<uint8_t> vertices;  // copied for the draws from memory
    bool rejected = false;          // an index or range outside the buffer: nothing drawn
    D3DMATRIX world{}, view{}, projection{};
    D3DMATERIAL7 material{};
    std::array<IDirectDrawSurface7*, kMaxTextureStages> textures{};
    std::map<DWORD, DWORD> renderStates;
};

class RecordingDevice final : public Recorded<IDirect3DDevice7> {
public:
    explicit RecordingDevice(RecordingPlatform& platform);

    HRESULT GetCaps(D3DDEVICEDESC7* desc) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT SetMaterial(D3DMATERIAL7* material) override;
    HRESULT SetLight(DWORD index, D3DLIGHT7* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderTarget(IDirectDrawSurface7* target, DWORD flags) override;
    HRESULT GetRenderTarget(IDirectDrawSurface7** target) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, DWORD flags) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, WORD* indices,
                                 DWORD indexCount, DWORD flags) override;
    HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                            DWORD vertexCount, DWORD flags) override;
    HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                                   DWORD vertexCount, WORD* indices, DWORD indexCount, DWORD flags) override;
    HRESULT ComputeSphereVisibility(D3DVECTOR* centers, D3DVALUE* radii, DWORD count, DWORD flags,
                                    DWORD* results) override;
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;

    // State as last set (render states and stage states: 0 when never set).
    DWORD renderState(DWORD state) const;
    DWORD stageState(DWORD stage, DWORD type) const;
    IDirectDrawSurface7* texture(DWORD stage) const { return stage < kMaxTextureStages ? textures_[stage] : nullptr; }
    D3DMATRIX transform(DWORD state) const;  // identity when never set
    const std::map<DWORD, D3DLIGHT7>& lights() const { return lights_; }
    bool lightEnabled(DWORD index) const;
    const D3DMATERIAL7& material() const { return material_; }
    const D3DVIEWPORT7& viewport() const { return viewport_; }
    IDirectDrawSurface7* renderTarget() const { return target_; }
    bool inScene() const { return inScene_; }

    std::vector<DrawRecord>& draws() { return draws_; }
    // Results of every ComputeSphereVisibility call, in order.
    const std::vector<std::vector<DWORD>>& visibility() const { return visibility_; }
    // Forgets the draws and visibility results, and every texture or target bound
    // that is in gone (objects about to be freed); the target falls back to fallback.
    void Forget(const std::vector<const Counted*>& gone, IDirectDrawSurface7* fallback);

    // The formats EnumTextureFormats hands out, in order (a typical list by default).
    std::vector<DDPIXELFORMAT> textureFormats;
    // What GetCaps hands out; by default a device like the GL one: textures of any
    // size up to 4096, 8 stages, 8 lights.
    D3DDEVICEDESC7 caps{};

private:
    DrawRecord snapshot(std::string call) const;

    RecordingPlatform& platform_;
    bool inScene_ = false;
    std::map<DWORD, DWORD> renderStates_;
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates_;
    std::array<IDirectDrawSurface7*, kMaxTextureStages> textures_{};
    std::map<DWORD, D3DMATRIX> transforms_;
    std::map<DWORD, D3DLIGHT7> lights_;
    std::map<DWORD, bool> enabled_;
    D3DMATERIAL7 material_{};
    D3DVIEWPORT7 viewport_{};
    IDirectDrawSurface7* target_ = nullptr;
    std::vector<DrawRecord> draws_;
    std::vector<std::vector<DWORD>> visibility_;
};

class RecordingDirectDraw final : public Recorded<IDirectDraw7> {
public:
    explicit RecordingDirectDraw(RecordingPlatform& platform) : Recorded("ddraw"), platform_(platform) {}
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, void* outer) override;

private:
    RecordingPlatform& platform_;
};

class RecordingDirect3D final : public Recorded<IDirect3D7> {
public:
    explicit RecordingDirect3D(RecordingPlatform& platform) : Recorded("d3d"), platform_(platform) {}
    HRESULT CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer, DWORD flags) override;

private:
    RecordingPlatform& platform_;
};

class RecordingD3DXContext final : public Recorded<ID3DXContext> {
public:
    explicit RecordingD3DXContext(RecordingPlatform& platform) : Recorded("d3dx"), platform_(platform) {}
    IDirectDraw7* GetDD() override;
    IDirect3D7* GetD3D() override;
    IDirect3DDevice7* GetD3DDevice() override;
    IDirectDrawSurface7* GetZBuffer() override;
    IDirectDrawSurface7* GetBackBuffer(DWORD index) override;
    HRESULT UpdateFrame(DWORD flags) override;

private:
    RecordingPlatform& platform_;
};

// The platform's matrix stack with its calls logged.
class RecordingMatrixStack final : public Recorded<ID3DXMatrixStack> {
public:
    explicit RecordingMatrixStack(RecordingPlatform& platform);
    HRESULT Push() override;
    HRESULT Pop() override;
    HRESULT LoadIdentity() override;
    HRESULT LoadMatrix(const D3DMATRIX* m) override;
    HRESULT MultMatrix(const D3DMATRIX* m) override;
    HRESULT MultMatrixLocal(const D3DMATRIX* m) override;
    D3DMATRIX* GetTop() override;

private:
    RecordingPlatform& platform_;
    platform::RefPtr<ID3DXMatrixStack> inner_;
};

// The whole recording platform. Creates a 640 x 480 (or the given size) 32-bit
// back buffer with an attached 32-bit depth buffer, the device and the rest on
// demand through the utility-library entry points of Library().
class RecordingPlatform {
public:
    RecordingPlatform(int width = 640, int height = 480);
    ~RecordingPlatform();
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

    // Entry points for ZK3D::Context::Create(window, library).
    ZK3D::UtilityLibrary Library();
    // Selects the platform's size as the display mode and creates a context on it.
    std::unique_ptr<ZK3D::Context> CreateContext();

    CallLog& log() { return log_; }
    const std::vector<std::string>& calls() const { return log_.calls(); }
    RecordingDevice& device() { return *device_; }
    RecordingD3DXContext& d3dx() { return *d3dx_; }
    RecordingDirectDraw& ddraw() { return *ddraw_; }
    RecordingDirect3D& d3d() { return *d3d_; }
    RecordingSurface& backBuffer() { return *backBuffer_; }
    RecordingSurface& depthBuffer() { return *depthBuffer_; }
    RecordingMatrixStack* matrixStack() const { return stack_; }

    // Every surface and vertex buffer created through the platform, in order.
    const std::vector<RecordingSurface*>& surfaces() const { return surfaces_; }
    const std::vector<RecordingVertexBuffer*>& vertexBuffers() const { return buffers_; }
    // Objects created by the engine (not the platform's own) still referenced.
    std::vector<std::string> Unreleased() const;
    // Frees the objects the engine created and has released since, forgets the
    // draws and clears the log, so one platform can serve any number of runs
    // (fuzzing) without growing. Objects still referenced stay.
    void FreeReleased();

    // Failure injection.
    HRESULT createContextResult = D3D_OK;
    bool withDevice = true;
    bool withBackBuffer = true;
    // Returns true for a surface description whose creation must fail.
    std::function<bool(const DDSURFACEDESC2&)> failSurface;
    bool failVertexBuffers = false;

    // Used by the objects.
    RecordingSurface* NewSurface(const DDSURFACEDESC2& desc, const std::string& name = {});
    RecordingVertexBuffer* NewVertexBuffer(const D3DVERTEXBUFFERDESC& desc);
    int initializeCount = 0;
    int uninitializeCount = 0;

private:
    friend class RecordingD3DXContext;
    CallLog log_;
    std::vector<std::unique_ptr<Counted>> owned_;
    std::vector<RecordingSurface*> surfaces_;
    std::vector<RecordingVertexBuffer*> buffers_;
    RecordingDevice* device_ = nullptr;
    RecordingD3DXContext* d3dx_ = nullptr;
    RecordingDirectDraw* ddraw_ = nullptr;
    RecordingDirect3D* d3d_ = nullptr;
    RecordingSurface* backBuffer_ = nullptr;
    RecordingSurface* depthBuffer_ = nullptr;
    RecordingMatrixStack* stack_ = nullptr;
    size_t ownObjects_ = 0;
    int width_, height_;
};

// Pixel formats as the device lists them.
DDPIXELFORMAT PixelFormatRGB(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a);
DDPIXELFORMAT PixelFormatFourCC(DWORD fourCC);
DDPIXELFORMAT PixelFormatDepth(DWORD bits, DWORD mask);

}  // namespace testing_support

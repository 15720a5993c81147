// The Direct3D 7 device on OpenGL 3.3 core.
//
// Keeps the fixed-function state on the CPU (FfpState); at each draw it derives
// the pipeline key, takes the matching program from its cache (generating and
// compiling it on a miss), sends the shader constants whose state changed since
// that program last saw them, binds textures and samplers, and sets GL state
// through a shadow cache so that unchanged state costs no GL call. Vertices drawn
// from memory and 16-bit indices are streamed through ring buffers; vertex
// buffers upload when their contents changed.
//
// Does not: own the GL context (the D3DX context does, and hands the device a
// way to make it current), present (the context asks Present to copy the back
// buffer into the window), or validate draws against BeginScene / EndScene
// (draws outside a scene still draw; the engine brackets its own).
//
// Threading: the state setters touch only CPU state and may be called from any
// thread; everything that needs GL (draws, clears, render-target changes that
// read back, Present) works only on the thread that made the context and fails
// with DDERR_GENERIC elsewhere.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gl/ffp_state.h"
#include "platform/gl/gl_resources.h"
#include "platform/gl/gl_state_cache.h"
#include "platform/gl_stats.h"
#include "platform/ref_counted.h"

namespace platform::gl {

class Device final : public RefCounted<IDirect3DDevice7> {
public:
    // target: the back buffer (referenced); makeCurrent: makes the owning GL context
    // current on this thread, false when it cannot.
    Device(std::shared_ptr<ResourceHub> hub, Surface* target, std::function<bool()> makeCurrent);

    // GL thread, context current: creates the device's own GL objects.
    bool Initialize(std::string* error);
    // Drops every reference and, when glCurrent, deletes every GL object (GL
    // thread, context current); afterwards GL-touching calls fail.
    void Shutdown(bool glCurrent);
    // Copies the back buffer into the default framebuffer of windowWidth x
    // windowHeight, scaled with its aspect kept (black bars).
    bool Present(Surface* backBuffer, int windowWidth, int windowHeight);
    // A render target at its full GL size (resolved when multisampled) as ARGB,
    // top row first.
    bool ReadGlPixels(Surface* target, std::vector<uint32_t>* pixels, int* width, int* height);
    // Ends a frame: deletes released GL objects, counts the frame.
    void EndFrame();

    GlStats Stats() const;
    void ResetStats();
    // Fragment counting (see CountGlFragments): a query begins with a frame's
    // first draw and ends at FinishFrameCounting, which the context calls before
    // presenting; results are collected as the driver delivers them.
    FragmentCounter CountFragments(bool on);
    void FinishFrameCounting();
    const std::string& Renderer() const { return renderer_; }
    // For creating resources on the device's behalf (texture loading).
    const std::shared_ptr<ResourceHub>& Hub() const { return hub_; }
    // Textures of any size are fine on GL; this makes GetCaps also report the
    // given D3DPTEXTURECAPS_POW2 / SQUAREONLY bits, so that texture creation sizes
    // as it would for such a device. Other bits are ignored.
    void SetTextureRestrictions(DWORD textureCaps);

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

private:
    ~Device() override;

    // Shader constants in groups; each group has a version that moves when its
    // state changes, and each program remembers the versions it was sent.
    enum Group { kTransform, kViewport, kLights, kMaterial, kFog, kFactor, kAlphaRef, kTexMatrix, kGroupCount };

    struct Program {
        GLuint id = 0;
        GLint worldView = -1, projection = -1, normalMatrix = -1, pixelOffset = -1, viewportRect = -1;
        GLint lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightPosition = -1, lightDirection = -1;
        GLint lightAttenuation = -1, lightSpot = -1;
        GLint materialDiffuse = -1, materialAmbient = -1, materialSpecular = -1, materialEmissive = -1;
        GLint materialPower = -1, ambient = -1, fog = -1, fogColor = -1, textureFactor = -1, alphaRef = -1;
        GLint texMatrix = -1;
        int lightCount = 0;
        uint32_t seen[kGroupCount] = {};
    };

    struct StreamBuffer {
        GLuint name = 0;
        size_t size = 0;
        size_t offset = 0;
    };

    bool Ready();
    void Touch(Group group) { ++versions_[group]; }
    void DrainRetired();
    Program* ProgramFor(const FfpKey& key);
    bool Prepare(const FvfLayout& layout, DWORD fvf, GLuint vertexBuffer);
    void ApplyTarget();
    // A rectangle of logical target pixels (x1, y1 inclusive, x2, y2 exclusive)
    // in the target's GL pixels.
    struct PixelRect {
        int x, y, width, height;
    };
    PixelRect ToTargetPixels(LONG x1, LONG y1, LONG x2, LONG y2) const;
    void ApplyRenderStates(bool pretransformed);
    void BindStages(const FfpKey& key);
    void ApplySampler(int stage);
    void UploadConstants(Program& program);
    void SetupAttributes(GLuint buffer, const FvfLayout& layout, DWORD fvf);
    // Appends data to a ring buffer bound at target (orphaning it when full);
    // returns the offset, a multiple of align. SIZE_MAX on failure.
    size_t Stream(StreamBuffer& buffer, GLenum target, const void* data, size_t bytes, size_t align);
    HRESULT DrawCommon(D3DPRIMITIVETYPE type, DWORD fvf, const FvfLayout& layout, GLuint buffer, GLint first,
                       DWORD vertexCount, const WORD* indices, DWORD indexCount);
    uint32_t BoundTextureMask() const;
    void BeginFrameCounting();
    // Adds the results of finished queries to the stats, oldest first; with wait,
    // blocks for the oldest one.
    void CollectQueries(bool wait);

    std::shared_ptr<ResourceHub> hub_;
    std::function<bool()> makeCurrent_;
    bool alive_ = false;
    std::string renderer_;

    FfpState state_;
    Surface* target_ = nullptr;                    // referenced
    double targetScaleX_ = 1, targetScaleY_ = 1;   // GL pixels per logical pixel of the target
    Surface* textures_[kMaxTextureStages] = {};  // referenced
    bool inScene_ = false;

    GlStateCache cache_;
    GlStats stats_;
    uint64_t attributeChanges_ = 0;
    GLuint vao_ = 0;
    StreamBuffer vertexStream_, indexStream_;
    GLuint samplers_[kMaxTextureStages] = {};
    bool samplerDirty_[kMaxTextureStages] = {};
    float maxAnisotropy_ = 1.0f;
    DWORD maxTextureSide_ = 1024;  // the least GL 3.3 promises, until asked
    std::atomic<DWORD> textureRestrictions_{0};

    std::unordered_map<FfpKey, std::unique_ptr<Program>, FfpKeyHash> programs_;
    bool keyDirty_ = true;
    FfpKey key_{};
    DWORD keyFvf_ = 0;
    uint32_t keyTextures_ = 0;
    Program* program_ = nullptr;
    uint32_t versions_[kGroupCount] = {1, 1, 1, 1, 1, 1, 1, 1};

    GLenum fragmentQuery_ = 0;  // query target counting fragments; 0 without one
    bool countFragments_ = false;
    GLuint activeQuery_ = 0;
    std::vector<GLuint> pendingQueries_, freeQueries_;

    GLuint attribBuffer_ = 0;
    DWORD attribFvf_ = 0;
    uint32_t enabledAttribs_ = 0;
};

// The GL device behind an interface pointer, or null for any other device.
Device* AsDevice(IDirect3DDevice7* device);

}  // namespace platform::gl

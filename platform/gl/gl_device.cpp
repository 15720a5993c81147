// The Direct3D 7 device on OpenGL 3.3 core (see gl_device.h).
//
// Sections: lifetime | scene and clear | state setters | render targets |
// drawing | per-draw GL setup | shader constants | queries.
#include "platform/gl/gl_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/gl/ffp_glsl.h"
#include "platform/gl/gl_mapping.h"
#include "platform/report.h"
#include "platform/sphere_visibility.h"

namespace platform::gl {

namespace {

constexpr size_t kVertexStreamSize = size_t(4) << 20;
constexpr size_t kIndexStreamSize = size_t(1) << 20;
constexpr int kAttribCount = kAttribTexture0 + 8;

bool ValidPrimitive(D3DPRIMITIVETYPE type) { return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN; }

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
        case D3DPT_POINTLIST: return GL_POINTS;
        case D3DPT_LINELIST: return GL_LINES;
        case D3DPT_LINESTRIP: return GL_LINE_STRIP;
        case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
        case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
        default: return GL_TRIANGLES;  // callers check ValidPrimitive first
    }
}

GLuint CompileShader(GLenum type, const std::string& source, std::string* log) {
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetShaderInfoLog(shader, sizeof buffer - 1, nullptr, buffer);
        *log = buffer;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

std::string KeyText(const FfpKey& key) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    const auto* p = reinterpret_cast<const uint8_t*>(&key);
    for (size_t i = 0; i < sizeof key; ++i) {
        out += kHex[p[i] >> 4];
        out += kHex[p[i] & 15];
    }
    return out;
}

// Debug builds report any GL error the device's calls raised, naming the step.
void CheckGl([[maybe_unused]] const char* step) {
#ifndef NDEBUG
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        LogError("[GL] GL error 0x%04X after %s", unsigned(error), step);
#endif
}

bool ValidIndices(const WORD* indices, DWORD count, DWORD vertexCount) {
    for (DWORD i = 0; i < count; ++i)
        if (indices[i] >= vertexCount) return false;
    return true;
}

}  // namespace

Device* AsDevice(IDirect3DDevice7* device) { return dynamic_cast<Device*>(device); }

// ---------------------------------------------------------------- lifetime

Device::Device(std::shared_ptr<ResourceHub> hub, Surface* target, std::function<bool()> makeCurrent)
    : hub_(std::move(hub)), makeCurrent_(std::move(makeCurrent)), target_(target) {
    target_->AddRef();
    state_.SetDefaults(DWORD(target->Width()), DWORD(target->Height()), target->AttachedDepth() != nullptr);
    for (bool& d : samplerDirty_) d = true;
}

Device::~Device() {
    // References still held when the context went away without Shutdown.
    if (target_) target_->Release();
    for (Surface*& t : textures_)
        if (t) t->Release();
}

bool Device::Initialize(std::string* error) {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    renderer_ = renderer ? renderer : "";
    glGenVertexArrays(1, &vao_);
    glGenBuffers(1, &vertexStream_.name);
    glGenBuffers(1, &indexStream_.name);
    glGenSamplers(kMaxTextureStages, samplers_);
    if (!vao_ || !vertexStream_.name || !indexStream_.name || !samplers_[0]) {
        if (error) *error = "cannot create the device's GL objects";
        return false;
    }
    cache_.Reset();
    cache_.BindVertexArray(vao_);
    cache_.BindArrayBuffer(vertexStream_.name);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(kVertexStreamSize), nullptr, GL_STREAM_DRAW);
    vertexStream_.size = kVertexStreamSize;
    cache_.BindElementBuffer(indexStream_.name);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(kIndexStreamSize), nullptr, GL_STREAM_DRAW);
    indexStream_.size = kIndexStreamSize;
    for (int i = 0; i < kMaxTextureStages; ++i) cache_.BindSampler(i, samplers_[i]);
    if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
        epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic"))
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    if (maxTexture > 0) maxTextureSide_ = DWORD(std::min(maxTexture, kMaxSurfaceSide));
    // The platform has no gamma-correct path, flat shading takes the first
    // vertex's colours, and CULLMODE culls back faces of the front-face setting.
    if (epoxy_has_gl_extension("GL_ARB_pipeline_statistics_query"))
        fragmentQuery_ = GL_FRAGMENT_SHADER_INVOCATIONS_ARB;
    else
        fragmentQuery_ = GL_SAMPLES_PASSED;
    glDisable(GL_FRAMEBUFFER_SRGB);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glCullFace(GL_BACK);
    glPointSize(1.0f);
    alive_ = true;
    return true;
}

GlStats Device::Stats() const {
    GlStats s = stats_;
    s.stateChanges = cache_.changes + attributeChanges_;
    s.textureBinds = cache_.textureBinds;
    s.programSwitches = cache_.programSwitches;
    return s;
}

void Device::ResetStats() {
    stats_ = GlStats{};
    cache_.changes = cache_.textureBinds = cache_.programSwitches = 0;
    attributeChanges_ = 0;
}

FragmentCounter Device::CountFragments(bool on) {
    countFragments_ = on && fragmentQuery_ != 0;
    if (!fragmentQuery_) return FragmentCounter::kNone;
    return fragmentQuery_ == GL_SAMPLES_PASSED ? FragmentCounter::kSamplesPassed : FragmentCounter::kShaderInvocations;
}

void Device::BeginFrameCounting() {
    if (!countFragments_ || activeQuery_) return;
    if (freeQueries_.empty()) {
        GLuint query = 0;
        glGenQueries(1, &query);
        if (!query) return;
        freeQueries_.push_back(query);
    }
    activeQuery_ = freeQueries_.back();
    freeQueries_.pop_back();
    glBeginQuery(fragmentQuery_, activeQuery_);
}

void Device::FinishFrameCounting() {
    if (!Ready()) return;
    if (activeQuery_) {
        glEndQuery(fragmentQuery_);
        pendingQueries_.push_back(activeQuery_);
        activeQuery_ = 0;
    }
    // A driver that never reports on its own is not allowed to pile queries up.
    CollectQueries(pendingQueries_.size() > 4);
}

void Device::CollectQueries(bool wait) {
    size_t done = 0;
    for (; done < pendingQueries_.size(); ++done) {
        const GLuint query = pendingQueries_[done];
        GLuint available = wait && done == 0 ? GL_TRUE : GL_FALSE;  // reading the result waits for it
        if (!available) glGetQueryObjectuiv(query, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available) break;
        GLuint64 count = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &count);
        stats_.fragments += count;
        freeQueries_.push_back(query);
    }
    pendingQueries_.erase(pendingQueries_.begin(), pendingQueries_.begin() + ptrdiff_t(done));
}

void Device::Shutdown(bool glCurrent) {
    if (!alive_) return;
    alive_ = false;
    for (Surface*& t : textures_) {
        if (t) t->Release();
        t = nullptr;
    }
    if (target_) target_->Release();
    target_ = nullptr;
    program_ = nullptr;
    if (!glCurrent) {
        programs_.clear();
        return;
    }
    if (activeQuery_) {
        glEndQuery(fragmentQuery_);
        freeQueries_.push_back(activeQuery_);
        activeQuery_ = 0;
    }
    freeQueries_.insert(freeQueries_.end(), pendingQueries_.begin(), pendingQueries_.end());
    pendingQueries_.clear();
    if (!freeQueries_.empty()) glDeleteQueries(GLsizei(freeQueries_.size()), freeQueries_.data());
    freeQueries_.clear();
    for (auto& entry : programs_)
        if (entry.second && entry.second->id) glDeleteProgram(entry.second->id);
    programs_.clear();
    glDeleteSamplers(kMaxTextureStages, samplers_);
    glDeleteBuffers(1, &vertexStream_.name);
    glDeleteBuffers(1, &indexStream_.name);
    glDeleteVertexArrays(1, &vao_);
    DrainRetired();
}

bool Device::Ready() { return alive_ && hub_->OnGlThread() && makeCurrent_(); }

void Device::DrainRetired() {
    ResourceHub::Retired r = hub_->TakeRetired();
    for (GLuint t : r.textures) cache_.Forget(t, 0);
    for (GLuint b : r.buffers) {
        cache_.Forget(0, b);
        if (attribBuffer_ == b) attribBuffer_ = 0;
    }
    for (GLuint f : r.framebuffers) cache_.ForgetFramebuffer(f);
    if (!r.textures.empty()) glDeleteTextures(GLsizei(r.textures.size()), r.textures.data());
    if (!r.buffers.empty()) glDeleteBuffers(GLsizei(r.buffers.size()), r.buffers.data());
    if (!r.framebuffers.empty()) glDeleteFramebuffers(GLsizei(r.framebuffers.size()), r.framebuffers.data());
    if (!r.renderbuffers.empty()) glDeleteRenderbuffers(GLsizei(r.renderbuffers.size()), r.renderbuffers.data());
}

void Device::EndFrame() {
    if (!Ready()) return;
    DrainRetired();
    CollectQueries(false);
    ++stats_.frames;
}

bool Device::Present(Surface* backBuffer, int windowWidth, int windowHeight) {
    if (!Ready() || windowWidth <= 0 || windowHeight <= 0) return false;
    uint64_t uploads = 0;
    const GLuint source = backBuffer->EnsureResolvedFramebuffer(cache_, &uploads);
    stats_.textureUploads += uploads;
    if (!source) return false;
    const int w = backBuffer->GlWidth(), h = backBuffer->GlHeight();
    // Largest rectangle of the back buffer's aspect that fits, centred.
    const double scale = std::min(double(windowWidth) / w, double(windowHeight) / h);
    const int rw = std::max(1, int(std::lround(w * scale))), rh = std::max(1, int(std::lround(h * scale)));
    const int rx = (windowWidth - rw) / 2, ry = (windowHeight - rh) / 2;
    cache_.BindDrawFramebuffer(0);
    cache_.Enable(GL_SCISSOR_TEST, false);
    cache_.ColorMask(true, true, true, true);
    cache_.ClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    // The back buffer's row 0 is its top row; the window's row 0 is its bottom.
    glBlitFramebuffer(0, 0, w, h, rx, ry + rh, rx + rw, ry, GL_COLOR_BUFFER_BIT,
                      rw == w && rh == h ? GL_NEAREST : GL_LINEAR);
    CheckGl("presenting");
    return true;
}

bool Device::ReadGlPixels(Surface* target, std::vector<uint32_t>* pixels, int* width, int* height) {
    if (!Ready() || !target || !pixels) return false;
    uint64_t uploads = 0;
    const GLuint source = target->EnsureResolvedFramebuffer(cache_, &uploads);
    stats_.textureUploads += uploads;
    if (!source) return false;
    const int w = target->GlWidth(), h = target->GlHeight();
    pixels->resize(size_t(w) * size_t(h));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    // Targets keep their top row at GL row 0: no flip.
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels->data());
    if (!HasAlpha(target->Storage().format))
        for (uint32_t& p : *pixels) p |= 0xFF000000u;
    *width = w;
    *height = h;
    return glGetError() == GL_NO_ERROR;
}

// ---------------------------------------------------------------- scene and clear

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_SCENE_IN_SCENE;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
    inScene_ = false;
    if (Ready()) DrainRetired();
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD /*stencil*/) {
    if (count && !rects) return DDERR_INVALIDPARAMS;
    if (!Ready()) return DDERR_GENERIC;
    const bool hasDepth = target_->AttachedDepth() != nullptr;
    if ((flags & D3DCLEAR_ZBUFFER) && !hasDepth && !(flags & D3DCLEAR_TARGET)) return D3DERR_ZBUFFER_NOTPRESENT;
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if ((flags & D3DCLEAR_ZBUFFER) && hasDepth) bits |= GL_DEPTH_BUFFER_BIT;
    if (!bits) return D3D_OK;
    ApplyTarget();
    float rgba[4];
    UnpackColor(color, rgba);
    cache_.ClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    cache_.ClearDepth(std::clamp(z, 0.0f, 1.0f));
    cache_.ColorMask(true, true, true, HasAlpha(target_->Storage().format));
    if (bits & GL_DEPTH_BUFFER_BIT) cache_.DepthMask(true);
    cache_.Enable(GL_SCISSOR_TEST, true);
    // Rectangles are in target pixels, clipped to the viewport.
    const D3DVIEWPORT7& vp = state_.viewport;
    const D3DRECT whole = {LONG(vp.dwX), LONG(vp.dwY), LONG(vp.dwX + vp.dwWidth), LONG(vp.dwY + vp.dwHeight)};
    const DWORD n = count ? count : 1;
    for (DWORD i = 0; i < n; ++i) {
        const D3DRECT& r = count ? rects[i] : whole;
        const LONG x1 = std::max(r.x1, whole.x1), y1 = std::max(r.y1, whole.y1);
        const LONG x2 = std::min(r.x2, whole.x2), y2 = std::min(r.y2, whole.y2);
        if (x2 <= x1 || y2 <= y1) continue;
        const PixelRect p = ToTargetPixels(x1, y1, x2, y2);
        cache_.Scissor(p.x, p.y, p.width, p.height);
        glClear(bits);
    }
    cache_.Enable(GL_SCISSOR_TEST, false);
    CheckGl("a clear");
    target_->MarkDrawn();
    return D3D_OK;
}

// ---------------------------------------------------------------- state setters

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (DWORD(state) >= kRenderStateCount) return DDERR_INVALIDPARAMS;
    DWORD& slot = state_.render[state];
    if (slot == value) return D3D_OK;
    slot = value;
    switch (state) {
        case D3DRENDERSTATE_AMBIENT: Touch(kMaterial); break;
        case D3DRENDERSTATE_FOGCOLOR:
        case D3DRENDERSTATE_FOGSTART:
        case D3DRENDERSTATE_FOGEND:
        case D3DRENDERSTATE_FOGDENSITY: Touch(kFog); break;
        case D3DRENDERSTATE_TEXTUREFACTOR: Touch(kFactor); break;
        case D3DRENDERSTATE_ALPHAREF: Touch(kAlphaRef); break;
        case D3DRENDERSTATE_ZENABLE:
        case D3DRENDERSTATE_FILLMODE:
        case D3DRENDERSTATE_ZWRITEENABLE:
        case D3DRENDERSTATE_SRCBLEND:
        case D3DRENDERSTATE_DESTBLEND:
        case D3DRENDERSTATE_CULLMODE:
        case D3DRENDERSTATE_ZFUNC:
        case D3DRENDERSTATE_DITHERENABLE:
        case D3DRENDERSTATE_ALPHABLENDENABLE:
        case D3DRENDERSTATE_CLIPPING: break;  // GL state, compared at each draw
        default: keyDirty_ = true; break;
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (DWORD(state) >= kRenderStateCount || !value) return DDERR_INVALIDPARAMS;
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (stage >= kMaxTextureStages || DWORD(state) >= kStageStateCount) return DDERR_INVALIDPARAMS;
    DWORD* s = state_.stage[stage];
    if (state == D3DTSS_ADDRESS) {
        s[D3DTSS_ADDRESSU] = s[D3DTSS_ADDRESSV] = value;
        samplerDirty_[stage] = true;
    }
    if (s[state] == value) return D3D_OK;
    s[state] = value;
    switch (state) {
        case D3DTSS_ADDRESS:
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
        case D3DTSS_BORDERCOLOR:
        case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER:
        case D3DTSS_MIPFILTER:
        case D3DTSS_MIPMAPLODBIAS:
        case D3DTSS_MAXMIPLEVEL:
        case D3DTSS_MAXANISOTROPY: samplerDirty_[stage] = true; break;
        default: keyDirty_ = true; break;
    }
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) {
    if (stage >= kMaxTextureStages || DWORD(state) >= kStageStateCount || !value) return DDERR_INVALIDPARAMS;
    *value = state_.stage[stage][state];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
    if (stage >= kMaxTextureStages) return DDERR_INVALIDPARAMS;
    Surface* surface = nullptr;
    if (texture) {
        surface = AsSurface(texture);
        if (!surface || surface->Storage().kind == SurfaceKind::Depth) return DDERR_INVALIDPARAMS;
        if (surface->Storage().hub != hub_) return DDERR_DEVICEDOESNTOWNSURFACE;
    }
    if (textures_[stage] == surface) return D3D_OK;
    if (surface) surface->AddRef();
    if (textures_[stage]) textures_[stage]->Release();
    textures_[stage] = surface;
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return DDERR_INVALIDPARAMS;
    switch (state) {
        case D3DTRANSFORMSTATE_WORLD: state_.world = *matrix; Touch(kTransform); return D3D_OK;
        case D3DTRANSFORMSTATE_VIEW:
            state_.view = *matrix;
            Touch(kTransform);
            Touch(kLights);  // lights move to camera space with the view
            return D3D_OK;
        case D3DTRANSFORMSTATE_PROJECTION: state_.projection = *matrix; Touch(kTransform); return D3D_OK;
        default:
            if (state >= D3DTRANSFORMSTATE_TEXTURE0 && state < D3DTRANSFORMSTATE_TEXTURE0 + kMaxTextureStages) {
                state_.texture[state - D3DTRANSFORMSTATE_TEXTURE0] = *matrix;
                Touch(kTexMatrix);
                return D3D_OK;
            }
            // WORLD1..3 (vertex blending) are accepted and unused.
            return state >= 4 && state <= 6 ? D3D_OK : DDERR_INVALIDPARAMS;
    }
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return DDERR_INVALIDPARAMS;
    switch (state) {
        case D3DTRANSFORMSTATE_WORLD: *matrix = state_.world; return D3D_OK;
        case D3DTRANSFORMSTATE_VIEW: *matrix = state_.view; return D3D_OK;
        case D3DTRANSFORMSTATE_PROJECTION: *matrix = state_.projection; return D3D_OK;
        default:
            if (state >= D3DTRANSFORMSTATE_TEXTURE0 && state < D3DTRANSFORMSTATE_TEXTURE0 + kMaxTextureStages) {
                *matrix = state_.texture[state - D3DTRANSFORMSTATE_TEXTURE0];
                return D3D_OK;
            }
            return DDERR_INVALIDPARAMS;
    }
}

HRESULT Device::SetViewport(D3DVIEWPORT7* viewport) {
    if (!viewport || !target_) return DDERR_INVALIDPARAMS;
    const D3DVIEWPORT7& v = *viewport;
    const uint64_t right = uint64_t(v.dwX) + v.dwWidth, bottom = uint64_t(v.dwY) + v.dwHeight;
    if (v.dwWidth == 0 || v.dwHeight == 0 || right > uint64_t(target_->Width()) ||
        bottom > uint64_t(target_->Height()) || !(v.dvMinZ >= 0.0f && v.dvMinZ <= 1.0f) ||
        !(v.dvMaxZ >= 0.0f && v.dvMaxZ <= 1.0f))
        return DDERR_INVALIDPARAMS;
    state_.viewport = v;
    Touch(kViewport);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT7* viewport) {
    if (!viewport) return DDERR_INVALIDPARAMS;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(D3DMATERIAL7* material) {
    if (!material) return DDERR_INVALIDPARAMS;
    state_.material = *material;
    Touch(kMaterial);
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, D3DLIGHT7* light) {
    if (!light || index >= kLightSlots) return DDERR_INVALIDPARAMS;
    if (light->dltType < D3DLIGHT_POINT || light->dltType > D3DLIGHT_DIRECTIONAL) return DDERR_INVALIDPARAMS;
    if (state_.lights[index].dltType != light->dltType && state_.lightEnabled[index]) keyDirty_ = true;
    state_.lights[index] = *light;
    Touch(kLights);
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    if (index >= kLightSlots) return DDERR_INVALIDPARAMS;
    const bool on = enable != FALSE;
    if (state_.lightEnabled[index] == on) return D3D_OK;
    if (on) {
        int enabled = 0;
        for (bool e : state_.lightEnabled) enabled += e;
        if (enabled >= kMaxLights) return D3DERR_LIGHT_SET_FAILED;
        D3DLIGHT7& l = state_.lights[index];
        if (l.dltType == 0) {  // never set: a white directional light along +z
            l = D3DLIGHT7{};
            l.dltType = D3DLIGHT_DIRECTIONAL;
            l.dcvDiffuse = {1, 1, 1, 0};
            l.dvDirection = {0, 0, 1};
        }
    }
    state_.lightEnabled[index] = on;
    keyDirty_ = true;
    Touch(kLights);
    return D3D_OK;
}

// ---------------------------------------------------------------- render targets

HRESULT Device::SetRenderTarget(IDirectDrawSurface7* target, DWORD /*flags*/) {
    Surface* surface = AsSurface(target);
    if (!surface || surface->Storage().kind != SurfaceKind::RenderTarget) return DDERR_INVALIDPARAMS;
    if (surface->Storage().hub != hub_) return DDERR_DEVICEDOESNTOWNSURFACE;
    if (!alive_) return DDERR_GENERIC;
    if (surface != target_) {
        surface->AddRef();
        if (target_) target_->Release();
        target_ = surface;
    }
    // The viewport starts as the whole new target; callers set their own after.
    state_.viewport = {0, 0, DWORD(surface->Width()), DWORD(surface->Height()), state_.viewport.dvMinZ,
                       state_.viewport.dvMaxZ};
    Touch(kViewport);
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(IDirectDrawSurface7** target) {
    if (!target) return DDERR_INVALIDPARAMS;
    *target = target_;
    if (target_) target_->AddRef();
    return target_ ? D3D_OK : DDERR_NOTFOUND;
}

// ---------------------------------------------------------------- drawing

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, DWORD /*flags*/) {
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid) return D3DERR_INVALIDVERTEXFORMAT;
    if (!ValidPrimitive(type)) return D3DERR_INVALIDPRIMITIVETYPE;
    if (vertexCount == 0) return D3D_OK;
    if (!vertices) return DDERR_INVALIDPARAMS;
    if (!Ready()) return DDERR_GENERIC;
    const size_t bytes = size_t(layout.stride) * vertexCount;
    const size_t offset = Stream(vertexStream_, GL_ARRAY_BUFFER, vertices, bytes, size_t(layout.stride));
    if (offset == SIZE_MAX) return DDERR_OUTOFMEMORY;
    return DrawCommon(type, fvf, layout, vertexStream_.name, GLint(offset / size_t(layout.stride)), vertexCount,
                      nullptr, 0);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                     WORD* indices, DWORD indexCount, DWORD /*flags*/) {
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid) return D3DERR_INVALIDVERTEXFORMAT;
    if (!ValidPrimitive(type)) return D3DERR_INVALIDPRIMITIVETYPE;
    if (vertexCount == 0 || indexCount == 0) return D3D_OK;
    if (!vertices || !indices) return DDERR_INVALIDPARAMS;
    if (!ValidIndices(indices, indexCount, vertexCount)) return DDERR_INVALIDPARAMS;
    if (!Ready()) return DDERR_GENERIC;
    const size_t bytes = size_t(layout.stride) * vertexCount;
    const size_t offset = Stream(vertexStream_, GL_ARRAY_BUFFER, vertices, bytes, size_t(layout.stride));
    if (offset == SIZE_MAX) return DDERR_OUTOFMEMORY;
    return DrawCommon(type, fvf, layout, vertexStream_.name, GLint(offset / size_t(layout.stride)), vertexCount,
                      indices, indexCount);
}

HRESULT Device::DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                                DWORD vertexCount, DWORD /*flags*/) {
    VertexBuffer* vb = AsVertexBuffer(buffer);
    if (!vb || !vb->OwnedBy(hub_)) return DDERR_INVALIDPARAMS;
    const FvfLayout layout = DecodeFvf(vb->Fvf());
    if (!layout.valid) return D3DERR_INVALIDVERTEXFORMAT;
    if (!ValidPrimitive(type)) return D3DERR_INVALIDPRIMITIVETYPE;
    if (uint64_t(startVertex) + vertexCount > vb->VertexCount()) return DDERR_INVALIDPARAMS;
    if (vertexCount == 0) return D3D_OK;
    if (vb->Locked()) return D3DERR_VERTEXBUFFERLOCKED;
    if (!Ready()) return DDERR_GENERIC;
    const GLuint name = vb->EnsureBuffer(cache_, &stats_.bufferUploads);
    if (!name) return DDERR_OUTOFMEMORY;
    return DrawCommon(type, vb->Fvf(), layout, name, GLint(startVertex), vertexCount, nullptr, 0);
}

HRESULT Device::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                                       DWORD vertexCount, WORD* indices, DWORD indexCount, DWORD /*flags*/) {
    VertexBuffer* vb = AsVertexBuffer(buffer);
    if (!vb || !vb->OwnedBy(hub_)) return DDERR_INVALIDPARAMS;
    const FvfLayout layout = DecodeFvf(vb->Fvf());
    if (!layout.valid) return D3DERR_INVALIDVERTEXFORMAT;
    if (!ValidPrimitive(type)) return D3DERR_INVALIDPRIMITIVETYPE;
    if (uint64_t(startVertex) + vertexCount > vb->VertexCount()) return DDERR_INVALIDPARAMS;
    if (vertexCount == 0 || indexCount == 0) return D3D_OK;
    if (!indices || !ValidIndices(indices, indexCount, vertexCount)) return DDERR_INVALIDPARAMS;
    if (vb->Locked()) return D3DERR_VERTEXBUFFERLOCKED;
    if (!Ready()) return DDERR_GENERIC;
    const GLuint name = vb->EnsureBuffer(cache_, &stats_.bufferUploads);
    if (!name) return DDERR_OUTOFMEMORY;
    return DrawCommon(type, vb->Fvf(), layout, name, GLint(startVertex), vertexCount, indices, indexCount);
}

HRESULT Device::DrawCommon(D3DPRIMITIVETYPE type, DWORD fvf, const FvfLayout& layout, GLuint buffer, GLint first,
                           DWORD vertexCount, const WORD* indices, DWORD indexCount) {
    size_t indexOffset = 0;
    if (indices) {
        cache_.BindVertexArray(vao_);
        indexOffset = Stream(indexStream_, GL_ELEMENT_ARRAY_BUFFER, indices, size_t(indexCount) * 2, 2);
        if (indexOffset == SIZE_MAX) return DDERR_OUTOFMEMORY;
    }
    if (!Prepare(layout, fvf, buffer)) return DDERR_GENERIC;
    const GLenum mode = PrimitiveMode(type);
    if (indices)
        glDrawElementsBaseVertex(mode, GLsizei(indexCount), GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(indexOffset), first);
    else
        glDrawArrays(mode, first, GLsizei(vertexCount));
    ++stats_.drawCalls;
    const DWORD count = indices ? indexCount : vertexCount;
    if (type == D3DPT_TRIANGLELIST)
        stats_.triangles += count / 3;
    else if ((type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN) && count >= 3)
        stats_.triangles += count - 2;
    CheckGl("a draw");
    target_->MarkDrawn();
    return D3D_OK;
}

size_t Device::Stream(StreamBuffer& b, GLenum target, const void* data, size_t bytes, size_t align) {
    if (target == GL_ARRAY_BUFFER)
        cache_.BindArrayBuffer(b.name);
    else
        cache_.BindElementBuffer(b.name);
    size_t offset = (b.offset + align - 1) / align * align;
    if (offset + bytes > b.size) {
        // Orphan the storage: draws still using the old contents keep them.
        b.size = std::max(b.size, bytes);
        glBufferData(target, GLsizeiptr(b.size), nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    void* p = glMapBufferRange(target, GLintptr(offset), GLsizeiptr(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (!p) return SIZE_MAX;
    std::memcpy(p, data, bytes);
    glUnmapBuffer(target);
    b.offset = offset + bytes;
    return offset;
}

// ---------------------------------------------------------------- per-draw GL setup

uint32_t Device::BoundTextureMask() const {
    uint32_t mask = 0;
    for (int i = 0; i < kMaxTextureStages; ++i)
        if (textures_[i]) mask |= 1u << i;
    return mask;
}

bool Device::Prepare(const FvfLayout& layout, DWORD fvf, GLuint vertexBuffer) {
    DrainRetired();
    BeginFrameCounting();
    ApplyTarget();
    ApplyRenderStates(layout.pretransformed);
    const uint32_t bound = BoundTextureMask();
    if (keyDirty_ || fvf != keyFvf_ || bound != keyTextures_ || !program_) {
        const FfpKey key = DeriveKey(state_, layout, bound);
        keyFvf_ = fvf;
        keyTextures_ = bound;
        keyDirty_ = false;
        if (!program_ || !(key == key_)) {
            key_ = key;
            program_ = ProgramFor(key);
        }
    }
    if (!program_) return false;
    BindStages(key_);
    cache_.UseProgram(program_->id);
    UploadConstants(*program_);
    SetupAttributes(vertexBuffer, layout, fvf);
    return true;
}

void Device::ApplyTarget() {
    uint64_t uploads = 0;
    const GLuint framebuffer = target_->EnsureFramebuffer(cache_, &uploads);
    stats_.textureUploads += uploads;
    cache_.BindDrawFramebuffer(framebuffer);
    // The target's GL size may differ from its logical one (a higher rendering
    // resolution): the viewport and the half-pixel offset follow it.
    const double sx = double(target_->GlWidth()) / target_->Width();
    const double sy = double(target_->GlHeight()) / target_->Height();
    if (sx != targetScaleX_ || sy != targetScaleY_) {
        targetScaleX_ = sx;
        targetScaleY_ = sy;
        Touch(kViewport);
    }
    const D3DVIEWPORT7& v = state_.viewport;
    const PixelRect p = ToTargetPixels(LONG(v.dwX), LONG(v.dwY), LONG(v.dwX + v.dwWidth), LONG(v.dwY + v.dwHeight));
    cache_.Viewport(p.x, p.y, p.width, p.height);
}

Device::PixelRect Device::ToTargetPixels(LONG x1, LONG y1, LONG x2, LONG y2) const {
    const auto at = [](LONG v, double scale) { return int(std::lround(double(v) * scale)); };
    const int left = at(x1, targetScaleX_), top = at(y1, targetScaleY_);
    return {left, top, std::max(1, at(x2, targetScaleX_) - left), std::max(1, at(y2, targetScaleY_) - top)};
}

void Device::ApplyRenderStates(bool pretransformed) {
    const DWORD* rs = state_.render;
    const bool depth = rs[D3DRENDERSTATE_ZENABLE] != FALSE && target_->AttachedDepth();
    cache_.Enable(GL_DEPTH_TEST, depth);
    if (depth) {
        cache_.DepthFunc(MapCompare(rs[D3DRENDERSTATE_ZFUNC], GL_LEQUAL));
        cache_.DepthMask(rs[D3DRENDERSTATE_ZWRITEENABLE] != FALSE);
    }
    const bool blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != FALSE;
    cache_.Enable(GL_BLEND, blend);
    if (blend) {
        const BlendSetting b = MapBlend(rs[D3DRENDERSTATE_SRCBLEND], rs[D3DRENDERSTATE_DESTBLEND]);
        cache_.BlendFunc(b.source, b.destination);
    }
    const CullSetting cull = MapCull(rs[D3DRENDERSTATE_CULLMODE]);
    cache_.Enable(GL_CULL_FACE, cull.enabled);
    if (cull.enabled) cache_.FrontFace(cull.frontFace);
    const DWORD fill = rs[D3DRENDERSTATE_FILLMODE];
    cache_.PolygonMode(fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    cache_.Enable(GL_DITHER, rs[D3DRENDERSTATE_DITHERENABLE] != FALSE);
    cache_.Enable(GL_SCISSOR_TEST, false);
    cache_.ColorMask(true, true, true, HasAlpha(target_->Storage().format));
    // Pre-transformed depth is final: no viewport depth range, and z = 1 is not clipped.
    cache_.Enable(GL_DEPTH_CLAMP, pretransformed);
    if (pretransformed)
        cache_.DepthRange(0.0f, 1.0f);
    else
        cache_.DepthRange(state_.viewport.dvMinZ, state_.viewport.dvMaxZ);
}

void Device::BindStages(const FfpKey& key) {
    for (int i = 0; i < key.stageCount; ++i) {
        if (!key.stages[i].sampled || !textures_[i]) continue;
        const GLuint texture = textures_[i]->EnsureTexture(cache_, &stats_.textureUploads);
        cache_.BindTexture(i, texture);
        if (samplerDirty_[i]) ApplySampler(i);
    }
}

void Device::ApplySampler(int stage) {
    const SamplerSetting s = MapSampler(state_.stage[stage]);
    const GLuint sampler = samplers_[stage];
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(s.minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GLint(s.magFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(s.wrapS));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(s.wrapT));
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, s.borderColor);
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, s.lodBias);
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, s.minLod);
    if (maxAnisotropy_ > 1.0f)
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(s.anisotropy, maxAnisotropy_));
    cache_.changes += 7;
    samplerDirty_[stage] = false;
}

void Device::SetupAttributes(GLuint buffer, const FvfLayout& l, DWORD fvf) {
    cache_.BindVertexArray(vao_);
    if (attribBuffer_ == buffer && attribFvf_ == fvf) return;
    cache_.BindArrayBuffer(buffer);
    uint32_t wanted = 0;
    const auto pointer = [&](int location, GLint size, GLenum type, bool normalized, int offset) {
        glVertexAttribPointer(GLuint(location), size, type, normalized ? GL_TRUE : GL_FALSE, l.stride,
                              reinterpret_cast<const void*>(intptr_t(offset)));
        wanted |= 1u << location;
        ++attributeChanges_;
    };
    pointer(kAttribPosition, l.pretransformed ? 4 : 3, GL_FLOAT, false, l.position);
    if (l.normal >= 0) pointer(kAttribNormal, 3, GL_FLOAT, false, l.normal);
    // D3DCOLOR is B, G, R, A in memory: GL_BGRA delivers it as (r, g, b, a).
    if (l.diffuse >= 0) pointer(kAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, true, l.diffuse);
    if (l.specular >= 0) pointer(kAttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, true, l.specular);
    for (int k = 0; k < l.texCount; ++k) pointer(kAttribTexture0 + k, l.texSize[k], GL_FLOAT, false, l.texOffset[k]);
    for (int i = 0; i < kAttribCount; ++i) {
        const uint32_t bit = 1u << i;
        if ((wanted & bit) == (enabledAttribs_ & bit)) continue;
        (wanted & bit) ? glEnableVertexAttribArray(GLuint(i)) : glDisableVertexAttribArray(GLuint(i));
        ++attributeChanges_;
    }
    enabledAttribs_ = wanted;
    attribBuffer_ = buffer;
    attribFvf_ = fvf;
}

Device::Program* Device::ProgramFor(const FfpKey& key) {
    const auto found = programs_.find(key);
    if (found != programs_.end()) return found->second.get();
    ++stats_.shaderCacheMisses;
    auto program = std::make_unique<Program>();
    std::string log;
    const GLuint vs = CompileShader(GL_VERTEX_SHADER, GenerateVertexShader(key), &log);
    const GLuint fs = vs ? CompileShader(GL_FRAGMENT_SHADER, GenerateFragmentShader(key), &log) : 0;
    if (!vs || !fs) {
        LogError("[GL] Shader compilation failed for pipeline %s: %s", KeyText(key).c_str(), log.c_str());
        if (vs) glDeleteShader(vs);
        programs_[key] = nullptr;  // do not retry every draw
        return nullptr;
    }
    const GLuint id = glCreateProgram();
    glAttachShader(id, vs);
    glAttachShader(id, fs);
    glLinkProgram(id);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetProgramInfoLog(id, sizeof buffer - 1, nullptr, buffer);
        LogError("[GL] Shader link failed for pipeline %s: %s", KeyText(key).c_str(), buffer);
        glDeleteProgram(id);
        programs_[key] = nullptr;
        return nullptr;
    }
    Program& p = *program;
    p.id = id;
    const auto at = [id](const char* name) { return glGetUniformLocation(id, name); };
    p.worldView = at("uWorldView");
    p.projection = at("uProjection");
    p.normalMatrix = at("uNormalMatrix");
    p.pixelOffset = at("uPixelOffset");
    p.viewportRect = at("uViewportRect");
    p.lightDiffuse = at("uLightDiffuse");
    p.lightSpecular = at("uLightSpecular");
    p.lightAmbient = at("uLightAmbient");
    p.lightPosition = at("uLightPosition");
    p.lightDirection = at("uLightDirection");
    p.lightAttenuation = at("uLightAttenuation");
    p.lightSpot = at("uLightSpot");
    p.materialDiffuse = at("uMaterialDiffuse");
    p.materialAmbient = at("uMaterialAmbient");
    p.materialSpecular = at("uMaterialSpecular");
    p.materialEmissive = at("uMaterialEmissive");
    p.materialPower = at("uMaterialPower");
    p.ambient = at("uAmbient");
    p.fog = at("uFog");
    p.fogColor = at("uFogColor");
    p.textureFactor = at("uTextureFactor");
    p.alphaRef = at("uAlphaRef");
    p.texMatrix = at("uTexMatrix");
    while (p.lightCount < kMaxLights && key.lightType[p.lightCount]) ++p.lightCount;
    cache_.UseProgram(id);
    for (int i = 0; i < kMaxTextureStages; ++i) {
        const std::string name = "uSampler" + std::to_string(i);
        const GLint location = at(name.c_str());
        if (location >= 0) glUniform1i(location, i);
    }
    Program* result = program.get();
    programs_[key] = std::move(program);
    return result;
}

// ---------------------------------------------------------------- shader constants

void Device::UploadConstants(Program& p) {
    const auto stale = [&](Group g) {
        if (p.seen[g] == versions_[g]) return false;
        p.seen[g] = versions_[g];
        ++stats_.uniformUploads;
        return true;
    };
    if (stale(kTransform)) {
        const D3DMATRIX worldView = D3DMatrixMultiply(state_.world, state_.view);
        if (p.worldView >= 0) glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView._11);
        if (p.projection >= 0) glUniformMatrix4fv(p.projection, 1, GL_FALSE, &state_.projection._11);
        if (p.normalMatrix >= 0) {
            float normal[9];
            NormalMatrix(worldView, normal);
            glUniformMatrix3fv(p.normalMatrix, 1, GL_TRUE, normal);
        }
    }
    if (stale(kViewport)) {
        float rect[4], offset[2];
        ViewportUniforms(state_.viewport, targetScaleX_, targetScaleY_, rect, offset);
        if (p.viewportRect >= 0) glUniform4fv(p.viewportRect, 1, rect);
        if (p.pixelOffset >= 0) glUniform2fv(p.pixelOffset, 1, offset);
    }
    if (stale(kLights) && p.lightCount > 0) {
        int active[kMaxLights];
        const int n = std::min(ActiveLights(state_, active), p.lightCount);
        float diffuse[4 * kMaxLights], specular[4 * kMaxLights], ambient[4 * kMaxLights];
        float position[3 * kMaxLights], direction[3 * kMaxLights], attenuation[4 * kMaxLights], spot[3 * kMaxLights];
        const D3DMATRIX& v = state_.view;
        for (int i = 0; i < n; ++i) {
            const D3DLIGHT7& l = state_.lights[active[i]];
            std::memcpy(&diffuse[4 * i], &l.dcvDiffuse, 16);
            std::memcpy(&specular[4 * i], &l.dcvSpecular, 16);
            std::memcpy(&ambient[4 * i], &l.dcvAmbient, 16);
            const D3DVECTOR& p3 = l.dvPosition;
            position[3 * i] = p3.x * v._11 + p3.y * v._21 + p3.z * v._31 + v._41;
            position[3 * i + 1] = p3.x * v._12 + p3.y * v._22 + p3.z * v._32 + v._42;
            position[3 * i + 2] = p3.x * v._13 + p3.y * v._23 + p3.z * v._33 + v._43;
            const D3DVECTOR& d = l.dvDirection;
            float dir[3] = {d.x * v._11 + d.y * v._21 + d.z * v._31, d.x * v._12 + d.y * v._22 + d.z * v._32,
                            d.x * v._13 + d.y * v._23 + d.z * v._33};
            const float length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
            for (float& c : dir) c = length > 0 ? c / length : 0;
            std::memcpy(&direction[3 * i], dir, sizeof dir);
            attenuation[4 * i] = l.dvAttenuation0;
            attenuation[4 * i + 1] = l.dvAttenuation1;
            attenuation[4 * i + 2] = l.dvAttenuation2;
            attenuation[4 * i + 3] = l.dvRange;
            const float theta = std::clamp(l.dvTheta, 0.0f, std::numbers::pi_v<float>);
            const float phi = std::clamp(l.dvPhi, theta, std::numbers::pi_v<float>);
            spot[3 * i] = std::cos(theta / 2);
            spot[3 * i + 1] = std::cos(phi / 2);
            spot[3 * i + 2] = l.dvFalloff;
        }
        if (n > 0) {
            glUniform4fv(p.lightDiffuse, n, diffuse);
            glUniform4fv(p.lightSpecular, n, specular);
            glUniform4fv(p.lightAmbient, n, ambient);
            if (p.lightPosition >= 0) glUniform3fv(p.lightPosition, n, position);
            if (p.lightDirection >= 0) glUniform3fv(p.lightDirection, n, direction);
            if (p.lightAttenuation >= 0) glUniform4fv(p.lightAttenuation, n, attenuation);
            if (p.lightSpot >= 0) glUniform3fv(p.lightSpot, n, spot);
        }
    }
    if (stale(kMaterial)) {
        const D3DMATERIAL7& m = state_.material;
        if (p.materialDiffuse >= 0) glUniform4fv(p.materialDiffuse, 1, &m.dcvDiffuse.r);
        if (p.materialAmbient >= 0) glUniform4fv(p.materialAmbient, 1, &m.dcvAmbient.r);
        if (p.materialSpecular >= 0) glUniform4fv(p.materialSpecular, 1, &m.dcvSpecular.r);
        if (p.materialEmissive >= 0) glUniform4fv(p.materialEmissive, 1, &m.dcvEmissive.r);
        if (p.materialPower >= 0) glUniform1f(p.materialPower, m.dvPower);
        if (p.ambient >= 0) {
            float ambient[4];
            UnpackColor(state_.render[D3DRENDERSTATE_AMBIENT], ambient);
            glUniform3fv(p.ambient, 1, ambient);
        }
    }
    if (stale(kFog)) {
        const float start = BitsFloat(state_.render[D3DRENDERSTATE_FOGSTART]);
        const float end = BitsFloat(state_.render[D3DRENDERSTATE_FOGEND]);
        const float density = BitsFloat(state_.render[D3DRENDERSTATE_FOGDENSITY]);
        // start == end fogs everything (the scale of 0 makes f = 0).
        const float fog[4] = {start, end, density, end != start ? 1.0f / (end - start) : 0.0f};
        if (p.fog >= 0) glUniform4fv(p.fog, 1, fog);
        if (p.fogColor >= 0) {
            float color[4];
            UnpackColor(state_.render[D3DRENDERSTATE_FOGCOLOR], color);
            glUniform3fv(p.fogColor, 1, color);
        }
    }
    if (stale(kFactor) && p.textureFactor >= 0) {
        float factor[4];
        UnpackColor(state_.render[D3DRENDERSTATE_TEXTUREFACTOR], factor);
        glUniform4fv(p.textureFactor, 1, factor);
    }
    if (stale(kAlphaRef) && p.alphaRef >= 0) glUniform1f(p.alphaRef, float(state_.render[D3DRENDERSTATE_ALPHAREF] & 0xFF));
    if (stale(kTexMatrix) && p.texMatrix >= 0) glUniformMatrix4fv(p.texMatrix, kMaxTextureStages, GL_FALSE, &state_.texture[0]._11);
}

// ---------------------------------------------------------------- queries

void Device::SetTextureRestrictions(DWORD textureCaps) {
    textureRestrictions_ = textureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY);
}

HRESULT Device::GetCaps(D3DDEVICEDESC7* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    std::memset(desc, 0, sizeof *desc);
    // GL 3.3 samples textures of any size, with mip-maps and every address mode.
    D3DPRIMCAPS& tri = desc->dpcTriCaps;
    tri.dwSize = sizeof(D3DPRIMCAPS);
    tri.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_BORDER |
                        D3DPTEXTURECAPS_PROJECTED | textureRestrictions_.load();
    desc->dpcLineCaps = tri;
    desc->dwMinTextureWidth = desc->dwMinTextureHeight = 1;
    desc->dwMaxTextureWidth = desc->dwMaxTextureHeight = maxTextureSide_;
    desc->dwMaxAnisotropy = DWORD(std::max(1.0f, maxAnisotropy_));
    desc->dwFVFCaps = 8;  // texture-coordinate sets per vertex
    desc->wMaxTextureBlendStages = desc->wMaxSimultaneousTextures = WORD(kMaxTextureStages);
    desc->dwMaxActiveLights = kMaxLights;
    return D3D_OK;
}

HRESULT Device::ComputeSphereVisibility(D3DVECTOR* centers, D3DVALUE* radii, DWORD count, DWORD /*flags*/,
                                        DWORD* results) {
    if (count && (!centers || !radii || !results)) return DDERR_INVALIDPARAMS;
    platform::ComputeSphereVisibility(state_.world, state_.view, state_.projection, centers, radii, count, results);
    return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    for (Format f : kTextureFormats) {
        DDPIXELFORMAT pf = PixelFormatOf(f);
        if (callback(&pf, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

}  // namespace platform::gl

// The recording platform: every object logs its calls to one CallLog and keeps
// the state it was given; see recording_device.h.
#include "tests/support/recording_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/render/mode_selection.h"
#include "platform/sphere_visibility.h"

// Formats and keeps a call only while the log is on, so a switched-off log costs
// nothing per call.
#define RECORD(...)                                                   \
    do {                                                              \
        if (platform_.log().enabled) platform_.log().add(__VA_ARGS__); \
    } while (0)

namespace testing_support {

// ---------------------------------------------------------------- formatting

std::string FormatFloat(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
}

std::string FormatMatrix(const float* m) {
    std::string s = "{";
    for (int i = 0; i < 16; ++i) {
        if (i) s += ',';
        s += FormatFloat(m[i]);
    }
    return s + "}";
}

std::string FormatMatrix(const D3DMATRIX& m) { return FormatMatrix(&m._11); }

namespace {

std::string Name(const IDirectDrawSurface7* s) {
    if (!s) return "null";
    return dynamic_cast<const Counted*>(s)->name();
}

std::string Name(const IDirect3DVertexBuffer7* b) {
    if (!b) return "null";
    return dynamic_cast<const Counted*>(b)->name();
}

template <class... A>
std::string Call(const std::string& name, const A&... args) {
    std::string s = name + "(";
    bool first = true;
    auto add = [&](const std::string& a) {
        if (!first) s += ',';
        s += a;
        first = false;
    };
    (add(args), ...);
    return s + ")";
}

std::string N(long long v) { return std::to_string(v); }
std::string F(float v) { return FormatFloat(v); }
std::string C(const D3DCOLORVALUE& c) { return "{" + F(c.r) + "," + F(c.g) + "," + F(c.b) + "," + F(c.a) + "}"; }
std::string V(const D3DVECTOR& v) { return "{" + F(v.x) + "," + F(v.y) + "," + F(v.z) + "}"; }

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

// Bytes of a surface level: DXT formats in 4 x 4 blocks, others by bit count.
DWORD BlockBytes(DWORD fourCC) { return fourCC == FOURCC_DXT1 ? 8 : 16; }

}  // namespace

std::vector<std::string> CallLog::since(size_t mark) const {
    return {calls_.begin() + static_cast<ptrdiff_t>(std::min(mark, calls_.size())), calls_.end()};
}

std::vector<std::string> CallLog::starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

int CallLog::count(const std::string& call) const {
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

// ---------------------------------------------------------------- pixel formats

DDPIXELFORMAT PixelFormatRGB(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

DDPIXELFORMAT PixelFormatFourCC(DWORD fourCC) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_FOURCC;
    f.dwFourCC = fourCC;
    return f;
}

DDPIXELFORMAT PixelFormatDepth(DWORD bits, DWORD mask) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_ZBUFFER;
    f.dwRGBBitCount = bits;
    f.dwGBitMask = mask;
    return f;
}

// ---------------------------------------------------------------- surfaces

RecordingSurface::RecordingSurface(RecordingPlatform& platform, std::string name, const DDSURFACEDESC2& desc)
    : Recorded(std::move(name)), platform_(platform), desc_(desc) {
    desc_.dwSize = sizeof desc_;
    desc_.lpSurface = nullptr;
    const DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
    const DWORD width = std::max<DWORD>(desc_.dwWidth, 1);
    const DWORD height = std::max<DWORD>(desc_.dwHeight, 1);
    if (f.dwFlags & DDPF_FOURCC) {
        const DWORD size = std::max<DWORD>(1, (width + 3) / 4) * std::max<DWORD>(1, (height + 3) / 4) * BlockBytes(f.dwFourCC);
        desc_.dwFlags = (desc_.dwFlags & ~DDSD_PITCH) | DDSD_LINEARSIZE;
        desc_.dwLinearSize = size;
        memory_.assign(size, 0);
    } else {
        const DWORD bytes = f.dwRGBBitCount ? std::max<DWORD>(1, f.dwRGBBitCount / 8) : 4;
        pitch_ = static_cast<int>(width * bytes);
        desc_.dwFlags = (desc_.dwFlags & ~DDSD_LINEARSIZE) | DDSD_PITCH;
        desc_.lPitch = pitch_;
        memory_.assign(static_cast<size_t>(pitch_) * height, 0);
    }
}

HRESULT RecordingSurface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void*) {
    RECORD(name() + ".Lock(" + (rect ? "rect" : "null") + "," + N(flags) + ")");
    if (FAILED(lockResult)) return lockResult;
    if (!desc) return DDERR_INVALIDPARAMS;
    const long bytes = long(desc_.ddpfPixelFormat.dwRGBBitCount / 8);
    if (rect && (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
                 rect->right > long(desc_.dwWidth) || rect->bottom > long(desc_.dwHeight) || bytes == 0))
        return DDERR_INVALIDRECT;
    if (locked_) return DDERR_SURFACEBUSY;
    locked_ = true;
    *desc = desc_;
    desc->lpSurface = memory_.data() + (rect ? rect->top * desc_.lPitch + rect->left * bytes : 0);
    return DD_OK;
}

HRESULT RecordingSurface::Unlock(RECT*) {
    RECORD(name() + ".Unlock()");
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    return DD_OK;
}

HRESULT RecordingSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    RECORD(name() + ".GetSurfaceDesc()");
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = desc_;
    return DD_OK;
}

HRESULT RecordingSurface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** attached) {
    RECORD(name() + ".GetAttachedSurface(" + N(caps ? caps->dwCaps : 0) + ")");
    if (!caps || !attached) return DDERR_INVALIDPARAMS;
    *attached = nullptr;
    const DWORD wanted = caps->dwCaps & (DDSCAPS_ZBUFFER | DDSCAPS_MIPMAP);
    for (RecordingSurface* s : attached_) {
        if (wanted && (s->desc_.ddsCaps.dwCaps & wanted) == wanted) {
            s->AddRef();
            *attached = s;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

HRESULT RecordingSurface::AddAttachedSurface(IDirectDrawSurface7* surface) {
    RECORD(name() + ".AddAttachedSurface(" + Name(surface) + ")");
    auto* s = dynamic_cast<RecordingSurface*>(surface);
    if (!s) return DDERR_INVALIDPARAMS;
    s->AddRef();
    attached_.push_back(s);
    return DD_OK;
}

HRESULT RecordingSurface::Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX*) {
    RECORD(name() + ".Blt(" + (destRect ? "rect" : "null") + "," + Name(source) + "," +
                        (sourceRect ? "rect" : "null") + "," + N(flags) + ")");
    auto* s = dynamic_cast<RecordingSurface*>(source);
    if (!s) return DDERR_INVALIDPARAMS;
    if (s->memory_.size() == memory_.size()) memory_ = s->memory_;  // same size and format: a straight copy
    return DD_OK;
}

RecordingSurface* RecordingSurface::attachedDepth() const {
    for (RecordingSurface* s : attached_)
        if (s->desc_.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) return s;
    return nullptr;
}

void RecordingSurface::SetDepthWord(int x, int y, uint32_t word) { SetPixelWord(x, y, word); }

void RecordingSurface::FillDepthWord(uint32_t word) {
    for (DWORD y = 0; y < desc_.dwHeight; ++y)
        for (DWORD x = 0; x < desc_.dwWidth; ++x) SetPixelWord(static_cast<int>(x), static_cast<int>(y), word);
}

void RecordingSurface::SetPixelWord(int x, int y, uint32_t word) {
    const int bytes = static_cast<int>(desc_.ddpfPixelFormat.dwRGBBitCount / 8);
    if (x < 0 || y < 0 || static_cast<DWORD>(x) >= desc_.dwWidth || static_cast<DWORD>(y) >= desc_.dwHeight ||
        bytes < 1 || bytes > 4)
        return;
    uint8_t* p = memory_.data() + static_cast<size_t>(y) * pitch_ + static_cast<size_t>(x) * bytes;
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(word >> (8 * i));
}

void RecordingSurface::LastReleased() {
    std::vector<RecordingSurface*> attached;
    attached.swap(attached_);
    for (RecordingSurface* s : attached) s->Release();
}

// ---------------------------------------------------------------- vertex buffers

RecordingVertexBuffer::RecordingVertexBuffer(RecordingPlatform& platform, std::string name,
                                             const D3DVERTEXBUFFERDESC& desc)
    : Recorded(std::move(name)), platform_(platform), desc_(desc), stride_(FvfStride(desc.dwFVF)) {
    memory_.assign(static_cast<size_t>(stride_) * desc.dwNumVertices, 0);
}

HRESULT RecordingVertexBuffer::Lock(DWORD flags, void** data, DWORD* size) {
    RECORD(name() + ".Lock(" + N(flags) + ")");
    if (FAILED(lockResult)) return lockResult;
    if (!data) return D3DERR_VERTEXBUFFERLOCKED;
    if (locked_) return D3DERR_VERTEXBUFFERLOCKED;
    locked_ = true;
    *data = memory_.data();
    if (size) *size = static_cast<DWORD>(memory_.size());
    return D3D_OK;
}

HRESULT RecordingVertexBuffer::Unlock() {
    RECORD(name() + ".Unlock()");
    if (!locked_) return D3DERR_VERTEXBUFFERUNLOCKFAILED;
    locked_ = false;
    return D3D_OK;
}

HRESULT RecordingVertexBuffer::GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = desc_;
    return D3D_OK;
}

float RecordingVertexBuffer::Field(int vertex, int k) const {
    float v = 0;
    const size_t at = static_cast<size_t>(vertex) * stride_ + 4 * static_cast<size_t>(k);
    if (vertex >= 0 && k >= 0 && at + 4 <= memory_.size()) std::memcpy(&v, memory_.data() + at, 4);
    return v;
}

// ---------------------------------------------------------------- device

RecordingDevice::RecordingDevice(RecordingPlatform& platform) : Recorded("device"), platform_(platform) {
    textureFormats = {
        PixelFormatRGB(16, 0x7C00, 0x03E0, 0x001F, 0),       // X1R5G5B5
        PixelFormatRGB(16, 0x7C00, 0x03E0, 0x001F, 0x8000),  // A1R5G5B5
        PixelFormatRGB(16, 0x0F00, 0x00F0, 0x000F, 0xF000),  // A4R4G4B4
        PixelFormatRGB(16, 0xF800, 0x07E0, 0x001F, 0),       // R5G6B5
        PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0),       // X8R8G8B8
        PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u),  // A8R8G8B8
        PixelFormatFourCC(FOURCC_DXT1), PixelFormatFourCC(FOURCC_DXT2), PixelFormatFourCC(FOURCC_DXT3),
        PixelFormatFourCC(FOURCC_DXT4), PixelFormatFourCC(FOURCC_DXT5),
    };
    caps.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
    caps.dpcTriCaps.dwTextureCaps =
        D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_BORDER | D3DPTEXTURECAPS_PROJECTED;
    caps.dpcLineCaps = caps.dpcTriCaps;
    caps.dwMinTextureWidth = caps.dwMinTextureHeight = 1;
    caps.dwMaxTextureWidth = caps.dwMaxTextureHeight = 4096;
    caps.wMaxTextureBlendStages = caps.wMaxSimultaneousTextures = kMaxTextureStages;
    caps.dwMaxActiveLights = kMaxLights;
}

HRESULT RecordingDevice::GetCaps(D3DDEVICEDESC7* desc) {
    RECORD("GetCaps()");
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = caps;
    return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() {
    RECORD("BeginScene()");
    if (inScene_) return D3DERR_SCENE_IN_SCENE;
    inScene_ = true;
    return D3D_OK;
}

HRESULT RecordingDevice::EndScene() {
    RECORD("EndScene()");
    if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
    inScene_ = false;
    return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) {
    std::string r = "{";
    for (DWORD i = 0; rects && i < count; ++i) {
        if (i) r += ",";
        r += N(rects[i].x1) + "," + N(rects[i].y1) + "," + N(rects[i].x2) + "," + N(rects[i].y2);
    }
    r += "}";
    RECORD(Call("Clear", N(count), r, N(flags), N(color), F(z), N(stencil)));
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    RECORD(Call("SetRenderState", N(state), N(value)));
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value) return DDERR_INVALIDPARAMS;
    *value = renderState(state);
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    RECORD(Call("SetTextureStageState", N(stage), N(state), N(value)));
    if (stage >= kMaxTextureStages) return DDERR_INVALIDPARAMS;
    stageStates_[{stage, state}] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) {
    if (!value) return DDERR_INVALIDPARAMS;
    *value = stageState(stage, state);
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
    RECORD(Call("SetTexture", N(stage), Name(texture)));
    if (stage >= kMaxTextureStages) return DDERR_INVALIDPARAMS;
    textures_[stage] = texture;
    return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    RECORD(Call("SetTransform", N(state), matrix ? FormatMatrix(*matrix) : std::string("null")));
    if (!matrix) return DDERR_INVALIDPARAMS;
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    RECORD(Call("GetTransform", N(state)));
    if (!matrix) return DDERR_INVALIDPARAMS;
    *matrix = transform(state);
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(D3DVIEWPORT7* v) {
    if (!v) return DDERR_INVALIDPARAMS;
    RECORD(Call("SetViewport", N(v->dwX), N(v->dwY), N(v->dwWidth), N(v->dwHeight), F(v->dvMinZ),
                             F(v->dvMaxZ)));
    viewport_ = *v;
    return D3D_OK;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT7* v) {
    RECORD("GetViewport()");
    if (!v) return DDERR_INVALIDPARAMS;
    *v = viewport_;
    return D3D_OK;
}

HRESULT RecordingDevice::SetMaterial(D3DMATERIAL7* m) {
    if (!m) return DDERR_INVALIDPARAMS;
    RECORD(
        Call("SetMaterial", C(m->dcvDiffuse), C(m->dcvAmbient), C(m->dcvSpecular), C(m->dcvEmissive), F(m->dvPower)));
    material_ = *m;
    return D3D_OK;
}

HRESULT RecordingDevice::SetLight(DWORD index, D3DLIGHT7* light) {
    if (!light) return DDERR_INVALIDPARAMS;
    RECORD(Call("SetLight", N(index), N(light->dltType), V(light->dvPosition), V(light->dvDirection)));
    lights_[index] = *light;
    return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    RECORD(Call("LightEnable", N(index), N(enable)));
    enabled_[index] = enable != 0;
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderTarget(IDirectDrawSurface7* target, DWORD flags) {
    RECORD(Call("SetRenderTarget", Name(target), N(flags)));
    target_ = target;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderTarget(IDirectDrawSurface7** target) {
    RECORD("GetRenderTarget()");
    if (!target) return DDERR_INVALIDPARAMS;
    *target = target_;
    if (target_) target_->AddRef();
    return D3D_OK;
}

void RecordingDevice::Forget(const std::vector<const Counted*>& gone, IDirectDrawSurface7* fallback) {
    auto isGone = [&gone](IDirectDrawSurface7* s) {
        return s && std::find(gone.begin(), gone.end(), dynamic_cast<const Counted*>(s)) != gone.end();
    };
    for (auto& t : textures_)
        if (isGone(t)) t = nullptr;
    if (isGone(target_)) target_ = fallback;
    draws_.clear();
    visibility_.clear();
}

DrawRecord RecordingDevice::snapshot(std::string call) const {
    DrawRecord r;
    r.call = std::move(call);
    r.world = transform(D3DTRANSFORMSTATE_WORLD);
    r.view = transform(D3DTRANSFORMSTATE_VIEW);
    r.projection = transform(D3DTRANSFORMSTATE_PROJECTION);
    r.material = material_;
    r.textures = textures_;
    r.renderStates = renderStates_;
    return r;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                       DWORD flags) {
    std::string call = !platform_.log().enabled ? std::string() : Call("DrawPrimitive", N(type), N(fvf), N(vertexCount), N(flags));
    RECORD(call);
    if (!vertices) return DDERR_INVALIDPARAMS;
    if (platform_.log().enabled) {
        DrawRecord r = snapshot(call);
        r.type = type;
        r.fvf = fvf;
        r.vertexCount = vertexCount;
        const auto* bytes = static_cast<const uint8_t*>(vertices);
        r.vertices.assign(bytes, bytes + static_cast<size_t>(FvfStride(fvf)) * vertexCount);
        draws_.push_back(std::move(r));
    }
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                              WORD* indices, DWORD indexCount, DWORD flags) {
    std::string call = !platform_.log().enabled ? std::string() : Call("DrawIndexedPrimitive", N(type), N(fvf), N(vertexCount), N(indexCount), N(flags));
    RECORD(call);
    if (!vertices || !indices) return DDERR_INVALIDPARAMS;
    bool rejected = false;
    for (DWORD i = 0; i < indexCount; ++i) rejected |= indices[i] >= vertexCount;
    if (platform_.log().enabled) {
        DrawRecord r = snapshot(call);
        r.type = type;
        r.fvf = fvf;
        r.vertexCount = vertexCount;
        r.indices.assign(indices, indices + indexCount);
        const auto* bytes = static_cast<const uint8_t*>(vertices);
        r.vertices.assign(bytes, bytes + static_cast<size_t>(FvfStride(fvf)) * vertexCount);
        r.rejected = rejected;
        draws_.push_back(std::move(r));
    }
    return rejected ? DDERR_INVALIDPARAMS : D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                                         DWORD vertexCount, DWORD flags) {
    std::string call = !platform_.log().enabled ? std::string() : Call("DrawPrimitiveVB", N(type), Name(buffer), N(startVertex), N(vertexCount), N(flags));
    RECORD(call);
    auto* vb = dynamic_cast<RecordingVertexBuffer*>(buffer);
    if (!vb) return DDERR_INVALIDPARAMS;
    const bool rejected = static_cast<uint64_t>(startVertex) + vertexCount > vb->desc().dwNumVertices;
    if (platform_.log().enabled) {
        DrawRecord r = snapshot(call);
        r.type = type;
        r.buffer = vb;
        r.fvf = vb->desc().dwFVF;
        r.startVertex = startVertex;
        r.vertexCount = vertexCount;
        r.rejected = rejected;
        draws_.push_back(std::move(r));
    }
    return rejected ? DDERR_INVALIDPARAMS : D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer,
                                                DWORD startVertex, DWORD vertexCount, WORD* indices, DWORD indexCount,
                                                DWORD flags) {
    std::string call = !platform_.log().enabled ? std::string() : Call("DrawIndexedPrimitiveVB", N(type), Name(buffer), N(startVertex), N(vertexCount),
                            N(indexCount), N(flags));
    RECORD(call);
    auto* vb = dynamic_cast<RecordingVertexBuffer*>(buffer);
    if (!vb || !indices) return DDERR_INVALIDPARAMS;
    bool rejected = static_cast<uint64_t>(startVertex) + vertexCount > vb->desc().dwNumVertices;
    for (DWORD i = 0; i < indexCount; ++i) rejected |= indices[i] >= vertexCount;
    if (platform_.log().enabled) {
        DrawRecord r = snapshot(call);
        r.type = type;
        r.buffer = vb;
        r.fvf = vb->desc().dwFVF;
        r.startVertex = startVertex;
        r.vertexCount = vertexCount;
        r.indices.assign(indices, indices + indexCount);
        r.rejected = rejected;
        draws_.push_back(std::move(r));
    }
    return rejected ? DDERR_INVALIDPARAMS : D3D_OK;
}

HRESULT RecordingDevice::ComputeSphereVisibility(D3DVECTOR* centers, D3DVALUE* radii, DWORD count, DWORD flags,
                                                 DWORD* results) {
    RECORD(Call("ComputeSphereVisibility", N(count), N(flags)));
    if (!centers || !radii || !results) return DDERR_INVALIDPARAMS;
    platform::ComputeSphereVisibility(transform(D3DTRANSFORMSTATE_WORLD), transform(D3DTRANSFORMSTATE_VIEW),
                                      transform(D3DTRANSFORMSTATE_PROJECTION), centers, radii, count, results);
    if (platform_.log().enabled) visibility_.emplace_back(results, results + count);
    return D3D_OK;
}

HRESULT RecordingDevice::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    RECORD("EnumTextureFormats()");
    if (!callback) return DDERR_INVALIDPARAMS;
    for (DDPIXELFORMAT f : textureFormats)
        if (callback(&f, context) == D3DENUMRET_CANCEL) break;
    return D3D_OK;
}

DWORD RecordingDevice::renderState(DWORD state) const {
    auto it = renderStates_.find(state);
    return it == renderStates_.end() ? 0 : it->second;
}

DWORD RecordingDevice::stageState(DWORD stage, DWORD type) const {
    auto it = stageStates_.find({stage, type});
    return it == stageStates_.end() ? 0 : it->second;
}

D3DMATRIX RecordingDevice::transform(DWORD state) const {
    auto it = transforms_.find(state);
    return it == transforms_.end() ? Identity() : it->second;
}

bool RecordingDevice::lightEnabled(DWORD index) const {
    auto it = enabled_.find(index);
    return it != enabled_.end() && it->second;
}

// ---------------------------------------------------------------- DirectDraw, Direct3D, context

HRESULT RecordingDirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, void*) {
    if (!desc || !surface) return DDERR_INVALIDPARAMS;
    RECORD(Call("ddraw.CreateSurface", N(desc->dwWidth), N(desc->dwHeight), N(desc->ddsCaps.dwCaps),
                             N(desc->ddpfPixelFormat.dwRGBBitCount)));
    *surface = nullptr;
    // Like the real device: compressed by the FourCC code and its flag together,
    // and uncompressed pixels of a size a surface can have.
    const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
    const DWORD bits = pf.dwRGBBitCount;
    if (((pf.dwFlags & DDPF_FOURCC) != 0) != (pf.dwFourCC != 0) ||
        (!(pf.dwFlags & DDPF_FOURCC) && bits != 0 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return DDERR_INVALIDPIXELFORMAT;
    if (platform_.failSurface && platform_.failSurface(*desc)) return DDERR_OUTOFMEMORY;
    RecordingSurface* top = platform_.NewSurface(*desc);
    // A mip chain: each level half the size of the one above, attached to it.
    const bool chain = (desc->ddsCaps.dwCaps & DDSCAPS_MIPMAP) && (desc->dwFlags & DDSD_MIPMAPCOUNT);
    RecordingSurface* level = top;
    for (DWORD i = 1; chain && i < desc->dwMipMapCount; ++i) {
        DDSURFACEDESC2 d = level->desc();
        d.dwWidth = std::max<DWORD>(1, d.dwWidth / 2);
        d.dwHeight = std::max<DWORD>(1, d.dwHeight / 2);
        RecordingSurface* next = platform_.NewSurface(d);
        level->AddAttachedSurface(next);
        next->Release();
        level = next;
    }
    *surface = top;
    return DD_OK;
}

HRESULT RecordingDirect3D::CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer, DWORD flags) {
    if (!desc || !buffer) return DDERR_INVALIDPARAMS;
    RECORD(Call("d3d.CreateVertexBuffer", N(desc->dwSize), N(desc->dwCaps), N(desc->dwFVF),
                             N(desc->dwNumVertices), N(flags)));
    *buffer = nullptr;
    if (platform_.failVertexBuffers) return D3DERR_VBUF_CREATE_FAILED;
    *buffer = platform_.NewVertexBuffer(*desc);
    return D3D_OK;
}

IDirectDraw7* RecordingD3DXContext::GetDD() {
    RECORD("d3dx.GetDD()");
    platform_.ddraw_->AddRef();
    return platform_.ddraw_;
}

IDirect3D7* RecordingD3DXContext::GetD3D() {
    RECORD("d3dx.GetD3D()");
    platform_.d3d_->AddRef();
    return platform_.d3d_;
}

IDirect3DDevice7* RecordingD3DXContext::GetD3DDevice() {
    RECORD("d3dx.GetD3DDevice()");
    if (!platform_.withDevice) return nullptr;
    platform_.device_->AddRef();
    return platform_.device_;
}

IDirectDrawSurface7* RecordingD3DXContext::GetZBuffer() {
    RECORD("d3dx.GetZBuffer()");
    platform_.depthBuffer_->AddRef();
    return platform_.depthBuffer_;
}

IDirectDrawSurface7* RecordingD3DXContext::GetBackBuffer(DWORD index) {
    RECORD("d3dx.GetBackBuffer(" + N(index) + ")");
    if (index != 0 || !platform_.withBackBuffer) return nullptr;
    platform_.backBuffer_->AddRef();
    return platform_.backBuffer_;
}

HRESULT RecordingD3DXContext::UpdateFrame(DWORD flags) {
    RECORD("d3dx.UpdateFrame(" + N(flags) + ")");
    return D3D_OK;
}

RecordingMatrixStack::RecordingMatrixStack(RecordingPlatform& platform) : Recorded("stack"), platform_(platform) {
    D3DXCreateMatrixStack(0, inner_.put());
}

HRESULT RecordingMatrixStack::Push() {
    RECORD("stack.Push()");
    return inner_->Push();
}

HRESULT RecordingMatrixStack::Pop() {
    RECORD("stack.Pop()");
    return inner_->Pop();
}

HRESULT RecordingMatrixStack::LoadIdentity() {
    RECORD("stack.LoadIdentity()");
    return inner_->LoadIdentity();
}

HRESULT RecordingMatrixStack::LoadMatrix(const D3DMATRIX* m) {
    RECORD("stack.LoadMatrix(" + (m ? FormatMatrix(*m) : std::string("null")) + ")");
    return inner_->LoadMatrix(m);
}

HRESULT RecordingMatrixStack::MultMatrix(const D3DMATRIX* m) {
    RECORD("stack.MultMatrix(" + (m ? FormatMatrix(*m) : std::string("null")) + ")");
    return inner_->MultMatrix(m);
}

HRESULT RecordingMatrixStack::MultMatrixLocal(const D3DMATRIX* m) {
    RECORD("stack.MultMatrixLocal(" + (m ? FormatMatrix(*m) : std::string("null")) + ")");
    return inner_->MultMatrixLocal(m);
}

D3DMATRIX* RecordingMatrixStack::GetTop() { return inner_->GetTop(); }

// ---------------------------------------------------------------- platform

RecordingPlatform::RecordingPlatform(int width, int height) : width_(width), height_(height) {
    auto add = [this](auto* object) {
        owned_.emplace_back(object);
        return object;
    };
    device_ = add(new RecordingDevice(*this));
    d3dx_ = add(new RecordingD3DXContext(*this));
    ddraw_ = add(new RecordingDirectDraw(*this));
    d3d_ = add(new RecordingDirect3D(*this));
    stack_ = add(new RecordingMatrixStack(*this));

    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    desc.ddpfPixelFormat = PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0);
    backBuffer_ = NewSurface(desc, "backbuffer");
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    desc.ddpfPixelFormat = PixelFormatDepth(32, 0xFFFFFFFFu);
    depthBuffer_ = NewSurface(desc, "zbuffer");
    depthBuffer_->FillDepthWord(0xFFFFFFFFu);
    // The back buffer holds the depth buffer as its attachment; the platform keeps
    // its own reference to both.
    backBuffer_->AddAttachedSurface(depthBuffer_);

    device_->SetRenderTarget(backBuffer_, 0);
    D3DVIEWPORT7 viewport{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 1};
    device_->SetViewport(&viewport);
    ownObjects_ = owned_.size();
    log_.clear();
}

RecordingPlatform::~RecordingPlatform() = default;

RecordingSurface* RecordingPlatform::NewSurface(const DDSURFACEDESC2& desc, const std::string& name) {
    auto* s = new RecordingSurface(*this, name.empty() ? "surface" + std::to_string(surfaces_.size() - 1) : name, desc);
    owned_.emplace_back(s);
    surfaces_.push_back(s);
    return s;
}

RecordingVertexBuffer* RecordingPlatform::NewVertexBuffer(const D3DVERTEXBUFFERDESC& desc) {
    auto* b = new RecordingVertexBuffer(*this, "vb" + std::to_string(buffers_.size() + 1), desc);
    owned_.emplace_back(b);
    buffers_.push_back(b);
    return b;
}

std::vector<std::string> RecordingPlatform::Unreleased() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < owned_.size(); ++i) {
        const Counted* c = owned_[i].get();
        // The platform keeps one reference to each of its own objects; the
        // depth buffer has a second one from the back buffer.
        const long base = i < ownObjects_ ? (c == depthBuffer_ ? 2 : 1) : 0;
        if (c->refs() != base) out.push_back(c->name() + ":" + std::to_string(c->refs() - base));
    }
    return out;
}

void RecordingPlatform::FreeReleased() {
    std::vector<const Counted*> gone;
    for (size_t i = ownObjects_; i < owned_.size(); ++i)
        if (owned_[i]->refs() == 0) gone.push_back(owned_[i].get());
    auto isGone = [&gone](const Counted* c) { return std::find(gone.begin(), gone.end(), c) != gone.end(); };
    device_->Forget(gone, backBuffer_);
    std::erase_if(surfaces_, [&](RecordingSurface* s) { return isGone(s); });
    std::erase_if(buffers_, [&](RecordingVertexBuffer* b) { return isGone(b); });
    std::erase_if(owned_, [&](const std::unique_ptr<Counted>& c) { return isGone(c.get()); });
    log_.clear();
}

ZK3D::UtilityLibrary RecordingPlatform::Library() {
    ZK3D::UtilityLibrary library;
    library.initialize = [this] {
        ++initializeCount;
        log_.add("D3DXInitialize()");
        return D3D_OK;
    };
    library.uninitialize = [this] {
        ++uninitializeCount;
        log_.add("D3DXUninitialize()");
        return D3D_OK;
    };
    library.createContext = [this](DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                                   ID3DXContext** context) {
        log_.add(Call("D3DXCreateContext", N(deviceIndex), N(flags), window ? std::string("window") : "null",
                      N(width), N(height)));
        *context = nullptr;
        if (FAILED(createContextResult)) return createContextResult;
        d3dx_->AddRef();
        *context = d3dx_;
        return D3D_OK;
    };
    library.createMatrixStack = [this](DWORD flags, ID3DXMatrixStack** stack) {
        log_.add("D3DXCreateMatrixStack(" + N(flags) + ")");
        stack_->AddRef();
        *stack = stack_;
        return D3D_OK;
    };
    return library;
}

std::unique_ptr<ZK3D::Context> RecordingPlatform::CreateContext() {
    ZK3D::SelectMode(width_, height_, 32, 0);
    return ZK3D::Context::Create(nullptr, Library());
}

}  // namespace testing_support

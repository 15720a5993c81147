// The render context's creation steps and its state-sending operations.
// Every device call is skipped when the context has no device.
#include "engine/render/context.h"

#include <cstring>

#include "engine/render/mode_selection.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

D3DMATRIX ToD3D(const Matrix& m) {
    D3DMATRIX d;
    std::memcpy(&d, m.m, sizeof d);
    return d;
}

}  // namespace

std::unique_ptr<Context> Context::Create(HWND window, const UtilityLibrary& library) {
    std::unique_ptr<Context> context(new Context(window));
    context->uninitialize_ = library.uninitialize;
    if (library.initialize) library.initialize();  // its result does not matter

    const DWORD deviceIndex = HardwareLevel() == kHardwareLevelSoftware ? D3DX_HWLEVEL_2D : D3DX_HWLEVEL_RASTER;
    const DisplayMode& mode = SelectedMode();
    context->width_ = mode.width;
    context->height_ = mode.height;
    HRESULT hr = D3DXERR_STARTUPFAILED;
    if (library.createContext)
        hr = library.createContext(deviceIndex, FullScreen() ? D3DX_CONTEXT_FULLSCREEN : 0, window,
                                   static_cast<DWORD>(mode.width), static_cast<DWORD>(mode.height),
                                   context->d3dx_.put());
    ReportD3DXResult(hr);
    if (FAILED(hr) || !context->d3dx_) return nullptr;  // destruction shuts the library down again

    context->ddraw_.reset(context->d3dx_->GetDD());
    context->d3d_.reset(context->d3dx_->GetD3D());
    context->device_.reset(context->d3dx_->GetD3DDevice());
    context->zbuffer_.reset(context->d3dx_->GetZBuffer());

    context->flagStack_.assign(kFlagStackCapacity, kDefaultRenderFlags);
    context->top_ = 0;
    context->transforms_ = TransformCache{};

    context->SetFlags(kDefaultRenderFlags);
    context->ForceFlags();

    D3DVIEWPORT7 viewport{};
    if (IDirect3DDevice7* device = context->device()) {
        device->GetViewport(&viewport);
        device->GetRenderTarget(context->renderTarget_.put());
    }
    RenderSurface* target = new RenderSurface(context->renderTarget_.get(), viewport);
    context->targetSurface_.reset(target);
    context->SetRenderSurface(target);

    LogMessage("Texture Pixel Format Enumeration");
    if (context->device_) context->device_->EnumTextureFormats(&Context::CollectFormat, context.get());

    if (library.createMatrixStack) library.createMatrixStack(0, context->matrixStack_.put());

    context->clearColor_ = {0, 0, 0.8f, 0};
    context->Clear();
    context->Present();
    return context;
}

HRESULT Context::CollectFormat(DDPIXELFORMAT* format, void* context) {
    if (format) static_cast<Context*>(context)->textureFormats_.push_back(*format);
    return D3DENUMRET_OK;
}

Context::~Context() {
    currentSurface_ = nullptr;
    targetSurface_.reset();
    // The wrapper of the render target goes first, then the references the
    // context took, the utility-library context that handed them out last, and
    // only then is the library shut down.
    matrixStack_.reset();
    renderTarget_.reset();
    zbuffer_.reset();
    device_.reset();
    d3d_.reset();
    ddraw_.reset();
    d3dx_.reset();
    if (uninitialize_) uninitialize_();
}

void Context::Clear(const D3DRECT* rect) {
    if (!device_) return;
    D3DRECT r = rect ? *rect : D3DRECT{0, 0, width_, height_};
    device_->Clear(1, &r, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, PackColor(clearColor_), 1.0f, 0);
}

void Context::Present() {
    if (beforePresent_) beforePresent_();
    if (d3dx_) d3dx_->UpdateFrame(0);
}

void Context::SetWorldMatrix(const Matrix* m) {
    const Matrix value = m ? *m : MatrixIdentity();
    D3DMATRIX d = ToD3D(value);
    if (device_) device_->SetTransform(D3DTRANSFORMSTATE_WORLD, &d);
    transforms_.SetWorld(value);
}

void Context::SetViewMatrix(const Matrix* m) {
    const Matrix value = m ? *m : MatrixIdentity();
    D3DMATRIX d = ToD3D(value);
    if (device_) device_->SetTransform(D3DTRANSFORMSTATE_VIEW, &d);
    transforms_.SetView(value);
}

void Context::SetProjectionMatrix(const Matrix* m) {
    const Matrix value = m ? *m : MatrixIdentity();
    D3DMATRIX d = ToD3D(value);
    if (device_) device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &d);
    transforms_.SetProjection(value);
}

void Context::PushFlags() {
    // The stack grows past its first 100 words rather than being written beyond them.
    const RenderFlags below = flagStack_[top_];
    ++top_;
    if (top_ >= static_cast<int>(flagStack_.size())) flagStack_.resize(flagStack_.size() * 2, kDefaultRenderFlags);
    flagStack_[top_] = below;
}

void Context::PopFlags() {
    if (top_ == 0) {
        LogError("[RC] - Flag stack underflow : the bottom word stays");
        return;
    }
    --top_;
}

void Context::ApplyFlags(RenderFlags flags) {
    const RenderFlags changed = flags ^ appliedFlags_;
    if (device_ && changed) {
        IDirect3DDevice7* d = device_.get();
        auto bit = [&](RenderFlags mask, D3DRENDERSTATETYPE state) {
            if (changed & mask) d->SetRenderState(state, (flags & mask) ? TRUE : FALSE);
        };
        bit(flags::kDepthTest, D3DRENDERSTATE_ZENABLE);
        bit(flags::kAlphaBlend, D3DRENDERSTATE_ALPHABLENDENABLE);
        bit(flags::kAlphaTest, D3DRENDERSTATE_ALPHATESTENABLE);
        bit(flags::kDither, D3DRENDERSTATE_DITHERENABLE);
        bit(flags::kLighting, D3DRENDERSTATE_LIGHTING);
        bit(flags::kSpecular, D3DRENDERSTATE_SPECULARENABLE);
        bit(flags::kClipping, D3DRENDERSTATE_CLIPPING);
        bit(flags::kNormalizeNormals, D3DRENDERSTATE_NORMALIZENORMALS);
        if (changed & flags::kWireframe)
            d->SetRenderState(D3DRENDERSTATE_FILLMODE, (flags & flags::kWireframe) ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
        if (changed & flags::kCullMask) d->SetRenderState(D3DRENDERSTATE_CULLMODE, flags::CullState(flags::CullField(flags)));
        if (changed & flags::kBlendMask) {
            const uint32_t blend = flags::BlendField(flags);
            d->SetRenderState(D3DRENDERSTATE_SRCBLEND, flags::SrcBlendState(blend));
            d->SetRenderState(D3DRENDERSTATE_DESTBLEND, flags::DestBlendState(blend));
        }
        if (changed & flags::kDepthMask) {
            const uint32_t depth = flags::DepthField(flags);
            d->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, flags::ZWriteState(depth));
            d->SetRenderState(D3DRENDERSTATE_ZFUNC, flags::ZFuncState(depth));
        }
    }
    appliedFlags_ = flags;
}

void Context::ForceFlags() {
    appliedFlags_ = ~TopFlags();
    ReapplyFlags();
}

void Context::SetColorStage(DWORD stage, DWORD arg1, DWORD arg2, DWORD op) {
    if (!device_) return;
    device_->SetTextureStageState(stage, D3DTSS_COLOROP, op);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
}

void Context::SetAlphaStage(DWORD stage, DWORD arg1, DWORD arg2, DWORD op) {
    if (!device_) return;
    device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, op);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, arg1);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAARG2, arg2);
}

void Context::SetStageFilters(DWORD stage, DWORD mag, DWORD min, DWORD mip) {
    if (!device_) return;
    device_->SetTextureStageState(stage, D3DTSS_MAGFILTER, mag);
    device_->SetTextureStageState(stage, D3DTSS_MINFILTER, min);
    device_->SetTextureStageState(stage, D3DTSS_MIPFILTER, mip);
}

void Context::ResetStage(DWORD stage) {
    if (!device_) return;
    device_->SetTexture(stage, nullptr);
    if (stage == 0) {
        SetColorStage(0, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE);
        SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1);
    } else {
        SetColorStage(stage, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE);
        SetAlphaStage(stage, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_DISABLE);
    }
}

void Context::ResetAllStages() {
    for (DWORD stage = 0; stage < kMaxTextureStages; ++stage) ResetStage(stage);
}

void Context::SetFog(bool enable, const FogRecord* fog) {
    if (!device_) return;
    if (!enable || !fog) {
        device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
        return;
    }
    switch (fog->mode) {
        case kFogLinear: device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR); break;
        case kFogExponential:
            device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_EXP);
            device_->SetRenderState(D3DRENDERSTATE_FOGDENSITY, FloatBits(fog->end));
            break;
        case kFogExponential2:
            device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_EXP2);
            device_->SetRenderState(D3DRENDERSTATE_FOGDENSITY, FloatBits(fog->end));
            break;
        default: device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE); return;
    }
    device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
    device_->SetRenderState(D3DRENDERSTATE_FOGCOLOR, PackColor(fog->color));
    device_->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(fog->start));
    device_->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(fog->end));
}

void Context::SetAmbient(const Color& color) {
    if (device_) device_->SetRenderState(D3DRENDERSTATE_AMBIENT, PackColor(color));
}

void Context::AddLight(const D3DLIGHT7& light) {
    const int slot = nextLight_++;
    if (device_) {
        D3DLIGHT7 copy = light;
        device_->SetLight(static_cast<DWORD>(slot), &copy);
        device_->LightEnable(static_cast<DWORD>(slot), TRUE);
    }
    if (slot > maxLightIndex_) maxLightIndex_ = slot;
}

void Context::ClearLights() {
    if (device_)
        for (int i = 0; i <= maxLightIndex_; ++i) device_->LightEnable(static_cast<DWORD>(i), FALSE);
    maxLightIndex_ = nextLight_ = 0;
}

void Context::SetDefaultMaterial() {
    if (!device_) return;
    D3DMATERIAL7 material{};
    material.dcvDiffuse = material.dcvAmbient = material.dcvSpecular = material.dcvEmissive = {1, 1, 1, 1};
    material.dvPower = 0;
    device_->SetMaterial(&material);
}

void Context::SetRenderSurface(RenderSurface* surface) {
    currentSurface_ = surface;
    if (!surface || !device_) return;
    device_->SetRenderTarget(surface->Surface(), 0);
    D3DVIEWPORT7 viewport = surface->Viewport() ? *surface->Viewport() : D3DVIEWPORT7{};
    device_->SetViewport(&viewport);
}

Vector4 Context::ProjectToScreen(Vector3 p) {
    const Matrix& m = transforms_.ViewProjection();
    const float X = p.x * m(0, 0) + p.y * m(1, 0) + p.z * m(2, 0) + m(3, 0);
    const float Y = p.x * m(0, 1) + p.y * m(1, 1) + p.z * m(2, 1) + m(3, 1);
    const float Z = p.x * m(0, 2) + p.y * m(1, 2) + p.z * m(2, 2) + m(3, 2);
    const float W = p.x * m(0, 3) + p.y * m(1, 3) + p.z * m(2, 3) + m(3, 3);
    float wv = 0, hv = 0;
    if (currentSurface_ && currentSurface_->Viewport()) {
        wv = static_cast<float>(currentSurface_->Viewport()->dwWidth);
        hv = static_cast<float>(currentSurface_->Viewport()->dwHeight);
    }
    return {(X / W + 1.0f) * wv * 0.5f, (1.0f - Y / W) * hv * 0.5f, Z / W, 1.0f};
}

float Context::AspectRatio() const {
    const DisplayMode& mode = SelectedMode();
    if (mode.width == 0) return 0.75f;  // no mode selected: the 640 x 480 default of the back buffer
    return static_cast<float>(mode.height) / static_cast<float>(mode.width);
}

}  // namespace ZK3D

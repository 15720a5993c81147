// Material and stage compilation, coordinate generation and the states a
// material sends before a draw.
#include "engine/render/material.h"

#include <algorithm>
#include <cstring>

#include "engine/render/context.h"
#include "engine/render/mesh.h"
#include "engine/render/texture.h"
#include "engine/render/render_world.h"
#include "platform/assert.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {

D3DMATRIX TextureMatrix(float scaleU, float scaleV, float moveU, float moveV) {
    D3DMATRIX m{};
    m._11 = scaleU;
    m._22 = scaleV;
    m._33 = 1;
    m._44 = 1;
    m._41 = moveU;
    m._42 = moveV;
    return m;
}

void DumpColor(const char* label, const D3DCOLORVALUE& c) {
    LogMessage("[Col-Debug] RGBA-%s %.3f|%.3f|%.3f|%.3f", label, c.r, c.g, c.b, c.a);
}

}  // namespace

// ---------------------------------------------------------------- stages

TextureStage::TextureStage(int32_t k) : kind(k) {}

TextureStage::~TextureStage() = default;

void TextureStage::SetTextureName(const char* name) { textureName_.reset(DuplicateString(name)); }

void TextureStage::compile() {
    if (!textureName_ || texture) return;
    texture = FindTexture(textureName_.get());
    if (!texture) LogError("[Mat TS] Cannot get texture \"%s\"", textureName_.get());
}

void TextureStage::compileForMesh(int index, Mesh& mesh) {
    LogMessage("[Mat TS] Compile Stage %d on \"%s\"", index, mesh.name());
    if (kind == kBump) {
        GenerateTextureCoordinates(mesh, 0, index, 1.0f, 0.0f, 0.0f);
    } else if (kind == kEnvironment) {
        colorArg1 = D3DTA_TEXTURE;
        colorArg2 = D3DTA_CURRENT;
        colorOp = D3DTOP_ADD;
    }
}

void TextureStage::perDraw(Mesh&) {}

void TextureStage::apply(int index, const Mesh* mesh, Context& context) {
    IDirect3DDevice7* device = context.device();
    if (!device) return;
    const auto stage = static_cast<DWORD>(index);
    const auto matrixState = static_cast<D3DTRANSFORMSTATETYPE>(D3DTRANSFORMSTATE_TEXTURE0 + stage);
    switch (kind) {
        case kDetail: {
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0));
            D3DMATRIX m = TextureMatrix(6, 6, 0, 0);
            ReportD3DResult(device->SetTransform(matrixState, &m));
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2));
            break;
        }
        case kEnvironment: {
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL));
            D3DMATRIX m = TextureMatrix(0.5f, 0.5f, 0.5f, 0.5f);
            ReportD3DResult(device->SetTransform(matrixState, &m));
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2));
            break;
        }
        default: {
            // The stage's own coordinate set, or set 0 when the mesh has no such set.
            const bool hasSet = mesh && index < mesh->texCoordSets();
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, hasSet ? stage : 0));
            ReportD3DResult(device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE));
            break;
        }
    }
    const DWORD mag = linearFilter ? D3DTFG_LINEAR : D3DTFG_POINT;
    const DWORD min = linearFilter ? D3DTFN_LINEAR : D3DTFN_POINT;
    context.SetStageFilters(stage, mag, min, D3DTFP_NONE);
    context.SetColorStage(stage, colorArg1, colorArg2, colorOp);
    context.SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1);
    Texture::Bind(stage, texture);
}

std::unique_ptr<TextureStage> CreateTextureStage(int32_t kind) {
    switch (kind) {
        case TextureStage::kTexture:
        case TextureStage::kDetail:
        case TextureStage::kEnvironment:
        case TextureStage::kBump: return std::make_unique<TextureStage>(kind);
        default: return nullptr;
    }
}

int GenerateTextureCoordinates(Mesh& mesh, int source, int target, float scale, float offsetU, float offsetV) {
    const int sets = mesh.texCoordSets();
    if (source < 0 || target < 0 || sets <= source || sets <= target || !mesh.vertexBuffer()) return 0;
    LogMessage("[Mat-TS] \"%s\" Texture stage %d = %.3f*%d", mesh.name(), target, scale, source);
    void* data = nullptr;
    if (FAILED(ReportD3DResult(mesh.vertexBuffer()->Lock(0, &data, nullptr))) || !data) return 0;
    const size_t stride = mesh.stride();
    auto* bytes = static_cast<uint8_t*>(data);
    for (int i = 0; i < mesh.vertexCount(); ++i) {
        float* uv = reinterpret_cast<float*>(bytes + stride * static_cast<size_t>(i) + 24);
        const float u = uv[2 * source], v = uv[2 * source + 1];
        uv[2 * target] = scale * u + offsetU;
        uv[2 * target + 1] = scale * v + offsetV;
    }
    ReportD3DResult(mesh.vertexBuffer()->Unlock());
    return 1;
}

// ---------------------------------------------------------------- material

Material::Material(const char* name)
    : Node(name, ZKNODE_MATERIAL), flags(CurrentContext() ? CurrentContext()->CurrentFlags() : kDefaultRenderFlags) {
    LogMessage("[Mat] Creating Material \"%s\"", name);
}

Material::~Material() = default;

bool Material::AddStage(int index, std::unique_ptr<TextureStage> stage) {
    if (index < 0 || index >= kMaxStages) {
        LogError("[Mat] Material \"%s\" - Stage %d is outside the %d stages", name(), index, kMaxStages);
        return false;
    }
    stages_[static_cast<size_t>(index)] = std::move(stage);
    stageCount_ = std::max(stageCount_, index + 1);
    return true;
}

void Material::compile() {
    LogMessage("[Mat] Compile Material \"%s\" and %d TStages", name(), stageCount_);
    for (int i = 0; i < stageCount_; ++i)
        if (TextureStage* s = stage(i)) s->compile();
    LogMessage("[Mat-Debug] \"%s\"", name());
    DumpColor("dcvDiffuse", d3dMaterial.dcvDiffuse);
    DumpColor("dcvAmbient", d3dMaterial.dcvAmbient);
    DumpColor("dcvSpecular", d3dMaterial.dcvSpecular);
    DumpColor("dcvEmissive", d3dMaterial.dcvEmissive);
    LogMessage("[Mat-Debug] Spec Power : %.3f", d3dMaterial.dvPower);
}

void Material::CompileForMesh(Mesh& mesh) {
    for (int i = 0; i < stageCount_; ++i)
        if (TextureStage* s = stage(i)) s->compileForMesh(i, mesh);
}

void Material::PerDraw(Mesh& mesh) {
    for (int i = 0; i < stageCount_; ++i)
        if (TextureStage* s = stage(i)) s->perDraw(mesh);
}

void Material::Apply(const Material* material, const Mesh* mesh) {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "a material is applied with no current world or render context");
    if (!context) return;
    if (!material) {
        context->SetDefaultMaterial();
        context->ResetStage(0);
        context->ResetStage(1);
        return;
    }
    context->PushFlags();
    context->SetFlags(material->flags);
    context->ReapplyFlags();
    context->PopFlags();
    if (IDirect3DDevice7* device = context->device()) {
        D3DMATERIAL7 m = material->d3dMaterial;
        device->SetMaterial(&m);
    }
    for (int i = 0; i < material->stageCount_; ++i)
        if (TextureStage* s = material->stage(i)) s->apply(i, mesh, *context);
    if (material->stageCount_ < kMaxStages) context->ResetStage(static_cast<DWORD>(material->stageCount_));
}

}  // namespace ZK3D

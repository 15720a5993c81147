// Reading .lfd files, the visibility test with its flash and fade, and drawing
// the flare's squares.
#include "engine/effects/lens_flare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/render/texture.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/light.h"
#include "engine/scene/world.h"
#include "platform/assert.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {

constexpr uint32_t kLineLength = 1024;
constexpr float kFadeStep = 0.05f;

// A pixel coordinate of a projected point, or false when it cannot be one (not
// finite, or far outside any surface).
bool ToPixel(float v, int* out) {
    if (!std::isfinite(v) || std::fabs(v) > 1.0e8f) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

bool SourcePosition(const Node* node, Vector3* position) {
    if (!node) return false;
    if (node->kind() == ZKNODE_LIGHT) {
        const D3DVECTOR& p = static_cast<const Light*>(node)->light.dvPosition;
        *position = {p.x, p.y, p.z};
        return true;
    }
    if (node->kind() != ZKNODE_GIZMO) return false;
    const auto* gizmo = static_cast<const Gizmo*>(node);
    switch (gizmo->shape()) {
        case Gizmo::kPoint: *position = static_cast<const PointGizmo*>(gizmo)->position; return true;
        case Gizmo::kVector: *position = static_cast<const VectorGizmo*>(gizmo)->world.origin; return true;
        case Gizmo::kBox: *position = static_cast<const BoxGizmo*>(gizmo)->world.origin; return true;
        case Gizmo::kSphere: *position = static_cast<const SphereGizmo*>(gizmo)->world.centre; return true;
        case Gizmo::kPlane: *position = static_cast<const PlaneGizmo*>(gizmo)->world.origin; return true;
        default: return false;
    }
}

LensFlare::LensFlare(const char* fileName, Node* source, uint32_t options_)
    : LensFlareBase(fileName, kLensFlareCategory, 1, source) {
    static constexpr float kUV[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        quad[i].z = 1.0f;
        quad[i].rhw = 1.0f;
        quad[i].specular = 0xFFFFFFFFu;
        quad[i].u = kUV[i][0];
        quad[i].v = kUV[i][1];
    }
    Load(fileName);
    options = options_;

    const Context* context = CurrentContext();
    RenderFlags f = context ? context->CurrentFlags() : kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    f = flags::WithBlend(f, (options & kAlphaBlended) ? flags::kBlendTransparent : flags::kBlendAdditive);
    f = flags::WithCull(f, flags::kCullNone);
    flags = f;
    Vector3 unused;
    if (!SourcePosition(source, &unused))
        LogMessage("[SFX] - LensFlare \"%s\" has no source with a position : it is never visible",
                   fileName ? fileName : "");
}

LensFlare::~LensFlare() = default;

void LensFlare::Load(const char* fileName) {
    std::unique_ptr<zkFile> file = fileName ? zkOpenFile(fileName, DiskFirst) : nullptr;
    if (!file) {
        LogError("[SFX] - Cannot Open Configuration File \"%s\"", fileName ? fileName : "");
        return;
    }
    char line[kLineLength];
    char textureName[kLineLength];
    while (!file->AtEnd()) {
        file->ReadLine(line, kLineLength);
        if (IsBlank(line) || line[0] == '#') continue;
        float size = 0, position = 0;
        Color colour{1, 1, 1, 1};
        textureName[0] = '\0';
        const int fields = std::sscanf(line, "%1023s %f %f %f %f %f", textureName, &size, &position, &colour.r,
                                       &colour.g, &colour.b);
        if (fields < 6)  // still an element, with defaults: a plain line
            LogMessage("[SFX] - Incomplete flare element \"%s\" in \"%s\" : missing values taken as defaults", line,
                     fileName);
        auto element = std::make_unique<FlareElement>();
        element->texture = (fields >= 1 && textureName[0]) ? GetTexture(textureName) : nullptr;
        element->halfSize = size / 2;
        element->t = position / 100;
        element->colour = colour;
        elements.push_back(std::move(element));
    }
}

const FlareElement* LensFlare::Element(int32_t index) const {
    if (index < 0 || index >= ElementCount()) return nullptr;
    return elements[static_cast<size_t>(index)].get();
}

void LensFlare::render(HierarchyNode*) {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "a lens flare is drawn with no current world or render context");
    if (!context) return;
    const float savedScale = scale;
    const float savedIntensity = intensity;

    Vector3 sourcePosition;
    const bool placed = SourcePosition(source(), &sourcePosition);
    screen = placed ? context->ProjectToScreen(sourcePosition) : Vector4{};
    context->ApplyFlags(flags);

    RenderSurface* surface = context->CurrentSurface();
    int px = 0, py = 0;
    const D3DVIEWPORT7* viewport = surface ? surface->Viewport() : nullptr;
    if (placed && viewport && ToPixel(screen.x, &px) && ToPixel(screen.y, &py) && surface->ContainsPixel(px, py)) {
        // The far edges count as inside; their depth is that of the last column
        // or row, the nearest stored pixel.
        const int lastX = static_cast<int>(viewport->dwX + viewport->dwWidth) - 1;
        const int lastY = static_cast<int>(viewport->dwY + viewport->dwHeight) - 1;
        const float depth = surface->DepthAt(std::min(px, lastX), std::min(py, lastY));
        const bool seen = depth >= screen.z;
        if (!visible && seen) fade = 1;
        visible = seen;
    } else {
        visible = false;
    }

    if (!visible && fade <= -1) return;

    IDirect3DDevice7* device = context->device();
    if (device) device->BeginScene();  // the script may have begun the scene already
    context->ResetStage(0);
    context->ResetStage(1);

    const float e = fade - kFadeStep;
    if (fade > 0 && (options & kFlash)) {
        fade = e;
        if (!elements.empty()) {
            scale = savedScale * 32;
            intensity = savedIntensity * e;
            DrawElement(*elements[0]);
        }
        scale = savedScale;
        intensity = savedIntensity;
    } else if (!visible) {
        fade = e;
        intensity *= e + 1;
        scale *= e + 1;
    }
    for (const auto& element : elements) DrawElement(*element);
    if (device) device->EndScene();

    if (!visible) {
        scale = savedScale;
        intensity = savedIntensity;
    }
}

void LensFlare::DrawElement(const FlareElement& element) {
    Context* context = CurrentContext();
    RenderSurface* surface = context ? context->CurrentSurface() : nullptr;
    IDirect3DDevice7* device = context ? context->device() : nullptr;
    if (!device) return;
    const D3DVIEWPORT7* viewport = surface ? surface->Viewport() : nullptr;
    const float W = viewport ? static_cast<float>(viewport->dwWidth) : 0;
    const float H = viewport ? static_cast<float>(viewport->dwHeight) : 0;
    const float x = screen.x, y = screen.y;
    const float cx = x + ((W - x) - x) * element.t;
    const float cy = y + ((H - y) - y) * element.t;
    const float s = element.halfSize * scale;
    const Color& c = element.colour;
    const D3DCOLOR diffuse = PackColor({c.r * intensity, c.g * intensity, c.b * intensity, c.a * intensity});
    const float xs[4] = {cx - s, cx + s, cx - s, cx + s};
    const float ys[4] = {cy - s, cy - s, cy + s, cy + s};
    for (int i = 0; i < 4; ++i) {
        quad[i].x = xs[i];
        quad[i].y = ys[i];
        quad[i].diffuse = diffuse;
    }
    Texture::Bind(0, element.texture);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kScreenVertexFormat, quad, 4, D3DDP_WAIT);
}

std::unique_ptr<LensFlare> CreateLensFlare(const char* fileName, Node* source, uint32_t options) {
    LogMessage("[SFX] Create LensFlare \"%s\"", fileName ? fileName : "");
    return std::make_unique<LensFlare>(fileName, source, options);
}

}  // namespace ZK3D

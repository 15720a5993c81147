// Lens flares: a row of textured screen-space squares along the line from a
// source's screen position through the screen centre to the mirrored point,
// described by a .lfd text file and drawn once per frame after the scene.
//
// A .lfd line: texture size position red green blue ("%s %f %f %f %f %f"), the
// size in pixels (full width), the position in per cent along the axis (0 the
// source, 50 the centre, 100 the mirrored point). Blank and "#" lines are skipped.
// Missing fields of a short line take defined values: size 0, position 0,
// colour white; every element's alpha is 1 (the stage takes alpha from the
// texture, so it does not show).
//
// Visibility: the source is visible when its pixel lies in the viewport and the
// depth stored there is not nearer than the source. Coming into view starts a
// 20-frame flash (with option 4) in which element 0 is drawn 32 times larger;
// going out of view fades the flare out over 20 or 40 frames. Fades count
// rendered frames, not time.
// Not here: projecting the source (Context::ProjectToScreen) and reading depth
// (RenderSurface::DepthAt).
// Gotcha: a source on the far edge of the viewport (x == X + width) counts as
// inside, and its depth is read from the last column or row, the nearest pixel
// that exists.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/effects/effect_vertices.h"
#include "engine/core/render_flags.h"
#include "engine/core/math.h"
#include "engine/scene/effect_node.h"

namespace ZK3D {

class Texture;

struct FlareElement {
    Texture* texture = nullptr;  // owned by the texture list
    float halfSize = 0;
    float t = 0;  // place along the axis, 0..1
    Color colour{1, 1, 1, 1};
};

// The flare interface the scripts use.
class LensFlareBase : public SpecialNode {
public:
    using SpecialNode::SpecialNode;
    virtual int32_t ElementCount() const = 0;
    virtual const FlareElement* Element(int32_t index) const = 0;
    // Two spare operations at the end of the interface that do nothing, kept so
    // its layout stays that of the flare interface effects are written against.
    virtual void Spare1() {}
    virtual void Spare2() {}
};

class LensFlare final : public LensFlareBase {
public:
    // Option bits.
    static constexpr uint32_t kFlash = 1u << 2;        // flash when the source appears
    static constexpr uint32_t kAlphaBlended = 1u << 3;  // blend by source alpha, not additively

    // Reads the .lfd file (reporting a missing one) and sets the flare up.
    LensFlare(const char* fileName, Node* source, uint32_t options);
    ~LensFlare() override;

    void compile() override {}
    // Tests visibility and draws the flare for this frame (the argument is not used).
    void render(HierarchyNode* node = nullptr) override;

    int32_t ElementCount() const override { return static_cast<int32_t>(elements.size()); }
    // The element, or null for an index outside the list.
    const FlareElement* Element(int32_t index) const override;

    Node* source() const { return associatedNode; }
    // Out of view, with no flash or fade under way: as before its first render.
    void Restart() {
        visible = false;
        fade = -1;
    }

    std::vector<std::unique_ptr<FlareElement>> elements;
    RenderFlags flags = kDefaultRenderFlags;
    uint32_t options = 0;
    float scale = 1;
    float intensity = 1;
    bool visible = false;
    float fade = -1;
    Vector4 screen;  // the source's projected position at the last render
    ScreenVertex quad[4];

private:
    void Load(const char* fileName);
    void DrawElement(const FlareElement& element);
};

// The flare of the file following source, with the option bits; reports
// "[SFX] Create LensFlare" first.
std::unique_ptr<LensFlare> CreateLensFlare(const char* fileName, Node* source, uint32_t options);

// The world position a flare reads from a scene object: a gizmo's world point
// (its position, origin or centre) or a light's position. False for any other
// object or none.
bool SourcePosition(const Node* node, Vector3* position);

}  // namespace ZK3D

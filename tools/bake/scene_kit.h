// Building blocks for the demo's scenes: meshes in the engine's z-up world,
// key tracks, and SceneBuilder, which adds objects together with the
// hierarchy nodes that place them.
//
// The world is z-up: ground lies in the x-y plane with height in z, and a
// camera without roll has (0, 0, 1) as its up vector. The mesh builders of
// tools/zks are y-up; ZUp() turns their output so that their y becomes z.
//
// Cameras and lights take their position from their node's own (local)
// translation, not from the composed tree, so SceneBuilder always puts them,
// their targets and the gizmos that effects read directly under the root.
//
// Not here: the look of any one scene (the scene files do that), textures
// (textures.h).
//
// Gotcha: key times are frames; SceneBuilder::F() turns seconds into frames at
// the scene's rate.
#pragma once

#include <cstdint>
#include <functional>
#include <numbers>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/zks/zks_math.h"
#include "tools/zks/zks_mesh_builder.h"
#include "tools/zks/zks_scene.h"

namespace bake {

using zks::Quat;
using zks::Vec3;

constexpr float kPi = std::numbers::pi_v<float>;

// Render-state word fields (the engine's RenderFlags layout).
namespace rf {
constexpr uint32_t kDepthTest = 1u << 0;
constexpr uint32_t kAlphaBlend = 1u << 2;
constexpr uint32_t kLighting = 1u << 4;
constexpr uint32_t kSpecular = 1u << 5;
constexpr uint32_t kSorted = 1u << 17;
constexpr uint32_t kCullNone = 2u << 20;
constexpr uint32_t kCullMask = 3u << 20;
constexpr uint32_t kBlendMask = 15u << 22;
constexpr uint32_t kBlendAdd = 1u << 22;
constexpr uint32_t kBlendAlpha = 2u << 22;
constexpr uint32_t kBlendAlphaAdd = 3u << 22;
constexpr uint32_t kDepthReadOnly = 1u << 26;
constexpr uint32_t kDefault = 0x000000D3;
// Unlit, double-sided: sky domes, glowing things.
constexpr uint32_t kUnlit = kDefault & ~kLighting;
// Sorted, blended, not writing depth, double-sided: glass, glows, clouds.
// Lighting stays on: unlit drawing ignores the material's colours.
constexpr uint32_t Transparent(uint32_t blend) {
    return kDefault | kAlphaBlend | kSorted | blend | kDepthReadOnly | kCullNone;
}
}  // namespace rf

// ------------------------------------------------------------------ meshes

// Turns a y-up mesh so that its +y points along +z (and its +z along −y).
zks::Mesh ZUp(zks::Mesh mesh);

zks::Mesh Box(Vec3 size);
zks::Mesh Sphere(float radius, int slices = 24, int stacks = 12);
// Along z, centred on the origin.
zks::Mesh Cylinder(float radius, float height, int slices = 16, bool caps = true);
// Along z, tip at +height/2.
zks::Mesh Cone(float radius, float height, int slices = 16, bool cap = true);
// Around z (in the x-y plane).
zks::Mesh Torus(float majorRadius, float minorRadius, int majorSegments = 32, int minorSegments = 12);

using Height = std::function<float(float x, float y)>;
// A grid of sizeX × sizeY units in the x-y plane, facing +z, centred on the
// origin, with heights; uv covers the grid uvRepeat times.
zks::Mesh Terrain(float sizeX, float sizeY, int cellsX, int cellsY, const Height& height, float uvRepeat);

// A quad in the x-z plane (facing −y), width × height, bottom edge at z = 0.
zks::Mesh Billboard(float width, float height);

// A flat quad in the x-y plane facing +z, centred on the origin.
zks::Mesh FlatQuad(float width, float height, float uvRepeat = 1);

// Moves every vertex along its normal by amount(position), then smooths the
// normals over shared positions.
void Displace(zks::Mesh& mesh, const std::function<float(Vec3)>& amount);

// Normals as the area-weighted average of the faces around each position
// (vertices at the same place share one normal, seams included).
void SmoothNormals(zks::Mesh& mesh);

// Every face gets its own three vertices with the face normal: a faceted look.
void Facet(zks::Mesh& mesh);

// Transform helpers on a mesh.
void Move(zks::Mesh& mesh, Vec3 by);
void Scale(zks::Mesh& mesh, Vec3 by);
void Turn(zks::Mesh& mesh, Quat rotation);
// Appends src (placed by scale, rotation, translation) to dst.
void Add(zks::Mesh& dst, zks::Mesh src, Vec3 translation = {}, Quat rotation = {}, Vec3 scale = {1, 1, 1});

// Rotation about z (heading), x and y.
Quat Yaw(float angle);
Quat AboutX(float angle);
Quat AboutY(float angle);

// ------------------------------------------------------------------ keys

// Deterministic pseudo-random numbers for placing things.
class Rng {
public:
    explicit Rng(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next();
    float Unit();                    // [0, 1)
    float Range(float lo, float hi);  // [lo, hi)

private:
    uint32_t state_;
};

struct PosKey {
    float frame;
    Vec3 value;
};
struct RotKey {
    float frame;
    Quat value;
};
struct ScalarKey {
    float frame;
    float value;
};

zks::KeyTrack PositionTrack(const std::vector<PosKey>& keys,
                            zks::Interpolation interpolation = zks::Interpolation::HermiteAuto);
zks::KeyTrack ScaleTrack(const std::vector<PosKey>& keys,
                         zks::Interpolation interpolation = zks::Interpolation::HermiteAuto);
// Rotation keys are slerped (linear and auto Hermite) unless Hermite with
// tangents is asked for.
zks::KeyTrack RotationTrack(const std::vector<RotKey>& keys,
                            zks::Interpolation interpolation = zks::Interpolation::Linear);
zks::KeyTrack RollTrack(const std::vector<ScalarKey>& keys,
                        zks::Interpolation interpolation = zks::Interpolation::HermiteAuto);
zks::KeyTrack FovTrack(const std::vector<ScalarKey>& keys,
                       zks::Interpolation interpolation = zks::Interpolation::HermiteAuto);

// Hermite keys with explicit tangents from the neighbours (a Catmull-Rom
// spline whose tangents are scaled by `tension`), for Vec3 tracks.
zks::KeyTrack HermitePositionTrack(const std::vector<PosKey>& keys, float tension = 1);
// Bezier keys whose control points lie a third of the way to the neighbours
// along the chord (a smooth curve through the keys).
zks::KeyTrack BezierPositionTrack(const std::vector<PosKey>& keys);
// Hermite rotation keys (component-wise, normalised by the engine).
zks::KeyTrack HermiteRotationTrack(const std::vector<RotKey>& keys);

// Keys of a circle around centre (radius, height z) from angle a0 to a1 over
// frames f0..f1, `steps` segments.
std::vector<PosKey> Orbit(Vec3 centre, float radius, float z, float a0, float a1, float f0, float f1, int steps);

// ------------------------------------------------------------------ scenes

class SceneBuilder {
public:
    // An animated scene of `seconds` at `fps` frames per second.
    SceneBuilder(std::string name, int fps, float seconds);

    zks::Scene& scene() { return scene_; }
    int fps() const { return scene_.animation.framesPerSecond; }
    int lastFrame() const { return scene_.animation.lastFrame; }
    float F(float seconds) const { return seconds * float(fps()); }

    void SetColors(zks::Color background, zks::Color ambient);
    void SetFog(zks::FogMode mode, zks::Color color, float start, float end);

    void AddMaterial(const zks::Material& material);

    // A node without an object (a group), placed under parent ("" = under the
    // scene's root node).
    zks::Node& AddGroup(const std::string& name, const std::string& parent = "", const zks::Transform& t = {});
    // The mesh (named `name`, drawn with `material`) and its node.
    zks::Node& AddMesh(const std::string& name, zks::Mesh mesh, const std::string& material,
                       const std::string& parent = "", const zks::Transform& t = {});
    // A point gizmo under the root, e.g. a camera target or a flare source.
    zks::Node& AddPoint(const std::string& name, Vec3 at);
    zks::Node& AddGizmo(const std::string& name, const zks::GizmoShape& shape, const zks::Transform& t,
                        uint32_t flags = 0, const std::string& parent = "");
    // A culling sphere under the root at `centre`; put the guarded objects
    // under it (their transforms are then relative to the centre).
    zks::Node& AddCullSphere(const std::string& name, Vec3 centre, float radius);

    // A target camera looking at the node `target` (made with AddPoint or
    // any other node under the root). With fov keys the controller is
    // LookAt+Fov, else LookAt.
    zks::Node& AddCamera(const std::string& name, const std::string& target, zks::KeyTrack position,
                         float fov = 0.9f, float nearPlane = 0.5f, float farPlane = 800.0f);
    // A camera together with its own moving target point "<name>Target".
    zks::Node& AddCameraPath(const std::string& name, zks::KeyTrack eye, zks::KeyTrack target, float fov = 0.9f,
                             float nearPlane = 0.5f, float farPlane = 800.0f);

    zks::Node& AddLight(const zks::Light& light, Vec3 at);

    // The node placing the object of this name.
    zks::Node& NodeOf(const std::string& name);
    bool Has(const std::string& name) const { return names_.count(name) != 0; }

    // The finished scene; the names a loader would misread are errors here.
    zks::Scene Finish();

private:
    zks::Node& PlaceNode(const std::string& name, const std::string& parent, const zks::Transform& t);
    void Claim(const std::string& name);

    zks::Scene scene_;
    std::set<std::string> names_;
    std::set<std::string> materialNames_;
};

// Material helpers: the diffuse colour also serves as ambient.
zks::Material MakeMaterial(const std::string& name, zks::Color diffuse, uint32_t flags = rf::kDefault);
// A self-lit material of colour `tint` (lighting stays on, so the emissive
// colour tints the texture; unlit drawing would take plain white instead).
zks::Material GlowMaterial(const std::string& name, zks::Color tint, uint32_t flags);
zks::Color Rgb(float r, float g, float b);
zks::Color Rgba(float r, float g, float b, float a);
// A texture reference named by its file (so effects and scenes share it).
zks::TextureRef Tex(const std::string& file);

zks::Light DirectionalLight(const std::string& name, Vec3 direction, zks::Color diffuse);
zks::Light PointLight(const std::string& name, zks::Color diffuse, float range, float a0, float a1, float a2);
zks::Light SpotLight(const std::string& name, zks::Color diffuse, Vec3 direction, float range, float theta,
                     float phi);

}  // namespace bake

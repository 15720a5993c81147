// The in-memory model of a ZKS scene file, as the writer lays it out.
//
// A Scene holds plain value records in file order: meshes, cameras, lights,
// gizmos, materials with their texture records, hierarchy nodes (with key tracks
// for animated scenes) and extension chunks. Everything the file counts (meshes,
// cameras, material count, hierarchy count, key counts, stage mask, has-target,
// shape code) is derived from the lists when the file is written.
//
// Effect nodes are not part of the format: NumSpecial is written as 0 and no
// records follow it.
//
// Deliberately odd files for loader tests are made with the override fields
// (RawOverrides, KeyTrack::countOverride, Chunk::sizeOverride,
// Gizmo::shapeCodeOverride, Material::stageMaskOverride, Light::hasTargetOverride):
// each replaces a derived value and nothing else, so a count can disagree with
// its list. ValidateScene (zks_writer.h) lists every such oddity; the writer
// itself writes whatever the model says.
//
// Gotchas: Color defaults to all zeros (the descriptor of an empty scene is 52
// zero bytes); use Rgb() for an opaque colour. The file's gizmo shape codes are
// 1 point, 2 box, 3 sphere, 4 plane, 5 vector.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/scene/scene_file.h"

namespace zks {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

// x, y, z vector part, w scalar part; the default is the identity rotation.
struct Quat {
    float x = 0, y = 0, z = 0, w = 1;
    friend bool operator==(const Quat&, const Quat&) = default;
};

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Color&, const Color&) = default;
};
constexpr Color Rgb(float r, float g, float b) { return {r, g, b, 1.0f}; }

enum class SceneKind : uint8_t { Static = ZK3D::kStaticScene, Animated = ZK3D::kAnimatedScene };

// The 60-byte transform record of a hierarchy node. A point is turned into the
// scale axes, scaled, turned back, rotated, scaled uniformly and moved.
struct Transform {
    Vec3 translation;
    Vec3 scale{1, 1, 1};
    Quat scaleAxes;
    Quat rotation;
    float uniformScale = 1;
    friend bool operator==(const Transform&, const Transform&) = default;
};

// Animated scenes only: scene time runs in frames, seconds × framesPerSecond.
struct Animation {
    int32_t unused = 0;
    int32_t lastFrame = 0;
    int32_t framesPerSecond = 30;
    friend bool operator==(const Animation&, const Animation&) = default;
};

enum class FogMode : int32_t { None = 0, Linear = 1, Exponential = 2, Exponential2 = 3 };

struct Fog {
    FogMode mode = FogMode::None;
    Color color;
    float start = 0;
    float end = 0;  // the density for the exponential modes
    uint32_t unused = 0;
    friend bool operator==(const Fog&, const Fog&) = default;
};

struct Vertex {
    Vec3 position;
    Vec3 normal;
    float u = 0, v = 0;
    friend bool operator==(const Vertex&, const Vertex&) = default;
};

struct Face {
    uint16_t a = 0, b = 0, c = 0;
    friend bool operator==(const Face&, const Face&) = default;
};

struct Mesh {
    std::string name;      // also the name of the hierarchy node that places it
    std::string material;  // a material name of the world (any scene file)
    int32_t texCoordSets = 1;
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    friend bool operator==(const Mesh&, const Mesh&) = default;
};

struct Camera {
    std::string name;
    std::string target;  // hierarchy node looked at; written even when empty
    float nearPlane = 1;
    float farPlane = 1000;
    float fov = 0.785398f;  // vertical, radians
    float unused = 0;
    friend bool operator==(const Camera&, const Camera&) = default;
};

enum class LightType : int32_t { Point = 1, Spot = 2, Directional = 3 };

// The light data is the 104-byte D3DLIGHT7 layout, field for field.
struct Light {
    std::string name;
    LightType type = LightType::Point;
    Color diffuse = Rgb(1, 1, 1);
    Color specular;
    Color ambient;
    Vec3 position;
    Vec3 direction{0, 0, 1};
    float range = 1000;
    float falloff = 1;
    float attenuation0 = 1, attenuation1 = 0, attenuation2 = 0;
    float theta = 0, phi = 0;
    std::optional<std::string> target;  // has-target is 1 exactly when present
    std::optional<int32_t> hasTargetOverride;
    friend bool operator==(const Light&, const Light&) = default;
};

// Gizmo shapes with their local data as stored in the file.
struct PointShape {
    friend bool operator==(const PointShape&, const PointShape&) = default;
};
struct BoxShape {  // 60 bytes
    std::array<float, 3> size{};
    Vec3 origin;
    std::array<Vec3, 3> axis{};
    friend bool operator==(const BoxShape&, const BoxShape&) = default;
};
struct SphereShape {  // 16 bytes
    Vec3 centre;
    float radius = 0;
    friend bool operator==(const SphereShape&, const SphereShape&) = default;
};
struct PlaneShape {  // 56 bytes
    std::array<float, 2> size{};
    Vec3 origin;
    std::array<Vec3, 3> axis{};
    friend bool operator==(const PlaneShape&, const PlaneShape&) = default;
};
struct VectorShape {  // 24 bytes
    Vec3 origin;
    Vec3 vector;
    friend bool operator==(const VectorShape&, const VectorShape&) = default;
};
using GizmoShape = std::variant<PointShape, BoxShape, SphereShape, PlaneShape, VectorShape>;

constexpr uint32_t kGizmoCullingSphere = 0x1;

struct Gizmo {
    std::string name;
    GizmoShape shape;
    uint32_t flags = 0;
    int32_t unused = 0;
    // Writes this code instead of the shape's; the shape's data is written as is.
    std::optional<int32_t> shapeCodeOverride;
    friend bool operator==(const Gizmo&, const Gizmo&) = default;
};

// The file code of a shape: 1 point, 2 box, 3 sphere, 4 plane, 5 vector.
int32_t ShapeCode(const GizmoShape& shape);

struct TextureRef {
    std::string name;    // key in the world's texture list
    std::string bitmap;  // image file; empty: no image
    friend bool operator==(const TextureRef&, const TextureRef&) = default;
};

// Render-state word of a material when nothing else is asked for.
constexpr uint32_t kDefaultRenderFlags = 0x000000D3;

struct Material {
    std::string name;
    uint32_t renderFlags = kDefaultRenderFlags;
    // Stage mask bits 0 to 3; each present reference writes one texture record.
    std::optional<TextureRef> texture, detail, environment, bump;
    // The 68-byte D3DMATERIAL7.
    Color diffuse = Rgb(1, 1, 1);
    Color ambient = Rgb(1, 1, 1);
    Color specular;
    Color emissive;
    float power = 0;
    // Writes this mask instead of the derived one; records still follow the references.
    std::optional<int32_t> stageMaskOverride;
    friend bool operator==(const Material&, const Material&) = default;
};

// Stage mask derived from the present texture references.
int32_t StageMask(const Material& material);

enum class ValueType : int32_t { Position = 1, Rotation = 2, Scale = 3, Roll = 4, Fov = 5 };
enum class Interpolation : int32_t { Linear = 1, Hermite = 2, Bezier = 3, HermiteAuto = 4 };

// One key. Only the components of the track's value type are written (3 for
// position and scale, 4 for rotation, 1 for roll and fov); the tangents only for
// Hermite and Bézier tracks (for Bézier they are control offsets from the value).
struct Key {
    float time = 0;
    std::array<float, 4> value{};
    std::array<float, 4> inTangent{};
    std::array<float, 4> outTangent{};
    friend bool operator==(const Key&, const Key&) = default;
};

Key PositionKey(float time, Vec3 value);
Key RotationKey(float time, Quat value);
Key ScalarKey(float time, float value);

// ValueType and Interpolation may hold values outside their enumerators (cast
// from any int32): such a track has no key layout and writes no key bytes.
struct KeyTrack {
    ValueType valueType = ValueType::Position;
    Interpolation interpolation = Interpolation::Linear;
    std::vector<Key> keys;  // ascending time
    std::optional<int32_t> countOverride;
    friend bool operator==(const KeyTrack&, const KeyTrack&) = default;
};

enum class Controller : int32_t { None = 0, PRS = 1, LookAt = 2, LookAtFov = 3 };

// A hierarchy record. Static scenes write transform and roll; animated scenes
// write transform, controller and the controller's data: PRS → position,
// rotation and scale tracks; LookAt → roll, position and roll tracks; LookAt+Fov
// → roll, fov, position, roll and fov tracks. An absent track is written as a
// header with a key count of 0.
struct Node {
    std::string name;    // the object it places (mesh, camera, light, gizmo)
    std::string parent;  // empty: the root; must name an earlier node
    Transform transform;
    float roll = 0;
    float fov = 0;
    Controller controller = Controller::None;
    std::optional<KeyTrack> position, rotation, scale, rollTrack, fovTrack;
    friend bool operator==(const Node&, const Node&) = default;
};

struct Chunk {
    int32_t id = 0;
    std::vector<uint8_t> data;
    std::optional<int32_t> sizeOverride;  // written instead of data.size()
    friend bool operator==(const Chunk&, const Chunk&) = default;
};

// Replacements for derived header values, for files that are wrong on purpose.
struct RawOverrides {
    std::optional<std::array<char, 3>> magic;
    std::optional<uint8_t> kindByte;
    std::optional<int32_t> numMesh, numCamera, numLight, numGizmo, numSpecial;
    std::optional<int32_t> materialCount, hierarchyCount;
    bool terminateHierarchy = true;  // false: no final 0 flag
    friend bool operator==(const RawOverrides&, const RawOverrides&) = default;
};

struct Scene {
    SceneKind kind = SceneKind::Static;
    std::string name;
    Color background;
    Color ambient;
    Animation animation;  // written for animated scenes only
    Fog fog;
    std::vector<Mesh> meshes;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Gizmo> gizmos;
    std::vector<Material> materials;
    std::vector<Node> nodes;
    std::vector<Chunk> chunks;
    RawOverrides raw;
    friend bool operator==(const Scene&, const Scene&) = default;
};

}  // namespace zks

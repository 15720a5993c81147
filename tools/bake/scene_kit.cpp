// Scene-building helpers: z-up primitives, mesh operations, key tracks and the
// scene builder that keeps names unique and nodes in parent-first order.
#include "tools/bake/scene_kit.h"

#include <cmath>
#include <map>
#include <stdexcept>
#include <tuple>

#include "tools/zks/zks_writer.h"

namespace bake {

// ------------------------------------------------------------------ meshes

zks::Mesh ZUp(zks::Mesh mesh) {
    zks::TransformMesh(mesh, {1, 1, 1}, zks::AxisAngle({1, 0, 0}, kPi / 2), {});
    return mesh;
}

zks::Mesh Box(Vec3 size) { return ZUp(zks::BoxMesh({size.x, size.z, size.y})); }
zks::Mesh Sphere(float radius, int slices, int stacks) { return ZUp(zks::SphereMesh(radius, slices, stacks)); }
zks::Mesh Cylinder(float radius, float height, int slices, bool caps) {
    return ZUp(zks::CylinderMesh(radius, height, slices, caps));
}
zks::Mesh Cone(float radius, float height, int slices, bool cap) { return ZUp(zks::ConeMesh(radius, height, slices, cap)); }
zks::Mesh Torus(float majorRadius, float minorRadius, int majorSegments, int minorSegments) {
    return ZUp(zks::TorusMesh(majorRadius, minorRadius, majorSegments, minorSegments));
}

zks::Mesh Terrain(float sizeX, float sizeY, int cellsX, int cellsY, const Height& height, float uvRepeat) {
    zks::Mesh m;
    const float dx = sizeX / float(cellsX), dy = sizeY / float(cellsY);
    auto h = [&](float x, float y) { return height ? height(x, y) : 0.0f; };
    for (int j = 0; j <= cellsY; ++j) {
        const float y = -sizeY * 0.5f + dy * float(j);
        for (int i = 0; i <= cellsX; ++i) {
            const float x = -sizeX * 0.5f + dx * float(i);
            const float sx = (h(x + dx, y) - h(x - dx, y)) / (2 * dx);
            const float sy = (h(x, y + dy) - h(x, y - dy)) / (2 * dy);
            m.vertices.push_back({{x, y, h(x, y)}, zks::Normalize(Vec3{-sx, -sy, 1}),
                                  uvRepeat * float(i) / float(cellsX), uvRepeat * (1 - float(j) / float(cellsY))});
        }
    }
    const int stride = cellsX + 1;
    for (int j = 0; j < cellsY; ++j)
        for (int i = 0; i < cellsX; ++i) {
            const auto a = uint16_t(j * stride + i), b = uint16_t(a + 1), c = uint16_t(a + stride + 1),
                       d = uint16_t(a + stride);
            // Counter-clockwise seen from above (+z).
            m.faces.push_back({a, b, c});
            m.faces.push_back({a, c, d});
        }
    return m;
}

zks::Mesh Billboard(float width, float height) {
    zks::Mesh m;
    const float w = width / 2;
    const Vec3 n{0, -1, 0};
    m.vertices = {{{-w, 0, 0}, n, 0, 1}, {{w, 0, 0}, n, 1, 1}, {{w, 0, height}, n, 1, 0}, {{-w, 0, height}, n, 0, 0}};
    // Seen from −y, x runs to the right and z up: counter-clockwise on screen.
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

zks::Mesh FlatQuad(float width, float height, float uvRepeat) {
    zks::Mesh m;
    const float w = width / 2, h = height / 2;
    const Vec3 n{0, 0, 1};
    m.vertices = {{{-w, -h, 0}, n, 0, uvRepeat},
                  {{w, -h, 0}, n, uvRepeat, uvRepeat},
                  {{w, h, 0}, n, uvRepeat, 0},
                  {{-w, h, 0}, n, 0, 0}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

namespace {

using PosKeyT = std::tuple<int, int, int>;

PosKeyT Quantise(Vec3 p) {
    return {int(std::lround(p.x * 1000)), int(std::lround(p.y * 1000)), int(std::lround(p.z * 1000))};
}

}  // namespace

void SmoothNormals(zks::Mesh& mesh) {
    std::map<PosKeyT, Vec3> sums;
    for (const zks::Face& f : mesh.faces) {
        const Vec3 a = mesh.vertices[f.a].position, b = mesh.vertices[f.b].position, c = mesh.vertices[f.c].position;
        const Vec3 n = zks::Cross(b - a, c - a);  // length = twice the area
        for (uint16_t i : {f.a, f.b, f.c}) {
            Vec3& s = sums[Quantise(mesh.vertices[i].position)];
            s = s + n;
        }
    }
    for (zks::Vertex& v : mesh.vertices) {
        const Vec3 n = zks::Normalize(sums[Quantise(v.position)]);
        if (zks::Length(n) > 0) v.normal = n;
    }
}

void Displace(zks::Mesh& mesh, const std::function<float(Vec3)>& amount) {
    // Vertices at one place (seams) must move together: take the first normal seen there.
    std::map<PosKeyT, Vec3> moved;
    for (zks::Vertex& v : mesh.vertices) {
        const PosKeyT k = Quantise(v.position);
        auto it = moved.find(k);
        if (it == moved.end()) it = moved.emplace(k, v.position + v.normal * amount(v.position)).first;
        v.position = it->second;
    }
    SmoothNormals(mesh);
}

void Facet(zks::Mesh& mesh) {
    zks::Mesh out;
    out.name = mesh.name;
    out.material = mesh.material;
    for (const zks::Face& f : mesh.faces) {
        zks::Vertex a = mesh.vertices[f.a], b = mesh.vertices[f.b], c = mesh.vertices[f.c];
        const Vec3 n = zks::Normalize(zks::Cross(b.position - a.position, c.position - a.position));
        a.normal = b.normal = c.normal = n;
        const auto base = uint16_t(out.vertices.size());
        out.vertices.push_back(a);
        out.vertices.push_back(b);
        out.vertices.push_back(c);
        out.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2)});
    }
    mesh = std::move(out);
}

void Move(zks::Mesh& mesh, Vec3 by) { zks::TransformMesh(mesh, {1, 1, 1}, {}, by); }
void Scale(zks::Mesh& mesh, Vec3 by) { zks::TransformMesh(mesh, by, {}, {}); }
void Turn(zks::Mesh& mesh, Quat rotation) { zks::TransformMesh(mesh, {1, 1, 1}, rotation, {}); }

void Add(zks::Mesh& dst, zks::Mesh src, Vec3 translation, Quat rotation, Vec3 scale) {
    zks::TransformMesh(src, scale, rotation, translation);
    if (!zks::AppendMesh(dst, src)) throw std::runtime_error("mesh \"" + dst.name + "\" outgrows 16-bit indices");
}

Quat Yaw(float angle) { return zks::AxisAngle({0, 0, 1}, angle); }
Quat AboutX(float angle) { return zks::AxisAngle({1, 0, 0}, angle); }
Quat AboutY(float angle) { return zks::AxisAngle({0, 1, 0}, angle); }

// ------------------------------------------------------------------ keys

uint32_t Rng::Next() {
    // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}
float Rng::Unit() { return float(Next() >> 8) * (1.0f / 16777216.0f); }
float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }

namespace {

zks::KeyTrack MakeTrack(zks::ValueType type, zks::Interpolation interpolation) {
    zks::KeyTrack t;
    t.valueType = type;
    t.interpolation = interpolation;
    return t;
}

zks::KeyTrack Vec3Track(zks::ValueType type, const std::vector<PosKey>& keys, zks::Interpolation interpolation) {
    zks::KeyTrack t = MakeTrack(type, interpolation);
    for (const PosKey& k : keys) t.keys.push_back(zks::PositionKey(k.frame, k.value));
    return t;
}

zks::KeyTrack ScalarTrack(zks::ValueType type, const std::vector<ScalarKey>& keys, zks::Interpolation interpolation) {
    zks::KeyTrack t = MakeTrack(type, interpolation);
    for (const ScalarKey& k : keys) t.keys.push_back(zks::ScalarKey(k.frame, k.value));
    return t;
}

}  // namespace

zks::KeyTrack PositionTrack(const std::vector<PosKey>& keys, zks::Interpolation interpolation) {
    return Vec3Track(zks::ValueType::Position, keys, interpolation);
}
zks::KeyTrack ScaleTrack(const std::vector<PosKey>& keys, zks::Interpolation interpolation) {
    return Vec3Track(zks::ValueType::Scale, keys, interpolation);
}
zks::KeyTrack RotationTrack(const std::vector<RotKey>& keys, zks::Interpolation interpolation) {
    zks::KeyTrack t = MakeTrack(zks::ValueType::Rotation, interpolation);
    Quat previous{};
    for (size_t i = 0; i < keys.size(); ++i) {
        // Keep neighbouring keys in one hemisphere so Hermite takes the short way too.
        Quat q = keys[i].value;
        if (i > 0 && q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0)
            q = {-q.x, -q.y, -q.z, -q.w};
        t.keys.push_back(zks::RotationKey(keys[i].frame, q));
        previous = q;
    }
    return t;
}
zks::KeyTrack RollTrack(const std::vector<ScalarKey>& keys, zks::Interpolation interpolation) {
    return ScalarTrack(zks::ValueType::Roll, keys, interpolation);
}
zks::KeyTrack FovTrack(const std::vector<ScalarKey>& keys, zks::Interpolation interpolation) {
    return ScalarTrack(zks::ValueType::Fov, keys, interpolation);
}

zks::KeyTrack HermitePositionTrack(const std::vector<PosKey>& keys, float tension) {
    zks::KeyTrack t = PositionTrack(keys, zks::Interpolation::Hermite);
    const size_t n = t.keys.size();
    for (size_t i = 0; i < n; ++i) {
        const zks::Key& prev = t.keys[i > 0 ? i - 1 : i];
        const zks::Key& next = t.keys[i + 1 < n ? i + 1 : i];
        for (int c = 0; c < 3; ++c) {
            const float tangent = (next.value[c] - prev.value[c]) * 0.5f * tension;
            t.keys[i].inTangent[c] = tangent;
            t.keys[i].outTangent[c] = tangent;
        }
    }
    return t;
}

zks::KeyTrack BezierPositionTrack(const std::vector<PosKey>& keys) {
    zks::KeyTrack t = PositionTrack(keys, zks::Interpolation::Bezier);
    const size_t n = t.keys.size();
    for (size_t i = 0; i < n; ++i) {
        const zks::Key& prev = t.keys[i > 0 ? i - 1 : i];
        const zks::Key& next = t.keys[i + 1 < n ? i + 1 : i];
        for (int c = 0; c < 3; ++c) {
            const float chord = (next.value[c] - prev.value[c]) / 6.0f;
            t.keys[i].inTangent[c] = -chord;  // control offset towards the previous key
            t.keys[i].outTangent[c] = chord;
        }
    }
    return t;
}

zks::KeyTrack HermiteRotationTrack(const std::vector<RotKey>& keys) {
    zks::KeyTrack t = RotationTrack(keys, zks::Interpolation::Hermite);
    const size_t n = t.keys.size();
    for (size_t i = 0; i < n; ++i) {
        const zks::Key& prev = t.keys[i > 0 ? i - 1 : i];
        const zks::Key& next = t.keys[i + 1 < n ? i + 1 : i];
        for (int c = 0; c < 4; ++c) {
            const float tangent = (next.value[c] - prev.value[c]) * 0.5f;
            t.keys[i].inTangent[c] = tangent;
            t.keys[i].outTangent[c] = tangent;
        }
    }
    return t;
}

std::vector<PosKey> Orbit(Vec3 centre, float radius, float z, float a0, float a1, float f0, float f1, int steps) {
    std::vector<PosKey> keys;
    for (int i = 0; i <= steps; ++i) {
        const float u = float(i) / float(steps);
        const float a = a0 + (a1 - a0) * u;
        keys.push_back({f0 + (f1 - f0) * u, {centre.x + radius * std::cos(a), centre.y + radius * std::sin(a), z}});
    }
    return keys;
}

// ------------------------------------------------------------------ scenes

namespace {
constexpr const char* kRoot = "Root";
}

SceneBuilder::SceneBuilder(std::string name, int fps, float seconds) {
    scene_.kind = zks::SceneKind::Animated;
    scene_.name = std::move(name);
    scene_.animation.framesPerSecond = fps;
    scene_.animation.lastFrame = int(std::lround(seconds * float(fps)));
    scene_.background = Rgb(0, 0, 0);
    scene_.ambient = Rgb(0.2f, 0.2f, 0.2f);
    PlaceNode(kRoot, "", {});
}

void SceneBuilder::SetColors(zks::Color background, zks::Color ambient) {
    scene_.background = background;
    scene_.ambient = ambient;
}

void SceneBuilder::SetFog(zks::FogMode mode, zks::Color color, float start, float end) {
    scene_.fog = {mode, color, start, end, 0};
}

void SceneBuilder::AddMaterial(const zks::Material& material) {
    if (!materialNames_.insert(material.name).second)
        throw std::runtime_error("material \"" + material.name + "\" made twice in " + scene_.name);
    scene_.materials.push_back(material);
}

void SceneBuilder::Claim(const std::string& name) {
    if (!names_.insert(name).second) throw std::runtime_error("name \"" + name + "\" used twice in " + scene_.name);
}

zks::Node& SceneBuilder::PlaceNode(const std::string& name, const std::string& parent, const zks::Transform& t) {
    Claim(name);
    zks::Node n;
    n.name = name;
    n.parent = parent;
    n.transform = t;
    if (!parent.empty() && !names_.count(parent))
        throw std::runtime_error("parent \"" + parent + "\" of \"" + name + "\" is not placed yet");
    scene_.nodes.push_back(std::move(n));
    return scene_.nodes.back();
}

zks::Node& SceneBuilder::AddGroup(const std::string& name, const std::string& parent, const zks::Transform& t) {
    return PlaceNode(name, parent.empty() ? kRoot : parent, t);
}

zks::Node& SceneBuilder::AddMesh(const std::string& name, zks::Mesh mesh, const std::string& material,
                                 const std::string& parent, const zks::Transform& t) {
    mesh.name = name;
    mesh.material = material;
    if (mesh.vertices.size() > 65536) throw std::runtime_error("mesh \"" + name + "\" has too many vertices");
    scene_.meshes.push_back(std::move(mesh));
    return PlaceNode(name, parent.empty() ? kRoot : parent, t);
}

zks::Node& SceneBuilder::AddPoint(const std::string& name, Vec3 at) {
    return AddGizmo(name, zks::PointShape{}, zks::Translation(at));
}

zks::Node& SceneBuilder::AddGizmo(const std::string& name, const zks::GizmoShape& shape, const zks::Transform& t,
                                  uint32_t flags, const std::string& parent) {
    zks::Gizmo g;
    g.name = name;
    g.shape = shape;
    g.flags = flags;
    scene_.gizmos.push_back(g);
    return PlaceNode(name, parent.empty() ? kRoot : parent, t);
}

zks::Node& SceneBuilder::AddCullSphere(const std::string& name, Vec3 centre, float radius) {
    return AddGizmo(name, zks::SphereShape{{0, 0, 0}, radius}, zks::Translation(centre), zks::kGizmoCullingSphere);
}

zks::Node& SceneBuilder::AddCamera(const std::string& name, const std::string& target, zks::KeyTrack position,
                                   float fov, float nearPlane, float farPlane) {
    zks::Camera c;
    c.name = name;
    c.target = target;
    c.nearPlane = nearPlane;
    c.farPlane = farPlane;
    c.fov = fov;
    scene_.cameras.push_back(c);
    zks::Node& n = PlaceNode(name, kRoot, {});
    if (!position.keys.empty()) {
        n.transform.translation = {position.keys[0].value[0], position.keys[0].value[1], position.keys[0].value[2]};
        n.position = std::move(position);
    }
    n.controller = zks::Controller::LookAt;
    return n;
}

zks::Node& SceneBuilder::AddCameraPath(const std::string& name, zks::KeyTrack eye, zks::KeyTrack target, float fov,
                                       float nearPlane, float farPlane) {
    const std::string targetName = name + "Target";
    zks::Node& t = AddPoint(targetName, {});
    if (!target.keys.empty()) {
        t.transform.translation = {target.keys[0].value[0], target.keys[0].value[1], target.keys[0].value[2]};
        t.controller = zks::Controller::PRS;
        t.position = std::move(target);
    }
    return AddCamera(name, targetName, std::move(eye), fov, nearPlane, farPlane);
}

zks::Node& SceneBuilder::AddLight(const zks::Light& light, Vec3 at) {
    if (scene_.lights.size() >= 8) throw std::runtime_error("more than 8 lights in " + scene_.name);
    scene_.lights.push_back(light);
    scene_.lights.back().position = at;
    return PlaceNode(light.name, kRoot, zks::Translation(at));
}

zks::Node& SceneBuilder::NodeOf(const std::string& name) {
    for (zks::Node& n : scene_.nodes)
        if (n.name == name) return n;
    throw std::runtime_error("no node \"" + name + "\" in " + scene_.name);
}

zks::Scene SceneBuilder::Finish() {
    // Nodes that got tracks without a controller take the one their tracks need.
    for (zks::Node& n : scene_.nodes) {
        if (n.controller == zks::Controller::None && (n.position || n.rotation || n.scale))
            n.controller = zks::Controller::PRS;
        if (n.controller == zks::Controller::LookAt && n.fovTrack) n.controller = zks::Controller::LookAtFov;
    }
    const std::vector<std::string> problems = zks::ValidateScene(scene_);
    if (!problems.empty()) throw std::runtime_error(scene_.name + ": " + problems.front());
    return scene_;
}

zks::Color Rgb(float r, float g, float b) { return {r, g, b, 1}; }
zks::Color Rgba(float r, float g, float b, float a) { return {r, g, b, a}; }

zks::Material MakeMaterial(const std::string& name, zks::Color diffuse, uint32_t flags) {
    zks::Material m;
    m.name = name;
    m.renderFlags = flags;
    m.diffuse = diffuse;
    m.ambient = diffuse;
    return m;
}

zks::Material GlowMaterial(const std::string& name, zks::Color tint, uint32_t flags) {
    zks::Material m;
    m.name = name;
    m.renderFlags = flags | rf::kLighting;
    m.diffuse = Rgba(0, 0, 0, tint.a);
    m.ambient = Rgb(0, 0, 0);
    m.emissive = tint;
    return m;
}

zks::TextureRef Tex(const std::string& file) { return {file, file}; }

zks::Light DirectionalLight(const std::string& name, Vec3 direction, zks::Color diffuse) {
    zks::Light l;
    l.name = name;
    l.type = zks::LightType::Directional;
    l.direction = direction;
    l.diffuse = diffuse;
    return l;
}

zks::Light PointLight(const std::string& name, zks::Color diffuse, float range, float a0, float a1, float a2) {
    zks::Light l;
    l.name = name;
    l.type = zks::LightType::Point;
    l.diffuse = diffuse;
    l.range = range;
    l.attenuation0 = a0;
    l.attenuation1 = a1;
    l.attenuation2 = a2;
    return l;
}

zks::Light SpotLight(const std::string& name, zks::Color diffuse, Vec3 direction, float range, float theta,
                     float phi) {
    zks::Light l;
    l.name = name;
    l.type = zks::LightType::Spot;
    l.diffuse = diffuse;
    l.direction = direction;
    l.range = range;
    l.theta = theta;
    l.phi = phi;
    l.falloff = 1;
    return l;
}

}  // namespace bake

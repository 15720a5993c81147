// ZKS scene writer and scene checks.
//
// Every multi-byte value goes out little-endian through ByteSink, whatever the
// host; floats are written by their bit pattern, so the same scene gives the
// same bytes everywhere.
#include "tools/zks/zks_writer.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>

namespace zks {
namespace {

constexpr std::array<char, 3> kMagic{ZK3D::kSceneFileMagic[0], ZK3D::kSceneFileMagic[1], ZK3D::kSceneFileMagic[2]};

class ByteSink {
public:
    explicit ByteSink(std::vector<uint8_t>& out) : out_(out) {}
    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) {
        out_.push_back(uint8_t(v));
        out_.push_back(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(uint32_t(v)); }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    void Str(const std::string& s) {
        out_.insert(out_.end(), s.begin(), s.end());
        out_.push_back(0);
    }
    void V3(const Vec3& v) {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Q(const Quat& q) {
        F32(q.x);
        F32(q.y);
        F32(q.z);
        F32(q.w);
    }
    void Col(const Color& c) {
        F32(c.r);
        F32(c.g);
        F32(c.b);
        F32(c.a);
    }
    void Bytes(const std::vector<uint8_t>& b) { out_.insert(out_.end(), b.begin(), b.end()); }

private:
    std::vector<uint8_t>& out_;
};

// Components of a key value by value type; 0 for an unknown type.
int Components(ValueType type) {
    switch (type) {
    case ValueType::Position:
    case ValueType::Scale: return 3;
    case ValueType::Rotation: return 4;
    case ValueType::Roll:
    case ValueType::Fov: return 1;
    }
    return 0;
}

bool LongLayout(Interpolation interpolation) {
    return interpolation == Interpolation::Hermite || interpolation == Interpolation::Bezier;
}

void WriteTransform(ByteSink& sink, const Transform& t) {
    sink.V3(t.translation);
    sink.V3(t.scale);
    sink.Q(t.scaleAxes);
    sink.Q(t.rotation);
    sink.F32(t.uniformScale);
}

void WriteTrack(ByteSink& sink, const KeyTrack& track) {
    const int32_t count = track.countOverride.value_or(int32_t(track.keys.size()));
    sink.I32(int32_t(track.valueType));
    sink.I32(count);
    sink.I32(int32_t(track.interpolation));
    if (count == 0 || KeySize(track.valueType, track.interpolation) == 0) return;
    const int n = Components(track.valueType);
    const bool tangents = LongLayout(track.interpolation);
    for (const Key& key : track.keys) {
        sink.F32(key.time);
        for (int i = 0; i < n; ++i) sink.F32(key.value[i]);
        if (!tangents) continue;
        for (int i = 0; i < n; ++i) sink.F32(key.inTangent[i]);
        for (int i = 0; i < n; ++i) sink.F32(key.outTangent[i]);
    }
}

// An absent track is a header whose key count is 0 (12 bytes).
void WriteTrackOrEmpty(ByteSink& sink, const std::optional<KeyTrack>& track, ValueType type) {
    if (track) {
        WriteTrack(sink, *track);
        return;
    }
    KeyTrack empty;
    empty.valueType = type;
    WriteTrack(sink, empty);
}

void WriteNode(ByteSink& sink, const Node& node, SceneKind kind) {
    sink.I32(1);
    sink.Str(node.name);
    sink.Str(node.parent);
    WriteTransform(sink, node.transform);
    if (kind != SceneKind::Animated) {
        sink.F32(node.roll);
        return;
    }
    sink.I32(int32_t(node.controller));
    switch (node.controller) {
    case Controller::None: break;
    case Controller::PRS:
        WriteTrackOrEmpty(sink, node.position, ValueType::Position);
        WriteTrackOrEmpty(sink, node.rotation, ValueType::Rotation);
        WriteTrackOrEmpty(sink, node.scale, ValueType::Scale);
        break;
    case Controller::LookAt:
        sink.F32(node.roll);
        WriteTrackOrEmpty(sink, node.position, ValueType::Position);
        WriteTrackOrEmpty(sink, node.rollTrack, ValueType::Roll);
        break;
    case Controller::LookAtFov:
        sink.F32(node.roll);
        sink.F32(node.fov);
        WriteTrackOrEmpty(sink, node.position, ValueType::Position);
        WriteTrackOrEmpty(sink, node.rollTrack, ValueType::Roll);
        WriteTrackOrEmpty(sink, node.fovTrack, ValueType::Fov);
        break;
    }
}

void WriteGizmoData(ByteSink& sink, const GizmoShape& shape) {
    struct Data {
        ByteSink& s;
        void operator()(const PointShape&) const {}
        void operator()(const BoxShape& b) const {
            for (float v : b.size) s.F32(v);
            s.V3(b.origin);
            for (const Vec3& a : b.axis) s.V3(a);
        }
        void operator()(const SphereShape& sp) const {
            s.V3(sp.centre);
            s.F32(sp.radius);
        }
        void operator()(const PlaneShape& p) const {
            for (float v : p.size) s.F32(v);
            s.V3(p.origin);
            for (const Vec3& a : p.axis) s.V3(a);
        }
        void operator()(const VectorShape& v) const {
            s.V3(v.origin);
            s.V3(v.vector);
        }
    };
    std::visit(Data{sink}, shape);
}

void WriteTextureRef(ByteSink& sink, const std::optional<TextureRef>& ref) {
    if (!ref) return;
    sink.Str(ref->name);
    sink.Str(ref->bitmap);
}

void WriteMaterial(ByteSink& sink, const Material& m) {
    sink.Str(m.name);
    sink.U32(m.renderFlags);
    sink.I32(m.stageMaskOverride.value_or(StageMask(m)));
    WriteTextureRef(sink, m.texture);
    WriteTextureRef(sink, m.detail);
    WriteTextureRef(sink, m.environment);
    WriteTextureRef(sink, m.bump);
    sink.Col(m.diffuse);
    sink.Col(m.ambient);
    sink.Col(m.specular);
    sink.Col(m.emissive);
    sink.F32(m.power);
}

void WriteLight(ByteSink& sink, const Light& l) {
    sink.Str(l.name);
    sink.I32(l.hasTargetOverride.value_or(l.target ? 1 : 0));
    sink.I32(int32_t(l.type));
    sink.Col(l.diffuse);
    sink.Col(l.specular);
    sink.Col(l.ambient);
    sink.V3(l.position);
    sink.V3(l.direction);
    sink.F32(l.range);
    sink.F32(l.falloff);
    sink.F32(l.attenuation0);
    sink.F32(l.attenuation1);
    sink.F32(l.attenuation2);
    sink.F32(l.theta);
    sink.F32(l.phi);
    if (l.target) sink.Str(*l.target);
}

// Every string the file holds, for the NUL check.
std::vector<const std::string*> AllStrings(const Scene& s) {
    std::vector<const std::string*> all{&s.name};
    for (const Mesh& m : s.meshes) all.insert(all.end(), {&m.name, &m.material});
    for (const Camera& c : s.cameras) all.insert(all.end(), {&c.name, &c.target});
    for (const Light& l : s.lights) {
        all.push_back(&l.name);
        if (l.target) all.push_back(&*l.target);
    }
    for (const Gizmo& g : s.gizmos) all.push_back(&g.name);
    for (const Material& m : s.materials) {
        all.push_back(&m.name);
        for (const auto* ref : {&m.texture, &m.detail, &m.environment, &m.bump})
            if (*ref) all.insert(all.end(), {&(*ref)->name, &(*ref)->bitmap});
    }
    for (const Node& n : s.nodes) all.insert(all.end(), {&n.name, &n.parent});
    return all;
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

constexpr size_t kMaxCount = size_t(std::numeric_limits<int32_t>::max());

}  // namespace

int KeySize(ValueType valueType, Interpolation interpolation) {
    const int n = Components(valueType);
    const int32_t interp = int32_t(interpolation);
    if (n == 0 || interp < 1 || interp > 4) return 0;
    return 4 * (1 + n * (LongLayout(interpolation) ? 3 : 1));
}

bool WriteScene(const Scene& s, std::vector<uint8_t>& out, std::string* error) {
    for (const std::string* str : AllStrings(s))
        if (str->find('\0') != std::string::npos)
            return Fail(error, "name holds a NUL byte: \"" + std::string(str->c_str()) + "\"");
    for (size_t size : {s.meshes.size(), s.cameras.size(), s.lights.size(), s.gizmos.size(),
                        s.materials.size(), s.nodes.size()})
        if (size > kMaxCount) return Fail(error, "list too long for an i32 count");
    for (const Mesh& m : s.meshes)
        if (m.vertices.size() > kMaxCount || m.faces.size() > kMaxCount)
            return Fail(error, "mesh \"" + m.name + "\" too large for an i32 count");
    for (const Chunk& c : s.chunks)
        if (c.data.size() > kMaxCount) return Fail(error, "chunk too large for an i32 size");

    std::vector<uint8_t> bytes;
    ByteSink sink(bytes);
    const std::array<char, 3> magic = s.raw.magic.value_or(kMagic);
    for (char c : magic) sink.U8(uint8_t(c));
    sink.U8(s.raw.kindByte.value_or(uint8_t(s.kind)));
    sink.Str(s.name);

    sink.Col(s.background);
    sink.Col(s.ambient);
    sink.I32(s.raw.numMesh.value_or(int32_t(s.meshes.size())));
    sink.I32(s.raw.numCamera.value_or(int32_t(s.cameras.size())));
    sink.I32(s.raw.numLight.value_or(int32_t(s.lights.size())));
    sink.I32(s.raw.numGizmo.value_or(int32_t(s.gizmos.size())));
    sink.I32(s.raw.numSpecial.value_or(0));
    sink.I32(s.raw.materialCount.value_or(int32_t(s.materials.size())));

    if (s.kind == SceneKind::Animated) {
        sink.I32(s.animation.unused);
        sink.I32(s.animation.lastFrame);
        sink.I32(s.animation.framesPerSecond);
    }

    sink.I32(int32_t(s.fog.mode));
    sink.Col(s.fog.color);
    sink.F32(s.fog.start);
    sink.F32(s.fog.end);
    sink.U32(s.fog.unused);

    for (const Mesh& m : s.meshes) {
        sink.Str(m.name);
        sink.Str(m.material);
        sink.I32(int32_t(m.vertices.size()));
        sink.I32(int32_t(m.faces.size()));
        sink.I32(m.texCoordSets);
        for (const Vertex& v : m.vertices) {
            sink.V3(v.position);
            sink.V3(v.normal);
            sink.F32(v.u);
            sink.F32(v.v);
        }
        for (const Face& f : m.faces) {
            sink.U16(f.a);
            sink.U16(f.b);
            sink.U16(f.c);
        }
    }
    for (const Camera& c : s.cameras) {
        sink.Str(c.name);
        sink.Str(c.target);
        sink.F32(c.nearPlane);
        sink.F32(c.farPlane);
        sink.F32(c.fov);
        sink.F32(c.unused);
    }
    for (const Light& l : s.lights) WriteLight(sink, l);
    for (const Gizmo& g : s.gizmos) {
        sink.Str(g.name);
        sink.I32(g.shapeCodeOverride.value_or(ShapeCode(g.shape)));
        sink.I32(g.unused);
        sink.U32(g.flags);
        WriteGizmoData(sink, g.shape);
    }
    for (const Material& m : s.materials) WriteMaterial(sink, m);

    sink.I32(s.raw.hierarchyCount.value_or(int32_t(s.nodes.size())));
    for (const Node& n : s.nodes) WriteNode(sink, n, s.kind);
    if (s.raw.terminateHierarchy) sink.I32(0);

    for (const Chunk& c : s.chunks) {
        sink.I32(c.id);
        sink.I32(c.sizeOverride.value_or(int32_t(c.data.size())));
        sink.Bytes(c.data);
    }

    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

bool SaveScene(const Scene& scene, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!WriteScene(scene, bytes, error)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + path + "\"");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return Fail(error, "cannot write \"" + path + "\"");
    if (std::fclose(file.release()) != 0) return Fail(error, "cannot write \"" + path + "\"");
    return true;
}

// ------------------------------------------------------------------ checks

namespace {

class Problems {
public:
    void Add(std::string text) { list_.push_back(std::move(text)); }
    std::vector<std::string> Take() { return std::move(list_); }

private:
    std::vector<std::string> list_;
};

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

void CheckName(Problems& p, const std::string& what, const std::string& name) {
    // The loader reads strings into 1024 bytes including the NUL.
    if (name.size() > 1023)
        p.Add(what + " name longer than 1023 bytes: " + Quote(name.substr(0, 32) + "..."));
    if (name.find('\0') != std::string::npos) p.Add(what + " name holds a NUL byte");
}

void CheckTrack(Problems& p, const std::string& node, const char* slot, const KeyTrack& track,
                ValueType expected) {
    const std::string where = "node " + Quote(node) + " " + slot + " track: ";
    if (KeySize(track.valueType, track.interpolation) == 0)
        p.Add(where + "value type " + std::to_string(int32_t(track.valueType)) +
              " with interpolation " + std::to_string(int32_t(track.interpolation)) +
              " has no key layout");
    else if (track.valueType != expected)
        p.Add(where + "value type " + std::to_string(int32_t(track.valueType)) + " in the slot of " +
              std::to_string(int32_t(expected)));
    if (track.countOverride && size_t(*track.countOverride) != track.keys.size())
        p.Add(where + "key count " + std::to_string(*track.countOverride) + " but " +
              std::to_string(track.keys.size()) + " keys");
    if (track.keys.empty() && !track.countOverride)
        p.Add(where + "no keys: the loader treats it as absent");
    for (size_t i = 1; i < track.keys.size(); ++i)
        if (!(track.keys[i - 1].time <= track.keys[i].time)) {
            p.Add(where + "key times not ascending at key " + std::to_string(i));
            break;
        }
}

void CheckNode(Problems& p, const Node& n, SceneKind kind) {
    struct Slot {
        const char* name;
        const std::optional<KeyTrack>& track;
        ValueType type;
    };
    const Slot slots[] = {{"position", n.position, ValueType::Position},
                          {"rotation", n.rotation, ValueType::Rotation},
                          {"scale", n.scale, ValueType::Scale},
                          {"roll", n.rollTrack, ValueType::Roll},
                          {"fov", n.fovTrack, ValueType::Fov}};
    // Which slots the node's controller writes, in the order above.
    bool written[5] = {};
    if (kind == SceneKind::Animated) {
        switch (n.controller) {
        case Controller::None: break;
        case Controller::PRS: written[0] = written[1] = written[2] = true; break;
        case Controller::LookAt: written[0] = written[3] = true; break;
        case Controller::LookAtFov: written[0] = written[3] = written[4] = true; break;
        default:
            p.Add("node " + Quote(n.name) + ": controller " + std::to_string(int32_t(n.controller)) +
                  " is unknown; nothing follows it");
        }
    } else if (n.controller != Controller::None) {
        p.Add("node " + Quote(n.name) + ": a static scene writes no controller");
    }
    for (int i = 0; i < 5; ++i) {
        if (!slots[i].track) continue;
        if (!written[i]) {
            p.Add("node " + Quote(n.name) + ": " + slots[i].name +
                  " track is not written by its controller");
            continue;
        }
        CheckTrack(p, n.name, slots[i].name, *slots[i].track, slots[i].type);
    }
}

void CheckCount(Problems& p, const char* what, const std::optional<int32_t>& value, size_t actual) {
    if (value && (*value < 0 || size_t(*value) != actual))
        p.Add(std::string(what) + " " + std::to_string(*value) + " but the list holds " +
              std::to_string(actual));
}

}  // namespace

std::vector<std::string> ValidateScene(const Scene& s) {
    Problems p;
    const RawOverrides& raw = s.raw;
    if (raw.magic && *raw.magic != kMagic) p.Add("magic is not ZKS");
    if (raw.kindByte && *raw.kindByte != uint8_t(s.kind))
        p.Add("scene kind byte " + std::to_string(*raw.kindByte) + " differs from the model's");
    if (s.kind != SceneKind::Static && s.kind != SceneKind::Animated)
        p.Add("scene kind " + std::to_string(int(s.kind)) + " is neither static nor animated");
    CheckCount(p, "NumMesh", raw.numMesh, s.meshes.size());
    CheckCount(p, "NumCamera", raw.numCamera, s.cameras.size());
    CheckCount(p, "NumLight", raw.numLight, s.lights.size());
    CheckCount(p, "NumGizmo", raw.numGizmo, s.gizmos.size());
    CheckCount(p, "material count", raw.materialCount, s.materials.size());
    CheckCount(p, "hierarchy count", raw.hierarchyCount, s.nodes.size());
    if (raw.numSpecial && *raw.numSpecial != 0) p.Add("NumSpecial is not 0");
    if (!raw.terminateHierarchy) p.Add("hierarchy has no terminating 0 flag");
    if (s.kind == SceneKind::Animated && s.animation.framesPerSecond <= 0)
        p.Add("frames per second is not positive");
    if (s.kind == SceneKind::Animated && s.animation.lastFrame <= 0)
        p.Add("last frame is not positive: the scene has no time to play");

    CheckName(p, "scene", s.name);
    for (const Mesh& m : s.meshes) {
        CheckName(p, "mesh", m.name);
        CheckName(p, "material", m.material);
        if (m.texCoordSets < 1) p.Add("mesh " + Quote(m.name) + ": texture-coordinate sets below 1");
        if (m.vertices.size() > 65536)
            p.Add("mesh " + Quote(m.name) + ": more vertices than 16-bit faces can index");
        for (size_t i = 0; i < m.faces.size(); ++i) {
            const Face& f = m.faces[i];
            if (f.a >= m.vertices.size() || f.b >= m.vertices.size() || f.c >= m.vertices.size()) {
                p.Add("mesh " + Quote(m.name) + ": face " + std::to_string(i) +
                      " names a vertex beyond the vertex count");
                break;
            }
        }
    }

    std::set<std::string> nodeNames;
    for (const Node& n : s.nodes) {
        CheckName(p, "node", n.name);
        if (!n.parent.empty() && !nodeNames.count(n.parent))
            p.Add("node " + Quote(n.name) + ": parent " + Quote(n.parent) +
                  " is not an earlier node; the loader stops the hierarchy there");
        if (!nodeNames.insert(n.name).second) p.Add("node name " + Quote(n.name) + " used twice");
        CheckNode(p, n, s.kind);
    }
    for (const Camera& c : s.cameras) {
        CheckName(p, "camera", c.name);
        if (!c.target.empty() && !nodeNames.count(c.target))
            p.Add("camera " + Quote(c.name) + ": target " + Quote(c.target) + " is not a node");
    }
    for (const Light& l : s.lights) {
        CheckName(p, "light", l.name);
        if (l.hasTargetOverride && *l.hasTargetOverride != (l.target ? 1 : 0))
            p.Add("light " + Quote(l.name) + ": has-target override disagrees with its target");
        if (l.target && !l.target->empty() && !nodeNames.count(*l.target))
            p.Add("light " + Quote(l.name) + ": target " + Quote(*l.target) + " is not a node");
    }
    for (const Gizmo& g : s.gizmos) {
        CheckName(p, "gizmo", g.name);
        if (g.shapeCodeOverride && *g.shapeCodeOverride != ShapeCode(g.shape))
            p.Add("gizmo " + Quote(g.name) + ": shape code override " +
                  std::to_string(*g.shapeCodeOverride) + " differs from its shape");
    }

    std::map<std::string, std::string> bitmaps;
    for (const Material& m : s.materials) {
        CheckName(p, "material", m.name);
        if (m.stageMaskOverride && *m.stageMaskOverride != StageMask(m))
            p.Add("material " + Quote(m.name) + ": stage mask override differs from its textures");
        for (const auto* ref : {&m.texture, &m.detail, &m.environment, &m.bump}) {
            if (!*ref) continue;
            CheckName(p, "texture", (*ref)->name);
            CheckName(p, "bitmap", (*ref)->bitmap);
            auto [it, inserted] = bitmaps.emplace((*ref)->name, (*ref)->bitmap);
            if (!inserted && it->second != (*ref)->bitmap)
                p.Add("texture " + Quote((*ref)->name) + " named again with bitmap " +
                      Quote((*ref)->bitmap) + "; the loader keeps " + Quote(it->second));
        }
    }
    for (const Chunk& c : s.chunks)
        if (c.sizeOverride && (*c.sizeOverride < 0 || size_t(*c.sizeOverride) != c.data.size()))
            p.Add("chunk " + std::to_string(c.id) + ": size " + std::to_string(*c.sizeOverride) +
                  " but " + std::to_string(c.data.size()) + " bytes");
    return p.Take();
}

}  // namespace zks

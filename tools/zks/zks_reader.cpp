// ZKS scene reader: the writer's layout read back with every access checked.
#include "tools/zks/zks_reader.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/zks/zks_writer.h"

namespace zks {
namespace {

// A cursor over the file; the first failed read sets ok() to false and every
// later read returns zeros, so parsing code checks once per record.
class ByteSource {
public:
    ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ >= size_; }

    void Fail(const std::string& what) {
        if (ok()) error_ = what + " at byte " + std::to_string(pos_);
    }
    bool Need(size_t n, const char* what) {
        if (!ok()) return false;
        if (n > remaining()) {
            Fail(std::string("file ends inside ") + what);
            return false;
        }
        return true;
    }
    uint8_t U8(const char* what) {
        if (!Need(1, what)) return 0;
        return data_[pos_++];
    }
    uint16_t U16(const char* what) {
        if (!Need(2, what)) return 0;
        const uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t U32(const char* what) {
        if (!Need(4, what)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    int32_t I32(const char* what) { return int32_t(U32(what)); }
    float F32(const char* what) { return std::bit_cast<float>(U32(what)); }
    Vec3 V3(const char* what) {
        Vec3 v;
        v.x = F32(what);
        v.y = F32(what);
        v.z = F32(what);
        return v;
    }
    Quat Q(const char* what) {
        Quat q;
        q.x = F32(what);
        q.y = F32(what);
        q.z = F32(what);
        q.w = F32(what);
        return q;
    }
    Color Col(const char* what) {
        Color c;
        c.r = F32(what);
        c.g = F32(what);
        c.b = F32(what);
        c.a = F32(what);
        return c;
    }
    std::string Str(const char* what) {
        if (!ok()) return {};
        const void* end = std::memchr(data_ + pos_, 0, remaining());
        if (!end) {
            Fail(std::string("unterminated ") + what);
            return {};
        }
        const size_t len = size_t(static_cast<const uint8_t*>(end) - (data_ + pos_));
        std::string s(reinterpret_cast<const char*>(data_ + pos_), len);
        pos_ += len + 1;
        return s;
    }
    void Bytes(size_t n, std::vector<uint8_t>& out, const char* what) {
        if (!Need(n, what)) return;
        out.assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    std::string error_;
};

// A count read from the file must be non-negative and its records must fit in
// what is left, so a bogus count fails before anything is allocated for it.
bool CheckCount(ByteSource& in, int32_t count, size_t minRecordSize, const char* what) {
    if (!in.ok()) return false;
    if (count < 0) {
        in.Fail(std::string("negative ") + what + " count");
        return false;
    }
    if (minRecordSize && size_t(count) > in.remaining() / minRecordSize) {
        in.Fail(std::string(what) + " count " + std::to_string(count) + " exceeds the file");
        return false;
    }
    return true;
}

Transform ReadTransform(ByteSource& in) {
    Transform t;
    t.translation = in.V3("transform");
    t.scale = in.V3("transform");
    t.scaleAxes = in.Q("transform");
    t.rotation = in.Q("transform");
    t.uniformScale = in.F32("transform");
    return t;
}

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

std::optional<KeyTrack> ReadTrack(ByteSource& in) {
    KeyTrack track;
    track.valueType = ValueType(in.I32("key track"));
    const int32_t count = in.I32("key track");
    track.interpolation = Interpolation(in.I32("key track"));
    if (!in.ok()) return std::nullopt;
    if (count == 0) return std::nullopt;
    const int size = KeySize(track.valueType, track.interpolation);
    if (size == 0) {
        // No key layout: the count is all the file holds.
        track.countOverride = count;
        return track;
    }
    if (!CheckCount(in, count, size_t(size), "key")) return std::nullopt;
    const int n = Components(track.valueType);
    const bool tangents = track.interpolation == Interpolation::Hermite ||
                          track.interpolation == Interpolation::Bezier;
    track.keys.resize(size_t(count));
    for (Key& key : track.keys) {
        key.time = in.F32("key");
        for (int i = 0; i < n; ++i) key.value[i] = in.F32("key");
        if (!tangents) continue;
        for (int i = 0; i < n; ++i) key.inTangent[i] = in.F32("key");
        for (int i = 0; i < n; ++i) key.outTangent[i] = in.F32("key");
    }
    return track;
}

void ReadNode(ByteSource& in, SceneKind kind, Node& n) {
    n.name = in.Str("node name");
    n.parent = in.Str("parent name");
    n.transform = ReadTransform(in);
    if (kind != SceneKind::Animated) {
        n.roll = in.F32("roll");
        return;
    }
    n.controller = Controller(in.I32("controller"));
    switch (n.controller) {
    case Controller::None: break;
    case Controller::PRS:
        n.position = ReadTrack(in);
        n.rotation = ReadTrack(in);
        n.scale = ReadTrack(in);
        break;
    case Controller::LookAt:
        n.roll = in.F32("roll");
        n.position = ReadTrack(in);
        n.rollTrack = ReadTrack(in);
        break;
    case Controller::LookAtFov:
        n.roll = in.F32("roll");
        n.fov = in.F32("fov");
        n.position = ReadTrack(in);
        n.rollTrack = ReadTrack(in);
        n.fovTrack = ReadTrack(in);
        break;
    }
}

void ReadGizmo(ByteSource& in, Gizmo& g) {
    g.name = in.Str("gizmo name");
    const int32_t code = in.I32("gizmo");
    g.unused = in.I32("gizmo");
    g.flags = in.U32("gizmo");
    switch (code) {
    case 2: {
        BoxShape b;
        for (float& v : b.size) v = in.F32("box gizmo");
        b.origin = in.V3("box gizmo");
        for (Vec3& a : b.axis) a = in.V3("box gizmo");
        g.shape = b;
        break;
    }
    case 3: {
        SphereShape s;
        s.centre = in.V3("sphere gizmo");
        s.radius = in.F32("sphere gizmo");
        g.shape = s;
        break;
    }
    case 4: {
        PlaneShape p;
        for (float& v : p.size) v = in.F32("plane gizmo");
        p.origin = in.V3("plane gizmo");
        for (Vec3& a : p.axis) a = in.V3("plane gizmo");
        g.shape = p;
        break;
    }
    case 5: {
        VectorShape v;
        v.origin = in.V3("vector gizmo");
        v.vector = in.V3("vector gizmo");
        g.shape = v;
        break;
    }
    default:
        g.shape = PointShape{};
        if (code != 1) g.shapeCodeOverride = code;
    }
}

std::optional<TextureRef> ReadTextureRef(ByteSource& in) {
    TextureRef ref;
    ref.name = in.Str("texture name");
    ref.bitmap = in.Str("bitmap name");
    return ref;
}

void ReadMaterial(ByteSource& in, Material& m) {
    m.name = in.Str("material name");
    m.renderFlags = in.U32("material");
    const int32_t mask = in.I32("material");
    if (mask & 0x1) m.texture = ReadTextureRef(in);
    if (mask & 0x2) m.detail = ReadTextureRef(in);
    if (mask & 0x4) m.environment = ReadTextureRef(in);
    if (mask & 0x8) m.bump = ReadTextureRef(in);
    if (mask != StageMask(m)) m.stageMaskOverride = mask;
    m.diffuse = in.Col("material");
    m.ambient = in.Col("material");
    m.specular = in.Col("material");
    m.emissive = in.Col("material");
    m.power = in.F32("material");
}

void ReadLight(ByteSource& in, Light& l) {
    l.name = in.Str("light name");
    const int32_t hasTarget = in.I32("light");
    l.type = LightType(in.I32("light"));
    l.diffuse = in.Col("light");
    l.specular = in.Col("light");
    l.ambient = in.Col("light");
    l.position = in.V3("light");
    l.direction = in.V3("light");
    l.range = in.F32("light");
    l.falloff = in.F32("light");
    l.attenuation0 = in.F32("light");
    l.attenuation1 = in.F32("light");
    l.attenuation2 = in.F32("light");
    l.theta = in.F32("light");
    l.phi = in.F32("light");
    if (hasTarget == 1) l.target = in.Str("light target");
    if (hasTarget != 0 && hasTarget != 1) l.hasTargetOverride = hasTarget;
}

bool ReadAll(ByteSource& in, Scene& s) {
    char magic[3];
    for (char& c : magic) c = char(in.U8("magic"));
    if (!in.ok()) return false;
    if (std::memcmp(magic, "ZKS", 3) != 0) {
        in.Fail("not a ZKS file");
        return false;
    }
    const uint8_t kind = in.U8("scene kind");
    if (in.ok() && kind != uint8_t(SceneKind::Static) && kind != uint8_t(SceneKind::Animated)) {
        in.Fail("unknown scene kind " + std::to_string(kind));
        return false;
    }
    s.kind = SceneKind(kind);
    s.name = in.Str("scene name");
    s.background = in.Col("descriptor");
    s.ambient = in.Col("descriptor");
    const int32_t numMesh = in.I32("descriptor");
    const int32_t numCamera = in.I32("descriptor");
    const int32_t numLight = in.I32("descriptor");
    const int32_t numGizmo = in.I32("descriptor");
    const int32_t numSpecial = in.I32("descriptor");
    if (numSpecial != 0) s.raw.numSpecial = numSpecial;
    const int32_t materialCount = in.I32("material count");
    if (s.kind == SceneKind::Animated) {
        s.animation.unused = in.I32("animation descriptor");
        s.animation.lastFrame = in.I32("animation descriptor");
        s.animation.framesPerSecond = in.I32("animation descriptor");
    }
    s.fog.mode = FogMode(in.I32("fog"));
    s.fog.color = in.Col("fog");
    s.fog.start = in.F32("fog");
    s.fog.end = in.F32("fog");
    s.fog.unused = in.U32("fog");

    // Smallest record sizes: mesh 2 names + 12, camera 2 names + 16, light
    // 1 name + 108, gizmo 1 name + 12, material 1 name + 76.
    if (!CheckCount(in, numMesh, 14, "mesh")) return false;
    s.meshes.resize(size_t(numMesh));
    for (Mesh& m : s.meshes) {
        m.name = in.Str("mesh name");
        m.material = in.Str("material name");
        const int32_t v = in.I32("mesh");
        const int32_t f = in.I32("mesh");
        m.texCoordSets = in.I32("mesh");
        if (!CheckCount(in, v, 32, "vertex")) return false;
        m.vertices.resize(size_t(v));
        for (Vertex& vx : m.vertices) {
            vx.position = in.V3("vertex");
            vx.normal = in.V3("vertex");
            vx.u = in.F32("vertex");
            vx.v = in.F32("vertex");
        }
        if (!CheckCount(in, f, 6, "face")) return false;
        m.faces.resize(size_t(f));
        for (Face& fc : m.faces) {
            fc.a = in.U16("face");
            fc.b = in.U16("face");
            fc.c = in.U16("face");
        }
    }
    if (!CheckCount(in, numCamera, 18, "camera")) return false;
    s.cameras.resize(size_t(numCamera));
    for (Camera& c : s.cameras) {
        c.name = in.Str("camera name");
        c.target = in.Str("camera target");
        c.nearPlane = in.F32("camera");
        c.farPlane = in.F32("camera");
        c.fov = in.F32("camera");
        c.unused = in.F32("camera");
    }
    if (!CheckCount(in, numLight, 109, "light")) return false;
    s.lights.resize(size_t(numLight));
    for (Light& l : s.lights) ReadLight(in, l);
    if (!CheckCount(in, numGizmo, 13, "gizmo")) return false;
    s.gizmos.resize(size_t(numGizmo));
    for (Gizmo& g : s.gizmos) ReadGizmo(in, g);
    if (!CheckCount(in, materialCount, 77, "material")) return false;
    s.materials.resize(size_t(materialCount));
    for (Material& m : s.materials) ReadMaterial(in, m);

    const int32_t hierarchyCount = in.I32("hierarchy count");
    if (!in.ok()) return false;
    s.raw.terminateHierarchy = false;
    while (in.ok()) {
        if (in.AtEnd()) break;  // no final flag
        const int32_t flag = in.I32("hierarchy flag");
        if (flag == 0) {
            s.raw.terminateHierarchy = true;
            break;
        }
        Node& n = s.nodes.emplace_back();
        ReadNode(in, s.kind, n);
    }
    if (!in.ok()) return false;
    if (size_t(hierarchyCount) != s.nodes.size() || hierarchyCount < 0)
        s.raw.hierarchyCount = hierarchyCount;

    while (in.ok() && !in.AtEnd()) {
        Chunk& c = s.chunks.emplace_back();
        c.id = in.I32("chunk header");
        const int32_t size = in.I32("chunk header");
        if (!in.ok()) return false;
        if (size < 0 || size_t(size) > in.remaining()) {
            in.Fail("chunk " + std::to_string(c.id) + " of size " + std::to_string(size) +
                    " runs past the end");
            return false;
        }
        in.Bytes(size_t(size), c.data, "chunk");
    }
    return in.ok();
}

}  // namespace

bool ReadScene(const uint8_t* data, size_t size, Scene& out, std::string* error) {
    ByteSource in(data, size);
    Scene scene;
    if (!ReadAll(in, scene)) {
        if (error) *error = in.error();
        return false;
    }
    out = std::move(scene);
    return true;
}

bool LoadSceneFile(const std::string& path, Scene& out, std::string* error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        if (error) *error = "cannot open \"" + path + "\"";
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    if (std::ferror(file.get())) {
        if (error) *error = "cannot read \"" + path + "\"";
        return false;
    }
    return ReadScene(bytes.data(), bytes.size(), out, error);
}

}  // namespace zks

// Byte layout of written ZKS files, read back field by field with an independent
// cursor; the checking reader's round trip and its handling of broken files.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/zks/zks_math.h"
#include "tools/zks/zks_reader.h"
#include "tools/zks/zks_writer.h"

using namespace zks;

namespace {

// Reads little-endian values at a moving offset; every read is bounds-checked
// by gtest so a short file fails the test instead of reading past it.
class Cursor {
public:
    explicit Cursor(const std::vector<uint8_t>& b, size_t pos = 0) : b_(b), pos_(pos) {}
    size_t pos() const { return pos_; }
    size_t left() const { return b_.size() - pos_; }
    uint32_t U32() {
        EXPECT_LE(pos_ + 4, b_.size());
        if (pos_ + 4 > b_.size()) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(b_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    float F32() { return std::bit_cast<float>(U32()); }
    uint16_t U16() {
        EXPECT_LE(pos_ + 2, b_.size());
        if (pos_ + 2 > b_.size()) return 0;
        const uint16_t v = uint16_t(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint8_t U8() {
        EXPECT_LT(pos_, b_.size());
        return pos_ < b_.size() ? b_[pos_++] : 0;
    }
    std::string Str() {
        std::string s;
        while (pos_ < b_.size() && b_[pos_] != 0) s.push_back(char(b_[pos_++]));
        EXPECT_LT(pos_, b_.size()) << "unterminated string";
        ++pos_;
        return s;
    }
    void Skip(size_t n) { pos_ += n; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_;
};

std::vector<uint8_t> Write(const Scene& s) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(WriteScene(s, out, &error)) << error;
    return out;
}

Gizmo MakeGizmo(const char* name, GizmoShape shape, uint32_t flags = 0) {
    Gizmo g;
    g.name = name;
    g.shape = shape;
    g.flags = flags;
    return g;
}

Chunk MakeChunk(int32_t id, std::vector<uint8_t> data, std::optional<int32_t> size = std::nullopt) {
    Chunk c;
    c.id = id;
    c.data = std::move(data);
    c.sizeOverride = size;
    return c;
}

KeyTrack Track(ValueType type, Interpolation interp, std::vector<Key> keys) {
    KeyTrack t;
    t.valueType = type;
    t.interpolation = interp;
    t.keys = std::move(keys);
    return t;
}

// One of everything, valid.
Scene RichScene() {
    Scene s;
    s.kind = SceneKind::Animated;
    s.name = "rich";
    s.background = Rgb(0.1f, 0.2f, 0.3f);
    s.ambient = Rgb(0.4f, 0.4f, 0.4f);
    s.animation = {0, 300, 25};
    s.fog = {FogMode::Linear, Rgb(0.5f, 0.5f, 0.6f), 10, 200, 0};

    Mesh m;
    m.name = "tri";
    m.material = "stone";
    m.vertices = {{{0, 0, 0}, {0, 0, 1}, 0, 0}, {{1, 0, 0}, {0, 0, 1}, 1, 0}, {{0, 1, 0}, {0, 0, 1}, 0, 1}};
    m.faces = {{0, 1, 2}};
    s.meshes.push_back(m);

    Camera c;
    c.name = "cam";
    c.target = "cam.target";
    s.cameras.push_back(c);

    Light spot;
    spot.name = "spot";
    spot.type = LightType::Spot;
    spot.target = "cam.target";
    s.lights.push_back(spot);
    Light sun;
    sun.name = "sun";
    sun.type = LightType::Directional;
    s.lights.push_back(sun);

    s.gizmos.push_back(MakeGizmo("p", PointShape{}));
    s.gizmos.push_back(MakeGizmo("b", BoxShape{{1, 2, 3}, {4, 5, 6}, {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}}));
    s.gizmos.push_back(MakeGizmo("s", SphereShape{{1, 2, 3}, 4}, kGizmoCullingSphere));
    s.gizmos.push_back(MakeGizmo("pl", PlaneShape{{7, 8}, {1, 1, 1}, {Vec3{1, 0, 0}, Vec3{0, 0, 1}, Vec3{0, 1, 0}}}));
    s.gizmos.push_back(MakeGizmo("v", VectorShape{{0, 0, 0}, {0, 1, 0}}));

    Material mat;
    mat.name = "stone";
    mat.texture = TextureRef{"stone", "data/stone.jpg"};
    mat.bump = TextureRef{"stone.bump", "data/stone_bump.dds"};
    mat.power = 8;
    s.materials.push_back(mat);

    Node root;
    root.name = "tri";
    root.controller = Controller::PRS;
    root.position = Track(ValueType::Position, Interpolation::Linear,
                          {PositionKey(0, {0, 0, 0}), PositionKey(100, {10, 0, 0})});
    root.rotation = Track(ValueType::Rotation, Interpolation::Bezier,
                          {RotationKey(0, {}), RotationKey(50, AxisAngle({0, 1, 0}, 1))});
    s.nodes.push_back(root);
    Node target;
    target.name = "cam.target";
    target.parent = "tri";
    s.nodes.push_back(target);
    Node cam;
    cam.name = "cam";
    cam.controller = Controller::LookAtFov;
    cam.roll = 0.25f;
    cam.fov = 0.9f;
    cam.position = Track(ValueType::Position, Interpolation::Hermite, {PositionKey(0, {0, 5, -10})});
    cam.fovTrack = Track(ValueType::Fov, Interpolation::HermiteAuto,
                         {ScalarKey(0, 0.9f), ScalarKey(10, 1.1f), ScalarKey(20, 0.8f)});
    s.nodes.push_back(cam);
    Node spotNode;
    spotNode.name = "spot";
    spotNode.controller = Controller::LookAt;
    spotNode.rollTrack = Track(ValueType::Roll, Interpolation::Linear, {ScalarKey(0, 0), ScalarKey(5, 1)});
    s.nodes.push_back(spotNode);

    s.chunks.push_back(MakeChunk(7, {1, 2, 3}));
    s.chunks.push_back(MakeChunk(8, {}));
    return s;
}

}  // namespace

TEST(ZksWriter, SmallestStaticSceneIs101Bytes) {
    const std::vector<uint8_t> bytes = Write(Scene{});
    ASSERT_EQ(bytes.size(), 101u);
    EXPECT_EQ(std::memcmp(bytes.data(), "ZKS*", 4), 0);
    // Empty name, zero descriptor, material count, fog, hierarchy count, end flag.
    for (size_t i = 4; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(ZksWriter, AnimatedSceneHasAnimationDescriptorAfterMaterialCount) {
    Scene s;
    s.kind = SceneKind::Animated;
    s.name = "a";
    s.animation = {0, 450, 30};
    s.fog.mode = FogMode::Exponential;
    s.fog.end = 0.02f;
    const std::vector<uint8_t> bytes = Write(s);
    ASSERT_EQ(bytes.size(), 101u + 1 + 12);
    EXPECT_EQ(bytes[3], 0x40);
    Cursor c(bytes, 4);
    EXPECT_EQ(c.Str(), "a");
    c.Skip(52);
    EXPECT_EQ(c.I32(), 0);  // material count
    EXPECT_EQ(c.I32(), 0);  // unused
    EXPECT_EQ(c.I32(), 450);
    EXPECT_EQ(c.I32(), 30);
    EXPECT_EQ(c.I32(), 2);  // fog mode comes right after
    c.Skip(16 + 4);
    EXPECT_EQ(c.F32(), 0.02f);
}

TEST(ZksWriter, KeySizesByValueTypeAndInterpolation) {
    const int expected[5][4] = {{16, 40, 40, 16}, {20, 52, 52, 20}, {16, 40, 40, 16}, {8, 16, 16, 8}, {8, 16, 16, 8}};
    for (int type = 1; type <= 5; ++type)
        for (int interp = 1; interp <= 4; ++interp)
            EXPECT_EQ(KeySize(ValueType(type), Interpolation(interp)), expected[type - 1][interp - 1])
                << type << "/" << interp;
    EXPECT_EQ(KeySize(ValueType(0), Interpolation::Linear), 0);
    EXPECT_EQ(KeySize(ValueType(6), Interpolation::Linear), 0);
    EXPECT_EQ(KeySize(ValueType::Position, Interpolation(0)), 0);
    EXPECT_EQ(KeySize(ValueType::Position, Interpolation(5)), 0);
}

TEST(ZksWriter, EveryRecordInFieldOrder) {
    const Scene s = RichScene();
    const std::vector<uint8_t> bytes = Write(s);
    Cursor c(bytes);
    EXPECT_EQ(c.U8(), 'Z');
    c.Skip(2);
    EXPECT_EQ(c.U8(), 0x40);
    EXPECT_EQ(c.Str(), "rich");
    EXPECT_EQ(c.F32(), 0.1f);
    c.Skip(12);
    EXPECT_EQ(c.F32(), 0.4f);  // ambient r
    c.Skip(12);
    EXPECT_EQ(c.I32(), 1);  // meshes
    EXPECT_EQ(c.I32(), 1);  // cameras
    EXPECT_EQ(c.I32(), 2);  // lights
    EXPECT_EQ(c.I32(), 5);  // gizmos
    EXPECT_EQ(c.I32(), 0);  // special
    EXPECT_EQ(c.I32(), 1);  // material count
    c.Skip(4);
    EXPECT_EQ(c.I32(), 300);
    EXPECT_EQ(c.I32(), 25);
    EXPECT_EQ(c.I32(), 1);  // fog mode
    EXPECT_EQ(c.F32(), 0.5f);
    c.Skip(12);
    EXPECT_EQ(c.F32(), 10.0f);
    EXPECT_EQ(c.F32(), 200.0f);
    c.Skip(4);

    // Mesh: names, V, F, T, 32-byte vertices, u16 faces.
    EXPECT_EQ(c.Str(), "tri");
    EXPECT_EQ(c.Str(), "stone");
    EXPECT_EQ(c.I32(), 3);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 1);
    const size_t vertices = c.pos();
    c.Skip(32);
    EXPECT_EQ(c.F32(), 1.0f);  // vertex 1 x
    c.Skip(4 * 4);
    EXPECT_EQ(c.F32(), 1.0f);  // vertex 1 nz
    EXPECT_EQ(c.F32(), 1.0f);  // vertex 1 u
    EXPECT_EQ(c.F32(), 0.0f);  // vertex 1 v
    EXPECT_EQ(c.pos(), vertices + 64);
    c.Skip(32);
    EXPECT_EQ(c.U16(), 0);
    EXPECT_EQ(c.U16(), 1);
    EXPECT_EQ(c.U16(), 2);

    // Camera: name, target, near, far, fov, unused.
    EXPECT_EQ(c.Str(), "cam");
    EXPECT_EQ(c.Str(), "cam.target");
    EXPECT_EQ(c.F32(), 1.0f);
    EXPECT_EQ(c.F32(), 1000.0f);
    EXPECT_EQ(c.F32(), 0.785398f);
    EXPECT_EQ(c.F32(), 0.0f);

    // Lights: name, has-target, 104-byte light, target only when flagged.
    EXPECT_EQ(c.Str(), "spot");
    EXPECT_EQ(c.I32(), 1);
    size_t light = c.pos();
    EXPECT_EQ(c.I32(), 2);     // dltType
    EXPECT_EQ(c.F32(), 1.0f);  // diffuse r
    c.Skip(44);
    EXPECT_EQ(c.pos(), light + 52);  // dvPosition
    c.Skip(12);
    EXPECT_EQ(c.F32(), 0.0f);  // direction
    EXPECT_EQ(c.F32(), 0.0f);
    EXPECT_EQ(c.F32(), 1.0f);
    EXPECT_EQ(c.F32(), 1000.0f);  // range at 76
    EXPECT_EQ(c.F32(), 1.0f);     // falloff
    EXPECT_EQ(c.F32(), 1.0f);     // attenuation0
    c.Skip(16);
    EXPECT_EQ(c.pos(), light + 104);
    EXPECT_EQ(c.Str(), "cam.target");
    EXPECT_EQ(c.Str(), "sun");
    EXPECT_EQ(c.I32(), 0);
    EXPECT_EQ(c.I32(), 3);
    c.Skip(100);

    // Gizmos: name, code, unused, flags, shape data of the code's size.
    const struct {
        const char* name;
        int32_t code;
        uint32_t flags;
        size_t size;
    } gizmos[] = {{"p", 1, 0, 0}, {"b", 2, 0, 60}, {"s", 3, 1, 16}, {"pl", 4, 0, 56}, {"v", 5, 0, 24}};
    for (const auto& g : gizmos) {
        EXPECT_EQ(c.Str(), g.name);
        EXPECT_EQ(c.I32(), g.code) << g.name;
        EXPECT_EQ(c.I32(), 0);
        EXPECT_EQ(c.U32(), g.flags);
        if (g.code == 3) {
            c.Skip(12);
            EXPECT_EQ(c.F32(), 4.0f);  // radius after the centre
        } else if (g.code == 4) {
            EXPECT_EQ(c.F32(), 7.0f);
            EXPECT_EQ(c.F32(), 8.0f);
            EXPECT_EQ(c.F32(), 1.0f);  // origin follows the two sizes
            c.Skip(g.size - 12);
        } else {
            c.Skip(g.size);
        }
    }

    // Material: name, flags, mask, texture records in bit order, 68 bytes.
    EXPECT_EQ(c.Str(), "stone");
    EXPECT_EQ(c.U32(), 0xD3u);
    EXPECT_EQ(c.I32(), 0x9);
    EXPECT_EQ(c.Str(), "stone");
    EXPECT_EQ(c.Str(), "data/stone.jpg");
    EXPECT_EQ(c.Str(), "stone.bump");
    EXPECT_EQ(c.Str(), "data/stone_bump.dds");
    EXPECT_EQ(c.F32(), 1.0f);  // diffuse r
    c.Skip(60);
    EXPECT_EQ(c.F32(), 8.0f);  // power ends the 68 bytes

    // Hierarchy: count, then flag, name, parent, transform, controller data.
    EXPECT_EQ(c.I32(), 4);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.Str(), "tri");
    EXPECT_EQ(c.Str(), "");
    c.Skip(12);
    EXPECT_EQ(c.F32(), 1.0f);  // scale x
    c.Skip(8 + 12);
    EXPECT_EQ(c.F32(), 1.0f);  // scale axes w
    c.Skip(12);
    EXPECT_EQ(c.F32(), 1.0f);  // rotation w
    EXPECT_EQ(c.F32(), 1.0f);  // uniform scale
    EXPECT_EQ(c.I32(), 1);     // PRS
    EXPECT_EQ(c.I32(), 1);     // position track: type, count, interpolation
    EXPECT_EQ(c.I32(), 2);
    EXPECT_EQ(c.I32(), 1);
    c.Skip(16);
    EXPECT_EQ(c.F32(), 100.0f);
    EXPECT_EQ(c.F32(), 10.0f);
    c.Skip(8);
    EXPECT_EQ(c.I32(), 2);  // rotation track, Bézier: 52-byte keys
    EXPECT_EQ(c.I32(), 2);
    EXPECT_EQ(c.I32(), 3);
    c.Skip(52);
    EXPECT_EQ(c.F32(), 50.0f);
    c.Skip(48);
    EXPECT_EQ(c.I32(), 3);  // absent scale track: a header with no keys
    EXPECT_EQ(c.I32(), 0);
    EXPECT_EQ(c.I32(), 1);

    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.Str(), "cam.target");
    EXPECT_EQ(c.Str(), "tri");
    c.Skip(60);
    EXPECT_EQ(c.I32(), 0);  // no controller, nothing more

    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.Str(), "cam");
    c.Skip(1 + 60);
    EXPECT_EQ(c.I32(), 3);  // LookAt+Fov: roll, fov, position, roll, fov tracks
    EXPECT_EQ(c.F32(), 0.25f);
    EXPECT_EQ(c.F32(), 0.9f);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 2);
    c.Skip(40);  // Hermite Vector3 key
    EXPECT_EQ(c.I32(), 4);
    EXPECT_EQ(c.I32(), 0);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 5);
    EXPECT_EQ(c.I32(), 3);
    EXPECT_EQ(c.I32(), 4);
    // Interpolation 4 stores time and value only.
    EXPECT_EQ(c.F32(), 0.0f);
    EXPECT_EQ(c.F32(), 0.9f);
    EXPECT_EQ(c.F32(), 10.0f);
    EXPECT_EQ(c.F32(), 1.1f);
    c.Skip(8);

    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.Str(), "spot");
    c.Skip(1 + 60);
    EXPECT_EQ(c.I32(), 2);  // LookAt: roll, position, roll tracks
    EXPECT_EQ(c.F32(), 0.0f);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 0);
    c.Skip(4);
    EXPECT_EQ(c.I32(), 4);
    EXPECT_EQ(c.I32(), 2);
    EXPECT_EQ(c.I32(), 1);
    c.Skip(16);

    EXPECT_EQ(c.I32(), 0);  // end of hierarchy
    EXPECT_EQ(c.I32(), 7);  // chunks: id, size, bytes
    EXPECT_EQ(c.I32(), 3);
    EXPECT_EQ(c.U8(), 1);
    c.Skip(2);
    EXPECT_EQ(c.I32(), 8);
    EXPECT_EQ(c.I32(), 0);
    EXPECT_EQ(c.left(), 0u);
}

TEST(ZksWriter, StaticHierarchyRecordCarriesRoll) {
    Scene s;
    Node n;
    n.name = "n";
    n.transform = Translation({1, 2, 3});
    n.roll = 0.5f;
    s.nodes.push_back(n);
    const std::vector<uint8_t> bytes = Write(s);
    ASSERT_EQ(bytes.size(), 101u + 4 + 2 + 1 + 60 + 4);
    Cursor c(bytes, 4 + 1 + 52 + 4 + 32);
    EXPECT_EQ(c.I32(), 1);  // hierarchy count
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.Str(), "n");
    EXPECT_EQ(c.Str(), "");
    EXPECT_EQ(c.F32(), 1.0f);
    c.Skip(56);
    EXPECT_EQ(c.F32(), 0.5f);
    EXPECT_EQ(c.I32(), 0);
}

TEST(ZksWriter, RawHooksWriteDeliberatelyOddFiles) {
    Scene s;
    s.kind = SceneKind::Animated;
    s.raw.numMesh = 3;
    s.raw.hierarchyCount = 9;
    s.raw.kindByte = 0x41;
    s.raw.terminateHierarchy = false;
    Node n;
    n.name = "n";
    n.controller = Controller::PRS;
    KeyTrack bad;
    bad.valueType = ValueType(9);
    bad.interpolation = Interpolation::Linear;
    bad.keys = {PositionKey(0, {1, 1, 1})};
    bad.countOverride = 5;
    n.position = bad;
    KeyTrack badInterp = Track(ValueType::Rotation, Interpolation(7), {RotationKey(0, {})});
    n.rotation = badInterp;
    s.nodes.push_back(n);
    s.chunks.push_back(MakeChunk(1, {9, 9}, -20));

    const std::vector<uint8_t> bytes = Write(s);
    EXPECT_EQ(bytes[3], 0x41);
    Cursor c(bytes, 4 + 1 + 16 + 16);
    EXPECT_EQ(c.I32(), 3);
    c.Skip(16 + 4 + 12 + 32);
    EXPECT_EQ(c.I32(), 9);
    EXPECT_EQ(c.I32(), 1);
    c.Skip(2 + 1 + 60);
    EXPECT_EQ(c.I32(), 1);
    // A track without a key layout: its header and nothing else.
    EXPECT_EQ(c.I32(), 9);
    EXPECT_EQ(c.I32(), 5);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 2);
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), 7);
    EXPECT_EQ(c.I32(), 3);  // empty scale track
    c.Skip(8);
    // No terminating flag: the chunk follows at once, with its declared size.
    EXPECT_EQ(c.I32(), 1);
    EXPECT_EQ(c.I32(), -20);
    EXPECT_EQ(c.left(), 2u);

    const std::vector<std::string> problems = ValidateScene(s);
    auto mentions = [&](const char* part) {
        for (const std::string& p : problems)
            if (p.find(part) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(mentions("NumMesh 3"));
    EXPECT_TRUE(mentions("hierarchy count 9"));
    EXPECT_TRUE(mentions("kind byte"));
    EXPECT_TRUE(mentions("terminating"));
    EXPECT_TRUE(mentions("value type 9"));
    EXPECT_TRUE(mentions("interpolation 7"));
    EXPECT_TRUE(mentions("key count 5"));
    EXPECT_TRUE(mentions("chunk 1"));
}

TEST(ZksWriter, SameSceneSameBytesAndFileMatches) {
    const Scene s = RichScene();
    const std::vector<uint8_t> a = Write(s), b = Write(s);
    EXPECT_EQ(a, b);
    const std::string path = ::testing::TempDir() + "zks_writer_test.zks";
    std::string error;
    ASSERT_TRUE(SaveScene(s, path, &error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(file, a);
    std::remove(path.c_str());
    EXPECT_FALSE(SaveScene(s, "/nonexistent-dir/x.zks", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(ZksWriter, NameWithNulByteIsRefusedAndOutputUntouched) {
    Scene s;
    Camera c;
    c.name = std::string("ca\0m", 4);
    s.cameras.push_back(c);
    std::vector<uint8_t> out{42};
    std::string error;
    EXPECT_FALSE(WriteScene(s, out, &error));
    EXPECT_EQ(out, std::vector<uint8_t>{42});
    EXPECT_NE(error.find("NUL"), std::string::npos);
}

TEST(ZksValidate, ValidSceneHasNoProblems) {
    const std::vector<std::string> problems = ValidateScene(RichScene());
    for (const std::string& p : problems) ADD_FAILURE() << p;
}

TEST(ZksValidate, ReportsWhatALoaderWouldReadDifferently) {
    Scene s = RichScene();
    s.meshes[0].faces.push_back({0, 1, 3});
    std::swap(s.nodes[0], s.nodes[1]);  // child before its parent
    s.nodes[3].scale = Track(ValueType::Scale, Interpolation::Linear, {PositionKey(0, {1, 1, 1})});
    s.nodes[2].fovTrack->keys[2].time = 5;  // unsorted
    Material other;
    other.name = "other";
    other.texture = TextureRef{"stone", "data/other.jpg"};
    s.materials.push_back(other);
    s.cameras[0].name = std::string(1100, 'x');

    const std::vector<std::string> problems = ValidateScene(s);
    const char* expected[] = {"beyond the vertex count", "not an earlier node", "not written by its controller",
                              "not ascending", "named again", "longer than 1023"};
    for (const char* part : expected) {
        bool found = false;
        for (const std::string& p : problems) found |= p.find(part) != std::string::npos;
        EXPECT_TRUE(found) << part;
    }

    Scene flat;
    Node n;
    n.name = "n";
    n.position = Track(ValueType::Position, Interpolation::Linear, {PositionKey(0, {})});
    flat.nodes.push_back(n);
    ASSERT_EQ(ValidateScene(flat).size(), 1u);
    EXPECT_NE(ValidateScene(flat)[0].find("not written"), std::string::npos);
}

TEST(ZksReader, RoundTripGivesTheSameSceneAndBytes) {
    const Scene s = RichScene();
    const std::vector<uint8_t> bytes = Write(s);
    Scene back;
    std::string error;
    ASSERT_TRUE(ReadScene(bytes.data(), bytes.size(), back, &error)) << error;
    EXPECT_TRUE(back == s);
    EXPECT_EQ(Write(back), bytes);

    Scene odd;
    odd.raw.numSpecial = 4;
    odd.raw.hierarchyCount = 2;
    odd.raw.terminateHierarchy = false;
    Gizmo g = MakeGizmo("g", PointShape{});
    g.shapeCodeOverride = 7;
    odd.gizmos.push_back(g);
    Material m;
    m.stageMaskOverride = 0x30;
    odd.materials.push_back(m);
    Light l;
    l.hasTargetOverride = 2;
    odd.lights.push_back(l);
    const std::vector<uint8_t> oddBytes = Write(odd);
    ASSERT_TRUE(ReadScene(oddBytes.data(), oddBytes.size(), back, &error)) << error;
    EXPECT_TRUE(back == odd);
}

TEST(ZksReader, BrokenFilesFailCleanly) {
    const Scene rich = RichScene();
    const std::vector<uint8_t> bytes = Write(rich);
    Scene head = rich;
    head.nodes.clear();
    head.chunks.clear();
    head.raw.terminateHierarchy = false;
    const size_t hierarchyStart = Write(head).size();
    Scene out;
    std::string error;
    // Every cut before the hierarchy fails. Later cuts succeed only at a record
    // or chunk boundary, and then show what is missing.
    for (size_t n = 0; n < bytes.size(); ++n) {
        if (!ReadScene(bytes.data(), n, out, &error)) continue;
        EXPECT_GE(n, hierarchyStart) << "cut at " << n;
        EXPECT_TRUE(!out.raw.terminateHierarchy || out.chunks.size() < rich.chunks.size()) << "cut at " << n;
    }

    std::vector<uint8_t> bad = Write(Scene{});
    bad[0] = 'X';
    EXPECT_FALSE(ReadScene(bad.data(), bad.size(), out, &error));
    EXPECT_NE(error.find("not a ZKS"), std::string::npos);

    Scene huge;
    huge.raw.numMesh = 0x7FFFFFFF;
    bad = Write(huge);
    EXPECT_FALSE(ReadScene(bad.data(), bad.size(), out, &error));
    EXPECT_NE(error.find("exceeds the file"), std::string::npos);

    Scene chunk;
    chunk.chunks.push_back(MakeChunk(1, {}, 0x7FFFFFF0));
    bad = Write(chunk);
    EXPECT_FALSE(ReadScene(bad.data(), bad.size(), out, &error));
    EXPECT_NE(error.find("runs past the end"), std::string::npos);

    // A track without key layout and an enormous count reads no keys.
    Scene track;
    track.kind = SceneKind::Animated;
    Node n;
    n.controller = Controller::PRS;
    KeyTrack t;
    t.valueType = ValueType(0);
    t.countOverride = 0x7FFFFFFF;
    n.position = t;
    track.nodes.push_back(n);
    bad = Write(track);
    ASSERT_TRUE(ReadScene(bad.data(), bad.size(), out, &error)) << error;
    EXPECT_TRUE(out.nodes[0].position->keys.empty());
    EXPECT_EQ(out.nodes[0].position->countOverride, 0x7FFFFFFF);
}

TEST(ZksMath, RotationAndTransformConventions) {
    const Vec3 y = Rotate(AxisAngle({0, 0, 1}, 1.5707963f), {1, 0, 0});
    EXPECT_NEAR(y.x, 0, 1e-6);
    EXPECT_NEAR(y.y, 1, 1e-6);
    // First a quarter turn about z (x → y), then about x (y → z).
    const Quat q = Compose(AxisAngle({0, 0, 1}, 1.5707963f), AxisAngle({1, 0, 0}, 1.5707963f));
    const Vec3 z = Rotate(q, {1, 0, 0});
    EXPECT_NEAR(z.z, 1, 1e-6);
    // Scale along axes turned 90° about z: a scale of 3 on x acts on world y.
    Transform t;
    t.scale = {3, 1, 1};
    t.scaleAxes = AxisAngle({0, 0, 1}, 1.5707963f);
    t.uniformScale = 2;
    t.translation = {10, 0, 0};
    const Vec3 p = TransformPoint(t, {0, 1, 0});
    EXPECT_NEAR(p.x, 10, 1e-5);
    EXPECT_NEAR(p.y, 6, 1e-5);
    const Quat half = Slerp({}, AxisAngle({0, 1, 0}, 1.0f), 0.5f);
    const Quat direct = AxisAngle({0, 1, 0}, 0.5f);
    EXPECT_NEAR(half.y, direct.y, 1e-6);
    EXPECT_NEAR(half.w, direct.w, 1e-6);
}

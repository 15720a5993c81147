// The scene-file loader against files written by the ZKS writer: every record
// and controller read back, the small and odd files, damaged files rejected with
// the world left as it was, and every truncation and thousands of random byte
// changes of a valid file loading or failing cleanly.
#include "engine/scene/scene_loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/render/material.h"
#include "engine/render/mesh.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "engine/scene/world.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_device.h"
#include "tools/zks/zks_writer.h"

using namespace ZK3D;
using testing_support::LogCapture;
using testing_support::RecordingPlatform;
using testing_support::RecordingVertexBuffer;

namespace {

template <class T>
int Count(const T* head) {
    int n = 0;
    for (const Node* node = head; node; node = node->next) ++n;
    return n;
}

template <class T>
T* At(T* head, int i) {
    Node* n = head;
    while (n && i-- > 0) n = n->next;
    return static_cast<T*>(n);
}

zks::Mesh Triangle(const std::string& name, const std::string& material) {
    zks::Mesh m;
    m.name = name;
    m.material = material;
    m.vertices = {{{0, 0, 0}, {0, 0, 1}, 0, 0}, {{1, 0, 0}, {0, 0, 1}, 1, 0}, {{0, 1, 0}, {0, 0, 1}, 0, 1}};
    m.faces = {{0, 1, 2}};
    return m;
}

zks::Node TreeNode(const std::string& name, const std::string& parent, zks::Vec3 t = {}) {
    zks::Node n;
    n.name = name;
    n.parent = parent;
    n.transform.translation = t;
    return n;
}

zks::KeyTrack Track(zks::ValueType type, zks::Interpolation interpolation, std::vector<zks::Key> keys) {
    zks::KeyTrack t;
    t.valueType = type;
    t.interpolation = interpolation;
    t.keys = std::move(keys);
    return t;
}

// A scene with one of everything, static or animated; small enough to damage
// byte by byte.
zks::Scene FullScene(zks::SceneKind kind) {
    zks::Scene s;
    s.kind = kind;
    s.name = "Full";
    s.background = zks::Rgb(0.1f, 0.2f, 0.3f);
    s.ambient = zks::Rgb(0.4f, 0.5f, 0.6f);
    s.animation = {7, 300, 25};
    s.fog = {zks::FogMode::Linear, zks::Rgb(1, 0, 0), 5, 50, 0};
    s.meshes.push_back(Triangle("Tri", "Mat"));
    zks::Camera cam;
    cam.name = "Cam";
    cam.target = "Tri";
    cam.nearPlane = 2;
    cam.farPlane = 200;
    cam.fov = 0.5f;
    s.cameras.push_back(cam);
    zks::Light lamp;
    lamp.name = "Lamp";
    lamp.type = zks::LightType::Spot;
    lamp.range = 77;
    lamp.phi = 0.25f;
    lamp.target = "Tri";
    s.lights.push_back(lamp);
    zks::Gizmo ball;
    ball.name = "Ball";
    ball.shape = zks::SphereShape{{1, 2, 3}, 4};
    ball.flags = zks::kGizmoCullingSphere;
    s.gizmos.push_back(ball);
    zks::Material mat;
    mat.name = "Mat";
    mat.renderFlags = 0x20000 | zks::kDefaultRenderFlags;
    mat.texture = zks::TextureRef{"wood", ""};
    mat.environment = zks::TextureRef{"sky", ""};
    mat.power = 12;
    s.materials.push_back(mat);
    s.nodes.push_back(TreeNode("Tri", "", {1, 2, 3}));
    s.nodes.push_back(TreeNode("Cam", "Tri", {0, 0, -10}));
    s.nodes.push_back(TreeNode("Lamp", "Tri"));
    s.nodes.push_back(TreeNode("Ball", "Lamp"));
    s.nodes[0].roll = 0.75f;
    if (kind == zks::SceneKind::Animated) {
        s.nodes[0].controller = zks::Controller::PRS;
        s.nodes[0].position = Track(zks::ValueType::Position, zks::Interpolation::HermiteAuto,
                                    {zks::PositionKey(0, {0, 0, 0}), zks::PositionKey(10, {2, 0, 0}),
                                     zks::PositionKey(20, {8, 0, 0})});
        s.nodes[0].rotation = Track(zks::ValueType::Rotation, zks::Interpolation::Linear,
                                    {zks::RotationKey(0, {}), zks::RotationKey(10, {0, 0, 1, 0})});
        s.nodes[1].controller = zks::Controller::LookAtFov;
        s.nodes[1].roll = 0.1f;
        s.nodes[1].fov = 0.9f;
        s.nodes[1].fovTrack = Track(zks::ValueType::Fov, zks::Interpolation::Bezier, {zks::ScalarKey(0, 0.9f)});
        s.nodes[2].controller = zks::Controller::LookAt;
        s.nodes[2].rollTrack = Track(zks::ValueType::Roll, zks::Interpolation::Hermite, {zks::ScalarKey(3, 1.5f)});
    }
    s.chunks.push_back({42, {1, 2, 3, 4, 5}, {}});
    return s;
}

std::vector<uint8_t> Bytes(const zks::Scene& scene) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(zks::WriteScene(scene, out, &error)) << error;
    return out;
}

class SceneLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModeSelection();
        context = platform.CreateContext();
        world = CreateWorld(context.get());
        dir = std::filesystem::path(::testing::TempDir()) /
              ("zks_loader_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        world.reset();
        context.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string WriteBytes(const std::vector<uint8_t>& bytes, const std::string& name = "scene.zks") {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string Write(const zks::Scene& scene, const std::string& name = "scene.zks") {
        return WriteBytes(Bytes(scene), name);
    }
    Scene* Load(const zks::Scene& scene) { return LoadScene(world.get(), Write(scene).c_str()); }

    // Removes a loaded scene and the materials and textures loading added.
    void Unload(Scene* scene, int materials, int textures) {
        if (scene) RemoveScene(world.get(), scene);
        auto trim = [](auto** head, int keep) {
            auto* last = At(*head, keep - 1);
            Node* rest = keep == 0 ? *head : (last ? last->next : nullptr);
            if (!rest) return;
            if (keep == 0)
                *head = nullptr;
            else
                last->next = nullptr;
            rest->prev = nullptr;
            FreeNodeList(&rest);
        };
        trim(&world->materials, materials);
        trim(&world->textures, textures);
    }

    RecordingPlatform platform;
    std::unique_ptr<Context> context;
    std::unique_ptr<World> world;
    std::filesystem::path dir;
};

// ---------------------------------------------------------------- small and odd files

TEST_F(SceneLoaderTest, SmallestStaticSceneIs101BytesAndLoadsEmpty) {
    LogCapture log;
    const std::vector<uint8_t> bytes = Bytes(zks::Scene{});
    ASSERT_EQ(bytes.size(), 101u);
    Scene* scene = LoadScene(world.get(), WriteBytes(bytes).c_str());
    ASSERT_NE(scene, nullptr);
    EXPECT_STREQ(scene->name(), "");
    EXPECT_EQ(scene->meshes, nullptr);
    EXPECT_EQ(scene->cameras, nullptr);
    EXPECT_EQ(scene->root, nullptr);
    EXPECT_EQ(world->scenes, scene);
    const std::vector<std::string> expected = {
        "[Load] Scene is Static",
        "[Sc] Link Scene \"\" to World",
        "[Load] Reads Descriptor",
        "[Sc-Debug] Scene Descriptor",
        "[Col-Debug] RGBA-bgcolor 0.000|0.000|0.000|0.000",
        "[Col-Debug] RGBA-amblight 0.000|0.000|0.000|0.000",
        "[Sc-Debug] int NumMesh : 0",
        "[Sc-Debug] int NumSpecial : 0",
        "[Load] Reads 0 Meshes",
        "[Load] Reads 0 Cameras",
        "[Load] Reads 0 Lights",
        "[Load] Reads 0 Gizmos",
        "[Load] Skip Special (not supported)",
        "[Load] Reads 0 Materials to world",
        "[Load] Reads 0 Node Hierarchy",
    };
    const auto texts = log.texts();
    auto at = texts.begin();
    for (const std::string& line : expected) {
        at = std::find(at, texts.end(), line);
        EXPECT_NE(at, texts.end()) << "missing, or out of order: " << line;
    }
    EXPECT_TRUE(log.errors().empty());
    CompileWorld(world.get());
    EXPECT_TRUE(log.has("[Sc] Scene tree not found"));
}

TEST_F(SceneLoaderTest, MissingFileAndWrongHeadersAreRejectedWithoutAScene) {
    LogCapture log;
    EXPECT_EQ(LoadScene(world.get(), (dir / "none.zks").string().c_str()), nullptr);
    EXPECT_TRUE(log.has("[Load] Unable load scene \"" + (dir / "none.zks").string() + "\""));

    zks::Scene bad;
    bad.raw.magic = std::array<char, 3>{'Z', 'K', 'T'};
    EXPECT_EQ(Load(bad), nullptr);
    EXPECT_TRUE(log.has("[Load] Error not ZKS header found"));
    bad.raw.magic.reset();
    bad.raw.kindByte = 0x41;
    EXPECT_EQ(Load(bad), nullptr);
    EXPECT_TRUE(log.has("[Load] Error : can only load Static/Animated Scene,file may be an debug format or a newer "
                        "format version"));
    EXPECT_EQ(world->scenes, nullptr);
    EXPECT_FALSE(log.contains("[Sc] Link Scene"));
    EXPECT_TRUE(log.has("[Load] \"" + (dir / "scene.zks").string() + "\" file is a harddrive file"));
}

// ---------------------------------------------------------------- round trips

TEST_F(SceneLoaderTest, StaticSceneReadsBackEveryRecord) {
    zks::Scene s = FullScene(zks::SceneKind::Static);
    s.meshes[0].texCoordSets = 0;
    s.meshes.push_back(Triangle("Two", "Mat"));
    s.meshes[1].texCoordSets = 3;
    zks::Light plain;
    plain.name = "Plain";
    plain.type = zks::LightType::Directional;
    plain.diffuse = zks::Rgb(0.5f, 0.25f, 1);
    s.lights.push_back(plain);
    // Every shape, and a code outside 1-5 that makes a point.
    s.gizmos.push_back({"Pt", zks::PointShape{}, 0, 0, {}});
    s.gizmos.push_back({"Box", zks::BoxShape{{1, 2, 3}, {4, 5, 6}, {}}, 0, 0, {}});
    s.gizmos.push_back({"Plane", zks::PlaneShape{{7, 8}, {9, 10, 11}, {}}, 0, 0, {}});
    s.gizmos.push_back({"Vec", zks::VectorShape{{1, 1, 1}, {0, 0, 5}}, 0, 0, {}});
    s.gizmos.push_back({"Odd", zks::PointShape{}, 0, 0, 9});
    LogCapture log;
    Scene* scene = Load(s);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(log.errors().empty()) << log.errors().front();

    EXPECT_STREQ(scene->name(), "Full");
    EXPECT_FLOAT_EQ(scene->descriptor.bgcolor.g, 0.2f);
    EXPECT_FLOAT_EQ(scene->descriptor.amblight.b, 0.6f);
    EXPECT_EQ(scene->descriptor.NumMesh, 2);
    EXPECT_EQ(scene->animationDescriptor.lastFrame, 0);  // static scenes have none
    EXPECT_EQ(scene->fog.mode, 1);
    EXPECT_FLOAT_EQ(scene->fog.end, 50);

    // Meshes: T = 0 reads as one set; vertices and faces reach the buffers.
    ASSERT_EQ(Count(scene->meshes), 2);
    Mesh* tri = scene->meshes;
    EXPECT_EQ(tri->texCoordSets(), 1);
    EXPECT_EQ(At(scene->meshes, 1)->texCoordSets(), 3);
    EXPECT_STREQ(tri->materialName(), "Mat");
    EXPECT_EQ(tri->vertexCount(), 3);
    EXPECT_EQ(tri->indices(), (std::vector<uint16_t>{0, 1, 2}));
    auto* vb = dynamic_cast<RecordingVertexBuffer*>(tri->vertexBuffer());
    ASSERT_NE(vb, nullptr);
    EXPECT_EQ(vb->Field(1, 0), 1.0f);  // x of vertex 1
    EXPECT_EQ(vb->Field(2, 5), 1.0f);  // nz
    EXPECT_EQ(vb->Field(2, 7), 1.0f);  // v
    EXPECT_TRUE(log.has("[Load[M]-Debug] Vertex Buffer"));
    EXPECT_TRUE(log.has("[Load[M]-Debug] Faces Buffer"));

    Camera* cam = scene->cameras;
    ASSERT_NE(cam, nullptr);
    EXPECT_STREQ(cam->TargetName(), "Tri");
    EXPECT_EQ(cam->nearPlane, 2);
    EXPECT_EQ(cam->farPlane, 200);
    EXPECT_EQ(cam->fov, 0.5f);

    ASSERT_EQ(Count(scene->lights), 2);
    Light* lamp = scene->lights;
    EXPECT_EQ(lamp->hasTarget, 1);
    EXPECT_STREQ(lamp->TargetName(), "Tri");
    EXPECT_EQ(lamp->light.dltType, D3DLIGHT_SPOT);
    EXPECT_EQ(lamp->light.dvRange, 77);
    EXPECT_EQ(lamp->light.dvPhi, 0.25f);
    Light* plainLight = At(scene->lights, 1);
    EXPECT_EQ(plainLight->hasTarget, 0);
    EXPECT_EQ(plainLight->TargetName(), nullptr);
    EXPECT_EQ(plainLight->light.dcvDiffuse.g, 0.25f);

    ASSERT_EQ(Count(scene->gizmos), 6);
    auto* ball = dynamic_cast<SphereGizmo*>(At(scene->gizmos, 0));
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->flags, Gizmo::kCullingSphere);
    EXPECT_EQ(ball->local.radius, 4);
    EXPECT_EQ(ball->local.centre.z, 3);
    EXPECT_EQ(At(scene->gizmos, 1)->shape(), Gizmo::kPoint);
    auto* box = dynamic_cast<BoxGizmo*>(At(scene->gizmos, 2));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->local.size[2], 3);
    EXPECT_EQ(box->local.origin.y, 5);
    auto* plane = dynamic_cast<PlaneGizmo*>(At(scene->gizmos, 3));
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->local.size[1], 8);
    EXPECT_EQ(plane->local.origin.z, 11);
    auto* vec = dynamic_cast<VectorGizmo*>(At(scene->gizmos, 4));
    ASSERT_NE(vec, nullptr);
    EXPECT_EQ(vec->local.vector.z, 5);
    EXPECT_EQ(At(scene->gizmos, 5)->shape(), Gizmo::kPoint);

    // Materials and textures go to the world.
    Material* mat = world->materials;
    ASSERT_NE(mat, nullptr);
    EXPECT_EQ(mat->flags, 0x200D3u);
    EXPECT_EQ(mat->d3dMaterial.dvPower, 12);
    EXPECT_EQ(mat->d3dMaterial.dcvDiffuse.a, 1);
    EXPECT_EQ(Count(world->textures), 2);

    // The static tree: transforms, roll, parents.
    HierarchyNode* root = scene->root;
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->name(), "Tri");
    EXPECT_EQ(root->animation->transform.translation.z, 3);
    EXPECT_EQ(root->animation->roll, 0.75f);
    HierarchyNode* camNode = root->firstChild();
    ASSERT_NE(camNode, nullptr);
    EXPECT_STREQ(camNode->name(), "Cam");
    EXPECT_EQ(camNode->animation->transform.translation.z, -10);
    HierarchyNode* lampNode = camNode->nextSibling();
    ASSERT_NE(lampNode, nullptr);
    ASSERT_NE(lampNode->firstChild(), nullptr);
    EXPECT_STREQ(lampNode->firstChild()->name(), "Ball");
    EXPECT_TRUE(log.has("[HN] Read \"Ball\" node with \"Lamp\" parent"));
    EXPECT_EQ(root->animation->positionTrack, nullptr);

    // The loaded scene compiles into a working tree.
    CompileWorld(world.get());
    EXPECT_EQ(root->mesh(), tri);
    EXPECT_EQ(tri->material(), mat);
}

TEST_F(SceneLoaderTest, AnimatedSceneReadsControllersAndTracks) {
    LogCapture log;
    zks::Scene s = FullScene(zks::SceneKind::Animated);
    // An absent track is a 12-byte header with no keys: the rotation after it is
    // still read in place. A track without key layout stores no key bytes.
    s.nodes[3].controller = zks::Controller::PRS;
    s.nodes[3].rotation = Track(zks::ValueType::Rotation, zks::Interpolation::Linear,
                                {zks::RotationKey(1, {0, 1, 0, 0}), zks::RotationKey(2, {1, 0, 0, 0})});
    s.nodes[3].scale = Track(static_cast<zks::ValueType>(9), zks::Interpolation::Linear, {zks::ScalarKey(0, 1)});
    zks::Node tail = TreeNode("Tail", "Ball", {5, 5, 5});
    tail.controller = static_cast<zks::Controller>(7);
    s.nodes.push_back(tail);
    Scene* scene = Load(s);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(log.errors().empty()) << log.errors().front();
    EXPECT_TRUE(log.has("[Load] Scene is Animated"));
    EXPECT_TRUE(log.has("[Load] Reads Animation Descriptor"));
    EXPECT_TRUE(log.has("[Load] Reads 5 Node Animated Hierarchy"));
    EXPECT_EQ(scene->animationDescriptor.unused, 7);
    EXPECT_EQ(scene->animationDescriptor.lastFrame, 300);
    EXPECT_EQ(scene->animationDescriptor.framesPerSecond, 25);

    // PRS with computed Hermite tangents: values 0, 2, 8 give 0, 4, 0.
    AnimationNode* a = scene->root->animation.get();
    EXPECT_TRUE(log.has("[HN] This node has a PRS animation controler"));
    ASSERT_NE(a->positionTrack, nullptr);
    EXPECT_EQ(a->positionTrack->count(), 3);
    EXPECT_EQ(a->positionTrack->interpolation(), 4);
    const float* middle = a->positionTrack->Key(1);
    EXPECT_EQ(middle[0], 10);
    EXPECT_EQ(middle[1], 2);
    EXPECT_EQ(middle[4], 4);  // in-tangent x
    EXPECT_EQ(middle[7], 4);  // out-tangent x
    EXPECT_EQ(a->positionTrack->Key(0)[4], 0);
    ASSERT_NE(a->rotationTrack, nullptr);
    EXPECT_EQ(a->rotationTrack->Key(1)[3], 1.0f);  // z of the second key
    EXPECT_EQ(a->scaleTrack, nullptr);
    EXPECT_EQ(a->roll, 0);  // PRS nodes carry no roll

    HierarchyNode* camNode = scene->root->firstChild();
    AnimationNode* c = camNode->animation.get();
    EXPECT_TRUE(log.has("[HN] This node has a LookAt+Fov animation controler"));
    EXPECT_EQ(c->roll, 0.1f);
    EXPECT_EQ(c->fov, 0.9f);
    EXPECT_EQ(c->positionTrack, nullptr);
    EXPECT_EQ(c->rollTrack, nullptr);
    ASSERT_NE(c->fovTrack, nullptr);
    EXPECT_EQ(c->fovTrack->Key(0)[1], 0.9f);

    AnimationNode* l = camNode->nextSibling()->animation.get();
    EXPECT_TRUE(log.has("[HN] This node has a LookAt animation controler"));
    ASSERT_NE(l->rollTrack, nullptr);
    EXPECT_EQ(l->rollTrack->Key(0)[0], 3);
    EXPECT_EQ(l->rollTrack->Key(0)[1], 1.5f);

    HierarchyNode* ballNode = camNode->nextSibling()->firstChild();
    AnimationNode* b = ballNode->animation.get();
    EXPECT_EQ(b->positionTrack, nullptr);
    ASSERT_NE(b->rotationTrack, nullptr);
    EXPECT_EQ(b->rotationTrack->Key(0)[0], 1);
    EXPECT_EQ(b->rotationTrack->Key(1)[1], 1.0f);
    EXPECT_EQ(b->scaleTrack, nullptr);
    EXPECT_TRUE(log.has("[Load] Track of value type 9 with interpolation 1 has no key layout : dropped"));

    // Controller 7 reads nothing more, and the node after it is in place.
    ASSERT_NE(ballNode->firstChild(), nullptr);
    EXPECT_STREQ(ballNode->firstChild()->name(), "Tail");
    EXPECT_EQ(ballNode->firstChild()->animation->transform.translation.y, 5);
    EXPECT_FALSE(log.has("[HN] This node has no animation controler"));

    // Tracks drive the tree once compiled.
    CompileWorld(world.get());
    scene->SetTime(5);
    scene->render();
    EXPECT_GT(a->transform.translation.x, 0.0f);
}

TEST_F(SceneLoaderTest, MaterialStagesFollowTheMaskAndShareTexturesByName) {
    LogCapture log;
    zks::Scene s;
    zks::Material none;
    none.name = "None";
    zks::Material envBump;
    envBump.name = "EnvBump";
    envBump.environment = zks::TextureRef{"chrome", ""};
    envBump.bump = zks::TextureRef{"bumps", ""};
    zks::Material all;
    all.name = "All";
    all.texture = zks::TextureRef{"chrome", "second.jpg"};
    all.detail = zks::TextureRef{"grain", ""};
    all.environment = zks::TextureRef{"sky", ""};
    all.bump = zks::TextureRef{"bumps", ""};
    s.materials = {none, envBump, all};
    ASSERT_NE(Load(s), nullptr);
    EXPECT_TRUE(log.errors().empty());

    Material* m0 = world->materials;
    EXPECT_EQ(m0->stageCount(), 0);
    EXPECT_EQ(m0->stageKinds, 0u);
    EXPECT_TRUE(log.has("[Mat] Material \"None\" has 0 texture stages"));

    Material* m1 = At(world->materials, 1);
    ASSERT_EQ(m1->stageCount(), 2);
    EXPECT_EQ(m1->stage(0)->kind, TextureStage::kEnvironment);
    EXPECT_STREQ(m1->stage(0)->textureName(), "chrome");
    EXPECT_EQ(m1->stage(1)->kind, TextureStage::kBump);
    EXPECT_EQ(m1->stageKinds, 0x0Cu);
    EXPECT_TRUE(log.has("[Mat] Material \"EnvBump\" Env Texture(0)"));
    EXPECT_TRUE(log.has("[Mat] Material \"EnvBump\" Bump Texture(1)"));

    Material* m2 = At(world->materials, 2);
    ASSERT_EQ(m2->stageCount(), 4);
    const int32_t kinds[] = {1, 2, 3, 5};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m2->stage(i)->kind, kinds[i]);
    EXPECT_TRUE(log.has("[Mat] Material \"All\" Detail Texture(1)"));

    // "chrome" is made once; the second record's bitmap name is read and ignored.
    EXPECT_EQ(Count(world->textures), 4);
    EXPECT_EQ(log.count("[Tex] Creating Texture \"chrome\""), 1);
    EXPECT_EQ(log.count("[N] Node \"chrome\" already in list"), 1);
    EXPECT_FALSE(log.contains("second.jpg"));
    EXPECT_EQ(static_cast<Texture*>(world->textures)->bitmap(), nullptr);
}

TEST_F(SceneLoaderTest, ASecondFileReusesTexturesAndAddsMaterialsOfTheSameName) {
    zks::Scene s;
    zks::Material m;
    m.name = "Shared";
    m.texture = zks::TextureRef{"rock", ""};
    s.materials = {m};
    ASSERT_NE(Load(s), nullptr);
    s.name = "Again";
    ASSERT_NE(LoadScene(world.get(), Write(s, "again.zks").c_str()), nullptr);
    EXPECT_EQ(Count(world->textures), 1);
    EXPECT_EQ(Count(world->materials), 2);
    EXPECT_EQ(Count(world->scenes), 2);
}

// ---------------------------------------------------------------- chunks, names, faces

TEST_F(SceneLoaderTest, ChunkWalkSkipsEmptyChunksAndEndsOnOversizedOnes) {
    zks::Scene s = FullScene(zks::SceneKind::Static);
    s.chunks = {{1, {}, {}}, {2, {9, 9}, {}}};
    LogCapture log;
    ASSERT_NE(Load(s), nullptr);
    EXPECT_FALSE(log.contains("[Load] Extension chunk"));
    EXPECT_FALSE(log.contains("after the last extension chunk"));

    // Sizes that wrap, run past the end or go backwards end the walk; the scene
    // itself is complete and kept.
    for (int32_t size : {0x7FFFFFFF, -8, -1, 100}) {
        s.chunks = {{1, {}, {}}, {3, {1, 2, 3}, size}};
        log.clear();
        Scene* scene = Load(s);
        ASSERT_NE(scene, nullptr) << size;
        EXPECT_TRUE(log.has("[Load] Extension chunk 3 of " + std::to_string(size) +
                            " bytes runs past the end of the file"));
    }
    // Bytes too few for a chunk header are ignored with a note.
    s.chunks = {{5, {}, {}}};
    std::vector<uint8_t> bytes = Bytes(s);
    bytes.push_back(0xAB);
    log.clear();
    EXPECT_NE(LoadScene(world.get(), WriteBytes(bytes).c_str()), nullptr);
    EXPECT_TRUE(log.has("[Load] 1 bytes after the last extension chunk are ignored"));
}

TEST_F(SceneLoaderTest, OverlongNamesAreCutAndTheRecordStaysInPlace) {
    LogCapture log;
    zks::Scene s = FullScene(zks::SceneKind::Static);
    const std::string longName(1500, 'n');
    s.meshes[0].name = longName;
    s.nodes[0].name = longName;
    s.cameras[0].target = std::string(1023, 't');
    Scene* scene = Load(s);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(std::string(scene->meshes->name()), longName.substr(0, 1023));
    EXPECT_EQ(scene->meshes->vertexCount(), 3);
    EXPECT_STREQ(scene->meshes->materialName(), "Mat");
    EXPECT_EQ(std::string(scene->cameras->TargetName()).size(), 1023u);
    EXPECT_EQ(std::string(scene->root->name()).size(), 1023u);
    EXPECT_EQ(log.count("[Load] Name cut to its first 1023 characters : \"" + longName.substr(0, 1023) + "\""), 2);
    CompileWorld(world.get());
    EXPECT_EQ(scene->root->mesh(), scene->meshes);  // both cut alike
}

TEST_F(SceneLoaderTest, FacesBeyondTheVerticesAreMadeHarmless) {
    LogCapture log;
    zks::Scene s = FullScene(zks::SceneKind::Static);
    s.meshes[0].faces.push_back({0, 2, 3});
    Scene* scene = Load(s);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->meshes->faceCount(), 2);
    EXPECT_EQ(scene->meshes->indices(), (std::vector<uint16_t>{0, 1, 2, 0, 0, 0}));
    EXPECT_TRUE(log.contains("Face 1 uses vertex 3 of 3"));
}

TEST_F(SceneLoaderTest, NodeWithoutParentEndsTheTreeAndTheRestIsWalkedAsChunks) {
    LogCapture log;
    zks::Scene s = FullScene(zks::SceneKind::Static);
    s.nodes.insert(s.nodes.begin() + 1, TreeNode("Orphan", "Nowhere"));
    Scene* scene = Load(s);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(log.has("[Load] Node \"Orphan\" has no parent \"Nowhere\" in the tree : the hierarchy ends here"));
    EXPECT_STREQ(scene->root->name(), "Tri");
    EXPECT_EQ(scene->root->firstChild(), nullptr);
}

// ---------------------------------------------------------------- rejected files

TEST_F(SceneLoaderTest, CountsTheFileCannotHoldRejectItAndTheWorldIsLeftAsItWas) {
    // A scene, a material and a texture from an earlier file stay untouched.
    zks::Scene first;
    first.name = "First";
    zks::Material keep;
    keep.name = "Keep";
    keep.texture = zks::TextureRef{"kept", ""};
    first.materials = {keep};
    Scene* earlier = Load(first);
    ASSERT_NE(earlier, nullptr);
    world->currentScene = earlier;

    struct Case {
        const char* what;
        std::function<void(zks::Scene&)> damage;
        std::string message;
        size_t cut = 0;  // bytes taken off the end
    };
    const std::vector<Case> cases = {
        {"meshes", [](zks::Scene& s) { s.raw.numMesh = 100000; }, "100000 meshes cannot fit in the"},
        {"negative", [](zks::Scene& s) { s.raw.numCamera = -1; }, "[Load] Error : -1 cameras is not a count"},
        {"lights", [](zks::Scene& s) { s.raw.numLight = 0x7FFFFFFF; }, "2147483647 lights cannot fit"},
        {"materials", [](zks::Scene& s) { s.raw.materialCount = 100000; }, "100000 materials cannot fit"},
        {"keys",
         [](zks::Scene& s) {
             s.nodes[0].position->countOverride = 0x40000000;
         },
         "1073741824 keys cannot fit"},
        {"negative keys", [](zks::Scene& s) { s.nodes[0].position->countOverride = -3; },
         "[Load] Error : -3 keys is not a count"},
        {"vertices",
         [](zks::Scene& s) {
             s.meshes[0].vertices.resize(40000);
             s.meshes[0].faces.resize(20000);
         },
         "40000 vertices cannot fit", 700000},
        {"arrays together",
         [](zks::Scene& s) {
             s.meshes[0].vertices.resize(1000);
             s.meshes[0].faces.resize(5000);
         },
         "[Load] Error : mesh \"Tri\" needs 62000 bytes of vertices and faces", 25000},
        {"no end flag", [](zks::Scene& s) { s.raw.terminateHierarchy = false; s.chunks.clear(); },
         "[Load] Error : the file ends inside the hierarchy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zks::Scene s = FullScene(zks::SceneKind::Animated);
        c.damage(s);
        std::vector<uint8_t> bytes = Bytes(s);
        bytes.resize(bytes.size() - c.cut);
        LogCapture log;
        EXPECT_EQ(LoadScene(world.get(), WriteBytes(bytes).c_str()), nullptr);
        EXPECT_TRUE(log.contains(c.message)) << log.errors().front();
        EXPECT_TRUE(log.has("[Load] Scene \"Full\" rejected : what it added to the world is released"));
        EXPECT_EQ(world->scenes, earlier);
        EXPECT_EQ(earlier->next, nullptr);
        EXPECT_EQ(world->currentScene, earlier);
        ASSERT_EQ(Count(world->materials), 1);
        EXPECT_STREQ(world->materials->name(), "Keep");
        ASSERT_EQ(Count(world->textures), 1);
        EXPECT_STREQ(world->textures->name(), "kept");
    }
    for (const auto* vb : platform.vertexBuffers()) EXPECT_EQ(vb->refs(), 0) << vb->name();
}

TEST_F(SceneLoaderTest, TreesDeeperThanTheWalksAllowAreRejected) {
    LogCapture log;
    zks::Scene s;
    s.nodes.push_back(TreeNode("n0", ""));
    for (int i = 1; i <= kMaxSceneTreeDepth + 1; ++i)
        s.nodes.push_back(TreeNode("n" + std::to_string(i), "n" + std::to_string(i - 1)));
    EXPECT_EQ(Load(s), nullptr);
    EXPECT_TRUE(log.has("[Load] Error : node \"n1025\" lies deeper than 1024 levels"));
    EXPECT_EQ(world->scenes, nullptr);
    s.nodes.pop_back();
    EXPECT_NE(Load(s), nullptr);
}

// Every prefix of a valid file, and random byte changes of it, load or are
// rejected; either way nothing is read out of bounds (run under ASan) and the
// world keeps only what a successful load added.
TEST_F(SceneLoaderTest, EveryTruncationAndRandomDamageLoadsOrFailsCleanly) {
    const std::vector<uint8_t> valid = Bytes(FullScene(zks::SceneKind::Animated));
    int loaded = 0, rejected = 0;
    auto check = [&](const std::vector<uint8_t>& bytes) {
        // A new file each time: truncating one file over and over is far slower
        // on file systems that discard freed blocks at once.
        const std::string path = WriteBytes(bytes, "v" + std::to_string(loaded + rejected) + ".zks");
        Scene* scene = LoadScene(world.get(), path.c_str());
        (scene ? loaded : rejected)++;
        if (scene) {
            EXPECT_EQ(world->scenes, scene);
            CompileWorld(world.get());
            scene->SetTime(3);
            scene->render();
        } else {
            EXPECT_EQ(world->scenes, nullptr);
            EXPECT_EQ(world->materials, nullptr);
            EXPECT_EQ(world->textures, nullptr);
        }
        Unload(scene, 0, 0);
    };
    for (size_t length = 0; length < valid.size(); ++length)
        check(std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<long>(length)));
    EXPECT_GT(rejected, 0);
    EXPECT_GT(loaded, 0);  // cut inside the trailing chunk

    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = valid;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < changes; ++k) {
            const size_t at = random() % bytes.size();
            bytes[at] = (random() % 3 == 0) ? static_cast<uint8_t>(0xFF) : static_cast<uint8_t>(random());
        }
        check(bytes);
    }
    EXPECT_GT(loaded, 100);
    EXPECT_GT(rejected, 100);
}

}  // namespace

// Scene frames on the recording device: the exact device calls, culling,
// transparent faces, cameras, lights, gizmos and the world's operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/render/texture.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"

using namespace ZK3D;
using testing_support::DrawRecord;
using testing_support::FormatMatrix;
using testing_support::LogCapture;
using testing_support::SceneRig;

namespace {

constexpr float kPi = 3.14159265358979f;

std::string RS(DWORD state, DWORD value) {
    return "SetRenderState(" + std::to_string(state) + "," + std::to_string(value) + ")";
}
std::string Transform(int state, const Matrix& m) {
    return "SetTransform(" + std::to_string(state) + "," + FormatMatrix(m.m) + ")";
}
std::string Mult(const Matrix& m) { return "stack.MultMatrixLocal(" + FormatMatrix(m.m) + ")"; }

float TranslationZ(const D3DMATRIX& m) { return m._43; }

}  // namespace

// ---------------------------------------------------------------- one frame

TEST(SceneRender, OneFrameMakesExactlyTheseDeviceCalls) {
    SceneRig rig;
    rig.AddMaterial("Red", kDefaultRenderFlags, 0.5f);
    rig.AddMesh("Box", "Red");
    rig.AddLight("Lamp", nullptr);
    rig.AddCamera("Cam", "Root");
    rig.scene->descriptor.amblight = {0, 0, 1, 1};
    rig.Place("", "Root");
    rig.Place("Root", "Lamp", {1, 2, 3});
    rig.Place("Root", "Box", {0, 0, 5});
    rig.Place("Root", "Cam", {0, -10, 0});
    CompileWorld(rig.world.get());
    ASSERT_EQ(rig.scene->currentCamera, rig.scene->cameras);
    EXPECT_EQ(rig.scene->renderFlags, kDefaultRenderFlags);
    rig.scene->renderFlags = kDefaultRenderFlags | flags::kSpecular;
    rig.scene->SetTime(0);

    rig.platform.log().clear();
    rig.scene->render();

    const Matrix identity = MatrixIdentity();
    const Matrix box = MatrixTranslation(0, 0, 5);
    const Matrix view = MatrixLookAt({0, -10, 0}, {0, 0, 0}, {0, 0, 1});
    const Matrix projection = MatrixPerspective(kPi / 2, 0.75f, 1, 101);
    const std::vector<std::string> expected = {
        // lights cleared, ambient, the scene's word, fog, world
        "LightEnable(0,0)",
        RS(139, 0xFF0000FFu),
        RS(29, 1),
        RS(28, 0),
        Transform(1, identity),
        // update pass, children before their parent: the lamp, then the camera
        "SetLight(0,3,{1,2,3},{0,-1,0})",
        "LightEnable(0,1)",
        Transform(2, view),
        Transform(3, projection),
        "stack.LoadIdentity()",
        "BeginScene()",
        // draw pass
        "stack.Push()", Mult(identity),
        "stack.Push()", Mult(MatrixTranslation(1, 2, 3)), "stack.Pop()",
        "stack.Push()", Mult(box),
        Transform(1, box),
        RS(29, 0),  // the material's word differs from the scene's in specular only
        "SetMaterial({0.5,1,1,1},{0,0,0,0},{0,0,0,0},{0,0,0,0},0)",
        "SetTexture(0,null)",
        "SetTextureStageState(0,1,4)", "SetTextureStageState(0,2,2)", "SetTextureStageState(0,3,1)",
        "SetTextureStageState(0,4,2)", "SetTextureStageState(0,5,2)", "SetTextureStageState(0,6,1)",
        "DrawIndexedPrimitiveVB(4,vb1,0,3,3,1)",
        "stack.Pop()",
        "stack.Push()", Mult(MatrixTranslation(0, -10, 0)), "stack.Pop()",
        "stack.Pop()",
        "EndScene()",
    };
    EXPECT_EQ(rig.platform.calls(), expected);
    EXPECT_EQ(rig.context->FlagDepth(), 0);
}

TEST(SceneRender, ANodeWithoutObjectIsAnimatedAndItsChildrenDrawn) {
    SceneRig rig;
    rig.AddMesh("Leaf", nullptr);
    HierarchyNode* empty = rig.Place("", "Empty");
    rig.Place("Empty", "Leaf");
    empty->animation->positionTrack = KeyTrack::Create(2, KeyTrack::kPosition, KeyTrack::kLinear);
    float* k1 = empty->animation->positionTrack->Key(1);
    k1[0] = 10, k1[1] = 0.5f;  // x 0.5 at frame 10: still in the view of the identity projection
    CompileWorld(rig.world.get());
    rig.scene->SetTime(5);
    rig.scene->render();
    EXPECT_FLOAT_EQ(empty->animation->transform.translation.x, 0.25f);
    auto draws = rig.DrawsOf(rig.scene->meshes);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_FLOAT_EQ(draws[0]->world._41, 0.25f);  // the child is placed through its parent
}

// ---------------------------------------------------------------- culling

namespace {

// root -> [Out (culling sphere outside) -> [Hidden, HiddenLamp], Shown, In (inside) -> [Nested (outside) -> [Deep], Kept]]
struct CullingScene {
    CullingScene() {
        for (const char* name : {"Hidden", "Shown", "Deep", "Kept"}) rig.AddMesh(name, nullptr);
        rig.AddLight("HiddenLamp", nullptr);
        rig.AddSphere("Out", 1, true);
        rig.AddSphere("In", 0.5f, true);
        rig.AddSphere("Nested", 1, true);
        // With identity view and projection the view volume is -1..1 in x and y, 0..1 in z.
        rig.Place("", "Root");
        rig.Place("Root", "Out", {10, 0, 0.5f});
        rig.Place("Out", "Hidden");
        rig.Place("Out", "HiddenLamp");
        rig.Place("Root", "Shown");
        rig.Place("Root", "In", {0, 0, 0.5f});
        rig.Place("In", "Nested", {0, 10, 0.5f});
        rig.Place("Nested", "Deep");
        rig.Place("In", "Kept");
        CompileWorld(rig.world.get());
        rig.platform.device().draws().clear();
        rig.platform.log().clear();
    }
    Mesh* mesh(const char* name) { return static_cast<Mesh*>(FindNode(rig.scene->meshes, name)); }
    SceneRig rig;
};

}  // namespace

TEST(SceneCulling, ASphereOutsideHidesItsSubtreeButNotItsLaterSiblings) {
    CullingScene s;
    s.rig.scene->render();
    EXPECT_TRUE(s.rig.DrawsOf(s.mesh("Hidden")).empty());
    EXPECT_EQ(s.rig.DrawsOf(s.mesh("Shown")).size(), 1u);
    EXPECT_EQ(s.rig.DrawsOf(s.mesh("Kept")).size(), 1u);
    // A culling sphere below a visible one is tested too, and hides its own subtree.
    EXPECT_TRUE(s.rig.DrawsOf(s.mesh("Deep")).empty());
    // A light under a culled sphere is neither placed nor enabled.
    EXPECT_TRUE(s.rig.platform.log().starting("SetLight").empty());
    // One device call per sibling chain that has spheres: [Out, Shown, In] and [Nested, Kept].
    EXPECT_EQ(s.rig.platform.log().starting("ComputeSphereVisibility"),
              (std::vector<std::string>{"ComputeSphereVisibility(2,0)", "ComputeSphereVisibility(1,0)"}));

    // Once back in view the subtrees are drawn again, nested ones included.
    FindInTree(s.rig.scene->root, "Out")->animation->transform.translation = {0, 0, 0.5f};
    FindInTree(s.rig.scene->root, "Nested")->animation->transform.translation = {0, 0, 0.5f};
    s.rig.platform.device().draws().clear();
    s.rig.scene->render();
    EXPECT_EQ(s.rig.DrawsOf(s.mesh("Hidden")).size(), 1u);
    EXPECT_EQ(s.rig.DrawsOf(s.mesh("Deep")).size(), 1u);
}

TEST(SceneCulling, MoreThanAHundredSpheresInOneChainAreTestedInOneCall) {
    SceneRig rig;
    rig.Place("", "Root");
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) names.push_back("S" + std::to_string(i));
    for (int i = 0; i < 150; ++i) {
        rig.AddSphere(names[i].c_str(), 0.1f, true);
        rig.Place("Root", names[i].c_str(), {i % 2 ? 50.0f : 0.0f, 0, 0.5f});
    }
    CompileWorld(rig.world.get());
    rig.platform.log().clear();
    rig.scene->render();
    EXPECT_EQ(rig.platform.log().starting("ComputeSphereVisibility"),
              std::vector<std::string>{"ComputeSphereVisibility(150,0)"});
    int culled = 0;
    for (Node* g = rig.scene->gizmos; g; g = g->next) culled += (static_cast<Gizmo*>(g)->flags & Gizmo::kCulled) != 0;
    EXPECT_EQ(culled, 75);
}

// A sphere is tested where its parents put it: Root -> Group (moved, turned or
// scaled) -> Sphere -> Mesh. The view volume is -1..1 in x and y, 0..1 in z.
TEST(SceneCulling, NestedSpheresAreTestedAtTheirWorldPlace) {
    struct Case {
        const char* what;
        TransformRecord group;
        Vector3 sphere;
        float radius;
        bool drawn;
    };
    const Quaternion halfTurnAboutZ{0, 0, 1, 0};
    auto moved = [](Vector3 t, Quaternion r = {0, 0, 0, 1}, Vector3 s = {1, 1, 1}) {
        TransformRecord record;
        record.translation = t;
        record.rotation = r;
        record.scale = s;
        return record;
    };
    const Case cases[] = {
        {"moved back onto the screen", moved({100, 0, 0}), {-100, 0, 0.5f}, 1, true},
        {"moved off the screen", moved({100, 0, 0}), {0, 0, 0.5f}, 1, false},
        {"turned onto the screen", moved({10, 0, 0}, halfTurnAboutZ), {10, 0, 0.5f}, 1, true},
        {"turned off the screen", moved({10, 0, 0}, halfTurnAboutZ), {-10, 0, 0.5f}, 1, false},
        {"scaled: the radius grows", moved({}, {0, 0, 0, 1}, {10, 10, 10}), {0.15f, 0, 0.05f}, 0.1f, true},
        {"scaled: the centre moves out", moved({}, {0, 0, 0, 1}, {10, 10, 10}), {0.5f, 0, 0.05f}, 0.01f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SceneRig rig;
        Mesh* mesh = rig.AddMesh("Mesh", nullptr);
        rig.AddSphere("Sphere", c.radius, true);
        rig.Place("", "Root");
        HierarchyNode* group = rig.Place("Root", "Group");
        group->animation->transform = c.group;
        group->animation->compile();
        rig.Place("Group", "Sphere", c.sphere);
        rig.Place("Sphere", "Mesh");
        CompileWorld(rig.world.get());
        rig.platform.device().draws().clear();
        rig.scene->render();
        EXPECT_EQ(rig.DrawsOf(mesh).size(), c.drawn ? 1u : 0u);
    }
}

// ---------------------------------------------------------------- transparent faces

TEST(TransparentFaces, AreDrawnFarthestFirstWithTheirOwnMatricesAndMaterials) {
    SceneRig rig;
    const RenderFlags sorted = flags::WithBlend(kDefaultRenderFlags | flags::kSorted, flags::kBlendTransparent);
    rig.AddMaterial("GlassA", sorted, 0.25f);
    rig.AddMaterial("GlassB", sorted, 0.75f);
    Mesh* a = rig.AddMesh("A", "GlassA");
    Mesh* b = rig.AddMesh("B", "GlassB");
    rig.AddMesh("Solid", nullptr);
    rig.Place("", "Root");
    rig.Place("Root", "A", {0, 0, 5});
    rig.Place("Root", "B", {0, 0, 9});
    rig.Place("Root", "Solid");
    CompileWorld(rig.world.get());
    rig.platform.device().draws().clear();
    rig.scene->render();

    auto& draws = rig.platform.device().draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].buffer, static_cast<Mesh*>(FindNode(rig.scene->meshes, "Solid"))->vertexBuffer())
        << "opaque geometry first";
    EXPECT_EQ(draws[1].buffer, b->vertexBuffer());
    EXPECT_FLOAT_EQ(TranslationZ(draws[1].world), 9);
    EXPECT_FLOAT_EQ(draws[1].material.dcvDiffuse.r, 0.75f);
    EXPECT_EQ(draws[1].renderStates[D3DRENDERSTATE_SRCBLEND], D3DBLEND_SRCALPHA);
    EXPECT_EQ(draws[2].buffer, a->vertexBuffer());
    EXPECT_FLOAT_EQ(TranslationZ(draws[2].world), 5);
    EXPECT_FLOAT_EQ(draws[2].material.dcvDiffuse.r, 0.25f);
    EXPECT_EQ(draws[2].indices, (std::vector<WORD>{0, 1, 2}));
}

TEST(TransparentFaces, UnderAMovedParentSortAndDrawAtTheirWorldPlace) {
    SceneRig rig;
    rig.AddMaterial("Glass", flags::WithBlend(kDefaultRenderFlags | flags::kSorted, flags::kBlendTransparent));
    Mesh* a = rig.AddMesh("A", "Glass");
    Mesh* b = rig.AddMesh("B", "Glass");
    rig.Place("", "Root");
    rig.Place("Root", "Far", {0, 0, 10});
    rig.Place("Far", "A", {0, 0, 5});  // 15 away in the world: nearer than B by its own place only
    rig.Place("Root", "B", {0, 0, 9});
    CompileWorld(rig.world.get());
    rig.platform.device().draws().clear();
    rig.scene->render();
    auto& draws = rig.platform.device().draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].buffer, a->vertexBuffer());
    EXPECT_FLOAT_EQ(TranslationZ(draws[0].world), 15);
    EXPECT_EQ(draws[1].buffer, b->vertexBuffer());
}

TEST(TransparentFaces, AMeshPlacedTwiceQueuesTwoIndependentSets) {
    SceneRig rig;
    rig.AddMaterial("Glass", kDefaultRenderFlags | flags::kSorted);
    Mesh* a = rig.AddMesh("A", "Glass");
    Mesh* b = rig.AddMesh("B", "Glass");
    rig.Place("", "Root");
    rig.Place("Root", "A", {0, 0, 3});
    rig.Place("Root", "B", {0, 0, 5});
    rig.Place("Root", "A", {0, 0, 7});  // a second node of the same name places the same mesh
    CompileWorld(rig.world.get());
    rig.platform.device().draws().clear();
    rig.scene->render();
    auto& draws = rig.platform.device().draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].buffer, a->vertexBuffer());
    EXPECT_FLOAT_EQ(TranslationZ(draws[0].world), 7);
    EXPECT_EQ(draws[1].buffer, b->vertexBuffer());
    EXPECT_EQ(draws[2].buffer, a->vertexBuffer());
    EXPECT_FLOAT_EQ(TranslationZ(draws[2].world), 3);
}

TEST(TransparentFaces, InterleavedFacesAlternateInRunsAndLargeFramesGrow) {
    SceneRig rig;
    rig.AddMaterial("Glass", kDefaultRenderFlags | flags::kSorted);
    // Two meshes of 3000 faces each: 6000 faces, more than the first 5000 slots.
    Mesh* a = rig.AddMesh("A", "Glass", 3000);
    Mesh* b = rig.AddMesh("B", "Glass", 3000);
    rig.Place("", "Root");
    // Depth is the z of each face centre: x runs along the faces, so turn the
    // meshes to let x become depth, and offset B by half a face.
    HierarchyNode* na = rig.Place("Root", "A");
    HierarchyNode* nb = rig.Place("Root", "B");
    const Quaternion turn{0, std::sin(-kPi / 4), 0, std::cos(-kPi / 4)};  // x -> z
    na->animation->transform.rotation = turn;
    nb->animation->transform.rotation = turn;
    nb->animation->transform.translation = {0, 0, 0.5f};
    CompileWorld(rig.world.get());
    rig.platform.device().draws().clear();
    rig.scene->render();
    EXPECT_EQ(rig.world->sorter.size(), 6000u);
    auto& draws = rig.platform.device().draws();
    ASSERT_EQ(draws.size(), 6000u) << "faces alternate between the meshes: one run each";
    EXPECT_EQ(draws[0].buffer, b->vertexBuffer());
    EXPECT_EQ(draws[1].buffer, a->vertexBuffer());
    EXPECT_EQ(draws[0].indices, (std::vector<WORD>{8997, 8998, 8999}));
    EXPECT_EQ(draws.back().indices, (std::vector<WORD>{0, 1, 2}));
    for (size_t i = 1; i < rig.world->sorter.size(); ++i)
        ASSERT_GE(rig.world->sorter.entries()[i - 1].depth, rig.world->sorter.entries()[i].depth) << i;
}

// ---------------------------------------------------------------- cameras

TEST(CameraTest, RollTurnsTheUpVectorAboutY) {
    SceneRig rig;
    Camera* cam = rig.AddCamera("Cam", "Aim");
    rig.Place("", "Root");
    HierarchyNode* node = rig.Place("Root", "Cam", {0, -10, 0});
    rig.Place("Root", "Aim", {0, 0, 0});
    CompileWorld(rig.world.get());
    for (float roll : {0.0f, kPi / 2}) {
        node->animation->roll = roll;
        rig.scene->render();
        const Vector3 up = roll == 0 ? Vector3{0, 0, 1} : Vector3{-1, 0, 0};
        const Matrix expected = MatrixLookAt({0, -10, 0}, {0, 0, 0}, up);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(cam->view.m[i], expected.m[i], 1e-6) << roll << " " << i;
    }
    EXPECT_EQ(cam->placedBy, node);
    // Projection at 640 x 480 with a quarter turn of field of view.
    EXPECT_FLOAT_EQ(cam->projection(0, 0), 0.75f);
    EXPECT_FLOAT_EQ(cam->projection(1, 1), 1.0f);
    EXPECT_FLOAT_EQ(cam->projection(2, 2), 1.01f);
    EXPECT_FLOAT_EQ(cam->projection(3, 2), -1.01f);
    const D3DMATRIX sent = rig.platform.device().transform(D3DTRANSFORMSTATE_PROJECTION);
    EXPECT_FLOAT_EQ(sent._11, 0.75f);
}

TEST(CameraTest, AnimatedFieldOfViewReplacesTheFilesUnlessZero) {
    SceneRig rig;
    Camera* cam = rig.AddCamera("Cam", "Cam");
    rig.Place("", "Cam");
    CompileWorld(rig.world.get());
    HierarchyNode* node = rig.scene->root;
    node->animation->fov = 1.0f;
    rig.scene->render();
    EXPECT_FLOAT_EQ(cam->fov, 1.0f);
    node->animation->fov = 0;
    rig.scene->render();
    EXPECT_FLOAT_EQ(cam->fov, 1.0f);
    EXPECT_FLOAT_EQ(cam->projection(1, 1), 1 / std::tan(0.5f));
}

TEST(CameraTest, OnlyTheCurrentCameraSetsTheViewAndOnesThatCannotSeeSaySoOnce) {
    LogCapture log;
    SceneRig rig;
    Camera* first = rig.AddCamera("First", "Nowhere");
    Camera* second = rig.AddCamera("Second", "Root");
    rig.Place("", "Root");
    rig.Place("Root", "First", {1, 1, 1});
    rig.Place("Root", "Second", {0, 0, -5});
    CompileWorld(rig.world.get());
    EXPECT_EQ(rig.scene->currentCamera, first);

    rig.scene->currentCamera = second;
    rig.scene->render();
    const D3DMATRIX secondView = rig.platform.device().transform(D3DTRANSFORMSTATE_VIEW);
    EXPECT_EQ(second->placedBy, rig.scene->root->firstChild()->nextSibling());
    EXPECT_EQ(first->placedBy, nullptr);

    rig.scene->currentCamera = first;
    rig.platform.log().clear();
    rig.scene->render();
    rig.scene->render();
    EXPECT_TRUE(rig.platform.log().starting("SetTransform(2,").empty());
    EXPECT_EQ(rig.platform.log().starting("SetTransform(3,").size(), 2u);
    const D3DMATRIX kept = rig.platform.device().transform(D3DTRANSFORMSTATE_VIEW);
    EXPECT_EQ(std::memcmp(&secondView, &kept, sizeof kept), 0);
    EXPECT_EQ(log.count("[C] \"First\" has no target : the view is left as it is"), 1);

    // Second looks straight up its up axis (+z): its view is kept as computed,
    // and it says once, plainly, that it sees nothing.
    const std::string blind = "[C] \"Second\" looks along its up axis : it sees nothing";
    EXPECT_EQ(log.level(blind), 3);
    rig.scene->currentCamera = second;
    rig.scene->render();
    EXPECT_EQ(log.count(blind), 1);
    // Rolled a quarter turn, its up axis is no longer its view direction.
    Camera* third = rig.AddCamera("Third", "Root");
    rig.Place("Root", "Third", {0, 0, -5});
    CompileWorld(rig.world.get());
    rig.scene->currentCamera = third;
    FindInTree(rig.scene->root, "Third")->animation->roll = kPi / 2;
    rig.scene->render();
    EXPECT_FALSE(log.contains("\"Third\" looks along"));
}

TEST(CameraTest, DestroyingTheCurrentCameraLeavesNone) {
    SceneRig rig;
    rig.AddCamera("Cam", nullptr);
    CompileWorld(rig.world.get());
    ASSERT_TRUE(rig.scene->currentCamera);
    FreeNodeList(&rig.scene->cameras);
    EXPECT_EQ(rig.scene->currentCamera, nullptr);
    rig.scene->render();  // renders with whatever the context holds
}

// ---------------------------------------------------------------- lights

TEST(LightTest, DirectionPointsAtTheTargetAndSlotsFollowTheWalk) {
    SceneRig rig;
    Light* aimed = rig.AddLight("Aimed", "Target");
    Light* plain = rig.AddLight("Plain", nullptr);
    rig.Place("", "Root");
    rig.Place("Root", "Plain", {7, 8, 9});  // parent of Aimed: its slot comes after its child's
    rig.Place("Plain", "Aimed", {1, 0, 0});
    rig.Place("Root", "Target", {4, 0, 0});
    CompileWorld(rig.world.get());
    rig.platform.log().clear();
    rig.scene->render();
    EXPECT_FLOAT_EQ(aimed->light.dvDirection.x, 3);
    EXPECT_FLOAT_EQ(aimed->light.dvDirection.y, 0);
    EXPECT_FLOAT_EQ(aimed->light.dvPosition.x, 1);
    EXPECT_FLOAT_EQ(plain->light.dvDirection.y, -1);  // the file's direction stays
    EXPECT_FLOAT_EQ(plain->light.dvPosition.z, 9);
    EXPECT_EQ(rig.platform.log().starting("SetLight"),
              (std::vector<std::string>{"SetLight(0,3,{1,0,0},{3,0,0})", "SetLight(1,3,{7,8,9},{0,-1,0})"}));
    rig.platform.log().clear();
    rig.scene->render();
    EXPECT_EQ(rig.platform.log().starting("LightEnable"),
              (std::vector<std::string>{"LightEnable(0,0)", "LightEnable(1,0)", "LightEnable(0,1)",
                                        "LightEnable(1,1)"}));
}

// ---------------------------------------------------------------- gizmos

TEST(GizmoTest, WorldDataFollowsTheNodesTransform) {
    HierarchyNode node("N");
    node.animation = std::make_unique<AnimationNode>();
    TransformRecord& t = node.animation->transform;
    t.translation = {1, 2, 3};
    t.scale = {1, 3, 2};
    node.animation->compile();

    SphereGizmo sphere("S");
    sphere.local = {{9, 9, 9}, 2};
    sphere.render(&node);
    EXPECT_FLOAT_EQ(sphere.world.radius, 6);
    EXPECT_FLOAT_EQ(sphere.world.centre.z, 3);

    PointGizmo point("P");
    point.render(&node);
    EXPECT_FLOAT_EQ(point.position.x, 1);
    EXPECT_FLOAT_EQ(point.position.y, 2);

    t.scale = {2, 2, 2};
    t.rotation = {0, 0, 0.7071068f, 0.7071068f};
    node.animation->compile();
    VectorGizmo vector("V");
    vector.local = {{5, 5, 5}, {1, 0, 0}};
    vector.render(&node);
    EXPECT_NEAR(vector.world.vector.x, 0, 1e-6);
    EXPECT_NEAR(vector.world.vector.y, 2, 1e-6);
    EXPECT_FLOAT_EQ(vector.world.origin.x, 1);

    BoxGizmo box("B");
    box.local.size[1] = 4;
    box.local.axis[0] = {1, 0, 0};
    box.render(&node);
    EXPECT_FLOAT_EQ(box.world.size[1], 4);
    EXPECT_NEAR(box.world.axis[0].y, 2, 1e-6);  // scaled and turned, not moved
    EXPECT_FLOAT_EQ(box.world.origin.z, 3);

    PlaneGizmo plane("Pl");
    plane.local.axis[2] = {0, 0, 1};
    plane.render(&node);
    EXPECT_NEAR(plane.world.axis[2].z, 2, 1e-6);
}

TEST(GizmoTest, ShapesCodesAndLocalData) {
    EXPECT_EQ(CreateGizmo("g", 7)->shape(), Gizmo::kPoint);
    EXPECT_EQ(CreateGizmo("g", 4)->shape(), Gizmo::kSphere);
    EXPECT_EQ(ShapeFromFileCode(7), Gizmo::kPoint);
    EXPECT_EQ(ShapeFromFileCode(2), Gizmo::kBox);
    EXPECT_EQ(ShapeFromFileCode(3), Gizmo::kSphere);
    EXPECT_EQ(ShapeFromFileCode(4), Gizmo::kPlane);
    EXPECT_EQ(ShapeFromFileCode(5), Gizmo::kVector);
    size_t sizes[] = {0, 24, 60, 16, 56};
    for (int shape = 1; shape <= 5; ++shape) EXPECT_EQ(CreateGizmo("g", shape)->LocalDataSize(), sizes[shape - 1]);
    auto sphere = CreateGizmo("s", Gizmo::kSphere);
    const float data[4] = {1, 2, 3, 4};
    EXPECT_FALSE(sphere->SetLocalData(data, 12));
    EXPECT_TRUE(sphere->SetLocalData(data, 16));
    EXPECT_FLOAT_EQ(static_cast<SphereGizmo*>(sphere.get())->local.radius, 4);
}

// ---------------------------------------------------------------- world

TEST(WorldTest, ScenesCompileRemoveAndKeepTheCurrentOne) {
    LogCapture log;
    SceneRig rig;
    EXPECT_EQ(CurrentWorld(), rig.world.get());
    EXPECT_EQ(CurrentContext(), rig.context.get());
    Scene* second = CreateScene(rig.world.get(), "Second");
    EXPECT_EQ(rig.world->currentScene, rig.scene) << "a new scene makes the first one current";
    second->descriptor.bgcolor = {1, 0, 0, 0};
    SetCurrentScene(second);
    EXPECT_FLOAT_EQ(rig.context->ClearColor().r, 1);
    CompileWorld(rig.world.get());
    EXPECT_EQ(rig.world->currentScene, second);
    EXPECT_EQ(second->currentCamera, nullptr);
    EXPECT_EQ(log.count("[Sc] Scene tree not found"), 2);

    RemoveScene(rig.world.get(), rig.scene);
    EXPECT_EQ(rig.world->scenes, second);
    RemoveScene(rig.world.get(), second);
    EXPECT_EQ(rig.world->scenes, nullptr);
    EXPECT_EQ(rig.world->currentScene, nullptr);
    log.clear();
    RemoveScene(rig.world.get(), second);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"[W] Cannot remove scene"});
    rig.scene = nullptr;
}

TEST(WorldTest, TimeLeftAndLookupsWithoutAWorld) {
    LogCapture log;
    {
        SceneRig rig;
        rig.scene->animationDescriptor = {0, 300, 30};
        rig.scene->SetTime(150);
        EXPECT_FLOAT_EQ(rig.scene->TimeLeft(), 5);
        rig.scene->animationDescriptor = {0, 300, 0};
        EXPECT_FLOAT_EQ(rig.scene->TimeLeft(), 0);

        Texture* t = GetTexture("logo.png");
        ASSERT_TRUE(t);
        EXPECT_EQ(rig.world->textures, t);
        EXPECT_STREQ(t->bitmap(), "logo.png");
        EXPECT_EQ(GetTexture("logo.png"), t);
    }
    log.clear();
    EXPECT_EQ(CurrentWorld(), nullptr);
    EXPECT_EQ(FindTexture("x"), nullptr);
    EXPECT_EQ(FindMaterial("x"), nullptr);
    EXPECT_EQ(GetTexture("x"), nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>(3, "[W] Current world has not be set"));
    EXPECT_EQ(CreateScene(nullptr, "Lost"), nullptr);
}

TEST(WorldTest, UnresolvedNamesDrawWithoutCrashing) {
    LogCapture log;
    SceneRig rig;
    rig.AddMesh("Orphan", "NoSuchMaterial");
    rig.AddCamera("Cam", "NoSuchNode");
    rig.AddLight("Lamp", "NoSuchNode");
    rig.Place("", "Root");
    rig.Place("Root", "Orphan", {0, 0, 10});  // in front of the camera
    rig.Place("Root", "Cam");
    rig.Place("Root", "Lamp");
    rig.Place("Root", "NoSuchObject");
    CompileWorld(rig.world.get());
    rig.platform.log().clear();
    rig.scene->render();
    // The mesh draws through the no-material path.
    auto calls = rig.platform.calls();
    auto draw = std::find(calls.begin(), calls.end(), "DrawIndexedPrimitiveVB(4,vb1,0,3,3,1)");
    ASSERT_NE(draw, calls.end());
    EXPECT_NE(std::find(calls.begin(), draw, "SetMaterial({1,1,1,1},{1,1,1,1},{1,1,1,1},{1,1,1,1},0)"), draw);
    EXPECT_NE(std::find(calls.begin(), draw, "SetTexture(1,null)"), draw);
}

// Placing, finding, compiling and freeing scene trees, and binding objects and
// targets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/mesh.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "engine/scene/world.h"
#include "tests/support/log_capture.h"

using namespace ZK3D;
using testing_support::LogCapture;

namespace {

HierarchyNode* NewNode(const char* name) {
    auto* n = new HierarchyNode(name);
    n->animation = std::make_unique<AnimationNode>();
    return n;
}

// The names of the messages that start with prefix, in order, with the prefix removed.
std::vector<std::string> After(const LogCapture& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& t : log.texts())
        if (t.compare(0, prefix.size(), prefix) == 0) out.push_back(t.substr(prefix.size()));
    return out;
}

// Body -> (Arm -> Hand), Leg
struct Body {
    Body() {
        EXPECT_EQ(PlaceNode("", body, &root), body);
        EXPECT_EQ(PlaceNode("Body", arm, &root), arm);
        EXPECT_EQ(PlaceNode("Body", leg, &root), leg);
        EXPECT_EQ(PlaceNode("Arm", hand, &root), hand);
    }
    ~Body() { FreeTree(&root); }
    HierarchyNode* root = nullptr;
    HierarchyNode* body = NewNode("Body");
    HierarchyNode* arm = NewNode("Arm");
    HierarchyNode* leg = NewNode("Leg");
    HierarchyNode* hand = NewNode("Hand");
};

}  // namespace

TEST(Hierarchy, PlacesByParentNameInFileOrder) {
    LogCapture log;
    Body b;
    EXPECT_EQ(b.root, b.body);
    EXPECT_EQ(b.body->firstChild(), b.arm);
    EXPECT_EQ(b.arm->nextSibling(), b.leg);
    EXPECT_EQ(b.arm->firstChild(), b.hand);
    EXPECT_EQ(b.leg->nextSibling(), nullptr);
    EXPECT_EQ(b.hand->parent, b.arm);
    EXPECT_EQ(b.arm->parent, b.body);
    EXPECT_EQ(b.body->parent, nullptr);
    EXPECT_TRUE(log.has("[HN] Placing node root : \"Body\""));
    EXPECT_TRUE(log.has("[HN] \"Hand\" node added as child of \"Arm\" tree"));
    // Hand's parent was searched depth first: Body, then its first child Arm.
    EXPECT_EQ(After(log, "[HN] Try ").back(), "\"Arm\" Node");

    // Parent names match with their letter case only; unplaced nodes stay the caller's.
    HierarchyNode* finger = NewNode("Finger");
    EXPECT_EQ(PlaceNode("hand", finger, &b.root), nullptr);
    EXPECT_EQ(PlaceNode("Hand", nullptr, &b.root), nullptr);
    EXPECT_TRUE(log.has("[HN] NULL node cannot be added"));
    HierarchyNode* empty = nullptr;
    EXPECT_EQ(PlaceNode("Hand", finger, &empty), nullptr);
    EXPECT_EQ(PlaceNode("Hand", finger, &b.root), finger);  // the tree owns it now
    EXPECT_EQ(FindInTree(b.root, "Finger"), finger);
    EXPECT_EQ(FindInTree(b.root, "finger"), nullptr);
    EXPECT_EQ(FindInTree(b.leg, "Hand"), nullptr);  // Leg's subtree and later siblings only
}

TEST(Hierarchy, CompileTreeCompilesChildrenAndLaterSiblingsFirst) {
    LogCapture log;
    Body b;
    log.clear();
    CompileTree(b.root);
    EXPECT_EQ(After(log, "[Transf-Debug] "),
              (std::vector<std::string>{"\"Hand\"", "\"Leg\"", "\"Arm\"", "\"Body\""}));
}

TEST(Hierarchy, CompileDumpsTheTransformAndTheLocalMatrix) {
    LogCapture log;
    HierarchyNode* root = nullptr;
    HierarchyNode* n = NewNode("N");
    n->animation->transform.translation = {1, 2, 3};
    n->animation->transform.scale = {2, 2, 2};
    PlaceNode("", n, &root);
    log.clear();
    CompileTree(root);
    const std::vector<std::string> expected = {
        "[Transf-Debug] \"N\"",
        "[Vect-Debug] XYZ-Translate 1.000|2.000|3.000",
        "[Quat-Debug] WXYZ-RotationQ 0.000|0.000|0.000|1.000",
        "[Vect-Debug] XYZ-Scaling 2.000|2.000|2.000",
        "[Quat-Debug] WXYZ-ScalingRQ 0.000|0.000|0.000|1.000",
        "[Mtx-Debug] Matrix OutPut \"N\"",
        "[Mtx-Debug] [2.000 | 0.000 | 0.000 | 0.000]",
        "[Mtx-Debug] [0.000 | 2.000 | 0.000 | 0.000]",
        "[Mtx-Debug] [0.000 | 0.000 | 2.000 | 0.000]",
        "[Mtx-Debug] [1.000 | 2.000 | 3.000 | 1.000]",
    };
    EXPECT_EQ(log.texts(), expected);  // no current world: no object, nothing else
    FreeTree(&root);
}

TEST(Hierarchy, FreeTreeReleasesSubtreesBeforeTheirNodes) {
    LogCapture log;
    auto* b = new Body;
    log.clear();
    delete b;
    EXPECT_EQ(After(log, "[HN] Free Node "),
              (std::vector<std::string>{"\"Hand\"[ZKNODE_HIERARCHY]", "\"Leg\"[ZKNODE_HIERARCHY]",
                                        "\"Arm\"[ZKNODE_HIERARCHY]", "\"Body\"[ZKNODE_HIERARCHY]"}));
}

TEST(Hierarchy, ASecondRootReplacesTheFirstAndReleasesItsSubtree) {
    LogCapture log;
    Body b;
    HierarchyNode* other = NewNode("Other");
    log.clear();
    EXPECT_EQ(PlaceNode("", other, &b.root), other);
    EXPECT_EQ(b.root, other);
    EXPECT_TRUE(log.has("[HN] Root \"Body\" replaced by \"Other\" : its subtree is released"));
    EXPECT_EQ(log.count("[HN] Free Node \"Body\"[ZKNODE_HIERARCHY]"), 1);
    EXPECT_EQ(log.count("[HN] Free Node \"Hand\"[ZKNODE_HIERARCHY]"), 1);
    HierarchyNode* late = NewNode("Late");
    EXPECT_EQ(PlaceNode("Arm", late, &b.root), nullptr) << "the old subtree is gone";
    delete late;
    // Placing the root again is not a replacement.
    EXPECT_EQ(PlaceNode("", other, &b.root), other);
    EXPECT_EQ(log.count("[HN] Free Node \"Other\"[ZKNODE_HIERARCHY]"), 0);
}

TEST(Hierarchy, TargetNamesAndTargets) {
    LogCapture log;
    Camera cam("Cam");
    cam.SetTargetName("Aim");
    EXPECT_STREQ(cam.TargetName(), "Aim");
    EXPECT_TRUE(log.has("[TN] \"Cam\" - Target set to \"Aim\""));
    cam.SetTargetName("");
    ASSERT_NE(cam.TargetName(), nullptr);
    EXPECT_STREQ(cam.TargetName(), "");

    HierarchyNode a("A"), b("B");
    SetTargetNode(&a, &b);
    EXPECT_EQ(a.target, &b);
    EXPECT_TRUE(log.has("[HN] \"A\" target node set to \"B\""));
}

TEST(Hierarchy, CompileBindsObjectsTargetsAndGizmosInTheCurrentScene) {
    LogCapture log;
    auto world = CreateWorld(nullptr);
    Scene* scene = CreateScene(world.get(), "S");
    auto* cam = new Camera("Cam");
    cam->SetTargetName("Cam");  // aims at its own node
    AddNode(cam, &scene->cameras);
    auto* light = new Light("Lamp");
    light->SetTargetName("Nowhere");
    AddNode(light, &scene->lights);
    auto* mesh = new Mesh("Box");
    AddNode(mesh, &scene->meshes);
    auto* sphere = static_cast<SphereGizmo*>(CreateGizmo("Ball", Gizmo::kSphere).release());
    sphere->local.radius = 2;
    AddNode(static_cast<Gizmo*>(sphere), &scene->gizmos);

    HierarchyNode* root = NewNode("Root");
    PlaceNode("", root, &scene->root);
    for (const char* name : {"Cam", "Lamp", "Box", "Ball", "Nothing"}) PlaceNode("Root", NewNode(name), &scene->root);
    FindInTree(scene->root, "Ball")->animation->transform.translation = {4, 5, 6};
    scene->compile();

    HierarchyNode* camNode = FindInTree(scene->root, "Cam");
    EXPECT_EQ(camNode->object(), cam);
    EXPECT_EQ(camNode->camera(), cam);
    EXPECT_EQ(camNode->target, camNode);
    EXPECT_EQ(FindInTree(scene->root, "Lamp")->target, nullptr);
    EXPECT_EQ(FindInTree(scene->root, "Box")->mesh(), mesh);
    EXPECT_EQ(FindInTree(scene->root, "Nothing")->object(), nullptr);
    EXPECT_TRUE(log.has("[HN] Compile HNode \"Cam\", \"Cam\""));
    // The gizmo took its first world data from its node at compile time.
    EXPECT_FLOAT_EQ(sphere->world.centre.y, 5);
    EXPECT_FLOAT_EQ(sphere->world.radius, 2);
    EXPECT_FALSE(IsCulled(FindInTree(scene->root, "Box")));
    sphere->flags |= Gizmo::kCulled;
    EXPECT_TRUE(IsCulled(FindInTree(scene->root, "Ball")));
    EXPECT_FALSE(IsCulled(nullptr));
}

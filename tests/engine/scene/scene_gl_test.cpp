// A small animated scene rendered through the OpenGL device (EGL, offscreen) and
// seen through two cameras: a red quad moves along x; the near camera sees it big
// and off centre, the far one small. Pixels are read back from the back buffer.
// Skipped, with the reason, where no EGL context can be made.
#include <gtest/gtest.h>

#include <memory>

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/mesh.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/camera.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/world.h"
#include "tests/support/render_scale.h"

using namespace ZK3D;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

bool IsRed(const Color& c) { return c.r > 0.8f && c.g < 0.2f && c.b < 0.2f; }
bool IsBlue(const Color& c) { return c.b > 0.8f && c.r < 0.2f && c.g < 0.2f; }

class SceneGL : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ResetModeSelection();
        SelectMode(kWidth, kHeight, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
        ASSERT_TRUE(testing_support::UseRenderScale(context_->d3dx(), kWidth, kHeight, GetParam()));
        world_ = CreateWorld(context_.get());
        scene_ = CreateScene(world_.get(), "GL");
        scene_->descriptor.bgcolor = {0, 0, 1, 0};

        auto* material = new Material("Red");
        material->flags = flags::WithCull(kDefaultRenderFlags, flags::kCullNone);
        material->d3dMaterial.dcvEmissive = {1, 0, 0, 1};
        AddNode(material, &world_->materials);

        // A 2 x 2 quad in the x-z plane, facing the cameras on -y.
        auto* quad = new Mesh("Quad");
        quad->SetMaterialName("Red");
        const SourceVertex v[4] = {{-1, 0, -1, 0, -1, 0, 0, 1}, {1, 0, -1, 0, -1, 0, 1, 1},
                                   {1, 0, 1, 0, -1, 0, 1, 0},   {-1, 0, 1, 0, -1, 0, 0, 0}};
        const uint16_t faces[6] = {0, 1, 2, 0, 2, 3};
        quad->CreateBuffers(4, 2, 1);
        quad->Update(v, faces);
        AddNode(quad, &scene_->meshes);

        for (const char* name : {"Near", "Far"}) {
            auto* cam = new Camera(name);
            cam->SetTargetName("Root");
            cam->nearPlane = 1;
            cam->farPlane = 100;
            cam->fov = 3.14159265f / 2;
            AddNode(cam, &scene_->cameras);
        }

        Place("", "Root", {0, 0, 0});
        HierarchyNode* moving = Place("Root", "Quad", {0, 0, 0});
        Place("Root", "Near", {0, -10, 0});
        Place("Root", "Far", {0, -30, 0});
        // The quad moves from x = 0 at frame 0 to x = 3 at frame 10.
        auto track = KeyTrack::Create(2, KeyTrack::kPosition, KeyTrack::kLinear);
        track->Key(1)[0] = 10;
        track->Key(1)[1] = 3;
        moving->animation->positionTrack = std::move(track);
        CompileWorld(world_.get());
    }

    void TearDown() override {
        world_.reset();
        context_.reset();
        ResetModeSelection();
    }

    HierarchyNode* Place(const char* parent, const char* name, Vector3 t) {
        auto* n = new HierarchyNode(name);
        n->animation = std::make_unique<AnimationNode>();
        n->animation->transform.translation = t;
        PlaceNode(parent, n, &scene_->root);
        return n;
    }

    // Renders the frame at time through the named camera.
    void Frame(const char* camera, float time) {
        scene_->currentCamera = static_cast<Camera*>(FindNode(scene_->cameras, camera));
        scene_->SetTime(time);
        context_->Clear();
        scene_->render();
    }
    Color Pixel(int x, int y) { return context_->CurrentSurface()->PixelColor(x, y); }

    std::unique_ptr<Context> context_;
    std::unique_ptr<World> world_;
    Scene* scene_ = nullptr;
};

}  // namespace

TEST_P(SceneGL, AnimatedQuadSeenThroughTwoCameras) {
    const int cx = kWidth / 2, cy = kHeight / 2;
    // Frame 0, near camera: the quad (x -1..1, z -1..1) covers the centre; its
    // edges fall at 0.075 of the half width either side.
    Frame("Near", 0);
    EXPECT_TRUE(IsRed(Pixel(cx, cy)));
    EXPECT_TRUE(IsRed(Pixel(cx + 5, cy + 5)));
    EXPECT_TRUE(IsBlue(Pixel(cx + 10, cy)));
    EXPECT_TRUE(IsBlue(Pixel(2, 2)));

    // Frame 10: the quad has moved to x = 2..4, screen x 92..104 through the near camera.
    Frame("Near", 10);
    EXPECT_TRUE(IsBlue(Pixel(cx, cy)));
    EXPECT_TRUE(IsRed(Pixel(98, cy)));
    EXPECT_TRUE(IsBlue(Pixel(107, cy)));

    // The far camera sees it at screen x 84..88, and the rows 58..62 only.
    Frame("Far", 10);
    EXPECT_TRUE(IsRed(Pixel(86, cy)));
    EXPECT_TRUE(IsBlue(Pixel(98, cy)));
    EXPECT_TRUE(IsBlue(Pixel(86, cy + 4)));
    EXPECT_TRUE(IsBlue(Pixel(cx, cy)));
}

INSTANTIATE_TEST_SUITE_P(Scales, SceneGL, testing_support::kRenderScales, testing_support::RenderScaleName);

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "demo/overlay_layer.h"
#include "demo/screen_quad.h"
#include "demo/script_base.h"
#include "platform/window.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"

using testing_support::SceneRig;

namespace {

std::string State(int state, unsigned value) {
    return "SetRenderState(" + std::to_string(state) + "," + std::to_string(value) + ")";
}

const ScreenVertex* DrawnVertices(SceneRig& rig) {
    const auto& draws = rig.platform.device().draws();
    if (draws.empty()) return nullptr;
    return reinterpret_cast<const ScreenVertex*>(draws.back().vertices.data());
}

// A script that only exposes the framework's helpers.
class ProbeScript : public DemoScript {
public:
    ProbeScript(ZK3D::Scene* scene, SceneIndex index) : DemoScript(scene, index) {}
    void load() override {}
    void start() override { beginStart(); }
    void frame() override {}
    using DemoScript::applyCameraKeys;
    using DemoScript::heldCamera;
};

}  // namespace

TEST(ScreenQuad, CoversItsRectangleAndReachesTheLastTexel) {
    SceneRig rig;
    ScreenQuad quad(nullptr, 192, 368, 448, 400);
    const ScreenVertex* v = quad.vertices();
    EXPECT_EQ(v[0].x, 192);
    EXPECT_EQ(v[1].x, 448);
    EXPECT_EQ(v[2].y, 400);
    EXPECT_EQ(v[3].x, 448);
    EXPECT_FLOAT_EQ(v[3].u, 1.0f + 1.0f / 256);
    EXPECT_FLOAT_EQ(v[3].v, 1.0f + 1.0f / 32);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(v[0].specular, 0u);
    // Depth test, lighting off; blending on with SRCALPHA / INVSRCALPHA; no culling.
    const auto f = quad.renderState();
    EXPECT_FALSE(f & ZK3D::flags::kDepthTest);
    EXPECT_FALSE(f & ZK3D::flags::kLighting);
    EXPECT_TRUE(f & ZK3D::flags::kAlphaBlend);
    EXPECT_EQ(ZK3D::flags::CullField(f), ZK3D::flags::kCullNone);
    EXPECT_EQ(ZK3D::flags::BlendField(f), ZK3D::flags::kBlendTransparent);
}

TEST(ScreenQuad, WipeFadesFromLeftToRight) {
    SceneRig rig;
    ScreenQuad quad(nullptr, 0, 0, 640, 480);
    quad.setWipe(0.5f);  // left edge at alpha 0, right edge at 1
    EXPECT_EQ(quad.vertices()[0].diffuse >> 24, 0u);
    EXPECT_EQ(quad.vertices()[2].diffuse >> 24, 0u);
    EXPECT_EQ(quad.vertices()[1].diffuse >> 24, 255u);
    quad.setWipe(0.75f);
    EXPECT_EQ(quad.vertices()[1].diffuse >> 24, 128u);
    quad.setAlpha(0.25f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(quad.vertices()[i].diffuse, 0x40FFFFFFu);
}

TEST(ScreenQuad, DrawsOneStripInItsOwnScene) {
    SceneRig rig;
    ScreenQuad quad(nullptr, 0, 0, 10, 10);
    const size_t mark = rig.platform.log().mark();
    quad.draw();
    const auto calls = rig.platform.log().since(mark);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls.front(), "BeginScene()");
    EXPECT_EQ(calls[1], "SetTexture(0,null)");
    EXPECT_EQ(calls[2], "SetTextureStageState(0,1,2)");  // colour: SELECTARG1 of the texture
    EXPECT_EQ(calls.back(), "EndScene()");
    EXPECT_EQ(calls[calls.size() - 2], "DrawPrimitive(5,452,4,1)");
    EXPECT_EQ(rig.platform.log().count(State(D3DRENDERSTATE_ALPHABLENDENABLE, 1)), 1);
}

TEST(Overlays, FadeDarkensAndFlashAddsWhite) {
    SceneRig rig;
    FadeLayer fade;
    FlashLayer flash;
    fade.setRect(0, 0, 640, 480);
    flash.setRect(0, 0, 640, 480);
    EXPECT_EQ(fade.vertices()[3].x, 640);
    EXPECT_EQ(fade.vertices()[0].diffuse, 0x00000000u);  // base colour (0, 0, 0, 0)
    EXPECT_EQ(flash.vertices()[0].diffuse, 0xFFFFFFFFu);
    fade.setLevel(0.5f);
    EXPECT_EQ(fade.vertices()[1].diffuse, 0x80000000u);
    flash.setLevel(0.3f);
    EXPECT_EQ(flash.vertices()[2].diffuse, 0x004D4D4Du);
    flash.setLevel(1.7f);  // clamped by the packing
    EXPECT_EQ(flash.vertices()[2].diffuse, 0x00FFFFFFu);
    EXPECT_EQ(ZK3D::flags::BlendField(fade.flags()), ZK3D::flags::kBlendTransparent);
    EXPECT_EQ(ZK3D::flags::BlendField(flash.flags()), ZK3D::flags::kBlendAdditive);
}

TEST(Overlays, DrawUsesTheVertexColourAloneWithFogOff) {
    SceneRig rig;
    FlashLayer flash;
    flash.setRect(0, 0, 640, 480);
    flash.setLevel(0.5f);
    const size_t mark = rig.platform.log().mark();
    flash.draw();
    const auto calls = rig.platform.log().since(mark);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "SetTexture(0,null)");
    EXPECT_EQ(calls[1], State(D3DRENDERSTATE_FOGENABLE, 0));
    // Colour and alpha select the second argument: the vertex colour.
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetTextureStageState(0,1,3)"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetTextureStageState(0,4,3)"), calls.end());
    EXPECT_EQ(calls.back(), "DrawPrimitive(5,452,4,1)");
    const ScreenVertex* v = DrawnVertices(rig);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[0].diffuse, 0x00808080u);
}

TEST(ScriptFramework, TheFirstHeldKeyInTheScriptsOrderWins) {
    const CameraKey keys[] = {{platform::VK_UP, "MainCam"}, {platform::VK_INSERT, "RotCamMeta01"}};
    platform::ClearKeyOverrides();
    EXPECT_EQ(ProbeScript::heldCamera(keys), nullptr);
    platform::SetKeyOverride(platform::VK_INSERT, true);
    EXPECT_STREQ(ProbeScript::heldCamera(keys), "RotCamMeta01");
    platform::SetKeyOverride(platform::VK_UP, true);
    EXPECT_STREQ(ProbeScript::heldCamera(keys), "MainCam");
    platform::ClearKeyOverrides();
}

TEST(ScriptFramework, KeysSelectTheCameraByNameAndMissingNamesSelectNone) {
    SceneRig rig;
    auto* main = rig.AddCamera("MainCam", "");
    auto* intro = rig.AddCamera("IntroCam1", "");
    ProbeScript script(rig.scene, SceneIndex::Temple);
    script.start();
    const CameraKey keys[] = {{platform::VK_LEFT, "IntroCam1"}, {platform::VK_RIGHT, "NoSuchCam"}};
    platform::SetKeyOverride(platform::VK_LEFT, true);
    script.applyCameraKeys(keys);
    EXPECT_EQ(rig.scene->currentCamera, intro);
    platform::ClearKeyOverrides();
    platform::SetKeyOverride(platform::VK_RIGHT, true);
    script.applyCameraKeys(keys);
    EXPECT_EQ(rig.scene->currentCamera, nullptr);
    platform::ClearKeyOverrides();
    (void)main;
}

TEST(ScriptFramework, AScriptWithoutASceneFinishesAtOnce) {
    testing_support::LogCapture log;
    ProbeScript script(nullptr, SceneIndex::Space);
    script.start();
    EXPECT_EQ(script.state(), SceneScript::Finished);
    EXPECT_TRUE(log.has("[Script] Script 4 has no scene : skipped"));
}

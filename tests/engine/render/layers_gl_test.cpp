// Post-process layers on the OpenGL device (EGL, offscreen): what each layer's
// draw leaves on the back buffer for chosen factors, and a layer nested in
// another. The captured picture is a clear of a known colour. Skipped, with the
// reason, where no EGL context can be made.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/layers.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/world.h"
#include "tests/support/render_scale.h"

using namespace ZK3D;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class LayersGL : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ResetModeSelection();
        SelectMode(kWidth, kHeight, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
        ASSERT_TRUE(testing_support::UseRenderScale(context_->d3dx(), kWidth, kHeight, GetParam()));
        world_ = CreateWorld(context_.get());
    }
    void TearDown() override {
        world_.reset();
        context_.reset();
        ResetModeSelection();
    }

    // Clears the back buffer to background, captures a clear of picture into the
    // layer, and draws the layer with the factor.
    void Run(zkLayer& layer, Color background, Color picture, float factor) {
        layer.SetRect(0, 0, kWidth, kHeight);
        context_->SetClearColor(picture);
        layer.Begin();
        layer.End();
        context_->SetClearColor(background);
        context_->Clear();
        layer.SetFactor(factor);
        layer.Draw();
    }
    Color Centre() { return context_->CurrentSurface()->PixelColor(kWidth / 2, kHeight / 2); }

    std::unique_ptr<Context> context_;
    std::unique_ptr<World> world_;
};

::testing::AssertionResult Near(const Color& c, float r, float g, float b) {
    const float tolerance = 0.03f;
    if (std::fabs(c.r - r) <= tolerance && std::fabs(c.g - g) <= tolerance && std::fabs(c.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << c.r << ", " << c.g << ", " << c.b << "), expected (" << r
                                         << ", " << g << ", " << b << ")";
}

}  // namespace

TEST_P(LayersGL, MotionBlurLaysTheCaptureOverTheTargetWithOpacityOneMinusFactor) {
    zkMotionBlurLayer blur;
    blur.Init();
    Run(blur, {0, 0, 1, 0}, {0, 1, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 0, 1, 0));
    Run(blur, {0, 0, 1, 0}, {0, 1, 0, 0}, 1);
    EXPECT_TRUE(Near(Centre(), 0, 0, 1));
    Run(blur, {0, 0, 1, 0}, {0, 1, 0, 0}, 0.5f);
    EXPECT_TRUE(Near(Centre(), 0, 0.5f, 0.5f));
    // A scene's fog left on does not fog the layer's quad.
    FogRecord fog;
    fog.mode = 1;
    fog.color = {1, 1, 1, 1};
    fog.start = 0;
    fog.end = 0.5f;
    context_->SetFog(true, &fog);
    Run(blur, {0, 0, 1, 0}, {0, 1, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 0, 1, 0));
}

TEST_P(LayersGL, DoubleImageAddsTwoCopiesOverACleanTarget) {
    zkDoubleImageLayer twice;
    twice.Init();
    Run(twice, {1, 1, 1, 0}, {0.25f, 0.125f, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 0.5f, 0.25f, 0));
}

TEST_P(LayersGL, UnshiftedDoubleImageGivesTheBytesOfTwoCopiesInOnePass) {
    zkDoubleImageLayer twice;
    twice.Init();
    twice.SetRect(0, 0, kWidth, kHeight);
    // A picture with every level of every channel, bright parts saturating when doubled.
    struct V {
        float x, y, z, rhw;
        D3DCOLOR diffuse, specular;
        float u, v;
    };
    const V quad[4] = {{0, 0, 0.5f, 1, 0xFF000000, 0, 0, 0},
                       {512, 0, 0.5f, 1, 0xFFFF4000, 0, 0, 0},
                       {0, 512, 0.5f, 1, 0xFF00FFC0, 0, 0, 0},
                       {512, 512, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
    IDirect3DDevice7* device = context_->device();
    twice.Begin();
    context_->ResetStage(0);
    context_->SetColorStage(0, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1);
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, const_cast<V*>(quad), 4, D3DDP_WAIT);
    twice.End();
    context_->SetStageFilters(0, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_NONE);  // as a scene leaves them
    const auto frame = [&](float factor) {
        twice.SetFactor(factor);
        twice.Draw();
        std::vector<Color> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels.push_back(context_->CurrentSurface()->PixelColor(x, y));
        return pixels;
    };
    const std::vector<Color> onePass = frame(0);
    const std::vector<Color> twoCopies = frame(1e-30f);  // two quads on the very same texels
    size_t differing = 0;
    for (size_t i = 0; i < onePass.size(); ++i)
        differing += onePass[i].r != twoCopies[i].r || onePass[i].g != twoCopies[i].g || onePass[i].b != twoCopies[i].b;
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(onePass[size_t(kWidth * (kHeight - 1) + kWidth - 1)].r, 1.0f);  // saturated
}

TEST_P(LayersGL, RadialBlurWithFactorZeroDrawsTheCaptureAloneAndFactorOneAddsFadingCopies) {
    zkMotionRadialBlurLayer radial(0.2f, 10);
    radial.Init();
    Run(radial, {0, 0, 0, 0}, {1, 0, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 1, 0, 0));
    // The copies show the same flat picture: blending it over itself changes nothing.
    Run(radial, {0, 0, 0, 0}, {1, 0, 0, 0}, 1);
    EXPECT_TRUE(Near(Centre(), 1, 0, 0));
}

TEST_P(LayersGL, NestedLayerDrawsIntoTheOuterCaptureWhichReachesTheScreen) {
    zkMotionBlurLayer outer;
    zkDoubleImageLayer inner;
    outer.Init();
    inner.Init();
    outer.SetRect(0, 0, kWidth, kHeight);
    inner.SetRect(0, 0, 512, 512);  // the whole outer capture
    context_->SetClearColor({1, 0, 0, 0});
    outer.Begin();
    context_->SetClearColor({0, 0.25f, 0, 0});
    inner.Begin();
    inner.End();
    inner.SetFactor(0);
    inner.Draw();  // the outer capture becomes twice the inner colour
    outer.End();
    context_->SetClearColor({0, 0, 1, 0});
    context_->Clear();
    outer.SetFactor(0);
    outer.Draw();
    EXPECT_TRUE(Near(Centre(), 0, 0.5f, 0));
}

INSTANTIATE_TEST_SUITE_P(Scales, LayersGL, testing_support::kRenderScales, testing_support::RenderScaleName);

// Post-process layers on the OpenGL device (EGL, offscreen): what each layer's
// draw leaves on the back buffer for chosen factors, and a layer nested in
// another. The captured picture is a clear of a known colour. Skipped, with the
// reason, where no EGL context can be made.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/render/context.h"
#include "engine/render/layers.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/world.h"

using namespace ZK3D;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class LayersGL : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModeSelection();
        SelectMode(kWidth, kHeight, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
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

TEST_F(LayersGL, MotionBlurLaysTheCaptureOverTheTargetWithOpacityOneMinusFactor) {
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

TEST_F(LayersGL, DoubleImageAddsTwoCopiesOverACleanTarget) {
    zkDoubleImageLayer twice;
    twice.Init();
    Run(twice, {1, 1, 1, 0}, {0.25f, 0.125f, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 0.5f, 0.25f, 0));
}

TEST_F(LayersGL, RadialBlurWithFactorZeroDrawsTheCaptureAloneAndFactorOneAddsFadingCopies) {
    zkMotionRadialBlurLayer radial(0.2f, 10);
    radial.Init();
    Run(radial, {0, 0, 0, 0}, {1, 0, 0, 0}, 0);
    EXPECT_TRUE(Near(Centre(), 1, 0, 0));
    // The copies show the same flat picture: blending it over itself changes nothing.
    Run(radial, {0, 0, 0, 0}, {1, 0, 0, 0}, 1);
    EXPECT_TRUE(Near(Centre(), 1, 0, 0));
}

TEST_F(LayersGL, NestedLayerDrawsIntoTheOuterCaptureWhichReachesTheScreen) {
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

// Lens flares on the recording device: .lfd reading, where the squares go, the
// depth test with its flash and fade sequences, and what a hidden source draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/effects/lens_flare.h"
#include "engine/core/render_flags.h"
#include "engine/scene/gizmo.h"
#include "tests/engine/effects/effects_fixture.h"

using namespace ZK3D;
using effects_test::EffectsTest;
using effects_test::VerticesOf;

namespace {

// Two elements: a 64-pixel square at the source and a 32-pixel one at the centre.
const char kTwoElements[] =
    "# a comment line\n"
    "flare0.png 64 0 1 0.5 0.25\n"
    "\n"
    "   \t\n"
    "ring.png 32 50 0.2 0.4 0.6\r\n";

class LensFlareTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        // Identity view and projection: a point (x, y, z) lands on pixel
        // ((x + 1) * 320, (1 - y) * 240) of the 640 x 480 target with depth z.
        rig.context->SetViewMatrix(nullptr);
        rig.context->SetProjectionMatrix(nullptr);
        source = static_cast<PointGizmo*>(CreateGizmo("lens1", Gizmo::kPoint).release());
        Gizmo* g = source;
        AddNode(g, &rig.scene->gizmos);
        flare0 = TextureWithSurface("flare0.png");
        ring = TextureWithSurface("ring.png");
    }

    // Puts the source on pixel (px, py) at depth z (a quarter pixel in, so that
    // rounding in the projection cannot move it to the pixel before).
    void PlaceSource(float px, float py, float z) {
        source->position = {(px + 0.25f) / 320 - 1, 1 - (py + 0.25f) / 240, z};
    }

    std::unique_ptr<LensFlare> MakeFlare(uint32_t options, const char* text = kTwoElements) {
        const std::string path = Write("test.lfd", text);
        return CreateLensFlare(path.c_str(), source, options);
    }

    // Renders once and returns the draws it made.
    std::vector<testing_support::DrawRecord> RenderOnce(LensFlare& flare) {
        Draws().clear();
        flare.render();
        return Draws();
    }

    PointGizmo* source = nullptr;
    Texture* flare0 = nullptr;
    Texture* ring = nullptr;
};

struct Square {
    float cx, cy, half;
    D3DCOLOR diffuse;
};
Square SquareOf(const testing_support::DrawRecord& draw) {
    const auto v = VerticesOf<ScreenVertex>(draw);
    EXPECT_EQ(v.size(), 4u);
    if (v.size() != 4) return {};
    // Corners in strip order, the fixed texture coordinates, depth 1, white specular.
    EXPECT_EQ(v[1].x, v[3].x);
    EXPECT_EQ(v[0].x, v[2].x);
    EXPECT_EQ(v[0].y, v[1].y);
    EXPECT_EQ(v[2].y, v[3].y);
    const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].u, uv[i][0]);
        EXPECT_EQ(v[i].v, uv[i][1]);
        EXPECT_EQ(v[i].z, 1.0f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].specular, 0xFFFFFFFFu);
        EXPECT_EQ(v[i].diffuse, v[0].diffuse);
    }
    return {(v[0].x + v[1].x) / 2, (v[0].y + v[2].y) / 2, (v[1].x - v[0].x) / 2, v[0].diffuse};
}

D3DCOLOR Scaled(Color c, float k) { return PackColor({c.r * k, c.g * k, c.b * k, c.a * k}); }

// Packed colours equal up to one step per channel (the factor is reached by
// repeated subtraction, so the last bit of a channel may differ).
::testing::AssertionResult ColoursNear(D3DCOLOR a, D3DCOLOR b) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > 1)
            return ::testing::AssertionFailure() << std::hex << a << " and " << b << " differ by " << std::dec
                                                 << std::abs(ca - cb) << " in a channel";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(LensFlareTest, ReadsOneElementPerDescriptionLine) {
    auto flare = MakeFlare(5, "# only comments\n\n#flare0.png 1 2 3 4 5\nflare0.png 64 25 1 0.5 0.25\n"
                              "partial.png 16\n\x0b\nring.png 32 50 0.2 0.4 0.6");
    EXPECT_TRUE(reports.has("[SFX] Create LensFlare \"" + (dir_ / "test.lfd").string() + "\""));
    EXPECT_STREQ(flare->name(), (dir_ / "test.lfd").c_str());
    EXPECT_EQ(flare->kind(), ZKNODE_SPECIAL);
    EXPECT_EQ(flare->category, 3);
    EXPECT_EQ(flare->enabled, 1);
    EXPECT_EQ(flare->source(), source);
    ASSERT_EQ(flare->ElementCount(), 4);

    const FlareElement* e = flare->Element(0);
    EXPECT_EQ(e->texture, flare0);
    EXPECT_FLOAT_EQ(e->halfSize, 32);
    EXPECT_FLOAT_EQ(e->t, 0.25f);
    EXPECT_EQ(e->colour.r, 1);
    EXPECT_EQ(e->colour.g, 0.5f);
    EXPECT_EQ(e->colour.b, 0.25f);
    EXPECT_EQ(e->colour.a, 1);

    // A short line still makes an element; what it leaves out takes defaults.
    e = flare->Element(1);
    EXPECT_STREQ(e->texture->name(), "partial.png");
    EXPECT_FLOAT_EQ(e->halfSize, 8);
    EXPECT_EQ(e->t, 0);
    EXPECT_EQ(e->colour.r, 1);
    EXPECT_EQ(e->colour.a, 1);
    // Reported whole, as a plain line: the element is still made.
    EXPECT_EQ(reports.level("[SFX] - Incomplete flare element \"partial.png 16\" in \"" + (dir_ / "test.lfd").string() +
                            "\" : missing values taken as defaults"),
              3);
    // A line of nothing but a vertical tab is not blank, but holds no texture name.
    e = flare->Element(2);
    EXPECT_EQ(e->texture, nullptr);
    EXPECT_EQ(e->halfSize, 0);
    EXPECT_EQ(flare->Element(3)->texture, ring);
    EXPECT_EQ(flare->Element(4), nullptr);
    EXPECT_EQ(flare->Element(-1), nullptr);
}

TEST_F(LensFlareTest, FlagsFollowTheBlendOption) {
    EXPECT_EQ(MakeFlare(5)->flags, 0x006000C6u);  // additive
    EXPECT_EQ(MakeFlare(8)->flags, 0x00A000C6u);  // source alpha
    EXPECT_EQ(MakeFlare(5)->options, 5u);
}

TEST_F(LensFlareTest, AMissingFileLeavesAFlareThatOnlyTestsVisibility) {
    const std::string path = (dir_ / "none.lfd").string();
    auto flare = CreateLensFlare(path.c_str(), source, 5);
    EXPECT_TRUE(reports.has("[SFX] - Cannot Open Configuration File \"" + path + "\""));
    EXPECT_EQ(flare->ElementCount(), 0);
    PlaceSource(320, 240, 0.5f);
    EXPECT_TRUE(RenderOnce(*flare).empty());
    EXPECT_TRUE(flare->visible);
}

TEST_F(LensFlareTest, ElementsLieOnTheLineThroughTheCentre) {
    auto flare = MakeFlare(0);  // no flash
    for (auto [px, py] : {std::pair{100.0f, 60.0f}, std::pair{500.0f, 400.0f}}) {
        PlaceSource(px, py, 0.5f);
        const auto draws = RenderOnce(*flare);
        ASSERT_EQ(draws.size(), 2u);
        Square s = SquareOf(draws[0]);  // position 0: on the source
        EXPECT_NEAR(s.cx, px + 0.25f, 1e-3);
        EXPECT_NEAR(s.cy, py + 0.25f, 1e-3);
        EXPECT_FLOAT_EQ(s.half, 32);
        EXPECT_EQ(s.diffuse, PackColor({1, 0.5f, 0.25f, 1}));
        EXPECT_EQ(draws[0].textures[0], flare0->surface());
        EXPECT_EQ(draws[0].call, "DrawPrimitive(5,452,4,1)");
        s = SquareOf(draws[1]);  // position 50: on the centre
        EXPECT_NEAR(s.cx, 320, 1e-3);
        EXPECT_NEAR(s.cy, 240, 1e-3);
        EXPECT_FLOAT_EQ(s.half, 16);
        EXPECT_EQ(draws[1].textures[0], ring->surface());
        EXPECT_EQ(draws[1].renderStates.at(D3DRENDERSTATE_ZENABLE), 0u);
        EXPECT_EQ(draws[1].renderStates.at(D3DRENDERSTATE_DESTBLEND), DWORD(D3DBLEND_ONE));
    }
}

TEST_F(LensFlareTest, AppearingFlashesElementZeroForTwentyRenders) {
    auto flare = MakeFlare(5);
    PlaceSource(320, 240, 0.5f);
    Log().clear();
    auto draws = RenderOnce(*flare);
    ASSERT_EQ(draws.size(), 3u);
    // The flash: element 0 alone, 32 times larger, at intensity 0.95.
    Square s = SquareOf(draws[0]);
    EXPECT_FLOAT_EQ(s.half, 32 * 32);
    EXPECT_EQ(s.diffuse, Scaled({1, 0.5f, 0.25f, 1}, 0.95f));
    // Then every element as usual.
    EXPECT_FLOAT_EQ(SquareOf(draws[1]).half, 32);
    EXPECT_EQ(SquareOf(draws[1]).diffuse, PackColor({1, 0.5f, 0.25f, 1}));
    EXPECT_FLOAT_EQ(SquareOf(draws[2]).half, 16);
    EXPECT_FLOAT_EQ(flare->fade, 0.95f);
    EXPECT_EQ(flare->scale, 1);
    EXPECT_EQ(flare->intensity, 1);
    // Inside a scene of its own, with both stages reset first.
    const auto calls = Log().calls();
    const auto begin = std::find(calls.begin(), calls.end(), "BeginScene()");
    ASSERT_NE(begin, calls.end());
    EXPECT_EQ(begin[1], "SetTexture(0,null)");
    EXPECT_EQ(calls.back(), "EndScene()");

    for (int render = 2; render <= 20; ++render) {
        draws = RenderOnce(*flare);
        ASSERT_EQ(draws.size(), 3u) << render;
        EXPECT_NEAR(SquareOf(draws[0]).half, 1024, 1e-3);
    }
    EXPECT_LE(flare->fade, 0);
    // The flash is over: only the elements from now on.
    for (int render = 21; render <= 23; ++render) EXPECT_EQ(RenderOnce(*flare).size(), 2u) << render;
}

TEST_F(LensFlareTest, LosingTheSourceWithoutAFlashGrowsThenShrinksOverFortyRenders) {
    auto flare = MakeFlare(0);
    PlaceSource(320, 240, 0.5f);
    EXPECT_EQ(RenderOnce(*flare).size(), 2u);
    EXPECT_EQ(flare->fade, 1);

    PlaceSource(-50, 240, 0.5f);  // out of the viewport
    std::vector<float> halves;
    for (int render = 1; render <= 40; ++render) {
        const auto draws = RenderOnce(*flare);
        ASSERT_EQ(draws.size(), 2u) << render;
        const Square s = SquareOf(draws[0]);
        const float factor = 2 - 0.05f * static_cast<float>(render);
        EXPECT_NEAR(s.half, 32 * factor, 1e-3) << render;
        EXPECT_TRUE(ColoursNear(s.diffuse, Scaled({1, 0.5f, 0.25f, 1}, factor))) << render;
        EXPECT_EQ(flare->scale, 1);  // restored after each render
    }
    EXPECT_TRUE(RenderOnce(*flare).empty());
    EXPECT_LE(flare->fade, -1);
}

TEST_F(LensFlareTest, AFlashThatRanOutShrinksOverTwentyRenders) {
    auto flare = MakeFlare(5);
    PlaceSource(320, 240, 0.5f);
    for (int i = 0; i < 25; ++i) RenderOnce(*flare);
    PlaceSource(320, 600, 0.5f);
    int drawn = 0;
    while (!RenderOnce(*flare).empty() && drawn < 100) ++drawn;
    EXPECT_EQ(drawn, 20);
}

TEST_F(LensFlareTest, ANearerSurfaceHidesTheSource) {
    auto flare = MakeFlare(5);
    PlaceSource(200, 100, 0.5f);
    rig.platform.depthBuffer().SetDepthWord(200, 100, 0x40000000u);  // depth 0.25, in front
    EXPECT_TRUE(RenderOnce(*flare).empty());
    EXPECT_FALSE(flare->visible);
    EXPECT_EQ(flare->fade, -1);

    rig.platform.depthBuffer().SetDepthWord(200, 100, 0x80000000u);  // 0.5: level with the source
    EXPECT_EQ(RenderOnce(*flare).size(), 3u);
    EXPECT_TRUE(flare->visible);
    // Hidden again: the fade starts (the flash still runs its course).
    rig.platform.depthBuffer().SetDepthWord(200, 100, 0x20000000u);
    RenderOnce(*flare);
    EXPECT_FALSE(flare->visible);
}

TEST_F(LensFlareTest, TheFarEdgesOfTheViewportCountAsInside) {
    auto flare = MakeFlare(0);
    // The edge pixel reads the last column's depth: nearer there hides the source.
    rig.platform.depthBuffer().SetDepthWord(639, 100, 0x10000000u);
    PlaceSource(640, 100, 0.5f);
    EXPECT_TRUE(RenderOnce(*flare).empty());
    rig.platform.depthBuffer().SetDepthWord(639, 100, 0xFFFFFFFFu);
    EXPECT_EQ(RenderOnce(*flare).size(), 2u);
    EXPECT_TRUE(flare->visible);

    auto bottom = MakeFlare(0);
    PlaceSource(639, 480, 0.5f);
    EXPECT_EQ(RenderOnce(*bottom).size(), 2u);
    auto corner = MakeFlare(0);
    PlaceSource(640, 480, 0.5f);
    EXPECT_EQ(RenderOnce(*corner).size(), 2u);
    auto outside = MakeFlare(0);
    PlaceSource(641, 480, 0.5f);
    EXPECT_TRUE(RenderOnce(*outside).empty());
}

TEST_F(LensFlareTest, ASourceThatNeverShowsDrawsNothing) {
    auto flare = MakeFlare(5);
    for (auto [px, py] : {std::pair{-2.0f, 10.0f}, std::pair{10.0f, -2.0f}, std::pair{700.0f, 10.0f}}) {
        PlaceSource(px, py, 0.5f);
        EXPECT_TRUE(RenderOnce(*flare).empty());
    }
    PlaceSource(320, 240, 2.0f);  // behind everything the depth buffer holds
    EXPECT_TRUE(RenderOnce(*flare).empty());
    EXPECT_EQ(flare->fade, -1);
    EXPECT_TRUE(Log().starting("BeginScene").empty());

    // A point in the eye's plane projects to no pixel at all.
    Matrix projection = MatrixIdentity();
    projection(3, 3) = 0;
    rig.context->SetProjectionMatrix(projection);
    PlaceSource(320, 240, 0.5f);
    EXPECT_TRUE(RenderOnce(*flare).empty());
}

TEST_F(LensFlareTest, AFlareWithoutASourceIsNeverVisible) {
    auto flare = CreateLensFlare(Write("a.lfd", kTwoElements).c_str(), nullptr, 5);
    EXPECT_TRUE(reports.contains("has no source with a position"));
    EXPECT_TRUE(RenderOnce(*flare).empty());
    EXPECT_FALSE(flare->visible);
}

TEST_F(LensFlareTest, OtherGizmoShapesAndLightsGiveTheirPoint) {
    SphereGizmo sphere("s");
    sphere.world.centre = {1, 2, 3};
    Vector3 p;
    ASSERT_TRUE(SourcePosition(&sphere, &p));
    EXPECT_EQ(p.z, 3);
    VectorGizmo vector("v");
    vector.world.origin = {4, 5, 6};
    ASSERT_TRUE(SourcePosition(&vector, &p));
    EXPECT_EQ(p.x, 4);
    EXPECT_FALSE(SourcePosition(rig.scene, &p));
}

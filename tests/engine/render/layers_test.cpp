// Post-process layers on the recording device: capture set-up, target switching
// and nesting, and the quads each layer draws for chosen factors.
#include "engine/render/layers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"

using namespace ZK3D;
using testing_support::DrawRecord;
using testing_support::LogCapture;
using testing_support::RecordingSurface;
using testing_support::SceneRig;

namespace {

struct Vtx {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};

std::vector<Vtx> Vertices(const DrawRecord& d) {
    std::vector<Vtx> out(d.vertexCount);
    if (!out.empty()) std::memcpy(out.data(), d.vertices.data(), out.size() * sizeof(Vtx));
    return out;
}

// The draws recorded from mark on.
std::vector<DrawRecord> DrawsSince(SceneRig& rig, size_t mark) {
    auto& all = rig.platform.device().draws();
    return {all.begin() + static_cast<long>(mark), all.end()};
}

D3DCOLOR White(float alpha) { return PackColor({1, 1, 1, alpha}); }

}  // namespace

// ---------------------------------------------------------------- set-up and targets

TEST(LayerTest, InitMakesARenderTargetTextureWithDepthAndTheBlendWord) {
    SceneRig rig;
    zkMotionBlurLayer blur;
    zkDoubleImageLayer twice;
    blur.Init();
    twice.Init();
    ASSERT_NE(blur.capture(), nullptr);
    auto* surface = dynamic_cast<RecordingSurface*>(blur.capture()->Surface());
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->desc().dwWidth, 512u);
    EXPECT_EQ(surface->desc().dwHeight, 512u);
    const DWORD caps = surface->desc().ddsCaps.dwCaps;
    EXPECT_EQ(caps & (DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM),
              DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
    EXPECT_NE(surface->attachedDepth(), nullptr);
    // Depth test and lighting off, blending on, no culling; SRCALPHA/INVSRCALPHA
    // for the trail, ONE/ONE for the doubled image.
    EXPECT_EQ(blur.flags(), 0x00A000C6u);
    EXPECT_EQ(twice.flags(), 0x006000C6u);
    const float* r = blur.rect();
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[2], 640);
    EXPECT_EQ(r[3], 480);
}

TEST(LayerTest, BeginCapturesAndClearsEndRestoresTheTarget) {
    SceneRig rig;
    auto& device = rig.platform.device();
    zkMotionBlurLayer blur;
    blur.Init();
    IDirectDrawSurface7* back = device.renderTarget();
    rig.context->SetClearColor({1, 0, 0, 1});
    const size_t mark = rig.platform.log().mark();
    blur.Begin();
    EXPECT_EQ(device.renderTarget(), blur.capture()->Surface());
    EXPECT_EQ(device.viewport().dwWidth, 512u);
    const auto calls = rig.platform.log().since(mark);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Clear(1,{0,0,512,512},3,4294901760,1,0)"), calls.end());
    blur.End();
    EXPECT_EQ(device.renderTarget(), back);
    EXPECT_EQ(rig.context->CurrentSurface()->Surface(), back);
}

TEST(LayerTest, NestedLayerReturnsToTheOuterCaptureAndDrawsIntoIt) {
    SceneRig rig;
    auto& device = rig.platform.device();
    IDirectDrawSurface7* back = device.renderTarget();
    zkMotionBlurLayer outer;
    zkDoubleImageLayer inner;
    outer.Init();
    inner.Init();
    outer.Begin();
    inner.Begin();
    EXPECT_EQ(device.renderTarget(), inner.capture()->Surface());
    inner.End();
    EXPECT_EQ(device.renderTarget(), outer.capture()->Surface());

    // The inner draw clears and fills the outer layer's texture.
    const size_t mark = rig.platform.log().mark();
    const size_t drawMark = device.draws().size();
    inner.Draw();
    const auto calls = rig.platform.log().since(mark);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "Clear(1,{0,0,512,512},3,0,1,0)");
    EXPECT_EQ(device.renderTarget(), outer.capture()->Surface());
    const auto draws = DrawsSince(rig, drawMark);
    ASSERT_EQ(draws.size(), 1u);  // unshifted: the two copies in one doubling pass
    EXPECT_EQ(draws[0].textures[0], inner.capture()->Surface());

    outer.End();
    EXPECT_EQ(device.renderTarget(), back);
}

TEST(LayerTest, LayerWithoutCaptureSurfaceLeavesTheTargetAndDrawsNothing) {
    LogCapture log;
    SceneRig rig;
    rig.platform.failSurface = [](const DDSURFACEDESC2& d) { return d.dwWidth == 512; };
    zkMotionRadialBlurLayer radial(0.2f, 10);
    radial.Init();
    EXPECT_TRUE(log.has("[RC] - Surface cannot be created"));
    IDirectDrawSurface7* back = rig.platform.device().renderTarget();
    const size_t draws = rig.platform.device().draws().size();
    const size_t mark = rig.platform.log().mark();
    radial.Begin();
    radial.SetFactor(1);
    radial.Draw();
    radial.End();
    EXPECT_EQ(rig.platform.device().renderTarget(), back);
    EXPECT_EQ(rig.platform.device().draws().size(), draws);
    EXPECT_TRUE(rig.platform.log().since(mark).empty());
}

// ---------------------------------------------------------------- motion blur

TEST(LayerTest, MotionBlurDrawsOneStripWithOpacityOneMinusFactor) {
    SceneRig rig;
    auto& device = rig.platform.device();
    zkMotionBlurLayer blur;
    blur.Init();
    blur.SetRect(10, 20, 110, 220);
    for (float factor : {0.0f, 0.75f}) {
        blur.SetFactor(factor);
        const size_t mark = device.draws().size();
        blur.Draw();
        const auto draws = DrawsSince(rig, mark);
        ASSERT_EQ(draws.size(), 1u);
        const DrawRecord& d = draws[0];
        EXPECT_EQ(d.type, D3DPT_TRIANGLESTRIP);
        EXPECT_EQ(d.fvf, 0x1C4u);
        EXPECT_EQ(d.textures[0], blur.capture()->Surface());
        EXPECT_EQ(d.renderStates.at(D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
        EXPECT_EQ(d.renderStates.at(D3DRENDERSTATE_SRCBLEND), D3DBLEND_SRCALPHA);
        EXPECT_EQ(d.renderStates.at(D3DRENDERSTATE_DESTBLEND), D3DBLEND_INVSRCALPHA);
        const auto v = Vertices(d);
        ASSERT_EQ(v.size(), 4u);
        const float expected[4][4] = {{10, 20, 0, 0}, {110, 20, 1, 0}, {10, 220, 0, 1}, {110, 220, 1, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(v[i].x, expected[i][0]);
            EXPECT_EQ(v[i].y, expected[i][1]);
            EXPECT_EQ(v[i].u, expected[i][2]);
            EXPECT_EQ(v[i].v, expected[i][3]);
            EXPECT_EQ(v[i].z, 1.0f);
            EXPECT_EQ(v[i].rhw, 1.0f);
            EXPECT_EQ(v[i].diffuse, White(1.0f - factor));
        }
    }
    // Factor 0 draws the capture opaquely.
    EXPECT_EQ(White(1.0f), 0xFFFFFFFFu);
    EXPECT_EQ(device.stageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
    EXPECT_EQ(device.stageState(0, D3DTSS_COLORARG2), D3DTA_DIFFUSE);
    EXPECT_EQ(device.stageState(0, D3DTSS_ALPHAOP), D3DTOP_SELECTARG2);
    EXPECT_EQ(device.stageState(1, D3DTSS_COLOROP), D3DTOP_DISABLE);
    EXPECT_FALSE(device.inScene());
}

// ---------------------------------------------------------------- double image

TEST(LayerTest, DoubleImageClearsThenAddsTwoShiftedCopies) {
    SceneRig rig;
    auto& device = rig.platform.device();
    zkDoubleImageLayer twice;
    twice.Init();
    twice.SetFactor(0.25f);
    const size_t mark = device.draws().size();
    const size_t callMark = rig.platform.log().mark();
    twice.Draw();
    EXPECT_EQ(rig.platform.log().since(callMark).front(), "Clear(1,{0,0,640,480},3,0,1,0)");
    const auto draws = DrawsSince(rig, mark);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].renderStates.at(D3DRENDERSTATE_SRCBLEND), D3DBLEND_ONE);
    EXPECT_EQ(draws[0].renderStates.at(D3DRENDERSTATE_DESTBLEND), D3DBLEND_ONE);
    const auto p = Vertices(draws[0]);
    const auto q = Vertices(draws[1]);
    ASSERT_EQ(p.size(), 4u);
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(p[0].u, 0.25f);
    EXPECT_EQ(p[1].u, 1.0f);
    EXPECT_EQ(q[0].u, 0.0f);
    EXPECT_EQ(q[1].u, 0.75f);
    EXPECT_EQ(p[3].v, 1.0f);
    for (const auto& v : {p[0], p[3], q[0], q[3]}) EXPECT_EQ(v.diffuse, White(0.5f));
    EXPECT_EQ(p[3].x, 640.0f);
    EXPECT_EQ(p[3].y, 480.0f);
}

// ---------------------------------------------------------------- radial blur

TEST(LayerTest, RadialBlurCountsCopiesFromFactorWithinItsRoom) {
    LogCapture log;
    zkMotionRadialBlurLayer none(0.2f, 0);
    EXPECT_TRUE(log.has("zkMotionRadialBlurLayer : in create inter"));
    EXPECT_EQ(none.copies(), 1);
    EXPECT_FLOAT_EQ(none.step(), 0.2f);

    zkMotionRadialBlurLayer radial(0.2f, 10);
    EXPECT_EQ(radial.CopiesToDraw(), 0);  // never set
    const std::pair<float, int> cases[] = {{0.0f, 0}, {0.35f, 3}, {1.0f, 10}, {2.5f, 10}, {-1.0f, 0}};
    for (auto [factor, n] : cases) {
        radial.SetFactor(factor);
        EXPECT_EQ(radial.CopiesToDraw(), n) << factor;
    }
    EXPECT_TRUE(log.has("zkMotionRadialBlurLayer:In SetFactor"));
    EXPECT_FLOAT_EQ(radial.inverseFactor(), 2.0f);
}

TEST(LayerTest, RadialBlurDrawsTheBaseThenFadingZoomedCopiesInOneCall) {
    LogCapture log;
    SceneRig rig;
    auto& device = rig.platform.device();
    zkMotionRadialBlurLayer radial(0.2f, 10);
    radial.Init();
    EXPECT_TRUE(log.has("zkMotionRadialBlurLayer : in set"));
    EXPECT_TRUE(log.has("zkMotionRadialBlurLayer : out of set"));
    EXPECT_EQ(radial.flags(), 0x00A000C6u);

    // Never set: the base quad and an empty copies call.
    size_t mark = device.draws().size();
    radial.Draw();
    auto draws = DrawsSince(rig, mark);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].vertexCount, 6u);
    EXPECT_EQ(draws[1].vertexCount, 0u);

    radial.SetFactor(1.0f);
    mark = device.draws().size();
    radial.Draw();
    draws = DrawsSince(rig, mark);
    ASSERT_EQ(draws.size(), 2u);
    const auto base = Vertices(draws[0]);
    EXPECT_EQ(draws[0].type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(base[2].x, 640.0f);
    EXPECT_EQ(base[2].u, 1.0f);
    EXPECT_EQ(base[4].u, 0.0f);
    EXPECT_EQ(base[4].v, 1.0f);
    EXPECT_EQ(base[0].diffuse, White(1));
    const auto copies = Vertices(draws[1]);
    ASSERT_EQ(copies.size(), 60u);
    float alpha = 0.2f;
    for (int k = 0; k < 10; ++k) {
        const float s = static_cast<float>(k + 1) * 0.02f;
        const Vtx& tl = copies[6 * static_cast<size_t>(k)];
        const Vtx& br = copies[6 * static_cast<size_t>(k) + 2];
        EXPECT_NEAR(tl.u, s, 1e-6);
        EXPECT_NEAR(tl.v, s, 1e-6);
        EXPECT_NEAR(br.u, 1 - s, 1e-6);
        EXPECT_EQ(tl.x, 0.0f);
        EXPECT_EQ(br.y, 480.0f);
        EXPECT_EQ(tl.diffuse, White(alpha)) << k;
        if (k >= 4) {
            EXPECT_EQ(tl.diffuse >> 24, 0u) << k;
        }
        alpha -= 0.05f;
    }
    EXPECT_EQ(copies[0].diffuse >> 24, 51u);
}

TEST(LayerTest, RadialBlurEndClearsTheRestoredTargetToBlack) {
    LogCapture log;
    SceneRig rig;
    auto& device = rig.platform.device();
    IDirectDrawSurface7* back = device.renderTarget();
    zkMotionRadialBlurLayer radial(0.2f, 10);
    radial.Init();
    rig.context->SetClearColor({0, 1, 0, 1});
    radial.Begin();
    const size_t mark = rig.platform.log().mark();
    radial.End();
    EXPECT_EQ(device.renderTarget(), back);
    EXPECT_TRUE(log.has("zkMotionRadialBlurLayer : out endscene"));
    const auto calls = rig.platform.log().since(mark);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "Clear(1,{0,0,640,480},3,0,1,0)");
}

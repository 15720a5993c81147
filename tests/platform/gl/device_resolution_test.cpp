// The device at another rendering resolution: the back buffer's GL size for the
// sizes asked, multisampling of an edge (colour and depth), and render targets
// that follow a change of resolution with what was drawn on them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/render_resolution.h"
#include "tests/platform/gl/gl_fixture.h"

namespace gltest {
namespace {

class Resolution : public GlTest {
protected:
    void TearDown() override {
        // The context is shared by the whole binary: back to the logical size.
        EXPECT_TRUE(platform::SetRenderResolution(context_, {}));
        GlTest::TearDown();
    }
    IDirectDrawSurface7* UseBackBuffer() {
        IDirectDrawSurface7* back = context_->GetBackBuffer(0);
        owned_.push_back(back);
        Use(back);
        return back;
    }
    static platform::RenderResolution Sized(int width, int height, int samples = 1) {
        platform::RenderResolution r;
        r.width = width;
        r.height = height;
        r.samples = samples;
        return r;
    }
};

TEST_F(Resolution, TheBackBufferTakesTheLargestRectangleOfItsAspect) {
    struct Case {
        platform::RenderResolution asked;
        bool accepted;
        int width, height;  // GL size afterwards (the 64 x 64 back buffer is square)
    };
    const Case cases[] = {
        {Sized(128, 128), true, 128, 128},
        {Sized(300, 100), true, 100, 100},  // not square: the largest square inside
        {Sized(90, 200), true, 90, 90},
        {Sized(0, 0), true, 64, 64},        // the logical size
        {Sized(0, 5), false, 64, 64},       // refused: nothing changes
        {Sized(9000, 9000), false, 64, 64},
        {Sized(64, 64, 3), false, 64, 64},
        {Sized(64, 64, 16), false, 64, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.asked.width << "x" << c.asked.height << " samples " << c.asked.samples);
        EXPECT_EQ(platform::SetRenderResolution(context_, c.asked), c.accepted);
        int w = 0, h = 0;
        ASSERT_TRUE(platform::RenderedSize(context_, &w, &h));
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        if (!c.accepted) continue;
        // The engine still sees its logical surface.
        IDirectDrawSurface7* back = UseBackBuffer();
        DDSURFACEDESC2 desc{};
        desc.dwSize = 124;
        back->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.dwWidth, 64u);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1, 0), D3D_OK);
        std::vector<uint32_t> frame;
        ASSERT_TRUE(platform::ReadRenderedFrame(context_, &frame, &w, &h));
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_TRUE(ColorNear(frame.back(), 0xFF336699, 0));
    }
}

TEST_F(Resolution, MultisamplingGivesADiagonalEdgeIntermediateCoverage) {
    // The lower-left half of the back buffer, white at depth 0.25, over black at 1.
    const auto draw = [&] {
        UseBackBuffer();
        Unlit();
        device_->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
        device_->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
        device_->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0), D3D_OK);
        TLVertex triangle[3] = {{0, 0, 0.25f, 1, 0xFFFFFFFF, 0, 0, 0},
                                {64, 64, 0.25f, 1, 0xFFFFFFFF, 0, 0, 0},
                                {0, 64, 0.25f, 1, 0xFFFFFFFF, 0, 0, 0}};
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, triangle, 3, 0), D3D_OK);
    };
    for (const int samples : {1, 4}) {
        SCOPED_TRACE(samples);
        if (!platform::SetRenderResolution(context_, Sized(64, 64, samples)))
            GTEST_SKIP() << "the driver gives fewer than " << samples << " samples per pixel";
        draw();
        std::vector<uint32_t> frame;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadRenderedFrame(context_, &frame, &w, &h));
        const int partial = int(std::count_if(frame.begin(), frame.end(), [](uint32_t p) {
            return Channel(p, 8) > 8 && Channel(p, 8) < 247;
        }));
        if (samples == 1)
            EXPECT_EQ(partial, 0);
        else
            EXPECT_GE(partial, 32);  // about one pixel of each row along the edge
        // Inside and outside the edge, colour and depth as drawn (the depth of a
        // multisampled target is resolved before it is read).
        EXPECT_TRUE(ColorNear(Pixel(4, 60), 0xFFFFFFFF, 0));
        EXPECT_TRUE(ColorNear(Pixel(60, 4), 0xFF000000, 0));
        EXPECT_NEAR(DepthAt(4, 60), 0.25f, 1e-3);
        EXPECT_NEAR(DepthAt(60, 4), 1.0f, 1e-3);
    }
}

TEST_F(Resolution, TargetsFollowAChangeWithWhatWasDrawnOnThem) {
    IDirectDrawSurface7* target = UseTarget(16, 16);
    Unlit();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0), D3D_OK);
    Quad(0, 0, 8, 16, 0xFFFF0000);  // left half red, not read back yet
    // Three times the resolution: the target is made again at 48 x 48 GL pixels,
    // its picture carried over, and new drawing lands on the same logical pixels.
    ASSERT_TRUE(platform::SetRenderResolution(context_, Sized(192, 192)));
    Use(target);
    Quad(8, 8, 16, 16, 0xFF00FF00);  // lower-right quarter green
    const std::vector<uint32_t> after = Read(target);
    ASSERT_EQ(after.size(), 256u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t expected = x >= 8 && y >= 8 ? 0xFF00FF00 : x < 8 ? 0xFFFF0000 : 0xFF000000;
            ASSERT_TRUE(ColorNear(after[size_t(y) * 16 + size_t(x)], expected, 0)) << x << "," << y;
        }
}

}  // namespace
}  // namespace gltest

// Rasterisation and output-merger behaviour of the GL device, checked by reading
// small targets back: pre-transformed placement, culling, fill mode, blending,
// depth, alpha test, clears, depth read-back, sphere visibility and the cost of
// redundant state.
#include <cmath>
#include <cstring>

#include "platform/gl/pixel_format.h"
#include "platform/gl_stats.h"
#include "tests/platform/gl/gl_fixture.h"

namespace gltest {
namespace {

class Pipeline : public GlTest {};

TEST_F(Pipeline, PretransformedQuadsLandOnExactPixels) {
    UseTarget(32, 32, false);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0), D3D_OK);
    Unlit();
    Quad(4, 6, 12, 20, 0xFFFF0000);
    // A viewport only clips pre-transformed vertices: they stay in target pixels.
    D3DVIEWPORT7 viewport{16, 16, 8, 8, 0, 1};
    ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
    Quad(14, 14, 30, 30, 0xFF00FF00);
    const std::vector<uint32_t> image = Read(target_);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint32_t expected = 0xFF000000;
            if (x >= 4 && x < 12 && y >= 6 && y < 20) expected = 0xFFFF0000;
            if (x >= 16 && x < 24 && y >= 16 && y < 24) expected = 0xFF00FF00;
            ASSERT_EQ(image[size_t(y) * 32 + size_t(x)], expected) << "pixel " << x << ", " << y;
        }
    }
}

TEST_F(Pipeline, CullModesRemoveTheNamedWindingOnEveryTarget) {
    // Strip TL, TR, BL, BR is clockwise on screen; TL, BL, TR, BR counter-clockwise.
    const auto drawBoth = [&] {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
        TLVertex cw[4] = {{2, 2, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                          {14, 2, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                          {2, 14, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                          {14, 14, 0.5f, 1, 0xFFFF0000, 0, 0, 0}};
        TLVertex ccw[4] = {{18, 2, 0.5f, 1, 0xFF00FF00, 0, 0, 0},
                           {18, 14, 0.5f, 1, 0xFF00FF00, 0, 0, 0},
                           {30, 2, 0.5f, 1, 0xFF00FF00, 0, 0, 0},
                           {30, 14, 0.5f, 1, 0xFF00FF00, 0, 0, 0}};
        device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, cw, 4, 0);
        device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, ccw, 4, 0);
        // Untransformed, identity matrices: clip y up is screen up, so
        // (-1, -0.2), (0, -0.2), (-1, -1) is clockwise on screen.
        LVertex tri[3] = {{-1, -0.2f, 0.5f, 0, 0xFF0000FF, 0, 0, 0},
                          {0, -0.2f, 0.5f, 0, 0xFF0000FF, 0, 0, 0},
                          {-1, -1, 0.5f, 0, 0xFF0000FF, 0, 0, 0}};
        device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, tri, 3, 0);
    };
    IDirectDrawSurface7* back = context_->GetBackBuffer(0);
    owned_.push_back(back);
    for (IDirectDrawSurface7* target : {UseTarget(32, 32, false), back}) {
        Use(target);
        device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        D3DVIEWPORT7 viewport{0, 0, 32, 32, 0, 1};
        device_->SetViewport(&viewport);

        device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
        drawBoth();
        EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
        EXPECT_EQ(Pixel(24, 8), 0xFF000000u);
        EXPECT_EQ(Pixel(3, 28), 0xFF0000FFu);

        device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
        drawBoth();
        EXPECT_EQ(Pixel(8, 8), 0xFF000000u);
        EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u);
        EXPECT_EQ(Pixel(3, 28), 0xFF000000u);

        device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        drawBoth();
        EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
        EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u);
        EXPECT_EQ(Pixel(3, 28), 0xFF0000FFu);
    }
}

TEST_F(Pipeline, PrimitiveTypesDrawTheirShapes) {
    UseTarget(16, 16, false);
    Unlit();
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    // A fan: centre, then the rim.
    TLVertex fan[5] = {{4, 4, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                       {0, 0, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                       {8, 0, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                       {8, 8, 0.5f, 1, 0xFFFF0000, 0, 0, 0},
                       {0, 8, 0.5f, 1, 0xFFFF0000, 0, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, fan, 5, 0), D3D_OK);
    EXPECT_EQ(Pixel(4, 1), 0xFFFF0000u);
    EXPECT_EQ(Pixel(6, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 4), 0xFF000000u);  // the fan stops at its last rim vertex
    // Two lines along rows 10 and 12, a strip down column 14, one point.
    TLVertex lines[4] = {{2, 10, 0.5f, 1, 0xFF00FF00, 0, 0, 0},
                         {10, 10, 0.5f, 1, 0xFF00FF00, 0, 0, 0},
                         {2, 12, 0.5f, 1, 0xFF0000FF, 0, 0, 0},
                         {10, 12, 0.5f, 1, 0xFF0000FF, 0, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, lines, 4, 0), D3D_OK);
    TLVertex strip[3] = {{14, 1, 0.5f, 1, 0xFFFFFF00, 0, 0, 0},
                         {14, 6, 0.5f, 1, 0xFFFFFF00, 0, 0, 0},
                         {14, 9, 0.5f, 1, 0xFFFFFF00, 0, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINESTRIP, D3DFVF_TLVERTEX, strip, 3, 0), D3D_OK);
    TLVertex point = {12, 14, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_TLVERTEX, &point, 1, 0), D3D_OK);
    for (int x = 3; x < 9; ++x) {
        EXPECT_EQ(Pixel(x, 10), 0xFF00FF00u) << x;
        EXPECT_EQ(Pixel(x, 12), 0xFF0000FFu) << x;
        EXPECT_EQ(Pixel(x, 11), 0xFF000000u) << x;
    }
    EXPECT_EQ(Pixel(14, 3), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(14, 7), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(12, 14), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(13, 14), 0xFF000000u);
}

TEST_F(Pipeline, WireframeDrawsEdgesOnly) {
    UseTarget(32, 32, false);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    Unlit();
    device_->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    Quad(8, 8, 24, 24, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(12, 12), 0xFF000000u);  // inside, off the diagonal
    EXPECT_EQ(Pixel(8, 16), 0xFFFFFFFFu);   // left edge
    EXPECT_EQ(Pixel(16, 8), 0xFFFFFFFFu);   // top edge
    device_->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    Quad(8, 8, 24, 24, 0xFF00FF00);
    EXPECT_EQ(Pixel(12, 12), 0xFF00FF00u);
}

TEST_F(Pipeline, BlendModesFollowTheirFactors) {
    UseTarget(8, 8, false);
    Unlit();
    const int dr = 0x40, dg = 0x80, db = 0xC0;      // destination
    const int sr = 0xC0, sg = 0x60, sb = 0x20, sa = 0x66;  // source, alpha 0.4
    const double a = sa / 255.0;
    struct Case {
        DWORD source, destination;
        double r, g, b;
    } cases[] = {
        {D3DBLEND_ONE, D3DBLEND_ONE, double(dr + sr), double(dg + sg), double(db + sb)},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, sr * a + dr * (1 - a), sg * a + dg * (1 - a), sb * a + db * (1 - a)},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, sr * a + dr, sg * a + dg, sb * a + db},
        {D3DBLEND_ONE, D3DBLEND_ZERO, double(sr), double(sg), double(sb)},
        {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, sr * a + dr * (1 - a), sg * a + dg * (1 - a), sb * a + db * (1 - a)},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, sr * dr / 255.0, sg * dg / 255.0, sb * db / 255.0},
        // The X8 target reads destination alpha as 1 although the quad below wrote 0.
        {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, double(sr), double(sg), double(sb)},
    };
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        Quad(0, 0, 8, 8, Argb(0, dr, dg, db));
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.source);
        device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.destination);
        Quad(0, 0, 8, 8, Argb(sa, sr, sg, sb));
        const auto clamp = [](double v) { return int(std::lround(std::fmin(255.0, v))); };
        EXPECT_TRUE(ColorNear(Pixel(4, 4), Argb(255, clamp(c.r), clamp(c.g), clamp(c.b)), 2))
            << "source blend " << c.source << ", destination blend " << c.destination;
    }
    // Blending off ignores the factors.
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    Quad(0, 0, 8, 8, Argb(sa, sr, sg, sb));
    EXPECT_EQ(Pixel(4, 4), Argb(255, sr, sg, sb));
}

TEST_F(Pipeline, DepthModesTestAndWriteAsConfigured) {
    UseTarget(16, 16, true);
    Unlit();
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    Quad(0, 0, 16, 16, 0xFFFF0000, 0.5f);
    Quad(0, 0, 16, 16, 0xFF00FF00, 0.7f);  // behind: rejected
    EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
    Quad(0, 0, 16, 16, 0xFFFFFF00, 0.5f);  // equal passes LESSEQUAL
    EXPECT_EQ(Pixel(8, 8), 0xFFFFFF00u);
    EXPECT_NEAR(DepthAt(8, 8), 0.5f, 1e-5);

    device_->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);  // read-only depth
    Quad(0, 0, 16, 16, 0xFF0000FF, 0.3f);
    EXPECT_EQ(Pixel(8, 8), 0xFF0000FFu);
    EXPECT_NEAR(DepthAt(8, 8), 0.5f, 1e-5);

    device_->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
    device_->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    Quad(0, 0, 16, 16, 0xFFFFFFFF, 0.9f);
    EXPECT_EQ(Pixel(8, 8), 0xFFFFFFFFu);
    EXPECT_NEAR(DepthAt(8, 8), 0.9f, 1e-5);

    device_->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESS);
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);  // no test, no write
    Quad(0, 0, 16, 16, 0xFF00FFFF, 0.95f);
    EXPECT_EQ(Pixel(8, 8), 0xFF00FFFFu);
    EXPECT_NEAR(DepthAt(8, 8), 0.9f, 1e-5);

    // A target without a depth buffer draws with depth off whatever ZENABLE says.
    UseTarget(16, 16, false);
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    Quad(0, 0, 16, 16, 0xFFFF0000, 0.2f);
    Quad(0, 0, 16, 16, 0xFF00FF00, 0.8f);
    EXPECT_EQ(Pixel(8, 8), 0xFF00FF00u);
}

TEST_F(Pipeline, DepthReadBackGivesPlatformZOverW) {
    UseTarget(16, 16, true);
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    EXPECT_NEAR(DepthAt(3, 3), 1.0f, 1e-6);
    Quad(0, 0, 8, 16, 0xFFFFFFFF, 0.25f);
    EXPECT_NEAR(DepthAt(4, 9), 0.25f, 1e-5);

    // Untransformed: depth = z/w of the projection, z/w = f/(f-n) (1 - n/z).
    const float n = 1, f = 100, z = 10;
    D3DMATRIX projection = Perspective(1.2f, 1.0f, n, f);
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    LVertex quad[4] = {{-5, 5, z, 0, 0xFFFFFFFF, 0, 0, 0},
                       {5, 5, z, 0, 0xFFFFFFFF, 0, 0, 0},
                       {-5, -5, z, 0, 0xFFFFFFFF, 0, 0, 0},
                       {5, -5, z, 0, 0xFFFFFFFF, 0, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, quad, 4, 0), D3D_OK);
    const float expected = f / (f - n) * (1 - n / z);
    EXPECT_NEAR(DepthAt(12, 8), expected, 2e-5);

    // The viewport's depth range maps it further.
    D3DVIEWPORT7 viewport{0, 0, 16, 16, 0.5f, 1.0f};
    device_->SetViewport(&viewport);
    device_->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, quad, 4, 0);
    EXPECT_NEAR(DepthAt(12, 8), 0.5f + 0.5f * expected, 2e-5);
}

TEST_F(Pipeline, ReadOnlyRectLockReadsThatRectAndLeavesTheRestDue) {
    IDirectDrawSurface7* target = UseTarget(16, 16, true, true);
    Unlit();
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    Quad(0, 0, 8, 16, 0xFF00FF00, 0.25f);
    DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface7* z = nullptr;
    ASSERT_EQ(target->GetAttachedSurface(&caps, &z), DD_OK);
    auto peek = [](IDirectDrawSurface7* surface, RECT rect) {
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        uint32_t word = 0;
        if (surface->Lock(&rect, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return ~0u;
        std::memcpy(&word, d.lpSurface, 4);
        surface->Unlock(&rect);
        return word;
    };
    EXPECT_EQ(peek(target, {4, 9, 5, 10}), 0xFF00FF00u);
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    ASSERT_EQ(z->GetSurfaceDesc(&d), DD_OK);
    const DWORD mask = d.ddpfPixelFormat.dwGBitMask;
    EXPECT_NEAR(float(peek(z, {4, 9, 5, 10}) & mask) / float(mask), 0.25f, 1e-5);
    EXPECT_EQ(peek(target, {16, 0, 17, 1}), ~0u);  // outside: refused

    // A whole read-back after the peeks still fetches what they did not cover,
    // and what is drawn after it.
    EXPECT_EQ(Pixel(13, 2), 0xFF000000u);
    Quad(8, 0, 16, 16, 0xFFFF0000, 0.5f);
    EXPECT_EQ(Pixel(4, 9), 0xFF00FF00u);
    EXPECT_EQ(Pixel(12, 9), 0xFFFF0000u);
    EXPECT_NEAR(DepthAt(12, 9), 0.5f, 1e-5);
    EXPECT_NEAR(DepthAt(4, 9), 0.25f, 1e-5);
    z->Release();
}

TEST_F(Pipeline, AlphaTestComparesOnTheByteScale) {
    UseTarget(8, 8, false);
    Unlit();
    device_->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x80);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    Quad(0, 0, 4, 8, 0x80FF0000);
    Quad(4, 0, 8, 8, 0x81FF0000);
    EXPECT_EQ(Pixel(1, 4), 0xFF000000u);
    EXPECT_EQ(Pixel(6, 4), 0xFFFF0000u);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_EQUAL);
    Quad(0, 0, 4, 8, 0x8000FF00);
    Quad(4, 0, 8, 8, 0x8100FF00);
    EXPECT_EQ(Pixel(1, 4), 0xFF00FF00u);
    EXPECT_EQ(Pixel(6, 4), 0xFFFF0000u);
    device_->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
    Quad(0, 0, 8, 8, 0x000000FF);
    EXPECT_EQ(Pixel(6, 4), 0xFF0000FFu);
}

TEST_F(Pipeline, ClearFillsRectanglesWithinTheViewport) {
    UseTarget(32, 32, true);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
    D3DRECT rects[2] = {{2, 2, 6, 6}, {20, 24, 28, 30}};
    ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFF0000, 1, 0), D3D_OK);
    EXPECT_EQ(Pixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(Pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(Pixel(6, 6), 0xFF000000u);
    EXPECT_EQ(Pixel(27, 29), 0xFFFF0000u);
    EXPECT_EQ(Pixel(19, 24), 0xFF000000u);
    D3DVIEWPORT7 viewport{8, 8, 8, 8, 0, 1};
    device_->SetViewport(&viewport);
    D3DRECT all = {0, 0, 32, 32};
    device_->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 0.25f, 0);
    EXPECT_EQ(Pixel(8, 8), 0xFF00FF00u);
    EXPECT_EQ(Pixel(15, 15), 0xFF00FF00u);
    EXPECT_EQ(Pixel(16, 16), 0xFF000000u);
    EXPECT_EQ(Pixel(3, 3), 0xFFFF0000u);
    EXPECT_NEAR(DepthAt(10, 10), 0.25f, 1e-6);
    EXPECT_NEAR(DepthAt(20, 20), 1.0f, 1e-6);
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1, 0), DDERR_INVALIDPARAMS);
}

TEST_F(Pipeline, SphereVisibilityUsesTheDeviceTransforms) {
    D3DMATRIX world = Translation(2, 0, 0);
    device_->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    D3DVECTOR centers[3] = {{-2, 0, 0.5f}, {0, 0, 0.5f}, {-1.05f, 0, 0.5f}};
    D3DVALUE radii[3] = {0.1f, 0.1f, 0.1f};
    DWORD results[3] = {};
    ASSERT_EQ(device_->ComputeSphereVisibility(centers, radii, 3, 0, results), D3D_OK);
    EXPECT_EQ(results[0], 0u);
    EXPECT_EQ(results[1], 0x2002u);
    EXPECT_EQ(results[2], 0x2u);
    EXPECT_EQ(device_->ComputeSphereVisibility(nullptr, radii, 1, 0, results), DDERR_INVALIDPARAMS);
}

TEST_F(Pipeline, EnumeratesTextureFormatsInOrderAndStopsOnCancel) {
    std::vector<DDPIXELFORMAT> formats;
    device_->EnumTextureFormats(
        [](DDPIXELFORMAT* pf, void* list) -> HRESULT {
            static_cast<std::vector<DDPIXELFORMAT>*>(list)->push_back(*pf);
            return D3DENUMRET_OK;
        },
        &formats);
    ASSERT_EQ(formats.size(), 11u);
    const DWORD masks[6][4] = {{0x7C00, 0x3E0, 0x1F, 0},         {0x7C00, 0x3E0, 0x1F, 0x8000},
                               {0xF00, 0xF0, 0xF, 0xF000},         {0xF800, 0x7E0, 0x1F, 0},
                               {0xFF0000, 0xFF00, 0xFF, 0},        {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(formats[size_t(i)].dwSize, 32u);
        EXPECT_EQ(formats[size_t(i)].dwRBitMask, masks[i][0]);
        EXPECT_EQ(formats[size_t(i)].dwGBitMask, masks[i][1]);
        EXPECT_EQ(formats[size_t(i)].dwBBitMask, masks[i][2]);
        EXPECT_EQ(formats[size_t(i)].dwRGBAlphaBitMask, masks[i][3]);
        EXPECT_EQ((formats[size_t(i)].dwFlags & DDPF_ALPHAPIXELS) != 0, masks[i][3] != 0);
    }
    const DWORD fourccs[5] = {FOURCC_DXT1, FOURCC_DXT2, FOURCC_DXT3, FOURCC_DXT4, FOURCC_DXT5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(formats[size_t(6 + i)].dwFlags & DDPF_FOURCC, DDPF_FOURCC);
        EXPECT_EQ(formats[size_t(6 + i)].dwFourCC, fourccs[i]);
    }
    int calls = 0;
    device_->EnumTextureFormats([](DDPIXELFORMAT*, void* n) -> HRESULT { return ++*static_cast<int*>(n) == 2 ? D3DENUMRET_CANCEL : D3DENUMRET_OK; },
                                &calls);
    EXPECT_EQ(calls, 2);
}

TEST_F(Pipeline, RedundantStateCostsNoGlCallsAndWarmPipelinesNoShaders) {
    UseTarget(8, 8, true);
    Unlit();
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    platform::GlStats before{}, after{};
    ASSERT_TRUE(platform::GetGlStats(device_, &before));
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);  // same values again
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    ASSERT_TRUE(platform::GetGlStats(device_, &after));
    EXPECT_EQ(after.drawCalls, before.drawCalls + 1);
    EXPECT_EQ(after.stateChanges, before.stateChanges);
    EXPECT_EQ(after.shaderCacheMisses, before.shaderCacheMisses);

    // Numbers that only feed shader constants never cost a new program.
    device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    ASSERT_TRUE(platform::GetGlStats(device_, &before));
    device_->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x00123456);
    device_->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, 0x80808080);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 7);
    D3DMATRIX world = Translation(1, 2, 3);
    device_->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    ASSERT_TRUE(platform::GetGlStats(device_, &after));
    EXPECT_EQ(after.shaderCacheMisses, before.shaderCacheMisses);
    EXPECT_GT(after.uniformUploads, before.uniformUploads);
}

TEST_F(Pipeline, FrameCountersCountTrianglesBindsProgramsAndShadedFragments) {
    UseTarget(64, 64, false);
    Unlit();
    const platform::FragmentCounter how = platform::CountGlFragments(device_, true);
    ASSERT_NE(how, platform::FragmentCounter::kNone);
    const DDPIXELFORMAT argb = platform::gl::PixelFormatOf(platform::gl::Format::A8R8G8B8);
    IDirectDrawSurface7* a = MakeTexture(4, 4, 0, &argb, std::vector<uint32_t>(16, 0xFFFF0000));
    IDirectDrawSurface7* b = MakeTexture(4, 4, 0, &argb, std::vector<uint32_t>(16, 0xFF00FF00));
    context_->UpdateFrame(0);
    platform::GlStats before{}, after{};
    ASSERT_TRUE(platform::GetGlStats(device_, &before));
    device_->SetTexture(0, a);
    Quad(0, 0, 64, 64, 0xFFFFFFFF);  // a strip: 2 triangles over the whole target
    device_->SetTexture(0, b);
    TLVertex v[5] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}, {1, 0, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0},
                     {1, 1, 0.5f, 1, 0xFFFFFFFF, 0, 1, 1}, {0, 1, 0.5f, 1, 0xFFFFFFFF, 0, 0, 1},
                     {0, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0, 1}};
    WORD list[6] = {0, 1, 2, 0, 2, 3};
    device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 4, list, 6, 0);  // 2 more
    device_->SetTexture(0, nullptr);
    device_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, v, 5, 0);                 // 3 more, untextured
    device_->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, v, 4, 0);                    // none
    context_->UpdateFrame(0);
    ASSERT_TRUE(platform::GetGlStats(device_, &after));
    platform::CountGlFragments(device_, false);
    EXPECT_EQ(after.drawCalls - before.drawCalls, 4u);
    EXPECT_EQ(after.triangles - before.triangles, 7u);
    EXPECT_GE(after.textureBinds - before.textureBinds, 2u);
    EXPECT_GE(after.programSwitches - before.programSwitches, 1u);
    // The full-target quad alone is 4096 fragments; a rasteriser may count the
    // whole pixel blocks it shades along the diagonal twice.
    const uint64_t fragments = after.fragments - before.fragments;
    EXPECT_GE(fragments, 4096u);
    EXPECT_LE(fragments, 4096u * 5 / 4);
}

TEST_F(Pipeline, InvalidDrawsFailWithoutDrawing) {
    UseTarget(8, 8, false);
    Unlit();
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    TLVertex v[3] = {};
    EXPECT_EQ(device_->DrawPrimitive(D3DPRIMITIVETYPE(0), D3DFVF_TLVERTEX, v, 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_NORMAL, v, 3, 0),
              D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_DIFFUSE, v, 3, 0), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, nullptr, 3, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, nullptr, 0, 0), D3D_OK);
    TLVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                        {8, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                        {0, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                        {8, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
    WORD bad[6] = {0, 1, 2, 2, 1, 4};  // 4 is past the 4 vertices given
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, quad, 4, bad, 6, 0),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(Pixel(4, 4), 0xFF000000u);
    WORD good[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, quad, 4, good, 6, 0), D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
}

}  // namespace
}  // namespace gltest

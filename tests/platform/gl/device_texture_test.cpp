// Texture stages, texture formats, coordinate generation and transforms,
// filtering, addressing and render-to-texture of the GL device. Expected colours
// come from the stage formulas and the formats' bit layouts.
#include <cmath>
#include <functional>

#include "platform/gl/pixel_format.h"
#include "tests/platform/gl/gl_fixture.h"

namespace gltest {
namespace {

using platform::gl::Format;
using platform::gl::PixelFormatOf;

struct Color {
    double a, r, g, b;
};
Color Of(uint32_t c) {
    return {Channel(c, 24) / 255.0, Channel(c, 16) / 255.0, Channel(c, 8) / 255.0, Channel(c, 0) / 255.0};
}
uint32_t Pack(Color c) { return Argb(To8(c.a), To8(c.r), To8(c.g), To8(c.b)); }

class Stages : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        UseTarget(16, 16, false, true);
        Unlit();
    }
    void SetStage(DWORD stage, DWORD colorOp, DWORD c1, DWORD c2, DWORD alphaOp, DWORD a1, DWORD a2) {
        device_->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
        device_->SetTextureStageState(stage, D3DTSS_COLORARG1, c1);
        device_->SetTextureStageState(stage, D3DTSS_COLORARG2, c2);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, a1);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAARG2, a2);
    }
    IDirectDrawSurface7* Solid(uint32_t argb) {
        const DDPIXELFORMAT pf = PixelFormatOf(Format::A8R8G8B8);
        return MakeTexture(1, 1, 0, &pf, {argb});
    }
    uint32_t Draw(D3DCOLOR diffuse, D3DCOLOR specular = 0) {
        Quad(0, 0, 16, 16, diffuse, 0.5f, specular);
        return Pixel(8, 8);
    }
};

constexpr uint32_t kTexel = 0x99CC6633;
constexpr uint32_t kDiffuse = 0x554080F0;
constexpr uint32_t kFactor = 0x33E01060;

TEST_F(Stages, ColorOperationsFollowTheirFormulas) {
    device_->SetTexture(0, Solid(kTexel));
    device_->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, kFactor);
    const Color t = Of(kTexel), d = Of(kDiffuse), f = Of(kFactor);
    using Op = std::function<double(double, double)>;
    struct Case {
        DWORD op;
        Op formula;
    } cases[] = {
        {D3DTOP_SELECTARG1, [](double x, double) { return x; }},
        {D3DTOP_SELECTARG2, [](double, double y) { return y; }},
        {D3DTOP_MODULATE, [](double x, double y) { return x * y; }},
        {D3DTOP_MODULATE2X, [](double x, double y) { return 2 * x * y; }},
        {D3DTOP_MODULATE4X, [](double x, double y) { return 4 * x * y; }},
        {D3DTOP_ADD, [](double x, double y) { return x + y; }},
        {D3DTOP_ADDSIGNED, [](double x, double y) { return x + y - 0.5; }},
        {D3DTOP_ADDSIGNED2X, [](double x, double y) { return 2 * (x + y - 0.5); }},
        {D3DTOP_SUBTRACT, [](double x, double y) { return x - y; }},
        {D3DTOP_ADDSMOOTH, [](double x, double y) { return x + y - x * y; }},
        {D3DTOP_BLENDDIFFUSEALPHA, [&](double x, double y) { return x * d.a + y * (1 - d.a); }},
        {D3DTOP_BLENDTEXTUREALPHA, [&](double x, double y) { return x * t.a + y * (1 - t.a); }},
        {D3DTOP_BLENDFACTORALPHA, [&](double x, double y) { return x * f.a + y * (1 - f.a); }},
        {D3DTOP_BLENDCURRENTALPHA, [&](double x, double y) { return x * d.a + y * (1 - d.a); }},
        {D3DTOP_BLENDTEXTUREALPHAPM, [&](double x, double y) { return x + y * (1 - t.a); }},
        {D3DTOP_MODULATEALPHA_ADDCOLOR, [&](double x, double y) { return x + t.a * y; }},
        {D3DTOP_MODULATECOLOR_ADDALPHA, [&](double x, double y) { return x * y + t.a; }},
        {D3DTOP_MODULATEINVALPHA_ADDCOLOR, [&](double x, double y) { return (1 - t.a) * y + x; }},
        {D3DTOP_MODULATEINVCOLOR_ADDALPHA, [&](double x, double y) { return (1 - x) * y + t.a; }},
    };
    for (const Case& c : cases) {
        SetStage(0, c.op, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        const Color expected{t.a, c.formula(t.r, d.r), c.formula(t.g, d.g), c.formula(t.b, d.b)};
        EXPECT_TRUE(ColorNear(Draw(kDiffuse), Pack(expected), 2)) << "colour operation " << c.op;
    }
    // DOTPRODUCT3 goes to all four channels.
    SetStage(0, D3DTOP_DOTPRODUCT3, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    const double dot = 4 * ((t.r - 0.5) * (d.r - 0.5) + (t.g - 0.5) * (d.g - 0.5) + (t.b - 0.5) * (d.b - 0.5));
    EXPECT_TRUE(ColorNear(Draw(kDiffuse), Pack({dot, dot, dot, dot}), 2));
}

TEST_F(Stages, ArgumentsAndModifiersSelectTheirSources) {
    device_->SetTexture(0, Solid(kTexel));
    device_->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, kFactor);
    const Color t = Of(kTexel), f = Of(kFactor), s = Of(0x20A0B0C0);
    const auto select = [&](DWORD arg) {
        SetStage(0, D3DTOP_SELECTARG1, arg, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
        return Draw(kDiffuse, 0x20A0B0C0);
    };
    const int da = Channel(kDiffuse, 24);
    EXPECT_TRUE(ColorNear(select(D3DTA_TFACTOR), Argb(da, Channel(kFactor, 16), Channel(kFactor, 8), Channel(kFactor, 0)), 1));
    EXPECT_TRUE(ColorNear(select(D3DTA_SPECULAR), Argb(da, 0xA0, 0xB0, 0xC0), 1));  // even with SPECULARENABLE off
    EXPECT_TRUE(ColorNear(select(D3DTA_TEXTURE | D3DTA_COMPLEMENT), Pack({da / 255.0, 1 - t.r, 1 - t.g, 1 - t.b}), 1));
    EXPECT_TRUE(ColorNear(select(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE), Pack({da / 255.0, t.a, t.a, t.a}), 1));
    EXPECT_TRUE(ColorNear(select(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT),
                          Pack({da / 255.0, 1 - t.a, 1 - t.a, 1 - t.a}), 1));
    // Alpha pipeline on its own.
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    EXPECT_EQ(Channel(Draw(kDiffuse), 24), To8(t.a * da / 255.0));
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_ADD, D3DTA_TFACTOR | D3DTA_COMPLEMENT,
             D3DTA_SPECULAR);
    EXPECT_NEAR(Channel(Draw(kDiffuse, 0x20A0B0C0), 24), To8(1 - f.a + s.a), 1);
}

TEST_F(Stages, CascadeEndsAtTheFirstDisabledStage) {
    device_->SetTexture(0, Solid(0xFF808080));
    device_->SetTexture(1, Solid(0xFF204060));
    device_->SetTexture(2, Solid(0xFF000000));
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    SetStage(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    SetStage(2, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    SetStage(3, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
    // Three stages: (0.5 * diffuse + tex1) * black.
    EXPECT_EQ(Draw(0xFFFFFFFF), 0xFF000000u);
    // Stage 1 disabled: stage 2 is ignored although enabled.
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    EXPECT_TRUE(ColorNear(Draw(0xFF804020), Argb(255, 0x40, 0x20, 0x10), 1));
    // Stage 0 disabled: the diffuse colour as it is.
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    EXPECT_EQ(Draw(0xFF804020), 0xFF804020u);
}

TEST_F(Stages, UnboundTexturesPassCurrentThrough) {
    // Defaults on stage 0, no texture: the diffuse colour and alpha.
    EXPECT_EQ(Draw(0x80123456), 0x80123456u);
    device_->SetTexture(0, Solid(0xFF808080));
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    SetStage(1, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(ColorNear(Draw(0x80FF8040), Argb(0x80, 0x80, 0x40, 0x20), 1));
    // SELECTARG2 with the texture only in the first argument still selects the second.
    SetStage(1, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    device_->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, 0xFF00FF00);
    EXPECT_TRUE(ColorNear(Draw(0x80FF8040), Argb(0x80, 0, 0xFF, 0), 1));
}

// ---------------------------------------------------------------- formats

class Formats : public Stages {
protected:
    // Draws a 2 x 2 (or 4 x 4 for DXT) texture four times enlarged with point
    // sampling; returns the texels of its top row (DXT) or all four.
    std::vector<uint32_t> Sample(int size, const DDPIXELFORMAT& pf, const std::vector<uint8_t>& bytes) {
        IDirectDrawSurface7* texture = MakeTextureRaw(size, size, pf, bytes);
        device_->SetTexture(0, texture);
        SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        Quad(0, 0, float(size * 4), float(size * 4), 0xFFFFFFFF);
        std::vector<uint32_t> out;
        for (int y = 0; y < (size == 2 ? 2 : 1); ++y)
            for (int x = 0; x < (size == 2 ? 2 : 4); ++x) out.push_back(Pixel(4 * x + 2, 4 * y + 2));
        return out;
    }
    static std::vector<uint8_t> Words16(std::initializer_list<uint16_t> words) {
        std::vector<uint8_t> out;
        for (uint16_t w : words) {
            out.push_back(uint8_t(w));
            out.push_back(uint8_t(w >> 8));
        }
        return out;
    }
    static void Expect(const std::vector<uint32_t>& actual, const std::vector<uint32_t>& expected, int tolerance) {
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i) EXPECT_TRUE(ColorNear(actual[i], expected[i], tolerance)) << "texel " << i;
    }
};

TEST_F(Formats, SixteenBitFormatsExpandByBitReplication) {
    // Rows of 2 texels, 4-byte pitch: no padding for a 2 x 2 16-bit texture.
    Expect(Sample(2, PixelFormatOf(Format::R5G6B5), Words16({0xF800, 0x07E0, 0x001F, 0x8410})),
           {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, Argb(255, 132, 130, 132)}, 1);
    // No alpha bit in use: alpha reads 1.
    Expect(Sample(2, PixelFormatOf(Format::X1R5G5B5), Words16({0x7C00, 0x03E0, 0x001F, 0x4210})),
           {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, Argb(255, 132, 132, 132)}, 1);
    Expect(Sample(2, PixelFormatOf(Format::A1R5G5B5), Words16({0xFC00, 0x7C00, 0x83E0, 0x001F})),
           {0xFFFF0000, 0x00FF0000, 0xFF00FF00, 0x000000FF}, 1);
    Expect(Sample(2, PixelFormatOf(Format::A4R4G4B4), Words16({0xF800, 0x0F0F, 0x70F0, 0x8421})),
           {Argb(255, 0x88, 0, 0), Argb(0, 255, 0, 255), Argb(0x77, 0, 255, 0), Argb(0x88, 0x44, 0x22, 0x11)}, 0);
}

TEST_F(Formats, ThirtyTwoBitFormatsKeepOrForceAlpha) {
    const std::vector<uint8_t> bytes = {0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x80,
                                        0x99, 0x88, 0x77, 0xFF, 0xCC, 0xBB, 0xAA, 0x10};
    Expect(Sample(2, PixelFormatOf(Format::X8R8G8B8), bytes), {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC}, 0);
    Expect(Sample(2, PixelFormatOf(Format::A8R8G8B8), bytes), {0x00112233, 0x80445566, 0xFF778899, 0x10AABBCC}, 0);
}

TEST_F(Formats, DxtBlocksDecodeWithTheirModes) {
    const DDPIXELFORMAT dxt1 = PixelFormatOf(Format::DXT1);
    // c0 red > c1 blue: four colours, top row codes 0, 1, 2, 3.
    Expect(Sample(4, dxt1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0}),
           {0xFFFF0000, 0xFF0000FF, Argb(255, 170, 0, 85), Argb(255, 85, 0, 170)}, 2);
    // c0 blue <= c1 red: three colours and transparent black.
    Expect(Sample(4, dxt1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0}),
           {0xFF0000FF, 0xFFFF0000, Argb(255, 127, 0, 127), 0x00000000}, 2);
    // DXT3: explicit 4-bit alpha, low nibble first; its colour block is green.
    Expect(Sample(4, PixelFormatOf(Format::DXT3), {0xF0, 0x38, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0}),
           {0x0000FF00, 0xFF00FF00, 0x8800FF00, 0x3300FF00}, 0);
    // DXT2 decodes as DXT3 (its colours stay premultiplied as stored).
    Expect(Sample(4, PixelFormatOf(Format::DXT2), {0xF0, 0x38, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0}),
           {0x0000FF00, 0xFF00FF00, 0x8800FF00, 0x3300FF00}, 0);
    // DXT5: a0 200 > a1 100, codes 0, 1, 2, 7 -> 200, 100, (6*200 + 100)/7, (200 + 6*100)/7.
    Expect(Sample(4, PixelFormatOf(Format::DXT5), {200, 100, 0x88, 0x0E, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0}),
           {0xC800FF00, 0x6400FF00, Argb(185, 0, 255, 0), Argb(114, 0, 255, 0)}, 2);
    Expect(Sample(4, PixelFormatOf(Format::DXT4), {200, 100, 0x88, 0x0E, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0}),
           {0xC800FF00, 0x6400FF00, Argb(185, 0, 255, 0), Argb(114, 0, 255, 0)}, 2);
    // a0 50 <= a1 150: codes 6 and 7 are 0 and 255; code 2 is (4*50 + 150)/5.
    const uint32_t codes = 2u << 0 | 6u << 3 | 7u << 6 | 1u << 9;
    Expect(Sample(4, PixelFormatOf(Format::DXT5),
                  {50, 150, uint8_t(codes), uint8_t(codes >> 8), 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0}),
           {Argb(70, 0, 255, 0), 0x0000FF00, 0xFF00FF00, Argb(150, 0, 255, 0)}, 2);
}

// ---------------------------------------------------------------- coordinates

class Coordinates : public Stages {
protected:
    // 2 x 2 texture: top-left red, top-right green, bottom-left blue, bottom-right white.
    void Quadrants() {
        const DDPIXELFORMAT pf = PixelFormatOf(Format::X8R8G8B8);
        device_->SetTexture(0, MakeTexture(2, 2, 0, &pf, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
        SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    }
};

TEST_F(Coordinates, CameraSpaceNormalsWithTheEnvironmentMatrixPickTexels) {
    Quadrants();
    D3DMATRIX projection = PixelOrtho(16, 16, 100);
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    D3DMATRIX env = Scale(0.5f, 0.5f, 1);
    env._41 = env._42 = 0.5f;
    device_->SetTransform(D3DTRANSFORMSTATE_TEXTURE0, &env);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    // u = 0.5 nx + 0.5, v = 0.5 ny + 0.5; v = 0 is the top row.
    struct Case {
        float nx, ny;
        uint32_t texel;
    } cases[] = {{-0.5f, -0.5f, 0xFFFF0000}, {0.5f, -0.5f, 0xFF00FF00}, {-0.5f, 0.5f, 0xFF0000FF},
                 {0.5f, 0.5f, 0xFFFFFFFF}, {1.0f, 0.2f, 0xFFFFFFFF}};
    int x = 2;
    for (const Case& c : cases) {
        NVertex v{float(x), 4, 10, c.nx, c.ny, -0.7f, 0, 0};
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, &v, 1, 0), D3D_OK);
        EXPECT_EQ(Pixel(x, 4), c.texel) << "normal " << c.nx << ", " << c.ny;
        x += 2;
    }
}

TEST_F(Coordinates, ReflectionVectorsFollowTheViewerSettingWhateverTheLighting) {
    Quadrants();
    D3DMATRIX projection = PixelOrtho(16, 16, 100);
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    D3DMATRIX env = Scale(0.5f, 0.5f, 1);
    env._41 = env._42 = 0.25f;  // u = 0.5 rx + 0.25, v = 0.5 ry + 0.25
    device_->SetTransform(D3DTRANSFORMSTATE_TEXTURE0, &env);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    // A camera-facing normal at view (14, 14, 1): a local viewer looks along
    // normalize(14, 14, 1) and the reflection points right and down (the white
    // texel); a distant one looks along +z and gets (0, 0, -1) (the red texel).
    NVertex v{14, 14, 1, 0, 0, -1, 0, 0};
    for (DWORD lighting : {FALSE, TRUE})
        for (DWORD specular : {FALSE, TRUE})
            for (DWORD local : {FALSE, TRUE}) {
                device_->SetRenderState(D3DRENDERSTATE_LIGHTING, lighting);
                device_->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, specular);
                device_->SetRenderState(D3DRENDERSTATE_LOCALVIEWER, local);
                ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, &v, 1, 0), D3D_OK);
                EXPECT_EQ(Pixel(14, 14), local ? 0xFFFFFFFFu : 0xFFFF0000u)
                    << "lighting " << lighting << ", specular " << specular << ", local viewer " << local;
            }
}

TEST_F(Coordinates, TwoDimensionalTransformsTakeTheirTranslationFromRowThree) {
    Quadrants();
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DMATRIX m = Identity();
    m._31 = 0.5f;  // (u, v, 1, 0): row three moves u
    device_->SetTransform(D3DTRANSFORMSTATE_TEXTURE0, &m);
    // Pre-transformed vertices ignore texture transforms...
    Quad(0, 0, 8, 8, 0xFFFFFFFF, 0.5f, 0, 0, 0, 0.5f, 0.5f);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    // ...untransformed ones use them.
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    D3DMATRIX projection = PixelOrtho(16, 16, 100);
    device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    LVertex quad[4] = {{0, 0, 10, 0, 0xFFFFFFFF, 0, 0, 0},
                       {8, 0, 10, 0, 0xFFFFFFFF, 0, 0.5f, 0},
                       {0, 8, 10, 0, 0xFFFFFFFF, 0, 0, 0.5f},
                       {8, 8, 10, 0, 0xFFFFFFFF, 0, 0.5f, 0.5f}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, quad, 4, 0), D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFF00FF00u);
    m = Identity();
    m._41 = 0.5f;  // row four: ignored for two-component coordinates
    device_->SetTransform(D3DTRANSFORMSTATE_TEXTURE0, &m);
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, quad, 4, 0);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    // A scale repeats the texture (detail tiling): x 6 over 16 pixels.
    device_->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
    m = Scale(6, 6, 1);
    device_->SetTransform(D3DTRANSFORMSTATE_TEXTURE0, &m);
    LVertex wide[4] = {{0, 0, 10, 0, 0xFFFFFFFF, 0, 0, 0},
                       {16, 0, 10, 0, 0xFFFFFFFF, 0, 1, 0},
                       {0, 1, 10, 0, 0xFFFFFFFF, 0, 0, 1.0f / 16},
                       {16, 1, 10, 0, 0xFFFFFFFF, 0, 1, 1.0f / 16}};
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, wide, 4, 0);
    // Pixel x samples u' = 6x/16: texel 0 where frac(u') < 0.5.
    for (int px : {1, 2, 3, 5}) {
        const double u = 6.0 * px / 16;
        EXPECT_EQ(Pixel(px, 0), u - std::floor(u) < 0.5 ? 0xFFFF0000u : 0xFF00FF00u) << "pixel " << px;
    }
}

TEST_F(Coordinates, FiltersAndAddressModes) {
    // Mip levels of distinct colours: MIPFILTER NONE stays on level 0 however small.
    const DDPIXELFORMAT pf = PixelFormatOf(Format::X8R8G8B8);
    IDirectDrawSurface7* mipped = MakeTexture(4, 4, 0, &pf, std::vector<uint32_t>(16, 0xFFFF0000), 3);
    IDirectDrawSurface7* level = mipped;
    const uint32_t colors[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    level->AddRef();
    for (int i = 1; i < 3; ++i) {
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
        IDirectDrawSurface7* next = nullptr;
        ASSERT_EQ(level->GetAttachedSurface(&caps, &next), DD_OK);
        level->Release();
        level = next;
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        ASSERT_EQ(level->Lock(nullptr, &d, DDLOCK_WRITEONLY, nullptr), DD_OK);
        EXPECT_EQ(d.dwWidth, DWORD(4 >> i));
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(d.lpSurface) + y * size_t(d.lPitch))[x] = colors[i];
        level->Unlock(nullptr);
    }
    level->Release();
    device_->SetTexture(0, mipped);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(0, 0, 1, 1, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
    Quad(0, 0, 1, 1, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(0, 0), 0xFF0000FFu);  // 4 texels to one pixel: level 2

    // Magnification: point keeps texels whole, linear blends at the middle.
    device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_NONE);
    device_->SetTexture(0, MakeTexture(2, 1, 0, &pf, {0xFF000000, 0xFFFFFFFF}));
    device_->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    Quad(0, 0, 16, 1, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(7, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(8, 0), 0xFFFFFFFFu);
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    Quad(0, 0, 16, 1, 0xFFFFFFFF);
    // Pixel 8 samples u = 8/16, the texels' shared edge: half of each.
    EXPECT_TRUE(ColorNear(Pixel(8, 0), 0xFF808080, 3));
    EXPECT_EQ(Pixel(0, 0), 0xFF000000u);

    // Addressing past u = 1: u = 1.25 is texel 0 wrapped, texel 1 mirrored or clamped.
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
    const struct {
        DWORD mode;
        uint32_t texel;
    } modes[] = {{D3DTADDRESS_WRAP, 0xFF000000}, {D3DTADDRESS_MIRROR, 0xFFFFFFFF}, {D3DTADDRESS_CLAMP, 0xFFFFFFFF}};
    for (const auto& m : modes) {
        device_->SetTextureStageState(0, D3DTSS_ADDRESSU, m.mode);
        Quad(0, 0, 16, 1, 0xFFFFFFFF, 0.5f, 0, 1.0f, 0, 2.0f, 1);
        EXPECT_EQ(Pixel(4, 0), m.texel) << "address mode " << m.mode;
    }
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_BORDER);
    device_->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xFF00FF00);
    Quad(0, 0, 16, 1, 0xFFFFFFFF, 0.5f, 0, 1.0f, 0, 2.0f, 1);
    EXPECT_EQ(Pixel(4, 0), 0xFF00FF00u);
}

TEST_F(Coordinates, RenderedTexturesSampleTheRightWayUp) {
    // Draw the four quadrants into a target, pre-transformed and untransformed.
    IDirectDrawSurface7* captured = UseTarget(16, 16, true);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
    Quad(0, 0, 8, 8, 0xFFFF0000);
    Quad(8, 0, 16, 8, 0xFF00FF00);
    Quad(0, 8, 8, 16, 0xFF0000FF);
    // Bottom-right: an untransformed clockwise quad with CCW culling on.
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    LVertex quad[4] = {{0, 0, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                       {1, 0, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                       {0, -1, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                       {1, -1, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, quad, 4, 0), D3D_OK);
    device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);

    UseTarget(32, 32, false);
    device_->SetTexture(0, captured);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Quad(0, 0, 32, 32, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(28, 4), 0xFF00FF00u);
    EXPECT_EQ(Pixel(4, 28), 0xFF0000FFu);
    EXPECT_EQ(Pixel(28, 28), 0xFFFFFFFFu);
    // The capture's own pixels read back the same way.
    const std::vector<uint32_t> pixels = Read(captured);
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[15], 0xFF00FF00u);
    EXPECT_EQ(pixels[15 * 16], 0xFF0000FFu);
    EXPECT_EQ(pixels[255], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace gltest

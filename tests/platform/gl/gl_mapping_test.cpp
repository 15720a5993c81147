// State-to-GL translations: blend factors, cull winding on the flipped targets,
// compare functions, samplers, normal matrices and the pixel-centre constants.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gl/gl_mapping.h"

namespace platform::gl {
namespace {

TEST(GlMapping, BlendFactors) {
    BlendSetting b = MapBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(b.source, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(b.destination, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    b = MapBlend(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE);  // overrides the destination
    EXPECT_EQ(b.destination, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    b = MapBlend(D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE);
    EXPECT_EQ(b.source, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(b.destination, GLenum(GL_SRC_ALPHA));
    b = MapBlend(D3DBLEND_DESTALPHA, D3DBLEND_SRCALPHASAT);
    EXPECT_EQ(b.source, GLenum(GL_DST_ALPHA));
    EXPECT_EQ(b.destination, GLenum(GL_ONE));
    b = MapBlend(0, 99);
    EXPECT_EQ(b.source, GLenum(GL_ONE));
    EXPECT_EQ(b.destination, GLenum(GL_ZERO));
}

// What GL does with a triangle given in window pixels: front when its signed
// area agrees with the front-face setting; culled when culling is on and it
// is not front.
bool GlKeeps(const CullSetting& c, const float (&p)[3][2]) {
    const float area = (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[2][0] - p[0][0]) * (p[1][1] - p[0][1]);
    const bool front = (area > 0) == (c.frontFace == GL_CCW);
    return !c.enabled || front;
}

TEST(GlMapping, CullModesRemoveTheNamedScreenWinding) {
    // Targets keep the platform's top row at GL row 0: a screen point (x, y) is
    // at GL window (x, y). TL, TR, BL is clockwise on screen.
    const float clockwise[3][2] = {{0, 0}, {10, 0}, {0, 10}};
    const float counter[3][2] = {{0, 0}, {0, 10}, {10, 0}};
    EXPECT_TRUE(GlKeeps(MapCull(D3DCULL_CCW), clockwise));
    EXPECT_FALSE(GlKeeps(MapCull(D3DCULL_CCW), counter));
    EXPECT_FALSE(GlKeeps(MapCull(D3DCULL_CW), clockwise));
    EXPECT_TRUE(GlKeeps(MapCull(D3DCULL_CW), counter));
    EXPECT_TRUE(GlKeeps(MapCull(D3DCULL_NONE), clockwise));
    EXPECT_TRUE(GlKeeps(MapCull(D3DCULL_NONE), counter));
    EXPECT_TRUE(GlKeeps(MapCull(0), clockwise));  // unknown values act as the default
}

TEST(GlMapping, CompareFunctions) {
    const GLenum expected[8] = {GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    for (DWORD f = 1; f <= 8; ++f) EXPECT_EQ(MapCompare(f, GL_NONE), expected[f - 1]);
    EXPECT_EQ(MapCompare(0, GL_LEQUAL), GLenum(GL_LEQUAL));
    EXPECT_EQ(MapCompare(9, GL_LEQUAL), GLenum(GL_LEQUAL));
}

TEST(GlMapping, SamplersFollowTheStageFilters) {
    DWORD s[32] = {};
    s[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
    s[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    s[D3DTSS_MIPFILTER] = D3DTFP_NONE;  // level 0 only
    s[D3DTSS_ADDRESSU] = D3DTADDRESS_MIRROR;
    s[D3DTSS_ADDRESSV] = D3DTADDRESS_BORDER;
    s[D3DTSS_BORDERCOLOR] = 0x80FF4000;
    s[D3DTSS_MIPMAPLODBIAS] = FloatBits(-0.5f);
    s[D3DTSS_MAXMIPLEVEL] = 2;
    SamplerSetting m = MapSampler(s);
    EXPECT_EQ(m.minFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(m.magFilter, GLenum(GL_NEAREST));
    EXPECT_EQ(m.wrapS, GLenum(GL_MIRRORED_REPEAT));
    EXPECT_EQ(m.wrapT, GLenum(GL_CLAMP_TO_BORDER));
    EXPECT_FLOAT_EQ(m.borderColor[0], 1.0f);
    EXPECT_FLOAT_EQ(m.borderColor[1], 0x40 / 255.0f);
    EXPECT_FLOAT_EQ(m.borderColor[3], 0x80 / 255.0f);
    EXPECT_FLOAT_EQ(m.lodBias, -0.5f);
    EXPECT_FLOAT_EQ(m.minLod, 2.0f);
    EXPECT_FLOAT_EQ(m.anisotropy, 1.0f);
    s[D3DTSS_MIPFILTER] = D3DTFP_POINT;
    EXPECT_EQ(MapSampler(s).minFilter, GLenum(GL_LINEAR_MIPMAP_NEAREST));
    s[D3DTSS_MINFILTER] = D3DTFN_POINT;
    s[D3DTSS_MIPFILTER] = D3DTFP_LINEAR;
    EXPECT_EQ(MapSampler(s).minFilter, GLenum(GL_NEAREST_MIPMAP_LINEAR));
    s[D3DTSS_ADDRESSU] = 0;
    EXPECT_EQ(MapSampler(s).wrapS, GLenum(GL_REPEAT));
    s[D3DTSS_MINFILTER] = 3;  // anisotropic
    s[D3DTSS_MAXANISOTROPY] = 4;
    EXPECT_FLOAT_EQ(MapSampler(s).anisotropy, 4.0f);
}

TEST(GlMapping, NormalMatrixIsTheInverseOfTheUpperThreeByThree) {
    D3DMATRIX m{};
    m._11 = 2;
    m._22 = 4;
    m._33 = 8;
    m._44 = 1;
    m._41 = 100;  // translation plays no part
    float n[9];
    NormalMatrix(m, n);
    EXPECT_FLOAT_EQ(n[0], 0.5f);
    EXPECT_FLOAT_EQ(n[4], 0.25f);
    EXPECT_FLOAT_EQ(n[8], 0.125f);
    EXPECT_FLOAT_EQ(n[1], 0.0f);
    // A rotation about z: its inverse is its transpose.
    const float c = std::cos(0.3f), s = std::sin(0.3f);
    D3DMATRIX r{};
    r._11 = c;
    r._12 = s;
    r._21 = -s;
    r._22 = c;
    r._33 = r._44 = 1;
    NormalMatrix(r, n);
    EXPECT_NEAR(n[1], -s, 1e-6);
    EXPECT_NEAR(n[3], s, 1e-6);
    D3DMATRIX flat{};
    flat._11 = flat._22 = 1;  // singular
    NormalMatrix(flat, n);
    for (float v : n) EXPECT_EQ(v, 0.0f);
}

TEST(GlMapping, MultiplyAppliesTheLeftMatrixFirst) {
    D3DMATRIX move{}, scale{};
    move._11 = move._22 = move._33 = move._44 = 1;
    move._41 = 1;
    scale._11 = 2;
    scale._22 = scale._33 = scale._44 = 1;
    EXPECT_FLOAT_EQ(D3DMatrixMultiply(move, scale)._41, 2.0f);  // moved, then scaled
    EXPECT_FLOAT_EQ(D3DMatrixMultiply(scale, move)._41, 1.0f);
}

TEST(GlMapping, PixelCentreConstantsPlaceVerticesJustShortOfHalfAGlPixel) {
    // At the logical size and on a target drawn at twice the resolution, where
    // the shift is half a GL pixel so edges on logical pixels stay on GL edges.
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const D3DVIEWPORT7 v{16, 8, 640, 480, 0, 1};
        float rect[4], offset[2];
        ViewportUniforms(v, scale, scale, rect, offset);
        // The shader's placement: ndc = (s - origin) * 2 / size - 1, plus the
        // offset; then GL's viewport, in GL pixels.
        const auto glX = [&](float sx) {
            const float ndc = (sx - rect[0]) * rect[2] - 1 + offset[0];
            return float(scale * (v.dwX + (ndc + 1) * v.dwWidth / 2));
        };
        const auto glY = [&](float sy) {
            const float ndc = (sy - rect[1]) * rect[3] - 1 + offset[1];
            return float(scale * (v.dwY + (ndc + 1) * v.dwHeight / 2));
        };
        const float s = float(scale);
        EXPECT_NEAR(glX(16), 16 * s + 63.0f / 128, 1e-3);
        EXPECT_NEAR(glY(8), 8 * s + 63.0f / 128, 1e-3);
        EXPECT_NEAR(glX(656), 656 * s + 63.0f / 128, 1e-2);
        // An edge on a pixel boundary lands just before that GL pixel's centre,
        // so GL pixel 16s is inside a quad starting at 16 and 24s outside one ending there.
        EXPECT_LT(glX(16), 16 * s + 0.5f);
        EXPECT_LT(glX(24), 24 * s + 0.5f);
        EXPECT_GT(glX(24), 24 * s);
    }
}

}  // namespace
}  // namespace platform::gl

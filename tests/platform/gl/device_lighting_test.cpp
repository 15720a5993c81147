// Per-vertex lighting, material sources and fog of the GL device against the
// fixed-function equations. Untransformed points are drawn one pixel each (the
// projection maps view x, y to target pixels), so every expected colour is the
// equation evaluated at that vertex.
#include <cmath>

#include "tests/platform/gl/gl_fixture.h"

namespace gltest {
namespace {

struct Vec {
    double x, y, z;
};
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Normalize(Vec a) {
    const double l = std::sqrt(Dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

class Lighting : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        UseTarget(16, 16, false, true);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
        D3DMATRIX projection = PixelOrtho(16, 16, 200);
        device_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
        D3DMATERIAL7 m{};
        m.dcvDiffuse = {1, 1, 1, 1};
        m.dcvAmbient = {1, 1, 1, 1};
        device_->SetMaterial(&m);
    }

    // One lit point at view position p with normal n; returns its pixel.
    uint32_t LitPoint(Vec p, Vec n, DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL) {
        NDVertex v{float(p.x), float(p.y), float(p.z), float(n.x), float(n.y), float(n.z), 0xFFFFFFFF, 0};
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, fvf, &v, 1, 0), D3D_OK);
        return Pixel(int(p.x), int(p.y));
    }

    static D3DLIGHT7 Light(D3DLIGHTTYPE type, D3DCOLORVALUE diffuse) {
        D3DLIGHT7 l{};
        l.dltType = type;
        l.dcvDiffuse = diffuse;
        l.dvRange = 1000;
        l.dvAttenuation0 = 1;
        return l;
    }
};

TEST_F(Lighting, DirectionalLightFacingTheNormalGivesFullDiffusePlusAmbient) {
    D3DLIGHT7 light = Light(D3DLIGHT_DIRECTIONAL, {0.8f, 0.6f, 0.4f, 1});
    light.dvDirection = {0, 0, 1};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00202020);
    const double g = 0x20 / 255.0;
    EXPECT_TRUE(ColorNear(LitPoint({4, 4, 10}, {0, 0, -1}), Argb(255, To8(0.8 + g), To8(0.6 + g), To8(0.4 + g)), 1));
    // Half-way round: N.L = cos 60 degrees.
    const double s = std::sin(M_PI / 3), c = std::cos(M_PI / 3);
    EXPECT_TRUE(ColorNear(LitPoint({6, 4, 10}, {s, 0, -c}), Argb(255, To8(0.8 * c + g), To8(0.6 * c + g), To8(0.4 * c + g)), 1));
    // Facing away: ambient only.
    EXPECT_TRUE(ColorNear(LitPoint({8, 4, 10}, {0, 0, 1}), Argb(255, To8(g), To8(g), To8(g)), 1));
}

TEST_F(Lighting, PointLightAttenuatesWithDistanceAndStopsAtItsRange) {
    D3DLIGHT7 light = Light(D3DLIGHT_POINT, {1, 1, 1, 1});
    light.dcvAmbient = {0.2f, 0.2f, 0.2f, 1};
    light.dvPosition = {4, 4, 8};  // two units in front of the point below
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    EXPECT_TRUE(ColorNear(LitPoint({4, 4, 10}, {0, 0, -1}), Argb(255, 255, 255, 255), 1));  // (1, 0, 0): 1
    light.dvAttenuation0 = 0;
    light.dvAttenuation2 = 1;  // (0, 0, 1): 1 / d^2 = 0.25
    device_->SetLight(0, &light);
    // Diffuse 1 and ambient 0.2, both attenuated.
    EXPECT_TRUE(ColorNear(LitPoint({4, 4, 10}, {0, 0, -1}), Argb(255, To8(1.2 * 0.25), To8(1.2 * 0.25), To8(1.2 * 0.25)), 1));
    light.dvAttenuation1 = 1;
    light.dvAttenuation2 = 0;  // (0, 1, 0): 1 / d
    device_->SetLight(0, &light);
    EXPECT_TRUE(ColorNear(LitPoint({4, 4, 10}, {0, 0, -1}), Argb(255, To8(1.2 * 0.5), To8(1.2 * 0.5), To8(1.2 * 0.5)), 1));
    light.dvRange = 1.5f;  // out of range: nothing, not even its ambient
    device_->SetLight(0, &light);
    EXPECT_EQ(LitPoint({4, 4, 10}, {0, 0, -1}), 0xFF000000u);
}

TEST_F(Lighting, SpotLightFallsOffBetweenItsCones) {
    D3DLIGHT7 light = Light(D3DLIGHT_SPOT, {1, 1, 1, 1});
    light.dvPosition = {8, 8, 0};
    light.dvDirection = {0, 0, 1};
    light.dvTheta = 0.4f;
    light.dvPhi = 1.0f;
    light.dvFalloff = 2.0f;
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    const Vec lightPos{8, 8, 0};
    // Angles atan(0.1), atan(0.3), atan(0.4): inside, between, between the half-angles 0.2 and 0.5.
    for (double dx : {1.0, 3.0, 4.0}) {
        const Vec p{8 + dx, 8, 10};
        const Vec toLight = Normalize(Sub(lightPos, p));
        const double rho = -Dot(toLight, {0, 0, 1});
        const double inner = std::cos(0.2), outer = std::cos(0.5);
        const double spot = rho > inner ? 1.0 : rho <= outer ? 0.0 : std::pow((rho - outer) / (inner - outer), 2.0);
        const int v = To8(spot);  // N faces the light: N.L = 1
        EXPECT_TRUE(ColorNear(LitPoint(p, toLight), Argb(255, v, v, v), 1)) << "offset " << dx;
    }
    const Vec outside{15, 8, 10};  // atan(0.7), past the outer cone
    EXPECT_EQ(LitPoint(outside, Normalize(Sub(lightPos, outside))), 0xFF000000u);
}

TEST_F(Lighting, SpecularFollowsBlinnAndTheEnableState) {
    D3DLIGHT7 light = Light(D3DLIGHT_DIRECTIONAL, {0, 0, 0, 1});
    light.dcvSpecular = {0.5f, 0.25f, 0.125f, 1};
    light.dvDirection = {0, 0, 1};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    D3DMATERIAL7 m{};
    m.dcvDiffuse = {0, 0, 0, 1};
    m.dcvSpecular = {1, 1, 1, 1};
    m.dvPower = 0;  // a factor of exactly 1 wherever N.L > 0 and N.H > 0
    device_->SetMaterial(&m);
    EXPECT_EQ(LitPoint({4, 4, 10}, {0, 0, -1}), 0xFF000000u);  // off by default
    device_->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    EXPECT_TRUE(ColorNear(LitPoint({4, 4, 10}, {0.3, 0, -0.954}), Argb(255, 128, 64, 32), 1));

    m.dvPower = 8;
    device_->SetMaterial(&m);
    const Vec p{6, 5, 10};
    const Vec n = Normalize({0.2, 0.1, -1});
    const Vec h = Normalize(Add(Vec{0, 0, -1}, Normalize({-p.x, -p.y, -p.z})));  // L + V, local viewer
    const double f = std::pow(Dot(n, h), 8.0);
    EXPECT_TRUE(ColorNear(LitPoint(p, n), Argb(255, To8(0.5 * f), To8(0.25 * f), To8(0.125 * f)), 1));
    // Non-local viewer: V = (0, 0, -1), so H = (0, 0, -1).
    device_->SetRenderState(D3DRENDERSTATE_LOCALVIEWER, FALSE);
    const double g = std::pow(-n.z, 8.0);
    EXPECT_TRUE(ColorNear(LitPoint(p, n), Argb(255, To8(0.5 * g), To8(0.25 * g), To8(0.125 * g)), 1));
}

TEST_F(Lighting, VerticesWithoutNormalsGetAmbientAndEmissiveOnly) {
    D3DLIGHT7 light = Light(D3DLIGHT_DIRECTIONAL, {1, 1, 1, 1});
    light.dcvAmbient = {0.1f, 0.1f, 0.1f, 0};
    light.dvDirection = {0, 0, 1};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    D3DMATERIAL7 m{};
    m.dcvDiffuse = {1, 1, 1, 1};
    m.dcvAmbient = {0.5f, 0.5f, 0.5f, 1};
    m.dcvEmissive = {0.2f, 0, 0, 0};
    device_->SetMaterial(&m);
    device_->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00404040);
    LVertex v{3, 3, 10, 0, 0x6000FF00, 0, 0, 0};  // the vertex's green is lost, its alpha kept
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_LVERTEX, &v, 1, 0), D3D_OK);
    const double ambient = 0.5 * (0x40 / 255.0 + 0.1);
    EXPECT_TRUE(ColorNear(Pixel(3, 3), Argb(0x60, To8(ambient + 0.2), To8(ambient), To8(ambient)), 1));

    // Unlit, the same vertex keeps its own colours.
    device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_LVERTEX, &v, 1, 0), D3D_OK);
    EXPECT_EQ(Pixel(3, 3), 0x6000FF00u);
}

TEST_F(Lighting, MaterialSourcesPickVertexOrMaterialColours) {
    D3DLIGHT7 light = Light(D3DLIGHT_DIRECTIONAL, {1, 1, 1, 1});
    light.dvDirection = {0, 0, 1};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    D3DMATERIAL7 m{};
    m.dcvDiffuse = {0, 0, 1, 1};
    device_->SetMaterial(&m);
    NDVertex v{5, 5, 10, 0, 0, -1, 0xFFFF0000, 0};
    const DWORD fvf = kFvfNormalDiffuseSpecular;
    device_->DrawPrimitive(D3DPT_POINTLIST, fvf, &v, 1, 0);
    EXPECT_TRUE(ColorNear(Pixel(5, 5), 0xFFFF0000u, 1));  // COLOR1 by default
    device_->SetRenderState(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->DrawPrimitive(D3DPT_POINTLIST, fvf, &v, 1, 0);
    EXPECT_TRUE(ColorNear(Pixel(5, 5), 0xFF0000FFu, 1));
    device_->SetRenderState(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device_->SetRenderState(D3DRENDERSTATE_COLORVERTEX, FALSE);
    device_->DrawPrimitive(D3DPT_POINTLIST, fvf, &v, 1, 0);
    EXPECT_TRUE(ColorNear(Pixel(5, 5), 0xFF0000FFu, 1));
    // Emissive from the vertex specular colour.
    device_->SetRenderState(D3DRENDERSTATE_COLORVERTEX, TRUE);
    device_->SetRenderState(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR2);
    device_->SetRenderState(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    v.specular = 0xFF00FF00;
    device_->DrawPrimitive(D3DPT_POINTLIST, fvf, &v, 1, 0);
    EXPECT_TRUE(ColorNear(Pixel(5, 5), 0xFF00FFFFu, 1));
}

class Fog : public Lighting {
protected:
    void SetUp() override {
        Lighting::SetUp();
        device_->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
        device_->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x00204080);
    }
    uint32_t FoggedPoint(float z, D3DCOLOR color = 0x80FFFFFF) {
        LVertex v{7, 7, z, 0, color, 0, 0, 0};
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_LVERTEX, &v, 1, 0), D3D_OK);
        return Pixel(7, 7);
    }
    static uint32_t Expected(double f, uint32_t color = 0x80FFFFFF) {
        const auto mix = [f](int c, int fog) { return To8((f * c + (1 - f) * fog) / 255.0); };
        return Argb(Channel(color, 24), mix(Channel(color, 16), 0x20), mix(Channel(color, 8), 0x40),
                    mix(Channel(color, 0), 0x80));
    }
};

TEST_F(Fog, VertexFogModesFollowTheirFormulas) {
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device_->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(10));
    device_->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(100));
    EXPECT_TRUE(ColorNear(FoggedPoint(55), Expected(0.5), 1));  // alpha untouched
    EXPECT_TRUE(ColorNear(FoggedPoint(5), Expected(1.0), 1));
    EXPECT_TRUE(ColorNear(FoggedPoint(150), Expected(0.0), 1));
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_EXP);
    device_->SetRenderState(D3DRENDERSTATE_FOGDENSITY, FloatBits(0.02f));
    EXPECT_TRUE(ColorNear(FoggedPoint(50), Expected(std::exp(-1.0)), 1));
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_EXP2);
    EXPECT_TRUE(ColorNear(FoggedPoint(25), Expected(std::exp(-0.25)), 1));
    EXPECT_TRUE(ColorNear(FoggedPoint(50), Expected(std::exp(-1.0)), 1));
    // Equal start and end fog everything.
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device_->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(50));
    device_->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(50));
    EXPECT_TRUE(ColorNear(FoggedPoint(20), Expected(0.0), 1));
    device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
    EXPECT_EQ(FoggedPoint(20), 0x80FFFFFFu);
}

TEST_F(Fog, PretransformedVerticesTakeTheFactorFromSpecularAlpha) {
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);  // does not apply to them
    Quad(0, 0, 16, 16, 0xFFFFFFFF, 0.5f, 0x00000000);
    EXPECT_TRUE(ColorNear(Pixel(8, 8), Argb(255, 0x20, 0x40, 0x80), 1));
    Quad(0, 0, 16, 16, 0xFFFFFFFF, 0.5f, 0xFF000000);
    EXPECT_EQ(Pixel(8, 8), 0xFFFFFFFFu);
    Quad(0, 0, 16, 16, 0xFFFFFFFF, 0.5f, 0x80000000);
    EXPECT_TRUE(ColorNear(Pixel(8, 8), Expected(128 / 255.0, 0xFFFFFFFF), 1));
}

TEST_F(Fog, FogComesAfterTheSpecularAdd) {
    device_->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_NONE);
    device_->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    // Specular 0x80400000 adds (0.25, 0, 0) and its alpha 0x80 is the fog factor.
    Quad(0, 0, 16, 16, 0xFF404040, 0.5f, 0x80400000);
    const double f = 128 / 255.0;
    const uint32_t added = Argb(255, 0x80, 0x40, 0x40);
    const auto mix = [f](int c, int fog) { return To8((f * c + (1 - f) * fog) / 255.0); };
    EXPECT_TRUE(ColorNear(Pixel(8, 8),
                          Argb(255, mix(Channel(added, 16), 0x20), mix(Channel(added, 8), 0x40), mix(Channel(added, 0), 0x80)),
                          1));
}

}  // namespace
}  // namespace gltest

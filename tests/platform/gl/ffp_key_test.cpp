// Vertex-format decoding and the derivation of the pipeline key from device
// state: which states select a different shader and which must not.
#include <gtest/gtest.h>

#include "platform/gl/ffp_glsl.h"
#include "platform/gl/ffp_state.h"

namespace platform::gl {
namespace {

TEST(FvfLayout, DecodesTheEngineFormats) {
    const FvfLayout tl = DecodeFvf(D3DFVF_TLVERTEX);
    ASSERT_TRUE(tl.valid);
    EXPECT_TRUE(tl.pretransformed);
    EXPECT_EQ(tl.stride, 32);
    EXPECT_EQ(tl.diffuse, 16);
    EXPECT_EQ(tl.specular, 20);
    EXPECT_EQ(tl.texOffset[0], 24);
    const FvfLayout lit = DecodeFvf(D3DFVF_LVERTEX);  // reserved word before the colours
    EXPECT_EQ(lit.stride, 32);
    EXPECT_EQ(lit.normal, -1);
    EXPECT_EQ(lit.diffuse, 16);
    const int strides[5] = {24, 32, 40, 48, 56};
    for (DWORD sets = 0; sets <= 4; ++sets) {
        const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | sets << D3DFVF_TEXCOUNT_SHIFT;
        const FvfLayout l = DecodeFvf(fvf);
        EXPECT_EQ(l.stride, strides[sets]) << sets;
        EXPECT_EQ(l.stride, int(FvfStride(fvf)));
        EXPECT_EQ(l.normal, 12);
        EXPECT_EQ(l.texCount, int(sets));
    }
    // Size bits: set 0 with three floats, set 1 with one.
    const FvfLayout sized = DecodeFvf(D3DFVF_XYZ | D3DFVF_TEX2 | 1u << 16 | 3u << 18);
    EXPECT_EQ(sized.texSize[0], 3);
    EXPECT_EQ(sized.texSize[1], 1);
    EXPECT_EQ(sized.texOffset[1], 24);
    EXPECT_EQ(sized.stride, 28);
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZRHW | D3DFVF_NORMAL).valid);
    EXPECT_FALSE(DecodeFvf(D3DFVF_DIFFUSE).valid);
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | 0x900).valid);
}

class KeyTest : public ::testing::Test {
protected:
    void SetUp() override { state.SetDefaults(640, 480, true); }
    FfpKey Key(DWORD fvf, uint32_t textures = 0) const { return DeriveKey(state, DecodeFvf(fvf), textures); }
    FfpState state;
};

TEST_F(KeyTest, DefaultStageWithoutTextureIsAPassThrough) {
    FfpKey k = Key(D3DFVF_TLVERTEX);
    ASSERT_EQ(k.stageCount, 1);
    EXPECT_EQ(k.stages[0].colorOp, D3DTOP_SELECTARG1);
    EXPECT_EQ(k.stages[0].colorArg1, D3DTA_CURRENT);
    EXPECT_EQ(k.stages[0].alphaOp, D3DTOP_SELECTARG1);
    EXPECT_EQ(k.stages[0].alphaArg1, D3DTA_CURRENT);
    EXPECT_EQ(k.stages[0].sampled, 0);
    k = Key(D3DFVF_TLVERTEX, 1);
    EXPECT_EQ(k.stages[0].colorOp, D3DTOP_MODULATE);
    EXPECT_EQ(k.stages[0].colorArg1, D3DTA_TEXTURE);
    EXPECT_EQ(k.stages[0].sampled, 1);
    // A texture on a stage the cascade never reaches changes nothing.
    EXPECT_EQ(Key(D3DFVF_TLVERTEX, 1), Key(D3DFVF_TLVERTEX, 1 | 4));
}

TEST_F(KeyTest, UnboundTextureRuleKeepsTheOtherArgumentWhenItIsSelected) {
    state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG2;
    state.stage[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    FfpKey k = Key(D3DFVF_TLVERTEX);
    EXPECT_EQ(k.stages[0].colorOp, D3DTOP_SELECTARG2);
    EXPECT_EQ(k.stages[0].colorArg2, D3DTA_DIFFUSE);
    state.stage[0][D3DTSS_COLOROP] = D3DTOP_BLENDTEXTUREALPHA;  // reads the texture's alpha
    state.stage[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
    k = Key(D3DFVF_TLVERTEX);
    EXPECT_EQ(k.stages[0].colorOp, D3DTOP_SELECTARG1);
    EXPECT_EQ(k.stages[0].colorArg1, D3DTA_CURRENT);
}

TEST_F(KeyTest, CascadeStopsAtTheFirstDisabledColourOperation) {
    state.stage[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
    state.stage[2][D3DTSS_COLOROP] = D3DTOP_ADD;
    EXPECT_EQ(Key(D3DFVF_TLVERTEX, 7).stageCount, 1);
    state.stage[1][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    state.stage[1][D3DTSS_ALPHAOP] = D3DTOP_DISABLE;  // alpha passes through
    const FfpKey k = Key(D3DFVF_TLVERTEX, 7);
    EXPECT_EQ(k.stageCount, 3);
    EXPECT_EQ(k.stages[1].alphaOp, D3DTOP_SELECTARG1);
    EXPECT_EQ(k.stages[1].alphaArg1, D3DTA_CURRENT);
    state.stage[0][D3DTSS_COLOROP] = D3DTOP_DISABLE;
    EXPECT_EQ(Key(D3DFVF_TLVERTEX, 7).stageCount, 0);
}

TEST_F(KeyTest, PretransformedVerticesIgnoreTheVertexPipeline) {
    state.lightEnabled[0] = true;
    state.lights[0].dltType = D3DLIGHT_POINT;
    state.stage[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACENORMAL;
    state.stage[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;
    state.render[D3DRENDERSTATE_FOGENABLE] = TRUE;
    state.render[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
    FfpKey k = Key(D3DFVF_TLVERTEX, 1);
    EXPECT_EQ(k.lighting, 0);
    EXPECT_EQ(k.lightType[0], 0);
    EXPECT_EQ(k.stages[0].coordSource, 0);  // set 0, no generation
    EXPECT_EQ(k.stages[0].transform, 0);
    EXPECT_EQ(k.fog, kFogSpecularAlpha);
    k = Key(D3DFVF_VERTEX, 1);
    EXPECT_EQ(k.lighting, 1);
    EXPECT_EQ(k.lightType[0], D3DLIGHT_POINT);
    EXPECT_EQ(k.stages[0].coordSource, kGenNormal << 4);
    EXPECT_EQ(k.stages[0].transform, D3DTTFF_COUNT2);
    EXPECT_EQ(k.fog, kFogVertexLinear);
    state.render[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_EXP;  // table fog wins for every vertex
    EXPECT_EQ(Key(D3DFVF_TLVERTEX).fog, kFogTableExp);
}

TEST_F(KeyTest, LightsAppearInIndexOrderAndOnlyWhenLit) {
    state.lightEnabled[5] = state.lightEnabled[2] = true;
    state.lights[5].dltType = D3DLIGHT_SPOT;
    state.lights[2].dltType = D3DLIGHT_DIRECTIONAL;
    FfpKey k = Key(D3DFVF_VERTEX);
    EXPECT_EQ(k.lightType[0], D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(k.lightType[1], D3DLIGHT_SPOT);
    EXPECT_EQ(k.lightType[2], 0);
    // Without a diffuse colour every material source is the material.
    EXPECT_EQ(k.diffuseSource, D3DMCS_MATERIAL);
    k = Key(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    EXPECT_EQ(k.diffuseSource, D3DMCS_COLOR1);
    EXPECT_EQ(k.specularSource, D3DMCS_MATERIAL);  // COLOR2 asked for, no specular given
    state.render[D3DRENDERSTATE_LIGHTING] = FALSE;
    k = Key(D3DFVF_VERTEX);
    EXPECT_EQ(k.lighting, 0);
    EXPECT_EQ(k.lightType[0], 0);
    EXPECT_EQ(k.diffuseSource, 0);
}

TEST_F(KeyTest, ValuesThatOnlyFeedConstantsKeepTheKey) {
    state.render[D3DRENDERSTATE_FOGENABLE] = TRUE;
    state.render[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_EXP;
    state.render[D3DRENDERSTATE_ALPHATESTENABLE] = TRUE;
    state.render[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_GREATER;
    state.lightEnabled[0] = true;
    state.lights[0].dltType = D3DLIGHT_POINT;
    const FfpKey before = Key(D3DFVF_VERTEX, 1);
    state.render[D3DRENDERSTATE_FOGSTART] = FloatBits(3);
    state.render[D3DRENDERSTATE_FOGDENSITY] = FloatBits(0.5f);
    state.render[D3DRENDERSTATE_FOGCOLOR] = 0x123456;
    state.render[D3DRENDERSTATE_AMBIENT] = 0x404040;
    state.render[D3DRENDERSTATE_TEXTUREFACTOR] = 0x80808080;
    state.render[D3DRENDERSTATE_ALPHAREF] = 99;
    state.render[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_SRCALPHA;
    state.lights[0].dvRange = 5;
    state.lights[0].dcvDiffuse = {1, 0, 0, 1};
    state.material.dvPower = 12;
    state.world._41 = 3;
    state.texture[0]._31 = 0.5f;
    state.stage[0][D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
    const FfpKey after = Key(D3DFVF_VERTEX, 1);
    EXPECT_EQ(before, after);
    EXPECT_EQ(FfpKeyHash()(before), FfpKeyHash()(after));
    state.render[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_LESS;
    EXPECT_FALSE(before == Key(D3DFVF_VERTEX, 1));
    state.render[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;  // as good as no test
    state.render[D3DRENDERSTATE_ALPHATESTENABLE] = FALSE;
    EXPECT_EQ(Key(D3DFVF_VERTEX, 1).alphaFunc, 0);
}

TEST_F(KeyTest, CoordinateSourcesAndTransforms) {
    state.stage[0][D3DTSS_TEXCOORDINDEX] = 3;  // the vertex has one set only
    EXPECT_EQ(Key(D3DFVF_VERTEX, 1).stages[0].coordSource, kNoCoordSet);
    state.stage[0][D3DTSS_TEXCOORDINDEX] = 1;
    EXPECT_EQ(Key(D3DFVF_XYZ | D3DFVF_TEX2, 1).stages[0].coordSource, 1);
    state.stage[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT3 | D3DTTFF_PROJECTED;
    EXPECT_EQ(Key(D3DFVF_XYZ | D3DFVF_TEX2, 1).stages[0].transform, 3 | 8);
    state.stage[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT1;  // as no transform
    EXPECT_EQ(Key(D3DFVF_XYZ | D3DFVF_TEX2, 1).stages[0].transform, 0);
}

TEST_F(KeyTest, ViewerSettingReachesReflectionsWhateverTheLighting) {
    // Reflection vectors follow LOCALVIEWER with lighting on or off and specular on
    // or off; without them only lit specular highlights read it.
    for (DWORD lighting : {FALSE, TRUE})
        for (DWORD specular : {FALSE, TRUE})
            for (DWORD reflect : {FALSE, TRUE})
                for (DWORD local : {FALSE, TRUE}) {
                    state.render[D3DRENDERSTATE_LIGHTING] = lighting;
                    state.render[D3DRENDERSTATE_SPECULARENABLE] = specular;
                    state.render[D3DRENDERSTATE_LOCALVIEWER] = local;
                    state.stage[0][D3DTSS_TEXCOORDINDEX] = reflect ? D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR : 0;
                    const FfpKey k = Key(D3DFVF_VERTEX, 1);
                    const bool matters = reflect || (lighting && specular);
                    EXPECT_EQ(k.localViewer, matters && local)
                        << "lighting " << lighting << ", specular " << specular << ", reflection " << reflect;
                }
}

TEST_F(KeyTest, GeneratedShadersDeclareWhatTheirKeyUses) {
    // Flat shading and the alpha test appear in the source; an unused light does not.
    state.render[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
    state.render[D3DRENDERSTATE_ALPHATESTENABLE] = TRUE;
    state.render[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
    const FfpKey k = Key(D3DFVF_VERTEX, 1);
    const std::string vs = GenerateVertexShader(k), fs = GenerateFragmentShader(k);
    EXPECT_NE(vs.find("flat out vec4 vDiffuse"), std::string::npos);
    EXPECT_NE(fs.find(">= uAlphaRef"), std::string::npos);
    EXPECT_EQ(vs.find("uLightDiffuse"), std::string::npos);
    EXPECT_NE(vs.find("clip.z = 2.0 * clip.z - clip.w"), std::string::npos);
}

}  // namespace
}  // namespace platform::gl

// Fixed-function state defaults and key derivation (see ffp_state.h).
#include "platform/gl/ffp_state.h"

#include <cstring>

namespace platform::gl {

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool UsesArg1(DWORD op) { return op != D3DTOP_SELECTARG2; }
bool UsesArg2(DWORD op) { return op != D3DTOP_SELECTARG1; }
bool ReadsTextureAlpha(DWORD op) { return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM; }
bool IsTexture(DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

// Operations the device carries out; anything else passes CURRENT through.
DWORD NormalizeOp(DWORD op, bool alpha) {
    switch (op) {
        case D3DTOP_PREMODULATE: return D3DTOP_MODULATE;
        case D3DTOP_BUMPENVMAP:
        case D3DTOP_BUMPENVMAPLUMINANCE: return 0;  // pass-through, see below
        case D3DTOP_MODULATEALPHA_ADDCOLOR:
        case D3DTOP_MODULATECOLOR_ADDALPHA:
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return alpha ? DWORD(D3DTOP_SELECTARG1) : op;
        default: return op >= D3DTOP_SELECTARG1 && op <= D3DTOP_DOTPRODUCT3 ? op : 0;
    }
}

// One pipeline (colour or alpha) of one stage, with the unbound-texture rule: an
// operation that reads a texture the stage lacks becomes a pass-through of
// CURRENT, unless the texture sits only in the argument the operation ignores.
void ResolvePipeline(DWORD op, DWORD arg1, DWORD arg2, bool alpha, bool hasTexture, uint8_t* outOp,
                     uint8_t* outArg1, uint8_t* outArg2) {
    op = NormalizeOp(op, alpha);
    if (op == 0) {
        op = D3DTOP_SELECTARG1;
        arg1 = D3DTA_CURRENT;
    }
    arg1 &= 0x3F;
    arg2 &= 0x3F;
    if (!hasTexture) {
        const bool readsTexture = (UsesArg1(op) && IsTexture(arg1)) || (UsesArg2(op) && IsTexture(arg2)) ||
                                  ReadsTextureAlpha(op);
        if (readsTexture) {
            op = D3DTOP_SELECTARG1;
            arg1 = D3DTA_CURRENT;
        }
    }
    if (!UsesArg1(op)) arg1 = 0;
    if (!UsesArg2(op)) arg2 = 0;
    if (alpha) {  // alpha arguments read one channel: the replicate modifier is moot
        arg1 &= ~D3DTA_ALPHAREPLICATE;
        arg2 &= ~D3DTA_ALPHAREPLICATE;
    }
    *outOp = uint8_t(op);
    *outArg1 = uint8_t(arg1);
    *outArg2 = uint8_t(arg2);
}

bool StageSamples(const FfpStageKey& s) {
    return IsTexture(s.colorArg1) || IsTexture(s.colorArg2) || IsTexture(s.alphaArg1) || IsTexture(s.alphaArg2) ||
           ReadsTextureAlpha(s.colorOp) || ReadsTextureAlpha(s.alphaOp);
}

}  // namespace

void FfpState::SetDefaults(DWORD width, DWORD height, bool hasDepth) {
    std::memset(render, 0, sizeof render);
    std::memset(stage, 0, sizeof stage);
    render[D3DRENDERSTATE_ZENABLE] = hasDepth ? TRUE : FALSE;
    render[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    render[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    render[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    render[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    render[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    render[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    render[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    render[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    render[D3DRENDERSTATE_FOGSTART] = FloatBits(0.0f);
    render[D3DRENDERSTATE_FOGEND] = FloatBits(1.0f);
    render[D3DRENDERSTATE_FOGDENSITY] = FloatBits(1.0f);
    render[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFF;
    render[D3DRENDERSTATE_CLIPPING] = TRUE;
    render[D3DRENDERSTATE_LIGHTING] = TRUE;
    render[D3DRENDERSTATE_COLORVERTEX] = TRUE;
    render[D3DRENDERSTATE_LOCALVIEWER] = TRUE;
    render[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    render[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    render[D3DRENDERSTATE_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    render[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    for (int i = 0; i < kMaxTextureStages; ++i) {
        DWORD* s = stage[i];
        s[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = DWORD(i);
        s[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        s[D3DTSS_MINFILTER] = D3DTFN_POINT;
        s[D3DTSS_MIPFILTER] = D3DTFP_NONE;
        s[D3DTSS_MAXANISOTROPY] = 1;
        s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        texture[i] = Identity();
    }
    world = view = projection = Identity();
    std::memset(lights, 0, sizeof lights);
    std::memset(lightEnabled, 0, sizeof lightEnabled);
    std::memset(&material, 0, sizeof material);
    viewport = {0, 0, width, height, 0.0f, 1.0f};
}

int ActiveLights(const FfpState& state, int out[kMaxLights]) {
    int n = 0;
    for (int i = 0; i < kLightSlots && n < kMaxLights; ++i) {
        if (!state.lightEnabled[i]) continue;
        const int type = state.lights[i].dltType;
        if (type < D3DLIGHT_POINT || type > D3DLIGHT_DIRECTIONAL) continue;
        out[n++] = i;
    }
    return n;
}

bool FfpKey::operator==(const FfpKey& other) const { return std::memcmp(this, &other, sizeof(FfpKey)) == 0; }

size_t FfpKeyHash::operator()(const FfpKey& key) const {
    // FNV-1a over the bytes; the key is all bytes, so there is no padding.
    static_assert(sizeof(FfpKey) == 34 + kMaxTextureStages * sizeof(FfpStageKey));
    const auto* p = reinterpret_cast<const uint8_t*>(&key);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof key; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return size_t(h);
}

FfpKey DeriveKey(const FfpState& s, const FvfLayout& layout, uint32_t boundTextures) {
    FfpKey k;
    std::memset(&k, 0, sizeof k);
    const DWORD* rs = s.render;
    k.pretransformed = layout.pretransformed;
    k.hasNormal = layout.normal >= 0;
    k.hasDiffuse = layout.diffuse >= 0;
    k.hasSpecular = layout.specular >= 0;
    k.texSetCount = uint8_t(layout.texCount);
    for (int i = 0; i < layout.texCount; ++i) k.texSetSize[i] = uint8_t(layout.texSize[i]);
    k.flatShade = rs[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
    k.specularEnable = rs[D3DRENDERSTATE_SPECULARENABLE] != FALSE;

    // Texture stages: the cascade ends at the first disabled colour operation.
    bool usesNormal = false;
    for (int i = 0; i < kMaxTextureStages; ++i) {
        const DWORD* ss = s.stage[i];
        if (ss[D3DTSS_COLOROP] == D3DTOP_DISABLE || ss[D3DTSS_COLOROP] == 0) break;
        FfpStageKey& st = k.stages[i];
        const bool hasTexture = boundTextures & (1u << i);
        ResolvePipeline(ss[D3DTSS_COLOROP], ss[D3DTSS_COLORARG1], ss[D3DTSS_COLORARG2], false, hasTexture,
                        &st.colorOp, &st.colorArg1, &st.colorArg2);
        if (ss[D3DTSS_ALPHAOP] == D3DTOP_DISABLE || ss[D3DTSS_ALPHAOP] == 0) {
            // Undefined in the platform; alpha passes through unchanged.
            st.alphaOp = D3DTOP_SELECTARG1;
            st.alphaArg1 = D3DTA_CURRENT;
        } else {
            ResolvePipeline(ss[D3DTSS_ALPHAOP], ss[D3DTSS_ALPHAARG1], ss[D3DTSS_ALPHAARG2], true, hasTexture,
                            &st.alphaOp, &st.alphaArg1, &st.alphaArg2);
        }
        k.stageCount = uint8_t(i + 1);
        st.sampled = StageSamples(st);
        if (!st.sampled) continue;
        const DWORD tci = ss[D3DTSS_TEXCOORDINDEX];
        const DWORD set = tci & 0xFFFF;
        const DWORD gen = (tci >> 16) & 0xFFFF;
        if (!layout.pretransformed && gen >= 1 && gen <= 3) {
            st.coordSource = uint8_t(gen << 4);
            usesNormal |= gen == kGenNormal || gen == kGenReflection;
        } else {
            st.coordSource = set < DWORD(layout.texCount) ? uint8_t(set) : kNoCoordSet;
        }
        const DWORD flags = ss[D3DTSS_TEXTURETRANSFORMFLAGS];
        if (!layout.pretransformed && (flags & 7) >= D3DTTFF_COUNT2 && (flags & 7) <= D3DTTFF_COUNT4)
            st.transform = uint8_t((flags & 7) | ((flags & D3DTTFF_PROJECTED) ? 8 : 0));
    }

    // Lighting: only for untransformed vertices.
    if (!layout.pretransformed && rs[D3DRENDERSTATE_LIGHTING]) {
        k.lighting = 1;
        int active[kMaxLights];
        const int n = ActiveLights(s, active);
        for (int i = 0; i < n; ++i) k.lightType[i] = uint8_t(s.lights[active[i]].dltType);
        // Material sources: vertex colours only when COLORVERTEX is on and the vertex
        // has a diffuse colour (without one every source is the material).
        if (rs[D3DRENDERSTATE_COLORVERTEX] && k.hasDiffuse) {
            const auto source = [&](DWORD state) -> uint8_t {
                const DWORD v = rs[state];
                if (v == D3DMCS_COLOR1) return D3DMCS_COLOR1;
                if (v == D3DMCS_COLOR2 && k.hasSpecular) return D3DMCS_COLOR2;
                return D3DMCS_MATERIAL;
            };
            k.diffuseSource = source(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE);
            k.specularSource = source(D3DRENDERSTATE_SPECULARMATERIALSOURCE);
            k.ambientSource = source(D3DRENDERSTATE_AMBIENTMATERIALSOURCE);
            k.emissiveSource = source(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE);
        }
        usesNormal = true;
    }
    if (!layout.pretransformed && usesNormal) k.normalizeNormals = rs[D3DRENDERSTATE_NORMALIZENORMALS] != FALSE;
    // The viewer setting shapes specular highlights and reflection vectors, each
    // whatever the other does; anything else leaves it out of the key.
    bool reflects = false;
    for (int i = 0; i < k.stageCount; ++i) reflects |= (k.stages[i].coordSource >> 4) == kGenReflection;
    if ((k.lighting && k.specularEnable) || reflects) k.localViewer = rs[D3DRENDERSTATE_LOCALVIEWER] != FALSE;

    // Fog: table fog if asked for, else vertex fog for untransformed vertices,
    // else the specular alpha of the vertex.
    if (rs[D3DRENDERSTATE_FOGENABLE]) {
        const DWORD table = rs[D3DRENDERSTATE_FOGTABLEMODE];
        const DWORD vertex = rs[D3DRENDERSTATE_FOGVERTEXMODE];
        if (table >= D3DFOG_EXP && table <= D3DFOG_LINEAR)
            k.fog = table == D3DFOG_LINEAR ? kFogTableLinear : table == D3DFOG_EXP ? kFogTableExp : kFogTableExp2;
        else if (!layout.pretransformed && vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR)
            k.fog = vertex == D3DFOG_LINEAR ? kFogVertexLinear : vertex == D3DFOG_EXP ? kFogVertexExp : kFogVertexExp2;
        else
            k.fog = kFogSpecularAlpha;
        if (!layout.pretransformed && k.fog != kFogSpecularAlpha) k.rangeFog = rs[D3DRENDERSTATE_RANGEFOGENABLE] != FALSE;
    }

    const DWORD func = rs[D3DRENDERSTATE_ALPHAFUNC];
    if (rs[D3DRENDERSTATE_ALPHATESTENABLE] && func >= D3DCMP_NEVER && func < D3DCMP_ALWAYS) k.alphaFunc = uint8_t(func);
    return k;
}

}  // namespace platform::gl

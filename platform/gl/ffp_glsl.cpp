// GLSL generation for one fixed-function pipeline key (see ffp_glsl.h).
//
// Uniforms (names shared with the device's program cache):
//   vertex:   uWorldView, uProjection, uNormalMatrix, uPixelOffset, uViewportRect,
//             uLightDiffuse[], uLightSpecular[], uLightAmbient[], uLightPosition[],
//             uLightDirection[], uLightAttenuation[] (a0, a1, a2, range),
//             uLightSpot[] (cos theta/2, cos phi/2, falloff), uMaterialDiffuse,
//             uMaterialAmbient, uMaterialSpecular, uMaterialEmissive, uMaterialPower,
//             uAmbient, uFog (start, end, density, 1 / (end - start) or 0), uTexMatrix[]
//   fragment: uSampler0..7, uTextureFactor, uFogColor, uAlphaRef, uFog
#include "platform/gl/ffp_glsl.h"

#include <string>

namespace platform::gl {

namespace {

std::string Str(int v) { return std::to_string(v); }

bool AnyTableFog(const FfpKey& k) { return k.fog >= kFogTableLinear; }
bool AnyVaryingFog(const FfpKey& k) { return k.fog != kFogOff; }

std::string Source(uint8_t arg, int stage) {
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: return "diffuse";
        case D3DTA_TEXTURE: return "t" + Str(stage);
        case D3DTA_TFACTOR: return "uTextureFactor";
        case D3DTA_SPECULAR: return "specular";
        default: return "current";  // CURRENT, and values this platform does not define
    }
}

std::string ColorArg(uint8_t arg, int stage) {
    const std::string base = Source(arg, stage);
    std::string v = (arg & D3DTA_ALPHAREPLICATE) ? "vec3(" + base + ".a)" : base + ".rgb";
    if (arg & D3DTA_COMPLEMENT) v = "(vec3(1.0) - " + v + ")";
    return v;
}

std::string AlphaArg(uint8_t arg, int stage) {
    const std::string v = Source(arg, stage) + ".a";
    return (arg & D3DTA_COMPLEMENT) ? "(1.0 - " + v + ")" : v;
}

std::string FullArg(uint8_t arg, int stage) {
    const std::string base = Source(arg, stage);
    std::string v = (arg & D3DTA_ALPHAREPLICATE) ? "vec4(" + base + ".a)" : base;
    if (arg & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
    return v;
}

// One operation on a1 / a2 (vec3 for colour, float for alpha); q1 is the whole
// first argument for the operations that mix its alpha into the colour.
std::string Operation(uint8_t op, bool alpha, int stage) {
    const std::string t = "t" + Str(stage);
    const std::string half = alpha ? "0.5" : "vec3(0.5)";
    const std::string one = alpha ? "1.0" : "vec3(1.0)";
    switch (op) {
        case D3DTOP_SELECTARG1: return "a1";
        case D3DTOP_SELECTARG2: return "a2";
        case D3DTOP_MODULATE: return "a1 * a2";
        case D3DTOP_MODULATE2X: return "2.0 * a1 * a2";
        case D3DTOP_MODULATE4X: return "4.0 * a1 * a2";
        case D3DTOP_ADD: return "a1 + a2";
        case D3DTOP_ADDSIGNED: return "a1 + a2 - " + half;
        case D3DTOP_ADDSIGNED2X: return "2.0 * (a1 + a2 - " + half + ")";
        case D3DTOP_SUBTRACT: return "a1 - a2";
        case D3DTOP_ADDSMOOTH: return "a1 + a2 - a1 * a2";
        case D3DTOP_BLENDDIFFUSEALPHA: return "mix(a2, a1, diffuse.a)";
        case D3DTOP_BLENDTEXTUREALPHA: return "mix(a2, a1, " + t + ".a)";
        case D3DTOP_BLENDFACTORALPHA: return "mix(a2, a1, uTextureFactor.a)";
        case D3DTOP_BLENDTEXTUREALPHAPM: return "a1 + a2 * (1.0 - " + t + ".a)";
        case D3DTOP_BLENDCURRENTALPHA: return "mix(a2, a1, current.a)";
        case D3DTOP_MODULATEALPHA_ADDCOLOR: return "q1.rgb + q1.a * a2";
        case D3DTOP_MODULATECOLOR_ADDALPHA: return "q1.rgb * a2 + q1.a";
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - q1.a) * a2 + q1.rgb";
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(vec3(1.0) - q1.rgb) * a2 + q1.a";
        case D3DTOP_DOTPRODUCT3:
            return alpha ? "4.0 * (a1 - 0.5) * (a2 - 0.5)" : "vec3(4.0 * dot(a1 - vec3(0.5), a2 - vec3(0.5)))";
        default: return one;
    }
}

std::string CompareOp(uint8_t func) {
    switch (func) {
        case D3DCMP_LESS: return "<";
        case D3DCMP_EQUAL: return "==";
        case D3DCMP_LESSEQUAL: return "<=";
        case D3DCMP_GREATER: return ">";
        case D3DCMP_NOTEQUAL: return "!=";
        case D3DCMP_GREATEREQUAL: return ">=";
        default: return "";
    }
}

std::string FogFactor(uint8_t fog, const std::string& d) {
    switch (fog) {
        case kFogVertexLinear:
        case kFogTableLinear: return "(uFog.y - " + d + ") * uFog.w";
        case kFogVertexExp:
        case kFogTableExp: return "exp(-" + d + " * uFog.z)";
        default: return "exp(-(" + d + " * uFog.z) * (" + d + " * uFog.z))";
    }
}

std::string MaterialColor(uint8_t source, const char* material) {
    if (source == D3DMCS_COLOR1) return "diffuseIn";
    if (source == D3DMCS_COLOR2) return "specularIn";
    return material;
}

}  // namespace

std::string GenerateVertexShader(const FfpKey& k) {
    std::string s = "#version 330 core\n";
    s += "layout(location = 0) in vec4 aPosition;\n";
    if (k.hasNormal) s += "layout(location = 1) in vec3 aNormal;\n";
    if (k.hasDiffuse) s += "layout(location = 2) in vec4 aDiffuse;\n";
    if (k.hasSpecular) s += "layout(location = 3) in vec4 aSpecular;\n";
    for (int i = 0; i < k.texSetCount; ++i)
        s += "layout(location = " + Str(kAttribTexture0 + i) + ") in vec4 aTex" + Str(i) + ";\n";

    int lightCount = 0;
    while (lightCount < kMaxLights && k.lightType[lightCount]) ++lightCount;
    bool anyTransform = false;
    for (int i = 0; i < k.stageCount; ++i) anyTransform |= k.stages[i].sampled && k.stages[i].transform;

    s += "uniform vec2 uPixelOffset;\n";
    if (k.pretransformed) {
        s += "uniform vec4 uViewportRect;\n";
    } else {
        s += "uniform mat4 uWorldView;\nuniform mat4 uProjection;\nuniform mat3 uNormalMatrix;\n";
        if (k.lighting) {
            s += "uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialSpecular, uMaterialEmissive;\n"
                 "uniform float uMaterialPower;\nuniform vec3 uAmbient;\n";
            if (lightCount) {
                const std::string n = Str(lightCount);
                s += "uniform vec4 uLightDiffuse[" + n + "], uLightSpecular[" + n + "], uLightAmbient[" + n + "];\n";
                s += "uniform vec3 uLightPosition[" + n + "], uLightDirection[" + n + "];\n";
                s += "uniform vec4 uLightAttenuation[" + n + "];\nuniform vec3 uLightSpot[" + n + "];\n";
            }
        }
        if (anyTransform) s += "uniform mat4 uTexMatrix[8];\n";
    }
    if (k.fog >= kFogVertexLinear && k.fog <= kFogVertexExp2) s += "uniform vec4 uFog;\n";

    const char* interp = k.flatShade ? "flat out" : "out";
    s += std::string(interp) + " vec4 vDiffuse;\n" + interp + " vec4 vSpecular;\n";
    if (AnyVaryingFog(k)) s += "out float vFog;\n";
    for (int i = 0; i < k.stageCount; ++i)
        if (k.stages[i].sampled) s += "out vec4 vTex" + Str(i) + ";\n";

    s += "void main() {\n";
    s += std::string("    vec4 diffuseIn = ") + (k.hasDiffuse ? "aDiffuse" : "vec4(1.0)") + ";\n";
    s += std::string("    vec4 specularIn = ") + (k.hasSpecular ? "aSpecular" : "vec4(0.0)") + ";\n";
    if (k.pretransformed) {
        s += "    float w = aPosition.w == 0.0 ? 1.0 : 1.0 / aPosition.w;\n"
             "    vec4 clip = vec4((aPosition.x - uViewportRect.x) * uViewportRect.z - 1.0,\n"
             "                     (aPosition.y - uViewportRect.y) * uViewportRect.w - 1.0,\n"
             "                     2.0 * aPosition.z - 1.0, 1.0) * w;\n";
        s += "    vDiffuse = diffuseIn;\n    vSpecular = specularIn;\n";
        if (k.fog == kFogSpecularAlpha) s += "    vFog = specularIn.a;\n";
        if (AnyTableFog(k)) s += "    vFog = w;\n";
        for (int i = 0; i < k.stageCount; ++i) {
            const FfpStageKey& st = k.stages[i];
            if (!st.sampled) continue;
            const int set = st.coordSource & 0x0F;
            s += "    vTex" + Str(i) + " = " + (set == kNoCoordSet ? "vec4(0.0, 0.0, 0.0, 1.0)" : "aTex" + Str(set)) +
                 ";\n";
        }
    } else {
        s += "    vec4 P = uWorldView * vec4(aPosition.xyz, 1.0);\n"
             "    vec4 clip = uProjection * P;\n";
        s += std::string("    vec3 N = ") + (k.hasNormal ? "uNormalMatrix * aNormal" : "vec3(0.0)") + ";\n";
        if (k.normalizeNormals && k.hasNormal) s += "    if (dot(N, N) > 0.0) N = normalize(N);\n";
        if (k.localViewer)
            s += "    vec3 V = dot(P.xyz, P.xyz) > 0.0 ? -normalize(P.xyz) : vec3(0.0, 0.0, -1.0);\n";
        else
            s += "    vec3 V = vec3(0.0, 0.0, -1.0);\n";
        if (k.lighting) {
            s += "    vec3 ambientSum = vec3(0.0), diffuseSum = vec3(0.0);\n    vec4 specularSum = vec4(0.0);\n";
            for (int i = 0; i < lightCount; ++i) {
                const std::string n = Str(i);
                const int type = k.lightType[i];
                s += "    {\n";
                if (type == D3DLIGHT_DIRECTIONAL) {
                    s += "        vec3 L = -uLightDirection[" + n + "];\n        float att = 1.0;\n        {\n";
                } else {
                    s += "        vec3 toLight = uLightPosition[" + n + "] - P.xyz;\n"
                         "        float d = length(toLight);\n"
                         "        vec3 L = d > 0.0 ? toLight / d : vec3(0.0);\n"
                         "        vec4 k = uLightAttenuation[" + n + "];\n"
                         "        float att = 1.0 / max(k.x + k.y * d + k.z * d * d, 1e-20);\n";
                    if (type == D3DLIGHT_SPOT) {
                        s += "        float rho = dot(-L, uLightDirection[" + n + "]);\n"
                             "        vec3 cone = uLightSpot[" + n + "];\n"
                             "        if (rho <= cone.y) att = 0.0;\n"
                             "        else if (rho <= cone.x) att *= pow((rho - cone.y) / (cone.x - cone.y), cone.z);\n";
                    }
                    s += "        if (d <= k.w) {\n";
                }
                s += "            ambientSum += uLightAmbient[" + n + "].rgb * att;\n"
                     "            float NdotL = dot(N, L);\n"
                     "            diffuseSum += uLightDiffuse[" + n + "].rgb * clamp(NdotL, 0.0, 1.0) * att;\n";
                if (k.specularEnable) {
                    s += "            if (NdotL > 0.0) {\n"
                         "                float NdotH = dot(N, normalize(L + V));\n"
                         "                if (NdotH > 0.0) specularSum += uLightSpecular[" + n + "] * att *\n"
                         "                    (uMaterialPower == 0.0 ? 1.0 : pow(NdotH, uMaterialPower));\n"
                         "            }\n";
                }
                s += "        }\n    }\n";
            }
            s += "    vec4 Cd = " + MaterialColor(k.diffuseSource, "uMaterialDiffuse") + ";\n";
            s += "    vec4 Ca = " + MaterialColor(k.ambientSource, "uMaterialAmbient") + ";\n";
            s += "    vec4 Cs = " + MaterialColor(k.specularSource, "uMaterialSpecular") + ";\n";
            s += "    vec4 Ce = " + MaterialColor(k.emissiveSource, "uMaterialEmissive") + ";\n";
            s += "    vDiffuse = clamp(vec4(Ca.rgb * (uAmbient + ambientSum) + Cd.rgb * diffuseSum + Ce.rgb, Cd.a),"
                 " 0.0, 1.0);\n";
            s += k.specularEnable ? "    vSpecular = clamp(Cs * specularSum, 0.0, 1.0);\n"
                                  : "    vSpecular = vec4(0.0);\n";
        } else {
            s += "    vDiffuse = diffuseIn;\n    vSpecular = specularIn;\n";
        }
        const std::string dist = k.rangeFog ? "length(P.xyz)" : "abs(P.z)";
        if (k.fog >= kFogVertexLinear && k.fog <= kFogVertexExp2)
            s += "    vFog = clamp(" + FogFactor(k.fog, dist) + ", 0.0, 1.0);\n";
        else if (k.fog == kFogSpecularAlpha)
            s += "    vFog = vSpecular.a;\n";
        else if (AnyTableFog(k))
            s += "    vFog = abs(P.z);\n";
        for (int i = 0; i < k.stageCount; ++i) {
            const FfpStageKey& st = k.stages[i];
            if (!st.sampled) continue;
            const int gen = st.coordSource >> 4;
            const int set = st.coordSource & 0x0F;
            std::string in;
            if (gen == kGenNormal) {
                in = "vec4(N, 1.0)";
            } else if (gen == kGenPosition) {
                in = "vec4(P.xyz, 1.0)";
            } else if (gen == kGenReflection) {
                in = std::string("vec4(reflect(") +
                     (k.localViewer ? "(dot(P.xyz, P.xyz) > 0.0 ? normalize(P.xyz) : vec3(0.0, 0.0, 1.0))"
                                    : "vec3(0.0, 0.0, 1.0)") +
                     ", N), 1.0)";
            } else if (set == kNoCoordSet) {
                in = "vec4(0.0, 0.0, 0.0, 1.0)";
            } else if (!st.transform) {
                in = "aTex" + Str(set);
            } else {
                // Vertex coordinates pad as (u, 1, 0, 0), (u, v, 1, 0), (s, t, r, 1): a
                // 2D translation sits in the matrix's third row.
                const std::string a = "aTex" + Str(set);
                switch (k.texSetSize[set]) {
                    case 1: in = "vec4(" + a + ".x, 1.0, 0.0, 0.0)"; break;
                    case 2: in = "vec4(" + a + ".xy, 1.0, 0.0)"; break;
                    case 3: in = "vec4(" + a + ".xyz, 1.0)"; break;
                    default: in = a; break;
                }
            }
            const std::string v = "vTex" + Str(i);
            if (!st.transform) {
                s += "    " + v + " = " + in + ";\n";
                continue;
            }
            const int count = st.transform & 7;
            s += "    {\n        vec4 t = uTexMatrix[" + Str(i) + "] * " + in + ";\n";
            if (st.transform & 8) {
                const char* last = count == 2 ? "t.y" : count == 3 ? "t.z" : "t.w";
                s += "        " + v + " = vec4(t.xy, 0.0, " + last + ");\n";
            } else {
                s += "        " + v + " = vec4(t.xy, 0.0, 1.0);\n";
            }
            s += "    }\n";
        }
        s += "    clip.z = 2.0 * clip.z - clip.w;\n";
    }
    // Targets hold the top row at GL row 0: flip y, then move half a pixel right
    // and down (slightly less, so edges on pixel centres keep the top-left rule).
    if (!k.pretransformed) s += "    clip.y = -clip.y;\n";
    s += "    clip.xy += uPixelOffset * clip.w;\n";
    s += "    gl_Position = clip;\n}\n";
    return s;
}

std::string GenerateFragmentShader(const FfpKey& k) {
    std::string s = "#version 330 core\n";
    const char* interp = k.flatShade ? "flat in" : "in";
    s += std::string(interp) + " vec4 vDiffuse;\n" + interp + " vec4 vSpecular;\n";
    if (AnyVaryingFog(k)) s += "in float vFog;\n";
    for (int i = 0; i < k.stageCount; ++i) {
        if (!k.stages[i].sampled) continue;
        s += "in vec4 vTex" + Str(i) + ";\nuniform sampler2D uSampler" + Str(i) + ";\n";
    }
    s += "uniform vec4 uTextureFactor;\n";
    if (AnyVaryingFog(k)) s += "uniform vec3 uFogColor;\n";
    if (AnyTableFog(k)) s += "uniform vec4 uFog;\n";
    if (k.alphaFunc) s += "uniform float uAlphaRef;\n";
    s += "out vec4 fragColor;\n";
    s += "void main() {\n    vec4 diffuse = vDiffuse;\n    vec4 specular = vSpecular;\n    vec4 current = diffuse;\n";
    for (int i = 0; i < k.stageCount; ++i) {
        const FfpStageKey& st = k.stages[i];
        const std::string n = Str(i);
        s += "    {\n";
        if (st.sampled) {
            if (st.transform & 8)
                s += "        vec4 t" + n + " = textureProj(uSampler" + n + ", vTex" + n + ".xyw);\n";
            else
                s += "        vec4 t" + n + " = texture(uSampler" + n + ", vTex" + n + ".xy);\n";
        }
        // Colour and alpha read the CURRENT of the previous stage.
        s += "        vec3 color;\n        {\n";
        s += "            vec3 a1 = " + ColorArg(st.colorArg1, i) + ";\n";
        s += "            vec3 a2 = " + ColorArg(st.colorArg2, i) + ";\n";
        if (st.colorOp >= D3DTOP_MODULATEALPHA_ADDCOLOR && st.colorOp <= D3DTOP_MODULATEINVCOLOR_ADDALPHA)
            s += "            vec4 q1 = " + FullArg(st.colorArg1, i) + ";\n";
        s += "            color = " + Operation(st.colorOp, false, i) + ";\n        }\n";
        s += "        float alpha;\n        {\n";
        s += "            float a1 = " + AlphaArg(st.alphaArg1, i) + ";\n";
        s += "            float a2 = " + AlphaArg(st.alphaArg2, i) + ";\n";
        if (st.colorOp == D3DTOP_DOTPRODUCT3)
            s += "            alpha = color.r;\n";  // the dot product goes to all four channels
        else
            s += "            alpha = " + Operation(st.alphaOp, true, i) + ";\n";
        s += "        }\n        current = clamp(vec4(color, alpha), 0.0, 1.0);\n    }\n";
    }
    if (k.specularEnable) s += "    current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
    if (AnyTableFog(k))
        s += "    current.rgb = mix(uFogColor, current.rgb, clamp(" + FogFactor(k.fog, "vFog") + ", 0.0, 1.0));\n";
    else if (AnyVaryingFog(k))
        s += "    current.rgb = mix(uFogColor, current.rgb, clamp(vFog, 0.0, 1.0));\n";
    if (k.alphaFunc == D3DCMP_NEVER)
        s += "    discard;\n";
    else if (k.alphaFunc)
        s += "    if (!(floor(current.a * 255.0 + 0.5) " + CompareOp(k.alphaFunc) + " uAlphaRef)) discard;\n";
    s += "    fragColor = current;\n}\n";
    return s;
}

}  // namespace platform::gl

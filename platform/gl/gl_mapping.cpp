// State-to-GL translations (see gl_mapping.h).
#include "platform/gl/gl_mapping.h"

#include <algorithm>
#include <cmath>

namespace platform::gl {

namespace {

GLenum BlendFactor(DWORD blend, GLenum fallback) {
    switch (blend) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
        default: return fallback;
    }
}

GLenum Wrap(DWORD address) {
    switch (address) {
        case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
        default: return GL_REPEAT;
    }
}

}  // namespace

BlendSetting MapBlend(DWORD sourceBlend, DWORD destinationBlend) {
    if (sourceBlend == D3DBLEND_BOTHSRCALPHA) return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    if (sourceBlend == D3DBLEND_BOTHINVSRCALPHA) return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    GLenum destination = BlendFactor(destinationBlend, GL_ZERO);
    // GL 3.3 takes the saturate factor only on the source side.
    if (destination == GL_SRC_ALPHA_SATURATE) destination = GL_ONE;
    return {BlendFactor(sourceBlend, GL_ONE), destination};
}

CullSetting MapCull(DWORD cullMode) {
    switch (cullMode) {
        case D3DCULL_NONE: return {false, GL_CCW};
        case D3DCULL_CW: return {true, GL_CW};
        default: return {true, GL_CCW};  // CCW, the default
    }
}

GLenum MapCompare(DWORD func, GLenum fallback) {
    if (func < D3DCMP_NEVER || func > D3DCMP_ALWAYS) return fallback;
    return GLenum(GL_NEVER + (func - D3DCMP_NEVER));
}

SamplerSetting MapSampler(const DWORD* s) {
    SamplerSetting out{};
    const bool linearMin = s[D3DTSS_MINFILTER] >= D3DTFN_LINEAR;  // LINEAR or ANISOTROPIC
    switch (s[D3DTSS_MIPFILTER]) {
        case D3DTFP_POINT: out.minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
        case D3DTFP_LINEAR: out.minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
        default: out.minFilter = linearMin ? GL_LINEAR : GL_NEAREST; break;  // level 0 only
    }
    out.magFilter = s[D3DTSS_MAGFILTER] >= D3DTFG_LINEAR ? GL_LINEAR : GL_NEAREST;
    out.wrapS = Wrap(s[D3DTSS_ADDRESSU]);
    out.wrapT = Wrap(s[D3DTSS_ADDRESSV]);
    UnpackColor(s[D3DTSS_BORDERCOLOR], out.borderColor);
    out.lodBias = BitsFloat(s[D3DTSS_MIPMAPLODBIAS]);
    if (!std::isfinite(out.lodBias)) out.lodBias = 0;
    out.minLod = float(std::min<DWORD>(s[D3DTSS_MAXMIPLEVEL], 1000));
    const bool anisotropic = s[D3DTSS_MINFILTER] == 3 || s[D3DTSS_MAGFILTER] == 5;
    out.anisotropy = anisotropic ? float(std::clamp<DWORD>(s[D3DTSS_MAXANISOTROPY], 1, 16)) : 1.0f;
    return out;
}

void UnpackColor(D3DCOLOR c, float out[4]) {
    out[0] = float((c >> 16) & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float(c & 0xFF) / 255.0f;
    out[3] = float(c >> 24) / 255.0f;
}

void NormalMatrix(const D3DMATRIX& m, float out[9]) {
    const double a = m._11, b = m._12, c = m._13;
    const double d = m._21, e = m._22, f = m._23;
    const double g = m._31, h = m._32, i = m._33;
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (det == 0.0 || !std::isfinite(det)) {
        for (int k = 0; k < 9; ++k) out[k] = 0;
        return;
    }
    const double inv[9] = {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
                           (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
                           (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
    for (int k = 0; k < 9; ++k) out[k] = float(inv[k]);
}

void ViewportUniforms(const D3DVIEWPORT7& v, double scaleX, double scaleY, float rect[4], float pixelOffset[2]) {
    const float w = float(std::max<DWORD>(v.dwWidth, 1)), h = float(std::max<DWORD>(v.dwHeight, 1));
    rect[0] = float(v.dwX);
    rect[1] = float(v.dwY);
    rect[2] = 2.0f / w;
    rect[3] = 2.0f / h;
    // Half a GL pixel is 1 / (W * scale) in normalised units; 63/64 of it keeps
    // vertices that sit exactly on pixel edges off the pixel centres. On a target
    // drawn at a higher resolution the shift is half a GL pixel, not half a
    // logical one, so a quad on whole logical pixels still covers exactly their
    // GL pixels (a full-screen fade leaves no uncovered row).
    pixelOffset[0] = float((63.0 / 64.0) / (w * scaleX));
    pixelOffset[1] = float((63.0 / 64.0) / (h * scaleY));
}

}  // namespace platform::gl

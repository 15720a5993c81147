// The subset of DirectDraw 7 and Direct3D 7 that the engine draws through.
//
// Declarations written from the published facts of the platform (constant values,
// structure fields, interface operations); the engine calls these exactly as it
// would call the real interfaces, so render-state words, stage states and vertex
// formats keep their meaning. The implementation behind them lives in platform/gl
// (OpenGL 3.3 core); tests substitute recording devices.
//
// This layer does not:
// - expose SDL, EGL or GL types: engine and demo code include only this header and
//   platform/d3dx.h;
// - implement COM: interfaces are plain abstract classes with AddRef/Release
//   reference counting and no QueryInterface;
// - keep the 32-bit layout of DDSURFACEDESC2: its lpSurface is a real pointer, so
//   code reading a 124-byte description from a file (DDS) converts it field by
//   field (platform/dds_header.h) instead of copying it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/result_codes.h"

using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using BOOL = int32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using D3DVALUE = float;
using D3DCOLOR = uint32_t;

// As the platform's headers have them: macros, so other C headers that define
// them too (libjpeg's) agree.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

namespace platform {
class Window;
}
// The window a context presents into; null for a headless (offscreen) context.
using HWND = platform::Window*;

// ---------------------------------------------------------------- structures

struct RECT {
    LONG left, top, right, bottom;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct D3DVECTOR {
    D3DVALUE x, y, z;
};

struct D3DCOLORVALUE {
    D3DVALUE r, g, b, a;
};

// Row-major, row vectors: _41 _42 _43 hold the translation.
struct D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
};

enum D3DLIGHTTYPE : int32_t {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

struct D3DLIGHT7 {
    int32_t dltType;  // D3DLIGHTTYPE
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvAmbient;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    D3DVALUE dvRange;
    D3DVALUE dvFalloff;
    D3DVALUE dvAttenuation0;
    D3DVALUE dvAttenuation1;
    D3DVALUE dvAttenuation2;
    D3DVALUE dvTheta;
    D3DVALUE dvPhi;
};

struct D3DMATERIAL7 {
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvAmbient;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvEmissive;
    D3DVALUE dvPower;
};

struct D3DVIEWPORT7 {
    DWORD dwX, dwY, dwWidth, dwHeight;
    D3DVALUE dvMinZ, dvMaxZ;
};

struct DDPIXELFORMAT {
    DWORD dwSize;   // 32
    DWORD dwFlags;  // DDPF_*
    DWORD dwFourCC;
    DWORD dwRGBBitCount;      // also the depth bit count of depth formats
    DWORD dwRBitMask;
    DWORD dwGBitMask;         // also the depth mask of depth formats (dwZBitMask)
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

// The fields of the platform's surface description, in the platform's order. The
// pitch and the linear size share a field, as do the mip-map count and the refresh
// rate. lpSurface is filled by Lock.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    DWORD dwBackBufferCount;
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

struct D3DVERTEXBUFFERDESC {
    DWORD dwSize;  // 16
    DWORD dwCaps;  // D3DVBCAPS_*
    DWORD dwFVF;
    DWORD dwNumVertices;
};

struct GUID {
    DWORD Data1;
    WORD Data2, Data3;
    BYTE Data4[8];
};

// What a device can do with one kind of primitive (lines or triangles).
struct D3DPRIMCAPS {
    DWORD dwSize;  // 56
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;  // D3DPTEXTURECAPS_*
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};

// The device's capabilities as GetCaps reports them.
struct D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth, dwMinTextureHeight;
    DWORD dwMaxTextureWidth, dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    D3DVALUE dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
    D3DVALUE dvExtentsAdjust;
    DWORD dwStencilCaps;
    DWORD dwFVFCaps;  // low 16 bits: texture-coordinate sets a vertex may carry
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    D3DVALUE dvMaxVertexW;
    GUID deviceGUID;
    WORD wMaxUserClipPlanes;
    WORD wMaxVertexBlendMatrices;
    DWORD dwVertexProcessingCaps;
    DWORD dwReserved1, dwReserved2, dwReserved3, dwReserved4;
};

struct DDBLTFX;  // not used by the engine; Blt takes none

static_assert(sizeof(D3DLIGHT7) == 104);
static_assert(sizeof(D3DMATERIAL7) == 68);
static_assert(sizeof(D3DVIEWPORT7) == 24);
static_assert(sizeof(D3DMATRIX) == 64);
static_assert(sizeof(DDPIXELFORMAT) == 32);
static_assert(offsetof(D3DLIGHT7, dvPosition) == 52 && offsetof(D3DLIGHT7, dvPhi) == 100);
static_assert(sizeof(D3DPRIMCAPS) == 56 && offsetof(D3DPRIMCAPS, dwTextureCaps) == 32);
static_assert(sizeof(D3DDEVICEDESC7) == 236);
static_assert(offsetof(D3DDEVICEDESC7, dpcTriCaps) == 60 && offsetof(D3DDEVICEDESC7, dwMaxTextureWidth) == 132);
static_assert(offsetof(D3DDEVICEDESC7, deviceGUID) == 196 && offsetof(D3DDEVICEDESC7, dwReserved4) == 232);

// ---------------------------------------------------------------- render states

enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_FOGCOLOR = 34,
    D3DRENDERSTATE_FOGTABLEMODE = 35,
    D3DRENDERSTATE_FOGSTART = 36,
    D3DRENDERSTATE_FOGEND = 37,
    D3DRENDERSTATE_FOGDENSITY = 38,
    D3DRENDERSTATE_RANGEFOGENABLE = 48,
    D3DRENDERSTATE_TEXTUREFACTOR = 60,
    D3DRENDERSTATE_CLIPPING = 136,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_AMBIENT = 139,
    D3DRENDERSTATE_FOGVERTEXMODE = 140,
    D3DRENDERSTATE_COLORVERTEX = 141,
    D3DRENDERSTATE_LOCALVIEWER = 142,
    D3DRENDERSTATE_NORMALIZENORMALS = 143,
    D3DRENDERSTATE_DIFFUSEMATERIALSOURCE = 145,
    D3DRENDERSTATE_SPECULARMATERIALSOURCE = 146,
    D3DRENDERSTATE_AMBIENTMATERIALSOURCE = 147,
    D3DRENDERSTATE_EMISSIVEMATERIALSOURCE = 148,
};

enum D3DFILLMODE : DWORD { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : DWORD { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DCULL : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};
enum D3DBLEND : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
};
enum D3DFOGMODE : DWORD { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DMATERIALCOLORSOURCE : DWORD { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

// Render-state values that hold a float carry its 32-bit pattern.
inline DWORD FloatBits(float f) {
    DWORD d;
    __builtin_memcpy(&d, &f, sizeof d);
    return d;
}
inline float BitsFloat(DWORD d) {
    float f;
    __builtin_memcpy(&f, &d, sizeof f);
    return f;
}

// ---------------------------------------------------------------- texture stages

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_BORDERCOLOR = 15,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
    D3DTSS_MIPMAPLODBIAS = 19,
    D3DTSS_MAXMIPLEVEL = 20,
    D3DTSS_MAXANISOTROPY = 21,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
};

enum D3DTEXTUREOP : DWORD {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9,
    D3DTOP_SUBTRACT = 10,
    D3DTOP_ADDSMOOTH = 11,
    D3DTOP_BLENDDIFFUSEALPHA = 12,
    D3DTOP_BLENDTEXTUREALPHA = 13,
    D3DTOP_BLENDFACTORALPHA = 14,
    D3DTOP_BLENDTEXTUREALPHAPM = 15,
    D3DTOP_BLENDCURRENTALPHA = 16,
    D3DTOP_PREMODULATE = 17,
    D3DTOP_MODULATEALPHA_ADDCOLOR = 18,
    D3DTOP_MODULATECOLOR_ADDALPHA = 19,
    D3DTOP_MODULATEINVALPHA_ADDCOLOR = 20,
    D3DTOP_MODULATEINVCOLOR_ADDALPHA = 21,
    D3DTOP_BUMPENVMAP = 22,
    D3DTOP_BUMPENVMAPLUMINANCE = 23,
    D3DTOP_DOTPRODUCT3 = 24,
};

// Texture-stage arguments (D3DTA_*).
constexpr DWORD D3DTA_SELECTMASK = 0x0F;
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;
constexpr DWORD D3DTA_TFACTOR = 3;
constexpr DWORD D3DTA_SPECULAR = 4;
constexpr DWORD D3DTA_COMPLEMENT = 0x10;
constexpr DWORD D3DTA_ALPHAREPLICATE = 0x20;

enum D3DTEXTUREADDRESS : DWORD {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
};
enum D3DTEXTUREMAGFILTER : DWORD { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum D3DTEXTUREMINFILTER : DWORD { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum D3DTEXTUREMIPFILTER : DWORD { D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3 };

// D3DTSS_TEXCOORDINDEX: low 16 bits the coordinate set, high bits the generation.
constexpr DWORD D3DTSS_TCI_PASSTHRU = 0x00000;
constexpr DWORD D3DTSS_TCI_CAMERASPACENORMAL = 0x10000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEPOSITION = 0x20000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x30000;

enum D3DTEXTURETRANSFORMFLAGS : DWORD {
    D3DTTFF_DISABLE = 0,
    D3DTTFF_COUNT1 = 1,
    D3DTTFF_COUNT2 = 2,
    D3DTTFF_COUNT3 = 3,
    D3DTTFF_COUNT4 = 4,
    D3DTTFF_PROJECTED = 256,
};

// D3DPRIMCAPS::dwTextureCaps bits.
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;        // sides must be powers of two
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D3DPTEXTURECAPS_TRANSPARENCY = 0x8;
constexpr DWORD D3DPTEXTURECAPS_BORDER = 0x10;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x20;  // width must equal height
constexpr DWORD D3DPTEXTURECAPS_TEXREPEATNOTSCALEDBYSIZE = 0x40;
constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x80;
constexpr DWORD D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100;
constexpr DWORD D3DPTEXTURECAPS_PROJECTED = 0x400;
constexpr DWORD D3DPTEXTURECAPS_CUBEMAP = 0x800;
constexpr DWORD D3DPTEXTURECAPS_COLORKEYBLEND = 0x1000;

constexpr int kMaxTextureStages = 8;
constexpr int kMaxLights = 8;

// ---------------------------------------------------------------- transforms and drawing

enum D3DTRANSFORMSTATETYPE : DWORD {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
    D3DTRANSFORMSTATE_TEXTURE0 = 16,  // TEXTURE0 + stage, up to 23
};

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Flexible vertex format bits.
constexpr DWORD D3DFVF_POSITION_MASK = 0x00E;
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_RESERVED1 = 0x020;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX0 = 0x000;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TEX2 = 0x200;
constexpr DWORD D3DFVF_TEX3 = 0x300;
constexpr DWORD D3DFVF_TEX4 = 0x400;
constexpr DWORD D3DFVF_TEX8 = 0x800;
constexpr DWORD D3DFVF_VERTEX = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;                          // 0x112
constexpr DWORD D3DFVF_LVERTEX = D3DFVF_XYZ | D3DFVF_RESERVED1 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;  // 0x1E2
constexpr DWORD D3DFVF_TLVERTEX = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;  // 0x1C4

// a x b for row vectors (a acts first), and the identity.
D3DMATRIX D3DMatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b);
D3DMATRIX D3DMatrixIdentity();

// Byte size of one vertex of the format (position, normal, reserved, colours,
// texture sets; 2 floats per set unless the format's size bits say otherwise).
DWORD FvfStride(DWORD fvf);

constexpr DWORD D3DDP_WAIT = 0x1;

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;

constexpr DWORD D3DVBCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD D3DVBCAPS_WRITEONLY = 0x10000;

// ComputeSphereVisibility result bits.
constexpr DWORD D3DCLIP_LEFT = 0x1;
constexpr DWORD D3DCLIP_RIGHT = 0x2;
constexpr DWORD D3DCLIP_TOP = 0x4;
constexpr DWORD D3DCLIP_BOTTOM = 0x8;
constexpr DWORD D3DCLIP_FRONT = 0x10;
constexpr DWORD D3DCLIP_BACK = 0x20;
constexpr DWORD D3DSTATUS_CLIPUNIONALL = 0xFFF;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONLEFT = 0x1000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONALL = 0x00FFF000;
constexpr DWORD D3DSTATUS_ZNOTVISIBLE = 0x01000000;
constexpr DWORD D3DSTATUS_DEFAULT = D3DSTATUS_CLIPINTERSECTIONALL | D3DSTATUS_ZNOTVISIBLE;  // 0x01FFF000

// ---------------------------------------------------------------- DirectDraw constants

constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x40;
constexpr DWORD DDSD_ALPHABITDEPTH = 0x80;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x20000;
constexpr DWORD DDSD_LINEARSIZE = 0x80000;
constexpr DWORD DDSD_DEPTH = 0x800000;

constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_ALPHA = 0x2;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_ZBUFFER = 0x400;
constexpr DWORD DDPF_ALPHAPREMULT = 0x8000;
constexpr DWORD DDPF_LUMINANCE = 0x20000;

constexpr DWORD DDSCAPS_ALPHA = 0x2;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;

constexpr DWORD DDSCAPS2_CUBEMAP = 0x200;
constexpr DWORD DDSCAPS2_VOLUME = 0x200000;

constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;

constexpr DWORD DDBLT_WAIT = 0x01000000;

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
    return DWORD(BYTE(a)) | DWORD(BYTE(b)) << 8 | DWORD(BYTE(c)) << 16 | DWORD(BYTE(d)) << 24;
}
constexpr DWORD FOURCC_DXT1 = MakeFourCC('D', 'X', 'T', '1');
constexpr DWORD FOURCC_DXT2 = MakeFourCC('D', 'X', 'T', '2');
constexpr DWORD FOURCC_DXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr DWORD FOURCC_DXT4 = MakeFourCC('D', 'X', 'T', '4');
constexpr DWORD FOURCC_DXT5 = MakeFourCC('D', 'X', 'T', '5');

// ---------------------------------------------------------------- interfaces

// Reference counting as the platform's objects have it: creation and the Get*
// calls that hand out an object add a reference; Release drops one and destroys
// the object at zero.
class IUnknownLike {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknownLike() = default;
};

class IDirectDrawSurface7 : public IUnknownLike {
public:
    // Locks the whole surface (rect must be null): fills desc (size, pitch or
    // linear size, format, caps) and desc->lpSurface with the surface memory.
    // Locking a depth surface reads the depth back; locking a render target reads
    // its colour back; writes to a texture reach the device at its next use.
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    // The next mip level (caps TEXTURE | MIPMAP | COMPLEX) or the attached depth
    // buffer (caps ZBUFFER); DDERR_NOTFOUND when there is none.
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** attached) = 0;
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
    // Copies (with scaling) source onto this surface; null rectangles mean whole surfaces.
    virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                        DDBLTFX* fx) = 0;
};

class IDirect3DVertexBuffer7 : public IUnknownLike {
public:
    virtual HRESULT Lock(DWORD flags, void** data, DWORD* size) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) = 0;
};

class IDirectDraw7 : public IUnknownLike {
public:
    // Creates a surface from a description: a texture (with a mip chain when the
    // caps ask for MIPMAP and dwMipMapCount > 1), a render target (3DDEVICE), or a
    // depth buffer (ZBUFFER). May be called from a second thread while drawing.
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, void* outer) = 0;
};

class IDirect3D7 : public IUnknownLike {
public:
    // May be called from a second thread while drawing.
    virtual HRESULT CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer, DWORD flags) = 0;
};

// Returns D3DENUMRET_OK (1) to go on, D3DENUMRET_CANCEL (0) to stop.
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

class IDirect3DDevice7 : public IUnknownLike {
public:
    // Fills the whole description; what the utility library consults when it
    // sizes textures (power-of-two or square-only devices, the largest side).
    virtual HRESULT GetCaps(D3DDEVICEDESC7* desc) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;

    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT SetMaterial(D3DMATERIAL7* material) = 0;
    virtual HRESULT SetLight(DWORD index, D3DLIGHT7* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;

    // The new target's attached depth buffer (if any) becomes the depth buffer.
    virtual HRESULT SetRenderTarget(IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetRenderTarget(IDirectDrawSurface7** target) = 0;

    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                  DWORD flags) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                         WORD* indices, DWORD indexCount, DWORD flags) = 0;
    virtual HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer, DWORD startVertex,
                                    DWORD vertexCount, DWORD flags) = 0;
    // Indices address the vertices from startVertex on. An index at or beyond
    // vertexCount (or a range past the buffer's end) makes the call fail with
    // DDERR_INVALIDPARAMS and draw nothing, so a draw never reads outside the buffer.
    virtual HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer7* buffer,
                                           DWORD startVertex, DWORD vertexCount, WORD* indices, DWORD indexCount,
                                           DWORD flags) = 0;

    // Centres and radii are in model space; results get D3DCLIP / D3DSTATUS bits.
    virtual HRESULT ComputeSphereVisibility(D3DVECTOR* centers, D3DVALUE* radii, DWORD count, DWORD flags,
                                            DWORD* results) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
};

// The parts of the DirectX 7 utility library (D3DX) that the engine relies on:
// start-up, the context that owns the window's device and buffers, the matrix
// stack, and texture creation from sizes or image files.
//
// D3DXCreateContext makes the whole device: in the given window (windowed, or full
// screen on the desktop mode), or offscreen when the window is null. Its back
// buffer is a 640 x 480 (or the given size) colour target with a depth buffer;
// UpdateFrame presents it scaled to the window with its aspect kept.
#pragma once

#include "platform/d3d7.h"

// Device indices.
constexpr DWORD D3DX_DEFAULT = 0xFFFFFFFF;
constexpr DWORD D3DX_HWLEVEL_NULL = 0xFFFFFFFE;
constexpr DWORD D3DX_HWLEVEL_REFERENCE = 0xFFFFFFFD;
constexpr DWORD D3DX_HWLEVEL_2D = 0xFFFFFFFC;      // software rasteriser
constexpr DWORD D3DX_HWLEVEL_RASTER = 0xFFFFFFFB;  // the hardware driver, when there is one
constexpr DWORD D3DX_HWLEVEL_TL = 0xFFFFFFFA;

// Context flags.
constexpr DWORD D3DX_CONTEXT_FULLSCREEN = 1;
constexpr DWORD D3DX_CONTEXT_OFFSCREEN = 2;

constexpr DWORD D3DX_UPDATE_NOVSYNC = 1;

constexpr DWORD D3DX_TEXTURE_NOMIPMAP = 0x100;

enum D3DX_SURFACEFORMAT : DWORD {
    D3DX_SF_UNKNOWN = 0,
    D3DX_SF_R8G8B8 = 1,
    D3DX_SF_A8R8G8B8 = 2,
    D3DX_SF_X8R8G8B8 = 3,
    D3DX_SF_R5G6B5 = 4,
    D3DX_SF_R5G5B5 = 5,
    D3DX_SF_PALETTE4 = 6,
    D3DX_SF_PALETTE8 = 7,
    D3DX_SF_A1R5G5B5 = 8,
    D3DX_SF_X4R4G4B4 = 9,
    D3DX_SF_A4R4G4B4 = 10,
    D3DX_SF_L8 = 11,
    D3DX_SF_A8L8 = 12,
    D3DX_SF_DXT1 = 18,
    D3DX_SF_DXT3 = 19,
    D3DX_SF_DXT5 = 20,
    D3DX_SF_A8 = 22,
};

enum D3DX_FILTERTYPE : DWORD {
    D3DX_FT_POINT = 1,
    D3DX_FT_LINEAR = 2,
    D3DX_FT_DEFAULT = 0xFFFFFFFF,
};

class ID3DXContext : public IUnknownLike {
public:
    // Each Get* adds a reference the caller releases.
    virtual IDirectDraw7* GetDD() = 0;
    virtual IDirect3D7* GetD3D() = 0;
    virtual IDirect3DDevice7* GetD3DDevice() = 0;
    virtual IDirectDrawSurface7* GetZBuffer() = 0;
    virtual IDirectDrawSurface7* GetBackBuffer(DWORD index) = 0;
    // Shows the finished frame.
    virtual HRESULT UpdateFrame(DWORD flags) = 0;
};

// A stack of matrices that starts with one identity matrix. MultMatrixLocal(m)
// makes the top m x top (m acts first), MultMatrix(m) makes it top x m.
class ID3DXMatrixStack : public IUnknownLike {
public:
    virtual HRESULT Push() = 0;
    virtual HRESULT Pop() = 0;  // the last matrix is never popped
    virtual HRESULT LoadIdentity() = 0;
    virtual HRESULT LoadMatrix(const D3DMATRIX* m) = 0;
    virtual HRESULT MultMatrix(const D3DMATRIX* m) = 0;
    virtual HRESULT MultMatrixLocal(const D3DMATRIX* m) = 0;
    virtual D3DMATRIX* GetTop() = 0;
};

HRESULT D3DXInitialize();
HRESULT D3DXUninitialize();

// deviceIndex: D3DX_HWLEVEL_2D for the software rasteriser, D3DX_HWLEVEL_RASTER (or
// D3DX_DEFAULT) for the hardware driver when there is one. flags: 0 windowed,
// D3DX_CONTEXT_FULLSCREEN. A null window makes an offscreen (headless) context.
// A negative result when no context can be made.
HRESULT D3DXCreateContext(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                          ID3DXContext** context);

HRESULT D3DXCreateMatrixStack(DWORD flags, ID3DXMatrixStack** stack);

// A texture of the requested size and format, each adjusted in place to what the
// device's caps accept: the size is kept, except that a D3DPTEXTURECAPS_POW2
// device gets each side rounded up to a power of two, a SQUAREONLY one a square,
// and no side passes the device's largest; the format becomes one the device
// lists. A full mip chain unless D3DX_TEXTURE_NOMIPMAP is in *flags (or
// *mipCount asks for fewer levels). Null pointers for flags, sizes, format or
// mipCount mean defaults.
HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, void* palette, IDirectDrawSurface7** texture,
                          DWORD* mipCount);

// As D3DXCreateTexture with the image file's size (width/height 0 or D3DX_DEFAULT),
// the image converted to the format (and scaled with the filter when the surface's
// size differs from the image's).
// Reads BMP, PNG, TGA, GIF, PSD, HDR, PIC, PNM and DDS through the platform's
// decoders; D3DXERR_UNSUPPORTEDFILEFORMAT for anything else.
HRESULT D3DXCreateTextureFromFile(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                                  D3DX_SURFACEFORMAT* format, void* palette, IDirectDrawSurface7** texture,
                                  DWORD* mipCount, const char* fileName, D3DX_FILTERTYPE filter);

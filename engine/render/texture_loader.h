// Loading one image file into a new texture surface, by the file's extension
// (compared without case): "jpg" through the JPEG reader into a 16-bit R5G6B5
// texture, "dds" through the engine's DDS reader with a device-format choice,
// anything else through the utility library's texture-file loader.
//
// Not here: the texture object (Texture owns the surface it is handed) and
// mip-map generation (only the top level is filled by the engine's readers).
// Gotcha: a DDS is first handed to the utility library as well (as A4R4G4B4);
// the engine's reader's surface replaces that one when it produces a surface,
// and the utility library's surface is kept only when the reader made none.
#pragma once

#include "platform/d3dx.h"

namespace ZK3D {

class Context;

// What a reader produces; everything starts at zero.
struct TextureImage {
    DWORD width = 0;
    DWORD height = 0;
    DWORD mipCount = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN;
    IDirectDrawSurface7* surface = nullptr;  // a new reference, or none
};

// Loads fileName for the texture named textureName on the context's device; on
// success *surface holds a new reference. Failures are reported, give a
// negative result and leave *surface empty.
HRESULT LoadTextureImage(Context* context, const char* textureName, const char* fileName,
                         IDirectDrawSurface7** surface);

}  // namespace ZK3D

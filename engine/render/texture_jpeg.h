// The JPEG texture reader: a baseline JPEG decoded by libjpeg (the IJG 6.x
// interface) into the top level of a new R5G6B5 texture.
//
// The file must be a disk stream (a file on disk, or an entry stored in place
// in a pack): libjpeg reads it through stdio. Only three-component output is
// accepted; greyscale files are refused rather than widened, as the library's
// conversion from grey differs between its versions.
//
// Not here: mip-maps (lower levels of the texture are left as created).
// Gotcha: libjpeg reports fatal errors by calling its error-exit routine, which
// must not return; it jumps back into the one small function that wraps all
// library calls, whose frame holds no object with a destructor.
#pragma once

#include "engine/render/texture_loader.h"

namespace ZK3D {

// D3DXCreateTexture's shape: the JPEG reader creates its texture through it.
using CreateTextureFunction = HRESULT (*)(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                                          D3DX_SURFACEFORMAT* format, void* palette, IDirectDrawSurface7** texture,
                                          DWORD* mipCount);

// Reads fileName through the file lookup; 0 with image->surface set, or a
// failure (reported) with no surface.
HRESULT ReadJpegTexture(IDirect3DDevice7* device, const char* fileName, TextureImage* image,
                        CreateTextureFunction createTexture = &D3DXCreateTexture);

}  // namespace ZK3D

// The seam between textures and the image readers: loading one image file into a
// new texture surface on the device.
//
// Not here yet: the readers themselves (JPEG through libjpeg into a 16-bit
// surface, DDS with a device-format choice, other formats through the utility
// library). texture_loader.cpp reports every load as failed until they are built.
#pragma once

#include "platform/d3d7.h"

namespace ZK3D {

// Loads fileName for the texture named textureName; on success *surface holds a
// new reference. Failures are reported and give a negative result and no surface.
HRESULT LoadTextureImage(IDirect3DDevice7* device, const char* textureName, const char* fileName,
                         IDirectDrawSurface7** surface);

}  // namespace ZK3D

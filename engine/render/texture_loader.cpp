// Image loading is not built yet: every load fails with the texture's own failure
// report, so a texture stays without a surface and unbinds its stage.
#include "engine/render/texture_loader.h"

#include "platform/report.h"

namespace ZK3D {

HRESULT LoadTextureImage(IDirect3DDevice7* /*device*/, const char* /*textureName*/, const char* fileName,
                         IDirectDrawSurface7** surface) {
    if (surface) *surface = nullptr;
    LogError("[Tex] Impossible to load texture %s", fileName);
    return E_NOTIMPL;
}

}  // namespace ZK3D

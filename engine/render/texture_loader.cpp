// Choosing the reader by extension and handing the surface on.
#include "engine/render/texture_loader.h"

#include "engine/render/context.h"
#include "engine/render/texture_dds.h"
#include "engine/render/texture_jpeg.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {

// The utility library's loader with the requested format; its result reported.
TextureImage LoadThroughUtilityLibrary(IDirect3DDevice7* device, const char* fileName, D3DX_SURFACEFORMAT format) {
    TextureImage image;
    image.format = format;
    const HRESULT hr = D3DXCreateTextureFromFile(device, nullptr, &image.width, &image.height, &image.format, nullptr,
                                                 &image.surface, &image.mipCount, fileName, D3DX_FT_LINEAR);
    ReportD3DXResult(hr);
    if (FAILED(hr) && image.surface) {
        image.surface->Release();
        image.surface = nullptr;
    }
    return image;
}

}  // namespace

HRESULT LoadTextureImage(Context* context, const char* textureName, const char* fileName,
                         IDirectDrawSurface7** surface) {
    if (surface) *surface = nullptr;
    IDirect3DDevice7* device = context ? context->device() : nullptr;
    if (!surface || !fileName || !device) {
        LogError("[Tex] Impossible to load texture %s", fileName ? fileName : "");
        return E_UNEXPECTED;
    }

    if (HasExtension(fileName, "jpg")) {
        LogMessage("[Tex] \"%s\" - Loads texture (.JPG) \"%s\"", textureName, fileName);
        TextureImage image;
        const HRESULT hr = ReadJpegTexture(device, fileName, &image);
        if (hr != S_OK) {
            LogError("[Tex] Impossible to load texture %s", fileName);
            return FAILED(hr) ? hr : E_FAIL;
        }
        *surface = image.surface;
        return S_OK;
    }

    TextureImage image;
    if (HasExtension(fileName, "dds")) {
        LogMessage("[Tex] \"%s\" - Loads texture (.DDS) \"%s\"", textureName, fileName);
        image = LoadThroughUtilityLibrary(device, fileName, D3DX_SF_A4R4G4B4);
        TextureImage own;
        ReportD3DXResult(ReadDdsTexture(context->ddraw(), context->textureFormats(), fileName, &own));
        // The engine's reader decides; the utility library's surface stands in
        // only when the reader made none.
        if (own.surface) {
            if (image.surface) image.surface->Release();
            image = own;
        }
    } else {
        LogMessage("[Tex] \"%s\" - Loads texture \"%s\"", textureName, fileName);
        image = LoadThroughUtilityLibrary(device, fileName, D3DX_SF_R5G6B5);
    }
    // The utility library's paths report their result as a code; the texture
    // that could not be made at all is told with its file name, as a JPEG's is.
    if (!image.surface) {
        if (*fileName)
            LogError("[Tex] Impossible to load texture %s", fileName);
        else  // nothing was named: no file is missing
            LogMessage("[Tex] Impossible to load texture %s", fileName);
        return E_FAIL;
    }
    *surface = image.surface;
    return S_OK;
}

}  // namespace ZK3D

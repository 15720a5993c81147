// JPEG files: decoded by the engine's reader (libjpeg) into a device texture.
#include "engine/render/texture_jpeg.h"
#include "fuzz/rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = fuzzing::WriteInput("texture.jpg", data, size);
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    rig.Begin();
    ZK3D::TextureImage image;
    ZK3D::ReadJpegTexture(rig.context().device(), path, &image);
    if (image.surface) image.surface->Release();
    rig.End();
    return 0;
}

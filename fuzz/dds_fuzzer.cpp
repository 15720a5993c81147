// DDS files: read by the engine's reader into a device texture, once with the
// device's texture formats and once with its FourCC (DXT) formats taken away,
// so both the same-format and the converting paths see every file.
#include <vector>

#include "engine/render/texture_dds.h"
#include "fuzz/rig.h"

namespace {

void Read(fuzzing::Rig& rig, const std::vector<DDPIXELFORMAT>& formats, const char* path) {
    ZK3D::TextureImage image;
    ZK3D::ReadDdsTexture(rig.context().ddraw(), formats, path, &image);
    if (image.surface) image.surface->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = fuzzing::WriteInput("texture.dds", data, size);
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    rig.Begin();
    const std::vector<DDPIXELFORMAT>& formats = rig.context().textureFormats();
    Read(rig, formats, path);
    std::vector<DDPIXELFORMAT> plain;
    for (const DDPIXELFORMAT& f : formats)
        if (!(f.dwFlags & DDPF_FOURCC)) plain.push_back(f);
    Read(rig, plain, path);
    rig.End();
    return 0;
}

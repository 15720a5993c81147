// DDS reading for the texture loader (see dds_image.h).
#include "platform/gl/dds_image.h"

#include <algorithm>

#include "platform/dds_header.h"

namespace platform::gl {

namespace {

constexpr int kMaxDdsSide = 16384;
constexpr DWORD kDdsdDepth = 0x800000;
constexpr DWORD kPaletteFlags = 0x8 | 0x10 | 0x20 | 0x800 | 0x1000;  // PALETTEINDEXED1/2/4/8, TO8

}  // namespace

DdsStatus ReadDds(const uint8_t* data, size_t size, DdsImage* image) {
    if (!data || size < 4) return DdsStatus::NotDds;
    const DWORD magic = DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24;
    if (magic != kDdsMagic) return DdsStatus::NotDds;
    if (size < 4 + kDdsHeaderBytes) return DdsStatus::Malformed;
    DDSURFACEDESC2 desc;
    if (!ReadDdsHeader(data + 4, size - 4, &desc)) return DdsStatus::Malformed;
    if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > kMaxDdsSide || desc.dwHeight > kMaxDdsSide)
        return DdsStatus::Malformed;
    if (desc.ddsCaps.dwCaps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) return DdsStatus::Unsupported;
    if ((desc.dwFlags & kDdsdDepth) && desc.dwBackBufferCount > 1) return DdsStatus::Unsupported;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    if (pf.dwFlags & kPaletteFlags) return DdsStatus::Unsupported;

    DdsImage out;
    out.pixelFormat = pf;
    out.width = int(desc.dwWidth);
    out.height = int(desc.dwHeight);
    int bytesPerPixel = 0;
    if (pf.dwFlags & DDPF_FOURCC) {
        out.format = FormatOf(pf);  // DXT1..DXT5 or Unknown
        if (!IsCompressed(out.format)) return DdsStatus::Unsupported;
    } else {
        const DWORD bits = pf.dwRGBBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DdsStatus::Unsupported;
        if (!(pf.dwFlags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA))) return DdsStatus::Unsupported;
        bytesPerPixel = int(bits / 8);
        out.format = FormatOf(pf);
    }
    int levels = 1;
    if ((desc.dwFlags & DDSD_MIPMAPCOUNT) && desc.dwMipMapCount > 1)
        levels = std::min(int(desc.dwMipMapCount), FullMipCount(out.width, out.height));

    size_t offset = 4 + kDdsHeaderBytes;
    for (int i = 0; i < levels; ++i) {
        DdsImage::Level level;
        level.width = std::max(1, out.width >> i);
        level.height = std::max(1, out.height >> i);
        size_t bytes;
        if (bytesPerPixel == 0) {
            level.pitch = LevelPitch(out.format, level.width);
            bytes = LevelSize(out.format, level.width, level.height);
        } else {
            level.pitch = size_t(level.width) * size_t(bytesPerPixel);  // rows tightly packed in files
            bytes = level.pitch * size_t(level.height);
        }
        if (size - offset < bytes) {
            if (i == 0) return DdsStatus::Malformed;
            break;  // a truncated chain keeps the levels it has
        }
        level.bytes.assign(data + offset, data + offset + bytes);
        offset += bytes;
        out.levels.push_back(std::move(level));
    }
    *image = std::move(out);
    return DdsStatus::Ok;
}

std::vector<uint32_t> DecodeDdsLevel(const DdsImage& image, size_t index) {
    const DdsImage::Level& l = image.levels.at(index);
    std::vector<uint32_t> out(size_t(l.width) * size_t(l.height));
    if (IsCompressed(image.format))
        DecodeLevel(image.format, l.bytes.data(), l.pitch, l.width, l.height, out.data());
    else
        DecodeMasked(image.pixelFormat, l.bytes.data(), l.pitch, l.width, l.height, out.data());
    return out;
}

bool DdsHasAlpha(const DdsImage& image) {
    if (IsCompressed(image.format)) return true;
    return (image.pixelFormat.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) && image.pixelFormat.dwRGBAlphaBitMask;
}

}  // namespace platform::gl

// DDS encoding. Header fields are written one by one at their file offsets so
// the layout does not depend on any structure's packing on this host.
#include "tools/image/dds_writer.h"

#include <stb/stb_dxt.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

namespace image {
namespace {

// Surface-description flags, pixel-format flags and caps used in the header.
constexpr uint32_t kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4, kDdsdPitch = 0x8;
constexpr uint32_t kDdsdPixelFormat = 0x1000, kDdsdMipMapCount = 0x20000, kDdsdLinearSize = 0x80000;
constexpr uint32_t kDdpfAlphaPixels = 0x1, kDdpfFourCC = 0x4, kDdpfRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;

struct FormatInfo {
    bool compressed;
    uint32_t bitsOrBlockBytes;  // bits per pixel, or bytes per 4 × 4 block
    uint32_t fourCC;
    uint32_t rMask, gMask, bMask, aMask;
};

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

FormatInfo Info(DdsFormat f) {
    switch (f) {
    case DdsFormat::A8R8G8B8: return {false, 32, 0, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    case DdsFormat::X8R8G8B8: return {false, 32, 0, 0xFF0000, 0xFF00, 0xFF, 0};
    case DdsFormat::A4R4G4B4: return {false, 16, 0, 0x0F00, 0x00F0, 0x000F, 0xF000};
    case DdsFormat::R5G6B5: return {false, 16, 0, 0xF800, 0x07E0, 0x001F, 0};
    case DdsFormat::A1R5G5B5: return {false, 16, 0, 0x7C00, 0x03E0, 0x001F, 0x8000};
    case DdsFormat::DXT1: return {true, 8, FourCC('D', 'X', 'T', '1'), 0, 0, 0, 0};
    case DdsFormat::DXT3: return {true, 16, FourCC('D', 'X', 'T', '3'), 0, 0, 0, 0};
    case DdsFormat::DXT5: return {true, 16, FourCC('D', 'X', 'T', '5'), 0, 0, 0, 0};
    }
    return {false, 32, 0, 0, 0, 0, 0};
}

void Put32(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[offset + size_t(i)] = uint8_t(v >> (8 * i));
}

void Push16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// 8-bit value to n bits, rounded.
uint32_t Quantise(uint8_t v, uint32_t bits) {
    const uint32_t max = (1u << bits) - 1;
    return (uint32_t(v) * max + 127) / 255;
}

void EncodeUncompressed(const Image& img, DdsFormat f, std::vector<uint8_t>& out) {
    for (const Rgba& p : img.pixels()) {
        switch (f) {
        case DdsFormat::A8R8G8B8:
        case DdsFormat::X8R8G8B8:
            // 0xAARRGGBB little-endian: B, G, R, A in memory.
            out.insert(out.end(), {p.b, p.g, p.r, f == DdsFormat::A8R8G8B8 ? p.a : uint8_t(0xFF)});
            break;
        case DdsFormat::A4R4G4B4:
            Push16(out, uint16_t(Quantise(p.a, 4) << 12 | Quantise(p.r, 4) << 8 | Quantise(p.g, 4) << 4 |
                                 Quantise(p.b, 4)));
            break;
        case DdsFormat::R5G6B5:
            Push16(out, uint16_t(Quantise(p.r, 5) << 11 | Quantise(p.g, 6) << 5 | Quantise(p.b, 5)));
            break;
        case DdsFormat::A1R5G5B5:
            Push16(out, uint16_t((p.a >= 128 ? 0x8000u : 0u) | Quantise(p.r, 5) << 10 | Quantise(p.g, 5) << 5 |
                                 Quantise(p.b, 5)));
            break;
        default: break;
        }
    }
}

void EncodeBlocks(const Image& img, DdsFormat f, std::vector<uint8_t>& out) {
    const int bw = (img.width() + 3) / 4, bh = (img.height() + 3) / 4;
    uint8_t texels[64];
    uint8_t block[16];
    for (int by = 0; by < bh; ++by)
        for (int bx = 0; bx < bw; ++bx) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const Rgba& p = img.at(std::min(bx * 4 + x, img.width() - 1), std::min(by * 4 + y, img.height() - 1));
                    uint8_t* t = texels + 4 * (4 * y + x);
                    t[0] = p.r;
                    t[1] = p.g;
                    t[2] = p.b;
                    t[3] = p.a;
                }
            switch (f) {
            case DdsFormat::DXT1:
                stb_compress_dxt_block(block, texels, 0, STB_DXT_HIGHQUAL);
                out.insert(out.end(), block, block + 8);
                break;
            case DdsFormat::DXT3: {
                // Explicit 4-bit alpha, texel i at bits 4i, then the colour block.
                uint64_t alpha = 0;
                for (int i = 0; i < 16; ++i) alpha |= uint64_t(Quantise(texels[4 * i + 3], 4)) << (4 * i);
                for (int i = 0; i < 8; ++i) out.push_back(uint8_t(alpha >> (8 * i)));
                stb_compress_dxt_block(block, texels, 0, STB_DXT_HIGHQUAL);
                out.insert(out.end(), block, block + 8);
                break;
            }
            case DdsFormat::DXT5:
                stb_compress_dxt_block(block, texels, 1, STB_DXT_HIGHQUAL);
                out.insert(out.end(), block, block + 16);
                break;
            default: break;
            }
        }
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

size_t DdsLevelSize(DdsFormat format, int width, int height) {
    const FormatInfo info = Info(format);
    const size_t w = size_t(std::max(1, width)), h = size_t(std::max(1, height));
    if (info.compressed) return ((w + 3) / 4) * ((h + 3) / 4) * info.bitsOrBlockBytes;
    return w * h * (info.bitsOrBlockBytes / 8);
}

int MipLevelCount(int width, int height) {
    int levels = 1;
    for (int s = std::max(width, height); s > 1; s >>= 1) ++levels;
    return levels;
}

bool EncodeDdsLevels(const std::vector<Image>& levels, DdsFormat format, std::vector<uint8_t>& out,
                     std::string* error) {
    if (levels.empty() || levels[0].empty()) return Fail(error, "empty image");
    for (size_t i = 1; i < levels.size(); ++i)
        if (levels[i].width() != std::max(1, levels[i - 1].width() / 2) ||
            levels[i].height() != std::max(1, levels[i - 1].height() / 2))
            return Fail(error, "mip level " + std::to_string(i) + " is not half the size of the one before");

    const FormatInfo info = Info(format);
    const Image& top = levels[0];
    const bool mips = levels.size() > 1;
    std::vector<uint8_t> file(128, 0);
    Put32(file, 0, FourCC('D', 'D', 'S', ' '));
    // Surface description at file offset 4 (struct offset + 4 below).
    Put32(file, 4, 124);
    Put32(file, 8, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat |
                       (info.compressed ? kDdsdLinearSize : kDdsdPitch) | (mips ? kDdsdMipMapCount : 0));
    Put32(file, 12, uint32_t(top.height()));
    Put32(file, 16, uint32_t(top.width()));
    Put32(file, 20, info.compressed ? uint32_t(DdsLevelSize(format, top.width(), top.height()))
                                    : uint32_t(top.width()) * (info.bitsOrBlockBytes / 8));
    Put32(file, 28, mips ? uint32_t(levels.size()) : 0);
    // Pixel format at struct offset 72.
    Put32(file, 76, 32);
    Put32(file, 80, info.compressed ? kDdpfFourCC : (kDdpfRgb | (info.aMask ? kDdpfAlphaPixels : 0)));
    Put32(file, 84, info.fourCC);
    if (!info.compressed) {
        Put32(file, 88, info.bitsOrBlockBytes);
        Put32(file, 92, info.rMask);
        Put32(file, 96, info.gMask);
        Put32(file, 100, info.bMask);
        Put32(file, 104, info.aMask);
    }
    Put32(file, 108, kCapsTexture | (mips ? kCapsComplex | kCapsMipMap : 0));

    for (const Image& level : levels) {
        const size_t before = file.size();
        if (info.compressed) EncodeBlocks(level, format, file);
        else EncodeUncompressed(level, format, file);
        if (file.size() - before != DdsLevelSize(format, level.width(), level.height()))
            return Fail(error, "internal error: level size mismatch");
    }
    out.insert(out.end(), file.begin(), file.end());
    return true;
}

bool EncodeDds(const Image& image, DdsOptions options, std::vector<uint8_t>& out, std::string* error) {
    if (image.empty()) return Fail(error, "empty image");
    if (options.mipmaps) return EncodeDdsLevels(MipChain(image), options.format, out, error);
    return EncodeDdsLevels({image}, options.format, out, error);
}

bool SaveDds(const Image& image, DdsOptions options, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!EncodeDds(image, options, bytes, error)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + path + "\"");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fclose(file.release()) != 0)
        return Fail(error, "cannot write \"" + path + "\"");
    return true;
}

bool ParseDdsFormat(const std::string& name, DdsFormat& format) {
    std::string n;
    for (char c : name) n.push_back(char(std::tolower(uint8_t(c))));
    const struct {
        const char* name;
        DdsFormat format;
    } names[] = {{"a8r8g8b8", DdsFormat::A8R8G8B8}, {"x8r8g8b8", DdsFormat::X8R8G8B8},
                 {"a4r4g4b4", DdsFormat::A4R4G4B4}, {"r5g6b5", DdsFormat::R5G6B5},
                 {"a1r5g5b5", DdsFormat::A1R5G5B5}, {"dxt1", DdsFormat::DXT1},
                 {"dxt3", DdsFormat::DXT3},         {"dxt5", DdsFormat::DXT5}};
    for (const auto& entry : names)
        if (n == entry.name) {
            format = entry.format;
            return true;
        }
    return false;
}

}  // namespace image

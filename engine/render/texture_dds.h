// The engine's own DDS reader: the file's levels go into a system-memory
// surface of the file's pixel format, which is then blitted level by level onto
// a video-memory texture of the device format chosen for it (the same FourCC
// when the device lists it; for DXT files on a device without DXT formats, an
// uncompressed format with the alpha depth the DXT variant carries).
//
// Not here: mip-map creation. The video surface is made without mip-map caps,
// so only the file's top level reaches the device; a file with mip-maps ends on
// the video chain's step and reports that step's result.
// Gotcha: the file stores its 124-byte surface description in the platform's
// 32-bit layout, which is not the in-memory DDSURFACEDESC2 (its lpSurface is a
// real pointer here); DdsFileHeader is the file's layout, converted field by
// field. Headers with wrong sizes, absurd dimensions or mip counts, or fewer
// data bytes than their levels need, are refused before any surface is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/render/texture_loader.h"
#include "platform/d3d7.h"

namespace ZK3D {

constexpr DWORD kDdsMagic = 0x20534444;  // "DDS " little-endian
constexpr DWORD kDdsMaxSide = 16384;

// The surface description as a DDS file stores it after its magic: 124 bytes,
// every field 32 bits, little-endian.
#pragma pack(push, 1)
struct DdsFileHeader {
    uint32_t size;  // 124
    uint32_t flags;
    uint32_t height;
    uint32_t width;
    uint32_t pitchOrLinearSize;
    uint32_t backBufferCount;
    uint32_t mipMapCount;
    uint32_t alphaBitDepth;
    uint32_t reserved;
    uint32_t surface;  // a 32-bit pointer slot, meaningless in a file
    uint32_t colorKeys[8];
    uint32_t pfSize;  // 32
    uint32_t pfFlags;
    uint32_t pfFourCC;
    uint32_t pfRGBBitCount;
    uint32_t pfRBitMask;
    uint32_t pfGBitMask;
    uint32_t pfBBitMask;
    uint32_t pfRGBAlphaBitMask;
    uint32_t caps[4];
    uint32_t textureStage;
};
#pragma pack(pop)
static_assert(sizeof(DdsFileHeader) == 124);

// The header as a surface description (no surface memory).
DDSURFACEDESC2 DdsDescription(const DdsFileHeader& header);

// Why a header cannot be read; null when it can. dataBytes is what follows the
// header in the file: a header whose levels need more is refused.
const char* DdsHeaderProblem(const DdsFileHeader& header, uint64_t dataBytes);

// Bytes of one level of width x height in the file's pixel format (the block
// size for DXT FourCCs, rows of whole pixels otherwise); 0 for a FourCC whose
// layout is not known here.
uint64_t DdsLevelBytes(const DDPIXELFORMAT& format, DWORD width, DWORD height);

// The device format for a DDS pixel format from the device's texture formats:
// true with *chosen set, false when none fits.
bool ChooseDdsFormat(const DDPIXELFORMAT& file, const std::vector<DDPIXELFORMAT>& formats, DDPIXELFORMAT* chosen);

// Reads fileName through the file lookup into a new texture surface (outputs in
// *image). 0 when the whole system-memory chain reached the device; otherwise
// the failing step's result, with *image->surface set when the video surface
// exists (a file with mip-maps ends this way after its top level).
HRESULT ReadDdsTexture(IDirectDraw7* ddraw, const std::vector<DDPIXELFORMAT>& formats, const char* fileName,
                       TextureImage* image);

}  // namespace ZK3D

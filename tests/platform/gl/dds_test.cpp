// DDS records and files: the 124-byte header read and written field by field,
// level layout, and the files the loader must refuse.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/dds_header.h"
#include "platform/gl/dds_image.h"

namespace platform::gl {
namespace {

DWORD At(const uint8_t* p, size_t offset) {
    DWORD v;
    std::memcpy(&v, p + offset, 4);
    return v;
}

// A DDS file: magic, header and data.
std::vector<uint8_t> DdsFile(DWORD width, DWORD height, const DDPIXELFORMAT& pf, DWORD levels, size_t dataBytes,
                             DWORD caps2 = 0, DWORD extraFlags = 0, DWORD depth = 0) {
    DDSURFACEDESC2 d{};
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT | extraFlags;
    d.dwWidth = width;
    d.dwHeight = height;
    d.dwMipMapCount = levels;
    d.dwBackBufferCount = depth;
    d.ddpfPixelFormat = pf;
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    d.ddsCaps.dwCaps2 = caps2;
    std::vector<uint8_t> file(4 + kDdsHeaderBytes + dataBytes);
    std::memcpy(file.data(), "DDS ", 4);
    WriteDdsHeader(d, file.data() + 4);
    for (size_t i = 0; i < dataBytes; ++i) file[4 + kDdsHeaderBytes + i] = uint8_t(i * 7);
    return file;
}

TEST(DdsHeader, FieldsSitAtTheirRecordOffsets) {
    DDSURFACEDESC2 d{};
    d.dwFlags = 0x21007;
    d.dwWidth = 256;
    d.dwHeight = 128;
    d.dwMipMapCount = 9;
    d.ddpfPixelFormat = PixelFormatOf(Format::DXT5);
    d.ddsCaps.dwCaps = 0x401008;
    d.ddsCaps.dwCaps2 = 0x200;
    uint8_t bytes[kDdsHeaderBytes];
    WriteDdsHeader(d, bytes);
    // File offsets are these plus the 4-byte magic.
    EXPECT_EQ(At(bytes, 0), 124u);
    EXPECT_EQ(At(bytes, 8), 128u);
    EXPECT_EQ(At(bytes, 12), 256u);
    EXPECT_EQ(At(bytes, 24), 9u);
    EXPECT_EQ(At(bytes, 72), 32u);
    EXPECT_EQ(At(bytes, 76), DWORD(DDPF_FOURCC));
    EXPECT_EQ(At(bytes, 80), FOURCC_DXT5);
    EXPECT_EQ(At(bytes, 104), 0x401008u);
    EXPECT_EQ(At(bytes, 108), 0x200u);
    // A writer's tag in the lpSurface slot is not a pointer.
    const DWORD tag = 0xDEADBEEF;
    std::memcpy(bytes + 36, &tag, 4);
    DDSURFACEDESC2 back;
    ASSERT_TRUE(ReadDdsHeader(bytes, sizeof bytes, &back));
    EXPECT_EQ(back.lpSurface, nullptr);
    EXPECT_EQ(back.dwWidth, 256u);
    EXPECT_EQ(back.dwMipMapCount, 9u);
    EXPECT_EQ(back.ddpfPixelFormat.dwFourCC, FOURCC_DXT5);
    EXPECT_EQ(back.ddsCaps.dwCaps2, 0x200u);
    EXPECT_FALSE(ReadDdsHeader(bytes, 100, &back));
    bytes[0] = 123;
    EXPECT_FALSE(ReadDdsHeader(bytes, sizeof bytes, &back));
    bytes[0] = 124;
    bytes[72] = 31;
    EXPECT_FALSE(ReadDdsHeader(bytes, sizeof bytes, &back));
}

TEST(DdsFile, LevelsFollowOneAnother) {
    // 256 x 256 DXT1: 32768 + 8192 + ... + 8 + 8 + 8 bytes.
    const std::vector<uint8_t> file = DdsFile(256, 256, PixelFormatOf(Format::DXT1), 9, 43704);
    DdsImage image;
    ASSERT_EQ(ReadDds(file.data(), file.size(), &image), DdsStatus::Ok);
    ASSERT_EQ(image.levels.size(), 9u);
    const size_t sizes[9] = {32768, 8192, 2048, 512, 128, 32, 8, 8, 8};
    size_t offset = 128;
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(image.levels[i].bytes.size(), sizes[i]);
        EXPECT_EQ(image.levels[i].bytes[0], uint8_t((offset - 128) * 7)) << "level " << i;
        offset += sizes[i];
    }
    // Cut inside level 3: levels 0..2 stay.
    const std::vector<uint8_t> cut(file.begin(), file.begin() + 128 + 32768 + 8192 + 2048 + 100);
    ASSERT_EQ(ReadDds(cut.data(), cut.size(), &image), DdsStatus::Ok);
    EXPECT_EQ(image.levels.size(), 3u);
    // Uncompressed rows are packed: a 5 x 3 24-bit level is 45 bytes.
    DDPIXELFORMAT rgb24{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
    const std::vector<uint8_t> small = DdsFile(5, 3, rgb24, 1, 45);
    ASSERT_EQ(ReadDds(small.data(), small.size(), &image), DdsStatus::Ok);
    EXPECT_EQ(image.levels[0].pitch, 15u);
    EXPECT_EQ(DecodeDdsLevel(image, 0).size(), 15u);
}

TEST(DdsFile, RefusesWhatTheDeviceCannotHold) {
    DdsImage image;
    const DDPIXELFORMAT dxt1 = PixelFormatOf(Format::DXT1);
    std::vector<uint8_t> f = DdsFile(4, 4, dxt1, 1, 8 * 6, 0x200 | 0xFC00);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Unsupported);  // cube map
    f = DdsFile(4, 4, dxt1, 1, 8 * 4, 0, DDSD_DEPTH, 4);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Unsupported);  // volume
    const DDPIXELFORMAT dx10{sizeof(DDPIXELFORMAT), DDPF_FOURCC, MakeFourCC('D', 'X', '1', '0'), 0, 0, 0, 0, 0};
    f = DdsFile(4, 4, dx10, 1, 64);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Unsupported);
    const DDPIXELFORMAT palette{sizeof(DDPIXELFORMAT), DDPF_PALETTEINDEXED8 | DDPF_RGB, 0, 8, 0, 0, 0, 0};
    f = DdsFile(4, 4, palette, 1, 16 + 1024);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Unsupported);
    f = DdsFile(100000, 4, dxt1, 1, 64);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Malformed);  // absurd size, no allocation
    f = DdsFile(8, 8, dxt1, 1, 31);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Malformed);  // top level cut short
    f.resize(60);
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::Malformed);  // header cut short
    f[0] = 'X';
    EXPECT_EQ(ReadDds(f.data(), f.size(), &image), DdsStatus::NotDds);
    EXPECT_EQ(ReadDds(nullptr, 0, &image), DdsStatus::NotDds);
}

}  // namespace
}  // namespace platform::gl

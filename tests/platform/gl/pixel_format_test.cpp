// Surface formats on the CPU: level sizes, DXT decoding and encoding, 16-bit
// channel expansion, masked layouts, format descriptions, scaling and mip
// reduction.
#include <gtest/gtest.h>

#include "platform/gl/pixel_format.h"

namespace platform::gl {
namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

TEST(PixelFormat, LevelSizesRoundToBlocksAndPitches) {
    const size_t dxt1[9] = {32768, 8192, 2048, 512, 128, 32, 8, 8, 8};
    ASSERT_EQ(FullMipCount(256, 256), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(LevelSize(Format::DXT1, 256 >> i, 256 >> i), dxt1[i]) << "level " << i;
    EXPECT_EQ(LevelSize(Format::DXT1, 5, 3), 16u);  // 2 x 1 blocks
    EXPECT_EQ(LevelSize(Format::DXT5, 5, 3), 32u);
    EXPECT_EQ(LevelPitch(Format::R5G6B5, 5), 12u);  // 10 bytes rounded up to 4
    EXPECT_EQ(LevelSize(Format::R5G6B5, 5, 3), 36u);
    EXPECT_EQ(LevelSize(Format::A8R8G8B8, 5, 3), 60u);
    EXPECT_EQ(FullMipCount(256, 64), 9);
    EXPECT_EQ(FullMipCount(1, 1), 1);
}

TEST(PixelFormat, DxtColourBlocksDecodeInBothModes) {
    uint32_t out[16];
    // c0 = red > c1 = blue: four colours; row 0 codes 0, 1, 2, 3.
    const uint8_t four[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
    DecodeDxtBlock(Format::DXT1, four, out);
    EXPECT_EQ(out[0], 0xFFFF0000u);
    EXPECT_EQ(out[1], 0xFF0000FFu);
    EXPECT_EQ(out[2], Argb(255, 170, 0, 85));  // (2 c0 + c1) / 3, truncated
    EXPECT_EQ(out[3], Argb(255, 85, 0, 170));
    EXPECT_EQ(out[4], 0xFFFF0000u);
    // c0 <= c1: three colours and transparent black.
    const uint8_t three[8] = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0};
    DecodeDxtBlock(Format::DXT1, three, out);
    EXPECT_EQ(out[2], Argb(255, 127, 0, 127));
    EXPECT_EQ(out[3], 0x00000000u);
    // The same colour half inside DXT3 is always four-colour.
    uint8_t dxt3[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(three, three + 8, dxt3 + 8);
    DecodeDxtBlock(Format::DXT3, dxt3, out);
    EXPECT_EQ(out[2], Argb(255, 85, 0, 170));
    EXPECT_EQ(out[3], Argb(255, 170, 0, 85));
}

TEST(PixelFormat, DxtAlphaBlocksDecode) {
    uint32_t out[16];
    // DXT3: nibbles low first, value x 17.
    const uint8_t dxt3[16] = {0xF0, 0x38, 0, 0, 0, 0, 0, 0x90, 0xE0, 0x07, 0, 0, 0, 0, 0, 0};
    DecodeDxtBlock(Format::DXT3, dxt3, out);
    EXPECT_EQ(out[0], 0x0000FF00u);
    EXPECT_EQ(out[1], 0xFF00FF00u);
    EXPECT_EQ(out[2] >> 24, 0x88u);
    EXPECT_EQ(out[3] >> 24, 0x33u);
    EXPECT_EQ(out[15] >> 24, 0x99u);
    // DXT5, a0 > a1: eight values.
    const uint32_t codes = 0u | 1u << 3 | 2u << 6 | 7u << 9;
    uint8_t dxt5[16] = {200, 100, uint8_t(codes), uint8_t(codes >> 8), 0, 0, 0, 0, 0xE0, 0x07};
    DecodeDxtBlock(Format::DXT5, dxt5, out);
    EXPECT_EQ(out[0] >> 24, 200u);
    EXPECT_EQ(out[1] >> 24, 100u);
    EXPECT_EQ(out[2] >> 24, (6u * 200 + 100) / 7);
    EXPECT_EQ(out[3] >> 24, (200u + 6 * 100) / 7);
    // a0 <= a1: six values, then 0 and 255.
    const uint32_t six = 2u | 5u << 3 | 6u << 6 | 7u << 9;
    uint8_t dxt5b[16] = {50, 150, uint8_t(six), uint8_t(six >> 8), 0, 0, 0, 0, 0xE0, 0x07};
    DecodeDxtBlock(Format::DXT5, dxt5b, out);
    EXPECT_EQ(out[0] >> 24, (4u * 50 + 150) / 5);
    EXPECT_EQ(out[1] >> 24, (1u * 50 + 4 * 150) / 5);
    EXPECT_EQ(out[2] >> 24, 0u);
    EXPECT_EQ(out[3] >> 24, 255u);
}

TEST(PixelFormat, DxtEncodingKeepsColoursAndAlpha) {
    std::vector<uint32_t> image(16);
    for (int i = 0; i < 16; ++i) image[size_t(i)] = i % 4 == 3 ? 0u : i % 2 ? 0xFF0000FFu : 0xFFFF0000u;
    uint8_t block[16];
    uint32_t back[16];
    // DXT1 with transparent texels: three-colour mode, code 3 where alpha was 0.
    EncodeLevel(Format::DXT1, image.data(), 4, 4, block, 8);
    DecodeLevel(Format::DXT1, block, 8, 4, 4, back);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(back[i], image[size_t(i)]) << i;
    // DXT5 alpha within one interpolation step; DXT3 within a nibble.
    for (int i = 0; i < 16; ++i) image[size_t(i)] = Argb(uint32_t(17 * i), 200, 100, 50);
    EncodeLevel(Format::DXT5, image.data(), 4, 4, block, 16);
    DecodeLevel(Format::DXT5, block, 16, 4, 4, back);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(int(back[i] >> 24), 17 * i, 19) << i;
    EncodeLevel(Format::DXT3, image.data(), 4, 4, block, 16);
    DecodeLevel(Format::DXT3, block, 16, 4, 4, back);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(back[i] >> 24, uint32_t(17 * i)) << i;
    // A level smaller than a block fills one block.
    const uint32_t one = 0xFF00FF00;
    EncodeLevel(Format::DXT1, &one, 1, 1, block, 8);
    DecodeLevel(Format::DXT1, block, 8, 1, 1, back);
    EXPECT_EQ(back[0], 0xFF00FF00u);
}

TEST(PixelFormat, SixteenBitChannelsReplicateBits) {
    EXPECT_EQ(Expand565(0x8410), Argb(255, 132, 130, 132));
    EXPECT_EQ(Expand565(0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(Pack565(0xFF808080), 0x8410);
    uint8_t bytes[8];
    const uint32_t in[4] = {0x80FF0000, 0x7F00FF00, 0x120000FF, 0xFFFFFFFF};
    uint32_t out[4];
    EncodeLevel(Format::A1R5G5B5, in, 4, 1, bytes, 8);
    DecodeLevel(Format::A1R5G5B5, bytes, 8, 4, 1, out);
    EXPECT_EQ(out[0], 0xFFFF0000u);  // alpha 0x80 and up sets the bit
    EXPECT_EQ(out[1], 0x0000FF00u);
    DecodeLevel(Format::X1R5G5B5, bytes, 8, 4, 1, out);
    EXPECT_EQ(out[1], 0xFF00FF00u);  // X formats read alpha 1
    EncodeLevel(Format::A4R4G4B4, in, 4, 1, bytes, 8);
    DecodeLevel(Format::A4R4G4B4, bytes, 8, 4, 1, out);
    EXPECT_EQ(out[0], 0x88FF0000u);
    EXPECT_EQ(out[2], 0x110000FFu);
    const uint8_t x8[4] = {0x33, 0x22, 0x11, 0x00};
    DecodeLevel(Format::X8R8G8B8, x8, 4, 1, 1, out);
    EXPECT_EQ(out[0], 0xFF112233u);
}

TEST(PixelFormat, MaskedLayoutsDecode) {
    DDPIXELFORMAT rgb24{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
    const uint8_t rgb[6] = {0x33, 0x22, 0x11, 0xCC, 0xBB, 0xAA};
    uint32_t out[2];
    ASSERT_TRUE(DecodeMasked(rgb24, rgb, 6, 2, 1, out));
    EXPECT_EQ(out[0], 0xFF112233u);
    EXPECT_EQ(out[1], 0xFFAABBCCu);
    DDPIXELFORMAT l8{sizeof(DDPIXELFORMAT), DDPF_LUMINANCE, 0, 8, 0xFF, 0, 0, 0};
    const uint8_t lum[2] = {0x40, 0xC0};
    ASSERT_TRUE(DecodeMasked(l8, lum, 2, 2, 1, out));
    EXPECT_EQ(out[1], 0xFFC0C0C0u);
    DDPIXELFORMAT a8l8{sizeof(DDPIXELFORMAT), DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 0, 16, 0xFF, 0, 0, 0xFF00};
    const uint8_t al[2] = {0x40, 0x80};
    ASSERT_TRUE(DecodeMasked(a8l8, al, 2, 1, 1, out));
    EXPECT_EQ(out[0], 0x80404040u);
    DDPIXELFORMAT rgb332{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 8, 0xE0, 0x1C, 0x03, 0};
    const uint8_t c332 = 0xE3;  // red 7, green 0, blue 3
    ASSERT_TRUE(DecodeMasked(rgb332, &c332, 1, 1, 1, out));
    EXPECT_EQ(out[0], 0xFFFF00FFu);
    DDPIXELFORMAT odd{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 12, 0xF00, 0xF0, 0xF, 0};
    EXPECT_FALSE(DecodeMasked(odd, rgb, 6, 1, 1, out));
}

TEST(PixelFormat, DescriptionsRoundTrip) {
    for (Format f : kTextureFormats) EXPECT_EQ(FormatOf(PixelFormatOf(f)), f);
    EXPECT_EQ(FormatOf(PixelFormatOf(Format::Depth24)), Format::Depth24);
    EXPECT_EQ(PixelFormatOf(Format::Depth24).dwGBitMask, 0x00FFFFFFu);
    EXPECT_EQ(PixelFormatOf(Format::Depth24).dwRGBBitCount, 32u);
    DDPIXELFORMAT pf = PixelFormatOf(Format::R5G6B5);
    pf.dwGBitMask = 0x03E0;
    EXPECT_EQ(FormatOf(pf), Format::Unknown);
    pf = PixelFormatOf(Format::A8R8G8B8);
    pf.dwFlags &= ~DDPF_ALPHAPIXELS;  // the alpha mask then means nothing
    EXPECT_EQ(FormatOf(pf), Format::X8R8G8B8);
    EXPECT_TRUE(PixelFormatOf(Format::DXT2).dwFlags & DDPF_ALPHAPREMULT);
    EXPECT_FALSE(HasAlpha(Format::X8R8G8B8));
    EXPECT_TRUE(HasAlpha(Format::DXT1));
}

TEST(PixelFormat, ScalingPointAndLinear) {
    const uint32_t a = 0xFF000000, b = 0xFFFFFFFF;
    const uint32_t two[2] = {a, b};
    uint32_t four[4];
    ScaleArgb(two, 2, 1, four, 4, 1, true);
    EXPECT_EQ(four[0], a);
    EXPECT_EQ(four[1], 0xFF404040u);  // 0.75 a + 0.25 b
    EXPECT_EQ(four[2], 0xFFBFBFBFu);
    EXPECT_EQ(four[3], b);
    ScaleArgb(two, 2, 1, four, 4, 1, false);
    EXPECT_EQ(four[1], a);
    EXPECT_EQ(four[2], b);
    // Shrinking averages the covered span, partial texels weighted.
    const uint32_t three[3] = {0xFF000000, 0xFF5A5A5A, 0xFFB4B4B4};
    uint32_t halves[2];
    ScaleArgb(three, 3, 1, halves, 2, 1, true);
    EXPECT_EQ(halves[0], 0xFF1E1E1Eu);  // (2 x 0 + 0x5A) / 3
    EXPECT_EQ(halves[1], 0xFF969696u);  // (0x5A + 2 x 0xB4) / 3
    // Mip reduction: 2 x 2 boxes, odd edges clamped, at least 1 x 1.
    const std::vector<uint32_t> reduced = ReduceArgb(three, 3, 1, true);
    ASSERT_EQ(reduced.size(), 1u);
    EXPECT_EQ(reduced[0], 0xFF2D2D2Du);
    EXPECT_EQ(ReduceArgb(three, 3, 1, false)[0], 0xFF000000u);
}

}  // namespace
}  // namespace platform::gl

// DDS files: header fields at their file offsets, level sizes and order, pixel
// packing, and DXT blocks decoded back with a reference block decoder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/image/dds_writer.h"

using namespace image;

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t offset) {
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
           uint32_t(b[offset + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t offset) { return uint16_t(b[offset] | b[offset + 1] << 8); }

std::vector<uint8_t> Encode(const Image& img, DdsFormat format, bool mipmaps) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeDds(img, {format, mipmaps}, out, &error)) << error;
    return out;
}

Rgba Expand565(uint16_t c) {
    const uint32_t r = c >> 11, g = (c >> 5) & 63, b = c & 31;
    return {uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4), uint8_t(b << 3 | b >> 2), 255};
}

// Decodes the colour half of a block (texel i = 4y + x); fourColour forces the
// four-colour mode as DXT3 and DXT5 do.
void DecodeColour(const uint8_t* block, bool fourColour, Rgba out[16]) {
    const uint16_t c0 = uint16_t(block[0] | block[1] << 8), c1 = uint16_t(block[2] | block[3] << 8);
    const uint32_t idx = uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 |
                         uint32_t(block[7]) << 24;
    const Rgba a = Expand565(c0), b = Expand565(c1);
    Rgba palette[4] = {a, b};
    auto mix = [](Rgba p, Rgba q, int wp, int wq, int d) {
        return Rgba{uint8_t((wp * p.r + wq * q.r) / d), uint8_t((wp * p.g + wq * q.g) / d),
                    uint8_t((wp * p.b + wq * q.b) / d), 255};
    };
    if (fourColour || c0 > c1) {
        palette[2] = mix(a, b, 2, 1, 3);
        palette[3] = mix(a, b, 1, 2, 3);
    } else {
        palette[2] = mix(a, b, 1, 1, 2);
        palette[3] = {0, 0, 0, 0};
    }
    for (int i = 0; i < 16; ++i) out[i] = palette[(idx >> (2 * i)) & 3];
}

void DecodeDxt5Alpha(const uint8_t* block, uint8_t out[16]) {
    const int a0 = block[0], a1 = block[1];
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        const int code = int(bits >> (3 * i)) & 7;
        int v;
        if (code == 0) v = a0;
        else if (code == 1) v = a1;
        else if (a0 > a1) v = ((8 - code) * a0 + (code - 1) * a1) / 7;
        else if (code <= 5) v = ((6 - code) * a0 + (code - 1) * a1) / 5;
        else v = code == 6 ? 0 : 255;
        out[i] = uint8_t(v);
    }
}

void ExpectNearColour(Rgba got, Rgba want, int tolerance, const char* what) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

}  // namespace

TEST(DdsWriter, UncompressedHeaderAndPixels) {
    Image img(3, 2, {10, 20, 30, 40});
    img.at(2, 1) = {1, 2, 3, 4};
    const std::vector<uint8_t> b = Encode(img, DdsFormat::A8R8G8B8, false);
    ASSERT_EQ(b.size(), 128u + 3 * 2 * 4);
    EXPECT_EQ(std::memcmp(b.data(), "DDS ", 4), 0);
    EXPECT_EQ(U32(b, 4), 124u);
    EXPECT_EQ(U32(b, 8), 0x100Fu);  // CAPS | HEIGHT | WIDTH | PITCH | PIXELFORMAT
    EXPECT_EQ(U32(b, 12), 2u);     // height before width
    EXPECT_EQ(U32(b, 16), 3u);
    EXPECT_EQ(U32(b, 20), 12u);  // pitch
    EXPECT_EQ(U32(b, 28), 0u);
    EXPECT_EQ(U32(b, 76), 32u);
    EXPECT_EQ(U32(b, 80), 0x41u);  // RGB | ALPHAPIXELS
    EXPECT_EQ(U32(b, 84), 0u);
    EXPECT_EQ(U32(b, 88), 32u);
    EXPECT_EQ(U32(b, 92), 0xFF0000u);
    EXPECT_EQ(U32(b, 96), 0xFF00u);
    EXPECT_EQ(U32(b, 100), 0xFFu);
    EXPECT_EQ(U32(b, 104), 0xFF000000u);
    EXPECT_EQ(U32(b, 108), 0x1000u);  // TEXTURE
    EXPECT_EQ(U32(b, 112), 0u);
    EXPECT_EQ(U32(b, 128), 0x280A141Eu);  // 0xAARRGGBB
    EXPECT_EQ(U32(b, 128 + 5 * 4), 0x04010203u);

    const std::vector<uint8_t> x = Encode(img, DdsFormat::X8R8G8B8, false);
    EXPECT_EQ(U32(x, 80), 0x40u);
    EXPECT_EQ(U32(x, 104), 0u);
    EXPECT_EQ(U32(x, 128), 0xFF0A141Eu);
}

TEST(DdsWriter, SixteenBitPacking) {
    Image img(4, 1);
    img.at(0, 0) = {255, 0, 0, 255};
    img.at(1, 0) = {0, 255, 0, 127};
    img.at(2, 0) = {0, 0, 255, 128};
    img.at(3, 0) = {136, 68, 17, 0};
    const std::vector<uint8_t> rgb = Encode(img, DdsFormat::R5G6B5, false);
    EXPECT_EQ(U32(rgb, 88), 16u);
    EXPECT_EQ(U32(rgb, 20), 8u);
    EXPECT_EQ(U16(rgb, 128), 0xF800);
    EXPECT_EQ(U16(rgb, 130), 0x07E0);
    EXPECT_EQ(U16(rgb, 132), 0x001F);
    const std::vector<uint8_t> a1 = Encode(img, DdsFormat::A1R5G5B5, false);
    EXPECT_EQ(U32(a1, 104), 0x8000u);
    EXPECT_EQ(U16(a1, 128), 0xFC00);
    EXPECT_EQ(U16(a1, 130), 0x03E0);  // alpha 127: the bit stays clear
    EXPECT_EQ(U16(a1, 132), 0x801F);
    const std::vector<uint8_t> a4 = Encode(img, DdsFormat::A4R4G4B4, false);
    EXPECT_EQ(U32(a4, 80), 0x41u);
    EXPECT_EQ(U32(a4, 104), 0xF000u);
    EXPECT_EQ(U16(a4, 128), 0xFF00);
    EXPECT_EQ(U16(a4, 134), 0x0841);  // 136 → 8, 68 → 4, 17 → 1, alpha 0
}

TEST(DdsWriter, Dxt1MipChainSizes) {
    const Image img(256, 256, {90, 120, 200, 255});
    const std::vector<uint8_t> b = Encode(img, DdsFormat::DXT1, true);
    const size_t expected[] = {32768, 8192, 2048, 512, 128, 32, 8, 8, 8};
    size_t total = 128;
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(DdsLevelSize(DdsFormat::DXT1, 256 >> i, 256 >> i), expected[i]);
        total += expected[i];
    }
    EXPECT_EQ(b.size(), total);
    EXPECT_EQ(U32(b, 8), 0x1007u | 0x20000u | 0x80000u);  // + MIPMAPCOUNT | LINEARSIZE
    EXPECT_EQ(U32(b, 20), 32768u);
    EXPECT_EQ(U32(b, 28), 9u);
    EXPECT_EQ(U32(b, 80), 0x4u);
    EXPECT_EQ(std::memcmp(b.data() + 84, "DXT1", 4), 0);
    EXPECT_EQ(U32(b, 88), 0u);
    EXPECT_EQ(U32(b, 108), 0x401008u);

    // Odd sizes: partial blocks still take a whole block; levels stop at 1 × 1.
    EXPECT_EQ(MipLevelCount(10, 6), 4);
    EXPECT_EQ(MipLevelCount(1, 1), 1);
    const std::vector<uint8_t> odd = Encode(Image(10, 6, {}), DdsFormat::DXT5, true);
    EXPECT_EQ(odd.size(), 128u + (3 * 2 + 2 * 1 + 1 + 1) * 16);
    EXPECT_EQ(U32(odd, 28), 4u);
    EXPECT_EQ(DdsLevelSize(DdsFormat::A4R4G4B4, 5, 3), 30u);
}

TEST(DdsWriter, SolidColourBlocksDecodeToTheColour) {
    const Rgba colours[] = {{200, 40, 90, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}, {17, 130, 250, 255}};
    for (const Rgba c : colours) {
        const std::vector<uint8_t> d1 = Encode(Image(4, 4, c), DdsFormat::DXT1, false);
        ASSERT_EQ(d1.size(), 128u + 8);
        Rgba texels[16];
        DecodeColour(d1.data() + 128, false, texels);
        for (const Rgba& t : texels) {
            ExpectNearColour(t, c, 3, "DXT1");
            EXPECT_EQ(t.a, 255) << "DXT1 must stay opaque";
        }
    }
    const Rgba translucent{60, 180, 120, 100};
    const std::vector<uint8_t> d5 = Encode(Image(4, 4, translucent), DdsFormat::DXT5, false);
    ASSERT_EQ(d5.size(), 128u + 16);
    uint8_t alpha[16];
    DecodeDxt5Alpha(d5.data() + 128, alpha);
    Rgba texels[16];
    DecodeColour(d5.data() + 136, true, texels);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(alpha[i], 100);
        ExpectNearColour(texels[i], translucent, 3, "DXT5");
    }
    const std::vector<uint8_t> d3 = Encode(Image(4, 4, translucent), DdsFormat::DXT3, false);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d3[128 + size_t(i)], 0x66);  // 100 → 6 in every nibble
    DecodeColour(d3.data() + 136, true, texels);
    for (const Rgba& t : texels) ExpectNearColour(t, translucent, 3, "DXT3");
}

TEST(DdsWriter, TwoColourBlockKeepsItsTexels) {
    // Left half white, right half black, bottom-right texel half transparent.
    Image img(4, 4, {255, 255, 255, 255});
    for (int y = 0; y < 4; ++y)
        for (int x = 2; x < 4; ++x) img.at(x, y) = {0, 0, 0, 255};
    img.at(3, 3).a = 0;
    Rgba texels[16];
    const std::vector<uint8_t> d1 = Encode(img, DdsFormat::DXT1, false);
    DecodeColour(d1.data() + 128, false, texels);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t want = x < 2 ? 255 : 0;
            EXPECT_EQ(texels[4 * y + x].r, want) << x << "," << y;
            EXPECT_EQ(texels[4 * y + x].a, 255);
        }
    const std::vector<uint8_t> d5 = Encode(img, DdsFormat::DXT5, false);
    uint8_t alpha[16];
    DecodeDxt5Alpha(d5.data() + 128, alpha);
    EXPECT_EQ(alpha[15], 0);
    EXPECT_EQ(alpha[0], 255);
}

TEST(DdsWriter, MipLevelsAverageByAlpha) {
    Image img(2, 2, {255, 255, 255, 255});
    img.at(1, 1) = {255, 0, 0, 0};  // invisible red must not tint the level below
    const Image half = Downsample(img);
    ASSERT_EQ(half.width(), 1);
    EXPECT_EQ(half.at(0, 0), (Rgba{255, 255, 255, 191}));
    const std::vector<Image> chain = MipChain(Image(8, 2, {}));
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[1].width(), 4);
    EXPECT_EQ(chain[1].height(), 1);
    EXPECT_EQ(chain[3].width(), 1);

    // A level of the wrong size and an empty image are refused, output untouched.
    std::vector<uint8_t> out{7};
    std::string error;
    EXPECT_FALSE(EncodeDdsLevels({Image(8, 8), Image(3, 4)}, DdsFormat::DXT1, out, &error));
    EXPECT_NE(error.find("level 1"), std::string::npos);
    EXPECT_FALSE(EncodeDds(Image(), {}, out, &error));
    EXPECT_EQ(out, std::vector<uint8_t>{7});
}

TEST(DdsWriter, SameImageSameBytes) {
    Image img(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) img.at(x, y) = {uint8_t(x * 4), uint8_t(y * 8), uint8_t(x ^ y), uint8_t(x + y)};
    for (DdsFormat f : {DdsFormat::DXT1, DdsFormat::DXT3, DdsFormat::DXT5, DdsFormat::A4R4G4B4})
        EXPECT_EQ(Encode(img, f, true), Encode(img, f, true));
    DdsFormat f;
    EXPECT_TRUE(ParseDdsFormat("DXT5", f));
    EXPECT_EQ(f, DdsFormat::DXT5);
    EXPECT_FALSE(ParseDdsFormat("dxt2", f));
}

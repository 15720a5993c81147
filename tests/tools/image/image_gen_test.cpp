// Procedural images: noise ranges, tiling and determinism, patterns and ramps,
// pixel-centre sampling; JPEG and PNG output read back by their decoders.
#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <stb/stb_image.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/jpeg_writer.h"
#include "tools/image/noise.h"
#include "tools/image/patterns.h"
#include "tools/image/png_writer.h"

using namespace image;

namespace {

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> pixels;
};

// Decodes with libjpeg; the default error handler exits, which fails the test
// run loudly enough for a test.
Decoded DecodeJpeg(const std::vector<uint8_t>& bytes) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Decoded d{int(cinfo.output_width), int(cinfo.output_height), cinfo.output_components, {}};
    d.pixels.resize(size_t(d.width) * size_t(d.height) * size_t(d.components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + size_t(cinfo.output_scanline) * size_t(d.width) * size_t(d.components);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return d;
}

}  // namespace

TEST(ImageNoise, DeterministicInRangeAndSeeded) {
    float lo = 1, hi = 0, sum = 0;
    int n = 0, differ = 0;
    for (int i = 0; i < 2000; ++i) {
        const float x = float(i) * 0.173f, y = float(i % 37) * 0.291f;
        for (float v : {ValueNoise(x, y, 3), GradientNoise(x, y, 3), Fbm(NoiseKind::Gradient, x, y, 3),
                        RidgedFbm(x, y, 3)}) {
            ASSERT_GE(v, 0.0f);
            ASSERT_LE(v, 1.0f);
            lo = std::fmin(lo, v);
            hi = std::fmax(hi, v);
            sum += v;
            ++n;
        }
        EXPECT_EQ(GradientNoise(x, y, 3), GradientNoise(x, y, 3));
        differ += GradientNoise(x, y, 3) != GradientNoise(x, y, 4);
    }
    EXPECT_LT(lo, 0.2f);  // uses most of its range
    EXPECT_GT(hi, 0.8f);
    EXPECT_NEAR(sum / float(n), 0.5f, 0.1f);
    EXPECT_GT(differ, 1800);
    EXPECT_NE(Hash(1, 2, 3), Hash(2, 1, 3));
}

TEST(ImageNoise, PeriodicNoiseTilesAndIsContinuous) {
    const int period = 4;
    for (int i = 0; i < 200; ++i) {
        const float x = float(i) * 0.0731f, y = float(i) * 0.0419f;
        EXPECT_NEAR(ValueNoise(x, y, 9, period), ValueNoise(x + period, y, 9, period), 1e-5f);
        EXPECT_NEAR(GradientNoise(x, y, 9, period), GradientNoise(x, y + period, 9, period), 1e-5f);
        EXPECT_NEAR(Fbm(NoiseKind::Value, x, y, 9, {}, period), Fbm(NoiseKind::Value, x + period, y - period, 9, {}, period),
                    1e-4f);
        EXPECT_NEAR(Voronoi(x, y, 9, period).f1, Voronoi(x + period, y, 9, period).f1, 1e-4f);
        EXPECT_EQ(Voronoi(x, y, 9, period).cellId, Voronoi(x + period, y, 9, period).cellId);
        // Neighbouring samples differ little: no seams or jumps inside a tile.
        EXPECT_NEAR(GradientNoise(x, y, 9, period), GradientNoise(x + 1e-3f, y, 9, period), 0.01f);
        EXPECT_NEAR(Fbm(NoiseKind::Gradient, x, y, 9, {}, period), Fbm(NoiseKind::Gradient, x, y + 1e-3f, 9, {}, period),
                    0.02f);
    }
}

TEST(ImageNoise, VoronoiDistances) {
    for (int i = 0; i < 300; ++i) {
        const float x = float(i) * 0.37f, y = float(i) * 0.11f;
        const VoronoiSample s = Voronoi(x, y, 5);
        EXPECT_LE(s.f1, s.f2);
        EXPECT_NEAR(s.f1, std::hypot(s.nearestX - x, s.nearestY - y), 1e-5f);
        // At the feature point itself the distance is 0.
        EXPECT_NEAR(Voronoi(s.nearestX, s.nearestY, 5).f1, 0.0f, 1e-5f);
    }
    // Without jitter the points sit at cell centres.
    EXPECT_NEAR(Voronoi(2.5f, 7.5f, 1, 0, 0).f1, 0.0f, 1e-6f);
}

TEST(ImagePatterns, PatternsAndRamp) {
    EXPECT_EQ(Checker(0.1f, 0.1f, 2, 2), 0.0f);
    EXPECT_EQ(Checker(0.6f, 0.1f, 2, 2), 1.0f);
    EXPECT_EQ(Checker(0.6f, 0.6f, 2, 2), 0.0f);

    // Mortar at a joint, none in a brick's middle; a brick cut by the texture's
    // edge keeps its id on both sides so the texture tiles.
    EXPECT_NEAR(Bricks(0.5f / 4, 0.0f, 4, 4).mortar, 1.0f, 1e-6f);
    EXPECT_NEAR(Bricks(0.5f / 4, 0.5f / 4, 4, 4).mortar, 0.0f, 1e-6f);
    EXPECT_EQ(Bricks(0.01f, 0.3f, 4, 4).brickId, Bricks(0.99f, 0.3f, 4, 4).brickId);
    EXPECT_NE(Bricks(0.1f, 0.1f, 4, 4).brickId, Bricks(0.4f, 0.1f, 4, 4).brickId);

    EXPECT_FLOAT_EQ(Glow(0.5f, 0.5f), 1);
    EXPECT_FLOAT_EQ(Glow(1.0f, 0.5f), 0);
    EXPECT_FLOAT_EQ(RadialGradient(0.2f, 0.2f, 0.2f, 0.2f, 0.1f), 1);
    EXPECT_NEAR(Ring(0.5f + 0.3f, 0.5f, 0.3f, 0.05f), 1, 1e-6f);
    EXPECT_EQ(Ring(0.5f, 0.5f, 0.3f, 0.05f), 0);

    const ColorRamp ramp({{1, {0, 0, 1, 1}}, {0, {1, 0, 0, 1}}, {0.5f, {0, 1, 0, 1}}});
    EXPECT_FLOAT_EQ(ramp.At(-1).r, 1);
    EXPECT_FLOAT_EQ(ramp.At(0.25f).r, 0.5f);
    EXPECT_FLOAT_EQ(ramp.At(0.25f).g, 0.5f);
    EXPECT_FLOAT_EQ(ramp.At(0.75f).b, 0.5f);
    EXPECT_FLOAT_EQ(ramp.At(2).b, 1);
}

TEST(ImageGenerate, SamplesPixelCentresAndRoundsColours) {
    std::vector<std::pair<float, float>> seen;
    const Image img = Generate(4, 2, [&](float u, float v) {
        seen.push_back({u, v});
        return ColorF{u, v, 2.0f, std::numeric_limits<float>::quiet_NaN()};
    });
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_FLOAT_EQ(seen[0].first, 0.125f);
    EXPECT_FLOAT_EQ(seen[0].second, 0.25f);
    EXPECT_FLOAT_EQ(seen[7].first, 0.875f);
    EXPECT_FLOAT_EQ(seen[7].second, 0.75f);
    EXPECT_EQ(img.at(0, 0), (Rgba{32, 64, 255, 0}));  // 0.125 × 255 rounds to 32; NaN → 0
    EXPECT_EQ(img.at(3, 1), (Rgba{223, 191, 255, 0}));
    EXPECT_TRUE(Image(0, 5).empty());
    EXPECT_TRUE(Image(kMaxImageSize + 1, 1).empty());  // refused, not a huge allocation
}

TEST(ImageJpeg, ReadableByLibjpegWithTheRightSizeAndColours) {
    Image img(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) img.at(x, y) = x < 32 ? Rgba{220, 40, 30, 255} : Rgba{20, 60, 200, 255};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(EncodeJpeg(img, {}, bytes, &error)) << error;
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const Decoded d = DecodeJpeg(bytes);
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 32);
    ASSERT_EQ(d.components, 3);
    auto at = [&](int x, int y) { return &d.pixels[(size_t(y) * 64 + size_t(x)) * 3]; };
    EXPECT_NEAR(at(10, 16)[0], 220, 12);
    EXPECT_NEAR(at(10, 16)[1], 40, 12);
    EXPECT_NEAR(at(10, 16)[2], 30, 12);
    EXPECT_NEAR(at(50, 16)[0], 20, 12);
    EXPECT_NEAR(at(50, 16)[2], 200, 12);

    std::vector<uint8_t> again, low;
    ASSERT_TRUE(EncodeJpeg(img, {}, again));
    EXPECT_EQ(again, bytes);
    ASSERT_TRUE(EncodeJpeg(img, {.quality = 20}, low));
    EXPECT_LT(low.size(), bytes.size());
    EXPECT_FALSE(EncodeJpeg(Image(), {}, again, &error));
}

TEST(ImagePng, LosslessRoundTrip) {
    Image img(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) img.at(x, y) = {uint8_t(x * 50), uint8_t(y * 100), 7, uint8_t(255 - x)};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodePng(img, bytes));
    int w = 0, h = 0, n = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> px(
        stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4), &stbi_image_free);
    ASSERT_TRUE(px);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(std::memcmp(px.get(), img.pixels().data(), 5 * 3 * 4), 0);
}

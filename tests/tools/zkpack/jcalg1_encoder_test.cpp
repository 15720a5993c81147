// The compressor against the engine's decoder: every input must come back byte for
// byte from a buffer of exactly its size, on empty, tiny, random, repetitive and
// real inputs, and the choices that make it compress (token kinds, index bits)
// must actually be taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/files/jcalg1.h"
#include "tools/zkpack/jcalg1_encoder.h"
#include "tools/zkpack/pack_writer.h"

namespace fs = std::filesystem;
using zkpack::CompressJCALG1;
using zkpack::EncoderOptions;
using zkpack::EncoderStats;

namespace {

// Compresses and expands data; fails the test when the bytes differ. Returns the
// packed size.
size_t RoundTrip(const std::vector<uint8_t>& data, const EncoderOptions& options = {},
                 EncoderStats* stats = nullptr) {
    const std::vector<uint8_t> packed = CompressJCALG1(data.data(), data.size(), options, stats);
    EXPECT_EQ(packed.size() % 4, 0u);
    std::vector<uint8_t> out(data.size());
    const int64_t n = ZK3D::DecompressJCALG1(packed.data(), packed.size(), out.data(), out.size());
    EXPECT_EQ(n, int64_t(data.size()));
    EXPECT_TRUE(out == data) << "first difference at "
                             << (std::mismatch(out.begin(), out.end(), data.begin()).first - out.begin());
    return packed.size();
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

// The repository's sources, one after the other.
std::vector<uint8_t> Sources() {
    std::vector<uint8_t> all;
    for (const char* folder : {"engine", "platform", "tools", "tests"}) {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(fs::path(VELMOOR_SOURCE_DIR) / folder)) {
            const auto ext = e.path().extension();
            if (e.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            std::vector<uint8_t> bytes;
            std::string error;
            EXPECT_TRUE(zkpack::ReadWholeFile(f, bytes, error)) << error;
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
    }
    return all;
}

}  // namespace

TEST(Jcalg1Encoder, EmptyAndTinyInputsComeBack) {
    const std::vector<uint8_t> endOnly = CompressJCALG1(nullptr, 0);
    EXPECT_EQ(endOnly, std::vector<uint8_t>(4, 0));
    std::mt19937 rng(5);
    for (size_t n = 1; n <= 40; ++n) {
        SCOPED_TRACE(n);
        RoundTrip(std::vector<uint8_t>(n, 'a'));
        std::vector<uint8_t> cycle(n);
        for (size_t i = 0; i < n; ++i) cycle[i] = uint8_t("abc"[i % 3]);
        RoundTrip(cycle);
        RoundTrip(RandomBytes(n, uint32_t(n)));
    }
}

TEST(Jcalg1Encoder, RandomInputGrowsByNoMoreThanItsLiteralBits) {
    const std::vector<uint8_t> data = RandomBytes(65536, 11);
    const size_t packed = RoundTrip(data);
    EXPECT_LE(packed, data.size() * 9 / 8 + 8);
}

TEST(Jcalg1Encoder, RepetitiveInputShrinksToAFewTokens) {
    EXPECT_LT(RoundTrip(std::vector<uint8_t>(1 << 20, 0)), 256u);
    std::vector<uint8_t> pattern;
    for (int i = 0; i < 100000; ++i) pattern.push_back(uint8_t("vertex "[i % 7]));
    EXPECT_LT(RoundTrip(pattern), 256u);
}

TEST(Jcalg1Encoder, GeneratedMixturesComeBackAtEveryLevel) {
    // Runs, small alphabets, copies of earlier stretches and noise, mixed.
    std::mt19937 rng(77);
    for (int trial = 0; trial < 150; ++trial) {
        std::vector<uint8_t> data;
        const size_t size = rng() % 6000;
        while (data.size() < size) {
            const size_t piece = 1 + rng() % 300;
            switch (rng() % 4) {
                case 0: data.insert(data.end(), piece, uint8_t(rng())); break;
                case 1: for (size_t i = 0; i < piece; ++i) data.push_back(uint8_t('a' + rng() % 3)); break;
                case 2:
                    if (!data.empty()) {
                        const size_t from = rng() % data.size();
                        for (size_t i = 0; i < piece; ++i) data.push_back(data[from + i % (data.size() - from)]);
                    }
                    break;
                default: for (size_t i = 0; i < piece; ++i) data.push_back(uint8_t(rng())); break;
            }
        }
        SCOPED_TRACE(trial);
        RoundTrip(data, EncoderOptions{.level = 1 + trial % 9});
    }
}

TEST(Jcalg1Encoder, SourcesUseEveryTokenKindAndCompressWell) {
    const std::vector<uint8_t> sources = Sources();
    ASSERT_GT(sources.size(), 100000u);
    EncoderStats stats;
    const size_t packed = RoundTrip(sources, {}, &stats);
    EXPECT_LT(double(packed), 0.40 * double(sources.size()));
    EXPECT_GT(stats.literals, 0u);
    EXPECT_GT(stats.oneByteCopies, 0u);
    EXPECT_GT(stats.shortMatches, 0u);
    EXPECT_GT(stats.longMatches, 0u);
    EXPECT_GT(stats.repeats, 0u);
    // Searching harder never makes the stream larger here.
    EXPECT_LE(packed, RoundTrip(sources, EncoderOptions{.level = 1}));
    EXPECT_LE(RoundTrip(sources, EncoderOptions{.level = 9}), packed);
}

TEST(Jcalg1Encoder, FarOffsetsSwitchTheIndexBits) {
    // Chunks copied from far back in a random block: long matches with offsets of
    // hundreds of kilobytes, cheaper with more raw offset bits.
    std::vector<uint8_t> data = RandomBytes(600000, 3);
    std::mt19937 rng(4);
    for (int i = 0; i < 3000; ++i) {
        const size_t from = rng() % 300000;
        data.insert(data.end(), data.begin() + long(from), data.begin() + long(from) + 40);
    }
    EncoderStats stats;
    RoundTrip(data, {}, &stats);
    EXPECT_TRUE(stats.indexControl);
    EXPECT_GT(stats.indexBits, 8u);

    // Offsets of 128-255 cost least with the starting value, which needs no
    // control token.
    std::vector<uint8_t> records;
    const std::vector<uint8_t> record = RandomBytes(200, 8);
    for (int i = 0; i < 200; ++i) {
        records.insert(records.end(), record.begin(), record.end());
        records[records.size() - 1 - rng() % 200] = uint8_t(rng());
    }
    RoundTrip(records, {}, &stats);
    EXPECT_GT(stats.longMatches, 0u);
    EXPECT_FALSE(stats.indexControl) << stats.indexBits;
}

TEST(Jcalg1Encoder, TextureLikeDataComesBack) {
    // Smooth gradients with noise in the low bits, as in a photographic texture.
    std::vector<uint8_t> rgba;
    std::mt19937 rng(9);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 4; ++c)
                rgba.push_back(uint8_t(c == 3 ? 255 : (x * (c + 1) + y * 2 + int(rng() % 6)) & 0xFF));
    EXPECT_LT(RoundTrip(rgba), rgba.size());
}

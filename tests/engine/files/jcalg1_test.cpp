// JCALG1 decoding: known streams, hand-built damaged streams, and truncated or
// randomly corrupted streams from the pack builder's compressor. Inputs and
// outputs live in buffers of their exact size, so a sanitizer build catches any
// read or write outside them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/files/jcalg1.h"
#include "tools/zkpack/jcalg1_encoder.h"

using namespace ZK3D;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    return std::vector<uint8_t>(b.begin(), b.end());
}

// Decodes into a buffer of exactly capacity bytes; the text of what was written,
// or "damaged".
std::string Decode(const std::vector<uint8_t>& packed, size_t capacity) {
    std::vector<uint8_t> out(capacity);
    const int64_t n = DecompressJCALG1(packed.data(), packed.size(), out.data(), out.size());
    if (n == kJCALG1Damaged) return "damaged";
    EXPECT_GE(n, 0);
    EXPECT_LE(size_t(n), capacity);
    return std::string(out.begin(), out.begin() + n);
}

// Builds a stream from bit strings ("1 01100001"; blanks ignored), most
// significant bit first in 32-bit little-endian words, zero padded.
std::vector<uint8_t> Stream(const std::string& bits) {
    std::vector<uint8_t> out;
    uint32_t word = 0;
    int used = 0;
    for (char c : bits) {
        if (c != '0' && c != '1') continue;
        word |= uint32_t(c - '0') << (31 - used);
        if (++used == 32) {
            for (int i = 0; i < 4; ++i) out.push_back(uint8_t(word >> (8 * i)));
            word = 0;
            used = 0;
        }
    }
    if (used)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(word >> (8 * i)));
    return out;
}

const std::string kEnd = "000 0000000 00";
const std::string kLiteralA = "1 01100001";

}  // namespace

TEST(Jcalg1Decoder, DecodesTheKnownStreams) {
    // Literals, a short match of offset 3 and length 5, a one-byte copy.
    EXPECT_EQ(Decode(Bytes({0x60, 0xAC, 0xD8, 0xB0, 0x00, 0x00, 0x48, 0x1E}), 9), "abcabcabc");
    // A long match of offset 1 whose length 2 gets the near-offset bias of 4, then a
    // repeat of the last offset.
    EXPECT_EQ(Decode(Bytes({0x90, 0x08, 0x30, 0xBC, 0x00, 0x00, 0x00, 0x00}), 10), "xxxxxxxxxx");
    // An index-bits control (4), then a long match of offset 2.
    EXPECT_EQ(Decode(Bytes({0x05, 0x80, 0xD8, 0xB0, 0x00, 0x00, 0x80, 0x18}), 8), "abababab");
    // The end marker alone.
    EXPECT_EQ(Decode(Bytes({0x00, 0x00, 0x00, 0x00}), 0), "");
}

TEST(Jcalg1Decoder, MeasuresAStreamWithoutAnOutput) {
    const std::vector<uint8_t> abc = Bytes({0x60, 0xAC, 0xD8, 0xB0, 0x00, 0x00, 0x48, 0x1E});
    EXPECT_EQ(DecompressJCALG1(abc.data(), abc.size(), nullptr, 9), 9);
    EXPECT_EQ(DecompressJCALG1(abc.data(), abc.size(), nullptr, 8), kJCALG1Damaged);
    const std::vector<uint8_t> early = Stream(kLiteralA + "000 0000011 00" + kEnd);
    EXPECT_EQ(DecompressJCALG1(early.data(), early.size(), nullptr, 64), kJCALG1Damaged);
}

TEST(Jcalg1Decoder, ReadsAnIncompleteLastWordWithoutReadingPastIt) {
    // The second word of the x stream is all zero bits: one byte of it is enough.
    EXPECT_EQ(Decode(Bytes({0x90, 0x08, 0x30, 0xBC, 0x00}), 10), "xxxxxxxxxx");
    EXPECT_EQ(Decode(Bytes({0x00}), 0), "");
}

TEST(Jcalg1Decoder, RejectsStreamsThatBreakABound) {
    // Runs out of words before the end marker, or has none at all.
    EXPECT_EQ(Decode(Bytes({0x60, 0xAC, 0xD8, 0xB0}), 16), "damaged");
    EXPECT_EQ(Decode({}, 16), "damaged");
    // More output than the buffer holds: by a literal and by a match.
    EXPECT_EQ(Decode(Bytes({0x60, 0xAC, 0xD8, 0xB0, 0x00, 0x00, 0x48, 0x1E}), 8), "damaged");
    EXPECT_EQ(Decode(Stream(kLiteralA + kLiteralA + kEnd), 1), "damaged");
    EXPECT_EQ(Decode(Bytes({0x90, 0x08, 0x30, 0xBC, 0x00, 0x00, 0x00, 0x00}), 6), "damaged");
    // Back-references to before the start: a short match of offset 3 after one
    // byte, a one-byte copy from offset 2, the first token repeating offset 1, and
    // a long match of offset 0.
    EXPECT_EQ(Decode(Stream(kLiteralA + "000 0000011 00" + kEnd), 64), "damaged");
    EXPECT_EQ(Decode(Stream(kLiteralA + "001 0001" + kEnd), 64), "damaged");
    EXPECT_EQ(Decode(Stream("01 00 00" + kEnd), 64), "damaged");
    EXPECT_EQ(Decode(Stream(kLiteralA + "01 10 00000000 00" + kEnd), 64), "damaged");
    // An index-bits control of 0.
    EXPECT_EQ(Decode(Stream("000 0000000 01 0000" + kLiteralA + kEnd), 64), "damaged");
    // A gamma code that never ends within 31 bits.
    EXPECT_EQ(Decode(Stream(kLiteralA + "01" + std::string(80, '1') + kEnd), 64), "damaged");
    // The same tokens within bounds decode.
    EXPECT_EQ(Decode(Stream(kLiteralA + kLiteralA + "001 0001" + kEnd), 64), "aaa");
    EXPECT_EQ(Decode(Stream("000 0000000 01 0001" + kLiteralA + "01 10 1 00" + kEnd), 64), "aaaaaaa");
}

TEST(Jcalg1Decoder, TruncatedAndCorruptedStreamsFailCleanly) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "mesh " + std::to_string(i * 37 % 101) + " material stone_" + std::to_string(i % 7) + "\n";
    std::mt19937 rng(1234);
    for (int i = 0; i < 3000; ++i) text += char('a' + rng() % 4);
    const std::vector<uint8_t> input(text.begin(), text.end());
    const std::vector<uint8_t> packed = zkpack::CompressJCALG1(input.data(), input.size());
    ASSERT_EQ(Decode(packed, input.size()), text);

    // Every truncation: a stream cut at a word boundary has lost its end marker;
    // one cut inside the last word decodes as before only when the missing bytes
    // were zero anyway.
    for (size_t n = 0; n < packed.size(); ++n) {
        const std::vector<uint8_t> cut(packed.begin(), packed.begin() + n);
        const std::string got = Decode(cut, input.size());
        if (n % 4 == 0) {
            EXPECT_EQ(got, "damaged") << n;
        }
        if (got == text) {
            for (size_t b = n; b < packed.size(); ++b) EXPECT_EQ(packed[b], 0) << n;
        }
    }
    // Seeded random corruptions of one to four bytes: never outside the buffers
    // (the sanitizer build checks). With no checksum in the format, a corruption
    // shows as a rejected stream or, through the pack reader, as a wrong length.
    int rejected = 0, wrongLength = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<uint8_t> bad = packed;
        const int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
        const std::string got = Decode(bad, input.size() + 256);
        if (got == "damaged") {
            ++rejected;
        } else if (got.size() != input.size()) {
            ++wrongLength;
        }
    }
    EXPECT_GT(rejected, 0);
    EXPECT_GT(rejected + wrongLength, 2400);
}

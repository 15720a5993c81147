// JCALG1 decoding: one pass over the bit stream, no allocation, no tables.
//
// Token prefixes: 1 literal, 01 long match (or repeat of the last offset),
// 001 one-byte copy from a near offset, 000 short match / index-bits control /
// end marker. Every read, write and back-reference is bounds-checked; a stream
// that breaks a bound is rejected as a whole rather than decoded in part.
#include "engine/files/jcalg1.h"

#include <cstring>

namespace ZK3D {

namespace {

// Hands out the stream's bits, most significant first, a 32-bit little-endian word
// at a time. `reg` holds the unread bits of the current word followed by a single
// marker bit; when the marker leaves the register the next word is loaded.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t GetBit() {
        uint32_t bit = reg_ >> 31;
        reg_ <<= 1;
        if (reg_ == 0) {
            const uint32_t word = NextWord();
            bit = word >> 31;
            reg_ = (word << 1) | 1u;
        }
        return bit;
    }

    uint32_t GetBits(uint32_t n) {
        // All n bits still in the register (above its marker): take them at once.
        if (n && n <= 31u - uint32_t(__builtin_ctz(reg_))) {
            const uint32_t v = reg_ >> (32 - n);
            reg_ <<= n;
            return v;
        }
        uint32_t v = 0;
        while (n--) v = (v << 1) | GetBit();
        return v;
    }

    // Elias-gamma style: each data bit is followed by a continuation bit. Values
    // that would not fit in 31 bits mark the stream damaged; no valid stream
    // needs them, and a run of ones must not spin the register forever.
    uint32_t GetGamma() {
        uint32_t v = 1;
        do {
            if (v >= 0x40000000u) {
                damaged_ = true;
                return 0;
            }
            v = (v << 1) | GetBit();
        } while (GetBit());
        return v;
    }

    // True once a word past the packed bytes was asked for, or a value overflowed.
    bool Damaged() const { return damaged_; }

private:
    uint32_t NextWord() {
        if (pos_ >= size_) {
            damaged_ = true;
            return 0;
        }
        const size_t left = size_ - pos_;
        uint32_t word = 0;
        if (left >= 4) {
            word = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 |
                   uint32_t(data_[pos_ + 2]) << 16 | uint32_t(data_[pos_ + 3]) << 24;
            pos_ += 4;
        } else {
            // An incomplete last word: the missing high bytes read as zero.
            for (size_t i = 0; i < left; ++i) word |= uint32_t(data_[pos_ + i]) << (8 * i);
            pos_ = size_;
        }
        return word;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    uint32_t reg_ = 0x80000000u;
    bool damaged_ = false;
};

// Long matches with far offsets carry a length bias, so that short lengths are
// only spent on offsets where they pay off.
uint64_t LengthBias(uint64_t offset) {
    if (offset < 0x80) return 4;
    if (offset < 0x27F) return 0;
    if (offset < 0x37FF) return 1;
    if (offset < 0x10000) return 2;
    return 3;
}

}  // namespace

int64_t DecompressJCALG1(const uint8_t* packed, size_t packedSize, uint8_t* output,
                         size_t capacity) {
    if (!packed && packedSize) return kJCALG1Damaged;
    BitReader in(packed, packedSize);
    size_t p = 0;
    uint64_t lastOffset = 1;
    uint32_t indexBits = 8;

    // Copies n bytes from d bytes back, in increasing order so that overlapping
    // copies repeat the last d bytes.
    auto copy = [&](uint64_t d, uint64_t n) {
        if (d == 0 || d > p || n > capacity - p) return false;
        if (!output) {
            p += n;
            return true;
        }
        uint8_t* dst = output + p;
        const uint8_t* src = dst - d;
        if (d >= n) {
            std::memcpy(dst, src, n);
        } else {
            for (uint64_t i = 0; i < n; ++i) dst[i] = src[i];
        }
        p += n;
        return true;
    };

    for (;;) {
        if (in.Damaged()) return kJCALG1Damaged;
        if (in.GetBit()) {  // literal
            const uint8_t byte = uint8_t(in.GetBits(8));
            if (p >= capacity) return kJCALG1Damaged;
            if (output) output[p] = byte;
            ++p;
            continue;
        }
        if (in.GetBit()) {  // long match or repeat of the last offset
            const uint32_t g = in.GetGamma();
            uint64_t d, n;
            if (g == 2) {
                d = lastOffset;
                n = in.GetGamma();
            } else {
                d = (uint64_t(g - 3) << indexBits) | in.GetBits(indexBits);
                lastOffset = d;
                n = uint64_t(in.GetGamma()) + LengthBias(d);
            }
            if (in.Damaged() || !copy(d, n)) return kJCALG1Damaged;
            continue;
        }
        if (in.GetBit()) {  // one byte from 1-16 bytes back
            const uint32_t k = in.GetBits(4);
            if (!copy(k + 1, 1)) return kJCALG1Damaged;
            continue;
        }
        const uint32_t d = in.GetBits(7);
        const uint32_t m = in.GetBits(2);
        if (d != 0) {  // short match
            lastOffset = d;
            if (!copy(d, m + 2)) return kJCALG1Damaged;
        } else if (m == 0) {  // end marker
            break;
        } else {  // index-bits control
            indexBits = in.GetBits(4);
            if (indexBits == 0) return kJCALG1Damaged;
        }
    }
    // An end marker made of bits past the packed bytes is no end marker.
    if (in.Damaged()) return kJCALG1Damaged;
    return int64_t(p);
}

}  // namespace ZK3D

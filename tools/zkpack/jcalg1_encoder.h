// A JCALG1 compressor: writes the bit stream that the engine's DecompressJCALG1
// expands.
//
// It finds matches with hash chains (3-byte hashes, plus a table of the nearest
// 2-byte match for the cheap short tokens) and chooses tokens by their exact cost
// in bits with a forward shortest-path parse over blocks of the input, tracking
// the last offset along each path so that repeat tokens are priced and used
// where they apply. The number of raw offset bits in long matches is chosen from
// the offsets a first parse used; when another value pays for its control token,
// the input is parsed again with it.
//
// It does not stream: the whole input is in memory, and the output grows as one
// buffer. Inputs must be smaller than 4 GiB (pack entries are).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zkpack {

struct EncoderOptions {
    // 1 (fastest) to 9 (smallest); sets the search depth and the match length
    // taken without further search.
    int level = 6;
};

// What a stream is made of, for tests and for the listing.
struct EncoderStats {
    uint64_t literals = 0;
    uint64_t oneByteCopies = 0;
    uint64_t shortMatches = 0;
    uint64_t longMatches = 0;
    uint64_t repeats = 0;
    uint32_t indexBits = 8;   // offset bits sent raw in long matches
    bool indexControl = false; // whether the stream opens with an index-bits control
};

// The JCALG1 stream for size bytes of data, end marker included, padded to whole
// 32-bit words. Empty input gives the end marker alone (4 bytes).
std::vector<uint8_t> CompressJCALG1(const uint8_t* data, size_t size,
                                    const EncoderOptions& options = {},
                                    EncoderStats* stats = nullptr);

}  // namespace zkpack

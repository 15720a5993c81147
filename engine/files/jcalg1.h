// The JCALG1 decoder that expands compressed pack entries.
//
// A JCALG1 stream is an LZ77 code of literals and back-references written as a
// bit stream in 32-bit little-endian words, most significant bit first; it has no
// header, no stored size and no checksum, and ends with an end-marker token.
//
// The decoder trusts nothing in the stream: it never reads past the packed bytes
// (an incomplete last word reads as if padded with zero bytes), never writes past
// the output capacity, never copies from before the start of the output, and
// rejects a zero index-bits control and oversized lengths. A stream that would do
// any of these, or that runs out before its end marker, gives kJCALG1Damaged.
// It does not allocate and keeps no state between calls (reentrant).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK3D {

inline constexpr int64_t kJCALG1Damaged = -1;

// Expands packedSize bytes of packed into output (room for capacity bytes).
// Returns the number of bytes written, or kJCALG1Damaged. With output nullptr
// nothing is written: the stream is checked against capacity and its length
// returned, which lets a caller check a stream before allocating its buffer
// (which tokens follow never depends on the bytes written).
int64_t DecompressJCALG1(const uint8_t* packed, size_t packedSize, uint8_t* output,
                         size_t capacity);

}  // namespace ZK3D

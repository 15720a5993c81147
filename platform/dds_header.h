// The 124-byte surface description a DDS file stores after its "DDS " magic,
// read and written field by field.
//
// In this build DDSURFACEDESC2 holds a real (8-byte) lpSurface pointer, so the
// structure is larger than the file's record and must never be copied over it.
// The record's lpSurface slot (often holding a writer's tag) is ignored on reading
// and written as 0. No file access here: callers pass bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d7.h"

namespace platform {

constexpr DWORD kDdsMagic = 0x20534444;  // "DDS " little-endian
constexpr size_t kDdsHeaderBytes = 124;

// Fills desc from the 124 bytes at bytes (size must be at least 124). False when
// the record's own sizes are wrong (dwSize 124, pixel-format size 32).
bool ReadDdsHeader(const uint8_t* bytes, size_t size, DDSURFACEDESC2* desc);

// The 124-byte record of desc (dwSize written as 124, pixel-format size 32).
void WriteDdsHeader(const DDSURFACEDESC2& desc, uint8_t out[kDdsHeaderBytes]);

}  // namespace platform

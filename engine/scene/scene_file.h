// The identifying bytes of a ZKS scene file, shared by the engine's reader and
// the tools that write scenes (which include this header but link nothing of
// the engine).
#pragma once

#include <cstdint>

namespace ZK3D {

// The file's first three bytes.
inline constexpr char kSceneFileMagic[3] = {'Z', 'K', 'S'};

// The byte after the magic: which form the hierarchy records take.
inline constexpr uint8_t kStaticScene = 0x2A;    // '*': transforms only
inline constexpr uint8_t kAnimatedScene = 0x40;  // '@': transforms and key tracks

}  // namespace ZK3D

// The show's screen: every position the scripts, overlays, text and flares give
// is in this 640 x 480 space, whatever size the window or back buffer has.
#pragma once

namespace ZK3D {

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;

}  // namespace ZK3D

// GL image tests run at the logical size and at twice the resolution: the checks,
// made on logical pixels read back through the device, must hold for both (the
// same picture, only sharper).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/render_resolution.h"

namespace testing_support {

inline const auto kRenderScales = ::testing::Values(1, 2);

inline std::string RenderScaleName(const ::testing::TestParamInfo<int>& info) {
    return "x" + std::to_string(info.param);
}

// Renders the context's logical width x height at scale times the resolution.
inline bool UseRenderScale(ID3DXContext* context, int width, int height, int scale) {
    if (scale == 1) return true;
    platform::RenderResolution resolution;
    resolution.width = width * scale;
    resolution.height = height * scale;
    return platform::SetRenderResolution(context, resolution);
}

}  // namespace testing_support

// Decodes a flexible vertex format word into byte offsets and sizes of each
// vertex element, the layout the GL device feeds to its vertex attributes.
//
// Pure CPU code. Blend weights (XYZB1..5) are skipped over: the position is read
// and the weights ignored, as the device does no vertex blending.
#pragma once

#include "platform/d3d7.h"

namespace platform::gl {

struct FvfLayout {
    bool valid = false;
    bool pretransformed = false;  // XYZRHW: x, y, z, rhw in render-target pixels
    int position = 0;             // offset of the position (always 0)
    int normal = -1;              // offsets, -1 when absent
    int diffuse = -1;
    int specular = -1;
    int texCount = 0;
    int texOffset[8] = {};
    int texSize[8] = {};  // floats per set: 1 to 4
    int stride = 0;
};

// A layout with valid false when the word has no position, combines XYZRHW with
// a normal, or asks for more than eight texture sets.
FvfLayout DecodeFvf(DWORD fvf);

}  // namespace platform::gl

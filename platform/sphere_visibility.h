// Sphere-against-frustum classification as the device's ComputeSphereVisibility
// does it, on the CPU; shared by the GL device and by test devices.
#pragma once

#include "platform/d3d7.h"

namespace platform {

// Classifies each sphere (centre and radius in model space) against the six planes
// of world x view x projection. Per plane j (left, right, top, bottom, front, back):
// a sphere straddling it sets bit 1 << j, one wholly outside sets 1 << j and
// 0x1000 << j.
void ComputeSphereVisibility(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection,
                             const D3DVECTOR* centers, const D3DVALUE* radii, DWORD count, DWORD* results);

}  // namespace platform

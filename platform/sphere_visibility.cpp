#include "platform/sphere_visibility.h"

#include <cmath>

namespace platform {

void ComputeSphereVisibility(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection,
                             const D3DVECTOR* centers, const D3DVALUE* radii, DWORD count, DWORD* results) {
    const D3DMATRIX m = D3DMatrixMultiply(D3DMatrixMultiply(world, view), projection);
    const float* e = &m._11;
    // Column k of the combined matrix: (e[k], e[4 + k], e[8 + k], e[12 + k]).
    auto column = [e](int k, float sign, float out[4]) {
        for (int r = 0; r < 4; ++r) out[r] = sign * e[4 * r + k];
    };
    float planes[6][4];
    float c0[4], c1[4], c2[4], c3[4];
    column(0, 1, c0);
    column(1, 1, c1);
    column(2, 1, c2);
    column(3, 1, c3);
    for (int r = 0; r < 4; ++r) {
        planes[0][r] = c3[r] + c0[r];  // left
        planes[1][r] = c3[r] - c0[r];  // right
        planes[2][r] = c3[r] - c1[r];  // top
        planes[3][r] = c3[r] + c1[r];  // bottom
        planes[4][r] = c2[r];          // front (near): 0 <= z
        planes[5][r] = c3[r] - c2[r];  // back (far): z <= w
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD bits = 0;
        const D3DVECTOR c = centers[i];
        const float radius = radii[i];
        for (int j = 0; j < 6; ++j) {
            const float* p = planes[j];
            const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            if (length == 0.0f) continue;
            const float distance = (p[0] * c.x + p[1] * c.y + p[2] * c.z + p[3]) / length;
            if (std::fabs(distance) < radius)
                bits |= 1u << j;
            else if (distance < -radius)
                bits |= (1u << j) | (0x1000u << j);
        }
        results[i] = bits;
    }
}

}  // namespace platform

#include "platform/d3d7.h"

DWORD FvfStride(DWORD fvf) {
    DWORD stride = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: stride = 12; break;
        case D3DFVF_XYZRHW: stride = 16; break;
        case 0: break;
        default: stride = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - 0x4) / 2); break;  // XYZB1..XYZB5
    }
    if (fvf & D3DFVF_NORMAL) stride += 12;
    if (fvf & D3DFVF_RESERVED1) stride += 4;
    if (fvf & D3DFVF_DIFFUSE) stride += 4;
    if (fvf & D3DFVF_SPECULAR) stride += 4;
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (DWORD k = 0; k < sets && k < 8; ++k) {
        // Size bits 16 + 2k: 0 two floats, 1 three, 2 four, 3 one.
        static const DWORD kFloats[4] = {2, 3, 4, 1};
        stride += 4 * kFloats[(fvf >> (16 + 2 * k)) & 3];
    }
    return stride;
}

D3DMATRIX D3DMatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    const float* x = &a._11;
    const float* y = &b._11;
    D3DMATRIX r;
    float* o = &r._11;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            o[4 * i + j] = x[4 * i] * y[j] + x[4 * i + 1] * y[4 + j] + x[4 * i + 2] * y[8 + j] + x[4 * i + 3] * y[12 + j];
    return r;
}

D3DMATRIX D3DMatrixIdentity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

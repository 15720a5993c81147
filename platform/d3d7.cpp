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

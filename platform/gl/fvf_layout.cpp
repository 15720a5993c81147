// Flexible-vertex-format decoding (see fvf_layout.h).
#include "platform/gl/fvf_layout.h"

namespace platform::gl {

FvfLayout DecodeFvf(DWORD fvf) {
    FvfLayout l;
    int offset = 0;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position == 0) return l;
    if (position == D3DFVF_XYZRHW) {
        l.pretransformed = true;
        offset = 16;
    } else {
        offset = position == D3DFVF_XYZ ? 12 : 12 + 4 * int((position - 0x4) / 2);  // XYZB1..XYZB5
    }
    if (fvf & D3DFVF_NORMAL) {
        if (l.pretransformed) return l;
        l.normal = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_RESERVED1) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specular = offset;
        offset += 4;
    }
    const int sets = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (sets > 8) return l;
    static const int kFloats[4] = {2, 3, 4, 1};
    for (int k = 0; k < sets; ++k) {
        l.texOffset[k] = offset;
        l.texSize[k] = kFloats[(fvf >> (16 + 2 * k)) & 3];
        offset += 4 * l.texSize[k];
    }
    l.texCount = sets;
    l.stride = offset;
    l.valid = true;
    return l;
}

}  // namespace platform::gl

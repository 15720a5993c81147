// Pixel formats: descriptions, sizes and CPU conversions (see pixel_format.h).
#include "platform/gl/pixel_format.h"

#include <stb_dxt.h>

#include <algorithm>
#include <cstring>

namespace platform::gl {

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
uint32_t ChA(uint32_t c) { return c >> 24; }
uint32_t ChR(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t ChG(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t ChB(uint32_t c) { return c & 0xFF; }

// n-bit value to 8 bits by bit replication.
uint32_t Replicate(uint32_t v, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        const int shift = 8 - filled - bits;
        out |= shift >= 0 ? v << shift : v >> -shift;
        filled += bits;
    }
    return out & 0xFF;
}

// 8 bits to n bits, rounded.
uint32_t Quantize(uint32_t v, int bits) { return (v * ((1u << bits) - 1) + 127) / 255; }

uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Read32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void Write16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

int BitCount(DWORD mask) { return __builtin_popcount(mask); }
int LowBit(DWORD mask) { return mask ? __builtin_ctz(mask) : 0; }

uint32_t Extract(uint32_t word, DWORD mask) {
    if (!mask) return 0;
    return Replicate((word & mask) >> LowBit(mask), BitCount(mask));
}

// ---------------------------------------------------------------- DXT

void DecodeColorBlock(const uint8_t* b, bool allowThreeColor, uint32_t out[16]) {
    const uint16_t c0 = Read16(b), c1 = Read16(b + 2);
    const uint32_t idx = Read32(b + 4);
    const uint32_t e0 = Expand565(c0), e1 = Expand565(c1);
    uint32_t palette[4];
    palette[0] = e0;
    palette[1] = e1;
    const auto mix = [&](int w0, int w1, int d) {
        return Argb(255, (w0 * ChR(e0) + w1 * ChR(e1)) / d, (w0 * ChG(e0) + w1 * ChG(e1)) / d,
                    (w0 * ChB(e0) + w1 * ChB(e1)) / d);
    };
    if (c0 > c1 || !allowThreeColor) {
        palette[2] = mix(2, 1, 3);
        palette[3] = mix(1, 2, 3);
    } else {
        palette[2] = mix(1, 1, 2);
        palette[3] = 0;  // transparent black
    }
    for (int i = 0; i < 16; ++i) out[i] = palette[(idx >> (2 * i)) & 3];
}

void DecodeExplicitAlpha(const uint8_t* b, uint32_t out[16]) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(b[i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        const uint32_t a = uint32_t((bits >> (4 * i)) & 15) * 17;
        out[i] = (out[i] & 0x00FFFFFF) | a << 24;
    }
}

void DecodeInterpolatedAlpha(const uint8_t* b, uint32_t out[16]) {
    const uint32_t a0 = b[0], a1 = b[1];
    uint32_t table[8] = {a0, a1};
    if (a0 > a1) {
        for (int c = 2; c < 8; ++c) table[c] = ((8 - c) * a0 + (c - 1) * a1) / 7;
    } else {
        for (int c = 2; c < 6; ++c) table[c] = ((6 - c) * a0 + (c - 1) * a1) / 5;
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(b[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0x00FFFFFF) | table[(bits >> (3 * i)) & 7] << 24;
}

// Colour block with transparent texels: three-colour mode between the two
// opaque texels farthest apart, code 3 for the transparent ones.
void EncodeDxt1WithAlpha(const uint32_t texels[16], uint8_t* out) {
    int first = -1, second = -1, widest = -1;
    for (int i = 0; i < 16; ++i) {
        if (ChA(texels[i]) < 128) continue;
        for (int j = i; j < 16; ++j) {
            if (ChA(texels[j]) < 128) continue;
            const int dr = int(ChR(texels[i])) - int(ChR(texels[j]));
            const int dg = int(ChG(texels[i])) - int(ChG(texels[j]));
            const int db = int(ChB(texels[i])) - int(ChB(texels[j]));
            const int d = dr * dr + dg * dg + db * db;
            if (d > widest) widest = d, first = i, second = j;
        }
    }
    uint16_t c0 = first < 0 ? 0 : Pack565(texels[first]), c1 = first < 0 ? 0 : Pack565(texels[second]);
    if (c0 > c1) std::swap(c0, c1);
    const uint32_t e0 = Expand565(c0), e1 = Expand565(c1);
    const uint32_t mid = Argb(255, (ChR(e0) + ChR(e1)) / 2, (ChG(e0) + ChG(e1)) / 2, (ChB(e0) + ChB(e1)) / 2);
    const uint32_t palette[3] = {e0, e1, mid};
    uint32_t idx = 0;
    for (int i = 0; i < 16; ++i) {
        uint32_t code = 3;
        if (ChA(texels[i]) >= 128) {
            int best = 1 << 30;
            for (uint32_t c = 0; c < 3; ++c) {
                const int dr = int(ChR(texels[i])) - int(ChR(palette[c]));
                const int dg = int(ChG(texels[i])) - int(ChG(palette[c]));
                const int db = int(ChB(texels[i])) - int(ChB(palette[c]));
                const int d = dr * dr + dg * dg + db * db;
                if (d < best) best = d, code = c;
            }
        }
        idx |= code << (2 * i);
    }
    Write16(out, c0);
    Write16(out + 2, c1);
    Write32(out + 4, idx);
}

void EncodeDxtBlock(Format format, const uint32_t texels[16], uint8_t* out) {
    uint8_t rgba[64];
    bool transparent = false;
    const bool premultiply = format == Format::DXT2 || format == Format::DXT4;
    for (int i = 0; i < 16; ++i) {
        uint32_t r = ChR(texels[i]), g = ChG(texels[i]), b = ChB(texels[i]);
        const uint32_t a = ChA(texels[i]);
        if (premultiply) r = (r * a + 127) / 255, g = (g * a + 127) / 255, b = (b * a + 127) / 255;
        rgba[4 * i] = uint8_t(r);
        rgba[4 * i + 1] = uint8_t(g);
        rgba[4 * i + 2] = uint8_t(b);
        rgba[4 * i + 3] = uint8_t(a);
        transparent |= a < 128;
    }
    switch (format) {
        case Format::DXT1:
            if (transparent)
                EncodeDxt1WithAlpha(texels, out);
            else
                stb_compress_dxt_block(out, rgba, 0, STB_DXT_HIGHQUAL);
            break;
        case Format::DXT2:
        case Format::DXT3: {
            uint64_t bits = 0;
            for (int i = 0; i < 16; ++i) bits |= uint64_t(Quantize(rgba[4 * i + 3], 4)) << (4 * i);
            for (int i = 0; i < 8; ++i) out[i] = uint8_t(bits >> (8 * i));
            stb_compress_dxt_block(out + 8, rgba, 0, STB_DXT_HIGHQUAL);
            break;
        }
        default:  // DXT4, DXT5
            stb_compress_dxt_block(out, rgba, 1, STB_DXT_HIGHQUAL);
            break;
    }
}

}  // namespace

uint32_t Expand565(uint16_t c) {
    return Argb(255, Replicate(c >> 11, 5), Replicate((c >> 5) & 63, 6), Replicate(c & 31, 5));
}

uint16_t Pack565(uint32_t argb) {
    return uint16_t(Quantize(ChR(argb), 5) << 11 | Quantize(ChG(argb), 6) << 5 | Quantize(ChB(argb), 5));
}

bool IsCompressed(Format f) { return f >= Format::DXT1 && f <= Format::DXT5; }
bool IsDepth(Format f) { return f == Format::Depth16 || f == Format::Depth24; }

bool HasAlpha(Format f) {
    switch (f) {
        case Format::A1R5G5B5:
        case Format::A4R4G4B4:
        case Format::A8R8G8B8:
        case Format::DXT1:
        case Format::DXT2:
        case Format::DXT3:
        case Format::DXT4:
        case Format::DXT5: return true;
        default: return false;
    }
}

int BytesPerUnit(Format f) {
    switch (f) {
        case Format::X1R5G5B5:
        case Format::A1R5G5B5:
        case Format::A4R4G4B4:
        case Format::R5G6B5:
        case Format::Depth16: return 2;
        case Format::X8R8G8B8:
        case Format::A8R8G8B8:
        case Format::Depth24: return 4;
        case Format::DXT1: return 8;
        case Format::DXT2:
        case Format::DXT3:
        case Format::DXT4:
        case Format::DXT5: return 16;
        default: return 0;
    }
}

DWORD DepthMask(Format f) {
    return f == Format::Depth16 ? 0xFFFFu : f == Format::Depth24 ? 0x00FFFFFFu : 0u;
}

DDPIXELFORMAT PixelFormatOf(Format f) {
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof(DDPIXELFORMAT);
    const auto rgb = [&](DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
        pf.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
        pf.dwRGBBitCount = bits;
        pf.dwRBitMask = r;
        pf.dwGBitMask = g;
        pf.dwBBitMask = b;
        pf.dwRGBAlphaBitMask = a;
    };
    const auto fourcc = [&](DWORD code) {
        pf.dwFlags = DDPF_FOURCC;
        pf.dwFourCC = code;
    };
    switch (f) {
        case Format::X1R5G5B5: rgb(16, 0x7C00, 0x03E0, 0x001F, 0); break;
        case Format::A1R5G5B5: rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000); break;
        case Format::A4R4G4B4: rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000); break;
        case Format::R5G6B5: rgb(16, 0xF800, 0x07E0, 0x001F, 0); break;
        case Format::X8R8G8B8: rgb(32, 0xFF0000, 0xFF00, 0xFF, 0); break;
        case Format::A8R8G8B8: rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000); break;
        case Format::DXT1: fourcc(FOURCC_DXT1); break;
        case Format::DXT2: fourcc(FOURCC_DXT2); pf.dwFlags |= DDPF_ALPHAPREMULT; break;
        case Format::DXT3: fourcc(FOURCC_DXT3); break;
        case Format::DXT4: fourcc(FOURCC_DXT4); pf.dwFlags |= DDPF_ALPHAPREMULT; break;
        case Format::DXT5: fourcc(FOURCC_DXT5); break;
        case Format::Depth16:
        case Format::Depth24:
            pf.dwFlags = DDPF_ZBUFFER;
            pf.dwRGBBitCount = f == Format::Depth16 ? 16 : 32;
            pf.dwGBitMask = DepthMask(f);
            break;
        default: pf.dwSize = 0; break;
    }
    return pf;
}

Format FormatOf(const DDPIXELFORMAT& pf) {
    // A code without the flag (or the flag without a code) is no format: a reader
    // going by the code would see other pixels than this.
    if (((pf.dwFlags & DDPF_FOURCC) != 0) != (pf.dwFourCC != 0)) return Format::Unknown;
    if (pf.dwFlags & DDPF_FOURCC) {
        switch (pf.dwFourCC) {
            case FOURCC_DXT1: return Format::DXT1;
            case FOURCC_DXT2: return Format::DXT2;
            case FOURCC_DXT3: return Format::DXT3;
            case FOURCC_DXT4: return Format::DXT4;
            case FOURCC_DXT5: return Format::DXT5;
            default: return Format::Unknown;
        }
    }
    if (pf.dwFlags & DDPF_ZBUFFER) {
        if (pf.dwRGBBitCount == 16) return Format::Depth16;
        if (pf.dwRGBBitCount == 24 || pf.dwRGBBitCount == 32) return Format::Depth24;
        return Format::Unknown;
    }
    if (!(pf.dwFlags & DDPF_RGB)) return Format::Unknown;
    const DWORD alpha = (pf.dwFlags & DDPF_ALPHAPIXELS) ? pf.dwRGBAlphaBitMask : 0;
    for (Format f : kTextureFormats) {
        if (IsCompressed(f)) continue;
        const DDPIXELFORMAT c = PixelFormatOf(f);
        if (c.dwRGBBitCount == pf.dwRGBBitCount && c.dwRBitMask == pf.dwRBitMask && c.dwGBitMask == pf.dwGBitMask &&
            c.dwBBitMask == pf.dwBBitMask && c.dwRGBAlphaBitMask == alpha)
            return f;
    }
    return Format::Unknown;
}

size_t LevelPitch(Format f, int width) {
    const size_t w = size_t(std::max(width, 1));
    if (IsCompressed(f)) return (w + 3) / 4 * size_t(BytesPerUnit(f));
    return (w * size_t(BytesPerUnit(f)) + 3) & ~size_t(3);
}

size_t LevelSize(Format f, int width, int height) {
    const size_t h = size_t(std::max(height, 1));
    if (IsCompressed(f)) return LevelPitch(f, width) * ((h + 3) / 4);
    return LevelPitch(f, width) * h;
}

int FullMipCount(int width, int height) {
    int levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        ++levels;
    }
    return levels;
}

void DecodeDxtBlock(Format f, const uint8_t* block, uint32_t out[16]) {
    switch (f) {
        case Format::DXT1: DecodeColorBlock(block, true, out); break;
        case Format::DXT2:
        case Format::DXT3:
            DecodeColorBlock(block + 8, false, out);
            DecodeExplicitAlpha(block, out);
            break;
        case Format::DXT4:
        case Format::DXT5:
            DecodeColorBlock(block + 8, false, out);
            DecodeInterpolatedAlpha(block, out);
            break;
        default: std::fill(out, out + 16, 0u); break;
    }
}

void DecodeLevel(Format f, const uint8_t* src, size_t pitch, int w, int h, uint32_t* out) {
    if (IsCompressed(f)) {
        const int unit = BytesPerUnit(f);
        const size_t rowBytes = LevelPitch(f, w);
        for (int by = 0; by < (h + 3) / 4; ++by) {
            for (int bx = 0; bx < (w + 3) / 4; ++bx) {
                uint32_t texels[16];
                DecodeDxtBlock(f, src + size_t(by) * rowBytes + size_t(bx) * size_t(unit), texels);
                for (int y = 0; y < 4 && 4 * by + y < h; ++y)
                    for (int x = 0; x < 4 && 4 * bx + x < w; ++x)
                        out[size_t(4 * by + y) * size_t(w) + size_t(4 * bx + x)] = texels[4 * y + x];
            }
        }
        return;
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = src + size_t(y) * pitch;
        uint32_t* o = out + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            switch (f) {
                case Format::X1R5G5B5:
                case Format::A1R5G5B5: {
                    const uint16_t c = Read16(row + 2 * x);
                    const uint32_t a = f == Format::X1R5G5B5 || (c & 0x8000) ? 255 : 0;
                    o[x] = Argb(a, Replicate((c >> 10) & 31, 5), Replicate((c >> 5) & 31, 5), Replicate(c & 31, 5));
                    break;
                }
                case Format::A4R4G4B4: {
                    const uint16_t c = Read16(row + 2 * x);
                    o[x] = Argb((c >> 12) * 17, ((c >> 8) & 15) * 17, ((c >> 4) & 15) * 17, (c & 15) * 17);
                    break;
                }
                case Format::R5G6B5: o[x] = Expand565(Read16(row + 2 * x)); break;
                case Format::X8R8G8B8: o[x] = Read32(row + 4 * x) | 0xFF000000u; break;
                case Format::A8R8G8B8: o[x] = Read32(row + 4 * x); break;
                case Format::Depth16: {
                    const uint32_t d = Read16(row + 2 * x) >> 8;
                    o[x] = Argb(255, d, d, d);
                    break;
                }
                case Format::Depth24: {
                    const uint32_t d = (Read32(row + 4 * x) >> 16) & 0xFF;
                    o[x] = Argb(255, d, d, d);
                    break;
                }
                default: o[x] = 0; break;
            }
        }
    }
}

void EncodeLevel(Format f, const uint32_t* src, int w, int h, uint8_t* dst, size_t pitch) {
    if (IsCompressed(f)) {
        const int unit = BytesPerUnit(f);
        const size_t rowBytes = LevelPitch(f, w);
        for (int by = 0; by < (h + 3) / 4; ++by) {
            for (int bx = 0; bx < (w + 3) / 4; ++bx) {
                // Texels past the level's edge repeat the last row / column.
                uint32_t texels[16];
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x) {
                        const int sx = std::min(4 * bx + x, w - 1), sy = std::min(4 * by + y, h - 1);
                        texels[4 * y + x] = src[size_t(sy) * size_t(w) + size_t(sx)];
                    }
                EncodeDxtBlock(f, texels, dst + size_t(by) * rowBytes + size_t(bx) * size_t(unit));
            }
        }
        return;
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* row = dst + size_t(y) * pitch;
        const uint32_t* s = src + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const uint32_t c = s[x];
            switch (f) {
                case Format::X1R5G5B5:
                case Format::A1R5G5B5: {
                    const uint32_t a = f == Format::X1R5G5B5 ? 1 : (ChA(c) >= 128 ? 1 : 0);
                    Write16(row + 2 * x, uint16_t(a << 15 | Quantize(ChR(c), 5) << 10 | Quantize(ChG(c), 5) << 5 |
                                                  Quantize(ChB(c), 5)));
                    break;
                }
                case Format::A4R4G4B4:
                    Write16(row + 2 * x, uint16_t(Quantize(ChA(c), 4) << 12 | Quantize(ChR(c), 4) << 8 |
                                                  Quantize(ChG(c), 4) << 4 | Quantize(ChB(c), 4)));
                    break;
                case Format::R5G6B5: Write16(row + 2 * x, Pack565(c)); break;
                case Format::X8R8G8B8: Write32(row + 4 * x, c | 0xFF000000u); break;
                case Format::A8R8G8B8: Write32(row + 4 * x, c); break;
                default: break;
            }
        }
    }
}

bool DecodeMasked(const DDPIXELFORMAT& pf, const uint8_t* src, size_t pitch, int w, int h, uint32_t* out) {
    const DWORD bits = pf.dwRGBBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool rgb = pf.dwFlags & DDPF_RGB;
    const bool luminance = pf.dwFlags & DDPF_LUMINANCE;
    const bool alphaOnly = pf.dwFlags & DDPF_ALPHA;
    if (!rgb && !luminance && !alphaOnly) return false;
    const bool hasAlpha = (pf.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) && pf.dwRGBAlphaBitMask;
    const int bytes = int(bits / 8);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = src + size_t(y) * pitch;
        for (int x = 0; x < w; ++x) {
            uint32_t word = 0;
            for (int i = 0; i < bytes; ++i) word |= uint32_t(row[x * bytes + i]) << (8 * i);
            const uint32_t a = hasAlpha ? Extract(word, pf.dwRGBAlphaBitMask) : 255;
            uint32_t r = 0, g = 0, b = 0;
            if (rgb) {
                r = Extract(word, pf.dwRBitMask);
                g = Extract(word, pf.dwGBitMask);
                b = Extract(word, pf.dwBBitMask);
            } else if (luminance) {
                r = g = b = Extract(word, pf.dwRBitMask);
            }
            out[size_t(y) * size_t(w) + size_t(x)] = Argb(a, r, g, b);
        }
    }
    return true;
}

void ScaleArgb(const uint32_t* src, int sw, int sh, uint32_t* dst, int dw, int dh, bool linear) {
    struct Tap {
        int index;
        double weight;
    };
    // Per destination column (or row): the source texels it reads and their weights.
    const auto axisTaps = [linear](int s, int d) {
        std::vector<std::vector<Tap>> taps(static_cast<size_t>(d));
        for (int i = 0; i < d; ++i) {
            auto& t = taps[size_t(i)];
            if (!linear) {
                t.push_back({std::min(s - 1, int((i + 0.5) * s / d)), 1.0});
            } else if (s > d) {  // shrinking: the covered span, partial texels weighted
                const double a = double(i) * s / d, b = double(i + 1) * s / d;
                for (int k = int(a); k < s && k < b; ++k) {
                    const double overlap = std::min(b, k + 1.0) - std::max(a, double(k));
                    if (overlap > 0) t.push_back({k, overlap});
                }
            } else {  // enlarging: between the two nearest texel centres
                const double c = std::clamp((i + 0.5) * s / d - 0.5, 0.0, double(s - 1));
                const int k = int(c);
                const double f = c - k;
                t.push_back({k, 1.0 - f});
                if (f > 0 && k + 1 < s) t.push_back({k + 1, f});
            }
        }
        return taps;
    };
    const auto xs = axisTaps(sw, dw), ys = axisTaps(sh, dh);
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            double sum[4] = {0, 0, 0, 0}, total = 0;
            for (const Tap& ty : ys[size_t(y)]) {
                for (const Tap& tx : xs[size_t(x)]) {
                    const double w = tx.weight * ty.weight;
                    const uint32_t c = src[size_t(ty.index) * size_t(sw) + size_t(tx.index)];
                    sum[0] += w * ChA(c);
                    sum[1] += w * ChR(c);
                    sum[2] += w * ChG(c);
                    sum[3] += w * ChB(c);
                    total += w;
                }
            }
            const auto ch = [&](int i) { return uint32_t(std::clamp(sum[i] / total + 0.5, 0.0, 255.0)); };
            dst[size_t(y) * size_t(dw) + size_t(x)] = Argb(ch(0), ch(1), ch(2), ch(3));
        }
    }
}

std::vector<uint32_t> ReduceArgb(const uint32_t* src, int w, int h, bool linear) {
    const int dw = std::max(1, w / 2), dh = std::max(1, h / 2);
    std::vector<uint32_t> out(size_t(dw) * size_t(dh));
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            const int sx = std::min(2 * x, w - 1), sy = std::min(2 * y, h - 1);
            if (!linear) {
                out[size_t(y) * size_t(dw) + size_t(x)] = src[size_t(sy) * size_t(w) + size_t(sx)];
                continue;
            }
            const int sx1 = std::min(sx + 1, w - 1), sy1 = std::min(sy + 1, h - 1);
            const uint32_t c[4] = {src[size_t(sy) * size_t(w) + size_t(sx)], src[size_t(sy) * size_t(w) + size_t(sx1)],
                                   src[size_t(sy1) * size_t(w) + size_t(sx)], src[size_t(sy1) * size_t(w) + size_t(sx1)]};
            const auto avg = [&](uint32_t (*ch)(uint32_t)) {
                return (ch(c[0]) + ch(c[1]) + ch(c[2]) + ch(c[3]) + 2) / 4;
            };
            out[size_t(y) * size_t(dw) + size_t(x)] = Argb(avg(ChA), avg(ChR), avg(ChG), avg(ChB));
        }
    }
    return out;
}

}  // namespace platform::gl

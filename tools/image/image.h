// RGBA8 images for procedural textures: the pixel types, a generator that runs
// a colour function over every pixel, and mip-map reduction.
//
// Usage:
//   image::Image img = image::Generate(256, 256, [](float u, float v) {
//       const float n = image::Fbm(image::NoiseKind::Gradient, u * 8, v * 8, 1, {}, 8);
//       return image::Mix(image::ColorF{0.2f, 0.3f, 0.1f, 1}, image::ColorF{0.5f, 0.6f, 0.3f, 1}, n);
//   });
//   image::SaveDds(img, {.format = image::DdsFormat::DXT1, .mipmaps = true}, "grass.dds");
//
// Colour values are stored as given: no gamma or colour-space conversion.
// Rows run top to bottom; u, v are 0–1 across the image, sampled at pixel
// centres. Everything here is deterministic: the same calls give the same bytes
// on every run (no clocks, no unseeded randomness, no threads).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace image {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

struct ColorF {
    float r = 0, g = 0, b = 0, a = 1;
};

// Largest width or height an Image takes (textures stay far below it).
constexpr int kMaxImageSize = 16384;

class Image {
public:
    Image() = default;
    // Sizes below 1 or above kMaxImageSize give an empty image.
    Image(int width, int height, Rgba fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }

    // Unchecked access; x in 0..width-1, y in 0..height-1.
    Rgba& at(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    const Rgba& at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    const std::vector<Rgba>& pixels() const { return pixels_; }
    std::vector<Rgba>& pixels() { return pixels_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<Rgba> pixels_;
};

float Clamp01(float x);
float Mix(float a, float b, float t);
ColorF Mix(ColorF a, ColorF b, float t);
float Smoothstep(float edge0, float edge1, float x);

// Clamps to 0–1 and rounds to the nearest 8-bit value.
Rgba ToRgba(ColorF c);
ColorF ToColorF(Rgba c);

// Runs shader(u, v) at every pixel centre: u = (x + 0.5) / width, v likewise.
Image Generate(int width, int height, const std::function<ColorF(float u, float v)>& shader);

// Half the size in each direction (at least 1) by averaging 2 × 2 blocks; colour
// is averaged by alpha so transparent texels do not darken the edges.
Image Downsample(const Image& src);

// The image followed by every smaller level down to 1 × 1.
std::vector<Image> MipChain(const Image& top);

}  // namespace image

// Simple procedural patterns and colour ramps, as functions of texture
// coordinates u, v (0–1), for use inside image::Generate.
//
// Patterns return coverage values 0–1; a ColorRamp turns such a value into a
// colour. Nothing here allocates per call except ColorRamp construction.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/image/image.h"

namespace image {

// 1 on alternate cells of a cellsU × cellsV board, else 0.
float Checker(float u, float v, int cellsU, int cellsV);

// Soft stripes across t: count stripes per unit, sharpness 1 (sine) to large
// values (hard edges).
float Stripes(float t, float count, float sharpness = 1);

struct BrickSample {
    float mortar = 0;      // 1 in the mortar joints, 0 inside a brick, soft in between
    uint32_t brickId = 0;  // distinct per brick, for colour variation
    float brickU = 0;      // position inside the brick, 0–1
    float brickV = 0;
};

// rows × columns bricks, every other row shifted by half a brick; mortar is the
// joint width as a fraction of a brick's height.
BrickSample Bricks(float u, float v, int rows, int columns, float mortar = 0.08f);

// 1 at (cx, cy), falling smoothly to 0 at radius (distances in u, v units).
float RadialGradient(float u, float v, float cx, float cy, float radius);

// A round glow centred in the image, for sprites and flares: 1 in the middle,
// (1 − r)^falloff outwards, 0 from the edge of the inscribed circle on.
float Glow(float u, float v, float falloff = 2);

// A ring of the given radius and width (u, v units) around the image centre.
float Ring(float u, float v, float radius, float width);

class ColorRamp {
public:
    struct Stop {
        float position;
        ColorF color;
    };
    ColorRamp() = default;
    // Stops are sorted by position here; before the first and after the last
    // stop the end colours hold.
    explicit ColorRamp(std::vector<Stop> stops);
    ColorF At(float t) const;

private:
    std::vector<Stop> stops_;
};

}  // namespace image

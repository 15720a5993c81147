// Deterministic 2D noise for procedural textures: value and gradient noise,
// fractal sums (fBm, ridged), Voronoi (cellular) distances.
//
// Every function is a pure function of its arguments: an integer hash of the
// lattice cell and the seed stands in for random numbers, so a texture comes out
// the same on every run and machine. With period > 0 the noise repeats every
// period units in x and y (lattice coordinates wrap), which makes tileable
// textures: sample at (u × period, v × period) for u, v in 0–1.
//
// No 3D or 4D noise: textures only need the plane.
//
// Ranges: ValueNoise, GradientNoise, Fbm and RidgedFbm return 0–1 (gradient
// noise centred on 0.5). Voronoi distances are in lattice units.
#pragma once

#include <cstdint>

namespace image {

// A well-mixed 32-bit hash of a lattice point and a seed.
uint32_t Hash(int32_t x, int32_t y, uint32_t seed);
// The hash as a float in [0, 1).
float HashUnit(int32_t x, int32_t y, uint32_t seed);

float ValueNoise(float x, float y, uint32_t seed, int period = 0);
float GradientNoise(float x, float y, uint32_t seed, int period = 0);

enum class NoiseKind { Value, Gradient };

struct FbmParams {
    int octaves = 5;
    float lacunarity = 2;  // frequency factor per octave
    float gain = 0.5f;     // amplitude factor per octave
};

// Sum of octaves, normalised to 0–1. With period > 0 each octave's frequency is
// rounded so that it still repeats every period units (use lacunarity 2).
float Fbm(NoiseKind kind, float x, float y, uint32_t seed, FbmParams params = {}, int period = 0);
// Sharp crests where the noise crosses its middle: mountain ridges, veins, cracks.
float RidgedFbm(float x, float y, uint32_t seed, FbmParams params = {}, int period = 0);

struct VoronoiSample {
    float f1 = 0;          // distance to the nearest feature point
    float f2 = 0;          // distance to the second nearest
    uint32_t cellId = 0;   // hash of the nearest point's cell, stable across tiles
    float nearestX = 0;    // the nearest feature point
    float nearestY = 0;
};

// One feature point per unit cell, moved by jitter (0: a regular grid, 1: fully
// random within the cell).
VoronoiSample Voronoi(float x, float y, uint32_t seed, int period = 0, float jitter = 1);

}  // namespace image

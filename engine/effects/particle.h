// One particle of a particle system: birth and death times, the motion state
// (position before and after the last step, velocity, acceleration) and the
// colours and sizes it blends between over its life.
//
// Not here: creating particles (emitters) or pushing them (operators).
// Gotcha: colour and size are interpolated without clamping, by the fraction of
// the life elapsed; a particle whose death equals its birth counts as just born.
#pragma once

#include <cfloat>
#include <cstdint>

#include "engine/core/math.h"

namespace ZK3D {

class Particle {
public:
    virtual ~Particle() = default;
    Particle() = default;
    Particle(const Particle&) = default;
    Particle& operator=(const Particle&) = default;

    // Moves the particle from t0 (or its birth, when later) to t1: previous takes
    // the old position, velocity gains acceleration x dt, and position gains
    // velocity x dt + acceleration x dt^2.
    virtual void Advance(float t0, float t1);
    virtual Color ColorAt(float t) const;
    virtual float SizeAt(float t) const;

    int32_t kind = 1;
    float birth = 0;
    float death = FLT_MAX;
    Vector3 previous;
    Vector3 position;
    Vector3 velocity;
    Vector3 acceleration;
    Particle* next = nullptr;  // the following particle of the system's list
    Color startColor, endColor;
    float startSize = 0, endSize = 0;

protected:
    // The elapsed fraction of the life at t (0 for a particle without a life span).
    float LifeFraction(float t) const;
};

}  // namespace ZK3D

// A particle's motion step and its colour and size over its life.
#include "engine/effects/particle.h"

namespace ZK3D {

void Particle::Advance(float t0, float t1) {
    previous = position;
    const float start = birth >= t0 ? birth : t0;
    const float dt = t1 - start;
    velocity += acceleration * dt;
    position += velocity * dt + acceleration * (dt * dt);
}

float Particle::LifeFraction(float t) const {
    const float span = death - birth;
    return span != 0 ? (t - birth) / span : 0.0f;
}

Color Particle::ColorAt(float t) const {
    const float f = LifeFraction(t);
    return {startColor.r + (endColor.r - startColor.r) * f, startColor.g + (endColor.g - startColor.g) * f,
            startColor.b + (endColor.b - startColor.b) * f, startColor.a + (endColor.a - startColor.a) * f};
}

float Particle::SizeAt(float t) const { return startSize + (endSize - startSize) * LifeFraction(t); }

}  // namespace ZK3D

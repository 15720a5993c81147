// Emitters create the particles of a particle system, from the shape of a gizmo
// they read each time they emit, so that animating the gizmo moves the effect:
//   "VE" DirectionEmitter  from the vector gizmo's origin along its direction,
//                          spread by a random rotation;
//   "QE" QuadEmitter       from random points of a plane gizmo along its normal,
//                          spread the same way;
//   "BE" BoxEmitter        at random points of a box gizmo, at rest;
//   "SE" SphereEmitter     at random points of a sphere gizmo, moving outwards.
// An emitter emits rate particles per unit of time; time it has not yet spent
// on a whole particle carries over to the next call.
//
// Not here: the .pfd syntax (particle_system.cpp) or drawing.
// Gotcha: the random numbers are drawn in a fixed order per particle (that order
// is part of what an emitter does). An emitter without a gizmo of its shape emits
// nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/effects/particle.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/effect_node.h"

namespace ZK3D {

class ParticleSystem;
class Texture;

class ParticleEmitter : public SpecialNode {
public:
    enum Kind : int32_t { kDirection = 1, kQuad = 2, kBox = 3, kSphere = 4 };
    // More particles than this in one call are not made (a long jump in time).
    static constexpr int32_t kMaxPerEmit = 100000;

    ~ParticleEmitter() override;
    void compile() override {}

    // Copies the gizmo's shape; false when there is no gizmo to copy from.
    virtual bool Prepare() = 0;
    // Fills the template for a particle born at birth.
    virtual void InitParticle(Particle& particle, float birth) = 0;
    // Adds the particles due from lastTime to now to the system.
    virtual void Emit(float now);

    // The gizmo shape the emitter reads.
    virtual int32_t GizmoShape() const = 0;
    // Attaches the gizmo; a gizmo of another shape (or none) leaves the emitter
    // without one and returns false.
    bool AttachGizmo(Gizmo* gizmo);
    Gizmo* gizmo() const { return gizmo_; }

    int32_t kind;
    ParticleSystem* system;  // the owner
    Texture* texture = nullptr;
    float startSize = 0, endSize = 0;
    Color startColor, endColor;
    float rate = 0;
    float lifetime = 0;
    float spread = 0;  // degrees
    float speed = 0;
    float accel = 0;
    float lastTime = 0;

protected:
    ParticleEmitter(int32_t kind, const char* name, ParticleSystem* system, float spread, float rate, float speed,
                    float accel, float lifetime);
    // Colours, sizes, birth and death.
    void InitCommon(Particle& particle, float birth) const;
    // The direction turned by a random rotation within the spread (three draws).
    Vector3 Spread(Vector3 direction) const;

    Gizmo* gizmo_ = nullptr;  // not owned
};

class DirectionEmitter final : public ParticleEmitter {
public:
    DirectionEmitter(const char* name, ParticleSystem* owner, float spreadDegrees, float perSecond, float startSpeed,
                     float acceleration, float life)
        : ParticleEmitter(kDirection, name, owner, spreadDegrees, perSecond, startSpeed, acceleration, life) {}
    bool Prepare() override;
    void InitParticle(Particle& particle, float birth) override;
    int32_t GizmoShape() const override { return Gizmo::kVector; }
    VectorGizmo::Data shape;
};

class QuadEmitter final : public ParticleEmitter {
public:
    QuadEmitter(const char* name, ParticleSystem* owner, float spreadDegrees, float perSecond, float startSpeed,
                float acceleration, float life)
        : ParticleEmitter(kQuad, name, owner, spreadDegrees, perSecond, startSpeed, acceleration, life) {}
    bool Prepare() override;
    void InitParticle(Particle& particle, float birth) override;
    int32_t GizmoShape() const override { return Gizmo::kPlane; }
    PlaneGizmo::Data shape;
};

class BoxEmitter final : public ParticleEmitter {
public:
    BoxEmitter(const char* name, ParticleSystem* owner, float spreadDegrees, float perSecond, float startSpeed,
               float acceleration, float life)
        : ParticleEmitter(kBox, name, owner, spreadDegrees, perSecond, startSpeed, acceleration, life) {}
    bool Prepare() override;
    void InitParticle(Particle& particle, float birth) override;
    int32_t GizmoShape() const override { return Gizmo::kBox; }
    BoxGizmo::Data shape;
};

class SphereEmitter final : public ParticleEmitter {
public:
    SphereEmitter(const char* name, ParticleSystem* owner, float spreadDegrees, float perSecond, float startSpeed,
                  float acceleration, float life)
        : ParticleEmitter(kSphere, name, owner, spreadDegrees, perSecond, startSpeed, acceleration, life) {}
    bool Prepare() override;
    void InitParticle(Particle& particle, float birth) override;
    int32_t GizmoShape() const override { return Gizmo::kSphere; }
    SphereGizmo::Data shape;
};

// The emitter of the kind (1 "VE", 2 "QE", 3 "BE", 4 "SE") for the system, with
// its colours, sizes and texture taken from the system; none for another kind.
std::unique_ptr<ParticleEmitter> CreateEmitter(int32_t kind, const char* name, ParticleSystem* system, float spread,
                                               float rate, float speed, float accel, float lifetime);

}  // namespace ZK3D

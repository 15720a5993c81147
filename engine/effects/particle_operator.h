// Operators change the motion of a particle system's particles every frame,
// from the shape of a gizmo they copy once per frame (Prepare) before pushing
// each particle (Apply):
//   "FO" ForceOperator       a constant push along the vector gizmo's direction;
//   "AO" AttractorOperator   a pull towards the sphere gizmo's centre, weakening
//                            to nothing at radius x range (range 0: everywhere);
//   "DO" DeflectorOperator   bounces particles that cross the plane gizmo's
//                            rectangle;
//   "TO" TurbulenceOperator  random pushes inside radius x range;
//   "VO" VortexOperator      replaces the velocity with a swirl about the vector
//                            gizmo's axis.
// Gains scale the change of velocity (x dt) and of acceleration (x dt^2).
//
// Not here: the .pfd syntax (particle_system.cpp).
// Gotcha: an operator without a gizmo of its shape does nothing. The deflector
// works in the plane's own frame (its two edges and its normal), so a plane
// turned any way bounces particles off its face.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/effects/particle.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/effect_node.h"

namespace ZK3D {

class ParticleOperator : public SpecialNode {
public:
    enum Kind : int32_t { kForce = 1, kAttractor = 2, kDeflector = 3, kTurbulence = 4, kVortex = 5 };

    ~ParticleOperator() override;
    void compile() override {}

    // Pushes one particle over the time step dt (nothing before a successful Prepare).
    virtual void Apply(float dt, Particle& particle) = 0;
    // Copies the gizmo's shape for this frame; false (and Apply does nothing)
    // without a gizmo.
    virtual bool Prepare() = 0;

    virtual int32_t GizmoShape() const = 0;
    // Attaches the gizmo; a gizmo of another shape (or none) leaves the operator
    // without one and returns false.
    bool AttachGizmo(Gizmo* gizmo);
    Gizmo* gizmo() const { return gizmo_; }

    int32_t kind;
    float velocityGain = 0;
    float accelGain = 0;
    float range = 0;

protected:
    ParticleOperator(int32_t kind, const char* name, float range, float velocityGain, float accelGain);

    Gizmo* gizmo_ = nullptr;  // not owned
    bool prepared_ = false;   // the shape below was copied this frame
};

class ForceOperator final : public ParticleOperator {
public:
    ForceOperator(const char* name, float rangeFactor, float velocityFactor, float accelFactor)
        : ParticleOperator(kForce, name, rangeFactor, velocityFactor, accelFactor) {}
    void Apply(float dt, Particle& particle) override;
    bool Prepare() override;
    int32_t GizmoShape() const override { return Gizmo::kVector; }
    VectorGizmo::Data shape;
};

class AttractorOperator final : public ParticleOperator {
public:
    AttractorOperator(const char* name, float rangeFactor, float velocityFactor, float accelFactor)
        : ParticleOperator(kAttractor, name, rangeFactor, velocityFactor, accelFactor) {}
    void Apply(float dt, Particle& particle) override;
    bool Prepare() override;
    int32_t GizmoShape() const override { return Gizmo::kSphere; }
    SphereGizmo::Data shape;
    float reach = 0;  // radius x range
};

class DeflectorOperator final : public ParticleOperator {
public:
    DeflectorOperator(const char* name, float rangeFactor, float velocityFactor, float accelFactor)
        : ParticleOperator(kDeflector, name, rangeFactor, velocityFactor, accelFactor) {}
    void Apply(float dt, Particle& particle) override;
    bool Prepare() override;
    int32_t GizmoShape() const override { return Gizmo::kPlane; }
    PlaneGizmo::Data shape;
    Matrix rotation;  // rows: first edge, second edge, normal negated (unit length)
    float extentX = 0, extentY = 0;
};

class TurbulenceOperator final : public ParticleOperator {
public:
    TurbulenceOperator(const char* name, float rangeFactor, float velocityFactor, float accelFactor)
        : ParticleOperator(kTurbulence, name, rangeFactor, velocityFactor, accelFactor) {}
    void Apply(float dt, Particle& particle) override;
    bool Prepare() override;
    int32_t GizmoShape() const override { return Gizmo::kSphere; }
    SphereGizmo::Data shape;
    float reach = 0;
};

class VortexOperator final : public ParticleOperator {
public:
    VortexOperator(const char* name, float rangeFactor, float velocityFactor, float accelFactor)
        : ParticleOperator(kVortex, name, rangeFactor, velocityFactor, accelFactor) {}
    void Apply(float dt, Particle& particle) override;
    bool Prepare() override;
    int32_t GizmoShape() const override { return Gizmo::kVector; }
    VectorGizmo::Data shape;
};

// The operator of the kind (1 "FO", 2 "AO", 3 "DO", 4 "TO", 5 "VO"); none for
// another kind.
std::unique_ptr<ParticleOperator> CreateOperator(int32_t kind, const char* name, float range, float velocityGain,
                                                 float accelGain);

}  // namespace ZK3D

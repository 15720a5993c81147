// The five operators: how each copies its gizmo and pushes a particle.
#include "engine/effects/particle_operator.h"

#include <algorithm>
#include <cmath>

#include "engine/effects/random_generator.h"

namespace ZK3D {

namespace {
constexpr float kTwoPi = 6.2831855f;
}

ParticleOperator::ParticleOperator(int32_t kindCode, const char* name, float rangeFactor, float velocityFactor,
                                   float accelFactor)
    : SpecialNode(name), kind(kindCode), velocityGain(velocityFactor), accelGain(accelFactor), range(rangeFactor) {}

ParticleOperator::~ParticleOperator() = default;

bool ParticleOperator::AttachGizmo(Gizmo* gizmo) {
    gizmo_ = (gizmo && gizmo->shape() == GizmoShape()) ? gizmo : nullptr;
    prepared_ = false;
    return gizmo_ != nullptr;
}

// ---- force ----

bool ForceOperator::Prepare() {
    prepared_ = gizmo_ != nullptr;
    if (prepared_) shape = static_cast<const VectorGizmo*>(gizmo_)->world;
    return prepared_;
}

void ForceOperator::Apply(float dt, Particle& p) {
    if (!prepared_) return;
    p.velocity += shape.vector * (velocityGain * dt);
    p.acceleration += shape.vector * (accelGain * dt * dt);
}

// ---- attractor ----

bool AttractorOperator::Prepare() {
    prepared_ = gizmo_ != nullptr;
    if (prepared_) {
        shape = static_cast<const SphereGizmo*>(gizmo_)->world;
        reach = shape.radius * range;
    }
    return prepared_;
}

void AttractorOperator::Apply(float dt, Particle& p) {
    if (!prepared_) return;
    Vector3 pull = shape.centre - p.position;
    const float length = Length(pull);
    if (length == 0) return;
    pull = Normalize(pull);
    if (reach != 0) pull = pull * (1 - std::min(length / reach, 1.0f));
    p.velocity += pull * (velocityGain * dt);
    p.acceleration += pull * (accelGain * dt * dt);
}

// ---- deflector ----

bool DeflectorOperator::Prepare() {
    prepared_ = gizmo_ != nullptr;
    if (!prepared_) return false;
    shape = static_cast<const PlaneGizmo*>(gizmo_)->world;
    const Vector3 e1 = Normalize(shape.axis[0]);
    const Vector3 e2 = Normalize(shape.axis[1]);
    const Vector3 n = -Normalize(shape.axis[2]);
    rotation = MatrixIdentity();
    const Vector3 rows[3] = {e1, e2, n};
    for (int r = 0; r < 3; ++r) {
        rotation(r, 0) = rows[r].x;
        rotation(r, 1) = rows[r].y;
        rotation(r, 2) = rows[r].z;
    }
    extentX = Length(shape.axis[0]) * shape.size[1];
    extentY = Length(shape.axis[1]) * shape.size[0];
    return true;
}

void DeflectorOperator::Apply(float, Particle& p) {
    if (!prepared_) return;
    const Vector3 N = shape.axis[2];
    const float d0 = Dot(p.previous - shape.origin, N);
    const float d1 = Dot(p.position - shape.origin, N);
    if ((d0 > 0) == (d1 > 0)) return;  // still on the same side
    // The crossing point must lie on the rectangle: measured along the plane's
    // own edges, so the plane may be turned any way.
    const Vector3 e1{rotation(0, 0), rotation(0, 1), rotation(0, 2)};
    const Vector3 e2{rotation(1, 0), rotation(1, 1), rotation(1, 2)};
    const Vector3 n{-rotation(2, 0), -rotation(2, 1), -rotation(2, 2)};
    const Vector3 o = p.position - shape.origin;
    const float ox = Dot(o, e1), oy = Dot(o, e2);
    if (ox >= extentX || ox <= -extentX || oy >= extentY || oy <= -extentY) return;
    // Into the plane's frame (edge, edge, normal), then back through the rotation
    // whose last row is the negated normal: the normal part flips, a bounce.
    auto bounce = [&](Vector3 v) { return TransformVector({Dot(v, e1), Dot(v, e2), Dot(v, n)}, rotation); };
    p.position = p.previous;
    p.velocity = bounce(p.velocity) * velocityGain;
    p.acceleration = bounce(p.acceleration) * accelGain;
}

// ---- turbulence ----

bool TurbulenceOperator::Prepare() {
    prepared_ = gizmo_ != nullptr;
    if (prepared_) {
        shape = static_cast<const SphereGizmo*>(gizmo_)->world;
        reach = shape.radius * range;
    }
    return prepared_;
}

void TurbulenceOperator::Apply(float dt, Particle& p) {
    if (!prepared_) return;
    if (Length(shape.centre - p.position) >= reach) return;
    const float z = RandomSigned();
    const float y = RandomSigned();
    const float x = RandomSigned();
    const Vector3 push{x, y, z};
    p.velocity += push * (velocityGain * dt);
    p.acceleration += push * (accelGain * dt * dt);
}

// ---- vortex ----

bool VortexOperator::Prepare() {
    prepared_ = gizmo_ != nullptr;
    if (prepared_) shape = static_cast<const VectorGizmo*>(gizmo_)->world;
    return prepared_;
}

void VortexOperator::Apply(float dt, Particle& p) {
    if (!prepared_) return;
    const Vector3 offset = p.position - shape.origin;
    const float w = range * kTwoPi * dt;
    const float length = Length(offset);
    const Vector3 around = Normalize(Cross(shape.vector, offset)) * (std::sin(w) * length);
    const Vector3 inward = Normalize(offset) * (1 - std::cos(w));
    p.velocity = (around - inward) * (velocityGain * dt * (10 / (length + 0.01f)));
    p.acceleration = {};
}

std::unique_ptr<ParticleOperator> CreateOperator(int32_t kind, const char* name, float range, float velocityGain,
                                                 float accelGain) {
    switch (kind) {
        case ParticleOperator::kForce: return std::make_unique<ForceOperator>(name, range, velocityGain, accelGain);
        case ParticleOperator::kAttractor:
            return std::make_unique<AttractorOperator>(name, range, velocityGain, accelGain);
        case ParticleOperator::kDeflector:
            return std::make_unique<DeflectorOperator>(name, range, velocityGain, accelGain);
        case ParticleOperator::kTurbulence:
            return std::make_unique<TurbulenceOperator>(name, range, velocityGain, accelGain);
        case ParticleOperator::kVortex: return std::make_unique<VortexOperator>(name, range, velocityGain, accelGain);
        default: return nullptr;
    }
}

}  // namespace ZK3D

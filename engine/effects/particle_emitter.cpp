// Emission timing and the four ways of placing a new particle.
#include "engine/effects/particle_emitter.h"

#include <cmath>

#include "engine/effects/particle_system.h"
#include "engine/effects/random_generator.h"

namespace ZK3D {

namespace {
constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kRootThree = 1.7320508f;
}  // namespace

ParticleEmitter::ParticleEmitter(int32_t kindCode, const char* name, ParticleSystem* owner, float spreadDegrees,
                                 float perSecond, float startSpeed, float acceleration, float life)
    : SpecialNode(name), kind(kindCode), system(owner), rate(perSecond), lifetime(life), spread(spreadDegrees),
      speed(startSpeed), accel(acceleration) {
    if (system) {
        texture = system->texture;
        startSize = system->startSize;
        endSize = system->endSize;
        startColor = system->startColor;
        endColor = system->endColor;
    }
}

ParticleEmitter::~ParticleEmitter() = default;

bool ParticleEmitter::AttachGizmo(Gizmo* gizmo) {
    gizmo_ = (gizmo && gizmo->shape() == GizmoShape()) ? gizmo : nullptr;
    return gizmo_ != nullptr;
}

void ParticleEmitter::Emit(float now) {
    if (!gizmo_ || !system) return;
    const float d = now - lastTime;
    const float due = d * rate;
    // Not a number, or a count no int can hold: nothing is due.
    if (!(std::fabs(due) < 2.0e9f)) return;
    int32_t n = static_cast<int32_t>(due);
    if (n == 0) return;  // the time accumulates until a whole particle is due
    if (n > kMaxPerEmit) n = kMaxPerEmit;
    if (n > 0 && Prepare()) {
        Particle particle;
        for (int32_t i = 0; i < n; ++i) {
            InitParticle(particle, lastTime + static_cast<float>(i) * d / static_cast<float>(n));
            system->AddParticle(particle);
        }
    }
    lastTime = now;
}

void ParticleEmitter::InitCommon(Particle& p, float birth) const {
    p.startColor = startColor;
    p.endColor = endColor;
    p.startSize = startSize;
    p.endSize = endSize;
    p.birth = birth;
    p.death = birth + lifetime;
}

Vector3 ParticleEmitter::Spread(Vector3 direction) const {
    const float s = spread * kDegreesToRadians;
    const float r1 = Random01();
    const float r2 = Random01();
    const float r3 = Random01();
    const Matrix m = MatrixRotationYawPitchRoll((r3 - 0.5f) * s, (r2 - 0.5f) * s, (r1 - 0.5f) * s);
    return TransformVector(direction, m);
}

bool DirectionEmitter::Prepare() {
    if (!gizmo_) return false;
    shape = static_cast<const VectorGizmo*>(gizmo_)->world;
    return true;
}

void DirectionEmitter::InitParticle(Particle& p, float birth) {
    InitCommon(p, birth);
    const Vector3 direction = Spread(shape.vector);
    p.position = p.previous = shape.origin;
    p.velocity = direction * speed;
    p.acceleration = direction * accel;
}

bool QuadEmitter::Prepare() {
    if (!gizmo_) return false;
    shape = static_cast<const PlaneGizmo*>(gizmo_)->world;
    return true;
}

void QuadEmitter::InitParticle(Particle& p, float birth) {
    InitCommon(p, birth);
    const Vector3 direction = Spread(shape.axis[2]);
    const float u = RandomSigned();
    const float v = RandomSigned();
    const float a = shape.size[0], b = shape.size[1];
    p.position = p.previous = shape.origin + shape.axis[0] * (b * v) + shape.axis[1] * (a * u);
    p.velocity = direction * speed;
    p.acceleration = direction * accel;
}

bool BoxEmitter::Prepare() {
    if (!gizmo_) return false;
    shape = static_cast<const BoxGizmo*>(gizmo_)->world;
    return true;
}

void BoxEmitter::InitParticle(Particle& p, float birth) {
    InitCommon(p, birth);
    const float w = Random01();
    const float v = RandomSigned();
    const float u = RandomSigned();
    p.position = p.previous = shape.origin + shape.axis[0] * (shape.size[0] * u) + shape.axis[1] * (shape.size[1] * v) +
                              shape.axis[2] * (shape.size[2] * w);
    p.velocity = {};
    p.acceleration = {};
}

bool SphereEmitter::Prepare() {
    if (!gizmo_) return false;
    shape = static_cast<const SphereGizmo*>(gizmo_)->world;
    return true;
}

void SphereEmitter::InitParticle(Particle& p, float birth) {
    InitCommon(p, birth);
    const float z = RandomSigned();
    const float y = RandomSigned();
    const float x = RandomSigned();
    const Vector3 q{x, y, z};
    const Vector3 direction = Normalize(q);
    p.position = p.previous = shape.centre + q * (shape.radius / kRootThree);
    p.velocity = direction * speed;
    p.acceleration = direction * accel;
}

std::unique_ptr<ParticleEmitter> CreateEmitter(int32_t kind, const char* name, ParticleSystem* system, float spread,
                                               float rate, float speed, float accel, float lifetime) {
    switch (kind) {
        case ParticleEmitter::kDirection:
            return std::make_unique<DirectionEmitter>(name, system, spread, rate, speed, accel, lifetime);
        case ParticleEmitter::kQuad:
            return std::make_unique<QuadEmitter>(name, system, spread, rate, speed, accel, lifetime);
        case ParticleEmitter::kBox:
            return std::make_unique<BoxEmitter>(name, system, spread, rate, speed, accel, lifetime);
        case ParticleEmitter::kSphere:
            return std::make_unique<SphereEmitter>(name, system, spread, rate, speed, accel, lifetime);
        default: return nullptr;
    }
}

}  // namespace ZK3D

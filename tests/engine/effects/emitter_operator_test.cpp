// Emitters and operators on their own: the random generator they draw from,
// where each emitter puts a new particle, and what each operator does to one
// (and when it does nothing).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "engine/effects/particle_system.h"
#include "engine/effects/random_generator.h"
#include "engine/scene/gizmo.h"

using namespace ZK3D;

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectNear(Vector3 a, Vector3 b, float tolerance = kTolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

std::unique_ptr<ParticleSystem> System() {
    return std::make_unique<ParticleSystem>("ps", nullptr, 2, 3, Color{1, 0, 0, 1}, Color{0, 1, 0, 1},
                                            kDefaultRenderFlags);
}

Particle At(Vector3 position, Vector3 velocity = {}, Vector3 acceleration = {}) {
    Particle p;
    p.position = p.previous = position;
    p.velocity = velocity;
    p.acceleration = acceleration;
    return p;
}

// Emits once (one particle: rate 1, from time 0 to 1) and returns it, with the
// generator's state before the draws in *before.
template <class Emitter>
Particle EmitOne(Emitter& emitter, ParticleSystem& system, RandomGenerator* before) {
    *before = ThreadRandom();
    emitter.Emit(1.0f);
    EXPECT_EQ(system.particleCount, 1);
    return system.particles ? *system.particles : Particle{};
}

}  // namespace

// ---------------------------------------------------------------- random numbers

TEST(RandomGenerator, GivesTheLinearCongruentialSequenceFromStateOne) {
    RandomGenerator g;
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected) EXPECT_EQ(g.Next(), e);
    RandomGenerator h;
    EXPECT_FLOAT_EQ(h.Next01(), 41.0f / 32767);
    EXPECT_FLOAT_EQ(h.NextSigned(), 2.0f * 18467 / 32767 - 1);
    RandomGenerator top(0xFFFFFFFFu);  // wraps modulo 2^32
    EXPECT_EQ(top.Next(), static_cast<int>(((0xFFFFFFFFu * 214013u + 2531011u) >> 16) & 0x7FFF));
}

TEST(RandomGenerator, EachThreadStartsItsOwnSequenceAtOne) {
    Random01();  // move this thread's generator on
    int first = -1;
    std::thread([&] { first = ThreadRandom().Next(); }).join();
    EXPECT_EQ(first, 41);
}

// ---------------------------------------------------------------- emitters

TEST(Emitters, CopyTheSystemsLookAndTimeTheirParticles) {
    auto system = System();
    VectorGizmo jet("jet");
    jet.world = {{1, 2, 3}, {0, 0, 1}};
    auto emitter = CreateEmitter(ParticleEmitter::kDirection, "e", system.get(), 0, 4, 1, 0, 0.5f);
    ASSERT_TRUE(emitter->AttachGizmo(&jet));
    EXPECT_EQ(emitter->startSize, 2);
    EXPECT_EQ(emitter->endColor.g, 1);
    emitter->Emit(1.0f);
    ASSERT_EQ(system->particleCount, 4);
    const Particle& p = *system->particles;
    EXPECT_FLOAT_EQ(p.birth, 0.75f);
    EXPECT_FLOAT_EQ(p.death, 1.25f);
    EXPECT_EQ(p.startColor.r, 1);
    EXPECT_EQ(p.endSize, 3);
    EXPECT_EQ(p.kind, 1);
    // A step back in time emits nothing and restarts the count from there.
    emitter->Emit(0.5f);
    EXPECT_EQ(system->particleCount, 4);
    EXPECT_EQ(emitter->lastTime, 0.5f);
    // A jump far ahead is capped rather than allocating without end; not a number emits nothing.
    emitter->rate = 1e9f;
    emitter->Emit(1.0f);
    EXPECT_EQ(system->particleCount, 4 + ParticleEmitter::kMaxPerEmit);
    emitter->Emit(NAN);
    emitter->rate = INFINITY;
    emitter->Emit(2.0f);
    EXPECT_EQ(system->particleCount, 4 + ParticleEmitter::kMaxPerEmit);

    EXPECT_EQ(CreateEmitter(0, "x", system.get(), 0, 1, 1, 0, 1), nullptr);
    EXPECT_EQ(CreateEmitter(5, "x", system.get(), 0, 1, 1, 0, 1), nullptr);
}

TEST(Emitters, DirectionEmitterTurnsItsVectorWithinTheSpread) {
    auto system = System();
    VectorGizmo jet("jet");
    jet.world = {{1, 2, 3}, {0, 0, 2}};
    DirectionEmitter emitter("e", system.get(), 90, 1, 3, 0.5f, 10);
    emitter.AttachGizmo(&jet);
    RandomGenerator g;
    const Particle p = EmitOne(emitter, *system, &g);

    const float r1 = g.Next01(), r2 = g.Next01(), r3 = g.Next01();
    const float s = 90 * 0.017453292f;
    const Vector3 d = TransformVector(
        {0, 0, 2}, MatrixRotationYawPitchRoll((r3 - 0.5f) * s, (r2 - 0.5f) * s, (r1 - 0.5f) * s));
    ExpectNear(p.position, {1, 2, 3});
    ExpectNear(p.previous, {1, 2, 3});
    ExpectNear(p.velocity, d * 3);
    ExpectNear(p.acceleration, d * 0.5f);
    EXPECT_EQ(ThreadRandom().state(), g.state());  // exactly three draws
    EXPECT_NEAR(Length(p.velocity), 6, 1e-4);
}

TEST(Emitters, QuadEmitterPlacesOnThePlaneAndAimsAlongItsNormal) {
    auto system = System();
    PlaneGizmo plane("plane");
    plane.world.size[0] = 2;  // a
    plane.world.size[1] = 3;  // b
    plane.world.origin = {10, 0, 0};
    plane.world.axis[0] = {1, 0, 0};
    plane.world.axis[1] = {0, 0, 1};
    plane.world.axis[2] = {0, 1, 0};
    QuadEmitter emitter("q", system.get(), 0, 1, 2, 0, 10);
    emitter.AttachGizmo(&plane);
    RandomGenerator g;
    const Particle p = EmitOne(emitter, *system, &g);
    g.Next(), g.Next(), g.Next();  // the spread's draws come first
    const float u = g.NextSigned(), v = g.NextSigned();
    ExpectNear(p.position, {10 + 3 * v, 0, 2 * u});
    ExpectNear(p.velocity, {0, 2, 0});
    EXPECT_EQ(ThreadRandom().state(), g.state());
}

TEST(Emitters, BoxEmitterFillsTheBoxAtRest) {
    auto system = System();
    BoxGizmo box("box");
    box.world.size[0] = 1;
    box.world.size[1] = 2;
    box.world.size[2] = 3;
    box.world.origin = {0, 0, 5};
    box.world.axis[0] = {1, 0, 0};
    box.world.axis[1] = {0, 1, 0};
    box.world.axis[2] = {0, 0, 1};
    BoxEmitter emitter("b", system.get(), 45, 1, 9, 9, 10);
    emitter.AttachGizmo(&box);
    RandomGenerator g;
    const Particle p = EmitOne(emitter, *system, &g);
    const float w = g.Next01(), v = g.NextSigned(), u = g.NextSigned();
    ExpectNear(p.position, {u, 2 * v, 5 + 3 * w});
    ExpectNear(p.velocity, {});
    ExpectNear(p.acceleration, {});
    EXPECT_EQ(ThreadRandom().state(), g.state());
}

TEST(Emitters, SphereEmitterMovesOutwardsFromInsideTheSphere) {
    auto system = System();
    SphereGizmo ball("ball");
    ball.world = {{1, 1, 1}, 3};
    SphereEmitter emitter("s", system.get(), 0, 1, 2, 4, 10);
    emitter.AttachGizmo(&ball);
    RandomGenerator g;
    const Particle p = EmitOne(emitter, *system, &g);
    const float z = g.NextSigned(), y = g.NextSigned(), x = g.NextSigned();
    const Vector3 dir = Normalize(Vector3{x, y, z});
    ExpectNear(p.position, Vector3{1, 1, 1} + Vector3{x, y, z} * (3 / 1.7320508f));
    ExpectNear(p.velocity, dir * 2);
    ExpectNear(p.acceleration, dir * 4);
    EXPECT_LE(Length(p.position - Vector3{1, 1, 1}), 3.0001f);
}

TEST(Emitters, WithoutAGizmoOfTheirShapeTheyEmitNothing) {
    auto system = System();
    SphereGizmo ball("ball");
    for (int kind = 1; kind <= 4; ++kind) {
        auto emitter = CreateEmitter(kind, "e", system.get(), 10, 100, 1, 0, 1);
        EXPECT_EQ(emitter->AttachGizmo(kind == ParticleEmitter::kSphere ? nullptr : &ball), false);
        const RandomGenerator before = ThreadRandom();
        emitter->Emit(5);
        EXPECT_EQ(system->particleCount, 0);
        EXPECT_EQ(ThreadRandom().state(), before.state());
    }
}

// ---------------------------------------------------------------- operators

TEST(Operators, ForcePushesAlongTheUnnormalisedDirection) {
    VectorGizmo wind("wind");
    wind.world = {{5, 5, 5}, {0, 2, 0}};
    ForceOperator force("f", 0, 3, 4);
    force.AttachGizmo(&wind);
    ASSERT_TRUE(force.Prepare());
    Particle p = At({0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    force.Apply(0.5f, p);
    ExpectNear(p.velocity, {1, 2 * 3 * 0.5f, 0});
    ExpectNear(p.acceleration, {0, 2 * 4 * 0.25f, 1});
    ExpectNear(p.position, {0, 0, 0});
}

TEST(Operators, AttractorWeakensToNothingAtItsReach) {
    SphereGizmo sphere("s");
    sphere.world = {{0, 0, 0}, 1};
    AttractorOperator everywhere("a", 0, 1, 0);  // range 0: full strength at any distance
    everywhere.AttachGizmo(&sphere);
    everywhere.Prepare();
    Particle far = At({100, 0, 0});
    everywhere.Apply(1, far);
    ExpectNear(far.velocity, {-1, 0, 0});

    AttractorOperator reach2("a", 2, 1, 1);  // reach = radius x range = 2
    reach2.AttachGizmo(&sphere);
    reach2.Prepare();
    EXPECT_EQ(reach2.reach, 2);
    Particle half = At({0, 1, 0});
    reach2.Apply(1, half);
    ExpectNear(half.velocity, {0, -0.5f, 0});
    ExpectNear(half.acceleration, {0, -0.5f, 0});
    Particle beyond = At({0, 0, 3}, {1, 1, 1});
    reach2.Apply(1, beyond);
    ExpectNear(beyond.velocity, {1, 1, 1});
    Particle centre = At({0, 0, 0}, {1, 1, 1});
    reach2.Apply(1, centre);
    ExpectNear(centre.velocity, {1, 1, 1});
}

TEST(Operators, TurbulenceOnlyStirsInsideItsReach) {
    SphereGizmo sphere("s");
    sphere.world = {{0, 0, 0}, 2};
    TurbulenceOperator turbulence("t", 1, 2, 4);
    turbulence.AttachGizmo(&sphere);
    turbulence.Prepare();
    for (Vector3 at : {Vector3{2, 0, 0}, Vector3{0, 0, -5}}) {
        const RandomGenerator before = ThreadRandom();
        Particle p = At(at, {1, 2, 3});
        turbulence.Apply(0.5f, p);
        ExpectNear(p.velocity, {1, 2, 3});
        EXPECT_EQ(ThreadRandom().state(), before.state());  // nothing drawn
    }
    RandomGenerator g = ThreadRandom();
    Particle p = At({1, 0, 0});
    turbulence.Apply(0.5f, p);
    const float z = g.NextSigned(), y = g.NextSigned(), x = g.NextSigned();
    ExpectNear(p.velocity, Vector3{x, y, z} * (2 * 0.5f));
    ExpectNear(p.acceleration, Vector3{x, y, z} * (4 * 0.25f));
}

TEST(Operators, DeflectorBouncesParticlesCrossingItsRectangle) {
    // A 2 x 2 plane (extents |E1| x b = 1 and |E2| x a = 1) through the origin,
    // facing +z.
    PlaneGizmo plane("p");
    plane.world.size[0] = 1;
    plane.world.size[1] = 1;
    plane.world.axis[0] = {1, 0, 0};
    plane.world.axis[1] = {0, 1, 0};
    plane.world.axis[2] = {0, 0, 1};
    DeflectorOperator deflector("d", 0, 0.5f, 1);
    deflector.AttachGizmo(&plane);
    deflector.Prepare();
    EXPECT_EQ(deflector.extentX, 1);
    EXPECT_EQ(deflector.extentY, 1);

    Particle crossing = At({0.5f, 0.5f, -0.1f}, {1, 0, -2}, {0, 0, -1});
    crossing.previous = {0.4f, 0.5f, 0.2f};
    deflector.Apply(0.1f, crossing);
    ExpectNear(crossing.position, {0.4f, 0.5f, 0.2f});
    ExpectNear(crossing.velocity, {0.5f, 0, 1});
    ExpectNear(crossing.acceleration, {0, 0, 1});

    Particle sameSide = At({0.5f, 0.5f, 0.1f}, {0, 0, -1});
    sameSide.previous = {0.5f, 0.5f, 0.3f};
    deflector.Apply(0.1f, sameSide);
    ExpectNear(sameSide.position, {0.5f, 0.5f, 0.1f});
    ExpectNear(sameSide.velocity, {0, 0, -1});

    Particle beside = At({1.5f, 0, -0.1f}, {0, 0, -1});  // crosses outside the rectangle
    beside.previous = {1.5f, 0, 0.1f};
    deflector.Apply(0.1f, beside);
    ExpectNear(beside.velocity, {0, 0, -1});
    Particle onEdge = At({0, -1, -0.1f}, {0, 0, -1});
    onEdge.previous = {0, -1, 0.1f};
    deflector.Apply(0.1f, onEdge);
    ExpectNear(onEdge.velocity, {0, 0, -1});
}

TEST(Operators, DeflectorWorksInThePlanesOwnFrame) {
    // A floor: edges along x and z, normal up, 4 x 2 extents.
    PlaneGizmo floor("floor");
    floor.world.size[0] = 1;  // a, with the second edge
    floor.world.size[1] = 2;  // b, with the first edge
    floor.world.origin = {0, -1, 0};
    floor.world.axis[0] = {2, 0, 0};
    floor.world.axis[1] = {0, 0, 1};
    floor.world.axis[2] = {0, 1, 0};
    DeflectorOperator deflector("d", 0, 1, 1);
    deflector.AttachGizmo(&floor);
    deflector.Prepare();
    Particle falling = At({3, -1.1f, 0.5f}, {1, -2, 0});
    falling.previous = {3, -0.9f, 0.5f};
    deflector.Apply(0.1f, falling);
    ExpectNear(falling.velocity, {1, 2, 0});
    ExpectNear(falling.position, {3, -0.9f, 0.5f});
    Particle outside = At({0, -1.1f, 1.5f}, {0, -2, 0});  // past the second edge's extent
    outside.previous = {0, -0.9f, 1.5f};
    deflector.Apply(0.1f, outside);
    ExpectNear(outside.velocity, {0, -2, 0});
}

TEST(Operators, VortexReplacesTheVelocityWithASwirl) {
    VectorGizmo axis("axis");
    axis.world = {{0, 0, 0}, {0, 0, 3}};
    VortexOperator vortex("v", 0.25f, 2, 5);
    vortex.AttachGizmo(&axis);
    vortex.Prepare();
    Particle p = At({2, 0, 0}, {9, 9, 9}, {1, 1, 1});
    const float dt = 0.5f;
    vortex.Apply(dt, p);
    const float w = 0.25f * 6.2831855f * dt;  // a quarter turn per unit of time
    const Vector3 q = Vector3{0, 1, 0} * (std::sin(w) * 2);
    const Vector3 inward = Vector3{1, 0, 0} * (1 - std::cos(w));
    ExpectNear(p.velocity, (q - inward) * (2 * dt * (10 / (2 + 0.01f))), 1e-4f);
    ExpectNear(p.acceleration, {});
    EXPECT_GT(p.velocity.y, 0);  // counter-clockwise about +z
}

TEST(Operators, WithoutAGizmoOfTheirShapeTheyDoNothing) {
    PlaneGizmo plane("p");
    for (int kind = 1; kind <= 5; ++kind) {
        SCOPED_TRACE(kind);
        auto op = CreateOperator(kind, "o", 1, 1, 1);
        ASSERT_TRUE(op);
        EXPECT_EQ(op->kind, kind);
        EXPECT_FALSE(op->AttachGizmo(kind == ParticleOperator::kDeflector ? nullptr : &plane));
        EXPECT_FALSE(op->Prepare());
        Particle p = At({0.5f, 0.5f, -1}, {1, 2, 3}, {4, 5, 6});
        p.previous = {0.5f, 0.5f, 1};
        op->Apply(1, p);
        ExpectNear(p.position, {0.5f, 0.5f, -1});
        ExpectNear(p.velocity, {1, 2, 3});
        ExpectNear(p.acceleration, {4, 5, 6});
    }
    EXPECT_EQ(CreateOperator(6, "o", 1, 1, 1), nullptr);
    // Applying before the first Prepare does nothing either.
    VectorGizmo wind("w");
    wind.world = {{}, {1, 0, 0}};
    ForceOperator force("f", 0, 1, 1);
    force.AttachGizmo(&wind);
    Particle p = At({});
    force.Apply(1, p);
    ExpectNear(p.velocity, {});
}

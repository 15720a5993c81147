// Particle systems on the recording device: reading .pfd files, the update
// (deaths, emission timing, motion) and drawing in batches of 1024 quads.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/effects/particle_system.h"
#include "engine/files/zk_file.h"
#include "engine/scene/gizmo.h"
#include "tests/engine/effects/effects_fixture.h"

using namespace ZK3D;
using effects_test::EffectsTest;
using effects_test::VerticesOf;

namespace {

class ParticleSystemTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        vec = AddGizmo<VectorGizmo>("jet", Gizmo::kVector);
        vec->world = {{0, 0, 0}, {0, 1, 0}};
        ball = AddGizmo<SphereGizmo>("ball", Gizmo::kSphere);
        ball->world = {{0, 0, 0}, 1};
        AddGizmo<PlaneGizmo>("floor", Gizmo::kPlane);
    }

    template <class G>
    G* AddGizmo(const char* name, int32_t shape) {
        Gizmo* g = CreateGizmo(name, shape).release();
        AddNode(g, &rig.scene->gizmos);
        return static_cast<G*>(g);
    }

    ParticleSystem* Load(const std::string& text) {
        const std::string path = Write("test.pfd", text);
        auto file = zkOpenFile(path.c_str(), DiskFirst);
        EXPECT_TRUE(file);
        return LoadParticleSystems(rig.scene, file.get());
    }

    int LoadErrors() const {
        int n = 0;
        for (const auto& e : reports.errors()) n += e.rfind("[SFX-Load]", 0) == 0;
        return n;
    }

    // A system with particles placed by hand (no emitters).
    std::unique_ptr<ParticleSystem> BareSystem(RenderFlags flags = ParticleFlags("")) {
        return std::make_unique<ParticleSystem>("bare", nullptr, 1, 1, Color{1, 1, 1, 1}, Color{1, 1, 1, 1}, flags);
    }

    VectorGizmo* vec = nullptr;
    SphereGizmo* ball = nullptr;
};

Particle Still(Vector3 at, float birth = 0, float death = FLT_MAX) {
    Particle p;
    p.position = p.previous = at;
    p.birth = birth;
    p.death = death;
    p.startSize = p.endSize = 1;
    p.startColor = p.endColor = {1, 1, 1, 1};
    return p;
}

}  // namespace

TEST_F(ParticleSystemTest, ReadsSystemsWithTheirEmittersAndOperators) {
    ParticleSystem* last = Load(
        "# sparks\n"
        "\n"
        "PS Sparks spark.png 2 0.5  1 0.5 0.25  0 0.1 0.2 ZBSA\n"
        "VE Jet jet 30 100 5 -1 2 99\n"
        "SE Puff ball 0 10 1 0 0.5\n"
        "FO Wind jet 1 2 3\n"
        "XX something else\n"
        "AO Pull ball 2 1 0\n"
        "PS Dust dust.png 1 1 0.5 0.5 0.5 0.5 0.5 0.5\n"
        "BE Crate ball 0 1 0 0 1\n");
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last->name(), "Dust");
    // Both systems are the scene's effects, in file order.
    auto* first = static_cast<ParticleSystem*>(rig.scene->specials);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name(), "Sparks");
    EXPECT_EQ(first->next, last);
    EXPECT_EQ(first->kind(), ZKNODE_SPECIAL);
    EXPECT_EQ(first->enabled, 1);
    EXPECT_EQ(first->category, 0);

    EXPECT_STREQ(first->texture->name(), "spark.png");
    EXPECT_EQ(first->startSize, 2);
    EXPECT_EQ(first->endSize, 0.5f);
    EXPECT_EQ(first->startColor.g, 0.5f);
    EXPECT_EQ(first->endColor.b, 0.2f);
    EXPECT_EQ(first->startColor.a, 1);
    EXPECT_EQ(first->endColor.a, 1);
    // "ZB" then "SA": depth test on, blending additive by source alpha.
    EXPECT_EQ(first->flags, 0x04E000C7u);
    EXPECT_EQ(last->flags, 0x046000C6u);

    ASSERT_EQ(first->emitterCount, 2);
    const ParticleEmitter* jet = first->emitter(0);
    EXPECT_EQ(jet->kind, ParticleEmitter::kDirection);
    EXPECT_STREQ(jet->name(), "Jet");
    EXPECT_EQ(jet->gizmo(), vec);
    EXPECT_EQ(jet->spread, 30);
    EXPECT_EQ(jet->rate, 100);
    EXPECT_EQ(jet->speed, 5);
    EXPECT_EQ(jet->accel, -1);
    EXPECT_EQ(jet->lifetime, 2);
    EXPECT_EQ(jet->system, first);
    EXPECT_EQ(jet->startSize, 2);
    EXPECT_EQ(jet->endColor.b, 0.2f);
    EXPECT_EQ(first->emitter(1)->kind, ParticleEmitter::kSphere);
    EXPECT_EQ(first->emitter(1)->gizmo(), ball);

    ASSERT_EQ(first->operatorCount, 2);
    const ParticleOperator* wind = first->op(0);
    EXPECT_EQ(wind->kind, ParticleOperator::kForce);
    EXPECT_EQ(wind->range, 1);
    EXPECT_EQ(wind->velocityGain, 2);
    EXPECT_EQ(wind->accelGain, 3);
    EXPECT_EQ(first->op(1)->kind, ParticleOperator::kAttractor);
    EXPECT_EQ(last->emitterCount, 1);
    EXPECT_EQ(last->operatorCount, 0);
    // The box emitter names a sphere gizmo: it is kept without one, and told plainly.
    EXPECT_EQ(LoadErrors(), 0);
    EXPECT_EQ(last->emitter(0)->gizmo(), nullptr);
}

TEST_F(ParticleSystemTest, RenderOptionsAreReadInPairs) {
    EXPECT_EQ(ParticleFlags("ELES"), 0x046000F6u);
    EXPECT_EQ(ParticleFlags("XXZB"), 0x046000C7u);  // unknown pairs are ignored
    EXPECT_EQ(ParticleFlags("ZBS"), 0x046000C7u);   // so is a last single letter
    EXPECT_EQ(ParticleFlags("SAZ"), 0x04E000C6u);
    EXPECT_EQ(ParticleFlags("AZBX"), 0x046000C6u);  // pairs start at the first letter
    EXPECT_EQ(ParticleFlags(nullptr), 0x046000C6u);
}

TEST_F(ParticleSystemTest, LinesThatDoNotFitAreReportedAndSkipped) {
    ParticleSystem* last = Load(
        "VE Early jet 0 1 1 0 1\n"             // before any system
        "FO Early jet 1 1 1\n"
        "PS Short tex.png 1 1 1 1 1 1 1\n"     // a colour short: no system
        "VE Orphan jet 0 1 1 0 1\n"            // belongs to the skipped system
        "PS Good tex.png 1 1 1 1 1 1 1 1\n"
        "VE Cut jet 0 1 1\n"                   // numbers missing
        "TO Cut ball 1 1\n"
        "SE Lost nowhere 0 1 1 0 1\n"          // no such gizmo: kept, does nothing
        "VO Swirl floor 1 1 1\n"               // a plane where a vector is needed
        "P\n"
        "#VE Comment jet 0 1 1 0 1\n");
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last->name(), "Good");
    EXPECT_EQ(rig.scene->specials, last);
    EXPECT_EQ(last->next, nullptr);
    ASSERT_EQ(last->emitterCount, 1);
    EXPECT_STREQ(last->emitter(0)->name(), "Lost");
    EXPECT_EQ(last->emitter(0)->gizmo(), nullptr);
    ASSERT_EQ(last->operatorCount, 1);
    EXPECT_EQ(last->op(0)->gizmo(), nullptr);
    EXPECT_EQ(LoadErrors(), 6);  // the lines skipped; the two members without a gizmo are kept
    EXPECT_EQ(reports.level("[SFX-Load] PS : \"Lost\" has no gizmo \"nowhere\" : it does nothing"), 3);
    EXPECT_EQ(reports.level("[SFX-Load] PS : gizmo \"floor\" of \"Swirl\" is not a vector gizmo : it does nothing"), 3);

    // Gizmo-less members do nothing.
    last->SetTime(10);
    last->Update();
    EXPECT_EQ(last->particleCount, 0);
}

TEST_F(ParticleSystemTest, NoMoreThan256EmittersOrOperators) {
    std::string text = "PS Many tex.png 1 1 1 1 1 1 1 1\n";
    for (int i = 0; i < 300; ++i) text += "VE E" + std::to_string(i) + " jet 0 1 1 0 1\n";
    for (int i = 0; i < 260; ++i) text += "FO O" + std::to_string(i) + " jet 0 1 1\n";
    ParticleSystem* system = Load(text);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->emitterCount, 256);
    EXPECT_EQ(system->operatorCount, 256);
    EXPECT_STREQ(system->emitter(255)->name(), "E255");
    EXPECT_EQ(system->emitter(256), nullptr);
    EXPECT_EQ(LoadErrors(), 44 + 4);
    EXPECT_FALSE(system->AddEmitter(CreateEmitter(1, "x", system, 0, 1, 1, 0, 1)));
    EXPECT_FALSE(system->AddOperator(CreateOperator(1, "x", 0, 1, 1)));
}

TEST_F(ParticleSystemTest, NoFileOrNoSceneGivesNothing) {
    EXPECT_EQ(LoadParticleSystems(rig.scene, nullptr), nullptr);
    EXPECT_TRUE(reports.has("[SFX-Load] PS : No file to read"));
    zkMemoryFile file(reinterpret_cast<const uint8_t*>("PS A t 1 1 1 1 1 1 1 1\n"), 24);
    EXPECT_EQ(LoadParticleSystems(nullptr, &file), nullptr);
    EXPECT_EQ(rig.scene->specials, nullptr);
    zkMemoryFile empty(reinterpret_cast<const uint8_t*>(""), 0);
    EXPECT_EQ(LoadParticleSystems(rig.scene, &empty), nullptr);
}

TEST_F(ParticleSystemTest, SlowEmissionWaitsForAWholeParticle) {
    ParticleSystem* system = Load("PS S t 1 1 1 1 1 1 1 1\nVE Jet jet 0 10 1 0 5\n");
    system->SetTime(0.05f);
    system->Update();
    EXPECT_EQ(system->particleCount, 0);
    EXPECT_EQ(system->emitter(0)->lastTime, 0);
    system->SetTime(0.1f);
    system->Update();
    ASSERT_EQ(system->particleCount, 1);
    EXPECT_EQ(system->particles->birth, 0);
    EXPECT_FLOAT_EQ(system->particles->death, 5);
    EXPECT_FLOAT_EQ(system->emitter(0)->lastTime, 0.1f);
}

TEST_F(ParticleSystemTest, FastEmissionSpreadsBirthsOverTheStep) {
    ParticleSystem* system = Load("PS S t 1 1 1 1 1 1 1 1\nVE Jet jet 0 100 2 0 5\n");
    system->SetTime(0.1f);
    system->Update();
    ASSERT_EQ(system->particleCount, 10);
    // Newest first: 0.09 at the head down to 0 at the tail; each advanced from its
    // own birth to 0.1 along the jet.
    int k = 9;
    for (const Particle* p = system->particles; p; p = p->next, --k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(p->birth, 0.01f * k, 1e-6);
        EXPECT_NEAR(p->position.y, 2 * (0.1f - 0.01f * k), 1e-5);
        EXPECT_EQ(p->velocity.y, 2);
    }
    EXPECT_EQ(k, -1);
}

TEST_F(ParticleSystemTest, ParticlesDieAtTheFirstUpdateAtOrPastTheirDeath) {
    auto system = BareSystem();
    system->AddParticle(Still({0, 0, 0}, 2, 3));
    system->AddParticle(Still({0, 0, 0}, 0, 10));
    for (float t : {2.5f, 2.999f}) {
        system->SetTime(t);
        system->Update();
        EXPECT_EQ(system->particleCount, 2);
    }
    system->SetTime(3.0f);
    system->Update();
    ASSERT_EQ(system->particleCount, 1);
    EXPECT_EQ(system->particles->death, 10);
    // Freed particles are reused for new ones.
    system->AddParticle(Still({1, 2, 3}, 3, 4));
    EXPECT_EQ(system->particleCount, 2);
    EXPECT_EQ(system->particles->position.z, 3);
    EXPECT_EQ(system->particles->next->death, 10);
}

TEST_F(ParticleSystemTest, AdvanceStartsAtBirthWithinTheStep) {
    Particle p = Still({0, 0, 0}, 0.05f, 1);
    p.velocity = {1, 0, 0};
    p.acceleration = {0, 2, 0};
    p.Advance(0, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.y, 0.1f);
    EXPECT_FLOAT_EQ(p.position.x, 0.05f);
    EXPECT_FLOAT_EQ(p.position.y, 0.1f * 0.05f + 2 * 0.05f * 0.05f);
    EXPECT_EQ(p.previous.x, 0);
    // Born before the step: the whole step.
    Particle q = Still({0, 0, 0}, 0, 1);
    q.velocity = {1, 0, 0};
    q.Advance(0.5f, 0.75f);
    EXPECT_FLOAT_EQ(q.position.x, 0.25f);

    Particle c = Still({0, 0, 0}, 1, 3);
    c.startColor = {0, 1, 0.5f, 1};
    c.endColor = {1, 0, 0.5f, 1};
    c.startSize = 2;
    c.endSize = 4;
    EXPECT_FLOAT_EQ(c.ColorAt(2).r, 0.5f);
    EXPECT_FLOAT_EQ(c.SizeAt(2), 3);
    EXPECT_FLOAT_EQ(c.SizeAt(4), 5);  // not clamped
    Particle instant = Still({0, 0, 0}, 1, 1);
    EXPECT_EQ(instant.SizeAt(1), 1);  // no life span: as born
}

TEST_F(ParticleSystemTest, FifteenHundredParticlesTakeTwoDraws) {
    auto system = BareSystem(ParticleFlags("ZBSA"));
    for (int i = 0; i < 1500; ++i) system->AddParticle(Still({static_cast<float>(i), 0, 0}));
    system->compile();
    Log().clear();
    Draws().clear();
    system->render();

    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_EQ(Draws()[0].call, "DrawIndexedPrimitive(4,482,4096,6144,1)");
    EXPECT_EQ(Draws()[1].call, "DrawIndexedPrimitive(4,482,1904,2856,1)");
    EXPECT_FALSE(Draws()[0].rejected);
    EXPECT_FALSE(Draws()[1].rejected);
    const auto& idx = Draws()[0].indices;
    const std::vector<WORD> firstQuads = {0, 1, 2, 1, 2, 3, 4, 5, 6, 5, 6, 7};
    EXPECT_EQ(std::vector<WORD>(idx.begin(), idx.begin() + 12), firstQuads);
    EXPECT_EQ(idx.back(), 4095);
    // Particles go newest first: the last one added leads the first draw.
    const auto v = VerticesOf<LitVertex>(Draws()[0]);
    EXPECT_FLOAT_EQ(v[0].x, 1499 - 1);
    const auto w = VerticesOf<LitVertex>(Draws()[1]);
    EXPECT_FLOAT_EQ(w.back().x, 0 + 1);
    EXPECT_EQ(Draws()[0].renderStates.at(D3DRENDERSTATE_ZENABLE), 1u);
    EXPECT_EQ(Draws()[0].renderStates.at(D3DRENDERSTATE_ZWRITEENABLE), 0u);
    EXPECT_EQ(Draws()[0].renderStates.at(D3DRENDERSTATE_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(Draws()[0].renderStates.at(D3DRENDERSTATE_DESTBLEND), DWORD(D3DBLEND_ONE));
}

TEST_F(ParticleSystemTest, BillboardsFaceTheCamera) {
    auto system = BareSystem();
    Particle p = Still({10, 20, 30});
    p.startSize = p.endSize = 2;
    p.startColor = p.endColor = {1, 0.5f, 0, 0.25f};
    system->AddParticle(p);
    system->compile();
    // The camera turned a quarter turn about y: its right is the world's -z.
    const Matrix view = MatrixRotationY(3.14159265f / 2);
    rig.context->SetViewMatrix(view);
    rig.context->SetWorldMatrix(MatrixTranslation(5, 5, 5));
    Log().clear();
    system->render();

    ASSERT_EQ(Draws().size(), 1u);
    const auto& draw = Draws()[0];
    EXPECT_EQ(draw.call, "DrawIndexedPrimitive(4,482,4,6,1)");
    EXPECT_EQ(draw.world._41, 0);  // the world matrix is reset
    const auto v = VerticesOf<LitVertex>(draw);
    Matrix inverse;
    ASSERT_TRUE(Inverse(view, &inverse));
    const Vector3 dirs[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
    const float uv[4][2] = {{0, 0}, {0, -1}, {-1, 0}, {-1, -1}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Vector3 expected = Vector3{10, 20, 30} + TransformVector(dirs[i], inverse) * 2;
        EXPECT_NEAR(v[i].x, expected.x, 1e-4);
        EXPECT_NEAR(v[i].y, expected.y, 1e-4);
        EXPECT_NEAR(v[i].z, expected.z, 1e-4);
        EXPECT_EQ(v[i].reserved, 0u);
        EXPECT_EQ(v[i].diffuse, PackColor({1, 0.5f, 0, 0.25f}));
        EXPECT_EQ(v[i].specular, 0x00FFFFFFu);
        EXPECT_EQ(v[i].u, uv[i][0]);
        EXPECT_EQ(v[i].v, uv[i][1]);
    }
    EXPECT_NEAR(v[2].z, 30 + 2, 1e-4);  // right-down lies on +z after the turn
    // Stage 0 ends with the system's texture (none here), every stage reset first.
    EXPECT_EQ(Log().count("SetTexture(7,null)"), 1);
    EXPECT_EQ(Log().count("GetTransform(2)"), 1);
}

TEST_F(ParticleSystemTest, AnEmptySystemStillFlushesOnce) {
    auto system = BareSystem();
    system->render();  // compiles itself when it was not compiled
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].call, "DrawIndexedPrimitive(4,482,0,0,1)");
    EXPECT_EQ(system->indices.size(), 6144u);
}

TEST_F(ParticleSystemTest, OperatorsSeeTheFrameStep) {
    ParticleSystem* system = Load("PS S t 1 1 1 1 1 1 1 1\nFO Wind jet 0 2 0\n");
    system->AddParticle(Still({0, 0, 0}));
    system->SetTime(0.5f);
    system->Update();
    // dt = 0.5: velocity gains (0, 1, 0) x 2 x 0.5, then the particle moves by it.
    EXPECT_FLOAT_EQ(system->particles->velocity.y, 1);
    EXPECT_FLOAT_EQ(system->particles->position.y, 0.5f);
    EXPECT_EQ(system->previousTime, 0.5f);
}

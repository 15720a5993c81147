// Particle systems: a scene effect node owning a list of particles, up to 256
// emitters that create them and up to 256 operators that push them, drawing
// every particle as a camera-facing textured square. Motion follows the time the
// scene script gives with SetTime each frame; nothing here reads a clock.
//
// .pfd files (one line each, "#" lines are comments, other starts ignored):
//   PS name texture startSize endSize sr sg sb er eg eb [options]
//   VE|QE|BE|SE name gizmo spread rate speed accel lifetime
//   FO|AO|DO|TO|VO name gizmo range velocityGain accelGain
// Options are letter pairs: "EL" lighting, "ES" specular, "ZB" depth test, "SA"
// additive by source alpha (instead of plain additive).
// Lines the format does not provide for are reported and skipped: emitters and
// operators before the first system (or after a system line that was skipped),
// a system line without its eleven values, an emitter or operator line without
// all its numbers, and emitters or operators beyond 256 in one system.
//
// Drawing: one indexed triangle list per 1024 particles from one vertex array;
// render states come from the system's RenderFlags word.
// Not here: the emitters and operators themselves (particle_emitter.h,
// particle_operator.h).
// Gotcha: the colour alpha of a system is always 1 (the file gives none; the
// drawing takes alpha from the texture). Dead particles are kept for reuse, so
// births and deaths cost no allocation once the system has reached its size.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/effects/effect_vertices.h"
#include "engine/effects/particle.h"
#include "engine/effects/particle_emitter.h"
#include "engine/effects/particle_operator.h"
#include "engine/core/render_flags.h"
#include "engine/scene/effect_node.h"

namespace ZK3D {

class Scene;
class Texture;
class zkFile;

class ParticleSystem final : public SpecialNode {
public:
    static constexpr int32_t kMaxEmitters = 256;
    static constexpr int32_t kMaxOperators = 256;
    static constexpr int32_t kQuadsPerDraw = 1024;
    static constexpr int32_t kVerticesPerDraw = kQuadsPerDraw * 4;

    ParticleSystem(const char* name, Texture* texture, float startSize, float endSize, const Color& startColor,
                   const Color& endColor, RenderFlags flags);
    ~ParticleSystem() override;

    // Builds the index array, the vertex array and the corner coordinates.
    void compile() override;
    // Updates the particles to the time last given, then draws them (the argument
    // is not used).
    void render(HierarchyNode* node = nullptr) override;
    void SetTime(float t) {
        previousTime = time;
        time = t;
    }
    // Starts over at time t with no particles: the emitters count what is due
    // from t on, so a show entered part-way does not emit its whole past at once.
    void Restart(float t);

    // The update step of render alone: deaths, emission, operators, motion.
    void Update();
    // A new particle copied from the template, at the head of the list.
    void AddParticle(const Particle& particle);
    // Appends an emitter or operator; false (it is destroyed) when the system
    // already holds 256.
    bool AddEmitter(std::unique_ptr<ParticleEmitter> emitter);
    bool AddOperator(std::unique_ptr<ParticleOperator> op);

    ParticleEmitter* emitter(int32_t i) const { return i >= 0 && i < emitterCount ? emitters[i].get() : nullptr; }
    ParticleOperator* op(int32_t i) const { return i >= 0 && i < operatorCount ? operators[i].get() : nullptr; }

    int32_t particleCount = 0;
    Particle* particles = nullptr;  // newest first
    Texture* texture = nullptr;     // owned by the texture list
    float startSize = 0, endSize = 0;
    Color startColor, endColor;
    int32_t emitterCount = 0;
    std::unique_ptr<ParticleEmitter> emitters[kMaxEmitters];
    int32_t operatorCount = 0;
    std::unique_ptr<ParticleOperator> operators[kMaxOperators];
    RenderFlags flags = kDefaultRenderFlags;
    float previousTime = 0, time = 0;
    std::vector<uint16_t> indices;   // 1024 quads x 6
    std::vector<LitVertex> vertices;  // 4096
    int32_t vertexCount = 0;
    Vector3 corners[4];
    float cornerUV[4][2] = {};

private:
    void Draw();
    void FlushBatch();
    void FreeList(Particle*& head);

    Particle* spare_ = nullptr;  // dead particles kept for reuse
};

// The system's RenderFlags word for an option text: the context's base word
// with blending on, depth writes off, no culling, and the pairs' options.
RenderFlags ParticleFlags(const char* options);

// Reads every system of the file into the scene's specials; returns the last
// system the file defines, or none. The file stays the caller's.
ParticleSystem* LoadParticleSystems(Scene* scene, zkFile* file);

}  // namespace ZK3D

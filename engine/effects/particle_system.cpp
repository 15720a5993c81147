// The particle system's update and drawing, and the .pfd reader.
#include "engine/effects/particle_system.h"

#include <cstdio>
#include <cstring>

#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/render/texture.h"
#include "engine/scene/scene.h"
#include "engine/scene/world.h"
#include "platform/assert.h"
#include "platform/report.h"

namespace ZK3D {

ParticleSystem::ParticleSystem(const char* name, Texture* texture_, float startSize_, float endSize_,
                               const Color& startColor_, const Color& endColor_, RenderFlags flags_)
    : SpecialNode(name, 0, 1),
      texture(texture_),
      startSize(startSize_),
      endSize(endSize_),
      startColor(startColor_),
      endColor(endColor_),
      flags(flags_) {}

ParticleSystem::~ParticleSystem() {
    FreeList(particles);
    FreeList(spare_);
}

void ParticleSystem::FreeList(Particle*& head) {
    while (head) {
        Particle* p = head;
        head = p->next;
        delete p;
    }
}

void ParticleSystem::Restart(float t) {
    while (Particle* p = particles) {
        particles = p->next;
        p->next = spare_;
        spare_ = p;
    }
    particleCount = 0;
    previousTime = time = t;
    for (int32_t i = 0; i < emitterCount; ++i) emitters[i]->lastTime = t;
}

void ParticleSystem::compile() {
    indices.resize(static_cast<size_t>(kQuadsPerDraw) * 6);
    for (int i = 0; i < kQuadsPerDraw; ++i) {
        const auto v = static_cast<uint16_t>(4 * i);
        uint16_t* q = &indices[static_cast<size_t>(i) * 6];
        q[0] = v;
        q[1] = static_cast<uint16_t>(v + 1);
        q[2] = static_cast<uint16_t>(v + 2);
        q[3] = static_cast<uint16_t>(v + 1);
        q[4] = static_cast<uint16_t>(v + 2);
        q[5] = static_cast<uint16_t>(v + 3);
    }
    vertices.assign(kVerticesPerDraw, LitVertex{});
    vertexCount = 0;
    static constexpr float kUV[4][2] = {{0, 0}, {0, -1}, {-1, 0}, {-1, -1}};
    std::memcpy(cornerUV, kUV, sizeof cornerUV);
}

void ParticleSystem::AddParticle(const Particle& particle) {
    Particle* p = spare_;
    if (p) {
        spare_ = p->next;
        *p = particle;
    } else {
        p = new Particle(particle);
    }
    p->next = particles;
    particles = p;
    ++particleCount;
}

bool ParticleSystem::AddEmitter(std::unique_ptr<ParticleEmitter> emitter) {
    if (!emitter || emitterCount >= kMaxEmitters) return false;
    emitters[emitterCount++] = std::move(emitter);
    return true;
}

bool ParticleSystem::AddOperator(std::unique_ptr<ParticleOperator> op) {
    if (!op || operatorCount >= kMaxOperators) return false;
    operators[operatorCount++] = std::move(op);
    return true;
}

void ParticleSystem::Update() {
    // Deaths: dead particles go to the spare list.
    for (Particle** link = &particles; *link;) {
        Particle* p = *link;
        if (p->death <= time) {
            *link = p->next;
            p->next = spare_;
            spare_ = p;
            --particleCount;
        } else {
            link = &p->next;
        }
    }
    for (int32_t i = 0; i < emitterCount; ++i) emitters[i]->Emit(time);
    if (operatorCount > 0) {
        for (int32_t i = 0; i < operatorCount; ++i) operators[i]->Prepare();
        const float dt = time - previousTime;
        for (Particle* p = particles; p; p = p->next)
            for (int32_t i = 0; i < operatorCount; ++i) operators[i]->Apply(dt, *p);
    }
    for (Particle* p = particles; p; p = p->next) p->Advance(previousTime, time);
    previousTime = time;
}

void ParticleSystem::render(HierarchyNode*) {
    Update();
    Draw();
}

void ParticleSystem::Draw() {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "a particle system is drawn with no current world or render context");
    IDirect3DDevice7* device = context ? context->device() : nullptr;
    if (!device) return;
    if (vertices.empty()) compile();

    // Billboard corners: the camera's left-down, left-up, right-down and right-up
    // directions in world space, from the inverse of the view's rotation.
    context->SetWorldMatrix(nullptr);
    D3DMATRIX d3dView{};
    device->GetTransform(D3DTRANSFORMSTATE_VIEW, &d3dView);
    Matrix view, inverse;
    std::memcpy(view.m, &d3dView, sizeof view.m);
    if (!Inverse(view, &inverse)) inverse = MatrixIdentity();
    static constexpr Vector3 kCameraCorners[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i) corners[i] = TransformVector(kCameraCorners[i], inverse);

    context->ApplyFlags(flags);
    context->ResetAllStages();
    Texture::Bind(0, texture);

    const D3DCOLOR specular = PackColor({1, 1, 1, 0});
    vertexCount = 0;
    for (const Particle* p = particles; p; p = p->next) {
        const float s = p->SizeAt(time);
        const D3DCOLOR diffuse = PackColor(p->ColorAt(time));
        LitVertex* v = &vertices[static_cast<size_t>(vertexCount)];
        for (int i = 0; i < 4; ++i) {
            const Vector3 at = p->position + corners[i] * s;
            v[i].x = at.x;
            v[i].y = at.y;
            v[i].z = at.z;
            v[i].reserved = 0;
            v[i].diffuse = diffuse;
            v[i].specular = specular;
            v[i].u = cornerUV[i][0];
            v[i].v = cornerUV[i][1];
        }
        vertexCount += 4;
        if (vertexCount > kVerticesPerDraw - 1) FlushBatch();
    }
    FlushBatch();
}

void ParticleSystem::FlushBatch() {
    Context* context = CurrentContext();
    IDirect3DDevice7* device = context ? context->device() : nullptr;
    if (device)
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, kLitVertexFormat, vertices.data(),
                                     static_cast<DWORD>(vertexCount), indices.data(),
                                     static_cast<DWORD>(vertexCount / 2 * 3), D3DDP_WAIT);
    vertexCount = 0;
}

// ---- the .pfd reader ----

RenderFlags ParticleFlags(const char* options) {
    const Context* context = CurrentContext();
    RenderFlags f = context ? context->CurrentFlags() : kDefaultRenderFlags;
    bool lighting = false, specular = false, depthTest = false, alphaAdditive = false;
    for (const char* o = options; o && o[0] && o[0] != ' ' && o[0] != '\t' && o[1] && o[1] != ' ' && o[1] != '\t';
         o += 2) {
        if (o[0] == 'E' && o[1] == 'L') lighting = true;
        else if (o[0] == 'E' && o[1] == 'S') specular = true;
        else if (o[0] == 'Z' && o[1] == 'B') depthTest = true;
        else if (o[0] == 'S' && o[1] == 'A') alphaAdditive = true;
    }
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    f = flags::WithBit(f, flags::kLighting, lighting);
    f = flags::WithBit(f, flags::kSpecular, specular);
    f = flags::WithBit(f, flags::kDepthTest, depthTest);
    f = flags::WithCull(f, flags::kCullNone);
    f = flags::WithDepth(f, flags::kDepthReadOnly);
    f = flags::WithBlend(f, alphaAdditive ? flags::kBlendAlphaAdditive : flags::kBlendAdditive);
    return f;
}

namespace {

constexpr uint32_t kLineLength = 1024;

int32_t EmitterKind(const char* line) {
    static const char* const kKeys[] = {"VE", "QE", "BE", "SE"};
    for (int i = 0; i < 4; ++i)
        if (line[0] == kKeys[i][0] && line[1] == kKeys[i][1]) return i + 1;
    return 0;
}

int32_t OperatorKind(const char* line) {
    static const char* const kKeys[] = {"FO", "AO", "DO", "TO", "VO"};
    for (int i = 0; i < 5; ++i)
        if (line[0] == kKeys[i][0] && line[1] == kKeys[i][1]) return i + 1;
    return 0;
}

const char* const kShapeNames[] = {"", "point", "vector", "box", "sphere", "plane"};

// The gizmo of the name in the scene, for an effect that needs the shape; a
// missing gizmo or one of another shape gives none, reported as a plain line (the
// member is kept and does nothing, so the show goes on).
Gizmo* FindShapedGizmo(Scene* scene, const char* name, int32_t shape, const char* effect) {
    auto* gizmo = static_cast<Gizmo*>(FindNode(scene->gizmos, name));
    if (!gizmo) {
        LogMessage("[SFX-Load] PS : \"%s\" has no gizmo \"%s\" : it does nothing", effect, name);
        return nullptr;
    }
    if (gizmo->shape() != shape) {
        LogMessage("[SFX-Load] PS : gizmo \"%s\" of \"%s\" is not a %s gizmo : it does nothing", name, effect,
                 kShapeNames[shape]);
        return nullptr;
    }
    return gizmo;
}

}  // namespace

ParticleSystem* LoadParticleSystems(Scene* scene, zkFile* file) {
    if (!file) {
        LogError("[SFX-Load] PS : No file to read");
        return nullptr;
    }
    if (!scene) {
        LogError("[SFX-Load] PS : No scene to add particle systems to");
        return nullptr;
    }
    ParticleSystem* current = nullptr;  // the system later lines join
    ParticleSystem* last = nullptr;     // the last system made
    char line[kLineLength];
    char keyword[kLineLength], name[kLineLength], other[kLineLength], options[kLineLength];
    while (!file->AtEnd()) {
        file->ReadLine(line, kLineLength);
        if (line[0] == '#' || line[0] == '\0' || line[1] == '\0') continue;

        if (line[0] == 'P' && line[1] == 'S') {
            float startSize = 0, endSize = 0;
            Color start{0, 0, 0, 1}, end{0, 0, 0, 1};
            options[0] = '\0';
            const int fields = std::sscanf(line, "%1023s %1023s %1023s %f %f %f %f %f %f %f %f %1023s", keyword, name,
                                           other, &startSize, &endSize, &start.r, &start.g, &start.b, &end.r, &end.g,
                                           &end.b, options);
            if (fields < 11) {
                LogError("[SFX-Load] PS : incomplete system line \"%s\" : the system and its lines are skipped", line);
                current = nullptr;
                continue;
            }
            auto* system = new ParticleSystem(name, GetTexture(other), startSize, endSize, start, end,
                                              ParticleFlags(fields >= 12 ? options : ""));
            AddNode<SpecialNode>(system, &scene->specials);
            current = last = system;
            continue;
        }

        if (const int32_t kind = EmitterKind(line)) {
            float n[6] = {};
            const int fields = std::sscanf(line, "%1023s %1023s %1023s %f %f %f %f %f %f", keyword, name, other, &n[0],
                                           &n[1], &n[2], &n[3], &n[4], &n[5]);
            if (fields < 8) {
                LogError("[SFX-Load] PS : incomplete emitter line \"%s\" : skipped", line);
            } else if (!current) {
                LogError("[SFX-Load] PS : emitter \"%s\" has no particle system : skipped", name);
            } else if (current->emitterCount >= ParticleSystem::kMaxEmitters) {
                LogError("[SFX-Load] PS : \"%s\" already has %d emitters : \"%s\" skipped", current->name(),
                         ParticleSystem::kMaxEmitters, name);
            } else {
                auto emitter = CreateEmitter(kind, name, current, n[0], n[1], n[2], n[3], n[4]);
                emitter->AttachGizmo(FindShapedGizmo(scene, other, emitter->GizmoShape(), name));
                current->AddEmitter(std::move(emitter));
            }
            continue;
        }

        if (const int32_t kind = OperatorKind(line)) {
            float n[3] = {};
            const int fields =
                std::sscanf(line, "%1023s %1023s %1023s %f %f %f", keyword, name, other, &n[0], &n[1], &n[2]);
            if (fields < 6) {
                LogError("[SFX-Load] PS : incomplete operator line \"%s\" : skipped", line);
            } else if (!current) {
                LogError("[SFX-Load] PS : operator \"%s\" has no particle system : skipped", name);
            } else if (current->operatorCount >= ParticleSystem::kMaxOperators) {
                LogError("[SFX-Load] PS : \"%s\" already has %d operators : \"%s\" skipped", current->name(),
                         ParticleSystem::kMaxOperators, name);
            } else {
                auto op = CreateOperator(kind, name, n[0], n[1], n[2]);
                op->AttachGizmo(FindShapedGizmo(scene, other, op->GizmoShape(), name));
                current->AddOperator(std::move(op));
            }
        }
    }
    return last;
}

}  // namespace ZK3D

// Particle files (.pfd): read into a scene holding a gizmo of every shape, named
// after its shape, for emitters and operators to attach to; the file's last
// system is compiled and drawn over a few frames, as a script drives it.
#include "engine/effects/particle_system.h"
#include "engine/files/zk_file.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/scene.h"
#include "fuzz/rig.h"

namespace {

using namespace ZK3D;

void AddGizmos(Scene& scene) {
    const Vector3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    auto add = [&scene](std::unique_ptr<Gizmo> g) {
        Gizmo* raw = g.release();
        AddNode(raw, &scene.gizmos);
        return raw;
    };
    static_cast<PointGizmo*>(add(CreateGizmo("point", Gizmo::kPoint)))->position = {0, 1, 0};
    auto* v = static_cast<VectorGizmo*>(add(CreateGizmo("vector", Gizmo::kVector)));
    v->local = v->world = {{0, 0, 0}, y};
    auto* b = static_cast<BoxGizmo*>(add(CreateGizmo("box", Gizmo::kBox)));
    b->local = b->world = {{1, 2, 3}, {0, 0, 0}, {x, y, z}};
    auto* s = static_cast<SphereGizmo*>(add(CreateGizmo("sphere", Gizmo::kSphere)));
    s->local = s->world = {{0, 0, 0}, 2};
    auto* p = static_cast<PlaneGizmo*>(add(CreateGizmo("plane", Gizmo::kPlane)));
    p->local = p->world = {{4, 4}, {0, 0, 0}, {x, z, y}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    ZK3D::World& world = rig.Begin();
    AddGizmos(*rig.scene());
    zkMemoryFile file(data, uint32_t(size));
    if (ParticleSystem* system = LoadParticleSystems(rig.scene(), &file)) {
        system->compile();
        IDirect3DDevice7* device = world.context->device();
        for (const float t : {0.0f, 0.04f, 0.5f, 0.54f, 2.0f}) {
            system->SetTime(t);
            device->BeginScene();
            system->render();
            device->EndScene();
        }
    }
    rig.End();
    return 0;
}

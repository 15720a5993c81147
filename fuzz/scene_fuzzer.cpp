// Scene files: loaded into a fresh world on the recording device, then compiled
// and drawn at two times, as a script draws its scene.
#include "engine/scene/scene.h"
#include "engine/scene/scene_loader.h"
#include "fuzz/rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = fuzzing::WriteInput("scene.zks", data, size);
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    ZK3D::World& world = rig.Begin();
    if (ZK3D::Scene* scene = ZK3D::LoadScene(&world, path)) {
        ZK3D::CompileWorld(&world);
        ZK3D::SetCurrentScene(scene);
        fuzzing::DrawFrame(world, 0);
        fuzzing::DrawFrame(world, 0.5f * static_cast<float>(scene->animationDescriptor.lastFrame) + 1);
    }
    rig.End();
    return 0;
}

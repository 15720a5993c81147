// Lens-flare files (.lfd): a flare made from the file around a point source,
// its elements listed, then drawn while the source is in view (the flash) and
// after it has left the view (the fade).
#include "engine/effects/lens_flare.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/scene.h"
#include "fuzz/rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ZK3D;
    const char* path = fuzzing::WriteInput("flare.lfd", data, size);
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    rig.Begin();
    // Identity view and projection: the source's x and y are its place on screen.
    rig.context().SetViewMatrix(nullptr);
    rig.context().SetProjectionMatrix(nullptr);
    auto* source = static_cast<PointGizmo*>(CreateGizmo("source", Gizmo::kPoint).release());
    Gizmo* g = source;
    AddNode(g, &rig.scene()->gizmos);
    source->position = {0.25f, -0.25f, 0.5f};
    if (auto flare = CreateLensFlare(path, source, LensFlare::kFlash | LensFlare::kAlphaBlended)) {
        for (int32_t i = -1; i <= flare->ElementCount(); ++i) flare->Element(i);
        IDirect3DDevice7* device = rig.context().device();
        for (int frame = 0; frame < 6; ++frame) {
            if (frame == 3) source->position = {3, 3, 0.5f};
            device->BeginScene();
            flare->render();
            device->EndScene();
        }
    }
    rig.End();
    return 0;
}

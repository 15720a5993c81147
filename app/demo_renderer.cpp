// Creation and release of the render context and the world for Demo::init and
// Demo::shutdown.
#include "app/demo.h"
#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/world.h"
#include "platform/report.h"

bool Demo::createRenderer(bool fullscreen, bool software) {
    if (fullscreen) ZK3D::SetFullScreen(true);
    if (software) ZK3D::SetSoftwareRasterizer();
    ownedContext_ = ZK3D::Context::Create(window_);
    context = ownedContext_.get();
    if (!context) {
        // Without a device nothing can be shown: say so and end instead of playing blind.
        LogError("[RC] - The render context cannot be created");
        return false;
    }
    ownedWorld_ = ZK3D::CreateWorld(context);
    world = ownedWorld_.get();
    ZK3D::SetCurrentWorld(world);
    return true;
}

void Demo::destroyRenderer() {
    if (ZK3D::CurrentWorld() == world) ZK3D::SetCurrentWorld(nullptr);
    ownedWorld_.reset();
    world = nullptr;
    ownedContext_.reset();
    context = nullptr;
}

// Creation and release of the render context and the world for Demo::init and
// Demo::shutdown.
#include "app/demo.h"

void Demo::createRenderer(bool /*fullscreen*/, bool /*software*/) {
    // Seam: the render context and the world are made here once the graphics
    // device and the scene graph exist; until then the demo runs without them.
}

void Demo::destroyRenderer() {
    world = nullptr;
    context = nullptr;
}

#include "engine/core/current.h"

namespace ZK3D {

namespace {
RenderWorld* g_currentWorld = nullptr;  // main thread; the loader only reads it
}

RenderWorld* CurrentRenderWorld() { return g_currentWorld; }
void SetCurrentRenderWorld(RenderWorld* world) { g_currentWorld = world; }

}  // namespace ZK3D

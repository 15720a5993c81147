#include "demo/demo_host.h"

namespace {
DemoHost* g_current = nullptr;
}  // namespace

DemoHost::DemoHost() { g_current = this; }

DemoHost::~DemoHost() {
    if (g_current == this) g_current = nullptr;
}

DemoHost* DemoHost::current() { return g_current; }

SceneScript* DemoHost::script(int index) const {
    if (index < 0 || index >= int(scripts.size())) return nullptr;
    return scripts[size_t(index)].get();
}

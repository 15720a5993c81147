// The light's per-frame position and direction.
#include "engine/scene/light.h"

#include "platform/report.h"

namespace ZK3D {

Light::Light(const char* name) : TargetNode(name, ZKNODE_LIGHT) { LogMessage("[L] Creating Light \"%s\"", name); }

Light::~Light() = default;

void Light::compile() { LogMessage("[L] Compile Light \"%s\"", name()); }

void Light::render(HierarchyNode* node, HierarchyNode* target) {
    if (!node) return;
    const Vector3 p = node->Translation();
    light.dvPosition = {p.x, p.y, p.z};
    if (target) {
        const Vector3 d = target->Translation() - p;
        light.dvDirection = {d.x, d.y, d.z};
    }
}

}  // namespace ZK3D

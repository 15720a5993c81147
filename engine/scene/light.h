// A Direct3D light read whole from its scene file; each frame its position (and,
// with a target, its direction) follows the scene tree before the scene hands it
// to the device.
//
// Not here: the light slots (the render context numbers lights as they are added).
// Gotcha: positions are the local translations of the animation nodes; the
// direction towards a target is not normalised.
#pragma once

#include "engine/scene/hierarchy_node.h"
#include "platform/d3d7.h"

namespace ZK3D {

class Light : public TargetNode {
public:
    explicit Light(const char* name);
    ~Light() override;
    // Logs the name only.
    void compile() override;
    // Position from the node; direction towards the target node when there is one.
    void render(HierarchyNode* node, HierarchyNode* target) override;

    int32_t hasTarget = 0;
    D3DLIGHT7 light{};
};

}  // namespace ZK3D

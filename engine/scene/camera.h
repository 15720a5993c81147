// A target camera: it sits at its hierarchy node's position, looks at its target
// node's position and rolls by its node's animated roll. Only the current camera
// of the scene being rendered sets the view and projection each frame.
//
// Not here: choosing the current camera (scene scripts do) and the projection's
// aspect ratio (the render context's selected mode gives it).
// Gotcha: eye and target are the local translations of the two animation nodes,
// not positions composed through the tree.
#pragma once

#include "engine/scene/hierarchy_node.h"
#include "engine/core/math.h"

namespace ZK3D {

class Camera : public TargetNode {
public:
    explicit Camera(const char* name);
    // Leaves the current scene without a current camera when it was this one.
    ~Camera() override;
    // Logs the name only.
    void compile() override;
    // Builds and sets the view (from the node and the node's own target; the
    // target argument is not used), then the projection. A node without a target
    // gives no view direction: the view the context holds stays, and the camera
    // says so once. So does a camera that looks along its up axis, whose view
    // (kept as computed) sees nothing.
    void render(HierarchyNode* node, HierarchyNode* target) override;

    float nearPlane = 1;
    float farPlane = 1000;
    float fov = 0;  // radians; replaced by the animated value when that is not 0
    Matrix projection = MatrixIdentity();
    Matrix view = MatrixIdentity();

private:
    bool reportedNoTarget_ = false;
    bool reportedBlind_ = false;
};

}  // namespace ZK3D

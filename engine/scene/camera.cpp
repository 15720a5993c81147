// The camera's view (look-at with roll) and projection for the current frame.
#include "engine/scene/camera.h"

#include <cmath>

#include "engine/render/context.h"
#include "engine/scene/world.h"
#include "platform/report.h"

namespace ZK3D {

Camera::Camera(const char* name) : TargetNode(name, ZKNODE_CAMERA) { LogMessage("[C] Creating Camera \"%s\"", name); }

Camera::~Camera() {
    if (Scene* scene = CurrentScene())
        if (scene->currentCamera == this) scene->currentCamera = nullptr;
}

void Camera::compile() { LogMessage("[C] Compile Camera Projection Matrix \"%s\"", name()); }

void Camera::render(HierarchyNode* node, HierarchyNode* /*target*/) {
    placedBy = node;
    if (!node) return;
    Context* context = CurrentContext();

    if (HierarchyNode* aim = node->target) {
        const float roll = node->animation ? node->animation->roll : 0.0f;
        const Vector3 up = TransformPoint({0, 0, 1}, MatrixRotationY(-roll));
        view = MatrixLookAt(node->Translation(), aim->Translation(), up);
        if (context) context->SetViewMatrix(view);
        // Looking straight along the up axis (or at its own place) leaves the view
        // without a side axis (its first column): the frame shows nothing. Say so
        // once, so the person who made the scene learns why.
        if (!reportedBlind_ && view(0, 0) == 0 && view(1, 0) == 0 && view(2, 0) == 0) {
            reportedBlind_ = true;
            LogMessage("[C] \"%s\" looks along its up axis : it sees nothing", name());
        }
    } else if (!reportedNoTarget_) {
        reportedNoTarget_ = true;
        LogMessage("[C] \"%s\" has no target : the view is left as it is", name());
    }

    if (node->animation && node->animation->fov != 0.0f) fov = node->animation->fov;
    projection = MatrixPerspective(fov, context ? context->AspectRatio() : 0.75f, nearPlane, farPlane);
    if (context) context->SetProjectionMatrix(projection);
}

}  // namespace ZK3D

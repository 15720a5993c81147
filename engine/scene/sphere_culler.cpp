// One visibility call per batch of spheres; the verdict goes to each gizmo's flags.
#include "engine/scene/sphere_culler.h"

#include <algorithm>

#include "engine/scene/gizmo.h"

namespace ZK3D {

SphereCuller::SphereCuller() {
    centres_.reserve(kInitialCapacity);
    radii_.reserve(kInitialCapacity);
    gizmos_.reserve(kInitialCapacity);
    nodes_.reserve(kInitialCapacity);
    results_.reserve(kInitialCapacity);
}

void SphereCuller::Clear() {
    centres_.clear();
    radii_.clear();
    gizmos_.clear();
    nodes_.clear();
    results_.clear();
}

void SphereCuller::Add(SphereGizmo* gizmo, HierarchyNode* node, const Matrix& parentWorld) {
    if (!gizmo) return;
    const Vector3 c = TransformPoint(gizmo->world.centre, parentWorld);
    const Matrix& m = parentWorld;
    const float scale = std::max({Length({m.m[0], m.m[1], m.m[2]}), Length({m.m[4], m.m[5], m.m[6]}),
                                  Length({m.m[8], m.m[9], m.m[10]})});
    centres_.push_back({c.x, c.y, c.z});
    radii_.push_back(gizmo->world.radius * scale);
    gizmos_.push_back(gizmo);
    nodes_.push_back(node);
}

void SphereCuller::Test(IDirect3DDevice7* device) {
    results_.assign(gizmos_.size(), 0);
    if (gizmos_.empty()) return;
    if (device)
        device->ComputeSphereVisibility(centres_.data(), radii_.data(), static_cast<DWORD>(gizmos_.size()), 0,
                                        results_.data());
    for (size_t i = 0; i < gizmos_.size(); ++i) {
        if (results_[i] & D3DSTATUS_DEFAULT)  // 0x01FFF000: wholly outside a clipping plane
            gizmos_[i]->flags |= Gizmo::kCulled;
        else
            gizmos_[i]->flags &= ~Gizmo::kCulled;
    }
}

}  // namespace ZK3D

// Tests the culling spheres of one sibling chain against the view in a single
// device call and marks each sphere gizmo culled (flags bit 31) or not.
//
// Not here: which chains are tested (the scene's culling pass decides).
// Gotcha: centres and radii go to the device in model space, so the device's world
// matrix must be the identity while testing (the scene sets it before the pass).
#pragma once

#include <vector>

#include "engine/core/math.h"
#include "platform/d3d7.h"

namespace ZK3D {

class HierarchyNode;
class SphereGizmo;

class SphereCuller {
public:
    static constexpr size_t kInitialCapacity = 100;  // grows past this for longer chains

    SphereCuller();
    void Clear();
    // Appends the gizmo's sphere carried into world space by its parent's world
    // matrix (the centre transformed, the radius grown by the matrix's largest
    // axis scale, so the sphere still holds what it held).
    void Add(SphereGizmo* gizmo, HierarchyNode* node, const Matrix& parentWorld);
    // One ComputeSphereVisibility call for everything appended; a sphere wholly
    // outside a clipping plane marks its gizmo culled, any other clears the mark.
    void Test(IDirect3DDevice7* device);

    size_t count() const { return gizmos_.size(); }
    HierarchyNode* node(size_t i) const { return nodes_[i]; }
    DWORD result(size_t i) const { return results_[i]; }

private:
    std::vector<D3DVECTOR> centres_;
    std::vector<D3DVALUE> radii_;
    std::vector<SphereGizmo*> gizmos_;
    std::vector<HierarchyNode*> nodes_;
    std::vector<DWORD> results_;
};

}  // namespace ZK3D

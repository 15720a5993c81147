// The gizmo shapes' world data, computed from the placing node's transform.
#include "engine/scene/gizmo.h"

#include <algorithm>
#include <cstring>

#include "engine/scene/hierarchy_node.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

TransformRecord NodeTransform(const HierarchyNode* node) {
    return node && node->animation ? node->animation->transform : TransformRecord{};
}

}  // namespace

Gizmo::Gizmo(const char* name, int32_t shape) : Node(name, ZKNODE_GIZMO), shape_(shape) {
    LogMessage("[Gz] Creating Gizmo \"%s\"", name);
}

Gizmo::~Gizmo() = default;

void Gizmo::compile() { LogMessage("[Gz] Compile Gizmo \"%s\"", name()); }

bool Gizmo::SetLocalData(const void* data, size_t size) {
    if (size != LocalDataSize() || (size && !data)) return false;
    if (size) std::memcpy(LocalData(), data, size);
    return true;
}

void PointGizmo::render(HierarchyNode* node) {
    if (!node) return;
    const Matrix& l = node->LocalMatrix();
    position = {l.m[12], l.m[13], l.m[14]};
}

void VectorGizmo::render(HierarchyNode* node) {
    if (!node) return;
    const TransformRecord t = NodeTransform(node);
    world.origin = t.translation;
    world.vector = TransformVector(Modulate(local.vector, t.scale), MatrixRotationQuaternion(t.rotation));
}

void BoxGizmo::render(HierarchyNode* node) {
    if (!node) return;
    const TransformRecord t = NodeTransform(node);
    const Matrix m = LocalTransform(t);
    std::copy(std::begin(local.size), std::end(local.size), world.size);
    world.origin = t.translation;
    for (int i = 0; i < 3; ++i) world.axis[i] = TransformVector(local.axis[i], m);
}

void SphereGizmo::render(HierarchyNode* node) {
    if (!node) return;
    const TransformRecord t = NodeTransform(node);
    world.centre = t.translation;
    world.radius = local.radius * std::max({t.scale.x, t.scale.y, t.scale.z});
}

void PlaneGizmo::render(HierarchyNode* node) {
    if (!node) return;
    const TransformRecord t = NodeTransform(node);
    const Matrix m = LocalTransform(t);
    std::copy(std::begin(local.size), std::end(local.size), world.size);
    world.origin = t.translation;
    for (int i = 0; i < 3; ++i) world.axis[i] = TransformVector(local.axis[i], m);
}

std::unique_ptr<Gizmo> CreateGizmo(const char* name, int32_t shape) {
    switch (shape) {
        case Gizmo::kVector: return std::make_unique<VectorGizmo>(name);
        case Gizmo::kBox: return std::make_unique<BoxGizmo>(name);
        case Gizmo::kSphere: return std::make_unique<SphereGizmo>(name);
        case Gizmo::kPlane: return std::make_unique<PlaneGizmo>(name);
        default: return std::make_unique<PointGizmo>(name);
    }
}

int32_t ShapeFromFileCode(int32_t code) {
    switch (code) {
        case 2: return Gizmo::kBox;
        case 3: return Gizmo::kSphere;
        case 4: return Gizmo::kPlane;
        case 5: return Gizmo::kVector;
        default: return Gizmo::kPoint;
    }
}

}  // namespace ZK3D

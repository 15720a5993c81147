// Derived values of the scene model: shape codes, stage masks, key helpers.
#include "tools/zks/zks_scene.h"

namespace zks {

int32_t ShapeCode(const GizmoShape& shape) {
    struct Code {
        int32_t operator()(const PointShape&) const { return 1; }
        int32_t operator()(const BoxShape&) const { return 2; }
        int32_t operator()(const SphereShape&) const { return 3; }
        int32_t operator()(const PlaneShape&) const { return 4; }
        int32_t operator()(const VectorShape&) const { return 5; }
    };
    return std::visit(Code{}, shape);
}

int32_t StageMask(const Material& material) {
    return (material.texture ? 0x1 : 0) | (material.detail ? 0x2 : 0) |
           (material.environment ? 0x4 : 0) | (material.bump ? 0x8 : 0);
}

Key PositionKey(float time, Vec3 value) {
    Key key;
    key.time = time;
    key.value = {value.x, value.y, value.z, 0};
    return key;
}

Key RotationKey(float time, Quat value) {
    Key key;
    key.time = time;
    key.value = {value.x, value.y, value.z, value.w};
    return key;
}

Key ScalarKey(float time, float value) {
    Key key;
    key.time = time;
    key.value = {value, 0, 0, 0};
    return key;
}

}  // namespace zks

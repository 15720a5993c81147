// Vector and quaternion helpers (Hamilton products; Rotate is q v q*).
#include "tools/zks/zks_math.h"

#include <cmath>

namespace zks {
namespace {

Quat Hamilton(Quat a, Quat b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

}  // namespace

float Length(Vec3 v) { return std::sqrt(Dot(v, v)); }

Vec3 Normalize(Vec3 v) {
    const float len = Length(v);
    return len > 0 ? v * (1.0f / len) : Vec3{};
}

Quat AxisAngle(Vec3 axis, float angle) {
    const Vec3 a = Normalize(axis);
    const float s = std::sin(angle * 0.5f);
    return {a.x * s, a.y * s, a.z * s, std::cos(angle * 0.5f)};
}

Quat YawPitchRoll(float yaw, float pitch, float roll) {
    const Quat r = AxisAngle({0, 0, 1}, roll);
    const Quat p = AxisAngle({1, 0, 0}, pitch);
    const Quat y = AxisAngle({0, 1, 0}, yaw);
    return Compose(Compose(r, p), y);
}

Quat Compose(Quat first, Quat second) { return Hamilton(second, first); }

Quat Normalize(Quat q) {
    const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (len <= 0) return Quat{};
    const float k = 1.0f / len;
    return {q.x * k, q.y * k, q.z * k, q.w * k};
}

Quat Conjugate(Quat q) { return {-q.x, -q.y, -q.z, q.w}; }

Vec3 Rotate(Quat q, Vec3 v) {
    const Quat r = Hamilton(Hamilton(q, Quat{v.x, v.y, v.z, 0}), Conjugate(q));
    return {r.x, r.y, r.z};
}

Quat Slerp(Quat a, Quat b, float t) {
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    const float sign = d < 0 ? -1.0f : 1.0f;
    d = std::fabs(d);
    float k1 = 1 - t, k2 = sign * t;
    if (1 - d > 1e-5f) {
        const float theta = std::atan2(std::sqrt(1 - d * d), d);
        const float s = std::sin(theta);
        k1 = std::sin((1 - t) * theta) / s;
        k2 = sign * std::sin(t * theta) / s;
    }
    return Normalize(Quat{k1 * a.x + k2 * b.x, k1 * a.y + k2 * b.y, k1 * a.z + k2 * b.z,
                          k1 * a.w + k2 * b.w});
}

Transform Translation(Vec3 t) {
    Transform tr;
    tr.translation = t;
    return tr;
}

Transform Scaling(Vec3 s) {
    Transform tr;
    tr.scale = s;
    return tr;
}

Transform Rotation(Quat r) {
    Transform tr;
    tr.rotation = r;
    return tr;
}

Transform TRS(Vec3 translation, Quat rotation, Vec3 scale) {
    Transform tr;
    tr.translation = translation;
    tr.rotation = rotation;
    tr.scale = scale;
    return tr;
}

Vec3 TransformPoint(const Transform& t, Vec3 p) {
    // p × inverse(MQ) × scaling × MQ: into the scale axes and back.
    Vec3 v = Rotate(Conjugate(t.scaleAxes), p);
    v = Mul(v, t.scale);
    v = Rotate(t.scaleAxes, v);
    v = Rotate(t.rotation, v);
    return v * t.uniformScale + t.translation;
}

}  // namespace zks

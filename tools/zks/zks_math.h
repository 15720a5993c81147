// Small vector and quaternion helpers for building scene content: transform
// records, key values, mesh placement.
//
// Conventions are the engine's: row vectors, quaternions x, y, z, w with the
// rotation matrix whose first row is (1 − 2(y² + z²), 2(xy + zw), 2(xz − yw)), so
// AxisAngle({0, 0, 1}, π/2) turns +x into +y. Angles are radians.
//
// Not a general math library: no matrices; the engine builds those itself from
// the transform records.
#pragma once

#include "tools/zks/zks_scene.h"

namespace zks {

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline Vec3 Mul(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(Vec3 v);
Vec3 Normalize(Vec3 v);  // (0, 0, 0) stays (0, 0, 0)

// Rotation by angle about axis (normalised here).
Quat AxisAngle(Vec3 axis, float angle);
// Roll about z first, then pitch about x, then yaw about y.
Quat YawPitchRoll(float yaw, float pitch, float roll);
// The rotation that applies first, then second.
Quat Compose(Quat first, Quat second);
Quat Normalize(Quat q);
Quat Conjugate(Quat q);
Vec3 Rotate(Quat q, Vec3 v);
// Spherical interpolation along the short way; t in 0–1.
Quat Slerp(Quat a, Quat b, float t);

// Transform records for the common cases.
Transform Translation(Vec3 t);
Transform Scaling(Vec3 s);
Transform Rotation(Quat r);
Transform TRS(Vec3 translation, Quat rotation, Vec3 scale = {1, 1, 1});

// Where a transform record puts a point: into the scale axes, scaled, back,
// rotated, scaled uniformly, moved.
Vec3 TransformPoint(const Transform& t, Vec3 p);

}  // namespace zks

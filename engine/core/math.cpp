#include "engine/core/math.h"

#include <cmath>

namespace ZK3D {

namespace {
constexpr float kUnitTolerance = 0.00001f;
// The float just below 1e-10f: a squared length of exactly 1e-10f still normalises.
constexpr float kZeroLengthSquared = 9.9999994e-11f;
}  // namespace

float Length(Vector3 v) { return std::sqrt(Dot(v, v)); }

Vector3 Normalize(Vector3 v) {
    const float s = Dot(v, v);
    if (std::fabs(s - 1.0f) <= kUnitTolerance) return v;
    if (s <= kZeroLengthSquared) return {};
    const float k = 1.0f / std::sqrt(s);
    return v * k;
}

Quaternion Normalize(Quaternion q) {
    const float s = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (std::fabs(s - 1.0f) <= kUnitTolerance) return q;
    if (s <= kZeroLengthSquared) return {0, 0, 0, 0};
    const float k = 1.0f / std::sqrt(s);
    return {q.x * k, q.y * k, q.z * k, q.w * k};
}

Vector3 TransformPoint(Vector3 p, const Matrix& m) {
    Vector3 r{p.x * m(0, 0) + p.y * m(1, 0) + p.z * m(2, 0) + m(3, 0),
              p.x * m(0, 1) + p.y * m(1, 1) + p.z * m(2, 1) + m(3, 1),
              p.x * m(0, 2) + p.y * m(1, 2) + p.z * m(2, 2) + m(3, 2)};
    const float w = p.x * m(0, 3) + p.y * m(1, 3) + p.z * m(2, 3) + m(3, 3);
    if (std::fabs(w - 1.0f) > kUnitTolerance) r = r * (1.0f / w);
    return r;
}

Vector3 TransformVector(Vector3 v, const Matrix& m) {
    return {v.x * m(0, 0) + v.y * m(1, 0) + v.z * m(2, 0),
            v.x * m(0, 1) + v.y * m(1, 1) + v.z * m(2, 1),
            v.x * m(0, 2) + v.y * m(1, 2) + v.z * m(2, 2)};
}

Matrix MatrixIdentity() {
    Matrix r;
    r(0, 0) = r(1, 1) = r(2, 2) = r(3, 3) = 1.0f;
    return r;
}

Matrix MatrixFromValues(const float values[16]) {
    Matrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = values[i];
    return r;
}

Matrix operator+(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] + b.m[i];
    return r;
}

Matrix operator*(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r(i, j) = a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j) + a(i, 3) * b(3, j);
    return r;
}

bool Inverse(const Matrix& mat, Matrix* out, float* determinant) {
    // Cofactor expansion, the rows of 2 x 2 minors shared between cofactors.
    const float* m = mat.m;
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];

    const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (determinant) *determinant = det;
    if (det == 0.0f) return false;
    const float k = 1.0f / det;
    for (int i = 0; i < 16; ++i) out->m[i] = inv[i] * k;
    return true;
}

Matrix MatrixTranslation(float x, float y, float z) {
    Matrix r = MatrixIdentity();
    r(3, 0) = x;
    r(3, 1) = y;
    r(3, 2) = z;
    return r;
}

Matrix MatrixScaling(float x, float y, float z) {
    Matrix r;
    r(0, 0) = x;
    r(1, 1) = y;
    r(2, 2) = z;
    r(3, 3) = 1.0f;
    return r;
}

Matrix MatrixRotationY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix r = MatrixIdentity();
    r(0, 0) = c;
    r(0, 2) = -s;
    r(2, 0) = s;
    r(2, 2) = c;
    return r;
}

Matrix MatrixRotationQuaternion(Quaternion q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    Matrix r;
    r(0, 0) = 1 - 2 * (y * y + z * z);
    r(0, 1) = 2 * (x * y + z * w);
    r(0, 2) = 2 * (x * z - y * w);
    r(1, 0) = 2 * (x * y - z * w);
    r(1, 1) = 1 - 2 * (x * x + z * z);
    r(1, 2) = 2 * (y * z + x * w);
    r(2, 0) = 2 * (x * z + y * w);
    r(2, 1) = 2 * (y * z - x * w);
    r(2, 2) = 1 - 2 * (x * x + y * y);
    r(3, 3) = 1;
    return r;
}

Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll) {
    const float cy = std::cos(yaw), sy = std::sin(yaw);
    const float cp = std::cos(pitch), sp = std::sin(pitch);
    const float cr = std::cos(roll), sr = std::sin(roll);
    Matrix r;
    r(0, 0) = cr * cy + sr * sp * sy;
    r(0, 1) = sr * cp;
    r(0, 2) = sr * sp * cy - cr * sy;
    r(1, 0) = cr * sp * sy - sr * cy;
    r(1, 1) = cr * cp;
    r(1, 2) = cr * sp * cy + sr * sy;
    r(2, 0) = cp * sy;
    r(2, 1) = -sp;
    r(2, 2) = cp * cy;
    r(3, 3) = 1;
    return r;
}

Matrix MatrixLookAt(Vector3 eye, Vector3 at, Vector3 up) {
    const Vector3 f = Normalize(at - eye);
    const Vector3 s = Normalize(Cross(f, up));
    const Vector3 u = Cross(s, f);
    Matrix r;
    const Vector3 axes[3] = {s, u, f};
    for (int c = 0; c < 3; ++c) {
        r(0, c) = axes[c].x;
        r(1, c) = axes[c].y;
        r(2, c) = axes[c].z;
        r(3, c) = -Dot(axes[c], eye);
    }
    r(3, 3) = 1;
    return r;
}

Matrix MatrixPerspective(float fov, float aspect, float nearPlane, float farPlane) {
    const float c = std::cos(fov / 2) / std::sin(fov / 2);
    Matrix r;
    r(0, 0) = c * aspect;
    r(1, 1) = c;
    r(2, 2) = farPlane / (farPlane - nearPlane);
    r(2, 3) = 1;
    r(3, 2) = -nearPlane * farPlane / (farPlane - nearPlane);
    return r;
}

Matrix LocalTransform(const TransformRecord& t) {
    const Matrix mq = MatrixRotationQuaternion(t.scaleAxes);
    Matrix mqInverse;
    if (!Inverse(mq, &mqInverse)) mqInverse = MatrixIdentity();
    const float k = t.uniformScale;
    return mqInverse * MatrixScaling(t.scale.x, t.scale.y, t.scale.z) * mq * MatrixRotationQuaternion(t.rotation) *
           MatrixScaling(k, k, k) * MatrixTranslation(t.translation.x, t.translation.y, t.translation.z);
}

float Bezier(float u, float p0, float p1, float p2, float p3) {
    const float q0 = Lerp(u, p0, p1), q1 = Lerp(u, p1, p2), q2 = Lerp(u, p2, p3);
    const float r0 = Lerp(u, q0, q1), r1 = Lerp(u, q1, q2);
    return Lerp(u, r0, r1);
}

float Hermite(float u, float p0, float p1, float t0, float t1) {
    // (u^3, u^2, u, 1) x H with H's rows (2,-2,1,1), (-3,3,-2,-1), (0,0,1,0), (1,0,0,0).
    const float u2 = u * u, u3 = u2 * u;
    const float h0 = 2 * u3 - 3 * u2 + 1;
    const float h1 = -2 * u3 + 3 * u2;
    const float h2 = u3 - 2 * u2 + u;
    const float h3 = u3 - u2;
    return h0 * p0 + h1 * p1 + h2 * t0 + h3 * t1;
}

Quaternion Slerp(Quaternion q1, Quaternion q2, float t) {
    float d = q1.x * q2.x + q1.y * q2.y + q1.z * q2.z + q1.w * q2.w;
    const float sign = d >= 0 ? 1.0f : -1.0f;
    d = std::fabs(d);
    float k1, k2;
    if (1.0f - d <= kUnitTolerance) {
        k1 = 1.0f - t;
        k2 = sign * t;
    } else {
        const float theta = std::atan2(std::sqrt(1.0f - d * d), d);
        const float s = std::sin(theta);
        k1 = std::sin((1.0f - t) * theta) / s;
        k2 = sign * std::sin(t * theta) / s;
    }
    return {k1 * q1.x + k2 * q2.x, k1 * q1.y + k2 * q2.y, k1 * q1.z + k2 * q2.z, k1 * q1.w + k2 * q2.w};
}

bool SphereOutsideClip(const Matrix& m, Vector3 c, float radius, float margin) {
    // Clip coordinates are p x m: each plane is a combination of m's columns.
    const auto column = [&m](int j) { return Vector4{m(0, j), m(1, j), m(2, j), m(3, j)}; };
    const Vector4 x = column(0), y = column(1), z = column(2), w = column(3);
    const float widen = 1.0f + margin;
    const Vector4 planes[6] = {
        {w.x * widen + x.x, w.y * widen + x.y, w.z * widen + x.z, w.w * widen + x.w},  // left
        {w.x * widen - x.x, w.y * widen - x.y, w.z * widen - x.z, w.w * widen - x.w},  // right
        {w.x * widen + y.x, w.y * widen + y.y, w.z * widen + y.z, w.w * widen + y.w},  // bottom
        {w.x * widen - y.x, w.y * widen - y.y, w.z * widen - y.z, w.w * widen - y.w},  // top
        z,                                                                              // near
        {w.x - z.x, w.y - z.y, w.z - z.z, w.w - z.w},                                   // far
    };
    for (const Vector4& p : planes) {
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        if (!(length > 0.0f) || !std::isfinite(length)) continue;
        const float distance = (p.x * c.x + p.y * c.y + p.z * c.z + p.w) / length;
        // A little slack for rounding: only spheres clearly outside are culled.
        if (distance < -(radius * 1.0001f + 1e-5f)) return true;
    }
    return false;
}

}  // namespace ZK3D

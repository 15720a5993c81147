// The engine's value types and the geometry it does with them.
//
// Conventions (those of the Direct3D structures these types are handed to):
// - points are row vectors transformed as p' = p x M; in A x B, A acts first;
// - matrices are row-major, element (r, c) at index 4r + c, translation in 12, 13, 14;
// - quaternions are stored x, y, z, w (vector part first, scalar last);
// - colours are four floats r, g, b, a, nominally 0..1;
// - angles are radians.
// The thresholds of Normalize, TransformPoint and Slerp are part of the results.
#pragma once

namespace ZK3D {

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
};

struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
};

struct Matrix {
    float m[16] = {};
    float& operator()(int row, int column) { return m[4 * row + column]; }
    float operator()(int row, int column) const { return m[4 * row + column]; }
};

static_assert(sizeof(Vector3) == 12 && sizeof(Quaternion) == 16 && sizeof(Color) == 16);
static_assert(sizeof(Matrix) == 64);

// The transform record of an animated node: translation, scale, the axes along
// which the scale acts, rotation, and a further uniform scale (60 bytes, as stored
// in scene files).
struct TransformRecord {
    Vector3 translation;
    Vector3 scale{1, 1, 1};
    Quaternion scaleAxes;
    Quaternion rotation;
    float uniformScale = 1;
};
static_assert(sizeof(TransformRecord) == 60);

// ---- Vector3 ----
inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator-(Vector3 a) { return {-a.x, -a.y, -a.z}; }
inline Vector3 operator*(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator*(float s, Vector3 a) { return a * s; }
inline Vector3& operator+=(Vector3& a, Vector3 b) { a = a + b; return a; }
inline float Dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 Cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Component-wise product.
inline Vector3 Modulate(Vector3 a, Vector3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
float Length(Vector3 v);

// Unchanged when the squared length is within 0.00001 of 1; all zeros when it is
// at most 9.9999994e-11 (the float below 1e-10f); otherwise scaled to unit length.
Vector3 Normalize(Vector3 v);
Quaternion Normalize(Quaternion q);

// p x M with the perspective divide, skipped when |w - 1| <= 0.00001.
Vector3 TransformPoint(Vector3 p, const Matrix& m);
// v x M with the upper 3 x 3 part only.
Vector3 TransformVector(Vector3 v, const Matrix& m);

// ---- Matrix ----
// True when the sphere (in the space objectToClip starts from) lies wholly outside
// one of the clip volume's planes (-w <= x, y <= w, 0 <= z <= w) widened by
// margin times w on the x and y sides, so that nothing inside can reach a pixel.
// Works for any affine placement and projection: the test is done in the
// sphere's own space. A plane that degenerates to nothing never culls.
bool SphereOutsideClip(const Matrix& objectToClip, Vector3 centre, float radius, float margin);

Matrix MatrixIdentity();
Matrix MatrixFromValues(const float values[16]);
Matrix operator+(const Matrix& a, const Matrix& b);
// A x B: A acts first on row vectors.
Matrix operator*(const Matrix& a, const Matrix& b);
// The inverse of a general 4 x 4 matrix. When the determinant is exactly 0 nothing
// is written and the result is false.
bool Inverse(const Matrix& m, Matrix* out, float* determinant = nullptr);
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
Matrix MatrixRotationY(float angle);
Matrix MatrixRotationQuaternion(Quaternion q);
// Roll about Z first, then pitch about X, then yaw about Y.
Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
// The camera view matrix: forward f = at - eye, side s = f x up, up u = s x f.
Matrix MatrixLookAt(Vector3 eye, Vector3 at, Vector3 up);
// aspect is the target's height divided by its width.
Matrix MatrixPerspective(float fov, float aspect, float nearPlane, float farPlane);
// inverse(MQ) x scaling(S) x MQ x MR x scaling(k, k, k) x translation(T).
Matrix LocalTransform(const TransformRecord& t);

// ---- Interpolation ----
inline float Lerp(float u, float a, float b) { return a + (b - a) * u; }
// De Casteljau evaluation by repeated lerp.
float Bezier(float u, float p0, float p1, float p2, float p3);
// Cubic Hermite from values p0, p1 and tangents t0, t1.
float Hermite(float u, float p0, float p1, float t0, float t1);
// Spherical interpolation along the short arc; the result is not normalised.
Quaternion Slerp(Quaternion q1, Quaternion q2, float t);

}  // namespace ZK3D

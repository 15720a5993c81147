#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/core/math.h"

using namespace ZK3D;

namespace {
constexpr float kPi = std::numbers::pi_v<float>;

void ExpectNear(Vector3 a, Vector3 b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}
void ExpectNear(Quaternion a, Quaternion b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
    EXPECT_NEAR(a.w, b.w, eps);
}
void ExpectNear(const Matrix& a, const Matrix& b, float eps = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}
Quaternion AxisAngle(Vector3 axis, float angle) {
    const float s = std::sin(angle / 2);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)};
}
}  // namespace

TEST(Math, NormaliseThresholds) {
    ExpectNear(Normalize(Vector3{0, 0, 0}), {0, 0, 0});
    // Within 0.00001 of unit length the value comes back bit for bit.
    const Vector3 almost{0, 0, 1.000001f};
    EXPECT_EQ(Normalize(almost).z, almost.z);
    ExpectNear(Normalize(Vector3{3, 0, 4}), {0.6f, 0, 0.8f});
    // A squared length at or below 1e-10 gives zeros instead of dividing.
    ExpectNear(Normalize(Vector3{1e-6f, 0, 0}), {0, 0, 0}, 0);
    // Just above the threshold the vector still normalises: length 1e-4, and a
    // squared length of exactly 1e-10f (the threshold is the float below it).
    ExpectNear(Normalize(Vector3{0, 1e-4f, 0}), {0, 1, 0});
    const Vector3 edge{7.0000001e-06f, 7.14142834e-06f, 0};
    ASSERT_EQ(Dot(edge, edge), 1e-10f);
    EXPECT_NEAR(Length(Normalize(edge)), 1, 1e-6f);
    const Quaternion q = Normalize(Quaternion{edge.x, edge.y, 0, 0});
    EXPECT_NEAR(q.x * q.x + q.y * q.y, 1, 1e-6f);
    ExpectNear(Normalize(Quaternion{0, 0, 0, 2}), {0, 0, 0, 1});
}

TEST(Math, TransformPointDividesOnlyWhenWIsNotOne) {
    Matrix m = MatrixTranslation(1, 2, 3);
    ExpectNear(TransformPoint({1, 1, 1}, m), {2, 3, 4});
    m(0, 3) = 1;  // w = x + 1
    ExpectNear(TransformPoint({1, 0, 0}, m), {1, 1, 1.5f});
    ExpectNear(TransformVector({1, 1, 1}, MatrixTranslation(5, 5, 5)), {1, 1, 1});
}

TEST(Math, ProductOrderIsRowVectorFirstActsFirst) {
    const Matrix scale = MatrixScaling(2, 2, 2), move = MatrixTranslation(1, 0, 0);
    ExpectNear(TransformPoint({1, 0, 0}, scale * move), {3, 0, 0});
    ExpectNear(TransformPoint({1, 0, 0}, move * scale), {4, 0, 0});
}

TEST(Math, InverseOfGeneralMatrixAndOfSingularOne) {
    const Matrix m = MatrixRotationQuaternion(Normalize(Quaternion{0.1f, 0.7f, 0.2f, 0.6f})) *
                     MatrixScaling(2, 3, 0.5f) * MatrixTranslation(4, -2, 9);
    Matrix inv;
    float det = 0;
    ASSERT_TRUE(Inverse(m, &inv, &det));
    EXPECT_NEAR(det, 3.0f, 1e-4f);
    ExpectNear(m * inv, MatrixIdentity(), 1e-5f);

    Matrix singular = MatrixScaling(1, 0, 1);
    Matrix untouched = MatrixTranslation(7, 7, 7);
    EXPECT_FALSE(Inverse(singular, &untouched, &det));
    EXPECT_EQ(det, 0.0f);
    ExpectNear(untouched, MatrixTranslation(7, 7, 7), 0);
}

TEST(Math, RotationsFollowTheRowVectorConvention) {
    // A quarter turn about z takes x to y.
    ExpectNear(TransformVector({1, 0, 0}, MatrixRotationQuaternion(AxisAngle({0, 0, 1}, kPi / 2))), {0, 1, 0});
    // Rotation about Y by a: rows (cos a, 0, -sin a), (0, 1, 0), (sin a, 0, cos a).
    ExpectNear(TransformVector({1, 0, 0}, MatrixRotationY(kPi / 2)), {0, 0, -1});
    // Yaw-pitch-roll applies roll about z, then pitch about x, then yaw about y.
    const Matrix ypr = MatrixRotationYawPitchRoll(0.3f, -0.4f, 1.1f);
    const Matrix expected = MatrixRotationQuaternion(AxisAngle({0, 0, 1}, 1.1f)) *
                            MatrixRotationQuaternion(AxisAngle({1, 0, 0}, -0.4f)) *
                            MatrixRotationQuaternion(AxisAngle({0, 1, 0}, 0.3f));
    ExpectNear(ypr, expected);
}

TEST(Math, LookAtUsesForwardCrossUp) {
    // Looking down +z with y up, the view-space x axis is the world's -x.
    const Matrix view = MatrixLookAt({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    ExpectNear(TransformPoint({1, 0, 0}, view), {-1, 0, 0});
    ExpectNear(TransformPoint({0, 1, 0}, view), {0, 1, 0});
    ExpectNear(TransformPoint({0, 0, 5}, view), {0, 0, 5});
    // The eye moves to the origin of view space.
    const Matrix moved = MatrixLookAt({2, 3, 4}, {2, 3, 10}, {0, 1, 0});
    ExpectNear(TransformPoint({2, 3, 4}, moved), {0, 0, 0});
}

TEST(Math, PerspectiveElements) {
    const Matrix p = MatrixPerspective(kPi / 2, 0.75f, 1, 101);
    EXPECT_NEAR(p(0, 0), 0.75f, 1e-6f);
    EXPECT_NEAR(p(1, 1), 1.0f, 1e-6f);
    EXPECT_NEAR(p(2, 2), 1.01f, 1e-6f);
    EXPECT_NEAR(p(3, 2), -1.01f, 1e-6f);
    EXPECT_EQ(p(2, 3), 1.0f);
    EXPECT_EQ(p(3, 3), 0.0f);
}

TEST(Math, LocalTransformScalesAlongItsAxesThenRotatesThenMoves) {
    TransformRecord t;
    t.translation = {10, 0, 0};
    t.scale = {2, 1, 1};
    t.scaleAxes = AxisAngle({0, 0, 1}, kPi / 2);  // the scale acts along y
    t.rotation = Quaternion{};
    t.uniformScale = 3;
    const Matrix m = LocalTransform(t);
    ExpectNear(TransformPoint({0, 1, 0}, m), {10, 6, 0});
    ExpectNear(TransformPoint({1, 0, 0}, m), {13, 0, 0});
    t.rotation = AxisAngle({0, 0, 1}, kPi / 2);
    ExpectNear(TransformPoint({1, 0, 0}, LocalTransform(t)), {10, 3, 0});
}

TEST(Math, ScalarInterpolations) {
    EXPECT_FLOAT_EQ(Lerp(0.25f, 4, 8), 5);
    EXPECT_FLOAT_EQ(Hermite(0.5f, 0, 1, 0, 0), 0.5f);
    EXPECT_FLOAT_EQ(Hermite(0, 3, 9, 5, 5), 3);
    EXPECT_FLOAT_EQ(Hermite(1, 3, 9, 5, 5), 9);
    // The tangent weights u^3 - 2u^2 + u and u^3 - u^2.
    EXPECT_FLOAT_EQ(Hermite(0.5f, 0, 0, 1, 0), 0.125f);
    EXPECT_FLOAT_EQ(Hermite(0.5f, 0, 0, 0, 1), -0.125f);
    EXPECT_FLOAT_EQ(Bezier(0.5f, 0, 0, 1, 1), 0.5f);
    EXPECT_FLOAT_EQ(Bezier(0.5f, 0, 1, 1, 0), 0.75f);
}

TEST(Math, SlerpEdgeCases) {
    const Quaternion q = Normalize(Quaternion{0.2f, 0.4f, 0.1f, 0.8f});
    for (float t : {0.0f, 0.3f, 1.0f}) ExpectNear(Slerp(q, q, t), q);
    // q and -q are the same rotation: the short way never leaves it.
    const Quaternion negated{-q.x, -q.y, -q.z, -q.w};
    for (float t : {0.0f, 0.5f, 1.0f}) ExpectNear(Slerp(q, negated, t), q);
    // A negative dot product away from -1 still takes the short way: halfway from
    // the identity to -(90 degrees about z) is 45 degrees about z, not 135.
    const Quaternion quarter = AxisAngle({0, 0, 1}, kPi / 2);
    ExpectNear(Slerp(Quaternion{}, {-quarter.x, -quarter.y, -quarter.z, -quarter.w}, 0.5f),
               AxisAngle({0, 0, 1}, kPi / 4));
    // Halfway between 0 and 90 degrees about z is 45 degrees, of unit length.
    const Quaternion half = Slerp(Quaternion{}, AxisAngle({0, 0, 1}, kPi / 2), 0.5f);
    ExpectNear(half, AxisAngle({0, 0, 1}, kPi / 4));
    EXPECT_NEAR(half.x * half.x + half.y * half.y + half.z * half.z + half.w * half.w, 1, 1e-6f);
}

TEST(Math, SphereOutsideClipCullsOnlyWhatNoPixelCanShow) {
    // A 90-degree view looking down +z from the origin, near 1, far 101.
    const Matrix projection = MatrixPerspective(kPi / 2, 1, 1, 101);
    struct Case {
        Vector3 centre;
        float radius;
        bool outside;
    } cases[] = {
        {{0, 0, 50}, 1, false},      // straight ahead
        {{0, 0, -5}, 1, true},       // behind the eye
        {{0, 0, 0.5f}, 0.6f, false}, // reaches past the near plane
        {{0, 0, 0.5f}, 0.4f, true},  // wholly before it
        {{0, 0, 103}, 1, true},      // beyond the far plane
        {{0, 0, 101.5f}, 1, false},  // straddles it
        {{60, 0, 50}, 5, true},      // well right of the view (edge at x = 50)
        {{53, 0, 50}, 5, false},     // overlapping its right edge
        {{0, -60, 50}, 5, true},     // below
    };
    for (const Case& c : cases)
        EXPECT_EQ(SphereOutsideClip(projection, c.centre, c.radius, 0), c.outside)
            << c.centre.x << ", " << c.centre.y << ", " << c.centre.z << " r " << c.radius;
    // The test is done in the sphere's own space: a mesh scaled by 10 and moved
    // right keeps a sphere of radius 1 that now reaches the view.
    const Matrix placed = MatrixScaling(10, 10, 10) * MatrixTranslation(60, 0, 50);
    EXPECT_FALSE(SphereOutsideClip(placed * projection, {-1.0f, 0, 0}, 0.1f, 0));  // touches the edge
    EXPECT_TRUE(SphereOutsideClip(placed * projection, {0.5f, 0, 0}, 0.1f, 0));
    // The margin widens the sides only; a degenerate matrix never culls.
    EXPECT_FALSE(SphereOutsideClip(projection, {51, 0, 50}, 0.5f, 0.05f));
    EXPECT_TRUE(SphereOutsideClip(projection, {51, 0, 50}, 0.5f, 0));
    EXPECT_FALSE(SphereOutsideClip(Matrix{}, {1000, 0, 0}, 1, 0));
}

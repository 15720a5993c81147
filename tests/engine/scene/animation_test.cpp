// Key tracks (values before, between, at and after keys; the cache; tangents;
// rotations) and the animation node's local matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "engine/scene/animation_node.h"
#include "tests/support/log_capture.h"

using namespace ZK3D;

namespace {

constexpr float kPi = 3.14159265358979f;

// A track whose keys are given as rows of floats in the in-memory layout.
std::unique_ptr<KeyTrack> Track(int32_t valueType, int32_t interpolation,
                                std::initializer_list<std::vector<float>> keys) {
    auto track = KeyTrack::Create(static_cast<int32_t>(keys.size()), valueType, interpolation);
    int i = 0;
    for (const auto& key : keys) {
        EXPECT_LE(static_cast<int>(key.size()), track->KeyFloats());
        std::copy(key.begin(), key.end(), track->Key(i++));
    }
    return track;
}

Quaternion AxisAngleZ(float angle) { return {0, 0, std::sin(angle / 2), std::cos(angle / 2)}; }

}  // namespace

TEST(KeyTrack, LinearVectorHoldsTheEndKeysAndInterpolatesBetween) {
    auto t = Track(KeyTrack::kPosition, KeyTrack::kLinear, {{10, 0, 0, 0}, {20, 10, 20, -10}, {30, 10, 20, 30}});
    EXPECT_EQ(t->evaluate(5), t->Key(0));    // before the first key: the first key itself
    EXPECT_EQ(t->evaluate(10), t->Key(0));   // at a key's time: that key
    EXPECT_FLOAT_EQ(t->evaluate(20)[3], -10);  // at a later key's time: its value
    EXPECT_EQ(t->evaluate(40), t->Key(2));   // after the last key: the last key
    const float* v = t->evaluate(15);
    EXPECT_FLOAT_EQ(v[0], 15);
    EXPECT_FLOAT_EQ(v[1], 5);
    EXPECT_FLOAT_EQ(v[2], 10);
    EXPECT_FLOAT_EQ(v[3], -5);
    v = t->evaluate(27.5f);
    EXPECT_FLOAT_EQ(v[3], 20);
}

TEST(KeyTrack, OneKeyHoldsForEveryTime) {
    auto t = Track(KeyTrack::kRoll, KeyTrack::kHermite, {{7, 0.5f, 1, 1}});
    for (float time : {-100.0f, 7.0f, 8.0f, 1e6f}) EXPECT_FLOAT_EQ(t->evaluate(time)[1], 0.5f);
}

TEST(KeyTrack, SameTimeReusesTheLastResult) {
    auto t = Track(KeyTrack::kFov, KeyTrack::kLinear, {{0, 0}, {10, 10}});
    EXPECT_FLOAT_EQ(t->evaluate(4)[1], 4);
    t->Key(1)[1] = 100;  // a change of the keys is not seen at the same time again
    EXPECT_FLOAT_EQ(t->evaluate(4)[1], 4);
    EXPECT_FLOAT_EQ(t->evaluate(5)[1], 50);
    // A time that is not a number leaves the last result as it is.
    EXPECT_FLOAT_EQ(t->evaluate(std::nanf(""))[1], 50);
    EXPECT_FLOAT_EQ(t->current()[0], 5);
}

TEST(KeyTrack, HermiteAndBezierUseTheirTangents) {
    // float keys: time, value, inTangent, outTangent
    auto h = Track(KeyTrack::kRoll, KeyTrack::kHermite, {{0, 0, 0, 2}, {10, 1, 3, 0}});
    EXPECT_FLOAT_EQ(h->evaluate(5)[1], Hermite(0.5f, 0, 1, 2, 3));
    EXPECT_FLOAT_EQ(h->evaluate(2.5f)[1], Hermite(0.25f, 0, 1, 2, 3));

    // Bezier control points are value + outTangent and next value + inTangent.
    auto b = Track(KeyTrack::kScale, KeyTrack::kBezier,
                   {{0, 0, 1, 2, /*in*/ 0, 0, 0, /*out*/ 1, 0, 0}, {4, 4, 1, 2, /*in*/ -1, 0, 0, /*out*/ 0, 0, 0}});
    const float* v = b->evaluate(1);
    EXPECT_FLOAT_EQ(v[1], Bezier(0.25f, 0, 1, 3, 4));
    EXPECT_FLOAT_EQ(v[2], 1);
    EXPECT_FLOAT_EQ(v[3], 2);
}

TEST(KeyTrack, ComputedTangentsAreHalfTheNeighbourDifference) {
    auto t = Track(KeyTrack::kPosition, KeyTrack::kHermiteComputed,
                   {{0, 0, 1, 0}, {10, 2, 1, 5}, {20, 8, 1, 0}});
    t->ComputeTangents();
    const int n = 3;
    const float expected[3] = {0, 4, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(t->Key(i)[1 + n], expected[i]) << i;      // in
        EXPECT_FLOAT_EQ(t->Key(i)[1 + 2 * n], expected[i]) << i;  // out
    }
    EXPECT_FLOAT_EQ(t->Key(1)[1 + n + 2], 0);  // third component: (0 - 0) / 2
    EXPECT_FLOAT_EQ(t->evaluate(5)[1], Hermite(0.5f, 0, 2, 0, 4));
}

TEST(KeyTrack, RotationsSlerpExceptForStoredHermiteTangents) {
    const Quaternion a = AxisAngleZ(0), b = AxisAngleZ(kPi / 2);
    const Quaternion half = AxisAngleZ(kPi / 4);
    // Bezier (3) with control offsets that a cubic would follow: slerp all the same.
    for (int32_t interpolation : {KeyTrack::kLinear, KeyTrack::kBezier, KeyTrack::kHermiteComputed}) {
        std::vector<float> k0 = {0, a.x, a.y, a.z, a.w}, k1 = {10, b.x, b.y, b.z, b.w};
        if (interpolation != KeyTrack::kLinear) {
            k0.insert(k0.end(), {5, 5, 5, 5, 5, 5, 5, 5});
            k1.insert(k1.end(), {5, 5, 5, 5, 5, 5, 5, 5});
        }
        auto t = Track(KeyTrack::kRotation, interpolation, {k0, k1});
        const float* q = t->evaluate(5);
        EXPECT_NEAR(q[3], half.z, 1e-5) << interpolation;
        EXPECT_NEAR(q[4], half.w, 1e-5) << interpolation;
    }
    // Component-wise Hermite leaves the unit sphere; the result is normalised.
    auto h = Track(KeyTrack::kRotation, KeyTrack::kHermite,
                   {{0, a.x, a.y, a.z, a.w, 0, 0, 0, 0, 0, 0, 0.3f, 0}, {10, b.x, b.y, b.z, b.w, 0, 0, 0.3f, 0, 0, 0, 0, 0}});
    for (float time : {1.0f, 5.0f, 9.0f}) {
        const float* q = h->evaluate(time);
        EXPECT_NEAR(q[1] * q[1] + q[2] * q[2] + q[3] * q[3] + q[4] * q[4], 1.0f, 1e-5) << time;
    }
}

TEST(KeyTrack, CombinationsWithoutALayoutMakeNoTrack) {
    EXPECT_EQ(KeyTrack::Create(0, 1, 1), nullptr);
    EXPECT_EQ(KeyTrack::Create(-3, 1, 1), nullptr);
    EXPECT_EQ(KeyTrack::Create(2, 0, 1), nullptr);
    EXPECT_EQ(KeyTrack::Create(2, 6, 1), nullptr);
    EXPECT_EQ(KeyTrack::Create(2, 1, 0), nullptr);
    EXPECT_EQ(KeyTrack::Create(2, 1, 5), nullptr);
    const int sizes[5][4] = {{16, 40, 40, 16}, {20, 52, 52, 20}, {16, 40, 40, 16}, {8, 16, 16, 8}, {8, 16, 16, 8}};
    for (int type = 1; type <= 5; ++type)
        for (int interp = 1; interp <= 4; ++interp)
            EXPECT_EQ(KeyTrack::KeySizeInFile(type, interp), sizes[type - 1][interp - 1]) << type << "/" << interp;
    EXPECT_EQ(KeyTrack::KeySizeInFile(7, 1), 0);
    EXPECT_EQ(KeyTrack::KeySizeInFile(2, 9), 0);
    // In memory every interpolation but the linear one has both tangents.
    EXPECT_EQ(KeyTrack::Create(1, 2, 4)->KeyFloats(), 13);
    EXPECT_EQ(KeyTrack::Create(1, 4, 1)->KeyFloats(), 2);
}

TEST(AnimationNodeTest, AnimateCopiesTrackValuesAndRebuildsTheLocalMatrix) {
    testing_support::LogCapture log;
    AnimationNode a;
    EXPECT_TRUE(log.has("[AN] Create animation node"));
    EXPECT_EQ(a.name(), nullptr);
    a.roll = 0.25f;  // read from the file; no roll track
    a.transform.scale = {2, 2, 2};
    a.positionTrack = Track(KeyTrack::kPosition, KeyTrack::kLinear, {{0, 0, 0, 0}, {10, 10, 0, 0}});
    const Quaternion q = AxisAngleZ(kPi / 2);
    a.rotationTrack = Track(KeyTrack::kRotation, KeyTrack::kLinear, {{0, q.x, q.y, q.z, q.w}});
    a.fovTrack = Track(KeyTrack::kFov, KeyTrack::kLinear, {{0, 1}, {10, 2}});
    // A float track in the scale slot does not fit three components: it is left out.
    a.scaleTrack = Track(KeyTrack::kRoll, KeyTrack::kLinear, {{0, 9}});
    a.animate(5);
    EXPECT_FLOAT_EQ(a.transform.translation.x, 5);
    EXPECT_FLOAT_EQ(a.transform.rotation.z, q.z);
    EXPECT_FLOAT_EQ(a.fov, 1.5f);
    EXPECT_FLOAT_EQ(a.roll, 0.25f);
    EXPECT_FLOAT_EQ(a.transform.scale.y, 2);
    const Matrix expected = LocalTransform(a.transform);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(a.local.m[i], expected.m[i]) << i;
    // The point (1, 0, 0) is scaled by 2, turned a quarter about z, then moved by 5 in x.
    const Vector3 p = TransformPoint({1, 0, 0}, a.local);
    EXPECT_NEAR(p.x, 5, 1e-5);
    EXPECT_NEAR(p.y, 2, 1e-5);
}

TEST(AnimationNodeTest, ScaleActsAlongTheScaleAxes) {
    AnimationNode a;
    a.transform.scale = {3, 1, 1};
    a.transform.scaleAxes = AxisAngleZ(kPi / 2);  // the x scale acts along world y
    a.compile();
    const Vector3 p = TransformPoint({0, 1, 0}, a.local);
    EXPECT_NEAR(p.y, 3, 1e-5);
    EXPECT_NEAR(TransformPoint({1, 0, 0}, a.local).x, 1, 1e-5);
}

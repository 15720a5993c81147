// Primitive meshes: faces wound outwards along the normals, indices in range,
// shapes of the asked size; mesh operations keep the winding right.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tools/zks/zks_math.h"
#include "tools/zks/zks_mesh_builder.h"

using namespace zks;

namespace {

// Every face indexes existing vertices, has area, and its geometric normal
// (b − a) × (c − a) agrees with each of its vertex normals; normals are unit.
void ExpectWellFormed(const Mesh& m, const std::string& what) {
    ASSERT_FALSE(m.faces.empty()) << what;
    ASSERT_LE(m.vertices.size(), 65536u) << what;
    for (const Vertex& v : m.vertices) EXPECT_NEAR(Length(v.normal), 1.0f, 1e-4f) << what;
    int bad = 0;
    for (const Face& f : m.faces) {
        ASSERT_LT(f.a, m.vertices.size()) << what;
        ASSERT_LT(f.b, m.vertices.size()) << what;
        ASSERT_LT(f.c, m.vertices.size()) << what;
        const Vertex &a = m.vertices[f.a], &b = m.vertices[f.b], &c = m.vertices[f.c];
        const Vec3 n = Cross(b.position - a.position, c.position - a.position);
        if (Length(n) < 1e-9f) {
            ++bad;
            continue;
        }
        for (const Vertex* v : {&a, &b, &c})
            if (Dot(n, v->normal) <= 0) ++bad;
    }
    EXPECT_EQ(bad, 0) << what << ": faces wound against their normals or without area";
}

void Bounds(const Mesh& m, Vec3& lo, Vec3& hi) {
    lo = hi = m.vertices[0].position;
    for (const Vertex& v : m.vertices) {
        lo = {std::fmin(lo.x, v.position.x), std::fmin(lo.y, v.position.y), std::fmin(lo.z, v.position.z)};
        hi = {std::fmax(hi.x, v.position.x), std::fmax(hi.y, v.position.y), std::fmax(hi.z, v.position.z)};
    }
}

}  // namespace

TEST(ZksMeshBuilder, PrimitivesFaceOutwards) {
    ExpectWellFormed(BoxMesh({2, 4, 6}), "box");
    ExpectWellFormed(SphereMesh(3, 16, 8), "sphere");
    ExpectWellFormed(GridMesh(10, 20, 5, 8), "grid");
    ExpectWellFormed(GridMesh(10, 10, 16, 16, [](float x, float z) { return std::sin(x) * std::cos(z); }),
                     "terrain");
    ExpectWellFormed(CylinderMesh(1, 3, 12, true), "cylinder");
    ExpectWellFormed(ConeMesh(1, 2, 12, true), "cone");
    ExpectWellFormed(TorusMesh(3, 1, 20, 10), "torus");
}

TEST(ZksMeshBuilder, PrimitivesHaveTheAskedSize) {
    Vec3 lo, hi;
    Bounds(BoxMesh({2, 4, 6}), lo, hi);
    EXPECT_EQ(lo, (Vec3{-1, -2, -3}));
    EXPECT_EQ(hi, (Vec3{1, 2, 3}));
    EXPECT_EQ(BoxMesh({1, 1, 1}).faces.size(), 12u);

    for (const Vertex& v : SphereMesh(3, 16, 8).vertices) EXPECT_NEAR(Length(v.position), 3.0f, 1e-5f);
    Bounds(CylinderMesh(2, 5, 16), lo, hi);
    EXPECT_NEAR(hi.y - lo.y, 5, 1e-6);
    EXPECT_NEAR(hi.x, 2, 1e-6);
    Bounds(TorusMesh(3, 1), lo, hi);
    EXPECT_NEAR(hi.x, 4, 1e-5);
    EXPECT_NEAR(hi.y, 1, 1e-5);
    // A grid spans its size with (cells + 1)² vertices and UVs repeated as asked.
    const Mesh grid = GridMesh(8, 4, 4, 2, {}, 3);
    EXPECT_EQ(grid.vertices.size(), 15u);
    EXPECT_EQ(grid.faces.size(), 16u);
    Bounds(grid, lo, hi);
    EXPECT_EQ(lo, (Vec3{-4, 0, -2}));
    EXPECT_EQ(hi, (Vec3{4, 0, 2}));
    EXPECT_FLOAT_EQ(grid.vertices.back().u, 3);
    EXPECT_FLOAT_EQ(grid.vertices.back().v, 3);
}

TEST(ZksMeshBuilder, TerrainNormalsFollowTheSlope) {
    // A ramp rising along x by 1 per unit: normal (−1, 1, 0) / √2.
    const Mesh ramp = GridMesh(4, 4, 4, 4, [](float x, float) { return x; });
    for (const Vertex& v : ramp.vertices) {
        EXPECT_FLOAT_EQ(v.position.y, v.position.x);
        EXPECT_NEAR(v.normal.x, -0.70710677f, 1e-5f);
        EXPECT_NEAR(v.normal.y, 0.70710677f, 1e-5f);
    }
    // A grid of no extent has no slope to follow: the normals stay up.
    for (const Vertex& v : GridMesh(0, 0, 2, 2, [](float x, float) { return x; }).vertices)
        EXPECT_EQ(v.normal, (Vec3{0, 1, 0}));
}

TEST(ZksMeshBuilder, SegmentCountsShrinkToSixteenBitIndices) {
    const Mesh big = SphereMesh(1, 1000, 1000);
    ExpectWellFormed(big, "big sphere");
    EXPECT_GT(big.vertices.size(), 60000u);
    ExpectWellFormed(GridMesh(1, 1, 300, 300), "big grid");
    ExpectWellFormed(CylinderMesh(1, 1, 70000), "cylinder with caps");
    ExpectWellFormed(ConeMesh(1, 1, std::numeric_limits<int>::max()), "cone with cap");
    ExpectWellFormed(TorusMesh(2, 1, 1 << 30, 1 << 30), "huge torus");
    // Counts below the minimum are raised to it.
    EXPECT_EQ(SphereMesh(1, -5, 0).vertices.size(), size_t(4 * 3));
}

TEST(ZksMeshBuilder, OperationsKeepFacesOutwards) {
    Mesh box = BoxMesh({1, 1, 1});
    TransformMesh(box, {2, -1, 1}, AxisAngle({0, 1, 0}, 0.7f), {5, 0, 0});
    ExpectWellFormed(box, "mirrored box");
    Vec3 lo, hi;
    Bounds(box, lo, hi);
    EXPECT_NEAR((lo.x + hi.x) / 2, 5, 1e-5);

    Mesh dome = SphereMesh(10);
    FlipFaces(dome);
    ExpectWellFormed(dome, "flipped sphere");
    // Inward: every normal points to the centre.
    for (const Vertex& v : dome.vertices) EXPECT_LT(Dot(v.normal, v.position), 0);

    Mesh merged = BoxMesh({1, 1, 1});
    const size_t before = merged.vertices.size();
    ASSERT_TRUE(AppendMesh(merged, ConeMesh(1, 1, 8)));
    ExpectWellFormed(merged, "merged");
    EXPECT_GE(merged.faces.back().a, before);
    Mesh huge = SphereMesh(1, 300, 200);
    Mesh copy = huge;
    EXPECT_FALSE(AppendMesh(huge, copy));
    EXPECT_EQ(huge.vertices.size(), copy.vertices.size());
}

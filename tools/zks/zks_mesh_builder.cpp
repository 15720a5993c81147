// Primitive meshes. Curved surfaces are parametric grids: vertex (i, j) with i
// running around (u) and j running down (v); quad (i, j), (i+1, j), (i+1, j+1),
// (i, j+1) splits into two triangles whose winding faces outwards because the
// parametrisations are chosen with d/di × d/dj pointing out.
#include "tools/zks/zks_mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/zks/zks_math.h"

namespace zks {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr int kMaxVertices = 65536;

uint16_t Index(size_t i) { return uint16_t(i); }

void AddFace(Mesh& m, size_t a, size_t b, size_t c) {
    m.faces.push_back({Index(a), Index(b), Index(c)});
}

// Triangles of a grid of (columns + 1) × (rows + 1) vertices starting at base.
// skipTop / skipBottom drop the triangle that would be degenerate at a pole.
void GridFaces(Mesh& m, size_t base, int columns, int rows, bool skipTop = false,
               bool skipBottom = false) {
    const size_t stride = size_t(columns) + 1;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const size_t a = base + size_t(j) * stride + size_t(i);
            const size_t b = a + 1, c = a + stride + 1, d = a + stride;
            if (!(skipTop && j == 0)) AddFace(m, a, b, c);
            if (!(skipBottom && j == rows - 1)) AddFace(m, a, c, d);
        }
}

// Shrinks a (columns + 1) × (rows + 1) grid, plus perColumn × (columns + 2)
// vertices of caps, until it fits 16-bit indices; the larger count goes first
// and neither falls below its minimum.
void FitGrid(int& columns, int& rows, int minColumns, int minRows, int perColumn = 0) {
    columns = std::clamp(columns, minColumns, kMaxVertices);
    rows = std::clamp(rows, minRows, kMaxVertices);
    auto vertices = [&] {
        return int64_t(columns + 1) * int64_t(rows + 1) + int64_t(perColumn) * int64_t(columns + 2);
    };
    while (vertices() > kMaxVertices && (columns > minColumns || rows > minRows)) {
        if ((columns >= rows && columns > minColumns) || rows == minRows) --columns;
        else --rows;
    }
}

}  // namespace

Mesh BoxMesh(Vec3 size) {
    Mesh m;
    const Vec3 h = size * 0.5f;
    // Each side: outward normal n and in-plane axes u (texture right) and v
    // (texture up) with u × v = n.
    struct Side {
        Vec3 n, u, v;
    };
    const Side sides[] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    auto extent = [&](Vec3 d) { return std::fabs(d.x * h.x) + std::fabs(d.y * h.y) + std::fabs(d.z * h.z); };
    for (const Side& s : sides) {
        const Vec3 c = s.n * extent(s.n);
        const Vec3 u = s.u * extent(s.u), v = s.v * extent(s.v);
        const size_t base = m.vertices.size();
        m.vertices.push_back({c - u - v, s.n, 0, 1});
        m.vertices.push_back({c + u - v, s.n, 1, 1});
        m.vertices.push_back({c + u + v, s.n, 1, 0});
        m.vertices.push_back({c - u + v, s.n, 0, 0});
        AddFace(m, base, base + 1, base + 2);
        AddFace(m, base, base + 2, base + 3);
    }
    return m;
}

Mesh SphereMesh(float radius, int slices, int stacks) {
    FitGrid(slices, stacks, 3, 2);
    Mesh m;
    for (int j = 0; j <= stacks; ++j) {
        const float theta = kPi * float(j) / float(stacks);
        for (int i = 0; i <= slices; ++i) {
            // The seam repeats i = 0 at i = slices for the texture wrap.
            const float phi = 2 * kPi * float(i % slices) / float(slices);
            const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const Vec3 pole{0, j == 0 ? 1.0f : -1.0f, 0};
            const Vec3 normal = (j == 0 || j == stacks) ? pole : n;
            m.vertices.push_back({normal * radius, normal, float(i) / float(slices),
                                  float(j) / float(stacks)});
        }
    }
    GridFaces(m, 0, slices, stacks, true, true);
    return m;
}

Mesh GridMesh(float sizeX, float sizeZ, int cellsX, int cellsZ, const HeightFunction& height,
              float uvRepeat) {
    FitGrid(cellsX, cellsZ, 1, 1);
    Mesh m;
    const float dx = sizeX / float(cellsX), dz = sizeZ / float(cellsZ);
    auto h = [&](float x, float z) { return height ? height(x, z) : 0.0f; };
    // Rows run from +z to −z so that d/di × d/dj is +y.
    for (int j = 0; j <= cellsZ; ++j) {
        const float z = sizeZ * 0.5f - dz * float(j);
        for (int i = 0; i <= cellsX; ++i) {
            const float x = -sizeX * 0.5f + dx * float(i);
            Vec3 normal{0, 1, 0};
            if (height && dx > 0 && dz > 0) {
                const float slopeX = (h(x + dx, z) - h(x - dx, z)) / (2 * dx);
                const float slopeZ = (h(x, z + dz) - h(x, z - dz)) / (2 * dz);
                normal = Normalize(Vec3{-slopeX, 1, -slopeZ});
            }
            m.vertices.push_back({{x, h(x, z), z}, normal, uvRepeat * float(i) / float(cellsX),
                                  uvRepeat * float(j) / float(cellsZ)});
        }
    }
    GridFaces(m, 0, cellsX, cellsZ);
    return m;
}

Mesh CylinderMesh(float radius, float height, int slices, bool caps) {
    int rows = 1;
    FitGrid(slices, rows, 3, 1, caps ? 2 : 0);
    Mesh m;
    const float top = height * 0.5f;
    for (int j = 0; j <= 1; ++j)
        for (int i = 0; i <= slices; ++i) {
            const float phi = 2 * kPi * float(i % slices) / float(slices);
            const Vec3 n{std::cos(phi), 0, std::sin(phi)};
            m.vertices.push_back({{n.x * radius, j == 0 ? top : -top, n.z * radius}, n,
                                  float(i) / float(slices), float(j)});
        }
    GridFaces(m, 0, slices, 1);
    if (!caps) return m;
    for (int side = 0; side < 2; ++side) {
        const float y = side == 0 ? top : -top;
        const Vec3 n{0, side == 0 ? 1.0f : -1.0f, 0};
        const size_t centre = m.vertices.size();
        m.vertices.push_back({{0, y, 0}, n, 0.5f, 0.5f});
        for (int i = 0; i <= slices; ++i) {
            const float phi = 2 * kPi * float(i % slices) / float(slices);
            const float c = std::cos(phi), s = std::sin(phi);
            m.vertices.push_back({{c * radius, y, s * radius}, n, 0.5f + 0.5f * c, 0.5f + 0.5f * s});
        }
        for (int i = 0; i < slices; ++i) {
            const size_t k = centre + 1 + size_t(i);
            if (side == 0) AddFace(m, centre, k + 1, k);
            else AddFace(m, centre, k, k + 1);
        }
    }
    return m;
}

Mesh ConeMesh(float radius, float height, int slices, bool cap) {
    int rows = 1;
    FitGrid(slices, rows, 3, 1, cap ? 1 : 0);
    Mesh m;
    const float top = height * 0.5f;
    // The side normal leans up by the cone's slope.
    const float slant = std::sqrt(radius * radius + height * height);
    const float ny = slant > 0 ? radius / slant : 0, nr = slant > 0 ? height / slant : 1;
    // Row 0: the tip, one vertex per slice with the normal of the slice's middle.
    for (int i = 0; i <= slices; ++i) {
        const float phi = 2 * kPi * (float(i % slices) + 0.5f) / float(slices);
        m.vertices.push_back({{0, top, 0}, {nr * std::cos(phi), ny, nr * std::sin(phi)},
                              (float(i) + 0.5f) / float(slices), 0});
    }
    for (int i = 0; i <= slices; ++i) {
        const float phi = 2 * kPi * float(i % slices) / float(slices);
        m.vertices.push_back({{radius * std::cos(phi), -top, radius * std::sin(phi)},
                              {nr * std::cos(phi), ny, nr * std::sin(phi)}, float(i) / float(slices), 1});
    }
    GridFaces(m, 0, slices, 1, true, false);
    if (!cap) return m;
    const size_t centre = m.vertices.size();
    m.vertices.push_back({{0, -top, 0}, {0, -1, 0}, 0.5f, 0.5f});
    for (int i = 0; i <= slices; ++i) {
        const float phi = 2 * kPi * float(i % slices) / float(slices);
        const float c = std::cos(phi), s = std::sin(phi);
        m.vertices.push_back({{c * radius, -top, s * radius}, {0, -1, 0}, 0.5f + 0.5f * c, 0.5f + 0.5f * s});
    }
    for (int i = 0; i < slices; ++i) {
        const size_t k = centre + 1 + size_t(i);
        AddFace(m, centre, k, k + 1);
    }
    return m;
}

Mesh TorusMesh(float majorRadius, float minorRadius, int majorSegments, int minorSegments) {
    FitGrid(majorSegments, minorSegments, 3, 3);
    Mesh m;
    for (int j = 0; j <= minorSegments; ++j) {
        // The tube angle runs so that d/di × d/dj points away from the tube's centre.
        const float theta = 2 * kPi * float(j % minorSegments) / float(minorSegments);
        for (int i = 0; i <= majorSegments; ++i) {
            const float phi = 2 * kPi * float(i % majorSegments) / float(majorSegments);
            const Vec3 n{std::cos(theta) * std::cos(phi), -std::sin(theta), std::cos(theta) * std::sin(phi)};
            const float ring = majorRadius + minorRadius * std::cos(theta);
            m.vertices.push_back({{ring * std::cos(phi), -minorRadius * std::sin(theta), ring * std::sin(phi)},
                                  n, float(i) / float(majorSegments), float(j) / float(minorSegments)});
        }
    }
    GridFaces(m, 0, majorSegments, minorSegments);
    return m;
}

void TransformMesh(Mesh& mesh, Vec3 scale, Quat rotation, Vec3 translation) {
    // Normals transform by the inverse scale; a zero scale leaves the normal's
    // direction along that axis undetermined, so it keeps the component.
    auto inv = [](float s) { return s != 0 ? 1.0f / s : 1.0f; };
    const Vec3 normalScale{inv(scale.x), inv(scale.y), inv(scale.z)};
    for (Vertex& v : mesh.vertices) {
        v.position = Rotate(rotation, Mul(v.position, scale)) + translation;
        v.normal = Normalize(Rotate(rotation, Mul(v.normal, normalScale)));
    }
    const int mirrored = (scale.x < 0) + (scale.y < 0) + (scale.z < 0);
    if (mirrored % 2 == 1)
        for (Face& f : mesh.faces) std::swap(f.b, f.c);
}

bool AppendMesh(Mesh& dst, const Mesh& src) {
    const size_t base = dst.vertices.size();
    if (base + src.vertices.size() > size_t(kMaxVertices)) return false;
    dst.vertices.insert(dst.vertices.end(), src.vertices.begin(), src.vertices.end());
    for (const Face& f : src.faces)
        dst.faces.push_back({Index(base + f.a), Index(base + f.b), Index(base + f.c)});
    return true;
}

void FlipFaces(Mesh& mesh) {
    for (Face& f : mesh.faces) std::swap(f.b, f.c);
    for (Vertex& v : mesh.vertices) v.normal = -v.normal;
}

void ScaleUV(Mesh& mesh, float su, float sv) {
    for (Vertex& v : mesh.vertices) {
        v.u *= su;
        v.v *= sv;
    }
}

}  // namespace zks

// Marching tetrahedra over a regular grid.
#include "tools/bake/metaballs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace bake {
namespace {

float Field(const std::vector<Metaball>& balls, Vec3 p) {
    float f = 0;
    for (const Metaball& b : balls) {
        const Vec3 d = p - b.centre;
        f += b.radius * b.radius / std::max(1e-6f, zks::Dot(d, d));
    }
    return f;
}

// Outward normal: the field falls away from the balls.
Vec3 Normal(const std::vector<Metaball>& balls, Vec3 p) {
    Vec3 g{};
    for (const Metaball& b : balls) {
        const Vec3 d = p - b.centre;
        const float d2 = std::max(1e-6f, zks::Dot(d, d));
        g = g + d * (-2 * b.radius * b.radius / (d2 * d2));
    }
    return zks::Normalize(-g);
}

}  // namespace

zks::Mesh MetaballMesh(const std::vector<Metaball>& balls, int cells) {
    Vec3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f}, mean{};
    for (const Metaball& b : balls) {
        const float reach = b.radius * 1.9f;
        lo = {std::min(lo.x, b.centre.x - reach), std::min(lo.y, b.centre.y - reach), std::min(lo.z, b.centre.z - reach)};
        hi = {std::max(hi.x, b.centre.x + reach), std::max(hi.y, b.centre.y + reach), std::max(hi.z, b.centre.z + reach)};
        mean = mean + b.centre * (1.0f / float(balls.size()));
    }
    const float step = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) / float(cells);
    const int nx = int(std::ceil((hi.x - lo.x) / step)), ny = int(std::ceil((hi.y - lo.y) / step)),
              nz = int(std::ceil((hi.z - lo.z) / step));
    auto index = [&](int x, int y, int z) { return (size_t(z) * size_t(ny + 1) + size_t(y)) * size_t(nx + 1) + size_t(x); };
    std::vector<float> values((size_t(nx) + 1) * (size_t(ny) + 1) * (size_t(nz) + 1));
    auto corner = [&](int x, int y, int z) { return lo + Vec3{float(x), float(y), float(z)} * step; };
    for (int z = 0; z <= nz; ++z)
        for (int y = 0; y <= ny; ++y)
            for (int x = 0; x <= nx; ++x) values[index(x, y, z)] = Field(balls, corner(x, y, z)) - 1;

    zks::Mesh m;
    std::map<std::pair<size_t, size_t>, uint16_t> welded;
    auto vertexOn = [&](size_t a, size_t b) -> uint16_t {
        if (a > b) std::swap(a, b);
        const auto key = std::make_pair(a, b);
        if (auto it = welded.find(key); it != welded.end()) return it->second;
        auto position = [&](size_t i) {
            const int x = int(i % size_t(nx + 1)), y = int((i / size_t(nx + 1)) % size_t(ny + 1)),
                      z = int(i / (size_t(nx + 1) * size_t(ny + 1)));
            return corner(x, y, z);
        };
        const float va = values[a], vb = values[b];
        const float t = va / (va - vb);
        const Vec3 p = position(a) + (position(b) - position(a)) * t;
        const Vec3 n = Normal(balls, p);
        const Vec3 r = zks::Normalize(p - mean);
        if (m.vertices.size() >= 65535) throw std::runtime_error("metaball mesh outgrows 16-bit indices");
        m.vertices.push_back({p, n, 0.5f + std::atan2(r.y, r.x) / (2 * kPi), 0.5f - std::asin(std::clamp(r.z, -1.0f, 1.0f)) / kPi});
        const auto id = uint16_t(m.vertices.size() - 1);
        welded.emplace(key, id);
        return id;
    };
    auto triangle = [&](uint16_t a, uint16_t b, uint16_t c) {
        const Vec3 pa = m.vertices[a].position, pb = m.vertices[b].position, pc = m.vertices[c].position;
        const Vec3 n = m.vertices[a].normal + m.vertices[b].normal + m.vertices[c].normal;
        if (a == b || b == c || a == c) return;
        if (zks::Dot(zks::Cross(pb - pa, pc - pa), n) < 0) std::swap(b, c);
        m.faces.push_back({a, b, c});
    };
    // The six tetrahedra of a cube around its main diagonal 0-6.
    static const int kTetra[6][4] = {{0, 5, 1, 6}, {0, 1, 2, 6}, {0, 2, 3, 6}, {0, 3, 7, 6}, {0, 7, 4, 6}, {0, 4, 5, 6}};
    static const int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                size_t c[8];
                for (int k = 0; k < 8; ++k) c[k] = index(x + kCorner[k][0], y + kCorner[k][1], z + kCorner[k][2]);
                for (const auto& t : kTetra) {
                    size_t in[4], out[4];
                    int ni = 0, no = 0;
                    for (int k = 0; k < 4; ++k) {
                        if (values[c[t[k]]] > 0) in[ni++] = c[t[k]];
                        else out[no++] = c[t[k]];
                    }
                    if (ni == 1) {
                        triangle(vertexOn(in[0], out[0]), vertexOn(in[0], out[1]), vertexOn(in[0], out[2]));
                    } else if (ni == 3) {
                        triangle(vertexOn(out[0], in[0]), vertexOn(out[0], in[1]), vertexOn(out[0], in[2]));
                    } else if (ni == 2) {
                        const uint16_t a = vertexOn(in[0], out[0]), b = vertexOn(in[0], out[1]),
                                       d = vertexOn(in[1], out[0]), e = vertexOn(in[1], out[1]);
                        triangle(a, b, e);
                        triangle(a, e, d);
                    }
                }
            }
    return m;
}

}  // namespace bake

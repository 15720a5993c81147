// Gizmos: invisible helper shapes of a scene (point, vector, box, sphere, plane)
// that effects use as emitters and anchors and that, as culling spheres, hide the
// parts of the scene tree lying outside the view.
//
// Each shape keeps the local data read from its scene file and the world data its
// render computes from the placing node's transform; other code reads only the
// world data.
// Not here: the culling itself (the scene's culling pass sets and clears kCulled).
// Gotcha: the shape numbers used here differ from the codes of the scene file
// (ShapeFromFileCode converts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/math.h"
#include "engine/core/node.h"

namespace ZK3D {

class HierarchyNode;

class Gizmo : public Node {
public:
    enum Shape : int32_t { kPoint = 1, kVector = 2, kBox = 3, kSphere = 4, kPlane = 5 };
    static constexpr uint32_t kCullingSphere = 1u << 0;
    static constexpr uint32_t kCulled = 1u << 31;

    ~Gizmo() override;
    // Logs the name only.
    void compile() override;
    // Recomputes the world data from the node's transform.
    virtual void render(HierarchyNode* node) = 0;

    // Bytes of the shape's local data in a scene file.
    virtual size_t LocalDataSize() const = 0;
    // Copies the local data; false (nothing changed) when size is not LocalDataSize().
    bool SetLocalData(const void* data, size_t size);

    int32_t shape() const { return shape_; }
    uint32_t flags = 0;  // bit 0 culling sphere, bit 31 culled this frame

protected:
    Gizmo(const char* name, int32_t shape);
    virtual void* LocalData() = 0;

private:
    int32_t shape_;
};

class PointGizmo final : public Gizmo {
public:
    explicit PointGizmo(const char* name) : Gizmo(name, kPoint) {}
    void render(HierarchyNode* node) override;
    size_t LocalDataSize() const override { return 0; }
    Vector3 position;  // world

private:
    void* LocalData() override { return nullptr; }
};

class VectorGizmo final : public Gizmo {
public:
    struct Data {
        Vector3 origin;
        Vector3 vector;
    };
    static_assert(sizeof(Data) == 24);
    explicit VectorGizmo(const char* name) : Gizmo(name, kVector) {}
    void render(HierarchyNode* node) override;
    size_t LocalDataSize() const override { return sizeof(Data); }
    Data local, world;

private:
    void* LocalData() override { return &local; }
};

class BoxGizmo final : public Gizmo {
public:
    struct Data {
        float size[3] = {};
        Vector3 origin;
        Vector3 axis[3];
    };
    static_assert(sizeof(Data) == 60);
    explicit BoxGizmo(const char* name) : Gizmo(name, kBox) {}
    void render(HierarchyNode* node) override;
    size_t LocalDataSize() const override { return sizeof(Data); }
    Data local, world;

private:
    void* LocalData() override { return &local; }
};

class SphereGizmo final : public Gizmo {
public:
    struct Data {
        Vector3 centre;
        float radius = 0;
    };
    static_assert(sizeof(Data) == 16);
    explicit SphereGizmo(const char* name) : Gizmo(name, kSphere) {}
    void render(HierarchyNode* node) override;
    size_t LocalDataSize() const override { return sizeof(Data); }
    Data local, world;

private:
    void* LocalData() override { return &local; }
};

class PlaneGizmo final : public Gizmo {
public:
    struct Data {
        float size[2] = {};
        Vector3 origin;
        Vector3 axis[3];
    };
    static_assert(sizeof(Data) == 56);
    explicit PlaneGizmo(const char* name) : Gizmo(name, kPlane) {}
    void render(HierarchyNode* node) override;
    size_t LocalDataSize() const override { return sizeof(Data); }
    Data local, world;

private:
    void* LocalData() override { return &local; }
};

// A gizmo of the shape (1-5); any other shape number gives a point gizmo.
std::unique_ptr<Gizmo> CreateGizmo(const char* name, int32_t shape);
// The shape of a scene-file shape code: 1 point, 2 box, 3 sphere, 4 plane,
// 5 vector; any other code a point.
int32_t ShapeFromFileCode(int32_t code);

}  // namespace ZK3D

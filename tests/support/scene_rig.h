// A world with one scene on a recording device, and short ways to fill it: meshes
// (one triangle or a grid of triangles), materials, cameras, lights, sphere
// gizmos and the tree that places them. For tests of the scene and of what draws
// in it (meshes, materials, effects).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/mesh.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "engine/scene/world.h"
#include "tests/support/recording_device.h"

namespace testing_support {

struct SceneRig {
    SceneRig() {
        ZK3D::ResetModeSelection();
        context = platform.CreateContext();
        world = ZK3D::CreateWorld(context.get());
        scene = ZK3D::CreateScene(world.get(), "Test");
    }
    ~SceneRig() {
        world.reset();
        context.reset();
    }

    // A node with an animation node at translation t, under parent ("" for the root).
    ZK3D::HierarchyNode* Place(const char* parent, const char* name, ZK3D::Vector3 t = {}) {
        auto* n = new ZK3D::HierarchyNode(name);
        n->animation = std::make_unique<ZK3D::AnimationNode>();
        n->animation->transform.translation = t;
        n->animation->compile();
        if (!ZK3D::PlaceNode(parent, n, &scene->root)) {
            delete n;
            return nullptr;
        }
        return n;
    }

    ZK3D::Material* AddMaterial(const char* name, ZK3D::RenderFlags flags = ZK3D::kDefaultRenderFlags,
                                float red = 1) {
        auto* m = new ZK3D::Material(name);
        m->flags = flags;
        m->d3dMaterial.dcvDiffuse = {red, 1, 1, 1};
        ZK3D::AddNode(m, &world->materials);
        return m;
    }

    // A mesh of count triangles side by side in the plane z = 0 (x from 0 on),
    // with one coordinate set whose u is the vertex number.
    ZK3D::Mesh* AddMesh(const char* name, const char* material, int count = 1, int sets = 1) {
        auto* mesh = new ZK3D::Mesh(name);
        if (material) mesh->SetMaterialName(material);
        std::vector<ZK3D::SourceVertex> vertices;
        std::vector<uint16_t> faces;
        for (int i = 0; i < count; ++i) {
            const float x = static_cast<float>(i);
            for (ZK3D::Vector3 p : {ZK3D::Vector3{x, 0, 0}, ZK3D::Vector3{x + 1, 0, 0}, ZK3D::Vector3{x, 1, 0}}) {
                faces.push_back(static_cast<uint16_t>(vertices.size()));
                vertices.push_back({p.x, p.y, p.z, 0, 0, -1, static_cast<float>(vertices.size()), 0.5f});
            }
        }
        mesh->CreateBuffers(static_cast<int>(vertices.size()), count, sets);
        mesh->Update(vertices.data(), faces.data());
        ZK3D::AddNode(mesh, &scene->meshes);
        return mesh;
    }

    ZK3D::Camera* AddCamera(const char* name, const char* target) {
        auto* c = new ZK3D::Camera(name);
        if (target) c->SetTargetName(target);
        c->nearPlane = 1;
        c->farPlane = 101;
        c->fov = 3.14159265f / 2;
        ZK3D::AddNode(c, &scene->cameras);
        return c;
    }

    ZK3D::Light* AddLight(const char* name, const char* target) {
        auto* l = new ZK3D::Light(name);
        l->light.dltType = D3DLIGHT_DIRECTIONAL;
        l->light.dvDirection = {0, -1, 0};
        if (target) {
            l->hasTarget = 1;
            l->SetTargetName(target);
        }
        ZK3D::AddNode(l, &scene->lights);
        return l;
    }

    ZK3D::SphereGizmo* AddSphere(const char* name, float radius, bool culling) {
        auto* g = static_cast<ZK3D::SphereGizmo*>(ZK3D::CreateGizmo(name, ZK3D::Gizmo::kSphere).release());
        g->local.radius = radius;
        g->flags = culling ? ZK3D::Gizmo::kCullingSphere : 0;
        ZK3D::Gizmo* base = g;
        ZK3D::AddNode(base, &scene->gizmos);
        return g;
    }

    // The draws of one vertex buffer (the mesh's), in order.
    std::vector<DrawRecord*> DrawsOf(const ZK3D::Mesh* mesh) {
        std::vector<DrawRecord*> out;
        for (auto& d : platform.device().draws())
            if (d.buffer == mesh->vertexBuffer()) out.push_back(&d);
        return out;
    }

    RecordingPlatform platform;
    std::unique_ptr<ZK3D::Context> context;
    std::unique_ptr<ZK3D::World> world;
    ZK3D::Scene* scene = nullptr;
};

}  // namespace testing_support

// Scene lifetime, compilation and the frame: culling, animation, update and draw
// walks of the tree, then the sorted transparent faces.
#include "engine/scene/scene.h"

#include "engine/render/context.h"
#include "engine/render/mesh.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "engine/scene/effect_node.h"
#include "engine/scene/world.h"
#include "platform/assert.h"
#include "platform/report.h"

namespace ZK3D {

Scene::Scene(const char* name) : Node(name, ZKNODE_SCENE) {}

Scene* CreateScene(World* world, const char* name) {
    if (!world) {
        LogError("[Sc] Scene \"%s\" has no world to be linked to", name);
        return nullptr;
    }
    auto* scene = new Scene(name);
    LogMessage("[Sc] Link Scene \"%s\" to World", name);
    scene->world = world;
    AddNode(scene, &world->scenes);
    // The first scene of the list becomes current. The loader thread creates
    // scenes while the main thread draws the current one, so the field is
    // written only when that changes it.
    if (World* current = CurrentWorld(); current && current->currentScene != current->scenes)
        current->currentScene = current->scenes;
    return scene;
}

Scene::~Scene() {
    LogMessage("[Sc] Free Scene");
    currentCamera = nullptr;
    if (meshes) FreeNodeList(&meshes);
    if (cameras) FreeNodeList(&cameras);
    if (lights) FreeNodeList(&lights);
    if (gizmos) FreeNodeList(&gizmos);
    if (specials) FreeNodeList(&specials);
    if (root) FreeTree(&root);
    // Leave the world's scene list (FreeNode may have unlinked the neighbours already).
    if (prev && prev->next == this) prev->next = next;
    if (next && next->prev == this) next->prev = prev;
    if (world) {
        if (world->scenes == this) world->scenes = static_cast<Scene*>(next);
        if (world->currentScene == this) world->currentScene = nullptr;
    }
}

Node* Scene::FindObject(const char* name) {
    for (Node* list : {static_cast<Node*>(meshes), static_cast<Node*>(cameras), static_cast<Node*>(lights),
                       static_cast<Node*>(gizmos), static_cast<Node*>(specials)}) {
        if (Node* found = FindNode(list, name)) return found;
    }
    return nullptr;
}

float Scene::TimeLeft() const {
    if (animationDescriptor.framesPerSecond <= 0) return 0;
    return (static_cast<float>(animationDescriptor.lastFrame) - time) /
           static_cast<float>(animationDescriptor.framesPerSecond);
}

void Scene::compile() {
    SetCurrentScene(this);
    LogMessage("[Sc] Compile Scene \"%s\"", name());
    if (cameras) CompileNodeList(cameras);
    if (meshes) CompileNodeList(meshes);
    if (lights) CompileNodeList(lights);
    if (gizmos) CompileNodeList(gizmos);
    if (root)
        CompileTree(root);
    else
        LogMessage("[Sc] Scene tree not found");
    if (specials) CompileNodeList(specials);
    if (Context* context = world ? world->context : CurrentContext()) renderFlags = context->AppliedFlags();
}

void Scene::render(HierarchyNode*) {
    ZK_ASSERT(world, "a scene is rendered that was not made through CreateScene");
    Context* context = world ? world->context : CurrentContext();
    if (!context || !world) return;
    context->ClearLights();
    world->sorter.Clear();
    context->SetAmbient(descriptor.amblight);
    context->PushFlags();
    context->SetFlags(renderFlags);
    context->ReapplyFlags();
    context->SetFog(true, &fog);
    context->SetWorldMatrix(nullptr);

    if (root) cullChain(root->firstChild(), root->LocalMatrix());
    animatePass(root);
    updatePass(root);

    ID3DXMatrixStack* stack = context->matrixStack();
    if (stack) stack->LoadIdentity();
    IDirect3DDevice7* device = context->device();
    if (device) device->BeginScene();
    if (stack) drawPass(root, stack);
    world->sorter.Draw(*context);
    if (device) device->EndScene();
    context->PopFlags();
}

// The spheres of one sibling chain are tested in one device call, at their real
// place: a gizmo keeps its sphere in its parent's space, so the centre and radius
// are carried through the parents' composed matrices (the device's world matrix
// is the identity here). Then every chain below is tested the same way: those
// under a culled node, so their verdicts are ready when it comes back into view,
// and those under a visible one, so no stale mark hides what is now on screen.
void Scene::cullChain(HierarchyNode* chain, const Matrix& parentWorld) {
    if (!chain) return;
    SphereCuller& culler = world->culler;
    culler.Clear();
    for (HierarchyNode* n = chain; n; n = n->nextSibling()) {
        Gizmo* g = n->gizmo();
        if (g && (g->flags & Gizmo::kCullingSphere) && g->shape() == Gizmo::kSphere) {
            g->render(n);
            culler.Add(static_cast<SphereGizmo*>(g), n, parentWorld);
        }
    }
    if (culler.count()) culler.Test(world->context ? world->context->device() : nullptr);
    for (HierarchyNode* n = chain; n; n = n->nextSibling())
        if (HierarchyNode* child = n->firstChild()) cullChain(child, n->LocalMatrix() * parentWorld);
}

void Scene::animatePass(HierarchyNode* chain) {
    for (HierarchyNode* n = chain; n; n = n->nextSibling()) {
        if (IsCulled(n)) continue;
        animatePass(n->firstChild());
        if (n->animation) n->animation->animate(time);
    }
}

void Scene::updatePass(HierarchyNode* chain) {
    Context* context = world->context;
    for (HierarchyNode* n = chain; n; n = n->nextSibling()) {
        if (IsCulled(n)) continue;
        updatePass(n->firstChild());
        if (Light* light = n->light()) {
            light->render(n, n->target);
            context->AddLight(light->light);
        } else if (Camera* camera = n->camera()) {
            if (camera == currentCamera) camera->render(n, n->target);
        } else if (Gizmo* gizmo = n->gizmo()) {
            gizmo->render(n);
        }
    }
}

void Scene::drawPass(HierarchyNode* chain, ID3DXMatrixStack* stack) {
    for (HierarchyNode* n = chain; n; n = n->nextSibling()) {
        if (IsCulled(n)) continue;
        stack->Push();
        D3DMATRIX local;
        static_assert(sizeof local == sizeof(Matrix));
        __builtin_memcpy(&local, n->LocalMatrix().m, sizeof local);
        stack->MultMatrixLocal(&local);
        drawPass(n->firstChild(), stack);
        if (Mesh* mesh = n->mesh()) mesh->render(n);
        stack->Pop();
    }
}

}  // namespace ZK3D

// One scene as a scene file describes it: colours, fog, the objects (meshes,
// cameras, lights, gizmos, effect nodes) in five owned lists, the scene tree that
// places and animates them, the current camera and the scene time in frames.
//
// render draws one frame: lights cleared, ambient, render-state word and fog set,
// the culling pass, then the animation, update and draw walks of the tree, and
// last the transparent faces back to front.
//
// Not here: reading the file (the scene loader) and the effects drawn over the
// scene (scene scripts draw them).
// Gotcha: compiling a scene makes it the current scene of its world, because the
// tree binds its objects by looking them up in the current scene.
#pragma once

#include <cstdint>

#include "engine/render/context.h"
#include "engine/core/render_flags.h"
#include "engine/core/math.h"
#include "engine/core/node.h"

namespace ZK3D {

class World;
class Mesh;
class Camera;
class Light;
class Gizmo;
class HierarchyNode;
class SpecialNode;

struct SceneDescriptor {
    Color bgcolor;
    Color amblight;
    int32_t NumMesh = 0;
    int32_t NumCamera = 0;
    int32_t NumLight = 0;
    int32_t NumGizmo = 0;
    int32_t NumSpecial = 0;
};
static_assert(sizeof(SceneDescriptor) == 52);

struct AnimationDescriptor {
    int32_t unused = 0;
    int32_t lastFrame = 0;
    int32_t framesPerSecond = 0;
};
static_assert(sizeof(AnimationDescriptor) == 12);

class Scene : public Node {
public:
    ~Scene() override;
    // Compiles the object lists and the tree and takes the applied render-state word.
    void compile() override;
    // Draws one frame (the argument is not used).
    void render(HierarchyNode* node = nullptr);

    // The first object of the name among meshes, cameras, lights, gizmos and specials.
    Node* FindObject(const char* name);
    void SetTime(float frames) { time = frames; }
    // Seconds of animation left; 0 for a scene without a frame rate.
    float TimeLeft() const;

    World* world = nullptr;  // not owned
    SceneDescriptor descriptor;
    AnimationDescriptor animationDescriptor;
    FogRecord fog;
    RenderFlags renderFlags = kDefaultRenderFlags;
    Camera* currentCamera = nullptr;  // not owned
    Mesh* meshes = nullptr;
    Camera* cameras = nullptr;
    Light* lights = nullptr;
    Gizmo* gizmos = nullptr;
    SpecialNode* specials = nullptr;  // effect nodes (kind 7)
    HierarchyNode* root = nullptr;
    float time = 0;

private:
    friend Scene* CreateScene(World* world, const char* name);
    explicit Scene(const char* name);

    void cullChain(HierarchyNode* chain, const Matrix& parentWorld);
    void animatePass(HierarchyNode* chain);
    void updatePass(HierarchyNode* chain);
    void drawPass(HierarchyNode* chain, ID3DXMatrixStack* stack);
};

// Makes a scene, links it into the world's scene list and returns it.
Scene* CreateScene(World* world, const char* name);

}  // namespace ZK3D

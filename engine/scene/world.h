// The engine's root: the render context, the loaded scenes with one current scene,
// and the materials and textures all scenes share by name; beside it the
// process-wide current world through which engine code reaches the context.
//
// Not here: loading scene files (the scene loader adds to the lists) and texture
// images (Texture loads its own).
// Gotcha: the first world created becomes current, and stays current until it is
// destroyed or another one is made current.
#pragma once

#include <memory>

#include "engine/scene/scene.h"
#include "engine/scene/sphere_culler.h"
#include "engine/scene/transparent_face_sorter.h"

namespace ZK3D {

class Context;
class Material;
class Texture;

class World {
public:
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    Context* context = nullptr;  // not owned
    Scene* scenes = nullptr;
    Scene* currentScene = nullptr;
    Material* materials = nullptr;
    Texture* textures = nullptr;
    TransparentFaceSorter sorter;
    SphereCuller culler;

private:
    friend std::unique_ptr<World> CreateWorld(Context* context);
    explicit World(Context* c) : context(c) {}
};

// An empty world on the context; it becomes current when there is none.
std::unique_ptr<World> CreateWorld(Context* context);
World* CurrentWorld();
void SetCurrentWorld(World* world);
// The current world's context, or none.
Context* CurrentContext();

// Compiles textures, materials and scenes; the current scene stays current.
void CompileWorld(World* world);
// Unlinks the scene from the world and destroys it.
void RemoveScene(World* world, Scene* scene);
// The current world's current scene, or none.
Scene* CurrentScene();
// Makes the scene current in its world: its background becomes the clear colour,
// and its first camera the current camera when it has none.
void SetCurrentScene(Scene* scene);
void RenderCurrentScene(World* world);

// Lookups in the current world's lists ("[W] Current world has not be set" without one).
Texture* FindTexture(const char* name);
Material* FindMaterial(const char* name);
// The current world's texture of that name, created, loaded and added when
// missing; none without a current world (it would have no owner).
Texture* GetTexture(const char* name);

}  // namespace ZK3D

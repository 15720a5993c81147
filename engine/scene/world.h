// The engine's root: the render context, the loaded scenes with one current scene,
// and the materials and textures all scenes share by name (the drawing part,
// RenderWorld, lives in engine/render); beside it the process-wide current world
// through which engine code reaches the context.
//
// Not here: loading scene files (the scene loader adds to the lists) and texture
// images (Texture loads its own).
// Gotcha: the first world created becomes current, and stays current until it is
// destroyed or another one is made current.
#pragma once

#include <memory>

#include "engine/render/render_world.h"
#include "engine/scene/scene.h"
#include "engine/scene/sphere_culler.h"

namespace ZK3D {

class World final : public RenderWorld {
public:
    // Frees the textures, then the materials, then the scenes.
    ~World();

    Scene* scenes = nullptr;
    Scene* currentScene = nullptr;
    SphereCuller culler;

private:
    friend std::unique_ptr<World> CreateWorld(Context* context);
    explicit World(Context* c) : RenderWorld(c) {}
};

// An empty world on the context; it becomes current when there is none.
std::unique_ptr<World> CreateWorld(Context* context);
// Every world is a World: the current pointer is kept below as its drawing part.
inline World* CurrentWorld() { return static_cast<World*>(CurrentRenderWorld()); }
inline void SetCurrentWorld(World* world) { SetCurrentRenderWorld(world); }

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

}  // namespace ZK3D

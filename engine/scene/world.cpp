// The world, its current scene, compiling it and removing scenes.
#include "engine/scene/world.h"

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/texture.h"
#include "engine/scene/camera.h"
#include "platform/report.h"

namespace ZK3D {

std::unique_ptr<World> CreateWorld(Context* context) {
    LogMessage("[W] Create world");
    std::unique_ptr<World> world(new World(context));
    if (!CurrentWorld()) SetCurrentWorld(world.get());
    return world;
}

World::~World() {
    LogMessage("[W] Free World");
    if (textures) FreeNodeList(&textures);
    if (materials) FreeNodeList(&materials);
    if (scenes) FreeNodeList(&scenes);
    currentScene = nullptr;
    if (CurrentWorld() == this) SetCurrentWorld(nullptr);
}

Scene* CurrentScene() {
    World* world = CurrentWorld();
    return world ? world->currentScene : nullptr;
}

void SetCurrentScene(Scene* scene) {
    if (!scene) return;
    World* world = scene->world ? scene->world : CurrentWorld();
    if (!world) return;
    world->currentScene = scene;
    if (world->context) world->context->SetClearColor(scene->descriptor.bgcolor);
    if (!scene->currentCamera) scene->currentCamera = scene->cameras;
}

void CompileWorld(World* world) {
    if (!world) return;
    LogMessage("[W] Compile World");
    if (world->textures) CompileNodeList(world->textures);
    if (world->materials) CompileNodeList(world->materials);
    if (world->scenes) {
        Scene* remembered = world->currentScene;
        CompileNodeList(world->scenes);
        SetCurrentScene(remembered);
    }
    if (World* current = CurrentWorld(); current && !current->currentScene) current->currentScene = current->scenes;
}

void RemoveScene(World* world, Scene* scene) {
    if (!world || !world->scenes) {
        LogError("[W] Cannot remove scene");
        return;
    }
    Node* n = world->scenes;
    while (n && n != scene) n = n->next;
    if (!n || !scene) {
        LogError("[W] Cannot remove scene");
        return;
    }
    if (world->scenes == scene) world->scenes = static_cast<Scene*>(scene->next);
    if (scene->prev) scene->prev->next = scene->next;
    if (scene->next) scene->next->prev = scene->prev;
    scene->prev = scene->next = nullptr;
    if (world->currentScene == scene) world->currentScene = nullptr;
    delete scene;
}

void RenderCurrentScene(World* world) {
    if (world && world->currentScene) world->currentScene->render(nullptr);
}

}  // namespace ZK3D

// The drawing part of the world: its lists, its context and the name lookups.
#include "engine/render/render_world.h"

#include "engine/render/material.h"
#include "engine/render/texture.h"
#include "platform/report.h"

namespace ZK3D {

RenderWorld::~RenderWorld() {
    if (textures) FreeNodeList(&textures);
    if (materials) FreeNodeList(&materials);
}

Context* CurrentContext() {
    RenderWorld* world = CurrentRenderWorld();
    return world ? world->context : nullptr;
}

Texture* FindTexture(const char* name) {
    RenderWorld* world = CurrentRenderWorld();
    if (!world) {
        LogError("[W] Current world has not be set");
        return nullptr;
    }
    return static_cast<Texture*>(FindNode(world->textures, name));
}

Material* FindMaterial(const char* name) {
    RenderWorld* world = CurrentRenderWorld();
    if (!world) {
        LogError("[W] Current world has not be set");
        return nullptr;
    }
    return static_cast<Material*>(FindNode(world->materials, name));
}

Texture* GetTexture(const char* name) {
    if (Texture* found = FindTexture(name)) return found;
    RenderWorld* world = CurrentRenderWorld();
    if (!world) return nullptr;  // a texture made here would have no owner
    auto* texture = new Texture(name);
    texture->SetBitmap(name);
    AddNode(texture, &world->textures);
    texture->compile();
    return texture;
}

}  // namespace ZK3D

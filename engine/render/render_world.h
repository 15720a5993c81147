// The part of the world that drawing needs: the render context, the materials
// and textures all scenes share by name, and the sorter that draws transparent
// faces back to front at the end of a scene. The scene layer's World derives
// from it and adds the scenes; the world itself is made there (CreateWorld).
//
// Gotcha: the lookups work on the current world, which is whichever world was
// made first (or set current since), not necessarily the one a caller holds.
#pragma once

#include "engine/core/current.h"
#include "engine/render/transparent_face_sorter.h"

namespace ZK3D {

class Context;
class Material;
class Texture;

class RenderWorld {
public:
    RenderWorld(const RenderWorld&) = delete;
    RenderWorld& operator=(const RenderWorld&) = delete;

    Context* context = nullptr;  // not owned
    Material* materials = nullptr;
    Texture* textures = nullptr;
    TransparentFaceSorter sorter;

protected:
    explicit RenderWorld(Context* c) : context(c) {}
    // Frees the textures, then the materials.
    ~RenderWorld();
};

// The current world's context, or none.
Context* CurrentContext();

// Lookups in the current world's lists ("[W] Current world has not be set" without one).
Texture* FindTexture(const char* name);
Material* FindMaterial(const char* name);
// The current world's texture of that name, created, loaded and added when
// missing; none without a current world (it would have no owner).
Texture* GetTexture(const char* name);

}  // namespace ZK3D

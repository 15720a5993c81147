// The process-wide current world, through which every engine object reaches the
// render context and the shared lists.
//
// The world's type is built up by layer: engine/render's RenderWorld holds what
// drawing needs (the context, the shared materials and textures, the sorter of
// transparent faces), engine/scene's World adds the scenes. This layer keeps
// only the pointer, so each layer above reads it as the part it knows.
#pragma once

namespace ZK3D {

class RenderWorld;

RenderWorld* CurrentRenderWorld();
void SetCurrentRenderWorld(RenderWorld* world);

}  // namespace ZK3D

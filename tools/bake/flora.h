// Plants, rocks and other props shared by the outdoor scenes, as z-up meshes
// standing on the origin: palms and broadleaf trees for the jungle, conifers
// and birches for the forest, ferns, boulders. Each returns separate meshes
// per material (trunk and foliage) so a scene can merge many of them into a
// few draw calls.
//
// Foliage is two-sided geometry (fronds, leaf clumps), meant for materials
// drawn without culling; nothing here relies on alpha testing.
#pragma once

#include <cstdint>

#include "tools/bake/scene_kit.h"

namespace bake {

struct PlantMeshes {
    zks::Mesh wood;     // trunk, branches
    zks::Mesh foliage;  // leaves, fronds, needles
};

// A leaf strip: from the origin along the horizontal direction `heading`,
// rising at first and drooping, `length` long and up to `width` wide, in
// `segments` pieces. u runs along it, v across.
zks::Mesh Frond(float heading, float length, float width, float rise, float droop, int segments = 8);

PlantMeshes Palm(Rng& rng, float height);
PlantMeshes Broadleaf(Rng& rng, float height);
PlantMeshes Conifer(Rng& rng, float height);
PlantMeshes Birch(Rng& rng, float height);
zks::Mesh Fern(Rng& rng, float size);
// A lumpy boulder of about the given radius, flattened at its base.
zks::Mesh Boulder(Rng& rng, float radius, int detail = 12);

}  // namespace bake

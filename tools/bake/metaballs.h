// Blobby surfaces: the iso-surface of a sum of metaball fields, polygonised by
// marching tetrahedra (every grid cube split into six tetrahedra, so no case
// tables are needed and the surface has no holes). Vertices on shared edges
// are welded; normals come from the field's gradient, so the surface is smooth
// and an environment map slides over it like over liquid metal.
#pragma once

#include <vector>

#include "tools/bake/scene_kit.h"

namespace bake {

struct Metaball {
    Vec3 centre;
    float radius;  // the field is radius² / distance² ...
};

// ... and the surface lies where the sum equals 1. `cells` grid cells along
// the longest side of the bounding box. Texture coordinates are spherical
// around the balls' mean centre.
zks::Mesh MetaballMesh(const std::vector<Metaball>& balls, int cells);

}  // namespace bake

// Meshes from common primitives, with unit normals and one set of texture
// coordinates, and a few operations on meshes (place, merge, flip, scale UVs).
//
// Every primitive is centred on the origin with y up. Faces wind so that
// (b − a) × (c − a) points outwards, along the vertex normals: with the engine's
// camera that is counter-clockwise on screen, the side its default cull mode
// (clockwise) keeps. FlipFaces turns a mesh inside out for views from within
// (sky domes, caverns). Texture v grows downwards (row 0 of the image is v = 0).
//
// One texture-coordinate set per vertex and no tangents: that is all a ZKS
// vertex holds.
//
// The builders return a Mesh without name and material; the caller sets both.
// Faces hold 16-bit indices: segment counts that would need more than 65536
// vertices are reduced to fit.
#pragma once

#include <functional>

#include "tools/zks/zks_scene.h"

namespace zks {

// An axis-aligned box of the given full size, 4 vertices per side, each side
// mapped to the whole texture.
Mesh BoxMesh(Vec3 size);

// A UV sphere: slices around y (≥ 3), stacks from pole to pole (≥ 2). u runs
// once around, v from the top pole (0) to the bottom (1).
Mesh SphereMesh(float radius, int slices = 24, int stacks = 12);

// Height of a terrain at (x, z), for GridMesh.
using HeightFunction = std::function<float(float x, float z)>;

// A grid in the xz plane of sizeX × sizeZ cells counts, facing +y; with a height
// function a terrain whose normals follow the slope. The texture covers the
// grid uvRepeat times in each direction.
Mesh GridMesh(float sizeX, float sizeZ, int cellsX, int cellsZ, const HeightFunction& height = {},
              float uvRepeat = 1);

// A cylinder along y; with caps closed at both ends.
Mesh CylinderMesh(float radius, float height, int slices = 24, bool caps = true);

// A cone along y with its tip at +height/2; with cap closed at the base.
Mesh ConeMesh(float radius, float height, int slices = 24, bool cap = true);

// A torus around y: majorRadius to the tube's centre line, minorRadius of the tube.
Mesh TorusMesh(float majorRadius, float minorRadius, int majorSegments = 32, int minorSegments = 16);

// Scales, rotates, then moves every vertex; normals follow (and faces are
// re-wound when the scale mirrors the mesh).
void TransformMesh(Mesh& mesh, Vec3 scale, Quat rotation, Vec3 translation);

// Appends src's vertices and faces to dst. False (dst unchanged) when the result
// would need more than 65536 vertices.
bool AppendMesh(Mesh& dst, const Mesh& src);

// Reverses every face and negates every normal.
void FlipFaces(Mesh& mesh);

void ScaleUV(Mesh& mesh, float su, float sv);

}  // namespace zks

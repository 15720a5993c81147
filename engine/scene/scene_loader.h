// Reads a ZKS scene file into the world: a new Scene with its meshes, cameras,
// lights, gizmos and tree (static, or animated with key tracks), plus the
// materials and textures the file names, which go to the world's own lists.
//
// The file is read front to back in one pass; extension chunks after the tree
// are skipped. Every count and size is checked against the bytes the file still
// holds before anything is allocated or looped over, so a damaged file is
// rejected with a "[Load]" error instead of being read past its end. A rejected
// file leaves the world as it was: the scene, and the materials and textures the
// file added, are destroyed again.
//
// Not here: compiling (binding names, building matrices) — the caller compiles
// the world after loading.
// Gotchas: runs on the scene-loading thread while the main thread draws, so it
// keeps no state of its own between calls and touches only the world's scene,
// material and texture lists. Names longer than 1023 characters are cut to
// their first 1023 (the rest of the name is skipped). A hierarchy record whose
// parent is not in the tree yet ends the tree; what follows is walked as
// extension chunks.
#pragma once

namespace ZK3D {

class Scene;
class World;

// The new scene, linked into the world, or none when the file is missing or
// rejected.
Scene* LoadScene(World* world, const char* fileName);

// Deepest level a scene-tree node may lie at; deeper trees are rejected, as every
// walk of the tree recurses once per level.
constexpr int kMaxSceneTreeDepth = 1024;

}  // namespace ZK3D

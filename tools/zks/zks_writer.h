// Writes a zks::Scene as a ZKS scene file, byte for byte, and checks a scene for
// anything the engine's loader would read differently from what was meant.
//
// Usage:
//   zks::Scene scene;
//   scene.kind = zks::SceneKind::Animated;
//   scene.meshes.push_back(zks::BoxMesh({2, 2, 2}));  // zks_mesh_builder.h
//   ...
//   for (const std::string& problem : zks::ValidateScene(scene)) { ... }
//   std::string error;
//   if (!zks::SaveScene(scene, "data/box.zks", &error)) { ... }
//
// Layout: "ZKS", kind byte, scene name, 52-byte descriptor, material count,
// [12-byte animation descriptor], 32-byte fog, meshes, cameras, lights, gizmos,
// materials, hierarchy count, hierarchy records ending with a 0 flag, extension
// chunks. Little-endian, no padding, strings end with a NUL byte.
//
// The writer does not validate: it writes odd models (override fields, invalid
// track types, faces beyond the vertex count) as they are, so loader tests can
// be fed any file. It fails only when the model cannot be encoded at all (a name
// holding a NUL byte, a list longer than an i32 count).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zks/zks_scene.h"

namespace zks {

// Bytes per key in the file for a value type and interpolation; 0 for any
// combination outside 1–5 × 1–4 (such a track stores no key bytes).
int KeySize(ValueType valueType, Interpolation interpolation);

// Appends the file's bytes to out. On failure out is left as it was and error
// (when given) says why.
bool WriteScene(const Scene& scene, std::vector<uint8_t>& out, std::string* error = nullptr);

// Writes the file; the same bytes on every run for the same scene.
bool SaveScene(const Scene& scene, const std::string& path, std::string* error = nullptr);

// Everything about the scene that a loader would take differently from how it
// looks in the model, or that makes the file deliberately odd: overrides, counts
// that disagree, invalid track types, unsorted keys, face indices beyond the
// vertex count, names the loader would cut, parents not listed before their
// children, tracks the controller does not write, duplicate texture names with
// different bitmaps. Empty for a scene a loader reads as intended.
std::vector<std::string> ValidateScene(const Scene& scene);

}  // namespace zks

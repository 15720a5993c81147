// Turns a scene from a 3D package (any format the Open Asset Import Library
// reads: glTF 2.0, 3DS, OBJ, FBX, Collada, X, ...) into a ZKS scene and the
// texture files it names.
//
// Usage:
//   zkimport::Options options;
//   options.cameraNames.push_back({"", "MainCam"});   // the first camera
//   zkimport::Result result;
//   std::string error;
//   if (!zkimport::Import("ship.gltf", options, &result, &error)) { ... }
//   zkimport::WriteResult(result, "data/ship.zks", "data", &error);
//
// What it makes, in the engine's axes (right-handed, z up; the file's y-up axes
// are turned a quarter about x, so a model stands as it did in the package):
// - the node tree, each node's transform as translation, rotation, scale; a node
//   with one mesh places it itself, a node with several places each through a
//   child node of the mesh's name;
// - meshes, triangulated, with normals, one texture-coordinate set, split into
//   pieces of at most 65,535 vertices;
// - materials with their colours, opacity (sorted transparency), two-sidedness
//   and texture stages: the diffuse texture, an environment (reflection)
//   texture, a second diffuse texture on the first's coordinates; textures are
//   re-encoded as JPEG (opaque) or DXT5 DDS (with alpha);
// - cameras and lights on nodes of their own at the root of the tree, because
//   the engine places them by their node's own translation; each camera gets a
//   target node ahead of it; when anything above a camera or light moves, its
//   node and target are sampled once a frame;
// - one animation: node channels become key tracks (position and scale linear,
//   or smooth with Options::smoothKeys; rotation as quaternion keys), times in
//   frames at Options::fps.
// A file without camera gets one that frames the model, and one without light a
// white key light (Options::addView), so the scene shows at once in zkview.
//
// Not here: skinning, morph targets, vertex colours, orthographic cameras and
// area lights. They are dropped, and Result::notes says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zks/zks_scene.h"

namespace zkimport {

struct CameraRename {
    std::string from;  // the camera's name in the file; empty: the first camera
    std::string to;
};

struct Options {
    float scale = 1;        // multiplies every length
    int fps = 30;           // frames per second of an animated scene
    std::string animation;  // name or index of the animation; empty: the first
    float lengthSeconds = 0;  // > 0: the scene lasts this long (a static file becomes animated)
    std::vector<CameraRename> cameraNames;
    bool smoothKeys = false;  // position and scale keys smooth (tangents from the neighbours)
    bool addView = true;      // add a camera and a light where the file has none
    bool acceptErrors = false;  // take what the library read even when it reported errors
    // The folder the scene names its texture files by, as the demo (or zkview)
    // finds them from where it runs: "data" gives "data/wood.jpg". Empty: bare names.
    std::string texturePath;
};

// A texture to write beside the scene; the scene names it by
// Options::texturePath joined with this file name.
struct TextureFile {
    std::string name;  // the file name
    std::vector<uint8_t> bytes;
};

// What the library read, before anything was dropped or split.
struct SourceCounts {
    int meshes = 0, triangles = 0, nodes = 0, cameras = 0, lights = 0, materials = 0, animations = 0;
};

struct Result {
    zks::Scene scene;
    std::vector<TextureFile> textures;
    SourceCounts source;
    bool addedCamera = false, addedLight = false;
    std::string format;               // the library's name for the file's format
    std::vector<std::string> notes;   // one line for each thing dropped, changed or added
    std::vector<std::string> summary; // one line for each mesh, material, camera, light, animation
};

// Reads the file and converts it. False, with a one-line reason, when the file
// cannot be read or holds nothing to draw.
bool Import(const std::string& path, const Options& options, Result* result, std::string* error);

// Writes the scene file and its textures (into dataDir, made when missing).
bool WriteResult(const Result& result, const std::string& scenePath, const std::string& dataDir, std::string* error);

// The --list text: what the file holds, what the scene will have, and what is
// dropped, with reasons.
std::string Describe(const Result& result);

}  // namespace zkimport

// Creates the scene script of a scene index (a SceneIndex value), reading its
// configuration section from the file at configPath. Null for an index without
// a script class.
#pragma once

#include <memory>

#include "demo/scene_script.h"

namespace ZK3D {
class Scene;
}

std::unique_ptr<SceneScript> createScript(int index, const char* configPath, ZK3D::Scene* scene);

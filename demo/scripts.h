// The scene scripts, one file each, named after its scene; the script factory
// creates them by scene index.
#pragma once

#include <memory>

#include "demo/ini_file.h"
#include "demo/script_base.h"

namespace ZK3D {
class Scene;
}

std::unique_ptr<SceneScript> CreateJungleScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateCavernScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateSceneHolder(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateLakeScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateTempleScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateSpaceScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateSpaceCloudsScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateComputerScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateTRexScript(ZK3D::Scene* scene, const IniFile& config);
std::unique_ptr<SceneScript> CreateGreetingsScript(ZK3D::Scene* scene, const IniFile& config);

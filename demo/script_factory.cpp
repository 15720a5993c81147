#include "demo/script_factory.h"

#include "demo/scripts.h"

std::unique_ptr<SceneScript> createScript(int index, const char* configPath, ZK3D::Scene* scene) {
    using Factory = std::unique_ptr<SceneScript> (*)(ZK3D::Scene*, const IniFile&);
    // In SceneIndex order.
    static constexpr Factory kScripts[] = {
        CreateJungleScript, CreateCavernScript,      CreateSceneHolder,    CreateLakeScript,
        CreateTempleScript, CreateSpaceScript,       CreateSpaceCloudsScript, CreateComputerScript,
        CreateTRexScript,   CreateGreetingsScript,
    };
    static_assert(std::size(kScripts) == kDemoSceneCount);
    if (index < 0 || index >= int(std::size(kScripts))) return nullptr;
    return kScripts[index](scene, IniFile(configPath));
}

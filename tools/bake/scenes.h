// The eleven scenes of the show, each made from code: the loading animation and
// the ten scenes the scripts play, each with every camera, gizmo and material
// its script looks up. A scene that has particles comes with the text of the
// .pfd file its script loads (the emitters and operators name its gizmos).
#pragma once

#include <string>

#include "tools/bake/demo_config.h"
#include "tools/bake/scene_kit.h"
#include "tools/bake/show_plan.h"
#include "tools/zks/zks_scene.h"

namespace bake {

struct SceneFiles {
    zks::Scene scene;
    std::string particleFile;  // data/....pfd, empty when the scene has none
    std::string particles;     // its text
};

SceneFiles MakeLoadingScene(const LoadingPlan& loading);
SceneFiles MakeJungleScene(const ShowPlan& plan);
SceneFiles MakeCavernScene(const ShowPlan& plan);
SceneFiles MakeForestScene(const ShowPlan& plan);
SceneFiles MakeLakeScene(const ShowPlan& plan);
SceneFiles MakeTempleScene(const ShowPlan& plan);
SceneFiles MakeSpaceScene(const ShowPlan& plan);
SceneFiles MakeEarthScene(const ShowPlan& plan);
SceneFiles MakeComputerScene(const ShowPlan& plan);
SceneFiles MakeTRexScene(const ShowPlan& plan);
SceneFiles MakeGreetingsScene(const ShowPlan& plan);

// The lens-flare descriptions: data/cavern.lfd (cavern and space) and
// data/lake.lfd.
std::string CavernFlare();
std::string LakeFlare();

}  // namespace bake

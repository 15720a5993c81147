// Scene lengths and starts derived from the bar counts.
#include "tools/bake/show_plan.h"

#include <cmath>

namespace bake {

const std::array<const char*, kScriptCount> kSceneFiles = {
    "data/jungle.zks", "data/cavern.zks", "data/forest.zks",   "data/lake.zks",  "data/temple.zks",
    "data/space.zks",  "data/earth.zks",  "data/computer.zks", "data/trex.zks", "data/greetings.zks"};

double ShowPlan::SceneStart(int script) const {
    double start = 0;
    for (int i = 0; i < script; ++i) start += SceneSeconds(i);
    return start;
}

double ShowPlan::ShowSeconds() const { return SceneStart(kScriptCount); }

double ShowPlan::AnimationSeconds(int script) const {
    if (script == kCavern) return Bars(bars[kCavern] - forest1Bars - forest2Bars);
    if (script == kForest) return Bars(forest1Bars + forest2Bars);
    return SceneSeconds(script);
}

int ShowPlan::LastFrame(int script) const { return int(std::lround(AnimationSeconds(script) * fps)); }

}  // namespace bake

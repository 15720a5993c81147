// The show's scenes in the order they play. The scene index is what the
// configuration's "scene%d_zksfile" keys, the script factory and the list of
// scripts count by; the forest has no turn of its own and only lends its scene
// to the cavern.
#pragma once

enum class SceneIndex : int { Jungle, Cavern, Forest, Lake, Temple, Space, Earth, Computer, TRex, Greetings };

// The demo plays exactly this many scenes, one script each.
inline constexpr int kDemoSceneCount = 10;

// A script's place among the nine scene classes: the scene index without the
// forest, whose holder is not one of them (-1). A script names itself by it in
// reports, and only class 0, the jungle, rewinds the music when it starts.
constexpr int ClassOrdinal(SceneIndex scene) {
    if (scene == SceneIndex::Forest) return -1;
    return scene < SceneIndex::Forest ? int(scene) : int(scene) - 1;
}

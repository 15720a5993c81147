// vlm.ini for the baked show: the application sections (display, music,
// loading steps, the ten scene files) and every scene script's section, with
// timings taken from the show plan and flash lists from the soundtrack.
//
// The key names are the ones the scripts read, spelled as they are
// ("openningduration" included). Greeting keys 4 and 12 are never shown by the
// greetings script but must not be empty: the list ends at the first empty one.
#pragma once

#include <string>
#include <vector>

#include "tools/bake/show_plan.h"
#include "tools/music/song.h"

namespace bake {

// The loading animation: a frame rate, its last frame, and one step per
// scene load plus a final step beyond the last frame.
struct LoadingPlan {
    int fps = 30;
    int stepFrames = 12;  // step k (0..9) stops the animation at frame 12 (k + 1)
    int lastFrame = 150;  // the finale after the tenth step
    int finalStep = 160;  // beyond the last frame, so loading can end
};

// Where music and scenes live in the data set.
inline constexpr const char* kMusicFile = "data/velmoor.mp3";
inline constexpr const char* kLoadingLayer = "data/loading.dds";

std::string MakeConfig(const ShowPlan& plan, const LoadingPlan& loading, const music::Song& song);

// The texts the space scene's credits and the greetings show, in key order.
std::vector<std::string> CreditLines();     // credits_text_up01, _down01, ... _up04, _down04
std::vector<std::string> GreetingLines();   // greetings_text1 ... (32 lines)

// Times written for the flash lists (scene time, seconds), for checks.
struct FlashLists {
    std::vector<double> jungle, lake, temple, earth;
};
FlashLists MakeFlashLists(const ShowPlan& plan, const music::Song& song);

}  // namespace bake

// The show's timeline: one tempo, and for each of the demo's ten scripts the
// number of bars its scene plays, so that every scene's animation ends where
// its part of the soundtrack ends. Scene timings (camera cuts, interludes,
// credits) are given in bars and beats of that tempo, so they fall on the
// music; the soundtrack (soundtrack.h) is arranged from the same numbers.
//
// Music time 0 is the jungle's first frame (its script rewinds the music).
// Scene k starts where scenes 0..k-1 end; the forest (script 2) plays inside
// the cavern, so it takes no time of its own.
//
// Not here: what the scenes show or how the music sounds.
#pragma once

#include <array>
#include <string>

namespace bake {

// Scripts in playing order (the index is the script number).
enum ScriptIndex { kJungle, kCavern, kForest, kLake, kTemple, kSpace, kEarth, kComputer, kTRex, kGreetings };
constexpr int kScriptCount = 10;

struct ShowPlan {
    double bpm = 128;
    int beatsPerBar = 4;
    int fps = 32;  // every scene's frames per second: a bar is 60 frames at 128 BPM

    // Bars of music each script plays (the cavern's count includes both forest
    // interludes; the forest's own count is zero).
    std::array<int, kScriptCount> bars{16, 24, 0, 20, 16, 20, 12, 10, 16, 32};

    // Cavern: cut to the forest at cavern bar 4 for 4 bars, and again at
    // cavern bar 9 (of its own timeline) for 5 bars.
    int cavernCut1 = 4, forest1Bars = 4, cavernCut2 = 9, forest2Bars = 5;

    double BarSeconds() const { return 60.0 / bpm * beatsPerBar; }
    double BeatSeconds() const { return 60.0 / bpm; }
    double Bars(double n) const { return n * BarSeconds(); }

    // Seconds of music the script plays, and where it starts.
    double SceneSeconds(int script) const { return Bars(bars[size_t(script)]); }
    double SceneStart(int script) const;
    double ShowSeconds() const;

    // Length of each scene file's animation, in seconds: the cavern's own
    // timeline is its bars less the interludes; the forest plays both interludes.
    double AnimationSeconds(int script) const;
    int LastFrame(int script) const;
};

// Scene file names under data/, in script order, and the loading scene.
extern const std::array<const char*, kScriptCount> kSceneFiles;
constexpr const char* kLoadingSceneFile = "data/loading.zks";

}  // namespace bake

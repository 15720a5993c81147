// A complete, tiny demo data set for tests of the whole program: vlm.ini, the
// loading scene and the ten scenes (each about a second long, with every object
// its script looks up), flare and particle descriptions, the font, the logos and
// a short soundtrack, all written by the content tools.
#pragma once

#include <string>

namespace testing_support {

struct MiniDemoOptions {
    float sceneSeconds = 1.0f;  // length of each scene's animation
    int framesPerSecond = 30;   // of every scene
    bool music = true;          // write and name a soundtrack
    int musicRate = 44100;      // the soundtrack's sample rate, channels and bit rate
    int musicChannels = 2;      // (music::kMp3Vbr: variable)
    int musicKbps = 96;
    int blankScene = -1;        // a scene index whose "scene%d_zksfile" is left blank
    int missingScene = -1;      // a scene index whose file names nothing on disk
    int numScenes = 10;         // the "numscenes" value
};

// Writes the data set into directory (created if needed); false with the reason.
bool WriteMiniDemo(const std::string& directory, const MiniDemoOptions& options, std::string* error);

// Seconds of music the mini demo's show lasts (the scenes, the cavern's interludes).
float MiniDemoShowSeconds(const MiniDemoOptions& options);

}  // namespace testing_support

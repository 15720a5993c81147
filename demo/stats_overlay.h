// The stats display for people making a show: a few lines of small text in the
// top-left corner over every frame, switched on and off (F1 in a window). It
// shows the show time, the scene and script playing, the frame rate and frame
// time (smoothed), the draw calls and triangles of the last frame, and the names
// of the vlm.ini keys the playing script reads.
//
// StatsLines builds the text from numbers and names alone; StatsOverlay keeps
// the smoothing and the per-frame counters and draws with the demo's font.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ZK3D {
class Context;
class zkFontBase;
}  // namespace ZK3D

struct StatsSample {
    double showTime = -1;    // seconds of music; negative: the show has not begun
    int script = -1;         // scene index of the playing script; -1: loading
    std::string sceneFile;   // the script's scene file, as vlm.ini names it
    double frameMs = 0;      // smoothed; 0: not measured yet
    uint64_t drawCalls = 0;  // of the last frame
    uint64_t triangles = 0;
    std::vector<std::string> keys;  // of the script's vlm.ini section
};

// The script of a scene index ("Jungle", ... "Greetings"; "?" out of range) and
// the vlm.ini section it reads (null for the forest, which reads none).
const char* ScriptName(int script);
const char* ScriptSection(int script);

// The overlay's lines. Key names are listed after the section's name and
// wrapped to `width` characters a line, at most kMaxKeyLines lines (the last
// one ending in "..." when some are left out).
inline constexpr size_t kStatsWidth = 52;
inline constexpr size_t kMaxKeyLines = 6;
std::vector<std::string> StatsLines(const StatsSample& sample, size_t width = kStatsWidth);

class StatsOverlay {
public:
    static constexpr float kScale = 0.5f;  // of the font's glyphs
    static constexpr float kLeft = 8, kTop = 8;

    void toggle() { visible_ = !visible_; }
    bool visible() const { return visible_; }

    // Takes one frame's measures (now in seconds on a steady clock, the
    // device's draw and triangle counts so far) into the sample: the frame
    // time smoothed over about ten frames and the counts since the last call.
    void measure(double now, uint64_t drawCalls, uint64_t triangles, StatsSample* sample);
    // The counts the next measure() subtracts (to leave out draws after measuring).
    void countFrom(uint64_t drawCalls, uint64_t triangles) {
        drawCalls_ = drawCalls;
        triangles_ = triangles;
    }
    // Draws the lines, each over a dark shadow, in the top-left corner of the
    // current target, in their own BeginScene / EndScene.
    static void draw(ZK3D::Context& context, ZK3D::zkFontBase& font, const std::vector<std::string>& lines);

private:
    bool visible_ = false;
    double last_ = -1;
    double frameMs_ = 0;
    uint64_t drawCalls_ = 0, triangles_ = 0;
};

// What frames cost the graphics device, for the benchmark and the scene viewer:
// the counters of each frame (draw calls, triangles, fragments shaded, texture
// binds, program switches) read from the GL device, the fill-rate floor (the
// time one whole screen takes with the cheapest textured pass) that frame times
// are measured against, and the rows of the table that shows them.
//
// Not here: deciding which frames belong together (the benchmark groups them by
// script, the viewer has one scene) or timing the frames themselves.
// Gotcha: on a device that is not the GL device (a recording test device) every
// counter stays 0 and the floor is 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl_stats.h"

namespace ZK3D {

class Context;

// Sums over frames (or one frame's counts).
struct FrameCounters {
    uint64_t frames = 0;
    uint64_t drawCalls = 0;
    uint64_t triangles = 0;
    uint64_t fragments = 0;
    uint64_t textureBinds = 0;
    uint64_t programSwitches = 0;

    FrameCounters& operator+=(const FrameCounters& other);
};

// Reads the device's counters frame by frame; counts fragments while it lives.
class FrameCostMeter {
public:
    explicit FrameCostMeter(Context& context);
    ~FrameCostMeter();
    FrameCostMeter(const FrameCostMeter&) = delete;
    FrameCostMeter& operator=(const FrameCostMeter&) = delete;

    // How fragments are counted (kNone: not at all).
    platform::FragmentCounter counter() const { return counter_; }
    // The counters since the last call, as one frame (call once a frame, after
    // presenting it). Fragment counts may arrive a frame or two late.
    FrameCounters Take();

private:
    Context& context_;
    platform::FragmentCounter counter_ = platform::FragmentCounter::kNone;
    platform::GlStats last_;
};

// Draws and presents `frames` frames that each shade the whole target once with
// one textured pass (no lighting, blending, depth or fog) and returns the median
// frame time in milliseconds; 0 without a GL device. Leaves the context's render
// states and stages as it found them.
double MeasureFillFloor(Context& context, int frames = 60);

// The table: a header and one row per group of frames. A row shows the frame
// count, median and 95th-percentile time (ms), the median as a multiple of the
// floor, and per frame the means of the counters, with overdraw as fragments
// per screen of width x height.
std::string FrameCostHeader();
std::string FrameCostRow(const char* name, std::vector<double> milliseconds, const FrameCounters& sum,
                         double floorMs, int width, int height);
// The line that states the floor and how fragments were counted.
std::string FrameCostFloorLine(double floorMs, platform::FragmentCounter counter);

// Median and 95th percentile of a set of times (0 for none).
double Median(std::vector<double> values);
double Percentile95(std::vector<double> values);

}  // namespace ZK3D

#include "demo/stats_overlay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(StatsLines, SayWhatPlaysHowFastAndWhichKeysDriveIt) {
    struct Case {
        StatsSample sample;
        size_t width;
        std::vector<std::string> lines;
    };
    std::vector<std::string> manyKeys;
    for (int i = 0; i < 20; ++i) manyKeys.push_back("k" + std::to_string(10 + i));
    const Case cases[] = {
        {{-1, -1, "", 0, 0, 0, {}},
         52,
         {"show not started", "loading", "fps not measured yet", "0 draws, 0 triangles"}},
        {{61.234, 3, "data\\lake.zks", 20, 412, 10532, {"openningduration", "closingduration", "cut01"}},
         52,
         {"show 61.23 s", "scene 4/10 data\\lake.zks", "script Lake", "50.0 fps, 20.00 ms",
          "412 draws, 10532 triangles", "[Lake] openningduration closingduration cut01"}},
        // The forest reads no section.
        {{5, 2, "data/forest.zks", 4, 1, 2, {}},
         52,
         {"show 5.00 s", "scene 3/10 data/forest.zks", "script Forest", "250.0 fps, 4.00 ms", "1 draws, 2 triangles",
          "no vlm.ini section"}},
        // Keys wrap at the width; past the last key line the rest is left out.
        {{1, 6, "e", 10, 0, 0, manyKeys},
         12,
         {"show 1.00 s", "scene 7/10 e", "script Earth", "100.0 fps, 10.00 ms", "0 draws, 0 triangles", "[Earth] k10",
          "k11 k12 k13", "k14 k15 k16", "k17 k18 k19", "k20 k21 k22", "k23 k24 k25 ..."}},
        {{1, 9, "g", 10, 0, 0, {}},
         12,
         {"show 1.00 s", "scene 10/10 g", "script Greetings", "100.0 fps, 10.00 ms", "0 draws, 0 triangles",
          "[Greetings]"}},
    };
    for (const Case& c : cases) EXPECT_EQ(StatsLines(c.sample, c.width), c.lines) << c.sample.script;
    EXPECT_STREQ(ScriptName(10), "?");
    EXPECT_EQ(ScriptSection(-1), nullptr);
}

TEST(StatsOverlay, SmoothsTheFrameTimeAndCountsPerFrame) {
    struct Frame {
        double now;
        uint64_t draws, triangles;
    };
    struct Case {
        std::vector<Frame> frames;
        double frameMs;
        uint64_t draws, triangles;
    };
    const Case cases[] = {
        {{{1.0, 100, 1000}}, 0, 100, 1000},                     // first frame: no time yet
        {{{1.0, 100, 1000}, {1.02, 150, 1600}}, 20, 50, 600},   // the first interval as it is
        {{{1.0, 0, 0}, {1.02, 0, 0}, {1.12, 0, 0}}, 28, 0, 0},  // then a tenth of each change
        {{{1.0, 100, 1000}, {1.02, 30, 300}}, 20, 30, 300},     // counters reset: from zero
        {{{1.0, 0, 0}, {1.0, 5, 5}}, 0, 5, 5},                  // no time passed: nothing divided
    };
    for (const Case& c : cases) {
        StatsOverlay overlay;
        StatsSample sample;
        for (const Frame& f : c.frames) overlay.measure(f.now, f.draws, f.triangles, &sample);
        EXPECT_NEAR(sample.frameMs, c.frameMs, 1e-6) << c.frames.size();
        EXPECT_EQ(sample.drawCalls, c.draws);
        EXPECT_EQ(sample.triangles, c.triangles);
    }
}

}  // namespace

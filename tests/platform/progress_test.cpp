#include "platform/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::ProgressSnapshot;

TEST(ProgressText, SaysDoneTotalRateAndTimeLeft) {
    struct Case {
        ProgressSnapshot snapshot;
        const char* expected;
    };
    const Case cases[] = {
        {{"capture", "frame", 120, 600, 2.0, 2.0, ""}, "capture: frame 120/600 (20%), show 2.0 s, 60.0 fps, 8 s left"},
        // The very start: no division by zero, nothing made up.
        {{"capture", "frame", 0, 600, 0.0, 0.0, ""},
         "capture: frame 0/600 (0%), show 0.0 s, rate not known yet, time left not known yet"},
        {{"benchmark", "frame", 5, 600, 0.0, -1, ""},
         "benchmark: frame 5/600 (0%), rate not known yet, time left not known yet"},
        // No total yet (still loading).
        {{"benchmark", "frame", 300, 0, 10.0, 1.5, ""},
         "benchmark: frame 300, show time 1.5 s, 30.0 fps, total not known"},
        {{"capture", "frame", 100, 54100, 1.0, -1, ""}, "capture: frame 100/54100 (0%), 100.0 fps, 9:00 left"},
        {{"capture", "frame", 1, 7201, 1.0, -1, ""}, "capture: frame 1/7201 (0%), 1.0 fps, 2:00:00 left"},
        // Done past the total: nothing left, not a wrapped-around count.
        {{"capture", "frame", 610, 600, 10.0, -1, ""}, "capture: frame 610/600 (101%), 61.0 fps, 0 s left"},
        {{"bake", "step", 3, 12, 6.0, -1, "scene data/lake.zks"},
         "bake: step 3/12 (25%) scene data/lake.zks, 0.50 steps/s, 18 s left"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ProgressText(c.snapshot), c.expected);
    EXPECT_EQ(platform::ProgressSummary({"capture", "frame", 600, 600, 10.0, -1, ""}),
              "capture: 600 frames in 10.0 s (60.0 fps)");
    EXPECT_EQ(platform::ProgressSummary({"bake", "step", 1, 1, 0.0, -1, ""}), "bake: 1 step in 0.0 s");
}

TEST(ProgressReporter, RewritesOneLineOnATerminalAndPrintsLinesElsewhere) {
    struct Case {
        bool terminal;
        std::vector<double> times;  // of the updates, frame i + 1 at times[i]
        const char* expected;
    };
    const Case cases[] = {
        // Terminal: at most four rewrites a second, padded over a longer line, then a newline.
        {true,
         {0.1, 0.2, 0.5},
         "\rrun: frame 1/20 (5%), 10.0 fps, 2 s left"
         "\rrun: frame 3/20 (15%), 6.0 fps, 3 s left"
         "\rrun: 3 frames in 0.5 s (6.0 fps)        \n"},
        // Not a terminal: nothing for a short run but the summary.
        {false, {0.1, 0.2, 0.5}, "run: 3 frames in 0.5 s (6.0 fps)\n"},
        // A tenth crossed after a second; then nothing until ten seconds or the next tenth.
        {false,
         {1.0, 2.0, 12.0, 12.5},
         "run: frame 2/20 (10%), 1.0 fps, 18 s left\n"
         "run: frame 3/20 (15%), 0.2 fps, 1:08 left\n"
         "run: 4 frames in 12.5 s (0.3 fps)\n"},
    };
    for (const Case& c : cases) {
        double now = 100;
        std::string written;
        platform::ProgressReporter reporter("run", "frame", {[&](const std::string& t) { written += t; }, c.terminal},
                                            [&] { return now; });
        reporter.setTotal(20);
        uint64_t done = 0;
        for (double t : c.times) {
            now = 100 + t;
            reporter.update(++done);
        }
        reporter.finish();
        reporter.finish();
        EXPECT_EQ(written, c.expected) << "terminal " << c.terminal;
    }
}

}  // namespace

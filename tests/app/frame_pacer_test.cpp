// The frame pacer on a fake clock: each frame takes a fixed time to draw and
// present, and a sleep moves the clock by exactly what was asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "app/frame_pacer.h"

TEST(FramePacer, PacesOnlyASwapThatDoesNotWaitAndNeverSpins) {
    constexpr int kHz = 60;
    constexpr double kPeriod = 1.0 / kHz;
    constexpr double kAudioBuffer = 4096.0 / 44100.0;  // the steps of a coarse music clock
    struct Case {
        const char* name;
        bool accepted;                        // the driver took the swap interval
        double drawSeconds;                   // from the start of a frame to its present
        std::function<double(double)> music;  // the music clock at a steady time (negative: none yet)
        bool paced;
        bool onMusicGrid;  // frames start on multiples of the period on the music clock
    };
    const Case cases[] = {
        // The swap waits for the display: frames already arrive one period apart.
        {"vsync honoured", true, kPeriod, [](double) { return -1.0; }, false, false},
        {"vsync honoured, slow frames", true, 2.5 * kPeriod, [](double) { return -1.0; }, false, false},
        {"refused", false, 0.003, [](double t) { return t - 0.3217; }, true, true},
        {"refused, before the music", false, 0.003, [](double) { return -1.0; }, true, false},
        // Frames slower than the display are not held back to a fraction of its rate.
        {"refused, slow frames", false, 1.5 * kPeriod, [](double t) { return t; }, true, false},
        {"accepted but not honoured", true, 0.002, [](double t) { return t + 2.05; }, true, true},
        {"coarse music clock", false, 0.001,
         [](double t) { return std::floor((t + 0.01) / kAudioBuffer) * kAudioBuffer; }, true, false},
        {"music clock standing still", false, 0.001, [](double) { return 12.5; }, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double t = 100;
        std::vector<double> sleeps, starts;
        std::vector<bool> pacedAfter;
        FramePacer pacer([&] { return t; }, [&](double s) {
            sleeps.push_back(s);
            t += s;
        });
        for (int frame = 0; frame < 240; ++frame) {
            starts.push_back(t);
            t += c.drawSeconds;
            pacer.afterPresent(kHz, c.accepted, c.music(t));
            pacedAfter.push_back(pacer.pacing());
        }
        EXPECT_EQ(pacer.pacing(), c.paced);
        if (!c.paced) {
            EXPECT_TRUE(sleeps.empty());
            continue;
        }
        if (c.drawSeconds > kPeriod) {
            EXPECT_LE(sleeps.size(), 1u);  // after the first frame, whose start is unknown
            continue;
        }
        ASSERT_FALSE(sleeps.empty());
        EXPECT_LE(*std::max_element(sleeps.begin(), sleeps.end()), kPeriod + 1e-9);
        // (The pacer cannot know when the very first frame began.)
        double shortest = 1;
        for (size_t i = 2; i < starts.size(); ++i)
            if (pacedAfter[i - 1]) shortest = std::min(shortest, starts[i] - starts[i - 1]);
        EXPECT_GE(shortest, kPeriod / 2 - 1e-9);
        // The second half, long after any detection, keeps the rhythm.
        EXPECT_NEAR((starts.back() - starts[120]) / double(starts.size() - 121), kPeriod, 0.05 * kPeriod);
        for (size_t i = 121; i < starts.size() && c.onMusicGrid; ++i) {
            const double phase = std::fmod(c.music(starts[i]), kPeriod);
            EXPECT_LT(std::min(phase, kPeriod - phase), 1e-6) << "frame " << i;
        }
    }
}

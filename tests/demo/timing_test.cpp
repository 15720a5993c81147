#include <gtest/gtest.h>

#include <vector>

#include "demo/timing.h"

using namespace timing;

namespace {
void ExpectLevel(std::optional<float> got, float want) {
    ASSERT_TRUE(got.has_value());
    EXPECT_NEAR(*got, want, 1e-5f);
}
}  // namespace

TEST(Timing, OpeningAndClosingOverlays) {
    ExpectLevel(LevelBelow(0.5f, 2.0f), 0.75f);  // fade-in opening at t = 0.5 of 2 s
    EXPECT_FALSE(LevelBelow(2.0f, 2.0f));         // not drawn from t = duration on
    ExpectLevel(LevelBelow(1.5f, 3.0f), 0.5f);   // closing with 1.5 s of the scene left
    // Past the scene's end r is negative: the level goes above 1 and is clamped by the colour packing.
    EXPECT_GT(*LevelBelow(-0.1f, 3.0f), 1.0f);
}

TEST(Timing, CutFadeIsBlackExactlyAtTheCut) {
    // T = 4, B = 1, A = 0.5.
    ExpectLevel(CutFadeLevel(3.5f, 1, 4, 0.5f), 0.5f);
    ExpectLevel(CutFadeLevel(4.0f, 1, 4, 0.5f), 1.0f);
    ExpectLevel(CutFadeLevel(4.25f, 1, 4, 0.5f), 0.5f);
    EXPECT_FALSE(CutFadeLevel(4.5f, 1, 4, 0.5f));
    EXPECT_FALSE(CutFadeLevel(3.0f, 1, 4, 0.5f));
}

TEST(Timing, FlashesTakeTheListInOrderOneStepPerFrame) {
    const float beats[] = {1, 5, 9};
    FlashList flashes;
    flashes.set(beats, 2);
    ExpectLevel(flashes.step(1.5f, 0.5f), 0.375f);
    EXPECT_FALSE(flashes.step(3.5f, 0.5f));
    EXPECT_EQ(flashes.index(), 1);  // moved to the flash at 5
    ExpectLevel(flashes.step(5.0f, 0.5f), 0.5f);
    // A frame long after several beats skips at most one per frame.
    EXPECT_FALSE(flashes.step(20.0f, 0.5f));
    EXPECT_EQ(flashes.index(), 2);
    EXPECT_FALSE(flashes.step(20.0f, 0.5f));
    EXPECT_EQ(flashes.index(), 3);
    // Past the end of the list nothing is drawn and nothing past the list is read.
    EXPECT_FALSE(flashes.step(21.0f, 0.5f));
    EXPECT_EQ(flashes.index(), 3);
}

TEST(Timing, AFlashWhoseTimeHasPassedStillShowsTheRestOfItsWindow) {
    const float beats[] = {1, 2};
    FlashList flashes;
    flashes.set(beats, 2);
    EXPECT_FALSE(flashes.step(3.5f, 1.0f));  // flash 1 over: move on to 2
    ExpectLevel(flashes.step(3.5f, 1.0f), 0.25f);
}

TEST(Timing, AnEmptyFlashListNeverFlashes) {
    FlashList flashes;
    flashes.set({}, 2);
    EXPECT_FALSE(flashes.step(0.0f, 0.5f));
    EXPECT_FALSE(flashes.step(10.0f, 0.5f));
}

TEST(Timing, CameraTables) {
    const float lake[] = {2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22};
    const char* const names[] = {"MainCam",       "FarStrafeCam",   "RotCam",  "RotCamML01",
                                 "RotCamML02",    "RotCamMR01",     "RotCamMR02", "StrafeCamFF01",
                                 "StrafeCamFF02", "RotCam",         "FarStrafeCam", "MainCam"};
    EXPECT_STREQ(CameraByTime(5, lake, names), "RotCam");
    EXPECT_STREQ(CameraByTime(19, lake, names), "RotCam");
    EXPECT_STREQ(CameraByTime(30, lake, names), "MainCam");
    EXPECT_STREQ(CameraByTime(2, lake, names), "FarStrafeCam");  // each bound is exclusive for the earlier camera
    const float temple[] = {5, 10, 15, 20, 25, 30};
    const char* const templeNames[] = {"MainCam", "LowCam", "UpCam", "MainCam", "LowCam", "UpCam", "MainCam"};
    EXPECT_STREQ(CameraByTime(12, temple, templeNames), "UpCam");
    EXPECT_STREQ(CameraByTime(30, temple, templeNames), "MainCam");
}

TEST(Timing, CavernPhasesAndSceneTimes) {
    // T1 = 10, D1 = 5, T2 = 20, D2 = 6.
    auto at = [](float t) { return CavernPhase(t, 10, 5, 20, 6); };
    EXPECT_EQ(at(5).phase, 1);
    EXPECT_FLOAT_EQ(at(12).sceneTime, 2);
    EXPECT_TRUE(at(12).forest);
    EXPECT_FALSE(at(18).forest);
    EXPECT_FLOAT_EQ(at(18).sceneTime, 13);
    EXPECT_EQ(at(27).phase, 4);
    EXPECT_FLOAT_EQ(at(27).sceneTime, 7);  // past D1 = 5: the strafing camera
    EXPECT_FLOAT_EQ(at(40).sceneTime, 29);
    EXPECT_EQ(at(40).phase, 5);
    EXPECT_EQ(at(15).phase, 3);  // the interlude ends exactly at T1 + D1
}

TEST(Timing, CreditLevels) {
    // A = 10, D = 1, H = 4.
    EXPECT_FLOAT_EQ(CreditLevel(10.5f, 10, 1, 4), 0.5f);
    EXPECT_FLOAT_EQ(CreditLevel(10.5f - 1, 10, 1, 4), -0.5f);  // the down line, one D later
    EXPECT_FLOAT_EQ(CreditLevel(12, 10, 1, 4), 1.0f);
    EXPECT_FLOAT_EQ(CreditLevel(15.5f, 10, 1, 4), -0.5f);
    EXPECT_FLOAT_EQ(CreditLevel(15.5f - 1, 10, 1, 4), 0.5f);
    EXPECT_TRUE(CreditVisible(15.5f, 10, 1, 4));
    EXPECT_FALSE(CreditVisible(16, 10, 1, 4));
    EXPECT_FALSE(CreditVisible(9.99f, 10, 1, 4));
}

TEST(Timing, GreetingLines) {
    const auto blocks = GreetingBlocks();
    ASSERT_EQ(blocks.size(), 6u);
    // t = 16.5: block 2's first line at 1.5, second at 0.5, third not yet.
    ExpectLevel(GreetingLineLevel(16.5f, blocks[1], 0), 1.5f);
    ExpectLevel(GreetingLineLevel(16.5f, blocks[1], 1), 0.5f);
    EXPECT_FALSE(GreetingLineLevel(16.5f, blocks[1], 2));
    // t = 7.5: the first line of block 1 (visible from 0 to 8) at 0.5.
    ExpectLevel(GreetingLineLevel(7.5f, blocks[0], 0), 0.5f);
    // The lines the table never shows: the fourth and the twelfth keys.
    std::vector<bool> shown(40, false);
    for (const auto& b : blocks)
        for (int i = 0; i < b.lineCount; ++i) shown[size_t(b.firstLine + i)] = true;
    EXPECT_FALSE(shown[3]);
    EXPECT_FALSE(shown[11]);
    EXPECT_TRUE(shown[31]);
}

TEST(Timing, LoadingSteps) {
    const int steps[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 500};
    EXPECT_EQ(NextLoadStep(steps, 0), 10);
    EXPECT_EQ(NextLoadStep(steps, 10), 20);
    EXPECT_EQ(NextLoadStep(steps, 100), 100);  // the 0 entry ends the list: 500 is never reached
    EXPECT_EQ(NextLoadStep({}, 7), 7);
    // A 2 s frame at 30 fps advances at most 60 frames and never past the target.
    ExpectLevel(LoadingAdvance(100, 10, 30, 2), 60);
    ExpectLevel(LoadingAdvance(40, 10, 30, 2), 30);
    ExpectLevel(LoadingAdvance(10, 10, 30, 2), 0);
    EXPECT_FALSE(LoadingAdvance(10, 11, 30, 2));  // already past: nothing is drawn
    EXPECT_FALSE(LoadingWipe(2.5f));
    ExpectLevel(LoadingWipe(2.0f), -2.0f);
    ExpectLevel(LoadingWipe(0.75f), 0.5f);
    EXPECT_EQ(TickDelta(5u, 0xFFFFFFF0u), 21u);  // across the wrap-around
}

TEST(Timing, SeekingAFlashListSkipsTheFlashesOverByThenWithoutFiringThem) {
    const float beats[] = {1, 5, 9};
    struct Case {
        float t;
        int index;                   // after the seek
        std::optional<float> level;  // of the frame at t (strength 1)
    };
    const Case cases[] = {
        {0, 0, std::nullopt}, {2, 0, 0.5f}, {3.5f, 1, std::nullopt}, {6, 1, 0.5f}, {30, 3, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        FlashList flashes;
        flashes.set(beats, 2);
        flashes.step(20.0f, 1.0f);  // an index from earlier frames is not kept
        flashes.seek(c.t);
        EXPECT_EQ(flashes.index(), c.index);
        EXPECT_EQ(flashes.step(c.t, 1.0f), c.level);
    }
}

// The show's plan against its soundtrack and its scripts: scene lengths that
// add up to the music, sections that start where scenes start, scenes long
// enough for what their scripts show, flash lists made of the music's own
// hits, and texts that fit the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/bake/demo_config.h"
#include "tools/bake/show_plan.h"
#include "tools/bake/soundtrack.h"
#include "tools/music/song.h"

using namespace bake;

namespace {

class ShowPlanTest : public ::testing::Test {
protected:
    ShowPlan plan;
    music::Song song = ShowSong(plan);
};

TEST_F(ShowPlanTest, TheSoundtrackIsTheShowFollowedByASilentCoda) {
    std::string why;
    ASSERT_TRUE(music::CheckSong(song, &why)) << why;
    EXPECT_NEAR(music::SongDuration(song), plan.ShowSeconds() + plan.Bars(kCodaBars), 1e-6);
    // The coda plays nothing but what rings on.
    const double showEnd = plan.ShowSeconds();
    for (const music::NoteEvent& e : music::ScheduleNotes(song)) EXPECT_LT(e.time, showEnd) << music::InstrumentName(e.instrument);
    // Every scene starts where a section of the music starts.
    const std::vector<double> starts = music::SectionStarts(song);
    for (int k = 0; k < kScriptCount; ++k) {
        if (k == kForest) continue;
        const double s = plan.SceneStart(k);
        EXPECT_TRUE(std::any_of(starts.begin(), starts.end(), [&](double t) { return std::fabs(t - s) < 1e-6; }))
            << "scene " << k << " starts at " << s << " s, inside a section";
    }
}

TEST_F(ShowPlanTest, EachSceneFileLastsAsLongAsItsPartOfTheMusic) {
    for (int k = 0; k < kScriptCount; ++k) {
        const double seconds = double(plan.LastFrame(k)) / plan.fps;
        if (k == kCavern)
            EXPECT_NEAR(seconds + plan.Bars(plan.forest1Bars + plan.forest2Bars), plan.SceneSeconds(k), 1e-3);
        else if (k == kForest)
            EXPECT_NEAR(seconds, plan.Bars(plan.forest1Bars + plan.forest2Bars), 1e-3);
        else
            EXPECT_NEAR(seconds, plan.SceneSeconds(k), 1e-3) << "scene " << k;
    }
    // Bars land on whole frames, so cuts on bars land on frames too.
    EXPECT_NEAR(plan.BarSeconds() * plan.fps, std::round(plan.BarSeconds() * plan.fps), 1e-9);
}

TEST_F(ShowPlanTest, ScenesAreLongEnoughForWhatTheirScriptsShow) {
    // The dinosaur's title appears after 14 s, the year after 20 s.
    EXPECT_GE(plan.SceneSeconds(kTRex), 25.0);
    // The sixth block of greetings ends 54 s in.
    EXPECT_GE(plan.SceneSeconds(kGreetings), 56.0);
    // The cavern's interludes fall inside its own timeline: the first cut
    // before the second, the second before the cavern's end.
    const int cavernOwn = plan.bars[kCavern] - plan.forest1Bars - plan.forest2Bars;
    EXPECT_LT(plan.cavernCut1, plan.cavernCut2);
    EXPECT_LT(plan.cavernCut2, cavernOwn);
    // The logo fades out between 7 and 6 s before the cavern ends: the last
    // stretch of cavern is longer than that.
    EXPECT_GT(plan.Bars(cavernOwn - plan.cavernCut2), 7.0);
}

TEST_F(ShowPlanTest, FlashListsAreTheMusicsAccentsInsideTheirScenes) {
    const FlashLists f = MakeFlashLists(plan, song);
    const std::vector<double> accents = music::AccentTimes(song);
    const std::pair<const std::vector<double>*, int> lists[] = {
        {&f.jungle, kJungle}, {&f.lake, kLake}, {&f.temple, kTemple}, {&f.earth, kEarth}};
    for (const auto& [list, script] : lists) {
        ASSERT_FALSE(list->empty()) << "scene " << script;
        EXPECT_LE(list->size(), 256u);
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end()));
        EXPECT_EQ(std::adjacent_find(list->begin(), list->end()), list->end()) << "a time twice";
        for (double t : *list) {
            EXPECT_GE(t, 0.0);
            EXPECT_LT(t, plan.SceneSeconds(script));
            const double absolute = t + plan.SceneStart(script);
            EXPECT_TRUE(std::any_of(accents.begin(), accents.end(), [&](double a) { return std::fabs(a - absolute) < 1e-6; }))
                << "scene " << script << " flashes at " << t << " s, where the music has no accent";
        }
    }
}

TEST_F(ShowPlanTest, TextsFitTheScreenAndTheGreetingsHaveNoGaps) {
    // Lines are revealed letter by letter at 30 pixels a letter or so: about
    // nineteen letters fit beside the left margin.
    for (const std::string& line : CreditLines()) EXPECT_LE(line.size(), 19u) << line;
    const std::vector<std::string> greetings = GreetingLines();
    EXPECT_EQ(greetings.size(), 32u);  // the six blocks show lines up to 32
    for (const std::string& line : greetings) {
        EXPECT_FALSE(line.empty()) << "an empty line ends the greetings early";
        EXPECT_LE(line.size(), 19u) << line;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/demo.h"
#include "app/run_modes.h"

namespace {

class TimedScript final : public SceneScript {
public:
    explicit TimedScript(float seconds) : seconds_(seconds) {}
    void load() override {}
    void start() override {}
    void frame() override {}
    float duration() const override { return seconds_; }

private:
    float seconds_;
};

// The total comes once the show starts: the frames so far plus, for each script
// from the playing one on, its frames at the fixed rate and two for the handover.
TEST(ShowProgress, TotalIsTheFramesSoFarPlusTheRestOfTheShow) {
    struct Case {
        int fixedFps;
        int stateAtFrame3;  // the state of the third frame (the first two load)
        uint64_t total;
    };
    const Case cases[] = {
        {10, frame_state::Running(0), 3 + (15 + 2) + (20 + 2)},  // 1.5 s and 2 s at 10 fps
        {10, frame_state::Running(1), 3 + (20 + 2)},             // started at the second script
        {10, frame_state::kLoading, 0},                          // still loading: not known
        {0, frame_state::Running(0), 0},                         // real time: no frame count to tell
    };
    for (const Case& c : cases) {
        Demo demo;
        demo.scripts.push_back(std::make_unique<TimedScript>(1.5f));
        demo.scripts.push_back(std::make_unique<TimedScript>(2.0f));
        ClockSettings clock;
        clock.fixedFps = c.fixedFps;
        demo.setClock(clock);
        demo.overrideMusicTime(0.5f);
        std::string written;
        double now = 0;
        ShowProgress progress("run", {[&](const std::string& t) { written += t; }, false}, [&] { return now; });
        demo.frameState = frame_state::kLoading;
        progress.frame(demo);
        progress.frame(demo);
        demo.frameState = c.stateAtFrame3;
        now = 20;  // a line is due
        progress.frame(demo);
        EXPECT_EQ(progress.total(), c.total) << c.stateAtFrame3;
        const std::string expected = c.total ? "run: frame 3/" + std::to_string(c.total) : "run: frame 3,";
        EXPECT_EQ(written.rfind(expected, 0), 0u) << written;
    }
}

}  // namespace

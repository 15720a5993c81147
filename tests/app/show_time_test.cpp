// Moving through show time: where a seek lands, and what the keys of a
// real-time run do to the show's clock (on a fixed clock, so it is exact).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/demo.h"
#include "app/show_keys.h"
#include "platform/window.h"

namespace {

// A script that plays `seconds` of music and notes the scene time it was moved
// to. Like the jungle, the first rewinds the music when it starts.
class TimedScript : public SceneScript {
public:
    TimedScript(int index, float seconds) : index_(index), seconds_(seconds) {}
    void load() override {}
    void start() override {
        state_ = Running;
        DemoHost::current()->restartMusic(index_);
        start_ = DemoHost::current()->musicTime();
        sought = -1;
    }
    void seek(float t) override {
        sought = t;
        start_ = DemoHost::current()->musicTime() - t;
    }
    void frame() override {
        if (DemoHost::current()->musicTime() - start_ > seconds_) state_ = Finished;
    }
    float duration() const override { return seconds_; }
    float sought = -1;

private:
    int index_;
    float seconds_;
    float start_ = 0;
};

// Loads scripts of the given lengths in one step.
class TimedLoading : public LoadingSequence {
public:
    explicit TimedLoading(std::vector<float> seconds) : seconds_(std::move(seconds)) {}
    void beginLoading(DemoHost& demo) override { demo.sceneCount = int(seconds_.size()); }
    void loadingStep(DemoHost& demo) override {
        for (size_t i = 0; i < seconds_.size(); ++i)
            demo.scripts.push_back(std::make_unique<TimedScript>(int(i), seconds_[i]));
        demo.loadStatus = DemoHost::LoadFinished;
    }
    void release(DemoHost&) override {}

private:
    std::vector<float> seconds_;
};

// A demo on a 10 fps clock whose show is 2 + 3 + 0 + 4 seconds (the third, like
// the forest, plays no music of its own), run until the show has begun.
struct ShowRig {
    explicit ShowRig(float startTime = -1) : loading({2, 3, 0, 4}) {
        demo.config.setPath("/nonexistent/vlm.ini");  // no soundtrack: a silent clock
        demo.setClock({10});
        demo.setLoadingSequence(&loading);
        demo.setStartTime(startTime);
        demo.running = 1;
        for (int i = 0; i < 10 && demo.frameState < frame_state::Running(0); ++i) demo.frame();
    }
    ~ShowRig() { demo.shutdown(); }
    float sought(int script) const { return static_cast<TimedScript*>(demo.script(script))->sought; }
    TimedLoading loading;
    Demo demo;
};

}  // namespace

TEST(ShowTime, ASeekStartsTheScriptThatCoversTheTimeAtItsSceneTime) {
    struct Case {
        float to;
        int script;
        float sceneTime;
        float music;  // where the music stands
    };
    const Case cases[] = {
        {0, 0, 0, 0}, {1.5f, 0, 1.5f, 1.5f}, {2, 1, 0, 2},  {4.25f, 1, 2.25f, 4.25f},
        {5, 3, 0, 5}, {7, 3, 2, 7},          {20, 3, 4, 9}, {-3, 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (const bool fromTheStart : {false, true}) {
            if (fromTheStart && c.to < 0) continue;  // a negative start time means none
            SCOPED_TRACE(testing::Message() << c.to << (fromTheStart ? " as the start time" : " while playing"));
            ShowRig rig(fromTheStart ? c.to : -1);
            if (!fromTheStart) {
                for (int i = 0; i < 3; ++i) rig.demo.frame();  // the first script plays a while
                rig.demo.seekTo(c.to);
            }
            EXPECT_EQ(rig.demo.frameState, frame_state::Running(c.script));
            EXPECT_FLOAT_EQ(rig.sought(c.script), c.sceneTime);
            // A start time draws its first frame there; the clock moves on after it.
            EXPECT_NEAR(rig.demo.musicTime(), c.music + (fromTheStart ? 0.1f : 0.0f), 1e-3f);
        }
    }
}

TEST(ShowTime, KeysPauseAndMoveTheShowClock) {
    using namespace platform;
    struct Step {
        int key;     // 0: none, only the frames
        int frames;  // run after it
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        float time;  // show time at the end, from 3 s
        bool running = true;
    };
    const Case cases[] = {
        {"space stops the clock, frames go on", {{VK_SPACE, 5}}, 3},
        {"space again resumes it", {{VK_SPACE, 5}, {VK_SPACE, 5}}, 3.5f},
        {"page down: on five seconds", {{VK_NEXT, 0}}, 8},
        {"page down while paused: on, still paused", {{VK_SPACE, 0}, {VK_NEXT, 4}}, 8},
        {"page up: back five seconds, not before 0", {{VK_PRIOR, 0}}, 0},
        {"page up from later", {{VK_NEXT, 0}, {VK_PRIOR, 0}}, 3},
        {"home: the show's start", {{VK_NEXT, 2}, {VK_HOME, 0}}, 0},
        {"arrows and insert are the scripts'", {{VK_LEFT, 0}, {VK_INSERT, 0}}, 3},
        {"escape stops", {{VK_ESCAPE, 0}}, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowRig rig(3);
        rig.demo.seekTo(3);  // back from the frame drawn at the start
        for (const Step& s : c.steps) {
            if (s.key) ApplyShowAction(rig.demo, ActionForKey(s.key));
            for (int i = 0; i < s.frames; ++i) rig.demo.frame();
        }
        EXPECT_NEAR(rig.demo.showTime(), c.time, 1e-3f);
        EXPECT_EQ(rig.demo.isRunning(), c.running);
    }
}

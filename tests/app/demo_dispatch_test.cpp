#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/demo.h"
#include "tests/support/log_capture.h"

using testing_support::LogCapture;

namespace {

// A script that runs for a fixed number of frames and writes what happens to it.
class FakeScript : public SceneScript {
public:
    FakeScript(int index, int frames, std::vector<std::string>* journal)
        : index_(index), framesLeft_(frames), journal_(journal) {}
    void load() override {}
    void start() override {
        state_ = Running;
        journal_->push_back("start " + std::to_string(index_));
    }
    void frame() override {
        journal_->push_back("frame " + std::to_string(index_));
        if (--framesLeft_ <= 0) state_ = Finished;
    }

private:
    int index_;
    int framesLeft_;
    std::vector<std::string>* journal_;
};

// A loading phase that creates `count` scripts over `loadFrames` steps, or fails.
class FakeLoading : public LoadingSequence {
public:
    FakeLoading(int count, int loadFrames, std::vector<std::string>* journal, bool fails = false)
        : count_(count), loadFrames_(loadFrames), journal_(journal), fails_(fails) {}
    void beginLoading(DemoHost& demo) override {
        journal_->push_back("begin loading");
        demo.sceneCount = count_;
    }
    void loadingStep(DemoHost& demo) override {
        journal_->push_back("loading step");
        if (fails_) {
            demo.loadStatus = Demo::LoadFailed;
            return;
        }
        if (--loadFrames_ > 0) return;
        for (int i = 0; i < count_; ++i) demo.scripts.push_back(std::make_unique<FakeScript>(i, 2, journal_));
        demo.loadStatus = Demo::LoadFinished;
    }
    void release(DemoHost&) override { journal_->push_back("release loading"); }

private:
    int count_, loadFrames_;
    std::vector<std::string>* journal_;
    bool fails_;
};

// Runs frames the way the main loop does, with a limit against endless runs.
int RunUntilStopped(Demo& demo, std::vector<std::string>* journal, int limit = 1000) {
    int frames = 0;
    while (demo.isRunning() && frames < limit) {
        journal->push_back("-- state " + std::to_string(demo.frameState));
        demo.frame();
        ++frames;
    }
    return frames;
}

std::vector<std::string> Without(const std::vector<std::string>& all, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& s : all)
        if (s.rfind(prefix, 0) != 0) out.push_back(s);
    return out;
}

}  // namespace

TEST(DemoDispatcher, PlaysTenScriptsInOrderAndEndsAfterTheLast) {
    LogCapture log;
    std::vector<std::string> journal;
    FakeLoading loading(10, 3, &journal);
    Demo demo;
    demo.setLoadingSequence(&loading);
    demo.running = 1;
    const int frames = RunUntilStopped(demo, &journal);
    EXPECT_FALSE(demo.isRunning());

    std::vector<std::string> expected = {"begin loading", "loading step", "loading step", "loading step", "start 0"};
    for (int k = 0; k < 10; ++k) {
        expected.push_back("frame " + std::to_string(k));
        expected.push_back("frame " + std::to_string(k));
        if (k < 9) expected.push_back("start " + std::to_string(k + 1));
    }
    EXPECT_EQ(Without(journal, "--"), expected);
    // 1 begin + 3 loading + 1 music and start 0; then each script has its 2 frames,
    // the frame that sees it finished and the frame that starts the next one; the
    // frame that sees script 9 finished stops the demo.
    EXPECT_EQ(frames, 1 + 3 + 1 + 9 * 4 + 3);
    EXPECT_TRUE(log.errors().empty());
    demo.shutdown();
    EXPECT_EQ(journal.back(), "release loading");
    EXPECT_TRUE(demo.scripts.empty());
}

TEST(DemoDispatcher, AScriptsFirstFrameComesTheFrameAfterItsStart) {
    std::vector<std::string> journal;
    FakeLoading loading(10, 1, &journal);
    Demo demo;
    demo.setLoadingSequence(&loading);
    demo.running = 1;
    RunUntilStopped(demo, &journal);
    // Each "start k" and the following "frame k" are separated by a state marker.
    for (size_t i = 0; i + 1 < journal.size(); ++i)
        if (journal[i].rfind("start ", 0) == 0) {
            EXPECT_EQ(journal[i + 1].rfind("-- state", 0), 0u) << i;
        }
}

TEST(DemoDispatcher, LoadingFailureReportsAndStops) {
    LogCapture log;
    std::vector<std::string> journal;
    FakeLoading loading(10, 1, &journal, /*fails=*/true);
    Demo demo;
    demo.setLoadingSequence(&loading);
    demo.running = 1;
    EXPECT_EQ(RunUntilStopped(demo, &journal), 2);
    ASSERT_EQ(log.reports().size(), 1u);
    EXPECT_EQ(log.reports()[0].level, 1);
    EXPECT_EQ(log.reports()[0].code, -1);
    EXPECT_EQ(log.reports()[0].text, "Demo Loading Crashed, Sorry !");
}

TEST(DemoDispatcher, NoScriptsAfterLoadingEndsTheDemoWithTheWaitMessage) {
    LogCapture log;
    std::vector<std::string> journal;
    FakeLoading loading(0, 1, &journal);
    Demo demo;
    demo.setLoadingSequence(&loading);
    demo.running = 1;
    EXPECT_EQ(RunUntilStopped(demo, &journal), 3);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Wait Scene is not loaded"});
    EXPECT_EQ(demo.frameState, 1);
}

TEST(DemoDispatcher, MissingOrNullScriptsAreSkippedNotCalled) {
    std::vector<std::string> journal;
    // Only four scripts, and the second one null: the dispatcher walks past the
    // gaps and still ends at the state of the tenth script.
    class ShortLoading : public LoadingSequence {
    public:
        explicit ShortLoading(std::vector<std::string>* j) : journal_(j) {}
        void beginLoading(DemoHost&) override {}
        void loadingStep(DemoHost& demo) override {
            for (int i = 0; i < 4; ++i)
                demo.scripts.push_back(i == 1 ? nullptr : std::make_unique<FakeScript>(i, 1, journal_));
            demo.loadStatus = Demo::LoadFinished;
        }
        std::vector<std::string>* journal_;
    } loading(&journal);
    Demo demo;
    demo.setLoadingSequence(&loading);
    demo.running = 1;
    RunUntilStopped(demo, &journal);
    EXPECT_FALSE(demo.isRunning());
    EXPECT_EQ(demo.frameState, 21);
    EXPECT_EQ(Without(journal, "--"),
              (std::vector<std::string>{"start 0", "frame 0", "start 2", "frame 2", "start 3", "frame 3"}));
}

TEST(DemoDispatcher, CurrentIsTheLiveDemo) {
    EXPECT_EQ(Demo::current(), nullptr);
    {
        Demo demo;
        EXPECT_EQ(Demo::current(), &demo);
    }
    EXPECT_EQ(Demo::current(), nullptr);
}

TEST(DemoMusic, NoMusicFileKeepsTheClockAtZero) {
    Demo demo;
    demo.config.setPath("/nonexistent/vlm.ini");
    demo.stopMusic();  // before any start: only the sound system would close
    demo.startMusic();
    EXPECT_EQ(demo.musicTime(), 0.0f);
    demo.restartMusic(0);
    demo.restartMusic(3);
    EXPECT_EQ(demo.musicTime(), 0.0f);
    demo.stopMusic();
}

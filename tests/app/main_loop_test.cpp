// The main loop on a real window of SDL's offscreen driver, with events pushed
// into its queue between frames: what ends the loop, and how, and which runs
// it paces.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/demo.h"
#include "app/program.h"
#include "platform/window.h"

namespace {

// A loading phase that never ends, so every frame is the same; it notes its release.
class EndlessLoading : public LoadingSequence {
public:
    void beginLoading(DemoHost&) override {}
    void loadingStep(DemoHost&) override {}
    void release(DemoHost&) override { released = true; }
    bool released = false;
};

SDL_Event Key(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    return e;
}

SDL_Event Quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

// Pushes events into the queue after given frames, and stops the demo after
// frame 10 so that a loop that ignores them still ends.
class EventPusher : public FrameObserver {
public:
    explicit EventPusher(std::map<int, std::vector<SDL_Event>> events) : events_(std::move(events)) {}
    void afterFrame(Demo& demo, double) override {
        ++frames;
        for (SDL_Event e : events_[frames]) SDL_PushEvent(&e);
        if (frames == 10) demo.stop();
    }
    bool finish(Demo&) override {
        finished = true;
        return true;
    }
    int frames = 0;
    bool finished = false;

private:
    std::map<int, std::vector<SDL_Event>> events_;
};

// Sets an environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_.empty())
            unsetenv(name_.c_str());
        else
            setenv(name_.c_str(), old_.c_str(), 1);
    }

private:
    std::string name_, old_;
};

}  // namespace

TEST(MainLoop, AQuitEndsItAtOnceOnlyEscapeStopsTheDemoAndOnlyRealTimeIsPaced) {
    // The offscreen driver makes windows without a display; the window only asks
    // that one is named.
    ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    ScopedEnv display("DISPLAY", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":0");
    struct Case {
        const char* name;
        std::map<int, std::vector<SDL_Event>> events;  // pushed after these frames
        int frames;                                     // frames run in all
        bool shutdown;                                  // the loop ended through Demo::shutdown
        int fixedFps = 30;                              // 0: real time, on the music device's clock
        bool paced = false;                             // the loop waited after frames
    };
    const Case cases[] = {
        // Arrows, Insert and keys the program does not name leave the demo running; the quit ends the loop
        // before the next frame, without shutdown.
        {"keys then quit", {{1, {Key(SDLK_LEFT), Key(SDLK_a), Key(SDLK_INSERT)}}, {3, {Quit()}}}, 3, false},
        // Escape stops the demo: the loop ends before the next frame and shuts the demo down.
        {"escape", {{2, {Key(SDLK_ESCAPE)}}}, 2, true},
        // Without a device to say the swap waits, a real-time run waits after each frame itself.
        {"real time", {}, 10, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto window = platform::Window::Create({"Velmoor test"}, &error);
        ASSERT_NE(window, nullptr) << error;
        EndlessLoading loading;
        EventPusher pusher(c.events);
        double now = 0;
        int sleeps = 0;
        FramePacer pacer([&] { return now; }, [&](double seconds) {
            now += seconds;
            ++sleeps;
        });
        Demo demo;
        demo.setClock({c.fixedFps});
        demo.setLoadingSequence(&loading);
        demo.running = 1;
        EXPECT_EQ(RunMainLoop(demo, window.get(), &pusher, &pacer), 0);
        EXPECT_EQ(pusher.frames, c.frames);
        EXPECT_EQ(demo.isRunning(), !c.shutdown);
        EXPECT_EQ(loading.released, c.shutdown);
        EXPECT_EQ(pusher.finished, c.shutdown);
        EXPECT_EQ(sleeps > 0, c.paced);
    }
}

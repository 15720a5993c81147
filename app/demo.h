// The application object: owns the render context, the world and the scene
// scripts, runs the loading phase and then the ten scripts one after another, and
// keeps the music clock.
//
// There is one Demo per process; Demo::current() reaches it from the program.
// The demo layer sees it as its DemoHost (the configuration, the load status, the
// scripts, the clocks and the shared overlays). The loading phase (reading scene
// files behind the loading animation) is driven through a LoadingSequence, so the
// dispatcher can run with the real sequencer in the program and with scripted
// stand-ins in tests.
#pragma once

#include <cstdint>
#include <memory>

#include "demo/demo_host.h"
#include "demo/loading_sequence.h"
#include "demo/scene_index.h"
#include "demo/stats_overlay.h"
#include "platform/render_resolution.h"

namespace platform {
class Window;
class SoundSystem;
class MusicStream;
}  // namespace platform
namespace ZK3D {
class Context;
class World;
}  // namespace ZK3D

// How the demo keeps time.
struct ClockSettings {
    // 0: follow the audio device; N: a virtual clock that advances music time by
    // 1/N s after every frame (and the loading tick by 1000/N ms), so runs are
    // reproducible.
    int fixedFps = 0;
};

// The states of the frame dispatcher (Demo::frameState): the loading phase, the
// start of the show, then two states per script: one that runs script k while it
// is running, and one, once it has finished, that starts script k + 1.
namespace frame_state {
inline constexpr int kBeginLoading = 0;
inline constexpr int kLoading = 1;
inline constexpr int kStartShow = 2;  // starts the music and the first script
constexpr int Running(int script) { return 2 * script + 3; }
constexpr int Starting(int script) { return 2 * script + 2; }
// The state that runs the last script: when it has finished, the demo stops.
inline constexpr int kLastRunning = Running(kDemoSceneCount - 1);
// The script a state runs, or -1 when it is not a running state.
constexpr int RunningScript(int state) {
    const bool running = state >= Running(0) && state <= kLastRunning && state % 2 == 1;
    return running ? (state - Running(0)) / 2 : -1;
}
// The script a state starts, or -1 when it is not a starting state (script 0
// is started by kStartShow).
constexpr int StartingScript(int state) {
    const bool starting = state >= Starting(1) && state <= Starting(kDemoSceneCount - 1) && state % 2 == 0;
    return starting ? (state - Starting(0)) / 2 : -1;
}
}  // namespace frame_state

class Demo final : public DemoHost {
public:
    Demo();
    ~Demo() override;

    static Demo* current();

    // Reads "General" from vlm.ini in the current directory, creates the render
    // context and the world. Returns 0 when no render context can be made (the
    // reason has been reported), 1 otherwise.
    int init();
    // One idle step: loading or playing, by frameState (see frame_state).
    void frame();
    void shutdown();
    void stop();
    // Reports message as an error, then stops.
    void fail(const char* message);

    bool isRunning() const { return running != 0; }
    void setWindow(platform::Window* handle) { window_ = handle; }
    platform::Window* window() const { return window_; }

    // ---- music clock ----
    void startMusic();
    float musicTime() const override;
    // Only class ordinal 0 (the jungle, the first scene) rewinds the music.
    void restartMusic(int classOrdinal) override;
    void stopMusic();

    // ---- set-up by the program before init ----
    void setLoadingSequence(LoadingSequence* sequence) { sequence_ = sequence; }
    void setClock(const ClockSettings& clock) { clock_ = clock; }
    const ClockSettings& clock() const { return clock_; }
    // Overrides of the "General" settings from the command line (-1: keep the file's).
    void setDisplayOverrides(int fullscreen, int software) {
        fullscreenOverride_ = fullscreen;
        softwareOverride_ = software;
    }
    // The size and multisampling the render context draws at, set on it as soon
    // as it is made (native is for a window; offscreen, pass a concrete size).
    void setRenderResolution(const platform::RenderResolution& resolution) { resolution_ = resolution; }
    // Begins the show at script `index` instead of 0, with the music where that
    // script would begin (development).
    void setFirstScript(int index) { firstScript_ = index; }
    // Begins the show at this show time instead of at its start (negative: at
    // the start, or where setFirstScript says); see seekTo.
    void setStartTime(float seconds) { startTime_ = seconds; }
    // Ends the show once its time has passed this (negative: at its end).
    void setEndTime(float seconds) { endTime_ = seconds; }
    // The show time the run stops at (--to); negative: the show's end.
    float endTime() const { return endTime_; }
    // Milliseconds for the loading animation: the system tick count, or the
    // virtual tick of a fixed clock.
    uint32_t tickCount() const override;
    bool fixedClock() const override { return clock_.fixedFps > 0; }

    // ---- the application's own state (the configuration, load status and
    // scripts are the host's) ----
    ZK3D::Context* context = nullptr;
    ZK3D::World* world = nullptr;
    int running = 0;
    int frameState = 0;

    // ---- moving through show time (music time) ----
    // Goes to `seconds` of show time, clamped to the show: everything before it is
    // skipped as --start-scene skips it. The script that covers that time (by the
    // scripts' durations, one after another) starts at scene time `seconds` less
    // the sum of the durations before it, with the music at `seconds`; what it
    // builds over time starts there (see SceneScript::seek). Past the last
    // script's end the show ends. Before the show has begun, it says where it
    // begins.
    void seekTo(float seconds);
    // Where the show is: music time once it plays, before that where it will begin.
    float showTime() const;
    // The sum of the scripts' durations.
    float showLength() const;
    // Stops and restarts the show's clock (music and a fixed clock alike); the
    // frames go on, at the time that stands still.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // Whether show time has passed the end time (setEndTime).
    bool pastEnd() const;
    // Whether the last frame came before the start time given with setStartTime
    // (the loading phase of a run that begins later in the show).
    bool beforeStart() const { return startTime_ >= 0 && frameState < frame_state::Running(0); }
    // The music time the last frame was drawn at.
    float frameMusicTime() const { return frameMusicTime_; }

    // Frames run so far (for run modes that count them).
    uint64_t frameCount() const { return frames_; }

    // Shows or hides the stats overlay drawn over every frame before it is presented.
    void toggleStats() { stats_.toggle(); }
    bool statsVisible() const { return stats_.visible(); }

    // Test seam: a fixed music time in seconds instead of the stream's (negative: none).
    void overrideMusicTime(float seconds) { musicTimeOverride_ = seconds; }

private:
    void beginLoading();
    void loadingStep();
    // Releases the scripts, then the shared overlays, then the render context.
    void releaseAll();
    void advanceClock();
    // Starts the script that covers `seconds` of show time there (seekTo once
    // the show plays); returns it, or null.
    SceneScript* startAt(float seconds);
    bool createRenderer(bool fullscreen, bool software);
    void destroyRenderer();
    // The context's before-present hook: measures the frame, draws the stats overlay when on.
    void drawStats();

    platform::Window* window_ = nullptr;
    LoadingSequence* sequence_ = nullptr;
    ClockSettings clock_;
    int fullscreenOverride_ = -1;
    int softwareOverride_ = -1;
    platform::RenderResolution resolution_;
    uint64_t frames_ = 0;
    uint32_t virtualTick_ = 0;
    uint64_t clockRemainder_ = 0;
    float musicTimeOverride_ = -1;
    int firstScript_ = 0;
    float startTime_ = -1, endTime_ = -1;
    float frameMusicTime_ = 0;
    bool paused_ = false;
    StatsOverlay stats_;
    StatsSample statsSample_;
    int statsScript_ = -2;  // the script statsSample_'s names belong to

    std::unique_ptr<ZK3D::Context> ownedContext_;
    std::unique_ptr<ZK3D::World> ownedWorld_;
    std::unique_ptr<platform::SoundSystem> sound_;
    std::unique_ptr<platform::MusicStream> music_;
};

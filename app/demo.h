// The application object: owns the render context, the world and the scene
// scripts, runs the loading phase and then the ten scripts one after another, and
// keeps the music clock.
//
// There is one Demo per process; Demo::current() reaches it from the scripts. The
// loading phase (reading scene files behind the loading animation) is driven
// through a LoadingSequence, so the dispatcher can run with the real sequencer in
// the program and with scripted stand-ins in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/ini_file.h"
#include "app/scene_script.h"

namespace platform {
class Window;
class SoundSystem;
class MusicStream;
}  // namespace platform
namespace ZK3D {
class Context;
class World;
}  // namespace ZK3D

class Demo;
class FadeLayer;
class FlashLayer;
namespace ZK3D {
class zkFont;
class zkText;
}  // namespace ZK3D

// The loading phase: begun once, then stepped once per frame until loadStatus
// says it has finished or failed. It creates the scripts into Demo::scripts.
class LoadingSequence {
public:
    virtual ~LoadingSequence() = default;
    virtual void beginLoading(Demo& demo) = 0;
    virtual void loadingStep(Demo& demo) = 0;
    // Releases what the loading phase still holds (called by Demo::shutdown).
    virtual void release(Demo& /*demo*/) {}
};

// How the demo keeps time.
struct ClockSettings {
    // 0: follow the audio device; N: a virtual clock that advances music time by
    // 1/N s after every frame (and the loading tick by 1000/N ms), so runs are
    // reproducible.
    int fixedFps = 0;
};

class Demo {
public:
    enum LoadStatus : int { Idle = 0, Loading = 1, LoadFinished = 0x10000, LoadFailed = 0x10001 };

    Demo();
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    static Demo* current();

    // Reads "General" from vlm.ini in the current directory, creates the render
    // context and the world. Returns 0 when no render context can be made (the
    // reason has been reported), 1 otherwise.
    int init();
    // One idle step: loading or playing (a 22-state dispatcher).
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
    float musicTime() const;
    void restartMusic(int sceneIndex);
    void stopMusic();

    // ---- shared overlay resources, created on first request (defined with the
    // script framework in demo/) ----
    FlashLayer* flashLayer();
    FadeLayer* fadeLayer();
    ZK3D::zkFont* font();
    ZK3D::zkText* text();

    // ---- set-up by the program before init ----
    void setLoadingSequence(LoadingSequence* sequence) { sequence_ = sequence; }
    void setClock(const ClockSettings& clock) { clock_ = clock; }
    const ClockSettings& clock() const { return clock_; }
    // Overrides of the "General" settings from the command line (-1: keep the file's).
    void setDisplayOverrides(int fullscreen, int software) {
        fullscreenOverride_ = fullscreen;
        softwareOverride_ = software;
    }
    // Begins the show at script `index` instead of 0, with the music where that
    // script would begin (development).
    void setFirstScript(int index) { firstScript_ = index; }
    // Milliseconds for the loading animation: the system tick count, or the
    // virtual tick of a fixed clock.
    uint32_t tickCount() const;

    // ---- state shared with the loading phase and the scripts ----
    ZK3D::Context* context = nullptr;
    ZK3D::World* world = nullptr;
    int running = 0;
    int frameState = 0;
    char configPath[1024] = {};
    IniFile config;
    int sceneCount = 0;
    int loadStatus = Idle;
    std::vector<std::unique_ptr<SceneScript>> scripts;

    // Frames run so far (for run modes that count them).
    uint64_t frameCount() const { return frames_; }

    // Test seam: a fixed music time in seconds instead of the stream's (negative: none).
    void overrideMusicTime(float seconds) { musicTimeOverride_ = seconds; }

    // The shared overlay resources, kept for the demo's lifetime by the script
    // framework (type-erased: app/ does not know their classes).
    std::shared_ptr<void> sharedResources;

private:
    void beginLoading();
    void loadingStep();
    SceneScript* script(int index) const;
    void advanceClock();
    bool createRenderer(bool fullscreen, bool software);
    void destroyRenderer();

    platform::Window* window_ = nullptr;
    LoadingSequence* sequence_ = nullptr;
    ClockSettings clock_;
    int fullscreenOverride_ = -1;
    int softwareOverride_ = -1;
    uint64_t frames_ = 0;
    uint32_t virtualTick_ = 0;
    uint64_t clockRemainder_ = 0;
    float musicTimeOverride_ = -1;
    int firstScript_ = 0;

    std::unique_ptr<ZK3D::Context> ownedContext_;
    std::unique_ptr<ZK3D::World> ownedWorld_;
    std::unique_ptr<platform::SoundSystem> sound_;
    std::unique_ptr<platform::MusicStream> music_;
};

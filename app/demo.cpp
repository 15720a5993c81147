#include "app/demo.h"

#include "engine/render/context.h"
#include "engine/scene/world.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/report.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace {
constexpr int kMixRate = 44100;
}  // namespace

Demo::Demo() = default;

Demo::~Demo() {
    // Whatever an orderly shutdown did not release (the program was asked to quit
    // at once) goes now, in the order shutdown releases it.
    releaseAll();
}

// The host's pointer: Demo is the only host there is.
Demo* Demo::current() { return static_cast<Demo*>(DemoHost::current()); }

int Demo::init() {
    char directory[1024];
    if (!getcwd(directory, sizeof directory)) directory[0] = '\0';
    // A working directory too long for the path falls back to the relative name,
    // which names the same file.
    const int length = std::snprintf(configPath, sizeof configPath, "%s/%s", directory, "vlm.ini");
    if (length < 0 || size_t(length) >= sizeof configPath) std::snprintf(configPath, sizeof configPath, "vlm.ini");
    config.setPath(configPath);

    int fullscreen = 0, software = 0;
    config.getInt("General", "fullscreen", fullscreen, 0);
    config.getInt("General", "software", software, 0);
    if (fullscreenOverride_ >= 0) fullscreen = fullscreenOverride_;
    if (softwareOverride_ >= 0) software = softwareOverride_;
    if (fullscreen) platform::ShowCursor(false);
    return createRenderer(fullscreen != 0, software != 0) ? 1 : 0;
}

void Demo::frame() {
    using namespace frame_state;
    ++frames_;
    switch (frameState) {
        case kBeginLoading:
            frameState = kLoading;
            beginLoading();
            break;
        case kLoading:
            loadingStep();
            if (loadStatus == LoadFinished)
                frameState = kStartShow;
            else if (loadStatus == LoadFailed)
                fail("Demo Loading Crashed, Sorry !");
            break;
        case kStartShow:
            startMusic();
            if (!scripts.empty()) {
                const int first = std::clamp(firstScript_, 0, int(scripts.size()) - 1);
                if (startTime_ >= 0) {
                    // A show that begins later draws its first frame at the time it
                    // begins, so a recording of it starts there.
                    SceneScript* s = startAt(startTime_);
                    if (s && s->state() == SceneScript::Running) s->frame();
                } else {
                    if (first > 0 && music_) {
                        // Where the first script would begin: after all the scripts before it.
                        float seconds = 0;
                        for (int k = 0; k < first; ++k)
                            if (SceneScript* s = script(k)) seconds += s->duration();
                        music_->SetPosition(uint32_t(seconds * 1000.0f));
                    }
                    frameState = Running(first);
                    if (SceneScript* s = script(first)) s->start();
                }
            } else {
                // The loading phase has already released its scene and overlay, so
                // there is nothing to go back to: end the demo.
                LogError("Wait Scene is not loaded");
                frameState = kLoading;
                stop();
            }
            break;
        default:
            if (const int current = RunningScript(frameState); current >= 0) {
                // A missing or finished script hands over to the next; the last one ends the demo.
                SceneScript* s = script(current);
                if (s && s->state() == SceneScript::Running)
                    s->frame();
                else if (frameState == kLastRunning)
                    stop();
                else
                    frameState = Starting(current + 1);
            } else if (const int starting = StartingScript(frameState); starting >= 0) {
                frameState = Running(starting);
                if (SceneScript* s = script(starting)) s->start();
            }
            break;
    }
    frameMusicTime_ = musicTime();
    advanceClock();
}

float Demo::showLength() const {
    float length = 0;
    for (int k = 0; k < int(scripts.size()); ++k)
        if (const SceneScript* s = script(k)) length += s->duration();
    return length;
}

float Demo::showTime() const {
    if (frameState > frame_state::kStartShow) return musicTime();
    return std::max(startTime_, 0.0f);
}

void Demo::seekTo(float seconds) {
    if (frameState <= frame_state::kStartShow) {
        startTime_ = std::max(seconds, 0.0f);  // where the show will begin
        return;
    }
    startAt(seconds);
}

SceneScript* Demo::startAt(float seconds) {
    using namespace frame_state;
    seconds = std::clamp(seconds, 0.0f, showLength());
    // The script whose stretch of the show holds the time; scripts that play no
    // music (the forest, a scene that failed to load) hold none. At the very end
    // it is the last one, at its end.
    int target = 0;
    float begin = 0, targetBegin = 0;
    for (int k = 0; k < int(scripts.size()); ++k) {
        const SceneScript* s = script(k);
        const float d = s ? s->duration() : 0.0f;
        if (d <= 0) continue;
        target = k;
        targetBegin = begin;
        begin += d;
        if (seconds < begin) break;
    }
    if (begin <= 0) seconds = 0;  // no script plays any music: the first starts
    SceneScript* s = script(target);
    frameState = Running(target);
    // Starting first: the jungle rewinds the music as it starts, and the music
    // has to end up at the time sought.
    if (s) s->start();
    if (music_) {
        music_->SetPosition(uint32_t(std::lround(double(seconds) * 1000.0)));
        music_->SetPaused(paused_);
    }
    if (s && s->state() == SceneScript::Running) s->seek(seconds - targetBegin);
    return s;
}

void Demo::setPaused(bool paused) {
    paused_ = paused;
    if (music_) music_->SetPaused(paused);
}

bool Demo::pastEnd() const {
    return endTime_ >= 0 && frameState > frame_state::kStartShow && musicTime() > endTime_;
}

void Demo::beginLoading() {
    if (sequence_) sequence_->beginLoading(*this);
}

void Demo::loadingStep() {
    if (sequence_)
        sequence_->loadingStep(*this);
    else
        loadStatus = LoadFinished;  // nothing to load: the dispatcher moves on
}

void Demo::shutdown() {
    stopMusic();
    // Releasing is safe whatever was made, window or not (headless runs have none).
    if (sequence_) sequence_->release(*this);
    releaseAll();
}

void Demo::releaseAll() {
    for (auto& s : scripts) s.reset();
    scripts.clear();
    sharedResources().release();
    destroyRenderer();
}

void Demo::stop() { running = 0; }

void Demo::fail(const char* message) {
    LogError("%s", message);
    stop();
}

uint32_t Demo::tickCount() const { return clock_.fixedFps > 0 ? virtualTick_ : platform::TickCount(); }

void Demo::advanceClock() {
    if (clock_.fixedFps <= 0) return;
    // Whole milliseconds and whole samples per frame, the remainders carried on,
    // so that N frames are exactly one second.
    const uint64_t fps = uint64_t(clock_.fixedFps);
    virtualTick_ = uint32_t(uint64_t(frames_) * 1000 / fps);
    if (music_ && !paused_) {  // paused, the show's time stands still
        clockRemainder_ += kMixRate;
        music_->Advance(clockRemainder_ / fps);
        clockRemainder_ %= fps;
    }
}

// ---------------------------------------------------------------- music

void Demo::startMusic() {
    if (!sound_)
        sound_ = platform::SoundSystem::Open(
            kMixRate, clock_.fixedFps > 0 ? platform::ClockKind::Virtual : platform::ClockKind::Device);
    char fileName[1024];
    config.getString("Music", "filename", fileName, "", sizeof fileName);
    if (fileName[0]) {
        // A soundtrack that cannot be played has been reported; the show plays
        // in silence on a clock that runs as the music's would, to its end.
        music_ = platform::MusicStream::Open(*sound_, fileName);
        if (!music_) music_ = platform::MusicStream::Silent(*sound_);
    } else if (sound_->clockKind() == platform::ClockKind::Virtual) {
        // No soundtrack named: a device clock stands still, but a fixed clock
        // still moves by the frame, so a capture or benchmark run ends.
        music_ = platform::MusicStream::Silent(*sound_);
    }
    if (music_) {
        music_->Play();
        music_->SetPaused(paused_);  // paused while loading: it begins paused
    }
}

float Demo::musicTime() const {
    if (musicTimeOverride_ >= 0) return musicTimeOverride_;
    return music_ ? float(music_->TimeMs()) / 1000.0f : 0.0f;
}

void Demo::restartMusic(int classOrdinal) {
    if (classOrdinal != 0 || !music_) return;
    music_->SetPaused(true);
    music_->SetPosition(0);
    music_->SetPaused(paused_);
}

void Demo::stopMusic() {
    music_.reset();
    sound_.reset();
}

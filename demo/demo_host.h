// The application as the demo layer sees it. The frame dispatcher, the loading
// phase and the scripts share this state: the configuration, the load status and
// the scripts in demo order (index = scene index). The application keeps the
// clocks and implements the four operations below; the demo layer owns the
// shared overlays and font the scripts draw with.
//
// There is one host per process; DemoHost::current() reaches it from the scripts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "demo/ini_file.h"
#include "demo/scene_script.h"
#include "demo/shared_resources.h"

class DemoHost {
public:
    enum LoadStatus : int { Idle = 0, Loading = 1, LoadFinished = 0x10000, LoadFailed = 0x10001 };

    DemoHost(const DemoHost&) = delete;
    DemoHost& operator=(const DemoHost&) = delete;

    static DemoHost* current();

    // ---- what the application provides ----
    // Seconds of music played so far.
    virtual float musicTime() const = 0;
    // Rewinds the music to its beginning when the starting script is the first
    // scene class (ordinal 0); nothing for the others.
    virtual void restartMusic(int classOrdinal) = 0;
    // Milliseconds for the loading animation.
    virtual uint32_t tickCount() const = 0;
    // True when music time advances by a fixed step per frame (capture, benchmark):
    // the loading phase then waits for each load, so runs are reproducible.
    virtual bool fixedClock() const = 0;

    // The script of a scene index; null for a gap or an index past the list.
    SceneScript* script(int index) const;

    // ---- the shared overlays and font, made on first request ----
    FlashLayer* flashLayer() { return shared_.flashLayer(); }
    FadeLayer* fadeLayer() { return shared_.fadeLayer(); }
    ZK3D::zkFont* font() { return shared_.font(); }
    ZK3D::zkText* text() { return shared_.text(); }
    SharedResources& sharedResources() { return shared_; }

    // ---- state shared by the dispatcher, the loading phase and the scripts ----
    char configPath[1024] = {};
    IniFile config;
    int sceneCount = 0;
    int loadStatus = Idle;
    std::vector<std::unique_ptr<SceneScript>> scripts;

protected:
    DemoHost();
    virtual ~DemoHost();

private:
    SharedResources shared_;
};

// The temple: three cameras in turn at configured moments, particles, white
// flashes on the music's beats; the arrows choose a camera while held. Opens
// through black and closes to white.
//
// Data: the "Temple" section of vlm.ini (opening, closing, the camera changes,
// the beat list) and data/temple.pfd.
#include <cstdio>

#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/effects/particle_system.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kTempleKeys[] = {
    {platform::VK_UP, "MainCam"}, {platform::VK_LEFT, "LowCam"}, {platform::VK_RIGHT, "UpCam"}};
constexpr const char* kTempleCameras[] = {"MainCam", "LowCam", "UpCam", "MainCam", "LowCam", "UpCam", "MainCam"};

class TempleScript final : public DemoScript {
public:
    TempleScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Temple) {
        readOpeningAndClosing(config, "Temple");
        for (int i = 0; i < 6; ++i) {
            char key[32];
            std::snprintf(key, sizeof key, "changecam_seq%d", i + 1);
            config.getFloat("Temple", key, change_[i], 1.0f);
        }
        readFlashList(config, "Temple", "syncfx_flash", "syncfx_flashlength", &beats_);
    }
    void load() override {
        particles_ = loadParticles("data/temple.pfd");
        takeSharedLayers();
    }
    void start() override {
        if (scene_) selectCamera("MainCam");
        beginStart();
    }
    void seek(float t) override {
        DemoScript::seek(t);
        beats_.seek(t);
        if (particles_) particles_->Restart(t);
    }
    void frame() override {
        const float t = sceneTime();
        selectCamera(timing::CameraByTime(t, change_, kTempleCameras));
        applyCameraKeys(kTempleKeys);
        clear();
        drawScene(t);
        if (particles_) particles_->SetTime(t);
        drawEffects(particles_, nullptr);
        drawOverlay(flash_, beats_.step(t, 0.5f));
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, flash_);  // ends in white
        finishWhenOver(r);
        present();
    }

private:
    ZK3D::ParticleSystem* particles_ = nullptr;
    float change_[6] = {};
    timing::FlashList beats_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateTempleScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<TempleScript>(scene, config);
}

// The lake: eleven camera cuts at configured moments, particles and a lens
// flare, white flashes on the music's beats; the arrows and Insert choose a
// camera while held. Opens from white and closes through black.
//
// Data: the "Lake" section of vlm.ini (opening, closing, the cut moments, the
// beat list), data/lake.pfd and data/lake.lfd.
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_system.h"
#include "engine/scene/scene.h"
#include "platform/window.h"

namespace {

constexpr const char* kLakeCutKeys[] = {
    "present_seq1",         "present_seq2",       "metaball_left_start", "metaball_left_reverse",
    "metaball_right_start", "metaball_right_reverse", "metaball_front_start", "metaball_front_reverse",
    "ending_seq1",          "ending_seq2",        "ending_seq3"};
constexpr const char* kLakeCameras[] = {"MainCam",    "FarStrafeCam",  "RotCam",        "RotCamML01",
                                        "RotCamML02", "RotCamMR01",    "RotCamMR02",    "StrafeCamFF01",
                                        "StrafeCamFF02", "RotCam",     "FarStrafeCam",  "MainCam"};
constexpr CameraKey kLakeKeys[] = {{platform::VK_UP, "MainCam"},
                                   {platform::VK_LEFT, "FarStrafeCam"},
                                   {platform::VK_RIGHT, "RotCam"},
                                   {platform::VK_DOWN, "LowRotCam"},
                                   {platform::VK_INSERT, "RotCamMeta01"}};

class LakeScript final : public DemoScript {
public:
    LakeScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Lake) {
        readOpeningAndClosing(config, "Lake");
        for (int i = 0; i < 11; ++i) config.getFloat("Lake", kLakeCutKeys[i], cut_[i], 1.0f);
        readFlashList(config, "Lake", "syncfx_metaball", "syncfx_metaballlength", &beats_);
    }
    void load() override {
        particles_ = loadParticles("data/lake.pfd");
        if (scene_) {
            flare_ = ZK3D::CreateLensFlare("data/lake.lfd", scene_->FindObject("lens1"), 5);
            if (flare_) flare_->compile();
        }
        takeSharedLayers();
    }
    void start() override { beginStart(); }
    void seek(float t) override {
        DemoScript::seek(t);
        beats_.seek(t);
        if (particles_) particles_->Restart(t);
        if (flare_) flare_->Restart();
    }
    void frame() override {
        const float t = sceneTime();
        selectCamera(timing::CameraByTime(t, cut_, kLakeCameras));
        applyCameraKeys(kLakeKeys);
        clear();
        scene_->SetTime(t * float(scene_->animationDescriptor.framesPerSecond));
        if (particles_) particles_->SetTime(t);
        scene_->render();
        drawEffects(particles_, flare_.get());
        drawOverlay(flash_, beats_.step(t, 0.5f));
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, flash_, fade_);  // opens from white
        finishWhenOver(r);
        present();
    }

private:
    ZK3D::ParticleSystem* particles_ = nullptr;  // held by the scene's effect list
    std::unique_ptr<ZK3D::LensFlare> flare_;
    float cut_[11] = {};
    timing::FlashList beats_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateLakeScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<LakeScript>(scene, config);
}

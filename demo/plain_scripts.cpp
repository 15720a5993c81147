// The plainest scripts: the computer (an introductory camera, then the main
// camera), the dinosaur (the title and the year written over it) and the scene
// holder (it only lends the forest to the cavern).
#include "demo/scripts.h"

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/timing.h"
#include "engine/effects/zk_text_effect.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kComputerKeys[] = {{platform::VK_UP, "MainCam"}, {platform::VK_DOWN, "IntroCam01"}};

// ---------------------------------------------------------------- computer

class ComputerScript final : public DemoScript {
public:
    ComputerScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, 6) {
        config.getFloat("Computer", "openningduration", openingDuration_, 1.0f);
        config.getFloat("Computer", "closingduration", closingDuration_, 1.0f);
        config.getFloat("Computer", "maincam_start", mainCamStart_, 1.0f);
    }
    void load() override { takeSharedLayers(); }
    void start() override { beginStart(); }
    void frame() override {
        const float t = sceneTime();
        selectCamera(t >= mainCamStart_ ? "MainCam" : "IntroCam01");
        applyCameraKeys(kComputerKeys);
        clear();
        drawScene(t);
        const float r = timeLeft();
        drawOverlay(fade_, timing::LevelBelow(t, openingDuration_));
        drawOverlay(fade_, timing::LevelBelow(r, closingDuration_));
        finishWhenOver(r);
        present();
    }

private:
    float openingDuration_ = 1, closingDuration_ = 1, mainCamStart_ = 1;
};

// ---------------------------------------------------------------- T-Rex

class TRexScript final : public DemoScript {
public:
    TRexScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, 7) {
        config.getFloat("T-Rex", "openningduration", openingDuration_, 1.0f);
        config.getFloat("T-Rex", "closingduration", closingDuration_, 1.0f);
        // Read for the configuration's sake: this scene keeps its camera unless a key
        // chooses another.
        config.getFloat("T-Rex", "maincam_start", mainCamStart_, 1.0f);
    }
    void load() override {
        takeSharedLayers();
        text_ = ZK3D::zkCreateTextEffect(DemoHost::current()->font(), 20, 400, "", 1, 1, 1, 1, 12, 1.0f, 0, 3);
    }
    void start() override { beginStart(); }
    void frame() override {
        const float t = sceneTime();
        applyCameraKeys(kComputerKeys);
        clear();
        drawScene(t);
        const float r = timeLeft();
        drawOverlay(fade_, timing::LevelBelow(t, openingDuration_));
        drawOverlay(fade_, timing::LevelBelow(r, closingDuration_));
        // The titles come after the closing fade, so they stay while the scene fades out.
        if (t > 14) drawText(text_.get(), 50, 400, "Velmoor", t - 15);
        if (t > 20) drawText(text_.get(), 220, 450, "2000", t - 20);
        finishWhenOver(r);
        present();
    }

private:
    float openingDuration_ = 1, closingDuration_ = 1, mainCamStart_ = 1;
    std::unique_ptr<ZK3D::zkTextEffect> text_;
};

// ---------------------------------------------------------------- scene holder

class SceneHolder final : public SceneScript {
public:
    explicit SceneHolder(ZK3D::Scene* scene) : scene_(scene) {}
    void load() override {}
    void start() override { state_ = Finished; }
    ZK3D::Scene* sharedScene(int) override { return scene_; }
    void frame() override {}

private:
    ZK3D::Scene* scene_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateComputerScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<ComputerScript>(scene, config);
}
std::unique_ptr<SceneScript> CreateTRexScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<TRexScript>(scene, config);
}
std::unique_ptr<SceneScript> CreateSceneHolder(ZK3D::Scene* scene, const IniFile&) {
    return std::make_unique<SceneHolder>(scene);
}

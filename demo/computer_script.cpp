// The computer: the scene seen through an introductory camera, then through the
// main camera from the moment the configuration gives; the arrows choose either
// while held. Opens and closes through black.
//
// Data: the "Computer" section of vlm.ini (opening, closing, main camera start).
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kKeys[] = {{platform::VK_UP, "MainCam"}, {platform::VK_DOWN, "IntroCam01"}};

class ComputerScript final : public DemoScript {
public:
    ComputerScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Computer) {
        readOpeningAndClosing(config, "Computer");
        config.getFloat("Computer", "maincam_start", mainCamStart_, 1.0f);
    }
    void load() override { takeSharedLayers(); }
    void start() override { beginStart(); }
    void frame() override {
        const float t = sceneTime();
        selectCamera(t >= mainCamStart_ ? "MainCam" : "IntroCam01");
        applyCameraKeys(kKeys);
        clear();
        drawScene(t);
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, fade_);
        finishWhenOver(r);
        present();
    }

private:
    float mainCamStart_ = 1;
};

}  // namespace

std::unique_ptr<SceneScript> CreateComputerScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<ComputerScript>(scene, config);
}

// The dinosaur: the scene under the camera it was left with (the arrows choose
// another, which stays), the title and the year written over it in animated
// text from fifteen and twenty seconds on. Opens and closes through black, the
// titles staying over the closing fade.
//
// Data: the "T-Rex" section of vlm.ini (opening, closing) and the shared font.
#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "engine/effects/zk_text_effect.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kKeys[] = {{platform::VK_UP, "MainCam"}, {platform::VK_DOWN, "IntroCam01"}};

class TRexScript final : public DemoScript {
public:
    TRexScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::TRex) {
        readOpeningAndClosing(config, "T-Rex");
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
        applyCameraKeys(kKeys);
        clear();
        drawScene(t);
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, fade_);
        // The titles come after the closing fade, so they stay while the scene fades out.
        if (t > 14) drawText(text_.get(), 50, 400, "Velmoor", t - 15);
        if (t > 20) drawText(text_.get(), 220, 450, "2000", t - 20);
        finishWhenOver(r);
        present();
    }

private:
    float mainCamStart_ = 1;
    std::unique_ptr<ZK3D::zkTextEffect> text_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateTRexScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<TRexScript>(scene, config);
}

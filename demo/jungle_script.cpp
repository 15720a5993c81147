// The jungle, the first scene after loading: four introductory camera cuts, each
// hidden in a fade through black, white flashes on the music's beats, and the
// whole picture drawn through a motion-trail layer with a doubled image inside it.
// Its start rewinds the music to the beginning.
#include <algorithm>
#include <cstdio>

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/core/screen.h"
#include "engine/render/context.h"
#include "engine/render/layers.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kKeys[] = {
    {platform::VK_UP, "MainCam"}, {platform::VK_LEFT, "IntroCam1"}, {platform::VK_RIGHT, "IntroCam2"}};

struct Cut {
    float before = 1, at = 1, after = 1;
};

class JungleScript final : public DemoScript {
public:
    JungleScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Jungle) {
        const char* s = "Jungle";
        readOpeningAndClosing(config, s);
        config.getFloat(s, "flash_in", flashIn_, 1.0f);
        config.getFloat(s, "flash_out", flashOut_, 1.0f);
        config.getFloat(s, "max_blurlevel", maxBlurLevel_, 1.0f);
        for (int i = 0; i < 4; ++i) {
            char key[64];
            std::snprintf(key, sizeof key, "openning_introcam%d", i + 1);
            config.getFloat(s, key, cut_[i].before, 1.0f);
            std::snprintf(key, sizeof key, "transition_introcam%d", i + 1);
            config.getFloat(s, key, cut_[i].at, 1.0f);
            std::snprintf(key, sizeof key, "closing_introcam%d", i + 1);
            config.getFloat(s, key, cut_[i].after, 1.0f);
        }
        readFlashList(config, s, "syncfx_runaway", "syncfx_runawaylength", &beats_);
    }

    void load() override {
        takeSharedLayers();
        DemoHost::current()->text();  // loads the font early
        layerA_.SetRect(0, 0, ZK3D::kScreenWidth, ZK3D::kScreenHeight);
        layerA_.Init();
        layerB_.SetRect(0, 0, 512, 512);
        layerB_.Init();
    }

    void start() override { beginStart(); }
    void seek(float t) override {
        DemoScript::seek(t);
        beats_.seek(t);
        previousTime_ = t;
    }

    void frame() override {
        const float t = sceneTime();
        const float dt = t - previousTime_;
        previousTime_ = t;

        const float bounds[] = {cut_[0].at, cut_[1].at, cut_[2].at, cut_[3].at};
        const char* const cameras[] = {"IntroCam1", "IntroCam2", "MainCam", "IntroCam1", "MainCam"};
        selectCamera(timing::CameraByTime(t, bounds, cameras));
        applyCameraKeys(kKeys);

        // The layers redirect and clear the target; the double image captures inside the trail.
        layerA_.Begin();
        layerB_.Begin();
        drawScene(t);
        if (auto* c = context()) c->SetFog(false, nullptr);
        layerB_.End();
        layerB_.SetFactor(levelB_);
        layerB_.Draw();
        layerA_.End();
        layerA_.SetFactor(levelA_);
        layerA_.Draw();

        drawOverlay(flash_, beats_.step(t, 0.5f));
        for (const Cut& cut : cut_) drawOverlay(fade_, timing::CutFadeLevel(t, cut.before, cut.at, cut.after));
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, fade_);
        finishWhenOver(r);

        // The blur levels only ever fall (nothing raises them), so the layers show
        // the plain picture; flash_in and max_blurlevel are read for completeness.
        for (float* level : {&levelB_, &levelA_})
            if (*level > 0) *level = std::max(0.0f, *level - dt * flashOut_);
        present();
    }

private:
    ZK3D::zkMotionBlurLayer layerA_;
    ZK3D::zkDoubleImageLayer layerB_;
    float flashIn_ = 1, flashOut_ = 1, maxBlurLevel_ = 1;
    Cut cut_[4];
    timing::FlashList beats_;
    float previousTime_ = 0;
    float levelA_ = 0, levelB_ = 0;
};

}  // namespace

std::unique_ptr<SceneScript> CreateJungleScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<JungleScript>(scene, config);
}

// The cloud-covered earth seen through a radial zoom blur: each beat of the
// music starts the blur at full strength with a weak white flash, both dying
// away over the beat. The clouds are drawn straight away rather than sorted.
// Opens and closes through black.
//
// Data: the "Earth" section of vlm.ini (opening, closing, the beat list).
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/core/screen.h"
#include "engine/render/context.h"
#include "engine/render/layers.h"
#include "engine/render/material.h"
#include "engine/render/render_world.h"

namespace {

class SpaceCloudsScript final : public DemoScript {
public:
    SpaceCloudsScript(ZK3D::Scene* scene, const IniFile& config)
        : DemoScript(scene, SceneIndex::Earth), blur_(0.2f, 10) {
        readOpeningAndClosing(config, "Earth");
        readFlashList(config, "Earth", "syncfx_flash", "syncfx_flashlength", &beats_);
    }
    void load() override {
        takeSharedLayers();
        blur_.SetRect(0, 0, ZK3D::kScreenWidth, ZK3D::kScreenHeight);
        blur_.Init();
        // The clouds are drawn straight away instead of through the back-to-front queue.
        if (ZK3D::Material* clouds = ZK3D::FindMaterial("Space_Clouds"))
            clouds->flags = ZK3D::flags::WithBit(clouds->flags, ZK3D::flags::kSorted, false);
    }
    void start() override { beginStart(); }
    void seek(float t) override {
        DemoScript::seek(t);
        beats_.seek(t);
        blur_.SetFactor(0);  // no beat's blur yet, as at the scene's start
    }
    void frame() override {
        const float t = sceneTime();
        blur_.Begin();
        clear();
        drawScene(t);
        blur_.End();
        // A beat starts the blur at full strength and a weak flash, both dying away.
        if (const auto p = beats_.step(t, 1.0f)) {
            if (ZK3D::Context* c = context(); c && c->device()) {
                c->device()->BeginScene();
                blur_.SetFactor(*p);
                if (flash_) flash_->setLevelAndDraw(0.3f * *p);
                c->device()->EndScene();
            }
        }
        blur_.Draw();
        if (flash_) flash_->draw();  // at whatever level it holds
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, fade_);
        finishWhenOver(r);
        present();
    }

private:
    ZK3D::zkMotionRadialBlurLayer blur_;
    timing::FlashList beats_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateSpaceCloudsScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<SpaceCloudsScript>(scene, config);
}

// The cavern, with two interludes in the forest cut into it. The forest's scene
// is borrowed from its script when the cavern starts. The cavern's animation
// waits while the forest is shown, and the forest's animation goes on from the
// first interlude into the second. The first interlude is entered and left
// through white, the second through black, and the demo's logo fades in during
// the second and out near the cavern's end.
//
// Without a forest scene (it failed to load) the interludes are skipped: the
// cavern plays straight through with its flashes at the cut moments.
#include <algorithm>
#include <cstdio>

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/screen_quad.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/core/screen.h"
#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_system.h"
#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/world.h"

namespace {

struct Interlude {
    float preOpening = 1, opening = 1, at = 1, duration = 1, closing = 1, postClosing = 1;
};

void ReadInterlude(const IniFile& config, int n, Interlude* i) {
    auto key = [n](const char* stem) {
        static char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s%d", stem, n);
        return buffer;
    };
    config.getFloat("Cavern", key("preopenning_forest"), i->preOpening, 1.0f);
    config.getFloat("Cavern", key("openning_forest"), i->opening, 1.0f);
    config.getFloat("Cavern", key("transition_forest"), i->at, 1.0f);
    config.getFloat("Cavern", key("duration_forest"), i->duration, 1.0f);
    config.getFloat("Cavern", key("closing_forest"), i->closing, 1.0f);
    config.getFloat("Cavern", key("postclosing_forest"), i->postClosing, 1.0f);
}

class CavernScript final : public DemoScript {
public:
    CavernScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Cavern) {
        readOpeningAndClosing(config, "Cavern");
        ReadInterlude(config, 1, &first_);
        ReadInterlude(config, 2, &second_);
    }

    void load() override {
        if (scene_) {
            particles_ = loadParticles("data/cavern.pfd");
            flare1_ = ZK3D::CreateLensFlare("data/cavern.lfd", scene_->FindObject("lens1"), 5);
            flare2_ = ZK3D::CreateLensFlare("data/cavern.lfd", scene_->FindObject("lens3"), 5);
            if (flare1_) flare1_->compile();
            if (flare2_) flare2_->compile();
        }
        if (ZK3D::Material* light = ZK3D::FindMaterial("LightMat")) {
            using namespace ZK3D::flags;
            ZK3D::RenderFlags f = light->flags;
            f = WithBit(f, kAlphaBlend, true);
            f = WithBlend(f, kBlendAdditive);
            f = WithBit(f, kSorted, true);
            f = WithBit(f, kDepthTest, true);
            light->flags = WithDepth(f, kDepthReadOnly);
        }
        logo_ = std::make_unique<ScreenQuad>(ZK3D::GetTexture("data/logodemo.dds"), 0.0f, 0.0f,
                                             float(ZK3D::kScreenWidth), float(ZK3D::kScreenHeight));
        logo_->setAlpha(0);
        takeSharedLayers();
        DemoHost::current()->text();
    }

    void start() override {
        forest_ = Forest();
        beginStart();
    }

    // The cavern's particles go on from the cavern's own time, which holds still
    // during an interlude.
    void seek(float t) override {
        DemoScript::seek(t);
        const float d1 = forest_ ? first_.duration : 0.0f, d2 = forest_ ? second_.duration : 0.0f;
        const timing::CavernMoment m = timing::CavernPhase(t, first_.at, d1, second_.at, d2);
        const float cavern = m.phase == 2 ? first_.at : m.phase == 4 ? second_.at : m.sceneTime;
        if (particles_) particles_->Restart(cavern);
        for (ZK3D::LensFlare* flare : {flare1_.get(), flare2_.get()})
            if (flare) flare->Restart();
    }

    // The cavern's own length and the two interludes, when there is a forest.
    float duration() const override {
        return DemoScript::duration() + (Forest() ? first_.duration + second_.duration : 0.0f);
    }

    void frame() override {
        const float t = sceneTime();
        clear();
        // Without the forest the interludes take no time.
        const float d1 = forest_ ? first_.duration : 0.0f, d2 = forest_ ? second_.duration : 0.0f;
        const float t1 = first_.at, t2 = second_.at;
        const timing::CavernMoment m = timing::CavernPhase(t, t1, d1, t2, d2);
        if (m.forest)
            drawForest(m.sceneTime, d1);
        else
            drawCavern(m.sceneTime);
        const float r = timeLeft();  // the cavern's: it holds still during an interlude

        using timing::LevelBelow;
        switch (m.phase) {
            case 1:
                drawOpening(fade_, t);
                drawOverlay(flash_, LevelBelow(t1 - t, first_.preOpening));
                break;
            case 2:
                drawOverlay(flash_, LevelBelow(t - t1, first_.opening));
                drawOverlay(flash_, LevelBelow(t1 + d1 - t, first_.closing));
                break;
            case 3:
                drawOverlay(flash_, LevelBelow(t - t1 - d1, first_.postClosing));
                drawOverlay(fade_, LevelBelow(t2 + d1 - t, second_.preOpening));
                break;
            case 4: {
                const float a = t - t2 - d1;
                drawOverlay(fade_, LevelBelow(a, second_.opening));
                drawOverlay(fade_, LevelBelow(t2 + d1 + d2 - t, second_.closing));
                drawLogo(std::min(1.0f, a));
                break;
            }
            default:
                drawOverlay(fade_, LevelBelow(t - t2 - d1 - d2, second_.postClosing));
                drawClosing(flash_, r);
                drawLogo(std::min(1.0f, r - 6));
                break;
        }
        finishWhenOver(r);
        present();
    }

private:
    // The forest's script lends its scene.
    static ZK3D::Scene* Forest() {
        const DemoHost* demo = DemoHost::current();
        SceneScript* holder = demo ? demo->script(int(SceneIndex::Forest)) : nullptr;
        return holder ? holder->sharedScene(0) : nullptr;
    }

    void drawCavern(float c) {
        ZK3D::SetCurrentScene(scene_);
        scene_->SetTime(c * float(scene_->animationDescriptor.framesPerSecond));
        if (particles_) particles_->SetTime(c);
        scene_->render();
        drawEffects(particles_, flare1_.get(), flare2_.get());
    }

    void drawForest(float f, float d1) {
        ZK3D::SetCurrentScene(forest_);
        const char* camera = f > d1 ? "StrafeCam" : "ForwardCam";
        if (camera != forestCamera_) {  // look the name up only when the choice changes
            forest_->currentCamera = static_cast<ZK3D::Camera*>(ZK3D::FindNode(forest_->cameras, camera));
            forestCamera_ = camera;
        }
        forest_->SetTime(f * float(forest_->animationDescriptor.framesPerSecond));
        forest_->render();
    }

    void drawLogo(float alpha) {
        if (!logo_) return;
        logo_->setAlpha(alpha);
        logo_->draw();
    }

    ZK3D::Scene* forest_ = nullptr;                 // the forest's scene, borrowed
    const char* forestCamera_ = nullptr;
    ZK3D::ParticleSystem* particles_ = nullptr;     // held by the scene's effect list
    std::unique_ptr<ZK3D::LensFlare> flare1_, flare2_;
    std::unique_ptr<ScreenQuad> logo_;
    Interlude first_, second_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateCavernScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<CavernScript>(scene, config);
}

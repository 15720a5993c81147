// Space, with four timed credits written over it in animated text (one at a
// time, the last one line revealed from its centre), particles and a lens flare.
// Opens from white and closes through black.
//
// Data: the "Space" section of vlm.ini (opening, closing, the credits' moments,
// texts and places), data/space.pfd, data/cavern.lfd and the shared font.
#include <cstdio>

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/core/screen.h"
#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_system.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_text_effect.h"
#include "engine/scene/scene.h"

namespace {

struct Credit {
    float appear = 1, duration = 1, hold = 1;
};

class SpaceScript final : public DemoScript {
public:
    SpaceScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Space) {
        const char* s = "Space";
        readOpeningAndClosing(config, s);
        char key[64];
        for (int i = 0; i < 4; ++i) {
            std::snprintf(key, sizeof key, "credits_appear%02d", i + 1);
            config.getFloat(s, key, credit_[i].appear, 1.0f);
            std::snprintf(key, sizeof key, "credits_appear_duration%02d", i + 1);
            config.getFloat(s, key, credit_[i].duration, 1.0f);
            std::snprintf(key, sizeof key, "credits_duration%02d", i + 1);
            config.getFloat(s, key, credit_[i].hold, 1.0f);
        }
        for (int i = 0; i < 4; ++i) {
            std::snprintf(key, sizeof key, "credits_text_up%02d", i + 1);
            config.getString(s, key, lines_[2 * i], "", sizeof lines_[0]);
            std::snprintf(key, sizeof key, "credits_text_down%02d", i + 1);
            config.getString(s, key, lines_[2 * i + 1], "", sizeof lines_[0]);
        }
        config.getFloat(s, "credits_up_left", upLeft_, 1.0f);
        config.getFloat(s, "credits_up_up", upUp_, 1.0f);
        config.getFloat(s, "credits_down_left", downLeft_, 1.0f);
        config.getFloat(s, "credits_down_up", downUp_, 1.0f);
    }
    void load() override {
        particles_ = loadParticles("data/space.pfd");
        if (scene_) {
            flare_ = ZK3D::CreateLensFlare("data/cavern.lfd", scene_->FindObject("lens01"), 5);
            if (flare_) flare_->compile();
        }
        takeSharedLayers();
        text_ = ZK3D::zkCreateTextEffect(DemoHost::current()->font(), 20, 400, "", 1, 1, 1, 1, 12, 1.0f, 0, 3);
    }
    void start() override { beginStart(); }
    void seek(float t) override {
        DemoScript::seek(t);
        if (particles_) particles_->Restart(t);
        if (flare_) flare_->Restart();
    }
    void frame() override {
        const float t = sceneTime();
        clear();
        drawScene(t);
        drawCredits(t);
        if (particles_) particles_->SetTime(t);
        drawEffects(particles_, flare_.get());
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, flash_, fade_);
        finishWhenOver(r);
        present();
    }

private:
    // One credit at a time, the first whose window holds t.
    void drawCredits(float t) {
        using timing::CreditLevel;
        for (int i = 0; i < 3; ++i) {
            const Credit& c = credit_[i];
            if (!timing::CreditVisible(t, c.appear, c.duration, c.hold)) continue;
            drawText(text_.get(), upLeft_, upUp_, lines_[2 * i], CreditLevel(t, c.appear, c.duration, c.hold));
            drawText(text_.get(), downLeft_, downUp_, lines_[2 * i + 1],
                     CreditLevel(t - c.duration, c.appear, c.duration, c.hold));
            return;
        }
        const Credit& last = credit_[3];
        if (!timing::CreditVisible(t, last.appear, last.duration, last.hold) || !text_) return;
        // The last credit is one line revealed from its centre outwards, centred on the screen.
        text_->SetOrder(2);
        const float width = text_->font ? text_->font->TextWidth(lines_[6], {1, 1}) : 0.0f;
        drawText(text_.get(), ZK3D::kScreenWidth / 2 - width / 2, upUp_, lines_[6],
                 CreditLevel(t, last.appear, last.duration, last.hold));
    }

    ZK3D::ParticleSystem* particles_ = nullptr;  // held by the scene's effect list
    std::unique_ptr<ZK3D::LensFlare> flare_;
    std::unique_ptr<ZK3D::zkTextEffect> text_;
    Credit credit_[4];
    char lines_[8][256] = {};
    float upLeft_ = 1, upUp_ = 1, downLeft_ = 1, downUp_ = 1;
};

}  // namespace

std::unique_ptr<SceneScript> CreateSpaceScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<SpaceScript>(scene, config);
}

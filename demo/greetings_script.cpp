// The greetings, the last scene: the scene under a constant dark veil, with six
// timed blocks of lines from the configuration written over it, each line
// appearing a second after the one above and fading in and out.
#include <cstdio>
#include <vector>

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/scripts.h"
#include "demo/timing.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_text_effect.h"
#include "engine/render/context.h"
#include "platform/window.h"

namespace {

constexpr CameraKey kKeys[] = {{platform::VK_UP, "MainCam"}, {platform::VK_DOWN, "IntroCam01"}};
constexpr int kMaxLines = 168;

class GreetingsScript final : public DemoScript {
public:
    GreetingsScript(ZK3D::Scene* scene, const IniFile& config) : DemoScript(scene, SceneIndex::Greetings) {
        readOpeningAndClosing(config, "Greetings");
        config.getFloat("Greetings", "maincam_start", mainCamStart_, 1.0f);
        // Lines up to and including the first empty one.
        for (int n = 1; n <= kMaxLines; ++n) {
            char key[32];
            std::snprintf(key, sizeof key, "greetings_text%d", n);
            Line line{};
            config.getString("Greetings", key, line.text, "", sizeof line.text);
            lines_.push_back(line);
            if (!line.text[0]) break;
        }
    }
    void load() override {
        takeSharedLayers();
        text_ = ZK3D::zkCreateTextEffect(DemoHost::current()->font(), 20, 400, "", 1, 1, 1, 1, 12, 1.0f, 0, 2);
    }
    void start() override { beginStart(); }
    void frame() override {
        const float t = sceneTime();
        applyCameraKeys(kKeys);
        clear();
        drawScene(t);
        const float r = timeLeft();
        drawOpeningAndClosing(t, r, fade_, fade_);
        drawOverlay(fade_, 0.8f);  // the veil, in every frame
        const float lineHeight = text_ && text_->font ? text_->font->LineHeight({1, 1}) : 0.0f;
        for (const timing::GreetingBlock& block : timing::GreetingBlocks()) {
            for (int i = 0; i < block.lineCount; ++i) {
                const auto level = timing::GreetingLineLevel(t, block, i);
                const size_t index = size_t(block.firstLine + i);
                // Lines past the last one the configuration gives are not shown.
                if (!level || index >= lines_.size()) continue;
                drawText(text_.get(), 30, 40 + float(i) * lineHeight, lines_[index].text, *level);
            }
        }
        finishWhenOver(r);
        present();
    }

private:
    struct Line {
        char text[256];
    };
    std::vector<Line> lines_;
    std::unique_ptr<ZK3D::zkTextEffect> text_;
    float mainCamStart_ = 1;
};

}  // namespace

std::unique_ptr<SceneScript> CreateGreetingsScript(ZK3D::Scene* scene, const IniFile& config) {
    return std::make_unique<GreetingsScript>(scene, config);
}

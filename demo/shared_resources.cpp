// The overlays and the font all scripts share, made on first request and kept
// until the demo shuts down.
#include <memory>

#include "app/demo.h"
#include "demo/overlay_layer.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"

namespace {

struct SharedResources {
    std::unique_ptr<FlashLayer> flash;
    std::unique_ptr<FadeLayer> fade;
    std::unique_ptr<ZK3D::zkFont> font;
    std::unique_ptr<ZK3D::zkText> text;
};

SharedResources& Resources(Demo& demo) {
    if (!demo.sharedResources) demo.sharedResources = std::make_shared<SharedResources>();
    return *static_cast<SharedResources*>(demo.sharedResources.get());
}

}  // namespace

FlashLayer* Demo::flashLayer() {
    auto& r = Resources(*this);
    if (!r.flash) {
        r.flash = std::make_unique<FlashLayer>();
        r.flash->setRect(0, 0, 640, 480);
        // The layer's base colour is full white; the earth draws the shared layer
        // at whatever level it holds, so a show started there would begin white.
        r.flash->setLevel(0);
    }
    return r.flash.get();
}

FadeLayer* Demo::fadeLayer() {
    auto& r = Resources(*this);
    if (!r.fade) {
        r.fade = std::make_unique<FadeLayer>();
        r.fade->setRect(0, 0, 640, 480);
    }
    return r.fade.get();
}

ZK3D::zkFont* Demo::font() {
    auto& r = Resources(*this);
    // Room for 256 characters with the echoes the animated texts draw of each
    // (up to 12 more quads per letter while it arrives).
    if (!r.font) r.font = ZK3D::zkCreateFont("Font", "data\\bankgothic.vft", "data\\bankgothic.dds", 256 * 13);
    return r.font.get();
}

ZK3D::zkText* Demo::text() {
    auto& r = Resources(*this);
    if (!r.text) r.text = ZK3D::zkCreateText(font(), 15, 15, nullptr, 1, 1, 1, 1);
    return r.text.get();
}

#include "demo/shared_resources.h"

#include "demo/overlay_layer.h"
#include "engine/core/screen.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"

SharedResources::SharedResources() = default;
SharedResources::~SharedResources() { release(); }

FlashLayer* SharedResources::flashLayer() {
    if (!flash_) {
        flash_ = std::make_unique<FlashLayer>();
        flash_->setRect(0, 0, ZK3D::kScreenWidth, ZK3D::kScreenHeight);
        // The layer's base colour is full white; the earth draws the shared layer
        // at whatever level it holds, so a show started there would begin white.
        flash_->setLevel(0);
    }
    return flash_.get();
}

FadeLayer* SharedResources::fadeLayer() {
    if (!fade_) {
        fade_ = std::make_unique<FadeLayer>();
        fade_->setRect(0, 0, ZK3D::kScreenWidth, ZK3D::kScreenHeight);
    }
    return fade_.get();
}

ZK3D::zkFont* SharedResources::font() {
    // Room for 256 characters with the echoes the animated texts draw of each
    // (up to 12 more quads per letter while it arrives).
    if (!font_) font_ = ZK3D::zkCreateFont("Font", "data\\bankgothic.vft", "data\\bankgothic.dds", 256 * 13);
    return font_.get();
}

ZK3D::zkText* SharedResources::text() {
    if (!text_) text_ = ZK3D::zkCreateText(font(), 15, 15, nullptr, 1, 1, 1, 1);
    return text_.get();
}

void SharedResources::release() {
    // The text draws with the font: it goes first.
    text_.reset();
    font_.reset();
    fade_.reset();
    flash_.reset();
}

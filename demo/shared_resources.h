// The overlays and the font every script may share: the full-screen flash and
// fade layers, the font and a text object on it. Each is made on its first
// request and kept until release(), so every request returns the same object.
#pragma once

#include <memory>

class FadeLayer;
class FlashLayer;
namespace ZK3D {
class zkFont;
class zkText;
}  // namespace ZK3D

class SharedResources {
public:
    SharedResources();
    ~SharedResources();
    SharedResources(const SharedResources&) = delete;
    SharedResources& operator=(const SharedResources&) = delete;

    FlashLayer* flashLayer();
    FadeLayer* fadeLayer();
    ZK3D::zkFont* font();
    // Requesting the text loads the font as well (the jungle and the cavern do it
    // early for that); the text itself is never drawn.
    ZK3D::zkText* text();

    // Releases all four; they hold device resources, so this comes before the
    // render context goes.
    void release();

private:
    std::unique_ptr<FlashLayer> flash_;
    std::unique_ptr<FadeLayer> fade_;
    std::unique_ptr<ZK3D::zkFont> font_;
    std::unique_ptr<ZK3D::zkText> text_;
};

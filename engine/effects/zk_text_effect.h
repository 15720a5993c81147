// Animated text: one line drawn with the bitmap font under a single progress
// value (0 hidden, 1 fully shown, more allowed), in one of four styles:
//   2     jitter trail: letters at full size, with randomly shifted, fading echoes
//         while the progress is between 0 and 1;
//   3     reveal: one letter after another, each arriving tall and thin within
//         its slice of the progress, in one of four orders (set with SetOrder);
//   4     zoom trail: letters with enlarged echoes that fade as progress grows;
//   other grow: every letter scaled and faded by the progress.
// Each Draw is one font batch; every character is centred on its pen position.
//
// Not here: choosing text and progress over time (the scene scripts do that).
// Gotcha: the reveal visits one or two steps past the last letter (its step
// count is the length plus one, rounded up to even); those steps draw nothing.
// The jitter style draws from the shared random generator, one number per echo.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/effects/zk_overlay.h"

namespace ZK3D {

class zkTextEffect final : public zkOverlay {
public:
    zkTextEffect(zkFontBase* font, float x, float y, const char* text, const Color& colour, int32_t trail,
                 float amplitude, int32_t order, int32_t style);
    ~zkTextEffect() override;

    // Sets the progress.
    void SetAlpha(float value) override { progress = value; }
    void SetText(const char* text) override;
    void SetPosition(float x, float y) override { position = {x, y}; }
    void SetStyle(int32_t n) override { style = n; }
    void SetTrail(int32_t n) override { trail = n; }
    void SetAmplitude(float value) override { amplitude = value; }
    void SetOrder(int32_t n) override { order = n; }
    void Draw() override;

    const char* text() const { return text_.get(); }

    zkFontBase* font = nullptr;  // not owned
    Vector2 position;
    Color colour;  // kept, not used by the drawing
    int32_t style = 0;
    int32_t order = 0;
    RenderFlags flags = kDefaultRenderFlags;
    int32_t trail = 0;  // number of echoes
    float amplitude = 0;
    float progress = 0;

private:
    void DrawGrow(const char* text);
    void DrawZoomTrail(const char* text);
    void DrawJitterTrail(const char* text);
    void DrawReveal(const char* text);
    // One centred character at (x, position.y + dy).
    void Add(unsigned char c, float x, float dy, Vector2 scale, float alpha, float grey = 1.0f);

    std::unique_ptr<char[]> text_;
};

std::unique_ptr<zkTextEffect> zkCreateTextEffect(zkFontBase* font, float x, float y, const char* text, float r,
                                                 float g, float b, float a, int32_t trail, float amplitude,
                                                 int32_t order, int32_t style);

}  // namespace ZK3D

// The plain text overlay: one batch per Draw, white characters on the font page.
#include "engine/effects/zk_overlay.h"

#include "engine/effects/zk_font.h"
#include "engine/render/context.h"
#include "engine/scene/world.h"
#include "platform/strings.h"

namespace ZK3D {

RenderFlags OverlayFlags() {
    const Context* context = CurrentContext();
    RenderFlags f = context ? context->CurrentFlags() : kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithCull(f, flags::kCullNone);
    f = flags::WithBlend(f, flags::kBlendTransparent);
    return f;
}

zkText::zkText(zkFontBase* font_, float x_, float y_, const char* text, const Color& colour_)
    : font(font_), position{x_, y_}, colour(colour_), flags(OverlayFlags()), text_(DuplicateString(text)) {}

zkText::~zkText() = default;

void zkText::SetText(const char* text) { text_.reset(DuplicateString(text)); }

void zkText::Draw() {
    if (!font) return;
    const Vector2 unit{1, 1};
    const Color white{1, 1, 1, 1};
    Vector2 pen = position;
    font->Begin();
    if (const char* t = text_.get())
        for (; *t; ++t) {
            const auto c = static_cast<unsigned char>(*t);
            font->AddChar(c, pen, unit, white, 0, 0);
            pen.x += font->CharWidth(c, unit);
        }
    if (Context* context = CurrentContext()) {
        context->ResetStage(1);
        context->SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
        context->SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
        context->ApplyFlags(flags);
    }
    font->Flush();
}

std::unique_ptr<zkText> zkCreateText(zkFontBase* font, float x, float y, const char* text, float r, float g, float b,
                                     float a) {
    return std::make_unique<zkText>(font, x, y, text, Color{r, g, b, a});
}

}  // namespace ZK3D

// Font metrics (.vft): a font made from the file, its widths and text measures
// asked for, characters batched at every alignment, and animated text drawn in
// every style and order at several progress values. Bytes after the metrics'
// 5,124 are the text (a fixed line when there are none).
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/effects/random_generator.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_text_effect.h"
#include "fuzz/rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ZK3D;
    const char* path = fuzzing::WriteInput("font.vft", data, size);
    std::string text = "Greetings to all who made it, 0123456789 !?";
    if (size > zkFont::kFileSize) {
        const auto* first = reinterpret_cast<const char*>(data) + zkFont::kFileSize;
        text.assign(first, std::min<size_t>(size - zkFont::kFileSize, 64));
        text.resize(std::strlen(text.c_str()));
    }
    fuzzing::Rig& rig = fuzzing::Rig::Get();
    rig.Begin();
    ThreadRandom() = RandomGenerator();
    if (auto font = zkCreateFont("Font", path, "page.dds", 128)) {
        const Vector2 one{1, 1}, scaled{1.5f, 0.75f};
        for (int c = 0; c < 256; ++c) font->CharWidth(static_cast<unsigned char>(c), scaled);
        font->TextWidth(text.c_str(), one);
        const int32_t length = static_cast<int32_t>(text.size());
        for (const int32_t first : {-1, 0, length / 2, length})
            font->SubTextWidth(text.c_str(), first, first + 3, scaled);
        font->LineHeight(scaled);

        font->Begin();
        Vector2 pen{10, 10};
        for (const int32_t align : {0, 1, 2, 4, 5})
            for (const char c : text) {
                font->AddChar(static_cast<unsigned char>(c), pen, one, {1, 1, 1, 1}, align, align);
                pen.x += font->CharWidth(static_cast<unsigned char>(c), one);
            }
        font->Flush();

        auto effect = zkCreateTextEffect(font.get(), 20, 400, text.c_str(), 1, 1, 1, 1, 12, 1.0f, 0, 1);
        for (int32_t style = 1; style <= 4; ++style) {
            effect->SetStyle(style);
            for (int32_t order = 0; order < (style == 3 ? 4 : 1); ++order) {
                effect->SetOrder(order);
                for (const float progress : {0.0f, 0.3f, 1.0f, 1.5f}) {
                    effect->SetAlpha(progress);
                    effect->Draw();
                }
            }
        }
    }
    rig.End();
    return 0;
}

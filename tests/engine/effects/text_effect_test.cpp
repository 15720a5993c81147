// The animated text on the recording device: what each style adds to the font
// batch (positions, scales, colours, echoes) and the states it draws with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/effects/random_generator.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_text_effect.h"
#include "tests/engine/effects/effects_fixture.h"

using namespace ZK3D;
using effects_test::EffectsTest;

namespace {

struct Added {
    unsigned char c;
    Vector2 position, scale;
    Color colour;
    int32_t h, v;
};

// A real font that also keeps the arguments of every AddChar of the batch.
class RecordingFont final : public zkFontBase {
public:
    explicit RecordingFont(std::unique_ptr<zkFont> font) : font_(std::move(font)) {}
    void Begin() override {
        added.clear();
        font_->Begin();
    }
    void Flush() override { font_->Flush(); }
    int32_t AddChar(unsigned char c, Vector2 p, Vector2 s, const Color& colour, int32_t h, int32_t v) override {
        added.push_back({c, p, s, colour, h, v});
        return font_->AddChar(c, p, s, colour, h, v);
    }
    float CharWidth(unsigned char c, Vector2 s) const override { return font_->CharWidth(c, s); }
    float TextWidth(const char* t, Vector2 s) const override { return font_->TextWidth(t, s); }
    float SubTextWidth(const char* t, int32_t a, int32_t b, Vector2 s) const override {
        return font_->SubTextWidth(t, a, b, s);
    }
    float LineHeight(Vector2 s) const override { return font_->LineHeight(s); }

    std::vector<Added> added;

private:
    std::unique_ptr<zkFont> font_;
};

class TextEffectTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        std::string bytes(5124, '\0');
        const float height = 16;
        std::memcpy(&bytes[0], &height, 4);
        const float widths[3] = {10, 20, 30};  // A, B, C
        for (int i = 0; i < 3; ++i) std::memcpy(&bytes[4100 + 4 * ('A' + i)], &widths[i], 4);
        const float zeroWidth = 5;  // the NUL's glyph has a width here, to show it is never drawn
        std::memcpy(&bytes[4100], &zeroWidth, 4);
        const std::string vft = Write("font.vft", bytes);
        TextureWithSurface("page.dds");
        font = std::make_unique<RecordingFont>(zkCreateFont("Font", vft.c_str(), "page.dds", 256));
    }

    std::unique_ptr<zkTextEffect> Make(const char* text, int32_t style, int32_t trail = 12, float amplitude = 1,
                                       int32_t order = 0) {
        return zkCreateTextEffect(font.get(), 20, 400, text, 1, 1, 1, 1, trail, amplitude, order, style);
    }

    // Draws at the progress; returns the characters added.
    std::vector<Added> DrawAt(zkTextEffect& effect, float progress) {
        effect.SetAlpha(progress);
        Draws().clear();
        Log().clear();
        effect.Draw();
        EXPECT_EQ(Draws().size(), 1u);
        if (!Draws().empty()) {
            EXPECT_EQ(Draws()[0].vertexCount, 6 * font->added.size());
        }
        return font->added;
    }

    std::string Letters(const std::vector<Added>& added) {
        std::string s;
        for (const auto& a : added) s += static_cast<char>(a.c);
        return s;
    }

    std::unique_ptr<RecordingFont> font;
};

void ExpectChar(const Added& a, char c, float x, float y, Vector2 scale, float alpha, float grey = 1) {
    EXPECT_EQ(a.c, static_cast<unsigned char>(c));
    EXPECT_NEAR(a.position.x, x, 1e-4);
    EXPECT_NEAR(a.position.y, y, 1e-4);
    EXPECT_NEAR(a.scale.x, scale.x, 1e-5);
    EXPECT_NEAR(a.scale.y, scale.y, 1e-4);
    EXPECT_NEAR(a.colour.a, alpha, 1e-5);
    EXPECT_NEAR(a.colour.r, grey, 1e-5);
    EXPECT_EQ(a.colour.r, a.colour.g);
    EXPECT_EQ(a.colour.r, a.colour.b);
    EXPECT_EQ(a.h, 1);
    EXPECT_EQ(a.v, 1);
}

const std::vector<std::string> kFilters = {"SetTextureStageState(0,16,2)", "SetTextureStageState(0,17,2)",
                                           "SetTextureStageState(0,18,1)"};

}  // namespace

TEST_F(TextEffectTest, KeepsWhatTheScriptSets) {
    auto effect = Make("AB", 3);
    EXPECT_EQ(effect->flags, 0x00A000C6u);
    EXPECT_EQ(effect->trail, 12);
    EXPECT_EQ(effect->amplitude, 1);
    EXPECT_EQ(effect->order, 0);
    EXPECT_EQ(effect->style, 3);
    effect->SetPosition(5, 6);
    effect->SetStyle(2);
    effect->SetTrail(3);
    effect->SetAmplitude(0.5f);
    effect->SetOrder(1);
    effect->SetAlpha(0.75f);
    std::string source = "CAB";
    effect->SetText(source.c_str());
    source[0] = 'X';
    EXPECT_STREQ(effect->text(), "CAB");
    EXPECT_EQ(effect->position.x, 5);
    EXPECT_EQ(effect->position.y, 6);
    EXPECT_EQ(effect->style, 2);
    EXPECT_EQ(effect->trail, 3);
    EXPECT_EQ(effect->amplitude, 0.5f);
    EXPECT_EQ(effect->order, 1);
    EXPECT_EQ(effect->progress, 0.75f);
}

TEST_F(TextEffectTest, GrowScalesAndFadesEveryLetterInPlace) {
    auto effect = Make("AB", 0);
    auto added = DrawAt(*effect, 0.5f);
    ASSERT_EQ(added.size(), 2u);
    ExpectChar(added[0], 'A', 25, 400, {0.5f, 0.5f}, 0.5f);
    ExpectChar(added[1], 'B', 40, 400, {0.5f, 0.5f}, 0.5f);
    // No filter states for this style: stage 1 reset, stage 0 set, the word, the draw.
    const auto calls = Log().calls();
    for (const auto& f : kFilters) EXPECT_EQ(std::count(calls.begin(), calls.end(), f), 0);
    EXPECT_EQ(calls.front(), "SetTexture(1,null)");
    EXPECT_EQ(calls.back(), "DrawPrimitive(4,452,12,1)");
    EXPECT_EQ(rig.context->AppliedFlags(), effect->flags);

    added = DrawAt(*effect, 3);  // the scale stops at 1
    ExpectChar(added[1], 'B', 40, 400, {1, 1}, 1);
    effect->SetStyle(9);  // any other style grows too
    added = DrawAt(*effect, 0.25f);
    ExpectChar(added[0], 'A', 25, 400, {0.25f, 0.25f}, 0.25f);
}

TEST_F(TextEffectTest, ZoomTrailEchoesShrinkAsProgressGrows) {
    auto effect = Make("AB", 4, 12);
    auto added = DrawAt(*effect, 1);
    EXPECT_EQ(Letters(added), "AB");  // every echo has k >= 1
    const auto calls = Log().calls();
    EXPECT_TRUE(std::search(calls.begin(), calls.end(), kFilters.begin(), kFilters.end()) != calls.end());

    effect->SetTrail(4);
    added = DrawAt(*effect, 0.5f);  // k = 2, 1, 2/3, 1/2: echoes 3 and 4
    ASSERT_EQ(added.size(), 6u);
    ExpectChar(added[0], 'A', 25, 400, {1, 1}, 0.5f);
    ExpectChar(added[1], 'A', 25, 400, {4.0f / 3, 4.0f / 3}, 1 - 2.0f / 3);
    ExpectChar(added[2], 'A', 25, 400, {1, 1}, 0.5f);
    ExpectChar(added[3], 'B', 40, 400, {1, 1}, 0.5f);
}

TEST_F(TextEffectTest, JitterTrailDrawsRandomEchoesOnlyWhileInProgress) {
    auto effect = Make("AB", 2, 4, 3);
    for (float p : {0.0f, 1.0f, 1.5f}) {
        const RandomGenerator before = ThreadRandom();
        auto added = DrawAt(*effect, p);
        ASSERT_EQ(added.size(), 2u);
        ExpectChar(added[0], 'A', 25, 400, {1, 1}, p);
        ExpectChar(added[1], 'B', 40, 400, {1, 1}, p);
        EXPECT_EQ(ThreadRandom().state(), before.state());
    }

    RandomGenerator g = ThreadRandom();
    auto added = DrawAt(*effect, 0.5f);
    // Per letter: four draws, echoes where f = 4 x 0.5 / i < 1 (i = 3, 4).
    std::vector<Added> expected;
    for (auto [c, x] : {std::pair{'A', 25.0f}, std::pair{'B', 40.0f}}) {
        expected.push_back({static_cast<unsigned char>(c), {x, 400}, {1, 1}, {1, 1, 1, 0.5f}, 1, 1});
        for (int i = 1; i <= 4; ++i) {
            const float e = (1 - 2 * g.Next01()) / 0.5f;
            const float f = 4 * 0.5f / static_cast<float>(i);
            if (f < 1)
                expected.push_back({static_cast<unsigned char>(c), {x, 400 + e * 3}, {1, 1},
                                    {std::fabs(e), std::fabs(e), std::fabs(e), (1 - f) * 0.5f}, 1, 1});
        }
    }
    ASSERT_EQ(added.size(), expected.size());
    for (size_t k = 0; k < added.size(); ++k) {
        SCOPED_TRACE(k);
        const Added& e = expected[k];
        ExpectChar(added[k], static_cast<char>(e.c), e.position.x, e.position.y, e.scale, e.colour.a, e.colour.r);
    }
    EXPECT_EQ(ThreadRandom().state(), g.state());
}

TEST_F(TextEffectTest, RevealBringsLettersInOneAfterAnother) {
    auto effect = Make("AB", 3, 2, 1, 0);  // n = 2, four steps of a quarter
    EXPECT_TRUE(DrawAt(*effect, 0.2f).empty());
    EXPECT_EQ(Draws()[0].call, "DrawPrimitive(4,452,0,1)");

    auto added = DrawAt(*effect, 0.25f);  // the first letter arrives: two echoes, then the letter
    ASSERT_EQ(added.size(), 3u);
    // Echo j: t = b + (a - b) j / trail with a = (p - 0) x 4 = 1 and b = 0.
    ExpectChar(added[0], 'A', 25, 400, {0, 50}, 0);
    ExpectChar(added[1], 'A', 25, 400, {0.5f, 50 - 49 * 0.5f}, 0.25f);
    ExpectChar(added[2], 'A', 25, 400, {0, 1}, 0);
    const auto calls = Log().calls();
    EXPECT_TRUE(std::search(calls.begin(), calls.end(), kFilters.begin(), kFilters.end()) != calls.end());

    added = DrawAt(*effect, 0.5f);
    EXPECT_EQ(Letters(added), "AAABBB");
    ExpectChar(added[2], 'A', 25, 400, {1, 1}, 1);  // settled
    ExpectChar(added[5], 'B', 40, 400, {0, 1}, 0);  // just arriving
    // Fully shown: the letters alone, the steps past the text draw nothing.
    EXPECT_EQ(Letters(DrawAt(*effect, 1)), "AB");
    EXPECT_EQ(Letters(DrawAt(*effect, 5)), "AB");

    effect->SetAmplitude(4);  // arriving letters start this much taller
    added = DrawAt(*effect, 0.625f);
    ExpectChar(added.back(), 'B', 40, 400, {0.5f, 4 + (1 - 4) * 0.5f}, 0.5f);
}

TEST_F(TextEffectTest, RevealOrdersPickTheirLetters) {
    // "ABC": n = 3, Q = 4. Below, the letters shown just after each quarter.
    auto effect = Make("ABC", 3, 0, 1, 1);  // right to left
    EXPECT_EQ(Letters(DrawAt(*effect, 0.3f)), "C");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.55f)), "BC");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.8f)), "ABC");
    effect->SetOrder(2);  // centre outwards
    EXPECT_EQ(Letters(DrawAt(*effect, 0.3f)), "B");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.55f)), "BC");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.8f)), "BCA");
    effect->SetOrder(3);  // from the outside in, the centre twice
    EXPECT_EQ(Letters(DrawAt(*effect, 0.1f)), "A");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.3f)), "CA");
    EXPECT_EQ(Letters(DrawAt(*effect, 0.8f)), "BBCA");
    effect->SetOrder(7);  // as order 0
    EXPECT_EQ(Letters(DrawAt(*effect, 0.55f)), "AB");
    auto added = DrawAt(*effect, 1);
    ExpectChar(added[2], 'C', 20 + 30 + 15, 400, {1, 1}, 1);
}

TEST_F(TextEffectTest, RevealOfShortOrMissingTextsStaysInsideThem) {
    for (const char* text : std::vector<const char*>{"", "A", nullptr}) {
        auto effect = Make(text, 3, 3, 1, 2);
        const auto added = DrawAt(*effect, 1);
        EXPECT_EQ(Letters(added), text ? text : "");
        for (int order = 0; order < 4; ++order) {
            effect->SetOrder(order);
            for (float p : {0.0f, 0.5f, 0.99f}) {
                for (const auto& a : DrawAt(*effect, p)) EXPECT_EQ(a.c, 'A');
            }
        }
    }
}

// The bitmap font and the plain text overlay on the recording device: metrics
// reading, quad geometry for every alignment, batches and their overflow.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"
#include "tests/engine/effects/effects_fixture.h"

using namespace ZK3D;
using effects_test::EffectsTest;
using effects_test::VerticesOf;
namespace fs = std::filesystem;

namespace {

struct Metrics {
    float height = 20;
    GlyphRecord glyphs[256] = {};
    float widths[256] = {};

    std::string Bytes() const {
        std::string b(5124, '\0');
        std::memcpy(&b[0], &height, 4);
        std::memcpy(&b[4], glyphs, sizeof glyphs);
        std::memcpy(&b[4100], widths, sizeof widths);
        return b;
    }
};

Metrics SampleMetrics() {
    Metrics m;
    m.glyphs['A'] = {0.1f, 0.2f, 0.3f, 0.4f};
    m.widths['A'] = 12;
    m.glyphs['B'] = {0.3f, 0.2f, 0.5f, 0.4f};
    m.widths['B'] = 10;
    m.widths['C'] = 8;
    m.glyphs[200] = {0.5f, 0.6f, 0.7f, 0.8f};
    m.widths[200] = 30;
    m.glyphs[255] = {0.9f, 0.9f, 1.0f, 1.0f};
    m.widths[255] = 7;
    return m;
}

class FontTest : public EffectsTest {
protected:
    std::unique_ptr<zkFont> MakeFont(int capacity = 256, const Metrics& m = SampleMetrics()) {
        const std::string vft = Write("font.vft", m.Bytes());
        page = TextureWithSurface((dir_ / "font.dds").string());
        return zkCreateFont("Font", vft.c_str(), (dir_ / "font.dds").string().c_str(), capacity);
    }
    Texture* page = nullptr;
};

// Left, top, right and bottom of the quad of character k of the batch, after
// checking that its six vertices form the two triangles of one rectangle.
struct Quad {
    float left, top, right, bottom;
};
Quad QuadOf(const zkFont& font, int k) {
    const ScreenVertex* v = font.batch() + 6 * k;
    const float l = v[0].x, t = v[0].y, r = v[2].x, b = v[1].y;
    EXPECT_EQ(v[1].x, l);
    EXPECT_EQ(v[2].y, t);
    EXPECT_EQ(v[3].x, r);
    EXPECT_EQ(v[3].y, t);
    EXPECT_EQ(v[4].x, l);
    EXPECT_EQ(v[4].y, b);
    EXPECT_EQ(v[5].x, r);
    EXPECT_EQ(v[5].y, b);
    return {l, t, r, b};
}

int FontErrors(const testing_support::LogCapture& reports) {
    int n = 0;
    for (const auto& e : reports.errors()) n += e.rfind("[FT]", 0) == 0;
    return n;
}

}  // namespace

TEST_F(FontTest, QuadsFollowTheAlignmentCodesAndScale) {
    auto font = MakeFont();
    ASSERT_EQ(font->capacity(), 256);
    const Color c{1, 1, 1, 1};
    font->Begin();
    EXPECT_EQ(font->AddChar('A', {100, 50}, {1, 1}, c, 0, 0), 6);
    EXPECT_EQ(font->AddChar('A', {100, 50}, {1, 1}, c, 2, 0), 12);
    font->AddChar('A', {100, 50}, {1, 1}, c, 1, 1);
    font->AddChar('A', {100, 50}, {1, 1}, c, 4, 4);
    font->AddChar('A', {100, 50}, {1, 2}, c, 3, 5);
    font->AddChar('A', {100, 50}, {2, 0.5f}, c, 7, 2);

    Quad q = QuadOf(*font, 0);  // left / top
    EXPECT_FLOAT_EQ(q.left, 100);
    EXPECT_FLOAT_EQ(q.right, 112);
    EXPECT_FLOAT_EQ(q.top, 50);
    EXPECT_FLOAT_EQ(q.bottom, 70);
    q = QuadOf(*font, 1);  // right edge at x
    EXPECT_FLOAT_EQ(q.left, 88);
    EXPECT_FLOAT_EQ(q.right, 100);
    for (int k : {2, 3}) {  // both centring codes
        q = QuadOf(*font, k);
        EXPECT_FLOAT_EQ(q.left, 94);
        EXPECT_FLOAT_EQ(q.right, 106);
        EXPECT_FLOAT_EQ(q.top, 40);
        EXPECT_FLOAT_EQ(q.bottom, 60);
    }
    q = QuadOf(*font, 4);  // bottom edge at y, twice the height; unknown h code is left
    EXPECT_FLOAT_EQ(q.left, 100);
    EXPECT_FLOAT_EQ(q.top, 10);
    EXPECT_FLOAT_EQ(q.bottom, 50);
    q = QuadOf(*font, 5);  // scaled width, half height, unknown codes are left / top
    EXPECT_FLOAT_EQ(q.right, 124);
    EXPECT_FLOAT_EQ(q.top, 50);
    EXPECT_FLOAT_EQ(q.bottom, 60);
}

TEST_F(FontTest, VerticesCarryTheGlyphRectangleColourAndFixedDepth) {
    auto font = MakeFont();
    font->Begin();
    font->AddChar('A', {0, 0}, {1, 1}, {1, 0.5f, 0, 0.25f}, 0, 0);
    const ScreenVertex* v = font->batch();
    const float us[6] = {0.1f, 0.1f, 0.3f, 0.3f, 0.1f, 0.3f};
    const float vs[6] = {0.2f, 0.4f, 0.2f, 0.2f, 0.4f, 0.4f};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v[i].u, us[i]);
        EXPECT_EQ(v[i].v, vs[i]);
        EXPECT_EQ(v[i].z, 1.0f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].diffuse, 0x40FF8000u);
        EXPECT_EQ(v[i].specular, 0u);
    }
}

TEST_F(FontTest, UpperCodesUseTheirOwnGlyphsAndWidths) {
    auto font = MakeFont();
    const char upper[] = {static_cast<char>(200), static_cast<char>(255), 0};
    EXPECT_FLOAT_EQ(font->TextWidth(upper, {1, 1}), 37);
    EXPECT_FLOAT_EQ(font->CharWidth(200, {2, 1}), 60);
    font->Begin();
    font->AddChar(static_cast<unsigned char>(upper[0]), {0, 0}, {1, 1}, {1, 1, 1, 1}, 0, 0);
    EXPECT_EQ(font->batch()[0].u, 0.5f);
    EXPECT_EQ(font->batch()[5].v, 0.8f);
    EXPECT_FLOAT_EQ(QuadOf(*font, 0).right, 30);
}

TEST_F(FontTest, WidthsSumOnlyWithinTheText) {
    auto font = MakeFont();
    EXPECT_EQ(font->TextWidth("", {1, 1}), 0);
    EXPECT_EQ(font->TextWidth(nullptr, {1, 1}), 0);
    EXPECT_FLOAT_EQ(font->TextWidth("ABC", {1, 1}), 30);
    EXPECT_FLOAT_EQ(font->TextWidth("ABC", {0.5f, 3}), 15);
    EXPECT_FLOAT_EQ(font->SubTextWidth("ABC", 1, 2, {1, 1}), 18);
    EXPECT_FLOAT_EQ(font->SubTextWidth("ABC", 0, 0, {1, 1}), 12);
    EXPECT_EQ(font->SubTextWidth("ABC", 2, 1, {1, 1}), 0);
    EXPECT_EQ(font->SubTextWidth("ABC", 0, -1, {1, 1}), 0);
    // Indices past the end add nothing, and nothing past the NUL is read: the
    // buffer below holds a wide character right after it.
    const char buffer[] = {'A', 'B', 0, static_cast<char>(200)};
    EXPECT_FLOAT_EQ(font->SubTextWidth(buffer, 0, 3, {1, 1}), 22);
    EXPECT_FLOAT_EQ(font->SubTextWidth(buffer, -2, 1, {1, 1}), 22);
    EXPECT_FLOAT_EQ(font->LineHeight({1, 1.5f}), 30);
}

TEST_F(FontTest, TextDrawsThreeCharactersInOneCallWithItsStates) {
    auto font = MakeFont();
    auto text = zkCreateText(font.get(), 15, 30, "ABC", 1, 0, 0, 0.5f);
    EXPECT_EQ(text->flags, 0x00A000C6u);  // depth and lighting off, blending by alpha, no culling
    Log().clear();
    Draws().clear();
    text->Draw();

    ASSERT_EQ(Draws().size(), 1u);
    const auto& draw = Draws()[0];
    EXPECT_EQ(draw.call, "DrawPrimitive(4,452,18,1)");
    EXPECT_EQ(draw.textures[0], page->surface());
    const auto v = VerticesOf<ScreenVertex>(draw);
    ASSERT_EQ(v.size(), 18u);
    // The pen advances by each width; every vertex is white and opaque.
    EXPECT_FLOAT_EQ(v[0].x, 15);
    EXPECT_FLOAT_EQ(v[6].x, 27);
    EXPECT_FLOAT_EQ(v[12].x, 37);
    EXPECT_FLOAT_EQ(v[17].x, 45);
    EXPECT_FLOAT_EQ(v[0].y, 30);
    for (const auto& vertex : v) EXPECT_EQ(vertex.diffuse, 0xFFFFFFFFu);

    // Stage 1 reset, stage 0 modulating texture by diffuse, then the word, then the page.
    const auto calls = Log().calls();
    const std::vector<std::string> head = {
        "SetTexture(1,null)",
        "SetTextureStageState(1,1,1)", "SetTextureStageState(1,2,2)", "SetTextureStageState(1,3,1)",
        "SetTextureStageState(1,4,1)", "SetTextureStageState(1,5,0)", "SetTextureStageState(1,6,1)",
        "SetTextureStageState(0,1,4)", "SetTextureStageState(0,2,2)", "SetTextureStageState(0,3,0)",
        "SetTextureStageState(0,4,4)", "SetTextureStageState(0,5,2)", "SetTextureStageState(0,6,0)"};
    ASSERT_GE(calls.size(), head.size() + 2);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + head.size()), head);
    EXPECT_EQ(calls[calls.size() - 2], "SetTexture(0," + std::string(page->name()) + ")");
    EXPECT_EQ(calls.back(), "DrawPrimitive(4,452,18,1)");
    EXPECT_EQ(rig.context->AppliedFlags(), text->flags);
    EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_ZENABLE), 0u);
    EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));

    // A second draw sends no render state again.
    Log().clear();
    text->Draw();
    EXPECT_TRUE(Log().starting("SetRenderState").empty());
}

TEST_F(FontTest, TextOwnsItsCopyAndAnEmptyTextDrawsAnEmptyBatch) {
    auto font = MakeFont();
    std::string source = "AB";
    auto text = zkCreateText(font.get(), 0, 0, source.c_str(), 1, 1, 1, 1);
    source[0] = 'C';
    EXPECT_STREQ(text->text(), "AB");
    text->SetAlpha(0.25f);
    EXPECT_EQ(text->colour.a, 0.25f);
    EXPECT_EQ(text->colour.r, 1);
    text->SetText(nullptr);
    EXPECT_EQ(text->text(), nullptr);
    Draws().clear();
    text->Draw();
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].call, "DrawPrimitive(4,452,0,1)");
}

TEST_F(FontTest, CharactersBeyondCapacityAreDroppedAndReportedOnce) {
    auto font = MakeFont(2);
    const Color c{1, 1, 1, 1};
    font->Begin();
    EXPECT_EQ(font->AddChar('A', {0, 0}, {1, 1}, c, 0, 0), 6);
    EXPECT_EQ(font->AddChar('B', {0, 0}, {1, 1}, c, 0, 0), 12);
    EXPECT_EQ(font->AddChar('C', {0, 0}, {1, 1}, c, 0, 0), 12);
    EXPECT_EQ(font->AddChar('C', {0, 0}, {1, 1}, c, 0, 0), 12);
    EXPECT_EQ(FontErrors(reports), 1);
    EXPECT_TRUE(reports.contains("[FT] Batch full"));
    // The batch holds the first two; a new batch starts empty and fills again.
    font->Flush();
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws().back().vertexCount, 12u);
    font->Begin();
    EXPECT_EQ(font->AddChar('C', {0, 0}, {1, 1}, c, 0, 0), 6);

    // A text longer than the batch draws its first characters.
    auto text = zkCreateText(font.get(), 0, 0, "ABCABC", 1, 1, 1, 1);
    text->Draw();
    EXPECT_EQ(Draws().back().vertexCount, 12u);
    EXPECT_EQ(FontErrors(reports), 1);
}

TEST_F(FontTest, MissingOrShortMetricsLeaveAFontThatDrawsNothing) {
    const std::string missing = (dir_ / "none.vft").string();
    auto font = zkCreateFont("Font", missing.c_str(), "page.dds", 256);
    EXPECT_TRUE(reports.has("[FT] Cannot load VTF : \"" + missing + "\""));
    EXPECT_EQ(font->capacity(), 0);
    EXPECT_EQ(font->texture, nullptr);

    const std::string shortFile = Write("short.vft", SampleMetrics().Bytes().substr(0, 5000));
    auto cut = zkCreateFont("Font", shortFile.c_str(), "page.dds", 256);
    EXPECT_TRUE(reports.contains("[FT] VTF \"" + shortFile + "\" is too short"));

    for (zkFont* f : {font.get(), cut.get()}) {
        f->Begin();
        EXPECT_EQ(f->AddChar('A', {0, 0}, {1, 1}, {1, 1, 1, 1}, 0, 0), 0);
        auto text = zkCreateText(f, 0, 0, "AB", 1, 1, 1, 1);
        text->Draw();
    }
    EXPECT_TRUE(Draws().empty());
}

TEST_F(FontTest, TheBackslashOfTheDemoPathsFindsTheFile) {
    fs::create_directories(dir_ / "data");
    Write("data/font.vft", SampleMetrics().Bytes());
    const std::string path = (dir_ / "data").string() + "\\font.vft";
    auto font = zkCreateFont("Font", path.c_str(), "page.dds", 4);
    EXPECT_EQ(font->capacity(), 4);
    EXPECT_FLOAT_EQ(font->height, 20);
    EXPECT_FLOAT_EQ(font->widths['A'], 12);
    EXPECT_EQ(font->glyphs[200].vBottom, 0.8f);
}

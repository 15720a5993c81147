// Bitmap fonts: .vft size and layout, glyph cells as wide as their advance and
// inside the page without overlap, ink only inside cells, the DDS page's
// header and alpha, deterministic output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/font/font_builder.h"

using namespace font;

namespace {

bool FontAvailable() { return std::ifstream(kDefaultFontPath).good(); }

struct Cell {
    int x0, y0, x1, y1;
};

Cell ToTexels(const GlyphRect& g, const image::Image& page) {
    return {int(std::lround(g.uLeft * float(page.width()))), int(std::lround(g.vTop * float(page.height()))),
            int(std::lround(g.uRight * float(page.width()))), int(std::lround(g.vBottom * float(page.height())))};
}

bool Printable(int code) { return (code >= 0x20 && code < 0x7F) || code >= 0xA0; }

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FontBuilderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!FontAvailable()) return;
        FontOptions options;
        options.pixelSize = 24;
        std::string error;
        built_ = new BuiltFont;
        ok_ = BuildFont(options, *built_, &error);
        error_ = error;
    }
    static void TearDownTestSuite() { delete built_; }
    void SetUp() override {
        if (!FontAvailable()) GTEST_SKIP() << "no " << kDefaultFontPath;
        ASSERT_TRUE(ok_) << error_;
    }
    static BuiltFont* built_;
    static bool ok_;
    static std::string error_;
};
BuiltFont* FontBuilderTest::built_ = nullptr;
bool FontBuilderTest::ok_ = false;
std::string FontBuilderTest::error_;

}  // namespace

TEST_F(FontBuilderTest, VftIs5124BytesInItsLayout) {
    const FontMetrics& m = built_->metrics;
    const std::vector<uint8_t> vft = EncodeVft(m);
    ASSERT_EQ(vft.size(), 5124u);
    auto f = [&](size_t offset) {
        float v;
        std::memcpy(&v, vft.data() + offset, 4);
        return v;
    };
    EXPECT_EQ(f(0), m.height);
    EXPECT_EQ(f(4 + 16 * 'A'), m.glyphs['A'].uLeft);
    EXPECT_EQ(f(4 + 16 * 'A' + 12), m.glyphs['A'].vBottom);
    EXPECT_EQ(f(4100 + 4 * 'A'), m.widths['A']);
    EXPECT_EQ(f(4100 + 4 * 255), m.widths[255]);
    FontMetrics back;
    ASSERT_TRUE(DecodeVft(vft, back));
    EXPECT_TRUE(back == m);
    std::vector<uint8_t> shorter(vft.begin(), vft.end() - 1);
    EXPECT_FALSE(DecodeVft(shorter, back));
}

TEST_F(FontBuilderTest, CellsSpanTheAdvanceAndLineHeight) {
    const FontMetrics& m = built_->metrics;
    const image::Image& page = built_->page;
    EXPECT_GE(m.height, 24.0f);
    EXPECT_EQ(page.width() & (page.width() - 1), 0) << "page width is a power of two";
    EXPECT_EQ(page.height() & (page.height() - 1), 0) << "page height is a power of two";
    for (int c = 0; c < 256; ++c) {
        const GlyphRect& g = m.glyphs[size_t(c)];
        if (!Printable(c)) {
            EXPECT_EQ(m.widths[size_t(c)], 0.0f) << c;
            EXPECT_TRUE(g == GlyphRect{}) << c;
            continue;
        }
        EXPECT_GT(m.widths[size_t(c)], 0.0f) << c;
        EXPECT_GE(g.uLeft, 0.0f);
        EXPECT_GE(g.vTop, 0.0f);
        EXPECT_LE(g.uRight, 1.0f);
        EXPECT_LE(g.vBottom, 1.0f);
        // The cell is exactly the advance wide and the line high, in texels.
        EXPECT_FLOAT_EQ((g.uRight - g.uLeft) * float(page.width()), m.widths[size_t(c)]) << c;
        EXPECT_FLOAT_EQ((g.vBottom - g.vTop) * float(page.height()), m.height) << c;
    }
    EXPECT_GT(m.widths['W'], m.widths['i']);
    EXPECT_EQ(m.widths['0'], m.widths['8']);  // DejaVu's digits share one width
}

TEST_F(FontBuilderTest, CellsDoNotOverlapAndInkStaysInside) {
    const FontMetrics& m = built_->metrics;
    const image::Image& page = built_->page;
    std::vector<int> owner(size_t(page.width()) * size_t(page.height()), -1);
    for (int c = 0; c < 256; ++c) {
        if (m.widths[size_t(c)] == 0) continue;
        const Cell cell = ToTexels(m.glyphs[size_t(c)], page);
        for (int y = cell.y0; y < cell.y1; ++y)
            for (int x = cell.x0; x < cell.x1; ++x) {
                int& o = owner[size_t(y) * size_t(page.width()) + size_t(x)];
                ASSERT_EQ(o, -1) << "codes " << o << " and " << c << " share texel " << x << "," << y;
                o = c;
            }
    }
    int inked = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const image::Rgba p = page.at(x, y);
            EXPECT_EQ(p.r, 255);
            EXPECT_EQ(p.g, 255);
            EXPECT_EQ(p.b, 255);
            if (p.a == 0) continue;
            ++inked;
            EXPECT_NE(owner[size_t(y) * size_t(page.width()) + size_t(x)], -1) << "ink outside cells at " << x << "," << y;
        }
    EXPECT_GT(inked, 1000);

    auto ink = [&](int code) {
        const Cell cell = ToTexels(m.glyphs[size_t(code)], page);
        int n = 0;
        for (int y = cell.y0; y < cell.y1; ++y)
            for (int x = cell.x0; x < cell.x1; ++x) n += page.at(x, y).a > 0;
        return n;
    };
    EXPECT_GT(m.widths[' '], 0.0f);
    EXPECT_EQ(ink(' '), 0);
    EXPECT_EQ(ink(0xA0), 0);  // no-break space
    EXPECT_GT(ink('A'), 20);
    EXPECT_GT(ink(0xE9), 20);  // é
}

TEST_F(FontBuilderTest, FilesAreDeterministicAndPageIsAlphaDds) {
    FontOptions options;
    options.pixelSize = 24;
    BuiltFont again;
    ASSERT_TRUE(BuildFont(options, again));
    EXPECT_TRUE(again.metrics == built_->metrics);
    EXPECT_TRUE(again.page.pixels() == built_->page.pixels());

    const std::string dir = ::testing::TempDir();
    const std::string vft = dir + "font_test.vft", dds = dir + "font_test.dds";
    std::string error;
    ASSERT_TRUE(SaveFont(*built_, vft, dds, PageFormat::A8R8G8B8, &error)) << error;
    EXPECT_EQ(ReadFile(vft), EncodeVft(built_->metrics));
    const std::vector<uint8_t> page = ReadFile(dds);
    const int w = built_->page.width(), h = built_->page.height();
    ASSERT_EQ(page.size(), 128u + size_t(w) * size_t(h) * 4);
    auto u32 = [&](size_t o) { return uint32_t(page[o] | page[o + 1] << 8 | page[o + 2] << 16 | uint32_t(page[o + 3]) << 24); };
    EXPECT_EQ(u32(12), uint32_t(h));
    EXPECT_EQ(u32(16), uint32_t(w));
    EXPECT_EQ(u32(104), 0xFF000000u);
    // Texel (x, y) is B, G, R, A with the coverage as A.
    const Cell a = ToTexels(built_->metrics.glyphs['A'], built_->page);
    for (int y = a.y0; y < a.y1; ++y)
        for (int x = a.x0; x < a.x1; ++x)
            ASSERT_EQ(page[128 + (size_t(y) * size_t(w) + size_t(x)) * 4 + 3], built_->page.at(x, y).a);

    ASSERT_TRUE(SaveFont(*built_, vft, dds, PageFormat::A4R4G4B4, &error)) << error;
    EXPECT_EQ(ReadFile(dds).size(), 128u + size_t(w) * size_t(h) * 2);
    std::remove(vft.c_str());
    std::remove(dds.c_str());
}

TEST_F(FontBuilderTest, Windows1252GivesTheHighControlCodesGlyphs) {
    FontOptions options;
    options.pixelSize = 24;
    options.encoding = Encoding::Windows1252;
    BuiltFont cp;
    ASSERT_TRUE(BuildFont(options, cp));
    EXPECT_EQ(built_->metrics.widths[0x80], 0.0f);
    EXPECT_GT(cp.metrics.widths[0x80], 0.0f);  // euro sign
    EXPECT_GT(cp.metrics.widths[0x97], 0.0f);  // em dash
    EXPECT_EQ(cp.metrics.widths[0x81], 0.0f);  // undefined in the code page
    EXPECT_EQ(cp.metrics.widths['A'], built_->metrics.widths['A']);
}

TEST(FontBuilder, BadInputFailsWithAReason) {
    BuiltFont out;
    std::string error;
    FontOptions missing;
    missing.fontPath = "/nonexistent/font.ttf";
    EXPECT_FALSE(BuildFont(missing, out, &error));
    EXPECT_NE(error.find("cannot open font"), std::string::npos);
    FontOptions notAFont;
    notAFont.fontPath = "/etc/hostname";
    EXPECT_FALSE(BuildFont(notAFont, out, &error));
    FontOptions tiny;
    tiny.pixelSize = 0;
    EXPECT_FALSE(BuildFont(tiny, out, &error));
}

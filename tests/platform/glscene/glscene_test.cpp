// The glscene viewer as a user runs it: headless with --capture, and windowed
// under Xvfb with --screenshot, the two images compared.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

bool Load(const std::string& path, Image* image) {
    int components = 0;
    unsigned char* data = stbi_load(path.c_str(), &image->width, &image->height, &components, 3);
    if (!data) return false;
    image->rgb.assign(data, data + size_t(image->width) * size_t(image->height) * 3);
    stbi_image_free(data);
    return true;
}

class GlScene : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("velmoor_glscene_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    static int Run(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }
    std::filesystem::path dir_;
};

::testing::AssertionResult Near(const unsigned char* p, int r, int g, int b, int tolerance) {
    if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << int(p[0]) << ", " << int(p[1]) << ", " << int(p[2])
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}

TEST_F(GlScene, HeadlessCaptureShowsTheScene) {
    ASSERT_EQ(Run(std::string(GLSCENE_PATH) + " --capture " + Path("scene.png")), 0);
    Image image;
    ASSERT_TRUE(Load(Path("scene.png"), &image));
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);
    // The sky is the clear colour, which is also the fog colour.
    EXPECT_TRUE(Near(image.At(300, 100), 0x60, 0x80, 0xA0, 0));
    // The strip: white at alpha 128/255 over the sky.
    const double a = 128.0 / 255;
    EXPECT_TRUE(Near(image.At(100, 30), int(255 * a + 0x60 * (1 - a) + 0.5), int(255 * a + 0x80 * (1 - a) + 0.5),
                     int(255 * a + 0xA0 * (1 - a) + 0.5), 2));
    // Ground past the fog's end is the fog colour; near ground is green checkers.
    EXPECT_TRUE(Near(image.At(20, 184), 0x60, 0x80, 0xA0, 3));
    const unsigned char* near = image.At(40, 460);
    EXPECT_GT(near[1], near[0]);
    EXPECT_GT(near[1], near[2]);
    // The lit brick box in the middle.
    const unsigned char* box = image.At(320, 300);
    EXPECT_GT(box[0], box[1] + 40);
    EXPECT_GT(box[0], box[2] + 40);
}

TEST_F(GlScene, WindowShowsWhatTheHeadlessCaptureShows) {
    if (Run("command -v xvfb-run") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    ASSERT_EQ(Run(std::string(GLSCENE_PATH) + " --capture " + Path("headless.png")), 0);
    ASSERT_EQ(Run("xvfb-run -a -s '-screen 0 1024x768x24' " + std::string(GLSCENE_PATH) + " --screenshot " +
                  Path("window.png")),
              0);
    Image headless, window;
    ASSERT_TRUE(Load(Path("headless.png"), &headless));
    ASSERT_TRUE(Load(Path("window.png"), &window));
    ASSERT_EQ(window.width, headless.width);
    ASSERT_EQ(window.height, headless.height);
    size_t off = 0;
    int worst = 0;
    for (size_t i = 0; i < headless.rgb.size(); i += 3) {
        int d = 0;
        for (size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(int(headless.rgb[i + c]) - int(window.rgb[i + c])));
        worst = std::max(worst, d);
        off += d > 2;
    }
    EXPECT_LE(off, headless.rgb.size() / 3 / 1000) << "pixels differing by more than 2";
    EXPECT_LE(worst, 24);

    // A wider window: the back buffer scaled by 500/480 with its aspect kept,
    // centred between black bars.
    ASSERT_EQ(Run("xvfb-run -a -s '-screen 0 1024x768x24' " + std::string(GLSCENE_PATH) +
                  " --window 1000x500 --screenshot " + Path("wide.png")),
              0);
    Image wide;
    ASSERT_TRUE(Load(Path("wide.png"), &wide));
    ASSERT_EQ(wide.width, 1000);
    ASSERT_EQ(wide.height, 500);
    const double scale = 500.0 / 480;
    const int left = (1000 - int(std::lround(640 * scale))) / 2;
    EXPECT_TRUE(Near(wide.At(left - 2, 250), 0, 0, 0, 0));
    EXPECT_TRUE(Near(wide.At(1000 - left + 1, 250), 0, 0, 0, 0));
    EXPECT_TRUE(Near(wide.At(left + 2, 100), 0x60, 0x80, 0xA0, 2));
    const auto mapped = [&](int x, int y) { return wide.At(left + int(x * scale), int(y * scale)); };
    EXPECT_TRUE(Near(mapped(300, 100), 0x60, 0x80, 0xA0, 2));
    const unsigned char* box = mapped(320, 300);
    EXPECT_GT(box[0], box[1] + 40);
}

}  // namespace

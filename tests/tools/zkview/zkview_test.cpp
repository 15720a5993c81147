// The scene viewer on the OpenGL device (EGL, offscreen): camera choice and
// time over a written scene file, the PNG capture read back, and the zkview
// command line run headless. Skipped where no EGL context can be made.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/render/mode_selection.h"
#include "tools/image/jpeg_writer.h"
#include "tools/zks/zks_writer.h"
#include "tools/zkview/viewer.h"

using namespace ZK3D;

namespace {

namespace fs = std::filesystem;

zks::Node Placed(const std::string& name, const std::string& parent, zks::Vec3 t = {}) {
    zks::Node n;
    n.name = name;
    n.parent = parent;
    n.transform.translation = t;
    return n;
}

// A red square in front of camera "Front"; camera "Away" looks past it into the
// blue background. The square slides off to the side over three seconds.
zks::Scene TwoCameraScene() {
    zks::Scene s;
    s.kind = zks::SceneKind::Animated;
    s.name = "View";
    s.background = zks::Rgb(0, 0, 1);
    s.animation = {0, 30, 10};
    zks::Mesh m;
    m.name = "Square";
    m.material = "Red";
    const zks::Vec3 n{0, -1, 0};
    m.vertices = {{{-2, 0, -2}, n, 0, 0}, {{2, 0, -2}, n, 1, 0}, {{2, 0, 2}, n, 1, 1}, {{-2, 0, 2}, n, 0, 1}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    s.meshes.push_back(m);
    zks::Material red;
    red.name = "Red";
    red.renderFlags = 0x002000D3;
    red.diffuse = {};
    red.ambient = {};
    red.emissive = zks::Rgb(1, 0, 0);
    s.materials.push_back(red);
    for (const char* name : {"Front", "Away"}) {
        zks::Camera c;
        c.name = name;
        c.target = std::string(name) == "Front" ? "Root" : "Aside";
        c.fov = 1.0f;
        c.farPlane = 500;
        s.cameras.push_back(c);
    }
    s.nodes.push_back(Placed("Root", ""));
    zks::Node square = Placed("Square", "Root");
    square.controller = zks::Controller::PRS;
    square.position = zks::KeyTrack{zks::ValueType::Position, zks::Interpolation::Linear,
                                     {zks::PositionKey(0, {0, 0, 0}), zks::PositionKey(30, {100, 0, 0})}, {}};
    s.nodes.push_back(square);
    s.nodes.push_back(Placed("Front", "Root", {0, -10, 0}));
    s.nodes.push_back(Placed("Away", "Root", {0, -10, 0}));
    s.nodes.push_back(Placed("Aside", "Root", {-100, 0, 0}));
    return s;
}

class ViewerGL : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("zkview_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
        file_ = (dir_ / "view.zks").string();
        std::string error;
        ASSERT_TRUE(zks::SaveScene(TwoCameraScene(), file_, &error)) << error;
        ResetModeSelection();
        SelectMode(640, 480, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
    }
    void TearDown() override {
        context_.reset();
        ResetModeSelection();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // A pixel of a 640 x 480 PNG, as 0xRRGGBB; -1 when it cannot be read, -2 for
    // another size.
    static long PixelOf(const std::string& png, int x, int y) {
        int w = 0, h = 0, n = 0;
        unsigned char* data = stbi_load(png.c_str(), &w, &h, &n, 3);
        if (!data) return -1;
        long rgb = -2;
        if (w == 640 && h == 480) {
            const unsigned char* p = data + 3 * (static_cast<size_t>(y) * static_cast<size_t>(w) + x);
            rgb = (long(p[0]) << 16) | (long(p[1]) << 8) | p[2];
        }
        stbi_image_free(data);
        return rgb;
    }
    static long CentreOf(const std::string& png) { return PixelOf(png, 320, 240); }

    fs::path dir_;
    std::string file_;
    std::unique_ptr<Context> context_;
};

}  // namespace

TEST_F(ViewerGL, CamerasTimeAndCapture) {
    zkview::Viewer viewer(*context_);
    std::string error;
    EXPECT_FALSE(viewer.Open((dir_ / "none.zks").string(), &error));
    EXPECT_NE(error.find("could not be loaded"), std::string::npos);
    ASSERT_TRUE(viewer.Open(file_, &error)) << error;

    EXPECT_EQ(viewer.CameraCount(), 2);
    EXPECT_EQ(viewer.CameraName(), "Front");
    EXPECT_FALSE(viewer.SelectCamera("Nobody"));
    EXPECT_EQ(viewer.CameraName(), "Front");
    viewer.StepCamera(-1);
    EXPECT_EQ(viewer.CameraName(), "Away");
    viewer.StepCamera(1);
    EXPECT_EQ(viewer.CameraName(), "Front");

    EXPECT_FLOAT_EQ(viewer.Duration(), 3.0f);
    viewer.SetSeconds(1.5f);
    EXPECT_FLOAT_EQ(viewer.scene()->time, 15.0f);  // frames
    viewer.Advance(2.5f);                           // past the end: wraps
    EXPECT_FLOAT_EQ(viewer.Seconds(), 1.0f);

    const std::string png = (dir_ / "front.png").string();
    viewer.SetSeconds(0);
    viewer.Render();
    ASSERT_TRUE(zkview::CaptureBackBuffer(*context_, png, &error)) << error;
    EXPECT_EQ(CentreOf(png), 0xFF0000);
    viewer.SetSeconds(2.9f);  // the square has slid away
    viewer.Render();
    ASSERT_TRUE(zkview::CaptureBackBuffer(*context_, png, &error)) << error;
    EXPECT_EQ(CentreOf(png), 0x0000FF);
    ASSERT_TRUE(viewer.SelectCamera("Away"));
    viewer.SetSeconds(0);
    viewer.Render();
    ASSERT_TRUE(zkview::CaptureBackBuffer(*context_, png, &error)) << error;
    EXPECT_EQ(CentreOf(png), 0x0000FF);
}

TEST_F(ViewerGL, PicturesOfAnySizeShowTheirColours) {
    // The square wears a JPEG, red on its left half and green on its right, lit
    // white by its emissive colour: a picture that failed to load leaves it white.
    const std::string tool = ZKVIEW_PATH;
    for (const auto& [width, height] : {std::pair{249, 250}, std::pair{493, 58}, std::pair{703, 510}}) {
        const std::string name = "pic" + std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(name);
        image::Image picture(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) picture.at(x, y) = x < width / 2 ? image::Rgba{255, 0, 0} : image::Rgba{0, 255, 0};
        const std::string jpeg = (dir_ / (name + ".jpg")).string();
        std::string error;
        ASSERT_TRUE(image::SaveJpeg(picture, {.quality = 100, .subsampleChroma = false}, jpeg, &error)) << error;
        zks::Scene s = TwoCameraScene();
        zks::Material& m = s.materials[0];
        m.texture = zks::TextureRef{name, jpeg};
        m.emissive = zks::Rgb(1, 1, 1);
        const std::string file = (dir_ / (name + ".zks")).string();
        ASSERT_TRUE(zks::SaveScene(s, file, &error)) << error;
        const std::string png = (dir_ / (name + ".png")).string();
        const int status = std::system((tool + " " + file + " --camera Front --time 0 --capture " + png).c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(PixelOf(png, 280, 240), 0xFF0000);
        EXPECT_EQ(PixelOf(png, 360, 240), 0x00FF00);
    }
}

TEST_F(ViewerGL, CommandLineCapturesHeadlessAndFailsClearly) {
    const std::string tool = ZKVIEW_PATH;
    const std::string png = (dir_ / "cli.png").string();
    auto run = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(file_ + " --camera Front --time 0 --capture " + png), 0);
    EXPECT_EQ(CentreOf(png), 0xFF0000);
    EXPECT_EQ(run(file_ + " --camera Nobody --capture " + png), 1);
    EXPECT_EQ(run((dir_ / "none.zks").string() + " --headless"), 1);
    EXPECT_EQ(run("--time"), 2);
    EXPECT_EQ(run(file_ + " --time soon --headless"), 2);

    // --stats: the floor, then one row of frames, times and per-frame counters.
    const std::string stats = (dir_ / "stats.txt").string();
    EXPECT_EQ(run(file_ + " --camera Front --stats > " + stats), 0);
    std::ifstream in(stats);
    std::string floorLine, header, row;
    std::getline(in, floorLine);
    std::getline(in, header);
    std::getline(in, row);
    EXPECT_EQ(floorLine.rfind("fill-rate floor ", 0), 0u) << floorLine;
    std::istringstream words(row);
    std::string name;
    double frames = 0, median = 0, p95 = 0, floors = 0, draws = 0, triangles = 0, fragments = 0;  // means per frame
    ASSERT_TRUE(words >> name >> frames >> median >> p95 >> floors >> draws >> triangles >> fragments) << row;
    EXPECT_EQ(name, "scene");
    EXPECT_EQ(frames, 120);
    EXPECT_GT(median, 0);
    EXPECT_GT(draws, 0);  // the square slides out of view: not in every frame
    EXPECT_GT(fragments, 0);
}

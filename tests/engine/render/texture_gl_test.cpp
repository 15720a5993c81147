// Textures and scene files on the OpenGL device (EGL, offscreen): images loaded
// through the device's own texture creation, then written scene files rendered
// and read back: a textured, lit, fogged mesh, and transparent faces drawn back
// to front. Skipped, with the reason, where no EGL context can be made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/light.h"
#include "engine/scene/scene_loader.h"
#include "engine/scene/world.h"
#include "platform/gl_stats.h"
#include "tests/support/log_capture.h"
#include "tools/image/dds_writer.h"
#include "tools/image/jpeg_writer.h"
#include "tools/image/png_writer.h"
#include "tools/zks/zks_writer.h"
#include "tests/support/render_scale.h"

using namespace ZK3D;
using testing_support::LogCapture;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
namespace fs = std::filesystem;

image::Image TwoColours(int w, int h, image::Rgba left, image::Rgba right) {
    image::Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = x < w / 2 ? left : right;
    return img;
}

class TextureGL : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ResetModeSelection();
        SelectMode(kWidth, kHeight, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
        ASSERT_TRUE(testing_support::UseRenderScale(context_->d3dx(), kWidth, kHeight, GetParam()));
        world_ = CreateWorld(context_.get());
        dir_ = fs::path(::testing::TempDir()) /
               ("texgl_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        world_.reset();
        context_.reset();
        ResetModeSelection();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string p = (dir_ / name).string();
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string WriteJpeg(const std::string& name, const image::Image& img) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(image::EncodeJpeg(img, {.quality = 100, .subsampleChroma = false}, bytes));
        return Write(name, bytes);
    }
    std::string WriteDds(const std::string& name, const image::Image& img, image::DdsFormat format) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(image::EncodeDds(img, {.format = format}, bytes));
        return Write(name, bytes);
    }
    Scene* LoadWritten(const zks::Scene& s, const std::string& name) {
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(zks::WriteScene(s, bytes, &error)) << error;
        return LoadScene(world_.get(), Write(name, bytes).c_str());
    }
    void Frame(Scene* scene) {
        SetCurrentScene(scene);
        context_->Clear();
        scene->render();
    }
    Color Pixel(int x, int y) { return context_->CurrentSurface()->PixelColor(x, y); }

    std::unique_ptr<Context> context_;
    std::unique_ptr<World> world_;
    fs::path dir_;
};

::testing::AssertionResult Near(const Color& c, float r, float g, float b, float tolerance) {
    if (std::fabs(c.r - r) <= tolerance && std::fabs(c.g - g) <= tolerance && std::fabs(c.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << c.r << ", " << c.g << ", " << c.b << "), expected (" << r
                                         << ", " << g << ", " << b << ") within " << tolerance;
}

// A square of side 2 x half in the x-z plane at depth y, facing the cameras on -y,
// its texture running left to right.
zks::Mesh Square(const std::string& name, const std::string& material, float half, float y) {
    zks::Mesh m;
    m.name = name;
    m.material = material;
    const zks::Vec3 n{0, -1, 0};
    m.vertices = {{{-half, y, -half}, n, 0, 1}, {{half, y, -half}, n, 1, 1}, {{half, y, half}, n, 1, 0},
                  {{-half, y, half}, n, 0, 0}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

zks::Node Placed(const std::string& name, const std::string& parent, zks::Vec3 t = {}) {
    zks::Node n;
    n.name = name;
    n.parent = parent;
    n.transform.translation = t;
    return n;
}

// One camera at (0, -10, 0) looking at the root, with a 90-degree field of view.
void AddCamera(zks::Scene& s) {
    zks::Camera cam;
    cam.name = "Cam";
    cam.target = "Root";
    cam.nearPlane = 1;
    cam.farPlane = 100;
    cam.fov = 3.14159265f / 2;
    s.cameras.push_back(cam);
    s.nodes.push_back(Placed("Root", ""));
    s.nodes.push_back(Placed("Cam", "Root", {0, -10, 0}));
}

uint16_t Pixel565(IDirectDrawSurface7* surface, int x, int y) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    if (FAILED(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return 0;
    uint16_t v = 0;
    std::memcpy(&v, static_cast<uint8_t*>(d.lpSurface) + d.lPitch * y + 2 * x, 2);
    surface->Unlock(nullptr);
    return v;
}

// Levels in the surface's mip chain.
int MipLevels(IDirectDrawSurface7* surface) {
    int levels = 1;
    surface->AddRef();
    for (;;) {
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 0, 0, 0};
        IDirectDrawSurface7* next = nullptr;
        const bool more = SUCCEEDED(surface->GetAttachedSurface(&caps, &next)) && next;
        surface->Release();
        if (!more) return levels;
        surface = next;
        ++levels;
    }
}

}  // namespace

// ---------------------------------------------------------------- images through the device

TEST_P(TextureGL, JpegDdsAndOtherImagesBecomeDeviceTextures) {
    LogCapture log;
    Texture jpeg("J");
    jpeg.SetBitmap(WriteJpeg("two.jpg", TwoColours(16, 8, {200, 100, 50}, {10, 240, 130})).c_str());
    ASSERT_NE(jpeg.surface(), nullptr);
    const uint16_t p = Pixel565(jpeg.surface(), 2, 2);
    EXPECT_NEAR(p >> 11, 200 >> 3, 1);
    EXPECT_NEAR((p >> 5) & 0x3F, 100 >> 2, 1);
    EXPECT_NEAR(p & 0x1F, 50 >> 3, 1);

    // A device posing as power-of-two only rounds 12 x 10 up to 16 x 16; the
    // reader refuses to stretch. The GL device itself keeps the size.
    const std::string oddFile = WriteJpeg("odd.jpg", TwoColours(12, 10, {1, 1, 1}, {2, 2, 2}));
    ASSERT_TRUE(platform::SetGlTextureRestrictions(context_->device(), D3DPTEXTURECAPS_POW2));
    Texture refused("Refused");
    refused.SetBitmap(oddFile.c_str());
    EXPECT_EQ(refused.surface(), nullptr);
    EXPECT_TRUE(log.has("[Load-jpeg] Mapping dimensions are not the same"));
    platform::SetGlTextureRestrictions(context_->device(), 0);
    Texture odd("Odd");
    odd.SetBitmap(oddFile.c_str());
    ASSERT_NE(odd.surface(), nullptr);
    EXPECT_EQ(Pixel565(odd.surface(), 11, 9), (2 >> 3 << 11) | (2 >> 2 << 5) | (2 >> 3));

    Texture dds("D");
    dds.SetBitmap(WriteDds("a.dds", TwoColours(8, 8, {0, 0, 255, 255}, {255, 0, 0, 255}), image::DdsFormat::DXT3)
                      .c_str());
    ASSERT_NE(dds.surface(), nullptr);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    dds.surface()->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.ddpfPixelFormat.dwFourCC, FOURCC_DXT3);
    EXPECT_EQ(desc.dwWidth, 8u);

    std::vector<uint8_t> png;
    ASSERT_TRUE(image::EncodePng(TwoColours(8, 8, {255, 255, 255, 255}, {0, 0, 0, 255}), png));
    Texture other("P");
    other.SetBitmap(Write("p.png", png).c_str());
    ASSERT_NE(other.surface(), nullptr);
    other.surface()->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);  // asked for as R5G6B5
    EXPECT_EQ(Pixel565(other.surface(), 1, 1), 0xFFFFu);
}

// ---------------------------------------------------------------- scene files rendered

TEST_P(TextureGL, TexturedLitFoggedMeshFromAWrittenSceneFile) {
    const std::string picture = WriteJpeg("rg.jpg", TwoColours(16, 16, {255, 0, 0}, {0, 255, 0}));
    zks::Scene s;
    s.name = "Lit";
    s.meshes.push_back(Square("Quad", "Textured", 10, 0));
    zks::Material m;
    m.name = "Textured";
    m.renderFlags = 0x002000D3;  // the default word without culling
    m.texture = zks::TextureRef{"rg", picture};
    m.ambient = {};
    s.materials.push_back(m);
    zks::Light sun;
    sun.name = "Sun";
    sun.type = zks::LightType::Directional;
    sun.direction = {0, 1, 0};  // along the view, onto the quad's face
    s.lights.push_back(sun);
    AddCamera(s);
    s.nodes.push_back(Placed("Quad", "Root"));
    s.nodes.push_back(Placed("Sun", "Root"));

    Scene* lit = LoadWritten(s, "lit.zks");
    ASSERT_NE(lit, nullptr);
    s.name = "Fogged";
    s.fog = {zks::FogMode::Linear, zks::Rgb(1, 1, 1), 5, 15, 0};  // the quad lies half way
    Scene* fogged = LoadWritten(s, "fog.zks");
    ASSERT_NE(fogged, nullptr);
    CompileWorld(world_.get());

    const int left = 50, right = 110, row = kHeight / 2;
    Frame(lit);
    EXPECT_TRUE(Near(Pixel(left, row), 1, 0, 0, 0.1f));
    EXPECT_TRUE(Near(Pixel(right, row), 0, 1, 0, 0.1f));
    EXPECT_TRUE(Near(Pixel(2, row), 0, 0, 0, 0.02f));  // outside the quad: the clear colour

    // Light at 45 degrees to the face: cos 45 of the texture.
    lit->lights->light.dvDirection = {0, 1, 1};
    Frame(lit);
    EXPECT_TRUE(Near(Pixel(left, row), 0.707f, 0, 0, 0.08f));

    Frame(fogged);
    EXPECT_TRUE(Near(Pixel(left, row), 1, 0.5f, 0.5f, 0.1f));
    EXPECT_TRUE(Near(Pixel(right, row), 0.5f, 1, 0.5f, 0.1f));
}

TEST_P(TextureGL, PicturesOfAnySizeShowTheirColoursInLoadedScenes) {
    // Each picture, red on its left half and green on its right, on its own
    // square in its own scene file: the square must show both colours (a picture
    // that failed to load leaves the lit material's white). Images the utility
    // library loads keep their size with a full mip chain; the engine's DDS reader
    // keeps the top level only.
    const struct {
        const char* kind;
        int width, height;
    } pictures[] = {{"jpg", 400, 300}, {"jpg", 640, 480}, {"jpg", 249, 250}, {"jpg", 493, 58},
                    {"jpg", 703, 510}, {"jpg", 512, 512}, {"jpg", 1024, 1024}, {"png", 37, 19},
                    {"dxt1", 6, 5},    {"dxt5", 13, 7}};
    std::vector<Scene*> scenes;
    for (const auto& p : pictures) {
        const std::string name = std::string(p.kind) + "_" + std::to_string(p.width) + "x" + std::to_string(p.height);
        const image::Image picture = TwoColours(p.width, p.height, {255, 0, 0}, {0, 255, 0});
        std::string file;
        if (std::string(p.kind) == "jpg") {
            file = WriteJpeg(name + ".jpg", picture);
        } else if (std::string(p.kind) == "png") {
            std::vector<uint8_t> bytes;
            EXPECT_TRUE(image::EncodePng(picture, bytes));
            file = Write(name + ".png", bytes);
        } else {
            std::vector<uint8_t> bytes;
            const auto format = std::string(p.kind) == "dxt1" ? image::DdsFormat::DXT1 : image::DdsFormat::DXT5;
            EXPECT_TRUE(image::EncodeDds(picture, {.format = format, .mipmaps = true}, bytes));
            file = Write(name + ".dds", bytes);
        }
        zks::Scene s;
        s.name = name;
        s.meshes.push_back(Square("Quad", name, 10, 0));
        zks::Material m;
        m.name = name;
        m.renderFlags = 0x002000D3;
        m.texture = zks::TextureRef{name, file};
        m.ambient = {};
        s.materials.push_back(m);
        zks::Light sun;
        sun.name = "Sun";
        sun.type = zks::LightType::Directional;
        sun.direction = {0, 1, 0};
        s.lights.push_back(sun);
        AddCamera(s);
        s.nodes.push_back(Placed("Quad", "Root"));
        s.nodes.push_back(Placed("Sun", "Root"));
        scenes.push_back(LoadWritten(s, name + ".zks"));
        ASSERT_NE(scenes.back(), nullptr) << name;
    }
    CompileWorld(world_.get());
    for (size_t i = 0; i < scenes.size(); ++i) {
        const auto& p = pictures[i];
        SCOPED_TRACE(::testing::Message() << p.kind << " " << p.width << " x " << p.height);
        Texture* texture = FindTexture(scenes[i]->name());
        ASSERT_NE(texture, nullptr);
        ASSERT_NE(texture->surface(), nullptr);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        texture->surface()->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.dwWidth, DWORD(p.width));
        EXPECT_EQ(desc.dwHeight, DWORD(p.height));
        int levels = 1;
        for (int side = std::max(p.width, p.height); side > 1; side /= 2) ++levels;
        EXPECT_EQ(MipLevels(texture->surface()), std::string(p.kind).starts_with("dxt") ? 1 : levels);
        Frame(scenes[i]);
        EXPECT_TRUE(Near(Pixel(50, kHeight / 2), 1, 0, 0, 0.1f));
        EXPECT_TRUE(Near(Pixel(110, kHeight / 2), 0, 1, 0, 0.1f));
    }
}

TEST_P(TextureGL, SortedTransparentFacesAreDrawnBackToFront) {
    const std::string half = WriteDds("half.dds", image::Image(4, 4, {255, 255, 255, 128}), image::DdsFormat::A8R8G8B8);
    zks::Scene s;
    s.name = "Glass";
    // Listed and placed near first: only sorting puts the far one under it.
    s.meshes.push_back(Square("Near", "Red", 4, -2));
    s.meshes.push_back(Square("Far", "Blue", 4, 2));
    for (auto [name, colour] : {std::pair{"Red", zks::Rgb(1, 0, 0)}, std::pair{"Blue", zks::Rgb(0, 0, 1)}}) {
        zks::Material m;
        m.name = name;
        // Sorted drawing, blending on with SRCALPHA / INVSRCALPHA, no culling.
        m.renderFlags = 0x002000D3 | 0x20000 | 0x4 | (2u << 22);
        m.texture = zks::TextureRef{"half", half};
        m.diffuse = {};
        m.ambient = {};
        m.emissive = colour;
        s.materials.push_back(m);
    }
    AddCamera(s);
    s.nodes.push_back(Placed("Near", "Root"));
    s.nodes.push_back(Placed("Far", "Root"));
    Scene* scene = LoadWritten(s, "glass.zks");
    ASSERT_NE(scene, nullptr);
    CompileWorld(world_.get());
    Frame(scene);
    // Far blue over black at half, then near red over that at half.
    EXPECT_TRUE(Near(Pixel(kWidth / 2, kHeight / 2), 0.5f, 0, 0.25f, 0.05f));
}

INSTANTIATE_TEST_SUITE_P(Scales, TextureGL, testing_support::kRenderScales, testing_support::RenderScaleName);

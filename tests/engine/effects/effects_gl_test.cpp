// The effects drawn through the OpenGL device (EGL, offscreen) into a 160 x 120
// target and read back: a lens flare (and the same flare hidden by a nearer
// surface, through the device's depth read-back), a particle seen through a
// camera, and a line of text whose page alpha shapes the glyphs. Textures are
// made in device memory here, so no image reader is involved.
// Skipped, with the reason, where no EGL context can be made; any GL error the
// device reports fails the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "engine/effects/effect_vertices.h"
#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_system.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"
#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/world.h"
#include "platform/d3d7.h"
#include "tests/support/log_capture.h"
#include "tests/support/render_scale.h"

using namespace ZK3D;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

bool Near(const Color& c, float r, float g, float b) {
    return std::abs(c.r - r) < 0.1f && std::abs(c.g - g) < 0.1f && std::abs(c.b - b) < 0.1f;
}

class EffectsGL : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("zk_effects_gl_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::create_directories(dir_);
        ResetModeSelection();
        SelectMode(kWidth, kHeight, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
        ASSERT_TRUE(testing_support::UseRenderScale(context_->d3dx(), kWidth, kHeight, GetParam()));
        world_ = CreateWorld(context_.get());
        scene_ = CreateScene(world_.get(), "GL");
        context_->SetClearColor({0, 0, 0, 0});
        context_->Clear();
    }
    void TearDown() override {
        // The device reports GL errors (in debug builds); none may arise.
        for (const std::string& error : log_.errors())
            if (error.rfind("[GL]", 0) == 0) ADD_FAILURE() << "reported: " << error;
        world_.reset();
        context_.reset();
        ResetModeSelection();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // A texture of the world with a w x h A8R8G8B8 surface filled by pixel(x, y).
    Texture* MakeTexture(const char* name, int w, int h, const std::function<uint32_t(int, int)>& pixel) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat = {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
        IDirectDrawSurface7* surface = nullptr;
        context_->ddraw()->CreateSurface(&desc, &surface, nullptr);
        EXPECT_NE(surface, nullptr);
        if (!surface) return nullptr;
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        EXPECT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
            for (int x = 0; x < w; ++x) row[x] = pixel(x, y);
        }
        surface->Unlock(nullptr);
        Texture* texture = GetTexture(name);
        texture->AdoptSurface(surface);
        return texture;
    }
    Texture* White(const char* name) {
        return MakeTexture(name, 8, 8, [](int, int) { return 0xFFFFFFFFu; });
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    Color Pixel(int x, int y) { return context_->CurrentSurface()->PixelColor(x, y); }

    testing_support::LogCapture log_;
    std::filesystem::path dir_;
    std::unique_ptr<Context> context_;
    std::unique_ptr<World> world_;
    Scene* scene_ = nullptr;
};

}  // namespace

TEST_P(EffectsGL, FlareDrawsAlongTheAxisUnlessANearerSurfaceHidesIt) {
    White("white.tex");
    // A red square of 20 pixels on the source, a green one of 10 at the mirrored point.
    const std::string lfd = Write("gl.lfd", "white.tex 20 0 1 0 0\nwhite.tex 10 100 0 1 0\n");
    PointGizmo source("lens");
    // Identity view and projection: the source lands on pixel (40.5, 30.5) at depth 0.5.
    context_->SetViewMatrix(nullptr);
    context_->SetProjectionMatrix(nullptr);
    source.position = {40.5f / 80 - 1, 1 - 30.5f / 60, 0.5f};

    auto flare = CreateLensFlare(lfd.c_str(), &source, 0);
    flare->render();
    EXPECT_TRUE(flare->visible);
    EXPECT_TRUE(Near(Pixel(40, 30), 1, 0, 0));
    EXPECT_TRUE(Near(Pixel(48, 36), 1, 0, 0));
    EXPECT_TRUE(Near(Pixel(53, 30), 0, 0, 0));
    EXPECT_TRUE(Near(Pixel(119, 89), 0, 1, 0));
    EXPECT_TRUE(Near(Pixel(80, 60), 0, 0, 0));

    // A black square nearer than the source, written into the depth buffer.
    context_->Clear();
    ScreenVertex wall[4];
    const float xs[4] = {20, 60, 20, 60}, ys[4] = {10, 10, 50, 50};
    for (int i = 0; i < 4; ++i) wall[i] = {xs[i], ys[i], 0.2f, 1, 0xFF000000u, 0, 0, 0};
    context_->ApplyFlags(flags::WithCull(kDefaultRenderFlags & ~flags::kLighting, flags::kCullNone));
    context_->ResetAllStages();
    context_->device()->BeginScene();
    context_->device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, kScreenVertexFormat, wall, 4, D3DDP_WAIT);
    context_->device()->EndScene();
    auto hidden = CreateLensFlare(lfd.c_str(), &source, 0);
    hidden->render();
    EXPECT_FALSE(hidden->visible);
    EXPECT_TRUE(Near(Pixel(119, 89), 0, 0, 0));
}

TEST_P(EffectsGL, ParticleIsASquareFacingTheCamera) {
    Texture* white = White("spark.tex");
    ParticleSystem system("gl", white, 0.5f, 0.5f, {0, 0, 1, 1}, {0, 0, 1, 1}, ParticleFlags(""));
    Particle p;
    p.startSize = p.endSize = 0.5f;
    p.startColor = p.endColor = {0, 0, 1, 1};
    p.position = p.previous = {0, 0, 0};
    system.AddParticle(p);
    system.compile();
    // Five units in front of a 90-degree camera: one unit is 12 pixels.
    context_->SetViewMatrix(MatrixLookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0}));
    context_->SetProjectionMatrix(MatrixPerspective(3.14159265f / 2, 0.75f, 1, 100));
    context_->device()->BeginScene();
    system.SetTime(0.01f);
    system.render();
    context_->device()->EndScene();
    EXPECT_TRUE(Near(Pixel(80, 60), 0, 0, 1));
    EXPECT_TRUE(Near(Pixel(84, 56), 0, 0, 1));
    EXPECT_TRUE(Near(Pixel(90, 60), 0, 0, 0));
    EXPECT_TRUE(Near(Pixel(80, 70), 0, 0, 0));
}

TEST_P(EffectsGL, TextShowsWhereThePageIsOpaque) {
    // A page whose left half is opaque white and right half transparent; 'A' maps
    // the opaque half, 'B' the transparent one.
    MakeTexture("page.tex", 16, 16, [](int x, int) { return x < 8 ? 0xFFFFFFFFu : 0x00FFFFFFu; });
    std::string bytes(5124, '\0');
    const float height = 16;
    std::memcpy(&bytes[0], &height, 4);
    const GlyphRecord a{0.05f, 0.05f, 0.45f, 0.95f}, b{0.55f, 0.05f, 0.95f, 0.95f};
    std::memcpy(&bytes[4 + 16 * 'A'], &a, 16);
    std::memcpy(&bytes[4 + 16 * 'B'], &b, 16);
    const float width = 10;
    std::memcpy(&bytes[4100 + 4 * 'A'], &width, 4);
    std::memcpy(&bytes[4100 + 4 * 'B'], &width, 4);
    const std::string vft = Write("gl.vft", bytes);
    auto font = zkCreateFont("Font", vft.c_str(), "page.tex", 16);
    auto text = zkCreateText(font.get(), 20, 20, "ABA", 1, 1, 1, 1);
    context_->device()->BeginScene();
    text->Draw();
    context_->device()->EndScene();
    EXPECT_TRUE(Near(Pixel(25, 28), 1, 1, 1));  // first A
    EXPECT_TRUE(Near(Pixel(35, 28), 0, 0, 0));  // B: transparent page
    EXPECT_TRUE(Near(Pixel(45, 28), 1, 1, 1));  // second A
    EXPECT_TRUE(Near(Pixel(55, 28), 0, 0, 0));  // past the text
    EXPECT_TRUE(Near(Pixel(25, 40), 0, 0, 0));  // below the line
}

INSTANTIATE_TEST_SUITE_P(Scales, EffectsGL, testing_support::kRenderScales, testing_support::RenderScaleName);

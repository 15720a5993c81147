// The stats overlay on the OpenGL device (EGL, offscreen): drawn from the
// context's before-present hook, it lights the top-left corner of the presented
// frame when on and leaves it dark when off. Skipped where no EGL context can
// be made.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "demo/stats_overlay.h"
#include "engine/effects/zk_font.h"
#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/world.h"
#include "platform/frame_capture.h"

using namespace ZK3D;

namespace {

// A font whose every glyph is the whole of an opaque white page.
std::unique_ptr<zkFont> SolidFont(Context& context, const std::string& vftPath) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat = {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
    IDirectDrawSurface7* surface = nullptr;
    context.ddraw()->CreateSurface(&desc, &surface, nullptr);
    if (!surface) return nullptr;
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    for (int y = 0; y < 8; ++y) std::memset(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch, 0xFF, 32);
    surface->Unlock(nullptr);
    GetTexture("stats_page.tex")->AdoptSurface(surface);
    std::string bytes(zkFont::kFileSize, '\0');
    const float height = 20, width = 16;
    const GlyphRecord whole{0, 0, 1, 1};
    std::memcpy(&bytes[0], &height, 4);
    for (int c = 0; c < 256; ++c) {
        std::memcpy(&bytes[4 + 16 * c], &whole, 16);
        std::memcpy(&bytes[4100 + 4 * c], &width, 4);
    }
    std::ofstream(vftPath, std::ios::binary) << bytes;
    return zkCreateFont("Stats", vftPath.c_str(), "stats_page.tex", 64);
}

TEST(StatsOverlayGL, LightsTheCornerOfThePresentedFrameOnlyWhenOn) {
    const std::string vft =
        (std::filesystem::temp_directory_path() / ("stats_overlay_" + std::to_string(::getpid()) + ".vft")).string();
    for (const bool on : {false, true}) {
        ResetModeSelection();
        SelectMode(160, 120, 32, 0);
        std::unique_ptr<Context> context = Context::Create(nullptr);
        if (!context) GTEST_SKIP() << "no EGL context could be made here";
        auto world = CreateWorld(context.get());
        auto font = SolidFont(*context, vft);
        ASSERT_TRUE(font);
        StatsOverlay overlay;
        if (on) overlay.toggle();
        context->SetBeforePresent([&] {
            if (overlay.visible()) StatsOverlay::draw(*context, *font, {"ab"});
        });
        context->SetClearColor({0, 0, 0, 0});
        context->Clear();
        context->Present();
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadBackBuffer(context->d3dx(), &rgb, &w, &h));
        // Two glyphs at half size from (8, 8): 16 x 10 pixels; the far corner stays dark.
        auto lit = [&](int x, int y) { return rgb[size_t(3 * (y * w + x) + 1)] > 128; };
        EXPECT_EQ(lit(12, 12), on);
        EXPECT_EQ(lit(22, 14), on);
        EXPECT_FALSE(lit(100, 100));
        font.reset();
        world.reset();
        context.reset();
        ResetModeSelection();
    }
    std::filesystem::remove(vft);
}

}  // namespace

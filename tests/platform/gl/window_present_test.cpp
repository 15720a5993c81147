// Presenting into a real window on an X server of the test's own with no window
// manager: the back buffer is scaled into the window's drawable with its aspect
// kept, centred between black bars, whatever size the window really has now,
// windowed, full screen, windowed again, resized, and when SDL's idea of it is
// wrong; at the native resolution the back buffer itself takes that size.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl_stats.h"
#include "platform/render_resolution.h"
#include "platform/window.h"

namespace {

// Xvfb on a free display number, stopped with the object.
class BareXServer {
public:
    BareXServer(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The display number comes once the server takes connections.
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') display_ += c;
        close(fds[0]);
        if (c != '\n') display_.clear();
    }
    ~BareXServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    BareXServer(const BareXServer&) = delete;
    BareXServer& operator=(const BareXServer&) = delete;
    std::string Display() const { return display_.empty() ? std::string() : ":" + display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Whether the frame is the 640 x 480 back buffer, all one colour, scaled into it
// with its aspect kept and centred, black elsewhere (one pixel of slack at the
// picture's edges for the filter).
::testing::AssertionResult Letterboxed(const std::vector<uint32_t>& frame, int width, int height, uint32_t colour) {
    const double scale = std::min(width / 640.0, height / 480.0);
    const int w = int(std::lround(640 * scale)), h = int(std::lround(480 * scale));
    const int left = (width - w) / 2, top = (height - h) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inside = x >= left && x < left + w && y >= top && y < top + h;
            const bool edge = std::abs(x - left) <= 1 || std::abs(x - left - w) <= 1 || std::abs(y - top) <= 1 ||
                              std::abs(y - top - h) <= 1;
            const uint32_t expected = inside ? colour & 0xFFFFFF : 0;
            if (edge || (frame[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF) == expected) continue;
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%d, %d) of %d x %d is %06X, expected %06X", x, y, width, height,
                          unsigned(frame[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF), unsigned(expected));
            return ::testing::AssertionFailure() << text;
        }
    return ::testing::AssertionSuccess();
}

class WindowPresent : public ::testing::TestWithParam<bool> {};

TEST_P(WindowPresent, LetterboxesIntoTheWindowsRealDrawable) {
    const bool native = GetParam();
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
    BareXServer server(1280, 720);
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    setenv("DISPLAY", server.Display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    std::string error;
    std::unique_ptr<platform::Window> window = platform::Window::Create({"present", 640, 480, false}, &error);
    ASSERT_TRUE(window) << error;
    D3DXInitialize();
    ID3DXContext* made = nullptr;
    ASSERT_EQ(D3DXCreateContext(D3DX_DEFAULT, 0, window.get(), 640, 480, &made), D3D_OK);
    std::unique_ptr<ID3DXContext, void (*)(ID3DXContext*)> context(made, [](ID3DXContext* c) {
        c->Release();
        D3DXUninitialize();
    });
    platform::RenderResolution resolution;
    resolution.native = native;
    ASSERT_TRUE(platform::SetRenderResolution(context.get(), resolution));
    IDirect3DDevice7* device = context->GetD3DDevice();
    const D3DCOLOR colour = 0xFF3080C0;

    auto* sdl = static_cast<SDL_Window*>(window->NativeHandle());
    struct Step {
        const char* what;
        std::function<void()> change;
        int width, height;  // of the frame; 0: whatever the window really has
    };
    const Step steps[] = {
        {"windowed", [] {}, 640, 480},
        {"full screen", [&] { window->SetFullscreen(true); }, 1280, 720},
        {"windowed again", [&] { window->SetFullscreen(false); }, 640, 480},
        {"resized", [&] { SDL_SetWindowSize(sdl, 1000, 500); }, 1000, 500},
        // Without a window manager SDL then reports the screen's size while the
        // X window keeps its own.
        {"full screen asked of SDL alone", [&] { SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP); }, 0,
         0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        // A frame presented after the change, then one drawn at the size it set.
        for (int frame = 0; frame < 2; ++frame) {
            ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1, 0), D3D_OK);
            EXPECT_EQ(context->UpdateFrame(D3DX_UPDATE_NOVSYNC), D3D_OK);
        }
        std::vector<uint32_t> frame;
        int width = 0, height = 0;
        ASSERT_TRUE(platform::ReadPresentedFrame(context.get(), &frame, &width, &height));
        if (step.width) {
            EXPECT_EQ(width, step.width);
            EXPECT_EQ(height, step.height);
        }
        EXPECT_TRUE(Letterboxed(frame, width, height, colour));
        // The back buffer: 640 x 480, or at the native resolution the largest
        // 4:3 rectangle in the drawable.
        int renderWidth = 0, renderHeight = 0;
        ASSERT_TRUE(platform::RenderedSize(context.get(), &renderWidth, &renderHeight));
        const double scale = native ? std::min(width / 640.0, height / 480.0) : 1.0;
        EXPECT_EQ(renderWidth, int(std::lround(640 * scale)));
        EXPECT_EQ(renderHeight, int(std::lround(480 * scale)));
    }
    device->Release();
}

INSTANTIATE_TEST_SUITE_P(Resolutions, WindowPresent, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Native" : "Logical";
                         });

}  // namespace

// zkview: looks at a ZKS scene file through its cameras.
//
//   zkview FILE.zks [--camera NAME] [--time SECONDS] [--capture OUT.png] [--headless] [--stats]
//                   [--software] [-v]
//
// In a 640 x 480 window: Left and Right switch to the previous and next camera,
// Up plays or pauses the animation, Down goes back to its start, Escape or
// closing the window quits. --capture (or --headless) draws one frame at
// --time without a window; --capture writes it, read back from the back buffer,
// as a PNG. --stats draws, without a window, 120 frames spread from --time to
// the end of the animation and prints what they cost the device: frame times
// against the fill-rate floor, draw calls, triangles, fragments shaded and
// overdraw, texture binds and program switches. Image files the scene names are read relative to the current
// directory. Errors go to stderr; -v adds every report.
//
// Not here: editing or saving scenes (the ZKS writer in tools/zks does that).
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/frame_cost.h"
#include "engine/render/mode_selection.h"
#include "platform/report.h"
#include "platform/window.h"
#include "tools/zkview/viewer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
bool g_verbose = false;

const char* Sink(int level, int32_t, const char* format, va_list* args) {
    static thread_local char text[2048];
    std::vsnprintf(text, sizeof text, format, *args);
    if (level == 1 || g_verbose) std::fprintf(stderr, "%s\n", text);
    return text;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zkview FILE.zks [--camera NAME] [--time SECONDS] [--capture OUT.png] [--headless] "
                 "[--stats] [--software] [-v]\n");
    return 2;
}

struct Options {
    std::string file, camera, capture;
    float time = 0;
    bool headless = false;
    bool stats = false;
    bool software = false;
};

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--camera" && hasValue) {
            o->camera = argv[++i];
        } else if (arg == "--time" && hasValue) {
            char* end = nullptr;
            o->time = std::strtof(argv[++i], &end);
            if (!end || *end != '\0') return false;
        } else if (arg == "--capture" && hasValue) {
            o->capture = argv[++i];
            o->headless = true;
        } else if (arg == "--headless") {
            o->headless = true;
        } else if (arg == "--stats") {
            o->stats = true;
            o->headless = true;
        } else if (arg == "--software") {
            o->software = true;
        } else if (arg == "-v") {
            g_verbose = true;
        } else if (!arg.empty() && arg[0] != '-' && o->file.empty()) {
            o->file = arg;
        } else {
            return false;
        }
    }
    return !o->file.empty();
}

void Describe(const zkview::Viewer& viewer, bool playing) {
    std::fprintf(stderr, "zkview: camera \"%s\", %.2f s%s\n", viewer.CameraName().c_str(), viewer.Seconds(),
                 playing ? ", playing" : "");
}

// Shows the scene until Escape or the window closes.
void RunWindow(zkview::Viewer& viewer, ZK3D::Context& context, platform::Window& window) {
    std::fprintf(stderr, "zkview: Left/Right cameras, Up play/pause, Down restart, Escape quit\n");
    bool playing = false;
    uint32_t last = platform::TickCount();
    for (bool running = true; running;) {
        platform::Event event;
        while (window.PollEvent(&event)) {
            if (event.kind == platform::EventKind::CloseWindow || event.kind == platform::EventKind::Quit) {
                running = false;
            } else if (event.kind == platform::EventKind::KeyDown) {
                switch (event.key) {
                    case platform::VK_ESCAPE: running = false; break;
                    case platform::VK_LEFT: viewer.StepCamera(-1); Describe(viewer, playing); break;
                    case platform::VK_RIGHT: viewer.StepCamera(1); Describe(viewer, playing); break;
                    case platform::VK_UP: playing = !playing; Describe(viewer, playing); break;
                    case platform::VK_DOWN: viewer.SetSeconds(0); Describe(viewer, playing); break;
                    default: break;
                }
            }
        }
        const uint32_t now = platform::TickCount();
        if (playing) viewer.Advance(static_cast<float>(now - last) / 1000.0f);
        last = now;
        viewer.Render();
        context.Present();
    }
}

// Prints the cost table of frames spread over the rest of the animation.
void PrintStats(zkview::Viewer& viewer, ZK3D::Context& context) {
    constexpr int kFrames = 120;
    const double floorMs = ZK3D::MeasureFillFloor(context);
    ZK3D::FrameCostMeter meter(context);
    const float from = viewer.Seconds();
    const float step = std::max(0.0f, viewer.Duration() - from) / kFrames;
    viewer.Render();  // sets the camera up for the culling of the first timed frame
    context.Present();
    meter.Take();
    std::vector<double> times;
    ZK3D::FrameCounters sum;
    for (int i = 0; i < kFrames; ++i) {
        viewer.SetSeconds(from + step * static_cast<float>(i));
        const auto begin = std::chrono::steady_clock::now();
        viewer.Render();
        context.Present();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        sum += meter.Take();
    }
    viewer.SetSeconds(from);
    std::printf("%s%s%s", ZK3D::FrameCostFloorLine(floorMs, meter.counter()).c_str(), ZK3D::FrameCostHeader().c_str(),
                ZK3D::FrameCostRow("scene", times, sum, floorMs, context.width(), context.height()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, &options)) return Usage();
    LogSetCallback(Sink, 1, 2, 3);

    std::unique_ptr<platform::Window> window;
    if (!options.headless) {
        std::string error;
        window = platform::Window::Create({"zkview - " + options.file, kWidth, kHeight, false}, &error);
        if (!window) {
            std::fprintf(stderr, "zkview: no window (%s); use --capture or --headless to render without one\n",
                         error.c_str());
            return 1;
        }
    }
    ZK3D::ResetModeSelection();
    ZK3D::SelectMode(kWidth, kHeight, 32, 0);
    if (options.software) ZK3D::SetSoftwareRasterizer();
    std::unique_ptr<ZK3D::Context> context = ZK3D::Context::Create(window.get());
    if (!context) {
        std::fprintf(stderr, "zkview: no graphics device could be made\n");
        return 1;
    }

    int status = 0;
    {
        zkview::Viewer viewer(*context);
        std::string error;
        if (!viewer.Open(options.file, &error)) {
            std::fprintf(stderr, "zkview: %s\n", error.c_str());
            status = 1;
        } else if (!options.camera.empty() && !viewer.SelectCamera(options.camera)) {
            std::fprintf(stderr, "zkview: the scene has no camera \"%s\"\n", options.camera.c_str());
            status = 1;
        } else {
            viewer.SetSeconds(options.time);
            if (viewer.CameraCount() == 0) std::fprintf(stderr, "zkview: the scene has no camera\n");
            if (window) {
                RunWindow(viewer, *context, *window);
            } else if (options.stats) {
                PrintStats(viewer, *context);
            } else {
                // Culling spheres are tested against the view of the frame before
                // (the camera sets its view later in the frame), so the first frame
                // only sets the camera up; the second is the one captured.
                viewer.Render();
                viewer.Render();
                if (!options.capture.empty() && !zkview::CaptureBackBuffer(*context, options.capture, &error)) {
                    std::fprintf(stderr, "zkview: %s\n", error.c_str());
                    status = 1;
                }
            }
        }
    }
    context.reset();
    LogSetCallback(nullptr, 1, 2, 3);
    return status;
}

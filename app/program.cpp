#include "app/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <memory>
#include <string>

#include "app/report_sink.h"
#include "app/show_keys.h"
#include "demo/ini_file.h"
#include "engine/core/screen.h"
#include "engine/files/pack.h"
#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "platform/gl_stats.h"
#include "platform/render_resolution.h"
#include "platform/report.h"
#include "platform/video_encoder.h"
#include "platform/window.h"

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// UpdateFrame calls of the demo's device so far; 0 where it cannot be told.
uint64_t PresentCount(const Demo& demo) {
    platform::GlStats stats;
    return demo.context && platform::GetGlStats(demo.context->device(), &stats) ? stats.frames : 0;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

int RunMainLoop(Demo& demo, platform::Window* window, FrameObserver* observer, FramePacer* pacer) {
    using Clock = std::chrono::steady_clock;
    // Fixed-clock runs (offscreen, capture, benchmark) go as fast as they render.
    const bool realTime = window && !demo.fixedClock();
    FramePacer steadyPacer;
    if (!pacer) pacer = &steadyPacer;
    uint64_t presents = PresentCount(demo);
    if (observer) observer->beforeFirstFrame(demo);
    while (demo.isRunning()) {
        platform::Event event;
        if (window && window->PollEvent(&event)) {
            switch (event.kind) {
                case platform::EventKind::Quit:
                    return 0;
                case platform::EventKind::CloseWindow:
                    demo.stop();
                    break;
                case platform::EventKind::KeyDown:
                    ApplyShowAction(demo, ActionForKey(event.key));
                    break;
                case platform::EventKind::Other:
                    break;
            }
            continue;
        }
        // A run told where to end stops before the first frame past it.
        if (demo.pastEnd()) {
            demo.stop();
            continue;
        }
        const auto begin = Clock::now();
        demo.frame();
        // A run that begins later in the show is observed from there on.
        if (observer && !demo.beforeStart())
            observer->afterFrame(demo, std::chrono::duration<double>(Clock::now() - begin).count());
        // A frame that presented nothing (a script starting) is not waited after.
        // Where the device cannot count presents, every frame is taken to present.
        const uint64_t presented = PresentCount(demo);
        if (realTime && demo.isRunning() && (presented != presents || presented == 0)) {
            const bool accepted = demo.context && platform::SwapIntervalAccepted(demo.context->d3dx());
            // The show's clock once the music plays; before, and while it stands
            // still for a pause, the pacer's own.
            const bool showClock = demo.frameState >= frame_state::Running(0) && !demo.paused();
            const double music = showClock ? demo.musicTime() : -1.0;
            pacer->afterPresent(window->RefreshRate(), accepted, music);
        }
        presents = presented;
    }
    const bool ok = observer ? observer->finish(demo) : true;
    demo.shutdown();
    return ok ? 0 : 1;
}

int RunVelmoor(const RunOptions& options, LoadingSequence* sequence) {
    // A pack named on the command line is relative to where velmoor was started.
    std::string packPath = options.pack;
    if (!packPath.empty() && packPath[0] != '/') {
        char here[1024];
        if (getcwd(here, sizeof here)) packPath = std::string(here) + "/" + packPath;
    }
    // So is a video's file name, and its directory must be there before the show starts.
    std::string videoPath = options.videoFile;
    if (!videoPath.empty()) {
        if (videoPath[0] != '/') {
            char here[1024];
            if (getcwd(here, sizeof here)) videoPath = std::string(here) + "/" + videoPath;
        }
        std::string error;
        if (!platform::CheckVideoPath(videoPath, &error)) {
            std::fprintf(stderr, "velmoor: %s\n", error.c_str());
            return 1;
        }
    }
    if (!options.dataDir.empty()) {
        if (!IsDirectory(options.dataDir) || chdir(options.dataDir.c_str()) != 0) {
            std::fprintf(stderr, "velmoor: data directory \"%s\" not found\n", options.dataDir.c_str());
            return 1;
        }
    }
    if (!IsFile("vlm.ini")) {
        char here[1024];
        if (!getcwd(here, sizeof here)) std::strcpy(here, ".");
        std::fprintf(stderr, "velmoor: no vlm.ini in \"%s\" (use --data DIR to play a demo elsewhere)\n", here);
        return 1;
    }
    std::unique_ptr<std::FILE, FileCloser> log;
    if (!options.logFile.empty()) {
        log.reset(std::fopen(options.logFile.c_str(), "w"));
        if (!log) {
            std::fprintf(stderr, "velmoor: cannot write the log file \"%s\"\n", options.logFile.c_str());
            return 1;
        }
    }
    if (!options.captureDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.captureDir, error);
        if (!IsDirectory(options.captureDir)) {
            std::fprintf(stderr, "velmoor: cannot make the capture directory \"%s\"\n", options.captureDir.c_str());
            return 1;
        }
    }

    // The report sink comes first, so every later report reaches the user.
    ReportSinkSettings sink;
    sink.log = log.get();
    sink.verbose = options.verbose;
    sink.headless = true;
    ConfigureReportSink(sink);
    LogSetCallback(reportSink, kReportError, kReportWarning, kReportPlain);

    // Data files not found on disk come from the pack (the demo itself never sets one).
    if (!packPath.empty() && !ZK3D::zkSetPack(packPath.c_str())) {
        std::fprintf(stderr, "velmoor: cannot read the pack \"%s\"\n", options.pack.c_str());
        ZK3D::zkReleasePack();
        return 1;
    }
    struct PackRelease {
        ~PackRelease() { ZK3D::zkReleasePack(); }
    } packRelease;

    // The software rasteriser has to be chosen before the window loads its GL driver.
    int software = 0;
    IniFile("vlm.ini").getInt("General", "software", software, 0);
    if (options.software || software) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);

    std::unique_ptr<platform::Window> window;
    bool headless = options.headless || options.benchmark;
    if (!headless) {
        std::string reason;
        platform::WindowDesc desc;
        desc.title = "Velmoor";
        window = platform::Window::Create(desc, &reason);
        if (!window) {
            std::fprintf(stderr, "velmoor: %s, running headless\n",
                         platform::HasDisplay() ? ("cannot open a window (" + reason + ")").c_str() : "no display");
            headless = true;
        }
    }
    sink.owner = window.get();
    sink.headless = headless;
    ConfigureReportSink(sink);

    ZK3D::SelectMode(ZK3D::kScreenWidth, ZK3D::kScreenHeight, 32, 0);

    // Offscreen runs and captures keep a fixed clock: 60 frames per second unless told.
    const bool capturing = !options.captureDir.empty() || !videoPath.empty();
    Demo demo;
    ClockSettings clock;
    clock.fixedFps = options.fixedFps > 0 ? options.fixedFps : (headless || capturing ? 60 : 0);
    demo.setClock(clock);
    demo.setDisplayOverrides(window ? options.fullscreen : 0, options.software ? 1 : -1);
    demo.setLoadingSequence(sequence);
    if (options.startScene > 0) demo.setFirstScript(options.startScene);
    // --from (observed runs) and --seek (a window) both begin the show there.
    if (options.from >= 0) demo.setStartTime(options.from);
    if (options.seek >= 0) demo.setStartTime(options.seek);
    if (options.to >= 0) demo.setEndTime(options.to);
    demo.setWindow(window.get());
    // A window's drawable gives "native" its size; offscreen there is none, so
    // the desktop's size stands in when there is a display to ask.
    platform::RenderResolution resolution = options.resolution;
    if (resolution.native && !window) {
        resolution.native = false;
        if (!platform::DesktopSize(&resolution.width, &resolution.height))
            LogMessage("[GL] No display to take the native size from: rendering at 640 x 480");
    }
    demo.setRenderResolution(resolution);
    demo.running = 1;  // the window is up (or there is none to wait for)

    std::unique_ptr<FrameObserver> observer;
    if (!videoPath.empty())
        observer = std::make_unique<VideoObserver>(videoPath, clock.fixedFps, options.videoCrf);
    else if (capturing)
        observer = std::make_unique<CaptureObserver>(options.captureDir, clock.fixedFps);
    else if (headless)
        observer = std::make_unique<BenchmarkObserver>();

    int code = 1;
    if (demo.init()) {
        code = RunMainLoop(demo, window.get(), observer.get());
    } else {
        std::fprintf(stderr, "velmoor: cannot create the graphics device\n");
        demo.shutdown();
    }
    LogSetCallback(nullptr, kReportError, kReportWarning, kReportPlain);
    return code;
}

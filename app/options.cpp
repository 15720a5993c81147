#include "app/options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseCount(const char* text, int minimum, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < minimum || value > 100000) return false;
    *out = int(value);
    return true;
}

// Seconds of show time: a finite number, 0 or more.
bool ParseSeconds(const char* text, float* out) {
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (!text[0] || *end || !std::isfinite(value) || value < 0) return false;
    *out = value;
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: velmoor [--data DIR] [--windowed|--fullscreen] [--software] [--headless]\n"
           "               [--fixed-fps N] [--capture DIR] [--video FILE [--video-crf N]]\n"
           "               [--benchmark] [--start-scene N] [--from T] [--to T] [--seek T]\n"
           "               [--resolution WxH|native] [--msaa N] [--pack FILE] [--log FILE] [-v]\n"
           "\n"
           "  --data DIR       play the demo whose vlm.ini and data are in DIR (default: here)\n"
           "  --windowed       play in a 640 x 480 window, whatever vlm.ini says\n"
           "  --fullscreen     play full screen, whatever vlm.ini says\n"
           "  --software       draw with Mesa's software rasteriser\n"
           "  --headless       draw offscreen, without a window (the default without a display)\n"
           "  --fixed-fps N    advance the music clock by 1/N s per frame: reproducible frames\n"
           "  --capture DIR    write every frame as DIR/NNNNNN.png and the soundtrack as\n"
           "                   DIR/music.wav (fixed clock, 60 fps unless --fixed-fps says)\n"
           "  --video FILE     encode the show with its soundtrack into FILE: .mp4 or .mkv\n"
           "                   (H.264, AAC) or .webm (VP9, Opus); fixed clock as for --capture\n"
           "  --video-crf N    the video's constant quality, lower is better: 0-51 for H.264\n"
           "                   (default 20), 0-63 for VP9 (default 32)\n"
           "  --benchmark      offscreen, fixed 60 fps clock, as fast as possible; prints a\n"
           "                   per-scene table of frame times against the fill-rate floor,\n"
           "                   with draws, triangles, fragments and state changes per frame\n"
           "  --start-scene N  load everything, then start at script N with the music there\n"
           "  --from T         load everything, then start T seconds into the show (a capture's\n"
           "                   first frame and its music.wav begin there)\n"
           "  --to T           stop once the show has passed T seconds\n"
           "  --seek T         play in real time from T seconds into the show\n"
           "  --resolution WxH render at W x H pixels (the show keeps its 4:3 picture);\n"
           "                   native: at the window's size (the desktop's when offscreen)\n"
           "  --msaa N         multisample with N samples per pixel: 1 (none), 2, 4 or 8\n"
           "  --pack FILE      read data files from the pack FILE (loose files still win)\n"
           "  --log FILE       write every report to FILE\n"
           "  -v               print plain messages to stderr\n";
}

bool ParseOptions(int argc, const char* const* argv, RunOptions* o, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                *error = a + " needs " + what;
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--data") {
            const char* v = value("a directory");
            if (!v) return false;
            o->dataDir = v;
        } else if (a == "--windowed") {
            o->fullscreen = 0;
        } else if (a == "--fullscreen") {
            o->fullscreen = 1;
        } else if (a == "--software") {
            o->software = true;
        } else if (a == "--headless") {
            o->headless = true;
        } else if (a == "--fixed-fps") {
            const char* v = value("a frame rate");
            if (!v) return false;
            if (!ParseCount(v, 1, &o->fixedFps)) {
                *error = "--fixed-fps needs a frame rate of 1 or more, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (a == "--capture") {
            const char* v = value("a directory");
            if (!v) return false;
            o->captureDir = v;
        } else if (a == "--video") {
            const char* v = value("a file name");
            if (!v) return false;
            o->videoFile = v;
        } else if (a == "--video-crf") {
            const char* v = value("a quality");
            if (!v) return false;
            if (!ParseCount(v, 0, &o->videoCrf) || o->videoCrf > 63) {
                *error = "--video-crf needs a quality from 0 to 63, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (a == "--benchmark") {
            o->benchmark = true;
        } else if (a == "--start-scene") {
            const char* v = value("a script number");
            if (!v) return false;
            if (!ParseCount(v, 0, &o->startScene) || o->startScene > 9) {
                *error = "--start-scene needs a script number from 0 to 9, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (a == "--from" || a == "--to" || a == "--seek") {
            const char* v = value("a time in seconds");
            if (!v) return false;
            float* out = a == "--from" ? &o->from : a == "--to" ? &o->to : &o->seek;
            if (!ParseSeconds(v, out)) {
                *error = a + " needs a time of 0 seconds or more, not \"" + std::string(v) + "\"";
                return false;
            }
        } else if (a == "--resolution") {
            const char* v = value("a size WxH or native");
            if (!v) return false;
            // Only the size is taken, so --msaa may come before or after.
            platform::RenderResolution parsed;
            std::string reason;
            if (!platform::ParseResolution(v, &parsed, &reason)) {
                *error = "--resolution needs WxH or native, not \"" + std::string(v) + "\"" +
                         (reason.empty() ? "" : " (" + reason + ")");
                return false;
            }
            o->resolution.width = parsed.width;
            o->resolution.height = parsed.height;
            o->resolution.native = parsed.native;
        } else if (a == "--msaa") {
            const char* v = value("a sample count");
            if (!v) return false;
            int samples = 0;
            if (!ParseCount(v, 1, &samples) || (samples != 1 && samples != 2 && samples != 4 && samples != 8)) {
                *error = "--msaa needs 1, 2, 4 or 8 samples, not \"" + std::string(v) + "\"";
                return false;
            }
            o->resolution.samples = samples;
        } else if (a == "--pack") {
            const char* v = value("a pack file");
            if (!v) return false;
            o->pack = v;
        } else if (a == "--log") {
            const char* v = value("a file name");
            if (!v) return false;
            o->logFile = v;
        } else if (a == "-v" || a == "--verbose") {
            o->verbose = true;
        } else if (a == "-h" || a == "--help") {
            o->help = true;
        } else {
            *error = "unknown option \"" + a + "\"";
            return false;
        }
    }
    if (o->from >= 0 && o->to >= 0 && !(o->from < o->to)) {
        *error = "--from needs to come before --to";
        return false;
    }
    if (o->from >= 0 && o->seek >= 0) {
        *error = "--from and --seek both say where to begin: give one";
        return false;
    }
    // One recording at a time: the frames go either to PNG files or into the video.
    if (!o->videoFile.empty() && !o->captureDir.empty()) {
        *error = "--capture and --video cannot be used together";
        return false;
    }
    if (o->videoCrf >= 0 && o->videoFile.empty()) {
        *error = "--video-crf needs --video";
        return false;
    }
    return true;
}

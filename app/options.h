// The command line of the velmoor program.
#pragma once

#include <string>

#include "platform/render_resolution.h"

struct RunOptions {
    std::string dataDir;      // --data DIR: where vlm.ini and the data live (default: current directory)
    int fullscreen = -1;      // --windowed (0) / --fullscreen (1); -1: as vlm.ini says
    bool software = false;    // --software: Mesa's software rasteriser
    bool headless = false;    // --headless: no window, draw offscreen
    int fixedFps = 0;         // --fixed-fps N: virtual music clock, N frames per second
    std::string captureDir;   // --capture DIR: every frame as PNG plus the soundtrack as WAV
    std::string videoFile;    // --video FILE: the show encoded into FILE (.mp4, .mkv or .webm)
    int videoCrf = -1;        // --video-crf N: the encoder's constant quality; -1: its default
    bool benchmark = false;   // --benchmark: offscreen, fixed clock, per-scene timing table
    std::string logFile;      // --log FILE: every report, one per line
    bool verbose = false;     // -v: plain messages to stderr
    int startScene = -1;      // --start-scene N: begin at script N (development)
    // --from T / --to T: record or time only the show from T to T seconds (-1: its start / end)
    float from = -1, to = -1;
    float seek = -1;          // --seek T: a real-time run begins T seconds into the show
    std::string pack;         // --pack FILE: read data from a pack file
    // --resolution WxH|native and --msaa N: the back buffer's size and samples
    // (the default keeps the 640 x 480 logical size, one sample)
    platform::RenderResolution resolution;
    bool help = false;        // -h / --help
};

// Parses argv into options; false with a one-line reason in *error for a bad
// command line.
bool ParseOptions(int argc, const char* const* argv, RunOptions* options, std::string* error);

// The usage text shown by --help and after a bad command line.
const char* UsageText();

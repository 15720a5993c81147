#include "app/run_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/demo.h"
#include "engine/core/screen.h"
#include "engine/render/context.h"
#include "platform/frame_capture.h"
#include "platform/render_resolution.h"
#include "platform/sound.h"

int ShowPart(int frameState) {
    using frame_state::Running;
    if (frameState < Running(0)) return BenchmarkObserver::kLoading;
    // The state that starts the next script still counts to the one that has just finished.
    return std::min((frameState - Running(0)) / 2, kDemoSceneCount - 1) + 1;
}

// ---------------------------------------------------------------- progress

void ShowProgress::frame(const Demo& demo) {
    ++frames_;
    const int script = frame_state::RunningScript(demo.frameState);
    if (reporter_.total() == 0 && script >= 0 && demo.fixedClock()) {
        // The show has begun at `script`: what is left of it is the scripts from
        // there on, each its duration's frames (the last one partly), the frame
        // that sees it over and the frame that starts the next.
        uint64_t left = 0;
        for (int k = script; k < kDemoSceneCount; ++k)
            if (const SceneScript* s = demo.script(k))
                left += uint64_t(std::ceil(s->duration() * demo.clock().fixedFps)) + 2;
        if (left > 0) reporter_.setTotal(frames_ + left);
    }
    reporter_.update(frames_, demo.frameState >= frame_state::Running(0) ? demo.musicTime() : -1.0);
}

// ---------------------------------------------------------------- capture

namespace {

// The finished frame as RGB: the back buffer at its full size where the device
// renders at a resolution of its own, else the logical back buffer.
bool ReadFrameRgb(ID3DXContext* context, std::vector<uint8_t>* rgb, int* width, int* height) {
    std::vector<uint32_t> argb;
    if (!platform::ReadRenderedFrame(context, &argb, width, height))
        return platform::ReadBackBuffer(context, rgb, width, height);
    rgb->resize(argb.size() * 3);
    for (size_t i = 0; i < argb.size(); ++i) {
        (*rgb)[3 * i] = uint8_t(argb[i] >> 16);
        (*rgb)[3 * i + 1] = uint8_t(argb[i] >> 8);
        (*rgb)[3 * i + 2] = uint8_t(argb[i]);
    }
    return true;
}

}  // namespace

void CaptureObserver::afterFrame(Demo& demo, double) {
    if (failed_ || !demo.context) return;
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    char name[32];
    std::snprintf(name, sizeof name, "/%06d.png", frames_);
    if (!ReadFrameRgb(demo.context->d3dx(), &rgb, &width, &height) ||
        !platform::WritePng(directory_ + name, rgb, width, height)) {
        std::fprintf(stderr, "velmoor: cannot write the frame \"%s%s\"\n", directory_.c_str(), name);
        failed_ = true;
        demo.stop();
        return;
    }
    if (firstMusicFrame_ < 0 && demo.frameState >= frame_state::Running(0)) {
        firstMusicFrame_ = frames_;
        firstMusicTime_ = demo.frameMusicTime();
    }
    ++frames_;
    progress_.frame(demo);
}

bool CaptureObserver::finish(Demo& demo) {
    progress_.finish();
    if (failed_) return false;
    char fileName[1024];
    demo.config.getString("Music", "filename", fileName, "", sizeof fileName);
    if (!fileName[0]) return true;  // a demo without music
    // From the show's start, the music starts in the frame before the first
    // frame drawn with it: that many frames of silence come first. A run that
    // begins later in the show drew that frame at music time m: the music
    // before m is left out.
    const int64_t frame = std::max(firstMusicFrame_, 0);
    uint64_t silence = 0, skipped = 0;
    if (firstMusicTime_ <= 0) {
        silence = uint64_t(std::max<int64_t>(frame - 1, 0)) * 44100 / uint64_t(fps_);
    } else {
        const int64_t ahead = std::llround(double(firstMusicTime_) * 44100.0) - frame * 44100 / fps_;
        skipped = uint64_t(std::max<int64_t>(ahead, 0));
    }
    std::string error;
    if (!platform::DecodeToWav(fileName, (directory_ + "/music.wav").c_str(), 44100, silence, &error, skipped)) {
        std::fprintf(stderr, "velmoor: %s\n", error.c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- benchmark

void BenchmarkObserver::beforeFirstFrame(Demo& demo) {
    if (!demo.context) return;
    // Overdraw is per pixel drawn: at another resolution, per pixel of the back buffer.
    platform::RenderedSize(demo.context->d3dx(), &renderWidth_, &renderHeight_);
    floorMs_ = ZK3D::MeasureFillFloor(*demo.context);
    meter_ = std::make_unique<ZK3D::FrameCostMeter>(*demo.context);
    fragmentCounter_ = meter_->counter();
}

void BenchmarkObserver::afterFrame(Demo& demo, double seconds) {
    const size_t part = size_t(ShowPart(demo.frameState));
    parts_[part].push_back(seconds * 1000.0);
    if (meter_) counters_[part] += meter_->Take();
    total_ += seconds;
    progress_.frame(demo);
    if (const char* e = getenv("ZK_STOPAFTER"); e && part > size_t(atoi(e))) demo.stop();
}

bool BenchmarkObserver::finish(Demo&) {
    progress_.finish();
    std::fputs(table().c_str(), stdout);
    meter_.reset();
    return true;
}

std::string BenchmarkObserver::table() const {
    static const char* const kNames[] = {"loading", "jungle",  "cavern",   "forest",   "lake",     "temple",
                                         "space",   "earth",   "computer", "t-rex",    "greetings"};
    static_assert(std::size(kNames) == kDemoSceneCount + 1);
    std::string out = ZK3D::FrameCostFloorLine(floorMs_, fragmentCounter_) + ZK3D::FrameCostHeader();
    size_t frames = 0;
    for (size_t p = 0; p < parts_.size(); ++p) {
        if (parts_[p].empty()) continue;
        frames += parts_[p].size();
        out += ZK3D::FrameCostRow(kNames[p], parts_[p], counters_[p], floorMs_, renderWidth_, renderHeight_);
    }
    char line[128];
    std::snprintf(line, sizeof line, "total      %7zu frames in %.1f s\n", frames, total_);
    out += line;
    return out;
}

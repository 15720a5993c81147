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
#include "platform/video_encoder.h"

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

// The finished frame as ARGB: the back buffer at its full size where the device
// renders at a resolution of its own, else the logical back buffer.
bool ReadFrameArgb(ID3DXContext* context, std::vector<uint32_t>* argb, int* width, int* height) {
    if (platform::ReadRenderedFrame(context, argb, width, height)) return true;
    std::vector<uint8_t> rgb;
    if (!platform::ReadBackBuffer(context, &rgb, width, height)) return false;
    argb->resize(rgb.size() / 3);
    for (size_t i = 0; i < argb->size(); ++i)
        (*argb)[i] = 0xFF000000u | uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

// The music's file name from vlm.ini; empty for a demo without music.
std::string MusicFile(Demo& demo) {
    char fileName[1024];
    demo.config.getString("Music", "filename", fileName, "", sizeof fileName);
    return fileName;
}

}  // namespace

void RecordingObserver::afterFrame(Demo& demo, double) {
    if (failed_ || !demo.context) return;
    std::vector<uint32_t> argb;
    int width = 0, height = 0;
    if (firstMusicFrame_ < 0 && demo.frameState >= frame_state::Running(0)) {
        firstMusicFrame_ = frames_;
        firstMusicTime_ = demo.frameMusicTime();
    }
    if (!ReadFrameArgb(demo.context->d3dx(), &argb, &width, &height)) {
        std::fprintf(stderr, "velmoor: cannot read frame %d back\n", frames_);
        failed_ = true;
    } else if (!record(demo, std::move(argb), width, height)) {
        failed_ = true;
    }
    if (failed_) {
        demo.stop();
        return;
    }
    ++frames_;
    progress_.frame(demo);
}

uint64_t RecordingObserver::leadingSilence(int rate) const {
    if (firstMusicTime_ > 0) return 0;
    const uint64_t leadFrames = firstMusicFrame_ > 0 ? uint64_t(firstMusicFrame_ - 1) : 0;
    return leadFrames * uint64_t(rate) / uint64_t(fps_);
}

uint64_t RecordingObserver::skippedMusic(int rate) const {
    if (firstMusicTime_ <= 0) return 0;
    const int64_t frame = std::max(firstMusicFrame_, 0);
    const int64_t ahead = std::llround(double(firstMusicTime_) * rate) - frame * rate / fps_;
    return uint64_t(std::max<int64_t>(ahead, 0));
}

bool CaptureObserver::record(Demo&, std::vector<uint32_t> argb, int width, int height) {
    std::vector<uint8_t> rgb(argb.size() * 3);
    for (size_t i = 0; i < argb.size(); ++i) {
        rgb[3 * i] = uint8_t(argb[i] >> 16);
        rgb[3 * i + 1] = uint8_t(argb[i] >> 8);
        rgb[3 * i + 2] = uint8_t(argb[i]);
    }
    char name[32];
    std::snprintf(name, sizeof name, "/%06d.png", framesWritten());
    if (platform::WritePng(directory_ + name, rgb, width, height)) return true;
    std::fprintf(stderr, "velmoor: cannot write the frame \"%s%s\"\n", directory_.c_str(), name);
    return false;
}

bool CaptureObserver::finish(Demo& demo) {
    progress_.finish();
    if (failed_) return false;
    const std::string fileName = MusicFile(demo);
    if (fileName.empty()) return true;  // a demo without music
    std::string error;
    if (!platform::DecodeToWav(fileName.c_str(), (directory_ + "/music.wav").c_str(), 44100, leadingSilence(44100),
                               &error, skippedMusic(44100))) {
        std::fprintf(stderr, "velmoor: %s\n", error.c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- video

VideoObserver::VideoObserver(std::string path, int fps, int crf)
    : RecordingObserver("video", fps), path_(std::move(path)), crf_(crf) {}

VideoObserver::~VideoObserver() = default;

bool VideoObserver::record(Demo& demo, std::vector<uint32_t> argb, int width, int height) {
    std::string error;
    if (!encoder_) {
        // The size is known once the first frame is read back.
        // A soundtrack that cannot be decoded leaves the video silent and the run
        // failed, as it fails the PNG capture's music.wav.
        const std::string music = MusicFile(demo);
        if (!music.empty() && !platform::DecodeToSamples(music.c_str(), platform::VideoEncoder::kAudioRate, &music_,
                                                         &error)) {
            std::fprintf(stderr, "velmoor: %s; the video has no sound\n", error.c_str());
            soundFailed_ = true;
        }
        withAudio_ = !music.empty() && !soundFailed_;
        encoder_ = std::make_unique<platform::VideoEncoder>();
        if (!encoder_->Open(path_, width, height, fps_, crf_, withAudio_, &error)) {
            std::fprintf(stderr, "velmoor: %s\n", error.c_str());
            return false;
        }
    }
    // The soundtrack trails the frames by one: until the music has started, the
    // samples up to this frame are silence whenever it starts.
    const uint64_t frameStart = uint64_t(framesWritten()) * platform::VideoEncoder::kAudioRate / uint64_t(fps_);
    if (encoder_->AddFrame(std::move(argb)) && addAudioUpTo(frameStart)) return true;
    // The encoder's reason comes from Finish.
    encoder_->Finish(&error);
    std::fprintf(stderr, "velmoor: %s\n", error.c_str());
    return false;
}

bool VideoObserver::addAudioUpTo(uint64_t end) {
    if (!withAudio_) return true;
    const uint64_t silence = musicStarted() ? leadingSilence(platform::VideoEncoder::kAudioRate) : end;
    if (audioAdded_ < std::min(end, silence)) {
        if (!encoder_->AddAudio(nullptr, size_t(std::min(end, silence) - audioAdded_))) return false;
        audioAdded_ = std::min(end, silence);
    }
    if (audioAdded_ < end) {
        const uint64_t skipped = skippedMusic(platform::VideoEncoder::kAudioRate);
        const uint64_t from = audioAdded_ - silence + skipped;
        const uint64_t to = std::min<uint64_t>(end - silence + skipped, music_.size() / 2);
        if (from < to && !encoder_->AddAudio(music_.data() + from * 2, size_t(to - from))) return false;
        audioAdded_ = end;
    }
    return true;
}

bool VideoObserver::finish(Demo& demo) {
    progress_.finish();
    if (failed_) return false;
    if (!encoder_) return true;  // no frame was drawn
    std::string error;
    // The music to its end, as music.wav has it.
    const int rate = platform::VideoEncoder::kAudioRate;
    const uint64_t music = music_.size() / 2, skipped = std::min(skippedMusic(rate), music);
    uint64_t end = musicStarted() ? leadingSilence(rate) + music - skipped : 0;
    // A stretch of the show (--to) ends its sound with its last frame.
    if (demo.endTime() >= 0) end = std::min(end, uint64_t(framesWritten()) * uint64_t(rate) / uint64_t(fps_));
    if (addAudioUpTo(end) && encoder_->Finish(&error)) return !soundFailed_;
    if (error.empty()) encoder_->Finish(&error);
    std::fprintf(stderr, "velmoor: %s\n", error.c_str());
    return false;
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

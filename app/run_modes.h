// What the run modes do around each frame: writing every frame as a PNG (with the
// soundtrack as WAV) for making a video, and timing frames per scene for the
// benchmark table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo/scene_index.h"
#include "engine/core/screen.h"
#include "engine/render/frame_cost.h"
#include "platform/progress.h"

class Demo;
namespace platform {
class VideoEncoder;
}

class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // Once the device is up, before the first frame.
    virtual void beforeFirstFrame(Demo&) {}
    // After every frame of the main loop.
    virtual void afterFrame(Demo& demo, double seconds) = 0;
    // After the loop has ended (before shutdown); false when the run failed.
    virtual bool finish(Demo& demo) = 0;
};

// The progress of a fixed-clock run on stderr, for any observer: frames done of
// the show's frames (known once the show starts: the frames so far plus the
// remaining scripts' durations at the fixed rate), and the show time. An observer
// holds one and calls frame() after every frame and finish() at the end.
class ShowProgress {
public:
    explicit ShowProgress(const char* label, platform::ProgressOutput output = platform::StderrProgressOutput(),
                          std::function<double()> clock = platform::SteadySeconds)
        : reporter_(label, "frame", std::move(output), std::move(clock)) {}
    void frame(const Demo& demo);
    void finish() { reporter_.finish(); }
    uint64_t total() const { return reporter_.total(); }

private:
    platform::ProgressReporter reporter_;
    uint64_t frames_ = 0;
};

// What both recordings of the show share: every finished frame read back at
// its full rendered size (so --resolution and --msaa apply), and the frame the
// music starts in, from which the soundtrack's leading silence follows.
class RecordingObserver : public FrameObserver {
public:
    void afterFrame(Demo& demo, double seconds) final;
    int framesWritten() const { return frames_; }

protected:
    RecordingObserver(const char* label, int fps) : fps_(fps), progress_(label) {}
    // Records frame number framesWritten() (ARGB, top row first); false stops the show.
    virtual bool record(Demo& demo, std::vector<uint32_t> argb, int width, int height) = 0;
    // Samples at rate of silence before the music: from the show's start, it
    // starts in the frame before the first frame drawn with it, so that many
    // frames come first. A run that begins later in the show (--from) has none.
    uint64_t leadingSilence(int rate) const;
    // Samples at rate of the music left out before the first frame: a run that
    // begins later in the show drew its first music frame at music time m, and
    // the music before m is not part of the recording.
    uint64_t skippedMusic(int rate) const;
    // Whether the music has started by now.
    bool musicStarted() const { return firstMusicFrame_ >= 0; }

    int fps_;
    bool failed_ = false;
    ShowProgress progress_;

private:
    int frames_ = 0;
    int firstMusicFrame_ = -1;  // the first frame drawn with the music playing
    float firstMusicTime_ = 0;  // and the music time it was drawn at
};

// Writes DIR/000000.png, DIR/000001.png ... and, at the end, DIR/music.wav with
// enough leading silence (or, for a run that begins later in the show, without
// the music before its first frame) that the music lines up with the frames:
//   ffmpeg -framerate N -i DIR/%06d.png -i DIR/music.wav -c:v libx264 -pix_fmt yuv420p out.mp4
class CaptureObserver final : public RecordingObserver {
public:
    CaptureObserver(std::string directory, int fps)
        : RecordingObserver("capture", fps), directory_(std::move(directory)) {}
    bool finish(Demo& demo) override;

private:
    bool record(Demo& demo, std::vector<uint32_t> argb, int width, int height) override;
    std::string directory_;
};

// Encodes the frames and the soundtrack (after the same silence as music.wav)
// into one video file, as they are drawn.
class VideoObserver final : public RecordingObserver {
public:
    VideoObserver(std::string path, int fps, int crf);
    ~VideoObserver() override;
    bool finish(Demo& demo) override;

private:
    bool record(Demo& demo, std::vector<uint32_t> argb, int width, int height) override;
    // Adds the soundtrack up to sample `end` (silence, then the music).
    bool addAudioUpTo(uint64_t end);
    std::string path_;
    int crf_;
    std::unique_ptr<platform::VideoEncoder> encoder_;
    std::vector<int16_t> music_;  // the decoded soundtrack, stereo at 44.1 kHz
    bool withAudio_ = false;
    bool soundFailed_ = false;    // the soundtrack could not be decoded
    uint64_t audioAdded_ = 0;     // samples per channel given to the encoder
};

// Frame times and device counters per part of the show (loading, then each
// script), measured against the fill-rate floor, and the table.
class BenchmarkObserver final : public FrameObserver {
public:
    // Measures the fill-rate floor and starts counting.
    void beforeFirstFrame(Demo& demo) override;
    void afterFrame(Demo& demo, double seconds) override;
    bool finish(Demo& demo) override;
    // The table: the floor, then one row per part with frames, median and 95th
    // percentile in ms, the median in floors, and the device counters per frame.
    std::string table() const;
    const std::vector<double>& times(int part) const { return parts_[size_t(part)]; }
    const ZK3D::FrameCounters& counters(int part) const { return counters_[size_t(part)]; }

    static constexpr int kLoading = 0;  // part 0: loading; part k + 1: script k
private:
    std::vector<std::vector<double>> parts_ = std::vector<std::vector<double>>(kDemoSceneCount + 1);
    std::vector<ZK3D::FrameCounters> counters_ = std::vector<ZK3D::FrameCounters>(kDemoSceneCount + 1);
    std::unique_ptr<ZK3D::FrameCostMeter> meter_;
    platform::FragmentCounter fragmentCounter_ = platform::FragmentCounter::kNone;
    double floorMs_ = 0;
    double total_ = 0;
    int renderWidth_ = ZK3D::kScreenWidth, renderHeight_ = ZK3D::kScreenHeight;
    ShowProgress progress_{"benchmark"};
};

// Which part of the show the dispatcher state belongs to (0 loading, k + 1 script k).
int ShowPart(int frameState);

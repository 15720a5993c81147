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

// Writes DIR/000000.png, DIR/000001.png ... and, at the end, DIR/music.wav with
// enough leading silence (or, for a run that begins later in the show, without
// the music before its first frame) that the music lines up with the frames:
//   ffmpeg -framerate N -i DIR/%06d.png -i DIR/music.wav -c:v libx264 -pix_fmt yuv420p out.mp4
class CaptureObserver final : public FrameObserver {
public:
    CaptureObserver(std::string directory, int fps) : directory_(std::move(directory)), fps_(fps) {}
    void afterFrame(Demo& demo, double seconds) override;
    bool finish(Demo& demo) override;
    int framesWritten() const { return frames_; }

private:
    std::string directory_;
    int fps_;
    int frames_ = 0;
    int firstMusicFrame_ = -1;  // the first frame drawn with the music playing
    float firstMusicTime_ = 0;  // and the music time it was drawn at
    bool failed_ = false;
    ShowProgress progress_{"capture"};
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

// Progress of a long run (a capture, a benchmark, a bake) on stderr: on a
// terminal one line rewritten in place ("\r") a few times a second; elsewhere
// (a log, a pipe) plain lines now and then (every 10 s, or each tenth of the
// work done) and a last line when the run ends.
//
// The clock and the output are injected, so the timing rules can be tested
// without waiting; ProgressText is the line itself as a pure function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// What one progress line says.
struct ProgressSnapshot {
    std::string label;  // "capture", "benchmark", "bake"
    std::string unit = "frame";
    uint64_t done = 0;     // units finished
    uint64_t total = 0;    // 0: not known
    double elapsed = 0;    // seconds since the run began
    double showTime = -1;  // seconds of the show reached; negative: none
    std::string item;      // what is being made now; empty: nothing said
};

// "capture: frame 120/600 (20%), show 2.0 s, 60.0 fps, 8 s left"; without a total
// "capture: frame 120, show time 2.0 s, 60.0 fps". The rate is done / elapsed and
// the time left (total - done) / rate; before any unit is done or any time has
// passed neither is known and the line says so.
std::string ProgressText(const ProgressSnapshot& s);
// The last line: "capture: 600 frames in 10.0 s (60.0 fps)".
std::string ProgressSummary(const ProgressSnapshot& s);
// Seconds as "8 s", "1:05" or "1:02:03" (whole seconds; negative as 0).
std::string FormatDuration(double seconds);

struct ProgressOutput {
    std::function<void(const std::string&)> write;
    bool terminal = false;  // rewrite one line in place instead of printing lines
};
// stderr, as a terminal when it is one.
ProgressOutput StderrProgressOutput();
// Seconds on the steady clock.
double SteadySeconds();

class ProgressReporter {
public:
    static constexpr double kTerminalInterval = 0.25;  // between rewrites of the line
    static constexpr double kPlainInterval = 10;       // between plain lines at the latest
    static constexpr double kPlainMinInterval = 1;     // between plain lines at the earliest

    explicit ProgressReporter(std::string label, std::string unit = "frame",
                              ProgressOutput output = StderrProgressOutput(),
                              std::function<double()> clock = SteadySeconds);
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

    // 0: not known (yet).
    void setTotal(uint64_t total) { snapshot_.total = total; }
    uint64_t total() const { return snapshot_.total; }
    // done units so far; shows a line when one is due.
    void update(uint64_t done, double showTime = -1, std::string item = {});
    // The summary line (ending the terminal's line first); once.
    void finish();

private:
    void show(const std::string& text);
    double elapsed() const;

    ProgressOutput output_;
    std::function<double()> clock_;
    ProgressSnapshot snapshot_;
    double start_ = 0;
    double lastShown_ = -1;  // elapsed at the last line; negative: none yet
    uint64_t lastTenth_ = 0;
    size_t lastWidth_ = 0;  // of the terminal line, to blank what a shorter one leaves
    bool finished_ = false;
};

}  // namespace platform

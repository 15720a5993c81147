#include "platform/progress.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace platform {
namespace {

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Units per second, or 0 when it cannot be told yet.
double Rate(const ProgressSnapshot& s) { return s.done > 0 && s.elapsed > 0 ? double(s.done) / s.elapsed : 0; }

}  // namespace

std::string FormatDuration(double seconds) {
    const long total = seconds > 0 ? long(std::lround(seconds)) : 0;
    if (total < 60) return Format("%ld s", total);
    if (total < 3600) return Format("%ld:%02ld", total / 60, total % 60);
    return Format("%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
}

std::string ProgressText(const ProgressSnapshot& s) {
    std::string line = s.label + ": " + s.unit + " " + std::to_string(s.done);
    const bool known = s.total > 0;
    if (known) line += Format("/%llu (%d%%)", (unsigned long long)s.total, int(s.done * 100 / s.total));
    if (!s.item.empty()) line += " " + s.item;
    if (s.showTime >= 0) line += Format(known ? ", show %.1f s" : ", show time %.1f s", s.showTime);
    const double rate = Rate(s);
    if (rate <= 0)
        line += ", rate not known yet";
    else
        line += s.unit == "frame" ? Format(", %.1f fps", rate) : Format(", %.2f %ss/s", rate, s.unit.c_str());
    if (known) {
        if (rate > 0)
            line += ", " + FormatDuration(double(s.total > s.done ? s.total - s.done : 0) / rate) + " left";
        else
            line += ", time left not known yet";
    } else {
        line += ", total not known";
    }
    return line;
}

std::string ProgressSummary(const ProgressSnapshot& s) {
    std::string line = s.label + ": " + std::to_string(s.done) + " " + s.unit + (s.done == 1 ? "" : "s") + " in " +
                       Format("%.1f s", s.elapsed);
    if (const double rate = Rate(s); rate > 0 && s.unit == "frame") line += Format(" (%.1f fps)", rate);
    return line;
}

ProgressOutput StderrProgressOutput() {
    return {[](const std::string& text) {
                std::fputs(text.c_str(), stderr);
                std::fflush(stderr);
            },
            isatty(fileno(stderr)) != 0};
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ProgressReporter::ProgressReporter(std::string label, std::string unit, ProgressOutput output,
                                   std::function<double()> clock)
    : output_(std::move(output)), clock_(std::move(clock)) {
    snapshot_.label = std::move(label);
    snapshot_.unit = std::move(unit);
    start_ = clock_();
}

double ProgressReporter::elapsed() const { return clock_() - start_; }

void ProgressReporter::update(uint64_t done, double showTime, std::string item) {
    if (finished_) return;
    snapshot_.done = done;
    snapshot_.showTime = showTime;
    snapshot_.item = std::move(item);
    snapshot_.elapsed = elapsed();
    const double since = lastShown_ < 0 ? snapshot_.elapsed : snapshot_.elapsed - lastShown_;
    bool due;
    if (output_.terminal) {
        due = lastShown_ < 0 || since >= kTerminalInterval;
    } else {
        // A tenth of a known total crossed, but no more often than the minimum
        // interval, so a short run does not fill its log.
        const uint64_t tenth = snapshot_.total > 0 ? std::min<uint64_t>(done * 10 / snapshot_.total, 10) : 0;
        due = since >= kPlainInterval || (tenth > lastTenth_ && since >= kPlainMinInterval);
        if (due) lastTenth_ = tenth;
    }
    if (!due) return;
    lastShown_ = snapshot_.elapsed;
    show(ProgressText(snapshot_));
}

void ProgressReporter::show(const std::string& text) {
    if (!output_.terminal) {
        output_.write(text + "\n");
        return;
    }
    std::string line = "\r" + text;
    if (text.size() < lastWidth_) line.append(lastWidth_ - text.size(), ' ');
    lastWidth_ = text.size();
    output_.write(line);
}

void ProgressReporter::finish() {
    if (finished_) return;
    finished_ = true;
    snapshot_.elapsed = elapsed();
    const std::string summary = ProgressSummary(snapshot_);
    if (output_.terminal && lastWidth_ > 0) {
        show(summary);
        output_.write("\n");
    } else {
        output_.write(summary + "\n");
    }
}

}  // namespace platform

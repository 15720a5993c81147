#include "app/frame_pacer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

FramePacer::FramePacer()
    : FramePacer(
          [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); },
          [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }) {}

FramePacer::FramePacer(Now now, Sleep sleep) : now_(std::move(now)), sleep_(std::move(sleep)) {}

double FramePacer::medianInterval() const {
    std::array<double, kIntervals> sorted = intervals_;
    std::nth_element(sorted.begin(), sorted.begin() + kIntervals / 2, sorted.end());
    return sorted[kIntervals / 2];
}

void FramePacer::afterPresent(int refreshHz, bool intervalAccepted, double musicSeconds) {
    const double now = now_();
    const double period = 1.0 / std::max(refreshHz, 1);
    const double interval = lastPresent_ >= 0 ? now - lastPresent_ : 0;
    if (lastPresent_ >= 0) intervals_[size_t(intervalCount_++ % kIntervals)] = interval;
    lastPresent_ = now;
    // Once a swap is seen not to wait, it is not trusted again for this run.
    if (intervalAccepted && !notHonoured_ && intervalCount_ >= kIntervals && medianInterval() < 0.75 * period)
        notHonoured_ = true;
    pacing_ = !intervalAccepted || notHonoured_;
    if (!pacing_) {
        lastStart_ = now;
        return;
    }

    // A music clock that moves in steps reads its true offset from the steady
    // clock just after a step and less until the next, so the offset kept is the
    // highest recent one, let down slowly for the drift between the two clocks.
    // A jump (the music starting, a seek, a rewind) is taken over at once; a
    // clock that stands still is carried on by the steady clock, and taken over
    // again each time the two are a quarter of a second apart.
    constexpr double kResync = 0.25, kDrift = 0.001;
    if (musicSeconds >= 0) {
        const double offset = musicSeconds - now;
        if (!haveOffset_ || std::fabs(offset - musicOffset_) > kResync)
            musicOffset_ = offset;
        else
            musicOffset_ = std::max(offset, musicOffset_ - kDrift * interval);
        haveOffset_ = true;
    } else {
        haveOffset_ = false;
    }
    // A frame that already took a period or more goes on at once: nothing spins,
    // and waiting for the next boundary would only drop a show the machine draws
    // at 45 frames a second to 30.
    if (lastStart_ >= 0 && now - lastStart_ >= period) {
        lastStart_ = now;
        return;
    }
    const double clock = haveOffset_ ? now + musicOffset_ : now;
    double wait = std::min((std::floor(clock / period) + 1) * period - clock, period);
    if (lastStart_ >= 0) wait = std::max(wait, lastStart_ + period / 2 - now);
    if (wait > 0) sleep_(wait);
    lastStart_ = now_();
}

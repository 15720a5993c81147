// Frame pacing for real-time runs on a window whose buffer swap does not wait
// for the display: without it such a run draws as fast as the machine allows
// and keeps a core (and llvmpipe's threads) busy for frames nobody sees.
//
// After each present the pacer measures the interval since the previous one.
// While the swap interval is refused, or once the median of the last 30
// intervals shows it is not honoured (under 3/4 of the refresh period), it
// sleeps until the next multiple of the refresh period on the show's clock,
// never longer than one period, and never so little that two frames start
// closer than half a period apart. A frame that took a period or more is not
// held back.
#pragma once

#include <array>
#include <functional>

class FramePacer {
public:
    using Now = std::function<double()>;        // seconds on a steady clock
    using Sleep = std::function<void(double)>;  // sleeps that many seconds

    // On the steady clock, sleeping the thread.
    FramePacer();
    FramePacer(Now now, Sleep sleep);

    // After a frame has been presented. refreshHz: the display's refresh rate;
    // intervalAccepted: whether the driver took the swap interval; musicSeconds:
    // the show's music clock, negative before the music plays (the steady clock
    // stands in). The music clock may move in steps of an audio buffer; it is
    // followed as an offset from the steady clock, so frames stay evenly spaced.
    void afterPresent(int refreshHz, bool intervalAccepted, double musicSeconds);
    // Whether the last frame was paced.
    bool pacing() const { return pacing_; }

private:
    double medianInterval() const;

    static constexpr int kIntervals = 30;
    Now now_;
    Sleep sleep_;
    std::array<double, kIntervals> intervals_{};
    int intervalCount_ = 0;  // intervals measured so far (the last kIntervals are kept)
    double lastPresent_ = -1;
    double lastStart_ = -1;  // when the frame after the previous present began
    bool haveOffset_ = false;
    double musicOffset_ = 0;  // music clock minus steady clock
    bool notHonoured_ = false;
    bool pacing_ = false;
};

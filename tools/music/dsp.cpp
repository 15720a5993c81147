// Delay and reverb of the synthesiser's effect buses.
#include "tools/music/dsp.h"

namespace music::dsp {

PingPongDelay::PingPongDelay(float seconds, float feedback, float damping, float sampleRate)
    : left_(size_t(seconds * sampleRate)), right_(size_t(seconds * sampleRate)), feedback_(feedback) {
    dampL_.SetLowpass(damping, sampleRate);
    dampR_.SetLowpass(damping, sampleRate);
}

void PingPongDelay::Process(float input, float& left, float& right) {
    const float l = left_.Read(), r = right_.Read();
    // Input enters the left line; each line feeds the other, so echoes alternate.
    left_.Write(input + dampR_.Low(r) * feedback_);
    right_.Write(dampL_.Low(l) * feedback_);
    left = l;
    right = r;
}

namespace {
constexpr int kCombTuning[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllpassTuning[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
}  // namespace

Reverb::Reverb(float roomSize, float damping, float sampleRate)
    : feedback_(roomSize * 0.28f + 0.7f), damp_(damping * 0.4f) {
    const float scale = sampleRate / 44100.0f;
    for (int t : kCombTuning) {
        combsL_.push_back({DelayLine(size_t(float(t) * scale))});
        combsR_.push_back({DelayLine(size_t(float(t + kStereoSpread) * scale))});
    }
    for (int t : kAllpassTuning) {
        allpassL_.push_back({DelayLine(size_t(float(t) * scale))});
        allpassR_.push_back({DelayLine(size_t(float(t + kStereoSpread) * scale))});
    }
}

void Reverb::Process(float input, float& left, float& right) {
    const float in = input * 0.015f;
    auto run = [&](std::vector<Comb>& combs, std::vector<Allpass>& allpasses) {
        float out = 0;
        for (Comb& c : combs) {
            const float y = c.line.Read();
            c.store = y * (1.0f - damp_) + c.store * damp_;
            c.line.Write(in + c.store * feedback_);
            out += y;
        }
        for (Allpass& a : allpasses) {
            const float b = a.line.Read();
            a.line.Write(out + b * 0.5f);
            out = b - out;
        }
        return out;
    };
    left = run(combsL_, allpassL_);
    right = run(combsR_, allpassR_);
}

}  // namespace music::dsp

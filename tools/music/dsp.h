// Signal-processing building blocks of the synthesiser: noise, band-limited
// oscillators, filters, envelopes, delay and reverb. Single precision, no
// allocation while processing, no randomness beyond the seeded noise source.
//
// Not a general audio library: only what the instruments in synth.cpp use.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace music::dsp {

constexpr float kPi = std::numbers::pi_v<float>;

inline float NoteFrequency(float midi) { return 440.0f * std::exp2((midi - 69.0f) / 12.0f); }

// Exponential decay factor per sample for a time constant in seconds.
inline float DecayCoefficient(float seconds, float sampleRate) {
    return seconds > 0 ? std::exp(-1.0f / (seconds * sampleRate)) : 0.0f;
}

// xorshift32 white noise.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 0x1234567u) {}
    float Next() {  // −1 to 1
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return float(int32_t(state_)) * (1.0f / 2147483648.0f);
    }

private:
    uint32_t state_;
};

// Polynomial correction of a unit step at phase 0 (band-limits saw and pulse edges).
inline float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

class SawOsc {
public:
    void SetPhase(float phase) { phase_ = phase - std::floor(phase); }
    // dt = frequency / sample rate.
    float Next(float dt) {
        const float v = 2.0f * phase_ - 1.0f - PolyBlep(phase_, dt);
        phase_ += dt;
        if (phase_ >= 1.0f) phase_ -= 1.0f;
        return v;
    }

private:
    float phase_ = 0;
};

class PulseOsc {
public:
    void SetPhase(float phase) { phase_ = phase - std::floor(phase); }
    float Next(float dt, float width = 0.5f) {
        float v = phase_ < width ? 1.0f : -1.0f;
        v += PolyBlep(phase_, dt);
        float t = phase_ - width;
        if (t < 0) t += 1.0f;
        v -= PolyBlep(t, dt);
        phase_ += dt;
        if (phase_ >= 1.0f) phase_ -= 1.0f;
        return v;
    }

private:
    float phase_ = 0;
};

class SineOsc {
public:
    void SetPhase(float phase) { phase_ = phase - std::floor(phase); }
    float Next(float dt) {
        const float v = std::sin(2.0f * kPi * phase_);
        phase_ += dt;
        if (phase_ >= 1.0f) phase_ -= 1.0f;
        return v;
    }

private:
    float phase_ = 0;
};

// Two-pole state-variable filter (trapezoidal integration), stable under fast
// cutoff changes. resonance 0 (none) to just under 1 (self-oscillation).
class Svf {
public:
    void Set(float cutoff, float resonance, float sampleRate) {
        const float fc = std::fmin(cutoff, sampleRate * 0.45f);
        g_ = std::tan(kPi * std::fmax(fc, 10.0f) / sampleRate);
        k_ = 2.0f - 2.0f * std::fmin(resonance, 0.98f);
        a1_ = 1.0f / (1.0f + g_ * (g_ + k_));
    }
    struct Out {
        float low, band, high;
    };
    Out Process(float x) {
        const float v3 = x - ic2_;
        const float v1 = a1_ * (ic1_ + g_ * v3);
        const float v2 = ic2_ + g_ * v1;
        ic1_ = 2.0f * v1 - ic1_;
        ic2_ = 2.0f * v2 - ic2_;
        return {v2, v1, x - k_ * v1 - v2};
    }
    float Low(float x) { return Process(x).low; }
    float Band(float x) { return Process(x).band; }
    float High(float x) { return Process(x).high; }

private:
    float g_ = 0, k_ = 2, a1_ = 1;
    float ic1_ = 0, ic2_ = 0;
};

class OnePole {
public:
    void SetLowpass(float cutoff, float sampleRate) { a_ = 1.0f - std::exp(-2.0f * kPi * cutoff / sampleRate); }
    float Low(float x) { return z_ += a_ * (x - z_); }
    float High(float x) { return x - Low(x); }

private:
    float a_ = 1, z_ = 0;
};

// Linear attack, exponential decay towards sustain while the gate is held,
// exponential release after it.
class Adsr {
public:
    Adsr(float attack, float decay, float sustain, float release, float sampleRate)
        : attackStep_(attack > 0 ? 1.0f / (attack * sampleRate) : 1.0f),
          decayCoef_(DecayCoefficient(decay, sampleRate)),
          sustain_(sustain),
          releaseCoef_(DecayCoefficient(release, sampleRate)) {}
    float Next(bool gate) {
        if (!gate) {
            attacking_ = false;
            level_ *= releaseCoef_;
        } else if (attacking_) {
            level_ += attackStep_;
            if (level_ >= 1.0f) {
                level_ = 1.0f;
                attacking_ = false;
            }
        } else {
            level_ = sustain_ + (level_ - sustain_) * decayCoef_;
        }
        return level_;
    }
    float level() const { return level_; }

private:
    float attackStep_, decayCoef_, sustain_, releaseCoef_;
    float level_ = 0;
    bool attacking_ = true;
};

// A delay line of fixed length.
class DelayLine {
public:
    explicit DelayLine(size_t length) : buffer_(length ? length : 1, 0.0f) {}
    float Read() const { return buffer_[pos_]; }
    void Write(float x) {
        buffer_[pos_] = x;
        if (++pos_ == buffer_.size()) pos_ = 0;
    }

private:
    std::vector<float> buffer_;
    size_t pos_ = 0;
};

// Stereo ping-pong echo: the left input returns on the left, then alternates.
class PingPongDelay {
public:
    PingPongDelay(float seconds, float feedback, float damping, float sampleRate);
    void Process(float input, float& left, float& right);

private:
    DelayLine left_, right_;
    float feedback_;
    OnePole dampL_, dampR_;
};

// Schroeder–Moorer reverberator in the layout of the well-known public-domain
// "Freeverb": eight damped combs and four all-passes per channel, the right
// channel's lines slightly longer for width.
class Reverb {
public:
    Reverb(float roomSize, float damping, float sampleRate);
    void Process(float input, float& left, float& right);

private:
    struct Comb {
        DelayLine line;
        float store = 0;
    };
    struct Allpass {
        DelayLine line;
    };
    std::vector<Comb> combsL_, combsR_;
    std::vector<Allpass> allpassL_, allpassR_;
    float feedback_, damp_;
};

}  // namespace music::dsp

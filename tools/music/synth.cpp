// The synthesiser: one voice object per note event, rendered block by block
// into a few buses (drums, bass, melodic parts, echo and reverb sends), then
// ducking, effects, mix-down and mastering.
//
// Voices keep their own oscillator, filter and envelope state across blocks,
// so a block boundary changes nothing in the sound. Voices are started and
// summed in event order, which keeps the floating-point sums, and so the
// output, identical from run to run.
#include "tools/music/synth.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "tools/music/dsp.h"

namespace music {
namespace {

using namespace dsp;

constexpr int kBlock = 512;
constexpr float kRate = float(kSampleRate);

struct Buses {
    float drumsL[kBlock], drumsR[kBlock];
    float bass[kBlock];
    float musicL[kBlock], musicR[kBlock];
    float reverb[kBlock];
    float echo[kBlock];
    void Clear() {
        for (float* b : {drumsL, drumsR, bass, musicL, musicR, reverb, echo}) std::fill(b, b + kBlock, 0.0f);
    }
};

// Cheap, smooth saturation (a Padé approximation of tanh, clamped).
inline float SoftClip(float x) {
    x = std::clamp(x, -3.0f, 3.0f);
    return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}

inline uint32_t Mix32(uint32_t a, uint32_t b) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return h;
}

inline float UnitFrom(uint32_t h) { return float(h >> 8) / 16777216.0f; }

class Voice {
public:
    virtual ~Voice() = default;
    // Adds samples [from, to) of the current block; false once it is silent for good.
    virtual bool Render(Buses& b, int from, int to) = 0;
};

// ------------------------------------------------------------------ drums

class KickVoice : public Voice {
public:
    explicit KickVoice(float velocity) : gain_(0.8f * velocity) {}
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            const float f = 46.0f + 130.0f * pitch_ + 900.0f * click_;
            pitch_ *= kPitchCoef;
            click_ *= kClickCoef;
            const float attack = t_ < 88 ? float(t_) / 88.0f : 1.0f;
            const float s = SoftClip(1.6f * osc_.Next(f / kRate)) * amp_ * attack * gain_;
            // The body rings for a quarter second, then dies quickly so the
            // voice can end without cutting a wave.
            amp_ *= t_ < kBodyLength ? kAmpCoef : kTailCoef;
            b.drumsL[i] += s;
            b.drumsR[i] += s;
        }
        return amp_ > 1e-4f;
    }

private:
    static inline const float kPitchCoef = DecayCoefficient(0.032f, kRate);
    static inline const float kClickCoef = DecayCoefficient(0.0025f, kRate);
    static inline const float kAmpCoef = DecayCoefficient(0.30f, kRate);
    static inline const float kTailCoef = DecayCoefficient(0.04f, kRate);
    static constexpr int kBodyLength = int(0.25f * kRate);
    SineOsc osc_;
    float gain_, pitch_ = 1, click_ = 1, amp_ = 1;
    int t_ = 0;
};

class SnareVoice : public Voice {
public:
    SnareVoice(float velocity, uint32_t seed) : gain_(0.8f * velocity), noise_(seed) {
        hp_.Set(1800, 0.1f, kRate);
        lp_.SetLowpass(9000, kRate);
    }
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            const float body = 0.6f * tone1_.Next(185.0f / kRate) * bodyAmp_ + 0.35f * tone2_.Next(330.0f / kRate) * bodyAmp2_;
            const float n = lp_.Low(hp_.High(noise_.Next())) * noiseAmp_;
            bodyAmp_ *= kBodyCoef;
            bodyAmp2_ *= kBody2Coef;
            noiseAmp_ *= kNoiseCoef;
            const float s = SoftClip((body + 1.1f * n) * gain_);
            b.drumsL[i] += s;
            b.drumsR[i] += s;
            b.reverb[i] += 0.35f * s;
        }
        return t_ < int(0.8f * kRate);
    }

private:
    static inline const float kBodyCoef = DecayCoefficient(0.055f, kRate);
    static inline const float kBody2Coef = DecayCoefficient(0.03f, kRate);
    static inline const float kNoiseCoef = DecayCoefficient(0.11f, kRate);
    float gain_;
    Noise noise_;
    Svf hp_;
    OnePole lp_;
    SineOsc tone1_, tone2_;
    float bodyAmp_ = 1, bodyAmp2_ = 1, noiseAmp_ = 1;
    int t_ = 0;
};

class ClapVoice : public Voice {
public:
    ClapVoice(float velocity, uint32_t seed) : gain_(1.3f * velocity), noise_(seed) { bp_.Set(1250, 0.45f, kRate); }
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            const float tt = float(t_) / kRate;
            // Three quick bursts, then a tail.
            const float env = tt < 0.03f ? std::exp(-std::fmod(tt, 0.01f) / 0.0035f) : 0.8f * std::exp(-(tt - 0.03f) / 0.12f);
            const float s = bp_.Band(noise_.Next()) * env * gain_ * 2.2f;
            b.drumsL[i] += s;
            b.drumsR[i] += s;
            b.reverb[i] += 0.5f * s;
        }
        return t_ < int(0.9f * kRate);
    }

private:
    float gain_;
    Noise noise_;
    Svf bp_;
    int t_ = 0;
};

// Hats and crash: high-passed noise with a few detuned square partials for a
// metallic ring.
class MetalVoice : public Voice {
public:
    enum Kind { Closed, Open, Crash };
    MetalVoice(Kind kind, float velocity, uint32_t seed) : kind_(kind), noiseL_(seed), noiseR_(seed ^ 0xA5A5A5A5u) {
        const float decay = kind == Closed ? 0.028f : (kind == Open ? 0.22f : 1.1f);
        coef_ = DecayCoefficient(decay, kRate);
        // Long enough for the decay to fall below −60 dB before the voice ends.
        length_ = int((kind == Closed ? 0.2f : (kind == Open ? 1.5f : 7.0f)) * kRate);
        gain_ = velocity * (kind == Closed ? 0.6f : (kind == Open ? 0.5f : 0.4f));
        const float cut = kind == Crash ? 4500.0f : 7000.0f;
        hpL_.Set(cut, 0.15f, kRate);
        hpR_.Set(cut, 0.15f, kRate);
        panL_ = kind == Closed ? 0.8f : (kind == Open ? 1.0f : 1.0f);
        panR_ = kind == Closed ? 1.0f : (kind == Open ? 0.75f : 1.0f);
    }
    bool Render(Buses& b, int from, int to) override {
        static constexpr float kPartials[4] = {587.0f, 845.0f, 1063.0f, 1487.0f};
        for (int i = from; i < to; ++i, ++t_) {
            float metal = 0;
            for (int k = 0; k < 4; ++k) metal += partials_[k].Next(kPartials[k] * 2.3f / kRate);
            const float nl = noiseL_.Next();
            const float nr = kind_ == Crash ? noiseR_.Next() : nl;
            const float l = hpL_.High(0.8f * nl + 0.12f * metal) * amp_ * gain_;
            const float r = hpR_.High(0.8f * nr + 0.12f * metal) * amp_ * gain_;
            amp_ *= coef_;
            b.drumsL[i] += l * panL_;
            b.drumsR[i] += r * panR_;
            if (kind_ != Closed) b.reverb[i] += 0.12f * (l + r);
        }
        return t_ < length_;
    }

private:
    Kind kind_;
    Noise noiseL_, noiseR_;
    Svf hpL_, hpR_;
    PulseOsc partials_[4];
    float coef_, gain_, panL_, panR_, amp_ = 1;
    int length_, t_ = 0;
};

class RiserVoice : public Voice {
public:
    RiserVoice(double duration, uint32_t seed) : length_(std::max(1, int(duration * kRate))), noiseL_(seed), noiseR_(seed * 3 + 1) {}
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to && t_ < length_; ++i, ++t_) {
            const float x = float(t_) / float(length_);
            if ((t_ & 15) == 0) {
                const float fc = 300.0f * std::pow(30.0f, x);
                bpL_.Set(fc, 0.55f, kRate);
                bpR_.Set(fc * 1.03f, 0.55f, kRate);
            }
            // Swells to the end, with a 5 ms fade so the cut is not a click.
            const float amp = 0.28f * x * x * std::min(1.0f, float(length_ - t_) / 220.0f);
            const float l = bpL_.Band(noiseL_.Next()) * amp, r = bpR_.Band(noiseR_.Next()) * amp;
            b.drumsL[i] += l;
            b.drumsR[i] += r;
            b.reverb[i] += 0.3f * (l + r);
        }
        return t_ < length_;
    }

private:
    int length_, t_ = 0;
    Noise noiseL_, noiseR_;
    Svf bpL_, bpR_;
};

// ------------------------------------------------------------------ tonal

// Gate length in samples: the held time minus a short gap, so repeated notes
// are heard as separate notes.
int GateSamples(double duration) { return std::max(int(0.02 * kRate), int((duration - 0.012) * kRate)); }

class BassVoice : public Voice {
public:
    BassVoice(int note, double duration, float brightness, float velocity)
        : dt_(NoteFrequency(float(note)) / kRate),
          gate_(GateSamples(duration)),
          base_(70.0f + 900.0f * brightness * brightness),
          gain_(0.5f * velocity),
          env_(0.003f, 0.25f, 0.75f, 0.045f, kRate) {}
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            if ((t_ & 15) == 0) {
                lp_.Set(base_ * (1.0f + 4.0f * filterEnv_), 0.3f, kRate);
                filterEnv_ *= kFilterCoef16;
            }
            const float x = 0.7f * saw_.Next(dt_) + 0.6f * sub_.Next(dt_);
            const float a = env_.Next(t_ < gate_);
            b.bass[i] += SoftClip(1.3f * lp_.Low(x)) * a * gain_;
        }
        return t_ < gate_ || env_.level() > 1e-4f;
    }

private:
    static inline const float kFilterCoef16 = std::pow(DecayCoefficient(0.1f, kRate), 16.0f);
    float dt_;
    int gate_, t_ = 0;
    float base_, gain_, filterEnv_ = 1;
    Adsr env_;
    SawOsc saw_;
    SineOsc sub_;
    Svf lp_;
};

class PadVoice : public Voice {
public:
    PadVoice(const std::vector<int>& notes, double duration, float brightness, float velocity, uint32_t seed)
        : gate_(int(duration * kRate)),
          base_(350.0f + 3200.0f * brightness * brightness),
          gain_(0.14f * velocity),
          env_(0.45f, 1.2f, 0.85f, 0.9f, kRate) {
        static constexpr float kDetune[3] = {-0.09f, 0.0f, 0.1f};  // semitones
        for (size_t n = 0; n < notes.size() && n < kMaxNotes; ++n)
            for (int k = 0; k < 3; ++k) {
                Osc& o = oscs_[count_++];
                o.dt = NoteFrequency(float(notes[n]) + kDetune[k]) / kRate;
                o.saw.SetPhase(UnitFrom(Mix32(seed, uint32_t(n * 3 + size_t(k)))));
                o.side = k;
            }
        lfoPhase_ = UnitFrom(Mix32(seed, 99));
    }
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            if ((t_ & 31) == 0) {
                lfoPhase_ += 32.0f * 0.15f / kRate;
                const float wobble = 1.0f + 0.18f * std::sin(2.0f * kPi * lfoPhase_);
                lpL_.Set(base_ * wobble, 0.2f, kRate);
                lpR_.Set(base_ * wobble * 1.04f, 0.2f, kRate);
            }
            float l = 0, r = 0;
            for (int k = 0; k < count_; ++k) {
                const float v = oscs_[k].saw.Next(oscs_[k].dt);
                // Detuned copies to the sides, the centre copy to both.
                if (oscs_[k].side == 0) l += v;
                else if (oscs_[k].side == 2) r += v;
                else {
                    l += 0.7f * v;
                    r += 0.7f * v;
                }
            }
            const float a = env_.Next(t_ < gate_) * gain_;
            const float ol = lpL_.Low(l) * a, or_ = lpR_.Low(r) * a;
            b.musicL[i] += ol;
            b.musicR[i] += or_;
            b.reverb[i] += 0.4f * (ol + or_);
        }
        return t_ < gate_ || env_.level() > 1e-4f;
    }

private:
    static constexpr size_t kMaxNotes = 5;
    struct Osc {
        SawOsc saw;
        float dt = 0;
        int side = 1;
    };
    Osc oscs_[kMaxNotes * 3];
    int count_ = 0;
    int gate_, t_ = 0;
    float base_, gain_, lfoPhase_ = 0;
    Adsr env_;
    Svf lpL_, lpR_;
};

class LeadVoice : public Voice {
public:
    LeadVoice(int note, double duration, float brightness, float velocity)
        : freq_(NoteFrequency(float(note))),
          gate_(GateSamples(duration)),
          base_(900.0f + 4200.0f * brightness * brightness),
          gain_(0.26f * velocity),
          env_(0.004f, 0.35f, 0.75f, 0.16f, kRate) {
        saw2_.SetPhase(0.37f);
        pulse_.SetPhase(0.61f);
    }
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            if ((t_ & 15) == 0) {
                const float tt = float(t_) / kRate;
                const float depth = std::clamp((tt - 0.22f) / 0.3f, 0.0f, 1.0f) * 0.13f;
                const float bend = std::exp2(depth * std::sin(2.0f * kPi * 5.4f * tt) / 12.0f);
                dt_ = freq_ * bend / kRate;
                const float cutoff = base_ + 3200.0f * filterEnv_;
                lpL_.Set(cutoff, 0.22f, kRate);
                lpR_.Set(cutoff, 0.22f, kRate);
                filterEnv_ *= kFilterCoef16;
            }
            // One detuned saw on each side around a centred pulse: width
            // without moving the note off centre.
            const float s1 = saw1_.Next(dt_ * 0.9960f), s2 = saw2_.Next(dt_ * 1.0040f);
            const float p = 0.35f * pulse_.Next(dt_, 0.35f);
            const float a = env_.Next(t_ < gate_) * gain_;
            const float l = lpL_.Low(s1 + p) * a, r = lpR_.Low(s2 + p) * a;
            b.musicL[i] += l;
            b.musicR[i] += r;
            b.echo[i] += 0.22f * (l + r);
            b.reverb[i] += 0.18f * (l + r);
        }
        return t_ < gate_ || env_.level() > 1e-4f;
    }

private:
    static inline const float kFilterCoef16 = std::pow(DecayCoefficient(0.15f, kRate), 16.0f);
    float freq_, dt_ = 0;
    int gate_, t_ = 0;
    float base_, gain_, filterEnv_ = 1;
    Adsr env_;
    SawOsc saw1_, saw2_;
    PulseOsc pulse_;
    Svf lpL_, lpR_;
};

class ArpVoice : public Voice {
public:
    ArpVoice(int note, double duration, float brightness, float velocity, float pan)
        : dt_(NoteFrequency(float(note)) / kRate),
          gate_(GateSamples(duration)),
          peak_(1500.0f + 5500.0f * brightness * brightness),
          gain_(0.4f * velocity),
          panL_(1.0f - std::max(0.0f, pan)),
          panR_(1.0f + std::min(0.0f, pan)) {}
    bool Render(Buses& b, int from, int to) override {
        for (int i = from; i < to; ++i, ++t_) {
            if ((t_ & 15) == 0) {
                lp_.Set(250.0f + peak_ * filterEnv_, 0.3f, kRate);
                filterEnv_ *= kFilterCoef16;
            }
            const float x = 0.6f * pulse_.Next(dt_, 0.5f) + 0.5f * saw_.Next(dt_ * 2.0f);
            amp_ *= t_ < gate_ ? kDecayCoef : kReleaseCoef;
            const float attack = t_ < 88 ? float(t_) / 88.0f : 1.0f;
            const float s = lp_.Low(x) * amp_ * attack * gain_;
            b.musicL[i] += s * panL_;
            b.musicR[i] += s * panR_;
            b.echo[i] += 0.5f * s;
            b.reverb[i] += 0.25f * s;
        }
        return amp_ > 1e-4f && t_ < int(2.0f * kRate);
    }

private:
    static inline const float kFilterCoef16 = std::pow(DecayCoefficient(0.07f, kRate), 16.0f);
    static inline const float kDecayCoef = DecayCoefficient(0.25f, kRate);
    static inline const float kReleaseCoef = DecayCoefficient(0.03f, kRate);
    float dt_;
    int gate_, t_ = 0;
    float peak_, gain_, panL_, panR_, filterEnv_ = 1, amp_ = 1;
    PulseOsc pulse_;
    SawOsc saw_;
    Svf lp_;
};

std::unique_ptr<Voice> MakeVoice(const NoteEvent& e, uint32_t seed, size_t index) {
    const uint32_t s = Mix32(seed, uint32_t(index));
    const int note = e.notes.empty() ? 60 : e.notes[0];
    switch (e.instrument) {
    case Instrument::Kick: return std::make_unique<KickVoice>(e.velocity);
    case Instrument::Snare: return std::make_unique<SnareVoice>(e.velocity, s);
    case Instrument::Clap: return std::make_unique<ClapVoice>(e.velocity, s);
    case Instrument::ClosedHat: return std::make_unique<MetalVoice>(MetalVoice::Closed, e.velocity, s);
    case Instrument::OpenHat: return std::make_unique<MetalVoice>(MetalVoice::Open, e.velocity, s);
    case Instrument::Crash: return std::make_unique<MetalVoice>(MetalVoice::Crash, e.velocity, s);
    case Instrument::Riser: return std::make_unique<RiserVoice>(e.duration, s);
    case Instrument::Bass: return std::make_unique<BassVoice>(note, e.duration, e.brightness, e.velocity);
    case Instrument::Pad: return std::make_unique<PadVoice>(e.notes, e.duration, e.brightness, e.velocity, s);
    case Instrument::Lead: return std::make_unique<LeadVoice>(note, e.duration, e.brightness, e.velocity);
    case Instrument::Arp:
        return std::make_unique<ArpVoice>(note, e.duration, e.brightness, e.velocity, (index & 1) ? 0.45f : -0.45f);
    case Instrument::Count: break;
    }
    return nullptr;
}

// Flush-to-zero for the render: reverb and echo tails decay into denormals,
// which are very slow on x86. Restores the caller's mode on destruction.
class DenormalGuard {
public:
#if defined(__SSE__)
    DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040); }
    ~DenormalGuard() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
#endif
};

// Look-ahead peak limiter over the whole interleaved mix: the gain needed at
// each frame is spread back over the look-ahead window (a moving minimum, then
// a moving average of the same length, which never exceeds the needed gain at
// the peak itself) and recovers with an exponential release.
void Limit(std::vector<float>& mix, float ceiling) {
    const size_t frames = mix.size() / 2;
    if (frames == 0) return;
    const size_t window = size_t(0.004f * kRate);
    std::vector<float> need(frames);
    for (size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(mix[2 * i]), std::fabs(mix[2 * i + 1]));
        need[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Moving minimum over [i, i + window).
    std::vector<float> lowest(frames);
    std::deque<size_t> q;
    for (size_t j = frames; j-- > 0;) {
        while (!q.empty() && need[q.back()] >= need[j]) q.pop_back();
        q.push_back(j);
        while (q.front() >= j + window) q.pop_front();
        lowest[j] = need[q.front()];
    }
    // Moving average over [i − window + 1, i], then release.
    const float release = DecayCoefficient(0.08f, kRate);
    double sum = 0;
    float gain = 1;
    for (size_t i = 0; i < frames; ++i) {
        sum += lowest[i];
        if (i >= window) sum -= lowest[i - window];
        const size_t n = std::min(i + 1, window);
        // Frames before the start count as gain 1.
        const float smooth = std::min(1.0f, float((sum + double(window - n)) / double(window)));
        gain = smooth < gain ? smooth : smooth + (gain - smooth) * release;
        mix[2 * i] *= gain;
        mix[2 * i + 1] *= gain;
    }
}

void Master(std::vector<float>& mix, const RenderOptions& options) {
    double energy = 0;
    for (float v : mix) energy += double(v) * double(v);
    const double rms = mix.empty() ? 0 : std::sqrt(energy / double(mix.size()));
    const float target = std::pow(10.0f, options.loudnessDb / 20.0f);
    const float preGain = rms > 1e-6 ? std::clamp(float(target / rms), 0.05f, 50.0f) : 1.0f;
    for (float& v : mix) v *= preGain;
    Limit(mix, std::pow(10.0f, std::min(options.ceilingDb, -0.1f) / 20.0f));
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

size_t FramesFor(double seconds) { return seconds > 0 ? size_t(std::llround(seconds * kSampleRate)) : 0; }

bool RenderSong(const Song& song, Pcm& out, std::string* error, const RenderOptions& options) {
    std::string why;
    if (!CheckSong(song, &why)) return Fail(error, why);
    const double duration = SongDuration(song);
    if (duration > kMaxSongSeconds) return Fail(error, "songs longer than 30 minutes are not rendered");
    const size_t frames = FramesFor(duration);
    const std::vector<NoteEvent> events = ScheduleNotes(song);
    DenormalGuard guard;

    std::vector<size_t> kicks;
    for (const NoteEvent& e : events)
        if (e.instrument == Instrument::Kick) kicks.push_back(FramesFor(e.time));

    std::vector<float> mix(frames * 2, 0.0f);
    auto buses = std::make_unique<Buses>();
    struct Active {
        std::unique_ptr<Voice> voice;
        int from;
    };
    std::vector<Active> active;
    PingPongDelay echo(float(3 * StepDuration(song)), 0.38f, 3500.0f, kRate);
    Reverb reverb(0.82f, 0.35f, kRate);
    OnePole dcL, dcR;
    dcL.SetLowpass(20.0f, kRate);
    dcR.SetLowpass(20.0f, kRate);
    size_t nextEvent = 0, kickIndex = 0;

    for (size_t start = 0; start < frames; start += kBlock) {
        const int n = int(std::min<size_t>(kBlock, frames - start));
        buses->Clear();
        while (nextEvent < events.size() && FramesFor(events[nextEvent].time) < start + size_t(n)) {
            const size_t at = FramesFor(events[nextEvent].time);
            if (auto v = MakeVoice(events[nextEvent], song.seed, nextEvent))
                active.push_back({std::move(v), at > start ? int(at - start) : 0});
            ++nextEvent;
        }
        for (Active& a : active) {
            if (!a.voice) continue;
            if (!a.voice->Render(*buses, a.from, n)) a.voice.reset();
            a.from = 0;
        }
        std::erase_if(active, [](const Active& a) { return !a.voice; });

        for (int i = 0; i < n; ++i) {
            const size_t frame = start + size_t(i);
            // Ducking: the melodic parts dip under each kick and recover.
            while (kickIndex + 1 < kicks.size() && kicks[kickIndex + 1] <= frame) ++kickIndex;
            float duck = 0;
            if (!kicks.empty() && kicks[kickIndex] <= frame) {
                const float dt = float(frame - kicks[kickIndex]) / kRate;
                duck = dt < 0.006f ? dt / 0.006f : std::exp(-(dt - 0.006f) / 0.12f);
            }
            const float musicGain = 1.0f - 0.5f * duck, bassGain = 1.0f - 0.35f * duck;

            float el, er, rl, rr;
            echo.Process(buses->echo[i], el, er);
            reverb.Process(buses->reverb[i] + 0.3f * (el + er), rl, rr);
            float l = buses->drumsL[i] + buses->bass[i] * bassGain + buses->musicL[i] * musicGain + 0.55f * el + rl;
            float r = buses->drumsR[i] + buses->bass[i] * bassGain + buses->musicR[i] * musicGain + 0.55f * er + rr;
            l -= dcL.Low(l);
            r -= dcR.Low(r);
            mix[2 * frame] = l;
            mix[2 * frame + 1] = r;
        }
    }

    // Mastering: fixed loudness, look-ahead limiting, a short fade at the end.
    if (options.master) Master(mix, options);
    const size_t fade = std::min(frames, size_t(0.02f * kRate));
    for (size_t i = 0; i < fade; ++i) {
        const float g = float(i) / float(fade);
        const size_t f = frames - 1 - i;
        mix[2 * f] *= g;
        mix[2 * f + 1] *= g;
    }

    Pcm pcm;
    pcm.samples.resize(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        pcm.samples[i] = int16_t(std::clamp(std::lround(mix[i] * 32767.0f), -32767L, 32767L));
    out = std::move(pcm);
    return true;
}

}  // namespace music

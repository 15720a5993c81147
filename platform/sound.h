// The sound library the demo clock runs on: one MP3 stream, decoded by libmpg123
// and played through SDL2's audio device.
//
// The stream's play position is the demo's clock. With a real device it is the
// number of samples the device has consumed, interpolated between the device's
// buffer requests so that it moves smoothly; with a virtual clock (fixed frame
// rate, capture, benchmarks) nothing is played and the position moves only when
// the caller advances it, by whole samples, so frames are reproducible.
//
// The file is decoded at whatever rate and channel count it has and converted to
// 16-bit stereo at the mixing rate with SDL's audio conversion. This layer does
// not mix several sounds or loop. A machine without a sound card still gets a
// running clock: SDL's dummy driver consumes samples in real time.
//
// Whatever the file does, the clock runs: both clocks count on past the end of
// the decoded music (in silence), and a soundtrack that cannot be played at all
// can be replaced by a silent stream whose clock runs all the same, so a show
// timed by it always reaches its end. Problems with the file are reported
// through platform/report.h under "[Music]".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class ClockKind {
    Device,   // played on the audio device; the device's consumption is the clock
    Virtual,  // not played; the clock moves by Advance only
};

// The sound system: opened once before streams, closed once at the end.
class SoundSystem {
public:
    // Opens the audio output at mixRate (falls back to the dummy driver when the
    // default device cannot be opened, and to no audio at all when that fails
    // too). With ClockKind::Virtual no device is opened.
    static std::unique_ptr<SoundSystem> Open(int mixRate, ClockKind kind);
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    int mixRate() const { return mixRate_; }
    ClockKind clockKind() const { return kind_; }
    // The audio driver in use ("alsa", "pulseaudio", "dummy", or "none" for a
    // virtual clock or no audio).
    const std::string& driver() const { return driver_; }

private:
    SoundSystem(int mixRate, ClockKind kind, std::string driver)
        : mixRate_(mixRate), kind_(kind), driver_(std::move(driver)) {}
    int mixRate_;
    ClockKind kind_;
    std::string driver_;
    friend class MusicStream;
};

class MusicStream {
public:
    // Opens and checks an MPEG audio file; nullptr when it is missing or cannot
    // be decoded, which is reported as an error (an empty name is not reported).
    // A file whose audio ends before its frames say it should (cut short, or
    // broken part-way) opens, with a plain report. With a device clock and no
    // audio device to play on, the stream runs silently on the system clock.
    // The stream is stopped at position 0 until Play.
    static std::unique_ptr<MusicStream> Open(SoundSystem& system, const char* fileName);
    // A stream that plays nothing: its clock runs as a stream's would (in real
    // time for a device clock, by Advance for a virtual one), with no end.
    static std::unique_ptr<MusicStream> Silent(SoundSystem& system);
    ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    void Play();
    void SetPaused(bool paused);
    // Moves the play position to the first sample (only 0 is used by the demo;
    // other positions are in milliseconds).
    void SetPosition(uint32_t milliseconds);
    // Milliseconds played so far. After the end of the music both clocks go on
    // counting: a device clock as the device consumes silence, a virtual one by Advance.
    uint32_t TimeMs() const;
    // Virtual clock only: moves the position on by a number of samples.
    void Advance(uint64_t samples);
    // Length of the decoded stream in samples per channel at the mixing rate (0
    // for a silent stream).
    uint64_t LengthSamples() const;

    struct Impl;

private:
    explicit MusicStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Decodes a whole MPEG audio file into a 16-bit stereo WAV file at mixRate (the
// same samples a stream of it plays, LengthSamples long), after leadingSilence
// samples of silence and without the music's first skipped samples (a recording
// that begins part-way through the show); false (with the reason in *error) when
// the input cannot be read or decoded or the output cannot be written. Nothing
// is reported.
bool DecodeToWav(const char* mp3Path, const char* wavPath, int mixRate, uint64_t leadingSilence,
                 std::string* error, uint64_t skipped = 0);

// Decodes a whole MPEG audio file into interleaved 16-bit stereo samples at
// mixRate (the same samples DecodeToWav writes, without silence); false with the
// reason in *error when it cannot be read or decoded. Nothing is reported.
bool DecodeToSamples(const char* mp3Path, int mixRate, std::vector<int16_t>* samples, std::string* error);

}  // namespace platform

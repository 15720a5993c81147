// Renders a Song (song.h) to 16-bit stereo PCM at 44100 Hz.
//
// Usage:
//   music::Song song = music::ExampleSong();   // or a song of your own
//   music::Pcm pcm;
//   std::string error;
//   if (!music::RenderSong(song, pcm, &error)) ...
//   music::SaveMp3(pcm, 192, "data/music.mp3", &error);   // audio_file.h
//
// Instruments: a pitch-swept sine kick, snare (tone and noise), clap (noise
// bursts), closed and open hats and a crash (noise with metallic partials),
// a filtered saw bass over a sine, a detuned-saw pad, a plucked arp, a
// detuned lead with vibrato, and a noise riser. The bass and the melodic parts
// duck under the kick; the lead and arp feed a ping-pong echo (three steps
// long); everything but the kick and bass feeds a reverb. The mix is brought to
// a fixed loudness, peak-limited with look-ahead below −1 dBFS and rounded to
// 16 bits, so nothing clips.
//
// It renders the whole song in memory (about 85 MB of mix for four minutes)
// and does not stream or play audio.
//
// The output is exactly FramesFor(SongDuration(song)) frames long; notes and
// echoes still sounding at the end are cut with a short fade. Rendering is
// deterministic: the same song gives the same samples on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/music/song.h"

namespace music {

constexpr int kSampleRate = 44100;
constexpr double kMaxSongSeconds = 1800;

struct Pcm {
    int sampleRate = kSampleRate;
    int channels = 2;
    std::vector<int16_t> samples;  // interleaved left, right
    size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
    double seconds() const { return double(frames()) / double(sampleRate); }
};

struct RenderOptions {
    float loudnessDb = -14;  // RMS of the whole mix before limiting, dBFS
    float ceilingDb = -1;    // the limiter's ceiling, dBFS
    // false: the raw mix, neither normalised nor limited (samples beyond full
    // scale are clamped), for comparing stems or instrument levels.
    bool master = true;
};

// Frames for a duration at 44100 Hz, rounded to the nearest frame.
size_t FramesFor(double seconds);

// False (out untouched) for a song that CheckSong refuses or that lasts longer
// than kMaxSongSeconds.
bool RenderSong(const Song& song, Pcm& out, std::string* error = nullptr, const RenderOptions& options = {});

}  // namespace music

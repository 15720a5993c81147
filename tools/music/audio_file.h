// Writes rendered PCM as a WAV file (16-bit PCM) or as an MP3 through LAME.
//
// No ID3 tags and no other formats.
//
// MP3s are constant bit rate, 44100 Hz joint stereo, and start with a LAME
// "Info" frame that records the encoder delay and padding: a decoder that
// honours it (libmpg123's gapless mode, on by default) returns exactly the
// rendered samples, so music time 0 is the song's first sample and beat times
// need no correction. A decoder that ignores it hears about 25 ms of extra
// silence at the start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/music/synth.h"

namespace music {

std::vector<uint8_t> EncodeWav(const Pcm& pcm);
bool SaveWav(const Pcm& pcm, const std::string& path, std::string* error = nullptr);

// kbps: a bit rate MPEG-1 layer III offers (32–320); 160–192 suits music.
bool EncodeMp3(const Pcm& pcm, int kbps, std::vector<uint8_t>& out, std::string* error = nullptr);
bool SaveMp3(const Pcm& pcm, int kbps, const std::string& path, std::string* error = nullptr);

}  // namespace music

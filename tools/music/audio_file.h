// Writes rendered PCM as a WAV file (16-bit PCM) or as an MP3 through LAME.
//
// No ID3 tags and no other formats.
//
// MP3s are mono or joint stereo at the PCM's own rate (any MPEG layer III rate,
// 8 to 48 kHz), constant or variable bit rate, and start with a LAME "Info" (or,
// for variable bit rate, "Xing") frame that records the length and the encoder
// delay and padding: a decoder that
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

// kbps: a bit rate layer III offers at the PCM's rate (32–320 from 32 kHz up,
// 8–160 below); 160–192 suits stereo music at 44100 Hz. kMp3Vbr: LAME's variable
// bit rate at quality 5 (of 0 best to 9 smallest).
inline constexpr int kMp3Vbr = 0;
bool EncodeMp3(const Pcm& pcm, int kbps, std::vector<uint8_t>& out, std::string* error = nullptr);
bool SaveMp3(const Pcm& pcm, int kbps, const std::string& path, std::string* error = nullptr);

}  // namespace music

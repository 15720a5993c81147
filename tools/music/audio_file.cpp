// WAV and MP3 output.
#include "tools/music/audio_file.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

namespace music {
namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutTag(std::vector<uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(tag[i]));
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool WriteBytes(const std::vector<uint8_t>& bytes, const std::string& path, std::string* error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + path + "\"");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fclose(file.release()) != 0)
        return Fail(error, "cannot write \"" + path + "\"");
    return true;
}

struct LameDeleter {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

}  // namespace

std::vector<uint8_t> EncodeWav(const Pcm& pcm) {
    const uint32_t dataBytes = uint32_t(pcm.samples.size() * 2);
    const uint16_t channels = uint16_t(pcm.channels);
    std::vector<uint8_t> b;
    b.reserve(44 + dataBytes);
    PutTag(b, "RIFF");
    Put32(b, 36 + dataBytes);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);  // PCM
    Put16(b, channels);
    Put32(b, uint32_t(pcm.sampleRate));
    Put32(b, uint32_t(pcm.sampleRate) * channels * 2);
    Put16(b, uint16_t(channels * 2));
    Put16(b, 16);
    PutTag(b, "data");
    Put32(b, dataBytes);
    for (int16_t s : pcm.samples) Put16(b, uint16_t(s));
    return b;
}

bool SaveWav(const Pcm& pcm, const std::string& path, std::string* error) {
    if (pcm.samples.size() * 2 > 0xFFFFFF00u) return Fail(error, "too long for a WAV file");
    return WriteBytes(EncodeWav(pcm), path, error);
}

bool EncodeMp3(const Pcm& pcm, int kbps, std::vector<uint8_t>& out, std::string* error) {
    static const int kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if (std::find(std::begin(kSampleRates), std::end(kSampleRates), pcm.sampleRate) == std::end(kSampleRates))
        return Fail(error, "MP3 has no " + std::to_string(pcm.sampleRate) + " Hz rate");
    if (pcm.channels != 1 && pcm.channels != 2) return Fail(error, "MP3 output takes one or two channels");
    // MPEG-1 (32 kHz and up) and MPEG-2 and 2.5 (below) offer different bit rates.
    static const int kMpeg1Rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2Rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const bool mpeg1 = pcm.sampleRate >= 32000;
    const int* rates = mpeg1 ? std::begin(kMpeg1Rates) : std::begin(kMpeg2Rates);
    const int* ratesEnd = mpeg1 ? std::end(kMpeg1Rates) : std::end(kMpeg2Rates);
    if (kbps != kMp3Vbr && std::find(rates, ratesEnd, kbps) == ratesEnd)
        return Fail(error, "bit rate " + std::to_string(kbps) + " kbps is not a layer III rate at " +
                               std::to_string(pcm.sampleRate) + " Hz");

    std::unique_ptr<lame_global_flags, LameDeleter> gf(lame_init());
    if (!gf) return Fail(error, "cannot start LAME");
    lame_set_in_samplerate(gf.get(), pcm.sampleRate);
    lame_set_out_samplerate(gf.get(), pcm.sampleRate);
    lame_set_num_channels(gf.get(), pcm.channels);
    lame_set_mode(gf.get(), pcm.channels == 1 ? MONO : JOINT_STEREO);
    if (kbps == kMp3Vbr) {
        lame_set_VBR(gf.get(), vbr_default);
        lame_set_VBR_quality(gf.get(), 5);
    } else {
        lame_set_VBR(gf.get(), vbr_off);
        lame_set_brate(gf.get(), kbps);
    }
    lame_set_quality(gf.get(), 5);
    lame_set_bWriteVbrTag(gf.get(), 1);
    lame_set_write_id3tag_automatic(gf.get(), 0);
    if (lame_init_params(gf.get()) < 0) return Fail(error, "LAME refused the parameters");

    std::vector<uint8_t> mp3;
    const size_t chunk = 8192;  // frames per call
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    const size_t frames = pcm.frames();
    for (size_t f = 0; f < frames; f += chunk) {
        const int n = int(std::min(chunk, frames - f));
        short* samples = const_cast<short*>(pcm.samples.data() + size_t(pcm.channels) * f);
        const int written =
            pcm.channels == 2
                ? lame_encode_buffer_interleaved(gf.get(), samples, n, buffer.data(), int(buffer.size()))
                : lame_encode_buffer(gf.get(), samples, samples, n, buffer.data(), int(buffer.size()));
        if (written < 0) return Fail(error, "LAME encoding failed (" + std::to_string(written) + ")");
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(gf.get(), buffer.data(), int(buffer.size()));
    if (flushed < 0) return Fail(error, "LAME flush failed");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);

    // Replace the empty frame LAME put first with the final Info frame.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(gf.get(), tag, sizeof tag);
    if (tagSize > sizeof tag || tagSize > mp3.size()) return Fail(error, "LAME tag frame does not fit");
    std::copy(tag, tag + tagSize, mp3.begin());
    out.insert(out.end(), mp3.begin(), mp3.end());
    return true;
}

bool SaveMp3(const Pcm& pcm, int kbps, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!EncodeMp3(pcm, kbps, bytes, error)) return false;
    return WriteBytes(bytes, path, error);
}

}  // namespace music

// Rendering: exact length, deterministic samples, no clipping, notes at their
// pitch; WAV layout; MP3 that libmpg123 decodes back to the rendered length.
#include <gtest/gtest.h>

#include <mpg123.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/music/audio_file.h"
#include "tools/music/song.h"
#include "tools/music/synth.h"

using namespace music;

namespace {

// Every instrument, four bars at 140 BPM.
Song AllInstruments() {
    Song song;
    song.bpm = 140;
    song.swing = 0.1f;
    Section s;
    s.name = "all";
    s.bars = 4;
    s.chords = "Am F C G";
    s.crash = true;
    s.riser = true;
    s.kick = {"X...x...x...x...", "", 1};
    s.snare = {"....x.......x..o", "", 1};
    s.clap = {"....x.......x...", "", 1};
    s.closedHat = {"xoxoxoxoxoxoxoxo", "", 1};
    s.openHat = {"..x...x...x...x.", "", 1};
    s.bass = {". R R R . R R R . R R R . R R O", "", 1};
    s.arp = {"0 1 2 3 4 3 2 1 0 1 2 3 4 3 2 1", "", 1};
    s.lead = {"7 - - 4 - - 7 - 9 - - 7 - - 6 -", "", 1};
    s.pad = 0.8f;
    song.sections = {s};
    return song;
}

// One held note of one melodic instrument, two bars at 120 BPM.
Song OneNote(Lane Section::*lane, const char* token, const char* chord) {
    Song song;
    song.bpm = 120;
    Section s;
    s.bars = 2;
    s.chords = chord;
    s.*lane = {std::string(token) + " - - - - - - - - - - - - - - - | - - - - - - - - - - - - - - - -", "", 1};
    song.sections = {s};
    return song;
}

// Period in frames of the left channel between from and from + 8192, by the
// first autocorrelation peak after the signal has turned negative.
double Period(const Pcm& pcm, size_t from, int minLag, int maxLag) {
    std::vector<double> x(8192);
    for (size_t i = 0; i < x.size(); ++i) x[i] = pcm.samples[2 * (from + i)];
    auto ac = [&](int lag) {
        double s = 0;
        for (size_t i = 0; i + size_t(lag) < x.size(); ++i) s += x[i] * x[i + size_t(lag)];
        return s / double(x.size() - size_t(lag));
    };
    int best = minLag;
    double bestValue = -1e300;
    for (int lag = minLag; lag <= maxLag; ++lag)
        if (double v = ac(lag); v > bestValue) {
            bestValue = v;
            best = lag;
        }
    // Parabolic refinement around the peak.
    const double a = ac(best - 1), b = ac(best), c = ac(best + 1);
    const double denom = a - 2 * b + c;
    return denom != 0 ? best + 0.5 * (a - c) / denom : best;
}

Pcm Render(const Song& song, bool master = true) {
    Pcm pcm;
    std::string error;
    RenderOptions options;
    options.master = master;
    EXPECT_TRUE(RenderSong(song, pcm, &error, options)) << error;
    return pcm;
}

}  // namespace

TEST(Synth, LengthIsTheSongsAndSamplesRepeat) {
    const Song song = AllInstruments();
    const Pcm a = Render(song);
    EXPECT_EQ(a.sampleRate, 44100);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.frames(), FramesFor(4 * 4 * 60.0 / 140));
    EXPECT_EQ(a.frames(), size_t(std::llround(SongDuration(song) * 44100)));
    const Pcm b = Render(song);
    EXPECT_TRUE(a.samples == b.samples);
}

TEST(Synth, MasteredMixIsLoudButNeverClips) {
    const Pcm pcm = Render(AllInstruments());
    const int ceiling = int(32767 * std::pow(10.0, -1.0 / 20)) + 1;
    int peak = 0;
    double energy = 0;
    for (int16_t s : pcm.samples) {
        peak = std::max(peak, std::abs(int(s)));
        energy += double(s) * s;
    }
    const double rmsDb = 20 * std::log10(std::sqrt(energy / double(pcm.samples.size())) / 32768);
    EXPECT_LE(peak, ceiling);
    EXPECT_GT(peak, ceiling * 8 / 10);
    EXPECT_GT(rmsDb, -20);
    EXPECT_LT(rmsDb, -10);
    // Stereo: the channels are not copies of each other.
    int differ = 0;
    for (size_t i = 0; i < pcm.frames(); ++i) differ += pcm.samples[2 * i] != pcm.samples[2 * i + 1];
    EXPECT_GT(differ, int(pcm.frames() / 2));
    // The end fades to silence rather than stopping mid-wave.
    EXPECT_EQ(pcm.samples[pcm.samples.size() - 1], 0);
}

TEST(Synth, NotesSoundAtTheirPitch) {
    // A4 = 440 Hz lead (degree 0 of the default key), A1 = 55 Hz bass under Am.
    const Pcm lead = Render(OneNote(&Section::lead, "0", "Am"), false);
    EXPECT_NEAR(Period(lead, 22050, 60, 140), 44100.0 / 440.0, 0.5);
    const Pcm bass = Render(OneNote(&Section::bass, "R", "Am"), false);
    EXPECT_NEAR(Period(bass, 22050, 500, 1100), 44100.0 / 55.0, 2.0);
    // The arp's first chord tone over C is C4.
    const Pcm arp = Render(OneNote(&Section::arp, "0", "C"), false);
    EXPECT_NEAR(Period(arp, 2000, 100, 250), 44100.0 / 261.6256, 1.0);
}

TEST(Synth, RefusesBadSongs) {
    Song song = AllInstruments();
    song.sections[0].chords = "Xm";
    Pcm pcm;
    pcm.samples = {1, 2};
    std::string error;
    EXPECT_FALSE(RenderSong(song, pcm, &error));
    EXPECT_NE(error.find("unknown chord"), std::string::npos);
    EXPECT_EQ(pcm.samples.size(), 2u);
    song = AllInstruments();
    song.sections[0].bars = 100000;
    EXPECT_FALSE(RenderSong(song, pcm, &error));
    // No sections: nothing to play, an empty result.
    Song empty;
    ASSERT_TRUE(RenderSong(empty, pcm, &error));
    EXPECT_EQ(pcm.frames(), 0u);
}

TEST(AudioFile, WavHeaderAndData) {
    Pcm pcm;
    pcm.samples = {1, -1, 300, -300, 32767, -32767};
    const std::vector<uint8_t> wav = EncodeWav(pcm);
    ASSERT_EQ(wav.size(), 44u + 12u);
    auto u32 = [&](size_t o) { return uint32_t(wav[o] | wav[o + 1] << 8 | wav[o + 2] << 16 | uint32_t(wav[o + 3]) << 24); };
    auto u16 = [&](size_t o) { return uint16_t(wav[o] | wav[o + 1] << 8); };
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32(4), 36u + 12u);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);
    EXPECT_EQ(u16(22), 2);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 44100u * 4);
    EXPECT_EQ(u16(32), 4);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    EXPECT_EQ(u32(40), 12u);
    EXPECT_EQ(int16_t(u16(44 + 6)), -300);
}

namespace {

// An MP3 decoded by libmpg123 (gapless, as the demo decodes it) in its own format.
struct Decoded {
    long rate = 0;
    int channels = 0, encoding = 0, vbr = -1;
    std::vector<int16_t> samples;
};
Decoded DecodeMp3(const std::vector<uint8_t>& mp3) {
    mpg123_init();
    Decoded out;
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) return out;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    std::vector<unsigned char> buffer(1 << 16);
    size_t done = 0;
    int ret = mpg123_open_feed(mh) == MPG123_OK
                  ? mpg123_decode(mh, mp3.data(), mp3.size(), buffer.data(), buffer.size(), &done)
                  : MPG123_ERR;
    while (true) {
        if (ret == MPG123_NEW_FORMAT) mpg123_getformat(mh, &out.rate, &out.channels, &out.encoding);
        const auto* s = reinterpret_cast<const int16_t*>(buffer.data());
        out.samples.insert(out.samples.end(), s, s + done / 2);
        if (ret == MPG123_ERR || ret == MPG123_NEED_MORE) break;
        ret = mpg123_decode(mh, nullptr, 0, buffer.data(), buffer.size(), &done);
    }
    mpg123_frameinfo2 info{};
    if (mpg123_info2(mh, &info) == MPG123_OK) out.vbr = info.vbr;
    mpg123_delete(mh);
    return out;
}

}  // namespace

TEST(AudioFile, Mp3DecodesToTheRenderedLength) {
    const Pcm pcm = Render(AllInstruments());
    std::vector<uint8_t> mp3;
    std::string error;
    ASSERT_TRUE(EncodeMp3(pcm, 160, mp3, &error)) << error;
    std::vector<uint8_t> again;
    ASSERT_TRUE(EncodeMp3(pcm, 160, again, &error)) << error;
    EXPECT_TRUE(mp3 == again);
    // Constant bit rate: about 160 kbit per second of audio.
    EXPECT_NEAR(double(mp3.size()) * 8 / pcm.seconds(), 160000, 8000);

    const Decoded decoded = DecodeMp3(mp3);
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.encoding, MPG123_ENC_SIGNED_16);
    const long frames = long(decoded.samples.size() / 2);
    EXPECT_LE(std::labs(frames - long(pcm.frames())), 1152) << frames << " vs " << pcm.frames();

    // The decoded music is the rendered music: same loudness, lined up in time.
    double e0 = 0, e1 = 0, cross = 0;
    const size_t n = std::min(decoded.samples.size(), pcm.samples.size());
    for (size_t i = 0; i < n; ++i) {
        e0 += double(pcm.samples[i]) * pcm.samples[i];
        e1 += double(decoded.samples[i]) * decoded.samples[i];
        cross += double(pcm.samples[i]) * decoded.samples[i];
    }
    EXPECT_NEAR(10 * std::log10(e1 / e0), 0, 1);
    EXPECT_GT(cross / std::sqrt(e0 * e1), 0.9);

    EXPECT_FALSE(EncodeMp3(pcm, 150, mp3, &error));
    EXPECT_NE(error.find("150"), std::string::npos);
}

TEST(AudioFile, Mp3KeepsTheRateAndChannelsOfItsPcm) {
    struct Case {
        int rate, channels, kbps;
    };
    for (const Case c : {Case{22050, 1, kMp3Vbr}, Case{8000, 1, 32}, Case{32000, 2, 96}, Case{48000, 2, kMp3Vbr}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels, " +
                     std::to_string(c.kbps) + " kbps");
        Pcm pcm;
        pcm.sampleRate = c.rate;
        pcm.channels = c.channels;
        for (int i = 0; i < c.rate / 2; ++i)
            pcm.samples.insert(pcm.samples.end(), size_t(c.channels), int16_t(8000 * std::sin(i * 2 * M_PI * 440 / c.rate)));
        std::vector<uint8_t> mp3;
        std::string error;
        ASSERT_TRUE(EncodeMp3(pcm, c.kbps, mp3, &error)) << error;
        const Decoded decoded = DecodeMp3(mp3);
        EXPECT_EQ(decoded.rate, c.rate);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_EQ(decoded.vbr, c.kbps == kMp3Vbr ? MPG123_VBR : MPG123_CBR);
        EXPECT_EQ(decoded.samples.size(), pcm.samples.size());  // the tag frame trims delay and padding
    }
    // What layer III cannot carry is refused with the reason.
    struct Refusal {
        int rate, channels, kbps;
        const char* reason;
    };
    for (const Refusal r : {Refusal{44000, 2, 128, "44000 Hz"}, Refusal{44100, 3, 128, "channels"},
                            Refusal{44100, 2, 8, "8 kbps"}, Refusal{22050, 1, 320, "320 kbps"}}) {
        Pcm pcm;
        pcm.sampleRate = r.rate;
        pcm.channels = r.channels;
        pcm.samples.assign(size_t(r.channels) * 1000, 0);
        std::vector<uint8_t> mp3;
        std::string error;
        EXPECT_FALSE(EncodeMp3(pcm, r.kbps, mp3, &error));
        EXPECT_NE(error.find(r.reason), std::string::npos) << error;
    }
}

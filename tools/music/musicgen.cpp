// musicgen: renders the demo's soundtrack (example_song.cpp) to MP3 and/or WAV
// and prints its timing: sections, beats and hits, as the space-separated float
// lists a configuration file takes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/music/audio_file.h"
#include "tools/music/example_song.h"
#include "tools/music/synth.h"

namespace {

const char kUsage[] =
    "usage: musicgen [options]\n"
    "\n"
    "Renders the soundtrack: 44100 Hz stereo, loudness-normalised and\n"
    "peak-limited below -1 dBFS. Without --mp3 or --wav nothing is rendered.\n"
    "\n"
    "  --mp3 FILE    write a constant-bit-rate MP3 (with a gapless Info frame)\n"
    "  --wav FILE    write 16-bit PCM WAV\n"
    "  --kbps N      MP3 bit rate (default 192)\n"
    "  --times       print each section's start and length and, relative to\n"
    "                its start, its beats, accents and kick, snare and clap hits\n"
    "  -v            print how long rendering and encoding took\n";

void PrintList(int section, const char* what, const std::vector<double>& times) {
    std::printf("section %d %s:", section, what);
    for (double t : times) std::printf(" %.9g", t);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string mp3, wav;
    int kbps = 192;
    bool times = false, verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--mp3" && hasValue) {
            mp3 = argv[++i];
        } else if (arg == "--wav" && hasValue) {
            wav = argv[++i];
        } else if (arg == "--kbps" && hasValue) {
            kbps = std::atoi(argv[++i]);
        } else if (arg == "--times") {
            times = true;
        } else if (arg == "-v") {
            verbose = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    const music::Song song = music::ExampleSong();
    if (times) {
        std::printf("tempo %g BPM, %d bars, %.9g s\n", song.bpm, music::TotalBars(song), music::SongDuration(song));
        const std::vector<double> beats = music::BeatTimes(song), accents = music::AccentTimes(song);
        const std::vector<double> kicks = music::HitTimes(song, music::Instrument::Kick);
        const std::vector<double> snares = music::HitTimes(song, music::Instrument::Snare);
        const std::vector<double> claps = music::HitTimes(song, music::Instrument::Clap);
        for (int s = 0; s < int(song.sections.size()); ++s) {
            std::printf("section %d \"%s\": start %.9g, length %.9g s, %d bars\n", s, song.sections[size_t(s)].name.c_str(),
                        music::SectionStart(song, s), music::SectionDuration(song, s), song.sections[size_t(s)].bars);
            PrintList(s, "beats", music::InSection(song, beats, s));
            PrintList(s, "accents", music::InSection(song, accents, s));
            PrintList(s, "kick", music::InSection(song, kicks, s));
            PrintList(s, "snare", music::InSection(song, snares, s));
            PrintList(s, "clap", music::InSection(song, claps, s));
        }
    }
    if (mp3.empty() && wav.empty()) return 0;

    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    music::Pcm pcm;
    std::string error;
    if (!music::RenderSong(song, pcm, &error)) {
        std::fprintf(stderr, "musicgen: %s\n", error.c_str());
        return 1;
    }
    const auto t1 = Clock::now();
    if (!wav.empty() && !music::SaveWav(pcm, wav, &error)) {
        std::fprintf(stderr, "musicgen: %s\n", error.c_str());
        return 1;
    }
    if (!mp3.empty() && !music::SaveMp3(pcm, kbps, mp3, &error)) {
        std::fprintf(stderr, "musicgen: %s\n", error.c_str());
        return 1;
    }
    const auto t2 = Clock::now();
    if (verbose)
        std::fprintf(stderr, "musicgen: %.1f s of audio, rendered in %.2f s, written in %.2f s\n", pcm.seconds(),
                     std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
    return 0;
}

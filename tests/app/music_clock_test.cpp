#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/demo.h"
#include "platform/report.h"
#include "platform/sound.h"
#include "tests/support/log_capture.h"
#include "tools/music/audio_file.h"

namespace fs = std::filesystem;
using platform::ClockKind;
using platform::MusicStream;
using platform::SoundSystem;

namespace {

// Encodes `seconds` of a 440 Hz tone as an MP3 file with our encoder.
void WriteToneMp3(const std::string& path, double seconds, int rate = 44100, int channels = 2, int kbps = 128) {
    music::Pcm pcm;
    pcm.sampleRate = rate;
    pcm.channels = channels;
    const int frames = int(seconds * rate);
    for (int i = 0; i < frames; ++i)
        pcm.samples.insert(pcm.samples.end(), size_t(channels), short(8000 * std::sin(i * 2 * M_PI * 440 / rate)));
    std::string error;
    ASSERT_TRUE(music::SaveMp3(pcm, kbps, path, &error)) << error;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class MusicClockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("music_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        WriteToneMp3((dir_ / "tone.mp3").string(), 2.0);
        std::ofstream(dir_ / "broken.mp3", std::ios::binary) << std::string(4000, '\x5A');
        // Cut short: half the frames its header announces.
        const std::string tone = ReadBytes(Path("tone.mp3"));
        std::ofstream(dir_ / "truncated.mp3", std::ios::binary) << tone.substr(0, tone.size() / 2);
        // No header frame to announce a length, and garbage a third of the way in.
        std::string untagged = tone.substr(tone.find("\xFF\xFB", 4));
        untagged.replace(untagged.size() / 3, 2000, 2000, '\x5A');
        std::ofstream(dir_ / "garbled.mp3", std::ios::binary) << untagged;
        std::ofstream(dir_ / "empty.mp3", std::ios::binary);
        fs::create_directories(dir_ / "folder.mp3");
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    static std::string Path(const char* name) { return (dir_ / name).string(); }
    static fs::path dir_;
};
fs::path MusicClockTest::dir_;

}  // namespace

TEST_F(MusicClockTest, MissingOrBrokenFilesOpenNoStream) {
    auto sound = SoundSystem::Open(44100, ClockKind::Virtual);
    EXPECT_EQ(MusicStream::Open(*sound, ""), nullptr);
    EXPECT_EQ(MusicStream::Open(*sound, Path("absent.mp3").c_str()), nullptr);
    EXPECT_EQ(MusicStream::Open(*sound, Path("broken.mp3").c_str()), nullptr);
}

TEST_F(MusicClockTest, VirtualClockMovesOnlyWhenAdvanced) {
    auto sound = SoundSystem::Open(44100, ClockKind::Virtual);
    auto music = MusicStream::Open(*sound, Path("tone.mp3").c_str());
    ASSERT_NE(music, nullptr);
    // The encoder's delay and padding may add up to a few frames of silence.
    EXPECT_GE(music->LengthSamples(), 2u * 44100);
    EXPECT_LE(music->LengthSamples(), 2u * 44100 + 3 * 1152);
    music->Advance(44100);
    EXPECT_EQ(music->TimeMs(), 0u);  // not playing yet
    music->Play();
    music->Advance(735);  // one frame at 60 fps
    EXPECT_EQ(music->TimeMs(), 16u);
    music->Advance(44100 - 735);
    EXPECT_EQ(music->TimeMs(), 1000u);
    music->SetPaused(true);
    music->Advance(44100);
    EXPECT_EQ(music->TimeMs(), 1000u);
    music->SetPosition(0);
    music->SetPaused(false);
    EXPECT_EQ(music->TimeMs(), 0u);
    // Past the end of the stream a virtual clock goes on, so fixed-clock runs end.
    music->Advance(10 * 44100);
    EXPECT_EQ(music->TimeMs(), 10000u);
}

TEST_F(MusicClockTest, DeviceClockFollowsTheAudioDevice) {
    // No sound card is needed: SDL's dummy driver consumes samples in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto sound = SoundSystem::Open(44100, ClockKind::Device);
    ASSERT_NE(sound, nullptr);
    auto music = MusicStream::Open(*sound, Path("tone.mp3").c_str());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->TimeMs(), 0u);
    music->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const uint32_t played = music->TimeMs();
    // The dummy driver consumes in real time; a loaded machine may lag a little.
    EXPECT_GT(played, 300u);
    EXPECT_LT(played, 2000u);

    music->SetPaused(true);
    const uint32_t held = music->TimeMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(music->TimeMs(), held);

    music->SetPosition(0);
    EXPECT_LT(music->TimeMs(), 50u);
    music->SetPaused(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint32_t again = music->TimeMs();
    EXPECT_LT(again, held);  // it really started over
    // The clock never runs backwards while playing.
    uint32_t last = music->TimeMs();
    for (int i = 0; i < 50; ++i) {
        const uint32_t now = music->TimeMs();
        EXPECT_GE(now, last);
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

TEST_F(MusicClockTest, DecodesToAWavFileOfTheRightLength) {
    const std::string wav = Path("tone.wav");
    std::string error;
    ASSERT_TRUE(platform::DecodeToWav(Path("tone.mp3").c_str(), wav.c_str(), 44100, 0, &error)) << error;
    const auto samples = (fs::file_size(wav) - 44) / 4;
    EXPECT_GE(samples, 2u * 44100);
    EXPECT_LE(samples, 2u * 44100 + 3 * 1152);
    // Leading silence shifts the music later by exactly that many samples.
    ASSERT_TRUE(platform::DecodeToWav(Path("tone.mp3").c_str(), wav.c_str(), 44100, 735, &error)) << error;
    EXPECT_EQ((fs::file_size(wav) - 44) / 4, samples + 735);
    EXPECT_FALSE(platform::DecodeToWav(Path("absent.mp3").c_str(), wav.c_str(), 44100, 0, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(MusicClockTest, OnlyTheFirstSceneRewindsTheDemosMusic) {
    // The demo plays the tone on SDL's dummy driver, which consumes it in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string ini = Path("vlm.ini");
    std::ofstream(ini) << "[Music]\nfilename=" << Path("tone.mp3") << "\n";
    Demo demo;
    demo.config.setPath(ini.c_str());
    demo.startMusic();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (demo.musicTime() < 0.6f && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const float played = demo.musicTime();
    ASSERT_GE(played, 0.6f);
    for (int scene = 1; scene <= 8; ++scene) {
        demo.restartMusic(scene);
        EXPECT_GE(demo.musicTime(), played) << "scene " << scene;
    }
    demo.restartMusic(0);
    const float rewound = demo.musicTime();
    EXPECT_LT(rewound, 0.3f);
    // Not left paused: it plays on from the start.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(demo.musicTime(), rewound);
    demo.stopMusic();
}

namespace {
// A WAV file's format and samples, read back.
struct Wav {
    int channels = 0, rate = 0;
    std::vector<int16_t> samples;
};
Wav ReadWav(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    Wav wav;
    if (bytes.size() < 44) return wav;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    wav.channels = b[22] | b[23] << 8;
    wav.rate = int(b[24] | b[25] << 8 | b[26] << 16 | uint32_t(b[27]) << 24);
    wav.samples.resize((bytes.size() - 44) / 2);
    for (size_t i = 0; i < wav.samples.size(); ++i) wav.samples[i] = int16_t(b[44 + 2 * i] | b[45 + 2 * i] << 8);
    return wav;
}
}  // namespace

TEST_F(MusicClockTest, AnyRateAndChannelCountPlaysAsStereoAtTheMixRate) {
    struct Case {
        int rate, channels, kbps;
    };
    auto sound = SoundSystem::Open(44100, ClockKind::Virtual);
    for (const Case c : {Case{22050, 1, music::kMp3Vbr}, Case{8000, 1, 32}, Case{32000, 2, 96},
                         Case{48000, 2, music::kMp3Vbr}, Case{44100, 1, 64}}) {
        const std::string name = std::to_string(c.rate) + "_" + std::to_string(c.channels) + ".mp3";
        SCOPED_TRACE(name);
        WriteToneMp3(Path(name.c_str()), 2.0, c.rate, c.channels, c.kbps);
        auto music = MusicStream::Open(*sound, Path(name.c_str()).c_str());
        ASSERT_NE(music, nullptr);
        EXPECT_EQ(music->LengthSamples(), 2u * 44100);
        // The capture's soundtrack holds the same samples, stereo at the mix rate.
        std::string error;
        ASSERT_TRUE(platform::DecodeToWav(Path(name.c_str()).c_str(), Path("any.wav").c_str(), 44100, 0, &error))
            << error;
        const Wav wav = ReadWav(Path("any.wav"));
        EXPECT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.rate, 44100);
        ASSERT_EQ(wav.samples.size(), 2 * music->LengthSamples());
        // Still a 440 Hz tone, in both channels: resampled, not played fast or slow.
        int crossings = 0, differ = 0;
        for (size_t i = 2; i < wav.samples.size(); i += 2) {
            crossings += (wav.samples[i] < 0) != (wav.samples[i - 2] < 0);
            differ += wav.samples[i] != wav.samples[i + 1];
        }
        EXPECT_NEAR(crossings, 2 * 2 * 440, 20);  // a wrong rate is off by 9 % or more
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(MusicClockTest, UnplayableOrShortSoundtracksAreReported) {
    struct Case {
        const char* file;
        int level;           // 0: nothing reported
        const char* reason;  // in the one report
        bool opens;
    };
    const Case cases[] = {
        {"tone.mp3", 0, "", true},
        {"absent.mp3", kReportError, ": No such file or directory", false},
        {"folder.mp3", kReportError, ": it is a directory", false},
        {"broken.mp3", kReportError, ": it is not MPEG audio", false},
        {"empty.mp3", kReportError, ": it is not MPEG audio", false},
        {"truncated.mp3", kReportPlain, "the file is cut short", true},
        {"garbled.mp3", kReportPlain, "ends after 0.", true},
    };
    auto sound = SoundSystem::Open(44100, ClockKind::Virtual);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        testing_support::LogCapture log;
        auto music = MusicStream::Open(*sound, Path(c.file).c_str());
        EXPECT_EQ(music != nullptr, c.opens);
        const auto reports = log.reports();
        if (c.level == 0) {
            EXPECT_TRUE(reports.empty()) << reports.front().text;
            continue;
        }
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].level, c.level);
        EXPECT_EQ(reports[0].text.rfind("[Music] ", 0), 0u) << reports[0].text;
        EXPECT_NE(reports[0].text.find("\"" + Path(c.file) + "\""), std::string::npos) << reports[0].text;
        EXPECT_NE(reports[0].text.find(c.reason), std::string::npos) << reports[0].text;
        // What is there still plays, to where the audio ends.
        if (music) {
            EXPECT_LT(music->LengthSamples(), 2u * 44100 * 3 / 4);
        }
    }
}

TEST_F(MusicClockTest, TheDemosClockRunsWithoutTheMusicAndPastItsEnd) {
    // A soundtrack that cannot be played, and one far shorter than the show: the
    // device clock runs on in silence either way (SDL's dummy driver, real time).
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    WriteToneMp3(Path("short.mp3"), 0.1);
    for (const char* file : {"folder.mp3", "short.mp3"}) {
        SCOPED_TRACE(file);
        testing_support::LogCapture log;
        const std::string ini = Path("vlm.ini");
        std::ofstream(ini) << "[Music]\nfilename=" << Path(file) << "\n";
        Demo demo;
        demo.config.setPath(ini.c_str());
        demo.startMusic();
        EXPECT_EQ(log.errors().size(), file == std::string("folder.mp3") ? 1u : 0u);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (demo.musicTime() < 0.4f && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GE(demo.musicTime(), 0.4f);
        demo.restartMusic(0);
        EXPECT_LT(demo.musicTime(), 0.3f);
        demo.stopMusic();
    }
}

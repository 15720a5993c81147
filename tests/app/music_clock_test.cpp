#include <gtest/gtest.h>
#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/demo.h"
#include "platform/sound.h"

namespace fs = std::filesystem;
using platform::ClockKind;
using platform::MusicStream;
using platform::SoundSystem;

namespace {

// Encodes `seconds` of a 440 Hz tone as an MP3 file at 44100 Hz, with LAME.
void WriteToneMp3(const std::string& path, double seconds) {
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_out_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 7);
    ASSERT_GE(lame_init_params(lame), 0);
    const int frames = int(seconds * 44100);
    std::vector<short> pcm(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) pcm[2 * i] = pcm[2 * i + 1] = short(8000 * std::sin(i * 2 * M_PI * 440 / 44100));
    std::vector<unsigned char> mp3(size_t(frames) * 5 / 4 + 7200 + 16384);
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), frames, mp3.data(), int(mp3.size()));
    ASSERT_GE(n, 0);
    n += lame_encode_flush(lame, mp3.data() + n, int(mp3.size()) - n);
    lame_close(lame);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(mp3.data()), n);
}

class MusicClockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("music_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        WriteToneMp3((dir_ / "tone.mp3").string(), 2.0);
        std::ofstream(dir_ / "broken.mp3", std::ios::binary) << std::string(4000, '\x5A');
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

#include "platform/video_encoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/support/video_probe.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 64, kHeight = 48, kFps = 10, kFrames = 10;

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() / ("velmoor_video_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(VideoEncoder, EncodesFramesAndSoundIntoEachContainer) {
    const fs::path dir = TempDir();
    struct Case {
        const char* name;
        int audioRate;  // what the container's audio encoder runs at
    };
    for (const Case& c : {Case{"show.mp4", 44100}, Case{"show.mkv", 44100}, Case{"show.webm", 48000}}) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / c.name).string();
        platform::VideoEncoder encoder;
        std::string error;
        ASSERT_TRUE(encoder.Open(path, kWidth, kHeight, kFps, -1, true, &error)) << error;
        // Each frame one colour, changing from frame to frame; a tone under them,
        // after a tenth of a second of silence.
        for (int i = 0; i < kFrames; ++i) {
            const uint32_t colour = 0xFF000000u | uint32_t(200 - 10 * i) << 16 | uint32_t(40 + 15 * i) << 8 | 90u;
            ASSERT_TRUE(encoder.AddFrame(std::vector<uint32_t>(kWidth * kHeight, colour)));
        }
        const size_t silence = 4410, tone = size_t(kFrames) * 44100 / kFps - silence;
        std::vector<int16_t> samples(tone * 2);
        for (size_t s = 0; s < tone; ++s) samples[2 * s] = samples[2 * s + 1] = int16_t(8000 * std::sin(s * 0.05));
        ASSERT_TRUE(encoder.AddAudio(nullptr, silence));
        ASSERT_TRUE(encoder.AddAudio(samples.data(), tone));
        ASSERT_TRUE(encoder.Finish(&error)) << error;

        testing_support::VideoProbe probe;
        ASSERT_TRUE(testing_support::ProbeVideo(path, &probe, &error)) << error;
        EXPECT_EQ(probe.frames, kFrames);
        EXPECT_EQ(probe.width, kWidth);
        EXPECT_EQ(probe.height, kHeight);
        // Frame i at i / fps; Matroska moves both streams later by the audio
        // encoder's priming (at most 1024 samples), keeping them in step.
        EXPECT_NEAR(probe.firstFrameSeconds, 0.0, 0.024);
        EXPECT_NEAR(probe.videoSeconds - probe.firstFrameSeconds, double(kFrames) / kFps, 2e-3);
        EXPECT_EQ(probe.audioRate, c.audioRate);
        EXPECT_EQ(probe.audioChannels, 2);
        EXPECT_NEAR(probe.audioStartSeconds, probe.firstFrameSeconds, 0.024);
        EXPECT_NEAR(probe.audioSeconds, double(kFrames) / kFps, 0.05);
        std::vector<uint8_t> expected;
        for (int p = 0; p < kWidth * kHeight; ++p) expected.insert(expected.end(), {200, 40, 90});
        EXPECT_LT(testing_support::MeanDifference(probe.pictures[0], expected), 4.0);
    }
    fs::remove_all(dir);
}

TEST(VideoEncoder, RefusesWhatItCannotWriteWithAReason) {
    const fs::path dir = TempDir();
    std::ofstream(dir / "plain.txt") << "not a directory";
    struct Case {
        std::string path;
        const char* reason;
    };
    for (const Case& c : {Case{(dir / "show.avi").string(), ".mp4, .mkv or .webm"},
                          Case{(dir / "missing" / "show.mp4").string(), "No such file or directory"},
                          Case{(dir / "plain.txt" / "show.mp4").string(), "Not a directory"}}) {
        SCOPED_TRACE(c.path);
        platform::VideoEncoder encoder;
        std::string error;
        EXPECT_FALSE(encoder.Open(c.path, kWidth, kHeight, kFps, -1, false, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_FALSE(encoder.AddFrame(std::vector<uint32_t>(kWidth * kHeight)));
    }
    // Left without Finish, an open encoder stops and takes its incomplete file away.
    {
        platform::VideoEncoder encoder;
        std::string error;
        ASSERT_TRUE(encoder.Open((dir / "dropped.webm").string(), kWidth, kHeight, kFps, -1, true, &error)) << error;
        EXPECT_TRUE(encoder.AddFrame(std::vector<uint32_t>(kWidth * kHeight, 0xFF00FF00u)));
    }
    EXPECT_FALSE(fs::exists(dir / "dropped.webm"));
    fs::remove_all(dir);
}

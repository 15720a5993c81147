// The whole demo played headless over the baked data set on a fixed clock of
// two frames a second, every frame captured: it must run to its end by itself
// and exit 0, and chosen frames must look like their references in
// tests/data (compared at 160 x 120 with a tolerance, so other GL drivers and
// small changes of filtering pass while a missing or wrong scene does not).
//
// With VELMOOR_UPDATE_REFERENCES=1 in the environment the test writes the
// chosen frames as the new references (and the README's screenshots into
// docs/) instead of comparing; look at them before committing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/frame_capture.h"
#include "platform/sound.h"
#include "tests/support/video_probe.h"
#include "tools/image/image.h"
#include "tools/image/jpeg_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFps = 2;
constexpr int kSmallW = 160, kSmallH = 120;

struct Shot {
    const char* name;   // tests/data/<name>.png
    double musicTime;   // seconds of music at which the frame is taken
    bool screenshot;    // also one of the README's pictures (docs/<name>.jpg)
};

// Nominal music times; each later scene starts up to a second later per scene
// before it at this frame rate, which the frame index takes care of (the run
// is deterministic).
const Shot kShots[] = {
    {"jungle", 4.5, true},     // gliding along the river bank
    {"lake", 88.0, true},      // around the left metaball sculpture
    {"temple", 132.5, true},   // the temple front, braziers burning
    {"trex", 250.0, false},    // the dinosaur roaring under the title
    {"computer", 226.0, true}, // the whole desk
};

std::vector<uint8_t> Downscale(const std::vector<uint8_t>& rgb, int w, int h, int tw, int th) {
    std::vector<uint8_t> out(size_t(tw) * size_t(th) * 3);
    const int bx = w / tw, by = h / th;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < by; ++dy)
                    for (int dx = 0; dx < bx; ++dx) sum += rgb[(size_t(y * by + dy) * size_t(w) + size_t(x * bx + dx)) * 3 + size_t(c)];
                out[(size_t(y) * size_t(tw) + size_t(x)) * 3 + size_t(c)] = uint8_t(sum / (bx * by));
            }
    return out;
}

struct Difference {
    double mean = 0;       // mean absolute difference per channel, 0-255
    double farBlocks = 0;  // share of 8 x 8 blocks whose mean colours differ by more than 40
};

Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h) {
    Difference d;
    for (size_t i = 0; i < a.size(); ++i) d.mean += std::abs(int(a[i]) - int(b[i]));
    d.mean /= double(a.size());
    int blocks = 0, far = 0;
    for (int y = 0; y < h; y += 8)
        for (int x = 0; x < w; x += 8) {
            double worst = 0;
            for (int c = 0; c < 3; ++c) {
                double sa = 0, sb = 0;
                for (int dy = 0; dy < 8; ++dy)
                    for (int dx = 0; dx < 8; ++dx) {
                        const size_t i = (size_t(y + dy) * size_t(w) + size_t(x + dx)) * 3 + size_t(c);
                        sa += a[i];
                        sb += b[i];
                    }
                worst = std::max(worst, std::fabs(sa - sb) / 64);
            }
            ++blocks;
            far += worst > 40;
        }
    d.farBlocks = double(far) / double(blocks);
    return d;
}

TEST(BakedDemo, PlaysToTheEndAndLooksLikeItsReferences) {
    const fs::path demo = VELMOOR_SHOW_DIR;
    if (!fs::exists(demo / "vlm.ini")) GTEST_SKIP() << "no baked demo in " << demo;
    const fs::path dir = fs::temp_directory_path() / ("velmoor_baked_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy " + std::string(VELMOOR_BINARY) +
                                " --data " + demo.string() + " --capture " + (dir / "frames").string() +
                                " --fixed-fps " + std::to_string(kFps) + " >" + (dir / "out.txt").string() + " 2>" +
                                (dir / "err.txt").string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "velmoor failed; see " << dir;

    // The capture's soundtrack is the music after one silent frame per frame
    // drawn before the music started: its length gives the first music frame.
    const fs::path wav = dir / "frames" / "music.wav";
    ASSERT_TRUE(fs::exists(wav));
    auto sound = platform::SoundSystem::Open(44100, platform::ClockKind::Virtual);
    auto music = platform::MusicStream::Open(*sound, (demo / "data/velmoor.mp3").c_str());
    ASSERT_TRUE(music);
    const uint64_t wavSamples = (fs::file_size(wav) - 44) / 4;
    const long firstMusicFrame = long((wavSamples - music->LengthSamples()) * kFps / 44100) + 1;
    int frames = 0;
    for (const auto& e : fs::directory_iterator(dir / "frames")) frames += e.path().extension() == ".png";
    // At least the whole show (about five minutes) was drawn.
    EXPECT_GT(frames, firstMusicFrame + 300 * kFps);

    const bool update = std::getenv("VELMOOR_UPDATE_REFERENCES") != nullptr;
    for (const Shot& shot : kShots) {
        char name[32];
        std::snprintf(name, sizeof name, "%06ld.png", firstMusicFrame + std::lround(shot.musicTime * kFps));
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadImageRgb((dir / "frames" / name).string(), &rgb, &w, &h)) << name;
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        const std::vector<uint8_t> small = Downscale(rgb, w, h, kSmallW, kSmallH);
        const fs::path reference = fs::path(VELMOOR_REFERENCE_DIR) / (std::string(shot.name) + ".png");
        if (update) {
            fs::create_directories(reference.parent_path());
            ASSERT_TRUE(platform::WritePng(reference.string(), small, kSmallW, kSmallH));
            if (shot.screenshot) {
                image::Image img(320, 240);
                const std::vector<uint8_t> half = Downscale(rgb, w, h, 320, 240);
                for (int y = 0; y < 240; ++y)
                    for (int x = 0; x < 320; ++x) {
                        const size_t i = (size_t(y) * 320 + size_t(x)) * 3;
                        img.at(x, y) = {half[i], half[i + 1], half[i + 2], 255};
                    }
                const fs::path docs = fs::path(VELMOOR_DOCS_DIR) / (std::string(shot.name) + ".jpg");
                fs::create_directories(docs.parent_path());
                ASSERT_TRUE(image::SaveJpeg(img, {85, true}, docs.string()));
            }
            continue;
        }
        std::vector<uint8_t> expected;
        int ew = 0, eh = 0;
        ASSERT_TRUE(platform::ReadImageRgb(reference.string(), &expected, &ew, &eh)) << reference;
        ASSERT_EQ(ew, kSmallW);
        ASSERT_EQ(eh, kSmallH);
        const Difference d = Compare(small, expected, kSmallW, kSmallH);
        EXPECT_LT(d.mean, 12.0) << shot.name << " (" << name << ") differs from its reference";
        EXPECT_LT(d.farBlocks, 0.05) << shot.name << " (" << name << ") differs from its reference in places";
        if (!HasFailure()) continue;
        platform::WritePng((dir / (std::string(shot.name) + "_seen.png")).string(), small, kSmallW, kSmallH);
    }
    if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace

TEST(BakedDemo, AThreeSecondVideoHoldsTheCapturedFramesAndItsSound) {
    const fs::path demo = VELMOOR_SHOW_DIR;
    if (!fs::exists(demo / "vlm.ini")) GTEST_SKIP() << "no baked demo in " << demo;
    const fs::path dir = fs::temp_directory_path() / ("velmoor_baked_video_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Three seconds of the jungle, as a video and as PNG frames.
    const auto run = [&](const std::string& output) {
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy " +
                                    std::string(VELMOOR_BINARY) + " --data " + demo.string() + " " + output +
                                    " --from 10 --to 13 --fixed-fps 10 >/dev/null 2>" + (dir / "err.txt").string();
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(run("--video " + (dir / "jungle.mp4").string())) << "velmoor failed; see " << dir;
    ASSERT_TRUE(run("--capture " + (dir / "frames").string())) << "velmoor failed; see " << dir;
    int frames = 0;
    for (const auto& e : fs::directory_iterator(dir / "frames")) frames += e.path().extension() == ".png";
    EXPECT_NEAR(frames, 30, 1);

    testing_support::VideoProbe probe;
    std::string error;
    ASSERT_TRUE(testing_support::ProbeVideo((dir / "jungle.mp4").string(), &probe, &error)) << error;
    EXPECT_EQ(probe.frames, frames);
    EXPECT_EQ(probe.width, 640);
    EXPECT_EQ(probe.height, 480);
    EXPECT_NEAR(probe.videoSeconds, frames / 10.0, 2e-3);
    EXPECT_EQ(probe.audioChannels, 2);
    EXPECT_NEAR(probe.audioSeconds, frames / 10.0, 0.05);  // AAC frames are 1024 samples
    std::vector<uint8_t> png;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::ReadImageRgb((dir / "frames" / "000000.png").string(), &png, &w, &h));
    EXPECT_LT(testing_support::MeanDifference(probe.pictures[0], png), 3.0);
    if (!HasFailure()) fs::remove_all(dir);
}

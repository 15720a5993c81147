// The whole program, run headless on a fixed clock over a tiny demo written by
// the content tools: loading, all ten scripts in order, the run modes, and the
// failures that end a run early.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "platform/frame_capture.h"
#include "platform/sound.h"
#include "tests/support/mini_demo.h"
#include "tests/support/video_probe.h"
#include "tools/music/audio_file.h"

namespace fs = std::filesystem;
using testing_support::MiniDemoOptions;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class WholeDemo : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velmoor_demo_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    void Write(const MiniDemoOptions& options) {
        std::string error;
        ASSERT_TRUE(testing_support::WriteMiniDemo(dir_.string(), options, &error)) << error;
    }
    RunResult Velmoor(const std::string& arguments) {
        fs::create_directories(dir_);
        const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
        const std::string command = std::string(VELMOOR_BINARY) + " --data " + dir_.string() + " " + arguments +
                                    " >" + out.string() + " 2>" + err.string();
        // No display: the program must run offscreen whatever the environment has.
        // A run that does not end by itself fails in two minutes, not at the test's timeout.
        const std::string isolated = "env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy timeout -k 5 120 " + command;
        const int status = std::system(isolated.c_str());
        RunResult run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadAll(out);
        run.err = ReadAll(err);
        return run;
    }
    // Frames per part from the benchmark table ("jungle  42  1.00  2.00").
    static std::map<std::string, int> FramesPerPart(const std::string& table) {
        std::map<std::string, int> frames;
        std::istringstream lines(table);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string name;
            int count = 0;
            if (words >> name >> count && name != "part" && name != "total") frames[name] = count;
        }
        return frames;
    }
    fs::path dir_;
};

}  // namespace

TEST_F(WholeDemo, PlaysEveryScriptInOrderAndEndsByItself) {
    MiniDemoOptions options;
    Write(options);
    const RunResult run = Velmoor("--benchmark --fixed-fps 30 --log " + (dir_ / "log.txt").string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Error"), std::string::npos) << run.err;
    const auto frames = FramesPerPart(run.out);
    for (const char* part : {"loading", "jungle", "cavern", "lake", "temple", "space", "earth", "computer", "t-rex",
                             "greetings"}) {
        ASSERT_TRUE(frames.count(part)) << part << "\n" << run.out;
        EXPECT_GE(frames.at(part), 20) << part;  // about a second at 30 frames per second
    }
    // The cavern also plays its two forest interludes.
    EXPECT_GT(frames.at("cavern"), frames.at("jungle"));
    // The table measures against the fill-rate floor and counts what frames cost.
    EXPECT_NE(run.out.find("fill-rate floor "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("draws  triangles  fragments  overdraw"), std::string::npos) << run.out;
    const std::string log = ReadAll(dir_ / "log.txt");
    EXPECT_NE(log.find("[Load] Scene is Animated"), std::string::npos);
    EXPECT_EQ(log.find("Error"), std::string::npos);
}

TEST_F(WholeDemo, CaptureWritesEveryFrameAndTheSoundtrack) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.5f;
    Write(options);
    const fs::path frames = dir_ / "frames";
    const RunResult run = Velmoor("--capture " + frames.string() + " --fixed-fps 15");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(frames)) count += entry.path().extension() == ".png";
    EXPECT_GE(count, int(testing_support::MiniDemoShowSeconds(options) * 15));
    ASSERT_TRUE(fs::exists(frames / "000000.png"));
    EXPECT_TRUE(fs::exists(frames / "music.wav"));
    // Most frames show something (the fades between scenes are short).
    int shown = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        char name[32];
        std::snprintf(name, sizeof name, "%06d.png", i);
        ASSERT_TRUE(platform::ReadImageRgb((frames / name).string(), &rgb, &w, &h)) << name;
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        int lit = 0;
        for (size_t p = 0; p < rgb.size(); p += 3) lit += (rgb[p] + rgb[p + 1] + rgb[p + 2]) > 60;
        shown += lit > 640 * 480 / 20;
    }
    EXPECT_GT(shown, count / 2);
}

TEST_F(WholeDemo, VideoHoldsTheCapturedFramesAndSoundtrack) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.3f;
    Write(options);
    const fs::path frames = dir_ / "frames", video = dir_ / "show.mp4";
    const RunResult capture = Velmoor("--capture " + frames.string() + " --fixed-fps 15");
    ASSERT_EQ(capture.exitCode, 0) << capture.err;
    const RunResult run = Velmoor("--video " + video.string() + " --fixed-fps 15");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(frames)) count += entry.path().extension() == ".png";
    ASSERT_GT(count, 2);
    testing_support::VideoProbe probe;
    std::string error;
    ASSERT_TRUE(testing_support::ProbeVideo(video.string(), &probe, &error, {0, count / 2})) << error;
    EXPECT_EQ(probe.frames, count);
    EXPECT_EQ(probe.width, 640);
    EXPECT_EQ(probe.height, 480);
    EXPECT_NEAR(probe.firstFrameSeconds, 0.0, 1e-3);
    EXPECT_NEAR(probe.videoSeconds, count / 15.0, 2e-3);
    EXPECT_NEAR(probe.audioStartSeconds, 0.0, 1e-3);
    // The soundtrack as long as music.wav, leading silence included.
    const double wavSeconds = double(fs::file_size(frames / "music.wav") - 44) / 4 / 44100;
    EXPECT_NEAR(probe.audioSeconds, wavSeconds, 0.03);
    // The pictures are the captured ones, but for the codec's loss.
    for (const int i : {0, count / 2}) {
        char name[32];
        std::snprintf(name, sizeof name, "%06d.png", i);
        std::vector<uint8_t> png;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadImageRgb((frames / name).string(), &png, &w, &h)) << name;
        EXPECT_LT(testing_support::MeanDifference(probe.pictures[i], png), 3.0) << name;
    }
}

TEST_F(WholeDemo, CapturesAtTwiceTheResolutionOrMultisampledShowTheSameFrames) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.5f;
    Write(options);
    const auto capture = [&](const std::string& name, const std::string& arguments) {
        const RunResult run = Velmoor("--capture " + (dir_ / name).string() + " --fixed-fps 4 " + arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return dir_ / name;
    };
    const fs::path logical = capture("logical", "");
    struct Case {
        const char* arguments;
        int scale;  // PNG pixels per logical pixel
    };
    for (const Case& c : {Case{"--resolution 1280x960", 2}, Case{"--msaa 4", 1}}) {
        SCOPED_TRACE(c.arguments);
        const fs::path frames = capture(std::string("scaled") + std::to_string(c.scale), c.arguments);
        // Every frame, box-filtered down to 640 x 480, against the logical one: the
        // same pictures, differing only along edges (mean over the whole show).
        double difference = 0;
        int count = 0, worst = -1;
        double worstMean = 0;
        for (int i = 0;; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%06d.png", i);
            std::vector<uint8_t> a, b;
            int aw = 0, ah = 0, bw = 0, bh = 0;
            if (!platform::ReadImageRgb((logical / name).string(), &a, &aw, &ah)) {
                EXPECT_FALSE(fs::exists(frames / name)) << "more frames than the logical capture";
                break;
            }
            ASSERT_TRUE(platform::ReadImageRgb((frames / name).string(), &b, &bw, &bh)) << name;
            ASSERT_EQ(bw, 640 * c.scale);
            ASSERT_EQ(bh, 480 * c.scale);
            double sum = 0;
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 640; ++x)
                    for (int k = 0; k < 3; ++k) {
                        int box = 0;
                        for (int dy = 0; dy < c.scale; ++dy)
                            for (int dx = 0; dx < c.scale; ++dx)
                                box += b[(size_t(y * c.scale + dy) * size_t(bw) + size_t(x * c.scale + dx)) * 3 + k];
                        const double filtered = double(box) / (c.scale * c.scale);
                        sum += std::fabs(filtered - a[(size_t(y) * 640 + size_t(x)) * 3 + k]);
                    }
            const double mean = sum / (640.0 * 480 * 3);
            difference += mean;
            ++count;
            if (mean > worstMean) {
                worstMean = mean;
                worst = i;
            }
        }
        ASSERT_GT(count, 0);
        EXPECT_LT(difference / count, 1.0) << "mean difference per channel over " << count << " frames";
        EXPECT_LT(worstMean, 5.0) << "frame " << worst;
    }
}

TEST_F(WholeDemo, CaptureOverAMonoHalfRateSoundtrackEndsWithTheShow) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.5f;
    Write(options);
    // The show's length in frames does not depend on the soundtrack's format.
    const RunResult bench = Velmoor("--benchmark --fixed-fps 15");
    ASSERT_EQ(bench.exitCode, 0) << bench.err;
    int expected = 0;
    for (const auto& [part, count] : FramesPerPart(bench.out)) expected += count;

    options.musicRate = 22050;
    options.musicChannels = 1;
    options.musicKbps = music::kMp3Vbr;
    Write(options);
    const fs::path frames = dir_ / "frames";
    const RunResult run = Velmoor("--capture " + frames.string() + " --fixed-fps 15");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("[Music]"), std::string::npos) << run.err;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(frames)) count += entry.path().extension() == ".png";
    EXPECT_EQ(count, expected);
    // The soundtrack comes out stereo at 44100 Hz and covers every frame, and
    // it is the music, not silence.
    const std::string wav = ReadAll(frames / "music.wav");
    ASSERT_GT(wav.size(), 44u);
    const auto* b = reinterpret_cast<const uint8_t*>(wav.data());
    EXPECT_EQ(b[22] | b[23] << 8, 2);
    EXPECT_EQ(b[24] | b[25] << 8 | b[26] << 16, 44100);
    const size_t samples = (wav.size() - 44) / 4;
    EXPECT_GE(samples, size_t(count) * 44100 / 15);
    EXPECT_LE(samples, size_t(count + 4 * 15) * 44100 / 15);
    double energy = 0;
    for (size_t i = samples / 2; i < samples; ++i) energy += std::pow(int16_t(b[44 + 4 * i] | b[45 + 4 * i] << 8), 2);
    EXPECT_GT(std::sqrt(energy / double(samples - samples / 2)), 1000);
}

TEST_F(WholeDemo, AnUnplayableSoundtrackIsReportedAndTheShowStillEnds) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.3f;
    struct Case {
        const char* name;
        void (*spoil)(const fs::path& mp3);
        const char* message;  // on stderr as an error, or only in the log
        bool error;
    };
    const Case cases[] = {
        {"missing", [](const fs::path& mp3) { fs::remove(mp3); }, ": No such file or directory", true},
        {"directory", [](const fs::path& mp3) {
             fs::remove(mp3);
             fs::create_directory(mp3);
         }, ": it is a directory",
         true},
        {"garbage", [](const fs::path& mp3) { std::ofstream(mp3, std::ios::binary) << std::string(5000, 'Z'); },
         ": it is not MPEG audio", true},
        {"truncated", [](const fs::path& mp3) { fs::resize_file(mp3, fs::file_size(mp3) / 3); },
         "the file is cut short", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_);
        Write(options);
        c.spoil(dir_ / "data" / "music.mp3");
        const RunResult run = Velmoor("--benchmark --fixed-fps 30 --log " + (dir_ / "log.txt").string());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::string log = ReadAll(dir_ / "log.txt");
        const std::string report = "[Music] " + std::string(c.error ? "Cannot play the soundtrack" : "The soundtrack") +
                                   " \"data/music.mp3\"";
        EXPECT_NE(log.find(report), std::string::npos) << log;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        if (c.error) {
            EXPECT_NE(run.err.find("Error -1 : " + report), std::string::npos) << run.err;
        } else {
            EXPECT_EQ(run.err.find("Error"), std::string::npos) << run.err;
        }
        // The show plays in silence to its end.
        EXPECT_GE(FramesPerPart(run.out)["greetings"], 5) << run.out;
    }
}

TEST_F(WholeDemo, ABlankSceneNameStopsTheDemoWithTheLoadingMessage) {
    MiniDemoOptions options;
    options.blankScene = 4;
    Write(options);
    const RunResult run = Velmoor("--fixed-fps 30");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("Error -1 : Demo Loading Crashed, Sorry !"), std::string::npos) << run.err;
}

TEST_F(WholeDemo, NumscenesOtherThanTenIsRefusedClearly) {
    MiniDemoOptions options;
    options.numScenes = 9;
    Write(options);
    const RunResult run = Velmoor("--fixed-fps 30");
    EXPECT_NE(run.err.find("\"numscenes\" is 9 : the demo plays exactly 10 scenes"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Demo Loading Crashed, Sorry !"), std::string::npos);
}

TEST_F(WholeDemo, AMissingSceneFileSkipsItsScriptAndPlaysTheRest) {
    MiniDemoOptions options;
    options.missingScene = 2;  // the forest: the cavern plays without its interludes
    Write(options);
    const RunResult run = Velmoor("--benchmark --fixed-fps 30 --log " + (dir_ / "log.txt").string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("[Load] Unable load scene \"data/forest.zks\""), std::string::npos) << run.err;
    const auto frames = FramesPerPart(run.out);
    EXPECT_GE(frames.at("greetings"), 20);
    EXPECT_LT(frames.at("cavern"), frames.at("jungle") + 10);  // no interludes
}

TEST_F(WholeDemo, StartSceneBeginsLaterWithTheMusicThere) {
    MiniDemoOptions options;
    Write(options);
    const RunResult run = Velmoor("--benchmark --fixed-fps 30 --start-scene 7");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto frames = FramesPerPart(run.out);
    EXPECT_FALSE(frames.count("jungle"));
    EXPECT_FALSE(frames.count("lake"));
    EXPECT_GE(frames.at("computer"), 20);
    EXPECT_GE(frames.at("greetings"), 20);
}

namespace {
// The PNG files of a capture folder, by name, as bytes.
std::map<std::string, std::string> Frames(const fs::path& folder) {
    std::map<std::string, std::string> frames;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".png") frames[entry.path().filename().string()] = ReadAll(entry.path());
    return frames;
}
}  // namespace

TEST_F(WholeDemo, APackReleasePlaysTheSameFramesAsTheLooseFiles) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.4f;
    Write(options);
    const RunResult loose = Velmoor("--capture " + (dir_ / "loose").string() + " --fixed-fps 5");
    ASSERT_EQ(loose.exitCode, 0) << loose.err;

    // The release: executable, vlm.ini, one pack, the soundtrack.
    const fs::path release = dir_ / "release";
    const std::string make = std::string(VELMOOR_SOURCE_DIR) + "/scripts/make-release " + VELMOOR_BUILD_DIR + " " +
                             dir_.string() + " " + release.string() + " >/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    for (const char* file : {"velmoor", "vlm.ini", "velmoor.zkp", "play", "data/music.mp3"})
        EXPECT_TRUE(fs::exists(release / file)) << file;
    EXPECT_FALSE(fs::exists(release / "data" / "jungle.zks"));  // the scenes are in the pack

    const RunResult packed = Velmoor("--data " + release.string() + " --pack " + (release / "velmoor.zkp").string() +
                                     " --capture " + (dir_ / "packed").string() + " --fixed-fps 5");
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    const auto a = Frames(dir_ / "loose"), b = Frames(dir_ / "packed");
    ASSERT_GT(a.size(), 20u);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) EXPECT_TRUE(b.at(name) == bytes) << name << " differs";
}

TEST_F(WholeDemo, ACaptureFromToShowsTheSameFramesAsThatStretchOfTheWholeShow) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.4f;
    Write(options);
    const RunResult whole = Velmoor("--capture " + (dir_ / "whole").string() + " --fixed-fps 10");
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    // From the computer's start (after six scenes of 0.4 s and the cavern's two
    // interludes of 0.1 s) through the t-rex.
    const RunResult part = Velmoor("--capture " + (dir_ / "part").string() + " --fixed-fps 10 --from 2.6 --to 3.4");
    ASSERT_EQ(part.exitCode, 0) << part.err;
    const auto a = Frames(dir_ / "whole"), b = Frames(dir_ / "part");
    // Frame 0 is drawn at 2.6 s, the last at 3.4 s.
    ASSERT_EQ(b.size(), 9u);
    ASSERT_TRUE(b.count("000000.png"));
    // The whole show never draws a script at scene time 0: from frame 1 on, the
    // stretch is somewhere in it, frame for frame (within one level).
    std::vector<std::string> whole_names, part_names;
    for (const auto& [name, bytes] : a) whole_names.push_back(name);
    for (const auto& [name, bytes] : b) part_names.push_back(name);
    // Where the stretch lies: the place where the most frames are the same.
    size_t first = 0, best = 0;
    for (size_t k = 0; k + part_names.size() - 1 <= whole_names.size(); ++k) {
        size_t same = 0;
        for (size_t i = 1; i < part_names.size(); ++i) same += b.at(part_names[i]) == a.at(whole_names[k + i - 1]);
        if (same > best) best = same, first = k;
    }
    ASSERT_GT(best, 0u) << "no frame of the stretch is in the whole show";
    const auto pixels = [](const fs::path& png) {
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        EXPECT_TRUE(platform::ReadImageRgb(png.string(), &rgb, &w, &h)) << png;
        return rgb;
    };
    for (size_t i = 1; i < part_names.size(); ++i) {
        const std::string& name = whole_names[first + i - 1];
        if (b.at(part_names[i]) == a.at(name)) continue;
        const auto x = pixels(dir_ / "part" / part_names[i]), y = pixels(dir_ / "whole" / name);
        ASSERT_EQ(x.size(), y.size());
        int worst = 0;
        for (size_t p = 0; p < x.size(); ++p) worst = std::max(worst, std::abs(int(x[p]) - int(y[p])));
        EXPECT_LE(worst, 1) << "frame " << i;
    }
    // The soundtrack begins at 2.6 s: the music's first 2.6 s are left out.
    std::string error;
    ASSERT_TRUE(platform::DecodeToWav((dir_ / "data" / "music.mp3").c_str(), (dir_ / "all.wav").c_str(), 44100, 0,
                                      &error))
        << error;
    EXPECT_EQ(fs::file_size(dir_ / "all.wav") - fs::file_size(dir_ / "part" / "music.wav"), 114660u * 4);
}

TEST_F(WholeDemo, OpensItsWindowUnderXvfbAndEndsOnEscape) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    MiniDemoOptions options;
    options.sceneSeconds = 30;  // long enough that only Escape ends it
    Write(options);
    const fs::path shot = dir_ / "window.png", codes = dir_ / "codes.txt";
    const std::string script =
        std::string("SDL_AUDIODRIVER=dummy ") + VELMOOR_BINARY + " --data " + dir_.string() + " --windowed >" +
        (dir_ / "stdout.txt").string() + " 2>" + (dir_ / "stderr.txt").string() + " & pid=$!; " + X11_WINDOW_TOOL +
        " --title Velmoor --wait 30 --settle 4 --screenshot " + shot.string() + " --escape; tool=$?; wait $pid; echo \"$tool $?\" >" +
        codes.string();
    const std::string command = "xvfb-run -a -s '-screen 0 1024x768x24' sh -c '" + script + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadAll(codes), "0 0\n") << ReadAll(dir_ / "stderr.txt");
    EXPECT_EQ(ReadAll(dir_ / "stderr.txt").find("headless"), std::string::npos);
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::ReadImageRgb(shot.string(), &rgb, &w, &h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    int lit = 0;
    for (size_t p = 0; p < rgb.size(); p += 3) lit += (rgb[p] + rgb[p + 1] + rgb[p + 2]) > 60;
    EXPECT_GT(lit, 640 * 480 / 10);  // the demo drew into its window
}

TEST_F(WholeDemo, FullScreenWithoutAWindowManagerLetterboxesTheWholeFrame) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    MiniDemoOptions options;
    options.sceneSeconds = 30;
    Write(options);
    // xvfb-run starts no window manager: only velmoor sizes its window. The
    // screen is taken a few times, as the show fades through black now and then.
    constexpr int kShots = 4;
    const fs::path codes = dir_ / "codes.txt";
    const std::string tool = std::string(X11_WINDOW_TOOL) + " --title Velmoor --wait 30 ";
    std::string script = std::string("SDL_AUDIODRIVER=dummy ") + VELMOOR_BINARY + " --data " + dir_.string() +
                         " --fullscreen >" + (dir_ / "stdout.txt").string() + " 2>" +
                         (dir_ / "stderr.txt").string() + " & pid=$!; ok=0; ";
    const auto shotPath = [&](int shot) { return dir_ / ("screen" + std::to_string(shot) + ".png"); };
    for (int shot = 0; shot < kShots; ++shot)
        script += tool + "--settle 1.5 --screen --screenshot " + shotPath(shot).string() + " || ok=1; ";
    script += tool + "--settle 0 --escape || ok=1; wait $pid; echo \"$ok $?\" >" + codes.string();
    const std::string command = "xvfb-run -a -s '-screen 0 1280x720x24' sh -c '" + script + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadAll(codes), "0 0\n") << ReadAll(dir_ / "stderr.txt");

    // 640 x 480 scaled to 960 x 720 fills x 160 to 1120; the bars stay black.
    int filled = 0;
    for (int shot = 0; shot < kShots; ++shot) {
        const std::string name = shotPath(shot).filename().string();
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadImageRgb(shotPath(shot).string(), &rgb, &w, &h)) << name;
        ASSERT_EQ(w, 1280);
        ASSERT_EQ(h, 720);
        // The share of pixels in [x0, x1) x [y0, y1) that are not black.
        auto lit = [&](int x0, int x1, int y0, int y1) {
            int count = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
                    count += std::max({p[0], p[1], p[2]}) > 16;
                }
            return double(count) / ((x1 - x0) * (y1 - y0));
        };
        EXPECT_EQ(lit(0, 158, 0, 720), 0) << name << ": the left bar is not black";
        EXPECT_EQ(lit(1122, 1280, 0, 720), 0) << name << ": the right bar is not black";
        // Every edge of the frame shows the picture (a cropped or unscaled one
        // leaves black there).
        filled += std::min({lit(160, 166, 0, 720), lit(1114, 1120, 0, 720), lit(160, 1120, 0, 6),
                            lit(160, 1120, 714, 720)}) > 0.9;
    }
    EXPECT_GT(filled, 0) << "no picture reached every edge of the 960 x 720 frame";
}

TEST_F(WholeDemo, MissingDataGivesOneClearLine) {
    // The last --data wins: a folder that is not there.
    const RunResult run = Velmoor("--data " + (dir_ / "nothing").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not found"), std::string::npos) << run.err;
}

// ---------------------------------------------------------------- broken input

namespace {

// One broken input: how to break a fresh copy of the tiny demo, and what the
// user must see.
struct Broken {
    const char* name;
    std::function<void(const fs::path& dir)> damage;
    int exitCode;
    std::string message;  // on stderr
    std::string arguments = "";
};

void Replace(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
void Truncate(const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); }
// Cuts the file in the middle of its last line.
void CutLastLine(const fs::path& file) {
    std::string text = ReadAll(file);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t start = text.rfind('\n') + 1;  // 0 for a single line
    fs::resize_file(file, start + (text.size() - start) / 2);
}
void MakeDirectory(const fs::path& file) {
    fs::remove(file);
    fs::create_directories(file / "inside");
}
void SetKey(const fs::path& dir, const std::string& key, const std::string& value) {
    std::string ini = ReadAll(dir / "vlm.ini");
    const size_t at = ini.find("\n" + key + "=");
    const size_t end = ini.find('\n', at + 1);
    ini.replace(at + 1, end - at - 1, key + "=" + value);
    Replace(dir / "vlm.ini", ini);
}

class BrokenInput : public WholeDemo {};

}  // namespace

TEST_F(BrokenInput, EachGivesItsMessageAndNeitherCrashesNorHangs) {
    MiniDemoOptions options;
    options.sceneSeconds = 0.3f;
    Write(options);
    const fs::path original = dir_ / "original";
    fs::create_directories(original);
    for (const auto& entry : fs::directory_iterator(dir_))
        if (entry.path() != original) fs::rename(entry.path(), original / entry.path().filename());
    const fs::path data = "data";
    const std::string texture = "[Tex] Impossible to load texture data/checker.dds";
    const std::string font = "[FT] Cannot load VTF";
    const std::string particles = "[SFX-Load] PS : No file to read";
    const std::string flare = "[SFX] - Cannot Open Configuration File \"data/cavern.lfd\"";
    const std::vector<Broken> cases = {
        {"garbage ini", [](const fs::path& d) { Replace(d / "vlm.ini", std::string("\x01\xff[[=\n\0\0garbage", 16)); },
         0, "\"numscenes\" is 0 : the demo plays exactly 10 scenes"},
        {"huge numscenes", [](const fs::path& d) { SetKey(d, "numscenes", "99999999999999"); }, 0,
         "\"numscenes\" is 2147483647 :"},
        {"negative numscenes", [](const fs::path& d) { SetKey(d, "numscenes", "-3"); }, 0, "\"numscenes\" is -3 :"},
        {"non-numeric float", [](const fs::path& d) { SetKey(d, "transition_introcam1", "soon"); }, 0,
         "\"transition_introcam1\" in section \"Jungle\" is \"soon\", not a number"},
        {"out-of-range float", [](const fs::path& d) { SetKey(d, "transition_introcam1", "1e999"); }, 0,
         "is \"1e999\", out of range : its default 1 is used"},
        {"truncated scene", [&](const fs::path& d) { Truncate(d / data / "jungle.zks"); }, 0,
         "[Load] Scene \"jungle.zks\" rejected"},
        {"scene is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "jungle.zks"); }, 0,
         "[Load] Unable load scene \"data/jungle.zks\""},
        {"missing texture", [&](const fs::path& d) { fs::remove(d / data / "checker.dds"); }, 0, texture},
        {"truncated texture", [&](const fs::path& d) { Truncate(d / data / "checker.dds"); }, 0, texture},
        {"texture is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "checker.dds"); }, 0, texture},
        {"missing font", [&](const fs::path& d) { fs::remove(d / data / "bankgothic.vft"); }, 0, font},
        {"truncated font", [&](const fs::path& d) { Truncate(d / data / "bankgothic.vft"); }, 0, "is too short"},
        {"font is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "bankgothic.vft"); }, 0, font},
        {"missing particles", [&](const fs::path& d) { fs::remove(d / data / "cavern.pfd"); }, 0, particles},
        {"truncated particles", [&](const fs::path& d) { CutLastLine(d / data / "cavern.pfd"); }, 0,
         "[SFX-Load] PS : incomplete operator line"},
        {"particles is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "cavern.pfd"); }, 0, particles},
        {"missing flare", [&](const fs::path& d) { fs::remove(d / data / "cavern.lfd"); }, 0, flare},
        {"truncated flare", [&](const fs::path& d) { CutLastLine(d / data / "cavern.lfd"); }, 0,
         "[SFX] - Incomplete flare element"},
        {"flare is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "cavern.lfd"); }, 0, flare},
        {"missing soundtrack", [&](const fs::path& d) { fs::remove(d / data / "music.mp3"); }, 0,
         "[Music] Cannot play the soundtrack \"data/music.mp3\""},
        {"truncated soundtrack", [&](const fs::path& d) { Truncate(d / data / "music.mp3"); }, 0,
         "[Music] The soundtrack \"data/music.mp3\" "},
        {"soundtrack is a directory", [&](const fs::path& d) { MakeDirectory(d / data / "music.mp3"); }, 0,
         "[Music] Cannot play the soundtrack \"data/music.mp3\" : it is a directory"},
        {"pack with a broken directory",
         [&](const fs::path& d) {
             const std::string pack = std::string(VELMOOR_BUILD_DIR) + "/tools/zkpack/zkpack create " +
                                      (d / "velmoor.zkp").string() + " " + (d / data).string() + " >/dev/null";
             ASSERT_EQ(std::system(pack.c_str()), 0);
             for (const auto& entry : fs::directory_iterator(d / data))
                 if (entry.path().extension() != ".mp3") fs::remove(entry.path());
             std::fstream f(d / "velmoor.zkp", std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(-4, std::ios::end);
             f.write("\xF0\xFF\xFF\x7F", 4);  // the directory's offset, far outside the file
         },
         1, "[ZKP] Error : Broken Pack File", "--pack RUN/velmoor.zkp"},
        {"video into a missing folder", [](const fs::path&) {}, 1, "/missing\" does not exist",
         "--video RUN/missing/show.mp4"},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_ / "run");
        fs::copy(original, dir_ / "run", fs::copy_options::recursive);
        c.damage(dir_ / "run");
        std::string arguments = c.arguments;
        if (const size_t at = arguments.find("RUN"); at != std::string::npos)
            arguments.replace(at, 3, (dir_ / "run").string());
        const RunResult run =
            Velmoor("--data " + (dir_ / "run").string() + " --benchmark --fixed-fps 30 -v " + arguments);
        const std::string tail = run.err.substr(run.err.size() > 2000 ? run.err.size() - 2000 : 0);
        EXPECT_EQ(run.exitCode, c.exitCode) << tail;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << tail;
    }
}

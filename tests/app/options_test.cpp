#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {
bool Parse(std::vector<const char*> args, RunOptions* o, std::string* error) {
    args.insert(args.begin(), "velmoor");
    return ParseOptions(int(args.size()), args.data(), o, error);
}
}  // namespace

TEST(Options, ParsesEveryRunMode) {
    RunOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--data", "out", "--fullscreen", "--software", "--fixed-fps", "30", "--capture", "frames",
                       "--log", "run.log", "-v", "--start-scene", "4", "--pack", "demo.zkp", "--resolution", "1280x960",
                       "--msaa", "4", "--from", "1.5", "--to", "3"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.dataDir, "out");
    EXPECT_EQ(o.fullscreen, 1);
    EXPECT_TRUE(o.software);
    EXPECT_EQ(o.fixedFps, 30);
    EXPECT_EQ(o.captureDir, "frames");
    EXPECT_EQ(o.logFile, "run.log");
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.startScene, 4);
    EXPECT_EQ(o.pack, "demo.zkp");
    EXPECT_EQ(o.resolution.width, 1280);
    EXPECT_EQ(o.resolution.height, 960);
    EXPECT_FALSE(o.resolution.native);
    EXPECT_EQ(o.resolution.samples, 4);
    EXPECT_EQ(o.from, 1.5f);
    EXPECT_EQ(o.to, 3.0f);
    EXPECT_EQ(o.seek, -1.0f);
    RunOptions w;
    ASSERT_TRUE(
        Parse({"--windowed", "--headless", "--benchmark", "--msaa", "8", "--resolution", "native", "--seek", "0"}, &w,
              &error));
    EXPECT_EQ(w.seek, 0.0f);
    EXPECT_EQ(w.fullscreen, 0);
    EXPECT_TRUE(w.headless);
    EXPECT_TRUE(w.benchmark);
    EXPECT_TRUE(w.resolution.native);
    EXPECT_EQ(w.resolution.samples, 8);  // the size given after the samples keeps them
    RunOptions v;
    ASSERT_TRUE(Parse({"--video", "show.webm", "--video-crf", "40"}, &v, &error)) << error;
    EXPECT_EQ(v.videoFile, "show.webm");
    EXPECT_EQ(v.videoCrf, 40);
    // The defaults keep the logical size and one sample.
    RunOptions d;
    ASSERT_TRUE(Parse({}, &d, &error));
    EXPECT_EQ(d.resolution.width, 0);
    EXPECT_FALSE(d.resolution.native);
    EXPECT_EQ(d.resolution.samples, 1);
}

TEST(Options, RejectsBadCommandLinesWithAReason) {
    RunOptions o;
    std::string error;
    EXPECT_FALSE(Parse({"--fixed-fps"}, &o, &error));
    EXPECT_EQ(error, "--fixed-fps needs a frame rate");
    EXPECT_FALSE(Parse({"--fixed-fps", "0"}, &o, &error));
    EXPECT_FALSE(Parse({"--fixed-fps", "12x"}, &o, &error));
    EXPECT_FALSE(Parse({"--start-scene", "10"}, &o, &error));
    EXPECT_FALSE(Parse({"--data"}, &o, &error));
    EXPECT_FALSE(Parse({"--resolution", "1280by960"}, &o, &error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_FALSE(Parse({"--msaa", "3"}, &o, &error));
    EXPECT_EQ(error, "--msaa needs 1, 2, 4 or 8 samples, not \"3\"");
    EXPECT_FALSE(Parse({"--msaa", "16"}, &o, &error));
    // Times are seconds of 0 or more, --from comes before --to, and only one start is given.
    const std::vector<std::vector<const char*>> badTimes = {
        {"--from", "-1"}, {"--to", "2s"}, {"--seek", "nan"}, {"--from", "3", "--to", "3"}, {"--from", "1", "--seek", "2"}};
    for (const auto& times : badTimes) {
        RunOptions t;
        EXPECT_FALSE(Parse(times, &t, &error)) << times[0] << " " << times[1];
    }
    EXPECT_FALSE(Parse({"--video-crf", "20"}, &o, &error));
    EXPECT_EQ(error, "--video-crf needs --video");
    EXPECT_FALSE(Parse({"--video", "a.mp4", "--video-crf", "64"}, &o, &error));
    EXPECT_FALSE(Parse({"--video", "a.mp4", "--capture", "frames"}, &o, &error));
    EXPECT_EQ(error, "--capture and --video cannot be used together");
    EXPECT_FALSE(Parse({"--frobnicate"}, &o, &error));
    EXPECT_EQ(error, "unknown option \"--frobnicate\"");
}

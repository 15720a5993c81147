// Decoding a video file back with FFmpeg, for tests of what --video writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct VideoProbe {
    int frames = 0;                   // decoded pictures
    int width = 0, height = 0;
    double fps = 0;                   // the stream's frame rate
    double firstFrameSeconds = -1;    // the first picture's time stamp
    double videoSeconds = 0;          // the last picture's time stamp plus one frame
    int audioRate = 0, audioChannels = 0;
    double audioSeconds = 0;          // decoded samples / rate (0 without audio)
    double audioStartSeconds = -1;    // the first decoded samples' time stamp
    std::map<int, std::vector<uint8_t>> pictures;  // the pictures asked for, as 8-bit RGB
};

// Decodes every picture and sample of the file, keeping the pictures numbered
// in keep (from 0); false with the reason in *error.
bool ProbeVideo(const std::string& path, VideoProbe* probe, std::string* error, const std::vector<int>& keep = {0});

// Mean absolute difference per channel between two RGB pictures of one size.
double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace testing_support

// Encoding rendered frames and their soundtrack straight into a video file with
// FFmpeg's libraries: H.264 and AAC in .mp4 or .mkv, VP9 and Opus in .webm.
//
// Frames are converted to YUV 4:2:0 and encoded on a worker thread. AddFrame and
// AddAudio put a copy of their data on a queue that holds a few frames, so the
// caller waits only when the encoder falls that far behind. Frame i is stamped
// i / fps seconds; audio is 44.1 kHz 16-bit stereo, stamped by the samples given
// before it, from time 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Whether a video can be written to path: a known extension (.mp4, .mkv,
// .webm) and an existing directory; false with a one-line reason in *error.
bool CheckVideoPath(const std::string& path, std::string* error);

class VideoEncoder {
public:
    static constexpr int kAudioRate = 44100;
    static constexpr int kQueueFrames = 8;  // frames waiting before AddFrame blocks

    VideoEncoder();
    // Without Finish: stops the worker, frees everything and removes the
    // incomplete file.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Creates the file and its streams: width x height pictures at fps (an odd
    // last column or row is left out, as 4:2:0 needs even sizes), crf the
    // constant quality (lower is better; negative: 20 for H.264, 32 for VP9),
    // and an audio stream when withAudio. False with the reason in *error.
    bool Open(const std::string& path, int width, int height, int fps, int crf, bool withAudio, std::string* error);
    // One frame of width x height ARGB pixels (0xAARRGGBB), top row first.
    // False once encoding has failed (Finish tells why).
    bool AddFrame(std::vector<uint32_t> argb);
    // The next `frames` interleaved stereo samples; nullptr adds silence.
    bool AddAudio(const int16_t* samples, size_t frames);
    // Encodes what is queued, flushes the encoders and writes the file's index.
    // False with the reason in *error when anything failed since Open.
    bool Finish(std::string* error);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform

#include "tests/support/video_probe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace testing_support {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct Decoder {
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    ~Decoder() { avcodec_free_context(&codec); }
    bool Open(AVStream* s, std::string* error) {
        stream = s;
        const AVCodec* c = avcodec_find_decoder(s->codecpar->codec_id);
        codec = avcodec_alloc_context3(c);
        int result = c && codec ? avcodec_parameters_to_context(codec, s->codecpar) : AVERROR_DECODER_NOT_FOUND;
        if (result >= 0) result = avcodec_open2(codec, c, nullptr);
        if (result < 0) *error = "cannot open a decoder: " + AvError(result);
        return result >= 0;
    }
};

}  // namespace

bool ProbeVideo(const std::string& path, VideoProbe* probe, std::string* error, const std::vector<int>& keep) {
    AVFormatContext* format = nullptr;
    int result = avformat_open_input(&format, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        *error = "cannot open " + path + ": " + AvError(result);
        return false;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> closer(format,
                                                                        [](AVFormatContext* f) { avformat_close_input(&f); });
    if ((result = avformat_find_stream_info(format, nullptr)) < 0) {
        *error = "cannot read " + path + ": " + AvError(result);
        return false;
    }
    Decoder video, audio;
    const int v = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int a = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (v < 0) {
        *error = path + " holds no video";
        return false;
    }
    if (!video.Open(format->streams[v], error) || (a >= 0 && !audio.Open(format->streams[a], error))) return false;
    probe->fps = av_q2d(format->streams[v]->avg_frame_rate);
    int64_t audioSamples = 0;
    double lastFrame = 0;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    // Takes every frame the decoder has ready.
    const auto drain = [&](Decoder& d) {
        while (avcodec_receive_frame(d.codec, frame) >= 0) {
            if (&d == &audio) {
                if (audioSamples == 0)
                    probe->audioStartSeconds = double(frame->best_effort_timestamp) * av_q2d(d.stream->time_base);
                audioSamples += frame->nb_samples;
                probe->audioRate = frame->sample_rate;
                probe->audioChannels = frame->ch_layout.nb_channels;
                continue;
            }
            const double t = double(frame->best_effort_timestamp) * av_q2d(d.stream->time_base);
            if (probe->frames == 0) {
                probe->firstFrameSeconds = t;
                probe->width = frame->width;
                probe->height = frame->height;
            }
            if (std::find(keep.begin(), keep.end(), probe->frames) != keep.end()) {
                std::vector<uint8_t>& rgb = probe->pictures[probe->frames];
                rgb.resize(size_t(frame->width) * size_t(frame->height) * 3);
                SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                                 frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
                uint8_t* out[1] = {rgb.data()};
                const int stride[1] = {frame->width * 3};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, out, stride);
                sws_freeContext(sws);
            }
            ++probe->frames;
            lastFrame = std::max(lastFrame, t);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        Decoder* d = packet->stream_index == v ? &video : packet->stream_index == a ? &audio : nullptr;
        if (d && avcodec_send_packet(d->codec, packet) >= 0) drain(*d);
        av_packet_unref(packet);
    }
    for (Decoder* d : {&video, &audio})
        if (d->codec && avcodec_send_packet(d->codec, nullptr) >= 0) drain(*d);
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (probe->fps > 0) probe->videoSeconds = lastFrame + 1.0 / probe->fps;
    if (probe->audioRate > 0) probe->audioSeconds = double(audioSamples) / probe->audioRate;
    return true;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 255;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

}  // namespace testing_support

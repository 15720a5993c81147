#include "platform/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {

namespace {

struct Container {
    const char* extension;
    const char* format;  // libavformat's muxer
    const char* video;   // encoders
    const char* audio;
    int defaultCrf;
    int maxCrf;
};

constexpr Container kContainers[] = {
    {".mp4", "mp4", "libx264", "aac", 20, 51},
    {".mkv", "matroska", "libx264", "aac", 20, 51},
    {".webm", "webm", "libvpx-vp9", "libopus", 32, 63},
};

const Container* ContainerFor(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    std::string extension = path.substr(dot);
    for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const Container& c : kContainers)
        if (extension == c.extension) return &c;
    return nullptr;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

struct Item {
    std::vector<uint32_t> picture;  // a frame, or
    std::vector<int16_t> samples;   // interleaved stereo samples
    bool video = false;
};

// One encoder and its stream, with the frame it fills.
struct Stream {
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    int64_t next = 0;  // the next frame's pts in the codec's time base
    ~Stream() {
        av_frame_free(&frame);
        avcodec_free_context(&codec);
    }
};

}  // namespace

bool CheckVideoPath(const std::string& path, std::string* error) {
    if (!ContainerFor(path))
        return Fail(error, "cannot write the video \"" + path + "\": the name must end in .mp4, .mkv or .webm");
    const size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    if (stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(error, "cannot write the video \"" + path + "\": the folder \"" + directory + "\" does not exist");
    return true;
}

struct VideoEncoder::Impl {
    std::string path;
    int width = 0, height = 0;
    AVFormatContext* format = nullptr;
    bool fileOpen = false;
    Stream video, audio;
    bool withAudio = false;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;  // resampled audio waiting for a whole encoder frame
    AVPacket* packet = nullptr;

    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    int queuedFrames = 0;
    bool closing = false;  // no more items come: the worker ends once the queue is empty
    bool failed = false;
    std::string error;     // the first failure
    bool finished = false;

    ~Impl() {
        StopWorker();
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
        av_packet_free(&packet);
        if (format) {
            if (fileOpen) avio_closep(&format->pb);
            avformat_free_context(format);
        }
        if (fileOpen && !finished) std::remove(path.c_str());
    }

    void StopWorker() {
        {
            std::lock_guard lock(mutex);
            closing = true;
        }
        changed.notify_all();
        if (worker.joinable()) worker.join();
    }

    // Records the first failure (worker side).
    void SetFailed(std::string why) {
        std::lock_guard lock(mutex);
        if (!failed) error = std::move(why);
        failed = true;
        changed.notify_all();
    }

    bool AddStream(Stream* s, const AVCodec* codec, std::string* why) {
        s->stream = avformat_new_stream(format, nullptr);
        s->codec = avcodec_alloc_context3(codec);
        s->frame = av_frame_alloc();
        if (!s->stream || !s->codec || !s->frame) return Fail(why, "out of memory");
        if (format->oformat->flags & AVFMT_GLOBALHEADER) s->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        return true;
    }

    bool OpenStream(Stream* s, AVDictionary** options, const char* what, std::string* why) {
        int result = avcodec_open2(s->codec, s->codec->codec, options);
        if (result >= 0) result = avcodec_parameters_from_context(s->stream->codecpar, s->codec);
        if (result < 0) return Fail(why, std::string("cannot open the ") + what + " encoder: " + AvError(result));
        s->stream->time_base = s->codec->time_base;
        return true;
    }

    // Sends a frame (nullptr: flush) and writes every packet that comes out.
    bool Encode(Stream& s, AVFrame* frame, const char* what) {
        int result = avcodec_send_frame(s.codec, frame);
        while (result >= 0) {
            result = avcodec_receive_packet(s.codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) break;
            if (packet->duration == 0 && &s == &video) packet->duration = 1;
            av_packet_rescale_ts(packet, s.codec->time_base, s.stream->time_base);
            packet->stream_index = s.stream->index;
            result = av_interleaved_write_frame(format, packet);
            if (result < 0) {
                SetFailed("cannot write the video \"" + path + "\": " + AvError(result));
                return false;
            }
        }
        SetFailed(std::string("cannot encode ") + what + ": " + AvError(result));
        return false;
    }

    bool EncodePicture(const std::vector<uint32_t>& argb) {
        int result = av_frame_make_writable(video.frame);
        if (result < 0) {
            SetFailed("cannot encode a frame: " + AvError(result));
            return false;
        }
        const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(argb.data())};
        const int stride[1] = {width * 4};
        sws_scale(scaler, source, stride, 0, video.codec->height, video.frame->data, video.frame->linesize);
        video.frame->pts = video.next++;
        return Encode(video, video.frame, "a frame");
    }

    // Encodes whole encoder frames from the FIFO; with flush, the rest too.
    bool EncodeAudio(bool flush) {
        const int size = audio.codec->frame_size > 0 ? audio.codec->frame_size : 1024;
        while (av_audio_fifo_size(fifo) >= size || (flush && av_audio_fifo_size(fifo) > 0)) {
            AVFrame* f = audio.frame;
            av_frame_unref(f);
            f->nb_samples = std::min(size, av_audio_fifo_size(fifo));
            f->format = audio.codec->sample_fmt;
            f->sample_rate = audio.codec->sample_rate;
            int result = av_channel_layout_copy(&f->ch_layout, &audio.codec->ch_layout);
            if (result >= 0) result = av_frame_get_buffer(f, 0);
            if (result >= 0 && av_audio_fifo_read(fifo, reinterpret_cast<void**>(f->data), f->nb_samples) < 0)
                result = AVERROR(EIO);
            if (result < 0) {
                SetFailed("cannot encode the soundtrack: " + AvError(result));
                return false;
            }
            f->pts = audio.next;
            audio.next += f->nb_samples;
            if (!Encode(audio, f, "the soundtrack")) return false;
        }
        return true;
    }

    // Resamples interleaved 16-bit stereo at 44.1 kHz (nullptr, 0: what the
    // resampler still holds) into the FIFO, then encodes what fills frames.
    bool AddSamples(const int16_t* samples, int frames) {
        const int room = swr_get_out_samples(resampler, frames);
        if (room <= 0) return true;
        uint8_t** out = nullptr;
        int result = av_samples_alloc_array_and_samples(&out, nullptr, audio.codec->ch_layout.nb_channels, room,
                                                        audio.codec->sample_fmt, 0);
        if (result >= 0) {
            const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
            result = swr_convert(resampler, out, room, samples ? in : nullptr, frames);
            if (result > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(out), result) < result)
                result = AVERROR(ENOMEM);
        }
        if (out) av_freep(&out[0]);
        av_freep(&out);
        if (result < 0) {
            SetFailed("cannot resample the soundtrack: " + AvError(result));
            return false;
        }
        return EncodeAudio(false);
    }

    void Run() {
        for (;;) {
            Item item;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !queue.empty() || closing; });
                if (queue.empty() || failed) return;
                item = std::move(queue.front());
                queue.pop_front();
                if (item.video) --queuedFrames;
            }
            changed.notify_all();
            if (item.video ? !EncodePicture(item.picture)
                           : !AddSamples(item.samples.data(), int(item.samples.size() / 2)))
                return;
        }
    }

    bool Push(Item item) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return queuedFrames < kQueueFrames || failed; });
        if (failed || closing) return false;
        queuedFrames += item.video;
        queue.push_back(std::move(item));
        lock.unlock();
        changed.notify_all();
        return true;
    }
};

VideoEncoder::VideoEncoder() : impl_(std::make_unique<Impl>()) {}
VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::Open(const std::string& path, int width, int height, int fps, int crf, bool withAudio,
                        std::string* error) {
    Impl& m = *impl_;
    const std::string prefix = "cannot write the video \"" + path + "\": ";
    if (m.format) return Fail(error, prefix + "the encoder is already open");
    const Container* container = ContainerFor(path);
    if (!container) return Fail(error, prefix + "the name must end in .mp4, .mkv or .webm");
    if (width < 2 || height < 2 || fps < 1) return Fail(error, prefix + "no picture size or frame rate");
    if (crf > container->maxCrf)
        return Fail(error, prefix + "the quality for " + container->video + " goes from 0 to " +
                               std::to_string(container->maxCrf));
    m.path = path;
    m.width = width;
    m.height = height;
    m.withAudio = withAudio;

    // FFmpeg's own notes (the encoders' settings and statistics) would fill the
    // terminal; its errors still show, and every failure comes back in *error.
    av_log_set_level(AV_LOG_ERROR);
    int result = avformat_alloc_output_context2(&m.format, nullptr, container->format, path.c_str());
    if (result < 0) return Fail(error, prefix + AvError(result));
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(container->video);
    const AVCodec* audioCodec = withAudio ? avcodec_find_encoder_by_name(container->audio) : nullptr;
    if (!videoCodec || (withAudio && !audioCodec))
        return Fail(error, prefix + "FFmpeg has no " + (videoCodec ? container->audio : container->video) + " encoder");
    m.packet = av_packet_alloc();
    if (!m.packet) return Fail(error, prefix + "out of memory");

    // Video: 4:2:0 wants even sizes; an odd last column or row is left out.
    std::string why;
    if (!m.AddStream(&m.video, videoCodec, &why)) return Fail(error, prefix + why);
    AVCodecContext* v = m.video.codec;
    v->width = width & ~1;
    v->height = height & ~1;
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->time_base = AVRational{1, fps};
    v->framerate = AVRational{fps, 1};
    v->gop_size = fps * 2;
    v->thread_count = 0;
    // What libswscale converts to by default: BT.601, limited range.
    v->colorspace = AVCOL_SPC_SMPTE170M;
    v->color_range = AVCOL_RANGE_MPEG;
    m.video.stream->avg_frame_rate = v->framerate;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "crf", crf >= 0 ? crf : container->defaultCrf, 0);
    if (videoCodec->id == AV_CODEC_ID_VP9) {
        // Constant quality needs the bit rate unbounded; "good" with speed 4 is
        // several times faster than the default at a small cost in size.
        v->bit_rate = 0;
        av_dict_set(&options, "deadline", "good", 0);
        av_dict_set(&options, "cpu-used", "4", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    }
    const bool opened = m.OpenStream(&m.video, &options, container->video, &why);
    av_dict_free(&options);
    if (!opened) return Fail(error, prefix + why);
    m.video.frame->format = v->pix_fmt;
    m.video.frame->width = v->width;
    m.video.frame->height = v->height;
    result = av_frame_get_buffer(m.video.frame, 0);
    if (result < 0) return Fail(error, prefix + AvError(result));
    m.scaler = sws_getContext(v->width, v->height, AV_PIX_FMT_RGB32, v->width, v->height, v->pix_fmt, SWS_BILINEAR,
                              nullptr, nullptr, nullptr);
    if (!m.scaler) return Fail(error, prefix + "no conversion from ARGB to YUV 4:2:0");

    if (withAudio) {
        if (!m.AddStream(&m.audio, audioCodec, &why)) return Fail(error, prefix + why);
        AVCodecContext* a = m.audio.codec;
        // The encoder's own rate nearest above 44.1 kHz (Opus: 48 kHz) and its
        // first sample format (AAC: planar float).
        a->sample_rate = kAudioRate;
        if (audioCodec->supported_samplerates) {
            a->sample_rate = audioCodec->supported_samplerates[0];
            for (const int* r = audioCodec->supported_samplerates; *r; ++r)
                if (*r == kAudioRate || (*r > kAudioRate && (a->sample_rate < kAudioRate || *r < a->sample_rate)))
                    a->sample_rate = *r;
        }
        a->sample_fmt = audioCodec->sample_fmts ? audioCodec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        a->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        a->bit_rate = 192000;
        a->time_base = AVRational{1, a->sample_rate};
        if (!m.OpenStream(&m.audio, nullptr, container->audio, &why)) return Fail(error, prefix + why);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        result = swr_alloc_set_opts2(&m.resampler, &a->ch_layout, a->sample_fmt, a->sample_rate, &stereo,
                                     AV_SAMPLE_FMT_S16, kAudioRate, 0, nullptr);
        if (result >= 0) result = swr_init(m.resampler);
        if (result < 0) return Fail(error, prefix + "no conversion to the soundtrack's format: " + AvError(result));
        m.fifo = av_audio_fifo_alloc(a->sample_fmt, a->ch_layout.nb_channels, a->sample_rate);
        if (!m.fifo) return Fail(error, prefix + "out of memory");
    }

    result = avio_open(&m.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) return Fail(error, prefix + AvError(result));
    m.fileOpen = true;
    result = avformat_write_header(m.format, nullptr);
    if (result < 0) return Fail(error, prefix + AvError(result));
    m.worker = std::thread([&m] { m.Run(); });
    return true;
}

bool VideoEncoder::AddFrame(std::vector<uint32_t> argb) {
    Impl& m = *impl_;
    if (!m.worker.joinable() || argb.size() != size_t(m.width) * size_t(m.height)) {
        std::lock_guard lock(m.mutex);
        if (!m.failed) m.error = "a frame of the wrong size for the video \"" + m.path + "\"";
        m.failed = true;
        return false;
    }
    Item item;
    item.video = true;
    item.picture = std::move(argb);
    return m.Push(std::move(item));
}

bool VideoEncoder::AddAudio(const int16_t* samples, size_t frames) {
    Impl& m = *impl_;
    if (!m.withAudio || !m.worker.joinable()) return false;
    if (frames == 0) return true;
    Item item;
    item.samples = samples ? std::vector<int16_t>(samples, samples + frames * 2) : std::vector<int16_t>(frames * 2, 0);
    return m.Push(std::move(item));
}

bool VideoEncoder::Finish(std::string* error) {
    Impl& m = *impl_;
    if (!m.worker.joinable()) return Fail(error, "cannot finish the video \"" + m.path + "\": it is not open");
    m.StopWorker();  // encodes everything queued
    if (m.failed) return Fail(error, m.error);
    if (!m.Encode(m.video, nullptr, "the last frames")) return Fail(error, m.error);
    if (m.withAudio && (!m.AddSamples(nullptr, 0) || !m.EncodeAudio(true) || !m.Encode(m.audio, nullptr, "the soundtrack")))
        return Fail(error, m.error);
    int result = av_write_trailer(m.format);
    if (result >= 0) result = avio_closep(&m.format->pb);
    m.fileOpen = result >= 0 ? false : m.fileOpen;
    if (result < 0) return Fail(error, "cannot write the video \"" + m.path + "\": " + AvError(result));
    m.finished = true;
    return true;
}

}  // namespace platform

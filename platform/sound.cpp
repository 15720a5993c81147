#include "platform/sound.h"

#include <SDL.h>
#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/report.h"

namespace platform {

namespace {

constexpr int kChannels = 2;
constexpr size_t kFrameBytes = kChannels * sizeof(int16_t);

std::once_flag g_mpg123Once;
void InitDecoderLibrary() {
    std::call_once(g_mpg123Once, [] { mpg123_init(); });
}

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// Why a soundtrack cannot be read at all (empty when it can be opened). A
// directory or a pipe is refused before the decoder would block or misread it.
std::string UnreadableReason(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return std::strerror(errno);
    std::fclose(file);
    return {};
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// An MPEG audio file decoded at its own rate and channel count and converted to
// 16-bit stereo at the mixing rate. Exactly length() frames come out (the
// decoded length at the mixing rate), padded with silence should the converter
// give fewer.
class Soundtrack {
public:
    Soundtrack() = default;
    Soundtrack(const Soundtrack&) = delete;
    Soundtrack& operator=(const Soundtrack&) = delete;
    ~Soundtrack() {
        if (convert_) SDL_FreeAudioStream(convert_);
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }

    // false with the reason in *why when the file cannot be opened or holds no
    // audio. *shortfall says how the audio ends early, empty when it does not.
    bool Open(const char* path, int mixRate, std::string* why, std::string* shortfall) {
        InitDecoderLibrary();
        mixRate_ = mixRate;
        if (std::string reason = UnreadableReason(path); !reason.empty()) return Fail(why, reason);
        int err = MPG123_OK;
        handle_ = mpg123_new(nullptr, &err);
        if (!handle_) return Fail(why, mpg123_plain_strerror(err));
        // Added to the defaults, so gapless decoding (the encoder's delay and
        // padding left out) stays on.
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        // Any rate and channel count, as 16-bit samples: SDL converts from there.
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_open(handle_, path) != MPG123_OK) return Fail(why, mpg123_strerror(handle_));
        int encoding = 0;
        if (mpg123_getformat(handle_, &rate_, &channels_, &encoding) != MPG123_OK || rate_ <= 0 ||
            (channels_ != 1 && channels_ != 2) || encoding != MPG123_ENC_SIGNED_16)
            return Fail(why, "it is not MPEG audio");
        // The whole file comes out in the first frame's format; mpg123 converts
        // later frames that differ where it can.
        mpg123_format_none(handle_);
        mpg123_format(handle_, rate_, channels_ == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);

        // A LAME or Xing tag announces the length; counting the frames gives
        // what is really there.
        long encoderDelay = -1;
        double unused = 0;
        const bool announced = mpg123_getstate(handle_, MPG123_ENC_DELAY, &encoderDelay, &unused) == MPG123_OK &&
                               encoderDelay >= 0;
        const off_t announcedLength = mpg123_length(handle_);
        mpg123_scan(handle_);
        const int scanError = mpg123_errcode(handle_);
        const off_t decoded = mpg123_length(handle_);
        if (decoded <= 0) return Fail(why, "it holds no audio");
        if (mpg123_seek(handle_, 0, SEEK_SET) < 0) return Fail(why, mpg123_strerror(handle_));
        const double seconds = double(decoded) / double(rate_);
        if (announced && announcedLength > decoded)
            *shortfall = "ends after " + Seconds(seconds) + " of the " + Seconds(double(announcedLength) / double(rate_)) +
                         " its header announces: the file is cut short";
        else if (scanError != MPG123_OK && scanError != MPG123_ERR_READER)  // the reader's error is the end of the file
            *shortfall = "ends after " + Seconds(seconds) + " : " + mpg123_plain_strerror(scanError);

        length_ = (uint64_t(decoded) * uint64_t(mixRate) + uint64_t(rate_) / 2) / uint64_t(rate_);
        convert_ = SDL_NewAudioStream(AUDIO_S16SYS, uint8_t(channels_), int(rate_), AUDIO_S16SYS, kChannels, mixRate);
        if (!convert_) return Fail(why, std::string("no conversion to the mixing format: ") + SDL_GetError());
        return true;
    }

    uint64_t length() const { return length_; }

    // Converted frames into out (whole frames only); returns the bytes written,
    // 0 at the end.
    size_t Read(unsigned char* out, size_t bytes) {
        const uint64_t left = length_ - std::min(produced_, length_);
        bytes = size_t(std::min<uint64_t>(bytes / kFrameBytes, left)) * kFrameBytes;
        size_t done = 0;
        while (done < bytes) {
            const int got = SDL_AudioStreamGet(convert_, out + done, int(std::min<size_t>(bytes - done, 1 << 20)));
            if (got > 0) {
                done += size_t(got);
            } else if (drained_) {
                std::memset(out + done, 0, bytes - done);
                done = bytes;
            } else {
                Decode();
            }
        }
        produced_ += done / kFrameBytes;
        return done;
    }

    // Moves to a frame at the mixing rate.
    void Seek(uint64_t frame) {
        SDL_AudioStreamClear(convert_);
        produced_ = std::min(frame, length_);
        const uint64_t source = frame * uint64_t(rate_) / uint64_t(mixRate_);
        // A failed seek plays silence to the end rather than the wrong music.
        drained_ = frame >= length_ || mpg123_seek(handle_, off_t(source), SEEK_SET) < 0;
    }

private:
    // Feeds the converter one buffer of decoded samples; at the end of the
    // audio (or an error) flushes it and marks the decoder drained.
    void Decode() {
        unsigned char pcm[16384];
        size_t got = 0;
        int result = mpg123_read(handle_, pcm, sizeof pcm, &got);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle_, &rate, &channels, &encoding);
            const bool same = rate == rate_ && channels == channels_ && encoding == MPG123_ENC_SIGNED_16;
            // A notice of the same format (as after opening) is no end.
            if (same && got == 0) return;
            result = same ? MPG123_OK : MPG123_ERR;
        }
        if (got > 0 && SDL_AudioStreamPut(convert_, pcm, int(got)) != 0) result = MPG123_ERR;
        if (result != MPG123_OK || got == 0) {
            // The resampler holds back the last samples for want of what follows;
            // a tenth of a second of silence pushes them out (Read stops at the length).
            const std::vector<unsigned char> silence(size_t(rate_ / 10 + 1) * size_t(channels_) * sizeof(int16_t), 0);
            SDL_AudioStreamPut(convert_, silence.data(), int(silence.size()));
            SDL_AudioStreamFlush(convert_);
            drained_ = true;
        }
    }

    mpg123_handle* handle_ = nullptr;
    SDL_AudioStream* convert_ = nullptr;
    long rate_ = 0;
    int channels_ = 0;
    int mixRate_ = 0;
    uint64_t length_ = 0;    // frames at the mixing rate
    uint64_t produced_ = 0;  // frames handed out so far
    bool drained_ = false;   // the decoder has given all it will
};

uint64_t Now() { return SDL_GetPerformanceCounter(); }
double SecondsBetween(uint64_t a, uint64_t b) { return double(b - a) / double(SDL_GetPerformanceFrequency()); }

}  // namespace

// ---------------------------------------------------------------- sound system

std::unique_ptr<SoundSystem> SoundSystem::Open(int mixRate, ClockKind kind) {
    if (kind == ClockKind::Virtual) return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, kind, "none"));
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        // Probe the default device once; a machine without a sound card fails here.
        SDL_AudioSpec want{};
        want.freq = mixRate;
        want.format = AUDIO_S16SYS;
        want.channels = kChannels;
        want.samples = 1024;
        const SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (probe != 0) {
            SDL_CloseAudioDevice(probe);
            const char* driver = SDL_GetCurrentAudioDriver();
            return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, kind, driver ? driver : "unknown"));
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // No usable device: the dummy driver consumes samples in real time, so the
    // clock runs as it would with sound.
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    // Not even that: streams find no device and run on the system clock instead.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, kind, "none"));
    return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, kind, "dummy"));
}

SoundSystem::~SoundSystem() {
    if (kind_ == ClockKind::Device && driver_ != "none") SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// ---------------------------------------------------------------- stream

struct MusicStream::Impl {
    ClockKind kind;
    int rate;
    std::unique_ptr<Soundtrack> track;  // none: a silent stream
    uint64_t length = 0;                // samples per channel
    SDL_AudioDeviceID device = 0;       // none with a device clock: the system clock runs it
    bool playing = false;
    bool paused = false;

    // Device clock, written by the audio callback under the device lock:
    // the samples delivered before the chunk now playing, that chunk's length
    // and when it was handed over. Past the end of the music the device plays
    // silence and the clock counts it. Without a device, chunkStamp is when the
    // system clock last took over from the held position.
    std::atomic<uint64_t> chunkStart{0};
    std::atomic<uint64_t> chunkFrames{0};
    std::atomic<uint64_t> chunkStamp{0};
    std::atomic<uint64_t> delivered{0};
    uint64_t frozen = 0;  // position held while paused or stopped

    // Virtual clock.
    uint64_t virtualPosition = 0;

    static void Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<Impl*>(user);
        const size_t got = self->track ? self->track->Read(stream, size_t(len)) : 0;
        if (got < size_t(len)) std::memset(stream + got, 0, size_t(len) - got);
        const uint64_t frames = size_t(len) / kFrameBytes;
        const uint64_t before = self->delivered.load();
        self->chunkStart = before;
        self->chunkFrames = frames;
        self->chunkStamp = Now();
        self->delivered = before + frames;
    }

    uint64_t DevicePosition() const {
        if (!playing || paused) return frozen;
        const uint64_t stamp = chunkStamp.load();
        const double elapsed = std::max(0.0, SecondsBetween(stamp, Now()));
        if (!device) return frozen + uint64_t(elapsed * rate);
        if (stamp == 0) return frozen;
        const uint64_t start = chunkStart.load(), frames = chunkFrames.load();
        return start + std::min<uint64_t>(uint64_t(elapsed * rate), frames);
    }

    void ResetDeviceClock(uint64_t position) {
        chunkStart = position;
        chunkFrames = 0;
        chunkStamp = Now();
        delivered = position;
        frozen = position;
    }

    static std::unique_ptr<Impl> For(ClockKind clockKind, int mixRate, std::unique_ptr<Soundtrack> track);
};

MusicStream::MusicStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MusicStream::~MusicStream() {
    if (impl_->device) SDL_CloseAudioDevice(impl_->device);
}

std::unique_ptr<MusicStream::Impl> MusicStream::Impl::For(ClockKind clockKind, int mixRate, std::unique_ptr<Soundtrack> track) {
    auto impl = std::make_unique<Impl>();
    impl->kind = clockKind;
    impl->rate = mixRate;
    impl->length = track ? track->length() : 0;
    impl->track = std::move(track);
    return impl;
}

std::unique_ptr<MusicStream> MusicStream::Open(SoundSystem& system, const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    auto track = std::make_unique<Soundtrack>();
    std::string why, shortfall;
    if (!track->Open(fileName, system.mixRate_, &why, &shortfall)) {
        LogError("[Music] Cannot play the soundtrack \"%s\" : %s", fileName, why.c_str());
        return nullptr;
    }
    if (!shortfall.empty()) LogMessage("[Music] The soundtrack \"%s\" %s", fileName, shortfall.c_str());
    auto impl = Impl::For(system.kind_, system.mixRate_, std::move(track));
    if (impl->kind == ClockKind::Device) {
        SDL_AudioSpec want{};
        want.freq = impl->rate;
        want.format = AUDIO_S16SYS;
        want.channels = kChannels;
        want.samples = 1024;
        want.callback = &Impl::Callback;
        want.userdata = impl.get();
        impl->device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (impl->device == 0)
            LogError("[Music] Cannot open the audio device for \"%s\" : %s", fileName, SDL_GetError());
    }
    return std::unique_ptr<MusicStream>(new MusicStream(std::move(impl)));
}

std::unique_ptr<MusicStream> MusicStream::Silent(SoundSystem& system) {
    return std::unique_ptr<MusicStream>(new MusicStream(Impl::For(system.kind_, system.mixRate_, nullptr)));
}

void MusicStream::Play() {
    Impl& s = *impl_;
    if (s.playing) return;
    s.playing = true;
    s.paused = false;
    if (s.kind == ClockKind::Device) s.ResetDeviceClock(s.frozen);
    if (s.device) SDL_PauseAudioDevice(s.device, 0);
}

void MusicStream::SetPaused(bool paused) {
    Impl& s = *impl_;
    if (!s.playing || s.paused == paused) return;
    if (s.kind == ClockKind::Virtual) {
        s.paused = paused;
    } else if (paused) {
        s.frozen = s.DevicePosition();
        s.paused = true;
        if (s.device) SDL_PauseAudioDevice(s.device, 1);
    } else if (!s.device) {
        s.chunkStamp = Now();
        s.paused = false;
    } else {
        SDL_LockAudioDevice(s.device);
        s.paused = false;
        // Continue from the held position; the next buffer request takes over.
        const uint64_t held = s.frozen;
        s.chunkStart = held;
        s.chunkFrames = s.delivered.load() - std::min(s.delivered.load(), held);
        s.chunkStamp = Now();
        SDL_UnlockAudioDevice(s.device);
        SDL_PauseAudioDevice(s.device, 0);
    }
}

void MusicStream::SetPosition(uint32_t milliseconds) {
    Impl& s = *impl_;
    // The clock may stand past the end of the music; the music itself stops there.
    const uint64_t target = uint64_t(milliseconds) * uint64_t(s.rate) / 1000;
    if (s.kind == ClockKind::Virtual) {
        s.virtualPosition = target;
        return;
    }
    if (s.device) SDL_LockAudioDevice(s.device);
    if (s.track) s.track->Seek(target);
    s.ResetDeviceClock(target);
    if (s.device) SDL_UnlockAudioDevice(s.device);
}

uint32_t MusicStream::TimeMs() const {
    const Impl& s = *impl_;
    const uint64_t position = s.kind == ClockKind::Device ? s.DevicePosition() : s.virtualPosition;
    return uint32_t(std::min<uint64_t>(position * 1000 / uint64_t(s.rate), UINT32_MAX));
}

void MusicStream::Advance(uint64_t samples) {
    Impl& s = *impl_;
    if (s.kind == ClockKind::Device || !s.playing || s.paused) return;
    // A virtual clock keeps counting past the stream's end, so a run on a fixed
    // clock always reaches the end of the show even with a short soundtrack.
    s.virtualPosition += samples;
}

uint64_t MusicStream::LengthSamples() const { return impl_->length; }

// ---------------------------------------------------------------- WAV export

bool DecodeToWav(const char* mp3Path, const char* wavPath, int mixRate, uint64_t leadingSilence,
                 std::string* error, uint64_t skipped) {
    Soundtrack track;
    std::string why, shortfall;
    if (!mp3Path || !track.Open(mp3Path, mixRate, &why, &shortfall))
        return Fail(error, std::string("cannot decode \"") + (mp3Path ? mp3Path : "") + "\" : " + why);
    skipped = std::min(skipped, track.length());
    if (skipped > 0) track.Seek(skipped);
    const uint64_t dataBytes = (leadingSilence + track.length() - skipped) * kFrameBytes;
    if (dataBytes > 0xFFFFFFFFu - 36) return Fail(error, std::string("too long for a WAV file: ") + mp3Path);

    std::FILE* out = std::fopen(wavPath, "wb");
    if (!out) return Fail(error, std::string("cannot write ") + wavPath);
    bool ok = true;
    auto put = [&](const void* bytes, size_t size) { ok = ok && std::fwrite(bytes, 1, size, out) == size; };
    auto u32 = [&](uint32_t v) {
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
        put(b, 2);
    };
    put("RIFF", 4);
    u32(uint32_t(36 + dataBytes));
    put("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(kChannels);
    u32(uint32_t(mixRate));
    u32(uint32_t(mixRate) * kFrameBytes);
    u16(kFrameBytes);
    u16(16);
    put("data", 4);
    u32(uint32_t(dataBytes));
    std::vector<unsigned char> chunk(65536, 0);
    for (uint64_t left = leadingSilence * kFrameBytes; left > 0 && ok;) {
        const size_t n = size_t(std::min<uint64_t>(left, chunk.size()));
        put(chunk.data(), n);
        left -= n;
    }
    for (size_t got; ok && (got = track.Read(chunk.data(), chunk.size())) > 0;) put(chunk.data(), got);
    if (std::fclose(out) != 0 || !ok) return Fail(error, std::string("cannot write ") + wavPath);
    return true;
}

bool DecodeToSamples(const char* mp3Path, int mixRate, std::vector<int16_t>* samples, std::string* error) {
    Soundtrack track;
    std::string why, shortfall;
    if (!mp3Path || !track.Open(mp3Path, mixRate, &why, &shortfall))
        return Fail(error, std::string("cannot decode \"") + (mp3Path ? mp3Path : "") + "\" : " + why);
    samples->assign(size_t(track.length()) * kChannels, 0);
    track.Read(reinterpret_cast<unsigned char*>(samples->data()), samples->size() * sizeof(int16_t));
    return true;
}

}  // namespace platform

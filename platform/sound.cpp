#include "platform/sound.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

namespace {

constexpr int kChannels = 2;

std::once_flag g_mpg123Once;
void InitDecoderLibrary() {
    std::call_once(g_mpg123Once, [] { mpg123_init(); });
}

// An mpg123 handle that outputs 16-bit stereo at the given rate.
struct Decoder {
    mpg123_handle* handle = nullptr;
    ~Decoder() {
        if (handle) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
    }
    bool Open(const char* path, int rate) {
        InitDecoderLibrary();
        int err = MPG123_OK;
        handle = mpg123_new(nullptr, &err);
        if (!handle) return false;
        mpg123_param(handle, MPG123_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0.0);
        mpg123_format_none(handle);
        if (mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) return false;
        if (mpg123_open(handle, path) != MPG123_OK) return false;
        long r = 0;
        int channels = 0, encoding = 0;
        // The first frame must decode to the format asked for, or the file is not MPEG audio.
        if (mpg123_getformat(handle, &r, &channels, &encoding) != MPG123_OK) return false;
        return r == rate && channels == kChannels && encoding == MPG123_ENC_SIGNED_16;
    }
    // Decodes into out; returns bytes written, 0 at the end or on an error.
    size_t Read(unsigned char* out, size_t bytes) {
        size_t done = 0;
        while (done < bytes) {
            size_t got = 0;
            const int r = mpg123_read(handle, out + done, bytes - done, &got);
            done += got;
            if (r == MPG123_NEW_FORMAT) continue;
            if (r != MPG123_OK || got == 0) break;
        }
        return done;
    }
    uint64_t Length() {
        mpg123_scan(handle);
        const off_t n = mpg123_length(handle);
        return n > 0 ? uint64_t(n) : 0;
    }
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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, ClockKind::Virtual, "none"));
    }
    return std::unique_ptr<SoundSystem>(new SoundSystem(mixRate, kind, "dummy"));
}

SoundSystem::~SoundSystem() {
    if (kind_ == ClockKind::Device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// ---------------------------------------------------------------- stream

struct MusicStream::Impl {
    ClockKind kind;
    int rate;
    Decoder decoder;
    uint64_t length = 0;  // samples per channel
    SDL_AudioDeviceID device = 0;
    bool playing = false;
    bool paused = false;

    // Device clock, written by the audio callback under the device lock:
    // the samples delivered before the chunk now playing, that chunk's real
    // length (short at the end of the stream) and when it was handed over.
    std::atomic<uint64_t> chunkStart{0};
    std::atomic<uint64_t> chunkFrames{0};
    std::atomic<uint64_t> chunkStamp{0};
    std::atomic<uint64_t> delivered{0};
    uint64_t frozen = 0;  // position held while paused or stopped

    // Virtual clock.
    uint64_t virtualPosition = 0;

    static void Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<Impl*>(user);
        const size_t got = self->decoder.Read(stream, size_t(len));
        if (got < size_t(len)) std::memset(stream + got, 0, size_t(len) - got);
        const uint64_t frames = got / (kChannels * sizeof(int16_t));
        const uint64_t before = self->delivered.load();
        self->chunkStart = before;
        self->chunkFrames = frames;
        self->chunkStamp = Now();
        self->delivered = before + frames;
    }

    uint64_t DevicePosition() const {
        if (!playing || paused) return frozen;
        const uint64_t start = chunkStart.load(), frames = chunkFrames.load(), stamp = chunkStamp.load();
        if (stamp == 0) return frozen;
        const double elapsed = SecondsBetween(stamp, Now());
        const uint64_t into = std::min<uint64_t>(uint64_t(std::max(0.0, elapsed) * rate), frames);
        return start + into;
    }

    void ResetDeviceClock(uint64_t position) {
        chunkStart = position;
        chunkFrames = 0;
        chunkStamp = Now();
        delivered = position;
        frozen = position;
    }
};

MusicStream::MusicStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MusicStream::~MusicStream() {
    if (impl_->device) SDL_CloseAudioDevice(impl_->device);
}

std::unique_ptr<MusicStream> MusicStream::Open(SoundSystem& system, const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->kind = system.kind_;
    impl->rate = system.mixRate_;
    if (!impl->decoder.Open(fileName, impl->rate)) return nullptr;
    impl->length = impl->decoder.Length();
    if (impl->length == 0) return nullptr;
    mpg123_seek(impl->decoder.handle, 0, SEEK_SET);

    if (impl->kind == ClockKind::Device) {
        SDL_AudioSpec want{};
        want.freq = impl->rate;
        want.format = AUDIO_S16SYS;
        want.channels = kChannels;
        want.samples = 1024;
        want.callback = &Impl::Callback;
        want.userdata = impl.get();
        impl->device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (impl->device == 0) return nullptr;
    }
    return std::unique_ptr<MusicStream>(new MusicStream(std::move(impl)));
}

void MusicStream::Play() {
    Impl& s = *impl_;
    if (s.playing) return;
    s.playing = true;
    s.paused = false;
    if (s.device) {
        s.ResetDeviceClock(s.frozen);
        SDL_PauseAudioDevice(s.device, 0);
    }
}

void MusicStream::SetPaused(bool paused) {
    Impl& s = *impl_;
    if (!s.playing || s.paused == paused) return;
    if (s.device) {
        if (paused) {
            s.frozen = s.DevicePosition();
            s.paused = true;
            SDL_PauseAudioDevice(s.device, 1);
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
    } else {
        s.paused = paused;
    }
}

void MusicStream::SetPosition(uint32_t milliseconds) {
    Impl& s = *impl_;
    const uint64_t target = std::min<uint64_t>(uint64_t(milliseconds) * s.rate / 1000, s.length);
    if (s.device) {
        SDL_LockAudioDevice(s.device);
        mpg123_seek(s.decoder.handle, off_t(target), SEEK_SET);
        s.ResetDeviceClock(target);
        SDL_UnlockAudioDevice(s.device);
    } else {
        s.virtualPosition = target;
    }
}

uint32_t MusicStream::TimeMs() const {
    const Impl& s = *impl_;
    if (s.device) return uint32_t(std::min<uint64_t>(s.DevicePosition(), s.length) * 1000 / s.rate);
    return uint32_t(std::min<uint64_t>(s.virtualPosition * 1000 / s.rate, UINT32_MAX));
}

void MusicStream::Advance(uint64_t samples) {
    Impl& s = *impl_;
    if (s.device || !s.playing || s.paused) return;
    // A virtual clock keeps counting past the stream's end, so a run on a fixed
    // clock always reaches the end of the show even with a short soundtrack.
    s.virtualPosition += samples;
}

uint64_t MusicStream::LengthSamples() const { return impl_->length; }

// ---------------------------------------------------------------- WAV export

bool DecodeToWav(const char* mp3Path, const char* wavPath, int mixRate, uint64_t leadingSilence,
                 std::string* error) {
    Decoder decoder;
    if (!decoder.Open(mp3Path, mixRate)) {
        if (error) *error = std::string("cannot decode ") + mp3Path;
        return false;
    }
    std::vector<unsigned char> pcm(size_t(leadingSilence) * kChannels * sizeof(int16_t), 0);
    unsigned char chunk[65536];
    size_t got;
    while ((got = decoder.Read(chunk, sizeof chunk)) > 0) pcm.insert(pcm.end(), chunk, chunk + got);

    std::FILE* out = std::fopen(wavPath, "wb");
    if (!out) {
        if (error) *error = std::string("cannot write ") + wavPath;
        return false;
    }
    auto u32 = [&](uint32_t v) {
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, out);
    };
    auto u16 = [&](uint16_t v) {
        const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, out);
    };
    const uint32_t dataBytes = uint32_t(pcm.size());
    std::fwrite("RIFF", 1, 4, out);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, out);
    u32(16);
    u16(1);  // PCM
    u16(kChannels);
    u32(uint32_t(mixRate));
    u32(uint32_t(mixRate) * kChannels * 2);
    u16(kChannels * 2);
    u16(16);
    std::fwrite("data", 1, 4, out);
    u32(dataBytes);
    const bool ok = std::fwrite(pcm.data(), 1, pcm.size(), out) == pcm.size();
    if (std::fclose(out) != 0 || !ok) {
        if (error) *error = std::string("cannot write ") + wavPath;
        return false;
    }
    return true;
}

}  // namespace platform

#include "engine/files/zk_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/report.h"

namespace ZK3D {

uint32_t zkFile::Available(uint64_t want) const {
    if (position_ >= size_) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(want, size_ - position_));
}

uint32_t zkFile::Seek(int32_t offset, int origin) {
    switch (origin) {
        case 0:
            // A negative offset from the start is read as the unsigned value it is,
            // so it clamps to the size like any other offset past the end.
            position_ = std::min(static_cast<uint32_t>(offset), size_);
            break;
        case 1:
            position_ += static_cast<uint32_t>(offset);
            break;
        case 2:
            position_ = size_ + static_cast<uint32_t>(offset);
            break;
        default:
            break;
    }
    return position_;
}

int32_t zkFile::ReadString(char* buffer, uint32_t maximum) {
    if (maximum == 0) return -1;
    for (uint32_t stored = 0; stored < maximum; ++stored) {
        if (AtEnd()) {
            buffer[stored] = '\0';
            return -1;
        }
        const char c = static_cast<char>(ReadChar());
        buffer[stored] = c;
        if (c == '\0') return static_cast<int32_t>(stored);
    }
    buffer[maximum - 1] = '\0';
    return -1;
}

uint32_t zkFile::ReadLine(char* buffer, uint32_t maximum) {
    if (maximum == 0) return 0;
    uint32_t stored = 0;
    while (stored + 1 < maximum && !AtEnd()) {
        const char c = static_cast<char>(ReadChar());
        if (c == '\r') continue;
        if (c == '\n') break;
        buffer[stored++] = c;
    }
    buffer[stored] = '\0';
    return stored;
}

// ---- disk ----

zkDiskFile::zkDiskFile(std::FILE* stream, uint32_t base, uint32_t size)
    : zkFile(zkDiskFileKind, size), stream_(stream), base_(base) {}

zkDiskFile::~zkDiskFile() {
    if (stream_) std::fclose(stream_);
}

uint32_t zkDiskFile::Read(void* destination, uint32_t elementSize, uint32_t count) {
    const uint32_t n = Available(uint64_t(elementSize) * count);
    std::fseek(stream_, static_cast<long>(base_) + position_, SEEK_SET);
    position_ += n;
    const size_t got = n ? std::fread(destination, 1, n, stream_) : 0;
    // A stream that delivers less than the size promised (a file shrunk under us)
    // leaves the rest of the request defined.
    if (got < n) std::memset(static_cast<uint8_t*>(destination) + got, 0, n - got);
    return elementSize ? n / elementSize : 0;
}

int zkDiskFile::ReadChar() {
    if (AtEnd()) return 0;
    std::fseek(stream_, static_cast<long>(base_) + position_, SEEK_SET);
    ++position_;
    const int c = std::fgetc(stream_);
    return c == EOF ? 0 : c;
}

// ---- memory ----

zkMemoryFile::zkMemoryFile(std::unique_ptr<uint8_t[]> data, uint32_t size)
    : zkFile(zkMemoryFileKind, size), owned_(std::move(data)), data_(owned_.get()) {}

zkMemoryFile::zkMemoryFile(const uint8_t* data, uint32_t size)
    : zkFile(zkMemoryFileKind, size), data_(const_cast<uint8_t*>(data)) {}

uint32_t zkMemoryFile::Read(void* destination, uint32_t elementSize, uint32_t count) {
    const uint32_t n = Available(uint64_t(elementSize) * count);
    if (n) std::memcpy(destination, data_ + position_, n);
    position_ += n;
    return elementSize ? n / elementSize : 0;
}

int zkMemoryFile::ReadChar() {
    if (AtEnd()) return 0;
    return data_[position_++];
}

// ---- lookup ----

std::unique_ptr<zkFile> zkOpenDiskFile(const char* name) {
    // Data files name their folders with '\' as well as '/'.
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) return nullptr;
    const long start = std::ftell(stream);
    std::fseek(stream, 0, SEEK_END);
    const long end = std::ftell(stream);
    std::fseek(stream, start, SEEK_SET);
    // Directories open as streams on Linux but have no readable length.
    if (end < 0 || end > long(UINT32_MAX)) {
        std::fclose(stream);
        return nullptr;
    }
    LogMessage("[ZKF] \"%s\" File found on HD", name);
    return std::make_unique<zkDiskFile>(stream, 0, static_cast<uint32_t>(end));
}

std::unique_ptr<zkFile> zkOpenFile(const char* name, int32_t mode) {
    if (!name || !*name) return nullptr;
    switch (mode) {
        case DiskFirst: {
            auto file = zkOpenDiskFile(name);
            return file ? std::move(file) : zkOpenPackFile(name);
        }
        case PackFirst: {
            auto file = zkOpenPackFile(name);
            return file ? std::move(file) : zkOpenDiskFile(name);
        }
        case InMemory: {
            auto file = zkOpenFile(name, DiskFirst);
            if (!file) return nullptr;
            LogMessage("[ZKF] \"%s\" File found on HD loaded in memory", name);
            if (file->Kind() == zkMemoryFileKind) return file;
            const uint32_t size = file->Size();
            std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size ? size : 1]);
            if (!data) return nullptr;
            file->Read(data.get(), size, 1);
            file.reset();
            return std::make_unique<zkMemoryFile>(std::move(data), size);
        }
        default:
            return nullptr;
    }
}

}  // namespace ZK3D

// Pack directory reading, name matching, entry reading, the current-pack slot and
// the pack route of the file lookup.
//
// ReadDirectory checks every value it takes from the file against the file's size
// before it is used to allocate, seek or read: the count must fit the directory
// area, names must end within 1023 characters and within the directory, and every
// entry's data must lie inside the file. It reads the directory straight from the
// stream, so a directory offset damaged towards the start of a large pack costs no
// large buffer. Nothing is cached and the pack file is not kept open: every entry
// read opens it again, so file objects never share a stream.
#include "engine/files/pack.h"

#include <cstring>
#include <mutex>
#include <new>

#include "engine/files/jcalg1.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Smallest directory entry: an empty name's terminator and four 32-bit fields.
constexpr uint64_t kMinEntryBytes = 1 + 16;

uint32_t LoadWord(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// Reads the directory area [start, end) of an open pack sequentially; every read
// is checked against the end of the area.
class DirectoryStream {
public:
    DirectoryStream(std::FILE* f, uint64_t start, uint64_t end, bool scrambled)
        : f_(f), pos_(start), end_(end), scrambled_(scrambled) {}

    bool Word(uint32_t& value) {
        uint8_t b[4];
        if (end_ - pos_ < 4 || std::fread(b, 1, 4, f_) != 4) return false;
        pos_ += 4;
        value = LoadWord(b) ^ (scrambled_ ? kPackWordKey : 0u);
        return true;
    }

    enum class NameResult { Ok, PastEnd, TooLong };

    NameResult Name(std::string& name) {
        char buffer[kPackMaxName + 1];
        const uint8_t terminator = scrambled_ ? kPackNameKey : 0;
        for (size_t n = 0;; ++n) {
            if (pos_ >= end_) return NameResult::PastEnd;
            const int c = std::fgetc(f_);
            if (c == EOF) return NameResult::PastEnd;
            ++pos_;
            if (uint8_t(c) == terminator) {
                name.assign(buffer, n);
                return NameResult::Ok;
            }
            if (n == kPackMaxName) return NameResult::TooLong;
            buffer[n] = char(scrambled_ ? uint8_t(c) ^ kPackNameKey : uint8_t(c));
        }
    }

    uint64_t Left() const { return end_ - pos_; }

private:
    std::FILE* f_;
    uint64_t pos_;
    uint64_t end_;
    bool scrambled_;
};

// The fault in detail, as a plain line: opening the pack reports the one error.
std::unique_ptr<zkPackDirectory> Broken(const char* path, const char* why) {
    LogMessage("[ZKP] Error : Broken Pack File \"%s\" : %s", path, why);
    return nullptr;
}

}  // namespace

std::unique_ptr<zkPackDirectory> ReadDirectory(const char* path) {
    if (!path || !*path) return nullptr;
    FilePtr file(std::fopen(path, "rb"));
    if (!file) return nullptr;
    std::FILE* f = file.get();

    // A directory opens as a stream on Linux but has no length: not a pack.
    if (std::fseek(f, 0, SEEK_END) != 0) return nullptr;
    const long end = std::ftell(f);
    if (end < 4) return nullptr;
    const uint64_t fileSize = uint64_t(end);
    std::rewind(f);

    char magic[4];
    if (std::fread(magic, 1, 4, f) != 4) return nullptr;
    bool scrambled;
    if (std::memcmp(magic, kPackMagicPlain, 4) == 0) {
        scrambled = false;
    } else if (std::memcmp(magic, kPackMagicScrambled, 4) == 0) {
        scrambled = true;
    } else {
        return nullptr;
    }
    const uint32_t key = scrambled ? kPackWordKey : 0u;

    // Magic, entry count and directory offset at the least.
    if (fileSize < 12) return Broken(path, "too short for a directory");
    uint8_t word[4];
    if (std::fseek(f, long(fileSize - 4), SEEK_SET) != 0 || std::fread(word, 1, 4, f) != 4)
        return Broken(path, "cannot read the directory offset");
    const uint64_t dirOffset = LoadWord(word) ^ key;
    const uint64_t dirEnd = fileSize - 4;
    if (dirOffset < 4 || dirOffset + 4 > dirEnd)
        return Broken(path, "directory offset outside the file");
    if (std::fseek(f, long(dirOffset), SEEK_SET) != 0)
        return Broken(path, "cannot seek to the directory");

    DirectoryStream in(f, dirOffset, dirEnd, scrambled);
    uint32_t rawCount;
    if (!in.Word(rawCount)) return Broken(path, "cannot read the entry count");
    const int32_t count = int32_t(rawCount);
    if (count < 0 || uint64_t(count) > in.Left() / kMinEntryBytes)
        return Broken(path, "entry count larger than the directory");

    auto dir = std::make_unique<zkPackDirectory>();
    dir->count = count;
    dir->path = path;
    dir->names.reserve(size_t(count));
    dir->compressed.reserve(size_t(count));
    dir->offsets.reserve(size_t(count));
    dir->sizes.reserve(size_t(count));
    dir->packedSizes.reserve(size_t(count));

    for (int32_t i = 0; i < count; ++i) {
        std::string name;
        switch (in.Name(name)) {
            case DirectoryStream::NameResult::Ok:
                break;
            case DirectoryStream::NameResult::PastEnd:
                return Broken(path, "directory runs past the end of the file");
            case DirectoryStream::NameResult::TooLong:
                return Broken(path, "entry name longer than 1023 characters");
        }
        uint32_t compressed, packedSize, offset, size;
        if (!in.Word(compressed) || !in.Word(packedSize) || !in.Word(offset) || !in.Word(size))
            return Broken(path, "directory runs past the end of the file");
        if (uint64_t(offset) + packedSize > fileSize)
            return Broken(path, "entry data outside the file");
        // A stored entry is read in place for its unpacked size.
        if (!compressed && uint64_t(offset) + size > fileSize)
            return Broken(path, "entry data outside the file");
        dir->names.push_back(std::move(name));
        dir->compressed.push_back(compressed);
        dir->packedSizes.push_back(packedSize);
        dir->offsets.push_back(offset);
        dir->sizes.push_back(size);
    }
    return dir;
}

bool NameMatches(const char* stored, const char* query) {
    size_t s = std::strlen(stored);
    size_t q = std::strlen(query);
    while (s > 0 && q > 0) {
        char c = query[q - 1];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != stored[s - 1]) return false;
        --s;
        --q;
    }
    if (s == 0) return true;
    // The query is a trailing part of the stored path: only whole path components.
    return stored[s - 1] == '\\';
}

int32_t FindEntry(const zkPackDirectory& directory, const char* name) {
    if (!name) return -1;
    for (int32_t i = 0; i < directory.count; ++i)
        if (NameMatches(directory.names[size_t(i)].c_str(), name)) return i;
    return -1;
}

namespace {

// The packed bytes of entry i, read from the pack file; nothing, with an error
// report, when they cannot be read.
std::unique_ptr<uint8_t[]> ReadPacked(const zkPackDirectory& directory, size_t i) {
    const char* path = directory.path.c_str();
    const char* name = directory.names[i].c_str();
    const uint32_t packedSize = directory.packedSizes[i];
    FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        LogError("[ZKP] Error : Cannot read \"%s\" from \"%s\"", name, path);
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[packedSize ? packedSize : 1]);
    if (!packed) {
        LogError("[ZKP] Error : Not enough memory to read \"%s\" (%u bytes)", name, packedSize);
        return nullptr;
    }
    if (std::fseek(file.get(), long(directory.offsets[i]), SEEK_SET) != 0 ||
        std::fread(packed.get(), 1, packedSize, file.get()) != packedSize) {
        LogError("[ZKP] Error : Cannot read \"%s\" from \"%s\"", name, path);
        return nullptr;
    }
    return packed;
}

// Expands entry i's packed bytes into output (nullptr: only checks the stream).
// A stream that is damaged or stops short of the unpacked size, which would leave
// the end of the file undefined, is reported and refused.
bool Expand(const zkPackDirectory& directory, size_t i, const uint8_t* packed, uint8_t* output,
            size_t capacity) {
    const int64_t written =
        DecompressJCALG1(packed, directory.packedSizes[i], output, capacity);
    if (written < int64_t(directory.sizes[i])) {
        LogError("[ZKP] Error : Damaged entry \"%s\" in \"%s\"", directory.names[i].c_str(),
                 directory.path.c_str());
        return false;
    }
    return true;
}

// Entries claiming more than this, and far more than their packed size, have
// their stream checked before the buffer is allocated, so a damaged size in the
// directory costs no huge allocation. Valid entries pass the check; it is cheap
// for them, as highly compressed streams hold few tokens.
constexpr uint64_t kCheckFirstAbove = 1u << 20;
constexpr uint64_t kCheckFirstRatio = 64;

}  // namespace

bool ReadEntry(const zkPackDirectory& directory, int32_t index, uint8_t* output,
               size_t capacity) {
    if (index < 0 || index >= directory.count) return false;
    const auto packed = ReadPacked(directory, size_t(index));
    return packed && Expand(directory, size_t(index), packed.get(), output, capacity);
}

// ---- zkPack ----

const zkPackDirectory* zkPack::Open(const char* path) {
    LogMessage("[ZKP] Opens Pack File \"%s\"", path ? path : "");
    path_ = path ? path : "";
    current_ = -1;
    directory_ = ReadDirectory(path);
    if (!directory_) LogError("[ZKP] Error : No Pack File !");
    return directory_.get();
}

bool zkPack::ValidIndex(int32_t index) const {
    return directory_ && index >= 0 && index < directory_->count;
}

bool zkPack::Find(const char* name) {
    current_ = directory_ ? FindEntry(*directory_, name) : -1;
    return current_ >= 0;
}

int32_t zkPack::EntryKind() const {
    if (!ValidIndex(current_)) return 0;
    return directory_->compressed[size_t(current_)] ? 1 : 2;
}

std::unique_ptr<uint8_t[]> zkPack::ReadCompressed(uint32_t& size) const {
    return ReadCompressedEntry(current_, size);
}

std::FILE* zkPack::OpenStored(uint32_t& offset, uint32_t& size) const {
    return OpenStoredEntry(current_, offset, size);
}

std::unique_ptr<uint8_t[]> zkPack::ReadCompressedEntry(int32_t index, uint32_t& size) const {
    if (!ValidIndex(index)) return nullptr;
    const size_t i = size_t(index);
    size = directory_->sizes[i];
    const size_t capacity = size_t(size) + kPackBufferSlack;
    const auto packed = ReadPacked(*directory_, i);
    if (!packed) return nullptr;
    if (size > kCheckFirstAbove && size / kCheckFirstRatio > directory_->packedSizes[i] &&
        !Expand(*directory_, i, packed.get(), nullptr, capacity))
        return nullptr;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    if (!buffer) {
        LogError("[ZKP] Error : Not enough memory to unpack \"%s\" (%u bytes)",
                 directory_->names[i].c_str(), size);
        return nullptr;
    }
    if (!Expand(*directory_, i, packed.get(), buffer.get(), capacity)) return nullptr;
    // The slack past the file's bytes is zeroed whatever the stream wrote there, so
    // a reader that looks past the size through Handle() sees defined bytes.
    std::memset(buffer.get() + size, 0, kPackBufferSlack);
    return buffer;
}

std::FILE* zkPack::OpenStoredEntry(int32_t index, uint32_t& offset, uint32_t& size) const {
    if (!ValidIndex(index)) return nullptr;
    std::FILE* stream = std::fopen(path_.c_str(), "rb");
    if (!stream) {
        LogError("[ZKP] Error : Cannot read \"%s\" from \"%s\"",
                 directory_->names[size_t(index)].c_str(), path_.c_str());
        return nullptr;
    }
    offset = directory_->offsets[size_t(index)];
    size = directory_->sizes[size_t(index)];
    std::fseek(stream, long(offset), SEEK_SET);
    return stream;
}

std::unique_ptr<zkFile> zkPack::OpenEntry(int32_t index) const {
    if (!ValidIndex(index)) return nullptr;
    uint32_t offset = 0, size = 0;
    if (directory_->compressed[size_t(index)]) {
        auto buffer = ReadCompressedEntry(index, size);
        if (!buffer) return nullptr;
        return std::make_unique<zkMemoryFile>(std::move(buffer), size);
    }
    std::FILE* stream = OpenStoredEntry(index, offset, size);
    if (!stream) return nullptr;
    return std::make_unique<zkDiskFile>(stream, offset, size);
}

// ---- the current pack ----

namespace {

// The process-wide slot. Lookups copy the shared pointer under the lock and read
// the pack outside it, so a pack being read lives until its last reader is done.
std::mutex g_packMutex;
std::shared_ptr<zkPack> g_currentPack;

std::shared_ptr<zkPack> TakeCurrentPack() {
    std::lock_guard lock(g_packMutex);
    return std::move(g_currentPack);
}

std::shared_ptr<zkPack> CurrentPackShared() {
    std::lock_guard lock(g_packMutex);
    return g_currentPack;
}

}  // namespace

const zkPackDirectory* zkSetPack(const char* path) {
    TakeCurrentPack().reset();
    if (!path) return nullptr;
    // Opened before it is published, so no lookup sees a half-read directory.
    auto pack = std::make_shared<zkPack>();
    const zkPackDirectory* directory = pack->Open(path);
    std::lock_guard lock(g_packMutex);
    g_currentPack = std::move(pack);
    return directory;
}

zkPack* zkCurrentPack() {
    std::lock_guard lock(g_packMutex);
    return g_currentPack.get();
}

void zkReleasePack(const zkPack* pack) {
    std::shared_ptr<zkPack> old;
    {
        std::lock_guard lock(g_packMutex);
        if (!pack || g_currentPack.get() == pack) old = std::move(g_currentPack);
    }
}

std::unique_ptr<zkFile> zkOpenPackFile(const char* name) {
    if (!name) return nullptr;
    const std::shared_ptr<zkPack> pack = CurrentPackShared();
    if (!pack || !pack->Directory()) return nullptr;
    // The directory is searched directly rather than through the pack's current
    // entry, so lookups on two threads do not disturb each other.
    const int32_t index = FindEntry(*pack->Directory(), name);
    if (index < 0) return nullptr;
    LogMessage("[ZKF] \"%s\" File found in pack", name);
    return pack->OpenEntry(index);
}

}  // namespace ZK3D

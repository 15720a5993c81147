// The file object every loader reads through, and the lookup that makes it.
//
// A zkFile hides where its bytes come from: a file on disk, an entry stored in
// place inside the current pack (a disk stream starting at the entry's data), or a
// compressed pack entry expanded into memory. Loaders only use the operations
// below; the JPEG reader asks for the kind because libjpeg needs a stdio stream.
//
// Bounds: no operation reads or writes outside the file's data or the caller's
// buffer. A read past the end copies what is left (nothing when the position is
// already beyond the size), ReadChar at the end returns 0 without moving on, and
// ReadString and ReadLine always leave their buffer terminated.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace ZK3D {

enum zkFileKind : int32_t { zkMemoryFileKind = 1, zkDiskFileKind = 2 };

enum zkFileMode : int32_t {
    DiskFirst = 1,  // disk, then the current pack
    PackFirst = 2,  // the current pack, then disk
    InMemory = 3,   // as DiskFirst, and the result is always a memory file
};

class zkFile {
public:
    virtual ~zkFile() = default;
    zkFile(const zkFile&) = delete;
    zkFile& operator=(const zkFile&) = delete;

    // Copies min(elementSize * count, size - position) bytes and advances by that
    // many; returns the number of whole elements copied.
    virtual uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) = 0;
    // The byte at the position (then one further on); 0 at or past the end.
    virtual int ReadChar() = 0;
    // Disk file: its FILE stream; memory file: its data.
    virtual void* Handle() = 0;

    int32_t Kind() const { return kind_; }
    uint32_t Tell() const { return position_; }
    uint32_t Size() const { return size_; }
    bool AtEnd() const { return position_ >= size_; }
    // origin 0: from the start (clamped to the size); 1: relative; 2: from the end.
    uint32_t Seek(int32_t offset, int origin);

    // Reads a NUL-terminated text into buffer (at most maximum bytes, the NUL
    // included) and returns its length. Returns -1, with the buffer holding the
    // part that fitted and terminated, when no NUL came within maximum bytes or
    // before the end of the data.
    int32_t ReadString(char* buffer, uint32_t maximum);
    // Reads one line: carriage returns are dropped, the line feed ends the line and
    // is not stored. Returns the number of characters stored. At most maximum - 1
    // characters are stored and the buffer is always terminated; the rest of an
    // overlong line comes with the next call, and a last line without a line feed
    // comes back whole.
    uint32_t ReadLine(char* buffer, uint32_t maximum);

protected:
    zkFile(int32_t kind, uint32_t size) : kind_(kind), size_(size) {}
    // Bytes that a read of `want` bytes from the position may copy.
    uint32_t Available(uint64_t want) const;

    int32_t kind_;
    uint32_t position_ = 0;
    uint32_t size_;
};

// A file on disk, or a stored entry read in place from a pack: the data starts at
// `base` in the stream. Every operation seeks to base + position first, so the file
// does not depend on where anyone left the stream.
class zkDiskFile final : public zkFile {
public:
    zkDiskFile(std::FILE* stream, uint32_t base, uint32_t size);
    ~zkDiskFile() override;
    uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) override;
    int ReadChar() override;
    void* Handle() override { return stream_; }

private:
    std::FILE* stream_;
    uint32_t base_;
};

// Bytes in memory; freed with the file when owned.
class zkMemoryFile final : public zkFile {
public:
    zkMemoryFile(std::unique_ptr<uint8_t[]> data, uint32_t size);
    zkMemoryFile(const uint8_t* data, uint32_t size);  // not owned
    uint32_t Read(void* destination, uint32_t elementSize, uint32_t count) override;
    int ReadChar() override;
    void* Handle() override { return data_; }

private:
    std::unique_ptr<uint8_t[]> owned_;
    uint8_t* data_;
};

// Opens name by mode; nullptr when neither the disk nor the current pack has it.
// The caller owns the result. On disk, '\' is accepted as a directory separator.
std::unique_ptr<zkFile> zkOpenFile(const char* name, int32_t mode);

// Opens name on disk only (a plain file), as the lookup does.
std::unique_ptr<zkFile> zkOpenDiskFile(const char* name);

}  // namespace ZK3D

namespace ZK3D {
// Opens name from the current pack only; nullptr when no pack is current or the
// pack has no matching entry.
std::unique_ptr<zkFile> zkOpenPackFile(const char* name);
}  // namespace ZK3D

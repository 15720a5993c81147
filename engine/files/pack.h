// Pack files: one file holding many data files, each stored as it is or as a
// JCALG1 stream, with a directory at the end; and the process-wide current pack
// that the file lookup consults.
//
// Layout (all integers 32-bit little-endian, offsets absolute):
//   0        magic "ZKPx" (plain directory) or "ZKP?" (scrambled directory)
//   4 ...    entry data, each entry at its data offset
//   D        entry count N, then N entries: name + NUL, compressed flag,
//            packed size, data offset, unpacked size
//   size-4   directory offset D
// A scrambled directory stores D, N and every entry field XORed with
// kPackWordKey and every name byte (its NUL too) XORed with kPackNameKey.
//
// The directory is read once and checked as a whole: a count, name, offset or size
// the file cannot hold rejects the pack, so nothing later reads outside the file
// or a buffer. Entry data is read on demand and never cached.
//
// Threads: lookups may run on the main thread and the scene-loader thread at once.
// They search the directory without touching the pack's "current entry" (which
// only the single-threaded Find / EntryKind / ReadCompressed / OpenStored sequence
// uses), and hold their own reference to the current pack, so replacing the
// current pack never destroys one a lookup is still reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/files/zk_file.h"

namespace ZK3D {

inline constexpr uint32_t kPackWordKey = 0x5C3E91D7u;
inline constexpr uint8_t kPackNameKey = 0x6B;
inline constexpr char kPackMagicPlain[4] = {'Z', 'K', 'P', 'x'};
inline constexpr char kPackMagicScrambled[4] = {'Z', 'K', 'P', '?'};
// Longest entry name, not counting its terminator.
inline constexpr size_t kPackMaxName = 1023;
// The slack a compressed entry's buffer has beyond its unpacked size.
inline constexpr uint32_t kPackBufferSlack = 256;

// The in-memory directory of a pack; owned by its zkPack.
struct zkPackDirectory {
    int32_t count = 0;
    std::string path;                 // the pack file, as passed when it was opened
    std::vector<std::string> names;   // as stored, after unscrambling
    std::vector<uint32_t> compressed; // 0 = stored, other = JCALG1 stream
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> sizes;      // unpacked sizes
    std::vector<uint32_t> packedSizes;
};

// Reads and checks the directory of the pack at path. Nothing for an empty path or
// a file that does not open or is no pack; nothing, with an error report naming
// the fault, for a broken pack.
std::unique_ptr<zkPackDirectory> ReadDirectory(const char* path);

// Whether a stored name answers a query: compared from the last character
// backwards, query letters upper-cased (ASCII only), stored characters as they are.
// A match once the whole stored name is used; when the query runs out first, only
// at a backslash in the stored name ("DATA\\X.LFD" answers "x.lfd", not "a\\x.lfd"
// nor "data/x.lfd").
bool NameMatches(const char* stored, const char* query);

// Index of the first entry whose name answers the query, or -1.
int32_t FindEntry(const zkPackDirectory& directory, const char* name);

// Reads the packed bytes of entry index from the pack file and expands them into
// output (capacity bytes). False, with an error report, when the file cannot be
// read or the stream is damaged or does not fill the entry's unpacked size.
bool ReadEntry(const zkPackDirectory& directory, int32_t index, uint8_t* output,
               size_t capacity);

class zkPack {
public:
    zkPack() = default;
    zkPack(const zkPack&) = delete;
    zkPack& operator=(const zkPack&) = delete;

    // Reports the opening, keeps the path and reads the directory; reports
    // "[ZKP] Error : No Pack File !" when there is none. The directory is owned
    // by the pack.
    const zkPackDirectory* Open(const char* path);

    // Makes the first entry answering name current; false (current -1) if none.
    bool Find(const char* name);
    // Of the current entry: 1 when compressed (read into memory), 2 when stored
    // (read in place); 0 when there is no current entry.
    int32_t EntryKind() const;
    // The current entry expanded into a buffer of its unpacked size + 256 bytes;
    // size receives the unpacked size. Nothing on failure.
    std::unique_ptr<uint8_t[]> ReadCompressed(uint32_t& size) const;
    // A new "rb" stream on the pack file, placed at the current entry's data;
    // offset and size receive the entry's data offset and unpacked size. The caller
    // owns the stream. Nothing when the pack file no longer opens.
    std::FILE* OpenStored(uint32_t& offset, uint32_t& size) const;

    // The same readers for a given entry; they do not touch the current entry.
    std::unique_ptr<uint8_t[]> ReadCompressedEntry(int32_t index, uint32_t& size) const;
    std::FILE* OpenStoredEntry(int32_t index, uint32_t& offset, uint32_t& size) const;
    // The file object for entry index: a memory file for a compressed entry, a
    // disk file on a stream of its own for a stored one. Nothing on failure.
    std::unique_ptr<zkFile> OpenEntry(int32_t index) const;

    const std::string& Path() const { return path_; }
    int32_t Current() const { return current_; }
    const zkPackDirectory* Directory() const { return directory_.get(); }

private:
    bool ValidIndex(int32_t index) const;

    std::string path_;
    int32_t current_ = -1;
    std::unique_ptr<zkPackDirectory> directory_;
};

// Releases the current pack; with a path, makes a new pack current and opens it,
// returning its directory (nothing when it has none); without one (nullptr), leaves
// no pack current and returns nothing.
const zkPackDirectory* zkSetPack(const char* path);
// The current pack, or nothing. Valid until the current pack is next changed.
zkPack* zkCurrentPack();
// Clears the current slot when pack is the current pack, or when pack is nullptr.
// A pack the slot does not hold is not the slot's to destroy and is left alone.
void zkReleasePack(const zkPack* pack = nullptr);

}  // namespace ZK3D

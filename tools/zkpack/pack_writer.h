// Builds pack files: entries in the order they are added, each stored as it is or
// as a JCALG1 stream, then the directory, plain ("ZKPx") or scrambled ("ZKP?").
//
// Names are stored exactly as given. Lookups compare query letters upper-cased
// against stored names and only match at backslashes, so names meant for lookups
// should be upper case with '\' between folders; StoredName makes such a name from
// a relative path, and AddTree uses it. The writer itself accepts any name the
// format can hold (tests rely on that to build unusual packs).
//
// It does not read packs back or update them in place; the engine's reader does
// the reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/zkpack/jcalg1_encoder.h"

namespace zkpack {

enum class Storage {
    Auto,        // compressed where that makes the entry smaller, stored otherwise
    Stored,
    Compressed,  // always a JCALG1 stream, even when it is larger
};

struct PackEntry {
    std::string name;
    bool compressed = false;
    uint32_t unpackedSize = 0;
    std::vector<uint8_t> bytes;  // as they lie in the pack
};

class PackWriter {
public:
    explicit PackWriter(EncoderOptions options = {}) : options_(options) {}

    // Adds an entry; false, with the reason in error, when the name is longer than
    // 1023 characters or holds a NUL, or the pack would reach 4 GiB.
    bool Add(const std::string& name, const uint8_t* data, size_t size, Storage storage,
             std::string& error);
    bool Add(const std::string& name, const std::vector<uint8_t>& data, Storage storage,
             std::string& error) {
        return Add(name, data.data(), data.size(), storage, error);
    }

    // The whole pack file.
    std::vector<uint8_t> Build(bool scrambled) const;
    // Writes Build(scrambled) to path; false with the reason in error.
    bool Write(const std::filesystem::path& path, bool scrambled, std::string& error) const;

    const std::vector<PackEntry>& Entries() const { return entries_; }

private:
    EncoderOptions options_;
    std::vector<PackEntry> entries_;
    uint64_t fileSize_ = 12;  // magic, entry count, directory offset
};

// The stored form of a relative path: ASCII letters upper-cased, folders joined
// with '\' ("data/Cavern.lfd" -> "DATA\CAVERN.LFD").
std::string StoredName(const std::filesystem::path& relative);

// Adds every regular file below root, in name order, named by StoredName of its
// path relative to root; a single file is added under its own file name. False,
// with the reason in error, for an unreadable input or two files whose stored
// names would be the same.
// The storage a file of a tree gets: JPEG files are always stored under Auto,
// because the engine reads them from a file stream.
Storage EntryStorage(const std::filesystem::path& path, Storage storage);

bool AddTree(PackWriter& writer, const std::filesystem::path& root, Storage storage,
             std::string& error);

// The whole of a file; false, with the reason in error, when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                   std::string& error);

}  // namespace zkpack

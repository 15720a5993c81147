// Pack building: entry data back to back after the magic, then the entry count,
// the directory entries and the directory offset, scrambled on request.
// Entries are compressed as they are added, so the whole pack is held in memory
// until it is written; nothing is aligned or padded.
#include "tools/zkpack/pack_writer.h"

#include <cctype>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <system_error>

#include "engine/files/pack.h"

namespace zkpack {

namespace {

// Appends to a buffer sized in advance.
class Output {
public:
    explicit Output(size_t size) : bytes_(size) {}
    void Bytes(const void* data, size_t n) {
        if (n) std::memcpy(bytes_.data() + at_, data, n);
        at_ += n;
    }
    void Byte(uint8_t b) { bytes_[at_++] = b; }
    void Word(uint32_t v) {
        for (int i = 0; i < 4; ++i) Byte(uint8_t(v >> (8 * i)));
    }
    uint32_t At() const { return uint32_t(at_); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
};

}  // namespace

bool PackWriter::Add(const std::string& name, const uint8_t* data, size_t size, Storage storage,
                     std::string& error) {
    if (name.size() > ZK3D::kPackMaxName) {
        error = "name longer than 1023 characters: \"" + name.substr(0, 40) + "...\"";
        return false;
    }
    if (name.find('\0') != std::string::npos) {
        error = "name holds a NUL character";
        return false;
    }
    if (size > UINT32_MAX) {
        error = "\"" + name + "\" is 4 GiB or larger";
        return false;
    }
    PackEntry entry;
    entry.name = name;
    entry.unpackedSize = uint32_t(size);
    if (storage != Storage::Stored) {
        entry.bytes = CompressJCALG1(data, size, options_);
        entry.compressed = true;
        if (storage == Storage::Auto && entry.bytes.size() >= size) entry.compressed = false;
    }
    if (!entry.compressed) entry.bytes.assign(data, data + size);

    const uint64_t grown = fileSize_ + entry.bytes.size() + name.size() + 1 + 16;
    if (grown > UINT32_MAX) {
        error = "the pack would reach 4 GiB with \"" + name + "\"";
        return false;
    }
    fileSize_ = grown;
    entries_.push_back(std::move(entry));
    return true;
}

std::vector<uint8_t> PackWriter::Build(bool scrambled) const {
    Output out{size_t(fileSize_)};
    out.Bytes(scrambled ? ZK3D::kPackMagicScrambled : ZK3D::kPackMagicPlain, 4);

    std::vector<uint32_t> offsets;
    for (const PackEntry& e : entries_) {
        offsets.push_back(out.At());
        out.Bytes(e.bytes.data(), e.bytes.size());
    }

    const uint32_t key = scrambled ? ZK3D::kPackWordKey : 0u;
    const uint8_t nameKey = scrambled ? ZK3D::kPackNameKey : 0;
    const uint32_t dirOffset = out.At();
    out.Word(uint32_t(entries_.size()) ^ key);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const PackEntry& e = entries_[i];
        for (char c : e.name) out.Byte(uint8_t(c) ^ nameKey);
        out.Byte(nameKey);  // the terminating NUL, scrambled
        out.Word((e.compressed ? 1u : 0u) ^ key);
        out.Word(uint32_t(e.bytes.size()) ^ key);
        out.Word(offsets[i] ^ key);
        out.Word(e.unpackedSize ^ key);
    }
    out.Word(dirOffset ^ key);
    return out.Take();
}

bool PackWriter::Write(const std::filesystem::path& path, bool scrambled, std::string& error) const {
    const std::vector<uint8_t> bytes = Build(scrambled);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        error = "cannot create \"" + path.string() + "\"";
        return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() ||
        std::fclose(f.release()) != 0) {
        error = "cannot write \"" + path.string() + "\"";
        return false;
    }
    return true;
}

std::string StoredName(const std::filesystem::path& relative) {
    std::string name;
    for (const auto& part : relative.lexically_normal()) {
        const std::string s = part.string();
        if (s.empty() || s == ".") continue;
        if (!name.empty()) name += '\\';
        name += s;
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return name;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                   std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open \"" + path.string() + "\"";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read \"" + path.string() + "\"";
        return false;
    }
    return true;
}

Storage EntryStorage(const std::filesystem::path& path, Storage storage) {
    if (storage != Storage::Auto) return storage;
    std::string extension = path.extension().string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    // The engine decodes JPEG files straight from a file stream, which a
    // compressed entry does not have.
    return extension == ".jpg" || extension == ".jpeg" ? Storage::Stored : storage;
}

bool AddTree(PackWriter& writer, const std::filesystem::path& root, Storage storage,
             std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::pair<std::string, fs::path>> files;  // stored name, path

    const fs::file_status status = fs::status(root, ec);
    if (ec || !fs::exists(status)) {
        error = "cannot read \"" + root.string() + "\": no such file or directory";
        return false;
    }
    if (fs::is_regular_file(status)) {
        files.emplace_back(StoredName(root.filename()), root);
    } else if (fs::is_directory(status)) {
        fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_regular_file(ec))
                files.emplace_back(StoredName(it->path().lexically_relative(root)), it->path());
        }
        if (ec) {
            error = "cannot read \"" + root.string() + "\": " + ec.message();
            return false;
        }
    } else {
        error = "\"" + root.string() + "\" is neither a file nor a directory";
        return false;
    }
    std::sort(files.begin(), files.end());

    std::set<std::string> names;
    for (const PackEntry& e : writer.Entries()) names.insert(e.name);
    for (const auto& [name, path] : files) {
        if (!names.insert(name).second) {
            error = "\"" + path.string() + "\" would be stored as \"" + name +
                    "\", a name already in the pack";
            return false;
        }
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes, error)) return false;
        if (!writer.Add(name, bytes, EntryStorage(path, storage), error)) return false;
    }
    return true;
}

}  // namespace zkpack

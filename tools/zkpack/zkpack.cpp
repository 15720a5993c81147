// zkpack: builds, lists and extracts pack files.
//
//   zkpack create [-s] [--store] [-l N] [-v] PACK INPUT...
//   zkpack list PACK
//   zkpack extract [-v] PACK DIR
//
// Listing and extraction go through the engine's own pack reader, so extracting a
// pack is also a check that the engine reads every entry of it. Extraction writes
// only below DIR: names with empty, "." or ".." components are refused.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/files/pack.h"
#include "platform/report.h"
#include "tools/zkpack/pack_writer.h"

namespace fs = std::filesystem;

namespace {

bool g_verbose = false;

// Engine reports: errors always to stderr, plain messages with -v.
const char* PrintReport(int level, int32_t, const char* format, va_list* args) {
    thread_local char text[2048];
    std::vsnprintf(text, sizeof text, format, *args);
    if (level != kReportPlain || g_verbose) std::fprintf(stderr, "%s\n", text);
    return text;
}

int Usage() {
    std::fprintf(stderr,
                 "usage:\n"
                 "  zkpack create [options] PACK INPUT...  pack files and directory trees\n"
                 "      -s, --scramble   scramble the directory (\"ZKP?\" pack)\n"
                 "      --store          store every entry uncompressed\n"
                 "      -l, --level N    compression level, 1 (fast) to 9 (small); default 6\n"
                 "      -v, --verbose    list each entry as it is added\n"
                 "  zkpack list PACK                       list the entries of a pack\n"
                 "  zkpack extract [-v] PACK DIR           write every entry below DIR\n"
                 "\n"
                 "A directory's files are stored under their paths relative to it, upper\n"
                 "case with '\\' between folders (data/Cavern.lfd -> DATA\\CAVERN.LFD); a file\n"
                 "given by itself is stored under its file name. Lookups match a stored name\n"
                 "against the end of the requested name.\n");
    return 2;
}

int Create(const std::vector<std::string>& args) {
    bool scrambled = false;
    zkpack::Storage storage = zkpack::Storage::Auto;
    zkpack::EncoderOptions options;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-s" || a == "--scramble") {
            scrambled = true;
        } else if (a == "--store") {
            storage = zkpack::Storage::Stored;
        } else if (a == "-v" || a == "--verbose") {
            g_verbose = true;
        } else if (a == "-l" || a == "--level") {
            if (i + 1 >= args.size()) return Usage();
            char* end = nullptr;
            const long level = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || level < 1 || level > 9) {
                std::fprintf(stderr, "zkpack: level must be 1 to 9, not \"%s\"\n", args[i].c_str());
                return Usage();
            }
            options.level = int(level);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zkpack: unknown option \"%s\"\n", a.c_str());
            return Usage();
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2) return Usage();

    zkpack::PackWriter writer(options);
    std::string error;
    for (size_t i = 1; i < positional.size(); ++i) {
        const size_t before = writer.Entries().size();
        if (!zkpack::AddTree(writer, positional[i], storage, error)) {
            std::fprintf(stderr, "zkpack: %s\n", error.c_str());
            return 1;
        }
        if (g_verbose) {
            for (size_t e = before; e < writer.Entries().size(); ++e) {
                const zkpack::PackEntry& entry = writer.Entries()[e];
                std::printf("%-10s %10u -> %10zu  %s\n", entry.compressed ? "compressed" : "stored",
                            entry.unpackedSize, entry.bytes.size(), entry.name.c_str());
            }
        }
    }
    if (!writer.Write(positional[0], scrambled, error)) {
        std::fprintf(stderr, "zkpack: %s\n", error.c_str());
        return 1;
    }
    uint64_t unpacked = 0, packed = 0;
    for (const zkpack::PackEntry& e : writer.Entries()) {
        unpacked += e.unpackedSize;
        packed += e.bytes.size();
    }
    std::printf("%s: %zu entries, %llu bytes in %llu\n", positional[0].c_str(),
                writer.Entries().size(), (unsigned long long)unpacked, (unsigned long long)packed);
    return 0;
}

bool IsScrambled(const std::string& path) {
    char magic[4] = {};
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        if (std::fread(magic, 1, 4, f) != 4) magic[0] = 0;
        std::fclose(f);
    }
    return std::memcmp(magic, ZK3D::kPackMagicScrambled, 4) == 0;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage();
    const std::string& path = args[0];
    if (!fs::is_regular_file(path)) {
        std::fprintf(stderr, "zkpack: cannot read \"%s\"\n", path.c_str());
        return 1;
    }
    auto dir = ZK3D::ReadDirectory(path.c_str());
    if (!dir) {
        std::fprintf(stderr, "zkpack: \"%s\" is not a readable pack\n", path.c_str());
        return 1;
    }
    std::printf("%s: %d entries, %s directory\n", path.c_str(), dir->count,
                IsScrambled(path) ? "scrambled" : "plain");
    std::printf("%-10s %10s %10s %6s %10s  %s\n", "kind", "size", "packed", "ratio", "offset", "name");
    for (size_t i = 0; i < size_t(dir->count); ++i) {
        const double ratio = dir->sizes[i] ? 100.0 * dir->packedSizes[i] / dir->sizes[i] : 100.0;
        std::printf("%-10s %10u %10u %5.1f%% %10u  %s\n", dir->compressed[i] ? "compressed" : "stored",
                    dir->sizes[i], dir->packedSizes[i], ratio, dir->offsets[i], dir->names[i].c_str());
    }
    return 0;
}

// Where a stored name goes below the output folder; false for names that would
// leave it or name no file.
bool OutputPath(const fs::path& root, const std::string& name, fs::path& out) {
    out = root;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find_first_of("\\/", start);
        const std::string part = name.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos)
            return false;
        out /= part;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

int Extract(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    for (const std::string& a : args) {
        if (a == "-v" || a == "--verbose") {
            g_verbose = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zkpack: unknown option \"%s\"\n", a.c_str());
            return Usage();
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return Usage();
    const std::string& packPath = positional[0];
    const fs::path root = positional[1];
    if (!fs::is_regular_file(packPath)) {
        std::fprintf(stderr, "zkpack: cannot read \"%s\"\n", packPath.c_str());
        return 1;
    }

    ZK3D::zkPack pack;
    const ZK3D::zkPackDirectory* dir = pack.Open(packPath.c_str());
    if (!dir) return 1;

    int failures = 0;
    std::set<fs::path> written;
    for (int32_t i = 0; i < dir->count; ++i) {
        const std::string& name = dir->names[size_t(i)];
        fs::path out;
        if (!OutputPath(root, name, out)) {
            std::fprintf(stderr, "zkpack: entry %d \"%s\" names no file below \"%s\"; skipped\n", i,
                         name.c_str(), root.c_str());
            ++failures;
            continue;
        }
        if (!written.insert(out).second) {
            // Lookups answer with the first of equal names; the later ones are unreachable.
            std::fprintf(stderr, "zkpack: entry %d \"%s\" repeats an earlier name; skipped\n", i,
                         name.c_str());
            continue;
        }
        auto file = pack.OpenEntry(i);
        if (!file) {
            ++failures;
            continue;
        }
        std::vector<uint8_t> bytes(file->Size());
        file->Read(bytes.data(), 1, file->Size());
        if (!WriteFile(out, bytes)) {
            std::fprintf(stderr, "zkpack: cannot write \"%s\"\n", out.c_str());
            ++failures;
            continue;
        }
        if (g_verbose) std::printf("%s\n", out.c_str());
    }
    if (failures) {
        std::fprintf(stderr, "zkpack: %d of %d entries not extracted\n", failures, dir->count);
        return 1;
    }
    std::printf("%s: %d entries extracted to %s\n", packPath.c_str(), dir->count, root.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    LogSetCallback(&PrintReport, kReportError, kReportWarning, kReportPlain);
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "create") return Create(args);
    if (command == "list") return List(args);
    if (command == "extract") return Extract(args);
    if (command == "-h" || command == "--help") {
        Usage();
        return 0;
    }
    std::fprintf(stderr, "zkpack: unknown command \"%s\"\n", command.c_str());
    return Usage();
}

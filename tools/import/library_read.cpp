// The library's logger as a damage detector, and the address-space budget.
#include "tools/import/library_read.h"

#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/scene.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace zkimport {

namespace {

// The first report of damage the library makes while it reads one file. The library's
// logger is one per process; this holds it for the reading and removes it after.
class LibraryErrors {
public:
    LibraryErrors() {
        Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
        Assimp::DefaultLogger::get()->attachStream(new Stream(first_), Assimp::Logger::Err);  // the logger owns it
    }
    ~LibraryErrors() { Assimp::DefaultLogger::kill(); }
    LibraryErrors(const LibraryErrors&) = delete;
    LibraryErrors& operator=(const LibraryErrors&) = delete;
    const std::string& first() const { return first_; }

private:
    class Stream : public Assimp::LogStream {
    public:
        explicit Stream(std::string& first) : first_(first) {}
        void write(const char* message) override {
            if (!first_.empty() || !message) return;
            std::string text = message;
            if (!Damage(text)) return;
            if (text.rfind("Error", 0) == 0 && text.find(": ") != std::string::npos) text = text.substr(text.find(": ") + 2);
            while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
            first_ = text.empty() ? "an unnamed error" : text;
        }

    private:
        // The readers report as errors both gaps they fill (a material library
        // that is missing, a track they do not take) and data they throw away;
        // only the second kind means the file itself is broken.
        static bool Damage(std::string text) {
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (const char* word : {"ignoring", "invalid", "incorrect", "out of range", "malformed", "corrupt"}) {
                if (text.find(word) != std::string::npos) return true;
            }
            return false;
        }
        std::string& first_;
    };
    std::string first_;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZKIMPORT_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZKIMPORT_SANITIZED 1
#endif
#endif

// Holds the process's address space to what it uses now plus a budget while
// the library reads: a file whose header claims billions of vertices then
// fails at once (the reader catches bad_alloc) instead of taking every page of
// the machine. Not under the sanitizers, whose shadow memory is address space
// too. The limit is the process's, so other threads share it meanwhile.
class AddressSpaceBudget {
public:
    explicit AddressSpaceBudget(uint64_t budget) {
#ifndef ZKIMPORT_SANITIZED
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageSize <= 0 || getrlimit(RLIMIT_AS, &saved_) != 0) return;
        rlimit limit = saved_;
        const uint64_t wanted = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) + budget;
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= wanted) return;
        limit.rlim_cur = wanted;
        active_ = setrlimit(RLIMIT_AS, &limit) == 0;
#else
        (void)budget;
#endif
    }
    ~AddressSpaceBudget() {
        if (active_) setrlimit(RLIMIT_AS, &saved_);
    }
    AddressSpaceBudget(const AddressSpaceBudget&) = delete;
    AddressSpaceBudget& operator=(const AddressSpaceBudget&) = delete;

private:
    rlimit saved_{};
    bool active_ = false;
};

}  // namespace

const aiScene* ReadWithLibrary(Assimp::Importer& importer, const std::string& path, unsigned steps, bool acceptDamage,
                               std::string* reason) {
    LibraryErrors errors;
    std::error_code ec;
    const uint64_t fileSize = std::filesystem::file_size(path, ec);
    const aiScene* scene = nullptr;
    {
        AddressSpaceBudget budget((uint64_t{4} << 30) + 256 * fileSize);
        scene = importer.ReadFile(path, 0);
        if (scene && !errors.first().empty() && !acceptDamage) {
            *reason = "\"" + path + "\" is damaged: " + errors.first() + " (--force takes what could be read)";
            return nullptr;
        }
        if (scene) scene = importer.ApplyPostProcessing(steps);
    }
    if (!scene || !scene->mRootNode) {
        std::string message = importer.GetErrorString();
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        std::replace(message.begin(), message.end(), '\n', ' ');
        if (message.find("bad_alloc") != std::string::npos) message = "it asks for more memory than a file of its size can need";
        *reason = "\"" + path + "\" cannot be read: " + (message.empty() ? "unknown format" : message);
        return nullptr;
    }
    return scene;
}

}  // namespace zkimport

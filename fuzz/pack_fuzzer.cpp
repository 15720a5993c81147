// Packs: made the current pack, then every entry of its directory opened through
// the file lookup as the loaders open their files, and read to its end three
// ways (block reads, line reads, and a seek from the end back to the start).
#include <cstdlib>

#include "engine/files/pack.h"
#include "engine/files/zk_file.h"
#include "fuzz/rig.h"

namespace {

void ReadThrough(ZK3D::zkFile& file) {
    uint8_t block[4096];
    uint32_t total = 0;
    while (const uint32_t n = file.Read(block, 1, sizeof block)) total += n;
    if (total != file.Size() || !file.AtEnd()) std::abort();
    file.Seek(0, 0);
    char line[256];
    for (int lines = 0; !file.AtEnd() && lines < 64; ++lines) file.ReadLine(line, sizeof line);
    file.Seek(-int32_t(file.Size() / 2), 2);
    file.ReadString(line, sizeof line);
    file.ReadChar();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::QuietReports();
    const char* path = fuzzing::WriteInput("input.zkp", data, size);
    if (const ZK3D::zkPackDirectory* directory = ZK3D::zkSetPack(path)) {
        for (int32_t i = 0; i < directory->count; ++i) {
            const char* name = directory->names[size_t(i)].c_str();
            for (const int32_t mode : {ZK3D::PackFirst, ZK3D::InMemory})
                if (auto file = ZK3D::zkOpenFile(name, mode)) ReadThrough(*file);
        }
    }
    ZK3D::zkSetPack(nullptr);
    return 0;
}

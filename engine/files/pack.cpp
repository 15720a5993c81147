// The current pack and its route into the file lookup.
//
// No pack is current until the pack reader makes one so; with none, every pack
// lookup answers "not found" and files come from disk alone.
#include "engine/files/zk_file.h"

namespace ZK3D {

std::unique_ptr<zkFile> zkOpenPackFile(const char* /*name*/) {
    // Seam: packs are read by the pack reader, which fills this route in.
    return nullptr;
}

}  // namespace ZK3D

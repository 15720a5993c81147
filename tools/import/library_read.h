// Reading a file through the Open Asset Import Library, with two guards the
// library has none of: a file its reader reports as damaged (data it threw
// away) is refused, and the read runs under an address-space budget, so a
// header claiming billions of vertices fails at once instead of taking the
// machine's memory.
#pragma once

#include <string>

struct aiScene;
namespace Assimp {
class Importer;
}

namespace zkimport {

// The scene read and post-processed with steps; it belongs to the importer.
// Null, with a one-line reason naming the file, when the library cannot read
// it, or when it reports damage and acceptDamage is false.
const aiScene* ReadWithLibrary(Assimp::Importer& importer, const std::string& path, unsigned steps, bool acceptDamage,
                               std::string* reason);

}  // namespace zkimport

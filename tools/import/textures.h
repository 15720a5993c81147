// Finds the pictures a model's materials name (files beside the model, or
// pictures embedded in it) and re-encodes each once for the engine: JPEG when
// it is opaque, DXT5 DDS when any pixel is see-through.
//
// Output names come from the picture's own file name (its stem plus .jpg or
// .dds); embedded pictures without a name are called after the scene file with
// their index. Two different pictures never share a name.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/import/importer.h"

struct aiScene;

namespace zkimport {

struct ConvertedTexture {
    std::string name;      // file and texture name in the scene
    bool hasAlpha = false; // some pixel has alpha below 255
};

class TextureConverter {
public:
    TextureConverter(const aiScene& scene, std::string modelDirectory, std::string sceneStem);

    // The converted texture for a material's texture path; none, with the
    // reason in *why, when the picture cannot be found or decoded.
    std::optional<ConvertedTexture> Convert(const std::string& path, std::string* why);

    // The encoded files, in the order they were first asked for.
    std::vector<TextureFile> TakeFiles() { return std::move(files_); }

private:
    std::string UniqueName(const std::string& stem, const char* extension);

    const aiScene& scene_;
    std::string directory_, sceneStem_;
    std::map<std::string, std::optional<ConvertedTexture>> bySource_;
    std::map<std::string, std::string> failures_;
    std::set<std::string> names_;
    std::vector<TextureFile> files_;
};

// The file a texture path names, looked for as given, then relative to the
// model's folder, then by its last component in that folder, and last without
// regard to letter case there. Back-slashes count as separators, a "file://"
// prefix and %XX escapes are undone. Empty when nothing is found.
std::string FindTextureFile(const std::string& path, const std::string& modelDirectory);

}  // namespace zkimport

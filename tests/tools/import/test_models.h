// Where the tests find Debian's assimp-testmodels, and the model files of one
// of its folders (sidecar pictures, buffers and material libraries left out).
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

inline const std::filesystem::path kModels = "/usr/share/assimp/models";

inline bool HaveModels() { return std::filesystem::is_directory(kModels); }

inline std::vector<std::filesystem::path> ModelFiles(const char* folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(kModels / folder)) {
        const std::string ext = e.path().extension().string();
        const bool sidecar = ext == ".bin" || ext == ".jpg" || ext == ".png" || ext == ".mtl" || ext == ".txt";
        if (e.is_regular_file() && !sidecar) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// zkimport: makes a ZKS scene (and its textures) from a file of a 3D package.
//
//   zkimport IN OUT.zks [--data DIR] [--texture-path P] [--scale S] [--fps N] [--animation NAME|INDEX] [--length S]
//                       [--camera-name [OLD=]NEW]... [--smooth] [--as-is] [--force] [-q]
//   zkimport --list IN [options]
//
// Any format the Open Asset Import Library reads works (glTF 2.0, 3DS, OBJ,
// FBX, Collada, X, LWO, ...). Textures are written into --data (by default the
// folder of OUT.zks), the folder the demo's data files live in, and the scene
// names them by that folder as given: run zkimport where the demo runs. Errors are one
// line on stderr and exit status 1; a wrong command line gives the usage and 2.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/import/importer.h"

namespace {

const char kUsage[] =
    "usage: zkimport IN OUT.zks [options]\n"
    "       zkimport --list IN [options]\n"
    "\n"
    "Converts a scene file of a 3D package (glTF, 3DS, OBJ, FBX, Collada, ...)\n"
    "into a ZKS scene, with its textures as JPEG (opaque) or DDS (with alpha).\n"
    "\n"
    "  --data DIR       write the textures into DIR (default: the folder of OUT.zks)\n"
    "  --texture-path P the folder the scene names its textures by, as the demo\n"
    "                   finds them from where it runs (default: DIR as given, so\n"
    "                   run zkimport where the demo and zkview run)\n"
    "  --scale S        multiply every length by S (default 1)\n"
    "  --fps N          frames per second of an animated scene (default 30)\n"
    "  --animation A    the animation to take, by name or index (default: the first)\n"
    "  --length S       the scene lasts S seconds: a demo script plays it that long\n"
    "                   (default: the animation's length; a static file has none)\n"
    "  --camera-name [OLD=]NEW\n"
    "                   rename camera OLD (the first when OLD is left out) to NEW;\n"
    "                   may be given once per camera\n"
    "  --smooth         smooth position and scale keys instead of straight lines\n"
    "  --as-is          add no camera or light where the file has none\n"
    "  --force          take what could be read from a file the library reports\n"
    "                   errors in\n"
    "  --list           print what the file holds, what the scene will have and\n"
    "                   what is dropped, and write nothing\n"
    "  -q               print nothing but errors\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseNumber(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end && end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    zkimport::Options options;
    std::string input, output, data;
    bool list = false, quiet = false, dataGiven = false, texturePathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--data" && hasValue) {
            data = argv[++i];
            dataGiven = true;
        } else if (arg == "--texture-path" && hasValue) {
            options.texturePath = argv[++i];
            texturePathGiven = true;
        } else if (arg == "--scale" && hasValue) {
            if (!ParseNumber(argv[++i], &number)) return Usage();
            options.scale = static_cast<float>(number);
        } else if (arg == "--fps" && hasValue) {
            if (!ParseNumber(argv[++i], &number) || number != static_cast<int>(number)) return Usage();
            options.fps = static_cast<int>(number);
        } else if (arg == "--length" && hasValue) {
            if (!ParseNumber(argv[++i], &number)) return Usage();
            options.lengthSeconds = static_cast<float>(number);
        } else if (arg == "--animation" && hasValue) {
            options.animation = argv[++i];
        } else if (arg == "--camera-name" && hasValue) {
            const std::string value = argv[++i];
            const size_t eq = value.find('=');
            zkimport::CameraRename rename;
            rename.from = eq == std::string::npos ? "" : value.substr(0, eq);
            rename.to = eq == std::string::npos ? value : value.substr(eq + 1);
            if (rename.to.empty()) return Usage();
            options.cameraNames.push_back(rename);
        } else if (arg == "--smooth") {
            options.smoothKeys = true;
        } else if (arg == "--force") {
            options.acceptErrors = true;
        } else if (arg == "--as-is") {
            options.addView = false;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "-q") {
            quiet = true;
        } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
            input = arg;
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return Usage();
        }
    }
    if (input.empty() || (output.empty() && !list)) return Usage();
    if (!dataGiven) data = std::filesystem::path(output).parent_path().string();
    if (!texturePathGiven) options.texturePath = data;

    zkimport::Result result;
    std::string error;
    if (!zkimport::Import(input, options, &result, &error)) {
        std::fprintf(stderr, "zkimport: %s\n", error.c_str());
        return 1;
    }
    if (list) {
        std::fputs(zkimport::Describe(result).c_str(), stdout);
        return 0;
    }
    if (!zkimport::WriteResult(result, output, data, &error)) {
        std::fprintf(stderr, "zkimport: %s\n", error.c_str());
        return 1;
    }
    if (!quiet) {
        std::printf("zkimport: wrote \"%s\" (%zu meshes, %zu cameras, %zu lights, %zu nodes) and %zu textures\n",
                    output.c_str(), result.scene.meshes.size(), result.scene.cameras.size(), result.scene.lights.size(),
                    result.scene.nodes.size(), result.textures.size());
        for (const std::string& note : result.notes) std::printf("  %s\n", note.c_str());
    }
    return 0;
}

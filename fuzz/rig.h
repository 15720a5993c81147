// What the fuzz targets share: a file in memory for the inputs of readers that
// take a path, a report sink that formats every report (so a format argument a
// damaged file makes bad is caught) and throws it away, and one recording
// platform per process with a fresh context and world on it per input.
//
// A platform is costly to make (its back and depth buffers) and cheap to reuse:
// Rig::End frees what the input's world released, so the process does not grow
// and the next input starts from the same state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/render/context.h"
#include "engine/scene/world.h"
#include "tests/support/recording_device.h"

namespace fuzzing {

// Replaces the contents of the process's input file (made on first use, name
// shown in /proc only) with the input and returns a path that opens it. The
// path names no extension: the targets call the readers themselves.
const char* WriteInput(const char* name, const uint8_t* data, size_t size);

// Installs the report sink (once per process).
void QuietReports();

class Rig {
public:
    // The process's rig, made on first use.
    static Rig& Get();

    // A new context and world, the world current, with one empty scene.
    ZK3D::World& Begin();
    // Destroys the world and context and frees what they released on the platform.
    void End();

    ZK3D::Context& context() { return *context_; }
    ZK3D::Scene* scene() const { return scene_; }
    testing_support::RecordingPlatform& platform() { return platform_; }

private:
    Rig();

    testing_support::RecordingPlatform platform_;
    std::unique_ptr<ZK3D::Context> context_;
    std::unique_ptr<ZK3D::World> world_;
    ZK3D::Scene* scene_ = nullptr;
};

// Draws the world's current scene (when it has one) inside one BeginScene / EndScene.
void DrawFrame(ZK3D::World& world, float time);

}  // namespace fuzzing

// The libFuzzer entry point each target defines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The scene viewer behind zkview: one ZKS file loaded into its own world,
// compiled, and drawn through one of its cameras at a chosen time; the frame on
// the back buffer can be written out as a PNG.
//
// Not here: the window, its keys and the clock (zkview.cpp drives those), and
// any editing: the scene is shown as its file describes it.
// Gotcha: image files named by the scene are looked up relative to the current
// directory, as the demo does; run the viewer from the scene's data directory.
#pragma once

#include <memory>
#include <string>

#include "engine/render/context.h"
#include "engine/scene/scene.h"
#include "engine/scene/world.h"

namespace zkview {

class Viewer {
public:
    explicit Viewer(ZK3D::Context& context);
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    // Loads and compiles the file; false, with the reason in *error, when it
    // cannot be loaded. The scene's first camera becomes current.
    bool Open(const std::string& file, std::string* error);

    // Makes the named camera current; false when the scene has none of that name.
    bool SelectCamera(const std::string& name);
    // Steps through the cameras in file order (step 1 the next, -1 the previous),
    // wrapping at either end.
    void StepCamera(int step);
    // The current camera's name; empty without one.
    std::string CameraName() const;
    int CameraCount() const;

    // Scene time in seconds; scenes run at their file's frame rate, and a static
    // scene (no frame rate) stays at frame 0.
    void SetSeconds(float seconds);
    float Seconds() const { return seconds_; }
    // Moves the time on, wrapping to the start after the last frame.
    void Advance(float seconds);
    // Seconds from the first to the last frame; 0 for a static scene.
    float Duration() const;

    // Clears the back buffer to the scene's colour and draws the frame (the
    // caller presents it).
    void Render();

    ZK3D::Scene* scene() const { return scene_; }
    ZK3D::World* world() const { return world_.get(); }

private:
    ZK3D::Context& context_;
    std::unique_ptr<ZK3D::World> world_;
    ZK3D::Scene* scene_ = nullptr;  // owned by the world
    float seconds_ = 0;
};

// Writes the back buffer, read with Lock, as an RGB PNG; false with the reason.
bool CaptureBackBuffer(ZK3D::Context& context, const std::string& path, std::string* error);

}  // namespace zkview

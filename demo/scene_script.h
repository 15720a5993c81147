// The interface the frame dispatcher drives: one scene script per scene of the
// show. The framework the scripts share and the scripts themselves live beside
// it in demo/; the application sees them only through this interface.
#pragma once

namespace ZK3D {
class Scene;
}

class SceneScript {
public:
    enum State { Created = 0, Running = 1, Finished = 2 };

    virtual ~SceneScript() = default;

    // Creates the script's effects and takes its shared overlays; runs on the main
    // thread right after the script is created.
    virtual void load() = 0;
    // Called once when the script's turn comes; sets the state to Running.
    virtual void start() = 0;
    // Lends this script's scene to another script (the argument is not used).
    virtual ZK3D::Scene* sharedScene(int /*ignored*/) { return nullptr; }
    // One frame while the state is Running; sets Finished when the scene is over.
    virtual void frame() = 0;
    // Right after start(), with the music already where it should be: moves the
    // script on to scene time t as if it had begun t seconds ago. What the script
    // builds up frame by frame (particles, the place in a beat list) starts over
    // at t instead of catching up on everything before it.
    virtual void seek(float /*sceneTime*/) {}

    // Seconds of music the script plays from its start to its end (0 when it
    // plays nothing); lets a run begin at a later script with the music there.
    virtual float duration() const { return 0.0f; }

    int state() const { return state_; }

protected:
    int state_ = Created;
};

// The forest has no turn of its own: its script only holds the scene and lends
// it to the cavern, which cuts to it twice. Started, it finishes at once, so the
// dispatcher moves straight on to the lake.
//
// Data: none (the forest reads no configuration section).
#include "demo/scripts.h"

namespace {

class SceneHolder final : public SceneScript {
public:
    explicit SceneHolder(ZK3D::Scene* scene) : scene_(scene) {}
    void load() override {}
    void start() override { state_ = Finished; }
    ZK3D::Scene* sharedScene(int) override { return scene_; }
    void frame() override {}

private:
    ZK3D::Scene* scene_;
};

}  // namespace

std::unique_ptr<SceneScript> CreateSceneHolder(ZK3D::Scene* scene, const IniFile&) {
    return std::make_unique<SceneHolder>(scene);
}

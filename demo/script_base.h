// What every scene script shares: its scene and start time, scene time and time
// left, choosing cameras by name and by held keys, drawing the scene at the scene
// time, drawing timed overlays in their own BeginScene / EndScene, and the
// opening and closing every scene has.
//
// A script whose scene failed to load says so once when it starts and finishes
// at once: the dispatcher then moves on to the next script instead of playing a
// scene that is not there.
#pragma once

#include <optional>
#include <span>

#include "demo/ini_file.h"
#include "demo/scene_index.h"
#include "demo/scene_script.h"

namespace ZK3D {
class Context;
class Scene;
}  // namespace ZK3D
class OverlayLayer;
class FadeLayer;
class FlashLayer;
namespace timing {
class FlashList;
}
namespace ZK3D {
class zkOverlay;
class ParticleSystem;
class LensFlare;
}  // namespace ZK3D

// A camera key: while the key is held, the camera of that name is used.
struct CameraKey {
    int virtualKey;
    const char* camera;
};

class DemoScript : public SceneScript {
public:
    ZK3D::Scene* scene() const { return scene_; }
    float startTime() const { return startTime_; }
    // The length of the scene's animation.
    float duration() const override;
    // The start time becomes the music time less t.
    void seek(float t) override;

protected:
    DemoScript(ZK3D::Scene* scene, SceneIndex index) : scene_(scene), ordinal_(ClassOrdinal(index)) {}

    // The common start: the scene becomes current, the state running, the music
    // is restarted for the script's class ordinal and the start time taken. False
    // (and the script finished) when there is no scene.
    bool beginStart();
    // Scene time t: music time minus the start time.
    float sceneTime() const;
    // Seconds left in the scene's animation.
    float timeLeft() const;
    // Sets the scene's animation time from t and draws the scene.
    void drawScene(float t);
    // Makes the scene's camera of that name current (none when it has no such camera).
    void selectCamera(const char* name);
    // The camera of the first held key in the list's order, if any is held.
    static const char* heldCamera(std::span<const CameraKey> keys);
    // selectCamera(heldCamera(keys)) when a key is held.
    void applyCameraKeys(std::span<const CameraKey> keys);
    // Draws a layer with the level in its own BeginScene / EndScene; nothing for no level.
    static void drawOverlay(OverlayLayer* layer, std::optional<float> level);
    // Reads the section's "openningduration" and "closingduration".
    void readOpeningAndClosing(const IniFile& config, const char* section);
    // The scene's opening: the layer while scene time t is within the opening
    // duration, at 1 - t / duration (a fade in from black or white).
    void drawOpening(OverlayLayer* layer, float t) const;
    // The scene's closing: the layer while the time left r is within the closing
    // duration, at 1 - r / duration.
    void drawClosing(OverlayLayer* layer, float r) const;
    // The opening, then the closing (a scene shorter than both shows both).
    void drawOpeningAndClosing(float t, float r, OverlayLayer* opening, OverlayLayer* closing) const {
        drawOpening(opening, t);
        drawClosing(closing, r);
    }
    // Sets the state to finished when the scene's animation has run out.
    void finishWhenOver(float r) {
        if (r < 0) state_ = Finished;
    }
    static ZK3D::Context* context();
    // Context::Clear of the whole target.
    static void clear();
    static void present();
    // Takes the demo's shared fade and flash layers.
    void takeSharedLayers();
    // One line of text: position, text, progress, draw.
    static void drawText(ZK3D::zkOverlay* text, float x, float y, const char* line, float level);
    // Loads the particle systems of a .pfd file into the scene and compiles the one
    // the script drives (the file's last); a missing file is reported.
    ZK3D::ParticleSystem* loadParticles(const char* path);
    // Fog off, then the effects in their own BeginScene / EndScene.
    static void drawEffects(ZK3D::ParticleSystem* particles, ZK3D::LensFlare* flare,
                            ZK3D::LensFlare* secondFlare = nullptr);
    // Reads a beat list and its length into flashes.
    static void readFlashList(const IniFile& config, const char* section, const char* listKey, const char* lengthKey,
                              timing::FlashList* flashes);

    ZK3D::Scene* scene_;
    float startTime_ = 0;
    // The camera chosen last, so a table re-evaluated every frame looks a name up
    // only when it changes.
    const char* selectedName_ = nullptr;
    FadeLayer* fade_ = nullptr;    // shared, not owned
    FlashLayer* flash_ = nullptr;  // shared, not owned
    float openingDuration_ = 1, closingDuration_ = 1;

private:
    int ordinal_;  // ClassOrdinal of the script's scene
};

// Reads a float list key into a flash list's values: an empty or missing list
// holds no times at all.
int ReadFloatList(const IniFile& config, const char* section, const char* key, float* out);

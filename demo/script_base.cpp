#include "demo/script_base.h"

#include <cstring>

#include "demo/demo_host.h"
#include "demo/overlay_layer.h"
#include "demo/timing.h"
#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_system.h"
#include "engine/effects/zk_overlay.h"
#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene.h"
#include "engine/scene/world.h"
#include "platform/report.h"
#include "platform/strings.h"
#include "platform/window.h"

using namespace ZK3D;

bool DemoScript::beginStart() {
    if (!scene_) {
        LogMessage("[Script] Script %d has no scene : skipped", ordinal_);
        state_ = Finished;
        return false;
    }
    SetCurrentScene(scene_);
    state_ = Running;
    DemoHost* demo = DemoHost::current();
    if (demo) demo->restartMusic(ordinal_);
    startTime_ = demo ? demo->musicTime() : 0.0f;
    return true;
}

float DemoScript::sceneTime() const {
    const DemoHost* demo = DemoHost::current();
    return (demo ? demo->musicTime() : 0.0f) - startTime_;
}

void DemoScript::seek(float t) {
    const DemoHost* demo = DemoHost::current();
    startTime_ = (demo ? demo->musicTime() : 0.0f) - t;
}

float DemoScript::duration() const {
    if (!scene_ || scene_->animationDescriptor.framesPerSecond <= 0) return 0.0f;
    return float(scene_->animationDescriptor.lastFrame) / float(scene_->animationDescriptor.framesPerSecond);
}

float DemoScript::timeLeft() const { return scene_ ? scene_->TimeLeft() : -1.0f; }

void DemoScript::drawScene(float t) {
    if (!scene_) return;
    scene_->SetTime(t * float(scene_->animationDescriptor.framesPerSecond));
    scene_->render();
}

void DemoScript::selectCamera(const char* name) {
    if (!scene_ || !name) return;
    if (selectedName_ && std::strcmp(selectedName_, name) == 0) return;
    scene_->currentCamera = static_cast<Camera*>(FindNode(scene_->cameras, name));
    selectedName_ = name;
}

const char* DemoScript::heldCamera(std::span<const CameraKey> keys) {
    for (const CameraKey& key : keys)
        if (platform::KeyHeld(key.virtualKey)) return key.camera;
    return nullptr;
}

void DemoScript::applyCameraKeys(std::span<const CameraKey> keys) {
    if (const char* camera = heldCamera(keys)) selectCamera(camera);
}

void DemoScript::drawOverlay(OverlayLayer* layer, std::optional<float> level) {
    if (!level || !layer) return;
    Context* c = context();
    if (!c || !c->device()) return;
    c->device()->BeginScene();
    layer->setLevel(*level);
    layer->draw();
    c->device()->EndScene();
}

void DemoScript::readOpeningAndClosing(const IniFile& config, const char* section) {
    config.getFloat(section, "openningduration", openingDuration_, 1.0f);
    config.getFloat(section, "closingduration", closingDuration_, 1.0f);
}

void DemoScript::drawOpening(OverlayLayer* layer, float t) const {
    drawOverlay(layer, timing::LevelBelow(t, openingDuration_));
}

void DemoScript::drawClosing(OverlayLayer* layer, float r) const {
    drawOverlay(layer, timing::LevelBelow(r, closingDuration_));
}

Context* DemoScript::context() { return CurrentContext(); }

void DemoScript::clear() {
    if (Context* c = context()) c->Clear();
}

void DemoScript::takeSharedLayers() {
    if (DemoHost* demo = DemoHost::current()) {
        fade_ = demo->fadeLayer();
        flash_ = demo->flashLayer();
    }
}

void DemoScript::drawText(ZK3D::zkOverlay* text, float x, float y, const char* line, float level) {
    if (!text) return;
    text->SetPosition(x, y);
    text->SetText(line);
    text->SetAlpha(level);
    text->Draw();
}

ZK3D::ParticleSystem* DemoScript::loadParticles(const char* path) {
    if (!scene_) return nullptr;
    auto file = zkOpenFile(path, DiskFirst);
    ParticleSystem* system = LoadParticleSystems(scene_, file.get());
    if (system) system->compile();
    return system;
}

void DemoScript::drawEffects(ParticleSystem* particles, LensFlare* flare, LensFlare* secondFlare) {
    Context* c = context();
    if (!c || !c->device()) return;
    c->SetFog(false, nullptr);
    c->device()->BeginScene();
    if (particles) particles->render();
    if (flare) flare->render();
    if (secondFlare) secondFlare->render();
    c->device()->EndScene();
}

void DemoScript::readFlashList(const IniFile& config, const char* section, const char* listKey,
                               const char* lengthKey, timing::FlashList* flashes) {
    float times[kFloatListCapacity];
    const int count = ReadFloatList(config, section, listKey, times);
    float length = 1.0f;
    config.getFloat(section, lengthKey, length, 1.0f);
    flashes->set(std::span<const float>(times, size_t(count)), length);
}

void DemoScript::present() {
    if (Context* c = context()) c->Present();
}

int ReadFloatList(const IniFile& config, const char* section, const char* key, float* out) {
    char text[IniFile::kValueBufferSize];
    config.getString(section, key, text, "");
    if (IsBlank(text)) return 0;
    int count = 0;
    parseFloatList(text, out, count);
    return count;
}

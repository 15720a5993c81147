// Creation and release of the render context and the world for Demo::init and
// Demo::shutdown, and the stats overlay the context draws before each present.
#include "app/demo.h"
#include "engine/effects/zk_font.h"
#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/world.h"
#include "platform/gl_stats.h"
#include "platform/report.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

std::string Describe(const platform::RenderResolution& r) {
    std::string size = r.native ? "the native size" : std::to_string(r.width) + " x " + std::to_string(r.height);
    if (!r.width && !r.height && !r.native) size = "640 x 480";
    return size + " with " + std::to_string(r.samples) + (r.samples == 1 ? " sample" : " samples");
}

}  // namespace

bool Demo::createRenderer(bool fullscreen, bool software) {
    if (fullscreen) ZK3D::SetFullScreen(true);
    if (software) ZK3D::SetSoftwareRasterizer();
    ownedContext_ = ZK3D::Context::Create(window_);
    context = ownedContext_.get();
    if (!context) {
        // Without a device nothing can be shown: say so and end instead of playing blind.
        LogError("[RC] - The render context cannot be created");
        return false;
    }
    // Before anything is drawn, so every target is made at its final size. A
    // context that cannot take it draws as it can (at worst the logical size):
    // the show still plays.
    const platform::RenderResolution logical;
    if ((resolution_.width != logical.width || resolution_.height != logical.height ||
         resolution_.native != logical.native || resolution_.samples != logical.samples) &&
        !platform::SetRenderResolution(context->d3dx(), resolution_))
        LogMessage("[GL] Cannot render at %s; drawing at what the device allows", Describe(resolution_).c_str());
    context->SetBeforePresent([this] { drawStats(); });
    ownedWorld_ = ZK3D::CreateWorld(context);
    world = ownedWorld_.get();
    ZK3D::SetCurrentWorld(world);
    return true;
}

void Demo::destroyRenderer() {
    if (ZK3D::CurrentWorld() == world) ZK3D::SetCurrentWorld(nullptr);
    ownedWorld_.reset();
    world = nullptr;
    ownedContext_.reset();
    context = nullptr;
}

void Demo::drawStats() {
    platform::GlStats gl;
    if (!platform::GetGlStats(context->device(), &gl)) gl = {};
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    stats_.measure(now, gl.drawCalls, gl.triangles, &statsSample_);
    if (!stats_.visible()) return;
    ZK3D::zkFont* overlayFont = font();
    if (!overlayFont) return;
    using namespace frame_state;
    statsSample_.showTime = frameState >= Running(0) ? musicTime() : -1.0;
    // The script that drew this frame: the running one, or the one just started.
    int script = RunningScript(frameState);
    if (script < 0) script = StartingScript(frameState) - 1;
    if (script < -1) script = -1;
    if (script != statsScript_) {
        // Names change with the script only: the file is not read every frame.
        statsScript_ = script;
        statsSample_.script = script;
        statsSample_.keys = config.keys(ScriptSection(script));
        char key[32], fileName[IniFile::kValueBufferSize] = "";
        std::snprintf(key, sizeof key, "scene%d_zksfile", script);
        if (script >= 0) config.getString("Scenes", key, fileName, "");
        statsSample_.sceneFile = fileName;
    }
    StatsOverlay::draw(*context, *overlayFont, StatsLines(statsSample_));
    // The overlay's own draws do not count to the next frame.
    if (platform::GetGlStats(context->device(), &gl)) stats_.countFrom(gl.drawCalls, gl.triangles);
}

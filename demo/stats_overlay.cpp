#include "demo/stats_overlay.h"

#include <cstdio>

#include "demo/scene_index.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"
#include "engine/render/context.h"

namespace {

constexpr const char* kScripts[kDemoSceneCount] = {"Jungle", "Cavern", "Forest",   "Lake",  "Temple",
                                                   "Space",  "Earth",  "Computer", "T-Rex", "Greetings"};

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

const char* ScriptName(int script) { return script >= 0 && script < kDemoSceneCount ? kScripts[script] : "?"; }

const char* ScriptSection(int script) {
    return script >= 0 && script < kDemoSceneCount && script != int(SceneIndex::Forest) ? kScripts[script] : nullptr;
}

std::vector<std::string> StatsLines(const StatsSample& s, size_t width) {
    std::vector<std::string> lines;
    lines.push_back(s.showTime >= 0 ? Format("show %.2f s", s.showTime) : std::string("show not started"));
    if (s.script < 0) {
        lines.push_back("loading");
    } else {
        lines.push_back(Format("scene %d/%d %s", s.script + 1, kDemoSceneCount, s.sceneFile.c_str()));
        lines.push_back(Format("script %s", ScriptName(s.script)));
    }
    lines.push_back(s.frameMs > 0 ? Format("%.1f fps, %.2f ms", 1000.0 / s.frameMs, s.frameMs)
                                  : std::string("fps not measured yet"));
    lines.push_back(
        Format("%llu draws, %llu triangles", (unsigned long long)s.drawCalls, (unsigned long long)s.triangles));
    if (s.script < 0) return lines;
    const char* section = ScriptSection(s.script);
    if (!section) {
        lines.push_back("no vlm.ini section");
        return lines;
    }
    std::string line = std::string("[") + section + "]";
    size_t keyLines = 0;
    for (size_t i = 0; i < s.keys.size(); ++i) {
        if (line.size() + 1 + s.keys[i].size() > width) {
            if (++keyLines == kMaxKeyLines) {
                lines.push_back(line + " ...");
                return lines;
            }
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + s.keys[i];
    }
    lines.push_back(line);
    return lines;
}

void StatsOverlay::measure(double now, uint64_t drawCalls, uint64_t triangles, StatsSample* sample) {
    if (last_ >= 0 && now > last_) {
        const double ms = (now - last_) * 1000.0;
        frameMs_ = frameMs_ > 0 ? frameMs_ + (ms - frameMs_) * 0.1 : ms;
    }
    last_ = now;
    // A device reset (counters going back) counts from zero.
    sample->drawCalls = drawCalls >= drawCalls_ ? drawCalls - drawCalls_ : drawCalls;
    sample->triangles = triangles >= triangles_ ? triangles - triangles_ : triangles;
    sample->frameMs = frameMs_;
    drawCalls_ = drawCalls;
    triangles_ = triangles;
}

void StatsOverlay::draw(ZK3D::Context& context, ZK3D::zkFontBase& font, const std::vector<std::string>& lines) {
    const ZK3D::Vector2 scale{kScale, kScale};
    const ZK3D::Color shadow{0, 0, 0, 1}, colour{1, 1, 0.6f, 1};
    const float step = font.LineHeight(scale);
    font.Begin();
    for (int pass = 0; pass < 2; ++pass) {
        const float offset = pass == 0 ? 1.0f : 0.0f;
        float y = kTop + offset;
        for (const std::string& line : lines) {
            ZK3D::Vector2 pen{kLeft + offset, y};
            for (const char ch : line) {
                const auto c = static_cast<unsigned char>(ch);
                font.AddChar(c, pen, scale, pass == 0 ? shadow : colour, 0, 0);
                pen.x += font.CharWidth(c, scale);
            }
            y += step;
        }
    }
    IDirect3DDevice7* device = context.device();
    // A scene's fog would cover the text (the scene sets its fog again when it draws).
    context.SetFog(false, nullptr);
    if (device) device->BeginScene();
    context.ResetStage(1);
    context.SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    context.SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    context.ApplyFlags(ZK3D::OverlayFlags());
    font.Flush();
    if (device) device->EndScene();
}

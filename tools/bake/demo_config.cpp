// The configuration text, section by section.
#include "tools/bake/demo_config.h"

#include <cstdio>

#include "tools/bake/soundtrack.h"

namespace bake {
namespace {

class Ini {
public:
    void Section(const char* name) {
        if (!text_.empty()) text_ += "\n";
        text_ += "[" + std::string(name) + "]\n";
    }
    void Key(const std::string& key, const std::string& value) { text_ += key + "=" + value + "\n"; }
    void Key(const std::string& key, int value) { Key(key, std::to_string(value)); }
    void Key(const std::string& key, double value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.4f", value);
        // Trim trailing zeros: 1.5000 → 1.5, 2.0000 → 2.
        std::string s = buf;
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        Key(key, s);
    }
    void List(const std::string& key, const std::vector<double>& values) {
        std::string s;
        for (double v : values) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.4f", v);
            if (!s.empty()) s += " ";
            s += buf;
        }
        Key(key, s);
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace

std::vector<std::string> CreditLines() {
    return {"CODE",     "the engine crew", "MUSIC",     "synthesised live",
            "GRAPHICS", "pure procedure",  "VELMOOR 2000", "made from source"};
}

std::vector<std::string> GreetingLines() {
    return {
        // block 1: lines 1-3
        "VELMOOR GREETS", "everyone who", "still makes demos",
        "-",  // key 4, never shown
        // block 2: lines 5-11
        "thanks to the", "code we build on:", "SDL", "Mesa", "libjpeg", "libmpg123", "LAME",
        "-",  // key 12, never shown
        // block 3: lines 13-17
        "FreeType", "stb", "GoogleTest", "Google Benchmark", "DejaVu fonts",
        // block 4: lines 18-22
        "and hello to", "every coder", "every musician", "every pixel artist", "at every party",
        // block 5: lines 23-27
        "keep the", "fixed function", "pipeline", "alive and", "shining",
        // block 6: lines 28-32
        "see you", "at the next", "party", "VELMOOR", "2000",
    };
}

FlashLists MakeFlashLists(const ShowPlan& plan, const music::Song& song) {
    const std::vector<double> accents = music::AccentTimes(song);
    FlashLists f;
    f.jungle = SceneTimes(plan, accents, kJungle);
    f.lake = SceneTimes(plan, accents, kLake);
    f.temple = SceneTimes(plan, accents, kTemple);
    f.earth = SceneTimes(plan, accents, kEarth);
    return f;
}

std::string MakeConfig(const ShowPlan& plan, const LoadingPlan& loading, const music::Song& song) {
    const FlashLists flashes = MakeFlashLists(plan, song);
    auto bars = [&](double n) { return plan.Bars(n); };
    Ini ini;

    ini.Section("General");
    ini.Key("fullscreen", 0);
    ini.Key("software", 0);

    ini.Section("Music");
    ini.Key("filename", std::string(kMusicFile));

    ini.Section("Loading");
    ini.Key("scene", std::string(kLoadingSceneFile));
    ini.Key("layer", std::string(kLoadingLayer));
    ini.Key("numscenes", kScriptCount);
    for (int k = 0; k < kScriptCount; ++k) ini.Key("step_scene" + std::to_string(k), loading.stepFrames * (k + 1));
    ini.Key("step_scene" + std::to_string(kScriptCount), loading.finalStep);

    ini.Section("Scenes");
    for (int k = 0; k < kScriptCount; ++k) ini.Key("scene" + std::to_string(k) + "_zksfile", std::string(kSceneFiles[size_t(k)]));

    // Jungle: IntroCam1, IntroCam2, MainCam, IntroCam1 again, MainCam; each cut
    // hidden in a short fade through black, the run flashing on the accents.
    ini.Section("Jungle");
    ini.Key("openningduration", 2.5);
    ini.Key("closingduration", 1.0);
    ini.Key("flash_in", 0.1);
    ini.Key("flash_out", 1.0);
    ini.Key("max_blurlevel", 0.5);
    const double cuts[4] = {bars(4), bars(8), bars(12), bars(14)};
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        ini.Key("openning_introcam" + n, i == 1 ? 0.9 : 0.4);
        ini.Key("transition_introcam" + n, cuts[i]);
        ini.Key("closing_introcam" + n, i == 1 ? 0.25 : 0.4);
    }
    ini.List("syncfx_runaway", flashes.jungle);
    ini.Key("syncfx_runawaylength", 0.35);

    // Cavern: into the forest and back through white, then through black.
    ini.Section("Cavern");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 1.2);
    ini.Key("preopenning_forest1", 0.6);
    ini.Key("openning_forest1", 0.9);
    ini.Key("transition_forest1", bars(plan.cavernCut1));
    ini.Key("duration_forest1", bars(plan.forest1Bars));
    ini.Key("closing_forest1", 0.6);
    ini.Key("postclosing_forest1", 0.9);
    ini.Key("preopenning_forest2", 0.7);
    ini.Key("openning_forest2", 1.0);
    ini.Key("transition_forest2", bars(plan.cavernCut2));
    ini.Key("duration_forest2", bars(plan.forest2Bars));
    ini.Key("closing_forest2", 0.7);
    ini.Key("postclosing_forest2", 1.0);

    // Lake: twelve shots of two bars or one.
    ini.Section("Lake");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 1.2);
    const char* lakeKeys[11] = {"present_seq1",          "present_seq2",         "metaball_left_start",
                                "metaball_left_reverse", "metaball_right_start", "metaball_right_reverse",
                                "metaball_front_start",  "metaball_front_reverse", "ending_seq1",
                                "ending_seq2",           "ending_seq3"};
    const int lakeBars[11] = {2, 4, 6, 8, 9, 11, 12, 14, 15, 16, 18};
    for (int i = 0; i < 11; ++i) ini.Key(lakeKeys[i], bars(lakeBars[i]));
    ini.List("syncfx_metaball", flashes.lake);
    ini.Key("syncfx_metaballlength", 0.4);

    ini.Section("Temple");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 1.2);
    const int templeBars[6] = {2, 4, 6, 9, 12, 14};
    for (int i = 0; i < 6; ++i) ini.Key("changecam_seq" + std::to_string(i + 1), bars(templeBars[i]));
    ini.List("syncfx_flash", flashes.temple);
    ini.Key("syncfx_flashlength", 0.3);

    // Space: four credits, each fading in over a second, held, fading out.
    ini.Section("Space");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 1.5);
    const std::vector<std::string> credits = CreditLines();
    const double appear[4] = {bars(1), bars(5), bars(9), bars(13)};
    for (int i = 0; i < 4; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, "%02d", i + 1);
        ini.Key(std::string("credits_appear") + n, appear[i]);
        ini.Key(std::string("credits_appear_duration") + n, 1.0);
        ini.Key(std::string("credits_duration") + n, i == 3 ? 5.0 : 4.5);
        ini.Key(std::string("credits_text_up") + n, credits[size_t(2 * i)]);
        ini.Key(std::string("credits_text_down") + n, credits[size_t(2 * i + 1)]);
    }
    ini.Key("credits_up_left", 60.0);
    ini.Key("credits_up_up", 360.0);
    ini.Key("credits_down_left", 110.0);
    ini.Key("credits_down_up", 405.0);

    ini.Section("Earth");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 1.0);
    ini.List("syncfx_flash", flashes.earth);
    ini.Key("syncfx_flashlength", plan.BeatSeconds());

    ini.Section("Computer");
    ini.Key("openningduration", 1.0);
    ini.Key("closingduration", 1.0);
    ini.Key("maincam_start", bars(6));

    ini.Section("T-Rex");
    ini.Key("openningduration", 1.0);
    ini.Key("closingduration", 1.5);
    ini.Key("maincam_start", bars(8));

    ini.Section("Greetings");
    ini.Key("openningduration", 1.5);
    ini.Key("closingduration", 3.0);
    ini.Key("maincam_start", bars(16));
    const std::vector<std::string> greetings = GreetingLines();
    for (size_t i = 0; i < greetings.size(); ++i) ini.Key("greetings_text" + std::to_string(i + 1), greetings[i]);

    return ini.text();
}

}  // namespace bake

// The baked vlm.ini, read as the demo reads it (IniFile): every key each
// script reads is there, the loading steps drive the loading scene to its end,
// and every timing agrees with the scene files and the soundtrack beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/ini_file.h"
#include "platform/sound.h"
#include "tools/zks/zks_reader.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDemo = VELMOOR_SHOW_DIR;

class BakedConfig : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kDemo / "vlm.ini")) GTEST_SKIP() << "no baked demo in " << kDemo;
        ini.setPath((kDemo / "vlm.ini").c_str());
    }
    bool Has(const char* section, const std::string& key) const {
        char value[IniFile::kValueBufferSize];
        ini.getString(section, key.c_str(), value, "\x01missing");
        return std::string(value) != "\x01missing";
    }
    float Float(const char* section, const std::string& key) const {
        float v = -1;
        ini.getFloat(section, key.c_str(), v, -1);
        return v;
    }
    std::string String(const char* section, const std::string& key) const {
        char value[IniFile::kValueBufferSize];
        ini.getString(section, key.c_str(), value, "");
        return value;
    }
    std::vector<float> List(const char* section, const char* key) const {
        char value[IniFile::kValueBufferSize];
        ini.getString(section, key, value, "");
        float out[kFloatListCapacity];
        int count = 0;
        parseFloatList(value, out, count);
        return {out, out + count};
    }
    // Seconds of animation in a scene file, and its frame rate.
    zks::Animation Animation(const std::string& file) const {
        zks::Scene s;
        std::string error;
        EXPECT_TRUE(zks::LoadSceneFile((kDemo / file).string(), s, &error)) << file << ": " << error;
        EXPECT_EQ(s.kind, zks::SceneKind::Animated) << file;
        return s.animation;
    }
    float Seconds(const std::string& file) const {
        const zks::Animation a = Animation(file);
        return a.framesPerSecond > 0 ? float(a.lastFrame) / float(a.framesPerSecond) : 0;
    }
    std::string SceneFile(int i) const { return String("Scenes", "scene" + std::to_string(i) + "_zksfile"); }

    IniFile ini;
};

// The keys each script reads, as the scripts spell them.
std::vector<std::string> Numbered(const std::string& stem, int from, int to, bool twoDigits = false) {
    std::vector<std::string> keys;
    for (int i = from; i <= to; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, twoDigits ? "%02d" : "%d", i);
        keys.push_back(stem + n);
    }
    return keys;
}

TEST_F(BakedConfig, EveryKeyAScriptReadsIsPresent) {
    struct Section {
        const char* name;
        std::vector<std::string> keys;
    };
    std::vector<Section> sections = {
        {"General", {"fullscreen", "software"}},
        {"Music", {"filename"}},
        {"Loading", {"scene", "layer", "numscenes"}},
        {"Jungle", {"flash_in", "flash_out", "max_blurlevel", "syncfx_runaway", "syncfx_runawaylength"}},
        {"Cavern", {}},
        {"Lake", {"present_seq1", "present_seq2", "metaball_left_start", "metaball_left_reverse", "metaball_right_start",
                  "metaball_right_reverse", "metaball_front_start", "metaball_front_reverse", "ending_seq1", "ending_seq2",
                  "ending_seq3", "syncfx_metaball", "syncfx_metaballlength"}},
        {"Temple", {"syncfx_flash", "syncfx_flashlength"}},
        {"Space", {"credits_up_left", "credits_up_up", "credits_down_left", "credits_down_up"}},
        {"Earth", {"syncfx_flash", "syncfx_flashlength"}},
        {"Computer", {"maincam_start"}},
        {"T-Rex", {"maincam_start"}},
        {"Greetings", {"maincam_start"}},
    };
    auto add = [&](const char* name, std::vector<std::string> keys) {
        for (Section& s : sections)
            if (std::string(s.name) == name) s.keys.insert(s.keys.end(), keys.begin(), keys.end());
    };
    add("Loading", Numbered("step_scene", 0, 9));
    sections.push_back({"Scenes", Numbered("scene", 0, 9)});
    for (std::string& k : sections.back().keys) k += "_zksfile";
    for (const char* stem : {"openning_introcam", "transition_introcam", "closing_introcam"}) add("Jungle", Numbered(stem, 1, 4));
    for (const char* stem : {"preopenning_forest", "openning_forest", "transition_forest", "duration_forest", "closing_forest",
                             "postclosing_forest"})
        add("Cavern", Numbered(stem, 1, 2));
    add("Temple", Numbered("changecam_seq", 1, 6));
    for (const char* stem : {"credits_appear", "credits_appear_duration", "credits_duration", "credits_text_up",
                             "credits_text_down"})
        add("Space", Numbered(stem, 1, 4, true));
    add("Greetings", Numbered("greetings_text", 1, 32));
    for (Section& s : sections) {
        if (std::string(s.name) != "General" && std::string(s.name) != "Music" && std::string(s.name) != "Loading" &&
            std::string(s.name) != "Scenes") {
            s.keys.push_back("openningduration");
            s.keys.push_back("closingduration");
        }
        for (const std::string& key : s.keys) EXPECT_TRUE(Has(s.name, key)) << "[" << s.name << "] " << key;
    }
    // The greetings end after line 32: the script stops at the first empty one.
    EXPECT_FALSE(Has("Greetings", "greetings_text33"));
}

TEST_F(BakedConfig, TheApplicationSectionsNameFilesThatExist) {
    int numscenes = 0;
    ini.getInt("Loading", "numscenes", numscenes, 0);
    EXPECT_EQ(numscenes, 10);
    for (const std::string& file : {String("Music", "filename"), String("Loading", "scene"), String("Loading", "layer")})
        EXPECT_TRUE(fs::is_regular_file(kDemo / file)) << file;
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(fs::is_regular_file(kDemo / SceneFile(i))) << SceneFile(i);
    EXPECT_EQ(SceneFile(2), "data/forest.zks");  // the scene the cavern borrows
}

TEST_F(BakedConfig, LoadingStepsClimbThroughTheLoadingSceneAndPastItsEnd) {
    const zks::Animation loading = Animation(String("Loading", "scene"));
    std::vector<int> steps;
    for (int n = 0;; ++n) {
        int step = 0;
        ini.getInt("Loading", ("step_scene" + std::to_string(n)).c_str(), step, 0);
        if (step == 0) break;
        steps.push_back(step);
    }
    ASSERT_GE(steps.size(), 11u);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_EQ(std::adjacent_find(steps.begin(), steps.end()), steps.end());
    // One step per scene inside the animation, then one beyond it, or loading never ends.
    for (int k = 0; k < 10; ++k) EXPECT_LE(steps[size_t(k)], loading.lastFrame);
    EXPECT_GT(steps.back(), loading.lastFrame);
}

TEST_F(BakedConfig, TimingsFallInsideTheirScenes) {
    // Jungle: four cuts, ascending, each with its fades inside the scene.
    const float jungle = Seconds(SceneFile(0));
    float previous = 0;
    for (int i = 1; i <= 4; ++i) {
        const std::string n = std::to_string(i);
        const float at = Float("Jungle", "transition_introcam" + n);
        EXPECT_GT(at, previous);
        EXPECT_GT(at - Float("Jungle", "openning_introcam" + n), previous);
        EXPECT_LT(at + Float("Jungle", "closing_introcam" + n), jungle);
        previous = at;
    }
    // Cavern: the two interludes, each as long as the forest plays, the cavern
    // resuming between them.
    const float cavern = Seconds(SceneFile(1)), forest = Seconds(SceneFile(2));
    const float t1 = Float("Cavern", "transition_forest1"), d1 = Float("Cavern", "duration_forest1");
    const float t2 = Float("Cavern", "transition_forest2"), d2 = Float("Cavern", "duration_forest2");
    EXPECT_GT(t1, Float("Cavern", "preopenning_forest1"));
    EXPECT_LT(t1, t2);
    EXPECT_LT(t2, cavern);
    EXPECT_NEAR(d1 + d2, forest, 0.05f);
    // Lake and temple: ascending cuts inside the scene.
    const char* lakeKeys[] = {"present_seq1", "present_seq2", "metaball_left_start", "metaball_left_reverse",
                              "metaball_right_start", "metaball_right_reverse", "metaball_front_start",
                              "metaball_front_reverse", "ending_seq1", "ending_seq2", "ending_seq3"};
    previous = 0;
    for (const char* key : lakeKeys) {
        EXPECT_GT(Float("Lake", key), previous) << key;
        previous = Float("Lake", key);
    }
    EXPECT_LT(previous, Seconds(SceneFile(3)));
    previous = 0;
    for (int i = 1; i <= 6; ++i) {
        EXPECT_GT(Float("Temple", "changecam_seq" + std::to_string(i)), previous);
        previous = Float("Temple", "changecam_seq" + std::to_string(i));
    }
    EXPECT_LT(previous, Seconds(SceneFile(4)));
    // Space: four credits one after the other, each window inside the scene.
    float end = 0;
    for (int i = 1; i <= 4; ++i) {
        char n[4];
        std::snprintf(n, sizeof n, "%02d", i);
        const float a = Float("Space", std::string("credits_appear") + n);
        const float d = Float("Space", std::string("credits_appear_duration") + n);
        const float h = Float("Space", std::string("credits_duration") + n);
        EXPECT_GE(a, end) << "credit " << i << " overlaps the one before, which would hide it";
        end = a + 2 * d + h;
        EXPECT_LT(end, Seconds(SceneFile(5)));
        EXPECT_FALSE(String("Space", std::string("credits_text_up") + n).empty());
    }
    EXPECT_LT(Float("Computer", "maincam_start"), Seconds(SceneFile(7)));
    // Every scene gets time to open and close.
    const char* sections[] = {"Jungle", "Cavern", "", "Lake", "Temple", "Space", "Earth", "Computer", "T-Rex", "Greetings"};
    for (int i = 0; i < 10; ++i) {
        if (!*sections[i]) continue;
        EXPECT_LT(Float(sections[i], "openningduration") + Float(sections[i], "closingduration"), Seconds(SceneFile(i)))
            << sections[i];
    }
}

TEST_F(BakedConfig, FlashListsAscendInsideTheirScenes) {
    const struct {
        const char* section;
        const char* list;
        const char* length;
        int scene;
    } lists[] = {{"Jungle", "syncfx_runaway", "syncfx_runawaylength", 0},
                 {"Lake", "syncfx_metaball", "syncfx_metaballlength", 3},
                 {"Temple", "syncfx_flash", "syncfx_flashlength", 4},
                 {"Earth", "syncfx_flash", "syncfx_flashlength", 6}};
    for (const auto& l : lists) {
        const std::vector<float> times = List(l.section, l.list);
        ASSERT_FALSE(times.empty()) << l.section;
        EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << l.section;
        EXPECT_GE(times.front(), 0.0f);
        EXPECT_LT(times.back(), Seconds(SceneFile(l.scene))) << l.section;
        const float length = Float(l.section, l.length);
        EXPECT_GT(length, 0.0f);
        EXPECT_LT(length, 1.0f) << "a flash longer than a second blurs the beat";
    }
}

TEST_F(BakedConfig, TheSoundtrackOutlastsTheShow) {
    // The scenes play back to back from music time 0 (the cavern with its
    // interludes, the forest inside it).
    float show = 0;
    for (int i = 0; i < 10; ++i) show += i == 2 ? 0 : Seconds(SceneFile(i));
    show += Float("Cavern", "duration_forest1") + Float("Cavern", "duration_forest2");
    auto sound = platform::SoundSystem::Open(44100, platform::ClockKind::Virtual);
    ASSERT_TRUE(sound);
    auto music = platform::MusicStream::Open(*sound, (kDemo / String("Music", "filename")).c_str());
    ASSERT_TRUE(music) << "the soundtrack does not decode";
    const double seconds = double(music->LengthSamples()) / 44100.0;
    // Each script starts a frame or two late; at two frames a second that is a
    // second per scene, and music that stops before the last scene ends would
    // leave the demo waiting for good.
    EXPECT_GT(seconds, show + 9.5);
    EXPECT_LT(seconds, show + 30);
}

}  // namespace

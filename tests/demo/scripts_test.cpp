// The scene scripts on the recording device: which camera each chooses at which
// moment and under which held keys, the cavern's borrowing of the forest, when a
// script finishes, the layers each opens and closes with, the earth's beats, the
// texts of the space, T-Rex and greetings scenes, and the loader thread handing a
// scene over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "app/demo.h"
#include "demo/loader_thread.h"
#include "demo/overlay_layer.h"
#include "demo/script_factory.h"
#include "engine/effects/effect_vertices.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene_loader.h"
#include "platform/window.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"
#include "tools/zks/zks_mesh_builder.h"
#include "tools/zks/zks_writer.h"

namespace fs = std::filesystem;
using testing_support::DrawRecord;
using testing_support::SceneRig;

namespace {

// A full-screen overlay as drawn: 'F' for the fade layer, 'W' for the flash
// layer, with its level as the packed colour holds it (0 to 255).
struct Overlay {
    char layer;
    int level;
    size_t draw;  // its place among the device's draws
};

using ZK3D::ScreenVertex;

const ScreenVertex* Vertices(const DrawRecord& d) { return reinterpret_cast<const ScreenVertex*>(d.vertices.data()); }

// The overlays among the draws from first on: untextured four-vertex strips over
// the whole 640 x 480 screen (the cavern's logo reaches past the last texel).
std::vector<Overlay> OverlaysSince(std::vector<DrawRecord>& draws, size_t first) {
    std::vector<Overlay> out;
    for (size_t i = first; i < draws.size(); ++i) {
        const DrawRecord& d = draws[i];
        if (d.type != D3DPT_TRIANGLESTRIP || d.vertexCount != 4 || d.textures[0]) continue;
        const ScreenVertex* v = Vertices(d);
        if (v[0].x != 0 || v[0].y != 0 || v[3].x != 640 || v[3].y != 480 || v[3].u != 1) continue;
        const auto blend = d.renderStates.find(D3DRENDERSTATE_DESTBLEND);
        const bool flash = blend != d.renderStates.end() && blend->second == D3DBLEND_ONE;
        out.push_back({flash ? 'W' : 'F', int(flash ? v[0].diffuse & 0xFF : v[0].diffuse >> 24), i});
    }
    return out;
}

// The layers ('F', 'W') drawn at a level, in order.
std::string LayersAt(const std::vector<Overlay>& overlays, int level) {
    std::string out;
    for (const Overlay& o : overlays)
        if (o.level == level) out += o.layer;
    return out;
}

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearKeyOverrides();
        config_ = fs::temp_directory_path() / ("scripts_" + std::to_string(::getpid()) + ".ini");
    }
    void TearDown() override {
        platform::ClearKeyOverrides();
        fs::remove(config_);
    }
    void Config(const std::string& text) { std::ofstream(config_) << text; }
    // Makes the script for index on the rig's scene, gives it cameras, loads and starts it at music time 0.
    std::unique_ptr<SceneScript> Start(int index, std::initializer_list<const char*> cameras) {
        for (const char* c : cameras) rig_.AddCamera(c, nullptr);
        rig_.scene->animationDescriptor = {0, 3000, 30};  // 100 s
        demo_.overrideMusicTime(0);
        auto script = createScript(index, config_.c_str(), rig_.scene);
        script->load();
        script->start();
        return script;
    }
    // The name of the camera the scene is viewed through after a frame at music time t.
    std::string CameraAt(SceneScript& script, float t) {
        demo_.overrideMusicTime(t);
        script.frame();
        return rig_.scene->currentCamera ? rig_.scene->currentCamera->name() : "(none)";
    }

    testing_support::LogCapture log_;
    SceneRig rig_;
    Demo demo_;
    fs::path config_;
};

}  // namespace

TEST_F(ScriptTest, LakeCutsThroughItsElevenCamerasAndKeysOverrideThem) {
    Config("[Lake]\npresent_seq1=2\npresent_seq2=4\nmetaball_left_start=6\nmetaball_left_reverse=8\n"
           "metaball_right_start=10\nmetaball_right_reverse=12\nmetaball_front_start=14\n"
           "metaball_front_reverse=16\nending_seq1=18\nending_seq2=20\nending_seq3=22\n");
    auto lake = Start(3, {"MainCam", "FarStrafeCam", "RotCam", "RotCamML01", "RotCamML02", "RotCamMR01",
                          "RotCamMR02", "StrafeCamFF01", "StrafeCamFF02", "LowRotCam", "RotCamMeta01"});
    EXPECT_EQ(CameraAt(*lake, 1), "MainCam");
    EXPECT_EQ(CameraAt(*lake, 5), "RotCam");
    EXPECT_EQ(CameraAt(*lake, 19), "RotCam");  // between "ending_seq1" and "ending_seq2"
    EXPECT_EQ(CameraAt(*lake, 21), "FarStrafeCam");
    EXPECT_EQ(CameraAt(*lake, 30), "MainCam");
    platform::SetKeyOverride(platform::VK_INSERT, true);
    EXPECT_EQ(CameraAt(*lake, 5), "RotCamMeta01");
    platform::SetKeyOverride(platform::VK_UP, true);
    EXPECT_EQ(CameraAt(*lake, 5), "MainCam");  // the up arrow comes first in the lake's key order
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*lake, 9), "RotCamML02");  // the table again once the keys are released
}

TEST_F(ScriptTest, TempleStartsOnMainCamAndCyclesThree) {
    Config("[Temple]\nchangecam_seq1=5\nchangecam_seq2=10\nchangecam_seq3=15\nchangecam_seq4=20\n"
           "changecam_seq5=25\nchangecam_seq6=30\n");
    auto temple = Start(4, {"LowCam", "UpCam", "MainCam"});
    EXPECT_STREQ(rig_.scene->currentCamera->name(), "MainCam");
    EXPECT_EQ(CameraAt(*temple, 12), "UpCam");
    EXPECT_EQ(CameraAt(*temple, 22), "LowCam");
    EXPECT_EQ(CameraAt(*temple, 30), "MainCam");
}

TEST_F(ScriptTest, ComputerSwitchesAtItsMomentAndTRexKeepsAKeyChoice) {
    Config("[Computer]\nmaincam_start=6\n[T-Rex]\nmaincam_start=6\n");
    auto computer = Start(7, {"IntroCam01", "MainCam"});
    EXPECT_EQ(CameraAt(*computer, 5.9f), "IntroCam01");
    EXPECT_EQ(CameraAt(*computer, 6), "MainCam");
    platform::SetKeyOverride(platform::VK_DOWN, true);
    EXPECT_EQ(CameraAt(*computer, 8), "IntroCam01");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*computer, 8), "MainCam");

    auto trex = createScript(8, config_.c_str(), rig_.scene);
    trex->load();
    rig_.scene->currentCamera = static_cast<ZK3D::Camera*>(ZK3D::FindNode(rig_.scene->cameras, "IntroCam01"));
    trex->start();
    EXPECT_EQ(CameraAt(*trex, 30), "IntroCam01");  // no table: the scene keeps its camera
    platform::SetKeyOverride(platform::VK_UP, true);
    EXPECT_EQ(CameraAt(*trex, 2), "MainCam");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*trex, 30), "MainCam");  // stays after the key is released
}

TEST_F(ScriptTest, JungleCutsBetweenItsIntroCameras) {
    Config("[Jungle]\ntransition_introcam1=4\ntransition_introcam2=8\ntransition_introcam3=12\n"
           "transition_introcam4=16\n");
    auto jungle = Start(0, {"IntroCam1", "IntroCam2", "MainCam"});
    EXPECT_EQ(CameraAt(*jungle, 3.9f), "IntroCam1");
    EXPECT_EQ(CameraAt(*jungle, 4), "IntroCam2");
    EXPECT_EQ(CameraAt(*jungle, 10), "MainCam");
    EXPECT_EQ(CameraAt(*jungle, 14), "IntroCam1");
    platform::SetKeyOverride(platform::VK_LEFT, true);
    EXPECT_EQ(CameraAt(*jungle, 20), "IntroCam1");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*jungle, 20), "MainCam");
}

TEST_F(ScriptTest, AScriptFinishesInTheFirstFramePastItsScene) {
    Config("");
    auto computer = Start(7, {"MainCam"});
    rig_.scene->animationDescriptor = {0, 60, 30};  // 2 s
    demo_.overrideMusicTime(2.0f);
    computer->frame();
    EXPECT_EQ(computer->state(), SceneScript::Running);
    EXPECT_FLOAT_EQ(computer->duration(), 2.0f);
    demo_.overrideMusicTime(2.05f);
    computer->frame();
    EXPECT_EQ(computer->state(), SceneScript::Finished);
}

TEST_F(ScriptTest, TheCavernBorrowsTheForestAndShowsItInItsInterludes) {
    Config("[Cavern]\ntransition_forest1=10\nduration_forest1=5\ntransition_forest2=20\nduration_forest2=6\n");
    ZK3D::Scene* forest = ZK3D::CreateScene(rig_.world.get(), "Forest");
    forest->animationDescriptor = {0, 3000, 30};
    auto* forward = new ZK3D::Camera("ForwardCam");
    auto* strafe = new ZK3D::Camera("StrafeCam");
    ZK3D::AddNode(forward, &forest->cameras);
    ZK3D::AddNode(strafe, &forest->cameras);
    demo_.scripts.push_back(nullptr);
    demo_.scripts.push_back(nullptr);
    demo_.scripts.push_back(createScript(2, config_.c_str(), forest));
    auto cavern = Start(1, {"MainCam"});
    EXPECT_FLOAT_EQ(cavern->duration(), 100.0f + 5 + 6);

    demo_.overrideMusicTime(12);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), forest);
    EXPECT_FLOAT_EQ(forest->time, 2 * 30);
    EXPECT_EQ(forest->currentCamera, forward);

    demo_.overrideMusicTime(18);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), rig_.scene);
    EXPECT_FLOAT_EQ(rig_.scene->time, 13 * 30);

    demo_.overrideMusicTime(27);
    cavern->frame();
    EXPECT_FLOAT_EQ(forest->time, 7 * 30);
    EXPECT_EQ(forest->currentCamera, strafe);

    demo_.overrideMusicTime(40);
    cavern->frame();
    EXPECT_FLOAT_EQ(rig_.scene->time, 29 * 30);
    EXPECT_EQ(cavern->state(), SceneScript::Running);
}

TEST_F(ScriptTest, WithoutAForestTheCavernPlaysStraightThrough) {
    Config("[Cavern]\ntransition_forest1=10\nduration_forest1=5\ntransition_forest2=20\nduration_forest2=6\n");
    auto cavern = Start(1, {"MainCam"});
    EXPECT_FLOAT_EQ(cavern->duration(), 100.0f);
    demo_.overrideMusicTime(12);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), rig_.scene);
    EXPECT_FLOAT_EQ(rig_.scene->time, 12 * 30);
}

TEST_F(ScriptTest, EachScriptOpensAndClosesWithItsOwnLayer) {
    std::string config;
    for (const char* section : {"Jungle", "Cavern", "Lake", "Temple", "Space", "Earth", "Computer", "T-Rex", "Greetings"})
        config += std::string("[") + section + "]\nopenningduration=2\nclosingduration=3\n";
    // Keep the jungle's cuts and the cavern's interludes out of the way.
    config += "[Jungle]\ntransition_introcam1=50\ntransition_introcam2=50\ntransition_introcam3=50\n"
              "transition_introcam4=50\n[Cavern]\ntransition_forest1=40\ntransition_forest2=60\n";
    Config(config);
    struct Case {
        int index;
        const char* name;
        const char* opening;  // "F" fades in from black, "W" clears from white
        const char* closing;  // "F" fades out to black, "W" to white
    };
    const Case cases[] = {{0, "jungle", "F", "F"},   {1, "cavern", "F", "W"}, {3, "lake", "W", "F"},
                          {4, "temple", "F", "W"},   {5, "space", "W", "F"},  {6, "earth", "F", "F"},
                          {7, "computer", "F", "F"}, {8, "t-rex", "F", "F"},  {9, "greetings", "F", "F"}};
    auto& draws = rig_.platform.device().draws();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        demo_.flashLayer()->setLevel(0);  // the earth draws the flash layer again at the level it holds
        auto script = Start(c.index, {});
        // t = 0.5 of a 2 s opening: level 0.75, packed 191.
        size_t mark = draws.size();
        CameraAt(*script, 0.5f);
        EXPECT_EQ(LayersAt(OverlaysSince(draws, mark), 191), c.opening);
        // 1.5 s left of a 3 s closing: level 0.5, packed 128.
        mark = draws.size();
        CameraAt(*script, script->duration() - 1.5f);
        EXPECT_EQ(LayersAt(OverlaysSince(draws, mark), 128), c.closing);
    }
}

TEST_F(ScriptTest, TheEarthsBeatsDriveItsBlurAndAWeakFlash) {
    Config("[Earth]\nsyncfx_flash=12 20\nsyncfx_flashlength=0.5\n");
    auto earth = Start(6, {});
    auto& draws = rig_.platform.device().draws();
    auto& log = rig_.platform.log();
    // Played first (--start-scene), no script has set the flash: it adds nothing.
    const size_t first = draws.size();
    CameraAt(*earth, 1);
    EXPECT_EQ(LayersAt(OverlaysSince(draws, first), 0), "W");
    demo_.flashLayer()->setLevel(0.6f);  // as a previous script leaves it
    struct Case {
        float t;
        int copies;           // zoomed copies the blur adds: 10 x its factor
        const char* flashes;  // the flash layer's draws at that level
        int level;
    };
    const Case cases[] = {
        {5, 0, "W", 153},        // before the first beat: no zoom, the flash as it was left
        {12.25f, 5, "WW", 38},   // half way through the beat: factor 0.5, flash 0.3 x 0.5
        {13, 5, "W", 38},        // between beats both keep the values of the beat's last frame
        {20.125f, 7, "WW", 57},  // a quarter into the next: factor 0.75, flash 0.225
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        const size_t mark = draws.size(), calls = log.mark();
        CameraAt(*earth, c.t);
        const auto overlays = OverlaysSince(draws, mark);
        EXPECT_EQ(LayersAt(overlays, c.level), c.flashes);
        EXPECT_EQ(overlays.size(), std::string(c.flashes).size());
        // The blur draws its base image (6 vertices), then its copies.
        const auto since = log.since(calls);
        const auto base = std::find(since.begin(), since.end(), "DrawPrimitive(4,452,6,1)");
        ASSERT_NE(base, since.end());
        const auto copies = std::find_if(base + 1, since.end(), [](const std::string& call) {
            return call.rfind("DrawPrimitive(", 0) == 0;
        });
        ASSERT_NE(copies, since.end());
        EXPECT_EQ(*copies, "DrawPrimitive(4,452," + std::to_string(6 * c.copies) + ",1)");
    }
}

namespace {

// Scripts that write text, with a font of their own in the working directory:
// glyph c sits at u = c / 256 on the page (so a drawn quad tells its character)
// and is 10, 20, 30 or 40 pixels wide by its code; lines are 20 pixels high.
class TextScriptTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        home_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("scripts_font_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "data");
        float metrics[1 + 256 * 4 + 256] = {20};
        for (int c = 0; c < 256; ++c) {
            metrics[1 + 4 * c] = float(c) / 256;
            metrics[1 + 4 * c + 2] = float(c + 1) / 256;
            metrics[1 + 4 * c + 3] = 1;
            metrics[1 + 1024 + c] = Width(char(c));
        }
        static_assert(sizeof metrics == 5124);
        std::ofstream(dir_ / "data" / "bankgothic.vft", std::ios::binary)
            .write(reinterpret_cast<const char*>(metrics), sizeof metrics);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(dir_);
        ScriptTest::TearDown();
    }
    static float Width(char c) { return float((static_cast<unsigned char>(c) % 4 + 1) * 10); }
    static float Width(const std::string& text) {
        float sum = 0;
        for (char c : text) sum += Width(c);
        return sum;
    }

    struct Glyph {
        char c;
        float x, y;  // centre
        int alpha;
    };
    struct Text {
        std::vector<Glyph> glyphs;  // every character quad drawn, echoes included
        int draws = 0;              // text draws (font batches), empty ones included
        size_t firstDraw = SIZE_MAX;
        std::set<char> Characters() const {
            std::set<char> out;
            for (const Glyph& g : glyphs) out.insert(g.c);
            return out;
        }
        bool Has(char c, float x, float y, int alpha) const {
            for (const Glyph& g : glyphs)
                if (g.c == c && g.x == x && g.y == y && g.alpha == alpha) return true;
            return false;
        }
    };
    // The text a frame at music time t draws: the font's batches are the
    // triangle lists of quads at depth 1, and the empty ones.
    Text TextAt(SceneScript& script, float t) {
        auto& draws = rig_.platform.device().draws();
        const size_t mark = draws.size();
        CameraAt(script, t);
        Text text;
        for (size_t i = mark; i < draws.size(); ++i) {
            const DrawRecord& d = draws[i];
            const ScreenVertex* v = Vertices(d);
            if (d.type != D3DPT_TRIANGLELIST || d.buffer || (d.vertexCount && v[0].z != 1)) continue;
            ++text.draws;
            text.firstDraw = std::min(text.firstDraw, i);
            for (DWORD q = 0; q + 6 <= d.vertexCount; q += 6)
                text.glyphs.push_back({char(std::lround(v[q].u * 256)), (v[q].x + v[q + 2].x) / 2,
                                       (v[q].y + v[q + 1].y) / 2, int(v[q].diffuse >> 24)});
        }
        return text;
    }

    fs::path home_, dir_;
};

}  // namespace

TEST_F(TextScriptTest, SpaceShowsOneCreditAtATimeAndCentresTheLast) {
    Config("[Space]\ncredits_up_left=100\ncredits_up_up=300\ncredits_down_left=150\ncredits_down_up=340\n"
           "credits_appear01=10\ncredits_appear_duration01=1\ncredits_duration01=4\n"   // 10 to 16
           "credits_appear02=12\ncredits_appear_duration02=1\ncredits_duration02=6\n"   // 12 to 20
           "credits_appear03=20\ncredits_appear_duration03=1\ncredits_duration03=4\n"   // 20 to 26
           "credits_appear04=26\ncredits_appear_duration04=10\ncredits_duration04=20\n"  // 26 to 66
           "credits_text_up01=A\ncredits_text_down01=B\ncredits_text_up02=C\ncredits_text_down02=D\n"
           "credits_text_up03=E\ncredits_text_down03=F\ncredits_text_up04=GHIJ\ncredits_text_down04=K\n");
    auto space = Start(5, {});
    // Credits 1 and 2 both hold t = 13: the first one wins, both its lines fully shown.
    Text text = TextAt(*space, 13);
    EXPECT_EQ(text.Characters(), (std::set<char>{'A', 'B'}));
    EXPECT_TRUE(text.Has('A', 100 + Width('A') / 2, 300, 255));
    EXPECT_TRUE(text.Has('B', 150 + Width('B') / 2, 340, 255));
    EXPECT_EQ(TextAt(*space, 17).Characters(), (std::set<char>{'C', 'D'}));
    // Credit 3 ends where credit 4 begins: at that moment only credit 4's one line is drawn.
    EXPECT_EQ(TextAt(*space, 26).draws, 1);
    EXPECT_EQ(TextAt(*space, 25.9f).draws, 2);
    // At level 0.4 the last credit has revealed its middle letters first: I, then J.
    EXPECT_EQ(TextAt(*space, 30).Characters(), (std::set<char>{'I', 'J'}));
    // Fully shown, it is centred on the screen at the up line's height; its down line never shows.
    text = TextAt(*space, 40);
    const float left = 320 - Width("GHIJ") / 2;
    EXPECT_EQ(text.glyphs.size(), 4u);
    EXPECT_TRUE(text.Has('G', left + Width('G') / 2, 300, 255));
    EXPECT_TRUE(text.Has('H', left + Width('G') + Width('H') / 2, 300, 255));
    EXPECT_TRUE(text.Has('J', left + Width("GHI") + Width('J') / 2, 300, 255));
}

TEST_F(TextScriptTest, TRexWritesTheTitleFromFifteenAndTheYearFromTwenty) {
    Config("[T-Rex]\nclosingduration=3\n");
    auto trex = Start(8, {});
    EXPECT_EQ(TextAt(*trex, 14).draws, 0);
    // Between 14 and 15 the title is drawn with a negative level: nothing shows.
    const Text early = TextAt(*trex, 14.5f);
    EXPECT_EQ(early.draws, 1);
    EXPECT_TRUE(early.glyphs.empty());
    // Level 0.5: the first four of its seven letters have arrived.
    EXPECT_EQ(TextAt(*trex, 15.5f).Characters(), (std::set<char>{'V', 'e', 'l', 'm'}));
    EXPECT_EQ(TextAt(*trex, 20).draws, 1);
    // At 20.5 the title (level 5.5) is complete; of the year (level 0.5) "20" has arrived.
    const Text both = TextAt(*trex, 20.5f);
    ASSERT_EQ(both.draws, 2);
    EXPECT_TRUE(both.Has('V', 50 + Width('V') / 2, 400, 255));
    EXPECT_TRUE(both.Has('r', 50 + Width("Velmoor") - Width('r') / 2, 400, 255));
    EXPECT_TRUE(both.Has('2', 220 + Width('2') / 2, 450, 255));
    int zeros = 0;
    for (const Glyph& g : both.glyphs) zeros += g.c == '0' && g.alpha == 255;
    EXPECT_EQ(zeros, 1);
    // The titles are drawn over the closing fade, so they stay while the scene fades out.
    auto& draws = rig_.platform.device().draws();
    const size_t mark = draws.size();
    const Text closing = TextAt(*trex, trex->duration() - 1.5f);
    const auto fades = OverlaysSince(draws, mark);
    ASSERT_EQ(LayersAt(fades, 128), "F");
    EXPECT_LT(fades.back().draw, closing.firstDraw);
}

TEST_F(TextScriptTest, GreetingsVeilTheSceneAndWriteTheirBlocksLineByLine) {
    // Line k of the configuration is the single character 'A' + k - 1.
    std::string config = "[Greetings]\nclosingduration=3\n";
    for (int k = 1; k <= 32; ++k) config += "greetings_text" + std::to_string(k) + "=" + char('A' + k - 1) + "\n";
    Config(config);
    auto greetings = Start(9, {});
    auto& draws = rig_.platform.device().draws();
    auto x = [](char c) { return 30 + Width(c) / 2; };
    // t = 7.5 in block 1 (lines 1 to 3, one second apart, 8 s each): levels 0.5, 1.5 and 2.5.
    size_t mark = draws.size();
    Text text = TextAt(*greetings, 7.5f);
    EXPECT_EQ(text.Characters(), (std::set<char>{'A', 'B', 'C'}));
    EXPECT_TRUE(text.Has('A', x('A'), 40, 128));
    EXPECT_TRUE(text.Has('B', x('B'), 60, 255));
    EXPECT_TRUE(text.Has('C', x('C'), 80, 255));
    // The veil darkens the scene at 0.8 in every frame, under the text.
    auto overlays = OverlaysSince(draws, mark);
    ASSERT_EQ(LayersAt(overlays, 204), "F");
    EXPECT_LT(overlays.back().draw, text.firstDraw);
    // t = 16.5 in block 2 (lines 5 to 11): its first line at 1.5, its second at 0.5, the third not yet.
    text = TextAt(*greetings, 16.5f);
    EXPECT_EQ(text.Characters(), (std::set<char>{'E', 'F'}));
    EXPECT_TRUE(text.Has('E', x('E'), 40, 255));
    EXPECT_TRUE(text.Has('F', x('F'), 60, 128));
    // Over the whole scene every line of the six blocks shows, except the fourth and the twelfth.
    std::set<char> shown;
    for (float t = 0; t < 60; t += 0.5f)
        for (const Glyph& g : TextAt(*greetings, t).glyphs) shown.insert(g.c);
    std::set<char> expected;
    for (int k = 1; k <= 32; ++k)
        if (k != 4 && k != 12) expected.insert(char('A' + k - 1));
    EXPECT_EQ(shown, expected);
    // While the scene closes, the veil comes after the closing fade.
    mark = draws.size();
    CameraAt(*greetings, greetings->duration() - 1.5f);
    overlays = OverlaysSince(draws, mark);
    ASSERT_EQ(overlays.size(), 2u);
    EXPECT_EQ(overlays[0].level, 128);
    EXPECT_EQ(overlays[1].level, 204);
}

TEST(LoaderThread, PublishesItsSceneBeforeItSaysFinished) {
    testing_support::LogCapture log;
    SceneRig rig;
    // A scene big enough to take a while to read.
    zks::Scene big;
    big.name = "Big";
    for (int i = 0; i < 40; ++i) {
        zks::Mesh m = zks::SphereMesh(1, 64, 32);
        m.name = "Ball" + std::to_string(i);
        big.meshes.push_back(m);
    }
    const fs::path path = fs::temp_directory_path() / ("big_" + std::to_string(::getpid()) + ".zks");
    ASSERT_TRUE(zks::SaveScene(big, path.string()));

    LoaderThread loader(rig.world.get(), path.c_str());
    EXPECT_EQ(loader.state(), Thread::Created);
    EXPECT_EQ(loader.scene(), nullptr);
    ASSERT_TRUE(loader.start());
    int polls = 0;
    while (loader.state() != Thread::Finished) {
        ++polls;  // the main thread keeps going while the file is read
        std::this_thread::yield();
    }
    ASSERT_NE(loader.scene(), nullptr);
    EXPECT_STREQ(loader.scene()->name(), "Big");
    EXPECT_EQ(ZK3D::FindNode(loader.scene()->meshes, "Ball39") != nullptr, true);
    EXPECT_GT(polls, 0);

    // Released while it reads (Escape during loading): the release waits for the
    // load, which still finds its file name and completes.
    {
        auto again = std::make_unique<LoaderThread>(rig.world.get(), path.c_str());
        ASSERT_TRUE(again->start());
    }
    int bigs = 0;
    for (ZK3D::Node* n = rig.world->scenes; n; n = n->next) bigs += std::string(n->name()) == "Big";
    EXPECT_EQ(bigs, 2);
    fs::remove(path);

    LoaderThread missing(rig.world.get(), "/nonexistent/scene.zks");
    missing.wait();  // never started: returns at once
    ASSERT_TRUE(missing.start());
    missing.wait();
    EXPECT_EQ(missing.state(), Thread::Finished);
    EXPECT_EQ(missing.scene(), nullptr);
}

// The bake: soundtrack on one thread; textures, font, scenes and descriptions
// on the other; the configuration last, once everything it names exists.
#include "tools/bake/baker.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>

#include "platform/progress.h"
#include "tools/bake/demo_config.h"
#include "tools/bake/scenes.h"
#include "tools/bake/show_plan.h"
#include "tools/bake/soundtrack.h"
#include "tools/bake/textures.h"
#include "tools/font/font_builder.h"
#include "tools/music/audio_file.h"
#include "tools/music/synth.h"
#include "tools/zks/zks_writer.h"

namespace bake {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kManifest = "bake-manifest.txt";
constexpr int kMp3Kbps = 128;

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

struct MusicResult {
    bool ok = false;
    std::string error;
    double seconds = 0;
};

MusicResult MakeMusic(const music::Song& song, const fs::path& path) {
    MusicResult r;
    const auto begin = Clock::now();
    music::Pcm pcm;
    r.ok = music::RenderSong(song, pcm, &r.error) && music::SaveMp3(pcm, kMp3Kbps, path.string(), &r.error);
    r.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return r;
}

// Removes what the previous bake wrote and this one did not.
void RemoveStale(const fs::path& dir, const std::vector<std::string>& files) {
    std::ifstream in(dir / kManifest);
    const std::set<std::string> now(files.begin(), files.end());
    std::string line;
    while (std::getline(in, line)) {
        // Only plain relative names inside the directory.
        if (line.empty() || line[0] == '/' || line.find("..") != std::string::npos || now.count(line)) continue;
        std::error_code ignored;
        fs::remove(dir / line, ignored);
    }
}

// The bake's steps: textures, font, the eleven scenes, the flares, the
// soundtrack (made alongside, waited for here) and the configuration.
constexpr uint64_t kSteps = 2 + 11 + 3;

bool BakeContent(const fs::path& dir, BakeReport* report, std::string* error) {
    platform::ProgressReporter progress("bake", "step");
    progress.setTotal(kSteps);
    uint64_t step = 0;
    const auto begin = [&](const std::string& what) { progress.update(step++, -1, what); };
    const ShowPlan plan;
    const LoadingPlan loading;
    const music::Song song = ShowSong(plan);
    std::string why;
    if (!music::CheckSong(song, &why)) {
        *error = "soundtrack: " + why;
        return false;
    }
    report->showSeconds = plan.ShowSeconds();
    std::error_code ec;
    fs::create_directories(dir / "data", ec);
    if (ec) {
        *error = "cannot make " + (dir / "data").string();
        return false;
    }

    std::future<MusicResult> music = std::async(std::launch::async, MakeMusic, song, dir / kMusicFile);
    std::vector<std::string>& files = report->files;
    auto fail = [&](const std::string& text) {
        music.wait();
        *error = text;
        return false;
    };

    begin("textures");
    if (!tex::WriteTextures(dir.string(), &files, &why)) return fail("textures: " + why);

    begin("font");
    font::FontOptions fontOptions;
    fontOptions.pixelSize = 30;
    font::BuiltFont builtFont;
    if (!font::BuildFont(fontOptions, builtFont, &why) ||
        !font::SaveFont(builtFont, (dir / "data/bankgothic.vft").string(), (dir / "data/bankgothic.dds").string(),
                        font::PageFormat::A8R8G8B8, &why))
        return fail("font: " + why);
    files.push_back("data/bankgothic.vft");
    files.push_back("data/bankgothic.dds");

    struct Job {
        const char* file;
        SceneFiles (*make)(const ShowPlan&);
    };
    const Job jobs[] = {{kSceneFiles[kJungle], MakeJungleScene},       {kSceneFiles[kCavern], MakeCavernScene},
                        {kSceneFiles[kForest], MakeForestScene},       {kSceneFiles[kLake], MakeLakeScene},
                        {kSceneFiles[kTemple], MakeTempleScene},       {kSceneFiles[kSpace], MakeSpaceScene},
                        {kSceneFiles[kEarth], MakeEarthScene},         {kSceneFiles[kComputer], MakeComputerScene},
                        {kSceneFiles[kTRex], MakeTRexScene},           {kSceneFiles[kGreetings], MakeGreetingsScene}};
    const auto bakeScene = [&](const std::string& file, auto make) {
        begin("scene " + file);
        SceneFiles scene;
        try {
            scene = make();
        } catch (const std::exception& e) {
            return fail(std::string("scene: ") + e.what());
        }
        if (!zks::SaveScene(scene.scene, (dir / file).string(), &why)) return fail(file + ": " + why);
        files.push_back(file);
        if (!scene.particleFile.empty()) {
            if (!WriteText(dir / scene.particleFile, scene.particles, &why)) return fail(why);
            files.push_back(scene.particleFile);
        }
        return true;
    };
    if (!bakeScene(kLoadingSceneFile, [&] { return MakeLoadingScene(loading); })) return false;
    for (const Job& job : jobs)
        if (!bakeScene(job.file, [&] { return job.make(plan); })) return false;
    begin("lens flares");
    if (!WriteText(dir / "data/cavern.lfd", CavernFlare(), &why) || !WriteText(dir / "data/lake.lfd", LakeFlare(), &why))
        return fail(why);
    files.push_back("data/cavern.lfd");
    files.push_back("data/lake.lfd");

    begin("soundtrack");
    const MusicResult m = music.get();
    report->musicSeconds = m.seconds;
    if (!m.ok) {
        *error = "soundtrack: " + m.error;
        return false;
    }
    files.push_back(kMusicFile);

    // The configuration names everything above, so it comes last: a bake that
    // stops half way leaves no vlm.ini behind (and the build runs it again).
    begin("vlm.ini");
    if (!WriteText(dir / "vlm.ini", MakeConfig(plan, loading, song), &why)) return fail(why);
    files.push_back("vlm.ini");
    progress.update(step);
    progress.finish();
    return true;
}

}  // namespace

bool Bake(const std::string& outDir, BakeReport* report, std::string* error) {
    const auto begin = Clock::now();
    const fs::path dir(outDir);
    std::error_code ignored;
    fs::remove(dir / "vlm.ini", ignored);
    if (!BakeContent(dir, report, error)) return false;
    RemoveStale(dir, report->files);
    std::ostringstream manifest;
    for (const std::string& f : report->files) manifest << f << "\n";
    if (!WriteText(dir / kManifest, manifest.str(), error)) return false;
    report->seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return true;
}

}  // namespace bake

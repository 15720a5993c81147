// zksdump: prints what a ZKS scene file holds and, with --check, what a loader
// would read differently from what its author probably meant.
//
// Exit status: 0 read (and, with --check, no problems), 1 problems found,
// 2 unreadable file or bad arguments.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/zks/zks_reader.h"
#include "tools/zks/zks_writer.h"

namespace {

const char kUsage[] =
    "usage: zksdump [--check] [--keys] FILE.zks\n"
    "\n"
    "Prints the records of a ZKS scene file: descriptor, animation, fog, meshes,\n"
    "cameras, lights, gizmos, materials with their textures, the node tree with\n"
    "controllers and key tracks, extension chunks.\n"
    "\n"
    "  --check  also list problems: counts that disagree with the records,\n"
    "           tracks without a key layout, unsorted keys, faces beyond the\n"
    "           vertex count, parents not listed before their children, ...\n"
    "  --keys   print every key of every track\n";

const char* ShapeName(const zks::GizmoShape& shape) {
    switch (shape.index()) {
    case 1: return "box";
    case 2: return "sphere";
    case 3: return "plane";
    case 4: return "vector";
    default: return "point";
    }
}

void PrintColor(const char* label, const zks::Color& c) {
    std::printf("%s %.3f %.3f %.3f %.3f\n", label, c.r, c.g, c.b, c.a);
}

void PrintTrack(const char* slot, const std::optional<zks::KeyTrack>& track, bool keys) {
    if (!track) return;
    const int32_t count = track->countOverride.value_or(int32_t(track->keys.size()));
    std::printf("      %s track: value type %d, interpolation %d, %d keys", slot,
                int32_t(track->valueType), int32_t(track->interpolation), count);
    if (!track->keys.empty())
        std::printf(", frames %g to %g", track->keys.front().time, track->keys.back().time);
    std::printf("\n");
    if (!keys) return;
    for (const zks::Key& k : track->keys)
        std::printf("        %g: %g %g %g %g\n", k.time, k.value[0], k.value[1], k.value[2], k.value[3]);
}

void Print(const zks::Scene& s, bool keys) {
    std::printf("scene \"%s\" (%s)\n", s.name.c_str(),
                s.kind == zks::SceneKind::Animated ? "animated" : "static");
    PrintColor("background", s.background);
    PrintColor("ambient   ", s.ambient);
    if (s.kind == zks::SceneKind::Animated)
        std::printf("animation: last frame %d at %d frames per second\n", s.animation.lastFrame,
                    s.animation.framesPerSecond);
    std::printf("fog: mode %d, start %g, end %g\n", int32_t(s.fog.mode), s.fog.start, s.fog.end);

    std::printf("%zu meshes\n", s.meshes.size());
    for (const zks::Mesh& m : s.meshes)
        std::printf("  \"%s\" material \"%s\": %zu vertices, %zu faces, %d texture sets\n", m.name.c_str(),
                    m.material.c_str(), m.vertices.size(), m.faces.size(), m.texCoordSets);
    std::printf("%zu cameras\n", s.cameras.size());
    for (const zks::Camera& c : s.cameras)
        std::printf("  \"%s\" target \"%s\": near %g, far %g, fov %g\n", c.name.c_str(), c.target.c_str(),
                    c.nearPlane, c.farPlane, c.fov);
    std::printf("%zu lights\n", s.lights.size());
    for (const zks::Light& l : s.lights)
        std::printf("  \"%s\" type %d, range %g%s%s%s\n", l.name.c_str(), int32_t(l.type), l.range,
                    l.target ? ", target \"" : "", l.target ? l.target->c_str() : "", l.target ? "\"" : "");
    std::printf("%zu gizmos\n", s.gizmos.size());
    for (const zks::Gizmo& g : s.gizmos)
        std::printf("  \"%s\" %s (code %d), flags 0x%X\n", g.name.c_str(), ShapeName(g.shape),
                    g.shapeCodeOverride.value_or(zks::ShapeCode(g.shape)), g.flags);
    std::printf("%zu materials\n", s.materials.size());
    for (const zks::Material& m : s.materials) {
        std::printf("  \"%s\" flags 0x%08X, stage mask %d\n", m.name.c_str(), m.renderFlags,
                    m.stageMaskOverride.value_or(zks::StageMask(m)));
        const char* kinds[] = {"texture", "detail", "environment", "bump"};
        const std::optional<zks::TextureRef>* refs[] = {&m.texture, &m.detail, &m.environment, &m.bump};
        for (int i = 0; i < 4; ++i)
            if (*refs[i])
                std::printf("    %s \"%s\" bitmap \"%s\"\n", kinds[i], (*refs[i])->name.c_str(),
                            (*refs[i])->bitmap.c_str());
    }
    std::printf("%zu nodes\n", s.nodes.size());
    for (const zks::Node& n : s.nodes) {
        const zks::Vec3& t = n.transform.translation;
        std::printf("  \"%s\" parent \"%s\" at %g %g %g", n.name.c_str(), n.parent.c_str(), t.x, t.y, t.z);
        if (s.kind == zks::SceneKind::Animated) std::printf(", controller %d", int32_t(n.controller));
        std::printf("\n");
        PrintTrack("position", n.position, keys);
        PrintTrack("rotation", n.rotation, keys);
        PrintTrack("scale", n.scale, keys);
        PrintTrack("roll", n.rollTrack, keys);
        PrintTrack("fov", n.fovTrack, keys);
    }
    if (!s.raw.terminateHierarchy) std::printf("  (no terminating flag)\n");
    for (const zks::Chunk& c : s.chunks) std::printf("chunk %d: %zu bytes\n", c.id, c.data.size());
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false, keys = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--check")) check = true;
        else if (!std::strcmp(argv[i], "--keys")) keys = true;
        else if (argv[i][0] == '-' || path) {
            std::fputs(kUsage, stderr);
            return 2;
        } else path = argv[i];
    }
    if (!path) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    zks::Scene scene;
    std::string error;
    if (!zks::LoadSceneFile(path, scene, &error)) {
        std::fprintf(stderr, "zksdump: %s: %s\n", path, error.c_str());
        return 2;
    }
    Print(scene, keys);
    if (!check) return 0;
    const std::vector<std::string> problems = zks::ValidateScene(scene);
    for (const std::string& p : problems) std::printf("problem: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}

// Writes the binary seed inputs of the fuzz targets with the project's own
// writers: scenes (ZKS writer), packs (pack builder), JCALG1 streams (the
// encoder), DDS and JPEG images (image tools) and font metrics (font tool), and a
// particle file naming the particle target's gizmos.
// Usage: fuzz_seeds CORPUS_DIR (files go to CORPUS_DIR/<target>/). The text
// formats come from the baked show; fuzz/make-seeds runs both.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tools/font/font_builder.h"
#include "tools/image/dds_writer.h"
#include "tools/image/jpeg_writer.h"
#include "tools/zkpack/jcalg1_encoder.h"
#include "tools/zkpack/pack_writer.h"
#include "tools/zks/zks_writer.h"

namespace {

namespace fs = std::filesystem;

fs::path g_root;
bool g_failed = false;

void Save(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Check(bool ok, const std::string& what, const std::string& error) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_seeds: %s: %s\n", what.c_str(), error.c_str());
    g_failed = true;
}

image::Image Picture(int w, int h) {
    image::Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = {uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x ^ y) * 16), uint8_t(255 - x * 8)};
    return img;
}

zks::Scene MakeScene(zks::SceneKind kind) {
    zks::Scene s;
    s.kind = kind;
    s.name = "Seed";
    s.background = zks::Rgb(0.1f, 0.2f, 0.3f);
    s.ambient = zks::Rgb(0.4f, 0.5f, 0.6f);
    s.animation = {0, 100, 25};
    s.fog = {zks::FogMode::Linear, zks::Rgb(1, 0, 0), 5, 50, 0};
    zks::Mesh m;
    m.name = "Quad";
    m.material = "Mat";
    m.vertices = {{{0, 0, 0}, {0, 0, 1}, 0, 0}, {{1, 0, 0}, {0, 0, 1}, 1, 0}, {{0, 1, 0}, {0, 0, 1}, 0, 1},
                  {{1, 1, 0}, {0, 0, 1}, 1, 1}};
    m.faces = {{0, 1, 2}, {2, 1, 3}};
    s.meshes.push_back(m);
    zks::Camera cam;
    cam.name = "Cam";
    cam.target = "Quad";
    cam.nearPlane = 1;
    cam.farPlane = 100;
    cam.fov = 0.8f;
    s.cameras.push_back(cam);
    zks::Light lamp;
    lamp.name = "Lamp";
    lamp.type = zks::LightType::Spot;
    lamp.range = 50;
    lamp.phi = 0.3f;
    lamp.target = "Quad";
    s.lights.push_back(lamp);
    zks::Gizmo ball;
    ball.name = "Ball";
    ball.shape = zks::SphereShape{{0, 0, 0}, 2};
    ball.flags = zks::kGizmoCullingSphere;
    s.gizmos.push_back(ball);
    zks::Gizmo box;
    box.name = "Box";
    box.shape = zks::BoxShape{{1, 2, 3}, {}, {}};
    s.gizmos.push_back(box);
    zks::Material mat;
    mat.name = "Mat";
    mat.renderFlags = zks::kDefaultRenderFlags;
    mat.texture = zks::TextureRef{"wood.dds", ""};
    mat.power = 8;
    s.materials.push_back(mat);
    auto node = [](const std::string& name, const std::string& parent) {
        zks::Node n;
        n.name = name;
        n.parent = parent;
        return n;
    };
    s.nodes = {node("Quad", ""), node("Cam", "Quad"), node("Lamp", "Quad"), node("Ball", "Lamp"), node("Box", "")};
    if (kind == zks::SceneKind::Animated) {
        zks::KeyTrack t;
        t.valueType = zks::ValueType::Position;
        t.interpolation = zks::Interpolation::HermiteAuto;
        t.keys = {zks::PositionKey(0, {0, 0, 0}), zks::PositionKey(50, {2, 0, 0}), zks::PositionKey(100, {8, 0, 0})};
        s.nodes[0].controller = zks::Controller::PRS;
        s.nodes[0].position = t;
        zks::KeyTrack r;
        r.valueType = zks::ValueType::Rotation;
        r.interpolation = zks::Interpolation::Linear;
        r.keys = {zks::RotationKey(0, {}), zks::RotationKey(100, {0, 0, 1, 0})};
        s.nodes[0].rotation = r;
        s.nodes[1].controller = zks::Controller::LookAtFov;
        zks::KeyTrack fov;
        fov.valueType = zks::ValueType::Fov;
        fov.interpolation = zks::Interpolation::Bezier;
        fov.keys = {zks::ScalarKey(0, 0.9f), zks::ScalarKey(100, 0.5f)};
        s.nodes[1].fovTrack = fov;
        s.nodes[2].controller = zks::Controller::LookAt;
    }
    s.chunks.push_back({42, {1, 2, 3, 4}, {}});
    return s;
}

void Scenes() {
    std::string error;
    for (const auto kind : {zks::SceneKind::Static, zks::SceneKind::Animated}) {
        std::vector<uint8_t> bytes;
        Check(zks::WriteScene(MakeScene(kind), bytes, &error), "scene", error);
        Save("scene", kind == zks::SceneKind::Static ? "static.zks" : "animated.zks", bytes);
    }
    zks::Scene empty;
    empty.name = "Empty";
    std::vector<uint8_t> bytes;
    Check(zks::WriteScene(empty, bytes, &error), "scene", error);
    Save("scene", "empty.zks", bytes);
}

const std::string kText =
    "PS smoke smoke.dds 1 4 1 1 1 0 0 0 ZBSA\nVE jet sphere 0.5 40 2 0 3\nFO push box 10 1 0.5\n"
    "[General]\nfullscreen = 0\nsoftware = 1\n";

void Packs() {
    std::string error;
    zkpack::PackWriter writer;
    std::vector<uint8_t> picture;
    image::EncodeDds(Picture(4, 4), {}, picture);
    Check(writer.Add("DATA\\NOTES.TXT", reinterpret_cast<const uint8_t*>(kText.data()), kText.size(),
                     zkpack::Storage::Compressed, error), "pack", error);
    Check(writer.Add("DATA\\PLAIN.TXT", reinterpret_cast<const uint8_t*>(kText.data()), 40, zkpack::Storage::Stored,
                     error), "pack", error);
    Check(writer.Add("TEX.DDS", picture, zkpack::Storage::Compressed, error), "pack", error);
    Check(writer.Add("EMPTY", nullptr, 0, zkpack::Storage::Stored, error), "pack", error);
    Save("pack", "plain.zkp", writer.Build(false));
    Save("pack", "scrambled.zkp", writer.Build(true));
}

void Streams() {
    const std::vector<uint8_t> picture = [] {
        std::vector<uint8_t> out;
        image::EncodeDds(Picture(8, 8), {}, out);
        return out;
    }();
    const std::vector<uint8_t> text(kText.begin(), kText.end());
    // The capacity in two bytes, then the stream; the fastest and the smallest
    // encodings, each once.
    std::set<std::vector<uint8_t>> streams;
    for (const auto* input : {&text, &picture})
        for (const int level : {1, 9}) {
            std::vector<uint8_t> bytes = {uint8_t(input->size()), uint8_t(input->size() >> 8)};
            const auto packed = zkpack::CompressJCALG1(input->data(), input->size(), {level});
            bytes.insert(bytes.end(), packed.begin(), packed.end());
            if (streams.insert(bytes).second) Save("jcalg1", "stream" + std::to_string(streams.size()), bytes);
        }
}

void Images() {
    using image::DdsFormat;
    const std::pair<DdsFormat, const char*> formats[] = {
        {DdsFormat::A8R8G8B8, "a8r8g8b8"}, {DdsFormat::R5G6B5, "r5g6b5"}, {DdsFormat::A4R4G4B4, "a4r4g4b4"},
        {DdsFormat::A1R5G5B5, "a1r5g5b5"}, {DdsFormat::DXT1, "dxt1"},     {DdsFormat::DXT3, "dxt3"},
        {DdsFormat::DXT5, "dxt5"}};
    std::string error;
    for (const auto& [format, name] : formats) {
        std::vector<uint8_t> bytes;
        Check(image::EncodeDds(Picture(8, 8), {format, format == DdsFormat::A8R8G8B8 || format == DdsFormat::DXT1},
                               bytes, &error), "dds", error);
        Save("dds", std::string(name) + ".dds", bytes);
    }
    int n = 0;
    for (const bool subsample : {true, false}) {
        std::vector<uint8_t> bytes;
        Check(image::EncodeJpeg(Picture(16, 8), {subsample ? 75 : 95, subsample}, bytes, &error), "jpeg", error);
        Save("jpeg", "picture" + std::to_string(++n) + ".jpg", bytes);
    }
}

void Fonts() {
    font::FontMetrics metrics;
    metrics.height = 16;
    for (int c = 0; c < 256; ++c) {
        const float u = float(c % 16) / 16, v = float(c / 16) / 16;
        metrics.glyphs[size_t(c)] = {u, v, u + 1.0f / 16, v + 1.0f / 16};
        metrics.widths[size_t(c)] = c < 32 ? 0 : float(6 + c % 5);
    }
    std::vector<uint8_t> bytes = font::EncodeVft(metrics);
    Save("vft", "grid.vft", bytes);
    const std::string text = "Hello, demo world";
    bytes.insert(bytes.end(), text.begin(), text.end());
    Save("vft", "grid-with-text.vft", bytes);
}

// Particle systems on the gizmos the particle target's scene holds (one of each
// shape, named after it): every emitter and operator kind on the shape it needs.
void Particles() {
    const std::string text =
        "# every kind of member\n"
        "PS sparks spark.dds 0.5 2 1 0.8 0.2 0.2 0 0 ELZB\n"
        "VE jet vector 0.3 50 4 -1 2\nQE sheet plane 0 20 1 0 3\nBE cloud box 0 20 0.5 0 3\n"
        "SE ball sphere 0.1 20 2 0 1.5\n"
        "FO wind vector 10 1 0\nAO pull sphere 5 0 2\nDO floor plane 1 0.5 0\nTO swirl sphere 4 1 1\n"
        "VO drag vector 2 0.5 0.5\n"
        "PS smoke smoke.dds 1 4 0.5 0.5 0.5 0 0 0 SA\nSE puff sphere 0.5 10 1 0 4\n";
    Save("pfd", "shapes.pfd", std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    g_root = argv[1];
    Scenes();
    Packs();
    Streams();
    Images();
    Fonts();
    Particles();
    return g_failed ? 1 : 0;
}

// What the effect tests share: a world with one scene on the recording device
// (SceneRig), a private folder for the files a test writes, textures with a
// recording surface so draws show which page they used, and readers for the
// vertices a draw recorded.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/effects/effect_vertices.h"
#include "engine/render/texture.h"
#include "engine/scene/world.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"

namespace effects_test {

namespace fs = std::filesystem;

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("zk_effects_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Writes bytes to a file of the test's folder; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    // The world's texture of the name, given a recording surface named after it.
    ZK3D::Texture* TextureWithSurface(const std::string& name) {
        ZK3D::Texture* t = ZK3D::GetTexture(name.c_str());
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwWidth = desc.dwHeight = 4;
        desc.ddpfPixelFormat = testing_support::PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
        t->AdoptSurface(rig.platform.NewSurface(desc, name));
        return t;
    }

    std::vector<testing_support::DrawRecord>& Draws() { return rig.platform.device().draws(); }
    testing_support::CallLog& Log() { return rig.platform.log(); }

    fs::path dir_;
    testing_support::LogCapture reports;
    testing_support::SceneRig rig;
};

// The vertices of a draw, as the type they were handed in.
template <class Vertex>
std::vector<Vertex> VerticesOf(const testing_support::DrawRecord& draw) {
    std::vector<Vertex> out(draw.vertices.size() / sizeof(Vertex));
    if (!out.empty()) std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(Vertex));
    return out;
}

}  // namespace effects_test

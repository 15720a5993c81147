// Meshes and materials on the recording device: buffers and formats, face checks,
// face records, drawing, material and stage cascades.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/render/texture.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"

using namespace ZK3D;
using testing_support::LogCapture;
using testing_support::RecordingVertexBuffer;
using testing_support::SceneRig;

namespace {

std::string TSS(int stage, int type, DWORD value) {
    return "SetTextureStageState(" + std::to_string(stage) + "," + std::to_string(type) + "," +
           std::to_string(value) + ")";
}

RecordingVertexBuffer& Buffer(const Mesh* mesh) { return *dynamic_cast<RecordingVertexBuffer*>(mesh->vertexBuffer()); }

// A material with the stages of the kinds given, in that order, each naming a texture.
Material* Staged(SceneRig& rig, const char* name, std::initializer_list<int32_t> kinds) {
    Material* m = rig.AddMaterial(name);
    int index = 0;
    for (int32_t kind : kinds) {
        auto stage = CreateTextureStage(kind);
        stage->SetTextureName(("tex" + std::to_string(kind)).c_str());
        m->AddStage(index++, std::move(stage));
    }
    return m;
}

}  // namespace

// ---------------------------------------------------------------- mesh buffers

TEST(MeshTest, BuffersTakeTheFormatOfTheirCoordinateSets) {
    LogCapture log;
    SceneRig rig;
    const DWORD formats[] = {0x012, 0x112, 0x212, 0x312, 0x412};
    for (int sets = 0; sets <= 4; ++sets) {
        Mesh mesh("M");
        mesh.CreateBuffers(4, 2, sets);
        EXPECT_EQ(mesh.vertexFormat(), formats[sets]);
        EXPECT_EQ(Buffer(&mesh).stride(), mesh.stride());
        EXPECT_EQ(Buffer(&mesh).desc().dwCaps, D3DVBCAPS_SYSTEMMEMORY);
    }
    Mesh five("Five");
    five.CreateBuffers(3, 1, 5);
    EXPECT_TRUE(log.has("[M] \"Five\" - Unable to covert VertexFormat of Multi-tex 5"));
    EXPECT_EQ(five.vertexFormat(), 0x412u);
    EXPECT_EQ(five.texCoordSets(), 4);
    EXPECT_TRUE(log.has("[M] \"Five\" - Vb 3/Fb 1 created, with Tl 4"));
    Mesh negative("Neg");
    negative.CreateBuffers(-1, -5, 1);
    EXPECT_EQ(negative.faceCount(), 0);
    EXPECT_EQ(negative.vertexCount(), 0);
}

TEST(MeshTest, UpdateCopiesVerticesAtTheirStrideAndDropsFacesOutsideTheBuffer) {
    LogCapture log;
    SceneRig rig;
    Mesh* mesh = rig.AddMesh("Tri", nullptr, 2, 2);  // two sets: stride 40
    const RecordingVertexBuffer& vb = Buffer(mesh);
    EXPECT_EQ(vb.stride(), 40u);
    EXPECT_FLOAT_EQ(vb.Field(4, 0), 2);  // x of vertex 4
    EXPECT_FLOAT_EQ(vb.Field(4, 5), -1); // nz
    EXPECT_FLOAT_EQ(vb.Field(4, 6), 4);  // u
    EXPECT_FLOAT_EQ(vb.Field(4, 8), 0);  // the second set is not written here
    EXPECT_FALSE(vb.locked());

    const uint16_t faces[] = {0, 1, 2, 3, 4, 6};  // 6 is past the 6 vertices
    mesh->Update(nullptr, faces);
    EXPECT_TRUE(log.has("[M] \"Tri\" - Face 1 uses vertex 6 of 6 : face dropped"));
    EXPECT_EQ(mesh->indices(), (std::vector<uint16_t>{0, 1, 2, 0, 0, 0}));
    rig.platform.device().draws().clear();
    mesh->render(nullptr);
    ASSERT_EQ(rig.platform.device().draws().size(), 1u);
    EXPECT_FALSE(rig.platform.device().draws()[0].rejected);

    // A mesh with no coordinate set has a 24-byte stride: copying stops at the normal.
    Mesh bare("Bare");
    bare.CreateBuffers(2, 0, 0);
    const SourceVertex v[2] = {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
    bare.Update(v, nullptr);
    EXPECT_FLOAT_EQ(Buffer(&bare).Field(1, 0), 9);
    EXPECT_EQ(Buffer(&bare).memory().size(), 48u);
}

TEST(MeshTest, CompileBuildsFaceRecordsOnlyWithAMaterialName) {
    LogCapture log;
    SceneRig rig;
    rig.AddMaterial("Mat");
    Mesh* plain = rig.AddMesh("Plain", nullptr);
    Mesh* textured = rig.AddMesh("Textured", "Mat", 3);
    plain->compile();
    textured->compile();
    EXPECT_TRUE(plain->faces().empty());
    ASSERT_EQ(textured->faces().size(), 3u);
    EXPECT_EQ(textured->material(), rig.world->materials);
    const MeshFace& f = *textured->faces()[2];
    EXPECT_EQ(f.index, 2);
    EXPECT_EQ(f.mesh, textured);
    EXPECT_FLOAT_EQ(f.centre.x, 2 + 1.0f / 3);
    EXPECT_FLOAT_EQ(f.centre.y, 1.0f / 3);
    EXPECT_TRUE(log.has("[M] Compile Mesh \"Textured\""));
    EXPECT_FALSE(Buffer(textured).locked());
}

TEST(MeshTest, DrawFacesDrawsTheListedFacesInOneCall) {
    SceneRig rig;
    Mesh* mesh = rig.AddMesh("M", nullptr, 4);
    rig.platform.log().clear();
    const int list[] = {3, 1, 7, -1};  // 7 and -1 are not faces of the mesh
    mesh->DrawFaces(list, 4);
    EXPECT_EQ(rig.platform.calls(), std::vector<std::string>{"DrawIndexedPrimitiveVB(4,vb1,0,12,6,1)"});
    EXPECT_EQ(rig.platform.device().draws().back().indices, (std::vector<WORD>{9, 10, 11, 3, 4, 5}));
    rig.platform.log().clear();
    mesh->DrawFaces(list + 2, 2);
    EXPECT_TRUE(rig.platform.calls().empty());
}

TEST(MeshTest, AMeshWhollyOutOfViewSetsItsStatesButIsNotDrawn) {
    SceneRig rig;
    rig.AddMaterial("Mat");
    Mesh* mesh = rig.AddMesh("M", "Mat", 2);  // x 0..2, y 0..1, z 0
    mesh->compile();
    EXPECT_FLOAT_EQ(mesh->boundCentre().x, 1);
    EXPECT_FLOAT_EQ(mesh->boundRadius(), std::sqrt(1.25f));
    // The identity view and projection make the clip volume |x|, |y| <= 1, 0 <= z <= 1.
    struct Case {
        Vector3 at;
        bool drawn;
    } cases[] = {{{0, 0, 0.5f}, true}, {{-0.5f, -0.5f, 0}, true}, {{4, 0, 0.5f}, false},
                 {{0, -3, 0.5f}, false}, {{0, 0, -2}, false}, {{0, 0, 2.5f}, false}};
    for (const Case& c : cases) {
        rig.context->SetWorldMatrix(MatrixTranslation(c.at.x, c.at.y, c.at.z));
        rig.platform.log().clear();
        rig.platform.device().draws().clear();
        mesh->render(nullptr);
        EXPECT_EQ(rig.platform.device().draws().size(), c.drawn ? 1u : 0u) << c.at.x << ", " << c.at.y << ", " << c.at.z;
        // Either way the material went to the device, so what follows finds the same states.
        const auto calls = rig.platform.calls();
        EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                                [](const std::string& call) { return call.rfind("SetMaterial(", 0) == 0; }));
    }
}

TEST(MeshTest, DestructionReleasesTheVertexBuffer) {
    SceneRig rig;
    rig.AddMesh("M", nullptr);
    rig.world.reset();
    rig.context.reset();
    EXPECT_TRUE(rig.platform.Unreleased().empty()) << ::testing::PrintToString(rig.platform.Unreleased());
}

// ---------------------------------------------------------------- materials

TEST(MaterialTest, WithoutStagesSetsTheMaterialAndEndsTheCascadeAtStageZero) {
    SceneRig rig;
    Material* m = rig.AddMaterial("Plain");
    m->d3dMaterial.dvPower = 8;
    Mesh* mesh = rig.AddMesh("M", "Plain");
    mesh->compile();
    rig.platform.log().clear();
    Material::Apply(m, mesh);
    const std::vector<std::string> expected = {
        "SetMaterial({1,1,1,1},{0,0,0,0},{0,0,0,0},{0,0,0,0},8)",
        "SetTexture(0,null)",
        TSS(0, 1, 4), TSS(0, 2, 2), TSS(0, 3, 1), TSS(0, 4, 2), TSS(0, 5, 2), TSS(0, 6, 1),
    };
    EXPECT_EQ(rig.platform.calls(), expected) << "flags equal to the applied word send no render state";

    rig.platform.log().clear();
    Material::Apply(nullptr, mesh);
    EXPECT_EQ(rig.platform.calls()[0], "SetMaterial({1,1,1,1},{1,1,1,1},{1,1,1,1},{1,1,1,1},0)");
    EXPECT_EQ(rig.platform.log().starting("SetTexture("),
              (std::vector<std::string>{"SetTexture(0,null)", "SetTexture(1,null)"}));
}

TEST(MaterialTest, EnvironmentStageAddsWithNormalCoordinates) {
    SceneRig rig;
    Material* m = Staged(rig, "Chrome", {TextureStage::kEnvironment});
    Texture* env = new Texture("tex3");
    AddNode(env, &rig.world->textures);
    auto* surface = rig.platform.NewSurface(rig.platform.backBuffer().desc());
    env->AdoptSurface(surface);
    Mesh* mesh = rig.AddMesh("M", "Chrome");
    m->compile();
    EXPECT_EQ(m->stage(0)->colorOp, static_cast<DWORD>(D3DTOP_MODULATE));
    mesh->compile();
    EXPECT_EQ(m->stage(0)->colorOp, static_cast<DWORD>(D3DTOP_ADD)) << "switched at the first mesh compile";
    rig.platform.log().clear();
    Material::Apply(m, mesh);
    const std::vector<std::string> expected = {
        "SetMaterial({1,1,1,1},{0,0,0,0},{0,0,0,0},{0,0,0,0},0)",
        TSS(0, 11, 0x10000),
        "SetTransform(16,{0.5,0,0,0,0,0.5,0,0,0,0,1,0,0.5,0.5,0,1})",
        TSS(0, 24, 2),
        TSS(0, 16, 2), TSS(0, 17, 2), TSS(0, 18, 1),
        TSS(0, 1, 7), TSS(0, 2, 2), TSS(0, 3, 1),
        TSS(0, 4, 2), TSS(0, 5, 2), TSS(0, 6, 0),
        "SetTexture(0," + surface->name() + ")",
        "SetTexture(1,null)",
        TSS(1, 1, 1), TSS(1, 2, 2), TSS(1, 3, 1), TSS(1, 4, 1), TSS(1, 5, 0), TSS(1, 6, 1),
    };
    EXPECT_EQ(rig.platform.calls(), expected);
}

TEST(MaterialTest, FourStagesCascadeWithTheirCoordinatesAndFilters) {
    LogCapture log;
    SceneRig rig;
    Material* m = Staged(rig, "All", {TextureStage::kTexture, TextureStage::kDetail, TextureStage::kEnvironment,
                                      TextureStage::kBump});
    m->stage(1)->linearFilter = 0;
    EXPECT_EQ(m->stageCount(), 4);
    Mesh* mesh = rig.AddMesh("M", "All", 1, 4);
    // Set 3 starts with values unlike set 0; the bump stage regenerates it from set 0.
    m->compile();
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"[Mat TS] Cannot get texture \"tex1\"",
                                                      "[Mat TS] Cannot get texture \"tex2\"",
                                                      "[Mat TS] Cannot get texture \"tex3\"",
                                                      "[Mat TS] Cannot get texture \"tex5\""}));
    mesh->compile();
    EXPECT_TRUE(log.has("[Mat-TS] \"M\" Texture stage 3 = 1.000*0"));
    EXPECT_TRUE(log.has("[Mat TS] Compile Stage 3 on \"M\""));
    const RecordingVertexBuffer& vb = Buffer(mesh);
    for (int v = 0; v < 3; ++v) {
        EXPECT_FLOAT_EQ(vb.Field(v, 6 + 6), vb.Field(v, 6)) << v;  // u of set 3 = u of set 0
        EXPECT_FLOAT_EQ(vb.Field(v, 6 + 7), 0.5f) << v;
    }

    rig.platform.device().draws().clear();
    mesh->render(nullptr);
    auto& dev = rig.platform.device();
    EXPECT_EQ(dev.stageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(dev.stageState(1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(dev.stageState(2, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_ADD));
    EXPECT_EQ(dev.stageState(3, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(dev.stageState(4, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(dev.stageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.stageState(1, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.stageState(2, D3DTSS_TEXCOORDINDEX), D3DTSS_TCI_CAMERASPACENORMAL);
    EXPECT_EQ(dev.stageState(3, D3DTSS_TEXCOORDINDEX), 3u);
    EXPECT_EQ(dev.stageState(1, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_COUNT2));
    EXPECT_EQ(dev.stageState(3, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_DISABLE));
    EXPECT_FLOAT_EQ(dev.transform(D3DTRANSFORMSTATE_TEXTURE0 + 1)._11, 6);
    EXPECT_FLOAT_EQ(dev.transform(D3DTRANSFORMSTATE_TEXTURE0 + 1)._22, 6);
    EXPECT_EQ(dev.stageState(1, D3DTSS_MAGFILTER), static_cast<DWORD>(D3DTFG_POINT));
    EXPECT_EQ(dev.stageState(2, D3DTSS_MAGFILTER), static_cast<DWORD>(D3DTFG_LINEAR));
    EXPECT_EQ(dev.stageState(0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    EXPECT_EQ(dev.stageState(0, D3DTSS_ALPHAARG2), D3DTA_DIFFUSE);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(dev.texture(static_cast<DWORD>(s)), nullptr) << "missing textures unbind";
    EXPECT_EQ(dev.draws().size(), 1u);
}

TEST(MaterialTest, ABumpStageWithoutItsCoordinateSetReadsSetZero) {
    SceneRig rig;
    Staged(rig, "Bumpy", {TextureStage::kTexture, TextureStage::kBump});
    Mesh* mesh = rig.AddMesh("M", "Bumpy", 1, 1);  // one set only
    mesh->compile();
    EXPECT_EQ(GenerateTextureCoordinates(*mesh, 0, 1, 1, 0, 0), 0);
    mesh->render(nullptr);
    EXPECT_EQ(rig.platform.device().stageState(1, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(rig.platform.device().stageState(1, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_DISABLE));
}

TEST(MaterialTest, CompileDumpsAndStagesStayInsideTheirSlots) {
    LogCapture log;
    SceneRig rig;
    Material* m = rig.AddMaterial("Dump");
    m->d3dMaterial.dcvSpecular = {0.25f, 0.5f, 0.75f, 1};
    m->d3dMaterial.dvPower = 12.5f;
    EXPECT_EQ(m->flags, kDefaultRenderFlags);
    EXPECT_FALSE(m->AddStage(8, CreateTextureStage(TextureStage::kTexture)));
    EXPECT_FALSE(m->AddStage(-1, CreateTextureStage(TextureStage::kTexture)));
    EXPECT_EQ(CreateTextureStage(4), nullptr);
    EXPECT_TRUE(m->AddStage(7, CreateTextureStage(TextureStage::kTexture)));
    EXPECT_EQ(m->stageCount(), 8);
    log.clear();
    m->compile();
    const std::vector<std::string> expected = {
        "[Mat] Compile Material \"Dump\" and 8 TStages",
        "[Mat-Debug] \"Dump\"",
        "[Col-Debug] RGBA-dcvDiffuse 1.000|1.000|1.000|1.000",
        "[Col-Debug] RGBA-dcvAmbient 0.000|0.000|0.000|0.000",
        "[Col-Debug] RGBA-dcvSpecular 0.250|0.500|0.750|1.000",
        "[Col-Debug] RGBA-dcvEmissive 0.000|0.000|0.000|0.000",
        "[Mat-Debug] Spec Power : 12.500",
    };
    EXPECT_EQ(log.texts(), expected);
    // Eight stages fill every slot: no stage after them is reset.
    rig.platform.log().clear();
    Material::Apply(m, nullptr);
    EXPECT_TRUE(rig.platform.log().starting("SetTexture(8").empty());
    EXPECT_EQ(rig.platform.device().stageState(7, D3DTSS_TEXCOORDINDEX), 0u) << "no mesh: coordinate set 0";
}

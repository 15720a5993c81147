// The render context on the recording device: creation and destruction, the
// render-state word, lights, stages, fog, projection and render surfaces.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "platform/report.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_device.h"

using namespace ZK3D;
using testing_support::LogCapture;
using testing_support::RecordingPlatform;

namespace {

std::string RS(DWORD state, DWORD value) {
    return "SetRenderState(" + std::to_string(state) + "," + std::to_string(value) + ")";
}

// A context on a fresh recording platform, with the log of its creation dropped.
struct Fixture {
    Fixture() {
        ResetModeSelection();
        context = platform.CreateContext();
        platform.log().clear();
    }
    std::vector<std::string> calls() const { return platform.calls(); }
    RecordingPlatform platform;
    std::unique_ptr<Context> context;
};

}  // namespace

// ---------------------------------------------------------------- creation

TEST(Context, CreationRunsItsStepsInOrderAndDestructionReleasesEverything) {
    LogCapture log;
    ResetModeSelection();
    RecordingPlatform platform;
    auto context = platform.CreateContext();
    ASSERT_TRUE(context);
    const std::vector<std::string> expected = {
        "D3DXInitialize()",
        "D3DXCreateContext(4294967291,0,null,640,480)",
        "d3dx.GetDD()",
        "d3dx.GetD3D()",
        "d3dx.GetD3DDevice()",
        "d3dx.GetZBuffer()",
        RS(7, 1), RS(27, 0), RS(15, 0), RS(26, 1), RS(137, 1), RS(29, 0), RS(136, 1), RS(143, 1), RS(8, 3),
        RS(22, 2), RS(19, 2), RS(20, 1), RS(14, 1), RS(23, 4),
        "GetViewport()",
        "GetRenderTarget()",
        "SetRenderTarget(backbuffer,0)",
        "SetViewport(0,0,640,480,0,1)",
        "EnumTextureFormats()",
        "D3DXCreateMatrixStack(0)",
        "Clear(1,{0,0,640,480},3,204,1,0)",  // (0, 0, 0.8, 0): blue 204
        "d3dx.UpdateFrame(0)",
    };
    EXPECT_EQ(platform.calls(), expected);
    EXPECT_TRUE(log.has("Texture Pixel Format Enumeration"));
    EXPECT_EQ(context->textureFormats().size(), platform.device().textureFormats.size());
    EXPECT_EQ(context->textureFormats()[3].dwGBitMask, 0x07E0u);  // R5G6B5, in enumeration order
    EXPECT_EQ(context->AppliedFlags(), kDefaultRenderFlags);
    ASSERT_TRUE(context->CurrentSurface());
    EXPECT_FALSE(context->CurrentSurface()->owned());
    EXPECT_EQ(context->CurrentSurface()->Surface(), &platform.backBuffer());

    context.reset();
    EXPECT_EQ(platform.calls().back(), "D3DXUninitialize()");
    EXPECT_EQ(platform.initializeCount, 1);
    EXPECT_EQ(platform.uninitializeCount, 1);
    EXPECT_TRUE(platform.Unreleased().empty()) << ::testing::PrintToString(platform.Unreleased());
}

TEST(Context, SoftwareRasterizerAndFullScreenReachTheUtilityLibrary) {
    ResetModeSelection();
    SelectMode(800, 600, 32, 0);
    SetSoftwareRasterizer();
    SetFullScreen(true);
    RecordingPlatform platform(800, 600);
    auto context = Context::Create(nullptr, platform.Library());
    ASSERT_TRUE(context);
    EXPECT_EQ(platform.calls()[1], "D3DXCreateContext(4294967292,1,null,800,600)");
    EXPECT_FLOAT_EQ(context->AspectRatio(), 0.75f);
    ResetModeSelection();
}

TEST(Context, FailedCreationReportsTheResultAndShutsTheLibraryDown) {
    LogCapture log;
    ResetModeSelection();
    SelectMode(640, 480, 32, 0);
    RecordingPlatform platform;
    platform.createContextResult = D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    EXPECT_EQ(Context::Create(nullptr, platform.Library()), nullptr);
    EXPECT_TRUE(log.contains("D3DXERR_NODIRECT3DDEVICEAVAILABLE"));
    EXPECT_EQ(platform.initializeCount, 1);
    EXPECT_EQ(platform.uninitializeCount, 1);
    EXPECT_TRUE(platform.Unreleased().empty());
}

TEST(Context, WithoutADeviceNothingIsSentAndNothingCrashes) {
    ResetModeSelection();
    RecordingPlatform platform;
    platform.withDevice = false;
    auto context = platform.CreateContext();
    ASSERT_TRUE(context);
    context->Clear();
    context->ReapplyFlags();
    context->SetFog(true, nullptr);
    context->AddLight(D3DLIGHT7{});
    context->ClearLights();
    context->ResetAllStages();
    EXPECT_TRUE(platform.log().starting("SetRenderState").empty());
    EXPECT_TRUE(platform.log().starting("Clear").empty());
}

// ---------------------------------------------------------------- render-state word

TEST(RenderFlagsWord, ApplySendsOnlyChangedFieldsInFieldOrder) {
    Fixture f;
    Context& c = *f.context;
    c.ApplyFlags(kDefaultRenderFlags);
    EXPECT_TRUE(f.calls().empty()) << "an equal word sends nothing";

    // Change every field but dithering and lighting, in bit order the opposite of the send order.
    RenderFlags word = kDefaultRenderFlags;
    word = flags::WithDepth(word, flags::kDepthReadOnly);
    word = flags::WithBlend(word, flags::kBlendTransparent);
    word = flags::WithCull(word, flags::kCullNone);
    word |= flags::kWireframe | flags::kSpecular | flags::kAlphaTest | flags::kAlphaBlend;
    word &= ~(flags::kClipping | flags::kDepthTest | flags::kNormalizeNormals);
    c.ApplyFlags(word);
    const std::vector<std::string> expected = {
        RS(7, 0),   RS(27, 1), RS(15, 1), RS(29, 1), RS(136, 0), RS(143, 0), RS(8, 2),
        RS(22, 1),  RS(19, 5), RS(20, 6), RS(14, 0), RS(23, 4),
    };
    EXPECT_EQ(f.calls(), expected);
    EXPECT_EQ(c.AppliedFlags(), word);

    // Bits without meaning change the word but send nothing.
    f.platform.log().clear();
    c.ApplyFlags(word | 0xF0000F00u);
    EXPECT_TRUE(f.calls().empty());
}

TEST(RenderFlagsWord, ForceSendsAllFourteenStatesOfTheTopWord) {
    Fixture f;
    Context& c = *f.context;
    const RenderFlags word = flags::WithDepth(flags::WithBlend(flags::WithCull(0x3Fu, flags::kCullCCW), 3), 2);
    c.SetFlags(word);
    c.ForceFlags();
    const std::vector<std::string> expected = {
        RS(7, 1),  RS(27, 1), RS(15, 1), RS(26, 1), RS(137, 1), RS(29, 1), RS(136, 0), RS(143, 0), RS(8, 3),
        RS(22, 3), RS(19, 5), RS(20, 2), RS(14, 1), RS(23, 8),
    };
    EXPECT_EQ(f.calls(), expected);
}

TEST(RenderFlagsWord, OddFieldValuesMapToTheirNeighbours) {
    Fixture f;
    Context& c = *f.context;
    // Blend 4 (and every value from 4 up) is opaque; cull 3 is CCW; depth 3 writes with LESSEQUAL.
    for (uint32_t blend : {4u, 9u, 15u}) {
        c.ApplyFlags(flags::WithBlend(kDefaultRenderFlags, flags::kBlendAdditive));
        f.platform.log().clear();
        c.ApplyFlags(flags::WithBlend(kDefaultRenderFlags, blend));
        EXPECT_EQ(f.calls(), (std::vector<std::string>{RS(19, 2), RS(20, 1)})) << blend;
    }
    c.ApplyFlags(kDefaultRenderFlags);
    f.platform.log().clear();
    c.ApplyFlags(flags::WithDepth(flags::WithCull(kDefaultRenderFlags, 3), 3));
    EXPECT_EQ(f.calls(), (std::vector<std::string>{RS(22, 3), RS(14, 1), RS(23, 4)}));
}

TEST(RenderFlagsWord, StackGrowsPastItsCapacityAndNeverPopsItsBottom) {
    LogCapture log;
    Fixture f;
    Context& c = *f.context;
    for (int i = 1; i <= 250; ++i) {
        c.PushFlags();
        EXPECT_EQ(c.TopFlags(), static_cast<RenderFlags>(i == 1 ? kDefaultRenderFlags : i - 1));
        c.SetFlags(static_cast<RenderFlags>(i));
    }
    EXPECT_EQ(c.FlagDepth(), 250);
    for (int i = 250; i >= 1; --i) {
        EXPECT_EQ(c.TopFlags(), static_cast<RenderFlags>(i));
        c.PopFlags();
    }
    EXPECT_EQ(c.TopFlags(), kDefaultRenderFlags);
    EXPECT_TRUE(log.errors().empty());
    c.PopFlags();
    EXPECT_EQ(c.FlagDepth(), 0);
    EXPECT_EQ(c.TopFlags(), kDefaultRenderFlags);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"[RC] - Flag stack underflow : the bottom word stays"});
}

TEST(ColorPacking, ChannelsRoundAndClamp) {
    EXPECT_EQ(PackColor({0, 0, 0.8f, 0}), 204u);
    EXPECT_EQ(PackColor({1, 1, 1, 1}), 0xFFFFFFFFu);
    EXPECT_EQ(PackColor({2.5f, -1, 0, 1}), 0xFFFF0000u);
    // 0.5 x 255 = 127.5 rounds up; the smallest positive values round to 0 or 1.
    EXPECT_EQ(PackChannel(0.5f), 128u);
    EXPECT_EQ(PackChannel(0.001f), 0u);
    EXPECT_EQ(PackChannel(0.002f), 1u);
    EXPECT_EQ(PackChannel(0.99999f), 255u);
    EXPECT_EQ(PackChannel(std::nanf("")), 0u);
    EXPECT_EQ(PackColor({0.2f, 0.4f, 0.6f, 0.8f}), (204u << 24) | (51u << 16) | (102u << 8) | 153u);
}

// ---------------------------------------------------------------- lights, stages, fog

TEST(ContextLights, ClearDisablesEverySlotUsedSinceTheLastClear) {
    Fixture f;
    Context& c = *f.context;
    c.ClearLights();
    EXPECT_EQ(f.calls(), std::vector<std::string>{"LightEnable(0,0)"});

    D3DLIGHT7 light{};
    light.dltType = D3DLIGHT_POINT;
    light.dvPosition = {1, 2, 3};
    for (int i = 0; i < 3; ++i) c.AddLight(light);
    EXPECT_EQ(c.maxLightIndex(), 2);
    EXPECT_TRUE(f.platform.device().lightEnabled(2));
    f.platform.log().clear();
    c.ClearLights();
    EXPECT_EQ(f.calls(), (std::vector<std::string>{"LightEnable(0,0)", "LightEnable(1,0)", "LightEnable(2,0)"}));
    EXPECT_EQ(c.nextLight(), 0);
    f.platform.log().clear();
    c.AddLight(light);
    EXPECT_EQ(f.calls(), (std::vector<std::string>{"SetLight(0,1,{1,2,3},{0,0,0})", "LightEnable(0,1)"}));
}

TEST(ContextStages, ResetGivesStageZeroModulateAndDisablesTheOthers) {
    Fixture f;
    Context& c = *f.context;
    c.ResetStage(0);
    c.ResetStage(3);
    const std::vector<std::string> expected = {
        "SetTexture(0,null)",
        "SetTextureStageState(0,1,4)", "SetTextureStageState(0,2,2)", "SetTextureStageState(0,3,1)",
        "SetTextureStageState(0,4,2)", "SetTextureStageState(0,5,2)", "SetTextureStageState(0,6,1)",
        "SetTexture(3,null)",
        "SetTextureStageState(3,1,1)", "SetTextureStageState(3,2,2)", "SetTextureStageState(3,3,1)",
        "SetTextureStageState(3,4,1)", "SetTextureStageState(3,5,0)", "SetTextureStageState(3,6,1)",
    };
    EXPECT_EQ(f.calls(), expected);
    f.platform.log().clear();
    c.ResetAllStages();
    EXPECT_EQ(f.platform.log().starting("SetTexture(").size(), 8u);
    c.SetStageFilters(2, D3DTFG_LINEAR, D3DTFN_POINT, D3DTFP_NONE);
    EXPECT_EQ(f.platform.device().stageState(2, D3DTSS_MAGFILTER), 2u);
    EXPECT_EQ(f.platform.device().stageState(2, D3DTSS_MINFILTER), 1u);
    EXPECT_EQ(f.platform.device().stageState(2, D3DTSS_MIPFILTER), 1u);
}

TEST(ContextFog, EachModeSendsItsStatesAndOthersSwitchFogOff) {
    Fixture f;
    Context& c = *f.context;
    FogRecord fog;
    fog.color = {1, 0, 0, 1};
    fog.start = 10;
    fog.end = 0.25f;
    const std::string tail[] = {RS(28, 1), RS(34, 0xFFFF0000u), RS(36, FloatBits(10)), RS(37, FloatBits(0.25f))};

    fog.mode = 1;
    c.SetFog(true, &fog);
    EXPECT_EQ(f.calls(), (std::vector<std::string>{RS(140, 3), tail[0], tail[1], tail[2], tail[3]}));
    f.platform.log().clear();
    fog.mode = 2;
    c.SetFog(true, &fog);
    EXPECT_EQ(f.calls(),
              (std::vector<std::string>{RS(140, 1), RS(38, FloatBits(0.25f)), tail[0], tail[1], tail[2], tail[3]}));
    f.platform.log().clear();
    fog.mode = 3;
    c.SetFog(true, &fog);
    EXPECT_EQ(f.calls()[0], RS(140, 2));
    EXPECT_EQ(f.calls()[1], RS(38, FloatBits(0.25f)));

    for (int mode : {0, 4, -1}) {
        f.platform.log().clear();
        fog.mode = mode;
        c.SetFog(true, &fog);
        EXPECT_EQ(f.calls(), std::vector<std::string>{RS(28, 0)}) << mode;
    }
    f.platform.log().clear();
    fog.mode = 1;
    c.SetFog(false, &fog);
    c.SetFog(true, nullptr);
    EXPECT_EQ(f.calls(), (std::vector<std::string>{RS(28, 0), RS(28, 0)}));
}

TEST(ContextMisc, AmbientDefaultMaterialAndClear) {
    Fixture f;
    Context& c = *f.context;
    c.SetAmbient({0.5f, 0.25f, 0, 1});
    c.SetDefaultMaterial();
    c.SetClearColor({1, 0, 0, 0});
    D3DRECT rect{10, 20, 30, 40};
    c.Clear(&rect);
    const std::vector<std::string> expected = {
        RS(139, 0xFF804000u),
        "SetMaterial({1,1,1,1},{1,1,1,1},{1,1,1,1},{1,1,1,1},0)",
        "Clear(1,{10,20,30,40},3,16711680,1,0)",
    };
    EXPECT_EQ(f.calls(), expected);
    c.SetWorldMatrix(nullptr);
    EXPECT_EQ(f.calls().back(), "SetTransform(1,{1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1})");
}

// ---------------------------------------------------------------- projection and surfaces

TEST(ContextProjection, PointsMapToViewportPixelsWithoutItsOffsets) {
    Fixture f;
    Context& c = *f.context;
    const Matrix view = MatrixLookAt({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    const Matrix projection = MatrixPerspective(3.14159265f / 2, 0.75f, 1, 100);
    c.SetViewMatrix(view);
    c.SetProjectionMatrix(projection);
    Vector4 centre = c.ProjectToScreen({0, 0, 0});
    EXPECT_NEAR(centre.x, 320, 1e-3);
    EXPECT_NEAR(centre.y, 240, 1e-3);
    EXPECT_FLOAT_EQ(centre.w, 1);
    EXPECT_NEAR(centre.z, (10 * 100.0f / 99 - 100.0f / 99) / 10, 1e-5);
    // The look-at puts world -x on screen right; up is up.
    Vector4 p = c.ProjectToScreen({-5, 5, 0});
    EXPECT_NEAR(p.x, (5 * 0.75f / 10 + 1) * 320, 1e-3);
    EXPECT_NEAR(p.y, (1 - 5.0f / 10) * 240, 1e-3);

    // A new projection is used at once (the cached product is recomputed).
    c.SetProjectionMatrix(MatrixPerspective(3.14159265f / 2, 1.0f, 1, 100));
    EXPECT_NEAR(c.ProjectToScreen({-5, 5, 0}).x, (5.0f / 10 + 1) * 320, 1e-3);

    D3DVIEWPORT7 offset{100, 50, 200, 100, 0, 1};
    RenderSurface surface(&f.platform.backBuffer(), offset);
    c.SetRenderSurface(&surface);
    EXPECT_NEAR(c.ProjectToScreen({0, 0, 0}).x, 100, 1e-3);
    EXPECT_NEAR(c.ProjectToScreen({0, 0, 0}).y, 50, 1e-3);
}

TEST(ModeSelection, EmptyListTakesTheRequestedModeAndListsMatchFirstHit) {
    ResetModeSelection();
    SelectMode(640, 480, 32, 0);
    EXPECT_EQ(SelectedMode().width, 640);
    EXPECT_EQ(SelectedMode().height, 480);
    EXPECT_EQ(SelectedMode().bitsPerPixel, 32);
    EXPECT_EQ(SelectedMode().refreshRate, 0);
    EXPECT_EQ(Driver(SelectedDriver()).modeCount, 0);
    EXPECT_EQ(HardwareLevel(), 2);
    EXPECT_FALSE(FullScreen());

    ResetModeSelection();
    AddDisplayMode({800, 600, 16, 60});
    AddDisplayMode({640, 480, 32, 60});
    AddDisplayMode({640, 480, 32, 85});
    SelectMode(640, 480, 32, 0);
    EXPECT_EQ(Driver(0).selectedMode, 1);  // any refresh: the first
    SelectMode(640, 480, 32, 85);
    EXPECT_EQ(Driver(0).selectedMode, 2);
    SelectMode(1024, 768, 32, 0);          // no match: mode 0 is overwritten
    EXPECT_EQ(Driver(0).selectedMode, 0);
    EXPECT_EQ(Driver(0).modes[0].width, 1024);
    EXPECT_EQ(Driver(0).modeCount, 3);
    for (int i = 3; i < DriverInfo::kMaxModes; ++i) AddDisplayMode({i, i, 32, 0});
    EXPECT_FALSE(AddDisplayMode({1, 1, 32, 0}));
    ResetModeSelection();
}

TEST(RenderSurfaceTest, DepthAtReadsThroughTheMaskAndStaysInsideTheSurface) {
    Fixture f;
    RenderSurface& target = *f.context->CurrentSurface();
    auto& depth = f.platform.depthBuffer();
    depth.SetDepthWord(10, 20, 0x80000000u);
    depth.SetDepthWord(639, 479, 0x40000000u);
    EXPECT_NEAR(target.DepthAt(10, 20), 0.5f, 1e-6);
    EXPECT_NEAR(target.DepthAt(639, 479), 0.25f, 1e-6);
    EXPECT_FLOAT_EQ(target.DepthAt(0, 0), 1.0f);
    // The viewport's far edges count as inside, but there is no depth to read there.
    EXPECT_TRUE(target.ContainsPixel(640, 480));
    EXPECT_TRUE(target.ContainsPixel(0, 0));
    EXPECT_FALSE(target.ContainsPixel(641, 0));
    EXPECT_FALSE(target.ContainsPixel(-1, 0));
    EXPECT_EQ(target.DepthAt(640, 480), 0.0f);
    EXPECT_EQ(target.DepthAt(-1, 5), 0.0f);
    EXPECT_FALSE(depth.locked());

    // A 16-bit depth buffer is read two bytes per pixel, not four.
    DDSURFACEDESC2 desc{};
    desc.dwWidth = 4;
    desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
    desc.ddpfPixelFormat = testing_support::PixelFormatDepth(16, 0xFFFF);
    auto* small = f.platform.NewSurface(desc);
    auto* colour = f.platform.NewSurface(f.platform.backBuffer().desc());
    colour->AddAttachedSurface(small);
    small->SetDepthWord(3, 1, 0xFFFF);
    small->SetDepthWord(2, 1, 0x0000);
    RenderSurface wrapped(colour, D3DVIEWPORT7{0, 0, 4, 2, 0, 1});
    EXPECT_FLOAT_EQ(wrapped.DepthAt(3, 1), 1.0f);
    EXPECT_FLOAT_EQ(wrapped.DepthAt(2, 1), 0.0f);
    EXPECT_EQ(wrapped.DepthAt(4, 1), 0.0f);

    // No depth surface at all: 0.
    RenderSurface bare(f.platform.NewSurface(desc), D3DVIEWPORT7{0, 0, 4, 2, 0, 1});
    EXPECT_EQ(bare.DepthAt(0, 0), 0.0f);
}

TEST(RenderSurfaceTest, PixelColourReadsTheFormatsChannels) {
    Fixture f;
    RenderSurface& target = *f.context->CurrentSurface();
    f.platform.backBuffer().SetPixelWord(5, 6, 0x00FF8000u);
    Color c = target.PixelColor(5, 6);
    EXPECT_FLOAT_EQ(c.r, 1);
    EXPECT_NEAR(c.g, 128 / 255.0f, 1e-6);
    EXPECT_FLOAT_EQ(c.b, 0);
    EXPECT_FLOAT_EQ(c.a, 1);  // no alpha bits: opaque
    EXPECT_FLOAT_EQ(target.PixelColor(640, 0).r, 0);
}

TEST(RenderSurfaceTest, CreationDescribesTheSurfaceAndAttachesItsOwnDepth) {
    LogCapture log;
    Fixture f;
    {
        RenderSurface surface(*f.context, 256, 128,
                              RenderSurface::kRenderTarget | RenderSurface::kOwnDepth | RenderSurface::kHasViewport |
                                  RenderSurface::kSystemMemory);
        ASSERT_TRUE(surface.Surface());
        EXPECT_TRUE(surface.owned());
        EXPECT_EQ(surface.description().dwSize, 124u);
        EXPECT_EQ(surface.description().dwFlags, 0x1007u);
        EXPECT_EQ(surface.description().ddsCaps.dwCaps, DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE);
        EXPECT_EQ(surface.description().ddpfPixelFormat.dwRGBBitCount, 32u);
        ASSERT_TRUE(surface.Viewport());
        EXPECT_EQ(surface.Viewport()->dwWidth, 256u);
        EXPECT_EQ(surface.Viewport()->dwHeight, 128u);
        auto* made = dynamic_cast<testing_support::RecordingSurface*>(surface.Surface());
        ASSERT_TRUE(made && made->attachedDepth());
        EXPECT_EQ(made->attachedDepth()->desc().ddsCaps.dwCaps, DDSCAPS_SYSTEMMEMORY | DDSCAPS_ZBUFFER);
        EXPECT_EQ(made->attachedDepth()->desc().dwWidth, 256u);

        RenderSurface texture(*f.context, 64, 64, RenderSurface::kTexture | RenderSurface::kLocalVideoMemory);
        EXPECT_EQ(texture.description().ddsCaps.dwCaps, DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_TEXTURE);
        EXPECT_EQ(texture.Viewport(), nullptr);
        RenderSurface agp(*f.context, 64, 64, RenderSurface::kNonLocalVideoMemory);
        EXPECT_EQ(agp.description().ddsCaps.dwCaps, DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM);
    }
    EXPECT_TRUE(log.errors().empty());
    f.context.reset();
    EXPECT_TRUE(f.platform.Unreleased().empty()) << ::testing::PrintToString(f.platform.Unreleased());
}

TEST(RenderSurfaceTest, FailuresAreReportedAndLeaveTheSurfaceEmpty) {
    LogCapture log;
    Fixture f;
    f.platform.failSurface = [](const DDSURFACEDESC2& d) { return (d.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) != 0; };
    {
        RenderSurface noDepth(*f.context, 32, 32, RenderSurface::kRenderTarget | RenderSurface::kOwnDepth);
        EXPECT_TRUE(noDepth.Surface());
        EXPECT_EQ(log.errors(),
                  std::vector<std::string>{"[RC] - Surface cannot be created : impossible creation of Z buffer"});
    }
    log.clear();
    f.platform.failSurface = [](const DDSURFACEDESC2&) { return true; };
    {
        RenderSurface none(*f.context, 32, 32, RenderSurface::kRenderTarget);
        EXPECT_EQ(none.Surface(), nullptr);
        EXPECT_EQ(none.DepthAt(0, 0), 0.0f);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"[RC] - Surface cannot be created"});
    }
    log.clear();
    f.platform.withBackBuffer = false;
    {
        RenderSurface none(*f.context, 32, 32, RenderSurface::kRenderTarget);
        EXPECT_EQ(none.Surface(), nullptr);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"[RC] - Cannot get backbuffer"});
    }
    f.context.reset();
    EXPECT_TRUE(f.platform.Unreleased().empty()) << ::testing::PrintToString(f.platform.Unreleased());
}

// Texture loading on the recording device: the JPEG reader (with texture
// creation handed in, as the recording device has no utility library), the DDS
// reader and its format choice, dispatch by extension, damaged files, and
// material stages binding the textures a scene file names.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/files/pack.h"
#include "engine/render/material.h"
#include "engine/render/texture.h"
#include "engine/render/texture_dds.h"
#include "engine/render/texture_jpeg.h"
#include "engine/scene/scene_loader.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"
#include "tools/image/dds_writer.h"
#include "tools/image/jpeg_writer.h"
#include "tools/zkpack/pack_writer.h"
#include "tools/zks/zks_writer.h"

using namespace ZK3D;
using testing_support::LogCapture;
using testing_support::PixelFormatFourCC;
using testing_support::PixelFormatRGB;
using testing_support::RecordingPlatform;
using testing_support::RecordingSurface;
using testing_support::SceneRig;

namespace {

// ---------------------------------------------------------------- test files

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        path_ = fs::path(::testing::TempDir()) /
                ("tex_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string p = (path_ / name).string();
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Left half one colour, right half another.
image::Image TwoColours(int w, int h, image::Rgba left, image::Rgba right) {
    image::Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = x < w / 2 ? left : right;
    return img;
}

std::vector<uint8_t> Jpeg(const image::Image& img) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(image::EncodeJpeg(img, {.quality = 100, .subsampleChroma = false}, out));
    return out;
}

// A one-component JPEG, written with libjpeg directly (the image tools write
// colour files only).
std::string GreyJpeg(const std::string& path, int w, int h) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(w), 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return path;
}

std::vector<uint8_t> Dds(const image::Image& img, image::DdsFormat format, bool mipmaps = false) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(image::EncodeDds(img, {.format = format, .mipmaps = mipmaps}, out));
    return out;
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }

// ---------------------------------------------------------------- texture creation for the JPEG reader

// D3DXCreateTexture's part, on the recording platform: a 16-bit surface of the
// asked size (rounded up to powers of two when asked), or a chosen failure.
struct FakeCreation {
    RecordingPlatform* platform = nullptr;
    bool roundUp = false;
    HRESULT result = S_OK;
    HRESULT lockResult = DD_OK;
    int calls = 0;
    DWORD askedWidth = 0, askedHeight = 0;
    D3DX_SURFACEFORMAT askedFormat = D3DX_SF_UNKNOWN;
    bool askedFlags = false;
    RecordingSurface* made = nullptr;
};
FakeCreation g_fake;

DWORD RoundUp(DWORD v) {
    DWORD p = 1;
    while (p < v) p <<= 1;
    return p;
}

HRESULT FakeCreateTexture(IDirect3DDevice7*, DWORD* flags, DWORD* width, DWORD* height, D3DX_SURFACEFORMAT* format,
                          void*, IDirectDrawSurface7** texture, DWORD*) {
    ++g_fake.calls;
    g_fake.askedWidth = *width;
    g_fake.askedHeight = *height;
    g_fake.askedFormat = *format;
    g_fake.askedFlags = flags != nullptr;
    *texture = nullptr;
    if (FAILED(g_fake.result)) return g_fake.result;
    if (g_fake.roundUp) *width = RoundUp(*width), *height = RoundUp(*height);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = *width;
    d.dwHeight = *height;
    d.ddpfPixelFormat = PixelFormatRGB(16, 0xF800, 0x07E0, 0x001F, 0);
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    g_fake.made = g_fake.platform->NewSurface(d);
    g_fake.made->lockResult = g_fake.lockResult;
    *texture = g_fake.made;
    return D3D_OK;
}

class JpegTest : public ::testing::Test {
protected:
    void SetUp() override { g_fake = FakeCreation{&rig.platform}; }
    SceneRig rig;
    TempDir dir;
};

uint16_t PixelAt(RecordingSurface* s, int x, int y) {
    uint16_t v = 0;
    std::memcpy(&v, s->memory().data() + static_cast<size_t>(y) * static_cast<size_t>(s->pitch()) + 2 * x, 2);
    return v;
}

// The 5-6-5 word of a colour, each channel within one step of the expected one
// (JPEG is lossy).
void ExpectNear565(uint16_t got, int r, int g, int b) {
    EXPECT_NEAR(got >> 11, r >> 3, 1) << std::hex << got;
    EXPECT_NEAR((got >> 5) & 0x3F, g >> 2, 1) << std::hex << got;
    EXPECT_NEAR(got & 0x1F, b >> 3, 1) << std::hex << got;
}

// ---------------------------------------------------------------- JPEG

TEST_F(JpegTest, RgbJpegFillsTheTopLevelAsR5G6B5) {
    LogCapture log;
    const std::string path = dir.Write("two.jpg", Jpeg(TwoColours(32, 16, {200, 100, 50}, {10, 240, 130})));
    TextureImage image;
    ASSERT_EQ(ReadJpegTexture(&rig.platform.device(), path.c_str(), &image, &FakeCreateTexture), S_OK);
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(g_fake.askedWidth, 32u);
    EXPECT_EQ(g_fake.askedHeight, 16u);
    EXPECT_EQ(g_fake.askedFormat, D3DX_SF_R5G6B5);
    EXPECT_FALSE(g_fake.askedFlags);
    ASSERT_EQ(image.surface, g_fake.made);
    EXPECT_EQ(image.width, 32u);
    EXPECT_FALSE(g_fake.made->locked());
    ExpectNear565(PixelAt(g_fake.made, 3, 3), 200, 100, 50);
    ExpectNear565(PixelAt(g_fake.made, 28, 12), 10, 240, 130);
    EXPECT_EQ(PixelAt(g_fake.made, 3, 3) >> 11, 200 >> 3);  // the channels land in their own bits
    image.surface->Release();
}

TEST_F(JpegTest, GreyscaleIsRefusedBeforeATextureIsMade) {
    LogCapture log;
    TextureImage image;
    EXPECT_EQ(ReadJpegTexture(&rig.platform.device(), GreyJpeg(dir / "grey.jpg", 8, 8).c_str(), &image,
                              &FakeCreateTexture),
              E_UNEXPECTED);
    EXPECT_TRUE(log.has("[Load-jpeg] Unable to load other than RGB format"));
    EXPECT_EQ(image.surface, nullptr);
    EXPECT_EQ(g_fake.calls, 0);
}

TEST_F(JpegTest, LibraryErrorsJumpBackAndFailCleanly) {
    LogCapture log;
    std::vector<uint8_t> valid = Jpeg(TwoColours(16, 16, {1, 2, 3}, {4, 5, 6}));
    const std::string notJpeg = dir.Write("text.jpg", {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
    const std::string cut = dir.Write("cut.jpg", std::vector<uint8_t>(valid.begin(), valid.begin() + 20));
    for (const std::string& path : {notJpeg, cut}) {
        log.clear();
        TextureImage image;
        EXPECT_EQ(ReadJpegTexture(&rig.platform.device(), path.c_str(), &image, &FakeCreateTexture), E_UNEXPECTED);
        EXPECT_EQ(image.surface, nullptr);
        // The library's own text, printed before the jump.
        const auto texts = log.texts();
        ASSERT_FALSE(texts.empty()) << path;
        EXPECT_EQ(texts.back().rfind("[Load-jpeg] ", 0), 0u) << texts.back();
        if (path == notJpeg) {
            EXPECT_TRUE(log.contains("[Load-jpeg] Not a JPEG file")) << texts.back();
        }
    }
    EXPECT_EQ(g_fake.calls, 0);
}

TEST_F(JpegTest, FailuresAfterCreationReleaseTheTexture) {
    const std::string path = dir.Write("odd.jpg", Jpeg(TwoColours(12, 10, {9, 9, 9}, {90, 90, 90})));
    struct Case {
        const char* name;
        std::function<void()> set;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"rounded", [] { g_fake.roundUp = true; }, "[Load-jpeg] Mapping dimensions are not the same"},
        {"creation", [] { g_fake.result = D3DXERR_NOMEMORY; }, "[Load-jpeg] Error when creating surface"},
        {"lock", [] { g_fake.lockResult = DDERR_SURFACEBUSY; }, "[Load-jpeg] Cannot lock surface for writing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fake = FakeCreation{&rig.platform};
        c.set();
        LogCapture log;
        TextureImage image;
        EXPECT_NE(ReadJpegTexture(&rig.platform.device(), path.c_str(), &image, &FakeCreateTexture), S_OK);
        EXPECT_TRUE(log.has(c.message));
        EXPECT_EQ(image.surface, nullptr);
        if (g_fake.made) {
            EXPECT_EQ(g_fake.made->refs(), 0);
        }
    }
}

TEST_F(JpegTest, StoredPackEntryReadsAndCompressedOneIsNotAStream) {
    const std::vector<uint8_t> jpeg = Jpeg(TwoColours(16, 8, {250, 0, 0}, {0, 0, 250}));
    zkpack::PackWriter writer;
    std::string error;
    // Something before the picture, so the stored entry starts inside the pack.
    ASSERT_TRUE(writer.Add("FIRST.BIN", std::vector<uint8_t>(333, 7), zkpack::Storage::Stored, error));
    ASSERT_TRUE(writer.Add("STORED.JPG", jpeg, zkpack::Storage::Stored, error));
    ASSERT_TRUE(writer.Add("SQUEEZED.JPG", jpeg, zkpack::Storage::Compressed, error));
    ASSERT_TRUE(writer.Write(dir / "test.zkp", false, error)) << error;
    ASSERT_NE(zkSetPack((dir / "test.zkp").c_str()), nullptr);

    LogCapture log;
    TextureImage image;
    ASSERT_EQ(ReadJpegTexture(&rig.platform.device(), "stored.jpg", &image, &FakeCreateTexture), S_OK);
    ExpectNear565(PixelAt(g_fake.made, 2, 2), 250, 0, 0);
    ExpectNear565(PixelAt(g_fake.made, 14, 6), 0, 0, 250);
    image.surface->Release();

    EXPECT_EQ(ReadJpegTexture(&rig.platform.device(), "squeezed.jpg", &image, &FakeCreateTexture), E_UNEXPECTED);
    EXPECT_TRUE(log.has("[Load-Jpeg] Unable to open squeezed.jpg file (not stream)"));
    EXPECT_EQ(ReadJpegTexture(&rig.platform.device(), "absent.jpg", &image, &FakeCreateTexture), E_UNEXPECTED);
    EXPECT_TRUE(log.has("[Load-Jpeg] Unable to open absent.jpg file (not stream)"));
    zkReleasePack();
}

TEST_F(JpegTest, UpperCaseExtensionTakesTheJpegPath) {
    LogCapture log;
    const std::string path = dir.Write("UPPER.JPG", Jpeg(TwoColours(8, 8, {1, 1, 1}, {2, 2, 2})));
    Texture texture("T");
    texture.SetBitmap(path.c_str());
    EXPECT_TRUE(log.has("[Tex] \"T\" - Loads texture (.JPG) \"" + path + "\""));
    // The recording device has no utility library behind it: creation fails.
    EXPECT_TRUE(log.has("[Load-jpeg] Error when creating surface"));
    EXPECT_EQ(log.level("[Tex] Impossible to load texture " + path), 1);  // the JPEG path's failure is an error
    EXPECT_EQ(texture.surface(), nullptr);
}

// ---------------------------------------------------------------- DDS format choice

TEST(DdsFormatTest, ChoosesByFourCCThenByAlphaDepth) {
    const DDPIXELFORMAT x1555 = PixelFormatRGB(16, 0x7C00, 0x03E0, 0x001F, 0);
    const DDPIXELFORMAT a1555 = PixelFormatRGB(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    const DDPIXELFORMAT a4444 = PixelFormatRGB(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    const DDPIXELFORMAT r565 = PixelFormatRGB(16, 0xF800, 0x07E0, 0x001F, 0);
    const DDPIXELFORMAT x8888 = PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const DDPIXELFORMAT a8888 = PixelFormatRGB(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    const std::vector<DDPIXELFORMAT> noDxt = {x1555, a1555, a4444, r565, x8888, a8888};
    std::vector<DDPIXELFORMAT> withDxt = noDxt;
    withDxt.push_back(PixelFormatFourCC(FOURCC_DXT3));

    auto pick = [](DWORD fourCC, const std::vector<DDPIXELFORMAT>& list, DDPIXELFORMAT* out) {
        return ChooseDdsFormat(PixelFormatFourCC(fourCC), list, out);
    };
    DDPIXELFORMAT chosen{};
    ASSERT_TRUE(pick(FOURCC_DXT3, withDxt, &chosen));
    EXPECT_EQ(chosen.dwFourCC, FOURCC_DXT3);
    ASSERT_TRUE(pick(FOURCC_DXT3, noDxt, &chosen));  // exactly 4 alpha bits
    EXPECT_EQ(chosen.dwRGBAlphaBitMask, 0xF000u);
    ASSERT_TRUE(pick(FOURCC_DXT1, noDxt, &chosen));
    EXPECT_EQ(chosen.dwRGBAlphaBitMask, 0x8000u);
    ASSERT_TRUE(pick(FOURCC_DXT5, noDxt, &chosen));
    EXPECT_EQ(chosen.dwRGBAlphaBitMask, 0xFF000000u);
    // No exact alpha depth: the most alpha bits, the first of equals.
    ASSERT_TRUE(pick(FOURCC_DXT5, {x1555, a4444, r565}, &chosen));
    EXPECT_EQ(chosen.dwRGBAlphaBitMask, 0xF000u);
    // Premultiplied variants want premultiplied formats.
    EXPECT_FALSE(pick(FOURCC_DXT2, noDxt, &chosen));
    DDPIXELFORMAT pre = a4444;
    pre.dwFlags |= DDPF_ALPHAPREMULT;
    ASSERT_TRUE(pick(FOURCC_DXT4, {a8888, pre}, &chosen));
    EXPECT_EQ(chosen.dwFlags & DDPF_ALPHAPREMULT, DDPF_ALPHAPREMULT);
    // Other FourCCs match only themselves; candidates need 4 bits of each colour.
    EXPECT_FALSE(pick(MakeFourCC('A', 'B', 'C', 'D'), withDxt, &chosen));
    EXPECT_FALSE(pick(FOURCC_DXT1, {PixelFormatRGB(8, 0xE0, 0x1C, 0x03, 0)}, &chosen));
    // Uncompressed: the first with the same bit counts in every mask.
    ASSERT_TRUE(ChooseDdsFormat(PixelFormatRGB(32, 0xFF, 0xFF00, 0xFF0000, 0), noDxt, &chosen));
    EXPECT_EQ(chosen.dwRGBBitCount, 32u);
    EXPECT_EQ(chosen.dwRGBAlphaBitMask, 0u);
    EXPECT_FALSE(ChooseDdsFormat(PixelFormatRGB(16, 0xF00, 0xF0, 0xF, 0), noDxt, &chosen));
}

// ---------------------------------------------------------------- DDS reader

class DdsTest : public ::testing::Test {
protected:
    HRESULT Read(const std::string& path, TextureImage* image) {
        return ReadDdsTexture(rig.context->ddraw(), rig.context->textureFormats(), path.c_str(), image);
    }
    int CountContaining(const std::string& part) const {
        int n = 0;
        for (const std::string& c : rig.platform.calls()) n += c.find(part) != std::string::npos;
        return n;
    }
    SceneRig rig;
    TempDir dir;
};

TEST_F(DdsTest, SingleLevelReadsOnceBlitsOnceAndSucceeds) {
    image::Image img = TwoColours(8, 4, {255, 0, 0, 255}, {0, 0, 255, 128});
    const std::vector<uint8_t> file = Dds(img, image::DdsFormat::A8R8G8B8);
    TextureImage image;
    rig.platform.log().clear();
    ASSERT_EQ(Read(dir.Write("one.dds", file), &image), S_OK);
    ASSERT_NE(image.surface, nullptr);
    EXPECT_EQ(image.width, 8u);
    EXPECT_EQ(image.height, 4u);
    EXPECT_EQ(CountContaining("ddraw.CreateSurface"), 2);
    EXPECT_EQ(CountContaining(".Blt("), 1);
    EXPECT_EQ(CountContaining(".Lock(null,1)"), 1);
    auto* video = dynamic_cast<RecordingSurface*>(image.surface);
    EXPECT_EQ(video->desc().ddsCaps.dwCaps, DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
    EXPECT_EQ(video->desc().ddpfPixelFormat.dwRGBAlphaBitMask, 0xFF000000u);
    // The pixels crossed both surfaces unchanged.
    EXPECT_TRUE(std::equal(video->memory().begin(), video->memory().end(), file.begin() + 128));
    // The system-memory surface is gone; the video one is the caller's.
    RecordingSurface* system = rig.platform.surfaces()[rig.platform.surfaces().size() - 2];
    EXPECT_EQ(system->refs(), 0);
    EXPECT_EQ(video->refs(), 1);
    image.surface->Release();
}

TEST_F(DdsTest, MipChainIsReadWholeButOnlyTheTopLevelReachesTheDevice) {
    image::Image img = TwoColours(8, 8, {10, 200, 30, 255}, {200, 10, 30, 255});
    const std::vector<uint8_t> file = Dds(img, image::DdsFormat::DXT1, true);
    TextureImage image;
    rig.platform.log().clear();
    EXPECT_EQ(Read(dir.Write("mips.dds", file), &image), DDERR_NOTFOUND);
    ASSERT_NE(image.surface, nullptr);
    EXPECT_EQ(image.mipCount, 4u);
    EXPECT_EQ(CountContaining(".Lock(null,1)"), 4);  // 8, 4, 2, 1
    EXPECT_EQ(CountContaining(".Blt("), 1);
    auto* video = dynamic_cast<RecordingSurface*>(image.surface);
    EXPECT_EQ(video->desc().ddpfPixelFormat.dwFourCC, FOURCC_DXT1);
    EXPECT_TRUE(std::equal(video->memory().begin(), video->memory().end(), file.begin() + 128));
    for (RecordingSurface* s : rig.platform.surfaces()) {
        if (s != video && (s->desc().ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY)) {
            EXPECT_EQ(s->refs(), 0) << s->name();
        }
    }
    image.surface->Release();
}

TEST_F(DdsTest, Dxt3OnADeviceWithoutDxtBecomesA4R4G4B4) {
    auto& formats = rig.platform.device().textureFormats;
    formats.erase(std::remove_if(formats.begin(), formats.end(), [](const DDPIXELFORMAT& f) { return f.dwFourCC; }),
                  formats.end());
    // The format list is taken when the context is made.
    rig.world.reset();
    rig.context.reset();
    rig.context = rig.platform.CreateContext();
    rig.world = CreateWorld(rig.context.get());
    TextureImage image;
    const std::vector<uint8_t> file = Dds(TwoColours(8, 8, {1, 2, 3, 4}, {5, 6, 7, 8}), image::DdsFormat::DXT3);
    EXPECT_EQ(Read(dir.Write("dxt3.dds", file), &image), S_OK);
    ASSERT_NE(image.surface, nullptr);
    const DDPIXELFORMAT& f = dynamic_cast<RecordingSurface*>(image.surface)->desc().ddpfPixelFormat;
    EXPECT_EQ(f.dwFourCC, 0u);
    EXPECT_EQ(f.dwRGBAlphaBitMask, 0xF000u);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    image.surface->Release();
}

TEST_F(DdsTest, UnknownFourCCAndMalformedFilesAreRefusedBeforeAnySurface) {
    std::vector<uint8_t> valid = Dds(TwoColours(8, 8, {1, 2, 3, 4}, {5, 6, 7, 8}), image::DdsFormat::DXT1, true);
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"fourcc", [](auto& b) { Put32(b, 84, MakeFourCC('A', 'B', 'C', 'D')); },
         "no texture format of the device fits its pixels"},
        {"code without flag", [](auto& b) { Put32(b, 80, 0); }, "its FourCC flag and FourCC code disagree"},
        {"flag without code", [](auto& b) { Put32(b, 84, 0); }, "its FourCC flag and FourCC code disagree"},
        {"magic", [](auto& b) { b[0] = 'X'; }, "no \"DDS \" magic"},
        {"header size", [](auto& b) { Put32(b, 4, 100); }, "its header size is not 124"},
        {"format size", [](auto& b) { Put32(b, 76, 0); }, "its pixel format size is not 32"},
        {"zero width", [](auto& b) { Put32(b, 16, 0); }, "its dimensions are out of range"},
        {"huge", [](auto& b) { Put32(b, 12, 0x7FFFFFFF); }, "its dimensions are out of range"},
        {"big but short", [](auto& b) { Put32(b, 12, 16384), Put32(b, 16, 16384); },
         "its data is shorter than its levels need"},
        {"mip count", [](auto& b) { Put32(b, 28, 30); }, "more mip-map levels than its size allows"},
        {"cut data", [](auto& b) { b.resize(b.size() - 1); }, "its data is shorter than its levels need"},
        {"cut header", [](auto& b) { b.resize(60); }, "its header is cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = valid;
        c.damage(bytes);
        LogCapture log;
        rig.platform.log().clear();
        TextureImage image;
        EXPECT_NE(Read(dir.Write("bad.dds", bytes), &image), S_OK);
        EXPECT_EQ(image.surface, nullptr);
        EXPECT_TRUE(log.contains(c.message));
        EXPECT_EQ(CountContaining("ddraw.CreateSurface"), 0);
    }
    // Every shorter prefix fails, and the whole file reads.
    for (size_t length = 0; length < valid.size(); ++length) {
        TextureImage image;
        EXPECT_NE(Read(dir.Write("prefix.dds", std::vector<uint8_t>(valid.begin(), valid.begin() + length)), &image),
                  S_OK);
        EXPECT_EQ(image.surface, nullptr);
    }
}

TEST_F(DdsTest, LoadingByExtensionTriesTheUtilityLibraryThenTheOwnReader) {
    LogCapture log;
    const std::string path =
        dir.Write("pic.DDS", Dds(TwoColours(4, 4, {1, 2, 3, 4}, {5, 6, 7, 8}), image::DdsFormat::A8R8G8B8));
    Texture texture("Pic");
    texture.SetBitmap(path.c_str());
    EXPECT_TRUE(log.has("[Tex] \"Pic\" - Loads texture (.DDS) \"" + path + "\""));
    EXPECT_TRUE(log.errors().empty());
    ASSERT_NE(texture.surface(), nullptr);
    EXPECT_EQ(dynamic_cast<RecordingSurface*>(texture.surface())->desc().dwWidth, 4u);

    // Anything else goes to the utility library alone, which the recording
    // device does not have: the texture stays without a surface.
    const std::string png = dir.Write("pic.png", {0x89, 'P', 'N', 'G'});
    Texture other("Other");
    other.SetBitmap(png.c_str());
    EXPECT_TRUE(log.has("[Tex] \"Other\" - Loads texture \"" + png + "\""));
    EXPECT_EQ(log.level("[Tex] Impossible to load texture " + png), 1);  // an error on every path
    EXPECT_EQ(other.surface(), nullptr);
    Texture::Bind(0, &other);
    EXPECT_EQ(rig.platform.device().texture(0), nullptr);
}

// ---------------------------------------------------------------- stages meet textures

TEST_F(DdsTest, SceneMaterialsBindTheirLoadedTexturesStageByStage) {
    const std::vector<uint8_t> a = Dds(TwoColours(4, 4, {9, 9, 9, 255}, {9, 9, 9, 255}), image::DdsFormat::DXT1);
    const std::string wood = dir.Write("wood.dds", a);
    const std::string sky = dir.Write("sky.dds", a);
    zks::Scene s;
    zks::Material lit;
    lit.name = "Lit";
    lit.texture = zks::TextureRef{"wood", wood};
    lit.environment = zks::TextureRef{"sky", sky};
    zks::Material missing;
    missing.name = "Missing";
    missing.texture = zks::TextureRef{"gone", dir / "gone.dds"};
    s.materials = {lit, missing};
    zks::Mesh mesh;
    mesh.name = "M";
    mesh.material = "Lit";
    mesh.vertices.resize(3);
    mesh.faces = {{0, 1, 2}};
    s.meshes = {mesh};
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(zks::WriteScene(s, bytes));
    LogCapture log;
    Scene* scene = LoadScene(rig.world.get(), dir.Write("scene.zks", bytes).c_str());
    ASSERT_NE(scene, nullptr);
    CompileWorld(rig.world.get());

    auto* woodTexture = FindTexture("wood");
    auto* skyTexture = FindTexture("sky");
    ASSERT_NE(woodTexture->surface(), nullptr);
    ASSERT_NE(skyTexture->surface(), nullptr);
    EXPECT_EQ(FindTexture("gone")->surface(), nullptr);
    EXPECT_EQ(log.level("[Tex] Impossible to load texture " + (dir / "gone.dds")), 1);

    auto& device = rig.platform.device();
    Material::Apply(FindMaterial("Lit"), scene->meshes);
    EXPECT_EQ(device.texture(0), woodTexture->surface());
    EXPECT_EQ(device.texture(1), skyTexture->surface());
    EXPECT_EQ(device.stageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
    EXPECT_EQ(device.stageState(1, D3DTSS_COLOROP), D3DTOP_ADD);  // set when the mesh compiled
    EXPECT_EQ(device.stageState(1, D3DTSS_TEXCOORDINDEX), D3DTSS_TCI_CAMERASPACENORMAL);
    EXPECT_EQ(device.stageState(2, D3DTSS_COLOROP), D3DTOP_DISABLE);

    Material::Apply(FindMaterial("Missing"), scene->meshes);
    EXPECT_EQ(device.texture(0), nullptr);  // a texture without image unbinds its stage
    EXPECT_EQ(device.stageState(1, D3DTSS_COLOROP), D3DTOP_DISABLE);
}

}  // namespace

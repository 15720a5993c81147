// Texture lookup, decoding (stb_image) and re-encoding (the image tools' writers).
#include "tools/import/textures.h"

#include <assimp/scene.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "tools/image/dds_writer.h"
#include "tools/image/image.h"
#include "tools/image/jpeg_writer.h"

namespace zkimport {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Undoes %XX escapes, as URIs in glTF files carry them.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// Decoded RGBA pixels from a picture file's bytes; empty when stb_image cannot read them.
image::Image Decode(const unsigned char* bytes, size_t size) {
    if (size == 0 || size > static_cast<size_t>(INT32_MAX)) return {};
    int w = 0, h = 0, channels = 0;
    // The header first: a picture claiming a huge size is refused before any
    // memory is taken for it.
    if (!stbi_info_from_memory(bytes, static_cast<int>(size), &w, &h, &channels) || w < 1 || h < 1 ||
        w > image::kMaxImageSize || h > image::kMaxImageSize)
        return {};
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes, static_cast<int>(size), &w, &h, &channels, 4), &stbi_image_free);
    if (!pixels || w < 1 || h < 1 || w > image::kMaxImageSize || h > image::kMaxImageSize) return {};
    image::Image picture(w, h);
    const stbi_uc* p = pixels.get();
    for (image::Rgba& px : picture.pixels()) {
        px = {p[0], p[1], p[2], p[3]};
        p += 4;
    }
    return picture;
}

std::vector<unsigned char> ReadAll(const fs::path& path) {
    std::vector<unsigned char> bytes;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return bytes;
    unsigned char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    return bytes;
}

}  // namespace

std::string FindTextureFile(const std::string& path, const std::string& modelDirectory) {
    std::string p = path;
    if (p.rfind("file://", 0) == 0) p = p.substr(7);
    p = Unescape(p);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.empty()) return {};
    const fs::path given(p);
    const fs::path dir(modelDirectory.empty() ? "." : modelDirectory);
    if (given.is_absolute() && IsFile(given)) return given.string();
    if (IsFile(dir / given)) return (dir / given).string();
    const fs::path leaf = given.filename();
    if (leaf.empty()) return {};
    if (IsFile(dir / leaf)) return (dir / leaf).string();
    const std::string wanted = Lower(leaf.string());
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        if (e.is_regular_file(ec) && Lower(e.path().filename().string()) == wanted) return e.path().string();
    }
    return {};
}

TextureConverter::TextureConverter(const aiScene& scene, std::string modelDirectory, std::string sceneStem)
    : scene_(scene), directory_(std::move(modelDirectory)), sceneStem_(std::move(sceneStem)) {}

std::string TextureConverter::UniqueName(const std::string& stem, const char* extension) {
    std::string base = stem.empty() ? sceneStem_ : stem;
    for (char& c : base) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) c = '_';
    }
    std::string name = base + extension;
    for (int i = 2; names_.count(Lower(name)); ++i) name = base + "." + std::to_string(i) + extension;
    names_.insert(Lower(name));
    return name;
}

std::optional<ConvertedTexture> TextureConverter::Convert(const std::string& path, std::string* why) {
    if (const auto it = bySource_.find(path); it != bySource_.end()) {
        if (!it->second && why) *why = failures_[path];
        return it->second;
    }
    auto fail = [&](const std::string& reason) -> std::optional<ConvertedTexture> {
        bySource_[path] = std::nullopt;
        failures_[path] = reason;
        if (why) *why = reason;
        return std::nullopt;
    };

    image::Image picture;
    std::string stem;
    if (const aiTexture* embedded = scene_.GetEmbeddedTexture(path.c_str())) {
        if (embedded->mHeight == 0) {
            picture = Decode(reinterpret_cast<const unsigned char*>(embedded->pcData), embedded->mWidth);
        } else if (embedded->mWidth <= static_cast<unsigned>(image::kMaxImageSize) &&
                   embedded->mHeight <= static_cast<unsigned>(image::kMaxImageSize)) {
            picture = image::Image(static_cast<int>(embedded->mWidth), static_cast<int>(embedded->mHeight));
            const aiTexel* t = embedded->pcData;
            for (image::Rgba& px : picture.pixels()) {
                px = {t->r, t->g, t->b, t->a};
                ++t;
            }
        }
        if (picture.empty()) return fail("the embedded picture \"" + path + "\" cannot be decoded");
        stem = fs::path(embedded->mFilename.C_Str()).stem().string();
        if (stem.empty()) stem = sceneStem_ + "_" + (path.size() > 1 && path[0] == '*' ? path.substr(1) : "tex");
    } else {
        const std::string file = FindTextureFile(path, directory_);
        if (file.empty()) return fail("the picture \"" + path + "\" is not found");
        const std::vector<unsigned char> bytes = ReadAll(file);
        picture = Decode(bytes.data(), bytes.size());
        if (picture.empty()) return fail("the picture \"" + file + "\" cannot be decoded");
        stem = fs::path(file).stem().string();
    }

    ConvertedTexture converted;
    converted.hasAlpha = std::any_of(picture.pixels().begin(), picture.pixels().end(),
                                     [](const image::Rgba& px) { return px.a < 255; });
    TextureFile out;
    std::string error;
    const bool encoded = converted.hasAlpha
                             ? image::EncodeDds(picture, {.format = image::DdsFormat::DXT5}, out.bytes, &error)
                             : image::EncodeJpeg(picture, {.quality = 90}, out.bytes, &error);
    if (!encoded) return fail("the picture \"" + path + "\" cannot be encoded: " + error);
    converted.name = UniqueName(stem, converted.hasAlpha ? ".dds" : ".jpg");
    out.name = converted.name;
    files_.push_back(std::move(out));
    bySource_[path] = converted;
    return converted;
}

}  // namespace zkimport

// The conversion from the library's scene to a zks::Scene: axes, names, the
// node tree, meshes, materials, cameras, lights and the animation.
#include "tools/import/importer.h"

#include <assimp/Importer.hpp>
#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "engine/core/render_flags.h"
#include "tools/import/library_read.h"
#include "tools/import/textures.h"
#include "tools/zks/zks_math.h"
#include "tools/zks/zks_writer.h"

namespace zkimport {

namespace fs = std::filesystem;
using zks::Quat;
using zks::Vec3;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr size_t kMaxVertices = 65535;
constexpr size_t kMaxNameBytes = 200;
constexpr float kLightRange = 1.8e19f;  // the largest range a D3D light takes: sqrt(FLT_MAX)
constexpr float kAspect = 4.0f / 3.0f;  // the engine's picture

// The file's axes are right-handed with y up; the engine's are right-handed
// with z up. A quarter turn about x maps one onto the other: (x, y, z) → (x, −z, y).
Vec3 Axes(const aiVector3D& v) { return {v.x, -v.z, v.y}; }
Quat Axes(const aiQuaternion& q) { return {q.x, -q.z, q.y, q.w}; }
Vec3 ScaleAxes(const aiVector3D& s) { return {s.x, s.z, s.y}; }

zks::Color Rgba(const aiColor3D& c, float a = 1) { return {c.r, c.g, c.b, a}; }

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

// A name as the scene file can hold it: at most kMaxNameBytes bytes, no
// control characters, never empty.
std::string CleanName(const std::string& raw, const std::string& fallback) {
    std::string name;
    for (char c : raw) {
        if (name.size() >= kMaxNameBytes) break;
        name += static_cast<unsigned char>(c) < 32 ? '_' : c;
    }
    return name.empty() ? fallback : name;
}

// Every object and node name in one scene is unique: a hierarchy node finds
// its object, and a child its parent, by name.
class NamePool {
public:
    std::string Take(const std::string& wanted) {
        std::string name = wanted;
        for (int i = 2; used_.count(name); ++i) name = wanted + "." + std::to_string(i);
        used_.insert(name);
        return name;
    }

private:
    std::set<std::string> used_;
};

// --- Sampling the file's animation ------------------------------------------

template <typename Key, typename Value, typename Mix>
Value Sample(const Key* keys, unsigned count, double ticks, Value fallback, Mix mix) {
    if (count == 0) return fallback;
    if (ticks <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 1; i < count; ++i) {
        if (ticks <= keys[i].mTime) {
            const double span = keys[i].mTime - keys[i - 1].mTime;
            const float u = span > 0 ? static_cast<float>((ticks - keys[i - 1].mTime) / span) : 1.0f;
            return mix(keys[i - 1].mValue, keys[i].mValue, u);
        }
    }
    return keys[count - 1].mValue;
}

class Animation {
public:
    Animation(const aiAnimation* animation) : animation_(animation) {
        for (unsigned i = 0; animation && i < animation->mNumChannels; ++i) {
            const aiNodeAnim* c = animation->mChannels[i];
            if (c) channels_[c->mNodeName.C_Str()] = c;
        }
    }
    const aiNodeAnim* ChannelOf(const aiNode* node) const {
        const auto it = channels_.find(node->mName.C_Str());
        return it == channels_.end() ? nullptr : it->second;
    }
    bool Moves(const aiNode* node) const {
        for (; node; node = node->mParent) {
            if (ChannelOf(node)) return true;
        }
        return false;
    }
    double TicksPerSecond() const {
        return animation_ && animation_->mTicksPerSecond > 0 ? animation_->mTicksPerSecond : 25.0;
    }
    // The node's local matrix at a time in ticks.
    aiMatrix4x4 LocalAt(const aiNode* node, double ticks) const {
        const aiNodeAnim* c = ChannelOf(node);
        if (!c) return node->mTransformation;
        aiVector3D scaling, position;
        aiQuaternion rotation;
        node->mTransformation.Decompose(scaling, rotation, position);
        auto lerp = [](const aiVector3D& a, const aiVector3D& b, float u) { return a + (b - a) * u; };
        auto slerp = [](const aiQuaternion& a, const aiQuaternion& b, float u) {
            aiQuaternion out;
            aiQuaternion::Interpolate(out, a, b, u);
            return out.Normalize();
        };
        position = Sample(c->mPositionKeys, c->mNumPositionKeys, ticks, position, lerp);
        rotation = Sample(c->mRotationKeys, c->mNumRotationKeys, ticks, rotation, slerp);
        scaling = Sample(c->mScalingKeys, c->mNumScalingKeys, ticks, scaling, lerp);
        return aiMatrix4x4(scaling, rotation, position);
    }
    aiMatrix4x4 WorldAt(const aiNode* node, double ticks) const {
        aiMatrix4x4 world;
        for (; node; node = node->mParent) world = LocalAt(node, ticks) * world;
        return world;
    }

private:
    const aiAnimation* animation_;
    std::map<std::string, const aiNodeAnim*> channels_;
};

const aiNode* FindNode(const aiScene& scene, const aiString& name) {
    return scene.mRootNode ? scene.mRootNode->FindNode(name) : nullptr;
}

// A direction through a matrix, without its translation.
aiVector3D Direction(const aiMatrix4x4& m, const aiVector3D& v) {
    return aiMatrix3x3(m) * v;
}

// --- The converter -----------------------------------------------------------

class Converter {
public:
    Converter(const aiScene& scene, const Options& options, const std::string& path, const std::string& format,
              Result& result)
        : in_(scene), options_(options), format_(format), out_(result), scene_(result.scene),
          textures_(scene, fs::path(path).parent_path().string(), fs::path(path).stem().string()) {
        scene_.name = CleanName(fs::path(path).stem().string(), "Scene");
    }

    bool Run(std::string* error) {
        CountSource();
        if (!ChooseAnimation(error)) return false;
        ReserveObjectNames();
        ConvertGeometry();
        if (triangles_ == 0) {
            *error = "nothing to draw: the file holds no triangles";
            return false;
        }
        BuildTree();
        ConvertCameras();
        ConvertLights();
        CheckLightCount();
        if (options_.addView) AddView();
        out_.textures = textures_.TakeFiles();
        Summarise();
        return true;
    }

private:
    void Note(std::string line) { out_.notes.push_back(std::move(line)); }

    void CountSource() {
        SourceCounts& s = out_.source;
        s.meshes = static_cast<int>(in_.mNumMeshes);
        s.cameras = static_cast<int>(in_.mNumCameras);
        s.lights = static_cast<int>(in_.mNumLights);
        s.materials = static_cast<int>(in_.mNumMaterials);
        s.animations = static_cast<int>(in_.mNumAnimations);
        for (unsigned m = 0; m < in_.mNumMeshes; ++m) {
            for (unsigned f = 0; f < in_.mMeshes[m]->mNumFaces; ++f) s.triangles += in_.mMeshes[m]->mFaces[f].mNumIndices == 3;
        }
        std::vector<const aiNode*> stack{in_.mRootNode};
        while (!stack.empty()) {
            const aiNode* n = stack.back();
            stack.pop_back();
            if (!n) continue;
            ++s.nodes;
            for (unsigned i = 0; i < n->mNumChildren; ++i) stack.push_back(n->mChildren[i]);
        }
    }

    bool ChooseAnimation(std::string* error) {
        const aiAnimation* chosen = nullptr;
        if (!options_.animation.empty()) {
            const std::string& want = options_.animation;
            const bool index = want.find_first_not_of("0123456789") == std::string::npos;
            for (unsigned i = 0; i < in_.mNumAnimations && !chosen; ++i) {
                if ((index && std::to_string(i) == want) || want == in_.mAnimations[i]->mName.C_Str()) chosen = in_.mAnimations[i];
            }
            if (!chosen) {
                std::string names;
                for (unsigned i = 0; i < in_.mNumAnimations; ++i)
                    names += Format("%s%u \"%s\"", i ? ", " : "", i, in_.mAnimations[i]->mName.C_Str());
                *error = "no animation \"" + want + "\" in the file" + (names.empty() ? " (it has none)" : " (it has " + names + ")");
                return false;
            }
        } else if (in_.mNumAnimations > 0) {
            chosen = in_.mAnimations[0];
        }
        for (unsigned i = 0; i < in_.mNumAnimations; ++i) {
            if (in_.mAnimations[i] != chosen) Note(Format("animation \"%s\" dropped: a scene plays one (--animation picks it)", in_.mAnimations[i]->mName.C_Str()));
        }
        if (chosen && (chosen->mNumMeshChannels > 0 || chosen->mNumMorphMeshChannels > 0))
            Note(Format("animation \"%s\": %u mesh and morph channels dropped: the engine animates nodes only",
                        chosen->mName.C_Str(), chosen->mNumMeshChannels + chosen->mNumMorphMeshChannels));
        animation_ = Animation(chosen);
        bool moves = false;
        for (unsigned i = 0; chosen && i < chosen->mNumChannels; ++i)
            moves = moves || (chosen->mChannels[i] && FindNode(in_, chosen->mChannels[i]->mNodeName));
        if (chosen && !moves) Note(Format("animation \"%s\" moves no node: the scene is static", chosen->mName.C_Str()));
        if (moves) {
            scene_.kind = zks::SceneKind::Animated;
            const double seconds = chosen->mDuration / animation_.TicksPerSecond();
            scene_.animation.framesPerSecond = options_.fps;
            scene_.animation.lastFrame = std::max(1, static_cast<int>(std::ceil(seconds * options_.fps - 1e-6)));
            animationName_ = chosen->mName.C_Str();
        }
        // A demo script plays its scene for the scene's length: --length gives a
        // static file one, and cuts or holds an animation.
        if (options_.lengthSeconds > 0) {
            if (!moves) animation_ = Animation(nullptr);
            scene_.kind = zks::SceneKind::Animated;
            scene_.animation.framesPerSecond = options_.fps;
            scene_.animation.lastFrame = std::max(1, static_cast<int>(std::ceil(options_.lengthSeconds * options_.fps - 1e-6)));
        }
        return true;
    }

    float Frames(double ticks) const { return static_cast<float>(ticks / animation_.TicksPerSecond() * options_.fps); }
    double Ticks(int frame) const { return frame * animation_.TicksPerSecond() / options_.fps; }

    // Cameras and lights keep their names (a script looks cameras up by name),
    // so they are taken before any node or mesh name.
    void ReserveObjectNames() {
        for (unsigned i = 0; i < in_.mNumCameras; ++i) {
            std::string name = CleanName(in_.mCameras[i]->mName.C_Str(), "Camera");
            for (const CameraRename& r : options_.cameraNames) {
                if ((r.from.empty() && i == 0) || r.from == in_.mCameras[i]->mName.C_Str()) name = CleanName(r.to, name);
            }
            cameraNames_.push_back(names_.Take(name));
        }
        for (unsigned i = 0; i < in_.mNumLights; ++i)
            lightNames_.push_back(names_.Take(CleanName(in_.mLights[i]->mName.C_Str(), "Light")));
    }

    // --- Geometry

    void ConvertGeometry() {
        parts_.resize(in_.mNumMeshes);
        for (unsigned m = 0; m < in_.mNumMeshes; ++m) ConvertMesh(m);
    }

    void ConvertMesh(unsigned index) {
        const aiMesh& mesh = *in_.mMeshes[index];
        const std::string label = CleanName(mesh.mName.C_Str(), Format("mesh %u", index));
        if (mesh.mNumBones > 0) Note(Format("mesh \"%s\": %u bones dropped: it is drawn in its bind pose", label.c_str(), mesh.mNumBones));
        if (mesh.mNumAnimMeshes > 0) Note(Format("mesh \"%s\": %u morph targets dropped", label.c_str(), mesh.mNumAnimMeshes));
        if (mesh.HasVertexColors(0)) Note(Format("mesh \"%s\": vertex colours dropped: the engine's vertices carry none", label.c_str()));
        if (mesh.GetNumUVChannels() > 1) Note(Format("mesh \"%s\": %u extra texture-coordinate sets dropped", label.c_str(), mesh.GetNumUVChannels() - 1));

        std::vector<zks::Vertex> vertices(mesh.mNumVertices);
        std::vector<bool> valid(mesh.mNumVertices);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            zks::Vertex& out = vertices[v];
            out.position = Axes(mesh.mVertices[v]) * options_.scale;
            out.normal = mesh.mNormals ? zks::Normalize(Axes(mesh.mNormals[v])) : Vec3{0, 0, 1};
            if (!Finite(out.normal) || zks::Length(out.normal) < 0.5f) out.normal = {0, 0, 1};
            if (mesh.HasTextureCoords(0)) {
                out.u = mesh.mTextureCoords[0][v].x;
                out.v = mesh.mTextureCoords[0][v].y;
                if (!std::isfinite(out.u) || !std::isfinite(out.v)) out.u = out.v = 0;
            }
            valid[v] = Finite(out.position);
        }

        // Faces go into the current part until one more would take it past the
        // 16-bit limit; each part numbers its own vertices.
        std::vector<zks::Mesh>& parts = parts_[index];
        std::vector<int> remap(mesh.mNumVertices, -1);
        std::vector<unsigned> used;
        unsigned others = 0, broken = 0;
        auto flush = [&] {
            if (parts.empty() || parts.back().faces.empty()) return;
            for (unsigned v : used) remap[v] = -1;
            used.clear();
        };
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) {
                ++others;
                continue;
            }
            bool ok = true;
            for (unsigned k = 0; k < 3; ++k) ok = ok && face.mIndices[k] < mesh.mNumVertices && valid[face.mIndices[k]];
            if (!ok) {
                ++broken;
                continue;
            }
            int fresh = 0;
            for (unsigned k = 0; k < 3; ++k) fresh += remap[face.mIndices[k]] < 0;
            if (parts.empty() || parts.back().vertices.size() + static_cast<size_t>(fresh) > kMaxVertices) {
                flush();
                parts.emplace_back();
                parts.back().material = MaterialName(mesh.mMaterialIndex);
                parts.back().texCoordSets = std::max(1, materialStages_[mesh.mMaterialIndex]);
            }
            zks::Mesh& part = parts.back();
            uint16_t corner[3];
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned v = face.mIndices[k];
                if (remap[v] < 0) {
                    remap[v] = static_cast<int>(part.vertices.size());
                    part.vertices.push_back(vertices[v]);
                    used.push_back(v);
                }
                corner[k] = static_cast<uint16_t>(remap[v]);
            }
            part.faces.push_back({corner[0], corner[1], corner[2]});
            ++triangles_;
        }
        if (others > 0) Note(Format("mesh \"%s\": %u points and lines dropped: only triangles are drawn", label.c_str(), others));
        if (broken > 0) Note(Format("mesh \"%s\": %u triangles with a non-finite or missing corner dropped", label.c_str(), broken));
        if (parts.size() > 1) Note(Format("mesh \"%s\": split into %zu meshes of at most 65535 vertices", label.c_str(), parts.size()));
    }

    // --- Materials

    std::string MaterialName(unsigned index) {
        if (const auto it = materialNames_.find(index); it != materialNames_.end()) return it->second;
        if (index >= in_.mNumMaterials) {
            materialStages_[index] = 0;
            return materialNames_[index] = "";
        }
        const aiMaterial& m = *in_.mMaterials[index];
        aiString rawName;
        m.Get(AI_MATKEY_NAME, rawName);
        zks::Material out;
        out.name = materialPool_.Take(CleanName(rawName.C_Str(), "Material"));
        const std::string& label = out.name;

        aiColor3D diffuse(0.8f, 0.8f, 0.8f), ambient(0, 0, 0), specular(0, 0, 0), emissive(0, 0, 0);
        m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
        const bool hasAmbient = m.Get(AI_MATKEY_COLOR_AMBIENT, ambient) == AI_SUCCESS && !ambient.IsBlack();
        m.Get(AI_MATKEY_COLOR_SPECULAR, specular);
        m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
        float opacity = 1, power = 0, strength = 1;
        m.Get(AI_MATKEY_OPACITY, opacity);
        m.Get(AI_MATKEY_SHININESS, power);
        if (m.Get(AI_MATKEY_SHININESS_STRENGTH, strength) == AI_SUCCESS) specular = specular * strength;
        int twoSided = 0;
        m.Get(AI_MATKEY_TWOSIDED, twoSided);
        aiString alphaMode;
        const bool gltfAlpha = m.Get("$mat.gltf.alphaMode", 0, 0, alphaMode) == AI_SUCCESS;
        opacity = std::clamp(std::isfinite(opacity) ? opacity : 1.0f, 0.0f, 1.0f);

        out.diffuse = Rgba(diffuse, opacity);
        out.ambient = Rgba(hasAmbient ? ambient : diffuse, opacity);  // the scene's ambient light shows the colour
        out.specular = Rgba(specular);
        out.emissive = Rgba(emissive);
        out.power = std::isfinite(power) ? std::max(power, 0.0f) : 0.0f;

        bool alphaTexture = false;
        if (const auto t = Stage(m, aiTextureType_DIFFUSE, 0, label, "diffuse")) {
            out.texture = t->first;
            alphaTexture = t->second;
        }
        if (const auto t = Stage(m, aiTextureType_REFLECTION, 0, label, "reflection")) out.environment = t->first;
        if (m.GetTextureCount(aiTextureType_DIFFUSE) > 1) {
            int source = 0;
            m.Get(AI_MATKEY_UVWSRC(aiTextureType_DIFFUSE, 1), source);
            if (source != 0) {
                Note(Format("material \"%s\": second texture dropped: it uses another coordinate set", label.c_str()));
            } else if (const auto t = Stage(m, aiTextureType_DIFFUSE, 1, label, "second")) {
                out.bump = t->first;  // modulates on its own copy of the first coordinate set
            }
        }
        for (aiTextureType type : {aiTextureType_NORMALS, aiTextureType_HEIGHT, aiTextureType_SPECULAR,
                                   aiTextureType_EMISSIVE, aiTextureType_LIGHTMAP, aiTextureType_OPACITY}) {
            if (m.GetTextureCount(type) > 0)
                Note(Format("material \"%s\": %s texture dropped: the engine has no stage for it", label.c_str(),
                            aiTextureTypeToString(type)));
        }

        namespace rf = ZK3D::flags;
        uint32_t flags = ZK3D::kDefaultRenderFlags;
        const bool transparent = opacity < 1 || (gltfAlpha ? std::string(alphaMode.C_Str()) != "OPAQUE" && alphaTexture
                                                           : alphaTexture);
        if (transparent) {
            flags |= rf::kAlphaBlend | rf::kSorted;
            flags = rf::WithDepth(rf::WithBlend(flags, rf::kBlendTransparent), rf::kDepthReadOnly);
        }
        if (twoSided) flags = rf::WithCull(flags, rf::kCullNone);
        if (!specular.IsBlack() && out.power > 0) flags |= rf::kSpecular;
        out.renderFlags = flags;

        materialStages_[index] = !!out.texture + !!out.detail + !!out.environment + !!out.bump;
        summaryMaterials_.push_back(Format("material \"%s\": %d texture stage%s%s%s", label.c_str(), materialStages_[index],
                                           materialStages_[index] == 1 ? "" : "s", transparent ? ", transparent" : "",
                                           twoSided ? ", two-sided" : ""));
        scene_.materials.push_back(std::move(out));
        return materialNames_[index] = scene_.materials.back().name;
    }

    // A texture stage for a material's texture of a type, with whether its
    // picture has alpha; none (and a note) when the picture cannot be used.
    std::optional<std::pair<zks::TextureRef, bool>> Stage(const aiMaterial& m, aiTextureType type, unsigned slot,
                                                           const std::string& material, const char* role) {
        aiString path;
        if (m.GetTexture(type, slot, &path) != AI_SUCCESS || path.length == 0) return std::nullopt;
        std::string why;
        const std::optional<ConvertedTexture> t = textures_.Convert(path.C_Str(), &why);
        if (!t) {
            Note(Format("material \"%s\": %s texture dropped: %s", material.c_str(), role, why.c_str()));
            return std::nullopt;
        }
        const std::string name = options_.texturePath.empty() ? t->name : (fs::path(options_.texturePath) / t->name).string();
        return std::pair{zks::TextureRef{name, name}, t->hasAlpha};
    }

    // --- The tree

    zks::Node& AddNode(const std::string& name, const std::string& parent) {
        zks::Node n;
        n.name = name;
        n.parent = parent;
        scene_.nodes.push_back(n);
        return scene_.nodes.back();
    }

    void BuildTree() {
        // The engine's tree has one root; cameras and lights hang under it
        // beside the file's own root, with world positions.
        root_ = names_.Take(scene_.name + ".root");
        AddNode(root_, "");
        std::map<unsigned, int> uses;
        CountUses(in_.mRootNode, uses);
        PlaceNode(in_.mRootNode, root_, uses);
    }

    void CountUses(const aiNode* node, std::map<unsigned, int>& uses) {
        if (!node) return;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) ++uses[node->mMeshes[i]];
        for (unsigned i = 0; i < node->mNumChildren; ++i) CountUses(node->mChildren[i], uses);
    }

    void PlaceNode(const aiNode* node, const std::string& parent, const std::map<unsigned, int>& uses) {
        if (!node) return;
        std::vector<unsigned> meshes;
        size_t partCount = 0;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            const unsigned m = node->mMeshes[i];
            if (m < parts_.size() && !parts_[m].empty()) {
                meshes.push_back(m);
                partCount += parts_[m].size();
            }
        }
        const std::string name = names_.Take(CleanName(node->mName.C_Str(), "Node"));
        zks::Node& n = AddNode(name, parent);
        SetTransform(n, node);
        AddBounds(node, meshes);

        // A node with one mesh places it under its own name; one with several
        // places each through a child node. The engine binds one node to one
        // object by a unique name, so a mesh used by several nodes is copied.
        for (unsigned m : meshes) {
            if (uses.at(m) > 1 && copied_.insert(m).second)
                Note(Format("mesh \"%s\" is used by %d nodes: each gets its own copy",
                            CleanName(in_.mMeshes[m]->mName.C_Str(), "mesh").c_str(), uses.at(m)));
        }
        if (partCount == 1) {
            EmitMesh(parts_[meshes[0]][0], name);
        } else {
            for (unsigned m : meshes) {
                const std::string base = CleanName(in_.mMeshes[m]->mName.C_Str(), name + ".mesh");
                for (const zks::Mesh& part : parts_[m]) AddNode(EmitMesh(part, names_.Take(base)), name);
            }
        }
        for (unsigned i = 0; i < node->mNumChildren; ++i) PlaceNode(node->mChildren[i], name, uses);
    }

    const std::string& EmitMesh(const zks::Mesh& part, const std::string& name) {
        scene_.meshes.push_back(part);
        scene_.meshes.back().name = name;
        return scene_.meshes.back().name;
    }

    void SetTransform(zks::Node& n, const aiNode* node) {
        aiVector3D scaling, position;
        aiQuaternion rotation;
        node->mTransformation.Decompose(scaling, rotation, position);
        n.transform = zks::TRS(Axes(position) * options_.scale, zks::Normalize(Axes(rotation)), ScaleAxes(scaling));
        const aiNodeAnim* c = animation_.ChannelOf(node);
        if (scene_.kind != zks::SceneKind::Animated || !c) return;
        n.controller = zks::Controller::PRS;
        const auto vectorInterpolation = options_.smoothKeys ? zks::Interpolation::HermiteAuto : zks::Interpolation::Linear;
        if (c->mNumPositionKeys > 0) {
            n.position = zks::KeyTrack{zks::ValueType::Position, vectorInterpolation, {}, {}};
            for (unsigned k = 0; k < c->mNumPositionKeys; ++k)
                n.position->keys.push_back(zks::PositionKey(Frames(c->mPositionKeys[k].mTime),
                                                            Axes(c->mPositionKeys[k].mValue) * options_.scale));
        }
        if (c->mNumRotationKeys > 0) {
            n.rotation = zks::KeyTrack{zks::ValueType::Rotation, zks::Interpolation::Linear, {}, {}};
            Quat previous;
            for (unsigned k = 0; k < c->mNumRotationKeys; ++k) {
                Quat q = zks::Normalize(Axes(c->mRotationKeys[k].mValue));
                // Neighbouring keys on the same side of the sphere turn the short way.
                if (k > 0 && q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0) q = {-q.x, -q.y, -q.z, -q.w};
                n.rotation->keys.push_back(zks::RotationKey(Frames(c->mRotationKeys[k].mTime), q));
                previous = q;
            }
        }
        if (c->mNumScalingKeys > 0) {
            n.scale = zks::KeyTrack{zks::ValueType::Scale, vectorInterpolation, {}, {}};
            for (unsigned k = 0; k < c->mNumScalingKeys; ++k)
                n.scale->keys.push_back(zks::PositionKey(Frames(c->mScalingKeys[k].mTime), ScaleAxes(c->mScalingKeys[k].mValue)));
        }
    }

    // World-space bounds of the meshes at the animation's start, for the view.
    void AddBounds(const aiNode* node, const std::vector<unsigned>& meshes) {
        if (meshes.empty()) return;
        const aiMatrix4x4 world = animation_.WorldAt(node, 0);
        for (unsigned m : meshes) {
            const aiMesh& mesh = *in_.mMeshes[m];
            for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
                const Vec3 p = Axes(world * mesh.mVertices[v]) * options_.scale;
                if (!Finite(p)) continue;
                if (!hasBounds_) low_ = high_ = p;
                hasBounds_ = true;
                low_ = {std::min(low_.x, p.x), std::min(low_.y, p.y), std::min(low_.z, p.z)};
                high_ = {std::max(high_.x, p.x), std::max(high_.y, p.y), std::max(high_.z, p.z)};
            }
        }
    }
    Vec3 Centre() const { return (low_ + high_) * 0.5f; }
    float Radius() const { return std::max(zks::Length(high_ - low_) * 0.5f, 1e-3f); }

    // --- Cameras and lights

    // Whether anything above one of the nodes moves.
    bool Moves(std::initializer_list<const aiNode*> nodes) const {
        if (scene_.kind != zks::SceneKind::Animated) return false;
        return std::any_of(nodes.begin(), nodes.end(), [&](const aiNode* n) { return n && animation_.Moves(n); });
    }

    // Where a camera or light is, in the engine's axes: position, the unit
    // direction it looks or shines along, and its up.
    struct Pose {
        Vec3 position, forward, up;
    };

    // The pose at the start, or once a frame from the first to the last when it moves.
    template <typename At>
    std::vector<Pose> Sample(bool moves, At at) const {
        std::vector<Pose> poses{at(0.0)};
        for (int f = 1; moves && f <= scene_.animation.lastFrame; ++f) poses.push_back(at(Ticks(f)));
        return poses;
    }

    // A node under the root at a world position: the first of the list, with a
    // key a frame when there are more.
    zks::Node& AddPlacedNode(const std::string& name, const std::vector<Vec3>& positions) {
        zks::Node& n = AddNode(name, root_);
        n.transform.translation = positions.front();
        if (positions.size() > 1) {
            n.controller = zks::Controller::PRS;
            n.position = zks::KeyTrack{zks::ValueType::Position, zks::Interpolation::Linear, {}, {}};
            for (size_t f = 0; f < positions.size(); ++f)
                n.position->keys.push_back(zks::PositionKey(static_cast<float>(f), positions[f]));
        }
        return n;
    }

    void ConvertCameras() {
        const bool gltf = format_.find("glTF") != std::string::npos;
        for (unsigned i = 0; i < in_.mNumCameras; ++i) {
            const aiCamera& c = *in_.mCameras[i];
            const aiNode* node = FindNode(in_, c.mName);
            // Target cameras of some formats come with a node "NAME.Target" they look at.
            const aiNode* aim = FindNode(in_, aiString(std::string(c.mName.C_Str()) + ".Target"));
            if (c.mOrthographicWidth > 0) Note(Format("camera \"%s\" is orthographic: it is drawn in perspective, as wide at the model", cameraNames_[i].c_str()));
            // Eye, view direction and up in the engine's axes at a time in ticks.
            // The glTF and 3DS readers copy the node's place into the camera's
            // own position as well; their cameras sit at their node's origin.
            const bool placedTwice = node && (gltf || format_.find("3DS") != std::string::npos);
            const aiVector3D position = placedTwice ? aiVector3D() : c.mPosition;
            const std::vector<Pose> poses = Sample(Moves({node, aim}), [&](double ticks) {
                const aiMatrix4x4 world = node ? animation_.WorldAt(node, ticks) : aiMatrix4x4();
                Pose p{Axes(world * position) * options_.scale, zks::Normalize(Axes(Direction(world, c.mLookAt))),
                       zks::Normalize(Axes(Direction(world, c.mUp)))};
                if (aim) p.forward = zks::Normalize(Axes(animation_.WorldAt(aim, ticks) * aiVector3D()) * options_.scale - p.position);
                if (zks::Length(p.forward) < 0.5f) p.forward = {0, 1, 0};
                return p;
            });
            const float distance = std::max(zks::Dot(Centre() - poses[0].position, poses[0].forward), Radius());
            AddCamera(cameraNames_[i], poses, distance);
            zks::Camera& out = scene_.cameras.back();
            const float aspect = c.mAspect > 0 ? c.mAspect : kAspect;
            // The library gives the full horizontal angle (the glTF reader: the
            // vertical one times the aspect); the engine wants the vertical one.
            const float horizontal = std::clamp(c.mHorizontalFOV, 1e-3f, kPi - 1e-3f);
            out.fov = gltf ? horizontal / aspect : 2 * std::atan(std::tan(horizontal / 2) / aspect);
            // An orthographic camera (half width w) becomes a perspective one that
            // shows as much at the model's distance.
            if (c.mOrthographicWidth > 0)
                out.fov = std::clamp(2 * std::atan(c.mOrthographicWidth * options_.scale / aspect / distance), 0.01f, 3.0f);
            // A near plane of (almost) zero would leave the depth buffer no precision.
            const float farPlane = std::isfinite(c.mClipPlaneFar) && c.mClipPlaneFar > 0 ? c.mClipPlaneFar : 1000.0f;
            out.nearPlane = std::clamp(c.mClipPlaneNear, farPlane * 1e-4f, farPlane / 2) * options_.scale;
            out.farPlane = farPlane * options_.scale;
            summaryCameras_.push_back(Format("camera \"%s\": vertical field of view %.1f degrees%s", out.name.c_str(),
                                             out.fov * 180 / kPi, scene_.nodes.back().position ? ", moving" : ""));
        }
    }

    // A camera, its node and its target node ahead of it at a distance. The
    // engine's up vector turns only about y, (−sin roll, 0, cos roll): the roll
    // is taken from the camera's up; a camera looking straight up or down has
    // its target nudged along its up so the view keeps its turn.
    void AddCamera(const std::string& name, const std::vector<Pose>& poses, float distance) {
        std::vector<Vec3> eyes, targets;
        std::vector<float> rolls;
        for (const Pose& p : poses) {
            Vec3 forward = p.forward;
            if (std::fabs(forward.z) > 0.999f) forward = zks::Normalize(forward + p.up * 0.01f);
            eyes.push_back(p.position);
            targets.push_back(p.position + forward * distance);
            float a = std::atan2(-p.up.x, p.up.z);
            if (!rolls.empty()) {  // no spin the long way round
                while (a - rolls.back() > kPi) a -= 2 * kPi;
                while (rolls.back() - a > kPi) a += 2 * kPi;
            }
            rolls.push_back(a);
        }
        const std::string targetName = names_.Take(name + ".Target");
        zks::Node& cameraNode = AddPlacedNode(name, eyes);
        cameraNode.roll = rolls.front();
        if (scene_.kind == zks::SceneKind::Animated) {
            cameraNode.controller = zks::Controller::LookAt;
            if (rolls.size() > 1) {
                cameraNode.rollTrack = zks::KeyTrack{zks::ValueType::Roll, zks::Interpolation::Linear, {}, {}};
                for (size_t f = 0; f < rolls.size(); ++f)
                    cameraNode.rollTrack->keys.push_back(zks::ScalarKey(static_cast<float>(f), rolls[f]));
            }
        }
        AddPlacedNode(targetName, targets);
        zks::Camera camera;
        camera.name = name;
        camera.target = targetName;
        scene_.cameras.push_back(camera);
    }

    void ConvertLights() {
        const bool gltf = format_.find("glTF") != std::string::npos;
        for (unsigned i = 0; i < in_.mNumLights; ++i) {
            const aiLight& l = *in_.mLights[i];
            const std::string& name = lightNames_[i];
            zks::Light out;
            out.name = name;
            switch (l.mType) {
                case aiLightSource_POINT: out.type = zks::LightType::Point; break;
                case aiLightSource_SPOT: out.type = zks::LightType::Spot; break;
                case aiLightSource_DIRECTIONAL: out.type = zks::LightType::Directional; break;
                case aiLightSource_AMBIENT:
                    scene_.ambient = {scene_.ambient.r + l.mColorAmbient.r + l.mColorDiffuse.r,
                                      scene_.ambient.g + l.mColorAmbient.g + l.mColorDiffuse.g,
                                      scene_.ambient.b + l.mColorAmbient.b + l.mColorDiffuse.b, 1};
                    Note(Format("light \"%s\" is ambient: added to the scene's ambient light", name.c_str()));
                    continue;
                default:
                    Note(Format("light \"%s\" dropped: area and undefined lights have no engine counterpart", name.c_str()));
                    continue;
            }
            const aiNode* node = FindNode(in_, l.mName);
            const aiNode* aim = FindNode(in_, aiString(std::string(l.mName.C_Str()) + ".Target"));
            const std::vector<Pose> poses = Sample(Moves({node, aim}), [&](double ticks) {
                const aiMatrix4x4 world = node ? animation_.WorldAt(node, ticks) : aiMatrix4x4();
                Pose p{Axes(world * l.mPosition) * options_.scale, zks::Normalize(Axes(Direction(world, l.mDirection))), {}};
                if (aim) p.forward = zks::Normalize(Axes(animation_.WorldAt(aim, ticks) * aiVector3D()) * options_.scale - p.position);
                if (zks::Length(p.forward) < 0.5f) p.forward = {0, 0, -1};
                return p;
            });
            out.diffuse = Rgba(l.mColorDiffuse);
            out.specular = Rgba(l.mColorSpecular);
            out.ambient = Rgba(l.mColorAmbient);
            out.position = poses[0].position;
            out.direction = poses[0].forward;
            out.range = kLightRange;
            const float k = options_.scale;
            out.attenuation0 = std::max(l.mAttenuationConstant, 0.0f);
            out.attenuation1 = std::max(l.mAttenuationLinear, 0.0f) / k;
            out.attenuation2 = std::max(l.mAttenuationQuadratic, 0.0f) / (k * k);
            if (out.attenuation0 + out.attenuation1 + out.attenuation2 <= 0) out.attenuation0 = 1;
            if (out.type == zks::LightType::Spot) {
                // glTF gives the cone's half angles; the others, like the engine, full ones.
                const float widen = gltf ? 2.0f : 1.0f;
                out.phi = std::clamp(l.mAngleOuterCone * widen, 1e-3f, kPi);
                out.theta = std::clamp(l.mAngleInnerCone * widen, 0.0f, out.phi);
            }
            std::vector<Vec3> positions, aims;
            for (const Pose& p : poses) {
                positions.push_back(p.position);
                aims.push_back(p.position + p.forward);
            }
            const bool moving = poses.size() > 1;
            AddPlacedNode(name, positions);
            // A moving spot or directional light aims through a target that moves with it.
            if (moving && out.type != zks::LightType::Point) {
                out.target = names_.Take(name + ".Target");
                AddPlacedNode(*out.target, aims);
            }
            static const char* const kTypes[] = {"", "point", "spot", "directional"};
            summaryLights_.push_back(Format("light \"%s\": %s%s", name.c_str(), kTypes[static_cast<int>(out.type)],
                                            moving ? ", moving" : ""));
            scene_.lights.push_back(std::move(out));
        }
    }

    // Notes what the device will not show of the lights.
    void CheckLightCount() {
        constexpr size_t kDeviceLights = 8;
        if (scene_.lights.size() > kDeviceLights)
            Note(Format("%zu lights: the device lights only the first %zu the scene's tree walk meets", scene_.lights.size(),
                        kDeviceLights));
    }

    // A camera framing the model from the front, right and above, and a white
    // light from the upper right, where the file has none.
    void AddView() {
        const Vec3 centre = Centre();
        const float radius = Radius();
        const float fov = 0.785398f;
        const float distance = radius / std::sin(fov / 2) * 1.05f;
        if (scene_.cameras.empty()) {
            const Vec3 eye = centre + zks::Normalize(Vec3{0.5f, -1.0f, 0.4f}) * distance;
            const Vec3 forward = zks::Normalize(centre - eye);
            std::string name = "Camera";
            for (const CameraRename& r : options_.cameraNames) {
                if (r.from.empty() || r.from == name) name = CleanName(r.to, name);
            }
            AddCamera(names_.Take(name), {Pose{eye, forward, {0, 0, 1}}}, distance);
            zks::Camera& c = scene_.cameras.back();
            c.fov = fov;
            c.nearPlane = distance * 0.02f;
            c.farPlane = distance + radius * 4;
            out_.addedCamera = true;
            Note(Format("added camera \"%s\" framing the model: the file has none", c.name.c_str()));
        }
        if (scene_.lights.empty()) {
            zks::Light l;
            l.name = names_.Take("Light");
            l.type = zks::LightType::Directional;
            l.diffuse = zks::Rgb(1, 1, 1);
            l.specular = zks::Rgb(1, 1, 1);
            l.direction = zks::Normalize(Vec3{-0.35f, 0.75f, -0.55f});
            l.range = kLightRange;
            AddNode(l.name, root_);
            Note(Format("added light \"%s\", white from the upper right: the file has none", l.name.c_str()));
            scene_.lights.push_back(std::move(l));
            out_.addedLight = true;
        }
        if (scene_.ambient == zks::Color{}) scene_.ambient = zks::Rgb(0.25f, 0.25f, 0.25f);
        scene_.background = zks::Rgb(0.08f, 0.09f, 0.12f);
    }

    void Summarise() {
        std::vector<std::string>& s = out_.summary;
        s.push_back(Format("scene \"%s\": %s, %zu meshes, %zu materials, %zu cameras, %zu lights, %zu nodes",
                           scene_.name.c_str(), scene_.kind == zks::SceneKind::Animated ? "animated" : "static",
                           scene_.meshes.size(), scene_.materials.size(), scene_.cameras.size(), scene_.lights.size(),
                           scene_.nodes.size()));
        if (scene_.kind == zks::SceneKind::Animated)
            s.push_back(Format("%s: frames 0 to %d at %d per second",
                               animationName_.empty() ? "no animation" : ("animation \"" + animationName_ + "\"").c_str(),
                               scene_.animation.lastFrame, scene_.animation.framesPerSecond));
        for (const zks::Mesh& m : scene_.meshes)
            s.push_back(Format("mesh \"%s\": %zu vertices, %zu triangles, material \"%s\"", m.name.c_str(), m.vertices.size(),
                               m.faces.size(), m.material.c_str()));
        s.insert(s.end(), summaryMaterials_.begin(), summaryMaterials_.end());
        for (const TextureFile& t : out_.textures) s.push_back(Format("texture \"%s\": %zu bytes", t.name.c_str(), t.bytes.size()));
        s.insert(s.end(), summaryCameras_.begin(), summaryCameras_.end());
        s.insert(s.end(), summaryLights_.begin(), summaryLights_.end());
    }

    const aiScene& in_;
    const Options& options_;
    std::string format_;
    Result& out_;
    zks::Scene& scene_;
    TextureConverter textures_;
    Animation animation_{nullptr};
    std::string animationName_;
    NamePool names_, materialPool_;
    std::vector<std::string> cameraNames_, lightNames_;
    std::vector<std::vector<zks::Mesh>> parts_;  // the pieces of each of the file's meshes
    std::set<unsigned> copied_;
    std::map<unsigned, std::string> materialNames_;
    std::map<unsigned, int> materialStages_;
    std::vector<std::string> summaryMaterials_, summaryCameras_, summaryLights_;
    std::string root_;
    size_t triangles_ = 0;
    bool hasBounds_ = false;
    Vec3 low_, high_;
};

bool CheckOptions(const Options& o, std::string* error) {
    if (!(o.scale > 0) || !std::isfinite(o.scale)) {
        *error = "the scale must be a positive number";
        return false;
    }
    if (!(o.lengthSeconds >= 0) || o.lengthSeconds > 86400) {
        *error = "the length must be 0 to 86400 seconds";
        return false;
    }
    if (o.fps < 1 || o.fps > 1000) {
        *error = "the frame rate must be 1 to 1000 frames per second";
        return false;
    }
    return true;
}

}  // namespace

bool Import(const std::string& path, const Options& options, Result* result, std::string* error) {
    std::string why;
    std::string& reason = error ? *error : why;
    if (!CheckOptions(options, &reason)) return false;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        reason = "\"" + path + "\" is not a readable file";
        return false;
    }
    Assimp::Importer importer;
    importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, 80.0f);
    const unsigned steps = aiProcess_Triangulate | aiProcess_GenSmoothNormals | aiProcess_JoinIdenticalVertices |
                           aiProcess_SortByPType | aiProcess_ValidateDataStructure | aiProcess_GenUVCoords |
                           aiProcess_TransformUVCoords | aiProcess_FlipUVs | aiProcess_FindInvalidData;
    const aiScene* scene = ReadWithLibrary(importer, path, steps, options.acceptErrors, &reason);
    if (!scene) return false;
    *result = Result{};
    const std::string extension = fs::path(path).extension().string();
    const aiImporterDesc* desc = extension.empty() ? nullptr : importer.GetImporterInfo(importer.GetImporterIndex(extension.c_str()));
    result->format = desc ? desc->mName : extension;
    Converter converter(*scene, options, path, result->format, *result);
    if (!converter.Run(&reason)) {
        reason = "\"" + path + "\": " + reason;
        return false;
    }
    // The converter only makes what the engine reads as meant; a problem here
    // is a fault of the importer, not of the file.
    const std::vector<std::string> problems = zks::ValidateScene(result->scene);
    if (!problems.empty()) {
        reason = "\"" + path + "\": the converted scene is not sound: " + problems.front();
        return false;
    }
    return true;
}

bool WriteResult(const Result& result, const std::string& scenePath, const std::string& dataDir, std::string* error) {
    std::string why;
    std::string& reason = error ? *error : why;
    std::error_code ec;
    if (!dataDir.empty()) fs::create_directories(dataDir, ec);
    for (const TextureFile& t : result.textures) {
        const fs::path file = fs::path(dataDir.empty() ? "." : dataDir) / t.name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(t.bytes.data()), static_cast<std::streamsize>(t.bytes.size()));
        if (!out.good()) {
            reason = "\"" + file.string() + "\" cannot be written";
            return false;
        }
    }
    return zks::SaveScene(result.scene, scenePath, &reason);
}

std::string Describe(const Result& result) {
    std::string text;
    const SourceCounts& s = result.source;
    text += Format("file: %s; %d meshes (%d triangles), %d materials, %d nodes, %d cameras, %d lights, %d animations\n",
                   result.format.c_str(), s.meshes, s.triangles, s.materials, s.nodes, s.cameras, s.lights, s.animations);
    for (const std::string& line : result.summary) text += "  " + line + "\n";
    if (!result.notes.empty()) {
        text += "changes:\n";
        for (const std::string& line : result.notes) text += "  " + line + "\n";
    }
    return text;
}

}  // namespace zkimport

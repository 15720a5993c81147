// The ZKS reader. SceneReader reads one file section by section; each read
// either delivers all of its bytes or marks the file as rejected, and every
// section stops at the first rejection. Objects are held by unique_ptr until
// their record is complete and only then handed to their list, so a record cut
// short never leaves half an object behind.
#include "engine/scene/scene_loader.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/files/zk_file.h"
#include "engine/render/material.h"
#include "engine/render/mesh.h"
#include "engine/render/texture.h"
#include "engine/scene/animation_node.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_file.h"
#include "engine/scene/world.h"
#include "platform/report.h"

static_assert(std::endian::native == std::endian::little, "scene files are read straight into little-endian fields");

namespace ZK3D {

namespace {

constexpr uint32_t kNameBuffer = 1024;

// Smallest record of each kind, for checking counts against the bytes left:
// names are at least their NUL byte.
constexpr uint64_t kMinMeshRecord = 1 + 1 + 3 * 4;
constexpr uint64_t kMinCameraRecord = 1 + 1 + 4 * 4;
constexpr uint64_t kMinLightRecord = 1 + 4 + sizeof(D3DLIGHT7);
constexpr uint64_t kMinGizmoRecord = 1 + 3 * 4;
constexpr uint64_t kMinMaterialRecord = 1 + 2 * 4 + sizeof(D3DMATERIAL7);
constexpr uint64_t kFileVertex = sizeof(SourceVertex);
constexpr uint64_t kFileFace = 3 * sizeof(uint16_t);

// Appended nodes after a mark are the ones a rejected file added.
template <class T>
T* LastOf(T* head) {
    T* last = head;
    while (last && last->next) last = static_cast<T*>(last->next);
    return last;
}

template <class T>
void FreeAfter(T** head, T* last) {
    Node* rest = last ? last->next : *head;
    if (!rest) return;
    if (last)
        last->next = nullptr;
    else
        *head = nullptr;
    rest->prev = nullptr;
    FreeNodeList(&rest);
}

class SceneReader {
public:
    SceneReader(zkFile& file, World* world) : file_(file), world_(world) {}

    // Reads everything up to the end of the tree; the scene, or none.
    Scene* ReadScene();
    // Skips the extension chunks up to the end of the file.
    void SkipChunks();

private:
    // ---- primitives: false (and the file rejected) when the bytes are not there
    bool Fail() {
        ok_ = false;
        return false;
    }
    bool ReadBytes(void* destination, uint64_t size, const char* what);
    template <class T>
    bool ReadValue(T& value, const char* what) {
        return ReadBytes(&value, sizeof value, what);
    }
    bool ReadName(char (&buffer)[kNameBuffer], const char* what);
    uint64_t Left() const { return file_.AtEnd() ? 0 : file_.Size() - file_.Tell(); }
    // False (rejecting the file) for a negative count or one whose records, at
    // least each bytes apiece, the rest of the file cannot hold.
    bool CheckCount(int32_t count, uint64_t each, const char* what);

    // ---- records
    bool ReadDescriptor();
    bool ReadMeshes();
    bool ReadMesh();
    bool ReadCameras();
    bool ReadLights();
    bool ReadGizmos();
    bool ReadMaterials();
    bool ReadMaterial();
    Texture* ReadTextureRecord();
    bool ReadHierarchy();
    // One record: the node, or none at the end flag or when the file is rejected (ok_).
    std::unique_ptr<HierarchyNode> ReadHierarchyRecord(char (&parent)[kNameBuffer]);
    bool ReadController(AnimationNode& animation);
    bool ReadTrack(std::unique_ptr<KeyTrack>& slot);

    zkFile& file_;
    World* world_;
    Scene* scene_ = nullptr;
    bool animated_ = false;
    int32_t materialCount_ = 0;
    bool ok_ = true;
};

bool SceneReader::ReadBytes(void* destination, uint64_t size, const char* what) {
    if (size > Left()) {
        LogError("[Load] Error : the file ends inside %s", what);
        return Fail();
    }
    if (size) file_.Read(destination, static_cast<uint32_t>(size), 1);
    return true;
}

bool SceneReader::ReadName(char (&buffer)[kNameBuffer], const char* what) {
    if (file_.ReadString(buffer, kNameBuffer) >= 0) return true;
    if (file_.AtEnd()) {
        LogError("[Load] Error : the file ends inside %s", what);
        return Fail();
    }
    // No terminator within the buffer: keep the first 1023 characters and skip the
    // rest of the name, so the fields after it are read where they are.
    while (!file_.AtEnd())
        if (file_.ReadChar() == 0) {
            LogMessage("[Load] Name cut to its first %u characters : \"%s\"", kNameBuffer - 1, buffer);
            return true;
        }
    LogError("[Load] Error : the file ends inside %s", what);
    return Fail();
}

bool SceneReader::CheckCount(int32_t count, uint64_t each, const char* what) {
    if (count < 0) {
        LogError("[Load] Error : %d %s is not a count", count, what);
        return Fail();
    }
    if (static_cast<uint64_t>(count) * each > Left()) {
        LogError("[Load] Error : %d %s cannot fit in the %llu bytes left", count, what,
                 static_cast<unsigned long long>(Left()));
        return Fail();
    }
    return true;
}

// ---------------------------------------------------------------- header and counts

Scene* SceneReader::ReadScene() {
    char magic[3] = {};
    if (file_.Read(magic, 1, 3) != 3 || std::memcmp(magic, kSceneFileMagic, 3) != 0) {
        LogError("[Load] Error not ZKS header found");
        return nullptr;
    }
    uint8_t kind = 0;
    file_.Read(&kind, 1, 1);
    if (kind == kStaticScene) {
        LogMessage("[Load] Scene is Static");
    } else if (kind == kAnimatedScene) {
        LogMessage("[Load] Scene is Animated");
        animated_ = true;
    } else {
        LogError("[Load] Error : can only load Static/Animated Scene,file may be an debug format or a newer format "
                 "version");
        return nullptr;
    }

    char name[kNameBuffer];
    if (!ReadName(name, "the scene name")) return nullptr;

    // What the world looked like before, to put it back if the file is rejected.
    Material* lastMaterial = LastOf(world_->materials);
    Texture* lastTexture = LastOf(world_->textures);
    Scene* currentBefore = world_->currentScene;
    World* current = CurrentWorld();
    Scene* currentWorldSceneBefore = current ? current->currentScene : nullptr;

    scene_ = CreateScene(world_, name);
    if (!scene_) return nullptr;

    if (ReadDescriptor() && ReadMeshes() && ReadCameras() && ReadLights() && ReadGizmos() && ReadMaterials() &&
        ReadHierarchy())
        return scene_;

    LogError("[Load] Scene \"%s\" rejected : what it added to the world is released", name);
    delete scene_;  // leaves the world's scene list
    scene_ = nullptr;
    FreeAfter(&world_->materials, lastMaterial);
    FreeAfter(&world_->textures, lastTexture);
    // Written only where it changed: the main thread may be reading it.
    if (world_->currentScene != currentBefore) world_->currentScene = currentBefore;
    if (current && current != world_ && current->currentScene != currentWorldSceneBefore)
        current->currentScene = currentWorldSceneBefore;
    return nullptr;
}

bool SceneReader::ReadDescriptor() {
    LogMessage("[Load] Reads Descriptor");
    SceneDescriptor& d = scene_->descriptor;
    if (!ReadValue(d, "the scene descriptor") || !ReadValue(materialCount_, "the material count")) return false;
    LogMessage("[Sc-Debug] Scene Descriptor");
    for (auto [label, c] : {std::pair<const char*, const Color*>{"bgcolor", &d.bgcolor}, {"amblight", &d.amblight}})
        LogMessage("[Col-Debug] RGBA-%s %.3f|%.3f|%.3f|%.3f", label, c->r, c->g, c->b, c->a);
    LogMessage("[Sc-Debug] int NumMesh : %d", d.NumMesh);
    LogMessage("[Sc-Debug] int NumCamera : %d", d.NumCamera);
    LogMessage("[Sc-Debug] int NumLight : %d", d.NumLight);
    LogMessage("[Sc-Debug] int NumGizmo : %d", d.NumGizmo);
    LogMessage("[Sc-Debug] int NumSpecial : %d", d.NumSpecial);
    if (animated_) {
        LogMessage("[Load] Reads Animation Descriptor");
        if (!ReadValue(scene_->animationDescriptor, "the animation descriptor")) return false;
    }
    return ReadValue(scene_->fog, "the fog record");
}

// ---------------------------------------------------------------- objects

bool SceneReader::ReadMeshes() {
    const int32_t count = scene_->descriptor.NumMesh;
    LogMessage("[Load] Reads %d Meshes", count);
    if (!CheckCount(count, kMinMeshRecord, "meshes")) return false;
    for (int32_t i = 0; i < count; ++i)
        if (!ReadMesh()) return false;
    return true;
}

bool SceneReader::ReadMesh() {
    char name[kNameBuffer];
    if (!ReadName(name, "a mesh name")) return false;
    auto mesh = std::make_unique<Mesh>(name);
    char material[kNameBuffer];
    if (!ReadName(material, "a mesh's material name")) return false;
    mesh->SetMaterialName(material);
    int32_t vertexCount = 0, faceCount = 0, sets = 0;
    if (!ReadValue(vertexCount, "a mesh's counts") || !ReadValue(faceCount, "a mesh's counts") ||
        !ReadValue(sets, "a mesh's counts"))
        return false;
    if (!CheckCount(vertexCount, kFileVertex, "vertices") || !CheckCount(faceCount, kFileFace, "faces")) return false;
    const uint64_t arrays =
        static_cast<uint64_t>(vertexCount) * kFileVertex + static_cast<uint64_t>(faceCount) * kFileFace;
    if (arrays > Left()) {
        LogError("[Load] Error : mesh \"%s\" needs %llu bytes of vertices and faces, %llu are left", name,
                 static_cast<unsigned long long>(arrays), static_cast<unsigned long long>(Left()));
        return Fail();
    }

    LogMessage("[Load[M]-Debug] Vertex Buffer");
    std::vector<SourceVertex> vertices(static_cast<size_t>(vertexCount));
    if (!ReadBytes(vertices.data(), vertices.size() * kFileVertex, "a mesh's vertices")) return false;
    LogMessage("[Load[M]-Debug] Faces Buffer");
    std::vector<uint16_t> faces(static_cast<size_t>(faceCount) * 3);
    if (!ReadBytes(faces.data(), faces.size() * sizeof(uint16_t), "a mesh's faces")) return false;

    // Faces naming a vertex beyond the count are made harmless by the mesh itself.
    mesh->CreateBuffers(vertexCount, faceCount, sets < 1 ? 1 : sets);
    mesh->Update(vertices.data(), faces.data());
    AddNode(mesh.release(), &scene_->meshes);
    return true;
}

bool SceneReader::ReadCameras() {
    const int32_t count = scene_->descriptor.NumCamera;
    LogMessage("[Load] Reads %d Cameras", count);
    if (!CheckCount(count, kMinCameraRecord, "cameras")) return false;
    for (int32_t i = 0; i < count; ++i) {
        char name[kNameBuffer], target[kNameBuffer];
        if (!ReadName(name, "a camera name")) return false;
        auto camera = std::make_unique<Camera>(name);
        if (!ReadName(target, "a camera's target name")) return false;
        camera->SetTargetName(target);
        float unused = 0;
        if (!ReadValue(camera->nearPlane, "a camera") || !ReadValue(camera->farPlane, "a camera") ||
            !ReadValue(camera->fov, "a camera") || !ReadValue(unused, "a camera"))
            return false;
        AddNode(camera.release(), &scene_->cameras);
    }
    return true;
}

bool SceneReader::ReadLights() {
    const int32_t count = scene_->descriptor.NumLight;
    LogMessage("[Load] Reads %d Lights", count);
    if (!CheckCount(count, kMinLightRecord, "lights")) return false;
    for (int32_t i = 0; i < count; ++i) {
        char name[kNameBuffer];
        if (!ReadName(name, "a light name")) return false;
        auto light = std::make_unique<Light>(name);
        if (!ReadValue(light->hasTarget, "a light") || !ReadValue(light->light, "a light")) return false;
        if (light->hasTarget == 1) {
            char target[kNameBuffer];
            if (!ReadName(target, "a light's target name")) return false;
            light->SetTargetName(target);
        }
        AddNode(light.release(), &scene_->lights);
    }
    return true;
}

bool SceneReader::ReadGizmos() {
    const int32_t count = scene_->descriptor.NumGizmo;
    LogMessage("[Load] Reads %d Gizmos", count);
    if (!CheckCount(count, kMinGizmoRecord, "gizmos")) return false;
    for (int32_t i = 0; i < count; ++i) {
        char name[kNameBuffer];
        int32_t code = 0, unused = 0;
        if (!ReadName(name, "a gizmo name") || !ReadValue(code, "a gizmo")) return false;
        std::unique_ptr<Gizmo> gizmo = CreateGizmo(name, ShapeFromFileCode(code));
        if (!ReadValue(unused, "a gizmo") || !ReadValue(gizmo->flags, "a gizmo")) return false;
        // The shape's local data is exactly as long as the created shape keeps.
        uint8_t data[64];
        const size_t size = gizmo->LocalDataSize();
        static_assert(sizeof(BoxGizmo::Data) <= sizeof data);
        if (!ReadBytes(data, size, "a gizmo's shape data")) return false;
        gizmo->SetLocalData(data, size);
        Gizmo* base = gizmo.release();
        AddNode(base, &scene_->gizmos);
    }
    return true;
}

// ---------------------------------------------------------------- materials and textures

bool SceneReader::ReadMaterials() {
    LogMessage("[Load] Skip Special (not supported)");
    LogMessage("[Load] Reads %d Materials to world", materialCount_);
    if (!CheckCount(materialCount_, kMinMaterialRecord, "materials")) return false;
    for (int32_t i = 0; i < materialCount_; ++i)
        if (!ReadMaterial()) return false;
    return true;
}

bool SceneReader::ReadMaterial() {
    char name[kNameBuffer];
    if (!ReadName(name, "a material name")) return false;
    auto material = std::make_unique<Material>(name);
    int32_t mask = 0;
    if (!ReadValue(material->flags, "a material") || !ReadValue(mask, "a material")) return false;
    material->stageKinds = static_cast<uint32_t>(mask);
    LogMessage("[Mat] Material \"%s\" Multi-texturing Support", name);

    struct StageBit {
        uint32_t bit;
        int32_t kind;
        const char* message;
    };
    static constexpr StageBit kStages[] = {
        {Material::kHasTexture, TextureStage::kTexture, "[Mat] Material \"%s\" Texture(%d)"},
        {Material::kHasDetail, TextureStage::kDetail, "[Mat] Material \"%s\" Detail Texture(%d)"},
        {Material::kHasEnvironment, TextureStage::kEnvironment, "[Mat] Material \"%s\" Env Texture(%d)"},
        {Material::kHasBump, TextureStage::kBump, "[Mat] Material \"%s\" Bump Texture(%d)"},
    };
    int index = 0;
    for (const StageBit& s : kStages) {
        if (!(static_cast<uint32_t>(mask) & s.bit)) continue;
        LogMessage(s.message, name, index);
        Texture* texture = ReadTextureRecord();
        if (!texture) return false;
        std::unique_ptr<TextureStage> stage = CreateTextureStage(s.kind);
        stage->SetTextureName(texture->name());
        material->AddStage(index, std::move(stage));
        ++index;
        material->stageKinds |= s.bit;
    }
    LogMessage("[Mat] Material \"%s\" has %d texture stages", name, index);
    if (!ReadValue(material->d3dMaterial, "a material")) return false;
    AddNode(material.release(), &world_->materials);
    return true;
}

Texture* SceneReader::ReadTextureRecord() {
    char name[kNameBuffer], bitmap[kNameBuffer];
    if (!ReadName(name, "a texture name")) return nullptr;
    if (auto* found = static_cast<Texture*>(FindNode(world_->textures, name))) {
        // The first record of a name made the texture; later ones only name it.
        if (!ReadName(bitmap, "a texture's bitmap name")) return nullptr;
        AddNode(found, &world_->textures);
        return found;
    }
    auto texture = std::make_unique<Texture>(name);
    if (!ReadName(bitmap, "a texture's bitmap name")) return nullptr;
    if (bitmap[0] != '\0') texture->SetBitmap(bitmap);
    return AddNode(texture.release(), &world_->textures);
}

// ---------------------------------------------------------------- tree and tracks

bool SceneReader::ReadHierarchy() {
    int32_t count = 0;
    if (!ReadValue(count, "the hierarchy count")) return false;
    LogMessage(animated_ ? "[Load] Reads %d Node Animated Hierarchy" : "[Load] Reads %d Node Hierarchy", count);
    // Every record takes at least its flag, so the walk ends with the file.
    for (;;) {
        char parent[kNameBuffer];
        std::unique_ptr<HierarchyNode> node = ReadHierarchyRecord(parent);
        if (!ok_) return false;
        if (!node) return true;
        HierarchyNode* placed = PlaceNode(parent, node.get(), &scene_->root);
        if (!placed) {
            LogMessage("[Load] Node \"%s\" has no parent \"%s\" in the tree : the hierarchy ends here", node->name(),
                       parent);
            return true;
        }
        node.release();
        int depth = 0;
        for (const HierarchyNode* n = placed; n->parent; n = n->parent) ++depth;
        if (depth > kMaxSceneTreeDepth) {
            LogError("[Load] Error : node \"%s\" lies deeper than %d levels", placed->name(), kMaxSceneTreeDepth);
            return Fail();
        }
    }
}

std::unique_ptr<HierarchyNode> SceneReader::ReadHierarchyRecord(char (&parent)[kNameBuffer]) {
    int32_t flag = 0;
    if (!ReadValue(flag, "the hierarchy") || flag == 0) return nullptr;
    char name[kNameBuffer];
    if (!ReadName(name, "a node name")) return nullptr;
    auto node = std::make_unique<HierarchyNode>(name);
    if (!ReadName(parent, "a node's parent name")) return nullptr;
    node->animation = std::make_unique<AnimationNode>();
    AnimationNode& animation = *node->animation;
    if (!ReadValue(animation.transform, "a node's transform")) return nullptr;
    if (animated_) {
        if (!ReadController(animation)) return nullptr;
    } else if (!ReadValue(animation.roll, "a node's roll")) {
        return nullptr;
    }
    LogMessage("[HN] Read \"%s\" node with \"%s\" parent", name, parent);
    return node;
}

bool SceneReader::ReadController(AnimationNode& a) {
    int32_t controller = 0;
    if (!ReadValue(controller, "a node's controller")) return false;
    switch (controller) {
        case 0:
            LogMessage("[HN] This node has no animation controler");
            return true;
        case 1:
            LogMessage("[HN] This node has a PRS animation controler");
            return ReadTrack(a.positionTrack) && ReadTrack(a.rotationTrack) && ReadTrack(a.scaleTrack);
        case 2:
            LogMessage("[HN] This node has a LookAt animation controler");
            return ReadValue(a.roll, "a node's roll") && ReadTrack(a.positionTrack) && ReadTrack(a.rollTrack);
        case 3:
            LogMessage("[HN] This node has a LookAt+Fov animation controler");
            return ReadValue(a.roll, "a node's roll") && ReadValue(a.fov, "a node's fov") &&
                   ReadTrack(a.positionTrack) && ReadTrack(a.rollTrack) && ReadTrack(a.fovTrack);
        default:
            return true;
    }
}

bool SceneReader::ReadTrack(std::unique_ptr<KeyTrack>& slot) {
    int32_t valueType = 0, count = 0, interpolation = 0;
    if (!ReadValue(valueType, "a key track") || !ReadValue(count, "a key track") ||
        !ReadValue(interpolation, "a key track"))
        return false;
    if (count == 0) return true;
    if (count < 0) {
        LogError("[Load] Error : %d keys is not a count", count);
        return Fail();
    }
    const int size = KeyTrack::KeySizeInFile(valueType, interpolation);
    if (size == 0) {
        // No key layout: the file stores no key bytes, and the track stays absent.
        LogMessage("[Load] Track of value type %d with interpolation %d has no key layout : dropped", valueType,
                   interpolation);
        return true;
    }
    if (!CheckCount(count, static_cast<uint64_t>(size), "keys")) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * static_cast<size_t>(size));
    if (!ReadBytes(bytes.data(), bytes.size(), "a key track")) return false;
    std::unique_ptr<KeyTrack> track = KeyTrack::Create(count, valueType, interpolation);
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(track->Key(i), bytes.data() + static_cast<size_t>(i) * static_cast<size_t>(size),
                    static_cast<size_t>(size));
    if (interpolation == KeyTrack::kHermiteComputed) track->ComputeTangents();
    slot = std::move(track);
    return true;
}

// ---------------------------------------------------------------- chunks

void SceneReader::SkipChunks() {
    while (!file_.AtEnd()) {
        int32_t header[2] = {};
        if (Left() < sizeof header) {
            LogMessage("[Load] %llu bytes after the last extension chunk are ignored",
                       static_cast<unsigned long long>(Left()));
            return;
        }
        file_.Read(header, sizeof header, 1);
        const uint64_t position = file_.Tell();
        // A size that would not move the walk forward, or past the end, ends it.
        if (header[1] < 0 || position + static_cast<uint64_t>(header[1]) > file_.Size()) {
            LogMessage("[Load] Extension chunk %d of %d bytes runs past the end of the file", header[0], header[1]);
            return;
        }
        file_.Seek(static_cast<int32_t>(position + static_cast<uint64_t>(header[1])), 0);
    }
}

}  // namespace

Scene* LoadScene(World* world, const char* fileName) {
    std::unique_ptr<zkFile> file = fileName ? zkOpenFile(fileName, DiskFirst) : nullptr;
    if (!file) {
        LogError("[Load] Unable load scene \"%s\"", fileName ? fileName : "");
        return nullptr;
    }
    switch (file->Kind()) {
        case zkMemoryFileKind: LogMessage("[Load] \"%s\" file is a memory file", fileName); break;
        case zkDiskFileKind: LogMessage("[Load] \"%s\" file is a harddrive file", fileName); break;
        default: LogMessage("[Load] noting is working"); break;
    }
    if (!world) {
        LogError("[Load] Scene file \"%s\" has no world to be read into", fileName);
        return nullptr;
    }
    SceneReader reader(*file, world);
    Scene* scene = reader.ReadScene();
    if (scene) reader.SkipChunks();
    return scene;
}

}  // namespace ZK3D

// A material tells the device how a mesh's surface is shaded: a Direct3D material,
// a render-state word (bit 17 asks for back-to-front drawing) and up to four
// texture stages of four kinds (texture, detail, environment, bump) that cascade:
// texture x lit colour, x detail (coordinates x6), + environment (sphere-style
// coordinates from camera-space normals), x bump (on its own coordinate set).
// Alpha always comes from stage 0's texture.
//
// Not here: texture images (Texture) and the order stages are created in (the
// scene loader places them texture, detail, environment, bump).
// Gotcha: a stage reaches for its coordinate set by its index; on a mesh with
// fewer sets than that (a bump stage the mesh has no set for) it uses set 0, so the
// device never reads a set the vertices do not have.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/render_flags.h"
#include "engine/core/node.h"
#include "platform/d3d7.h"

namespace ZK3D {

class Context;
class Mesh;
class Texture;

class TextureStage {
public:
    enum Kind : int32_t { kTexture = 1, kDetail = 2, kEnvironment = 3, kBump = 5 };

    explicit TextureStage(int32_t kind);
    virtual ~TextureStage();
    TextureStage(const TextureStage&) = delete;
    TextureStage& operator=(const TextureStage&) = delete;

    // Prepares the stage at index for a mesh: bump stages generate their
    // coordinate set from set 0, environment stages switch to ADD.
    virtual void compileForMesh(int index, Mesh& mesh);
    // Resolves the texture by name in the current world (reported when missing).
    virtual void compile();
    // Called before each draw of a mesh; nothing to do for these kinds.
    virtual void perDraw(Mesh& mesh);
    // Sends the stage's coordinates, texture matrix, filters, operations and texture.
    virtual void apply(int index, const Mesh* mesh, Context& context);

    void SetTextureName(const char* name);
    const char* textureName() const { return textureName_.get(); }

    int32_t kind;
    int32_t linearFilter = 1;
    int32_t reserved = 0;
    Texture* texture = nullptr;  // not owned
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD colorOp = D3DTOP_MODULATE;

private:
    std::unique_ptr<char[]> textureName_;
};

class Material : public Node {
public:
    static constexpr int kMaxStages = 8;
    // Bits of stageKinds.
    static constexpr uint32_t kHasTexture = 1u << 0;
    static constexpr uint32_t kHasDetail = 1u << 1;
    static constexpr uint32_t kHasEnvironment = 1u << 2;
    static constexpr uint32_t kHasBump = 1u << 3;

    // flags start as the current context's base word (the default word without one).
    explicit Material(const char* name);
    ~Material() override;

    // Resolves the stages' textures and dumps the material.
    void compile() override;
    // Stores the stage at index (0-7); false, with the stage dropped, outside that.
    bool AddStage(int index, std::unique_ptr<TextureStage> stage);
    // Each stage's per-mesh preparation, with its index.
    void CompileForMesh(Mesh& mesh);
    void PerDraw(Mesh& mesh);
    // Sends the material and its stages for a draw of mesh; no material sends the
    // default material with stages 0 and 1 reset.
    static void Apply(const Material* material, const Mesh* mesh);

    TextureStage* stage(int i) const { return i >= 0 && i < kMaxStages ? stages_[static_cast<size_t>(i)].get() : nullptr; }
    int stageCount() const { return stageCount_; }

    D3DMATERIAL7 d3dMaterial{};
    RenderFlags flags;
    uint32_t stageKinds = 0;

private:
    int stageCount_ = 0;
    std::array<std::unique_ptr<TextureStage>, kMaxStages> stages_;
};

// Creates a stage of the kind (1, 2, 3 or 5) with its defaults; none for another kind.
std::unique_ptr<TextureStage> CreateTextureStage(int32_t kind);

}  // namespace ZK3D

namespace ZK3D {

// Writes coordinate set target of every vertex of mesh as scale x set source +
// offset. Returns 0 (nothing written) when the mesh lacks either set, else 1.
int GenerateTextureCoordinates(Mesh& mesh, int source, int target, float scale, float offsetU, float offsetV);

}  // namespace ZK3D

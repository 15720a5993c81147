// A mesh: one piece of indexed triangle geometry in a system-memory vertex buffer
// (position, normal, 0-4 texture-coordinate pairs), bound to one material by name
// and drawn with one indexed call when the scene tree reaches it. A mesh whose
// material asks for sorted drawing hands its faces to the world's sorter instead,
// which draws them back to front after the opaque geometry.
//
// Not here: reading geometry from a file (the scene loader hands it in through
// CreateBuffers and Update) and the material's states (Material::Apply).
// Gotcha: faces that name a vertex beyond the vertex count are replaced by a
// degenerate face (0, 0, 0) when they are handed in, so no draw reads outside the
// vertex buffer; a mesh without vertices draws nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/math.h"
#include "engine/core/node.h"
#include "platform/d3d7.h"
#include "platform/ref_ptr.h"

namespace ZK3D {

class HierarchyNode;
class Material;
class Mesh;

// A vertex as the loader hands it in: position, normal, one coordinate pair.
struct SourceVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(SourceVertex) == 32);

// One face, built when the mesh compiles: its centre in object space (the average
// of its corners), its index and its material for sorted drawing.
struct MeshFace {
    Vector3 centre;
    int32_t index = 0;
    Mesh* mesh = nullptr;          // not owned
    Material* material = nullptr;  // not owned
};

class Mesh : public Node {
public:
    static constexpr int kMaxTexCoordSets = 4;

    explicit Mesh(const char* name);

    void SetMaterialName(const char* name);
    // Makes the vertex buffer and index array (a set count outside 0-4 takes 4).
    void CreateBuffers(int vertexCount, int faceCount, int texCoordSets);
    // Copies vertexCount source vertices (position, normal, first pair) and
    // faceCount index triples, each when given.
    void Update(const SourceVertex* vertices, const uint16_t* indices);
    // Resolves the material and builds the face records.
    void compile() override;
    // Draws the mesh placed by node (its world matrix: the top of the context's
    // matrix stack), or queues its faces for sorted drawing. A mesh whose bounding
    // sphere lies wholly outside the view (or beyond the far plane) is skipped:
    // none of its faces could reach a pixel.
    void render(HierarchyNode* node);
    // Draws the listed faces with one indexed call (indices outside the mesh are skipped).
    void DrawFaces(const int* faces, int count);

    const char* materialName() const { return materialName_.get(); }
    Material* material() const { return material_; }
    IDirect3DVertexBuffer7* vertexBuffer() const { return vertexBuffer_.get(); }
    int vertexCount() const { return vertexCount_; }
    int faceCount() const { return faceCount_; }
    int texCoordSets() const { return texCoordSets_; }
    DWORD vertexFormat() const { return vertexFormat_; }
    size_t stride() const { return 24 + 8 * static_cast<size_t>(texCoordSets_); }
    const std::vector<uint16_t>& indices() const { return indices_; }
    // The sphere around every vertex, in the mesh's own space (radius < 0: no
    // vertices yet, never culled).
    Vector3 boundCentre() const { return boundCentre_; }
    float boundRadius() const { return boundRadius_; }
    const std::vector<std::unique_ptr<MeshFace>>& faces() const { return faces_; }

private:
    void drawAll();

    platform::RefPtr<IDirect3DVertexBuffer7> vertexBuffer_;
    std::vector<uint16_t> indices_;  // 3 per face
    std::vector<std::unique_ptr<MeshFace>> faces_;
    std::vector<uint16_t> scratch_;  // indices of a DrawFaces call
    Vector3 boundCentre_;
    float boundRadius_ = -1;
    int vertexCount_ = 0;
    int faceCount_ = 0;
    int texCoordSets_ = 0;
    DWORD vertexFormat_ = 0;
    std::unique_ptr<char[]> materialName_;
    Material* material_ = nullptr;  // not owned
};

}  // namespace ZK3D

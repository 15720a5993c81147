// Collects the faces of meshes whose material asks for sorted drawing during the
// draw pass, then draws them back to front after the opaque geometry.
//
// Each queued face carries its own depth and world matrix, so a mesh drawn under
// two nodes in one frame queues two independent sets of faces.
// Not here: blending (the material's render-state word says how faces blend).
// Gotcha: depth is the view-space z of the face centre; larger is farther, and
// the sort puts the largest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/math.h"

namespace ZK3D {

class Context;
class Mesh;
struct MeshFace;

class TransparentFaceSorter {
public:
    static constexpr size_t kInitialCapacity = 5000;  // grows past this for larger frames

    struct Entry {
        float depth;
        const MeshFace* face;
        uint32_t matrix;  // index of the face's world matrix
    };

    TransparentFaceSorter();
    void Clear();
    // Queues every face of mesh placed by world; depth through world x view.
    void Add(const Mesh& mesh, const Matrix& world, const Matrix& view);
    // Orders the entries by depth, largest first.
    void Sort();
    // Sorts, then draws runs of consecutive faces of one mesh and one matrix, each
    // with its world matrix, its material and one indexed draw.
    void Draw(Context& context);

    size_t size() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }
    const Matrix& matrix(uint32_t index) const { return matrices_[index]; }

private:
    void quicksort(int lo, int hi);

    std::vector<Entry> entries_;
    std::vector<Matrix> matrices_;
    std::vector<int> run_;
};

}  // namespace ZK3D

// Queuing, sorting (quicksort, largest depth first) and drawing of transparent
// faces in runs of one mesh and one matrix.
#include "engine/render/transparent_face_sorter.h"

#include <utility>

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/mesh.h"

namespace ZK3D {

TransparentFaceSorter::TransparentFaceSorter() { entries_.reserve(kInitialCapacity); }

void TransparentFaceSorter::Clear() {
    entries_.clear();
    matrices_.clear();
}

void TransparentFaceSorter::Add(const Mesh& mesh, const Matrix& world, const Matrix& view) {
    const auto& faces = mesh.faces();
    if (faces.empty()) return;
    const Matrix m = world * view;
    const auto index = static_cast<uint32_t>(matrices_.size());
    matrices_.push_back(world);
    for (const auto& face : faces) entries_.push_back({TransformPoint(face->centre, m).z, face.get(), index});
}

void TransparentFaceSorter::quicksort(int lo, int hi) {
    // Middle pivot; the smaller part recursively, the larger in the loop, so the
    // depth of recursion stays logarithmic.
    while (lo < hi) {
        const float pivot = entries_[static_cast<size_t>(lo + (hi - lo) / 2)].depth;
        int i = lo, j = hi;
        while (i <= j) {
            while (entries_[static_cast<size_t>(i)].depth > pivot) ++i;
            while (entries_[static_cast<size_t>(j)].depth < pivot) --j;
            if (i <= j) {
                std::swap(entries_[static_cast<size_t>(i)], entries_[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            if (lo < j) quicksort(lo, j);
            lo = i;
        } else {
            if (i < hi) quicksort(i, hi);
            hi = j;
        }
    }
}

void TransparentFaceSorter::Sort() {
    if (entries_.size() > 1) quicksort(0, static_cast<int>(entries_.size()) - 1);
}

void TransparentFaceSorter::Draw(Context& context) {
    Sort();
    size_t start = 0;
    while (start < entries_.size()) {
        const Entry& first = entries_[start];
        size_t end = start + 1;
        while (end < entries_.size() && entries_[end].face->mesh == first.face->mesh &&
               entries_[end].matrix == first.matrix)
            ++end;
        run_.clear();
        for (size_t k = start; k < end; ++k) run_.push_back(entries_[k].face->index);
        Mesh* mesh = first.face->mesh;
        context.SetWorldMatrix(matrices_[first.matrix]);
        Material::Apply(first.face->material, mesh);
        mesh->DrawFaces(run_.data(), static_cast<int>(run_.size()));
        start = end;
    }
}

}  // namespace ZK3D

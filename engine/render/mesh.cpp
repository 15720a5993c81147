// Mesh buffers, face records and drawing. Face indices are checked against the
// vertex count when handed in; draws never see an index outside the buffer.
#include "engine/render/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/render_world.h"
#include "platform/assert.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {

Matrix FromD3D(const D3DMATRIX& d) {
    Matrix m;
    std::memcpy(m.m, &d, sizeof m.m);
    return m;
}

// How far past the screen's sides (in screens) a sphere must lie to be culled:
// enough for the device's half-pixel offset at any target size.
constexpr float kCullMargin = 0.01f;

}  // namespace

Mesh::Mesh(const char* name) : Node(name, ZKNODE_MESH) { LogMessage("[M] Creating Mesh \"%s\"", name); }

void Mesh::SetMaterialName(const char* name) { materialName_.reset(DuplicateString(name)); }

void Mesh::CreateBuffers(int vertexCount, int faceCount, int texCoordSets) {
    vertexBuffer_.reset();
    indices_.clear();
    faces_.clear();
    material_ = nullptr;
    if (vertexCount < 0 || faceCount < 0) {
        LogError("[M] \"%s\" - Negative counts Vb %d/Fb %d, no buffers made", name(), vertexCount, faceCount);
        vertexCount = faceCount = 0;
    }
    vertexCount_ = vertexCount;
    faceCount_ = faceCount;

    if (texCoordSets < 0 || texCoordSets > kMaxTexCoordSets) {
        LogMessage("[M] \"%s\" - Unable to covert VertexFormat of Multi-tex %d", name(), texCoordSets);
        texCoordSets = kMaxTexCoordSets;  // the stride has to match the format
    }
    texCoordSets_ = texCoordSets;
    vertexFormat_ = D3DFVF_XYZ | D3DFVF_NORMAL | (static_cast<DWORD>(texCoordSets) << D3DFVF_TEXCOUNT_SHIFT);

    try {
        indices_.assign(static_cast<size_t>(faceCount) * 3, 0);
    } catch (const std::bad_alloc&) {
        LogError("[M] \"%s\" - Not enough memory for %d faces", name(), faceCount);
        faceCount_ = 0;
    }

    if (Context* context = CurrentContext(); context && context->d3d()) {
        D3DVERTEXBUFFERDESC desc{16, D3DVBCAPS_SYSTEMMEMORY, vertexFormat_, static_cast<DWORD>(vertexCount)};
        ReportD3DResult(context->d3d()->CreateVertexBuffer(&desc, vertexBuffer_.put(), 0));
    }
    LogMessage("[M] \"%s\" - Vb %d/Fb %d created, with Tl %d", name(), vertexCount_, faceCount_, texCoordSets_);
}

void Mesh::Update(const SourceVertex* vertices, const uint16_t* indices) {
    if (vertices && vertexCount_ > 0) {
        // The box's centre, and the farthest vertex from it.
        Vector3 low{vertices[0].x, vertices[0].y, vertices[0].z}, high = low;
        for (int i = 1; i < vertexCount_; ++i) {
            const SourceVertex& v = vertices[i];
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
        boundCentre_ = (low + high) * 0.5f;
        float farthest = 0;
        for (int i = 0; i < vertexCount_; ++i) {
            const Vector3 d = Vector3{vertices[i].x, vertices[i].y, vertices[i].z} - boundCentre_;
            farthest = std::max(farthest, Dot(d, d));
        }
        boundRadius_ = std::isfinite(farthest) ? std::sqrt(farthest) : -1.0f;
    }
    if (vertices && vertexBuffer_ && vertexCount_ > 0) {
        void* data = nullptr;
        DWORD size = 0;
        if (SUCCEEDED(ReportD3DResult(vertexBuffer_->Lock(DDLOCK_WRITEONLY, &data, &size))) && data) {
            const size_t slot = stride();
            const size_t bytes = std::min(sizeof(SourceVertex), slot);
            const size_t fit = size ? std::min<size_t>(static_cast<size_t>(vertexCount_), size / slot)
                                    : static_cast<size_t>(vertexCount_);
            for (size_t i = 0; i < fit; ++i)
                std::memcpy(static_cast<uint8_t*>(data) + i * slot, &vertices[i], bytes);
            ReportD3DResult(vertexBuffer_->Unlock());
        }
    }
    if (indices && faceCount_ > 0) {
        std::memcpy(indices_.data(), indices, indices_.size() * sizeof(uint16_t));
        for (int f = 0; f < faceCount_; ++f) {
            uint16_t* tri = &indices_[static_cast<size_t>(f) * 3];
            for (int k = 0; k < 3; ++k) {
                if (tri[k] >= vertexCount_) {
                    // A face outside the vertex buffer would make the draw read past it:
                    // it becomes a degenerate face that draws nothing.
                    LogMessage("[M] \"%s\" - Face %d uses vertex %d of %d : face dropped", name(), f, tri[k],
                               vertexCount_);
                    tri[0] = tri[1] = tri[2] = 0;
                    break;
                }
            }
        }
    }
    LogMessage("[M] \"%s\" - Faces/Vertices Updated", name());
}

void Mesh::compile() {
    LogMessage("[M] Compile Mesh \"%s\"", name());
    if (!materialName_ || material_) return;
    material_ = FindMaterial(materialName_.get());

    faces_.clear();
    faces_.reserve(static_cast<size_t>(faceCount_));
    const uint8_t* data = nullptr;
    void* locked = nullptr;
    if (vertexBuffer_ && vertexCount_ > 0 &&
        SUCCEEDED(ReportD3DResult(vertexBuffer_->Lock(DDLOCK_READONLY, &locked, nullptr))))
        data = static_cast<const uint8_t*>(locked);
    for (int f = 0; f < faceCount_; ++f) {
        auto face = std::make_unique<MeshFace>();
        face->index = f;
        face->mesh = this;
        face->material = material_;
        if (data) {
            Vector3 sum;
            for (int k = 0; k < 3; ++k) {
                Vector3 p;
                std::memcpy(&p, data + stride() * indices_[static_cast<size_t>(f) * 3 + k], sizeof p);
                sum += p;
            }
            face->centre = sum * (1.0f / 3.0f);
        }
        faces_.push_back(std::move(face));
    }
    if (data) ReportD3DResult(vertexBuffer_->Unlock());

    if (material_) material_->CompileForMesh(*this);
}

void Mesh::render(HierarchyNode* node) {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "a mesh is drawn with no current world or render context");
    if (!context) return;
    // Placed by a tree walk, the node's world matrix is on top of the context's
    // stack; drawn on its own, the mesh keeps the world matrix the context holds.
    Matrix world = context->transforms().World();
    ID3DXMatrixStack* stack = context->matrixStack();
    if (node && stack) {
        world = FromD3D(*stack->GetTop());
        context->SetWorldMatrix(world);
    }
    if (material_) material_->PerDraw(*this);
    if (material_ && (material_->flags & flags::kSorted)) {
        if (RenderWorld* w = CurrentRenderWorld()) w->sorter.Add(*this, world, context->transforms().View());
        return;
    }
    // The states are set even for a mesh out of view, so that what follows
    // finds the device as it would have: only the draw is saved.
    Material::Apply(material_, this);
    if (boundRadius_ >= 0 &&
        SphereOutsideClip(world * context->transforms().ViewProjection(), boundCentre_, boundRadius_, kCullMargin))
        return;
    drawAll();
}

void Mesh::drawAll() {
    Context* context = CurrentContext();
    if (!context || !context->device() || !vertexBuffer_ || vertexCount_ == 0 || faceCount_ == 0) return;
    context->device()->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vertexBuffer_.get(), 0,
                                              static_cast<DWORD>(vertexCount_), indices_.data(),
                                              static_cast<DWORD>(faceCount_) * 3, D3DDP_WAIT);
}

void Mesh::DrawFaces(const int* faces, int count) {
    Context* context = CurrentContext();
    if (!context || !context->device() || !vertexBuffer_ || vertexCount_ == 0 || !faces) return;
    scratch_.clear();
    for (int i = 0; i < count; ++i) {
        const int f = faces[i];
        if (f < 0 || f >= faceCount_) continue;
        scratch_.insert(scratch_.end(), &indices_[static_cast<size_t>(f) * 3], &indices_[static_cast<size_t>(f) * 3] + 3);
    }
    if (scratch_.empty()) return;
    context->device()->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vertexBuffer_.get(), 0,
                                              static_cast<DWORD>(vertexCount_), scratch_.data(),
                                              static_cast<DWORD>(scratch_.size()), D3DDP_WAIT);
}

}  // namespace ZK3D

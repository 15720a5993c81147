// The world, view and projection matrices last sent to the device, and their
// view x projection product, computed only when asked for after a change.
//
// Not a device mirror for everything: texture matrices and anything set on the
// device directly (not through the render context) are not tracked here.
#pragma once

#include <cstdint>

#include "engine/core/math.h"

namespace ZK3D {

class TransformCache {
public:
    // Bits of the validity word.
    static constexpr uint32_t kWorldValid = 1u << 0;
    static constexpr uint32_t kViewValid = 1u << 1;
    static constexpr uint32_t kProjectionValid = 1u << 2;
    static constexpr uint32_t kViewProjectionValid = 1u << 3;

    void SetWorld(const Matrix& m);
    // Setting the view or the projection invalidates the product.
    void SetView(const Matrix& m);
    void SetProjection(const Matrix& m);

    const Matrix& World() const { return world_; }
    const Matrix& View() const { return view_; }
    const Matrix& Projection() const { return projection_; }
    // view x projection, computed and stored when not valid.
    const Matrix& ViewProjection();

    uint32_t validity() const { return valid_; }

private:
    uint32_t valid_ = 0;
    Matrix world_ = MatrixIdentity();
    Matrix view_ = MatrixIdentity();
    Matrix projection_ = MatrixIdentity();
    Matrix viewProjection_ = MatrixIdentity();
};

}  // namespace ZK3D

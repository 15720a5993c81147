// The cached transforms and their lazily computed view x projection product.
#include "engine/render/transform_cache.h"

namespace ZK3D {

void TransformCache::SetWorld(const Matrix& m) {
    world_ = m;
    valid_ |= kWorldValid;
}

void TransformCache::SetView(const Matrix& m) {
    view_ = m;
    valid_ = (valid_ | kViewValid) & ~kViewProjectionValid;
}

void TransformCache::SetProjection(const Matrix& m) {
    projection_ = m;
    valid_ = (valid_ | kProjectionValid) & ~kViewProjectionValid;
}

const Matrix& TransformCache::ViewProjection() {
    if (!(valid_ & kViewProjectionValid)) {
        viewProjection_ = view_ * projection_;
        valid_ |= kViewProjectionValid;
    }
    return viewProjection_;
}

}  // namespace ZK3D

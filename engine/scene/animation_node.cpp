// Key-track evaluation (four interpolations, the last result cached) and the
// animation node's local matrix.
#include "engine/scene/animation_node.h"

#include <cmath>
#include <cstring>

#include "platform/report.h"

namespace ZK3D {

namespace {

bool HasLayout(int32_t valueType, int32_t interpolation) {
    return KeyTrack::Components(valueType) > 0 && interpolation >= KeyTrack::kLinear &&
           interpolation <= KeyTrack::kHermiteComputed;
}

}  // namespace

int KeyTrack::Components(int32_t valueType) {
    switch (valueType) {
        case kPosition:
        case kScale: return 3;
        case kRotation: return 4;
        case kRoll:
        case kFov: return 1;
        default: return 0;
    }
}

int KeyTrack::KeySizeInFile(int32_t valueType, int32_t interpolation) {
    if (!HasLayout(valueType, interpolation)) return 0;
    const int n = Components(valueType);
    // Interpolation 4 stores time and value only; its tangents are computed.
    const bool tangents = interpolation == kHermite || interpolation == kBezier;
    return 4 * (1 + n + (tangents ? 2 * n : 0));
}

std::unique_ptr<KeyTrack> KeyTrack::Create(int32_t count, int32_t valueType, int32_t interpolation) {
    if (count <= 0 || !HasLayout(valueType, interpolation)) return nullptr;
    return std::unique_ptr<KeyTrack>(new KeyTrack(count, valueType, interpolation));
}

KeyTrack::KeyTrack(int32_t count, int32_t valueType, int32_t interpolation)
    : valueType_(valueType),
      interpolation_(interpolation),
      count_(count),
      components_(Components(valueType)),
      stride_(1 + components_ * (interpolation == kLinear ? 1 : 3)),
      current_(1 + components_, 0.0f),
      keys_(static_cast<size_t>(count) * stride_, 0.0f) {
    current_[0] = -1.0f;
}

const float* KeyTrack::evaluate(float t) {
    if (count_ == 0) return current_.data();
    if (t == current_[0] || std::isnan(t) || std::isnan(current_[0])) return current_.data();
    int i = 0;
    while (i < count_ && Key(i)[0] < t) ++i;
    if (i == 0) return Key(0);
    if (i - 1 >= count_ - 1) return Key(count_ - 1);
    interpolate(t, Key(i - 1), Key(i));
    return current_.data();
}

void KeyTrack::interpolate(float t, const float* prev, const float* next) {
    const int n = components_;
    const float span = next[0] - prev[0];
    const float u = span != 0.0f ? (t - prev[0]) / span : 0.0f;
    current_[0] = t;
    float* out = current_.data() + 1;
    const float* p0 = prev + 1;
    const float* p1 = next + 1;
    // Long layout: value, inTangent, outTangent.
    const float* prevOut = prev + 1 + 2 * n;
    const float* nextIn = next + 1 + n;

    if (valueType_ == kRotation && interpolation_ != kHermite) {
        const Quaternion q = Slerp({p0[0], p0[1], p0[2], p0[3]}, {p1[0], p1[1], p1[2], p1[3]}, u);
        out[0] = q.x, out[1] = q.y, out[2] = q.z, out[3] = q.w;
        return;
    }
    for (int k = 0; k < n; ++k) {
        switch (interpolation_) {
            case kLinear: out[k] = Lerp(u, p0[k], p1[k]); break;
            case kBezier: out[k] = Bezier(u, p0[k], p0[k] + prevOut[k], p1[k] + nextIn[k], p1[k]); break;
            default: out[k] = Hermite(u, p0[k], p1[k], prevOut[k], nextIn[k]); break;
        }
    }
    if (valueType_ == kRotation) {
        const Quaternion q = Normalize(Quaternion{out[0], out[1], out[2], out[3]});
        out[0] = q.x, out[1] = q.y, out[2] = q.z, out[3] = q.w;
    }
}

void KeyTrack::ComputeTangents() {
    if (interpolation_ != kHermiteComputed) return;
    const int n = components_;
    for (int i = 0; i < count_; ++i) {
        float* key = Key(i);
        for (int k = 0; k < n; ++k) {
            float tangent = 0;
            if (i > 0 && i < count_ - 1) tangent = (Key(i + 1)[1 + k] - Key(i - 1)[1 + k]) * 0.5f;
            key[1 + n + k] = tangent;
            key[1 + 2 * n + k] = tangent;
        }
    }
}

AnimationNode::AnimationNode() : Node(nullptr, ZKNODE_ANIMATION) { LogMessage("[AN] Create animation node"); }

AnimationNode::~AnimationNode() = default;

void AnimationNode::compile() { local = LocalTransform(transform); }

void AnimationNode::animate(float t) {
    auto take = [t](KeyTrack* track, int components, float* into) {
        if (!track || track->components() != components) return;
        const float* key = track->evaluate(t);
        std::memcpy(into, key + 1, sizeof(float) * static_cast<size_t>(components));
    };
    take(positionTrack.get(), 3, &transform.translation.x);
    take(rotationTrack.get(), 4, &transform.rotation.x);
    take(scaleTrack.get(), 3, &transform.scale.x);
    take(rollTrack.get(), 1, &roll);
    take(fovTrack.get(), 1, &fov);
    compile();
}

}  // namespace ZK3D

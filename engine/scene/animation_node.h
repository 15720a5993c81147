// The animated transform of a scene-tree node: its transform record, camera roll
// and field of view, the local matrix built from them, and up to five key tracks
// that drive these values over scene time (in frames).
//
// A KeyTrack holds its keys in file order (ascending time) and evaluates them with
// one of four interpolations: linear, Hermite with stored tangents, Bezier with
// stored control offsets, or Hermite with tangents computed after loading. Before
// the first key the first key holds, after the last the last; nothing loops.
//
// Not here: reading tracks from a file (the scene loader fills the keys through
// Key()) and deciding which nodes are animated (the scene's walks do).
// Gotcha: evaluate() returns either a key itself or the track's result buffer; both
// start with time then value, and the value is only valid until the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/math.h"
#include "engine/core/node.h"

namespace ZK3D {

class KeyTrack {
public:
    enum ValueType : int32_t { kPosition = 1, kRotation = 2, kScale = 3, kRoll = 4, kFov = 5 };
    enum Interpolation : int32_t { kLinear = 1, kHermite = 2, kBezier = 3, kHermiteComputed = 4 };

    // A track of count keys of the layout for the value type and interpolation;
    // none when count is not positive or when the combination has no key layout.
    static std::unique_ptr<KeyTrack> Create(int32_t count, int32_t valueType, int32_t interpolation);
    // Bytes of one key in a scene file (0: no layout, nothing stored).
    static int KeySizeInFile(int32_t valueType, int32_t interpolation);
    // Floats of the value: 3, 4 or 1 (0 for an unknown value type).
    static int Components(int32_t valueType);

    // The key in force at t: time first, then the value (see the file comment).
    const float* evaluate(float t);
    // For interpolation 4: tangents (next - previous) / 2 for inner keys, zero
    // at both ends, stored as in- and out-tangent.
    void ComputeTangents();

    int32_t valueType() const { return valueType_; }
    int32_t interpolation() const { return interpolation_; }
    int32_t count() const { return count_; }
    int components() const { return components_; }
    // Key i in memory: time, value, and for interpolations 2-4 in- and out-tangents.
    float* Key(int i) { return keys_.data() + static_cast<size_t>(i) * stride_; }
    const float* Key(int i) const { return keys_.data() + static_cast<size_t>(i) * stride_; }
    int KeyFloats() const { return stride_; }
    const float* current() const { return current_.data(); }

private:
    KeyTrack(int32_t count, int32_t valueType, int32_t interpolation);
    void interpolate(float t, const float* prev, const float* next);

    int32_t valueType_;
    int32_t interpolation_;
    int32_t count_;
    int components_;
    int stride_;
    std::vector<float> current_;  // time (-1 at first), value (zero at first)
    std::vector<float> keys_;
};

class AnimationNode : public Node {
public:
    AnimationNode();
    ~AnimationNode() override;

    // Rebuilds local from the transform record.
    void compile() override;
    // Evaluates each present track at t (position, rotation, scale, roll, fov),
    // copies the values in and rebuilds local. A track whose value has another
    // number of components than its slot takes is left out.
    void animate(float t);

    TransformRecord transform;
    float roll = 0;  // radians
    float fov = 0;   // radians; 0 when the node has no field of view
    Matrix local = MatrixIdentity();
    std::unique_ptr<KeyTrack> positionTrack;
    std::unique_ptr<KeyTrack> rotationTrack;
    std::unique_ptr<KeyTrack> scaleTrack;
    std::unique_ptr<KeyTrack> rollTrack;
    std::unique_ptr<KeyTrack> fovTrack;
};

}  // namespace ZK3D

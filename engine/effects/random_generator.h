// The random numbers of the particle emitters, the turbulence operator and the
// jittering text: a linear congruential generator (state x 214013 + 2531011
// modulo 2^32, result bits 16-30, first state 1), one per thread and never
// reseeded, so a run of the effects draws the same numbers every time.
//
// Random01 gives 0..1 and RandomSigned -1..1, both in steps of 1/32767. The order
// in which the effects draw them is part of what they do.
// Not here: any other use of randomness (nothing else in the engine needs it).
// Gotcha: the state is per thread; the effects all run on the main thread, so in
// practice there is one sequence. Tests take a copy of ThreadRandom() to know
// which numbers the next draws will be.
#pragma once

#include <cstdint>

namespace ZK3D {

class RandomGenerator {
public:
    explicit constexpr RandomGenerator(uint32_t state = 1) : state_(state) {}

    // The next value, 0..32767.
    constexpr int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }
    float Next01() { return static_cast<float>(Next()) / 32767.0f; }
    float NextSigned() { return 2.0f * static_cast<float>(Next()) / 32767.0f - 1.0f; }

    constexpr uint32_t state() const { return state_; }

private:
    uint32_t state_;
};

// The calling thread's generator.
RandomGenerator& ThreadRandom();

// The next value of the calling thread's generator as 0..1 and as -1..1.
inline float Random01() { return ThreadRandom().Next01(); }
inline float RandomSigned() { return ThreadRandom().NextSigned(); }

}  // namespace ZK3D

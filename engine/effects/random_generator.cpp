// The per-thread generator behind Random01 and RandomSigned.
#include "engine/effects/random_generator.h"

namespace ZK3D {

RandomGenerator& ThreadRandom() {
    thread_local RandomGenerator generator(1);
    return generator;
}

}  // namespace ZK3D

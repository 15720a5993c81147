// The effect-node base: only its destructor lives here, so that the class's
// virtual table has one home.
#include "engine/scene/effect_node.h"

namespace ZK3D {

SpecialNode::~SpecialNode() = default;

}  // namespace ZK3D

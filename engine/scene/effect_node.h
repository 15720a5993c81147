// The base of the effect nodes (lens flares, particle systems, and the emitters
// and operators inside a particle system): a node of kind 7 with a category, an
// enabled word, the hierarchy node that places it and the scene object it follows.
//
// Effect nodes sit in a scene's specials list (the scene owns and compiles them)
// or are owned by the script or system that made them; they are drawn by the
// scene scripts, never by the scene's tree walk.
// Not here: any effect behaviour (engine/effects/ builds it).
// Gotcha: compile and render do nothing here, so an effect class only overrides
// the slots it needs.
#pragma once

#include <cstdint>

#include "engine/core/node.h"

namespace ZK3D {

class HierarchyNode;

class SpecialNode : public Node {
public:
    // Category of lens flares; particle systems leave it 0.
    static constexpr int32_t kLensFlareCategory = 3;

    SpecialNode(const char* name, int32_t categoryCode = 0, int32_t enabledFlag = 0, Node* associated = nullptr)
        : Node(name, ZKNODE_SPECIAL), category(categoryCode), enabled(enabledFlag), associatedNode(associated) {}
    ~SpecialNode() override;

    void compile() override {}
    // The per-frame operation; node is the hierarchy node placing the effect, if any.
    virtual void render(HierarchyNode* node = nullptr) { (void)node; }

    int32_t category = 0;
    int32_t enabled = 0;
    HierarchyNode* placingNode = nullptr;  // not owned
    Node* associatedNode = nullptr;        // not owned: the scene object the effect follows
};

}  // namespace ZK3D

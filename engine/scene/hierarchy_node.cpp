// Binding hierarchy nodes to their objects and targets, and the tree
// operations. Sibling chains are walked in loops; only depth recurses.
#include "engine/scene/hierarchy_node.h"

#include <cstring>
#include <vector>

#include "engine/render/mesh.h"
#include "engine/scene/camera.h"
#include "engine/scene/gizmo.h"
#include "engine/scene/light.h"
#include "engine/scene/world.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {

bool SameName(const Node* node, const char* name) {
    return node->name() && name && std::strcmp(node->name(), name) == 0;
}

void DumpTransform(const char* name, const AnimationNode& a) {
    const TransformRecord& t = a.transform;
    LogMessage("[Transf-Debug] \"%s\"", name);
    auto vect = [](const char* label, const Vector3& v) {
        LogMessage("[Vect-Debug] XYZ-%s %.3f|%.3f|%.3f", label, v.x, v.y, v.z);
    };
    auto quat = [](const char* label, const Quaternion& q) {
        LogMessage("[Quat-Debug] WXYZ-%s %.3f|%.3f|%.3f|%.3f", label, q.x, q.y, q.z, q.w);
    };
    vect("Translate", t.translation);
    quat("RotationQ", t.rotation);
    vect("Scaling", t.scale);
    quat("ScalingRQ", t.scaleAxes);
    LogMessage("[Mtx-Debug] Matrix OutPut \"%s\"", name);
    for (int r = 0; r < 4; ++r)
        LogMessage("[Mtx-Debug] [%.3f | %.3f | %.3f | %.3f]", a.local(r, 0), a.local(r, 1), a.local(r, 2),
                   a.local(r, 3));
}

}  // namespace

HierarchyNode::HierarchyNode(const char* name) : Node(name, ZKNODE_HIERARCHY) {
    LogMessage("[HN] Create hierarchy node : \"%s\"", name);
}

HierarchyNode::~HierarchyNode() = default;

void HierarchyNode::SetObject(Node* object) {
    object_ = object;
    mesh_ = nullptr;
    camera_ = nullptr;
    light_ = nullptr;
    gizmo_ = nullptr;
    if (!object) return;
    switch (object->kind()) {
        case ZKNODE_MESH: mesh_ = dynamic_cast<Mesh*>(object); break;
        case ZKNODE_CAMERA: camera_ = dynamic_cast<Camera*>(object); break;
        case ZKNODE_LIGHT: light_ = dynamic_cast<Light*>(object); break;
        case ZKNODE_GIZMO: gizmo_ = dynamic_cast<Gizmo*>(object); break;
        default: break;
    }
}

const Matrix& HierarchyNode::LocalMatrix() const {
    static const Matrix kIdentity = MatrixIdentity();
    return animation ? animation->local : kIdentity;
}

Vector3 HierarchyNode::Translation() const { return animation ? animation->transform.translation : Vector3{}; }

void HierarchyNode::compile() {
    Scene* scene = CurrentScene();
    target = nullptr;
    SetObject(scene ? scene->FindObject(name()) : nullptr);
    if (Node* found = object()) {
        LogMessage("[HN] Compile HNode \"%s\", \"%s\"", name(), found->name());
        const TargetNode* aiming = camera_ ? static_cast<const TargetNode*>(camera_) : light_;
        if (aiming && aiming->TargetName()) {
            if (HierarchyNode* t = FindInTree(scene->root, aiming->TargetName())) SetTargetNode(this, t);
        }
        if (gizmo_) gizmo_->render(this);
    }
    if (animation) {
        animation->compile();
        DumpTransform(name(), *animation);
    }
}

TargetNode::TargetNode(const char* name, int32_t kind) : Node(name, kind) {}

TargetNode::~TargetNode() = default;

void TargetNode::SetTargetName(const char* text) {
    targetName_.reset();
    LogMessage("[TN] \"%s\" - Target set to \"%s\"", name(), text);
    targetName_.reset(DuplicateString(text));
}

// ---------------------------------------------------------------- tree operations

HierarchyNode* AddChild(HierarchyNode* parent, HierarchyNode* child) {
    if (!parent || !child) return nullptr;
    LogMessage("[HN] \"%s\" node added as child of \"%s\" tree", child->name(), parent->name());
    if (!parent->firstChild()) {
        parent->prev = child;
    } else {
        HierarchyNode* last = parent->firstChild();
        while (last->nextSibling()) last = last->nextSibling();
        last->next = child;
    }
    child->next = nullptr;
    child->parent = parent;
    return child;
}

namespace {

// Depth first from node along its siblings; logs each node tried.
HierarchyNode* FindParent(HierarchyNode* node, const char* parentName) {
    for (HierarchyNode* n = node; n; n = n->nextSibling()) {
        LogMessage("[HN] Try \"%s\" Node", n->name());
        if (SameName(n, parentName)) return n;
        if (HierarchyNode* found = FindParent(n->firstChild(), parentName)) return found;
    }
    return nullptr;
}

}  // namespace

HierarchyNode* PlaceNode(const char* parentName, HierarchyNode* node, HierarchyNode** root) {
    if (!node) {
        LogMessage("[HN] NULL node cannot be added");
        return nullptr;
    }
    if (!root) return nullptr;
    if (!parentName || parentName[0] == '\0') {
        LogMessage("[HN] Placing node root : \"%s\"", node->name());
        if (*root && *root != node) {
            // A tree has one root: the one placed before is released with its subtree
            // rather than left unreachable.
            LogMessage("[HN] Root \"%s\" replaced by \"%s\" : its subtree is released", (*root)->name(),
                       node->name());
            FreeTree(root);
        }
        node->parent = nullptr;
        node->next = nullptr;
        *root = node;
        return node;
    }
    if (!*root) return nullptr;
    HierarchyNode* parent = FindParent(*root, parentName);
    if (!parent) return nullptr;
    AddChild(parent, node);
    return node;
}

HierarchyNode* FindInTree(HierarchyNode* node, const char* name) {
    for (HierarchyNode* n = node; n; n = n->nextSibling()) {
        if (SameName(n, name)) {
            LogMessage("[HN] Node \"%s\" was found", name);
            return n;
        }
        if (HierarchyNode* found = FindInTree(n->firstChild(), name)) return found;
    }
    return nullptr;
}

void SetTargetNode(HierarchyNode* node, HierarchyNode* target) {
    if (!node) return;
    LogMessage("[HN] \"%s\" target node set to \"%s\"", node->name(), target ? target->name() : nullptr);
    node->target = target;
}

void CompileTree(HierarchyNode* node) {
    // Each node after its own subtree and after every later sibling; siblings are
    // walked in a loop so a long chain does not deepen the recursion.
    std::vector<HierarchyNode*> chain;
    for (HierarchyNode* n = node; n; n = n->nextSibling()) {
        chain.push_back(n);
        CompileTree(n->firstChild());
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->compile();
}

void FreeTree(HierarchyNode** slot) {
    if (!slot || !*slot) return;
    std::vector<HierarchyNode*> chain;
    for (HierarchyNode* n = *slot; n; n = n->nextSibling()) chain.push_back(n);
    for (HierarchyNode* n : chain) {
        HierarchyNode* child = n->firstChild();
        FreeTree(&child);
        n->prev = nullptr;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        HierarchyNode* n = *it;
        LogMessage("[HN] Free Node \"%s\"[%s]", n->name(), NodeKindName(n->kind()));
        delete n;
    }
    *slot = nullptr;
}

bool IsCulled(const HierarchyNode* node) {
    const Gizmo* g = node ? node->gizmo() : nullptr;
    return g && (g->flags & Gizmo::kCulled);
}

}  // namespace ZK3D

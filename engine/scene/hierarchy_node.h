// The scene tree: hierarchy nodes tie the flat object lists of a scene (meshes,
// cameras, lights, gizmos, effects) to places and motion. Each node bears the name
// of the object it places, owns the AnimationNode with its local transform, and
// links its first child and next sibling through the Node links (prev and next).
//
// Cameras and lights are TargetNodes: they carry the name of a hierarchy node to
// aim at, which the placing node looks up when the tree is compiled.
//
// Not here: the per-frame walks (the scene renders) and reading the tree from a
// file (the scene loader places each record with PlaceNode).
// Gotcha: every operation on a whole tree treats a node's following siblings as
// part of "its" tree, the way the walks do.
#pragma once

#include <memory>

#include "engine/scene/animation_node.h"
#include "engine/core/node.h"

namespace ZK3D {

class Camera;
class Light;
class Gizmo;
class Mesh;

class HierarchyNode : public Node {
public:
    explicit HierarchyNode(const char* name);
    ~HierarchyNode() override;

    // Binds the object of the same name in the current scene (and, for cameras
    // and lights, the target node), compiles the animation and dumps both.
    void compile() override;

    HierarchyNode* firstChild() const { return static_cast<HierarchyNode*>(prev); }
    HierarchyNode* nextSibling() const { return static_cast<HierarchyNode*>(next); }

    Node* object() const { return object_; }
    // Binds an object (none to unbind); keeps the typed views the walks use.
    void SetObject(Node* object);
    Mesh* mesh() const { return mesh_; }
    Camera* camera() const { return camera_; }
    Light* light() const { return light_; }
    Gizmo* gizmo() const { return gizmo_; }

    HierarchyNode* target = nullptr;  // not owned
    HierarchyNode* parent = nullptr;  // not owned
    std::unique_ptr<AnimationNode> animation;

    // The node's local matrix (identity without an animation node).
    const Matrix& LocalMatrix() const;
    // The local translation (zero without an animation node).
    Vector3 Translation() const;

private:
    Node* object_ = nullptr;  // not owned
    Mesh* mesh_ = nullptr;
    Camera* camera_ = nullptr;
    Light* light_ = nullptr;
    Gizmo* gizmo_ = nullptr;
};

// A scene object that aims at another node of the tree (cameras, lights).
class TargetNode : public Node {
public:
    TargetNode(const char* name, int32_t kind);
    ~TargetNode() override;

    // Places the object for the frame; target is the placing node's target (or none).
    virtual void render(HierarchyNode* node, HierarchyNode* target) = 0;

    // Replaces the target name with a copy (an empty text stays an empty name).
    void SetTargetName(const char* text);
    const char* TargetName() const { return targetName_.get(); }

    HierarchyNode* placedBy = nullptr;  // not owned; set by a camera's render

private:
    std::unique_ptr<char[]> targetName_;
};

// Places node under the node named parentName, or as the root when the name is
// empty. A second root replaces the first, whose subtree is released. Returns the
// node, or none when it could not be placed (the caller keeps it then).
HierarchyNode* PlaceNode(const char* parentName, HierarchyNode* node, HierarchyNode** root);
// Appends child to the parent's children.
HierarchyNode* AddChild(HierarchyNode* parent, HierarchyNode* child);
// The first node named name, depth first, in node's subtree and following siblings.
HierarchyNode* FindInTree(HierarchyNode* node, const char* name);
void SetTargetNode(HierarchyNode* node, HierarchyNode* target);
// Compiles every node after its descendants and its later siblings.
void CompileTree(HierarchyNode* node);
// Destroys the tree in *slot (subtree and following siblings); empties the slot.
void FreeTree(HierarchyNode** slot);
// True when the node places a gizmo marked culled (flags bit 31).
bool IsCulled(const HierarchyNode* node);

}  // namespace ZK3D

// The base of every scene-graph object and the intrusive lists that own them.
//
// A node is named, carries a kind code and lives in at most one list at a time.
// A list is just a pointer to its first node, kept by the list's owner; the links
// live in the nodes. The owner of a list owns its nodes and destroys them with
// FreeNodeList. Every lookup is a linear, case-sensitive, first-match search, and
// every lookup and addition writes a "[N]" log line, so lookups belong to load and
// compile time, not to per-frame code.
#pragma once

#include <cstdint>
#include <memory>

namespace ZK3D {

enum NodeKind : int32_t {
    ZKNODE_NOTYPE = -1,
    ZKNODE_NODE = 0,
    ZKNODE_MESH = 1,
    ZKNODE_SCENE = 2,
    ZKNODE_CAMERA = 3,
    ZKNODE_LIGHT = 4,
    ZKNODE_MATERIAL = 5,
    ZKNODE_TEXTURE = 6,
    ZKNODE_SPECIAL = 7,
    ZKNODE_HIERARCHY = 8,
    ZKNODE_ANIMATION = 9,
    ZKNODE_GIZMO = 0x200,  // has no name of its own: NodeKindName gives "[Unk] 0x200"
};

class Node {
public:
    // Keeps a private copy of name (which may be absent).
    Node(const char* name, int32_t kind, Node* prev = nullptr, Node* next = nullptr);
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    // Prepares the node once its scene file has been read.
    virtual void compile() = 0;

    const char* name() const { return name_.get(); }
    int32_t kind() const { return kind_; }

    // List links (for hierarchy nodes: first child and next sibling). Not owning.
    Node* prev = nullptr;
    Node* next = nullptr;

private:
    int32_t kind_;
    std::unique_ptr<char[]> name_;
};

// Appends node to the list at *head; nothing changes when the node is already in
// it. Returns the node (nullptr for no node).
Node* AddNode(Node* node, Node** head);
// The first node whose name equals name byte for byte; nodes without a name are skipped.
Node* FindNode(Node* head, const char* name);
// Unlinks the node from its neighbours (not from a list head), destroys it and
// empties the slot.
void FreeNode(Node** slot);
// Destroys every node of the list in order; the head ends empty.
void FreeNodeList(Node** head);
// Calls compile on every node in list order; returns the head.
Node* CompileNodeList(Node* head);
// The kind's name; valid until the next call on the same thread.
const char* NodeKindName(int32_t kind);

// Typed forms of the list operations for lists of one derived class.
template <class T>
T* AddNode(T* node, T** head) {
    Node* h = *head;
    Node* r = AddNode(static_cast<Node*>(node), &h);
    *head = static_cast<T*>(h);
    return static_cast<T*>(r);
}
template <class T>
void FreeNodeList(T** head) {
    Node* h = *head;
    FreeNodeList(&h);
    *head = static_cast<T*>(h);
}

}  // namespace ZK3D

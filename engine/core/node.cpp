#include "engine/core/node.h"

#include <cstdio>
#include <cstring>

#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

Node::Node(const char* name, int32_t kind, Node* prev_, Node* next_)
    : prev(prev_), next(next_), kind_(kind), name_(DuplicateString(name)) {}

Node::~Node() = default;

Node* AddNode(Node* node, Node** head) {
    if (!node) {
        LogMessage("[N] NULL node cannot be added");
        return nullptr;
    }
    if (!*head) {
        node->prev = nullptr;
        node->next = nullptr;
        *head = node;
    } else {
        Node* last = *head;
        while (last != node && last->next) last = last->next;
        if (last == node) {
            LogMessage("[N] Node \"%s\" already in list", node->name());
            return node;
        }
        last->next = node;
        node->next = nullptr;
        node->prev = last;
    }
    LogMessage("[N] Node \"%s\" added to list", node->name());
    return node;
}

Node* FindNode(Node* head, const char* name) {
    for (Node* n = head; n; n = n->next) {
        if (n->name() && name && std::strcmp(n->name(), name) == 0) {
            LogMessage("[N] Node \"%s\" was found", name);
            return n;
        }
    }
    LogMessage("[N] Node \"%s\" was not found in list", name);
    return nullptr;
}

void FreeNode(Node** slot) {
    Node* node = *slot;
    if (!node) return;
    if (node->next) node->next->prev = node->prev;
    if (node->prev) node->prev->next = node->next;
    LogMessage("[N] Free Node \"%s\"[%s]", node->name(), NodeKindName(node->kind()));
    delete node;
    *slot = nullptr;
}

void FreeNodeList(Node** head) {
    if (*head)
        LogMessage("[N] Free List from \"%s\"", (*head)->name());
    else
        LogError("[N] Error : try to delete empty list");
    while (*head) {
        Node* taken = *head;
        *head = taken->next;
        FreeNode(&taken);
    }
}

Node* CompileNodeList(Node* head) {
    for (Node* n = head; n; n = n->next) n->compile();
    return head;
}

const char* NodeKindName(int32_t kind) {
    static const char* const kNames[] = {"ZKNODE_NOTYPE",   "ZKNODE_NODE",     "ZKNODE_MESH",
                                         "ZKNODE_SCENE",    "ZKNODE_CAMERA",   "ZKNODE_LIGHT",
                                         "ZKNODE_MATERIAL", "ZKNODE_TEXTURE",  "ZKNODE_SPECIAL",
                                         "ZKNODE_HIERARCHY", "ZKNODE_ANIMATION"};
    thread_local char buffer[32];
    if (kind >= -1 && kind <= 9)
        std::snprintf(buffer, sizeof buffer, "%s", kNames[kind + 1]);
    else
        std::snprintf(buffer, sizeof buffer, "[Unk] 0x%X", static_cast<unsigned>(kind));
    return buffer;
}

}  // namespace ZK3D

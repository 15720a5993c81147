#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/node.h"
#include "tests/support/log_capture.h"

using namespace ZK3D;
using testing_support::LogCapture;

namespace {

// A node that records its compiles and destructions into a shared journal.
struct JournalNode : Node {
    JournalNode(const char* name, std::vector<std::string>* journal) : Node(name, ZKNODE_NODE), journal_(journal) {}
    ~JournalNode() override { journal_->push_back(std::string("free ") + (name() ? name() : "-")); }
    void compile() override { journal_->push_back(std::string("compile ") + (name() ? name() : "-")); }
    std::vector<std::string>* journal_;
};

}  // namespace

TEST(NodeList, AddToEmptyListMakesTheHeadWithNoLinks) {
    std::vector<std::string> journal;
    auto* a = new JournalNode("A", &journal);
    a->prev = a->next = a;  // stale links are cleared
    Node* head = nullptr;
    EXPECT_EQ(AddNode(a, &head), a);
    EXPECT_EQ(head, a);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(a->next, nullptr);
    FreeNodeList(&head);
}

TEST(NodeList, AppendsInOrderAndRefusesAMemberTwice) {
    LogCapture log;
    std::vector<std::string> journal;
    Node* head = nullptr;
    auto* a = new JournalNode("A", &journal);
    auto* b = new JournalNode("B", &journal);
    auto* c = new JournalNode("C", &journal);
    AddNode(a, &head);
    AddNode(b, &head);
    AddNode(c, &head);
    EXPECT_EQ(head, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->prev, a);
    EXPECT_EQ(c->prev, b);
    log.clear();
    EXPECT_EQ(AddNode(c, &head), c);  // the last member
    EXPECT_EQ(AddNode(a, &head), a);  // the first member
    EXPECT_EQ(log.count("[N] Node \"C\" already in list"), 1);
    EXPECT_EQ(log.count("[N] Node \"A\" already in list"), 1);
    EXPECT_EQ(c->next, nullptr);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(AddNode(static_cast<Node*>(nullptr), &head), nullptr);
    EXPECT_TRUE(log.has("[N] NULL node cannot be added"));
    FreeNodeList(&head);
}

TEST(NodeList, FindIsCaseSensitiveFirstMatchAndSkipsUnnamedNodes) {
    LogCapture log;
    std::vector<std::string> journal;
    Node* head = nullptr;
    auto* unnamed = new JournalNode(nullptr, &journal);
    auto* first = new JournalNode("MainCam", &journal);
    auto* second = new JournalNode("MainCam", &journal);
    AddNode(unnamed, &head);
    AddNode(first, &head);
    AddNode(second, &head);
    EXPECT_EQ(FindNode(head, "MainCam"), first);
    EXPECT_TRUE(log.has("[N] Node \"MainCam\" was found"));
    EXPECT_EQ(FindNode(head, "maincam"), nullptr);
    EXPECT_TRUE(log.has("[N] Node \"maincam\" was not found in list"));
    EXPECT_EQ(FindNode(nullptr, "x"), nullptr);
    FreeNodeList(&head);
}

TEST(NodeList, FreeNodeListLogsTheFirstNameOnceAndFreesInOrder) {
    LogCapture log;
    std::vector<std::string> journal;
    Node* head = nullptr;
    for (const char* name : {"A", "B", "C"}) AddNode(new JournalNode(name, &journal), &head);
    log.clear();
    FreeNodeList(&head);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"free A", "free B", "free C"}));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"[N] Free List from \"A\"", "[N] Free Node \"A\"[ZKNODE_NODE]",
                                                     "[N] Free Node \"B\"[ZKNODE_NODE]",
                                                     "[N] Free Node \"C\"[ZKNODE_NODE]"}));
    log.clear();
    FreeNodeList(&head);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"[N] Error : try to delete empty list"});
}

TEST(NodeList, FreeNodeUnlinksFromItsNeighboursButNotTheHead) {
    std::vector<std::string> journal;
    Node* head = nullptr;
    auto* a = new JournalNode("A", &journal);
    auto* b = new JournalNode("B", &journal);
    auto* c = new JournalNode("C", &journal);
    AddNode(a, &head);
    AddNode(b, &head);
    AddNode(c, &head);
    Node* slot = b;
    FreeNode(&slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->prev, a);
    Node* empty = nullptr;
    FreeNode(&empty);  // nothing happens
    FreeNodeList(&head);
    EXPECT_EQ(journal, (std::vector<std::string>{"free B", "free A", "free C"}));
}

TEST(NodeList, CompileRunsInListOrder) {
    std::vector<std::string> journal;
    Node* head = nullptr;
    for (const char* name : {"X", "Y"}) AddNode(new JournalNode(name, &journal), &head);
    EXPECT_EQ(CompileNodeList(head), head);
    EXPECT_EQ(journal, (std::vector<std::string>{"compile X", "compile Y"}));
    FreeNodeList(&head);
}

TEST(NodeKindNames, KnownAndUnknownKinds) {
    EXPECT_STREQ(NodeKindName(-1), "ZKNODE_NOTYPE");
    EXPECT_STREQ(NodeKindName(ZKNODE_ANIMATION), "ZKNODE_ANIMATION");
    EXPECT_STREQ(NodeKindName(ZKNODE_GIZMO), "[Unk] 0x200");
    EXPECT_STREQ(NodeKindName(-2), "[Unk] 0xFFFFFFFE");
    EXPECT_STREQ(NodeKindName(10), "[Unk] 0xA");
}

#include <gtest/gtest.h>

#include <vector>

#include "core/intrusive_list.h"

namespace {

// A user record as the asset loader makes them: links first, then its own data, with a vtable.
struct SEntry : ClListNode {
    explicit SEntry(int id) : id(id) {}
    virtual ~SEntry() = default;
    int id;
};

std::vector<int> idsOf(const ClIntrusiveList& list) {
    std::vector<int> ids;
    for (ClListNode* node = list.getHead(); node; node = node->next) ids.push_back(static_cast<SEntry*>(node)->id);
    return ids;
}

std::vector<int> g_clearedIds;
void recordCleared(ClListNode* node) {
    g_clearedIds.push_back(static_cast<SEntry*>(node)->id);
}

class IntrusiveList : public ::testing::Test {
protected:
    void SetUp() override {
        for (SEntry* entry : {&a, &b, &c}) list.pushBack(entry);
    }
    SEntry a{1}, b{2}, c{3};
    ClIntrusiveList list;
};

}  // namespace

TEST_F(IntrusiveList, PushBackKeepsOrderBothWaysAndUnlinkJoinsNeighboursAndMovesEnds) {
    EXPECT_EQ(idsOf(list), (std::vector<int>{1, 2, 3}));
    list.unlink(&b);
    // The unlinked node keeps its links, so a walk can step on from it.
    EXPECT_EQ(idsOf(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(c.prev, &a);
    EXPECT_EQ(b.next, &c);
    list.unlink(&a);
    EXPECT_EQ(list.getHead(), &c);
    EXPECT_EQ(c.prev, nullptr);
    // The tail moved with the unlinks: a push lands after the last node still linked.
    list.pushBack(&b);
    EXPECT_EQ(idsOf(list), (std::vector<int>{3, 2}));
    list.unlink(&b);
    list.unlink(&c);
    list.pushBack(&a);
    EXPECT_EQ(idsOf(list), (std::vector<int>{1}));
}

TEST_F(IntrusiveList, ClearUnlinksFromTheHeadCallingBackAndUnlinkOnAnEmptyListDoesNothing) {
    g_clearedIds.clear();
    list.clear(recordCleared);
    EXPECT_EQ(g_clearedIds, (std::vector<int>{1, 2, 3}));

    // The callback may free the node it is given.
    for (int id = 0; id < 4; ++id) list.pushBack(new SEntry(id));
    list.clear([](ClListNode* node) { delete static_cast<SEntry*>(node); });
    EXPECT_EQ(list.getCount(), 0u);

    SEntry stray(9), neighbour(8);
    stray.next = &neighbour;
    neighbour.prev = &stray;
    list.unlink(&stray);
    EXPECT_EQ(list.getCount(), 0u);
    EXPECT_EQ(neighbour.prev, &stray);
}

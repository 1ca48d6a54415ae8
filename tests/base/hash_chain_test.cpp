#include "base/hash_chain.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/mem.h"

namespace {

struct Item {
  ChainNode node;  // owner_word holds the key
};

int accept_all(const void*, const ChainNode*) { return 1; }
int key_equals(const void* key, const ChainNode* n) { return n->owner_word == *static_cast<const uintptr_t*>(key); }

std::vector<uintptr_t> bucket(ChainNode** heads, uint32_t i) {
  std::vector<uintptr_t> keys;
  for (ChainNode* n = heads[i]; n; n = n->next) keys.push_back(n->owner_word);
  return keys;
}

TEST(HashChainTest, PushFindAndRemove) {
  ChainNode** heads = nullptr;
  ASSERT_EQ(chain_table_create(&heads, 8), 0);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(heads[i], nullptr);
  Item items[4] = {{{1, nullptr}}, {{2, nullptr}}, {{3, nullptr}}, {{4, nullptr}}};
  for (int k = 0; k < 3; ++k) chain_push(&items[k].node, heads, 5);
  EXPECT_EQ(chain_find(nullptr, accept_all, heads, 5), &items[2].node);  // last pushed first
  uintptr_t key = 2;
  EXPECT_EQ(chain_find(&key, key_equals, heads, 5), &items[1].node);
  EXPECT_EQ(chain_find(&key, key_equals, heads, 4), nullptr);
  // A middle node goes; the others keep their order.
  EXPECT_EQ(chain_remove(heads, 5, key_equals, &key), &items[1].node);
  EXPECT_EQ(bucket(heads, 5), (std::vector<uintptr_t>{3, 1}));
  EXPECT_EQ(chain_remove(heads, 5, key_equals, &key), nullptr);
  // The only node of a bucket goes: the bucket is empty again.
  chain_push(&items[3].node, heads, 0);
  key = 4;
  EXPECT_EQ(chain_remove(heads, 0, key_equals, &key), &items[3].node);
  EXPECT_EQ(heads[0], nullptr);
  chain_table_free(heads);
}

TEST(HashChainTest, CreateReportsOutOfMemory) {
  ChainNode** heads = nullptr;
  MemFaultGuard fail(1);
  EXPECT_EQ(chain_table_create(&heads, 8), 1);
  EXPECT_EQ(heads, nullptr);
}

TEST(RingTest, PushFrontLinksBothWays) {
  RingNode a{}, b{}, c{};
  RingNode* head = nullptr;
  ring_push_front(&head, &a);
  EXPECT_EQ(head, &a);
  EXPECT_EQ(a.next, &a);
  EXPECT_EQ(a.prev, &a);
  ring_push_front(&head, &b);
  EXPECT_EQ(head, &b);
  EXPECT_EQ(b.next, &a);
  EXPECT_EQ(a.next, &b);
  EXPECT_EQ(b.prev, &a);
  EXPECT_EQ(a.prev, &b);
  ring_push_front(&head, &c);  // c, b, a
  EXPECT_EQ(c.next, &b);
  EXPECT_EQ(c.prev, &a);
  EXPECT_EQ(a.next, &c);
}

TEST(RingTest, UnlinkMovesTheHeadAndEmptiesTheRing) {
  RingNode a{}, b{}, c{};
  RingNode* head = nullptr;
  ring_push_front(&head, &a);
  ring_push_front(&head, &b);
  ring_push_front(&head, &c);  // c -> b -> a
  ring_unlink(&head, &c);
  EXPECT_EQ(head, &b);
  EXPECT_EQ(b.next, &a);
  EXPECT_EQ(a.next, &b);
  EXPECT_EQ(b.prev, &a);
  ring_unlink(&head, &a);  // not the head
  EXPECT_EQ(head, &b);
  EXPECT_EQ(b.next, &b);
  EXPECT_EQ(b.prev, &b);
  ring_unlink(&head, &b);
  EXPECT_EQ(head, nullptr);
  ring_unlink(&head, &b);  // empty ring: nothing happens
  EXPECT_EQ(head, nullptr);
}

}  // namespace

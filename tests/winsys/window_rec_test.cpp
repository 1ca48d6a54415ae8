// Window records: the pool, the X-id hash with move to front, the stacking
// tree, absolute positions and the window text's growth.
#include "winsys_fixture.h"

#include "winsys/window.h"
#include "winsys/xwindows.h"

namespace wstest {
namespace {

using Records = WinsysTest;

XfWindow* record(Window xid, XfWindow* parent = nullptr) {
  XfWindow* w = xfNewWindowRecord();
  xfInitWindowRecord(w, XFTYPE_ANY, xid, parent, parent, 0, 0, 1, 1);
  return w;
}

TEST_F(Records, IdsSharingABucketMoveToFrontOnEveryHit) {
  XfWindow* a = record(0x1005);
  XfWindow* b = record(0x2005);  // same bucket, inserted at the head
  ASSERT_EQ(xf().windows.hash[0x005], b);
  EXPECT_EQ(xfFindWindow(0x1005), a);
  EXPECT_EQ(xf().windows.hash[0x005], a);
  EXPECT_EQ(xfFindWindow(0x2005), b);
  EXPECT_EQ(xf().windows.hash[0x005], b);
  EXPECT_EQ(xfFindWindow(0x3005), nullptr);
  xfHashRemove(a);
  EXPECT_EQ(xfFindWindow(0x1005), nullptr);
  EXPECT_EQ(xfFindWindow(0x2005), b);
}

TEST_F(Records, The501stRecordStartsANewBlockAndFreedRecordsComeBackFirst) {
  std::vector<XfWindow*> all;
  for (int i = 0; i < kWindowBlock + 1; ++i) all.push_back(record(0x100 + static_cast<Window>(i)));
  EXPECT_EQ(xf().windows.blocks.size(), 2u);
  EXPECT_EQ(all[kWindowBlock], xf().windows.blocks[1]);
  xfHashRemove(all[7]);
  xfFreeWindowRecord(all[7]);
  EXPECT_EQ(xfNewWindowRecord(), all[7]);
}

TEST_F(Records, NewChildrenGoOnTopAndTheTreeFollowsRestacking) {
  XfWindow* p = record(1);
  XfWindow* a = record(2, p);
  XfWindow* b = record(3, p);
  XfWindow* c = record(4, p);
  auto order = [&] {
    std::vector<XfWindow*> v;
    for (XfWindow* w = p->first_child; w; w = w->next_sibling) v.push_back(w);
    return v;
  };
  EXPECT_EQ(order(), (std::vector<XfWindow*>{c, b, a}));
  EXPECT_EQ(p->child_count, 3);
  xfMoveToFront(c);  // already first: nothing
  EXPECT_EQ(order(), (std::vector<XfWindow*>{c, b, a}));
  xfMoveToBack(c);
  EXPECT_EQ(order(), (std::vector<XfWindow*>{b, a, c}));
  xfMoveAfterSibling(b, c);
  EXPECT_EQ(order(), (std::vector<XfWindow*>{a, c, b}));
  xfMoveAfterSibling(b, b);  // itself: nothing
  xfMoveAfterSibling(b, p);  // not a sibling: nothing
  EXPECT_EQ(order(), (std::vector<XfWindow*>{a, c, b}));
  xfMoveToFront(b);
  EXPECT_EQ(order(), (std::vector<XfWindow*>{b, a, c}));
  EXPECT_EQ(p->child_count, 3);
  for (XfWindow* w = p->first_child; w; w = w->next_sibling) {
    if (w->next_sibling) {
      EXPECT_EQ(w->next_sibling->prev_sibling, w);
    }
  }
}

TEST_F(Records, DestroyingASubtreeTakesEveryRecordOutOfTheHash) {
  XfWindow* p = record(10);
  XfWindow* c = record(11, p);
  record(12, c);
  record(13, c);
  XfWindow* other = record(20);
  xfDestroyXWindowTree(p);
  for (Window id : {10, 11, 12, 13}) EXPECT_EQ(xfFindWindow(id), nullptr) << id;
  EXPECT_EQ(xfFindWindow(20), other);
  EXPECT_EQ(xf_live_window_count(), 1);
}

TEST_F(Records, AbsolutePositionAddsUpToTheFrame) {
  XfWindow* frame =
      xfCreateFrameWindow(nullptr, nullptr, "f", "f", "Halvorn", 100, 50, 300, 200, 0, 0, 0, 0, 0, 0, false);
  XfWindow* a = xfCreateChildWindow(frame, 5, 5, 10, 10, 0, 'u');
  XfWindow* b = xfCreateChildWindow(a, 10, 0, 10, 10, 0, 'u');
  XfWindow* c = xfCreateChildWindow(b, 0, 20, 10, 10, 0, 'u');
  int32_t x = 0, y = 0;
  xfQueryAbsolutePos(c, &x, &y);
  EXPECT_EQ(x, 115);
  EXPECT_EQ(y, 75);
}

TEST_F(Records, GeometrySettersRecordOnlyChanges) {
  XfWindow* w = record(30);
  xfSetWindowGeometry(w, 4, 5, 6, 7);
  EXPECT_EQ(w->x, 4);
  EXPECT_EQ(w->y, 5);
  EXPECT_EQ(w->width, 6);
  EXPECT_EQ(w->height, 7);
}

TEST_F(Records, WindowTextGrowsToTwiceItsLengthOnlyWhenNeeded) {
  XfWindow* w = record(40);
  xfSetWMName(w, "0123456789");
  EXPECT_EQ(w->text_capacity, 21);
  char* before = w->text;
  xfSetWMName(w, "01234567890123456789");
  EXPECT_EQ(w->text_capacity, 21);
  EXPECT_EQ(w->text, before);
  EXPECT_STREQ(w->text, "01234567890123456789");
  xfSetWMName(w, "012345678901234567890");
  EXPECT_EQ(w->text_capacity, 43);
}

TEST_F(Records, KindNamesForDiagnostics) {
  EXPECT_STREQ(xf_kind_name(XFTYPE_MDICLIENT), "XFTYPE_MDICLIENT");
  EXPECT_STREQ(xf_kind_name(3), "XFTYPE_UNKNOWN");
  EXPECT_STREQ(xf_kind_name(99), "XFTYPE_UNKNOWN");
}

}  // namespace
}  // namespace wstest

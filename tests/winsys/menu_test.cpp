// Menus without a display: items and their texts, the append and
// special-item rules, bar and popup layout with a known font table,
// freeing, placement on the screen and the tracker's item choices.
#include <gtest/gtest.h>

#include <X11/X.h>

#include <string>
#include <vector>

#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/menu_track.h"

namespace {

// Every character 6 pixels wide except 'W' (10); ascent 10, so rows are 22.
constexpr int32_t kAscent = 10, kRow = 22;

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    int32_t widths[256];
    for (int32_t& w : widths) w = 6;
    widths[static_cast<unsigned char>('W')] = 10;
    xfMenuSetMetrics(widths, kAscent);
    live_menus = xf_menu_live_records();
    live_items = xf_menu_item_live_records();
  }
  void TearDown() override {
    for (XfMenu* m : made) xfFreeMenu(m, true);
    EXPECT_EQ(xf_menu_live_records(), live_menus) << "every menu record went back";
    EXPECT_EQ(xf_menu_item_live_records(), live_items) << "every item record went back";
  }
  XfMenu* popup() { return keep(xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr)); }
  XfMenu* bar() { return keep(xfNewMenu(nullptr, nullptr, kMenuBar, nullptr)); }
  XfMenu* keep(XfMenu* m) {
    made.push_back(m);
    return m;
  }
  static void add(XfMenu* m, uint32_t id, const char* text, uint16_t kind = kTplText, XfMenu* sub = nullptr) {
    XfMenuTemplate t{kTplAppend, kind, 0, id, sub};
    xfInsertMenuItem(m, &t, text);
  }
  static XfMenuItem* restore_item() {
    return xfNewMenuItem(kItemRestore, kRestoreItemId, "", "", 0, 0, 0, false, false, false, false, false, nullptr, "");
  }
  static XfMenuItem* sys_item() {
    return xfNewMenuItem(kItemSysMenu, 1, "", "", 0, 0, 0, false, false, false, false, false, nullptr, "");
  }

  std::vector<XfMenu*> made;
  int32_t live_menus = 0, live_items = 0;
};

TEST_F(Menus, TextsSplitIntoDisplayTextMnemonicAndAccelerator) {
  struct Case {
    const char* full;
    const char* text;
    char mnemonic;
    const char* accel;
  };
  const Case cases[] = {
      {"~File\tCtrl+F", "File", 'F', "Ctrl+F"},
      {"Save ~As", "Save As", 'A', ""},
      {"A~~B", "A~B", 0, ""},
      {"Plain", "Plain", 0, ""},
      {"~~~x", "~x", 'x', ""},
      {"", "", 0, ""},
  };
  XfMenu* m = popup();
  uint32_t id = 1;
  for (const Case& c : cases) {
    add(m, id, c.full);
    XfMenuItem* it = xfMenuFindItem(m, id++);
    ASSERT_TRUE(it) << c.full;
    EXPECT_EQ(it->text, c.text) << c.full;
    EXPECT_EQ(it->mnemonic, c.mnemonic) << c.full;
    EXPECT_EQ(it->accel, c.accel) << c.full;
    EXPECT_EQ(it->full_text, c.full);
  }
}

TEST_F(Menus, TheMnemonicIsUnderlinedInBothMenuForms) {
  XfMenu* p = popup();
  add(p, 1, "~File\tCtrl+F");
  add(p, 2, "Save ~As");
  add(p, 3, "None");
  xfLayoutPopupMenu(p, 100, 50, true);
  XfMenuItem* file = xfMenuItemAt(p, 0);
  EXPECT_EQ(file->text_x, 100 + 2 + 20);
  EXPECT_EQ(file->baseline, 50 + 2 + kAscent + 5);
  EXPECT_EQ(file->ul_y, file->baseline + 2);
  EXPECT_EQ(file->ul_x1, file->text_x);
  EXPECT_EQ(file->ul_x2, file->text_x + 6);
  XfMenuItem* save = xfMenuItemAt(p, 1);
  EXPECT_EQ(save->ul_x1, save->text_x + 5 * 6) << "after \"Save \"";
  EXPECT_EQ(save->ul_x2, save->ul_x1 + 6);
  EXPECT_LE(xfMenuItemAt(p, 2)->ul_x2, xfMenuItemAt(p, 2)->ul_x1) << "no mnemonic, no underline";

  XfMenu* b = bar();
  add(b, 1, "~File");
  xfLayoutMenuBar(b, 0, 0, 400, true);
  XfMenuItem* bf = xfMenuItemAt(b, 0);
  EXPECT_EQ(bf->text_x, bf->left + 6);
  EXPECT_EQ(bf->baseline, bf->top + (kRow - kAscent) / 2 + kAscent - 1);
  EXPECT_EQ(bf->ul_x1, bf->text_x);
  EXPECT_EQ(bf->ul_x2, bf->text_x + 6);
}

TEST_F(Menus, AppendsGoBeforeTheRestoreItemAndSpecialItemsAreNeverDoubled) {
  XfMenu* b = bar();
  add(b, 10, "A");
  xfMenuAddRestoreItem(b, restore_item());
  XfMenuItem* second = restore_item();
  xfMenuAddRestoreItem(b, second);  // refused: the caller still owns it
  xfFreeMenuItem(second);
  add(b, 11, "B");
  xfMenuAddSysMenuItem(b, sys_item());
  XfMenuItem* sys2 = sys_item();
  xfMenuAddSysMenuItem(b, sys2);
  xfFreeMenuItem(sys2);
  ASSERT_EQ(xfMenuItemCount(b), 4);
  EXPECT_EQ(xfMenuItemAt(b, 0)->kind, kItemSysMenu);
  EXPECT_EQ(xfMenuItemAt(b, 1)->id, 10u);
  EXPECT_EQ(xfMenuItemAt(b, 2)->id, 11u) << "appended before the restore item";
  EXPECT_EQ(xfMenuItemAt(b, -1)->kind, kItemRestore);
  EXPECT_EQ(xfMenuRestoreItem(b), xfMenuItemAt(b, 3));
  EXPECT_EQ(xfMenuSysMenuItem(b), xfMenuItemAt(b, 0));
  EXPECT_EQ(xfMenuItemAt(b, 3)->shown, kMenuHidden) << "special items start hidden";
}

TEST_F(Menus, ItemLookupsAndRemovalAnswerForMissingItems) {
  XfMenu* p = popup();
  XfMenu* sub = keep(xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr));
  add(sub, 7, "Deep");
  add(p, 1, "One");
  add(p, 0, "-", kTplSeparator);
  add(p, 2, "Two", kTplText | kTplCascade, sub);
  EXPECT_EQ(xfMenuItemIndex(p, 2), 2);
  EXPECT_EQ(xfMenuItemIndex(p, 99), -2);
  EXPECT_EQ(xfMenuItemPos(p, nullptr), -2);
  EXPECT_EQ(xfMenuItemAt(p, -1)->id, 2u);
  EXPECT_EQ(xfMenuItemAt(p, 3), nullptr);
  EXPECT_EQ(xfMenuRemoveItemAt(p, 3), nullptr);
  EXPECT_EQ(xfMenuFindItem(p, 7), xfMenuItemAt(sub, 0)) << "found in the submenu";
  EXPECT_STREQ(xfMenuQueryItemText(p, 7), "Deep");
  EXPECT_STREQ(xfMenuQueryItemText(p, 99), "");
  EXPECT_EQ(sub->depth, 1);
  EXPECT_EQ(sub->parent, p);
  EXPECT_EQ(sub->owning_item, xfMenuItemAt(p, 2));
  xfMenuDeleteItem(p, 99);  // not there: nothing
  EXPECT_EQ(xfMenuItemCount(p), 3);
  xfMenuDeleteItem(nullptr, 1);
  EXPECT_EQ(xfMenuItemCount(nullptr), 0);
}

struct BarCase {
  int32_t width;
  std::vector<std::vector<int32_t>> rows;  // item lefts per row
  int32_t height;
};

TEST_F(Menus, ANarrowBarWrapsItsItemsOntoFurtherRows) {
  // Four items of 4 characters: 24 + 12 = 36 pixels each.
  const BarCase cases[] = {
      {400, {{2, 38, 74, 110}}, kRow + 4},
      {146, {{2, 38, 74}, {2}}, 2 * kRow + 4},  // the last item would end at 146, past 146 - 2
      {148, {{2, 38, 74, 110}}, kRow + 4},
      {100, {{2, 38}, {2, 38}}, 2 * kRow + 4},
      {30, {{2}, {2}, {2}, {2}}, 4 * kRow + 4},
  };
  for (const BarCase& c : cases) {
    SCOPED_TRACE(c.width);
    XfMenu* b = bar();
    for (uint32_t id : {1u, 2u, 3u, 4u}) add(b, id, "Item");
    xfLayoutMenuBar(b, 0, 0, c.width, true);
    std::vector<std::vector<int32_t>> rows;
    int32_t last_top = -1;
    for (int32_t i = 0; i < b->count; ++i) {
      XfMenuItem* it = b->items[i];
      if (it->top != last_top) rows.emplace_back();
      rows.back().push_back(it->left);
      last_top = it->top;
      EXPECT_EQ(it->top, 2 + (static_cast<int32_t>(rows.size()) - 1) * kRow);
      EXPECT_EQ(it->right - it->left, 36);
      EXPECT_EQ(it->bottom - it->top, kRow);
    }
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(b->height, c.height);
    EXPECT_EQ(b->bottom, b->y + b->height);
  }
}

TEST_F(Menus, TheRestoreItemSitsAtTheBarsRightEnd) {
  XfMenu* b = bar();
  add(b, 1, "File");
  xfMenuAddRestoreItem(b, restore_item());
  xfMenuShowRestoreItem(b, kMenuShown);
  EXPECT_TRUE(b->needs_layout);
  xfLayoutMenuBar(b, 10, 5, 300, true);
  XfMenuItem* r = xfMenuRestoreItem(b);
  EXPECT_EQ(r->right, 10 + 300 - 2);
  EXPECT_EQ(r->left, 10 + 300 - (r->width + 2));
  EXPECT_EQ(r->width, r->image_width + 12);
  EXPECT_EQ(r->image_y, r->top + (kRow - r->image_height) / 2);
  xfMenuShowRestoreItem(b, kMenuShown);
  EXPECT_FALSE(b->needs_layout) << "no change, no new layout";
}

TEST_F(Menus, PopupsAreAsWideAsTheirWidestItemNeeds) {
  struct Item {
    const char* text;
    bool cascade;
  };
  struct Case {
    std::vector<Item> items;
    int32_t width, height;
    const char* why;
  };
  const Case cases[] = {
      {{{"Open", false}}, 24 + 40 + 4, 2 + kRow + 2, "text only: 40 more"},
      {{{"Open\tCtrl+O", false}}, 24 + 36 + 70 + 4, 2 + kRow + 2, "an accelerator: 70 more and its width"},
      {{{"More", true}}, 24 + 15 + 70 + 4, 2 + kRow + 2, "a cascade: 70 more and the arrow's 15"},
      {{{"Open", false}, {"-", false}, {"Close", false}}, 30 + 40 + 4, 2 + kRow + 2 + kRow + 2, "a separator is 2"},
      {{{"WW", false}}, 20 + 40 + 4, 2 + kRow + 2, "the table's own widths"},
      {{}, 4, kRow, "an empty popup is one row high"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    XfMenu* p = popup();
    uint32_t id = 1;
    for (const Item& it : c.items) {
      if (std::string(it.text) == "-") {
        add(p, 0, "", kTplSeparator);
      } else if (it.cascade) {
        XfMenu* sub = keep(xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr));
        add(p, id++, it.text, kTplText | kTplCascade, sub);
      } else {
        add(p, id++, it.text);
      }
    }
    xfLayoutPopupMenu(p, 40, 30, true);
    EXPECT_EQ(p->width, c.width);
    EXPECT_EQ(p->height, c.height);
    EXPECT_EQ(p->right, 40 + c.width);
    for (int32_t i = 0; i < p->count; ++i) {
      XfMenuItem* it = p->items[i];
      EXPECT_EQ(it->width, c.width - 4);
      EXPECT_EQ(it->left, 42);
      if (it->kind == kItemSeparator) {
        EXPECT_EQ(it->bottom - it->top, 2);
      }
      if (!it->accel.empty()) {
        EXPECT_EQ(it->accel_x, 40 + p->width - 22 - 36);
      }
      if (it->submenu) {
        EXPECT_EQ(it->accel_x, 40 + p->width - 22 - 15);
      }
    }
  }
}

TEST_F(Menus, OnlyAChangedTextMarksTheMenuForLayout) {
  XfMenu* p = popup();
  add(p, 1, "~Open\tCtrl+O");
  xfLayoutPopupMenu(p, 0, 0, true);
  int32_t width = p->width;
  xfMenuSetItemText(p, 1, "~Open\tCtrl+O");
  EXPECT_FALSE(p->needs_layout);
  xfMenuSetItemText(p, 1, "~Open a very long name\tCtrl+O");
  EXPECT_TRUE(p->needs_layout);
  XfMenuItem* it = xfMenuFindItem(p, 1);
  EXPECT_EQ(it->text_width, -1) << "measured again";
  xfLayoutPopupMenu(p, 0, 0, false);
  EXPECT_GT(p->width, width);
  xfMenuSetItemText(p, 1, "~Save");
  EXPECT_EQ(it->accel, "");
  EXPECT_EQ(it->mnemonic, 'S');
  EXPECT_EQ(it->mnemonic_upper, 'S');
}

TEST_F(Menus, FreeingAMenuFreesItsSubmenusAndUnlinksTheOwningItem) {
  XfMenu* top = xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr);
  XfMenu* mid = xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr);
  XfMenu* low = xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr);
  add(low, 3, "Low");
  add(mid, 2, "Mid", kTplText | kTplCascade, low);
  add(top, 1, "Top", kTplText | kTplCascade, mid);
  EXPECT_EQ(low->depth, 2);
  // A submenu freed alone leaves its owning item without it.
  XfMenuItem* owner = xfMenuFindItem(mid, 2);
  xfFreeMenu(low, true);
  EXPECT_FALSE(xfMenuIsLive(low));
  EXPECT_EQ(owner->submenu, nullptr);
  xfFreeMenu(top, true);
  EXPECT_FALSE(xfMenuIsLive(mid)) << "submenus go with their menu";
  EXPECT_FALSE(xfMenuIsLive(top));
}

TEST_F(Menus, ADeletedCascadeItemLeavesItsSubmenuWithoutADanglingOwner) {
  XfMenu* p = popup();
  XfMenu* sub = keep(xfNewMenu(nullptr, nullptr, kMenuPopup, nullptr));
  add(p, 1, "More", kTplText | kTplCascade, sub);
  xfMenuDeleteItem(p, 1);
  EXPECT_EQ(xfMenuItemCount(p), 0);
  EXPECT_EQ(sub->owning_item, nullptr);
  EXPECT_TRUE(xfMenuIsLive(sub));
}

TEST_F(Menus, MenusArePlacedOnTheScreen) {
  XfMenuItem item{};
  item.left = 900;
  item.top = 700;
  item.right = 1000;
  item.bottom = 720;
  struct Case {
    int32_t x, y, w, h;
    const XfMenuItem* from;
    bool from_bar;
    int32_t ex, ey;
    const char* why;
  };
  const Case cases[] = {
      {-10, -5, 100, 50, nullptr, false, 0, 0, "negative positions become 0"},
      {1000, 100, 100, 50, nullptr, false, 924, 100, "past the right edge: ends at it"},
      {100, 740, 100, 50, nullptr, false, 100, 718, "past the bottom: ends at it"},
      {995, 705, 100, 50, &item, false, 805, 705, "a cascade flips to the left of its item"},
      {900, 720, 100, 50, &item, true, 900, 650, "a bar's menu goes above its item"},
      {0, 0, 2000, 1000, nullptr, false, 0, 0, "larger than the screen: the top-left corner stays on it"},
      {200, 200, 100, 50, &item, false, 200, 200, "inside: unchanged"},
  };
  for (const Case& c : cases) {
    XfMenuPlace p = xf_menu_place(c.x, c.y, c.w, c.h, 1024, 768, c.from, c.from_bar);
    EXPECT_EQ(p.x, c.ex) << c.why;
    EXPECT_EQ(p.y, c.ey) << c.why;
  }
}

TEST_F(Menus, StepsSkipWhatCannotBeChosenAndWrap) {
  XfMenu* p = popup();
  add(p, 1, "~Alpha");
  add(p, 0, "", kTplSeparator);
  add(p, 2, "~beta");
  XfMenuTemplate disabled{kTplAppend, kTplText, kTplDisabled, 3, nullptr};
  xfInsertMenuItem(p, &disabled, "~Gamma");
  xfMenuAddRestoreItem(p, restore_item());  // hidden
  XfMenuItem* a = xfMenuFindItem(p, 1);
  XfMenuItem* b = xfMenuFindItem(p, 2);
  XfMenuItem* g = xfMenuFindItem(p, 3);
  EXPECT_EQ(xf_menu_step(p, a, 1), b) << "the separator is skipped";
  EXPECT_EQ(xf_menu_step(p, b, 1), g) << "a disabled item can be highlighted";
  EXPECT_EQ(xf_menu_step(p, g, 1), a) << "the hidden restore item is skipped; wraps";
  EXPECT_EQ(xf_menu_step(p, a, -1), g);
  EXPECT_EQ(xf_menu_step(p, nullptr, 1), a);
  EXPECT_EQ(xf_menu_step(p, nullptr, -1), g);
  EXPECT_EQ(xf_menu_first_selectable(p), a);
  EXPECT_EQ(xf_menu_mnemonic_item(p, 'B'), b);
  EXPECT_EQ(xf_menu_mnemonic_item(p, 'a'), a);
  EXPECT_EQ(xf_menu_mnemonic_item(p, 'z'), nullptr);
  XfMenu* empty = popup();
  add(empty, 0, "", kTplSeparator);
  EXPECT_EQ(xf_menu_step(empty, nullptr, 1), nullptr);
  EXPECT_EQ(xf_menu_first_selectable(empty), nullptr);
}

TEST_F(Menus, ThePortableCallsConvertTextsAndFlags) {
  XfMenu* m = keep(WinCreateMenu(kMenuKindPopup, nullptr));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, kMenuPopup);
  EXPECT_EQ(WinInsertMenuItem(m, -1, 1, "-", 0), 1);
  EXPECT_EQ(WinInsertMenuItem(m, -1, 2, "--", 0), 1);
  EXPECT_EQ(WinInsertMenuItem(m, -1, 3, "Save &As\tCtrl+S", kMiChecked | kMiDisabled | kMiSysCommand), 1);
  EXPECT_EQ(WinInsertMenuItem(m, 0, 4, nullptr, 0), 1);
  EXPECT_EQ(WinInsertMenuItem(nullptr, -1, 5, "x", 0), 0);
  ASSERT_EQ(WinQueryMenuItemCount(m), 4);
  EXPECT_EQ(xfMenuItemAt(m, 0)->id, 4u) << "position 0 inserts first";
  EXPECT_EQ(xfMenuItemAt(m, 1)->kind, kItemSeparator);
  EXPECT_EQ(xfMenuItemAt(m, 2)->kind, kItemText) << "two hyphens are a text";
  XfMenuItem* save = xfMenuFindItem(m, 3);
  EXPECT_TRUE(save->checked);
  EXPECT_TRUE(save->disabled);
  EXPECT_TRUE(save->sys_command);
  EXPECT_EQ(save->text, "Save As");
  EXPECT_EQ(save->accel, "Ctrl+S");

  char buf[16];
  WinQueryMenuItemText(m, 3, buf, sizeof buf, 0);
  EXPECT_STREQ(buf, "Save ~As\tCtrl+S") << "the menu layer's form";
  WinQueryMenuItemText(m, 3, buf, 5, 0);
  EXPECT_STREQ(buf, "Save") << "size - 1 characters";
  WinQueryMenuItemText(nullptr, 3, buf, sizeof buf, 0);
  EXPECT_STREQ(buf, "");
  WinSetMenuItemText(m, 3, "A&&B", 1);  // by position: the item at 3 is "Save As"
  EXPECT_EQ(save->text, "A&B");
  WinModifyMenuItem(m, nullptr, 3, nullptr, "&Keep", 0);
  EXPECT_FALSE(save->checked);
  EXPECT_FALSE(save->disabled);
  EXPECT_EQ(save->mnemonic, 'K');
  WinDeleteMenuItem(m, 0, 1);
  EXPECT_EQ(xfMenuFindItem(m, 4), nullptr) << "deleted by position";
  WinDeleteMenuItem(m, 3, 0);
  EXPECT_EQ(WinQueryMenuItemCount(m), 2);

  XfMenu* sub = keep(WinCreateMenu(kMenuKindPopup, nullptr));
  EXPECT_EQ(WinInsertSubmenu(m, -1, 9, "&More", kMiDisabled, sub), 1);
  XfMenuItem* more = xfMenuFindItem(m, 9);
  EXPECT_EQ(more->submenu, sub);
  EXPECT_TRUE(more->disabled);
  EXPECT_EQ(sub->depth, 1);
  EXPECT_EQ(WinCreateMenu(kMenuKindBar, nullptr), nullptr) << "a bar needs a frame";
}

TEST_F(Menus, APopupTracksInClickModeUnlessItsButtonIsUp) {
  struct Case {
    uint32_t flags, state;
    char mode;
  };
  const Case cases[] = {
      {0, 0, kTrackClick},
      {0, Button1Mask | Button3Mask, kTrackClick},
      {kTpmButton3, Button3Mask, kTrackClick},
      {kTpmButton3, Button1Mask, kTrackFollow},
      {kTpmButton2, Button2Mask, kTrackClick},
      {kTpmButton1, 0, kTrackFollow},
      {kTpmButton3 | kTpmButton1, Button1Mask, kTrackFollow},  // button 3 is tested first
  };
  for (const Case& c : cases) EXPECT_EQ(xf_popup_track_mode(c.flags, c.state), c.mode) << c.flags << " " << c.state;
}

}  // namespace

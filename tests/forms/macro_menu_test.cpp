// Macro menus and menu resources against a fake native-menu layer that
// records what the window system would show.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display/colours.h"
#include "forms/macro_menu.h"
#include "forms/menu_res.h"
#include "forms/templates.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "tests/forms/forms_fixture.h"
#include "winsys/menu.h"

namespace {

using bitest::Out;

// ---- the fake native layer ----

struct FakeItem {
  uint32_t id;
  std::string caption;
  uint32_t flags;
  XfMenu* sub;
};
struct FakeMenu {
  int32_t kind;
  std::vector<FakeItem> items;
};

struct Fake {
  std::vector<std::unique_ptr<XfMenu>> keys;
  std::map<XfMenu*, FakeMenu> menus;
  int32_t offset = 0;
  bool fail_insert = false, fail_create = false, refuse_track = false;
  int32_t modifies = 0, tracks = 0;
  std::vector<int32_t> posted;          // deferred destroys
  std::map<int32_t, XfMenu*> attached;  // object handle -> bar
  std::map<int32_t, XfMenu*> window_list;

  XfMenu* make(int32_t kind) {
    keys.push_back(std::make_unique<XfMenu>());
    menus[keys.back().get()] = FakeMenu{kind, {}};
    return keys.back().get();
  }
  FakeMenu& of(XfMenu* m) { return menus.at(m); }
  std::vector<std::string> captions(XfMenu* m) {
    std::vector<std::string> out;
    for (const FakeItem& it : of(m).items) out.push_back(it.caption);
    return out;
  }
  FakeItem* by_id(XfMenu* m, uint32_t id) {
    for (FakeItem& it : of(m).items)
      if (it.id == id) return &it;
    return nullptr;
  }
};
Fake* fake = nullptr;

MenuNativeOps fake_ops() {
  MenuNativeOps o{};
  o.create = [](int32_t kind, WindowObject*) -> XfMenu* { return fake->fail_create ? nullptr : fake->make(kind); };
  o.destroy = [](XfMenu* m) { fake->menus.erase(m); };
  o.insert_item = [](XfMenu* m, int32_t pos, uint32_t id, const char* caption, uint32_t flags) -> int {
    if (fake->fail_insert || !fake->menus.count(m)) return 0;
    auto& items = fake->of(m).items;
    items.insert(items.begin() + pos, FakeItem{id, caption, flags, nullptr});
    return 1;
  };
  o.insert_cascade = [](XfMenu* m, int32_t pos, uint32_t id, const char* caption, uint32_t flags) -> XfMenu* {
    if (fake->fail_insert || !fake->menus.count(m)) return nullptr;
    XfMenu* sub = fake->make(0);
    auto& items = fake->of(m).items;
    items.insert(items.begin() + pos, FakeItem{id, caption, flags, sub});
    return sub;
  };
  o.delete_item = [](XfMenu* m, int32_t pos) {
    auto& items = fake->of(m).items;
    if (items[pos].sub) fake->menus.erase(items[pos].sub);
    items.erase(items.begin() + pos);
  };
  o.modify_item = [](XfMenu* m, int32_t, uint32_t id, XfMenu*, const char* caption, uint32_t flags) {
    ++fake->modifies;
    if (FakeItem* it = fake->by_id(m, id)) it->caption = caption, it->flags = flags;
  };
  o.offset = [](XfMenu*) { return fake->offset; };
  o.attach = [](WindowObject* obj, XfMenu* bar, XfMenu* list) -> int {
    fake->attached[obj->handle] = bar;
    fake->window_list[obj->handle] = list;
    return 1;
  };
  o.relayout = [](WindowObject*) {};
  o.track = [](XfMenu*, uint32_t, int32_t, int32_t) -> int {
    ++fake->tracks;
    return fake->refuse_track ? 0 : 1;
  };
  o.post_destroy = [](int32_t menu) { fake->posted.push_back(menu); };
  o.get_font = [](std::string* face, int32_t*, uint32_t*) { face->clear(); };
  o.set_font = [](const char*, int32_t, uint32_t) {};
  return o;
}

class MacroMenus : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ASSERT_EQ(name_pool_init(), 0);
    fake = &fake_;
    ops_ = fake_ops();
    menu_native_substitute(&ops_);
    menus_reset();
  }
  void TearDown() override {
    menus_reset();
    menu_native_substitute(nullptr);
    fake = nullptr;
    FormsTest::TearDown();
  }

  int32_t bar() { return menu_create(nullptr, 1); }
  int32_t popup() { return menu_create(nullptr, 0); }
  static MenuStrings item(const std::string& caption, const std::string& command = {},
                          const std::string& categories = {}) {
    MenuStrings s;
    s.caption = caption, s.command = command, s.categories = categories;
    return s;
  }
  std::vector<std::string> captions(int32_t menu) { return fake_.captions(menu_native(menu)); }
  // The caption and flags the macro side reports for every item.
  std::vector<std::string> described(int32_t menu) {
    std::vector<std::string> out;
    const int32_t n = menu_item_count(menu);
    for (int32_t p = 0; p < n; ++p) {
      uint32_t flags = 0;
      MenuStrings s;
      EXPECT_EQ(menu_get_item_at(menu, p, &flags, &s), 0);
      std::string line =
          s.caption + "|" + std::to_string(flags) + "|" + s.categories + "|" + s.help_command + "|" + s.help_message;
      if (flags & kMenuCascade) {
        line += "{";
        for (const std::string& sub : described(std::stoi(s.command))) line += sub + ";";
        line += "}";
      } else {
        line += "|" + s.command;
      }
      out.push_back(line);
    }
    return out;
  }

  Fake fake_;
  MenuNativeOps ops_{};
};

TEST_F(MacroMenus, InsertPositionsAndNativeMirror) {
  const int32_t m = bar();
  ASSERT_GE(m, 1) << "handle 0 is never given out";
  EXPECT_EQ(menu_insert(m, 0, 0, item("&Open", "open-file")), 0);
  EXPECT_EQ(menu_insert(m, 1, 0, item("E&xit", "quit")), 0) << "position == count appends";
  EXPECT_EQ(menu_insert(m, 1, 0, item("&Save", "save-file")), 0);
  EXPECT_EQ(menu_insert(m, -1, 0, item("-")), 0) << "negative appends";
  EXPECT_EQ(menu_insert(m, 5, 0, item("Past")), ERR_INVALID_ARGUMENT) << "count + 1";
  EXPECT_EQ(captions(m), (std::vector<std::string>{"&Open", "&Save", "E&xit", "-"}));
  EXPECT_EQ(menu_item_count(m), 4);
  EXPECT_EQ(menu_delete_item(m, 4), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(menu_delete_item(m, -1), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(menu_delete_item(m, 0), 0);
  EXPECT_EQ(captions(m), (std::vector<std::string>{"&Save", "E&xit", "-"}));
  EXPECT_EQ(menu_delete_item(popup(), 0), 0) << "a menu without items";

  fake_.fail_insert = true;
  EXPECT_EQ(menu_insert(m, 0, 0, item("Lost")), ERR_INSUFFICIENT_MEMORY);
  EXPECT_EQ(menu_insert(m, 0, kMenuCascade, item("Lost")), ERR_INSUFFICIENT_MEMORY);
  fake_.fail_insert = false;
  EXPECT_EQ(menu_item_count(m), 3) << "a failed insert leaves nothing behind";
  EXPECT_EQ(menus_live(), 2) << "the cascade's record went back";

  // The merged system menu takes native position 0.
  fake_.offset = 1;
  fake_.of(menu_native(m)).items.insert(fake_.of(menu_native(m)).items.begin(), FakeItem{0, "sys", 0, nullptr});
  EXPECT_EQ(menu_insert(m, 0, 0, item("&New", "new-file")), 0);
  EXPECT_EQ(captions(m), (std::vector<std::string>{"sys", "&New", "&Save", "E&xit", "-"}));
  EXPECT_EQ(menu_delete_item(m, 0), 0);
  EXPECT_EQ(captions(m), (std::vector<std::string>{"sys", "&Save", "E&xit", "-"}));
}

TEST_F(MacroMenus, IdsAreReusedAfterTheLastCountedOne) {
  const int32_t m = popup();
  for (uint32_t i = 0; i < kMenuLastCountedId; ++i) ASSERT_EQ(menu_insert(m, -1, 0, item("x")), 0);
  const auto& items = fake_.of(menu_native(m)).items;
  EXPECT_EQ(items.front().id, 1u);
  EXPECT_EQ(items.back().id, kMenuLastCountedId);
  // Every id is in use: the next is the smallest free one above them.
  ASSERT_EQ(menu_insert(m, -1, 0, item("y")), 0);
  EXPECT_EQ(items.back().id, kMenuLastCountedId + 1);
  // Freed ids come back, smallest first, also from another menu.
  ASSERT_EQ(menu_delete_item(m, 99), 0);  // id 100
  ASSERT_EQ(menu_delete_item(m, 4), 0);   // id 5
  const int32_t other = popup();
  ASSERT_EQ(menu_insert(other, -1, 0, item("a")), 0);
  ASSERT_EQ(menu_insert(other, -1, kMenuCascade, item("b")), 1 + other);
  ASSERT_EQ(menu_insert(other, -1, 0, item("c")), 0);
  const auto& o = fake_.of(menu_native(other)).items;
  EXPECT_EQ(o[0].id, 5u);
  EXPECT_EQ(o[1].id, 100u) << "a cascade item takes an id too";
  EXPECT_EQ(o[2].id, kMenuLastCountedId + 2);
}

TEST_F(MacroMenus, ItemInfoFindsNestedItemsByIdAndCutsTheCommand) {
  const int32_t m = bar();
  ASSERT_EQ(menu_insert(m, -1, 0, item("Top", "top-cmd\tsecond")), 0);
  const int32_t file = menu_insert(m, -1, kMenuCascade, item("&File", "ignored", "files"));
  ASSERT_GT(file, m);
  MenuStrings deep = item("&Save", "save-file\tfile-save", "file|write");
  deep.help_command = "help save";
  deep.help_message = "Saves the buffer";
  ASSERT_EQ(menu_insert(file, -1, 0, deep), 0);
  const uint32_t id = fake_.of(menu_native(file)).items[0].id;

  MenuStrings s;
  ASSERT_EQ(menu_get_item_info(m, id, &s), 0);
  EXPECT_EQ(s.command, "save-file") << "only the name before the TAB runs";
  EXPECT_EQ(s.categories, "file|write");
  EXPECT_EQ(s.help_command, "help save");
  EXPECT_EQ(s.help_message, "Saves the buffer");
  EXPECT_EQ(menu_get_item_info(m, 999, &s), -1);
  EXPECT_EQ(menu_get_item_info(0, id, &s), ERR_INVALID_MENU_HANDLE);

  uint32_t flags = 0;
  ASSERT_EQ(menu_get_item_at(m, 1, &flags, &s), 0);
  EXPECT_EQ(flags, kMenuStored | kMenuCascade);
  EXPECT_EQ(s.command, std::to_string(file)) << "a cascade's command is its submenu";
  EXPECT_EQ(menu_get_item_at(m, 2, &flags, &s), ERR_INVALID_ARGUMENT);

  int32_t in = 0, pos = -1;
  EXPECT_EQ(menu_find_item(m, "save-file", 'M', &in, &pos), 0);
  EXPECT_EQ(in, file);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(menu_find_item(m, "top-cmd", 'M', &in, &pos), 0) << "a command with a TAB matches its name";
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(menu_find_item(m, "write", 'C', &in, &pos), 0);
  EXPECT_EQ(in, file);
  EXPECT_EQ(menu_find_item(m, "files", 'C', &in, &pos), 0) << "a cascade item matches by its categories";
  EXPECT_EQ(in, m);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(menu_find_item(m, "wri", 'C', &in, &pos), ERR_STRING_NOT_FOUND);
  EXPECT_EQ(menu_find_item(m, "second", 'M', &in, &pos), ERR_STRING_NOT_FOUND);
  EXPECT_EQ(menu_find_item(popup(), "x", 'M', &in, &pos), ERR_STRING_NOT_FOUND);
}

TEST_F(MacroMenus, SetStateByCategoryPatternsCommandsAndPositions) {
  const int32_t m = bar();
  ASSERT_EQ(menu_insert(m, -1, 0, item("A", "a", "edit|file")), 0);
  ASSERT_EQ(menu_insert(m, -1, 0, item("B", "b", "file")), 0);
  ASSERT_EQ(menu_insert(m, -1, 0, item("C", "c", "editor")), 0);
  const int32_t sub = menu_insert(m, -1, kMenuCascade, item("D", {}, "view"));
  ASSERT_EQ(menu_insert(sub, -1, 0, item("E", "e\tmore", "edit")), 0);
  ASSERT_EQ(menu_insert(sub, -1, 0, item("-", {}, "view")), 0);
  auto flags_of = [&](int32_t menu, int32_t p) {
    uint32_t f = 0;
    MenuStrings s;
    menu_get_item_at(menu, p, &f, &s);
    return f & ~kMenuCascade;
  };

  struct Case {
    const char* key;
    char option;
    std::vector<uint32_t> top, inner;  // flags afterwards; the set is 4 (disabled)
    ErrorCode rc;
  };
  const Case cases[] = {
      {"edit", 'C', {4, 8, 8, 8}, {4, 8}, 0},   // "editor" is not "edit"
      {"!edit", 'C', {8, 4, 4, 4}, {8, 8}, 0},  // cascade items too; the separator keeps its state
      {"!edit|view", 'C', {8, 4, 4, 4}, {8, 8}, 0},
      {"file|view", 'C', {4, 4, 8, 4}, {8, 8}, 0},
      {"e", 'M', {8, 8, 8, 8}, {4, 8}, 0},  // the name before the TAB
      {"more", 'M', {8, 8, 8, 8}, {8, 8}, ERR_STRING_NOT_FOUND},
      {"nothing", 'C', {8, 8, 8, 8}, {8, 8}, ERR_STRING_NOT_FOUND},
      {"!", 'C', {4, 4, 4, 4}, {4, 8}, 0},  // a negated empty word: no item has it
      {"2", 'P', {8, 8, 4, 8}, {8, 8}, 0},
      {"4", 'P', {8, 8, 8, 8}, {8, 8}, ERR_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.option);
    // Back to the state after the inserts.
    for (int32_t p = 0; p < 4; ++p) menu_set_state(m, std::to_string(p), kMenuStored, 'P', nullptr);
    for (int32_t p = 0; p < 2; ++p) menu_set_state(sub, std::to_string(p), kMenuStored, 'P', nullptr);
    EXPECT_EQ(menu_set_state(m, c.key, kMenuDisabled, c.option, nullptr), c.rc);
    std::vector<uint32_t> top, inner;
    for (int32_t p = 0; p < 4; ++p) top.push_back(flags_of(m, p));
    for (int32_t p = 0; p < 2; ++p) inner.push_back(flags_of(sub, p));
    EXPECT_EQ(top, c.top);
    EXPECT_EQ(inner, c.inner);
  }
  EXPECT_EQ(fake_.of(menu_native(sub)).items[1].flags, 0u) << "the separator was never modified";
}

TEST_F(MacroMenus, SameStateTwiceChangesNothingAndStringsReindex) {
  const int32_t m = popup();
  ASSERT_EQ(menu_insert(m, -1, kMenuChecked, item("One", "one", "x")), 0);
  EXPECT_EQ(fake_.of(menu_native(m)).items[0].flags, kMenuChecked) << "insert flags go to the native item";
  fake_.modifies = 0;
  EXPECT_EQ(menu_set_state(m, "one", kMenuStored, 'M', nullptr), 0);
  EXPECT_EQ(fake_.modifies, 0) << "flags already 8 after the insert";
  EXPECT_EQ(menu_set_state(m, "one", kMenuDisabled, 'M', nullptr), 0);
  EXPECT_EQ(menu_set_state(m, "one", kMenuDisabled, 'M', nullptr), 0);
  EXPECT_EQ(fake_.modifies, 1);
  EXPECT_EQ(fake_.of(menu_native(m)).items[0].flags, kMenuDisabled);

  // New command and categories: the index follows them.
  MenuStrings s;
  s.command = "renamed";
  s.categories = "y";
  EXPECT_EQ(menu_set_state(m, "one", 0, 'M', &s), 0);
  EXPECT_EQ(menu_set_state(m, "one", 1, 'M', nullptr), ERR_STRING_NOT_FOUND);
  EXPECT_EQ(menu_set_state(m, "x", 1, 'C', nullptr), ERR_STRING_NOT_FOUND);
  EXPECT_EQ(menu_set_state(m, "renamed", 1, 'M', nullptr), 0);
  EXPECT_EQ(menu_set_state(m, "y", 4, 'C', nullptr), 0);
  uint32_t flags = 0;
  MenuStrings back;
  ASSERT_EQ(menu_get_item_at(m, 0, &flags, &back), 0);
  EXPECT_EQ(back.caption, "One") << "an empty string leaves the field";
  // Items added after the first lookup are found too.
  ASSERT_EQ(menu_insert(m, 0, 0, item("Two", "two")), 0);
  EXPECT_EQ(menu_set_state(m, "two", 4, 'M', nullptr), 0);
  EXPECT_EQ(menu_set_state(popup(), "two", 4, 'M', nullptr), ERR_STRING_NOT_FOUND);
}

TEST_F(MacroMenus, KeyTextsMoveToTheItemThatRunsTheCommand) {
  const int32_t m = bar();
  ASSERT_EQ(menu_insert(m, -1, kMenuChecked, item("&Save", "save-file")), 0);
  const int32_t sub = menu_insert(m, -1, kMenuCascade, item("&More"));
  ASSERT_EQ(menu_insert(sub, -1, 0, item("Save &As", "prompt save-as\tsave-as")), 0);
  ASSERT_EQ(menu_insert(sub, -1, 0, item("Also save", "save-file")), 0);
  ASSERT_EQ(menu_insert(sub, -1, 0, item("Saver", "save-file-as")), 0);

  struct Case {
    const char* command;
    const char* key;
    char option;
    std::vector<std::string> top, inner;
  };
  const Case cases[] = {
      {"save-file", "Ctrl+S", 'B', {"&Save\tCtrl+S", "&More"}, {"Save &As", "Also save\tCtrl+S", "Saver"}},
      {"save-as", "Ctrl+S", 'B', {"&Save", "&More"}, {"Save &As\tCtrl+S", "Also save", "Saver"}},
      {"save-as", "F12", 'B', {"&Save", "&More"}, {"Save &As\tF12", "Also save", "Saver"}},
      {"save-file", "F2", 'B', {"&Save\tF2", "&More"}, {"Save &As\tF12", "Also save\tF2", "Saver"}},
      {"", "F12", 'U', {"&Save\tF2", "&More"}, {"Save &As", "Also save\tF2", "Saver"}},
      {"", "", 'C', {"&Save", "&More"}, {"Save &As", "Also save", "Saver"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.key + " " + c.option);
    EXPECT_EQ(menu_set_key_text(m, c.command, c.key, c.option), 0);
    EXPECT_EQ(captions(m), c.top);
    EXPECT_EQ(captions(sub), c.inner);
    uint32_t flags = 0;
    MenuStrings s;
    ASSERT_EQ(menu_get_item_at(sub, 1, &flags, &s), 0);
    EXPECT_EQ(s.caption, c.inner[1]) << "the stored caption follows the native one";
  }
  EXPECT_EQ(fake_.of(menu_native(m)).items[0].flags, kMenuChecked) << "a new key text keeps the check mark";
  EXPECT_EQ(menu_set_key_text(0, "x", "y", 'B'), ERR_INVALID_MENU_HANDLE);
}

TEST_F(MacroMenus, AttachDestroyAndPopups) {
  WindowObject* f = frame();
  WindowObject* w = form();
  const int32_t m = bar();
  const int32_t p = popup();
  const int32_t list = menu_insert(m, -1, kMenuCascade, item("&Window"));
  ASSERT_EQ(menu_insert(m, 0, kMenuCascade, item("&Windows")), list + 1);

  EXPECT_EQ(menu_attach(f, 77), ERR_INVALID_MENU_HANDLE);
  EXPECT_EQ(menu_attach(f, p), ERR_MENU_CANNOT_BE_POPUP);
  EXPECT_EQ(menu_attach(f, m), 0);
  EXPECT_EQ(f->menu, m);
  EXPECT_EQ(fake_.attached[f->handle], menu_native(m));
  EXPECT_EQ(fake_.window_list[f->handle], menu_native(list)) << "the submenu captioned exactly \"&Window\"";
  EXPECT_EQ(menu_attach(f, m), 0) << "again: nothing to do";
  EXPECT_EQ(menu_attach(w, m), ERR_MENU_ALREADY_ATTACHED);
  EXPECT_EQ(menu_destroy_by_macro(m), ERR_INVALID_ARGUMENT) << "attached";
  EXPECT_EQ(menu_destroy_by_macro(list), ERR_INVALID_ARGUMENT) << "no native menu of its own";
  EXPECT_EQ(menu_attach(f, 0), 0);
  EXPECT_EQ(f->menu, 0);
  EXPECT_EQ(fake_.attached[f->handle], nullptr);
  EXPECT_EQ(menu_attach(w, m), 0) << "free again after the detach";
  const int32_t second = bar();
  EXPECT_EQ(menu_attach(w, second), 0);
  EXPECT_EQ(menu_destroy_by_macro(m), 0) << "the old bar was let go";
  EXPECT_EQ(menu_item_count(m), ERR_INVALID_MENU_HANDLE);
  EXPECT_EQ(menu_item_count(list), ERR_INVALID_MENU_HANDLE) << "submenus go with it";

  EXPECT_EQ(menu_track_popup(w, second, 0x2000, 1, 2), ERR_MENU_MUST_BE_POPUP);
  EXPECT_EQ(menu_track_popup(w, p, 0x2000, 1, 2), 0);
  fake_.refuse_track = true;
  EXPECT_EQ(menu_track_popup(w, p, 0x2000, 1, 2), ERR_UNABLE_TO_DISPLAY_POPUP);
  int32_t shown_for = 0, shown = 0;
  EXPECT_FALSE(menu_popup_tracking(&shown_for, &shown)) << "tracking ended";
  EXPECT_EQ(shown_for, w->handle) << "the chosen item's command runs for it";
  EXPECT_EQ(shown, p);

  // A popup stays usable until the deferred destroy comes.
  ASSERT_EQ(menu_insert(p, -1, 0, item("Cut", "cut")), 0);
  EXPECT_EQ(menu_destroy_by_macro(p), 0);
  EXPECT_EQ(fake_.posted, std::vector<int32_t>{p});
  EXPECT_EQ(menu_item_count(p), 1);
  XfMenu* native = menu_native(p);
  menu_destroy_deferred(p);
  EXPECT_EQ(menu_item_count(p), ERR_INVALID_MENU_HANDLE);
  menu_popup_tracking(&shown_for, &shown);
  EXPECT_EQ(shown, 0) << "a destroyed popup is not named any more";
  EXPECT_EQ(fake_.menus.count(native), 0u);

  // Closing: every menu without a window goes, attached ones stay.
  const int32_t loose = popup();
  menu_destroy_unattached();
  EXPECT_EQ(menu_item_count(loose), ERR_INVALID_MENU_HANDLE);
  EXPECT_EQ(menu_item_count(second), 0);

  fake_.fail_create = true;
  EXPECT_EQ(menu_create(nullptr, 1), -1);
}

TEST_F(MacroMenus, CategoryWordsAndPatterns) {
  struct Case {
    const char* list;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {
      {"edit|file", "file", true}, {"edit|file", "edit", true},  {"editor", "edit", false},   {"edit", "editor", false},
      {"a|edit|b", "edit", true},  {"", "edit", false},          {"edit", "", false},         {"edit", "!edit", false},
      {"file", "!edit", true},     {"edit", "!edit|edit", true}, {"x", "!edit|edit", true},   {"ed|it", "ed|it", true},
      {"edit|", "edit", true},     {"|edit", "edit", true},      {"file", "nothing|", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(category_pattern_match(c.list, c.pattern), c.match) << c.list << " ~ " << c.pattern;
  const std::string long_term(1023, 'w');
  EXPECT_FALSE(category_pattern_match(long_term, long_term)) << "a term over 1022 bytes is skipped";
  EXPECT_TRUE(category_pattern_match(long_term.substr(1), long_term.substr(1)));
  EXPECT_TRUE(word_in_list("a\tsave-as\tb", "save-as", '\t'));
  EXPECT_FALSE(word_in_list("save-as-copy", "save-as", '\t'));
  EXPECT_FALSE(word_in_list("x", "", '\t'));
}

// ---- menu resources ----

class MenuResources : public MacroMenus {
 protected:
  int64_t resource(const char* name = "frame-menu") {
    const int32_t h = menu_resource_create(name);
    EXPECT_GT(h, 0);
    return h;
  }
  PropertyBlock read(int64_t h, uint32_t record) {
    PropertyBlock b{};
    EXPECT_TRUE(tpl_read(static_cast<uint32_t>(h >> 16), record, &b));
    return b;
  }
  std::string caption(int64_t h, uint32_t record) { return std::string(tpl_string(read(h, record), 29)); }
};

TEST_F(MenuResources, LoadedMenuEqualsTheMenuBuiltItemByItem) {
  struct Row {
    int parent;  // -1 the top menu, else the row that made the submenu
    uint32_t flags;
    MenuStrings s;
  };
  auto strings = [](const char* caption, const char* command, const char* cats, const char* help, const char* message) {
    MenuStrings s;
    s.caption = caption, s.command = command, s.categories = cats, s.help_command = help, s.help_message = message;
    return s;
  };
  const std::vector<Row> rows = {
      {-1, kMenuCascade, strings("&File", "", "file", "help file", "File commands")},
      {0, 0, strings("&Open", "open-file", "file|read", "", "Opens a file")},
      {0, kMenuChecked | kMenuDisabled, strings("&Save\tF2", "save-file", "", "help save", "")},
      {0, kMenuCascade, strings("&Recent", "", "", "", "")},
      {3, 0, strings("one.txt", "edit one.txt", "", "", "")},
      {0, 0, strings("-", "", "", "", "")},
      {-1, 0, strings("&Help", "help-keys\tkeys", "help", "", "")},
      {-1, kMenuCascade, strings("&Empty", "", "", "", "")},
  };
  const int64_t res = resource();
  std::vector<int64_t> res_handles;
  const int32_t live = bar();
  std::vector<int32_t> live_handles;
  for (const Row& r : rows) {
    const int64_t rp = r.parent < 0 ? res : res_handles[r.parent];
    const int32_t rr = menu_resource_insert(rp, -1, r.flags, r.s);
    ASSERT_GE(rr, 0);
    res_handles.push_back(rr);
    const int32_t lp = r.parent < 0 ? live : live_handles[r.parent];
    // Items loaded from a resource are enabled and unchecked.
    const int32_t lr = menu_insert(lp, -1, r.flags & kMenuCascade, r.s);
    ASSERT_GE(lr, 0);
    live_handles.push_back(lr);
  }
  EXPECT_EQ(menu_resource_child_count(res), 3);
  EXPECT_EQ(prop_field_value(read(res, 3), 95), 1) << "the checked bit is kept in the record";
  EXPECT_EQ(prop_field_value(read(res, 3), 2), 0) << "disabled";

  const int32_t loaded = menu_load_resource(nullptr, res, 1);
  ASSERT_GT(loaded, 0);
  EXPECT_EQ(described(loaded), described(live));
  EXPECT_EQ(captions(loaded), captions(live));
  for (const FakeItem& it : fake_.of(menu_native(loaded)).items) EXPECT_EQ(it.flags, 0u) << it.caption;
  const FakeItem& file = fake_.of(menu_native(loaded)).items[0];
  ASSERT_NE(file.sub, nullptr);
  EXPECT_EQ(fake_.captions(file.sub), (std::vector<std::string>{"&Open", "&Save\tF2", "&Recent", "-"}));
  for (const FakeItem& it : fake_.of(file.sub).items) EXPECT_EQ(it.flags, 0u) << it.caption;

  // An empty resource gives an empty popup; a bad handle a clean failure.
  const int32_t empty = menu_load_resource(nullptr, resource("empty"), 0);
  ASSERT_GT(empty, 0);
  EXPECT_EQ(menu_item_count(empty), 0);
  const int32_t live_before = menus_live();
  EXPECT_EQ(menu_load_resource(nullptr, res | 2, 1), ERR_INVALID_ARGUMENT) << "an item record";
  EXPECT_EQ(menu_load_resource(nullptr, 5, 1), ERR_INVALID_ARGUMENT) << "no template part";
  EXPECT_EQ(menus_live(), live_before) << "the new menu is destroyed again";
}

TEST_F(MenuResources, LinkUnlinkAndMove) {
  const int64_t res = resource();
  auto order = [&](int64_t menu) {
    std::vector<std::string> out;
    PropertyBlock m = read(menu, static_cast<uint32_t>(menu & 0xFFFF));
    if (m.child == 0) return out;
    uint32_t r = m.child;
    do {
      out.push_back(caption(menu, r));
      r = read(menu, r).next;
    } while (r != m.child && out.size() < 50);
    return out;
  };
  ASSERT_EQ(menu_resource_insert(res, 0, 0, item("b")), 0);
  ASSERT_EQ(menu_resource_insert(res, 0, 0, item("a")), 0);   // new first child
  ASSERT_EQ(menu_resource_insert(res, 99, 0, item("d")), 0);  // past the count appends
  ASSERT_EQ(menu_resource_insert(res, 2, 0, item("c")), 0);
  ASSERT_EQ(menu_resource_insert(res, -1, 0, item("e")), 0);
  EXPECT_EQ(order(res), (std::vector<std::string>{"a", "b", "c", "d", "e"}));

  EXPECT_EQ(menu_resource_unlink(res, 5), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(menu_resource_unlink(res, -1), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(menu_resource_delete(res, 0), 0);
  EXPECT_EQ(order(res), (std::vector<std::string>{"b", "c", "d", "e"}));
  EXPECT_EQ(menu_resource_delete(res, 3), 0);
  EXPECT_EQ(order(res), (std::vector<std::string>{"b", "c", "d"}));
  // A freed record is taken again before the template grows.
  const uint32_t before = tpl_record_count(static_cast<uint32_t>(res >> 16));
  const int32_t sub = menu_resource_insert(res, 1, kMenuCascade, item("S"));
  ASSERT_GT(sub, 0);
  EXPECT_EQ(tpl_record_count(static_cast<uint32_t>(res >> 16)), before);
  ASSERT_EQ(menu_resource_insert(sub, -1, 0, item("only")), 0);

  // Moving the only child of a submenu leaves it without children.
  EXPECT_EQ(menu_resource_move(sub, 0, res, 0), 0);
  EXPECT_EQ(read(sub, static_cast<uint32_t>(sub & 0xFFFF)).child, 0);
  EXPECT_EQ(order(res), (std::vector<std::string>{"only", "b", "S", "c", "d"}));
  EXPECT_EQ(menu_resource_move(res, 2, sub, 0), ERR_INVALID_ARGUMENT) << "a submenu into itself";
  EXPECT_EQ(menu_resource_move(res, -1, sub, 0), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(menu_resource_move(res, 0, resource("other"), 0), ERR_INVALID_ARGUMENT) << "another template";
  EXPECT_EQ(menu_resource_move(res | 1, 0, res, 0), ERR_INVALID_MENU_HANDLE) << "an item is no menu";
  EXPECT_EQ(menu_resource_move(res, 4, sub, -1), 0);
  EXPECT_EQ(order(sub), (std::vector<std::string>{"d"}));

  // Deleting a submenu frees its whole subtree.
  EXPECT_EQ(menu_resource_delete(res, 2), 0);
  EXPECT_EQ(read(sub, static_cast<uint32_t>(sub & 0xFFFF)).type, 0);
  EXPECT_FALSE(menu_resource_is_menu(sub));
}

TEST_F(MenuResources, KeyTexts) {
  const int64_t res = resource();
  ASSERT_EQ(menu_resource_insert(res, -1, 0, item("&Save", "save-file")), 0);
  ASSERT_EQ(menu_resource_insert(res, -1, 0, item("Save &As", "save-as\tsave-file")), 0);
  ASSERT_EQ(menu_resource_insert(res, -1, 0, item("Saver", "save-file-as")), 0);
  const int32_t sub = menu_resource_insert(res, -1, kMenuCascade, item("&More\tX", "save-file"));
  ASSERT_GT(sub, 0);
  auto all = [&] {
    std::vector<std::string> out;
    for (uint32_t r = 1; r <= 4; ++r) out.push_back(caption(res, r));
    return out;
  };
  struct Case {
    const char* command;
    const char* key;
    char option;
    std::vector<std::string> captions;
  };
  const Case cases[] = {
      {"save-file", "F2", 'B', {"&Save\tF2", "Save &As\tF2", "Saver", "&More\tX"}},  // menu records are left
      {"save-as", "F2", 'B', {"&Save", "Save &As\tF2", "Saver", "&More\tX"}},
      {"save-file-as", "F3", 'B', {"&Save", "Save &As\tF2", "Saver\tF3", "&More\tX"}},
      {"", "F2", 'U', {"&Save", "Save &As", "Saver\tF3", "&More\tX"}},
      {"", "", 'C', {"&Save", "Save &As", "Saver", "&More\tX"}},
      {"", "", 'C', {"&Save", "Save &As", "Saver", "&More\tX"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.key + " " + c.option);
    EXPECT_EQ(menu_resource_key_text(res, c.command, c.key, c.option), 0);
    EXPECT_EQ(all(), c.captions);
  }
  EXPECT_EQ(menu_resource_key_text(res >> 16, "save-file", "F9", 'B'), 0) << "a bare names index";
  EXPECT_EQ(caption(res, 1), "&Save\tF9");
  EXPECT_EQ(menu_resource_key_text(0, "x", "y", 'B'), ERR_INVALID_NAME_INDEX);
  EXPECT_EQ(menu_resource_key_text(int64_t{4000} << 16, "x", "y", 'B'), ERR_INVALID_NAME_INDEX);
}

TEST_F(MenuResources, DamagedRingsAreRefusedNotFollowed) {
  const int64_t res = resource();
  const int32_t sub = menu_resource_insert(res, -1, kMenuCascade, item("S"));
  ASSERT_EQ(menu_resource_insert(sub, -1, 0, item("a")), 0);
  ASSERT_EQ(menu_resource_insert(sub, -1, 0, item("b")), 0);
  const uint32_t index = static_cast<uint32_t>(res >> 16);
  struct Damage {
    const char* what;
    uint32_t record;
    int field;  // 0 next, 1 child, 2 type
    uint16_t value;
    bool ring_broken;  // the submenu's children cannot be walked
  };
  const Damage cases[] = {
      {"a next link past the records", 2, 0, 40, true},
      {"a ring that never comes back to its first child", 3, 0, 3, true},
      {"a submenu that is its own child", 1, 1, 1, false},
      {"a record of a form's type", 2, 2, 4, false},
      {"a free record in the ring", 3, 2, 0, true},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    PropertyBlock saved = read(res, d.record);
    PropertyBlock b = saved;
    (d.field == 0 ? b.next : d.field == 1 ? b.child : b.type) = d.value;
    ASSERT_TRUE(tpl_write(index, d.record, b));
    const int32_t live = menus_live();
    EXPECT_LT(menu_load_resource(nullptr, res, 1), 0);
    EXPECT_EQ(menus_live(), live);
    if (d.ring_broken) {
      EXPECT_EQ(menu_resource_child_count(sub), ERR_INVALID_MENU_HANDLE);
    }
    ASSERT_TRUE(tpl_write(index, d.record, saved));
  }
  EXPECT_GT(menu_load_resource(nullptr, res, 1), 0) << "mended again";
}

// ---- the built-ins ----

TEST_F(MacroMenus, BuiltinsAndTheirCodes) {
  WindowObject* f = form();         // current: a form of its own may carry a bar
  prop_set_field(f->props, 16, 2);  // a sizable border
  ASSERT_EQ(window_current(), f);
  const int64_t res = menu_resource_create("bi-menu");
  ASSERT_GT(res, 0);
  const std::string r = std::to_string(res);

  Out o = call("insert_menu_item", {r, "0", "16", "&File"});
  ASSERT_EQ(o.raised, 0);
  const std::string file = o.rc;
  EXPECT_GT(std::stoll(file), res) << "the submenu record's handle";
  EXPECT_EQ(call("insert_menu_item", {file, "0", "0", "&Save", "save-file", "file", "help save", "Saves"}).rc, "0");
  EXPECT_EQ(call("insert_menu_item", {file, "0", "0", "&Open", "open-file"}).rc, "0");
  EXPECT_EQ(call("set_menu_key_text", {"0", r, "save-file", "Ctrl+S"}).rc, "0");
  o = call("load_menu", {r});
  const std::string m = o.value;
  ASSERT_GT(std::stoi(m), 0);
  EXPECT_EQ(call("menu_item_count", {m}).value, "1");
  EXPECT_EQ(call("set_object_menu", {m}).rc, "0");
  EXPECT_EQ(f->menu, std::stoi(m));

  o = call("find_menu_item", {m, "save-file", "M"});
  EXPECT_EQ(o.value, "0");
  ASSERT_EQ(o.vars.size(), 2u);
  const std::string sub = o.vars[0];
  EXPECT_EQ(o.vars[1], "1");
  o = call("get_menu_item", {sub, "save-file", "M"}, 6);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(o.vars, (std::vector<std::string>{"8", "&Save\tCtrl+S", "save-file", "file", "help save", "Saves"}));
  o = call("get_menu_item", {m, "0", "P"}, 3);
  EXPECT_EQ(o.vars, (std::vector<std::string>{"24", "&File", sub}));
  EXPECT_EQ(call("set_menu_item", {sub, "file", "1", "C", "", "", "", "", "Writes"}).rc, "0");
  EXPECT_EQ(call("get_menu_item", {sub, "1", "P"}, 6).vars[5], "Writes");
  EXPECT_EQ(call("set_menu_key_text", {m, "0", "open-file", "Ctrl+O"}).rc, "0");
  EXPECT_EQ(call("get_menu_item", {sub, "0", "P"}, 2).vars[1], "&Open\tCtrl+O");
  EXPECT_EQ(call("delete_menu_item", {sub, "0"}).rc, "0");
  EXPECT_EQ(call("menu_item_count", {sub}).value, "1");
  EXPECT_EQ(call("delete_menu_item", {file, "1"}).rc, "0") << "from the resource";
  EXPECT_EQ(menu_resource_child_count(std::stoll(file)), 1);

  struct Row {
    const char* mnemonic;
    std::vector<std::string> args;
    int group;
    ErrorCode code;  // rc, or the pushed value for the built-ins that return
  };
  const Row rows[] = {
      {"set_menu_item", {"0", "x", "0"}, 0, ERR_INVALID_MENU_HANDLE},
      {"set_menu_item", {m, "nothing", "0"}, 0, ERR_STRING_NOT_FOUND},
      {"get_menu_item", {"0", "x"}, 1, ERR_INVALID_MENU_HANDLE},
      {"show_popup_menu", {"0"}, 0, ERR_INVALID_MENU_HANDLE},
      {"show_popup_menu", {m}, 0, ERR_MENU_MUST_BE_POPUP},
      {"menu_item_count", {"0"}, 0, ERR_INVALID_MENU_HANDLE},
      {"destroy_menu", {"0"}, 0, ERR_INVALID_MENU_HANDLE},
      {"destroy_menu", {m}, 0, ERR_INVALID_ARGUMENT},
      {"delete_menu_item", {"0", "0"}, 0, ERR_INVALID_MENU_HANDLE},
      {"delete_menu_item", {r, "7"}, 0, ERR_INVALID_ARGUMENT},
      {"insert_menu_item", {"0", "0", "0", "x"}, 0, ERR_INVALID_MENU_HANDLE},
      {"insert_menu_item", {m, "2", "0", "x"}, 0, ERR_INVALID_ARGUMENT},
      {"insert_menu_item", {r + "1", "0", "0", "x"}, 0, ERR_INVALID_MENU_HANDLE},
      {"find_menu_item", {"0", "x"}, 0, ERR_INVALID_MENU_HANDLE},
      {"find_menu_item", {m, "none", "M"}, 0, ERR_STRING_NOT_FOUND},
      {"set_menu_key_text", {"99", "0", "c", "k"}, 0, ERR_INVALID_MENU_HANDLE},
      {"set_menu_key_text", {"0", "4000", "c", "k"}, 0, ERR_INVALID_NAME_INDEX},
      {"set_object_menu", {"99"}, 0, ERR_INVALID_MENU_HANDLE},
      {"load_menu", {"5"}, 0, ERR_INVALID_ARGUMENT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.mnemonic) + " " + row.args[0]);
    o = call(row.mnemonic, row.args, row.group);
    const auto info = opcode_find(row.mnemonic);
    ASSERT_TRUE(info.has_value());
    if (info->info->pushes == 1)
      EXPECT_EQ(o.value, std::to_string(row.code));
    else
      EXPECT_EQ(o.rc, std::to_string(row.code));
  }

  // Option letters outside their sets, and the move between kinds.
  EXPECT_EQ(call("set_menu_item", {m, "x", "0", "Z"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("load_menu", {r, "Q"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("set_menu_key_text", {m, "0", "c", "k", "X"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_NE(call("move_menu_resource_item", {m, "0", r, "0"}).stop, 0) << "a live menu: fatal";

  // Detaching, then an object that may not carry a bar.
  EXPECT_EQ(call("set_object_menu", {"0"}).rc, "0");
  EXPECT_EQ(f->menu, 0);
  prop_set_field(f->props, 16, 3);
  EXPECT_EQ(call("set_object_menu", {m}).rc, std::to_string(ERR_BORDER_NO_MENUS));
  WindowObject* check = control(f, kObjCheck);
  ASSERT_EQ(window_current(), check);
  EXPECT_NE(call("set_object_menu", {m}).stop, 0);
  EXPECT_NE(call("load_menu", {r}).stop, 0);
}

// ---- the menu font and the release at exit ----

struct FontState {
  std::string face;
  int32_t tenths = 0;
  uint32_t style = 0;
  int32_t sets = 0;
};
FontState font_state;

class MenuFont : public MacroMenus {
 protected:
  void SetUp() override {
    MacroMenus::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    font_state = FontState{"fixed", 100, 0, 0};
    ops_.get_font = [](std::string* face, int32_t* tenths, uint32_t* style) {
      *face = font_state.face, *tenths = font_state.tenths, *style = font_state.style;
    };
    ops_.set_font = [](const char* face, int32_t tenths, uint32_t style) {
      font_state = FontState{face, tenths, style, font_state.sets + 1};
    };
    saved_font_ = *default_font(kMenuFontId);
  }
  void TearDown() override {
    *default_font(kMenuFontId) = saved_font_;
    MacroMenus::TearDown();
  }
  // A resource of one submenu with one item, loaded on the current object.
  std::string load(const char* option) {
    const int64_t res = menu_resource_create("font-menu");
    const int32_t sub = menu_resource_insert(res, -1, kMenuCascade, item("&File"));
    EXPECT_EQ(menu_resource_insert(sub, -1, 0, item("&Save", "save-file")), 0);
    return call("load_menu", {std::to_string(res), option}).value;
  }
  DefaultFont saved_font_;
};

TEST_F(MenuFont, LoadedMenusTakeTheDefaultMenuFontOnlyWhenOneIsSet) {
  WindowObject* f = form();
  prop_set_field(f->props, 16, 2);
  ASSERT_GT(std::stoi(load("M")), 0);
  EXPECT_EQ(font_state.sets, 0) << "no face set: the menus keep their font";

  // A set with no frame menu changes the record only.
  EXPECT_EQ(call("default_font", {"250", "helvetica,12,1"}).value, "helvetica,12,1,");
  EXPECT_EQ(font_state.sets, 0);
  ASSERT_GT(std::stoi(load("P")), 0);
  EXPECT_EQ(font_state.sets, 1);
  EXPECT_EQ(font_state.face, "helvetica");
  EXPECT_EQ(font_state.tenths, 120) << "points times ten";
  EXPECT_EQ(font_state.style, 1u);
}

TEST_F(MenuFont, TheFrameMenusFontIsSetAndReadBackThroughTheFontBuiltin) {
  WindowObject* fr = frame();
  window_set_current(fr, 0);
  const std::string m = load("M");
  ASSERT_GT(std::stoi(m), 0);
  ASSERT_EQ(menu_attach(fr, std::stoi(m)), 0);
  font_state.sets = 0;

  EXPECT_EQ(call("default_font", {"250", "courier,14,3"}).value, "courier,14,3,");
  EXPECT_EQ(font_state.sets, 1);
  EXPECT_EQ(font_state.tenths, 140);
  EXPECT_EQ(font_state.style, 3u);
  // What the menu answers replaces the record: a font the window system
  // chose instead shows in the query.
  font_state.face = "lucida", font_state.tenths = 125;
  EXPECT_EQ(call("default_font", {"250"}).value, "lucida,12,3,");
  // A menu that names no face leaves the record as it was.
  font_state.face.clear();
  EXPECT_EQ(call("default_font", {"250"}).value, "lucida,12,3,");
}

TEST_F(MacroMenus, ReleaseAtExitLeavesTheFrameAnEmptyBarAndNoOtherMenu) {
  WindowObject* fr = frame();
  const int32_t old_bar = bar();
  ASSERT_EQ(menu_insert(old_bar, -1, kMenuCascade, item("&File")), old_bar + 1);
  ASSERT_EQ(menu_attach(fr, old_bar), 0);
  XfMenu* old_native = menu_native(old_bar);
  const int32_t loose_popup = popup();
  const int32_t loose_bar = bar();
  ASSERT_GT(loose_popup, 0);
  ASSERT_GT(loose_bar, 0);
  XfMenu* loose[] = {menu_native(loose_popup), menu_native(loose_bar)};

  app_release_gui();
  EXPECT_EQ(menus_live(), 1) << "only the frame's new, empty bar";
  ASSERT_NE(fr->menu, old_bar);
  EXPECT_EQ(menu_item_count(fr->menu), 0);
  EXPECT_EQ(fake_.attached[fr->handle], menu_native(fr->menu));
  EXPECT_EQ(fake_.window_list[fr->handle], nullptr) << "no window list";
  EXPECT_EQ(fake_.menus.count(old_native), 0u) << "the old bar's native menu went";
  for (XfMenu* n : loose) EXPECT_EQ(fake_.menus.count(n), 0u) << "a menu of no window went";
}

}  // namespace

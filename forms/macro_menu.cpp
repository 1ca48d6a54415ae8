// Macro menus (see macro_menu.h).
#include "forms/macro_menu.h"

#include <array>
#include <deque>
#include <memory>

#include "base/messages.h"
#include "forms/objects.h"

namespace {

// Bucket count of a root's index.
constexpr int32_t kBuckets = 250;
// Strings handed to macros fit a 1024-byte line.
constexpr size_t kMaxOut = 1023;
// A category term longer than this is skipped.
constexpr size_t kMaxTerm = 1022;

struct Item {
  bool submenu = false;
  MenuStrings s;  // command empty for a cascade item
  int32_t sub = 0;
  uint32_t flags = kMenuStored;  // last state applied without strings; 8 after strings were stored
  uint32_t native_flags = 0;     // what the native item shows (checked, disabled, pass-on bit)
  int32_t position = 0;
  uint32_t id = 0;
};

// One index entry: an item by its menu and place, and the native menu the
// item lives in.
struct Node {
  int32_t menu;
  int32_t position;
  XfMenu* native;
};
using Index = std::array<std::vector<Node>, kBuckets>;

struct MenuRec {
  bool live = false;
  bool has_items = false;  // the item pool exists (made by the first insert)
  std::vector<Item> items;
  XfMenu* native = nullptr;
  std::unique_ptr<Index> index;
  int32_t root = 0;
  int32_t window = 0;
  uint8_t kind = 0;  // 2 bar, 4 popup, 0 no native menu of its own
  bool dirty = false;
};
constexpr uint8_t kKindBar = 2, kKindPopup = 4;

struct MenuState {
  std::deque<MenuRec> pool{1};  // record 0 stays unused; a deque keeps references across growth
  std::vector<int32_t> free;    // last freed first out
  uint32_t next_id = 0;
  bool tracking = false;
  int32_t track_object = 0, track_menu = 0;
};
MenuState& S = *new MenuState;

MenuRec* rec(int32_t h) {
  if (h <= 0 || h >= static_cast<int32_t>(S.pool.size()) || !S.pool[h].live) return nullptr;
  return &S.pool[h];
}

int32_t new_record() {
  int32_t h;
  if (!S.free.empty()) {
    h = S.free.back();
    S.free.pop_back();
  } else {
    h = static_cast<int32_t>(S.pool.size());
    S.pool.emplace_back();
  }
  S.pool[h] = MenuRec{};
  S.pool[h].live = true;
  S.pool[h].root = h;
  return h;
}

void free_record(int32_t h) {
  S.pool[h] = MenuRec{};
  S.free.push_back(h);
}

bool id_in_use(int32_t menu, uint32_t id) {
  for (const Item& it : S.pool[menu].items)
    if (it.id == id) return true;
  return false;
}

// Ids 1..15997 in turn; afterwards the smallest id no live item carries.
uint32_t new_item_id() {
  if (S.next_id < kMenuLastCountedId) return ++S.next_id;
  for (uint32_t id = 1;; ++id) {
    bool used = false;
    for (int32_t h = 1; h < static_cast<int32_t>(S.pool.size()) && !used; ++h)
      if (S.pool[h].live) used = id_in_use(h, id);
    if (!used) return id;
  }
}

int32_t offset_of(XfMenu* native) {
  if (S.tracking || !native) return 0;
  return menu_native().offset(native);
}

std::string_view command_name(std::string_view command) { return command.substr(0, command.find('\t')); }

std::string cut(std::string_view s) { return std::string(s.substr(0, kMaxOut)); }

int32_t bucket_of(std::string_view key) {
  uint32_t sum = 0;
  for (unsigned char c : key) sum += c;
  return static_cast<int32_t>(sum % kBuckets);
}

void mark_dirty(int32_t menu) {
  if (MenuRec* m = rec(menu))
    if (MenuRec* r = rec(m->root)) r->dirty = true;
}

// The bar a menu belongs to is laid out again.
void redraw_bar(int32_t menu) {
  MenuRec* m = rec(menu);
  MenuRec* r = m ? rec(m->root) : nullptr;
  if (!r || !r->window) return;
  if (WindowObject* o = obj_get(r->window); o && o->menu == m->root) menu_native().relayout(o);
}

void index_clear(MenuRec& m, bool keep) {
  if (!m.index) return;
  if (keep)
    for (auto& b : *m.index) b.clear();
  else
    m.index.reset();
}

void index_add(Index& ix, int32_t menu) {
  MenuRec& m = S.pool[menu];
  for (int32_t p = 0; p < static_cast<int32_t>(m.items.size()); ++p) {
    Item& it = m.items[p];
    it.position = p;
    std::string_view cats = it.s.categories;
    while (!cats.empty()) {
      const size_t bar = cats.find('|');
      const std::string_view word = cats.substr(0, bar);
      if (!word.empty()) ix[bucket_of(word)].push_back({menu, p, m.native});
      cats = bar == std::string_view::npos ? std::string_view() : cats.substr(bar + 1);
    }
    if (!it.submenu) ix[bucket_of(command_name(it.s.command))].push_back({menu, p, m.native});
    if (it.submenu && rec(it.sub)) index_add(ix, it.sub);
  }
}

void index_build(MenuRec& root, int32_t h) {
  if (!root.index) root.index = std::make_unique<Index>();
  index_add(*root.index, h);
  root.dirty = false;
}

bool item_matches(const Item& it, std::string_view key, char kind) {
  if (kind == 'M') return !it.submenu && command_name(it.s.command) == key;
  return word_in_list(it.s.categories, key, '|');
}

void replace_strings(Item& it, const MenuStrings& s) {
  if (!s.caption.empty()) it.s.caption = s.caption;
  if (!s.command.empty() && !it.submenu) it.s.command = s.command;
  if (!s.categories.empty()) it.s.categories = s.categories;
  if (!s.help_command.empty()) it.s.help_command = s.help_command;
  if (!s.help_message.empty()) it.s.help_message = s.help_message;
  it.flags = kMenuStored;
}

// One item of a state change. Returns whether the named menu's bar must be
// drawn again.
bool apply_state(int32_t named, int32_t menu, int32_t pos, XfMenu* native, uint32_t flags, const MenuStrings* s) {
  Item& it = S.pool[menu].items[pos];
  if (it.flags == flags && !s) return false;  // the same state again
  bool redraw = false;
  const std::string& caption = s && !s->caption.empty() ? s->caption : it.s.caption;
  if (caption != "-") {  // a separator keeps its native state
    XfMenu* sub = it.submenu && rec(it.sub) ? S.pool[it.sub].native : nullptr;
    menu_native().modify_item(native, pos + offset_of(native), it.id, sub, caption.c_str(), flags);
    it.flags = flags;
    it.native_flags = flags;
    redraw = S.pool[named].window != 0 && menu == named;
  }
  if (s) {
    replace_strings(it, *s);
    if (!s->command.empty() || !s->categories.empty()) mark_dirty(menu);
  }
  return redraw;
}

// Depth-first over the items below menu, each cascade's submenu first.
bool pattern_walk(int32_t named, int32_t menu, std::string_view pattern, uint32_t flags, const MenuStrings* s,
                  bool* redraw) {
  bool found = false;
  for (int32_t p = 0; p < static_cast<int32_t>(S.pool[menu].items.size()); ++p) {
    const Item& it = S.pool[menu].items[p];
    if (it.submenu && rec(it.sub) && pattern_walk(named, it.sub, pattern, flags, s, redraw)) found = true;
    if (category_pattern_match(S.pool[menu].items[p].s.categories, pattern)) {
      found = true;
      if (apply_state(named, menu, p, S.pool[menu].native, flags, s)) *redraw = true;
    }
  }
  return found;
}

// Depth-first search in item order; a cascade's submenu is searched when
// the cascade item does not match.
bool find_in(int32_t menu, std::string_view key, char kind, int32_t* out_menu, int32_t* out_pos) {
  const MenuRec& m = S.pool[menu];
  for (int32_t p = 0; p < static_cast<int32_t>(m.items.size()); ++p) {
    const Item& it = m.items[p];
    if (item_matches(it, key, kind)) {
      *out_menu = menu, *out_pos = p;
      return true;
    }
    if (it.submenu && rec(it.sub) && find_in(it.sub, key, kind, out_menu, out_pos)) return true;
  }
  return false;
}

bool info_in(int32_t menu, uint32_t id, int32_t* out_menu, int32_t* out_pos) {
  const MenuRec& m = S.pool[menu];
  for (int32_t p = 0; p < static_cast<int32_t>(m.items.size()); ++p) {
    const Item& it = m.items[p];
    if (it.id == id) {
      *out_menu = menu, *out_pos = p;
      return true;
    }
    if (it.submenu && rec(it.sub) && info_in(it.sub, id, out_menu, out_pos)) return true;
  }
  return false;
}

void destroy_tree(int32_t h, bool top, bool free_native) {
  MenuRec& m = S.pool[h];
  for (const Item& it : m.items)
    if (it.submenu && rec(it.sub)) destroy_tree(it.sub, false, false);  // their native menus go with ours
  if (top && free_native) {
    index_clear(m, false);
    if (m.native) menu_native().destroy(m.native);
  }
  if (m.window)
    if (WindowObject* o = obj_get(m.window); o && o->menu == h) o->menu = 0;  // no object names a freed menu
  if (S.track_menu == h) S.track_menu = 0;  // a reused handle is not the popup shown last
  free_record(h);
}

XfMenu* submenu_by_caption(int32_t menu, std::string_view caption) {
  for (const Item& it : S.pool[menu].items) {
    if (!it.submenu || !rec(it.sub)) continue;
    if (it.s.caption == caption) return S.pool[it.sub].native;
    if (XfMenu* m = submenu_by_caption(it.sub, caption)) return m;
  }
  return nullptr;
}

void key_texts(int32_t menu, std::string_view command, std::string_view key_text, char option) {
  MenuRec& m = S.pool[menu];
  for (int32_t p = 0; p < static_cast<int32_t>(m.items.size()); ++p) {
    Item& it = m.items[p];
    if (it.submenu) {
      if (rec(it.sub)) key_texts(it.sub, command, key_text, option);
      continue;
    }
    std::string caption;
    if (!key_text_caption(it.s.caption, it.s.command, command, key_text, option, &caption)) continue;
    // The native item keeps its checked and enabled state: it gets what it
    // shows, not the stored-strings mark.
    menu_native().modify_item(m.native, p + offset_of(m.native), it.id, nullptr, caption.c_str(), it.native_flags);
    it.s.caption = caption;
    it.flags = kMenuStored;
  }
}

int32_t insert_plain(int32_t menu, int32_t position, uint32_t flags, const MenuStrings& s) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  const int32_t count = static_cast<int32_t>(m->items.size());
  if (position < 0) position = count;
  if (position > count) return ERR_INVALID_ARGUMENT;
  const uint32_t id = new_item_id();
  const uint32_t native_flags = flags & (kMenuChecked | kMenuDisabled | kMenuNativeBit);
  if (!menu_native().insert_item(m->native, position + offset_of(m->native), id, s.caption.c_str(), native_flags))
    return ERR_INSUFFICIENT_MEMORY;
  Item it;
  it.s = s;
  it.id = id;
  it.native_flags = native_flags;
  m->has_items = true;
  m->items.insert(m->items.begin() + position, std::move(it));
  return 0;
}

int32_t insert_cascade(int32_t menu, int32_t position, uint32_t flags, const MenuStrings& s) {
  const int32_t sub = menu_create(nullptr, 2);
  if (sub < 0) return ERR_INSUFFICIENT_MEMORY;
  MenuRec* m = rec(menu);
  if (!m) {
    free_record(sub);
    return ERR_INVALID_MENU_HANDLE;
  }
  const int32_t count = static_cast<int32_t>(m->items.size());
  if (position < 0) position = count;
  if (position > count) {
    free_record(sub);
    return ERR_INVALID_ARGUMENT;
  }
  const uint32_t id = new_item_id();
  const uint32_t native_flags = flags & kMenuDisabled;
  XfMenu* popup =
      menu_native().insert_cascade(m->native, position + offset_of(m->native), id, s.caption.c_str(), native_flags);
  if (!popup) {
    free_record(sub);
    return ERR_INSUFFICIENT_MEMORY;
  }
  Item it;
  it.submenu = true;
  it.s = s;
  it.s.command.clear();
  it.sub = sub;
  it.id = id;
  it.native_flags = native_flags;
  m->has_items = true;
  m->items.insert(m->items.begin() + position, std::move(it));
  S.pool[sub].native = popup;
  S.pool[sub].root = m->root;
  return sub;
}

}  // namespace

// ---- helpers ----

bool word_in_list(std::string_view list, std::string_view word, char delimiter) {
  if (word.empty()) return false;
  for (size_t at = list.find(word); at != std::string_view::npos; at = list.find(word, at + 1)) {
    const size_t end = at + word.size();
    if ((at == 0 || list[at - 1] == delimiter) && (end == list.size() || list[end] == delimiter)) return true;
  }
  return false;
}

bool category_pattern_match(std::string_view categories, std::string_view pattern) {
  if (pattern.empty()) return false;
  for (;;) {
    const size_t bar = pattern.find('|');
    std::string_view term = pattern.substr(0, bar);
    if (term.size() <= kMaxTerm) {
      const bool negated = !term.empty() && term.front() == '!';
      if (negated) term.remove_prefix(1);
      if (word_in_list(categories, term, '|') != negated) return true;
    }
    if (bar == std::string_view::npos) return false;
    pattern.remove_prefix(bar + 1);
  }
}

void caption_split_key_text(std::string_view caption, std::string* text, std::string* key_text) {
  const size_t tab = caption.find('\t');
  *text = std::string(caption.substr(0, tab));
  *key_text = tab == std::string_view::npos ? std::string() : std::string(caption.substr(tab + 1));
}

bool key_text_caption(std::string_view caption, std::string_view commands, std::string_view command,
                      std::string_view key_text, char option, std::string* out) {
  std::string text, old;
  caption_split_key_text(caption, &text, &old);
  std::string result(caption);
  if (option == 'B' && word_in_list(commands, command, '\t'))
    result = text + '\t' + std::string(key_text);
  else if (option == 'C' || old == key_text)
    result = text;
  if (result == caption) return false;
  *out = std::move(result);
  return true;
}

// ---- operations ----

int32_t menu_create(WindowObject* owner, int32_t kind) {
  const int32_t h = new_record();
  if (kind == 2) return h;
  XfMenu* native = menu_native().create(kind == 1 ? 1 : 0, owner);
  if (!native) {
    free_record(h);
    return -1;
  }
  S.pool[h].native = native;
  S.pool[h].kind = kind == 1 ? kKindBar : kKindPopup;
  return h;
}

int32_t menu_insert(int32_t menu, int32_t position, uint32_t flags, const MenuStrings& s) {
  const int32_t r =
      (flags & kMenuCascade) ? insert_cascade(menu, position, flags, s) : insert_plain(menu, position, flags, s);
  if (r >= 0) {
    mark_dirty(menu);
    redraw_bar(menu);
  }
  return r;
}

int32_t menu_delete_item(int32_t menu, int32_t position) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (!m->has_items) return 0;
  if (position < 0 || position >= static_cast<int32_t>(m->items.size())) return ERR_INVALID_ARGUMENT;
  menu_native().delete_item(m->native, position + offset_of(m->native));
  const Item it = m->items[position];
  m->items.erase(m->items.begin() + position);
  if (it.submenu && rec(it.sub)) destroy_tree(it.sub, false, false);  // its native menu went with the item
  mark_dirty(menu);
  redraw_bar(menu);
  return 0;
}

void menu_destroy(int32_t menu, bool free_native) {
  if (rec(menu)) destroy_tree(menu, true, free_native);
}

int32_t menu_destroy_by_macro(int32_t menu) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (m->window || !(m->kind & (kKindBar | kKindPopup))) return ERR_INVALID_ARGUMENT;
  if (m->kind == kKindPopup) {
    menu_native().post_destroy(menu);  // it may still be on screen
    return 0;
  }
  menu_destroy(menu, true);
  return 0;
}

void menu_destroy_deferred(int32_t menu) {
  if (MenuRec* m = rec(menu); m && !m->window) menu_destroy(menu, true);
}

void menu_destroy_unattached() {
  for (int32_t h = 1; h < static_cast<int32_t>(S.pool.size()); ++h)
    if (MenuRec* m = rec(h); m && (m->kind & (kKindBar | kKindPopup)) && !m->window) menu_destroy(h, true);
}

int32_t menu_attach(WindowObject* obj, int32_t menu) {
  if (!obj) return ERR_NOT_ALLOWED_ON_OBJECT;
  MenuRec* m = nullptr;
  if (menu != 0) {
    m = rec(menu);
    if (!m) return ERR_INVALID_MENU_HANDLE;
    if (m->kind != kKindBar) return ERR_MENU_CANNOT_BE_POPUP;
    if (obj->menu == menu) return 0;
    if (m->window && m->window != obj->handle) return ERR_MENU_ALREADY_ATTACHED;
  }
  XfMenu* list = m && obj == obj_frame_object() ? submenu_by_caption(menu, "&Window") : nullptr;
  menu_native().attach(obj, m ? m->native : nullptr, list);
  menu_native().relayout(obj);
  if (MenuRec* old = rec(obj->menu); old && obj->menu != menu) old->window = 0;
  if (m) m->window = obj->handle;
  obj->menu = menu;
  return 0;
}

int32_t menu_track_popup(WindowObject* obj, int32_t menu, uint32_t flags, int32_t x, int32_t y) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (m->kind != kKindPopup) return ERR_MENU_MUST_BE_POPUP;
  S.tracking = true;
  S.track_object = obj ? obj->handle : 0;
  S.track_menu = menu;
  const int ok = menu_native().track(m->native, flags, x, y);
  S.tracking = false;
  return ok ? 0 : ERR_UNABLE_TO_DISPLAY_POPUP;
}

bool menu_popup_tracking(int32_t* object, int32_t* menu) {
  if (object) *object = S.track_object;
  if (menu) *menu = S.track_menu;
  return S.tracking;
}

int32_t menu_item_count(int32_t menu) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  return static_cast<int32_t>(m->items.size());
}

int32_t menu_get_item_info(int32_t menu, uint32_t id, MenuStrings* out) {
  *out = MenuStrings{};
  if (!rec(menu)) return ERR_INVALID_MENU_HANDLE;
  int32_t in = 0, pos = 0;
  if (!info_in(menu, id, &in, &pos)) return -1;
  const Item& it = S.pool[in].items[pos];
  if (!it.submenu) {
    out->command = cut(command_name(it.s.command));
    out->categories = cut(it.s.categories);
  }
  out->caption = cut(it.s.caption);
  out->help_command = cut(it.s.help_command);
  out->help_message = cut(it.s.help_message);
  return 0;
}

int32_t menu_get_item_at(int32_t menu, int32_t position, uint32_t* flags, MenuStrings* out) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (position < 0 || position >= static_cast<int32_t>(m->items.size())) return ERR_INVALID_ARGUMENT;
  const Item& it = m->items[position];
  *flags = it.flags | (it.submenu ? kMenuCascade : 0);
  out->caption = cut(it.s.caption);
  out->command = it.submenu ? std::to_string(it.sub) : cut(it.s.command);
  out->categories = cut(it.s.categories);
  out->help_command = cut(it.s.help_command);
  out->help_message = cut(it.s.help_message);
  return 0;
}

int32_t menu_find_item(int32_t menu, std::string_view key, char option, int32_t* found_menu, int32_t* position) {
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (option == 'P') {
    int32_t p = 0;
    for (char c : key) {
      if (c < '0' || c > '9' || p > 100000000) return ERR_INVALID_ARGUMENT;
      p = p * 10 + (c - '0');
    }
    if (key.empty() || p >= static_cast<int32_t>(m->items.size())) return ERR_INVALID_ARGUMENT;
    *found_menu = menu, *position = p;
    return 0;
  }
  if (!find_in(menu, key, option, found_menu, position)) return ERR_STRING_NOT_FOUND;
  return 0;
}

int32_t menu_get_item(int32_t menu, std::string_view key, char option, uint32_t* flags, MenuStrings* out) {
  int32_t in = 0, pos = 0;
  if (const int32_t r = menu_find_item(menu, key, option, &in, &pos); r < 0) return r;
  return menu_get_item_at(in, pos, flags, out);
}

int32_t menu_set_state(int32_t menu, std::string_view key, uint32_t flags, char option, const MenuStrings* s) {
  if (option == 'C' && key.find_first_of("!|") != std::string_view::npos) {
    if (!rec(menu)) return ERR_INVALID_MENU_HANDLE;
    bool redraw = false;
    const bool found = pattern_walk(menu, menu, key, flags, s, &redraw);
    if (redraw) redraw_bar(menu);
    return found ? 0 : ERR_STRING_NOT_FOUND;
  }
  MenuRec* m = rec(menu);
  if (!m) return ERR_INVALID_MENU_HANDLE;
  if (option == 'P') {
    int32_t in = 0, pos = 0;
    if (const int32_t r = menu_find_item(menu, key, 'P', &in, &pos); r < 0) return r;
    if (apply_state(menu, menu, pos, m->native, flags, s)) redraw_bar(menu);
    return 0;
  }
  if (!m->index) {
    index_build(*m, menu);
  } else if (m->dirty) {
    index_clear(*m, true);
    index_build(*m, menu);
  }
  if (m->items.empty()) return ERR_STRING_NOT_FOUND;
  // The bucket is copied: a change of strings marks the index dirty but
  // leaves it in place until the next lookup.
  const std::vector<Node> chain = (*m->index)[bucket_of(key)];
  bool found = false, redraw = false;
  for (auto n = chain.rbegin(); n != chain.rend(); ++n) {  // newest first, as pushed at the head
    if (!rec(n->menu) || n->position >= static_cast<int32_t>(S.pool[n->menu].items.size())) continue;
    if (!item_matches(S.pool[n->menu].items[n->position], key, option)) continue;
    found = true;
    if (apply_state(menu, n->menu, n->position, n->native, flags, s)) redraw = true;
  }
  if (redraw) redraw_bar(menu);
  return found ? 0 : ERR_STRING_NOT_FOUND;
}

int32_t menu_set_key_text(int32_t menu, std::string_view command, std::string_view key_text, char option) {
  if (!rec(menu)) return ERR_INVALID_MENU_HANDLE;
  key_texts(menu, command, key_text, option);
  redraw_bar(menu);
  return 0;
}

int32_t menu_get_font(int32_t menu, std::string* face, int32_t* tenths, uint32_t* style) {
  face->clear();
  if (!rec(menu)) return ERR_INVALID_MENU_HANDLE;
  menu_native().get_font(face, tenths, style);
  return 0;
}

int32_t menu_set_font(int32_t menu, std::string_view face, int32_t tenths, uint32_t style) {
  if (!rec(menu)) return ERR_INVALID_MENU_HANDLE;
  menu_native().set_font(std::string(face).c_str(), tenths, style & 7);
  return 0;
}

XfMenu* menu_native(int32_t menu) {
  MenuRec* m = rec(menu);
  return m ? m->native : nullptr;
}

XfMenu* menu_find_submenu_by_caption(int32_t menu, std::string_view caption) {
  return rec(menu) ? submenu_by_caption(menu, caption) : nullptr;
}

void menus_reset() {
  for (int32_t h = 1; h < static_cast<int32_t>(S.pool.size()); ++h)
    if (S.pool[h].window)
      if (WindowObject* o = obj_get(S.pool[h].window); o && o->menu == h) o->menu = 0;
  S.pool.clear();
  S.pool.emplace_back();
  S.free.clear();
  S.next_id = 0;
  S.tracking = false;
  S.track_object = S.track_menu = 0;
}

int32_t menus_live() {
  int32_t n = 0;
  for (int32_t h = 1; h < static_cast<int32_t>(S.pool.size()); ++h) n += S.pool[h].live;
  return n;
}

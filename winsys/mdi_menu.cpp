#include "winsys/mdi_menu.h"

#include <cstdio>

#include "winsys/mdi_port.h"

namespace {

int32_t count(void* menu) { return menu ? xf_mdi_menu_count(menu) : 0; }

// The document's name as the application shortens it, else the title.
std::string child_name(XfWindow* child, const char* title) {
  std::string s = mdi_menu_name(child);
  if (!s.empty()) return s;
  return title ? title : "";
}

// The position and digit (1..9) of each numbered entry, in menu order.
struct Entry {
  int32_t pos;
  int32_t digit;
};
std::vector<Entry> entries(void* menu, const XfMdiMenuIds& ids) {
  std::vector<Entry> out;
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = xf_mdi_menu_item(menu, i).id;
    if (ids.is_entry(id)) out.push_back({i, static_cast<int32_t>(id - ids.first) + 1});
  }
  return out;
}

void set_child_entry(XfWindow* child, uint32_t id, uint32_t menu_id) {
  if (!child || !xf_is_live_window(child)) return;
  child->id = id;
  child->k.mdi.menu_id = menu_id;
}

}  // namespace

int32_t xf_mdi_menu_find(void* menu, uint32_t id) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    if (xf_mdi_menu_item(menu, i).id == id) return i;
  }
  return -1;
}

std::string xf_mdi_menu_literal(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    out += *p;
    if (*p == '~') out += '~';
  }
  return out;
}

void* xf_mdi_create_sys_menu() {
  void* menu = xf_mdi_menu_create();
  struct Row {
    uint32_t id;
    const char* text;
  };
  static const Row kItems[] = {
      {0x4003, "~Restore"},
      {0x4005, "~Move\tCtrl+F7"},
      {0x4004, "~Size\tCtrl+F8"},
      {0x4001, "Mi~nimize"},
      {0x4002, "Ma~ximize\tCtrl+F10"},
      {0x4009, "-"},
      {0x4007, "~Close"},
      {0x400A, "-"},
      {0x4006, "Nex~t"},
  };
  for (const Row& r : kItems) {
    XfMdiMenuItem item;
    item.id = r.id;
    item.text = r.text;
    item.grayed = r.id == 0x4003;
    item.sys_command = true;
    xf_mdi_menu_insert(menu, -1, item);
  }
  return menu;
}
void xf_mdi_gray_sys_menu(void* menu, std::initializer_list<uint32_t> gray) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = xf_mdi_menu_item(menu, i).id;
    bool g = false;
    for (uint32_t x : gray) g = g || x == id;
    xf_mdi_menu_set_gray(menu, i, g);
  }
}

std::string xf_mdi_entry_text(int32_t digit, const std::string& name) {
  // Appended piece by piece: GCC 12 at -O3 warns falsely on chained string +.
  std::string out = "~";
  out += std::to_string(digit);
  out += "  ";
  out += xf_mdi_menu_literal(name.c_str());
  return out;
}

void xfMdiMenuAdd(void* menu, const XfMdiMenuIds& ids, XfWindow* child) {
  if (!menu || !child) return;
  bool more = xf_mdi_menu_find(menu, ids.more()) >= 0;
  std::vector<Entry> list = entries(menu, ids);
  int32_t d = 0, at = -1;
  if (list.empty()) {
    xf_mdi_menu_insert(menu, -1, {ids.separator(), "-"});
  } else {
    d = list.back().digit;
    at = list.back().pos + 1;
  }
  bool removed_nine = false;
  if (!list.empty() && list.back().digit == 9) {
    XfMdiMenuItem nine = xf_mdi_menu_item(menu, list.back().pos);
    xf_mdi_menu_remove(menu, list.back().pos);
    set_child_entry(nine.data, ids.unlisted(), 0);
    d = 8;
    at = list.back().pos;
    removed_nine = true;
  }
  XfMdiMenuItem item;
  item.id = ids.first + static_cast<uint32_t>(d);
  item.text = xf_mdi_entry_text(d + 1, child_name(child, child->text));
  item.data = child;
  xf_mdi_menu_insert(menu, at, item);
  set_child_entry(child, item.id, item.id);
  if (removed_nine && !more) xf_mdi_menu_insert(menu, -1, {ids.more(), "~More Windows..."});
}

void xfMdiMenuRemove(void* menu, const XfMdiMenuIds& ids, XfWindow* child, const std::vector<XfWindow*>& children) {
  if (!menu || !child) return;
  if (child->k.mdi.menu_id) {
    int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
    if (pos >= 0) xf_mdi_menu_remove(menu, pos);
  }
  set_child_entry(child, ids.unlisted(), 0);
  std::vector<Entry> list = entries(menu, ids);
  for (size_t k = 0; k < list.size(); ++k) {
    XfMdiMenuItem item = xf_mdi_menu_item(menu, list[k].pos);
    uint32_t id = ids.first + static_cast<uint32_t>(k);
    std::string text = item.text;
    if (text.size() >= 2 && text[0] == '~') text[1] = static_cast<char>('1' + k);
    xf_mdi_menu_set_id(menu, list[k].pos, id);
    xf_mdi_menu_set_text(menu, list[k].pos, text.c_str());
    set_child_entry(item.data, id, id);
  }
  if (!list.empty()) {
    XfWindow* first = nullptr;
    int32_t unlisted = 0;
    for (XfWindow* c : children) {
      if (c == child || !xf_is_live_window(c) || c->dying || c->k.mdi.menu_id) continue;
      if (!first) first = c;
      ++unlisted;
    }
    if (first) xfMdiMenuAdd(menu, ids, first);
    if (unlisted <= 1) {
      int32_t more = xf_mdi_menu_find(menu, ids.more());
      if (more >= 0) xf_mdi_menu_remove(menu, more);
    }
  } else {
    for (uint32_t id : {ids.more(), ids.separator()}) {
      int32_t pos = xf_mdi_menu_find(menu, id);
      if (pos >= 0) xf_mdi_menu_remove(menu, pos);
    }
  }
}

void xfMdiMenuCheck(void* menu, XfWindow* child) {
  if (!menu || !child || !child->k.mdi.menu_id) return;
  int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
  if (pos >= 0) xf_mdi_menu_set_check(menu, pos, true);
}

void xfMdiMenuUncheckAll(void* menu, const XfMdiMenuIds& ids) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = xf_mdi_menu_item(menu, i).id;
    if (id > ids.separator() && id <= ids.more()) xf_mdi_menu_set_check(menu, i, false);
  }
}

void xfMdiMenuSetText(void* menu, XfWindow* child, const char* title) {
  if (!menu || !child || !child->k.mdi.menu_id) return;
  int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
  if (pos < 0) return;
  std::string text = xf_mdi_menu_item(menu, pos).text;
  int32_t digit = text.size() >= 2 ? text[1] - '0' : 1;
  xf_mdi_menu_set_text(menu, pos, xf_mdi_entry_text(digit, child_name(child, title)).c_str());
}

#include "winsys/mdi_menu.h"

#include <cstdio>

namespace {

XfMdiMenu* M(void* menu) { return static_cast<XfMdiMenu*>(menu); }
bool in(void* menu, int32_t pos) { return menu && pos >= 0 && pos < static_cast<int32_t>(M(menu)->items.size()); }

XfMdiMenuOps g_ops = xf_mdi_builtin_menu_ops();
XfMdiMenuName g_name = nullptr;

const XfMdiMenuOps& ops() { return g_ops; }

int32_t count(void* menu) { return menu && ops().count ? ops().count(menu) : 0; }

std::string child_name(XfWindow* child) {
  if (g_name) {
    std::string s = g_name(child);
    if (!s.empty()) return s;
  }
  return child->text ? child->text : "";
}

// The position and digit (1..9) of each numbered entry, in menu order.
struct Entry {
  int32_t pos;
  int32_t digit;
};
std::vector<Entry> entries(void* menu, const XfMdiMenuIds& ids) {
  std::vector<Entry> out;
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = ops().item(menu, i).id;
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

XfMdiMenuOps xf_mdi_builtin_menu_ops() {
  XfMdiMenuOps o;
  o.create = []() -> void* { return new XfMdiMenu; };
  o.destroy = [](void* menu) { delete M(menu); };
  o.count = [](void* menu) { return static_cast<int32_t>(M(menu)->items.size()); };
  o.item = [](void* menu, int32_t pos) {
    return in(menu, pos) ? M(menu)->items[static_cast<size_t>(pos)] : XfMdiMenuItem{};
  };
  o.insert = [](void* menu, int32_t pos, const XfMdiMenuItem& item) {
    auto& v = M(menu)->items;
    if (pos < 0 || pos > static_cast<int32_t>(v.size())) pos = static_cast<int32_t>(v.size());
    v.insert(v.begin() + pos, item);
  };
  o.remove = [](void* menu, int32_t pos) {
    if (in(menu, pos)) M(menu)->items.erase(M(menu)->items.begin() + pos);
  };
  o.set_text = [](void* menu, int32_t pos, const char* text) {
    if (in(menu, pos)) M(menu)->items[static_cast<size_t>(pos)].text = text;
  };
  o.set_id = [](void* menu, int32_t pos, uint32_t id) {
    if (in(menu, pos)) M(menu)->items[static_cast<size_t>(pos)].id = id;
  };
  o.set_check = [](void* menu, int32_t pos, bool on) {
    if (in(menu, pos)) M(menu)->items[static_cast<size_t>(pos)].checked = on;
  };
  o.set_gray = [](void* menu, int32_t pos, bool on) {
    if (in(menu, pos)) M(menu)->items[static_cast<size_t>(pos)].grayed = on;
  };
  return o;
}

const XfMdiMenuOps& xf_mdi_menu_ops() { return g_ops; }
void xf_mdi_set_menu_ops(const XfMdiMenuOps& o) { g_ops = o; }
void xf_mdi_set_menu_name(XfMdiMenuName fn) { g_name = fn; }

int32_t xf_mdi_menu_find(void* menu, uint32_t id) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    if (ops().item(menu, i).id == id) return i;
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
  if (!ops().create) return nullptr;
  void* menu = ops().create();
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
    ops().insert(menu, -1, item);
  }
  return menu;
}
void xf_mdi_gray_sys_menu(void* menu, std::initializer_list<uint32_t> gray) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = ops().item(menu, i).id;
    bool g = false;
    for (uint32_t x : gray) g = g || x == id;
    ops().set_gray(menu, i, g);
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
    ops().insert(menu, -1, {ids.separator(), "-"});
  } else {
    d = list.back().digit;
    at = list.back().pos + 1;
  }
  bool removed_nine = false;
  if (!list.empty() && list.back().digit == 9) {
    XfMdiMenuItem nine = ops().item(menu, list.back().pos);
    ops().remove(menu, list.back().pos);
    set_child_entry(nine.data, ids.unlisted(), 0);
    d = 8;
    at = list.back().pos;
    removed_nine = true;
  }
  XfMdiMenuItem item;
  item.id = ids.first + static_cast<uint32_t>(d);
  item.text = xf_mdi_entry_text(d + 1, child_name(child));
  item.data = child;
  ops().insert(menu, at, item);
  set_child_entry(child, item.id, item.id);
  if (removed_nine && !more) ops().insert(menu, -1, {ids.more(), "~More Windows..."});
}

void xfMdiMenuRemove(void* menu, const XfMdiMenuIds& ids, XfWindow* child, const std::vector<XfWindow*>& children) {
  if (!menu || !child) return;
  if (child->k.mdi.menu_id) {
    int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
    if (pos >= 0) ops().remove(menu, pos);
  }
  set_child_entry(child, ids.unlisted(), 0);
  std::vector<Entry> list = entries(menu, ids);
  for (size_t k = 0; k < list.size(); ++k) {
    XfMdiMenuItem item = ops().item(menu, list[k].pos);
    uint32_t id = ids.first + static_cast<uint32_t>(k);
    std::string text = item.text;
    if (text.size() >= 2 && text[0] == '~') text[1] = static_cast<char>('1' + k);
    ops().set_id(menu, list[k].pos, id);
    ops().set_text(menu, list[k].pos, text.c_str());
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
      if (more >= 0) ops().remove(menu, more);
    }
  } else {
    for (uint32_t id : {ids.more(), ids.separator()}) {
      int32_t pos = xf_mdi_menu_find(menu, id);
      if (pos >= 0) ops().remove(menu, pos);
    }
  }
}

void xfMdiMenuCheck(void* menu, XfWindow* child) {
  if (!menu || !child || !child->k.mdi.menu_id) return;
  int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
  if (pos >= 0) ops().set_check(menu, pos, true);
}

void xfMdiMenuUncheckAll(void* menu, const XfMdiMenuIds& ids) {
  for (int32_t i = 0, n = count(menu); i < n; ++i) {
    uint32_t id = ops().item(menu, i).id;
    if (id > ids.separator() && id <= ids.more()) ops().set_check(menu, i, false);
  }
}

void xfMdiMenuSetText(void* menu, XfWindow* child, const char* title) {
  if (!menu || !child || !child->k.mdi.menu_id) return;
  int32_t pos = xf_mdi_menu_find(menu, child->k.mdi.menu_id);
  if (pos < 0) return;
  std::string text = ops().item(menu, pos).text;
  int32_t digit = text.size() >= 2 ? text[1] - '0' : 1;
  std::string name = g_name ? child_name(child) : (title ? title : "");
  ops().set_text(menu, pos, xf_mdi_entry_text(digit, name).c_str());
}

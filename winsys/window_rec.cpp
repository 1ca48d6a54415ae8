#include "winsys/window_rec.h"

#include <cstring>

#include "base/mem.h"
#include "winsys/paint.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

struct KindName {
  uint32_t kind;
  const char* name;
};

constexpr KindName kKindNames[] = {
    {XFTYPE_ANY, "XFTYPE_ANY"},
    {XFTYPE_STDFRAME, "XFTYPE_STDFRAME"},
    {XFTYPE_CLIENTAREA, "XFTYPE_CLIENTAREA"},
    {XFTYPE_MENUBAR, "XFTYPE_MENUBAR"},
    {XFTYPE_VSB, "XFTYPE_VSB"},
    {XFTYPE_HSB, "XFTYPE_HSB"},
    {XFTYPE_SUBMENU, "XFTYPE_SUBMENU"},
    {XFTYPE_POPUPMENU, "XFTYPE_POPUPMENU"},
    {XFTYPE_POPUPSUBMENU, "XFTYPE_POPUPSUBMENU"},
    {XFTYPE_MENUITEMSP, "XFTYPE_MENUITEMSP"},
    {XFTYPE_MENUITEMCASCADE, "XFTYPE_MENUITEMCASCADE"},
    {XFTYPE_MENUITEMPB, "XFTYPE_MENUITEMPB"},
    {XFTYPE_MENUITEMRB, "XFTYPE_MENUITEMRB"},
    {XFTYPE_GROUPBOX, "XFTYPE_GROUPBOX"},
    {XFTYPE_CTLFRAME, "XFTYPE_CTLFRAME"},
    {XFTYPE_3STATEBUTTON, "XFTYPE_3STATEBUTTON"},
    {XFTYPE_PUSHBUTTON, "XFTYPE_PUSHBUTTON"},
    {XFTYPE_RADIOBUTTON, "XFTYPE_RADIOBUTTON"},
    {XFTYPE_MDITOPFRAME, "XFTYPE_MDITOPFRAME"},
    {XFTYPE_MDISYSMENU, "XFTYPE_MDISYSMENU"},
    {XFTYPE_MDIMINBUTTON, "XFTYPE_MDIMINBUTTON"},
    {XFTYPE_MDIMAXBUTTON, "XFTYPE_MDIMAXBUTTON"},
    {XFTYPE_MDIFRAMETITLE, "XFTYPE_MDIFRAMETITLE"},
    {XFTYPE_MDICLIENTAREA, "XFTYPE_MDICLIENTAREA"},
    {XFTYPE_MDITOPFORM, "XFTYPE_MDITOPFORM"},
    {XFTYPE_MDIMINFRAME, "XFTYPE_MDIMINFRAME"},
    {XFTYPE_MDIMINLABEL, "XFTYPE_MDIMINLABEL"},
    {XFTYPE_MDIMINICON, "XFTYPE_MDIMINICON"},
    {XFTYPE_MDICLIENT, "XFTYPE_MDICLIENT"},
    {XFTYPE_MESSAGEBOX, "XFTYPE_MESSAGEBOX"},
};

XfWindow*& bucket_of(Window xid) { return xf().windows.hash[xid & (kWindowBuckets - 1)]; }

}  // namespace

const char* xf_kind_name(uint32_t kind) {
  for (const auto& k : kKindNames) {
    if (k.kind == kind) return k.name;
  }
  return "XFTYPE_UNKNOWN";
}

XfWindow* xfAllocWindowRecord() {
  XfWindowPool& pool = xf().windows;
  XfWindow* w = nullptr;
  if (pool.free_list) {
    w = pool.free_list;
    pool.free_list = w->hash_next;
  } else {
    if (pool.taken_in_block >= kWindowBlock) {
      auto* block = static_cast<XfWindow*>(mem_alloc(sizeof(XfWindow) * kWindowBlock));
      if (!block) dynarray_out_of_memory();
      // Records never handed out must read as not live.
      std::memset(static_cast<void*>(block), 0, sizeof(XfWindow) * kWindowBlock);
      pool.blocks.push_back(block);
      pool.taken_in_block = 0;
    }
    w = pool.blocks.back() + pool.taken_in_block++;
  }
  // A recycled record starts empty: no stale id, colour or caret state.
  std::memset(static_cast<void*>(w), 0, sizeof *w);
  return w;
}

XfWindow* xfNewWindowRecord() {
  XfWindow* w = xfAllocWindowRecord();
  w->hash_next = nullptr;
  return w;
}

void xfFreeWindowRecord(XfWindow* w) {
  XfWindowPool& pool = xf().windows;
  if (w->live) --pool.live;
  w->live = false;
  w->hash_next = pool.free_list;
  pool.free_list = w;
}

void xfInitWindowRecord(XfWindow* w, uint32_t kind, Window xid, XfWindow* parent, XfWindow* owner, int32_t x, int32_t y,
                        int32_t width, int32_t height) {
  w->kind = kind;
  w->xwin = xid;
  w->parent = parent;
  w->owner = owner;
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  w->caret.hide = -1;
  w->pointer = xfQuerySysPointer(nullptr, 1);
  w->proc = xfDefWindowProc;
  w->enabled = true;
  w->shown = 2;
  w->tree_parent = parent;
  if (!w->live) ++xf().windows.live;
  w->live = true;
  xfHashInsert(w);
  if (parent) xfLinkChildFirst(parent, w);
}

XfWindow* xfFindWindow(Window xid) {
  XfWindow*& head = bucket_of(xid);
  if (!head || head->xwin == xid) return head;
  for (XfWindow* prev = head; prev->hash_next; prev = prev->hash_next) {
    XfWindow* w = prev->hash_next;
    if (w->xwin == xid) {  // move to front
      prev->hash_next = w->hash_next;
      w->hash_next = head;
      head = w;
      return w;
    }
  }
  return nullptr;
}

void xfHashInsert(XfWindow* w) {
  XfWindow*& head = bucket_of(w->xwin);
  w->hash_next = head;
  head = w;
}

void xfHashRemove(XfWindow* w) {
  for (XfWindow** link = &bucket_of(w->xwin); *link; link = &(*link)->hash_next) {
    if (*link == w) {
      *link = w->hash_next;
      w->hash_next = nullptr;
      return;
    }
  }
}

void xfLinkChildFirst(XfWindow* parent, XfWindow* w) {
  if (!parent) return;
  w->tree_parent = parent;
  w->prev_sibling = nullptr;
  w->next_sibling = parent->first_child;
  if (parent->first_child) parent->first_child->prev_sibling = w;
  parent->first_child = w;
  ++parent->child_count;
}

void xfUnlinkChild(XfWindow* w) {
  XfWindow* parent = w->tree_parent;
  if (!parent) return;
  if (w->prev_sibling) w->prev_sibling->next_sibling = w->next_sibling;
  if (w->next_sibling) w->next_sibling->prev_sibling = w->prev_sibling;
  if (parent->first_child == w) parent->first_child = w->next_sibling;
  --parent->child_count;
}

void xfMoveToFront(XfWindow* w) {
  XfWindow* parent = w->tree_parent;
  if (!parent || parent->first_child == w) return;
  xfUnlinkChild(w);
  xfLinkChildFirst(parent, w);
}

void xfMoveToBack(XfWindow* w) {
  XfWindow* parent = w->tree_parent;
  if (!parent) return;
  xfUnlinkChild(w);
  w->next_sibling = nullptr;
  XfWindow* last = parent->first_child;
  while (last && last->next_sibling) last = last->next_sibling;
  w->prev_sibling = last;
  if (last) {
    last->next_sibling = w;
  } else {
    parent->first_child = w;
  }
  ++parent->child_count;
}

void xfMoveAfterSibling(XfWindow* w, XfWindow* above) {
  if (!above || w == above || !w->tree_parent || above->tree_parent != w->tree_parent) return;
  xfUnlinkChild(w);
  w->prev_sibling = above;
  w->next_sibling = above->next_sibling;
  if (above->next_sibling) above->next_sibling->prev_sibling = w;
  above->next_sibling = w;
  ++w->tree_parent->child_count;
}

namespace {

// Destroying an X window takes its X children with it, so only the top of
// the tree (and owned top-level windows, whose X parent is the root) is
// destroyed on the server; every record goes.
void destroy_tree(XfWindow* w, bool top) {
  for (XfWindow* c = w->first_child; c;) {
    XfWindow* next = c->next_sibling;
    destroy_tree(c, false);
    c = next;
  }
  xfHashRemove(w);
  xfUnlinkChild(w);
  Display* d = xf_display();
  if ((top || w->toplevel) && d && w->xwin) XDestroyWindow(d, w->xwin);
  xfFreeWindowRecord(w);
}

}  // namespace

void xfDestroyXWindowTree(XfWindow* w) { destroy_tree(w, true); }

void xf_for_each_window(void (*fn)(XfWindow* w, void* ctx), void* ctx) {
  for (XfWindow* block : xf().windows.blocks) {
    for (int i = 0; i < kWindowBlock; ++i) {
      if (block[i].live) fn(&block[i], ctx);
    }
  }
}

int32_t xf_live_window_count() { return xf().windows.live; }

bool xf_is_live_window(const XfWindow* w) {
  if (!w) return false;
  for (XfWindow* block : xf().windows.blocks) {
    if (w >= block && w < block + kWindowBlock) {
      auto offset = reinterpret_cast<const char*>(w) - reinterpret_cast<const char*>(block);
      return offset % static_cast<long>(sizeof(XfWindow)) == 0 && w->live;
    }
  }
  return false;
}

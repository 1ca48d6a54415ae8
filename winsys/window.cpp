#include "winsys/window.h"

#include <cstring>

#include "base/mem.h"
#include "base/sub_alloc.h"
#include "winsys/caret.h"
#include "winsys/classes.h"
#include "winsys/draw.h"
#include "winsys/focus.h"
#include "winsys/frame_sysmenu.h"
#include "winsys/mdi.h"
#include "winsys/menu.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/timers.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

namespace {

constexpr int32_t kDefaultChildSize = 200;
constexpr const char* kFrameClass = "Halvorn";
// How long a frame may take to appear before xfShowFrameAndWait gives up.
constexpr uint32_t kMapWaitMs = 5000;

// ----- window-word blocks -----

uint8_t* alloc_words(uint32_t size) {
  if (size <= kWordBlock) {
    XfWordPool& p = xf().words;
    uint8_t* b = p.free_list;
    if (b) {
      std::memcpy(&p.free_list, b, sizeof p.free_list);
    } else {
      if (p.taken >= kWordChunk) {
        auto* chunk = static_cast<uint8_t*>(mem_alloc(kWordChunk));
        if (!chunk) dynarray_out_of_memory();
        p.chunks.push_back(chunk);
        p.taken = 0;
      }
      b = p.chunks.back() + p.taken;
      p.taken += kWordBlock;
    }
    std::memset(b, 0, kWordBlock);
    return b;
  }
  auto* b = static_cast<uint8_t*>(mem_sub_alloc(size));
  if (!b) dynarray_out_of_memory();
  std::memset(b, 0, size);
  return b;
}

void free_words(XfWindow* w) {
  if (!w->words) return;
  if (w->words_size <= kWordBlock) {
    XfWordPool& p = xf().words;
    std::memcpy(w->words, &p.free_list, sizeof p.free_list);
    p.free_list = w->words;
  } else {
    mem_sub_free(w->words);
  }
  w->words = nullptr;
  w->words_size = 0;
}

XfClass* find_class(const char* name) {
  if (!name) return nullptr;
  XfClass* c = nullptr;
  if (xfFindClass(name, &c) == 0) return c;
  return xf_builtin_class(name);
}

// "ButtonWindowClass" and the like, directly or as the base of a class.
bool class_is(const XfClass* c, const char* name, const char* builtin) {
  if (name && std::strcmp(name, builtin) == 0) return true;
  return c && c->base_name && std::strcmp(c->base_name, builtin) == 0;
}

void frame_colours(XfWindow* w) { xfSetWindowColors(w, xf().values.frame_bg, -1); }

void set_text(XfWindow* w, const char* text) {
  mem_free(w->text);
  w->text = nullptr;
  w->text_capacity = 0;
  w->k.button.mnemonic = 0;
  if (!text) return;
  auto n = static_cast<int32_t>(std::strlen(text) + 1);
  w->text = static_cast<char*>(mem_alloc(static_cast<size_t>(n)));
  if (!w->text) dynarray_out_of_memory();
  w->text_capacity = n;
  char mnemonic = 0;
  xfSplitMnemonicText(text, w->text, &mnemonic, nullptr, nullptr, nullptr, n, 0);
  w->k.button.mnemonic = mnemonic;
}

// ----- destruction -----

bool receives_destroy(const XfWindow* w) {
  switch (w->kind) {
    case XFTYPE_ANY:
    case XFTYPE_3STATEBUTTON:
    case XFTYPE_PUSHBUTTON:
    case XFTYPE_RADIOBUTTON:
    case XFTYPE_GROUPBOX:
    case XFTYPE_CLIENTAREA:
    case XFTYPE_MDICLIENTAREA:
    case XFTYPE_MDICLIENT:
      return true;
    case XFTYPE_VSB:
    case XFTYPE_HSB:
      return w->parent && w->parent->kind == XFTYPE_CLIENTAREA;
    default:
      return false;
  }
}

bool walk_descends(const XfWindow* w) {
  switch (w->kind) {
    case XFTYPE_ANY:
    case XFTYPE_3STATEBUTTON:
    case XFTYPE_PUSHBUTTON:
    case XFTYPE_RADIOBUTTON:
    case XFTYPE_VSB:
    case XFTYPE_HSB:
    case XFTYPE_MENUBAR:
    case XFTYPE_SUBMENU:
    case XFTYPE_POPUPMENU:
    case XFTYPE_POPUPSUBMENU:
    case XFTYPE_MENUITEMSP:
    case XFTYPE_MENUITEMCASCADE:
    case XFTYPE_MENUITEMPB:
    case XFTYPE_MENUITEMRB:
    case XFTYPE_MDISYSMENU:
    case XFTYPE_MDIMINBUTTON:
    case XFTYPE_MDIMAXBUTTON:
    case XFTYPE_MDIFRAMETITLE:
    case XFTYPE_MDITOPFORM:
    case XFTYPE_MDIMINFRAME:
    case XFTYPE_MDIMINLABEL:
    case XFTYPE_MDIMINICON:
      return false;
    default:
      return true;
  }
}

// Children before their parent.
void send_destroy(XfWindow* w) {
  if (walk_descends(w)) {
    for (XfWindow* c = w->first_child; c;) {
      XfWindow* next = c->next_sibling;
      send_destroy(c);
      c = next;
    }
  }
  if (receives_destroy(w)) xfSendMsg(w, ZWM_DESTROY, 0, 0);
}

void mark_dying(XfWindow* w) {
  w->dying = true;
  for (XfWindow* c = w->first_child; c; c = c->next_sibling) mark_dying(c);
}

void detach_part(XfWindow* w) {
  XfWindow* p = w->parent;
  if (!p) return;
  auto clear = [w](XfWindow*& slot) {
    if (slot == w) slot = nullptr;
  };
  if (p->kind == XFTYPE_STDFRAME) {
    XfFrameWords& f = p->k.frame;
    clear(f.inner);
    clear(f.menubar);
    clear(f.hsb);
    clear(f.vsb);
    clear(f.client);
    clear(f.ctlframe);
  } else if (p->kind == XFTYPE_CTLFRAME) {
    XfCtlFrameWords& c = p->k.ctl;
    clear(c.hsb);
    clear(c.vsb);
    clear(c.client);
    if (c.outer) clear(c.outer->k.frame.client);
  }
}

// Everything that may still name the record lets go of it.
void release_record(XfWindow* w) {
  XfQueryState& q = xf().query;
  if (q.capture == w) q.capture = nullptr;
  if (q.pick_frame == w) xfSetPickHook(nullptr, nullptr);
  detach_part(w);
  if (w->kind == XFTYPE_MDITOPFRAME || w->kind == XFTYPE_MDICLIENT) xf_mdi_window_gone(w);
  if (w->kind == XFTYPE_MENUBAR) xfFreeFrameMenuBarMenu(w);
  if (w->kind == XFTYPE_STDFRAME) xf_frame_sysmenu_release(w);
  if (w->kind == XFTYPE_STDFRAME) xfRemoveTopFrame(w);
  if (xf().main_window == w) xf().main_window = nullptr;
  xf_stop_window_timers(w);
  xf_caret_release(w);
  if (w->own_ps) xf_free_own_draw_state(w);
  mem_free(w->text);
  w->text = nullptr;
  free_words(w);
  xfPurgeWindowMsgs(w, xf_posted_queue());
  xfPurgeWindowMsgs(w, xf_paint_queue());
  xfPurgeWindowMsgs(w, xf_timer_queue());
}

// The frames of a tree leave the top-level list before anything is
// activated in their place.
void remove_top_frames(XfWindow* w) {
  if (w->kind == XFTYPE_STDFRAME) xfRemoveTopFrame(w);
  for (XfWindow* c = w->first_child; c; c = c->next_sibling) remove_top_frames(c);
}

void release_tree(XfWindow* w) {
  for (XfWindow* c = w->first_child; c; c = c->next_sibling) release_tree(c);
  release_record(w);
}

void destroy_tree(XfWindow* window) {
  if (!window || window == kDesktop || window->dying || !xf_is_live_window(window)) return;
  XfFocus& f = xf().focus;
  Display* d = xf_display();
  if (d) XUnmapWindow(d, window->xwin);
  xfPointerGone(window);
  if (f.focus && xfIsInside(window, f.focus)) {
    xfForgetFocusChild(f.focus);
    xfKillFocus();
  }
  XfWindow* outer = window->kind == XFTYPE_CTLFRAME ? window->k.ctl.outer : nullptr;
  remove_top_frames(window);
  if (f.active_frame && xfIsInside(window, f.active_frame)) {
    bool last = f.active_frame == f.last_focus_frame;
    f.active_frame = nullptr;
    if (last) {
      xfStartDeactivateDelay();
    } else {
      xfActivateTopFrame();
    }
  }
  if (f.last_focus_frame && xfIsInside(window, f.last_focus_frame)) f.last_focus_frame = nullptr;
  mark_dying(window);
  send_destroy(window);
  // Whatever the destroy messages did, nothing may point into the tree now.
  xf_focus_forget_tree(window);
  release_tree(window);
  xfDestroyXWindowTree(window);
  if (outer && xf_is_live_window(outer)) {
    outer->k.frame.ctlframe = nullptr;
    destroy_tree(outer);
  }
}

// ----- frames -----

XfWindow* create_outer_window(XfWindow* parent, const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy,
                              uint32_t flags, bool control) {
  XfWindow* w = nullptr;
  if (control) {
    w = xfCreatePopupWindow(x, y, cx, cy, false);
    if (parent && parent != kDesktop) {
      w->parent = w->owner = parent;
    }
  } else {
    bool owned = parent && parent != kDesktop && parent->shown == 1;
    uint32_t deco = xf_frame_decorations(flags), func = xf_frame_functions(flags);
    XfWindow* p = parent == kDesktop ? nullptr : parent;
    w = owned ? xfCreateOwnedFrameWindow(p, p, title, title, kFrameClass, x, y, cx, cy, 0, 0, 0, 0, deco, func, false)
              : xfCreateFrameWindow(p, p, title, title, kFrameClass, x, y, cx, cy, 0, 0, 0, 0, deco, func, false);
    if (!xf().main_window) xf().main_window = w;
    xfSetWMProtocols(w);
  }
  xfAddTopFrame(w);
  if (flags & kStyleVisible) xfMapWindow(w);
  return w;
}

void set_frame_size_hints(XfWindow* frame) {
  if (frame->k.frame.fixed_size) xfSetSizeHints(frame, frame->width, frame->height, frame->width, frame->height);
}

XfWindow* make_inner(XfWindow* frame, int32_t cx, int32_t cy, char map) {
  XfWindow* inner = xfCreateChildWindow(frame, 0, 0, cx, cy, kInnerMask, map);
  inner->kind = XFTYPE_FRAMEINNER;
  inner->proc = nullptr;
  frame_colours(inner);
  return inner;
}

}  // namespace

bool xfIsDefaultPos(int32_t v) { return v == kDefault || v == INT32_MIN; }
bool xfIsDefaultSize(int32_t v) { return v == 0 || v == kDefault || v == INT32_MIN; }

uint32_t xf_frame_decorations(uint32_t flags) {
  uint32_t d = 0;
  if (flags & (kFrameBorder | kFrameDlgBorder)) d |= 2;
  if (flags & kFrameTitle) d |= 8;
  if (flags & kFrameMaxButton) d |= 64;
  if (flags & kFrameMinButton) d |= 32;
  if (flags & kFrameSysMenu) d |= 16;
  if (flags & kFrameSizeBorder) d |= 6;
  return d;
}

uint32_t xf_frame_functions(uint32_t flags) {
  uint32_t f = 36;  // move and close, always
  if (flags & kFrameMinButton) f |= 8;
  if (flags & kFrameMaxButton) f |= 16;
  if (flags & kFrameSizeBorder) f |= 2;
  return f;
}

void xfSetWindowClass(uint32_t kind, XfWindow* window, XfWindow* parent, XfClass* cls) {
  window->kind = kind;
  window->cls = cls;
  window->parent = parent;
  window->owner = parent;
  free_words(window);
  uint32_t size = kWordBlock;
  if (cls) {
    window->style = static_cast<uint32_t>(cls->style);
    window->proc = cls->proc;
    if (cls->word_bytes > size) size = cls->word_bytes;
  }
  window->words = alloc_words(size);
  window->words_size = size;
}

void xfGiveOwnPS(XfWindow* window, XfClass* cls, bool force) {
  if (window->own_ps || !(force || (cls && cls->negative))) return;
  xf_give_own_draw_state(window);
}

void xfSetFrameMenuBar(XfWindow* frame, XfWindow* bar) {
  if (frame && frame->kind == XFTYPE_STDFRAME) frame->k.frame.menubar = bar;
}

XfWindow* xfCreateMenuBar(XfWindow* frame) {
  if (!frame || frame == kDesktop) {
    std::printf("xfCreateMenuBar: Bad hwndParent ==0 OR ==ZHWND_DESKTOP\n");
    return nullptr;
  }
  if (frame->kind != XFTYPE_STDFRAME) return nullptr;
  int32_t height = 0;
  XfWindow* bar = xfCreateFrameMenuBar(frame, frame->k.frame.inner, frame->width, &height);
  frame->k.frame.menubar = bar;
  return bar;
}

XfWindow* xfCreateScrollBar(XfWindow* parent, XfWindow* owner, uint32_t style, const char* class_name, uint32_t id,
                            int32_t x, int32_t y, int32_t w, int32_t h) {
  bool unmapped = w == 0 || h == 0;
  if (xfIsDefaultPos(x)) x = 0;
  if (xfIsDefaultPos(y)) y = 0;
  if (xfIsDefaultSize(w)) w = kDefaultChildSize;
  if (xfIsDefaultSize(h)) h = kDefaultChildSize;
  XfWindow* bar = xfCreateChildWindow(parent, x, y, w, h, kChildMask, 'u');
  xfSetWindowColors(bar, xf().values.mdi_client, -1);
  XfClass* cls = find_class(class_name);
  XfClass* builtin = xf_builtin_class(kScrollBarClass);
  xfSetWindowClass((style & 4) ? XFTYPE_HSB : XFTYPE_VSB, bar, owner ? owner : parent, cls);
  bar->proc = cls && cls->proc ? cls->proc : builtin->proc;
  xfGiveOwnPS(bar, cls, false);
  bar->id = id;
  bar->style = style;
  bar->k.scroll = XfScrollWords{0, 0, 100, 100, 0, 0, 0, 0, '-'};
  if (parent && parent->kind == XFTYPE_CTLFRAME) {
    if (bar->kind == XFTYPE_HSB)
      parent->k.ctl.hsb = bar;
    else
      parent->k.ctl.vsb = bar;
  }
  xfSendMsg(bar, ZWM_CREATE, 0, 0);
  xfSendMsg(bar, ZWM_SIZE, 0, 0);
  if ((style & kStyleVisible) && !unmapped) xfMapWindow(bar);
  return bar;
}

XfWindow* xfCreateWindow(XfWindow* parent, const char* class_name, const char* text, uint32_t style, int32_t x,
                         int32_t y, int32_t cx, int32_t cy, XfWindow* owner, void*, uint32_t id) {
  XfClass* cls = find_class(class_name);
  if (class_is(cls, class_name, kScrollBarClass))
    return xfCreateScrollBar(parent, owner, style, class_name, id, x, y, cx, cy);
  bool unmapped = cx == 0 || cy == 0;
  if (xfIsDefaultPos(x)) x = 0;
  if (xfIsDefaultPos(y)) y = 0;
  if (xfIsDefaultSize(cx)) cx = kDefaultChildSize;
  if (xfIsDefaultSize(cy)) cy = kDefaultChildSize;
  bool button = class_is(cls, class_name, kButtonClass);
  bool group = !button && class_is(cls, class_name, kStaticClass);
  bool ctl = !button && !group && class_name && std::strcmp(class_name, kCtlFrameClass) == 0;
  long mask = button ? kButtonMask : (ctl ? kInnerMask : kChildMask);
  XfWindow* w = xfCreateChildWindow(parent, x, y, cx, cy, mask, 'u');
  frame_colours(w);
  // A class of its own brings its procedure; a built-in class name keeps
  // the built-in procedure even when the API registered the name again.
  bool own_proc = cls && cls->proc && !xf_builtin_class(class_name);
  if (button) {
    uint32_t kind = (style & 2) ? XFTYPE_3STATEBUTTON : ((style & 0x10) ? XFTYPE_RADIOBUTTON : XFTYPE_PUSHBUTTON);
    xfSetWindowClass(kind, w, parent, cls);
    if (!own_proc) w->proc = xfButtonProc;
    w->font = xf().values.button_font;
    set_text(w, text);
    w->k.button.pressed = false;
    w->k.button.has_focus = false;
    w->k.button.extra = 0;
  } else if (group) {
    xfSetWindowClass(XFTYPE_GROUPBOX, w, parent, cls);
    if (!own_proc) w->proc = xfStaticProc;
    w->font = xf().values.label_font;
    set_text(w, text);
  } else if (ctl) {
    xfSetWindowClass(XFTYPE_CTLFRAME, w, parent, cls);
    w->proc = cls ? cls->proc : nullptr;
    w->hook = xfCtlFrameHook;
    w->k.ctl = XfCtlFrameWords{};
  } else {
    xfSetWindowClass(XFTYPE_ANY, w, parent, cls);
    if (parent && parent->kind == XFTYPE_CTLFRAME) {
      w->kind = XFTYPE_CLIENTAREA;
      parent->k.ctl.client = w;
      if (XfWindow* outer = parent->k.ctl.outer) outer->k.frame.client = w;
      if (parent->own_ps) xfGiveOwnPS(w, cls, true);
    }
  }
  if (owner && owner != kDesktop) w->owner = owner;
  xfGiveOwnPS(w, cls, false);
  w->id = id;
  w->style = style;
  xfSendMsg(w, ZWM_CREATE, 0, 0);
  if (ctl) xfSendMsg(w, ZWM_SIZE, 0, 0);
  if ((style & kStyleVisible) && !unmapped) xfMapWindow(w);
  return w;
}

XfWindow* xfCreateFrame(XfWindow* parent, uint32_t style, uint32_t flags, const char* class_name, const char* title,
                        void*, void*, uint32_t id, XfWindow** client_out, int32_t x, int32_t y, int32_t cx,
                        int32_t cy) {
  const XfConnection& c = xf().conn;
  if (xfIsDefaultSize(cx)) cx = c.width * 3 / 5;
  if (xfIsDefaultSize(cy)) cy = c.height * 2 / 3;
  if (xfIsDefaultPos(x)) x = xfDefaultPos(parent, cx, cy, 'x');
  if (xfIsDefaultPos(y)) y = xfDefaultPos(parent, cx, cy, 'y');
  XfClass* cls = find_class(class_name);
  const char* name = title ? title : "";

  if (class_name && std::strcmp(class_name, kCtlFrameClass) == 0) {
    XfWindow* outer = create_outer_window(parent, name, x, y, cx, cy, flags, true);
    outer->kind = XFTYPE_STDFRAME;
    outer->proc = xfNullProc;
    outer->k.frame.outer_of_ctlframe = true;
    outer->k.frame.pos_mode = xf_positioning_mode();
    XfWindow* ctl = make_inner(outer, cx, cy, 'u');
    outer->k.frame.inner = ctl;
    outer->k.frame.client = ctl;
    outer->k.frame.ctlframe = ctl;
    xfSetWindowClass(XFTYPE_CTLFRAME, ctl, outer, cls);
    ctl->proc = cls ? cls->proc : nullptr;
    ctl->hook = xfCtlFrameHook;
    xfGiveOwnPS(ctl, cls, false);
    ctl->id = id;
    ctl->style = style;
    ctl->k.ctl = XfCtlFrameWords{};
    ctl->k.ctl.outer = outer;
    xfSendMsg(ctl, ZWM_CREATE, 0, 0);
    xfSendMsg(ctl, ZWM_SIZE, 0, 0);
    xfMapWindow(ctl);
    if (client_out) *client_out = ctl;
    return ctl;
  }

  XfWindow* frame = create_outer_window(parent, name, x, y, cx, cy, flags, false);
  frame->cls = cls;
  frame->proc = xfFrameProc;
  frame->id = id;
  frame->style = style;
  frame->k.frame = XfFrameWords{};
  frame->k.frame.pos_mode = xf_positioning_mode();
  frame->k.frame.fixed_size = !(flags & kFrameSizeBorder);
  frame_colours(frame);
  xfSetWMName(frame, name);
  set_frame_size_hints(frame);

  XfWindow* inner = make_inner(frame, cx, cy, 'm');
  frame->k.frame.inner = inner;
  xfSetWindowClass(XFTYPE_FRAMEINNER, inner, frame, nullptr);
  inner->proc = nullptr;

  int32_t m = 0;
  if (flags & kFrameMenuBar) frame->k.frame.menubar = xfCreateFrameMenuBar(frame, inner, cx, &m);
  auto s = static_cast<int32_t>(xf().values.scrollbar_width);
  bool hs = flags & kFrameHorzScroll, vs = flags & kFrameVertScroll;
  if (hs)
    frame->k.frame.hsb = xfCreateScrollBar(inner, frame, 0x800004, nullptr, kPartHsb, 0, cy - s, vs ? cx - s : cx, s);
  if (vs)
    frame->k.frame.vsb =
        xfCreateScrollBar(inner, frame, 0x800002, nullptr, kPartVsb, cx - s, m, s, hs ? cy - m - s : cy - m);

  int32_t client_w = vs ? cx - s : cx, client_h = hs ? cy - m - s : cy - m;
  XfWindow* client = xfCreateChildWindow(inner, 0, m, client_w, client_h, kChildMask, 'm');
  frame_colours(client);
  xfSetWindowClass(XFTYPE_CLIENTAREA, client, frame, cls);
  client->proc = cls && cls->proc ? cls->proc : xfClientAreaProc;
  xfGiveOwnPS(client, cls, false);
  client->id = kPartClient;
  frame->k.frame.client = client;
  if (client_out) *client_out = client;

  xfSendMsg(client, ZWM_CREATE, 0, 0);
  xfSendMsg(client, ZWM_SIZE, 0, 0);
  xfPostMsg(client, ZWM_PAINT, 0, xf_pack(client_w, client_h));
  return frame;
}

void xfLayoutFrame(XfWindow* frame) {
  if (!frame || frame->kind != XFTYPE_STDFRAME || frame->k.frame.outer_of_ctlframe) return;
  XfFrameWords& f = frame->k.frame;
  int32_t w = frame->width, h = frame->height;
  auto s = static_cast<int32_t>(xf().values.scrollbar_width);
  if (f.inner) xfSetWindowGeometry(f.inner, 0, 0, w, h);
  int32_t m = 0;
  if (f.menubar) {
    m = xfLayoutFrameMenuBar(f.menubar, w);
    xfSetWindowGeometry(f.menubar, 0, 0, w, m);
  }
  int32_t sv = f.vsb ? s : 0, sh = f.hsb ? s : 0;
  if (f.vsb) {
    xfSetWindowGeometry(f.vsb, w - s, m, s, h - m - sh);
    xfInvalidateRect(f.vsb, nullptr);
  }
  if (f.hsb) {
    xfSetWindowGeometry(f.hsb, 0, h - s, w - sv, s);
    xfInvalidateRect(f.hsb, nullptr);
  }
  if (XfWindow* c = f.client) {
    int32_t cw = w - sv, ch = h - m - sh;
    if (c->x != 0 || c->y != m || c->width != cw || c->height != ch) {
      xfUnmapWindow(c);
      xfSetWindowGeometry(c, 0, m, cw, ch);
      xfMapWindow(c);
      xfSendMsg(c, ZWM_SIZE, 1, xf_pack(cw, ch));
    }
  }
}

void xfAddFrameOffsets(XfWindow* window, int32_t* x, int32_t* y, char code) {
  if (!window || window->kind != XFTYPE_STDFRAME) return;
  int mode = window->k.frame.pos_mode;
  bool add = code == 'm' ? (mode == 1 || mode == 2) : (mode == 2 || mode == 3);
  if (!add) return;
  *x += window->k.frame.deco_left;
  *y += window->k.frame.deco_top;
}

void xfMoveSizeWindow(XfWindow* window, int32_t x, int32_t y, int32_t cx, int32_t cy, XfWindow* target) {
  XfWindow* w = target ? target : window;
  if (!w || w == kDesktop) return;
  XfWindow* ctl = nullptr;
  if (w->kind == XFTYPE_CTLFRAME && w->k.ctl.outer) {
    ctl = w;
    w = w->k.ctl.outer;
  }
  bool size_ok = cx != 0 && cy != 0 && cx != kDefault && cy != kDefault;
  bool pos_ok = x != kDefault && y != kDefault;
  if (w->kind == XFTYPE_STDFRAME) {
    if (!size_ok) return;
    if (pos_ok) xfAddFrameOffsets(w, &x, &y, 'm');
    xfResizeWindowTo(w, cx, cy);
    set_frame_size_hints(w);
    if (pos_ok) xfMoveWindowTo(w, x, y);
    xfLayoutFrame(w);
    if (ctl || w->k.frame.outer_of_ctlframe) {
      XfWindow* inner = ctl ? ctl : w->k.frame.ctlframe;
      if (inner) {
        xfResizeWindowTo(inner, cx, cy);
        xfSendMsg(inner, ZWM_SIZE, 0, xf_pack(cx, cy));
      }
    }
    return;
  }
  if (pos_ok && size_ok) {
    xfSetWindowGeometry(w, x, y, cx, cy);
  } else if (pos_ok) {
    xfMoveWindowTo(w, x, y);
    return;
  } else if (size_ok) {
    xfResizeWindowTo(w, cx, cy);
  } else {
    return;
  }
  xfSendMsg(w, ZWM_SIZE, 0, xf_pack(cx, cy));
}

int32_t xfDefaultPos(XfWindow* parent, int32_t cx, int32_t cy, char axis) {
  if (parent && parent != kDesktop && parent->shown == 1) {
    int32_t px = 0, py = 0;
    xfWindowRootOrigin(parent, &px, &py);
    return axis == 'x' ? px + (parent->width - cx) / 2 : py + (parent->height - cy) / 2;
  }
  const XfConnection& c = xf().conn;
  return axis == 'x' ? (c.width - cx) / 2 : (c.height - cy) / 2;
}

int xfDestroyWindow(XfWindow* window) {
  destroy_tree(window);
  return 1;
}

void xfShowFrameAndWait(XfWindow* frame) {
  if (!frame || frame == kDesktop || frame->shown == 1) return;
  xfMapWindow(frame);
  if (xf_display()) {
    XfEventSource& src = xf().events;
    uint32_t start = xfQueryMilliseconds();
    bool mapped = false;
    while (!mapped && xfQueryMilliseconds() - start < kMapWaitMs) {
      if (src.pending(src.ctx) <= 0) {
        src.wait(src.ctx, 20);
        continue;
      }
      XEvent ev;
      src.next(src.ctx, &ev);
      if (ev.type == MapNotify && ev.xmap.window == frame->xwin) {
        mapped = true;
        break;
      }
      // Everything else keeps its turn.
      XfMessage* records[2];
      int count = 0;
      XfWindow* w = nullptr;
      xfTranslateEvent(&ev, &w, records, &count, false);
      for (int i = 0; i < count; ++i) {
        XfMessage* r = records[i];
        if (r->number == ZWM_PAINT) {
          xfQueuePaintMsg(xf_paint_queue(), r);
        } else if (r->number == ZWM_NULL) {
          xfFreeMsg(r);
        } else {
          xf_queue_append(xf_posted_queue(), r);
        }
      }
    }
  }
  xfSendMsg(frame, ZWM_MAPPED, 0, 0);
}

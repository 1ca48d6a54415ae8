// X events to messages. xfTranslateEvent finds the window record, then the
// translator of the event's type (one short function per row of the table
// below) makes the records.
#include "winsys/xevents.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "winsys/focus.h"
#include "winsys/keyboard.h"
#include "winsys/message_numbers.h"
#include "winsys/peer.h"
#include "winsys/selection.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

// A translator: stores its records and count and answers 0, or answers
// non-zero to let the caller finish (one ZWM_NULL when it made nothing).
using Translator = int (*)(XfWindow* w, XEvent* ev, XfMessage* records[2], int* count);

XfMessage* make(XfWindow* w, uint32_t number, XfMessage* records[2], int* count) {
  XfMessage* m = xfNewMsg(w);
  m->number = number;
  records[(*count)++] = m;
  return m;
}

void note_input(uint32_t state, Time time) {
  xf().xlate.last_state = state;
  xf().xlate.last_time = static_cast<uint32_t>(time);
}

int t_expose(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XExposeEvent& e = ev->xexpose;
  XfMessage* m = make(w, ZWM_PAINT, r, n);
  m->mp1 = xf_pack(e.x, e.y);
  m->mp2 = xf_pack(e.width, e.height);
  return 0;
}

int t_motion(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XMotionEvent& e = ev->xmotion;
  XfMessage* m = make(w, ZWM_MOUSEMOVE, r, n);
  m->mp1 = xf_mouse_mp1(e.x, e.y, e.state);
  m->mp2 = xf_mouse_mp2(e.x_root, e.y_root, static_cast<uint32_t>(e.time));
  m->time = static_cast<uint32_t>(e.time);
  xf().xlate.last_state = e.state;
  return 0;
}

// Unicode keysyms of Latin-1 characters are those characters' own keysyms;
// every other keysym keeps its full value.
unsigned long latin1_keysym(unsigned long keysym) {
  if (keysym >= 0x1000020 && keysym <= 0x10000FF) return keysym - 0x1000000;
  return keysym;
}

int t_key_press(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  XKeyEvent& e = ev->xkey;
  unsigned long keysym = latin1_keysym(xfLookupKeysym(ev));
  XfMessage* m = make(w, ZWM_CHAR, r, n);
  m->mp1 = xf_key_mp1(keysym, e.state);
  m->mp2 = static_cast<intptr_t>(e.keycode);
  m->time = static_cast<uint32_t>(e.time);
  note_input(e.state, e.time);
  return 0;
}

int t_key_release(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  XKeyEvent& e = ev->xkey;
  unsigned long keysym = xfLookupKeysym(ev);
  bool alt = keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R ||
             keysym == XK_Mode_switch;
  if (!alt) return 1;
  XfMessage* m = make(w, ZWM_ALTUP, r, n);
  m->mp1 = xf_key_mp1(XK_Alt_L, e.state);
  m->mp2 = static_cast<intptr_t>(e.keycode);
  m->time = static_cast<uint32_t>(e.time);
  note_input(e.state, e.time);
  return 0;
}

// Buttons 4 and 5 are the wheel (and 6, 7 the horizontal wheel, which
// nothing uses): never a right click.
int t_button(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XButtonEvent& e = ev->xbutton;
  bool press = ev->type == ButtonPress;
  note_input(e.state, e.time);
  if (e.button >= 4 && e.button <= 7) {
    if (!press || e.button > 5) return 1;
    XfMessage* m = make(w, ZWM_WHEEL, r, n);
    m->mp1 = e.button == 4 ? -1 : 1;
    m->mp2 = xf_pack(e.x_root, e.y_root);
    m->time = static_cast<uint32_t>(e.time);
    return 0;
  }
  uint32_t number = e.button == 1 ? ZWM_LBUTTONDOWN : e.button == 2 ? ZWM_MBUTTONDOWN : ZWM_RBUTTONDOWN;
  if (!press) number += ZWM_LBUTTONUP - ZWM_LBUTTONDOWN;
  XfMessage* m = make(w, number, r, n);
  m->mp1 = xf_mouse_mp1(e.x, e.y, e.state);
  m->mp2 = xf_mouse_mp2(e.x_root, e.y_root, static_cast<uint32_t>(e.time));
  m->time = static_cast<uint32_t>(e.time);
  if (press && xf().server.use_take_focus && !xf().focus.active_frame) {
    XfWindow* frame = xfFrameOfWindow(w);
    Display* d = xf_display();
    if (frame && d) XSetInputFocus(d, frame->xwin, RevertToParent, CurrentTime);
  }
  return 0;
}

// The origin of a configured window in root coordinates: a synthetic event
// (the window manager's) already says it; otherwise ask the server.
void configure_origin(XfWindow* w, const XConfigureEvent& e, int* x, int* y) {
  *x = e.x;
  *y = e.y;
  Display* d = xf_display();
  if (e.send_event || !d) return;
  Window child = 0;
  XTranslateCoordinates(d, e.window, xf().conn.root, 0, 0, x, y, &child);
  (void)w;
}

int t_configure(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XConfigureEvent& e = ev->xconfigure;
  int x = 0, y = 0;
  configure_origin(w, e, &x, &y);
  if (x != w->x || y != w->y) {
    XfMessage* m = make(w, ZWM_MOVE, r, n);
    m->mp1 = 0;
    m->mp2 = xf_pack(x, y);
    m->time = 0;
  }
  if (e.width != w->width || e.height != w->height) {
    XfMessage* m = make(w, ZWM_SIZE, r, n);
    m->mp1 = 1;
    m->mp2 = xf_pack(e.width, e.height);
    m->time = 0;
  }
  return *n ? 0 : 1;
}

int t_crossing(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XCrossingEvent& e = ev->xcrossing;
  bool enter = ev->type == EnterNotify;
  XfMessage* m = make(w, enter ? ZWM_POINTERENTER : ZWM_POINTERLEAVE, r, n);
  m->mp1 = enter ? 1 : 0;
  m->mp2 = xf_pack(e.x_root, e.y_root);
  m->time = 0;
  xf().xlate.last_time = static_cast<uint32_t>(e.time);
  return 0;
}

int t_focus(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  make(w, ev->type == FocusIn ? ZWM_XFOCUSIN : ZWM_XFOCUSOUT, r, n);
  return 0;
}

int t_map(XfWindow* w, XEvent*, XfMessage* r[2], int* n) {
  make(w, ZWM_MAPPED, r, n);
  return 0;
}

int t_selection_clear(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  Atom sel = ev->xselectionclear.selection;
  if (sel == xf().atoms.tc_selection) {
    make(w, ZWM_TCSELECTIONLOST, r, n);
    return 0;
  }
  if (sel == XA_PRIMARY || (sel == xf().atoms.clipboard && sel)) {
    make(w, ZWM_SELECTIONLOST, r, n)->mp1 = static_cast<intptr_t>(sel);
    return 0;
  }
  return 1;
}

int t_selection_notify(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XSelectionEvent& e = ev->xselection;
  if (e.selection != XA_PRIMARY) return 1;
  XfMessage* m = make(w, ZWM_SELECTIONNOTIFY, r, n);
  m->mp1 = static_cast<intptr_t>(e.property);
  m->mp2 = static_cast<intptr_t>(e.target);
  return 0;
}

int t_selection_request(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XSelectionRequestEvent& e = ev->xselectionrequest;
  if (e.selection != XA_PRIMARY && (e.selection != xf().atoms.clipboard || !e.selection)) return 1;
  XfMessage* m = make(w, ZWM_SELECTIONREQUEST, r, n);
  xf().xlate.pending_selection = e.selection;
  m->mp1 = static_cast<intptr_t>(e.requestor);
  m->mp2 = static_cast<intptr_t>(e.property);
  xf().xlate.pending_target = e.target;
  xf().xlate.last_time = static_cast<uint32_t>(e.time);
  return 0;
}

int t_client_message(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XClientMessageEvent& e = ev->xclient;
  const XfAtoms& a = xf().atoms;
  if (e.message_type == a.zorvex_sync && a.zorvex_sync && e.format == 32) {
    // Answered by the next idle mark, once everything before it is handled.
    xf().queues.sync_token = e.data.l[0];
    xf().queues.busy = true;
    return 1;
  }
  if (e.message_type == a.wm_protocols && e.format == 32) {
    Atom protocol = static_cast<Atom>(e.data.l[0]);
    if (protocol == a.wm_delete_window) {
      make(w, ZWM_WMDELETE, r, n);
      return 0;
    }
    if (protocol == a.wm_take_focus) {
      make(w, ZWM_TAKEFOCUS, r, n);
      return 0;
    }
    return 1;
  }
  if (e.message_type == a.tc_command && a.tc_command) {
    uint32_t number = 0;
    intptr_t mp1 = 0, mp2 = 0;
    if (!xfPeerDecodeCommand(&e, &number, &mp1, &mp2)) return 1;
    XfMessage* m = make(w, number, r, n);
    m->mp1 = mp1;
    m->mp2 = mp2;
    return 0;
  }
  return 1;
}

int t_property(XfWindow* w, XEvent* ev, XfMessage* r[2], int* n) {
  const XPropertyEvent& e = ev->xproperty;
  const XfAtoms& a = xf().atoms;
  uint32_t number = 0;
  if (e.atom == a.ps_databuffer && a.ps_databuffer) number = ZWM_DATABUFFERCHANGED;
  if (e.atom == a.tc_databuffer && a.tc_databuffer) number = ZWM_TCDATABUFFERCHANGED;
  if (!number) return 1;
  XfMessage* m = make(w, number, r, n);
  m->mp1 = e.state;
  m->mp2 = static_cast<intptr_t>(e.atom);
  return 0;
}

// A new keyboard map: Xlib's copy, and our cached keycodes and masks.
int t_mapping(XfWindow*, XEvent* ev, XfMessage* [2], int*) {
  if (ev->xmapping.request == MappingKeyboard || ev->xmapping.request == MappingModifier) {
    if (xf_display()) XRefreshKeyboardMapping(&ev->xmapping);
    xf_keyboard_mapping_changed();
  }
  return 1;
}

struct TranslatorRow {
  int type;
  Translator fn;
};

// X event type -> translator. Types absent here become ZWM_NULL.
constexpr TranslatorRow kTranslators[] = {
    {KeyPress, t_key_press},
    {KeyRelease, t_key_release},
    {ButtonPress, t_button},
    {ButtonRelease, t_button},
    {MotionNotify, t_motion},
    {EnterNotify, t_crossing},
    {LeaveNotify, t_crossing},
    {FocusIn, t_focus},
    {FocusOut, t_focus},
    {Expose, t_expose},
    {MapNotify, t_map},
    {ConfigureNotify, t_configure},
    {PropertyNotify, t_property},
    {SelectionClear, t_selection_clear},
    {SelectionRequest, t_selection_request},
    {SelectionNotify, t_selection_notify},
    {ClientMessage, t_client_message},
    {MappingNotify, t_mapping},
};
static_assert(sizeof kTranslators / sizeof kTranslators[0] == 18);

struct TranslatorTable {
  Translator slots[kTranslatorSlots] = {};
};

constexpr TranslatorTable build_table() {
  TranslatorTable t;
  for (const auto& row : kTranslators) t.slots[row.type] = row.fn;
  return t;
}

constexpr TranslatorTable kTable = build_table();

// Which window an event is about: the field each type reports it in.
Window event_window(const XEvent* ev) {
  switch (ev->type) {
    case SelectionRequest:
      return ev->xselectionrequest.owner;
    case MappingNotify:
      return 0;
    case ConfigureNotify:
      return ev->xconfigure.window;
    case MapNotify:
      return ev->xmap.window;
    case UnmapNotify:
      return ev->xunmap.window;
    case DestroyNotify:
      return ev->xdestroywindow.window;
    case ReparentNotify:
      return ev->xreparent.window;
    case GravityNotify:
      return ev->xgravity.window;
    case CirculateNotify:
      return ev->xcirculate.window;
    default:
      return ev->xany.window;
  }
}

}  // namespace

void xfInitEventTranslators() {}  // the table is built at compile time

void xfTranslateEvent(XEvent* ev, XfWindow** window_out, XfMessage* records[2], int* count, bool) {
  *count = 0;
  // An outgoing transfer's events concern the requestor's window, not ours.
  if (xf_sel_transfer_event(ev)) {
    if (window_out) *window_out = xf().main_window;
    make(xf().main_window, ZWM_NULL, records, count);
    return;
  }
  XfWindow* w = xfFindWindow(event_window(ev));
  if (!w) {
    w = xf().main_window;
    if (ev->type != PropertyNotify && ev->type != MappingNotify) {
      make(w, ZWM_NULL, records, count);
      if (window_out) *window_out = w;
      return;
    }
  }
  if (window_out) *window_out = w;
  Translator fn = ev->type >= 0 && ev->type < kTranslatorSlots ? kTable.slots[ev->type] : nullptr;
  // A property of an unknown window with no main window yet has no owner.
  if (fn && (w || ev->type == MappingNotify) && fn(w, ev, records, count) == 0) return;
  if (*count == 0) make(w, ZWM_NULL, records, count);
}

unsigned long xfLookupKeysym(XEvent* ev) {
  XfEventSource& src = xf().events;
  return src.keysym ? src.keysym(src.ctx, &ev->xkey) : NoSymbol;
}

uint32_t xfQueryLastEventState() { return xf().xlate.last_state; }
uint32_t xfLastEventTime() { return xf().xlate.last_time; }
Atom xf_pending_selection_target() { return xf().xlate.pending_target; }
Atom xf_pending_selection() { return xf().xlate.pending_selection; }

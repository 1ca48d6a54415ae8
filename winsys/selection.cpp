// Selections: owned data, fetches with their caches, serving requests, and
// outgoing INCR transfers as records driven by the requestors' events.
// Start reading at xf_sel_set and xfServeSelection, then xf_sel_get.
#include "winsys/selection.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/sel_receive.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"

struct XfClipEntry {
  Atom format = 0;
  std::vector<uint8_t> data;  // capacity is the buffer's size
  size_t length = 0;
  bool valid = false;
};

struct XfClipCache {
  std::vector<uint8_t> data;
  Atom format = 0;
  uint32_t time = 0;
  bool full = false;
};

struct XfSelState {
  std::vector<XfClipEntry> entries;  // in order of first use
  bool owned = false;
  XfClipCache data_cache, query_cache;
  int last_result = -1;
  bool stalled = false;  // the last fetch failed for want of an answer
};

// One INCR transfer to a requestor: waits for it to delete the property,
// then writes the next chunk; after the empty chunk is taken, it is done.
struct XfOutgoing {
  Window requestor = 0;
  Atom property = 0, target = 0;
  std::vector<uint8_t> data;
  size_t offset = 0;
  bool final_sent = false;
  uint32_t last_ms = 0;
};

struct XfSelections {
  XfSelState sel[2];
  std::vector<Atom> format_atoms;
  std::vector<std::string> format_names;
  std::vector<XfOutgoing> outgoing;
  Window stalled_owner = 0;  // the last owner that left a request unanswered
  uint32_t stalled_at = 0;
};

namespace {

XfSelections& SS() {
  XfSystem& s = xf();
  if (!s.sel) {
    s.sel = new XfSelections;
    s.free_sel = [](XfSelections* p) { delete p; };
  }
  return *s.sel;
}

XfSelState& state(XfSel sel) { return SS().sel[static_cast<int>(sel)]; }

Atom sel_atom(XfSel sel) { return sel == XfSel::primary ? XA_PRIMARY : xf().atoms.clipboard; }

// Format 1 is the window API's text format, STRING.
Atom real_format(Atom format) { return format == 1 ? XA_STRING : format; }

uint32_t now_ms() { return xf().clock.now_ms(xf().clock.ctx); }

bool fresh(const XfClipCache& c, Atom format) {
  return c.full && c.format == format && now_ms() - c.time < kClipCacheMs;
}

XfClipEntry* find_entry(XfSelState& st, Atom format) {
  for (auto& e : st.entries)
    if (e.format == format) return &e;
  return nullptr;
}

Window main_xwin() { return xf().main_window ? xf().main_window->xwin : 0; }

// ----- waiting for the owner's events -----

// Takes events until `want` accepts one; the others are translated and
// queued for later (paints merged). False when none came within
// kOwnerAnswerMs of the call, however many other events arrived.
template <class Want>
bool wait_event(Want want, XEvent* out) {
  XfEventSource& src = xf().events;
  const uint32_t asked = now_ms();
  for (;;) {
    if (src.pending(src.ctx) > 0) {
      src.next(src.ctx, out);
      if (want(*out)) return true;
      xf_queue_event(out);
      continue;
    }
    const uint32_t waited = now_ms() - asked;
    if (waited >= kOwnerAnswerMs) return false;
    src.wait(src.ctx, std::min<uint32_t>(50, kOwnerAnswerMs - waited));
  }
}

// The owner left a request of ours unanswered.
void owner_stalled(Window owner) {
  SS().stalled_owner = owner;
  SS().stalled_at = now_ms();
}
bool recently_stalled(Window owner) {
  return owner != None && owner == SS().stalled_owner && now_ms() - SS().stalled_at < kStalledOwnerMs;
}

// ----- the real property source: PS_DATABUFFER on the main window -----

struct LiveSource {
  Display* d;
  Window win;
  Atom prop;
  unsigned char* held = nullptr;  // Xlib's copy of the last value
  bool incr = false;
  bool stalled = false;  // a chunk did not come in time
  ~LiveSource() {
    if (held) XFree(held);
  }
};

bool live_read(LiveSource* s, XfPropValue* out, Bool remove) {
  if (s->held) XFree(s->held);
  s->held = nullptr;
  Atom type = None;
  int format = 0;
  unsigned long nitems = 0, after = 0;
  // Long enough for the cap: the server sends what there is.
  long want = static_cast<long>(kMaxSelectionBytes / 4 + 1);
  if (XGetWindowProperty(s->d, s->win, s->prop, 0, want, remove, AnyPropertyType, &type, &format, &nitems, &after,
                         &s->held) != Success)
    return false;
  if (after > 0) return false;  // larger than the cap
  out->type = type;
  out->format = format;
  out->nitems = nitems;
  out->data = s->held;
  size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
  out->bytes = s->held ? nitems * unit : 0;
  return true;
}

bool live_next(void* ctx, XfPropValue* out) {
  auto* s = static_cast<LiveSource*>(ctx);
  if (!s->incr) return live_read(s, out, False);
  // The next chunk: wait for the new value, then read and delete it in one
  // request (the deletion asks the owner for the chunk after).
  XEvent ev;
  bool got = wait_event(
      [s](const XEvent& e) {
        return e.type == PropertyNotify && e.xproperty.window == s->win && e.xproperty.atom == s->prop &&
               e.xproperty.state == PropertyNewValue;
      },
      &ev);
  if (!got) s->stalled = true;
  return got && live_read(s, out, True);
}

bool live_begin_incr(void* ctx) {
  auto* s = static_cast<LiveSource*>(ctx);
  s->incr = true;
  XDeleteProperty(s->d, s->win, s->prop);
  XFlush(s->d);
  return true;
}

// Asks the owner of `sel` for `format` and reads the answer. 0 or -1;
// *stalled tells whether the owner failed to answer in time (now or a
// moment ago).
int fetch(XfSel sel, Atom format, std::vector<uint8_t>* out, bool* stalled) {
  out->clear();
  *stalled = false;
  Display* d = xf_display();
  Window win = main_xwin();
  Atom selection = sel_atom(sel);
  if (!d || !win || !selection) return -1;
  const Window owner = XGetSelectionOwner(d, selection);
  if (owner == None) return -1;
  if (recently_stalled(owner)) {
    *stalled = true;
    return -1;
  }
  Atom prop = xf().atoms.ps_databuffer;
  XWindowAttributes attrs{};
  XGetWindowAttributes(d, win, &attrs);
  XSelectInput(d, win, attrs.your_event_mask | PropertyChangeMask);
  XDeleteProperty(d, win, prop);
  Time t = xfLastEventTime() ? xfLastEventTime() : CurrentTime;
  XConvertSelection(d, selection, format, prop, win, t);
  XFlush(d);
  XEvent ev;
  int result = -1;
  bool notified = wait_event(
      [&](const XEvent& e) {
        return e.type == SelectionNotify && e.xselection.requestor == win && e.xselection.selection == selection;
      },
      &ev);
  if (!notified) {
    owner_stalled(owner);
    *stalled = true;
  } else if (ev.xselection.property != None) {
    LiveSource live{d, win, prop};
    Atom alias = format == XA_STRING ? xf().atoms.utf8_string : None;
    result =
        xf_receive_selection(XfPropertySource{live_next, live_begin_incr, &live}, format, xf().atoms.incr, out, alias);
    if (result != 0 && live.stalled) {
      owner_stalled(owner);
      *stalled = true;
    }
  }
  XDeleteProperty(d, win, prop);
  XSelectInput(d, win, attrs.your_event_mask);
  XFlush(d);
  // Notices of our own property changes are of no use any more.
  XSync(d, False);
  XEvent junk;
  while (XCheckTypedWindowEvent(d, win, PropertyNotify, &junk)) {
  }
  return result;
}

int fetch_into(XfSel sel, XfClipCache* cache, Atom format) {
  XfSelState& st = state(sel);
  std::vector<uint8_t> data;
  if (fetch(sel, format, &data, &st.stalled) != 0) {
    *cache = XfClipCache{};
    st.last_result = -1;
    return -1;
  }
  cache->data = std::move(data);
  cache->format = format;
  cache->time = now_ms();
  cache->full = true;
  st.last_result = 1;
  return 0;
}

void copy_out(const uint8_t* data, size_t length, std::vector<uint8_t>* out) { out->assign(data, data + length); }

// ----- serving -----

void notify(Display* d, Window requestor, Atom selection, Atom target, Atom property, Time time) {
  XEvent ev{};
  ev.xselection.type = SelectionNotify;
  ev.xselection.requestor = requestor;
  ev.xselection.selection = selection;
  ev.xselection.target = target;
  ev.xselection.property = property;
  ev.xselection.time = time;
  XSendEvent(d, requestor, False, 0, &ev);
}

// The entry that answers `target`: its own, or for the text targets the
// STRING entry (our text is bytes).
const XfClipEntry* entry_for(XfSelState& st, Atom target) {
  const XfAtoms& a = xf().atoms;
  if (const XfClipEntry* e = find_entry(st, target); e && e->valid) return e;
  if (target == a.utf8_string || target == a.text) {
    const XfClipEntry* e = find_entry(st, XA_STRING);
    if (e && e->valid) return e;
  }
  return nullptr;
}

bool serve_targets(Display* d, XfSelState& st, Window requestor, Atom property) {
  const XfAtoms& a = xf().atoms;
  std::vector<long> list{static_cast<long>(a.targets)};
  for (const auto& e : st.entries) {
    if (!e.valid) continue;
    list.push_back(static_cast<long>(e.format));
    if (e.format == XA_STRING) {
      list.push_back(static_cast<long>(a.utf8_string));
      list.push_back(static_cast<long>(a.text));
    }
  }
  XChangeProperty(d, requestor, property, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
  return true;
}

void drop_transfer(size_t i) {
  auto& out = SS().outgoing;
  if (Display* d = xf_display()) XSelectInput(d, out[i].requestor, NoEventMask);
  out.erase(out.begin() + static_cast<long>(i));
}

// Transfers whose requestor went quiet are given up.
void drop_stale() {
  auto& out = SS().outgoing;
  for (size_t i = out.size(); i-- > 0;)
    if (now_ms() - out[i].last_ms >= kTransferSilenceMs) drop_transfer(i);
}

void write_chunk(Display* d, XfOutgoing& t) {
  size_t chunk = std::min<size_t>(t.data.size() - t.offset, std::max<uint32_t>(xf().values.transfer_size, 1));
  XChangeProperty(d, t.requestor, t.property, t.target, 8, PropModeReplace, t.data.data() + t.offset,
                  static_cast<int>(chunk));
  t.offset += chunk;
  if (chunk == 0) t.final_sent = true;
  t.last_ms = now_ms();
  XFlush(d);
}

}  // namespace

Atom xfRegisterClipFormat(const char* name) {
  Display* d = xf_display();
  if (!d || !name) return None;
  Atom atom = XInternAtom(d, name, False);
  SS().format_atoms.push_back(atom);
  SS().format_names.emplace_back(name);
  return atom;
}

void xf_sel_empty(XfSel sel) {
  for (auto& e : state(sel).entries) e.valid = false;
}

int xf_sel_set(XfSel sel, Atom format, const void* data, size_t length) {
  format = real_format(format);
  XfSelState& st = state(sel);
  XfClipEntry* e = find_entry(st, format);
  if (!e) {
    st.entries.push_back(XfClipEntry{format, {}, 0, false});
    e = &st.entries.back();
  }
  if (e->data.size() < length) e->data.assign(length, 0);  // reused when large enough
  if (length) std::memcpy(e->data.data(), data, length);
  e->length = length;
  if (!st.owned) {
    Display* d = xf_display();
    Window win = main_xwin();
    if (d && win && sel_atom(sel)) {
      XSetSelectionOwner(d, sel_atom(sel), win, CurrentTime);
      st.owned = XGetSelectionOwner(d, sel_atom(sel)) == win;
    }
  }
  e->valid = true;
  return 0;
}

int xf_sel_get(XfSel sel, Atom format, std::vector<uint8_t>* out) {
  format = real_format(format);
  XfSelState& st = state(sel);
  out->clear();
  st.stalled = false;
  if (st.owned) {
    XfClipEntry* e = find_entry(st, format);
    if (!e || !e->valid) return -1;
    copy_out(e->data.data(), e->length, out);
    return 0;
  }
  XfClipCache* from = nullptr;
  if (fresh(st.query_cache, format)) {
    from = &st.query_cache;
  } else if (fresh(st.data_cache, format)) {
    from = &st.data_cache;
  } else {
    if (fetch_into(sel, &st.data_cache, format) != 0) return -1;
    from = &st.data_cache;
  }
  copy_out(from->data.data(), from->data.size(), out);
  return 0;
}

int xf_sel_available(XfSel sel, Atom format) {
  format = real_format(format);
  XfSelState& st = state(sel);
  st.stalled = false;
  if (st.owned) {
    XfClipEntry* e = find_entry(st, format);
    return e && e->valid ? 1 : 0;
  }
  if (fresh(st.query_cache, format) || fresh(st.data_cache, format)) return 1;
  return fetch_into(sel, &st.query_cache, format) == 0 ? 1 : 0;
}

bool xf_sel_owned(XfSel sel) { return state(sel).owned; }

bool xf_sel_stalled(XfSel sel) { return state(sel).stalled; }

void xf_sel_lost(Atom selection) {
  if (selection == XA_PRIMARY) state(XfSel::primary).owned = false;
  if (selection == xf().atoms.clipboard && selection) state(XfSel::clipboard).owned = false;
}

void xfEmptyClipboard() { xf_sel_empty(XfSel::primary); }
int xfSetClipData(Atom format, const void* data, size_t length) {
  return xf_sel_set(XfSel::primary, format, data, length);
}
int xfSetClipboardData(Atom format, const void* data, size_t length) {
  xfSetClipData(format, data, length);
  return 1;
}
int xfGetClipData(Atom format, std::vector<uint8_t>* out) { return xf_sel_get(XfSel::primary, format, out); }
int xfGetClipboardData(Atom format, std::vector<uint8_t>* out) { return xfGetClipData(format, out) == 0 ? 1 : 0; }
int xfIsClipFormatAvailable(Atom format) { return xf_sel_available(XfSel::primary, format); }
void xfSelectionLost() { xf_sel_lost(XA_PRIMARY); }

void xfServeSelection(XfWindow*, Atom selection, Window requestor, Atom target, Atom property) {
  Display* d = xf_display();
  if (!d) return;
  drop_stale();
  Time time = xfLastEventTime();
  XfSel sel = selection == XA_PRIMARY ? XfSel::primary : XfSel::clipboard;
  XfSelState& st = state(sel);
  Atom answer = None;
  if (property != None && st.owned) {
    if (target == xf().atoms.targets && target) {
      if (serve_targets(d, st, requestor, property)) answer = property;
    } else if (const XfClipEntry* e = entry_for(st, target)) {
      size_t length = e->length;
      while (length > 0 && e->data[length - 1] == 0) --length;  // trailing zeros are not served
      answer = property;
      if (length <= xf().values.transfer_size) {
        XChangeProperty(d, requestor, property, target, 8, PropModeReplace, e->data.data(), static_cast<int>(length));
      } else {
        // INCR: the header now, the chunks as the requestor takes them.
        XfOutgoing t{requestor, property, target,  {e->data.begin(), e->data.begin() + long(length)},
                     0,         false,    now_ms()};
        XSelectInput(d, requestor, PropertyChangeMask | StructureNotifyMask);
        long size = static_cast<long>(length);
        XChangeProperty(d, requestor, property, xf().atoms.incr, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        SS().outgoing.push_back(std::move(t));
      }
    }
  }
  notify(d, requestor, selection, target, answer, time);
  XFlush(d);
}

bool xf_sel_transfer_event(const XEvent* ev) {
  if (!xf().sel || SS().outgoing.empty()) return false;
  auto& out = SS().outgoing;
  if (ev->type == DestroyNotify) {
    bool any = false;
    for (size_t i = out.size(); i-- > 0;)
      if (out[i].requestor == ev->xdestroywindow.window) {
        out.erase(out.begin() + static_cast<long>(i));  // the window is gone: nothing to deselect
        any = true;
      }
    return any;
  }
  if (ev->type != PropertyNotify) return false;
  const XPropertyEvent& p = ev->xproperty;
  for (size_t i = 0; i < out.size(); ++i) {
    XfOutgoing& t = out[i];
    if (t.requestor != p.window || t.property != p.atom) continue;
    if (p.state != PropertyDelete) {
      t.last_ms = now_ms();  // our own write showing up
      return true;
    }
    if (t.final_sent) {
      drop_transfer(i);
    } else if (Display* d = xf_display()) {
      write_chunk(d, t);
    }
    return true;
  }
  return false;
}

int xf_sel_transfers() { return xf().sel ? static_cast<int>(SS().outgoing.size()) : 0; }

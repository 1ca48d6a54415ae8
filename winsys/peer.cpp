#include "winsys/peer.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <vector>

#include "winsys/message_numbers.h"
#include "winsys/xfsys.h"

namespace {

XfPeer& P() { return xf().peer; }

// Messages another client may deliver with TC_COMMAND: their parameters are
// plain integers. Anything that carries an address (a text, a rectangle, a
// font) is refused, so no client on the display can make us follow a
// pointer of its choosing.
constexpr uint32_t kPeerCommands[] = {
    ZWM_PEERLISTREQUEST,  // mp1 a window id, mp2 a property atom
    ZWM_COMMAND,          // mp1 a command id, mp2 its source code
    ZWM_CLOSE,
};

// The most ids read from one TC_DATABUFFER (32-bit units, count included).
constexpr long kDataBufferItems = 1024;

}  // namespace

bool xf_peer_command_allowed(uint32_t number) {
  return std::find(std::begin(kPeerCommands), std::end(kPeerCommands), number) != std::end(kPeerCommands);
}

void peer_add(uint32_t id) {
  DynArray<uint32_t>& list = P().list;
  for (int32_t i = 0; i < list.count; ++i) {
    if (list.data[i] == id) return;
  }
  dynarray_append(&list, id);
}

void peer_register_frame(XfWindow* frame) {
  XfPeer& p = P();
  if (p.own_selection) return;
  if (Display* d = xf_display()) XSetSelectionOwner(d, xf().atoms.tc_selection, frame->xwin, CurrentTime);
  p.own_selection = true;
  peer_add(static_cast<uint32_t>(frame->xwin));
}

void peer_selection_lost() { P().own_selection = false; }

void peer_send_list(XfWindow*, Window requestor, Atom property) {
  Display* d = xf_display();
  if (!d) return;
  DynArray<uint32_t>& list = P().list;
  std::vector<long> items;
  items.push_back(list.count);
  for (int32_t i = 0; i < list.count; ++i) items.push_back(static_cast<long>(list.data[i]));
  // A requestor that has gone gives an X error, which is reported and
  // survived; the list stays as it was.
  XChangeProperty(d, requestor, property, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(items.data()), static_cast<int>(items.size()));
  XFlush(d);
}

void xf_peer_merge(std::span<const long> items) {
  if (items.empty()) return;
  long n = items[0];
  auto present = static_cast<long>(items.size()) - 1;
  if (n > present) n = present;
  for (long i = 1; i <= n; ++i) peer_add(static_cast<uint32_t>(items[static_cast<size_t>(i)]));
}

void peer_read_list(XfWindow* frame) {
  Display* d = xf_display();
  if (!d || !frame) return;
  Atom type = 0;
  int format = 0;
  unsigned long nitems = 0, after = 0;
  unsigned char* data = nullptr;
  int r = XGetWindowProperty(d, frame->xwin, xf().atoms.tc_databuffer, 0, kDataBufferItems, False, AnyPropertyType,
                             &type, &format, &nitems, &after, &data);
  // Only a list of 32-bit items is a window list; anything else is ignored.
  if (r == Success && data && format == 32)
    xf_peer_merge(std::span<const long>(reinterpret_cast<const long*>(data), nitems));
  if (data) XFree(data);
}

std::span<const uint32_t> xf_peer_list() {
  const DynArray<uint32_t>& list = P().list;
  return {list.data, static_cast<size_t>(list.count)};
}

bool xf_peer_owns_selection() { return P().own_selection; }

bool xfPeerDecodeCommand(const XClientMessageEvent* event, uint32_t* number, intptr_t* mp1, intptr_t* mp2) {
  if (event->format != 32) return false;
  auto n = static_cast<uint32_t>(event->data.l[0]);
  if (!xf_peer_command_allowed(n)) return false;
  *number = n;
  // The items are 32-bit on the wire; Xlib widens them to long.
  *mp1 = static_cast<intptr_t>(static_cast<uint32_t>(event->data.l[1]));
  *mp2 = static_cast<intptr_t>(static_cast<uint32_t>(event->data.l[2]));
  return true;
}

void xfOwnPrimary(XfWindow* window) {
  if (Display* d = xf_display()) XSetSelectionOwner(d, XA_PRIMARY, window->xwin, CurrentTime);
}

bool xfIsOpenWindowsServer() {
  Display* d = xf_display();
  if (!d) return false;
  return XInternAtom(d, "_SUN_SUNVIEW_ENV", True) != None && XInternAtom(d, "_SUN_LED_MAP", True) != None;
}

void xfFlush() {
  if (Display* d = xf_display()) XFlush(d);
}

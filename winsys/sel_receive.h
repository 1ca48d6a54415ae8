// Reading selection data that another client converted for us: the first
// property value, and the INCR chunks that follow it. Everything the owner
// sends is untrusted: the announced INCR size is only a hint, every length
// is checked against the bytes actually handed over, and the total is
// capped, so a lying or hostile owner gets a refusal, never an overrun.
//
// The property values come through a small source (the connection seam):
// the real one reads PS_DATABUFFER on our window, tests and the fuzz target
// hand out values they made up.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// One property value as Xlib hands it out: `bytes` is what `data` holds (for
// format 32 Xlib widens each item to a long, so 8 bytes an item here).
struct XfPropValue {
  Atom type = 0;  // None: the property does not exist
  int format = 0;
  unsigned long nitems = 0;
  const unsigned char* data = nullptr;
  size_t bytes = 0;
};

struct XfPropertySource {
  // The next value: the first call gives the converted value, later calls
  // the next INCR chunk (the source waits for it). False: nothing came.
  bool (*next)(void* ctx, XfPropValue* out) = nullptr;
  // The receiver accepted an INCR header: the source starts the transfer
  // (deletes the property). False: it could not.
  bool (*begin_incr)(void* ctx) = nullptr;
  void* ctx = nullptr;
};

// The most bytes one transfer may bring in; more is refused.
inline constexpr size_t kMaxSelectionBytes = 64u << 20;

// The bytes of a value's items (1, 2 or 4 per item for formats 8, 16, 32),
// appended to `out`; false when the value is malformed (unknown format,
// items beyond the bytes handed over) or `out` would pass `cap`.
bool xf_prop_append(const XfPropValue& value, std::vector<uint8_t>* out, size_t cap = kMaxSelectionBytes);

// Receives one converted selection of type `wanted`: a plain value of that
// type, or an INCR transfer (`incr` the INCR atom). 0 with `out` holding the
// received bytes (an INCR transfer must bring at least one); -1 otherwise,
// with `out` empty. `alias`, when given, is accepted as well as `wanted`
// (owners that answer a request for STRING with UTF8_STRING).
int xf_receive_selection(const XfPropertySource& source, Atom wanted, Atom incr, std::vector<uint8_t>* out,
                         Atom alias = 0);

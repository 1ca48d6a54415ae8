// The clipboard of the window API, carried over the X selections PRIMARY
// and CLIPBOARD.
//
// While the program owns a selection it answers requests from its table of
// owned data, one entry per format (an X atom; format 1 stands for STRING).
// Otherwise it asks the owner to convert into PS_DATABUFFER on the main
// window and reads the result (sel_receive.h), keeping what it read for
// 500 ms. Data larger than the transfer size go by INCR both ways. Sending
// by INCR never blocks: each transfer in progress is a record that moves on
// when the requestor deletes the property (PropertyNotify of the
// requestor's own window), and ends when it is done, dies or goes quiet.
//
// The spec-named calls (xfSetClipboardData and friends) work on PRIMARY;
// the xf_sel_ calls take the selection.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "winsys/window_rec.h"

enum class XfSel : uint8_t { primary = 0, clipboard = 1 };

// A fetch's data stays fresh this long.
inline constexpr uint32_t kClipCacheMs = 500;
// A transfer with no sign of life for this long is given up (about 101
// empty polls of 50 ms).
inline constexpr uint32_t kTransferSilenceMs = 5050;
// An owner that has not answered one of our requests this long after it
// was made is given up: the user is waiting for a paste, and whatever
// else arrives in between does not make the owner any more alive.
inline constexpr uint32_t kOwnerAnswerMs = 1000;
// An owner given up is not asked again for this long, so that the several
// requests of one paste (formats of both selections) cost one wait, not
// one each.
inline constexpr uint32_t kStalledOwnerMs = 5000;

// Interns a format name; the atom (also kept in the registered lists).
Atom xfRegisterClipFormat(const char* name);

// ----- per selection -----
void xf_sel_empty(XfSel sel);
// Stores data of a format and takes the selection when not owned. 0.
int xf_sel_set(XfSel sel, Atom format, const void* data, size_t length);
// A copy of the data of a format (owned or fetched); 0, or -1 when there
// is none; out->size() is the length.
int xf_sel_get(XfSel sel, Atom format, std::vector<uint8_t>* out);
// 1 when data of the format can be had, else 0.
int xf_sel_available(XfSel sel, Atom format);
bool xf_sel_owned(XfSel sel);
// True when the last xf_sel_get or xf_sel_available of the selection
// failed because its owner did not answer in time (or had left a request
// unanswered a moment before).
bool xf_sel_stalled(XfSel sel);
void xf_sel_lost(Atom selection);

// ----- PRIMARY, in the window API's words -----
void xfEmptyClipboard();
int xfSetClipboardData(Atom format, const void* data, size_t length);  // 1
int xfSetClipData(Atom format, const void* data, size_t length);       // 0
int xfGetClipboardData(Atom format, std::vector<uint8_t>* out);        // 1 on success
int xfGetClipData(Atom format, std::vector<uint8_t>* out);             // 0 or -1
int xfIsClipFormatAvailable(Atom format);
void xfSelectionLost();

// Answers one SelectionRequest of `selection` (PRIMARY or CLIPBOARD).
void xfServeSelection(XfWindow* window, Atom selection, Window requestor, Atom target, Atom property);
// Offered to every X event before it is translated: true when it belonged
// to a transfer in progress (PropertyNotify or DestroyNotify of a
// requestor) and was handled.
bool xf_sel_transfer_event(const XEvent* event);
// Outgoing INCR transfers in progress.
int xf_sel_transfers();

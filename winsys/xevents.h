// X events to messages: one translator per X event type, in a table
// indexed by the type. A translator fixes the message number and the packing
// of mp1 and mp2 that every window procedure relies on (message_numbers.h).
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/msgqueue.h"

// Slots of the translator table (X event types 0..34).
inline constexpr int kTranslatorSlots = 35;

// Fills the table; a second call changes nothing.
void xfInitEventTranslators();
// Finds the event's window record and makes one or two records for it
// (records[0], records[1]; *count 1 or 2). An event for a window the layer
// does not know becomes ZWM_NULL for the main window (PropertyNotify and
// MappingNotify are translated for the main window instead).
void xfTranslateEvent(XEvent* ev, XfWindow** window_out, XfMessage* records[2], int* count, bool peek);
unsigned long xfLookupKeysym(XEvent* ev);
uint32_t xfQueryLastEventState();
uint32_t xfLastEventTime();
// The target of the last SelectionRequest for PRIMARY.
Atom xf_pending_selection_target();
// Which selection that request was for (PRIMARY or CLIPBOARD).
Atom xf_pending_selection();

// The window system's three seams: the X connection, the event source and
// the clock.
//
// Everything that needs no server (queue order, motion collapse, paint
// merging, the idle sleep sequence, timers) runs through these, so tests
// drive it with a fake event source and a fake clock and no display at all.
// The connection is either a real Display or none: with none, the calls that
// would talk to X are skipped and the logic around them still runs. Nothing
// here imitates Xlib; what touches X is tested against a real server.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// Milliseconds on a monotonic clock, modulo 2^32 (timers use unsigned
// differences, so the wrap-around is harmless).
struct XfClock {
  uint32_t (*now_ms)(void* ctx) = nullptr;
  void* ctx = nullptr;
};

// Where X events come from. The real source reads the display connection;
// a fake one hands out events that a test built by hand.
struct XfEventSource {
  // Events ready now, without blocking (the real one flushes output).
  int (*pending)(void* ctx) = nullptr;
  // Takes the next event; only called when pending() > 0.
  void (*next)(void* ctx, XEvent* out) = nullptr;
  // Copies the next event without taking it; only when pending() > 0.
  void (*peek)(void* ctx, XEvent* out) = nullptr;
  // Returns when input may be pending or after `ms` milliseconds,
  // whichever comes first: the idle wait of the get-message call.
  void (*wait)(void* ctx, uint32_t ms) = nullptr;
  // The keysym of a key event for its state (Xlib's key lookup, no text).
  unsigned long (*keysym)(void* ctx, XKeyEvent* key) = nullptr;
  void* ctx = nullptr;
};

// The real clock (CLOCK_MONOTONIC) and the real event source of a display.
XfClock xf_monotonic_clock();
XfEventSource xf_display_event_source(Display* display);

#pragma once
// The break key: how a long-running loop (the interpreter, a search, the
// regular-expression matcher) learns that the user wants it to stop.
//
// Callers poll evt_break_pressed() as often as they like: it is cheap. It
// answers true at once when a break has been flagged, and asks the keyboard
// only on every kBreakPollInterval-th call, because asking the X server is a
// round trip. The window system plugs its key test in with
// evt_set_break_probe(); until then no key is ever seen held down, and only a
// flagged break (evt_flag_break, used by tests and signal handlers) stops
// anything.

// Calls between two real polls of the keyboard.
inline constexpr int kBreakPollInterval = 400;

// Answers whether the break key (or Ctrl+Alt+Shift) is held down right now.
using BreakProbe = bool (*)();

// True when a break has been flagged, or when this call is one that polls the
// keyboard and the probe reports the key held down. A key seen held down is
// not flagged: a later poll sees it again while it stays down. A flagged break
// stays until evt_clear_break().
bool evt_break_pressed();

// Lowers the countdown to the next keyboard poll to at most n (n >= 1) and
// returns n. The searching built-ins pass 1 so that their next check polls.
int evt_set_break_poll_count(int n);

// Flags a break: the next evt_break_pressed() answers true.
void evt_flag_break();

// Forgets a flagged break; done by whoever handled it.
void evt_clear_break();

// Installs the keyboard test (nullptr: no key is ever held down) and returns
// the previous one. The countdown is reset to a full interval.
BreakProbe evt_set_break_probe(BreakProbe probe);

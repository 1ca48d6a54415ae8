// What the message line needs of the command line's input field, which the
// forms own: making the field inside the status band, and its text.
//
// A program without the forms has no field; the headless answer keeps the
// text in memory so the history and prompt built-ins still work.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct XfWindow;

// Makes the command line's field inside parent; null when none can be made.
XfWindow* cmdline_create(XfWindow* parent, int32_t x, int32_t y, int32_t cx, int32_t cy);
// The command line's text (at most 1024 bytes).
std::string cmdline_get_text();
// A new whole text, the caret at its end, nothing selected.
void cmdline_set_text(std::string_view text);

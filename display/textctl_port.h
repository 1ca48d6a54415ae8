// What the text-control built-ins need of the forms above the display.
//
// The built-ins read and change a text control's input field (its text,
// selection and insert mode), give the current object the focus and find
// the frame's active editor window; the fields, the focus and the frame
// belong to the forms, which define these. A program without the forms has
// no text controls: the text is empty, nothing moves, and there is no
// editor window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"

// The control's text (at most 1024 bytes); empty without a field.
std::string textctl_get_text(WindowObject* ctl);
// The selection's ends, 0-based: the anchor and the caret; both left as they
// are without a field.
void textctl_get_sel(WindowObject* ctl, int32_t* anchor, int32_t* caret);
// A new whole text (ON-CHANGE follows as when typed).
void textctl_set_text(WindowObject* ctl, std::string_view text);
// Selects from anchor to caret, 0-based.
void textctl_set_sel(WindowObject* ctl, int32_t anchor, int32_t caret);
// The field's insert mode: 1 insert, 0 replace (1 without a field).
uint8_t textctl_get_insert(WindowObject* ctl);
void textctl_set_insert(WindowObject* ctl, uint8_t mode);
// Gives the current object the focus with its focus events.
void textctl_focus_current();
// The frame's active editor window: the topmost with a view; null when none.
WindowObject* textctl_active_editor();

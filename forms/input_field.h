// The input field: the one-line text editor of the command line and of every
// text control on a form.
//
// How it works. An InputField holds the text (at most 1024 bytes), the caret,
// the other end of the selection, an insert or overwrite mode and the
// horizontal scroll offset. The editing model below is plain functions on the
// record, so it runs without a window; the window class "zx_input_field"
// turns the edit messages into those calls, raises ON-CHANGE after every
// change of the text and paints the line.
//
// Invariant: 0 <= caret, anchor <= length of the text <= 1024, and selecting
// is exactly (caret != anchor). The caret may stand after the last byte of a
// full field; an insert that would not fit is cut at the capacity.
//
// Start reading at ctl_input_field_proc.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "text/buffer.h"
#include "winsys/win_rect.h"

struct XfWindow;

// Edit messages of the field (mp2 of the text messages is an LStr pointer).
inline constexpr uint32_t ZWM_EDIT_INSERT = 0x101F;
inline constexpr uint32_t ZWM_EDIT_DELETE = 0x1021;
inline constexpr uint32_t ZWM_EDIT_LEFT = 0x1022;
inline constexpr uint32_t ZWM_EDIT_RIGHT = 0x1023;
inline constexpr uint32_t ZWM_EDIT_BACKSPACE = 0x1024;
inline constexpr uint32_t ZWM_EDIT_SETINSERTMODE = 0x1025;
inline constexpr uint32_t ZWM_EDIT_CHARFROMPOS = 0x1026;
inline constexpr uint32_t ZWM_EDIT_QUERYINSERTMODE = 0x1027;
inline constexpr uint32_t ZWM_EDIT_SETSEL = 0x1028;
inline constexpr uint32_t ZWM_EDIT_QUERYSEL = 0x1029;
inline constexpr uint32_t ZWM_EDIT_GETTEXT = 0x1033;
inline constexpr uint32_t ZWM_EDIT_SETTEXT = 0x1034;
// Control messages the field and the forms share.
inline constexpr uint32_t ZWM_INVALIDATE = 12;
inline constexpr uint32_t ZWM_APP_102B = 0x102B;
inline constexpr uint32_t ZWM_OBJEVENT = 0x102D;
inline constexpr uint32_t ZWM_APPLYFONT = 0x1030;

inline constexpr int32_t kFieldCapacity = LSTR_CAP_LINE;
// Colour slots of unselected and selected text.
inline constexpr uint32_t kFieldNormalSlot = 6;
inline constexpr uint32_t kFieldSelectedSlot = 8;

struct InputField {
  LStrLine text{};
  int32_t width = 0;   // client width, pixels
  int32_t height = 0;  // client height, pixels
  int32_t caret = 0;
  int32_t anchor = 0;
  int32_t scroll = 0;  // pixel offset of the first visible pixel
  bool selecting = false;
  XfWindow* window = nullptr;
  uint8_t insert_mode = 1;  // 1 insert, 0 overwrite
  bool caret_shape_changed = false;
  bool caret_moved = false;
  bool paint_requested = false;  // a repaint strip is pending
  bool colours_set = false;
  uint32_t normal_slot = kFieldNormalSlot;
  uint32_t selected_slot = kFieldSelectedSlot;
  WindowObject* owner = nullptr;
  int32_t invalidations = 0;  // strips asked for (the window's, or counted headless)
};

// ---- the editing model (no window needed) ----

std::string_view ifield_text(const InputField& f);
// caret = index clamped to 0..length; the selection is dropped.
void ifield_set_caret(InputField& f, int32_t index);
// anchor = a, caret = c (both clamped); selecting = (caret != anchor).
void ifield_set_sel(InputField& f, int32_t anchor, int32_t caret);
// The anchor (the caret without a selection); *caret receives the caret.
int32_t ifield_query_sel(InputField& f, int32_t* caret);
// Types t at the caret: a shown selection goes first; insert mode inserts,
// overwrite mode replaces the bytes under the caret and extends the text.
// What does not fit in 1024 bytes is cut. The caret moves past t.
void ifield_insert(InputField& f, std::string_view t);
// Deletes the selection (the caret to its lower end), or the byte at the caret.
void ifield_delete(InputField& f);
// Deletes the selection, or the byte before the caret (nothing at 0).
void ifield_backspace(InputField& f);
void ifield_left(InputField& f);
void ifield_right(InputField& f);
// Replaces the text (cut at 1024); caret and anchor stay within it.
void ifield_set_text(InputField& f, std::string_view t);
// Copies the text into out when it fits a positive capacity; false (out
// untouched) when it does not or when the capacity is 0 or less.
bool ifield_get_text(const InputField& f, int32_t capacity, LStr* out);
// Marks the field for a repaint (once until the next paint).
void ifield_invalidate(InputField& f);

// Pixel width of the first n characters, cells past the text counting as
// blanks.
using FieldWidthFn = int32_t (*)(const InputField& f, int32_t n, void* ctx);
// Scrolls so that the caret is visible in a display `view_width` pixels wide
// whose text starts at `text_left`; true when the offset changed.
bool ifield_scroll_to_caret(InputField& f, FieldWidthFn width, void* ctx, int32_t text_left, int32_t view_width);
// The character index under pixel x: with fit, after scrolling to the
// caret, the characters that fit up to x from the scroll offset (one counts
// when more than half of it fits); without, the column under x from the
// text's start.
int32_t ifield_char_from_pos(InputField& f, int32_t x, bool fit, FieldWidthFn width, void* ctx, int32_t text_left,
                             int32_t view_width);

// ---- the window class ----

// Registers "zx_input_field"; 0 or an error code.
int32_t ctl_input_field_register();
// A field window inside parent for owner (an object, or null for a plain
// field); null when it cannot be made.
XfWindow* ctl_input_field_create(XfWindow* parent, WindowObject* owner, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                 uint32_t id);
intptr_t ctl_input_field_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
// The field of a window; null when none.
InputField* ifield_from_hwnd(XfWindow* window);
// The field of a text control object: its window's, or (without a native
// window) one kept for the object until it is closed. Null for objects that
// are not text controls (a combo box gives its edit part's).
InputField* ctl_text_field(WindowObject* obj);
// Scrolls a text control's field to its caret; true when obj is null or the
// offset changed.
bool ctl_text_scroll_to_caret(WindowObject* obj);
// Forgets the headless fields (tests, shutdown).
void ctl_text_fields_reset();

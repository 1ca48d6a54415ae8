// What the text built-ins need of the window layer, and the stand-in used
// until that layer fills it.
//
// A few built-ins reach past the text engine: the line height of a window
// in pixels, the caret of a text-box control, a new edit window for the
// edit command, closing the current object with a result, giving the focus
// to a window, and the clipboard. They call this seam. The window layer
// installs its own functions at start-up; until then the stand-in behaves
// as one full-screen editor window of 25 rows and 80 columns (line height
// 16 pixels), has no text boxes, keeps the clipboard in memory, and answers
// every request for a new edit window with that one window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"
#include "text/edit_cmd.h"

// The caret keys a text-box control takes from the cursor built-ins.
enum class TextBoxKey : uint8_t { Home, End, Left, Right, Backspace, Delete };

struct BiWindowSeam {
  // Pixels per text row of the window.
  int32_t (*line_height)(const WindowObject* w);
  // Whether the object takes the caret keys as a text box (a text control,
  // or the text part of a combo box); then textbox_key handles them.
  bool (*is_text_box)(const WindowObject* w);
  // A caret key on a text box; 0, or an error code to raise.
  int32_t (*textbox_key)(WindowObject* w, TextBoxKey key);
  // A new edit window at the place the edit command asks for, made current;
  // null when none can be made.
  WindowObject* (*new_edit_window)(const EditPlacement& place);
  // Closes the current object, handing `result` to whoever showed it
  // modally; close_flag < 0: not given. 0 or an error code to raise.
  int32_t (*close_current)(const std::string* result, int32_t close_flag);
  // The window system's focus follows a window that became current.
  void (*focus)(WindowObject* w);
  // Puts selected text on the clipboard: the header line of the private
  // format and the text. 0 or an error code.
  int32_t (*clipboard_put)(std::string_view header, std::string_view text);
};

// The seam (the stand-in until the window layer installs itself).
BiWindowSeam& bi_window_seam();
// Puts the stand-in back and forgets its window (tests, shutdown).
void bi_window_reset();
// Connects the seam to the edit command's window requests and, when no
// window is current, makes the stand-in's window current. Called once the
// macro layer starts.
void bi_window_install();

// The stand-in's one window (made on first use) and what it keeps.
WindowObject* bi_standin_window();
inline constexpr int32_t kStandinRows = 25;
inline constexpr int32_t kStandinCols = 80;
inline constexpr int32_t kStandinLineHeight = 16;
// The stand-in clipboard: the last header and text put there.
const std::string& bi_standin_clipboard_header();
const std::string& bi_standin_clipboard_text();

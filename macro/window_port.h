// What the text built-ins need of the windows above them.
//
// A few built-ins reach past the text engine: the line height of a window
// in pixels, the caret of a text-box control, closing the current object
// with a result, giving the focus to a window, and the clipboard. Editor
// windows, controls and the clipboard belong to the layers above, so they
// are declared here and the program defines each once: the forms answer for
// controls, modal forms and the clipboard, the program for its editor
// windows. Without them a window is a grid of 16-pixel rows, nothing is a
// text box, closing quits the window's views and the clipboard is kept in
// memory. (The edit command's new windows: text/edit_window_port.h.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct WindowObject;

// The caret keys a text-box control takes from the cursor built-ins.
enum class TextBoxKey : uint8_t { Home, End, Left, Right, Backspace, Delete };

// Pixels per text row of the window w: its text display's, else its own
// line height, else 16 (also for null).
int32_t window_line_height(const WindowObject* w);
// Whether the object takes the caret keys as a text box (a text control, or
// the text part of a combo box); then window_textbox_key handles them.
bool window_is_text_box(const WindowObject* w);
// A caret key on a text box: 0, or an error code to raise (-2073 for an
// object that is no text box).
int32_t window_textbox_key(WindowObject* w, TextBoxKey key);
// Closes the current object, handing `result` (null: none) to whoever
// showed it modally; close_flag < 0 takes the object's design-mode byte.
// An editor window quits its views. 0, or an error code to raise: -3015 for
// a modal form that is not the innermost, -2073 for a part of another
// object.
int32_t window_close_result(const std::string* result, int32_t close_flag);
// The window system's focus follows a window that became current.
void window_focus(WindowObject* w);
// Puts selected text on the clipboard: the header line of the private
// format and the text. 0 or an error code.
int32_t clip_put_text(std::string_view header, std::string_view text);

// Small services of the GUI that object built-ins and window procedures
// call beside pictures: where the focus goes back to in a form, which
// window has it, a message to the frame, and constant answers of this
// platform (no drives, no text).
#pragma once

#include <cstdint>
#include <string>

#include "text/buffer.h"

// The window obj_focus_top_level gives the focus to: the remembered focus
// object of obj's top-level object when that is a live object of the same
// top level with a window, else the top-level object's inner window. Null
// when there is none.
XfWindow* obj_focus_target(WindowObject* obj);
void obj_focus_top_level(WindowObject* obj);
// The top-level object of obj remembers obj as its focus object.
void obj_remember_focus(WindowObject* obj);
// Gives the focus to the owner window of obj's outer window, when it has one.
void obj_focus_owner(WindowObject* obj);
// Whether obj's inner window has the input focus.
bool obj_has_focus(const WindowObject* obj);
// The window with the input focus.
XfWindow* app_query_focus();
// Message 4142 to the application frame's inner window, which runs the
// macro procedure at names index `index` once the editor is idle, with a
// heap copy of `argument` (a counted text: NUL bytes stay) that the frame
// deletes (null: no argument). False, and nothing posted, without a frame.
inline constexpr uint32_t kMsgFrame4142 = 4142;
bool app_post_frame_event(int32_t index, const std::string* argument);

// Constant answers: no drive letters here, the number 3, no text.
inline int32_t app_drive_mask() { return 0; }
inline int32_t app_const_3() { return 3; }
inline void app_no_text(char* out) {
  if (out) *out = 0;
}
// Called at fixed points (after the state load, by the application window
// procedure, on the exit path); nothing to do on this platform.
inline void app_empty_hook_a() {}
inline void app_empty_hook_b() {}

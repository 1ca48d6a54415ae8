// What window objects need of native windows.
//
// The window system makes, shows, moves and destroys the windows of
// objects; this layer reaches it only through these functions, so that the
// object logic runs headless in tests. Each kind of object has its own
// functions: editor windows (and the fixed objects) get the application's
// MDI children, forms and controls the control classes' windows
// (obj_window.h), help controls a help viewer (services). The program sets
// the table once its window system is open; until then, and in a program
// without windows, every kind is headless: creation succeeds without a
// window, the stored geometry stays authoritative and nothing is drawn.
#pragma once

#include <cstdint>

#include "text/buffer.h"

struct NativeWindowOps {
  // Makes the object's native windows (frame_window, client_window). 0, or
  // an error code (the object is then closed again).
  int32_t (*create)(WindowObject* obj);
  // Destroys them; the object stays.
  void (*destroy)(WindowObject* obj);
  void (*show)(WindowObject* obj, bool visible);
  void (*enable)(WindowObject* obj, bool enabled);
  // Rectangle of the outer window in its parent's client, pixels: false
  // when the object has no window (the block holds its geometry).
  bool (*get_rect)(const WindowObject* obj, int32_t rect[4]);
  void (*set_rect)(WindowObject* obj, const int32_t rect[4]);
  // Client size of the inner window, pixels (0, 0 without a window).
  void (*client_size)(const WindowObject* obj, int32_t* width, int32_t* height);
  // Window state letter 'N', 'M' or 'I' (0 without a window), and setting it.
  char (*get_state)(const WindowObject* obj);
  void (*set_state)(WindowObject* obj, char state);
  // Repaint; re-layout of the text display (control message 4144).
  void (*repaint)(WindowObject* obj);
  void (*relayout)(WindowObject* obj);
  // The caption shown by the window.
  void (*set_text)(WindowObject* obj, const char* text, int32_t length);
  // The pointer shape when the pointer is over the object.
  void (*set_pointer)(WindowObject* obj, int32_t shape);
};

// The headless functions: no window is made, shown or measured.
int32_t native_create_none(WindowObject* obj);
void native_destroy_none(WindowObject* obj);  // forgets the window fields
void native_show_none(WindowObject* obj, bool visible);
void native_enable_none(WindowObject* obj, bool enabled);
bool native_get_rect_none(const WindowObject* obj, int32_t rect[4]);
void native_set_rect_none(WindowObject* obj, const int32_t rect[4]);
void native_client_size_none(const WindowObject* obj, int32_t* width, int32_t* height);
char native_get_state_none(const WindowObject* obj);
void native_set_state_none(WindowObject* obj, char state);
void native_paint_none(WindowObject* obj);
void native_set_text_none(WindowObject* obj, const char* text, int32_t length);
void native_set_pointer_none(WindowObject* obj, int32_t shape);
extern const NativeWindowOps kNativeHeadless;

// Which functions serve an object.
enum class NativeKind : uint8_t { Editor, Control, Help };
// Help controls; forms and controls (MDI forms included); everything else
// (editor windows, the fixed objects and the command line).
NativeKind native_kind(const WindowObject* obj);

// The functions of each kind; every entry must be complete.
struct NativeWindowTable {
  const NativeWindowOps* editor;
  const NativeWindowOps* control;
  const NativeWindowOps* help;
};
void native_set_table(const NativeWindowTable& table);
// Every kind headless again.
void native_table_reset();
// The functions that serve the object.
const NativeWindowOps& native_ops(const WindowObject* obj);

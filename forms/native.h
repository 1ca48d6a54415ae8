// What window objects need of native windows, as one seam.
//
// The window system makes, shows, moves and destroys the windows of
// objects; this layer reaches it only through these functions, so that the
// object logic runs headless in tests. The default has no native windows:
// creation succeeds without a window, the stored geometry stays
// authoritative and nothing is drawn. The real functions are installed
// once the window system's forms classes exist.
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

// The functions in use.
NativeWindowOps& native_ops();
// Back to the headless default.
void native_ops_reset();

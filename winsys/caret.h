// The caret: one blinking rectangle per window.
//
// The hide count says how often the caret was hidden: -1 no caret, 0 shown,
// above 0 hidden that many times, so two hides need two shows. A new caret
// starts hidden once. It is drawn by exclusive-or with a colour that
// contrasts with what lies under it, or, with the caretColor resource, in
// that colour over saved pixels that erasing puts back. Blinking is timer
// 32767 on the window, every 500 ms.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

inline constexpr uint32_t kCaretBlinkMs = 500;

void xfCreateCaret(XfWindow* window, int32_t width, int32_t height, uint32_t flags);
void xfDestroyCaret(XfWindow* window);
// The enabled test's result, or the blink timer's id when the caret was drawn.
intptr_t xfShowCaret(XfWindow* window);
void xfHideCaret(XfWindow* window);
void xfSetCaretPos(XfWindow* window, int32_t x, int32_t y);
// op 1 draw, 0 erase, -1 toggle.
void xfDrawCaret(XfWindow* window, int op);
// 'h' stops all caret drawing (menu tracking); any other code allows it.
void xfSuspendCaret(char code);
// Frees the window's save pixmap (its destruction).
void xf_caret_release(XfWindow* window);
// Frees the shared caret GC (shutdown).
void xf_caret_shutdown();

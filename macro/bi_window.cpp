// Closing an editor window from the text built-ins (see bi_window.h).
#include "macro/bi_window.h"

#include "base/messages.h"
#include "text/buffer.h"
#include "text/curline.h"

int32_t bi_close_editor_window() {
  WindowObject* w = window_current();
  if (!w) return 0;
  if (w->owner > 0 && w->type != kObjTypeCombo) return ERR_NOT_ALLOWED_ON_OBJECT;
  while (w->view && window_current() == w)
    if (view_quit() != 0) break;
  return 0;
}

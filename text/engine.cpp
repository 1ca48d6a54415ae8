// Start-up of the text engine: see engine.h.

#include "text/engine.h"

#include "text/selection.h"
#include "text/undo.h"

void text_engine_init() {
  undo_install();
  sel_install();
}

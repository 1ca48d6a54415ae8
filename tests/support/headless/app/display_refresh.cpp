// The frame's refresh and its editor windows without the application: the
// requests are counted.
#include "display/display_settings.h"
#include "display/redraw_port.h"
#include "display/refresh_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/redraw_fakes.h"
#include "tests/support/headless/refresh_fakes.h"

void refresh_screen() {
  ++refreshfake::refresh.screens;
  refreshfake::refresh.depth_seen = refresh_builtin_depth;
}
void refresh_scroll_to_cursor(WindowObject* obj) {
  ++refreshfake::refresh.scrolls;
  refreshfake::refresh.scrolled = obj;
}
void redraw_views() { ++redrawfake::redraw.views; }

// Every object redrawn without the forms' windows: counted.
#include "display/redraw_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/redraw_fakes.h"

void redraw_objects() { ++redrawfake::redraw.objects; }

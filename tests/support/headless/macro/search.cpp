// The search's break check without the macro runtime: no macro to stop,
// the break key alone ends a search.
#include "tests/support/headless/mark.h"
#include "text/search_port.h"
#include "text/ui_port.h"

ErrorCode search_check_break() { return ui_break_pressed() ? ERR_BREAK_KEY : 0; }

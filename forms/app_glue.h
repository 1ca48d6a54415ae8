// The forms layer's side of the seams the layers below declare: native
// windows of window objects, the window the text built-ins work in, the
// event source of the key readers, the refresh after a command, and where
// error messages show. app_install_glue() installs them all once the
// window system is up.
#pragma once

#include "macro/event_codes.h"

void app_install_glue();

// The next key of the window system's queue as an event code, for the key
// readers of the macro runtime; other messages are dispatched on the way.
// 0 when the break key stopped the wait.
EventCode app_next_key_event();

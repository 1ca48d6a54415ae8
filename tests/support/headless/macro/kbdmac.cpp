// The keyboard-macro recorder without the macro runtime: nothing records,
// so no buffer receives a recording.
#include "tests/support/headless/mark.h"
#include "text/kbdmac_port.h"

bool kbdmac_is_target_buffer(const BufferRec*) { return false; }

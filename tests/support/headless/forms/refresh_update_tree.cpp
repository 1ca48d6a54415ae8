// The windows of the current object's tree without the forms: none; the
// request is counted.
#include "display/refresh_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/refresh_fakes.h"

void refresh_update_tree() { ++refreshfake::refresh.update_trees; }

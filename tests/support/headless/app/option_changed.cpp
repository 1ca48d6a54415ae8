// The editor options without editor windows: nothing to change, the letter
// is recorded.
#include "forms/option_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/option_fakes.h"

void option_changed(char letter) { opttest::options.changed += letter; }

// The message line without a display: every key prefix shown is recorded.
#include "macro/event_port.h"
#include "tests/support/headless/event_fakes.h"
#include "tests/support/headless/mark.h"

void evt_show_key_prefix(const LStr* text) { evtest::events.prefixes.emplace_back(text->view()); }

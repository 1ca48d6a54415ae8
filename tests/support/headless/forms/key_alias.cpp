// The raw keypad codes without the forms: a named key keeps its code unless
// the test gave an alias.
#include "tests/support/headless/key_alias_fakes.h"
#include "tests/support/headless/mark.h"
#include "winsys/key_alias_port.h"

uint32_t evt_key_alias(uint32_t code) { return aliastest::keys.alias ? aliastest::keys.alias(code) : code; }

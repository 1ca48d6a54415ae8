// The dispatch that tests of the runtime run with: the layers up to macro,
// as app/main.cpp registers them, and nothing of the layers above.
#pragma once

#include <gtest/gtest.h>

#include "macro/opcodes.h"

inline void install_macro_opcodes() {
  opcodes_clear(vm_dispatch);
  ASSERT_TRUE(macro_register_opcodes(vm_dispatch));
}

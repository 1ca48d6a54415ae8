// Test fixture for the interpreter: a fresh runtime per test, the record
// of what the error report shows and a scriptable break key.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "tests/macro/bytecode_builder.h"
#include "tests/macro/opcode_setup.h"
#include "tests/support/headless/command_fakes.h"
#include "tests/support/headless/dll_fakes.h"
#include "tests/support/headless/exit_fakes.h"
#include "tests/support/headless/font_list_fakes.h"
#include "tests/support/headless/startup_fakes.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "tests/support/headless/vm_error_fakes.h"

namespace vmtest {

// What the error report showed (the headless answer's record).
using errtest::Shown;
inline std::vector<Shown>& shown = errtest::errors.shown;
inline int break_polls = 0;
inline std::function<int(int)> on_break_poll;  // poll number -> pressed

// The break key's answer at every poll: counted, and pressed when the
// test's script says so.
inline bool poll_break() {
  ++break_polls;
  return on_break_poll && on_break_poll(break_polls) != 0;
}

// The layers above the macro runtime answer as in a program without them.
inline void install_upper_fakes() {
  cmdtest::install();
  dlltest::install();
  exittest::install();
  fonttest::install();
  startuptest::install();
}

class VmTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { EXPECT_EQ(var_check(), nullptr); }

  void reset(int32_t slots = 10000, int32_t heap = 200000) {
    ASSERT_EQ(vm_reset(slots, heap), ERR_OK);
    install_macro_opcodes();
    errtest::install();
    break_polls = 0;
    on_break_poll = nullptr;
    uitest::install();
    uitest::ui.break_source = poll_break;
    vm_set_name_hooks(VmNameHooks{});
    install_upper_fakes();
  }

  // Run the procedure at offset as a command; the image stays alive in
  // image_ for the run.
  ErrorCode run(bc::ImageBuilder& b, uint16_t offset, std::vector<std::string_view> args = {}) {
    image_ = b.finish();
    return vm_call_image(image_, offset, args);
  }

  static std::string value(uint32_t slot) { return std::string(lstr_view(var_value(slot))); }
  static std::string rc() { return value(1); }

  std::vector<uint8_t> image_;
};

}  // namespace vmtest

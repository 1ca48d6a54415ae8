// The default state file booted in the interpreter with keys typed through
// the event source, and stand-ins for the built-ins of the layers above that
// those keys reach: the fixture of the default macros' tests.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "tests/macro/key_fixture.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace defaultmacros {

using keytest::KeyTest;

constexpr EventCode kCtrlC = 3, kCtrlQ = 17, kCtrlS = 19, kCtrlV = 22, kCtrlY = 25, kCtrlZ = 26;
constexpr EventCode kShiftLeft = kEvShiftNamed + (kEvLeft - kEvNamed),
                    kShiftRight = kEvShiftNamed + (kEvRight - kEvNamed), kShiftUp = kEvShiftNamed + (kEvUp - kEvNamed),
                    kShiftDown = kEvShiftNamed + (kEvDown - kEvNamed),
                    kShiftHome = kEvShiftNamed + (kEvHome - kEvNamed), kShiftEnd = kEvShiftNamed + (kEvEnd - kEvNamed);
using keytest::kCtrlX;

inline std::vector<uint8_t> default_state() {
  std::ifstream f(std::string(ZVX_BINARY_DIR) + "/app/zorvex.stu", std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Stand-ins for the built-ins of the layers above that these keys reach:
// the message line's text, a few properties of the current window (any
// other property is refused as the dispatch would), and the message box,
// which answers from a script and keeps the questions.
inline std::vector<std::string> messages;
constexpr uint8_t kColumnProperty = 109, kBufferNameProperty = 110, kModifiedProperty = 111, kBufferProperty = 112;
inline void message_standin() {
  if (!core_have(1)) return;
  messages.emplace_back(core_view(0));
  vm_pop();
}
inline void property_set_standin() {
  uint8_t id = 0;
  if (!vm_fetch_u8(&id) || !core_have(1)) return;
  const std::string value(core_view(0));
  vm_pop();
  BufferRec* b = buf_current();
  if (id == kModifiedProperty && b) {
    b->modified = value == "0" ? 0 : 1;
    return;
  }
  if (id != kBufferNameProperty) return vm_raise_error(ERR_ILLEGAL_OPCODE);
  if (const int32_t r = buf_set_name_current(value); r != 0) vm_raise_error(r);
}
inline void property_get_standin() {
  uint8_t id = 0;
  if (!vm_fetch_u8(&id)) return;
  PosRecord* v = view_current();
  BufferRec* b = v ? v->buffer : nullptr;
  if (!b) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  switch (id) {
    case kColumnProperty:
      return static_cast<void>(vm_push_int(v->column + 1));
    case kBufferNameProperty:
      return static_cast<void>(vm_push_view(b->name.view()));
    case kModifiedProperty:
      line_flush_current();
      return static_cast<void>(vm_push_int(b->modified));
    case kBufferProperty:
      return static_cast<void>(vm_push_int(b->handle));
    default:
      return vm_raise_error(ERR_ILLEGAL_OPCODE);
  }
}
inline void refresh_standin() {
  int32_t n = 0;
  if (bi_count(0, 1, &n)) core_drop(n);
}
inline std::vector<std::string> questions;
inline std::vector<int32_t> answers;  // taken from the front; Yes once they run out
inline void message_box_standin() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  questions.emplace_back(bi_arg(n, 0));
  core_drop(n);
  int32_t answer = 6;
  if (!answers.empty()) answer = answers.front(), answers.erase(answers.begin());
  vm_set_rc(answer);
}
constexpr int32_t kYes = 6, kNo = 7, kCancel = 2;

class DefaultMacros : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    messages.clear();
    const OpcodeBinding display[] = {{opcode_slot("message"), message_standin},
                                     {opcode_slot("refresh"), refresh_standin}};
    questions.clear();
    answers.clear();
    const OpcodeBinding forms[] = {{opcode_slot("property_set_current"), property_set_standin},
                                   {opcode_slot("property_get_current"), property_get_standin},
                                   {opcode_slot("message_box"), message_box_standin}};
    ASSERT_TRUE(opcodes_register(vm_dispatch, Layer::Display, display));
    ASSERT_TRUE(opcodes_register(vm_dispatch, Layer::Forms, forms));
    const std::vector<uint8_t> state = default_state();
    ASSERT_FALSE(state.empty()) << "the build makes app/zorvex.stu";
    // The start-up entry edits in the current window, as the editor's first
    // edit window is when the macros start.
    first_ = editor("");
    window_link_edit_list(first_);
    boot(state, "zorvex.stu");
  }
  WindowObject* first_ = nullptr;
};

}  // namespace defaultmacros

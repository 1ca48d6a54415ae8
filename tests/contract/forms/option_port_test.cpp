// What the editor options may count on from the program's editor windows,
// whoever answers: the same expectations run against the headless answer
// and the editor's own (with no editor window open).
#include <gtest/gtest.h>

#include "forms/option_port.h"
#include "forms/options.h"

namespace {

TEST(OptionPort, EveryOptionMayChangeWithNoEditorWindowOpen) {
  for (const char* l = kEditorOptionLetters; *l; ++l) option_changed(*l);
  editor_options().flags = 0;
  option_changed('T');
  option_changed('V');
  editor_options_reset();
  SUCCEED() << "no window to change";
}

}  // namespace

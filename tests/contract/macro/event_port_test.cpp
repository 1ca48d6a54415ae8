// What the key readers and the key dispatch may count on from the layers
// above, whoever answers: the same expectations run against the headless
// answers and the editor's own (without a display, before any window or
// object exists).
#include <gtest/gtest.h>

#include "base/messages.h"
#include "macro/event_port.h"
#include "text/buffer.h"

namespace {

TEST(EventPort, BeforeAnyWindowThereIsNoEditorAndTheFocusCounts) {
  EXPECT_EQ(evt_active_editor(), nullptr);
  EXPECT_TRUE(evt_focus_on_editor()) << "nothing else could hold the focus: playback proceeds";
  EXPECT_FALSE(evt_iconized(nullptr));
}

TEST(EventPort, OnlyATextControlTakesTypedText) {
  WindowObject plain{};
  LStrLine text("abc");
  EXPECT_EQ(evt_text_insert(&plain, text), ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(evt_text_insert(nullptr, text), ERR_NOT_ALLOWED_ON_OBJECT);
}

TEST(EventPort, TheWindowOptionsAreTheTwoBitsTheDispatchReads) { EXPECT_EQ(evt_window_options() & ~(1 | 8), 0); }

TEST(EventPort, RequestsWithoutAWindowReturnToTheCaller) {
  LStrLine prefix("Ctrl+X");
  evt_show_key_prefix(prefix);
  LStrLine none;
  evt_show_key_prefix(none);
  evt_clear_message();
  evt_refresh();
  evt_scroll_to_cursor();
  evt_restore_scroll_point(nullptr);
  evt_reset_pointer(nullptr);
  SUCCEED() << "feedback never stops a key";
}

}  // namespace

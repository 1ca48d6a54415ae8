// What the text built-ins may count on from the windows above them, whoever
// answers: rows of a window without a display are its own line height (16
// pixels when it has none), an editor window is no text box, closing the
// current editor window quits its views while a part of another object is
// refused, and the focus and the clipboard take what they are given. The
// same expectations run against the headless answers and the editor's own.
#include <gtest/gtest.h>

#include <string>

#include "base/messages.h"
#include "macro/window_port.h"
#include "text/buffer.h"
#include "text/curline.h"

namespace {

TEST(WindowPort, AWindowWithoutADisplayHasItsOwnRowHeight) {
  WindowObject w{};
  EXPECT_EQ(window_line_height(&w), 16) << "no height of its own";
  w.line_height = 21;
  EXPECT_EQ(window_line_height(&w), 21);
  EXPECT_EQ(window_line_height(nullptr), 16);
}

TEST(WindowPort, AnEditorWindowTakesNoCaretKeys) {
  WindowObject w{};
  w.type = kObjTypeEditor;
  EXPECT_FALSE(window_is_text_box(&w));
  for (TextBoxKey k : {TextBoxKey::Home, TextBoxKey::End, TextBoxKey::Left, TextBoxKey::Right, TextBoxKey::Backspace,
                       TextBoxKey::Delete})
    EXPECT_EQ(window_textbox_key(&w, k), ERR_NOT_ALLOWED_ON_OBJECT) << static_cast<int>(k);
}

TEST(WindowPort, ClosingTheCurrentEditorWindowQuitsItsViews) {
  WindowObject* w = window_alloc_record();
  ASSERT_NE(w, nullptr);
  const int32_t id = w->handle;
  window_set_current(w, 0);
  BufferRec* b = buf_new();
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(view_show_buffer(b, 0), 0);
  ASSERT_NE(w->view, nullptr);
  const std::string result = "done";
  EXPECT_EQ(window_close_result(&result, -1), 0);
  const WindowObject* after = window_record(id);
  EXPECT_TRUE(after == nullptr || after->view == nullptr) << "no view is left";
  EXPECT_EQ(buf_check(), "");
  buf_shutdown();
}

TEST(WindowPort, APartOfAnotherObjectIsNotClosed) {
  WindowObject* owner = window_alloc_record();
  WindowObject* part = window_alloc_record();
  ASSERT_NE(owner, nullptr);
  ASSERT_NE(part, nullptr);
  part->owner = owner->handle;
  part->type = kObjTypeEditor;
  window_set_current(part, 0);
  EXPECT_EQ(window_close_result(nullptr, -1), ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(window_current(), part) << "the part stays current";
  window_set_current(nullptr, 0);
}

TEST(WindowPort, FocusAndClipboardTakeWhatTheyAreGiven) {
  WindowObject w{};
  window_focus(&w);
  window_focus(nullptr);
  EXPECT_EQ(clip_put_text("pid=1 line", "a\nb\n"), 0);
  EXPECT_EQ(clip_put_text("pid=1 char", ""), 0);
}

}  // namespace

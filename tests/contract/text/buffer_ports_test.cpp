// What the buffers may count on from the layers above them, whoever
// answers: the buffer-local variables' lists, the keyboard-macro recorder,
// the concurrent process and the editor windows. The same expectations run
// against the headless answers and the editor's own (no display: a window
// made is a record only).
#include <gtest/gtest.h>

#include "text/buffer.h"
#include "text/buflocal_port.h"
#include "text/edit_window_port.h"
#include "text/kbdmac_port.h"
#include "text/process_port.h"

namespace {

TEST(TextBufferPorts, ABufferOwnsItsVariableListUntilFreed) {
  BufferRec b{};
  buflocal_init(&b);
  EXPECT_EQ(buflocal_add(&b, 7, "8", 1), 0) << "adding a variable's copy succeeds";
  buflocal_load(&b);
  buflocal_free(&b);
  EXPECT_EQ(b.locals.vars, nullptr) << "nothing is left to free twice";
  buflocal_free(&b);
}

TEST(TextBufferPorts, NoRecordingAndNoProcessUntilOneStarts) {
  BufferRec b{};
  EXPECT_FALSE(kbdmac_is_target_buffer(&b));
  EXPECT_FALSE(kbdmac_is_target_buffer(nullptr));
  EXPECT_FALSE(proc_is_process_buffer(&b));
  EXPECT_FALSE(proc_is_process_buffer(nullptr));
  proc_reset_mark();
  SUCCEED() << "without a process there is no mark to keep";
}

// The window a buffer is first shown in gets its native window, and
// quitting its last view leaves it showing nothing, out of the ring of
// editor windows (the editor closes it altogether).
TEST(TextBufferPorts, AWindowComesWithItsFirstViewAndGoesWithItsLast) {
  WindowObject* w = window_alloc_record();
  ASSERT_NE(w, nullptr);
  const int32_t id = w->handle;
  window_set_current(w, 0);
  BufferRec* b = buf_new();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(view_show_buffer(b, 0), 0);
  EXPECT_EQ(window_edit_list_head(), w);
  EXPECT_EQ(view_quit(), 0);
  const WindowObject* after = window_record(id);
  EXPECT_TRUE(after == nullptr || after->view == nullptr);
  EXPECT_EQ(window_edit_list_head(), nullptr);
  EXPECT_EQ(buf_check(), "");
  buf_shutdown();
}

}  // namespace

// Start-up of the text engine, seen from what the user gets: after
// text_engine_init an edit can be undone, a selection keeps its place when
// its lines go, a search with option "M" stays inside it, and closing its
// buffer deselects it. Calling it again, or after a test took the hooks out,
// gives the same.

#include "text/engine.h"

#include <string>
#include <vector>

#include "buffer_fixture.h"
#include "text/search.h"
#include "text/selection.h"
#include "text/store_edit.h"
#include "text/undo.h"

namespace {

using Lines = std::vector<std::string>;

void disconnect() {
  store_undo_hooks() = StoreUndoHooks{};
  sel_uninstall();
}

enum class StartUp { kOnce, kTwice, kAgainAfterDisconnect };

class TextEngineInit : public buftest::BufferTest, public ::testing::WithParamInterface<StartUp> {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    search_reset();
    disconnect();
    text_engine_init();
    if (GetParam() != StartUp::kOnce) {
      if (GetParam() == StartUp::kAgainAfterDisconnect) disconnect();
      text_engine_init();
    }
  }
  void TearDown() override {
    search_reset();
    if (SelectionMarks* s = sel_active_peek()) sel_free(s);
    disconnect();
    BufferTest::TearDown();
  }
  // Moves the view to line, column 0.
  void go(int32_t line) {
    ASSERT_EQ(0, pos_goto_line(line, view_, view_->buffer));
    view_->column = 0;
  }
  PosRecord* view_ = nullptr;
};

TEST_P(TextEngineInit, EditsUndoSelectionsFollowAndCloseWithTheirBuffer) {
  const Lines original{"x1", "x2", "x3", "x4"};
  BufferRec* b = make("f.txt", "x1\nx2\nx3\nx4\n");
  view_ = show(window(), b);

  // The store tells the undo log: an inserted line is taken back.
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_goto_line(1, &p, b));
  ASSERT_EQ(0, line_insert_text("new", 3, &p, b));
  undo_checkpoint(nullptr, b);
  EXPECT_GT(undo_step('U', nullptr, b), 0);
  EXPECT_EQ(original, storetest::lines_forward(b));

  // From line 2 into line 3 selected: the search with "M" skips "x1" above.
  SelectionMarks* s = sel_active();
  go(2);
  ASSERT_EQ(0, sel_extend(s, kSelChar, view_));
  go(3);
  ASSERT_EQ(0, sel_extend(s, kSelChar, view_));
  go(1);
  ASSERT_EQ(0, search_find("x", "M", nullptr, nullptr).rc);
  EXPECT_EQ("x2", line_get_string(view_, b));
  search_finish();

  // The store asks the selection where a mark on a deleted line goes: the
  // end of a selection goes to the line above, not to the line after.
  ASSERT_EQ(0, pos_goto_line(3, &p, b));
  ASSERT_EQ(0, line_delete(&p, b));
  ASSERT_EQ(kSelChar, sel_kind(s));
  EXPECT_EQ(2, s->begin->line);
  EXPECT_EQ(2, s->end->line);

  // Closing the buffer deselects what was selected in it.
  ASSERT_EQ(0, buf_close(b));
  EXPECT_EQ(kSelNone, sel_kind(s));
}

std::string start_up_name(const ::testing::TestParamInfo<StartUp>& info) {
  switch (info.param) {
    case StartUp::kOnce:
      return "Once";
    case StartUp::kTwice:
      return "Twice";
    case StartUp::kAgainAfterDisconnect:
      return "AgainAfterDisconnect";
  }
  return "?";
}

INSTANTIATE_TEST_SUITE_P(StartUps, TextEngineInit,
                         ::testing::Values(StartUp::kOnce, StartUp::kTwice, StartUp::kAgainAfterDisconnect),
                         start_up_name);

}  // namespace

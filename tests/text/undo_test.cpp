// Undo and redo of store edits: steps, redo runs, the modified flag, the step
// limit, spilled undo blocks, and changes refused when no record can be written.

#include "text/undo.h"
#include "base/file_io.h"

#include <string>
#include <vector>

#include "base/mem.h"
#include "store_fixture.h"

namespace {

using storetest::lines_forward;
using storetest::StoreTest;

class UndoTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    undo_install();
  }
  void TearDown() override {
    for (auto& b : bufs_) undo_free_blocks(b.get());
    store_undo_hooks() = StoreUndoHooks{};
    mem_fail_after(0);
    StoreTest::TearDown();
  }
  BufferRec* text(const std::string& s, int32_t steps = kUndoDefaultSteps) {
    BufferRec* b = load(s);
    undo_enable(b, steps);
    undo_checkpoint(nullptr, b);
    return b;
  }
  // A buffer of n rows with every text page dirty, so that none can be
  // dropped without a write, and its undo log on; null when an edit failed.
  BufferRec* all_pages_dirty(int n) {
    std::string content;
    for (int i = 0; i < n; ++i) content += "row " + std::to_string(i) + "\n";
    BufferRec* b = load(content);
    PosRecord p{};
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) {
      std::string s = line_get_string(&p, b);
      int32_t rc = line_replace_text(s.data(), static_cast<int32_t>(s.size()), &p, b);
      if (rc) {
        ADD_FAILURE() << "rewriting a line: " << rc;
        return nullptr;
      }
    }
    undo_enable(b, kUndoDefaultSteps);
    undo_checkpoint(nullptr, b);
    return b;
  }
  static PosRecord at(BufferRec* b, int32_t line) {
    PosRecord p{};
    p.buffer = b;
    EXPECT_EQ(0, pos_goto_line(line, &p, b));
    return p;
  }
  static void replace(BufferRec* b, int32_t line, const std::string& s) {
    PosRecord p = at(b, line);
    ASSERT_EQ(0, line_replace_text(s.data(), static_cast<int32_t>(s.size()), &p, b));
  }
};

using Lines = std::vector<std::string>;

TEST_F(UndoTest, ThreeTypedCharactersUndoAndRedoInOrder) {
  BufferRec* b = text("ab\n");
  for (const char* s : {"abx", "abxy", "abxyz"}) {
    replace(b, 1, s);
    undo_checkpoint(nullptr, b);
  }
  for (const char* want : {"abxy", "abx", "ab"}) {
    EXPECT_GT(undo_step('U', nullptr, b), 0);
    EXPECT_EQ(Lines{want}, lines_forward(b));
  }
  EXPECT_EQ(ERR_NOTHING_TO_UNDO, undo_step('U', nullptr, b));
  for (const char* want : {"abx", "abxy", "abxyz"}) {
    EXPECT_GT(undo_step('R', nullptr, b), 0);
    EXPECT_EQ(Lines{want}, lines_forward(b));
  }
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_step('R', nullptr, b));
}

TEST_F(UndoTest, AChangeBetweenUndoAndRedoForgetsTheRedo) {
  BufferRec* b = text("one\ntwo\n");
  replace(b, 1, "ONE");
  undo_checkpoint(nullptr, b);
  ASSERT_GT(undo_step('U', nullptr, b), 0);
  EXPECT_EQ(0, undo_can_step('R', b));
  replace(b, 2, "TWO");
  undo_checkpoint(nullptr, b);
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_can_step('R', b));
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_step('R', nullptr, b));
  ASSERT_GT(undo_step('U', nullptr, b), 0);
  EXPECT_EQ((Lines{"one", "two"}), lines_forward(b));
}

TEST_F(UndoTest, OneStepOfInsertsDeletesAndChangesUndoesAsAWhole) {
  BufferRec* b = text("a\nb\nc\nd\n");
  PosRecord p = at(b, 2);
  ASSERT_EQ(0, line_insert_text("new", 3, &p, b));  // after b
  p = at(b, 1);
  ASSERT_EQ(0, line_delete(&p, b));  // a
  replace(b, 3, "cc");
  p = at(b, 4);
  ASSERT_EQ(ERR_BOTTOM_OF_FILE, line_delete(&p, b));  // d, the last line
  p = at(b, 0);
  ASSERT_EQ(0, line_insert_text("top", 3, &p, b));
  undo_checkpoint(nullptr, b);
  const Lines after{"top", "b", "new", "cc"};
  ASSERT_EQ(after, lines_forward(b));
  int32_t mask = undo_step('U', nullptr, b);
  EXPECT_EQ(kUndoLinesRestored | kUndoTextRestored | kUndoLinesRemoved | kUndoUnmodified, mask);
  EXPECT_EQ((Lines{"a", "b", "c", "d"}), lines_forward(b));
  EXPECT_EQ(0, b->modified);
  EXPECT_GT(undo_step('R', nullptr, b), 0);
  EXPECT_EQ(after, lines_forward(b));
  EXPECT_EQ(1, b->modified);
}

// The modified byte says whether the buffer differs from its file. A save
// makes no step of its own; undoing back past it leaves the buffer modified
// (the file holds the newer text), and redoing up to it clears it again.
TEST_F(UndoTest, TheModifiedByteFollowsTheFileAcrossASave) {
  BufferRec* b = text("x\n");
  replace(b, 1, "x1");
  undo_checkpoint(nullptr, b);
  undo_note_save(b);  // saved here: the file holds x1
  b->modified = 0;
  undo_checkpoint(nullptr, b);
  replace(b, 1, "x2");
  undo_checkpoint(nullptr, b);
  EXPECT_EQ(kUndoTextRestored | kUndoUnmodified, undo_step('U', nullptr, b));
  EXPECT_EQ(0, b->modified) << "x1, as the file holds";
  EXPECT_EQ(kUndoTextRestored, undo_step('U', nullptr, b)) << "past the save at once";
  EXPECT_EQ(1, b->modified) << "x, the file holds x1";
  EXPECT_EQ(Lines{"x"}, lines_forward(b));
  EXPECT_EQ(ERR_NOTHING_TO_UNDO, undo_step('U', nullptr, b));
  EXPECT_GT(undo_step('R', nullptr, b), 0);
  EXPECT_EQ(Lines{"x1"}, lines_forward(b));
  EXPECT_EQ(0, b->modified);
  EXPECT_GT(undo_step('R', nullptr, b), 0);
  EXPECT_EQ(Lines{"x2"}, lines_forward(b));
  EXPECT_EQ(1, b->modified);
}

// A save in the middle of a command (a macro that edits and saves): what
// the command changed before the save stays in its step, and undoing that
// step leaves the buffer modified.
TEST_F(UndoTest, ASaveInsideACommandKeepsItsChangesUndoable) {
  BufferRec* b = text("x\n");
  replace(b, 1, "y");
  undo_note_save(b);
  b->modified = 0;
  undo_checkpoint(nullptr, b);
  EXPECT_EQ(kUndoTextRestored, undo_step('U', nullptr, b));
  EXPECT_EQ(Lines{"x"}, lines_forward(b));
  EXPECT_EQ(1, b->modified) << "the file holds y";
}

TEST_F(UndoTest, TheCursorReturnsToWhereItWasBeforeTheCommand) {
  BufferRec* b = text("l1\nl2\nl3\n");
  PosRecord view = at(b, 1);
  view.column = 1;
  view.row = 0;
  pos_link_to_buffer(&view, b);
  undo_checkpoint(&view, b);
  ASSERT_EQ(0, pos_goto_line(3, &view, b));
  view.column = 2;
  view.row = 2;
  PosRecord p = at(b, 3);
  ASSERT_EQ(0, line_replace_text("L3", 2, &p, b));
  undo_checkpoint(&view, b);
  ASSERT_GT(undo_step('U', &view, b), 0);
  EXPECT_EQ(1, view.line);
  EXPECT_EQ(1, view.column);
  EXPECT_EQ(0, view.row);
  ASSERT_GT(undo_step('R', &view, b), 0);
  EXPECT_EQ(3, view.line);
  EXPECT_EQ(2, view.column);
  pos_unlink_from_buffer(&view);
}

TEST_F(UndoTest, ModeCUndoesARunOfCursorStepsAndStopsAtText) {
  BufferRec* b = text("l1\nl2\nl3\nl4\n");
  PosRecord view = at(b, 1);
  pos_link_to_buffer(&view, b);
  undo_checkpoint(&view, b);
  replace(b, 1, "L1");
  undo_checkpoint(&view, b);
  for (int32_t line : {2, 3, 4}) {  // three commands that only move the cursor
    ASSERT_EQ(0, pos_goto_line(line, &view, b));
    view.row = line - 1;
    undo_checkpoint(&view, b);
  }
  int32_t mask = undo_step('C', &view, b);
  EXPECT_EQ(kUndoCursorRestored, mask);
  EXPECT_EQ(1, view.line);
  EXPECT_EQ(0, view.row);
  EXPECT_EQ((Lines{"L1", "l2", "l3", "l4"}), lines_forward(b));
  mask = undo_step('U', &view, b);
  EXPECT_TRUE(mask & kUndoTextRestored);
  EXPECT_EQ((Lines{"l1", "l2", "l3", "l4"}), lines_forward(b));
  pos_unlink_from_buffer(&view);
}

TEST_F(UndoTest, TheStepLimitDropsOldBlocksAndStopsAtTheFirstStepLeft) {
  init(storetest::kThreePagesKb);
  undo_install();
  BufferRec* b = text("seed\n", 3);
  std::vector<Lines> states{lines_forward(b)};
  for (int i = 0; i < 40; ++i) {  // each step logs about 1 KB: blocks fill and get dropped
    PosRecord p = at(b, 1);
    std::string s(900, static_cast<char>('a' + i % 26));  // no common part: ~900 bytes logged
    ASSERT_EQ(0, line_replace_text(s.data(), static_cast<int32_t>(s.size()), &p, b));
    undo_checkpoint(nullptr, b);
    states.push_back(lines_forward(b));
  }
  EXPECT_LE(undo_block_count(b), 2);
  int undone = 0;
  while (undo_step('U', nullptr, b) > 0) {
    ++undone;
    ASSERT_EQ(states[states.size() - 1 - static_cast<size_t>(undone)], lines_forward(b)) << undone;
  }
  EXPECT_GE(undone, 3);
  EXPECT_LT(undone, 40);
}

TEST_F(UndoTest, SpilledUndoBlocksAreReadBack) {
  init(storetest::kThreePagesKb);
  undo_install();
  std::string content;
  for (int i = 0; i < 3000; ++i) content += "line " + std::to_string(i) + "\n";
  BufferRec* b = text(content);
  Lines original = lines_forward(b);
  for (int i = 1; i <= 2900; i += 97) {
    PosRecord p = at(b, i);
    ASSERT_EQ(0, line_delete(&p, b));
    undo_checkpoint(nullptr, b);
  }
  Lines edited = lines_forward(b);  // reads every page: undo blocks go to the spill file
  EXPECT_FALSE(store_spill_path().empty());
  while (undo_step('U', nullptr, b) > 0) {
  }
  EXPECT_TRUE(storetest::same_lines(original, lines_forward(b)));
  while (undo_step('R', nullptr, b) > 0) {
  }
  EXPECT_TRUE(storetest::same_lines(edited, lines_forward(b)));
}

TEST_F(UndoTest, AnUndoBlockThatCannotBeReadBackStopsTheUndoAndLosesNothing) {
  init(storetest::kThreePagesKb);
  undo_install();
  std::string content;
  for (int i = 0; i < 3000; ++i) content += "line " + std::to_string(i) + "\n";
  BufferRec* b = text(content);
  replace(b, 2, "changed");
  undo_checkpoint(nullptr, b);
  Lines edited = lines_forward(b);  // the undo block goes to the spill file
  uitest::ui.spill_answer = [] { return false; };
  file_io().pread = [](int, void*, size_t, int64_t) -> long { return -1; };
  EXPECT_EQ(ERR_SPILL_IO, undo_step('U', nullptr, b));
  file_io_reset();
  EXPECT_TRUE(storetest::same_lines(edited, lines_forward(b)));
  EXPECT_GT(undo_step('U', nullptr, b), 0);
  EXPECT_EQ("line 1", lines_forward(b)[1]);
}

// With no page to be had for the log, the change is refused and the buffer
// and its log stay as they were; the log still undoes the earlier steps.
TEST_F(UndoTest, AChangeWhoseRecordCannotBeWrittenIsRefused) {
  BufferRec* b = all_pages_dirty(4000);
  ASSERT_NE(nullptr, b);
  Lines original = lines_forward(b);
  replace(b, 5, "changed");
  undo_checkpoint(nullptr, b);
  Lines before = lines_forward(b);
  int32_t blocks = undo_block_count(b);

  uitest::ui.spill_answer = [] { return false; };
  file_io().pwrite = [](int, const void*, size_t, int64_t) -> long { return -1; };
  // Fill the undo block until a new one is needed, with page allocation failing.
  int32_t rc = 0;
  {
    MemFaultGuard guard(1, true);
    for (int i = 0; i < 5000; ++i) {
      PosRecord p = at(b, 10);
      rc = line_insert_text("inserted", 8, &p, b);
      if (rc) break;
      before.insert(before.begin() + 10, "inserted");
      PosRecord d = at(b, 11);
      rc = line_delete(&d, b);
      if (rc) break;
      before.erase(before.begin() + 10);
    }
  }
  file_io_reset();
  EXPECT_EQ(ERR_SPILL_IO, rc);
  EXPECT_EQ(blocks, undo_block_count(b));
  undo_checkpoint(nullptr, b);
  EXPECT_TRUE(storetest::same_lines(before, lines_forward(b)));
  while (undo_step('U', nullptr, b) > 0) {
  }
  EXPECT_TRUE(storetest::same_lines(original, lines_forward(b)));
}

// A record written for a change that then fails (no page for a split) is
// taken back: undoing afterwards does not replay a change that never was.
TEST_F(UndoTest, ARecordOfAChangeThatFailedIsTakenBack) {
  BufferRec* b = all_pages_dirty(4000);
  ASSERT_NE(nullptr, b);
  Lines original = lines_forward(b);
  replace(b, 1, "first");  // the log has its block now
  undo_checkpoint(nullptr, b);
  Lines want = lines_forward(b);
  uitest::ui.spill_answer = [] { return false; };
  file_io().pwrite = [](int, const void*, size_t, int64_t) -> long { return -1; };
  int32_t rc = 0;
  {
    MemFaultGuard guard(1, true);
    const std::string grown(600, 'g');
    for (int i = 2; i < 40 && rc == 0; ++i) {  // the page fills until a split needs a page
      PosRecord p = at(b, i);
      rc = line_replace_text(grown.data(), static_cast<int32_t>(grown.size()), &p, b);
      if (rc == 0) want[static_cast<size_t>(i - 1)] = grown;
    }
  }
  file_io_reset();
  EXPECT_EQ(ERR_SPILL_IO, rc);  // no page could be evicted for the split
  EXPECT_TRUE(storetest::same_lines(want, lines_forward(b)));
  undo_checkpoint(nullptr, b);
  EXPECT_GT(undo_step('U', nullptr, b), 0);  // the grown lines
  EXPECT_GT(undo_step('U', nullptr, b), 0);  // "first"
  EXPECT_TRUE(storetest::same_lines(original, lines_forward(b)));
}

// Fixed-length records: empty lines have no byte of their own and share a
// point with the line after them; the zero-line counts keep them apart.
TEST_F(UndoTest, EmptyRecordsAreAddressedByTheirZeroLineCount) {
  BufferRec* b = new_buffer();
  b->record_len = 4;
  load("abcdwxyzqrstmnop", {}, nullptr, b);
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  const Lines original{"abcd", "wxyz", "qrst", "mnop"};
  ASSERT_EQ(original, lines_forward(b));
  replace(b, 2, "");
  replace(b, 3, "");
  undo_checkpoint(nullptr, b);
  const Lines s1{"abcd", "", "", "mnop"};
  ASSERT_EQ(s1, lines_forward(b));
  PosRecord p = at(b, 3);
  ASSERT_EQ(0, line_delete(&p, b));
  undo_checkpoint(nullptr, b);
  const Lines s2{"abcd", "", "mnop"};
  ASSERT_EQ(s2, lines_forward(b));
  p = at(b, 2);
  ASSERT_EQ(0, line_insert_text("NEW", 3, &p, b));
  undo_checkpoint(nullptr, b);
  const Lines s3{"abcd", "", "NEW", "mnop"};
  ASSERT_EQ(s3, lines_forward(b));
  for (const Lines* want : {&s2, &s1, &original}) {
    ASSERT_GT(undo_step('U', nullptr, b), 0);
    EXPECT_EQ(*want, lines_forward(b));
  }
  for (const Lines* want : {&s1, &s2, &s3}) {
    ASSERT_GT(undo_step('R', nullptr, b), 0);
    EXPECT_EQ(*want, lines_forward(b));
  }
}

TEST_F(UndoTest, UndoOffWritesNothingAndAnswersNothingToUndo) {
  BufferRec* b = load("a\n");
  replace(b, 1, "b");
  undo_checkpoint(nullptr, b);
  EXPECT_EQ(ERR_NOTHING_TO_UNDO, undo_step('U', nullptr, b));
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_step('R', nullptr, b));
  EXPECT_EQ(0, undo_block_count(b));
}

}  // namespace

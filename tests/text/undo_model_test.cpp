// Randomized test of the undo log: random commands (store edits, typing and
// deleting on the cursor line, whole-line edits through the current window,
// selection operations within one buffer and from another) under a 3-page
// memory limit, a checkpoint after each; the text after every step is kept.
// Then every step is undone, the text compared with the kept one at each
// step and byte for byte with the original at the end, and everything redone
// back to the final text. Positions (views, selection marks) are checked
// against a fresh count of lines throughout. The seed is printed;
// ZVX_SEED=<n> replays a run.

#include <cinttypes>
#include <cstdio>
#include <random>

#include "undo_sel_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class UndoModelTest : public buftest::UndoSelTest {
 protected:
  UndoModelTest() { kb_ = storetest::kThreePagesKb; }
  void TearDown() override {
    undo_free_blocks(b_);
    if (other_) undo_free_blocks(other_);
    UndoSelTest::TearDown();
  }

  size_t pick(size_t n) { return n ? static_cast<size_t>(rng_() % n) : 0; }
  std::string random_text() {
    static const char kChars[] = "abcXYZ  \t.-";
    size_t n = pick(10) == 0 ? 200 + pick(800) : pick(40);
    std::string s;
    for (size_t i = 0; i < n; ++i) s += kChars[pick(sizeof kChars - 1)];
    return s;
  }
  int32_t nlines() {
    int32_t total = 0;
    PosRecord p{};
    p.buffer = b_;
    pos_count_lines(&p, b_, total);
    return total;
  }
  PosRecord at(int32_t line) {
    PosRecord p{};
    p.buffer = b_;
    pos_goto_line(line, &p, b_);
    return p;
  }

  // Every linked position's line number agrees with a fresh count.
  void check_positions(const char* what) {
    ASSERT_EQ("", store_check(b_)) << what;
    PosRecord* h = b_->pos_ring;
    PosRecord* q = h;
    do {
      if (q->line >= 0) {
        PosRecord c{};
        pos_copy_place(&c, q);
        c.buffer = b_;
        c.line = -1;
        ASSERT_EQ(0, pos_line_number(&c, b_, 1)) << what;
        ASSERT_EQ(c.line, q->line) << what;
      }
      ASSERT_GE(line_get_string(q, b_).size(), 0u);
      q = q->buf_next;
    } while (q != h);
  }

  void op_store() {
    int32_t n = nlines();
    PosRecord p = at(static_cast<int32_t>(pick(static_cast<size_t>(n) + 1)));
    int kind = static_cast<int>(pick(3));
    std::string t = random_text();
    if (kind == 0 || n < 20) {
      line_insert_text(t.data(), static_cast<int32_t>(t.size()), &p, b_);
    } else if (p.line > 0 && kind == 1) {
      line_delete(&p, b_);
    } else if (p.line > 0) {
      line_replace_text(t.data(), static_cast<int32_t>(t.size()), &p, b_);
    }
  }

  void op_cursor_line() {
    int32_t n = nlines();
    pos_goto_line(1 + static_cast<int32_t>(pick(static_cast<size_t>(n))), view_, b_);
    view_->column = static_cast<int32_t>(pick(30));
    int k = static_cast<int>(pick(4));
    for (size_t i = 0, m = 1 + pick(6); i < m; ++i) {
      if (k == 0)
        line_type_char(static_cast<uint8_t>("pq \t"[pick(4)]));
      else if (k == 1)
        line_backspace();
      else if (k == 2)
        line_delete_char();
    }
    if (k == 3) {
      if (pick(2)) {
        std::string t = random_text();
        line_insert_after_cursor(t.data(), static_cast<int32_t>(t.size()));
      } else if (n > 20) {
        line_delete_current();
      }
    }
    line_flush_current();
  }

  void op_selection() {
    int32_t n = nlines();
    if (n < 3) return;
    BufferRec* src = (other_ && pick(4) == 0) ? other_ : b_;
    int32_t sn = src == b_ ? n : 40;
    static const uint8_t kKinds[] = {kSelLine, kSelChar, kSelBlock};
    uint8_t kind = kKinds[pick(3)];
    int32_t l1 = 1 + static_cast<int32_t>(pick(static_cast<size_t>(sn)));
    int32_t l2 = std::min(sn, l1 + static_cast<int32_t>(pick(6)));
    PosRecord c{};
    c.buffer = src;
    pos_goto_line(l1, &c, src);
    c.column = static_cast<int32_t>(pick(20));
    sel_clear(sel_);
    if (sel_extend(sel_, kind, &c) != 0) return;
    pos_goto_line(l2, &c, src);
    c.column = static_cast<int32_t>(pick(20));
    if (sel_extend(sel_, kind, &c) != 0) return;
    pos_goto_line(static_cast<int32_t>(pick(static_cast<size_t>(n) + 1)), view_, b_);
    view_->column = static_cast<int32_t>(pick(25));
    switch (pick(src == b_ ? 8 : 2)) {
      case 0:
        sel_copy_to_cursor(sel_, view_);
        break;
      case 1:
        if (src == b_)
          sel_move_to_cursor(sel_, view_);
        else
          sel_copy_to_cursor(sel_, view_);
        break;
      case 2:
        sel_delete(sel_, view_);
        break;
      case 3:
        sel_fill(sel_, '#');
        break;
      case 4:
        sel_shift(sel_, -1);
        break;
      case 5:
        sel_shift(sel_, 1);
        break;
      case 6:
        sel_change_case(sel_, 'U');
        break;
      default:
        sel_change_case(sel_, 'L');
        break;
    }
    ++sel_ops_;
  }

  std::mt19937_64 rng_;
  BufferRec* b_ = nullptr;
  BufferRec* other_ = nullptr;
  PosRecord* view_ = nullptr;
  SelectionMarks* sel_ = nullptr;
  int sel_ops_ = 0;
};

TEST_F(UndoModelTest, RandomCommandsUndoToTheOriginalAndRedoToTheEnd) {
  uint64_t seed = std::random_device{}();
  if (const char* s = getenv("ZVX_SEED")) seed = strtoull(s, nullptr, 10);
  printf("undo model seed %" PRIu64 "\n", seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  rng_.seed(seed);

  std::string text;
  for (int i = 0; i < 900; ++i) text += random_text() + "\n";
  b_ = make("model", text);
  std::string other_text;
  for (int i = 0; i < 40; ++i) other_text += "other " + std::to_string(i) + "\n";
  other_ = make("other", other_text);
  undo_enable(b_, kUndoDefaultSteps);
  b_->wrap_flags = 0;
  WindowObject* w = window(10);
  view_ = show(w, b_);
  sel_ = sel_active();  // its changes are logged too
  // A second selection that only follows the edits.
  sels_.push_back(sel_alloc_pair());
  {
    PosRecord c = at(100);
    c.column = 2;
    sel_extend(sels_.back(), kSelChar, &c);
    c = at(300);
    c.column = 5;
    sel_extend(sels_.back(), kSelChar, &c);
  }
  undo_checkpoint(nullptr, b_);

  std::vector<Lines> states{storetest::lines_forward(b_)};
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    int32_t before = undo_state(b_).total_steps;
    int op = static_cast<int>(pick(10));
    if (op < 4)
      op_store();
    else if (op < 7)
      op_cursor_line();
    else
      op_selection();
    line_flush_current();
    ASSERT_EQ(0, undo_checkpoint(nullptr, b_));
    check_positions("edit");
    if (HasFatalFailure()) return;
    if (undo_state(b_).total_steps != before) states.push_back(storetest::lines_forward(b_));
  }
  EXPECT_GT(sel_ops_, 30);
  EXPECT_GT(states.size(), 150u);
  EXPECT_GT(store_spill_end(), 0);  // pages and undo blocks went to the spill file
  const Lines final_text = states.back();

  for (size_t k = states.size() - 1; k > 0; --k) {
    SCOPED_TRACE("undo to " + std::to_string(k - 1));
    ASSERT_GE(undo_step('U', view_, b_), 0);
    ASSERT_TRUE(storetest::same_lines(states[k - 1], storetest::lines_forward(b_)));
    check_positions("undo");
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(ERR_NOTHING_TO_UNDO, undo_step('U', view_, b_));
  EXPECT_EQ(0, b_->modified);
  {  // byte for byte with the file it came from
    std::string got;
    for (const std::string& l : storetest::lines_forward(b_)) got += l + "\n";
    EXPECT_TRUE(got == text);
  }
  for (size_t k = 1; k < states.size(); ++k) {
    SCOPED_TRACE("redo to " + std::to_string(k));
    ASSERT_GE(undo_step('R', view_, b_), 0);
    ASSERT_TRUE(storetest::same_lines(states[k], storetest::lines_forward(b_)));
    check_positions("redo");
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_step('R', view_, b_));
  EXPECT_TRUE(storetest::same_lines(final_text, storetest::lines_forward(b_)));
}

}  // namespace

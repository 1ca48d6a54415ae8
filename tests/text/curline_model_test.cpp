// Randomized model test of the cursor line: three windows show one buffer;
// random typing (insert and overwrite, blanks and tabs, lines at the length
// limit that wrap), deletes and backspaces, whole-line inserts and deletes,
// line moves and window switches, checked against a vector of strings. The
// text of the current line, the store after each flush, and every view's line
// number and text are compared with the model. The seed is printed;
// ZVX_SEED=<n> replays a run.

#include <cinttypes>
#include <cstdio>
#include <random>

#include "buffer_fixture.h"

using namespace buftest;

namespace {

constexpr int32_t kStop = 8;
constexpr int32_t kWrapRight = 72;  // the default right margin is where a long line breaks

// ---- a model of display columns with a tab stop every 8 columns ----

int32_t next_stop0(int32_t c) { return (c / kStop + 1) * kStop; }  // 0-based

// 0-based start column of every byte, and the width.
std::vector<int32_t> starts(const std::string& s, int32_t& width) {
  std::vector<int32_t> st;
  int32_t c = 0;
  for (char ch : s) {
    st.push_back(c);
    c = ch == '\t' ? next_stop0(c) : c + 1;
  }
  width = c;
  return st;
}

// The byte position (1-based) for a 0-based column; a tab covering the
// column after its first one is split into blanks, with every later tab.
int32_t split(std::string& s, int32_t col) {
  int32_t width = 0;
  auto st = starts(s, width);
  if (col >= width) return static_cast<int32_t>(s.size()) + 1 + (col - width);
  size_t i = 0;
  while (i + 1 < s.size() && st[i + 1] <= col) ++i;
  if (s[i] != '\t' || col == st[i]) return static_cast<int32_t>(i) + 1;
  std::string out = s.substr(0, i) + std::string(static_cast<size_t>(col - st[i]), ' ');
  int32_t c = col;
  out.append(static_cast<size_t>(next_stop0(st[i]) - c), ' ');
  c = next_stop0(st[i]);
  for (size_t k = i + 1; k < s.size(); ++k) {
    if (s[k] == '\t') {
      out.append(static_cast<size_t>(next_stop0(c) - c), ' ');
      c = next_stop0(c);
    } else {
      out += s[k];
      ++c;
    }
  }
  s = out;
  return static_cast<int32_t>(i) + 1 + (col - st[i]);
}

int32_t next_char_col(const std::string& s, int32_t col) {
  int32_t width = 0;
  auto st = starts(s, width);
  if (col >= width) return col + 1;
  size_t i = 0;
  while (i + 1 < s.size() && st[i + 1] <= col) ++i;
  return i + 1 < s.size() ? st[i + 1] : width;
}

bool has_blank(const std::string& s) { return s.find_first_of(" \t") != std::string::npos; }

class CurlineModelTest : public BufferTest {
 protected:
  std::mt19937_64 rng_;
  std::vector<std::string> m_;  // the model
  std::vector<WindowObject*> wins_;
  std::vector<PosRecord*> views_;
  std::vector<size_t> at_;  // each view's model line (0 = top-of-file line)
  size_t cur_ = 0;          // the current window
  BufferRec* b_ = nullptr;
  int wraps_ = 0, overwrites_ = 0, tab_types_ = 0;

  size_t pick(size_t n) { return n ? rng_() % n : 0; }

  // After a line was inserted at model index k (1-based line k + 1).
  void inserted_after(size_t k, size_t except) {
    for (size_t i = 0; i < views_.size(); ++i)
      if (i != except && at_[i] > k) ++at_[i];
  }
  void deleted(size_t line) {  // 1-based
    bool last = line == m_.size() + 1;
    for (size_t i = 0; i < views_.size(); ++i) {
      if (at_[i] > line)
        --at_[i];
      else if (at_[i] == line && last)
        --at_[i];
    }
  }

  void check_current(const char* what) {
    PosRecord* v = views_[cur_];
    ASSERT_EQ(static_cast<int32_t>(at_[cur_]), v->line) << what;
    if (at_[cur_] == 0) return;
    char out[LSTR_CAP_LINE + 1];
    int32_t n = line_get_current_cstr(out, sizeof out);
    ASSERT_GE(n, 0);
    ASSERT_EQ(m_[at_[cur_] - 1], std::string(out, static_cast<size_t>(std::min(n, LSTR_CAP_LINE)))) << what;
  }

  void check_all(const char* what) {
    ASSERT_EQ(0, line_flush_current());
    ASSERT_EQ("", store_check(b_)) << what;
    ASSERT_EQ("", buf_check()) << what;
    ASSERT_EQ(m_, storetest::lines_forward(b_)) << what;
    for (size_t i = 0; i < views_.size(); ++i) {
      ASSERT_EQ(static_cast<int32_t>(at_[i]), views_[i]->line) << what << " view " << i;
      if (at_[i]) {
        ASSERT_EQ(m_[at_[i] - 1], line_get_string(views_[i], b_)) << what << " view " << i;
      }
    }
  }

  std::string random_short() {
    std::string s(pick(40), 'a');
    for (auto& c : s) c = "abcde \t;{}"[pick(10)];
    return s;
  }
  std::string random_long() {  // letters only, around the length limit
    std::string s(1016 + pick(7), 'a');
    for (auto& c : s) c = static_cast<char>('a' + pick(26));
    return s;
  }

  // Moves the current view to a line near the length limit, when there is one.
  void goto_long_line() {
    for (size_t tries = 0; tries < 20; ++tries) {
      size_t k = pick(m_.size());
      if (m_[k].size() > 1000 && !has_blank(m_[k])) {
        ASSERT_EQ(0, line_flush_current());
        ASSERT_EQ(0, pos_goto_line(static_cast<int32_t>(k + 1), views_[cur_], b_));
        at_[cur_] = k + 1;
        return;
      }
    }
  }

  void op_type() {
    if (pick(6) == 0) goto_long_line();
    PosRecord* v = views_[cur_];
    if (at_[cur_] == 0) return;
    std::string& s = m_[at_[cur_] - 1];
    const bool longline = s.size() > 200;
    if (longline && has_blank(s)) return;
    int32_t width = 0;
    starts(s, width);
    const int32_t col = static_cast<int32_t>(longline ? pick(s.size() + 1) : pick(static_cast<size_t>(width) + 4));
    const char ch = longline ? static_cast<char>('a' + pick(26)) : "xyz \t"[pick(5)];
    const bool insert = edit_settings.insert_mode == 1;
    v->column = col;

    const bool tabs = ch == '\t' || s.find('\t') != std::string::npos;
    int32_t p = tabs ? split(s, col) : col + 1;
    if (static_cast<int32_t>(s.size()) < p - 1) s.append(static_cast<size_t>(p - 1) - s.size(), ' ');
    if (static_cast<int32_t>(s.size()) == p - 1)
      s += ch;
    else if (insert)
      s.insert(static_cast<size_t>(p - 1), 1, ch);
    else
      s[static_cast<size_t>(p - 1)] = ch;
    int32_t want_col = tabs ? next_char_col(s, col) : col + 1;
    size_t want_line = at_[cur_];
    if (!insert) ++overwrites_;
    if (tabs) ++tab_types_;
    if (s.size() > 1022) {  // wraps at the right margin: the whole line is one word
      ++wraps_;
      std::string rest = s.substr(kWrapRight);
      s.resize(kWrapRight);
      m_.insert(m_.begin() + static_cast<long>(at_[cur_]), rest);
      inserted_after(at_[cur_], cur_);
      // Other views on the line follow the typed byte, then the text carried down.
      for (size_t i = 0; i < views_.size(); ++i) {
        const int32_t c = views_[i]->column + (insert && views_[i]->column >= col ? 1 : 0);
        if (i != cur_ && at_[i] == at_[cur_] && c >= kWrapRight) ++at_[i];
      }
      if (p > kWrapRight) {
        want_line = at_[cur_] + 1;
        want_col = p - kWrapRight;
      }
    }
    ASSERT_EQ(0, line_type_char(static_cast<uint8_t>(ch)));
    at_[cur_] = want_line;
    ASSERT_EQ(want_col, v->column) << "typing '" << ch << "' at " << col;
    check_current("type");
  }

  void op_delete(bool backspace) {
    PosRecord* v = views_[cur_];
    if (at_[cur_] == 0) return;
    std::string& s = m_[at_[cur_] - 1];
    int32_t width = 0;
    starts(s, width);
    const int32_t col = static_cast<int32_t>(pick(static_cast<size_t>(width) + 3));
    v->column = col;
    if (backspace) {
      if (col > 0) {
        int32_t p = split(s, col);
        int32_t want = col - 1;
        if (p - 1 >= 1 && p - 1 <= static_cast<int32_t>(s.size()) && s[static_cast<size_t>(p - 2)] == '\t') {
          int32_t w = 0;
          want = starts(s, w)[static_cast<size_t>(p - 2)];
        }
        if (p - 1 >= 1 && p - 1 <= static_cast<int32_t>(s.size())) s.erase(static_cast<size_t>(p - 2), 1);
        line_backspace();
        ASSERT_EQ(want, v->column);
      } else {
        line_backspace();
      }
    } else {
      int32_t p = split(s, col);
      if (p <= static_cast<int32_t>(s.size())) s.erase(static_cast<size_t>(p - 1), 1);
      line_delete_char();
      ASSERT_EQ(col, v->column);
    }
    check_current(backspace ? "backspace" : "delete");
  }

  void op_insert_line() {
    std::string t = pick(10) == 0 ? random_long() : random_short();
    size_t k = at_[cur_];
    ASSERT_EQ(0, line_insert_after_cursor(t.data(), static_cast<int32_t>(t.size())));
    m_.insert(m_.begin() + static_cast<long>(k), t);
    inserted_after(k, cur_);
    at_[cur_] = k + 1;
    check_current("insert line");
  }

  void op_delete_line() {
    if (at_[cur_] == 0) return;
    size_t line = at_[cur_];
    m_.erase(m_.begin() + static_cast<long>(line - 1));
    deleted(line);
    ASSERT_EQ(0, line_delete_current());
    check_current("delete line");
  }

  void op_move() {
    int32_t n = static_cast<int32_t>(pick(8));
    bool down = pick(2);
    size_t from = at_[cur_];
    int32_t rc = view_cursor_lines(down ? pos_next_line : pos_prev_line, n);
    size_t to =
        down ? std::min(from + static_cast<size_t>(n), m_.size()) : (from >= static_cast<size_t>(n) ? from - n : 0);
    bool hit = down ? from + static_cast<size_t>(n) > m_.size() : from < static_cast<size_t>(n);
    ASSERT_EQ(hit ? (down ? ERR_BOTTOM_OF_FILE : ERR_TOP_OF_FILE) : 0, rc);
    at_[cur_] = to;
    check_current("move");
  }

  // An edit through the store by a position that is not a view.
  void op_store_insert() {
    ASSERT_EQ(0, line_flush_current());
    size_t k = pick(m_.size() + 1);
    PosRecord p{};
    p.buffer = b_;
    ASSERT_EQ(0, pos_goto_line(static_cast<int32_t>(k), &p, b_));
    std::string t = random_short();
    ASSERT_EQ(0, line_insert_text(t.data(), static_cast<int32_t>(t.size()), &p, b_));
    m_.insert(m_.begin() + static_cast<long>(k), t);
    inserted_after(k, SIZE_MAX);
  }
};

TEST_F(CurlineModelTest, RandomEditsInSeveralViews) {
  uint64_t seed = std::random_device{}();
  if (const char* s = getenv("ZVX_SEED")) seed = strtoull(s, nullptr, 10);
  printf("cursor-line model seed %" PRIu64 "\n", seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  rng_.seed(seed);

  std::string text;
  for (int i = 0; i < 300; ++i) {
    m_.push_back(pick(12) == 0 ? random_long() : random_short());
    text += m_.back() + "\n";
  }
  b_ = make("model", text);
  for (int i = 0; i < 3; ++i) {
    wins_.push_back(window(5 + i * 7));
    views_.push_back(show(wins_.back(), b_, i == 0 ? 0 : 1));
    at_.push_back(1);
  }
  b_->wrap_flags = 0;  // only the length limit wraps
  for (size_t i = 0; i < views_.size(); ++i) {
    size_t line = 1 + pick(m_.size());
    ASSERT_EQ(0, pos_goto_line(static_cast<int32_t>(line), views_[i], b_));
    at_[i] = line;
  }
  cur_ = 2;
  check_all("start");

  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    int op = static_cast<int>(pick(100));
    if (op < 8) {
      cur_ = pick(views_.size());
      window_set_current(wins_[cur_], 0);
      ASSERT_EQ(0, current_line.dirty);
    } else if (op < 12) {
      edit_settings.insert_mode = edit_settings.insert_mode ? 0 : 1;
    } else if (op < 50) {
      op_type();
    } else if (op < 60) {
      op_delete(false);
    } else if (op < 70) {
      op_delete(true);
    } else if (op < 74) {
      op_insert_line();
    } else if (op < 78) {
      if (m_.size() > 5) op_delete_line();
    } else if (op < 92) {
      op_move();
    } else {
      op_store_insert();
    }
    if (HasFatalFailure()) return;
    if (step % 25 == 0) check_all("periodic");
    if (HasFatalFailure()) return;
  }
  check_all("end");
  // The run reached the paths it is meant to check.
  EXPECT_GT(wraps_, 0);
  EXPECT_GT(overwrites_, 0);
  EXPECT_GT(tab_types_, 0);
}

}  // namespace

// Randomized test of macros editing a buffer: a module of small editing
// commands written in byte code (type, insert, delete, split and join lines,
// delete and backspace characters, copy, move and delete LINE and CHAR
// selections) is called with random arguments, and after every command the
// buffer must equal a model kept as one string. Then every step is undone,
// each text met on the way being one the model went through, down to the
// original, and everything is redone up to the final text. The memory limit
// is small, so pages and undo blocks spill. The seed is printed;
// ZVX_SEED=<n> replays a run.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <random>

#include "tests/macro/text_bi_fixture.h"

namespace {

const char* kEditor = R"(
global l
global l2

; The cursor to line `line` (1-based) and column `col`.
proc go(line, col)
  var i
  top_of_buffer
  push_var $line
  push_const "1"
  sub
  cursor_down 1
  begin_line
  push_const "0"
  assign $i
more:
  push_var $i
  push_var $col
  num_lt
  jump_if_false @done
  cursor_right
  incr $i
  jump @more
done:
  return
end

; What the key dispatch does between commands: the undo step closes.
proc step()
  push_const "S"
  undo 1
  return
end

proc type(line, col, text)
  push_var $line
  push_const "0"
  call_link 2, go
  get_line $l
  push_var $l
  push_const "1"
  push_var $col
  substr 3
  push_var $text
  concat
  push_var $l
  push_var $col
  push_const "1"
  add
  substr 2
  concat
  replace_line
  return
end

proc ins_line(line, text)
  push_var $line
  push_const "0"
  call_link 2, go
  push_var $text
  insert_line
  return
end

proc del_line(line)
  push_var $line
  push_const "0"
  call_link 2, go
  delete_line
  return
end

proc split(line, col)
  push_var $line
  push_const "0"
  call_link 2, go
  get_line $l
  push_var $l
  push_const "1"
  push_var $col
  substr 3
  replace_line
  push_var $l
  push_var $col
  push_const "1"
  add
  substr 2
  insert_line
  return
end

proc join(line)
  push_var $line
  push_const "0"
  call_link 2, go
  get_line $l
  push_const "1"
  cursor_down 1
  get_line $l2
  delete_line
  push_var $line
  push_const "0"
  call_link 2, go
  push_var $l
  push_var $l2
  concat
  replace_line
  return
end

proc dchar(line, col)
  push_var $line
  push_var $col
  call_link 2, go
  delete_char
  return
end

proc bksp(line, col)
  push_var $line
  push_var $col
  call_link 2, go
  backspace
  return
end

; A selection of kind "L" or "C" from (l1, c1) to (l2, c2), then "c" copy,
; "m" move or "d" delete it with the cursor at (dl, dc).
proc sel(kind, l1, c1, l2, c2, dl, dc, op)
  deselect 0
  push_var $l1
  push_var $c1
  call_link 2, go
  push_var $kind
  call_link 1, mark
  push_var $l2
  push_var $c2
  call_link 2, go
  push_var $kind
  call_link 1, mark
  push_var $dl
  push_var $dc
  call_link 2, go
  case_jump_eq @copy, "c", $op
  case_jump_eq @move, "m", $op
  delete_selection 0
  jump @out
copy:
  copy_to_cursor 0
  jump @out
move:
  move_to_cursor 0
out:
  deselect 0
  return
end

private mark(kind)
  case_jump_eq @line, "L", $kind
  select_char 0
  return
line:
  select_line 0
  return
end

; One undo ("U") or redo ("R") as the undo key does it; rc tells.
proc undo1(mode)
  push_var $mode
  undo 1
  return
end
)";

class MacroModel : public textbi::TextBiTest {
 protected:
  MacroModel() { kb_ = storetest::kThreePagesKb; }

  size_t pick(size_t n) { return n ? static_cast<size_t>(rng_() % n) : 0; }
  std::string word() {
    static const char kChars[] = "abcdxyz XYZ.-";
    std::string s;
    for (size_t i = 0, n = pick(12); i < n; ++i) s += kChars[pick(sizeof kChars - 1)];
    return s;
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < model_.size()) {
      const size_t e = model_.find('\n', at);
      out.push_back(model_.substr(at, e - at));
      at = e + 1;
    }
    return out;
  }
  // Offset of (line, col) in the model (1-based line).
  size_t off(int32_t line, int32_t col) const {
    size_t at = 0;
    for (int32_t i = 1; i < line; ++i) at = model_.find('\n', at) + 1;
    return at + static_cast<size_t>(col);
  }
  textbi::Outcome call_undo(const char* mode) {
    std::string_view args[] = {mode};
    vm_catch.last_stop = 0;
    vm_call_index(static_cast<int32_t>(name_find("undo1", NF_CALLABLE)), args);
    textbi::Outcome o;
    o.stop = vm_catch.last_stop;
    o.rc = rc();
    return o;
  }
  void call(const std::string& proc, std::vector<std::string> args) {
    std::vector<std::string_view> v(args.begin(), args.end());
    vm_call_index(static_cast<int32_t>(name_find("step", NF_CALLABLE)), {});
    ASSERT_EQ(0, vm_call_index(static_cast<int32_t>(name_find(proc, NF_CALLABLE)), v)) << proc;
  }

  // One random command, applied to the buffer and to the model.
  void command() {
    const auto ls = lines();
    const int32_t n = static_cast<int32_t>(ls.size());
    const int32_t L = 1 + static_cast<int32_t>(pick(static_cast<size_t>(n)));
    const int32_t len = static_cast<int32_t>(ls[static_cast<size_t>(L - 1)].size());
    const int32_t c = static_cast<int32_t>(pick(static_cast<size_t>(len) + 1));
    switch (pick(9)) {
      case 0: {
        const std::string w = word();
        call("type", {std::to_string(L), std::to_string(c), w});
        model_.insert(off(L, c), w);
        break;
      }
      case 1: {
        const std::string w = word();
        call("ins_line", {std::to_string(L), w});
        model_.insert(off(L, len) + 1, w + "\n");
        break;
      }
      case 2:
        if (n < 5) return;
        call("del_line", {std::to_string(L)});
        model_.erase(off(L, 0), static_cast<size_t>(len) + 1);
        break;
      case 3:
        call("split", {std::to_string(L), std::to_string(c)});
        model_.insert(off(L, c), "\n");
        break;
      case 4:
        if (L == n) return;
        call("join", {std::to_string(L)});
        model_.erase(off(L, len), 1);
        break;
      case 5:
        if (c == len) return;
        call("dchar", {std::to_string(L), std::to_string(c)});
        model_.erase(off(L, c), 1);
        break;
      case 6:
        if (c == 0) return;
        call("bksp", {std::to_string(L), std::to_string(c)});
        model_.erase(off(L, c - 1), 1);
        break;
      default:
        selection(ls);
    }
  }

  void selection(const std::vector<std::string>& ls) {
    const int32_t n = static_cast<int32_t>(ls.size());
    if (n < 4) return;
    const bool line_kind = pick(2) == 0;
    const int32_t l1 = 1 + static_cast<int32_t>(pick(static_cast<size_t>(n)));
    const int32_t l2 = std::min(n, l1 + static_cast<int32_t>(pick(5)));
    auto len_of = [&](int32_t l) { return static_cast<int32_t>(ls[static_cast<size_t>(l - 1)].size()); };
    int32_t c1 = static_cast<int32_t>(pick(static_cast<size_t>(len_of(l1)) + 1));
    int32_t c2 = static_cast<int32_t>(pick(static_cast<size_t>(len_of(l2)) + 1));
    if (l1 == l2 && c2 < c1) std::swap(c1, c2);
    // The destination lies outside the selected lines.
    int32_t dl = 1 + static_cast<int32_t>(pick(static_cast<size_t>(n)));
    if (dl >= l1 && dl <= l2) dl = l1 > 1 ? l1 - 1 : (l2 < n ? l2 + 1 : 0);
    if (dl == 0) return;
    const int32_t dc = static_cast<int32_t>(pick(static_cast<size_t>(len_of(dl)) + 1));
    const char* ops[] = {"c", "m", "d"};
    const std::string op = ops[pick(3)];
    call("sel", {line_kind ? "L" : "C", std::to_string(l1), std::to_string(c1), std::to_string(l2), std::to_string(c2),
                 std::to_string(dl), std::to_string(dc), op});
    // The selected text and where a copy goes, as offsets in the model.
    const size_t b = line_kind ? off(l1, 0) : off(l1, c1);
    const size_t e = line_kind ? off(l2, len_of(l2)) + 1 : off(l2, c2);
    const size_t d = line_kind ? off(dl, len_of(dl)) + 1 : off(dl, dc);
    const std::string text = model_.substr(b, e - b);
    if (op == "d") {
      model_.erase(b, e - b);
    } else if (op == "c") {
      model_.insert(d, text);
    } else if (d <= b) {
      model_.insert(d, text);
      model_.erase(b + text.size(), text.size());
    } else {
      model_.insert(d, text);
      model_.erase(b, text.size());
    }
    ++selections_;
  }

  std::mt19937_64 rng_;
  std::string model_;
  int selections_ = 0;
};

TEST_F(MacroModel, RandomCommandsMatchTheModelAndUndoAllRedoAllRoundTrip) {
  uint64_t seed = std::random_device{}();
  if (const char* s = getenv("ZVX_SEED")) seed = strtoull(s, nullptr, 10);
  printf("macro model seed %" PRIu64 "\n", seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  rng_.seed(seed);

  for (int i = 0; i < 600; ++i) model_ += "line " + std::to_string(i) + " " + word() + "\n";
  const std::string original = model_;
  BufferRec* b = open(model_);
  undo_enable(b, kUndoDefaultSteps);
  b->wrap_flags = 0;
  ASSERT_TRUE(load(kEditor));

  std::vector<std::string> states{model_};
  for (int i = 0; i < 250; ++i) {
    SCOPED_TRACE("command " + std::to_string(i));
    command();
    if (HasFatalFailure()) return;
    ASSERT_EQ(model_, text());
    ASSERT_EQ("", store_check(b));
    if (states.back() != model_) states.push_back(model_);
  }
  EXPECT_GT(selections_, 30);

  // Undo all: the texts met come in the reverse order of the states.
  size_t k = states.size() - 1;
  for (int guard = 0; guard < 10000; ++guard) {
    const textbi::Outcome o = call_undo("U");
    if (o.rc == "-2033") break;
    ASSERT_EQ(0, o.stop);
    const std::string now = text();
    if (now != states[k]) {
      ASSERT_GT(k, 0u);
      --k;
      ASSERT_EQ(states[k], now) << "undo to state " << k;
    }
  }
  EXPECT_EQ(0u, k);
  EXPECT_EQ(original, text());
  EXPECT_EQ(0, b->modified);
  // Redo all: forward through the same states to the end.
  for (int guard = 0; guard < 10000; ++guard) {
    const textbi::Outcome o = call_undo("R");
    if (o.rc == "-2034") break;
    ASSERT_EQ(0, o.stop);
    const std::string now = text();
    if (now != states[k]) {
      ASSERT_LT(k + 1, states.size());
      ++k;
      ASSERT_EQ(states[k], now) << "redo to state " << k;
    }
  }
  EXPECT_EQ(states.size() - 1, k);
  EXPECT_EQ(model_, text());
  EXPECT_EQ("", store_check(b));
}

}  // namespace

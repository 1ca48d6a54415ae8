// The search built-ins run as byte code over real buffers: find forward and
// backward with options, rc and raised codes, replace and replace-all with
// group references and empty matches, bad patterns, the break key (the
// line walk's flag and the interpreter's poll), the saved search, the match
// information, and options M and P over a real selection.
#include "macro/search_bi.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"
#include "tests/text/buffer_fixture.h"
#include "text/search.h"
#include "text/selection.h"

namespace {

using namespace bc;

class SearchBi : public vmtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    uitest::install();
    uitest::ui.break_source = vmtest::poll_break;  // every poll counted and scripted
    ASSERT_EQ(0, store_init(kb_, dir_.path, 20));
    redraw_bits = 0;
    edit_settings = EditSettings{};
    search_reset();
    sel_install();
  }
  void TearDown() override {
    search_reset();
    if (SelectionMarks* a = sel_active_peek()) sel_free(a);
    sel_uninstall();
    EXPECT_EQ("", buf_check());
    buf_shutdown();
    store_shutdown();
    tab_buffer_processed = nullptr;
    show_tabs_flag = 0;
    edit_settings = EditSettings{};
    VmTest::TearDown();
  }

  // A window showing a buffer made from text; the cursor on line 1.
  BufferRec* open(const std::string& text) {
    std::string path = dir_.file("f.txt");
    storetest::write_file(path, text);
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    EXPECT_EQ(0, buf_create_from_file(&b, a));
    WindowObject* w = window_alloc_record();
    w->rows = 20;
    w->cols = 80;
    w->prop19 = 3;
    window_set_current(w, 0);
    EXPECT_EQ(0, view_attach_buffer(pos_record(b->own_pos), b, &view_, 0, false));
    buf_ = b;
    return b;
  }
  std::string all() {
    PosRecord p{};
    std::string out;
    if (pos_first_line(&p, buf_) != 0) return out;
    do out += line_get_string(&p, buf_) + "\n";
    while (pos_next_line(&p, buf_) == 0);
    return out;
  }
  std::string line() { return line_get_string(view_, buf_); }

  struct Out {
    ErrorCode stop;    // the code that stopped the macro, 0 if none
    ErrorCode raised;  // the last code raised (shown), 0 if none
    std::string rc;
    std::vector<std::string> vars;  // the variable group's values
    std::string value;              // the pushed result
  };

  // Runs one built-in with the arguments; nvars >= 0 passes a variable
  // group of that many fresh globals (rows that take one).
  Out call(std::string_view mnemonic, std::vector<std::string> args, int nvars = 0) {
    ImageBuilder b;
    auto ref = opcode_find(mnemonic);
    EXPECT_TRUE(ref.has_value()) << mnemonic;
    std::vector<uint32_t> slots;
    std::vector<uint16_t> vars;
    for (int i = 0; i < nvars; ++i) {
      slots.push_back(static_cast<uint32_t>(var_alloc_global()));
      vars.push_back(b.global(static_cast<uint16_t>(slots.back())));
    }
    const uint32_t result = static_cast<uint32_t>(var_alloc_global());
    const uint16_t result_link = b.global(static_cast<uint16_t>(result));
    uint16_t p = b.proc(0, 0, 0);
    for (auto& a : args) b.op("push_const", {k(a)});
    std::vector<Opnd> ops;
    for (char kind : ref->info->operands) ops.push_back(kind == 'c' ? cnt(static_cast<int>(args.size())) : group(vars));
    b.op(mnemonic, ops);
    if (ref->info->pushes == 1) b.op("assign", {var(result_link)});
    b.op("return");
    Out o;
    vmtest::shown.clear();
    o.stop = run(b, p);
    o.raised = vmtest::shown.empty() ? 0 : vmtest::shown.back().code;
    o.rc = rc();
    for (uint32_t s : slots) o.vars.push_back(value(s));
    o.value = value(result);
    return o;
  }

  int32_t kb_ = -1;
  storetest::TempDir dir_;
  BufferRec* buf_ = nullptr;
  PosRecord* view_ = nullptr;
};

// A sequence of calls over one buffer; each row checks the outcome and
// where the cursor went.
struct Step {
  const char* mnemonic;
  std::vector<std::string> args;
  ErrorCode raised;
  const char* rc;
  const char* line;  // the cursor's line afterwards
  int32_t column;    // the view's 0-based cursor column afterwards
};

TEST_F(SearchBi, FindsForwardAndBackwardWithOptions) {
  open("alpha\nbeta x\ngamma X\ndelta x\n");
  const Step steps[] = {
      {"search", {"x"}, 0, "0", "beta x", 5},
      // A match at the cursor column stops there; repeat starts one byte on.
      {"search", {"x"}, 0, "0", "beta x", 5},
      {"repeat_search", {}, 0, "0", "delta x", 6},
      // Ignore case finds the capital on the way back.
      {"repeat_search", {"-I"}, 0, "0", "gamma X", 6},
      {"repeat_search", {"E"}, 0, "0", "beta x", 5},
      // Nothing above: raised, and the cursor stays.
      {"repeat_search", {}, ERR_STRING_NOT_FOUND, "-3022", "beta x", 5},
      // "@" keeps the failure in rc only.
      {"search", {"zzz", "@"}, 0, "-3022", "beta x", 5},
      // The cursor after the match.
      {"search", {"delta", ">"}, 0, "0", "delta x", 5},
      // Regular expressions in both syntaxes.
      {"search", {"al?ha", "-R"}, 0, "0", "alpha", 0},
      {"search", {"g(a|e)m+a", "U"}, 0, "0", "gamma X", 0},
      // An empty pattern does nothing.
      {"search", {""}, 0, "0", "gamma X", 0},
      // A bad option letter, raised or (after "@") only in rc.
      {"search", {"x", "Q"}, ERR_INVALID_OPTION, "-3030", "gamma X", 0},
      {"search", {"x", "@Q"}, 0, "-3030", "gamma X", 0},
      {"repeat_search", {"", "0"}, ERR_INVALID_ARGUMENT, "-3015", "gamma X", 0},
      {"repeat_search", {"", "x"}, ERR_INVALID_NUMBER_ARGUMENT, "-3009", "gamma X", 0},
      // A start column (display column of the cursor line).
      {"search", {"a"}, 0, "0", "gamma X", 1},
      {"repeat_search", {"", "3"}, 0, "0", "gamma X", 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.mnemonic) + " " + (s.args.empty() ? "" : s.args[0]));
    Out o = call(s.mnemonic, s.args);
    EXPECT_EQ(o.raised, s.raised);
    EXPECT_EQ(o.rc, s.rc);
    EXPECT_EQ(line(), s.line);
    EXPECT_EQ(view_->column, s.column);
  }
  EXPECT_EQ(all(), "alpha\nbeta x\ngamma X\ndelta x\n");
}

struct ReplaceCase {
  const char* text;
  std::vector<std::string> args;  // pattern, options, replacement
  const char* want;
  const char* count;
};

TEST_F(SearchBi, ReplacesAllWithGroupReferencesAndEmptyMatches) {
  const ReplaceCase cases[] = {
      {"ab12 cd34\nef56\n", {"([a-z]+)([0-9]+)", "U", "\\2\\1"}, "12ab 34cd\n56ef\n", "3"},
      // The first group of the own syntax is #0; \# is a plain '#'.
      {"ab12 cd34\n", {"{[a-z][a-z]}{[0-9][0-9]}", "R", "#1#0\\#1"}, "12ab#1 34cd#1\n", "2"},
      // V1: \d is a group, \ and another byte that byte.
      {"ab12\n", {"{[a-z][a-z]}{[0-9][0-9]}", "V1", "\\1\\-\\0"}, "12-ab\n", "1"},
      // A replacement holding the pattern resumes after the inserted text.
      {"aaa\nbab\n", {"a", "", "aa"}, "aaaaaa\nbaab\n", "4"},
      // A pattern matching the empty string advances and ends, cutting no line.
      {"ab\n\ncd\n", {"x*", "U", "-"}, "-a-b-\n-\n-c-d-\n", "7"},
      {"ab\n", {"^", "U", ">"}, ">ab\n", "1"},
      // Ignore case with the plain search.
      {"Ab aB\n", {"ab", "I", "x"}, "x x\n", "2"},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.args[0]);
    open(c.text);
    Out o = call("search", c.args, 1);
    EXPECT_EQ(o.raised, 0);
    EXPECT_EQ(o.rc, "0");
    ASSERT_EQ(o.vars.size(), 1u);
    EXPECT_EQ(o.vars[0], c.count);
    EXPECT_EQ(all(), c.want);
    search_reset();
    buf_shutdown();
  }
}

TEST_F(SearchBi, ReplaceAllWithoutACountVariableSetsRcToTheResult) {
  open("a a\n");
  Out o = call("search", {"a", "", "b"});
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(all(), "b b\n");
  // Nothing to replace is success too.
  o = call("search", {"q", "", "b"}, 1);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(o.vars[0], "0");
}

TEST_F(SearchBi, ABadPatternGivesMinus2500AndChangesNothing) {
  open("ab(c\nx\n");
  view_->column = 0;
  for (const char* opts : {"U", "R"}) {
    SCOPED_TRACE(opts);
    Out o = call("search", {opts[0] == 'U' ? "a(b" : "a{b", opts, "z"}, 1);
    EXPECT_EQ(o.raised, ERR_INVALID_REGEX);
    EXPECT_EQ(o.rc, "-2500");
    EXPECT_EQ(all(), "ab(c\nx\n");
    EXPECT_EQ(line(), "ab(c");
  }
  Out o = call("search", {"a(b", "U@", "z"}, 1);
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(o.rc, "-2500");
  // A bad escape in the replacement: -2500, nothing replaced, none counted.
  view_->column = 0;
  o = call("search", {"b", "U", "\\xg"}, 1);
  EXPECT_EQ(o.raised, ERR_INVALID_REGEX);
  EXPECT_EQ(o.rc, "-2500");
  EXPECT_EQ(o.vars[0], "0");
  EXPECT_EQ(all(), "ab(c\nx\n");
  ASSERT_EQ(call("search", {"b", "R"}).rc, "0");
  EXPECT_EQ(call("search_replace", {"\\x"}).raised, ERR_INVALID_REGEX);
  EXPECT_EQ(all(), "ab(c\nx\n");
  ASSERT_EQ(call("search", {"a(b", "U@", "z"}, 1).rc, "-2500");
  // The failed compile stays marked: a repeat compiles again and fails again.
  o = call("repeat_search", {});
  EXPECT_EQ(o.rc, "-2500");
  EXPECT_EQ(o.raised, 0);  // the repeat keeps "@"
  EXPECT_EQ(all(), "ab(c\nx\n");
}

TEST_F(SearchBi, TheBreakKeyStopsTheLineWalk) {
  open("a\nb\nc\nneedle\n");
  // Polls a run makes without any search; the key is down at the first
  // poll after a call's own, which is the line walk's.
  ImageBuilder empty;
  uint16_t e = empty.proc(0, 0, 0);
  empty.op("return");
  run(empty, e);
  const int walk = 2 * vmtest::break_polls + 1;
  vmtest::on_break_poll = [walk](int n) { return n == walk ? 1 : 0; };
  Out o = call("search", {"needle"});
  EXPECT_EQ(o.raised, ERR_COMMAND_CANCELLED);
  EXPECT_EQ(o.rc, "-2038");
  EXPECT_EQ(line(), "a");
  EXPECT_GE(vmtest::break_polls, walk);
  vmtest::on_break_poll = nullptr;
  EXPECT_EQ(call("search", {"needle"}).rc, "0");
  EXPECT_EQ(line(), "needle");
}

TEST_F(SearchBi, EveryFifthSearchPollsTheInterpretersBreakCheck) {
  open("x\n");
  // The key is held down all along, and only a poll told to look at once
  // sees it (the search's check of the interpreter's break key is one): the
  // other polls, the runs' own and the line walks', look too seldom.
  uitest::ui.break_source = nullptr;
  uitest::ui.countdown = 1 << 30;
  uitest::ui.key_down = true;
  // One search: the countdown from 4 has not passed below 0, no check.
  const Out first = call("search", {"x"});
  EXPECT_EQ(first.raised, 0);
  EXPECT_EQ(first.rc, "0");
  // Four more in one run: the fifth call checks and the macro stops there.
  ImageBuilder b;
  uint32_t slots[4];
  uint16_t links[4];
  for (int i = 0; i < 4; ++i) {
    slots[i] = static_cast<uint32_t>(var_alloc_global());
    links[i] = b.global(static_cast<uint16_t>(slots[i]));
  }
  const uint16_t rc_link = b.global(1);
  uint16_t p = b.proc(0, 0, 0);
  for (int i = 0; i < 4; ++i) {
    b.op("push_const", {k("x")});
    b.op("search", {cnt(1), group({})});
    b.op("push_var", {var(rc_link)});
    b.op("assign", {var(links[i])});
  }
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_BREAK_KEY);
  uitest::ui.key_down = false;
  EXPECT_EQ(value(slots[0]), "0");
  EXPECT_EQ(value(slots[1]), "0");
  EXPECT_EQ(value(slots[2]), "0");
  EXPECT_EQ(value(slots[3]), "");
  EXPECT_EQ(rc(), "-3020");
}

TEST_F(SearchBi, ReplacesTheLastMatchAndSearchesOn) {
  open("foo boo\n");
  EXPECT_EQ(call("search", {"o"}).rc, "0");
  Out o = call("search_replace", {"0", "r"});
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(all(), "f0o boo\n");
  EXPECT_EQ(view_->column, 2);  // on the next "o"
  EXPECT_EQ(call("search_replace", {"0"}).rc, "0");
  EXPECT_EQ(all(), "f00 boo\n");
  EXPECT_EQ(call("search_replace", {"0", "Q"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(all(), "f00 boo\n");
  // Searching on past the last match fails, and that is always raised.
  EXPECT_EQ(call("search", {"boo", "@"}).rc, "0");
  o = call("search_replace", {"b", "R"});
  EXPECT_EQ(o.raised, ERR_STRING_NOT_FOUND);
  EXPECT_EQ(all(), "f00 b\n");
}

TEST_F(SearchBi, MatchInformation) {
  open("xabbb yz\n");
  ASSERT_EQ(call("search", {"(a)(b+)", "U"}).rc, "0");
  struct {
    const char* option;
    const char* want;
  } const cases[] = {
      {"", "4"}, {"1", "1"}, {"2", "3"}, {"3", "0"}, {"C", "0"}, {"S", "1"}, {"S2", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    Out o = call("match_info", c.option[0] ? std::vector<std::string>{c.option} : std::vector<std::string>{});
    EXPECT_EQ(o.raised, 0);
    EXPECT_EQ(o.value, c.want);
  }
  EXPECT_EQ(call("match_info", {"X"}).raised, ERR_INVALID_ARGUMENT);
  // Own syntax: a digit names that group, "C" the cursor after the match.
  ASSERT_EQ(call("search", {"{y}z", "R>"}).rc, "0");
  EXPECT_EQ(call("match_info", {"0"}).value, "1");
  EXPECT_EQ(call("match_info", {"C"}).value, "2");
  EXPECT_EQ(call("match_info", {"S"}).value, "6");
}

TEST_F(SearchBi, SavesAndRestoresTheSearch) {
  open("abc\nxbc\nybc\n");
  ASSERT_EQ(call("search", {"ybc"}).rc, "0");
  // Backward from the start of "ybc": the match is on the line above.
  ASSERT_EQ(call("search", {"b.", "U-"}).rc, "0");
  EXPECT_EQ(line(), "xbc");
  Out saved = call("save_search", {}, 4);
  EXPECT_EQ(saved.raised, 0);
  ASSERT_EQ(saved.vars.size(), 4u);
  EXPECT_EQ(saved.vars[0], "b.");
  EXPECT_EQ(saved.vars[1], "136");  // Unix syntax 0x80, backward 0x8
  EXPECT_EQ(saved.vars[2], "[A-Za-z0-9_$]");
  EXPECT_EQ(saved.vars[3], " 2 2 0");
  // Three variables leave the match out; other group sizes are refused.
  EXPECT_EQ(call("save_search", {}, 3).vars[1], "136");
  EXPECT_EQ(call("save_search", {}, 2).raised, ERR_INVALID_ARGUMENT);
  // Another search, then the saved one comes back and goes on backward.
  ASSERT_EQ(call("search", {"abc"}, 0).rc, "-3022");
  Out r = call("restore_search", saved.vars);
  EXPECT_EQ(r.raised, 0);
  EXPECT_EQ(call("repeat_search", {}).rc, "0");
  EXPECT_EQ(line(), "abc");
  // A bad flags number is raised and leaves the state alone.
  EXPECT_EQ(call("restore_search", {"zz", "x1", "[a]"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(call("save_search", {}, 3).vars[0], "b.");
  EXPECT_EQ(call("restore_search", {"zz", "1"}).raised, ERR_INVALID_ARGUMENT);
}

TEST_F(SearchBi, WithoutAViewTheSearchingBuiltInsRaise2073) {
  open("abc\n");
  window_set_current(nullptr, 0);
  for (const char* m : {"search", "repeat_search", "search_replace"}) {
    SCOPED_TRACE(m);
    std::vector<std::string> args;
    if (std::string_view(m) != "repeat_search") args.push_back("a");
    EXPECT_EQ(call(m, args).raised, ERR_NOT_ALLOWED_ON_OBJECT);
  }
}

TEST_F(SearchBi, OptionsMAndPWorkOnTheActiveSelection) {
  open("x1 x2 x3\nx4\n");
  SelectionMarks* sel = sel_active();
  ASSERT_NE(sel, nullptr);
  // A character selection of " x2" (columns 2 to 4; the end is exclusive).
  view_->column = 2;
  sel_start(sel, kSelChar, view_);
  view_->column = 5;
  ASSERT_EQ(sel_extend(sel, kSelChar, view_), 0);
  view_->column = 0;
  Out o = call("search", {"x", "M"});
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(view_->column, 3);
  EXPECT_EQ(call("repeat_search", {"@"}).rc, "-3022");  // x3 lies outside
  // Replace inside the selection; P moves its end with the longer text.
  view_->column = 0;
  o = call("search", {"x", "MP", "yy"}, 1);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(o.vars[0], "1");
  EXPECT_EQ(all(), "x1 yy2 x3\nx4\n");
  EXPECT_EQ(sel->begin->column, 2);
  EXPECT_EQ(sel->end->column, 6);
  // Without P the marks stay where they were.
  view_->column = 0;
  o = call("search", {"yy", "M", "z"}, 1);
  EXPECT_EQ(o.vars[0], "1");
  EXPECT_EQ(all(), "x1 z2 x3\nx4\n");
  EXPECT_EQ(sel->end->column, 6);
  // A selection in another buffer, or none, drops M.
  sel_clear(sel);
  view_->column = 0;
  EXPECT_EQ(call("search", {"x", "M"}).rc, "0");
  EXPECT_EQ(view_->column, 0);
}

// zozu reads the same rows: the count and the variable groups assemble
// and disassemble back by mnemonic.
TEST(SearchBiZozu, AssemblesTheVariableOperands) {
  const std::string zozu = std::string(ZVX_BINARY_DIR) + "/tools/zozu/zozu";
  if (::access(zozu.c_str(), X_OK) != 0) GTEST_SKIP() << "zozu not built";
  storetest::TempDir dir;
  const std::string src = dir.file("s.e"), mod = dir.file("s.ex"), out = dir.file("s.txt");
  storetest::write_file(src,
                        "global n\nglobal p\nglobal f\nglobal w\nglobal m\n"
                        "proc go()\n"
                        "  push_const \"a\"\n  push_const \"U\"\n  push_const \"b\"\n"
                        "  search 3, [ $n ]\n"
                        "  push_const \"a\"\n  search 1, [ ]\n"
                        "  save_search [ $p $f $w $m ]\n"
                        "  push_const \"\"\n  match_info 1\n  pop\n"
                        "  return\nend\n");
  ASSERT_EQ(std::system((zozu + " -q -o " + mod + " " + src + " 2>" + out).c_str()), 0);
  ASSERT_EQ(std::system((zozu + " -d -o " + out + " " + mod).c_str()), 0);
  std::ifstream f(out);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  for (const char* want : {"search 3, [ $n ]", "search 1, [ ]", "save_search [ $p $f $w $m ]", "match_info 1"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
}

}  // namespace

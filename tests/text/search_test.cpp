// Search and replace over real buffers: find, repeat, whole words, the
// cursor options, regular expressions with group references in both
// syntaxes, replace-all (also with patterns that match the empty string),
// ignore case, the break key, bad options, patterns and escapes, and the
// saved search.
#include "text/search.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include "text/engine.h"

#include "text/selection.h"

#include "buffer_fixture.h"

using namespace buftest;

namespace {

class SearchTest : public BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    search_reset();
  }
  void TearDown() override {
    search_reset();
    BufferTest::TearDown();
  }
  // A window showing a buffer made from text; the cursor on line 1.
  BufferRec* open(const std::string& text) {
    BufferRec* b = make("f.txt", text);
    view_ = show(window(), b);
    return b;
  }
  std::string all(BufferRec* b) {
    PosRecord p{};
    std::string out;
    if (pos_first_line(&p, b) != 0) return out;
    do out += line_get_string(&p, b) + "\n";
    while (pos_next_line(&p, b) == 0);
    return out;
  }
  std::string cursor_line() { return text_at(view_); }
  SearchOutcome find(const char* pattern, const char* options = "") {
    return search_find(pattern, options, nullptr, nullptr);
  }
  int32_t replace_all(const char* pattern, const char* options, std::string_view repl) {
    int32_t n = -1;
    SearchOutcome r = search_find(pattern, options, &repl, &n);
    EXPECT_EQ(r.rc, 0) << pattern;
    return n;
  }
  PosRecord* view_ = nullptr;
};

TEST_F(SearchTest, FindMovesTheCursorAndRepeatFindsTheNext) {
  open("alpha\nbeta x\ngamma x\n");
  SearchOutcome r = find("x");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(cursor_line(), "beta x");
  EXPECT_EQ(view_->column, 5);
  EXPECT_EQ(search_state.match_column, 6);
  EXPECT_EQ(search_state.match_length, 1);
  // A match at the cursor column stops there; repeat starts one byte on.
  EXPECT_EQ(find("x").rc, 0);
  EXPECT_EQ(cursor_line(), "beta x");
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "gamma x");
  SearchOutcome miss = search_repeat("", -1);
  EXPECT_EQ(miss.rc, ERR_STRING_NOT_FOUND);
  EXPECT_TRUE(miss.raise);
  // The previous match stays.
  EXPECT_EQ(cursor_line(), "gamma x");
  EXPECT_EQ(search_state.match_column, 7);
  // Backward from there.
  EXPECT_EQ(search_repeat("-", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "beta x");
}

TEST_F(SearchTest, CursorAfterTheMatchAndRepeatFromTheCursor) {
  open("abcabc\n");
  EXPECT_EQ(find("bc", ">").rc, 0);
  EXPECT_EQ(view_->column, 3);
  EXPECT_EQ(search_state.cursor_offset, 2);
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(search_state.match_column, 5);
  EXPECT_EQ(view_->column, 6);
}

TEST_F(SearchTest, EmptyPatternDoesNothing) {
  open("abc\nabc\n");
  view_->column = 2;
  SearchOutcome r = find("");
  EXPECT_EQ(r.rc, 0);
  EXPECT_FALSE(r.raise);
  EXPECT_EQ(view_->column, 2);
}

TEST_F(SearchTest, WholeWords) {
  open("axb x\n");
  EXPECT_EQ(find("x", "W").rc, 0);
  EXPECT_EQ(search_state.match_column, 5);
  open("x_y xy x\n");
  EXPECT_EQ(find("x", "W").rc, 0);
  EXPECT_EQ(search_state.match_column, 8);
  // Other word characters: '_' no longer joins words.
  view_->column = 0;
  EXPECT_EQ(find("x", "W=[a-z]").rc, 0);
  EXPECT_EQ(search_state.match_column, 1);
}

TEST_F(SearchTest, IgnoreCaseKeepsTheSavedPattern) {
  open("xx abc\nABC\nabc\n");
  view_->column = 3;
  EXPECT_EQ(find("abc", "I").rc, 0);
  EXPECT_EQ(search_pattern.view(), "abc");
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "ABC");
  // Exact case again: the lower-case text is found, not the upper.
  EXPECT_EQ(search_repeat("E", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "abc");
  SearchSaved saved;
  search_save(saved);
  EXPECT_EQ(saved.pattern.view(), "abc");
  // The same for regular expressions: \c and \g survive.
  open("ab\nAXB\n");
  EXPECT_EQ(find("{a}\\c?b", "RI").rc, 0);
  EXPECT_EQ(search_pattern.view(), "{a}\\c?b");
  EXPECT_EQ(search_state.cursor_offset, 1);
}

TEST_F(SearchTest, RegularExpressionsAndMatchInfo) {
  BufferRec* b = open("one\nkey = 42\n");
  EXPECT_EQ(find("{:v} = {:i}", "R").rc, 0);
  EXPECT_EQ(cursor_line(), "key = 42");
  int64_t v = -1;
  EXPECT_EQ(search_match_info("", &v), 0);
  EXPECT_EQ(v, 8);
  EXPECT_EQ(search_match_info("1", &v), 0);
  EXPECT_EQ(v, 2);
  EXPECT_EQ(search_match_info("S", &v), 0);
  EXPECT_EQ(v, 4);  // "one\n" comes first
  EXPECT_EQ(search_match_info("S1", &v), 0);
  EXPECT_EQ(v, 10);
  EXPECT_EQ(search_match_info("Q", &v), ERR_INVALID_ARGUMENT);
  // Unix syntax numbers groups from 1.
  EXPECT_EQ(find("(\\:v) = (\\:i)", "U").rc, 0);
  EXPECT_EQ(search_match_info("1", &v), 0);
  EXPECT_EQ(v, 3);
  // A cursor mark puts the cursor at the mark.
  EXPECT_EQ(find("= \\c:i", "R").rc, 0);
  EXPECT_EQ(view_->column, 6);
  EXPECT_EQ(search_match_info("C", &v), 0);
  EXPECT_EQ(v, 2);
  EXPECT_EQ(all(b), "one\nkey = 42\n");
}

TEST_F(SearchTest, ReplaceAllWithGroupReferences) {
  struct R {
    const char* pattern;
    const char* options;
    const char* replacement;
    const char* want;
    int count;
  };
  const R cases[] = {
      {"{:w}={:i}", "R", "#1=#0", "1=a\nx 22=bb\n", 2},
      {"{:w}={:i}", "R", "\\#1", "#1\nx #1\n", 2},
      {"{:w}={:i}", "R", "#x#", "#x\nx #x\n", 2},          // '#' and another byte stay; a final '#' goes
      {"{:w}={:i}", "R", "<#5>\\t", "<>\t\nx <>\t\n", 2},  // an unmatched group inserts nothing
      {"{:w}={:i}", "V1", "\\1\\=\\0", "1=a\nx 22=bb\n", 2},
      {"(\\:w)=(\\:i)", "U", "\\2=\\1\\n", "1=a\n\nx 22=bb\n\n", 2},
      {"=", "", "#1", "a#11\nx bb#122\n", 2},  // plain text: no expansion
  };
  for (const R& c : cases) {
    SCOPED_TRACE(c.pattern + std::string(" -> ") + c.replacement);
    BufferRec* b = open("a=1\nx bb=22\n");
    EXPECT_EQ(replace_all(c.pattern, c.options, c.replacement), c.count);
    EXPECT_EQ(all(b), c.want);
  }
}

TEST_F(SearchTest, ReplaceAllWithTheReplacementContainingThePatternTerminates) {
  BufferRec* b = open("banana\nxa\n");
  EXPECT_EQ(replace_all("a", "", "aa"), 4);
  EXPECT_EQ(all(b), "baanaanaa\nxaa\n");
}

TEST_F(SearchTest, ReplaceAllWithEmptyMatchesAdvancesAndCutsNothing) {
  struct R {
    const char* pattern;
    const char* options;
    const char* text;
    const char* want;
  };
  const R cases[] = {
      {"x@", "R", "ab\ncd\n", "-a-b-\n-c-d-\n"}, {"a*", "R", "ab\n", "-a-b-\n"},  // lazy: always empty
      {"a*", "U", "baac\n", "-b--c-\n"},         {"x?", "U", "ab\n", "-a-b-\n"},
      {"$", "R", "ab\ncd\n", "ab-\ncd-\n"},      {"^", "U", "ab\ncd\n", "-ab\n-cd\n"},
  };
  for (const R& c : cases) {
    SCOPED_TRACE(std::string(c.options) + " " + c.pattern);
    BufferRec* b = open(c.text);
    replace_all(c.pattern, c.options, "-");
    EXPECT_EQ(all(b), c.want);
  }
  // A line that the replacements make longer than 1024 bytes is cut, as the
  // limit says, with "Lines truncated"; the walk still ends and goes on to
  // the next line.
  std::string text(600, 'b');
  BufferRec* b = open(text + "\nend\n");
  uitest::reset_errors();
  replace_all("x@", "R", "-");
  PosRecord p{};
  ASSERT_EQ(pos_first_line(&p, b), 0);
  std::string first = line_get_string(&p, b);
  EXPECT_GE(first.size(), 1022u);  // the store keeps room for the end of line
  EXPECT_LE(first.size(), 1024u);
  EXPECT_EQ(first.substr(0, 6), "-b-b-b");
  EXPECT_EQ(uitest::ui.last_error, ERR_LINES_TRUNCATED);
  ASSERT_EQ(pos_next_line(&p, b), 0);
  EXPECT_EQ(line_get_string(&p, b), "-e-n-d-");
}

TEST_F(SearchTest, BackwardReplaceAll) {
  BufferRec* b = open("a1 a2\na3\n");
  view_->column = 0;
  ASSERT_EQ(pos_last_line(view_, b), 0);
  view_->column = 2;
  EXPECT_EQ(replace_all("a", "-", "xy"), 3);
  EXPECT_EQ(all(b), "xy1 xy2\nxy3\n");
}

TEST_F(SearchTest, SearchAcrossManyPages) {
  BufferRec* b = open(lines(4000));
  EXPECT_EQ(find("line3999").rc, 0);
  EXPECT_EQ(cursor_line(), "line3999");
  EXPECT_EQ(find("line12", "-").rc, 0);  // from line3999 backward
  EXPECT_EQ(cursor_line(), "line1299");
  ASSERT_EQ(pos_first_line(view_, b), 0);
  view_->column = 0;
  EXPECT_EQ(replace_all("9$", "R", "!"), 400);
  int32_t total = 0;
  PosRecord p{};
  ASSERT_EQ(pos_count_lines(&p, b, total), 0);
  EXPECT_EQ(total, 4000);
  ASSERT_EQ(pos_first_line(view_, b), 0);
  view_->column = 0;
  EXPECT_EQ(find("line399!").rc, 0);
  EXPECT_EQ(cursor_line(), "line399!");
  EXPECT_EQ(find("line3999").rc, ERR_STRING_NOT_FOUND);
}

// A search over a lazily opened file of several megabytes, forward from the
// top or backward from the end, passes over unread text from the file's
// bytes, yet stops exactly where the line walk does: every occurrence in order, with case ignored, never one that only
// the file's bytes hold across the cut of an over-long line, in the last
// line without an end of line; a regular expression likewise, by a byte
// every match holds ('Q'), past lines that hold it and do not match.
TEST_F(SearchTest, SearchOverUnreadTextStopsWhereTheLineWalkDoes) {
  std::string text;
  for (int i = 0; text.size() < (5u << 19); ++i) {
    text += "row " + std::to_string(i) + " of filler text";
    if (i == 20000) text += " needle Q12Z";
    if (i == 25000) text += " Q Z Q1 QZ";       // Q, no match
    if (i == 30000) text += " NEEDLEEDLE Q7Z";  // found with case ignored
    // Cut at 1024 bytes inside "nee|dle" and "Q12|3Z": the file's bytes hold both, no line does.
    if (i == 40000) text += std::string(997, 'x') + "needle";
    if (i == 40002) text += std::string(997, 'x') + "Q123Z";
    text += '\n';
  }
  text += "last needle Q0Z";
  // The lines as the store keeps them: over-long ones cut every 1024 bytes.
  std::vector<std::string> rows;
  for (size_t at = 0; at < text.size();) {
    size_t nl = text.find('\n', at);
    size_t end = nl == std::string::npos ? text.size() : nl + 1;
    for (size_t p = at; p < end; p += kMaxLineBytes) {
      std::string piece = text.substr(p, std::min<size_t>(kMaxLineBytes, end - p));
      if (!piece.empty() && piece.back() == '\n') piece.pop_back();
      rows.push_back(piece);
    }
    at = end;
  }
  auto upper = [](std::string t) {
    for (char& ch : t) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return t;
  };
  struct Case {
    const char* pattern;
    const char* options;
    size_t stops;
  } cases[] = {{"needle", "", 2}, {"nEEdle", "I", 3}, {"Q[0-9]+Z", "U", 3}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.pattern);
    const bool fold = std::string(k.options) == "I", regex = std::string(k.options) == "U";
    std::vector<std::pair<int32_t, int32_t>> want;  // line and column of each stop
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string row = fold ? upper(rows[i]) : rows[i];
      if (regex) {
        for (size_t c = row.find('Q'); c != std::string::npos; c = row.find('Q', c + 1)) {
          size_t d = c + 1;
          while (d < row.size() && std::isdigit(static_cast<unsigned char>(row[d]))) ++d;
          if (d > c + 1 && d < row.size() && row[d] == 'Z')
            want.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(c + 1)});
        }
        continue;
      }
      const std::string p = fold ? upper(k.pattern) : k.pattern;
      for (size_t c = row.find(p); c != std::string::npos; c = row.find(p, c + 1))
        want.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(c + 1)});
    }
    ASSERT_EQ(k.stops, want.size());
    // Forward from the top, then backward from the end of the last line.
    for (const bool back : {false, true}) {
      SCOPED_TRACE(back ? "backward" : "forward");
      search_reset();
      BufferRec* b = open(text);
      if (back) {
        ASSERT_EQ(0, pos_last_line(view_, b));
        view_->column = static_cast<int32_t>(rows.back().size()) + 1;
      }
      const std::string options = std::string(k.options) + (back ? "-" : "");
      std::vector<std::pair<int32_t, int32_t>> got;
      SearchOutcome r = find(k.pattern, options.c_str());
      ASSERT_EQ(0, r.rc);
      EXPECT_LT(store_pages_allocated(), 20) << "pages were built for lines passed over";
      for (; r.rc == 0 && got.size() <= want.size(); r = search_repeat("", -1)) {
        ASSERT_EQ(0, pos_line_number(view_, b, 1));
        got.push_back({view_->line, search_state.match_column});
      }
      EXPECT_EQ(ERR_STRING_NOT_FOUND, r.rc);
      if (back) std::reverse(got.begin(), got.end());
      EXPECT_EQ(want, got);
      EXPECT_EQ("", store_check(b));
      buf_shutdown();
    }
  }
}

// Stepping through every match of a lazily opened file, a line at a time
// (a search, the next line, a search again), finds each matching line once
// and misses none, literal or regular expression, though the unread parts
// are passed over from the file's bytes while the blocks around the cursor
// are read and their line pieces move between blocks.
TEST_F(SearchTest, SteppingThroughEveryMatchOfALazyFileMissesNone) {
  std::string text;
  uint32_t seed = 7;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const char* const ops[] = {"+", "-", "*", "/", "%", "<<", "==", "&&"};
  while (text.size() < (6u << 20)) {
    text += std::string(4 * next(4), ' ');
    switch (next(4)) {
      case 0:
        text += "x = " + std::to_string(next(5000)) + " " + ops[next(8)] + " " + std::to_string(next(5000)) + ";";
        break;
      case 1:
        text += "// a comment / with - signs";
        break;
      case 2:
        text += "call(a, " + std::to_string(next(90)) + ") " + ops[next(8)] + " b;";
        break;
      default:
        text += "}";
        break;
    }
    text += '\n';
  }
  struct Case {
    const char* pattern;
    const char* options;
    bool (*matches)(std::string_view line);
  } cases[] = {
      {"[0-9]+ [-+*/%] [0-9]+", "U",
       [](std::string_view l) {
         for (size_t i = 1; i + 3 < l.size(); ++i)
           if (std::isdigit(static_cast<unsigned char>(l[i - 1])) && l[i] == ' ' && std::strchr("-+*/%", l[i + 1]) &&
               l[i + 2] == ' ' && std::isdigit(static_cast<unsigned char>(l[i + 3])))
             return true;
         return false;
       }},
      {"1 % 2", "", [](std::string_view l) { return l.find("1 % 2") != std::string_view::npos; }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.pattern);
    std::vector<int32_t> want;
    int32_t line = 0;
    for (size_t at = 0; at < text.size(); ++line) {
      const size_t nl = text.find('\n', at);
      if (k.matches(std::string_view(text).substr(at, nl - at))) want.push_back(line + 1);
      at = nl + 1;
    }
    ASSERT_GT(want.size(), 20u);
    search_reset();
    BufferRec* b = open(text);
    std::vector<int32_t> got;
    for (SearchOutcome r = find(k.pattern, k.options); r.rc == 0; r = search_repeat("", 1)) {
      ASSERT_EQ(0, pos_line_number(view_, b, 1));
      got.push_back(view_->line);
      if (pos_next_line(view_, b) != 0 || got.size() > want.size()) break;
    }
    EXPECT_EQ(want, got);
    EXPECT_EQ("", store_check(b));
    buf_shutdown();
  }
}

TEST_F(SearchTest, TopOfFileLineIsNeverAMatch) {
  open("ab\n");
  EXPECT_EQ(find("^", "R").rc, 0);
  EXPECT_EQ(search_repeat("-", -1).rc, ERR_STRING_NOT_FOUND);
}

TEST_F(SearchTest, BreakKeyCancelsTheWalk) {
  open(lines(200));
  uitest::ui.break_flagged = true;
  SearchOutcome r = find("nothing");
  EXPECT_EQ(r.rc, ERR_COMMAND_CANCELLED);
  EXPECT_TRUE(r.raise);
  uitest::ui.break_flagged = false;
  EXPECT_EQ(find("line150").rc, 0);
}

TEST_F(SearchTest, BreakKeyStopsAPathologicalLine) {
  open(std::string(1000, 'a') + "cb\n");
  uitest::ui.key_down = true;
  SearchOutcome r = find("(a+)+b", "U");
  uitest::ui.key_down = false;
  EXPECT_EQ(r.rc, ERR_COMMAND_CANCELLED);
}

TEST_F(SearchTest, BadOptionsPatternsAndEscapes) {
  BufferRec* b = open("abc\n");
  SearchOutcome r = find("a", "Q");
  EXPECT_EQ(r.rc, ERR_INVALID_OPTION);
  EXPECT_TRUE(r.raise);
  r = find("a", "@Q");
  EXPECT_EQ(r.rc, ERR_INVALID_OPTION);
  EXPECT_FALSE(r.raise);
  r = find("[ab", "R");
  EXPECT_EQ(r.rc, ERR_INVALID_REGEX);
  EXPECT_EQ(re_current().direction, 0);  // compiled again next time
  r = find("[ab", "R@");
  EXPECT_FALSE(r.raise);
  std::string_view bad = "\\x";
  int32_t n = -1;
  r = search_find("b", "R", &bad, &n);
  EXPECT_EQ(r.rc, ERR_INVALID_REGEX);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(all(b), "abc\n");
}

TEST_F(SearchTest, ReplaceLastMatchAndSearchOn) {
  BufferRec* b = open("a-a-a\n");
  EXPECT_EQ(find("a").rc, 0);
  EXPECT_EQ(search_replace_last("bb", true).rc, 0);
  EXPECT_EQ(all(b), "bb-a-a\n");
  EXPECT_EQ(search_state.match_column, 4);
  EXPECT_EQ(search_replace_last("c", false).rc, 0);
  EXPECT_EQ(all(b), "bb-c-a\n");
}

TEST_F(SearchTest, SaveAndRestore) {
  open("abc abc\n");
  EXPECT_EQ(find("b", "-@W=[a]").rc, ERR_STRING_NOT_FOUND);
  SearchSaved s;
  search_save(s);
  EXPECT_EQ(s.pattern.view(), "b");
  EXPECT_EQ(s.flags.view(), std::to_string(kSearchFlagRcOnly | kSearchFlagWholeWord | kSearchFlagSavedBackward));
  EXPECT_EQ(s.word_chars.view(), "[a]");
  search_reset();
  std::string_view match = " 1 6 0";
  EXPECT_EQ(search_restore("c", "9x", "[z]", &match), ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(search_pattern.view(), "");
  EXPECT_EQ(search_restore("c", "0", "[z]", &match), 0);
  EXPECT_EQ(search_state.match_length, 1);
  EXPECT_EQ(search_state.match_column, 6);
  EXPECT_EQ(search_restore("c", "8", "[A-Za-z]", nullptr), 0);
  EXPECT_EQ(search_state.direction, -1);
  view_->column = 7;
  EXPECT_EQ(search_repeat("", 8).rc, 0);
  EXPECT_EQ(search_state.match_column, 7);
}

// A selection as the selections layer will report it.
SearchSelection fake_selection;
PosRecord sel_first;
PosRecord sel_last;
bool selection_hook(const BufferRec*, SearchSelection* out) {
  *out = fake_selection;
  return true;
}

TEST_F(SearchTest, InsideACharacterSelection) {
  BufferRec* b = open("x1 x2\nx3\nx4 x5\nx6\n");
  ASSERT_EQ(pos_first_line(&sel_first, b), 0);  // "x1 x2", from column 3 (0-based)
  sel_last = sel_first;
  ASSERT_EQ(pos_next_line(&sel_last, b), 0);
  ASSERT_EQ(pos_next_line(&sel_last, b), 0);  // "x4 x5", up to column 1
  fake_selection = {2, &sel_first, &sel_last, 3, 1};
  search_hooks().selection = selection_hook;
  // From before the selection: x1 starts before its begin column and is
  // skipped, x2 is the first match inside.
  EXPECT_EQ(find("x", "M").rc, 0);
  EXPECT_EQ(cursor_line(), "x1 x2");
  EXPECT_EQ(search_state.match_column, 4);
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "x3");
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "x4 x5");
  EXPECT_EQ(search_state.match_column, 1);
  // "x5" runs past the end column: the search ends there.
  EXPECT_EQ(search_repeat("", -1).rc, ERR_STRING_NOT_FOUND);
  // Block selection: only matches within columns 4..5 (1-based).
  fake_selection = {4, &sel_first, &sel_last, 3, 4};
  ASSERT_EQ(pos_first_line(view_, b), 0);
  view_->column = 0;
  EXPECT_EQ(find("x", "M").rc, 0);
  EXPECT_EQ(search_state.match_column, 4);
  EXPECT_EQ(search_repeat("", -1).rc, 0);
  EXPECT_EQ(cursor_line(), "x4 x5");
  EXPECT_EQ(search_state.match_column, 4);
  search_hooks().selection = nullptr;
  // Without a selection M is dropped.
  ASSERT_EQ(pos_first_line(view_, b), 0);
  view_->column = 0;
  EXPECT_EQ(find("x", "M").rc, 0);
  EXPECT_EQ(search_state.match_column, 1);
  EXPECT_EQ(search_state.flags & kSearchFlagInSelection, 0u);
}

TEST_F(SearchTest, WithoutAViewNothingIsSearched) {
  open("abc\n");
  window_set_current(nullptr, 0);
  SearchOutcome r = find("a");
  EXPECT_EQ(r.rc, ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_TRUE(r.raise);
  EXPECT_EQ(search_repeat("", -1).rc, ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(search_replace_last("x", false).rc, ERR_NOT_ALLOWED_ON_OBJECT);
}

// With the selections layer installed, as the editor runs.
// With the text engine connected, a found line takes the window row the walk
// reached: it stays where it is when that row is in the window, and is
// centred (the search's scroll style) when the walk left the window, except
// near the top of the buffer. Replace-all places every match the same way.
TEST_F(SearchTest, TheFoundLineTakesTheRowTheWalkReached) {
  text_engine_init();
  std::string text;
  for (int i = 1; i <= 200; ++i) {
    const char* mark = i == 3 ? " target-top" : i == 10 ? " near" : i == 100 ? " target-mid" : i == 150 ? " start" : "";
    text += "line" + std::to_string(i) + mark + "\n";
  }
  BufferRec* b = make("rows.txt", text);
  view_ = show(window(25), b);
  struct Step {
    const char* pattern;
    const char* options;
    int32_t line;
    int32_t row;
    bool scrolled;  // the whole window is redrawn
  };
  const Step steps[] = {
      {"near", "", 10, 9, false},          // down inside the window
      {"start", "", 150, 12, true},        // past its bottom: centred
      {"target-mid", "-", 100, 12, true},  // back past its top: centred
      {"line101", "", 101, 13, false},     // the next line, one row down
      {"target-top", "-", 3, 2, true},     // centred, but line 3 can only be row 2
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.pattern);
    redraw_bits = 0;
    ASSERT_EQ(find(st.pattern, st.options).rc, 0);
    EXPECT_EQ(view_->line, st.line);
    EXPECT_EQ(view_->row, st.row);
    EXPECT_EQ((redraw_bits & kRedrawWindow) != 0, st.scrolled);
  }
  // Replace-all from line 3: its last match is line 100, far below.
  EXPECT_EQ(replace_all("target", "", "aim"), 2);
  EXPECT_EQ(view_->line, 100);
  EXPECT_EQ(view_->row, 12);
  EXPECT_EQ(cursor_line(), "line100 aim-mid");
}

class SearchSelectionTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    sel_install();
  }
  void TearDown() override {
    for (SelectionMarks* s : sels_) sel_free(s);
    sel_uninstall();
    SearchTest::TearDown();
  }
  SelectionMarks* selection() {
    sels_.push_back(sel_alloc_pair());
    return sels_.back();
  }
  std::vector<SelectionMarks*> sels_;
};

// Option P: after a replacement the selection marks on its line that lie
// past the match start move by the change in length; a selection that
// begins at the match keeps beginning there, at the replacement.
TEST_F(SearchSelectionTest, OptionPMovesTheMarksPastTheMatchStart) {
  struct Case {
    const char* replacement;
    uint8_t kind;
    int32_t begin, end;  // 0-based columns in "aa XX bb cc"
    int32_t want_begin, want_end;
  };
  const Case cases[] = {
      {"YYY", kSelChar, 3, 6, 3, 7},                                  // begins at the match
      {"Z", kSelChar, 3, 6, 3, 5},   {"YYY", kSelBlock, 3, 5, 3, 5},  // block columns never follow edits
      {"YYY", kSelChar, 6, 7, 7, 8},                                  // after the match
      {"Z", kSelChar, 6, 7, 5, 6},   {"YYY", kSelChar, 0, 3, 0, 3},   // ends at the match start
      {"YYY", kSelChar, 0, 1, 0, 1},                                  // before the match
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.replacement) + " over a selection " + std::to_string(c.begin) + ".." +
                 std::to_string(c.end));
    BufferRec* b = open("aa XX bb cc\n");
    SelectionMarks* sel = selection();
    ASSERT_NE(sel, nullptr);
    PosRecord at{};
    ASSERT_EQ(pos_first_line(&at, b), 0);
    at.column = c.begin;
    ASSERT_EQ(sel_extend(sel, c.kind, &at), 0);
    at.column = c.end;
    ASSERT_EQ(sel_extend(sel, c.kind, &at), 0);
    ASSERT_EQ(replace_all("XX", "P", c.replacement), 1);
    EXPECT_EQ(sel->begin->column, c.want_begin);
    EXPECT_EQ(sel->end->column, c.want_end);
  }
}

}  // namespace

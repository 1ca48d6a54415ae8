// The macro clipboard with the in-memory clipboard: copied text and its
// header, pasting with line splits, CR LF and the 1,021-byte cut, the format
// queries, and the control block written, read back, and refused whenever
// it is malformed.
#include "forms/clipboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/le.h"
#include "forms/prop_table.h"
#include "macro/window_port.h"
#include "tests/macro/text_bi_fixture.h"
#include "text/tabs.h"

namespace {

class Clipboard : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    clip_put({});  // an empty clipboard
    ASSERT_TRUE(clip_register_opcodes(vm_dispatch));
  }
  void TearDown() override {
    clip_put({});
    TextBiTest::TearDown();
  }
};

// The in-memory clipboard as the built-ins see it, through the paste path:
// holding exactly the given plain text.
void hold_text(const std::string& t) {
  const std::pair<ClipFormat, std::string> text[] = {{ClipFormat::Text, t}};
  ASSERT_EQ(clip_put(text), 0);
}

TEST_F(Clipboard, CopiedTextGoesWithItsHeaderAndPastesBack) {
  // The copy built-ins' clipboard (their port) is this one.
  ASSERT_EQ(clip_put_text("pid=7 line", "a\nb\nc\n"), 0);
  open("x\n");
  at(1, 1);
  const textbi::Outcome o = run(R"(  push_const "zxtext"
  clipboard_has_format
  assign $out
  push_const "ZXCONTROLS"
  clipboard_has_format
  assign $out2
  push_const "1"
  clipboard_has_format
  assign $out3
  clipboard_empty
  assign $out4
  paste 0)");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(o.out, "pid=7 line");
  EXPECT_EQ(o.out2, "0");
  EXPECT_EQ(o.out3, "1");
  EXPECT_EQ(o.out4, "0");
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(text(), "xa\nb\nc\n\n");
}

TEST_F(Clipboard, TheCopyBuiltInWritesTheHeaderWithTheProcessId) {
  open("one\ntwo\nthree\nfour\n");
  const textbi::Outcome o = run(R"(  select_line 0
  push_const "2"
  cursor_down 1
  select_line 0
  copy_to_clipboard 0
  push_const "ZXTEXT"
  clipboard_has_format
  assign $out
  push_const "4"
  cursor_down 1
  paste 0)");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(o.out, "pid=" + std::to_string(::getpid()) + " line");
  // The three lines, each with its LF, pasted at the start of the last line.
  EXPECT_EQ(text(), "one\ntwo\nthree\none\ntwo\nthree\nfour\n");
}

// What a format of the clipboard holds, without the NUL its writer adds.
std::string held(ClipFormat f) {
  std::string s;
  if (clip_get(f, &s) != 0) return "(none)";
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

// Each kind of selection goes to the clipboard with its header: the
// process, the kind and, for a block, its width.
TEST_F(Clipboard, TheCopyBuiltInPutsEachSelectionKindWithItsHeader) {
  open("ab\tc\ndef\nghi\n");
  const std::string pid = std::to_string(::getpid());
  const std::string down = "push_const \"1\"\ncursor_down 1\n", down2 = "push_const \"2\"\ncursor_down 1\n";
  const std::string right = "cursor_right\n";
  struct Case {
    std::string code, header, text;
  };
  const Case cases[] = {
      {"select_line 0\n" + down + "select_line 0\n", "pid=" + pid + " line", "ab\tc\ndef\n"},
      {"select_char 0\n" + down + "select_char 0\n", "pid=" + pid + " char", "ab\tc\n"},
      {right + "select_char 0\n" + down + "end_line\ncursor_right\nselect_char 0\n", "pid=" + pid + " char",
       "b\tc\ndef\n"},
      {right + "select_block 0\n" + down2 + right + "select_block 0\n", "pid=" + pid + " block 2", "b\t\nef\nhi\n"},
  };
  for (const Case& k : cases) {
    at(1, 0);
    const textbi::Outcome o = run("deselect 0\n" + k.code + "copy_to_clipboard 0");
    EXPECT_EQ("0", o.rc) << k.code;
    EXPECT_EQ(k.header, held(ClipFormat::ZorvexText)) << k.code;
    EXPECT_EQ(k.text, held(ClipFormat::Text)) << k.code;
  }
  EXPECT_EQ("-2013", run("deselect 0\ncopy_to_clipboard 0").rc);
}

TEST_F(Clipboard, PasteSplitsJoinsAndPlacesTheCursor) {
  struct Case {
    const char* name;
    std::string line;
    int32_t col;
    std::string clip;
    std::string want;
    int32_t line_after, col_after;
  };
  const std::string big(3000, 'z');
  const Case cases[] = {
      {"into a line", "abcdef", 3, "XY", "abcXYdef\n", 1, 5},
      {"several lines", "abc", 1, "1\n2\n3", "a1\n2\n3bc\n", 3, 1},
      {"CR LF as LF", "ab", 0, "1\r\n2\r\n", "1\n2\nab\n", 3, 0},
      {"a final NUL is not text", "ab", 2, std::string("Q\0", 2), "abQ\n", 1, 3},
      {"past the end of the line", "ab", 4, "X", "ab  X\n", 1, 5},
      {"3000 bytes", "", 0, big,
       std::string(1021, 'z') + "\n" + std::string(1021, 'z') + "\n" + std::string(958, 'z') + "\n", 3, 958},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open(c.line + "\n", std::string("p") + std::to_string(&c - cases) + ".txt");
    at(1, c.col);
    hold_text(c.clip);
    ASSERT_EQ(clip_paste_text(), 0);
    EXPECT_EQ(text(), c.want);
    EXPECT_EQ(cur_line(), c.line_after);
    EXPECT_EQ(cur_col(), c.col_after);
  }
}

// The cursor's column is a display column: a tab before it counts to its
// stop (every 8 columns here), never as one byte.
TEST_F(Clipboard, TabsStayWholeAndCountTheirColumns) {
  struct Case {
    const char* name;
    std::string line;
    int32_t col;
    std::string clip;
    std::string want;
    int32_t col_after;
  };
  const Case cases[] = {
      {"after a leading tab", "\tz", 8, "Q", "\tQz\n", 9},
      {"after the y of a tabbed line", "\ty = 1;", 9, "Hello, world", "\tyHello, world = 1;\n", 21},
      {"at the end of a tabbed line", "\ty = 1;", 14, "!", "\ty = 1;!\n", 15},
      {"past the end of a tabbed line", "\tab", 12, "X", "\tab  X\n", 13},
      {"between two tabs", "a\t\tb", 8, "Q", "a\tQ\tb\n", 9},
      {"a pasted tab counts to its stop", "xy", 1, "\t", "x\ty\n", 8},
      {"inside a tab's blanks: they become blanks", "\tz", 3, "Q", "   Q     z\n", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open(c.line + "\n", std::string("t") + std::to_string(&c - cases) + ".txt");
    at(1, c.col);
    hold_text(c.clip);
    ASSERT_EQ(clip_paste_text(), 0);
    EXPECT_EQ(text(), c.want);
    EXPECT_EQ(cur_col(), c.col_after);
  }
}

TEST_F(Clipboard, TextAfterTheCursorIsNeverCutOff) {
  open(std::string(1000, 'a') + "\n");
  at(1, 10);
  hold_text(std::string(1000, 'b'));
  ASSERT_EQ(clip_paste_text(), 0);
  EXPECT_EQ(text(), std::string(10, 'a') + std::string(1000, 'b') + "\n" + std::string(990, 'a') + "\n");
  EXPECT_EQ(cur_line(), 1);
  EXPECT_EQ(cur_col(), 1010);
}

TEST_F(Clipboard, NothingOnTheTopOfFileLine) {
  open("abc\n");
  at(0, 0);
  hold_text("X");
  EXPECT_EQ(clip_paste_text(), 0);
  EXPECT_EQ(text(), "abc\n");
}

TEST_F(Clipboard, QueriesAndRefusals) {
  open("abc\n");
  textbi::Outcome o = run(R"(  clipboard_empty
  assign $out
  push_const "ZXTEXT"
  clipboard_has_format
  assign $out2
  push_const "2"
  clipboard_has_format
  assign $out3)");
  EXPECT_EQ(o.out, "1");
  EXPECT_EQ(o.out2, "0");
  EXPECT_EQ(o.out3, "0");
  o = run("  push_const \"ZXPICTURE\"\n  clipboard_has_format\n  assign $out");
  EXPECT_TRUE(o.stop == ERR_INVALID_ARGUMENT || o.shown == std::vector<int>{ERR_INVALID_ARGUMENT});
  o = run("  paste 0");
  EXPECT_EQ(o.stop, ERR_CLIPBOARD_FORMAT);
  EXPECT_EQ(text(), "abc\n");
}

// ---- the control block -----------------------------------------------------------------

ClipRecord record(uint16_t type, uint16_t next, uint16_t child, const std::string& name) {
  ClipRecord r;
  r.block.type = type;
  r.block.next = next;
  r.block.child = child;
  prop_set_field(r.block, 39, 300);  // a width
  r.strings[2] = name;               // property 28: the name
  r.strings[0] = "caption of " + name;
  return r;
}

std::vector<ClipObject> sample() {
  ClipObject form;  // a form with two controls in a ring
  form.records = {record(2, 0, 1, "form1"), record(3, 2, 0, "text1"), record(5, 1, 0, "command12")};
  ClipObject label;
  label.records = {record(8, 0, 0, "")};
  return {form, label};
}

bool same(const std::vector<ClipObject>& a, const std::vector<ClipObject>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].records.size() != b[i].records.size()) return false;
    for (size_t k = 0; k < a[i].records.size(); ++k) {
      const ClipRecord &x = a[i].records[k], &y = b[i].records[k];
      if (x.strings != y.strings || x.block.type != y.block.type || x.block.next != y.block.next ||
          x.block.child != y.block.child || prop_get_field(x.block, 39) != prop_get_field(y.block, 39))
        return false;
    }
  }
  return true;
}

TEST(ClipControls, WrittenBlocksReadBack) {
  const std::vector<ClipObject> objects = sample();
  const std::vector<uint8_t> block = clip_write_controls(objects);
  EXPECT_EQ(le::get_u32(block.data()), 2u);
  EXPECT_EQ(le::get_u32(block.data() + 4), 24u);
  EXPECT_EQ(le::get_u32(block.data() + 8), 4u);
  EXPECT_EQ(le::get_u32(block.data() + 12), 0u);
  EXPECT_EQ(le::get_u32(block.data() + 16), 3u);
  EXPECT_EQ(block.back(), 0);
  // The name of the first record sits where its word says.
  const uint32_t at = le::get_u16(block.data() + 24 + 8 + 4 * prop_record(28).word + prop_record(28).shift / 8);
  EXPECT_EQ(le::get_u32(block.data() + at), 5u);
  EXPECT_EQ(std::string(block.begin() + at + 4, block.begin() + at + 9), "form1");
  std::vector<ClipObject> back;
  ASSERT_EQ(clip_read_controls(block, &back), 0);
  EXPECT_TRUE(same(objects, back));
  // Without the final NUL it reads the same.
  ASSERT_EQ(clip_read_controls(std::span(block.data(), block.size() - 1), &back), 0);
  EXPECT_TRUE(same(objects, back));
}

TEST(ClipControls, EveryShortenedBlockIsRefused) {
  const std::vector<uint8_t> block = clip_write_controls(sample());
  for (size_t n = 0; n + 1 < block.size(); ++n) {
    // Copied so that a read past the end is a read past the allocation.
    const std::vector<uint8_t> part(block.begin(), block.begin() + static_cast<ptrdiff_t>(n));
    std::vector<ClipObject> out;
    EXPECT_EQ(clip_read_controls(part, &out), ERR_GET_CLIPBOARD_DATA) << n;
  }
}

TEST(ClipControls, MalformedFieldsAreRefused) {
  const std::vector<uint8_t> good = clip_write_controls(sample());
  const size_t rec0 = 24, rec1 = 24 + 120;
  // The name's 16-bit field in the first record.
  const size_t name0 = rec0 + 8 + 4 * prop_record(28).word + prop_record(28).shift / 8;
  struct Case {
    const char* name;
    size_t at;
    uint32_t value;
    bool half;  // a u16 link word
  };
  const Case cases[] = {
      {"no objects", 0, 0, false},
      {"objects beyond the block", 0, 0x40000000, false},
      {"records offset off", 4, 28, false},
      {"record count too large", 8, 5, false},
      {"record count huge", 8, 0xFFFFFFFF, false},
      {"first object not at record 0", 12, 1, false},
      {"second object outside the records", 16, 4, false},
      {"second object before the first", 16, 0, false},
      {"child link outside the object", rec0 + 4, 3, true},
      {"sibling link outside the object", rec1 + 2, 7, true},
      {"string offset into the records", name0, 30, true},
      {"string offset past the end", name0, static_cast<uint32_t>(good.size() + 8), true},
      {"string offset at the last bytes", name0, static_cast<uint32_t>(good.size() - 2), true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    if (c.half)
      le::put_u16(b.data() + c.at, static_cast<uint16_t>(c.value));
    else
      le::put_u32(b.data() + c.at, c.value);
    std::vector<ClipObject> out;
    EXPECT_EQ(clip_read_controls(b, &out), ERR_GET_CLIPBOARD_DATA) << c.name;
  }
  // A string length that runs past the end.
  std::vector<uint8_t> b = good;
  const uint32_t at = le::get_u16(b.data() + name0);
  le::put_u32(b.data() + at, static_cast<uint32_t>(b.size()));
  std::vector<ClipObject> out;
  EXPECT_EQ(clip_read_controls(b, &out), ERR_GET_CLIPBOARD_DATA);
}

}  // namespace

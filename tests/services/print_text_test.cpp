// Printing into a buffer: golden page images of the paginator for the
// default layout, headers and footers, numbered lines, form feeds and the
// "%" codes; then the built-in run as byte code on real buffers.
#include "services/print_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/opcode_bind.h"
#include "tests/macro/text_bi_fixture.h"

namespace {

using Lines = std::vector<std::string>;

struct Source {
  Lines lines;
  size_t at = 0;
};

Lines paginate(const Lines& in, PrintTextLayout layout, PrintFrames frames = {}, std::string name = "doc.c") {
  Source src{in};
  Lines out;
  PrintTextJob job;
  job.layout = layout;
  job.frames = std::move(frames);
  job.name = std::move(name);
  job.date = "1/2/2026";
  job.source = [](void* u, std::string& line) {
    auto& s = *static_cast<Source*>(u);
    if (s.at == s.lines.size()) return 1;
    line = s.lines[s.at++];
    return 0;
  };
  job.source_user = &src;
  job.sink = [](void* u, std::string_view line) {
    static_cast<Lines*>(u)->emplace_back(line);
    return 0;
  };
  job.sink_user = &out;
  EXPECT_EQ(0, print_text_run(job));
  return out;
}

Lines numbered(const std::string& prefix, int from, int to) {
  Lines v;
  for (int i = from; i <= to; ++i) v.push_back(prefix + std::to_string(i));
  return v;
}
Lines blanks(int n) { return Lines(static_cast<size_t>(n), ""); }
Lines cat(std::initializer_list<Lines> parts) {
  Lines v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}
std::string sp(int n) { return std::string(static_cast<size_t>(n), ' '); }

TEST(PrintTextPages, DefaultsGive57BodyLinesAndAFormFeedBetweenPages) {
  EXPECT_EQ(cat({numbered("L", 1, 57), {"\f"}, numbered("L", 58, 60)}), paginate(numbered("L", 1, 60), {}));
}

TEST(PrintTextPages, HeaderAndFooterFrameEachPage) {
  PrintFrames f;
  f.header[1] = "Title";
  f.footer[1] = "Page %P";
  // header, 2 blanks, 51 body lines, 2 blanks, footer.
  const Lines want = cat({{sp(37) + "Title"},
                          blanks(2),
                          numbered("L", 1, 51),
                          blanks(2),
                          {sp(37) + "Page 1"},
                          {"\f" + sp(37) + "Title"},
                          blanks(2),
                          {"L52"},
                          blanks(52),
                          {sp(37) + "Page 2"}});
  EXPECT_EQ(want, paginate(numbered("L", 1, 52), {}, f));
}

TEST(PrintTextPages, SmallPagesWithAllThreeParts) {
  PrintFrames f;
  f.header[0] = "%F";
  f.header[2] = "p%P";
  f.footer[1] = "-%P-";
  const Lines want = {"doc.c             p1",   "", "a", "b", "c", "d", "", sp(8) + "-1-",
                      "\fdoc.c             p2", "", "e", "f", "g", "h", "", sp(8) + "-2-",
                      "\fdoc.c             p3", "", "i", "",  "",  "",  "", sp(8) + "-3-"};
  EXPECT_EQ(want, paginate({"a", "b", "c", "d", "e", "f", "g", "h", "i"}, {0, 1, 1, 10, 20, 0}, f));
}

TEST(PrintTextPages, LongLinesBreakAtBlanksAndNumbersStayInsideThePage) {
  struct Case {
    Lines in;
    PrintTextLayout layout;
    Lines want;
  } cases[] = {
      {{std::string(200, 'x')}, {}, {std::string(80, 'x'), std::string(80, 'x'), std::string(40, 'x')}},
      {{"one", "two words here and more", "three"},
       {0, 2, 2, 100, 12, 2},
       {"1     one", "2     two", "      words", "      here", "      and", "      more", "      three"}},
      {{"aaa bbb   ccc   "}, {0, 2, 2, 100, 7, 0}, {"aaa bbb", "ccc"}},
      {{"a", "b", "c", "d", "e", "f"},
       {0, 2, 2, 100, 20, 5},
       {"1     a", "      b", "      c", "      d", "5     e", "      f"}},
      {{"abcdef"}, {0, 2, 2, 100, 0, 0}, {"abcdef"}},  // width 0 counts as 10
  };
  for (const auto& c : cases) {
    const Lines got = paginate(c.in, c.layout);
    EXPECT_EQ(c.want, got);
    const int32_t w = c.layout.width < 1 ? 10 : c.layout.width;
    for (const auto& l : got) EXPECT_LE(static_cast<int32_t>(l.size()), w) << l;
  }
}

TEST(PrintTextPages, FormFeedsBreakPages) {
  EXPECT_EQ((Lines{"a", "\f", "b", "\f", "c"}), paginate({"a", "\f", "b", "\fc"}, {}));
  PrintFrames f;
  f.header[0] = "H";
  f.footer[0] = "F";
  // A form feed on an empty first page still writes its header and footer.
  EXPECT_EQ((Lines{"H", "", "", "F", "\fH", "x", "", "F"}), paginate({"\f", "x"}, {0, 0, 0, 5, 10, 0}, f));
}

TEST(PrintTextPages, TheMarkerLineIsSkippedOnlyFirst) {
  EXPECT_EQ((Lines{"2     @zorvex", "3     x"}), paginate({"// @ZorVex mode", "@zorvex", "x"}, {0, 2, 2, 60, 20, 1}));
}

TEST(PrintTextPages, FrameLinesPlaceTheirParts) {
  struct Case {
    std::array<std::string, 3> formats;
    int32_t width;
    int32_t page;
    bool header;
    std::string want;
  } cases[] = {
      {{"Left side text!", "Mid", "R"}, 30, 1, true, "Left side text! Mid          R"},
      {{"A long left text here", "Mid", ""}, 20, 1, true, "A long left text her"},
      {{"abcdefgh", "", "XYZ"}, 10, 1, false, "abcdefgh X"},
      {{"", "", "R"}, 5, 1, true, "    R"},
      {{"", "%P", ""}, 9, 2, true, "\f    2"},
      {{"", "%P", ""}, 9, 2, false, "    2"},
  };
  for (const auto& c : cases) {
    bool any = false;
    EXPECT_EQ(c.want, print_text_frame_text(c.formats, "n", "d", c.page, c.width, c.header, &any));
    EXPECT_TRUE(any);
  }
  bool any = true;
  EXPECT_EQ("", print_text_frame_text({"", "", ""}, "n", "d", 1, 80, true, &any));
  EXPECT_FALSE(any);
}

TEST(PrintTextPages, FormatCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"%F", "doc.c"}, {"%f", "doc.c"}, {"%D", "1/2/2026"}, {"%P", "3"}, {"%p", "3"}, {"%%", "%%"},
      {"%x", "x"},     {"50%", "50%"},  {"a%Pb%", "a3b%"},  {"%5", "5"}, {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(out, print_format_expand(in, "doc.c", "1/2/2026", 3)) << in;
}

TEST(PrintTextPages, TheDateShowsTheFullYear) {
  SysTime t{};
  t.year = 125;
  t.month = 3;
  t.day = 15;
  EXPECT_EQ("3/15/2025", print_date_text(t));
  t.year = 99;
  EXPECT_EQ("3/15/1999", print_date_text(t));
}

// ------------------------------------------------------------------ the built-in

class PrintTextBiTest : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
  }
  // A target buffer with one line, then the source in a second view.
  int32_t target_and_source(const std::string& source) {
    target_ = open("top\n", "out.txt");
    const int32_t id = ~view_current()->handle;
    const std::string path = file("src.c");
    storetest::write_file(path, source);
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(0, buf_create_from_file(&source_, a));
    PosRecord* v = nullptr;
    EXPECT_EQ(0, view_attach_buffer(pos_record(source_->own_pos), source_, &v, 32, false));
    return id;
  }
  static std::string call(int32_t target, const std::vector<std::string>& more) {
    std::string body = "  push_const \"" + std::to_string(target) + "\"\n";
    for (const auto& m : more) body += "  push_const \"" + m + "\"\n";
    return body + "  print_text " + std::to_string(1 + more.size());
  }
  BufferRec* target_ = nullptr;
  BufferRec* source_ = nullptr;
};

TEST_F(PrintTextBiTest, PrintsTheCurrentBufferIntoTheTarget) {
  const int32_t id = target_and_source("int a;\n\tb\n");
  const textbi::Outcome o = run(call(id, {"", "0,0,0,6,20", "%F", "", "", "", "", "p%P"}));
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("0", o.rc);
  // header (centre "src.c"), 3 body lines (the tab expanded), padding, footer.
  EXPECT_EQ("top\n" + sp(7) + "src.c\nint a;\n        b\n\n" + sp(18) + "p1\n", text_of(target_));
  EXPECT_EQ("int a;\n\tb\n", text_of(source_));
}

TEST_F(PrintTextBiTest, BadTargetsAndLayoutsAreRefused) {
  const int32_t id = target_and_source("x\n");
  struct Case {
    std::string body;
    int32_t stop;
  } cases[] = {
      {call(12345, {}), -3015},
      {call(~view_current()->handle, {}), -3015},  // the source's own view
      {call(id, {"", "1,x"}), -3009},
      {"  push_const \"z\"\n  print_text 1", -3009},
  };
  for (const auto& c : cases) {
    const textbi::Outcome o = run(c.body);
    EXPECT_EQ(c.stop, o.stop) << c.body;
  }
  EXPECT_EQ("top\n", text_of(target_));
  EXPECT_EQ("x\n", text_of(source_));
}

}  // namespace

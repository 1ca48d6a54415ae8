// Page printing: with no device every job answers -2092 and leaves the
// windows enabled; a recording device (fixed pitch, 1 unit a twip,
// characters 120 wide, lines 240 high) shows the page layout, two columns
// included; the built-ins run as byte code.
#include "services/print_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/ctl_props.h"
#include "forms/objects.h"
#include "services/opcode_bind.h"
#include "tests/macro/text_bi_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class RecordingDevice : public PrintDevice {
 public:
  int32_t answer = 1;
  Lines log;
  int32_t width = 12240, height = 15840;    // a letter page in twips
  std::function<void()> on_begin, on_text;  // what else happens then

  int32_t query() override { return answer; }
  int32_t begin_doc(std::string_view n) override {
    log.push_back("begin " + std::string(n));
    if (on_begin) on_begin();
    return 0;
  }
  int32_t end_doc() override {
    log.push_back("end");
    return 0;
  }
  void set_font(std::string_view, int32_t, int32_t, int32_t* cw, int32_t* lh, bool* fixed,
                std::array<int32_t, 256>& w) override {
    *cw = 120;
    *lh = 240;
    *fixed = true;
    w.fill(120);
  }
  void page_size(int32_t, int32_t, int32_t* w, int32_t* h) override {
    *w = width;
    *h = height;
  }
  void twips_to_units(int32_t*, int32_t*) override {}
  void text_out(int32_t x, int32_t y, std::string_view t) override {
    log.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::string(t));
    if (on_text) on_text();
  }
  void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
    log.push_back("line " + std::to_string(x1) + "," + std::to_string(y1) + "-" + std::to_string(x2) + "," +
                  std::to_string(y2));
  }
  int32_t new_page() override {
    log.push_back("page");
    return 0;
  }
};

struct Source {
  Lines lines;
  size_t at = 0;
};

int32_t next_line(void* u, std::string& line) {
  auto& s = *static_cast<Source*>(u);
  if (s.at == s.lines.size()) return 1;
  line = s.lines[s.at++];
  return 0;
}

class PrintPageTest : public ::testing::Test {
 protected:
  void TearDown() override { print_set_device(nullptr); }
  int32_t run(const Lines& lines, PrintPageJob job) {
    src_ = Source{lines};
    job.source = next_line;
    job.source_user = &src_;
    return print_page_run(job);
  }
  Source src_;
};

TEST_F(PrintPageTest, NoDeviceAndAnotherDevice) {
  PrintPageJob job;
  EXPECT_EQ(-2092, run({"x"}, job));
  RecordingDevice d;
  print_set_device(&d);
  d.answer = 0;
  EXPECT_EQ(-2092, run({"x"}, job));
  d.answer = 2;
  EXPECT_EQ(-2093, run({"x"}, job));
  EXPECT_TRUE(d.log.empty());
}

TEST_F(PrintPageTest, OneColumnWithHeaderFooterAndNumbers) {
  RecordingDevice d;
  d.height = 720 + 240 + 240 * 3 + 240 + 720;  // three body lines under a centre header, and the footer
  print_set_device(&d);
  PrintPageJob job;
  job.document = "doc";
  job.name = "f.c";
  job.layout.number_every = 2;
  job.frames.header[1] = "%F";
  job.frames.footer[2] = "p%P";
  ASSERT_EQ(0, run({"one", "two", "three"}, job));
  // Width 12240, margins 720: the column is 10800 wide, text indented by 7
  // characters (840) for the numbers. The body starts one line below the
  // top margin because of the centre header; its bottom is H - 720 - 240.
  const Lines want = {"begin doc",     "5940,0 f.c",      "720,960 1",     "1560,960 one", "720,1200 2",
                      "1560,1200 two", "1560,1440 three", "12000,2400 p1", "page",         "end"};
  EXPECT_EQ(want, d.log);
}

TEST_F(PrintPageTest, TwoColumnsFillTheLeftThenTheRightThenANewPage) {
  RecordingDevice d;
  d.width = 4800;
  d.height = 720 + 240 * 2 + 720;  // two lines a column
  print_set_device(&d);
  PrintPageJob job;
  job.document = "doc";
  job.layout.flags = kPrintTwoColumns;
  ASSERT_EQ(0, run({"a", "b", "c", "d", "e"}, job));
  // Left column at x 720; the right one at W/2 + gap/2 = 2760, from
  // y = top + line height, with a rule at W/2 down to the body's bottom.
  const Lines want = {"begin doc",  "720,720 a", "720,960 b", "line 2400,960-2400,1200",
                      "2760,960 c", "page",      "720,720 d", "720,960 e",
                      "page",       "end"};
  EXPECT_EQ(want, d.log);
}

TEST_F(PrintPageTest, LongLinesAreCutToTheColumnAndFormFeedsBreakPages) {
  RecordingDevice d;
  d.width = 720 + 120 * 4 + 720;  // four characters a line
  print_set_device(&d);
  PrintPageJob job;
  job.document = "doc";
  ASSERT_EQ(0, run({"abcdefghij", "\fk"}, job));
  const Lines want = {"begin doc", "720,720 abcd", "720,960 efgh", "720,1200 ij", "page", "720,720 k", "page", "end"};
  EXPECT_EQ(want, d.log);
}

TEST_F(PrintPageTest, TheAbortFlagCancelsWithoutEndingTheDocument) {
  RecordingDevice d;
  print_set_device(&d);
  PrintPageJob job;
  d.on_text = [] { print_abort(); };  // while the first piece is drawn
  EXPECT_EQ(-2038, run({"a", "b"}, job));
  EXPECT_EQ((Lines{"begin ", "720,720 a"}), d.log) << "no piece after it, no page, no end";
}

// ------------------------------------------------------------------ built-ins

class PrintBiTest : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
    // A shown top-level form, which a job holds off while it runs.
    form_ = window_new_child(nullptr);
    obj_set_type(form_, kObjForm);
    ctl_prop_set(form_, 11, 1);
    ctl_prop_set(form_, 2, 1);
  }
  void TearDown() override {
    print_set_device(nullptr);
    TextBiTest::TearDown();
  }
  WindowObject* form_ = nullptr;
};

TEST_F(PrintBiTest, WithoutADeviceRcIsMinus2092AndTheWindowsAreEnabledAgain) {
  open("line\n");
  const textbi::Outcome o = run("  print 0");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("-2092", o.rc);
  EXPECT_EQ(1, ctl_prop(form_, 2));
}

TEST_F(PrintBiTest, TheWindowsAreDisabledWhileTheJobRuns) {
  open("line\n");
  RecordingDevice d;
  int32_t enabled_then = -1;
  d.on_begin = [&] { enabled_then = ctl_prop(form_, 2); };
  print_set_device(&d);
  EXPECT_EQ("0", run("  print 0").rc);
  EXPECT_EQ(0, enabled_then);
  EXPECT_EQ(1, ctl_prop(form_, 2)) << "enabled again at the end";
}

TEST_F(PrintBiTest, ThePrintCallbackBracketsTheJobAndCannotPrintAgain) {
  open("line\n");
  RecordingDevice d;
  print_set_device(&d);
  ASSERT_TRUE(
      load("global log\nproc cb(code, name)\n  push_var $log\n  push_var $code\n  concat\n  assign $log\n"
           "  push_var $code\n  push_const \"0\"\n  str_eq\n  jump_if_false @done\n  print 0\ndone:\n  return\nend\n"));
  const std::string index = std::to_string(name_find("cb", NF_CALLABLE));
  const textbi::Outcome o = run("  push_const \"doc\"\n  push_const \"\"\n  push_const \"" + index + "\"\n  print 3");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("01", global("log"));  // the start call and the end call
  bool refused = false;            // the print inside the callback
  for (const auto& sh : vmtest::shown) refused = refused || sh.code == -3030;
  EXPECT_TRUE(refused);
  EXPECT_EQ((Lines{"begin doc", "720,720 line", "page", "end"}), d.log);
  EXPECT_EQ(1, ctl_prop(form_, 2));
}

TEST_F(PrintBiTest, PrinterSetupAndTheAbortFlag) {
  open("x\n");
  struct Case {
    std::string body;
    int32_t stop;
    std::string out, out2;
  } cases[] = {
      {"  printer_setup 0, [ ]\n  assign $out", 0, "0", "?"},
      {"  push_const \"lp\"\n  push_const \"r\"\n  printer_setup 2, [ $out2 ]\n  assign $out", 0, "0", ""},
      {"  push_const \"lp\"\n  push_const \"X\"\n  printer_setup 2, [ $out2 ]\n  assign $out", -3015, "", "?"},
  };
  for (const auto& c : cases) {
    const textbi::Outcome o = run("  push_const \"?\"\n  assign $out2\n" + c.body);
    EXPECT_EQ(c.stop, o.stop) << c.body;
    if (c.stop == 0) {
      EXPECT_EQ(c.out, o.out);
    }
    EXPECT_EQ(c.out2, o.out2);
  }
  RecordingDevice d;
  print_set_device(&d);
  const textbi::Outcome o = run("  set_flag_ext184\n");
  EXPECT_EQ(0, o.stop);
}

}  // namespace

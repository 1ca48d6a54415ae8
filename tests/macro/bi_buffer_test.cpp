// The buffer, window, edit, save and exit built-ins called as byte code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "macro/bi_edit.h"
#include "tests/macro/text_bi_fixture.h"
#include "text/edit_cmd.h"
#include "text/store_edit.h"

namespace {

using textbi::Outcome;
using textbi::TextBiTest;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool reported(const Outcome& o, int code) {
  return o.stop == code || std::find(o.shown.begin(), o.shown.end(), code) != o.shown.end();
}

std::string name_of(const BufferRec* b) {
  const std::string n(b->name.view());
  return n.substr(n.rfind('/') + 1);
}

class BufferBi : public TextBiTest {};

TEST_F(BufferBi, NextAndPreviousBufferSkipHiddenOnesUnlessAsked) {
  open("a\n", "a.txt");
  open("b\n", "b.txt");
  BufferRec* c = open("c\n", "c.txt");
  ASSERT_EQ("c.txt", name_of(buf_current()));
  struct Step {
    const char* code;
    const char* shown;
  };
  const Step steps[] = {
      {"next_buffer 0", "a.txt"},
      {"next_buffer 0", "b.txt"},
      {"prev_buffer 0", "a.txt"},
      {"push_const \"hr\"\nprev_buffer 1", "c.txt"},
  };
  for (const Step& s : steps) {
    run(s.code);
    EXPECT_EQ(s.shown, name_of(buf_current())) << s.code;
  }
  c->flags |= kBufHidden;
  at(1, 0);
  run("next_buffer 0");
  run("next_buffer 0");
  EXPECT_EQ("b.txt", name_of(buf_current())) << "the hidden c.txt is skipped";
  run("push_const \"H\"\nnext_buffer 1");
  EXPECT_EQ("c.txt", name_of(buf_current()));
  const Outcome bad = run("push_const \"Z\"\nnext_buffer 1");
  EXPECT_TRUE(reported(bad, -3015));
}

TEST_F(BufferBi, BufferMatchWalksTheNamesThenSaysStringNotFound) {
  open("a\n", "ab.txt");
  open("b\n", "abc.txt");
  open("c\n", "x.txt");
  const std::string dir = file("");
  const std::string prefix = "push_const \"" + dir + "ab\"\n";
  Outcome o =
      run(prefix + "push_const \"1\"\nbuf_match 2\nassign $out\n" + prefix +
          "push_const \"0\"\nbuf_match 2\nassign $out2\n" + prefix + "push_const \"0\"\nbuf_match 2\nassign $out3\n");
  EXPECT_EQ(dir + "ab.txt", o.out);
  EXPECT_EQ(dir + "abc.txt", o.out2);
  EXPECT_EQ("", o.out3);
  EXPECT_EQ("-3022", o.rc);

  o = run("push_const \"" + dir + "abc.txt\"\npush_const \"1\"\npush_const \"vx\"\nbuf_match 3\nassign $out");
  BufferRec* abc = buf_match_next(dir + "abc.txt", true, kMatchExact);
  ASSERT_NE(nullptr, abc);
  EXPECT_EQ(std::to_string(abc->handle) + " 0 0 " + dir + "abc.txt", o.out);
  EXPECT_EQ("0", o.rc);

  o = run("push_const \"" + dir + "ab\"\npush_const \"1\"\npush_const \"X\"\nbuf_match 3\nassign $out");
  EXPECT_EQ("", o.out) << "exact: a prefix is no match";
  o = run("push_const \"" + dir + "x.txt\"\npush_const \"1\"\nbuf_match_opts 2\nassign $out");
  EXPECT_EQ(std::to_string(window_current()->handle), o.out);
  o = run("push_const \"zz\"\npush_const \"1\"\nbuf_match_opts 2\nassign $out");
  EXPECT_EQ("0", o.out);
}

TEST_F(BufferBi, WindowIdsViewsAndQuittingAView) {
  open("a\n", "a.txt");
  WindowObject* w = window_current();
  Outcome o = run("window_id_to_var $out");
  EXPECT_EQ(std::to_string(w->handle), o.out);

  // A second view of the buffer in the same window.
  PosRecord* first = view_current();
  PosRecord* second = nullptr;
  ASSERT_EQ(0, view_attach_buffer(pos_record(buf_current()->own_pos), buf_current(), &second, 32, false));
  ASSERT_EQ(second, view_current());
  run("next_view");
  EXPECT_EQ(first, view_current());
  run("prev_view");
  EXPECT_EQ(second, view_current());
  o = run("push_const \"" + std::to_string(~first->handle) + "\"\nactivate_window");
  EXPECT_EQ(first, view_current());
  o = run("push_const \"12345\"\nactivate_window");
  EXPECT_TRUE(reported(o, -3015));
  o = run("push_const \"z\"\nactivate_window");
  EXPECT_EQ(-3009, o.stop);

  run("quit_view");
  EXPECT_EQ(second, view_current()) << "the next view is shown";
  run("quit_view");
  EXPECT_EQ(nullptr, view_current()) << "the last view closes the window's text";
  o = run("quit_view");
  EXPECT_EQ(-2073, o.stop);
}

TEST_F(BufferBi, NextWindowWalksTheRingSkippingHiddenWindows) {
  open("a\n", "a.txt");
  WindowObject* one = window_current();
  WindowObject* two = window_alloc_record();
  two->rows = 25;
  window_set_current(two, 0);
  open("b\n", "b.txt");
  WindowObject* three = window_alloc_record();
  three->rows = 25;
  window_set_current(three, 0);
  open("c\n", "c.txt");
  two->flags |= kWinHidden;
  run("next_window 0");
  EXPECT_EQ(one, window_current());
  run("next_window 0");
  EXPECT_EQ(three, window_current()) << "the hidden window is skipped";
  run("prev_window 0");
  EXPECT_EQ(one, window_current());
  run("push_const \"H\"\nnext_window 1");
  EXPECT_EQ(two, window_current());
  one->group = 1;
  three->group = 2;
  const Outcome o = run("next_window_number\nassign $out");
  EXPECT_EQ("3", o.out);
}

TEST_F(BufferBi, DeleteBufferShowsThePreviousOneAndObjectShowClosesTheWindow) {
  open("a\n", "a.txt");
  open("b\n", "b.txt");
  run("delete_buffer");
  EXPECT_EQ("a.txt", name_of(buf_current()));
  EXPECT_EQ(1, buf_live_count());
  run("push_const \"done\"\nobject_show 1");
  EXPECT_EQ(nullptr, view_current());
  EXPECT_EQ(-2073, run("delete_buffer").stop);
}

// ---- edit and save ---------------------------------------------------------------------------

TEST_F(BufferBi, EditLoadsFilesAndReportsAsTheOptionsSay) {
  open("x\n", "start.txt");
  storetest::write_file(file("one.txt"), "first\nsecond\n");
  Outcome o = run("push_const \"" + file("one.txt") + "\"\nedit");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("one.txt", name_of(buf_current()));
  EXPECT_EQ("first\nsecond\n", text());

  o = run("push_const \"+q " + file("none.txt") + "\"\nedit");
  EXPECT_EQ("-2016", o.rc);
  EXPECT_TRUE(o.shown.empty()) << "Q: only rc";
  EXPECT_EQ("none.txt", name_of(buf_current()));

  o = run("push_const \"" + file("other.txt") + "\"\nedit");
  EXPECT_TRUE(reported(o, -2016)) << "without Q the new-file code is raised";
  o = run("push_const \"-x " + file("one.txt") + "\"\nedit");
  EXPECT_TRUE(reported(o, -3030));
  EXPECT_EQ("other.txt", name_of(buf_current())) << "nothing was edited";

  EXPECT_EQ(0, api_edit(("+w " + file("one.txt")).c_str()));
  EXPECT_EQ("one.txt", name_of(buf_current()));
  vmtest::shown.clear();
  EXPECT_EQ(-2016, api_edit(("+q " + file("more.txt")).c_str()));
  ASSERT_EQ(1u, vmtest::shown.size()) << "from a library, Q raises";
  EXPECT_EQ(-2016, vmtest::shown[0].code);

  WindowObject* bare = window_alloc_record();
  window_set_current(bare, 0);
  o = run("push_const \"" + file("one.txt") + "\"\nedit");
  EXPECT_EQ(-2073, o.stop);
}

TEST_F(BufferBi, SaveWritesTheFileAndRefusesBadOptions) {
  open("a  \nb\n", "s.txt");
  Outcome o = run("push_const \"zz\"\nreplace_line\nsave 0");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("zz\nb\n", slurp(file("s.txt")));
  EXPECT_EQ(0, buf_current()->modified);

  o = run("push_const \"+y\"\nsave 1");
  EXPECT_TRUE(reported(o, -3030));
  o = run("push_const \"+o " + file("copy.txt") + "\"\nsave 1");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("zz\nb\n", slurp(file("copy.txt")));
}

TEST_F(BufferBi, SaveClosesTheKeptHandleAndOpensTheFileAgain) {
  open("x\n", "start.txt");
  storetest::write_file(file("kept.txt"), "one\ntwo\n");
  ASSERT_EQ("0", run("push_const \"+n +l " + file("kept.txt") + "\"\nedit").rc);
  BufferRec* b = buf_current();
  ASSERT_TRUE(static_cast<uint32_t>(b->keep_open) & 0x80000000u);
  const int old_fd = b->keep_open & 0x7fffffff;
  ASSERT_GT(old_fd, 0);
  struct stat before {};
  ASSERT_EQ(0, ::fstat(old_fd, &before));

  const Outcome o = run("push_const \"new\"\nreplace_line\npush_const \"+o\"\nsave 1");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("new\ntwo\n", slurp(file("kept.txt")));
  ASSERT_TRUE(static_cast<uint32_t>(b->keep_open) & 0x80000000u);
  const int fd = b->keep_open & 0x7fffffff;
  ASSERT_GT(fd, 0);
  struct stat now {
  }, on_disk{};
  ASSERT_EQ(0, ::fstat(fd, &now));
  ASSERT_EQ(0, ::stat(file("kept.txt").c_str(), &on_disk));
  EXPECT_EQ(on_disk.st_ino, now.st_ino) << "the kept handle is the saved file's";
}

// ---- exit ------------------------------------------------------------------------------------

class ExitBi : public TextBiTest {
 protected:
  void SetUp() override {
    kb_ = 64;  // a few pages, so edits spill
    TextBiTest::SetUp();
  }
};

TEST_F(ExitBi, ExitStopsTheMacroAndTheExitPathRunsOnExitAndRemovesTheSpillFile) {
  std::string big;
  for (int i = 0; i < 4000; ++i) big += "line " + std::to_string(i) + "\n";
  BufferRec* b = open(big);
  PosRecord p{};
  p.buffer = b;
  pos_first_line(&p, b);
  do line_replace_text("changed", 7, &p, b);
  while (pos_next_line(&p, b) == 0);
  const std::string spill = store_spill_path();
  ASSERT_FALSE(spill.empty());
  ASSERT_EQ(0, ::access(spill.c_str(), F_OK));

  ASSERT_TRUE(load("global seen\ncommand -on-exit()\n  push_const \"yes\"\n  assign $seen\n  return\nend\n"));
  exittest::exits.stay = true;
  const Outcome o =
      run("catch_begin\n  push_const \"3\"\n  exit 1\n  push_const \"ran on\"\n  assign $out\n  catch_end\n");
  EXPECT_EQ("", o.out) << "nothing runs after exit, not even inside a catch block";
  EXPECT_TRUE(exit_pending());
  EXPECT_EQ(3, exit_pending_code());
  EXPECT_EQ(-1, exittest::exits.left) << "the handler itself never leaves";

  EXPECT_TRUE(exit_if_requested());
  EXPECT_EQ("yes", global("seen"));
  EXPECT_EQ(3, exittest::exits.left);
  EXPECT_EQ(1, exittest::exits.releases) << "the layers above let go first";
  EXPECT_NE(0, ::access(spill.c_str(), F_OK)) << "the spill file is gone";
  EXPECT_FALSE(exit_if_requested()) << "nothing is pending any more";
}

TEST_F(ExitBi, OnExitCanCancelAndANonNumberIsRefused) {
  open("a\n");
  ASSERT_TRUE(load("command -on-exit()\n  push_const \"1\"\n  return_rc\nend\n"));
  exittest::exits.stay = true;
  run("exit 0");
  EXPECT_FALSE(exit_if_requested()) << "rc 1 after -on-exit keeps the editor";
  EXPECT_EQ(-1, exittest::exits.left);
  EXPECT_FALSE(exit_pending());
  const Outcome o = run("push_const \"x\"\nexit 1");
  EXPECT_EQ(-3009, o.stop);
  EXPECT_FALSE(exit_pending());
}

}  // namespace

// The edit command: options, buffer reuse, windows and the replace swap.

#include "text/edit_cmd.h"

#include <gtest/gtest.h>

#include <string>

#include "buffer_fixture.h"
#include "tests/support/headless/text_window_fakes.h"

namespace {

int g_windows_made = 0;
EditPlacement g_last_place;
WindowObject* counting_window(const EditPlacement& p) {
  ++g_windows_made;
  g_last_place = p;
  WindowObject* w = window_alloc_record();
  w->rows = 20;
  w->cols = 80;
  w->prop19 = 3;
  window_set_current(w, 0);
  return w;
}

class EditCmdTest : public buftest::BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    g_windows_made = 0;
    g_last_place = EditPlacement{};
    edit_placement = EditPlacement{};
    textwintest::install();
    textwintest::windows.make = counting_window;  // a window of its own for each request
    storetest::write_file(dir_.file("a.txt"), "alpha\nbeta\n");
    storetest::write_file(dir_.file("b.txt"), "bee\n");
  }
  void TearDown() override {
    textwintest::install();
    BufferTest::TearDown();
  }
  ErrorCode edit(const std::string& cmd) { return buf_edit_command(cmd); }
  std::string path(const char* n) { return dir_.file(n); }
  std::string first_line(BufferRec* b) {
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    pos_first_line(&p, b);
    return line_get_string(&p, b);
  }
};

TEST_F(EditCmdTest, LoadsIntoTheCurrentWindowAndReusesBuffers) {
  ASSERT_EQ(0, edit(path("a.txt")));
  ASSERT_NE(nullptr, buf_current());
  EXPECT_EQ(path("a.txt"), std::string(buf_current()->name.view()));
  EXPECT_EQ("alpha", first_line(buf_current()));
  EXPECT_EQ(1, g_windows_made) << "no window was current";
  BufferRec* a = buf_current();
  ASSERT_EQ(0, edit(path("b.txt")));
  ASSERT_EQ(0, edit(path("a.txt")));
  EXPECT_EQ(a, buf_current()) << "the buffer of that name is reused";
  EXPECT_EQ(2, buf_live_count());
  EXPECT_EQ(1, g_windows_made);
}

// The command line's history buffer is never replaced by a file: with the
// command line current, the file gets a window of its own.
TEST_F(EditCmdTest, AFileNeverReplacesTheCommandLinesBuffer) {
  ASSERT_EQ(0, edit("+t"));
  WindowObject* command_line = window_current();
  BufferRec* history = buf_current();
  buf_cmdline = history;
  g_windows_made = 0;
  ASSERT_EQ(0, edit(path("a.txt")));
  EXPECT_EQ(1, g_windows_made);
  EXPECT_NE(command_line, window_current());
  EXPECT_EQ(history, command_line->view->buffer);
  EXPECT_EQ("alpha", first_line(buf_current()));
  buf_cmdline = nullptr;
}

TEST_F(EditCmdTest, RecordLengthOptions) {
  struct Case {
    const char* opt;
    int32_t want;
  };
  const Case cases[] = {{"+5", 5}, {"+2000", 1022}, {"-7", 7}, {"+1", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opt);
    ASSERT_EQ(0, edit(std::string("+d ") + c.opt + " " + path("a.txt")));
    EXPECT_EQ(c.want, buf_current()->record_len);
  }
}

TEST_F(EditCmdTest, SwitchToAWindowShowingTheFile) {
  ASSERT_EQ(0, edit(path("a.txt")));
  WindowObject* wa = window_current();
  ASSERT_EQ(0, edit("+i " + path("b.txt")));
  EXPECT_EQ(2, g_windows_made);
  EXPECT_NE(wa, window_current());
  int buffers = buf_live_count();
  ASSERT_EQ(0, edit("+w " + path("a.txt")));
  EXPECT_EQ(wa, window_current());
  EXPECT_EQ(2, g_windows_made);
  EXPECT_EQ(buffers, buf_live_count());
}

TEST_F(EditCmdTest, NewBufferEveryTimeWithD) {
  ASSERT_EQ(0, edit("+d " + path("a.txt")));
  ASSERT_EQ(0, edit("+d " + path("a.txt")));
  EXPECT_EQ(2, buf_live_count());
}

TEST_F(EditCmdTest, TemporaryBufferAlone) {
  ASSERT_EQ(0, edit("+t"));
  ASSERT_NE(nullptr, buf_current());
  EXPECT_EQ(0, buf_current()->name.size());
  EXPECT_EQ(-1, buf_current()->source_fd);
}

TEST_F(EditCmdTest, Placement) {
  ASSERT_EQ(0, edit(path("b.txt")));
  ASSERT_EQ(0, edit("+i:10 20 400 300 N " + path("a.txt")));
  EXPECT_EQ(2, g_windows_made);
  EXPECT_EQ(10, g_last_place.x);
  EXPECT_EQ(300, g_last_place.height);
  EXPECT_EQ('N', g_last_place.show);
  int buffers = buf_live_count();
  EXPECT_EQ(ERR_INVALID_OPTION, edit("+i:10 20 400 N " + path("b.txt")));
  EXPECT_EQ(buffers, buf_live_count());
}

TEST_F(EditCmdTest, RefusalsStopBeforeLoading) {
  struct Case {
    std::string cmd;
    ErrorCode want;
  };
  const Case cases[] = {
      {"-x " + path("a.txt"), ERR_INVALID_OPTION},
      {"+ " + path("a.txt"), ERR_INVALID_OPTION},
      {"+u:-3 " + path("a.txt"), ERR_INVALID_OPTION},
      {"+B", ERR_INVALID_OPTION},
      {"+B no such buffer", ERR_FILE_NOT_FOUND},
      {"+BI 9999", ERR_INVALID_ARGUMENT},
      {"+V 12345", ERR_INVALID_ARGUMENT},
      {"+fq " + path("a.txt"), ERR_INVALID_OPTION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cmd);
    EXPECT_EQ(c.want, edit(c.cmd));
    EXPECT_EQ(0, buf_live_count());
  }
}

TEST_F(EditCmdTest, MissingFileIsANewFile) {
  EXPECT_EQ(MSG_NEW_FILE, edit(path("new.txt")));
  ASSERT_NE(nullptr, buf_current());
  EXPECT_EQ(path("new.txt"), std::string(buf_current()->name.view()));
  EXPECT_EQ(-1, buf_current()->source_fd);
}

TEST_F(EditCmdTest, CtrlZStopAndGivenEndOfLine) {
  storetest::write_file(path("z.txt"),
                        "before\x1a"
                        "after\n");
  ASSERT_EQ(0, edit("+lz " + path("z.txt")));
  EXPECT_EQ("before", first_line(buf_current()));
  EXPECT_EQ(7, buf_current()->bytes) << "nothing after the Ctrl-Z";
  ASSERT_EQ(0, edit("+fd " + path("a.txt")));
  EXPECT_EQ('\r', buf_current()->eol[0]);
  EXPECT_EQ('\n', buf_current()->eol[1]);
}

TEST_F(EditCmdTest, NamedBufferAndView) {
  ASSERT_EQ(0, edit(path("a.txt")));
  BufferRec* a = buf_current();
  ASSERT_EQ(0, edit(path("b.txt")));
  ASSERT_EQ(0, edit("+B " + path("a.txt")));
  EXPECT_EQ(a, buf_current());
  ASSERT_EQ(0, edit("+BI " + std::to_string(a->handle)));
  EXPECT_EQ(a, buf_current());
}

TEST_F(EditCmdTest, ReplaceKeepsTheBufferButTakesTheText) {
  ASSERT_EQ(0, edit(path("a.txt")));
  BufferRec* a = buf_current();
  int32_t handle = a->handle;
  a->margins[1] = 40;
  ASSERT_EQ(0, edit("+r " + path("b.txt")));
  EXPECT_EQ(a, buf_current());
  EXPECT_EQ(handle, buf_current()->handle);
  EXPECT_EQ(path("b.txt"), std::string(a->name.view()));
  EXPECT_EQ("bee", first_line(a));
  EXPECT_EQ(40, a->margins[1]);
  EXPECT_EQ(1, buf_live_count());
  EXPECT_EQ("", store_check(a));
}

}  // namespace

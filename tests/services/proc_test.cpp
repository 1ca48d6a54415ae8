// Process buffers: output inserted at the process mark, cursors that follow
// it, input taken after it, and the concurrent and background processes
// driven by calling the poll directly, as the application's timer does.
#include "services/proc.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "services/proc_port.h"
#include "tests/macro/builtin_fixture.h"
#include "tests/support/headless/proc_host_fakes.h"
#include "text/store_edit.h"
#include "winsys/xfsys.h"

namespace {

using bitest::BufferBuiltinTest;

class ProcTest : public BufferBuiltinTest {
 protected:
  void SetUp() override {
    BufferBuiltinTest::SetUp();
    ::setenv("SHELL", "/bin/sh", 1);
    ::setenv("PS1", "$ ", 1);
    ASSERT_TRUE(proc_register_opcodes(vm_dispatch));
    prochosttest::install();
  }
  void TearDown() override {
    proc_shutdown();
    prochosttest::install();
    BufferBuiltinTest::TearDown();
  }

  // Makes the cursor's place the process mark, as attaching does, without
  // starting a process.
  void mark_at_cursor() {
    PosRecord* m = pos_alloc();
    ASSERT_NE(m, nullptr);
    proc_set_mark(m, view_);
  }

  // Polls until pred holds or 10 s pass.
  template <class Pred>
  bool poll_until(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      proc_poll();
      if (pred()) return true;
      ::usleep(2000);
    }
    return false;
  }

  // Types text at the end of the mark's line and presses Enter there.
  void type_line_at_mark(const std::string& text) {
    PosRecord* m = proc_mark();
    ASSERT_NE(m, nullptr);
    const std::string line = line_get_string(m, buf_) + text;
    line_replace_text(line.data(), static_cast<int32_t>(line.size()), m, buf_);
    PosRecord* p = pos_alloc();
    pos_copy(p, m);
    line_insert_text("", 0, p, buf_);
    pos_free(p);
  }
};

TEST_F(ProcTest, OutputAtTheMark) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::string want;  // the whole buffer afterwards
    int32_t mark_column;
  };
  const std::string long_run(2000, 'x');
  const Case cases[] = {
      {"pieces join on one line", {"abc", "def\n"}, "abcdef\n\n", 0},
      {"a tab fills to the next multiple of 8", {"a\tb"}, "a       b\n", 9},
      {"a CR before LF is dropped", {"x\r\n"}, "x\n\n", 0},
      {"a CR that ends the output ends it", {"ab\r"}, "ab\n", 2},
      {"a bell rings and is dropped",
       {"a\x07"
        "b\n"},
       "ab\n\n",
       0},
      {"2000 bytes without an end of line split at 1021",
       {long_run},
       std::string(1021, 'x') + "\n" + std::string(979, 'x') + "\n",
       979},
      {"several lines in one read", {"1\n2\n3"}, "1\n2\n3\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open("\n");
    mark_at_cursor();
    const uint32_t beeps = xf().beeps;
    for (const std::string& s : c.chunks) proc_insert_output(s.data(), static_cast<int32_t>(s.size()));
    EXPECT_EQ(all(), c.want);
    EXPECT_EQ(proc_mark()->column, c.mark_column);
    EXPECT_EQ(static_cast<int>(xf().beeps - beeps), std::string(c.name).find("bell") != std::string::npos ? 1 : 0);
    proc_free_mark();
    buf_shutdown();
  }
}

TEST_F(ProcTest, TypedTextAfterTheMarkStaysAfterTheOutput) {
  open("$ \n");
  view_->column = 2;
  mark_at_cursor();
  // The user typed "ls" after the prompt; the cursor is two columns after the mark.
  line_replace_text("$ ls", 4, view_, buf_);
  view_->column = 4;
  const std::string out = "hello\nwor";
  proc_insert_output(out.data(), static_cast<int32_t>(out.size()));
  EXPECT_EQ(all(), "$ hello\nworls\n");
  EXPECT_EQ(proc_mark()->column, 3);
  EXPECT_EQ(cursor_line(), "worls");
  EXPECT_EQ(view_->column, 5) << "the cursor keeps its distance from the mark";
}

TEST_F(ProcTest, OutputTooLongForOneLineWithTheTypedTail) {
  open("\n");
  mark_at_cursor();
  line_replace_text("typed", 5, proc_mark(), buf_);
  const std::string out(1020, 'o');
  proc_insert_output(out.data(), static_cast<int32_t>(out.size()));
  EXPECT_EQ(all(), out + "\ntyped\n") << "the line never grows past its limit";
  EXPECT_EQ(proc_mark()->column, 1020);
}

TEST_F(ProcTest, InputIsTheFinishedLineAfterTheMark) {
  open("$ \n");
  view_->column = 2;
  mark_at_cursor();
  std::string input;
  EXPECT_NE(proc_input_after_mark(&input), 0) << "no line after the mark yet";
  type_line_at_mark("echo hi");
  EXPECT_EQ(proc_input_after_mark(&input), 0);
  EXPECT_EQ(input, "echo hi");
  proc_newline_at_mark();
  EXPECT_EQ(line_get_string(proc_mark(), buf_), "");
  EXPECT_EQ(proc_mark()->column, 0);
}

TEST_F(ProcTest, TextBelowTheCursorIsNeverSentAsInput) {
  open("one\ntwo\nthree\n", 1);
  mark_at_cursor();
  EXPECT_EQ(all(), "one\ntwo\nthree\n\n") << "the mark goes to a new last line";
  std::string input;
  EXPECT_NE(proc_input_after_mark(&input), 0);
}

TEST_F(ProcTest, InteractiveShellRunsInTheBuffer) {
  open("\n");
  const bitest::Out o = call("attach_process_buffer", {""});
  ASSERT_EQ(o.raised, 0);
  EXPECT_EQ(o.rc, "0");
  EXPECT_TRUE(proc_running());
  EXPECT_TRUE(proc_is_process_buffer(buf_));
  EXPECT_EQ(call("attach_process_buffer", {""}).raised, ERR_PROCESS_ALREADY_RUNNING);
  ASSERT_TRUE(poll_until([&] { return all().find("$ ") != std::string::npos; })) << all();

  type_line_at_mark("echo hi there");
  ASSERT_TRUE(poll_until([&] { return all().find("\nhi there\n") != std::string::npos; })) << all();

  type_line_at_mark("exit");
  ASSERT_TRUE(poll_until([&] { return !proc_running(); })) << all();
  EXPECT_NE(all().find("Exited\n"), std::string::npos) << all();
  EXPECT_EQ(call("process_info", {}).value, "0");
  EXPECT_FALSE(proc_is_process_buffer(buf_));
}

TEST_F(ProcTest, AllOutputArrivesBeforeExited) {
  open("\n");
  ASSERT_EQ(proc_start_shell("seq 1 20000"), 0);
  EXPECT_TRUE(prochosttest::host.timer_running) << "the poll runs while a process does";
  mark_at_cursor();
  ASSERT_TRUE(poll_until([&] { return !proc_running(); }));
  std::string want;
  for (int i = 1; i <= 20000; ++i) want += std::to_string(i) + "\n";
  EXPECT_EQ(all(), want + "Exited\n\n");
  EXPECT_FALSE(prochosttest::host.timer_running) << "and stops with the last one";
  EXPECT_GT(prochosttest::host.refreshes, 0) << "the output showed as it came";
}

TEST_F(ProcTest, NoProcessStartsWithoutItsPollTimer) {
  open("\n");
  prochosttest::host.refuse_timer = true;
  EXPECT_EQ(proc_start_shell("true"), ERR_CREATE_TIMER_EDITOR);
  EXPECT_FALSE(proc_running());
  EXPECT_EQ(proc_count(), 0);
}

// The delay built-in polls the processes while it waits: the output of a
// child arrives, and its end is reported, with nobody else polling.
TEST_F(ProcTest, TheDelayBuiltInPollsTheProcesses) {
  open("\n");
  ASSERT_EQ(proc_start_shell("echo from-the-child"), 0);
  mark_at_cursor();
  for (int i = 0; i < 50 && proc_running(); ++i) ASSERT_EQ(call("delay", {"20"}).raised, 0);
  EXPECT_FALSE(proc_running());
  EXPECT_EQ(all(), "from-the-child\nExited\n\n");
}

TEST_F(ProcTest, AChildThatNeverReadsDoesNotBlockTheEditor) {
  open("\n");
  ASSERT_EQ(proc_start_shell("sleep 30"), 0);
  mark_at_cursor();
  type_line_at_mark("first");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) proc_poll();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(proc_running());
  // The line went out, but the mark moves on only once the child reads it.
  EXPECT_EQ(line_get_string(proc_mark(), buf_), "first");
}

TEST_F(ProcTest, FilterSeesEndOfFileAndItsEndIsReported) {
  open("\n");
  int from = -1, to = -1;
  pid_t pid = 0;
  ASSERT_EQ(proc_start_background("sort", 0, &from, &to, &pid), 0);
  EXPECT_TRUE(proc_is_ours(pid));
  const std::string in = "b\na\n";
  ASSERT_EQ(::write(to, in.data(), in.size()), static_cast<ssize_t>(in.size()));
  ::close(to);  // sort ends only when its input does
  std::string out;
  char buf[64];
  const int flags = ::fcntl(from, F_GETFL);
  ::fcntl(from, F_SETFL, flags & ~O_NONBLOCK);
  for (ssize_t n; (n = ::read(from, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  EXPECT_EQ(out, "a\nb\n");
  ASSERT_TRUE(poll_until([&] { return proc_count() == 0; }));
  EXPECT_FALSE(proc_is_ours(pid));
}

TEST_F(ProcTest, BuiltinsAcceptAndRefuse) {
  open("\n");
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    ErrorCode raised;
    std::string value;  // "*": not checked
  };
  const Case cases[] = {
      {"process_info", {}, 0, "0"},
      {"process_info", {"C"}, 0, "0"},
      {"process_info", {"B"}, 0, "0"},
      {"process_info", {"P"}, 0, "0"},
      {"process_info", {"X"}, ERR_INVALID_ARGUMENT, "*"},
      {"kill_process", {"0"}, ERR_INVALID_ARGUMENT, "*"},
      {"kill_process", {"-1"}, ERR_INVALID_ARGUMENT, "*"},
      {"kill_process", {"1"}, 0, "3"},  // not a process of ours: as if it did not exist
      {"start_process", {"sort", "Q"}, ERR_INVALID_ARGUMENT, "*"},
      {"start_process", {"no-such-program-here"}, 0, "*"},
      {"process_interrupt", {}, 0, "*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mnemonic) + (c.args.empty() ? "" : " " + c.args[0]));
    const bitest::Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(o.raised, c.raised);
    if (c.value != "*") {
      EXPECT_EQ(o.value, c.value);
    }
  }
  EXPECT_EQ(proc_count(), 0) << "a start that failed leaves nothing running";
}

TEST_F(ProcTest, BackgroundProcessFromAMacro) {
  open("\n");
  const bitest::Out o = call("start_process", {"sh -c \"exit 1\""});
  ASSERT_EQ(o.raised, 0);
  EXPECT_EQ(o.value, "0");
  ASSERT_EQ(o.vars.size(), 3u);
  const pid_t pid = std::stoi(o.vars[2]);
  EXPECT_TRUE(proc_is_ours(pid));
  EXPECT_EQ(call("kill_process", {o.vars[2], "0"}).value, "0") << "signal 0 probes a live process";
  ASSERT_TRUE(poll_until([&] { return proc_count() == 0; }));
}

TEST_F(ProcTest, ProcessInfoOnTheMarkLine) {
  open("\n");
  ASSERT_EQ(call("attach_process_buffer", {"cat"}).raised, 0);
  EXPECT_EQ(call("process_info", {}).value, "1");
  EXPECT_EQ(call("process_info", {"B"}).value, "1");
  EXPECT_EQ(call("process_info", {"C"}).value, "1") << "cursor at the mark, column 0";
  EXPECT_EQ(call("process_info", {"P"}).value, std::to_string(proc_pid()));
  EXPECT_EQ(call("process_info", {"R"}).value, "1");
}

}  // namespace

// Background processes started from a macro report to a macro procedure:
// output (kind 0) while it waits to be read, and the end (kind 1) with the
// status, each once, in that order.
#include "services/proc.h"

#include <chrono>
#include <string>

#include "macro/names.h"
#include "tests/macro/text_bi_fixture.h"

namespace {

class ProcMacro : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(proc_register_opcodes(vm_dispatch));
  }
  void TearDown() override {
    proc_shutdown();
    TextBiTest::TearDown();
  }
};

TEST_F(ProcMacro, BackgroundProcessReportsItsOutputAndItsEnd) {
  // report() reads what the child wrote (the descriptor is the editor's
  // end of the pipe) and logs each call as kind[:status] in `out`; the
  // status comes as a fifth argument of the end's call only.
  ASSERT_TRUE(load(R"(
global out
global out2
global out3
global out4
global h
proc report(kind, in, outfd, pid)
  var got
  push_var $kind
  push_const "0"
  str_eq
  jump_if_false @ended
  push_var $in
  push_const "100"
  file_read $got
  pop
  push_var $out
  push_const "0("
  concat
  push_var $got
  concat
  push_const ") "
  concat
  assign $out
  return
ended:
  push_var $out
  push_const "1:"
  concat
  push_const "5"
  arg 1
  concat
  assign $out
  return
end
)"));
  const uint32_t report = name_find("report", NF_CALLABLE);
  ASSERT_NE(report, 0u);
  const textbi::Outcome o =
      run("  push_const \"sh -c \\\"printf hi; exit 3\\\"\"\n  push_const \"P\"\n  push_const \"" +
          std::to_string(report) + "\"\n  start_process 3, $out2, $out3, $out4\n  assign $h");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(global("h"), "0");
  EXPECT_EQ(global("out4"), std::to_string(std::stoi(global("out4"))));  // a process id
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (proc_count() > 0 && std::chrono::steady_clock::now() < end) {
    proc_poll();
    ::usleep(2000);
  }
  EXPECT_EQ(proc_count(), 0);
  // A descriptor at end-of-file also reads as ready: such calls read nothing.
  std::string log = global("out");
  for (size_t at; (at = log.find("0() ")) != std::string::npos;) log.erase(at, 4);
  EXPECT_EQ(log, "0(hi) 1:3") << global("out");
}

TEST_F(ProcMacro, CallbackMustNameAProcedure) {
  const textbi::Outcome o =
      run("  push_const \"true\"\n  push_const \"P\"\n  push_const \"99999\"\n  start_process 3, $out2, $out3, $out4\n "
          " assign $h");
  EXPECT_EQ(o.stop, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(proc_count(), 0);
}

}  // namespace

// Behaviour proved through the shipped program: each test runs a probe, a
// macro module that zozu assembles and the real zorvex runs on a private
// Xvfb, and checks what the probe noted, the screen and the files on disk.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/probe.h"

namespace {

using namespace std::chrono_literals;
using probe::Probe;
using probe::ProbeResult;
using probe::ProbeSpec;

std::unique_ptr<Probe> start(const ProbeSpec& spec) {
  std::string why;
  std::unique_ptr<Probe> p = Probe::start(spec, &why);
  EXPECT_TRUE(p) << why;
  return p;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// ---- the harness itself ---------------------------------------------------

TEST(ProbeHarness, AModuleThatZozuRefusesIsReportedWithItsLine) {
  std::string why;
  EXPECT_FALSE(Probe::start({.source = "private probe()\n  no_such_op\n  return\nend\n"}, &why));
  EXPECT_NE(why.find("probe.e:2:"), std::string::npos) << why;
}

TEST(ProbeHarness, TextInsertedAndSavedReachesTheDisk) {
  auto p = start({.source = R"(
private probe()
  push_const "written by the probe"
  insert_line
  save 0
  push_const "save"
  push_var $rc
  call_link 2, note
  exit 0
  return
end
)",
                  .files = {{"a.txt", "first\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.status, 0) << r.describe();
  EXPECT_EQ(r.note("save"), "0") << r.describe();
  EXPECT_EQ(slurp(p->path("a.txt")), "first\nwritten by the probe\n");
}

TEST(ProbeHarness, TheCursorAfterAMotion) {
  std::string ten;
  for (int i = 1; i <= 10; ++i) ten += "line " + std::to_string(i) + "\n";
  auto p = start({.source = R"(
private probe()
  var text
  push_const "3"
  cursor_down 1
  push_const "line"
  push_const "L"
  point 1
  call_link 2, note
  get_line $text
  push_const "text"
  push_var $text
  call_link 2, note
  bottom_of_buffer
  push_const "last"
  push_const "L"
  point 1
  call_link 2, note
  push_const "3"
  exit 1
  return
end
)",
                  .files = {{"ten.txt", ten}},
                  .args = {"ten.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.status, 3);  // the exit built-in's code is the program's
  EXPECT_EQ(r.note("line"), "4") << r.describe();
  EXPECT_EQ(r.note("text"), "line 4") << r.describe();
  EXPECT_EQ(r.note("last"), "10") << r.describe();
}

// The probe opens a second file and goes back to the main loop; the test
// sees the frame's title name it, then a key the module binds ends the run.
TEST(ProbeHarness, TheFramesTitleOnTheScreenAndAKeyOfTheModule) {
  auto p = start({.source = R"(
private probe()
  push_const "b.txt"
  edit
  push_const "opened"
  push_var $rc
  call_link 2, note
  return
end

proc probe-quit()
  push_const "quit"
  push_const "F12"
  call_link 2, note
  exit 0
  return
end

bind "default-keys" F12 probe-quit
)",
                  .files = {{"a.txt", "a\n"}, {"b.txt", "b\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("opened")) << p->notes();
  const Window frame = p->wait_window("Zorvex - " + p->path("b.txt"));
  ASSERT_NE(frame, 0u) << "titles shown:" << testing::PrintToString(p->shown_titles());
  EXPECT_EQ(p->property(frame, "WM_CLASS"), "Zorvex/Halvorn");
  ASSERT_TRUE(p->keys(frame, {"F12"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.note("quit"), "F12");
}

}  // namespace

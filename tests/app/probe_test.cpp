// Behaviour proved through the shipped program: each test runs a probe, a
// macro module that zozu assembles and the real zorvex runs on a private
// Xvfb, and checks what the probe noted, the screen and the files on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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

// The bell count the beep test relies on: a bell rung by another client of
// the server is seen.
TEST(ProbeHarness, TheXBellIsCounted) {
  auto p = start({.source = "private probe()\n  exit 0\n  return\nend\n"});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->bells(), 0);
  Display* other = XOpenDisplay(p->server().display_name().c_str());
  ASSERT_NE(other, nullptr);
  XBell(other, 0);
  XSync(other, False);
  XCloseDisplay(other);
  EXPECT_TRUE(xtest::eventually([&] { return p->bells() == 1; }, 5s));
  EXPECT_TRUE(p->finish().ended);
}

// ---- what the shipped program does --------------------------------------

// A probe that goes back to the main loop ends with F12.
constexpr const char* kQuitOnF12 = R"(
proc probe-quit()
  exit 0
  return
end

bind "default-keys" F12 probe-quit
)";

// A question box with the title and the buttons of its style; the answer
// is the button's number (Yes 6, No 7).
TEST(ProbeShipped, MessageBoxShowsItsTitleAndButtons) {
  auto p = start({.source = R"(
private probe()
  push_const "Is this a probe?"
  push_const "Probe question"
  push_const "4"
  message_box 3
  push_const "answer"
  push_var $rc
  call_link 2, note
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  const Window box = p->wait_window("Probe question", 5s);
  ASSERT_NE(box, 0u) << "shown: " << testing::PrintToString(p->shown_titles()) << "\n" << p->notes();
  // The box holds its buttons: the windows without children below it.
  const std::vector<Window> below = p->shown_descendants(box);
  EXPECT_EQ(std::count_if(below.begin(), below.end(), [&](Window w) { return p->shown_descendants(w).empty(); }), 2)
      << "the Yes and No buttons";
  ASSERT_TRUE(p->keys(box, {"n"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("answer"), "7") << r.describe();
}

// A macro error that stops the macro shows its message in a box titled
// "Zorvex-C Error"; the rest of the macro does not run.
TEST(ProbeShipped, AStoppingMacroErrorShowsTheErrorBox) {
  auto p = start({.source = R"(
private probe()
  push_const "before"
  push_const "1"
  call_link 2, note
  push_const "Z"
  editor_option 1
  push_const "after"
  push_const "1"
  call_link 2, note
  exit 0
  return
end
)" + std::string(kQuitOnF12)});
  ASSERT_TRUE(p);
  const Window box = p->wait_window("Zorvex-C Error", 5s);
  ASSERT_NE(box, 0u) << "shown: " << testing::PrintToString(p->shown_titles()) << "\n" << p->notes();
  const std::vector<Window> below = p->shown_descendants(box);
  EXPECT_EQ(std::count_if(below.begin(), below.end(), [&](Window w) { return p->shown_descendants(w).empty(); }), 1)
      << "the OK button alone";
  ASSERT_TRUE(p->keys(box, {"Return"}));
  ASSERT_TRUE(xtest::eventually([&] { return p->wait_window("Zorvex-C Error", 0s) == 0; }, 5s)) << "the box closes";
  ASSERT_TRUE(p->keys(p->frame(), {"F12"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("before"), "1") << r.describe();
  EXPECT_FALSE(r.note("after")) << r.describe();
}

TEST(ProbeShipped, BeepRingsTheXBell) {
  auto p = start({.source = R"(
private probe()
  beep 0
  push_const "beeped"
  push_const "1"
  call_link 2, note
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  ASSERT_EQ(r.note("beeped"), "1") << r.describe();
  EXPECT_TRUE(xtest::eventually([&] { return p->bells() >= 1; }, 3s));
}

// The frame runs the posted procedure with its text once the editor is idle.
TEST(ProbeShipped, APostedCommandRuns) {
  auto p = start({.source = R"(
proc probe-posted(text)
  push_const "posted"
  push_var $text
  call_link 2, note
  exit 0
  return
end

private probe()
  push_const "probe-posted"
  find_index 1
  push_const "hello"
  post_frame_command 2
  push_const "post"
  push_var $rc
  call_link 2, note
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish(10s);
  EXPECT_EQ(r.note("post"), "0") << r.describe();
  EXPECT_EQ(r.note("posted"), "hello") << r.describe();
  EXPECT_TRUE(r.ended) << r.describe();
}

// A 300 ms timer calls its procedure; the tenth call comes within 4 s.
TEST(ProbeShipped, AMacroTimerFiresTenTimesInFourSeconds) {
  auto p = start({.source = R"(
global probe-ticks = "0"
global probe-t0 = "0"

proc probe-tick()
  incr $probe-ticks
  push_var $probe-ticks
  push_const "10"
  num_lt
  jump_if_true @more
  push_const "tenth"
  elapsed_ms
  push_var $probe-t0
  sub
  call_link 2, note
  exit 0
more:
  return
end

private probe()
  elapsed_ms
  assign $probe-t0
  push_const "300"
  push_const "probe-tick"
  find_index 1
  set_timer 2
  push_const "timer"
  push_var $rc
  call_link 2, note
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish(10s);
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("timer"), "0") << r.describe();  // the first timer's index
  const std::optional<std::string> tenth = r.note("tenth");
  ASSERT_TRUE(tenth) << r.describe();
  EXPECT_GE(std::stoi(*tenth), 2700) << r.describe();
  EXPECT_LE(std::stoi(*tenth), 4000) << r.describe();
}

// The execute statement runs a command line the way the command line does.
TEST(ProbeShipped, ExecuteGoToLineMovesTheCursor) {
  std::string hundred;
  for (int i = 1; i <= 100; ++i) hundred += "line " + std::to_string(i) + "\n";
  auto p = start({.source = R"(
private probe()
  var text
  push_const "go-to-line 50"
  execute
  push_const "rc"
  push_var $rc
  call_link 2, note
  push_const "line"
  push_const "L"
  point 1
  call_link 2, note
  get_line $text
  push_const "text"
  push_var $text
  call_link 2, note
  exit 0
  return
end
)",
                  .files = {{"hundred.txt", hundred}},
                  .args = {"hundred.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("rc"), "0") << r.describe();
  EXPECT_EQ(r.note("line"), "50") << r.describe();
  EXPECT_EQ(r.note("text"), "line 50") << r.describe();
}

// push_control's constant is the name and its bucket byte (the sum of the
// name's upper-cased bytes, '_' as '-', modulo 16).
std::string control_constant(const std::string& name) {
  unsigned sum = 0;
  for (char c : name) sum += c == '_' ? '-' : std::toupper(static_cast<unsigned char>(c));
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02x", sum & 15);
  return name + escape;
}

// A form of a template with a button; as the form, push_control finds the
// button by its name, the same control find_object names. The form stays
// until a key ends the probe's wait.
TEST(ProbeShipped, PushControlFindsAControlByName) {
  auto p = start({.source = R"(
form "probe-form"
  prop caption "Probe form"
  prop scale-mode 3
  prop left 1500
  prop top 1500
  prop width 6000
  prop height 3000
  control command "okay"
    prop caption "Okay"
    prop left 10
    prop top 10
    prop width 80
    prop height 28
  end
end

private probe()
  var form
  var okay
  push_object form2:"probe-form"
  show_form 1
  assign $form
  push_var $form
  activate_window
  push_const "found"
  push_const "okay"
  find_object
  call_link 2, note
  push_control ")" + control_constant("okay") +
                            R"("
  assign $okay
  push_const "pushed"
  push_var $okay
  call_link 2, note
  push_const "caption"
  push_var $okay
  property_get_handle "caption", 0
  call_link 2, note
  push_const "2000"
  push_const "K"
  delay 2
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("caption")) << p->notes();
  const Window form = p->wait_window("Probe form", 5s);
  EXPECT_NE(form, 0u) << testing::PrintToString(p->shown_titles());
  if (form) {
    EXPECT_TRUE(p->keys(form, {"x"}));
  }
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  const std::optional<std::string> found = r.note("found");
  ASSERT_TRUE(found) << r.describe();
  EXPECT_NE(found, "0") << r.describe();
  EXPECT_EQ(r.note("pushed"), found) << r.describe();
  EXPECT_EQ(r.note("caption"), "Okay") << r.describe();
}

// The font built-ins list the X server's fonts: the desktop names first,
// then the server's faces; a face's kind comes from the server too.
TEST(ProbeShipped, TheFontBuiltInsListTheServersFonts) {
  auto p = start({.source = R"(
private probe()
  insert_font_list 0
  push_const "rc"
  push_var $rc
  call_link 2, note
  push_const "kind"
  push_const "adobe-courier"
  font_type_flags 1
  call_link 2, note
  push_const "scalable"
  push_const "adobe-helvetica"
  font_is_scalable 1
  call_link 2, note
  save 0
  exit 0
  return
end
)",
                  .files = {{"fonts.txt", "fonts\n"}},
                  .args = {"fonts.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("rc"), "0") << r.describe();
  EXPECT_EQ(r.note("kind"), "264") << "fixed pitch, and scalable names exist: " << r.describe();
  EXPECT_EQ(r.note("scalable"), "1") << r.describe();
  const std::string listed = slurp(p->path("fonts.txt"));
  EXPECT_EQ(listed.rfind("fonts\n OEM Fixed Font\n courier\n System\n MS Sans Serif\n", 0), 0u) << listed;
  EXPECT_NE(listed.find("\n adobe-courier\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("\n adobe-helvetica\n"), std::string::npos) << listed;
}

// A buffer in "Read only" mode refuses a typed editing command with its
// message and the text stays; a command that only moves runs.
TEST(ProbeShipped, AReadOnlyBufferRefusesAnEditingCommand) {
  auto p = start({.source = R"(
private probe()
  var text
  push_const "Read only"
  property_set_current "mode-name"
  push_const "enter-key"
  execute_command_line 1
  push_const "rc"
  push_var $rc
  call_link 2, note
  refresh 0
  push_const "message"
  get_message 0
  call_link 2, note
  bottom_of_buffer
  push_const "lines"
  push_const "L"
  point 1
  call_link 2, note
  push_const "go-to-line 1"
  execute_command_line 1
  push_const "moved"
  push_const "L"
  point 1
  call_link 2, note
  exit 0
  return
end
)",
                  .files = {{"ro.txt", "locked\nsecond\n"}},
                  .args = {"ro.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("rc"), "-2099") << r.describe();
  EXPECT_EQ(r.note("message"), "Command not allowed in Read only mode") << r.describe();
  EXPECT_EQ(r.note("lines"), "2") << r.describe();
  EXPECT_EQ(r.note("moved"), "1") << "a command that only moves runs: " << r.describe();
  EXPECT_EQ(slurp(p->path("ro.txt")), "locked\nsecond\n");
}

// While a command runs, the index registers name it.
TEST(ProbeShipped, TheIndexRegistersNameTheRunningCommand) {
  auto p = start({.source = R"(
command probe-named()
  push_const "current"
  push_const "C"
  index_registers 1
  call_link 2, note
  return
end

private probe()
  push_const "expected"
  push_const "probe-named"
  find_index 1
  call_link 2, note
  push_const "probe-named"
  execute_command_line 1
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  const std::optional<std::string> expected = r.note("expected");
  ASSERT_TRUE(expected) << r.describe();
  EXPECT_NE(expected, "0");
  EXPECT_EQ(r.note("current"), expected) << r.describe();
}

// delay 300 K (3 s) ends at a key the test presses once the probe waits,
// and the key stays for whoever reads keys next.
TEST(ProbeShipped, DelayWithKEndsAtAKey) {
  auto p = start({.source = R"(
private probe()
  var t0
  push_const "waiting"
  push_const "1"
  call_link 2, note
  elapsed_ms
  assign $t0
  push_const "300"
  push_const "K"
  delay 2
  push_const "waited"
  elapsed_ms
  push_var $t0
  sub
  call_link 2, note
  push_const "key"
  push_const "R"
  get_key 1
  call_link 2, note
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("waiting")) << p->notes();
  const Window frame = p->frame();
  ASSERT_NE(frame, 0u);
  ASSERT_TRUE(p->keys(frame, {"x"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  const std::optional<std::string> waited = r.note("waited");
  ASSERT_TRUE(waited) << r.describe();
  EXPECT_LT(std::stoi(*waited), 2000) << r.describe();
  EXPECT_EQ(r.note("key"), "x") << r.describe();
}

// Without input, delay 50 K waits its half second: what else the window
// system delivers meanwhile (paints, focus) does not end it.
TEST(ProbeShipped, DelayWithKWaitsItsTimeWithoutInput) {
  auto p = start({.source = R"(
private probe()
  var t0
  elapsed_ms
  assign $t0
  push_const "50"
  push_const "K"
  delay 2
  push_const "waited"
  elapsed_ms
  push_var $t0
  sub
  call_link 2, note
  exit 0
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  const std::optional<std::string> waited = r.note("waited");
  ASSERT_TRUE(waited) << r.describe();
  EXPECT_GE(std::stoi(*waited), 490) << r.describe();
}

// A save over a file that changed on disk since it was loaded asks first;
// Yes saves anyway.
TEST(ProbeShipped, TheChangedFileQuestionComesBeforeASave) {
  auto p = start({.source = R"(
private probe()
  push_const "added by the probe"
  insert_line
  push_const "other.txt"
  push_const "watched.txt"
  copy_file
  push_const "copied"
  push_var $rc
  call_link 2, note
  save 0
  push_const "save"
  push_var $rc
  call_link 2, note
  delete_buffer
  exit 0
  return
end
)",
                  .files = {{"watched.txt", "loaded\n"}, {"other.txt", "changed behind the editor's back\n"}},
                  .args = {"watched.txt"}});
  ASSERT_TRUE(p);
  // The question is a shown top-level window beside the frame.
  const std::string frame_title = "Zorvex - " + p->path("watched.txt");
  Window box = 0;
  xtest::eventually(
      [&] {
        for (Window w : p->shown_top_levels())
          if (p->property(w, "WM_NAME") != frame_title) box = w;
        return box != 0 || p->note("save");
      },
      5s);
  ASSERT_NE(box, 0u) << "no question; " << p->notes();
  EXPECT_EQ(p->property(box, "WM_NAME"), "Zorvex");
  ASSERT_TRUE(p->keys(box, {"y"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("copied"), "0") << r.describe();
  EXPECT_EQ(r.note("save"), "0") << r.describe();
  EXPECT_EQ(slurp(p->path("watched.txt")), "loaded\nadded by the probe\n");
}

// A background process's end reaches its procedure: the frame's timer polls
// the processes while one runs. Output comes with four arguments, the end
// with a fifth, the status.
TEST(ProbeShipped, TheFramePollsAProcessToItsEnd) {
  auto p = start({.source = R"(
proc probe-told(kind, in, out, pid)
  push_var $kind
  push_const "1"
  str_eq
  jump_if_false @output
  push_const "status"
  push_const "5"
  arg 1
  call_link 2, note
  exit 0
output:
  return
end

private probe()
  var in
  var out
  var pid
  var started
  push_const "sh -c \"exit 3\""
  push_const ""
  push_const "probe-told"
  find_index 1
  start_process 3, $in, $out, $pid
  assign $started
  push_const "start"
  push_var $started
  call_link 2, note
  return
end
)"});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish(10s);
  EXPECT_EQ(r.note("start"), "0") << r.describe();
  EXPECT_EQ(r.note("status"), "3") << r.describe();
  EXPECT_TRUE(r.ended) << r.describe();
}

// A help control of a form gets its window: the help file loads into it and
// it shows on the form.
TEST(ProbeShipped, AHelpControlShowsItsWindow) {
  const std::string help = std::string(ZVX_BINARY_DIR) + "/app/zorvex.hlp";
  auto p = start({.source = std::string(R"(
proc make(type, parent, caption, x, y, w, h, flags)
  push_var $type
  push_var $parent
  push_var $caption
  push_var $x
  push_var $y
  push_var $w
  push_var $h
  push_var $flags
  create_object 8
  return
end

private probe()
  var form
  var help
  push_const "2"
  push_const "2"
  push_const "Probe help form"
  push_const "1500"
  push_const "1500"
  push_const "6000"
  push_const "4500"
  push_const "136"
  call_link 8, make
  push_var $rc
  assign $form
  push_var $form
  push_const "3"
  property_set_handle "scale-mode", 0
  push_const "13"
  push_var $form
  push_const ""
  push_const "10"
  push_const "10"
  push_const "300"
  push_const "200"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $help
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  push_var $help
  activate_window
  push_const "load"
  push_const ")") + help + R"("
  helpview_load
  call_link 2, note
  push_const "menus"
  helpview_keyword 1
  pop
  push_const "topic"
  push_const "topic"
  helpview_property
  call_link 2, note
  return
end
)" + kQuitOnF12});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("topic")) << p->notes();
  const Window form = p->wait_window("Probe help form", 5s);
  ASSERT_NE(form, 0u) << testing::PrintToString(p->shown_titles());
  bool help_window = false;
  for (Window w : p->shown_descendants(form)) {
    XWindowAttributes a{};
    help_window |= XGetWindowAttributes(p->display(), w, &a) && a.width >= 250 && a.width <= 300 && a.height >= 150 &&
                   a.height <= 200;
  }
  EXPECT_TRUE(help_window) << "no window of the help control's size on the form";
  EXPECT_EQ(p->note("load"), "0") << p->notes();
  EXPECT_EQ(p->note("topic"), "Menus") << p->notes();
  ASSERT_TRUE(p->keys(p->frame(), {"F12"}));
  EXPECT_TRUE(p->finish().ended);
}

// A library calls each of the 40 entries of the editor API table and gets
// an answer from each (the library notes them; see data/api_probe_dll.cpp).
TEST(ProbeShipped, ALibraryGetsAnAnswerFromEveryApiEntry) {
  auto p = start({.source = std::string(R"(
command api-answer()
  push_const "yes"
  return_rc
end

private probe()
  push_const ")") + ZVX_API_PROBE_DLL +
                            R"("
  dll_load 1
  push_const "load"
  push_var $rc
  call_link 2, note
  push_const "api"
  current_window_id
  push_const "api_report"
  find_index 1
  call_index 2
  call_link 2, note
  refresh 0
  push_const "message"
  get_message 0
  call_link 2, note
  exit 0
  return
end
)",
                  .files = {{"a.txt", "first\nsecond\n"}, {"api.txt", "api file\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  // The library's edits leave api.txt modified: leaving asks about it.
  const Window leaving = p->wait_window("Leaving");
  ASSERT_NE(leaving, 0u) << testing::PrintToString(p->shown_titles());
  ASSERT_TRUE(p->keys(leaving, {"n"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("load"), "0") << r.describe();
  EXPECT_EQ(r.note("api"), "done") << r.describe();
  struct Case {
    int at;
    const char* want;  // nullptr: any answer
  };
  // columns: the entry's byte offset, its answer to the library's call
  const Case cases[] = {
      {0, "0"},       {4, "0"},        {8, "1"},        {12, "5:tag20"}, {16, "0"},       {20, "0"},
      {24, "0"},      {28, "0"},       {32, nullptr},   {36, nullptr},   {40, "0"},       {44, "yes"},
      {48, nullptr},  {56, "counted"}, {60, "42"},      {64, "called"},  {68, "called"},  {72, "called"},
      {76, "0"},      {80, "called"},  {84, "5:tag24"}, {88, nullptr},   {92, nullptr},   {96, "0"},
      {100, "0"},     {104, nullptr},  {108, "0"},      {112, "3:xyz"},  {116, "3"},      {120, "0"},
      {172, nullptr}, {176, "bytes"},  {180, nullptr},  {184, "memory"}, {188, "called"}, {192, "called"},
      {196, "0"},     {200, "called"}, {204, nullptr},  {208, "0"},
  };
  static_assert(std::size(cases) == 40);
  for (const Case& c : cases) {
    const std::optional<std::string> got = r.note("api+" + std::to_string(c.at));
    ASSERT_TRUE(got) << "+" << c.at << " not called\n" << r.describe();
    EXPECT_NE(got, "null") << "+" << c.at;
    if (c.want) {
      EXPECT_EQ(got, c.want) << "+" << c.at;
    }
  }
  EXPECT_EQ(r.note("message"), "api message") << r.describe();
}

// Quitting the only view of an editor window closes the window: its object
// goes, and the window before it is current again, its file named in the
// frame's title.
TEST(ProbeShipped, QuittingTheLastViewClosesTheWindow) {
  auto p = start({.source = R"(
private probe()
  var first
  var second
  var text
  window_id_to_var $first
  push_const "+i b.txt"
  edit
  window_id_to_var $second
  push_const "opened"
  push_var $rc
  call_link 2, note
  push_const "first"
  push_var $first
  call_link 2, note
  push_const "second"
  push_var $second
  call_link 2, note
  push_const "waiting"
  push_const "1"
  call_link 2, note
  push_const "200"
  push_const "K"
  delay 2
  quit_view
  push_const "quit"
  push_var $rc
  call_link 2, note
  push_const "second-alive"
  push_var $second
  is_window_id
  call_link 2, note
  push_const "first-alive"
  push_var $first
  is_window_id
  call_link 2, note
  window_id_to_var $text
  push_const "current"
  push_var $text
  call_link 2, note
  get_line $text
  push_const "text"
  push_var $text
  call_link 2, note
  push_const "200"
  push_const "K"
  delay 2
  exit 0
  return
end
)",
                  .files = {{"a.txt", "text of a\n"}, {"b.txt", "text of b\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("waiting")) << p->notes();
  const std::vector<std::string> before = p->shown_titles();
  const Window frame = p->frame();
  ASSERT_NE(frame, 0u);
  ASSERT_TRUE(p->keys(frame, {"x"}));
  ASSERT_TRUE(p->wait_note("text")) << p->notes();
  const std::vector<std::string> after = p->shown_titles();
  ASSERT_TRUE(p->keys(frame, {"x"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("opened"), "0") << r.describe();
  EXPECT_NE(r.note("first"), r.note("second")) << r.describe();
  EXPECT_EQ(r.note("quit"), "0") << r.describe();
  EXPECT_EQ(r.note("second-alive"), "0") << r.describe();
  EXPECT_EQ(r.note("first-alive"), "1") << r.describe();
  EXPECT_EQ(r.note("current"), r.note("first")) << r.describe();
  EXPECT_EQ(r.note("text"), "text of a") << r.describe();
  const std::string a_title = "Zorvex - " + p->path("a.txt"), b_title = "Zorvex - " + p->path("b.txt");
  EXPECT_NE(std::find(before.begin(), before.end(), b_title), before.end()) << testing::PrintToString(before);
  EXPECT_EQ(std::find(after.begin(), after.end(), b_title), after.end()) << testing::PrintToString(after);
  EXPECT_NE(std::find(after.begin(), after.end(), a_title), after.end()) << testing::PrintToString(after);
}

// A two-key binding: after its first key the message line shows that key
// while the editor waits for the second (a macro timer reads the line
// meanwhile), and the line is clear again once the binding ran.
TEST(ProbeShipped, AMultiKeyPrefixShowsOnTheMessageLine) {
  auto p = start({.source = R"(
table "probe:keys"
  a probe-second
end

proc probe-peek()
  get_message 0
  push_const ""
  str_eq
  jump_if_true @peek_done
  push_const "message"
  get_message 0
  call_link 2, note
peek_done:
  return
end

proc probe-second()
  push_const "after"
  get_message 0
  call_link 2, note
  exit 0
  return
end

private probe()
  push_event_table table:"default-keys"
  push_const "352"
  push_event_table table:"probe:keys"
  set_eventtab_index
  push_const "100"
  push_const "probe-peek"
  find_index 1
  set_timer 2
  push_const "ready"
  push_const "1"
  call_link 2, note
  return
end
)"});  // 352: the key index of F11
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("ready")) << p->notes();
  const Window frame = p->frame();
  ASSERT_NE(frame, 0u);
  ASSERT_TRUE(p->keys(frame, {"F11"}));
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (p->note("message") != "F11" && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(p->note("message"), "F11") << p->notes();
  ASSERT_TRUE(p->keys(frame, {"a"}));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("after"), "") << r.describe();
}

}  // namespace

// Macro timers on a fake clock (a program without the command line's
// window polls them); the global editor options and the message built-ins.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "forms/bi_objects.h"
#include "forms/msgbox.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/picture_services.h"
#include "forms/timers.h"
#include "macro/catch.h"
#include "macro/error_port.h"
#include "macro/names.h"
#include "tests/forms/forms_fixture.h"
#include "tests/macro/bytecode_builder.h"
#include "tests/macro/key_fixture.h"
#include "tests/support/headless/app_fakes.h"
#include "tests/support/headless/option_fakes.h"
#include "winsys/winapi.h"
#include "winsys/xfsys.h"

namespace {

uint32_t fake_now = 1000;

class Timers : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    fake_now = 1000;
    obj_timers_use_clock([] { return fake_now; });
    keytest::Mod mod;
    mod.global("hits");
    mod.global("last");
    mod.command("tick", "", 1);
    mod.op("incr", {"$hits"});
    mod.op("push_var", {"%0"});
    mod.op("assign", {"$last"});
    mod.op("return");
    boot(mod);
    tick_ = static_cast<int32_t>(name_find("tick", NF_CALLABLE));
  }
  void TearDown() override {
    obj_timer_free_all();
    obj_timers_use_clock(nullptr);
    KeyTest::TearDown();
  }
  // Runs one built-in with its arguments; returns rc.
  std::string bi(std::string_view mnemonic, const std::vector<std::string>& args) {
    bc::ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    for (const auto& a : args) b.op("push_const", {bc::k(a)});
    b.op(mnemonic, {bc::cnt(static_cast<int>(args.size()))});
    b.op("return");
    image_ = b.finish();
    vmtest::shown.clear();
    vm_call_image(image_, p, {});
    return rc();
  }
  int32_t tick_ = 0;
  std::vector<uint8_t> image_;
};

// Leaving the editor frees every macro timer: none fires while it goes.
TEST_F(Timers, FreeingThemAllStopsEveryTimer) {
  EXPECT_EQ(bi("set_timer", {"100"}), "0");
  EXPECT_EQ(obj_timer_count(), 1);
  obj_timer_free_all();
  EXPECT_EQ(obj_timer_count(), 0);
  fake_now += 1000;
  EXPECT_EQ(obj_timers_run_due(), 0);
  EXPECT_FALSE(obj_timer_current_fired(true));
}

TEST_F(Timers, TheCurrentTimerIsOneShotAndReused) {
  EXPECT_EQ(bi("set_timer", {"100"}), "0") << "the first timer: index 0, native id 1";
  EXPECT_TRUE(obj_timer_is_current(1));
  EXPECT_EQ(bi("set_timer", {"200"}), "0") << "set again: the same record restarts";
  EXPECT_EQ(obj_timer_count(), 1);
  fake_now += 199;
  EXPECT_EQ(obj_timers_run_due(), 0);
  fake_now += 1;
  EXPECT_EQ(obj_timers_run_due(), 1);
  EXPECT_TRUE(obj_timer_current_fired(true));
  fake_now += 1000;
  EXPECT_EQ(obj_timers_run_due(), 0) << "one shot";
  bi("kill_timer", {});
  EXPECT_TRUE(vmtest::shown.empty());
  EXPECT_EQ(obj_timer_current_index(), -1);
  EXPECT_EQ(obj_timer_count(), 0);
  EXPECT_EQ(bi("kill_timer", {}), "-3015") << "no current timer left";
  EXPECT_EQ(bi("kill_timer", {"7"}), "-3015");
}

TEST_F(Timers, PeriodicTimersCallTheirProcedure) {
  EXPECT_EQ(bi("set_timer", {"50", std::to_string(tick_), "hello"}), "0");
  EXPECT_EQ(bi("set_timer", {"100"}), "1") << "the current timer takes a record of its own";
  for (int i = 0; i < 4; ++i) {
    fake_now += 50;
    obj_timers_run_due();
  }
  EXPECT_EQ(global("hits"), "4");
  EXPECT_EQ(global("last"), "hello");
  EXPECT_EQ(obj_timer_running(), 0);
  obj_timers_hold(true);
  fake_now += 50;
  obj_timers_run_due();
  EXPECT_EQ(global("hits"), "4") << "held back";
  obj_timers_hold(false);
  bi("kill_timer", {"0"});
  EXPECT_TRUE(vmtest::shown.empty());
  EXPECT_EQ(obj_timer_count(), 1);
  fake_now += 500;
  obj_timers_run_due();
  EXPECT_EQ(global("hits"), "4");
}

TEST_F(Timers, ADeletedProcedureRunsNothing) {
  EXPECT_EQ(bi("set_timer", {"10", "9999"}), "0");
  fake_now += 10;
  EXPECT_EQ(obj_timers_run_due(), 1);
  EXPECT_EQ(global("hits"), "0");
  EXPECT_EQ(obj_timer_count(), 1) << "it keeps running";
}

// Index 65535 would get native id 0, which is no timer: refused.
TEST_F(Timers, ANativeTimerThatCannotStart) {
  for (int32_t i = 0; i < 65535; ++i) ASSERT_EQ(bi("set_timer", {"10", std::to_string(tick_)}), std::to_string(i));
  EXPECT_EQ(bi("set_timer", {"10", std::to_string(tick_)}), "-2074");
  EXPECT_EQ(obj_timer_count(), 65535) << "the new record is released";
  obj_timer_free_all();
}

class Options : public formstest::FormsTest {};

TEST_F(Options, DefaultsAndSets) {
  struct Case {
    std::vector<std::string> args;
    std::string value;
    ErrorCode raised;
  };
  const Case cases[] = {
      {{}, "1", 0},
      {{"H"}, "2", 0},
      {{"V"}, "4", 0},
      {{"P"}, "0", 0},
      {{"A"}, "16", 0},
      {{"C"}, "32", 0},
      {{"O"}, "64", 0},
      {{"L"}, "72", 0},
      {{"S"}, "1", 0},
      {{"X"}, "0", 0},
      {{"W"}, "40", 0},
      {{"R"}, "0", 0},
      {{"N"}, "", 0},
      {{"D"}, "1", 0},
      {{"K"}, "1", 0},
      {{"E"}, "0", 0},
      {{"F"}, "0", 0},
      {{"B"}, "0", 0},
      {{"L", "-5"}, "0", 0},
      {{"l"}, "0", 0},
      {{"N", "xyz"}, "x", 0},
      {{"N"}, "x", 0},
      {{"N", ""}, "", 0},
      {{"H", "0"}, "0", 0},
      {{"H"}, "0", 0},
      {{"P", "7"}, "8", 0},
      {{"W", "60"}, "60", 0},
      {{"Z"}, "*", ERR_INVALID_ARGUMENT},
      {{"W", "abc"}, "*", ERR_INVALID_NUMBER_ARGUMENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("()") : c.args[0]);
    const formstest::Out o = call("editor_option", c.args);
    EXPECT_EQ(o.raised, c.raised);
    if (c.value != "*") {
      EXPECT_EQ(o.value, c.value);
    }
  }
  EXPECT_EQ(editor_options().path_width, 60);
}

// Only a set option reaches the editor windows; option E turns on the
// positions of errors that do not stop a macro.
TEST_F(Options, SetOptionsReachTheWindowsAndEAsksForErrorPositions) {
  editor_options_reset();
  opttest::install();
  EXPECT_FALSE(vm_error_positions_wanted());
  const std::vector<std::string> calls[] = {{"T"}, {"H", "0"}, {"W", "abc"}, {"E", "1"}, {"N", "q"}, {"E"}};
  for (const std::vector<std::string>& args : calls) call("editor_option", args);
  EXPECT_EQ(opttest::options.changed, "HEN");
  EXPECT_TRUE(vm_error_positions_wanted());
  call("editor_option", {"E", "0"});
  EXPECT_FALSE(vm_error_positions_wanted());
  EXPECT_EQ(opttest::options.changed, "HENE");
  editor_options_reset();
}

// Where an error that does not stop the macro happened is recorded only
// under option E (a stopping one always is).
TEST_F(Options, PositionsOfNonStoppingErrorsAreRecordedUnderOptionE) {
  for (const bool wanted : {false, true}) {
    SCOPED_TRACE(wanted);
    editor_options().error_where = wanted ? 1 : 0;
    vm_catch.error_offset = 0;
    // The break poll of the jump raises the error, in the middle of the run.
    uitest::ui.break_source = vmtest::poll_break;
    vmtest::break_polls = 0;
    vmtest::on_break_poll = [](int n) {
      if (n == 2) vm_raise_error(ERR_STRING_NOT_FOUND);
      return 0;
    };
    bc::ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    const uint16_t at = b.here();
    bc::Label l = b.new_label();
    b.op("jump", {bc::jmp(l)});
    b.bind(l);
    b.op("return");
    EXPECT_EQ(run(b, p), ERR_OK);
    EXPECT_EQ(rc(), "-3022");
    if (wanted) {
      EXPECT_EQ(vm_catch.error_offset, at + 3) << "after the jump";
    } else {
      EXPECT_EQ(vm_catch.error_offset, 0);
    }
  }
  vmtest::on_break_poll = nullptr;
  uitest::install();
  editor_options_reset();
}

TEST_F(Options, TheBellsAndThePause) {
  const uint32_t rung = xf().beeps;
  call("beep", {});
  EXPECT_EQ(xf().beeps, rung + 1) << "the window system's bell";
  const auto start = std::chrono::steady_clock::now();
  call("beep", {"0", "250"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  testing::internal::CaptureStdout();
  call("beep", {"440"});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\a") << "the terminal's bell";
  EXPECT_EQ(xf().beeps, rung + 1);
}

// The style a box is shown with; the box itself is on the screen only with
// a display (tests/forms/msgbox_x_test.cpp): without one it answers 2.
TEST_F(Options, MessageBoxStyles) {
  // columns: the macro's style, the box's
  const uint32_t rows[][2] = {{0, 0x2030},      {4, 0x2034},      {0x10, 0x2010},   {0xF0, 0x2000},
                              {0x1000, 0x1030}, {0x3000, 0x0030}, {0x30F4, 0x0004}, {0x2045, 0x2045}};
  for (auto [style, shown] : rows) EXPECT_EQ(msgbox_style(static_cast<int32_t>(style)), shown) << style;
  EXPECT_EQ(call("message_box", {"Save?"}).rc, "2");
  EXPECT_EQ(call("message_box", {"Gone", "Find", "4"}).rc, "2");
}

TEST_F(Options, APostedCommandGoesToTheFramesWindow) {
  EXPECT_EQ(call("post_frame_command", {"5", "text"}).rc, "0") << "without a frame: to nobody";
  XfMessage m{};
  EXPECT_FALSE(WinPeekMsg(&m, nullptr, kMsgFrame4142, kMsgFrame4142, 0));
  XfWindow client{};
  apptest::app.frame_client = &client;
  EXPECT_EQ(call("post_frame_command", {"5", "text"}).rc, "0");
  EXPECT_EQ(call("post_frame_command", {"6"}).rc, "0");
  apptest::install();
  ASSERT_TRUE(WinPeekMsg(&m, nullptr, kMsgFrame4142, kMsgFrame4142, 1));
  EXPECT_EQ(m.window, &client);
  EXPECT_EQ(m.mp1, 5);
  ASSERT_NE(m.mp2, 0);
  const std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(m.mp2));
  EXPECT_EQ(*text, "text") << "a heap copy the frame deletes";
  ASSERT_TRUE(WinPeekMsg(&m, nullptr, kMsgFrame4142, kMsgFrame4142, 1));
  EXPECT_EQ(m.mp1, 6);
  EXPECT_EQ(m.mp2, 0) << "no text: null";
}

}  // namespace

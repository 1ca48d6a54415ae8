// The small built-ins run as byte code: symbolic modes on real files, the
// screen and pointer through a fake window layer and through the headless
// defaults, the integer settings, and the key and event waits over a fake
// event source.
#include "macro/bi_small.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "base/le.h"
#include "macro/state_settings.h"
#include "tests/macro/builtin_fixture.h"
#include "tests/macro/key_fixture.h"
#include "tests/support/headless/screen_fakes.h"
#include "text/ui_port.h"

namespace {

using bitest::Out;
using keytest::fakes;

using screentest::screen;

// The screen options the fake window's answer was asked with.
std::vector<char> asked_options;

class SmallBi : public bitest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    keytest::install_fakes();
    screentest::install();
    asked_options.clear();
    settings_live() = settings_defaults();
    kbdmac.mouse_move_events = false;
    small_macro_int() = 0;
  }
  void TearDown() override {
    screentest::install();
    evtest::install();
    kbdmac.mouse_move_events = false;
    settings_live() = settings_defaults();
    BuiltinTest::TearDown();
  }
  static void install_fake_window() {
    screen.dimension = [](bool height, char option) {
      asked_options.push_back(option);
      const int32_t px = height ? 600 : 800;
      return option == 'D' ? px : option == 'M' ? px * 15 : px - 100;
    };
    screen.pointer_x = 12;
    screen.pointer_y = 34;
  }
  bitest::ScratchDir dir_;
};

uint32_t mode_of(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0xFFFFFFFF;
  return st.st_mode & 07777;
}

TEST_F(SmallBi, ChmodAppliesSymbolicModes) {
  struct Case {
    uint32_t before;
    const char* mode;
    uint32_t after;
  };
  const Case cases[] = {
      {0644, "u+x", 0744},   {0644, "+x", 0755},        {0666, "go-w", 0644},        {04755, "u=rw", 0655},
      {01777, "u=rw", 0677}, {0644, "a+s", 0644},       {0644, "ug+x", 0754},        {0777, "u=rw,go=r", 0644},
      {0600, "UG+RW", 0660}, {0644, "+s", 06644},       {0644, "o+t", 0644},         {0755, "=r", 0444},
      {0644, "u+l", 0644},   {0700, "a=rwx,o-x", 0776}, {0000, "u+r,u+w,g+r", 0640}, {0644, " u+x ", 0744},
      {02644, "g-s", 0644},  {0644, "aug+w", 0666},
  };
  const std::string f = dir_ / "f.txt";
  for (const Case& c : cases) {
    bitest::write_file(f, "x", c.before);
    ::chmod(f.c_str(), c.before);
    const Out o = call("chmod", {std::string("\"") + c.mode + "\" " + f});
    EXPECT_EQ(o.raised, 0) << c.mode;
    EXPECT_EQ(o.rc, "0") << c.mode;
    EXPECT_EQ(mode_of(f), c.after) << std::oct << c.before << " " << c.mode;
  }
}

TEST_F(SmallBi, ChmodRefusesBadModesAndMissingFiles) {
  const std::string f = dir_ / "f.txt";
  bitest::write_file(f, "x", 0644);
  struct Case {
    std::string arg;
    ErrorCode code;
  };
  const Case cases[] = {
      {"u+q " + f, ERR_INVALID_OPTION}, {"q+x " + f, ERR_INVALID_OPTION},  {"u+ " + f, ERR_INVALID_OPTION},
      {"ux " + f, ERR_INVALID_OPTION},  {"u+x, " + f, ERR_INVALID_OPTION}, {"\"\" " + f, ERR_INVALID_OPTION},
      {"u*x " + f, ERR_INVALID_OPTION}, {"", ERR_INVALID_OPTION},          {"u+x " + dir_ / "none", -2},
  };
  for (const Case& c : cases) {
    const Out o = call("chmod", {c.arg});
    EXPECT_EQ(o.raised, c.code) << c.arg;
    EXPECT_EQ(o.rc, std::to_string(c.code)) << c.arg;
    EXPECT_EQ(mode_of(f), 0644u) << c.arg;  // a refused mode changes nothing
  }
}

TEST_F(SmallBi, ChmodTakesAQuotedFileNameWithBlanks) {
  const std::string f = dir_ / "with blank.txt";
  bitest::write_file(f, "x", 0600);
  const Out o = call("chmod", {"go+r \"" + f + "\""});
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(mode_of(f), 0644u);
}

TEST_F(SmallBi, ScreenSizeThroughTheWindowLayerAndHeadless) {
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    std::string value;
    ErrorCode raised;
  };
  // Without a window layer: the size the forms assume before measuring.
  for (const Case& c : {Case{"screen_width", {}, "1024", 0}, Case{"screen_height", {"D"}, "768", 0},
                        Case{"screen_width", {"m"}, "1024", 0}}) {
    const Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(o.value, c.value) << c.mnemonic;
  }
  install_fake_window();
  const Case cases[] = {
      {"screen_width", {"D"}, "800", 0},
      {"screen_height", {"d"}, "600", 0},
      {"screen_width", {}, "700", 0},
      {"screen_height", {"M"}, "9000", 0},
      {"screen_width", {"X"}, "", ERR_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    const Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(o.raised, c.raised) << c.mnemonic;
    if (!c.raised) {
      EXPECT_EQ(o.value, c.value) << c.mnemonic << " " << (c.args.empty() ? "" : c.args[0]);
    }
  }
  EXPECT_EQ(asked_options, (std::vector<char>{'D', 'D', 0, 'M'}));
  EXPECT_EQ(call("screen_width", {"D", "D"}).raised, ERR_INVALID_ARGUMENT);  // one option at most
}

TEST_F(SmallBi, PointerMovesAndReads) {
  install_fake_window();
  Out o = call("set_pointer_pos", {"5", "-7"});
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(screen.moves, (std::vector<std::pair<int32_t, int32_t>>{{5, -7}}));
  EXPECT_EQ(call("set_pointer_pos", {"x", "1"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(screen.moves.size(), 1u);
  o = call("get_pointer_pos", {});
  EXPECT_EQ(o.vars, (std::vector<std::string>{"12", "34"}));
  screentest::install();
  EXPECT_EQ(call("get_pointer_pos", {}).vars, (std::vector<std::string>{"0", "0"}));
}

// An editor window passes the type check; an object of no typed kind (type
// 0) is refused, whoever answers (forms by the type, or the fakes record).
TEST_F(SmallBi, ReservedAndTypeCheckedSlots) {
  EXPECT_EQ(call("reserved_ext109", {}).stop, ERR_ILLEGAL_OPCODE);
  install_fake_window();
  WindowObject* w = window_alloc_record();
  ASSERT_NE(w, nullptr);
  w->type = kObjTypeEditor;
  window_set_current(w, 0);
  vm_set_rc(0);
  Out o = call("map_rect_ext143", {"1", "2", "3", "4"});
  EXPECT_EQ(o.stop, 0);
  EXPECT_EQ(o.raised, 0);
  w->type = 0;
  screen.typed = false;
  o = call("map_rect_ext143", {"1", "2", "3", "4"});
  EXPECT_EQ(o.stop, ERR_NOT_ALLOWED_ON_OBJECT);
  window_set_current(nullptr, 0);
}

TEST_F(SmallBi, IntegerSettings) {
  install_fake_window();
  // 15 twips a pixel both ways (the forms' measure before a display, and
  // the fakes record's); the repaints of the forms in design mode are the
  // forms' (tests/forms/small_builtins_test.cpp).
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    std::string value;
  };
  const Case cases[] = {
      {"grid_width", {}, "120"},         {"grid_width", {"1"}, "1"},
      {"grid_width", {"29"}, "1"},       {"grid_width", {"30"}, "30"},
      {"grid_width", {}, "30"},          {"grid_height", {"29"}, "1"},
      {"grid_height", {"40"}, "40"},     {"grid_height", {}, "40"},
      {"int_setting_ext175", {}, "0"},   {"int_setting_ext175", {"-9"}, "-9"},
      {"int_setting_ext175", {}, "-9"},  {"mouse_move_events", {}, "0"},
      {"mouse_move_events", {"1"}, "1"}, {"mouse_move_events", {}, "1"},
      {"mouse_move_events", {"0"}, "0"},
  };
  for (const Case& c : cases) {
    const Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(o.raised, 0) << c.mnemonic;
    EXPECT_EQ(o.value, c.value) << c.mnemonic << " " << (c.args.empty() ? "-" : c.args[0]);
  }
  EXPECT_EQ(le::get_u32(settings_live().data() + SET_GRID_X), 30u);
  EXPECT_EQ(le::get_u32(settings_live().data() + SET_GRID_Y), 40u);
  EXPECT_EQ(call("grid_width", {"wide"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(call("grid_width", {}).value, "30");
}

TEST_F(SmallBi, EventQueries) {
  install_fake_window();
  struct Case {
    std::string arg;
    std::string value;
    ErrorCode raised;
  };
  const Case cases[] = {
      {"D", "50", 0},
      {"D50", "50", 0},
      {"d7", "7", 0},
      {"D", "7", 0},
      {"S", "0 0", 0},
      {"S10 20", "10 20", 0},
      {"s 3 4", "3 4", 0},
      {"S", "3 4", 0},
      {"B", "", 0},
      {"X", "", ERR_INVALID_ARGUMENT},
      {"Dx", "", ERR_INVALID_NUMBER_ARGUMENT},
  };
  for (const Case& c : cases) {
    const Out o = call("get_event", {c.arg});
    EXPECT_EQ(o.raised, c.raised) << c.arg;
    if (!c.raised) {
      EXPECT_EQ(o.value, c.value) << c.arg;
    }
  }
  EXPECT_EQ(call("get_event", {"D50"}).value, "50");
  EXPECT_EQ(settings_double_click_ms(settings_live()), 500u);
}

TEST_F(SmallBi, LastEventSetsAndReadsAsKeyText) {
  for (EventCode e : {EventCode('a'), keytest::fkey(3), keytest::kCtrlX, kEvMouseMove}) {
    const std::string key = event_key_text(e);
    const Out o = call("last_event", {key});
    EXPECT_EQ(o.value, key);
    EXPECT_EQ(key_globals.last_event, e) << key;
    EXPECT_EQ(call("last_event", {}).value, key);
  }
}

TEST_F(SmallBi, WaitsForKeysAndEvents) {
  const std::string f3 = event_key_text(keytest::fkey(3));
  fakes.events = {keytest::fkey(3), kEvMouseMove, 'q', kEvMouseMove, 'r'};
  Out o = call("get_key", {});
  EXPECT_EQ(o.value, f3);
  EXPECT_EQ(fakes.refreshes, 1);
  EXPECT_EQ(screen.refreshes, 1);
  o = call("get_key", {"RP"});  // no refresh; waiting messages dispatched; a mouse move skipped
  EXPECT_EQ(o.value, "q");
  EXPECT_EQ(fakes.refreshes, 1);
  EXPECT_EQ(screen.refreshes, 1);
  o = call("get_event", {"CM"});  // mouse moves let through for this wait only
  EXPECT_EQ(o.value, event_key_text(kEvMouseMove));
  EXPECT_FALSE(kbdmac.mouse_move_events);
  o = call("get_event", {"K"});
  EXPECT_EQ(o.value, "r");
  EXPECT_EQ(key_globals.last_event, EventCode('r'));
  EXPECT_EQ(fakes.refreshes, 2);
  EXPECT_EQ(call("get_key", {"Z"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("get_event", {"RKCNMQ"}).raised, ERR_INVALID_ARGUMENT);
  // Nothing comes: the wait ends as a break would, with the empty key.
  o = call("get_key", {"R"});
  EXPECT_EQ(o.value, "");
  uitest::ui.break_flagged = true;
  fakes.events = {'z'};
  EXPECT_EQ(call("get_event", {"R"}).value, "");
  EXPECT_EQ(fakes.events.size(), 1u);  // the pending break keeps the key unread
}

TEST_F(SmallBi, HeadlessWaitsEndWithoutHanging) {
  evtest::install();
  EXPECT_EQ(call("get_key", {"R"}).value, "");
  EXPECT_TRUE(uitest::ui.break_flagged) << "the wait that nothing could end flagged a break";
  EXPECT_EQ(call("get_event", {"R"}).value, "");
  ui_clear_break();
}

}  // namespace

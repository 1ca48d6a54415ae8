// The macro start-up once the state is loaded, without a screen: the
// settings the state file carried reach the screen's seam, the insert mode
// and the text store; zorvex.ini's "macro variables" assign or create
// globals; a state that cannot be used shows its box text and ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/le.h"
#include "macro/bi_misc.h"
#include "macro/startup.h"
#include "macro/state_settings.h"
#include "tests/macro/key_fixture.h"
#include "text/curline.h"
#include "text/store.h"

namespace {

const std::string kBuild = ZVX_BINARY_DIR;
const std::string kDefaultModule = kBuild + "/macros/default.ex";
const std::string kDefaultState = kBuild + "/app/zorvex.stu";

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// What the screen was handed: the start-up's headless answers record it.
std::vector<std::string>& boxes = startuptest::startup.boxes;
int& settings_calls = startuptest::startup.settings_calls;
SettingsBlock& seen_settings = startuptest::startup.settings;

class StartupSettings : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    WindowObject* first = editor("");
    window_link_edit_list(first);
  }
  void TearDown() override {
    settings_live() = settings_defaults();
    edit_settings = EditSettings{};
    KeyTest::TearDown();
  }
  // The default macros linked with a settings block of the test's own.
  std::string state_with(const SettingsBlock& b) {
    const std::string bin = dir_.file("settings.bin"), stu = dir_.file("custom.stu");
    std::ofstream(bin, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
    const std::string cmd =
        "'" + kBuild + "/tools/zozu/zozu' --state '" + stu + "' --settings '" + bin + "' '" + kDefaultModule + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return stu;
  }
  int start(const std::string& state, bool given = true, const std::string& ini = "") {
    StartupConfig cfg;
    cfg.opt.state_file_name = state;
    cfg.opt.state_file_given = given;
    cfg.install_dir = "/opt/zx/";
    cfg.ini_text = ini;
    return startup_macros(&cfg);
  }
};

void put_u16(SettingsBlock& b, uint32_t at, uint16_t v) { le::put_u16(b.data() + at, v); }
void put_u32(SettingsBlock& b, uint32_t at, uint32_t v) { le::put_u32(b.data() + at, v); }
void put_text(SettingsBlock& b, uint32_t at, const std::string& t) { std::memcpy(b.data() + at, t.data(), t.size()); }

TEST_F(StartupSettings, TheStatesSettingsReachTheScreenTheInsertModeAndTheStore) {
  struct Case {
    const char* name;
    void (*change)(SettingsBlock&);
    void (*check)(const SettingsBlock& seen);
  };
  const Case cases[] = {
      {"the compiled-in defaults", [](SettingsBlock&) {},
       [](const SettingsBlock& s) {
         EXPECT_EQ(s, settings_defaults());
         EXPECT_EQ(edit_settings.insert_mode, 1);
       }},
      {"overwrite mode", [](SettingsBlock& b) { b[SET_INSERT_MODE] = 0; },
       [](const SettingsBlock& s) {
         EXPECT_FALSE(settings_insert_mode(s));
         EXPECT_EQ(edit_settings.insert_mode, 0);
       }},
      {"colour pairs",
       [](SettingsBlock& b) {
         put_u32(b, SET_COLOURS + 3 * 8, 0x123456);
         put_u32(b, SET_COLOURS + 3 * 8 + 4, 0x654321);
         put_u32(b, SET_COLOURS + 25 * 8 + 4, 0x0000FF);
       },
       [](const SettingsBlock& s) {
         EXPECT_EQ(settings_colour(s, 3, false), 0x123456u);
         EXPECT_EQ(settings_colour(s, 3, true), 0x654321u);
         EXPECT_EQ(settings_colour(s, 25, true), 0x0000FFu);
       }},
      {"fonts and double click",
       [](SettingsBlock& b) {
         put_text(b, SET_FONT1, "Courier");
         put_u16(b, SET_FONT1 + kSettingsFontFace, 14);
         put_u32(b, SET_DOUBLE_CLICK_MS, 321);
       },
       [](const SettingsBlock& s) {
         EXPECT_EQ(settings_font_face(s, 1), "Courier");
         EXPECT_EQ(settings_font_face(s, 2), "");
         EXPECT_EQ(settings_double_click_ms(s), 321u);
       }},
      {"store limit and spill directory",
       [](SettingsBlock& b) {
         le::put_u16(b.data() + SET_STORE_LIMIT_KB, 4096);
         put_text(b, SET_SPILL_DIR, "/var/tmp/zvx-spill");
       },
       [](const SettingsBlock&) {
         EXPECT_EQ(store_page_limit(), 4096 * 1024 / store_alloc_size() + 1);
         EXPECT_EQ(store_spill_dir(), "/var/tmp/zvx-spill");
       }},
  };
  const std::string spill_before = store_spill_dir();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBlock b = settings_defaults();
    c.change(b);
    const std::string stu = state_with(b);
    state_reset_read_flag();
    settings_calls = 0;
    ASSERT_EQ(start(stu), 0) << (boxes.empty() ? "" : boxes.back());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(settings_calls, 1);
    EXPECT_EQ(seen_settings, b) << "the block as the state file holds it";
    c.check(seen_settings);
    settings_live() = settings_defaults();
    edit_settings.insert_mode = 1;
    store_set_spill_dir(spill_before);
    ASSERT_EQ(vm_reset(), ERR_OK);
  }
}

TEST_F(StartupSettings, MacroVariablesAssignOrCreateGlobalsAndLeaveProceduresAlone) {
  const std::string ini =
      "[environment]\n"
      "mouse_dragging = not this section\n"
      "[macro variables]\n"
      "mouse_dragging=7\n"
      "  fresh_one  = hello world\n"
      "from_dir=%ANYTHING%lib\n"
      "percent=100%%\n"
      "key-not-defined = no\n"
      "empty_one\n"
      "[other]\n"
      "not_here = x\n";
  ASSERT_EQ(start(kDefaultState, true, ini), 0) << (boxes.empty() ? "" : boxes.back());
  struct Case {
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"mouse_dragging", "7"},        // a global of the state: assigned
      {"fresh_one", " hello world"},  // new: the name trimmed, the value as written
      {"from_dir", "/opt/zx/lib"},    // %NAME% is the expansion directory
      {"percent", "100%"},            // %% is one '%'
      {"empty_one", ""},              // no '=': an empty value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(name_find(c.name, NF_GLOBAL), 0u);
    EXPECT_EQ(global(c.name), c.value);
  }
  EXPECT_EQ(name_find("not_here", NF_GLOBAL), 0u) << "another section";
  EXPECT_NE(name_find("key-not-defined", NF_COMMAND), 0u);
  EXPECT_EQ(name_find("key-not-defined", NF_GLOBAL), 0u) << "the command stays a command";
}

TEST_F(StartupSettings, AStateThatCannotBeUsedShowsItsBoxAndEnds) {
  const std::string state = slurp(kDefaultState);
  ASSERT_GT(state.size(), 100u);
  std::string old_version = state;
  old_version[0] = static_cast<char>(old_version[0] + 1);
  struct Case {
    const char* name;
    std::string bytes;  // empty: no file
    bool given;
  };
  const Case cases[] = {
      {"missing, named with -x", "", true},
      {"old version", old_version, true},
      {"truncated", state.substr(0, state.size() / 2), true},
      {"not a state file", "#!/bin/sh\necho hi\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.file("bad.stu");
    std::remove(path.c_str());
    if (!c.bytes.empty()) std::ofstream(path, std::ios::binary) << c.bytes;
    boxes.clear();
    state_reset_read_flag();
    ASSERT_EQ(vm_reset(), ERR_OK);
    EXPECT_EQ(start(path, c.given), 1);
    ASSERT_EQ(boxes.size(), 1u);
    const std::string want = c.bytes.empty() ? "Macro file " + path + " not found"
                                             : "If '" + path + "' is an old local state file, erase it and try again.";
    EXPECT_EQ(boxes[0], want);
    EXPECT_EQ(settings_calls, 0) << "nothing of the screen half runs";
  }
}

TEST(RestoreFile, TheScreenLineGivesTheFramesPlace) {
  struct Case {
    const char* name;
    std::string text;
    char state;
    int32_t x, y, width, height, icon_x, icon_y;
  };
  const Case cases[] = {
      {"maximized", "SCREEN: 1024 768 10 20 640 480 5 6 M\n", 'M', 10, 20, 640, 480, 5, 6},
      {"iconic, the state word's first letter", "SCREEN: 1024 768 1 2 3 4 5 6 Iconic", 'I', 1, 2, 3, 4, 5, 6},
      {"blanks and lines between the words", "  SCREEN:\t1024\n768 7 8 300 200 0 0 N", 'N', 7, 8, 300, 200, 0, 0},
      {"a word that is no number gives 0", "SCREEN: 1024 768 x 8 300 200 0 0 N", 'N', 0, 8, 300, 200, 0, 0},
      {"another screen size", "SCREEN: 800 600 10 20 640 480 5 6 M", 0, 10, 20, 640, 480, 5, 6},
      {"SCREEN: in lower case", "screen: 1024 768 10 20 640 480 5 6 M", 0, 0, 0, 0, 0, 0, 0},
      {"no state word", "SCREEN: 1024 768 10 20 640 480 5 6", 0, 10, 20, 640, 480, 5, 6},
      {"the line past 1024 bytes", std::string(1020, ' ') + "SCREEN: 1024 768 1 1 1 1 1 1 M", 0, 0, 0, 0, 0, 0, 0},
      {"empty", "", 0, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RestoreScreen r = startup_parse_restore(c.text, 1024, 768);
    EXPECT_EQ(r.state, c.state);
    if (c.state == 0 && c.x == 0) continue;
    EXPECT_EQ(r.x, c.x);
    EXPECT_EQ(r.y, c.y);
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
    EXPECT_EQ(r.icon_x, c.icon_x);
    EXPECT_EQ(r.icon_y, c.icon_y);
  }
}

TEST(RestoreFile, TheDialogFontOfTheEnvironment) {
  struct Case {
    const char* text;
    bool parses;
    const char* face;
    int32_t size, style;
  };
  const Case cases[] = {
      {"Helvetica", true, "Helvetica", 10, 0}, {"Helvetica,12", true, "Helvetica", 12, 0},
      {"Times,14,1,7", true, "Times", 14, 1},  {"Times, 9 ,2", true, "Times", 9, 2},
      {"Times,big", false, "", 0, 0},          {"Times,12,bold", false, "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RestoreScreen r;
    EXPECT_EQ(startup_parse_dialog_font(c.text, &r), c.parses);
    EXPECT_EQ(r.dialog_font, c.parses);
    if (!c.parses) continue;
    EXPECT_EQ(r.dialog_face, c.face);
    EXPECT_EQ(r.dialog_size, c.size);
    EXPECT_EQ(r.dialog_style, c.style);
  }
}

TEST(RestoreFile, TheConfigurationDirectoryGoesFirstInTheSearchPath) {
  ASSERT_EQ(env_copy(), 0);
  env_set("ZORVEXCONFIG", "/cfg/zx");
  struct Case {
    const char* before;  // null: absent
    const char* after;
  };
  const Case cases[] = {
      {nullptr, "/cfg/zx"},
      {"/cfg/zx", "/cfg/zx"},
      {"/cfg/zx/", "/cfg/zx/"},
      {"/cfg/zx:/usr/lib", "/cfg/zx:/usr/lib"},
      {"/cfg/zx/:/usr/lib", "/cfg/zx/:/usr/lib"},
      {"/cfg/zxmore:/usr/lib", "/cfg/zx/:/cfg/zxmore:/usr/lib"},
      {"/usr/lib", "/cfg/zx/:/usr/lib"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before ? c.before : "absent");
    if (c.before)
      env_set("ZORVEXPATH", c.before);
    else
      env_set("ZORVEXPATH", nullptr);
    config_path_prepend("/opt/zx/");
    const char* now = env_get("ZORVEXPATH");
    ASSERT_NE(now, nullptr);
    EXPECT_STREQ(now, c.after);
  }
  env_drop_copy();
}

}  // namespace

// The screen half of the state's settings, without a screen: the records of
// fonts 504 and 506 (the window system's fonts need a server), the options D
// and N, the colour pairs and classes, the double-click
// time and the start-up insert mode, each read back where the editor uses it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/app_main.h"
#include "base/le.h"
#include "display/colours.h"
#include "display/textctl.h"
#include "forms/options.h"
#include "macro/state_settings.h"
#include "winsys/x_event_codes.h"

namespace {

class AppSettings : public ::testing::Test {
 protected:
  void TearDown() override {
    colours_reset();
    editor_options_reset();
    evt_last_event().double_click_time = 0;
    startup_insert_mode = 1;
  }
};

void put_face(SettingsBlock& b, uint32_t at, const char* face, uint16_t points, uint16_t style) {
  std::memcpy(b.data() + at, face, std::strlen(face));
  le::put_u16(b.data() + at + kSettingsFontFace, points);
  le::put_u16(b.data() + at + kSettingsFontFace + 2, style);
}

TEST_F(AppSettings, EachSettingLandsWhereTheEditorReadsIt) {
  struct Case {
    const char* name;
    void (*change)(SettingsBlock&);
    void (*check)();
  };
  const Case cases[] = {
      {"the defaults", [](SettingsBlock&) {},
       [] {
         const SettingsBlock d = settings_defaults();
         for (int i = 0; i < kSettingsColourPairs; ++i) {
           EXPECT_EQ(colour_pair(i).fg, settings_colour(d, i, false)) << i;
           EXPECT_EQ(colour_pair(i).bg, settings_colour(d, i, true)) << i;
         }
         EXPECT_EQ(evt_last_event().double_click_time, settings_double_click_ms(d));
         EXPECT_EQ(startup_insert_mode, 1);
         EXPECT_EQ(editor_options().fill_char, 0);
       }},
      {"colour pairs",
       [](SettingsBlock& b) {
         le::put_u32(b.data() + SET_COLOURS, 0x0000FF);
         le::put_u32(b.data() + SET_COLOURS + 4, 0x00FF00);
         le::put_u32(b.data() + SET_COLOURS + 25 * 8 + 4, 0x123456);
       },
       [] {
         EXPECT_EQ(colour_pair(0).fg, 0x0000FFu);
         EXPECT_EQ(colour_pair(0).bg, 0x00FF00u);
         EXPECT_EQ(colour_pair(25).bg, 0x123456u);
         // Slots 0..25 follow their pairs.
         ASSERT_NE(colour_slot(25), nullptr);
         EXPECT_EQ(colour_slot(25)->bg, 0x123456u);
       }},
      {"options, double click and overwrite",
       [](SettingsBlock& b) {
         b[SET_OPTION_D] = 3;
         b[SET_OPTION_N] = '~';
         b[SET_INSERT_MODE] = 0;
         le::put_u32(b.data() + SET_DOUBLE_CLICK_MS, 250);
       },
       [] {
         EXPECT_EQ(editor_options().frame_border, 3);
         EXPECT_EQ(editor_options().fill_char, '~');
         EXPECT_EQ(startup_insert_mode, 0);
         EXPECT_EQ(evt_last_event().double_click_time, 250);
       }},
      {"a double click past 16 bits is cut to the longest",
       [](SettingsBlock& b) { le::put_u32(b.data() + SET_DOUBLE_CLICK_MS, 70000); },
       [] { EXPECT_EQ(evt_last_event().double_click_time, 0xFFFF); }},
      {"fonts 504 and 506",
       [](SettingsBlock& b) {
         put_face(b, SET_FONT1, "Courier", 14, 1);
         put_face(b, SET_FONT2, "Helvetica", 9, 2);
       },
       [] {
         const DefaultFont* f504 = default_font(252);
         const DefaultFont* f506 = default_font(253);
         ASSERT_NE(f504, nullptr);
         ASSERT_NE(f506, nullptr);
         EXPECT_STREQ(f504->face, "Courier");
         EXPECT_EQ(f504->size, 14);
         EXPECT_EQ(f504->flags, 1u);
         EXPECT_STREQ(f506->face, "Helvetica");
         EXPECT_EQ(f506->size, 9);
         EXPECT_EQ(f506->flags, 2u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    colours_reset();
    editor_options_reset();
    SettingsBlock b = settings_defaults();
    c.change(b);
    app_apply_settings(b);
    c.check();
  }
}

// An empty face leaves the font as it was.
TEST_F(AppSettings, AnEmptyFaceKeepsTheFont) {
  SettingsBlock b = settings_defaults();
  put_face(b, SET_FONT1, "Courier", 12, 0);
  app_apply_settings(b);
  SettingsBlock none = settings_defaults();
  app_apply_settings(none);
  EXPECT_STREQ(default_font(252)->face, "Courier");
  EXPECT_EQ(default_font(252)->size, 12);
}

}  // namespace

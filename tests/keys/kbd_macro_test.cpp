// Keyboard macros: record then play gives the buffer that typing gives,
// the recording limit, the slots, pausing and breaking playback, the key
// readers, the source recorder and the recorder built-in.
#include "macro/kbd_macro.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/macro/key_fixture.h"

namespace {

using namespace keytest;

class KbdMacro : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    Mod mod = editor_module();
    boot(mod);
  }
  static int plays() {
    int n = 0;
    while (kbdmac_play_next()) ++n;
    return n;
  }
  // Plays the current recording into a window through the main loop.
  static void play_into(WindowObject* w, const char* slot = nullptr) {
    LStrBuf<4> arg(slot ? std::string_view(slot) : std::string_view());
    kbdmac_control('P', slot ? static_cast<const LStr*>(arg) : nullptr);
    while (key_feed_next(w)) {
    }
  }
};

TEST_F(KbdMacro, RecordThenPlayGivesTheBufferTypingGives) {
  const std::vector<EventCode> keys = {'a', 'b', fkey(2), kCtrlX, kCtrlF, ' ', 'c', kEvLeft, 'd', 0xE02F};
  WindowObject* rec = editor("-\n");
  kbdmac_control('B', nullptr);
  type(rec, keys);
  type(rec, {shift_fkey(4)});  // end-macro drops its own key and ends the recording
  EXPECT_EQ(kbdmac.block.recording, 0);
  EXPECT_EQ(kbdmac.slots[0].key_count, static_cast<int32_t>(keys.size()));  // Ctrl+F was read by the lookup
  const std::vector<std::string> recorded = text_of(rec);
  EXPECT_EQ(recorded, std::vector<std::string>{"abx cd/-"});  // raw keypad slash types /
  EXPECT_EQ(global("hits"), "1");
  EXPECT_EQ(global("undefined"), "1");  // LEFT

  WindowObject* typed = editor("-\n");
  type(typed, keys);
  WindowObject* played = editor("-\n");
  play_into(played);
  EXPECT_EQ(text_of(typed), recorded);
  EXPECT_EQ(text_of(played), recorded);
  EXPECT_EQ(global("hits"), "3");
  EXPECT_EQ(global("undefined"), "3");
  EXPECT_EQ(kbdmac.block.playing, 0);  // used up
  EXPECT_EQ(key_globals.repeat_count, 1);
}

TEST_F(KbdMacro, TwoSlotsKeepTheirRecordings) {
  WindowObject* w = editor("-\n");
  const LStrBuf<2> one("1");
  kbdmac_control('B', nullptr);
  type(w, "ab");
  type(w, {shift_fkey(4)});
  kbdmac_control('B', one);  // into slot 1
  type(w, "cd");
  type(w, {shift_fkey(4)});
  EXPECT_EQ(kbdmac.current_slot, 1);
  WindowObject* p0 = editor("-\n");
  play_into(p0, "0");
  WindowObject* p1 = editor("-\n");
  play_into(p1, "1");
  WindowObject* cur = editor("-\n");
  play_into(cur);  // the current slot
  EXPECT_EQ(text_of(p0), std::vector<std::string>{"ab-"});
  EXPECT_EQ(text_of(p1), std::vector<std::string>{"cd-"});
  EXPECT_EQ(text_of(cur), std::vector<std::string>{"cd-"});
  // A slot other than 0 and 1 does nothing.
  const KeyMacroBlock before = kbdmac.block;
  const LStrBuf<2> two("2");
  EXPECT_EQ(kbdmac_control('P', two), 0);
  EXPECT_EQ(kbdmac_control('B', two), 0);
  EXPECT_EQ(kbdmac.block.playing, before.playing);
  EXPECT_EQ(kbdmac.block.recording, before.recording);
  EXPECT_EQ(kbdmac.current_slot, 1);
}

TEST_F(KbdMacro, RecordingStopsCleanlyAtTheLimit) {
  kbdmac_control('B', nullptr);
  for (int i = 0; i < kKeyMacroKeys + 1; ++i) kbdmac_add_key('x');
  EXPECT_EQ(kbdmac.block.key_count, kKeyMacroKeys);  // the 1001st key is not stored
  fakes.events.assign({'y', 'z'});
  EXPECT_EQ(kbdmac_next_key(), static_cast<EventCode>('y'));  // still read, not stored
  EXPECT_EQ(kbdmac.block.key_count, kKeyMacroKeys);
  kbdmac_control('E', nullptr);
  kbdmac_control('P', nullptr);
  EXPECT_EQ(plays(), kKeyMacroKeys);
  EXPECT_EQ(key_globals.last_event, static_cast<EventCode>('x'));
}

TEST_F(KbdMacro, DropRemovesTheCurrentCommandsKeys) {
  kbdmac_control('B', nullptr);
  kbdmac_add_key('a');
  kbdmac_add_key(kCtrlX);  // a command's first key
  fakes.events.assign({kCtrlF});
  kbdmac_next_key();  // and a key it read
  EXPECT_EQ(kbdmac.block.command_keys, 2);
  kbdmac_control('D', nullptr);
  EXPECT_EQ(kbdmac.block.key_count, 1);
  kbdmac.block.command_keys = 5;
  kbdmac_control('D', nullptr);
  EXPECT_EQ(kbdmac.block.key_count, 0);  // not below 0
}

TEST_F(KbdMacro, PlaybackPausesWithoutTheFocusAndStopsOnBreak) {
  kbdmac_control('B', nullptr);
  for (EventCode k : std::initializer_list<EventCode>{'a', 'b', 'c', 0xE02F}) kbdmac_add_key(k);
  kbdmac_control('E', nullptr);
  kbdmac_control('P', nullptr);
  ASSERT_TRUE(kbdmac_play_next());
  EXPECT_EQ(key_globals.last_event, static_cast<EventCode>('a'));
  fakes.focus = false;
  EXPECT_FALSE(kbdmac_play_next());
  EXPECT_EQ(kbdmac.block.playing, 1);  // paused, not stopped
  fakes.focus = true;
  ASSERT_TRUE(kbdmac_play_next());
  EXPECT_EQ(key_globals.last_event, static_cast<EventCode>('b'));
  ASSERT_TRUE(kbdmac_play_next());
  ASSERT_TRUE(kbdmac_play_next());
  EXPECT_EQ(key_globals.last_event, 0xE02Fu);  // a key above 0x7FFF comes back as it was stored
  EXPECT_EQ(event_to_key_index(key_globals.last_event), 280);
  kbdmac_control('P', nullptr);
  uitest::ui.break_flagged = true;
  EXPECT_FALSE(kbdmac_play_next());
  EXPECT_EQ(kbdmac.block.playing, 0);
  EXPECT_FALSE(uitest::ui.break_flagged);
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_EQ(vmtest::shown.back().code, ERR_BREAK_KEY);
}

TEST_F(KbdMacro, KeyReaders) {
  // Playing: peek does not take the key; next and first do.
  kbdmac_control('B', nullptr);
  for (EventCode k : std::initializer_list<EventCode>{kEvMouseMove, 'a', 'b'}) kbdmac_add_key(k);
  kbdmac_control('E', nullptr);
  kbdmac_control('P', nullptr);
  key_globals.repeat_count = 4;
  EXPECT_EQ(kbdmac_read_key(false), static_cast<EventCode>('a'));  // the mouse move is stepped over
  EXPECT_EQ(kbdmac_peek_key(), static_cast<EventCode>('a'));
  EXPECT_EQ(key_globals.repeat_count, 1);
  EXPECT_EQ(kbdmac_next_key(), static_cast<EventCode>('a'));
  EXPECT_EQ(kbdmac_read_event(0), static_cast<EventCode>('b'));
  // Used up: the event source.
  fakes.events.assign({kEvMouseMove, 'c', kEvMouseMove, 'd'});
  EXPECT_EQ(kbdmac_read_key(true), 0u);  // a pending mouse move is nothing to read
  fakes.events.pop_front();
  EXPECT_EQ(kbdmac_read_event(2), static_cast<EventCode>('c'));
  kbdmac.mouse_move_events = true;
  EXPECT_EQ(kbdmac_read_event(8), kEvMouseMove);
  EXPECT_EQ(kbdmac_read_event(1), static_cast<EventCode>('d'));  // the waiting read
  EXPECT_EQ(kbdmac_peek_key(), 0u);
  // Recording: keys read for a command are counted for it.
  kbdmac_control('B', nullptr);
  fakes.events.assign({'x', 'y'});
  EXPECT_EQ(kbdmac_first_key(), static_cast<EventCode>('x'));
  EXPECT_EQ(kbdmac_next_key(), static_cast<EventCode>('y'));
  EXPECT_EQ(kbdmac.block.command_keys, 2);
  EXPECT_EQ(kbdmac.block.key_count, 2);
}

TEST_F(KbdMacro, SourceRecorderWritesKeyinAndCommandLines) {
  BufferRec* target = new_buffer("recording.e");
  WindowObject* w = editor("-\n");
  kbdmac_set_target(target);
  type(w, "abc'd");
  // Shift+F7 runs code addressed in the module: nothing names it, so no line.
  type(w, {fkey(2), shift_fkey(7), shift_fkey(5), kCtrlX, kCtrlG, kEvAltChar + '\'', 'e'});
  kbdmac_set_target(nullptr);
  type(w, "f");  // no longer recorded
  EXPECT_EQ(storetest::lines_forward(target), (std::vector<std::string>{
                                                  "",  // a new buffer's one line
                                                  "keyin 'abc'",
                                                  "keyin \"'\"",
                                                  "keyin 'd'",
                                                  "say_x()",
                                                  "'quoted'",
                                                  "last_event(name2event('C-G'));with_key()",
                                                  "last_event(name2event(\"A-'\"));with_key()",  // reads back
                                                  "keyin 'e'",
                                              }));
  EXPECT_EQ(text_of(w), std::vector<std::string>{"abc'dxef-"});
  EXPECT_EQ(global("hits"), "4");
  EXPECT_EQ(target->redraw, 1);
}

TEST_F(KbdMacro, KeyinLinesJoinWhileShorterThan75) {
  BufferRec* target = new_buffer("long.e");
  kbdmac_set_target(target);
  editor("\n");
  for (int i = 0; i < 70; ++i) kbdmac_record_char('a');
  const std::vector<std::string> lines = storetest::lines_forward(target);
  ASSERT_EQ(lines.size(), 3u);  // after the new buffer's empty line
  EXPECT_EQ(lines[1], "keyin '" + std::string(67, 'a') + "'");
  EXPECT_EQ(lines[1].size(), 75u);
  EXPECT_EQ(lines[2], "keyin 'aaa'");
  // The buffer receiving the recording is not closed under the recorder.
  EXPECT_EQ(buf_close(target), 1);
}

TEST_F(KbdMacro, RecorderBuiltin) {
  WindowObject* w = editor("-\n");
  const std::string enter = event_key_text(kEvEnter);
  struct Case {
    std::vector<std::string> args;
    std::string rc;  // empty: refused with `code`
    ErrorCode code = ERR_OK;
  };
  const Case cases[] = {
      {{"KI"}, "0"},
      {{"KB"}, "0"},
      {{"ki"}, "1"},
      {{"KK", enter}, "0"},
      {{"KE"}, "0"},
      {{"KR"}, "0"},
      {{"KP", "2"}, "0"},  // no such slot: nothing
      {{"KR"}, "0"},
      {{"KP", "0"}, "0"},
      {{"KR"}, "1"},
      {{"KA"}, "0"},
      {{"KR"}, "0"},
      {{"KZ"}, "", ERR_INVALID_ARGUMENT},
      {{"X"}, "", ERR_INVALID_ARGUMENT},
      {{"S"}, "0"},
      {{"B"}, "0"},
      {{"S"}, "1"},
      {{"M", "1"}, "1"},
      {{}, "1"},  // M by default
      {{"M", "x"}, "", ERR_INVALID_NUMBER_ARGUMENT},
      {{"R", "5"}, "5"},
      {{"R", "6"}, "6"},
      {{"R"}, "6"},
      {{"E"}, "0"},
      {{"S"}, "0"},
  };
  for (const auto& c : cases) {
    vmtest::shown.clear();
    const Out o = call("macro_record", c.args);
    if (c.rc.empty()) {
      EXPECT_EQ(o.rc, c.code) << (c.args.empty() ? "" : c.args[0]);
      continue;
    }
    EXPECT_EQ(o.rc, ERR_OK) << c.args[0];
    EXPECT_EQ(rc(), c.rc) << (c.args.empty() ? "" : c.args[0]);
  }
  EXPECT_EQ(kbdmac.slots[0].key_count, 1);
  EXPECT_EQ(kbdmac.slots[0].keys[0], kEvEnter);
  EXPECT_EQ(key_tables.current.record, 1);
  EXPECT_EQ(fakes.cursor_keeps, 1);  // R prepared the command once, while the flag was 0
  type(w, {fkey(3)});
  EXPECT_EQ(kbdmac_r_flag(), 0);  // cleared after a key command
  // Recording source needs a buffer.
  window_set_current(window(), 0);
  EXPECT_EQ(call("macro_record", {"B"}).rc, ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_FALSE(kbdmac_is_recording());
}

}  // namespace

// Keyboard macros: the key recorder, the key readers and the source recorder.
//
// The key recorder stores the event codes of keys as the editor windows
// receive them and plays them back through the main loop as if typed again;
// a recording can be kept in each of two slots. Every command and lookup
// reads further keys through the key readers here, so recording and playback
// see those keys too. The source recorder writes macro source into a target
// buffer while the user works: keyin lines for typed characters (joined into
// one line while they fit) and one line per command.
//
// Keys are stored as 16-bit words and come back zero-extended: every event
// code, raw keys included, is below 65536.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "macro/event_codes.h"
#include "text/kbdmac_port.h"

struct BufferRec;

inline constexpr int32_t kKeyMacroKeys = 1000;
// A keyin line takes further characters while it is shorter than this.
inline constexpr int32_t kKeyinLineLimit = 75;

// The part of the recorder a slot saves and restores whole.
struct KeyMacroBlock {
  uint16_t keys[kKeyMacroKeys] = {};
  int32_t command_keys = 0;  // keys recorded for the current command
  int32_t key_count = 0;
  int32_t play_index = 0;
  uint8_t recording = 0;
  uint8_t playing = 0;
};

struct KeyMacroBuffer {
  KeyMacroBlock block;
  KeyMacroBlock slots[2];
  int32_t current_slot = 0;
  BufferRec* target = nullptr;     // receives recorded source; null while not recording
  int32_t r_flag = 0;              // option "R" of the built-in; cleared after every key command
  bool mouse_move_events = false;  // the readers return MOUSE-MOVE instead of skipping it
};
extern KeyMacroBuffer kbdmac;

// Forgets recordings, slots and the source target (start-up and tests).
void kbdmac_reset();

// ---- key recorder ----------------------------------------------------------------

// The operations by letter: A abort, B begin (slot in arg), D drop the
// current command's keys, E end into the current slot, I recording?, K
// append the key text arg, P play (slot in arg), R playing?, r playing with
// keys left. Others give 0.
int32_t kbdmac_control(char letter, const LStr* arg);
// Appends a key of an editor window while recording (up to 1000 keys).
void kbdmac_add_key(EventCode event);
// The main loop's turn: while playing and the focus is on an editor window,
// the next key goes to last_event (true); false when playback is paused,
// over, or stopped by the break key (-3020 raised).
bool kbdmac_play_next();

// ---- key readers -----------------------------------------------------------------

// The next key for a command: the next played key, else the next event of
// the event source, recorded (and counted for the command) while recording.
EventCode kbdmac_next_key();
// The first key of a command: its key count starts again.
EventCode kbdmac_first_key();
// The next key without taking it: the next played key, else the event
// source's pending event (0 when none).
EventCode kbdmac_peek_key();
// Reads with mode 0 kbdmac_first_key, mode bit 2 the event source, mode bit
// 8 kbdmac_next_key, any other mode the event source's waiting read; skips
// MOUSE-MOVE unless the mouse-move flag is set.
EventCode kbdmac_read_event(int32_t mode);
// Without waiting: the pending event (direct) or kbdmac_peek_key; played
// mouse moves are stepped over, and a pending one counts as nothing pending
// (unless the mouse-move flag is set).
EventCode kbdmac_read_key(bool direct);

// ---- source recorder -------------------------------------------------------------

bool kbdmac_is_recording();
// kbdmac_is_target_buffer, the buffers' question, is in text/kbdmac_port.h.
// Starts recording into the buffer (null ends it).
void kbdmac_set_target(BufferRec* buffer);
int32_t kbdmac_r_flag();
void kbdmac_clear_r_flag();
// Appends a line after the target's last line.
void kbdmac_record_line(std::string_view line);
// Records a typed character: joined into the last keyin line when it fits.
void kbdmac_record_char(uint8_t ch);

// Built-in, ext 127: option [, value].
void bi_macro_record();

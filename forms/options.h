// The global editor options chosen by a letter, and the message built-ins.
//
// Each option has one letter of "KRDNXTLHVPASCOBEFW"; its initial value
// holds from start-up until a macro changes it. Flags (T H V P A C O) are
// reported as their bit value (T 1, H 2, V 4, P 8, A 16, C 32, O 64), the
// others as numbers; N is a character or none, reported as a string.
#pragma once

#include <cstdint>

inline constexpr char kEditorOptionLetters[] = "KRDNXTLHVPASCOBEFW";

struct EditorOptions {
  uint32_t flags = 0x01 | 0x02 | 0x04 | 0x10 | 0x20 | 0x40;  // T H V A C O set, P clear
  int32_t left_margin = 72;                                  // L, twips
  int32_t search_case = 1;                                   // S
  uint8_t no_trunc_msg = 0;                                  // X
  int32_t path_width = 40;                                   // W
  int32_t guide_column = 0;                                  // R
  char fill_char = 0;                                        // N, 0 none
  uint8_t frame_border = 1;                                  // D
  uint8_t caret_style = 1;                                   // K
  uint8_t error_where = 0;                                   // E
  uint8_t maximise_new = 0;                                  // F
  int32_t stored_b = 0;                                      // B
};
// Bit values of the flags.
inline constexpr uint32_t kOptTopLine = 0x01, kOptHScroll = 0x02, kOptVScroll = 0x04, kOptPointer = 0x08,
                          kOptAltMenu = 0x10, kOptCursorCell = 0x20, kOptO = 0x40;

EditorOptions& editor_options();
void editor_options_reset();

// Built-ins.
void bi_editor_option();       // ext 176
void bi_beep();                // ext 140
void bi_message_box();         // ext 170
void bi_post_frame_command();  // ext 165

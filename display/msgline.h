// The message line, the status line and the command line of the frame.
//
// How it works. Two bands sit below the frame's editor windows: the message
// line at the very bottom shows one line of text (macro messages, the text
// of a pending error code, a key prefix being typed), and above it the
// status line holds the command line (an input field, made through the
// command-line port because the field belongs to the forms) at its left and
// four fields at its right: line, column, mode name and Ins/Rep. A click on
// a field runs a command. The message state (current text, pending message
// and code, keep and clear-on-next-key flags) works without windows, so the
// message built-ins and the error report run headless.
//
// Error reports of the text engine and the macro runtime come here too
// (msgline_show_error), and the command executor's messages.
//
// Start reading at msgline_show and msgline_status_layout_compute.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "winsys/win_rect.h"

struct XfWindow;

// ---------------------------------------------------------------- errors

// Reports an error code: -2011 "Lines truncated" is dropped while the
// quiet-truncation option is set; otherwise the code's message is shown
// (the error-box hook, or the message line) and, for every code but -2011,
// the code stays pending, so the next refresh shows it again.
void msgline_show_error(int32_t code);
// msgline_show_error when code is not 0; returns code.
int32_t msgline_show_error_if(int32_t code);

// The editor's quiet-truncation option.
extern bool msgline_quiet_truncation;

// What was reported: the last code and the number of reports since the reset.
int32_t msgline_last_error();
int msgline_error_count();
void msgline_reset_errors();

// Shows a reported code's text in a box; null = on the message line.
using MsglineErrorBox = void (*)(int32_t code, std::string_view text);
void msgline_set_error_box(MsglineErrorBox box);

// ---------------------------------------------------------------- messages

inline constexpr int32_t kMessageCapacity = 1024;
// Redraw bits of messages.
inline constexpr uint32_t kRedrawMessage = 0x0100;
inline constexpr uint32_t kRedrawMessageO = 0x0800;

// The pending message the refresh flushes, and the flags around it.
struct MessageState {
  std::string current;  // the text last put on the message line
  std::string pending;  // the last message shown by a built-in
  int32_t pending_code = 0;
  bool keep = false;               // sticky: survives the next key
  bool clear_on_next_key = false;  // the next key clears the line
  bool visible = true;             // the message line has its own band
  char mode = 'S';                 // 'O' also sets redraw bit 0x0800
  int32_t paints = 0;              // times the text changed (painted or invalidated)
  uint16_t key_prefix_delay = 0;   // hundredths of a second
};
MessageState& message_state();
void message_state_reset();

// Puts text on the message line (cut at 1024); the same text again does
// nothing.
void msgline_set_text(std::string_view text);
// msgline_set_text and clears redraw bit 0x0100.
void msgline_paint(std::string_view text);
// The text now on the message line.
std::string msgline_get_text();
// The message built-ins' way: paints now, keeps it as the pending message,
// clears the pending code and the keep flag, sets 0x0100 (and 0x0800 in
// mode 'O').
void msgline_show(std::string_view text);
// A code whose text the next refresh shows (errors that do not stop a macro).
void msgline_set_pending_code(int32_t code);
// The refresh's flush: the pending code's text, else the pending message;
// without the keep flag the next key clears it.
void disp_flush_message();
// The key dispatch calls this before each key: clears the line when asked.
void msgline_key_pressed();
// The keys typed so far of a multi-key binding (empty: clear unless kept).
// With a delay set, waits that long and shows nothing when a key came.
void msgline_show_key_prefix(std::string_view text);
// Waits up to hundredths of a second; true when input arrived meanwhile.
using MsglineDelayFn = bool (*)(int32_t hundredths);
void msgline_set_delay(MsglineDelayFn fn);

// The message text of an error code (a view of the message table's static
// text, valid until the next lookup).
std::string_view msg_code_text(int32_t code);
// Copies it into a static 256-byte buffer (at most 255 bytes and a NUL).
const char* msg_text_copy(int32_t code);

// ---------------------------------------------------------------- status line layout

// What the layout measures with the bands' font; widths in pixels.
struct StatusMetrics {
  int32_t font_height = 0;
  int32_t twips_per_pixel = 15;
  int32_t w_line_label = 0;  // "Line "
  int32_t w_line_value = 0;  // "99999999"
  int32_t w_blank = 0;       // " "
  int32_t w_col_label = 0;   // "Col "
  int32_t w_col_value = 0;   // "999999"
  int32_t w_mode = 0;        // "FUNDAMENTAL"
  int32_t w_insert = 0;      // the wider of "Ins" and "Rep"
  int32_t w_w = 0;           // "W"
  int32_t edge = 0;          // system value 0x807
};

// Where everything lies in the status band, x in pixels from its left.
struct StatusLayout {
  int32_t band_height = 0;  // height of the status band
  int32_t text_top = 0;
  int32_t cmd_left = 0, cmd_right = 0, cmd_top = 0, cmd_height = 0;
  int32_t line_label = 0, line_value = 0, line_end = 0;
  int32_t col_label = 0, col_value = 0, col_end = 0;
  int32_t mode_left = 0, mode_end = 0;
  int32_t insert_left = 0, insert_end = 0;
};

// The layout of a status band `band_width` pixels wide; without fields only
// the command line is placed.
StatusLayout msgline_status_layout_compute(const StatusMetrics& m, int32_t band_width, bool with_fields);

enum class StatusField : uint8_t { Nothing, Line, Column, Mode, Insert };
// The field a click at x hits.
StatusField msgline_status_hit(const StatusLayout& l, int32_t x);
// The command a click on the field runs ("gui_goto_line" ...); null for Nothing.
const char* status_field_command(StatusField f);

// ---------------------------------------------------------------- status fields

struct StatusFields {
  int32_t line = -1;
  int32_t column = -1;
  std::string mode;  // at most 20 bytes
  uint8_t insert = 1;
  // What was painted last (a paint redraws only the changed fields).
  int32_t painted_line = -2, painted_column = -2;
  std::string painted_mode = "\x01";
  int painted_insert = -1;
  int32_t updates = 0;  // every tenth update paints at once
};
StatusFields& status_fields();
void status_set_line(int32_t n);
void status_set_column(int32_t n);
void status_set_mode(std::string_view name);
void status_set_insert(uint8_t flag);
// The texts the fields show: the line number (empty when negative), the
// column (empty when not positive), the mode name, "Ins" or "Rep".
std::string status_line_text(int32_t n);
std::string status_column_text(int32_t n);
const char* status_insert_text(uint8_t flag);

// ---------------------------------------------------------------- windows

inline constexpr const char* kMessageLineClass = "se_message_line";
inline constexpr const char* kStatusLineClass = "se_status_line";
int32_t msgline_register_message_class();
int32_t msgline_register_status_class();
// Creates the message line, the status line and the command line in the
// frame's client area; 0, or -1 when a window cannot be made.
int32_t msgline_create(XfWindow* frame);
// Places the three windows after a size change of the frame.
void msgline_layout(XfWindow* frame);
// The rectangles of the status band and the command line in the frame's
// client, and the message band's height.
void msgline_status_layout(XfWindow* frame, WinRect* status, WinRect* command, int32_t* message_height);
// Height of both bands together (what the frame keeps for them).
int32_t msgline_bands_height();
// The windows (null before msgline_create).
XfWindow* msgline_message_window();
XfWindow* msgline_status_window();
XfWindow* msgline_command_window();
// The layout in use.
const StatusLayout& msgline_current_layout();
// Runs a command for a status-field click: the frame installs the command
// executor; null runs nothing.
using StatusClickRunner = void (*)(const char* command);
void msgline_set_click_runner(StatusClickRunner run);
// The message, status and command lines are drawn again whole (their
// colours or fonts changed).
void msgline_redraw_bands();
// Destroys the windows (tests, shutdown).
void msgline_destroy();
intptr_t msgline_message_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);
intptr_t msgline_status_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

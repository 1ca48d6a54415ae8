// The command history and command execution from the command line.
//
// The history is the hidden ".command" buffer: one previous command per line,
// at most 300 lines, never the same command twice in a row. A position in it
// steps up and down with wrap-around while the user browses; recording a
// command ends the browsing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/buffer.h"

inline constexpr int32_t kHistoryLimit = 300;

// Uses buf as the history (null: none; recording then does nothing).
void cmd_history_attach(BufferRec* buf);
BufferRec* cmd_history_buffer();
// Records text as the newest command unless it equals the newest one; drops
// the oldest past 300 lines. Store errors leave the history as it was.
void cmd_history_record(std::string_view text);
// One step through the history; the line now at the position. The first
// "previous" shows the newest command without moving; "previous" at the top
// wraps to the newest, "next" at the bottom to the oldest. False when the
// history is empty or the step failed.
bool cmd_history_prev(std::string* line);
bool cmd_history_next(std::string* line);
bool cmd_history_browsing();
// The lines, oldest first (tests).
int32_t cmd_history_count();

// Executor flags of a command line.
inline constexpr uint32_t kExecDefault = 805;
inline constexpr uint32_t kExecBase = 545;
inline constexpr uint32_t kExecRecord = 256;

// Runs a command line as the command line's built-in does: text replaces
// the command line's text when given (null: the command line's own);
// options are letters of "WARZL" (others: -3015, nothing runs); with the
// recording flag a non-empty text goes to the history and the command line
// is emptied. The command's result (0 or an error code).
int32_t disp_execute_command_line(const std::string* text, std::string_view options);
// Whether options are letters of "WARZL" only (any case).
bool exec_options_valid(std::string_view options);
// The option bits of the last execution (for the library entry).
uint32_t disp_last_exec_options();

// The extension-library table's message and command-line entries are
// defined here (macro/dll_port.h: dll_show_message, dll_execute_command).

// The command runner (tests replace it): cmd_execute_line by default.
using CmdLineRunner = int32_t (*)(std::string_view line, uint32_t flags);
void disp_set_command_runner(CmdLineRunner run);

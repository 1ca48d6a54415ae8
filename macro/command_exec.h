// Command execution: one command line turned into action. Its first word is
// looked up among the macro commands (executor flag 1) and called with the
// rest of the line; a word that is no command runs as a macro module file
// (compiled by zozu first when its source is newer) or as a program.
//
// Programs get an argument vector: the word found along ZORVEXPATH and PATH,
// then the rest of the line split at blanks (double quotes group). The shell
// runs only where the line is meant for it: text after the program that uses
// the shell's own syntax (pipes, redirections, variables, wildcards), and
// never with flag 0x400. Flag 4 runs the program in a terminal that waits for
// a key: xterm (or ZORVEXXTERM) -T "<title>" -e zvxwait <shell> -c <line>.
//
// A command typed on the command line (flag 0x20) is first checked against
// the frame's first child, the edit window: its attribute flags say whether
// it may run without one, on an iconized one or in a read-only buffer. From
// the command line itself it runs as that edit window. The frame, the
// command line and the message line are the layers above's (command_port.h).
//
// A program's exit status is its result (and rc); it is not an error code
// and is never raised. Negative results are raised as errors, or with flag
// 0x200 shown on the message line (-2007 "Unknown command" for a word that is
// no program).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum CmdFlag : uint32_t {
  CMD_LOOKUP = 1,            // look the first word up among macro commands
  CMD_TERMINAL = 4,          // run a program in a terminal window
  CMD_HOOK_ARG = 8,          // handed to the process layer's before/after hooks
  CMD_NO_MACRO_FILES = 16,   // the search does not look for macro module files
  CMD_TYPED = 0x20,          // typed on the command line: permission checks
  CMD_RECORD_STATE = 0x40,   // keep the recorder's state in the dispatch state
  CMD_WAIT_MODE = 0x80,      // handed to the process layer
  CMD_MESSAGE_LINE = 0x200,  // errors to the message line, not raised
  CMD_NO_SHELL = 0x400,      // never through a shell
};

struct WindowObject;

// A program to run (command_port.h runs it): argv[0] is the path run.
struct CmdProcess {
  std::vector<std::string> argv;
  uint32_t flags = 0;
};

// Runs one command line; the result is stored in rc and returned.
int32_t cmd_execute_line(std::string_view line, uint32_t flags);

// The external path for a word and its argument text.
int32_t cmd_run_external(std::string_view word, std::string_view rest, uint32_t flags);

// Builds the terminal prefix into the command prefix: 0, -2081 "xterm program
// not found" or -2061 "zvxwait program not found" (both raised).
int32_t cmd_xterm_prefix(bool wait, std::string_view title);

// The text put in front of external commands (the shell built-in sets it);
// empty means none.
std::string& cmd_command_prefix();

// The attribute flags of a command: the number in the second ','-separated
// field of its info string, 0 when there is none.
uint32_t name_command_flags(uint32_t index);

// Whether a command with attribute flags f needs the edit window: not when
// the command line is current and the command works on the command line
// itself (bit 4 or 0x800).
bool cmd_needs_edit_window(uint32_t f);
// Whether the object's buffer is in "Read only" mode (its mode name, any
// case).
bool cmd_buffer_read_only(const WindowObject* object);
// The permission check of a typed command with attribute flags f, against
// the frame's first child: 0, -2060 (no edit window), -2059 (iconized) or
// -2099 (read-only buffer), raised.
int32_t cmd_check_allowed(uint32_t f);

// The shell built-in's work: options "PEQWAN" map to executor flags; a
// prefix (with " -c" appended when it holds no blank) stands in front of the
// command. -3015 for a letter outside the set.
int32_t cmd_shell(std::string_view command, std::string_view options, std::string_view prefix, bool builtin);

// A command text typed by the user, run as the object: the last event is
// cleared, the view prepared for a command, the text recorded while macro
// source is being recorded, then cmd_execute_line(text, flags | 3); the
// screen is refreshed when asked.
int32_t cmd_execute_text(WindowObject* object, std::string_view text, uint32_t flags, bool refresh);

// Calls a procedure or command by name, or by names index, with the object
// as the current window for the call. By name: 1 when nothing has that
// name, else 0; by index: 0.
int32_t cmd_call_name_on_object(WindowObject* object, std::string_view name, bool refresh,
                                std::span<const std::string_view> args);
int32_t cmd_call_index_on_object(WindowObject* object, int32_t index, bool refresh,
                                 std::span<const std::string_view> args);

// Runs the object's handler of an event: 0 when handled or unbound, 1 when
// no binding was found, or the lookup's negative code. A negative argc runs
// the handler with the dispatcher's saved integer arguments.
int32_t cmd_call_event_handler(WindowObject* object, int32_t event, bool refresh, int32_t argc,
                               std::span<const std::string_view> args);

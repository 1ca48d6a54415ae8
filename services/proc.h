// Process buffers and the processes that run beside the editor.
//
// One concurrent process (usually an interactive shell) writes into the
// process buffer at the process mark, and the line the user finishes after
// the mark is sent to it; any number of background processes started by
// macros are reported to a macro procedure. There are no threads: the
// application polls (proc_poll) on a 100 ms timer while a process runs, and
// children are reaped by non-blocking waits in that poll. The timer and the
// screen belong to the application (services/proc_port.h).
//
// The editor keeps only the ends of the pipes that are its own (the
// child's output for reading, its input for writing); the child gets the
// other ends as 0, 1 and 2 and nothing else, so a filter sees end-of-file
// when its input is closed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "macro/opcodes.h"
#include "text/process_port.h"

struct BufferRec;
struct PosRecord;

// Output assembled into one line at most this long; a longer run of output
// without an end of line is split there.
inline constexpr int32_t kProcLineMax = 1021;
// Bytes read from the concurrent process per poll.
inline constexpr int32_t kProcReadMax = 500;

// ---- the process buffer ----

// proc_is_process_buffer and proc_reset_mark, the buffers' questions, are
// in text/process_port.h.
// The mark itself (null none), for tests and the display.
PosRecord* proc_mark();
// Makes pos (a free position record) the process mark: a copy of `at`,
// owned by no window, linked into at's buffer. When lines follow at's
// line, the mark goes to a new empty line at the end of the buffer, so
// that text already below is never taken for typed input.
void proc_set_mark(PosRecord* pos, const PosRecord* at);
// Unlinks and frees the mark.
void proc_free_mark();
// Inserts output at the mark (tabs to multiples of 8, CR dropped, BEL rings
// the bell, lines split at kProcLineMax); the windows' cursors at or after
// the mark keep their distance from it.
void proc_insert_output(const char* bytes, int32_t count);
// Moves the mark to the start of the next line (adding one at the end).
void proc_newline_at_mark();
// The text the user finished after the mark: 0 with *out set when a line
// follows the mark's line, else nonzero (no input yet).
int32_t proc_input_after_mark(std::string* out);

// ---- the concurrent process ----

bool proc_running();
pid_t proc_pid();
// Starts the concurrent process: an empty command runs the shell
// interactively ("-i"), else the first word is the program (searched along
// ZORVEXPATH and PATH) and the rest its arguments. 0, or -2042 while one
// runs, or the start's error.
int32_t proc_start_shell(std::string_view command);

// ---- background processes ----

// Starts a background process; callback is the names-table index of a
// procedure told of its output (kind 0) and its end (kind 1, with the
// status), 0 none. On success the three outputs receive the editor's ends
// of the pipes and the process id.
int32_t proc_start_background(std::string_view command, int32_t callback, int* from_child, int* to_child, pid_t* pid);
// True when pid is a process the editor started and has not yet seen end.
bool proc_is_ours(pid_t pid);

// ---- polling ----

// One poll, never re-entered: output, exits, input, reaping.
void proc_poll();
// Sleeps 100 ms, then polls.
void proc_wait_poll();
// Concurrent and background processes together.
int32_t proc_count();

// Ends everything (tests and exit): kills what still runs, reaps it,
// closes the pipes and frees the records and the mark.
void proc_shutdown();

// Binds the process built-ins into the interpreter's dispatch.
BindResult proc_register_opcodes(OpcodeDispatch& d);

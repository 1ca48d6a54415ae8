// Child processes: how a command becomes an argument vector, synchronous
// runs that wait for the child, detached runs, and reaping.
//
// Every child starts in a process group of its own and gets the editor's
// environment block. A synchronous run waits in the main flow: it checks
// the child with a non-blocking wait and sleeps on a self-pipe that the
// SIGCHLD handler writes to, so the handler never touches a list and no
// child can end unseen between fork and the wait. A detached child is
// started through an intermediate process that exits at once, so it never
// becomes the editor's zombie. Every descriptor the editor opens for a
// child is close-on-exec.
//
// Status codes of a run: the exit code; 512 when Ctrl+C (SIGINT) reached
// the editor during the run; the signal number times 256 for a child
// killed by a signal; -32 when the child was stopped or could not be
// forked; 127 when the program could not be executed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int32_t kProcStatusInterrupted = 512;
inline constexpr int32_t kProcStatusNoFork = -32;
inline constexpr int32_t kProcStatusNoExec = 127;

// Splits text into arguments after `initial`: blanks and tabs separate
// words; a word that starts with a double quote runs to the next one (the
// quotes are dropped; an unclosed quote runs to the end); an empty word
// ends the splitting. `extra`, when not null, is appended unsplit.
std::vector<std::string> proc_split_args(std::string_view text, const std::vector<std::string>& initial = {},
                                         const std::string* extra = nullptr);

// The string in double quotes when it holds a blank, else unchanged.
std::string proc_quote(std::string_view s);

// The terminal prefix when it is not empty; else SHELL (at most 256
// characters); else "/bin/sh".
std::string proc_get_shell(std::string_view terminal_prefix);

// One command for proc_run_command.
struct ProcRunRequest {
  std::string_view command;                  // at most 1024 bytes
  std::string_view file;                     // appended after a blank when not empty
  std::string_view terminal_prefix;          // the executor's X terminal command line, empty none
  bool raw = false;                          // the command is the program and its arguments
  bool no_wait = false;                      // detached: the result is 0 at once
  void (*before)(void* argument) = nullptr;  // around the run (the input layer's release)
  void (*after)(void* argument) = nullptr;
  void* argument = nullptr;
};

// The argument vector a request runs:
// - raw: the command (and file) split into words;
// - with a terminal prefix: the prefix's words, then the command (and
//   file) as one more argument, exactly as typed;
// - otherwise: the shell, "-c", the command (and file) as one argument,
//   and "-f".
std::vector<std::string> proc_command_argv(const ProcRunRequest& r);

// Builds the argument vector, calls before, runs the child, calls after.
// *failed (when given) is set when the result is negative.
int32_t proc_run_command(const ProcRunRequest& r, bool* failed = nullptr);

// Runs argv[0] (a path: no search) with argv and the environment block
// (null: the editor's own). Waits for the child unless no_wait.
int32_t proc_spawn_wait(const std::vector<std::string>& argv, char** envp, bool no_wait);

// The status code of a wait status, as above (without the SIGINT rule).
int32_t proc_wait_status_code(int wait_status);

// The SIGCHLD handling every child of the editor shares: installs the
// handler once (it only wakes the self-pipe). The descriptor to poll for
// "some child changed state"; drained by proc_sigchld_drain.
int proc_sigchld_fd();
void proc_sigchld_drain();

// Ignores SIGPIPE for good: a child that exits while the editor writes to
// it must not end the editor.
void proc_ignore_sigpipe();

// Puts the editor's descriptors the child must not keep out of its way
// (everything above 2); used in the child between fork and execve.
void proc_close_inherited_fds();

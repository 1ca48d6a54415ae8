// Command execution in programs without the layers above the macro runtime:
// the message line's texts are recorded, the frame, the command line and
// the window states are what a test sets (none by default: no permission
// check runs), no form loads unless a test says so, and programs run as
// plain child processes unless a test takes them over.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "macro/command_exec.h"

namespace cmdtest {

struct FakeCommand {
  std::vector<std::string> messages;          // every text shown on the message line
  WindowObject* frame = nullptr;              // the frame object; its first_child is the edit window
  WindowObject* command_line = nullptr;       // the command-line object
  std::map<const WindowObject*, char> state;  // window states ('I' iconized); others 0
  bool form_loading = false;
  int32_t (*run)(const CmdProcess& p) = nullptr;  // null: a real child process
};
inline FakeCommand cmd;

// Nothing shown, no frame, no command line, real child processes.
inline void install() { cmd = FakeCommand{}; }

}  // namespace cmdtest

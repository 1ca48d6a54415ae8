// Start-up without a window system.
//
// BM_StartupHeadless: in one process, what start-up does before the first
// key can be read, with the default state file beside the program and no
// file to edit: the command line and zorvex.ini, the state file loaded into
// a fresh interpreter, the settings applied, the text store set up and
// "-firstinit" run (it opens the empty buffer). The program's own set-up
// (layers connected, built-ins bound) runs once, outside the timing; the
// window system's half of start-up is in editor_bench (first painted screen).
//
// BM_ExecWithoutDisplay: the exec of zorvex until it finds that there is no
// display and leaves: the cost of a process start, for comparison.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "display/colours.h"
#include "display/msgline.h"
#include "forms/bi_objects.h"
#include "forms/objects.h"
#include "macro/opcodes.h"
#include "macro/startup.h"
#include "macro/state.h"
#include "tests/temp_dir.h"
#include "text/edit_cmd.h"
#include "text/edit_window_port.h"
#include "text/engine.h"

extern char** environ;

namespace {

// What the program's main does before the command line, once.
bool connect_layers() {
  text_engine_init();
  for (BindResult (*bind)(OpcodeDispatch&) : {macro_register_opcodes, display_register_opcodes, forms_register_opcodes})
    if (!bind(vm_dispatch)) return false;
  if (objects_init(1024, 768) != 0) return false;
  if (!window_current()) edit_window_new(EditPlacement{});
  return true;
}

void BM_StartupHeadless(benchmark::State& state) {
  static const bool connected = connect_layers();
  if (!connected) {
    state.SkipWithError("the layers could not be connected");
    return;
  }
  // A home of its own: no user state file or zorvex.ini is found, only the
  // default state beside the program.
  static zvxtest::TempDir home("zvx-startup-bench");
  setenv("HOME", home.path().c_str(), 1);
  unsetenv("ZORVEX");
  unsetenv("ZORVEXCONFIG");
  unsetenv("ZORVEXPATH");
  const std::string program = std::string(ZVX_BINARY_DIR) + "/app/zorvex";
  const char* argv[] = {program.c_str()};
  for (auto _ : state) {
    state_reset_read_flag();
    StartupConfig cfg;
    if (startup_command_line(1, argv, &cfg) >= 0) {
      state.SkipWithError("the command line ended the start-up");
      break;
    }
    if (startup_macros(&cfg) != 0) {
      state.SkipWithError("the macro start-up failed");
      break;
    }
  }
}
BENCHMARK(BM_StartupHeadless)->Unit(benchmark::kMillisecond);

void BM_ExecWithoutDisplay(benchmark::State& state) {
  const std::string program = std::string(ZVX_BINARY_DIR) + "/app/zorvex";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  unsetenv("DISPLAY");
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv, environ) != 0) {
      state.SkipWithError("zorvex could not be started");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&fa);
}
BENCHMARK(BM_ExecWithoutDisplay)->Unit(benchmark::kMillisecond);

}  // namespace

// Start-up with no window system: from the exec of zorvex, with the default
// state file beside the program and no file to edit, until it finds that
// there is no display and leaves (the command line and zorvex.ini are read
// by then). The start-up to the first painted screen is in editor_bench.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace {

void BM_StartupHeadless(benchmark::State& state) {
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
BENCHMARK(BM_StartupHeadless)->Unit(benchmark::kMillisecond);

}  // namespace

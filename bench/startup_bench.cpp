// Start-up with no window system: from the exec of zorvex to the point where
// the editor would read its first key, with the default state file beside
// the program and no file to edit. Until the window exists the program leaves
// at that point, so the time is that of the whole child process.
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

// The process layer's answer to the command executor: a plain child
// process with the editor's environment (execvpe looks a bare name up along
// PATH), or the test's runner.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "base/os.h"
#include "macro/bi_misc.h"
#include "macro/command_port.h"
#include "tests/support/headless/command_fakes.h"
#include "tests/support/headless/mark.h"

int32_t cmd_run_program(const CmdProcess& p) {
  if (cmdtest::cmd.run) return cmdtest::cmd.run(p);
  if (p.argv.empty()) return -32;
  std::vector<char*> argv;
  for (const std::string& a : p.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) return -32;
  if (pid == 0) {
    execvpe(argv[0], argv.data(), env_block());
    _exit(127);
  }
  return os_wait_child(pid);
}

// zvxwait program [args...]
//
// Runs the program with its arguments (an argument vector, no shell of its
// own), waits for it, then prints "Press any key to continue" and reads one
// key with the terminal in raw mode, so the terminal window the editor
// opened stays until the user has read the output. Exits with the
// program's exit status, 128 + the signal when it was killed, or 127 when it
// could not be started. Without a terminal on standard input nothing is
// waited for.
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

void wait_for_key() {
  if (!isatty(STDIN_FILENO)) return;
  std::fputs("Press any key to continue", stdout);
  std::fflush(stdout);
  termios old{};
  if (tcgetattr(STDIN_FILENO, &old) != 0) return;
  termios raw = old;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char c = 0;
  while (read(STDIN_FILENO, &c, 1) < 0 && errno == EINTR) {
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &old);
  std::fputs("\n", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: zvxwait program [args...]\n", stderr);
    return 2;
  }
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("zvxwait: fork");
    return 127;
  }
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return 127;
  wait_for_key();
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

// zvxwait runs its program with the arguments as given and passes the exit
// status on; with no terminal on standard input it does not wait.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
  int code;
  std::string out;
};

Result zvxwait(const std::string& args) {
  const std::string cmd = std::string(ZVX_BINARY_DIR) + "/tools/zvxwait/zvxwait " + args + " </dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Zvxwait, RunsTheProgramAndPassesItsStatusOn) {
  struct Case {
    const char* args;
    int code;
    const char* out;
  };
  const Case cases[] = {
      {"/bin/echo 'a b' c", 0, "a b c\n"},
      {"/bin/sh -c 'exit 3'", 3, ""},
      {"/bin/sh -c 'kill -TERM $$'", 128 + 15, ""},
      {"zvx-no-such-program", 127, ""},
      {"", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Result r = zvxwait(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, c.out);
  }
}

}  // namespace

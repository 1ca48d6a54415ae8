// The editor ended by SIGTERM or SIGHUP (a logout, a shutdown, `kill`):
// it asks nothing, but every modified buffer is first written to a
// recovery copy beside its file, never over the file itself, and its spill
// file goes with it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/app/editor_x_fixture.h"

namespace {

using namespace std::chrono_literals;
using editor_x::eventually;
using editor_x::slurp;

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

class EditorSignalX : public editor_x::EditorXFixture {
 protected:
  EditorSignalX() : EditorXFixture("zvx-signal") {}

  // Starts the editor in `dir` (where a buffer without a name is written),
  // its standard error into `err`.
  void start_in(const std::string& dir, const std::string& err, const std::vector<std::string>& args) {
    std::vector<std::string> argv{std::string(ZVX_BINARY_DIR) + "/app/zorvex"};
    argv.insert(argv.end(), args.begin(), args.end());
    xtest::SpawnOptions o;
    o.env = {"HOME=" + dir_.path()};
    o.dir = dir;
    o.write_files = {{2, err}};
    editor_ = server_->spawn_with(argv, o);
    ASSERT_TRUE(editor_);
    frame_ = server_->wait_for_class("Halvorn");
    ASSERT_NE(frame_, 0u);
    ASSERT_TRUE(eventually([&] { return (pane_ = find_pane()) != 0; }));
    ASSERT_TRUE(server_->focus(frame_));
  }
  // The editor's spill file, as its open descriptors name it ("" while it
  // has none).
  std::string spill_file() {
    const std::string fds = "/proc/" + std::to_string(editor_->pid()) + "/fd";
    std::string found;
    if (DIR* d = ::opendir(fds.c_str())) {
      while (dirent* e = ::readdir(d)) {
        char target[4096];
        const ssize_t n = ::readlink((fds + "/" + e->d_name).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string t(target, static_cast<size_t>(n));
        if (t.find("/$zvx.") != std::string::npos) found = t;
      }
      ::closedir(d);
    }
    return found;
  }
};

TEST_F(EditorSignalX, ASignalWritesRecoveryCopiesAndRemovesTheSpillFile) {
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const std::string dir = dir_ / ("sig" + std::to_string(sig));
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    const std::string a = dir + "/a.txt", big = dir + "/big.txt", err = dir + "/stderr";
    std::ofstream(a) << "old\n";
    std::ofstream(a + ".recovered") << "an earlier copy\n";  // taken: the next name is used
    {
      // More text than the editor keeps in memory: read whole, without
      // going back to the file, it spills.
      std::ofstream f(big);
      const std::string line(99, 'x');
      for (int i = 0; i < 400000; ++i) f << line << '\n';
    }
    editor_.reset();
    start_in(dir, err, {a});
    ASSERT_TRUE(type("new"));
    ASSERT_TRUE(click_command_line());
    ASSERT_TRUE(type("open-file +s +l " + big));
    ASSERT_TRUE(keys({"Return", "ctrl+n"}));
    ASSERT_TRUE(type("fresh"));
    ASSERT_TRUE(synced());
    const std::string spill = spill_file();
    ASSERT_FALSE(spill.empty()) << "the big file spilled";
    ASSERT_TRUE(exists(spill));

    ASSERT_EQ(::kill(editor_->pid(), sig), 0);
    const std::optional<int> status = editor_->wait_exit(30s);
    ASSERT_TRUE(status) << "the editor ended";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << "ended by the signal";
    EXPECT_EQ(slurp(a), "old\n") << "the file itself is never written";
    EXPECT_EQ(slurp(a + ".recovered"), "an earlier copy\n");
    EXPECT_EQ(slurp(a + ".recovered-2"), "newold\n");
    EXPECT_EQ(slurp(dir + "/untitled.recovered"), "fresh\n");
    EXPECT_FALSE(exists(big + ".recovered")) << "an unchanged buffer has nothing to recover";
    EXPECT_FALSE(exists(spill)) << "the spill file went";
    const std::string said = slurp(err);
    EXPECT_NE(said.find(a + ".recovered-2"), std::string::npos) << said;
    EXPECT_NE(said.find("untitled.recovered"), std::string::npos) << said;
  }
}

}  // namespace

// Another program changes the file while a save runs. At a chosen call of
// the file-operation seam (the n-th read, copy, write, sync or rename) a
// child process appends to the file, truncates it, overwrites bytes in place
// or renames a new file over it, and the save goes on. Afterwards the file is
// one whole version, the other program's or the buffer's, never a mix; a
// failed save says so and leaves the buffer modified, and nothing is left
// behind. (The save once skipped the text it could no longer read and put
// the fragment in place of the file, reporting success.)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "save_fixture.h"
#include "text/source_check.h"

namespace {

using fstest::read_file;
using fstest::write_file;
using savetest::SaveTest;

enum class Change { Append, Truncate, Overwrite, Replace };
constexpr Change kChanges[] = {Change::Append, Change::Truncate, Change::Overwrite, Change::Replace};
const char* change_name(Change c) {
  static const char* const kNames[] = {"append", "truncate", "overwrite", "replace"};
  return kNames[static_cast<int>(c)];
}

// The other program: a child process that changes the file and exits.
void other_program(const std::string& path, Change c) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    bool ok = false;
    switch (c) {
      case Change::Append: {  // through a descriptor of its own, as a logger does
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        const char line[] = "a line appended by another program\n";
        ok = fd >= 0 && ::write(fd, line, sizeof line - 1) == static_cast<ssize_t>(sizeof line - 1);
        break;
      }
      case Change::Truncate:  // as a log rotation that copies and truncates
        ok = ::truncate(path.c_str(), 0) == 0;
        break;
      case Change::Overwrite: {  // the same size, other bytes in the middle
        const int fd = ::open(path.c_str(), O_WRONLY);
        struct stat st;
        const std::string xs(64, 'X');
        ok = fd >= 0 && ::fstat(fd, &st) == 0 &&
             ::pwrite(fd, xs.data(), xs.size(), st.st_size / 2) == static_cast<ssize_t>(xs.size());
        break;
      }
      case Change::Replace: {
        const std::string tmp = path + ".new";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char text[] = "a new file put in place by another program\n";
        ok = fd >= 0 && ::write(fd, text, sizeof text - 1) == static_cast<ssize_t>(sizeof text - 1) &&
             ::close(fd) == 0 && ::rename(tmp.c_str(), path.c_str()) == 0;
        break;
      }
    }
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other program failed";
}

// Where in the save the other program runs: before the n-th call of a kind.
enum class Call { Read, Copy, Write, Sync, Rename };
constexpr Call kCalls[] = {Call::Read, Call::Copy, Call::Write, Call::Sync, Call::Rename};
const char* call_name(Call c) {
  static const char* const kNames[] = {"read", "copy", "write", "sync", "rename"};
  return kNames[static_cast<int>(c)];
}

struct Race {
  Call at = Call::Read;
  int countdown = 0;
  Change change = Change::Append;
  std::string path;
  bool fired = false;  // the other program ran
  std::string theirs;  // the file as the other program left it
};
Race race;

void before(Call c) {
  if (race.countdown <= 0 || c != race.at || --race.countdown != 0) return;
  other_program(race.path, race.change);
  race.fired = true;
  race.theirs = read_file(race.path);
}

ssize_t race_pread(int fd, void* b, size_t n, int64_t off) {
  before(Call::Read);
  return file_io_system.pread(fd, b, n, off);
}
ssize_t race_copy(int in, int64_t* off, int out, size_t n) {
  before(Call::Copy);
  return file_io_system.copy_range(in, off, out, n);
}
// Once a save opens the file itself to write into it, nothing orders two
// writers of one file: the other program runs only before that.
int race_open(const char* path, int flags, mode_t mode) {
  if ((flags & O_ACCMODE) != O_RDONLY && race.path == path) race.countdown = 0;
  return file_io_system.open(path, flags, mode);
}
ssize_t race_write(int fd, const void* b, size_t n) {
  before(Call::Write);
  return file_io_system.write(fd, b, n);
}
int race_fsync(int fd) {
  before(Call::Sync);
  return file_io_system.fsync(fd);
}
int race_rename(const char* from, const char* to) {
  before(Call::Rename);
  return file_io_system.rename(from, to);
}

bool g_answer = false;  // the answer to "the file changed on disk: save anyway?"
bool answer(const char*) { return g_answer; }

struct Mode {
  const char* what;
  const char* opt;
  bool crlf = false;
  bool in_place = false;   // the save-direct option
  bool hard_link = false;  // a second name makes the save go in place
};
const Mode kModes[] = {{"default save", ""},
                       {"kernel copy (-S)", "-S"},
                       {"CR LF", "", true},
                       {"save-direct", "", false, true},
                       {"hard link", "+O", false, false, true}};

class SaveRaceTest : public SaveTest {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    store_shutdown();
    int32_t kb = 256;  // fewer pages than the file needs: clean pages are dropped and read again
    ASSERT_EQ(0, store_init(kb, dir_.path(), 20));
    uitest::ui.changed_answer = answer;
    g_answer = false;
  }
  void TearDown() override {
    race = Race{};
    SaveTest::TearDown();
  }
  // A little over a megabyte, so that a save reads and copies the unread
  // text in several runs and pages.
  static std::string text(const char* eol) {
    std::string s;
    for (int i = 0; s.size() < (1200u << 10); ++i) s += "row " + std::to_string(i) + " of the file" + eol;
    return s;
  }
  // Writes the file, dated an hour back so that any change gives it a new time.
  static void make_file(const std::string& path, const std::string& s) {
    write_file(path, s);
    struct timespec t[2];
    ::clock_gettime(CLOCK_REALTIME, &t[0]);
    t[0].tv_sec -= 3600;
    t[1] = t[0];
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), t, 0));
  }
};

TEST_F(SaveRaceTest, FileIsOneWholeVersionWheneverAnotherProgramChangesIt) {
  int refused = 0;
  for (const Mode& m : kModes) {
    const char* eol = m.crlf ? "\r\n" : "\n";
    const std::string original = text(eol);
    std::string ours = original;
    ours.replace(0, ours.find(eol), "an edited first line");
    for (Change change : kChanges) {
      for (Call call : kCalls) {
        bool done = false;  // a save ran to its end before the call came
        for (int n = 1; !done && n < 1000; n += n < 4 ? 1 : n / 2) {
          SCOPED_TRACE(std::string(m.what) + ", " + change_name(change) + " before " + call_name(call) + " " +
                       std::to_string(n));
          fstest::TempDir d;
          const std::string path = d / "f";
          make_file(path, original);
          if (m.hard_link) {
            ASSERT_EQ(0, ::link(path.c_str(), (d / "g").c_str()));
          }
          const auto files = fstest::listing(d.path());
          BufferRec* b = load(path);
          ASSERT_NE(nullptr, b);
          replace_line(b, 1, "an edited first line");

          race = Race{};
          race.at = call;
          race.countdown = n;
          race.change = change;
          race.path = path;
          FileIo& io = file_io();
          io.open = race_open;
          io.pread = race_pread;
          io.copy_range = race_copy;
          io.write = race_write;
          io.fsync = race_fsync;
          io.rename = race_rename;
          save_settings.in_place = m.in_place;
          g_answer = false;
          const ErrorCode rc = buf_save_buffer(b, m.opt);
          file_io_reset();
          const std::string now = read_file(path);
          if (!race.fired) {
            ASSERT_EQ(0, rc);
            EXPECT_TRUE(now == ours);
            done = true;
          } else if (rc == 0) {
            // Only a change right before the rename comes too late to be
            // seen; the save's text then replaces theirs whole.
            EXPECT_TRUE(call == Call::Rename && !m.in_place && !m.hard_link) << "saved over an unseen change";
            EXPECT_TRUE(now == ours) << "a mix of " << now.size() << " bytes reported as saved";
            EXPECT_EQ(0, b->modified);
          } else {
            ++refused;
            EXPECT_TRUE(rc == ERR_READING_FILE || rc == ERR_COMMAND_CANCELLED) << rc;
            EXPECT_TRUE(now == race.theirs) << "the file holds " << now.size() << " bytes, neither version";
            EXPECT_EQ(1, b->modified);
            EXPECT_EQ(files, fstest::listing(d.path())) << "files left behind";

            // "Save anyway": the whole text, or nothing when part of it
            // was only in the file the other program changed.
            g_answer = true;
            const ErrorCode again = buf_save_buffer(b, m.opt);
            const std::string after = read_file(path);
            if (again == 0) {
              EXPECT_TRUE(after == ours) << "saved anyway as " << after.size() << " bytes";
            } else {
              EXPECT_EQ(ERR_READING_FILE, again);
              EXPECT_TRUE(after == race.theirs);
              EXPECT_EQ(1, b->modified);
            }
            // The file it opened is still whole after a rename over its name.
            if (change == Change::Replace && !m.in_place && !m.hard_link) {
              EXPECT_EQ(0, again);
            }
          }
          save_settings.in_place = false;
          store_close_buffer(b);
          buf_free(b);
        }
        EXPECT_TRUE(done);
      }
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace

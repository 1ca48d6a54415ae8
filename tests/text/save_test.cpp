// Saving: round trips for each end-of-line form, backups, links, FIFOs,
// and injected failures that must leave the user's file as it was.

#include "text/save.h"
#include "base/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "save_fixture.h"

namespace {

using fstest::read_file;
using fstest::write_file;
using savetest::SaveTest;

// ---- round trips ----------------------------------------------------------------

struct RoundTrip {
  const char* what;
  std::string file;
  int32_t line;  // replaced with "X"; 0 none
  const char* options;
  std::string want;
};

TEST_F(SaveTest, RoundTripsKeepEachEndOfLineForm) {
  const RoundTrip cases[] = {
      {"LF", "one\ntwo\nthree\n", 2, "", "one\nX\nthree\n"},
      {"CR LF", "one\r\ntwo\r\nthree\r\n", 2, "", "one\r\nX\r\nthree\r\n"},
      {"CR", "one\rtwo\rthree\r", 3, "", "one\rtwo\rX\r"},
      {"no final newline gets one", "one\ntwo\nthree", 1, "", "X\ntwo\nthree\n"},
      {"final Ctrl-Z dropped by default", "a\r\nb\r\n\x1a", 1, "", "X\r\nb\r\n"},
      {"final Ctrl-Z kept with +Z", "a\r\nb\r\n\x1a", 1, "+Z", "X\r\nb\r\n\x1a"},
      {"+Z adds nothing on LF", "a\nb\n", 2, "+Z", "a\nX\n"},
      {"trailing blanks stripped", "a  \nb \t \nc\n", 0, "", "a\nb \t\nc\n"},
      {"-S keeps trailing blanks", "a  \nb\n", 2, "-S", "a  \nX\n"},
      {"lone LF in a CR LF file becomes CR LF", "a\r\nb\nc\r\n", 3, "", "a\r\nb\r\nX\r\n"},
      {"raw: no end of line", "a\nb\n", 0, "+B", "ab"},
      {"expand tabs", "\tx\nab\tc\n", 0, "+E", "        x\nab      c\n"},
      {"empty file", "", 0, "", ""},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.what);
    BufferRec* b = load_text("rt", c.file);
    ASSERT_NE(nullptr, b);
    if (c.line) replace_line(b, c.line, "X");
    ASSERT_EQ(0, buf_save_buffer(b, std::string(c.options) + " +O"));
    EXPECT_EQ(c.want, read_file(dir_ / "rt"));
    EXPECT_EQ(0, b->modified);
    EXPECT_EQ("", store_check(b));
    store_close_buffer(b);
    buf_free(b);
  }
}

// A file of 5 MiB whose lines are often longer than the line limit and
// cross page boundaries is written back whole, in both conventions.
TEST_F(SaveTest, LongLinesAcrossPagesRoundTripWhole) {
  for (const char* eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF");
    store_shutdown();
    int32_t kb = 200;  // a small page cache: pages are dropped and read again
    ASSERT_EQ(0, store_init(kb, dir_.path(), 20));
    std::mt19937 rng(12345);
    std::string file = std::string("first") + eol;  // the convention is detected here
    const size_t eol_len = std::strlen(eol);
    const int special[] = {1022, 1023, 1024, 1025, 2047, 2048, 2049, 3000};
    int i = 0;
    while (file.size() < 5u << 20) {
      size_t n = (i % 7 == 0) ? special[(i / 7) % 8] - eol_len + (i % 3) : rng() % 200;
      if (i % 5 == 0) n = rng() % 4000;
      for (size_t k = 0; k < n; ++k) file += static_cast<char>('a' + (k + i) % 26);
      file += eol;
      if (++i == 5000) file += std::string("MIDDLE") + eol;
    }
    write_file(dir_ / "big", file);
    BufferRec* b = load(dir_ / "big");
    ASSERT_NE(nullptr, b);
    // Find the marker line and edit it.
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    ASSERT_EQ(0, pos_first_line(&p, b));
    bool found = false;
    do {
      if (line_get_string(&p, b) == "MIDDLE") {
        found = true;
        break;
      }
    } while (pos_next_line(&p, b) == 0);
    ASSERT_TRUE(found);
    ASSERT_EQ(0, line_replace_text("EDITED", 6, &p, b));
    std::string want = file;
    want.replace(want.find(std::string("MIDDLE") + eol), 6, "EDITED");
    // Line by line with strip on (no line ends in a blank here), and byte runs without.
    for (const char* opt : {"", "-S"}) {
      SCOPED_TRACE(opt);
      ASSERT_EQ(0, buf_save_buffer(b, opt));
      std::string got = read_file(dir_ / "big");
      ASSERT_EQ(want.size(), got.size());
      EXPECT_TRUE(want == got);
    }
    store_close_buffer(b);
    buf_free(b);
  }
}

// ---- backups -------------------------------------------------------------------------

TEST_F(SaveTest, BackupStylesOnFirstSaveOnly) {
  struct Case {
    const char* opt;
    std::string backup;
  };
  const std::string d = dir_.path();
  const Case cases[] = {
      {"+DK", d + "/backup/a.c"},
      {"+DB", d + "/a.BAK"},
      {"", d + "/bk" + d + "/a.c"},
      {"+D", d + "/bk/a.c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opt);
    BufferRec* b = load_text("a.c", "old\n");
    replace_line(b, 1, "new");
    ASSERT_EQ(0, buf_save_buffer(b, c.opt));
    EXPECT_EQ("new\n", read_file(dir_ / "a.c"));
    EXPECT_EQ("old\n", read_file(c.backup));
    replace_line(b, 1, "newer");
    ASSERT_EQ(0, buf_save_buffer(b, c.opt));
    EXPECT_EQ("newer\n", read_file(dir_ / "a.c"));
    EXPECT_EQ("old\n", read_file(c.backup)) << "a second save makes no backup";
    store_close_buffer(b);
    buf_free(b);
  }
}

TEST_F(SaveTest, HomeBackupDirectoryAndNoBackupOption) {
  unsetenv("ZORVEXBACKUP");
  const char* old_home = getenv("HOME");
  std::string saved_home = old_home ? old_home : "";
  setenv("HOME", (dir_ / "home").c_str(), 1);
  BufferRec* b = load_text("h.txt", "old\n");
  replace_line(b, 1, "new");
  ASSERT_EQ(0, buf_save_buffer(b, ""));
  EXPECT_EQ("old\n", read_file(dir_ / "home" + "/.zorvex/backup" + dir_.path() + "/h.txt"));
  BufferRec* c = load_text("o.txt", "old\n");
  replace_line(c, 1, "new");
  ASSERT_EQ(0, buf_save_buffer(c, "+O"));
  EXPECT_EQ("<missing>", read_file(dir_ / "home" + "/.zorvex/backup" + dir_.path() + "/o.txt"));
  EXPECT_EQ("new\n", read_file(dir_ / "o.txt"));
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
}

TEST_F(SaveTest, BackupNamesFollowTheRules) {
  EXPECT_EQ("/src/backup/a.c", buf_backup_name("/src/a.c", 'K', 0));
  EXPECT_EQ("/src/a.BAK", buf_backup_name("/src/a.c", 'B', 0));
  EXPECT_EQ("/src/a.BAK", buf_backup_name("/src/a", 'B', 0));
  setenv("ZORVEXBACKUP", "/b", 1);
  EXPECT_EQ("/b/src/a.c", buf_backup_name("/src/a.c", 'S', 0));
  EXPECT_EQ("/b/a.c", buf_backup_name("/src/a.c", 'S', kSaveDir));
  unsetenv("ZORVEXBACKUP");
  const char* old_home = getenv("HOME");
  std::string saved = old_home ? old_home : "";
  setenv("HOME", "/h", 1);
  EXPECT_EQ("/h/.zorvex/backup/src/a.c", buf_backup_name("/src/a.c", 'S', 0));
  setenv("HOME", "/h/", 1);
  EXPECT_EQ("/h/.zorvex/backup/src/a.c", buf_backup_name("/src/a.c", 'S', 0));
  if (old_home) setenv("HOME", saved.c_str(), 1);
}

TEST_F(SaveTest, BackupDirectoryWithBlanksAndSemicolon) {
  std::string odd = dir_ / "x y;$(touch pwned)";
  ASSERT_EQ(0, ::mkdir(odd.c_str(), 0777));
  write_file(odd + "/f.txt", "old\n");
  BufferRec* b = load(odd + "/f.txt");
  replace_line(b, 1, "new");
  ASSERT_EQ(0, buf_save_buffer(b, "+DK"));
  EXPECT_EQ("old\n", read_file(odd + "/backup/f.txt"));
  EXPECT_EQ("new\n", read_file(odd + "/f.txt"));
  EXPECT_EQ("<missing>", read_file("pwned"));
}

// ---- links and in-place saving ---------------------------------------------------------

// A symbolic link is saved as the file it names, through a new file renamed
// over that file: the link stays as it was (absolute, relative, a chain, or
// naming a file still to be made) and the backup takes the link's name. A
// loop of links is refused with nothing written.
TEST_F(SaveTest, SymbolicLinksAreSavedAsTheFilesTheyName) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // name, what it holds
    bool real_exists;
  };
  const Case cases[] = {
      {"absolute", {{"lnk", "@/sub/real"}}, true},
      {"relative", {{"lnk", "sub/real"}}, true},
      {"chain", {{"lnk", "lnk2"}, {"lnk2", "sub/real"}}, true},
      {"file still to be made", {{"lnk", "sub/real"}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fstest::TempDir d;
    ASSERT_EQ(0, ::mkdir((d / "sub").c_str(), 0777));
    if (c.real_exists) write_file(d / "sub/real", "old\n");
    for (const auto& [name, to] : c.links) {
      std::string t = to[0] == '@' ? d.path() + to.substr(1) : to;
      ASSERT_EQ(0, ::symlink(t.c_str(), (d / name).c_str()));
    }
    struct stat before {};
    ::stat((d / "sub/real").c_str(), &before);
    BufferRec* b = load(d / "lnk");
    ASSERT_NE(nullptr, b);
    replace_line(b, 1, "new");
    auto files = fstest::listing(d.path());
    ASSERT_EQ(0, buf_save_buffer(b, "+DB"));
    for (const auto& [name, to] : c.links) {
      char held[PATH_MAX];
      ssize_t n = ::readlink((d / name).c_str(), held, sizeof held);
      EXPECT_EQ(to[0] == '@' ? d.path() + to.substr(1) : to, std::string(held, n > 0 ? static_cast<size_t>(n) : 0));
    }
    EXPECT_EQ("new\n", read_file(d / "sub/real"));
    files.insert("sub/real");
    if (c.real_exists) {
      struct stat after {};
      ASSERT_EQ(0, ::stat((d / "sub/real").c_str(), &after));
      EXPECT_NE(before.st_ino, after.st_ino) << "written in place";
      EXPECT_EQ("old\n", read_file(d / "lnk.BAK"));
      files.insert("lnk.BAK");
    }
    EXPECT_EQ(files, fstest::listing(d.path()));
    store_close_buffer(b);
    buf_free(b);
  }
  ASSERT_EQ(0, ::symlink("loop2", (dir_ / "loop1").c_str()));
  ASSERT_EQ(0, ::symlink("loop1", (dir_ / "loop2").c_str()));
  BufferRec* b = load_text("src", "x\n");
  const auto files = fstest::listing(dir_.path());
  EXPECT_EQ(ERR_OPENING_FILE, buf_save_buffer(b, dir_ / "loop1"));
  EXPECT_EQ(files, fstest::listing(dir_.path()));
}

TEST_F(SaveTest, HardLinkKeepsBothNamesOnOneFile) {
  write_file(dir_ / "h1", "one\ntwo\n");
  ASSERT_EQ(0, ::link((dir_ / "h1").c_str(), (dir_ / "h2").c_str()));
  BufferRec* b = load(dir_ / "h1");
  replace_line(b, 2, "TWO");
  ASSERT_EQ(0, buf_save_buffer(b, "+O"));
  EXPECT_EQ("one\nTWO\n", read_file(dir_ / "h2"));
  EXPECT_EQ(std::set<std::string>({"h1", "h2"}), fstest::listing(dir_.path())) << "the secured copy is gone";
}

// A lazily loaded buffer saved over its own file stays complete, in every
// way the file can be replaced.
TEST_F(SaveTest, LazyBufferSavedOverItsOwnFileStaysComplete) {
  store_shutdown();
  int32_t kb = 40;
  ASSERT_EQ(0, store_init(kb, dir_.path(), 20));
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  const char* opts[] = {"", "+O", "+DB", "+O"};
  for (int in_place = 0; in_place < 2; ++in_place) {
    save_settings.in_place = in_place == 1;
    for (const char* opt : opts) {
      SCOPED_TRACE(std::string(opt) + (in_place ? " in place" : ""));
      write_file(dir_ / "lazy", text);
      BufferRec* b = load(dir_ / "lazy");
      replace_line(b, 1, "first");
      std::string want = text;
      want.replace(0, want.find('\n'), "first");
      ASSERT_EQ(0, buf_save_buffer(b, opt));
      EXPECT_TRUE(want == read_file(dir_ / "lazy"));
      EXPECT_TRUE(want == buffer_text(b));
      replace_line(b, 2, "second");  // a later save
      want.replace(want.find('\n') + 1, want.find('\n', want.find('\n') + 1) - want.find('\n') - 1, "second");
      ASSERT_EQ(0, buf_save_buffer(b, opt));
      EXPECT_TRUE(want == read_file(dir_ / "lazy"));
      EXPECT_TRUE(want == buffer_text(b));
      store_close_buffer(b);
      buf_free(b);
    }
  }
}

// ---- targets that are not regular files -------------------------------------------------

TEST_F(SaveTest, FifoIsWrittenIntoNeverReplaced) {
  std::string fifo = dir_ / "pipe";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0666));
  BufferRec* b = load_text("src", "hello\nworld\n");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int in = ::open(fifo.c_str(), O_RDONLY);
    std::string got;
    char buf[256];
    ssize_t n;
    while ((n = ::read(in, buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    _exit(got == "hello\nworld\n" ? 0 : 1);
  }
  EXPECT_EQ(0, buf_save_buffer(b, "\"" + fifo + "\""));
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  struct stat st;
  ASSERT_EQ(0, ::lstat(fifo.c_str(), &st));
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(SaveTest, DirectoryTargetIsRefused) {
  ASSERT_EQ(0, ::mkdir((dir_ / "d").c_str(), 0777));
  BufferRec* b = load_text("src", "x\n");
  EXPECT_EQ(ERR_ACCESS_DENIED, buf_save_buffer(b, dir_ / "d"));
}

// ---- options and errors -----------------------------------------------------------------

TEST_F(SaveTest, CommandLineErrors) {
  BufferRec* b = load_text("src", "x\n");
  EXPECT_EQ(ERR_INVALID_OPTION, buf_save_buffer(b, "+X"));
  EXPECT_EQ(ERR_INVALID_OPTION, buf_save_buffer(b, "+SQ"));
  b->name.clear();
  EXPECT_EQ(ERR_MISSING_FILENAME, buf_save_buffer(b, "+S"));
}

TEST_F(SaveTest, SaveUnderAnotherNameKeepsModified) {
  BufferRec* b = load_text("src", "x\n");
  replace_line(b, 1, "y");
  ASSERT_EQ(0, buf_save_buffer(b, dir_ / "other"));
  EXPECT_EQ("y\n", read_file(dir_ / "other"));
  EXPECT_EQ("x\n", read_file(dir_ / "src"));
  EXPECT_EQ(1, b->modified);
}

TEST_F(SaveTest, StripAlsoCleansTheBuffer) {
  BufferRec* b = load_text("s", "a  \nb\nc \n");
  replace_line(b, 2, "B");
  ASSERT_EQ(0, buf_save_buffer(b, ""));
  EXPECT_EQ("a\nB\nc\n", read_file(dir_ / "s"));
  EXPECT_EQ("a\nB\nc\n", buffer_text(b));
  EXPECT_EQ(0, b->modified);
}

// A default save of a lazily opened file copies unread lines that need no
// change from the old file, and still strips every line that does, in the
// file and in the buffer, at the right line: blanks before ends of line
// anywhere (at 64-byte steps and page ends too), lines past the limit, an
// edited line between unread text, a two-byte convention.
TEST_F(SaveTest, DefaultSaveOfUnreadTextStripsExactlyTheLinesThatNeedIt) {
  std::mt19937 rng(977);
  auto text_with = [&](int rows, int blank_every, const char* eol, int long_every) {
    std::string t;
    for (int i = 0; i < rows; ++i) {
      std::string row = "r" + std::to_string(i) + std::string(rng() % 90, 'x');
      if (long_every && i % long_every == 7) row += std::string(1500 + rng() % 1500, 'L');
      if (blank_every && rng() % static_cast<uint32_t>(blank_every) == 0) row += std::string(1 + rng() % 3, ' ');
      t += row + eol;
    }
    return t;
  };
  // Every n-th CR LF (from the second line on) becomes a lone LF.
  auto lf_alone = [](std::string t, int n) {
    int k = 0;
    for (size_t at = t.find("\r\n"); at != std::string::npos; at = t.find("\r\n", at + 1))
      if (++k % n == 0) t.erase(at, 1);
    return t;
  };
  struct Case {
    const char* name;
    std::string text;
    int edit_line;  // 0 none
    bool copies;    // some unread text goes by copy
  } cases[] = {
      {"no blanks", text_with(4000, 0, "\n", 0), 0, true},
      {"a few blanks", text_with(4000, 700, "\n", 0), 0, true},
      {"blanks everywhere", text_with(3000, 3, "\n", 0), 0, false},
      {"lines past the limit", text_with(3000, 500, "\n", 400), 0, true},
      {"an edited line between", text_with(4000, 900, "\n", 0), 2000, true},
      {"CR LF, blanks everywhere", text_with(3000, 3, "\r\n", 0), 0, false},
      {"CR LF", text_with(3000, 500, "\r\n", 0), 0, true},
      {"CR LF, lines past the limit", text_with(3000, 500, "\r\n", 400), 0, true},
      {"CR LF, an edited line between", text_with(4000, 900, "\r\n", 0), 2000, true},
      // Lines that end in the second byte alone are written with both.
      {"CR LF, some LF alone", lf_alone(text_with(4000, 500, "\r\n", 0), 350), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool crlf = c.text.find('\r') != std::string::npos;
    std::vector<std::string> rows;  // lines without their end of line
    for (size_t at = 0; at < c.text.size();) {
      size_t nl = c.text.find('\n', at);
      rows.push_back(c.text.substr(at, nl - at - (crlf && c.text[nl - 1] == '\r' ? 1 : 0)));
      at = nl + 1;
    }
    BufferRec* b = load_text("f", c.text);
    if (c.edit_line) {
      replace_line(b, c.edit_line, "edited  ");
      rows[static_cast<size_t>(c.edit_line - 1)] = "edited  ";
    }
    std::string want, lines;
    for (std::string r : rows) {
      while (!r.empty() && r.back() == ' ') r.pop_back();
      want += r + (crlf ? "\r\n" : "\n");
      std::string raw = r + "\n";  // as the buffer holds it: over-long lines cut every 1024 bytes
      for (size_t k = 0; k < raw.size(); k += kMaxLineBytes) {
        std::string piece = raw.substr(k, kMaxLineBytes);
        if (piece.back() == '\n') piece.pop_back();
        lines += piece + "\n";
      }
    }
    static int64_t copied;
    copied = 0;
    file_io().copy_range = [](int in, int64_t* off, int out, size_t n) -> ssize_t {
      loff_t o = *off;
      ssize_t r = ::copy_file_range(in, &o, out, nullptr, n, 0);
      if (r > 0) copied += r, *off = o;
      return r;
    };
    ASSERT_EQ(0, buf_save_buffer(b, ""));
    file_io_reset();
    EXPECT_TRUE(want == read_file(dir_ / "f")) << "the file holds other bytes";
    EXPECT_EQ(c.copies, copied > 0);
    EXPECT_TRUE(lines == buffer_text(b)) << "the buffer's lines were stripped elsewhere";
    EXPECT_EQ(0, b->modified);
    EXPECT_EQ("", store_check(b));
    buf_shutdown();
  }
}

TEST_F(SaveTest, EntabRules) {
  char out[64];
  std::string s16 = std::string(16, ' ') + "x";
  EXPECT_EQ("\t\tx", std::string(out, static_cast<size_t>(entab_line(out, s16.data(), 17))));
  std::string q = "ab \"     c       d";
  EXPECT_EQ(q, std::string(out, static_cast<size_t>(entab_line(out, q.data(), static_cast<int32_t>(q.size())))));
  std::string seven = "abcdefg x";  // 7 kept: copied
  EXPECT_EQ(seven, std::string(out, static_cast<size_t>(entab_line(out, seven.data(), 9))));
  BufferRec* b = load_text("t", "x \\\n" + s16 + "\n" + s16 + "\n");
  ASSERT_EQ(0, buf_save_buffer(b, "+T +O"));
  EXPECT_EQ("x \\\n" + s16 + "\n\t\tx\n", read_file(dir_ / "t"));
}

TEST_F(SaveTest, ReadOnlyFileIsRefusedAsAnUnprivilegedUser) {
  write_file(dir_ / "ro", "keep\n", 0444);
  BufferRec* b = load(dir_ / "ro");
  replace_line(b, 1, "lost");
  int rc = fstest::run_as_nobody([&] { return -buf_save_buffer(b, ""); });
  EXPECT_EQ(-ERR_ACCESS_DENIED, rc);
  EXPECT_EQ("keep\n", read_file(dir_ / "ro"));
}

// A file owned by another user but writable by us: the save succeeds, the
// mode is kept, and keeping the owner (not allowed) does not fail it.
TEST_F(SaveTest, UnprivilegedSaveOfAnotherUsersWritableFile) {
  write_file(dir_ / "theirs", "old\n", 0666);
  BufferRec* b = load(dir_ / "theirs");
  replace_line(b, 1, "new");
  int rc = fstest::run_as_nobody([&] { return -buf_save_buffer(b, "+DK"); });
  EXPECT_EQ(0, rc);
  EXPECT_EQ("new\n", read_file(dir_ / "theirs"));
  EXPECT_EQ("old\n", read_file(dir_ / "backup/theirs"));
  struct stat st;
  ASSERT_EQ(0, ::stat((dir_ / "theirs").c_str(), &st));
  EXPECT_EQ(0666u, st.st_mode & 07777);
}

// ---- fault injection ---------------------------------------------------------------------

// The countdown of base/file_io.h makes the chosen call fail; these add
// short writes and copies on top of the system's operations.
using Op = FileOp;
ssize_t f_write(int fd, const void* b, size_t n) {
  return file_io_system.write(fd, b, n > 700 ? 700 : n);  // short writes as well
}
ssize_t f_copy(int in, int64_t* off, int out, size_t n) {
  return file_io_system.copy_range(in, off, out, n > 5000 ? 5000 : n);
}
// Every file below dir but the store's spill file.
std::set<std::string> user_files(const std::string& dir) {
  std::set<std::string> out = fstest::listing(dir);
  std::erase_if(out, [](const std::string& f) { return f.rfind("$zvx.", 0) == 0; });
  return out;
}
// Whether fd is open on the file with inode ino.
bool writes_into(int fd, ino_t ino) {
  struct stat s;
  return ::fstat(fd, &s) == 0 && s.st_ino == ino;
}

// After each failure the same save is tried again and succeeds: nothing the
// failed save did makes the file look changed by another program (a file
// put back in place once got a new time, and every later save was refused).
// A file written in place keeps its inode.
TEST_F(SaveTest, EveryInjectedFailureLeavesTheFileIntact) {
  // clean: unread lines the default save copies from the old file
  std::string blanks, clean, clean_crlf;
  for (int i = 0; i < 3000; ++i) blanks += "row " + std::to_string(i) + "  \n";
  for (int i = 0; i < 3000; ++i) clean += "row " + std::to_string(i) + "\n";
  for (int i = 0; i < 3000; ++i) clean_crlf += "row " + std::to_string(i) + "\r\n";
  enum Link { kNone, kSymbolic, kHard };
  struct Mode {
    const char* what;
    Link link;
    bool in_place;
    const char* opt;
    const std::string* text = nullptr;  // blanks when null
  };
  const Mode modes[] = {{"first save", kNone, false, ""},
                        {"unread lines copied", kNone, false, "", &clean},
                        {"unread CR LF lines copied", kNone, false, "", &clean_crlf},
                        {"later save", kNone, false, "later"},
                        {"no backup", kNone, false, "+O"},
                        {"fast mode", kNone, false, "-S"},
                        {"symbolic link", kSymbolic, false, "+DK"},
                        {"save-direct", kNone, true, "+DB"},
                        {"hard link", kHard, false, "+O"}};
  for (const Mode& m : modes) {
    for (Op op : {Op::Open, Op::Write, Op::Fsync, Op::Rename}) {
      bool succeeded = false;
      for (int n = 1; n < 200 && !succeeded; ++n) {
        SCOPED_TRACE(std::string(m.what) + " op " + std::to_string(static_cast<int>(op)) + " n " + std::to_string(n));
        fstest::TempDir d;
        write_file(d / "real", m.text ? *m.text : blanks);
        struct timespec times[2];  // an hour back: anything that writes the file gives it a new time
        ::clock_gettime(CLOCK_REALTIME, &times[0]);
        times[0].tv_sec -= 3600;
        times[1] = times[0];
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, (d / "real").c_str(), times, 0));
        std::string target = d / "f";
        if (m.link == kSymbolic)
          ASSERT_EQ(0, ::symlink((d / "real").c_str(), target.c_str()));
        else
          ::rename((d / "real").c_str(), target.c_str());
        if (m.link == kHard) {
          ASSERT_EQ(0, ::link(target.c_str(), (d / "other-name").c_str()));
        }
        struct stat st;
        ASSERT_EQ(0, ::stat(target.c_str(), &st));
        std::string before = read_file(target);
        BufferRec* b = load(target);
        const bool later = std::string(m.opt) == "later";
        if (later) {
          replace_line(b, 1, "first save");
          ASSERT_EQ(0, buf_save_buffer(b, "+DB"));
          before = read_file(target);
        }
        replace_line(b, 2, "edited");
        auto files = fstest::listing(d.path());
        save_settings.in_place = m.in_place;
        FileIo& io = file_io();
        io.write = f_write;
        io.copy_range = f_copy;
        file_fault_arm(op, n);
        ErrorCode rc = buf_save_buffer(b, later ? "+DB" : m.opt);
        file_io_reset();
        save_settings.in_place = false;
        if (file_fault_fired()) {
          EXPECT_LT(rc, 0);
          EXPECT_TRUE(before == read_file(target)) << "target changed";
          EXPECT_EQ(1, b->modified);
          auto after = fstest::listing(d.path());
          for (const auto& f : after) {
            if (f.rfind("backup", 0) == 0 || f.find(".BAK") != std::string::npos || f == "f.BAK") continue;
            EXPECT_TRUE(files.count(f)) << "left behind: " << f;
          }
          save_settings.in_place = m.in_place;
          save_settings.sync = false;  // what the retry proves does not need the disk
          EXPECT_EQ(0, buf_save_buffer(b, later ? "+DB" : m.opt)) << "a retry after the failure";
          save_settings = SaveSettings{};
          EXPECT_EQ(0, b->modified);
          EXPECT_NE(before, read_file(target));
        } else {
          ASSERT_EQ(0, rc);
          succeeded = true;
          EXPECT_NE(before, read_file(target));
          EXPECT_EQ(0, b->modified);
        }
        struct stat now;
        ASSERT_EQ(0, ::stat(target.c_str(), &now));
        if (m.in_place || m.link == kHard) {
          EXPECT_EQ(st.st_ino, now.st_ino) << "written in place";
        }
        file_fault_disarm();
        store_close_buffer(b);
        buf_free(b);
      }
      EXPECT_TRUE(succeeded) << m.what;
    }
  }
}

// A user who may write a file but not set its time (another user's file,
// saved in place through a second name): after a failed write the file is
// put back with a new time, which the buffer takes as the one it last saw,
// so the retry is not refused as a change by another program.
TEST_F(SaveTest, FailedInPlaceSaveOfAnotherUsersFileCanBeRetried) {
  std::string original;
  for (int i = 0; i < 400; ++i) original += "row " + std::to_string(i) + "\n";
  write_file(dir_ / "theirs", original, 0666);
  struct timespec times[2];
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 3600;
  times[1] = times[0];
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, (dir_ / "theirs").c_str(), times, 0));
  ASSERT_EQ(0, ::link((dir_ / "theirs").c_str(), (dir_ / "second-name").c_str()));
  struct stat st;
  ASSERT_EQ(0, ::stat((dir_ / "theirs").c_str(), &st));
  static ino_t target_ino;
  static bool failed;
  target_ino = st.st_ino;
  failed = false;
  BufferRec* b = load(dir_ / "theirs");
  replace_line(b, 1, "new");
  const int rc = fstest::run_as_nobody([&] {
    file_io().write = [](int fd, const void* p, size_t n) -> ssize_t {
      if (!failed && writes_into(fd, target_ino)) return failed = true, errno = ENOSPC, -1;
      return ::write(fd, p, n);
    };
    if (buf_save_buffer(b, "+O") != ERR_INSUFFICIENT_DISK_SPACE) return 1;
    if (read_file(dir_ / "theirs") != original) return 2;
    file_io_reset();
    return buf_save_buffer(b, "+O") == 0 ? 0 : 3;
  });
  EXPECT_EQ(0, rc) << "1: the write did not fail, 2: the file was not put back, 3: the retry failed";
  EXPECT_EQ("new\n", read_file(dir_ / "second-name").substr(0, 4));
}

// The file-size limit stops a save part-way in a child process: the file
// stays as it was.
TEST_F(SaveTest, FileSizeLimitLeavesTheFileIntact) {
  std::string original;
  for (int i = 0; i < 20000; ++i) original += "line " + std::to_string(i) + "\n";
  for (int in_place = 0; in_place < 2; ++in_place) {
    write_file(dir_ / "lim", original);
    BufferRec* b = load(dir_ / "lim");
    replace_line(b, 1, "a much longer first line than before, so the file grows");
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      signal(SIGXFSZ, SIG_IGN);
      // Room for a copy of the old file, not for the longer new text.
      const rlim_t lim = static_cast<rlim_t>(original.size() + 20);
      struct rlimit rl = {lim, lim};
      setrlimit(RLIMIT_FSIZE, &rl);
      save_settings.in_place = in_place == 1;
      ErrorCode rc = buf_save_buffer(b, "+O");
      _exit(rc < 0 && b->modified ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "in place " << in_place;
    EXPECT_TRUE(original == read_file(dir_ / "lim")) << "in place " << in_place;
    store_close_buffer(b);
    buf_free(b);
  }
}

// A spill write that fails while an in-place save makes the buffers let go
// of the file fails the save: the file is not touched, the buffer still
// holds the edited text, and nothing is left behind. (The save once went on
// and wrote over the file it was still reading, reporting success.)
TEST_F(SaveTest, FailedDetachFailsAnInPlaceSaveAndKeepsTheFile) {
  std::string original;
  for (int i = 0; original.size() < (1u << 20); ++i) original += "line " + std::to_string(i) + "\n";
  std::string want = original;
  const size_t l2 = want.find('\n') + 1;
  want.replace(l2, want.find('\n', l2) - l2, std::string(300, 'g'));  // the second line grows
  static int countdown;
  static bool fired;
  bool succeeded = false;
  for (int n = 1; !succeeded && n < 100000; n += n < 4 ? 1 : n / 2) {
    SCOPED_TRACE("spill write " + std::to_string(n));
    store_shutdown();
    int32_t kb = 40;  // a few pages: reading the file makes pages spill
    ASSERT_EQ(0, store_init(kb, dir_.path(), 20));
    write_file(dir_ / "big", original);
    BufferRec* b = load(dir_ / "big");
    ASSERT_NE(nullptr, b);
    replace_line(b, 2, std::string(300, 'g'));
    const auto files = user_files(dir_.path());
    save_settings.in_place = true;
    countdown = n;
    fired = false;
    file_io().pwrite = [](int fd, const void* p, size_t len, int64_t off) -> long {
      if (--countdown == 0) return fired = true, errno = ENOSPC, -1;
      return ::pwrite(fd, p, len, off);
    };
    ErrorCode rc = buf_save_buffer(b, "+O");
    file_io_reset();
    save_settings.in_place = false;
    if (fired) {
      EXPECT_LT(rc, 0);
      EXPECT_TRUE(original == read_file(dir_ / "big")) << "the file changed";
      EXPECT_EQ(files, user_files(dir_.path())) << "files left behind or lost";
      EXPECT_EQ(1, b->modified);
    } else {
      ASSERT_EQ(0, rc);
      succeeded = true;
      EXPECT_TRUE(want == read_file(dir_ / "big"));
    }
    EXPECT_TRUE(want == buffer_text(b)) << "the buffer changed";
    EXPECT_EQ("", store_check(b));
    store_close_buffer(b);
    buf_free(b);
  }
  EXPECT_TRUE(succeeded);
}

// A save in place killed part-way leaves the old text in a copy named after
// the file, whatever the file itself then holds.
TEST_F(SaveTest, KilledInPlaceSaveLeavesACopyNamedAfterTheFile) {
  std::string original;
  for (int i = 0; i < 4000; ++i) original += "row " + std::to_string(i) + "\n";
  static ino_t target_ino;
  static int left;
  struct Kill {
    const char* what;
    int writes;  // killed at this write into the file, or at its sync when -1
  };
  for (const Kill& k : {Kill{"first write", 1}, Kill{"third write", 3}, Kill{"sync", -1}}) {
    SCOPED_TRACE(k.what);
    fstest::TempDir d;
    write_file(d / "f", original);
    ASSERT_EQ(0, ::link((d / "f").c_str(), (d / "other-name").c_str()));  // written in place
    struct stat st;
    ASSERT_EQ(0, ::stat((d / "f").c_str(), &st));
    target_ino = st.st_ino;
    left = k.writes;
    BufferRec* b = load(d / "f");
    replace_line(b, 1, "a new first line, longer than the old one");
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      file_io().write = [](int fd, const void* p, size_t n) -> ssize_t {
        if (writes_into(fd, target_ino) && --left == 0) ::raise(SIGKILL);
        return ::write(fd, p, n > 500 ? 500 : n);
      };
      file_io().fsync = [](int fd) -> int {
        if (left < 0 && writes_into(fd, target_ino)) ::raise(SIGKILL);
        return ::fsync(fd);
      };
      buf_save_buffer(b, "+O");
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not killed";
    const std::string copy = d / ("f.$s" + std::to_string(pid));
    EXPECT_TRUE(original == read_file(copy)) << "no copy of the old text at " << copy;
    store_close_buffer(b);
    buf_free(b);
  }
}

// Copying or moving a file over another replaces the destination only when
// the new one is complete: a copy that fails leaves it as it was.
TEST_F(SaveTest, CopyOrMoveNeverDeletesTheDestinationFirst) {
  write_file(dir_ / "src", std::string(100000, 's'));
  write_file(dir_ / "dest", "keep\n");
  file_io().write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
  EXPECT_EQ(ERR_COPY_MOVE, buf_copy_or_move((dir_ / "dest").c_str(), (dir_ / "src").c_str(), true, false));
  file_io_reset();
  EXPECT_EQ("keep\n", read_file(dir_ / "dest"));
  EXPECT_EQ(std::set<std::string>({"src", "dest"}), fstest::listing(dir_.path()));
  ASSERT_EQ(0, buf_copy_or_move((dir_ / "dest").c_str(), (dir_ / "src").c_str(), true, false));
  EXPECT_EQ(std::string(100000, 's'), read_file(dir_ / "dest"));
  ASSERT_EQ(0, buf_copy_or_move((dir_ / "new/dir/moved").c_str(), (dir_ / "src").c_str(), false, false));
  EXPECT_EQ(std::set<std::string>({"dest", "new/", "new/dir/", "new/dir/moved"}), fstest::listing(dir_.path()));
}

// A backup that cannot be made leaves the previous backup as it was: the new
// one is made under a new name and renamed over it. (The previous backup was
// once deleted first, so a full backup directory cost it.) A failure after
// the backup leaves either backup; the file is intact in every case.
TEST_F(SaveTest, FailedBackupKeepsThePreviousBackup) {
  struct Case {
    const char* what;
    Op op;
    bool no_link;  // the backup must be a copy (as on another file system)
  };
  const Case cases[] = {{"rename of the backup", Op::Rename, false},
                        {"copy of the backup", Op::Write, true},
                        {"sync of the backup copy", Op::Fsync, true}};
  for (const Case& c : cases) {
    bool succeeded = false;
    int backup_failures = 0;
    for (int n = 1; n < 500 && !succeeded; ++n) {
      SCOPED_TRACE(std::string(c.what) + " n " + std::to_string(n));
      fstest::TempDir d;
      std::string current;
      for (int i = 0; i < 2000; ++i) current += "current " + std::to_string(i) + "\n";
      write_file(d / "a.c", current);
      write_file(d / "a.BAK", "older\n");
      BufferRec* b = load(d / "a.c");
      replace_line(b, 1, "new");
      const auto files = fstest::listing(d.path());
      FileIo& io = file_io();
      io.write = f_write;
      if (c.no_link) io.link = [](const char*, const char*) { return errno = EXDEV, -1; };
      file_fault_arm(c.op, n);
      ErrorCode rc = buf_save_buffer(b, "+DB");
      file_io_reset();
      file_fault_disarm();
      if (file_fault_fired()) {
        EXPECT_LT(rc, 0);
        const std::string bak = read_file(d / "a.BAK");
        if (rc == ERR_COPY_MOVE || rc == ERR_COPY_MOVE_ACCESS) {
          ++backup_failures;
          EXPECT_EQ("older\n", bak) << "the previous backup was lost";
        } else {
          EXPECT_TRUE(bak == "older\n" || bak == current);
        }
        EXPECT_TRUE(current == read_file(d / "a.c"));
        EXPECT_EQ(files, fstest::listing(d.path())) << "files left behind or lost";
      } else {
        ASSERT_EQ(0, rc);
        succeeded = true;
        EXPECT_TRUE(current == read_file(d / "a.BAK"));
        EXPECT_EQ("new\n", read_file(d / "a.c").substr(0, 4));
      }
      store_close_buffer(b);
      buf_free(b);
    }
    EXPECT_TRUE(succeeded) << c.what;
    EXPECT_GT(backup_failures, 0) << c.what;
  }
}

}  // namespace

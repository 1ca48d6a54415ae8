#include "base/os.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "base/fs_fixture.h"
#include "tests/support/headless/env_fakes.h"

namespace {

using fstest::fake_env;
using fstest::fake_env_get;
using fstest::listing;
using fstest::read_file;
using fstest::run_as_nobody;
using fstest::TempDir;
using fstest::write_file;

class OsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_umask_ = umask(022);
    fake_env.clear();
    envtest::env.lookup = fake_env_get;
    os_open_state = OsOpenState{0, 0, 0, 0, 0, 0, 0, 1};
    char buf[PATH_MAX];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    old_cwd_ = buf;
  }
  void TearDown() override {
    envtest::install();  // back to the process environment
    ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    os_cwd_cache_clear();
    umask(old_umask_);
    EXPECT_EQ(os_find_open_streams(), 0);
  }
  TempDir tmp_;
  std::string old_cwd_;
  mode_t old_umask_ = 022;
};

TEST(OsErrno, MapsTheListedErrnosAndFallsBackOtherwise) {
  struct Case {
    int err;
    ErrorCode want;
  } cases[] = {
      {0, 0},       {ENOENT, -2}, {ENOMEM, -8},       {EACCES, -5}, {ETXTBSY, -5}, {ENOTDIR, -3},
      {ENFILE, -4}, {EMFILE, -4}, {ENAMETOOLONG, -3}, {EIO, -77},   {EEXIST, -77},
  };
  for (const Case& c : cases) EXPECT_EQ(os_errno_code(c.err, -77), c.want) << "errno " << c.err;
}

TEST(OsPathText, ExtensionNameOffsetAndStrip) {
  struct Case {
    const char* path;
    size_t name_off;
    const char* ext;
    const char *p, *n, *e, *b;
  } cases[] = {
      {"dir/file.c", 4, ".c", "file.c", "dir/", "dir/file", "file"},
      {"a.d/file", 4, "", "file", "a.d/", "a.d/file", "file"},   // dotted directory: no extension
      {".bashrc", 0, ".bashrc", ".bashrc", "", "", ""},          // all extension
      {"x.tar.gz", 0, ".gz", "x.tar.gz", "", "x.tar", "x.tar"},  // the last dot counts
      {"noext", 0, "", "noext", "", "noext", "noext"},
      {"w\\in.txt", 2, ".txt", "in.txt", "w\\", "w\\in", "in"},  // backslash separates too
      {"/", 1, "", "", "/", "/", ""},
      // An extension far longer than any fixed buffer is still removed whole.
      {"d/f.abcdefghijklmnopqrstuvwxyz0123456789", 2, ".abcdefghijklmnopqrstuvwxyz0123456789",
       "f.abcdefghijklmnopqrstuvwxyz0123456789", "d/", "d/f", "f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(os_path_name_offset(c.path), c.name_off);
    char ext[64];
    os_path_extension(c.path, ext, sizeof ext);
    EXPECT_STREQ(ext, c.ext);
    const std::pair<char, const char*> strips[] = {{'P', c.p}, {'N', c.n}, {'E', c.e}, {'B', c.b}};
    for (auto [letter, want] : strips) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "%s", c.path);
      os_path_strip(buf, letter);
      EXPECT_STREQ(buf, want) << "strip " << letter;
    }
  }
  char small[4];
  os_path_extension("f.long", small, sizeof small);
  EXPECT_STREQ(small, ".lo");  // cut to size - 1
}

TEST(OsPathText, WildcardCharacters) {
  for (const char* yes : {"a?", "*", "x(y", "a)", "[a]", "b]", "^x", "a\\b", "a|b"})
    EXPECT_EQ(os_has_wildcards(yes), 1) << yes;
  for (const char* no : {"plain-name.0", "a{b}", "", "a b;c$"}) EXPECT_EQ(os_has_wildcards(no), 0) << no;
  EXPECT_EQ(os_has_wildcards_n("ab*", 2), 0);
}

TEST(OsPathText, Itoa) {
  char buf[40];
  EXPECT_STREQ(cstr_itoa(-255, buf, 16), "-ff");
  EXPECT_STREQ(cstr_itoa(0, buf, 10), "0");
  EXPECT_STREQ(cstr_itoa(INT32_MIN, buf, 10), "-2147483648");
  EXPECT_STREQ(cstr_ltoa(48879, buf, 16), "beef");
  EXPECT_EQ(cstr_eq("ab", "ab"), 1);
  EXPECT_EQ(cstr_eq("ab", "aB"), 0);
}

TEST_F(OsTest, OpenMode0ReadWriteAndMissingNames) {
  std::string f = tmp_ / "f.txt";
  write_file(f, "hello");
  int fd = os_open(f.c_str(), 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os_open_state.open_state, 0u);
  EXPECT_EQ(os_write_all(fd, "J", 1), 0);  // writable, positioned at 0
  EXPECT_EQ(os_close(fd), 0);
  EXPECT_EQ(read_file(f), "Jello");
  EXPECT_EQ(os_open((tmp_ / "missing").c_str(), 0), -2);
  EXPECT_EQ(os_open((tmp_ / "nodir/missing").c_str(), 0), -3);
  EXPECT_EQ(os_open((tmp_ / "nodir/missing").c_str(), 3), -3);
  EXPECT_EQ(os_open((tmp_ / "missing").c_str(), 4), -2);
  EXPECT_EQ(os_open(f.c_str(), 9), -52);
  EXPECT_EQ(os_close(fd), -35);  // already closed
}

TEST_F(OsTest, OpenMode0WithoutOwnerWriteBitFallsBackToReadOnly) {
  std::string f = tmp_ / "ro.txt";
  write_file(f, "data", 0444);
  // The super-user could write, but gets the read-only fallback and the flag.
  int fd = os_open(f.c_str(), 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os_open_state.open_state, 3u);
  EXPECT_EQ(os_open_state.root_override, geteuid() == 0 ? 1 : 0);
  EXPECT_LT(os_write(fd, "x", 1), 0);
  os_close(fd);
  EXPECT_EQ(read_file(f), "data");

  // An ordinary user gets the same fallback without the flag.
  int rc = run_as_nobody([&] {
    int h = os_open(f.c_str(), 0);
    if (h < 0) return 10;
    if (os_open_state.open_state != 3 || os_open_state.root_override != 0) return 11;
    return os_write(h, "x", 1) < 0 ? 0 : 12;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(OsTest, AccessDeniedForAnUnprivilegedUser) {
  std::string secret = tmp_ / "secret";
  write_file(secret, "s", 0600);
  std::string closed = tmp_ / "closed";
  ASSERT_EQ(mkdir(closed.c_str(), 0755), 0);
  write_file(closed + "/keep", "k");
  int rc = run_as_nobody([&] {
    if (os_open(secret.c_str(), 0) != -5) return 1;
    if (os_open(secret.c_str(), 1) != -5) return 2;
    if (os_delete((closed + "/keep").c_str()) != -5) return 3;  // directory not writable
    if (os_mkdir((closed + "/new").c_str()) != -38) return 4;
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read_file(secret), "s");
  EXPECT_EQ(read_file(closed + "/keep"), "k");
}

TEST_F(OsTest, OpenMode1TruncatesAndKeepsModeAndOwner) {
  std::string f = tmp_ / "save.txt";
  write_file(f, "old contents");
  os_open_state.keep_mode = 1;
  os_open_state.mode_to_keep = 04751;
  os_open_state.keep_owner = 1;
  os_open_state.uid_to_keep = 1234;
  os_open_state.gid_to_keep = 5678;
  int fd = os_open(f.c_str(), 1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os_write_all(fd, "new", 3), 0);
  os_close(fd);
  EXPECT_EQ(read_file(f), "new");
  struct stat sb;
  ASSERT_EQ(stat(f.c_str(), &sb), 0);
  EXPECT_EQ(sb.st_mode & 07777, 04751u);  // set-id bit survives the change of owner
  if (geteuid() == 0) {
    EXPECT_EQ(sb.st_uid, 1234u);
    EXPECT_EQ(sb.st_gid, 5678u);
  }
}

TEST_F(OsTest, KeepingModeAndOwnerNeverFailsASaveThatCannotApplyThem) {
  // A writable file owned by root: the unprivileged saver may write it but
  // may neither chmod nor chown it. The save must still get its handle.
  std::string f = tmp_ / "shared.txt";
  write_file(f, "old contents", 0666);
  int rc = run_as_nobody([&] {
    os_open_state.keep_mode = 1;
    os_open_state.mode_to_keep = 0600;
    os_open_state.keep_owner = 1;
    os_open_state.uid_to_keep = 4321;
    os_open_state.gid_to_keep = 4321;
    int h = os_open(f.c_str(), 1);
    if (h < 0) return 20 - h;  // report the code
    if (os_write_all(h, "saved", 5) != 0) return 2;
    return os_close(h) == 0 ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read_file(f), "saved");
}

TEST_F(OsTest, OpenMode2CreatesWith0644) {
  umask(0);
  std::string f = tmp_ / "new.bin";
  int fd = os_open(f.c_str(), 2);
  ASSERT_GE(fd, 0);
  os_close(fd);
  struct stat sb;
  ASSERT_EQ(stat(f.c_str(), &sb), 0);
  EXPECT_EQ(sb.st_mode & 0777, 0644u);
  EXPECT_EQ(fcntl(fd = os_open(f.c_str(), 3), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  os_close(fd);
}

TEST_F(OsTest, WriteAllReportsClosedHandlesAndFullDisks) {
  EXPECT_EQ(os_write_all(987, "abc", 3), -34);  // EBADF: the write default
  int full = open("/dev/full", O_WRONLY);
  if (full >= 0) {
    EXPECT_EQ(os_write_all(full, "abc", 3), -36);
    close(full);
  }
  EXPECT_EQ(os_read(987, nullptr, 0), -33);
}

TEST_F(OsTest, OffsetsAndSizesAre64Bit) {
  std::string f = tmp_ / "sparse";
  int fd = os_open(f.c_str(), 2);
  ASSERT_GE(fd, 0);
  const off_t five_gib = off_t{5} << 30;
  EXPECT_EQ(os_seek(fd, five_gib, 0), five_gib);
  EXPECT_EQ(os_write_all(fd, "z", 1), 0);
  EXPECT_EQ(os_seek(fd, 0, 1), five_gib + 1);
  EXPECT_EQ(os_seek(fd, -1, 2), five_gib);
  char c = 0;
  EXPECT_EQ(os_read(fd, &c, 1), 1);
  EXPECT_EQ(c, 'z');
  os_close(fd);
  EXPECT_EQ(os_file_size(f.c_str()), five_gib + 1);
  EXPECT_EQ(os_file_size((tmp_ / "none").c_str()), -1);
  EXPECT_EQ(os_seek(-1, 0, 0), -1);
}

TEST_F(OsTest, RenameNeverReplacesAndMovesDirectories) {
  std::string a = tmp_ / "a", b = tmp_ / "b";
  write_file(a, "A");
  write_file(b, "B");
  EXPECT_EQ(os_rename(b.c_str(), a.c_str()), -3);  // new name exists
  EXPECT_EQ(read_file(a), "A");
  EXPECT_EQ(read_file(b), "B");
  EXPECT_EQ(os_rename((tmp_ / "c").c_str(), a.c_str()), 0);
  EXPECT_EQ(read_file(tmp_ / "c"), "A");
  EXPECT_EQ(os_exists(a.c_str()), 0);
  EXPECT_EQ(os_rename((tmp_ / "d").c_str(), a.c_str()), -2);
  ASSERT_EQ(mkdir((tmp_ / "dir").c_str(), 0755), 0);
  EXPECT_EQ(os_rename((tmp_ / "dir2").c_str(), (tmp_ / "dir").c_str()), 0);
  EXPECT_EQ(listing(tmp_.path()), (std::set<std::string>{"b", "c", "dir2/"}));
  EXPECT_EQ(os_delete((tmp_ / "b").c_str()), 0);
  EXPECT_EQ(os_delete((tmp_ / "b").c_str()), -2);
}

TEST_F(OsTest, FileTimeIsLocalModificationTime) {
  std::string f = tmp_ / "dated";
  write_file(f, "x");
  struct tm tm {};
  tm.tm_year = 97;
  tm.tm_mon = 2;
  tm.tm_mday = 7;
  tm.tm_hour = 13;
  tm.tm_min = 5;
  tm.tm_sec = 42;
  tm.tm_isdst = -1;
  time_t t = mktime(&tm);
  struct timeval tv[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimes(f.c_str(), tv), 0);
  FileTime ft{};
  ASSERT_EQ(os_file_time(f.c_str(), &ft), 0);
  EXPECT_EQ(ft.year, 1997);
  EXPECT_EQ(ft.month, 3);
  EXPECT_EQ(ft.day, 7);
  EXPECT_EQ(ft.hour, 13);
  EXPECT_EQ(ft.minute, 5);
  EXPECT_EQ(ft.ms, 42000);
  time_t m = 0;
  EXPECT_EQ(os_file_mtime(f.c_str(), &m), 0);
  EXPECT_EQ(m, t);
  EXPECT_EQ(os_file_time((tmp_ / "none").c_str(), &ft), -2);
  SysTime st{};
  os_filetime_to_systime(&ft, &st);
  EXPECT_EQ(st.year, 97);
  EXPECT_EQ(st.ms, 42000);
  FileTime back{};
  os_systime_to_filetime(&st, &back);
  EXPECT_EQ(std::memcmp(&back, &ft, sizeof ft), 0);
  os_get_time(&st);
  EXPECT_GE(st.year, 120);
  EXPECT_LE(st.weekday, 6);
  EXPECT_LT(st.ms, 60000);
}

TEST_F(OsTest, AbsoluteNames) {
  ASSERT_EQ(mkdir((tmp_ / "real").c_str(), 0755), 0);
  ASSERT_EQ(symlink((tmp_ / "real").c_str(), (tmp_ / "link").c_str()), 0);
  ASSERT_EQ(os_chdir(tmp_.path().c_str()), 0);
  char real_tmp[PATH_MAX];
  ASSERT_NE(realpath(tmp_.path().c_str(), real_tmp), nullptr);
  std::string rt = real_tmp;
  struct Case {
    std::string in, want;
  } cases[] = {
      {"file.c", rt + "/file.c"},           {"\"quoted name\"", rt + "/quoted name"},
      {"link/x.c", rt + "/real/x.c"},   // links resolve to the real directory
      {"link\\y.c", rt + "/real/y.c"},  // backslashes become '/'
      {"./real/../real/z", rt + "/real/z"}, {"/z", "/z"},
      {"missing/x", "missing/x"},  // a directory that cannot be entered: unchanged
  };
  for (const Case& c : cases) {
    char in[PATH_MAX], out[PATH_MAX];
    std::snprintf(in, sizeof in, "%s", c.in.c_str());
    EXPECT_EQ(os_absolute(out, sizeof out, in), 0) << c.in;
    EXPECT_EQ(std::string(out), c.want) << c.in;
  }
  char here[PATH_MAX];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), rt);  // never moved the process

  char in[] = "a-name-that-does-not-fit";
  char out[8];
  EXPECT_EQ(os_absolute(out, sizeof out, in), -3);
  EXPECT_STREQ(out, "");
}

TEST_F(OsTest, LongCurrentDirectory) {
  // Deeper than 255 characters: os_getcwd refuses its 256-byte buffer, while
  // os_absolute still joins names to the real directory, never to "/".
  std::string deep = tmp_.path();
  while (deep.size() < 400) {
    deep += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  ASSERT_EQ(os_chdir(deep.c_str()), 0);
  char out[256];
  EXPECT_EQ(os_getcwd(out), -3);
  EXPECT_STREQ(out, "");
  char big[PATH_MAX];
  EXPECT_EQ(os_getcwd(big, sizeof big), 0);
  char name[] = "f";
  ASSERT_EQ(os_absolute(big, sizeof big, name), 0);
  char real[PATH_MAX];
  ASSERT_NE(realpath(deep.c_str(), real), nullptr);
  EXPECT_EQ(std::string(big), std::string(real) + "/f");
  EXPECT_EQ(os_chdir("/nonexistent-zvx"), -2);
}

TEST_F(OsTest, SearchAlongADirectoryList) {
  std::string d1 = tmp_ / "d1", d2 = tmp_ / "d2";
  ASSERT_EQ(mkdir(d1.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(d2.c_str(), 0755), 0);
  write_file(d2 + "/tool", "t");
  ASSERT_EQ(mkdir((d1 + "/tool2").c_str(), 0755), 0);  // a directory is no candidate
  write_file(d2 + "/tool2", "t");
  write_file(tmp_ / "here", "h");
  fake_env["ZL"] = "  " + d1 + ":" + d2 + "/";
  fake_env["EMPTYFIRST"] = ":" + d1;
  ASSERT_EQ(os_chdir(tmp_.path().c_str()), 0);
  char out[256];
  struct Case {
    const char* name;
    const char* var;
    ErrorCode rc;
    std::string want;
  } cases[] = {
      {"tool", "ZL", 0, d2 + "/tool"},  {"tool2", "ZL", 0, d2 + "/tool2"},
      {"nothing", "ZL", -2, "nothing"}, {"here", "EMPTYFIRST", 0, "here"},  // the empty entry tries the bare name
      {"d2/tool", "ZL", 0, "d2/tool"},                                      // a name with '/' is tried as it is
      {"d2/none", "ZL", -2, "d2/none"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(os_search_env_path(out, sizeof out, c.name, c.var, 0), c.rc) << c.name;
    if (c.rc == 0) {
      EXPECT_EQ(std::string(out), c.want) << c.name;
    }
  }
  fake_env["PATH"] = d2;
  EXPECT_EQ(os_search_env_path(out, sizeof out, "tool", nullptr, 0), 0);
  // No such variable: one try of the bare name, with the candidate's own result.
  int flag = 0, extra = 7;
  EXPECT_EQ(os_search_env_path_ex(out, "here", "NOPE", 0, sizeof out, &flag, &extra), 0);
  EXPECT_EQ(extra, 0);
  EXPECT_EQ(os_search_env_path_ex(out, "gone", "NOPE", 0, sizeof out, &flag, &extra), -18);
  std::string too_long(256, 'n');
  EXPECT_EQ(os_search_env_path(out, sizeof out, too_long.c_str(), "ZL", 0), -3);
}

TEST_F(OsTest, SearchSkipsEntriesThatWouldNotFitInsteadOfCuttingThem) {
  // "<dir>/ab" holds the file; the listed entry is "<dir>/ab" plus a long tail
  // that does not exist. Cutting the entry to the buffer would find the wrong
  // file; skipping it finds nothing.
  std::string ab = tmp_ / "ab";
  ASSERT_EQ(mkdir(ab.c_str(), 0755), 0);
  write_file(ab + "/prog", "p");
  std::string entry = ab + std::string(100, 'x');
  fake_env["P"] = entry;
  std::vector<char> out(ab.size() + 8);
  EXPECT_EQ(os_search_env_path(out.data(), out.size(), "prog", "P", 0), -2);
  fake_env["P"] = entry + ":" + ab;
  EXPECT_EQ(os_search_env_path(out.data(), out.size(), "prog", "P", 0), 0);
  EXPECT_EQ(std::string(out.data()), ab + "/prog");
}

TEST_F(OsTest, MacroAwareSearch) {
  std::string d = tmp_ / "m";
  ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
  write_file(d + "/foo.e", "src");
  write_file(d + "/bar.ex", "mod");
  write_file(d + "/run.sh", "#!/bin/sh\n", 0755);
  write_file(d + "/text.txt", "plain", 0644);
  fake_env["MP"] = d;
  struct Case {
    const char* name;
    ErrorCode rc;
    const char* found;
    int flag;
  } cases[] = {
      {"foo.txt", 0, "/foo.e", 1},  // another extension is replaced
      {"foo", 0, "/foo.e", 1},     {"bar", 0, "/bar.ex", 1}, {"run.sh", 0, "/run.sh", 0},  // executable: taken as it is
      {"text.txt", -2, "", 0},  // not executable and no macro beside it
  };
  for (const Case& c : cases) {
    char out[256];
    int flag = 1, extra = 9;
    EXPECT_EQ(os_search_env_path_ex(out, c.name, "MP", 1, sizeof out, &flag, &extra), c.rc) << c.name;
    EXPECT_EQ(flag, c.flag) << c.name;
    if (c.rc == 0) {
      EXPECT_EQ(std::string(out), d + c.found) << c.name;
    }
  }
  // The candidate test alone puts the extension back when nothing is found.
  char path[256];
  std::snprintf(path, sizeof path, "%s/text.txt", d.c_str());
  int flag = 1;
  EXPECT_EQ(os_try_candidate(path, sizeof path, 1, &flag), -18);
  EXPECT_EQ(std::string(path), d + "/text.txt");
  EXPECT_EQ(flag, 0);
}

TEST_F(OsTest, Shell) {
  char out[64];
  EXPECT_EQ(os_shell(out, sizeof out), 0);
  EXPECT_STREQ(out, "/bin/sh");
  fake_env["SHELL"] = "";
  EXPECT_EQ(os_shell(out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  fake_env["SHELL"] = "/usr/bin/zsh";
  EXPECT_EQ(os_shell(out, sizeof out), 0);
  EXPECT_STREQ(out, "/usr/bin/zsh");
  EXPECT_EQ(os_shell(out, 5), -3);
  EXPECT_EQ(os_getpid(), getpid());
}

// Names that a shell would split, quote or run. Each must create (and then
// remove) exactly the one named entry and nothing else.
TEST_F(OsTest, MakeAndRemoveDirectoriesTouchOnlyTheNamedPath) {
  const std::string names[] = {
      "a b",       "two  blanks", "quote\"d", "it's",  "x;touch y",           "$(touch z)",
      "`touch w`", "a&b|c>d",     "-rf",      "star*", std::string(255, 'L'),
  };
  ASSERT_EQ(os_chdir(tmp_.path().c_str()), 0);
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    auto before = listing(tmp_.path());
    std::string p = tmp_ / n;
    EXPECT_EQ(os_mkdir(p.c_str()), 0);
    auto after = listing(tmp_.path());
    auto expected = before;
    expected.insert(n + "/");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(os_mkdir(p.c_str()), -38);  // exists
    EXPECT_EQ(os_rmdir(p.c_str()), 0);
    EXPECT_EQ(listing(tmp_.path()), before);
    EXPECT_EQ(os_rmdir(p.c_str()), -3);
  }
  // Refused outright: a 300-character component and a missing parent.
  auto before = listing(tmp_.path());
  EXPECT_EQ(os_mkdir((tmp_ / std::string(300, 'C')).c_str()), -38);
  EXPECT_EQ(os_mkdir((tmp_ / "no/such/parent").c_str()), -38);
  write_file(tmp_ / "full", "x");
  ASSERT_EQ(mkdir((tmp_ / "notempty").c_str(), 0755), 0);
  write_file(tmp_ / "notempty/f", "x");
  EXPECT_EQ(os_rmdir((tmp_ / "notempty").c_str()), -3);
  EXPECT_EQ(os_rmdir((tmp_ / "full").c_str()), -3);
  EXPECT_EQ(listing(tmp_.path()).size(), before.size() + 3);
}

// ---- directory search ----

std::vector<std::string> find_all(const std::string& pattern, uint32_t attr, int* status_out = nullptr) {
  std::vector<std::string> names;
  FindData fd{};
  int h = -1;
  int st = os_find_first(pattern.c_str(), &h, attr, &fd);
  if (status_out) *status_out = st;
  if (st != 0) return names;
  do names.push_back(fd.name);
  while ((st = os_find_next(h, &fd)) == 0);
  EXPECT_EQ(st, FIND_NO_MORE);
  os_find_close(h);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OsWildcard, PatternToExpression) {
  struct Case {
    const char* wild;
    const char* expr;
  } cases[] = {
      {"*.c", "^?*.c$"},
      {"a+b", "^a\\+b$"},
      {"x\\*", "^x\\*$"},
      {"{a}", "^\\{a\\}$"},
      {"~:#@$^", "^\\~\\:\\#\\@\\$\\^$"},
      {"\\+", "^\\+$"},
      {"?[ab]", "^?[ab]$"},
      {"", "^$"},
  };
  for (const Case& c : cases) {
    char out[OS_EXPR_MAX + 2];
    ASSERT_TRUE(os_wildcard_to_expr(c.wild, out, sizeof out)) << c.wild;
    EXPECT_STREQ(out, c.expr) << c.wild;
  }
  char out[OS_EXPR_MAX + 2];
  EXPECT_TRUE(os_wildcard_to_expr(std::string(1022, 'a'), out, sizeof out));
  EXPECT_FALSE(os_wildcard_to_expr(std::string(1023, 'a'), out, sizeof out));  // refused, not cut
  EXPECT_FALSE(os_wildcard_to_expr(std::string(600, '+'), out, sizeof out));
  EXPECT_EQ(os_wildcard_match("^?*$", "anything"), 1);
  EXPECT_EQ(os_wildcard_match("^?*.c$", "x.c"), 1);
  EXPECT_EQ(os_wildcard_match("^?*.c$", "x.h"), 0);
  EXPECT_EQ(os_wildcard_match("^[ab$", "a"), -2500);
}

TEST_F(OsTest, FindMatchesFilesAndOptionallyDirectories) {
  const std::string d = tmp_.path() + "/";
  for (const char* f : {"a.c", "b.c", "c.h", "x+y.c", "name with blank.c"}) write_file(d + f, "x");
  ASSERT_EQ(mkdir((d + "sub.c").c_str(), 0755), 0);
  ASSERT_EQ(symlink("nowhere", (d + "dangling.c").c_str()), 0);
  EXPECT_EQ(find_all(d + "*.c", 0),
            (std::vector<std::string>{"a.c", "b.c", "dangling.c", "name with blank.c", "x+y.c"}));
  EXPECT_EQ(find_all(d + "*.c", 0x4000),
            (std::vector<std::string>{"a.c", "b.c", "dangling.c", "name with blank.c", "sub.c", "x+y.c"}));
  EXPECT_EQ(find_all(d + "*", 0x41ed).size(), 9u);  // with "." and ".."
  EXPECT_EQ(find_all(d + "x+y.c", 0), (std::vector<std::string>{"x+y.c"}));
  EXPECT_EQ(find_all(d + "[ab].c", 0), (std::vector<std::string>{"a.c", "b.c"}));
  EXPECT_EQ(find_all(d + "?.(c|h)", 0), (std::vector<std::string>{"a.c", "b.c", "c.h"}));

  // The dangling link: link mode plus 0x4000, reported as a file.
  FindData fd{};
  int h = -1;
  ASSERT_EQ(os_find_first((d + "dangling.c").c_str(), &h, 0, &fd), 0);
  EXPECT_EQ(fd.mode & 0xF000, 0xA000u | 0x4000u);
  os_find_close(h);

  int st = 0;
  EXPECT_TRUE(find_all(d + "*.zz", 0, &st).empty());
  EXPECT_EQ(st, FIND_NO_MORE);
  EXPECT_TRUE(find_all(d + "nodir/*", 0, &st).empty());
  EXPECT_EQ(st, FIND_NOT_FOUND);
}

TEST_F(OsTest, FindWithABadWildcardMatchesNothing) {
  const std::string d = tmp_.path() + "/";
  write_file(d + "a.c", "x");
  int st = 0;
  for (const char* bad : {"[a.c", "(a.c", "a.c)", "a.c|("}) {
    EXPECT_TRUE(find_all(d + bad, 0, &st).empty()) << bad;
    EXPECT_EQ(st, FIND_BAD_PATTERN) << bad;
  }
  char path[256];
  std::snprintf(path, sizeof path, "%s[a.c", d.c_str());
  int h = -1;
  EXPECT_EQ(os_find_first_path(&h, path, sizeof path, 0), -2500);
  EXPECT_EQ(h, -1);
}

TEST_F(OsTest, FindHandlesAreRecycledAndTheSharedHandleClosesCleanly) {
  const std::string d = tmp_.path() + "/";
  write_file(d + "f1", "x");
  write_file(d + "f2", "x");
  FindData fd{};
  int h1 = -1, h2 = -1, h3 = -1;
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &h1, 0, &fd), 0);
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &h2, 0, &fd), 0);
  EXPECT_NE(h1, h2);
  EXPECT_GT(h1, 1);
  os_find_close(h1);
  os_find_close(h1);  // twice is harmless
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &h3, 0, &fd), 0);
  EXPECT_EQ(h3, h1);  // last freed, first reused
  os_find_close(h3);
  os_find_close(h2);

  // The shared handle: a search that finds nothing, then another one, then
  // more. A stream left behind by the failed search must not be closed twice.
  int shared = 1;
  EXPECT_EQ(os_find_first((d + "f1").c_str(), &shared, 0, &fd), 0);
  EXPECT_EQ(shared, 1);
  EXPECT_EQ(os_find_open_streams(), 1);
  EXPECT_EQ(os_find_first((d + "nomatch*").c_str(), &shared, 0, &fd), FIND_NO_MORE);
  EXPECT_EQ(os_find_open_streams(), 0);
  EXPECT_EQ(os_find_first((d + "nomatch*").c_str(), &shared, 0, &fd), FIND_NO_MORE);
  EXPECT_EQ(os_find_first((d + "f2").c_str(), &shared, 0, &fd), 0);
  EXPECT_STREQ(fd.name, "f2");
  EXPECT_EQ(os_find_open_streams(), 1);
  EXPECT_EQ(os_find_next(shared, &fd), FIND_NO_MORE);
  EXPECT_EQ(os_find_open_streams(), 0);  // the end of a search frees its stream
  EXPECT_EQ(os_find_next(shared, &fd), FIND_NO_MORE);
  os_find_close(1);  // ignored
  int zero = 0;      // any value but -1 means the shared record, whose old stream goes
  EXPECT_EQ(os_find_first((d + "f1").c_str(), &zero, 0, &fd), 0);
  EXPECT_EQ(zero, 1);
  EXPECT_EQ(os_find_open_streams(), 1);
  EXPECT_EQ(os_find_first((d + "zz").c_str(), &shared, 0, &fd), FIND_NO_MORE);
  EXPECT_EQ(os_find_open_streams(), 0);

  // Closing them all ends the handed-out searches and the shared one, and
  // searching works again afterwards.
  int a = -1, b = -1;
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &a, 0, &fd), 0);
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &b, 0, &fd), 0);
  ASSERT_EQ(os_find_first((d + "f*").c_str(), &shared, 0, &fd), 0);
  EXPECT_EQ(os_find_open_streams(), 3);
  os_find_close_all();
  EXPECT_EQ(os_find_open_streams(), 0);
  EXPECT_EQ(os_find_next(a, &fd), FIND_NO_MORE);
  int c = -1;
  EXPECT_EQ(os_find_first((d + "f1").c_str(), &c, 0, &fd), 0);
  os_find_close(c);
}

TEST_F(OsTest, FindPathReplacesTheNamePart) {
  const std::string d = tmp_.path() + "/";
  write_file(d + "one.txt", "x");
  ASSERT_EQ(mkdir((d + "sub").c_str(), 0755), 0);
  char path[PATH_MAX];
  std::snprintf(path, sizeof path, "%s*", d.c_str());
  int h = -1;
  std::set<std::string> seen;
  ASSERT_EQ(os_find_first_path(&h, path, sizeof path, 0x4000), 0);
  do seen.insert(path);
  while (os_find_next_path(h, path, sizeof path) == 0);
  os_find_close(h);
  EXPECT_EQ(seen, (std::set<std::string>{d + "./", d + "../", d + "one.txt", d + "sub/"}));

  std::snprintf(path, sizeof path, "%snone", d.c_str());
  EXPECT_EQ(os_find_first_path(&h, path, sizeof path, 0), -18);
  EXPECT_EQ(h, -1);
  std::snprintf(path, sizeof path, "%smissing/x", d.c_str());
  EXPECT_EQ(os_find_first_path(&h, path, sizeof path, 0), -2);
  // A match that would not fit the caller's buffer is refused.
  std::vector<char> small(d.size() + 6);
  std::snprintf(small.data(), small.size(), "%s*.txt", d.c_str());
  h = -1;
  EXPECT_EQ(os_find_first_path(&h, small.data(), small.size(), 0), -3);
  EXPECT_EQ(h, -1);
}

TEST_F(OsTest, FindInDirectoriesAnUnprivilegedUserCannotList) {
  const std::string d = tmp_.path() + "/";
  // Neither a directory without search permission nor one without read
  // permission can be listed: both end the search at once with "no more files".
  for (const char* sub : {"noexec", "noread"}) {
    ASSERT_EQ(mkdir((d + sub).c_str(), 0755), 0);
    write_file(d + sub + "/f", "x");
  }
  ASSERT_EQ(chmod((d + "noexec").c_str(), 0744), 0);
  ASSERT_EQ(chmod((d + "noread").c_str(), 0711), 0);
  int rc = run_as_nobody([&] {
    FindData fd{};
    int h = -1;
    if (os_find_first((d + "noexec/f").c_str(), &h, 0, &fd) != FIND_NO_MORE) return 1;
    if (os_find_first((d + "noread/*").c_str(), &h, 0, &fd) != FIND_NO_MORE) return 2;
    if (os_find_first((d + "noread/f").c_str(), &h, 0, &fd) != FIND_NO_MORE) return 3;
    return os_find_open_streams() == 0 ? 0 : 4;
  });
  EXPECT_EQ(rc, 0);
  // Root reads both, so the same searches succeed: the test can fail.
  EXPECT_EQ(find_all(d + "noread/*", 0), (std::vector<std::string>{"f"}));
}

}  // namespace

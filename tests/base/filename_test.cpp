#include "base/filename.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <climits>
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

using Name = LStrBuf<LSTR_CAP_NAME>;
using Line = LStrBuf<LSTR_CAP_LINE>;

class FileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_env.clear();
    envtest::env.lookup = fake_env_get;
    char buf[PATH_MAX];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    old_cwd_ = buf;
    ASSERT_NE(realpath(tmp_.path().c_str(), buf), nullptr);
    real_ = buf;
  }
  void TearDown() override {
    envtest::install();
    macro_source_ext.assign(".e");
    macro_compiled_ext.assign(".ex");
    ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    os_cwd_cache_clear();
    EXPECT_EQ(os_find_open_streams(), 0);
  }
  TempDir tmp_;
  std::string old_cwd_, real_;
};

TEST_F(FileNameTest, RelativeNames) {
  ASSERT_EQ(chdir(real_.c_str()), 0);
  os_cwd_cache_clear();
  std::string parent = real_.substr(0, real_.rfind('/'));
  struct Case {
    std::string in, out;
  } cases[] = {
      {real_ + "/file.c", "file.c"},
      {real_ + "/sub/deeper/f", "sub/deeper/f"},
      {parent + "/sibling/f", parent + "/sibling/f"},
      {real_ + "x/f", real_ + "x/f"},  // a directory that merely starts the same
      {"\"" + real_ + "/q.c\"", "q.c"},
      {"\"rel/name\"", "rel/name"},
      {"/", "/"},
      {real_, real_},  // the directory itself, without a final '/'
  };
  for (const Case& c : cases) {
    Line in(c.in), out;
    EXPECT_EQ(file_relative(out, in), 0);
    EXPECT_EQ(out.view(), c.out) << c.in;
  }
}

TEST(FileNameText, TakeNameOffALine) {
  struct Case {
    const char* line;
    const char* name;
    const char* rest;
  } cases[] = {
      {"  \"a b\" c", "a b", "c"},  {"\"a b", "a b", ""},      {"one two  three", "one", "two  three"},
      {"  single  ", "single", ""}, {"\"\" next", "", "next"}, {"", "", ""},
  };
  for (const auto& c : cases) {
    Line line(std::string_view(c.line)), out;
    EXPECT_EQ(file_take_name(line, out), 0);
    EXPECT_EQ(out.view(), c.name) << c.line;
    EXPECT_EQ(line.view(), c.rest) << c.line;
  }
  Line line(std::string_view("\"too long name\" rest"));
  LStrBuf<8> small;
  EXPECT_EQ(file_take_name(line, small, small.cap), -3);
  EXPECT_EQ(small.view(), "");
  EXPECT_EQ(line.view(), "\"too long name\" rest");  // not taken, not cut
}

TEST(FileNameText, StripExtensionAndDirLength) {
  struct Case {
    const char* in;
    const char* p;
    const char* e;
    const char* b;
    const char* ext;
    int dirlen;
  } cases[] = {
      {"dir/file.c", "file.c", "dir/file", "file", ".c", 4},
      {"noext", "noext", "noext", "noext", "", 0},
      {"a.d/file", "file", "a.d/file", "file", "", 4},
      {"x.y/z.tar.gz", "z.tar.gz", "x.y/z.tar", "z.tar", ".gz", 4},
      {"w\\v.txt", "v.txt", "w\\v", "v", ".txt", 0},  // only '/' counts for the dir length
      {"f.a-very-long-extension-of-40-characters!", "f.a-very-long-extension-of-40-characters!", "f", "f",
       ".a-very-long-extension-of-40-characters!", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    Name n(std::string_view(c.in));
    EXPECT_EQ(file_dir_length(n), c.dirlen);
    Name ext;
    file_extension(n, ext, ext.cap);
    EXPECT_EQ(ext.view(), c.ext);
    for (auto [letter, want] : {std::pair{'P', c.p}, std::pair{'E', c.e}, std::pair{'B', c.b}}) {
      Name s(std::string_view(c.in));
      file_strip(s, letter);
      EXPECT_EQ(s.view(), want) << letter;
    }
  }
  Name n(std::string_view("name.ext")), small;
  file_extension(n, small, 3);
  EXPECT_EQ(small.view(), ".ex");
}

TEST(FileNameText, QuoteCompareAndWildcards) {
  LStrBuf<8> q(std::string_view("a b"));
  EXPECT_EQ(file_quote(q, q.cap), 0);
  EXPECT_EQ(q.view(), "\"a b\"");
  LStrBuf<8> full(std::string_view("1234567"));
  EXPECT_EQ(file_quote(full, full.cap), -3);
  EXPECT_EQ(full.view(), "1234567");
  Name a(std::string_view("File")), b(std::string_view("file"));
  EXPECT_EQ(file_name_eq(a, b), 0);
  EXPECT_EQ(file_name_eq(a, a), 1);
  EXPECT_EQ(file_has_wildcards(Name(std::string_view("*.c"))), 1);
  EXPECT_EQ(file_has_wildcards(Name(std::string_view("{x}.c"))), 0);
}

// The table of awkward names: each operation touches the named path only.
TEST_F(FileNameTest, DirectoryOperationsTouchOnlyTheNamedPath) {
  ASSERT_EQ(chdir(real_.c_str()), 0);
  os_cwd_cache_clear();
  const std::string names[] = {
      "a b",       "quote\"inside", "semi;touch y", "$(touch z)",
      "`touch w`", "dollar $HOME",  "back\\slash",  std::string(255, 'n'),
  };
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    auto before = listing(real_);
    Line name(n);
    EXPECT_EQ(file_dir_op(1, name), 0);
    auto expected = before;
    expected.insert(n + "/");
    EXPECT_EQ(listing(real_), expected);
    Line quoted("\"" + n + "\"");  // quotes around the name are stripped
    EXPECT_EQ(file_dir_op(2, quoted), 0);
    Line cwd;
    EXPECT_EQ(file_getcwd(cwd, cwd.cap), 0);
    EXPECT_EQ(cwd.view(), real_ + "/" + n);
    ASSERT_EQ(chdir(real_.c_str()), 0);
    os_cwd_cache_clear();
    EXPECT_EQ(file_dir_op(3, name), 0);
    EXPECT_EQ(listing(real_), before);
    EXPECT_EQ(file_dir_op(3, name), -3);
    int fd = file_open(name, 2);
    EXPECT_GE(fd, 0);
    os_close(fd);
    expected = before;
    expected.insert(n);
    EXPECT_EQ(listing(real_), expected);
    EXPECT_EQ(file_dir_op(0, name), 0);
    EXPECT_EQ(listing(real_), before);
    EXPECT_EQ(file_dir_op(0, name), -2);
  }
  auto before = listing(real_);
  Line too_long(std::string(300, 'c'));  // a component longer than any name may be
  EXPECT_EQ(file_dir_op(1, too_long), -38);
  EXPECT_EQ(file_open(too_long, 2), -3);
  EXPECT_EQ(file_dir_op(0, too_long), -3);
  EXPECT_EQ(file_exists(too_long), 0);
  Line with_nul(std::string("cut\0rest", 8));  // would otherwise become "cut"
  EXPECT_EQ(file_dir_op(1, with_nul), -3);
  EXPECT_EQ(file_open(with_nul, 2), -3);
  EXPECT_EQ(file_exists(with_nul), 0);
  Line huge(std::string(1024, 'h'));
  LStrBuf<PATH_MAX + 8> longest(std::string(PATH_MAX + 4, 'p'));
  EXPECT_EQ(file_dir_op(1, longest), -3);
  EXPECT_EQ(file_chdir(longest), -3);
  EXPECT_EQ(file_dir_op(7, huge), -52);
  EXPECT_EQ(listing(real_), before);
}

TEST_F(FileNameTest, DeniedOperationsForAnUnprivilegedUser) {
  std::string locked = real_ + "/locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  write_file(locked + "/f", "data");
  ASSERT_EQ(mkdir((locked + "/sub").c_str(), 0755), 0);
  auto before = listing(real_);
  int rc = run_as_nobody([&] {
    Line f(locked + "/f"), sub(locked + "/sub"), made(locked + "/new");
    if (file_dir_op(0, f) != -5) return 1;
    if (file_dir_op(1, made) != -38) return 2;
    if (file_dir_op(3, sub) != -3) return 3;
    if (file_open(f, 1) != -5) return 4;
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(listing(real_), before);
  EXPECT_EQ(read_file(locked + "/f"), "data");
}

TEST_F(FileNameTest, AbsoluteOpenExistsAndFind) {
  write_file(real_ + "/one.txt", "1");
  ASSERT_EQ(mkdir((real_ + "/dir").c_str(), 0755), 0);
  ASSERT_EQ(chdir(real_.c_str()), 0);
  os_cwd_cache_clear();
  Name abs;
  EXPECT_EQ(file_absolute(abs, Name(std::string_view("one.txt"))), 0);
  EXPECT_EQ(abs.view(), real_ + "/one.txt");
  LStrBuf<8> tiny;
  EXPECT_EQ(file_absolute(tiny, Name(std::string_view("one.txt")), tiny.cap), -3);
  EXPECT_EQ(tiny.view(), "");
  EXPECT_EQ(file_exists(Name(std::string_view("one.txt"))), 1);
  EXPECT_EQ(file_exists(Name(std::string_view("two.txt"))), 0);
  int fd = file_open(Name(std::string_view("one.txt")), 0);
  EXPECT_GE(fd, 0);
  os_close(fd);

  Line pat(real_ + "/*");
  int h = -1;
  std::vector<std::string> seen;
  ASSERT_EQ(file_find_first(&h, pat, OS_TYPE_DIR, pat.cap), 0);
  do seen.emplace_back(pat.view());
  while (file_find_next(h, pat, pat.cap) == 0);
  os_find_close(h);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{real_ + "/../", real_ + "/./", real_ + "/dir/", real_ + "/one.txt"}));
  Name none(real_ + "/nothing*");
  EXPECT_EQ(file_find_first(&h, none, 0), -18);
  Name bad(real_ + "/[x");
  EXPECT_EQ(file_find_first(&h, bad, 0), -2500);
  LStrBuf<1100> over(std::string(1024, 'x'));
  EXPECT_EQ(file_find_first(&h, over, 0, over.cap), -3);
}

TEST_F(FileNameTest, SearchPathPrefersZorvexPathAndUsesConfiguredExtensions) {
  std::string zp = real_ + "/zp", pp = real_ + "/pp";
  ASSERT_EQ(mkdir(zp.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(pp.c_str(), 0755), 0);
  write_file(zp + "/both", "z");
  write_file(pp + "/both", "p");
  write_file(pp + "/only-path", "p");
  write_file(pp + "/mac.zm", "m");
  fake_env["PATH"] = pp;
  Name out;
  int flag = 0, extra = 5;
  EXPECT_EQ(file_search_path(out, Name(std::string_view("both")), 0, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), pp + "/both");  // no ZORVEXPATH yet
  EXPECT_EQ(extra, 0);
  fake_env["ZORVEXPATH"] = zp;
  EXPECT_EQ(file_search_path(out, Name(std::string_view("both")), 0, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), zp + "/both");
  EXPECT_EQ(file_search_path(out, Name(std::string_view("only-path")), 0, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), pp + "/only-path");
  EXPECT_EQ(file_search_path(out, Name(std::string_view("missing")), 0, out.cap, &flag, &extra), -2);

  macro_source_ext.assign(".zm");
  macro_compiled_ext.assign(".zmx");
  flag = 1;
  EXPECT_EQ(file_search_path(out, Name(std::string_view("mac")), 1, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), pp + "/mac.zm");
  EXPECT_EQ(flag, 1);
  flag = 1;  // ".e" means nothing special now
  EXPECT_EQ(file_search_path(out, Name(std::string_view("mac.e")), 1, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), pp + "/mac.zm");

  fake_env.erase("PATH");
  fake_env.erase("ZORVEXPATH");
  ASSERT_EQ(chdir(pp.c_str()), 0);
  flag = 0;
  EXPECT_EQ(file_search_path(out, Name(std::string_view("nothere")), 0, out.cap, &flag, &extra), -18);
  EXPECT_EQ(file_search_path(out, Name(std::string_view("both")), 0, out.cap, &flag, &extra), 0);
  EXPECT_EQ(out.view(), "both");
  Name path(pp + "/mac.txt");
  flag = 1;
  EXPECT_EQ(file_try_candidate(path, path.cap, 1, &flag), 0);
  EXPECT_EQ(path.view(), pp + "/mac.zm");
}

// ---- listings ----

std::vector<std::string> run_listing(const std::string& dir, const std::string& pattern, uint32_t flags, uint32_t attr,
                                     ErrorCode* rc) {
  std::vector<std::string> lines;
  Line d(dir), p(pattern);
  *rc = dirlist_run(
      d, p, flags,
      [](const LStr* line, void* user) {
        static_cast<std::vector<std::string>*>(user)->emplace_back(line->view());
        return 0;
      },
      attr, &lines);
  EXPECT_EQ(d.view(), dir);  // arguments unchanged
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(FileListLine, ModeStrings) {
  struct Case {
    uint32_t mode;
    const char* text;
  } cases[] = {
      {0100755 | 04000, "-rwsr-xr-x"},
      {0100644 | 04000, "-rwSr--r--"},
      {040777 | 01000, "drwxrwxrwt"},
      {040776 | 01000, "drwxrwxrwT"},
      {0102750 | 02000, "-rwxr-s---"},
      {0100640 | 02000, "-rw-r-S---"},
      {0120777, "lrwxrwxrwx"},
      {0120777 | 0x4000, "urwxrwxrwx"},
      {010644, "prw-r--r--"},
      {020600, "crw-------"},
      {060660, "brw-rw----"},
      {0140755, "srwxr-xr-x"},
      {0644, "-rw-r--r--"},
  };
  for (const auto& c : cases) {
    FindData fd{};
    fd.mode = c.mode;
    char out[11];
    file_mode_string(out, &fd);
    EXPECT_STREQ(out, c.text) << std::oct << c.mode;
  }
}

TEST(FileListLine, LongLineLayout) {
  FindData fd{};
  fd.written = FileTime{5000, 5, 13, 7, 3, 1996};
  fd.size = 1234;
  fd.mode = 0100644;
  std::snprintf(fd.name, sizeof fd.name, "a.c");
  Line line;
  file_list_line(line, nullptr, &fd);
  // 2 + 9 (size) + 10 (date) + 8 (time) + 11 (mode) = 40, blanks to 42.
  EXPECT_EQ(line.view(), "       1234   3-07-96   1:05p -rw-r--r--  a.c");
  file_list_line(line, "/d/", &fd);
  EXPECT_EQ(line.view(), "       1234   3-07-96   1:05p -rw-r--r--  /d/a.c");

  fd.mode = 040755;
  fd.written = FileTime{0, 9, 0, 25, 12, 2003};
  file_list_line(line, nullptr, &fd);
  EXPECT_EQ(line.view(), "   <DIR>     12-25-03  12:09a drwxr-xr-x  a.c");

  fd.mode = 0100600;
  fd.size = 123456789012;  // twelve digits: the fields pass column 42, no blanks added
  fd.written = FileTime{0, 0, 12, 1, 1, 2000};
  file_list_line(line, nullptr, &fd);
  EXPECT_EQ(line.view(), "  123456789012   1-01-00  12:00p -rw-------a.c");
}

TEST_F(FileNameTest, FlatListings) {
  const std::string d = real_ + "/";
  write_file(d + "a.c", "12345");
  write_file(d + "b.c", "");
  write_file(d + "c.h", "");
  ASSERT_EQ(mkdir((d + "sub.c").c_str(), 0755), 0);
  ErrorCode rc;
  EXPECT_EQ(run_listing(d, "*.c", 0, 0, &rc), (std::vector<std::string>{"a.c", "b.c"}));
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(run_listing(d, "*.c", DIRLIST_LEAD_BLANK | DIRLIST_WITH_DIR, OS_TYPE_DIR, &rc),
            (std::vector<std::string>{" " + d + "a.c", " " + d + "b.c", " " + d + "sub.c"}));
  auto lines = run_listing(d, "a.c", DIRLIST_LONG, 0, &rc);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 11), "          5");
  EXPECT_EQ(lines[0].substr(30, 10), "-rw-r--r--");
  EXPECT_EQ(lines[0].substr(42), "a.c");

  EXPECT_TRUE(run_listing(d, "*.zz", 0, 0, &rc).empty());
  EXPECT_EQ(rc, -2);
  ASSERT_EQ(mkdir((d + "empty").c_str(), 0755), 0);
  EXPECT_TRUE(run_listing(d + "empty/", "*", 0, 0, &rc).empty());
  EXPECT_EQ(rc, -2);
  EXPECT_TRUE(run_listing(d + "missing/", "*", 0, 0, &rc).empty());
  EXPECT_EQ(rc, -2);
  EXPECT_TRUE(run_listing(d, "[x", 0, 0, &rc).empty());
  EXPECT_EQ(rc, -2500);
}

TEST_F(FileNameTest, RecursiveListingEntersEachDirectoryOnce) {
  // top/{x.c, a/{y.c, empty/}, b/{none.h}, loop -> top, up -> .., alias -> a}
  const std::string top = real_ + "/top/";
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  for (const char* sub : {"a", "a/empty", "b"}) ASSERT_EQ(mkdir((top + sub).c_str(), 0755), 0);
  write_file(top + "x.c", "");
  write_file(top + "a/y.c", "");
  write_file(top + "b/none.h", "");
  ASSERT_EQ(symlink(top.c_str(), (top + "loop").c_str()), 0);
  ASSERT_EQ(symlink("..", (top + "b/up").c_str()), 0);
  ErrorCode rc;
  // Directories without a ".c" (a/empty, b) end their search at once; the
  // shared search handle must survive that without a double close.
  EXPECT_EQ(run_listing(top, "*.c", DIRLIST_RECURSE | DIRLIST_WITH_DIR, 0, &rc),
            (std::vector<std::string>{top + "a/y.c", top + "x.c"}));
  EXPECT_EQ(rc, 0);
  auto dirs = run_listing(top, "*", DIRLIST_RECURSE | DIRLIST_WITH_DIR, OS_TYPE_DIR, &rc);
  EXPECT_EQ(rc, 0);
  // Each real directory is listed once: its "." line appears once.
  std::vector<std::string> dots;
  for (const auto& l : dirs)
    if (l.size() >= 2 && l.compare(l.size() - 2, 2, "/.") == 0) dots.push_back(l);
  EXPECT_EQ(dots, (std::vector<std::string>{top + ".", top + "a/.", top + "a/empty/.", top + "b/."}));
}

TEST_F(FileNameTest, RecursiveListingSkipsPathsThatWouldNotFit) {
  std::string top = real_ + "/deep/";
  std::string d = top;
  ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
  int depth = 0;
  while (d.size() < 1200) {
    d += std::string(100, 'd') + "/";
    ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
    write_file(d + "f.c", "");
    ++depth;
  }
  ErrorCode rc;
  auto lines = run_listing(top, "*.c", DIRLIST_RECURSE | DIRLIST_WITH_DIR, 0, &rc);
  EXPECT_EQ(rc, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_LT(static_cast<int>(lines.size()), depth);
  for (const auto& l : lines) EXPECT_LE(l.size() - std::strlen("f.c"), 1023u);
}

}  // namespace

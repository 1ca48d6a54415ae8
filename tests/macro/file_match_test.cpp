// The file walk as byte code: starting, continuing and ending walks, prefix
// matching, directories only, long lines, recursion (files of a directory
// before those of its subdirectories, "." and ".." and links back up never
// entered), option errors, and the option parser on its own.
#include "macro/file_match.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/os.h"
#include "tests/macro/builtin_fixture.h"

namespace {

using bitest::Out;

class FileMatch : public bitest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    file_match_close_all();
    d_ = dir_.path() + "/";
    bitest::write_file(dir_ / "a.txt", "a");
    bitest::write_file(dir_ / "b.txt", "bb");
    bitest::write_file(dir_ / "c.log", "c");
    ::mkdir((dir_ / "sub").c_str(), 0755);
    ::mkdir((dir_ / "sub/deeper").c_str(), 0755);
    ::mkdir((dir_ / "empty").c_str(), 0755);
    bitest::write_file(dir_ / "sub/x.txt", "x");
    bitest::write_file(dir_ / "sub/deeper/y.txt", "y");
    ::symlink(".", (dir_ / "sub/up").c_str());  // a link back to its own directory
  }
  void TearDown() override {
    file_match_close_all();
    EXPECT_EQ(os_find_open_streams(), 0);
    BuiltinTest::TearDown();
  }

  // Every result of one walk: start 1, then 0 until the empty result.
  std::vector<std::string> walk(const std::string& spec, std::string* end_rc = nullptr) {
    std::vector<std::string> out;
    Out o = call("file_match", {spec, "1"});
    for (int guard = 0; o.value != "" && guard < 100; ++guard) {
      EXPECT_EQ(o.rc, "0") << o.value;
      out.push_back(o.value);
      o = call("file_match", {spec, "0"});
    }
    if (end_rc) *end_rc = o.rc;
    return out;
  }
  static std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

  bitest::ScratchDir dir_;
  std::string d_;
};

TEST_F(FileMatch, WalksTheMatchesOneCallAtATime) {
  Out first = call("file_match", {d_ + "*.txt", "1"});
  Out second = call("file_match", {d_ + "*.txt", "0"});
  Out third = call("file_match", {d_ + "*.txt", "0"});
  EXPECT_EQ(sorted({first.value, second.value}), (std::vector<std::string>{d_ + "a.txt", d_ + "b.txt"}));
  EXPECT_EQ(first.rc, "0");
  EXPECT_EQ(second.rc, "0");
  EXPECT_EQ(third.value, "");
  EXPECT_EQ(third.rc, "-2");
  // Past the end it keeps answering the same.
  EXPECT_EQ(call("file_match", {"", "0"}).rc, "-2");
  // Start 1 begins again, whatever the walk before did.
  EXPECT_EQ(call("file_match", {d_ + "c*", "1"}).value, d_ + "c.log");
  EXPECT_EQ(file_match_depth(), 2);
}

struct SpecCase {
  std::string spec;  // relative to the scratch directory
  std::vector<std::string> want;
  const char* end_rc;
};

TEST_F(FileMatch, PrefixDirectoriesAndOptions) {
  const SpecCase cases[] = {
      // Without wildcards a specification matches every name it begins (P is on).
      {"b", {"b.txt"}, "-2"},
      {"-P b", {}, "-2"},
      {"-P b.txt", {"b.txt"}, "-2"},
      // Directories come with a '/'; -D leaves them out.
      {"s", {"sub/"}, "-2"},
      {"-D s", {}, "-2"},
      // X keeps only directories.
      {"+X *", {"../", "./", "empty/", "sub/"}, "-2"},
      {"+x -d *", {}, "-2"},
      // Letters in any case; A, H, R and S are accepted and do nothing.
      {"+ahrs -p A.TXT", {}, "-2"},
      // The last specification word counts; a quoted one may hold blanks.
      {"nothing*  *.log", {"c.log"}, "-2"},
      // A directory that does not exist: not found.
      {"nodir/*", {}, "-2"},
  };
  for (const SpecCase& c : cases) {
    SCOPED_TRACE(c.spec);
    // Put the directory in front of the last word.
    std::string spec = c.spec;
    const size_t last = spec.rfind(' ');
    spec.insert(last == std::string::npos ? 0 : last + 1, d_);
    std::string end;
    std::vector<std::string> want;
    for (const auto& w : c.want) want.push_back(d_ + w);
    EXPECT_EQ(sorted(walk(spec, &end)), want);
    EXPECT_EQ(end, c.end_rc);
  }
  bitest::write_file(dir_ / "with blank.txt", "");
  EXPECT_EQ(walk("-P \"" + d_ + "with blank.txt\""), (std::vector<std::string>{d_ + "with blank.txt"}));
}

TEST_F(FileMatch, RecursionListsADirectoryBeforeItsSubdirectories) {
  std::string end;
  const std::vector<std::string> got = walk("+T " + d_ + "*.txt", &end);
  ASSERT_EQ(sorted(got),
            (std::vector<std::string>{d_ + "a.txt", d_ + "b.txt", d_ + "sub/deeper/y.txt", d_ + "sub/x.txt"}));
  auto at = [&](const std::string& leaf) { return std::find(got.begin(), got.end(), d_ + leaf) - got.begin(); };
  EXPECT_LT(std::max(at("a.txt"), at("b.txt")), std::min(at("sub/x.txt"), at("sub/deeper/y.txt")));
  EXPECT_LT(at("sub/x.txt"), at("sub/deeper/y.txt"));
  // The end of a recursive walk reads as "not found" too, and stays so.
  EXPECT_EQ(end, "-2");
  EXPECT_EQ(call("file_match", {"", "0"}).rc, "-2");
  EXPECT_EQ(os_find_open_streams(), 0);
}

TEST_F(FileMatch, LongLinesCarrySizeDateModeAndPath) {
  const std::vector<std::string> got = walk("+V -P " + d_ + "b.txt");
  ASSERT_EQ(got.size(), 1u);
  const std::string& line = got[0];
  // "  " + size in 9 + date in 10 + time in 8 + mode in 11, blanks to 42, then the path.
  EXPECT_EQ(line.substr(0, 11), "          2");
  EXPECT_NE(line.find("-rw-r--r--"), std::string::npos) << line;
  EXPECT_EQ(line.substr(42), d_ + "b.txt");
}

TEST_F(FileMatch, StartTwoEndsTheWalkAndStartZeroBeginsOneWhenNoneIsOpen) {
  EXPECT_EQ(call("file_match", {d_ + "*.txt", "1"}).rc, "0");
  Out end = call("file_match", {"ignored", "2"});
  EXPECT_EQ(end.value, "");
  EXPECT_EQ(file_match_depth(), 0);
  EXPECT_EQ(os_find_open_streams(), 0);
  // Nothing is open: start 0 begins a walk of its specification.
  EXPECT_EQ(call("file_match", {d_ + "c*", "0"}).value, d_ + "c.log");
  EXPECT_EQ(call("file_match", {d_ + "c*", "0"}).rc, "-2");
}

TEST_F(FileMatch, RefusesBadOptionsAndStarts) {
  struct Case {
    std::vector<std::string> args;
    ErrorCode raised;
    ErrorCode stop;
  };
  const Case cases[] = {
      // -3030 is raised but the macro goes on with the empty result.
      {{"+Q *", "1"}, ERR_INVALID_OPTION, 0},
      {{"+Y *", "1"}, ERR_INVALID_OPTION, 0},
      {{"-t+ *", "1"}, ERR_INVALID_OPTION, 0},
      {{"*", "x"}, ERR_INVALID_NUMBER_ARGUMENT, ERR_INVALID_NUMBER_ARGUMENT},
      {{"*", "3"}, ERR_INVALID_ARGUMENT, ERR_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    Out o = call("file_match", c.args);
    EXPECT_EQ(o.raised, c.raised);
    EXPECT_EQ(o.stop, c.stop);
    EXPECT_EQ(o.value, "");
    EXPECT_EQ(o.rc, std::to_string(c.raised));
  }
}

TEST(FileMatchOptions, ParserSetsAndClearsFromTheCallersDefaults) {
  struct Case {
    const char* line;
    uint32_t attrs, flags;
    const char* spec;
    ErrorCode rc;
  };
  const Case cases[] = {
      {"", kMatchAttrDirs, kMatchPrefix, "keep", 0},
      {"+tv -p -d", 0, kMatchRecurse | kMatchLong, "keep", 0},
      {"+TVXP  a*.c  +D", kMatchAttrDirs, kMatchRecurse | kMatchLong | kMatchDirsOnly | kMatchPrefix, "a*.c", 0},
      {"x.c y.c", kMatchAttrDirs, kMatchPrefix, "y.c", 0},
      {"\"a b.c\" -x", kMatchAttrDirs, kMatchPrefix, "a b.c", 0},
      {"\"unclosed name", kMatchAttrDirs, kMatchPrefix, "unclosed name", 0},
      {"+Z", kMatchAttrDirs, kMatchPrefix, "keep", ERR_INVALID_OPTION},
      {"+1", kMatchAttrDirs, kMatchPrefix, "keep", ERR_INVALID_OPTION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    uint32_t attrs = kMatchAttrDirs, flags = kMatchPrefix;
    LStrLine spec("keep");
    EXPECT_EQ(file_match_parse_options(c.line, &attrs, &flags, spec, spec.cap), c.rc);
    if (c.rc) continue;
    EXPECT_EQ(attrs, c.attrs);
    EXPECT_EQ(flags, c.flags);
    EXPECT_EQ(spec.view(), c.spec);
  }
}

}  // namespace

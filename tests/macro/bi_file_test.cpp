// The file built-ins as byte code: file and directory operations (with
// "Access denied" from an unprivileged child), copies that never put the
// destination at risk, the spill directory and cache sizes, the load-state
// byte, dates and times on a set clock, delays, raw reads and writes on
// handles, host and domain names.
#include "macro/bi_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "macro/code_cache.h"
#include "macro/names.h"
#include "tests/macro/builtin_fixture.h"
#include "tests/support/headless/proc_fakes.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/store_edit.h"

namespace {

using bitest::check;
using bitest::Out;
using bitest::Step;

// Exit status of a child that cannot reach the scratch directory.
constexpr int kCannotReach = 77;

class FileBi : public bitest::BufferBuiltinTest {
 protected:
  void SetUp() override {
    BufferBuiltinTest::SetUp();
    file_bi_settings = FileBiSettings{};
    file_bi_set_clock(nullptr);
    proctest::install();
    saved_cache_limit_ = cache_limit();
    d_ = dir_.path() + "/";
  }
  void TearDown() override {
    file_bi_settings = FileBiSettings{};
    file_bi_set_clock(nullptr);
    proctest::install();
    cache_set_limit(saved_cache_limit_);
    uitest::ui.break_flagged = false;
    BufferBuiltinTest::TearDown();
  }
  // Leaves of the scratch directory (temporary copies would show here).
  std::vector<std::string> leaves(const std::string& sub = "") {
    std::vector<std::string> out;
    if (DIR* dir = ::opendir((d_ + sub).c_str())) {
      while (dirent* e = ::readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.emplace_back(e->d_name);
      ::closedir(dir);
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  int64_t saved_cache_limit_ = -1;
  bitest::ScratchDir dir_;
  std::string d_;
};

TEST_F(FileBi, FileAndDirectoryOperations) {
  bitest::write_file(dir_ / "gone.txt", "x");
  const std::string odd = d_ + "a b; touch injected";
  const Step steps[] = {
      {"path_length", {"/a/b/c.txt"}, 0, "", "5"},
      {"path_length", {"c.txt"}, 0, "", "0"},
      {"path_length", {"a/"}, 0, "", "2"},
      {"file_mkdir", {"  " + d_ + "new  "}, 0, "0", ""},
      {"file_mkdir", {d_ + "new"}, 0, "-38", ""},
      // No shell: the name is made as it is.
      {"file_mkdir", {odd}, 0, "0", ""},
      {"file_mkdir", {"\"" + d_ + "quoted dir\""}, 0, "0", ""},
      {"file_rmdir", {d_ + "new"}, 0, "0", ""},
      {"file_rmdir", {d_ + "new"}, 0, "-3", ""},
      {"file_rmdir", {"\"" + d_ + "quoted dir/..\""}, 0, "-3", ""},
      {"file_delete", {" \"" + d_ + "gone.txt\" "}, 0, "0", ""},
      {"file_delete", {d_ + "gone.txt"}, 0, "-2", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.mnemonic) + " " + (s.args.empty() ? "" : s.args[0]));
    check(s, call(s.mnemonic, s.args));
  }
  struct stat sb;
  EXPECT_EQ(::stat(odd.c_str(), &sb), 0);
  EXPECT_NE(::stat((d_ + "injected").c_str(), &sb), 0);
  EXPECT_NE(::stat("injected", &sb), 0);
  EXPECT_EQ(::stat((d_ + "quoted dir").c_str(), &sb), 0);
}

TEST_F(FileBi, AccessDeniedForAnUnprivilegedUser) {
  // A directory only its owner (root) may change.
  ::mkdir((dir_ / "locked").c_str(), 0755);
  bitest::write_file(dir_ / "locked/keep.txt", "keep");
  bitest::write_file(dir_ / "src.txt", "new text");
  const std::string locked = d_ + "locked/";
  const int status = bitest::as_nobody([&] {
    if (::access(locked.c_str(), X_OK) != 0) return kCannotReach;
    int bad = 0;
    if (call("file_delete", {locked + "keep.txt"}).rc != "-5") bad |= 1;
    if (call("copy_file", {d_ + "src.txt", locked + "keep.txt"}).rc != "-5") bad |= 2;
    if (call("file_mkdir", {locked + "sub"}).rc != "-38") bad |= 4;
    return bad;
  });
  if (status == kCannotReach) GTEST_SKIP() << "the scratch directory is out of an unprivileged user's reach";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(bitest::read_file(locked + "keep.txt"), "keep");
  EXPECT_EQ(leaves("locked"), (std::vector<std::string>{"keep.txt"}));
}

TEST_F(FileBi, CopiesKeepModeAndTimeAndNeverLoseTheDestination) {
  std::string big(100000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  bitest::write_file(dir_ / "src.txt", big, 0640);
  const struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};  // 2001
  ASSERT_EQ(::utimensat(AT_FDCWD, (d_ + "src.txt").c_str(), old_times, 0), 0);
  bitest::write_file(dir_ / "old.txt", "old contents");
  bitest::write_file(dir_ / "ro.txt", "read only", 0444);

  // A fresh copy, in chunks, with the source's mode and times.
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", "  \"" + d_ + "dest.txt\"  "}).rc, "0");
  EXPECT_EQ(bitest::read_file(d_ + "dest.txt"), big);
  struct stat sb;
  ASSERT_EQ(::stat((d_ + "dest.txt").c_str(), &sb), 0);
  EXPECT_EQ(sb.st_mode & 07777, 0640u);
  EXPECT_EQ(sb.st_mtim.tv_sec, 1000000000);
  // Over an existing file.
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", d_ + "old.txt"}).rc, "0");
  EXPECT_EQ(bitest::read_file(d_ + "old.txt"), big);

  struct Refusal {
    std::string src, dest, rc;
  };
  const Refusal refusals[] = {
      // A read-only destination, even for the super-user.
      {d_ + "src.txt", d_ + "ro.txt", "-5"},
      {d_ + "missing.txt", d_ + "ro.txt", "-2"},
      {d_ + "missing.txt", d_ + "old.txt", "-2"},
      // A source that cannot be read to the end: the destination stays.
      {d_, d_ + "old.txt", "*"},
      {d_ + "src.txt", d_ + "nodir/x.txt", "*"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.src + " -> " + r.dest);
    const std::string before = bitest::read_file(r.dest);
    Out o = call("copy_file", {r.src, r.dest});
    if (r.rc == "*") {
      EXPECT_NE(o.rc, "0");
    } else {
      EXPECT_EQ(o.rc, r.rc);
    }
    EXPECT_EQ(bitest::read_file(r.dest), before);
  }
  // No temporary copy is left behind.
  EXPECT_EQ(leaves(), (std::vector<std::string>{"dest.txt", "old.txt", "ro.txt", "src.txt"}));
  // A device is written into, never replaced; a directory is refused.
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", "/dev/null"}).rc, "0");
  ASSERT_EQ(::stat("/dev/null", &sb), 0);
  EXPECT_TRUE(S_ISCHR(sb.st_mode));
  ::mkdir((dir_ / "adir").c_str(), 0755);
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", d_ + "adir"}).rc, "-5");
  EXPECT_EQ(leaves("adir"), std::vector<std::string>{});
}

// A copy that fails part-way (the file-size limit stops its writes) leaves
// the destination as it was and no partial file behind.
TEST_F(FileBi, AFailedWriteLeavesTheDestination) {
  bitest::write_file(dir_ / "src.txt", std::string(100000, 's'));
  bitest::write_file(dir_ / "old.txt", "old contents");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit small = {40000, 40000};
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(2);
    ::_exit(call("copy_file", {d_ + "src.txt", d_ + "old.txt"}).rc == "-34" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(bitest::read_file(d_ + "old.txt"), "old contents");
  EXPECT_EQ(leaves(), (std::vector<std::string>{"old.txt", "src.txt"}));
}

TEST_F(FileBi, CopiesOntoLinksReplaceTheFileTheyName) {
  bitest::write_file(dir_ / "src.txt", "new");
  bitest::write_file(dir_ / "real.txt", "old");
  ::symlink("real.txt", (dir_ / "link.txt").c_str());
  ::symlink((d_ + "link.txt").c_str(), (dir_ / "chain.txt").c_str());
  ::symlink("later.txt", (dir_ / "dangling.txt").c_str());
  ::symlink("loop2", (dir_ / "loop1").c_str());
  ::symlink("loop1", (dir_ / "loop2").c_str());
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", d_ + "chain.txt"}).rc, "0");
  EXPECT_EQ(bitest::read_file(d_ + "real.txt"), "new");
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", d_ + "dangling.txt"}).rc, "0");
  EXPECT_EQ(bitest::read_file(d_ + "later.txt"), "new");
  EXPECT_EQ(call("copy_file", {d_ + "src.txt", d_ + "loop1"}).rc, "-32");
  struct stat sb;
  for (const char* link : {"link.txt", "chain.txt", "dangling.txt", "loop1"}) {
    ASSERT_EQ(::lstat((dir_ / link).c_str(), &sb), 0) << link;
    EXPECT_TRUE(S_ISLNK(sb.st_mode)) << link;
  }
}

// A clock set by the test.
SysTime fake_now{};
void set_clock(int year, int month, int day, int hour, int minute, int ms) {
  fake_now = SysTime{static_cast<uint16_t>(year - 1900),
                     static_cast<uint16_t>(month),
                     static_cast<uint16_t>(day),
                     static_cast<uint16_t>(hour),
                     static_cast<uint16_t>(minute),
                     static_cast<uint16_t>(ms),
                     0};
}

TEST_F(FileBi, DatesAndTimesOfASetClock) {
  file_bi_set_clock([](SysTime* out) { *out = fake_now; });
  struct Case {
    int y, mo, d, h, mi, ms;
    const char* mnemonic;
    std::vector<std::string> args;
    ErrorCode raised;
    const char* want;
  };
  const Case cases[] = {
      {1996, 3, 9, 0, 0, 0, "date", {}, 0, "3/9/96"},
      {2025, 12, 31, 0, 0, 0, "date", {"ignored"}, 0, "12/31/125"},
      {1996, 3, 9, 0, 5, 0, "time", {}, 0, "12:05am"},
      {1996, 3, 9, 12, 0, 0, "time", {"t"}, 0, "12:00pm"},
      {1996, 3, 9, 13, 7, 9500, "time", {"T"}, 0, "1:07pm"},
      {1996, 3, 9, 13, 7, 9500, "time", {"M"}, 0, "13:07:09"},
      {1996, 3, 9, 13, 7, 9500, "time", {" m "}, 0, "13:07:09"},
      {1996, 3, 9, 13, 7, 9500, "time", {"B"}, 0, "47229500"},
      {1996, 3, 9, 23, 59, 59999, "time", {"B"}, 0, "86399999"},
      {1996, 3, 9, 13, 7, 9500, "time", {""}, 0, "1:07pm"},
      {1996, 3, 9, 13, 7, 9500, "time", {"X"}, ERR_INVALID_ARGUMENT, ""},
      {1996, 3, 9, 13, 7, 9500, "time", {"T", "M"}, ERR_INVALID_ARGUMENT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mnemonic) + " " + c.want);
    set_clock(c.y, c.mo, c.d, c.h, c.mi, c.ms);
    Out o = call(c.mnemonic, c.args);
    EXPECT_EQ(o.raised, c.raised);
    EXPECT_EQ(o.value, c.want);
  }
}

TEST_F(FileBi, FileDateIsASortableKey) {
  bitest::write_file(dir_ / "dated.txt", "x");
  struct tm tm {};
  tm.tm_year = 96;
  tm.tm_mon = 2;
  tm.tm_mday = 9;
  tm.tm_hour = 13;
  tm.tm_min = 7;
  tm.tm_sec = 9;
  tm.tm_isdst = -1;
  const struct timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (d_ + "dated.txt").c_str(), times, 0), 0);
  const Step steps[] = {
      {"file_date", {d_ + "dated.txt", "B"}, 0, "0", "19960309130709000"},
      {"file_date", {d_ + "dated.txt", " b "}, 0, "0", "19960309130709000"},
      {"file_date", {d_ + "missing.txt", "B"}, 0, "-2", ""},
      {"file_date", {d_ + "dated.txt"}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"file_date", {d_ + "dated.txt", ""}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"file_date", {d_ + "dated.txt", "C"}, ERR_INVALID_ARGUMENT, "-3015", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.args.size() > 1 ? s.args[1] : "no option");
    check(s, call(s.mnemonic, s.args));
  }
  FileTime ft{9500, 7, 13, 9, 3, 1996};
  LStrBuf<40> key;
  datetime_key_text(key, key.cap, ft);
  EXPECT_EQ(key.view(), "19960309130709500");
}

TEST_F(FileBi, SpillDirectoryFollowsTheSettingUntilTheSpillFileExists) {
  ::mkdir((dir_ / "spill").c_str(), 0755);
  const Step steps[] = {
      {"spill_dir", {}, 0, "", ""},
      {"spill_dir", {"  " + d_ + "spill  "}, 0, "", d_ + "spill/"},
      {"spill_dir", {}, 0, "", d_ + "spill/"},
      {"spill_dir", {std::string(255, 'x')}, ERR_INVALID_ARGUMENT, "-3015", ""},
      {"spill_dir", {"a", "b"}, ERR_INVALID_ARGUMENT, "-3015", ""},
  };
  for (const Step& s : steps) check(s, call(s.mnemonic, s.args));
  EXPECT_EQ(store_spill_dir(), d_ + "spill/");
  // With room for three pages, new text pushes pages out into the spill file.
  int32_t kb = 20, limit = 0;
  ASSERT_EQ(store_set_page_limit(kb, limit), 0);
  open("one\n");
  const std::string line(200, 'x');
  for (int i = 0; i < 400; ++i) ASSERT_EQ(line_insert_text(line.data(), 200, view_, buf_), 0);
  ASSERT_FALSE(store_spill_path().empty());
  EXPECT_EQ(store_spill_path().rfind(d_ + "spill/$zvx.", 0), 0u) << store_spill_path();
  // The setting still changes; the store keeps its file where it is.
  EXPECT_EQ(call("spill_dir", {"/var/tmp"}).value, "/var/tmp/");
  EXPECT_EQ(store_spill_dir(), d_ + "spill/");
  EXPECT_EQ(call("spill_dir", {""}).value, "");
}

TEST_F(FileBi, CacheSizesSetTheStoreAndTheCodeCache) {
  cache_set_limit(-1);  // the code cache in use, without a limit
  EXPECT_EQ(call("cache_size", {}).value, "-1 200");
  Out o = call("cache_size", {"2000 40000"});
  int32_t kb = 0, code = 0;
  ASSERT_EQ(std::sscanf(o.value.c_str(), "%d %d", &kb, &code), 2) << o.value;
  // Whole pages near 2000 KB; the code cache at its 150 KB floor.
  EXPECT_NEAR(kb, 2000, store_alloc_size() / 1024 + 1);
  EXPECT_EQ(kb, static_cast<int32_t>(static_cast<int64_t>(store_page_limit()) * store_alloc_size() / 1024));
  EXPECT_EQ(code, 150);
  EXPECT_EQ(cache_limit(), 150 * 1024);
  const Step steps[] = {
      // Too small for the store: raised, and nothing changes.
      {"cache_size", {"1 500"}, ERR_NOT_ENOUGH_MEMORY, "-2029", o.value},
      {"cache_size", {}, 0, "", o.value},
      {"cache_size", {"40000"}, 0, "", "-1 150"},
      {"cache_size", {"-1 300"}, 0, "", "-1 300"},
      {"cache_size", {" 32767   -7 99"}, 0, "", "-1 150"},
      {"cache_size", {"abc"}, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"cache_size", {"-1 1e3"}, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.args.empty() ? "" : s.args[0]);
    check(s, call(s.mnemonic, s.args));
  }
  EXPECT_EQ(store_page_limit(), -1);
  // A new limit drops what no longer fits at once.
  ASSERT_EQ(name_pool_init(), 0);
  NameEntry e;
  e.flags = NF_EVENT_TABLE;
  const int32_t table = name_insert("big-table", e);
  ASSERT_GT(table, 0);
  constexpr uint32_t kBig = 200 * 1024;
  cache_register(static_cast<uint32_t>(table), static_cast<uint8_t*>(std::malloc(kBig)), 4096, kBig, 0, NS_RESIDENT);
  EXPECT_EQ(call("cache_size", {"-1 1000"}).value, "-1 1000");
  EXPECT_NE(name_block(static_cast<uint32_t>(table)), nullptr);
  EXPECT_EQ(call("cache_size", {"-1 150"}).value, "-1 150");
  EXPECT_EQ(name_block(static_cast<uint32_t>(table)), nullptr);
  ASSERT_EQ(name_pool_init(), 0);
  // An inactive code cache keeps its state; the setting still changes.
  cache_set_limit(0);
  EXPECT_EQ(call("cache_size", {"-1 400"}).value, "-1 400");
  EXPECT_EQ(cache_limit(), 0);
}

TEST_F(FileBi, LoadStateByteOfTheCurrentBuffer) {
  EXPECT_EQ(call("buf_page_loaded_flag", {}).raised, ERR_NOT_ALLOWED_ON_OBJECT);
  open("text\n");
  const Step steps[] = {
      {"buf_page_loaded_flag", {"5"}, 0, "", "5"},
      {"buf_page_loaded_flag", {}, 0, "", "5"},
      {"buf_page_loaded_flag", {"0"}, 0, "", "0"},
      {"buf_page_loaded_flag", {"x"}, ERR_INVALID_NUMBER_ARGUMENT, "-3009", ""},
      {"buf_page_loaded_flag", {"1", "2"}, ERR_INVALID_ARGUMENT, "-3015", ""},
  };
  for (const Step& s : steps) check(s, call(s.mnemonic, s.args));
  EXPECT_EQ(buf_->load_state, 0);
}

TEST_F(FileBi, RawReadsAndWritesOnHandles) {
  bitest::write_file(dir_ / "raw.bin", std::string(3000, 'r'));
  const int fd = ::open((d_ + "raw.bin").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string h = std::to_string(fd);
  EXPECT_EQ(call("file_write", {h, "hello"}).value, "5");
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  struct Case {
    std::vector<std::string> args;
    ErrorCode raised;
    const char* count;
    std::string bytes;
  };
  const Case cases[] = {
      {{h, "3"}, 0, "3", "hel"}, {{h, "0"}, 0, "0", ""},
      {{h, "-4"}, 0, "0", ""},   {{h, "5000"}, 0, "1024", "lo" + std::string(1022, 'r')},  // at most 1024
      {{"-1", "5"}, 0, "0", ""}, {{"x", "5"}, ERR_INVALID_NUMBER_ARGUMENT, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    Out o = call("file_read", c.args);
    EXPECT_EQ(o.raised, c.raised);
    EXPECT_EQ(o.value, c.count);
    ASSERT_EQ(o.vars.size(), 1u);
    EXPECT_EQ(o.vars[0], c.bytes);
  }
  EXPECT_EQ(call("file_write", {"-1", "x"}).value, "-34");
  EXPECT_EQ(call("file_write", {"q", "x"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
  ::close(fd);
  EXPECT_EQ(bitest::read_file(d_ + "raw.bin").substr(0, 6), "hellor");
}

TEST_F(FileBi, HostAndDomainNames) {
  char host[1100] = {}, domain[1100] = {};
  ASSERT_EQ(::gethostname(host, 1024), 0);
  ASSERT_EQ(::getdomainname(domain, 1024), 0);
  EXPECT_EQ(call("hostname", {}).value, host);
  EXPECT_EQ(call("domainname", {}).value, domain);
}

struct DelayLog {
  static inline std::vector<std::pair<int32_t, bool>> calls;
  static inline bool pending = false;
  static void delay(int32_t t, bool k) { calls.emplace_back(t, k); }
  static bool input() { return pending; }
};

TEST_F(FileBi, DelaysHandTheirOptionToTheWait) {
  proctest::proc = {DelayLog::delay, DelayLog::input};
  DelayLog::calls.clear();
  DelayLog::pending = false;
  EXPECT_EQ(call("delay", {"50"}).raised, 0);
  EXPECT_EQ(call("delay", {"-1", "k"}).raised, 0);
  DelayLog::pending = true;
  EXPECT_EQ(call("delay", {"50", "K"}).raised, 0);  // input waits: back at once
  EXPECT_EQ(call("delay", {"7"}).raised, 0);
  EXPECT_EQ(DelayLog::calls, (std::vector<std::pair<int32_t, bool>>{{50, false}, {-1, true}, {7, false}}));
  EXPECT_EQ(call("delay", {"x"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(call("delay", {"5", "Q"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("delay", {}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(DelayLog::calls.size(), 3u);

  // The plain wait sleeps its time, and the break key ends even an endless one.
  proctest::install();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(call("delay", {"3"}).raised, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
  uitest::ui.key_down = true;  // seen when the wait looks at the keyboard
  EXPECT_EQ(call("delay", {"-1"}).raised, 0);
  uitest::ui.key_down = false;
}

}  // namespace

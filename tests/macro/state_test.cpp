#include "macro_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include "base/le.h"
#include "macro/state_settings.h"
#include "tests/special_files.h"

namespace {

struct Snapshot {
  struct Entry {
    uint32_t flags;
    std::string name, info;
    uint32_t data_word;  // callables and variables: data; data entries: 0
    std::vector<uint8_t> block;
  };
  std::vector<Entry> entries;
  bool operator==(const Snapshot&) const = default;
};
bool operator==(const Snapshot::Entry& a, const Snapshot::Entry& b) {
  return a.flags == b.flags && a.name == b.name && a.info == b.info && a.data_word == b.data_word && a.block == b.block;
}

// Every entry with its name, info, data word and (loaded) data block.
Snapshot snapshot() {
  Snapshot s;
  for (int i = 1; i < name_count(); ++i) {
    Snapshot::Entry e{name_is_valid(uint32_t(i)), {}, {}, 0, {}};
    if (e.flags) {
      e.name = name_text(uint32_t(i));
      e.info = name_info(uint32_t(i));
      NameEntry* n = name_entry(uint32_t(i));
      if (n->flags & NF_HAS_DATA) {
        EXPECT_EQ(name_load_data(uint32_t(i)), 0) << e.name;
        e.block.assign(name_block(uint32_t(i)), name_block(uint32_t(i)) + n->size);
      } else {
        e.data_word = n->data;
      }
    }
    s.entries.push_back(e);
  }
  return s;
}

struct StateTest : MacroFilesTest {
  SettingsBlock settings = settings_defaults();

  void SetUp() override {
    MacroFilesTest::SetUp();
    state_register_settings(settings.data(), kSettingsBytes);
  }
  void TearDown() override {
    state_register_settings(nullptr, 0);
    MacroFilesTest::TearDown();
  }
  // Loads the sample module and a plain module without entries.
  void load_modules() {
    write_file(path("a.ex"), sample_module().file());
    ModuleBuilder plain;
    plain.add_link(LK_PROC, plain.add_string("helper"), 0, add_proc(plain));
    write_file(path("b.ex"), plain.file());
    uint32_t i;
    bool mf;
    ASSERT_EQ(mod_load_file(path("a.ex"), &i, &mf, true), 0);
    ASSERT_EQ(mod_load_file(path("b.ex"), &i, &mf, true), 0);
    name_delete(name_find("elsewhere", NF_CALLABLE), true);  // leave a freed entry
    int32_t x = name_create("x-table", NF_EVENT_TABLE, std::nullopt);
    ASSERT_GT(x, 0);
    name_block(uint32_t(x))[100] = 7;
  }
  void fresh_process() {
    ASSERT_EQ(name_pool_init(), 0);
    state_reset_read_flag();
  }
};

TEST_F(StateTest, WrittenAndReadBackGivesTheSameNamesAndCode) {
  for (int64_t limit : {int64_t(0), int64_t(-1)}) {
    SCOPED_TRACE(limit);
    fresh_process();
    cache_set_limit(limit);
    load_modules();
    settings[SET_INSERT_MODE] = 0;
    Snapshot before = snapshot();
    ASSERT_EQ(state_write(path("z.stu")), 0);
    fresh_process();
    settings = SettingsBlock{};
    cache_set_limit(limit);
    uint32_t index = 99;
    bool module_file = true;
    ASSERT_EQ(state_read(path("z.stu"), &index, &module_file), 0);
    EXPECT_FALSE(module_file);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(settings_insert_mode(settings), false);
    EXPECT_EQ(settings_colour(settings, 0, true), 0xC0C0C0u);
    EXPECT_TRUE(name_table_check());
  }
}

TEST_F(StateTest, CacheReadsOnlyTheFirstGroupAndLoadsTheRestOnce) {
  cache_set_limit(-1);
  load_modules();
  uint32_t a = name_find("a.ex", NF_MODULE), b = name_find("b.ex", NF_MODULE);
  uint32_t table = name_find("x-table", NF_EVENT_TABLE);
  ASSERT_EQ(state_write(path("z.stu")), 0);
  // After the write, the locked blocks are unlocked and can be dropped.
  EXPECT_FALSE(name_entry(table)->state & NS_LOCKED);
  fresh_process();
  cache_set_limit(-1);
  ASSERT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
  EXPECT_TRUE(name_entry(a)->state & NS_RESIDENT);  // has main and init: first group
  EXPECT_FALSE(name_entry(b)->state & NS_RESIDENT);
  EXPECT_FALSE(name_entry(table)->state & NS_RESIDENT);
  uint64_t loads = cache_load_count();
  ASSERT_EQ(name_load_data(table), 0);
  ASSERT_EQ(name_load_data(table), 0);
  EXPECT_EQ(cache_load_count(), loads + 1);
  EXPECT_EQ(name_block(table)[100], 7);
  ASSERT_EQ(name_load_data(b), 0);
  EXPECT_EQ(module_verify({name_block(b), name_entry(b)->size}, {}, true), 0);
}

TEST_F(StateTest, EvictionDropsLeastRecentlyUsedUnlockedBlocksOnly) {
  cache_set_limit(-1);
  std::vector<uint32_t> tables;
  for (int i = 0; i < 5; ++i)
    tables.push_back(uint32_t(name_create("t" + std::to_string(i), NF_EVENT_TABLE, std::nullopt)));
  ASSERT_EQ(state_write(path("z.stu")), 0);
  fresh_process();
  cache_set_limit(-1);
  ASSERT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
  for (uint32_t t : tables) ASSERT_EQ(name_load_data(t), 0);
  name_pin_data(tables[0]);  // oldest, but locked
  cache_set_limit(3 * kEventTableBytes);
  ASSERT_EQ(name_data_alloc(nullptr, 0), 0);
  EXPECT_TRUE(name_entry(tables[0])->state & NS_RESIDENT);
  EXPECT_FALSE(name_entry(tables[1])->state & NS_RESIDENT);
  EXPECT_TRUE(name_entry(tables[4])->state & NS_RESIDENT);
  EXPECT_LE(cache_resident_total(), uint64_t(3 * kEventTableBytes));
  EXPECT_TRUE(cache_check());
}

TEST_F(StateTest, RelinkPendingRefusesAndLeavesTheOldFile) {
  load_modules();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> old = read_file(path("z.stu"));
  mod_unload(name_find("b.ex", NF_MODULE), true, "b.ex");
  EXPECT_EQ(state_write(path("z.stu")), ERR_WRITE_STATE_DURING_RELINK);
  EXPECT_EQ(read_file(path("z.stu")), old);
}

TEST_F(StateTest, SecondStateFileAndBadHeadersAreRefused) {
  load_modules();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> good = read_file(path("z.stu"));
  fresh_process();
  ASSERT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
  EXPECT_EQ(state_read(path("z.stu"), nullptr, nullptr), ERR_INCORRECT_VERSION);  // second one

  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
    int expect;
  } cases[] = {
      {"version", 0, 0x80, ERR_INCORRECT_VERSION},
      {"second byte", 2, 2, ERR_INCORRECT_VERSION},
      {"type 5", 3, 5, ERR_INTERPRETER_OUT_OF_MEMORY},
      {"unknown type", 3, 17, ERR_INTERPRETER_OUT_OF_MEMORY},
      {"length past the end", 7, 0x7F, ERR_INCORRECT_VERSION},
      {"header record length", 4, 13, ERR_INCORRECT_VERSION},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    bad[c.offset] = c.value;
    write_file(path("bad.stu"), bad);
    fresh_process();
    EXPECT_EQ(state_read(path("bad.stu"), nullptr, nullptr), c.expect) << c.what;
    EXPECT_TRUE(name_table_check()) << c.what;
  }
  write_file(path("five.stu"), {0x81, 0x3E, 1, 5, 0, 0, 0, 0});
  fresh_process();
  EXPECT_EQ(state_read(path("five.stu"), nullptr, nullptr), ERR_INTERPRETER_OUT_OF_MEMORY);
  fresh_process();
  EXPECT_EQ(state_read(path("missing.stu"), nullptr, nullptr), ERR_FILE_NOT_FOUND);
}

// Whatever else stands under a state file's name (or a module's, which the
// same reader reads) is refused as no state file, at once: a FIFO is never
// waited on and /dev/zero never read.
TEST_F(StateTest, SpecialFilesInPlaceOfTheStateFileAreRefusedAtOnce) {
  for (const zvxtest::SpecialCase& c : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(c.name);
    zvxtest::make_special(path("zorvex.stu"), c.kind);
    fresh_process();
    zvxtest::Watchdog watch(std::string("state_read of ") + c.name);
    EXPECT_EQ(state_read(path("zorvex.stu"), nullptr, nullptr), ERR_INCORRECT_VERSION);
    EXPECT_TRUE(name_table_check());
  }
}

// Every truncation and many single-byte corruptions give an error code (or a
// consistent table), never a crash; run under ASan this checks the bounds.
TEST_F(StateTest, TruncatedAndCorruptedFilesNeverReadOutOfBounds) {
  cache_set_limit(0);
  load_modules();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> good = read_file(path("z.stu"));
  std::vector<uint8_t> module = sample_module().file();
  for (const std::vector<uint8_t>* file : {&good, &module}) {
    for (size_t n = 0; n < file->size(); n += 1 + n / 64) {
      write_file(path("cut"), std::vector<uint8_t>(file->begin(), file->begin() + long(n)));
      fresh_process();
      cache_set_limit(0);
      EXPECT_NE(state_read(path("cut"), nullptr, nullptr), 0) << "cut at " << n;
      EXPECT_TRUE(name_table_check());
    }
    for (size_t at = 0; at < file->size(); at += 3) {
      std::vector<uint8_t> bad = *file;
      bad[at] ^= uint8_t(0x5A + at);
      write_file(path("flip"), bad);
      fresh_process();
      cache_set_limit(0);
      state_read(path("flip"), nullptr, nullptr);
      ASSERT_TRUE(name_table_check()) << "flip at " << at;
    }
  }
}

// A write that fails at any step leaves the old file byte for byte and no
// temporary file behind.
TEST_F(StateTest, FailedWriteAtAnyStepKeepsTheOldFile) {
  load_modules();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> old = read_file(path("z.stu"));
  name_create("added-later", NF_COMMAND, std::nullopt);
  static int countdown;
  static long (*real_write)(int, const void*, size_t);
  real_write = state_file_ops().write;
  struct Step {
    const char* what;
    void (*rig)();
  } steps[] = {
      {"open",
       [] {
         state_file_ops().open_temp = [](const std::string&, unsigned, std::string&) {
           errno = ENOSPC;
           return -1;
         };
       }},
      {"first write",
       [] {
         countdown = 0;
         state_file_ops().write = [](int fd, const void* p, size_t n) -> long {
           if (countdown-- == 0) {
             errno = ENOSPC;
             return -1;
           }
           return real_write(fd, p, n < 100 ? n : 100);
         };
       }},
      {"later write",
       [] {
         countdown = 5;
         state_file_ops().write = [](int fd, const void* p, size_t n) -> long {
           if (countdown-- == 0) {
             errno = EIO;
             return -1;
           }
           return real_write(fd, p, n < 100 ? n : 100);
         };
       }},
      {"fsync",
       [] {
         state_file_ops().fsync = [](int) {
           errno = EIO;
           return -1;
         };
       }},
      {"rename",
       [] {
         state_file_ops().rename = [](const char*, const char*) {
           errno = EXDEV;
           return -1;
         };
       }},
  };
  for (const Step& s : steps) {
    state_file_ops_reset();
    s.rig();
    EXPECT_NE(state_write(path("z.stu")), 0) << s.what;
    EXPECT_EQ(read_file(path("z.stu")), old) << s.what;
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir))
      files += e.path().filename().string().rfind("$zorvexsv", 0) == 0;
    EXPECT_EQ(files, 0u) << s.what;
  }
  state_file_ops_reset();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  EXPECT_NE(read_file(path("z.stu")), old);
}

// A writer killed in the middle of its write leaves the old file usable.
TEST_F(StateTest, KilledWriterLeavesTheOldFileUsable) {
  load_modules();
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> old = read_file(path("z.stu"));
  for (int kill_after : {0, 1, 3, 8}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      static int left;
      left = kill_after;
      state_file_ops().write = [](int fd, const void* p, size_t n) -> long {
        if (left-- == 0) raise(SIGKILL);
        return long(write(fd, p, n < 64 ? n : 64));
      };
      name_create("in-child", NF_COMMAND, std::nullopt);
      state_write(path("z.stu"));
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read_file(path("z.stu")), old);
    fresh_process();
    EXPECT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
    for (auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().filename().string().rfind("$zorvexsv", 0) == 0) std::filesystem::remove(e.path());
    fresh_process();
    load_modules();
  }
}

// A FIFO named as the state file is written into and stays a FIFO: a rename
// over it would replace the node. A directory is refused and left alone.
TEST_F(StateTest, FifoTargetIsWrittenIntoAndDirectoryRefused) {
  load_modules();
  ASSERT_EQ(state_write(path("plain.stu")), 0);  // settles what the first write changes
  ASSERT_EQ(state_write(path("plain.stu")), 0);
  const std::vector<uint8_t> want = read_file(path("plain.stu"));

  const std::string fifo = path("pipe.stu");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The read end is open first, so the writer never waits; a pipe large
  // enough for the whole state means it never blocks either.
  int rfd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(rfd, 0);
  ASSERT_GE(fcntl(rfd, F_SETPIPE_SZ, int(want.size()) + 4096), int(want.size()));
  EXPECT_EQ(state_write(fifo), 0);
  std::vector<uint8_t> got;
  uint8_t buf[4096];
  ssize_t n;
  while ((n = read(rfd, buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
  close(rfd);
  EXPECT_EQ(got, want);
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  ASSERT_EQ(mkdir(path("d.stu").c_str(), 0700), 0);
  EXPECT_EQ(state_write(path("d.stu")), ERR_ACCESS_DENIED);
  ASSERT_EQ(stat(path("d.stu").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  size_t strays = 0;
  for (auto& e : std::filesystem::directory_iterator(dir))
    strays += e.path().filename().string().rfind("$zorvexsv", 0) == 0;
  EXPECT_EQ(strays, 0u);
}

TEST_F(StateTest, SettingsDefaultsAreUsable) {
  SettingsBlock d = settings_defaults();
  EXPECT_GE(settings_store_limit_kb(d), 3 * 4);  // at least three pages
  EXPECT_TRUE(settings_insert_mode(d));
  EXPECT_GE(settings_cache_limit(d), kCacheMinLimit);
  for (int i = 0; i < kSettingsColourPairs; ++i)
    EXPECT_NE(settings_colour(d, i, false), settings_colour(d, i, true)) << "pair " << i;
}

}  // namespace

#include "macro/interp.h"
#include "macro/names_vm.h"
#include "macro/varheap.h"
#include "tests/macro/opcode_setup.h"

namespace {

// With the interpreter's variable heap attached, the state file carries the
// global variables' values (records 2 and 6) and gives them back.
TEST_F(StateTest, GlobalValuesComeBackFromTheStateFile) {
  ASSERT_EQ(vm_reset(), ERR_OK);
  install_macro_opcodes();
  fresh_process();
  names_attach_vm();
  load_modules();
  auto slot = [](const char* name) { return var_slot_of(name_find(name, NF_GLOBAL | NF_BUFLOCAL)); };
  ASSERT_EQ(var_slot_value(slot("counter")), "5");
  ASSERT_EQ(var_assign_slot(slot("counter"), "a longer value than before"), 0);
  int32_t extra = var_create_global("extra", std::string_view("x\0y", 3));
  ASSERT_GT(extra, 0);
  var_free_slot(var_alloc_global());  // leave a free slot on the list
  ASSERT_EQ(state_write(path("z.stu")), 0);

  ASSERT_EQ(vm_reset(), ERR_OK);
  install_macro_opcodes();
  fresh_process();
  names_attach_vm();
  ASSERT_EQ(state_read(path("z.stu"), nullptr, nullptr), 0);
  EXPECT_EQ(var_slot_value(slot("counter")), "a longer value than before");
  EXPECT_EQ(var_slot_value(slot("extra")), std::string("x\0y", 3));
  EXPECT_EQ(var_slot_value(slot("tab-width")), "8");
  EXPECT_EQ(var_check(), nullptr);
  // Globals handed out after the restore do not collide with restored ones.
  int32_t fresh = var_alloc_global();
  EXPECT_GT(fresh, 0);
  EXPECT_NE(fresh, slot("counter"));
  EXPECT_NE(fresh, slot("extra"));

  // A record 6 whose slot points between blocks is refused; nothing changes.
  std::vector<uint8_t> file = read_file(path("z.stu"));
  size_t at = 0;
  while (at + 8 <= file.size() && file[at + 3] != SR_VAR_AREA) at += 8 + le::get_u32(file.data() + at + 4);
  ASSERT_LT(at + 8, file.size());
  le::put_u32(file.data() + at + 8 + 4 * 1, le::get_u32(file.data() + at + 8 + 4 * 1) + 2);  // rc's slot word
  write_file(path("bad.stu"), file);
  int32_t counter = slot("counter");
  ASSERT_EQ(var_assign_slot(counter, "kept"), 0);
  fresh_process();
  EXPECT_EQ(state_read(path("bad.stu"), nullptr, nullptr), ERR_INCORRECT_VERSION);
  EXPECT_EQ(var_slot_value(counter), "kept");
  EXPECT_EQ(var_check(), nullptr);
  state_var_hooks() = StateVarHooks{};
}

}  // namespace

namespace {

// Entries whose type flags mix kinds are refused: a module that is also a
// DLL function once lost its resident block (found by the fuzzer).
TEST_F(StateTest, EntriesWithMixedTypeFlagsAreRefused) {
  cache_set_limit(0);
  load_modules();
  uint32_t module = name_find("a.ex", NF_MODULE);
  ASSERT_EQ(state_write(path("z.stu")), 0);
  std::vector<uint8_t> good = read_file(path("z.stu"));
  size_t at = 0;
  while (at + 8 <= good.size() && good[at + 3] != SR_NAMES) at += 8 + le::get_u32(good.data() + at + 4);
  ASSERT_LT(at, good.size());
  size_t flags_at = at + 8 + 24 * module;
  for (uint32_t flags : {uint32_t(NF_MODULE | NF_DLL_FUNC), uint32_t(NF_MODULE | NF_EVENT_TABLE),
                         uint32_t(NF_GLOBAL | NF_PROC), uint32_t(NF_EXTERN_PROC), uint32_t(NF_DLL_FUNC)}) {
    std::vector<uint8_t> bad = good;
    le::put_u32(bad.data() + flags_at, flags);
    write_file(path("bad.stu"), bad);
    fresh_process();
    cache_set_limit(0);
    EXPECT_EQ(state_read(path("bad.stu"), nullptr, nullptr), ERR_INCORRECT_VERSION) << std::hex << flags;
    EXPECT_TRUE(name_table_check());
  }
}

}  // namespace

// Shared set-up of the built-in tests: one built-in run as byte code with
// the given arguments, and a private scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store.h"

namespace bitest {

// A fresh directory under TMPDIR (else /tmp), open to everybody so that an
// unprivileged child can work in it; removed with its contents at the end.
class ScratchDir {
 public:
  ScratchDir() {
    const char* t = std::getenv("TMPDIR");
    std::string templ = std::string(t && *t ? t : "/tmp") + "/zvx-bi-XXXXXX";
    if (!::mkdtemp(templ.data())) std::abort();
    path_ = templ;
    ::chmod(path_.c_str(), 0777);
  }
  ~ScratchDir() {
    // Tests leave read-only directories: make everything removable first.
    nftw(
        path_.c_str(),
        [](const char* f, const struct stat* sb, int type, struct FTW*) {
          if (type != FTW_SL && S_ISDIR(sb->st_mode)) ::chmod(f, 0700);
          return 0;
        },
        16, FTW_PHYS);
    nftw(
        path_.c_str(), [](const char* f, const struct stat*, int, struct FTW*) { return ::remove(f); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& leaf) const { return path_ + "/" + leaf; }

 private:
  std::string path_;
};

inline void write_file(const std::string& path, const std::string& data, mode_t mode = 0644) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << data;
  f.close();
  ::chmod(path.c_str(), mode);
}

inline std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return "<missing>";
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Runs fn in a child as uid/gid 65534 with no supplementary groups and
// returns its exit status; -1 when the child died or could not drop its
// privileges. Tests that need "Access denied" run their subject here,
// since root ignores permissions.
template <class Fn>
int as_nobody(Fn fn) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                             ::setresuid(65534, 65534, 65534) != 0))
      ::_exit(254);
    ::_exit(fn() & 0xFF);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  const int rc = WEXITSTATUS(status);
  return rc == 254 ? -1 : rc;
}

// What one call of a built-in left.
struct Out {
  ErrorCode stop = 0;    // the code that stopped the macro, 0 if none
  ErrorCode raised = 0;  // the last code shown, 0 if none
  std::string rc;
  std::string value;              // the result, when the built-in pushes one
  std::vector<std::string> vars;  // the variable operands' values
};

// One call of a table of built-in calls and what it must leave.
struct Step {
  const char* mnemonic;
  std::vector<std::string> args;
  ErrorCode raised;
  std::string rc;     // empty: not checked
  std::string value;  // "*": not checked
};

inline void check(const Step& s, const Out& o) {
  EXPECT_EQ(o.raised, s.raised);
  if (!s.rc.empty()) {
    EXPECT_EQ(o.rc, s.rc);
  }
  if (s.value != "*") {
    EXPECT_EQ(o.value, s.value);
  }
}

class BuiltinTest : public vmtest::VmTest {
 protected:
  // Runs one built-in with the arguments pushed as constants. Count
  // operands get the number of arguments; each variable operand gets a
  // fresh global (group operands get `group_size` of them).
  Out call(std::string_view mnemonic, const std::vector<std::string>& args, int group_size = 0) {
    bc::ImageBuilder b;
    auto ref = opcode_find(mnemonic);
    EXPECT_TRUE(ref.has_value()) << mnemonic;
    if (!ref) return {};
    std::vector<uint32_t> slots;
    auto fresh = [&] {
      slots.push_back(static_cast<uint32_t>(var_alloc_global()));
      return b.global(static_cast<uint16_t>(slots.back()));
    };
    std::vector<bc::Opnd> ops;
    for (char kind : ref->info->operands) {
      if (kind == 'c') {
        ops.push_back(bc::cnt(static_cast<int>(args.size())));
      } else if (kind == 'v') {
        ops.push_back(bc::var(fresh()));
      } else if (kind == 'n') {
        std::vector<uint16_t> vars;
        for (int i = 0; i < group_size; ++i) vars.push_back(fresh());
        ops.push_back(bc::group(vars));
      }
    }
    const uint32_t result = static_cast<uint32_t>(var_alloc_global());
    const uint16_t result_link = b.global(static_cast<uint16_t>(result));
    const uint16_t p = b.proc(0, 0, 0);
    for (const auto& a : args) b.op("push_const", {bc::k(a)});
    b.op(mnemonic, ops);
    if (ref->info->pushes == 1) b.op("assign", {bc::var(result_link)});
    b.op("return");
    vmtest::shown.clear();
    vm_set_rc(0);
    Out o;
    o.stop = run(b, p);
    o.raised = vmtest::shown.empty() ? 0 : vmtest::shown.back().code;
    o.rc = rc();
    o.value = value(result);
    for (uint32_t s : slots) o.vars.push_back(value(s));
    return o;
  }
};

// With a text store and a window showing a buffer, for the built-ins that
// work on the current view.
class BufferBuiltinTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    uitest::install();
    ASSERT_EQ(0, store_init(-1, store_dir_.path(), 20));
    redraw_bits = 0;
    edit_settings = EditSettings{};
  }
  void TearDown() override {
    EXPECT_EQ("", buf_check());
    buf_shutdown();
    store_shutdown();
    edit_settings = EditSettings{};
    BuiltinTest::TearDown();
  }

  // A window of 20 rows showing a buffer loaded from text; the cursor on
  // line `line` (1-based; 0 the top-of-file line) at row `row`.
  BufferRec* open(const std::string& text, int32_t line = 1, int32_t row = 0) {
    const std::string path = store_dir_ / "buffer.txt";
    write_file(path, text);
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    EXPECT_EQ(0, buf_create_from_file(&b, a));
    WindowObject* w = window_alloc_record();
    w->rows = 20;
    w->cols = 80;
    w->prop19 = 3;
    window_set_current(w, 0);
    EXPECT_EQ(0, view_attach_buffer(pos_record(b->own_pos), b, &view_, 0, false));
    EXPECT_EQ(0, pos_goto_line(line, view_, b));
    view_->row = row;
    buf_ = b;
    return b;
  }
  // Every line of the buffer, each followed by a newline.
  std::string all() const {
    PosRecord p{};
    std::string out;
    if (pos_first_line(&p, buf_) != 0) return out;
    do out += line_get_string(&p, buf_) + "\n";
    while (pos_next_line(&p, buf_) == 0);
    return out;
  }
  std::string cursor_line() const { return line_get_string(view_, buf_); }

  ScratchDir store_dir_;
  BufferRec* buf_ = nullptr;
  PosRecord* view_ = nullptr;
};

}  // namespace bitest

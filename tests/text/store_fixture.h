// Shared set-up for the text-store tests: a temporary directory, buffers
// loaded from files written there, and readers that walk a buffer's lines.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "tests/temp_dir.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"
#include "text/store_edit.h"

namespace storetest {

// A fresh directory under $TMPDIR, removed with its contents at the end.
struct TempDir {
  zvxtest::TempDir dir{"zvx-store"};
  std::string path = dir.path();
  std::string file(const std::string& name) const { return path + "/" + name; }
};

inline void write_file(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(static_cast<ssize_t>(content.size()), ::write(fd, content.data(), content.size()));
  ::close(fd);
}

// Memory limits in KB that give the smallest page limit for the default page size.
inline constexpr int32_t kThreePagesKb = 20;

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { init(-1); }
  void TearDown() override {
    for (auto& b : bufs_) store_close_buffer(b.get());
    bufs_.clear();
    store_shutdown();
    file_io_reset();
  }
  void init(int32_t kb, int32_t max_mb = 20) {
    for (auto& b : bufs_) store_close_buffer(b.get());
    bufs_.clear();
    uitest::install();
    file_io_reset();
    ASSERT_EQ(0, store_init(kb, dir_.path, max_mb));
  }
  BufferRec* new_buffer() {
    bufs_.push_back(std::make_unique<BufferRec>());
    BufferRec* b = bufs_.back().get();
    *b = BufferRec{};
    buf_store_defaults(b);
    return b;
  }
  // Loads content through a file; pos (optional) ends on the first line.
  BufferRec* load(const std::string& content, StoreLoadOptions opt = {}, int32_t* rc_out = nullptr,
                  BufferRec* b = nullptr) {
    if (!b) b = new_buffer();
    std::string path = dir_.file("f" + std::to_string(++files_));
    write_file(path, content);
    b->source_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    PosRecord pos{};
    int32_t rc = store_load_file(&pos, b, opt);
    if (rc_out)
      *rc_out = rc;
    else
      EXPECT_EQ(0, rc);
    return b;
  }
  BufferRec* new_text(uint8_t e0 = '\n', uint8_t e1 = '\n') {
    BufferRec* b = new_buffer();
    b->eol[0] = e0;
    b->eol[1] = e1;
    PosRecord pos{};
    EXPECT_EQ(0, store_load_file(&pos, b, StoreLoadOptions{false, false, 0, true}));
    return b;
  }
  TempDir dir_;
  std::vector<std::unique_ptr<BufferRec>> bufs_;
  int files_ = 0;
};

// Compares line lists and names the first difference (lines can be long).
inline ::testing::AssertionResult same_lines(const std::vector<std::string>& want,
                                             const std::vector<std::string>& got) {
  size_t n = std::min(want.size(), got.size());
  for (size_t i = 0; i < n; ++i) {
    if (want[i] != got[i])
      return ::testing::AssertionFailure()
             << "line " << i + 1 << ": want " << want[i].size() << " bytes \"" << want[i].substr(0, 40) << "\", got "
             << got[i].size() << " bytes \"" << got[i].substr(0, 40) << "\"";
  }
  if (want.size() != got.size())
    return ::testing::AssertionFailure() << "want " << want.size() << " lines, got " << got.size();
  return ::testing::AssertionSuccess();
}

// Every line of a buffer (top-of-file line excluded), walking forwards.
inline std::vector<std::string> lines_forward(BufferRec* b) {
  std::vector<std::string> out;
  PosRecord p{};
  pos_top(&p, b);
  int32_t expect_line = 0;
  while (pos_next_line(&p, b) == 0) {
    ++expect_line;
    EXPECT_EQ(expect_line, p.line);
    out.push_back(line_get_string(&p, b));
  }
  return out;
}

// The same walking backwards from the last line.
inline std::vector<std::string> lines_backward(BufferRec* b) {
  std::vector<std::string> out;
  PosRecord p{};
  p.buffer = b;
  if (pos_last_line(&p, b) != 0) return out;
  if (p.block == b->first_block && p.index == 0) return out;
  do {
    out.push_back(line_get_string(&p, b));
  } while (pos_prev_line(&p, b) == 0 && !(p.block == b->first_block && p.index == 0));
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace storetest

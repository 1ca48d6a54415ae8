// Set-up for the save tests: the store and a backup directory in a private
// temporary directory, buffers loaded lazily from files there, and readers
// of a buffer's whole text.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/file_io.h"
#include "base/fs_fixture.h"
#include "buffer_fixture.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/save.h"
#include "text/store.h"
#include "text/store_edit.h"

namespace savetest {

using fstest::read_file;
using fstest::write_file;

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::install();
    ASSERT_EQ(0, store_init(kb_, dir_.path(), 20));
    save_settings = SaveSettings{};
    file_io_reset();
    setenv("ZORVEXBACKUP", (dir_ / "bk").c_str(), 1);
  }
  void TearDown() override {
    file_io_reset();
    uitest::install();
    save_settings = SaveSettings{};
    buf_shutdown();
    store_shutdown();
    unsetenv("ZORVEXBACKUP");
  }
  // A buffer loaded (lazily) from the file at path.
  BufferRec* load(const std::string& path) { return buftest::load_buffer(path); }
  BufferRec* load_text(const std::string& name, const std::string& text) {
    write_file(dir_ / name, text);
    return load(dir_ / name);
  }
  static void replace_line(BufferRec* b, int32_t n, const std::string& text) {
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    ASSERT_EQ(0, pos_first_line(&p, b));
    if (n > 1) {
      ASSERT_EQ(0, pos_goto_line(n, &p, b));
    }
    ASSERT_EQ(0, line_replace_text(text.data(), static_cast<int32_t>(text.size()), &p, b));
  }
  static std::string buffer_text(BufferRec* b) {
    std::string s;
    PosRecord p{};
    p.buffer = b;
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) s += line_get_string(&p, b) + "\n";
    return s;
  }
  int32_t kb_ = -1;
  fstest::TempDir dir_;
};

}  // namespace savetest

// Set-up for the buffer, view and current-line tests: the store in a
// temporary directory, window objects with a size, buffers made from text.
#pragma once

#include <fcntl.h>

#include <string>
#include <vector>

#include "store_fixture.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/tabs.h"

namespace buftest {

// A buffer loaded (lazily) from the file at path.
inline BufferRec* load_buffer(const std::string& path) {
  BufCreateArgs a;
  a.name = path;
  a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  BufferRec* b = nullptr;
  EXPECT_EQ(0, buf_create_from_file(&b, a));
  return b;
}

class BufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::install();
    ASSERT_EQ(0, store_init(kb_, dir_.path, 20));
    redraw_bits = 0;
    edit_settings = EditSettings{};
  }
  void TearDown() override {
    EXPECT_EQ("", buf_check());
    buf_shutdown();
    store_shutdown();
    tab_buffer_processed = nullptr;
    show_tabs_flag = 0;
    edit_settings = EditSettings{};
  }
  WindowObject* window(int rows = 20, int cols = 80) {
    WindowObject* w = window_alloc_record();
    EXPECT_NE(nullptr, w);
    w->rows = rows;
    w->cols = cols;
    w->prop19 = 3;
    return w;
  }
  // A buffer loaded from a file holding `text`.
  BufferRec* make(const std::string& name, const std::string& text) {
    std::string path = dir_.file(name);
    storetest::write_file(path, text);
    return load_buffer(path);
  }
  // Makes w current showing b.
  PosRecord* show(WindowObject* w, BufferRec* b, int flags = 0) {
    window_set_current(w, 0);
    PosRecord* v = nullptr;
    EXPECT_EQ(0, view_attach_buffer(pos_record(b->own_pos), b, &v, flags, false));
    return v;
  }
  std::string text_at(PosRecord* p) { return line_get_string(p, p->buffer); }
  static std::string lines(int n, const char* prefix = "line") {
    std::string s;
    for (int i = 1; i <= n; ++i) s += std::string(prefix) + std::to_string(i) + "\n";
    return s;
  }
  int32_t kb_ = -1;
  storetest::TempDir dir_;
};

}  // namespace buftest

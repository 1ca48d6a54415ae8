// The macro start-up with the default state: "-firstinit" learns the
// start-up line and opens the files it names, or an empty buffer; the
// module's own entry then opens nothing a second time. A state without
// "-firstinit" starts without it. (The window it runs as is the forms'
// frame's first child: the forms' own test.)
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "macro/startup.h"
#include "tests/macro/key_fixture.h"

namespace {

const std::string kDefaultState = std::string(ZVX_BINARY_DIR) + "/app/zorvex.stu";

class FirstInit : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    first_ = editor("");
    window_link_edit_list(first_);
    start_buffers_ = buf_live_count();
  }
  int start(const std::string& state, const std::string& args) {
    StartupConfig cfg;
    cfg.opt.state_file_name = state;
    cfg.opt.state_file_given = true;
    cfg.opt.args = args;
    return startup_macros(&cfg);
  }
  static BufferRec* buffer_named(const std::string& name) {
    BufferRec* head = buf_ring_head();
    BufferRec* b = head;
    do {
      if (b && b->name.view() == name) return b;
      b = b ? b->ring_next : nullptr;
    } while (b && b != head);
    return nullptr;
  }
  WindowObject* first_ = nullptr;
  int start_buffers_ = 0;
};

TEST_F(FirstInit, OpensTheFilesOfTheStartUpLineOnce) {
  const std::string f = dir_.file("one.txt");
  std::ofstream(f) << "first line\n";
  ASSERT_EQ(start(kDefaultState, f), 0);
  EXPECT_TRUE(vmtest::shown.empty()) << (vmtest::shown.empty() ? 0 : vmtest::shown[0].code);
  BufferRec* b = buffer_named(f);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(storetest::lines_forward(b), std::vector<std::string>{"first line"});
  EXPECT_EQ(buf_live_count(), start_buffers_ + 1);  // the entry did not open it again
  EXPECT_EQ(global("startup_args"), f);
}

TEST_F(FirstInit, WithoutFilesAnEmptyBufferToTypeInto) {
  ASSERT_EQ(start(kDefaultState, ""), 0);
  EXPECT_TRUE(vmtest::shown.empty()) << (vmtest::shown.empty() ? 0 : vmtest::shown[0].code);
  EXPECT_EQ(buf_live_count(), start_buffers_ + 1);
  type(window_current(), "hi");
  EXPECT_EQ(text_of(window_current()), std::vector<std::string>{"hi"});
}

TEST_F(FirstInit, AStateWithoutItStartsWithTheEntryAlone) {
  keytest::Mod mod = keytest::editor_module();
  const std::string path = dir_.file("plain.ex");
  const std::vector<uint8_t> bytes = mod.m.file();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(start(path, ""), 0);
  EXPECT_TRUE(vmtest::shown.empty()) << (vmtest::shown.empty() ? 0 : vmtest::shown[0].code);
  EXPECT_EQ(buf_live_count(), start_buffers_);
}

}  // namespace

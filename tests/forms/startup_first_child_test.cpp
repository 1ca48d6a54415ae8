// The macro start-up runs "-firstinit" as the frame object's first child,
// whichever window was current before, and that one is current again
// afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "forms/objects.h"
#include "macro/startup.h"
#include "macro/startup_port.h"
#include "tests/macro/key_fixture.h"

namespace {

class StartupFirstChild : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    ASSERT_EQ(objects_init(1024, 768), 0);
  }
  void TearDown() override {
    objects_shutdown();
    KeyTest::TearDown();
  }
};

TEST_F(StartupFirstChild, FirstInitRunsAsTheFramesFirstChild) {
  EXPECT_EQ(startup_first_child(), nullptr) << "a frame without children";
  WindowObject* child = editor("first\n");
  window_link_edit_list(child);
  obj_type_editor_window(child);
  WindowObject* other = editor("other\n");
  ASSERT_EQ(startup_first_child(), child);
  ASSERT_EQ(window_current(), other);
  // A state whose "-firstinit" goes to the end of the current line.
  keytest::Mod mod;
  mod.command("-firstinit");
  mod.op("end_line");
  mod.op("return");
  const std::string path = dir_.file("first.ex");
  const std::vector<uint8_t> bytes = mod.m.file();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  StartupConfig cfg;
  cfg.opt.state_file_name = path;
  cfg.opt.state_file_given = true;
  ASSERT_EQ(startup_macros(&cfg), 0);
  EXPECT_TRUE(vmtest::shown.empty());
  EXPECT_EQ(child->view->column, 5) << "it ran in the first child";
  EXPECT_EQ(other->view->column, 0);
  EXPECT_EQ(window_current(), other) << "current again after the call";
}

}  // namespace

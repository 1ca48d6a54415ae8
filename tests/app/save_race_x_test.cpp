// The editor saves a big file while another program appends a line to it.
// A library preloaded into the editor plays that program: it appends at the
// first read of the file after the test arms it, which is inside the save
// the test starts with Ctrl+S. The save must fail where the user sees it,
// keep the text modified, and leave the other program's file whole. (The
// editor once put the part of the text it had read in place of the file,
// and the title lost its " *".)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/app/editor_x_fixture.h"

namespace {

using editor_x::eventually;
using editor_x::slurp;

class SaveRaceX : public editor_x::EditorXFixture {
 protected:
  SaveRaceX() : EditorXFixture("zvx-save-race") {}
};

TEST_F(SaveRaceX, AFileChangedWhileItIsSavedIsNeverReplacedByAPart) {
  char real[PATH_MAX];
  ASSERT_NE(nullptr, ::realpath(dir_.path().c_str(), real));
  const std::string path = std::string(real) + "/big.txt";
  std::string original;
  for (int i = 0; original.size() < (6u << 20); ++i)
    original += "line " + std::to_string(i) + " of a file that another program appends to\n";
  std::ofstream(path, std::ios::binary) << original;

  const std::vector<std::string> argv{std::string(ZVX_BINARY_DIR) + "/app/zorvex", path};
  // A sanitized editor would refuse a preloaded library ahead of its runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asan_options = std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0";
  editor_ = server_->spawn(
      argv, {"HOME=" + dir_.path(), std::string("LD_PRELOAD=") + ZVX_RACE_SHIM, "ZVX_RACE_FILE=" + path, asan_options});
  ASSERT_TRUE(editor_);
  frame_ = server_->wait_for_class("Halvorn");
  ASSERT_NE(frame_, 0u);
  ASSERT_TRUE(eventually([&] { return (pane_ = find_pane()) != 0; })) << "no editor window";
  ASSERT_TRUE(server_->focus(frame_));
  ASSERT_TRUE(eventually([&] { return ink_in(pane_, 0, 0, 200, 16) > 100; })) << "the first screen";
  ASSERT_TRUE(type("new "));
  ASSERT_TRUE(eventually([&] { return server_->title(frame_).find("big.txt *") != std::string::npos; }))
      << server_->title(frame_);

  const std::string arm = path + ".arm";
  std::ofstream(arm) << "";
  ASSERT_TRUE(keys({"ctrl+s"}));
  ASSERT_TRUE(eventually([&] { return ::access(arm.c_str(), F_OK) != 0; })) << "the save never read the file";
  ASSERT_TRUE(eventually([&] { return message_ink() > 30; })) << "no message says the save failed";
  const std::string theirs = original + "a line appended by another program\n";
  EXPECT_TRUE(slurp(path) == theirs) << "the file holds " << slurp(path).size() << " bytes";
  EXPECT_NE(std::string::npos, server_->title(frame_).find("big.txt *")) << "the text is still modified";
  EXPECT_TRUE(editor_->running());
}

}  // namespace

// Recovery copies: names beside the file that a person understands, never
// the file itself, and the writing of every modified buffer to them.
#include "text/recovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "save_fixture.h"

namespace {

using fstest::read_file;
using fstest::write_file;
using savetest::SaveTest;

TEST_F(SaveTest, ARecoveryCopyTakesTheFirstFreeNameBesideItsFile) {
  const std::string file = dir_ / "a.txt";
  EXPECT_EQ(recovery_copy_path(file), file + ".recovered");
  write_file(file + ".recovered", "");
  EXPECT_EQ(recovery_copy_path(file), file + ".recovered-2");
  write_file(file + ".recovered-2", "");
  EXPECT_EQ(recovery_copy_path(file), file + ".recovered-3");
  EXPECT_EQ(recovery_copy_path("").rfind("untitled.recovered", 0), 0u) << "a buffer without a name";
}

// Modified buffers go to their copies, unchanged ones nowhere; a buffer
// whose directory is gone goes to the home directory; the buffers keep
// their names and stay modified, and the files stay as they were.
TEST_F(SaveTest, EveryModifiedBufferIsWrittenToItsRecoveryCopy) {
  BufferRec* a = load_text("a.txt", "one\ntwo\n");
  BufferRec* b = load_text("b.txt", "unchanged\n");
  BufferRec* gone = load_text("c.txt", "three\n");
  ASSERT_TRUE(a && b && gone);
  replace_line(a, 2, "TWO");
  replace_line(gone, 1, "THREE");
  gone->name.assign("/no-such-dir-here/c.txt");  // as if its directory went away
  write_file(dir_ / "a.txt.recovered", "older\n");
  const std::string home = dir_ / "home";
  ASSERT_EQ(0, ::mkdir(home.c_str(), 0700));
  const char* old_home = std::getenv("HOME");
  const std::string kept_home = old_home ? old_home : "";
  setenv("HOME", home.c_str(), 1);
  std::vector<std::string> failed;
  const std::vector<std::string> written = recovery_write_modified(&failed);
  if (old_home) setenv("HOME", kept_home.c_str(), 1);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(written, (std::vector<std::string>{dir_ / "a.txt.recovered-2", home + "/c.txt.recovered"}));
  EXPECT_EQ(read_file(dir_ / "a.txt.recovered-2"), "one\nTWO\n");
  EXPECT_EQ(read_file(home + "/c.txt.recovered"), "THREE\n");
  EXPECT_EQ(read_file(dir_ / "a.txt.recovered"), "older\n");
  EXPECT_EQ(read_file(dir_ / "a.txt"), "one\ntwo\n");
  EXPECT_EQ(read_file(dir_ / "c.txt"), "three\n");
  EXPECT_EQ(::access((dir_ / "b.txt.recovered").c_str(), F_OK), -1);
  EXPECT_EQ(a->name.view(), dir_ / "a.txt");
  EXPECT_EQ(a->modified, 1);
  EXPECT_EQ(b->modified, 0);
}

}  // namespace

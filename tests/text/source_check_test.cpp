// A lazily loaded file that another program changes: the buffer never takes
// in text from the new version and keeps every byte it holds; no save writes
// what it holds in place of the whole text, and a save over a file that
// changed while the buffer still has all its text asks the user first.

#include "text/source_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "save_fixture.h"

namespace {

using fstest::read_file;
using fstest::write_file;
using savetest::SaveTest;

bool g_answer = false;  // what the user answers when asked to save over a changed file
int g_asked = 0;
bool answer(const char*) {
  ++g_asked;
  return g_answer;
}

// The buffer's lines from the first up to the first that cannot be read;
// *rc gets the error that stopped the walk (0 at the end of the text).
std::vector<std::string> readable_lines(BufferRec* b, int32_t* rc) {
  std::vector<std::string> out;
  PosRecord p{};
  p.buffer = b;
  pos_top(&p, b);
  while ((*rc = pos_next_line(&p, b)) == 0) out.push_back(line_get_string(&p, b));
  if (*rc == ERR_BOTTOM_OF_FILE) *rc = 0;
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

enum class Change { Insert, Append, Truncate, Rewrite, Replace };

// What another program does to the file; returns its new text.
std::string change_file(const std::string& path, Change c, const std::string& text) {
  std::string now = text;
  switch (c) {
    case Change::Insert:  // seven bytes at the start, written into the same file
      now = "INSERT\n" + text;
      break;
    case Change::Append:
      now = text + "appended\n";
      break;
    case Change::Truncate:
      now = text.substr(0, text.size() / 2);
      break;
    case Change::Rewrite:  // same size, other bytes, a later time
      for (size_t i = text.size() / 2; i < text.size(); ++i)
        if (now[i] != '\n') now[i] = 'x';
      break;
    case Change::Replace:  // a new file renamed over the old name
      write_file(path + ".new", "replaced\n");
      EXPECT_EQ(0, ::rename((path + ".new").c_str(), path.c_str()));
      return "replaced\n";
  }
  struct stat before;
  EXPECT_EQ(0, ::stat(path.c_str(), &before));
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(static_cast<ssize_t>(now.size()), ::write(fd, now.data(), now.size()));
  // Times as coarse as the file system's clock must still differ.
  struct timespec times[2] = {before.st_atim, before.st_mtim};
  times[1].tv_sec += 10;
  EXPECT_EQ(0, ::futimens(fd, times));
  ::close(fd);
  return now;
}

class SourceCheckTest : public SaveTest {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    uitest::ui.changed_answer = answer;
    g_answer = false;
    g_asked = 0;
  }
  // Several pages of numbered lines.
  static std::string numbered() {
    std::string s;
    for (int i = 0; s.size() < 4u * static_cast<size_t>(store_page_size()); ++i)
      s += "line " + std::to_string(i) + "\n";
    return s;
  }
};

// After a change in the file itself, reading what the buffer has not read
// yet fails with -33 and takes nothing from the new version; everything the
// buffer holds stays. Every save then fails with -33, under another name too
// and whatever the user answers: what the buffer holds is only part of the
// text. (Saves once wrote that part, joining its last line to nothing.)
TEST_F(SourceCheckTest, ChangedFileIsNeverSplicedIn) {
  const std::string original = numbered();
  std::vector<std::string> orig_lines;
  for (size_t at = 0, nl; (nl = original.find('\n', at)) != std::string::npos; at = nl + 1)
    orig_lines.push_back(original.substr(at, nl - at));
  struct Case {
    const char* what;
    Change change;
  };
  const Case cases[] = {{"insertion of 7 bytes", Change::Insert},
                        {"appended text", Change::Append},
                        {"truncation", Change::Truncate},
                        {"same size, later time", Change::Rewrite}};
  for (const Case& c : cases) {
    for (bool in_place : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (in_place ? ", saved in place" : ""));
      const std::string path = dir_ / "f";
      write_file(path, original);
      BufferRec* b = load(path);
      ASSERT_NE(nullptr, b);
      replace_line(b, 1, "edited");
      const std::string theirs = change_file(path, c.change, original);

      int32_t rc = 0;
      std::vector<std::string> held = readable_lines(b, &rc);
      EXPECT_EQ(ERR_READING_FILE, rc);
      ASSERT_GE(held.size(), 2u);
      ASSERT_LT(held.size(), orig_lines.size());
      EXPECT_EQ("edited", held[0]);
      for (size_t i = 1; i < held.size(); ++i) ASSERT_EQ(orig_lines[i], held[i]) << "line " << i + 1;
      EXPECT_EQ(held, readable_lines(b, &rc)) << "the buffer lost what it held";
      EXPECT_EQ("", store_check(b));

      const auto files = fstest::listing(dir_.path());
      save_settings.in_place = in_place;
      for (bool yes : {false, true}) {
        g_answer = yes;
        for (const char* opt : {"", "-S", "+O"}) {  // line by line, blocks as they are, no backup
          SCOPED_TRACE(std::string(opt) + (yes ? ", saved anyway" : ""));
          EXPECT_EQ(ERR_READING_FILE, buf_save_buffer(b, std::string(opt) + " " + (dir_ / "copy")));
          EXPECT_EQ(ERR_READING_FILE, buf_save_buffer(b, opt));
          EXPECT_TRUE(theirs == read_file(path));
          EXPECT_EQ(files, fstest::listing(dir_.path())) << "files made or lost";
          EXPECT_EQ(1, b->modified);
        }
      }
      EXPECT_EQ(0, g_asked) << "nothing to ask: the text cannot be saved whole";
      EXPECT_EQ(held, readable_lines(b, &rc));
      g_answer = false;
      save_settings.in_place = false;
      g_asked = 0;
      store_close_buffer(b);
      buf_free(b);
    }
  }
}

// A file replaced by a rename: the buffer still reads the file it opened,
// whole, but a save over the new file asks first; so does a save after the
// file changed again since the last save.
TEST_F(SourceCheckTest, ReplacedFileIsKeptReadableAndSavedOverOnlyWhenAllowed) {
  const std::string original = numbered();
  const std::string path = dir_ / "f";
  write_file(path, original);
  BufferRec* b = load(path);
  ASSERT_NE(nullptr, b);
  replace_line(b, 1, "edited");
  std::string want = original;
  want.replace(0, want.find('\n'), "edited");
  change_file(path, Change::Replace, original);

  int32_t rc = -1;
  EXPECT_TRUE(want == joined(readable_lines(b, &rc)));
  EXPECT_EQ(0, rc);
  EXPECT_EQ(ERR_COMMAND_CANCELLED, buf_save_buffer(b, ""));
  EXPECT_EQ("replaced\n", read_file(path));
  g_answer = true;
  EXPECT_EQ(0, buf_save_buffer(b, ""));
  EXPECT_TRUE(want == read_file(path));
  EXPECT_EQ(2, g_asked);

  g_answer = false;
  replace_line(b, 2, "second");
  EXPECT_EQ(0, buf_save_buffer(b, "")) << "unchanged since the last save: no question";
  EXPECT_EQ(2, g_asked);
  const std::string theirs = change_file(path, Change::Append, read_file(path));
  replace_line(b, 2, "third");
  EXPECT_EQ(ERR_COMMAND_CANCELLED, buf_save_buffer(b, ""));
  EXPECT_EQ(3, g_asked);
  EXPECT_TRUE(theirs == read_file(path));
}

// A buffer for a file that did not exist yet: a file that another program
// made under its name meanwhile is not replaced unasked.
TEST_F(SourceCheckTest, FileMadeMeanwhileUnderANewBuffersNameIsNotReplacedUnasked) {
  const std::string path = dir_ / "new.txt";
  BufferRec* b = load(path);  // no such file: an empty buffer
  ASSERT_NE(nullptr, b);
  replace_line(b, 1, "mine");
  write_file(path, "theirs\n");
  EXPECT_EQ(ERR_COMMAND_CANCELLED, buf_save_buffer(b, ""));
  EXPECT_EQ("theirs\n", read_file(path));
  g_answer = true;
  EXPECT_EQ(0, buf_save_buffer(b, ""));
  EXPECT_EQ("mine\n", read_file(path));
  EXPECT_EQ(2, g_asked);
}

}  // namespace

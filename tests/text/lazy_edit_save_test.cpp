// A file opened lazily, over many pages and with few pages allowed in
// memory, edited at its start, in its middle and at its end, then saved:
// the file on disk and the buffer must hold exactly the expected bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "save_fixture.h"

namespace {

using fstest::read_file;
using fstest::write_file;
using savetest::SaveTest;

enum class Where { First, Middle, Last };
enum class Edit { Replace, InsertAfter, Delete };

struct LazyEdit {
  Where where;
  Edit edit;
};

// Lines of many lengths (empty ones, and some close to the line limit) so
// that lines cross page boundaries; no blank or tab at a line's end, which
// the default save would strip.
std::vector<std::string> sample_lines() {
  std::mt19937 rng(16);
  std::vector<std::string> lines;
  for (int i = 0; i < 30000; ++i) {
    const int kind = static_cast<int>(rng() % 50);
    std::string s = "l" + std::to_string(i);
    if (kind == 0) {
      s.clear();
    } else if (kind == 1) {
      s += std::string(900 + rng() % 100, 'w');
    } else {
      for (int n = static_cast<int>(rng() % 70); n > 0; --n) s += static_cast<char>('a' + rng() % 26);
    }
    lines.push_back(s);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

class LazyEditSave : public SaveTest, public ::testing::WithParamInterface<LazyEdit> {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    store_shutdown();
    int32_t kb = 40;  // a handful of pages: reading evicts
    ASSERT_EQ(0, store_init(kb, dir_.path(), 20));
  }
};

TEST_P(LazyEditSave, SavedBytesAreTheEditedFile) {
  const LazyEdit c = GetParam();
  std::vector<std::string> lines = sample_lines();
  const std::string original = joined(lines);
  // Many pages, and more than the save reads from the file at a time.
  ASSERT_GT(original.size(), 1u << 20);
  write_file(dir_ / "lazy", original);
  BufferRec* b = load(dir_ / "lazy");
  ASSERT_NE(nullptr, b);

  const int32_t n = static_cast<int32_t>(lines.size());
  const int32_t at = c.where == Where::First ? 1 : c.where == Where::Middle ? n / 2 + 7 : n;
  PosRecord p{};
  p.buffer = b;
  p.line = -1;
  ASSERT_EQ(0, pos_first_line(&p, b));
  if (c.where == Where::Last) {
    ASSERT_EQ(0, pos_last_line(&p, b));
  } else if (at > 1) {
    ASSERT_EQ(0, pos_goto_line(at, &p, b));
  }
  ASSERT_EQ(lines[static_cast<size_t>(at - 1)], line_get_string(&p, b));
  const std::string edited = "EDITED line " + std::to_string(at);
  switch (c.edit) {
    case Edit::Replace:
      ASSERT_EQ(0, line_replace_text(edited.data(), static_cast<int32_t>(edited.size()), &p, b));
      lines[static_cast<size_t>(at - 1)] = edited;
      break;
    case Edit::InsertAfter:
      ASSERT_EQ(0, line_insert_text(edited.data(), static_cast<int32_t>(edited.size()), &p, b));
      lines.insert(lines.begin() + at, edited);
      break;
    case Edit::Delete: {
      const int32_t rc = line_delete(&p, b);
      ASSERT_TRUE(rc == 0 || (c.where == Where::Last && rc == -2024)) << rc;
      lines.erase(lines.begin() + (at - 1));
      break;
    }
  }
  const std::string want = joined(lines);
  // Nothing else is read before the save: the text past the edit is still
  // in the file when the save copies it.
  static int64_t copied;
  copied = 0;
  file_io().copy_range = [](int in, int64_t* off, int out, size_t count) -> ssize_t {
    loff_t o = *off;
    const ssize_t r = ::copy_file_range(in, &o, out, nullptr, count, 0);
    if (r > 0) copied += r, *off = o;
    return r;
  };
  ASSERT_EQ(0, buf_save_buffer(b, ""));
  file_io_reset();
  // The text after the edit was never read: it went by copy.
  EXPECT_GT(copied, static_cast<int64_t>(want.size() / 4)) << "copied " << copied;
  const std::string got = read_file(dir_ / "lazy");
  EXPECT_EQ(want.size(), got.size());
  EXPECT_TRUE(want == got) << "first difference at byte "
                           << std::mismatch(want.begin(), want.end(), got.begin(), got.end()).first - want.begin();
  EXPECT_TRUE(want == buffer_text(b)) << "the buffer differs after the save";
  EXPECT_EQ("", store_check(b));
  store_close_buffer(b);
  buf_free(b);
}

std::string case_name(const ::testing::TestParamInfo<LazyEdit>& i) {
  const char* const where[] = {"First", "Middle", "Last"};
  const char* const edit[] = {"Replace", "InsertAfter", "Delete"};
  return std::string(where[static_cast<int>(i.param.where)]) + edit[static_cast<int>(i.param.edit)];
}

INSTANTIATE_TEST_SUITE_P(StartMiddleEnd, LazyEditSave,
                         ::testing::Values(LazyEdit{Where::First, Edit::Replace},
                                           LazyEdit{Where::First, Edit::InsertAfter},
                                           LazyEdit{Where::First, Edit::Delete}, LazyEdit{Where::Middle, Edit::Replace},
                                           LazyEdit{Where::Middle, Edit::InsertAfter},
                                           LazyEdit{Where::Middle, Edit::Delete}, LazyEdit{Where::Last, Edit::Replace},
                                           LazyEdit{Where::Last, Edit::InsertAfter},
                                           LazyEdit{Where::Last, Edit::Delete}),
                         case_name);

}  // namespace

// Regular files of bounded size: whatever else stands under the name is
// refused at once, without waiting on it and without reading it, and a file
// is taken up to its bound and refused one byte past it.
#include "base/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/special_files.h"
#include "tests/temp_dir.h"

namespace {

using zvxtest::Special;

constexpr int64_t kBound = int64_t{4} << 20;

class RegularFileTest : public ::testing::Test {
 protected:
  std::string path(const char* name) { return dir_.path() + "/" + name; }
  zvxtest::TempDir dir_{"zvx-regular"};
};

TEST_F(RegularFileTest, WhatIsNoRegularFileOrTooLargeIsRefusedAtOnce) {
  struct Want {
    Special kind;
    ErrorCode error;
    RegularFileRefusal refused;
  };
  const Want wants[] = {
      {Special::Directory, ERR_ACCESS_DENIED, RegularFileRefusal::NotRegular},
      {Special::Fifo, ERR_ACCESS_DENIED, RegularFileRefusal::NotRegular},
      {Special::DevZero, ERR_ACCESS_DENIED, RegularFileRefusal::NotRegular},
      {Special::Garbage, ERR_INSUFFICIENT_MEMORY, RegularFileRefusal::TooLarge},
      {Special::Empty, 0, RegularFileRefusal::NotRefused},
  };
  for (const zvxtest::SpecialCase& c : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(c.name);
    const Want* want = nullptr;
    for (const Want& w : wants)
      if (w.kind == c.kind) want = &w;
    ASSERT_NE(want, nullptr);
    const std::string p = path("zorvex.ini");
    zvxtest::make_special(p, c.kind);
    zvxtest::Watchdog watch(std::string("regular_file_read of ") + c.name);
    std::string text = "left over";
    RegularFileRefusal refused = RegularFileRefusal::TooLarge;
    EXPECT_EQ(want->error, regular_file_read(p.c_str(), kBound, &text, &refused));
    EXPECT_EQ(want->refused, refused);
    EXPECT_EQ(text, "");
    const RegularFile f = regular_file_open(p.c_str(), kBound);
    EXPECT_EQ(want->error, f.error);
    EXPECT_EQ(want->error == 0, static_cast<bool>(f.fd));
  }
}

TEST_F(RegularFileTest, TheBoundIsTakenAndOneBytePastItIsRefused) {
  const std::string p = path("sized");
  for (const int64_t size : {kBound, kBound + 1}) {
    SCOPED_TRACE(size);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ::ftruncate(fd, size));
    ::close(fd);
    std::string text;
    RegularFileRefusal refused = RegularFileRefusal::NotRefused;
    const ErrorCode e = regular_file_read(p.c_str(), kBound, &text, &refused);
    if (size <= kBound) {
      EXPECT_EQ(0, e);
      EXPECT_EQ(static_cast<int64_t>(text.size()), size);
    } else {
      EXPECT_EQ(ERR_INSUFFICIENT_MEMORY, e);
      EXPECT_EQ(RegularFileRefusal::TooLarge, refused);
      EXPECT_STREQ("is too large", regular_file_refusal_text(refused));
    }
  }
}

TEST_F(RegularFileTest, AFileIsReadWholeAndItsDescriptorBlocksAsUsual) {
  const std::string p = path("text");
  std::string bytes = "line one\r\nline two\0with a NUL\n";
  bytes += std::string(70000, 'x');  // more than any one read of a small buffer
  {
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(fd, bytes.data(), bytes.size()));
    ::close(fd);
  }
  std::string text;
  ASSERT_EQ(0, regular_file_read(p.c_str(), kBound, &text));
  EXPECT_EQ(text, bytes);
  const RegularFile f = regular_file_open(p.c_str(), kBound);
  ASSERT_EQ(0, f.error);
  EXPECT_EQ(f.size, static_cast<int64_t>(bytes.size()));
  const int flags = ::fcntl(f.fd.get(), F_GETFL);
  EXPECT_EQ(0, flags & O_NONBLOCK);
  EXPECT_EQ(O_RDONLY, flags & O_ACCMODE);
  EXPECT_NE(0, ::fcntl(f.fd.get(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(RegularFileTest, MissingNamesGiveTheOpensCodes) {
  std::string text;
  RegularFileRefusal refused = RegularFileRefusal::TooLarge;
  EXPECT_EQ(ERR_FILE_NOT_FOUND, regular_file_read(path("none").c_str(), kBound, &text, &refused));
  EXPECT_EQ(RegularFileRefusal::NotRefused, refused);
  EXPECT_EQ(ERR_PATH_NOT_FOUND, regular_file_read(path("nodir/none").c_str(), kBound, &text));
  EXPECT_STREQ("", regular_file_refusal_text(RegularFileRefusal::NotRefused));
  EXPECT_STREQ("is not a regular file", regular_file_refusal_text(RegularFileRefusal::NotRegular));
}

}  // namespace

#include "base/buffile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/fs_fixture.h"
#include "base/mem.h"
#include "base/os.h"

namespace {

using fstest::read_file;
using fstest::run_as_nobody;
using fstest::TempDir;
using fstest::write_file;

// Counts the file operations a stream makes.
struct Counts {
  int read = 0, write = 0, seek = 0;
  size_t written = 0;
} counts;

void install_counting_io() {
  FileIo& io = file_io();
  io.read = [](int h, void* b, size_t n) {
    ++counts.read;
    return file_io_system.read(h, b, n);
  };
  io.write = [](int h, const void* b, size_t n) {
    ++counts.write;
    counts.written += n;
    return file_io_system.write(h, b, n);
  };
  io.seek = [](int h, off_t o, int w) {
    ++counts.seek;
    return file_io_system.seek(h, o, w);
  };
}

class BufFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    counts = Counts{};
    install_counting_io();
    blocks_ = mem_live_blocks();
  }
  void TearDown() override {
    file_io_reset();
    EXPECT_EQ(mem_live_blocks(), blocks_);  // every stream freed
  }
  std::string file_of(size_t n) {
    std::string data;
    for (size_t i = 0; i < n; ++i) data += static_cast<char>('A' + i % 23);
    std::string path = tmp_ / "data";
    write_file(path, data);
    return path;
  }
  TempDir tmp_;
  int64_t blocks_ = 0;
};

TEST_F(BufFileTest, OpenModes) {
  ErrorCode err = 1;
  EXPECT_EQ(bufio_open((tmp_ / "x").c_str(), "r", &err, 512), nullptr);
  EXPECT_EQ(err, -52);
  EXPECT_EQ(bufio_open((tmp_ / "x").c_str(), "rb", &err, 512), nullptr);
  EXPECT_EQ(err, -2);
  EXPECT_EQ(bufio_open((tmp_ / "no/x").c_str(), "wb", &err, 512), nullptr);
  EXPECT_EQ(err, -3);
  EXPECT_EQ(bufio_open((tmp_ / "x").c_str(), "a", &err, 512), nullptr);  // existing only
  EXPECT_EQ(err, -2);
  BufFile* s = bufio_open((tmp_ / "x").c_str(), "a+", &err, 512);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(bufio_tell(s), 0);
  EXPECT_EQ(bufio_close(s), 0);
  {
    MemFaultGuard fail(1, true);
    EXPECT_EQ(bufio_open((tmp_ / "x").c_str(), "rb", &err, 512), nullptr);
    EXPECT_EQ(err, -8);
  }
  EXPECT_EQ(bufio_open_default((tmp_ / "missing").c_str(), "rb"), nullptr);
}

TEST_F(BufFileTest, ReadsItemsUntilTheEnd) {
  std::string path = file_of(1000);
  std::string want = read_file(path);
  BufFile* s = bufio_open_default(path.c_str(), "rb");
  ASSERT_NE(s, nullptr);
  std::string got;
  for (int i = 0; i < 10; ++i) {
    char item[100];
    ASSERT_EQ(bufio_read(item, 100, 1, s), 1u) << i;
    EXPECT_EQ(bufio_error(s), 0);
    got.append(item, 100);
  }
  EXPECT_EQ(got, want);
  EXPECT_EQ(counts.read, 3);  // 512 + 488 + the end of the file
  char item[100];
  EXPECT_EQ(bufio_read(item, 100, 1, s), 0u);
  EXPECT_EQ(bufio_error(s), -53);
  bufio_clear_error(s);
  EXPECT_EQ(bufio_error(s), 0);
  EXPECT_EQ(bufio_getc(s), -1);
  EXPECT_EQ(bufio_close(s), 0);
}

TEST_F(BufFileTest, LargeReadsGoDirectAndSeekBackRereads) {
  std::string path = file_of(5000);
  std::string want = read_file(path);
  BufFile* s = bufio_open_default(path.c_str(), "rb");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(bufio_seek(s, 100, 0), 0);
  EXPECT_EQ(bufio_getc(s), static_cast<unsigned char>(want[100]));  // the window now holds 100..611
  ASSERT_EQ(bufio_seek(s, 100, 0), 0);
  std::vector<char> big(2000);
  counts = Counts{};
  ASSERT_EQ(bufio_read(big.data(), 2000, 1, s), 1u);
  EXPECT_EQ(std::string(big.data(), 2000), want.substr(100, 2000));
  EXPECT_EQ(counts.read, 1);  // the rest went straight into the destination
  EXPECT_EQ(bufio_tell(s), 2100);
  ASSERT_EQ(bufio_seek(s, 100, 0), 0);
  ASSERT_EQ(bufio_read(big.data(), 2000, 1, s), 1u);
  EXPECT_EQ(std::string(big.data(), 2000), want.substr(100, 2000));
  EXPECT_EQ(bufio_close(s), 0);
}

TEST_F(BufFileTest, SeeksInsideTheWindowDoNoFileOperation) {
  std::string path = file_of(1000);
  std::string want = read_file(path);
  BufFile* s = bufio_open_default(path.c_str(), "rb");
  ASSERT_NE(s, nullptr);
  char buf[10];
  ASSERT_EQ(bufio_read(buf, 10, 1, s), 1u);
  counts = Counts{};
  EXPECT_EQ(bufio_seek(s, 0, 1), 0);  // whence 1, offset 0
  EXPECT_EQ(bufio_tell(s), 10);
  EXPECT_EQ(bufio_getc(s), static_cast<unsigned char>(want[10]));
  EXPECT_EQ(bufio_seek(s, 500, 0), 0);
  EXPECT_EQ(bufio_getc(s), static_cast<unsigned char>(want[500]));
  EXPECT_EQ(bufio_seek(s, -400, 1), 0);
  EXPECT_EQ(bufio_tell(s), 101);
  EXPECT_EQ(bufio_getc(s), static_cast<unsigned char>(want[101]));
  EXPECT_EQ(counts.read + counts.seek + counts.write, 0);
  EXPECT_EQ(bufio_seek(s, -10, 2), 0);  // from the end: a real seek
  EXPECT_EQ(bufio_tell(s), 990);
  EXPECT_EQ(bufio_getc(s), static_cast<unsigned char>(want[990]));
  EXPECT_EQ(counts.seek, 1);
  EXPECT_EQ(bufio_seek(s, -5000, 1), -25);  // before the start
  EXPECT_EQ(bufio_error(s), -25);
  EXPECT_EQ(bufio_close(s), 0);
}

TEST_F(BufFileTest, WritesThroughTheBuffer) {
  std::string path = tmp_ / "out";
  ErrorCode err;
  BufFile* s = bufio_open(path.c_str(), "wb", &err, 512);
  ASSERT_NE(s, nullptr);
  std::string want;
  for (int i = 0; i < 5; ++i) {
    std::string item(300, static_cast<char>('a' + i));
    ASSERT_EQ(bufio_write(item.data(), 300, 1, s), 1u);
    want += item;
  }
  EXPECT_EQ(bufio_tell(s), 1500);
  ASSERT_EQ(bufio_flush(s), 0);
  int writes = counts.write;
  ASSERT_EQ(bufio_flush(s), 0);  // twice in a row writes once
  EXPECT_EQ(counts.write, writes);
  EXPECT_EQ(bufio_close(s), 0);
  EXPECT_EQ(read_file(path), want);

  // putc, a large direct write, and overwriting inside a read window.
  s = bufio_open(path.c_str(), "rb", &err, 64);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(bufio_seek(s, 10, 0), 0);
  EXPECT_EQ(bufio_putc('X', s), 'X');
  std::string big(1000, '#');
  ASSERT_EQ(bufio_write(big.data(), 1, big.size(), s), big.size());
  EXPECT_EQ(bufio_tell(s), 1011);
  for (char c : std::string("tail")) EXPECT_EQ(bufio_putc(c, s), c);
  ASSERT_EQ(bufio_seek(s, 0, 0), 0);
  char first[12];
  ASSERT_EQ(bufio_read(first, 1, 12, s), 12u);
  EXPECT_EQ(std::string(first, 12), want.substr(0, 10) + "X#");
  EXPECT_EQ(bufio_close(s), 0);
  want.replace(10, 1005, "X" + big + "tail");
  EXPECT_EQ(read_file(path), want);
}

TEST_F(BufFileTest, ReadOnlyFallbackRecordsWriteErrors) {
  std::string path = file_of(100);
  chmod(path.c_str(), 0444);
  int rc = run_as_nobody([&] {
    ErrorCode err;
    BufFile* s = bufio_open(path.c_str(), "rb", &err, 16);
    if (s == nullptr) return 1;
    if (bufio_write("abc", 1, 3, s) != 3) return 2;  // buffered
    if (bufio_flush(s) != -1) return 3;              // the handle is read-only
    if (bufio_error(s) != -34) return 4;
    if (bufio_close(s) != -1) return 5;  // the flush fails again; still freed
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read_file(path).substr(0, 3), "ABC");
}

TEST_F(BufFileTest, WriterKeepsTheOrderAroundLargeBlocks) {
  std::string path = tmp_ / "state";
  LStrBuf<LSTR_CAP_NAME> name(path);
  BufWriter w;
  int h = bwriter_open(name, 2, &w, 16);
  ASSERT_GT(h, 0);
  EXPECT_EQ(bwriter_write(&w, "head-", 5), 0);
  std::string block(40, 'B');
  EXPECT_EQ(bwriter_write(&w, block.data(), block.size()), 0);  // larger than the buffer
  EXPECT_EQ(bwriter_write(&w, "0123456789", 10), 0);
  EXPECT_EQ(bwriter_write(&w, "abcdefgh", 8), 0);  // does not fit: flushed first
  EXPECT_EQ(read_file(path), "head-" + block + "0123456789");
  EXPECT_EQ(bwriter_seek(&w, 0, 0), 0);
  EXPECT_EQ(bwriter_write(&w, "H", 1), 0);
  EXPECT_EQ(bwriter_close(&w), 0);
  EXPECT_EQ(read_file(path), "Head-" + block + "0123456789abcdefgh");

  BufWriter bad;
  LStrBuf<LSTR_CAP_NAME> missing(tmp_ / "no/such");
  EXPECT_EQ(bwriter_open(missing, 2, &bad, 16), -3);
  BufWriter own;
  EXPECT_EQ(bwriter_open(nullptr, 0, &own, 8), 0);
  own.handle = 999;  // not open: the flush fails, the buffer is reset anyway
  EXPECT_EQ(bwriter_write(&own, "12345", 5), 0);
  EXPECT_EQ(bwriter_flush(&own), -34);
  EXPECT_EQ(own.cur, own.base);
  EXPECT_EQ(bwriter_close(&own), -35);
  {
    MemFaultGuard fail(1, true);
    EXPECT_EQ(bwriter_open(nullptr, 0, &own, 8), -8);
  }
}

TEST_F(BufFileTest, WriterReportsAFullDisk) {
  BufWriter w;
  ASSERT_EQ(bwriter_open(nullptr, 0, &w, 8), 0);
  w.handle = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (w.handle < 0) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(bwriter_write(&w, "abc", 3), 0);
  EXPECT_EQ(bwriter_close(&w), -36);
}

}  // namespace

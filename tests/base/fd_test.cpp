// The descriptor owner closes exactly once, and the read and write loops go
// on through short transfers and EINTR, stop at the end of the file, and
// report the error that stopped them.
#include "base/fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/temp_dir.h"

namespace {

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFdTest, ClosesOnceWhoeverHoldsIt) {
  int p[2];
  ASSERT_EQ(0, ::pipe(p));
  ::close(p[1]);
  {
    UniqueFd a(p[0]);
    UniqueFd b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(p[0], b.get());
    UniqueFd c;
    c = std::move(b);
    EXPECT_TRUE(is_open(p[0]));
  }
  EXPECT_FALSE(is_open(p[0])) << "closed when its last holder went";

  ASSERT_EQ(0, ::pipe(p));
  UniqueFd r(p[0]);
  EXPECT_EQ(p[0], r.release());
  r.reset(p[1]);
  EXPECT_TRUE(is_open(p[0])) << "released: not closed";
  EXPECT_EQ(0, r.close());
  EXPECT_FALSE(is_open(p[1]));
  EXPECT_EQ(0, r.close()) << "nothing held: nothing to close";
  ::close(p[0]);
}

// A scripted system call: each step takes at most `chunk` bytes or fails
// with `err` (0: succeed).
struct Step {
  size_t chunk;
  int err;
};
std::vector<Step> script;
size_t next_step = 0;
std::string written;
std::string file = "0123456789abcdef";

ssize_t scripted_write(int, const void* p, size_t n) {
  const Step s = next_step < script.size() ? script[next_step++] : Step{n, 0};
  if (s.err) return errno = s.err, -1;
  n = std::min(n, s.chunk);
  written.append(static_cast<const char*>(p), n);
  return static_cast<ssize_t>(n);
}

ssize_t scripted_pread(int, void* p, size_t n, off_t off) {
  const Step s = next_step < script.size() ? script[next_step++] : Step{n, 0};
  if (s.err) return errno = s.err, -1;
  if (static_cast<size_t>(off) >= file.size()) return 0;
  n = std::min({n, s.chunk, file.size() - static_cast<size_t>(off)});
  std::memcpy(p, file.data() + off, n);
  return static_cast<ssize_t>(n);
}

void run(std::vector<Step> s) {
  script = std::move(s);
  next_step = 0;
  written.clear();
}

TEST(FdWriteAllTest, GoesOnUntilDoneOrFailed) {
  const std::string data = "hello, world";
  struct Case {
    const char* name;
    std::vector<Step> script;
    int rc;
    std::string written;
  };
  const Case cases[] = {
      {"whole", {}, 0, data},
      {"short writes and EINTR", {{3, 0}, {0, EINTR}, {4, 0}}, 0, data},
      {"an error after a part", {{5, 0}, {0, EIO}}, EIO, "hello"},
      {"a write that takes nothing", {{5, 0}, {0, 0}}, ENOSPC, "hello"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    run(c.script);
    errno = 0;
    EXPECT_EQ(c.rc, fd_write_all(7, data.data(), data.size(), scripted_write));
    EXPECT_EQ(c.written, written);
    if (c.rc) {
      EXPECT_EQ(c.rc, errno);
    }
  }
}

TEST(FdPreadAllTest, ReadsToTheCountOrTheEndOfTheFile) {
  struct Case {
    const char* name;
    std::vector<Step> script;
    size_t n;
    int64_t offset;
    int64_t rc;
    std::string got;
  };
  const Case cases[] = {
      {"whole", {}, 4, 2, 4, "2345"},
      {"short reads and EINTR", {{1, 0}, {0, EINTR}, {2, 0}}, 6, 0, 6, "012345"},
      {"the end of the file", {{3, 0}}, 10, 12, 4, "cdef"},
      {"past the end", {}, 4, 20, 0, ""},
      {"an error", {{2, 0}, {0, EIO}}, 6, 0, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    run(c.script);
    std::string buf(c.n, '\0');
    EXPECT_EQ(c.rc, fd_pread_all(7, buf.data(), c.n, c.offset, scripted_pread));
    if (c.rc >= 0) {
      EXPECT_EQ(c.got, buf.substr(0, static_cast<size_t>(c.rc)));
    } else {
      EXPECT_EQ(EIO, errno);
    }
  }
}

TEST(FdPreadAllTest, ReadsARealFile) {
  zvxtest::TempDir dir("zvx-fd");
  UniqueFd fd(::open((dir / "f").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600));
  ASSERT_TRUE(fd);
  ASSERT_EQ(0, fd_write_all(fd.get(), file.data(), file.size()));
  char buf[8];
  EXPECT_EQ(6, fd_pread_all(fd.get(), buf, sizeof buf, 10));
  EXPECT_EQ("abcdef", std::string(buf, 6));
}

}  // namespace

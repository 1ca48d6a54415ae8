// What may stand under the name of a file the editor reads for itself, in
// place of the file: a directory, a FIFO (whose open or first read waits
// for a writer that never comes), a link to /dev/zero (which never ends),
// 64 MiB of garbage, or nothing at all. Each reader's test puts every kind
// in place in turn and checks its answer, under a watchdog: a reader that
// blocks or reads without end ends the test program with a message instead
// of hanging the run.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/temp_dir.h"

namespace zvxtest {

enum class Special { Directory, Fifo, DevZero, Garbage, Empty };

struct SpecialCase {
  const char* name;
  Special kind;
};
inline constexpr SpecialCase kSpecialFiles[] = {
    {"a directory", Special::Directory},       {"a FIFO", Special::Fifo},
    {"a link to /dev/zero", Special::DevZero}, {"64 MiB of garbage", Special::Garbage},
    {"an empty file", Special::Empty},
};

inline constexpr size_t kGarbageBytes = size_t{64} << 20;

// Puts the kind at path, after removing whatever stood there.
inline void make_special(const std::string& path, Special kind) {
  remove_tree(path);
  bool ok = true;
  switch (kind) {
    case Special::Directory:
      ok = ::mkdir(path.c_str(), 0755) == 0;
      break;
    case Special::Fifo:
      ok = ::mkfifo(path.c_str(), 0644) == 0;
      break;
    case Special::DevZero:
      ok = ::symlink("/dev/zero", path.c_str()) == 0;
      break;
    case Special::Garbage: {
      // One random mebibyte over and over: garbage to every reader, written fast.
      std::vector<char> chunk(size_t{1} << 20);
      std::mt19937 rng(51);
      for (char& c : chunk) c = static_cast<char>(rng());
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ok = fd >= 0;
      for (size_t done = 0; ok && done < kGarbageBytes; done += chunk.size())
        ok = ::write(fd, chunk.data(), chunk.size()) == static_cast<ssize_t>(chunk.size());
      if (fd >= 0) ::close(fd);
      break;
    }
    case Special::Empty: {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ok = fd >= 0 && ::close(fd) == 0;
      break;
    }
  }
  if (!ok) {
    std::perror(("cannot make " + path).c_str());
    std::abort();
  }
}

// Ends the test program with a message unless it is disarmed (destroyed)
// within the limit.
class Watchdog {
 public:
  Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(20)) : what_(std::move(what)) {
    thread_ = std::thread([this, limit] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
        std::fprintf(stderr, "%s did not return within %lld s\n", what_.c_str(), static_cast<long long>(limit.count()));
        std::abort();
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace zvxtest

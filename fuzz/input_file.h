// The fuzzer's input as a file the readers open by name: one memory file per
// target program, rewritten for each input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

// The path of a memory file now holding the bytes; empty when it cannot be
// written. One file serves every call of the program.
inline std::string fuzz_input_file(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("zvx-fuzz-input", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return {};
  return "/proc/self/fd/" + std::to_string(fd);
}

// Fuzz target: the ini scanner over arbitrary text (zorvex.ini, lexer and
// help definitions). The text lies in a block of exactly its length with no
// terminator, so a read past the end shows under the address sanitizer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const int32_t len = static_cast<int32_t>(size);
  std::unique_ptr<char[]> text(new char[size > 0 ? size : 1]);
  std::memcpy(text.get(), data, size);
  const char* t = text.get();

  char name[INI_NAME_SIZE];
  int sections = 0;
  for (const char* p = t; (p = ini_next_section(p, t, len, name)) != nullptr && sections < 10000; ++sections) {
    if (p < t || p > t + len || std::strlen(name) >= INI_NAME_SIZE) std::abort();
    int32_t off = static_cast<int32_t>(p - t);
    char key[INI_NAME_SIZE];
    char value[17];
    int entries = 0;
    for (int32_t prev = off; ini_next_key(t, len, &off, key, value, sizeof value) == 0; prev = off) {
      if (off <= prev || off > len) std::abort();  // every entry moves forward
      if (++entries > len) std::abort();
    }
  }
  int32_t off = ini_find_section(t, len, "Zorvex");
  if (off > len) std::abort();
  if (off >= 0) {
    LStrLine key, value;
    char line[9];
    int32_t again = off;
    while (ini_next_pair(t, len, &off, key, value) == 0) {
      if (key.len > LSTR_CAP_LINE || value.len > LSTR_CAP_LINE) std::abort();
    }
    while (ini_next_line(t, len, &again, line, sizeof line) == 0) {
      if (std::strlen(line) >= sizeof line) std::abort();
    }
  }
  uint32_t a, b;
  std::unique_ptr<char[]> z(new char[size + 1]);
  std::memcpy(z.get(), data, size);
  z[size] = '\0';
  cstr_scan_two_uints(z.get(), &a, &b);
  return 0;
}

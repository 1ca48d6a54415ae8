// Fuzz target: the counted-string word, token and field operations, the
// field put of block selections, and the varint length reader of compiled
// code. Every destination is a heap block of exactly its capacity, so any
// write past a capacity shows under the address sanitizer.
//
// Input: 8 bytes of parameters, then the source text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/lstr.h"
#include "base/messages.h"

namespace {

// An LStr with room for exactly cap bytes.
struct Exact {
  std::unique_ptr<char[]> mem;
  int32_t cap;
  explicit Exact(int32_t c) : mem(new char[sizeof(int32_t) + static_cast<size_t>(c)]), cap(c) { s()->len = 0; }
  LStr* s() { return reinterpret_cast<LStr*>(mem.get()); }
  void set(const uint8_t* p, int32_t n) { lstr_set_mem(s(), p, n, cap); }
};

void check(bool ok) {
  if (!ok) std::abort();
}

void check_len(Exact& e) { check(e.s()->len >= 0 && e.s()->len <= e.cap); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The varint reader sees the whole input as code: it must stay inside it.
  VarintResult vr{};
  if (varint_get(&vr, data, data + size) == 0) {
    check(vr.length >= 0 && vr.next > data && vr.next + vr.length <= data + size);
  }
  if (size < 8) return 0;
  const uint8_t* prm = data;
  const uint8_t* text = data + 8;
  const int32_t n = static_cast<int32_t>(size - 8 > 1024 ? 1024 : size - 8);

  // Words and tokens (destinations of capacity 1024).
  {
    Exact src(1024), dst(1024);
    src.set(text, n);
    int32_t start = static_cast<int8_t>(prm[0]);
    int32_t next = lstr_word_at(start, src.s(), dst.s());
    check_len(dst);
    check(next == 0 || (next > start && next <= src.s()->len));
    lstr_take_word(src.s(), dst.s());
    check_len(src);
    check_len(dst);
    char delims[3] = {static_cast<char>(prm[1]), static_cast<char>(prm[2]), '\0'};
    src.set(text, n);
    lstr_take_token(src.s(), dst.s(), delims);
    check_len(src);
    check_len(dst);
  }
  // Fields with a small capacity.
  {
    Exact src(1024);
    int32_t cap = prm[3] % 40;
    Exact dst(cap > 0 ? cap : 1);
    src.set(text, n);
    lstr_take_field(src.s(), dst.s(), cap, prm[4] & 1, static_cast<char>(prm[1]));
    check(dst.s()->len <= (cap > 0 ? cap - 1 : 0));
    check_len(src);
  }
  // Putting a field into a line of small capacity, at any column and width.
  {
    int32_t cap = prm[5] % 64;
    Exact dst(cap > 0 ? cap : 1);
    Exact src(1024);
    src.set(text, n);
    dst.set(text, n);
    lstr_field = {prm[4] & 2 ? 1 : 0, static_cast<int8_t>(prm[6]), static_cast<int8_t>(prm[7]), 0};
    lstr_put_field(src.s(), dst.s(), static_cast<int8_t>(prm[0]), cap);
    check(dst.s()->len >= 0 && dst.s()->len <= (cap > 0 ? cap : 1));
  }
  // Substring, delete and strip at any position.
  {
    Exact src(1024), dst(16);
    src.set(text, n);
    lstr_substr(dst.s(), src.s(), static_cast<int8_t>(prm[0]), static_cast<int8_t>(prm[6]), dst.cap);
    check_len(dst);
    lstr_delete(src.s(), static_cast<int8_t>(prm[0]), static_cast<int8_t>(prm[6]));
    check_len(src);
    lstr_strip(src.s(), static_cast<char>(prm[2]), static_cast<char>(prm[1]));
    check_len(src);
    int32_t v = lstr_to_long(src.s());
    check(lstr_number_error == 0 || v == 0);
    int32_t pos = lstr_verify(text, n, dst.s(), prm[4] & 4, static_cast<int8_t>(prm[7]));
    check(pos >= 0 && pos <= n);
    int32_t found = lstr_pos(dst.s(), src.s(), static_cast<int8_t>(prm[7]));
    check(found == 0 || (found >= 1 && found + dst.s()->len - 1 <= src.s()->len));
  }
  // The NUL-terminated forms, into buffers of exactly their size.
  {
    std::unique_ptr<char[]> line(new char[static_cast<size_t>(n) + 1]);
    std::memcpy(line.get(), text, static_cast<size_t>(n));
    line[static_cast<size_t>(n)] = '\0';
    const size_t room = prm[3] % 16 + 1;
    std::unique_ptr<char[]> word(new char[room]);
    std::unique_ptr<char[]> copy(new char[static_cast<size_t>(n) + 1]);
    std::memcpy(copy.get(), line.get(), static_cast<size_t>(n) + 1);
    cstr_take_word_quoted(copy.get(), word.get(), static_cast<int32_t>(room));
    check(std::strlen(word.get()) < room);
    std::memcpy(copy.get(), line.get(), static_cast<size_t>(n) + 1);
    cstr_take_word(copy.get(), word.get(), static_cast<int32_t>(room));
    std::memcpy(copy.get(), line.get(), static_cast<size_t>(n) + 1);
    cstr_take_field(copy.get(), word.get(), static_cast<int32_t>(room), prm[4] & 1, static_cast<char>(prm[1]));
    check(std::strlen(word.get()) < room);
  }
  return 0;
}

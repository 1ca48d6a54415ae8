// Fuzz target: the selection receiver fed arbitrary property values, as a
// hostile owner would send them: any type, format, item count (which may
// lie about the bytes behind it), INCR headers and chunks in any order.
// Each value's data lies in a block of exactly its length, so a read past
// the end shows under the address sanitizer.
//
// Input: records of [type][format][items u16 LE][bytes u16 LE][bytes...].
// type 0 is None, 1 the wanted type, 2 INCR, else itself; format 0-3 mean
// 8, 16, 32 and a bad 7; other values are used as they are.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "winsys/sel_receive.h"

namespace {

constexpr Atom kWanted = 31, kIncr = 200;

struct Script {
  const uint8_t* p;
  size_t left;
  std::vector<std::unique_ptr<unsigned char[]>> blocks;
  size_t values = 0;
};

bool next(void* ctx, XfPropValue* out) {
  auto* s = static_cast<Script*>(ctx);
  if (s->left < 6 || s->values > 4000) return false;
  const uint8_t* h = s->p;
  size_t bytes = h[4] | h[5] << 8;
  if (bytes > s->left - 6) bytes = s->left - 6;
  static const int formats[] = {8, 16, 32, 7};
  out->type = h[0] == 0 ? 0 : h[0] == 1 ? kWanted : h[0] == 2 ? kIncr : h[0];
  out->format = h[1] < 4 ? formats[h[1]] : h[1];
  out->nitems = h[2] | h[3] << 8;
  s->blocks.emplace_back(new unsigned char[bytes ? bytes : 1]);
  std::memcpy(s->blocks.back().get(), h + 6, bytes);
  out->data = bytes ? s->blocks.back().get() : nullptr;
  out->bytes = bytes;
  s->p += 6 + bytes;
  s->left -= 6 + bytes;
  ++s->values;
  return true;
}

bool begin(void*) { return true; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  Script script{data, size, {}};
  std::vector<uint8_t> out{1, 2, 3};
  int r = xf_receive_selection(XfPropertySource{next, begin, &script}, kWanted, kIncr, &out);
  if (r != 0 && r != -1) std::abort();
  if (r == -1 && !out.empty()) std::abort();
  if (out.size() > kMaxSelectionBytes) std::abort();
  // A plain value brings exactly its items' bytes.
  if (r == 0 && size >= 6 && data[0] == 1) {
    static const size_t wire[] = {1, 2, 4};
    if (data[1] < 3 && out.size() != static_cast<size_t>(data[2] | data[3] << 8) * wire[data[1]]) std::abort();
  }
  return 0;
}

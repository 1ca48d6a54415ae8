// Fuzz target: the tag scanner and the tag parser over arbitrary text. The
// first byte picks the reader's piece size; the scan must give the same
// tokens as with whole fills, offsets must stay inside the text and move
// forward, and the parser must come to the end of the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/tag_scan_setup.h"
#include "services/tag_parse.h"
#include "services/tag_scan.h"
#include "tests/services/tag_fake_api.h"

namespace {

struct Src {
  const uint8_t* data;
  size_t size;
  size_t at;
  size_t chunk;
};

int32_t read_src(void* h, uint8_t* dst, int32_t cap) {
  auto& s = *static_cast<Src*>(h);
  size_t n = s.size - s.at;
  if (n > static_cast<size_t>(cap)) n = static_cast<size_t>(cap);
  if (n > s.chunk) n = s.chunk;
  std::memcpy(dst, s.data + s.at, n);
  s.at += n;
  return static_cast<int32_t>(n);
}

std::vector<int64_t> scan(const TokenScanner& cfg, const uint8_t* data, size_t size, size_t chunk) {
  Src src{data, size, 0, chunk};
  TagScan sc;
  DirectiveLog log;
  sc.set_user(&log);
  sc.start(&cfg, read_src, &src);
  std::vector<int64_t> out;
  int64_t last = 0;
  for (int32_t t = sc.first();; t = sc.next()) {
    if (sc.token_offset() < last || sc.token_offset() > static_cast<int64_t>(size)) std::abort();
    last = sc.token_offset();
    out.push_back(t);
    out.push_back(sc.token_offset());
    out.push_back(sc.line());
    out.push_back(static_cast<int64_t>(log.seen.size()));
    if (t == kTokEnd) break;
    if (out.size() > 8 * (size + 2)) std::abort();  // a token that consumed nothing, over and over
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 18)) return 0;
  const size_t chunk = 1 + data[0] % 64;
  ++data;
  --size;
  static TokenScanner c, java;
  if (!c.set_up() && (tag_scan_test_config(c, false) || tag_scan_test_config(java, true))) std::abort();
  if (scan(c, data, size, 1 << 20) != scan(c, data, size, chunk)) std::abort();
  scan(java, data, size, chunk);

  tagfake::reset();
  const std::string text(reinterpret_cast<const char*>(data), size);
  tagfake::list(text);
  tagfake::list(text, true);
  tagfake::ed().vars[1] = "x";
  tagfake::ed().args = {1, 2, 3};
  while (c_proc_search(1, 0, 3) == 0) tagfake::ed().vars[1] = "x";
  return 0;
}

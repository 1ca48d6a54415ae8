// Fuzz target: loading any file into the text store. The first byte picks the
// load options, the rest is the file. Under a three-page limit (so pages spill
// and come back) the buffer must pass its check, hold every byte of the file
// (less a final Ctrl-Z, plus the end of line a last line lacks), keep every
// line within the limit, and read the same lines forwards and backwards.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/cursor.h"
#include "text/load.h"
#include "text/store.h"
#include "tests/temp_dir.h"

namespace {

constexpr int32_t kThreePagesKb = 20;

std::vector<std::string> walk(BufferRec* b, bool forward) {
  std::vector<std::string> out;
  PosRecord p{};
  p.buffer = b;
  if (forward) {
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) out.push_back(line_get_string(&p, b));
    return out;
  }
  if (pos_last_line(&p, b) != 0) std::abort();
  if (p.block == b->first_block && p.index == 0) return out;
  do {
    out.push_back(line_get_string(&p, b));
  } while (pos_prev_line(&p, b) == 0 && !(p.block == b->first_block && p.index == 0));
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (256u << 10)) return 0;
  const uint8_t opt = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  int fd = ::memfd_create("zvx-fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
  if (store_init(kThreePagesKb, zvxtest::process_temp_dir(), 2) != 0) std::abort();
  BufferRec b{};
  buf_store_defaults(&b);
  b.source_fd = fd;
  StoreLoadOptions o;
  o.whole = opt & 1;
  o.ctrlz_stop = opt & 2;
  o.mode = (opt & 4) ? 2 : 0;
  if (opt & 8) {  // the caller gives CR LF
    o.eol_given = true;
    b.eol[0] = '\r';
  }
  PosRecord pos{};
  if (store_load_file(&pos, &b, o) != 0) std::abort();
  if (!store_check(&b).empty()) std::abort();
  std::vector<std::string> fwd = walk(&b, true);
  for (auto& l : fwd)
    if (l.size() > 1024) std::abort();
  if (walk(&b, false) != fwd) std::abort();
  if (!store_check(&b).empty()) std::abort();
  if (!o.ctrlz_stop || o.mode == 2) {
    std::string want = text;
    if (o.mode != 2 && !want.empty() && want.back() == 26) want.pop_back();
    if (o.mode != 2 && !want.empty() && want.back() != static_cast<char>(b.eol[1])) {
      // The last line is written again with its own text: a lone first
      // end-of-line byte at its end becomes part of the full end of line.
      if (b.eol[0] != b.eol[1] && want.back() != static_cast<char>(b.eol[0])) want += static_cast<char>(b.eol[0]);
      want += static_cast<char>(b.eol[1]);
    }
    std::string raw(static_cast<size_t>(b.bytes), '\0');
    if (buf_read_bytes_at(raw.data(), b.bytes, 0, &b) != b.bytes) std::abort();
    if (raw != want) std::abort();
  }
  store_close_buffer(&b);
  store_shutdown();
  return 0;
}

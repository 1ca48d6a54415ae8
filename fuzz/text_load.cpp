// Fuzz target: loading any file into the text store, then saving it. The
// first byte picks the load options and the memory limit, the rest is the
// file. In every mode the buffer must pass its check, read the same lines
// forwards and backwards (none over the line limit, even joined over pages),
// count them alike, and hold exactly the bytes a plain model of the options
// gives; a save without stripping or backup must write those same bytes.
//
// Option byte: 0x01 read the whole file, 0x02 stop at a Ctrl-Z, 0x04 raw,
// 0x08 the caller gives CR LF, 0x10 count lines while reading (not raw),
// 0x20 expand tabs while loading, 0xc0 the memory limit and page size.
// The file's length picks the order pages are first read in.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/temp_dir.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/save.h"
#include "text/store.h"

namespace {

constexpr uint8_t kCtrlZ = 26;
constexpr size_t kEolScan = 1025;  // end-of-line detection looks this far
constexpr int kLineLimit = 1024;

// {memory KB, largest file MB}: three pages of 8 KB, more of them, no
// eviction at all, and three pages of 16 KB.
constexpr int32_t kLimits[4][2] = {{20, 2}, {64, 2}, {1024, 2}, {48, 50}};

struct Model {
  uint8_t eol[2] = {'\n', '\n'};
  std::string bytes;
};

void detect_eol(Model& m, const std::string& t) {
  const size_t n = std::min(t.size(), kEolScan);
  for (size_t i = 0; i < n; ++i) {
    if (t[i] == '\n') return;
    if (t[i] == '\r') {
      m.eol[0] = '\r';
      m.eol[1] = i + 1 < n && t[i + 1] == '\n' ? '\n' : '\r';
      return;
    }
  }
}

// Tabs become blanks up to the next multiple of 8; a line is ended (without
// an end of line) once it holds 1023 bytes, or before a tab that would pass
// that column, and the rest starts a new line at column 0.
std::string expand_tabs(const std::string& t, char eol) {
  std::string out;
  int col = 0;
  for (char c : t) {
    if (c == '\t') {
      int stop = col + 8 - col % 8;
      if (stop > kLineLimit - 1) col = 0, stop = 8;
      out.append(static_cast<size_t>(stop - col), ' ');
      col = stop;
    } else {
      out += c;
      ++col;
    }
    if (c == eol || col >= kLineLimit - 1) col = 0;
  }
  return out;
}

Model model(const std::string& file, uint8_t opt) {
  Model m;
  const bool raw = opt & 0x04;
  std::string t = file;
  if (!raw && !t.empty() && static_cast<uint8_t>(t.back()) == kCtrlZ) t.pop_back();
  if (opt & 0x08) {
    m.eol[0] = '\r';
  } else {
    detect_eol(m, t);
  }
  if (raw) {
    m.bytes = t;
    return m;
  }
  const bool expand = opt & 0x20;
  if ((opt & 0x02) || expand) t = t.substr(0, std::min(t.size(), t.find(static_cast<char>(kCtrlZ))));
  if (expand) t = expand_tabs(t, static_cast<char>(m.eol[1]));
  // A last line without an end of line gets one: after a lone first byte of
  // a two-byte end of line only the second.
  if (!t.empty() && t.back() != static_cast<char>(m.eol[1])) {
    if (m.eol[0] != m.eol[1] && t.back() != static_cast<char>(m.eol[0])) t += static_cast<char>(m.eol[0]);
    t += static_cast<char>(m.eol[1]);
  }
  m.bytes = std::move(t);
  return m;
}

void check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string> walk(BufferRec* b, bool forward) {
  std::vector<std::string> out;
  PosRecord p{};
  p.buffer = b;
  if (forward) {
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) {
      LineInfo info;
      out.push_back(line_get_string(&p, b, &info));
      check(info.raw <= kLineLimit);  // joined over pages too
    }
    return out;
  }
  check(pos_last_line(&p, b) == 0);
  if (p.block == b->first_block && p.index == 0) return out;
  do {
    LineInfo info;
    out.push_back(line_get_string(&p, b, &info));
    check(info.raw <= kLineLimit);
  } while (pos_prev_line(&p, b) == 0 && !(p.block == b->first_block && p.index == 0));
  std::reverse(out.begin(), out.end());
  return out;
}

// A private directory for the spill file and the saved file of one input.
std::string make_work_dir() {
  std::string t = zvxtest::temp_root() + "/zvx-fuzz-load-XXXXXX";
  check(::mkdtemp(t.data()) != nullptr);
  return t;
}

std::string read_back(const std::string& path) {
  std::string out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  check(fd >= 0);
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    check(n >= 0);
    if (n == 0) break;
    out.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (256u << 10)) return 0;
  const uint8_t opt = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const Model want = model(text, opt);
  int fd = ::memfd_create("zvx-fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  check(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
  const std::string dir = make_work_dir();
  const int32_t* limit = kLimits[opt >> 6];
  check(store_init(limit[0], dir, limit[1]) == 0);
  save_settings.sync = false;
  BufferRec b{};
  buf_store_defaults(&b);
  b.source_fd = fd;
  b.expand_tabs_load = (opt & 0x20) ? 1 : 0;
  StoreLoadOptions o;
  o.whole = opt & 0x01;
  o.ctrlz_stop = opt & 0x02;
  o.mode = (opt & 0x04) ? 2 : (opt & 0x10) ? 1 : 0;
  if (opt & 0x08) {
    o.eol_given = true;
    b.eol[0] = '\r';
  }
  PosRecord pos{};
  check(store_load_file(&pos, &b, o) == 0);
  check(store_check(&b).empty());
  check(b.modified == 0);
  check(b.eol[0] == want.eol[0] && b.eol[1] == want.eol[1]);

  // Pages are read in another order when the file's length is odd: its
  // middle first, then from the end backwards.
  std::vector<std::string> fwd, bwd;
  if (text.size() % 2) {
    PosRecord mid{};
    mid.buffer = &b;
    if (b.bytes > 0) check(pos_seek_offset(&mid, b.bytes / 2) == 0);
    bwd = walk(&b, false);
    fwd = walk(&b, true);
  } else {
    fwd = walk(&b, true);
    bwd = walk(&b, false);
  }
  check(bwd == fwd);
  int32_t total = -1;
  check(pos_count_lines(nullptr, &b, total) == 0 && total == static_cast<int32_t>(fwd.size()));
  check(store_check(&b).empty());

  check(b.bytes == static_cast<int64_t>(want.bytes.size()));
  std::string held(static_cast<size_t>(b.bytes), '\0');
  check(buf_read_bytes_at(held.data(), b.bytes, 0, &b) == b.bytes);
  check(held == want.bytes);

  const std::string out = dir + "/saved";
  check(buf_save_buffer(&b, "-S +O " + out) == 0);
  check(read_back(out) == want.bytes);
  check(store_check(&b).empty());
  ::unlink(out.c_str());

  store_close_buffer(&b);
  store_shutdown();  // removes the spill file
  check(::rmdir(dir.c_str()) == 0);
  save_settings = SaveSettings{};
  return 0;
}

// Saving: option parsing, backup names, the three ways a file is written
// (temporary file and rename, in place behind a secured copy, directly into
// a FIFO or device), and the writer that turns the buffer's pages into bytes.

#include "text/save.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "base/file_node.h"
#include "base/filename.h"
#include "base/mem.h"
#include "base/os.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/source_check.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "text/tabs.h"
#include "text/ui_port.h"

SaveSettings save_settings;

namespace {

constexpr uint8_t kCtrlZ = 26;
// Output buffer sizes, largest first: a big buffer keeps system calls few on
// large files; the smaller ones are the fall-backs when memory is short.
constexpr size_t kOutSizes[] = {1 << 20, 15000, 8000};
constexpr size_t kOutStatic = 2000;
constexpr int kCopyChunk = 1 << 20;
// Runs of unchanged lines at least this long go from the page to the file
// without a copy into the output buffer.
constexpr size_t kDirectRun = 16384;
// Unread text is read and checked this much at a time before it is copied.
constexpr int64_t kScanRun = 1 << 20;
constexpr int64_t kScanRunMin = 16 << 10;

ErrorCode write_errno(int err) {
  if (err == ENOSPC || err == EDQUOT) return ERR_INSUFFICIENT_DISK_SPACE;
  return os_errno_code(err, ERR_WRITING_FILE);
}

ErrorCode write_all(int fd, const void* p, size_t n) {
  auto* b = static_cast<const char*>(p);
  while (n > 0) {
    ssize_t w = file_io().write(fd, b, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return write_errno(errno);
    }
    if (w == 0) return ERR_INSUFFICIENT_DISK_SPACE;
    b += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

// Closes a descriptor once, whatever path is taken.
struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  // A close error on a written file means the data may not be there.
  ErrorCode close_checked() {
    int f = fd;
    fd = -1;
    return ::close(f) == 0 ? 0 : write_errno(errno);
  }
};

// The output buffer: appended to, written out when full; large runs go
// straight from the page to the file.
class Out {
 public:
  explicit Out(int fd) : fd_(fd) {
    for (size_t n : kOutSizes) {
      buf_ = static_cast<char*>(n > 15000 ? mem_alloc(n) : store_malloc(n));
      if (buf_) {
        cap_ = n;
        return;
      }
    }
    buf_ = static_buf_;
    cap_ = kOutStatic;
  }
  ~Out() {
    if (buf_ != static_buf_) mem_free(buf_);
  }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  ErrorCode put(const void* p, size_t n) {
    if (err_) return err_;
    total_ += static_cast<int64_t>(n);
    if (n >= kDirectRun || used_ + n > cap_) {
      if ((err_ = flush())) return err_;
      if (n >= kDirectRun || n >= cap_ / 2) {
        if ((err_ = write_all(fd_, p, n))) return err_;
        start_writeback();
        return 0;
      }
    }
    std::memcpy(buf_ + used_, p, n);
    used_ += n;
    start_writeback();
    return 0;
  }
  ErrorCode flush() {
    if (used_ == 0) return err_;
    ErrorCode rc = write_all(fd_, buf_, used_);
    used_ = 0;
    if (rc && !err_) err_ = rc;
    return err_;
  }
  int64_t total() const { return total_; }

  // A save that ends in fsync starts the disk writes as the file grows, so
  // that the fsync waits for the last stretch only. Only a hint: errors
  // show at the fsync.
  void start_writeback() {
    if (!save_settings.sync) return;
    const int64_t written = total_ - static_cast<int64_t>(used_);
    if (written - kicked_ < kWritebackRun) return;
    ::sync_file_range(fd_, kicked_, written - kicked_, SYNC_FILE_RANGE_WRITE);
    kicked_ = written;
  }

  // Copies a range of another file, in the kernel when it can.
  ErrorCode copy_from(int in, int64_t off, int64_t n) {
    if (err_ || (err_ = flush())) return err_;
    total_ += n;
    while (n > 0) {
      ssize_t r = file_io().copy_range(in, &off, fd_, static_cast<size_t>(n));
      if (r > 0) {
        n -= r;
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) break;
      return err_ = (r == 0 ? ERR_READING_FILE : write_errno(errno));
    }
    if (n == 0) start_writeback();
    // The fall-back: through the output buffer.
    while (n > 0) {
      size_t want = static_cast<size_t>(n) < cap_ ? static_cast<size_t>(n) : cap_;
      ssize_t r = file_io().pread(in, buf_, want, off);
      if (r <= 0) return err_ = ERR_READING_FILE;
      if ((err_ = write_all(fd_, buf_, static_cast<size_t>(r)))) return err_;
      off += r;
      n -= r;
    }
    start_writeback();
    return 0;
  }

 private:
  static constexpr int64_t kWritebackRun = 8 << 20;
  int fd_;
  int64_t kicked_ = 0;
  char* buf_ = nullptr;
  size_t cap_ = 0;
  size_t used_ = 0;
  int64_t total_ = 0;
  ErrorCode err_ = 0;
  static char static_buf_[kOutStatic];
};
char Out::static_buf_[kOutStatic];

// A line whose trailing blanks the save removed, to be removed in the buffer too.
struct StripEdit {
  int32_t line;
  std::string text;
};

// Turns the buffer's lines into file bytes.
//
// A line that ends with the buffer's second end-of-line byte is complete: its
// text is written (processed as the flags say) followed by the buffer's end
// of line. A piece of an over-long line that loading had to cut has no end
// of line and is written as it is, so the file keeps the line whole. A line
// continued over pages is joined first, without any length limit.
class Writer {
 public:
  Writer(BufferRec* buf, Out& out, uint32_t flags) : buf_(buf), out_(out), flags_(flags) {
    two_byte_ = buf->record_len == 0 && buf->eol[0] != buf->eol[1];
    eol_len_ = buf->record_len ? 0 : (two_byte_ ? 2 : 1);
    raw_ = flags & kSaveRaw;
    strip_ = (flags & kSaveStrip) && !raw_;
    expand_ = (flags & (kSaveExpand | kSaveEntab)) && !raw_;
    entab_ = (flags & kSaveEntab) && !raw_;
    // Lines that can go out byte for byte: only the default processing allows it.
    run_ok_ = !expand_;
  }

  // Fast mode: nothing is processed, so every block goes out as its bytes:
  // blocks still unread straight from the source file, the others from their
  // pages. No source block is read, so no block range moves meanwhile. Text
  // lost with a changed source fails the write (-33).
  bool fast() const {
    // Records are stored without ends of line: raw bytes only while B holds.
    return !strip_ && !expand_ && (buf_->record_len ? raw_ : !raw_);
  }

  ErrorCode run_fast() {
    const int64_t tof = buf_->record_len ? buf_->record_len : 1;
    int64_t run_off = 0, run_len = 0;  // adjacent unread ranges go out in one copy
    for (int32_t b = buf_->first_block; b >= 0; b = store_block(b).next) {
      const BlockEntry& e = store_block(b);
      const int64_t lead = b == buf_->first_block ? tof : 0;
      ErrorCode rc = 0;
      if (store_block_lost(buf_, b)) return ERR_READING_FILE;
      if (!(e.count & kCountInMemory) && store_loc_is_source(e.loc) && buf_->source_fd >= 0) {
        int64_t off = store_loc_source_offset(e.loc), len = static_cast<int64_t>(e.bytes) - lead;
        if (run_len && off == run_off + run_len) {
          run_len += len;
          continue;
        }
        if (run_len) rc = copy_source(run_off, run_len);
        run_off = off;
        run_len = len;
      } else {
        if (run_len) rc = copy_source(run_off, run_len);
        run_len = 0;
        if (rc) return rc;
        Page* p = nullptr;
        if ((rc = store_get_page(p, b, buf_)) != 0) return rc;
        p = store_block(b).page;
        rc = out_.put(p->text + lead, static_cast<size_t>(store_block(b).bytes - lead));
      }
      if (rc) return rc;
    }
    if (run_len) {
      if (ErrorCode rc = copy_source(run_off, run_len)) return rc;
    }
    if ((flags_ & kSaveCtrlZ) && !raw_ && two_byte_ && buf_->eol[0] == '\r' && buf_->eol[1] == '\n')
      return out_.put(&kCtrlZ, 1);
    return 0;
  }

  // With the default processing, unread text whose lines need no change
  // (no blank before an end of line, none cut at the line limit, with
  // two-byte ends every end both bytes) goes from
  // the old file by the kernel, up to the end of a line near a block's end:
  // the rest of that block's range moves to the start of the next one, still
  // unread, as reading that one would do. b becomes the first block left for
  // the ordinary walk, up to the block of a line that needs processing.
  ErrorCode copy_unread(int32_t& b) {
    if (!strip_ || expand_ || raw_ || buf_->record_len || pending_cr_) return 0;
    SourceRun run;
    while (store_source_run(b, buf_, window_, run)) {
      scan_.resize(static_cast<size_t>(run.bytes + 64));
      if (ErrorCode rc = store_read_source_bytes(buf_, scan_.data(), run.bytes, run.file_off)) return rc;
      LineScan sc;
      // Two-byte ends of line are checked apart (two_byte_clean).
      sc.want_blanks = !two_byte_;
      int64_t done = 0, lines = 0, at = 0, tail = 0;
      int32_t cut = -1;  // the block the copy ends in
      int32_t bad = -1;  // the block of a line that needs processing
      bool clean = true;
      for (int32_t x = run.first;; x = store_block(x).next) {
        const int64_t end = at + store_block(x).bytes;
        line_scan(sc, scan_.data(), at, end, buf_->eol[1]);
        if (sc.blank_end || sc.over_limit || (two_byte_ && !two_byte_clean(scan_.data(), at, end))) {
          clean = false;
          bad = x;
          break;
        }
        const int32_t next = store_block(x).next;
        if (sc.line_start == end ||
            (sc.line_start > at && end - sc.line_start < kMaxLineBytes && next >= 0 && store_unread_source(next))) {
          done = sc.line_start;
          lines = sc.eols;
          tail = end - sc.line_start;
          cut = x;
        }
        at = end;
        if (x == run.last) break;
      }
      if (cut >= 0) {
        if (ErrorCode rc = copy_source(run.file_off, done)) return rc;
        line_no_ += static_cast<int32_t>(lines);
        if (tail > 0) store_shift_to_next(cut, tail);
        b = store_block(cut).next;
      }
      if (!clean) {
        // Up to the line that needs it; runs read after one are shorter, so
        // text read but not copied stays a small part of what is read.
        ordinary_until_ = bad;
        window_ = std::max<int64_t>(window_ / 2, kScanRunMin);
        break;
      }
      window_ = std::min<int64_t>(window_ * 2, kScanRun);
      if (cut != run.last) {
        ordinary_until_ = run.last;
        break;
      }
    }
    return 0;
  }

  ErrorCode run() {
    if (fast()) return run_fast();
    bool skip_first = false;  // entry 0 continues a line already written
    for (int32_t b = buf_->first_block; b >= 0;) {
      if (ordinary_until_ < 0 && !skip_first) {
        if (ErrorCode rc = copy_unread(b)) return rc;
        if (b < 0) break;
      }
      if (b == ordinary_until_) ordinary_until_ = -1;
      if (store_block_lost(buf_, b)) return ERR_READING_FILE;  // its text went with the changed source file
      Page* p = nullptr;
      int32_t rc = store_get_page_counted(p, b, buf_);
      if (rc) return rc;
      p = store_block(b).page;
      const int n = static_cast<int>(p->nlines);
      int k = 0;
      int64_t off = 0;
      if (b == buf_->first_block && n > 0) {  // the top-of-file line
        off += page_entry(p, 0)->length;
        k = 1;
      }
      if (skip_first && k == 0 && n > 0) {
        off += page_entry(p, 0)->length;
        k = 1;
      }
      const int last = p->cont ? n - 1 : n;  // a continued last line is joined below
      int64_t run_start = off;
      for (; k < last; ++k) {
        const int32_t len = page_entry(p, k)->length;
        const uint8_t* t = p->text + off;
        ++line_no_;
        if (run_ok_ && plain(t, len)) {
          off += len;
          continue;
        }
        if ((rc = out_.put(p->text + run_start, static_cast<size_t>(off - run_start)))) return rc;
        if ((rc = line(t, len))) return rc;
        off += len;
        run_start = off;
      }
      if ((rc = out_.put(p->text + run_start, static_cast<size_t>(off - run_start)))) return rc;
      int32_t next = store_block(b).next;
      skip_first = p->cont != 0;  // the next page's entry 0 belongs to a line written here
      if (p->cont && k < n) {
        std::string joined(reinterpret_cast<const char*>(p->text + off), page_entry(p, k)->length);
        if ((rc = join(joined, next))) return rc;
        ++line_no_;
        if ((rc = line(reinterpret_cast<const uint8_t*>(joined.data()), static_cast<int32_t>(joined.size()))))
          return rc;
      }
      b = next;
    }
    if (pending_cr_) {
      if (ErrorCode rc = put_eol()) return rc;
    }
    if (!raw_ && (flags_ & kSaveCtrlZ) && two_byte_ && buf_->eol[0] == '\r' && buf_->eol[1] == '\n')
      return out_.put(&kCtrlZ, 1);
    return 0;
  }

  std::vector<StripEdit>& strips() { return strips_; }

 private:
  // Copies a range of the source file. The file is checked before and after:
  // bytes copied while another program changed it may be a mix (-33).
  ErrorCode copy_source(int64_t off, int64_t n) {
    if (store_source_check(buf_) != 0) return ERR_READING_FILE;
    if (ErrorCode rc = out_.copy_from(buf_->source_fd, off, n)) return rc;
    return store_source_check(buf_) != 0 ? ERR_READING_FILE : 0;
  }

  // Appends the continued parts that follow in the next pages.
  ErrorCode join(std::string& s, int32_t b) {
    for (; b >= 0; b = store_block(b).next) {
      if (store_block_lost(buf_, b)) return ERR_READING_FILE;
      Page* q = nullptr;
      int32_t rc = store_get_page_counted(q, b, buf_);
      if (rc) return rc;
      q = store_block(b).page;
      if (q->nlines == 0) break;
      s.append(reinterpret_cast<const char*>(q->text), page_entry(q, 0)->length);
      if (!(q->nlines == 1 && q->cont)) break;
    }
    return 0;
  }

  // With two-byte ends of line: whether every second byte in s[from, to)
  // ends a line as the save writes it back unchanged, after the first byte
  // and no blank. s holds the run read from its start; a line end too near
  // that start to see the bytes before it counts as not clean.
  bool two_byte_clean(const uint8_t* s, int64_t from, int64_t to) const {
    for (int64_t j = from; j < to; ++j) {
      const void* nl = std::memchr(s + j, buf_->eol[1], static_cast<size_t>(to - j));
      if (nl == nullptr) return true;
      j = static_cast<const uint8_t*>(nl) - s;
      if (j < 2 || s[j - 1] != buf_->eol[0] || s[j - 2] == ' ') return false;
    }
    return true;
  }

  // Length of the end of line the raw line carries (0: a piece without one).
  int32_t term_length(const uint8_t* t, int32_t len) const {
    if (buf_->record_len) return 0;
    if (len == 0 || t[len - 1] != buf_->eol[1]) return 0;
    return (two_byte_ && len >= 2 && t[len - 2] == buf_->eol[0]) ? 2 : 1;
  }

  // The line can be written as its raw bytes.
  bool plain(const uint8_t* t, int32_t len) const {
    if (pending_cr_) return false;
    if (buf_->record_len) return raw_;
    int32_t tl = term_length(t, len);
    if (tl == 0) return !(two_byte_ && len > 0 && t[len - 1] == buf_->eol[0]);  // a piece
    if (raw_ || tl != eol_len_) return false;
    return !(strip_ && len > tl && t[len - tl - 1] == ' ');
  }

  ErrorCode put_eol() {
    pending_cr_ = false;
    if (raw_ || eol_len_ == 0) return 0;
    if (two_byte_) return out_.put(buf_->eol, 2);
    return out_.put(&buf_->eol[1], 1);
  }

  ErrorCode line(const uint8_t* t, int32_t len) {
    if (pending_cr_) {
      // The piece before ended in the first end-of-line byte; together with a
      // line that holds just the second byte it was one end of line.
      if (len == 1 && t[0] == buf_->eol[1]) return put_eol();
      if (ErrorCode rc = put_eol()) return rc;
    }
    bool complete = buf_->record_len != 0;
    int32_t text_len = len;
    if (!complete) {
      int32_t tl = 0;
      if (len > 0 && t[len - 1] == buf_->eol[1]) tl = (two_byte_ && len >= 2 && t[len - 2] == buf_->eol[0]) ? 2 : 1;
      complete = tl > 0;
      text_len = len - tl;
      if (!complete) {
        if (two_byte_ && len > 0 && t[len - 1] == buf_->eol[0]) {
          pending_cr_ = true;
          return out_.put(t, static_cast<size_t>(len - 1));
        }
        return out_.put(t, static_cast<size_t>(len));
      }
    }
    const char* text = reinterpret_cast<const char*>(t);
    if (strip_) {
      int32_t n = text_len;
      while (n > 0 && text[n - 1] == ' ') --n;
      if (n != text_len) {
        text_len = n;
        strips_.push_back({line_no_, std::string(text, static_cast<size_t>(n))});
      }
    }
    ErrorCode rc = 0;
    if (expand_ && std::memchr(text, '\t', static_cast<size_t>(text_len))) {
      expanded_.len = 0;
      tab_expand_range(expanded_, LSTR_CAP_LINE, std::string_view(text, static_cast<size_t>(text_len)), 1, -1, 'E',
                       tab_stops_current());
      text = expanded_.text;
      text_len = expanded_.size();
    }
    if (entab_ && !after_backslash_) {
      char tmp[LSTR_CAP_LINE];
      int32_t n = entab_line(tmp, text, text_len);
      after_backslash_ = text_len > 0 && text[text_len - 1] == '\\';
      rc = out_.put(tmp, static_cast<size_t>(n));
    } else {
      after_backslash_ = text_len > 0 && text[text_len - 1] == '\\';
      rc = out_.put(text, static_cast<size_t>(text_len));
    }
    if (rc) return rc;
    return put_eol();
  }

  BufferRec* buf_;
  Out& out_;
  uint32_t flags_;
  bool two_byte_ = false;
  int32_t eol_len_ = 1;
  bool raw_ = false, strip_ = false, expand_ = false, entab_ = false, run_ok_ = true;
  bool pending_cr_ = false;
  bool after_backslash_ = false;
  int32_t line_no_ = 0;
  int32_t ordinary_until_ = -1;  // the walk reads up to this block before copying again
  int64_t window_ = kScanRun;    // how much unread text is read at a time
  std::vector<uint8_t> scan_;
  std::vector<StripEdit> strips_;
  LStrLine expanded_;
};

// Writes the buffer's text to fd with the tab settings a save uses. -33
// when text the buffer had still to read went with a changed source file.
ErrorCode write_buffer(BufferRec* buf, int fd, uint32_t flags, std::vector<StripEdit>& strips, int64_t* total) {
  BufferRec* saved_tab_buf = tab_buffer_processed;
  uint8_t saved_switch = buf->no_tab_expand;
  tab_buffer_processed = buf;
  if (!(flags & kSaveRaw)) buf->no_tab_expand = 0;
  Out out(fd);
  Writer w(buf, out, flags);
  ErrorCode rc = w.run();
  if (!rc) rc = out.flush();
  tab_buffer_processed = saved_tab_buf;
  buf->no_tab_expand = saved_switch;
  if (!rc) {
    strips = std::move(w.strips());
    if (total) *total = out.total();
  }
  return rc;
}

// ---- files -------------------------------------------------------------------

std::string dir_of(const std::string& path) {
  size_t s = path.rfind('/');
  if (s == std::string::npos) return ".";
  if (s == 0) return "/";
  return path.substr(0, s);
}

// A new file prefix + <n>, created exclusively with mode 0600; the
// descriptor, or an error code with name empty.
int make_temp_named(const std::string& prefix, std::string& name) {
  int base = os_getpid();
  int err = EEXIST;
  for (int i = 0; i < kTempNameTries; ++i) {
    name = prefix + std::to_string(base + i);
    int fd = file_io().open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    err = errno;
    if (err != EEXIST) break;
  }
  name.clear();
  return err == EEXIST ? ERR_READING_FILE : os_errno_code(err, ERR_OPENING_FILE);
}

std::string temp_prefix(const std::string& dir) { return dir + (dir.empty() || dir.back() == '/' ? "" : "/") + "$s"; }

// A new file "<dir>/$s<n>".
int make_temp(const std::string& dir, std::string& name) { return make_temp_named(temp_prefix(dir), name); }

mode_t current_umask() {
  mode_t m = ::umask(022);
  ::umask(m);
  return m;
}

// Copies src into the open descriptor (from its start); the number of bytes or an error.
ErrorCode copy_into(int dst, const char* src, int64_t* copied) {
  Fd in(file_io().open(src, O_RDONLY | O_CLOEXEC, 0));
  if (in.fd < 0) return os_errno_code(errno, ERR_OPENING_FILE);
  std::vector<char> chunk(kCopyChunk);
  int64_t total = 0;
  for (;;) {
    ssize_t r = file_io().read(in.fd, chunk.data(), chunk.size());
    if (r < 0) {
      if (errno == EINTR) continue;
      return ERR_READING_FILE;
    }
    if (r == 0) break;
    if (ErrorCode rc = write_all(dst, chunk.data(), static_cast<size_t>(r))) return rc;
    total += r;
  }
  if (copied) *copied = total;
  return 0;
}

// Copies src to dest through a temporary file beside dest, keeping the mode.
ErrorCode copy_file_safely(const std::string& dest, const char* src) {
  struct stat st;
  if (::stat(src, &st) != 0) return os_errno_code(errno, ERR_FILE_NOT_FOUND);
  std::string tmp;
  int fd = make_temp(dir_of(dest), tmp);
  if (fd < 0) return fd;
  Fd out(fd);
  ErrorCode rc = copy_into(out.fd, src, nullptr);
  if (!rc) ::fchmod(out.fd, st.st_mode & 07777);
  if (!rc && save_settings.sync && file_io().fsync(out.fd) != 0) rc = write_errno(errno);
  if (!rc) rc = out.close_checked();
  if (!rc && file_io().rename(tmp.c_str(), dest.c_str()) != 0) rc = write_errno(errno);
  if (rc) ::unlink(tmp.c_str());
  return rc;
}

ErrorCode copy_move_error(ErrorCode rc, const char* src, const char* dest) {
  msg_arg.assign(src);
  msg_arg2.assign(dest);
  return rc == ERR_ACCESS_DENIED ? ERR_COPY_MOVE_ACCESS : ERR_COPY_MOVE;
}

void sync_dir(const std::string& dir) {
  if (!save_settings.sync) return;
  // Best effort, after the new name is in place: outside the I/O seam, so an
  // injected fault never lands on a step whose failure nothing can undo.
  Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (d.fd >= 0) ::fsync(d.fd);
}

// Gives file the name backup: a second name for the same file, or a copy when
// the backup lives on another file system. Either is made under a new name
// and renamed over the previous backup, which stays until then. 0, -2101 or
// -2105; nothing new is left behind on failure.
ErrorCode make_backup(const std::string& file, const std::string& backup) {
  const std::string bdir = dir_of(backup);
  file_make_dirs(bdir);
  const std::string prefix = temp_prefix(bdir);
  const int base = os_getpid();
  for (int i = 0; i < kTempNameTries; ++i) {
    std::string tmp = prefix + std::to_string(base + i);
    if (file_io().link(file.c_str(), tmp.c_str()) != 0) {
      if (errno == EEXIST) continue;
      break;  // no second name here (another file system, say): copy instead
    }
    if (file_io().rename(tmp.c_str(), backup.c_str()) == 0) return 0;
    ErrorCode rc = write_errno(errno);
    ::unlink(tmp.c_str());
    return copy_move_error(rc, file.c_str(), backup.c_str());
  }
  ErrorCode rc = copy_file_safely(backup, file.c_str());
  return rc ? copy_move_error(rc, file.c_str(), backup.c_str()) : 0;
}

// Copies a file that is about to be written in place to a new file named
// after it ("<file>.$s<n>", or "$s<n>" beside it when that name would be too
// long), synced with its name, so that the old text survives anything that
// happens to the file. 0 or an error; on error nothing is left behind.
ErrorCode secure_copy(const std::string& file, std::string& copy) {
  const std::string dir = dir_of(file);
  const size_t name_len = file.size() - (file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1);
  constexpr size_t kSuffixRoom = 16;  // ".$s" and a process number
  int fd = name_len + kSuffixRoom <= NAME_MAX ? make_temp_named(file + ".$s", copy) : make_temp(dir, copy);
  if (fd < 0) return fd;
  Fd out(fd);
  struct stat st;
  ErrorCode rc = ::stat(file.c_str(), &st) == 0 ? 0 : os_errno_code(errno, ERR_OPENING_FILE);
  if (!rc) rc = copy_into(out.fd, file.c_str(), nullptr);
  if (!rc) ::fchmod(out.fd, st.st_mode & 07777);
  if (!rc && save_settings.sync && file_io().fsync(out.fd) != 0) rc = write_errno(errno);
  if (!rc) rc = out.close_checked();
  if (rc) {
    out.reset();
    ::unlink(copy.c_str());
    copy.clear();
    return rc;
  }
  sync_dir(dir);
  return 0;
}

// Follows a chain of symbolic links to the name of the file itself (which
// need not exist). 0 or the error of reading a link (-32 for a loop).
constexpr int kMaxLinkHops = 40;  // as many as the system follows

ErrorCode resolve_links(std::string& name) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::string to(PATH_MAX, '\0');
    ssize_t n = ::readlink(name.c_str(), to.data(), to.size());
    if (n < 0) return os_errno_code(errno, ERR_OPENING_FILE);
    if (n == 0 || n >= PATH_MAX) return ERR_PATH_NOT_FOUND;
    to.resize(static_cast<size_t>(n));
    name = to[0] == '/' ? to : dir_of(name) + "/" + to;
  }
  return ERR_OPENING_FILE;
}

// ---- options -------------------------------------------------------------------

struct SaveCommand {
  uint32_t flags;
  char style = 'S';
  std::string name;
};

ErrorCode parse_command(std::string_view cmd, const BufferRec* buf, SaveCommand& sc) {
  sc.flags = kSaveDefaults | (buf->record_len ? kSaveRaw : 0);
  LStrLine line(cmd);
  LStrLine word;
  for (;;) {
    while (line.len > 0 && line.text[0] == ' ') {
      std::memmove(line.text, line.text + 1, static_cast<size_t>(--line.len));
    }
    if (line.len == 0) break;
    if (line.text[0] == '+' || line.text[0] == '-') {
      int32_t n = 0;
      while (n < line.len && line.text[n] != ' ') ++n;
      std::string w(line.text, static_cast<size_t>(n));
      std::memmove(line.text, line.text + n, static_cast<size_t>(line.len - n));
      line.len -= n;
      bool set = w[0] == '+';
      for (size_t i = 1; i < w.size(); ++i) {
        uint32_t bit = 0;
        switch (std::toupper(static_cast<unsigned char>(w[i]))) {
          case 'B':
            bit = kSaveRaw;
            break;
          case 'O':
            bit = kSaveNoBackup;
            break;
          case 'T':
            bit = kSaveEntab;
            break;
          case 'Z':
            bit = kSaveCtrlZ;
            break;
          case 'E':
            bit = kSaveExpand;
            break;
          case 'A':
            bit = kSaveAbsolute;
            break;
          case 'S':
            bit = kSaveStrip;
            break;
          case 'U':
            bit = kSaveRootOver;
            break;
          case 'D': {
            char next = i + 1 < w.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(w[i + 1]))) : 0;
            if (next == 'B' || next == 'K') {
              sc.style = next;
              sc.flags &= ~kSaveDir;
              ++i;
            } else {
              sc.style = 'S';
              bit = kSaveDir;
            }
            break;
          }
          default:
            return ERR_INVALID_OPTION;
        }
        if (set)
          sc.flags |= bit;
        else
          sc.flags &= ~bit;
      }
      continue;
    }
    if (ErrorCode rc = file_take_name(line, word)) return rc;
    sc.name.assign(word.text, static_cast<size_t>(word.size()));
  }
  if (sc.name.empty()) sc.name.assign(buf->name.view());
  if (sc.name.empty()) return ERR_MISSING_FILENAME;
  if (sc.flags & kSaveAbsolute) {
    LStrName in(sc.name), out;
    if (sc.name.size() > static_cast<size_t>(LSTR_CAP_NAME)) return ERR_PATH_NOT_FOUND;
    if (ErrorCode rc = file_absolute(out, in)) return rc;
    sc.name.assign(out.view());
  }
  return 0;
}

// ---- the three ways of writing ----------------------------------------------------

struct Target {
  bool exists = false;
  bool shared = false;   // several hard links: the file must keep its inode
  bool special = false;  // FIFO or character device: written directly
  bool writable = true;
  struct stat st {};
};

// The file at the target as the save found it (or found nothing). Another
// program may change it while the save runs; the save looks again before
// it replaces or overwrites the file.
struct TargetWatch {
  std::string name;
  FileStamp seen;

  // True to go on: the file is as seen, or the user says to save over the
  // change (what the user accepted is what is seen from then on).
  bool confirmed() {
    const FileStamp now = file_stamp_of_path(name.c_str());
    if (file_stamp_same(now, seen)) return true;
    if (!ui_ask_save_changed_file(name.c_str())) return false;
    seen = now;
    return true;
  }
};

// Before the new text takes the file's place: a source that changed meanwhile
// took text the buffer had still to read, and the text written may miss it
// (-33).
ErrorCode source_still_whole(BufferRec* buf) {
  if (buf->source_fd >= 0) store_source_check(buf);
  return store_text_lost(buf) ? ERR_READING_FILE : 0;
}

// What is at a target whose symbolic links are resolved already.
ErrorCode examine(const std::string& name, Target& t) {
  switch (file_target_kind(name.c_str(), &t.st)) {
    case FileTarget::Missing:
      return errno == ENOENT ? 0 : os_errno_code(errno, ERR_OPENING_FILE);
    case FileTarget::Other:
      return ERR_ACCESS_DENIED;  // directories, sockets, block devices
    case FileTarget::Stream:
      t.exists = t.special = true;
      return 0;
    case FileTarget::Regular:
      break;
  }
  t.exists = true;
  t.shared = t.st.st_nlink > 1;
  t.writable = ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0;
  return 0;
}

// Temporary file beside the target, then (backup and) rename over it. The
// source and the target are looked at again before the backup and before
// the rename: a change by another program fails the save (-33, or -2038
// when the user does not save over it) and the temporary file goes.
ErrorCode save_by_rename(BufferRec* buf, const SaveCommand& sc, TargetWatch& watch, const Target& t,
                         const std::string& backup, std::vector<StripEdit>& strips) {
  const std::string& target = watch.name;
  std::string tmp;
  int fd = make_temp(dir_of(target), tmp);
  if (fd < 0) return fd;
  Fd out(fd);
  if (tmp == target) {
    out.reset();
    ::unlink(tmp.c_str());
    return ERR_INVALID_ARGUMENT;
  }
  ErrorCode rc = write_buffer(buf, out.fd, sc.flags, strips, nullptr);
  if (!rc) {
    mode_t mode = t.exists ? (t.st.st_mode & 07777) : (0666 & ~current_umask());
    ::fchmod(out.fd, mode);
    // Keeping the owner is best-effort: a user may not give files away.
    if (t.exists && ::fchown(out.fd, t.st.st_uid, t.st.st_gid) != 0) {
      if (::fchown(out.fd, static_cast<uid_t>(-1), t.st.st_gid) == 0) ::fchmod(out.fd, mode);
    }
    if (save_settings.sync && file_io().fsync(out.fd) != 0) rc = write_errno(errno);
  }
  if (!rc) rc = out.close_checked();
  if (!rc) rc = source_still_whole(buf);
  if (!rc && !watch.confirmed()) rc = ERR_COMMAND_CANCELLED;
  // The old file stays where it is until the rename; the backup is another
  // name for it.
  if (!rc && !backup.empty()) rc = make_backup(target, backup);
  if (!rc) rc = source_still_whole(buf);
  if (!rc && !watch.confirmed()) rc = ERR_COMMAND_CANCELLED;
  if (!rc && file_io().rename(tmp.c_str(), target.c_str()) != 0) rc = write_errno(errno);
  if (rc) {
    out.reset();
    ::unlink(tmp.c_str());
    return rc;
  }
  sync_dir(dir_of(target));
  return 0;
}

// Puts the secured copy back into the target after a failed in-place write,
// with the modification time it had before (st): the file must not look
// changed by another program, or every later save would ask about it. True
// when the old text is back on disk.
bool restore_in_place(const std::string& target, const std::string& copy, const struct stat& st) {
  Fd fd(file_io().open(target.c_str(), O_WRONLY | O_CLOEXEC, 0));
  if (fd.fd < 0) return false;
  int64_t n = 0;
  if (copy_into(fd.fd, copy.c_str(), &n) != 0 || ::ftruncate(fd.fd, n) != 0) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  ::futimens(fd.fd, times);  // only the owner may; the caller takes the new stamp otherwise
  if (file_io().fsync(fd.fd) != 0) return false;
  return fd.close_checked() == 0;
}

// In place (several hard links, the save-direct option, the super-user over
// a read-only file): the target keeps its inode. Every buffer still reading
// from it lets it go first, and a copy of it is secured (the backup, or a
// copy named after the file) and kept until the new text is complete and
// synced; a failed write puts the old text back. A copy that could not be
// put back stays, as the only old text. A change by another program before
// the write starts fails the save as the rename does; one while the file is
// being written cannot be told from the save's own writes.
ErrorCode save_in_place(BufferRec* buf, const SaveCommand& sc, TargetWatch& watch, const std::string& backup,
                        std::vector<StripEdit>& strips) {
  const std::string& target = watch.name;
  if (ErrorCode rc = buffers_detach_from(target.c_str())) return rc;
  if (ErrorCode rc = source_still_whole(buf)) return rc;
  if (!watch.confirmed()) return ERR_COMMAND_CANCELLED;
  std::string copy = backup;
  const bool own_copy = backup.empty();
  if (own_copy) {
    if (ErrorCode rc = secure_copy(target, copy)) return rc;
  } else {
    file_make_dirs(dir_of(backup));
    if (ErrorCode rc = copy_file_safely(backup, target.c_str()))
      return copy_move_error(rc, target.c_str(), backup.c_str());
  }
  // Looked at again: the copy must be of the file that is written over, and
  // so must the file opened.
  ErrorCode rc = watch.confirmed() ? 0 : ERR_COMMAND_CANCELLED;
  Fd out(rc ? -1 : file_io().open(target.c_str(), O_WRONLY | O_CLOEXEC, 0));
  if (!rc && out.fd < 0) rc = os_errno_code(errno, ERR_OPENING_FILE);
  struct stat before {};
  if (!rc && ::fstat(out.fd, &before) != 0) rc = os_errno_code(errno, ERR_OPENING_FILE);
  if (!rc && !file_stamp_same(file_stamp_of_stat(before), watch.seen)) rc = ERR_COMMAND_CANCELLED;
  const bool writing = rc == 0;
  int64_t total = 0;
  if (!rc) rc = write_buffer(buf, out.fd, sc.flags, strips, &total);
  if (!rc && ::ftruncate(out.fd, total) != 0) rc = write_errno(errno);
  if (!rc && save_settings.sync && file_io().fsync(out.fd) != 0) rc = write_errno(errno);
  if (!rc) rc = out.close_checked();
  if (rc && writing) {
    out.reset();
    if (!restore_in_place(target, copy, before)) return rc;
    // The old text is back: where its time could not be, the buffer takes
    // the file as it is now as the one it last saw.
    if (file_stamp_same(buf->disk_stamp, file_stamp_of_stat(before)))
      buf->disk_stamp = file_stamp_of_path(target.c_str());
  }
  if (own_copy) ::unlink(copy.c_str());
  return rc;
}

// A FIFO or character device: opened for writing as it is.
ErrorCode save_direct(BufferRec* buf, const SaveCommand& sc, const std::string& target,
                      std::vector<StripEdit>& strips) {
  int fd = file_io().open(target.c_str(), O_WRONLY | O_CLOEXEC, 0);
  if (fd < 0) return os_errno_code(errno, ERR_OPENING_FILE);
  Fd out(fd);
  ErrorCode rc = write_buffer(buf, out.fd, sc.flags, strips, nullptr);
  if (!rc) rc = out.close_checked();
  return rc;
}

// Before a save replaces the buffer's own file: the user is asked when the
// file changed on disk since the buffer last loaded or saved it; true to go on.
bool replace_confirmed(BufferRec* buf, const std::string& target, const Target& t) {
  // A renamed buffer never saw the file now at its name.
  const bool changed =
      buf->backup_state != 2 && buf->disk_stamp.known && !file_stamp_same(file_stamp_of_stat(t.st), buf->disk_stamp);
  return !changed || ui_ask_save_changed_file(target.c_str());
}

// Removes the trailing blanks the file lost from the buffer's lines too.
void apply_strips(BufferRec* buf, const std::vector<StripEdit>& strips) {
  if (strips.empty()) return;
  PosRecord p{};
  p.line = -1;
  p.buffer = buf;
  if (pos_first_line(&p, buf) != 0) return;
  int32_t at = 1;
  for (const StripEdit& s : strips) {
    while (at < s.line) {
      if (pos_next_line(&p, buf) != 0) return;
      ++at;
    }
    if (line_replace_text(s.text.data(), static_cast<int32_t>(s.text.size()), &p, buf) != 0) return;
  }
}

}  // namespace

std::string buf_backup_name(std::string_view file, char style, uint32_t flags) {
  std::string f(file);
  size_t slash = f.rfind('/');
  std::string dir = slash == std::string::npos ? "" : f.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? f : f.substr(slash + 1);
  if (style == 'K') return dir + "backup/" + name;
  if (style == 'B') {
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return dir + name + ".BAK";
  }
  std::string g;
  if (const char* env = os_env_get("ZORVEXBACKUP")) {
    g = env;
  } else {
    const char* home = os_env_get("HOME");
    g = home ? home : "";
    if (!g.empty() && g.back() != '/') g += '/';
    g += ".zorvex/backup/";
  }
  if (!g.empty() && g.back() != '/') g += '/';
  if (flags & kSaveDir) return g + name;
  size_t start = 0;
  while (start < f.size() && f[start] == '/') ++start;
  return g + f.substr(start);
}

ErrorCode file_make_dirs(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return 0;
  struct stat st;
  if (::stat(p.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ERR_CREATING_DIRECTORY_ENTRY;
  size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (ErrorCode rc = file_make_dirs(std::string_view(p).substr(0, slash))) return rc;
  }
  if (os_mkdir(p.c_str()) != 0 && !(::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
    return ERR_CREATING_DIRECTORY_ENTRY;
  return 0;
}

int32_t entab_line(char* out, const char* text, int32_t len) {
  int32_t i = 0, o = 0;
  while (len - i > 8) {
    int32_t kept = 8;
    while (kept > 0 && text[i + kept - 1] == ' ') --kept;
    if (std::memchr(text + i, '"', static_cast<size_t>(kept)) || std::memchr(text + i, '\'', static_cast<size_t>(kept)))
      break;  // the rest is copied as it is
    if (kept >= 7) {
      std::memcpy(out + o, text + i, 8);
      o += 8;
    } else {
      std::memcpy(out + o, text + i, static_cast<size_t>(kept));
      o += kept;
      out[o++] = '\t';
    }
    i += 8;
  }
  std::memcpy(out + o, text + i, static_cast<size_t>(len - i));
  return o + len - i;
}

int file_is_link(const char* name) {
  struct stat st;
  if (::lstat(name, &st) != 0) return errno == ENOENT ? 0 : 1;
  return S_ISLNK(st.st_mode) || st.st_nlink > 1 ? 1 : 0;
}

ErrorCode buf_copy_or_move(const char* dest, const char* src, bool copy, bool delete_source) {
  // The destination is replaced by the rename or the copy's own rename,
  // never deleted first: a failure leaves it as it was.
  std::string d(dest);
  if (!copy) {
    if (::rename(src, dest) == 0) return 0;
    if (errno == ENOENT) {
      file_make_dirs(dir_of(d));
      if (::rename(src, dest) == 0) return 0;
    }
  } else {
    file_make_dirs(dir_of(d));
  }
  ErrorCode rc = copy_file_safely(d, src);
  if (rc) return copy_move_error(rc, src, dest);
  if (!copy && delete_source) ::unlink(src);
  return 0;
}

ErrorCode buffers_detach_from(const char* name) {
  struct stat st;
  if (::stat(name, &st) != 0) return 0;
  BufferRec* head = buf_ring_head();
  if (!head) return 0;
  BufferRec* b = head;
  do {
    struct stat bs;
    if (b->source_fd >= 0 && ::fstat(b->source_fd, &bs) == 0 && bs.st_dev == st.st_dev && bs.st_ino == st.st_ino) {
      // A source that changed already is never read again: nothing to keep.
      if (store_source_check(b) == 0) {
        if (ErrorCode rc = store_detach_source(b)) return rc;
        b->source_name.clear();
      }
    }
    b = b->ring_next;
  } while (b && b != head);
  return 0;
}

ErrorCode buf_save_buffer(BufferRec* buf, std::string_view cmd) {
  line_flush_if(buf);
  buf->redraw = 1;
  redraw_bits |= kRedrawCaption;
  SaveCommand sc;
  if (ErrorCode rc = parse_command(cmd, buf, sc)) return rc;
  const bool same = sc.name == buf->name.view();
  // A link is saved as the file it names: the link stays as it is.
  std::string target = sc.name;
  if (ErrorCode rc = resolve_links(target)) return rc;

  Target t;
  if (ErrorCode rc = examine(target, t)) return rc;
  bool in_place = t.exists && (t.shared || save_settings.in_place);
  if (t.exists && !t.special && !t.writable) {
    if (!((sc.flags & kSaveRootOver) && ::geteuid() == 0)) return ERR_ACCESS_DENIED;
    in_place = true;
  }
  // Unread text comes from the source only while it is the file that was
  // loaded: without it the buffer holds only part of its text, and no save
  // writes a part in place of the whole.
  if (ErrorCode rc = source_still_whole(buf)) return rc;
  if (same && t.exists && !t.special && !replace_confirmed(buf, target, t)) return ERR_COMMAND_CANCELLED;
  TargetWatch watch{target, {}};
  watch.seen.known = true;  // nothing there, unless examine found a file
  if (t.exists) watch.seen = file_stamp_of_stat(t.st);

  std::string backup;
  if (t.exists && !t.special && !(sc.flags & kSaveNoBackup) && (buf->backup_state != 0 || !same)) {
    backup = buf_backup_name(sc.name, sc.style, sc.flags);
    if (backup == sc.name || backup == target) backup.clear();  // turns into a plain replace
  }

  const uint8_t was_modified = buf->modified;
  std::vector<StripEdit> strips;
  ErrorCode rc;
  if (t.special)
    rc = save_direct(buf, sc, target, strips);
  else if (in_place)
    rc = save_in_place(buf, sc, watch, backup, strips);
  else
    rc = save_by_rename(buf, sc, watch, t, backup, strips);
  if (rc) return rc;

  apply_strips(buf, strips);
  if (same) {
    buf->modified = 0;
    buf->backup_state = 0;
    if (!backup.empty() && buf->source_fd >= 0) buf->source_name.assign(backup);
    FileTime ft;
    if (os_file_time(target.c_str(), &ft) == 0) buf->file_time = ft;
    buf->disk_stamp = file_stamp_of_path(target.c_str());
  } else {
    buf->modified = was_modified;
  }
  return 0;
}

ErrorCode buf_save(std::string_view cmd) {
  BufferRec* buf = buf_current();
  if (!buf) return ERR_NOT_ALLOWED_ON_OBJECT;
  line_flush_current();
  return buf_save_buffer(buf, cmd);
}

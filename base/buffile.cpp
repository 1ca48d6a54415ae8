// Buffered file streams: BufFile (one window, read/write/seek) and BufWriter
// (write-behind).
#include "base/buffile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "base/filename.h"
#include "base/mem.h"
#include "base/os.h"

namespace {

size_t window_len(const BufFile* s) { return static_cast<size_t>(s->valid_end - s->base); }

// Reads up to n bytes, going on after partial reads until the end of the
// file. Returns the bytes read, or a negative ErrorCode when the first read
// fails.
int64_t read_fully(int handle, char* p, size_t n) {
  size_t got = 0;
  while (got < n) {
    int64_t r = os_read(handle, p + got, n - got);
    if (r < 0) return got ? static_cast<int64_t>(got) : r;
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(got);
}

// Writes n bytes; the bytes written, or a negative ErrorCode when nothing
// could be written.
int64_t write_fully(int handle, const char* p, size_t n) {
  size_t put = 0;
  while (put < n) {
    int64_t w = os_write(handle, p + put, n - put);
    if (w < 0) return put ? static_cast<int64_t>(put) : w;
    if (w == 0) break;
    put += static_cast<size_t>(w);
  }
  return static_cast<int64_t>(put);
}

// An empty window at the start of the file on handle h.
void start_stream(BufFile* s, int h, uint32_t size) {
  s->handle = h;
  s->base = s->cur = s->valid_end = reinterpret_cast<char*>(s + 1);
  s->end = s->base + size;
  s->size = size;
  s->window_pos = 0;
  s->error = 0;
  s->dirty = 0;
}

bool mul_overflows(size_t a, size_t b, size_t* out) { return __builtin_mul_overflow(a, b, out); }

}  // namespace

BufFile* bufio_open(const char* path, const char* mode, ErrorCode* error, uint32_t size) {
  int os_mode;
  if (std::strcmp(mode, "rb") == 0)
    os_mode = 0;
  else if (std::strcmp(mode, "wb") == 0)
    os_mode = 1;
  else if (std::strcmp(mode, "a+") == 0)
    os_mode = 2;
  else if (std::strcmp(mode, "a") == 0)
    os_mode = 3;
  else {
    *error = ERR_INVALID_ARGUMENT_OS;
    return nullptr;
  }
  if (size == 0) size = 1;  // a window needs room for one byte
  auto* s = static_cast<BufFile*>(mem_retry_alloc(sizeof(BufFile) + size));
  if (s == nullptr) {
    *error = ERR_INSUFFICIENT_MEMORY;
    return nullptr;
  }
  int h = os_open(path, os_mode);
  if (h < 0) {
    mem_free(s);
    *error = h;
    return nullptr;
  }
  start_stream(s, h, size);
  *error = 0;
  return s;
}

BufFile* bufio_adopt(int handle, ErrorCode* error, uint32_t size) {
  if (size == 0) size = 1;
  auto* s = static_cast<BufFile*>(mem_retry_alloc(sizeof(BufFile) + size));
  if (s == nullptr) {
    *error = ERR_INSUFFICIENT_MEMORY;
    return nullptr;
  }
  os_seek(handle, 0, 0);
  start_stream(s, handle, size);
  *error = 0;
  return s;
}

BufFile* bufio_open_default(const char* path, const char* mode) {
  ErrorCode ignored;
  return bufio_open(path, mode, &ignored, BUFIO_DEFAULT_SIZE);
}

int bufio_flush(BufFile* s) {
  if (!s->dirty) return 0;
  if (os_seek(s->handle, s->window_pos, 0) < 0) {
    s->error = os_errno_code(errno, ERR_SEEK);
    return -1;
  }
  size_t n = window_len(s);
  int64_t w = write_fully(s->handle, s->base, n);
  if (w < 0) {
    s->error = static_cast<ErrorCode>(w);
    return -1;
  }
  if (static_cast<size_t>(w) < n) {
    s->error = ERR_END_OF_FILE;
    return -1;
  }
  s->dirty = 0;
  return 0;
}

size_t bufio_read(void* destination, size_t item_size, size_t count, BufFile* s) {
  size_t n;
  if (item_size == 0 || mul_overflows(item_size, count, &n)) return 0;
  char* dst = static_cast<char*>(destination);
  size_t take = std::min(n, static_cast<size_t>(s->valid_end - s->cur));
  if (take) std::memcpy(dst, s->cur, take);
  s->cur += take;
  size_t done = take;
  if (done < n) {
    if (bufio_flush(s) != 0) return 0;
    size_t rest = n - done;
    if (rest > s->size) {
      // Larger than the buffer: straight into the destination.
      s->window_pos += static_cast<off_t>(window_len(s));
      s->cur = s->valid_end = s->base;
      int64_t r = read_fully(s->handle, dst + done, rest);
      if (r < 0) {
        s->error = static_cast<ErrorCode>(r);
        return 0;
      }
      s->window_pos += r;
      done += static_cast<size_t>(r);
    } else {
      // Refill the window from the end of the old one.
      s->window_pos += static_cast<off_t>(window_len(s));
      s->cur = s->valid_end = s->base;
      int64_t r = read_fully(s->handle, s->base, s->size);
      if (r < 0) {
        s->error = static_cast<ErrorCode>(r);
        return 0;
      }
      s->valid_end = s->base + r;
      size_t more = std::min(rest, static_cast<size_t>(r));
      if (more) std::memcpy(dst + done, s->base, more);
      s->cur += more;
      done += more;
    }
  }
  if (done < n) s->error = ERR_END_OF_FILE;
  return done / item_size;
}

size_t bufio_write(const void* source, size_t item_size, size_t count, BufFile* s) {
  size_t n;
  if (item_size == 0 || mul_overflows(item_size, count, &n)) return 0;
  const char* src = static_cast<const char*>(source);
  size_t room = static_cast<size_t>(s->end - s->cur);
  if (n < room) {
    if (n) std::memcpy(s->cur, src, n);
    s->dirty = 1;
    s->cur += n;
    if (s->cur > s->valid_end) s->valid_end = s->cur;
    return count;
  }
  // Fill the buffer up to its end and write it out.
  if (room) std::memcpy(s->cur, src, room);
  s->dirty = 1;
  s->cur = s->valid_end = s->end;
  if (bufio_flush(s) != 0) return 0;
  size_t rest = n - room;
  if (rest > s->size) {
    int64_t w = write_fully(s->handle, src + room, rest);
    if (w < 0) {
      s->error = static_cast<ErrorCode>(w);
      return 0;
    }
    if (static_cast<size_t>(w) < rest) s->error = ERR_END_OF_FILE;
    s->window_pos += static_cast<off_t>(s->size) + w;
    s->cur = s->valid_end = s->base;
    return (room + static_cast<size_t>(w)) / item_size;
  }
  s->window_pos += static_cast<off_t>(s->size);
  if (rest) std::memcpy(s->base, src + room, rest);
  s->dirty = rest ? 1 : 0;
  s->cur = s->valid_end = s->base + rest;
  return count;
}

int bufio_getc(BufFile* s) {
  if (s->cur < s->valid_end) return static_cast<unsigned char>(*s->cur++);
  unsigned char c;
  return bufio_read(&c, 1, 1, s) == 1 ? c : -1;
}

int bufio_putc(int byte, BufFile* s) {
  unsigned char c = static_cast<unsigned char>(byte);
  if (s->end - s->cur >= 2) {
    *s->cur++ = static_cast<char>(c);
    s->dirty = 1;
    if (s->cur > s->valid_end) s->valid_end = s->cur;
    return c;
  }
  return bufio_write(&c, 1, 1, s) == 1 ? c : -1;
}

ErrorCode bufio_seek(BufFile* s, off_t offset, int whence) {
  if (whence == 0 || whence == 1) {
    off_t target = whence == 0 ? offset : bufio_tell(s) + offset;
    if (target >= s->window_pos && target <= s->window_pos + static_cast<off_t>(window_len(s))) {
      s->cur = s->base + (target - s->window_pos);  // inside the window: no file operation
      return 0;
    }
    offset = target;
  }
  if (bufio_flush(s) != 0) return s->error;
  off_t pos = os_seek(s->handle, offset, whence == 2 ? 2 : 0);
  if (pos < 0) {
    s->error = os_errno_code(errno, ERR_SEEK);
    return s->error;
  }
  s->cur = s->valid_end = s->base;
  s->window_pos = pos;
  return 0;
}

int bufio_close(BufFile* s) {
  int rc = bufio_flush(s);
  if (os_close(s->handle) != 0) rc = -1;
  mem_free(s);
  return rc;
}

off_t bufio_tell(const BufFile* s) { return s->window_pos + (s->cur - s->base); }
ErrorCode bufio_error(const BufFile* s) { return s->error; }
void bufio_clear_error(BufFile* s) { s->error = 0; }

// ---------------------------------------------------------------------------
// BufWriter

int bwriter_open(const LStr* name, int mode, BufWriter* w, uint32_t size) {
  if (size == 0) size = 1;
  w->base = static_cast<char*>(mem_retry_alloc(size));
  if (w->base == nullptr) return ERR_INSUFFICIENT_MEMORY;
  w->cur = w->base;
  w->end = w->base + size;
  w->size = size;
  w->handle = 0;
  if (name != nullptr) {
    int h = file_open(name, mode);
    if (h < 0) {
      mem_free(w->base);
      w->base = w->cur = w->end = nullptr;
      return h;
    }
    w->handle = h;
  }
  return w->handle;
}

ErrorCode bwriter_flush(BufWriter* w) {
  if (w->cur == w->base) return 0;
  ErrorCode rc = os_write_all(w->handle, w->base, static_cast<size_t>(w->cur - w->base));
  w->cur = w->base;
  return rc;
}

ErrorCode bwriter_write(BufWriter* w, const void* data, size_t n) {
  if (n >= static_cast<size_t>(w->end - w->cur)) {
    if (ErrorCode rc = bwriter_flush(w); rc != 0) return rc;
    if (n >= w->size) return os_write_all(w->handle, data, n);
  }
  if (n) std::memcpy(w->cur, data, n);
  w->cur += n;
  return 0;
}

off_t bwriter_seek(BufWriter* w, off_t offset, int whence) {
  if (ErrorCode rc = bwriter_flush(w); rc != 0) return rc;
  return os_seek(w->handle, offset, whence);
}

ErrorCode bwriter_close(BufWriter* w) {
  ErrorCode rc = bwriter_flush(w);
  mem_free(w->base);
  w->base = w->cur = w->end = nullptr;
  ErrorCode closed = os_close(w->handle);
  return rc != 0 ? rc : closed;
}

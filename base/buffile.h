// Buffered file streams over the operating-system layer's handles.
//
// BufFile: a binary stream with reading, writing and seeking through one
// buffer window, and an error word of its own. The window covers the file
// positions window_pos .. window_pos + (valid_end - base); the logical
// position is window_pos + (cur - base). Invariant: base <= cur <= valid_end
// <= end. While the stream is not dirty the file's own offset is the end of
// the window. Transfers larger than the buffer go straight to the file.
//
// BufWriter: a write-behind buffer for sequential writing (the state file).
//
// Both allocate through the retrying allocator of base/mem.h. BufFile does
// its file operations through the os_ layer, which goes through the seam of
// base/file_io.h.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "base/lstr.h"
#include "base/messages.h"

struct BufFile {
  int handle;
  char* base;       // first byte of the buffer (right after this header)
  char* cur;        // current position in the buffer
  char* valid_end;  // end of the bytes that mirror the file
  char* end;        // base + size
  uint32_t size;
  off_t window_pos;  // file position of base
  ErrorCode error;   // last error, 0 when none; -53 for a short read or write
  uint8_t dirty;     // the buffer holds bytes not yet written
};

inline constexpr uint32_t BUFIO_DEFAULT_SIZE = 512;

// Opens path: mode "rb" (read/write, read-only fallback), "wb" (create or
// truncate keeping the saved attributes), "a+" (create or truncate - it does
// not append), "a" (read/write an existing file). Returns the stream, or null
// with *error set: -52 for another mode, -8 when memory runs out, else the
// open's ErrorCode. On success *error is 0 and the buffer is empty at 0.
BufFile* bufio_open(const char* path, const char* mode, ErrorCode* error, uint32_t size);
BufFile* bufio_open_default(const char* path, const char* mode);  // 512 bytes, error dropped
// A stream over a handle the caller opened (a file that had to pass checks
// of its own first, see regular_file.h), positioned at 0. The stream owns
// the handle once it is returned; null with *error -8 leaves it the
// caller's.
BufFile* bufio_adopt(int handle, ErrorCode* error, uint32_t size);

// Whole items read. Fewer than asked records -53; a read error records its
// code and gives 0.
size_t bufio_read(void* destination, size_t item_size, size_t count, BufFile* stream);
// Items written; a failure records its code (-53 for a short write).
size_t bufio_write(const void* source, size_t item_size, size_t count, BufFile* stream);
int bufio_getc(BufFile* stream);            // 0..255, or -1 at the end or on error
int bufio_putc(int byte, BufFile* stream);  // the byte, or -1
// whence 0 start, 1 current logical position, 2 end. A target inside the
// window only moves cur. 0, or the ErrorCode of the failed flush or seek.
ErrorCode bufio_seek(BufFile* stream, off_t offset, int whence);
int bufio_flush(BufFile* stream);  // 0, or -1 with the error recorded
int bufio_close(BufFile* stream);  // flushes, closes, frees (also on failure); 0 or -1
off_t bufio_tell(const BufFile* stream);
ErrorCode bufio_error(const BufFile* stream);
void bufio_clear_error(BufFile* stream);

struct BufWriter {
  int handle;
  char* base;
  char* cur;  // write pointer
  char* end;
  uint32_t size;
};

// Allocates a buffer of size bytes (-8 when that fails) and, when name is not
// null, opens it with file_open in mode. Returns the handle (0 without a name:
// the caller stores its own) or the open's ErrorCode (the buffer is freed).
int bwriter_open(const LStr* name, int mode, BufWriter* writer, uint32_t size);
// 0 or an ErrorCode. A block that does not fit goes after the buffered bytes,
// directly when it is larger than the buffer.
ErrorCode bwriter_write(BufWriter* writer, const void* data, size_t n);
// Writes the buffered bytes (os_write_all); the buffer is empty afterwards
// even when the write failed. 0 or its ErrorCode.
ErrorCode bwriter_flush(BufWriter* writer);
// Flushes, then seeks; the new offset, or the flush's ErrorCode.
off_t bwriter_seek(BufWriter* writer, off_t offset, int whence);
// Flushes, frees the buffer, closes the handle: the flush's ErrorCode when it
// failed, else the close's result.
ErrorCode bwriter_close(BufWriter* writer);

// Opening a file the editor reads for itself (zorvex.ini, the state file
// and modules, lexer definitions, help files, dictionaries, the restore
// file, keymaps, pictures): only a regular file of bounded size is read.
//
// Whatever stands under such a name may be something else: a directory, a
// FIFO that blocks the open or the first read until a writer comes, a link
// to /dev/zero that never ends, a socket, a tape that rewinds when opened.
// The node is examined before it is opened, so a device is never opened at
// all, and the open itself cannot wait (O_NONBLOCK); the open file is
// examined once more, so a name swapped in between is refused too. A file
// larger than the bound its kind allows is refused before a byte is read:
// each reader states its bound beside its own code.
#pragma once

#include <cstdint>
#include <string>

#include "base/fd.h"
#include "base/messages.h"

// Why a name was refused, beside the open's own failures.
enum class RegularFileRefusal : uint8_t {
  NotRefused,
  NotRegular,  // a directory, FIFO, socket or device
  TooLarge,    // larger than the reader's bound
};

struct RegularFile {
  UniqueFd fd;  // read-only, close-on-exec; reads block as on any file
  int64_t size = 0;
  ErrorCode error = 0;  // see regular_file_open
  RegularFileRefusal refused = RegularFileRefusal::NotRefused;
};

// Opens path for reading when it is a regular file of at most max_bytes.
// error is 0 with the descriptor and the size; otherwise the open's own
// code (-2, -3 when the name's directory is missing too, -5, -32 ...), -5
// "Access denied" with refused NotRegular, or -8 "Insufficient memory" with
// refused TooLarge. Never blocks on the kind of file it finds.
RegularFile regular_file_open(const char* path, int64_t max_bytes);

// The whole file into out (emptied first): 0, an error of
// regular_file_open (with *refused when given), or -33 "Error reading file"
// when the read fails. A file that shrinks while it is read gives what it
// still held; one that grows gives its size when opened.
ErrorCode regular_file_read(const char* path, int64_t max_bytes, std::string* out,
                            RegularFileRefusal* refused = nullptr);

// A few words for a refusal, for a line that names the file: "is not a
// regular file", "is too large"; empty for NotRefused.
const char* regular_file_refusal_text(RegularFileRefusal refused);

// Recovery copies: what the editor writes of the buffers the user changed
// when it has to end without asking (SIGTERM, SIGHUP), or what is found of
// a save that died half-way. A recovery copy is never the file itself: it
// lies beside it, named so that a person knows what it is:
//
//   <file>.recovered, or <file>.recovered-2, -3, ... when that name is taken
//
// A buffer without a file name is written as "untitled.recovered" (with the
// same numbering) in the working directory. When the file's directory takes
// no new file, the copy goes to $HOME under the file's own name instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/buffer_rec.h"

// The first free recovery name for a file ("" for a buffer without one);
// "" when every numbered name is taken.
std::string recovery_copy_path(std::string_view file);

// One buffer's text written to its recovery copy; the buffer keeps its name
// and its modified state. The path written, or "" when no copy could be
// written anywhere.
std::string recovery_write_buffer(BufferRec* buf);

// Every modified buffer the user edits (not hidden ones) written to its
// recovery copy: the paths written, and in `failed` the names of buffers
// that could not be written.
std::vector<std::string> recovery_write_modified(std::vector<std::string>* failed = nullptr);

// The edit and save built-ins: loading files into buffers and writing the
// current buffer back.
#include "macro/bi_edit.h"

#include <cstring>
#include <string>

#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/key_dispatch.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/edit_cmd.h"
#include "text/save.h"

namespace {

constexpr uint32_t kKeepOpen = 0x80000000u;

// A buffer that keeps its file open as a lock lets it go for the save and
// takes it back afterwards.
void release_kept(BufferRec* b) {
  const uint32_t k = static_cast<uint32_t>(b->keep_open);
  if (!(k & kKeepOpen)) return;
  const int fd = static_cast<int>(k & ~kKeepOpen);
  if (fd > 0) os_close(fd);
  b->keep_open = static_cast<int32_t>(kKeepOpen);
}

void retake_kept(BufferRec* b, bool was_kept) {
  if (!was_kept) return;
  const std::string name(b->name.view());
  const int fd = os_open(name.c_str(), 0);
  b->keep_open = static_cast<int32_t>(kKeepOpen | (fd > 0 ? static_cast<uint32_t>(fd) : 0u));
}

}  // namespace

// Main 222: command line; rc, or the error raised unless option Q.
void bi_edit() {
  if (!core_have(1)) return;
  LStrLine cmd;
  cmd.assign(core_view(0));
  core_drop(1);
  if (!bi_need_view()) return;
  line_flush_current();
  const ErrorCode rc = buf_edit_command(cmd.view());
  // A new or empty buffer's view starts on the top-of-file line; the next
  // command moves it to the first line, where typing works.
  key_globals.views_need_fixing = true;
  if (rc < 0 && !(edit_flags & kEditQuiet))
    vm_raise_error(rc);
  else
    vm_set_rc(rc);
}

int32_t api_edit(const char* command_line) {
  line_flush_current();
  const ErrorCode rc = buf_edit_command(std::string_view(command_line, strnlen(command_line, LSTR_CAP_LINE)));
  key_globals.views_need_fixing = true;
  if (rc < 0 && (edit_flags & kEditQuiet)) vm_raise_error(rc);
  return rc;
}

// Main 216: [command line]; rc 0, or the error raised.
void bi_save() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  LStrLine cmd;
  if (n == 1) bi_arg_copy(n, 0, &cmd);
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  BufferRec* b = v->buffer;
  const bool kept = static_cast<uint32_t>(b->keep_open) & kKeepOpen;
  release_kept(b);
  const ErrorCode rc = buf_save(cmd.view());
  retake_kept(b, kept);
  vm_set_rc_or_raise(rc);
}

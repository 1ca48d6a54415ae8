// The buffers' questions about the concurrent process without the editor
// services: no process runs, so no buffer is its buffer (unless a test says
// so) and there is no mark to keep; requests for it are counted.
#include "tests/support/headless/mark.h"
#include "tests/support/headless/process_fakes.h"
#include "text/process_port.h"

bool proc_is_process_buffer(const BufferRec* buf) {
  const auto is = processtest::process.is_process_buffer;
  return is && is(buf);
}

void proc_reset_mark() { ++processtest::process.mark_resets; }

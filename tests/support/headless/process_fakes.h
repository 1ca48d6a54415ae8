// The concurrent process in programs without the editor services: no
// buffer is its buffer unless a test says so, and the buffers' requests to
// keep its mark are counted.
#pragma once

struct BufferRec;

namespace processtest {

struct FakeProcess {
  // When set, answers proc_is_process_buffer; null: never.
  bool (*is_process_buffer)(const BufferRec* buf) = nullptr;
  int mark_resets = 0;  // proc_reset_mark calls
};
inline FakeProcess process;

// No process buffer, nothing counted.
inline void install() { process = FakeProcess{}; }

}  // namespace processtest

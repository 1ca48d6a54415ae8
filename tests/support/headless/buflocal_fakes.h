// Buffer-local variables in programs without the macro runtime: buffers
// keep no copies, and a test may make adding a variable fail.
#pragma once

#include <cstdint>

struct BufferRec;

namespace buflocaltest {

struct FakeBufLocals {
  // When set, answers buflocal_add; null: 0 (nothing kept).
  int32_t (*add)(BufferRec* buf, int32_t names_index, const void* value, int32_t length) = nullptr;
};
inline FakeBufLocals locals;

// Nothing scripted.
inline void install() { locals = FakeBufLocals{}; }

}  // namespace buflocaltest

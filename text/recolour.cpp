#include "text/recolour.h"

#include "text/buffer_rec.h"

namespace {
constexpr int64_t kRangeEndMax = 0x7fffffff;
}

void lex_mark_dirty_lines(BufferRec* buf, int64_t offset, int64_t count) {
  if (buf->recolour_first > offset) buf->recolour_first = offset;
  int64_t& last = buf->recolour_last;
  if (count >= 0) {
    if (last > offset + count) {
      last += count;
      if (last > kRangeEndMax) last = kRangeEndMax;
    } else {
      last = offset + count;
    }
  } else if (last <= offset) {
    last = offset;
  }
}

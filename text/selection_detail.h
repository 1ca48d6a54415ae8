// Helpers shared by the files of the selection layer (selection.cpp and
// selection_ops.cpp); not for other users.
#pragma once

#include <string>
#include <vector>

#include "text/selection.h"
#include "text/tabs.h"

namespace sel_detail {

extern std::vector<SelectionMarks*> g_sels;  // every live selection
extern SelectionMarks* g_active;

// A position linked into a buffer's ring while it lives.
struct RingPos {
  PosRecord p{};
  BufferRec* buf;
  RingPos(const PosRecord* from, BufferRec* b) : buf(b) {
    pos_copy_place(&p, from);
    p.buffer = b;
    p.kind[0] = 0;
    pos_link_to_buffer(&p, b);
  }
  ~RingPos() { pos_unlink_from_buffer(&p); }
  RingPos(const RingPos&) = delete;
  RingPos& operator=(const RingPos&) = delete;
};

// Tab stops of the buffer being worked on, for the length of an operation.
struct TabScope {
  BufferRec* saved;
  explicit TabScope(BufferRec* b) : saved(tab_buffer_processed) { tab_buffer_processed = b; }
  ~TabScope() { tab_buffer_processed = saved; }
  TabScope(const TabScope&) = delete;
  TabScope& operator=(const TabScope&) = delete;
};

bool same_line(const PosRecord* a, const PosRecord* b);
bool on_top(const PosRecord* p);
bool is_set(const SelectionMarks* s);
bool single(const SelectionMarks* s);
SelectionMarks* owner_of(const PosRecord* q);
TabStops stops(const BufferRec* b);
int32_t width_of(const std::string& s, const BufferRec* b);
// 0-based byte index of 0-based display column col (a tab covering it is
// turned into blanks; past the end padded with blanks when `pad`).
int32_t col_to_byte(std::string& s, int32_t col, const BufferRec* b, bool pad);
int32_t byte_to_col(const std::string& s, int32_t i, const BufferRec* b);
int32_t put_line(PosRecord* p, const std::string& s);
// Lines from a to b, both included; -1 when b lies before a.
int32_t count_lines(const PosRecord* a, const PosRecord* b);
void link_marks(SelectionMarks* s, BufferRec* b);
void unlink_marks(SelectionMarks* s);
// Puts the selection over [b, e] with the given columns, keeping its state
// byte and mark flags.
void set_marks(SelectionMarks* s, uint8_t kind, const PosRecord* b, int32_t bc, const PosRecord* e, int32_t ec);

}  // namespace sel_detail

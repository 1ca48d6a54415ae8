// Reflowing paragraphs: the words of a line or block selection are filled
// into new lines between the buffer's margins (the first line indented to the
// paragraph margin, the others to the left margin, none wider than the right
// margin) and inserted after a destination line; the caller removes the old
// lines and places the cursor from reflow_result. Blanks between words can be
// normalised (one blank, two after a sentence end) and lines justified.
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "base/messages.h"
#include "text/buffer_rec.h"
#include "text/cursor.h"
#include "text/selection.h"

inline constexpr uint8_t kReflowLine = 1;   // whole lines
inline constexpr uint8_t kReflowBlock = 4;  // the columns from the begin mark's to the end mark's

// Where the cursor's word went: the new line (0 = the first new line, -1 when
// the cursor was not on a reflowed line) and its display column (1-based).
struct ReflowResult {
  int32_t line = -1;
  int32_t column = 0;
};
extern ReflowResult reflow_result;

// n columns of indentation into out: n blanks, or, when the buffer indents
// with tabs, whole tab cells as tabs and the rest as blanks.
void line_make_indent(const BufferRec* buf, LStr* out, int32_t n);

// Reflows the lines begin..end (for a block, the columns begin->column to
// end->column of each) and inserts the new lines after dest, which moves to
// the last of them. cursor (may be null) is the view whose word is followed.
// 0, or a store error (lines already inserted stay).
ErrorCode reflow_lines(PosRecord* begin, PosRecord* end, uint8_t kind, PosRecord* dest, const PosRecord* cursor,
                       BufferRec* buf);

// The reflow built-in's core: a LINE or BLOCK selection (-2035 for CHAR,
// -2013 when nothing is selected) reflowed after its end mark when the view
// is in its buffer, else after the view's line; the view's word is followed.
ErrorCode reflow_selection(const SelectionMarks* sel, const PosRecord* view);

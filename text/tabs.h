// Which tab stops apply.
//
// The conversions themselves (column to offset and back, expansion, the
// cursor helpers) are the pure functions of tab_columns.h, which take the
// stops to use. The stops that apply are those of the buffer being processed
// when one is set (saving, sorting, reflow and the like set it), otherwise
// those of the current view's buffer, otherwise every 8 columns. Tabs are one
// column each in a buffer of fixed-length records or whose tab-expansion
// switch is 1.
#pragma once

#include "text/buffer_rec.h"
#include "text/tab_columns.h"

// The store-wide buffer being processed, null none.
extern BufferRec* tab_buffer_processed;
// The buffer whose tab stops apply now (may be null).
BufferRec* tab_buffer();
// The stops of a buffer (null: every 8 columns).
TabStops tab_stops_of(const BufferRec* buf);
// The stops that apply now.
TabStops tab_stops_current();

// Which tab stops apply: see tabs.h.

#include "text/tabs.h"

#include "text/buffer.h"

BufferRec* tab_buffer_processed = nullptr;

BufferRec* tab_buffer() { return tab_buffer_processed ? tab_buffer_processed : buf_current(); }

TabStops tab_stops_of(const BufferRec* buf) {
  TabStops ts;
  if (!buf) return ts;
  ts.stops = buf->tab_stops;
  ts.expand = buf->record_len == 0 && buf->no_tab_expand != 1;
  return ts;
}

TabStops tab_stops_current() { return tab_stops_of(tab_buffer()); }

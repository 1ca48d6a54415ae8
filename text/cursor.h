// The line cursor: positions in a buffer and their moves over lines and pages.
//
// A PosRecord names a line by block, offset and index inside that block's
// page. Invariant: the record always names the page where its line starts;
// the continued part of a line (index 0 of the next page when the previous
// page's continuation flag is set) is never a position. A known line number
// equals the number of lines above the line; the top-of-file line is line 0.
// Every position of a buffer that must follow edits is linked into the
// buffer's ring (buf_next/buf_prev); the edits move each of them.
#pragma once

#include <cstdint>
#include <string>

#include "base/lstr.h"
#include "text/buffer_rec.h"
#include "text/store.h"

struct PosRecord {
  int32_t handle;      // the record's own handle in the position table
  int32_t block;       // block of the page in which the line starts
  int32_t offset;      // offset of the line's first byte in the page text
  int32_t index;       // line index in the page: 0, -1, -2, ...
  int64_t base;        // buffer byte offset of the block's first byte; -1 (or -R) for the first block
  int32_t column;      // cursor column of a view
  int32_t row;         // window row of a view's cursor
  int32_t display[4];  // more display state of a view
  int32_t line;        // line number, -1 unknown
  BufferRec* buffer;
  uint8_t kind[4];      // column-tracking byte (1 on allocation), selection kind, two state bytes
  PosRecord* win_next;  // views of the same window
  PosRecord* win_prev;
  PosRecord* buf_next;  // positions of the same buffer
  PosRecord* buf_prev;
  int32_t owner;  // window object showing this view, -1 none
};

// Iterates the line table of one page. Forward iteration visits entries
// downwards in memory. `cur` may be written by the caller (flags), who then
// marks the page dirty.
struct PageIter {
  LineEntry* cur;
  const uint8_t* text;
  LineEntry* end;
  LineEntry* last;
  LineEntry* first;
  Page* page;
  int dir;  // +1 forward, -1 backward
};

// ---- ring of a buffer's positions ----

void pos_link_to_buffer(PosRecord* pos, BufferRec* buf);
void pos_unlink_from_buffer(PosRecord* pos);
bool pos_in_ring(const PosRecord* pos, const BufferRec* buf);

// ---- moving: 0, or -2024/-2025 leaving the record unchanged, or a store error ----

int32_t pos_top(PosRecord* pos, BufferRec* buf);
int32_t pos_first_line(PosRecord* pos, BufferRec* buf);
int32_t pos_last_line(PosRecord* pos, BufferRec* buf);
int32_t pos_next_line(PosRecord* pos, BufferRec* buf);
int32_t pos_prev_line(PosRecord* pos, BufferRec* buf);
// -2024 past the end, leaving the record on the last line with its number.
int32_t pos_goto_line(int32_t line, PosRecord* pos, BufferRec* buf);
// The line containing a buffer byte offset; -2026 outside the text.
int32_t pos_seek_offset(PosRecord* pos, int64_t offset);
// A position as a point: its line's byte offset and the number of
// zero-length lines directly above it at that offset.
int32_t pos_get_point(int64_t& point, int32_t& zero_lines, PosRecord* pos);
// Back to a point; -2026 outside the text (the record goes to the last line).
int32_t pos_goto_point(PosRecord* pos, int64_t point, int32_t zero_lines);
// Copies block, offset, index, base and line number.
void pos_copy_place(PosRecord* dst, const PosRecord* src);
bool pos_same_place(const PosRecord* a, const PosRecord* b);
// <0, 0, >0 as a lies before, at or after b.
int pos_compare(const PosRecord* a, const PosRecord* b);
// Mode 0: stops (number unknown) at a block not counted and not in memory;
// 1: counts every block up to the position; 2: also finds the last line.
int32_t pos_line_number(PosRecord* pos, BufferRec* buf, int mode);
// Number of lines of the buffer, the top-of-file line excluded.
int32_t pos_count_lines(PosRecord* pos, BufferRec* buf, int32_t& total);

// ---- reading ----

// What a read says about the line besides its text: its flags and its raw
// length (end-of-line bytes and continued parts included).
struct LineInfo {
  uint16_t flags = 0;
  int32_t raw = 0;
};
// Length of the line without its end-of-line bytes and a pointer to its text
// (valid until the next store call); a negative code on failure; info, when given,
// receives the line's flags and raw length. A line split
// over two pages is joined (at most 1024 bytes).
int32_t line_get_ptr(const uint8_t*& text, PosRecord* pos, BufferRec* buf, LineInfo* info = nullptr);
// Copies at most cap bytes; returns the full length or a negative code.
int32_t line_get_text_n(char* out, int32_t cap, PosRecord* pos, BufferRec* buf);
std::string line_get_string(PosRecord* pos, BufferRec* buf, LineInfo* info = nullptr);
// The line's text into a counted string of capacity 1024; its length or a negative code.
int32_t line_get_text(LStr* out, PosRecord* pos, BufferRec* buf);
int32_t line_get_flags(PosRecord* pos, BufferRec* buf);
int32_t line_set_flags(uint16_t flags, PosRecord* pos, BufferRec* buf);

// ---- page iteration ----

int32_t page_iter_init(PageIter& it, int dir, PosRecord* pos, BufferRec* buf);
// The current line's text and length without end-of-line bytes. Inline: it
// runs once per line of every walk over a buffer.
int32_t page_iter_line_joined(PageIter& it, const uint8_t*& text, PosRecord* pos, BufferRec* buf);
inline int32_t page_iter_line(PageIter& it, const uint8_t*& text, PosRecord* pos, BufferRec* buf) {
  if (it.cur == it.last && it.page->cont) return page_iter_line_joined(it, text, pos, buf);
  int32_t len = it.cur->length;
  text = it.text;
  if (!buf->record_len) {
    if (len > 0 && text[len - 1] == buf->eol[1]) --len;
    if (buf->eol[0] != buf->eol[1] && len > 0 && text[len - 1] == buf->eol[0]) --len;
  }
  return len;
}
// Moves to the next entry of the page in the iterator's direction; false at the end entry.
inline bool page_iter_advance(PageIter& it) {
  if (it.cur == it.end) return false;
  if (it.dir > 0) {
    it.text += it.cur->length;
    --it.cur;
  } else {
    ++it.cur;
    it.text -= it.cur->length;
  }
  return true;
}
// Moves the record to the iterator's line, steps it into the next page and
// sets the iterator up there.
int32_t page_iter_next_page(PageIter& it, PosRecord* pos, BufferRec* buf);

// Internal helper shared with the edits: the start of the line that ends at
// the last entry of block b (whose base is given).
int32_t pos_start_of_last_line(PosRecord* pos, int32_t b, int64_t base, BufferRec* buf);

// Printing into a buffer: pagination of text lines for a character
// printer, with header and footer lines, blank padding, line numbers and
// page breaks at form feeds, written as lines of another buffer.
//
// The paginator works on a source of lines (tabs already expanded) and a
// sink that takes each output line, so the page images can be checked
// without a buffer; bi_print_text (print_bi.cpp) connects it to the text
// engine. The header and footer formats and their "%" codes are shared with
// page printing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/os.h"
#include "text/cursor.h"
#include "text/tab_columns.h"

// The six layout numbers, in the order of the layout string.
struct PrintTextLayout {
  int32_t unused = 0;         // read and kept, without effect
  int32_t after_header = 2;   // blank lines after the header
  int32_t before_footer = 2;  // blank lines before the footer
  int32_t page_length = 60;   // lines
  int32_t width = 80;         // characters; below 1 counts as 10
  int32_t number_every = 0;   // line-number interval, 0 none
};

// Left, centre and right formats of the header and the footer.
struct PrintFrames {
  std::array<std::string, 3> header;
  std::array<std::string, 3> footer;
  bool has_header() const { return !header[0].empty() || !header[1].empty() || !header[2].empty(); }
  bool has_footer() const { return !footer[0].empty() || !footer[1].empty() || !footer[2].empty(); }
};

// "%F" the name, "%D" the date, "%P" the page, "%%" stays "%%"; a "%"
// before any other character is dropped and the character kept; a final
// "%" is kept.
std::string print_format_expand(std::string_view format, std::string_view name, std::string_view date, int32_t page);

// month/day/year with the full year ("3/15/2025").
std::string print_date_text(const SysTime& t);

// Gives the next source line; 0, 1 at the end, or a negative error code.
using PrintLineSource = int32_t (*)(void* user, std::string& line);

// A buffer read from its first line with its tabs expanded, as both kinds
// of printing take their text: the user of print_buffer_line.
struct PrintBufferLines {
  explicit PrintBufferLines(BufferRec* b);
  PosRecord pos{};
  BufferRec* buf = nullptr;
  TabStops tabs{};
  bool started = false;
};
// The next line of a PrintBufferLines: 0, 1 at the end, or a store error.
int32_t print_buffer_line(void* user, std::string& line);
// The next line to print from a source, the k-th read (from 1): a first
// line holding the "@zorvex" marker is skipped, and a leading form feed is
// taken off and reported in *forced. 0, 1 at the end, or the source's error.
int32_t print_next_line(PrintLineSource source, void* user, int32_t& k, std::string& line, bool* forced);
// Takes one output line; 0 or an error code (which the paginator ignores,
// as a line insertion error does not stop the printing).
using PrintLineSink = int32_t (*)(void* user, std::string_view line);

struct PrintTextJob {
  PrintTextLayout layout;
  PrintFrames frames;
  std::string name;  // for %F
  std::string date;  // for %D
  PrintLineSource source = nullptr;
  void* source_user = nullptr;
  PrintLineSink sink = nullptr;
  void* sink_user = nullptr;
};

// Composes one header or footer line of width W; empty when all three
// formats are empty. A header of page 2 or later begins with a form feed.
std::string print_text_frame_text(const std::array<std::string, 3>& formats, std::string_view name,
                                  std::string_view date, int32_t page, int32_t width, bool header, bool* any);

// Paginates the whole source into the sink. 0, or the source's error (the
// lines already written stay).
int32_t print_text_run(const PrintTextJob& job);

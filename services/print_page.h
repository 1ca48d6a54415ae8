// Page printing: lines laid out on device pages in one or two columns,
// with margins in twips, a printer font, line numbers, and header and
// footer lines from the formats shared with printing into a buffer.
//
// The drawing goes through the print layer (print_begin .. print_frame_line)
// over a PrintDevice, the window system's print operations. This system has
// no printer: the window system's query answers 0 and every job ends at
// its start with -2092. Tests put a recording device in its place. While a
// job runs the windows are disabled (the innermost modal form, else every
// top-level window), and the window system's queue is served between
// drawing calls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "services/print_text.h"

class PrintDevice {
 public:
  virtual ~PrintDevice() = default;
  // 0 no device; 1 the device this layer drives; anything else another one.
  virtual int32_t query() = 0;
  virtual int32_t begin_doc(std::string_view name) = 0;
  virtual int32_t end_doc() = 0;
  // Selects the font; its measures and 256 character widths in device units.
  virtual void set_font(std::string_view face, int32_t size, int32_t third, int32_t* char_width, int32_t* line_height,
                        bool* fixed, std::array<int32_t, 256>& widths) = 0;
  virtual void page_size(int32_t layout_width, int32_t layout_height, int32_t* width, int32_t* height) = 0;
  virtual void twips_to_units(int32_t* x, int32_t* y) = 0;
  virtual void text_out(int32_t x, int32_t y, std::string_view text) = 0;
  virtual void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual int32_t new_page() = 0;
};

// The device the layer uses in place of the window system's (which finds
// none); null goes back to the window system's. Tests record a job on one.
void print_set_device(PrintDevice* d);

// The nine layout numbers of a page print, in the order of the layout string.
struct PrintPageLayout {
  int32_t left = 720, top = 720, right = 720, bottom = 720, gap = 720;
  int32_t flags = 0;  // 0x10 two columns; bits 0-1 header, 2-3 footer alignment
  int32_t number_every = 0;
  int32_t width = 720, height = 720;
};
inline constexpr int32_t kPrintTwoColumns = 0x10;

struct PrintPageJob {
  PrintPageLayout layout;
  PrintFrames frames;
  std::string document;  // handed to the device
  std::string name;      // %F
  std::string date;      // %D
  std::string face;
  int32_t size = 10, third = 0;
  PrintLineSource source = nullptr;
  void* source_user = nullptr;
};

// The print layer.
int32_t print_begin(std::string_view document);
int32_t print_end();
// Sets the abort flag; the job stops with -2038 before its next piece.
void print_abort();
// Dispatches the queue; with check, true (and the job cancelled) when the
// break key is down or the abort flag set.
bool print_poll(bool check);

// Lays the job out on the device, from print_begin to print_end. 0,
// -2092 without a device, -2093 for another device, -2038 when cancelled,
// or the source's error. Without a device nothing but the query is asked.
int32_t print_page_run(const PrintPageJob& job);

// ext 179, 183, 184.
void bi_print();
void bi_printer_setup();
void bi_set_flag_ext184();
// Whether a job's callback is running (a print request then gives -3030).
bool print_busy();

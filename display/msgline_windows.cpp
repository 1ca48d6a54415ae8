// The windows of the message and status lines: creation, layout, painting
// and clicks.
#include <algorithm>
#include <cstring>

#include "display/cmdline_port.h"
#include "display/colours.h"
#include "display/msgline.h"
#include "winsys/colours.h"
#include "winsys/ctl_draw.h"
#include "winsys/draw.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"

namespace {

constexpr int32_t kMessageStyle = static_cast<int32_t>(0x80000000u);
constexpr int32_t kStatusStyle = static_cast<int32_t>(0x80040000u);
constexpr int32_t kMessageFontId = 4;
constexpr int32_t kStatusFontId = 5;
constexpr uint32_t kCmdlineId = 3;
constexpr int32_t kTextX = 4;

struct Bands {
  XfWindow* host = nullptr;  // whose client area holds the bands
  XfWindow* message = nullptr;
  XfWindow* status = nullptr;
  XfWindow* command = nullptr;
  int32_t message_height = 0;
  int32_t font_height = 0;
  StatusMetrics metrics;
  StatusLayout layout;
  StatusClickRunner click = nullptr;
};
Bands bands;

// The bands' font (cached by the font layer), or null.
const FontAttrs* band_font(int32_t id) {
  const DefaultFont* d = default_font(id);
  if (!d) return nullptr;
  const FontDescription desc = font_description(d->face, d->size, d->flags);
  const int32_t slot = font_cache_find(&desc);
  return slot < 0 ? nullptr : font_cache_attrs(slot);
}

void measure(XfWindow* w) {
  DrawContext dc{};
  if (!WinGetPS(&dc, w)) return;
  if (const FontAttrs* f = band_font(kStatusFontId)) WinSelectFont(nullptr, &dc, f);
  StatusMetrics& m = bands.metrics;
  auto width = [&](const char* s) { return WinQueryTextWidth(&dc, s, static_cast<int32_t>(std::strlen(s))); };
  m.font_height = WinQueryFontHeight(&dc);
  m.twips_per_pixel = 15;
  m.w_line_label = width("Line ");
  m.w_line_value = width("99999999");
  m.w_blank = width(" ");
  m.w_col_label = width("Col ");
  m.w_col_value = width("999999");
  m.w_mode = width("FUNDAMENTAL");
  m.w_insert = std::max(width("Ins"), width("Rep"));
  m.w_w = width("W");
  m.edge = WinQuerySysValue(0x807);
  bands.font_height = m.font_height;
  WinReleasePS(&dc);
}

WinRect client_rect() {
  WinRect r{};
  if (bands.host) WinQueryWindowRect(bands.host, &r);
  return r;
}

void fill(DrawContext* dc, const WinRect& r, uint32_t colour) {
  Brush b{};
  WinMakeSolidBrush(&b, colour);
  WinFillRect(dc, &r, &b);
}

void paint_message(XfWindow* w) {
  DrawContext dc{};
  WinRect update{};
  if (!WinBeginPaint(&dc, w, &update)) return;
  if (const FontAttrs* f = band_font(kMessageFontId)) WinSelectFont(nullptr, &dc, f);
  const ColourPair p = colour_pair(4);
  WinRect all{};
  WinQueryWindowRect(w, &all);
  fill(&dc, all, p.bg);
  const int32_t fh = WinQueryFontHeight(&dc);
  const int32_t y = std::max(0, (all.bottom - (fh + fh / 7)) / 2);
  const std::string& t = message_state().current;
  WinSetBkMode(&dc, 57);
  WinSetTextColor(&dc, p.fg);
  if (!t.empty()) WinTextOut(&dc, kTextX, y, t.data(), static_cast<int32_t>(t.size()));
  WinEndPaint(&dc, w);
}

void draw_value(DrawContext* dc, int32_t left, int32_t right, int32_t top, int32_t height, const std::string& text,
                const ColourPair& p) {
  const WinRect box{left, top, right, top + height};
  WinSetTextColor(dc, p.fg);
  WinSetBkColor(dc, p.bg);
  WinExtTextOut(dc, left + 2, top, 3, &box, text.data(), static_cast<int32_t>(text.size()), nullptr);
}

void paint_status(XfWindow* w) {
  DrawContext dc{};
  WinRect update{};
  if (!WinBeginPaint(&dc, w, &update)) return;
  if (const FontAttrs* f = band_font(kStatusFontId)) WinSelectFont(nullptr, &dc, f);
  const ColourPair p = colour_pair(5);
  const StatusLayout& l = bands.layout;
  StatusFields& s = status_fields();
  WinRect all{};
  WinQueryWindowRect(w, &all);
  const int32_t fh = bands.font_height;
  const bool marker = update.right - update.left == 1 && update.bottom - update.top == 1;
  const bool full = !marker;
  if (full) {
    fill(&dc, all, p.bg);
    Pen pen{}, old{};
    WinMakePen(&pen, 0, 1, 0xFFFFFF);
    WinSelectPen(&old, &dc, &pen);
    const XfPoint top_edge[2] = {{0, 0}, {all.right, 0}};
    WinPolyline(&dc, top_edge, 2);
    WinSelectPen(nullptr, &dc, &old);
    WinSetBkMode(&dc, 57);
    WinSetTextColor(&dc, p.fg);
    WinTextOut(&dc, l.line_label, l.text_top, "Line", 4);
    WinTextOut(&dc, l.col_label, l.text_top, "Col", 3);
    WinSetBkMode(&dc, 58);
    PresentSpace* ps = dc.state ? dc.state->ps : nullptr;
    if (ps) {
      const int32_t t = l.text_top - 1, h = fh + 2;
      xfDraw3DBorderColor(ps, l.line_value - 1, t, l.line_end - l.line_value + 2, h, 1, 0x808080, 0xFFFFFF);
      xfDraw3DBorderColor(ps, l.col_value - 1, t, l.col_end - l.col_value + 2, h, 1, 0x808080, 0xFFFFFF);
      xfDraw3DBorderColor(ps, l.mode_left - 1, t, l.mode_end - l.mode_left + 2, h, 1, 0x808080, 0xFFFFFF);
      xfDraw3DBorderColor(ps, l.insert_left - 1, t, l.insert_end - l.insert_left + 2, h, 1, 0x808080, 0xFFFFFF);
    }
  }
  if (full || s.painted_line != s.line)
    draw_value(&dc, l.line_value, l.line_end, l.text_top, fh, status_line_text(s.line), p);
  if (full || s.painted_column != s.column)
    draw_value(&dc, l.col_value, l.col_end, l.text_top, fh, status_column_text(s.column), p);
  if (full || s.painted_mode != s.mode) draw_value(&dc, l.mode_left, l.mode_end, l.text_top, fh, s.mode, p);
  if (full || s.painted_insert != s.insert)
    draw_value(&dc, l.insert_left, l.insert_end, l.text_top, fh, status_insert_text(s.insert), p);
  s.painted_line = s.line;
  s.painted_column = s.column;
  s.painted_mode = s.mode;
  s.painted_insert = s.insert;
  WinEndPaint(&dc, w);
}

}  // namespace

int32_t msgline_register_message_class() {
  WinRegisterClass(kMessageLineClass, msgline_message_proc, 0, kMessageStyle);
  return 0;
}
int32_t msgline_register_status_class() {
  WinRegisterClass(kStatusLineClass, msgline_status_proc, 0, kStatusStyle);
  return 0;
}

int32_t msgline_create(XfWindow* frame) {
  msgline_register_message_class();
  msgline_register_status_class();
  bands.host = frame;
  measure(frame);
  const int32_t fh = bands.font_height;
  bands.message_height = std::max(1, bands.metrics.edge + fh + fh / 7);
  const WinRect r = client_rect();
  const int32_t width = r.right - r.left;
  bands.message =
      WinCreateStdWindow(kCreateChild, 0, kMessageLineClass, nullptr, 0x800000, 0, r.bottom - bands.message_height,
                         width, bands.message_height, frame, 1, nullptr, nullptr);
  status_fields().line = status_fields().column = -1;
  bands.layout = msgline_status_layout_compute(bands.metrics, width, true);
  const int32_t sh = bands.layout.band_height;
  bands.status = WinCreateStdWindow(kCreateChild, 0, kStatusLineClass, nullptr, 0x840002, 0,
                                    r.bottom - bands.message_height - sh, width, sh, frame, 2, nullptr, nullptr);
  if (!bands.message || !bands.status) return -1;
  const StatusLayout& l = bands.layout;
  bands.command = cmdline_create(bands.status, l.cmd_left, l.cmd_top, l.cmd_right - l.cmd_left, l.cmd_height);
  (void)kCmdlineId;
  return 0;
}

void msgline_status_layout(XfWindow* frame, WinRect* status, WinRect* command, int32_t* message_height) {
  if (frame) bands.host = frame;
  // Measured anew each time: the bands' font may have changed meanwhile.
  if (bands.host) measure(bands.host);
  const WinRect r = client_rect();
  const int32_t width = r.right - r.left;
  bands.layout = msgline_status_layout_compute(bands.metrics, width, true);
  const StatusLayout& l = bands.layout;
  const int32_t top = r.bottom - bands.message_height - l.band_height;
  if (status) *status = WinRect{0, top, width, top + l.band_height};
  if (command) *command = WinRect{l.cmd_left, l.cmd_top, l.cmd_right, l.cmd_top + l.cmd_height};
  if (message_height) *message_height = bands.message_height;
}

void msgline_layout(XfWindow* frame) {
  WinRect status{}, command{};
  int32_t mh = 0;
  msgline_status_layout(frame, &status, &command, &mh);
  const WinRect r = client_rect();
  if (bands.message) WinMoveWindow(bands.message, 0, r.bottom - mh, r.right - r.left, mh, 1);
  if (bands.status)
    WinMoveWindow(bands.status, status.left, status.top, status.right - status.left, status.bottom - status.top, 1);
  if (bands.command)
    WinMoveWindow(bands.command, command.left, command.top, command.right - command.left, command.bottom - command.top,
                  1);
}

int32_t msgline_bands_height() { return bands.message_height + bands.layout.band_height; }
XfWindow* msgline_message_window() { return bands.message; }
XfWindow* msgline_status_window() { return bands.status; }
XfWindow* msgline_command_window() { return bands.command; }
const StatusLayout& msgline_current_layout() { return bands.layout; }
void msgline_set_click_runner(StatusClickRunner run) { bands.click = run; }

void msgline_redraw_bands() {
  for (XfWindow* w : {bands.message, bands.status, bands.command})
    if (w) WinInvalidateRect(w, nullptr);
}

void msgline_destroy() {
  for (XfWindow* w : {bands.command, bands.status, bands.message})
    if (w) WinDestroyWindow(w);
  const StatusClickRunner click = bands.click;
  bands = Bands{};
  bands.click = click;
}

intptr_t msgline_message_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (message == ZWM_PAINT) {
    paint_message(window);
    return 0;
  }
  return WinDefWindowProc(window, message, mp1, mp2);
}

intptr_t msgline_status_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_LBUTTONDOWN:
    case ZWM_LBUTTONDBLCLK: {
      int32_t x = 0, y = 0;
      WinMouseMsgPos(window, mp1, mp2, &x, &y);
      const char* command = status_field_command(msgline_status_hit(bands.layout, x));
      if (command && bands.click) bands.click(command);
      return 0;
    }
    case ZWM_PAINT:
      paint_status(window);
      return 0;
    default:
      return WinDefWindowProc(window, message, mp1, mp2);
  }
}

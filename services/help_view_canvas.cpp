// The help viewer's canvas on the window system: drawing contexts, fonts,
// pictures, scroll bars, the clipboard and the tracking messages.
#include "services/help_view_canvas.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "winsys/bitmap_file.h"
#include "winsys/draw.h"
#include "winsys/fonts.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/selection.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

constexpr uint32_t kTrackTimer = 1;

class WinCanvas : public HelpWinCanvas {
 public:
  explicit WinCanvas(XfWindow* w) : win_(w) {
    WinGetPS(&measure_, w);
    active_ = &measure_;
  }
  ~WinCanvas() override {
    for (auto& p : pictures_) xfFreePicture(p);
    WinReleasePS(&measure_);
  }
  bool open_font(const HelpFontSpec& spec, HelpFontInfo* out) override {
    FontRequest req;
    WinMakeFontRequest(&req, spec.face.c_str(), spec.size, spec.weight,
                       (spec.italic ? 2u : 0u) | (spec.underline ? 8u : 0u));
    FontAttrs attrs{};
    if (WinCreateFont(&attrs, &req) == 0 || !attrs.font) return false;
    fonts_.push_back(attrs);
    const int32_t handle = static_cast<int32_t>(fonts_.size());
    select(&measure_, handle);
    FontMetrics m{};
    WinQueryFontMetrics(&measure_, &m);
    int32_t overhang = 0;
    WinGetTextWidth(&measure_, "l", 1, &overhang);
    *out = {handle, m.height + m.external_leading, m.ascent, overhang};
    return true;
  }
  void close_font(int32_t) override {}  // the window system's font cache keeps them
  bool char_widths(int32_t handle, int32_t table[256]) override {
    select(&measure_, handle);
    return WinQueryCharWidths(&measure_, table) != 0;
  }
  int32_t text_width(int32_t handle, const char* text, int32_t n) override {
    select(&measure_, handle);
    return WinQueryTextWidth(&measure_, text, n);
  }
  int32_t width() const override {
    WinRect r{};
    WinQueryWindowRect(win_, &r);
    return r.right - r.left;
  }
  int32_t height() const override {
    WinRect r{};
    WinQueryWindowRect(win_, &r);
    return r.bottom - r.top;
  }
  int32_t tppx() const override { return std::max(1, xf_screen_metrics().twips_x); }
  int32_t tppy() const override { return std::max(1, xf_screen_metrics().twips_y); }
  void fill(const HelpRect& r, uint32_t colour) override {
    const WinRect wr{r.left, r.top, r.right, r.bottom};
    Brush b;
    WinMakeSolidBrush(&b, colour);
    WinFillRect(active_, &wr, &b);
  }
  void draw_text(int32_t handle, int32_t x, int32_t y, const char* text, int32_t n, uint32_t fg, uint32_t bg) override {
    select(active_, handle);
    const uint32_t old_fg = WinSetTextColor(active_, fg), old_bg = WinSetBkColor(active_, bg);
    const int32_t old_mode = WinSetBkMode(active_, 2);
    WinTextOut(active_, x, y, text, n);
    WinSetBkMode(active_, old_mode);
    WinSetTextColor(active_, old_fg);
    WinSetBkColor(active_, old_bg);
  }
  void invert(const HelpRect& r) override {
    const WinRect wr{r.left, r.top, r.right, r.bottom};
    WinInvertRect(active_, &wr);
  }
  void draw_picture(void* p, int32_t x, int32_t y, int32_t w, int32_t h) override {
    xfDrawPicture(active_, static_cast<XfPicture*>(p), x, y, w, h, 0, 0, 0, 0, 0);
  }
  void* make_picture(const char* xpm, size_t length, int32_t* w, int32_t* h) override {
    XfPicture* p = nullptr;
    if (!xf_display() || xfXpmToPicture(xf_display(), &p, xpm, length, kImageXpmText) != 0 || !p) return nullptr;
    *w = xfPictureWidth(p);
    *h = xfPictureHeight(p);
    pictures_.push_back(p);
    return p;
  }
  void free_picture(void* p) override {
    std::erase(pictures_, static_cast<XfPicture*>(p));
    xfFreePicture(static_cast<XfPicture*>(p));
  }
  void invalidate() override { WinInvalidateRect(win_, nullptr); }
  void update_now() override { xfUpdateWindow(win_); }
  void set_scroll_range(char bar, int32_t limit, int32_t page) override {
    XfWindow* frame = WinFrameFromClient(win_);
    if (!frame) return;
    ScrollInfo info{sizeof(ScrollInfo), kSifRange | kSifPage, 0, limit, page, 0};
    WinSetScrollInfo(frame, &info, bar == 'V' ? kSelectVert : kSelectHorz);
  }
  void set_scroll_pos(char bar, int32_t pos) override {
    if (XfWindow* frame = WinFrameFromClient(win_)) WinSetScrollPos(frame, pos, bar == 'V' ? kSelectVert : kSelectHorz);
  }
  void beep() override { xfBeep(); }
  void wait_pointer(bool on) override {
    if (on) {
      saved_pointer_ = xfQueryPointer();
      xfSetPointer(win_, xfQuerySysPointer(win_, 3));
    } else {
      xfSetPointer(win_, saved_pointer_ ? saved_pointer_ : xfQuerySysPointer(win_, 1));
    }
  }
  bool set_clipboard(const std::vector<char>& bytes) override {
    // Text without its NUL, on both selections.
    const size_t n = bytes.empty() ? 0 : bytes.size() - 1;
    xf_sel_empty(XfSel::clipboard);
    return xf_sel_set(XfSel::clipboard, 1, bytes.data(), n) == 0 && xf_sel_set(XfSel::primary, 1, bytes.data(), n) == 0;
  }
  void capture(bool on) override {
    if (on)
      WinSetCapture(win_);
    else
      WinReleaseCapture();
  }
  HelpTrackMsg next_track_msg() override {
    for (;;) {
      XfMessage m{};
      if (!WinGetMsg(&m, nullptr, 0, 0)) return {HelpTrackKind::Other, 0, 0};
      if (m.number >= kMouseFirst && m.number <= kMouseLast) {
        HelpTrackMsg t;
        WinMouseMsgPos(win_, m.mp1, m.mp2, &t.x, &t.y);
        t.kind = m.number == ZWM_MOUSEMOVE   ? HelpTrackKind::Move
                 : m.number == ZWM_LBUTTONUP ? HelpTrackKind::ButtonUp
                                             : HelpTrackKind::Other;
        return t;
      }
      if (m.number == ZWM_CHAR) return {HelpTrackKind::Key, 0, 0};
      if (m.number == ZWM_TIMER && m.window == win_ && static_cast<uint32_t>(m.mp1) == kTrackTimer)
        return {HelpTrackKind::Timer, 0, 0};
      WinDispatchMsg(&m);
    }
  }
  bool start_timer(uint32_t ms) override { return WinStartTimer(win_, kTrackTimer, ms) != 0; }
  void stop_timer() override { WinStopTimer(win_, kTrackTimer); }
  void sleep_ms(uint32_t ms) override { usleep(ms * 1000); }

  // Painting goes through the paint context while it is open.
  void begin_paint() override {
    WinRect r{};
    WinBeginPaint(&paint_, win_, &r);
    active_ = &paint_;
  }
  void end_paint() override {
    WinEndPaint(&paint_, win_);
    active_ = &measure_;
  }

 private:
  void select(DrawContext* dc, int32_t handle) {
    if (handle >= 1 && static_cast<size_t>(handle) <= fonts_.size())
      WinSelectFont(nullptr, dc, &fonts_[static_cast<size_t>(handle) - 1]);
  }
  XfWindow* win_;
  DrawContext measure_{}, paint_{};
  DrawContext* active_;
  std::vector<FontAttrs> fonts_;
  std::vector<XfPicture*> pictures_;
  Cursor saved_pointer_ = 0;
};

}  // namespace

std::unique_ptr<HelpWinCanvas> help_make_win_canvas(XfWindow* window) { return std::make_unique<WinCanvas>(window); }

// Where a help-control object finds its viewer, and the canvas a viewer
// has when there is no screen.
//
// An object whose inner native window is a help viewer window uses that
// window's viewer. Without one (no display, or the forms' native windows
// not made), the object gets a viewer of its own on a fixed-width canvas,
// kept until the object goes; the built-ins then work the same way
// headless, with nothing drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "macro/opcodes.h"
#include "services/help_view.h"
#include "text/buffer.h"

// A canvas of fixed 8-pixel cells, 16 pixels high with ascent 12, 15 twips
// per pixel, of the given client size; it draws nothing and keeps the
// clipboard text itself.
class HelpFixedCanvas : public HelpCanvas {
 public:
  HelpFixedCanvas(int32_t w, int32_t h) : w_(w), h_(h) {}
  bool open_font(const HelpFontSpec&, HelpFontInfo* out) override {
    *out = {++fonts_, 16, 12, 0};
    return true;
  }
  void close_font(int32_t) override {}
  bool char_widths(int32_t, int32_t table[256]) override {
    for (int i = 0; i < 256; ++i) table[i] = 8;
    return true;
  }
  int32_t text_width(int32_t, const char*, int32_t n) override { return 8 * n; }
  int32_t width() const override { return w_; }
  int32_t height() const override { return h_; }
  int32_t tppx() const override { return 15; }
  int32_t tppy() const override { return 15; }
  void fill(const HelpRect&, uint32_t) override {}
  void draw_text(int32_t, int32_t, int32_t, const char*, int32_t, uint32_t, uint32_t) override {}
  void invert(const HelpRect&) override {}
  void draw_picture(void*, int32_t, int32_t, int32_t, int32_t) override {}
  void* make_picture(const char* xpm, size_t length, int32_t* w, int32_t* h) override;
  void free_picture(void* p) override;
  void invalidate() override {}
  void update_now() override {}
  void set_scroll_range(char, int32_t, int32_t) override {}
  void set_scroll_pos(char, int32_t) override {}
  void beep() override {}
  void wait_pointer(bool) override {}
  bool set_clipboard(const std::vector<char>& bytes) override {
    clipboard = bytes;
    return true;
  }
  void capture(bool) override {}
  HelpTrackMsg next_track_msg() override { return {HelpTrackKind::ButtonUp, last_x, last_y}; }
  bool start_timer(uint32_t) override { return false; }
  void stop_timer() override {}
  void sleep_ms(uint32_t) override {}
  void set_size(int32_t w, int32_t h) {
    w_ = w;
    h_ = h;
  }

  std::vector<char> clipboard;
  int32_t last_x = 0, last_y = 0;  // where a press is released

 private:
  int32_t w_, h_;
  int32_t fonts_ = 0;
};

// The size an XPM text's values line gives: false when it has none.
bool help_xpm_size(const char* xpm, size_t length, int32_t* w, int32_t* h);

// The viewer of a help-control object (type 13), made on first use when
// the object has no viewer window; null for other objects.
HelpView* help_view_of_object(WindowObject* obj);
// The viewer of a native window of the help viewer class, or null. The
// window class installs it.
using HelpWindowLookup = HelpView* (*)(XfWindow* window);
void help_set_window_lookup(HelpWindowLookup lookup);
// Forgets the headless viewers (tests, shutdown).
void help_views_reset();

// The nine built-ins.
BindResult help_view_register_opcodes(OpcodeDispatch& d);

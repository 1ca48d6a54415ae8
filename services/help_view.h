// The hypertext help viewer: one topic of a help file at a time, laid out
// into lines of runs (word wrap, tabs, scaled indents, inline pictures,
// links), painted, scrolled, selected, copied and driven by named commands.
//
// Everything the viewer needs of a screen goes through HelpCanvas: fonts
// and their widths, drawing, pictures, scroll bars, the clipboard and the
// mouse-tracking messages. The window class (help_view_win.h) gives it the
// window system's; tests give it a fake fixed-width font.
//
// Lines and runs hold byte offsets into the topic text, never pointers, and
// the text is replaced only when a new topic was read whole: a failed read
// leaves the shown topic, its lines and its text as they were.
//
// Start reading at help_show_topic and help_layout_topic.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/messages.h"
#include "services/help_file.h"

// ---- the screen's side ----

struct HelpFontSpec {
  std::string face;
  int32_t size = 0;  // tenths of a point
  int32_t weight = 400;
  bool italic = false, underline = false;
};
struct HelpFontInfo {
  int32_t handle = 0;
  int32_t line_height = 0;  // height plus external leading
  int32_t ascent = 0;
  int32_t overhang = 0;  // of the letter "l"
};
struct HelpRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const HelpRect&) const = default;
};
// What the mouse-tracking loop hears.
enum class HelpTrackKind : uint8_t { Move, ButtonUp, Key, Timer, Other };
struct HelpTrackMsg {
  HelpTrackKind kind = HelpTrackKind::ButtonUp;
  int32_t x = 0, y = 0;
};

class HelpCanvas {
 public:
  virtual ~HelpCanvas() = default;
  // Fonts: false when no font can be opened for the spec.
  virtual bool open_font(const HelpFontSpec& spec, HelpFontInfo* out) = 0;
  virtual void close_font(int32_t handle) = 0;
  // The 256 widths of a font; false when they cannot be had.
  virtual bool char_widths(int32_t handle, int32_t table[256]) = 0;
  virtual int32_t text_width(int32_t handle, const char* text, int32_t n) = 0;
  // The window's client size and the screen's twips per pixel.
  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  virtual int32_t tppx() const = 0;
  virtual int32_t tppy() const = 0;
  // Painting: colours are 0x00BBGGRR; y is the top of the text cell.
  virtual void fill(const HelpRect& r, uint32_t colour) = 0;
  virtual void draw_text(int32_t handle, int32_t x, int32_t y, const char* text, int32_t n, uint32_t fg,
                         uint32_t bg) = 0;
  virtual void invert(const HelpRect& r) = 0;
  virtual void draw_picture(void* picture, int32_t x, int32_t y, int32_t w, int32_t h) = 0;
  // Pictures from XPM text: null when it cannot be made.
  virtual void* make_picture(const char* xpm, size_t length, int32_t* w, int32_t* h) = 0;
  virtual void free_picture(void* picture) = 0;
  // The window.
  virtual void invalidate() = 0;
  virtual void update_now() = 0;
  // bar 'V' or 'H': range 0..limit and page; position.
  virtual void set_scroll_range(char bar, int32_t limit, int32_t page) = 0;
  virtual void set_scroll_pos(char bar, int32_t pos) = 0;
  virtual void beep() = 0;
  virtual void wait_pointer(bool on) = 0;
  // The clipboard, as text: false when it cannot be had.
  virtual bool set_clipboard(const std::vector<char>& bytes) = 0;
  // Mouse tracking.
  virtual void capture(bool on) = 0;
  virtual HelpTrackMsg next_track_msg() = 0;
  virtual bool start_timer(uint32_t ms) = 0;
  virtual void stop_timer() = 0;
  virtual void sleep_ms(uint32_t ms) = 0;
};

// ---- the laid-out topic ----

struct HelpRun {
  int32_t x = 0;       // pixels from the left edge, before horizontal scrolling
  int32_t image = -1;  // picture index, -1 for text
  int32_t highlighted = 0;
  uint32_t text = 0;  // offset of the run's first byte in the text
  int32_t length = 0;
  int32_t width = 0;
  int32_t font = 0;
  int32_t link = -1;
};
struct HelpLine {
  int32_t height = 0, ascent = 0;
  std::vector<HelpRun> runs;
};

struct HelpViewFont {
  bool loaded = false;
  HelpFontInfo info;
  uint32_t style = 0;  // the file's style bits
  bool table = false;
  int32_t widths[256] = {};
};
struct HelpViewImage {
  void* picture = nullptr;
  int32_t width = 0, height = 0;
};
struct HelpFontTranslation {
  std::string name, face;
  int32_t size = 0;
  std::string new_face;
  int32_t new_size = 0;
};

inline constexpr int32_t kHelpNoText = -1;  // a null text position

struct HelpView {
  explicit HelpView(HelpCanvas* c) : canvas(c) {}
  ~HelpView();
  HelpView(const HelpView&) = delete;
  HelpView& operator=(const HelpView&) = delete;

  HelpCanvas* canvas;
  HelpViewer file;  // the open help file, its tables and the topic text
  int32_t topic_position = 0;
  int32_t sel_anchor = 0, sel_end = 0;  // offsets; empty when equal
  std::vector<HelpLine> lines;
  int32_t vlimit = 0, hlimit = 0;
  // The view: first visible line, its top in document pixels, the offset
  // into it, the horizontal scroll.
  int32_t first_visible = 0, view_top = 0, view_offset = 0, hscroll = 0;
  std::vector<HelpViewFont> fonts;
  std::vector<HelpViewImage> images;
  std::vector<HelpFontTranslation> translations;
  int32_t scale_num = 1, scale_den = 1;
  bool scale_fixed = false;
  int32_t paint_suppressed = 0;
  bool setting_bars = false;
  int32_t last_x = 0, last_y = 0;  // the pointer as tracking last saw it
};

// The left margin in pixels, and a measure of a paragraph format scaled.
int32_t help_margin(const HelpView& v);
int64_t help_scaled(const HelpView& v, int64_t twips);

// ---- files, topics, layout and scrolling ----

// Opens a help file (help_load_file) with the view emptied first.
ErrorCode help_view_load(HelpView& v, const std::string& path);
void help_view_close(HelpView& v);
bool help_has_topic(const HelpView& v);

// Shows topic t with the line holding byte position q at the top: 0, 1
// (unreadable text, or no font), -33. On failure the shown topic stays.
ErrorCode help_show_topic(HelpView& v, int32_t t, int32_t q);
// Lays out the current text; false when no font could be opened.
bool help_layout_topic(HelpView& v, int32_t position, int32_t* widest, int32_t* position_top);
// Sets both scroll limits and scrolls to the position's line.
void help_apply_layout(HelpView& v, int32_t widest, int32_t position_top);
// Lays out again keeping the text at the top (resize, font changes).
void help_relayout(HelpView& v);
void help_scroll_to(HelpView& v, int32_t y);
void help_hscroll_to(HelpView& v, int32_t x);
int32_t help_vpos(const HelpView& v);

// Loads on first use; false (sizes 0) when it cannot.
bool help_font_slot(HelpView& v, int32_t font, int32_t* height, int32_t* ascent);
bool help_image_slot(HelpView& v, int32_t image, int32_t* width, int32_t* height);
// Widths in a loaded font.
int32_t help_text_width(HelpView& v, int32_t font, uint32_t offset, int32_t n);
// Drops every loaded font (translations changed, file closed).
void help_drop_fonts(HelpView& v);

// ---- painting, selection, hit-testing and links ----

void help_paint(HelpView& v);
HelpRect help_selection_rect(HelpView& v, int32_t line, int32_t line_top, int32_t lo, int32_t hi);
void help_invert_selection_change(HelpView& v, int32_t new_anchor, int32_t new_end, int32_t old_anchor,
                                  int32_t old_end);
// The text offset nearest to a window point, or kHelpNoText.
int32_t help_point_to_text(HelpView& v, int32_t x, int32_t y);
// Follows the link under a point, the highlighted link, or moves the
// keyboard highlight; each answers whether a topic was shown.
bool help_link_at(HelpView& v, int32_t x, int32_t y);
bool help_follow_highlighted(HelpView& v);
void help_highlight_next_link(HelpView& v, bool backwards);
void help_clear_selection(HelpView& v);

// ---- commands and the mouse ----

ErrorCode help_command(HelpView& v, std::string_view command, std::string_view argument);
// The text a copy puts on the clipboard, NUL included.
std::vector<char> help_copy_text(HelpView& v, int32_t from, int32_t to, bool raw);
void help_mouse_press(HelpView& v, int32_t x, int32_t y, bool extend);

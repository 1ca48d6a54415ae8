// The help viewer's topic layout: fonts and pictures loaded on first use,
// the text broken into lines of runs, the scroll limits and scrolling.
#include <algorithm>
#include <cstring>

#include "services/help_ini.h"
#include "services/help_view.h"
#include "winsys/bitmap_file.h"

namespace {

constexpr int32_t kMarginTwips = 90;
// Indents and tab stops from a file or a scale may be huge: positions are
// kept within this many pixels so that no sum of them overflows.
constexpr int64_t kMaxX = int64_t{1} << 22;
int32_t clamp_x(int64_t x) { return static_cast<int32_t>(std::clamp<int64_t>(x, 0, kMaxX)); }
constexpr int32_t kTabTwips = 720;

bool is_stop(char c) { return c == '\0' || c == '\n' || c == '\x01' || c == '\t'; }

// An escape at i (text[i] == 0x01): its code, number and length. Code 0
// when it is cut off by the NUL.
struct Escape {
  char code = 0;
  uint32_t number = 0;
  uint32_t length = 0;
};
Escape read_escape(const std::vector<char>& text, uint32_t i) {
  Escape e;
  const char code = text[i + 1];
  e.code = code;
  if (code == '\0') return e;
  if (code == '\x01' || (code != 'c' && code != 'p' && code != 'l' && code != 'b')) {
    e.length = 2;
    return e;
  }
  uint32_t k = i + 2;
  uint64_t n = 0;
  while (text[k] >= '0' && text[k] <= '9') {
    n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(text[k] - '0'), INT32_MAX);
    ++k;
  }
  if (text[k] != '\x01' && text[k] != '\0') ++k;  // the delimiter goes with the escape
  e.number = static_cast<uint32_t>(n);
  e.length = k - i;
  return e;
}

struct Indents {
  int64_t first = 0, left = 0;
};
Indents indents(const HelpView& v, int32_t p) {
  const HelpParaFormat* f = help_format(v.file, p);
  if (!f) return {};
  return {help_scaled(v, f->words[2]), help_scaled(v, f->words[3])};
}

}  // namespace

HelpView::~HelpView() { help_view_close(*this); }

int32_t help_margin(const HelpView& v) { return kMarginTwips / std::max(1, v.canvas->tppx()); }

int64_t help_scaled(const HelpView& v, int64_t twips) {
  return v.scale_den == 0 ? twips : twips * v.scale_num / v.scale_den;
}

bool help_has_topic(const HelpView& v) { return v.file.current_topic >= 0 && !v.lines.empty(); }

void help_drop_fonts(HelpView& v) {
  for (HelpViewFont& f : v.fonts)
    if (f.loaded) v.canvas->close_font(f.info.handle);
  v.fonts.assign(v.file.fonts.size(), HelpViewFont{});
}

void help_view_close(HelpView& v) {
  for (HelpViewFont& f : v.fonts)
    if (f.loaded) v.canvas->close_font(f.info.handle);
  v.fonts.clear();
  for (HelpViewImage& im : v.images)
    if (im.picture) v.canvas->free_picture(im.picture);
  v.images.clear();
  v.lines.clear();
  v.sel_anchor = v.sel_end = 0;
  v.first_visible = v.view_top = v.view_offset = v.hscroll = 0;
  v.vlimit = v.hlimit = 0;
  help_close_file(v.file);
  v.canvas->invalidate();
}

ErrorCode help_view_load(HelpView& v, const std::string& path) {
  help_view_close(v);
  const ErrorCode rc = help_load_file(v.file, path);
  if (rc == 0) {
    v.fonts.assign(v.file.fonts.size(), HelpViewFont{});
    v.images.assign(v.file.images.size(), HelpViewImage{});
  }
  return rc;
}

bool help_font_slot(HelpView& v, int32_t font, int32_t* height, int32_t* ascent) {
  *height = *ascent = 0;
  const HelpFont* hf = help_font(v.file, font);
  if (!hf || static_cast<size_t>(font) >= v.fonts.size()) return false;
  HelpViewFont& slot = v.fonts[static_cast<size_t>(font)];
  if (!slot.loaded) {
    HelpFontSpec spec;
    spec.face = std::string(help_font_face(v.file, font));
    spec.size = static_cast<int32_t>(std::min<uint32_t>(hf->size, 10000));
    spec.weight = (hf->style & kHelpFontBold) ? 700 : 400;
    spec.italic = (hf->style & kHelpFontItalic) != 0;
    spec.underline = (hf->style & (kHelpFontUnderline | kHelpFontLink)) != 0;
    help_translate_font(v, &spec.face, &spec.size);
    HelpFontInfo info;
    if (!v.canvas->open_font(spec, &info)) {
      v.canvas->beep();
      v.canvas->beep();
      return false;
    }
    slot.info = info;
    slot.style = hf->style;
    slot.loaded = true;
    slot.table = !spec.italic && info.overhang == 0 && v.canvas->char_widths(info.handle, slot.widths);
  }
  *height = slot.info.line_height;
  *ascent = slot.info.ascent;
  return true;
}

int32_t help_text_width(HelpView& v, int32_t font, uint32_t offset, int32_t n) {
  if (font < 0 || static_cast<size_t>(font) >= v.fonts.size() || n <= 0) return 0;
  HelpViewFont& slot = v.fonts[static_cast<size_t>(font)];
  if (!slot.loaded) return 0;
  const char* p = v.file.text.data() + offset;
  if (slot.table) {
    int32_t w = 0;
    for (int32_t i = 0; i < n; ++i) w += slot.widths[static_cast<uint8_t>(p[i])];
    return w;
  }
  return v.canvas->text_width(slot.info.handle, p, n);
}

bool help_image_slot(HelpView& v, int32_t image, int32_t* width, int32_t* height) {
  *width = *height = 0;
  if (image < 0 || static_cast<size_t>(image) >= v.images.size()) return false;
  HelpViewImage& slot = v.images[static_cast<size_t>(image)];
  if (!slot.picture) {
    std::vector<uint8_t> data;
    if (!help_read_image(v.file, image, data)) {
      if (data.empty() && uint64_t{v.file.images[static_cast<size_t>(image)].data_offset} +
                                  v.file.images[static_cast<size_t>(image)].stored_size >
                              static_cast<uint64_t>(v.file.file_size)) {
        v.canvas->beep();
        v.canvas->beep();
      }
      return false;
    }
    int kind = 0;
    if (xfImageFileKind(&kind, data.data(), data.size()) != 0) return false;
    std::vector<char> xpm;
    size_t length = 0;
    if (kind == kImageXpmText) {
      xpm.assign(data.begin(), data.end());
      length = xpm.size();
    } else if (kind == kImageBmp40 || kind == kImageBmp64) {
      if (xfBitmapToXpm(&xpm, &length, data.data(), data.size(), kind, "name") != 0) return false;
    } else {
      return false;
    }
    int32_t w = 0, h = 0;
    slot.picture = v.canvas->make_picture(xpm.data(), length, &w, &h);
    if (!slot.picture) return false;
    slot.width = w;
    slot.height = h;
  }
  *width = slot.width;
  *height = slot.height;
  return true;
}

namespace {

int32_t byte_width(HelpView& v, int32_t font, char c) {
  if (font < 0 || static_cast<size_t>(font) >= v.fonts.size() || !v.fonts[static_cast<size_t>(font)].loaded) return 0;
  const HelpViewFont& slot = v.fonts[static_cast<size_t>(font)];
  return slot.table ? slot.widths[static_cast<uint8_t>(c)] : v.canvas->text_width(slot.info.handle, &c, 1);
}

// The state of one layout pass.
struct Layout {
  HelpView& v;
  int32_t W, M, tppx;
  int32_t f = 0, p = 0;
  int32_t y = 0, widest = 0, position_top = 0;
  bool position_seen = false;
  int32_t q;
  int32_t x = 0, L = 0;
  HelpLine* line = nullptr;
  int32_t word_run = -1;  // the run of the word placed last, nothing in between

  Layout(HelpView& view, int32_t position)
      : v(view), W(view.canvas->width()), M(help_margin(view)), tppx(std::max(1, view.canvas->tppx())), q(position) {}

  void font_metrics(int32_t font, int32_t* h, int32_t* a) { help_font_slot(v, font, h, a); }
  void grow_to_font() {
    int32_t h, a;
    font_metrics(f, &h, &a);
    line->height = std::max(line->height, h);
    line->ascent = std::max(line->ascent, a);
  }
  void paragraph_start() {
    const Indents in = indents(v, p);
    x = clamp_x(M + (in.first + in.left) / tppx);
  }
  void line_start() {
    v.lines.emplace_back();
    line = &v.lines.back();
    L = x;
    font_metrics(f, &line->height, &line->ascent);
    word_run = -1;
  }
  void finish_line() { y += line->height; }
  void wrap() {
    finish_line();
    x = clamp_x(M + indents(v, p).left / tppx);
    line_start();
  }
  void check_position(uint32_t i) {
    if (!position_seen && static_cast<int64_t>(i) >= q) {
      position_seen = true;
      position_top = y;
    }
  }
  HelpRun& add_run(uint32_t text, int32_t length, int32_t width) {
    HelpRun r;
    r.x = x;
    r.text = text;
    r.length = length;
    r.width = width;
    r.font = f;
    line->runs.push_back(r);
    return line->runs.back();
  }
  uint32_t tab_to() const {
    const HelpParaFormat* fmt = help_format(v.file, p);
    const int64_t t = static_cast<int64_t>(x - M) * tppx;
    const int64_t left = indents(v, p).left;
    const int64_t* stop = nullptr;
    int64_t s = 0;
    if (fmt) {
      const uint32_t n = help_format_tab_count(*fmt);
      for (uint32_t k = 0; k < n; ++k) {
        const int64_t sk = help_scaled(v, fmt->words[6 + k]);
        if (sk > t) {
          s = sk;
          stop = &s;
          break;
        }
      }
    }
    int64_t nx;
    if (left > t && (!stop || *stop > left))
      nx = M + left / tppx;
    else if (!stop)
      nx = M + ((t + kTabTwips) / kTabTwips * kTabTwips) / tppx;
    else
      nx = M + *stop / tppx;
    return static_cast<uint32_t>(clamp_x(std::max<int64_t>(nx, x)));
  }

  bool run(int32_t* widest_out, int32_t* top_out);
};

bool Layout::run(int32_t* widest_out, int32_t* top_out) {
  const std::vector<char>& text = v.file.text;
  int32_t h0, a0;
  if (!help_font_slot(v, 0, &h0, &a0)) return false;
  paragraph_start();
  line_start();
  uint32_t i = 0;
  check_position(i);
  for (;;) {
    const char c = text[i];
    if (!is_stop(c)) {
      // A word: leading blanks, the bytes up to a blank or stop, trailing blanks.
      uint32_t e = i;
      while (text[e] == ' ') ++e;
      while (text[e] != ' ' && !is_stop(text[e])) ++e;
      const uint32_t last = e;  // end of the non-blank part
      while (text[e] == ' ') ++e;
      const bool join = word_run >= 0;
      const uint32_t start = join ? line->runs[static_cast<size_t>(word_run)].text : i;
      const int32_t R = join ? line->runs[static_cast<size_t>(word_run)].x : x;
      const int32_t w = help_text_width(v, f, start, static_cast<int32_t>(last - start));
      if (x != L && R + w > W) {
        wrap();
        check_position(i);
        continue;
      }
      widest = std::max(widest, R + w);
      if (!join) {
        add_run(i, 0, 0);
        word_run = static_cast<int32_t>(line->runs.size()) - 1;
      }
      HelpRun& r = line->runs[static_cast<size_t>(word_run)];
      r.length = static_cast<int32_t>(e - r.text);
      r.width = help_text_width(v, f, r.text, r.length);
      x = R + r.width;
      grow_to_font();
      i = e;
      continue;
    }
    if (c == '\0') {
      finish_line();
      break;
    }
    if (c == '\n') {
      const int32_t w = byte_width(v, f, 's');
      if (x != L && x + w > W) {
        wrap();
        check_position(i);
        continue;
      }
      add_run(i, 1, w);
      x += w;
      widest = std::max(widest, x);
      grow_to_font();
      finish_line();
      ++i;
      paragraph_start();
      line_start();
      check_position(i);
      continue;
    }
    if (c == '\t') {
      const int32_t nx = static_cast<int32_t>(tab_to());
      add_run(i, 1, nx - x);
      x = nx;
      grow_to_font();
      widest = std::max(widest, x);
      word_run = -1;
      ++i;
      check_position(i);
      continue;
    }
    // An escape.
    const Escape e = read_escape(text, i);
    if (e.code == '\0') {
      finish_line();
      break;
    }
    switch (e.code) {
      case 'c': {
        int32_t h2, a2;
        const int32_t n = static_cast<int32_t>(e.number);
        if (help_font_slot(v, n, &h2, &a2)) {
          f = n;
          if (x == L) {
            line->height = h2;
            line->ascent = a2;
          } else {
            const int32_t d = std::max(line->height - line->ascent, h2 - a2);
            line->ascent = std::max(line->ascent, a2);
            line->height = std::max(line->height, line->ascent + d);
          }
        }
        word_run = -1;
        break;
      }
      case 'l':
        if (!line->runs.empty()) line->runs.back().link = static_cast<int32_t>(e.number);
        word_run = -1;
        break;
      case 'p': {
        const int32_t n = static_cast<int32_t>(e.number);
        if (help_format(v.file, n)) {
          p = n;
          if (x == L) {
            paragraph_start();
            L = x;
          }
        }
        word_run = -1;
        break;
      }
      case 'b': {
        int32_t pw, ph;
        const int32_t n = static_cast<int32_t>(e.number);
        if (help_image_slot(v, n, &pw, &ph) && (pw > 0 || ph > 0)) {
          if (x != L && x + pw > W) {
            wrap();
            check_position(i);
            continue;
          }
          HelpRun& r = add_run(i, 1, pw);
          r.image = n;
          if (ph > line->ascent) {
            const int32_t d = line->height - line->ascent;
            line->ascent = ph;
            line->height = std::max(line->height, ph + d);
          }
          x += pw;
          widest = std::max(widest, x);
        }
        word_run = -1;
        break;
      }
      case '\x01': {
        const int32_t w = help_text_width(v, f, i + 1, 1);
        if (x != L && x + w > W) {
          wrap();
          check_position(i);
          continue;
        }
        add_run(i + 1, 1, w);
        word_run = static_cast<int32_t>(line->runs.size()) - 1;
        x += w;
        widest = std::max(widest, x);
        grow_to_font();
        i += e.length;
        check_position(i);
        continue;
      }
      default:
        word_run = -1;
        break;
    }
    i += e.length;
    check_position(i);
  }
  // Trailing lines with nothing, or only a line feed, go (never the first).
  while (v.lines.size() > 1) {
    const HelpLine& last = v.lines.back();
    if (!last.runs.empty() &&
        !(last.runs.front().image < 0 && text[last.runs.front().text] == '\n' && last.runs.front().length == 1))
      break;
    v.lines.pop_back();
  }
  *widest_out = widest;
  *top_out = position_top;
  return true;
}

}  // namespace

bool help_layout_topic(HelpView& v, int32_t position, int32_t* widest, int32_t* position_top) {
  v.lines.clear();
  v.canvas->invalidate();
  *widest = *position_top = 0;
  Layout l(v, position);
  if (!l.run(widest, position_top)) {
    v.lines.clear();
    v.file.current_topic = -1;
    return false;
  }
  v.first_visible = 0;
  v.view_top = v.view_offset = v.hscroll = 0;
  return true;
}

int32_t help_vpos(const HelpView& v) { return v.view_top + v.view_offset; }

void help_apply_layout(HelpView& v, int32_t widest, int32_t position_top) {
  ++v.paint_suppressed;
  v.setting_bars = true;
  int64_t total = 0;
  for (const HelpLine& l : v.lines) total += l.height;
  const int32_t H = v.canvas->height(), W = v.canvas->width();
  const int32_t vlimit = total > H ? static_cast<int32_t>(total - H + H / 2) : 0;
  v.vlimit = vlimit;
  v.canvas->set_scroll_range('V', vlimit, vlimit ? H : 0);
  help_scroll_to(v, std::min(position_top, v.vlimit));
  v.canvas->set_scroll_pos('H', 0);
  v.hlimit = widest > W ? widest - W + W / 2 : 0;
  v.canvas->set_scroll_range('H', v.hlimit, v.hlimit ? W : 0);
  v.setting_bars = false;
  --v.paint_suppressed;
}

ErrorCode help_show_topic(HelpView& v, int32_t t, int32_t q) {
  v.canvas->wait_pointer(true);
  help_clear_selection(v);
  const int32_t old_position = v.topic_position;
  v.topic_position = q;
  const ErrorCode rc = help_read_topic_text(v.file, t);
  if (rc != 0) {
    // The text and the lines of the shown topic are untouched.
    v.topic_position = old_position;
    v.canvas->wait_pointer(false);
    return rc;
  }
  v.file.current_topic = t;
  int32_t widest = 0, top = 0;
  if (!help_layout_topic(v, q, &widest, &top)) {
    v.canvas->wait_pointer(false);
    return 1;
  }
  help_apply_layout(v, widest, top);
  v.canvas->invalidate();
  v.canvas->wait_pointer(false);
  return 0;
}

void help_relayout(HelpView& v) {
  if (!help_has_topic(v)) return;
  // The first text run of the first visible line, or of the nearest line above.
  int32_t keep = 0;
  for (int32_t k = std::min<int32_t>(v.first_visible, static_cast<int32_t>(v.lines.size()) - 1); k >= 0; --k) {
    const auto& runs = v.lines[static_cast<size_t>(k)].runs;
    const auto it = std::find_if(runs.begin(), runs.end(), [](const HelpRun& r) { return r.image < 0; });
    if (it != runs.end()) {
      keep = static_cast<int32_t>(it->text);
      break;
    }
  }
  int32_t widest = 0, top = 0;
  if (!help_layout_topic(v, keep, &widest, &top)) return;
  help_apply_layout(v, widest, top);
  v.canvas->invalidate();
}

void help_scroll_to(HelpView& v, int32_t y) {
  if (v.file.current_topic < 0 || v.lines.empty()) return;
  y = std::clamp(y, 0, v.vlimit);
  v.canvas->set_scroll_pos('V', y);
  const int32_t before[3] = {v.first_visible, v.view_top, v.view_offset};
  int32_t top = 0;
  size_t k = 0;
  for (; k < v.lines.size(); ++k) {
    if (top + v.lines[k].height > y) break;
    top += v.lines[k].height;
  }
  if (k < v.lines.size()) {
    v.first_visible = static_cast<int32_t>(k);
    v.view_top = top;
    v.view_offset = y - top;
  } else {
    const int32_t lh = v.lines.back().height, H = v.canvas->height();
    v.first_visible = static_cast<int32_t>(v.lines.size()) - 1;
    v.view_top = top - lh;
    v.view_offset = lh > H ? lh - H : 0;
  }
  const int32_t after[3] = {v.first_visible, v.view_top, v.view_offset};
  if (std::memcmp(before, after, sizeof before) != 0) v.canvas->invalidate();
}

void help_hscroll_to(HelpView& v, int32_t x) {
  if (v.file.current_topic < 0) return;
  x = std::clamp(x, 0, v.hlimit);
  v.canvas->set_scroll_pos('H', x);
  if (x != v.hscroll) {
    v.hscroll = x;
    v.canvas->invalidate();
  }
}

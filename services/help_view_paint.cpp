// The help viewer's painting, selection rectangles, hit-testing and links.
#include <algorithm>

#include "services/help_view.h"

namespace {

constexpr uint32_t kText = 0x000000, kBack = 0xFFFFFF, kLinkText = 0x008000, kHighText = 0xFF00FF, kHighBack = 0x000000;

const HelpViewFont* slot_of(const HelpView& v, int32_t font) {
  if (font < 0 || static_cast<size_t>(font) >= v.fonts.size()) return nullptr;
  const HelpViewFont& s = v.fonts[static_cast<size_t>(font)];
  return s.loaded ? &s : nullptr;
}

bool is_link_run(const HelpView& v, const HelpRun& r) {
  if (r.image >= 0) return false;
  const HelpViewFont* s = slot_of(v, r.font);
  return s && (s->style & kHelpFontLink);
}

bool is_tab_or_lf(const HelpView& v, const HelpRun& r) {
  if (r.image >= 0) return false;
  const char c = v.file.text[r.text];
  return r.length == 1 && (c == '\t' || c == '\n');
}

int32_t image_width(const HelpView& v, const HelpRun& r) {
  if (r.image < 0 || static_cast<size_t>(r.image) >= v.images.size()) return 0;
  return v.images[static_cast<size_t>(r.image)].width;
}

// Visits the visible lines with their window tops.
template <class Fn>
void each_visible(const HelpView& v, Fn fn) {
  const int32_t H = v.canvas->height();
  int32_t y = -v.view_offset;
  for (size_t k = static_cast<size_t>(std::max(0, v.first_visible)); k < v.lines.size() && y < H; ++k) {
    if (fn(static_cast<int32_t>(k), y)) return;
    y += v.lines[k].height;
  }
}

}  // namespace

void help_clear_selection(HelpView& v) {
  if (v.sel_anchor != v.sel_end) v.canvas->invalidate();
  v.sel_anchor = v.sel_end = 0;
}

HelpRect help_selection_rect(HelpView& v, int32_t line, int32_t line_top, int32_t lo, int32_t hi) {
  HelpRect out{0, 0, 0, 0};
  if (lo > hi) std::swap(lo, hi);
  if (lo == hi) return out;
  const HelpLine& l = v.lines[static_cast<size_t>(line)];
  const HelpRun* first = nullptr;
  const HelpRun* last = nullptr;
  for (const HelpRun& r : l.runs) {
    const int32_t a = static_cast<int32_t>(r.text), b = a + r.length;
    if (a < hi && b > lo) {
      if (!first) first = &r;
      last = &r;
    }
  }
  if (!first) return out;
  out.top = line_top;
  out.bottom = line_top + l.height;
  out.left = first->x - v.hscroll;
  if (first->image < 0 && static_cast<int32_t>(first->text) < lo)
    out.left += help_text_width(v, first->font, first->text, lo - static_cast<int32_t>(first->text));
  if (last->image >= 0)
    out.right = last->x + image_width(v, *last) - v.hscroll;
  else if (is_tab_or_lf(v, *last))
    out.right = last->x + last->width - v.hscroll;
  else
    out.right =
        last->x +
        help_text_width(v, last->font, last->text, std::min(last->length, hi - static_cast<int32_t>(last->text))) -
        v.hscroll;
  return out;
}

void help_paint(HelpView& v) {
  const int32_t W = v.canvas->width(), H = v.canvas->height();
  if (!help_has_topic(v)) {
    v.canvas->fill({0, 0, W, H}, kBack);
    return;
  }
  int32_t bottom = -v.view_offset;
  each_visible(v, [&](int32_t k, int32_t y) {
    const HelpLine& l = v.lines[static_cast<size_t>(k)];
    v.canvas->fill({0, y, W, y + l.height}, kBack);
    for (const HelpRun& r : l.runs) {
      const int32_t x = r.x - v.hscroll;
      if (r.image >= 0) {
        const HelpViewImage& im = v.images[static_cast<size_t>(r.image)];
        if (im.picture) v.canvas->draw_picture(im.picture, x, y + l.ascent - im.height, im.width, im.height);
        continue;
      }
      if (is_tab_or_lf(v, r)) continue;
      const HelpViewFont* s = slot_of(v, r.font);
      if (!s) continue;
      uint32_t fg = kText, bg = kBack;
      if (s->style & kHelpFontLink) {
        fg = r.highlighted ? kHighText : kLinkText;
        if (r.highlighted) bg = kHighBack;
      }
      v.canvas->draw_text(s->info.handle, x, y + l.ascent - s->info.ascent, v.file.text.data() + r.text, r.length, fg,
                          bg);
    }
    if (v.sel_anchor != v.sel_end) {
      const HelpRect r = help_selection_rect(v, k, y, v.sel_anchor, v.sel_end);
      if (!r.empty()) v.canvas->invert(r);
    }
    bottom = y + l.height;
    return false;
  });
  if (bottom < H) v.canvas->fill({0, std::max(0, bottom), W, H}, kBack);
}

void help_invert_selection_change(HelpView& v, int32_t new_anchor, int32_t new_end, int32_t old_anchor,
                                  int32_t old_end) {
  if (!help_has_topic(v)) return;
  each_visible(v, [&](int32_t k, int32_t y) {
    const HelpRect n = help_selection_rect(v, k, y, new_anchor, new_end);
    const HelpRect o = help_selection_rect(v, k, y, old_anchor, old_end);
    const bool has_n = !n.empty(), has_o = !o.empty();
    if (has_n && !has_o) {
      v.canvas->invert(n);
    } else if (has_o && !has_n) {
      v.canvas->invert(o);
    } else if (has_n && has_o) {
      if (n.left != o.left) v.canvas->invert({std::min(n.left, o.left), n.top, std::max(n.left, o.left), n.bottom});
      if (n.right != o.right)
        v.canvas->invert({std::min(n.right, o.right), n.top, std::max(n.right, o.right), n.bottom});
    }
    return false;
  });
}

int32_t help_point_to_text(HelpView& v, int32_t x, int32_t y) {
  if (!help_has_topic(v)) return kHelpNoText;
  x = std::max(0, x);
  y = std::max(0, y);
  const int32_t M = help_margin(v);
  const HelpRun* looked = nullptr;
  int32_t result = kHelpNoText;
  size_t walked_to = v.lines.size();
  each_visible(v, [&](int32_t k, int32_t top) {
    const HelpLine& l = v.lines[static_cast<size_t>(k)];
    walked_to = static_cast<size_t>(k) + 1;
    for (const HelpRun& r : l.runs) {
      if (y < top) {
        result = static_cast<int32_t>(l.runs.front().text);
        return true;
      }
      looked = &r;
      if (y >= top + l.height) continue;
      const int32_t left = r.x - v.hscroll;
      if (x < left) {
        result = static_cast<int32_t>(r.text);
        return true;
      }
      if (r.image < 0) {
        const HelpViewFont* s = slot_of(v, r.font);
        const int32_t over = s ? s->info.overhang / 5 : 0;
        int32_t before = 0;  // the prefix through the previous character
        for (int32_t c = 0; c < r.length; ++c) {
          const int32_t through = help_text_width(v, r.font, r.text, c + 1) + over;
          const int32_t mid = left + (before + through) / 2;
          if (x < mid) {
            result = static_cast<int32_t>(r.text) + c;
            return true;
          }
          before = through;
        }
      } else {
        const int32_t w = image_width(v, r);
        const bool narrow = w < 4 * M;
        if (narrow || (x >= left + M && x < left + w - M)) {
          if (x < left + w / 2) {
            result = static_cast<int32_t>(r.text);
            return true;
          }
          if (x < left + w) {
            result = static_cast<int32_t>(r.text) + 1;
            return true;
          }
        }
      }
    }
    return false;
  });
  if (result != kHelpNoText) return result;
  if (looked) return static_cast<int32_t>(looked->text) + looked->length;
  for (size_t k = walked_to; k < v.lines.size(); ++k)
    if (!v.lines[k].runs.empty()) return static_cast<int32_t>(v.lines[k].runs.front().text);
  return kHelpNoText;
}

namespace {

// Follows the link whose words include the run at (line, run).
bool follow_from(HelpView& v, size_t line, size_t run) {
  const int32_t font = v.lines[line].runs[run].font;
  for (size_t k = line; k < v.lines.size(); ++k) {
    const auto& runs = v.lines[k].runs;
    for (size_t j = (k == line ? run : 0); j < runs.size(); ++j) {
      const HelpRun& r = runs[j];
      if (r.image >= 0 || r.font != font) return false;
      if (r.link != -1) {
        int32_t topic = 0;
        uint32_t position = 0;
        if (!help_link_target(v.file, r.link, &topic, &position)) return false;
        return help_show_topic(v, topic, static_cast<int32_t>(std::min<uint32_t>(position, INT32_MAX))) == 0;
      }
    }
  }
  return false;
}

struct RunRef {
  size_t line = 0, run = 0;
  bool valid = false;
};

}  // namespace

bool help_link_at(HelpView& v, int32_t x, int32_t y) {
  if (!help_has_topic(v)) return false;
  RunRef hit;
  each_visible(v, [&](int32_t k, int32_t top) {
    const auto& runs = v.lines[static_cast<size_t>(k)].runs;
    for (size_t j = 0; j < runs.size(); ++j) {
      const HelpRun& r = runs[j];
      if (!is_link_run(v, r)) continue;
      const int32_t left = r.x - v.hscroll;
      const HelpViewFont* s = slot_of(v, r.font);
      if (x >= left && x < left + r.width && y >= top && y < top + s->info.line_height) {
        hit = {static_cast<size_t>(k), j, true};
        return true;
      }
    }
    return false;
  });
  return hit.valid && follow_from(v, hit.line, hit.run);
}

bool help_follow_highlighted(HelpView& v) {
  if (!help_has_topic(v)) return false;
  RunRef first, high;
  each_visible(v, [&](int32_t k, int32_t) {
    const auto& runs = v.lines[static_cast<size_t>(k)].runs;
    for (size_t j = 0; j < runs.size(); ++j) {
      if (!is_link_run(v, runs[j])) continue;
      if (!first.valid) first = {static_cast<size_t>(k), j, true};
      if (runs[j].highlighted) {
        high = {static_cast<size_t>(k), j, true};
        return true;
      }
    }
    return false;
  });
  const RunRef from = high.valid ? high : first;
  return from.valid && follow_from(v, from.line, from.run);
}

namespace {

// Marks (or clears) the runs of the link starting at a run.
void mark_link(HelpView& v, RunRef start, int32_t on) {
  size_t k = start.line, j = start.run;
  for (;;) {
    auto& runs = v.lines[k].runs;
    runs[j].highlighted = on;
    if (j + 1 < runs.size()) {
      if (!is_link_run(v, runs[j + 1]) || runs[j].link != -1) break;
      ++j;
      continue;
    }
    // The last run of its line: the link may go on at the next line's start.
    if (runs[j].link != -1 || k + 1 >= v.lines.size() || v.lines[k + 1].runs.empty() ||
        !is_link_run(v, v.lines[k + 1].runs.front()))
      break;
    ++k;
    j = 0;
  }
  v.canvas->invalidate();
}

}  // namespace

void help_highlight_next_link(HelpView& v, bool backwards) {
  if (!help_has_topic(v)) return;
  std::vector<RunRef> starts;
  int32_t high = -1;
  bool prev_link_ended_line = false;  // the link run before was the last of its line
  bool prev_was_link = false;
  each_visible(v, [&](int32_t k, int32_t) {
    const auto& runs = v.lines[static_cast<size_t>(k)].runs;
    for (size_t j = 0; j < runs.size(); ++j) {
      const HelpRun& r = runs[j];
      if (!is_link_run(v, r)) {
        prev_was_link = false;
        continue;
      }
      const bool continues = j == 0 && prev_was_link && prev_link_ended_line;
      // Within a line, a link is a run whose predecessor was a link run that
      // carries no link number yet.
      const bool joins = j > 0 && is_link_run(v, runs[j - 1]) && runs[j - 1].link == -1;
      if (!continues && !joins) {
        starts.push_back({static_cast<size_t>(k), j, true});
        if (high < 0 && r.highlighted) high = static_cast<int32_t>(starts.size()) - 1;
      }
      prev_was_link = r.link == -1;
      prev_link_ended_line = j + 1 == runs.size();
    }
    if (runs.empty()) prev_was_link = false;
    return false;
  });
  if (starts.empty()) return;
  int32_t target;
  const int32_t n = static_cast<int32_t>(starts.size());
  if (!backwards)
    target = high >= 0 && high + 1 < n ? high + 1 : 0;
  else
    target = high > 0 ? high - 1 : n - 1;
  if (target == high) return;
  if (high >= 0) mark_link(v, starts[static_cast<size_t>(high)], 0);
  mark_link(v, starts[static_cast<size_t>(target)], 1);
}

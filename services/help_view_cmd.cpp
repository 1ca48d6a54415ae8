// The help viewer's named commands, copying and the mouse.
#include <algorithm>
#include <cctype>

#include "services/help_ini.h"
#include "services/help_view.h"

namespace {

constexpr int32_t kStepTwips = 400;

int32_t vstep(const HelpView& v) { return kStepTwips / std::max(1, v.canvas->tppy()); }
int32_t hstep(const HelpView& v) { return kStepTwips / std::max(1, v.canvas->tppx()); }
int32_t vpage(const HelpView& v) {
  const int32_t H = v.canvas->height(), s = vstep(v);
  return H > s ? H - s : s;
}

ErrorCode copy(HelpView& v, bool all, std::string_view argument) {
  const bool raw = !argument.empty() && (argument[0] == 'N' || argument[0] == 'n');
  int32_t from = 0, to = static_cast<int32_t>(v.file.text_length);
  if (!all && v.sel_anchor != v.sel_end) {
    from = std::min(v.sel_anchor, v.sel_end);
    to = std::max(v.sel_anchor, v.sel_end);
  }
  std::vector<char> bytes;
  try {
    bytes = help_copy_text(v, from, to, raw);
  } catch (const std::bad_alloc&) {
    return ERR_INSUFFICIENT_MEMORY;
  }
  return v.canvas->set_clipboard(bytes) ? 0 : ERR_INSUFFICIENT_MEMORY;
}

using Handler = ErrorCode (*)(HelpView&, std::string_view);

struct CommandRow {
  std::string_view name;
  Handler run;
};

// clang-format off
constexpr CommandRow kCommands[] = {
    {"pagedown", [](HelpView& v, std::string_view) { help_scroll_to(v, help_vpos(v) + vpage(v)); return ErrorCode{0}; }},
    {"pageup", [](HelpView& v, std::string_view) { help_scroll_to(v, help_vpos(v) - vpage(v)); return ErrorCode{0}; }},
    {"scrolldown", [](HelpView& v, std::string_view) { help_scroll_to(v, help_vpos(v) + vstep(v)); return ErrorCode{0}; }},
    {"scrollup", [](HelpView& v, std::string_view) { help_scroll_to(v, help_vpos(v) - vstep(v)); return ErrorCode{0}; }},
    {"nextht", [](HelpView& v, std::string_view) { help_highlight_next_link(v, false); return ErrorCode{0}; }},
    {"prevht", [](HelpView& v, std::string_view) { help_highlight_next_link(v, true); return ErrorCode{0}; }},
    {"pageleft", [](HelpView& v, std::string_view) { help_hscroll_to(v, v.hscroll - v.canvas->width() / 2); return ErrorCode{0}; }},
    {"pageright", [](HelpView& v, std::string_view) { help_hscroll_to(v, v.hscroll + v.canvas->width() / 2); return ErrorCode{0}; }},
    {"scrollleft", [](HelpView& v, std::string_view) { help_hscroll_to(v, v.hscroll - hstep(v)); return ErrorCode{0}; }},
    {"scrollright", [](HelpView& v, std::string_view) { help_hscroll_to(v, v.hscroll + hstep(v)); return ErrorCode{0}; }},
    {"prevtopic", [](HelpView& v, std::string_view) {
       if (v.file.current_topic >= 1) help_show_topic(v, v.file.current_topic - 1, 0);
       return ErrorCode{0}; }},
    {"nexttopic", [](HelpView& v, std::string_view) {
       if (v.file.current_topic >= 0 && static_cast<size_t>(v.file.current_topic) + 1 < v.file.topics.size())
         help_show_topic(v, v.file.current_topic + 1, 0);
       return ErrorCode{0}; }},
    {"gotoht", [](HelpView& v, std::string_view) { help_follow_highlighted(v); return ErrorCode{0}; }},
    {"top", [](HelpView& v, std::string_view) { help_scroll_to(v, 0); return ErrorCode{0}; }},
    {"bottom", [](HelpView& v, std::string_view) { help_scroll_to(v, v.vlimit); return ErrorCode{0}; }},
    {"copy", [](HelpView& v, std::string_view a) { return copy(v, false, a); }},
    {"copyall", [](HelpView& v, std::string_view a) { return copy(v, true, a); }},
    {"inifile", [](HelpView& v, std::string_view a) { help_load_ini(v, std::string(a)); return ErrorCode{0}; }},
    {"fontstyle", [](HelpView& v, std::string_view a) { help_set_font_style(v, a); return ErrorCode{0}; }},
    {"contents", [](HelpView& v, std::string_view) { help_contents(v); return ErrorCode{0}; }},
    {"deselect", [](HelpView& v, std::string_view) { help_clear_selection(v); return ErrorCode{0}; }},
};
// clang-format on

}  // namespace

ErrorCode help_command(HelpView& v, std::string_view command, std::string_view argument) {
  std::string name(command.substr(0, 99));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const CommandRow& row : kCommands)
    if (row.name == name) return row.run(v, argument);
  return 0;
}

std::vector<char> help_copy_text(HelpView& v, int32_t from, int32_t to, bool raw) {
  std::vector<char> out;
  const std::vector<char>& text = v.file.text;
  to = std::min(to, static_cast<int32_t>(v.file.text_length));
  from = std::max(0, from);
  if (raw) {
    // The bytes with every escape taken out.
    for (int32_t i = from; i < to;) {
      if (text[static_cast<size_t>(i)] != '\x01') {
        out.push_back(text[static_cast<size_t>(i++)]);
        continue;
      }
      const char code = text[static_cast<size_t>(i) + 1];
      if (code == '\0') break;
      if (code == '\x01') {
        out.push_back('\x01');
        i += 2;
        continue;
      }
      i += 2;
      if (code == 'c' || code == 'p' || code == 'l' || code == 'b') {
        while (text[static_cast<size_t>(i)] >= '0' && text[static_cast<size_t>(i)] <= '9') ++i;
        if (text[static_cast<size_t>(i)] != '\x01' && text[static_cast<size_t>(i)] != '\0') ++i;
      }
    }
  } else {
    bool previous_gave = false;
    for (const HelpLine& l : v.lines) {
      bool gave = false, own_lf = false, reached_end = false;
      for (size_t j = 0; j < l.runs.size(); ++j) {
        const HelpRun& r = l.runs[j];
        if (r.image >= 0) continue;
        const int32_t a = std::max(from, static_cast<int32_t>(r.text));
        const int32_t b = std::min(to, static_cast<int32_t>(r.text) + r.length);
        if (a >= b) continue;
        out.insert(out.end(), text.begin() + a, text.begin() + b);
        gave = true;
        if (text[static_cast<size_t>(b) - 1] == '\n') own_lf = true;
        if (j + 1 == l.runs.size() && b == static_cast<int32_t>(r.text) + r.length) reached_end = true;
      }
      if (gave && !own_lf && (reached_end || previous_gave)) out.push_back('\n');
      previous_gave = gave;
    }
  }
  out.push_back('\0');
  return out;
}

void help_mouse_press(HelpView& v, int32_t x, int32_t y, bool extend) {
  if (!help_has_topic(v)) return;
  v.last_x = x;
  v.last_y = y;
  HelpCanvas& c = *v.canvas;
  int32_t anchor, end;
  bool click;
  if (extend) {
    anchor = v.sel_anchor != v.sel_end ? v.sel_anchor : 0;
    end = help_point_to_text(v, x, y);
    if (end == kHelpNoText) end = anchor;
    help_invert_selection_change(v, anchor, end, v.sel_anchor, v.sel_end);
    v.sel_anchor = anchor;
    v.sel_end = end;
    click = false;
  } else {
    if (v.sel_anchor != v.sel_end) {
      help_clear_selection(v);
      c.update_now();
    }
    anchor = end = help_point_to_text(v, x, y);
    click = true;
  }
  if (anchor != kHelpNoText) {
    c.capture(true);
    const int32_t W = c.width(), H = c.height(), M = help_margin(v);
    auto inside = [&](int32_t px, int32_t py) { return px >= 0 && py >= 0 && px < W && py < H; };
    auto follow = [&](int32_t new_end) {
      if (new_end == kHelpNoText) return;
      help_invert_selection_change(v, anchor, new_end, v.sel_anchor, v.sel_end);
      v.sel_anchor = anchor;
      v.sel_end = new_end;
    };
    // Automatic scrolling while the pointer is outside: true when the drag goes on.
    auto autoscroll = [&]() {
      for (;;) {
        const int32_t px = v.last_x, py = v.last_y;
        const bool down = py >= H, right = px >= W, up = py < 0, left = px < M;
        uint32_t interval = 90;
        int steps = 1;
        if (down || up) {
          const int32_t d = (down ? py - H : -py) * std::max(1, c.tppy());
          if (d < 201) {
            interval = 100;
          } else if (d < 401) {
            interval = 90;
          } else if (d > 600) {
            interval = 50;
            steps = 4;
          } else {
            interval = 75;
            steps = 2;
          }
        }
        if (!c.start_timer(interval)) return false;
        bool back_inside = false;
        for (;;) {
          // A pass.
          const int32_t before[4] = {v.first_visible, v.view_top, v.view_offset, v.hscroll};
          for (int s = 0; s < steps; ++s) {
            if (down) help_scroll_to(v, help_vpos(v) + vstep(v));
            if (up) help_scroll_to(v, help_vpos(v) - vstep(v));
            if (right) help_hscroll_to(v, v.hscroll + hstep(v));
            if (left) help_hscroll_to(v, v.hscroll - hstep(v));
          }
          const int32_t e = help_point_to_text(v, v.last_x, v.last_y);
          const int32_t after[4] = {v.first_visible, v.view_top, v.view_offset, v.hscroll};
          if (!std::equal(before, before + 4, after)) {
            v.sel_anchor = anchor;
            if (e != kHelpNoText) v.sel_end = e;
          } else if (e != kHelpNoText && e != v.sel_end) {
            c.invalidate();
            v.sel_anchor = anchor;
            v.sel_end = e;
          }
          c.update_now();
          const HelpTrackMsg m = c.next_track_msg();
          if (m.kind == HelpTrackKind::Timer) continue;
          if (m.kind == HelpTrackKind::Move) {
            v.last_x = m.x;
            v.last_y = m.y;
            if (inside(m.x, m.y)) {
              c.update_now();
              follow(help_point_to_text(v, m.x, m.y));
              c.stop_timer();
              back_inside = true;
              break;
            }
            c.stop_timer();
            c.sleep_ms(interval);
            break;  // directions and speed again
          }
          c.update_now();
          c.stop_timer();
          return false;
        }
        if (back_inside) return true;
      }
    };
    for (bool tracking = true; tracking;) {
      const HelpTrackMsg m = c.next_track_msg();
      switch (m.kind) {
        case HelpTrackKind::Move:
          v.last_x = m.x;
          v.last_y = m.y;
          if (inside(m.x, m.y)) {
            const int32_t e = help_point_to_text(v, m.x, m.y);
            if (e != anchor) click = false;
            if (!click) follow(e);
          } else {
            click = false;
            if (!autoscroll()) tracking = false;
          }
          break;
        case HelpTrackKind::ButtonUp:
          tracking = false;
          break;
        case HelpTrackKind::Key:
          click = false;
          tracking = false;
          break;
        default:
          break;
      }
    }
    if (click) {
      help_clear_selection(v);
      help_link_at(v, v.last_x, v.last_y);
    }
    c.capture(false);
  }
}

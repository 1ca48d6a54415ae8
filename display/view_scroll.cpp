#include "display/view_scroll.h"

#include <algorithm>

int32_t view_hscroll_offset(const HScrollInput& in) {
  const int32_t half = (in.right_x - in.left_x) / 2;
  if (in.x_before >= in.hoffset) {
    const int32_t over = in.x_through - in.hoffset + in.left_x - in.right_x;
    if (over < 1) return in.hoffset;
    if (in.style == 'C') {
      const int32_t centred = in.x_through + in.left_x - half;
      return centred >= 0 ? centred : in.hoffset + over;
    }
    if (in.fixed_columns) return std::max(in.cursor_col - in.columns + 1, 0) * in.char_width;
    return in.hoffset + over;
  }
  if (in.style == 'C') return std::max(in.x_before - half, 0);
  return in.x_before;
}

ScrollBar disp_vscroll_range(const VScrollInput& in) {
  ScrollBar b{0, 0, in.rows, 0, 1};
  if (in.last_page_point > 7999) {
    const int64_t add = in.top_of_file ? (in.record_len ? in.record_len : 1) : 0;
    int64_t max = in.last_page_point + add;
    if (max > 32000) b.scale = static_cast<int32_t>(std::min<int64_t>(max / 32000 + 1, 0x7fffffff));
    b.max = static_cast<int32_t>(max / b.scale);
    b.pos = static_cast<int32_t>(std::clamp<int64_t>((in.top_point + add) / b.scale, 0, b.max));
    return b;
  }
  b.min = in.top_of_file ? 0 : 1;
  b.max = static_cast<int32_t>(in.last_page_point);
  if (in.visible < in.rows && in.line_count < in.rows) {
    b.max = in.top_of_file ? 1 : 2;
    b.page = std::max(in.line_count - 1, 0);
  }
  b.pos = std::clamp(std::max(in.top_line, b.min), 0, std::max(b.max, 0));
  return b;
}

int32_t disp_hscroll_pos(int32_t hoffset, int32_t pixels_per_inch) {
  if (pixels_per_inch <= 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(hoffset) * 300 / pixels_per_inch, 32000));
}

std::string disp_buffer_caption(std::string_view name, int32_t buffer_id, char state, bool modified) {
  std::string c;
  if (name.empty()) {
    c = "no-name<b" + std::to_string(buffer_id) + ">";
  } else if (state == 'I' && name.front() == '/') {
    c = std::string(name.substr(name.find_last_of('/') + 1));
  } else {
    c = std::string(name);
  }
  if (modified) c += " *";
  return c;
}

std::string disp_shorten_path(std::string_view path, size_t limit) {
  std::string p(path);
  if (p.empty() || p[0] != '/') return p;
  const size_t first_end = p.find('/', 1);  // end of the first directory
  if (first_end == std::string::npos) return p;
  for (int step = 1; step <= 100 && p.size() > limit; ++step) {
    // Components after the first directory, without the file name.
    std::string_view rest = std::string_view(path).substr(first_end + 1);
    size_t cut = 0;
    int removed = 0;
    while (removed < step) {
      const size_t slash = rest.find('/', cut);
      if (slash == std::string_view::npos) break;
      cut = slash + 1;
      ++removed;
    }
    if (removed < step) break;  // only the file name follows the ".."
    p = std::string(path.substr(0, first_end + 1)) + ".." + "/" + std::string(rest.substr(cut));
  }
  return p;
}

std::string disp_menu_path(std::string_view path, size_t limit) {
  const std::string s = disp_shorten_path(path, limit);
  const size_t slash = path.find_last_of('/');
  const std::string_view leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return s.size() < leaf.size() ? std::string(leaf) : s;
}

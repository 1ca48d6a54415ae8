// Fuzz target: arbitrary bytes as a help topic's text (escapes and all),
// or as a help ini file followed by such a text, laid out in a viewer on a
// fixed-width canvas and then painted, hit-tested, selected, copied,
// scrolled and stepped through its links. No run may reach outside the
// text, and no point may map outside it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/help_ini.h"
#include "services/help_view.h"
#include "services/help_view_host.h"

namespace {

// Fonts 0..3 (3 a link font), formats 0..2 with tabs, three links, no
// file behind them (a link followed or a picture asked for fails cleanly).
void tables(HelpViewer& f) {
  const std::string pool = std::string("Helvetica\0Courier\0", 18);
  f.pool.assign(pool.begin(), pool.end());
  f.names = {0, 10};
  f.fonts = {{0, 0, 100, 0}, {1, 1, 120, 0}, {0, 2, 200, 0}, {0, kHelpFontLink, 100, 0}};
  HelpParaFormat p{};
  f.formats.assign(3, p);
  f.formats[1].words[3] = 720;
  f.formats[1].words[5] = 3;
  f.formats[1].words[6] = 1440;
  f.formats[1].words[7] = 1000;  // out of order
  f.formats[1].words[8] = 2880;
  f.formats[2].words[2] = 360;
  f.formats[2].words[3] = 0xFFFFFFFFu;  // a hostile indent
  f.formats[2].words[5] = 1000;         // more tabs than the record holds
  f.links = {{0, 0}, {1, 5}, {7, 0}};
  f.topics = {{0, 0, 0}, {0, 0, 0}};
}

void check(const HelpView& v) {
  for (const HelpLine& l : v.lines)
    for (const HelpRun& r : l.runs)
      if (r.length < 0 || uint64_t{r.text} + static_cast<uint64_t>(r.length) > uint64_t{v.file.text_length} + 1)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 16)) return 0;
  const uint8_t mode = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  HelpFixedCanvas canvas(20 + (mode & 0x3F) * 8, 64 + (mode >> 6) * 64);
  HelpView v(&canvas);
  tables(v.file);
  v.fonts.assign(v.file.fonts.size(), HelpViewFont{});
  if (mode & 0x40) {
    // An ini file up to the first NUL, then the text.
    const size_t nul = rest.find('\0');
    help_apply_ini(v, rest.substr(0, nul));
    if (v.scale_den <= 0 || v.scale_num <= 0) std::abort();
    rest = nul == std::string_view::npos ? std::string_view{} : rest.substr(nul + 1);
  }
  v.file.text.assign(rest.begin(), rest.end());
  v.file.text.resize(rest.size() + 1, '\0');
  v.file.text_length = static_cast<uint32_t>(rest.size());
  v.file.current_topic = 0;
  int32_t widest = 0, top = 0;
  if (!help_layout_topic(v, static_cast<int32_t>(rest.size() / 2), &widest, &top)) return 0;
  help_apply_layout(v, widest, top);
  check(v);
  help_paint(v);
  const int32_t n = static_cast<int32_t>(v.file.text_length);
  for (int32_t y = -4; y < canvas.height() + 20; y += 7)
    for (int32_t x = -4; x < canvas.width() + 20; x += 5) {
      const int32_t t = help_point_to_text(v, x, y);
      if (t != kHelpNoText && (t < 0 || t > n + 1)) std::abort();
    }
  v.sel_anchor = n / 3;
  v.sel_end = n - n / 4;
  help_paint(v);
  help_invert_selection_change(v, n / 5, n, v.sel_anchor, v.sel_end);
  for (const char* c :
       {"copy", "nextht", "pagedown", "scrollright", "nextht", "prevht", "bottom", "pageright", "gotoht", "top"}) {
    help_command(v, c, "");
    check(v);
  }
  const std::vector<char> raw = help_copy_text(v, 0, n, true);
  if (raw.empty() || raw.back() != '\0' || raw.size() > static_cast<size_t>(n) + 1) std::abort();
  help_copy_text(v, 0, n, false);
  canvas.set_size(canvas.width() / 2 + 1, canvas.height());
  help_relayout(v);
  check(v);
  help_mouse_press(v, canvas.width() / 3, canvas.height() / 3, (mode & 1) != 0);
  return 0;
}

// A help viewer on a recording canvas with a fake fixed-width font: every
// character 8 pixels wide, a font of size s (tenths of a point) s/10 + 6
// pixels high with ascent s/10 + 2, 15 twips per pixel (so the left margin
// is 6 pixels). Help files come from our compiler; layout cases may also
// put raw topic text (escapes and all) straight into the viewer.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "services/help_ini.h"
#include "services/help_view.h"
#include "services/help_view_host.h"
#include "tests/services/spell_fixture.h"
#include "tests/temp_dir.h"
#include "tools/helpc/helpc.h"

namespace helptest {

struct Drawn {
  int32_t x, y;
  std::string text;
  uint32_t fg, bg;
};

class RecordingCanvas : public HelpFixedCanvas {
 public:
  RecordingCanvas(int32_t w, int32_t h) : HelpFixedCanvas(w, h) {}
  bool open_font(const HelpFontSpec& spec, HelpFontInfo* out) override {
    if (fail_fonts) return false;
    opened.push_back(spec);
    const int32_t s = spec.size / 10;
    *out = {static_cast<int32_t>(opened.size()), s + 6, s + 2, spec.italic ? 5 : 0};
    return true;
  }
  void fill(const HelpRect& r, uint32_t colour) override { fills.push_back({r, colour}); }
  void draw_text(int32_t, int32_t x, int32_t y, const char* text, int32_t n, uint32_t fg, uint32_t bg) override {
    drawn.push_back({x, y, std::string(text, static_cast<size_t>(n)), fg, bg});
  }
  void invert(const HelpRect& r) override { inverted.push_back(r); }
  void draw_picture(void*, int32_t x, int32_t y, int32_t w, int32_t h) override { pictures.push_back({x, y, w, h}); }
  void invalidate() override { ++invalidations; }
  void set_scroll_range(char bar, int32_t limit, int32_t) override { (bar == 'V' ? vrange : hrange) = limit; }
  void set_scroll_pos(char bar, int32_t pos) override { (bar == 'V' ? vpos : hpos) = pos; }
  void beep() override { ++beeps; }
  HelpTrackMsg next_track_msg() override {
    if (script.empty()) return {HelpTrackKind::ButtonUp, last_x, last_y};
    HelpTrackMsg m = script.front();
    script.pop_front();
    return m;
  }
  bool start_timer(uint32_t ms) override {
    timers.push_back(ms);
    return true;
  }
  void clear() {
    drawn.clear();
    fills.clear();
    inverted.clear();
    pictures.clear();
  }

  bool fail_fonts = false;
  std::vector<HelpFontSpec> opened;
  std::vector<Drawn> drawn;
  std::vector<std::pair<HelpRect, uint32_t>> fills;
  std::vector<HelpRect> inverted;
  std::vector<HelpRect> pictures;
  std::deque<HelpTrackMsg> script;
  std::vector<uint32_t> timers;
  int invalidations = 0, beeps = 0;
  int32_t vrange = -1, hrange = -1, vpos = -1, hpos = -1;
};

// Fonts: 0 plain 10 pt, 1 the link font, 2 a 20 pt font. Formats: 0 none,
// 1 left indent 720 with stops 1440 and 2880, 2 first-line indent 360 and
// left indent 720. Picture 0 is 10 x 30.
inline const char* kHeader = R"(@font 0 Helvetica 100
@font 1 Helvetica 100 link
@font 2 Courier 200 bold
@format 0 0 0
@format 1 0 720 1440 2880
@format 2 360 720
@image 0 tall.xpm
)";

inline const char* kTallXpm =
    "/* XPM */\nstatic char *tall[] = {\"10 30 1 1\", \"a c #000000\",\n"
    "\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\n"
    "\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\n"
    "\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\n"
    "\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\n"
    "\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\",\"aaaaaaaaaa\"};\n";

class HelpViewTest : public ::testing::Test {
 protected:
  void SetUp() override { spelltest::write_file(dir_ / "tall.xpm", kTallXpm); }

  // Compiles kHeader + body into a file and loads it.
  void load(const std::string& body, int32_t width = 200, int32_t height = 100) {
    canvas_.set_size(width, height);
    std::vector<uint8_t> out;
    std::vector<HelpcDiag> diags;
    ASSERT_TRUE(helpc_compile(std::string(kHeader) + body, dir_.path(), out, diags))
        << (diags.empty() ? "" : diags[0].message);
    path_ = dir_ / "t.hlp";
    spelltest::write_file(path_, std::string(out.begin(), out.end()));
    ASSERT_EQ(0, help_view_load(view_, path_));
  }
  // Lays raw text out as the current topic.
  void layout_raw(const std::string& raw) {
    view_.file.text.assign(raw.begin(), raw.end());
    view_.file.text.resize(raw.size() + 64, '\0');
    view_.file.text_length = static_cast<uint32_t>(raw.size());
    view_.file.current_topic = 0;
    int32_t widest = 0, top = 0;
    ASSERT_TRUE(help_layout_topic(view_, 0, &widest, &top));
    help_apply_layout(view_, widest, top);
  }
  std::string text_of(const HelpRun& r) const {
    if (r.image >= 0) return "[b" + std::to_string(r.image) + "]";
    std::string s;
    for (int32_t i = 0; i < r.length; ++i) {
      const char c = view_.file.text[r.text + static_cast<uint32_t>(i)];
      s += c == '\n'     ? std::string("\\n")
           : c == '\t'   ? std::string("\\t")
           : c == '\x01' ? std::string("^A")
                         : std::string(1, c);
    }
    return s;
  }
  // "h/a|x:text[/fN][@link]|..." per line, lines joined by " ; ".
  std::string dump() const {
    std::string out;
    for (const HelpLine& l : view_.lines) {
      if (!out.empty()) out += " ; ";
      out += std::to_string(l.height) + "/" + std::to_string(l.ascent);
      for (const HelpRun& r : l.runs) {
        out += "|" + std::to_string(r.x) + ":" + text_of(r);
        if (r.font != 0 && r.image < 0) out += "/f" + std::to_string(r.font);
        if (r.link >= 0) out += "@" + std::to_string(r.link);
      }
    }
    return out;
  }
  std::string line_text(size_t k) const {
    std::string s;
    for (const HelpRun& r : view_.lines[k].runs) s += text_of(r);
    return s;
  }
  std::string topic() const { return help_query(view_, "topic"); }

  zvxtest::TempDir dir_{"zvx-helpview"};
  std::string path_;
  RecordingCanvas canvas_{200, 100};
  HelpView view_{&canvas_};
};

}  // namespace helptest

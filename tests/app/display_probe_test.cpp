// What the display asks of the frame, proved through the shipped program:
// a lexer file's parse error reaches the macros' _clex_error, a colour
// change repaints the editor windows when the refresh paints the windows'
// pending updates, a macro's pop-up menu opens and runs its item, and a new
// status-line font lays the bands out again.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/probe.h"

namespace {

using namespace std::chrono_literals;
using probe::Probe;
using probe::ProbeResult;
using probe::ProbeSpec;

std::unique_ptr<Probe> start(const ProbeSpec& spec) {
  std::string why;
  std::unique_ptr<Probe> p = Probe::start(spec, &why);
  EXPECT_TRUE(p) << why;
  return p;
}

// A lexer file whose C section names a key the parser does not know. Loaded
// over the default one, the next use of the C lexer (the editor window of a
// .c file) parses it and meets the error; the frame then runs _clex_error
// with the report, once the editor is idle.
TEST(ProbeDisplay, ALexerFilesParseErrorReachesClexError) {
  auto p = start({.source = R"(
proc _clex_error(text)
  push_const "report"
  push_var $text
  call_link 2, note
  exit 0
  return
end

private probe()
  push_const "bad.zlx"
  load_lexer_file
  push_const "loaded"
  push_var $rc
  call_link 2, note
  push_const "b.c"
  edit
  return
end
)",
                  .files = {{"a.txt", "a\n"},
                            {"b.c", "int main() { return 0; }\n"},
                            {"bad.zlx", "[C]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=int\nBOGUS=1\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  const ProbeResult r = p->finish(15s);
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("loaded"), "0") << r.describe();
  EXPECT_EQ(r.note("report"), std::string("bad.zlx\0-3555 C]BOGUS=1", 23)) << r.describe();
}

// A probe spins until the test creates a file, so that nothing but what the
// probe itself asks for reaches the screen meanwhile.
constexpr const char* kSpinUntil = R"(
private spin-until(file)
wait:
  push_var $file
  push_const "B"
  file_date 2
  pop
  push_var $rc
  push_const "0"
  num_ne
  jump_if_true @wait
  return
end
)";

// The paper of the editor window in the middle of the frame, as the screen
// shows it.
std::optional<unsigned long> paper(Probe& p) {
  const Window frame = p.frame();
  XWindowAttributes a{};
  if (!frame || !XGetWindowAttributes(p.display(), frame, &a)) return std::nullopt;
  return p.pixel(frame, a.width / 2, a.height / 2);
}

// The text colour's background turns red; the refresh with "W" (only the
// windows' pending updates, no screen refresh) paints the editor window in
// it while the macro still runs.
TEST(ProbeDisplay, AColourChangeRepaintsTheEditorWindowsOnARefreshOfTheirUpdates) {
  auto p = start({.source = std::string(kSpinUntil) + R"(
private probe()
  push_const "before"
  push_const "1"
  call_link 2, note
  push_const "go"
  call_link 1, spin-until
  push_const "1"
  push_const ""
  push_const "255"
  color 3
  pop
  push_const "W"
  refresh 1
  push_const "painted"
  push_const "1"
  call_link 2, note
  push_const "done"
  call_link 1, spin-until
  exit 0
  return
end
)",
                  .files = {{"a.txt", "a\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("before")) << p->notes();
  ASSERT_TRUE(xtest::eventually([&] { return paper(*p) == 0xFFFFFFu; }, 10s)) << "white paper first";
  std::ofstream(p->path("go")) << "go";
  ASSERT_TRUE(p->wait_note("painted")) << p->notes();
  EXPECT_TRUE(xtest::eventually([&] { return paper(*p) == 0xFF0000u; }, 5s))
      << "the paper turned red while the macro runs: " << std::hex << paper(*p).value_or(0);
  std::ofstream(p->path("done")) << "done";
  const ProbeResult r = p->finish();
  EXPECT_TRUE(r.ended) << r.describe();
}

// A shown override-redirect window at the top: an open pop-up menu.
Window open_popup(Display* d) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n)) return 0;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(d, kids[i], &a) && a.override_redirect && a.map_state == IsViewable) found = kids[i];
  }
  if (kids) XFree(kids);
  return found;
}

// A pop-up menu the macros load from a menu resource (as the frame object,
// which owns menus) opens on the screen as a pop-up of the window layer,
// and the item clicked runs its command.
TEST(ProbeDisplay, AMacroPopupMenuOpensAndItsChosenItemRuns) {
  auto p = start({.source = R"(
menu "probe-popup"
  item "&First" "probe-first"
  item "&Second" "probe-second"
end

command probe-second()
  push_const "chosen"
  push_const "second"
  call_link 2, note
  exit 0
  return
end

private probe()
  var m
  push_const "2"
  push_const "probe-popup"
  find_index 1
  push_const "P"
  with_object 2
  load_menu 2
  assign $m
  push_const "menu"
  push_var $m
  call_link 2, note
  push_const "2"
  push_var $m
  with_object 1
  show_popup_menu 1
  push_const "tracked"
  push_var $rc
  call_link 2, note
  return
end
)",
                  .files = {{"a.txt", "a\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  const std::optional<std::string> menu = p->wait_note("menu");
  ASSERT_TRUE(menu) << p->finish(1s).describe();
  EXPECT_NE(*menu, "0") << "a menu was made";
  Window popup = 0;
  ASSERT_TRUE(xtest::eventually([&] { return (popup = open_popup(p->display())) != 0; }, 10s)) << "no pop-up shown";
  // The second of the two items, in the lower half.
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(p->display(), popup, &a));
  ASSERT_TRUE(p->server().click(popup, a.width / 2, a.height * 3 / 4));
  const ProbeResult r = p->finish();
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("tracked"), "0") << r.describe();
  EXPECT_EQ(r.note("chosen"), "second") << r.describe();
  EXPECT_EQ(open_popup(p->display()), 0u) << "the pop-up closed";
}

// The largest shown child of a window (the top-most of equals).
Window largest_child(Display* d, Window w) {
  Window root = 0, parent = 0, *kids = nullptr, best = 0;
  unsigned n = 0;
  long best_area = -1;
  if (!w || !XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable) continue;
    if (long area = long(a.width) * a.height; area >= best_area) best_area = area, best = kids[i];
  }
  if (kids) XFree(kids);
  return best;
}

// The height of the status line: the second band from the bottom of the
// frame's client (frame, inner window, client); 0 when it is not found.
int status_line_height(Probe& p) {
  Display* d = p.display();
  const Window client = largest_child(d, largest_child(d, p.frame()));
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  std::vector<std::pair<int, int>> bands;  // y, height
  if (!client || !XQueryTree(d, client, &root, &parent, &kids, &n)) return 0;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(d, kids[i], &a) && a.map_state == IsViewable) bands.emplace_back(a.y, a.height);
  }
  if (kids) XFree(kids);
  std::sort(bands.rbegin(), bands.rend());
  return bands.size() >= 2 ? bands[1].second : 0;
}

// A larger font of the status line lays the bands out again at once: the
// status line grows while the macro still runs.
TEST(ProbeDisplay, ANewStatusLineFontLaysTheBandsOutAgain) {
  auto p = start({.source = std::string(kSpinUntil) + R"(
private probe()
  push_const "before"
  push_const "1"
  call_link 2, note
  push_const "go"
  call_link 1, spin-until
  push_const "5"
  push_const "Helvetica,18,0"
  default_font 2
  pop
  push_const "set"
  push_const "1"
  call_link 2, note
  push_const "done"
  call_link 1, spin-until
  exit 0
  return
end
)",
                  .files = {{"a.txt", "a\n"}},
                  .args = {"a.txt"}});
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->wait_note("before")) << p->notes();
  int before = 0;
  ASSERT_TRUE(xtest::eventually([&] { return (before = status_line_height(*p)) > 0; }, 10s));
  std::ofstream(p->path("go")) << "go";
  ASSERT_TRUE(p->wait_note("set")) << p->notes();
  EXPECT_TRUE(xtest::eventually([&] { return status_line_height(*p) > before; }, 5s))
      << "the status line stayed " << before << " pixels high";
  std::ofstream(p->path("done")) << "done";
  const ProbeResult r = p->finish();
  EXPECT_TRUE(r.ended) << r.describe();
}

}  // namespace

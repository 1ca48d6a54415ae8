// Tab stops of an editor window's text display, set and read by a macro in
// the shipped editor: the values it reads back, the grid lines the window
// then shows under its rows, and the refusal for an object without a view.
#include <gtest/gtest.h>
// Xlib after gtest: its macros (None) clash with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/probe.h"

namespace {

using namespace std::chrono_literals;
using probe::Probe;
using probe::ProbeResult;

std::vector<Window> children(Display* d, Window w) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (!w || !XQueryTree(d, w, &root, &parent, &kids, &n)) return out;
  out.assign(kids, kids + n);
  if (kids) XFree(kids);
  return out;
}

// The editor windows' area: the largest window two levels below the frame
// (its client) holds the MDI client at its top left, with a child frame in it.
Window editor_area(Display* d, Window frame) {
  Window w = frame;
  for (int depth = 0; depth < 2 && w; ++depth) {
    Window best = 0;
    long best_area = -1;
    for (Window k : children(d, w)) {
      XWindowAttributes a{};
      if (!XGetWindowAttributes(d, k, &a)) continue;
      const long area = static_cast<long>(a.width) * a.height;
      if (area >= best_area) best_area = area, best = k;
    }
    w = best;
  }
  for (Window k : children(d, w)) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(d, k, &a) && a.x == 0 && a.y == 0 && !children(d, k).empty()) return k;
  }
  return 0;
}

// Black pixels down the middle of a window, where the short lines of the
// file leave only paper: the grid lines under the rows.
int black_down_the_middle(Display* d, Window w) {
  XWindowAttributes a{};
  if (!w || !XGetWindowAttributes(d, w, &a) || a.height < 2) return -1;
  XSync(d, False);
  XImage* im = XGetImage(d, w, a.width / 2, 0, 1, static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (!im) return -1;
  int n = 0;
  for (int y = 0; y < a.height; ++y) n += (XGetPixel(im, 0, y) & 0xFFFFFF) == 0;
  XDestroyImage(im);
  return n;
}

// Once the editor window is up, F9 sets stop 0 and reads the stops back,
// then tries the frame object (no view) in a catch block; F11 drops the
// table, F12 ends.
constexpr const char* kTabStopsProbe = R"(
private stop(index)
  push_var $index
  ctl_tab_stops 1
  return_value
end

private probe()
  push_const "up"
  push_const "1"
  call_link 2, note
  return
end

proc probe-set()
  push_const "set"
  push_const "0"
  push_const "40"
  ctl_tab_stops 2
  call_link 2, note
  push_const "stop0"
  push_const "0"
  call_link 1, stop
  call_link 2, note
  push_const "stop1"
  push_const "1"
  call_link 1, stop
  call_link 2, note
  push_const "option"
  push_const "-1"
  call_link 1, stop
  call_link 2, note
  catch_begin
  case_jump_ne @caught, "0", $rc
  push_const "2"
  push_const "0"
  with_object 1
  ctl_tab_stops 1
  pop
  catch_end
  push_const "frame"
  push_const "allowed"
  call_link 2, note
  jump @shown
caught:
  push_const "frame"
  push_var $rc
  call_link 2, note
shown:
  push_const "ready"
  push_const "1"
  call_link 2, note
  return
end

proc probe-free()
  push_const "free"
  push_const "-2"
  call_link 1, stop
  call_link 2, note
  push_const "freed0"
  push_const "0"
  call_link 1, stop
  call_link 2, note
  return
end

proc probe-quit()
  exit 0
  return
end

bind "default-keys" F9 probe-set
bind "default-keys" F11 probe-free
bind "default-keys" F12 probe-quit
)";

TEST(TabStopsShipped, AMacroSetsReadsAndFreesTheEditorWindowsTabStops) {
  std::string why;
  std::unique_ptr<Probe> p = Probe::start(
      {.source = kTabStopsProbe, .files = {{"cols.txt", "name\tsize\nzorvex\t12\n"}}, .args = {"cols.txt"}}, &why);
  ASSERT_TRUE(p) << why;
  ASSERT_TRUE(p->wait_note("up")) << p->notes();
  const Window frame = p->frame();
  ASSERT_NE(frame, 0u);
  Display* d = p->display();
  Window area = 0;
  ASSERT_TRUE(xtest::eventually([&] { return (area = editor_area(d, frame)) != 0; }, 5s)) << "no editor window";
  EXPECT_EQ(black_down_the_middle(d, area), 0) << "no grid lines before";

  ASSERT_TRUE(p->keys(frame, {"F9"}));
  ASSERT_TRUE(p->wait_note("ready")) << p->notes();
  EXPECT_EQ(p->note("set"), "40") << p->notes();
  EXPECT_EQ(p->note("stop0"), "40");
  EXPECT_EQ(p->note("stop1"), "0") << "a stop never set";
  EXPECT_EQ(p->note("option"), "0") << "grid lines on";
  EXPECT_EQ(p->note("frame"), "-2073") << "the frame object has no view";
  // Every row gets its grid line once the window has repainted.
  int lines = 0;
  EXPECT_TRUE(xtest::eventually([&] { return (lines = black_down_the_middle(d, area)) >= 10; }, 5s))
      << lines << " black pixels down the middle";

  ASSERT_TRUE(p->keys(frame, {"F11"}));
  ASSERT_TRUE(p->wait_note("freed0")) << p->notes();
  EXPECT_EQ(p->note("free"), "0");
  EXPECT_EQ(p->note("freed0"), "0") << "no table any more";
  EXPECT_TRUE(xtest::eventually([&] { return (lines = black_down_the_middle(d, area)) == 0; }, 5s))
      << lines << " black pixels left down the middle";

  ASSERT_TRUE(p->keys(frame, {"F12"}));
  const ProbeResult r = p->finish();
  EXPECT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.status, 0) << r.describe();
}

}  // namespace

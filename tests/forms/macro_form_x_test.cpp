// Forms that assembled macros build, on a private Xvfb: the controls show,
// typing goes into the text box, clicks run the buttons' bindings (seen in
// the caption they set), closing destroys the windows; a modal show keeps
// the form behind disabled but painted and returns the text typed; a form
// with one control of each kind runs with the default macros' dialog keys.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

struct Win {
  int type = 0;
  Window frame = 0, client = 0;
};

class MacroForm : public ::testing::Test {
 protected:
  void start(const std::string& scenario, const std::vector<std::string>& more = {}) {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    std::vector<std::string> argv{ZVX_DEMO_MACRO_FORM, ZVX_FORM_MACROS, scenario};
    argv.insert(argv.end(), more.begin(), more.end());
    demo = server->spawn(argv);
    ASSERT_TRUE(demo);
    for (auto line = demo->read_line(20s); line; line = demo->read_line(20s)) {
      if (*line == "ready") return;
      std::istringstream in(*line);
      std::string tag;
      int id = 0;
      Win w;
      in >> tag >> id >> w.type >> w.frame >> w.client;
      ASSERT_EQ("obj", tag) << *line;
      obj[id] = w;
    }
    FAIL() << "the macros' windows never became ready";
  }
  // The X focus on the top-level window holding w, as a window manager gives it.
  void focus_top(Window w) { ASSERT_TRUE(server->focus_top_level(w)); }
  unsigned long px(Window w, int x, int y) { return server->pixel(w, x, y).value_or(0xDEADBEEF); }
  unsigned long settled(Window w, int x, int y, unsigned long c) { return server->pixel_when(w, x, y, c, 3s); }
  std::string title(Window w) { return server->title(w); }
  std::string title_becomes(Window w, const std::string& want) { return server->title_when(w, want); }
  // Pixels of the window darker than mid-grey (text drawn in it).
  int dark_pixels(Window w, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; y += 1)
      for (int x = x0; x < x1; x += 1)
        if (auto p = server->pixel(w, x, y); p && ((*p >> 16) & 0xFF) < 0x60 && (*p & 0xFF) < 0x60) ++n;
    return n;
  }
  bool is_root_child(Window w) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    Display* d = server->display();
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n);
    bool found = false;
    for (unsigned i = 0; i < n; ++i) found = found || kids[i] == w;
    if (kids) XFree(kids);
    return found;
  }
  bool viewable(Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(server->display(), w, &a) && a.map_state == IsViewable;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  std::map<int, Win> obj;
};

// Ids in the order the macros create them.
constexpr int kForm = 4, kText = 5, kOk = 6, kCancel = 7, kCheck = 8;

TEST_F(MacroForm, FormShowsTypesClicksAndCloses) {
  start("form");
  ASSERT_EQ(5u, obj.size());
  const int types[][2] = {{kForm, 2}, {kText, 3}, {kOk, 5}, {kCancel, 5}, {kCheck, 4}};
  for (auto [id, type] : types) {
    EXPECT_EQ(type, obj[id].type) << id;
    EXPECT_TRUE(viewable(obj[id].client)) << id;
  }
  const Window frame = obj[kForm].frame;
  EXPECT_EQ("Macro form", title(frame));
  // 400 x 200 pixels (6000 x 3000 twips at 15 twips a pixel), the controls
  // at their pixel places inside: button faces grey, the form's background
  // around them.
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kForm].client, &a));
  EXPECT_EQ(400, a.width);
  EXPECT_EQ(200, a.height);
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kCancel].client, &a));
  EXPECT_EQ((std::pair{100, 50}), (std::pair{a.x, a.y}));
  EXPECT_EQ((std::pair{80, 28}), (std::pair{a.width, a.height}));
  const unsigned long face = 0xC0C0C0;
  EXPECT_EQ(face, settled(obj[kOk].client, 60, 14, face));
  EXPECT_EQ(face, px(obj[kCancel].client, 70, 14));
  const unsigned long back = px(obj[kForm].client, 300, 150);
  EXPECT_NE(face, back);
  EXPECT_NE(0u, back) << "the form paints its background";
  EXPECT_EQ(0, dark_pixels(obj[kText].client, 2, 2, 120, 22)) << "the text box starts empty";

  focus_top(frame);
  ASSERT_TRUE(server->click(obj[kText].client, 20, 12));
  ASSERT_TRUE(server->xdotool({"type", "--delay", "30", "hello"}));
  int dark = 0;
  for (int i = 0; i < 100 && dark == 0; ++i, std::this_thread::sleep_for(20ms))
    dark = dark_pixels(obj[kText].client, 2, 2, 120, 22);
  EXPECT_GT(dark, 10) << "the typed text shows in the text box";

  ASSERT_TRUE(server->click(obj[kOk].client, 40, 14));
  EXPECT_EQ("got:hello", title_becomes(frame, "got:hello")) << "OK's binding read the typed text";
  ASSERT_TRUE(XGetWindowAttributes(server->display(), obj[kCheck].client, &a));
  EXPECT_EQ((std::pair{200, 90}), (std::pair{a.x, a.y})) << "its left property moved the check box";
  EXPECT_EQ((std::pair{150, 22}), (std::pair{a.width, a.height})) << "its width property sized it";
  ASSERT_TRUE(server->click(obj[kCheck].client, 8, 11));
  EXPECT_EQ("check:1", title_becomes(frame, "check:1"));
  ASSERT_TRUE(server->click(obj[kCheck].client, 9, 11));
  EXPECT_EQ("check:0", title_becomes(frame, "check:0"));

  ASSERT_TRUE(is_root_child(frame));
  ASSERT_TRUE(server->click(obj[kCancel].client, 40, 14));
  auto gone = demo->wait_for_line("gone 4", 5s);
  EXPECT_TRUE(gone) << "Cancel's binding closed the form";
  for (int i = 0; i < 100 && is_root_child(frame); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(is_root_child(frame)) << "its window is destroyed";
}

TEST_F(MacroForm, WindowManagerCloseRunsTheFormsOnClose) {
  start("form");
  const Window frame = obj[kForm].frame;
  Display* d = server->display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = frame;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  ASSERT_TRUE(XSendEvent(d, frame, False, NoEventMask, &e));
  XSync(d, False);
  EXPECT_TRUE(demo->wait_for_line("gone 4", 5s)) << "ON-CLOSE's binding closed the form";
  for (int i = 0; i < 100 && is_root_child(frame); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(is_root_child(frame));
}

// Ids of the modal scenario.
constexpr int kBehind = 4, kLabel = 5, kPoke = 6, kModal = 7, kModalText = 8, kDone = 9;

TEST_F(MacroForm, ModalFormReturnsItsTextWhileTheFormBehindRepaints) {
  start("modal");
  ASSERT_EQ(6u, obj.size());
  const Window behind = obj[kBehind].frame;
  const Window label = obj[kLabel].client;
  const unsigned long red = 0xFF0000;  // back-colour 255 (0x00BBGGRR)
  ASSERT_EQ(red, settled(label, 100, 30, red));

  // The form behind is disabled while the modal form runs: Poke does nothing.
  ASSERT_TRUE(server->click(obj[kPoke].client, 40, 14));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ("Behind", title(behind));

  // A window over the label and gone again: the label is painted anew.
  Display* d = server->display();
  XSetWindowAttributes sa{};
  sa.override_redirect = True;
  sa.background_pixel = 0x00FF00;
  int lx = 0, ly = 0;
  Window child = 0;
  XTranslateCoordinates(d, label, DefaultRootWindow(d), 0, 0, &lx, &ly, &child);
  Window cover = XCreateWindow(d, DefaultRootWindow(d), lx, ly, 200, 60, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &sa);
  XMapRaised(d, cover);
  XSync(d, False);
  EXPECT_EQ(0x00FF00u, settled(cover, 100, 30, 0x00FF00)) << "the cover lies over the label";
  XDestroyWindow(d, cover);
  XSync(d, False);
  EXPECT_EQ(red, settled(label, 100, 30, red)) << "the modal loop kept the form behind painting";

  focus_top(obj[kModal].frame);
  ASSERT_TRUE(server->click(obj[kModalText].client, 20, 12));
  ASSERT_TRUE(server->xdotool({"type", "--delay", "30", "abc"}));
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(server->click(obj[kDone].client, 40, 14));
  EXPECT_EQ("result:abc", title_becomes(behind, "result:abc")) << "show_modal returned the text typed";
  EXPECT_TRUE(demo->wait_for_line("done", 5s)) << "the macro went on after the modal show";
  EXPECT_FALSE(is_root_child(obj[kModal].frame)) << "the modal form was closed";

  // Enabled again once the modal show ended.
  focus_top(behind);
  ASSERT_TRUE(server->click(obj[kPoke].client, 42, 14));
  EXPECT_EQ("poked", title_becomes(behind, "poked"));
}

// ---------------------------------------------------------------- every control

// Ids of the "every" scenario, in the order its macros create them (the
// combo box's parts follow the box).
constexpr int kEvText = 5, kEvOk = 6, kEvCheck = 7, kEvRadio1 = 8, kEvRadio2 = 9, kEvLabel = 10, kEvGauge = 11,
              kEvSpin = 12, kEvList = 13, kEvScroll = 14, kEvPicture = 15, kEvCombo = 16, kEvComboEdit = 17,
              kEvComboButton = 18, kEvComboList = 19, kEvSet = 20;

class EveryControl : public MacroForm {
 protected:
  void SetUp() override {
    start("every", {ZVX_DEFAULT_MACROS});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(demo->wait_for_line("done", 10s));
    focus_top(obj[4].frame);
    EXPECT_TRUE(server->click(obj[kEvText].client, 20, 12));
    lines();  // the first focus, in the text box
  }
  // Lines the macros print from now until none come for a moment.
  std::vector<std::string> lines(std::chrono::milliseconds quiet = 700ms) {
    std::vector<std::string> out;
    for (auto l = demo->read_line(quiet); l; l = demo->read_line(quiet)) out.push_back(*l);
    return out;
  }
  static std::string got(int id) { return "focus 637 " + std::to_string(id); }
  static std::string lost(int id) { return "focus 638 " + std::to_string(id); }
  // A click with the focus moving from one control to another: exactly
  // one lost and one got line, then whatever the click raised.
  std::vector<std::string> click(int id, int x, int y) {
    EXPECT_TRUE(server->click(obj[id].client, x, y)) << id;
    return lines();
  }
  std::vector<std::string> key(const char* k) {
    EXPECT_TRUE(server->keys({k})) << k;
    return lines();
  }
};

TEST_F(EveryControl, EachControlShowsWhereTheMacroPutIt) {
  Display* d = server->display();
  struct Place {
    int id, type, x, y, w, h;
  };
  // columns: id, type, x, y, width, height (0: the control's own height)
  const Place places[] = {
      {kEvText, 3, 10, 10, 150, 24},     {kEvOk, 5, 180, 10, 80, 26},       {kEvCheck, 4, 10, 45, 120, 22},
      {kEvRadio1, 6, 10, 80, 100, 22},   {kEvRadio2, 6, 10, 105, 100, 22},  {kEvLabel, 8, 180, 80, 120, 20},
      {kEvGauge, 16, 10, 140, 200, 24},  {kEvSpin, 17, 230, 140, 20, 30},   {kEvList, 9, 320, 10, 100, 60},
      {kEvScroll, 11, 430, 10, 18, 200}, {kEvPicture, 14, 320, 80, 40, 40}, {kEvCombo, 12, 10, 180, 150, 0},
      {kEvSet, 5, 180, 240, 80, 26},
  };
  const Window form = obj[4].client;
  for (const Place& p : places) {
    SCOPED_TRACE(p.id);
    EXPECT_EQ(p.type, obj[p.id].type);
    const Window w = obj[p.id].frame;
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, w, &a));
    EXPECT_EQ(IsViewable, a.map_state);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, w, form, 0, 0, &x, &y, &child);
    EXPECT_EQ((std::pair{p.x, p.y}), (std::pair{x, y}));
    EXPECT_EQ(p.w, a.width);
    if (p.h) {
      EXPECT_EQ(p.h, a.height);
    }
  }
  EXPECT_FALSE(viewable(obj[kEvComboList].client)) << "the drop-down list starts closed";
  // The gauge's bar inside its one-pixel frame, less 2 on each side, is
  // 196 wide: 50 of 0..200 fills 49 pixels from x 2 in the fore-colour.
  const unsigned long blue = 0x000080, white = 0xFFFFFF;
  const Window gauge = obj[kEvGauge].client;
  EXPECT_EQ(blue, settled(gauge, 2, 12, blue));
  EXPECT_EQ(blue, px(gauge, 2 + 48, 12));
  EXPECT_EQ(white, px(gauge, 2 + 49, 12));
  EXPECT_EQ(white, px(gauge, 150, 12));
  EXPECT_EQ(0xFF0000u, settled(obj[kEvLabel].client, 100, 10, 0xFF0000)) << "the label's back-colour";
  // The spin control: its up arrow drawn over its background in the top half.
  const Window spin = obj[kEvSpin].client;
  const unsigned long spin_back = px(spin, 1, 2);
  int arrow = 0;
  for (int y = 3; y < 14; ++y)
    for (int x = 3; x < 17; ++x) arrow += px(spin, x, y) != spin_back;
  EXPECT_GT(arrow, 5) << "the spin control's up arrow";
}

TEST_F(EveryControl, TabShiftTabAndClicksMoveTheFocusWithOnePairEach) {
  // Tab stops in creation order; labels, gauges, spin controls and pictures
  // are none, and the unchecked radio button of a chosen group is skipped.
  // The combo box's events are its own, whichever part has the focus.
  // columns: key, focus before, focus after
  struct Step {
    const char* key;
    int from, to;
  };
  const Step steps[] = {
      {"Tab", kEvText, kEvOk},         {"Tab", kEvOk, kEvCheck},           {"Tab", kEvCheck, kEvRadio1},
      {"Tab", kEvRadio1, kEvList},     {"Tab", kEvList, kEvScroll},        {"Tab", kEvScroll, kEvCombo},
      {"Tab", kEvCombo, kEvSet},       {"Tab", kEvSet, kEvText},           {"shift+Tab", kEvText, kEvSet},
      {"shift+Tab", kEvSet, kEvCombo}, {"shift+Tab", kEvCombo, kEvScroll},
  };
  for (const Step& s : steps) {
    std::vector<std::string> l = key(s.key);
    SCOPED_TRACE(std::string(s.key) + " from " + std::to_string(s.from));
    ASSERT_GE(l.size(), 2u);
    EXPECT_EQ(lost(s.from), l[0]);
    EXPECT_EQ(got(s.to), l[1]);
    // A radio button taking the focus is chosen; nothing else is raised.
    const std::vector<std::string> rest(l.begin() + 2, l.end());
    const std::vector<std::string> raised =
        s.to == kEvRadio1 ? std::vector<std::string>{"click 8 010"} : std::vector<std::string>{};
    EXPECT_EQ(raised, rest);
  }
  // Clicks: one pair per change, none where the focus is or on a control
  // that never takes it.
  EXPECT_EQ((std::vector<std::string>{lost(kEvScroll), got(kEvText)}), click(kEvText, 30, 12));
  EXPECT_TRUE(click(kEvText, 40, 12).empty());
  EXPECT_TRUE(click(kEvLabel, 5, 5).empty());
  EXPECT_TRUE(click(kEvGauge, 30, 12).empty());
  EXPECT_EQ((std::vector<std::string>{lost(kEvText), got(kEvOk), "pressed OK"}), click(kEvOk, 40, 13));
}

TEST_F(EveryControl, CheckBoxCyclesRadioGroupHoldsOneChoiceAndEnterPressesTheDefault) {
  // columns of the values printed: check box, radio One, radio Two
  std::vector<std::string> l = click(kEvCheck, 8, 11);
  ASSERT_FALSE(l.empty());
  EXPECT_EQ("click 7 100", l.back());
  EXPECT_EQ((std::vector<std::string>{"click 7 000"}), click(kEvCheck, 9, 11));
  EXPECT_EQ((std::vector<std::string>{"click 7 100"}), click(kEvCheck, 10, 11));
  l = click(kEvRadio2, 8, 11);
  ASSERT_FALSE(l.empty());
  EXPECT_EQ("click 9 101", l.back());
  // The arrows step through the group, each choosing the button reached.
  EXPECT_EQ((std::vector<std::string>{lost(kEvRadio2), got(kEvRadio1), "click 8 110"}), key("Up"));
  EXPECT_EQ((std::vector<std::string>{lost(kEvRadio1), got(kEvRadio2), "click 9 101"}), key("Down"));
  EXPECT_EQ((std::vector<std::string>{lost(kEvRadio2), got(kEvRadio1), "click 8 110"}), key("Down"))
      << "past the last it wraps to the first";
  // Enter presses the form's default button, whatever has the focus...
  EXPECT_EQ((std::vector<std::string>{"pressed OK"}), key("Return"));
  click(kEvText, 20, 12);
  EXPECT_EQ((std::vector<std::string>{"pressed OK"}), key("Return"));
  // ...except a focused command button, which takes the default look.
  l = click(kEvSet, 40, 13);
  ASSERT_FALSE(l.empty());
  EXPECT_EQ("scroll 639 14 150", l.back());
  EXPECT_EQ((std::vector<std::string>{"scroll 639 14 150"}), key("Return"));
}

// The scroll bar is 18 x 200: arrows of 14, the trough from 17, 166 long.
// Its bar runs one past the maximum with a thumb of 1.
TEST_F(EveryControl, ScrollBarFollowsItsRangeAndValueSetByAMacro) {
  const Window bar = obj[kEvScroll].client;
  // 0..10 at 0: a thumb of 166/11 = 15 pixels from 17.
  const unsigned long thumb = settled(bar, 9, 24, px(bar, 9, 24));
  const unsigned long trough = px(bar, 9, 98);
  ASSERT_NE(thumb, trough);
  // Set: 100..200 at 150; the thumb is 10 long (its shortest) and placed
  // over 156 pixels: 17 + 50 * 156 / 101 = 94, its inside 96 to 101.
  std::vector<std::string> l = click(kEvSet, 40, 13);
  ASSERT_FALSE(l.empty());
  EXPECT_EQ("scroll 639 14 150", l.back()) << "setting the value raises ON-CHANGE";
  EXPECT_EQ(thumb, settled(bar, 9, 98, thumb)) << "the thumb moved to the new value";
  EXPECT_EQ(thumb, px(bar, 9, 96));
  EXPECT_EQ(thumb, px(bar, 9, 101));
  EXPECT_NE(thumb, px(bar, 9, 24)) << "and left its old place";
  EXPECT_NE(thumb, px(bar, 9, 108));
}

// A real drag of the thumb: ON-SCROLL for every new place while it moves,
// ON-CHANGE once when it is let go, with the place it ended at.
TEST_F(EveryControl, DraggingTheThumbRaisesOnScrollWhileMovingAndOnChangeAtTheEnd) {
  const Window bar = obj[kEvScroll].client;
  ASSERT_TRUE(server->xdotool({"mousemove", "--window", std::to_string(bar), "9", "24", "mousedown", "1"}));
  std::vector<std::string> l;
  for (int y : {40, 60, 80, 100}) {
    ASSERT_TRUE(server->xdotool({"mousemove", "--window", std::to_string(bar), "9", std::to_string(y)}));
    std::vector<std::string> more = lines(300ms);
    l.insert(l.end(), more.begin(), more.end());
  }
  ASSERT_FALSE(l.empty()) << "no ON-SCROLL while tracking";
  for (const std::string& s : l) EXPECT_EQ(0u, s.rfind("scroll 671 14 ", 0)) << s;
  ASSERT_TRUE(server->xdotool({"mouseup", "1"}));
  // Thumb grabbed 7 below its start, let go at 100: offset 76 of 166 over
  // 0..11 gives 5.
  EXPECT_EQ("scroll 671 14 5", l.back());
  EXPECT_EQ((std::vector<std::string>{"scroll 639 14 5"}), lines());
}

TEST_F(EveryControl, ComboDropDownOpensAndClosesWithItsGrab) {
  ASSERT_TRUE(server->click(obj[kEvComboButton].client, 5, 5));
  bool open = false;
  for (int i = 0; i < 50 && !(open = viewable(obj[kEvComboList].client)); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(open) << "the arrow drops the list";
  EXPECT_EQ((std::vector<std::string>{lost(kEvText), got(kEvCombo)}), lines());
  // While dropped the list holds the pointer: a click elsewhere closes it
  // and reaches nothing else.
  ASSERT_TRUE(server->click(obj[kEvText].client, 20, 12));
  for (int i = 0; i < 50 && viewable(obj[kEvComboList].client); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(viewable(obj[kEvComboList].client));
  EXPECT_TRUE(lines().empty()) << "the click outside went to the list";
  EXPECT_EQ((std::vector<std::string>{lost(kEvCombo), got(kEvText)}), click(kEvText, 25, 12)) << "released afterwards";
  // Dropped again, Tab out of the text part closes it.
  ASSERT_TRUE(server->click(obj[kEvComboButton].client, 6, 5));
  for (int i = 0; i < 50 && !(open = viewable(obj[kEvComboList].client)); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(open);
  lines();
  EXPECT_EQ((std::vector<std::string>{lost(kEvCombo), got(kEvSet)}), key("Tab"));
  for (int i = 0; i < 50 && viewable(obj[kEvComboList].client); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(viewable(obj[kEvComboList].client)) << "Tab out of the text part";
}

}  // namespace

// The help viewer window on a private Xvfb, showing the editor's own help
// file: links drawn in the link colour, a click on a link follows it (the
// pixels where the link was change), keyword lookup scrolls to its place,
// and a drag selects text (inverted on the screen) that "copy" puts on the
// clipboard. Also a check of the shipped help file itself, headless.
#include <gtest/gtest.h>

// The macro runtime and text engine first: the window system's headers bring in Xlib.
#include "tests/macro/text_bi_fixture.h"

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "forms/ctl_classes.h"
#include "forms/ctl_common.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "services/help_ini.h"
#include "services/help_view.h"
#include "services/help_view_host.h"
#include "services/help_view_win.h"
#include "services/opcode_bind.h"
#include "winsys/classes.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/selection.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"
#include "winsys/xwindows.h"

// Xlib's macros last, after the headers they would spoil.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/xvfb.h"

namespace {

TEST(ShippedHelp, EveryTopicShowsAndEveryLinkLeadsToATopic) {
  HelpFixedCanvas canvas(500, 400);
  HelpView v(&canvas);
  ASSERT_EQ(0, help_view_load(v, ZVX_DEFAULT_HELP));
  ASSERT_EQ(0, help_contents(v));
  EXPECT_EQ("Contents", help_query(v, "topic"));
  for (int32_t t = 0; t < static_cast<int32_t>(v.file.topics.size()); ++t) {
    ASSERT_EQ(0, help_show_topic(v, t, 0)) << t;
    for (const HelpLine& l : v.lines)
      for (const HelpRun& r : l.runs) {
        int32_t topic = -1;
        uint32_t position = 0;
        if (r.link >= 0) {
          EXPECT_TRUE(help_link_target(v.file, r.link, &topic, &position)) << t;
        }
      }
  }
  // The default keys, the command line and the menus each have their place.
  struct Case {
    const char* keyword;
    const char* topic;
  };
  for (const Case c : {Case{"keys", "Keys"}, Case{"undo", "Keys"}, Case{"command line", "Command line"},
                       Case{"-x", "Command line"}, Case{"menus", "Menus"}, Case{"save-file", "Files"}}) {
    EXPECT_EQ(0, help_goto_keyword(v, c.keyword, nullptr)) << c.keyword;
    EXPECT_EQ(c.topic, help_query(v, "topic")) << c.keyword;
  }
  ASSERT_EQ(0, help_goto_topic_name(v, "Keys", 0));
  ASSERT_EQ(0, help_command(v, "copyall", "n"));
  const std::string keys(canvas.clipboard.data());
  for (const char* key :
       {"Left, Right", "Up, Down", "Home, End", "PgUp, PgDn", "Ctrl+Home",    "Ctrl+End",       "Enter",      "Delete",
        "Backspace",   "Tab",      "Ctrl+Z",    "Ctrl+Y",     "Shift+arrows", "Ctrl+C, Ctrl+X", "Ctrl+F, F5", "Ctrl+L",
        "Ctrl+S, F2",  "Shift+F2", "Ctrl+O",    "F6",         "F3",           "Ctrl+Q",         "F1"})
    EXPECT_NE(std::string::npos, keys.find(std::string(key) + "\t")) << key;
}

// The window system on a private server, as both fixtures start and stop it.
struct XSession {
  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  XErrorHandler old = nullptr;
  bool started = false;

  void start() {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    d = XOpenDisplay(server->display_name().c_str());
    ASSERT_TRUE(d);
    xf_reset();
    old = XSetErrorHandler(xfXErrorHandler);
    xfInitEventTranslators();
    xf_attach_display(d);
    xfInitDefaultFonts();
    xf_gfx_start();
    started = true;
  }
  void stop() {
    if (started) {
      xfShutdownX();
      XSync(d, False);
      xf_reset();
      XSetErrorHandler(old);
      started = false;
    }
    if (d) XCloseDisplay(d);
    d = nullptr;
    server.reset();
  }
};

// The X pixel of a 0x00BBGGRR colour on the 24-bit true-colour visual.
unsigned long xpixel(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

class HelpX : public ::testing::Test {
 protected:
  void SetUp() override {
    x_.start();
    if (HasFatalFailure()) return;
    d_ = x_.d;
    xfInitKeyboard();
    xfReadResources();
    frame_ = help_create_window(nullptr, "Zorvex Help", 20, 20, 520, 420, &client_);
    ASSERT_NE(nullptr, frame_);
    ASSERT_NE(nullptr, client_);
    xfShowFrameAndWait(frame_);
    view_ = help_window_view(client_);
    ASSERT_NE(nullptr, view_);
    ASSERT_EQ(0, help_view_load(*view_, ZVX_DEFAULT_HELP));
  }
  void TearDown() override {
    if (x_.started && frame_) xfDestroyWindow(frame_);
    x_.stop();
  }

  // Dispatches messages until `done` holds or the time runs out.
  template <class Done>
  bool pump(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      XSync(d_, False);
      XfMessage m{};
      bool any = false;
      while (xfPeekMsg(&m, nullptr, 0, 0, 1)) {
        xfDispatchMsg(&m);
        any = true;
      }
      if (done()) return true;
      if (!any) usleep(10000);
    }
    return done();
  }
  // Paints what is pending and waits for the server.
  void settle() {
    pump([] { return false; }, std::chrono::milliseconds(300));
    XSync(d_, False);
  }
  // Pixels of the colour in a box of the client window.
  int count(int x0, int y0, int x1, int y1, unsigned long pixel) {
    XSync(d_, False);
    XImage* im = XGetImage(d_, client_->xwin, x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0),
                           AllPlanes, ZPixmap);
    if (!im) return -1;
    int n = 0;
    for (int y = 0; y < y1 - y0; ++y)
      for (int x = 0; x < x1 - x0; ++x) n += XGetPixel(im, x, y) == pixel;
    XDestroyImage(im);
    return n;
  }
  // The window box of the first run of link `link_font` kind on screen,
  // found in the layout: {x0, y0, x1, y1}.
  bool first_link_box(int box[4], const char* word) {
    int32_t top = -view_->view_offset;
    for (size_t k = static_cast<size_t>(view_->first_visible); k < view_->lines.size(); ++k) {
      const HelpLine& l = view_->lines[k];
      for (const HelpRun& r : l.runs) {
        const std::string text(view_->file.text.data() + r.text, static_cast<size_t>(r.length));
        if (r.image < 0 && text.find(word) == 0) {
          box[0] = r.x - view_->hscroll;
          box[1] = top;
          box[2] = box[0] + r.width;
          box[3] = top + l.height;
          return true;
        }
      }
      top += l.height;
    }
    return false;
  }

  XSession x_;
  Display* d_ = nullptr;
  XfWindow* frame_ = nullptr;
  XfWindow* client_ = nullptr;
  HelpView* view_ = nullptr;
};

TEST_F(HelpX, AClickOnALinkFollowsIt) {
  ASSERT_EQ(0, help_contents(*view_));
  settle();
  EXPECT_EQ("Contents", help_query(*view_, "topic"));
  int box[4];
  ASSERT_TRUE(first_link_box(box, "The default keys"));
  // The link's words are drawn in the link colour on white.
  const int green = count(box[0], box[1], box[2], box[3], xpixel(0x008000));
  EXPECT_GT(green, 20);
  EXPECT_GT(count(box[0], box[1], box[2], box[3], xpixel(0xFFFFFF)), green);
  ASSERT_TRUE(x_.server->click(client_->xwin, box[0] + 12, (box[1] + box[3]) / 2));
  ASSERT_TRUE(pump([&] { return help_query(*view_, "topic") == "Keys"; }));
  settle();
  // Where the link was, no link colour now: the Keys topic starts there
  // with plain text and its table.
  EXPECT_EQ(0, count(box[0], box[1], box[2], box[3], xpixel(0x008000)));
  // Its key column is drawn in black.
  int key[4];
  ASSERT_TRUE(first_link_box(key, "Ctrl+Home"));
  EXPECT_GT(count(key[0], key[1], key[2], key[3], xpixel(0x000000)), 20);
}

TEST_F(HelpX, KeywordLookupScrollsToItsPlace) {
  ASSERT_EQ(0, help_goto_keyword(*view_, "editing", nullptr));
  settle();
  EXPECT_EQ("Keys", help_query(*view_, "topic"));
  EXPECT_GT(help_vpos(*view_), 0);
  // The keyword's line, "Enter", is the first one on the screen.
  int box[4];
  ASSERT_TRUE(first_link_box(box, "Enter"));
  EXPECT_EQ(0, box[1]);
  EXPECT_GT(count(box[0], box[1], box[2], box[3], xpixel(0x000000)), 20);
}

TEST_F(HelpX, ADragSelectsAndCopyPutsTheTextOnTheClipboard) {
  ASSERT_EQ(0, help_goto_topic_name(*view_, "Selecting", 0));
  settle();
  int box[4];
  ASSERT_TRUE(first_link_box(box, "Hold Shift"));
  const int y = (box[1] + box[3]) / 2;
  const int black_before = count(box[0], box[1], box[0] + 120, box[3], xpixel(0x000000));
  const std::string id = std::to_string(client_->xwin);
  ASSERT_TRUE(
      x_.server->xdotool({"mousemove", "--window", id, std::to_string(box[0] + 1), std::to_string(y), "mousedown", "1",
                          "mousemove", "--window", id, std::to_string(box[0] + 60), std::to_string(y), "mousemove",
                          "--window", id, std::to_string(box[0] + 120), std::to_string(y), "mouseup", "1"}));
  ASSERT_TRUE(pump([&] { return help_query(*view_, "selactive") == "1"; }));
  // Let the release arrive and the drag end.
  pump([&] { return false; }, std::chrono::milliseconds(500));
  EXPECT_EQ("Selecting", help_query(*view_, "topic"));
  ASSERT_EQ("1", help_query(*view_, "selactive"));
  // The selected words are inverted: black where white was.
  EXPECT_GT(count(box[0], box[1], box[0] + 100, box[3], xpixel(0x000000)), black_before + 200);
  ASSERT_EQ(0, help_command(*view_, "copy", ""));
  std::vector<uint8_t> got;
  ASSERT_EQ(0, xf_sel_get(XfSel::clipboard, 1, &got));
  const std::string text(got.begin(), got.end());
  EXPECT_EQ(0u, text.find("Hold Sh")) << text;
  EXPECT_LT(text.size(), 30u) << text;
}

// A help control of a form, made by the native windows of its kind as the
// program sets them, driven by the built-ins.
class HelpControlX : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
    help_views_reset();
    x_.start();
    if (HasFatalFailure()) return;
    ctl_register_classes();
    help_register_class();
    native_set_table({&kNativeHeadless, &kControlWindowOps, &kHelpControlWindowOps});
  }
  // A form (geometry in pixels) and a help control of w x h pixels in it.
  static WindowObject* help_on_form(WindowObject** form, int32_t w, int32_t h) {
    *form = window_new_child(nullptr);
    obj_set_type(*form, kObjForm);
    prop_set_field((*form)->props, 47, 3);
    prop_set_field((*form)->props, 39, static_cast<uint32_t>(w + 40));
    prop_set_field((*form)->props, 36, static_cast<uint32_t>(h + 60));
    WindowObject* help = window_new_child(*form);
    obj_set_type(help, kObjHelp);
    prop_set_field(help->props, 39, static_cast<uint32_t>(w));
    prop_set_field(help->props, 36, static_cast<uint32_t>(h));
    return help;
  }
  void TearDown() override {
    native_table_reset();
    help_views_reset();
    x_.stop();
    TextBiTest::TearDown();
  }
  XSession x_;
};

TEST_F(HelpControlX, TheBuiltInsDriveTheControlsOwnWindow) {
  WindowObject* form = nullptr;
  WindowObject* help = help_on_form(&form, 400, 300);
  ASSERT_EQ(0, native_ops(form).create(form)) << "the form's window, and its controls'";
  ASSERT_NE(nullptr, help->client_window);
  HelpView* v = help_window_view(help->client_window);
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(v, help_view_of_object(help));
  // A help control added to the shown form gets its viewer at once; other
  // controls get windows of their own classes.
  WindowObject* more = window_new_child(form);
  obj_set_type(more, kObjHelp);
  ASSERT_EQ(0, native_ops(more).create(more));
  EXPECT_NE(nullptr, help_window_view(more->client_window));
  WindowObject* label = window_new_child(form);
  obj_set_type(label, kObjLabel);
  EXPECT_EQ(0, native_ops(label).create(label));
  ASSERT_NE(nullptr, label->client_window);
  EXPECT_EQ(nullptr, help_window_view(label->client_window));

  window_set_current(help, 0);
  const textbi::Outcome o = run(std::string("  push_const \"") + ZVX_DEFAULT_HELP +
                                "\"\n  helpview_load\n  assign $out\n"
                                "  push_const \"menus\"\n  helpview_keyword 1\n  assign $out2\n"
                                "  push_const \"topic\"\n  helpview_property\n  assign $out3\n");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("0", o.out);
  EXPECT_EQ("0", o.out2);
  EXPECT_EQ("Menus", o.out3);
  EXPECT_EQ("Menus", help_query(*v, "topic"));
  EXPECT_GT(v->canvas->width(), 300);  // laid out at the window's width, less its scroll bar
  EXPECT_LE(v->canvas->width(), 400);

  XfWindow* frame = help->frame_window;
  ASSERT_NE(nullptr, frame);
  native_ops(help).destroy(help);
  EXPECT_EQ(nullptr, help->frame_window);
  EXPECT_EQ(nullptr, help->client_window);
  native_ops(form).destroy(form);
}

std::vector<std::pair<WindowObject*, EventCode>> g_raised;

// A help control's window is of the control sub-class: focus changes and a
// close request become the object's events through the common control
// procedure, while scrolling still reaches the viewer itself.
TEST_F(HelpControlX, TheControlsWindowRaisesObjectEventsAndStillScrolls) {
  WindowObject* form = nullptr;
  WindowObject* help = help_on_form(&form, 300, 120);
  ASSERT_EQ(0, native_ops(form).create(form));
  XfWindow* w = help->client_window;
  ASSERT_NE(nullptr, w);
  ASSERT_NE(nullptr, w->cls);
  EXPECT_STREQ(kHelpHookClass, w->cls->name);
  HelpView* v = help_window_view(w);
  ASSERT_NE(nullptr, v);
  ASSERT_EQ(0, help_view_load(*v, ZVX_DEFAULT_HELP));
  ASSERT_EQ(0, help_goto_topic_name(*v, "Keys", 0));
  focus_events_reset();
  g_raised.clear();
  ctl_set_event_raiser([](WindowObject* o, EventCode e) { g_raised.emplace_back(o, e); });
  struct Case {
    uint32_t message;
    EventCode event;
  };
  // columns: message sent to the control's window, the event it raises
  for (const Case c :
       {Case{ZWM_SETFOCUS, kEvOnGotFocus}, Case{ZWM_KILLFOCUS, kEvOnLostFocus}, Case{ZWM_CLOSE, kEvOnClose}}) {
    g_raised.clear();
    WinSendMsg(w, c.message, 0, 0);
    ASSERT_EQ(1u, g_raised.size()) << c.message;
    EXPECT_EQ(help, g_raised[0].first);
    EXPECT_EQ(c.event, g_raised[0].second) << c.message;
  }
  ctl_set_event_raiser(nullptr);
  EXPECT_TRUE(help_window_view(w)) << "ON-CLOSE left the window to the macros";
  // A line down from the scroll bar moves the view; no object event.
  g_raised.clear();
  const int32_t before = help_vpos(*v);
  WinSendMsg(w, ZWM_VSCROLL, 0, static_cast<intptr_t>(1) << 16);
  EXPECT_GT(help_vpos(*v), before);
  EXPECT_TRUE(g_raised.empty());
  native_ops(form).destroy(form);
}

}  // namespace

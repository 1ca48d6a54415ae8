// The built-ins on window objects that act through the window system, run
// as byte code without a display: the objects they accept, the conversions
// into and out of the objects' units, their error rows, and the headless
// answers (the window system's own answers: bi_window_ops_x_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/refresh.h"
#include "forms/ctl_common.h"
#include "forms/ctl_list.h"
#include "forms/obj_window.h"
#include "tests/forms/forms_fixture.h"
#include "tests/support/headless/view_fakes.h"

namespace {

using namespace formstest;

class WindowOps : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    frame();
    f_ = form(kScalePixels);
    prop_set_field(f_->props, 40, 1500);  // 100 pixels at 15 twips a pixel
    prop_set_field(f_->props, 41, 3000);  // 200
    button_ = control(f_, kObjCommand);
    prop_set_field(button_->props, 40, 10);
    prop_set_field(button_->props, 41, 20);
    image_ = control(f_, kObjImage);
  }
  static std::string id(const WindowObject* o) { return std::to_string(o->handle); }
  // A built-in whose variable group starts with the given values.
  Out call_vars(std::string_view mnemonic, const std::vector<std::string>& args, const std::vector<std::string>& init) {
    bc::ImageBuilder b;
    std::vector<uint32_t> slots;
    std::vector<uint16_t> links;
    for (const std::string& v : init) {
      slots.push_back(static_cast<uint32_t>(var_alloc_global()));
      var_store_cstr(slots.back(), v.c_str());
      links.push_back(b.global(static_cast<uint16_t>(slots.back())));
    }
    const uint16_t p = b.proc(0, 0, 0);
    for (const auto& a : args) b.op("push_const", {bc::k(a)});
    b.op(mnemonic, {bc::cnt(static_cast<int>(args.size())), bc::group(links)});
    b.op("return");
    vmtest::shown.clear();
    Out o;
    o.stop = run(b, p);
    o.raised = vmtest::shown.empty() ? 0 : vmtest::shown.back().code;
    for (uint32_t s : slots) o.vars.push_back(value(s));
    return o;
  }
  WindowObject* f_ = nullptr;
  WindowObject* button_ = nullptr;
  WindowObject* image_ = nullptr;
};

TEST_F(WindowOps, SystemCodesMapToEditorCommands) {
  // columns: system-menu code, command (1: none)
  const int32_t rows[][2] = {{0xF000, 16388}, {0xF010, 16389}, {0xF020, 16385}, {0xF030, 16386},
                             {0xF040, 16390}, {0xF050, 24582}, {0xF060, 16391}, {0xF120, 16387},
                             {0xF130, 16392}, {0xF070, 1},     {0, 1},          {-1, 1}};
  for (auto [code, cmd] : rows) EXPECT_EQ(sc_to_command(code), static_cast<uint32_t>(cmd)) << code;
}

TEST_F(WindowOps, PointerIdsMapToSystemPointers) {
  // columns: pointer id, system pointer (-1: ignored)
  const int32_t rows[][2] = {{0, 1}, {1, 1}, {2, 5},  {3, 2},  {4, 10},  {5, 4},   {6, 7},    {7, 9},
                             {8, 6}, {9, 8}, {10, 1}, {11, 3}, {12, -1}, {-1, -1}, {255, 36}, {254, -1}};
  for (auto [id, sys] : rows) EXPECT_EQ(obj_pointer_system_id(id), sys) << id;
}

TEST_F(WindowOps, FrameAndFormOperations) {
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    WindowObject* current;
    ErrorCode raised;
    std::string rc;
  };
  WindowObject* editor = window_new_child(nullptr);
  obj_set_type(editor, kObjForm);
  editor->parent = obj_frame_object();
  const std::string F = id(f_);
  const Case cases[] = {
      {"system_command", {"61472"}, f_, 0, "0"},
      {"system_command", {"61536"}, obj_frame_object(), 0, "0"},
      {"system_command", {"12345"}, f_, 0, "0"},
      {"system_command", {"61472"}, button_, ERR_NOT_ALLOWED_ON_OBJECT, "0"},
      {"set_system_menu_text", {"61728", "Back"}, f_, 0, "0"},
      {"set_system_menu_text", {"7", "Back"}, f_, ERR_INVALID_ARGUMENT, "x"},
      {"set_system_menu_text", {"61728", "Back"}, button_, ERR_NOT_ALLOWED_ON_OBJECT, "x"},
      {"menu_mnemonic", {std::to_string(261 + 'f')}, f_, 0, "0"},
      {"menu_mnemonic", {std::to_string(261 + 'e')}, editor, 0, "0"},
      {"menu_mnemonic", {"262"}, button_, ERR_NOT_ALLOWED_ON_OBJECT, "0"},
      {"activate_window_by_name", {}, f_, 0, "-2087"},  // without a window
      {"activate_window_by_name", {"Notes"}, f_, 0, "-3022"},
      {"activate_window_by_name", {"Notes", "text"}, button_, 0, "-3022"},
      {"activate_window_by_name", {}, button_, ERR_NOT_ALLOWED_ON_OBJECT, "x"},
      {"set_zorder", {"0"}, button_, 0, "0"},
      {"set_zorder", {"-1"}, f_, 0, "0"},
      {"set_zorder", {F}, button_, 0, "0"},
      {"set_zorder", {"999"}, button_, ERR_INVALID_ARGUMENT, "0"},
      {"set_zorder", {"0"}, image_, ERR_NOT_ALLOWED_ON_OBJECT, "0"},
      {"set_mouse_pointer", {"0"}, f_, 0, "0"},
      {"set_mouse_pointer", {"11"}, f_, 0, "0"},
      {"set_mouse_pointer", {"12"}, f_, 0, "0"},
      {"set_mouse_pointer", {"-1"}, f_, 0, "0"},
      {"set_capture", {}, button_, 0, "0"},
      {"set_capture", {}, image_, 0, "0"},
      {"release_capture", {}, button_, 0, "0"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.mnemonic) + " " + (k.args.empty() ? "" : k.args[0]) + " on " + id(k.current));
    window_set_current(k.current, 0);
    vm_set_rc(0);
    const Out o = call(k.mnemonic, k.args);
    EXPECT_EQ(o.raised, k.raised);
    if (k.raised == 0) {
      EXPECT_EQ(o.rc, k.rc);
    }
  }
}

TEST_F(WindowOps, FocusBuiltins) {
  EXPECT_EQ(call("focus_window_id", {}).value, "0") << "no window has the focus";
  window_set_current(button_, 0);
  // A pending focus change is delivered: the holder loses, the pending object gets it.
  std::vector<std::pair<int32_t, EventCode>> events;
  static std::vector<std::pair<int32_t, EventCode>>* seen;
  seen = &events;
  ctl_set_event_raiser([](WindowObject* o, EventCode e) { seen->push_back({o->handle, e}); });
  focus_events().holder = f_->handle;
  focus_events().pending = button_->handle;
  EXPECT_EQ(call("focus_current", {}).raised, 0);
  ctl_set_event_raiser(nullptr);
  EXPECT_EQ(events, (std::vector<std::pair<int32_t, EventCode>>{{f_->handle, kEvOnLostFocus},
                                                                {button_->handle, kEvOnGotFocus}}));
  EXPECT_EQ(focus_events().holder, button_->handle);
  EXPECT_EQ(window_current(), button_);
}

TEST_F(WindowOps, FlushDeliversADeferredFocusChangeOnce) {
  std::vector<std::pair<int32_t, EventCode>> events;
  static std::vector<std::pair<int32_t, EventCode>>* seen;
  seen = &events;
  ctl_set_event_raiser([](WindowObject* o, EventCode e) { seen->push_back({o->handle, e}); });
  FocusEvents& f = focus_events();
  f.holder = f_->handle;
  f.pending = button_->handle;
  f.lost_running = true;
  app_flush_focus_events();
  EXPECT_TRUE(events.empty()) << "not while ON-LOST-FOCUS runs";
  f.lost_running = false;
  app_flush_focus_events();
  app_flush_focus_events();
  EXPECT_EQ(events, (std::vector<std::pair<int32_t, EventCode>>{{f_->handle, kEvOnLostFocus},
                                                                {button_->handle, kEvOnGotFocus}}));
  EXPECT_FALSE(f.deferred);
  EXPECT_EQ(f.pending, 0);
  // A pending object closed meanwhile gets nothing; the holder still loses it.
  events.clear();
  WindowObject* gone = control(f_, kObjCheck);
  f.pending = gone->handle;
  obj_destroy(gone);
  app_flush_focus_events();
  EXPECT_EQ(events, (std::vector<std::pair<int32_t, EventCode>>{{button_->handle, kEvOnLostFocus}}));
  ctl_set_event_raiser(nullptr);
}

TEST_F(WindowOps, MapWindowPointsThroughObjects) {
  // The form's client at (100, 200) on the screen, the button at (10, 20) in it.
  const std::string F = id(f_), B = id(button_);
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> in;
    ErrorCode raised;
    std::vector<std::string> out;
  };
  const Case cases[] = {
      {{B, "0"}, {"5", "6"}, 0, {"115", "226"}},
      {{"0", B}, {"115", "226"}, 0, {"5", "6"}},
      {{B, F}, {"5", "6"}, 0, {"15", "26"}},
      {{B, "0", "3"}, {"5"}, 0, {"115"}},
      {{B, "0", "1"}, {"75", "90"}, 0, {"1725", "3390"}},  // twips: 5 and 6 pixels
      {{B, "999"}, {"5", "6"}, ERR_INVALID_ARGUMENT, {"5", "6"}},
      {{"999", "0"}, {"5", "6"}, ERR_INVALID_ARGUMENT, {"5", "6"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args[0] + " -> " + k.args[1]);
    const Out o = call_vars("map_window_points", k.args, k.in);
    EXPECT_EQ(o.raised, k.raised);
    EXPECT_EQ(o.vars, k.out);
  }
}

TEST_F(WindowOps, MeasuringInTheObjectsUnit) {
  // 8 pixels a byte and 12 pixels high without a screen; the object's own
  // scale mode says pixels (3) or twips (1).
  window_set_current(f_, 0);
  EXPECT_EQ(call("text_width", {"abc"}).value, "24");
  EXPECT_EQ(call("text_width", {""}).value, "0");
  EXPECT_EQ(call("font_height", {}).value, "12");
  prop_set_field(f_->props, 47, kScaleTwips);
  EXPECT_EQ(call("text_width", {"abc"}).value, "360");
  EXPECT_EQ(call("font_height", {}).value, "180");
}

TEST_F(WindowOps, ViewBuiltins) {
  window_set_current(button_, 0);
  EXPECT_EQ(call("widest_line_width", {}).raised, ERR_NOT_ALLOWED_ON_OBJECT) << "no view";
  EXPECT_EQ(call("mark_window_changed", {}).raised, ERR_NOT_ALLOWED_ON_OBJECT);
  open("a\nabcd\nab\n");
  WindowObject* w = window_current();
  prop_set_field(w->props, 47, kScalePixels);
  EXPECT_EQ(call("widest_line_width", {}).value, "32");
  prop_set_field(w->props, 47, kScaleTwips);
  EXPECT_EQ(call("widest_line_width", {}).value, "480");
  EXPECT_EQ(call("mark_window_changed", {}).raised, 0);
  EXPECT_EQ(w->changed, 1);
  EXPECT_EQ(call("mark_window_changed", {}).raised, 0);
  EXPECT_EQ(w->changed, 1);
}

TEST_F(WindowOps, TabStopsOfAViewsTextDisplay) {
  open("a\tb\n");
  WindowObject* w = window_current();
  EXPECT_EQ(call("ctl_tab_stops", {"0", "40"}).stop, ERR_NOT_ALLOWED_ON_OBJECT) << "a view without a text display";
  EditorDisplay ed;
  const TextDisplay& d = ed.disp;
  viewtest::views = {w, &ed};
  w->view->buffer->redraw = 0;
  // The editor window's unit is pixels.
  const bitest::Step steps[] = {
      {"ctl_tab_stops", {"0"}, 0, "", "0"},  // no table yet
      {"ctl_tab_stops", {"0", "40"}, 0, "", "40"},
      {"ctl_tab_stops", {"0"}, 0, "", "40"},
      {"ctl_tab_stops", {"199", "7"}, 0, "", "7"},
      {"ctl_tab_stops", {"200", "7"}, 0, "", "0"},  // outside the table: ignored
      {"ctl_tab_stops", {"-1", "1"}, 0, "", "1"},   // the option byte: no grid lines
      {"ctl_tab_stops", {"-1"}, 0, "", "1"},
      {"ctl_tab_stops", {}, ERR_INVALID_ARGUMENT, "", "*"},
      {"ctl_tab_stops", {"0", "1", "2"}, ERR_INVALID_ARGUMENT, "", "*"},
      {"ctl_tab_stops", {"zero", "1"}, ERR_INVALID_NUMBER_ARGUMENT, "", "*"},
  };
  for (const bitest::Step& st : steps) {
    SCOPED_TRACE(testing::PrintToString(st.args));
    bitest::check(st, call(st.mnemonic, st.args));
  }
  ASSERT_TRUE(d.tab_stops);
  EXPECT_EQ(d.tab_stops[0], 40);
  EXPECT_EQ(d.tab_option, 1);
  EXPECT_EQ(w->view->buffer->redraw, 1) << "a set redraws the buffer";
  EXPECT_EQ(call("ctl_tab_stops", {"-2"}).value, "0");
  EXPECT_FALSE(d.tab_stops) << "-2 drops the table";
  EXPECT_EQ(call("ctl_tab_stops", {"0"}).value, "0");

  // A list on a form in twips (15 a pixel): widths go in and out through pixels.
  WindowObject* tf = form(kScaleTwips);
  WindowObject* list = control(tf, kObjList);
  ASSERT_EQ(list_create_buffer(list), 0);
  EditorDisplay led;
  viewtest::views = {list, &led};
  window_set_current(list, 0);
  EXPECT_EQ(call("ctl_tab_stops", {"0", "600"}).value, "600");
  EXPECT_EQ(call("ctl_tab_stops", {"1", "23"}).value, "30") << "23 twips are 2 pixels";
  ASSERT_TRUE(led.disp.tab_stops);
  EXPECT_EQ(led.disp.tab_stops[0], 40);
  EXPECT_EQ(led.disp.tab_stops[1], 2);
  EXPECT_EQ(call("ctl_tab_stops", {"-1", "1"}).value, "1") << "the option byte is no width";

  // Objects without a view stop the macro.
  window_set_current(button_, 0);
  const Out o = call("ctl_tab_stops", {"0", "40"});
  EXPECT_EQ(o.stop, ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(o.raised, ERR_NOT_ALLOWED_ON_OBJECT);
}

TEST_F(WindowOps, DrawShapeArguments) {
  window_set_current(f_, 0);
  struct Case {
    std::vector<std::string> args;
    ErrorCode raised;
  };
  const Case cases[] = {
      {{"10", "20", "30", "40"}, 0},
      {{"10", "20", "30", "40", "65280", "E"}, 0},
      {{"10", "20", "30", "40", "65280", "Q"}, ERR_INVALID_ARGUMENT},
      {{"10", "20", "30"}, ERR_INVALID_ARGUMENT},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args.size());
    EXPECT_EQ(call("draw_shape", k.args).raised, k.raised);
  }
  window_set_current(image_, 0);
  EXPECT_EQ(call("draw_shape", {"1", "2", "3", "4"}).raised, ERR_NOT_ALLOWED_ON_OBJECT);
}

}  // namespace

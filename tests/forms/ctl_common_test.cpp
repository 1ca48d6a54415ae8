// The rules every control shares, on objects without windows: focus events
// once per change, scroll-bar values, check-box cycles, radio groups, click
// recursion, the gauge's bar and the natural sizes of lists and combo boxes.

#include "forms/ctl_common.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "forms/ctl_props.h"
#include "tests/forms/forms_fixture.h"

namespace {

std::vector<std::pair<int32_t, EventCode>> events;

void record(WindowObject* target, EventCode event) { events.emplace_back(target->handle, event); }

class CtlCommon : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    focus_events_reset();
    events.clear();
    ctl_set_event_raiser(nullptr);
  }
  void TearDown() override {
    ctl_set_event_raiser(nullptr);
    focus_events_reset();
    FormsTest::TearDown();
  }
};

// Every raised event is recorded.
void bind_all() { ctl_set_event_raiser(record); }

TEST(CheckBox, CyclesByStyle) {
  struct Case {
    int32_t style;
    std::vector<int32_t> values;  // from 0, three clicks
  };
  const Case cases[] = {
      {0, {1, 0, 1}},
      {1, {2, 1, 0}},
      {2, {1, 2, 0}},
      {3, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    int32_t v = 0;
    std::vector<int32_t> got;
    for (int i = 0; i < 3; ++i) got.push_back(v = check_next_value(c.style, v));
    EXPECT_EQ(c.values, got);
  }
  EXPECT_EQ(0, check_next_value(0, 5)) << "style 0: anything but 0 becomes 0";
}

TEST(Gauge, BarAndPercentage) {
  struct Case {
    const char* what;
    int32_t min, max, value, style, w, h;
    std::string text;
    int32_t top, right;
    bool drawn;
  };
  const Case cases[] = {
      {"a quarter", 0, 200, 50, 0, 100, 20, "25%", 0, 25, true},
      {"empty range", 10, 10, 50, 0, 100, 20, "0%", 0, 0, true},
      {"below the minimum", 10, 20, 5, 1, 100, 20, "0%", 0, 0, true},
      {"past the maximum fills, never more", 0, 10, 30, 0, 100, 20, "100%", 0, 100, true},
      {"bar without text", 0, 4, 1, 2, 80, 20, "", 0, 20, true},
      {"vertical from the bottom", 0, 4, 1, 3, 80, 40, "", 30, 80, true},
      {"other styles: the frame only", 0, 4, 1, 7, 80, 40, "", 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GaugeBar g = gauge_bar(c.min, c.max, c.value, c.style, c.w, c.h);
    EXPECT_EQ(c.text, g.text);
    EXPECT_EQ(c.drawn, g.drawn);
    if (c.drawn) {
      EXPECT_EQ(c.top, g.top);
      EXPECT_EQ(c.right, g.right);
      EXPECT_EQ(c.h, g.bottom);
    }
  }
}

TEST(NaturalSize, ListRows) {
  // 2 x border + 3 + 15 x rows, rows = (100 - extra) / 15.
  EXPECT_EQ(2 * 2 + 3 + 15 * 6, list_natural_height(100, 15, 2, true, 0, false));
  EXPECT_EQ(3 + 15, list_natural_height(4, 15, 2, false, 0, false)) << "less than a line gives one line";
  EXPECT_EQ(16 + 15 * 5, list_natural_height(100, 15, 2, false, 16, true)) << "editor style with a horizontal bar";
}

TEST(NaturalSize, ComboBoxParts) {
  // Drop-down: text 26 high (h = 20), a 16-pixel arrow picture, 120 x 80 at (10, 30).
  ComboLayout c = combo_layout_compute(0, 10, 30, 120, 80, 26, 15, 16, 75);
  EXPECT_EQ(26, c.combo_height);
  EXPECT_EQ(20, c.button_w);
  EXPECT_EQ(120 - 20 - 3, c.button_x);
  EXPECT_EQ(3, c.edit_x);
  EXPECT_EQ(120 - 20 - 7, c.edit_w);
  EXPECT_EQ(20, c.edit_h);
  EXPECT_EQ(4 * 15 + 6, c.list_h) << "about an inch of whole rows";
  EXPECT_EQ(10 + 3, c.list_x) << "dropped below the box in its container";
  EXPECT_EQ(30 + 23, c.list_y);
  // Simple: the list always shown below the text, no button.
  c = combo_layout_compute(1, 10, 30, 120, 80, 26, 15, 16, 75);
  EXPECT_EQ(0, c.button_w);
  EXPECT_EQ(114, c.edit_w);
  EXPECT_EQ(3 * 15 + 6, c.list_h);
  EXPECT_EQ(c.list_h + 26, c.combo_height);
  EXPECT_EQ(3, c.list_x);
  // Too narrow: the edit part keeps 2 pixels.
  c = combo_layout_compute(2, 0, 0, 10, 80, 7, 15, 16, 75);
  EXPECT_EQ(2, c.edit_w);
  EXPECT_EQ(2, c.edit_h);
}

TEST_F(CtlCommon, ScrollBarValues) {
  WindowObject* sb = control(form(), kObjVScroll);
  ctl_prop_set(sb, 77, 0);
  ctl_prop_set(sb, 78, 100);
  ctl_prop_set(sb, 79, 1);
  ctl_prop_set(sb, 80, 10);
  struct Case {
    const char* what;
    int32_t from, code, position;
    bool changes;
    int32_t to;
    EventCode event;
  };
  const Case cases[] = {
      {"line down by the small change", 50, 1, 0, true, 51, kEvOnChange},
      {"line up", 50, 2, 0, true, 49, kEvOnChange},
      {"page up by the large change", 50, 4, 0, true, 40, kEvOnChange},
      {"page down clamped", 95, 8, 0, true, 100, kEvOnChange},
      {"line down at the maximum raises nothing", 100, 1, 0, false, 100, 0},
      {"line up at the minimum raises nothing", 0, 2, 0, false, 0, 0},
      {"thumb position at the current value still changes", 30, 32, 30, true, 30, kEvOnChange},
      {"thumb position clamped", 30, 32, 500, true, 100, kEvOnChange},
      {"thumb track raises ON-SCROLL", 30, 16, 44, true, 44, kEvOnScroll},
      {"end scroll does nothing", 30, 64, 0, false, 30, 0},
      {"code 0 does nothing", 30, 0, 0, false, 30, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ctl_prop_set(sb, 42, c.from);
    int32_t v = c.from;
    EventCode ev = 0;
    EXPECT_EQ(c.changes, ctl_scroll_value(sb, c.code, c.position, &v, &ev));
    if (c.changes) {
      EXPECT_EQ(c.to, v);
      EXPECT_EQ(c.event, ev);
    }
    events.clear();
    bind_all();
    EXPECT_EQ(c.changes, ctl_scroll_notify(sb, c.code, c.position));
    EXPECT_EQ(c.to, ctl_prop(sb, 42));
    EXPECT_EQ(c.changes ? 1u : 0u, events.size());
    ctl_set_event_raiser(nullptr);
  }
}

TEST_F(CtlCommon, RadioGroupHoldsOneChoice) {
  WindowObject* f = form();
  WindowObject* r1 = control(f, kObjRadio);
  WindowObject* r2 = control(f, kObjRadio);
  WindowObject* r3 = control(f, kObjRadio);
  WindowObject* chk = control(f, kObjCheck);
  WindowObject* other_form = form();
  WindowObject* elsewhere = control(other_form, kObjRadio);
  ctl_prop_set(elsewhere, 42, 1);
  ctl_prop_set(chk, 42, 1);
  std::vector<std::pair<int32_t, int32_t>> checks;
  static std::vector<std::pair<int32_t, int32_t>>* sink = nullptr;
  sink = &checks;
  bind_all();
  for (WindowObject* clicked : {r2, r1, r3, r3}) {
    checks.clear();
    events.clear();
    btn_click(clicked, 0, [](WindowObject* o, int32_t v) { sink->emplace_back(o->handle, v); });
    for (WindowObject* r : {r1, r2, r3}) EXPECT_EQ(r == clicked ? 1 : 0, ctl_prop(r, 42));
    EXPECT_EQ(3u, checks.size()) << "each radio of the group is told its state";
    EXPECT_EQ((std::vector<std::pair<int32_t, EventCode>>{{clicked->handle, kEvLButtonUp}}), events);
  }
  EXPECT_EQ(1, ctl_prop(elsewhere, 42)) << "radio buttons under another parent are not touched";
  EXPECT_EQ(1, ctl_prop(chk, 42));
}

TEST_F(CtlCommon, CheckBoxAndCommandButtonClicks) {
  WindowObject* f = form();
  WindowObject* chk = control(f, kObjCheck);
  ctl_prop_set(chk, 15, 1);
  bind_all();
  std::vector<int32_t> values;
  for (int i = 0; i < 3; ++i) {
    btn_click(chk, 0, nullptr);
    values.push_back(ctl_prop(chk, 42));
  }
  EXPECT_EQ((std::vector<int32_t>{2, 1, 0}), values);
  EXPECT_EQ(3u, events.size());
  WindowObject* cmd = control(f, kObjCommand);
  events.clear();
  btn_click(cmd, 1 << 16, nullptr);
  btn_click(cmd, 2 << 16, nullptr);
  btn_click(cmd, 3 << 16, nullptr);
  EXPECT_EQ((std::vector<std::pair<int32_t, EventCode>>{{cmd->handle, kEvLButtonUp}, {cmd->handle, kEvLButtonDblClk}}),
            events);
  // In design mode a check box changes but raises nothing.
  chk->design_mode = 1;
  events.clear();
  btn_click(chk, 0, nullptr);
  EXPECT_EQ(2, ctl_prop(chk, 42));
  EXPECT_TRUE(events.empty());
}

int nested = 0;

TEST_F(CtlCommon, ClicksNestedPastTwentyStopWithRecursionTooDeep) {
  WindowObject* cmd = control(form(), kObjCommand);
  nested = 0;
  ctl_set_event_raiser([](WindowObject* t, EventCode) {
    ++nested;
    btn_raise_click(t);
  });
  vmtest::shown.clear();
  btn_raise_click(cmd);
  EXPECT_EQ(kObjEventDepthLimit, nested);
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_EQ(ERR_RECURSION_TOO_DEEP, vmtest::shown.back().code);
  EXPECT_EQ(0, focus_events().click_depth);
}

TEST_F(CtlCommon, OneLostAndOneGotPerFocusChange) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjCommand);
  bind_all();
  ctl_focus_got(a, nullptr);
  ctl_focus_lost(a, nullptr);
  ctl_focus_got(b, nullptr);
  EXPECT_EQ((std::vector<std::pair<int32_t, EventCode>>{
                {a->handle, kEvOnGotFocus}, {a->handle, kEvOnLostFocus}, {b->handle, kEvOnGotFocus}}),
            events);
  EXPECT_EQ(b->handle, f->focus_child) << "the form remembers its last focused control";
  // Deferred: the lost event is skipped and b only becomes pending, until delivery.
  events.clear();
  focus_events().deferred = true;
  ctl_focus_lost(b, nullptr);
  ctl_focus_got(a, nullptr);
  EXPECT_TRUE(events.empty());
  focus_events().deferred = false;
  ctl_deliver_focus_events();
  EXPECT_EQ((std::vector<std::pair<int32_t, EventCode>>{{b->handle, kEvOnLostFocus}, {a->handle, kEvOnGotFocus}}),
            events);
}

TEST_F(CtlCommon, TabStopsInTabIndexOrderWithWrapAround) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjCommand);
  WindowObject* c = control(f, kObjCheck);
  WindowObject* off = control(f, kObjText);
  WindowObject* hidden = control(f, kObjText);
  WindowObject* no_index = control(f, kObjText);
  const std::pair<WindowObject*, int32_t> index[] = {{a, 3}, {b, 1}, {c, 2}, {off, 4}, {hidden, 5}, {no_index, 0}};
  for (auto [o, i] : index) {
    ctl_prop_set(o, 38, i);
    ctl_prop_set(o, 12, 1);
    ctl_prop_set(o, 11, 1);
    ctl_prop_set(o, 2, 1);
  }
  ctl_prop_set(off, 12, 0);     // not a tab stop
  ctl_prop_set(hidden, 11, 0);  // not visible
  EXPECT_EQ(c, ctl_next_tab_stop(b, false));
  EXPECT_EQ(a, ctl_next_tab_stop(c, false));
  EXPECT_EQ(b, ctl_next_tab_stop(a, false)) << "past the last wraps to the first";
  EXPECT_EQ(a, ctl_next_tab_stop(b, true)) << "backwards from the first wraps to the last";
  EXPECT_EQ(c, ctl_next_tab_stop(a, true));
  EXPECT_EQ(b, ctl_next_tab_stop(off, false)) << "from outside the stops: the first";
  WindowObject* lone = control(form(), kObjText);
  ctl_prop_set(lone, 38, 1);
  ctl_prop_set(lone, 12, 1);
  ctl_prop_set(lone, 11, 1);
  EXPECT_EQ(nullptr, ctl_next_tab_stop(lone, false)) << "the only stop goes nowhere";
}

WindowObject* bounce_to = nullptr;

// A got-focus handler that moves the focus back to its own object raises no
// second ON-GOT-FOCUS for it.
TEST_F(CtlCommon, HandlerMovingTheFocusRaisesNoSecondGot) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  bounce_to = a;
  ctl_set_event_raiser([](WindowObject* t, EventCode e) {
    events.emplace_back(t->handle, e);
    if (e == kEvOnGotFocus) ctl_focus_got(bounce_to, nullptr);
  });
  ctl_focus_got(a, nullptr);
  EXPECT_EQ((std::vector<std::pair<int32_t, EventCode>>{{a->handle, kEvOnGotFocus}}), events);
}

}  // namespace

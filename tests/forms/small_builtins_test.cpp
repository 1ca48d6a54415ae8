// The small built-ins on the forms' own answers: the type check of the
// current object, the grid's floor from the designer's twips per pixel with
// the forms in design mode repainted, the input layer's click count reset by
// the event query B, and the waiting messages dispatched for a key wait.
#include <gtest/gtest.h>

#include <vector>

#include "forms/geometry.h"
#include "forms/modal.h"
#include "forms/native.h"
#include "macro/screen_port.h"
#include "macro/state_settings.h"
#include "tests/forms/forms_fixture.h"
#include "winsys/x_event_codes.h"

namespace {

using namespace formstest;

std::vector<int32_t> repainted;  // handles, in order
int dispatched = 0, waited = 0;

class SmallForms : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    settings_live() = settings_defaults();
    repainted.clear();
    dispatched = waited = 0;
  }
  void TearDown() override {
    modal_pump_reset();
    settings_live() = settings_defaults();
    evt_reset_click_count();
    FormsTest::TearDown();
  }
};

TEST_F(SmallForms, TheTypeCheckTakesTheCurrentObjectsTypeBit) {
  struct Case {
    int32_t type;
    ErrorCode stop;
  };
  const Case cases[] = {
      {kObjForm, 0}, {kObjText, 0}, {19, 0}, {0, ERR_NOT_ALLOWED_ON_OBJECT}, {20, ERR_NOT_ALLOWED_ON_OBJECT},
  };
  for (const Case& c : cases) {
    WindowObject* o = form();
    o->type = c.type;
    window_set_current(o, 0);
    const Out out = call("map_rect_ext143", {"1", "2", "3", "4"});
    EXPECT_EQ(out.stop, c.stop) << c.type;
  }
}

TEST_F(SmallForms, AGridChangeRepaintsTheFormsInDesignModeOnly) {
  NativeWindowOps ops = kNativeHeadless;
  ops.repaint = [](WindowObject* o) { repainted.push_back(o->handle); };
  native_for_all(ops);
  WindowObject* designed = form();
  designed->design_mode = 1;
  form();  // running: not repainted
  WindowObject* part = control(designed, kObjCommand);
  part->design_mode = 1;  // a control repaints with its form's window
  screen_metrics().twips_x = 15;
  screen_metrics().twips_y = 20;
  repainted.clear();
  struct Case {
    const char* mnemonic;
    const char* arg;
    const char* value;
  };
  const Case cases[] = {
      {"grid_width", "29", "1"},   // below two pixels: no grid
      {"grid_width", "30", "30"},  //
      {"grid_height", "39", "1"},  // the vertical twips
      {"grid_height", "40", "40"},
  };
  for (const Case& c : cases) {
    const Out out = call(c.mnemonic, {c.arg});
    EXPECT_EQ(out.value, c.value) << c.mnemonic << " " << c.arg;
    EXPECT_EQ(repainted, std::vector<int32_t>{designed->handle}) << c.mnemonic << " " << c.arg;
    repainted.clear();
  }
  EXPECT_EQ(call("grid_width", {}).value, "30");
  EXPECT_TRUE(repainted.empty()) << "reading the spacing repaints nothing";
}

TEST_F(SmallForms, TheEventQueryBResetsTheClickCount) {
  evt_set_click_count(2);
  EXPECT_EQ(call("get_event", {"B"}).value, "");
  EXPECT_EQ(evt_click_count(), 0) << "the next press counts as a single click";
}

// What the key wait's option P asks for (macro/screen_port.h): the waiting
// messages, never a wait for one.
TEST_F(SmallForms, TheWaitingMessagesAreDispatchedWithoutWaiting) {
  modal_pump().dispatch_one = [](bool wait) -> int32_t {
    if (wait) return ++waited, 0;
    return ++dispatched <= 3 ? 1 : 0;
  };
  input_dispatch_waiting();
  EXPECT_EQ(dispatched, 4) << "three messages, then the empty queue";
  EXPECT_EQ(waited, 0);
  // Timers that keep coming end it as they end a wait for a variable.
  modal_pump().dispatch_one = [](bool) -> int32_t { return ++dispatched, 2; };
  dispatched = 0;
  input_dispatch_waiting();
  EXPECT_EQ(dispatched, 20);
}

}  // namespace

// Modal forms without a screen: the refusals of show_modal and end_modal,
// the modal loop ending with the result a close or end_modal keeps, the
// windows disabled meanwhile and enabled after, closing every modal form,
// closing with a result, and the ends of wait_var.
#include <gtest/gtest.h>

#include <functional>
#include <list>

#include "forms/modal.h"
#include "tests/forms/forms_fixture.h"

namespace {

using namespace formstest;

// What the fake message pump does on each dispatch; the count of dispatches.
std::function<int32_t(bool)> on_dispatch;
int dispatches = 0;

class Modal : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    modal_reset();
    dispatches = 0;
    on_dispatch = nullptr;
    modal_pump().dispatch_one = [](bool wait) -> int32_t {
      ++dispatches;
      return on_dispatch ? on_dispatch(wait) : 0;
    };
  }
  void TearDown() override {
    on_dispatch = nullptr;
    modal_pump_reset();
    FormsTest::TearDown();
  }
  // A visible, enabled free form.
  WindowObject* shown_form() {
    WindowObject* f = form();
    prop_set_field(f->props, 11, 1);
    prop_set_field(f->props, 2, 1);
    return f;
  }
  static int32_t enabled(const WindowObject* o) { return prop_field_value(o->props, 2); }
  static std::string id(const WindowObject* o) { return std::to_string(o->handle); }
};

TEST_F(Modal, ShowModalRefusals) {
  frame();
  WindowObject* f = shown_form();
  WindowObject* c = control(f, kObjCommand);
  WindowObject* editor = window_new_child(nullptr);
  obj_set_type(editor, kObjForm);
  editor->parent = frame();  // an editor window
  WindowObject* modal = shown_form();
  modal->modal_level = 1;
  struct Case {
    std::string id;
    ErrorCode raised;
  };
  const Case cases[] = {
      {std::to_string((5 << 16) | 1), ERR_REQUIRES_DISPLAYED_OBJECT},  // a template's control
      {"0", ERR_INVALID_ARGUMENT},
      {"999", ERR_INVALID_ARGUMENT},
      {id(c), ERR_NOT_ALLOWED_ON_OBJECT},
      {"1", ERR_NOT_ALLOWED_ON_OBJECT},  // the application form
      {"2", ERR_NOT_ALLOWED_ON_OBJECT},  // the frame object
      {"3", ERR_NOT_ALLOWED_ON_OBJECT},  // the command line
      {id(editor), ERR_NOT_ALLOWED_ON_OBJECT},
      {id(modal), ERR_NOT_ALLOWED_ON_OBJECT},  // already modal
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.id);
    EXPECT_EQ(call("show_modal", {k.id}).raised, k.raised);
    EXPECT_EQ(dispatches, 0) << "no loop ran";
  }
  modal->mdi_form = 1;
  modal->modal_level = 0;
  EXPECT_EQ(call("show_modal", {id(modal)}).raised, ERR_NOT_ALLOWED_ON_OBJECT) << "an MDI form";
}

TEST_F(Modal, LoopEndsWithTheResultOfAClose) {
  frame();
  WindowObject* other = shown_form();
  WindowObject* f = shown_form();
  static WindowObject* s_form;
  static WindowObject* s_other;
  s_form = f, s_other = other;
  on_dispatch = [](bool wait) -> int32_t {
    EXPECT_TRUE(wait) << "the modal loop waits for messages";
    EXPECT_EQ(s_form->modal_level, 1);
    EXPECT_EQ(prop_field_value(s_other->props, 2), 0) << "the other form is disabled meanwhile";
    EXPECT_EQ(prop_field_value(s_form->props, 2), 1) << "the modal form itself is not";
    if (dispatches < 3) return 1;  // other messages first
    window_set_current(s_form, 0);
    const std::string result = "chosen";
    EXPECT_EQ(window_close_result(&result, -1), 0);
    return 1;
  };
  const int32_t fid = f->handle;
  const Out o = call("show_modal", {std::to_string(fid)});
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(o.value, "chosen");
  EXPECT_EQ(dispatches, 3);
  EXPECT_EQ(obj_get(fid), nullptr) << "the close destroyed the form";
  EXPECT_EQ(enabled(other), 1) << "enabled again";
}

TEST_F(Modal, LoopEndsWhenTheQueueEnds) {
  frame();
  WindowObject* other = shown_form();
  WindowObject* f = shown_form();
  on_dispatch = [](bool) -> int32_t { return dispatches < 2 ? 1 : 0; };
  const Out o = call("show_modal", {id(f)});
  EXPECT_EQ(o.value, "");
  EXPECT_EQ(dispatches, 2);
  EXPECT_EQ(f->modal_level, 0);
  EXPECT_EQ(enabled(other), 1);
  EXPECT_EQ(prop_field_value(f->props, 11), 1) << "shown by the call";
}

TEST_F(Modal, FindModalAndEnableAll) {
  frame();
  WindowObject* a = shown_form();
  WindowObject* b = shown_form();
  WindowObject* c = shown_form();
  WindowObject* hidden = form();  // property 11 = 0: left alone
  prop_set_field(hidden->props, 11, 0);
  prop_set_field(hidden->props, 2, 1);
  WindowObject* editor = window_new_child(nullptr);
  obj_set_type(editor, kObjForm);
  editor->parent = frame();
  prop_set_field(editor->props, 11, 1), prop_set_field(editor->props, 2, 1);
  struct Case {
    int levels[3];  // of a, b, c
    int top;        // index into {a, b, c}, -1 none
    int next;
    int level;
  };
  const Case cases[] = {
      {{0, 0, 0}, -1, -1, 0},
      {{1, 0, 0}, 0, -1, 1},
      {{1, 2, 0}, 1, 0, 2},
      {{3, 1, 2}, 0, 2, 3},
  };
  WindowObject* forms[] = {a, b, c};
  for (const Case& k : cases) {
    for (int i = 0; i < 3; ++i) forms[i]->modal_level = static_cast<uint8_t>(k.levels[i]);
    int32_t level = -1;
    WindowObject *top = nullptr, *next = nullptr;
    forms_find_modal(&level, &top, &next);
    EXPECT_EQ(level, k.level);
    EXPECT_EQ(top, k.top < 0 ? nullptr : forms[k.top]);
    EXPECT_EQ(next, k.next < 0 ? nullptr : forms[k.next]);
  }
  windows_enable_all(false, b);
  EXPECT_EQ(enabled(a), 0);
  EXPECT_EQ(enabled(b), 1) << "the exception stays enabled";
  EXPECT_EQ(enabled(c), 0);
  EXPECT_EQ(enabled(hidden), 1) << "invisible forms are left alone";
  EXPECT_EQ(enabled(editor), 1) << "editor windows go with the frame";
  windows_enable_all(true, b);
  EXPECT_EQ(enabled(a), 1);
  EXPECT_EQ(enabled(c), 1);
}

TEST_F(Modal, EndModalRulesAndTheOuterFormComesBack) {
  frame();
  WindowObject* outer = shown_form();
  WindowObject* inner = shown_form();
  WindowObject* plain = shown_form();
  outer->modal_level = 1;
  inner->modal_level = 2;
  prop_set_field(outer->props, 2, 0);
  prop_set_field(outer->props, 11, 0);
  window_set_current(plain, 0);
  Out o = call("end_modal", {"x"});
  EXPECT_EQ(o.raised, ERR_INVALID_ARGUMENT) << "not a modal form";
  EXPECT_EQ(o.stop, ERR_INVALID_ARGUMENT) << "raised as fatal";
  window_set_current(outer, 0);
  EXPECT_EQ(call("end_modal", {"x"}).raised, ERR_INVALID_ARGUMENT) << "not the innermost";
  EXPECT_EQ(outer->modal_level, 1);
  window_set_current(inner, 0);
  bool done = false;
  inner->modal_done = &done;
  o = call("end_modal", {"picked"});
  EXPECT_EQ(o.raised, 0);
  EXPECT_TRUE(done) << "the loop is told to end";
  EXPECT_EQ(inner->modal_level, 0);
  EXPECT_EQ(modal_result(), "picked");
  EXPECT_EQ(window_current(), outer) << "the outer modal form is usable again";
  EXPECT_EQ(enabled(outer), 1);
  EXPECT_EQ(prop_field_value(outer->props, 11), 1);
  EXPECT_EQ(call("end_modal", {}).raised, 0);
  EXPECT_EQ(modal_result(), "") << "the default result is empty";
}

TEST_F(Modal, EndAllModalClosesEveryModalForm) {
  frame();
  WindowObject* keep = shown_form();
  WindowObject* a = shown_form();
  WindowObject* b = shown_form();
  WindowObject* c = shown_form();
  a->modal_level = 1, b->modal_level = 2, c->modal_level = 3;
  prop_set_field(keep->props, 2, 0);
  const int32_t ids[] = {a->handle, b->handle, c->handle};
  window_set_current(keep, 0);
  EXPECT_EQ(call("end_all_modal", {"all"}).raised, 0);
  for (int32_t i : ids) EXPECT_EQ(obj_get(i), nullptr);
  EXPECT_EQ(obj_get(keep->handle), keep);
  EXPECT_EQ(window_current(), keep);
  EXPECT_EQ(enabled(keep), 1);
  EXPECT_EQ(modal_result(), "all");
}

TEST_F(Modal, CloseWithResultRules) {
  frame();
  WindowObject* outer = shown_form();
  WindowObject* inner = shown_form();
  outer->modal_level = 1, inner->modal_level = 2;
  const std::string r = "r";
  window_set_current(outer, 0);
  EXPECT_EQ(window_close_result(&r, -1), ERR_INVALID_ARGUMENT) << "not the topmost modal form";
  EXPECT_EQ(obj_get(outer->handle), outer) << "nothing closed";
  // A form kept for showing again (property 20 bit 2) is hidden, not destroyed.
  window_set_current(inner, 0);
  prop_set_field(inner->props, 20, 2);
  bool done = false;
  inner->modal_done = &done;
  EXPECT_EQ(window_close_result(&r, 0), 0);
  EXPECT_EQ(obj_get(inner->handle), inner);
  EXPECT_EQ(prop_field_value(inner->props, 11), 0);
  EXPECT_EQ(inner->modal_level, 0);
  EXPECT_TRUE(done);
  EXPECT_EQ(window_current(), outer) << "the form below becomes current";
  // With the close flag it goes.
  window_set_current(outer, 0);
  const int32_t oid = outer->handle;
  EXPECT_EQ(window_close_result(nullptr, 1), 0);
  EXPECT_EQ(obj_get(oid), nullptr);
  // A part of a combo box is refused.
  WindowObject* f = shown_form();
  WindowObject* combo = control(f, kObjCombo);
  WindowObject* part = control(combo, kObjText);
  part->owner = combo->handle;
  window_set_current(part, 0);
  EXPECT_EQ(window_close_result(nullptr, -1), ERR_NOT_ALLOWED_ON_OBJECT);
  // Through the built-in (ext 135) a plain control closes.
  WindowObject* button = control(f, kObjCommand);
  window_set_current(button, 0);
  const int32_t bid = button->handle;
  EXPECT_EQ(call("object_show", {}).raised, 0);
  EXPECT_EQ(obj_get(bid), nullptr);
}

TEST_F(Modal, WaitVarEnds) {
  // The variable, a pump result per dispatch, the dispatches expected.
  struct Case {
    const char* initial;
    int32_t results[25];
    int set_at;  // dispatch that sets the variable to "1"; 0 never
    int expected;
  };
  const Case cases[] = {
      {"1", {1, 1, 1}, 0, 0},                                                            // not "0": no wait
      {"0", {1, 1, 0}, 0, 3},                                                            // until no message waits
      {"0", {1, 1, 1, 1, 1}, 2, 2},                                                      // until the variable changes
      {"0", {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}, 0, 20},  // 20 timers
      {"0", {2, 1, 2, 1, 0}, 0, 5},
  };
  static const Case* current;
  static uint32_t slot;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.initial + std::to_string(k.expected));
    current = &k;
    dispatches = 0;
    slot = static_cast<uint32_t>(var_alloc_global());
    var_store_cstr(slot, k.initial);
    on_dispatch = [](bool wait) -> int32_t {
      EXPECT_FALSE(wait) << "a wait never blocks";
      if (dispatches == current->set_at) var_store_cstr(slot, "1");
      return dispatches <= 25 ? current->results[dispatches - 1] : 0;
    };
    Out o = run_code(
        [&](bc::ImageBuilder& b) {
          const uint16_t link = b.global(static_cast<uint16_t>(slot));
          b.op("wait_var", {bc::var(link)});
        },
        false);
    EXPECT_EQ(o.raised, 0);
    EXPECT_EQ(dispatches, k.expected);
  }
}

}  // namespace

// A handler that the form's messages run: a nested run of its own, as
// events run their bindings. `show_id` is what it passes to show_modal; an
// id of 0 raises -3015, which stops the handler.
namespace handler {
// Every image stays alive: a handler may run while another is running.
std::list<std::vector<uint8_t>> images;
uint16_t offset = 0;
ErrorCode run(const std::string& show_id) {
  bc::ImageBuilder b;
  offset = b.proc(0, 0, 0);
  b.op("push_const", {bc::k(show_id)});
  b.op("show_modal");
  b.op("pop");
  b.op("return");
  images.push_back(b.finish());
  return vm_call_image(images.back(), offset, {});
}
}  // namespace handler

TEST_F(Modal, AnErrorInAHandlerEndsTheModalShow) {
  frame();
  WindowObject* other = shown_form();
  WindowObject* f = shown_form();
  on_dispatch = [](bool) -> int32_t {
    if (dispatches == 2) {
      EXPECT_EQ(handler::run("0"), ERR_INVALID_ARGUMENT) << "the handler stops";
    }
    return dispatches < 10 ? 1 : 0;
  };
  const Out o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k("after:")});
        b.op("push_const", {bc::k(id(f))});
        b.op("show_modal");
        b.op("concat");
      },
      true);
  EXPECT_EQ(dispatches, 2) << "no message is served after the error";
  EXPECT_EQ(o.stop, 0) << "the error ends at the show: the macro that showed the form goes on";
  EXPECT_EQ(o.raised, ERR_INVALID_ARGUMENT) << "shown once, by the handler";
  EXPECT_EQ(o.value, "after:") << "no result, but the stack keeps its entry and the caller goes on";
  EXPECT_EQ(o.rc, "-3015");
  EXPECT_EQ(f->modal_level, 0);
  EXPECT_EQ(enabled(other), 1) << "what the show disabled is enabled again";
  EXPECT_NE(obj_get(f->handle), nullptr) << "the form stays";
  EXPECT_EQ(vm_catch.depth, 0) << "every context the show opened is closed";
}

TEST_F(Modal, AnErrorInAnInnerShowLeavesTheOuterOneRunning) {
  frame();
  WindowObject* behind = shown_form();
  WindowObject* outer = shown_form();
  WindowObject* inner = shown_form();
  static WindowObject *s_behind, *s_outer, *s_inner;
  static ErrorCode inner_show = 1;
  s_behind = behind, s_outer = outer, s_inner = inner;
  on_dispatch = [](bool) -> int32_t {
    switch (dispatches) {
      case 1:  // a handler of the outer form shows the inner one
        EXPECT_EQ(prop_field_value(s_behind->props, 2), 0);
        inner_show = handler::run(std::to_string(s_inner->handle));
        // Back in the outer loop: the inner show ended by its error.
        EXPECT_EQ(s_inner->modal_level, 0);
        EXPECT_EQ(s_outer->modal_level, 1);
        EXPECT_EQ(prop_field_value(s_outer->props, 2), 1) << "the outer form is usable again";
        EXPECT_EQ(prop_field_value(s_behind->props, 2), 0) << "the window behind stays disabled";
        return 1;
      case 2:  // inside the inner show: its handler fails
        EXPECT_EQ(s_inner->modal_level, 2);
        EXPECT_EQ(prop_field_value(s_outer->props, 2), 0);
        EXPECT_EQ(handler::run("0"), ERR_INVALID_ARGUMENT);
        return 1;
      case 3: {  // the outer form ends normally
        window_set_current(s_outer, 0);
        const std::string r = "outer";
        EXPECT_EQ(window_close_result(&r, -1), 0);
        return 1;
      }
      default:
        return 0;
    }
  };
  const Out o = call("show_modal", {id(outer)});
  EXPECT_EQ(inner_show, 0) << "the handler that showed the inner form was not stopped";
  EXPECT_EQ(dispatches, 3);
  EXPECT_EQ(o.value, "outer");
  EXPECT_EQ(enabled(behind), 1);
  EXPECT_EQ(vm_catch.depth, 0);
}

TEST_F(Modal, AnErrorCaughtInsideTheHandlerDoesNotEndTheShow) {
  frame();
  WindowObject* f = shown_form();
  static WindowObject* s_form;
  s_form = f;
  on_dispatch = [](bool) -> int32_t {
    if (dispatches == 1) {
      // A handler whose error a catch block of its own takes.
      bc::ImageBuilder b;
      const uint16_t lrc = b.global(1);
      const uint16_t p = b.proc(0, 0, 0);
      const bc::Label caught = b.new_label();
      b.op("catch_begin");
      b.op("case_jump_ne", {bc::jmp(caught), bc::k("0"), bc::var(lrc)});
      b.op("push_const", {bc::k("0")});
      b.op("show_modal");
      b.op("pop");
      b.op("catch_end");
      b.bind(caught);
      b.op("return");
      handler::images.push_back(b.finish());
      EXPECT_EQ(vm_call_image(handler::images.back(), p, {}), 0);
    }
    if (dispatches == 2) {
      window_set_current(s_form, 0);
      const std::string r = "kept";
      EXPECT_EQ(window_close_result(&r, -1), 0);
    }
    return 1;
  };
  const Out o = call("show_modal", {id(f)});
  EXPECT_EQ(dispatches, 2);
  EXPECT_EQ(o.value, "kept");
}

// Where the focus goes back to in a form: its remembered object when that is
// still a live object of the same form with a window, else the form itself.
// The constant answers of this platform.

#include <gtest/gtest.h>

#include "forms/picture_services.h"
#include "tests/forms/forms_fixture.h"
#include "winsys/window_rec.h"

namespace {

class FocusServices : public formstest::FormsTest {
 protected:
  // Window records that are never shown: only their addresses matter here.
  XfWindow form_win{}, a_win{}, other_win{};
};

TEST_F(FocusServices, RemembersAndReturnsToTheFormsFocusObject) {
  WindowObject* f = form(3);
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjCommand);  // no window
  WindowObject* g = form(3);
  WindowObject* elsewhere = control(g, kObjText);
  f->client_window = &form_win;
  a->client_window = &a_win;
  elsewhere->client_window = &other_win;

  EXPECT_EQ(obj_focus_target(b), &form_win) << "nothing remembered: the form";
  obj_remember_focus(a);
  EXPECT_EQ(f->focus_child, a->handle);
  EXPECT_EQ(obj_focus_target(b), &a_win);
  EXPECT_EQ(obj_focus_target(f), &a_win);

  obj_remember_focus(b);
  EXPECT_EQ(obj_focus_target(a), &form_win) << "the remembered object has no window";

  f->focus_child = elsewhere->handle;
  EXPECT_EQ(obj_focus_target(a), &form_win) << "an object of another form is not taken";

  obj_remember_focus(a);
  const int32_t id = a->handle;
  obj_destroy(a);
  EXPECT_EQ(f->focus_child, id);
  EXPECT_EQ(obj_focus_target(f), &form_win) << "a closed object is not taken";
  EXPECT_EQ(obj_focus_target(nullptr), nullptr);
}

TEST(PlatformAnswers, Constants) {
  EXPECT_EQ(app_drive_mask(), 0);
  EXPECT_EQ(app_const_3(), 3);
  char text[4] = "abc";
  app_no_text(text);
  EXPECT_EQ(text[0], '\0');
  app_no_text(nullptr);  // no place to store: nothing happens
}

}  // namespace

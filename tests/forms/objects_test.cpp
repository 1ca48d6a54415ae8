// Window objects: the fixed objects, creation with its checks, ids and
// their reuse, destruction, lookup by native window; units and containers.
#include <gtest/gtest.h>

#include "macro/form_port.h"
#include "tests/forms/forms_fixture.h"

namespace {

using namespace formstest;

class Objects : public FormsTest {};

TEST_F(Objects, FixedObjects) {
  WindowObject* app = obj_app_form();
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->handle, 1);
  EXPECT_EQ(app->type, kObjForm);
  EXPECT_EQ(prop_field_value(app->props, 47), 3);
  EXPECT_EQ(prop_field_value(app->props, 11), 1);
  EXPECT_EQ(prop_field_value(app->props, 40), 1124);
  EXPECT_EQ(prop_field_value(app->props, 41), 868);
  EXPECT_EQ(prop_field_value(app->props, 39), 0);
  EXPECT_EQ(obj_frame_object()->handle, 2);
  EXPECT_EQ(obj_frame_object()->type, 0) << "typed when the first buffer is shown";
  EXPECT_EQ(obj_command_line()->handle, 3);
  EXPECT_EQ(obj_command_line()->type, kObjText);
  EXPECT_EQ(obj_command_line()->redraw_on, 1);
  EXPECT_EQ(obj_get(0), nullptr);
  EXPECT_EQ(call("is_window_id", {"0"}).value, "0");
  EXPECT_EQ(call("is_window_id", {"3"}).value, "1");
  EXPECT_EQ(call("is_window_id", {"x"}).value, "0");
  EXPECT_EQ(call("last_window_id", {}).value, "3");
}

TEST_F(Objects, CreationRefusals) {
  frame();
  WindowObject* f = form();
  const std::string fid = std::to_string(f->handle);
  WindowObject* editor = window_new_child(nullptr);
  editor->parent = frame();  // an editor window: the frame's child
  const std::string eid = std::to_string(editor->handle);
  struct Case {
    std::vector<std::string> args;
    ErrorCode raised;
  };
  const Case cases[] = {
      {{"1", "2"}, ERR_CANT_CREATE_MDI_FORM},
      {{"18", fid, "", "0", "0", "9", "9", "64"}, ERR_INVALID_ARGUMENT},
      {{"19", fid, "", "0", "0", "9", "9", "64"}, ERR_INVALID_ARGUMENT},
      {{"0", fid}, ERR_INVALID_ARGUMENT},
      {{"2", "2", "", "0", "0", "9", "9", "64"}, ERR_FORM_CLIPPED_CHILD},
      {{"3", fid, "", "0", "0", "9", "9", "0"}, ERR_CONTROL_NEEDS_PARENT},
      {{"2", "2", "", "0", "0", "9", "9", "0"}, ERR_INVALID_ARGUMENT},        // neither 0x40 nor 0x80
      {{"3", "0", "", "0", "0", "9", "9", "64"}, ERR_INVALID_ARGUMENT},       // no parent
      {{"3", "99", "", "0", "0", "9", "9", "64"}, ERR_INVALID_ARGUMENT},      // a dead id
      {{"3", "2", "", "0", "0", "9", "9", "64"}, ERR_INVALID_PARENT_WINDOW},  // a control on the frame
      {{"3", eid, "", "0", "0", "9", "9", "64"}, ERR_INVALID_PARENT_WINDOW},  // under an editor window
      {{"3", "3", "", "0", "0", "9", "9", "64"}, ERR_INVALID_PARENT_WINDOW},  // under the command line
      {{"x", fid}, ERR_INVALID_NUMBER_ARGUMENT},
  };
  const int32_t last = obj_last_id();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    EXPECT_EQ(call("create_object", c.args).raised, c.raised);
    EXPECT_EQ(obj_last_id(), last) << "nothing made";
  }
}

TEST_F(Objects, CreatesFormsAndControls) {
  frame();
  Out o = call("create_object", {"2", "2", "Find", "100", "200", "3000", "2000", "128", "1"});
  ASSERT_EQ(o.raised, 0);
  WindowObject* f = obj_get(std::stoi(o.rc));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(window_current(), f);
  EXPECT_EQ(f->parent, nullptr) << "a form on the frame is top level";
  EXPECT_EQ(f->type, kObjForm);
  EXPECT_EQ(f->props.type, kObjForm);
  EXPECT_EQ(read(f, 29), "Find");
  EXPECT_EQ(read(f, 40), "100");
  EXPECT_EQ(read(f, 39), "3000");
  EXPECT_EQ(read(f, 16), "1") << "the ninth argument sets the border";

  const std::string fid = std::to_string(f->handle);
  o = call("create_object", {"4", fid, "Wrap", "-1", "-1", "-1", "-1", std::to_string(0x40 | 0x8 | 0x2000)});
  WindowObject* c = obj_get(std::stoi(o.rc));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->parent, f);
  EXPECT_EQ(f->first_child, c);
  EXPECT_EQ(read(c, 11), "0") << "flag 0x8 hides it";
  EXPECT_EQ(c->design_mode, 1);
  EXPECT_EQ(read(c, 40), "-1") << "missing geometry is -1";
  EXPECT_EQ(read(c, 30), "MS Sans Serif");
  EXPECT_EQ(read(c, 16), "") << "a check box has no border property";

  o = call("create_object", {"12", fid, "", "0", "0", "1", "1", std::to_string(0x40 | 0x4000)});
  EXPECT_EQ(read(obj_get(std::stoi(o.rc)), 15), "1");
  o = call("create_object", {"5", fid, "", "0", "0", "1", "1", std::to_string(0x40 | 0x1000 | 0x800)});
  WindowObject* b = obj_get(std::stoi(o.rc));
  EXPECT_EQ(read(b, 1), "1");
  EXPECT_EQ(prop_field_value(b->props, 22), 2);
  EXPECT_EQ(b->prev, c->next->next == b ? c->next : b->prev) << "children keep creation order";
  EXPECT_EQ(f->first_child->prev, b) << "the last created closes the ring";
}

TEST_F(Objects, FailedNativeCreationClosesTheObject) {
  frame();
  WindowObject* f = form();
  NativeWindowOps failing = kNativeHeadless;
  failing.create = [](WindowObject*) { return int32_t{-2087}; };
  native_for_all(failing);
  const int32_t next = obj_last_id() + 1;
  Out o = call("create_object", {"3", std::to_string(f->handle), "", "0", "0", "9", "9", "64"});
  EXPECT_EQ(o.rc, "-2087");
  EXPECT_EQ(obj_get(next), nullptr);
  EXPECT_EQ(f->first_child, nullptr);
}

TEST_F(Objects, IdsAreReusedButSerialsAreNot) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  const int32_t id = a->handle;
  const uint32_t serial = a->serial;
  EXPECT_EQ(obj_destroy(a), 0);
  EXPECT_EQ(obj_get(id), nullptr);
  EXPECT_EQ(obj_last_id(), id) << "the high-water mark stays";
  EXPECT_EQ(call("is_window_id", {std::to_string(id)}).value, "0");
  WindowObject* b = control(f, kObjLabel);
  EXPECT_EQ(b->handle, id) << "last freed, first reused";
  EXPECT_FALSE(obj_same(id, serial));
  EXPECT_TRUE(obj_same(id, b->serial));
}

TEST_F(Objects, DestroyFreesTheSubtreeAndRelinks) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjGroup);
  WindowObject* inner = control(b, kObjCheck);
  WindowObject* c = control(f, kObjLabel);
  const int32_t ib = b->handle, ii = inner->handle;
  EXPECT_EQ(obj_destroy(b), 0);
  EXPECT_EQ(obj_get(ib), nullptr);
  EXPECT_EQ(obj_get(ii), nullptr);
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(c->prev, a);
  // Freeing the first child makes the previous sibling the first child.
  EXPECT_EQ(obj_destroy(a), 0);
  EXPECT_EQ(f->first_child, c);
  EXPECT_EQ(c->next, c);
  EXPECT_EQ(obj_destroy(obj_frame_object()), ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(obj_destroy(obj_app_form()), ERR_NOT_ALLOWED_ON_OBJECT);
}

// Closing the current object hands over to its previous sibling; the last
// one of a ring hands over to its parent.
TEST_F(Objects, TheCurrentObjectClosedHandsOverToItsPreviousSibling) {
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjText);
  window_set_current(b, 0);
  EXPECT_EQ(obj_destroy(b), 0);
  EXPECT_EQ(window_current(), a);
  EXPECT_EQ(obj_destroy(a), 0);
  EXPECT_EQ(window_current(), f);
}

// A window that first shows a buffer becomes an editor window under the
// frame, and quitting its last view closes it. The command line shows its
// buffer without becoming one; the hidden first window stays at its last
// view's quit and shows nothing.
TEST_F(Objects, EditorWindowsComeWithTheirFirstViewAndGoWithTheirLast) {
  frame();
  open("one\n");
  WindowObject* w = window_current();
  EXPECT_EQ(w->props.type, kObjForm);
  EXPECT_EQ(w->parent, obj_frame_object());
  const int32_t id = w->handle;
  EXPECT_EQ(view_quit(), 0);
  EXPECT_EQ(obj_get(id), nullptr) << "the window went with its last view";
  EXPECT_EQ(window_edit_list_head(), nullptr);

  WindowObject* cl = obj_command_line();
  window_set_current(cl, 0);
  ASSERT_EQ(view_attach_buffer(pos_record(buf_->own_pos), buf_, nullptr, 0, false), 0);
  EXPECT_EQ(cl->props.type, kObjText);
  EXPECT_EQ(cl->parent, nullptr);

  WindowObject* hidden = window_new_child(nullptr);
  hidden->flags |= kWinHidden;
  window_set_current(hidden, 0);
  ASSERT_EQ(view_attach_buffer(pos_record(buf_->own_pos), buf_, nullptr, 0, false), 0);
  EXPECT_EQ(view_quit(), 0);
  EXPECT_EQ(obj_get(hidden->handle), hidden) << "the hidden window stays";
  EXPECT_EQ(hidden->view, nullptr);
}

TEST_F(Objects, FindByWindowAndTopLevel) {
  WindowObject* f = form();
  WindowObject* c = control(f, kObjCombo);
  WindowObject* edit = control(f, kObjText);
  edit->owner = c->handle;
  auto* outer = reinterpret_cast<XfWindow*>(0x1000);
  auto* inner = reinterpret_cast<XfWindow*>(0x2000);
  c->frame_window = outer;
  c->client_window = inner;
  EXPECT_EQ(obj_find_by_window(outer), c);
  EXPECT_EQ(obj_find_by_window(inner), c);
  EXPECT_EQ(obj_find_by_window(nullptr), nullptr);
  EXPECT_EQ(obj_top_level(edit), f);
  EXPECT_EQ(obj_owner_or_self(edit), c);
  EXPECT_TRUE(obj_is_part(edit));
  EXPECT_FALSE(obj_is_part(c));
  c->frame_window = c->client_window = nullptr;
}

TEST(Units, TwipsToPixelsRounding) {
  struct Case {
    int32_t twips, per_pixel, pixels;
  };
  const Case cases[] = {{22, 15, 1},   {23, 15, 2},    {7, 14, 1}, {6, 14, 0}, {-22, 15, -1},
                        {-23, 15, -1}, {1440, 15, 96}, {0, 15, 0}, {8, 15, 1}, {7, 15, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(twips_to_pixels(c.twips, c.per_pixel), c.pixels) << c.twips << "/" << c.per_pixel;
}

TEST_F(Objects, UnitsAndContainers) {
  EXPECT_EQ(ctl_twips_to_pixels_x(3, 1440), 1440) << "pixels pass through";
  EXPECT_EQ(ctl_pixels_to_twips_y(3, 7), 7);
  EXPECT_EQ(ctl_twips_to_pixels_x(1, 1440), 96);
  EXPECT_EQ(ctl_pixels_to_twips_x(1, 96), 1440);
  frame();
  WindowObject* f = form(1);
  WindowObject* c = control(f, kObjText);
  EXPECT_EQ(obj_container_unit(c, kContainerScale), 1);
  EXPECT_EQ(obj_container_unit(c, kContainerHandle), f->handle);
  EXPECT_EQ(obj_container_unit(f, kContainerScale), 1) << "a free form works in twips";
  EXPECT_EQ(obj_container_unit(f, kContainerHandle), 0);
  WindowObject* editor = window_new_child(nullptr);
  editor->parent = frame();
  obj_set_type(editor, kObjForm);
  EXPECT_EQ(obj_container_unit(editor, kContainerScale), 3);
  EXPECT_EQ(obj_container_unit(editor, kContainerHandle), kFrameObjectId);
  EXPECT_EQ(obj_container_unit(frame(), kContainerScale), 3);
  EXPECT_EQ(obj_container_unit(obj_command_line(), kContainerScale), 1);
  editor->parent = nullptr;
}

TEST_F(Objects, ScreenBuiltins) {
  screen_metrics().twips_x = 14;
  screen_metrics().width = 800;
  EXPECT_EQ(call("twips_per_pixel_x", {}).value, "14");
  EXPECT_EQ(call("twips_per_pixel_y", {}).value, "15");
  EXPECT_EQ(call("display_width", {}).value, "800");
  // Variables converted in place: x by the horizontal factor, y by the
  // vertical one; unit 3 leaves them.
  for (const char* unit : {"1", "3"}) {
    const uint32_t x = static_cast<uint32_t>(var_alloc_global()), y = static_cast<uint32_t>(var_alloc_global());
    var_store_int(x, 1440);
    var_store_int(y, 1440);
    Out r = run_code(
        [&](bc::ImageBuilder& b) {
          b.op("push_const", {bc::k(unit)});
          b.op("twips_to_pixels",
               {bc::group({b.global(static_cast<uint16_t>(x)), b.global(static_cast<uint16_t>(y))})});
        },
        false);
    EXPECT_EQ(r.raised, 0);
    EXPECT_EQ(value(x), unit[0] == '1' ? "103" : "1440");  // 1440 / 14 = 102.9
    EXPECT_EQ(value(y), unit[0] == '1' ? "96" : "1440");
  }
  Out o = call("empty_string_ext111", {});
  EXPECT_EQ(o.value, "");
  EXPECT_EQ(call("const3_ext151", {"x"}).value, "3");
  EXPECT_EQ(call("get_byte_setting_ext194", {}).value, "0");
  EXPECT_EQ(call("reserved_ext177", {}).raised, ERR_ILLEGAL_OPCODE);
  EXPECT_EQ(call("reserved_ext196", {}).raised, ERR_ILLEGAL_OPCODE);
  EXPECT_EQ(call("noop_ext139", {"a", "b", "c"}).raised, 0);
}

}  // namespace

namespace {

// The push_control instruction's constant: the name and its hash bucket.
std::string control_constant(const std::string& name) { return name + static_cast<char>(obj_name_hash(name)); }

class ControlNames : public Objects {
 protected:
  int32_t find(const std::string& name, int32_t excluded = 0) {
    return form_find_control_by_name(name, static_cast<uint8_t>(obj_name_hash(name)), excluded);
  }
  Out push_control(const std::string& name) {
    return run_code([&](bc::ImageBuilder& b) { b.op("push_control", {bc::k(control_constant(name))}); }, true);
  }
};

// A free-standing form's controls by name, without case and with '_' as
// '-': from the form itself or any control in it, through the lookup, the
// push_control instruction and find_object alike. A part of a combo box and
// a control without a name are not found; the excluded id does not count.
TEST_F(ControlNames, AreFoundInTheirFreeForm) {
  frame();
  WindowObject* f = form();
  WindowObject* ok = control(f, kObjCommand);
  WindowObject* group = control(f, kObjGroup);
  WindowObject* inner = control(group, kObjCheck);
  WindowObject* combo = control(f, kObjCombo);
  WindowObject* part = control(f, kObjText);
  part->owner = combo->handle;
  control(f, kObjLabel);  // no name
  ASSERT_EQ(set(ok->handle, 28, "ok_button").raised, 0);
  ASSERT_EQ(set(inner->handle, 28, "Case").raised, 0);
  ASSERT_EQ(set(part->handle, 28, "edit").raised, 0);
  window_set_current(inner, 0);
  EXPECT_EQ(find("OK-BUTTON"), ok->handle);
  EXPECT_EQ(find("ok_button"), ok->handle);
  EXPECT_EQ(find("case"), inner->handle);
  EXPECT_EQ(find("case", inner->handle), 0) << "the excluded control does not count";
  EXPECT_EQ(find("edit"), 0) << "parts are not entered";
  EXPECT_EQ(find("nothing"), 0);
  EXPECT_NE(f->name_index, 0) << "the table stays for the next lookup";
  window_set_current(f, 0);
  EXPECT_EQ(push_control("Ok_Button").value, std::to_string(ok->handle));
  EXPECT_EQ(call("find_object", {"ok_button"}).value, std::to_string(ok->handle));
  EXPECT_EQ(call("find_object", {"nothing"}).value, "0");
  const Out missing = push_control("nothing");
  EXPECT_EQ(missing.stop, ERR_CONTROL_NOT_FOUND);
  EXPECT_EQ(msg_arg.view(), "nothing");
}

// A renamed control is found by its new name only, a closed one not at
// all, and a form that is no free-standing form (an MDI form, an editor
// window) has no table.
TEST_F(ControlNames, FollowRenamesAndClosesAndOnlyFreeForms) {
  frame();
  WindowObject* f = form();
  WindowObject* a = control(f, kObjText);
  WindowObject* b = control(f, kObjText);
  ASSERT_EQ(set(a->handle, 28, "first").raised, 0);
  ASSERT_EQ(set(b->handle, 28, "second").raised, 0);
  window_set_current(f, 0);
  EXPECT_EQ(find("first"), a->handle);
  ASSERT_EQ(set(a->handle, 28, "renamed").raised, 0);
  EXPECT_EQ(find("first"), 0);
  EXPECT_EQ(find("renamed"), a->handle);
  ASSERT_EQ(obj_destroy(b), 0);
  window_set_current(f, 0);
  EXPECT_EQ(find("second"), 0);
  f->mdi_form = 1;
  EXPECT_EQ(find("renamed"), 0);
  f->mdi_form = 0;
  WindowObject* editor = window_new_child(nullptr);
  editor->parent = frame();  // an editor window: the frame's child
  obj_set_type(editor, kObjForm);
  WindowObject* inside = control(editor, kObjText);
  ASSERT_EQ(set(inside->handle, 28, "inside").raised, 0);
  window_set_current(inside, 0);
  EXPECT_EQ(find("inside"), 0) << "an editor window is the frame's child";
}

}  // namespace

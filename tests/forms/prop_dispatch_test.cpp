// The property dispatch: every id against every object type, templates,
// handles, the opcodes' stack rules, refusals, and the accessors' effects.
#include <gtest/gtest.h>

#include <set>

#include "forms/templates.h"
#include "macro/names.h"
#include "tests/forms/forms_fixture.h"

namespace {

using namespace formstest;

class Dispatch : public FormsTest {};

// Every id on a live object of every type (none showing a buffer): a get
// is refused exactly when the type is not in the row's mask or the row
// needs a view or text display; a set exactly when, besides, the row has
// no setter. Nothing else is refused and nothing crashes.
TEST_F(Dispatch, EveryIdOnEveryType) {
  frame();
  WindowObject* f = form();
  // Accessors that refuse on their own, with their code.
  const std::set<int> input_field = {138, 139};
  for (int type = 0; type <= 19; ++type) {
    WindowObject* o = control(f, kObjLabel);
    o->type = type;
    o->props.type = static_cast<uint16_t>(type);
    window_set_current(o, 0);
    for (const PropertyRecord& r : kPropertyTable) {
      SCOPED_TRACE(testing::Message() << "id " << int(r.id) << " type " << type);
      const bool accepts = (r.type_mask & obj_type_bit(type)) && !(r.flags & (kPropView | kPropDisplay));
      Out g = get(r.id);
      if (!accepts || input_field.count(r.id)) {
        EXPECT_EQ(g.raised, ERR_NOT_ALLOWED_ON_OBJECT);
      } else {
        EXPECT_EQ(g.raised, 0);
        EXPECT_EQ(g.stop, 0);
      }
      if (!accepts || !r.setter) {
        const std::string before(reinterpret_cast<const char*>(&o->props), sizeof o->props);
        EXPECT_EQ(set(r.id, "0").raised, ERR_NOT_ALLOWED_ON_OBJECT);
        EXPECT_EQ(before, std::string(reinterpret_cast<const char*>(&o->props), sizeof o->props)) << "block unchanged";
      }
    }
    o->type = kObjLabel;
    o->props.type = kObjLabel;
    obj_destroy(o);
  }
}

TEST_F(Dispatch, HandlesThatNameNothing) {
  WindowObject* f = form();
  const int32_t dead = control(f, kObjText)->handle;
  obj_destroy(obj_get(dead));
  for (const char* h : {"abc", "0", "-5", "99", "4294967296"}) {
    Out o = run_code(
        [&](bc::ImageBuilder& b) {
          b.op("push_const", {bc::k(h)});
          b.op("property_get_handle", {pid(66), z(0)});
        },
        true);
    EXPECT_EQ(o.raised, ERR_INVALID_OBJECT_HANDLE) << h;
  }
  EXPECT_EQ(get(dead, 66).raised, ERR_INVALID_OBJECT_HANDLE);
  EXPECT_EQ(set(dead, 11, "1").raised, ERR_INVALID_OBJECT_HANDLE);
}

TEST_F(Dispatch, TemplateRecords) {
  ASSERT_EQ(name_pool_init(), 0);
  PropertyBlock recs[2] = {};
  obj_init_type_defaults(recs[0], kObjForm);
  recs[0].type = kObjForm;
  recs[0].child = 1;
  obj_init_type_defaults(recs[1], kObjCheck);
  recs[1].type = kObjCheck;
  recs[1].next = 1;                                  // an only child's ring names itself
  prop_block_set_string(recs[1], 30, std::nullopt);  // live-heap string of the initialiser
  const int32_t tpl = tpl_create("find-form", recs);
  ASSERT_GT(tpl, 0);
  const int64_t form_h = int64_t{tpl} << 16, check_h = form_h | 1;
  EXPECT_EQ(get(check_h, 66).value, "4") << "the record's type, without any window";
  EXPECT_EQ(get(form_h, 67).value, std::to_string(check_h)) << "first child as a template handle";
  EXPECT_EQ(get(check_h, 68).value, std::to_string(check_h)) << "an only child is its own next sibling";
  EXPECT_EQ(set(check_h, 28, "box").raised, ERR_REQUIRES_DISPLAYED_OBJECT) << "a name is not set on templates";
  EXPECT_EQ(get(check_h, 103).raised, ERR_REQUIRES_DISPLAYED_OBJECT);
  EXPECT_EQ(set(check_h, 43, "1").raised, ERR_REQUIRES_DISPLAYED_OBJECT);
  EXPECT_EQ(set(check_h, 29, "Wrap around").raised, 0);
  EXPECT_EQ(get(check_h, 29).value, "Wrap around");
  EXPECT_EQ(set(check_h, 42, "1").raised, 0);
  EXPECT_EQ(get(check_h, 42).value, "1");
  EXPECT_EQ(set(check_h, 9, "1").raised, ERR_NOT_ALLOWED_ON_OBJECT) << "a check box has no max button";
  EXPECT_EQ(get(form_h | 2, 66).raised, ERR_INVALID_OBJECT_HANDLE) << "past the last record";
  PropertyBlock back{};
  ASSERT_TRUE(tpl_read(static_cast<uint32_t>(tpl), 1, &back));
  EXPECT_EQ(prop_field_value(back, 42), 1) << "kept in the template";
  PropertyBlock blank[1] = {};
  const int32_t empty = tpl_create("blank", blank);
  EXPECT_EQ(get(int64_t{empty} << 16, 66).raised, ERR_INVALID_OBJECT_HANDLE) << "a record of type 0";
  EXPECT_EQ(run_code(
                [&](bc::ImageBuilder& b) {
                  b.op("push_const", {bc::k(std::to_string(check_h))});
                  b.op("with_object", {bc::make('d', 0)});
                  b.op("property_get_current", {pid(66)});
                },
                true)
                .raised,
            ERR_REQUIRES_DISPLAYED_OBJECT);
}

TEST_F(Dispatch, OpcodeStackRules) {
  WindowObject* f = form();
  WindowObject* c = control(f, kObjCheck);
  prop_block_set_string(c->props, 29, "Case");
  window_set_current(f, 0);
  const std::string h = std::to_string(c->handle);
  const uint32_t g1 = static_cast<uint32_t>(var_alloc_global()), g2 = static_cast<uint32_t>(var_alloc_global());
  // op84 with keep: the value stays for an assignment used as a value.
  Out o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k(h)});
        b.op("push_const", {bc::k("1")});
        b.op("property_set_handle", {pid(42), z(1)});
      },
      true);
  EXPECT_EQ(o.value, "1");
  EXPECT_EQ(read(c, 42), "1");
  // op85 with depth 2: the handle one below the top stays, the value goes on top.
  o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k(h)});
        b.op("push_const", {bc::k("other")});
        b.op("property_get_handle", {pid(29), z(2)});
        b.op("assign", {bc::var(b.global(static_cast<uint16_t>(g1)))});
        b.op("assign", {bc::var(b.global(static_cast<uint16_t>(g2)))});
      },
      true);
  EXPECT_EQ(value(g1), "Case");
  EXPECT_EQ(value(g2), "other");
  EXPECT_EQ(o.value, h);
  // op60: the next instruction runs as the handle's object; its result
  // takes the handle's place; the current object comes back.
  o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k(h)});
        b.op("with_object", {bc::make('d', 0)});
        b.op("property_get_current", {pid(29)});
      },
      true);
  EXPECT_EQ(o.value, "Case");
  EXPECT_EQ(window_current(), f);
  // A value that is not a number changes nothing.
  EXPECT_EQ(set(c->handle, 42, "x1").raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(read(c, 42), "1");
}

// The depth operands come from the byte code, which may be damaged: a depth
// past the stack is refused as an illegal opcode, never read.
TEST_F(Dispatch, DepthsPastTheStackAreRefused) {
  WindowObject* f = form();
  const std::string h = std::to_string(f->handle);
  Out o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k(h)});
        b.op("property_get_handle", {pid(66), z(9)});
      },
      true);
  EXPECT_EQ(o.raised, ERR_ILLEGAL_OPCODE);
  o = run_code(
      [&](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k(h)});
        b.op("with_object", {bc::make('d', 4)});
        b.op("property_get_current", {pid(66)});
      },
      true);
  EXPECT_EQ(o.raised, ERR_ILLEGAL_OPCODE);
}

// op60 around a call: the called procedure runs with the object current and
// the instruction ends only when it has returned.
TEST_F(Dispatch, WithObjectAroundACall) {
  WindowObject* f = form();
  WindowObject* c = control(f, kObjLabel);
  prop_block_set_string(c->props, 29, "inner");
  window_set_current(f, 0);
  Out o = run_code(
      [&](bc::ImageBuilder& b) {
        bc::Label over = b.new_label();
        b.op("jump", {bc::jmp(over)});
        const uint16_t callee = b.proc(0, 0, 0);
        b.op("property_get_current", {pid(29)});
        b.op("push_const", {bc::k("!")});
        b.op("concat");
        b.op("return_value");
        b.bind(over);
        b.op("push_const", {bc::k(std::to_string(c->handle))});
        b.op("with_object", {bc::make('d', 0)});
        b.op("call_link", {bc::cnt(0), bc::lnk(b.private_proc(callee))});
      },
      true);
  EXPECT_EQ(o.raised, 0);
  EXPECT_EQ(o.value, "inner!");
  EXPECT_EQ(window_current(), f);
}

TEST_F(Dispatch, DesignChangedMarks) {
  WindowObject* f = form();
  WindowObject* c = control(f, kObjText);
  c->design_mode = 1;
  for (int id : {72, 73, 74}) {
    c->design_changed = 0;
    set(c->handle, id, id == 72 ? "1" : "0");
    EXPECT_EQ(c->design_changed, 0) << id;
  }
  set(c->handle, 38, "4");
  EXPECT_EQ(c->design_changed, 1);
  c->design_mode = 0;
  c->design_changed = 0;
  set(c->handle, 38, "5");
  EXPECT_EQ(c->design_changed, 0) << "only design-mode objects";
}

TEST_F(Dispatch, StringsKeepOrFreeTheirHandles) {
  WindowObject* f = form();
  EXPECT_EQ(set(f->handle, 25, "tag").raised, 0);
  const uint32_t h = prop_get_field(f->props, 25);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(set(f->handle, 25, "").raised, 0);
  EXPECT_EQ(prop_get_field(f->props, 25), h) << "the empty string keeps a handle";
  EXPECT_EQ(read(f, 25), "");
  EXPECT_EQ(prop_block_set_string(f->props, 25, std::nullopt), 0);
  EXPECT_EQ(prop_get_field(f->props, 25), 0u) << "no string frees it";
  EXPECT_EQ(set(f->handle, 152, "one").raised, 0);
  EXPECT_EQ(read(f, 152), "one");
  EXPECT_EQ(read(f, 153), "");
}

TEST_F(Dispatch, SetterRulesAndRefusals) {
  frame();
  WindowObject* f = form();
  WindowObject* chk = control(f, kObjCheck);
  WindowObject* b1 = control(f, kObjCommand);
  WindowObject* b2 = control(f, kObjCommand);
  const std::string frame_h = std::to_string(kFrameObjectId);
  struct Case {
    WindowObject* obj;
    int id;
    const char* value;
    ErrorCode raised;
    const char* reads;  // nullptr: not read
  };
  const Case cases[] = {
      {chk, 42, "5", 0, "1"},  // a check box takes 3 and more as 1
      {chk, 42, "2", 0, "2"},
      {chk, 24, "12", ERR_INVALID_ARGUMENT, "0"},
      {chk, 24, "255", 0, "255"},
      {chk, 24, "11", 0, "11"},
      {chk, 28, "my_box", 0, "my_box"},
      {chk, 5, "10x16", 0, "10x16"},
      {chk, 5, "12", 0, "12"},
      {chk, 5, "ax3", ERR_INVALID_NUMBER_ARGUMENT, "12"},
      {chk, 72, "1", ERR_INVALID_ARGUMENT, "0"},  // must equal the current design mode
      {chk, 72, "0", 0, "0"},
      {chk, 27, "77", ERR_INVALID_ARGUMENT, "0"},  // not an event table
      {chk, 16, "1", ERR_NOT_ALLOWED_ON_OBJECT, nullptr},
      {f, 23, "M", 0, "M"},
      {f, 23, "Q", ERR_INVALID_ARGUMENT, "M"},
      {chk, 23, "N", ERR_NOT_ALLOWED_ON_OBJECT, ""},  // only the frame object and forms
      {obj_command_line(), 11, "0", ERR_NOT_ALLOWED_ON_OBJECT, "1"},
      {obj_command_line(), 2, "0", ERR_NOT_ALLOWED_ON_OBJECT, "1"},
      {obj_frame_object(), 11, "0", ERR_NOT_ALLOWED_ON_OBJECT, "1"},
      {chk, 101, "255", 0, "223"},  // flag 0x20 keeps its value
      {chk, 103, "9999", ERR_INVALID_ARGUMENT, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id << " = " << c.value);
    EXPECT_EQ(set(c.obj->handle, c.id, c.value).raised, c.raised);
    if (c.reads) {
      EXPECT_EQ(read(c.obj, c.id), c.reads);
    }
  }
  EXPECT_EQ(prop_block_string(chk->props, 28), "my-box") << "stored with '-'";
  EXPECT_EQ(obj_find_by_name("MY_BOX"), chk);
  // One default button per form.
  set(b1->handle, 1, "1");
  set(b2->handle, 1, "1");
  EXPECT_EQ(read(b1, 1), "0");
  EXPECT_EQ(read(b2, 1), "1");
}

TEST_F(Dispatch, ScaleModeConvertsChildren) {
  WindowObject* f = form(1);
  WindowObject* c = control(f, kObjText);
  prop_set_field(c->props, 40, 1440);
  prop_set_field(c->props, 39, 22);
  EXPECT_EQ(set(f->handle, 47, "3").raised, 0);
  EXPECT_EQ(read(c, 40), "96");
  EXPECT_EQ(read(c, 39), "1");
  EXPECT_EQ(set(f->handle, 47, "1").raised, 0);
  EXPECT_EQ(read(c, 40), "1440");
  EXPECT_EQ(set(c->handle, 47, "3").raised, ERR_NOT_ALLOWED_ON_OBJECT) << "only forms and pictures";
}

TEST_F(Dispatch, GeometryFollowsTheNativeWindow) {
  WindowObject* f = form(1);
  WindowObject* c = control(f, kObjText);
  static int32_t rect[4] = {10, 20, 30, 40};
  NativeWindowOps ops = kNativeHeadless;
  ops.get_rect = [](const WindowObject*, int32_t r[4]) {
    std::copy(rect, rect + 4, r);
    return true;
  };
  ops.set_rect = [](WindowObject*, const int32_t r[4]) { std::copy(r, r + 4, rect); };
  native_for_all(ops);
  EXPECT_EQ(read(c, 40), "150") << "10 px in twips";
  EXPECT_EQ(read(c, 36), "600");
  EXPECT_EQ(set(c->handle, 39, "1500").raised, 0);
  EXPECT_EQ(rect[2], 100);
  EXPECT_EQ(set(obj_command_line()->handle, 40, "1").raised, ERR_NOT_ALLOWED_ON_OBJECT);
}

TEST_F(Dispatch, DirectEntryPoints) {
  WindowObject* f = form();
  window_set_current(f, 0);
  EXPECT_EQ(prop_set_int_by_handle(0, 38, 7), 0);
  EXPECT_EQ(prop_get_int_by_handle(0, 38), 7);
  EXPECT_EQ(prop_set_cstr_by_handle(f->handle, 29, "Title"), 0);
  char small[4];
  EXPECT_EQ(prop_get_cstr_by_handle(f->handle, 29, small, sizeof small), 3);
  EXPECT_STREQ(small, "Tit");
  const int32_t top = vm_stack.top;
  EXPECT_EQ(prop_get_int_by_handle(f->handle, 21), 0) << "a refused get gives 0";
  EXPECT_EQ(vm_stack.top, top) << "and leaves the stack as it was";
}

}  // namespace

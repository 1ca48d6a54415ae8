// Controls copied from a live form and pasted as new objects, headless:
// every type round trips with its properties, strings and order; places
// made relative and carried in pixels; forms copied whole; names made
// unique and tab indexes renumbered only where they clash; design mode
// taken from the container; the creation events a paste raises; every
// refusal, and a failed paste that keeps what it made.
#include "forms/clip_controls.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/le.h"
#include "forms/templates.h"
#include "macro/names.h"
#include "tests/forms/forms_fixture.h"
#include "tests/macro/key_fixture.h"

namespace {

using namespace formstest;

// The children of an object in ring order.
std::vector<WindowObject*> kids(const WindowObject* o) {
  std::vector<WindowObject*> v;
  if (WindowObject* first = o->first_child) {
    WindowObject* c = first;
    do {
      v.push_back(c);
      c = c->next;
    } while (c != first);
  }
  return v;
}

std::string name_of(const WindowObject* o) { return std::string(prop_block_string(o->props, 28)); }

// The block with the string fields and the given numeric fields cleared:
// what must be equal between an object and its pasted copy.
PropertyBlock comparable(const WindowObject* o, std::initializer_list<uint32_t> also = {}) {
  PropertyBlock b = o->props;
  b.next = b.child = b.link3 = 0;
  for (uint32_t id : kClipStringProps) prop_set_field(b, id, 0);
  for (uint32_t id : also) prop_set_field(b, id, 0);
  return b;
}
bool same_block(const PropertyBlock& a, const PropertyBlock& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The string properties an object of its type holds, in block order.
std::vector<std::string> strings_of(const WindowObject* o) {
  std::vector<std::string> v;
  for (uint32_t id : kClipStringProps)
    v.push_back(tpl_is_string_prop(static_cast<uint32_t>(o->type), id) ? std::string(prop_block_string(o->props, id))
                                                                       : "");
  return v;
}

class ClipCtl : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    clip_put({});  // an empty clipboard
    frame();
  }
  void TearDown() override {
    clip_put({});  // an empty clipboard
    FormsTest::TearDown();
  }

  // A free form (twips unless told) in or out of design mode.
  WindowObject* free_form(bool design, int32_t scale = 1) {
    WindowObject* f = form(scale);
    f->design_mode = design ? 1 : 0;
    prop_block_set_string(f->props, 28, "form1");
    return f;
  }
  // A control with a name, place (in the parent's unit) and tab index.
  WindowObject* ctl(WindowObject* parent, int32_t type, const std::string& name, int32_t x, int32_t y,
                    int32_t tab = 0) {
    WindowObject* c = control(parent, type);
    c->design_mode = parent->design_mode;
    if (!name.empty()) prop_block_set_string(c->props, 28, name);
    prop_set_field(c->props, 40, static_cast<uint32_t>(x));
    prop_set_field(c->props, 41, static_cast<uint32_t>(y));
    prop_set_field(c->props, 39, 1500);
    prop_set_field(c->props, 36, 450);
    prop_set_field(c->props, 38, static_cast<uint32_t>(tab));
    return c;
  }
  // Copies with `from` current; the rc of the built-in.
  std::string copy_from(WindowObject* from) {
    window_set_current(from, 0);
    const Out o = call("copy_controls", {});
    EXPECT_EQ(o.raised, 0);
    return o.rc;
  }
  // Pastes with `into` current; the rc, and the objects made (new ids).
  std::string paste_into(WindowObject* into, std::vector<WindowObject*>* made = nullptr) {
    const int32_t last = obj_last_id();
    window_set_current(into, 0);
    const Out o = call("paste", {});
    EXPECT_EQ(o.raised, 0);
    if (made) {
      made->clear();
      for (int32_t id = 1; id <= obj_last_id(); ++id)
        if (WindowObject* w = obj_get(id); w && id > last) made->push_back(w);
    }
    return o.rc;
  }
};

TEST_F(ClipCtl, EveryTypeRoundTripsWithItsPropertiesStringsAndOrder) {
  WindowObject* src = free_form(true);
  std::vector<WindowObject*> originals;
  int32_t i = 0;
  for (int32_t type = kObjText; type <= kObjSpin; ++type, ++i) {
    WindowObject* c = ctl(src, type, std::string(obj_type_name(type)) + "7", 150 + 30 * i, 300 + 15 * i, 0);
    // Distinct words in every property word, and a string in every string
    // property the type holds.
    for (int w = 0; w < kPropWords; ++w)
      if (w != 4 && w != 5 && w != 6 && w != 7 && w != 9 && w != 24 && w != 25)  // the words holding strings
        c->props.words[w] ^= static_cast<uint32_t>(0x01010101u * static_cast<uint32_t>(w + type)) & 0x00F000F0u;
    prop_set_field(c->props, 40, static_cast<uint32_t>(150 + 30 * i));
    prop_set_field(c->props, 41, static_cast<uint32_t>(300 + 15 * i));
    prop_set_field(c->props, 39, 1500);
    prop_set_field(c->props, 36, 450);
    for (uint32_t id : kClipStringProps)
      if (id != 28 && tpl_is_string_prop(static_cast<uint32_t>(type), id))
        prop_block_set_string(c->props, id, "s" + std::to_string(id) + "-" + std::to_string(type));
    c->selected = 1;
    originals.push_back(c);
  }
  // A frame holding two controls, selected itself and with one child
  // selected too: the child goes with the frame, once.
  WindowObject* group = ctl(src, kObjGroup, "frame9", 3000, 3000);
  WindowObject* inner1 = ctl(group, kObjCheck, "inner1", 15, 30);
  WindowObject* inner2 = ctl(group, kObjRadio, "inner2", 45, 60);
  group->selected = inner2->selected = 1;
  WindowObject* unselected = ctl(src, kObjLabel, "left-alone", 0, 0);
  (void)unselected;
  ASSERT_EQ(copy_from(src), "0");

  WindowObject* dst = free_form(true);
  prop_block_set_string(dst->props, 28, "other");
  std::vector<WindowObject*> made;
  ASSERT_EQ(paste_into(dst, &made), "0");
  // The types in their order, then the frame with its two children.
  const std::vector<WindowObject*> pasted = kids(dst);
  ASSERT_EQ(pasted.size(), originals.size() + 1);
  ASSERT_EQ(made.size(), originals.size() + 3) << "each object once";
  for (size_t k = 0; k < originals.size(); ++k) {
    SCOPED_TRACE(originals[k]->type);
    const WindowObject* a = originals[k];
    const WindowObject* b = pasted[k];
    EXPECT_EQ(b->type, a->type);
    EXPECT_EQ(b->props.type, a->type);
    EXPECT_TRUE(same_block(comparable(a, {40, 41}), comparable(b, {40, 41})));
    EXPECT_EQ(strings_of(b), strings_of(a));
    EXPECT_EQ(name_of(b), name_of(a)) << "no clash in the other form";
    // Relative to the selection's corner (150, 300), the same twips again.
    EXPECT_EQ(prop_field_value(b->props, 40), prop_field_value(a->props, 40) - 150);
    EXPECT_EQ(prop_field_value(b->props, 41), prop_field_value(a->props, 41) - 300);
    EXPECT_EQ(b->design_mode, 1);
    EXPECT_EQ(b->selected, 1);
    EXPECT_EQ(b->design_changed, 1);
  }
  WindowObject* g = pasted.back();
  EXPECT_EQ(g->type, kObjGroup);
  const std::vector<WindowObject*> inner = kids(g);
  ASSERT_EQ(inner.size(), 2u);
  EXPECT_TRUE(same_block(comparable(inner1), comparable(inner[0])));
  EXPECT_TRUE(same_block(comparable(inner2), comparable(inner[1])));
  EXPECT_EQ(name_of(inner[1]), "inner2");
  EXPECT_EQ(inner[0]->selected, 0) << "only the top-level object is selected";
  EXPECT_EQ(inner[0]->design_changed, 1) << "its whole tree is marked changed";
  EXPECT_EQ(window_current(), g) << "the last pasted object is current";
  EXPECT_EQ(src->first_child->selected, 1) << "copying leaves the source selection";
}

TEST_F(ClipCtl, ThePlaceTravelsInPixelsAndLandsInTheContainersUnit) {
  WindowObject* src = free_form(true);  // twips
  WindowObject* a = ctl(src, kObjCommand, "a", 600, 900);
  WindowObject* b = ctl(src, kObjCommand, "b", 300, 1200);
  a->selected = b->selected = 1;
  ASSERT_EQ(copy_from(src), "0");
  std::vector<ClipObject> objects;
  window_set_current(src, 0);
  ASSERT_EQ(clip_collect_controls(&objects), 0);
  ASSERT_EQ(objects.size(), 2u);
  struct Want {
    int32_t x, y, w, h;
  };
  const Want in_block[] = {{20, 0, 100, 30}, {0, 20, 100, 30}};  // pixels, from the corner (300, 900)
  for (size_t k = 0; k < 2; ++k) {
    const PropertyBlock& r = objects[k].records[0].block;
    EXPECT_EQ(prop_field_value(r, 40), in_block[k].x) << k;
    EXPECT_EQ(prop_field_value(r, 41), in_block[k].y) << k;
    EXPECT_EQ(prop_field_value(r, 39), in_block[k].w) << k;
    EXPECT_EQ(prop_field_value(r, 36), in_block[k].h) << k;
  }
  struct Case {
    int32_t scale;
    Want a;
  };
  const Case cases[] = {{1, {300, 0, 1500, 450}}, {3, {20, 0, 100, 30}}};
  for (const Case& c : cases) {
    WindowObject* dst = free_form(true, c.scale);
    std::vector<WindowObject*> made;
    ASSERT_EQ(paste_into(dst, &made), "0");
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(prop_field_value(made[0]->props, 40), c.a.x) << c.scale;
    EXPECT_EQ(prop_field_value(made[0]->props, 41), c.a.y) << c.scale;
    EXPECT_EQ(prop_field_value(made[0]->props, 39), c.a.w) << c.scale;
    EXPECT_EQ(prop_field_value(made[0]->props, 36), c.a.h) << c.scale;
  }
}

TEST_F(ClipCtl, AFormSelectedWithItsControlsIsCopiedWholeAsANewDesignForm) {
  WindowObject* src = free_form(false);
  prop_set_field(src->props, 40, 2000);
  prop_set_field(src->props, 41, 1000);
  WindowObject* t = ctl(src, kObjText, "text1", 100, 100, 1);
  WindowObject* hidden = ctl(src, kObjCommand, "go", 100, 600, 2);
  src->selected = t->selected = 1;
  (void)hidden;
  std::vector<ClipObject> objects;
  window_set_current(t, 0);
  ASSERT_EQ(clip_collect_controls(&objects), 0);
  ASSERT_EQ(objects.size(), 1u) << "the form once, with all its controls";
  ASSERT_EQ(objects[0].records.size(), 3u);
  EXPECT_EQ(prop_field_value(objects[0].records[0].block, 40), 0) << "a selected form gives the corner";
  EXPECT_EQ(prop_field_value(objects[0].records[0].block, 39), prop_field_value(src->props, 39))
      << "a form's size stays in its own unit";
  ASSERT_EQ(copy_from(t), "0");

  // Pasted from a control of another form: a new top-level form.
  WindowObject* other = free_form(false);
  prop_block_set_string(other->props, 28, "form7");
  WindowObject* in_other = ctl(other, kObjLabel, "l", 0, 0);
  std::vector<WindowObject*> made;
  ASSERT_EQ(paste_into(in_other, &made), "0");
  ASSERT_EQ(made.size(), 3u);
  WindowObject* f = made[0];
  EXPECT_EQ(f->type, kObjForm);
  EXPECT_EQ(f->parent, obj_app_form()) << "under the application object";
  EXPECT_EQ(f->design_mode, 1) << "a pasted form is in design mode";
  EXPECT_EQ(made[1]->design_mode, 1);
  EXPECT_EQ(name_of(f), "form8") << "one past the largest live form number";
  EXPECT_EQ(name_of(made[1]), "text1") << "its controls keep their names";
  EXPECT_EQ(prop_field_value(made[1]->props, 38), 1);
  EXPECT_EQ(prop_field_value(made[2]->props, 38), 2);
  EXPECT_EQ(f->selected, 1);
  EXPECT_EQ(window_current(), f);
  EXPECT_EQ(kids(other).size(), 1u) << "nothing went into the other form";
}

TEST_F(ClipCtl, NamesAreMadeUniqueWithinTheForm) {
  struct Case {
    const char* copied;
    std::vector<std::string> present;  // names of the target form's controls
    const char* want;
  };
  const Case cases[] = {
      {"text1", {"text1", "text4"}, "text5"},
      {"TEXT1", {"text1", "text4"}, "text5"},                   // case ignored
      {"text1", {"text2"}, "text1"},                            // unused: kept
      {"mine", {"mine", "text3", "textx", "text9z"}, "text4"},  // unparseable numbers ignored
      {"my_box", {"my-box"}, "text1"},                          // '_' and '-' are one
      {"", {"text1"}, ""},                                      // no name: none given
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.copied);
    WindowObject* src = free_form(true);
    ctl(src, kObjText, c.copied, 0, 0)->selected = 1;
    ASSERT_EQ(copy_from(src), "0");
    WindowObject* dst = free_form(true);
    for (const std::string& n : c.present) ctl(dst, kObjText, n, 0, 0);
    std::vector<WindowObject*> made;
    ASSERT_EQ(paste_into(dst, &made), "0");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(name_of(made[0]), c.want);
  }
}

TEST_F(ClipCtl, TabIndexesAreRenumberedOnlyWhenTheyClash) {
  struct Case {
    std::vector<int32_t> copied, present, want;
  };
  const Case cases[] = {
      {{3, 4}, {1, 2}, {3, 4}},  // free in the target: kept
      {{2, 5}, {1, 2}, {3, 4}},  // one clashes: every pasted control renumbered
      {{0, 0}, {1, 6}, {0, 0}},  // zero is never a clash
  };
  for (const Case& c : cases) {
    WindowObject* src = free_form(true);
    for (int32_t t : c.copied) ctl(src, kObjCheck, "", 0, 0, t)->selected = 1;
    ASSERT_EQ(copy_from(src), "0");
    WindowObject* dst = free_form(true);
    for (int32_t t : c.present) ctl(dst, kObjCheck, "", 0, 0, t);
    std::vector<WindowObject*> made;
    ASSERT_EQ(paste_into(dst, &made), "0");
    std::vector<int32_t> got;
    for (WindowObject* m : made) got.push_back(prop_field_value(m->props, 38));
    EXPECT_EQ(got, c.want);
  }
}

TEST_F(ClipCtl, PastingIntoARunningFormAndIntoContainers) {
  WindowObject* src = free_form(true);
  ctl(src, kObjCommand, "go", 0, 0)->selected = 1;
  ASSERT_EQ(copy_from(src), "0");
  WindowObject* run = free_form(false);
  WindowObject* pic = ctl(run, kObjPicture, "pic", 0, 0);
  WindowObject* btn = ctl(run, kObjCommand, "b", 0, 0);
  pic->selected = btn->selected = 1;
  struct Case {
    WindowObject* current;
    WindowObject* container;
  };
  const Case cases[] = {{run, run}, {pic, pic}, {btn, run}};
  for (const Case& c : cases) {
    std::vector<WindowObject*> made;
    ASSERT_EQ(paste_into(c.current, &made), "0");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->parent, c.container);
    EXPECT_EQ(made[0]->design_mode, 0) << "the container's mode";
    EXPECT_EQ(made[0]->flags & 0x40, 0x40) << "its creation events were sent";
  }
  EXPECT_EQ(pic->selected, 0) << "the paste cleared the form's selection";
  EXPECT_EQ(btn->selected, 0);
}

TEST_F(ClipCtl, Refusals) {
  WindowObject* src = free_form(true);
  WindowObject* c = ctl(src, kObjCommand, "go", 0, 0);
  // Nothing selected.
  EXPECT_EQ(copy_from(src), std::to_string(ERR_NOTHING_SELECTED));
  EXPECT_EQ(copy_from(c), std::to_string(ERR_NOTHING_SELECTED));
  // Objects that copy nothing and paste nothing.
  WindowObject* editor = window_new_child(nullptr);
  obj_set_type(editor, kObjForm);
  editor->parent = frame();  // an editor window: the frame's child
  c->selected = 1;
  for (WindowObject* o : {obj_app_form(), obj_frame_object(), obj_command_line(), editor}) {
    SCOPED_TRACE(o->handle);
    window_set_current(o, 0);
    EXPECT_EQ(call("copy_controls", {"1"}).stop, ERR_NOT_ALLOWED_ON_OBJECT);
  }
  // An empty clipboard.
  window_set_current(src, 0);
  EXPECT_EQ(call("paste", {}).stop, ERR_CLIPBOARD_FORMAT);
  ASSERT_EQ(copy_from(c), "0");
  for (WindowObject* o : {obj_app_form(), obj_frame_object(), obj_command_line(), editor}) {
    window_set_current(o, 0);
    EXPECT_EQ(call("paste", {}).stop, ERR_NOT_ALLOWED_ON_OBJECT);
  }
  EXPECT_EQ(kids(src).size(), 1u);
}

// A block that is malformed reaches no object: rc -2085 and nothing made.
TEST_F(ClipCtl, AMalformedBlockIsRefusedBeforeAnythingIsMade) {
  WindowObject* src = free_form(true);
  WindowObject* g = ctl(src, kObjGroup, "g", 0, 0);
  ctl(g, kObjCheck, "c1", 0, 0);
  ctl(g, kObjCheck, "c2", 0, 0);
  g->selected = 1;
  window_set_current(src, 0);
  std::vector<ClipObject> good;
  ASSERT_EQ(clip_collect_controls(&good), 0);
  struct Case {
    const char* name;
    void (*spoil)(std::vector<ClipObject>&);
  };
  const Case cases[] = {
      {"a child ring that never returns to its first child",
       [](std::vector<ClipObject>& o) { o[0].records[2].block.next = 2; }},
      {"a child ring through the top record", [](std::vector<ClipObject>& o) { o[0].records[2].block.next = 0; }},
      {"a record nothing reaches", [](std::vector<ClipObject>& o) { o[0].records[1].block.next = 1; }},
      {"a form below a control", [](std::vector<ClipObject>& o) { o[0].records[1].block.type = kObjForm; }},
      {"a menu record", [](std::vector<ClipObject>& o) { o[0].records[0].block.type = kObjMenu; }},
      {"the frame object", [](std::vector<ClipObject>& o) { o[0].records[0].block.type = kObjFrame; }},
      {"an editor record", [](std::vector<ClipObject>& o) { o[0].records[2].block.type = 0; }},
      {"a type past the table", [](std::vector<ClipObject>& o) { o[0].records[1].block.type = 200; }},
      {"children under a combo box", [](std::vector<ClipObject>& o) { o[0].records[0].block.type = kObjCombo; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ClipObject> bad = good;
    c.spoil(bad);
    const std::vector<uint8_t> block = clip_write_controls(bad);
    ASSERT_FALSE(block.empty());
    std::vector<ClipObject> out;
    EXPECT_EQ(clip_read_controls(block, &out), ERR_GET_CLIPBOARD_DATA);
    ASSERT_EQ(clip_put_controls(block), 0);
    WindowObject* dst = free_form(true);
    std::vector<WindowObject*> made;
    EXPECT_EQ(paste_into(dst, &made), std::to_string(ERR_GET_CLIPBOARD_DATA));
    EXPECT_TRUE(made.empty());
  }
  // The block as written reads back.
  std::vector<ClipObject> out;
  EXPECT_EQ(clip_read_controls(clip_write_controls(good), &out), 0);
}

// The window system refuses the second object: the first stays, the one
// that failed is gone, the container is current and the paste's rc is the
// error.
int32_t g_creates = 0;
TEST_F(ClipCtl, AFailedPasteKeepsWhatItMade) {
  WindowObject* src = free_form(true);
  ctl(src, kObjCommand, "one", 0, 0)->selected = 1;
  WindowObject* g = ctl(src, kObjGroup, "two", 0, 0);
  ctl(g, kObjCheck, "inner", 0, 0);
  g->selected = 1;
  ASSERT_EQ(copy_from(src), "0");
  struct Case {
    int32_t fail_at;  // the creation that fails
    size_t left;      // objects left in the target
  };
  const Case cases[] = {{2, 1}, {3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail_at);
    static int32_t fail_at;
    fail_at = c.fail_at;
    g_creates = 0;
    WindowObject* dst = free_form(true);
    NativeWindowOps failing = kNativeHeadless;
    failing.create = [](WindowObject*) { return ++g_creates == fail_at ? int32_t{-2029} : int32_t{0}; };
    native_for_all(failing);
    std::vector<WindowObject*> made;
    EXPECT_EQ(paste_into(dst, &made), std::to_string(ERR_NOT_ENOUGH_MEMORY));
    native_table_reset();
    EXPECT_EQ(made.size(), c.left);
    EXPECT_EQ(kids(dst).size(), c.left < 2 ? 1u : 2u);
    EXPECT_EQ(name_of(kids(dst)[0]), "one");
    EXPECT_EQ(window_current(), dst);
  }
}

TEST_F(ClipCtl, TheNamingAndTabBuiltIns) {
  WindowObject* f = free_form(true);
  ctl(f, kObjList, "list3", 0, 0, 4);
  WindowObject* c = ctl(f, kObjList, "list3", 0, 0, 4);
  window_set_current(c, 0);
  EXPECT_EQ(call("unique_control_name", {}).raised, 0);
  EXPECT_EQ(name_of(c), "list4");
  EXPECT_EQ(call("unique_control_name", {}).raised, 0);
  EXPECT_EQ(name_of(c), "list4") << "a name no other control has stays";
  prop_block_set_string(c->props, 28, "list3");
  EXPECT_EQ(call("unique_control_name", {"pick"}).raised, 0);
  EXPECT_EQ(name_of(c), "pick1");
  EXPECT_EQ(call("renumber_tab_index", {}).raised, 0);
  EXPECT_EQ(prop_field_value(c->props, 38), 5);
  EXPECT_EQ(call("renumber_tab_index", {}).raised, 0);
  EXPECT_EQ(prop_field_value(c->props, 38), 5) << "a free index stays";
  // A form is named among the live forms and the form templates.
  window_set_current(f, 0);
  EXPECT_EQ(call("unique_control_name", {}).raised, 0);
  EXPECT_EQ(name_of(f), "form2") << "form1 is its own name";
  NameEntry tpl{};
  tpl.flags = NF_TEMPLATE;
  ASSERT_GT(name_insert("form11", tpl), 0);
  EXPECT_EQ(call("unique_control_name", {}).raised, 0);
  EXPECT_EQ(name_of(f), "form12");
  window_set_current(obj_frame_object(), 0);
  EXPECT_EQ(call("unique_control_name", {}).stop, ERR_NOT_ALLOWED_ON_OBJECT);
  EXPECT_EQ(call("renumber_tab_index", {}).stop, ERR_NOT_ALLOWED_ON_OBJECT);
}

// ---- the creation events a paste raises --------------------------------------------------

struct Raised {
  int32_t id;
  EventCode event;
};
std::vector<Raised> raised;
void (*on_raise)(WindowObject*, EventCode) = nullptr;

class ClipCtlEvents : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    native_table_reset();
    routing_reset();
    clip_put({});  // an empty clipboard
    raised.clear();
    obj_set_event_runner([](WindowObject* t, EventCode e, uint32_t, std::span<const std::string_view>) {
      raised.push_back({t->handle, e});
      if (on_raise) on_raise(t, e);
    });
    on_raise = nullptr;
    ASSERT_EQ(objects_init(1024, 768), 0);
    keytest::Mod mod;
    mod.command("noop");
    mod.op("return");
    using keytest::index_of;
    mod.table("events",
              {{index_of(kEvOnCreate), "noop"}, {index_of(kEvOnResize), "noop"}, {index_of(kEvOnCreate2), "noop"}});
    mod.table("-ainh-dlg-edit", {});
    mod.table("default-keys", {});
    boot(mod);
  }
  void TearDown() override {
    obj_set_event_runner(nullptr);
    clip_put({});  // an empty clipboard
    objects_shutdown();
    KeyTest::TearDown();
  }
  static WindowObject* make(WindowObject* parent, int32_t type, bool design) {
    WindowObject* o = window_new_child(parent);
    obj_set_type(o, type);
    o->design_mode = design ? 1 : 0;
    return o;
  }
};

TEST_F(ClipCtlEvents, APasteRaisesOnlyTheSecondCreationEvent) {
  const uint32_t events = name_find("events", NF_EVENT_TABLE);
  WindowObject* src = make(nullptr, kObjForm, true);
  WindowObject* g = make(src, kObjGroup, true);
  WindowObject* c = make(g, kObjCheck, true);
  // The check box's own table (27) and the frame's assigned one (76).
  prop_set_field(c->props, 27, events);
  prop_set_field(g->props, 76, events);
  g->selected = 1;
  struct Case {
    bool design;
    std::vector<EventCode> want;  // in order: the check box, then the frame
  };
  // Running: the own table serves ON-CREATE2, and nothing raises ON-CREATE or
  // ON-RESIZE without an argument list. In design mode only the assigned
  // table is searched.
  const Case cases[] = {{false, {kEvOnCreate2, kEvOnCreate2}}, {true, {kEvOnCreate2}}};
  std::vector<ClipObject> objects;
  ASSERT_EQ(clip_read_controls(clip_write_controls([&] {
                                 window_set_current(src, 0);
                                 std::vector<ClipObject> o;
                                 EXPECT_EQ(clip_collect_controls(&o), 0);
                                 return o;
                               }()),
                               &objects),
            0);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.design);
    WindowObject* dst = make(nullptr, kObjForm, k.design);
    raised.clear();
    window_set_current(dst, 0);
    ASSERT_EQ(clip_paste_controls(objects), 0);
    WindowObject* pg = dst->first_child;
    ASSERT_NE(pg, nullptr);
    WindowObject* pc = pg->first_child;
    ASSERT_NE(pc, nullptr);
    std::vector<EventCode> got;
    std::vector<int32_t> who;
    for (const Raised& r : raised) got.push_back(r.event), who.push_back(r.id);
    EXPECT_EQ(got, k.want);
    if (!k.design) {
      EXPECT_EQ(who, (std::vector<int32_t>{pc->handle, pg->handle})) << "children first";
    } else {
      EXPECT_EQ(who, std::vector<int32_t>{pg->handle});
    }
  }
}

// A creation handler that closes the form being pasted into ends the
// paste there: nothing is made in a form that is gone.
WindowObject* g_closing = nullptr;
TEST_F(ClipCtlEvents, AHandlerClosingTheContainerEndsThePaste) {
  const uint32_t events = name_find("events", NF_EVENT_TABLE);
  WindowObject* src = make(nullptr, kObjForm, false);
  for (int i = 0; i < 3; ++i) {
    WindowObject* c = make(src, kObjCheck, false);
    prop_set_field(c->props, 27, events);
    c->selected = 1;
  }
  window_set_current(src, 0);
  std::vector<ClipObject> objects;
  ASSERT_EQ(clip_collect_controls(&objects), 0);
  ASSERT_EQ(objects.size(), 3u);
  g_closing = make(nullptr, kObjForm, false);
  const int32_t last = obj_last_id();
  on_raise = [](WindowObject*, EventCode e) {
    if (e == kEvOnCreate2 && g_closing) {
      WindowObject* f = g_closing;
      g_closing = nullptr;
      obj_destroy(f);
    }
  };
  window_set_current(g_closing, 0);
  EXPECT_EQ(clip_paste_controls(objects), 0);
  EXPECT_EQ(raised.size(), 1u) << "one object made, then its form closed";
  for (int32_t id = 1; id <= obj_last_id(); ++id) {
    WindowObject* o = obj_get(id);
    EXPECT_FALSE(o && id > last && o->type == kObjCheck) << id;
  }
}

// ---- the designer's keys in the default macros ------------------------------------------

class ClipCtlDefaultKeys : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    native_table_reset();
    routing_reset();
    clip_put({});  // an empty clipboard
    obj_set_event_runner(nullptr);
    ASSERT_EQ(objects_init(1024, 768), 0);
    std::ifstream f(std::string(ZVX_BINARY_DIR) + "/app/zorvex.stu", std::ios::binary);
    const std::vector<uint8_t> state((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(state.empty()) << "the build makes app/zorvex.stu";
    window_link_edit_list(editor(""));
    boot(state, "zorvex.stu");
  }
  void TearDown() override {
    clip_put({});  // an empty clipboard
    objects_shutdown();
    KeyTest::TearDown();
  }
  static WindowObject* make(WindowObject* parent, int32_t type) {
    WindowObject* o = window_new_child(parent);
    obj_set_type(o, type);
    o->design_mode = 1;
    return o;
  }
};

TEST_F(ClipCtlDefaultKeys, CtrlCAndCtrlVCopyAndPasteControlsInDesignMode) {
  constexpr EventCode kCtrlC = 3, kCtrlV = 22;
  WindowObject* src = make(nullptr, kObjForm);
  WindowObject* b = make(src, kObjCommand);
  prop_block_set_string(b->props, 28, "ok");
  b->selected = 1;
  obj_raise_event(b, kCtrlC);
  WindowObject* dst = make(nullptr, kObjForm);
  WindowObject* there = make(dst, kObjLabel);
  obj_raise_event(there, kCtrlV);
  const std::vector<WindowObject*> k = kids(dst);
  ASSERT_EQ(k.size(), 2u) << "pasted beside the label, into its form";
  EXPECT_EQ(k[1]->type, kObjCommand);
  EXPECT_EQ(name_of(k[1]), "ok");
  EXPECT_EQ(k[1]->design_mode, 1);
  // With text on the clipboard Ctrl+V leaves a control alone, and raises
  // nothing.
  ASSERT_EQ(clip_put_text("pid=1 char", "words"), 0);
  vmtest::shown.clear();
  obj_raise_event(there, kCtrlV);
  EXPECT_EQ(kids(dst).size(), 2u);
  EXPECT_TRUE(vmtest::shown.empty());
}

}  // namespace

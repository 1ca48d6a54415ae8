// The binding search through an object's chains, the mode tables and the
// dialog manager; tree walks; the creation events and their order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/bi_objects.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "macro/names.h"
#include "tests/macro/key_fixture.h"

namespace {

using namespace keytest;

constexpr EventCode kF2 = 470, kF5 = 473, kF6 = 474, kF7 = 475, kF8 = 476;

struct Raised {
  int32_t id;
  EventCode event;
  int32_t arg;
};
std::vector<Raised> raised;
void (*on_raise)(WindowObject*, EventCode) = nullptr;

class Routing : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    native_table_reset();
    routing_reset();
    raised.clear();
    on_raise = nullptr;
    obj_set_event_runner([](WindowObject* t, EventCode e, uint32_t, std::span<const std::string_view>) {
      raised.push_back({t->handle, e, obj_event_arg});
      if (on_raise) on_raise(t, e);
    });
    ASSERT_EQ(objects_init(1024, 768), 0);
    Mod mod;
    mod.command("noop");
    mod.op("return");
    // A chain of 25 tables: chain1 inherits from chain2, and so on.
    for (int i = 1; i <= 25; ++i) {
      std::map<int32_t, std::string> b;
      if (i == 20) b[index_of(kF6)] = "noop";
      if (i == 21) b[index_of(kF5)] = "noop";
      mod.table("chain" + std::to_string(i), b, i < 25 ? "chain" + std::to_string(i + 1) : "");
    }
    mod.table("-ainh-dlg-manager", {{index_of(kF7), "noop"}, {index_of(kEvOnChange), "noop"}});
    mod.table("-ainh-dlg-edit", {{index_of(kF8), "noop"}});
    mod.table("events", {{index_of(kEvOnCreate), "noop"},
                         {index_of(kEvOnResize), "noop"},
                         {index_of(kEvOnCreate2), "noop"},
                         {index_of(kEvOnDestroy), "noop"},
                         {index_of(kEvOnDestroy2), "noop"},
                         {index_of(kF2), "noop"}});
    mod.table("default-keys", {});
    boot(mod);
  }
  void TearDown() override {
    obj_set_event_runner(nullptr);
    objects_shutdown();
    KeyTest::TearDown();
  }
  static int32_t table(const char* name) { return static_cast<int32_t>(name_find(name, NF_EVENT_TABLE)); }

  WindowObject* frame() {
    WindowObject* f = obj_frame_object();
    if (f->type != kObjFrame) obj_set_type(f, kObjFrame);
    return f;
  }
  static WindowObject* make(WindowObject* parent, int32_t type) {
    WindowObject* o = window_new_child(parent);
    obj_set_type(o, type);
    return o;
  }
  static int32_t find(WindowObject* o, EventCode e, uint32_t* binding = nullptr, WindowObject** target = nullptr) {
    uint32_t b = 0;
    WindowObject* t = nullptr;
    const int32_t r = obj_find_binding(o, &t, e, &b, false, 1, false);
    if (binding) *binding = b;
    if (target) *target = t;
    return r;
  }
};

TEST_F(Routing, ChainsStopAfterTwentyTables) {
  WindowObject* f = make(nullptr, kObjForm);
  WindowObject* c = make(f, kObjCheck);
  prop_set_field(c->props, 27, static_cast<uint32_t>(table("chain1")));
  uint32_t b = 0;
  EXPECT_EQ(find(c, kF6, &b), 0) << "bound in the 20th table";
  EXPECT_EQ(b, name_find("noop", NF_CALLABLE));
  EXPECT_EQ(find(c, kF5), 1) << "the 21st table is never searched";
  // The assigned table (76) is searched too; its setter drops the sign.
  prop_set_field(c->props, 27, 0);
  ASSERT_EQ(prop_set_int_by_handle(c->handle, 76, -table("chain20")), 0);
  EXPECT_EQ(prop_field_value(c->props, 76), table("chain20"));
  EXPECT_EQ(find(c, kF6), 0);
}

TEST_F(Routing, TheDialogManagerServesFreeFormsOnly) {
  WindowObject* fr = frame();
  WindowObject* free_form = make(nullptr, kObjForm);
  WindowObject* c1 = make(free_form, kObjCommand);
  EXPECT_EQ(find(c1, kF7), 0);
  WindowObject* mdi = make(nullptr, kObjForm);
  mdi->parent = fr;  // an MDI child form
  WindowObject* c2 = make(mdi, kObjCommand);
  EXPECT_EQ(find(c2, kF7), 1);
  uint32_t b = 0;
  EXPECT_EQ(obj_find_binding(c1, &c1, kF7, &b, false, 1, true), 1) << "noManager leaves it out";
  // ON-CHANGE stops after the object's own tables.
  EXPECT_EQ(find(c1, kEvOnChange), 1);
  mdi->parent = nullptr;
}

TEST_F(Routing, TopLevelTablesAndParts) {
  WindowObject* f = make(nullptr, kObjForm);
  prop_set_field(f->props, 27, static_cast<uint32_t>(table("events")));
  WindowObject* combo = make(f, kObjCombo);
  WindowObject* edit = make(f, kObjLabel);
  edit->owner = combo->handle;
  WindowObject* target = nullptr;
  EXPECT_EQ(find(edit, kF2, nullptr, &target), 0) << "found in the top level's table";
  EXPECT_EQ(target, combo) << "a part's events go to its owner";
}

TEST_F(Routing, DesignModeUsesTheDesignTable) {
  WindowObject* f = make(nullptr, kObjForm);
  WindowObject* c = make(f, kObjText);
  prop_set_field(c->props, 27, static_cast<uint32_t>(table("events")));
  prop_set_field(c->props, 76, static_cast<uint32_t>(table("events")));
  c->design_mode = 1;
  EXPECT_EQ(find(c, kF2), 1) << "never the object's own tables";
  EXPECT_EQ(find(c, kF8), 0);
  EXPECT_EQ(find(c, kEvOnCreate2), 0) << "except ON-CREATE2 through 76";
  EXPECT_EQ(find(c, kEvOnCreate), 1);
}

TEST_F(Routing, CharactersBecomeCommandZero) {
  WindowObject* f = make(nullptr, kObjForm);
  WindowObject* text = make(f, kObjText);
  uint32_t b = 99;
  EXPECT_EQ(find(text, 'a', &b), 0);
  EXPECT_EQ(b, 0u) << "command 0 types the character";
  EXPECT_EQ(find(text, kF5), 1) << "other keys are not taken by a text box";
  WindowObject* label = make(f, kObjLabel);
  EXPECT_EQ(find(label, 'a'), 1) << "a label has no mode table";
  // The edit part of a drop-down list takes nothing.
  WindowObject* combo = make(f, kObjCombo);
  prop_set_field(combo->props, 15, 2);
  text->owner = combo->handle;
  combo->owner = 0;
  EXPECT_EQ(find(text, 'a'), 1);
}

TEST_F(Routing, CreationEventsInOrder) {
  WindowObject* f = make(nullptr, kObjForm);
  WindowObject* a = make(f, kObjText);
  WindowObject* b = make(f, kObjCheck);
  for (WindowObject* o : {f, a, b}) prop_set_field(o->props, 27, static_cast<uint32_t>(table("events")));
  const std::span<const std::string_view> args;
  obj_send_create_events(f, &args);
  const std::vector<std::pair<int32_t, EventCode>> want = {
      {a->handle, kEvOnCreate}, {a->handle, kEvOnResize}, {a->handle, kEvOnResize}, {a->handle, kEvOnCreate2},
      {b->handle, kEvOnCreate}, {b->handle, kEvOnResize}, {b->handle, kEvOnResize}, {b->handle, kEvOnCreate2},
      {f->handle, kEvOnCreate}, {f->handle, kEvOnResize}, {f->handle, kEvOnResize}, {f->handle, kEvOnCreate2}};
  ASSERT_EQ(raised.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(raised[i].id, want[i].first) << i;
    EXPECT_EQ(raised[i].event, want[i].second) << i;
  }
  EXPECT_EQ(raised[1].arg, 0);
  EXPECT_EQ(raised[2].arg, 1);
  raised.clear();
  obj_send_create_events(f, &args);
  EXPECT_TRUE(raised.empty()) << "each object once";
  // Without arguments (pasted controls) only ON-CREATE2.
  WindowObject* c = make(f, kObjLabel);
  prop_set_field(c->props, 27, static_cast<uint32_t>(table("events")));
  obj_send_create_events(c, nullptr);
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_EQ(raised[0].event, kEvOnCreate2);
}

// A handler that closes its form and makes a new one, which takes the
// freed id: the new form gets none of the old form's remaining events.
TEST_F(Routing, AClosedObjectGetsNoMoreEventsEvenWhenItsIdIsReused) {
  WindowObject* f = make(nullptr, kObjForm);
  const int32_t id = f->handle;
  prop_set_field(f->props, 27, static_cast<uint32_t>(table("events")));
  on_raise = [](WindowObject* t, EventCode e) {
    if (e != kEvOnCreate) return;
    const int32_t table = t->props.words[5] & 0xFFFF;
    obj_destroy(t);
    WindowObject* n = window_new_child(nullptr);
    obj_set_type(n, kObjForm);
    prop_set_field(n->props, 27, static_cast<uint32_t>(table));
  };
  const std::span<const std::string_view> args;
  obj_send_create_events(f, &args);
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_EQ(raised[0].event, kEvOnCreate);
  ASSERT_NE(obj_get(id), nullptr) << "the new form took the id";
  EXPECT_EQ(obj_get(id)->flags & kWinCreateEvents, 0);
}

TEST_F(Routing, DestructionEventsOnlyWhileAMacroRuns) {
  WindowObject* f = make(nullptr, kObjForm);
  prop_set_field(f->props, 27, static_cast<uint32_t>(table("events")));
  obj_destroy(f);
  EXPECT_TRUE(raised.empty());
}

TEST_F(Routing, WalksAndTabStops) {
  WindowObject* f = make(nullptr, kObjForm);
  WindowObject* r1 = make(f, kObjRadio);
  WindowObject* r2 = make(f, kObjRadio);
  WindowObject* t = make(f, kObjText);
  WindowObject* z = make(f, kObjCheck);
  prop_set_field(r1->props, 38, 2);
  prop_set_field(r2->props, 38, 3);
  prop_set_field(t->props, 38, 5);
  prop_set_field(z->props, 38, 0);  // index 0 never counts
  EXPECT_EQ(obj_first_tab_stop(f), r1);
  prop_set_field(r2->props, 42, 1);
  EXPECT_EQ(obj_first_tab_stop(f), r2) << "a checked radio button wins in its group";
  prop_set_field(r2->props, 2, 0);
  EXPECT_EQ(obj_first_tab_stop(f), r1) << "disabled ones are skipped";
  prop_set_field(r2->props, 2, 1);
  prop_set_field(r1->props, 38, 3);
  prop_set_field(t->props, 38, 3);
  std::vector<int32_t> order;
  obj_visit_tab_order(
      f, &order,
      [](WindowObject* o, void* a) {
        static_cast<std::vector<int32_t>*>(a)->push_back(o->handle);
        return 0;
      },
      false);
  EXPECT_EQ(order, (std::vector<int32_t>{f->handle, z->handle, r1->handle, r2->handle, t->handle}))
      << "equal indexes keep ring order";
  z->design_mode = 1;
  z->design_visible = 0;
  order.clear();
  obj_visit_preorder(
      f, &order,
      [](WindowObject* o, void* a) {
        static_cast<std::vector<int32_t>*>(a)->push_back(o->handle);
        return 0;
      },
      false);
  EXPECT_EQ(order.size(), 4u) << "a hidden design object is skipped";
  EXPECT_TRUE(obj_is_enabled_in_chain(t, true));
  prop_set_field(f->props, 2, 0);
  EXPECT_FALSE(obj_is_enabled_in_chain(t, true));
}

}  // namespace

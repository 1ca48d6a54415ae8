// Form templates: saving a live form and showing it again, templates that
// modules and state files bring, the checks every reader makes, and what
// deleting a template or the entries it names takes with it.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/le.h"
#include "forms/form_resource.h"
#include "forms/templates.h"
#include "macro/code_cache.h"
#include "macro/event_tables.h"
#include "macro/module.h"
#include "macro/module_build.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/rle.h"
#include "macro/state.h"
#include "tests/forms/forms_fixture.h"
#include "tools/zozu/zozu.h"

namespace {

using namespace formstest;
using bitest::ScratchDir;
using bitest::write_file;

// A record as text: its type, links and words with every string, table and
// picture property replaced by what it names.
struct RecordText {
  uint16_t type, next, child, link3;
  std::array<uint32_t, kPropWords> words;
  std::map<uint32_t, std::string> strings;
  std::string table, table2, picture;
  bool operator==(const RecordText&) const = default;
};

std::vector<RecordText> texts_of(uint32_t index) {
  std::vector<PropertyBlock> recs;
  EXPECT_TRUE(tpl_read_all(index, &recs));
  std::vector<RecordText> out;
  for (PropertyBlock b : recs) {
    RecordText t{b.type, b.next, b.child, b.link3, {}, {}, {}, {}, {}};
    for (uint32_t id : kTemplateStringProps) {
      if (tpl_is_string_prop(b.type, id)) t.strings[id] = std::string(tpl_string(b, id));
      prop_set_field(b, id, 0);
    }
    t.table = std::string(name_text(prop_get_field(b, kTplEventTable)));
    t.table2 = std::string(name_text(prop_get_field(b, kTplEventTable2)));
    t.picture = std::string(name_text(prop_get_field(b, kTplPicture)));
    for (uint32_t id : {kTplEventTable, kTplEventTable2, kTplPicture}) prop_set_field(b, id, 0);
    std::copy(std::begin(b.words), std::end(b.words), t.words.begin());
    out.push_back(t);
  }
  return out;
}

class Templates : public TemplatesTest {
 protected:
  WindowObject* named(WindowObject* parent, int32_t type, const std::string& name, int32_t tab = 0) {
    WindowObject* o = parent ? control(parent, type) : form();
    EXPECT_EQ(prop_block_set_string(o->props, 28, name), 0);
    prop_set_field(o->props, 38, static_cast<uint32_t>(tab));
    return o;
  }

  // A form "find": a text box, a frame holding a check box and a radio
  // button, a command button; tab indexes out of ring order.
  WindowObject* find_form() {
    WindowObject* f = named(nullptr, kObjForm, "find");
    prop_block_set_string(f->props, 29, "Find text");
    prop_set_field(f->props, 39, 3000);
    prop_set_field(f->props, 36, 1500);
    f->props.link3 = 0xBEEF;
    WindowObject* ok = named(f, kObjCommand, "ok", 3);
    prop_block_set_string(ok->props, 29, "OK");
    WindowObject* t = named(f, kObjText, "pattern", 1);
    prop_block_set_string(t->props, 52, "abc");
    prop_block_set_string(t->props, 25, "tagged");
    WindowObject* fr = named(f, kObjGroup, "opts", 2);
    WindowObject* c = named(fr, kObjCheck, "case", 1);
    prop_block_set_string(c->props, 29, "Match case");
    prop_set_field(c->props, 42, 1);
    named(fr, kObjRadio, "up", 0);
    window_set_current(f, 0);
    return f;
  }

  Out save() { return call("save_form", {}); }
  Out show(const std::vector<std::string>& args) { return call("show_form", args); }

  // Assembles a source and loads it as a module file.
  int32_t load_module(const std::string& source, uint32_t* index = nullptr) {
    std::vector<uint8_t> bytes;
    std::vector<ZozuDiag> diags;
    EXPECT_TRUE(zozu_assemble("t.zs", source, bytes, diags)) << (diags.empty() ? "" : diags[0].message);
    return load_bytes(bytes, index);
  }
  int32_t load_bytes(const std::vector<uint8_t>& bytes, uint32_t* index = nullptr) {
    const std::string path = dir_ / ("m" + std::to_string(++files_) + ".ex");
    write_file(path, std::string(bytes.begin(), bytes.end()));
    uint32_t i = 0;
    bool module_file = false;
    const int32_t r = state_read(path, &i, &module_file);
    if (index) *index = i;
    return r;
  }

  ScratchDir dir_;
  int files_ = 0;
};

// The records of the example form, in tab order, with their rings.
TEST_F(Templates, SaveNumbersRecordsInTabOrder) {
  find_form();
  Out o = save();
  ASSERT_EQ(o.raised, 0);
  const int32_t h = std::stoi(o.value);
  ASSERT_GT(h, 0);
  EXPECT_EQ(h & 0xFFFF, 0);
  const std::vector<RecordText> r = texts_of(static_cast<uint32_t>(h) >> 16);
  ASSERT_EQ(r.size(), 6u);
  struct Want {
    uint16_t type, next, child;
    const char* name;
  };
  const Want want[] = {{kObjForm, 0, 1, "find"}, {kObjText, 2, 0, "pattern"}, {kObjGroup, 5, 3, "opts"},
                       {kObjRadio, 4, 0, "up"},  {kObjCheck, 3, 0, "case"},   {kObjCommand, 1, 0, "ok"}};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r[i].type, want[i].type);
    EXPECT_EQ(r[i].next, want[i].next);
    EXPECT_EQ(r[i].child, want[i].child);
    EXPECT_EQ(r[i].strings.at(28), want[i].name);
  }
  EXPECT_EQ(r[0].link3, 0xBEEF) << "bytes 6-7 travel unchanged";
  EXPECT_EQ(r[0].strings.at(29), "Find text");
  EXPECT_EQ(r[1].strings.at(52), "abc");
  EXPECT_EQ(r[1].strings.at(25), "tagged");
  EXPECT_EQ(prop_get_field(obj_get(window_current()->handle)->props, 39), 3000u) << "no frame parts headless";
  EXPECT_EQ(window_current()->template_index, h >> 16) << "the form keeps its template";
}

TEST_F(Templates, OneControlGivesTwoRecords) {
  WindowObject* f = named(nullptr, kObjForm, "solo");
  named(f, kObjLabel, "l");
  window_set_current(f, 0);
  const int32_t h = std::stoi(save().value);
  const std::vector<RecordText> r = texts_of(static_cast<uint32_t>(h) >> 16);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].next, 1);
  EXPECT_EQ(r[1].child, 0);
  EXPECT_EQ(r[0].child, 1);
  EXPECT_EQ(r[0].next, 0);
}

// save_form, show_form, save_form again: the same records.
TEST_F(Templates, SaveShowSaveGivesIdenticalRecords) {
  WindowObject* f = find_form();
  const int32_t h = std::stoi(save().value);
  const uint32_t index = static_cast<uint32_t>(h) >> 16;
  const std::vector<RecordText> first = texts_of(index);
  obj_destroy(f);
  Out o = show({std::to_string(h)});
  ASSERT_EQ(o.raised, 0);
  const int32_t id = std::stoi(o.value);
  ASSERT_GT(id, 3);
  WindowObject* made = obj_get(id);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->type, kObjForm);
  EXPECT_EQ(made->template_index, static_cast<int32_t>(index));
  EXPECT_EQ(window_current(), made) << "a visible form becomes current";
  EXPECT_EQ(read(made, 29), "Find text");
  int32_t count = 0;
  obj_visit_preorder(
      made, &count, [](WindowObject*, void* n) { return ++*static_cast<int32_t*>(n), 0; }, true);
  EXPECT_EQ(count, 6);
  window_set_current(made, 0);
  const int32_t again = std::stoi(save().value);
  EXPECT_EQ(again, h) << "stored in place under the same name";
  EXPECT_EQ(texts_of(index), first);
}

// A control's record alone under an existing form, and a hidden form.
TEST_F(Templates, ShowOneControlAndHidden) {
  WindowObject* f = find_form();
  const int32_t h = std::stoi(save().value);
  const uint32_t rec = name_find("find.opts", NF_TEMPLATE) & 0xFFFF;
  ASSERT_EQ(rec, 2u);
  Out o = show({std::to_string(h | rec), std::to_string(f->handle), "C"});
  ASSERT_EQ(o.raised, 0);
  WindowObject* opts = obj_get(std::stoi(o.value));
  ASSERT_NE(opts, nullptr);
  EXPECT_EQ(opts->parent, f);
  EXPECT_EQ(opts->type, kObjGroup);
  ASSERT_NE(opts->first_child, nullptr);
  EXPECT_EQ(read(opts->first_child, 28), "up");
  o = show({std::to_string(h), "", "H"});
  WindowObject* hidden = obj_get(std::stoi(o.value));
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(prop_get_field(hidden->props, 11), 0u);
  EXPECT_NE(window_current(), hidden) << "a hidden form leaves the parent current";
}

TEST_F(Templates, SaveRefusals) {
  WindowObject* f = form();
  window_set_current(f, 0);
  EXPECT_EQ(save().value, std::to_string(ERR_NO_NAME));
  EXPECT_EQ(name_next("", 0, NF_TEMPLATE), 0u) << "nothing stored";
}

// Saving under a new name renames the template the form came from.
TEST_F(Templates, SaveUnderNewNameRenames) {
  WindowObject* f = find_form();
  const int32_t h = std::stoi(save().value);
  ASSERT_GT(name_create("find", NF_EVENT_TABLE, std::nullopt), 0);
  prop_block_set_string(f->props, 28, "search");
  const int32_t h2 = std::stoi(save().value);
  EXPECT_EQ(h2, h) << "the index lives on";
  EXPECT_EQ(name_find("find", NF_TEMPLATE), 0u);
  EXPECT_EQ(name_find("search", NF_TEMPLATE), static_cast<uint32_t>(h));
  EXPECT_NE(name_find("search", NF_EVENT_TABLE), 0u) << "the form's table follows";
}

TEST_F(Templates, ShowFormOptionsAndEvents) {
  // The form's table binds both events; the saved form takes the table.
  const uint32_t table = static_cast<uint32_t>(name_create("find", NF_EVENT_TABLE, std::nullopt));
  const uint32_t cmd = static_cast<uint32_t>(name_create("on-it", NF_COMMAND, std::nullopt));
  ASSERT_EQ(name_load_data(table), 0);
  for (EventCode e : {EventCode(kEvOnLoad), kEvOnCreate})
    le::put_u32(name_block(table) + 4 + 4 * event_to_key_index(e), cmd);
  find_form();
  const std::string h = save().value;
  static std::vector<std::pair<int32_t, EventCode>> seen;
  static std::vector<std::string> args;
  obj_set_event_runner([](WindowObject* t, EventCode e, uint32_t, std::span<const std::string_view> a) {
    seen.push_back({t->handle, e});
    if (e == kEvOnCreate) args.assign(a.begin(), a.end());
  });
  struct Case {
    std::vector<std::string> extra;
    bool create, load;
    size_t nargs;
  };
  const Case cases[] = {
      {{}, true, true, 0},
      {{"", "C"}, false, false, 0},
      {{"", "E"}, false, false, 0},  // design mode: neither
      {{"", "", "a", "b"}, true, true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra.size());
    seen.clear();
    args.clear();
    std::vector<std::string> a{h};
    a.insert(a.end(), c.extra.begin(), c.extra.end());
    Out o = show(a);
    ASSERT_EQ(o.raised, 0);
    const int32_t id = std::stoi(o.value);
    ASSERT_GT(id, 0);
    const bool created = std::count(seen.begin(), seen.end(), std::pair<int32_t, EventCode>(id, kEvOnCreate)) > 0;
    const bool loaded = std::count(seen.begin(), seen.end(), std::pair<int32_t, EventCode>(id, kEvOnLoad)) > 0;
    EXPECT_EQ(created, c.create);
    EXPECT_EQ(loaded, c.load);
    EXPECT_EQ(args.size(), c.nargs);
    EXPECT_EQ(obj_get(id)->design_mode, c.extra.size() == 2 && c.extra[1] == "E");
  }
  // 25 arguments: those past the 20th are dropped.
  seen.clear();
  std::vector<std::string> many{h, "", ""};
  for (int i = 0; i < 22; ++i) many.push_back("a" + std::to_string(i));
  ASSERT_GT(std::stoi(show(many).value), 0);
  EXPECT_EQ(args.size(), 17u);
  obj_set_event_runner(nullptr);
}

TEST_F(Templates, ShowFormRefusals) {
  find_form();
  const std::string h = save().value;
  const std::string bad_record = std::to_string(std::stoi(h) | 9);
  struct Case {
    std::vector<std::string> args;
    int32_t value;
  };
  const Case cases[] = {
      {{h, "", "X"}, 0},              // an option outside HEAWRC
      {{h, "999"}, 0},                // no such parent
      {{h, "", "A"}, 0},              // A wants exactly one extra argument
      {{"5"}, ERR_INVALID_ARGUMENT},  // a plain names index, not a template
      {{bad_record}, ERR_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] + c.args.back() : c.args[0]);
    Out o = show(c.args);
    if (c.value == 0)
      EXPECT_EQ(o.raised, ERR_INVALID_ARGUMENT);
    else
      EXPECT_EQ(o.value, std::to_string(c.value));
  }
}

// Option W with R: a form's objects take their records' values again.
TEST_F(Templates, ReapplyRestoresRecordValues) {
  find_form();
  const std::string h = save().value;
  WindowObject* made = obj_get(std::stoi(show({h, "", "C"}).value));
  ASSERT_NE(made, nullptr);
  WindowObject* check = nullptr;
  obj_visit_preorder(
      made, &check,
      [](WindowObject* o, void* out) {
        if (o->type == kObjCheck) *static_cast<WindowObject**>(out) = o;
        return 0;
      },
      true);
  ASSERT_NE(check, nullptr);
  prop_set_field(check->props, 42, 0);
  prop_block_set_string(check->props, 29, "changed");
  check->flags |= kWinCreateEvents;
  Out o = show({std::to_string(made->handle), "", "WRC"});
  EXPECT_EQ(o.value, std::to_string(made->handle));
  EXPECT_EQ(prop_get_field(check->props, 42), 1u);
  EXPECT_EQ(read(check, 29), "Match case");
  EXPECT_EQ(check->flags & kWinCreateEvents, 0);
  EXPECT_FALSE(form_is_loading());
  o = show({"3", "", "W"});
  EXPECT_EQ(o.raised, ERR_INVALID_ARGUMENT) << "the command line is no form";
}

// Setting the frame's last MDI form to a template makes an MDI child form.
TEST_F(Templates, LastMdiFormLoadsTemplate) {
  find_form();
  const int32_t h = std::stoi(save().value);
  WindowObject* f = frame();
  const int32_t before = f->last_mdi_form;
  EXPECT_EQ(set(kFrameObjectId, 160, "5000").raised, ERR_INVALID_ARGUMENT) << "no template";
  EXPECT_EQ(f->last_mdi_form, before);
  ASSERT_EQ(set(kFrameObjectId, 160, std::to_string(h >> 16)).raised, 0);
  WindowObject* made = obj_get(f->last_mdi_form);
  ASSERT_NE(made, nullptr);
  EXPECT_NE(f->last_mdi_form, before);
  EXPECT_EQ(made->type, kObjForm);
  EXPECT_EQ(made->mdi_form, 1);
  // Its parent is the frame, as an editor window's is, so the dialog
  // manager leaves its controls alone and ON-CLOSE reaches it; it does not
  // join the frame's ring of editor windows.
  EXPECT_EQ(made->parent, f);
  EXPECT_NE(f->first_child, made);
  if (WindowObject* c = made->first_child) {
    EXPECT_EQ(obj_top_level(c), made);
  }
  EXPECT_EQ(prop_get_field(made->props, 11), 1u) << "shown once loaded";
  EXPECT_EQ(read(made, 29), "Find text");
  EXPECT_EQ(get(kFrameObjectId, 160).value, std::to_string(made->handle));
  // Set on the frame as the current object, the new form stays current.
  window_set_current(f, 0);
  ASSERT_EQ(set(160, std::to_string(h >> 16)).raised, 0);
  EXPECT_NE(f->last_mdi_form, made->handle) << "another form of the same template";
  EXPECT_EQ(window_current(), obj_get(f->last_mdi_form));
}

// ---- storing ----

TEST_F(Templates, StoreInPlaceKeepsIndexAndInfoAndDropsOldStrings) {
  find_form();
  const int32_t h = std::stoi(save().value);
  const uint32_t index = static_cast<uint32_t>(h) >> 16;
  ASSERT_EQ(name_set_info(index, "the finder"), 0);
  PropertyBlock r1;
  ASSERT_TRUE(tpl_read(index, 1, &r1));
  const uint16_t old_text = static_cast<uint16_t>(prop_get_field(r1, 52));
  ASSERT_TRUE(namepool::live(old_text));
  EXPECT_EQ(std::stoi(save().value), h);
  EXPECT_EQ(name_info(index), "the finder");
  ASSERT_TRUE(tpl_read(index, 1, &r1));
  EXPECT_NE(static_cast<uint16_t>(prop_get_field(r1, 52)), old_text);
  EXPECT_EQ(tpl_string(r1, 52), "abc");
  EXPECT_TRUE(name_table_check());
}

// Tables named after the form and its controls: linked when a record gives
// none, deleted when the control is gone.
TEST_F(Templates, ControlTablesLinkAndGoWithTheirControl) {
  WindowObject* f = find_form();
  const int32_t ok_table = name_create("find.ok", NF_EVENT_TABLE, std::nullopt);
  const int32_t form_table = name_create("find", NF_EVENT_TABLE, std::nullopt);
  const int32_t h = std::stoi(save().value);
  const uint32_t index = static_cast<uint32_t>(h) >> 16;
  std::vector<RecordText> r = texts_of(index);
  EXPECT_EQ(r[0].table, "find");
  EXPECT_EQ(r[5].table, "find.ok");
  EXPECT_EQ(r[1].table, "");
  WindowObject* ok = nullptr;
  for (WindowObject* c = f->first_child;; c = c->next) {
    if (c->type == kObjCommand) ok = c;
    if (c->next == f->first_child) break;
  }
  ASSERT_NE(ok, nullptr);
  obj_destroy(ok);
  window_set_current(f, 0);
  ASSERT_EQ(std::stoi(save().value), h);
  EXPECT_EQ(name_is_valid(static_cast<uint32_t>(ok_table)), 0u) << "the control's table went with it";
  EXPECT_NE(name_is_valid(static_cast<uint32_t>(form_table)), 0u);
}

TEST_F(Templates, AddControlUsesFreeRecordsThenGrowsByFour) {
  find_form();
  const uint32_t index = static_cast<uint32_t>(std::stoi(save().value)) >> 16;
  EXPECT_EQ(tpl_add_control(index), 6) << "no free record: the block grows";
  EXPECT_EQ(tpl_record_count(index), 10u);
  PropertyBlock b;
  ASSERT_TRUE(tpl_read(index, 9, &b));
  EXPECT_EQ(b.type, 0);
  EXPECT_EQ(tpl_add_control(index), 6) << "still free: nothing uses it yet";
  ASSERT_TRUE(tpl_read(index, 6, &b));
  b.type = kObjLabel;
  ASSERT_TRUE(tpl_write(index, 6, b));
  EXPECT_EQ(tpl_add_control(index), 7);
  EXPECT_EQ(tpl_record_count(index), 10u);
}

TEST_F(Templates, CopyRecordsGivesOwnStrings) {
  find_form();
  const uint32_t index = static_cast<uint32_t>(std::stoi(save().value)) >> 16;
  // Inserting a template name makes one record of the type's defaults.
  const int32_t plain = name_create("copy", NF_TEMPLATE | (kObjForm << 11), std::nullopt);
  ASSERT_GT(plain, 0);
  EXPECT_EQ(tpl_record_count(static_cast<uint32_t>(plain) >> 16), 1u);
  const int32_t h = tpl_create_named("copy", std::nullopt, kObjForm, index << 16, std::string_view("info"));
  ASSERT_GT(h, 0);
  std::vector<RecordText> a = texts_of(index), b = texts_of(static_cast<uint32_t>(h) >> 16);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(b[0].strings.at(28), "copy");
  b[0].strings[28] = "find";
  b[0].table = a[0].table;
  EXPECT_EQ(a, b);
  name_delete(index, false);
  EXPECT_EQ(texts_of(static_cast<uint32_t>(h) >> 16)[1].strings.at(52), "abc") << "the copy's strings are its own";
  EXPECT_EQ(name_info(static_cast<uint32_t>(h) >> 16), "info");
}

// ---- modules, state files and deletion ----

constexpr const char* kModule = R"(
proc main()
  return
end
proc uses()
  push_object form2:"find"
  return_value
end
command on-it()
  return
end
table "find"
  ON-LOAD on-it
end
table "find.ok"
  F5 on-it
end
form "find"
  prop caption "Find text"
  control text "pattern"
    prop text "abc"
  end
  control frame "opts"
    prop caption "Options"
    control check "case"
      prop value 1
    end
  end
  control command "ok"
    prop caption "OK"
    table2 "second"
  end
end
)";

TEST_F(Templates, ModuleTemplateLoadsLinksAndShows) {
  uint32_t module = 0;
  ASSERT_EQ(load_module(kModule, &module), 0);
  const uint32_t h = name_find("find", NF_TEMPLATE);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(name_type(h) & 0xFFFF, uint32_t(NF_TEMPLATE | (kObjForm << 11)));
  EXPECT_EQ(name_find("find.case", NF_TEMPLATE), h | 3);
  EXPECT_EQ(name_text(h | 3), "find.case");
  EXPECT_EQ(name_type(h | 4) >> 11 & 0x1F, uint32_t(kObjCommand));
  EXPECT_EQ(name_type(h | 5), 0u) << "past the last record";
  EXPECT_EQ(name_text(h | 5), "");
  const std::vector<RecordText> r = texts_of(h >> 16);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].table, "find");
  EXPECT_EQ(r[4].strings.at(29), "OK");
  EXPECT_EQ(r[4].table, "find.ok") << "named after the control";
  EXPECT_EQ(r[4].table2, "second") << "made by the load";
  EXPECT_EQ(r[3].strings.at(28), "case");
  EXPECT_EQ(r[2].strings.at(29), "Options");
  Out o = show({std::to_string(h)});
  ASSERT_EQ(o.raised, 0);
  WindowObject* made = obj_get(std::stoi(o.value));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(read(made, 29), "Find text");
  EXPECT_EQ(read(made->first_child, 52), "abc");
}

TEST_F(Templates, StateFileKeepsTemplates) {
  ASSERT_EQ(load_module(kModule), 0);
  const uint32_t index = name_find("find", NF_TEMPLATE) >> 16;
  const std::vector<RecordText> before = texts_of(index);
  const std::string stu = dir_ / "t.stu";
  ASSERT_EQ(state_write(stu), 0);
  for (int64_t limit : {int64_t(-1), int64_t(0)}) {
    SCOPED_TRACE(limit);
    ASSERT_EQ(name_pool_init(), 0);
    state_reset_read_flag();
    cache_set_limit(limit);
    ASSERT_EQ(state_read(stu, nullptr, nullptr), 0);
    const uint32_t again = name_find("find", NF_TEMPLATE) >> 16;
    ASSERT_NE(again, 0u);
    EXPECT_EQ(texts_of(again), before);
    Out o = show({std::to_string(again << 16), "", "C"});
    EXPECT_GT(std::stoi(o.value), 3);
  }
}

TEST_F(Templates, DeletingTemplateClearsLinksAndTables) {
  uint32_t module = 0;
  ASSERT_EQ(load_module(kModule, &module), 0);
  const uint32_t h = name_find("find", NF_TEMPLATE);
  const uint32_t t_form = name_find("find", NF_EVENT_TABLE), t_ok = name_find("find.ok", NF_EVENT_TABLE);
  const uint32_t t_second = name_find("second", NF_EVENT_TABLE);
  ASSERT_NE(t_form, 0u);
  ASSERT_NE(t_ok, 0u);
  // The code resolves its template link once it runs.
  ASSERT_EQ(name_load_data(module), 0);
  uint8_t* image = name_block(module);
  bool linked = false;
  for (uint32_t i = kFirstLink; int(i) <= le::get_i16(image + MH_LAST_LINK); ++i) {
    uint8_t* l = image + le::get_u16(image + MH_LINKS) + i * kLinkEntrySize;
    if (le::get_u16(l + 2) == kObjForm) {
      le::put_u16(l + 6, static_cast<uint16_t>(h >> 16));
      linked = true;
    }
  }
  ASSERT_TRUE(linked);
  name_delete(h, false);
  EXPECT_EQ(name_find("find", NF_TEMPLATE), 0u);
  EXPECT_EQ(name_is_valid(t_form), 0u);
  EXPECT_EQ(name_is_valid(t_ok), 0u);
  EXPECT_NE(name_is_valid(t_second), 0u) << "not named after the form";
  image = name_block(module);
  for (uint32_t i = kFirstLink; int(i) <= le::get_i16(image + MH_LAST_LINK); ++i) {
    const uint8_t* l = image + le::get_u16(image + MH_LINKS) + i * kLinkEntrySize;
    if (le::get_u16(l + 2) == kObjForm) {
      EXPECT_EQ(le::get_u16(l + 6), 0);
    }
  }
  EXPECT_TRUE(name_table_check());
}

// A table or picture that goes leaves no record naming its index.
TEST_F(Templates, DeletingTableOrPictureClearsRecords) {
  ASSERT_EQ(load_module(kModule), 0);
  const uint32_t index = name_find("find", NF_TEMPLATE) >> 16;
  const uint32_t second = name_find("second", NF_EVENT_TABLE);
  name_delete(second, false);
  EXPECT_EQ(texts_of(index)[4].table2, "");
  const std::string xpm = dir_ / "dot.xpm";
  write_file(xpm, "/* XPM */\nstatic char *dot[] = {\n\"1 1 1 1\",\n\". c #000000\",\n\".\"};\n");
  const int32_t pic = tpl_picture_from_file(xpm);
  ASSERT_GT(pic, 0);
  EXPECT_EQ(name_text(static_cast<uint32_t>(pic)), "dot.xpm");
  PropertyBlock b;
  ASSERT_TRUE(tpl_read(index, 0, &b));
  prop_set_field(b, kTplPicture, static_cast<uint32_t>(pic));
  ASSERT_TRUE(tpl_write(index, 0, b));
  EXPECT_EQ(name_purge_unused(), 0) << "a picture a record names stays";
  name_delete(static_cast<uint32_t>(pic), false);
  ASSERT_TRUE(tpl_read(index, 0, &b));
  EXPECT_EQ(prop_get_field(b, kTplPicture), 0u);
}

TEST_F(Templates, PicturesFromFiles) {
  const std::string xpm = dir_ / "p.xpm", txt = dir_ / "p.txt";
  write_file(xpm, "/* XPM */\nstatic char *p[] = {\n\"1 1 1 1\",\n\". c #FF0000\",\n\".\"};\n");
  write_file(txt, "plain text\n");
  const int32_t pic = tpl_picture_from_file(xpm);
  ASSERT_GT(pic, 0);
  ASSERT_EQ(name_load_data(static_cast<uint32_t>(pic)), 0);
  const uint8_t* d = name_block(static_cast<uint32_t>(pic));
  EXPECT_EQ(le::get_u16(d), 3) << "XPM kind";
  EXPECT_EQ(le::get_u16(d + 2), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d + 4), 9), "/* XPM */");
  name_set_picture_cache(static_cast<uint32_t>(pic), 77);
  EXPECT_EQ(name_picture_cache(static_cast<uint32_t>(pic)), 77u);
  EXPECT_EQ(tpl_picture_from_file(xpm), pic) << "read again under its index";
  EXPECT_EQ(name_picture_cache(static_cast<uint32_t>(pic)), 0u) << "its old image released";
  EXPECT_EQ(tpl_picture_from_file(txt), ERR_UNSUPPORTED_GRAPHICS_FORMAT);
  EXPECT_EQ(tpl_picture_from_file(dir_ / "missing.xpm"), -2);
  const uint32_t cmd = static_cast<uint32_t>(name_create("cmd", NF_COMMAND, std::nullopt));
  name_set_picture_cache(cmd, 5);
  EXPECT_EQ(name_picture_cache(cmd), 0u) << "only pictures have a slot";
}

// ---- damaged templates ----

// The module form of a small valid template: a form with two controls.
std::vector<uint8_t> module_form() {
  TplModuleRecord f = tpl_default_record(kObjForm), a = tpl_default_record(kObjLabel),
                  b = tpl_default_record(kObjCheck);
  f.strings[2] = "bad";
  a.strings[2] = "a";
  b.strings[2] = "b";
  b.strings[3] = "caption";
  f.block.child = 1;
  a.block.next = 2;
  b.block.next = 1;
  std::vector<TplModuleRecord> recs{f, a, b};
  std::vector<uint8_t> out;
  std::string err;
  EXPECT_TRUE(tpl_module_form(recs, &out, &err)) << err;
  return out;
}

TEST_F(Templates, DamagedModuleTemplatesAreRefused) {
  auto u16 = [](std::vector<uint8_t>& v, size_t at, uint16_t x) { le::put_u16(v.data() + at, x); };
  constexpr size_t R = kTemplateRecordSize;
  // Property 28 is the high half of word 5; 29 the low half of word 6.
  const size_t name28 = 8 + 5 * 4 + 2, caption29 = 8 + 6 * 4;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const std::vector<Case> cases = {
      {"shorter than one record", [](auto& v) { v.resize(100); }},
      {"records' size 0", [&](auto& v) { u16(v, name28, 0); }},
      {"records' size not whole records", [&](auto& v) { u16(v, name28, 3 * R - 1); }},
      {"records' size past the end", [&](auto& v) { u16(v, name28, 4 * R); }},
      {"form of type 0", [&](auto& v) { u16(v, 0, 0); }},
      {"form of type 20", [&](auto& v) { u16(v, 0, 20); }},
      {"child past the records", [&](auto& v) { u16(v, 4, 3); }},
      {"sibling past the records", [&](auto& v) { u16(v, R + 2, 9); }},
      {"ring that misses its first child", [&](auto& v) { u16(v, 2 * R + 2, 2); }},
      {"ring back to the form", [&](auto& v) { u16(v, 2 * R + 2, 0); }},
      {"a control its own parent", [&](auto& v) { u16(v, R + 4, 1); }},
      {"two parents share a child", [&](auto& v) { u16(v, R + 4, 2); }},
      {"control of type 0", [&](auto& v) { u16(v, R, 0); }},
      {"control of type 18 in a form", [&](auto& v) { u16(v, 2 * R, 18); }},
      {"string offset past the strings", [&](auto& v) { u16(v, 2 * R + caption29, 5000); }},
      {"string length past the end",
       [&](auto& v) {
         u16(v, 2 * R + caption29, uint16_t(v.size() - 3 * R + 1));
         v.push_back(0x7F);
       }},
      {"table offset past the strings", [&](auto& v) { u16(v, R + 8 + 5 * 4, 4000); }},
      {"picture offset past the strings", [&](auto& v) { u16(v, R + 8 + 22 * 4, 4000); }},
      {"no strings at all", [&](auto& v) { v.resize(3 * R); }},
  };
  const std::vector<uint8_t> good = module_form();
  ASSERT_GT(tpl_store_module(good), 0) << "the undamaged form stores";
  name_delete(name_find("bad", NF_TEMPLATE), true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> v = good;
    c.damage(v);
    const int count = name_count();
    const uint32_t handles = namepool::handle_count();
    EXPECT_EQ(tpl_store_module(v), ERR_INCORRECT_VERSION);
    EXPECT_EQ(name_find("bad", NF_TEMPLATE), 0u);
    EXPECT_EQ(name_count(), count) << "nothing made";
    EXPECT_EQ(namepool::handle_count(), handles);
    // The same bytes in a module file: the load fails as a whole.
    ModuleBuilder m;
    m.templates.push_back(v);
    EXPECT_EQ(load_bytes(m.file()), ERR_INCORRECT_VERSION);
    EXPECT_TRUE(name_table_check());
  }
}

// A free record's words mean nothing: offsets left in them are neither
// imported nor released, so the names around keep their texts.
TEST_F(Templates, FreeRecordsOwnNothing) {
  std::vector<uint8_t> v = module_form();
  // Record 2 freed (the ring closed without it), its caption word still an
  // offset of the strings, which now names a pool string of a table made below.
  le::put_u16(v.data() + kTemplateRecordSize + 2, 1);
  le::put_u16(v.data() + 2 * kTemplateRecordSize, 0);
  ASSERT_GT(name_create("table-one", NF_EVENT_TABLE, std::nullopt), 0);
  const int32_t h = tpl_store_module(v);
  ASSERT_GT(h, 0);
  PropertyBlock b;
  ASSERT_TRUE(tpl_read(static_cast<uint32_t>(h) >> 16, 2, &b));
  EXPECT_EQ(b.type, 0);
  for (uint32_t w : b.words) EXPECT_EQ(w, 0u) << "a free record is stored empty";
  // The same in memory form: a free record's words are left alone.
  std::vector<PropertyBlock> r(2);
  r[0].type = kObjForm, r[0].child = 1;
  r[1].type = kObjLabel, r[1].next = 1;
  PropertyBlock free_rec{};
  prop_set_field(free_rec, 29, name_entry(name_find("table-one", NF_EVENT_TABLE))->name_id);
  prop_set_field(free_rec, 30, name_entry(name_find("table-one", NF_EVENT_TABLE))->name_id);
  r.push_back(free_rec);
  const int32_t index = tpl_create("with-free", r);
  ASSERT_EQ(tpl_load(static_cast<uint32_t>(index)), 0);
  name_delete(static_cast<uint32_t>(index), false);
  name_delete(static_cast<uint32_t>(h) >> 16, false);
  EXPECT_EQ(name_text(name_find("table-one", NF_EVENT_TABLE)), "table-one");
  EXPECT_TRUE(name_table_check());
}

// Damaged blocks in memory form, as a damaged state file leaves them.
TEST_F(Templates, DamagedStoredTemplatesAreRefused) {
  const uint32_t someone = static_cast<uint32_t>(name_create("someone", NF_COMMAND, std::nullopt));
  const uint16_t someone_text = name_entry(someone)->name_id;
  auto good = [] {
    std::vector<PropertyBlock> r(3);
    r[0].type = kObjForm, r[0].child = 1;
    r[1].type = kObjLabel, r[1].next = 2;
    r[2].type = kObjCheck, r[2].next = 1;
    return r;
  };
  struct Case {
    const char* what;
    std::function<void(std::vector<PropertyBlock>&)> damage;
  };
  const std::vector<Case> cases = {
      {"child past the end", [](auto& r) { r[0].child = 7; }},
      {"endless ring", [](auto& r) { r[2].next = 2; }},
      {"child is an ancestor", [](auto& r) { r[1].child = 1; }},
      {"type 1 at the top", [](auto& r) { r[0].type = 1; }},
      {"string of a name entry", [&](auto& r) { prop_set_field(r[1], 29, someone_text); }},
      {"string used twice",
       [](auto& r) {
         const uint16_t s = namepool::put("twice");
         prop_set_field(r[1], 25, s), prop_set_field(r[2], 25, s);
       }},
      {"string handle not in use", [](auto& r) { prop_set_field(r[2], 29, 60000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PropertyBlock> r = good();
    c.damage(r);
    const int32_t index = tpl_create(c.what, r);
    ASSERT_GT(index, 0);
    const uint32_t i = static_cast<uint32_t>(index);
    EXPECT_EQ(tpl_load(i), ERR_INCORRECT_VERSION);
    PropertyBlock b;
    EXPECT_FALSE(tpl_read(i, 0, &b));
    EXPECT_EQ(tpl_record_count(i), 0u);
    EXPECT_EQ(name_type(i << 16 | 1), 0u);
    EXPECT_EQ(show({std::to_string(i << 16)}).value, std::to_string(ERR_INCORRECT_VERSION));
    name_delete(i, false);
    EXPECT_EQ(name_text(someone), "someone") << "a damaged template releases nothing";
    EXPECT_TRUE(name_table_check());
  }
  const int32_t fine = tpl_create("fine", good());
  EXPECT_EQ(tpl_load(static_cast<uint32_t>(fine)), 0);
}

TEST_F(Templates, ZozuFormSourceErrors) {
  struct Case {
    const char* source;
    const char* message;
  };
  const Case cases[] = {
      {"form \"f\"\n  prop caption \"x\"\n", "form without end"},
      {"form \"f\"\n  prop nonsense 1\nend\n", "unknown property"},
      {"form \"f\"\n  prop caption 5\nend\n", "takes a string"},
      {"form \"f\"\n  prop left \"x\"\nend\n", "takes a number"},
      {"form \"f\"\n  prop text-tag \"x\"\nend\n", "has no text-tag"},
      {"form \"f\"\n  control menu \"m\"\n  end\nend\n", "control needs a type"},
      {"form \"f\"\n  control 19 \"m\"\n  end\nend\n", "do not form a tree"},
      {"form \"f\"\n  control form \"g\"\n  end\nend\n", "cannot sit inside"},
      {"form \"f\"\n  prop style 99\nend\n", "too wide"},
      {"form \"f\"\n  prop event-table 3\nend\n", "table, table2 and picture"},
      {"form \"\"\nend\n", "needs a name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    std::vector<uint8_t> out;
    std::vector<ZozuDiag> diags;
    EXPECT_FALSE(zozu_assemble("f.zs", std::string("proc main()\n  return\nend\n") + c.source, out, diags));
    ASSERT_FALSE(diags.empty());
    EXPECT_NE(diags[0].message.find(c.message), std::string::npos) << diags[0].message;
  }
}

TEST_F(Templates, ZozuDisassemblyAssemblesBack) {
  std::vector<uint8_t> first, second;
  std::vector<ZozuDiag> diags;
  ASSERT_TRUE(zozu_assemble("t.zs", kModule, first, diags));
  std::string text, err;
  ASSERT_TRUE(zozu_disassemble(first, text, err)) << err;
  EXPECT_NE(text.find("form \"find\" type 2"), std::string::npos);
  EXPECT_NE(text.find("control 4 \"case\""), std::string::npos);
  EXPECT_NE(text.find("table2 \"second\""), std::string::npos);
  ASSERT_TRUE(zozu_assemble("u.zs", text, second, diags)) << (diags.empty() ? "" : diags[0].message);
  EXPECT_EQ(first, second);
}

}  // namespace

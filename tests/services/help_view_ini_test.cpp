// The help ini file (font translations, the scale, reloading), the
// automatic scale, keyword and topic lookups, properties and listings, and
// the nine built-ins run as byte code on help-control objects.
#include <gtest/gtest.h>

#include "forms/objects.h"
#include "services/help_view_host.h"
#include "services/opcode_bind.h"
#include "tests/macro/text_bi_fixture.h"
#include "tests/services/help_view_fixture.h"
#include "tests/special_files.h"
#include "text/cursor.h"

namespace {

using helptest::HelpViewTest;

class HelpIni : public HelpViewTest {
 protected:
  // x of the run "Key" after a paragraph format with a left indent of 720.
  int32_t indented_x() {
    layout_raw("\001p1 Key");
    return view_.lines[0].runs[0].x;
  }
  void ini(const std::string& text) {
    spelltest::write_file(dir_ / "help.ini", text);
    EXPECT_EQ(0, help_command(view_, "inifile", dir_ / "help.ini"));
  }
};

TEST_F(HelpIni, TranslationsRewriteFaceAndSize) {
  load("@topic T\nx\n");
  help_apply_ini(view_,
                 "[help font translations]\n"
                 "Help Default , Helvetica , 0 = Times , 0\n"
                 "Mono,Courier,90=Fixed,120\n"
                 "Big,Courier,0=Lucida,200\n"
                 "[help options]\nScale Mul=1\n");
  struct Case {
    const char* face;
    int32_t size;
    const char* new_face;
    int32_t new_size;
  };
  const Case cases[] = {
      {"helvetica", 100, "Times", 100},  // size 0 with new size 0: the size stays
      {"Courier", 90, "Fixed", 120},     // an exact size
      {"COURIER", 100, "Lucida", 200},   // no exact size: the record of size 0 after it
      {"Palatino", 100, "Palatino", 100},
  };
  for (const Case& c : cases) {
    std::string face = c.face;
    int32_t size = c.size;
    help_translate_font(view_, &face, &size);
    EXPECT_EQ(c.new_face, face) << c.face;
    EXPECT_EQ(c.new_size, size) << c.face;
  }
}

TEST_F(HelpIni, ScaleOptionsApplyAndZeroIsRefused) {
  load("@topic T\nx\n");
  EXPECT_EQ(6 + 720 / 15, indented_x());
  ini("[help options]\nScale Mul=2\nScale Div=1\n");
  EXPECT_EQ(6 + 1440 / 15, indented_x());
  // A divisor of 0 would divide by zero: the scale there was stays.
  ini("[help options]\nscale mul=3\nScale Div=0\n");
  EXPECT_EQ(2, view_.scale_num);
  EXPECT_EQ(1, view_.scale_den);
  EXPECT_EQ(6 + 1440 / 15, indented_x());
  ini("[help options]\nScale Mul=0\n");
  EXPECT_EQ(6 + 1440 / 15, indented_x());
  ini("[help options]\nScale Mul=1\nScale Div=2\n");
  EXPECT_EQ(6 + 360 / 15, indented_x());
}

TEST_F(HelpIni, ReloadingReplacesTheTranslationsAndTakesEffect) {
  load("@topic T\nhello\n");
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  ini("[help font translations]\nA,Helvetica,0=Times,0\n[help options]\nScale Mul=1\n");
  ASSERT_FALSE(canvas_.opened.empty());
  EXPECT_EQ("Times", canvas_.opened.back().face);
  ini("[help font translations]\nA,Helvetica,0=Courier,140\n[help options]\nScale Mul=1\n");
  EXPECT_EQ(1u, view_.translations.size());
  EXPECT_EQ("Courier", canvas_.opened.back().face);
  EXPECT_EQ(140, canvas_.opened.back().size);
  // The shown topic was laid out in the new font: 14 pt is 20 pixels high.
  EXPECT_EQ(20, view_.lines[0].height);
  // "fontstyle" changes a translation by name.
  EXPECT_EQ(0, help_command(view_, "fontstyle", "a,Lucida,200"));
  EXPECT_EQ("Lucida", canvas_.opened.back().face);
  EXPECT_EQ(26, view_.lines[0].height);
}

TEST_F(HelpIni, AMissingIniFileChangesNothing) {
  load("@topic T\nx\n");
  help_apply_ini(view_, "[help font translations]\nA,Helvetica,0=Times,0\n");
  EXPECT_EQ(ERR_FILE_NOT_FOUND, help_load_ini(view_, dir_ / "none.ini"));
  EXPECT_EQ(1u, view_.translations.size());
}

TEST_F(HelpIni, SpecialFilesInPlaceOfTheIniFileChangeNothing) {
  load("@topic T\nx\n");
  help_apply_ini(view_, "[help font translations]\nA,Helvetica,0=Times,0\n");
  struct Case {
    zvxtest::Special kind;
    ErrorCode want;
  };
  const Case cases[] = {
      {zvxtest::Special::Directory, ERR_ACCESS_DENIED},
      {zvxtest::Special::Fifo, ERR_ACCESS_DENIED},
      {zvxtest::Special::DevZero, ERR_ACCESS_DENIED},
      {zvxtest::Special::Garbage, ERR_INSUFFICIENT_MEMORY},
  };
  const std::string path = dir_ / "help.ini";
  for (const Case& c : cases) {
    zvxtest::make_special(path, c.kind);
    zvxtest::Watchdog watch("help_load_ini");
    EXPECT_EQ(c.want, help_load_ini(view_, path));
    EXPECT_EQ(1u, view_.translations.size());
  }
}

TEST_F(HelpIni, AutomaticScaleFromTheReferenceFont) {
  load("@topic T\nx\n");
  // 8-pixel characters at 15 twips: "Applies To" is 1200 twips, the long
  // text 5400; 5400 x 1000 is not above 1200 x 4600, so the scale is 1200/1000.
  help_apply_ini(view_, "[help font translations]\nHelp Default,Helvetica,0=Times,100\n");
  EXPECT_FALSE(view_.scale_fixed);
  EXPECT_EQ(1200, view_.scale_num);
  EXPECT_EQ(1000, view_.scale_den);
  EXPECT_EQ(6 + 864 / 15, indented_x());
  // A fixed scale is not recomputed.
  help_apply_ini(view_, "[help font translations]\nHelp Default,Helvetica,0=Times,100\n[help options]\nScale Mul=1\n");
  EXPECT_EQ(1, view_.scale_num);
}

const char* kKeywords = R"(@start Intro
@topic A
@keyword Intro
{kw shared}in A
{kw Only}only in A
@topic B
{kw shared}in B
{kw Shared}in B again
)";

TEST_F(HelpIni, KeywordAndTopicLookups) {
  load(kKeywords);
  struct Case {
    const char* keyword;
    const char* topic;  // null: any
    ErrorCode rc;
    const char* shown;
  };
  const Case cases[] = {
      {"only", nullptr, 0, "A"}, {"ONLY", "b", -1, ""},        {"only", "a", 0, "A"},
      {"shared", "B", 0, "B"},   {"nothing", nullptr, -1, ""}, {"shared", "Z", -1, ""},
  };
  for (const Case& c : cases) {
    help_view_close(view_);
    ASSERT_EQ(0, help_view_load(view_, path_));
    const std::string_view t = c.topic ? c.topic : "";
    EXPECT_EQ(c.rc, help_goto_keyword(view_, c.keyword, c.topic ? &t : nullptr)) << c.keyword;
    EXPECT_EQ(c.shown, topic()) << c.keyword;
  }
  EXPECT_EQ(1, help_goto_topic_name(view_, "nope", 0));
  EXPECT_EQ(0, help_goto_topic_name(view_, "b", 0));
  EXPECT_EQ("B", topic());
  EXPECT_EQ(0, help_command(view_, "contents", ""));
  EXPECT_EQ("A", topic());
  help_view_close(view_);
  EXPECT_EQ(0, help_goto_keyword(view_, "only", nullptr));  // no file
}

TEST_F(HelpIni, PropertiesAreEmptyWithoutATopic) {
  load(kKeywords);
  for (const char* name : {"topic", "offset", "selactive", "topicindex", "noftopics", "file", "other"})
    EXPECT_EQ("", help_query(view_, name)) << name;
  ASSERT_EQ(0, help_goto_keyword(view_, "only", nullptr));
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"Topic", "A"},     {"offset", std::to_string(view_.topic_position)},
      {"selactive", "0"}, {"TOPICINDEX", "0"},
      {"noftopics", "2"}, {"file", path_},
      {"unknown", ""},
  };
  EXPECT_NE("0", help_query(view_, "offset"));
  for (const Case& c : cases) EXPECT_EQ(c.text, help_query(view_, c.name)) << c.name;
}

TEST_F(HelpIni, ListingsDropOnlyExactRepeats) {
  load(kKeywords);
  std::vector<std::string> got;
  auto collect = [&](std::string_view s) {
    got.emplace_back(s);
    return 0;
  };
  EXPECT_EQ(0, help_list_keywords(view_, collect));
  // Entries are kept together and sorted without case: Intro, Only, shared x2, Shared.
  EXPECT_EQ((std::vector<std::string>{"Intro", "Only", "shared", "Shared"}), got);
  got.clear();
  const std::string_view k = "SHARED";
  EXPECT_EQ(0, help_list_keyword_topics(view_, collect, &k));
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(0u, got[0].find("A\t"));
  EXPECT_EQ(0u, got[1].find("B\t"));
  EXPECT_EQ(1, help_list_keyword_topics(view_, collect, nullptr));
  // A callback's non-zero result stops the listing.
  int calls = 0;
  EXPECT_EQ(7, help_list_keywords(view_, [&](std::string_view) { return ++calls == 2 ? 7 : 0; }));
  EXPECT_EQ(2, calls);
}

// ---- the built-ins ----

class HelpBuiltins : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
    help_views_reset();
    spelltest::write_file(files_ / "tall.xpm", helptest::kTallXpm);
    std::vector<uint8_t> out;
    std::vector<HelpcDiag> diags;
    ASSERT_TRUE(helpc_compile(std::string(helptest::kHeader) + kKeywords, files_.path(), out, diags));
    hlp_ = files_ / "k.hlp";
    spelltest::write_file(hlp_, std::string(out.begin(), out.end()));
  }
  void TearDown() override {
    help_views_reset();
    objects_shutdown();
    TextBiTest::TearDown();
  }
  // A help control, made current.
  WindowObject* help_control() {
    WindowObject* form = window_new_child(nullptr);
    obj_set_type(form, kObjForm);
    WindowObject* c = window_new_child(form);
    obj_set_type(c, kObjHelp);
    window_set_current(c, 0);
    return c;
  }
  std::string load_code() { return "  push_const \"" + hlp_ + "\"\n  helpview_load\n  assign $out\n"; }

  zvxtest::TempDir files_{"zvx-helpbi"};
  std::string hlp_;
};

TEST_F(HelpBuiltins, OnAnotherObjectEachRaisesNotAllowed) {
  WindowObject* form = window_new_child(nullptr);
  obj_set_type(form, kObjForm);
  window_set_current(form, 0);
  const char* calls[] = {
      "  push_const \"x\"\n  helpview_load",
      "  helpview_close",
      "  push_const \"x\"\n  helpview_keyword 1",
      "  push_const \"topic\"\n  helpview_property",
      "  push_const \"1\"\n  push_const \"2\"\n  helpview_mouse 2",
      "  push_const \"top\"\n  helpview_command 1",
      "  push_const \"1\"\n  helpview_list_keywords 1",
      "  push_const \"1\"\n  push_const \"k\"\n  helpview_list_topics 2",
      "  push_const \"A\"\n  helpview_topic 1",
  };
  for (const char* code : calls) {
    const textbi::Outcome o = run(code);
    EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, o.stop) << code;
  }
}

TEST_F(HelpBuiltins, LoadGoQueryCommandAndClose) {
  help_control();
  textbi::Outcome o = run(load_code() +
                          "  push_const \"only\"\n  helpview_keyword 1\n  assign $out2\n"
                          "  push_const \"topic\"\n  helpview_property\n  assign $out3\n");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("0", o.out);
  EXPECT_EQ("0", o.out2);
  EXPECT_EQ("A", o.out3);
  o =
      run("  push_const \"shared\"\n  push_const \"nowhere\"\n  helpview_keyword 2\n  assign $out\n"
          "  push_const \"B\"\n  push_const \"0\"\n  helpview_topic 2\n  assign $out2\n"
          "  push_const \"topicindex\"\n  helpview_property\n  assign $out3\n"
          "  push_const \"nexttopic\"\n  helpview_command 1\n"
          "  push_const \"nope\"\n  helpview_topic 1\n  assign $out4\n");
  EXPECT_EQ("-1", o.out);
  EXPECT_EQ("0", o.out2);
  EXPECT_EQ("1", o.out3);
  EXPECT_EQ("1", o.out4);
  EXPECT_EQ("0", o.rc);
  o =
      run("  push_const \"copyall\"\n  push_const \"n\"\n  helpview_command 2\n"
          "  helpview_close\n  push_const \"file\"\n  helpview_property\n  assign $out\n");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("", o.out);
  o = run("  push_const \"" + files_ / "none.hlp" + "\"\n  helpview_load\n  assign $out\n");
  EXPECT_EQ(std::to_string(ERR_FILE_NOT_FOUND), o.out);
}

TEST_F(HelpBuiltins, MouseOptionLetters) {
  help_control();
  run(load_code() + "  push_const \"only\"\n  helpview_keyword 1\n  assign $out2\n");
  // A press and an E press select; another letter does nothing.
  textbi::Outcome o =
      run("  push_const \"10\"\n  push_const \"5\"\n  helpview_mouse 2\n"
          "  push_const \"40\"\n  push_const \"5\"\n  push_const \"e\"\n  helpview_mouse 3\n"
          "  push_const \"selactive\"\n  helpview_property\n  assign $out\n"
          "  push_const \"40\"\n  push_const \"5\"\n  push_const \"x\"\n  helpview_mouse 3\n"
          "  push_const \"selactive\"\n  helpview_property\n  assign $out2\n");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("1", o.out);
  EXPECT_EQ("1", o.out2);  // the X press changed nothing
}

TEST_F(HelpBuiltins, ListingsGoIntoAListControl) {
  WindowObject* help = help_control();
  run(load_code());
  WindowObject* list = window_new_child(help->parent);
  window_set_current(list, 0);
  BufferRec* b = open("", "list.txt");
  ASSERT_NE(nullptr, b);
  obj_set_type(list, kObjList);
  window_set_current(help, 0);
  const std::string id = std::to_string(list->handle);
  textbi::Outcome o = run("  push_const \"" + id + "\"\n  helpview_list_keywords 1\n");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ(help, window_current());  // restored
  o = run("  push_const \"" + id + "\"\n  push_const \"shared\"\n  helpview_list_topics 2\n");
  EXPECT_EQ("0", o.rc);
  const std::string all = text_of(b);
  for (const char* line : {" Intro\n", " Only\n", " shared\n", " Shared\n", " A\t", " B\t"})
    EXPECT_NE(std::string::npos, all.find(line)) << line << " in " << all;
  // A window id that names no object, and an object that is no list.
  for (const int32_t bad : {999, help->parent->handle}) {
    o = run("  push_const \"" + std::to_string(bad) + "\"\n  helpview_list_keywords 1\n");
    EXPECT_EQ(ERR_INVALID_ARGUMENT, o.stop) << bad;
    EXPECT_EQ(help, window_current());
  }
  EXPECT_EQ(help, window_current());
}

}  // namespace

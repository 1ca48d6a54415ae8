// The spell checker's built-ins as byte code assembled by zozu: checking a
// buffer and a string, suggesting into the buffer, options, the history and
// the user dictionaries, and their error codes.
#include <cstdlib>

#include "services/spell_bi.h"
#include "tests/macro/text_bi_fixture.h"
#include "tests/services/spell_fixture.h"

namespace {

using spelltest::read_file;
using spelltest::write_file;

class SpellBiTest : public textbi::TextBiTest {
 protected:
  std::string cursor_line_text() {
    PosRecord* v = view_current();
    return line_get_string(v, v->buffer);
  }
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(spell_register_opcodes(vm_dispatch));
    spelltest::build_dictionaries(dicts_.path(), spelltest::kWords);
    ::setenv("ZORVEXPATH", dicts_.path().c_str(), 1);
    spell_bi_reset();
  }
  void TearDown() override {
    spell_bi_reset();
    ::unsetenv("ZORVEXPATH");
    TextBiTest::TearDown();
  }
  zvxtest::TempDir dicts_{"zvx-spellbi"};
};

TEST_F(SpellBiTest, CheckTheBufferThenSuggestIntoIt) {
  open("The cat is hello.\nA wolrd of words\nhello\n");
  // From a cursor after the last misspelt word: -3545 and the cursor stays.
  at(3, 5);
  const textbi::Outcome e = run("  push_const \"keep\"\n  assign $out\n  spell_check 0, $out, $out2, $out3");
  EXPECT_EQ("-3545", e.rc);
  EXPECT_EQ("keep", e.out);
  EXPECT_EQ(3, cur_line());
  EXPECT_EQ(5, cur_col());
  // From the cursor in the middle of line 1 on.
  at(1, 4);
  const textbi::Outcome o = run("  spell_check 0, $out, $out2, $out3");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("-3537", o.rc);
  EXPECT_EQ("wolrd", o.out);
  EXPECT_EQ("", o.out2);
  EXPECT_EQ("3", o.out3);
  EXPECT_EQ(2, cur_line());
  EXPECT_EQ(2, cur_col());
  EXPECT_EQ(1, view_current()->row);  // raised by the line passed
  // Suggestions for the word just found, each a line of its own after the
  // cursor line, the best first; the cursor stays on its line.
  const textbi::Outcome s = run("  spell_suggest 0");
  EXPECT_EQ(0, s.stop);
  const std::string t = text();
  EXPECT_EQ(0u, t.find("The cat is hello.\nA wolrd of words\n world\n ")) << t;
  EXPECT_NE(std::string::npos, t.find("\n words\n")) << t;
  EXPECT_EQ(2, cur_line());
  EXPECT_EQ("A wolrd of words", cursor_line_text());
  // With an argument.
  at(1, 0);
  run("  push_const \"recieve\"\n  spell_suggest 1");
  EXPECT_EQ(0u, text().find("The cat is hello.\n receive\n")) << text();
}

TEST_F(SpellBiTest, CheckAStringWithTheHistory) {
  const textbi::Outcome o =
      run("  push_const \"teh\"\n  push_const \"the\"\n  spell_add_history 2\n"
          "  push_const \"A cat. Teh dog\"\n  spell_check 1, $out, $out2, $out3");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("-3542", o.rc);
  EXPECT_EQ("Teh", o.out);
  EXPECT_EQ("The", o.out2);
  EXPECT_EQ("8", o.out3);
  // Deleting the history entry: now the word is only not found.
  const textbi::Outcome d =
      run("  push_const \"teh\"\n  push_const \"H\"\n  spell_delete_word 2\n"
          "  push_const \"Teh\"\n  spell_check 1, $out, $out2, $out3");
  EXPECT_EQ("-3537", d.rc);
  EXPECT_EQ("", d.out2);
}

TEST_F(SpellBiTest, CheckPartOfTheCursorLine) {
  open("is wrold\tis hELLO\n");
  struct Case {
    const char* args;
    const char* rc;
    const char* word;
    const char* col;
  } cases[] = {
      {"\"1\"", "-3537", "wrold", "4"},
      {"\"9\"", "-3538", "hELLO", "20"},  // the tab (column 9) is expanded up to column 16
      {"\"1\"\n  push_const \"8\"", "-3537", "wrold", "4"},
      {"\"9\"\n  push_const \"11\"", "-3545", "", ""},
  };
  for (const auto& c : cases) {
    const textbi::Outcome o =
        run(std::string("  push_const ") + c.args + "\n  spell_check_word " +
            (std::string(c.args).find('\n') != std::string::npos ? "2" : "1") + ", $out, $out2, $out3");
    EXPECT_EQ(0, o.stop) << c.args;
    EXPECT_EQ(c.rc, o.rc) << c.args;
    if (*c.col) {
      EXPECT_EQ(c.word, o.out) << c.args;
      EXPECT_EQ(c.col, o.out3) << c.args;
      EXPECT_EQ(std::atoi(c.col) - 1, cur_col()) << c.args;
    }
  }
  EXPECT_EQ(-3015, run("  push_const \"0\"\n  spell_check_word 1, $out, $out2, $out3").stop);
}

TEST_F(SpellBiTest, OptionsAndTheirErrors) {
  const textbi::Outcome r =
      run("  push_const \"R\"\n  push_const \"1\"\n  spell_option 2\n  assign $out\n"
          "  push_const \"it is is\"\n  spell_check 1, $out2, $out3, $out4");
  EXPECT_EQ("1", r.out);
  EXPECT_EQ("-3546", r.rc);
  EXPECT_EQ("is", r.out2);
  const textbi::Outcome u =
      run("  push_const \"U\"\n  spell_option 1\n  assign $out\n"
          "  push_const \"R\"\n  push_const \"0\"\n  spell_option 2\n  assign $out2\n"
          "  push_const \"M\"\n  spell_option 1\n  assign $out3\n  spell_option 0\n  assign $out4");
  EXPECT_EQ("0", u.out);
  EXPECT_EQ("0", u.out2);
  EXPECT_EQ("smain.dct", u.out3);
  EXPECT_EQ("userdct1.lst", u.out4);
  const textbi::Outcome z = run("  push_const \"Z\"\n  spell_option 1\n  assign $out");
  EXPECT_TRUE(z.stop == -3015 || z.shown == std::vector<int>{-3015});
  const textbi::Outcome a = run("  push_const \"w\"\n  push_const \"3\"\n  spell_add_word 2");
  EXPECT_TRUE(a.stop == -3015 || a.shown == std::vector<int>{-3015});
  const textbi::Outcome c = run("  push_const \"Q\"\n  spell_clear 1");
  EXPECT_TRUE(c.stop == -3015 || c.shown == std::vector<int>{-3015});
}

TEST_F(SpellBiTest, MissingDictionariesSetRcAndLeaveTheVariables) {
  const textbi::Outcome o =
      run("  push_const \"M\"\n  push_const \"nowhere.dct\"\n  spell_option 2\n  pop\n"
          "  push_const \"keep\"\n  assign $out\n"
          "  push_const \"wrold\"\n  spell_check 1, $out, $out2, $out3");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("-3501", o.rc);
  EXPECT_EQ("keep", o.out);
  EXPECT_EQ("nowhere.dct", std::string(msg_dict_file));
  // The common list missing: the same code, naming it beside the main dictionary.
  spell_bi_reset();
  const textbi::Outcome c =
      run("  push_const \"C\"\n  push_const \"none.lst\"\n  spell_option 2\n  pop\n"
          "  push_const \"x\"\n  spell_add_word 1");
  EXPECT_EQ("-3501", c.rc);
  EXPECT_EQ(dicts_ / "none.lst", std::string(msg_dict_file));
  // Reopening with a good name through the option once open.
  spell_bi_reset();
  const textbi::Outcome g =
      run("  push_const \"wrold\"\n  spell_check 1, $out, $out2, $out3\n"
          "  push_const \"C\"\n  push_const \"none.lst\"\n  spell_option 2\n  assign $out4");
  EXPECT_EQ("-3501", g.rc);
  EXPECT_EQ("none.lst", g.out4);
}

TEST_F(SpellBiTest, UserWordsAreAddedSavedAndDeleted) {
  const std::string user1 = dicts_ / "userdct1.lst";
  const textbi::Outcome o = run(
      "  push_const \"zorvex\"\n  spell_add_word 1\n  push_const \"Halvorn\"\n  push_const \"1\"\n  spell_add_word 2\n"
      "  push_const \"zorvex is Halvorn\"\n  spell_check 1, $out, $out2, $out3\n"
      "  spell_save_dict 0");
  EXPECT_EQ(0, o.stop);
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("", o.out);  // nothing misspelt: the variables keep their values
  EXPECT_EQ("zorvex\nHalvorn\n", read_file(user1));
  // A second save without a change writes nothing.
  ASSERT_EQ(0, std::remove(user1.c_str()));
  EXPECT_EQ("0", run("  spell_save_dict 0").rc);
  EXPECT_EQ("<missing>", read_file(user1));
  // Deleting a word is a change; the dictionary is written again without it.
  const textbi::Outcome d =
      run("  push_const \"zorvex\"\n  spell_delete_word 1\n  spell_save_dict 0\n"
          "  push_const \"zorvex\"\n  spell_check 1, $out, $out2, $out3");
  EXPECT_EQ("-3537", d.rc);
  EXPECT_EQ("Halvorn\n", read_file(user1));
  // Saving under other names; a failure leaves the flag clear.
  const textbi::Outcome n =
      run("  push_const \"x\"\n  spell_add_word 1\n"
          "  push_const \"" +
          (dicts_ / "none/a.lst") + "\"\n  spell_save_dict 1");
  EXPECT_EQ("-3507", n.rc);
  const textbi::Outcome m = run("  push_const \"" + (dicts_ / "b.lst") + "\"\n  spell_save_dict 1");
  EXPECT_EQ("0", m.rc);
  EXPECT_EQ("Halvorn\nx\n", read_file(dicts_ / "b.lst"));
  // Clearing user dictionary 1 empties it: it is no longer written.
  EXPECT_EQ("0", run("  push_const \"1\"\n  spell_clear 1\n  spell_save_dict 0").rc);
  EXPECT_EQ("Halvorn\n", read_file(user1));
}

}  // namespace

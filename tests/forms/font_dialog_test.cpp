// The font chooser without a screen: the font text parsed and written
// back, the dialog's model driven by its keys over a fixed font list, and
// choose_font answered through the runner seam.
#include <gtest/gtest.h>

#include <map>

#include "forms/font_dialog.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;

constexpr int32_t cell(uint32_t w, uint32_t h) { return static_cast<int32_t>(kFontCellSize | w << 16 | h); }

TEST(FontText, ParsesFaceSizeStyleAndCharset) {
  struct Case {
    const char* text;
    int rc;
    const char* face;
    int32_t size;
    uint32_t style, charset;
    int n;
  };
  const Case cases[] = {
      {"Courier,12,1,0", 0, "Courier", 12, 1, 0, 4},
      {"MS Sans Serif", 0, "MS Sans Serif", 10, 0, 0, 1},  // defaults
      {"", 0, "", 10, 0, 0, 1},
      {"Helv,,2", 0, "Helv", 10, 2, 0, 3},  // an empty size keeps the default
      {"misc-fixed,8x16", 0, "misc-fixed", cell(8, 16), 0, 0, 2},
      {"misc-fixed,10X20,3,255", 0, "misc-fixed", cell(10, 20), 3, 255, 4},
      {" Courier , 14 , 2 ", 0, "Courier", 14, 2, 0, 3},  // blanks around fields
      {"Helv,abc", 1, "", 0, 0, 0, 0},
      {"Helv,12,b", 1, "", 0, 0, 0, 0},
      {"Helv,8x", 1, "", 0, 0, 0, 0},
      {"Helv,x16", 1, "", 0, 0, 0, 0},
      {"Helv,-5", 1, "", 0, 0, 0, 0},
      {"Helv,40000x16", 1, "", 0, 0, 0, 0},  // a width past 15 bits would reach the cell bit
      {"Helv,12,1,x", 1, "", 0, 0, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    FontChoice c;
    c.face = "untouched";
    int n = 0;
    ASSERT_EQ(obj_parse_font_size_list(k.text, &c, &n), k.rc);
    if (k.rc != 0) {
      EXPECT_EQ(c.face, "untouched") << "a bad number leaves the output alone";
      continue;
    }
    EXPECT_EQ(c.face, k.face);
    EXPECT_EQ(c.size, k.size);
    EXPECT_EQ(c.style, k.style);
    EXPECT_EQ(c.charset, k.charset);
    EXPECT_EQ(n, k.n);
  }
}

TEST(FontText, WritesTheChoiceBack) {
  struct Case {
    FontChoice c;
    uint32_t flags;
    const char* text;
  };
  const Case cases[] = {
      {{"Courier", 12, 1, 0}, 2, "Courier,12,1"},
      {{"Courier", 12, 1, 0}, 0x102, "Courier,12,1,0"},
      {{"misc-fixed", cell(8, 16), 2, 255}, 0x100, "misc-fixed,8x16,2,255"},
      {{"b&h-lucida", 9, 0, 0}, 0, "b&h-lucida,9,0"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(font_choice_text(k.c, k.flags), k.text);
    // What is written back reads as the same choice.
    FontChoice again;
    ASSERT_EQ(obj_parse_font_size_list(font_choice_text(k.c, 0x100), &again, nullptr), 0);
    EXPECT_EQ(again.face, k.c.face);
    EXPECT_EQ(again.size, k.c.size);
    EXPECT_EQ(again.style, k.c.style);
  }
}

TEST(FontText, SizeField) {
  struct Case {
    const char* text;
    bool ok;
    int32_t size;
  };
  const Case cases[] = {
      {"12", true, 12},
      {" 8 x 16", true, cell(8, 16)},
      {"8x16", true, cell(8, 16)},
      {"0", false, 0},
      {"", false, 0},
      {"0x16", false, 0},
      {"8x0", false, 0},
      {"12a", false, 0},
      {"1 2", true, 12},  // blanks do not count
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    int32_t v = -1;
    EXPECT_EQ(font_size_from_text(k.text, &v), k.ok);
    if (k.ok) {
      EXPECT_EQ(v, k.size);
    }
  }
}

// A font list of four faces; helvetica lists no sizes (scalable); fixed
// has cells under flag 8.
FontLister fake_lister(std::vector<uint32_t>* asked = nullptr) {
  return [asked](uint32_t flags, const std::string& face, std::vector<std::string>* out) {
    if (asked) asked->push_back(flags);
    static const std::map<std::string, std::vector<std::string>> sizes = {
        {"adobe-courier", {" 8", " 10", " 12", " 14"}},
        {"adobe-helvetica", {}},
        {"b&h-lucida", {" 10", " 12", " 18"}},
        {"misc-fixed", {" 10", " 13"}},
    };
    if (face.empty()) {
      for (const auto& [name, list] : sizes) out->push_back(" " + name);
      return;
    }
    if (face == "misc-fixed" && (flags & 8)) {
      *out = {"  6 x 13", "  8 x 16", " 10 x 20"};
      return;
    }
    if (auto it = sizes.find(face); it != sizes.end()) *out = it->second;
  };
}

FontChoice choice_of(const FontDialog& d) {
  FontChoice c;
  EXPECT_TRUE(fontdlg_choice(d, &c));
  return c;
}

TEST(FontDialogModel, StartsFromTheFontText) {
  FontDialog d;
  fontdlg_init(d, 2, FontChoice{"ADOBE-Courier", 12, 2 | 8, 3}, fake_lister());
  ASSERT_EQ(d.faces.size(), 4u);
  EXPECT_EQ(d.faces[0], "adobe-courier") << "the leading blank is dropped";
  EXPECT_EQ(d.face, 0) << "faces match without case";
  EXPECT_EQ(d.size, 2);
  EXPECT_FALSE(d.bold);
  EXPECT_TRUE(d.italic);
  const FontChoice c = choice_of(d);
  EXPECT_EQ(c.face, "adobe-courier");
  EXPECT_EQ(c.size, 12);
  EXPECT_EQ(c.style, 2u | 8u) << "underline is kept though the dialog does not show it";
  EXPECT_EQ(c.charset, 3u);
}

TEST(FontDialogModel, AFaceMissingFromTheListIsAnsweredAsGiven) {
  FontDialog d;
  fontdlg_init(d, 2, FontChoice{"Courier", 9, 0, 0}, fake_lister());
  EXPECT_EQ(d.face, -1);
  EXPECT_EQ(choice_of(d).face, "Courier");
  EXPECT_EQ(choice_of(d).size, 9);
  FontDialog none;
  fontdlg_init(none, 2, FontChoice{"", 9, 0, 0}, fake_lister());
  FontChoice c;
  EXPECT_FALSE(fontdlg_choice(none, &c)) << "no face at all: nothing to answer";
}

TEST(FontDialogModel, KeysChooseFaceSizeAndStyle) {
  FontDialog d;
  std::vector<uint32_t> asked;
  fontdlg_init(d, 2 | 1, FontChoice{"adobe-courier", 12, 0, 0}, fake_lister(&asked));
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), 1u) << "the list flags reach the font list, flag 2 does not";

  EXPECT_EQ(fontdlg_key(d, FontDlgKey::down), FontDlgOutcome::none);
  EXPECT_EQ(d.faces[static_cast<size_t>(d.face)], "adobe-helvetica");
  EXPECT_GT(d.sizes.size(), 5u) << "a face without sizes of its own offers common points";
  EXPECT_EQ(d.sizes[static_cast<size_t>(d.size)], "12") << "the size stays";

  fontdlg_key(d, FontDlgKey::text, 'm');
  EXPECT_EQ(d.faces[static_cast<size_t>(d.face)], "misc-fixed") << "a letter jumps to the next face with it";
  EXPECT_EQ(d.size, -1) << "12 is not a size of the new face";
  EXPECT_EQ(d.size_field, "12") << "but the field keeps it";
  fontdlg_key(d, FontDlgKey::up);
  fontdlg_key(d, FontDlgKey::end);
  EXPECT_EQ(d.face, 3);
  fontdlg_key(d, FontDlgKey::down);
  EXPECT_EQ(d.face, 3) << "the last face stays";

  fontdlg_key(d, FontDlgKey::tab);
  EXPECT_EQ(d.focus, FontDlgPart::sizes);
  fontdlg_key(d, FontDlgKey::home);
  EXPECT_EQ(d.size_field, "10");
  fontdlg_key(d, FontDlgKey::text, '1');
  fontdlg_key(d, FontDlgKey::text, '7');
  EXPECT_EQ(d.size_field, "17") << "typing replaces the listed size";
  EXPECT_EQ(d.size, -1);
  fontdlg_key(d, FontDlgKey::backspace);
  fontdlg_key(d, FontDlgKey::text, '3');
  EXPECT_EQ(d.size, 1) << "a typed size of the list chooses its entry";

  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::space);
  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::space);
  fontdlg_key(d, FontDlgKey::space);
  EXPECT_TRUE(d.bold);
  EXPECT_FALSE(d.italic);
  fontdlg_key(d, FontDlgKey::back_tab);
  EXPECT_EQ(d.focus, FontDlgPart::bold);

  EXPECT_EQ(fontdlg_key(d, FontDlgKey::enter), FontDlgOutcome::ok);
  EXPECT_EQ(font_choice_text(choice_of(d), 0), "misc-fixed,13,1");
  EXPECT_EQ(fontdlg_key(d, FontDlgKey::escape), FontDlgOutcome::cancel);
}

TEST(FontDialogModel, TheButtonsAnswerFromTheKeyboard) {
  struct Case {
    int tabs;
    FontDlgKey key;
    FontDlgOutcome out;
  };
  const Case cases[] = {
      {4, FontDlgKey::space, FontDlgOutcome::ok},      {5, FontDlgKey::space, FontDlgOutcome::cancel},
      {5, FontDlgKey::enter, FontDlgOutcome::cancel},  {6, FontDlgKey::enter, FontDlgOutcome::ok},  // round to the list
      {2, FontDlgKey::escape, FontDlgOutcome::cancel},
  };
  for (const Case& k : cases) {
    FontDialog d;
    fontdlg_init(d, 2, FontChoice{"b&h-lucida", 10, 0, 0}, fake_lister());
    for (int i = 0; i < k.tabs; ++i) fontdlg_key(d, FontDlgKey::tab);
    EXPECT_EQ(fontdlg_key(d, k.key), k.out) << k.tabs;
  }
}

TEST(FontDialogModel, ASizeTypedIntoTheFieldReplacesWhatItHeld) {
  FontDialog d;
  fontdlg_init(d, 0, FontChoice{"misc-fixed", 12, 0, 0}, fake_lister());
  ASSERT_EQ(d.size, -1) << "12 is not listed for misc-fixed";
  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::text, '9');
  fontdlg_key(d, FontDlgKey::text, 'z');  // not a size character: ignored
  fontdlg_key(d, FontDlgKey::text, '9');
  EXPECT_EQ(d.size_field, "99") << "the first size typed replaces the field, the next extend it";
  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::back_tab);
  fontdlg_key(d, FontDlgKey::backspace);
  fontdlg_key(d, FontDlgKey::text, '1');
  EXPECT_EQ(d.size_field, "91") << "a backspace edits the field instead";
}

TEST(FontDialogModel, CellSizesUnderFlag8) {
  FontDialog d;
  fontdlg_init(d, 8, FontChoice{"misc-fixed", cell(8, 16), 0, 0}, fake_lister());
  ASSERT_EQ(d.sizes.size(), 3u);
  EXPECT_EQ(d.size, 1) << "the cell 8x16 is the listed \" 8 x 16\"";
  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::down);
  EXPECT_EQ(choice_of(d).size, cell(10, 20));
  EXPECT_EQ(font_choice_text(choice_of(d), 0), "misc-fixed,10x20,0");
}

TEST(FontDialogModel, PagesKeepTheChosenRowInView) {
  FontDialog d;
  fontdlg_init(d, 0, FontChoice{"adobe-helvetica", 10, 0, 0}, fake_lister());
  fontdlg_key(d, FontDlgKey::tab);
  fontdlg_key(d, FontDlgKey::page_down, 0, 4);
  EXPECT_EQ(d.size_field, "14") << "three rows on from 10 (6 8 9 [10] 11 12 14)";
  EXPECT_GE(d.size, d.size_top);
  EXPECT_LT(d.size, d.size_top + 4);
  fontdlg_key(d, FontDlgKey::end, 0, 4);
  EXPECT_EQ(d.size_top, static_cast<int>(d.sizes.size()) - 4);
  fontdlg_key(d, FontDlgKey::page_up, 0, 4);
  fontdlg_key(d, FontDlgKey::home, 0, 4);
  EXPECT_EQ(d.size_top, 0);
}

// ---- the built-in ----

struct RunnerLog {
  int calls = 0;
  uint32_t flags = 0;
  FontChoice initial;
  bool answer = true;
  int32_t error = 0;
  FontChoice chosen;
};
RunnerLog g_log;

bool fake_runner(uint32_t flags, const FontChoice& initial, FontChoice* out, int32_t* error) {
  ++g_log.calls;
  g_log.flags = flags;
  g_log.initial = initial;
  if (g_log.error) *error = g_log.error;
  if (g_log.answer) *out = g_log.chosen;
  return g_log.answer;
}

class ChooseFont : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    g_log = RunnerLog{};
    font_dialog_set_runner(fake_runner);
  }
  void TearDown() override {
    font_dialog_set_runner(nullptr);
    FormsTest::TearDown();
  }
};

TEST_F(ChooseFont, PushesTheChosenFontOrEmpty) {
  struct Case {
    std::vector<std::string> args;
    bool answer;
    FontChoice chosen;
    const char* pushed;
    uint32_t flags;
    const char* face;
    int32_t size;
    uint32_t style;
  };
  const Case cases[] = {
      {{}, true, {"adobe-courier", 12, 1, 0}, "adobe-courier,12,1", 2, "", 10, 0},
      {{"2", "Courier,14,2"}, true, {"Courier", 14, 3, 0}, "Courier,14,3", 2, "Courier", 14, 2},
      {{"0x102"}, true, {"b", 9, 0, 238}, "", 2, "", 10, 0},  // not a number: stops before the dialog
      {{"258", "Courier,14,2,238"}, true, {"Courier", 14, 2, 238}, "Courier,14,2,238", 258, "Courier", 14, 2},
      {{"8", "misc-fixed,8x16"},
       true,
       {"misc-fixed", cell(6, 13), 0, 0},
       "misc-fixed,6x13,0",
       8,
       "misc-fixed",
       cell(8, 16),
       0},
      {{"", "Helv"}, true, {"Helv", 10, 0, 0}, "Helv,10,0", 2, "Helv", 10, 0},  // an empty flags argument: 2
      {{"2", "Courier,14"}, false, {}, "", 2, "Courier", 14, 0},                // cancelled
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args.empty() ? std::string("()") : k.args.back());
    g_log = RunnerLog{};
    g_log.answer = k.answer;
    g_log.chosen = k.chosen;
    const bitest::Out o = call("choose_font", k.args);
    if (k.args.size() == 1 && k.args[0] == "0x102") {
      EXPECT_EQ(o.raised, ERR_INVALID_NUMBER_ARGUMENT);
      EXPECT_EQ(g_log.calls, 0);
      continue;
    }
    EXPECT_EQ(o.raised, 0);
    EXPECT_EQ(o.value, k.pushed);
    ASSERT_EQ(g_log.calls, 1);
    EXPECT_EQ(g_log.flags, k.flags);
    EXPECT_EQ(g_log.initial.face, k.face);
    EXPECT_EQ(g_log.initial.size, k.size);
    EXPECT_EQ(g_log.initial.style, k.style);
  }
}

TEST_F(ChooseFont, RefusalsReachTheMacro) {
  const bitest::Out bad = call("choose_font", {"2", "Courier,big"});
  EXPECT_EQ(bad.raised, ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(g_log.calls, 0) << "a bad font text shows no dialog";

  g_log.answer = false;
  g_log.error = ERR_SYSTEM_CALL_FAILED;
  const bitest::Out failed = call("choose_font", {"2", "Courier,12"});
  EXPECT_EQ(failed.raised, ERR_SYSTEM_CALL_FAILED);
  EXPECT_EQ(failed.value, "");

  font_dialog_set_runner(nullptr);  // the native dialog, with no server here
  const bitest::Out none = call("choose_font", {});
  EXPECT_EQ(none.raised, ERR_SYSTEM_CALL_FAILED);
}

}  // namespace

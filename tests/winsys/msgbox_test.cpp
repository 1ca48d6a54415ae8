// The message box's text wrapping, layout arithmetic and button sets,
// without a server.
#include <gtest/gtest.h>

#include <string>

#include "winsys/msgbox.h"

namespace {

std::string words(int n, const char* word) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? " " : "") + std::string(word);
  return s;
}

struct WrapCase {
  const char* name;
  std::string text;
  std::string wrapped;
};

TEST(MsgBoxWrap, Cases) {
  std::string w70(70, 'x');
  std::string a59 = std::string(59, 'a');
  const WrapCase cases[] = {
      {"long word alone, then the short one", w70 + " end", w70 + "\nend"},
      // The second space right after the 60th character breaks there...
      {"space after the 60th", "ab " + std::string(57, 'c') + " tail", "ab " + std::string(57, 'c') + "\ntail"},
      // ...after the 61st, the line ends at the first space.
      {"space after the 61st", "ab " + std::string(58, 'c') + " tail", "ab\n" + std::string(58, 'c') + "\ntail"},
      {"twelve four-letter words a line", words(13, "word"), words(12, "word") + "\nword"},
      {"CR LF is one break", "one\r\ntwo", "one\ntwo"},
      {"lone LF", "one\ntwo", "one\ntwo"},
      {"lone CR", "one\rtwo", "one\ntwo"},
      {"LF CR is two breaks", "one\n\rtwo", "one\n\ntwo"},
      // The space at column 60 still belongs to the line; the rest are skipped.
      {"spaces at a soft break are skipped", a59 + "   next", a59 + " \nnext"},
      {"spaces after a hard break stay", "one\n   two", "one\n   two"},
      {"empty text", "", ""},
      {"ends in a break", "abc\n", "abc\n"},
      {"tabs are characters", "a\tb", "a\tb"},
  };
  for (const WrapCase& c : cases) {
    std::string out;
    xfWrapMessageText(c.text, &out);
    EXPECT_EQ(out, c.wrapped) << c.name;
    EXPECT_LE(out.size(), c.text.size()) << c.name;
  }
}

TEST(MsgBoxWrap, LineCountsAndTheThousandLineCap) {
  std::string out;
  EXPECT_EQ(xfWrapMessageText("", &out), 1);
  EXPECT_EQ(xfWrapMessageText("abc\n", &out), 2);
  std::string many;
  for (int i = 0; i < 1200; ++i) many += "l" + std::to_string(i) + "\n";
  EXPECT_EQ(xfWrapMessageText(many, &out), 1000);
  EXPECT_EQ(out.substr(out.rfind('\n') + 1), "l999");
}

TEST(MsgBoxLayout, FromTheSizes) {
  // Text 200 x 30, icon 48 x 64, "Cancel" 40 wide, font 13 high.
  XfMsgBoxLayout l = xf_msgbox_layout(200, 30, 48, 64, 40, 13);
  EXPECT_EQ(l.width, 288);   // 200 + 48 + 40
  EXPECT_EQ(l.height, 137);  // (64 + 20) + (13 + 20) + 20
  EXPECT_EQ(l.text_x, 78);
  EXPECT_EQ(l.text_y, 27);  // (84 - 30) / 2
  EXPECT_EQ(l.icon_x, 10);
  EXPECT_EQ(l.icon_y, 10);
  EXPECT_EQ(l.button_width, 70);
  EXPECT_EQ(l.button_height, 33);
  EXPECT_EQ(l.button_y, 137 - 10 - 33);
  EXPECT_EQ(l.button_x[0], 13);  // column 96, (96 - 70) / 2
  EXPECT_EQ(l.button_x[1], 109);
  EXPECT_EQ(l.button_x[2], 205);
  // A short text: the three buttons set the width.
  XfMsgBoxLayout narrow = xf_msgbox_layout(10, 13, 48, 48, 40, 13);
  EXPECT_EQ(narrow.width, 3 * 70 + 40);
  EXPECT_EQ(narrow.text_y, (68 - 13) / 2);
}

TEST(MsgBoxSets, ButtonsIdsAndAnswers) {
  struct Row {
    uint32_t style;
    int count;
    int ids[3];
    int escape;
    const char* letters;
  };
  const Row rows[] = {
      {0x00, 1, {1}, 1, "o"},
      {0x31, 2, {1, 2}, 2, "oc"},
      {0x02, 3, {3, 4, 5}, 0, "ari"},
      {0x03, 3, {6, 7, 2}, 2, "ync"},
      {0x04, 2, {6, 7}, 0, "yn"},
      // The spill-file question really offers Retry.
      {0x2005, 2, {4, 2}, 2, "rc"},
      {0x0F, 2, {1, 1}, 0, ""},
  };
  for (const Row& r : rows) {
    const XfMsgBoxSet& s = xf_msgbox_set(r.style);
    EXPECT_EQ(s.count, r.count) << r.style;
    for (int k = 0; k < r.count; ++k) EXPECT_EQ(s.ids[k], r.ids[k]) << r.style << " button " << k;
    EXPECT_EQ(s.escape, r.escape) << r.style;
    EXPECT_STREQ(s.letters, r.letters) << r.style;
  }
  EXPECT_STREQ(xf_msgbox_set(5).labels[0], "~Retry");
  EXPECT_STREQ(xf_msgbox_set(5).labels[1], "~Cancel");
}

}  // namespace

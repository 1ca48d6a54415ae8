// View and buffer properties on an editor window showing a text-engine
// buffer.
#include <gtest/gtest.h>
#include "display/lexer.h"
#include "display/refresh.h"

#include "tests/forms/forms_fixture.h"
#include "text/undo.h"

namespace {

using namespace formstest;

class ViewProps : public FormsTest {
 protected:
  WindowObject* editor(const std::string& text, int32_t line = 1) {
    open(text, line, 0);
    WindowObject* w = window_current();
    obj_type_editor_window(w);
    w->line_height = 16;
    return w;
  }
  static std::string lines(int n) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += "line " + std::to_string(i) + "\n";
    return s;
  }
};

TEST_F(ViewProps, ColumnIsClampedTo1024) {
  WindowObject* w = editor("abc\n");
  struct Case {
    const char* set;
    const char* reads;
  };
  for (const Case& c : {Case{"0", "1"}, Case{"5000", "1024"}, Case{"-7", "1"}, Case{"12", "12"}}) {
    EXPECT_EQ(set(w->handle, 109, c.set).raised, 0);
    EXPECT_EQ(read(w, 109), c.reads) << c.set;
  }
}

TEST_F(ViewProps, GoToLine) {
  WindowObject* w = editor(lines(100));
  struct Case {
    const char* line;
    const char* rc;
    const char* reads;
  };
  const Case cases[] = {
      {"5", "0", "5"},          // a short step within the window
      {"80", "0", "80"},        // a jump
      {"78.9", "0", "78"},      // a decimal value keeps its integer part
      {"2", "0", "2"},          // back to near the top: from the first line
      {"500", "-2024", "100"},  // past the end: the last line, rc -2024
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(set(w->handle, 107, c.line).raised, 0);
    EXPECT_EQ(rc(), c.rc);
    EXPECT_EQ(read(w, 107), c.reads);
    EXPECT_EQ(cursor_line(), "line " + std::string(c.reads));
    EXPECT_GE(view_->row, 0);
    EXPECT_LT(view_->row, w->rows);
  }
  EXPECT_EQ(read(w, 108), "100");
  EXPECT_EQ(set(w->handle, 107, "zz").raised, ERR_INVALID_NUMBER_ARGUMENT);
}

TEST_F(ViewProps, TabsAndMarginsReportThroughRc) {
  WindowObject* w = editor("a\tb\n");
  EXPECT_EQ(set(w->handle, 114, "5 9 13").raised, 0);
  EXPECT_EQ(rc(), "0");
  EXPECT_EQ(read(w, 114), "5 9 13 ");
  EXPECT_EQ(set(w->handle, 114, "20 10").raised, 0);
  EXPECT_EQ(rc(), "-2006");
  EXPECT_EQ(read(w, 114), "5 9 13 ") << "the old stops stay";
  EXPECT_EQ(set(w->handle, 113, "5 60 3").raised, 0);
  EXPECT_EQ(rc(), "0");
  EXPECT_EQ(read(w, 113), "5 60 3 ");
}

TEST_F(ViewProps, UndoLimit) {
  WindowObject* w = editor("abc\n");
  EXPECT_EQ(set(w->handle, 122, "-1").raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(set(w->handle, 122, "0").raised, 0);
  EXPECT_EQ(buf_->undo_limit, 0);
  EXPECT_EQ(buf_->undo_enable, 0);
  EXPECT_EQ(set(w->handle, 122, "100").raised, 0);
  EXPECT_EQ(read(w, 122), "100");
  EXPECT_NE(buf_->undo_enable, 0) << "a new history starts";
  EXPECT_EQ(set(w->handle, 122, "50").raised, 0);
  EXPECT_EQ(read(w, 122), "50");
}

TEST_F(ViewProps, CharacterTable) {
  WindowObject* w = editor("abc\n");
  EXPECT_EQ(set(w->handle, 148, "0123456789").raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(read(w, 148), "");
  const std::string table(256, 'x');
  EXPECT_EQ(set(w->handle, 148, table).raised, 0);
  EXPECT_EQ(read(w, 148), table);
  EXPECT_EQ(set(w->handle, 148, "").raised, 0);
  EXPECT_EQ(buf_->char_table, 0) << "the empty string frees it";
}

TEST_F(ViewProps, FileDate) {
  WindowObject* w = editor("abc\n");
  buf_->file_time = FileTime{};
  EXPECT_EQ(read(w, 164), "");
  EXPECT_EQ(set(w->handle, 164, "19991231235900000").raised, 0);
  const FileTime& t = buf_->file_time;
  EXPECT_EQ(t.year, 1999);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.ms, 0);
  EXPECT_EQ(read(w, 164), "19991231235900000");
  struct Case {
    const char* text;
    ErrorCode raised;
  };
  for (const Case& c : {Case{"199912312359", ERR_INVALID_NUMBER_ARGUMENT},  // the last part is empty
                        Case{"2000a231235900000", ERR_INVALID_NUMBER_ARGUMENT},
                        Case{"20009931235900000", ERR_INVALID_ARGUMENT},  // month 99
                        Case{"20001231235999999", ERR_INVALID_ARGUMENT},  // 99999 ms
                        Case{"20001232235900000", ERR_INVALID_ARGUMENT}}) {
    EXPECT_EQ(set(w->handle, 164, c.text).raised, c.raised) << c.text;
    EXPECT_EQ(read(w, 164), "19991231235900000") << "nothing stored";
  }
  EXPECT_EQ(set(w->handle, 164, "").raised, 0);
  EXPECT_EQ(read(w, 164), "");
}

TEST_F(ViewProps, BufferFields) {
  WindowObject* w = editor("one\ntwo\n");
  EXPECT_EQ(read(w, 112), std::to_string(buf_->handle));
  EXPECT_EQ(read(w, 121), "\n");
  EXPECT_EQ(read(w, 124), "8");
  EXPECT_EQ(read(w, 116), "0");
  EXPECT_EQ(set(w->handle, 115, "Text-mode").raised, 0);
  EXPECT_EQ(read(w, 115), "Text-mode");
  EXPECT_EQ(set(w->handle, 111, "1").raised, 0);
  EXPECT_EQ(read(w, 111), "1");
  for (int id : {117, 118, 119, 120, 123, 137, 156, 169}) {
    EXPECT_EQ(set(w->handle, id, "6").raised, 0) << id;
    EXPECT_EQ(read(w, id), "6") << id;
  }
  EXPECT_EQ(set(w->handle, 166, "a-z").raised, 0);
  EXPECT_EQ(read(w, 166), "a-z");
  EXPECT_EQ(set(w->handle, 168, "kept").raised, 0);
  EXPECT_EQ(read(w, 168), "kept");
  EXPECT_EQ(set(w->handle, 157, "4444").raised, ERR_INVALID_ARGUMENT) << "not an event table";
  EXPECT_EQ(set(w->handle, 112, "4444").raised, ERR_INVALID_ARGUMENT) << "not a buffer";
  EXPECT_EQ(read(w, 125), "20");
  EXPECT_EQ(read(w, 129), "16");
  EXPECT_EQ(set(w->handle, 135, "640").raised, 0);
  EXPECT_EQ(w->layout_rect[2], 640);
  // The same ids on an object that shows no buffer are refused.
  EXPECT_EQ(set(form()->handle, 109, "3").raised, ERR_NOT_ALLOWED_ON_OBJECT);
}

// An editor window measures on its text display: 7-pixel cells from x 4,
// two columns scrolled out on the left.
TEST_F(ViewProps, AnEditorWindowMeasuresOnItsTextDisplay) {
  WindowObject* w = editor(lines(50), 10);
  EditorDisplay ed;
  ed.disp.char_width = 7;
  ed.disp.text_left = 4;
  ed.disp.area_width = 300;
  ed.disp.fixed_pitch = 0;
  ed.first_col = 2;
  viewtest::views = {w, &ed};
  view_->column = 5;
  EXPECT_EQ(read(w, 104), "14");
  EXPECT_EQ(read(w, 105), std::to_string(4 + 5 * 7 - 14));
  EXPECT_EQ(read(w, 130), "7");
  EXPECT_EQ(read(w, 145), "0");
  // x 17 is 27 pixels into the text: three cells and 6 of 7 of the fourth.
  EXPECT_EQ(set(w->handle, 105, "17").raised, 0);
  EXPECT_EQ(view_->column, 4);
  EXPECT_EQ(set(w->handle, 105, "999").raised, 0);
  EXPECT_EQ(view_->column, (299 + 14 - 4 + 7 / 2 - 1) / 7) << "x stays inside the text area";
  viewtest::install();
  EXPECT_EQ(read(w, 130), std::to_string(kGridCharWidth)) << "without its display, the grid";
}

TEST_F(ViewProps, CursorPixelsAndRows) {
  WindowObject* w = editor(lines(50), 10);
  view_->column = 3;
  EXPECT_EQ(read(w, 105), std::to_string(3 * kGridCharWidth));
  // x 13: one cell and 5 of 8 pixels of the next, which counts.
  EXPECT_EQ(set(w->handle, 105, "13").raised, 0);
  EXPECT_EQ(view_->column, 2);
  EXPECT_EQ(set(w->handle, 105, "12").raised, 0);
  EXPECT_EQ(view_->column, 1) << "exactly half does not count";
  EXPECT_EQ(set(w->handle, 146, "5").raised, 0);
  EXPECT_EQ(read(w, 146), "5");
  EXPECT_EQ(read(w, 107), "15");
  EXPECT_EQ(read(w, 106), "80");
  EXPECT_EQ(set(w->handle, 106, "33").raised, 0);
  EXPECT_EQ(read(w, 146), "2");
  EXPECT_EQ(read(w, 107), "12");
}

TEST_F(ViewProps, Lexer) {
  WindowObject* w = editor("x\n");
  ASSERT_EQ(0, lex_load_text("[c]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=int\n", "view-props.zlx"));
  EXPECT_EQ(set(w->handle, 167, "c").raised, 0);
  EXPECT_EQ(read(w, 167), "c");
  EXPECT_EQ(set(w->handle, 167, "pascal").raised, 0);
  EXPECT_EQ(read(w, 167), "c") << "an unknown lexer changes nothing";
  EXPECT_EQ(set(w->handle, 167, "").raised, 0);
  EXPECT_EQ(read(w, 167), "");
}

}  // namespace

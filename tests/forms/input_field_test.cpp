// The input field's editing model without a window: caret and selection
// clamps, insert and overwrite, delete and backspace, the text's capacity,
// scrolling to the caret and the character under a pixel.

#include "forms/input_field.h"

#include <gtest/gtest.h>

#include <string>

namespace {

InputField field(const std::string& text, int32_t caret, uint8_t insert = 1) {
  InputField f;
  ifield_set_text(f, text);
  ifield_set_caret(f, caret);
  f.insert_mode = insert;
  return f;
}

TEST(InputFieldModel, CaretIsClampedToTheText) {
  struct Case {
    int32_t to, expect;
  };
  const Case cases[] = {{-5, 0}, {0, 0}, {2, 2}, {3, 3}, {4, 3}, {2000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    InputField f = field("abc", 1);
    ifield_set_caret(f, c.to);
    EXPECT_EQ(c.expect, f.caret);
    EXPECT_EQ(c.expect, f.anchor);
    EXPECT_FALSE(f.selecting);
  }
}

// The caret may stand after the last byte of a full field, so typing there
// never pushes a byte out.
TEST(InputFieldModel, FullFieldKeepsItsLastByteAndTheCaretAfterIt) {
  std::string full(kFieldCapacity - 1, 'a');
  full += 'Z';
  InputField f = field(full, 5000);
  EXPECT_EQ(kFieldCapacity, f.caret);
  ifield_insert(f, "xy");
  EXPECT_EQ(full, ifield_text(f));
  EXPECT_EQ(kFieldCapacity, f.caret);
  // Insert mode in the middle cuts the insert, not the text's end.
  ifield_set_caret(f, 3);
  ifield_insert(f, "q");
  EXPECT_EQ(full, ifield_text(f));
  // Overwrite at the end of a full field writes nothing past the capacity.
  f.insert_mode = 0;
  ifield_set_caret(f, kFieldCapacity - 1);
  ifield_insert(f, "123");
  EXPECT_EQ(kFieldCapacity, static_cast<int32_t>(ifield_text(f).size()));
  EXPECT_EQ('1', ifield_text(f).back());
}

TEST(InputFieldModel, TypingInInsertAndOverwriteMode) {
  struct Case {
    const char* what;
    const char* text;
    int32_t caret;
    uint8_t insert;
    const char* typed;
    const char* expect;
    int32_t caret_after;
  };
  const Case cases[] = {
      {"insert in the middle", "abc", 1, 1, "XY", "aXYbc", 3},
      {"overwrite in the middle", "abc", 1, 0, "XY", "aXY", 3},
      {"overwrite past the end extends", "abc", 2, 0, "XYZ", "abXYZ", 5},
      {"insert at the end", "abc", 3, 1, "d", "abcd", 4},
      {"insert into empty", "", 0, 1, "hi", "hi", 2},
      {"empty insert", "abc", 1, 1, "", "abc", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InputField f = field(c.text, c.caret, c.insert);
    ifield_insert(f, c.typed);
    EXPECT_EQ(c.expect, ifield_text(f));
    EXPECT_EQ(c.caret_after, f.caret);
    EXPECT_FALSE(f.selecting);
  }
}

TEST(InputFieldModel, TypingReplacesTheSelection) {
  InputField f = field("hello world", 0);
  ifield_set_sel(f, 6, 11);
  EXPECT_TRUE(f.selecting);
  ifield_insert(f, "there");
  EXPECT_EQ("hello there", ifield_text(f));
  EXPECT_EQ(11, f.caret);
  // Backwards selection, overwrite mode: the selection goes first, then the
  // typed text overwrites what follows.
  ifield_set_sel(f, 5, 0);
  f.insert_mode = 0;
  ifield_insert(f, "J");
  EXPECT_EQ("Jthere", ifield_text(f));
  EXPECT_EQ(1, f.caret);
}

TEST(InputFieldModel, DeleteAndBackspace) {
  struct Case {
    const char* what;
    const char* text;
    int32_t anchor, caret;
    bool backspace;
    const char* expect;
    int32_t caret_after;
  };
  const Case cases[] = {
      {"delete at the caret", "abc", 1, 1, false, "ac", 1},
      {"delete at the end does nothing", "abc", 3, 3, false, "abc", 3},
      {"delete a selection", "abcdef", 4, 1, false, "aef", 1},
      {"backspace before the caret", "abc", 2, 2, true, "ac", 1},
      {"backspace at 0 does nothing", "abc", 0, 0, true, "abc", 0},
      {"backspace a selection keeps its lower end", "abcdef", 1, 4, true, "aef", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InputField f = field(c.text, 0);
    ifield_set_sel(f, c.anchor, c.caret);
    c.backspace ? ifield_backspace(f) : ifield_delete(f);
    EXPECT_EQ(c.expect, ifield_text(f));
    EXPECT_EQ(c.caret_after, f.caret);
    EXPECT_FALSE(f.selecting);
  }
}

TEST(InputFieldModel, SelectionQueryAndMoves) {
  InputField f = field("abcdef", 4);
  int32_t caret = -1;
  // Without a selection both ends are the caret.
  EXPECT_EQ(4, ifield_query_sel(f, &caret));
  EXPECT_EQ(4, caret);
  ifield_set_sel(f, -3, 2000);
  EXPECT_EQ(0, ifield_query_sel(f, &caret));
  EXPECT_EQ(6, caret);
  // A caret move drops the selection.
  ifield_left(f);
  EXPECT_FALSE(f.selecting);
  EXPECT_EQ(5, ifield_query_sel(f, &caret));
  EXPECT_EQ(5, caret);
  ifield_right(f);
  ifield_right(f);
  EXPECT_EQ(6, f.caret);
  ifield_set_sel(f, 3, 3);
  EXPECT_FALSE(f.selecting);
}

TEST(InputFieldModel, GetTextCopiesOnlyWhenItFits) {
  InputField f = field("abcdef", 0);
  LStrBuf<16> out;
  out.assign("keep");
  struct Case {
    int32_t capacity;
    bool copied;
  };
  const Case cases[] = {{0, false}, {-1, false}, {5, false}, {6, true}, {16, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    out.assign("keep");
    EXPECT_EQ(c.copied, ifield_get_text(f, c.capacity, reinterpret_cast<LStr*>(&out)));
    EXPECT_EQ(c.copied ? "abcdef" : "keep", out.view());
  }
}

TEST(InputFieldModel, SetTextCutsAtCapacityAndKeepsTheCaretInside) {
  InputField f = field("abcdefgh", 8);
  ifield_set_text(f, "ab");
  EXPECT_EQ(2, f.caret);
  ifield_set_text(f, std::string(kFieldCapacity + 10, 'x'));
  EXPECT_EQ(kFieldCapacity, static_cast<int32_t>(ifield_text(f).size()));
}

// Every change asks for one repaint until the next paint clears the request.
TEST(InputFieldModel, InvalidationIsAskedOncePerPaint) {
  InputField f = field("abc", 0);
  f.paint_requested = false;
  const int before = f.invalidations;
  ifield_insert(f, "x");
  ifield_right(f);
  ifield_delete(f);
  EXPECT_EQ(before + 1, f.invalidations);
  f.paint_requested = false;
  ifield_left(f);
  EXPECT_EQ(before + 2, f.invalidations);
}

// Fixed 8-pixel cells, blanks past the text included.
int32_t cells(const InputField&, int32_t n, void*) { return 8 * n; }

TEST(InputFieldModel, ScrollToCaret) {
  struct Case {
    const char* what;
    int32_t caret, scroll, view_width;
    bool changed;
    int32_t scroll_after;
  };
  const Case cases[] = {
      {"scroll past the caret goes back to it", 3, 40, 100, true, 24},
      {"caret visible", 3, 0, 100, false, 0},
      {"caret past the right edge", 20, 0, 100, true, 8 * 21 + 2 - 100},
      {"caret cell ends exactly at the edge", 11, 0, 98, false, 0},
      {"caret cell one pixel past the edge", 11, 0, 97, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InputField f = field(std::string(30, 'a'), c.caret);
    f.scroll = c.scroll;
    EXPECT_EQ(c.changed, ifield_scroll_to_caret(f, cells, nullptr, 2, c.view_width));
    EXPECT_EQ(c.scroll_after, f.scroll);
  }
}

TEST(InputFieldModel, CharacterUnderAPixel) {
  InputField f = field("abcdefghij", 0);
  // From the text's start: the column whose cell holds x.
  EXPECT_EQ(0, ifield_char_from_pos(f, 7, false, cells, nullptr, 0, 200));
  EXPECT_EQ(1, ifield_char_from_pos(f, 8, false, cells, nullptr, 0, 200));
  EXPECT_EQ(3, ifield_char_from_pos(f, 31, false, cells, nullptr, 0, 200));
  // Fitting from the scroll offset: a character counts when more than half fits.
  f.scroll = 16;
  EXPECT_EQ(0, ifield_char_from_pos(f, 4, true, cells, nullptr, 0, 200));
  EXPECT_EQ(1, ifield_char_from_pos(f, 5, true, cells, nullptr, 0, 200));
  EXPECT_EQ(2, ifield_char_from_pos(f, 13, true, cells, nullptr, 0, 200));
}

}  // namespace

// List boxes' buffers without a screen: the buffer a list gets, items
// added and removed by the line built-ins while the list is current, the
// chosen item as the list's cursor line, and the buffer closed with the
// list (or its form) but never with another object.
#include <gtest/gtest.h>

#include "forms/ctl_list.h"
#include "tests/forms/forms_fixture.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/cursor.h"

namespace {

using namespace formstest;

class ListBuffer : public FormsTest {
 protected:
  // The list's items, top to bottom.
  static std::vector<std::string> items(WindowObject* list) {
    line_flush_current();
    std::vector<std::string> out;
    PosRecord p{};
    BufferRec* b = list->view->buffer;
    p.buffer = b;
    pos_copy_place(&p, list->view);
    int32_t total = 0;
    if (pos_count_lines(&p, b, total) != 0 || total == 0) return out;
    if (pos_goto_line(1, &p, b) < 0) return out;
    for (int32_t i = 0; i < total; ++i) {
      out.push_back(line_get_string(&p, b));
      if (pos_next_line(&p, b) != 0) break;
    }
    return out;
  }
  // Runs a line built-in with the list current.
  bitest::Out on(WindowObject* list, std::string_view mnemonic, const std::vector<std::string>& args = {}) {
    window_set_current(list, 0);
    return call(mnemonic, args);
  }
};

TEST_F(ListBuffer, AListGetsAHiddenBufferOfItsOwn) {
  frame();
  WindowObject* f = form();
  WindowObject* list = control(f, kObjList);
  WindowObject* text_list = control(f, kObjList);
  text_list->prop19 = 3;
  WindowObject* label = control(f, kObjLabel);
  window_set_current(f, 0);
  const int before = buf_live_count();

  ASSERT_EQ(list_create_buffer(list), 0);
  ASSERT_EQ(list_create_buffer(text_list), 0);
  ASSERT_EQ(list_create_buffer(label), 0);
  EXPECT_EQ(window_current(), f) << "the current object stays";
  EXPECT_EQ(buf_live_count(), before + 2);
  EXPECT_EQ(label->view, nullptr) << "only lists get one";
  ASSERT_NE(list->view, nullptr);
  EXPECT_EQ(list->type, kObjList) << "the list stays a list, not an editor window";
  EXPECT_EQ(get(list->handle, 66).value, "9") << "its type property too";
  EXPECT_NE(list->prop19, 3);
  BufferRec* b = list->view->buffer;
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b, text_list->view->buffer) << "one buffer per list";
  EXPECT_EQ(b->flags & (kBufHidden | kBufDeleteWithWindow), kBufHidden | kBufDeleteWithWindow);
  EXPECT_EQ(b->undo_limit, kListUndoSteps);
  EXPECT_TRUE(b->name.view().empty()) << "unnamed, without a file";
  EXPECT_TRUE(items(list).empty()) << "a list starts without items";
  EXPECT_EQ(items(text_list), std::vector<std::string>{""}) << "a text window keeps its first line";

  ASSERT_EQ(list_create_buffer(list), 0);
  EXPECT_EQ(list->view->buffer, b) << "a list that has one keeps it";
  EXPECT_EQ(buf_live_count(), before + 2);
}

TEST_F(ListBuffer, MacrosAddRemoveAndChooseItems) {
  frame();
  WindowObject* f = form();
  WindowObject* list = control(f, kObjList);
  ASSERT_EQ(list_create_buffer(list), 0);
  for (const char* item : {"alpha", "beta", "gamma", "delta"}) EXPECT_EQ(on(list, "insert_line", {item}).raised, 0);
  EXPECT_EQ(items(list), (std::vector<std::string>{"alpha", "beta", "gamma", "delta"}));

  // The chosen item is the cursor line, read and set through "line".
  EXPECT_EQ(get(list->handle, 107).value, "4");
  EXPECT_EQ(set(list->handle, 107, "2").raised, 0);
  EXPECT_EQ(list->view->line, 2);
  EXPECT_EQ(on(list, "delete_line").raised, 0);
  EXPECT_EQ(items(list), (std::vector<std::string>{"alpha", "gamma", "delta"}));
  EXPECT_EQ(on(list, "insert_line", {"omega"}).raised, 0);
  EXPECT_EQ(items(list), (std::vector<std::string>{"alpha", "gamma", "omega", "delta"}))
      << "an item goes after the chosen one";

  list_clear(list);
  EXPECT_TRUE(items(list).empty());
  EXPECT_EQ(on(list, "insert_line", {"again"}).raised, 0);
  EXPECT_EQ(items(list), std::vector<std::string>{"again"});
}

TEST_F(ListBuffer, TheBufferGoesWithItsList) {
  frame();
  // An editor buffer that must outlive every list.
  BufCreateArgs a;
  a.name = "keep.txt";
  BufferRec* keep = nullptr;
  ASSERT_EQ(buf_create_from_file(&keep, a), 0);
  const int base = buf_live_count();

  WindowObject* f = form();
  WindowObject* first = control(f, kObjList);
  WindowObject* second = control(f, kObjList);
  ASSERT_EQ(list_create_buffer(first), 0);
  ASSERT_EQ(list_create_buffer(second), 0);
  const int32_t second_buffer = second->view->buffer->handle;
  ASSERT_EQ(buf_live_count(), base + 2);

  ASSERT_EQ(obj_destroy(first), 0);
  EXPECT_EQ(buf_live_count(), base + 1) << "the list's buffer is closed";
  EXPECT_EQ(buf_record(second_buffer), second->view->buffer) << "the other list keeps its own";
  ASSERT_EQ(obj_destroy(f), 0);
  EXPECT_EQ(buf_live_count(), base) << "a form takes its lists' buffers along";
  EXPECT_EQ(buf_record(keep->handle), keep);
}

TEST_F(ListBuffer, ABufferShownByChoiceStaysWhenItsObjectGoes) {
  frame();
  // A list that shows a buffer the user made (not marked to close with it).
  BufCreateArgs a;
  a.name = "shown.txt";
  BufferRec* shown = nullptr;
  ASSERT_EQ(buf_create_from_file(&shown, a), 0);
  WindowObject* f = form();
  WindowObject* list = control(f, kObjList);
  window_set_current(list, 0);
  ASSERT_EQ(view_show_buffer(shown, 0), 0);
  const int before = buf_live_count();
  ASSERT_EQ(obj_destroy(list), 0);
  EXPECT_EQ(buf_live_count(), before);
  EXPECT_EQ(buf_record(shown->handle), shown);
}

}  // namespace

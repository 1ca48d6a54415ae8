// Buffers and views: creating, naming, showing in windows, switching,
// closing, window ids and positions that follow edits in several views.

#include "base/file_io.h"
#include "base/fs_fixture.h"
#include "buffer_fixture.h"
#include "tests/support/headless/buflocal_fakes.h"
#include "tests/support/headless/edit_window_fakes.h"
#include "tests/support/headless/process_fakes.h"
#include "text/save.h"

using namespace buftest;

namespace {

std::string base_name(const BufferRec* b) {
  std::string n(b->name.view());
  return n.substr(n.rfind('/') + 1);
}

TEST_F(BufferTest, CreatedBufferHasDefaultsAndOwnPosition) {
  BufferRec* b = make("a.txt", "one\ntwo\n");
  ASSERT_NE(nullptr, b);
  EXPECT_EQ("a.txt", base_name(b));
  EXPECT_EQ("Fundamental", b->locals.mode_name.view());
  EXPECT_EQ("A-Za-z0-9_$", b->word_chars.view());
  EXPECT_EQ(1, b->tab_stops[0]);
  EXPECT_EQ(233, b->tab_stops[29]);
  EXPECT_EQ(3, b->edit_state);
  EXPECT_EQ(3, b->wrap_flags);
  PosRecord* o = pos_record(b->own_pos);
  ASSERT_NE(nullptr, o);
  EXPECT_TRUE(pos_in_ring(o, b));
  EXPECT_EQ("one", text_at(o));
  EXPECT_EQ(8, b->bytes);
}

TEST_F(BufferTest, ReadOnlyBufferGetsItsModeName) {
  std::string path = dir_.file("ro");
  storetest::write_file(path, "x\n");
  BufCreateArgs a;
  a.name = path;
  a.fd = ::open(path.c_str(), O_RDONLY);
  a.read_only = true;
  BufferRec* b = nullptr;
  ASSERT_EQ(0, buf_create_from_file(&b, a));
  EXPECT_EQ("Read only", b->locals.mode_name.view());
  EXPECT_EQ(1, b->load_state);
}

TEST_F(BufferTest, NewBufferJoinsTheRingAfterTheShownOne) {
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  BufferRec* c = make("c", "c\n");
  show(w, a);
  BufferRec* b = make("b", "b\n");
  EXPECT_EQ(b, a->ring_next);
  EXPECT_EQ(c, b->ring_next);
  EXPECT_EQ(a, c->ring_next);
  EXPECT_EQ(3, buf_live_count());
}

TEST_F(BufferTest, ShowingABufferMakesAViewInBothRings) {
  WindowObject* w = window();
  BufferRec* a = make("a", lines(5));
  PosRecord* v = show(w, a);
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(w->view, v);
  EXPECT_EQ(w->handle, v->owner);
  EXPECT_EQ(a, buf_current());
  EXPECT_TRUE(pos_in_ring(v, a));
  EXPECT_EQ(v, v->win_next);
  EXPECT_EQ(-1, v->display[3]);
  EXPECT_EQ(kObjTypeEditor, w->type);
  EXPECT_EQ(w, window_edit_list_head());
  EXPECT_NE(0u, redraw_bits & 0x203a);
  EXPECT_EQ("line1", text_at(v));
}

TEST_F(BufferTest, RepointedViewRemembersEachBuffersPlace) {
  WindowObject* w = window();
  BufferRec* a = make("a", lines(30, "a"));
  BufferRec* b = make("b", lines(30, "b"));
  PosRecord* v = show(w, a);
  ASSERT_EQ(0, pos_goto_line(12, v, a));
  v->column = 4;
  ASSERT_EQ(0, view_show_buffer(b, 0));
  EXPECT_EQ(v, w->view);  // the same view, re-pointed
  EXPECT_EQ(b, v->buffer);
  EXPECT_EQ("b1", text_at(v));
  EXPECT_FALSE(pos_in_ring(v, a));
  ASSERT_EQ(0, view_show_buffer(a, 0));
  EXPECT_EQ("a12", text_at(v));
  EXPECT_EQ(4, v->column);
  // Flag 2 does not save the place.
  ASSERT_EQ(0, pos_goto_line(20, v, a));
  ASSERT_EQ(0, view_show_buffer(b, 2));
  ASSERT_EQ(0, view_show_buffer(a, 0));
  EXPECT_EQ("a12", text_at(v));
}

TEST_F(BufferTest, OtherFlagsMakeASecondViewInTheWindow) {
  WindowObject* w = window();
  BufferRec* a = make("a", lines(3));
  BufferRec* b = make("b", lines(3, "b"));
  PosRecord* v1 = show(w, a);
  PosRecord* v2 = nullptr;
  ASSERT_EQ(0, view_attach_buffer(pos_record(b->own_pos), b, &v2, 1, false));
  EXPECT_NE(v1, v2);
  EXPECT_EQ(w->view, v2);
  EXPECT_EQ(v2, v1->win_next);
  EXPECT_EQ(v1, v2->win_next);
  ASSERT_EQ(0, view_switch(1));
  EXPECT_EQ(v1, w->view);
  EXPECT_EQ(a, buf_current());
  ASSERT_EQ(0, view_quit());
  EXPECT_EQ(v2, w->view);
  EXPECT_EQ(v2, v2->win_next);
}

TEST_F(BufferTest, ViewsOfOneBufferFollowEdits) {
  WindowObject* w1 = window();
  WindowObject* w2 = window();
  BufferRec* a = make("a", lines(50));
  PosRecord* v1 = show(w1, a);
  PosRecord* v2 = show(w2, a, 1);
  ASSERT_EQ(0, pos_goto_line(10, v1, a));
  ASSERT_EQ(0, pos_goto_line(40, v2, a));
  PosRecord p = *v1;
  p.buf_next = p.buf_prev = nullptr;
  ASSERT_EQ(0, pos_goto_line(5, &p, a));
  ASSERT_EQ(0, line_insert_text("new", 3, &p, a));
  EXPECT_EQ("line10", text_at(v1));
  EXPECT_EQ(11, v1->line);
  EXPECT_EQ("line40", text_at(v2));
  EXPECT_EQ(41, v2->line);
  ASSERT_EQ(0, pos_goto_line(20, &p, a));
  ASSERT_EQ(0, line_delete(&p, a));
  EXPECT_EQ("line10", text_at(v1));
  EXPECT_EQ("line40", text_at(v2));
  EXPECT_EQ(40, v2->line);
}

TEST_F(BufferTest, SwitchingSkipsHiddenBuffersUnlessAsked) {
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  show(w, a);
  BufferRec* b = make("b", "b\n");
  BufferRec* c = make("c", "c\n");  // ring: a b c ... after the shown a: a c b
  b->flags |= kBufHidden;
  std::vector<BufferRec*> seen;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(0, buf_switch(1, false, 0, false));
    seen.push_back(buf_current());
  }
  EXPECT_EQ((std::vector<BufferRec*>{c, a, c, a}), seen);
  seen.clear();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(0, buf_switch(-1, true, 0, false));
    seen.push_back(buf_current());
  }
  EXPECT_EQ((std::vector<BufferRec*>{b, c, a}), seen);
  // With only hidden buffers besides the current one, switching stays put.
  c->flags |= kBufHidden;
  ASSERT_EQ(0, buf_switch(1, false, 0, false));
  EXPECT_EQ(a, buf_current());
}

TEST_F(BufferTest, SwitchingWithoutAViewIsRefused) {
  window_set_current(window(), 0);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, buf_switch(1, false, 0, false));
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, view_switch(1));
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, view_quit());
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, buf_delete_current());
}

TEST_F(BufferTest, ClosingSwitchesEveryViewToThePreviousBuffer) {
  WindowObject* w1 = window();
  WindowObject* w2 = window();
  BufferRec* a = make("a", lines(3, "a"));
  PosRecord* v1 = show(w1, a);
  BufferRec* b = make("b", lines(3, "b"));  // after a
  PosRecord* v2 = show(w2, b);
  PosRecord* v3 = nullptr;
  ASSERT_EQ(0, view_attach_buffer(pos_record(b->own_pos), b, &v3, 1, false));  // w2 shows b twice
  window_set_current(w1, 0);
  ASSERT_EQ(0, view_show_buffer(b, 0));
  ASSERT_EQ(0, buf_close(b));
  EXPECT_EQ(1, buf_live_count());
  for (PosRecord* v : {v1, v2, v3}) {
    EXPECT_EQ(a, v->buffer);
    EXPECT_TRUE(pos_in_ring(v, a));
    EXPECT_EQ("a1", text_at(v));
  }
  EXPECT_EQ(a, buf_current());
  EXPECT_EQ(a, buf_ring_head());
}

TEST_F(BufferTest, ClosingTheLastVisibleBufferFallsBackToAHiddenOne) {
  WindowObject* w = window();
  BufferRec* h = make("h", "hidden\n");
  h->flags |= kBufHidden;
  BufferRec* a = make("a", "a\n");
  PosRecord* v = show(w, a);
  ASSERT_EQ(0, buf_close(a));
  EXPECT_EQ(h, v->buffer);
  EXPECT_EQ("hidden", text_at(v));
}

// The close built-in's way: a window that deleting the buffer leaves
// without any view would be dead, so it is closed; one that shows another
// buffer stays.
TEST_F(BufferTest, DeletingTheCurrentBufferClosesTheWindowsItLeavesEmpty) {
  WindowObject* w1 = window();
  WindowObject* w2 = window();
  BufferRec* a = make("a", "a\n");
  show(w1, a);
  BufferRec* b = make("b", "b\n");
  show(w2, b);
  window_set_current(w2, 0);
  const int closed = editwintest::windows.closed;
  ASSERT_EQ(0, buf_delete_current());
  EXPECT_EQ(closed, editwintest::windows.closed) << "w2 shows a now";
  EXPECT_EQ(a, w2->view->buffer);
  ASSERT_EQ(0, buf_delete_current());
  EXPECT_EQ(closed + 2, editwintest::windows.closed) << "both windows showed only a";
  EXPECT_EQ(0, buf_live_count());
}

// The command line's history is no file of the user's: saving it is refused
// and writes nothing.
TEST_F(BufferTest, TheCommandLinesBufferIsNeverSaved) {
  WindowObject* w = window();
  BufferRec* history = make(".command", "go-to-line 3\n");
  PosRecord* v = show(w, history);
  ASSERT_EQ(0, line_replace_text("search-for x", 12, v, history));
  buf_cmdline = history;
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, buf_save(""));
  EXPECT_EQ("go-to-line 3\n", fstest::read_file(dir_.file(".command")));
  buf_cmdline = nullptr;
}

TEST_F(BufferTest, ClosingTheOnlyBufferLeavesItsWindowsEmpty) {
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  show(w, a);
  ASSERT_EQ(0, buf_close(a));
  EXPECT_EQ(nullptr, w->view);
  EXPECT_EQ(nullptr, buf_current());
  EXPECT_EQ(0, buf_live_count());
  EXPECT_EQ(nullptr, window_edit_list_head());
}

// The process buffer as a program without the process runner is told it.
const BufferRec* process_buffer = nullptr;
bool is_process_buffer(const BufferRec* b) { return b && b == process_buffer; }

TEST_F(BufferTest, CommandLineAndProcessBuffersAreNotClosed) {
  BufferRec* a = make("a", "a\n");
  BufferRec* c = make("cmd", "c\n");
  buf_cmdline = c;
  processtest::process.is_process_buffer = is_process_buffer;
  process_buffer = a;
  EXPECT_EQ(1, buf_close(a));
  EXPECT_EQ(1, buf_close(c));
  EXPECT_EQ(2, buf_live_count());
  process_buffer = nullptr;
  EXPECT_EQ(0, buf_close(a));
  EXPECT_EQ(1, buf_live_count());
  processtest::install();
}

TEST_F(BufferTest, NameMatchingByPrefixExactAndHidden) {
  BufferRec* a = make("alpha", "1\n");
  BufferRec* b = make("alps", "2\n");
  BufferRec* h = make("alpine", "3\n");
  h->flags |= kBufHidden;
  std::string d = dir_.path + "/al";
  std::vector<BufferRec*> got;
  for (BufferRec* m = buf_match_next(d, true, 0); m; m = buf_match_next(d, false, 0)) got.push_back(m);
  EXPECT_EQ((std::vector<BufferRec*>{a, b}), got);
  got.clear();
  for (BufferRec* m = buf_match_next("  " + d + " ", true, kMatchHidden); m; m = buf_match_next(d, false, kMatchHidden))
    got.push_back(m);
  EXPECT_EQ((std::vector<BufferRec*>{a, b, h}), got);
  EXPECT_EQ(nullptr, buf_match_next(d, true, kMatchExact));
  EXPECT_EQ(b, buf_match_next(dir_.path + "/alps", true, kMatchExact));
  // An empty name visits the visible buffers, then nothing.
  got.clear();
  for (BufferRec* m = buf_match_next("", true, 0); m; m = buf_match_next("", false, 0)) got.push_back(m);
  EXPECT_EQ((std::vector<BufferRec*>{a, b}), got);
  // buf_find sees hidden buffers and leaves the match cursor alone.
  ASSERT_EQ(a, buf_match_next(d, true, 0));
  EXPECT_EQ(pos_record(h->own_pos), buf_find(dir_.path + "/alpine"));
  EXPECT_EQ(nullptr, buf_find(dir_.path + "/alp"));
  EXPECT_EQ(b, buf_match_next(d, false, 0));
}

TEST_F(BufferTest, RenamingAndModeName) {
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  show(w, a);
  redraw_bits = 0;
  ASSERT_EQ(0, buf_set_name_current(a->name.view()));
  EXPECT_NE(2, a->backup_state);
  ASSERT_EQ(0, buf_set_name_current("other name"));
  EXPECT_EQ("other name", a->name.view());
  EXPECT_EQ(2, a->backup_state);
  EXPECT_NE(0u, redraw_bits & 0x20);
  buf_set_mode_name(a, "A very long mode name indeed");
  EXPECT_EQ("A very long mode nam", a->locals.mode_name.view());
  std::string longname(300, 'n');
  ASSERT_EQ(0, buf_set_name_current(longname));
  EXPECT_EQ(256, a->name.size());
}

TEST_F(BufferTest, WindowIdsNameWindowsAndViews) {
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  PosRecord* v = show(w, a);
  EXPECT_TRUE(window_id_is_valid(w->handle));
  EXPECT_EQ(v, window_id_view(w->handle));
  EXPECT_TRUE(window_id_is_valid(-(v->handle + 1)));
  EXPECT_EQ(v, window_id_view(-(v->handle + 1)));
  // The own position is not a view.
  EXPECT_FALSE(window_id_is_valid(-(a->own_pos + 1)));
  EXPECT_EQ(ERR_INVALID_ARGUMENT, window_id_activate(-(a->own_pos + 1)));
  EXPECT_EQ(ERR_INVALID_ARGUMENT, window_id_activate(999));
  WindowObject* w2 = window();
  window_set_current(w2, 0);
  EXPECT_EQ(0, window_id_activate(-(v->handle + 1)));
  EXPECT_EQ(w, window_current());
}

TEST_F(BufferTest, PopAfterThePushedWindowDiedKeepsTheCurrentWindow) {
  WindowObject* w1 = window();
  WindowObject* w2 = window();
  BufferRec* a = make("a", "a\n");
  show(w1, a);
  WindowSave s{};
  window_push_current(w2, s);
  EXPECT_EQ(w2, window_current());
  window_pop_current(s);
  EXPECT_EQ(w1, window_current());
  window_push_current(w2, s);
  window_free_record(w1);
  WindowObject* w3 = window();  // may reuse w1's handle: the generation tells
  (void)w3;
  window_pop_current(s);
  EXPECT_EQ(w2, window_current());
}

TEST_F(BufferTest, WindowCreationFailureTakesTheViewBack) {
  editwintest::windows.make = [](WindowObject*, bool) -> int32_t { return 1; };
  WindowObject* w = window();
  BufferRec* a = make("a", "a\n");
  window_set_current(w, 0);
  PosRecord* v = nullptr;
  EXPECT_EQ(ERR_TOO_MANY_WINDOWS, view_attach_buffer(pos_record(a->own_pos), a, &v, 0, false));
  EXPECT_EQ(nullptr, w->view);
  EXPECT_EQ(nullptr, window_edit_list_head());
  editwintest::install();
}

TEST_F(BufferTest, LoadFailureFreesTheBufferAndClosesTheFile) {
  std::string path = dir_.file("unreadable");
  storetest::write_file(path, "some text\n");
  file_io().pread = [](int, void*, size_t, int64_t) -> long { return -1; };
  BufCreateArgs a;
  a.name = path;
  a.fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(a.fd, 0);
  BufferRec* b = reinterpret_cast<BufferRec*>(1);
  EXPECT_EQ(ERR_READING_FILE, buf_create_from_file(&b, a));
  file_io_reset();
  EXPECT_EQ(nullptr, b);
  EXPECT_EQ(0, buf_live_count());
  EXPECT_EQ(-1, ::fcntl(a.fd, F_GETFD));  // closed
}

}  // namespace

namespace {

TEST_F(BufferTest, WindowsFoundByTheirBuffersName) {
  WindowObject* w1 = window();
  WindowObject* w2 = window();
  WindowObject* w3 = window();
  show(w1, make("notes", "a\n"));
  show(w2, make("notebook", "b\n"));
  show(w3, make("other", "c\n"));
  w2->flags |= kWinHidden;
  w1->edit_mode = 1;
  const std::string d = dir_.path + "/note";
  EXPECT_EQ(w1, window_match_next(d, true, 0));
  EXPECT_EQ(nullptr, window_match_next(d, false, 0));
  EXPECT_EQ(w1, window_match_next(d, true, kWinMatchHidden));
  EXPECT_EQ(w2, window_match_next(d, false, kWinMatchHidden));
  EXPECT_EQ(w2, window_find(d, kWinMatchHidden | kWinMatchNotEditMode));
  EXPECT_EQ(w1, window_find(d, kWinMatchEditMode));
  EXPECT_EQ(nullptr, window_find(d, kWinMatchExact));
  EXPECT_EQ(w3, window_find(dir_.path + "/other", kWinMatchExact));
}

TEST_F(BufferTest, LocalVariablesAddedToEveryBufferStopAtTheFirstFailure) {
  static int added = 0;
  added = 0;
  make("a", "a\n");
  make("b", "b\n");
  make("c", "c\n");
  EXPECT_EQ(0, buf_add_local_var_all(7, "v", 1));  // no runtime yet: nothing to add
  buflocaltest::locals.add = [](BufferRec*, int32_t, const void*, int32_t) -> int32_t { return ++added == 2 ? -8 : 0; };
  EXPECT_EQ(ERR_NOT_ENOUGH_MEMORY, buf_add_local_var_all(7, "v", 1));
  EXPECT_EQ(2, added);
  buflocaltest::install();
}

TEST_F(BufferTest, IdleSyncMakesTheWindowCurrentAndFixesRows) {
  WindowObject* w1 = window(10);
  WindowObject* w2 = window(10);
  BufferRec* a = make("a", lines(30));
  PosRecord* v1 = show(w1, a);
  PosRecord* v2 = show(w2, a, 1);
  ASSERT_EQ(0, pos_goto_line(3, v2, a));
  v2->row = 8;  // more rows than lines above it
  view_sync_idle(w1);
  EXPECT_EQ(w1, window_current());
  EXPECT_EQ(v1, view_current());
  EXPECT_EQ(2, v2->row);
  window_set_current(window(), 0);
  window_close_if_no_view();
  EXPECT_EQ(nullptr, window_current()->view);
}

}  // namespace

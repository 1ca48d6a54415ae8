// The default state file as the build makes it: it loads into the
// interpreter, and keys typed through the event source edit the buffer and
// save the file the way a new user expects, without any window system.
#include <gtest/gtest.h>
#include "text/curline.h"
#include "text/save.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/command_exec.h"
#include "macro/core_ops.h"
#include "macro/exit_path.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "tests/base/fs_fixture.h"
#include "tests/macro/default_macros_fixture.h"
#include "tests/macro/key_fixture.h"
#include "text/buffer.h"

namespace {

using namespace defaultmacros;

TEST_F(DefaultMacros, StartWithoutFilesOpensAnEmptyBuffer) {
  // Nothing went wrong at start-up, and the first window shows a new buffer
  // of one empty line that keys type into.
  EXPECT_TRUE(vmtest::shown.empty());
  ASSERT_NE(first_->view, nullptr);
  type(first_, "hi");
  EXPECT_EQ(text_of(first_), std::vector<std::string>{"hi"});
}

TEST_F(DefaultMacros, EditingKeys) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<EventCode> keys;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"characters type themselves", "abc\n", {kEvEnd, 'x', 'y'}, {"abcxy"}},
      {"enter splits the line at the cursor", "abc\n", {kEvRight, kEvEnter, 'X'}, {"a", "Xbc"}},
      {"enter at the end opens an empty line", "abc\n", {kEvEnd, kEvEnter, 'd'}, {"abc", "d"}},
      {"enter at the start pushes the line down", "abc\n", {kEvEnter}, {"", "abc"}},
      {"enter keeps the r that ends a line", "bar\n", {kEvRight, kEvEnter}, {"b", "ar"}},
      {"delete takes the character at the cursor", "abc\n", {kEvRight, kEvDel}, {"ac"}},
      {"delete at the end joins the next line", "abc\ndef\n", {kEvEnd, kEvDel, 'X'}, {"abcXdef"}},
      {"delete at the end of the last line changes nothing", "abc\n", {kEvEnd, kEvDel}, {"abc"}},
      {"backspace takes the character before", "abc\n", {kEvEnd, kEvBackspace}, {"ab"}},
      {"backspace at the start joins the line above", "abc\ndef\n", {kEvDown, kEvBackspace, 'X'}, {"abcXdef"}},
      {"backspace on the first line's start changes nothing", "abc\n", {kEvBackspace}, {"abc"}},
      {"up, down, home and end move", "abc\ndef\n", {kEvDown, kEvEnd, 'X', kEvUp, kEvHome, 'Y'}, {"Yabc", "defX"}},
      {"undo takes back the last step, redo puts it back", "abc\n", {kEvEnd, 'x', kCtrlZ}, {"abc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowObject* w = editor(c.text);
    type(w, c.keys);
    EXPECT_EQ(text_of(w), c.want);
  }
}

TEST_F(DefaultMacros, RedoPutsBackWhatUndoTook) {
  WindowObject* w = editor("abc\n");
  BufferRec* b = w->view->buffer;
  b->undo_limit = 100;  // as the edit command sets it from the settings
  b->undo_enable = 1;
  type(w, {kEvEnd, 'x'});
  type(w, {kCtrlZ});
  ASSERT_EQ(text_of(w), std::vector<std::string>{"abc"});
  type(w, {kCtrlY});
  EXPECT_EQ(text_of(w), std::vector<std::string>{"abcx"});
}

// Undoing a join gives back both lines, whichever key joined them.
TEST_F(DefaultMacros, UndoOfAJoinGivesBackBothLines) {
  const std::vector<EventCode> joins[] = {{kEvEnd, kEvDel}, {kEvDown, kEvBackspace}};
  for (int limit : {1, 2, 100})
    for (const char* text : {"abc\ndef\n", "abc\ndef"})
      for (const auto& keys : joins) {
        SCOPED_TRACE(std::string(text) + " limit " + std::to_string(limit));
        WindowObject* w = editor(text);
        BufferRec* b = w->view->buffer;
        b->undo_limit = 100;
        b->undo_enable = 1;
        type(w, keys);
        ASSERT_EQ(text_of(w), std::vector<std::string>{"abcdef"});
        type(w, {kCtrlZ});
        EXPECT_EQ(text_of(w), (std::vector<std::string>{"abc", "def"}));
        type(w, {kCtrlY});
        EXPECT_EQ(text_of(w), std::vector<std::string>{"abcdef"});
      }
}

TEST_F(DefaultMacros, SaveKeysWriteTheFile) {
  for (EventCode save : {kCtrlS, keytest::fkey(2)}) {
    const std::string leaf = "saved" + std::to_string(save) + ".txt";
    BufferRec* b = new_buffer(leaf);
    ASSERT_NE(b, nullptr);
    WindowObject* w = window_current();
    type(w, "hello");
    type(w, {kEvEnter});
    type(w, "world");
    type(w, {save});
    EXPECT_EQ(fstest::read_file(dir_.file(leaf)), "hello\nworld\n") << save;
  }
}

TEST_F(DefaultMacros, ExitKeysSaveFirstOrLeave) {
  BufferRec* b = new_buffer("kept.txt");
  ASSERT_NE(b, nullptr);
  WindowObject* w = window_current();
  type(w, "kept");
  type(w, {keytest::fkey(3)});  // file and exit
  EXPECT_EQ(fstest::read_file(dir_.file("kept.txt")), "kept\n");
  EXPECT_TRUE(exit_pending());
  exit_reset();
}

// An unbound key changes nothing and says so on the message line.
TEST_F(DefaultMacros, UnboundKeysDoNothing) {
  WindowObject* w = editor("abc\n");
  type(w, {keytest::fkey(12), keytest::kCtrlB});
  EXPECT_EQ(text_of(w), std::vector<std::string>{"abc"});
  EXPECT_TRUE(vmtest::shown.empty());
  EXPECT_EQ(messages, (std::vector<std::string>{"Key not defined", "Key not defined"}));
}

// Stand-ins for the help and paste built-ins, answering with a chosen rc,
// and for the text of a code, as the message table gives it.
ErrorCode help_answer = 0, paste_answer = 0;
std::vector<std::string> help_files;
void help_standin() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  help_files.push_back(bi_arg_str(n, 0));
  core_drop(n);
  vm_set_rc(help_answer);
}
void paste_standin() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  core_drop(n);
  vm_set_rc(paste_answer);
}
void get_message_standin() {
  int32_t n = 0, code = 0;
  if (!bi_count(0, 1, &n) || !bi_arg_int(n, 0, &code)) return;
  core_drop(n);
  vm_push_view(msg_text(code));
}

// F1 with a help file that cannot be shown, and a paste whose clipboard
// cannot be read, say so on the message line; when they work, nothing is said.
TEST_F(DefaultMacros, HelpAndPasteFailuresAreSaidOnTheMessageLine) {
  const OpcodeBinding display[] = {{opcode_slot("get_message"), get_message_standin}};
  const OpcodeBinding forms[] = {{opcode_slot("paste"), paste_standin}};
  const OpcodeBinding services[] = {{opcode_slot("help"), help_standin}};
  ASSERT_TRUE(opcodes_register(vm_dispatch, Layer::Display, display));
  ASSERT_TRUE(opcodes_register(vm_dispatch, Layer::Forms, forms));
  ASSERT_TRUE(opcodes_register(vm_dispatch, Layer::Services, services));
  struct Case {
    const char* name;
    EventCode key;
    ErrorCode help, paste;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"help shown", kEvF1, 0, 0, {}},
      {"help file missing", kEvF1, ERR_FILE_NOT_FOUND, 0, {"zorvex.hlp: File not found"}},
      {"help file damaged", kEvF1, ERR_READING_FILE, 0, {"zorvex.hlp: Error reading file"}},
      {"help file of another version", kEvF1, ERR_INCORRECT_VERSION, 0, {"zorvex.hlp: Incorrect version"}},
      {"pasted", kCtrlV, 0, 0, {}},
      {"clipboard owner silent", kCtrlV, 0, ERR_GET_CLIPBOARD_DATA, {"Unable to get clipboard data"}},
  };
  WindowObject* w = editor("abc\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages.clear();
    help_files.clear();
    help_answer = c.help;
    paste_answer = c.paste;
    type(w, {c.key});
    EXPECT_EQ(messages, c.said);
    if (c.key == kEvF1) {
      EXPECT_EQ(help_files, std::vector<std::string>{"zorvex.hlp"});
    }
    EXPECT_EQ(text_of(w), std::vector<std::string>{"abc"});
  }
  EXPECT_TRUE(vmtest::shown.empty()) << "no macro error on the way";
}

// Shift selections with cut and copy: tests/forms/default_macros_clip_test.cpp
// (the clipboard is the forms').

TEST_F(DefaultMacros, SearchAndSearchAgain) {
  WindowObject* w = editor("one two\ntwo three\n");
  EXPECT_EQ(cmd_execute_line("search-for two", CMD_LOOKUP), 0);
  type(w, {'X'});
  EXPECT_EQ(text_of(w), (std::vector<std::string>{"one Xtwo", "two three"}));
  type(w, {kEvRight, kEvRight, keytest::fkey(5), 'Y'});
  EXPECT_EQ(text_of(w), (std::vector<std::string>{"one Xtwo", "Ytwo three"}));
  // Nothing more to find: rc says so and the cursor stays.
  type(w, {kEvRight, keytest::fkey(5), 'Z'});
  EXPECT_NE(rc(), "0");
  EXPECT_EQ(text_of(w), (std::vector<std::string>{"one Xtwo", "YtZwo three"}));
}

TEST_F(DefaultMacros, GoToLine) {
  struct Case {
    const char* line;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"go-to-line 2", {"a", "Xb", "c"}},
      {"go-to-line 1", {"Xa", "b", "c"}},
      {"go-to-line 0", {"Xa", "b", "c"}},
      {"go-to-line 99", {"a", "b", "Xc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WindowObject* w = editor("a\nb\nc\n");
    type(w, {kEvEnd});
    EXPECT_EQ(cmd_execute_line(c.line, CMD_LOOKUP), 0);
    type(w, {'X'});
    EXPECT_EQ(text_of(w), c.want);
  }
}

TEST_F(DefaultMacros, SaveAsWritesUnderTheNewName) {
  WindowObject* w = editor("abc\n", "orig.txt");
  type(w, {kEvEnd, 'd'});
  const std::string other = dir_.file("other.txt");
  EXPECT_EQ(cmd_execute_line("save-as " + other, CMD_LOOKUP), 0);
  EXPECT_EQ(fstest::read_file(other), "abcd\n");
  EXPECT_EQ(fstest::read_file(dir_.file("orig.txt")), "abc\n");
  // A save-as that fails keeps the buffer's name.
  const std::string nowhere = dir_.file("no-such-dir/x.txt");
  EXPECT_NE(cmd_execute_line("save-as " + nowhere, CMD_LOOKUP), 0);
  EXPECT_EQ(std::string(w->view->buffer->name.view()), other);
  // The buffer now goes by the new name: the next save lands there.
  EXPECT_EQ(std::string(w->view->buffer->name.view()), other);
  type(w, {'e', keytest::fkey(2)});
  EXPECT_EQ(fstest::read_file(other), "abcde\n");
  EXPECT_EQ(fstest::read_file(dir_.file("orig.txt")), "abc\n");
}

TEST_F(DefaultMacros, OpenAndNextWindow) {
  const std::string path = dir_.file("opened.txt");
  storetest::write_file(path, "from disk\n");
  editor("abc\n");
  EXPECT_EQ(cmd_execute_line("open-file " + path, CMD_LOOKUP), 0);
  EXPECT_EQ(text_of(window_current()), std::vector<std::string>{"from disk"});

  WindowObject* a = editor("one\n");
  window_link_edit_list(a);
  WindowObject* b = editor("two\n");
  window_link_edit_list(b);
  ASSERT_EQ(window_current(), b);
  type(b, {keytest::fkey(6)});
  EXPECT_NE(window_current(), b);
}

// Leaving asks about each modified buffer, not only the current one: Yes
// saves it, No leaves its file as it was, Cancel keeps the editor open.
TEST_F(DefaultMacros, LeavingAsksAboutEveryModifiedBuffer) {
  struct Case {
    const char* name;
    std::vector<int32_t> answers;  // for a.txt, then b.txt
    bool leaves;
    const char* a_after;
    const char* b_after;
    size_t asked;
  };
  const Case cases[] = {
      {"yes to both", {kYes, kYes}, true, "one1\n", "two2\n", 2},
      {"no to the first", {kNo, kYes}, true, "one\n", "two2\n", 2},
      {"no to both", {kNo, kNo}, true, "one\n", "two\n", 2},
      {"cancel at the first", {kCancel}, false, "one\n", "two\n", 1},
      {"cancel at the second", {kYes, kCancel}, false, "one1\n", "two\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string a_name = std::string("a") + std::to_string(&c - cases) + ".txt";
    const std::string b_name = std::string("b") + std::to_string(&c - cases) + ".txt";
    WindowObject* a = editor("one\n", a_name);
    type(a, {kEvEnd, '1'});
    WindowObject* b = editor("two\n", b_name);
    type(b, {kEvEnd, '2'});
    editor("three\n", "c.txt");  // not modified: never asked about
    std::remove(dir_.file("c.txt").c_str());
    questions.clear();
    answers = c.answers;
    EXPECT_EQ(exit_run_on_exit(), c.leaves);
    EXPECT_EQ(fstest::read_file(dir_.file(a_name)), c.a_after);
    EXPECT_EQ(fstest::read_file(dir_.file(b_name)), c.b_after);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("c.txt")));
    ASSERT_EQ(questions.size(), c.asked);
    EXPECT_EQ(questions[0], "Save the changes to " + dir_.file(a_name) + "?");
    // Done with: neither is asked about in the next case.
    for (WindowObject* w : {a, b}) w->view->buffer->modified = 0;
  }
}

TEST_F(DefaultMacros, LeavingWaitsWhenABufferCannotBeSaved) {
  BufferRec* b = new_buffer("no-such-dir/kept.txt");
  ASSERT_NE(b, nullptr);
  WindowObject* w = window_current();
  type(w, "kept");
  line_flush_current();
  EXPECT_TRUE(b->modified);
  EXPECT_NE(buf_save_buffer(b, ""), 0);
  EXPECT_TRUE(b->modified) << "after a direct save";
  EXPECT_FALSE(exit_run_on_exit()) << "the text is nowhere on disk: the editor must not leave";
  EXPECT_TRUE(b->modified) << "a failed save leaves the buffer modified";
  EXPECT_FALSE(std::filesystem::exists(dir_.file("no-such-dir")));
}

}  // namespace

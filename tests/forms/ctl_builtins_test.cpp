// The message, display and text-control built-ins run as byte code on window
// objects: a table of calls per built-in, error rows included.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "display/cmd_history.h"
#include "display/colours.h"
#include "display/display_settings.h"
#include "display/msgline.h"
#include "display/textctl.h"
#include "forms/input_field.h"
#include "macro/dll_port.h"
#include "tests/forms/forms_fixture.h"
#include "text/search.h"

namespace {

using bitest::Out;

struct Row {
  const char* what;
  const char* mnemonic;
  std::vector<std::string> args;
  ErrorCode code;     // raised (0 none)
  const char* value;  // the result; null: not checked
  int group = 0;      // variables of a group operand
};

class CtlBuiltins : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    display_settings_reset();
    textctl_reset();
    ctl_text_fields_reset();
    message_state_reset();
    search_state.flags = 0;
  }
  void TearDown() override {
    display_settings_reset();
    textctl_reset();
    ctl_text_fields_reset();
    message_state_reset();
    disp_set_command_runner(nullptr);
    cmd_history_attach(nullptr);
    FormsTest::TearDown();
  }
  Out row(const Row& r) {
    SCOPED_TRACE(r.what);
    Out o = call(r.mnemonic, r.args, r.group);
    EXPECT_EQ(r.code, o.raised);
    if (r.value) {
      EXPECT_EQ(r.value, o.value);
    }
    return o;
  }
  void rows(std::initializer_list<Row> list) {
    for (const Row& r : list) row(r);
  }
  // A form with a text box, made current.
  WindowObject* text_box() {
    WindowObject* t = control(form(), kObjText);
    window_set_current(t, 0);
    return t;
  }
};

TEST_F(CtlBuiltins, SearchCase) {
  rows({
      {"reads exact", "search_case", {}, 0, "E"},
      {"sets ignore", "search_case", {"I"}, 0, "I"},
      {"lower case letter", "search_case", {"e"}, 0, "E"},
      {"bad letter keeps the setting", "search_case", {"X"}, ERR_EXPECTING_IGNORE_OR_EXACT, "E"},
  });
  call("search_case", {"I"});
  EXPECT_TRUE(search_state.flags & kSearchFlagIgnoreCase);
}

TEST_F(CtlBuiltins, CursorShape) {
  redraw_bits = 0;
  rows({
      {"start-up shapes", "cursor_shape", {}, 0, "-v 450 1000 750 1000 450 1000 750 1000"},
      {"bar and two shapes", "cursor_shape", {"-v 100 900"}, 0, "-v 100 900 750 1000 450 1000 750 1000"},
      {"no -v turns the bar off", "cursor_shape", {"1 2 3"}, 0, "1 2 3 1000 450 1000 750 1000"},
      {"-V in any case", "cursor_shape", {"5 -V"}, 0, "-v 5 2 3 1000 450 1000 750 1000"},
      {"not a number", "cursor_shape", {"7 x"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
      {"refused change leaves the shapes", "cursor_shape", {}, 0, "-v 5 2 3 1000 450 1000 750 1000"},
  });
  EXPECT_EQ(0x2003u, redraw_bits & 0x2003u);
}

TEST_F(CtlBuiltins, ScrollStyle) {
  rows({
      {"start-up", "scroll_style", {}, 0, "S 0"},
      {"C alone sets the margin to 0", "scroll_style", {"C"}, 0, "C 0"},
      {"style and margin", "scroll_style", {"s 5"}, 0, "S 5"},
      {"negative margin", "scroll_style", {"C -3"}, 0, "C 0"},
      {"bad letter", "scroll_style", {"X 4"}, ERR_INVALID_OPTION, "C 0"},
      {"bad margin", "scroll_style", {"S y"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
  });
  EXPECT_EQ('C', edit_settings.scroll_style);
}

TEST_F(CtlBuiltins, ColourMode) {
  rows({
      {"detect", "color_mode", {"?"}, 0, "C"},
      {"monochrome is only echoed", "color_mode", {"m"}, 0, "M"},
      {"read", "color_mode", {}, 0, "M"},
      {"bad letter", "color_mode", {"Q"}, ERR_INVALID_OPTION, "M"},
  });
}

TEST_F(CtlBuiltins, SmallQueries) {
  WindowObject* t = text_box();
  EXPECT_EQ(std::to_string(::getpid()), call("getpid", {}).value);
  EXPECT_EQ(std::to_string(t->handle), call("current_window_id", {}).value);
  const Out o = run_code(
      [](bc::ImageBuilder& b) {
        b.op("push_const", {bc::k("a")});
        b.op("push_const", {bc::k("b")});
        b.op("dup_under");
        b.op("concat");
        b.op("concat");
      },
      true);
  EXPECT_EQ("bab", o.value);
}

TEST_F(CtlBuiltins, ScrollPosition) {
  std::string text;
  for (int i = 1; i <= 100; ++i) text += "line " + std::to_string(i) + "\n";
  struct Case {
    const char* what;
    int32_t line, row;
    std::vector<std::string> args;
    ErrorCode code;
    int32_t row_after;
  };
  const Case cases[] = {
      {"up", 50, 10, {"U", "5"}, 0, 15},
      {"up past the first line", 50, 10, {"U", "60"}, 0, 49},
      {"down", 50, 10, {"D", "5"}, 0, 5},
      {"down by a window less one", 50, 10, {"D"}, 0, -9},
      {"down at the end does nothing", 100, 19, {"D", "3"}, 0, 19},
      {"top", 50, 10, {"T"}, 0, 49},
      {"bottom", 50, 10, {"B"}, 0, -31},
      {"line", 50, 10, {"L", "30"}, 0, 20},
      {"line needs n", 50, 10, {"L"}, ERR_INVALID_ARGUMENT, 10},
      {"byte point needs n", 50, 10, {"S"}, ERR_INVALID_ARGUMENT, 10},
      {"bad letter moves nothing", 50, 10, {"Q", "3"}, ERR_INVALID_ARGUMENT, 10},
      {"bad number", 50, 10, {"U", "x"}, ERR_INVALID_NUMBER_ARGUMENT, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    open(text, c.line, c.row);
    const Out o = call("scroll_pos", c.args);
    EXPECT_EQ(c.code, o.raised);
    EXPECT_EQ(c.row_after, view_->row);
    EXPECT_EQ(c.line, view_->line) << "the cursor stays on its line";
    buf_shutdown();
  }
  open(text, 3, 0);
  EXPECT_EQ("14 0", call("scroll_pos", {}).value) << "the top line's byte point";
  buf_shutdown();
  text_box();
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("scroll_pos", {}).stop);
}

std::vector<std::pair<std::string, uint32_t>> runs;

TEST_F(CtlBuiltins, MessagesAndCommandExecution) {
  rows({
      {"message", "message", {"hello"}, 0, nullptr},
      {"read the line", "get_message", {}, 0, "hello"},
      {"text of a code", "get_message", {"-2024"}, 0, "Bottom of file"},
      {"code not a number", "get_message", {"x"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
      {"clear", "clear_message", {}, 0, nullptr},
      {"cleared", "get_message", {}, 0, ""},
  });
  call("sticky_message", {"stay"});
  EXPECT_TRUE(message_state().keep);
  call("message", {"go"});
  EXPECT_FALSE(message_state().keep);

  cmd_history_attach(nullptr);
  runs.clear();
  disp_set_command_runner([](std::string_view line, uint32_t flags) {
    runs.emplace_back(std::string(line), flags);
    return line == "bad" ? int32_t{-2} : int32_t{0};
  });
  EXPECT_EQ("0", call("execute_command_line", {"good", "W"}).rc);
  EXPECT_EQ("-2", call("execute_command_line", {"bad"}).rc);
  EXPECT_EQ(ERR_INVALID_ARGUMENT, call("execute_command_line", {"never", "WQ"}).raised);
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(549u, runs[0].second);
  EXPECT_EQ(805u, runs[1].second);

  // The history steps only on the command line.
  text_box();
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("cmdline_history_prev", {}).stop);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("cmdline_history_next", {}).stop);
}

TEST_F(CtlBuiltins, StdoutPrint) {
  testing::internal::CaptureStdout();
  call("stdout_print", {"to the terminal"});
  EXPECT_EQ("to the terminal\n", testing::internal::GetCapturedStdout());
}

// The text returned to a library is a copy: a later change of rc leaves it.
TEST_F(CtlBuiltins, LibraryEntryReturnsACopyOfRc) {
  disp_set_command_runner([](std::string_view, uint32_t) {
    vm_set_rc(42);
    return int32_t{0};
  });
  const char* t = dll_execute_command("anything", "A");
  ASSERT_NE(nullptr, t);
  EXPECT_STREQ("42", t);
  vm_set_rc(7);
  EXPECT_STREQ("42", t);
  // Without A, Z or L the answer is the result; a bad letter runs nothing.
  EXPECT_STREQ("0", dll_execute_command("anything", "W"));
  std::string huge(5000, 'c');
  EXPECT_STREQ("0", dll_execute_command(huge.c_str(), ""));
  EXPECT_STREQ("-3015", dll_execute_command("anything", "Q"));
}

TEST_F(CtlBuiltins, ControlTextAndSelection) {
  WindowObject* t = text_box();
  rows({
      {"set with a range", "set_ctl_text", {"hello world", "2", "4"}, 0, nullptr},
      {"text only", "get_ctl_text", {}, 0, nullptr, 1},
  });
  InputField* f = ctl_text_field(t);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ("hello world", ifield_text(*f));
  EXPECT_EQ(1, f->anchor);
  EXPECT_EQ(3, f->caret);
  struct Case {
    int group;
    std::vector<std::string> vars;
  };
  const Case cases[] = {
      {1, {"hello world"}},
      {2, {"hello world", "4"}},  // two variables: the selection's end
      {3, {"hello world", "2", "4"}},
      {4, {"hello world", "2", "4", "> "}},
  };
  cmdline_prompt() = "> ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.group);
    EXPECT_EQ(c.vars, call("get_ctl_text", {}, c.group).vars);
  }
  call("set_ctl_sel", {"5"});
  Out o = call("get_ctl_sel", {}, 2);
  EXPECT_EQ((std::vector<std::string>{"5", "5"}), o.vars) << "one position gives an empty selection";
  EXPECT_EQ("5", o.rc);
  call("set_ctl_sel", {"3", "7"});
  o = call("get_ctl_sel", {}, 1);
  EXPECT_EQ((std::vector<std::string>{"3"}), o.vars);
  EXPECT_EQ("7", o.rc);
  call("set_ctl_text", {"abc", "2"});
  EXPECT_EQ(1, f->anchor);
  EXPECT_EQ(1, f->caret) << "start alone: end = start";
  call("set_ctl_text", {"new", "1", "1", "prompt: "});
  EXPECT_EQ("prompt: ", cmdline_prompt());
  rows({
      {"position not a number", "set_ctl_sel", {"x"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
      {"start not a number", "set_ctl_text", {"t", "y"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
      {"is a text control", "is_text_control", {}, 0, "1"},
  });
  EXPECT_EQ("new", ifield_text(*f));
  EXPECT_EQ(std::string(1024, 'z'), (call("set_ctl_text", {std::string(1500, 'z')}), std::string(ifield_text(*f))));
}

// A prompt on the command line keeps the command its answer completes out
// of sight: the field holds only the answer, the built-ins see the whole
// line, and a new text without a prompt ends it.
TEST_F(CtlBuiltins, APromptHidesTheCommandItCompletes) {
  WindowObject* cl = obj_command_line();
  ASSERT_NE(nullptr, cl);
  obj_set_type(cl, kObjText);
  window_set_current(cl, 0);
  call("set_ctl_text", {"go-to-line ", "12", "12", "Go to line:"});
  InputField* f = ctl_text_field(cl);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ("", ifield_text(*f)) << "the field shows no command";
  EXPECT_EQ("Go to line:", cmdline_prompt());
  EXPECT_EQ("go-to-line ", cmdline_prompt_command());
  ifield_insert(*f, "42");
  EXPECT_EQ((std::vector<std::string>{"go-to-line 42", "14", "14", "Go to line:"}), call("get_ctl_text", {}, 4).vars);
  call("set_ctl_sel", {"12", "14"});
  EXPECT_EQ(0, f->anchor);
  EXPECT_EQ(2, f->caret);
  call("set_ctl_text", {"plain"});
  EXPECT_EQ("", cmdline_prompt_command());
  EXPECT_EQ((std::vector<std::string>{"plain"}), call("get_ctl_text", {}, 1).vars);
  cmdline_prompt_end();
  EXPECT_EQ("", cmdline_prompt());
}

TEST_F(CtlBuiltins, ComboBoxIsServedThroughItsEditPart) {
  WindowObject* c = control(form(), kObjCombo);
  WindowObject* edit = control(c, kObjText);
  c->edit_part = edit->handle;
  window_set_current(c, 0);
  EXPECT_EQ("1", call("is_text_control", {}).value);
  call("set_ctl_text", {"combo"});
  EXPECT_EQ("combo", ifield_text(*ctl_text_field(edit)));
}

TEST_F(CtlBuiltins, NonTextObjectsAndReservedSlotsStop) {
  WindowObject* chk = control(form(), kObjCheck);
  window_set_current(chk, 0);
  EXPECT_EQ("0", call("is_text_control", {}).value);
  for (const char* m : {"get_ctl_text", "get_ctl_sel"}) EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call(m, {}, 1).stop) << m;
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("set_ctl_text", {"x"}).stop);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("set_ctl_sel", {"1"}).stop);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("insert_state", {}).stop);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("insert_toggle", {}).stop);
  for (const char* m : {"is_text_control2", "reserved_195", "reserved_196"})
    EXPECT_EQ(ERR_ILLEGAL_OPCODE, call(m, {}).stop) << m;
}

TEST_F(CtlBuiltins, InsertModes) {
  WindowObject* t = text_box();
  InputField* f = ctl_text_field(t);
  rows({
      {"text box to overwrite, the editor's mode answers", "insert_state", {"0"}, 0, "1"},
      {"read", "insert_state", {}, 0, "1"},
      {"start-up mode with two arguments", "insert_state", {"0", "x"}, 0, "0"},
      {"not a number", "insert_state", {"q"}, ERR_INVALID_NUMBER_ARGUMENT, nullptr},
  });
  EXPECT_EQ(0, f->insert_mode);
  EXPECT_EQ(0, startup_insert_mode);
  EXPECT_EQ(1, edit_settings.insert_mode);
  call("insert_toggle", {});
  EXPECT_EQ(1, f->insert_mode) << "a text control toggles its own mode";
  EXPECT_EQ(1, edit_settings.insert_mode);
}

WindowObject* editor = nullptr;

TEST_F(CtlBuiltins, FocusMovesBetweenCommandLineAndEditor) {
  open("text\n");
  editor = window_current();
  view_->owner = editor->handle;  // an editor window's view is its own
  obj_type_editor_window(editor);
  ASSERT_TRUE(obj_is_frame_child(editor));
  const Out first = call("toggle_cmdline_focus", {});
  EXPECT_EQ(0, first.stop);
  EXPECT_EQ(0, first.raised);
  EXPECT_EQ(obj_command_line(), window_current());
  EXPECT_EQ(0x2014u, redraw_bits & 0x2014u);
  call("toggle_cmdline_focus", {});
  EXPECT_EQ(editor, window_current()) << "twice returns to the editor window";
  call("focus_cmdline", {});
  EXPECT_EQ(obj_command_line(), window_current());
  call("focus_edit_window", {});
  EXPECT_EQ(editor, window_current());
  // Another text box, or a form outside the frame, may not move the focus.
  text_box();
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("focus_cmdline", {}).stop);
  window_set_current(form(), 0);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("toggle_cmdline_focus", {}).stop);
  buf_shutdown();
}

}  // namespace

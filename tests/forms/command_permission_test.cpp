// Commands typed on the command line are checked against the frame's edit
// window (the frame object's first child) before they run: without one, on
// an iconized one or in a read-only buffer a command runs only when its
// attribute flags allow it; from the command line itself a command runs as
// that edit window, unless it works on the command line. Commands a macro
// runs are never checked.
#include <gtest/gtest.h>

#include <string>

#include "forms/native.h"
#include "forms/objects.h"
#include "macro/command_exec.h"
#include "tests/macro/key_fixture.h"

namespace {

class CommandPermission : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    keytest::Mod mod;
    mod.global("ran", "");
    // Each command goes to the end of the current line and names itself.
    for (const auto& [name, info] : {std::pair<std::string, std::string>{"plain", ""},
                                     {"no-window-ok", "Runs without an edit window,1"},
                                     {"iconic-ok", "Runs on an iconized window,2"},
                                     {"read-only-ok", "Only looks,16"},
                                     {"on-cmdline", "Works on the command line,4"}}) {
      mod.command(name, info);
      mod.op("end_line");
      mod.op("push_const", {name});
      mod.op("assign", {"$ran"});
      mod.op("return");
    }
    boot(mod);
    ASSERT_EQ(objects_init(1024, 768), 0);
    native_table_reset();
    edit_ = editor("some text\n");
    obj_type_editor_window(edit_);  // a child of the frame, as the window layer makes them
    ASSERT_EQ(obj_frame_object()->first_child, edit_);
    cmdline_ = obj_command_line();
    show(cmdline_, make("cmd", "typed\n"));
    obj_set_type(cmdline_, kObjText);
  }
  void TearDown() override {
    native_table_reset();
    objects_shutdown();
    KeyTest::TearDown();
  }
  // Runs a line as the command line's built-in does, with cur current.
  // A command that runs answers rc, which starts at 0.
  int32_t typed(WindowObject* cur, const std::string& line) {
    set_global("ran", "");
    vm_set_rc(0);
    window_set_current(cur, 0);
    return cmd_execute_line(line, 805);
  }
  static void set_global(const std::string& name, const std::string& value) {
    var_store_bytes(var_slot_of(name_find(name, NF_GLOBAL)), value.data(), static_cast<int32_t>(value.size()));
  }
  static inline const WindowObject* iconic_ = nullptr;
  WindowObject* edit_ = nullptr;
  WindowObject* cmdline_ = nullptr;
};

TEST_F(CommandPermission, TheEditWindowsStateDecidesWhatMayRun) {
  struct Case {
    const char* what;
    void (*arrange)(WindowObject* edit);
    const char* command;
    int32_t want;
  };
  const auto none = [](WindowObject*) {};
  const auto read_only = [](WindowObject* e) { buf_set_mode_name(e->view->buffer, "READ ONLY"); };
  const auto iconic = [](WindowObject* e) {
    iconic_ = e;
    static NativeWindowOps ops = kNativeHeadless;
    ops.get_state = [](const WindowObject* w) { return w == iconic_ ? 'I' : 'N'; };
    native_set_table({&ops, &kNativeHeadless, &kNativeHeadless});
  };
  const auto placeholder = [](WindowObject* e) { e->flags |= kWinHidden; };
  const Case cases[] = {
      {"a plain edit window", none, "plain", 0},
      {"read-only", read_only, "plain", ERR_READ_ONLY_MODE},
      {"read-only", read_only, "read-only-ok", 0},
      {"iconized", iconic, "plain", ERR_NOT_ALLOWED_ICONIZED},
      {"iconized", iconic, "iconic-ok", 0},
      {"only the placeholder", placeholder, "plain", ERR_NOT_ALLOWED_NO_EDIT_WINDOWS},
      {"only the placeholder", placeholder, "no-window-ok", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.command);
    buf_set_mode_name(edit_->view->buffer, "Fundamental");
    native_table_reset();
    edit_->flags &= ~kWinHidden;
    c.arrange(edit_);
    vmtest::shown.clear();
    EXPECT_EQ(typed(edit_, c.command), c.want);
    EXPECT_EQ(global("ran"), c.want == 0 ? c.command : "") << "a refused command does not run";
    if (c.want != 0) {
      EXPECT_EQ(rc(), std::to_string(c.want));
      ASSERT_EQ(vmtest::shown.size(), 1u) << "the refusal is reported";
      EXPECT_EQ(vmtest::shown[0].code, c.want);
    }
  }
}

TEST_F(CommandPermission, WithoutAnyFrameChildEveryUncheckedCommandIsRefused) {
  obj_frame_object()->first_child = nullptr;
  EXPECT_EQ(typed(edit_, "plain"), ERR_NOT_ALLOWED_NO_EDIT_WINDOWS);
  EXPECT_EQ(typed(edit_, "no-window-ok"), 0);
}

TEST_F(CommandPermission, FromTheCommandLineACommandRunsAsTheEditWindow) {
  buf_set_mode_name(edit_->view->buffer, "Read only");
  EXPECT_EQ(typed(cmdline_, "plain"), ERR_READ_ONLY_MODE);
  EXPECT_EQ(typed(cmdline_, "read-only-ok"), 0);
  EXPECT_EQ(edit_->view->column, 9) << "it ran as the edit window";
  EXPECT_EQ(cmdline_->view->column, 0);
  EXPECT_EQ(window_current(), cmdline_) << "the command line is current again";
  // One that works on the command line runs there, unchecked.
  EXPECT_EQ(typed(cmdline_, "on-cmdline"), 0);
  EXPECT_EQ(cmdline_->view->column, 5);
}

TEST_F(CommandPermission, OnlyTypedCommandsInTheFrameAreChecked) {
  buf_set_mode_name(edit_->view->buffer, "Read only");
  window_set_current(edit_, 0);
  EXPECT_EQ(cmd_execute_line("plain", CMD_LOOKUP), 0) << "a macro's command line is not checked";
  EXPECT_EQ(global("ran"), "plain");
  // A window outside the frame (a form's text box) is not checked either.
  WindowObject* other = editor("elsewhere\n");
  // Showing a buffer made it an editor window of the frame: take it out of
  // the frame's children, as a window of a form is.
  WindowObject* frame = obj_frame_object();
  if (frame->first_child == other) frame->first_child = other->next == other ? nullptr : other->next;
  other->prev->next = other->next, other->next->prev = other->prev;
  other->next = other->prev = nullptr;
  other->parent = nullptr;
  buf_set_mode_name(other->view->buffer, "Read only");
  EXPECT_EQ(typed(other, "plain"), 0);
  EXPECT_EQ(other->view->column, 9);
}

}  // namespace

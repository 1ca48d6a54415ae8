// The editor's own files as bad input, and a clipboard owner that never
// answers, through the real zorvex program on a private X server: a
// directory, FIFO, link to /dev/zero or 64 MiB of garbage in place of
// zorvex.ini or zorvex.zlx leaves the editor starting; F1 with a help file
// that cannot be used says on the message line what is wrong with it; a
// paste from a silent owner gives up within about a second and says so.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/editor_x_fixture.h"
#include "tests/special_files.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;
using editor_x::eventually;
using editor_x::slurp;
using zvxtest::Special;

class BadFilesX : public editor_x::EditorXFixture {
 protected:
  BadFilesX() : EditorXFixture("zvx-badfiles") {}

  // A copy of the program in bin/ with the build's state file beside it, so
  // that the lexers and help the test puts there are the ones it finds.
  void program_beside() {
    const std::string bin = dir_ / "bin";
    ASSERT_EQ(0, ::mkdir(bin.c_str(), 0755));
    for (const char* f : {"zorvex", "zorvex.stu"}) {
      const std::string from = std::string(ZVX_BINARY_DIR) + "/app/" + f;
      ASSERT_EQ(0, std::system(("cp -p '" + from + "' '" + bin + "/'").c_str())) << f;
    }
    program_ = bin + "/zorvex";
  }
  // One past the last column of ink on the message line (its paper is the
  // colour at its right end); 0 without ink.
  int message_extent() {
    const Window m = band(0);
    XWindowAttributes a{};
    if (!m || !XGetWindowAttributes(d_, m, &a) || a.width < 8) return 0;
    XSync(d_, False);
    XImage* im =
        XGetImage(d_, m, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!im) return 0;
    const unsigned long paper = XGetPixel(im, a.width - 2, a.height / 2) & 0xFFFFFF;
    int extent = 0;
    for (int y = 0; y < a.height; ++y)
      for (int x = extent; x < a.width - 4; ++x)
        if ((XGetPixel(im, x, y) & 0xFFFFFF) != paper) extent = x + 1;
    XDestroyImage(im);
    return extent;
  }
  // The extent of "Key not defined" (15 characters; an unbound key says
  // it), the message line's font measured on itself. Cleared again.
  int short_message_extent() {
    int extent = 0;
    if (!keys({"F12"}) || !eventually([&] { return (extent = message_extent()) > 0; })) return 0;
    if (!keys({"Right"}) || !eventually([&] { return message_ink() == 0; })) return 0;
    return extent;
  }
};

TEST_F(BadFilesX, ZorvexIniThatIsNoFileOfSettingsLeavesTheEditorStarting) {
  ASSERT_EQ(0, ::mkdir((dir_ / ".zorvex").c_str(), 0755));
  for (const Special kind : {Special::Directory, Special::Fifo, Special::DevZero, Special::Garbage}) {
    SCOPED_TRACE(static_cast<int>(kind));
    zvxtest::make_special(dir_ / ".zorvex/zorvex.ini", kind);
    start({});
    if (HasFatalFailure()) return;
    EXPECT_TRUE(editor_->running());
    editor_.reset();
  }
}

TEST_F(BadFilesX, AFifoInPlaceOfTheLexersLeavesTheEditorStartingWithoutColours) {
  program_beside();
  if (HasFatalFailure()) return;
  for (const Special kind : {Special::Fifo, Special::Directory, Special::DevZero}) {
    SCOPED_TRACE(static_cast<int>(kind));
    zvxtest::make_special(dir_ / "bin/zorvex.zlx", kind);
    const std::string source = dir_ / "x.c";
    std::ofstream(source) << "int main(void) { return 0; }\n";
    start({source});
    if (HasFatalFailure()) return;
    EXPECT_TRUE(editor_->running());
    editor_.reset();
  }
}

// Each help file beside the program that cannot be shown: F1 names it and
// says what is wrong on the message line, and the next key clears that.
TEST_F(BadFilesX, F1WithAHelpFileThatCannotBeUsedSaysWhatIsWrong) {
  program_beside();
  if (HasFatalFailure()) return;
  const std::string help = dir_ / "bin/zorvex.hlp";
  const std::string real = slurp(std::string(ZVX_BINARY_DIR) + "/app/zorvex.hlp");
  ASSERT_GT(real.size(), 80u);
  start({});
  if (HasFatalFailure()) return;
  const int short_extent = short_message_extent();
  ASSERT_GT(short_extent, 0);
  struct Case {
    const char* name;
    void (*put)(const std::string& path, const std::string& real);
    const char* said;  // what the message line is to show
  };
  const Case cases[] = {
      {"missing", [](const std::string& p, const std::string&) { zvxtest::remove_tree(p); },
       "zorvex.hlp: File not found"},
      {"cut short", [](const std::string& p, const std::string& r) { std::ofstream(p) << r.substr(0, 79); },
       "zorvex.hlp: Error reading file"},
      {"another version",
       [](const std::string& p, const std::string& r) {
         std::string v = r;
         v[v.size() - 80] ^= 1;  // the trailer's version word
         std::ofstream(p) << v;
       },
       "zorvex.hlp: Incorrect version"},
      {"a FIFO", [](const std::string& p, const std::string&) { zvxtest::make_special(p, Special::Fifo); },
       "zorvex.hlp: Access denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zvxtest::remove_tree(help);
    c.put(help, real);
    ASSERT_EQ(message_ink(), 0) << "no message before F1";
    ASSERT_TRUE(keys({"F1"}));
    int extent = 0;
    ASSERT_TRUE(eventually([&] { return (extent = message_extent()) > 0; })) << "F1 said nothing";
    // Each of these texts is at least 25 characters long: well past the 15
    // of "Key not defined".
    EXPECT_GT(extent, short_extent * 4 / 3) << c.said;
    EXPECT_TRUE(editor_->running());
    ASSERT_TRUE(keys({"Right"}));
    ASSERT_TRUE(eventually([&] { return message_ink() == 0; })) << "the next key clears it";
  }
}

// A client that owns both selections and never answers: the paste is given
// up after about a second with "Unable to get clipboard data" on the
// message line (it used to freeze the editor for about five seconds per
// format asked of each selection), nothing is pasted, and the editor goes
// on editing.
TEST_F(BadFilesX, AClipboardOwnerThatNeverAnswersIsGivenUpWithAMessage) {
  const std::string path = dir_ / "notes.txt";
  std::ofstream(path) << "abc\n";
  start({path});
  if (HasFatalFailure()) return;
  const Window silent = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(d_, "CLIPBOARD", False);
  XSetSelectionOwner(d_, clipboard, silent, CurrentTime);
  XSetSelectionOwner(d_, XA_PRIMARY, silent, CurrentTime);
  XSync(d_, False);
  ASSERT_EQ(XGetSelectionOwner(d_, clipboard), silent);
  ASSERT_EQ(XGetSelectionOwner(d_, XA_PRIMARY), silent);
  const int short_extent = short_message_extent();
  ASSERT_GT(short_extent, 0);
  const auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(keys({"ctrl+v"}));
  ASSERT_TRUE(eventually([&] { return message_extent() > 0; }, 30s)) << "the paste said nothing";
  const auto answered = std::chrono::steady_clock::now();
  EXPECT_LT(answered - pressed, 4s) << "the wait for the owner is bounded";
  EXPECT_GT(message_extent(), short_extent * 4 / 3) << "Unable to get clipboard data";
  ASSERT_TRUE(type("Z"));
  ASSERT_TRUE(keys({"ctrl+s"}));
  // After the Right that cleared the first message: nothing pasted.
  EXPECT_TRUE(eventually([&] { return slurp(path) == "aZbc\n"; })) << slurp(path);
  EXPECT_TRUE(editor_->running());
  XDestroyWindow(d_, silent);
  XSync(d_, False);
}

}  // namespace

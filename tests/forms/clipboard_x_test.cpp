// The macro clipboard against xclip on a private Xvfb: text the copy
// built-in puts on the clipboard is read by xclip from PRIMARY and
// CLIPBOARD, and text xclip stores is pasted into a buffer by the paste
// built-in, 300 KB included.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "forms/clipboard.h"
#include "tests/macro/text_bi_fixture.h"
#include "tests/support/xvfb.h"
#include "winsys/msgqueue.h"
#include "winsys/selection.h"
#include "winsys/window.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

// X's own headers last: their macros (None) would break ours.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string big_text(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of the pasted text\n";
  return s;
}

class ClipboardX : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
    d_ = server_->display();
    xf_reset();
    xf_attach_display(d_);
    old_handler_ = XSetErrorHandler(xfXErrorHandler);
    XfWindow* client = nullptr;
    frame_ = xfCreateFrame(nullptr, 0, kFrameTitle, nullptr, "Zorvex", nullptr, nullptr, 1, &client, 0, 0, 200, 100);
    ASSERT_TRUE(frame_);
    ASSERT_TRUE(clip_register_opcodes(vm_dispatch));
    in_file_ = file("xclip-in");
    out_file_ = file("xclip-out");
  }
  void TearDown() override {
    if (d_) {
      XSync(d_, False);
      XSetErrorHandler(old_handler_);
    }
    xf_reset();
    server_.reset();
    TextBiTest::TearDown();
  }
  void pump() {
    XfMessage m{};
    while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    usleep(2000);
  }
  // xclip -o of a selection, our loop running while it asks.
  std::string xclip_out(const char* sel) {
    std::ofstream(in_file_) << "";
    pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server_->display_name().c_str(), 1);
      int out = ::open(out_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, 1);
      execlp("xclip", "xclip", "-o", "-selection", sel, static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = Clock::now() + 20s;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      pump();
    }
    std::ifstream f(out_file_, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  // xclip -i keeps the selection until it is killed.
  pid_t xclip_in(const std::string& text, const char* sel) {
    std::ofstream(in_file_, std::ios::binary) << text;
    pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server_->display_name().c_str(), 1);
      int in = ::open(in_file_.c_str(), O_RDONLY);
      dup2(in, 0);
      execlp("xclip", "xclip", "-i", "-quiet", "-selection", sel, static_cast<char*>(nullptr));
      _exit(127);
    }
    const Atom atom = std::string(sel) == "primary" ? XA_PRIMARY : XInternAtom(d_, "CLIPBOARD", False);
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      const Window owner = XGetSelectionOwner(d_, atom);
      if (owner != None && owner != frame_->xwin) break;
      pump();
    }
    for (int i = 0; i < 20; ++i) pump();
    return pid;
  }
  std::unique_ptr<xtest::XvfbServer> server_;
  Display* d_ = nullptr;
  XErrorHandler old_handler_ = nullptr;
  XfWindow* frame_ = nullptr;
  std::string in_file_, out_file_;
};

TEST_F(ClipboardX, CopiedLinesReachXclipInBothSelections) {
  open("one\ntwo\nthree\n");
  const textbi::Outcome o = run(R"(  select_line 0
  push_const "1"
  cursor_down 1
  select_line 0
  copy_to_clipboard 0)");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(o.rc, "0");
  EXPECT_EQ(xclip_out("primary"), "one\ntwo\n");
  EXPECT_EQ(xclip_out("clipboard"), "one\ntwo\n");
}

TEST_F(ClipboardX, A300KbCopyReachesXclip) {
  const std::string big = big_text(300000);
  ASSERT_EQ(clip_put_text("pid=1 line", big), 0);
  const std::string got = xclip_out("clipboard");
  EXPECT_EQ(got.size(), big.size());
  EXPECT_TRUE(got == big);
}

TEST_F(ClipboardX, TextXclipStoresIsPasted) {
  struct Case {
    const char* sel;
    std::string text;
  };
  for (const Case& c : {Case{"clipboard", "pasted\r\nfrom xclip"}, Case{"primary", big_text(300000)}}) {
    SCOPED_TRACE(c.sel);
    open("<>\n", std::string("x-") + c.sel + ".txt");
    at(1, 1);
    const pid_t pid = xclip_in(c.text, c.sel);
    const textbi::Outcome o = run("  paste 0");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    ASSERT_EQ(o.stop, 0);
    std::string want = c.text;
    for (size_t p; (p = want.find('\r')) != std::string::npos;) want.erase(p, 1);
    EXPECT_TRUE(text() == "<" + want + ">\n") << text().size() << " bytes";
    usleep((kClipCacheMs + 100) * 1000);  // no stale copy for the next case
  }
}

}  // namespace

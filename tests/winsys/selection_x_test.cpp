// PRIMARY and CLIPBOARD against real clients on a private Xvfb: what we
// store xclip reads, what xclip stores we read, 300 KB both ways (INCR),
// the INCR chunks as a requestor of our own sees them, and a requestor that
// dies in the middle of a transfer.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/xvfb.h"
#include "winsys/msgqueue.h"
#include "winsys/selection.h"
#include "winsys/window.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string big_text(size_t n) {
  std::string s;
  s.reserve(n);
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of the pasted text\n";
  s.resize(n);
  return s;
}

std::string tmp_path(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/zvx-sel-" + std::to_string(getpid()) + "-" + name;
}

class Selections : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    d = server->display();
    xf_reset();
    xf_attach_display(d);
    old_handler = XSetErrorHandler(xfXErrorHandler);
    XfWindow* client = nullptr;
    frame = xfCreateFrame(nullptr, 0, kFrameTitle, nullptr, "Zorvex", nullptr, nullptr, 1, &client, 0, 0, 200, 100);
    ASSERT_TRUE(frame);
    ASSERT_EQ(xf().main_window, frame);
    in_file = tmp_path("in");
    out_file = tmp_path("out");
  }
  void TearDown() override {
    XSync(d, False);  // errors still on their way go to our handler
    XSetErrorHandler(old_handler);
    xf_reset();
    server.reset();
    unlink(in_file.c_str());
    unlink(out_file.c_str());
  }

  // Handles what is queued and what X has for us.
  void pump() {
    XfMessage m{};
    while (xfPeekMsg(&m, nullptr, 0, 0, 1)) xfDispatchMsg(&m);
    usleep(2000);
  }

  // Runs a program on the server, standard input from in_file and output
  // to out_file, keeping our loop going until it ends. Its exit status.
  int run(const std::vector<std::string>& argv, std::chrono::seconds limit = 20s) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server->display_name().c_str(), 1);
      int in = open(in_file.c_str(), O_RDONLY);
      int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in >= 0) dup2(in, 0);
      if (out >= 0) dup2(out, 1);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    auto deadline = Clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
      }
      pump();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string read_out() {
    std::ifstream f(out_file, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  void write_in(const std::string& s) { std::ofstream(in_file, std::ios::binary) << s; }

  std::string xclip_out(XfSel sel, const char* target = nullptr) {
    std::vector<std::string> argv{"xclip", "-o", "-selection", sel == XfSel::primary ? "primary" : "clipboard"};
    if (target) argv.insert(argv.end(), {"-t", target});
    write_in("");
    EXPECT_EQ(run(argv), 0);
    return read_out();
  }

  std::unique_ptr<xtest::XvfbServer> server;
  Display* d = nullptr;
  XErrorHandler old_handler = nullptr;
  XfWindow* frame = nullptr;
  std::string in_file, out_file;
};

bool same(const std::vector<uint8_t>& got, const std::string& want) {
  return std::string(got.begin(), got.end()) == want;
}

struct Sample {
  const char* name;
  XfSel sel;
  std::string text;
};

std::vector<Sample> samples() {
  return {{"primary small", XfSel::primary, "hello, world"},
          {"clipboard small", XfSel::clipboard, "line one\nline two\n"},
          {"primary 300 KB", XfSel::primary, big_text(300000)},
          {"clipboard 300 KB", XfSel::clipboard, big_text(300000)}};
}

TEST_F(Selections, WhatWeStoreXclipReads) {
  for (const Sample& s : samples()) {
    ASSERT_EQ(xf_sel_set(s.sel, 1, s.text.data(), s.text.size()), 0);
    EXPECT_TRUE(xf_sel_owned(s.sel)) << s.name;
    std::string out = xclip_out(s.sel, "STRING");
    EXPECT_TRUE(out == s.text) << s.name << ": " << out.size() << " bytes";
    out = xclip_out(s.sel);
    EXPECT_TRUE(out == s.text) << s.name << " (xclip's own target): " << out.size() << " bytes";
    for (int i = 0; i < 20 && xf_sel_transfers(); ++i) pump();
    EXPECT_EQ(xf_sel_transfers(), 0) << s.name;
  }
}

TEST_F(Selections, TrailingZerosAreNotServed) {
  const char text[] = "abc\0\0";
  xf_sel_set(XfSel::primary, 1, text, 5);
  EXPECT_EQ(xclip_out(XfSel::primary, "STRING"), "abc");
}

TEST_F(Selections, WhatXclipStoresWeRead) {
  for (const Sample& s : samples()) {
    write_in(s.text);
    const char* name = s.sel == XfSel::primary ? "primary" : "clipboard";
    pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server->display_name().c_str(), 1);
      int in = open(in_file.c_str(), O_RDONLY);
      dup2(in, 0);
      execlp("xclip", "xclip", "-i", "-quiet", "-selection", name, static_cast<char*>(nullptr));
      _exit(127);
    }
    Atom atom = s.sel == XfSel::primary ? XA_PRIMARY : XInternAtom(d, "CLIPBOARD", False);
    auto deadline = Clock::now() + 10s;
    auto xclip_owns = [&] {
      Window owner = XGetSelectionOwner(d, atom);
      return owner != None && owner != frame->xwin;
    };
    while (!xclip_owns() && Clock::now() < deadline) pump();
    // xclip took the selection from us if we had it.
    for (int i = 0; i < 20; ++i) pump();
    EXPECT_FALSE(xf_sel_owned(s.sel)) << s.name;
    std::vector<uint8_t> got;
    EXPECT_EQ(xf_sel_get(s.sel, 1, &got), 0) << s.name;
    EXPECT_TRUE(same(got, s.text)) << s.name << ": " << got.size() << " bytes";
    EXPECT_EQ(xf_sel_available(s.sel, 1), 1) << s.name;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // Within the cache's life the data stay readable with the owner gone.
    got.clear();
    EXPECT_EQ(xf_sel_get(s.sel, 1, &got), 0) << s.name;
    EXPECT_EQ(got.size(), s.text.size()) << s.name;
    usleep((kClipCacheMs + 100) * 1000);
    EXPECT_EQ(xf_sel_get(s.sel, 1, &got), -1) << s.name << ": no owner, stale cache";
    // Ours again, for the next round.
    xf_sel_set(s.sel, 1, "x", 1);
  }
}

// A requestor of our own on a second connection: asks for STRING into
// property P and reads INCR chunk by chunk, recording their sizes; it can
// die after a given number of chunks.
struct Requestor {
  Display* d;
  Window w;
  Atom prop;
  std::vector<size_t> chunks;
  Atom first_type = None;
  bool refused = false;
};

TEST_F(Selections, IncrChunksAndARequestorThatDies) {
  std::string text = big_text(300000);
  xf_sel_set(XfSel::primary, 1, text.data(), text.size());
  auto open_requestor = [&] {
    Requestor r{XOpenDisplay(server->display_name().c_str()), 0, 0, {}};
    r.w = XCreateSimpleWindow(r.d, DefaultRootWindow(r.d), 0, 0, 10, 10, 0, 0, 0);
    XSelectInput(r.d, r.w, PropertyChangeMask);
    r.prop = XInternAtom(r.d, "MY_OWN_PROPERTY", False);
    return r;
  };
  // Reads until `stop_after` chunks arrived (0: to the end). True when the
  // transfer went as far as wanted within the time.
  auto transfer = [&](Requestor& r, Atom target, Atom property, size_t stop_after) {
    XConvertSelection(r.d, XA_PRIMARY, target, property, r.w, CurrentTime);
    XFlush(r.d);
    auto deadline = Clock::now() + 15s;
    bool incr = false;
    while (Clock::now() < deadline) {
      pump();
      while (XPending(r.d)) {
        XEvent ev;
        XNextEvent(r.d, &ev);
        if (ev.type == SelectionNotify) {
          if (ev.xselection.property == None) {
            r.refused = true;
            return true;
          }
          Atom type;
          int format;
          unsigned long n, after;
          unsigned char* data = nullptr;
          XGetWindowProperty(r.d, r.w, r.prop, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data);
          if (data) XFree(data);
          r.first_type = type;
          incr = type == XInternAtom(r.d, "INCR", False);
          if (!incr) return true;
          XFlush(r.d);
        } else if (incr && ev.type == PropertyNotify && ev.xproperty.state == PropertyNewValue &&
                   ev.xproperty.atom == r.prop) {
          Atom type;
          int format;
          unsigned long n, after;
          unsigned char* data = nullptr;
          XGetWindowProperty(r.d, r.w, r.prop, 0, 1 << 20, False, AnyPropertyType, &type, &format, &n, &after, &data);
          if (data) XFree(data);
          r.chunks.push_back(n);
          if (stop_after && r.chunks.size() == stop_after) return true;
          XDeleteProperty(r.d, r.w, r.prop);
          XFlush(r.d);
          if (n == 0) return true;
        }
      }
    }
    return false;
  };

  Requestor whole = open_requestor();
  ASSERT_TRUE(transfer(whole, XA_STRING, whole.prop, 0));
  EXPECT_EQ(whole.chunks, (std::vector<size_t>{262040, 37960, 0}));
  for (int i = 0; i < 20 && xf_sel_transfers(); ++i) pump();
  EXPECT_EQ(xf_sel_transfers(), 0);

  // Refusals: property None, a target we have no data for.
  Requestor asks = open_requestor();
  ASSERT_TRUE(transfer(asks, XA_STRING, None, 0));
  EXPECT_TRUE(asks.refused);
  asks.refused = false;
  ASSERT_TRUE(transfer(asks, XInternAtom(d, "image/png", False), asks.prop, 0));
  EXPECT_TRUE(asks.refused);
  XCloseDisplay(asks.d);

  // A requestor that dies after the first chunk: we go on, the transfer is
  // dropped, and the next one works.
  Requestor dies = open_requestor();
  ASSERT_TRUE(transfer(dies, XA_STRING, dies.prop, 1));
  EXPECT_EQ(xf_sel_transfers(), 1);
  XCloseDisplay(dies.d);
  auto deadline = Clock::now() + 10s;
  while (xf_sel_transfers() && Clock::now() < deadline) pump();
  EXPECT_EQ(xf_sel_transfers(), 0);
  std::string out = xclip_out(XfSel::primary, "STRING");
  EXPECT_TRUE(out == text) << out.size() << " bytes";
  XCloseDisplay(whole.d);
}

}  // namespace

// Probes: behaviour proved through the shipped editor program.
//
// A probe is a small macro module that a test writes in zozu's text form.
// Probe::start assembles it with our zozu, links it after the default
// macros into a state file of its own, and runs the real zorvex program on
// that state file on a private Xvfb, in a scratch directory that holds the
// probe's files (and is its HOME). Once start-up has opened the files, the
// module's init entry makes the editor window in front current and calls the
// procedure `probe`, which the module defines without parameters.
//
// The probe writes what it observes as lines "key=value" with `note(key,
// value)`, and leaves with the exit built-in (on leaving, the default macros
// save every modified buffer that has a file; one that has none keeps the
// editor open). Meanwhile the test watches the screen (windows by title,
// pixels, window properties, the X bell) and sends keys; finish() waits for
// the editor to end and hands back its exit status, the notes and its
// standard error.
//
// What every probe module gets after its own text (so zozu's line numbers
// are the test's own):
//   global rc                   ; the last command's result
//   private note(key, value)    ; writes the line key=value
//   the init entry that runs `probe`
// The notes go to a file the harness opens as the editor's descriptor 3,
// written there by the file_write built-in.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/xvfb.h"
#include "tests/temp_dir.h"

namespace probe {

struct ProbeSpec {
  std::string source = {};  // the module's text; it defines `probe`
  // Files put into the scratch directory first: name (relative), bytes.
  std::vector<std::pair<std::string, std::string>> files = {};
  // zorvex's arguments after the state-file option; file names are taken
  // relative to the scratch directory, its working directory.
  std::vector<std::string> args = {};
  // More environment: "NAME=value" sets, a bare "NAME" removes.
  std::vector<std::string> env = {};
};

struct ProbeResult {
  bool ended = false;  // the editor ended by itself within the bound
  int status = -1;     // its exit code; -1 when it died of a signal or was ended
  std::string notes;   // what the probe wrote
  std::string err;     // the editor's standard error
  // When it did not end: the titles of the windows it left shown (a box
  // titled "Zorvex-C Error" says the probe stopped at a macro error).
  std::vector<std::string> left_shown;

  // The value of the last note `key`.
  std::optional<std::string> note(const std::string& key) const;
  // Everything above in a few lines, for a failing check's message.
  std::string describe() const;
};

class Probe {
 public:
  // Assembles and starts the probe; nullptr with the reason in *why when
  // zozu refuses the module (its messages, line by line), the server does
  // not come up or the program cannot be started.
  static std::unique_ptr<Probe> start(const ProbeSpec& spec, std::string* why);
  ~Probe();
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  // The scratch directory, and a file in it.
  const std::string& dir() const { return work_; }
  std::string path(const std::string& name) const { return work_ + "/" + name; }
  xtest::XvfbServer& server() { return *server_; }
  Display* display() { return server_->display(); }

  // What the probe wrote so far; the value of its last note `key`.
  std::string notes() const;
  std::optional<std::string> note(const std::string& key) const;
  // The value of note `key` once the probe has written it, or nullopt
  // after `limit` (or when the editor ended without it).
  std::optional<std::string> wait_note(const std::string& key,
                                       std::chrono::milliseconds limit = std::chrono::seconds(10));

  // The editor's frame once it is shown (0 after `limit`).
  Window frame(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // A shown window whose title (WM_NAME) is `title`, waited for.
  Window wait_window(const std::string& title, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // The titles of every shown window that has one, depth first.
  std::vector<std::string> shown_titles();
  // A window's string property by its atom name ("WM_NAME", "WM_CLASS":
  // the class's words joined by '/'); nullopt when it has none.
  std::optional<std::string> property(Window w, const std::string& atom);
  // The shown windows at the top level (the frame, boxes, forms).
  std::vector<Window> shown_top_levels();
  // The shown windows below w (depth first), w itself not counted.
  std::vector<Window> shown_descendants(Window w);
  // A pixel of w as the screen shows it (children included).
  std::optional<unsigned long> pixel(Window w, int x, int y);
  // Gives the top-level window holding w the focus and types the keys
  // (xdotool's names: "Return", "n", "ctrl+x").
  bool keys(Window w, const std::vector<std::string>& keys);
  // How many times the X bell rang on the server since the start.
  int bells();

  // Waits for the editor to end by itself (ending it after `limit`); once.
  ProbeResult finish(std::chrono::milliseconds limit = std::chrono::seconds(20));

 private:
  Probe() = default;
  zvxtest::TempDir root_{"zvx-probe"};
  std::string work_, notes_path_, err_path_;
  std::unique_ptr<xtest::XvfbServer> server_;
  std::unique_ptr<xtest::ChildProgram> editor_;
  int xkb_event_ = -1;  // the server's first XKB event code; -1 without XKB
  int bells_ = 0;
};

}  // namespace probe

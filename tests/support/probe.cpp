#include "tests/support/probe.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace probe {

namespace {

// Appended to every probe module; see probe.h.
constexpr const char* kPrelude = R"(
; ---- the probe harness's prelude ----
.init probe-begin
global rc

private note(key, value)
  push_const "3"
  push_var $key
  push_const "="
  concat
  push_var $value
  concat
  push_const "\n"
  concat
  file_write
  pop
  return
end

private probe-begin()
  focus_edit_window
  call_link 0, probe
  return
end
)";

// The editor's frame class.
constexpr const char* kFrameClass = "Halvorn";

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

bool put(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  return static_cast<bool>(f);
}

// Runs a tool to its end with its standard error in `err_path`; its exit
// code, or -1 when it could not run or died.
int run_tool(const std::vector<std::string>& argv, const std::string& err_path) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (e >= 0) dup2(e, 2);
    std::vector<char*> v;
    for (const std::string& a : argv) v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    execv(v[0], v.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The value of the last line "key=..." of notes.
std::optional<std::string> last_note(const std::string& notes, const std::string& key) {
  std::optional<std::string> value;
  std::istringstream in(notes);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, key.size() + 1, key + "=") == 0) value = line.substr(key.size() + 1);
  return value;
}

// Windows vanish under a walk of the tree; such errors are expected.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

bool viewable(Display* d, Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

std::vector<Window> children(Display* d, Window w) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids) out.assign(kids, kids + n);
  if (kids) XFree(kids);
  return out;
}

// Every shown window below w, depth first.
void walk_shown(Display* d, Window w, std::vector<Window>* out) {
  for (Window k : children(d, w)) {
    if (!viewable(d, k)) continue;
    out->push_back(k);
    walk_shown(d, k, out);
  }
}

std::string title_of(Display* d, Window w) {
  char* name = nullptr;
  std::string t;
  if (XFetchName(d, w, &name) && name) t = name;
  if (name) XFree(name);
  return t;
}

}  // namespace

std::optional<std::string> ProbeResult::note(const std::string& key) const { return last_note(notes, key); }

std::string ProbeResult::describe() const {
  std::string s = ended ? "the editor ended with " + std::to_string(status) : "the editor did not end";
  if (!ended) {
    s += "; shown:";
    for (const std::string& t : left_shown) s += " [" + t + "]";
  }
  s += "\nnotes:\n" + notes;
  if (!err.empty()) s += "stderr:\n" + err;
  return s;
}

std::unique_ptr<Probe> Probe::start(const ProbeSpec& spec, std::string* why) {
  auto fail = [&](const std::string& reason) -> std::unique_ptr<Probe> {
    if (why) *why = reason;
    return nullptr;
  };
  std::unique_ptr<Probe> p(new Probe);
  const std::string own = p->root_.path() + "/probe";  // the harness's files, apart from the probe's
  p->work_ = p->root_.path() + "/work";
  if (mkdir(own.c_str(), 0700) != 0 || mkdir(p->work_.c_str(), 0700) != 0) return fail("cannot make the directories");
  for (const auto& [name, bytes] : spec.files) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(p->path(name)).parent_path(), ec);
    if (!put(p->path(name), bytes)) return fail("cannot write " + name);
  }

  // The module, then the state file: the default macros first, as the
  // shipped state file has them, the probe after them.
  const std::string source = own + "/probe.e", module = own + "/probe.ex", state = own + "/probe.stu";
  const std::string zozu_err = own + "/zozu.err";
  if (!put(source, spec.source + kPrelude)) return fail("cannot write the module source");
  if (run_tool({ZVX_PROBE_ZOZU, "-q", "-o", module, source}, zozu_err) != 0)
    return fail("zozu refused the probe module:\n" + slurp(zozu_err));
  if (run_tool({ZVX_PROBE_ZOZU, "--state", state, ZVX_PROBE_DEFAULT_MODULE, module}, zozu_err) != 0)
    return fail("zozu could not link the state file:\n" + slurp(zozu_err));

  std::string server_why;
  p->server_ = xtest::XvfbServer::start({}, &server_why);
  if (!p->server_) return fail(server_why);
  Display* d = p->server_->display();
  int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (XkbQueryExtension(d, &opcode, &p->xkb_event_, &error, &major, &minor)) {
    XkbSelectEvents(d, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(d, False);  // in force before the editor can ring
  } else {
    p->xkb_event_ = -1;
  }

  p->notes_path_ = own + "/notes";
  p->err_path_ = own + "/stderr";
  xtest::SpawnOptions o;
  // Only the probe's own state and files: no start-up options or
  // configuration of the user running the tests.
  o.env = {"HOME=" + p->work_, "ZORVEX", "ZORVEXCONFIG", "ZORVEXPATH", "ZORVEXEXT"};
  o.env.insert(o.env.end(), spec.env.begin(), spec.env.end());
  o.dir = p->work_;
  o.write_files = {{2, p->err_path_}, {3, p->notes_path_}};
  std::vector<std::string> argv = {ZVX_PROBE_ZORVEX, "-x", state};
  argv.insert(argv.end(), spec.args.begin(), spec.args.end());
  p->editor_ = p->server_->spawn_with(argv, o);
  if (!p->editor_) return fail("cannot start zorvex");
  return p;
}

Probe::~Probe() {
  editor_.reset();
  server_.reset();
}

std::string Probe::notes() const { return slurp(notes_path_); }
std::optional<std::string> Probe::note(const std::string& key) const { return last_note(notes(), key); }

std::optional<std::string> Probe::wait_note(const std::string& key, std::chrono::milliseconds limit) {
  std::optional<std::string> v;
  xtest::eventually([&] { return (v = note(key)).has_value() || !editor_ || !editor_->running(); }, limit);
  return v ? v : note(key);  // written just before the end?
}

Window Probe::frame(std::chrono::milliseconds limit) { return server_->wait_for_class(kFrameClass, {}, limit); }

Window Probe::wait_window(const std::string& title, std::chrono::milliseconds limit) {
  Display* d = display();
  Window found = 0;
  xtest::eventually(
      [&] {
        auto old = XSetErrorHandler(ignore_errors);
        std::vector<Window> shown;
        walk_shown(d, DefaultRootWindow(d), &shown);
        for (Window w : shown)
          if (title_of(d, w) == title) {
            found = w;
            break;
          }
        XSync(d, False);
        XSetErrorHandler(old);
        return found != 0;
      },
      limit, std::chrono::milliseconds(20));
  return found;
}

std::vector<std::string> Probe::shown_titles() {
  Display* d = display();
  auto old = XSetErrorHandler(ignore_errors);
  std::vector<Window> shown;
  walk_shown(d, DefaultRootWindow(d), &shown);
  std::vector<std::string> titles;
  for (Window w : shown)
    if (std::string t = title_of(d, w); !t.empty()) titles.push_back(t);
  XSync(d, False);
  XSetErrorHandler(old);
  return titles;
}

std::vector<Window> Probe::shown_top_levels() {
  Display* d = display();
  auto old = XSetErrorHandler(ignore_errors);
  std::vector<Window> shown;
  for (Window w : children(d, DefaultRootWindow(d)))
    if (viewable(d, w)) shown.push_back(w);
  XSync(d, False);
  XSetErrorHandler(old);
  return shown;
}

std::vector<Window> Probe::shown_descendants(Window w) {
  Display* d = display();
  auto old = XSetErrorHandler(ignore_errors);
  std::vector<Window> shown;
  walk_shown(d, w, &shown);
  XSync(d, False);
  XSetErrorHandler(old);
  return shown;
}

std::optional<std::string> Probe::property(Window w, const std::string& atom) {
  Display* d = display();
  const Atom a = XInternAtom(d, atom.c_str(), True);
  if (a == None) return std::nullopt;
  auto old = XSetErrorHandler(ignore_errors);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int r = XGetWindowProperty(d, w, a, 0, 1 << 16, False, AnyPropertyType, &type, &format, &count, &after, &data);
  XSync(d, False);
  XSetErrorHandler(old);
  std::optional<std::string> value;
  if (r == Success && type != None && format == 8 && data) {
    value.emplace(reinterpret_cast<const char*>(data), count);
    while (!value->empty() && value->back() == '\0') value->pop_back();
    for (char& c : *value)
      if (c == '\0') c = '/';  // WM_CLASS holds two NUL-ended words
  }
  if (data) XFree(data);
  return value;
}

std::optional<unsigned long> Probe::pixel(Window w, int x, int y) { return server_->pixel(w, x, y); }

bool Probe::keys(Window w, const std::vector<std::string>& keys) {
  return server_->focus_top_level(w) && server_->keys(keys);
}

int Probe::bells() {
  Display* d = display();
  if (xkb_event_ < 0) return 0;
  XSync(d, False);
  XEvent e;
  while (XPending(d) > 0) {
    XNextEvent(d, &e);
    if (e.type == xkb_event_ && reinterpret_cast<XkbAnyEvent*>(&e)->xkb_type == XkbBellNotify) ++bells_;
  }
  return bells_;
}

ProbeResult Probe::finish(std::chrono::milliseconds limit) {
  ProbeResult r;
  const std::optional<int> status = editor_ ? editor_->wait_exit(limit) : std::nullopt;
  r.ended = status.has_value();
  if (r.ended && WIFEXITED(*status)) r.status = WEXITSTATUS(*status);
  if (!r.ended) {
    r.left_shown = shown_titles();
    editor_.reset();  // ends it
  }
  r.notes = notes();
  r.err = slurp(err_path_);
  return r;
}

}  // namespace probe

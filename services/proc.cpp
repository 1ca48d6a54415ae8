// Process buffers and the processes that run beside the editor: see proc.h.
#include "services/proc.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <vector>

#include "base/filename.h"
#include "base/messages.h"
#include "base/os.h"
#include "macro/bi_misc.h"
#include "macro/interp.h"
#include "services/proc_port.h"
#include "services/proc_run.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store_edit.h"
#include "text/tab_columns.h"
#include "text/ui_port.h"

// The bell; it brings in Xlib, whose macros would spoil the headers above.
#include "winsys/winquery.h"

namespace {

constexpr int32_t kTabWidth = 8;
constexpr uint32_t kOutputRedraw = 0x200B;
constexpr uint32_t kUnmodifiedRedraw = 0x20;
constexpr uint32_t kNewlineRedraw = 0x201B;
// What a failed wait reports for a background process.
constexpr int32_t kWaitInterrupted = -1;
constexpr int32_t kWaitFailed = 16128;
// Output drained from an exited process before "Exited" (a child that
// leaves a writer behind cannot keep the poll forever).
constexpr int32_t kExitDrainMax = 1 << 20;

// The pipe a descriptor is open on, so that a descriptor a macro closed
// (and whose number may since name another file) is never closed again.
struct FdIdentity {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;

  void set(int d) {
    fd = d;
    struct stat st {};
    if (::fstat(d, &st) == 0) {
      dev = st.st_dev;
      ino = st.st_ino;
    }
  }
  void close_if_same() {
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino) ::close(fd);
    fd = -1;
  }
};

// The editor's ends of a child's pipes.
struct ChildPipes {
  int from_child = -1;  // read: the child's standard output and error
  int to_child = -1;    // write: the child's standard input
  FdIdentity from_id, to_id;

  void close_all() {
    from_id.close_if_same();
    to_id.close_if_same();
    from_child = to_child = -1;
  }
};

// One background process; records form a ring, new ones in front.
struct ProcessRecord {
  ProcessRecord* next;
  ProcessRecord* prev;
  ChildPipes pipes;
  pid_t pid;
  int32_t callback;  // names-table index of the procedure told, 0 none
  bool finished;
};

// Everything the processes keep.
struct ProcState {
  // the concurrent process
  bool running = false;
  pid_t pid = 0;
  ChildPipes pipes;
  bool exited = false;
  bool newline_pending = false;
  PosRecord* mark = nullptr;
  // background processes
  ProcessRecord* ring = nullptr;
  ProcessRecord* pending = nullptr;
  int32_t pending_status = 0;
  bool notifying = false;
  int32_t walking = 0;  // records are not freed while the ring is walked
  bool polling = false;
  int32_t count = 0;
};

ProcState g;

BufferRec* mark_buffer() { return g.mark ? g.mark->buffer : nullptr; }

void refresh(uint32_t bits) {
  if (BufferRec* b = mark_buffer()) b->redraw = 1;
  redraw_bits |= bits;
  proc_refresh_screen(bits);
}

// Bytes waiting in a pipe (either end answers on Linux).
int pipe_unread(int fd) {
  int n = 0;
  return fd >= 0 && ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

bool fd_readable(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0;
}

// ---- cursors that follow the output ----

// Calls fn for the buffer's remembered cursor and the cursor of every
// window that shows the buffer.
template <class Fn>
void for_each_cursor(BufferRec* buf, Fn fn) {
  if (PosRecord* own = pos_record(buf->own_pos)) fn(own);
  WindowObject* head = window_edit_list_head();
  WindowObject* w = head;
  while (w) {
    if (w->view && w->view->buffer == buf && w->view != g.mark) fn(w->view);
    w = w->edit_next;
    if (w == head) break;
  }
}

// A cursor on the line at `old` (at or after its column) moves `count`
// lines down; its column becomes new_column, plus its old distance from
// the old column when with_offset.
void views_follow(const PosRecord* old, int32_t old_column, int32_t count, int32_t new_column, bool with_offset) {
  BufferRec* buf = old->buffer;
  for_each_cursor(buf, [&](PosRecord* p) {
    if (!pos_same_place(p, old) || p->column < old_column) return;
    const int32_t distance = with_offset ? p->column - old_column : 0;
    for (int32_t i = 0; i < count; ++i) pos_next_line(p, buf);
    const int32_t c = new_column + distance;
    p->column = c > kMaxColumn ? kMaxColumn : c;
  });
}

// A position in the mark's buffer that moves with the text, freed at the
// end of the scope.
class TempPos {
 public:
  explicit TempPos(const PosRecord* at) : p_(pos_alloc()) {
    if (!p_) return;
    pos_copy(p_, at);
    p_->owner = -1;
    pos_link_new(p_, at->buffer);
  }
  ~TempPos() {
    if (p_) pos_free(p_);
  }
  TempPos(const TempPos&) = delete;
  TempPos& operator=(const TempPos&) = delete;
  PosRecord* get() const { return p_; }

 private:
  PosRecord* p_;
};

bool is_last_line(PosRecord* at) {
  PosRecord probe{};
  pos_copy_place(&probe, at);
  probe.buffer = at->buffer;
  return pos_next_line(&probe, at->buffer) != 0;
}

void replace_mark_line(const std::string& text) {
  line_replace_text(text.data(), static_cast<int32_t>(text.size()), g.mark, g.mark->buffer);
}

// Inserts a line after the mark's line; the mark moves to it.
void insert_after_mark(const std::string& text) {
  line_insert_text(text.data(), static_cast<int32_t>(text.size()), g.mark, g.mark->buffer);
}

// ---- starting ----

void poll_timer_stop_if_idle() {
  if (g.count < 1) proc_stop_poll_timer();
}

// Starts a child reading `to`'s read end and writing both outputs into
// `from`'s write end; the editor keeps the other two ends.
int32_t spawn(std::string_view command, bool shell_interactive, ChildPipes* pipes, pid_t* pid_out) {
  proc_sigchld_fd();
  proc_ignore_sigpipe();
  ::signal(SIGINT, SIG_IGN);  // Ctrl+C in the editor's terminal is for the children
  if (!proc_start_poll_timer()) return ERR_CREATE_TIMER_EDITOR;

  std::vector<std::string> argv;
  if (shell_interactive) {
    argv = {proc_get_shell({}), "-i"};
    if (argv[0].find('/') == std::string::npos) {
      LStrBuf<LSTR_CAP_NAME> name(argv[0]), full;
      int flag = 0, extra = 0;
      if (const ErrorCode rc = file_search_path(full, name, 1, full.cap, &flag, &extra); rc != 0) return rc;
      argv[0].assign(full.view());
    }
  } else {
    LStrBuf<LSTR_CAP_LINE> line(command), program;
    if (const ErrorCode rc = file_take_name(line, program, program.cap); rc != 0) return rc;
    LStrBuf<LSTR_CAP_NAME> name(program.view()), full;
    int flag = 0, extra = 0;
    if (const ErrorCode rc = file_search_path(full, name, 1, full.cap, &flag, &extra); rc != 0) return rc;
    argv = proc_split_args(line.view(), {std::string(full.view())});
  }

  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return os_errno_code(errno, ERR_TOO_MANY_OPEN_FILES);
  if (::pipe2(out, O_CLOEXEC) != 0) {
    const int e = errno;
    ::close(in[0]);
    ::close(in[1]);
    return os_errno_code(e, ERR_TOO_MANY_OPEN_FILES);
  }
  std::vector<char*> v;
  for (std::string& a : argv) v.push_back(a.data());
  v.push_back(nullptr);
  char** envp = env_block();
  const pid_t pid = ::fork();
  if (pid < 0) {
    const int e = errno;
    for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    return os_errno_code(e, ERR_NOT_ENOUGH_MEMORY);
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) ::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    proc_close_inherited_fds();
    ::execve(v[0], v.data(), envp);
    ::_exit(kProcStatusNoExec);
  }
  ::setpgid(pid, pid);  // before anyone signals the group
  ::close(in[0]);
  ::close(out[1]);
  ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK);
  pipes->from_child = out[0];
  pipes->to_child = in[1];
  pipes->from_id.set(out[0]);
  pipes->to_id.set(in[1]);
  *pid_out = pid;
  ++g.count;
  return 0;
}

// ---- background records ----

void ring_insert_front(ProcessRecord* r) {
  if (!g.ring) {
    r->next = r->prev = r;
  } else {
    r->next = g.ring;
    r->prev = g.ring->prev;
    g.ring->prev->next = r;
    g.ring->prev = r;
  }
  g.ring = r;
}

void ring_remove(ProcessRecord* r) {
  if (r->next == r) {
    g.ring = nullptr;
  } else {
    r->prev->next = r->next;
    r->next->prev = r->prev;
    if (g.ring == r) g.ring = r->next;
  }
}

// Walks the ring from its head; fn returns false to stop.
template <class Fn>
void walk_ring(Fn fn) {
  if (!g.ring) return;
  ++g.walking;
  ProcessRecord* r = g.ring;
  do {
    ProcessRecord* next = r->next;
    if (!fn(r)) break;
    r = next;
  } while (g.ring && r != g.ring);
  --g.walking;
}

void free_finished() {
  if (g.walking > 0 || !g.ring) return;
  ProcessRecord* found = nullptr;
  walk_ring([&](ProcessRecord* r) {
    if (r->finished && r != g.pending) found = r;
    return found == nullptr;
  });
  if (!found) return;
  --g.count;
  found->pipes.close_all();
  ring_remove(found);
  delete found;
  poll_timer_stop_if_idle();
}

void notify(ProcessRecord* r, int kind, int32_t status) {
  if (r->callback == 0) return;
  const std::string k = std::to_string(kind), in = std::to_string(r->pipes.from_child),
                    out = std::to_string(r->pipes.to_child), pid = std::to_string(r->pid), st = std::to_string(status);
  std::vector<std::string_view> args{k, in, out, pid};
  if (kind == 1) args.push_back(st);
  g.notifying = true;
  vm_call_index(r->callback, args);
  g.notifying = false;
  refresh(0);
}

int32_t background_status(pid_t r, int st, int err) {
  if (r < 0) return err == EINTR ? kWaitInterrupted : kWaitFailed;
  return proc_wait_status_code(st);
}

// ---- the poll's steps ----

void read_concurrent_output() {
  if (!g.running || !fd_readable(g.pipes.from_child)) return;
  if (g.newline_pending && pipe_unread(g.pipes.to_child) == 0) {
    proc_newline_at_mark();
    g.newline_pending = false;
  }
  char buf[kProcReadMax + 1];
  const ssize_t n = ::read(g.pipes.from_child, buf, kProcReadMax);
  if (n > 0 && g.mark) proc_insert_output(buf, static_cast<int32_t>(n));
}

void notify_background_output() {
  walk_ring([](ProcessRecord* r) {
    if (!r->finished && fd_readable(r->pipes.from_child)) notify(r, 0, 0);
    return true;
  });
  free_finished();
}

void finish_concurrent() {
  // Whatever the child wrote before it ended belongs in the buffer.
  char buf[kProcReadMax + 1];
  for (int32_t drained = 0; g.mark && drained < kExitDrainMax;) {
    const ssize_t n = ::read(g.pipes.from_child, buf, kProcReadMax);
    if (n <= 0) break;
    proc_insert_output(buf, static_cast<int32_t>(n));
    drained += static_cast<int32_t>(n);
  }
  --g.count;
  g.pipes.close_all();
  if (g.mark) {
    static const char kExited[] = "Exited\n";
    proc_insert_output(kExited, sizeof kExited - 1);
  }
  proc_free_mark();
  g.running = false;
  g.exited = false;
  g.newline_pending = false;
  g.pid = 0;
  poll_timer_stop_if_idle();
}

void handle_exits() {
  if (g.running && g.exited) finish_concurrent();
  if (g.pending && !g.notifying) {
    ProcessRecord* r = g.pending;
    g.pending = nullptr;
    r->finished = true;
    notify(r, 1, g.pending_status);
  }
  free_finished();
}

void send_input() {
  if (!g.running || pipe_unread(g.pipes.to_child) != 0) return;
  if (g.newline_pending) {
    proc_newline_at_mark();
    g.newline_pending = false;
    refresh(kNewlineRedraw);
  }
  std::string input;
  if (!g.mark || proc_input_after_mark(&input) != 0) return;
  input += '\n';
  const ssize_t n = ::write(g.pipes.to_child, input.data(), input.size());
  (void)n;  // a child that is gone shows as its exit at the next reaping
  g.newline_pending = true;
}

void reap() {
  if (g.running && !g.exited) {
    int st = 0;
    const pid_t r = ::waitpid(g.pid, &st, WNOHANG);
    if (r < 0 || (r == g.pid && (WIFEXITED(st) || WIFSIGNALED(st)))) g.exited = true;
  }
  if (g.pending) return;
  walk_ring([](ProcessRecord* rec) {
    if (rec->finished) return true;
    int st = 0;
    const pid_t r = ::waitpid(rec->pid, &st, WNOHANG);
    if (r == 0 || (r > 0 && !WIFEXITED(st) && !WIFSIGNALED(st))) return true;
    g.pending = rec;
    g.pending_status = background_status(r, st, errno);
    return false;
  });
}

}  // namespace

// ---- the process buffer ----

bool proc_is_process_buffer(const BufferRec* buf) { return buf && g.mark && g.mark->buffer == buf; }

PosRecord* proc_mark() { return g.mark; }

void proc_set_mark(PosRecord* pos, const PosRecord* at) {
  BufferRec* buf = at->buffer;
  pos_copy(pos, at);
  pos->owner = -1;
  pos_link_new(pos, buf);
  g.mark = pos;
  buf->trunc_reported = 1;
  if (!is_last_line(pos)) {
    pos_last_line(pos, buf);
    line_insert_text("", 0, pos, buf);
    pos->column = 0;
  }
}

void proc_free_mark() {
  if (!g.mark) return;
  pos_free(g.mark);
  g.mark = nullptr;
}

void proc_insert_output(const char* bytes, int32_t count) {
  if (count <= 0 || !g.mark) return;
  BufferRec* buf = g.mark->buffer;
  line_flush_if(buf);
  const uint32_t bits = kOutputRedraw | (buf->modified ? 0 : kUnmodifiedRedraw);
  TempPos old(g.mark);
  if (!old.get()) return;
  const int32_t old_column = g.mark->column;

  const std::string text = line_get_string(g.mark, buf);
  const size_t split = static_cast<size_t>(old_column) < text.size() ? static_cast<size_t>(old_column) : text.size();
  const std::string tail = text.substr(split);
  std::string work = text.substr(0, split);
  int32_t inserted = 0;
  bool line_ended = false;  // the last piece ended with an end of line (or a forced split)

  for (int32_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    bool end = false;
    if (c == '\t') {
      const size_t next = (work.size() / kTabWidth + 1) * kTabWidth;
      if (next > static_cast<size_t>(kProcLineMax))
        end = true;
      else
        work.append(next - work.size(), ' ');
    } else if (c == '\n') {
      end = true;
    } else if (c == '\r') {
      if (i == count - 1) break;
      continue;
    } else if (c == 7) {
      xfBeep();
      continue;
    } else {
      work += c;
      end = work.size() >= static_cast<size_t>(kProcLineMax);
    }
    line_ended = end;
    if (end && i < count - 1) {
      replace_mark_line(work);
      insert_after_mark(std::string());
      ++inserted;
      g.mark->column = 0;
      work.clear();
      line_ended = false;
    } else if (!end) {
      line_ended = false;
    }
  }

  if (!line_ended) {
    g.mark->column = static_cast<int32_t>(work.size() > kMaxColumn ? kMaxColumn : work.size());
    if (work.size() + tail.size() > static_cast<size_t>(kProcLineMax)) {
      // Too long for one line: the user's text after the mark goes on a
      // line of its own, the mark stays at the end of the output.
      const int32_t column = g.mark->column;
      replace_mark_line(work);
      TempPos keep(g.mark);
      insert_after_mark(tail);
      if (keep.get()) pos_copy_place(g.mark, keep.get());
      g.mark->column = column;
    } else {
      replace_mark_line(work + tail);
    }
  } else {
    replace_mark_line(work);
    insert_after_mark(tail);
    g.mark->column = 0;
    ++inserted;
  }
  views_follow(old.get(), old_column, inserted, g.mark->column, true);
  refresh(bits);
}

void proc_newline_at_mark() {
  if (!g.mark) return;
  BufferRec* buf = g.mark->buffer;
  line_flush_if(buf);
  TempPos old(g.mark);
  if (!old.get()) return;
  if (is_last_line(g.mark)) {
    PosRecord* p = pos_alloc();
    if (!p) return;
    pos_copy(p, g.mark);
    const int32_t rc = line_insert_text("", 0, p, buf);
    pos_free(p);
    if (rc < 0) return;
  }
  views_follow(old.get(), 0, 1, 0, false);
  pos_next_line(g.mark, buf);
  g.mark->column = 0;
}

int32_t proc_input_after_mark(std::string* out) {
  if (!g.mark) return 1;
  BufferRec* buf = g.mark->buffer;
  line_flush_if(buf);
  if (is_last_line(g.mark)) return 1;
  const std::string text = line_get_string(g.mark, buf);
  const size_t col = static_cast<size_t>(g.mark->column);
  *out = col < text.size() ? text.substr(col) : std::string();
  return 0;
}

void proc_reset_mark() {
  if (!g.running || !g.mark || g.mark->index != 0 || g.mark->block != g.mark->buffer->first_block) return;
  PosRecord probe{};
  pos_copy_place(&probe, g.mark);
  probe.buffer = g.mark->buffer;
  if (pos_prev_line(&probe, g.mark->buffer) == 0) return;  // not the top-of-file line
  TempPos old(g.mark);
  if (!old.get()) return;
  insert_after_mark(std::string());
  g.mark->column = 0;
  views_follow(old.get(), 0, 1, 0, false);
}

// ---- the concurrent process ----

bool proc_running() { return g.running; }
pid_t proc_pid() { return g.pid; }

int32_t proc_start_shell(std::string_view command) {
  if (g.running) return ERR_PROCESS_ALREADY_RUNNING;
  g.newline_pending = false;
  ChildPipes pipes;
  pid_t pid = 0;
  const int32_t rc = spawn(command, command.empty(), &pipes, &pid);
  if (rc != 0) {
    poll_timer_stop_if_idle();
    return rc;
  }
  g.pipes = pipes;
  g.pid = pid;
  g.exited = false;
  g.running = true;
  return 0;
}

// ---- background processes ----

int32_t proc_start_background(std::string_view command, int32_t callback, int* from_child, int* to_child, pid_t* pid) {
  auto* r = new (std::nothrow) ProcessRecord{};
  if (!r) return ERR_INSUFFICIENT_MEMORY;
  const int32_t rc = spawn(command, false, &r->pipes, &r->pid);
  if (rc != 0) {
    delete r;
    poll_timer_stop_if_idle();
    return rc;
  }
  r->callback = callback;
  ring_insert_front(r);
  *from_child = r->pipes.from_child;
  *to_child = r->pipes.to_child;
  *pid = r->pid;
  return 0;
}

bool proc_is_ours(pid_t pid) {
  if (pid <= 0) return false;
  if (g.running && pid == g.pid) return true;
  bool found = false;
  walk_ring([&](ProcessRecord* r) {
    found = r->pid == pid && !r->finished;
    return !found;
  });
  return found;
}

// ---- polling ----

void proc_poll() {
  if (g.polling) return;
  g.polling = true;
  read_concurrent_output();
  notify_background_output();
  handle_exits();
  send_input();
  reap();
  g.polling = false;
}

void proc_wait_poll() {
  os_sleep_ms(100);
  proc_poll();
}

int32_t proc_count() { return g.count; }

void proc_shutdown() {
  if (g.running) {
    ::kill(-g.pid, SIGKILL);
    ::waitpid(g.pid, nullptr, 0);
    g.pipes.close_all();
  }
  while (g.ring) {
    ProcessRecord* r = g.ring;
    if (!r->finished) {
      ::kill(-r->pid, SIGKILL);
      ::waitpid(r->pid, nullptr, 0);
    }
    r->pipes.close_all();
    ring_remove(r);
    delete r;
  }
  proc_free_mark();
  g = ProcState{};
}

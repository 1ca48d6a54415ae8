// DDE server name and requests (see dde.h).
#include "services/dde.h"

#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"

namespace {
constexpr int kMaxInstances = 100;
constexpr int32_t kDefaultTimeoutMs = 15000;
std::string& server_name() {
  static std::string s;
  return s;
}
// The window system has no lookup of a window by name, so no other
// instance is ever found.
bool window_named(std::string_view) { return false; }
}  // namespace

std::string dde_first_free_name(bool (*taken)(std::string_view name)) {
  std::string name = "Zorvex";
  for (int i = 2; i <= kMaxInstances && taken(name); ++i) name = "Zorvex " + std::to_string(i);
  return name;
}

std::string dde_pick_server_name() { return dde_first_free_name(window_named); }

int32_t dde_init_server_name() {
  if (server_name().empty()) server_name() = dde_pick_server_name();
  return 0;
}

const std::string& dde_server_name() { return server_name(); }
void dde_reset_server_name() { server_name().clear(); }

// The command would go over as the text of the server's window; the window
// system finds none.
int32_t dde_connect(std::string_view, std::string_view) { return kDdeNoServer; }

int32_t dde_execute(std::string_view, std::string_view, std::string_view, int32_t) { return kDdeNoServer; }

int32_t dde_request(std::string_view, std::string_view, std::string_view, int32_t, char, std::string* answer) {
  if (answer) answer->clear();
  return kDdeNoServer;
}

void bi_dde_execute() {
  int32_t n = 0;
  if (!bi_count(2, 4, &n)) return;
  int32_t timeout = kDefaultTimeoutMs;
  if (n >= 4 && !bi_strip_blanks(bi_arg(n, 3)).empty() && !bi_arg_int(n, 3, &timeout)) return;
  const std::string service = bi_arg_str(n, 0), topic = bi_arg_str(n, 1), command = n >= 3 ? bi_arg_str(n, 2) : "";
  core_drop(n);
  vm_set_rc(dde_execute(service, topic, command, timeout));
}

void bi_dde_request() {
  int32_t n = 0;
  if (!bi_count(4, 5, &n)) return;
  uint32_t vars[1] = {};
  int32_t nv = 0;
  if (!bi_var_group(0, 1, vars, &nv)) {
    core_drop(n);
    return;
  }
  char option = 'L';
  if (!bi_arg_letter(n, 0, "PL", &option)) return;
  int32_t timeout = kDefaultTimeoutMs;
  if (n >= 5 && !bi_strip_blanks(bi_arg(n, 4)).empty() && !bi_arg_int(n, 4, &timeout)) return;
  const std::string service = bi_arg_str(n, 1), topic = bi_arg_str(n, 2), item = bi_arg_str(n, 3);
  core_drop(n);
  std::string answer;
  const int32_t rc = dde_request(service, topic, item, timeout, option, &answer);
  if (nv == 1) {
    var_assign_bytes(vars[0], answer.data(), static_cast<int32_t>(answer.size()));
  } else if (BufferRec* b = buf_current()) {
    b->redraw = 1;  // a request without a variable would show its answer in the buffer
  }
  vm_set_rc(rc);
}

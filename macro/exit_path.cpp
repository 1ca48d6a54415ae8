// Leaving the editor (see exit_path.h).
#include "macro/exit_path.h"

#include <string_view>

#include "macro/catch.h"
#include "macro/exit_port.h"
#include "macro/interp.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "text/store.h"

namespace {

bool g_pending = false;
int32_t g_code = 0;
bool g_exiting = false;  // "-on-exit" runs: a nested exit only sets the code

}  // namespace

bool exit_run_on_exit() {
  const uint32_t index = name_find("-on-exit", NF_CALLABLE);
  if (index == 0) return true;
  vm_set_rc(0);
  vm_call_index(static_cast<int32_t>(index), {});
  return vm_rc_mirror == 0;
}

void exit_reset() {
  g_pending = false;
  g_code = 0;
  g_exiting = false;
}

void exit_request(int32_t code) {
  g_pending = true;
  g_code = code;
  vm_raise_error(0);  // a stop: no message, through every catch block
}

bool exit_pending() { return g_pending; }
int32_t exit_pending_code() { return g_code; }

bool exit_if_requested() {
  if (!g_pending || g_exiting) return false;
  return exit_editor(g_code);
}

bool exit_editor(int32_t code) {
  g_exiting = true;
  g_pending = false;
  g_code = code;
  const bool go = exit_run_on_exit();
  g_exiting = false;
  if (!go) {
    g_pending = false;
    return false;
  }
  // A nested exit inside "-on-exit" gives its own code.
  code = g_code;
  g_pending = false;
  exit_release();
  store_close_spill();
  exit_leave(code);
  return true;
}

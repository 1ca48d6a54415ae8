// Ending on SIGTERM or SIGHUP (see signal_recovery.h).
#include "app/signal_recovery.h"

#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "text/recovery.h"
#include "text/store.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

volatile sig_atomic_t g_signal = 0;
void (*g_wait)(void* ctx, uint32_t ms) = nullptr;

// The handler only notes the signal: the buffers are written where the
// editor waits for input, between two commands, never in the middle of one.
// It stays installed only once, so that a second signal ends an editor that
// is stuck in a long command at once.
void on_signal(int sig) { g_signal = sig; }

[[noreturn]] void recover_and_end(int sig) {
  std::vector<std::string> failed;
  const std::vector<std::string> written = recovery_write_modified(&failed);
  const char* what = sig == SIGHUP ? "SIGHUP" : "SIGTERM";
  for (const std::string& p : written)
    std::fprintf(stderr, "zorvex: %s: unsaved changes written to %s\n", what, p.c_str());
  for (const std::string& n : failed)
    std::fprintf(stderr, "zorvex: %s: the changes to %s could not be written anywhere\n", what,
                 n.empty() ? "a new file" : n.c_str());
  std::fflush(stderr);
  store_close_spill();
  xfShutdownX();
  // Ended by the signal, as the sender expects.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  std::_Exit(128 + sig);
}

// The idle wait of the window system, with the check after it: a signal
// cuts the wait short.
void wait_then_check(void* ctx, uint32_t ms) {
  if (!g_signal && g_wait) g_wait(ctx, ms);
  if (const int sig = g_signal) recover_and_end(sig);
}

}  // namespace

void app_install_signal_recovery() {
  XfEventSource& ev = xf().events;
  if (ev.wait == wait_then_check) return;
  g_wait = ev.wait;
  ev.wait = wait_then_check;
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sa.sa_flags = SA_RESETHAND;  // no SA_RESTART: the wait ends at once
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
}

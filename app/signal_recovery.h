// SIGTERM and SIGHUP (a logout, a shutdown, `kill`): the editor ends
// without asking, but first writes every modified buffer to a recovery
// copy beside its file (text/recovery.h; never over the file itself) and
// removes its spill file. Then it ends by the signal.
#pragma once

// Installs the handlers and the check in the window system's idle wait.
// Needs the window system started (xfInitX).
void app_install_signal_recovery();

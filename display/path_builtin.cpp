// The path built-in: macros read the paths start-up found.
#include <string_view>

#include "macro/bi_args.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "macro/startup.h"

// Ext 105: [letter of "ESRPV", default E] -> the program path (E), the
// state file's path (S), the restore file's path (R, empty when none
// applied), the installation directory (P) or the instance's name (V).
// Any other letter, or more than one argument, raises -3015.
void bi_path_by_letter() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 'E';
  if (n == 1 && !bi_arg_letter(n, 0, "ESRPV", &letter)) return;
  core_drop(n);
  const StartupPaths& p = startup_paths();
  std::string_view s;
  switch (letter) {
    case 'S':
      s = p.state;
      break;
    case 'R':
      s = p.restore;
      break;
    case 'P':
      s = p.install;
      break;
    case 'V':
      s = p.instance;
      s = s.substr(0, s.find('\0'));  // kept as a NUL-terminated text
      break;
    default:
      s = p.program;
      break;
  }
  vm_push_view(s);
}

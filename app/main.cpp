// Entry point of the editor: the layers are connected, the command line is
// read, and the application takes over with the window system.
//
// Start-up connects the layers: a lower layer declares what it needs of the
// ones above it as hooks of its own, and each owner installs its functions
// here, lowest layer first.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/dll_api_wiring.h"
#include "app/forms_tables.h"
#include "app/wiring.h"

#include "app/app_main.h"
#include "display/colours.h"
#include "display/msgline.h"
#include "forms/bi_objects.h"
#include "forms/objects.h"
#include "macro/opcodes.h"
#include "macro/startup.h"
#include "services/dde.h"
#include "services/help_ext.h"
#include "services/help_view_win.h"
#include "services/opcode_bind.h"
#include "services/proc.h"
#include "text/edit_cmd.h"
#include "text/edit_window_port.h"
#include "text/engine.h"

// These bring in Xlib, whose macros would spoil the headers above.
#include "app/app_editor.h"
#include "app/app_frame.h"
#include "winsys/winquery.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvex [option...] [file...]\n"
    "Opens each file in an editor window of its own; a name that does not exist\n"
    "opens as a new file. Options (letters in any case):\n"
    "  -x FILE        run the macros of the state file FILE instead of zorvex.stu\n"
    "  -sc DIR        the configuration directory (zorvex.ini, the user's state file)\n"
    "  +ne, -ne       start a new editor (+) or hand the files to a running one (-)\n"
    "  +sb, -sb       save files in place (+) or through a new file and a rename (-)\n"
    "  -si KB SLOTS   string space and variable slots of the macro heap\n"
    "  -sm MB         the largest file the text store takes\n"
    "  -st KB         the macro code cache limit\n"
    "  -sua           Alt keys give their raw symbols\n"
    "  +sup, -sup     keypad translation on or off\n"
    "  -supf FILE     read a key map file\n"
    "  --help         print this and end\n"
    "The environment variable ZORVEX holds options read before the command line.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  text_engine_init();
  // Each layer binds its built-ins into the interpreter's dispatch, lowest
  // layer first.
  for (BindResult (*bind)(OpcodeDispatch&) :
       {macro_register_opcodes, display_register_opcodes, forms_register_opcodes, services_register_opcodes}) {
    if (const BindResult r = bind(vm_dispatch); !r) {
      const std::string_view m = opcode_info(r.at.ext, r.at.slot).mnemonic;
      std::fprintf(stderr, "zorvex: opcode %.*s could not be bound\n", int(m.size()), m.data());
      return 1;
    }
  }
  // What every port and table resolves to, for the wiring check.
  if (argc == 2 && std::string_view(argv[1]) == "--check-wiring") {
    const std::vector<WiringSlot> opcodes = opcode_wiring_slots(vm_dispatch);
    std::vector<WiringTable> tables;
    for (const WiringTable& t : forms_wiring_tables()) tables.push_back(t);
    tables.push_back(dll_api_wiring());
    tables.push_back({"opcodes", opcodes});
    return wiring_check(stdout, tables) == 0 ? 0 : 1;
  }
  // The fixed objects take ids 1..3 before any other window exists; an
  // editor window the text engine makes becomes a form under the frame.
  if (objects_init(1024, 768) != 0) {
    std::fputs("zorvex: Not enough memory\n", stderr);
    return 1;
  }
  dde_init_server_name();
  // The first edit window: the text built-ins and the start-up macros work
  // in it until the frame shows its own.
  if (!window_current()) edit_window_new(EditPlacement{});
  // The command line and zorvex.ini; the macros from the state file start
  // with the frame's first paint. Either may end the process with its
  // message.
  static StartupConfig cfg;
  if (const int code = startup_command_line(argc, argv, &cfg); code >= 0) return code;
  // Help: our help files beside the program.
  help_set_install_dir(cfg.install_dir);
  return app_main(&cfg);
}

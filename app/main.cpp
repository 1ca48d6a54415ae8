// Entry point of the editor. The window system and the application frame are
// not built yet; until they are, the program says so and exits.
#include <cstdio>

#include "macro/bi_window.h"
#include "macro/opcodes.h"
#include "services/proc.h"
#include "text/engine.h"

int main()
{
    text_engine_init();
    proc_install_text_hooks();
    // Each layer binds its built-ins into the interpreter's dispatch, lowest
    // layer first; display, forms and services add theirs as they are built.
    if (const BindResult r = macro_register_opcodes(vm_dispatch); !r) {
        const std::string_view m = opcode_info(r.at.ext, r.at.slot).mnemonic;
        std::fprintf(stderr, "zorvex: opcode %.*s could not be bound\n", int(m.size()), m.data());
        return 1;
    }
    // The text built-ins reach the window layer through its seam; until that
    // layer is built, the stand-in's one window serves them.
    bi_window_install();
    std::fputs("zorvex: the editor window is not built yet; only the libraries and tests exist.\n", stderr);
    return 1;
}

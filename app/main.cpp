// Entry point of the editor. The window system and the application frame are
// not built yet; until they are, the program says so and exits.
#include <cstdio>

#include "display/msgline.h"
#include "forms/msgbox.h"
#include "services/proc.h"
#include "text/engine.h"

int main()
{
    text_engine_init();
    msgline_install_text_hooks();
    msgbox_install_text_hooks();
    proc_install_text_hooks();
    std::fputs("zorvex: the editor window is not built yet; only the libraries and tests exist.\n", stderr);
    return 1;
}

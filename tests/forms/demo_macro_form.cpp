// Forms that macros build, for the X tests: assembles a macro source,
// runs its main entry with the scenario as start-up line, and serves the
// window system's messages. Prints "obj ID TYPE FRAME CLIENT" for every
// object with a window and then "ready" once the macros' windows exist
// (for a modal show: when its loop first waits), "done" when the main
// entry has returned, and "gone ID" when an object's windows are destroyed.
// Macro sources after the scenario (the default macros, say) are loaded
// as modules of their own before the main entry runs.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "demo_macro_runtime.h"
#include "display/colours.h"
#include "forms/bi_objects.h"
#include "forms/modal.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/templates.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/opcodes.h"
#include "text/engine.h"
#include "tools/zozu/zozu.h"
#include "winsys/winapi.h"
#include "winsys/window_rec.h"
#include "winsys/xinit.h"

namespace {

void list_windows() {
  for (int32_t id = 4; id <= obj_last_id(); ++id)
    if (const WindowObject* o = obj_get(id); o && o->frame_window)
      std::printf("obj %d %d %lu %lu\n", id, o->type, o->frame_window->xwin,
                  o->client_window ? o->client_window->xwin : 0UL);
  std::printf("ready\n");
}

ModalPump g_inner{};
bool g_listed = false;
int32_t first_wait(bool wait) {
  if (!g_listed) list_windows(), g_listed = true;
  return g_inner.dispatch_one(wait);
}

void destroy_and_tell(WindowObject* o) {
  const int32_t id = o->handle;
  const bool had = o->frame_window != nullptr;
  kControlWindowOps.destroy(o);
  if (had) std::printf("gone %d\n", id);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 3) return 2;
  text_engine_init();
  if (!demo::start_objects()) return 2;
  static NativeWindowOps controls = kControlWindowOps;
  controls.destroy = destroy_and_tell;
  native_set_table({&kNativeHeadless, &controls, &kNativeHeadless});
  g_inner = modal_pump();
  modal_pump().dispatch_one = first_wait;

  if (const int r = demo::init_module(argv[1], "demo_macro_form.main", argv[2]); r != 0) return r;
  for (int i = 3; i < argc; ++i) {
    const std::string more = demo::assemble(argv[i], "demo_macro_form." + std::to_string(i));
    if (more.empty()) return 3;
    uint32_t index = 0;
    const int r = mod_load_and_init(more, &index, std::nullopt);
    std::remove(more.c_str());
    if (r < 0) {
      std::fprintf(stderr, "load %s: %d\n", argv[i], r);
      return 4;
    }
  }
  vm_run();
  if (!g_listed) list_windows(), g_listed = true;
  std::printf("done\n");
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}

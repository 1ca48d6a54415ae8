// Two forms built by macros for the control clipboard's X test: assembles
// the macro source, runs its main entry with the scenario as start-up line
// (the macros copy controls of one form and paste them into the other
// through the X selections), then serves the window system's messages.
// Prints "obj ID TYPE FRAME CLIENT PARENT" for every object with a window,
// then "ready".
#include <cstdio>
#include <string>

#include "demo_macro_runtime.h"
#include "forms/objects.h"
#include "text/engine.h"
#include "winsys/winapi.h"
#include "winsys/window_rec.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 3) return 2;
  text_engine_init();
  if (!demo::start_objects()) return 2;
  if (const int r = demo::init_module(argv[1], "clip_demo", argv[2]); r != 0) return r;
  vm_run();
  for (int32_t id = 4; id <= obj_last_id(); ++id)
    if (const WindowObject* o = obj_get(id); o && o->frame_window)
      std::printf("obj %d %d %lu %lu %d\n", id, o->type, o->frame_window->xwin,
                  o->client_window ? o->client_window->xwin : 0UL, o->parent ? o->parent->handle : 0);
  std::printf("ready\n");
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) WinDispatchMsg(&m);
  return 0;
}

// Two forms built by macros for the control clipboard's X test: assembles
// the macro source, runs its main entry with the scenario as start-up line
// (the macros copy controls of one form and paste them into the other
// through the X selections), then serves the window system's messages.
// Prints "obj ID TYPE FRAME CLIENT PARENT" for every object with a window,
// then "ready".
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/colours.h"
#include "forms/bi_objects.h"
#include "forms/clipboard.h"
#include "forms/ctl_textops.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "forms/templates.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "text/engine.h"
#include "tools/zozu/zozu.h"
#include "winsys/winapi.h"
#include "winsys/window_rec.h"
#include "winsys/xinit.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 3) return 2;
  text_engine_init();
  if (vm_reset() != ERR_OK) return 2;
  VmErrorHooks h{};
  h.break_pressed = [] { return 0; };
  h.show = [](int code, bool) { std::printf("error %d\n", code); };
  vm_set_error_hooks(h);
  for (BindResult (*bind)(OpcodeDispatch&) : {macro_register_opcodes, display_register_opcodes, forms_register_opcodes})
    if (!bind(vm_dispatch)) return 2;
  if (objects_init(1024, 768) != 0) return 2;
  objects_install_text_hooks();
  templates_install();
  ctl_install_text_ops();
  xfInitX();
  obj_window_setup();
  clip_backend_install(clip_backend_x());

  std::ifstream in(argv[1]);
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> module;
  std::vector<ZozuDiag> diags;
  if (!zozu_assemble(argv[1], source, module, diags)) {
    for (const ZozuDiag& d : diags) std::fprintf(stderr, "%s:%d: %s\n", d.file.c_str(), d.line, d.message.c_str());
    return 3;
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/clip_demo." + std::to_string(getpid()) + ".ex";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
  std::string arg = argv[2];
  const ErrorCode rc = vm_init(&arg, path, 0);
  std::remove(path.c_str());
  if (rc != ERR_OK) {
    std::fprintf(stderr, "vm_init: %d\n", static_cast<int>(rc));
    return 4;
  }
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

// What the demo programs that run macros share: the interpreter with every
// layer's built-ins, the objects with their windows, and macro sources
// assembled into module files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/colours.h"
#include "forms/bi_objects.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "tests/support/headless/vm_error_fakes.h"
#include "tools/zozu/zozu.h"
#include "winsys/xinit.h"

namespace demo {

// The interpreter with the built-ins of every layer up to the forms; its
// errors print as "error CODE".
inline bool start_vm() {
  if (vm_reset() != ERR_OK) return false;
  uitest::install();  // no break key
  errtest::install();
  errtest::errors.watch = [](int32_t code, bool) { std::printf("error %d\n", static_cast<int>(code)); };
  for (BindResult (*bind)(OpcodeDispatch&) : {macro_register_opcodes, display_register_opcodes, forms_register_opcodes})
    if (!bind(vm_dispatch)) return false;
  return true;
}

// start_vm, then the objects, their templates and text controls, the X
// connection and the native windows of forms and controls.
inline bool start_objects() {
  if (!start_vm() || objects_init(1024, 768) != 0) return false;
  xfInitX();
  obj_window_setup();
  native_set_table({&kNativeHeadless, &kControlWindowOps, &kNativeHeadless});  // forms and controls get windows
  return true;
}

// Assembles a source into a module file in TMPDIR, named by `tag`; its
// path, or empty with the assembler's messages on standard error.
inline std::string assemble(const char* source_path, const std::string& tag) {
  std::ifstream in(source_path);
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> module;
  std::vector<ZozuDiag> diags;
  if (!zozu_assemble(source_path, source, module, diags)) {
    for (const ZozuDiag& d : diags) std::fprintf(stderr, "%s:%d: %s\n", d.file.c_str(), d.line, d.message.c_str());
    return {};
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + tag + "." + std::to_string(getpid()) + ".ex";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
  return path;
}

// Assembles the source and starts the interpreter on it with `arg` as the
// start-up line: 0, 3 when it does not assemble, 4 when it does not start.
inline int init_module(const char* source_path, const std::string& tag, std::string arg) {
  const std::string path = assemble(source_path, tag);
  if (path.empty()) return 3;
  const ErrorCode rc = vm_init(&arg, path, 0);
  std::remove(path.c_str());
  if (rc == ERR_OK) return 0;
  std::fprintf(stderr, "vm_init: %d\n", static_cast<int>(rc));
  return 4;
}

}  // namespace demo

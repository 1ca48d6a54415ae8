// Fuzz target: arbitrary bytes run as a procedure body. The input becomes
// the code of a module image whose link table and constant area also point
// into it, so operands, jump targets, constants and link entries are all
// hostile. The run must end (break polls are budgeted), never read outside
// the image, and leave the interpreter idle with a sound variable heap.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/le.h"
#include "base/os.h"
#include "macro/catch.h"
#include "macro/command_exec.h"
#include "macro/exit_path.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/state.h"
#include "macro/varheap.h"
#include "tests/support/headless/command_fakes.h"
#include "tests/support/headless/text_ui_fakes.h"
#include "tests/temp_dir.h"
#include "text/selection.h"

namespace {

int fuzz_polls = 0;
bool fuzz_break() { return ++fuzz_polls > 2000; }

[[noreturn]] void fuzz_fail(const char* why) {
  std::fprintf(stderr, "interp fuzz: %s (depth %d, target %d, catch %d)\n", why, vm.frame_depth, vm.target_depth,
               vm_catch.depth);
  std::abort();
}

// Built-ins that reach outside the interpreter are kept inside: leaving
// the editor stops the macro (and is forgotten after each run), programs
// and the compiler never run, state files are never written, and relative
// file names land in a private scratch directory that goes when the sandbox
// is taken down or the process exits.
bool sandboxed = false;
std::filesystem::path saved_dir;
std::optional<zvxtest::TempDir> scratch;

void sandbox() {
  if (sandboxed) return;
  sandboxed = true;
  cmdtest::cmd.run = [](const CmdProcess&) { return int32_t{-32}; };  // no program ever starts
  mod_run_compiler = [](const std::string&) { return 1; };
  state_file_ops().open_temp = [](const std::string&, unsigned, std::string&) { return -5; };
  namespace fs = std::filesystem;
  scratch.emplace("zvx-fuzz-interp");
  std::error_code ec;
  saved_dir = fs::current_path(ec);
  fs::current_path(scratch->path(), ec);
}

}  // namespace

// Undo the sandbox (for the corpus replay inside the unit tests).
void fuzz_interp_unsandbox() {
  if (!sandboxed) return;
  sandboxed = false;
  cmdtest::cmd.run = nullptr;
  exit_reset();
  mod_run_compiler = mod_run_compiler_default;
  state_file_ops_reset();
  std::error_code ec;
  std::filesystem::current_path(saved_dir, ec);
  scratch.reset();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  // Byte 0: locals; byte 1: arguments pushed (low 2 bits) and whether the
  // link table and constants start at the body or at the header.
  const uint8_t locals = data[0] % 16;
  const int argc = data[1] & 3;
  const bool tables_at_header = (data[1] & 4) != 0;
  const size_t body = kModuleHeaderSize + kProcHeaderSize;
  std::vector<uint8_t> image(body + size - 2);
  std::memcpy(image.data() + body, data + 2, size - 2);
  const uint16_t tables = static_cast<uint16_t>(tables_at_header ? 0 : body);
  auto put16 = [&](size_t at, size_t v) { le::put_u16(&image[at], static_cast<uint16_t>(v)); };
  put16(MH_SIZE, image.size());
  put16(MH_LINKS, tables);
  put16(MH_CONSTANTS, tables);
  image[kModuleHeaderSize] = locals;
  image[kModuleHeaderSize + 1] = static_cast<uint8_t>(argc);  // parameters
  put16(kModuleHeaderSize + 2, 0xFFFF);                       // all by value

  sandbox();
  if (vm_reset(600, 8000) != ERR_OK) std::abort();
  opcodes_clear(vm_dispatch);
  if (!macro_register_opcodes(vm_dispatch)) std::abort();
  uitest::install();
  uitest::ui.break_source = fuzz_break;
  fuzz_polls = 0;
  vm.steps_left = 4000;
  // A few globals for link entries to name.
  for (int i = 0; i < 4; ++i) var_alloc_global();
  const std::string_view args[] = {"a", "12", "", "0"};
  vm_call_image(std::span<const uint8_t>(image), kModuleHeaderSize,
                std::span<const std::string_view>(args, static_cast<size_t>(argc)));
  // Whatever happened, the run is over and the heap is sound.
  if (vm.frame_depth != 0 || vm.target_depth != 0) fuzz_fail("run not over");
  if (vm_catch.depth != 0) fuzz_fail("catch contexts left open");
  if (const char* why = var_check()) fuzz_fail(why);
  // Selections a macro made and kept belong to the editor, not to one run.
  sel_shutdown();
  os_find_close_all();
  exit_reset();
  return 0;
}

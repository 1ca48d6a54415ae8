// Fuzz target: arbitrary bytes read as a module file, then unloaded.
//
// The reader verifies the image before linking; anything that passes is
// linked into the names table, unlinked and deleted again, and the table's
// invariants must hold throughout. The image alone also goes through the
// verifier in both forms (fresh and linked).
#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/input_file.h"
#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_input_file(data, size);
  if (path.empty()) return 0;
  std::span<const uint8_t> bytes(data, size);
  module_verify(bytes, bytes);
  module_verify(bytes, {}, true);

  name_pool_init();
  state_reset_read_flag();
  cache_set_limit(-1);
  uint32_t index = 0;
  bool module_file = false;
  int e = mod_load_file(path, &index, &module_file, false);
  if (!name_table_check()) std::abort();
  if (e == 0 && module_file) {
    if (!(name_is_valid(index) & NF_MODULE)) std::abort();
    if (mod_unload(index, false, {}) != 0) std::abort();
    if (!name_table_check()) std::abort();
  }
  name_pool_init();
  return 0;
}

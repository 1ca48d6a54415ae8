// Fuzz target: arbitrary bytes read as a state file.
//
// The reader must answer with an error code or a consistent names table,
// never touch memory outside what it has. After a successful read every data
// block that stayed on disk is loaded through the code cache too, and the
// table's invariants are checked.
#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/input_file.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "macro/state.h"
#include "macro/state_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_input_file(data, size);
  if (path.empty()) return 0;
  static SettingsBlock settings;
  state_register_settings(settings.data(), kSettingsBytes);
  for (int64_t limit : {int64_t(0), int64_t(-1)}) {
    name_pool_init();
    state_reset_read_flag();
    cache_set_limit(limit);
    int e = state_read(path, nullptr, nullptr);
    if (e == 0)
      for (int i = 1; i < name_count(); ++i)
        if (name_is_valid(uint32_t(i)) & NF_HAS_DATA) name_load_data(uint32_t(i));
    if (!name_table_check()) std::abort();
  }
  name_pool_init();
  return 0;
}

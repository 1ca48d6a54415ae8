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

#include "macro/code_cache.h"
#include "macro/names.h"
#include "macro/state.h"
#include "macro/state_settings.h"

namespace {

int input_fd() {
  static int fd = memfd_create("zvx-state", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = input_fd();
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
  static SettingsBlock settings;
  state_register_settings(settings.data(), kSettingsBytes);
  for (int64_t limit : {int64_t(0), int64_t(-1)}) {
    name_pool_init();
    state_reset_read_flag();
    cache_set_limit(limit);
    int e = state_read("/proc/self/fd/" + std::to_string(fd), nullptr, nullptr);
    if (e == 0)
      for (int i = 1; i < name_count(); ++i)
        if (name_is_valid(uint32_t(i)) & NF_HAS_DATA) name_load_data(uint32_t(i));
    if (!name_table_check()) std::abort();
  }
  name_pool_init();
  return 0;
}

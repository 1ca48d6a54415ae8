// Property access from byte code: a macro that reads and writes a property
// of the current object in a loop (one get and one set per item).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "forms/bi_objects.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "macro/code_cache.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/opcodes.h"
#include "text/buffer.h"
#include "text/engine.h"
#include "tools/zozu/zozu.h"

namespace {

// loop(n): property 38 (tab index) read, incremented and written n times.
const char* kLoop = R"(
proc loop(n)
  var i
  push_const "0"
  assign $i
more:
  property_get_current 38
  push_const "1"
  add
  property_set_current 38
  incr $i
  push_var $i
  push_var $n
  num_lt
  jump_if_true @more
  return
end
)";

constexpr int kAccesses = 100000;

void BM_PropertyGetSet(benchmark::State& state) {
  char t[] = "/tmp/zvx-forms-bench-XXXXXX";
  const std::string dir = ::mkdtemp(t);
  if (vm_reset() || name_pool_init()) std::abort();
  opcodes_clear(vm_dispatch);
  if (!macro_register_opcodes(vm_dispatch) || !forms_register_opcodes(vm_dispatch)) std::abort();
  names_attach_vm();
  cache_set_limit(-1);
  text_engine_init();
  if (objects_init(1024, 768)) std::abort();
  WindowObject* form = window_new_child(nullptr);
  obj_set_type(form, kObjForm);
  std::vector<uint8_t> module;
  std::vector<ZozuDiag> diags;
  if (!zozu_assemble("loop.e", kLoop, module, diags)) std::abort();
  const std::string path = dir + "/loop.ex";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
  uint32_t index = 0;
  bool module_file = false;
  if (mod_load_file(path, &index, &module_file, true)) std::abort();
  const int32_t loop = static_cast<int32_t>(name_find("loop", NF_CALLABLE));
  const std::string count = std::to_string(kAccesses);
  const std::string_view args[] = {count};
  for (auto _ : state)
    if (vm_call_index(loop, args)) state.SkipWithError("the loop stopped");
  // Tab indexes are 16 bits: the count comes back modulo 65536.
  if (prop_get_field(form->props, 38) != ((state.iterations() * kAccesses) & 0xFFFF)) std::abort();
  state.SetItemsProcessed(state.iterations() * kAccesses);
  objects_shutdown();
  buf_shutdown();
  name_pool_init();
  ::unlink(path.c_str());
  ::rmdir(dir.c_str());
}
BENCHMARK(BM_PropertyGetSet)->Unit(benchmark::kMillisecond);

}  // namespace

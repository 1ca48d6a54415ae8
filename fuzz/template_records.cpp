// Fuzz target: arbitrary bytes read as a form template.
//
// The bytes go three ways: as a record array in memory form (the check a
// template from the state file gets before anything reads it), as a module
// form parsed back into records, and as a module form stored in the names
// table. A store must either refuse with -3000 and leave the table as it
// was, or give a template whose records read back, whose controls are found
// by name, and whose deletion leaves a consistent table.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "forms/templates.h"
#include "macro/code_cache.h"
#include "macro/name_pool.h"
#include "macro/names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  tpl_check_records(bytes);
  std::vector<TplModuleRecord> parsed;
  if (tpl_module_parse(bytes, &parsed) && parsed.empty()) std::abort();
  name_pool_init();
  cache_set_limit(-1);
  const int count = name_count();
  const int32_t h = tpl_store_module(bytes);
  if (h == ERR_INCORRECT_VERSION) {
    if (name_count() != count) std::abort();
  } else if (h > 0) {
    const uint32_t index = static_cast<uint32_t>(h) >> 16;
    std::vector<PropertyBlock> recs;
    if (!tpl_read_all(index, &recs) || recs.empty()) std::abort();
    for (uint32_t r = 0; r < recs.size(); ++r) {
      if (recs[r].type == 0) continue;
      const std::string_view name = tpl_string(recs[r], kTplName);
      if (r > 0 && !name.empty() && tpl_find_control(index, name) < 0) std::abort();
      name_type(static_cast<uint32_t>(h) | r);
      name_text(static_cast<uint32_t>(h) | r);
    }
    tpl_add_control(index);
    name_delete(index, false);
  }
  if (!name_table_check()) std::abort();
  name_pool_init();
  return 0;
}

#include "macro/names_vm.h"
#include "macro/dll.h"

#include <span>
#include <string_view>

#include "macro/catch.h"
#include "macro/code_cache.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/names.h"

namespace {

// The image of a loaded module, made resident; empty on failure.
ErrorCode module_image(uint32_t module, std::span<const uint8_t>& out) {
  if (!(name_is_valid(module) & NF_MODULE)) return ERR_INVALID_ARGUMENT;
  ErrorCode e = name_load_data(module);
  if (e) return e;
  out = {name_block(module), name_entry(module)->size};
  return ERR_OK;
}

ErrorCode resolve(int32_t index, VmCallable* out) {
  *out = VmCallable{};
  uint32_t flags = name_is_valid(uint32_t(index));
  if (!(flags & NF_CALLABLE)) return ERR_OK;  // not callable
  out->command = flags & NF_COMMAND;
  if (flags & NF_DLL_FUNC) {
    out->kind = VmCallable::Kind::Dll;
    return ERR_OK;
  }
  uint32_t data = name_entry(uint32_t(index))->data;
  uint32_t module = data >> 16;
  if (module == 0) {  // linked, but nothing defines it now
    msg_arg.assign(name_text(uint32_t(index)).substr(0, 256));
    return (flags & NF_COMMAND) ? ERR_COMMAND_NOT_FOUND : ERR_PROCEDURE_NOT_FOUND;
  }
  ErrorCode e = module_image(module, out->image);
  if (e) return e;
  out->kind = VmCallable::Kind::Proc;
  out->offset = uint16_t(data & 0xFFFF);
  return ERR_OK;
}

int32_t proc_module(int32_t index) {
  NameEntry* e = name_entry(uint32_t(index));
  if (!e || !(e->flags & NF_CALLABLE)) return 0;
  return int32_t(e->data >> 16);
}

std::string_view module_name(int32_t index) {
  return (name_is_valid(uint32_t(index)) & NF_MODULE) ? name_text(uint32_t(index)) : std::string_view();
}

bool runs_in(const VmRegs& r, const uint8_t* base) { return r.module_base == base; }

// A module is in use while a call frame or a catch context runs in it.
bool module_in_use(uint32_t module) {
  const uint8_t* base = name_block(module);
  if (!base) return false;
  if (runs_in(vm.regs, base)) return true;
  for (int32_t d = 1; d <= vm.frame_depth && d < int32_t(vm.frames.size()); ++d)
    if (runs_in(vm.frames[size_t(d)], base)) return true;
  return false;
}

int call_entry(uint32_t module, uint16_t offset, std::optional<std::string_view> arg) {
  std::span<const uint8_t> image;
  ErrorCode e = module_image(module, image);
  if (e) return e;
  if (arg) {
    std::string_view a[1] = {*arg};
    return vm_call_image(image, offset, a);
  }
  return vm_call_image(image, offset, {});
}

}  // namespace

void names_attach_vm() {
  VmNameHooks h{};
  h.resolve = resolve;
  h.dll_call = dll_call;
  h.proc_module = proc_module;
  h.module_name = module_name;
  h.on_command = evtab_command_called;
  vm_set_name_hooks(h);
  cache_module_in_use = module_in_use;
  mod_call_entry = call_entry;
  state_attach_var_heap();
}

// Opcodes of modules and the state file: write the state (main 91), push a
// template or an event table named by a link (main 92, 93), load, replace
// or unload modules (ext 29) and compile sources (ext 30).
#include <unistd.h>
#include <string>
#include <vector>

#include "base/lstr.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/state.h"

namespace {

std::string_view strip(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::string> words(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string absolute(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char cwd[4096];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + name : name;
}

bool has_extension(const std::string& name) {
  size_t slash = name.rfind('/'), dot = name.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

std::string with_extension(const std::string& name, const std::string& ext) {
  std::string out = name;
  if (has_extension(name)) out.resize(name.rfind('.'));
  return out + ext;
}

std::string base_name(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The link entry a u16 operand names, with its name from the constants.
bool link_operand(LinkEntry* link, std::string_view* name) {
  uint16_t index = 0;
  if (!vm_fetch_u16(&index) || !vm_link_entry(index, link)) return false;
  std::span<const uint8_t> constants(vm.regs.constants, size_t(vm.regs.module_end - vm.regs.constants));
  if (!module_string_at(constants, link->a, *name)) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  return true;
}

}  // namespace

// Main 91: file name -> rc = 0, or the error raised.
void bi_write_state() {
  LStrLine name;
  if (!vm_pop_lstr(&name)) return;
  vm_set_rc_or_raise(state_write(std::string(strip(name.view()))));
}

// Main 92: the template a link names, as a handle (index << 16).
void op_push_object() {
  LinkEntry link;
  std::string_view name;
  if (!link_operand(&link, &name)) return;
  uint32_t kind = link.kind <= LK_TEMPLATE_LAST ? link.kind : 0;
  uint32_t handle = name_find(name, NF_TEMPLATE | (kind << 11)) & 0xFFFF0000u;
  if (!handle) {
    msg_arg.assign(name);
    vm_raise_fatal(ERR_OBJECT_NOT_FOUND);
    return;
  }
  vm_push_uint(int32_t(handle));
}

// Main 93: the event table a link names; made when it does not exist yet.
void op_push_event_table() {
  LinkEntry link;
  std::string_view name;
  if (!link_operand(&link, &name)) return;
  uint32_t index = (name_is_valid(link.c) & NF_EVENT_TABLE) && name_equal(name_text(link.c), name, 0)
                       ? link.c
                       : name_find(name, NF_EVENT_TABLE);
  if (!index) {
    int32_t made = name_create(name, NF_EVENT_TABLE, std::nullopt);
    if (made < 0) {
      msg_arg.assign(name);
      vm_raise_fatal(made == ERR_INTERPRETER_OUT_OF_MEMORY ? made : ERR_EVENT_TABLE_NOT_FOUND);
      return;
    }
    index = uint32_t(made);
  }
  vm_push_int(int32_t(index));
}

// Ext 29: [option L/R/U,] names. rc = the result of the last name.
void bi_load_module() {
  uint8_t n = 0;
  if (!vm_fetch_u8(&n)) return;
  if (n < 1 || n > 2) {
    vm_raise_error(ERR_INVALID_PARAMETER_COUNT);
    return;
  }
  LStrLine list;
  if (!vm_pop_lstr(&list)) return;
  char option = 'L';
  if (n == 2 && vm_pop_option_letter(&option, "LRU") != ERR_OK) return;
  int32_t result = 0;
  const uint32_t unwinds = vm_catch.unwinds;
  for (const std::string& w : words(list.view())) {
    if (vm_catch.unwinds != unwinds) return;  // a stopping error ended the macro
    std::string name = absolute(w);
    if (!has_extension(name)) name += mod_source_ext();
    std::string compiled = with_extension(name, mod_compiled_ext());
    int32_t loaded = mod_find(base_name(compiled));
    if (option == 'U') {
      result = loaded > 0 ? mod_unload(uint32_t(loaded), false, {}) : ERR_FILE_NOT_FOUND;
      if (result < 0) vm_raise_error(result);
      continue;
    }
    if (loaded > 0) {
      if (option == 'L') {
        result = ERR_MODULE_ALREADY_LOADED;
        vm_raise_error(result);
      } else {
        result = mod_unload(uint32_t(loaded), true, compiled);
      }
      continue;
    }
    // A source newer than its module is compiled first.
    if (name != compiled) mod_compile_if_needed(name, false, std::nullopt);
    uint32_t index = 0;
    result = mod_load_and_init(compiled, &index,
                               name != compiled ? std::optional<std::string_view>(mod_source_ext()) : std::nullopt);
    if (result < 0) vm_raise_error(result);
  }
  if (vm_catch.unwinds != unwinds) return;
  vm_set_rc(result);
}

// Ext 30: names; compile each when its source is newer; stop at the first
// nonzero result; rc = the last result.
void bi_compile_module_list() {
  LStrLine list;
  if (!vm_pop_lstr(&list)) return;
  int32_t result = 0;
  for (const std::string& w : words(list.view())) {
    std::string name = w;
    if (!has_extension(name)) name += mod_source_ext();
    result = mod_compile_if_needed(name, false, std::nullopt);
    if (result != 0) break;
  }
  vm_set_rc(result);
}

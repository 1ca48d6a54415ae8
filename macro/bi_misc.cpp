// The environment copy and the miscellaneous built-ins (see bi_misc.h).
#include "macro/bi_misc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"

extern char** environ;

namespace {

// The copy: owned strings and the null-terminated array the system takes.
struct EnvCopy {
  bool exists = false;
  std::vector<std::unique_ptr<char[]>> strings;
  std::vector<char*> block;  // strings' pointers, then a null
  size_t cursor = 0;         // next entry env_find examines
  bool searched = false;
};
EnvCopy env;

std::array<uint8_t, kPokeAreaBytes> poke_area{};

std::string_view name_part(const char* entry) {
  const char* eq = std::strchr(entry, '=');
  return eq ? std::string_view(entry, static_cast<size_t>(eq - entry)) : std::string_view(entry);
}

bool names_match(std::string_view entry_name, std::string_view name, EnvMatch match) {
  if (match == EnvMatch::Exact) return entry_name == name;
  const size_t n = std::min(entry_name.size(), name.size());
  return entry_name.substr(0, n) == name.substr(0, n);
}

std::unique_ptr<char[]> dup(std::string_view s) {
  auto p = std::make_unique<char[]>(s.size() + 1);
  std::memcpy(p.get(), s.data(), s.size());
  p[s.size()] = '\0';
  return p;
}

// Index of the exact match in the copy, or -1.
ptrdiff_t find_in_copy(std::string_view name) {
  for (size_t i = 0; i < env.strings.size(); ++i)
    if (name_part(env.strings[i].get()) == name) return static_cast<ptrdiff_t>(i);
  return -1;
}

}  // namespace

ErrorCode env_copy() {
  try {
    EnvCopy fresh;
    for (char** e = environ; e && *e; ++e) fresh.strings.push_back(dup(*e));
    for (auto& s : fresh.strings) fresh.block.push_back(s.get());
    fresh.block.push_back(nullptr);
    fresh.exists = true;
    env = std::move(fresh);
  } catch (const std::bad_alloc&) {
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  os_env_get_hook = env_get;
  return ERR_OK;
}

char** env_block() { return env.exists ? env.block.data() : environ; }

const char* env_find(const char* name, bool restart, EnvMatch match) {
  if (restart || !env.searched) env.cursor = 0;
  env.searched = true;
  char** block = env_block();
  const std::string_view want(name);
  // The cursor may stand past the end after entries were removed.
  size_t count = 0;
  while (block && block[count]) ++count;
  while (env.cursor < count) {
    const char* entry = block[env.cursor++];
    const std::string_view n = name_part(entry);
    if (!n.empty() && names_match(n, want, match)) return entry;
  }
  return nullptr;
}

const char* env_get(const char* name) {
  const std::string_view want(name);
  for (char** e = env_block(); e && *e; ++e) {
    if (name_part(*e) != want) continue;
    const char* eq = std::strchr(*e, '=');
    return eq ? eq + 1 : *e + std::strlen(*e);
  }
  return nullptr;
}

ErrorCode env_set(const char* name, const char* value) {
  if (!env.exists) {
    if (ErrorCode e = env_copy()) return e;
  }
  const std::string_view n(name);
  if (ptrdiff_t i = find_in_copy(n); i >= 0) {
    env.strings.erase(env.strings.begin() + i);
    env.block.erase(env.block.begin() + i);
    if (static_cast<size_t>(i) < env.cursor) --env.cursor;  // the cursor keeps its entry
  }
  if (!value) return ERR_OK;
  try {
    std::string entry(n);
    entry += '=';
    entry += value;
    auto s = dup(entry);
    env.block.reserve(env.block.size() + 1);
    env.strings.push_back(std::move(s));  // the array's room was made above: no throw below
    env.block.back() = env.strings.back().get();
    env.block.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  return ERR_OK;
}

void env_drop_copy() {
  env = EnvCopy{};
  os_env_get_hook = nullptr;
}

int32_t env_copy_count() { return env.exists ? static_cast<int32_t>(env.strings.size()) : -1; }

void poke_area_reset() { poke_area.fill(0); }

// ---- built-ins ---------------------------------------------------------------------------

// Main 51: name -> value (at most 1024 bytes); rc -3022 when it is not set.
void bi_get_env() {
  if (!core_have(1)) return;
  const std::string name = bi_arg_str(1, 0);
  core_drop(1);
  const char* v = name.find('\0') == std::string::npos ? env_get(name.c_str()) : nullptr;
  if (!v) {
    vm_push_view({});
    vm_set_rc(ERR_STRING_NOT_FOUND);
    return;
  }
  std::string_view value(v);
  vm_push_view(value.substr(0, LSTR_CAP_LINE));
  vm_set_rc(ERR_OK);
}

// Main 52: name [, value]: sets the variable, or removes it without a value.
// A name that is empty or holds "=" or a NUL would make an entry that reads
// back as another variable or as none: -3015.
void bi_set_env() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  const std::string name = bi_arg_str(n, 0);
  if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos)
    return bi_fail(n, ERR_INVALID_ARGUMENT);
  std::string value;
  if (n == 2) value = bi_arg_str(n, 1);
  core_drop(n);
  if (value.find('\0') != std::string::npos) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  vm_set_rc_or_raise(env_set(name.c_str(), n == 2 ? value.c_str() : nullptr));
}

// Ext 31: prefix first -> the name part of the next entry whose name and the
// prefix match as prefixes; a nonzero `first` starts over. rc -3022 at the end.
void bi_get_env_name() {
  if (!core_have(2)) return;
  int32_t first = 0;
  if (!bi_arg_to_int(2, 1, &first)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  const std::string prefix = bi_arg_str(2, 0);
  core_drop(2);
  const char* e =
      prefix.find('\0') == std::string::npos ? env_find(prefix.c_str(), first != 0, EnvMatch::Prefix) : nullptr;
  if (!e) {
    vm_push_view({});
    vm_set_rc(ERR_STRING_NOT_FOUND);
    return;
  }
  vm_push_view(name_part(e).substr(0, LSTR_CAP_LINE));
  vm_set_rc(ERR_OK);
}

// Ext 38: address length -> at most 1024 bytes of the area from the address
// (fewer at its end; none for a negative length). An address outside the
// area is -3015.
void bi_peek() {
  if (!core_have(2)) return;
  int32_t address = 0, length = 0;
  if (!bi_arg_to_int(2, 0, &address) || !bi_arg_to_int(2, 1, &length)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(2);
  if (address < 0 || address >= kPokeAreaBytes) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  const int32_t n = std::clamp(length, 0, std::min(kPeekMax, kPokeAreaBytes - address));
  vm_push_bytes(poke_area.data() + address, n);
}

// Ext 39: address text: writes the text's bytes into the area. A write that
// would not fit whole is refused with -3015 and writes nothing.
void bi_poke() {
  if (!core_have(2)) return;
  int32_t address = 0;
  if (!bi_arg_to_int(2, 0, &address)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  const std::string_view text = bi_arg(2, 1);
  if (address < 0 || address > kPokeAreaBytes || text.size() > static_cast<size_t>(kPokeAreaBytes - address))
    return bi_fail(2, ERR_INVALID_ARGUMENT);
  std::memcpy(poke_area.data() + address, text.data(), text.size());
  core_drop(2);
}

// The environment copy and the miscellaneous built-ins (see bi_misc.h).
#include "macro/bi_misc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/env_port.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"

extern char** environ;

namespace {

// The copy: the owned strings in their order, where a removed entry leaves
// a null behind until the next compaction; an index from each live entry's
// name to its place, so that a lookup or a change costs the same however
// many variables there are; and the null-terminated array the system takes,
// made again when asked for after a change.
struct EnvCopy {
  bool exists = false;
  std::vector<std::unique_ptr<char[]>> strings;        // null: removed
  std::unordered_map<std::string_view, size_t> index;  // name part (in its string) -> place
  size_t removed = 0;                                  // nulls in strings
  std::vector<char*> block;                            // the live strings, then a null
  bool block_stale = true;
  size_t cursor = 0;  // place in strings (or environ) that env_find examines next
  bool searched = false;
};
EnvCopy env;

// Removed entries are squeezed out once they outnumber the live ones (and
// a few more), so the work stays in proportion to the changes.
constexpr size_t kEnvSlackEntries = 64;

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

size_t live_count() { return env.strings.size() - env.removed; }

// Drops the nulls; the find cursor keeps its entry.
void compact() {
  size_t to = 0, cursor = 0;
  for (size_t from = 0; from < env.strings.size(); ++from) {
    if (from == env.cursor) cursor = to;
    if (!env.strings[from]) continue;
    if (to != from) env.strings[to] = std::move(env.strings[from]);
    env.index[name_part(env.strings[to].get())] = to;
    ++to;
  }
  env.cursor = env.cursor >= env.strings.size() ? to + (env.cursor - env.strings.size()) : cursor;
  env.strings.resize(to);
  env.removed = 0;
}

void remove_at(size_t i) {
  env.index.erase(name_part(env.strings[i].get()));
  env.strings[i].reset();
  ++env.removed;
  env.block_stale = true;
  if (env.removed > live_count() + kEnvSlackEntries) compact();
}

}  // namespace

ErrorCode env_copy() {
  try {
    EnvCopy fresh;
    for (char** e = environ; e && *e; ++e) {
      // A name set twice reads as its first setting everywhere: the later
      // ones are left out.
      if (fresh.index.count(name_part(*e)) != 0) continue;
      fresh.strings.push_back(dup(*e));
      fresh.index.emplace(name_part(fresh.strings.back().get()), fresh.strings.size() - 1);
    }
    fresh.exists = true;
    env = std::move(fresh);
  } catch (const std::bad_alloc&) {
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  return ERR_OK;
}

char** env_block() {
  if (!env.exists) return environ;
  if (env.block_stale) {
    env.block.clear();
    env.block.reserve(live_count() + 1);
    for (const auto& s : env.strings)
      if (s) env.block.push_back(s.get());
    env.block.push_back(nullptr);
    env.block_stale = false;
  }
  return env.block.data();
}

const char* env_find(const char* name, bool restart, EnvMatch match) {
  if (restart || !env.searched) env.cursor = 0;
  env.searched = true;
  const std::string_view want(name);
  auto matches = [&](const char* entry) {
    const std::string_view n = name_part(entry);
    return !n.empty() && names_match(n, want, match);
  };
  if (!env.exists) {
    size_t count = 0;  // the cursor may stand past the end after entries were removed
    while (environ && environ[count]) ++count;
    while (env.cursor < count)
      if (const char* entry = environ[env.cursor++]; matches(entry)) return entry;
    return nullptr;
  }
  while (env.cursor < env.strings.size())
    if (const char* entry = env.strings[env.cursor++].get(); entry && matches(entry)) return entry;
  return nullptr;
}

const char* env_get(const char* name) {
  const std::string_view want(name);
  const char* entry = nullptr;
  if (env.exists) {
    const auto it = env.index.find(want);
    if (it == env.index.end()) return nullptr;
    entry = env.strings[it->second].get();
  } else {
    for (char** e = environ; e && *e && !entry; ++e)
      if (name_part(*e) == want) entry = *e;
    if (!entry) return nullptr;
  }
  const char* eq = std::strchr(entry, '=');
  return eq ? eq + 1 : entry + std::strlen(entry);
}

// The foundation's lookups read the macros' copy once there is one.
const char* env_lookup(const char* name) { return env_get(name); }

ErrorCode env_set(const char* name, const char* value) {
  if (!env.exists) {
    if (ErrorCode e = env_copy()) return e;
  }
  const std::string_view n(name);
  if (const auto it = env.index.find(n); it != env.index.end()) remove_at(it->second);
  if (!value) return ERR_OK;
  try {
    std::string entry(n);
    entry += '=';
    entry += value;
    env.strings.push_back(dup(entry));
  } catch (const std::bad_alloc&) {
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  try {
    env.index.emplace(name_part(env.strings.back().get()), env.strings.size() - 1);
  } catch (const std::bad_alloc&) {
    env.strings.pop_back();  // removed, never half-written
    return ERR_INTERPRETER_OUT_OF_MEMORY;
  }
  env.block_stale = true;
  return ERR_OK;
}

void env_drop_copy() { env = EnvCopy{}; }

int32_t env_copy_count() { return env.exists ? static_cast<int32_t>(live_count()) : -1; }

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

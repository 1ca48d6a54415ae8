// State file and module files: the checked reader and the atomic writer.
#include "macro/state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/fd.h"
#include "base/file_node.h"
#include "base/le.h"
#include "base/regular_file.h"
#include "macro/code_cache.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/rle.h"
#include "macro/state_settings.h"
#include "macro/templates_port.h"

namespace {

// What the state-file layer keeps between calls.
struct StateKept {
  bool state_read = false;  // a state file has been read by this process
  uint8_t* settings = nullptr;
  uint32_t settings_size = 0;
  StateVarHooks var_hooks;
};
StateKept g;

// Largest expanded module-form template we accept: 32767 records of 120
// bytes plus their strings area.
constexpr uint32_t kMaxTemplateBytes = 32767u * 120u + 65536u;
// Largest state or module file read: the names (under 1 MB), the variable
// heap (at most 16 MB) and the macros' modules, tables, templates and
// pictures fit several times over; a larger file is no file of ours.
constexpr int64_t kStateFileMax = int64_t{64} << 20;

int errno_code(int e) {
  switch (e) {
    case ENOENT:
      return -2;
    case ENOTDIR:
      return -3;
    case EACCES:
    case EPERM:
    case EROFS:
      return -5;
    case ENOSPC:
      return -39;
    default:
      return -2;
  }
}

// Exactly n bytes at off; false on an error or an early end of the file.
bool pread_all(int fd, uint8_t* p, size_t n, uint64_t off) {
  return fd_pread_all(fd, p, n, int64_t(off)) == int64_t(n);
}

uint8_t data_record_type(const NameEntry& e) {
  if (e.flags & NF_MODULE) return (e.state & NS_STARTUP) ? SR_STARTUP_MODULE : SR_MODULE;
  if (e.flags & NF_EVENT_TABLE) return SR_EVENT_TABLE;
  if (e.flags & NF_TEMPLATE) return SR_TEMPLATE;
  return SR_PICTURE;
}

bool encoded(const NameEntry& e) { return e.flags & (NF_EVENT_TABLE | NF_TEMPLATE); }

// Data entries in state-file order: the first group (modules with an init or
// main entry, start-up modules), then the others. Returns the split point.
size_t data_order(std::vector<uint32_t>& order) {
  order.clear();
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 1; i < name_count(); ++i) {
      NameEntry* e = name_entry(uint32_t(i));
      if (!e || !(e->flags & NF_HAS_DATA)) continue;
      bool first = e->state & (NS_HAS_INIT | NS_HAS_MAIN | NS_STARTUP);
      if (first == (pass == 0)) order.push_back(uint32_t(i));
    }
  }
  size_t split = 0;
  while (split < order.size() && (name_entry(order[split])->state & (NS_HAS_INIT | NS_HAS_MAIN | NS_STARTUP))) ++split;
  return split;
}

// ---- reading ------------------------------------------------------------------

struct Reader {
  int fd;
  uint64_t size;
  uint64_t pos = 0;
  bool is_state = false, is_module = false;
  std::vector<uint8_t> rec[17];  // records 1, 2, 3, 4, 6, 15, 16 of a state file
  bool have[17] = {};
  std::vector<uint8_t> strings;        // module strings area
  std::optional<uint32_t> table_name;  // record 11
  uint32_t module_index = 0;
  bool names_ready = false;
  std::vector<uint32_t> order;
  size_t split = 0, next_data = 0;
  bool stopped = false;
};

// Converts a module-form event table (expanded) into the names table.
int convert_module_table(Reader& r, const uint8_t* form) {
  if (!r.table_name) return ERR_INCORRECT_VERSION;
  std::string_view name;
  if (!module_string_at(r.strings, *r.table_name & 0xFFFF, name) || name.empty()) return ERR_INCORRECT_VERSION;
  r.table_name.reset();
  // Resolve every name first, so a bad offset changes nothing.
  std::vector<uint8_t> block(kEventTableBytes, 0);
  uint32_t parent_word = le::get_u32(form) & 0xFFFF;
  uint32_t parent = 0;
  if (parent_word && parent_word != 0xFFFF) {
    std::string_view pname;
    if (!module_string_at(r.strings, parent_word, pname) || pname.empty()) return ERR_INCORRECT_VERSION;
    parent = name_find(pname, NF_EVENT_TABLE);
    if (!parent) {
      int32_t p = name_create(pname, NF_EVENT_TABLE, std::nullopt);
      if (p < 0) return p;
      parent = uint32_t(p);
    }
  }
  std::vector<uint32_t> words(kEventBindings, 0);  // converted; 0xFFFFFFFF = remove
  uint32_t prev_in = 0, prev_out = 0;
  for (int i = 0; i < kEventBindings; ++i) {
    uint32_t w = le::get_u32(form + 4 + 4 * i);
    if (w == 0) continue;
    if (w == 0xFFFF) {
      words[i] = 0xFFFFFFFFu;
      continue;
    }
    if (w == prev_in) {  // consecutive equal words are converted once
      words[i] = prev_out;
      continue;
    }
    std::string_view target;
    if (w > 0xFFFF || !module_string_at(r.strings, w, target) || target.empty()) return ERR_INCORRECT_VERSION;
    uint32_t index;
    if (target.find(':') != std::string_view::npos) {
      index = name_find(target, NF_EVENT_TABLE);
      if (!index) {
        int32_t x = name_create(target, NF_EVENT_TABLE, std::nullopt);
        if (x < 0) return x;
        index = uint32_t(x);
      }
    } else {
      index = name_find(target, NF_CALLABLE);
      if (!index) {
        int32_t x = name_create(target, NF_COMMAND, std::nullopt);
        if (x < 0) return x;
        index = uint32_t(x);
      }
    }
    words[i] = prev_out = index;
    prev_in = w;
  }
  uint32_t table = name_find(name, NF_EVENT_TABLE);
  if (!table) {
    int32_t x = name_create(name, NF_EVENT_TABLE, std::nullopt);
    if (x < 0) return x;
    table = uint32_t(x);
  }
  int e = name_load_data(table);
  if (e) return e;
  uint8_t* b = name_block(table);
  if (parent_word == 0xFFFF)
    le::put_u32(b, 0);
  else if (parent)
    le::put_u32(b, parent);
  for (int i = 0; i < kEventBindings; ++i) {
    if (words[i] == 0) continue;
    le::put_u32(b + 4 + 4 * i, words[i] == 0xFFFFFFFFu ? 0 : words[i]);
  }
  name_pin_data(table);
  return 0;
}

// Restores the names table once records 1, 15, 3, 16 and 4 are in.
int finish_names(Reader& r) {
  for (int t : {1, 15, 3, 16})
    if (!r.have[t]) return ERR_INCORRECT_VERSION;
  int e = name_table_restore(r.rec[1], r.rec[15], r.rec[3], r.rec[16], r.rec[4]);
  if (e) return e;
  r.names_ready = true;
  r.split = data_order(r.order);
  return 0;
}

// The remaining data entries stay on disk: each gets the file offset of its
// record's data; their headers are checked now so a later load is safe.
int stop_early(Reader& r) {
  uint64_t off = r.pos;
  for (size_t k = r.next_data; k < r.order.size(); ++k) {
    NameEntry* e = name_entry(r.order[k]);
    uint32_t len = encoded(*e) ? e->stored : e->size;
    uint8_t h[kStateHeaderSize];
    if (off + kStateHeaderSize + len > r.size || !pread_all(r.fd, h, sizeof h, off)) return ERR_INCORRECT_VERSION;
    if (le::get_i16(h) != kStateVersion || h[2] != 1 || h[3] != data_record_type(*e) || le::get_u32(h + 4) != len)
      return ERR_INCORRECT_VERSION;
    if (off + kStateHeaderSize > 0xFFFFFFFFu) return ERR_INCORRECT_VERSION;
    e->state &= ~(NS_RESIDENT | NS_LOCKED);
    e->data = uint32_t(off + kStateHeaderSize);
    off += kStateHeaderSize + len;
  }
  r.next_data = r.order.size();
  r.stopped = true;
  return 0;
}

int read_state_data(Reader& r, uint8_t type, const std::vector<uint8_t>& data, uint64_t data_off) {
  if (!r.names_ready || r.next_data >= r.order.size()) return ERR_INCORRECT_VERSION;
  uint32_t index = r.order[r.next_data++];
  NameEntry* e = name_entry(index);
  if (type != data_record_type(*e)) return ERR_INCORRECT_VERSION;
  uint32_t size = e->size;
  uint8_t* block = nullptr;
  if (encoded(*e)) {
    if (data.size() != e->stored) return ERR_INCORRECT_VERSION;
    if (name_data_alloc(&block, size) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
    if (rle_expand(block, size, data) != int64_t(size)) {
      name_data_block_free(block);
      return ERR_INCORRECT_VERSION;
    }
  } else {
    if (data.size() != size) return ERR_INCORRECT_VERSION;
    if ((e->flags & NF_MODULE) && module_verify(data, {}, true) != 0) return ERR_INCORRECT_VERSION;
    if (name_data_alloc(&block, size) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
    if (size) std::memcpy(block, data.data(), size);
  }
  e = name_entry(index);
  uint32_t state = 0;
  if (e->flags & NF_MODULE) state = e->state & ~(NS_LOCKED | NS_RESIDENT) & (NS_HAS_INIT | NS_HAS_MAIN | NS_STARTUP);
  if (type == SR_STARTUP_MODULE) state |= NS_STARTUP;
  if (cache_limit() == 0) state |= NS_LOCKED;
  cache_register(index, block, uint32_t(data_off), size, e->stored, state);
  return 0;
}

int handle_record(Reader& r, const std::string& name, uint8_t type, std::vector<uint8_t>& data, uint64_t data_off) {
  switch (type) {
    case SR_NAMES_HEADER:
      if (g.state_read || r.is_module || r.is_state) return ERR_INCORRECT_VERSION;
      r.is_state = true;
      [[fallthrough]];
    case SR_POOL_DESCRIPTOR:
    case SR_POOL_AREA:
    case SR_POOL_TABLE:
      if (!r.is_state || r.have[type] || r.names_ready) return ERR_INCORRECT_VERSION;
      r.rec[type] = std::move(data);
      r.have[type] = true;
      return 0;
    case SR_VAR_HEADER:
    case SR_VAR_AREA:
      if (!r.is_state || r.have[type] || !r.names_ready || r.next_data) return ERR_INCORRECT_VERSION;
      r.rec[type] = std::move(data);
      r.have[type] = true;
      return 0;
    case SR_NAMES:
      if (!r.is_state || r.names_ready) return ERR_INCORRECT_VERSION;
      r.rec[SR_NAMES] = std::move(data);
      return finish_names(r);
    case SR_SETTINGS:
      if (!r.is_state || !r.names_ready) return ERR_INCORRECT_VERSION;
      if (data.size() != kSettingsBytes) return ERR_INCORRECT_VERSION;
      if (g.settings) std::memcpy(g.settings, data.data(), std::min<size_t>(g.settings_size, data.size()));
      return 0;
    case SR_STRINGS:
      if (r.is_state || r.is_module) return ERR_INCORRECT_VERSION;
      r.is_module = true;
      r.strings = std::move(data);
      return 0;
    case SR_TABLE_NAME:
      if (!r.is_module || data.size() != 4) return ERR_INCORRECT_VERSION;
      r.table_name = le::get_u32(data.data());
      return 0;
    case SR_MODULE:
    case SR_STARTUP_MODULE:
      if (r.is_state) return read_state_data(r, type, data, data_off);
      if (!r.is_module || r.module_index) return ERR_INCORRECT_VERSION;
      {
        if (module_verify(data, r.strings) != 0) return ERR_INCORRECT_VERSION;
        uint8_t* block = nullptr;
        if (name_data_alloc(&block, uint32_t(data.size())) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
        std::memcpy(block, data.data(), data.size());
        size_t slash = name.rfind('/');
        int32_t index = mod_link(block, std::string_view(name).substr(slash + 1), r.strings, type == SR_STARTUP_MODULE);
        if (index < 0) return index;
        r.module_index = uint32_t(index);
      }
      return 0;
    case SR_EVENT_TABLE:
      if (r.is_state) return read_state_data(r, type, data, data_off);
      if (!r.is_module) return ERR_INCORRECT_VERSION;
      {
        std::vector<uint8_t> form(kEventTableBytes);
        if (rle_expand(form.data(), kEventTableBytes, data) != int64_t(kEventTableBytes)) return ERR_INCORRECT_VERSION;
        return convert_module_table(r, form.data());
      }
    case SR_PICTURE:
      if (!r.is_state) return ERR_INCORRECT_VERSION;
      return read_state_data(r, type, data, data_off);
    case SR_TEMPLATE:
      if (r.is_state) return read_state_data(r, type, data, data_off);
      if (!r.is_module) return ERR_INCORRECT_VERSION;
      {
        int64_t n = rle_expand(nullptr, 0, data);
        if (n < 0 || n > int64_t(kMaxTemplateBytes)) return ERR_INCORRECT_VERSION;
        std::vector<uint8_t> records(static_cast<size_t>(n));
        if (rle_expand(records.data(), uint32_t(n), data) != n) return ERR_INCORRECT_VERSION;
        return templates_store_module(records);
      }
    default:
      return ERR_INTERPRETER_OUT_OF_MEMORY;  // type 5 and unknown types have no destination
  }
}

int read_records(Reader& r, const std::string& name) {
  while (r.pos < r.size) {
    uint8_t h[kStateHeaderSize];
    if (r.size - r.pos < kStateHeaderSize || !pread_all(r.fd, h, sizeof h, r.pos)) return ERR_INCORRECT_VERSION;
    if (le::get_i16(h) != kStateVersion || h[2] != 1) return ERR_INCORRECT_VERSION;
    uint8_t type = h[3];
    uint32_t len = le::get_u32(h + 4);
    if (type == SR_UNUSED || type == 0 || type > SR_POOL_TABLE) return ERR_INTERPRETER_OUT_OF_MEMORY;
    if (len > r.size - r.pos - kStateHeaderSize) return ERR_INCORRECT_VERSION;  // truncated?
    // With the cache active, the second group of data records stays on disk.
    if (r.is_state && r.names_ready && cache_limit() != 0 && r.next_data == r.split && r.next_data < r.order.size() &&
        (type == SR_MODULE || type == SR_STARTUP_MODULE || type == SR_EVENT_TABLE || type == SR_PICTURE ||
         type == SR_TEMPLATE))
      return stop_early(r);
    std::vector<uint8_t> data;
    try {
      data.resize(len);
    } catch (...) {
      return ERR_INTERPRETER_OUT_OF_MEMORY;
    }
    uint64_t data_off = r.pos + kStateHeaderSize;
    if (len && !pread_all(r.fd, data.data(), len, data_off)) return ERR_INCORRECT_VERSION;
    r.pos = data_off + len;
    int e = handle_record(r, name, type, data, data_off);
    if (e) return e;
  }
  return 0;
}

}  // namespace

void state_reset_read_flag() { g.state_read = false; }

void state_register_settings(uint8_t* block, uint32_t size) {
  g.settings = block;
  g.settings_size = size;
}

StateVarHooks& state_var_hooks() { return g.var_hooks; }

void state_append_record(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> data) {
  le::append_u16(out, uint16_t(kStateVersion));
  out.push_back(1);
  out.push_back(type);
  le::append_u32(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

int state_read(const std::string& name, uint32_t* index, bool* module_file) {
  RegularFile file = regular_file_open(name.c_str(), kStateFileMax);
  if (file.refused != RegularFileRefusal::NotRefused) return ERR_INCORRECT_VERSION;  // no state file can be that
  if (file.error) return file.error;
  UniqueFd& f = file.fd;
  Reader r;
  r.fd = f.get();
  r.size = uint64_t(file.size);
  int e = read_records(r, name);
  if (!e && r.is_state) {
    if (!r.names_ready || (!r.stopped && r.next_data != r.order.size())) e = ERR_INCORRECT_VERSION;  // truncated
  }
  if (!e && r.is_module && (!r.module_index || r.table_name)) e = ERR_INCORRECT_VERSION;
  if (!e && !r.is_state && !r.is_module) e = ERR_INCORRECT_VERSION;  // empty or no known records
  if (!e && r.is_state && r.have[SR_VAR_HEADER] != r.have[SR_VAR_AREA]) e = ERR_INCORRECT_VERSION;
  if (!e && r.is_state && r.have[SR_VAR_HEADER] && g.var_hooks.restore)
    e = g.var_hooks.restore(r.rec[SR_VAR_HEADER], r.rec[SR_VAR_AREA]);
  if (e) {
    if (r.is_state)
      name_pool_init();  // leave an empty, consistent table
    else if (r.module_index) {
      mod_unlink(r.module_index);
      name_delete(r.module_index, true);
    }
    return e;
  }
  if (r.is_state) {
    g.state_read = true;
    // DLL modules and functions are resolved again on use.
    for (int i = 1; i < name_count(); ++i) {
      NameEntry* n = name_entry(uint32_t(i));
      if (n && (n->flags & NF_DLL_MODULE)) n->data = 0;
      if (n && (n->flags & NF_DLL_FUNC)) n->state = 0;
    }
    if (cache_limit() != 0) {
      char buf[4096];
      std::string abs = name;
      if (!abs.empty() && abs[0] != '/' && getcwd(buf, sizeof buf)) abs = std::string(buf) + "/" + abs;
      cache_set_state_file(f.release(), abs);
    }
  }
  if (module_file) *module_file = r.is_module;
  if (index) *index = r.is_module ? r.module_index : 0;
  return 0;
}

// ---- writing --------------------------------------------------------------------

namespace {

int sys_open_temp(const std::string& dir, unsigned mode, std::string& path) {
  for (int n = 0; n < 1000; ++n) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "$zorvexsv.%d", (int(getpid()) + n) % 1000);
    path = dir + "/" + tail;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}
long sys_write(int fd, const void* p, size_t n) { return long(write(fd, p, n)); }
int sys_fsync(int fd) { return fsync(fd); }
int sys_rename(const char* a, const char* b) { return rename(a, b); }

StateFileOps g_ops{sys_open_temp, sys_write, sys_fsync, sys_rename};

// The data record of one entry: from memory, or copied from the open file.
int data_record(uint32_t index, std::vector<uint8_t>& out) {
  NameEntry* e = name_entry(index);
  if (e->state & NS_RESIDENT) {
    const uint8_t* b = name_block(index);
    std::span<const uint8_t> src(b, e->size);
    if (encoded(*e)) {
      out.resize(rle_compress(nullptr, src));
      rle_compress(out.data(), src);
      e->stored = uint32_t(out.size());
    } else {
      out.assign(src.begin(), src.end());
    }
    return 0;
  }
  uint32_t len = encoded(*e) ? e->stored : e->size;
  int fd = cache_state_fd();
  out.resize(len);
  if (fd < 0 || !pread_all(fd, out.data(), len, e->data)) return ERR_READING_FILE;
  return 0;
}

// A FIFO or device named as the state file is written into as it is: a
// rename would replace the node, and there is nothing to sync or read back.
int write_into(const std::string& name, const std::vector<uint8_t>& out) {
  UniqueFd f(open(name.c_str(), O_WRONLY | O_CLOEXEC));
  if (!f) return errno_code(errno);
  if (fd_write_all(f.get(), out.data(), out.size()) != 0) return ERR_WRITING_FILE;
  return f.close() == 0 ? 0 : ERR_WRITING_FILE;
}

}  // namespace

StateFileOps& state_file_ops() { return g_ops; }
void state_file_ops_reset() { g_ops = StateFileOps{sys_open_temp, sys_write, sys_fsync, sys_rename}; }

int state_write(const std::string& name) {
  struct stat st;
  const FileTarget kind = file_target_kind(name.c_str(), &st);
  const bool exists = kind != FileTarget::Missing;
  if (kind == FileTarget::Other) return ERR_ACCESS_DENIED;  // a directory, socket or block device
  if (exists && access(name.c_str(), W_OK) != 0) return ERR_ACCESS_DENIED;
  if (!mod_pending().empty()) return ERR_WRITE_STATE_DURING_RELINK;

  // Everything is built in memory first: record 4 carries the `stored`
  // lengths that encoding the data records sets.
  std::vector<uint32_t> order;
  data_order(order);
  std::vector<std::vector<uint8_t>> data(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    int e = data_record(order[k], data[k]);
    if (e) return e;
  }
  std::vector<uint8_t> out;
  name_pool_compact();
  state_append_record(out, SR_NAMES_HEADER, name_table_header_record());
  state_append_record(out, SR_POOL_DESCRIPTOR, name_pool_descriptor_record());
  state_append_record(out, SR_POOL_AREA, name_pool_area_record());
  state_append_record(out, SR_POOL_TABLE, name_pool_table_record());
  state_append_record(out, SR_NAMES, name_table_entries_record());
  if (g.var_hooks.save) {
    std::vector<uint8_t> r2, r6;
    if (!g.var_hooks.save(r2, r6)) return ERR_INSUFFICIENT_MEMORY;
    state_append_record(out, SR_VAR_HEADER, r2);
    state_append_record(out, SR_VAR_AREA, r6);
  }
  if (g.settings) state_append_record(out, SR_SETTINGS, {g.settings, g.settings_size});
  std::vector<uint32_t> offsets(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    NameEntry* e = name_entry(order[k]);
    offsets[k] = uint32_t(out.size() + kStateHeaderSize);
    state_append_record(out, data_record_type(*e), data[k]);
  }
  if (out.size() > 0xFFFFFFFFu) return ERR_WRITING_FILE;
  if (kind == FileTarget::Stream) return write_into(name, out);

  std::string dir = ".";
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : name.substr(0, slash);
  std::string temp;
  UniqueFd fd(g_ops.open_temp(dir, exists ? unsigned(st.st_mode) : 0644u, temp));
  if (!fd) return errno_code(errno);
  if (exists && fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
    // Keeping the owner needs privileges; the content matters more.
  }
  bool ok = fd_write_all(fd.get(), out.data(), out.size(), g_ops.write) == 0 && g_ops.fsync(fd.get()) == 0;
  ok = fd.close() == 0 && ok;
  if (!ok) {
    unlink(temp.c_str());
    return ERR_WRITING_FILE;
  }
  if (g_ops.rename(temp.c_str(), name.c_str()) != 0) {
    int e = errno_code(errno);
    unlink(temp.c_str());
    return e;
  }

  // The new file now backs the cache: locked blocks are its contents now.
  if (cache_limit() != 0 || cache_state_fd() >= 0) {
    int nfd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (nfd >= 0) {
      char buf[4096];
      std::string abs = name;
      if (!abs.empty() && abs[0] != '/' && getcwd(buf, sizeof buf)) abs = std::string(buf) + "/" + abs;
      cache_set_state_file(nfd, abs);
      for (size_t k = 0; k < order.size(); ++k) {
        NameEntry* e = name_entry(order[k]);
        if (e->state & NS_RESIDENT) {
          cache_set_file_offset(order[k], offsets[k]);
          cache_unlock(order[k]);
        } else {
          e->data = offsets[k];
        }
      }
    }
  }
  return 0;
}

// File-name layer. The wrappers come first; the directory listing
// (dirlist_run and its line builders) is at the end.
#include "base/filename.h"

#include <unistd.h>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

LStrBuf<MACRO_EXT_CAP> macro_source_ext{std::string_view(".e")};
LStrBuf<MACRO_EXT_CAP> macro_compiled_ext{std::string_view(".ex")};

namespace {

// A name as a NUL-terminated path, or refused when it cannot be passed on
// whole (too long, or a NUL byte inside that would silently shorten it).
class CPath {
 public:
  explicit CPath(const LStr* name) : CPath(name->view()) {}
  explicit CPath(std::string_view v) {
    ok_ = v.size() < sizeof buf_ && v.find('\0') == std::string_view::npos;
    size_t n = ok_ ? v.size() : 0;
    if (n) std::memcpy(buf_, v.data(), n);
    buf_[n] = '\0';
  }
  bool ok() const { return ok_; }
  char* get() { return buf_; }
  size_t size() const { return std::strlen(buf_); }

 private:
  char buf_[PATH_MAX];
  bool ok_;
};

void set(LStr* out, std::string_view s, int32_t cap) {
  lstr_set_mem(out, s.data(), static_cast<int32_t>(s.size()), cap);
}

// Strips double quotes from both ends of name, in place.
void strip_quotes(LStr* name) { lstr_strip(name, 'B', '"'); }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Capacity of an out LStr plus the NUL of the C form.
size_t c_size(int32_t cap) { return cap < 0 ? 1 : static_cast<size_t>(cap) + 1; }

}  // namespace

// ---------------------------------------------------------------------------
// Names and paths

int file_open(const LStr* name, int mode) {
  CPath p(name);
  return p.ok() ? os_open(p.get(), mode) : ERR_PATH_NOT_FOUND;
}

int file_exists(const LStr* name) {
  CPath p(name);
  return p.ok() ? os_exists(p.get()) : 0;
}

ErrorCode file_absolute(LStr* out, const LStr* name, int32_t cap) {
  CPath p(name);
  out->len = 0;
  if (!p.ok()) return ERR_PATH_NOT_FOUND;
  char buf[PATH_MAX];
  ErrorCode rc = os_absolute(buf, std::min(sizeof buf, c_size(cap)), p.get());
  if (rc == 0) set(out, buf, cap);
  return rc;
}

ErrorCode file_relative(LStr* out, LStr* name, int32_t cap) {
  strip_quotes(name);
  lstr_copy(out, name, cap);
  std::string_view n = name->view();
  if (n.size() < 2 || n[0] != '/') return 0;
  char cwd[PATH_MAX];
  if (os_getcwd(cwd, sizeof cwd) != 0) return 0;
  std::string dir = cwd;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  size_t d = static_cast<size_t>(file_dir_length(name));
  if (d >= dir.size() && n.substr(0, dir.size()) == dir) lstr_delete(out, 1, static_cast<int32_t>(dir.size()));
  return 0;
}

ErrorCode file_getcwd(LStr* out, int32_t cap) {
  char buf[PATH_MAX];
  out->len = 0;
  ErrorCode rc = os_getcwd(buf, std::min(sizeof buf, c_size(cap)));
  if (rc == 0) set(out, buf, cap);
  return rc;
}

ErrorCode file_chdir(const LStr* name) {
  CPath p(name);
  if (!p.ok()) return ERR_PATH_NOT_FOUND;
  return os_chdir(p.get());
}

ErrorCode file_dir_op(int op, LStr* name) {
  strip_quotes(name);
  CPath p(name);
  if (!p.ok()) return ERR_PATH_NOT_FOUND;
  switch (op) {
    case 0:
      return os_delete(p.get());
    case 1:
      return os_mkdir(p.get());
    case 2:
      return os_chdir(p.get());
    case 3:
      return os_rmdir(p.get());
    default:
      return ERR_INVALID_ARGUMENT_OS;
  }
}

int file_drive_length(const LStr*) { return 0; }

int32_t file_dir_length(const LStr* name) {
  size_t slash = name->view().rfind('/');
  return slash == std::string_view::npos ? 0 : static_cast<int32_t>(slash + 1);
}

namespace {

// Index of the extension's '.', or npos.
size_t extension_start(std::string_view v) {
  for (size_t i = v.size(); i-- > 0;) {
    if (v[i] == '/' || v[i] == '\\') return std::string_view::npos;
    if (v[i] == '.') return i;
  }
  return std::string_view::npos;
}

size_t name_offset(std::string_view v) {
  size_t off = 0;
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == '/' || v[i] == '\\') off = i + 1;
  return off;
}

}  // namespace

void file_extension(const LStr* name, LStr* out, int32_t cap) {
  std::string_view v = name->view();
  size_t dot = extension_start(v);
  set(out, dot == std::string_view::npos ? std::string_view() : v.substr(dot), cap);
}

void file_strip(LStr* name, char letter) {
  if (letter != 'P') {
    size_t dot = extension_start(name->view());
    if (dot != std::string_view::npos) name->len = static_cast<int32_t>(dot);
  }
  if (letter != 'E') lstr_delete(name, 1, static_cast<int32_t>(name_offset(name->view())));
}

ErrorCode file_take_name(LStr* line, LStr* out, int32_t cap) {
  lstr_strip(line, 'B', ' ');
  std::string_view v = line->view();
  std::string_view name;
  size_t used;
  if (!v.empty() && v[0] == '"') {
    size_t close = v.find('"', 1);
    name = v.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    used = close == std::string_view::npos ? v.size() : close + 1;
  } else {
    size_t end = 0;
    while (end < v.size() && !is_blank(v[end])) ++end;
    name = v.substr(0, end);
    used = end;
  }
  if (cap < 0 || name.size() > static_cast<size_t>(cap)) {
    out->len = 0;
    return ERR_PATH_NOT_FOUND;
  }
  while (used < v.size() && is_blank(v[used])) ++used;
  set(out, name, cap);
  lstr_delete(line, 1, static_cast<int32_t>(used));
  return 0;
}

ErrorCode file_quote(LStr* name, int32_t cap) {
  int32_t n = name->len < 0 ? 0 : name->len;
  if (cap < 2 || n > cap - 2) return ERR_PATH_NOT_FOUND;
  std::memmove(name->text + 1, name->text, static_cast<size_t>(n));
  name->text[0] = '"';
  name->text[n + 1] = '"';
  name->len = n + 2;
  return 0;
}

int file_name_eq(const LStr* a, const LStr* b) { return a->view() == b->view() ? 1 : 0; }
void file_fold_case(LStr*) {}

int file_has_wildcards(const LStr* name) {
  std::string_view v = name->view();
  return os_has_wildcards_n(v.data(), v.size());
}

ErrorCode file_find_first(int* handle, LStr* name, uint32_t attr, int32_t cap) {
  if (name->view().size() > 1023) {
    *handle = -1;
    return ERR_PATH_NOT_FOUND;
  }
  CPath p(name);
  if (!p.ok()) {
    *handle = -1;
    return ERR_PATH_NOT_FOUND;
  }
  ErrorCode rc = os_find_first_path(handle, p.get(), std::min(size_t{PATH_MAX}, c_size(cap)), attr);
  if (rc == 0) set(name, p.get(), cap);
  return rc;
}

ErrorCode file_find_next(int handle, LStr* name, int32_t cap) {
  CPath p(name);
  if (!p.ok()) return ERR_PATH_NOT_FOUND;
  ErrorCode rc = os_find_next_path(handle, p.get(), std::min(size_t{PATH_MAX}, c_size(cap)));
  if (rc == 0) set(name, p.get(), cap);
  return rc;
}

// ---------------------------------------------------------------------------
// Searches

ErrorCode file_try_candidate(LStr* path, int32_t cap, int executable, int* flag) {
  CPath p(path);
  if (!p.ok()) return ERR_NO_MORE_FILES;
  ErrorCode rc = os_try_candidate_with(p.get(), std::min(size_t{PATH_MAX}, c_size(cap)), executable, flag,
                                       macro_source_ext.view(), macro_compiled_ext.view());
  set(path, p.get(), cap);
  return rc;
}

ErrorCode file_search_env_path(LStr* out, const LStr* name, const LStr* variable, int executable, int32_t cap,
                               int* flag, int* extra) {
  CPath n(name), var(variable);
  if (!n.ok() || !var.ok()) {
    out->len = 0;
    if (flag) *flag = 0;
    if (extra) *extra = 0;
    return ERR_PATH_NOT_FOUND;
  }
  char buf[PATH_MAX];
  ErrorCode rc = os_search_env_path_with(buf, n.get(), var.get(), executable, std::min(sizeof buf, c_size(cap)), flag,
                                         extra, macro_source_ext.view(), macro_compiled_ext.view());
  set(out, buf, cap);
  return rc;
}

ErrorCode file_search_path(LStr* out, const LStr* name, int executable, int32_t cap, int* flag, int* extra) {
  int entry_flag = flag ? *flag : 0;
  if (os_env_get("ZORVEXPATH") != nullptr) {
    LStrBuf<16> var(std::string_view("ZORVEXPATH"));
    if (file_search_env_path(out, name, var, executable, cap, flag, extra) == 0) return 0;
    if (flag) *flag = entry_flag;
  }
  LStrBuf<16> path(std::string_view("PATH"));
  return file_search_env_path(out, name, path, executable, cap, flag, extra);
}

// ---------------------------------------------------------------------------
// Directory listing

namespace {

// Longest directory text a listing builds: its buffer holds 1,024 bytes with
// the terminator. A longer start directory is not found; a longer
// subdirectory is skipped.
constexpr size_t kListDirMax = 1023;

struct ListContext {
  uint32_t flags;
  DirListConsumer consumer;
  void* user;
  uint32_t attr;
  ErrorCode result;
  std::vector<std::string> visited;  // absolute directories listed, each ending in '/'
};

// The absolute, link-resolved form of a directory text ending in '/'.
std::string absolute_dir(const std::string& dir) {
  char in[PATH_MAX], out[PATH_MAX];
  if (dir.size() >= sizeof in) return dir;
  std::memcpy(in, dir.c_str(), dir.size() + 1);
  if (os_absolute(out, sizeof out, in) != 0) return dir;
  std::string r = out;
  if (r.empty() || r.back() != '/') r += '/';
  return r;
}

void deliver(ListContext& ctx, const std::string& dir, const FindData& fd) {
  LStrBuf<LSTR_CAP_LINE> line;
  if (ctx.flags & DIRLIST_LONG) {
    file_list_line(line, (ctx.flags & DIRLIST_WITH_DIR) ? dir.c_str() : nullptr, &fd);
  } else {
    if (ctx.flags & DIRLIST_LEAD_BLANK) lstr_append_mem(line, " ", 1, line.cap);
    if (ctx.flags & DIRLIST_WITH_DIR) lstr_append_mem(line, dir.data(), static_cast<int32_t>(dir.size()), line.cap);
    lstr_append_mem(line, fd.name, static_cast<int32_t>(std::strlen(fd.name)), line.cap);
  }
  ctx.consumer(line, ctx.user);
  ctx.result = 0;
}

// One directory; returns 0 or a positive search status.
int list_one(ListContext& ctx, const std::string& dir, const std::string& pattern) {
  try {
    ctx.visited.insert(ctx.visited.begin(), absolute_dir(dir));
  } catch (const std::bad_alloc&) {
    // a node that cannot be allocated is simply not added
  }
  std::string full = dir + pattern;
  if (full.size() >= PATH_MAX) return FIND_TOO_LONG;
  int handle = 1;  // the shared search
  FindData fd{};
  int status = os_find_first(full.c_str(), &handle, ctx.attr, &fd);
  while (status == 0) {
    deliver(ctx, dir, fd);
    status = os_find_next(handle, &fd);
  }
  return status == FIND_NO_MORE ? 0 : status;
}

// A subdirectory reached through a symbolic link to a directory listed
// already in this run is not entered again.
bool seen_through_link(const ListContext& ctx, const std::string& entry) {
  char target[PATH_MAX];
  ssize_t n = readlink(entry.c_str(), target, sizeof target);
  if (n < 0 || static_cast<size_t>(n) >= sizeof target) return false;  // not a link
  // Resolving the link's own path follows it to the real directory, whether
  // its target is relative or absolute.
  std::string real = absolute_dir(entry + "/");
  for (const std::string& v : ctx.visited)
    if (v == real) return true;
  return false;
}

int list_tree(ListContext& ctx, const std::string& dir, const std::string& pattern) {
  if (int st = list_one(ctx, dir, pattern); st != 0) return st;
  int handle = -1;
  FindData fd{};
  std::string all = dir + "*";
  int status = os_find_first(all.c_str(), &handle, OS_TYPE_DIR, &fd);
  if (status != 0) return status == FIND_NO_MORE ? 0 : status;
  while (status == 0) {
    std::string_view name(fd.name);
    bool is_dir = (fd.mode & OS_TYPE_MASK) == OS_TYPE_DIR;
    if (is_dir && name != "." && name != "..") {
      std::string entry = dir + std::string(name);
      std::string sub = entry + "/";
      if (sub.size() <= kListDirMax && !seen_through_link(ctx, entry)) {
        if (int st = list_tree(ctx, sub, pattern); st != 0) {
          os_find_close(handle);
          return st;
        }
      }
    }
    status = os_find_next(handle, &fd);
  }
  os_find_close(handle);
  return status == FIND_NO_MORE ? 0 : status;
}

void append(LStr* line, std::string_view s) {
  lstr_append_mem(line, s.data(), static_cast<int32_t>(s.size()), LSTR_CAP_LINE);
}

void append_right(LStr* line, std::string_view s, size_t width) {
  if (s.size() < width) append(line, std::string(width - s.size(), ' '));
  append(line, s);
}

}  // namespace

ErrorCode dirlist_run(const LStr* directory, const LStr* pattern, uint32_t flags, DirListConsumer consumer,
                      uint32_t attr, void* user) {
  ListContext ctx{flags, consumer, user, attr, ERR_FILE_NOT_FOUND, {}};
  std::string dir(directory->view()), pat(pattern->view());
  if (dir.size() > kListDirMax) return ERR_PATH_NOT_FOUND;
  int status = (flags & DIRLIST_RECURSE) ? list_tree(ctx, dir, pat) : list_one(ctx, dir, pat);
  if (status > 0) return -status;
  return ctx.result;
}

void file_mode_string(char* out, const FindData* fd) {
  uint32_t m = fd->mode;
  char type;
  switch (m & OS_TYPE_MASK) {
    case 0x4000:
      type = 'd';
      break;
    case 0x1000:
      type = 'p';
      break;
    case 0x2000:
      type = 'c';
      break;
    case 0x6000:
      type = 'b';
      break;
    case 0xA000:
      type = 'l';
      break;
    case 0xC000:
      type = 's';
      break;
    case 0x8000:
    case 0:
      type = '-';
      break;
    default:
      type = 'u';
      break;  // e.g. a dangling link (0xA000 | 0x4000)
  }
  // Execute places: the special bit shows as a letter, lower case with
  // execute, upper case without.
  auto exec = [m](uint32_t x, uint32_t special, char with, char without) {
    if (m & special) return (m & x) ? with : without;
    return (m & x) ? 'x' : '-';
  };
  out[0] = type;
  out[1] = (m & 0400) ? 'r' : '-';
  out[2] = (m & 0200) ? 'w' : '-';
  out[3] = exec(0100, 04000, 's', 'S');
  out[4] = (m & 040) ? 'r' : '-';
  out[5] = (m & 020) ? 'w' : '-';
  out[6] = exec(010, 02000, 's', 'S');
  out[7] = (m & 04) ? 'r' : '-';
  out[8] = (m & 02) ? 'w' : '-';
  out[9] = exec(01, 01000, 't', 'T');
  out[10] = '\0';
}

void file_list_size_date(LStr* line, const FindData* fd) {
  if ((fd->mode & OS_TYPE_MASK) == OS_TYPE_DIR) {
    append(line, " <DIR>   ");
  } else {
    char size[24];
    std::snprintf(size, sizeof size, "%lld", static_cast<long long>(fd->size));
    append_right(line, size, 9);
  }
  LStrBuf<LSTR_CAP_LINE> date;
  LStrBuf<LSTR_CAP_TIME> time;
  const FileTime& t = fd->written;
  lstr_format_date_time(date, time, t.year, t.month, t.day, t.hour, t.minute, "-", 1);
  append_right(line, date.view(), 10);
  append_right(line, time.view(), 8);
  char mode[11];
  file_mode_string(mode, fd);
  append_right(line, mode, 11);
}

void file_list_line(LStr* line, const char* directory, const FindData* fd) {
  line->len = 0;
  append(line, "  ");
  file_list_size_date(line, fd);
  if (line->len < 42) append(line, std::string(static_cast<size_t>(42 - line->len), ' '));
  if (directory) append(line, directory);
  append(line, fd->name);
}

// File built-ins (see bi_file.h).
#include "macro/bi_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/fd.h"
#include "base/filename.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/code_cache.h"
#include "macro/core_ops.h"
#include "macro/opcode_handlers.h"
#include "macro/proc_port.h"
#include "macro/stack.h"
#include "text/buffer.h"
#include "text/store.h"

FileBiSettings file_bi_settings;

namespace {

// ---- the clock ----------------------------------------------------------------------------

FileBiClock clock_now = os_get_time;

// ---- files -------------------------------------------------------------------------------

// A name as the file built-ins take it: blanks, then double quotes, off
// both ends. Empty when it holds a NUL (no file has such a name).
std::string clean_name(std::string_view s) {
  s = bi_strip_quotes(bi_strip_blanks(s));
  return s.find('\0') == std::string_view::npos ? std::string(s) : std::string();
}

std::string dir_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows a chain of symbolic links to the name of the file itself (which
// need not exist yet), so a copy replaces the file a link names and the link
// stays. 0, or -32 for a loop or a link that cannot be read.
constexpr int kMaxLinkHops = 40;  // as many as the system follows

ErrorCode resolve_links(std::string& name) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return ERR_OK;
    std::string to(PATH_MAX, '\0');
    const ssize_t n = ::readlink(name.c_str(), to.data(), to.size());
    if (n <= 0 || n >= PATH_MAX) return ERR_OPENING_FILE;
    to.resize(static_cast<size_t>(n));
    name = to[0] == '/' ? to : dir_of(name) + to;
  }
  return ERR_OPENING_FILE;
}

// The copy buffer: the large one when memory allows.
struct CopyBuffer {
  char* p = nullptr;
  size_t size = 0;
  bool owned = false;
  CopyBuffer() {
    static char fallback[kCopyChunkFallback];
    p = static_cast<char*>(store_malloc(kCopyChunk));
    owned = p != nullptr;
    size = owned ? kCopyChunk : kCopyChunkFallback;
    if (!owned) p = fallback;
  }
  ~CopyBuffer() {
    if (owned) std::free(p);
  }
};

ErrorCode copy_bytes(int in, int out) {
  CopyBuffer buf;
  for (;;) {
    const int64_t n = os_read(in, buf.p, buf.size);
    if (n < 0) return static_cast<ErrorCode>(n);
    if (n == 0) return ERR_OK;
    if (ErrorCode e = os_write_all(out, buf.p, static_cast<size_t>(n))) return e;
  }
}

// Permissions, owner and (with keep_time) times of the source on the copy.
// The owner is best-effort: a user may not give files away.
void copy_attributes(int fd, const struct stat& src, bool keep_time) {
  struct stat now;
  if (::fstat(fd, &now) == 0 && (now.st_uid != src.st_uid || now.st_gid != src.st_gid)) {
    if (::fchown(fd, src.st_uid, src.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), src.st_gid) != 0) {
      // keep the owner the copy was made with
    }
  }
  if (::fchmod(fd, src.st_mode & 07777) != 0) { /* keep the default permissions */
  }
  if (keep_time) {
    const struct timespec times[2] = {src.st_atim, src.st_mtim};
    if (::futimens(fd, times) != 0) { /* the copy keeps its own times */
    }
  }
}

// ---- settings ------------------------------------------------------------------------------

// Takes the next blank-separated word of s as an integer; false at the end.
// *bad is set when the word is not a number.
bool next_int(std::string_view& s, int32_t* out, bool* bad) {
  s = bi_strip_blanks(s);
  if (s.empty()) return false;
  size_t end = s.find(' ');
  if (end == std::string_view::npos) end = s.size();
  const LStrLine word(s.substr(0, end));
  s.remove_prefix(end);
  lstr_number_error = 0;
  *out = lstr_to_long(word);
  *bad = lstr_number_error != 0;
  return true;
}

void push_cache_sizes() {
  const int32_t code_kb = file_bi_settings.code_cache_bytes < 0 ? -1 : file_bi_settings.code_cache_bytes / 1024;
  const std::string s = std::to_string(file_bi_settings.page_cache_kb) + " " + std::to_string(code_kb);
  vm_push_view(s);
}

void push_lstr(const LStr* s) { vm_push_view(s->view()); }

// Shared by the three one-argument file operations.
void file_op(int op) {
  if (!core_have(1)) return;
  LStrLine path(bi_strip_blanks(bi_arg(1, 0)));
  core_drop(1);
  vm_set_rc(file_dir_op(op, path));
}

}  // namespace

void file_bi_set_clock(FileBiClock now) { clock_now = now ? now : os_get_time; }

ErrorCode file_copy(const LStr* source, const LStr* destination, bool keep_time) {
  const std::string src = clean_name(source->view());
  const std::string dest = clean_name(destination->view());
  if (src.empty() || dest.empty()) return ERR_FILE_NOT_FOUND;
  const int in_fd = os_open(src.c_str(), 0);
  if (in_fd < 0) return in_fd;
  UniqueFd in(in_fd);
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return ERR_READING_FILE;

  std::string target = dest;
  if (ErrorCode e = resolve_links(target)) return e;
  struct stat dst;
  const bool exists = ::stat(target.c_str(), &dst) == 0;
  if (exists && (S_ISFIFO(dst.st_mode) || S_ISCHR(dst.st_mode))) {  // written into, never replaced
    const int out_fd = os_open(target.c_str(), 4);
    if (out_fd < 0) return out_fd;
    UniqueFd out(out_fd);
    if (ErrorCode e = copy_bytes(in.get(), out.get())) return e;
    return out.close() == 0 ? ERR_OK : ERR_WRITING_FILE;
  }
  if (exists && !S_ISREG(dst.st_mode)) return ERR_ACCESS_DENIED;  // a directory is no place for a copy
  if (exists) {
    const int probe = os_open(target.c_str(), 0);
    if (probe >= 0) ::close(probe);
    if (probe >= 0 && os_open_state.open_state == 3) return ERR_ACCESS_DENIED;
  }

  std::string tmp = dir_of(target);
  const int out_fd = file_make_temp_in(tmp, "$zvxc.", 0600);
  if (out_fd < 0) return out_fd == ERR_READING_FILE ? ERR_WRITING_FILE : out_fd;
  UniqueFd out(out_fd);
  ErrorCode rc = copy_bytes(in.get(), out.get());
  if (rc == 0) {
    copy_attributes(out.get(), st, keep_time);
    rc = out.close() == 0 ? ERR_OK : ERR_WRITING_FILE;
  }
  if (rc == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) rc = os_errno_code(errno, ERR_WRITING_FILE);
  if (rc != 0) {
    out.reset();
    ::unlink(tmp.c_str());
  }
  return rc;
}

void date_text(LStr* out, int32_t cap, const SysTime& t) {
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%u/%u/%u", t.month, t.day, t.year);
  lstr_set_mem(out, buf, n, cap);
}

void datetime_key_text(LStr* out, int32_t cap, const FileTime& t) {
  char buf[40];
  const int n =
      std::snprintf(buf, sizeof buf, "%u%02u%02u%02u%02u%05u", t.year, t.month, t.day, t.hour, t.minute, t.ms);
  lstr_set_mem(out, buf, n, cap);
}

void time_text(LStr* out, int32_t cap, const SysTime& t, char option) {
  char buf[40];
  int n;
  const unsigned seconds = t.ms / 1000u;
  switch (option) {
    case 'M':
      n = std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", t.hour, t.minute, seconds);
      break;
    case 'B':
      n = std::snprintf(buf, sizeof buf, "%lu",
                        static_cast<unsigned long>(t.hour) * 3600000ul + t.minute * 60000ul + t.ms);
      break;
    default: {
      const unsigned h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
      n = std::snprintf(buf, sizeof buf, "%u:%02u%s", h12, t.minute, t.hour < 12 ? "am" : "pm");
    }
  }
  lstr_set_mem(out, buf, n, cap);
}

// ---- built-ins ---------------------------------------------------------------------------

// Main 217: path -> the length of its directory part (0 without a '/').
void bi_path_length() {
  if (!core_have(1)) return;
  const int32_t n = file_dir_length(core_value(0));
  core_drop(1);
  vm_push_int(n);
}

// Main 218, 219, 221: path: delete the file, make or remove the directory;
// rc = 0 or the error.
void bi_file_delete() { file_op(0); }
void bi_file_mkdir() { file_op(1); }
void bi_file_rmdir() { file_op(3); }

// Main 223: [directory] -> the spill-directory setting, set first when given
// (with a '/' added when missing). The text store follows it while it has
// no spill file yet. A directory too long for the setting is -3015.
void bi_spill_dir() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  if (n == 1) {
    std::string dir(bi_strip_blanks(bi_arg(n, 0)));
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    if (dir.size() > static_cast<size_t>(kSpillDirCap) || dir.find('\0') != std::string::npos)
      return bi_fail(n, ERR_INVALID_ARGUMENT);
    file_bi_settings.spill_dir.assign(dir);
    store_set_spill_dir(dir);
  }
  core_drop(n);
  push_lstr(file_bi_settings.spill_dir);
}

// Main 226: [sizes] -> "page-cache-KB code-cache-KB", after setting them from
// up to two blank-separated numbers (32767 or more: no limit). The page
// cache goes to the text store (-2029 raised, nothing changed, when it is
// too small); the code cache is at least 150 KB and is applied at once while
// the code cache is in use.
void bi_cache_size() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  int32_t values[2] = {0, 0};
  int32_t given = 0;
  if (n == 1) {
    std::string_view s = bi_arg(n, 0);
    bool bad = false;
    while (given < 2 && next_int(s, &values[given], &bad)) {
      if (bad) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
      ++given;
    }
  }
  core_drop(n);
  if (given >= 1) {
    int32_t kb = values[0] >= kCacheNoLimitFrom || values[0] < 0 ? -1 : values[0];
    int32_t limit = 0;
    if (ErrorCode e = store_set_page_limit(kb, limit)) {
      // -2029 does not stop the macro: it goes on with the sizes unchanged.
      if (!core_raise_stops(e)) push_cache_sizes();
      return;
    }
    file_bi_settings.page_cache_kb = kb;
  }
  if (given == 2) {
    int32_t kb = values[1] >= kCacheNoLimitFrom ? -1 : values[1];
    if (kb < kCodeCacheMinKb) kb = kCodeCacheMinKb;
    file_bi_settings.code_cache_bytes = kb * 1024;
    if (cache_limit() != 0) {  // the cache is in use: the new limit drops code now
      cache_set_limit(file_bi_settings.code_cache_bytes);
      name_data_alloc(nullptr, 0);  // drops what no longer fits, allocates nothing
    }
  }
  push_cache_sizes();
}

// Main 248: [value] -> the current buffer's load-state byte, set first when
// given. -2073 without a buffer.
void bi_buf_page_loaded_flag() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  int32_t v = 0;
  if (n == 1 && !bi_arg_to_int(n, 0, &v)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(n);
  BufferRec* b = buf_current();
  if (!b) {
    vm_raise_error(ERR_NOT_ALLOWED_ON_OBJECT);
    return;
  }
  if (n == 1) b->load_state = static_cast<uint8_t>(v);
  vm_push_int(b->load_state);
}

// Main 241: source destination: copies the file with its time stamp; rc = 0
// or the error.
void bi_copy_file() {
  if (!core_have(2)) return;
  const LStrLine src(bi_arg(2, 0)), dest(bi_arg(2, 1));
  core_drop(2);
  vm_set_rc(file_copy(src, dest, true));
}

// Main 198: [ignored] -> today's date, m/d/yy.
void bi_date() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  core_drop(n);
  SysTime t{};
  clock_now(&t);
  LStrBuf<32> s;
  date_text(s, s.cap, t);
  push_lstr(s);
}

// Main 199: [option T, B or M] -> the time of day.
void bi_time() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char option = 'T';
  if (n == 1 && val_option_letter(&option, "TBM", bi_arg(n, 0)) != 0) return bi_fail(n, ERR_INVALID_ARGUMENT);
  core_drop(n);
  SysTime t{};
  clock_now(&t);
  LStrBuf<32> s;
  time_text(s, s.cap, t, option);
  push_lstr(s);
}

// Ext 199: name, option B -> the modification time as a sortable key; rc 0,
// or (with an empty result) the error of reading it. Another option, or
// none, is -3015.
void bi_file_date() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  char option = 0;
  if (n < 2 || val_option_letter(&option, "B", bi_arg(n, 1)) != 0 || option != 'B')
    return bi_fail(n, ERR_INVALID_ARGUMENT);
  const std::string name(bi_arg(n, 0));
  core_drop(n);
  FileTime ft{};
  const ErrorCode rc = name.find('\0') == std::string::npos ? os_file_time(name.c_str(), &ft) : ERR_PATH_NOT_FOUND;
  LStrBuf<40> s;
  if (rc == 0) datetime_key_text(s, s.cap, ft);
  push_lstr(s);
  vm_set_rc(rc);
}

// Ext 104: time [, option K]: waits hundredths of a second (-1 until ended).
// With K it returns at once when input is pending, and input ends the wait.
void bi_delay() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t time = 0;
  if (!bi_arg_to_int(n, 0, &time)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  char option = 0;
  if (n == 2 && val_option_letter(&option, "K", bi_arg(n, 1)) != 0) return bi_fail(n, ERR_INVALID_ARGUMENT);
  core_drop(n);
  const bool keys = option == 'K';
  if (keys && proc_input_pending()) return;
  proc_delay(time, keys);
}

// Ext 228: handle count, variable operand -> the number of bytes read (0 on
// an error) into the variable; at most 1024, none for a negative count.
void bi_file_read() {
  const uint32_t var = vm_fetch_var_operand();
  if (var == 0 || !core_have(2)) return;
  int32_t handle = 0, count = 0;
  if (!bi_arg_to_int(2, 0, &handle) || !bi_arg_to_int(2, 1, &count)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(2);
  char buf[kFileReadMax];
  const size_t want = count < 0 ? 0 : static_cast<size_t>(count > kFileReadMax ? kFileReadMax : count);
  int64_t got = want == 0 ? 0 : os_read(handle, buf, want);
  if (got < 0) got = 0;
  var_store_bytes(var, buf, static_cast<int32_t>(got));
  vm_push_int(static_cast<int32_t>(got));
}

// Ext 229: handle text -> the number of bytes written, or the error code.
void bi_file_write() {
  if (!core_have(2)) return;
  int32_t handle = 0;
  if (!bi_arg_to_int(2, 0, &handle)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  const std::string text = bi_arg_str(2, 1);
  core_drop(2);
  const int64_t r = text.empty() ? 0 : os_write(handle, text.data(), text.size());
  vm_push_int(static_cast<int32_t>(r));
}

// Ext 230, 231: -> the host name, the domain name (at most 1024 bytes).
void bi_hostname() {
  char buf[LSTR_CAP_LINE + 1] = {};
  if (::gethostname(buf, LSTR_CAP_LINE) != 0) buf[0] = '\0';
  vm_push_cstr(buf);
}

void bi_domainname() {
  char buf[LSTR_CAP_LINE + 1] = {};
  if (::getdomainname(buf, LSTR_CAP_LINE) != 0) buf[0] = '\0';
  vm_push_cstr(buf);
}

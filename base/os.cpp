// Operating-system layer. Start with os_open (file modes and the read-only
// fallback), then the directory search at the end of the file (find handles
// over a table of search records).
#include "base/os.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/env_port.h"
#include "base/fd.h"
#include "base/file_io.h"
#include "base/find_pattern_port.h"

namespace {

// Codes of the message table used here, by their short local names.
constexpr ErrorCode kFileNotFound = ERR_FILE_NOT_FOUND;
constexpr ErrorCode kPathNotFound = ERR_PATH_NOT_FOUND;
constexpr ErrorCode kTooManyFiles = ERR_TOO_MANY_OPEN_FILES;
constexpr ErrorCode kAccessDenied = ERR_ACCESS_DENIED;
constexpr ErrorCode kNoMemory = ERR_INSUFFICIENT_MEMORY;
constexpr ErrorCode kNoMoreFiles = ERR_NO_MORE_FILES;
constexpr ErrorCode kOpenError = ERR_OPENING_FILE;
constexpr ErrorCode kReadError = ERR_READING_FILE;
constexpr ErrorCode kWriteError = ERR_WRITING_FILE;
constexpr ErrorCode kCloseError = ERR_CLOSING_FILE;
constexpr ErrorCode kDiskFull = ERR_INSUFFICIENT_DISK_SPACE;
constexpr ErrorCode kMkdirError = ERR_CREATING_DIRECTORY_ENTRY;
constexpr ErrorCode kInvalidArgument = ERR_INVALID_ARGUMENT_OS;
constexpr ErrorCode kBadRegex = ERR_INVALID_REGEX;

bool is_sep(char c) { return c == '/' || c == '\\'; }

// Index of the extension's '.', or npos: the last '.' after the last separator.
size_t extension_start(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (is_sep(path[i])) return std::string_view::npos;
    if (path[i] == '.') return i;
  }
  return std::string_view::npos;
}

// Copies s into out (size bytes) when it fits with its NUL.
bool put(char* out, size_t size, std::string_view s) {
  if (s.size() + 1 > size) return false;
  if (!s.empty()) std::memcpy(out, s.data(), s.size());
  out[s.size()] = '\0';
  return true;
}

bool is_dir_mode(uint32_t mode) { return (mode & OS_TYPE_MASK) == OS_TYPE_DIR; }

int open_retry(const char* path, int flags, mode_t perm = 0) {
  int fd;
  do fd = file_io().open(path, flags | O_CLOEXEC, perm);
  while (fd < 0 && errno == EINTR);
  return fd;
}

int open_existing_rw(const char* path) {
  OsOpenState& st = os_open_state;
  st.open_state = 0;
  st.root_override = 0;
  int fd = open_retry(path, O_RDWR);
  if (fd >= 0) {
    struct stat sb;
    if (fstat(fd, &sb) == 0 && (sb.st_mode & S_IWUSR) == 0) {  // owner may not write?
      ::close(fd);
      fd = -1;
      if (geteuid() == 0) st.root_override = 1;
    }
  }
  if (fd < 0) {
    st.open_state = 3;
    fd = open_retry(path, O_RDONLY);
    if (fd < 0) return os_open_error(path, errno);
    return fd;
  }
  // Region locking is a no-op on this platform; only the seek remains.
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// Keeps the saved owner and mode on a file a save just created or truncated.
// Best-effort: the target is already truncated, so failing the open here would
// lose the user's file. Owner first, because a change of owner may clear the
// set-id bits that the mode restores.
void apply_kept_attributes(int fd) {
  const OsOpenState& st = os_open_state;
  struct stat sb;
  bool known = fstat(fd, &sb) == 0;
  if (st.keep_owner && (!known || sb.st_uid != st.uid_to_keep || sb.st_gid != st.gid_to_keep)) {
    if (fchown(fd, st.uid_to_keep, st.gid_to_keep) != 0) {
      // A user may not give a file away, but may still set one of their groups.
      if (fchown(fd, static_cast<uid_t>(-1), st.gid_to_keep) != 0) { /* keep what we have */
      }
    }
  }
  if (st.keep_mode && (!known || (sb.st_mode & 07777) != st.mode_to_keep)) {
    if (fchmod(fd, st.mode_to_keep) != 0) { /* keep the default permissions */
    }
  }
}

// ---- current directory cache ----
char cwd_cache[PATH_MAX];
bool cwd_valid = false;

ErrorCode fill_cwd() {
  if (cwd_valid) return 0;
  if (getcwd(cwd_cache, sizeof cwd_cache) == nullptr) {
    cwd_cache[0] = '\0';
    return os_errno_code(errno, kPathNotFound);
  }
  cwd_valid = true;
  return 0;
}

// Joins a, a '/' unless a is empty or ends with one, and b into out.
bool join(char* out, size_t size, std::string_view a, std::string_view b) {
  bool slash = !a.empty() && a.back() != '/';
  size_t need = a.size() + (slash ? 1 : 0) + b.size() + 1;
  if (need > size) return false;
  if (!a.empty()) std::memcpy(out, a.data(), a.size());
  size_t n = a.size();
  if (slash) out[n++] = '/';
  if (!b.empty()) std::memcpy(out + n, b.data(), b.size());
  out[n + b.size()] = '\0';
  return true;
}

}  // namespace

OsOpenState os_open_state = {0, 0, 0, 0, 0, 0, 0, 1};

const char* os_env_get(const char* name) { return env_lookup(name); }

ErrorCode os_errno_code(int err, ErrorCode fallback) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
      return kFileNotFound;
    case ENOMEM:
      return kNoMemory;
    case EACCES:
    case EPERM:
    case ETXTBSY:
      return kAccessDenied;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kPathNotFound;
    case ENFILE:
    case EMFILE:
      return kTooManyFiles;
    default:
      return fallback;
  }
}

// ---------------------------------------------------------------------------
// Path text

size_t os_path_name_offset(const char* path) {
  size_t off = 0;
  for (size_t i = 0; path[i] != '\0'; ++i)
    if (is_sep(path[i])) off = i + 1;
  return off;
}

void os_path_extension(const char* path, char* out, size_t size) {
  if (size == 0) return;
  std::string_view p(path);
  size_t dot = extension_start(p);
  std::string_view ext = dot == std::string_view::npos ? p.substr(p.size()) : p.substr(dot);
  if (ext.size() > size - 1) ext = ext.substr(0, size - 1);
  std::memcpy(out, ext.data(), ext.size());
  out[ext.size()] = '\0';
}

void os_path_strip(char* path, char letter) {
  if (letter == 'E' || letter == 'B') {
    size_t dot = extension_start(path);
    if (dot != std::string_view::npos) path[dot] = '\0';
  }
  size_t off = os_path_name_offset(path);
  if (letter == 'P' || letter == 'B') {
    std::memmove(path, path + off, std::strlen(path + off) + 1);
  } else if (letter == 'N') {
    path[off] = '\0';
  }
}

int os_drive_length(const char*) { return 0; }
void os_fold_case(char*) {}
void os_fold_case_n(char*, size_t) {}

int os_has_wildcards_n(const char* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    switch (bytes[i]) {
      case '?':
      case '*':
      case '(':
      case ')':
      case '[':
      case ']':
      case '^':
      case '\\':
      case '|':
        return 1;
      default:
        break;
    }
  }
  return 0;
}

int os_has_wildcards(const char* path) { return os_has_wildcards_n(path, std::strlen(path)); }

int cstr_eq(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 1 : 0; }

char* cstr_itoa(int32_t value, char* buffer, int radix) {
  static constexpr char digits[] = "0123456789abcdef";
  if (radix < 2 || radix > 16) radix = 10;
  uint32_t mag = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  char tmp[33];
  int n = 0;
  do {
    tmp[n++] = digits[mag % static_cast<uint32_t>(radix)];
    mag /= static_cast<uint32_t>(radix);
  } while (mag != 0);
  char* p = buffer;
  if (value < 0) *p++ = '-';
  while (n > 0) *p++ = tmp[--n];
  *p = '\0';
  return buffer;
}

char* cstr_ltoa(int32_t value, char* buffer, int radix) { return cstr_itoa(value, buffer, radix); }

// ---------------------------------------------------------------------------
// Files

ErrorCode os_open_error(const char* path, int err) {
  if (err == ENOENT) {
    std::string_view p(path);
    size_t slash = p.rfind('/');
    if (slash != std::string_view::npos && slash > 0) {
      std::string dir(p.substr(0, slash));  // directory part without its final '/'
      if (!os_exists(dir.c_str())) return kPathNotFound;
    }
  }
  return os_errno_code(err, kOpenError);
}

int os_open(const char* path, int mode) {
  int fd;
  switch (mode) {
    case 0:
      return open_existing_rw(path);
    case 1:
      fd = open_retry(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
      if (fd >= 0) apply_kept_attributes(fd);
      break;
    case 2:
      fd = open_retry(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
      break;
    case 3:
      fd = open_retry(path, O_RDWR);
      break;
    case 4:
      fd = open_retry(path, O_WRONLY);
      break;
    default:
      return kInvalidArgument;
  }
  if (fd < 0) return os_open_error(path, errno);
  return fd;
}

ErrorCode os_close(int handle) { return file_io().close(handle) == 0 ? 0 : kCloseError; }

int64_t os_read(int handle, void* buffer, size_t n) {
  ssize_t r;
  do r = file_io().read(handle, buffer, n);
  while (r < 0 && errno == EINTR);
  return r < 0 ? os_errno_code(errno, kReadError) : r;
}

int64_t os_write(int handle, const void* buffer, size_t n) {
  ssize_t r;
  do r = file_io().write(handle, buffer, n);
  while (r < 0 && errno == EINTR);
  return r < 0 ? os_errno_code(errno, kWriteError) : r;
}

ErrorCode os_write_all(int handle, const void* buffer, size_t n) {
  const int e = fd_write_all(handle, buffer, n);
  if (e == 0) return 0;
  if (e == ENOSPC || e == EDQUOT) return kDiskFull;  // a write that took nothing counts as ENOSPC
  return os_errno_code(e, kWriteError);
}

off_t os_seek(int handle, off_t offset, int whence) {
  int w = whence == 1 ? SEEK_CUR : whence == 2 ? SEEK_END : SEEK_SET;
  return file_io().seek(handle, offset, w);
}

ErrorCode os_lock_region(int, int, off_t) { return 0; }

off_t os_file_size(const char* path) {
  struct stat sb;
  return stat(path, &sb) == 0 ? sb.st_size : -1;
}

int os_exists(const char* path) {
  struct stat sb;
  return stat(path, &sb) == 0 ? 1 : 0;
}

ErrorCode os_delete(const char* path) { return unlink(path) == 0 ? 0 : os_errno_code(errno, kAccessDenied); }

ErrorCode os_rename(const char* new_name, const char* old_name) {
  // The kernel's no-replace rename is one step and also moves directories;
  // file systems without it get the link-and-unlink of old.
  if (renameat2(AT_FDCWD, old_name, AT_FDCWD, new_name, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return os_errno_code(errno, kPathNotFound);
  if (link(old_name, new_name) != 0) return os_errno_code(errno, kPathNotFound);
  if (unlink(old_name) != 0) {
    int err = errno;
    unlink(new_name);
    return os_errno_code(err, kPathNotFound);
  }
  return 0;
}

void os_filetime_from_time(time_t t, FileTime* out) {
  struct tm tm {};
  localtime_r(&t, &tm);
  out->ms = static_cast<uint16_t>(tm.tm_sec * 1000);
  out->minute = static_cast<uint8_t>(tm.tm_min);
  out->hour = static_cast<uint8_t>(tm.tm_hour);
  out->day = static_cast<uint8_t>(tm.tm_mday);
  out->month = static_cast<uint8_t>(tm.tm_mon + 1);
  out->year = static_cast<uint16_t>(tm.tm_year + 1900);
}

ErrorCode os_file_time(const char* path, FileTime* out) {
  struct stat sb;
  if (stat(path, &sb) != 0) return os_errno_code(errno, kReadError);
  os_filetime_from_time(sb.st_mtime, out);
  return 0;
}

ErrorCode os_file_mtime(const char* path, time_t* out) {
  struct stat sb;
  if (stat(path, &sb) != 0) return os_errno_code(errno, kReadError);
  *out = sb.st_mtime;
  return 0;
}

// ---------------------------------------------------------------------------
// Directories, programs and the process

void os_cwd_cache_clear() { cwd_valid = false; }

ErrorCode os_chdir(const char* path) {
  os_cwd_cache_clear();
  return chdir(path) == 0 ? 0 : os_errno_code(errno, kPathNotFound);
}

ErrorCode os_getcwd(char* out, size_t out_size) {
  if (out_size == 0) return kPathNotFound;
  out[0] = '\0';
  if (ErrorCode rc = fill_cwd(); rc != 0) return rc;
  return put(out, out_size, cwd_cache) ? 0 : kPathNotFound;
}

ErrorCode os_absolute(char* out, size_t out_size, char* path) {
  if (out_size == 0) return kPathNotFound;
  out[0] = '\0';
  for (char* p = path; *p; ++p)
    if (*p == '\\') *p = '/';
  size_t len = std::strlen(path);
  size_t lead = 0;
  while (lead < len && path[lead] == '"') ++lead;
  while (len > lead && path[len - 1] == '"') --len;
  std::memmove(path, path + lead, len - lead);
  path[len - lead] = '\0';

  std::string_view p(path);
  size_t name_off = os_path_name_offset(path);
  if (name_off == 0) {
    if (ErrorCode rc = fill_cwd(); rc != 0) return rc;
    return join(out, out_size, cwd_cache, p) ? 0 : kPathNotFound;
  }
  std::string dir(p.substr(0, name_off));
  if (dir.size() > 1) dir.pop_back();  // drop the final '/' unless it is the root
  char real[PATH_MAX];
  struct stat sb;
  // What a change of directory would accept: an existing, searchable directory.
  if (realpath(dir.c_str(), real) != nullptr && stat(real, &sb) == 0 && S_ISDIR(sb.st_mode) &&
      euidaccess(real, X_OK) == 0) {
    if (!join(out, out_size, real, p.substr(name_off))) {
      out[0] = '\0';
      return kPathNotFound;
    }
    return 0;
  }
  return put(out, out_size, p) ? 0 : kPathNotFound;
}

ErrorCode os_try_candidate_with(char* path, size_t size, int executable, int* flag, std::string_view source_ext,
                                std::string_view compiled_ext) {
  int asked = flag ? *flag : 0;
  if (flag) *flag = 0;
  struct stat sb;
  if (!executable || !asked) return (stat(path, &sb) == 0 && !S_ISDIR(sb.st_mode)) ? 0 : kNoMoreFiles;

  size_t len = std::strlen(path);
  size_t dot = extension_start(std::string_view(path, len));
  std::string ext = dot == std::string_view::npos ? std::string() : std::string(path + dot, len - dot);
  if (ext != source_ext && ext != compiled_ext && stat(path, &sb) == 0 && (sb.st_mode & 0111) != 0 &&
      !S_ISDIR(sb.st_mode))
    return 0;
  size_t base = dot == std::string_view::npos ? len : dot;
  for (std::string_view e : {source_ext, compiled_ext}) {
    if (base + e.size() + 1 > size) continue;  // would not fit: not a candidate
    std::memcpy(path + base, e.data(), e.size());
    path[base + e.size()] = '\0';
    if (stat(path, &sb) == 0) {
      if (flag) *flag = 1;
      return 0;
    }
  }
  std::memcpy(path + base, ext.data(), ext.size());  // put the old extension back
  path[base + ext.size()] = '\0';
  return kNoMoreFiles;
}

ErrorCode os_try_candidate(char* path, size_t size, int executable, int* flag) {
  return os_try_candidate_with(path, size, executable, flag, ".e", ".ex");
}

ErrorCode os_search_env_path_with(char* out, const char* name, const char* variable, int executable, size_t size,
                                  int* flag, int* extra, std::string_view source_ext, std::string_view compiled_ext) {
  if (extra) *extra = 0;
  int entry_flag = flag ? *flag : 0;
  std::string_view n(name);
  if (n.size() > 255 || !put(out, size, n)) {  // over-long names are refused, never cut
    if (size > 0) out[0] = '\0';
    if (flag) *flag = 0;
    return kPathNotFound;
  }
  if (n.find('/') != std::string_view::npos)
    return os_try_candidate_with(out, size, executable, flag, source_ext, compiled_ext) == 0 ? 0 : kFileNotFound;
  const char* value = os_env_get(variable ? variable : "PATH");
  if (value == nullptr) return os_try_candidate_with(out, size, executable, flag, source_ext, compiled_ext);

  std::string_view list(value);
  size_t pos = 0;
  for (;;) {
    while (pos < list.size() && list[pos] == ' ') ++pos;
    size_t end = list.find(':', pos);
    if (end == std::string_view::npos) end = list.size();
    if (join(out, size, list.substr(pos, end - pos), n)) {
      if (flag) *flag = entry_flag;
      if (os_try_candidate_with(out, size, executable, flag, source_ext, compiled_ext) == 0) return 0;
    }
    if (end >= list.size()) break;
    pos = end + 1;
  }
  if (flag) *flag = 0;
  put(out, size, n);
  return kFileNotFound;
}

ErrorCode os_search_env_path_ex(char* out, const char* name, const char* variable, int executable, size_t size,
                                int* flag, int* extra) {
  return os_search_env_path_with(out, name, variable, executable, size, flag, extra, ".e", ".ex");
}

ErrorCode os_search_env_path(char* out, size_t size, const char* name, const char* variable, int executable) {
  int flag = 0, extra = 0;
  ErrorCode rc = os_search_env_path_ex(out, name, variable, executable, size, &flag, &extra);
  return rc == 0 || rc == kPathNotFound ? rc : kFileNotFound;
}

ErrorCode os_shell(char* out, size_t size) {
  const char* v = os_env_get("SHELL");
  if (put(out, size, v ? v : "/bin/sh")) return 0;
  if (size > 0) out[0] = '\0';
  return kPathNotFound;
}

ErrorCode os_mkdir(const char* path) { return mkdir(path, 0777) == 0 ? 0 : kMkdirError; }
ErrorCode os_rmdir(const char* path) { return rmdir(path) == 0 ? 0 : kPathNotFound; }

int os_getpid() { return static_cast<int>(getpid()); }

int32_t os_wait_child(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -32;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return WTERMSIG(status) * 256;
  return -32;
}

void os_sleep_ms(int ms) {
  if (ms <= 0) return;
  struct timespec ts {
    ms / 1000, static_cast<long>(ms % 1000) * 1000000L
  };
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void os_beep(int frequency, int ms) {
  if (frequency == 0) {
    os_sleep_ms(ms);
    return;
  }
  std::fputc(7, stdout);
  std::fflush(stdout);
}

void os_get_time(SysTime* out) {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm {};
  localtime_r(&ts.tv_sec, &tm);
  out->year = static_cast<uint16_t>(tm.tm_year);
  out->month = static_cast<uint16_t>(tm.tm_mon + 1);
  out->day = static_cast<uint16_t>(tm.tm_mday);
  out->hour = static_cast<uint16_t>(tm.tm_hour);
  out->minute = static_cast<uint16_t>(tm.tm_min);
  out->ms = static_cast<uint16_t>(tm.tm_sec * 1000 + ts.tv_nsec / 1000000);
  out->weekday = static_cast<uint16_t>(tm.tm_wday);
}

void os_filetime_to_systime(const FileTime* in, SysTime* out) {
  out->year = static_cast<uint16_t>(in->year - 1900);
  out->month = in->month;
  out->day = in->day;
  out->hour = in->hour;
  out->minute = in->minute;
  out->ms = in->ms;
}

void os_systime_to_filetime(const SysTime* in, FileTime* out) {
  out->year = static_cast<uint16_t>(in->year + 1900);
  out->month = static_cast<uint8_t>(in->month);
  out->day = static_cast<uint8_t>(in->day);
  out->hour = static_cast<uint8_t>(in->hour);
  out->minute = static_cast<uint8_t>(in->minute);
  out->ms = in->ms;
}

// ---------------------------------------------------------------------------
// Directory search

namespace {

// One open directory search. The stream is null whenever it is closed, so no
// path can close it twice.
struct SearchRecord {
  DIR* stream = nullptr;
  FindData match{};
  std::string expr;  // the wildcard as an expression
  std::string dir;   // directory part: empty or ending in '/'
  uint32_t attr = 0;
  bool match_all = false;  // "^?*$": no matcher needed
  void* compiled = nullptr;
  bool live = false;
  int next_free = -1;  // index of the next free record

  void close() {
    if (stream) closedir(stream);
    stream = nullptr;
    if (compiled) find_pattern_release(compiled);
    compiled = nullptr;
  }
};

// Handles are 1-based indexes; index 0 (handle 1) is the shared record and
// never goes on the free list.
std::vector<SearchRecord> search_table;
int free_head = -1;
FindData shared_find_data;

SearchRecord* record_of(int handle) {
  if (handle < 1 || static_cast<size_t>(handle) > search_table.size()) return nullptr;
  return &search_table[static_cast<size_t>(handle) - 1];
}

bool name_matches(const SearchRecord& r, std::string_view name) {
  if (r.match_all) return true;
  return r.compiled && find_pattern_match(r.compiled, name) != 0;
}

int scan(SearchRecord& r) {
  if (!r.stream) return FIND_NO_MORE;
  std::string full;
  for (;;) {
    struct dirent* e = readdir(r.stream);
    if (e == nullptr) return FIND_NO_MORE;
    std::string_view name(e->d_name);
    if (!name_matches(r, name)) continue;
    full.assign(r.dir).append(name);
    struct stat sb;
    uint32_t mode;
    if (stat(full.c_str(), &sb) == 0) {
      mode = sb.st_mode;
    } else if (lstat(full.c_str(), &sb) == 0) {
      mode = sb.st_mode | OS_MODE_DANGLING;
    } else if (errno == ENOENT) {
      continue;  // vanished meanwhile
    } else if (errno == EACCES) {
      return FIND_DENIED;
    } else if (errno == ENAMETOOLONG) {
      continue;  // cannot be named from here
    } else {
      return FIND_NOT_FOUND;
    }
    if (is_dir_mode(mode) && (r.attr & OS_TYPE_MASK) != OS_TYPE_DIR) continue;
    FindData& m = r.match;
    m.mode = mode;
    m.size = sb.st_size;
    os_filetime_from_time(sb.st_mtime, &m.written);
    m.created = m.accessed = m.written;
    put(m.name, sizeof m.name, name);  // names are at most 255 bytes
    return 0;
  }
}

// Prepares a search record for pattern and scans for its first match.
int find_open(const char* pattern, uint32_t attr, SearchRecord& r) {
  std::string_view p(pattern);
  size_t name_off = os_path_name_offset(pattern);
  if (name_off + 2 > PATH_MAX) return FIND_TOO_LONG;
  r.dir.assign(p.substr(0, name_off));
  std::string dot = r.dir + ".";
  r.stream = opendir(dot.c_str());
  if (r.stream == nullptr) {
    switch (errno) {
      case EACCES:
        return FIND_NO_MORE;
      case EMFILE:
        return FIND_TOO_MANY;
      case ENAMETOOLONG:
        return FIND_TOO_LONG;
      default:
        return FIND_NOT_FOUND;
    }
  }
  r.attr = attr;
  char expr[OS_EXPR_MAX + 2];
  if (!os_wildcard_to_expr(p.substr(name_off), expr, sizeof expr)) return FIND_TOO_LONG;
  r.expr = expr;
  r.match_all = r.expr == "^?*$";
  if (!r.match_all) {
    ErrorCode err = 0;
    r.compiled = find_pattern_compile(r.expr, &err);
    if (r.compiled == nullptr) return err == kNoMemory ? FIND_NO_MEMORY : FIND_BAD_PATTERN;
  }
  return scan(r);
}

ErrorCode path_status_code(int status) {
  switch (status) {
    case FIND_NOT_FOUND:
      return kFileNotFound;
    case FIND_TOO_LONG:
      return kPathNotFound;
    case FIND_BAD_PATTERN:
      return kBadRegex;
    default:
      return kNoMoreFiles;
  }
}

// Replaces the name part of path by the match, '/' after a directory.
bool put_match(char* path, size_t path_size, const FindData& fd) {
  // After a directory match the path ends in '/': the name part is still the
  // text before that '/'.
  size_t len = std::strlen(path);
  bool trailing = len > 0 && path[len - 1] == '/';
  if (trailing) path[len - 1] = '\0';
  size_t off = os_path_name_offset(path);
  if (trailing) path[len - 1] = '/';
  size_t n = std::strlen(fd.name);
  bool dir = is_dir_mode(fd.mode);
  if (off + n + (dir ? 1 : 0) + 1 > path_size) return false;
  std::memcpy(path + off, fd.name, n);
  if (dir) path[off + n++] = '/';
  path[off + n] = '\0';
  return true;
}

}  // namespace

bool os_wildcard_to_expr(std::string_view wildcard, char* out, size_t out_size) {
  static constexpr std::string_view kEscaped = "+@#${}^~:";
  std::string e = "^";
  for (size_t i = 0; i < wildcard.size(); ++i) {
    char c = wildcard[i];
    bool after_backslash = i > 0 && wildcard[i - 1] == '\\';
    if (c == '*' && !after_backslash) {
      e += "?*";
    } else if (kEscaped.find(c) != std::string_view::npos && !after_backslash) {
      e += '\\';
      e += c;
    } else {
      e += c;
    }
    if (e.size() > OS_EXPR_MAX) return false;  // refused, not cut
  }
  e += '$';
  return put(out, out_size, e);
}

int os_wildcard_match(std::string_view expr, std::string_view name) {
  if (expr == "^?*$") return 1;
  ErrorCode err = 0;
  void* c = find_pattern_compile(expr, &err);
  if (c == nullptr) return err == 0 ? kBadRegex : err;
  int r = find_pattern_match(c, name) != 0 ? 1 : 0;
  find_pattern_release(c);
  return r;
}

int os_find_first(const char* pattern, int* handle, uint32_t attr, FindData* out) {
  if (*handle != -1)
    if (SearchRecord* old = record_of(*handle)) old->close();
  SearchRecord r;
  int status = find_open(pattern, attr, r);
  if (status != 0) {
    r.close();
    return status;
  }
  int h;
  try {
    if (search_table.empty()) search_table.emplace_back();  // the shared record
    if (*handle != -1) {
      h = 1;
    } else if (free_head >= 0) {
      h = free_head + 1;
      free_head = search_table[static_cast<size_t>(free_head)].next_free;
    } else {
      search_table.emplace_back();
      h = static_cast<int>(search_table.size());
    }
  } catch (const std::bad_alloc&) {
    r.close();
    return FIND_NO_MEMORY;
  }
  SearchRecord& slot = search_table[static_cast<size_t>(h) - 1];
  slot.close();  // the shared record may still hold an earlier search
  r.live = true;
  slot = r;
  r.stream = nullptr;  // now owned by the table
  r.compiled = nullptr;
  *handle = h;
  *out = slot.match;
  return 0;
}

int os_find_next(int handle, FindData* out) {
  SearchRecord* r = record_of(handle);
  if (r == nullptr || !r->live) return FIND_NO_MORE;
  int status = scan(*r);
  if (status == 0) {
    *out = r->match;
  } else {
    r->close();  // nothing more to read: give the descriptor back now
  }
  return status;
}

void os_find_close(int handle) {
  if (handle == 1 || handle == -1) return;
  SearchRecord* r = record_of(handle);
  if (r == nullptr || !r->live) return;  // already closed
  r->close();
  r->live = false;
  r->next_free = free_head;
  free_head = handle - 1;
}

void os_find_close_all() {
  for (size_t i = 0; i < search_table.size(); ++i) {
    search_table[i].close();
    search_table[i].live = false;
  }
  search_table.clear();
  free_head = -1;
}

void os_closedir(void* stream) {
  if (stream) closedir(static_cast<DIR*>(stream));
}

int os_find_open_streams() {
  int n = 0;
  for (const SearchRecord& r : search_table)
    if (r.stream) ++n;
  return n;
}

ErrorCode os_find_first_path(int* handle, char* path, size_t path_size, uint32_t attr) {
  if (std::strlen(path) > 1023) {
    *handle = -1;
    return kPathNotFound;
  }
  int status = os_find_first(path, handle, attr, &shared_find_data);
  if (status != 0) {
    *handle = -1;
    return path_status_code(status);
  }
  if (!put_match(path, path_size, shared_find_data)) {
    if (*handle != 1)
      os_find_close(*handle);
    else if (SearchRecord* r = record_of(1))
      r->close();
    *handle = -1;
    return kPathNotFound;
  }
  return 0;
}

ErrorCode os_find_next_path(int handle, char* path, size_t path_size) {
  int status = os_find_next(handle, &shared_find_data);
  if (status != 0) return path_status_code(status);
  return put_match(path, path_size, shared_find_data) ? 0 : kPathNotFound;
}

// File matching (see file_match.h). Start reading at bi_file_match.
#include "macro/file_match.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "base/filename.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"

namespace {

constexpr int32_t kBottom = -2;
constexpr int32_t kNoSearch = -1;

struct FileMatchRecord {
  int32_t handle = kNoSearch;  // directory search, -1 none, -2 bottom of a walk
  bool recursive = false;
  uint32_t flags = 0;   // option flags of the walk
  uint32_t attr = 0;    // attribute mask of the walk
  std::string pattern;  // wildcard name part
  std::string dir;      // directory path, empty or ending in '/'
  uint8_t phase = 0;    // 0 matching the pattern, 1 scanning for subdirectories
};

std::vector<FileMatchRecord> stack;

bool is_dir(const FindData& fd) { return (fd.mode & OS_TYPE_MASK) == OS_TYPE_DIR; }

void close_record(FileMatchRecord& r) {
  if (r.handle > 0) os_find_close(r.handle);
  r.handle = kNoSearch;
}

// Index of the innermost walk's bottom record, -1 when the stack is empty.
ptrdiff_t innermost_bottom() {
  for (ptrdiff_t i = static_cast<ptrdiff_t>(stack.size()) - 1; i >= 0; --i)
    if (stack[static_cast<size_t>(i)].handle == kBottom) return i;
  return -1;
}

void close_innermost() {
  const ptrdiff_t bottom = innermost_bottom();
  if (bottom < 0) return;
  while (static_cast<ptrdiff_t>(stack.size()) > bottom) {
    close_record(stack.back());
    stack.pop_back();
  }
}

// Starts the record's search for its directory and a name pattern.
int first(FileMatchRecord& r, std::string_view name, uint32_t attr, FindData* fd) {
  close_record(r);
  std::string path = r.dir;
  path.append(name);
  if (path.find('\0') != std::string::npos || path.size() >= kMatchPathCap) return FIND_TOO_LONG;
  int h = -1;
  const int st = os_find_first(path.c_str(), &h, attr, fd);
  if (st == 0) r.handle = h;
  return st;
}

std::string real_path(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.empty() ? "." : path.c_str(), buf) ? std::string(buf) : std::string();
}

// A subdirectory reached through a symbolic link is entered only when it
// leads to none of the directories this walk is in, so a link to an
// ancestor cannot make the walk endless.
bool enterable(const std::string& sub) {
  struct stat sb;
  const std::string link = sub.substr(0, sub.size() - 1);  // a trailing '/' would follow the link
  if (::lstat(link.c_str(), &sb) != 0 || !S_ISLNK(sb.st_mode)) return true;
  const std::string target = real_path(sub);
  if (target.empty()) return false;
  for (ptrdiff_t i = static_cast<ptrdiff_t>(stack.size()) - 1; i >= 0; --i) {
    const FileMatchRecord& r = stack[static_cast<size_t>(i)];
    if (r.handle == kBottom) break;
    if (real_path(r.dir) == target) return false;
  }
  return true;
}

// Turns a search status into the built-in's rc: "no more files" reads as
// -2 "File not found".
int32_t status_code(int st) {
  switch (st) {
    case FIND_NO_MORE:
    case FIND_NOT_FOUND:
      return ERR_FILE_NOT_FOUND;
    case FIND_TOO_LONG:
      return ERR_PATH_NOT_FOUND;
    case FIND_TOO_MANY:
      return ERR_TOO_MANY_OPEN_FILES;
    case FIND_DENIED:
      return ERR_ACCESS_DENIED;
    case FIND_NO_MEMORY:
      return ERR_INSUFFICIENT_MEMORY;
    case FIND_BAD_PATTERN:
      return ERR_INVALID_REGEX;
    default:
      return ERR_FILE_NOT_FOUND;
  }
}

// Follows the walk on top of the stack from the search status st (of a
// first or next search of the top record) to its next result. 0 with the
// result in out, or the rc of the end or the error (out empty).
int32_t walk(int st, FindData& fd, std::string* out) {
  for (;;) {
    FileMatchRecord& r = stack.back();
    if (st == 0) {
      const bool dir = is_dir(fd);
      const std::string_view name(fd.name);
      std::string path = r.dir;
      path.append(name);
      if (r.phase == 0) {
        const bool wanted = !((r.flags & kMatchDirsOnly) && !dir);
        if (wanted && path.size() + (dir ? 1 : 0) <= kMatchPathCap) {
          if (r.flags & kMatchLong) {
            LStrLine line;
            file_list_line(line, r.dir.c_str(), &fd);
            out->assign(line.view());
          } else {
            out->assign(path);
            if (dir) out->push_back('/');
          }
          return ERR_OK;
        }
        st = os_find_next(r.handle, &fd);
        continue;
      }
      path.push_back('/');
      if (dir && name != "." && name != ".." && path.size() + r.pattern.size() < kMatchPathCap && enterable(path)) {
        FileMatchRecord sub;
        sub.recursive = r.recursive;
        sub.flags = r.flags;
        sub.attr = r.attr;
        sub.pattern = r.pattern;
        sub.dir = std::move(path);
        stack.push_back(std::move(sub));  // r is not used after this
        FileMatchRecord& top = stack.back();
        st = first(top, top.pattern, top.attr, &fd);
        continue;
      }
      st = os_find_next(r.handle, &fd);
      continue;
    }
    if (st == FIND_NO_MORE && r.phase == 0 && r.recursive) {
      r.phase = 1;
      st = first(r, "*", r.attr | kMatchAttrDirs, &fd);
      continue;
    }
    if (st == FIND_NO_MORE && r.phase == 1) {
      close_record(r);
      stack.pop_back();
      FileMatchRecord& below = stack.back();
      // The walk's own end reads as "not found" too, so a loop that tests rc
      // ends as one that tests for the empty result.
      if (below.handle == kBottom) return ERR_FILE_NOT_FOUND;
      st = os_find_next(below.handle, &fd);
      continue;
    }
    return status_code(st);
  }
}

// Starts a walk for the file pattern in line, with its options.
int32_t begin(std::string_view line, std::string* out) {
  uint32_t attrs = kMatchAttrDirs, flags = kMatchPrefix;
  LStrLine spec;
  if (ErrorCode e = file_match_parse_options(line, &attrs, &flags, spec, spec.cap)) return e;
  std::string s(spec.view());
  const size_t name_at = s.rfind('/') == std::string::npos ? 0 : s.rfind('/') + 1;
  if ((flags & kMatchPrefix) && !os_has_wildcards_n(s.data(), s.size())) s.push_back('*');
  FileMatchRecord bottom;
  bottom.handle = kBottom;
  bottom.recursive = (flags & kMatchRecurse) != 0;
  bottom.flags = flags;
  bottom.attr = attrs;
  bottom.pattern = s.substr(name_at);
  FileMatchRecord search = bottom;
  search.handle = kNoSearch;
  search.dir = s.substr(0, name_at);
  stack.push_back(std::move(bottom));
  stack.push_back(std::move(search));
  FindData fd{};
  FileMatchRecord& top = stack.back();
  return walk(first(top, top.pattern, top.attr, &fd), fd, out);
}

// Continues the innermost walk: nothing more once its search is gone.
int32_t resume(std::string* out) {
  FileMatchRecord& top = stack.back();
  if (top.handle < 0) return ERR_FILE_NOT_FOUND;
  FindData fd{};
  return walk(os_find_next(top.handle, &fd), fd, out);
}

bool letter_option(char c, bool set, uint32_t* attrs, uint32_t* flags) {
  auto put = [set](uint32_t* word, uint32_t bit) { *word = set ? (*word | bit) : (*word & ~bit); };
  switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'D':
      put(attrs, kMatchAttrDirs);
      return true;
    case 'T':
      put(flags, kMatchRecurse);
      return true;
    case 'P':
      put(flags, kMatchPrefix);
      return true;
    case 'V':
      put(flags, kMatchLong);
      return true;
    case 'X':
      put(flags, kMatchDirsOnly);
      return true;
    case 'A':
    case 'H':
    case 'R':
    case 'S':
      return true;
    default:
      return false;
  }
}

}  // namespace

ErrorCode file_match_parse_options(std::string_view line, uint32_t* attrs, uint32_t* flags, LStr* spec,
                                   int32_t spec_cap) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    if (line[i] == '"') {  // a quoted name may hold blanks
      const size_t close = line.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? line.size() : close;
      lstr_set_mem(spec, line.data() + i + 1, static_cast<int32_t>(end - i - 1), spec_cap);
      i = close == std::string_view::npos ? line.size() : close + 1;
      continue;
    }
    size_t end = line.find(' ', i);
    if (end == std::string_view::npos) end = line.size();
    const std::string_view word = line.substr(i, end - i);
    i = end;
    if (word[0] == '+' || word[0] == '-') {
      for (char c : word.substr(1))
        if (!letter_option(c, word[0] == '+', attrs, flags)) return ERR_INVALID_OPTION;
    } else {
      lstr_set_mem(spec, word.data(), static_cast<int32_t>(word.size()), spec_cap);
    }
  }
  return ERR_OK;
}

void file_match_close_all() {
  while (!stack.empty()) {
    close_record(stack.back());
    stack.pop_back();
  }
}

int32_t file_match_depth() { return static_cast<int32_t>(stack.size()); }

// Main 94: specification start -> the next match, or the empty string at
// the end of the walk. Start 1 ends every walk and begins a new one, 2 ends
// the innermost walk only (and gives the empty string), 0 continues the
// innermost walk or begins one when none is open. rc 0 with a result, else
// the end's or the error's code.
void bi_file_match() {
  if (!core_have(2)) return;
  int32_t start = 0;
  if (!bi_arg_to_int(2, 1, &start)) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  if (start < 0 || start > 2) return bi_fail(2, ERR_INVALID_ARGUMENT);
  const LStrLine line(bi_arg(2, 0));
  core_drop(2);
  if (start == 2) {
    close_innermost();
    vm_push_view({});
    return;
  }
  if (start == 1) file_match_close_all();
  std::string out;
  int32_t rc;
  try {
    rc = stack.empty() || start == 1 ? begin(line.view(), &out) : resume(&out);
  } catch (const std::bad_alloc&) {
    rc = ERR_INSUFFICIENT_MEMORY;
    out.clear();
  }
  if (rc == ERR_INVALID_OPTION) {  // raised; the macro goes on with the empty result
    if (core_raise_stops(rc)) return;
    vm_push_view({});
    return;
  }
  vm_push_view(out);
  vm_set_rc(rc);
}

// Recovery copies (see recovery.h).
#include "text/recovery.h"

#include <sys/stat.h>

#include <cstdlib>

#include "text/buffer.h"
#include "text/curline.h"
#include "text/save.h"

namespace {

constexpr const char* kSuffix = ".recovered";
constexpr const char* kUntitled = "untitled";
// Numbered names tried before giving up: far more copies of one file than
// anyone keeps, few enough to look through at once.
constexpr int kMaxNumbered = 999;

bool taken(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The first free "<base>.recovered[-n]".
std::string free_name(const std::string& base) {
  std::string p = base + kSuffix;
  for (int n = 2; taken(p); ++n) {
    if (n > kMaxNumbered) return {};
    p = base + kSuffix + "-" + std::to_string(n);
  }
  return p;
}

std::string_view base_name(std::string_view file) {
  const size_t slash = file.rfind('/');
  return slash == std::string_view::npos ? file : file.substr(slash + 1);
}

// Writes the buffer to `path` (never its own file): 0 or the save's code.
ErrorCode write_copy(BufferRec* buf, const std::string& path) {
  if (path.empty()) return ERR_FILE_NOT_FOUND;
  // No backup: nothing stood there. The name is quoted, so blanks stay in it.
  return buf_save_buffer(buf, "+o \"" + path + "\"");
}

}  // namespace

std::string recovery_copy_path(std::string_view file) {
  return free_name(file.empty() ? std::string(kUntitled) : std::string(file));
}

std::string recovery_write_buffer(BufferRec* buf) {
  if (!buf) return {};
  line_flush_if(buf);
  const std::string name(buf->name.view());
  std::string path = recovery_copy_path(name);
  if (!path.empty() && path != name && write_copy(buf, path) == 0) return path;
  // The file's own directory took nothing: the home directory then.
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  const std::string_view base = name.empty() ? std::string_view(kUntitled) : base_name(name);
  path = free_name(std::string(home) + "/" + std::string(base));
  if (!path.empty() && path != name && write_copy(buf, path) == 0) return path;
  return {};
}

std::vector<std::string> recovery_write_modified(std::vector<std::string>* failed) {
  line_flush_current();
  // The buffers first: writing a copy must not move the walk's cursor.
  std::vector<BufferRec*> modified;
  for (BufferRec* b = buf_match_next("", true, 0); b; b = buf_match_next("", false, 0))
    if (b->modified && !(b->flags & kBufHidden)) modified.push_back(b);
  std::vector<std::string> written;
  for (BufferRec* b : modified) {
    const uint8_t was = b->modified;
    std::string path = recovery_write_buffer(b);
    b->modified = was;  // the file itself still lacks the changes
    if (!path.empty())
      written.push_back(std::move(path));
    else if (failed)
      failed->emplace_back(b->name.view());
  }
  return written;
}

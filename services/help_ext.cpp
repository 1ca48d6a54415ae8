// External help (see help_ext.h).
#include "services/help_ext.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "base/os.h"
#include "base/regular_file.h"
#include "macro/bi_args.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "services/help_instance.h"

namespace {

constexpr size_t kCommandMax = 1023;
std::string g_install_dir;  // the program's directory, with its final '/'; empty: none
constexpr size_t kPathMax = 4096;
// An index file is lines of "(pattern,command)"; a few megabytes is far more
// than any book shelf needs.
constexpr int64_t kIndexFileMax = 4 << 20;

// Forks twice so that the program runs on without becoming our zombie; a
// close-on-exec pipe carries the exec failure's errno back.
int32_t start_detached(const std::vector<std::string>& argv) {
  if (argv.empty()) return ERR_FILE_NOT_FOUND;
  char path[kPathMax];
  if (argv[0].find('/') != std::string::npos) {
    std::snprintf(path, sizeof path, "%s", argv[0].c_str());
  } else if (const ErrorCode e = os_search_env_path(path, sizeof path, argv[0].c_str(), "PATH", 1)) {
    return e;
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return os_errno_code(errno, -4);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return os_errno_code(errno, ERR_SYSTEM_CALL_FAILED);
  }
  if (child == 0) {
    ::close(fds[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::execv(path, args.data());
      const int err = errno;
      (void)!::write(fds[1], &err, sizeof err);
      ::_exit(127);
    }
    if (grandchild < 0) {
      const int err = errno;
      (void)!::write(fds[1], &err, sizeof err);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t got;
  while ((got = ::read(fds[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(fds[0]);
  return got == static_cast<ssize_t>(sizeof err) ? os_errno_code(err, ERR_SYSTEM_CALL_FAILED) : 0;
}

int32_t map_command(int32_t c) {
  switch (c) {
    case kHelpContents:
    case kHelpOnHelp:
    case kHelpNothing:
    case kHelpKeyword:
    case kHelpPartialKeyword:
    case kHelpIndex:
      return c;
    default:
      return kHelpKeyword;
  }
}

std::string_view strip(std::string_view s) { return bi_strip_blanks(s); }

// Reads the index files named in the "+"-separated list along BOOKSHELF
// into one text: a final 0x1A of a file is dropped, empty files left out.
int32_t load_indexes(std::string_view list, std::string* text) {
  while (true) {
    const size_t plus = list.find('+');
    const std::string name(list.substr(0, plus));
    char path[kPathMax];
    if (const ErrorCode e = os_search_env_path(path, sizeof path, name.c_str(), "BOOKSHELF", 0)) return e;
    std::string data;
    if (const ErrorCode e = regular_file_read(path, kIndexFileMax, &data)) return e;
    if (!data.empty() && data.back() == '\x1a') data.pop_back();
    if (!data.empty()) *text += data + "\n";
    if (plus == std::string_view::npos) return 0;
    list.remove_prefix(plus + 1);
  }
}

}  // namespace

int32_t help_index_lookup(std::string_view index, std::string_view keyword, std::string* command) {
  if (keyword.empty()) return ERR_STRING_NOT_FOUND;
  size_t at = 0;
  while (at < index.size()) {
    size_t end = index.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = index.size();
    const std::string_view line = index.substr(at, end - at);
    at = end + (index.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line.empty() || line[0] != '(') continue;
    size_t i = 0;  // position in the keyword and in the pattern (after "(")
    bool match = false;
    for (;; ++i) {
      if (1 + i >= line.size()) return ERR_STRING_NOT_FOUND;  // no "," in the entry
      const char pc = line[1 + i];
      if (i == keyword.size()) {
        match = pc == ',';
        break;
      }
      if (std::tolower(static_cast<unsigned char>(pc)) != std::tolower(static_cast<unsigned char>(keyword[i]))) {
        match = pc == '*';
        break;
      }
    }
    if (!match) continue;
    const size_t comma = line.find(',', 1 + i);
    if (comma == std::string_view::npos) return ERR_STRING_NOT_FOUND;
    const size_t close = line.find(')', comma + 1);
    if (close == std::string_view::npos) return ERR_STRING_NOT_FOUND;
    *command = std::string(line.substr(comma + 1, std::min(close - comma - 1, kCommandMax)));
    return 0;
  }
  return ERR_STRING_NOT_FOUND;
}

int32_t help_show(std::string_view file_in, std::string_view keyword, int32_t command) {
  command = map_command(command);
  const std::string file(strip(file_in));
  char ext[64];
  os_path_extension(file.c_str(), ext, sizeof ext);
  const bool show_keyword = command == kHelpKeyword || command == kHelpPartialKeyword;
  if (std::strcmp(ext, ".inf") == 0) {
    if (!show_keyword) return ERR_STRING_NOT_FOUND;
    std::vector<std::string> argv = {"view", file};
    if (!keyword.empty()) argv.emplace_back(keyword);
    return start_detached(argv);
  }
  if (std::strcmp(ext, ".ndx") == 0) {
    if (!show_keyword) return ERR_STRING_NOT_FOUND;
    if (file.empty()) return ERR_FILE_NOT_FOUND;
    std::string text;
    if (const int32_t e = load_indexes(file, &text)) return e;
    std::string cmd;
    if (const int32_t e = help_index_lookup(text, keyword, &cmd)) return e;
    // The keyword reaches the shell as "$1", never as text it would parse.
    if (const size_t tilde = cmd.find('~'); tilde != std::string::npos) cmd.replace(tilde, 1, "\"$1\"");
    return start_detached({"/bin/sh", "-c", cmd, "zorvex-help", std::string(keyword)});
  }
  char path[kPathMax];
  ErrorCode e = ERR_FILE_NOT_FOUND;
  for (const char* var : {"ZORVEXPATH", "PATH", "HELP"})
    if ((e = os_search_env_path(path, sizeof path, file.c_str(), var, 0)) == 0) break;
  std::string found = e == 0 ? std::string(path) : std::string();
  // Last, the help files that come with the editor, beside the program.
  if (found.empty() && !g_install_dir.empty() && !file.empty() && file.find('/') == std::string::npos &&
      ::access((g_install_dir + file).c_str(), R_OK) == 0)
    found = g_install_dir + file;
  if (found.empty()) return ERR_FILE_NOT_FOUND;
  // A file that does not load says why, so that the user learns what is
  // wrong with it; a wrong version is the file's, not a system call's.
  if (ErrorCode load = 0; help_create_instance(found, kHelpInstanceTitle, &load) != 1)
    return load == 0 ? ERR_SYSTEM_CALL_FAILED : load > 0 ? ERR_INCORRECT_VERSION : load;
  switch (command) {
    case kHelpKeyword:
    case kHelpPartialKeyword: {
      const std::string k(keyword);
      char* end = nullptr;
      const long number = std::strtol(k.c_str(), &end, 10);
      const bool numeric = end != k.c_str() && bi_strip_blanks(std::string_view(end)).empty() && number != 0;
      const int32_t answer =
          numeric ? help_instance_topic_number(static_cast<int32_t>(number)) : help_instance_keyword(keyword);
      return answer != 0 ? ERR_STRING_NOT_FOUND : 0;
    }
    case kHelpContents:
      return help_instance_contents() != 0 ? ERR_SYSTEM_CALL_FAILED : 0;
    case kHelpIndex:
      return help_instance_index() != 0 ? ERR_SYSTEM_CALL_FAILED : 0;
    case kHelpOnHelp:
      return help_instance_help() != 0 ? ERR_SYSTEM_CALL_FAILED : 0;
    default:
      return 0;
  }
}

void help_set_install_dir(std::string_view dir) {
  g_install_dir = std::string(dir);
  if (!g_install_dir.empty() && g_install_dir.back() != '/') g_install_dir += '/';
}

void bi_help() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  int32_t command = -1;
  if (n == 3 && !bi_strip_blanks(bi_arg(n, 2)).empty() && !bi_arg_int(n, 2, &command)) return;
  const std::string file = bi_arg_str(n, 0), keyword = bi_arg_str(n, 1);
  core_drop(n);
  vm_set_rc(help_show(file, keyword, command));
}

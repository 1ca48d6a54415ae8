// Command execution. Start reading at cmd_execute_line: the word scan, the
// command lookup, then cmd_run_external for macro module files and programs.
#include "macro/command_exec.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/filename.h"
#include "base/messages.h"
#include "macro/bi_misc.h"
#include "macro/catch.h"
#include "macro/command_port.h"
#include "macro/event_port.h"
#include "macro/event_tables.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/key_dispatch.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "text/buffer.h"

namespace {

// Characters that continue a command word besides letters, digits and
// bytes from 128 up.
constexpr std::string_view kWordChars = "~!@$%^&*()-_=+\\|[]{};:',<.>/?";
// Text after a program that only a shell understands.
constexpr std::string_view kShellSyntax = "|&;<>()$`\\*?[]{}~'#";
constexpr size_t kPrefixMax = 1024;
constexpr size_t kArgMax = 1024;

std::string command_prefix;
bool use_terminal = false;

// The screen after a command that asked for it: the key dispatch's refresh.
void refresh_screen() { evt_refresh(); }

bool word_char(unsigned char c) {
  return std::isalnum(c) || c >= 128 || kWordChars.find(static_cast<char>(c)) != std::string_view::npos;
}

std::string shell_program() {
  const char* s = env_get("SHELL");
  return s && *s ? s : "/bin/sh";
}

// The executable found along ZORVEXPATH and PATH; *macro when a macro
// extension was added. Empty with *rc set when not found.
std::string search(std::string_view word, bool macro_aware, bool* macro, int32_t* rc) {
  LStrLine in(word), out;
  int flag = macro_aware ? 1 : 0, extra = 0;
  *rc = file_search_path(out, in, 1, LSTR_CAP_LINE, &flag, &extra);
  *macro = *rc == 0 && flag == 1;
  return *rc == 0 ? std::string(out.view()) : std::string();
}

// Splits at blanks; double quotes group and go.
std::vector<std::string> split_args(std::string_view s) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : s) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the current prefix (split into words) followed by tail words.
int32_t run_with_prefix(std::vector<std::string> tail, uint32_t flags) {
  CmdProcess p;
  p.argv = split_args(command_prefix);
  for (std::string& t : tail) p.argv.push_back(std::move(t));
  p.flags = flags;
  return cmd_run_program(p);
}

int32_t report(int32_t result, uint32_t flags) {
  if (result >= 0) return result;
  if (flags & CMD_MESSAGE_LINE) {
    cmd_show_message(msg_text(result));
    return result;
  }
  vm_report_error(result, false);
  return result;
}

// A macro module found by the search: compile when its source is newer,
// load (once more with a forced compile on an old module), run its entries
// with the argument text. The result is rc read as a number.
int32_t run_module(const std::string& path, std::string_view rest) {
  const int c = mod_compile_if_needed(path, false, mod_source_ext());
  if (c == 1) return 1;  // the compiler refused: no report
  // The search names the source when there is one; what runs is its module.
  std::string module = path;
  const std::string& src = mod_source_ext();
  if (module.size() > src.size() && module.compare(module.size() - src.size(), src.size(), src) == 0)
    module.replace(module.size() - src.size(), src.size(), mod_compiled_ext());
  uint32_t index = 0;
  bool module_file = false;
  int r = mod_load_file(module, &index, &module_file, false);
  if (r == -3000) {
    if (mod_compile_if_needed(path, true, mod_source_ext()) != 0) return -3000;
    r = mod_load_file(module, &index, &module_file, false);
  }
  if (r != 0) return r;
  r = mod_run_init(rest, static_cast<int32_t>(index), false);
  if (r != 0) return r;
  vm_run();
  return var_int(1);
}

}  // namespace

std::string& cmd_command_prefix() { return command_prefix; }

uint32_t name_command_flags(uint32_t index) {
  const std::string_view info = index ? name_info(index) : std::string_view();
  const size_t comma = info.find(',');
  if (comma == std::string_view::npos) return 0;
  return static_cast<uint32_t>(std::strtoul(std::string(info.substr(comma + 1)).c_str(), nullptr, 10));
}

bool cmd_needs_edit_window(uint32_t f) {
  const WindowObject* cl = cmd_command_line();
  return !(cl && window_current() == cl && (f & (4 | 0x800)));
}

bool cmd_buffer_read_only(const WindowObject* object) {
  const BufferRec* b = object && object->view ? object->view->buffer : nullptr;
  return b && lstr_ieq_cstr(b->locals.mode_name, "Read only") != 0;
}

int32_t cmd_check_allowed(uint32_t f) {
  if (!cmd_needs_edit_window(f)) return 0;
  const WindowObject* frame = cmd_frame_object();
  const WindowObject* child = frame ? frame->first_child : nullptr;
  const bool edit_window = child && !(child->flags & kWinHidden);
  int32_t rc = 0;
  if (!(f & 1) && !edit_window)
    rc = ERR_NOT_ALLOWED_NO_EDIT_WINDOWS;
  else if (!(f & 2) && child && cmd_window_state(child) == 'I')
    rc = ERR_NOT_ALLOWED_ICONIZED;
  else if (!(f & 16) && cmd_buffer_read_only(child))
    rc = ERR_READ_ONLY_MODE;
  if (rc) vm_report_error(rc, false);
  return rc;
}

int32_t cmd_xterm_prefix(bool wait, std::string_view title) {
  const char* xt = env_get("ZORVEXXTERM");
  std::vector<std::string> words = split_args(xt ? xt : "xterm");
  if (words.empty()) words.push_back("xterm");
  bool macro = false;
  int32_t rc = 0;
  std::string path = search(words[0], false, &macro, &rc);
  for (const char* fallback : {"/usr/X11/bin/xterm", "/usr/bin/X11/xterm"})
    if (path.empty() && access(fallback, X_OK) == 0) path = fallback;
  if (path.empty()) {
    vm_report_error(ERR_XTERM_NOT_FOUND, false);
    return ERR_XTERM_NOT_FOUND;
  }
  std::string prefix = path.find(' ') != std::string::npos ? '"' + path + '"' : path;
  for (size_t i = 1; i < words.size(); ++i) prefix += ' ' + words[i];
  if (wait) {
    const std::string zw = search("zvxwait", false, &macro, &rc);
    if (zw.empty()) {
      vm_report_error(ERR_ZVXWAIT_NOT_FOUND, false);
      return ERR_ZVXWAIT_NOT_FOUND;
    }
    std::string t(title);
    t = t.substr(t.rfind('/') == std::string::npos ? 0 : t.rfind('/') + 1);
    prefix += " -T \"" + t + "\" -e \"" + zw + "\"";
    const std::string sh = shell_program();
    if (prefix.size() + sh.size() + 4 <= 256) prefix += ' ' + sh;
    prefix += " -c";
  }
  command_prefix = prefix.substr(0, kPrefixMax);
  return 0;
}

int32_t cmd_run_external(std::string_view word, std::string_view rest, uint32_t flags) {
  const bool terminal = use_terminal;
  use_terminal = false;
  if (word.find_first_not_of(' ') == std::string_view::npos) {  // an interactive terminal or shell
    if (command_prefix.empty())
      if (const int32_t rc = cmd_xterm_prefix(false, ""); rc != 0) return rc;
    return run_with_prefix({}, flags);
  }
  const LStrLine w(word);
  if (file_has_wildcards(w)) return report(flags & CMD_MESSAGE_LINE ? ERR_UNKNOWN_COMMAND : -2, flags);
  bool macro = false;
  int32_t rc = 0;
  const std::string path = search(word, !(flags & CMD_NO_MACRO_FILES), &macro, &rc);
  if (path.empty()) return report(flags & CMD_MESSAGE_LINE ? ERR_UNKNOWN_COMMAND : rc, flags);
  if (macro) return report(run_module(path, rest), flags);
  // A terminal prefix built for this run goes with it: the next command
  // must not land in a terminal it did not ask for.
  struct DropBuilt {
    bool built = false;
    ~DropBuilt() {
      if (built) command_prefix.clear();
    }
  } drop;
  if ((flags & CMD_TERMINAL || terminal) && command_prefix.empty()) {
    if (const int32_t r = cmd_xterm_prefix(true, path); r != 0) return r;
    drop.built = true;
  }
  const std::vector<std::string> args = split_args(rest);
  const bool shell_syntax = rest.find_first_of(kShellSyntax) != std::string_view::npos;
  if (!command_prefix.empty()) {
    // The prefix ends in "-c" (a shell or the terminal's): one line follows.
    std::string line = shell_quote(path);
    for (const std::string& a : args) line += ' ' + (shell_syntax ? a : shell_quote(a));
    if (shell_syntax) line = shell_quote(path) + ' ' + std::string(rest);
    return report(run_with_prefix({line}, flags), flags);
  }
  CmdProcess p;
  p.flags = flags;
  if (shell_syntax && !(flags & CMD_NO_SHELL)) {
    p.argv = {shell_program(), "-c", shell_quote(path) + ' ' + std::string(rest)};
    // execv needs the shell's path.
    bool m = false;
    int32_t r = 0;
    if (p.argv[0].find('/') == std::string::npos) p.argv[0] = search(p.argv[0], false, &m, &r);
  } else {
    p.argv.push_back(path);
    p.argv.insert(p.argv.end(), args.begin(), args.end());
  }
  return report(cmd_run_program(p), flags);
}

int32_t cmd_execute_line(std::string_view text, uint32_t flags) {
  use_terminal = (flags & CMD_TERMINAL) != 0;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::string_view scan = text;
  if (text.empty()) {
    if (flags & CMD_LOOKUP) {
      vm_set_rc(0);
      return 0;
    }
    const int32_t r = cmd_run_external("", "", flags);
    vm_set_rc(r);
    return r;
  }
  std::string word, arg;
  const unsigned char c0 = static_cast<unsigned char>(text.front());
  if (std::isdigit(c0)) {
    const size_t end = std::min(text.find(' '), text.size());
    const std::string first(text.substr(0, end));
    char* stop = nullptr;
    std::strtol(first.c_str(), &stop, 10);
    if (*stop == '\0') {  // a number
      std::string_view after = text.substr(end);
      while (!after.empty() && after.front() == ' ') after.remove_prefix(1);
      if (!after.empty()) {
        scan = after;
      } else if (flags & CMD_LOOKUP) {
        word.assign(1, '0');  // not = "0": GCC 12 at -O3 warns falsely of an overlap
        arg = std::string(text);
        scan = {};
      } else {
        const int32_t r = cmd_run_external("", "", flags);
        vm_set_rc(r);
        return r;
      }
    }
  }
  if (!scan.empty()) {
    const bool quoted = scan.front() == '"';
    size_t i = quoted ? 1 : 0;
    while (i < scan.size()) {
      const unsigned char c = static_cast<unsigned char>(scan[i]);
      if (quoted ? c == '"' : !word_char(c)) break;
      if (!quoted && c == '/' && (flags & CMD_LOOKUP) && name_find(std::string(scan.substr(0, i)), NF_COMMAND) != 0)
        break;  // "cmd/arg": the command gets the argument from the '/'
      ++i;
    }
    word = std::string(scan.substr(quoted ? 1 : 0, i - (quoted ? 1 : 0)));
    std::string_view rest = scan.substr(i);
    if (quoted && !rest.empty() && rest.front() == '"') rest.remove_prefix(1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    arg = std::string(rest.substr(0, kArgMax));
  }
  if (flags & CMD_LOOKUP) {
    if (const uint32_t index = name_find(word, NF_COMMAND); index != 0) {
      WindowObject* as = nullptr;  // the edit window a command from the command line runs as
      if (flags & CMD_TYPED) {
        WindowObject* cur = window_current();
        WindowObject* frame = cmd_frame_object();
        const bool on_cmdline = cur && cur == cmd_command_line();
        if (on_cmdline || (cur && frame && cur->parent == frame)) {
          const uint32_t f = name_command_flags(index);
          if (const int32_t a = cmd_check_allowed(f); a != 0) {
            vm_set_rc(a);
            return a;
          }
          WindowObject* child = frame ? frame->first_child : nullptr;
          if (on_cmdline && child && !(child->flags & kWinHidden) && cmd_needs_edit_window(f)) as = child;
        }
      }
      const std::string_view args[1] = {arg};
      // The result is this command's: an rc an earlier command left behind
      // is no failure of this one.
      vm_set_rc(0);
      WindowSave save{};
      if (as) window_push_current(as, save);
      const ErrorCode r = vm_call_index(static_cast<int32_t>(index), args);
      if (as) window_pop_current(save);
      if (r != 0) {
        vm_set_rc(r);
        return r;
      }
      return var_int(1);
    }
  }
  const int32_t r = cmd_run_external(word, arg, flags);
  vm_set_rc(r);
  return r;
}

int32_t cmd_shell(std::string_view command, std::string_view options, std::string_view prefix, bool builtin) {
  if (!prefix.empty()) {
    command_prefix = std::string(prefix.substr(0, kPrefixMax));
    if (builtin && command_prefix.find(' ') == std::string::npos) command_prefix += " -c";
  }
  uint32_t flags = 0;
  const std::string_view letters = builtin ? "PEQWAN" : "PEQWA";
  for (char ch : options) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (letters.find(u) == std::string_view::npos) {
      command_prefix.clear();
      vm_report_error(ERR_INVALID_ARGUMENT, false);
      return ERR_INVALID_ARGUMENT;
    }
    switch (u) {
      case 'P':
        flags |= CMD_NO_MACRO_FILES;
        break;
      case 'Q':
        flags |= CMD_HOOK_ARG;
        break;
      case 'W':
        flags |= CMD_TERMINAL;
        break;
      case 'A':
        flags |= CMD_WAIT_MODE;
        break;
      case 'N':
        flags |= CMD_NO_SHELL;
        break;
      default:
        break;
    }
  }
  const int32_t r = cmd_execute_line(command, flags);
  command_prefix.clear();
  return r;
}

int32_t cmd_execute_text(WindowObject* object, std::string_view text, uint32_t flags, bool refresh) {
  key_globals.last_event = 0;
  if (object && window_current() != object) window_set_current(object, 0);
  if (WindowObject* w = window_current(); w && w->view) key_prepare_command();
  const bool recording = kbdmac_is_recording();
  if (recording) {
    // A text holding a single quote goes between double quotes, so the
    // recorded line reads back as the same text.
    const char q = text.find('\'') == std::string_view::npos ? '\'' : '"';
    kbdmac_record_line("execute(" + std::string(1, q) + std::string(text) + q + ")");
  }
  if (flags & CMD_RECORD_STATE) key_tables.current.record = recording ? 1 : 0;
  const int32_t r = cmd_execute_line(text, flags | 3);
  kbdmac_clear_r_flag();
  if (refresh) refresh_screen();
  return r;
}

int32_t cmd_call_index_on_object(WindowObject* object, int32_t index, bool refresh,
                                 std::span<const std::string_view> args) {
  WindowSave save{};
  if (object) window_push_current(object, save);
  vm_call_index(index, args);
  if (object) window_pop_current(save);
  if (refresh) refresh_screen();
  return 0;
}

int32_t cmd_call_name_on_object(WindowObject* object, std::string_view name, bool refresh,
                                std::span<const std::string_view> args) {
  const uint32_t index = name_find(name, NF_PROC | NF_COMMAND);
  if (index == 0) return 1;
  return cmd_call_index_on_object(object, static_cast<int32_t>(index), refresh, args);
}

int32_t cmd_call_event_handler(WindowObject* object, int32_t event, bool refresh, int32_t argc,
                               std::span<const std::string_view> args) {
  if (cmd_form_loading()) return 0;
  uint32_t binding = 0;
  const int32_t found = evt_find_binding(object, event, 1, false, &binding);
  if (found != 0) return found;
  if (binding == 0) return 0;
  key_globals.last_event = event;
  if (argc >= 0) key_globals.key_arg_count = 0;
  WindowSave save{};
  if (object) window_push_current(object, save);
  if (vm_push_catch() == ERR_OK) {
    vm_set_catch_status(kCatchKeyCommand);
    const int32_t own = vm_catch.depth;
    int32_t pushed = 0;
    if (argc < 0) {
      for (; pushed < key_globals.key_arg_count && pushed < 4; ++pushed) vm_push_int(key_globals.key_args[pushed]);
    } else {
      for (std::string_view a : args) {
        if (vm_push_view(a) != ERR_OK) break;
        ++pushed;
      }
    }
    const int32_t depth = vm.frame_depth;
    const ErrorCode rc = vm_start_call(binding, pushed, false);
    if (rc == ERR_OK && vm.frame_depth > depth) vm_run();
    while (vm_catch.depth > own) vm_pop_catch();
    if (vm_catch.depth == own) vm_pop_catch();
  }
  if (object) window_pop_current(save);
  if (refresh && vm.target_depth >= vm.frame_depth) refresh_screen();
  return 0;
}

// The command history in the ".command" buffer, and command execution from
// the command line.
#include "display/cmd_history.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "base/messages.h"
#include "display/cmdline_port.h"
#include "display/msgline.h"
#include "display/textctl.h"
#include "macro/command_exec.h"
#include "macro/dll_port.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/cursor.h"
#include "text/store_edit.h"

namespace {

struct History {
  BufferRec* buf = nullptr;
  PosRecord pos{};
  bool browsing = false;
};
History hist;
uint32_t last_options = 0;
CmdLineRunner runner = nullptr;

int32_t line_no(PosRecord* p) {
  pos_line_number(p, hist.buf, 1);
  return p->line;
}

// A new buffer holds one empty line; until the first command that is no entry.
bool only_empty_line() {
  PosRecord p{};
  p.buffer = hist.buf;
  int32_t total = 0;
  if (pos_count_lines(&p, hist.buf, total) != 0 || total != 1) return false;
  return pos_first_line(&p, hist.buf) == 0 && line_get_string(&p, hist.buf).empty();
}

std::string cut(std::string_view s) { return std::string(s.substr(0, std::min<size_t>(s.size(), kMessageCapacity))); }

// The option letters' bits, in the order of "WARZL".
constexpr const char* kOptionLetters = "WARZL";

}  // namespace

void cmd_history_attach(BufferRec* buf) {
  if (hist.buf) pos_unlink_from_buffer(&hist.pos);
  hist = History{};
  hist.buf = buf;
  if (!buf) return;
  hist.pos.buffer = buf;
  pos_link_to_buffer(&hist.pos, buf);
  if (pos_last_line(&hist.pos, buf) != 0) pos_top(&hist.pos, buf);
}

BufferRec* cmd_history_buffer() { return hist.buf; }

int32_t cmd_history_count() {
  if (!hist.buf || only_empty_line()) return 0;
  PosRecord p{};
  p.buffer = hist.buf;
  int32_t total = 0;
  return pos_count_lines(&p, hist.buf, total) == 0 ? total : 0;
}

void cmd_history_record(std::string_view text) {
  hist.browsing = false;
  if (!hist.buf || text.empty()) return;
  BufferRec* b = hist.buf;
  if (only_empty_line()) {
    if (pos_first_line(&hist.pos, b) == 0)
      line_replace_text(text.data(), static_cast<int32_t>(text.size()), &hist.pos, b);
    return;
  }
  const int32_t have = pos_last_line(&hist.pos, b);
  if (have == 0 && line_no(&hist.pos) > 0 && line_get_string(&hist.pos, b) == text) return;
  if (have != 0) pos_top(&hist.pos, b);
  if (line_insert_text(text.data(), static_cast<int32_t>(text.size()), &hist.pos, b) != 0) {
    pos_last_line(&hist.pos, b);
    return;
  }
  if (cmd_history_count() > kHistoryLimit) {
    PosRecord first{};
    first.buffer = b;
    if (pos_first_line(&first, b) == 0) line_delete(&first, b);
    pos_last_line(&hist.pos, b);
  }
}

bool cmd_history_prev(std::string* line) {
  if (!hist.buf || cmd_history_count() == 0) return false;
  BufferRec* b = hist.buf;
  if (line_no(&hist.pos) <= 0) pos_last_line(&hist.pos, b);
  if (hist.browsing) {
    // Above the oldest command lies the top-of-file line: wrap to the newest.
    if (pos_prev_line(&hist.pos, b) != 0 || line_no(&hist.pos) <= 0) pos_last_line(&hist.pos, b);
  }
  hist.browsing = true;
  if (line) *line = line_get_string(&hist.pos, b);
  return true;
}

bool cmd_history_next(std::string* line) {
  if (!hist.buf || cmd_history_count() == 0) return false;
  BufferRec* b = hist.buf;
  const int32_t rc = pos_next_line(&hist.pos, b);
  if (rc == ERR_BOTTOM_OF_FILE) {
    if (pos_first_line(&hist.pos, b) != 0) return false;
  } else if (rc != 0) {
    return false;
  }
  if (line_no(&hist.pos) <= 0) pos_first_line(&hist.pos, b);
  hist.browsing = true;
  if (line) *line = line_get_string(&hist.pos, b);
  return true;
}

bool cmd_history_browsing() { return hist.browsing; }

void disp_set_command_runner(CmdLineRunner run) { runner = run; }
uint32_t disp_last_exec_options() { return last_options; }

bool exec_options_valid(std::string_view options) {
  for (char c : options) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!u || !std::strchr(kOptionLetters, u)) return false;
  }
  return true;
}

int32_t disp_execute_command_line(const std::string* text, std::string_view options) {
  // The command line's own text begins with what a prompt keeps out of sight.
  std::string line = text ? cut(*text) : cut(cmdline_prompt_command() + cmdline_get_text());
  if (!text) cmdline_prompt_end();
  uint32_t bits = 0;
  for (char c : options) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char* at = u ? std::strchr(kOptionLetters, u) : nullptr;
    if (!at) return ERR_INVALID_ARGUMENT;
    bits |= 1u << (at - kOptionLetters);
  }
  uint32_t flags = kExecDefault;
  if (!options.empty()) {
    flags = kExecBase;
    if (bits & 1) flags += 4;
    if (bits & 2) flags += 128;
    if (bits & 4) flags |= kExecRecord;
  }
  last_options = bits;
  if ((flags & kExecRecord) && !line.empty()) {
    cmd_history_record(line);
    cmdline_set_text({});
  }
  return runner ? runner(line, flags) : cmd_execute_line(line, flags);
}

// ---------------------------------------------------------------- library entries

void dll_show_message(const char* text) {
  if (!text) return;
  msgline_show(std::string_view(text, strnlen(text, kMessageCapacity - 1)));
}

const char* dll_execute_command(const char* command, const char* options) {
  // Both texts are copied first: the command may change whatever they point into.
  const std::string cmd = command ? std::string(command, strnlen(command, kMessageCapacity - 1)) : std::string();
  const std::string opt = options ? std::string(options, strnlen(options, kMessageCapacity - 1)) : std::string();
  const int32_t r = disp_execute_command_line(&cmd, opt);
  // The answer is always a copy: rc's own bytes move with the next
  // assignment or heap compaction.
  static char answer[kMessageCapacity];
  std::string text = std::to_string(r);
  if (r != ERR_INVALID_ARGUMENT && (last_options & (2 | 8 | 16))) {  // A, Z and L: rc's text
    const LStr* v = var_value(1);
    text = std::string(v ? lstr_view(v) : std::string_view());
  }
  const size_t n = std::min<size_t>(text.size(), sizeof answer - 1);
  std::memcpy(answer, text.data(), n);
  answer[n] = '\0';
  return answer;
}

// The spell checker's built-ins (see spell_bi.h).
#include "services/spell_bi.h"

#include <algorithm>
#include <climits>

#include "base/filename.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store_edit.h"
#include "text/tab_columns.h"
#include "text/tabs.h"

namespace {

SpellBiState g_state;

// The name found along ZORVEXPATH and PATH, made absolute; empty when not found.
std::string search(const std::string& name) {
  if (name.empty()) return {};
  LStrBuf<LSTR_CAP_NAME> in(name), out;
  int flag = 0, extra = 0;
  if (file_search_path(out, in, 0, LSTR_CAP_NAME, &flag, &extra) != 0) return {};
  std::string found(out.view());
  char abs[PATH_MAX];
  if (os_absolute(abs, sizeof abs, found.data()) == 0) found = abs;
  return found;
}

std::string dir_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Opens the dictionaries when they are not open: 0 or the failing code.
ErrorCode ensure_open() {
  SpellBiState& s = g_state;
  if (s.opened) return 0;
  std::string main = search(s.main);
  if (main.empty()) main = s.main;
  // The other files: found along the path, else beside the main dictionary.
  const std::string dir = dir_of(main);
  auto other = [&](const std::string& name) {
    if (name.empty()) return name;
    std::string found = search(name);
    return found.empty() ? dir + name : found;
  };
  const ErrorCode rc = spell_open(s.checker, main, other(s.common), other(s.user1), other(s.user2), false);
  if (rc != 0) return rc;
  s.checker.opt_repeated = (s.options & 1) != 0;
  s.checker.opt_upper = (s.options & 2) != 0;
  s.opened = true;
  return 0;
}

// Reads the count and then `nvars` variable operands; false (after raising)
// when the handler must return. The count must lie in lo..hi.
bool operands(int32_t lo, int32_t hi, int32_t* n, uint32_t* vars, int nvars) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c) || !core_have(c)) return false;
  for (int i = 0; i < nvars; ++i)
    if ((vars[i] = vm_fetch_var_operand()) == 0) return false;
  *n = c;
  if (c < lo || c > hi) {
    bi_fail(c, ERR_INVALID_ARGUMENT);
    return false;
  }
  return true;
}

void store(uint32_t var, const std::string& s) { var_store_bytes(var, s.data(), static_cast<int32_t>(s.size())); }

// Checks the buffer from the cursor on.
void check_buffer(const uint32_t* vars) {
  PosRecord* view = bi_need_view();
  if (!view) return;
  line_flush_current();
  BufferRec* buf = view->buffer;
  const TabStops ts = tab_stops_of(buf);
  PosRecord p{};
  pos_copy_place(&p, view);
  std::string text = line_get_string(&p, buf);
  int32_t at = tab_convert_column(text, view->column + 1, 'P', ts);
  int32_t pos = std::clamp(at - 1, 0, static_cast<int32_t>(text.size()));
  for (int32_t passed = 0;; ++passed) {
    std::string word, repl;
    int32_t start = 0;
    const ErrorCode rc = spell_next_word(g_state.checker, text, &pos, &word, &repl, &start);
    if (rc != ERR_NO_MORE_WORDS) {
      view_select_current();
      pos_copy_place(view, &p);
      view->row += passed;
      view_check_row(view);
      view->column = tab_convert_column(text, start + 1, 'I', ts) - 1;
      redraw_bits |= kRedrawCaret | kRedrawLineField | kRedrawColField | kRedrawWindow;
      store(vars[0], word);
      store(vars[1], repl);
      var_store_int(vars[2], view->column + 1);
      g_state.last_word = word;
      vm_set_rc(rc);
      return;
    }
    if (pos_next_line(&p, buf) != 0) break;
    text = line_get_string(&p, buf);
    pos = 0;
  }
  vm_set_rc(ERR_NO_MORE_WORDS);
}

}  // namespace

SpellBiState& spell_bi_state() { return g_state; }

void spell_bi_reset() {
  spell_close(g_state.checker);
  g_state = SpellBiState();
}

// Ext 153: [text], variables word replacement column.
void bi_spell_check() {
  int32_t n = 0;
  uint32_t vars[3] = {};
  if (!operands(0, 1, &n, vars, 3)) return;
  const std::string text = n == 1 ? bi_arg_str(n, 0) : std::string();
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  if (n == 0) return check_buffer(vars);
  int32_t pos = 0, start = 0;
  std::string word, repl;
  const ErrorCode rc = spell_next_word(g_state.checker, text, &pos, &word, &repl, &start);
  if (rc != ERR_NO_MORE_WORDS) {
    store(vars[0], word);
    store(vars[1], repl);
    var_store_int(vars[2], start + 1);
    g_state.last_word = word;
  }
  vm_set_rc(rc);
}

// Ext 154: start [end], variables word replacement column.
void bi_spell_check_word() {
  int32_t n = 0;
  uint32_t vars[3] = {};
  if (!operands(1, 2, &n, vars, 3)) return;
  int32_t start = 0, end = -1;
  if (!bi_arg_int(n, 0, &start) || (n == 2 && !bi_arg_int(n, 1, &end))) return;
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  PosRecord* view = bi_need_view();
  if (!view) return;
  if (start < 1) return vm_raise_fatal(ERR_INVALID_ARGUMENT);
  if (!view_select_current() || line_load_current() != 0) return;
  const TabStops ts = tab_stops_current();
  LStrBuf<LSTR_CAP_LINE> part;
  tab_expand_range(part, LSTR_CAP_LINE, current_line.text.view(), start, end, 'E', ts);
  const std::string text(part.view());
  int32_t pos = 0, at = 0;
  std::string word, repl;
  const ErrorCode rc = spell_next_word(g_state.checker, text, &pos, &word, &repl, &at);
  if (rc != ERR_NO_MORE_WORDS) {
    store(vars[0], word);
    store(vars[1], repl);
    view->column = start + at - 1;
    redraw_bits |= kRedrawCaret | kRedrawColField;
    var_store_int(vars[2], start + at);
    g_state.last_word = word;
  }
  vm_set_rc(rc);
}

// Ext 155: [word]: the suggestions as new lines after the cursor line.
void bi_spell_suggest() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  const std::string word = n == 1 ? bi_arg_str(n, 0) : g_state.last_word;
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  spell_lookup_main(g_state.checker, word, true);
  PosRecord* view = bi_need_view();
  if (!view) return;
  line_flush_current();
  BufferRec* buf = view->buffer;
  PosRecord p{};
  pos_copy_place(&p, view);
  int32_t inserted = 0;
  for (const auto& sg : g_state.checker.suggestions) {
    const std::string line = " " + sg.word;
    if (line_insert_text(line.data(), static_cast<int32_t>(line.size()), &p, buf) != 0) break;
    ++inserted;
  }
  buf->redraw = 1;
  redraw_bits |= kRedrawLines | kRedrawCaption;
  view->row += inserted;
  view_check_row(view);
}

// Ext 156: [letter RUCM12 [value]] -> the option or dictionary name.
void bi_spell_option() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  char letter = '1';
  if (n >= 1 && !bi_arg_letter(n, 0, "RUCM12", &letter)) return;
  SpellBiState& s = g_state;
  if (letter == 'R' || letter == 'U') {
    const int32_t bit = letter == 'R' ? 1 : 2;
    if (n == 2) {
      int32_t v = 0;
      if (!bi_arg_int(n, 1, &v)) return;
      s.options = v != 0 ? (s.options | bit) : (s.options & ~bit);
      s.checker.opt_repeated = (s.options & 1) != 0;
      s.checker.opt_upper = (s.options & 2) != 0;
    }
    core_drop(n);
    vm_push_int(s.options & bit);
    return;
  }
  std::string& name = letter == 'C' ? s.common : letter == 'M' ? s.main : letter == '1' ? s.user1 : s.user2;
  if (n == 2) {
    name = bi_arg_str(n, 1);
    core_drop(n);
    if (s.opened) {
      std::string found = search(name);
      if (found.empty()) found = letter == 'M' || name.empty() ? name : dir_of(s.checker.main.name) + name;
      const ErrorCode rc = spell_reload(s.checker, letter, found);
      if (rc != 0) vm_set_rc(rc);
    }
  } else {
    core_drop(n);
  }
  vm_push_bytes(name.data(), static_cast<int32_t>(name.size()));
}

// Ext 157: [letter H12R].
void bi_spell_clear() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  char letter = 'H';
  if (n == 1 && !bi_arg_letter(n, 0, "H12R", &letter)) return;
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  switch (letter) {
    case '1':
    case '2':
      g_state.saved = false;
      spell_clear_user(g_state.checker, letter - '0');
      break;
    case 'H':
      spell_history_free(g_state.checker);
      break;
    default:
      g_state.checker.previous.clear();
      break;
  }
  vm_set_rc(0);
}

// Ext 158: word [letter 12].
void bi_spell_add_word() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  char letter = '1';
  if (n == 2 && !bi_arg_letter(n, 1, "12", &letter)) return;
  const std::string word = bi_arg_str(n, 0);
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  g_state.saved = false;
  vm_set_rc(spell_add_user_word(g_state.checker, word, letter - '0'));
}

// Ext 159: word [replacement].
void bi_spell_add_history() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  const std::string word = bi_arg_str(n, 0);
  const std::string repl = n == 2 ? bi_arg_str(n, 1) : std::string();
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  vm_set_rc(spell_history_add(g_state.checker, word, repl));
}

// Ext 160: [name 1 [name 2]]. A failed save leaves the flag clear, so the
// next call tries again.
void bi_spell_save_dict() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  const std::string n1 = n >= 1 ? bi_arg_str(n, 0) : std::string();
  const std::string n2 = n >= 2 ? bi_arg_str(n, 1) : std::string();
  core_drop(n);
  if (!g_state.opened || g_state.saved) return vm_set_rc(0);
  const ErrorCode rc = spell_write_user(g_state.checker, n1, n2);
  if (rc == 0) g_state.saved = true;
  vm_set_rc(rc);
}

// Ext 187: word [letter H12].
void bi_spell_delete_word() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  char letter = '1';
  if (n == 2 && !bi_arg_letter(n, 1, "H12", &letter)) return;
  const std::string word = bi_arg_str(n, 0);
  core_drop(n);
  if (const ErrorCode rc = ensure_open(); rc != 0) return vm_set_rc(rc);
  g_state.saved = false;
  if (letter == 'H') {
    spell_history_remove(g_state.checker, word);
    return vm_set_rc(0);
  }
  vm_set_rc(spell_delete_user_word(g_state.checker, word, letter - '0'));
}

namespace {

// clang-format off
constexpr OpcodeBinding kServicesOpcodes[] = {
    {opcode_slot("spell_check"), bi_spell_check},
    {opcode_slot("spell_check_word"), bi_spell_check_word},
    {opcode_slot("spell_suggest"), bi_spell_suggest},
    {opcode_slot("spell_option"), bi_spell_option},
    {opcode_slot("spell_clear"), bi_spell_clear},
    {opcode_slot("spell_add_word"), bi_spell_add_word},
    {opcode_slot("spell_add_history"), bi_spell_add_history},
    {opcode_slot("spell_save_dict"), bi_spell_save_dict},
    {opcode_slot("spell_delete_word"), bi_spell_delete_word},
};
// clang-format on

}  // namespace

BindResult spell_register_opcodes(OpcodeDispatch& d) { return opcodes_register(d, Layer::Services, kServicesOpcodes); }

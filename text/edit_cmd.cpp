// The edit command: option parsing, then for each file the window, the
// buffer (reused, created and loaded, or named by +B/+V), the replace swap of
// +R, and the view.

#include "text/edit_cmd.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/filename.h"
#include "base/os.h"
#include "text/curline.h"
#include "text/edit_window_port.h"
#include "text/load.h"
#include "text/process_port.h"
#include "text/store.h"

EditPlacement edit_placement;
uint32_t edit_flags = 0;

namespace {

struct EditRun {
  uint32_t flags = 0;
  int32_t record_len = 0;
  int32_t undo_steps = kDefaultUndoSteps;
  int load_mode = 0;
  bool ctrlz = false;
  bool count_after = false;
  uint8_t eol[2] = {'\n', '\n'};
  ErrorCode result = 0;
  bool done = false;  // parsing ended (a +B name took the rest of the line)
};

// Takes the next blank-delimited word off line.
std::string take_word(std::string& line) {
  size_t i = line.find_first_not_of(' ');
  if (i == std::string::npos) {
    line.clear();
    return {};
  }
  size_t j = line.find(' ', i);
  std::string w = line.substr(i, j == std::string::npos ? std::string::npos : j - i);
  line = j == std::string::npos ? std::string() : line.substr(j);
  return w;
}

bool parse_int(const std::string& s, int32_t& v) {
  if (s.empty()) return false;
  char* e = nullptr;
  long x = std::strtol(s.c_str(), &e, 10);
  if (*e || x > 0x7fffffff || x < -0x7fffffff) return false;
  v = static_cast<int32_t>(x);
  return true;
}

// End-of-line letter: M CR CR, U LF LF, D CR LF, R unchanged, digits that byte.
bool parse_eol(const std::string& s, uint8_t eol[2]) {
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  if (c == 'M')
    eol[0] = eol[1] = '\r';
  else if (c == 'U')
    eol[0] = eol[1] = '\n';
  else if (c == 'D')
    eol[0] = '\r', eol[1] = '\n';
  else if (c == 'R')
    return true;
  else {
    int32_t v = 0;
    if (!parse_int(s, v) || v < 0 || v > 255) return false;
    eol[0] = eol[1] = static_cast<uint8_t>(v);
  }
  return true;
}

bool shows_name(const WindowObject* w, std::string_view name) {
  return w && w->view && w->view->buffer && w->view->buffer->name.view() == name && !w->edit_mode &&
         !(w->flags & kWinHidden);
}

// The current window when it shows the file, else the first window that does.
WindowObject* window_find(std::string_view name) {
  if (shows_name(window_current(), name)) return window_current();
  WindowObject* head = window_edit_list_head();
  if (!head) return nullptr;
  WindowObject* w = head;
  do {
    if (shows_name(w, name)) return w;
    w = w->edit_next;
  } while (w && w != head);
  return nullptr;
}

void save_view_place() {
  PosRecord* v = view_current();
  if (!v || !v->buffer) return;
  if (PosRecord* own = pos_record(v->buffer->own_pos)) pos_copy(own, v);
}

// The current buffer takes over nb's text, file and name; nb is freed.
void replace_current(BufferRec* cb, BufferRec* nb) {
  nb->word_chars = cb->word_chars;
  if (!nb->inherit[0]) nb->inherit[0] = cb->inherit[0];
  nb->inherit[1] = cb->inherit[1];
  if (buf_hooks().deselect_buffer) buf_hooks().deselect_buffer(cb);
  store_close_buffer(cb);
  BufferRec keep = *cb;
  buf_copy_record(cb, nb);
  cb->locals = keep.locals;
  std::memcpy(cb->margins, keep.margins, sizeof cb->margins);
  std::memcpy(cb->tab_stops, keep.tab_stops, sizeof cb->tab_stops);
  cb->pos_ring = keep.pos_ring;
  cb->edit_state = keep.edit_state;
  cb->edit_state2 = keep.edit_state2;
  cb->flags = keep.flags;
  cb->wrap_flags = keep.wrap_flags;
  cb->indent_tabs = keep.indent_tabs;
  cb->no_tab_expand = keep.no_tab_expand;
  // What macros stored with the buffer stays with it (nb has none yet).
  cb->user_word = keep.user_word;
  cb->key_handler = keep.key_handler;
  cb->char_table = keep.char_table;
  cb->second_string = keep.second_string;
  cb->lexer = keep.lexer;
  cb->user_byte = keep.user_byte;
  cb->display_byte = keep.display_byte;
  // nb no longer owns the text.
  nb->first_block = -1;
  nb->source_fd = -1;
  nb->keep_open = 0;
  buf_free(nb);
  PosRecord* p = cb->pos_ring;
  if (p) {
    do {
      p->buffer = cb;
      p->line = -1;
      pos_first_line(p, cb);
      p->column = 0;
      p->row = view_shows_top_line(p) ? p->line : p->line - 1;
      p = p->buf_next;
    } while (p && p != cb->pos_ring);
  }
  cb->redraw = 1;
  redraw_bits |= kRedrawWindow;
}

// Shows buf in the current window (a new window when one was requested).
ErrorCode show(BufferRec* buf, EditRun& run, bool created) {
  // The command line's history is never replaced by a file: without an
  // edit window to show it in, the file gets a window of its own.
  const PosRecord* current = view_current();
  const bool in_command_line = buf_cmdline && current && current->buffer == buf_cmdline;
  if (edit_placement.requested || !window_current() || in_command_line) {
    if (!(run.flags & kEditNoSave)) save_view_place();
    WindowObject* w = edit_window_new(edit_placement);
    edit_placement.requested = false;
    if (!w) {
      if (created) buf_close(buf);
      return ERR_TOO_MANY_WINDOWS;
    }
  }
  uint8_t nested = buf_nested_edit;
  uint32_t flags = edit_flags;
  buf_nested_edit = 1;
  ErrorCode rc = view_attach_buffer(pos_record(buf->own_pos), buf, nullptr,
                                    static_cast<int>(run.flags & (kEditNewView | kEditNoSave)), false);
  buf_nested_edit = nested;
  edit_flags = flags;
  if (rc && created) buf_close(buf);
  return rc;
}

ErrorCode edit_buffer(BufferRec* buf, EditRun& run) {
  if (buf->load_state > 1) buf->load_state = 1;
  return show(buf, run, false);
}

ErrorCode edit_file(const std::string& name, EditRun& run) {
  const uint32_t f = run.flags;
  run.result = 0;
  if ((f & kEditSwitch) && !edit_placement.requested) {
    if (!(f & (kEditTemp | kEditNewView | kEditNewBuffer))) {
      if (WindowObject* w = window_find(name)) {
        if (w != window_current()) {
          if (!(f & kEditNoSave)) save_view_place();
          window_set_current(w, 0);
        }
        return 0;
      }
    }
    edit_placement = EditPlacement{};
    edit_placement.requested = true;
  }
  FileTime ft{};
  bool exists = false;
  if (!(f & kEditTemp)) {
    ErrorCode rc = os_file_time(name.c_str(), &ft);
    if (rc == 0)
      exists = true;
    else if (rc != ERR_FILE_NOT_FOUND && rc != ERR_PATH_NOT_FOUND)
      return rc;
    if (!(f & kEditNewBuffer)) {
      if (PosRecord* own = buf_find(name)) {
        return show(own->buffer, run, false);
      }
    }
  }
  BufCreateArgs a;
  a.name = name;
  a.record_len = run.record_len;
  a.expand_tabs = f & kEditExpand;
  a.undo_steps = (f & kEditUndo) ? run.undo_steps : 0;
  a.no_reread = f & (kEditNoReread | kEditWhole);
  a.ctrlz_stop = run.ctrlz;
  a.load_mode = run.load_mode;
  a.eol[0] = run.eol[0];
  a.eol[1] = run.eol[1];
  a.eol_given = f & kEditEolGiven;
  a.count_lines = run.count_after;
  bool whole = f & kEditWhole;
  ErrorCode result = 0;
  if (!(f & kEditTemp)) {
    int fd = os_open(name.c_str(), 0);
    if (fd == ERR_FILE_NOT_FOUND || (!exists && fd == ERR_PATH_NOT_FOUND)) {
      result = MSG_NEW_FILE;
    } else if (fd < 0) {
      return fd;
    } else {
      a.fd = fd;
      if (f & kEditReadOnly) {
        a.keep_open = static_cast<int32_t>(0x80000000u);
        a.read_only = os_open_state.open_state == 3;
        if ((f & kEditReadWhole) && a.read_only) whole = true;
      }
    }
  }
  BufferRec* b = nullptr;
  if (ErrorCode rc = buf_create_from_file(&b, a)) return rc;
  if (exists) b->file_time = ft;
  if (whole && b->source_fd >= 0) {
    if (ErrorCode rc = store_read_all(b, run.load_mode == 1)) {
      buf_close(b);
      return rc;
    }
  }
  BufferRec* cb = buf_current();
  if ((f & kEditReplace) && cb && cb != buf_cmdline && !proc_is_process_buffer(cb)) {
    line_flush_current();
    replace_current(cb, b);
    return result;
  }
  if (ErrorCode rc = show(b, run, true)) return rc;
  return result;
}

// "+I", "+I:x y w h s" and "-I".
ErrorCode parse_placement(const std::string& word, std::string& rest) {
  if (word[0] == '-') {
    edit_placement.requested = false;
    return 0;
  }
  EditPlacement p;
  p.requested = true;
  if (word.size() == 2) {
    edit_placement = p;
    return 0;
  }
  if (word[2] != ':') return ERR_INVALID_OPTION;
  std::string first = word.substr(3);
  if (first.empty()) first = take_word(rest);
  int32_t v[4];
  if (!parse_int(first, v[0])) return ERR_INVALID_OPTION;
  for (int i = 1; i < 4; ++i)
    if (!parse_int(take_word(rest), v[i])) return ERR_INVALID_OPTION;
  std::string s = take_word(rest);
  if (s.size() != 1) return ERR_INVALID_OPTION;
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  if (c != 'M' && c != 'I' && c != 'N') return ERR_INVALID_OPTION;
  p.x = v[0];
  p.y = v[1];
  p.width = v[2];
  p.height = v[3];
  p.show = c;
  edit_placement = p;
  return 0;
}

ErrorCode parse_option(const std::string& w, std::string& rest, EditRun& run) {
  if (w.size() < 2) return ERR_INVALID_OPTION;
  const bool set = w[0] == '+';
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(w[1])));
  auto bit = [&](uint32_t b) {
    if (set)
      run.flags |= b;
    else
      run.flags &= ~b;
  };
  if (std::isdigit(static_cast<unsigned char>(c))) {
    int32_t n = 0;
    if (!parse_int(w.substr(1), n)) return ERR_INVALID_OPTION;
    if (n < 0) n = -n;
    if (n == 1) {
      run.record_len = 0;
      run.load_mode = 2;
      run.flags |= kEditWhole;
    } else {
      run.record_len = n == 0 ? 2 : (n > kMaxRecordLength ? kMaxRecordLength : n);
    }
    return 0;
  }
  switch (c) {
    case 'A':
      bit(kEditReadWhole);
      return 0;
    case 'C':
      bit(kEditNewView);
      return 0;
    case 'D':
      bit(kEditNewBuffer);
      return 0;
    case 'E':
      bit(kEditExpand);
      return 0;
    case 'M':
      bit(kEditNoSave);
      return 0;
    case 'N':
      bit(kEditReadOnly);
      return 0;
    case 'Q':
      bit(kEditQuiet);
      return 0;
    case 'R':
      bit(kEditReplace);
      return 0;
    case 'S':
      bit(kEditNoReread);
      return 0;
    case 'W':
      bit(kEditSwitch);
      if (set) edit_placement.requested = false;
      return 0;
    case 'F':
      if (w.size() < 3) return 0;
      if (!set) {
        run.flags &= ~kEditEolGiven;
        return 0;
      }
      if (!parse_eol(w.substr(2), run.eol)) return ERR_INVALID_OPTION;
      run.flags |= kEditEolGiven;
      return 0;
    case 'I':
      run.flags &= ~kEditSwitch;
      return parse_placement(w, rest);
    case 'L':
      if (set) {
        run.flags |= kEditWhole;
        for (size_t i = 2; i < w.size(); ++i) {
          switch (std::toupper(static_cast<unsigned char>(w[i]))) {
            case 'C':
              run.load_mode = 1;
              break;
            case 'W':
              run.load_mode = 2;
              break;
            case 'Z':
              run.ctrlz = true;
              break;
            case 'F':
              run.flags &= ~kEditWhole;
              run.load_mode = 0;
              run.count_after = true;
              break;
            default:
              return ERR_INVALID_OPTION;
          }
        }
      } else {
        bool only_f = w.size() > 2;
        for (size_t i = 2; i < w.size(); ++i) {
          char l = static_cast<char>(std::toupper(static_cast<unsigned char>(w[i])));
          if (l == 'F')
            run.count_after = false;
          else if (l == 'C' || l == 'Z')
            only_f = false;
          else
            return ERR_INVALID_OPTION;
        }
        if (!only_f) {
          run.flags &= ~kEditWhole;
          run.load_mode = 0;
          run.ctrlz = false;
        }
      }
      return 0;
    case 'T':
      bit(kEditTemp);
      if (set && w.size() >= 3 && !parse_eol(w.substr(2), run.eol)) return ERR_INVALID_OPTION;
      if (set && rest.find_first_not_of(' ') == std::string::npos) {
        // "+T" last: a buffer without file or name, at once.
        BufCreateArgs a;
        a.name = "";  // empty, but a real string for the copy
        a.eol[0] = run.eol[0];
        a.eol[1] = run.eol[1];
        a.eol_given = true;
        a.undo_steps = (run.flags & kEditUndo) ? run.undo_steps : 0;  // as a named buffer gets it
        BufferRec* b = nullptr;
        if (ErrorCode rc = buf_create_from_file(&b, a)) return rc;
        return show(b, run, true);
      }
      return 0;
    case 'U':
      if (!set) {
        run.flags &= ~kEditUndo;
        return 0;
      }
      run.flags |= kEditUndo;
      if (w.size() > 2) {
        int32_t n = 0;
        if (w[2] != ':' || !parse_int(w.substr(3), n) || n < 0) return ERR_INVALID_OPTION;
        run.undo_steps = n;
      }
      return 0;
    case 'V': {
      std::string id = take_word(rest);
      PosRecord* view = nullptr;
      if (id.empty()) {
        WindowObject* cur = window_current();
        view = cur ? cur->view : nullptr;
        if (!view && cur && cur->edit_prev) view = cur->edit_prev->view;
      } else {
        int32_t v = 0;
        if (!parse_int(id, v) || !window_id_is_valid(v)) return ERR_INVALID_ARGUMENT;
        view = window_id_view(v);
      }
      if (!view || !view->buffer) return ERR_INVALID_ARGUMENT;
      run.flags |= kEditView;
      return edit_buffer(view->buffer, run);
    }
    case 'B': {
      if (w.size() >= 3) {
        char l = static_cast<char>(std::toupper(static_cast<unsigned char>(w[2])));
        if (l == 'P' && w.size() == 3) {
          bit(kEditMoveAfter);
          return 0;
        }
        if (l == 'I' && w.size() == 3 && set) {
          int32_t h = 0;
          BufferRec* b = parse_int(take_word(rest), h) ? buf_record(h) : nullptr;
          if (!b) return ERR_INVALID_ARGUMENT;
          return edit_buffer(b, run);
        }
        return ERR_INVALID_OPTION;
      }
      size_t i = rest.find_first_not_of(' ');
      std::string name = i == std::string::npos ? std::string() : rest.substr(i);
      rest.clear();
      run.done = true;
      if (name.empty()) return ERR_INVALID_OPTION;
      BufferRec* found = nullptr;
      for (BufferRec* b = buf_ring_head(); b;) {
        if (b->name.view() == name) {
          found = b;
          break;
        }
        b = b->ring_next;
        if (b == buf_ring_head()) break;
      }
      if (!found) return ERR_FILE_NOT_FOUND;
      return edit_buffer(found, run);
    }
    default:
      return ERR_INVALID_OPTION;
  }
}

}  // namespace

ErrorCode buf_edit_command(std::string_view cmd) {
  line_flush_current();
  uint8_t nested = buf_nested_edit;
  buf_nested_edit = 1;
  BufferRec* before = buf_current();
  EditRun run;
  edit_flags = 0;
  std::string rest(cmd);
  ErrorCode rc = 0;
  while (!run.done) {
    size_t i = rest.find_first_not_of(' ');
    if (i == std::string::npos) break;
    if (rest[i] == '+' || rest[i] == '-') {
      std::string w = take_word(rest);
      rc = parse_option(w, rest, run);
      edit_flags = run.flags;
      if (rc) break;
      continue;
    }
    LStrLine line(rest), word;
    if ((rc = file_take_name(line, word)) != 0) break;
    rest.assign(line.view());
    LStrName in(word.view()), abs;
    if ((rc = file_absolute(abs, in)) != 0) break;
    rc = edit_file(std::string(abs.view()), run);
    if (rc && rc != MSG_NEW_FILE) break;
  }
  edit_flags = run.flags;
  buf_nested_edit = nested;
  buf_swap_locals(before);
  return rc;
}

// Ini text scanner: see ini.h for the grammar. Every read is bounded by the
// text's length; nothing relies on a terminating NUL.
#include "base/ini.h"

#include <algorithm>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_eol(char c) { return c == '\r' || c == '\n'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A cursor over the text.
struct Scan {
  const char* text;
  int32_t length;
  int32_t pos;

  bool at_end() const { return pos >= length; }
  char cur() const { return text[pos]; }
  void skip_blanks() {
    while (!at_end() && is_blank(cur())) ++pos;
  }
  // Over the rest of the line and the run of CR/LF that ends it.
  void skip_line() {
    while (!at_end() && !is_eol(cur())) ++pos;
    while (!at_end() && is_eol(cur())) ++pos;
  }
  // Reads a section name after '[' up to ']' or the end of the text, keeping
  // at most INI_NAME_SIZE - 1 characters, then skips the rest of its line.
  void read_section_name(char* name) {
    int32_t n = 0;
    ++pos;  // over '['
    while (!at_end() && cur() != ']') {
      if (n < INI_NAME_SIZE - 1) name[n++] = cur();
      ++pos;
    }
    name[n] = '\0';
    skip_line();
  }
};

bool ieq(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (upper(*a) != upper(*b)) return false;
  }
  return *a == *b;
}

int32_t find_section_from(Scan& s, char* name, const char* wanted) {
  while (!s.at_end()) {
    s.skip_blanks();
    if (!s.at_end() && s.cur() == '[') {
      s.read_section_name(name);
      if (wanted == nullptr || ieq(name, wanted)) return s.pos;
    } else {
      s.skip_line();
    }
  }
  return -1;
}

// Steps 1 and 2 of reading an entry: skips blanks and comment lines. False at
// the end of the section, with the cursor left on the '[' or the end.
bool start_entry(Scan& s) {
  for (;;) {
    s.skip_blanks();
    if (s.at_end() || s.cur() == '[') return false;
    if (s.cur() != ';') return true;
    s.skip_line();
  }
}

// Copies bytes up to a line end (and up to '=' when stop_at_equals) into out,
// keeping at most room of them; the rest are passed over.
int32_t copy_until(Scan& s, char* out, int32_t room, bool stop_at_equals, bool upcase) {
  int32_t n = 0;
  while (!s.at_end() && !is_eol(s.cur()) && !(stop_at_equals && s.cur() == '=')) {
    if (n < room) out[n++] = upcase ? upper(s.cur()) : s.cur();
    ++s.pos;
  }
  return n;
}

// Reads key and value of the entry at the cursor into buffers of the given room.
void read_pair(Scan& s, char* key, int32_t* key_len, int32_t key_room, bool upcase, char* value, int32_t* value_len,
               int32_t value_room) {
  *key_len = copy_until(s, key, key_room, true, upcase);
  *value_len = 0;
  if (!s.at_end() && s.cur() == '=') {
    ++s.pos;
    *value_len = copy_until(s, value, value_room, false, false);
  }
  s.skip_line();
}

}  // namespace

int32_t ini_find_section(const char* text, int32_t length, const char* name) {
  Scan s{text, length, 0};
  char found[INI_NAME_SIZE];
  return find_section_from(s, found, name);
}

const char* ini_next_section(const char* position, const char* text, int32_t length, char* name) {
  if (position < text) position = text;
  Scan s{text, length, static_cast<int32_t>(std::min<ptrdiff_t>(position - text, length))};
  int32_t at = find_section_from(s, name, nullptr);
  return at < 0 ? nullptr : text + at;
}

int32_t ini_next_key(const char* text, int32_t length, int32_t* offset, char* key, char* value, int32_t value_size) {
  Scan s{text, length, std::clamp(*offset, 0, std::max(length, 0))};
  if (!start_entry(s)) {
    *offset = s.pos;
    return -1;
  }
  int32_t klen = 0, vlen = 0;
  char dummy;
  const bool has_value_buffer = value != nullptr && value_size > 0;
  read_pair(s, key, &klen, INI_NAME_SIZE - 1, true, has_value_buffer ? value : &dummy, &vlen,
            has_value_buffer ? value_size - 1 : 0);
  key[klen] = '\0';
  if (has_value_buffer) value[vlen] = '\0';
  *offset = s.pos;
  return 0;
}

int32_t ini_next_line(const char* text, int32_t length, int32_t* offset, char* line, int32_t size) {
  Scan s{text, length, std::clamp(*offset, 0, std::max(length, 0))};
  if (!start_entry(s)) {
    *offset = s.pos;
    return -1;
  }
  int32_t n = copy_until(s, line, std::max(size - 1, 0), false, false);
  if (size > 0) line[n] = '\0';
  s.skip_line();
  *offset = s.pos;
  return 0;
}

int32_t ini_next_pair(const char* text, int32_t length, int32_t* offset, LStr* key, LStr* value) {
  Scan s{text, length, std::clamp(*offset, 0, std::max(length, 0))};
  if (!start_entry(s)) {
    *offset = s.pos;
    return -1;
  }
  read_pair(s, key->text, &key->len, LSTR_CAP_LINE, false, value->text, &value->len, LSTR_CAP_LINE);
  *offset = s.pos;
  return 0;
}

int32_t cstr_scan_uint(const char* text, uint32_t* value) {
  *value = 0;
  while (*text == ' ') ++text;
  int32_t digits = 0;
  for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
    *value = *value * 10u + static_cast<uint32_t>(*text - '0');
  }
  return digits > 0 ? 1 : 0;
}

int32_t cstr_scan_two_uints(const char* text, uint32_t* first, uint32_t* second) {
  *first = 0;
  *second = 0;
  while (*text == ' ') ++text;
  const char* p = text;
  while (*p >= '0' && *p <= '9') ++p;
  if (!cstr_scan_uint(text, first)) return 0;
  return cstr_scan_uint(p, second) ? 2 : 1;
}

int32_t cstr_read_uint(const char* text, uint32_t* value) { return cstr_scan_uint(text, value); }

int32_t cstr_read_two_uints(const char* text, uint32_t* first, uint32_t* second) {
  return cstr_scan_two_uints(text, first, second);
}

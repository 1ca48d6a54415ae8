// Word lists (the common list and the user dictionaries) and the history.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/regular_file.h"
#include "services/spell.h"
#include "services/spell_detail.h"

using namespace spell_detail;

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int chain_of(std::string_view word) {
  uint32_t sum = 0;
  for (char c : word) sum += static_cast<uint8_t>(lower(c));
  return static_cast<int>(sum % kSpellListChains);
}

bool is_line_end_byte(const WordList& l, char c) { return l.line_end.find(c) != std::string::npos; }

// The word of the entry at off: up to a line end, a NUL or "[".
std::string_view entry_word(const WordList& l, uint32_t off) {
  size_t e = off;
  while (e < l.text.size() && l.text[e] != '\0' && l.text[e] != '[' && !is_line_end_byte(l, l.text[e])) ++e;
  return std::string_view(l.text).substr(off, e - off);
}

bool equal_fold(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// Finds the entry of word; its offset, or -1.
int64_t find_entry(const WordList& l, std::string_view word, bool ignore_case) {
  for (uint32_t off : l.chains[chain_of(word)]) {
    if (off + word.size() > l.text.size()) continue;
    const std::string_view at = std::string_view(l.text).substr(off, word.size());
    if (ignore_case ? !equal_fold(at, word) : at != word) continue;
    const char next = l.text.c_str()[off + word.size()];  // the NUL after the text at the end
    if (next == '\0' || next == '[' || is_line_end_byte(l, next)) return off;
  }
  return -1;
}

void clear_list(WordList& l) {
  l.text.clear();
  l.capacity = 0;
  l.line_end.assign(1, '\n');
  for (auto& c : l.chains) c.clear();
  l.load_failed = false;
}

// The whole file when it and `slack` more bytes stay within `limit`: 0, or
// the error of regular_file_read (-2 or -3 for a missing file, -33 for a
// failed read), with *refused telling a name that is no regular file or a
// file too large.
ErrorCode read_whole(const std::string& name, int64_t limit, int64_t slack, std::string* out,
                     RegularFileRefusal* refused) {
  return regular_file_read(name.c_str(), limit - slack, out, refused);
}

bool missing(ErrorCode e) { return e == ERR_FILE_NOT_FOUND || e == ERR_PATH_NOT_FOUND; }

}  // namespace

void spell_list_set_text(WordList& l, std::string text) {
  for (auto& c : l.chains) c.clear();
  if (!text.empty() && static_cast<uint8_t>(text.back()) == 255) text.pop_back();
  l.line_end.assign(1, '\n');
  const size_t e = text.find_first_of("\r\n");
  if (e != std::string::npos) l.line_end = text[e] == '\n' ? "\n" : (text.compare(e, 2, "\r\n") == 0 ? "\r\n" : "\r");
  l.text = std::move(text);
  l.capacity = static_cast<int64_t>(l.text.size()) + 2047;
  size_t at = 0;
  while (at < l.text.size()) {
    if (is_line_end_byte(l, l.text[at])) {
      ++at;
      continue;
    }
    const uint32_t off = static_cast<uint32_t>(at);
    l.chains[chain_of(entry_word(l, off))].push_back(off);
    while (at < l.text.size() && !is_line_end_byte(l, l.text[at])) ++at;
  }
}

bool spell_list_find(const WordList& l, std::string_view word, bool ignore_case, std::string* form) {
  const int64_t off = find_entry(l, word, ignore_case);
  if (off < 0) return false;
  if (form) *form = l.text.substr(static_cast<size_t>(off), word.size());
  return true;
}

int spell_list_entry_count(const WordList& l) {
  size_t n = 0;
  for (const auto& c : l.chains) n += c.size();
  return static_cast<int>(n);
}

ErrorCode spell_list_load_common(WordList& l, const std::string& name) {
  clear_list(l);
  std::string text;
  RegularFileRefusal refused = RegularFileRefusal::NotRefused;
  const ErrorCode err = read_whole(name, kSpellListLimit, 0, &text, &refused);
  if (err != 0) {
    set_dict_file(name);
    if (missing(err)) return ERR_SPELL_FILE_NOT_FOUND;
    if (refused == RegularFileRefusal::TooLarge) return ERR_COMMON_DICTIONARY_TOO_LARGE;
    if (err == ERR_READING_FILE) return ERR_READ_COMMON_DICTIONARY;
    return ERR_OPEN_COMMON_DICTIONARY;
  }
  spell_list_set_text(l, std::move(text));
  return 0;
}

ErrorCode spell_list_load_user(WordList& l, const std::string& name) {
  clear_list(l);
  l.file_name = name;
  std::string text;
  RegularFileRefusal refused = RegularFileRefusal::NotRefused;
  const ErrorCode err = read_whole(name, kSpellListLimit, 8192, &text, &refused);
  if (err == ERR_FILE_NOT_FOUND) return 0;  // a new dictionary
  if (err != 0) {
    set_dict_file(name);
    l.load_failed = true;
    return refused == RegularFileRefusal::TooLarge ? ERR_USER_DICTIONARY_TOO_LARGE : ERR_READ_USER_DICTIONARY;
  }
  spell_list_set_text(l, std::move(text));
  return 0;
}

ErrorCode spell_add_user_word(SpellChecker& s, std::string_view word, int which) {
  if (which != 1 && which != 2) return ERR_INVALID_ARGUMENT;
  WordList& l = s.user[which - 1];
  word = word.substr(0, kSpellMaxWord);
  // A file whose last line has no line end gets one first, so the new word
  // never joins it.
  std::string add;
  if (!l.text.empty() && !is_line_end_byte(l, l.text.back())) add = l.line_end;
  const size_t off = l.text.size() + add.size();
  add.append(word).append(l.line_end);
  if (l.capacity == 0) l.capacity = 2047;
  if (static_cast<int64_t>(l.text.size() + add.size()) > l.capacity) {
    if (l.capacity + 2048 > kSpellListLimit) {
      set_dict_file(l.file_name);
      return ERR_USER_DICTIONARY_TOO_LARGE;
    }
    l.capacity += 2048;
  }
  l.text += add;
  l.chains[chain_of(word)].push_back(static_cast<uint32_t>(off));
  return 0;
}

ErrorCode spell_delete_user_word(SpellChecker& s, std::string_view word, int which) {
  if (which != 1 && which != 2) return ERR_INVALID_ARGUMENT;
  WordList& l = s.user[which - 1];
  const int64_t found = find_entry(l, word, false);
  if (found < 0) return 0;
  const uint32_t off = static_cast<uint32_t>(found);
  size_t end = off;
  while (end < l.text.size() && !is_line_end_byte(l, l.text[end])) ++end;
  if (l.text.compare(end, l.line_end.size(), l.line_end) == 0)
    end += l.line_end.size();
  else if (end < l.text.size())
    ++end;
  const uint32_t cut = static_cast<uint32_t>(end - off);
  auto& chain = l.chains[chain_of(word)];
  chain.erase(std::find(chain.begin(), chain.end(), off));
  l.text.erase(off, cut);
  // Every entry behind the cut moves down by it, whatever its line holds.
  for (auto& c : l.chains)
    for (uint32_t& e : c)
      if (e > off) e -= cut;
  return 0;
}

void spell_clear_user(SpellChecker& s, int which) {
  if (which != 1 && which != 2) return;
  WordList& l = s.user[which - 1];
  const std::string name = l.file_name;
  const bool failed = l.load_failed;
  clear_list(l);
  l.file_name = name;
  l.load_failed = failed;
}

namespace {

ErrorCode write_error(int err) {
  if (err == EACCES || err == EPERM || err == EROFS) return ERR_DICTIONARY_ACCESS_DENIED;
  if (err == ENOSPC || err == EDQUOT) return ERR_DICTIONARY_DISK_SPACE;
  return ERR_UPDATE_USER_DICTIONARY;
}

// Writes text to a new file beside path and renames it over path.
ErrorCode write_replacing(const std::string& path, const std::string& text) {
  std::string tmp = path + ".zvx-XXXXXX";
  UniqueFd fd(::mkostemp(tmp.data(), O_CLOEXEC));
  if (!fd) return ERR_OPEN_USER_DICTIONARY;
  struct stat st {};
  ::fchmod(fd.get(), ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  int err = fd_write_all(fd.get(), text.data(), text.size());
  if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
  if (err == 0) err = fd.close();
  if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    return write_error(err);
  }
  return 0;
}

}  // namespace

ErrorCode spell_write_user(SpellChecker& s, const std::string& name1, const std::string& name2) {
  ErrorCode first = 0;
  for (int k = 0; k < 2; ++k) {
    WordList& l = s.user[k];
    if (l.text.empty()) continue;  // an empty dictionary is not written
    const std::string& target = (k == 0 ? name1 : name2).empty() ? l.file_name : (k == 0 ? name1 : name2);
    if (target.empty()) continue;
    ErrorCode rc = 0;
    if (l.load_failed && target == l.file_name)
      rc = ERR_UPDATE_USER_DICTIONARY;  // the file holds words we never read
    else
      rc = write_replacing(target, l.text);
    if (rc != 0 && first == 0) {
      set_dict_file(target);
      first = rc;
    }
  }
  return first;
}

// ---- history ---------------------------------------------------------------------

namespace {

// The replacement stored for key, searched as given.
bool history_lookup(const SpellHistory& h, std::string_view key, std::string* replacement) {
  std::string needle(1, '\n');  // built by appending: GCC 12 at -O3 warns falsely of overlaps
  needle.append(key);
  needle += '[';
  const size_t at = h.text.find(needle);
  if (at == std::string::npos) return false;
  const size_t from = at + needle.size();
  const size_t end = h.text.find('\n', from);
  *replacement = h.text.substr(from, (end == std::string::npos ? h.text.size() : end) - from);
  return true;
}

bool has_lower(std::string_view w) {
  return std::any_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}
bool has_upper(std::string_view w) {
  return std::any_of(w.begin(), w.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace

ErrorCode spell_history_add(SpellChecker& s, std::string_view word, std::string_view replacement) {
  std::string& t = s.history.text;
  const size_t add = (t.empty() ? 1 : 0) + word.size() + 1 + replacement.size() + 1;
  if (static_cast<int64_t>(t.size() + add) > kSpellListLimit) return ERR_WORD_HISTORY;
  try {
    if (t.empty()) t.assign(1, '\n');
    t.append(word).append("[").append(replacement).append("\n");
  } catch (const std::bad_alloc&) {
    return ERR_SPELL_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

void spell_history_remove(SpellChecker& s, std::string_view word) {
  std::string& t = s.history.text;
  std::string entry(1, '\n');
  entry.append(word);
  entry += '[';
  const size_t at = t.find(entry);
  if (at == std::string::npos) return;
  size_t end = t.find('\n', at + 1);
  if (end == std::string::npos) end = t.size();
  t.erase(at, end - at);
}

ErrorCode spell_history_find(const SpellChecker& s, std::string_view word, std::string* replacement) {
  if (history_lookup(s.history, word, replacement)) return 0;
  const size_t skip = !word.empty() && word[0] == '\'' ? 1 : 0;
  const std::string_view body = word.substr(skip);
  if (body.empty() || !has_upper(body)) return ERR_WORD_NOT_FOUND;
  const bool capitalised = body[0] >= 'A' && body[0] <= 'Z' && !has_upper(body.substr(1));
  std::string key(word);
  if (capitalised) {
    key[skip] = lower(key[skip]);
    if (!history_lookup(s.history, key, replacement)) return ERR_WORD_NOT_FOUND;
    *replacement = spell_case_like(word, *replacement);
    return 0;
  }
  for (char& c : key) c = lower(c);
  bool hit = history_lookup(s.history, key, replacement);
  if (!hit) {
    key[skip] = static_cast<char>(key[skip] >= 'a' && key[skip] <= 'z' ? key[skip] - 'a' + 'A' : key[skip]);
    hit = history_lookup(s.history, key, replacement);
  }
  if (!hit) return ERR_WORD_NOT_FOUND;
  if (!has_lower(body)) *replacement = spell_case_like(word, *replacement);  // capitals; mixed keeps it
  return 0;
}

void spell_history_clear(SpellChecker& s) {
  s.history.text.clear();
  if (s.history.text.capacity() > 8192) s.history.text.shrink_to_fit();
}

void spell_history_free(SpellChecker& s) {
  s.history.text.clear();
  s.history.text.shrink_to_fit();
}

std::string spell_case_like(std::string_view model, std::string_view word) {
  if (!model.empty() && model[0] == '\'') model.remove_prefix(1);
  std::string out(word);
  if (!has_lower(model)) {
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
  }
  for (char& c : out) c = lower(c);
  if (!model.empty() && model[0] >= 'A' && model[0] <= 'Z' && !has_upper(model.substr(1))) {
    size_t i = !out.empty() && out[0] == '\'' ? 1 : 0;
    if (i < out.size() && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  }
  return out;
}

// Fuzz target: arbitrary text as a word list. As a user dictionary every
// entry must be found, and stay found while others are deleted and added;
// as the builder's input, every word it takes must be found again in the
// main dictionary it writes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/input_file.h"
#include "services/spell.h"
#include "tools/spelldict/spelldict.h"

namespace {

// The words of the entries, as the list splits them.
std::vector<std::string> entries(const WordList& l) {
  std::vector<std::string> out;
  size_t at = 0;
  const std::string& t = l.text;
  while (at < t.size()) {
    if (l.line_end.find(t[at]) != std::string::npos) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < t.size() && l.line_end.find(t[end]) == std::string::npos) ++end;
    std::string line = t.substr(at, end - at);
    const size_t cut = line.find_first_of(std::string("[\0", 2));
    out.push_back(line.substr(0, cut));
    at = end;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  SpellChecker s;
  spell_list_set_text(s.user[0], text);
  std::vector<std::string> words = entries(s.user[0]);
  for (const auto& w : words)
    if (!spell_list_find(s.user[0], w, false)) std::abort();
  // Delete every other entry, add one, and look everything up again.
  std::vector<std::string> kept;
  for (size_t i = 0; i < words.size() && i < 200; ++i) {
    if (i % 2 == 0) {
      if (spell_delete_user_word(s, words[i], 1) != 0) std::abort();
    } else {
      kept.push_back(words[i]);
    }
  }
  if (spell_add_user_word(s, "zzadded", 1) != 0) std::abort();
  kept.push_back("zzadded");
  for (const auto& w : kept)
    if (!spell_list_find(s.user[0], w, false)) std::abort();
  for (uint32_t n = 0; const auto& c : s.user[0].chains)
    for (uint32_t off : c)
      if (off >= s.user[0].text.size() || ++n > s.user[0].text.size()) std::abort();

  // The builder: every word of three letters or more comes back from its dictionary.
  const std::vector<std::string> list = spelldict_read_words(text);
  SpellDictFiles files;
  std::string error;
  if (!spelldict_build(list, files, error)) return 0;
  const std::string path = fuzz_input_file(files.main.data(), files.main.size());
  if (path.empty()) return 0;
  SpellChecker d;
  if (spell_main_open(d.main, path, false) != 0) std::abort();
  for (size_t i = 0; i < list.size() && i < 500; ++i) {
    const std::string& w = list[i];
    if (w.size() < 3 || w.size() > kSpellMaxLookup) continue;
    if (spell_lookup_main(d, w, false) != 0 && spell_lookup_main(d, w, false) != ERR_WORD_CAPITALIZATION) std::abort();
  }
  return 0;
}

// Fuzz target: arbitrary bytes read as a main dictionary "smain.dct", with
// buckets loaded on demand and preloaded, then exact lookups and the
// suggestion search over them. Nothing may read outside a bucket, and both
// ways of loading must give the same answers.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/input_file.h"
#include "services/spell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string path = fuzz_input_file(data, size);
  if (path.empty()) return 0;
  // Words to look up: fixed ones, and two made of the input's first bytes.
  std::string words[] = {"cat", "cab", "catch", "he'd", "ca's", "zzz", "apple", "o'clock", "", ""};
  for (size_t i = 0; i < 16 && i < size; ++i) {
    const char c = static_cast<char>('a' + data[i] % 27);
    words[8 + i / 8] += c == 'a' + 26 ? '\'' : c;
  }
  ErrorCode answers[2][10][2] = {};
  for (int preload = 0; preload < 2; ++preload) {
    SpellChecker s;
    if (spell_main_open(s.main, path, preload != 0) != 0) return 0;
    for (int i = 0; i < 10; ++i) {
      answers[preload][i][0] = spell_lookup_main(s, words[i], false);
      answers[preload][i][1] = spell_lookup_main(s, words[i], true);
      if (s.suggestions.size() > kSpellMaxSuggestions) std::abort();
      for (const auto& sg : s.suggestions)
        if (sg.word.find('\0') != std::string::npos) std::abort();
    }
    spell_close(s);
  }
  for (int i = 0; i < 10; ++i)
    for (int k = 0; k < 2; ++k)
      if (answers[0][i][k] != answers[1][i][k]) std::abort();
  return 0;
}

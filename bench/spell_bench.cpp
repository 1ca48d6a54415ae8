// The spell checker over 10 MB of English: the licence texts of
// /usr/share/common-licenses repeated, checked against the dictionaries our
// builder makes from Debian's wamerican (/usr/share/dict/american-english).
//
// BM_SpellCheckBuffer walks every line of the text loaded as a buffer of the
// text engine, as the check built-in does, and checks every word of it;
// BM_SpellCheckText checks the same text as one string (the checker alone);
// BM_SpellSuggest asks for suggestions for 100 misspelt words. The words per
// second are the counters; `hunspell -l` on the same file, when installed,
// is the comparison (the file stays at the path printed once).
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "services/spell.h"
#include "tests/temp_dir.h"
#include "text/buffer.h"
#include "text/cursor.h"
#include "text/store.h"
#include "tools/spelldict/spelldict.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Fixture {
  zvxtest::TempDir dir{"zvx-spellbench"};
  std::string text_path;
  std::string text;
  int64_t words = 0;
  bool ok = false;

  Fixture() {
    const auto list = spelldict_read_words(slurp("/usr/share/dict/american-english"));
    SpellDictFiles files;
    std::string error;
    if (list.empty() || !spelldict_build(list, files, error)) return;
    std::ofstream(dir / "smain.dct", std::ios::binary)
        .write(reinterpret_cast<const char*>(files.main.data()), static_cast<std::streamsize>(files.main.size()));
    std::ofstream(dir / "scommon.lst", std::ios::binary) << files.common;
    std::string english;
    for (const char* f : {"GPL-3", "Apache-2.0", "MPL-2.0", "LGPL-2.1", "Artistic", "GFDL-1.3"})
      english += slurp(std::string("/usr/share/common-licenses/") + f);
    if (english.empty()) return;
    while (text.size() < (10u << 20)) text += english;
    text.resize(10u << 20);
    text = text.substr(0, text.rfind('\n') + 1);
    text_path = dir / "english.txt";
    std::ofstream(text_path, std::ios::binary) << text;
    for (size_t i = 0; i < text.size();) {  // runs of letters, apostrophes inside
      if (!std::isalpha(static_cast<unsigned char>(text[i]))) {
        ++i;
        continue;
      }
      ++words;
      while (i < text.size() && (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '\'')) ++i;
    }
    std::fprintf(stderr, "text: %s (%zu bytes, %lld words)\n", text_path.c_str(), text.size(),
                 static_cast<long long>(words));
    ok = true;
  }
  ErrorCode open(SpellChecker& s) const { return spell_open(s, dir / "smain.dct", dir / "scommon.lst", "", "", false); }
};

const Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_SpellCheckBuffer(benchmark::State& state) {
  const Fixture& f = fixture();
  SpellChecker s;
  if (!f.ok || f.open(s) != 0 || store_init(64000, f.dir.path(), 900) != 0) {
    state.SkipWithError("no dictionaries or text");
    return;
  }
  int64_t misspelt = 0;
  for (auto _ : state) {
    BufCreateArgs a;
    a.name = f.text_path;
    a.fd = ::open(f.text_path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    if (buf_create_from_file(&b, a) != 0) {
      state.SkipWithError("the text does not load");
      break;
    }
    PosRecord p{};
    p.buffer = b;
    misspelt = 0;
    for (int32_t rc = pos_first_line(&p, b); rc == 0; rc = pos_next_line(&p, b)) {
      const std::string line = line_get_string(&p, b);
      int32_t pos = 0;
      std::string word;
      while (spell_next_word(s, line, &pos, &word, nullptr) != ERR_NO_MORE_WORDS) ++misspelt;
    }
    buf_shutdown();
  }
  store_shutdown();
  state.counters["words"] = static_cast<double>(f.words);
  state.counters["misspelt"] = static_cast<double>(misspelt);
  state.counters["words_per_second"] = benchmark::Counter(
      static_cast<double>(f.words) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  spell_close(s);
}
BENCHMARK(BM_SpellCheckBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SpellCheckText(benchmark::State& state) {
  const Fixture& f = fixture();
  SpellChecker s;
  if (!f.ok || f.open(s) != 0) {
    state.SkipWithError("no dictionaries or text");
    return;
  }
  for (auto _ : state) {
    int32_t pos = 0;
    std::string word;
    while (spell_next_word(s, f.text, &pos, &word, nullptr) != ERR_NO_MORE_WORDS) benchmark::DoNotOptimize(word);
  }
  state.counters["words_per_second"] = benchmark::Counter(
      static_cast<double>(f.words) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  spell_close(s);
}
BENCHMARK(BM_SpellCheckText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SpellSuggest(benchmark::State& state) {
  const Fixture& f = fixture();
  SpellChecker s;
  if (!f.ok || f.open(s) != 0) {
    state.SkipWithError("no dictionaries");
    return;
  }
  const char* typos[] = {"recieve",    "teh",     "wrold",  "langauge", "seperate",
                         "definately", "occured", "untill", "wich",     "becuase"};
  for (auto _ : state)
    for (int i = 0; i < 10; ++i)
      for (const char* t : typos) benchmark::DoNotOptimize(spell_lookup_main(s, t, true));
  state.counters["suggestions_per_second"] =
      benchmark::Counter(100.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  spell_close(s);
}
BENCHMARK(BM_SpellSuggest)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

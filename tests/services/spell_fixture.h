// Dictionaries for the spell-checker tests: a small word list built by our
// own dictionary builder into a private directory.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "services/spell.h"
#include "tests/temp_dir.h"
#include "tools/spelldict/spelldict.h"

namespace spelltest {

inline const std::vector<std::string> kWords = {
    "a",       "I",     "is",    "it",     "of",       "to",     "the",      "The",      "cat",
    "cats",    "catch", "cater", "hello",  "receive",  "recipe", "relieve",  "retrieve", "believe",
    "deceive", "world", "word",  "words",  "spelling", "he'd",   "heal",     "heap",     "hello's",
    "dog",     "dog's", "dogs",  "Linux",  "Linux's",  "NASA",   "apple",    "eagle",    "ample",
    "maple",   "oven",  "even",  "uneven", "unseen",   "queen",  "checking", "check",    "checks",
};

inline void write_file(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << data;
}

inline std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return "<missing>";
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Writes smain.dct and scommon.lst built from words into dir.
inline void build_dictionaries(const std::string& dir, const std::vector<std::string>& words) {
  SpellDictFiles files;
  std::string error;
  ASSERT_TRUE(spelldict_build(words, files, error)) << error;
  write_file(dir + "/smain.dct", std::string(files.main.begin(), files.main.end()));
  write_file(dir + "/scommon.lst", files.common);
}

class SpellTest : public ::testing::Test {
 protected:
  void SetUp() override { build_dictionaries(dir_.path(), kWords); }
  void TearDown() override { spell_close(s_); }

  // Opens the checker over the built files and user dictionaries in dir_.
  ErrorCode open(bool preload = false) {
    return spell_open(s_, dir_ / "smain.dct", dir_ / "scommon.lst", dir_ / "userdct1.lst", dir_ / "userdct2.lst",
                      preload);
  }
  ErrorCode check(const std::string& w, std::string* repl = nullptr) { return spell_check_word(s_, w, repl); }
  std::vector<std::string> suggestions() const {
    std::vector<std::string> out;
    for (const auto& sg : s_.suggestions) out.push_back(sg.word);
    return out;
  }

  zvxtest::TempDir dir_{"zvx-spell"};
  SpellChecker s_;
};

}  // namespace spelltest

// spelldict: the dictionary builder. It turns a plain word list (one word a
// line, such as Debian's wamerican) into the spell checker's main dictionary
// "smain.dct" and common-word list "scommon.lst". See README.md beside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SpellDictFiles {
  std::vector<uint8_t> main;  // smain.dct
  std::string common;         // scommon.lst
  int main_words = 0;
  int common_words = 0;
};

// The words of a word list: each line without its line end, kept when it
// is made of ASCII letters and apostrophes only. *dropped counts the
// other non-empty lines.
std::vector<std::string> spelldict_read_words(std::string_view text, int* dropped = nullptr);

// Builds both files from the words. False, with a message, when a bucket
// would not fit the format (more than 65535 bytes) or the words hold a
// character other than a letter or an apostrophe.
bool spelldict_build(const std::vector<std::string>& words, SpellDictFiles& out, std::string& error);

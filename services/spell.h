// The spell checker: the main dictionary, the word lists, the replacement
// history, and the lookups that find misspelt words and suggest others.
//
// Main dictionary "smain.dct" (little-endian): a 6272-byte header of
// offsets[784] (u32, from the end of the header), sizes[784] (u16) and
// splits[784] (u16); bucket b = 28 i + j holds the words whose first letter
// has index i (a..z 0..25, apostrophe 26) and whose second has index j
// (a..z 1..26, apostrophe 27). A bucket is two segments, before and after
// the byte at splits[b] (words whose third letter is before "n", and the
// rest), each a byte stream from the third letter on: 255 separator, 1..28
// a letter at level 0, 29..224 a letter at level 1..7 (prefix sharing),
// 225..252 a last letter, 254 "complete". Letter codes: 1..26 a..z, 27
// apostrophe; code 28 and byte 253 stand for no letter: a word holding one
// matches nothing and is never suggested.
//
// Word lists ("scommon.lst", "userdct1.lst", "userdct2.lst"): one entry per
// line, the line end taken from the first line of the file, an entry may be
// "word[replacement". They are read whole up to 1,500,000 bytes (a user
// dictionary past 64 KB loads like any other, so it is never saved back
// half empty), and a user dictionary whose file could not be read is never
// written over. Saving writes a new file beside the old one and renames it
// over it, so a failed save leaves the old file as it was.
//
// All state lives in one SpellChecker; the macro built-ins keep one of them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/fd.h"
#include "base/messages.h"

inline constexpr int kSpellBuckets = 784;
inline constexpr uint32_t kSpellHeaderBytes = 6272;
inline constexpr int kSpellMaxSuggestions = 15;
inline constexpr int kSpellMaxWord = 99;    // the longest word the checker takes
inline constexpr int kSpellMaxLookup = 50;  // longer words pass unchecked
inline constexpr int64_t kSpellListLimit = 1500000;
inline constexpr int kSpellListChains = 1000;

struct SpellMainIndex {
  std::array<uint32_t, kSpellBuckets> offsets{};
  std::array<uint16_t, kSpellBuckets> sizes{};
  std::array<uint16_t, kSpellBuckets> splits{};
  std::array<std::unique_ptr<uint8_t[]>, kSpellBuckets> held;  // buckets read into memory
  std::array<bool, kSpellBuckets> loaded{};                    // held, or empty
  UniqueFd file;
  std::string name;
  std::vector<uint8_t> shared;  // buckets not held in memory; as large as the largest
  int shared_bucket = -1;       // the bucket now in `shared`
  bool memory_full = false;     // no further bucket is held
  bool open = false;
  // Words looked up since the open, lower-cased: found or not. Text repeats
  // its words, so most lookups end here instead of decoding a bucket.
  std::unordered_map<std::string, bool> recent;
};

struct WordList {
  std::string text;                                            // entries; always followed by a NUL
  int64_t capacity = 0;                                        // length + 2047 after loading, grown by 2048
  std::string file_name;                                       // user dictionaries only
  std::string line_end = "\n";                                 // from the first line end of the file
  std::array<std::vector<uint32_t>, kSpellListChains> chains;  // offsets of the entries
  bool load_failed = false;                                    // never written back: the file on disk holds more
};

struct SpellHistory {
  std::string text;  // "\nword[replacement" per entry, a final line feed
};

struct SpellSuggestion {
  std::string word;
  int score = 0;
};

struct SpellChecker {
  SpellMainIndex main;
  WordList common;
  std::array<WordList, 2> user;
  SpellHistory history;
  std::string previous;       // lower-cased, for the repeated-word check
  bool opt_repeated = false;  // R
  bool opt_upper = false;     // U: words without lower-case letters pass
  std::string list_form;
  std::string expected_possessive;
  std::vector<SpellSuggestion> suggestions;
  bool open = false;
};

// Opening and closing. spell_open: 0 or the first fatal code (main and
// common list); failing user dictionaries leave them empty. With the user
// names empty, no user dictionary is read.
ErrorCode spell_open(SpellChecker& s, const std::string& main, const std::string& common, const std::string& user1,
                     const std::string& user2, bool preload);
void spell_close(SpellChecker& s);
// Reopens one dictionary: 'M' main, 'C' common list, '1' or '2' a user dictionary.
ErrorCode spell_reload(SpellChecker& s, char letter, const std::string& name);

// The pieces, for the tests and the fuzz targets.
ErrorCode spell_main_open(SpellMainIndex& m, const std::string& name, bool preload);
void spell_main_close(SpellMainIndex& m);
ErrorCode spell_list_load_common(WordList& l, const std::string& name);
ErrorCode spell_list_load_user(WordList& l, const std::string& name);
// Takes text as a word list's contents: line end, entries, hash chains.
void spell_list_set_text(WordList& l, std::string text);
// Exact lookup; with ignore_case the list's spelling goes to *form.
bool spell_list_find(const WordList& l, std::string_view word, bool ignore_case, std::string* form = nullptr);
int spell_list_entry_count(const WordList& l);

// Checking.
// The next misspelt word from *pos on: its code, with *pos after it, or
// -3545 with *pos at the end.
ErrorCode spell_next_word(SpellChecker& s, std::string_view text, int32_t* pos, std::string* word,
                          std::string* replacement, int32_t* word_start = nullptr);
ErrorCode spell_check_word(SpellChecker& s, std::string_view word, std::string* replacement);
// suggest false: the exact lookup; true: the suggestion search into s.suggestions.
ErrorCode spell_lookup_main(SpellChecker& s, std::string_view word, bool suggest);

// User dictionaries (which 1 or 2).
ErrorCode spell_add_user_word(SpellChecker& s, std::string_view word, int which);
ErrorCode spell_delete_user_word(SpellChecker& s, std::string_view word, int which);
void spell_clear_user(SpellChecker& s, int which);
// Writes each user dictionary with text to name1/name2, or its own file when empty.
ErrorCode spell_write_user(SpellChecker& s, const std::string& name1, const std::string& name2);

// The history.
ErrorCode spell_history_add(SpellChecker& s, std::string_view word, std::string_view replacement);
void spell_history_remove(SpellChecker& s, std::string_view word);
ErrorCode spell_history_find(const SpellChecker& s, std::string_view word, std::string* replacement);
void spell_history_clear(SpellChecker& s);
void spell_history_free(SpellChecker& s);

// The case pattern of model applied to word.
std::string spell_case_like(std::string_view model, std::string_view word);

// The spell checker over dictionaries made by our builder, and over a
// hand-made bucket that shares prefixes through level letters.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tests/macro/builtin_fixture.h"
#include "tests/services/spell_fixture.h"
#include "tests/special_files.h"

namespace {

using spelltest::read_file;
using spelltest::SpellTest;
using spelltest::write_file;

bool contains(const std::vector<std::string>& v, const std::string& w) {
  return std::find(v.begin(), v.end(), w) != v.end();
}

TEST_F(SpellTest, OpensAndRefusesMissingOrShortDictionaries) {
  ASSERT_EQ(0, open());
  spell_close(s_);
  // A missing main dictionary or common list names the file.
  EXPECT_EQ(ERR_SPELL_FILE_NOT_FOUND, spell_open(s_, dir_ / "none.dct", dir_ / "scommon.lst", "", "", false));
  EXPECT_EQ(dir_ / "none.dct", std::string(msg_dict_file));
  EXPECT_EQ(ERR_SPELL_FILE_NOT_FOUND, spell_open(s_, dir_ / "smain.dct", dir_ / "none.lst", "", "", false));
  EXPECT_FALSE(s_.main.open);  // a failing common list closes everything
  write_file(dir_ / "short.dct", std::string(6271, '\0'));
  EXPECT_EQ(ERR_READ_MAIN_DICTIONARY_INDEX, spell_open(s_, dir_ / "short.dct", dir_ / "scommon.lst", "", "", false));
}

// Whatever else stands under a dictionary's name gives the dictionary's
// error at once: no wait on a FIFO, no endless read of /dev/zero, nothing
// read of a file larger than a dictionary can be.
TEST_F(SpellTest, SpecialFilesInPlaceOfTheDictionariesGiveTheirErrors) {
  using zvxtest::Special;
  struct Case {
    Special kind;
    ErrorCode main, common, user;
  };
  const Case cases[] = {
      {Special::Directory, ERR_OPEN_MAIN_DICTIONARY, ERR_OPEN_COMMON_DICTIONARY, ERR_READ_USER_DICTIONARY},
      {Special::Fifo, ERR_OPEN_MAIN_DICTIONARY, ERR_OPEN_COMMON_DICTIONARY, ERR_READ_USER_DICTIONARY},
      {Special::DevZero, ERR_OPEN_MAIN_DICTIONARY, ERR_OPEN_COMMON_DICTIONARY, ERR_READ_USER_DICTIONARY},
      // The main index of garbage is taken as it is: its buckets are checked
      // as they are read. The lists are past their 1,500,000 bytes.
      {Special::Garbage, 0, ERR_COMMON_DICTIONARY_TOO_LARGE, ERR_USER_DICTIONARY_TOO_LARGE},
      {Special::Empty, ERR_READ_MAIN_DICTIONARY_INDEX, 0, 0},
  };
  const std::string path = dir_ / "special";
  for (const zvxtest::SpecialCase& sc : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(sc.name);
    const Case* c = nullptr;
    for (const Case& k : cases)
      if (k.kind == sc.kind) c = &k;
    ASSERT_NE(c, nullptr);
    zvxtest::make_special(path, sc.kind);
    zvxtest::Watchdog watch(std::string("the dictionaries' readers on ") + sc.name);
    msg_dict_file[0] = '\0';
    SpellMainIndex m;
    EXPECT_EQ(c->main, spell_main_open(m, path, false));
    if (c->main != 0) {
      EXPECT_EQ(path, std::string(msg_dict_file)) << "the message names the file";
    }
    spell_main_close(m);
    WordList common, user;
    EXPECT_EQ(c->common, spell_list_load_common(common, path));
    EXPECT_EQ(c->user, spell_list_load_user(user, path));
  }
  // A main dictionary past the largest index it can hold is not opened.
  ASSERT_EQ(0, ::truncate(path.c_str(), (int64_t{64} << 20) + 1));
  SpellMainIndex m;
  EXPECT_EQ(ERR_OPEN_MAIN_DICTIONARY, spell_main_open(m, path, false));
}

TEST_F(SpellTest, ABucketPastTheEndOfTheFileIsAReadError) {
  std::string dct = read_file(dir_ / "smain.dct");
  write_file(dir_ / "smain.dct", dct.substr(0, dct.size() - 10));  // the last bucket is cut short
  ASSERT_EQ(0, open());
  EXPECT_EQ(ERR_READ_MAIN_DICTIONARY, check("world"));
  EXPECT_EQ(0, check("apple"));
  spell_close(s_);
  EXPECT_EQ(ERR_READ_MAIN_DICTIONARY, open(true));  // preloading reads every bucket
}

TEST_F(SpellTest, CaseRules) {
  ASSERT_EQ(0, open());
  struct Case {
    const char* word;
    ErrorCode rc;
  } cases[] = {
      {"hello", 0},
      {"Hello", 0},
      {"HELLO", 0},
      {"hELLO", ERR_WORD_CAPITALIZATION},
      {"HeLLo", ERR_WORD_CAPITALIZATION},
      {"helo", ERR_WORD_NOT_FOUND},
      {"Linux", 0},
      {"LINUX", 0},
      {"linux", ERR_WORD_CAPITALIZATION},  // the main dictionary holds it lower-cased; the list spells it
      {"NASA", 0},
      {"Nasa", ERR_WORD_CAPITALIZATION},
      {"is", 0},
      {"IS", 0},
      {"zq", ERR_WORD_NOT_FOUND},
      {"x", 0},
      {"he'd", 0},
      {"He'd", 0},
      {"dog's", 0},
      {"Linux's", 0},
      {"linux's", ERR_WORD_CAPITALIZATION},
      {"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxy", 0},  // 51 letters pass unchecked
      {"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwx", ERR_WORD_NOT_FOUND},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, check(c.word)) << c.word;
}

TEST_F(SpellTest, TheListFormLeadsTheSuggestions) {
  // Without "linux" in the main dictionary, the user dictionary's "Linux".
  std::vector<std::string> words = spelltest::kWords;
  words.erase(std::remove(words.begin(), words.end(), "Linux"), words.end());
  words.erase(std::remove(words.begin(), words.end(), "Linux's"), words.end());
  words.push_back("lines");
  spelltest::build_dictionaries(dir_.path(), words);
  write_file(dir_ / "userdct1.lst", "Linux\n");
  ASSERT_EQ(0, open());
  EXPECT_EQ(0, check("LINUX"));
  EXPECT_EQ(0, check("Linux"));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("linux"));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_lookup_main(s_, "linux", true));
  EXPECT_EQ((std::vector<std::string>{"Linux", "lines"}), suggestions());
  // With nothing else to offer, the list form alone: -3538.
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("linux"));
  s_.list_form = "Zorvex";
  EXPECT_EQ(ERR_WORD_CAPITALIZATION, spell_lookup_main(s_, "zorvex", true));
  EXPECT_EQ((std::vector<std::string>{"Zorvex"}), suggestions());
}

TEST_F(SpellTest, SuggestionsFindSwappedAndMissingLetters) {
  ASSERT_EQ(0, open());
  struct Case {
    const char* typed;
    const char* wanted;
  } cases[] =
      {
          {"recieve", "receive"},   {"Recieve", "Receive"}, {"RECIEVE", "RECEIVE"},
          {"wolrd", "world"},       {"helo", "hello"},      {"spleling", "spelling"},
          {"chekcing", "checking"}, {"appel", "apple"},  // and the vowel buckets: "eagle" and "ample" are looked at too
          {"quen", "queen"},
      };
  for (const auto& c : cases) {
    EXPECT_EQ(ERR_WORD_NOT_FOUND, check(c.typed)) << c.typed;
    EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_lookup_main(s_, c.typed, true)) << c.typed;
    const auto got = suggestions();
    EXPECT_TRUE(contains(got, c.wanted)) << c.typed << " gave " << ::testing::PrintToString(got);
    EXPECT_LE(got.size(), 15u);
  }
  // The best score stands first: two swapped letters score 4.
  spell_lookup_main(s_, "recieve", true);
  EXPECT_EQ("receive", s_.suggestions.at(0).word);
  // A vowel first letter visits the other vowels' buckets: "oven" for "uven".
  spell_lookup_main(s_, "uven", true);
  EXPECT_TRUE(contains(suggestions(), "oven")) << ::testing::PrintToString(suggestions());
  EXPECT_TRUE(contains(suggestions(), "even"));
  // The word itself ends the search: 0.
  EXPECT_EQ(0, spell_lookup_main(s_, "receive", true));
}

TEST_F(SpellTest, SuggestRefusesWordsThatNameNoBucket) {
  ASSERT_EQ(0, open());
  for (const char* w : {"1ab", "a1b", "\xC3\xA9t\xC3\xA9", "-ab", "a-bc", "\xff\xfe\xfd"}) {
    EXPECT_EQ(ERR_WORD_INVALID, spell_lookup_main(s_, w, true)) << w;
    EXPECT_TRUE(s_.suggestions.empty());
  }
  EXPECT_EQ(ERR_WORD_INVALID, spell_lookup_main(s_, "\xC3\xA9t\xC3\xA9", false));
  // Words of more than 50 letters get none; of one or two, only a list form.
  EXPECT_EQ(0, spell_lookup_main(s_, std::string(60, 'a'), true));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_lookup_main(s_, "zq", true));
  EXPECT_TRUE(s_.suggestions.empty());
}

TEST_F(SpellTest, RepeatedWordsAndPunctuation) {
  ASSERT_EQ(0, open());
  s_.opt_repeated = true;
  struct Case {
    const char* text;
    ErrorCode rc;
    int pos;
  } cases[] = {
      {"it is is", ERR_REPEATED_WORD, 8},
      {"is. Is", ERR_NO_MORE_WORDS, 6},
      {"it is is.", ERR_NO_MORE_WORDS, 9},
      {"the cat cat sat", ERR_REPEATED_WORD, 11},
      {"the (cat) cat", ERR_NO_MORE_WORDS, 13},
      {"dogs' dogs'", ERR_REPEATED_WORD, 10},  // the final apostrophe stays out of the word
  };
  for (const auto& c : cases) {
    s_.previous.clear();
    int32_t pos = 0;
    std::string word, repl;
    EXPECT_EQ(c.rc, spell_next_word(s_, c.text, &pos, &word, &repl)) << c.text;
    EXPECT_EQ(c.pos, pos) << c.text;
  }
  s_.opt_repeated = false;
  s_.previous.clear();
  int32_t pos = 0;
  std::string word;
  EXPECT_EQ(ERR_NO_MORE_WORDS, spell_next_word(s_, "it is is", &pos, &word, nullptr));
}

TEST_F(SpellTest, NextWordStopsAfterEachMisspeltWord) {
  ASSERT_EQ(0, open());
  const std::string text = "The cat recieve, the wrold; HELLO 42 hELLO";
  int32_t pos = 0, start = 0;
  std::string word, repl;
  std::vector<std::pair<std::string, ErrorCode>> got;
  for (ErrorCode rc; (rc = spell_next_word(s_, text, &pos, &word, &repl, &start)) != ERR_NO_MORE_WORDS;) {
    EXPECT_EQ(word, text.substr(start, word.size()));
    got.emplace_back(word, rc);
  }
  EXPECT_EQ(got,
            (std::vector<std::pair<std::string, ErrorCode>>{
                {"recieve", ERR_WORD_NOT_FOUND}, {"wrold", ERR_WORD_NOT_FOUND}, {"hELLO", ERR_WORD_CAPITALIZATION}}));
  EXPECT_EQ(static_cast<int32_t>(text.size()), pos);
  // Option U passes words without lower-case letters.
  s_.opt_upper = true;
  EXPECT_EQ(0, check("WROLD"));
}

TEST_F(SpellTest, HistoryReplacementsFollowTheTypedCase) {
  ASSERT_EQ(0, open());
  ASSERT_EQ(0, spell_history_add(s_, "teh", "the"));
  ASSERT_EQ(0, spell_history_add(s_, "wrold", "world"));
  ASSERT_EQ(0, spell_history_add(s_, "okish", ""));
  EXPECT_EQ("\nteh[the\nwrold[world\nokish[\n", s_.history.text);
  struct Case {
    const char* word;
    ErrorCode rc;
    const char* repl;
  } cases[] = {
      {"Teh", ERR_WORD_HAS_REPLACEMENT, "The"},
      {"teh", ERR_WORD_HAS_REPLACEMENT, "the"},
      {"TEH", ERR_WORD_HAS_REPLACEMENT, "THE"},
      {"tEH", ERR_WORD_HAS_REPLACEMENT, "the"},  // mixed keeps it
      {"okish", 0, ""},
      {"Wrold", ERR_WORD_HAS_REPLACEMENT, "World"},
  };
  for (const auto& c : cases) {
    std::string repl = "?";
    EXPECT_EQ(c.rc, check(c.word, &repl)) << c.word;
    EXPECT_EQ(c.repl, repl) << c.word;
  }
  std::string r;
  EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_history_find(s_, "zzz", &r));
  spell_history_remove(s_, "wrold");
  EXPECT_EQ("\nteh[the\nokish[\n", s_.history.text);
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("wrold"));
  spell_history_remove(s_, "okish");
  spell_history_remove(s_, "teh");
  EXPECT_EQ(0, spell_history_add(s_, "a", "b"));
  EXPECT_EQ(0, spell_history_find(s_, "a", &r));
  EXPECT_EQ("b", r);
  spell_history_clear(s_);
  EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_history_find(s_, "a", &r));
}

TEST_F(SpellTest, WordListsTakeTheirLineEndFromTheFirstLine) {
  struct Case {
    const char* text;
    const char* line_end;
  } cases[] = {{"one\r\ntwo\r\n", "\r\n"},     {"one\rtwo\r", "\r"},          {"one\ntwo", "\n"}, {"", "\n"},
               {"one\r\ntwo\r\n\xff", "\r\n"}, {"\n\none\n\n\ntwo[2\n", "\n"}};
  for (const auto& c : cases) {
    WordList l;
    spell_list_set_text(l, c.text);
    EXPECT_EQ(c.line_end, l.line_end) << c.text;
    if (*c.text) {
      EXPECT_EQ(2, spell_list_entry_count(l)) << c.text;
      EXPECT_TRUE(spell_list_find(l, "one", false)) << c.text;
      EXPECT_TRUE(spell_list_find(l, "two", false)) << c.text;
      std::string form;
      EXPECT_TRUE(spell_list_find(l, "TWO", true, &form));
      EXPECT_EQ("two", form);
      EXPECT_FALSE(spell_list_find(l, "TWO", false));
      EXPECT_FALSE(spell_list_find(l, "tw", false));
    }
  }
}

TEST_F(SpellTest, DeletingAWordKeepsEveryLaterEntry) {
  // Entries with hyphens, digits and replacements after the deleted one: a
  // walk over letters alone would leave their offsets wrong.
  write_file(dir_ / "userdct1.lst", "foo\ne-mail\nteh[the\nmp3\nthe\nzebra\n");
  ASSERT_EQ(0, open());
  ASSERT_EQ(0, spell_delete_user_word(s_, "foo", 1));
  EXPECT_EQ("e-mail\nteh[the\nmp3\nthe\nzebra\n", s_.user[0].text);
  for (const char* w : {"e-mail", "teh", "mp3", "the", "zebra"})
    EXPECT_TRUE(spell_list_find(s_.user[0], w, false)) << w;
  EXPECT_FALSE(spell_list_find(s_.user[0], "foo", false));
  ASSERT_EQ(0, spell_delete_user_word(s_, "teh", 1));
  ASSERT_EQ(0, spell_delete_user_word(s_, "e-mail", 1));
  EXPECT_EQ("mp3\nthe\nzebra\n", s_.user[0].text);
  for (const char* w : {"mp3", "the", "zebra"}) EXPECT_TRUE(spell_list_find(s_.user[0], w, false)) << w;
  EXPECT_EQ(3, spell_list_entry_count(s_.user[0]));
  EXPECT_EQ(0, spell_delete_user_word(s_, "absent", 1));  // nothing changes
  ASSERT_EQ(0, spell_add_user_word(s_, "quux", 1));
  ASSERT_EQ(0, spell_delete_user_word(s_, "zebra", 1));
  EXPECT_TRUE(spell_list_find(s_.user[0], "quux", false));
  EXPECT_EQ("mp3\nthe\nquux\n", s_.user[0].text);
}

TEST_F(SpellTest, UserDictionariesGainLoseAndSaveWords) {
  write_file(dir_ / "userdct2.lst", "alpha\r\nbeta");  // no line end after the last word
  ASSERT_EQ(0, open());
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("zorvex"));
  ASSERT_EQ(0, spell_add_user_word(s_, "zorvex", 1));
  ASSERT_EQ(0, spell_add_user_word(s_, "gamma", 2));
  EXPECT_EQ(0, check("zorvex"));
  EXPECT_EQ(0, check("Zorvex"));
  EXPECT_EQ(0, check("beta"));
  ASSERT_EQ(0, spell_write_user(s_, "", ""));
  EXPECT_EQ("zorvex\n", read_file(dir_ / "userdct1.lst"));
  EXPECT_EQ("alpha\r\nbeta\r\ngamma\r\n", read_file(dir_ / "userdct2.lst"));
  // To other names; an empty dictionary is not written.
  spell_clear_user(s_, 2);
  ASSERT_EQ(0, spell_write_user(s_, dir_ / "copy1.lst", dir_ / "copy2.lst"));
  EXPECT_EQ("zorvex\n", read_file(dir_ / "copy1.lst"));
  EXPECT_EQ("<missing>", read_file(dir_ / "copy2.lst"));
  // They load again on the next open.
  spell_close(s_);
  ASSERT_EQ(0, open());
  EXPECT_EQ(0, check("zorvex"));
  EXPECT_EQ(0, check("gamma"));
}

TEST_F(SpellTest, WordListsPast64KLoadWhole) {
  // A 70,000-byte common list and a 100,000-byte user dictionary load in
  // full; the user dictionary then saves without losing a word.
  std::string common, user;
  for (int i = 0; common.size() < 70000; ++i) common += "commonword" + std::to_string(i) + "\n";
  for (int i = 0; user.size() < 100000; ++i) user += "userword" + std::to_string(i) + "\n";
  write_file(dir_ / "scommon.lst", common);
  write_file(dir_ / "userdct1.lst", user);
  ASSERT_EQ(0, open());
  EXPECT_TRUE(spell_list_find(s_.common, "commonword4000", false));
  EXPECT_TRUE(spell_list_find(s_.user[0], "userword7000", false));
  ASSERT_EQ(0, spell_add_user_word(s_, "extra", 1));
  ASSERT_EQ(0, spell_write_user(s_, "", ""));
  EXPECT_EQ(user + "extra\n", read_file(dir_ / "userdct1.lst"));
}

TEST_F(SpellTest, ListSizeLimits) {
  write_file(dir_ / "big.lst", std::string(1500001, 'a'));
  WordList l;
  EXPECT_EQ(ERR_COMMON_DICTIONARY_TOO_LARGE, spell_list_load_common(l, dir_ / "big.lst"));
  EXPECT_EQ(ERR_SPELL_FILE_NOT_FOUND, spell_list_load_common(l, dir_ / "none.lst"));
  // A user dictionary too large to load is never written over.
  write_file(dir_ / "userdct1.lst", std::string(1500000 - 8192 + 1, 'a'));
  ASSERT_EQ(0, open());
  EXPECT_TRUE(s_.user[0].load_failed);
  EXPECT_EQ(0, spell_add_user_word(s_, "word", 1));
  EXPECT_EQ(ERR_UPDATE_USER_DICTIONARY, spell_write_user(s_, "", ""));
  EXPECT_EQ(std::string(1500000 - 8192 + 1, 'a'), read_file(dir_ / "userdct1.lst"));
  // Adding past 1,500,000 bytes is refused.
  s_.user[1].capacity = 1500000 - 100;
  s_.user[1].text = std::string(1500000 - 101, 'b');
  EXPECT_EQ(ERR_USER_DICTIONARY_TOO_LARGE, spell_add_user_word(s_, std::string(99, 'c'), 2));
}

TEST_F(SpellTest, AFailedSaveLeavesTheOldFile) {
  // The directory is closed to the saving user while the file itself is
  // writable: writing in place would have emptied it first.
  const std::string sub = dir_ / "sub";
  ASSERT_EQ(0, ::mkdir(sub.c_str(), 0755));
  ::chmod(dir_.path().c_str(), 0755);
  write_file(sub + "/userdct1.lst", "old\nwords\n");
  ::chmod((sub + "/userdct1.lst").c_str(), 0666);
  ASSERT_EQ(0, open());
  const int rc = bitest::as_nobody([&] {
    SpellChecker t;
    if (spell_open(t, dir_ / "smain.dct", dir_ / "scommon.lst", sub + "/userdct1.lst", "", false) != 0) return 1;
    spell_add_user_word(t, "new", 1);
    return spell_write_user(t, "", "") == ERR_OPEN_USER_DICTIONARY ? 0 : 2;
  });
  EXPECT_EQ(0, rc);
  EXPECT_EQ("old\nwords\n", read_file(sub + "/userdct1.lst"));
  // A save replaces the file through a new one (another inode), keeping its mode.
  struct stat before {
  }, after{};
  ASSERT_EQ(0, ::stat((sub + "/userdct1.lst").c_str(), &before));
  spell_close(s_);
  ASSERT_EQ(0, spell_open(s_, dir_ / "smain.dct", dir_ / "scommon.lst", sub + "/userdct1.lst", "", false));
  ASSERT_EQ(0, spell_add_user_word(s_, "new", 1));
  ASSERT_EQ(0, spell_write_user(s_, "", ""));
  ASSERT_EQ(0, ::stat((sub + "/userdct1.lst").c_str(), &after));
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mode, after.st_mode);
  EXPECT_EQ("old\nwords\nnew\n", read_file(sub + "/userdct1.lst"));
  // Into a directory that does not exist.
  EXPECT_EQ(ERR_OPEN_USER_DICTIONARY, spell_write_user(s_, dir_ / "none/x.lst", ""));
  EXPECT_EQ(dir_ / "none/x.lst", std::string(msg_dict_file));
}

TEST_F(SpellTest, PreloadAndOnDemandGiveTheSameAnswers) {
  ASSERT_EQ(0, open(false));
  std::vector<ErrorCode> lazy;
  const char* words[] = {"cat",   "cats", "catch", "cater", "catx",  "he'd",   "heal",   "heap", "hex",
                         "world", "word", "words", "wordy", "queen", "uneven", "unseen", "zzz"};
  for (const char* w : words) lazy.push_back(check(w));
  spell_close(s_);
  ASSERT_EQ(0, open(true));
  for (size_t i = 0; i < std::size(words); ++i) EXPECT_EQ(lazy[i], check(words[i])) << words[i];
  EXPECT_EQ(0, check("he'd"));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("catx"));
}

// A dictionary file holding one bucket "ca" made by hand.
std::string hand_dictionary(const std::vector<uint8_t>& bucket, uint16_t split) {
  std::string f(kSpellHeaderBytes, '\0');
  const int b = 28 * 2 + 1;  // "ca"
  f[4 * kSpellBuckets + 2 * b] = static_cast<char>(bucket.size() & 0xFF);
  f[4 * kSpellBuckets + 2 * b + 1] = static_cast<char>(bucket.size() >> 8);
  f[6 * kSpellBuckets + 2 * b] = static_cast<char>(split & 0xFF);
  f[6 * kSpellBuckets + 2 * b + 1] = static_cast<char>(split >> 8);
  f.append(bucket.begin(), bucket.end());
  return f;
}

constexpr uint8_t L0(char c) { return static_cast<uint8_t>(c == '\'' ? 27 : c - 'a' + 1); }
constexpr uint8_t Lk(int k, char c) { return static_cast<uint8_t>(28 * k + L0(c)); }
constexpr uint8_t Last(char c) { return static_cast<uint8_t>(224 + L0(c)); }

TEST_F(SpellTest, LevelLettersSharePrefixes) {
  // Segment one: "cab", "cable", "cabled", "cables", "cabin", "cabins",
  // "cad"; segment two (third letter "n" on): "cat", "cats", "catch",
  // "cater", "cattle", "cap"... in code order, then a word with code 28.
  const std::vector<uint8_t> bucket = {
      255,                                    // index 0, passed over
      255,        L0('b'),   254,             // cab
      Lk(1, 'l'), L0('e'),   254,             // cable
      Lk(2, 'd'), 254,                        // cabled (level 2 after "cable")
      Lk(2, 's'), 254,                        // cables
      Lk(1, 'i'), Last('n'),                  // cabin
      Lk(2, 's'), 254,                        // cabins
      255,        Last('d'),                  // cad
      255,                                    // the split
      255,        L0('t'),   254,             // cat
      Lk(1, 's'), 254,                        // cats
      Lk(1, 'c'), Last('h'),                  // catch
      Lk(1, 'e'), Last('r'),                  // cater
      Lk(1, 't'), L0('l'),   Last('e'),       // cattle
      255,        L0('x'),   28,        254,  // "cax" + no letter: matches nothing
      255,        L0('\''),  Last('s'),       // "ca's"
  };
  const uint16_t split = 17;  // the separator after "cad"
  ASSERT_EQ(255, bucket[split]);
  write_file(dir_ / "hand.dct", hand_dictionary(bucket, split));
  for (bool preload : {false, true}) {
    spell_close(s_);
    ASSERT_EQ(0, spell_open(s_, dir_ / "hand.dct", dir_ / "scommon.lst", "", "", preload));
    struct Case {
      const char* word;
      ErrorCode rc;
    } cases[] = {
        {"cab", 0},
        {"cable", 0},
        {"cabled", 0},
        {"cables", 0},
        {"cabin", 0},
        {"cabins", 0},
        {"cad", 0},
        {"cat", 0},
        {"cats", 0},
        {"catch", 0},
        {"cater", 0},
        {"cattle", 0},
        {"ca's", 0},
        {"cabl", ERR_WORD_NOT_FOUND},
        {"cabi", ERR_WORD_NOT_FOUND},
        {"cablesd", ERR_WORD_NOT_FOUND},
        {"catt", ERR_WORD_NOT_FOUND},
        {"catle", ERR_WORD_NOT_FOUND},
        {"cax", ERR_WORD_NOT_FOUND},
        {"caz", ERR_WORD_NOT_FOUND},
        {"cabinsx", ERR_WORD_NOT_FOUND},
    };
    for (const auto& c : cases) EXPECT_EQ(c.rc, check(c.word)) << c.word << " preload " << preload;
    // Every word decodes for the suggestions too; the one with code 28 never does.
    EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_lookup_main(s_, "cattel", true));
    EXPECT_TRUE(contains(suggestions(), "cattle")) << ::testing::PrintToString(suggestions());
    for (const auto& sg : suggestions()) EXPECT_EQ(std::string::npos, sg.find('\0'));
  }
}

TEST_F(SpellTest, EmptySegmentsAndTheEarlyEnd) {
  // Only a second segment; the first is empty (split at index 1).
  const std::vector<uint8_t> bucket = {255, 255, 255, L0('t'), 254, 255, Last('w')};
  write_file(dir_ / "hand.dct", hand_dictionary(bucket, 1));
  ASSERT_EQ(0, spell_open(s_, dir_ / "hand.dct", dir_ / "scommon.lst", "", "", false));
  EXPECT_EQ(0, check("cat"));
  EXPECT_EQ(0, check("caw"));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("cab"));
  // A completed word past the third letter ends the scan: "caw" (built
  // through a level letter, so not pruned) stored before "cat" hides it.
  const std::vector<uint8_t> out_of_order = {255, 255, 255, Lk(1, 'w'), 254, 255, L0('t'), 254};
  write_file(dir_ / "hand.dct", hand_dictionary(out_of_order, 1));
  ASSERT_EQ(0, spell_open(s_, dir_ / "hand.dct", dir_ / "scommon.lst", "", "", false));
  EXPECT_EQ(0, check("caw"));
  EXPECT_EQ(ERR_WORD_NOT_FOUND, check("cat"));
}

TEST(SpellBuilt, TheInstalledDictionariesFromWamerican) {
  const std::string dir = std::string(ZVX_BINARY_DIR) + "/app";
  if (::access((dir + "/smain.dct").c_str(), R_OK) != 0) GTEST_SKIP() << "the dictionaries are not built";
  EXPECT_EQ(0, ::access((dir + "/smain.copyright").c_str(), R_OK));
  SpellChecker s;
  ASSERT_EQ(0, spell_open(s, dir + "/smain.dct", dir + "/scommon.lst", "", "", false));
  struct Case {
    const char* word;
    ErrorCode rc;
  } cases[] = {
      {"receive", 0},
      {"The", 0},
      {"a", 0},
      {"I", 0},
      {"isn't", 0},
      {"computer's", 0},
      {"recieve", ERR_WORD_NOT_FOUND},
      {"Teh", ERR_WORD_NOT_FOUND},
      {"Alice", 0},
      {"alice", ERR_WORD_CAPITALIZATION},
      {"hELLO", ERR_WORD_CAPITALIZATION},
      {"zzyzx", ERR_WORD_NOT_FOUND},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, spell_check_word(s, c.word, nullptr)) << c.word;
  EXPECT_EQ(ERR_WORD_NOT_FOUND, spell_lookup_main(s, "recieve", true));
  ASSERT_FALSE(s.suggestions.empty());
  EXPECT_EQ("receive", s.suggestions[0].word);
  spell_history_add(s, "teh", "the");
  std::string repl;
  EXPECT_EQ(ERR_WORD_HAS_REPLACEMENT, spell_check_word(s, "Teh", &repl));
  EXPECT_EQ("The", repl);
  spell_close(s);
}

}  // namespace

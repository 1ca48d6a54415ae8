// The dictionary builder (see spelldict.h and README.md).
//
// Every word of three letters or more goes lower-cased into the main
// dictionary, in the bucket of its first two letters, sorted by letter code
// (the apostrophe after "z") and split before the words whose third letter
// is "n" or later. Each word is written on its own: a separator, its middle
// letters as level-0 codes and its last letter as a last-letter code. No
// level letters are written, so the lookup's pruning and its early end both
// hold whatever the order, and the codes that stand for no letter (28, 253)
// never appear. Words of one or two letters, which the main lookup never
// finds, and words that the list only spells with capitals ("Linux",
// "NASA") go to the common list as the list spells them, so that their
// capitalisation is checked.
#include "tools/spelldict/spelldict.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace {

constexpr int kBuckets = 784;
constexpr uint32_t kHeader = 6272;

int code(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  return c == '\'' ? 27 : 0;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool has_upper(const std::string& w) {
  return std::any_of(w.begin(), w.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

void put_u32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
void put_u16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}

// Orders words by letter code, so the apostrophe sorts after "z".
bool code_less(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return code(x) < code(y); });
}

}  // namespace

std::vector<std::string> spelldict_read_words(std::string_view text, int* dropped) {
  std::vector<std::string> words;
  int bad = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    const bool ok = std::all_of(line.begin(), line.end(), [](char c) { return code(lower(c)) != 0; });
    if (ok)
      words.emplace_back(line);
    else
      ++bad;
  }
  if (dropped) *dropped = bad;
  return words;
}

bool spelldict_build(const std::vector<std::string>& words, SpellDictFiles& out, std::string& error) {
  std::set<std::string> lower_seen;  // words the list spells in lower case
  for (const auto& w : words) {
    for (char c : w) {
      if (code(lower(c)) == 0) {
        error = "a word holds a character other than a letter or an apostrophe: " + w;
        return false;
      }
    }
    if (!has_upper(w)) lower_seen.insert(w);
  }
  std::array<std::vector<std::string>, kBuckets> buckets;
  std::set<std::string> main_words;
  std::set<std::string> common;
  for (const auto& w : words) {
    std::string l = w;
    for (char& c : l) c = lower(c);
    if (l.size() <= 2 || (has_upper(w) && !lower_seen.count(l))) common.insert(w);
    if (l.size() >= 3 && main_words.insert(l).second) buckets[28 * (code(l[0]) - 1) + code(l[1])].push_back(l);
  }
  out = SpellDictFiles{};
  out.main.assign(kHeader, 0);
  uint32_t offset = 0;
  for (int b = 0; b < kBuckets; ++b) {
    auto& list = buckets[b];
    if (list.empty()) continue;
    std::sort(list.begin(), list.end(),
              [](const std::string& x, const std::string& y) { return code_less(x.substr(2), y.substr(2)); });
    std::vector<uint8_t> bytes{255};
    size_t split = 0;
    bool split_done = false;
    for (const auto& w : list) {
      if (!split_done && code(w[2]) >= code('n')) {
        split = bytes.size();
        bytes.push_back(255);
        split_done = true;
      }
      bytes.push_back(255);
      for (size_t i = 2; i + 1 < w.size(); ++i) bytes.push_back(static_cast<uint8_t>(code(w[i])));
      bytes.push_back(static_cast<uint8_t>(224 + code(w.back())));
    }
    if (!split_done) {
      split = bytes.size();
      bytes.push_back(255);
    }
    if (bytes.size() > 65535) {
      error = "the words beginning with \"" + list.front().substr(0, 2) + "\" take more than 65535 bytes";
      return false;
    }
    put_u32(out.main, 4 * b, offset);
    put_u16(out.main, 4 * kBuckets + 2 * b, static_cast<uint16_t>(bytes.size()));
    put_u16(out.main, 6 * kBuckets + 2 * b, static_cast<uint16_t>(split));
    out.main.insert(out.main.end(), bytes.begin(), bytes.end());
    offset += static_cast<uint32_t>(bytes.size());
  }
  for (const auto& w : common) out.common += w + "\n";
  out.main_words = static_cast<int>(main_words.size());
  out.common_words = static_cast<int>(common.size());
  return true;
}

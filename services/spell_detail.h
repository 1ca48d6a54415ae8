// Inside the spell checker: letter codes, buckets and the bucket decoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "services/spell.h"

namespace spell_detail {

// msg_dict_file = name (the argument of the composed messages).
void set_dict_file(const std::string& name);
// 1..26 for a letter of either case, 27 for the apostrophe, else 0.
int letter_code(char c);
// Bucket 28 i + j of a lower-cased word's first two letters; -1 when
// either is not a letter or apostrophe.
int bucket_of(std::string_view lower);

// The bytes of bucket b: from memory, loaded on demand, or through the
// shared buffer. 0, or -3536.
ErrorCode bucket_bytes(SpellMainIndex& m, int b, std::span<const uint8_t>* out);

struct Segments {
  std::span<const uint8_t> first;   // third letter before "n"
  std::span<const uint8_t> second;  // third letter "n" or later
};
Segments segments_of(const SpellMainIndex& m, int b, std::span<const uint8_t> bytes);

inline constexpr int kDecodedMax = kSpellMaxWord - 2;  // letters after the bucket's two

// The letter of a code; code 28 stands for no letter (0).
inline char code_letter(int code) {
  if (code >= 1 && code <= 26) return static_cast<char>('a' + code - 1);
  return code == 27 ? '\'' : '\0';
}

// Walks one segment. Each completed word's letters after the first two go
// to visit(letters, length), which returns false to stop the walk. A word
// holding a code that stands for no letter, or longer than the checker
// takes, is never visited. With `prune` (the wanted word's letters after
// its first two), while no level letter has come since the separator, a
// letter that differs from the wanted one skips to the next separator.
template <class Visit>
void walk_segment(std::span<const uint8_t> seg, const std::string_view* prune, Visit&& visit) {
  char word[kDecodedMax];
  int len = 0, level = 0;
  int remembered[8] = {};
  bool complete = false, level_seen = false, bad = false;
  const uint8_t* p = seg.data();
  const uint8_t* const end = p + seg.size();
  auto append = [&](int code) {
    const char c = code_letter(code);
    if (c == '\0' || len >= kDecodedMax) {
      bad = true;
      if (len < kDecodedMax) word[len++] = '\0';
      return;
    }
    word[len++] = c;
  };
  while (p < end) {
    const uint8_t b = *p++;
    if (b == 255) {
      len = level = 0;
      complete = level_seen = bad = false;
      continue;
    }
    if (b == 254) {
      complete = true;
      if (!bad && !visit(std::string_view(word, len))) return;
      continue;
    }
    if (b >= 29 && b <= 224) {  // a letter at level k: prefix sharing
      const int k = (b - 1) / 28;
      level_seen = true;
      if (k > level) {
        for (int l = level + 1; l <= k; ++l) remembered[l] = len;
      } else {
        len = remembered[k];
        bad = false;
        for (int i = 0; i < len; ++i)
          if (word[i] == '\0') bad = true;
      }
      level = k;
      append((b - 1) % 28 + 1);
      complete = false;
      continue;
    }
    // A level-0 letter (1..28) or a last letter (225..253).
    if (b <= 28 && complete) {
      len = level = 0;
      bad = false;
    }
    const int code = b <= 28 ? b : (b == 253 ? 28 : (b - 1) % 28 + 1);
    append(code);
    if (prune && !level_seen) {
      const size_t at = static_cast<size_t>(len - 1);
      if (at >= prune->size() || (*prune)[at] != word[at]) {
        while (p < end && *p != 255) ++p;
        continue;
      }
    }
    complete = b >= 225;
    if (complete && !bad && !visit(std::string_view(word, len))) return;
  }
}

}  // namespace spell_detail

// Opening the dictionaries, checking words and the suggestion search.
#include <algorithm>
#include <cstring>

#include "services/spell.h"
#include "services/spell_detail.h"

using namespace spell_detail;

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_letter(char c) { return is_upper(c) || is_lower(c); }

std::string lowered(std::string_view w) {
  std::string s(w);
  for (char& c : s) c = lower(c);
  return s;
}
bool has_lower(std::string_view w) { return std::any_of(w.begin(), w.end(), is_lower); }
bool has_upper(std::string_view w) { return std::any_of(w.begin(), w.end(), is_upper); }
bool capitalised(std::string_view w) { return !w.empty() && is_upper(w[0]) && !has_upper(w.substr(1)); }

// Found in a word list ignoring case: the list's spelling.
bool in_lists(const SpellChecker& s, std::string_view w, std::string* form) {
  return spell_list_find(s.common, w, true, form) || spell_list_find(s.user[0], w, true, form) ||
         spell_list_find(s.user[1], w, true, form);
}

// The list check: true when the word passes. Records the list form and the
// expected possessive form.
bool list_check(SpellChecker& s, std::string_view w) {
  std::string form;
  bool via_stem = false;
  std::string_view typed = w;
  if (!in_lists(s, w, &form)) {
    size_t cut = 0;
    if (w.size() >= 2 && w[w.size() - 2] == '\'' && lower(w.back()) == 's')
      cut = 2;
    else if (!w.empty() && w.back() == '\'')
      cut = 1;
    if (cut == 0) return false;
    typed = w.substr(0, w.size() - cut);
    if (typed.size() <= 1 || !in_lists(s, typed, &form)) return false;
    via_stem = true;
    s.expected_possessive = form + (has_lower(form) ? "'s" : "'S");
    if (typed == form) return false;  // the possessive itself is for the main lookup
  }
  if (!via_stem && typed == form) return true;
  const bool form_plain = !has_upper(form) || capitalised(form);
  if (!has_lower(typed) && form_plain) {
    if (!via_stem) return true;
    s.expected_possessive = spell_case_like("A", form) + "'S";
    return false;
  }
  if (capitalised(typed) && !has_upper(form)) {
    if (!via_stem) return true;
    s.expected_possessive = spell_case_like("Aa", form) + "'s";
    return false;
  }
  if (!via_stem) s.list_form = form;
  return false;
}

// The case pattern of the typed word is one of: all lower, first capital
// only, all capitals.
ErrorCode scan_bucket(SpellChecker& s, int b, const std::string& w, bool* found_out);

bool plain_case(std::string_view w) {
  const size_t skip = !w.empty() && w[0] == '\'' ? 1 : 0;
  const std::string_view b = w.substr(skip);
  return !has_upper(b) || capitalised(b) || !has_lower(b);
}

constexpr size_t kRecentMax = 65536;

ErrorCode exact_lookup(SpellChecker& s, std::string_view typed, const std::string& w) {
  const int b = bucket_of(w);
  if (b < 0) return ERR_WORD_INVALID;
  bool found = false;
  if (const auto hit = s.main.recent.find(w); hit != s.main.recent.end()) {
    found = hit->second;
  } else {
    if (const ErrorCode rc = scan_bucket(s, b, w, &found); rc != 0) return rc;
    if (s.main.recent.size() >= kRecentMax) s.main.recent.clear();
    s.main.recent.emplace(w, found);
  }
  if (!found) return ERR_WORD_NOT_FOUND;
  if (!s.list_form.empty()) return ERR_WORD_CAPITALIZATION;
  if (!s.expected_possessive.empty() && s.expected_possessive != typed) return ERR_WORD_CAPITALIZATION;
  return 0;
}

ErrorCode scan_bucket(SpellChecker& s, int b, const std::string& w, bool* found_out) {
  std::span<const uint8_t> bytes;
  if (const ErrorCode rc = bucket_bytes(s.main, b, &bytes); rc != 0) return rc;
  const Segments seg = segments_of(s.main, b, bytes);
  const std::string_view rest = std::string_view(w).substr(2);
  const int third = letter_code(rest[0]);
  bool found = false;
  auto visit = [&](std::string_view c) {
    if (c.size() != rest.size()) return true;
    if (c == rest) {
      found = true;
      return false;
    }
    // Segments are ordered by the third letter: past it, no match follows.
    return third == 27 || letter_code(c[0]) <= third;
  };
  if (third == 27) {
    walk_segment(seg.first, &rest, visit);
    if (!found) walk_segment(seg.second, &rest, visit);
  } else {
    walk_segment(third < letter_code('n') ? seg.first : seg.second, &rest, visit);
  }
  *found_out = found;
  return 0;
}

int score_of(const std::string& w, std::string_view c) {
  const size_t n = w.size(), lc = c.size();
  auto wa = [&](size_t i) { return i < n ? w[i] : '\0'; };
  auto ca = [&](size_t k) { return k < lc ? c[k] : '\0'; };
  int score = 0;
  size_t i = 0, k = 0;
  while (k < lc && i < n) {
    if (w[i] == c[k]) {
      score += 2;
      ++i, ++k;
      continue;
    }
    if (w[i] == ca(k + 1) && wa(i + 1) == c[k]) {  // two letters swapped
      score += 4;
      i += 2, k += 2;
      continue;
    }
    if (w[i] == ca(k + 1)) ++k;
    if (wa(i + 1) == ca(k)) ++i;
    if (wa(i) == ca(k)) score += 1;
    ++i, ++k;
  }
  if (lc > n) score = std::max(0, score - static_cast<int>(lc - n));
  return score;
}

// The suggestions' case: step through the list forms, the possessive rule,
// and the typed word's pattern.
std::string adjust_case(const SpellChecker& s, const std::string& sug, std::string_view typed, bool list_rule) {
  std::string form;
  if (in_lists(s, sug, &form)) {
    if (list_rule && has_upper(form)) return spell_case_like(form, sug);
  } else if (sug.size() > 2 && sug.compare(sug.size() - 2, 2, "'s") == 0 &&
             in_lists(s, std::string_view(sug).substr(0, sug.size() - 2), &form)) {
    return form + (has_lower(form) ? "'s" : "'S");
  }
  return spell_case_like(typed, sug);
}

ErrorCode suggest(SpellChecker& s, std::string_view typed, const std::string& w) {
  s.suggestions.clear();
  const int n = static_cast<int>(w.size());
  const int t = 6 * n / 10;
  int best = -1;
  ErrorCode met = 1;  // 1: w itself not met
  if (n > 2) {
    if (bucket_of(w) < 0) return ERR_WORD_INVALID;
    static constexpr char kVowels[] = "aeiouwy";
    std::vector<int> buckets{bucket_of(w)};
    auto others = [&](char own, auto make) {
      const char* at = std::strchr(kVowels, own);
      if (!at || own == '\0') return;
      const int from = static_cast<int>(at - kVowels);
      for (int d = 1; d < 7; ++d) buckets.push_back(make(kVowels[(from + d) % 7]));
    };
    others(w[0], [&](char v) { return bucket_of(std::string{v, w[1]}); });
    others(w[1], [&](char v) { return bucket_of(std::string{w[0], v}); });
    for (int b : buckets) {
      std::span<const uint8_t> bytes;
      if (const ErrorCode rc = bucket_bytes(s.main, b, &bytes); rc != 0) return rc;
      const Segments seg = segments_of(s.main, b, bytes);
      const char first[2] = {code_letter(b / 28 + 1), code_letter(b % 28)};
      auto visit = [&](std::string_view rest) {
        std::string c(first, 2);
        c += rest;
        if (c == w) {
          met = 0;
          return false;
        }
        const int lc = static_cast<int>(c.size());
        if (std::min(n, lc) < t) return true;
        const int score = score_of(w, c);
        if (score < t) return true;
        auto& list = s.suggestions;
        if (static_cast<int>(list.size()) < kSpellMaxSuggestions) {
          list.push_back({std::move(c), score});
          if (best < 0 || score > list[best].score) best = static_cast<int>(list.size()) - 1;
        } else {
          for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].score < score) {
              list[i] = {std::move(c), score};
              if (score > list[best].score) best = static_cast<int>(i);
              break;
            }
          }
        }
        return true;
      };
      walk_segment(seg.first, nullptr, visit);
      if (met == 0) break;
      walk_segment(seg.second, nullptr, visit);
      if (met == 0) break;
    }
  }
  if (met == 0) {
    std::string only;
    if (!s.list_form.empty())
      only = s.list_form;
    else if (!s.expected_possessive.empty() && s.expected_possessive != typed)
      only = s.expected_possessive;
    if (!only.empty()) {
      s.suggestions.assign(1, {only, 2 * n});
      return ERR_WORD_CAPITALIZATION;
    }
  }
  if (best > 0) std::swap(s.suggestions[0], s.suggestions[best]);
  if (met == 0) {
    for (auto& sg : s.suggestions) sg.word = adjust_case(s, sg.word, typed, true);
    return 0;
  }
  if (s.list_form.empty()) {
    for (auto& sg : s.suggestions) sg.word = adjust_case(s, sg.word, typed, true);
    return ERR_WORD_NOT_FOUND;
  }
  bool equal_seen = false;
  for (auto& sg : s.suggestions) {
    if (!equal_seen && sg.word == w) {
      equal_seen = true;
      sg.word = spell_case_like(s.list_form, sg.word);
    } else {
      sg.word = adjust_case(s, sg.word, typed, false);
    }
  }
  if (equal_seen) return ERR_WORD_NOT_FOUND;
  if (s.suggestions.empty()) {
    s.suggestions.push_back({s.list_form, 0});
    return ERR_WORD_CAPITALIZATION;
  }
  s.suggestions.insert(s.suggestions.begin(), {s.list_form, 0});
  if (static_cast<int>(s.suggestions.size()) > kSpellMaxSuggestions) s.suggestions.pop_back();
  return ERR_WORD_NOT_FOUND;
}

}  // namespace

ErrorCode spell_lookup_main(SpellChecker& s, std::string_view word, bool want_suggestions) {
  const std::string w = lowered(word);
  const int n = static_cast<int>(w.size());
  if (n > kSpellMaxLookup) {
    if (want_suggestions) s.suggestions.clear();
    return 0;
  }
  if (want_suggestions) return suggest(s, word, w);
  if (n <= 2) return s.list_form.empty() ? ERR_WORD_NOT_FOUND : ERR_WORD_CAPITALIZATION;
  return exact_lookup(s, word, w);
}

ErrorCode spell_check_word(SpellChecker& s, std::string_view word, std::string* replacement) {
  if (replacement) replacement->clear();
  s.list_form.clear();
  s.expected_possessive.clear();
  if (word.empty() || word.size() > static_cast<size_t>(kSpellMaxWord)) return 0;
  if (s.opt_upper && !has_lower(word)) return 0;
  const std::string L = lowered(word);
  auto repeated = [&]() -> ErrorCode {
    const std::string prev = L.substr(0, kSpellMaxLookup);
    if (s.opt_repeated && prev == s.previous) return ERR_REPEATED_WORD;
    s.previous = prev;
    return 0;
  };
  if (word.size() == 1 || L.size() > static_cast<size_t>(kSpellMaxLookup)) return repeated();
  if (list_check(s, word)) return repeated();
  std::string repl;
  if (spell_history_find(s, word, &repl) == 0) {
    if (repl.empty()) return 0;
    if (replacement) *replacement = repl;
    return ERR_WORD_HAS_REPLACEMENT;
  }
  const ErrorCode rc = spell_lookup_main(s, word, false);
  if (rc == 0 && s.expected_possessive.empty() && !plain_case(word)) {
    s.list_form = L;
    s.previous.clear();
    return ERR_WORD_CAPITALIZATION;
  }
  if (rc == 0) return repeated();
  s.previous.clear();
  return rc;
}

namespace {

bool is_punctuation(char c) { return c != '\0' && std::strchr(",;.!?()&$:`#%[]_+-/*<=>{}~^@\"", c) != nullptr; }

}  // namespace

ErrorCode spell_next_word(SpellChecker& s, std::string_view text, int32_t* pos, std::string* word,
                          std::string* replacement, int32_t* word_start) {
  size_t p = static_cast<size_t>(std::max<int32_t>(*pos, 0));
  while (true) {
    while (p < text.size() && !is_letter(text[p])) {
      if (is_punctuation(text[p])) s.previous.clear();
      ++p;
    }
    if (p >= text.size()) {
      *pos = static_cast<int32_t>(text.size());
      return ERR_NO_MORE_WORDS;
    }
    const size_t start = p;
    while (p < text.size() && (is_letter(text[p]) || text[p] == '\'')) ++p;
    size_t end = p;
    while (end > start && text[end - 1] == '\'') --end;  // a final apostrophe is not part of it
    p = end;
    if (p < text.size() && is_punctuation(text[p])) s.previous.clear();
    const std::string_view w = text.substr(start, end - start);
    std::string repl;
    const ErrorCode rc = spell_check_word(s, w, &repl);
    if (rc != 0) {
      *pos = static_cast<int32_t>(p);
      if (word) *word = std::string(w);
      if (replacement) *replacement = repl;
      if (word_start) *word_start = static_cast<int32_t>(start);
      return rc;
    }
  }
}

// ---- opening ------------------------------------------------------------------------------

ErrorCode spell_open(SpellChecker& s, const std::string& main, const std::string& common, const std::string& user1,
                     const std::string& user2, bool preload) {
  spell_close(s);
  if (ErrorCode rc = spell_main_open(s.main, main, preload); rc != 0) return rc;
  if (ErrorCode rc = spell_list_load_common(s.common, common); rc != 0) {
    spell_close(s);
    return rc;
  }
  if (!user1.empty()) spell_list_load_user(s.user[0], user1);
  if (!user2.empty()) spell_list_load_user(s.user[1], user2);
  s.history.text.reserve(8192);
  s.open = true;
  return 0;
}

void spell_close(SpellChecker& s) {
  spell_main_close(s.main);
  s.common = WordList{};
  s.user[0] = WordList{};
  s.user[1] = WordList{};
  spell_history_free(s);
  s.previous.clear();
  s.list_form.clear();
  s.expected_possessive.clear();
  s.suggestions.clear();
  s.open = false;
}

ErrorCode spell_reload(SpellChecker& s, char letter, const std::string& name) {
  switch (letter) {
    case 'M':
      return spell_main_open(s.main, name, false);
    case 'C':
      return spell_list_load_common(s.common, name);
    case '1':
      return spell_list_load_user(s.user[0], name);
    case '2':
      return spell_list_load_user(s.user[1], name);
    default:
      return ERR_INVALID_ARGUMENT;
  }
}

// Fuzz target: the literal search against a direct scan, forward and
// backward, with and without folding, from every kind of start column.
//
// Input: a flag byte (bit 0 folds, bit 1 makes the pattern longer than the
// chain table by repetition), a start byte, a pattern-length byte, then the
// pattern and the text. Every answer must equal the first (last) start at or
// after (before) the start column where the folded text equals the pattern.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/lstr.h"
#include "text/plain_search.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

uint8_t fold(uint8_t c, bool on) { return on && c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

bool at(const std::string& t, const std::string& p, size_t i, bool f) {
  if (i + p.size() > t.size()) return false;
  for (size_t k = 0; k < p.size(); ++k)
    if (fold(static_cast<uint8_t>(t[i + k]), f) != static_cast<uint8_t>(p[k])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool f = data[0] & 1;
  const int32_t start = static_cast<int32_t>(data[1]) - 2;
  size_t plen = data[2];
  data += 3;
  size -= 3;
  if (plen > size) plen = size;
  std::string pat(reinterpret_cast<const char*>(data), plen);
  std::string text(reinterpret_cast<const char*>(data) + plen, size - plen);
  if (data[-3] & 2 && !pat.empty()) {
    while (pat.size() <= static_cast<size_t>(kPlainMaxPattern)) pat += pat;
    text = text + pat + text;
  }
  if (f)
    for (auto& c : pat) c = static_cast<char>(fold(static_cast<uint8_t>(c), true));
  if (pat.size() > LSTR_CAP_LINE * 4) return 0;
  std::string buf(sizeof(int32_t) + pat.size(), '\0');
  auto* lp = reinterpret_cast<LStr*>(buf.data());
  lp->len = static_cast<int32_t>(pat.size());
  std::memcpy(lp->text, pat.data(), pat.size());
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());

  int32_t want = 0;
  if (!pat.empty())
    for (size_t i = static_cast<size_t>(start < 1 ? 0 : start - 1); i < text.size(); ++i)
      if (at(text, pat, i, f)) {
        want = static_cast<int32_t>(i) + 1;
        break;
      }
  search_plain_prepare(lp, 1, f);
  check(search_plain_forward(start, lp, t, n) == want);

  want = 0;
  if (!pat.empty() && start >= 1)
    for (int64_t i = std::min<int64_t>(start - 1, n - 1); i >= 0; --i)
      if (at(text, pat, static_cast<size_t>(i), f)) {
        want = static_cast<int32_t>(i) + 1;
        break;
      }
  search_plain_prepare(lp, -1, f);
  check(search_plain_backward(start, lp, t, n) == want);
  return 0;
}

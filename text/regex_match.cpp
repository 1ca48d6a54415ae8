// The regular-expression matcher: a loop over the node array with an
// explicit choice stack, and the line search around it.
//
// A choice record remembers where to resume after a failure, and carries the
// group boundaries recorded after it and a counter value to restore, so that
// popping it undoes exactly what happened since it was pushed. The bottom
// record (the base) collects the groups of a successful match.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/mem.h"
#include "text/regex.h"
#include "text/ui_port.h"

namespace {

// Slot kCursorSlot of a record's positions holds the cursor mark, so that a
// mark passed on a path that later failed is forgotten with that path.
constexpr int kCursorSlot = kRegexGroups;
constexpr int kSlots = kRegexGroups + 1;

struct Choice {
  int32_t resume;     // node to resume at; -1: only restores a counter
  int32_t pos;        // text offset to resume at
  uint8_t negation;   // pushed by RX_NOT
  int8_t counter;     // counter to restore; -1: none
  uint16_t end_mask;  // bit g: end[g] recorded since this record
  uint16_t start_mask;
  int32_t counter_value;
  int32_t start[kSlots];  // 0-based offsets
  int32_t end[kSlots];
};

constexpr int kStackStep = 50;  // first size and smallest growth
// Past this many records (about 100 bytes each) a search fails with -8
// rather than take the machine's memory: lines are at most 1024 bytes, so
// only a pathological pattern on a very long text gets here.
constexpr int32_t kStackMax = 1 << 20;
// Backtracking steps between two polls of the break key.
constexpr int kPollSteps = 256;

Choice* stack = nullptr;
int32_t stack_cap = 0;
int32_t counters[kRegexCounters];
int poll_countdown = kPollSteps;

constexpr int kMatched = 1;
constexpr int kNoMatch = 0;

uint8_t fold(uint8_t b) { return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : b; }

bool grow_stack() {
  if (stack_cap >= kStackMax) return false;
  int32_t step = stack_cap / 2 > kStackStep ? stack_cap / 2 : kStackStep;
  int32_t cap = stack_cap + step > kStackMax ? kStackMax : stack_cap + step;
  void* p = mem_realloc(stack, static_cast<size_t>(cap) * sizeof(Choice));
  if (p == nullptr) return false;
  stack = static_cast<Choice*>(p);
  stack_cap = cap;
  return true;
}

class Matcher {
 public:
  Matcher(const RegexState& st, const uint8_t* text, int32_t len)
      : nodes_(st.nodes), text_(text), len_(len), ic_(st.ignore_case != 0) {}

  // Tries one start offset. kMatched (end in *end_out, groups in the base
  // record), kNoMatch, or a negative code (-2038 break, -8 stack).
  int match_at(int32_t start, int32_t* end_out) {
    // Locals, not members: stores into the records cannot then be taken
    // to change them, so they stay in registers.
    Choice* stk = stack;
    int32_t top = 0;
    auto push = [&](int32_t resume, int32_t pos) {
      if (top + 1 >= stack_cap) {
        if (!grow_stack()) return false;
        stk = stack;
      }
      Choice& r = stk[++top];
      r.resume = resume;
      r.pos = pos;
      r.negation = 0;
      r.counter = -1;
      r.end_mask = 0;
      r.start_mask = 0;
      return true;
    };
    auto push_restore = [&](int k, int32_t value) {
      if (!push(-1, 0)) return false;
      stk[top].counter = static_cast<int8_t>(k);
      stk[top].counter_value = value;
      return true;
    };
    auto record_end = [&](int slot, int32_t p) {
      stk[top].end[slot] = p;
      stk[top].end_mask |= static_cast<uint16_t>(1u << slot);
    };
    stk[0].resume = -1;
    stk[0].counter = -1;
    stk[0].negation = 0;
    stk[0].end_mask = 0;
    stk[0].start_mask = 0;
    int32_t pc = 0;
    int32_t p = start;
    for (;;) {
      const RegexNode& n = nodes_[pc];
      bool ok = true;
      switch (static_cast<RegexKind>(n.op & 0xFF)) {
        case RX_CHAR: {
          if (p >= len_) {
            ok = false;
            break;
          }
          uint8_t b = ic_ ? fold(text_[p]) : text_[p];
          if (b != ((n.op >> 8) & 0xFF)) {
            ok = false;
            break;
          }
          ++p;
          ++pc;
          break;
        }
        case RX_SPLIT_LAZY:
          if (!push(pc + n.a, p)) return ERR_INSUFFICIENT_MEMORY;
          pc += n.b;
          break;
        case RX_SPLIT:
          if (!push(pc + n.b, p)) return ERR_INSUFFICIENT_MEMORY;
          pc += n.a;
          break;
        case RX_JUMP:
          pc += n.b;
          break;
        case RX_ANY:
          if (p >= len_) {
            ok = false;
            break;
          }
          ++p;
          ++pc;
          break;
        case RX_CURSOR:
          record_end(kCursorSlot, p);
          ++pc;
          break;
        case RX_BOL:
          ok = p == 0;
          ++pc;
          break;
        case RX_EOL:
          ok = p == len_;
          ++pc;
          break;
        case RX_GROUP_START:
          stk[top].start[n.a] = p;
          stk[top].start_mask |= static_cast<uint16_t>(1u << n.a);
          ++pc;
          break;
        case RX_GROUP_END:
          record_end(n.a, p);
          ++pc;
          break;
        case RX_NOT:
          if (!push(pc + n.b, p)) return ERR_INSUFFICIENT_MEMORY;
          stk[top].negation = 1;
          ++pc;
          break;
        case RX_END:
          if (end_reached(top)) {
            *end_out = p;
            return kMatched;
          }
          ok = false;  // the negated item matched: the negation fails
          break;
        case RX_CLASS: {
          if (p >= len_) {
            ok = false;
            break;
          }
          uint8_t b = ic_ ? fold(text_[p]) : text_[p];
          const uint8_t* bits = reinterpret_cast<const uint8_t*>(&nodes_[pc + 1]);
          if (!(bits[b >> 3] & (1u << (b & 7)))) {
            ok = false;
            break;
          }
          ++p;
          pc += 3;
          break;
        }
        case RX_COUNT_RESET: {
          int k = (n.op >> 8) & 0xFF;
          // Restores the count of an enclosing pass on backtracking.
          if (counters[k] != 0 && !push_restore(k, counters[k])) return ERR_INSUFFICIENT_MEMORY;
          counters[k] = 0;
          ++pc;
          break;
        }
        case RX_REPEAT:
        case RX_REPEAT_LAZY: {
          int k = (n.op >> 8) & 0xFF;
          int32_t c = ++counters[k];
          if (c > n.max) {
            ok = false;
            break;
          }
          if (!push_restore(k, c - 1)) return ERR_INSUFFICIENT_MEMORY;
          if (c < n.min) {
            pc += n.a;
          } else if (c == n.max) {
            pc += n.b;
          } else if ((n.op & 0xFF) == RX_REPEAT) {
            // Try another pass; on failure leave with c passes.
            stk[top].resume = pc + n.b;
            stk[top].pos = p;
            pc += n.a;
          } else {
            // Leave now; on failure try pass c + 1 with the count at c.
            if (!push(pc + n.a, p)) return ERR_INSUFFICIENT_MEMORY;
            stk[top].counter = static_cast<int8_t>(k);
            stk[top].counter_value = c;
            pc += n.b;
          }
          break;
        }
        case RX_BACKREF: {
          int32_t s, e;
          if (!group_bounds(top, n.a, &s, &e)) {
            ok = false;
            break;
          }
          if (s >= e) {  // an empty group: succeed without consuming
            pc += n.b;
            break;
          }
          int32_t glen = e - s;
          if (glen > len_ - p || !same_text(s, p, glen)) {
            ok = false;
            break;
          }
          p += glen;
          ++pc;
          break;
        }
      }
      if (ok) continue;
      // Failure: back to the newest record that resumes somewhere.
      if (--poll_countdown <= 0) {
        poll_countdown = kPollSteps;
        if (ui_break_pressed()) return ERR_COMMAND_CANCELLED;
      }
      for (;;) {
        if (top == 0) return kNoMatch;
        const Choice& r = stk[top--];
        if (r.counter >= 0) counters[r.counter] = r.counter_value;
        if (r.resume >= 0) {
          pc = r.resume;
          p = r.pos;
          break;
        }
      }
    }
  }

 private:
  const RegexNode* nodes_;
  const uint8_t* text_;
  int32_t len_;
  bool ic_;
  // The newest end of group g, and the newest start at or below it.
  static bool group_bounds(int32_t top, int g, int32_t* s, int32_t* e) {
    if (g >= kRegexGroups) return false;  // a group that captures nothing
    uint16_t bit = static_cast<uint16_t>(1u << g);
    int32_t i = top;
    while (i >= 0 && !(stack[i].end_mask & bit)) --i;
    if (i < 0) return false;
    *e = stack[i].end[g];
    while (i >= 0 && !(stack[i].start_mask & bit)) --i;
    if (i < 0) return false;
    *s = stack[i].start[g];
    return true;
  }

  bool same_text(int32_t s, int32_t p, int32_t n) const {
    if (!ic_) return std::memcmp(text_ + s, text_ + p, static_cast<size_t>(n)) == 0;
    for (int32_t i = 0; i < n; ++i)
      if (fold(text_[s + i]) != fold(text_[p + i])) return false;
    return true;
  }

  // RX_END: false when it ends a negated item (whose record is dropped);
  // true when the match is complete, with the groups folded into the base.
  static bool end_reached(int32_t& top) {
    for (int32_t i = top; i > 0; --i) {
      if (stack[i].negation) {
        for (int32_t j = top; j >= i; --j)
          if (stack[j].counter >= 0) counters[stack[j].counter] = stack[j].counter_value;
        top = i - 1;
        return false;
      }
    }
    Choice& base = stack[0];
    for (int32_t i = 1; i <= top; ++i) {
      const Choice& r = stack[i];
      for (int g = 0; g < kSlots; ++g) {
        uint16_t bit = static_cast<uint16_t>(1u << g);
        if (r.start_mask & bit) base.start[g] = r.start[g];
        if (r.end_mask & bit) base.end[g] = r.end[g];
      }
      base.start_mask |= r.start_mask;
      base.end_mask |= r.end_mask;
    }
    top = 0;
    return true;
  }
};

// The result of one accepted match, kept while a backward match widens.
struct Found {
  int32_t start;
  int32_t end;
  uint16_t start_mask;
  uint16_t end_mask;
  int32_t gstart[kSlots];
  int32_t gend[kSlots];
};

void keep(Found& f, int32_t start, int32_t end) {
  const Choice& base = stack[0];
  f.start = start;
  f.end = end;
  f.start_mask = base.start_mask;
  f.end_mask = base.end_mask;
  std::memcpy(f.gstart, base.start, sizeof f.gstart);
  std::memcpy(f.gend, base.end, sizeof f.gend);
}

int report(RegexState& st, const Found& f) {
  st.match_length = f.end - f.start;
  st.group_mask = f.end_mask & ((1u << kRegexGroups) - 1);
  for (int g = 0; g < kRegexGroups; ++g) {
    if (!(st.group_mask & (1u << g))) continue;
    st.groups[g].start = f.gstart[g] + 1;
    st.groups[g].end = f.gend[g] + 1;
  }
  st.cursor_column = (f.end_mask & (1u << kCursorSlot)) ? f.gend[kCursorSlot] + 1 : 0;
  return f.start + 1;
}

// The first node that decides where a match can begin.
const RegexNode& first_real_node(const RegexState& st) {
  int32_t i = 0;
  for (;;) {
    uint32_t kind = st.nodes[i].op & 0xFF;
    if (kind != RX_CURSOR && kind != RX_GROUP_START && kind != RX_GROUP_END) return st.nodes[i];
    ++i;
  }
}

}  // namespace

namespace {

// Whether the run of bytes every match holds lies with its anchor element
// at offset i (a <= i, i + len - a <= n).
inline bool chain_at(const RegexState& st, const uint8_t* text, int32_t i) {
  const uint8_t* run = text + i - st.chain_anchor;
  int32_t k = 0;
  while (k < st.chain_len && (st.chain[run[k]] >> k & 1)) ++k;
  return k == st.chain_len;
}

// The offset of the anchor element of the first run of bytes every match
// holds in text, or -1: a scan for the element fewest bytes may be, and a
// check of the run around each one found. An anchor of at most eight bytes
// is looked for sixteen bytes at a time in long texts; otherwise, and in
// short lines where setting that up costs more than it saves, four bytes a
// step through the table.
int32_t first_chain(const RegexState& st, const uint8_t* text, int32_t n) {
  const int32_t len = st.chain_len, a = st.chain_anchor;
  const int32_t last = n - (len - a);  // the last offset the anchor may have
  int32_t i = a;
#if defined(__SSE2__)
  if (st.anchor_count && n >= 16) {
    __m128i want[8];
    for (int k = 0; k < st.anchor_count; ++k) want[k] = _mm_set1_epi8(static_cast<char>(st.anchor_bytes[k]));
    // Sixteen bytes from i; the last block ends at n and overlaps the one
    // before it, whose bytes it does not report again.
    for (int32_t done = i; i <= last; i += 16) {
      if (i + 16 > n) i = n - 16;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      __m128i hit = _mm_cmpeq_epi8(v, want[0]);
      for (int k = 1; k < st.anchor_count; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, want[k]));
      uint32_t m = static_cast<uint32_t>(_mm_movemask_epi8(hit));
      if (done > i) m &= ~0u << (done - i);
      for (; m != 0; m &= m - 1) {
        const int32_t at = i + __builtin_ctz(m);
        if (at > last) return -1;
        if (chain_at(st, text, at)) return at;
      }
      done = i + 16;
      if (done >= n) return -1;
    }
    return -1;
  }
#endif
  const uint8_t bit = static_cast<uint8_t>(1u << a);
  const uint8_t* c = st.chain;
  for (; i <= last; ++i) {
    while (i + 3 <= last && !((c[text[i]] | c[text[i + 1]] | c[text[i + 2]] | c[text[i + 3]]) & bit)) i += 4;
    if (i <= last && (c[text[i]] & bit) && chain_at(st, text, i)) return i;
  }
  return -1;
}

bool holds_chain(const RegexState& st, const uint8_t* text, int32_t n) { return first_chain(st, text, n) >= 0; }

}  // namespace

void re_release_working_storage() {
  mem_free(stack);
  stack = nullptr;
  stack_cap = 0;
}

int re_search(RegexState& st, int start_column, const uint8_t* text, int length) {
  st.match_length = 0;
  st.group_mask = 0;
  st.cursor_column = 0;
  if (st.direction == 0 || st.last_node < 0) return 0;  // nothing usable compiled
  if (length < 0) length = 0;
  if (st.chain_len && !holds_chain(st, text, length)) return 0;  // no match can lie in the line
  if (stack == nullptr && !grow_stack()) return ERR_INSUFFICIENT_MEMORY;

  Matcher m(st, text, length);
  const int32_t end = length;  // offset just past the last byte
  int32_t found_end = 0;
  Found f;
  auto attempt = [&](int32_t at) -> int {
    int r = m.match_at(at, &found_end);
    if (r == kMatched) keep(f, at, found_end);
    return r;
  };
  const RegexNode& lead = first_real_node(st);
  const uint32_t lead_kind = lead.op & 0xFF;
  const uint8_t lead_char = static_cast<uint8_t>((lead.op >> 8) & 0xFF);
  const bool ic = st.ignore_case != 0;
  int r = kNoMatch;

  if (st.direction > 0) {
    int32_t cand = (start_column < 1 ? 1 : start_column) - 1;
    if (st.required >= 0 && (cand >= end || !std::memchr(text + cand, st.required, static_cast<size_t>(end - cand))))
      return 0;  // no match can lie where the byte every match holds is missing
    if (st.first_valid) {
      const uint8_t* table = st.first;
      for (int32_t i = cand; r == kNoMatch; ++i) {
        // The scan is the hot loop: four bytes a step while none is marked.
        while (i + 4 <= end && !(table[text[i]] | table[text[i + 1]] | table[text[i + 2]] | table[text[i + 3]])) i += 4;
        while (i < end && !table[text[i]]) ++i;
        if (i >= end) break;
        r = attempt(i);
      }
    } else if (lead_kind == RX_CHAR && !ic) {
      for (int32_t i = cand; r == kNoMatch && i < end; ++i) {
        const void* hit = std::memchr(text + i, lead_char, static_cast<size_t>(end - i));
        if (hit == nullptr) break;
        i = static_cast<int32_t>(static_cast<const uint8_t*>(hit) - text);
        r = attempt(i);
      }
    } else if (lead_kind == RX_CHAR) {
      for (int32_t i = cand; i < end && r == kNoMatch; ++i)
        if (fold(text[i]) == lead_char) r = attempt(i);
    } else if (lead_kind == RX_BOL) {
      if (cand == 0) r = attempt(0);
    } else if (lead_kind == RX_EOL) {
      if (cand <= end) r = attempt(end);
    } else {
      for (int32_t i = cand; i <= end && r == kNoMatch; ++i) r = attempt(i);
    }
    if (r == kMatched) return report(st, f);
    return r < 0 ? r : 0;
  }

  int32_t cand = (start_column > length + 1 ? length + 1 : start_column) - 1;
  if (st.required >= 0 && (end == 0 || !std::memchr(text, st.required, static_cast<size_t>(end)))) return 0;
  int32_t below_end = cand < end - 1 ? cand : end - 1;  // lowered to the last byte
  if (st.first_valid) {
    for (int32_t i = below_end; i >= 0 && r == kNoMatch; --i)
      if (st.first[text[i]]) r = attempt(i);
  } else if (lead_kind == RX_CHAR) {
    for (int32_t i = below_end; i >= 0 && r == kNoMatch; --i)
      if ((ic ? fold(text[i]) : text[i]) == lead_char) r = attempt(i);
  } else if (lead_kind == RX_BOL) {
    if (cand >= 0) r = attempt(0);
  } else if (lead_kind == RX_EOL) {
    if (cand >= end) r = attempt(end);
  } else {
    for (int32_t i = cand; i >= 0 && r == kNoMatch; --i) r = attempt(i);
  }
  if (r != kMatched) return r < 0 ? r : 0;
  // Widen to the left while a match one byte earlier reaches as far.
  while (f.start > 0) {
    Found wider = f;
    int32_t e = 0;
    int w = m.match_at(f.start - 1, &e);
    if (w < 0) return w;
    if (w != kMatched || e < f.end) break;
    keep(wider, f.start - 1, e);
    f = wider;
  }
  return report(st, f);
}

int32_t re_find_chain(const RegexState& st, const uint8_t* text, int32_t n) {
  if (st.direction == 0 || st.chain_len == 0) return -1;
  const int32_t at = first_chain(st, text, n);
  return at < 0 ? -1 : at - st.chain_anchor;
}

int re_search(int start_column, const LStr* /*pattern*/, const uint8_t* text, int length) {
  return re_search(re_current(), start_column, text, length);
}

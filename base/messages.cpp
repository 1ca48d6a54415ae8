// The error-message table and its lookups. The rows come from messages.inc,
// generated once; everything here is derived from those rows.
#include "base/messages.h"

#include <algorithm>

LStrBuf<LSTR_CAP_LINE> msg_arg;
LStrBuf<LSTR_CAP_LINE> msg_arg2;
char msg_dict_file[MSG_DICT_FILE_SIZE];
LStrBuf<LSTR_CAP_LINE + 1> msg_static_text;

namespace {

// Kind-0 pieces keep their length in 8 bits: such a piece is at most 255 bytes.
constexpr int32_t kMaxCstrPiece = 255;
constexpr char kNotAvailable[] = "Message not available";

struct MsgRow {
  int32_t code;
  uint32_t flags;
};

#define MSG_TEXT(code, flags, text) {code, flags},
#define MSG_ARG(code, flags, text) {code, flags},
#define MSG_ARG2(code, flags, text) {code, flags},
#define MSG_DICT(code, flags, text) {code, flags},
constexpr MsgRow kRows[] = {
#include "base/messages.inc"
};
#undef MSG_TEXT
#undef MSG_ARG
#undef MSG_ARG2
#undef MSG_DICT

#define MSG_RANGE(high, low) {high, low},
constexpr MsgRange kRanges[] = {
#include "base/messages.inc"
};
#undef MSG_RANGE

constexpr bool rows_follow_ranges() {
  size_t i = 0;
  for (const MsgRange& r : kRanges) {
    if (r.high < r.low) return false;
    for (int32_t c = r.high; c >= r.low; --c, ++i) {
      if (i >= std::size(kRows) || kRows[i].code != c) return false;
    }
  }
  return i == std::size(kRows);
}

// A record that continues a message carries 0x480 (plus the stop flag and its
// kind); the record after it is the next code.
constexpr bool continuations_well_formed() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if ((kRows[i].flags & MSG_CONTINUES) == 0) continue;
    if ((kRows[i].flags & MSG_NEXT_CODE) == 0) return false;
    if (i + 1 >= std::size(kRows) || kRows[i + 1].code != kRows[i].code - 1) return false;
  }
  return true;
}

static_assert(std::size(kRanges) == MSG_RANGE_COUNT);
static_assert(std::size(kRows) == MSG_RECORD_COUNT);
static_assert(rows_follow_ranges(), "rows must run range by range from each high code down");
static_assert(continuations_well_formed());

}  // namespace

const MsgRange msg_ranges[MSG_RANGE_COUNT] = {
#define MSG_RANGE(high, low) {high, low},
#include "base/messages.inc"
#undef MSG_RANGE
};

const MsgRecord msg_records[MSG_RECORD_COUNT] = {
#define MSG_TEXT(code, flags, text) {text, flags},
#define MSG_ARG(code, flags, text) {&msg_arg, flags},
#define MSG_ARG2(code, flags, text) {&msg_arg2, flags},
#define MSG_DICT(code, flags, text) {msg_dict_file, flags},
#include "base/messages.inc"
#undef MSG_TEXT
#undef MSG_ARG
#undef MSG_ARG2
#undef MSG_DICT
};

namespace {

// Index of code's record, or -1 when no range holds it.
int32_t record_index(int32_t code) {
  int32_t sum = 0;
  for (const MsgRange& r : msg_ranges) {
    if (r.low <= code && code <= r.high) return sum + (r.high - code);
    sum += r.high - r.low + 1;
  }
  return -1;
}

// Appends the piece of one record to out, cut at capacity.
void append_piece(LStr* out, int32_t capacity, const MsgRecord& rec) {
  switch (rec.flags & MSG_KIND_MASK) {
    case MSG_KIND_LSTR:
      lstr_append(out, static_cast<const LStr*>(rec.text), capacity);
      break;
    case MSG_KIND_INT: {
      LStrBuf<12> num;
      lstr_from_int(*static_cast<const int32_t*>(rec.text), num);
      lstr_append(out, num, capacity);
      break;
    }
    default: {
      const char* c = static_cast<const char*>(rec.text);
      // A writable buffer (msg_dict_file) may lack its NUL: never read past the piece limit.
      int32_t n = static_cast<int32_t>(strnlen(c, kMaxCstrPiece));
      lstr_append_mem(out, c, n, capacity);
      break;
    }
  }
}

}  // namespace

LStr* msg_lookup(LStr* out, int32_t capacity, int32_t* code, uint32_t* flags) {
  out->len = 0;
  int32_t index = record_index(*code);
  if (index < 0) {
    lstr_append_mem(out, kNotAvailable, static_cast<int32_t>(sizeof kNotAvailable - 1), capacity);
    if (flags) *flags = 0;
    return out;
  }
  uint32_t f;
  do {
    const MsgRecord& rec = msg_records[index];
    append_piece(out, capacity, rec);
    f = rec.flags;
    if (flags) *flags = f;
    ++index;
    --*code;
  } while ((f & MSG_CONTINUES) != 0 && index < MSG_RECORD_COUNT);
  return out;
}

LStr* msg_lookup_static(int32_t* code, uint32_t* flags) {
  return msg_lookup(msg_static_text, LSTR_CAP_LINE, code, flags);
}

const char* msg_full_text(int32_t code, uint32_t* flags) {
  LStrBuf<LSTR_CAP_LINE + 1>& text = msg_static_text;
  text.len = 0;
  LStrBuf<LSTR_CAP_LINE> work;
  bool first = true;
  uint32_t last_flags;
  do {
    msg_lookup(work, LSTR_CAP_LINE, &code, &last_flags);
    if (first) {
      if (flags) *flags = last_flags;
      lstr_copy(text, work, LSTR_CAP_LINE);
      first = false;
    } else {
      lstr_append_mem(text, "\n", 1, LSTR_CAP_LINE);
      lstr_append(text, work, LSTR_CAP_LINE);
    }
  } while ((last_flags & MSG_NEXT_CODE) != 0);
  // The text is at most 1024 bytes in 1025 of storage, so the NUL always fits.
  text.text[text.size()] = '\0';
  return text.text;
}

std::string_view msg_text(ErrorCode code) {
  msg_full_text(code, nullptr);
  return msg_static_text.view();
}

// The error-message table: the shape of the generated data (ranges, counts,
// flags) and sample lookups of every kind, with texts as the user reads them.
#include "base/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Looked {
  std::string text;
  int32_t code_after;
  uint32_t flags;
};

Looked look(int32_t code, int32_t cap = LSTR_CAP_LINE) {
  LStrLine out;
  out.assign("stale");
  uint32_t flags = 0xDEAD;
  msg_lookup(out, cap, &code, &flags);
  return {std::string(out.view()), code, flags};
}

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    msg_arg.assign("ARG");
    msg_arg2.assign("ARG2");
    cstr_copy(msg_dict_file, "main.dic", MSG_DICT_FILE_SIZE);
  }
};

TEST_F(Messages, RangesAndRecordCounts) {
  struct Range {
    int32_t high, low, records;
  };
  const std::vector<Range> want = {{0, -53, 54},      {-500, -500, 1},    {-2000, -2111, 112}, {-2500, -2500, 1},
                                   {-2550, -2551, 2}, {-3000, -3065, 66}, {-3500, -3558, 59}};
  ASSERT_EQ(MSG_RANGE_COUNT, static_cast<int32_t>(want.size()));
  int32_t total = 0;
  for (int32_t i = 0; i < MSG_RANGE_COUNT; ++i) {
    EXPECT_EQ(msg_ranges[i].high, want[i].high);
    EXPECT_EQ(msg_ranges[i].low, want[i].low);
    EXPECT_EQ(msg_ranges[i].high - msg_ranges[i].low + 1, want[i].records);
    total += want[i].records;
  }
  EXPECT_EQ(total, 295);
  EXPECT_EQ(MSG_RECORD_COUNT, 295);
}

TEST_F(Messages, ComposedStoppingAndEmptyCounts) {
  // Counted by hand from the message list: 29 composed messages, 33 that stop
  // a macro (one of them, -7, with 0x20), 28 empty fixed texts.
  int composed = 0, stopping = 0, empty = 0, hard = 0;
  for (int32_t i = 0; i < MSG_RECORD_COUNT; ++i) {
    const MsgRecord& r = msg_records[i];
    bool first = i == 0 || (msg_records[i - 1].flags & MSG_CONTINUES) == 0;
    bool last = (r.flags & MSG_CONTINUES) == 0;
    if (first && !last) ++composed;
    if (last && msg_stops(r.flags)) ++stopping;
    if (r.flags & MSG_STOPS_HARD) ++hard;
    if ((r.flags & MSG_KIND_MASK) == MSG_KIND_CSTR && r.text != msg_dict_file &&
        *static_cast<const char*>(r.text) == '\0')
      ++empty;
    if (!last) {
      // Continuing records carry 0x480, or 0x4C0 when the message stops.
      EXPECT_TRUE((r.flags & ~MSG_KIND_MASK) == 0x480 || (r.flags & ~MSG_KIND_MASK) == 0x4C0) << i;
    }
  }
  EXPECT_EQ(composed, 29);
  EXPECT_EQ(stopping, 33);
  EXPECT_EQ(hard, 1);
  EXPECT_EQ(empty, 28);
}

TEST_F(Messages, SampleCodes) {
  struct Case {
    int32_t code;
    std::string text;
    uint32_t flags;
    int32_t code_after;
  };
  const std::vector<Case> cases = {
      // plain
      {-2, "File not found", 0, -3},
      {-3, "Path not found", 0, -4},
      {-5, "Access denied", 0, -6},
      {-7, "Memory control blocks destroyed.  Save files and reboot.", 0x20, -8},
      {-53, "End of file reached", 0, -54},
      {-500, "Unable to initialize console", 0, -501},
      {-2027, ".  Type any key.", 0, -2028},
      {-2044, "Command line too long.  Place wild card filespecs in double quotes.", 0, -2045},
      {-2075, "Time out waiting for process to initialized", 0, -2076},
      {-2500, "Invalid regular expression", 0, -2501},
      {-2551, "Invalid bitmap file", 0, -2552},
      {-3500, "exist", 0, -3501},
      {-3558, "Unable to open file", 0, -3559},
      // stopping
      {-2073, "This property or method is not allowed on this object", 0x40, -2074},
      {-3000, "Incorrect version", 0x40, -3001},
      {-3014, "Illegal opcode", 0x40, -3015},
      {-3015, "Invalid argument", 0x40, -3016},
      {-3010, "Recursion too deep", 0x40, -3011},
      {-3030, "Invalid option", 0, -3031},
      {-3002, "Interpreter out of memory", 0, -3003},
      // composed
      {-2020, "Macro file ARG not found", 0, -2023},
      {-2021, "ARG not found", 0, -2023},
      {-3003, "Procedure ARG not found", 0x40, -3006},
      {-3064, "ARG: Invalid argument", 0, -3066},
      {-2101, "Failed to copy/move ARG to ARG2", 1, -2105},
      {-2105, "Failed to copy/move ARG to ARG2.  Access Denied.", 0, -2110},
      {-3504, "Unable to open main dictionary: main.dic", 0, -3506},
      {-3501, "Spell file: main.dic not found", 0, -3504},
      {-3048, "Event table ARG referenced but does not exist", 0x40, -3051},
      {-2046, "If 'ARG' is an old local state file, erase it and try again.", 0, -2049},
      // empty
      {0, "", 0, -1},
      {-1, "", 0, -2},
      {-2045, "", 0, -2046},
      {-2111, "", 0, -2112},
      {-3023, "", 0, -3024},
      // outside every range
      {-54, "Message not available", 0, -54},
      {-499, "Message not available", 0, -499},
      {1, "Message not available", 0, 1},
      {-3559, "Message not available", 0, -3559},
      {INT32_MIN, "Message not available", 0, INT32_MIN},
  };
  for (const Case& c : cases) {
    Looked r = look(c.code);
    EXPECT_EQ(r.text, c.text) << c.code;
    EXPECT_EQ(r.flags, c.flags) << c.code;
    EXPECT_EQ(r.code_after, c.code_after) << c.code;
  }
}

TEST_F(Messages, FlagsMayBeOmittedAndTextsAreCutAtTheCapacity) {
  LStrLine out;
  int32_t code = ERR_MACRO_FILE_NOT_FOUND;
  msg_lookup(out, 15, &code, nullptr);
  EXPECT_EQ(out.view(), "Macro file ARG ");
  EXPECT_EQ(code, -2023);
}

TEST_F(Messages, ArgumentsKeepNulBytes) {
  msg_arg.assign(std::string("a\0b", 3));
  EXPECT_EQ(look(-2020).text, std::string("Macro file a\0b not found", 24));
}

TEST_F(Messages, StaticLookupReusesOneBuffer) {
  int32_t a = -2, b = -3;
  LStr* first = msg_lookup_static(&a, nullptr);
  LStr* second = msg_lookup_static(&b, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->view(), "Path not found");
}

TEST_F(Messages, FullTextIsTerminatedAndReportsFlags) {
  uint32_t flags = 0;
  EXPECT_STREQ(msg_full_text(-3003, &flags), "Procedure ARG not found");
  EXPECT_EQ(flags, 0x40u);
  EXPECT_STREQ(msg_full_text(-9999, &flags), "Message not available");
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(msg_text(ERR_INVALID_REGEX), "Invalid regular expression");
}

TEST_F(Messages, FullTextOfAFullBufferIsStillTerminated) {
  // A 1024-byte argument fills the text to its capacity; the returned C string
  // must still end inside the buffer.
  msg_arg.assign(std::string(1024, 'a'));
  const char* t = msg_full_text(ERR_MACRO_FILE_NOT_FOUND, nullptr);
  ASSERT_EQ(std::strlen(t), 1024u);
  EXPECT_EQ(std::string(t, 11), "Macro file ");
  EXPECT_EQ(t[1023], 'a');
}

TEST_F(Messages, AnUnterminatedDictionaryNameIsReadOnlyUpToItsPieceLimit) {
  std::memset(msg_dict_file, 'd', MSG_DICT_FILE_SIZE);  // no NUL anywhere
  Looked r = look(ERR_OPEN_MAIN_DICTIONARY);
  EXPECT_EQ(r.text, "Unable to open main dictionary: " + std::string(255, 'd'));
}

}  // namespace

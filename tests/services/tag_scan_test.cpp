// The token scanner: a table of texts and their tokens, comments and
// directives, and the same tokens, lines and offsets whatever the size of
// the pieces the reader gives.
#include "services/tag_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/tag_scan_setup.h"

namespace {

struct Source {
  std::string text;
  size_t at = 0;
  size_t chunk = 1 << 30;
};

int32_t read_source(void* h, uint8_t* dst, int32_t cap) {
  auto& s = *static_cast<Source*>(h);
  const size_t n = std::min({static_cast<size_t>(cap), s.text.size() - s.at, s.chunk});
  std::memcpy(dst, s.text.data() + s.at, n);
  s.at += n;
  return static_cast<int32_t>(n);
}

// One token as the test prints it: code, then text or character, line, offset.
std::string describe(const TagScan& sc) {
  std::string d = std::to_string(sc.token());
  if (sc.token() == kTokIdent) d += ":" + std::string(sc.text());
  if (sc.token() == kTokChar) d += ":" + std::string(1, static_cast<char>(sc.token_char()));
  return d;
}

struct ScanRun {
  std::vector<std::string> tokens;  // code[:text]
  std::vector<std::string> places;  // line@offset
};

ScanRun scan_all(const TokenScanner& cfg, const std::string& text, size_t chunk = 1 << 30) {
  Source src{text, 0, chunk};
  TagScan sc;
  DirectiveLog log;
  sc.set_user(&log);
  sc.start(&cfg, read_source, &src);
  ScanRun r;
  for (int32_t t = sc.first();; t = sc.next()) {
    for (auto& d : log.seen) r.tokens.push_back(d);
    log.seen.clear();
    r.tokens.push_back(describe(sc));
    r.places.push_back(std::to_string(sc.line()) + "@" + std::to_string(sc.token_offset()));
    if (t == kTokEnd || r.tokens.size() > 100000) break;
  }
  return r;
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : " ") + x;
  return s;
}

class TagScanTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, tag_scan_test_config(cfg_)); }
  TokenScanner cfg_;
};

TEST_F(TagScanTest, TextsAndTheirTokens) {
  // 0 ident, 1 end, 2 number, 3 literal, 5 char; 20.. the keyword rows.
  const struct {
    const char* text;
    const char* tokens;
  } cases[] = {
      {"a/b", "0:a 0:b 1"},
      {"x::y", "0:x 26 0:y 1"},
      {"x:y", "0:x 0:y 1"},
      {"0x1F 1.5e-3 123abc abc123", "2 2 2 0:abc123 1"},
      {"0x1E-3", "2 5:- 2 1"},   // no sign in a hexadecimal number
      {"1e+5e-3", "2 5:- 2 1"},  // one sign per number
      {"\"a\\\"b\" x", "3 0:x 1"},
      {"\"broken\nx", "3 0:x 1"},
      {"'c' '\\'' y", "3 3 0:y 1"},
      {"typedef struct{}", "10 12 20 21 1"},
      {"a @ b", "0:a 5:@ 0:b 1"},
      {"a /* x\n y */ b // c\nd", "0:a 0:b 0:d 1"},
      {"a /* never closed\n", "0:a 1"},
      {"#include <x.h>\nz", "0:z 1"},
      {"#if a \\\n  b\nz", "0:z 1"},
      {"  #define W 1\nz", "define:W 0:z 1"},
      {"#define\nz", "define: 0:z 1"},
      {"# define W 1\nz", "0:z 1"},  // "#" and a blank: an unknown directive, skipped
      {"x # y", "0:x 5:# 0:y 1"},
      {"\\", "5:\\ 1"},
      {"", "1"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tokens, joined(scan_all(cfg_, c.text).tokens)) << c.text;
  // A NUL inside the source is a token of its own.
  EXPECT_EQ("0:a 5:" + std::string(1, '\0') + " 0:b 1", joined(scan_all(cfg_, std::string("a\0b", 3)).tokens));
}

TEST_F(TagScanTest, LinesCountEveryLineEndForm) {
  const ScanRun r = scan_all(cfg_, "a\nb\r\nc\rd\n\n/*\r\n*/e");
  EXPECT_EQ("0:a 0:b 0:c 0:d 0:e 1", joined(r.tokens));
  EXPECT_EQ("1@0 2@2 3@5 4@7 7@16 7@17", joined(r.places));
}

TEST_F(TagScanTest, LineModeMakesLineEndsTokens) {
  Source src{"a\nb\r\nc", 0};
  TagScan sc;
  sc.start(&cfg_, read_source, &src);
  sc.set_line_mode(true);
  std::string got;
  for (int32_t t = sc.first(); t != kTokEnd; t = sc.next()) got += std::to_string(t) + " ";
  EXPECT_EQ("0 4 0 4 0 ", got);
  EXPECT_TRUE(sc.set_line_mode(false));
}

TEST_F(TagScanTest, LongWordsKeepTheirStartOffset) {
  const std::string word(200, 'w');
  const ScanRun r = scan_all(cfg_, "x " + word + " y");
  EXPECT_EQ("1@0 1@2 1@203 1@204", joined(r.places));
}

TEST_F(TagScanTest, AFullBufferWithoutALineEndIsOneFill) {
  std::string text(3999, ' ');
  text[0] = 'a';
  text[3998] = 'b';
  const ScanRun r = scan_all(cfg_, text);
  EXPECT_EQ("0:a 0:b 1", joined(r.tokens));
  EXPECT_EQ("1@0 1@3998 1@3999", joined(r.places));
}

TEST_F(TagScanTest, ConfigurationRefusals) {
  TokenScanner s;
  ASSERT_EQ(0, scan_init(s, true, "a-z", "0-9"));
  EXPECT_EQ(1, scan_add_block_comment(s, "ab", "*/", false));  // begins with a word byte
  EXPECT_EQ(0, scan_add_block_comment(s, "/*", "*/", false));
  EXPECT_EQ(0, scan_add_block_comment(s, "(*", "*)", true));
  EXPECT_EQ(1, scan_add_block_comment(s, "{", "}", false));  // a third pair
  TokenScanner never;
  const KeywordRow row{"x", 10, KeywordKind::Word};
  EXPECT_EQ(1, scan_add_keywords(never, &row, 1));  // not set up
}

TEST_F(TagScanTest, NestedCommentsCountTheirDelimiters) {
  TokenScanner s;
  ASSERT_EQ(0, scan_init(s, true, "a-z", ""));
  ASSERT_EQ(0, scan_add_block_comment(s, "(*", "*)", true));
  EXPECT_EQ("0:a 0:d 1", joined(scan_all(s, "a (* b (* c *) *) d").tokens));
  EXPECT_EQ("0:a 1", joined(scan_all(s, "a (* b (* c *) d").tokens));
}

TEST_F(TagScanTest, CaseInsensitiveScannersMatchKeywordsInAnyCase) {
  TokenScanner s;
  ASSERT_EQ(0, scan_init(s, false, "a-zA-Z", ""));
  const KeywordRow row{"begin", 10, KeywordKind::Word};
  ASSERT_EQ(0, scan_add_keywords(s, &row, 1));
  EXPECT_EQ("10 10 0:BEGINS 1", joined(scan_all(s, "Begin BEGIN begins").tokens));
}

// The same text gives the same tokens, lines and offsets whatever size the
// pieces of the reader have: the buffer is refilled and cut at line ends
// the same way every time.
TEST_F(TagScanTest, ChunkSizeDoesNotChangeTheTokens) {
  std::mt19937 rng(0);
  if (const char* s = std::getenv("ZVX_SEED")) rng.seed(static_cast<unsigned>(std::atoi(s)));
  const std::string pieces[] = {"int",
                                " ",
                                "\t",
                                "\n",
                                "\r\n",
                                "\r",
                                "x1",
                                "/*",
                                "*/",
                                "//",
                                "\"s\\\"\"",
                                "'c'",
                                "0x1F",
                                "1.5e-3",
                                "::",
                                ":",
                                "{",
                                "}",
                                "(",
                                ")",
                                "#define",
                                "#include",
                                "\\\n",
                                "~",
                                "*",
                                "=",
                                ";",
                                ",",
                                std::string(120, 'w'),
                                "@",
                                "\\"};
  std::vector<std::string> texts;
  for (int i = 0; i < 12; ++i) {
    std::string t;
    const size_t len = 500 + rng() % 12000;
    while (t.size() < len) t += pieces[rng() % std::size(pieces)];
    texts.push_back(t);
  }
  // A line longer than the buffer, where words may split, still splits the same way.
  texts.push_back(std::string(5000, 'a') + " b\nc");
  for (const auto& t : texts) {
    const ScanRun whole = scan_all(cfg_, t);
    for (size_t chunk : {1u, 2u, 7u, 64u, 3998u, 3999u, 4000u}) {
      const ScanRun r = scan_all(cfg_, t, chunk);
      ASSERT_EQ(whole.tokens, r.tokens) << "chunk " << chunk;
      ASSERT_EQ(whole.places, r.places) << "chunk " << chunk;
    }
  }
}

}  // namespace

#include "macro/rle.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> enc(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(rle_compress(nullptr, in));
  EXPECT_EQ(rle_compress(out.data(), in), out.size());
  return out;
}

TEST(Rle, DocumentedVectors) {
  struct Case {
    std::vector<uint8_t> in, out;
  } cases[] = {
      {{7, 7, 7, 7, 7}, {0x45, 0x07}},
      {{'a', 'b', 'c'}, {0x03, 'a', 'b', 'c'}},
      {std::vector<uint8_t>(64, 0), {0xC0, 0x01, 0x00}},
      {{}, {}},
      // A run of 2 stays in the literal; a run of 3 becomes a repeat item.
      {{1, 1, 2}, {0x03, 1, 1, 2}},
      {{1, 2, 2, 2, 3}, {0x01, 1, 0x43, 2, 0x01, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(enc(c.in), c.out);
    std::vector<uint8_t> back(c.in.size());
    EXPECT_EQ(rle_expand(back.data(), uint32_t(back.size()), c.out), int64_t(c.in.size()));
    EXPECT_EQ(back, c.in);
  }
}

TEST(Rle, NullDestinationCounts) {
  std::vector<uint8_t> e = {0xC0, 0x01, 0x00, 0x02, 'x', 'y'};
  EXPECT_EQ(rle_expand(nullptr, 0, e), 66);
}

TEST(Rle, OutputBoundAndMalformedInput) {
  std::vector<uint8_t> out(10);
  struct Case {
    std::vector<uint8_t> in;
    uint32_t cap;
  } bad[] = {
      {{0xC0, 0x01, 0x00}, 63},                       // 64 bytes into 63: refused, not overrun
      {{0x05, 1, 2}, 10},                             // literal cut short
      {{0xC0}, 10},                                   // header cut short
      {{0x45}, 10},                                   // repeat without its byte
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0}, 10},  // count past 32 bits
  };
  for (const auto& c : bad) EXPECT_EQ(rle_expand(out.data(), c.cap, c.in), -1);
}

TEST(Rle, RandomRoundTrip) {
  unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int iter = 0; iter < 200; ++iter) {
    std::vector<uint8_t> in(rng() % 3000);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (rng() % 4 == 0) ? uint8_t(rng()) : (i ? in[i - 1] : 0);
    std::vector<uint8_t> e = enc(in);
    std::vector<uint8_t> back(in.size());
    ASSERT_EQ(rle_expand(back.data(), uint32_t(back.size()), e), int64_t(in.size()));
    ASSERT_EQ(back, in);
  }
}

}  // namespace

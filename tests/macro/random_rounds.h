// Rounds of random programs, each run under several settings of the
// machine whose outcomes must agree: the runner the interpreter's tests
// share.
//
// ZVX_SEED fixes the seed (it is printed with every failure); otherwise
// each run draws a new one.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace rounds {

// One round: its settings in words (printed on a failure) and how to run
// it under setting v. The run of setting 0 comes first and draws the
// program, writing its listing.
template <class Outcome>
struct Round {
  std::string settings;
  std::function<Outcome(int v, std::string* listing)> run;
};

inline unsigned seed_from_env() {
  const char* s = std::getenv("ZVX_SEED");
  return s ? static_cast<unsigned>(std::atoi(s)) : std::random_device{}();
}

// Runs `count` rounds that make_round(rng, n) draws, each under settings
// 0 .. variants - 1. agree(first, other, v) checks setting v's outcome
// against setting 0's with gtest expectations; tally(outcome) sees the last
// setting's outcome of every round. Stops at the first failing round and
// prints its settings and program.
template <class Outcome>
void run_rounds(int count, int variants, const std::function<Round<Outcome>(std::mt19937&, int)>& make_round,
                const std::function<void(const Outcome&, const Outcome&, int)>& agree,
                const std::function<void(const Outcome&)>& tally) {
  const unsigned seed = seed_from_env();
  SCOPED_TRACE("ZVX_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int n = 0; n < count; ++n) {
    Round<Outcome> round = make_round(rng, n);
    std::vector<Outcome> out;
    std::string listing;
    for (int v = 0; v < variants; ++v) out.push_back(round.run(v, &listing));
    for (int v = 1; v < variants; ++v) {
      SCOPED_TRACE("setting " + std::to_string(v) + ", round " + std::to_string(n));
      agree(out[0], out[static_cast<size_t>(v)], v);
    }
    tally(out.back());
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "round " << n << ", " << round.settings << ":\n" << listing;
      return;
    }
  }
}

}  // namespace rounds

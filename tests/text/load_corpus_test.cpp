// The load fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_text_load_one_input
#include "fuzz/text_load.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

#include <gtest/gtest.h>

namespace {

TEST(TextLoadCorpusTest, SavedInputsLoadWithoutLoss) { corpus::replay("text_load", fuzz_text_load_one_input); }

}  // namespace

// The interpreter fuzz target's checks, run over its saved corpus.
#include <gtest/gtest.h>

#define LLVMFuzzerTestOneInput fuzz_interp_one_input
#include "fuzz/interp.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

namespace {

TEST(InterpFuzzCorpus, SavedInputsRunClean) {
  corpus::replay("interp", fuzz_interp_one_input);
  fuzz_interp_unsandbox();
}

}  // namespace

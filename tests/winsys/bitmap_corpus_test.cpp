// The bitmap-file and XPM fuzz targets' checks, run over their saved
// corpora as ordinary tests. gtest comes before Xlib, whose X.h defines None.
#include <gtest/gtest.h>

#define LLVMFuzzerTestOneInput fuzz_bitmap_file_one_input
#include "fuzz/bitmap_file.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzz_xpm_convert_one_input
#include "fuzz/xpm_convert.cpp"
#undef LLVMFuzzerTestOneInput

#include "corpus.h"

namespace {

TEST(BitmapCorpus, SavedInputsClassifyAndConvertSafely) { corpus::replay("bitmap_file", fuzz_bitmap_file_one_input); }

TEST(BitmapCorpus, ConvertedSavedInputsParseBackInLibXpm) { corpus::replay("xpm_convert", fuzz_xpm_convert_one_input); }

}  // namespace

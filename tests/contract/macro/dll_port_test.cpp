// What the extension-library layer may count on from the layers above,
// whoever answers: the same expectations run against the headless answers
// and the editor's own (without a display and before any object exists).
#include <gtest/gtest.h>

#include <string>

#include "macro/dll_port.h"
#include "macro/interp.h"

namespace {

class DllPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(vm_reset(1000, 20000), ERR_OK); }
};

// A handle that names no object: a window id nothing has, and a template
// index nothing has.
constexpr int32_t kNoWindow = 0x7FFF;
constexpr int32_t kNoTemplate = 0x3FFF0001;

TEST_F(DllPort, AnInvalidHandleGetsNothingAndSetsNothing) {
  for (int32_t h : {kNoWindow, kNoTemplate}) {
    SCOPED_TRACE(h);
    EXPECT_EQ(dll_property_get_int(h, 107), 0);
    EXPECT_EQ(dll_property_get_number(h, 107), 0);
    char out[8] = "xxxxxxx";
    EXPECT_EQ(dll_property_get_cstr(h, 110, out, sizeof out), 0);
    EXPECT_STREQ(out, "") << "a text getter leaves the buffer empty";
    EXPECT_EQ(dll_property_get_bytes(h, 110, out, 4), 0);
    EXPECT_EQ(dll_property_set_int(h, 107, 1), -2088);
    EXPECT_EQ(dll_property_set_cstr(h, 115, "mode"), -2088);
    EXPECT_EQ(dll_property_set(h, 115, -1, "mode"), -2088);
    EXPECT_EQ(dll_property_set(h, 107, 3, nullptr), -2088);
  }
  WindowSave save{};
  EXPECT_EQ(dll_push_window(kNoWindow, &save), -2088);
}

TEST_F(DllPort, CommandLinesAnswerAText) {
  EXPECT_STREQ(dll_execute_command("anything", "Q"), "-3015") << "a letter outside WARZL runs nothing";
  EXPECT_STREQ(dll_execute_command(nullptr, nullptr), "0") << "an empty command line";
  dll_show_message("from a library");
  dll_show_message(nullptr);
}

TEST_F(DllPort, OnlyBuiltInNamesAreBuiltInLibraries) {
  EXPECT_EQ(dll_builtin_library("zvx-none.dll"), nullptr);
  EXPECT_EQ(dll_builtin_library(""), nullptr);
}

}  // namespace

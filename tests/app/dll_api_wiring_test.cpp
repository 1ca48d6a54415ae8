// The editor API table as the wiring check sees it: every one of its 40
// operations resolves to a function of the editor, none to a headless
// answer, and the check names each by its offset.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/dll_api_wiring.h"

namespace {

std::string checked(const WiringTable& t, int* faults) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  *faults = wiring_check(out, {&t, 1});
  std::fclose(out);
  std::string s(text, size);
  std::free(text);
  return s;
}

TEST(DllApiWiring, EveryOperationResolvesToTheEditorsOwnFunction) {
  const WiringTable t = dll_api_wiring();
  EXPECT_EQ(t.slots.size(), 40u);
  int faults = -1;
  const std::string out = checked(t, &faults);
  EXPECT_EQ(faults, 0) << out;
  EXPECT_EQ(out.find("EMPTY"), std::string::npos) << out;
  for (const char* want : {"+44 prompt", "dll_execute_command", "+200 message", "dll_show_message", "+76 push_window",
                           "+208 set_property_int2", "dll_property_set_int"})
    EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
}

TEST(DllApiWiring, AnEmptySlotIsAFault) {
  WiringTable t = dll_api_wiring();
  WiringSlot slots[2] = {t.slots[0], {"+4 activate_window", nullptr}};
  t.slots = slots;
  int faults = -1;
  const std::string out = checked(t, &faults);
  EXPECT_EQ(faults, 1) << out;
  EXPECT_NE(out.find("+4 activate_window"), std::string::npos) << out;
  EXPECT_NE(out.find("EMPTY"), std::string::npos) << out;
}

}  // namespace

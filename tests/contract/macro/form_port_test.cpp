// What the push_control instruction may count on from the forms, whoever
// answers: with no form current, no control has any name.
#include <gtest/gtest.h>

#include "macro/form_port.h"

namespace {

TEST(MacroFormPort, WithoutAFormNoControlIsFound) {
  for (const char* name : {"okay", "", "form.okay"})
    for (uint8_t bucket : {0, 7, 15}) EXPECT_EQ(form_find_control_by_name(name, bucket, 0), 0) << name;
}

}  // namespace

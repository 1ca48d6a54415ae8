// The small built-ins in the shipped editor reach the X screen, the pointer,
// the current object and the input layer through their port: the pointer
// moved on the server reads back where it went, the screen's width is the
// server's, an editor window passes the type check, the click count reset
// answers the empty text and a grid spacing of at least two pixels is kept.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/support/probe.h"

namespace {

using namespace std::chrono_literals;

TEST(ProbeShipped, TheSmallBuiltInsReachTheScreenAndThePointer) {
  std::string why;
  auto p = probe::Probe::start({.source = R"(
private probe()
  var x
  var y
  push_const "300"
  push_const "200"
  set_pointer_pos
  get_pointer_pos $x, $y
  push_const "x"
  push_var $x
  call_link 2, note
  push_const "y"
  push_var $y
  call_link 2, note
  push_const "width"
  push_const "D"
  screen_width 1
  call_link 2, note
  push_const "1"
  push_const "2"
  push_const "3"
  push_const "4"
  map_rect_ext143
  push_const "typed"
  push_const "yes"
  call_link 2, note
  push_const "clicks"
  push_const "B"
  get_event 1
  call_link 2, note
  push_const "grid"
  push_const "45"
  grid_width 1
  call_link 2, note
  exit 0
  return
end
)"},
                               &why);
  ASSERT_TRUE(p) << why;
  const probe::ProbeResult r = p->finish(20s);
  ASSERT_TRUE(r.ended) << r.describe();
  EXPECT_EQ(r.note("x"), "300") << r.describe();
  EXPECT_EQ(r.note("y"), "200") << r.describe();
  EXPECT_EQ(r.note("width"), "1024") << r.describe();  // the harness's server
  EXPECT_EQ(r.note("typed"), "yes") << "an editor window has its type bit\n" << r.describe();
  EXPECT_EQ(r.note("clicks"), "") << r.describe();
  EXPECT_EQ(r.note("grid"), "45") << r.describe();
}

}  // namespace

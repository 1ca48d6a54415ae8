// The screen and the pointer of the small built-ins without a display: the
// fakes record's (1024 x 768, the pointer at the origin), and the refresh
// before a wait is the key source's.
#include "macro/bi_small.h"
#include "macro/screen_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/screen_fakes.h"

int32_t screen_dimension(bool height, char option) {
  if (const auto answer = screentest::screen.dimension) return answer(height, option);
  return height ? 768 : 1024;
}

void pointer_move(int32_t x, int32_t y) { screentest::screen.moves.emplace_back(x, y); }

void pointer_position(int32_t* x, int32_t* y) {
  *x = screentest::screen.pointer_x;
  *y = screentest::screen.pointer_y;
}

void screen_refresh_before_wait() {
  ++screentest::screen.refreshes;
  small_refresh_default();
}

// The screen of the small built-ins in programs without one: 1024 x 768
// pixels whatever the option (or a test's own answer, which sees the
// options asked for), 15 twips a pixel, a pointer that stays where the
// record puts it while the moves asked for are recorded, every object of a
// typed kind unless a test says otherwise, and the design repaints, click
// count resets, dispatches and refreshes counted.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace screentest {

struct FakeScreen {
  // When set, answers screen_dimension; null: 1024 x 768.
  int32_t (*dimension)(bool height, char option) = nullptr;
  std::vector<std::pair<int32_t, int32_t>> moves;  // pointer moves asked for
  int32_t pointer_x = 0, pointer_y = 0;            // where the pointer is
  bool typed = true;                               // the current object's type has its type bit
  int32_t twips_x = 15, twips_y = 15;              // twips per pixel
  int repaints = 0;                                // design-mode repaints
  int click_resets = 0;                            // click counts reset
  int dispatches = 0;                              // waiting messages dispatched
  int refreshes = 0;                               // refreshes before a wait
};
inline FakeScreen screen;

// The default screen, nothing asked yet.
inline void install() { screen = FakeScreen{}; }

}  // namespace screentest

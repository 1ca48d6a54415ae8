// The forms' windows in programs without them: the redraws a settings
// change asks for are counted.
#pragma once

namespace redrawfake {

struct FakeRedraw {
  int views = 0;
  int objects = 0;
};
inline FakeRedraw redraw;

// Nothing redrawn yet.
inline void install() { redraw = FakeRedraw{}; }

}  // namespace redrawfake

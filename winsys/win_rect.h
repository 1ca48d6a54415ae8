// The window API's rectangle, shared by its window and drawing calls:
// {left, top, right, bottom}, right and bottom exclusive.
#pragma once

#include <cstdint>

struct WinRect {
  int32_t left, top, right, bottom;
};

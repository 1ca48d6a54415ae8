// The frame's refresh in programs without it: each request is counted, with
// the refresh built-in's depth as the screen refresh saw it, and the object
// asked to follow its cursor.
#pragma once

#include <cstdint>

struct WindowObject;

namespace refreshfake {

struct FakeRefresh {
  int update_trees = 0;
  int screens = 0;
  int32_t depth_seen = -1;  // refresh_builtin_depth during the last screen refresh
  int scrolls = 0;
  WindowObject* scrolled = nullptr;  // the last object asked to follow its cursor
};
inline FakeRefresh refresh;

// Nothing requested yet.
inline void install() { refresh = FakeRefresh{}; }

}  // namespace refreshfake

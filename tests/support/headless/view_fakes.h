// Editor windows' text displays in programs without the application: none,
// unless a test hands one over for an object.
#pragma once

struct EditorDisplay;
struct WindowObject;

namespace viewtest {

struct FakeViews {
  const WindowObject* editor = nullptr;  // the object that has `display`
  EditorDisplay* display = nullptr;
};
inline FakeViews views;

inline void install() { views = FakeViews{}; }

}  // namespace viewtest

// The forms' text controls in programs without the forms: none, unless a
// test gives a control a field here; the focus requests are counted, and
// the frame's active editor window is whatever the test names.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct WindowObject;

namespace textctlfake {

struct Field {
  std::string text;
  int32_t anchor = 0, caret = 0;
  uint8_t insert = 1;
};

struct FakeTextCtl {
  std::map<const WindowObject*, Field> fields;  // the controls that have a field
  WindowObject* active_editor = nullptr;
  int focus_calls = 0;
};
inline FakeTextCtl ctl;

// No fields, no editor window, no focus requests.
inline void install() { ctl = FakeTextCtl{}; }

}  // namespace textctlfake

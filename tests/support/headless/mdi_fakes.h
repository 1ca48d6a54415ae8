// The MDI layer's Window-menu names in programs without the application: no
// child shows a document unless a test names one, so the menu shows titles.
#pragma once

#include <map>
#include <string>

struct XfWindow;

namespace mdifake {

struct FakeMdi {
  std::map<const XfWindow*, std::string> names;  // a child's document name; absent: none
};
inline FakeMdi mdi;

// No child names a document.
inline void install() { mdi = FakeMdi{}; }

}  // namespace mdifake

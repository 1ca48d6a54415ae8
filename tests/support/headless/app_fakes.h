// The application's windows in programs without the application: none,
// unless a test hands some over.
#pragma once

struct XfWindow;

namespace apptest {

struct FakeApp {
  XfWindow* frame_client = nullptr;
  XfWindow* mdi_client = nullptr;
};
inline FakeApp app;

inline void install() { app = FakeApp{}; }

}  // namespace apptest

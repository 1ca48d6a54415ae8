// The help viewer's canvas on the window system. The window-API calls it
// needs come in as a record, so that this file and the window procedure
// each see only their own part of the window system's headers.
#pragma once

#include <cstdint>
#include <memory>

#include "services/help_view.h"

struct XfWindow;
struct XfMessage;

struct HelpWinOps {
  int32_t (*width)(XfWindow* w);
  int32_t (*height)(XfWindow* w);
  void (*invalidate)(XfWindow* w);
  XfWindow* (*frame)(XfWindow* w);
  void (*capture)(XfWindow* w, bool on);
  bool (*get_msg)(XfMessage* m);
  void (*dispatch)(XfMessage* m);
  void (*mouse_pos)(XfWindow* w, intptr_t mp1, intptr_t mp2, int32_t* x, int32_t* y);
  bool (*start_timer)(XfWindow* w, uint32_t id, uint32_t ms);
  void (*stop_timer)(XfWindow* w, uint32_t id);
};

class HelpWinCanvas : public HelpCanvas {
 public:
  // Painting goes through the paint context between these.
  virtual void begin_paint() = 0;
  virtual void end_paint() = 0;
};

std::unique_ptr<HelpWinCanvas> help_make_win_canvas(XfWindow* window, const HelpWinOps& ops);
